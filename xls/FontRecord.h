#pragma once
// The FONT record (MS-XLS 2.4.122).

#include <string>

#include "xls/RecordStream.h"

namespace tarn::xls {

void WriteFontRecord(RecordStream& out, const std::u16string& name, int points, bool bold);

}  // namespace tarn::xls
