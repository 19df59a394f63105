#include "xls/CompoundFile.h"

#include <cstdint>
#include <vector>

namespace tarn::xls {
namespace {

// Sector size of a version 3 compound file (MS-CFB 2.2).
constexpr std::size_t kSectorSize = 512;
// Sector ids one FAT sector holds.
constexpr std::size_t kIdsPerFatSector = kSectorSize / 4;
// FAT sector ids the header itself holds (MS-CFB 2.2 DIFAT array).
constexpr std::size_t kHeaderDifatEntries = 109;
// FAT sector ids per DIFAT sector; the last slot chains to the next one.
constexpr std::size_t kIdsPerDifatSector = kIdsPerFatSector - 1;
// Streams below this size would go to the mini stream (MS-CFB 2.2).
constexpr std::size_t kMiniStreamCutoff = 4096;
// Size of one directory entry (MS-CFB 2.6).
constexpr std::size_t kDirEntrySize = 128;

// Special sector ids (MS-CFB 2.1).
constexpr std::uint32_t kDifSect = 0xFFFFFFFC;
constexpr std::uint32_t kFatSect = 0xFFFFFFFD;
constexpr std::uint32_t kEndOfChain = 0xFFFFFFFE;
constexpr std::uint32_t kFreeSect = 0xFFFFFFFF;
constexpr std::uint32_t kNoStream = 0xFFFFFFFF;

// Directory entry object types and colours (MS-CFB 2.6.1).
constexpr std::uint8_t kTypeStream = 2;
constexpr std::uint8_t kTypeRoot = 5;
constexpr std::uint8_t kColorBlack = 1;

void Put16(std::string& s, std::size_t at, std::uint16_t v) {
    s[at] = static_cast<char>(v & 0xFF);
    s[at + 1] = static_cast<char>(v >> 8);
}

void Put32(std::string& s, std::size_t at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) s[at + i] = static_cast<char>((v >> (8 * i)) & 0xFF);
}

std::size_t CeilDiv(std::size_t a, std::size_t b) { return (a + b - 1) / b; }

// One 128-byte directory entry at `at`.
void PutDirEntry(std::string& s, std::size_t at, const char* name, std::uint8_t type, std::uint32_t child,
                 std::uint32_t start, std::uint32_t size) {
    std::size_t i = 0;
    for (; name[i] != '\0'; ++i) Put16(s, at + 2 * i, static_cast<std::uint8_t>(name[i]));
    Put16(s, at + 64, static_cast<std::uint16_t>(2 * (i + 1)));  // length with terminator
    s[at + 66] = static_cast<char>(type);
    s[at + 67] = static_cast<char>(kColorBlack);
    Put32(s, at + 68, kNoStream);  // left sibling
    Put32(s, at + 72, kNoStream);  // right sibling
    Put32(s, at + 76, child);
    Put32(s, at + 116, start);
    Put32(s, at + 120, size);  // high 32 bits stay 0 in version 3
}

}  // namespace

CompoundFileFrame FrameWorkbookStream(std::size_t workbookSize) {
    std::size_t streamSize = workbookSize < kMiniStreamCutoff ? kMiniStreamCutoff : workbookSize;
    const std::size_t streamSectors = CeilDiv(streamSize, kSectorSize);

    // Sector order: stream, directory, FAT, DIFAT. The FAT must also cover
    // its own sectors and the DIFAT's, so grow both until they settle.
    std::size_t fatSectors = 0;
    std::size_t difatSectors = 0;
    for (;;) {
        std::size_t total = streamSectors + 1 + fatSectors + difatSectors;
        std::size_t needFat = CeilDiv(total, kIdsPerFatSector);
        std::size_t needDifat =
            needFat > kHeaderDifatEntries ? CeilDiv(needFat - kHeaderDifatEntries, kIdsPerDifatSector) : 0;
        if (needFat == fatSectors && needDifat == difatSectors) break;
        fatSectors = needFat;
        difatSectors = needDifat;
    }
    const std::uint32_t dirSector = static_cast<std::uint32_t>(streamSectors);
    const std::uint32_t firstFat = dirSector + 1;
    const std::uint32_t firstDifat = firstFat + static_cast<std::uint32_t>(fatSectors);
    const std::size_t totalSectors = streamSectors + 1 + fatSectors + difatSectors;

    CompoundFileFrame frame;
    frame.head.assign(kSectorSize, '\0');
    // The tail runs from the stream's end to the end of the file.
    frame.tail.assign(totalSectors * kSectorSize - workbookSize, '\0');
    std::string& head = frame.head;
    std::string& tail = frame.tail;
    auto tailAt = [&](std::size_t sector) { return sector * kSectorSize - workbookSize; };

    // Header (MS-CFB 2.2).
    static const unsigned char kSignature[8] = {0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1};
    for (int i = 0; i < 8; ++i) head[i] = static_cast<char>(kSignature[i]);
    Put16(head, 24, 0x003E);  // minor version
    Put16(head, 26, 0x0003);  // major version 3
    Put16(head, 28, 0xFFFE);  // little-endian byte order mark
    Put16(head, 30, 9);       // sector shift: 512 bytes
    Put16(head, 32, 6);       // mini sector shift: 64 bytes
    Put32(head, 44, static_cast<std::uint32_t>(fatSectors));
    Put32(head, 48, dirSector);
    Put32(head, 56, static_cast<std::uint32_t>(kMiniStreamCutoff));
    Put32(head, 60, kEndOfChain);  // no mini FAT
    Put32(head, 68, difatSectors > 0 ? firstDifat : kEndOfChain);
    Put32(head, 72, static_cast<std::uint32_t>(difatSectors));
    for (std::size_t i = 0; i < kHeaderDifatEntries; ++i) {
        Put32(head, 76 + 4 * i, i < fatSectors ? firstFat + static_cast<std::uint32_t>(i) : kFreeSect);
    }

    // Directory: the root and the one stream; the other two slots stay unused.
    std::size_t dir = tailAt(dirSector);
    PutDirEntry(tail, dir, "Root Entry", kTypeRoot, 1, kEndOfChain, 0);
    PutDirEntry(tail, dir + kDirEntrySize, "Workbook", kTypeStream, kNoStream, 0,
                static_cast<std::uint32_t>(streamSize));
    for (std::size_t e = 2; e < kSectorSize / kDirEntrySize; ++e) {
        std::size_t at = dir + e * kDirEntrySize;
        Put32(tail, at + 68, kNoStream);
        Put32(tail, at + 72, kNoStream);
        Put32(tail, at + 76, kNoStream);
    }

    // FAT: the stream's chain, the directory, the FAT and DIFAT sectors, then free.
    std::vector<std::uint32_t> fat(fatSectors * kIdsPerFatSector, kFreeSect);
    for (std::size_t i = 0; i < streamSectors; ++i) {
        fat[i] = i + 1 < streamSectors ? static_cast<std::uint32_t>(i + 1) : kEndOfChain;
    }
    fat[dirSector] = kEndOfChain;
    for (std::size_t i = 0; i < fatSectors; ++i) fat[firstFat + i] = kFatSect;
    for (std::size_t i = 0; i < difatSectors; ++i) fat[firstDifat + i] = kDifSect;
    for (std::size_t i = 0; i < fat.size(); ++i) {
        Put32(tail, tailAt(firstFat) + 4 * i, fat[i]);
    }

    // DIFAT sectors: the FAT sector ids past the header's 109, chained.
    std::size_t nextFat = kHeaderDifatEntries;
    for (std::size_t d = 0; d < difatSectors; ++d) {
        std::size_t at = tailAt(firstDifat + d);
        for (std::size_t i = 0; i < kIdsPerDifatSector; ++i, ++nextFat) {
            Put32(tail, at + 4 * i,
                  nextFat < fatSectors ? firstFat + static_cast<std::uint32_t>(nextFat) : kFreeSect);
        }
        Put32(tail, at + 4 * kIdsPerDifatSector,
              d + 1 < difatSectors ? firstDifat + static_cast<std::uint32_t>(d + 1) : kEndOfChain);
    }
    return frame;
}

}  // namespace tarn::xls
