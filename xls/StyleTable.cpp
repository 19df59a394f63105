#include "xls/StyleTable.h"

#include <algorithm>

#include "xls/FontRecord.h"
#include "xls/TextDecoder.h"

namespace tarn::xls {
namespace {

// Copies of the default font written before the workbook's own; index 4 is
// never used in BIFF, so the record after these has index 5 (MS-XLS 2.5.129).
constexpr int kDefaultFontRecords = 4;
constexpr int kSkippedFontIndex = 4;

bool SameXf(const XfFields& a, const XfFields& b) {
    return a.font == b.font && a.numberFormat == b.numberFormat && a.align == b.align && a.top == b.top &&
           a.bottom == b.bottom;
}

}  // namespace

StyleTable::StyleTable(const std::vector<std::unique_ptr<FontStyle>>& fonts,
                       const std::vector<std::unique_ptr<CellFormat>>& formats, TextDecoder& decoder) {
    const FontStyle defaultFont;
    FontKey def{decoder.Decode(defaultFont.Name()), defaultFont.Points(), defaultFont.Bold()};
    fonts_.assign(kDefaultFontRecords, def);
    for (const auto& font : fonts) FontIndex(font.get(), decoder);

    cellXfs_.push_back(XfFields{});
    xfOfRef_.push_back(static_cast<std::uint16_t>(kDefaultCellXf));
    for (const auto& format : formats) {
        XfFields f;
        f.font = FontIndex(format->GetFont(), decoder);
        f.numberFormat = format->NumberFormatId();
        f.align = format->Alignment();
        f.top = format->TopBorder();
        f.bottom = format->BottomBorder();
        auto same =
            std::find_if(cellXfs_.begin(), cellXfs_.end(), [&](const XfFields& x) { return SameXf(x, f); });
        std::size_t at = static_cast<std::size_t>(same - cellXfs_.begin());
        if (same == cellXfs_.end()) {
            if (kStyleXfCount + cellXfs_.size() < kMaxXfRecords) {
                cellXfs_.push_back(f);
            } else {
                at = 0;
            }
        }
        xfOfRef_.push_back(static_cast<std::uint16_t>(kDefaultCellXf + at));
    }
}

int StyleTable::FontIndex(const FontStyle* font, TextDecoder& decoder) {
    if (font == nullptr) return 0;
    FontKey key{decoder.Decode(font->Name()), font->Points(), font->Bold()};
    auto same = std::find(fonts_.begin(), fonts_.end(), key);
    std::size_t record = static_cast<std::size_t>(same - fonts_.begin());
    if (same == fonts_.end()) {
        if (fonts_.size() >= kMaxFonts) return 0;
        fonts_.push_back(key);
    }
    return record < kSkippedFontIndex ? static_cast<int>(record) : static_cast<int>(record) + 1;
}

void StyleTable::WriteFonts(RecordStream& out) const {
    for (const FontKey& f : fonts_) WriteFontRecord(out, f.name, f.points, f.bold);
}

void StyleTable::WriteXfs(RecordStream& out) const {
    // Style XF 0 is "Normal"; the others are the built-in styles' slots,
    // pointing at the default font copies as Excel writes them.
    static const int kStyleFonts[kStyleXfCount] = {0, 1, 1, 2, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
    for (int font : kStyleFonts) WriteStyleXf(out, font);
    for (const XfFields& f : cellXfs_) WriteCellXf(out, f);
}

}  // namespace tarn::xls
