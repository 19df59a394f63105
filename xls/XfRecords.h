#pragma once
// The XF records that give cells their look, and the STYLE record of the
// built-in "Normal" style (MS-XLS 2.4.353 XF, 2.4.269 STYLE).

#include <cstdint>

#include "xls/RecordStream.h"
#include "xls/Workbook.h"

namespace tarn::xls {

// Style XFs every workbook starts with; cell XFs follow them.
inline constexpr int kStyleXfCount = 15;
// The cell XF of cells written without a format.
inline constexpr int kDefaultCellXf = kStyleXfCount;

struct XfFields {
    int font = 0;
    int numberFormat = 0;
    HAlign align = HAlign::kGeneral;
    BorderStyle top = BorderStyle::kNone;
    BorderStyle bottom = BorderStyle::kNone;
};

// A style XF (the parent of cell XFs); style 0 is "Normal".
void WriteStyleXf(RecordStream& out, int font);
// A cell XF whose parent is style XF 0.
void WriteCellXf(RecordStream& out, const XfFields& fields);
// STYLE record naming style XF 0 the built-in "Normal" style.
void WriteNormalStyleRecord(RecordStream& out);

}  // namespace tarn::xls
