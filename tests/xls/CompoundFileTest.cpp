// The compound file container, read by olefile in its strictest mode at the
// stream sizes where its layout changes: the mini-stream cutoff, the last
// size the header's 109 FAT sector ids cover, the first that needs a DIFAT
// sector, and the first that needs a second one.

#include <gtest/gtest.h>

#include <fstream>

#include "tests/xls/XlsReaders.h"
#include "xls/CompoundFile.h"

namespace xls_test {
namespace {

constexpr std::size_t kSector = 512;

std::string PatternStream(std::size_t size) {
    std::string s(size, '\0');
    for (std::size_t i = 0; i < size; ++i) s[i] = static_cast<char>((i * 7) % 251);
    return s;
}

void WriteFramed(const std::string& path, std::size_t size) {
    tarn::xls::CompoundFileFrame frame = tarn::xls::FrameWorkbookStream(size);
    std::ofstream out(path, std::ios::binary);
    out << frame.head << PatternStream(size) << frame.tail;
}

TEST(CompoundFile, OlefileReadsTheStreamWholeAtEveryLayoutBoundary) {
    const std::size_t sizes[] = {
        1,
        4095,
        4096,
        4097,
        100000,
        13842 * kSector,      // 109 FAT sectors, all listed in the header
        13842 * kSector + 1,  // 110 FAT sectors: the first DIFAT sector
        13968 * kSector + 1,  // one FAT sector more, still one DIFAT sector
        29970 * kSector,      // 236 FAT sectors: one DIFAT sector full
        29970 * kSector + 1,  // a second, chained DIFAT sector
    };
    ScratchDir dir;
    for (std::size_t size : sizes) {
        std::string path = dir.Path("cfb-" + std::to_string(size));
        WriteFramed(path, size);
        int status = 0;
        std::string verdict = RunCommand("/usr/bin/python3 " TARN_SOURCE_DIR "/tests/xls/cfb_check.py '" +
                                             path + ":" + std::to_string(size) + "' 2>&1",
                                         &status);
        EXPECT_EQ(verdict, "ok " + path + "\n") << "stream of " << size << " bytes";
        std::remove(path.c_str());
    }
}

}  // namespace
}  // namespace xls_test
