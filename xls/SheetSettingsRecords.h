#pragma once
// The small fixed records that state a sheet's calculation, print and page
// settings, in the order a worksheet lists them after its INDEX
// (MS-XLS 2.1.7.20.5): calculation (CALCMODE, CALCCOUNT, CALCREFMODE,
// CALCITER, CALCDELTA, SAVERECALC), printing (PRINTROWCOL, PRINTGRID,
// GRIDSET), GUTS, DEFAULTROWHEIGHT, WSBOOL, then the page setup (HEADER,
// FOOTER, HCENTER, VCENTER, SETUP). All hold Excel's defaults.

#include "xls/RecordStream.h"

namespace tarn::xls {

void WriteCalcMode(RecordStream& out);
void WriteCalcCount(RecordStream& out);
void WriteCalcRefMode(RecordStream& out);
void WriteCalcIter(RecordStream& out);
void WriteCalcDelta(RecordStream& out);
void WriteSaveRecalc(RecordStream& out);
void WritePrintRowCol(RecordStream& out);
void WritePrintGrid(RecordStream& out);
void WriteGridSet(RecordStream& out);
void WriteGuts(RecordStream& out);
void WriteDefaultRowHeight(RecordStream& out);
void WriteWsBool(RecordStream& out);
void WriteHeader(RecordStream& out);
void WriteFooter(RecordStream& out);
void WriteHCenter(RecordStream& out);
void WriteVCenter(RecordStream& out);
void WriteSetup(RecordStream& out);

}  // namespace tarn::xls
