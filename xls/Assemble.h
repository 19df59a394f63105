#pragma once
// Orders the records of a workbook into its BIFF8 stream: the globals
// (fonts, formats, XFs, sheet list, shared strings), then each sheet's
// substream, with every sheet's stream offset filled into its BOUNDSHEET.

#include <memory>
#include <string>
#include <vector>

#include "xls/CellFormat.h"
#include "xls/FontStyle.h"
#include "xls/NumberFormats.h"
#include "xls/RecordStream.h"
#include "xls/SharedStrings.h"
#include "xls/TextDecoder.h"
#include "xls/Worksheet.h"

namespace tarn::xls {

struct BookParts {
    const std::vector<std::unique_ptr<FontStyle>>& fonts;
    const std::vector<std::unique_ptr<CellFormat>>& formats;
    const NumberFormats& numberFormats;
    const SharedStrings& strings;
    const std::vector<std::unique_ptr<Worksheet>>& sheets;
    TextDecoder& decoder;
};

RecordStream AssembleWorkbookStream(const BookParts& parts);

}  // namespace tarn::xls
