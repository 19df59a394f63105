#pragma once
// The OLE2 compound file around the workbook stream (MS-CFB, version 3 with
// 512-byte sectors): a header, the "Workbook" stream in regular sectors, one
// directory sector, the FAT and, past 109 FAT sectors (about 7 MB), DIFAT
// sectors that list the rest of the FAT.

#include <string>

namespace xls {

// Bytes of a compound file that holds `workbook` as its stream "Workbook".
// Streams shorter than the mini-stream cutoff are padded up to it so that
// everything lives in regular sectors.
std::string BuildCompoundFile(const std::string& workbook);

}  // namespace xls
