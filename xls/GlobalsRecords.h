#pragma once
// Records of the workbook globals and the substream frame: BOF and EOF,
// CODEPAGE, WINDOW1, DATE1904 and BOUNDSHEET (MS-XLS 2.4.21, 2.4.103,
// 2.4.52, 2.4.345, 2.4.77, 2.4.28).

#include <cstddef>
#include <string>

#include "xls/RecordStream.h"

namespace tarn::xls {

enum class SubstreamType { kGlobals = 0x0005, kWorksheet = 0x0010 };

void WriteBof(RecordStream& out, SubstreamType type);
void WriteEof(RecordStream& out);
// CODEPAGE 1200: strings in the file are Unicode.
void WriteCodePage(RecordStream& out);
void WriteWindow1(RecordStream& out);
// The 1900 date system.
void WriteDate1904(RecordStream& out);
// A BOUNDSHEET record; returns where its 4-byte stream offset of the
// sheet's BOF goes, to be filled in once the sheet is placed.
std::size_t WriteBoundSheet(RecordStream& out, const std::u16string& name);

}  // namespace tarn::xls
