#include "xls/NumberFormats.h"

#include "xls/Limits.h"
#include "xls/UnicodeString.h"

namespace tarn::xls {
namespace {

constexpr std::uint16_t kFormatRecord = 0x041E;

struct BuiltIn {
    int id;
    const char* text;
};

// The built-in formats every reader knows by id (MS-XLS 2.4.126, en-US texts).
const BuiltIn kBuiltIns[] = {
    {0, "General"},
    {1, "0"},
    {2, "0.00"},
    {3, "#,##0"},
    {4, "#,##0.00"},
    {9, "0%"},
    {10, "0.00%"},
    {11, "0.00E+00"},
    {12, "# ?/?"},
    {13, "# ?\?/??"},
    {14, "m/d/yyyy"},
    {15, "d-mmm-yy"},
    {16, "d-mmm"},
    {17, "mmm-yy"},
    {18, "h:mm AM/PM"},
    {19, "h:mm:ss AM/PM"},
    {20, "h:mm"},
    {21, "h:mm:ss"},
    {22, "m/d/yyyy h:mm"},
    {37, "#,##0 ;(#,##0)"},
    {38, "#,##0 ;[Red](#,##0)"},
    {39, "#,##0.00;(#,##0.00)"},
    {40, "#,##0.00;[Red](#,##0.00)"},
    {45, "mm:ss"},
    {46, "[h]:mm:ss"},
    {47, "mmss.0"},
    {48, "##0.0E+0"},
    {49, "@"},
};

}  // namespace

int NumberFormats::Add(const std::string& text, const std::u16string& decoded) {
    if (decoded.empty() || decoded.size() > kMaxFormatTextChars) return 0;
    auto found = ids_.find(text);
    if (found != ids_.end()) return found->second;
    int id = kFirstCustomFormatId + static_cast<int>(custom_.size());
    if (id > kMaxFormatId) return 0;
    custom_.push_back({text, decoded});
    ids_.emplace(text, id);
    return id;
}

std::string NumberFormats::Text(int id) const {
    if (id >= kFirstCustomFormatId) {
        std::size_t i = static_cast<std::size_t>(id - kFirstCustomFormatId);
        return i < custom_.size() ? custom_[i].text : std::string();
    }
    for (const BuiltIn& b : kBuiltIns) {
        if (b.id == id) return b.text;
    }
    return std::string();
}

void NumberFormats::WriteRecords(RecordStream& out) const {
    for (std::size_t i = 0; i < custom_.size(); ++i) {
        out.Begin(kFormatRecord);
        out.U16(static_cast<std::uint16_t>(kFirstCustomFormatId + i));
        AppendLongString(out, custom_[i].decoded);
        out.End();
    }
}

}  // namespace tarn::xls
