#pragma once
// The OLE2 compound file around the workbook stream (MS-CFB, version 3 with
// 512-byte sectors): a header, the "Workbook" stream in regular sectors, one
// directory sector, the FAT and, past 109 FAT sectors (about 7 MB), DIFAT
// sectors that list the rest of the FAT.

#include <cstddef>
#include <string>

namespace tarn::xls {

// The bytes around the stream "Workbook" of `streamSize` bytes: the file is
// `head`, the stream, then `tail` (the stream's padding to whole sectors,
// the directory, the FAT and any DIFAT sectors), so that a large stream is
// written out without being copied. Streams shorter than the mini-stream
// cutoff are padded up to it so that everything lives in regular sectors.
struct CompoundFileFrame {
    std::string head;
    std::string tail;
};
CompoundFileFrame FrameWorkbookStream(std::size_t streamSize);

}  // namespace tarn::xls
