#pragma once
// Turns the workbook's font and format objects into FONT and XF records.
// Objects that look the same share one record, so a workbook that makes a
// format per sheet stays within Excel's limits; past those limits a format
// falls back to the default cell format and a font to the default font.

#include <cstdint>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

#include "xls/CellFormat.h"
#include "xls/FontStyle.h"
#include "xls/RecordStream.h"
#include "xls/XfRecords.h"

namespace tarn::xls {

class TextDecoder;

class StyleTable {
  public:
    StyleTable(const std::vector<std::unique_ptr<FontStyle>>& fonts,
               const std::vector<std::unique_ptr<CellFormat>>& formats, TextDecoder& decoder);

    void WriteFonts(RecordStream& out) const;
    // The style XFs, the default cell XF and one cell XF per distinct format.
    void WriteXfs(RecordStream& out) const;
    // XF index for a cell's format reference (0: no format; a reference to
    // no format of this workbook gets the default).
    std::uint16_t XfOf(std::uint32_t formatRef) const {
        return formatRef < xfOfRef_.size() ? xfOfRef_[formatRef] : static_cast<std::uint16_t>(kDefaultCellXf);
    }

  private:
    struct FontKey {
        std::u16string name;
        int points;
        bool bold;
        bool operator==(const FontKey& o) const {
            return name == o.name && points == o.points && bold == o.bold;
        }
    };
    int FontIndex(const FontStyle* font, TextDecoder& decoder);

    std::vector<FontKey> fonts_;     // one per FONT record, in order
    std::vector<XfFields> cellXfs_;  // from kDefaultCellXf on
    std::vector<std::uint16_t> xfOfRef_;
};

}  // namespace tarn::xls
