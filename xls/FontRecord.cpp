#include "xls/FontRecord.h"

#include "xls/Limits.h"
#include "xls/UnicodeString.h"

namespace tarn::xls {
namespace {

constexpr std::uint16_t kFontRecord = 0x0031;
// Font heights are stored in twips, 20 to the point.
constexpr int kTwipsPerPoint = 20;
// Weights of regular and bold text.
constexpr std::uint16_t kWeightNormal = 400;
constexpr std::uint16_t kWeightBold = 700;
// Option bit 0 repeats "bold" for older readers; Excel derives it from the weight.
constexpr std::uint16_t kBoldFlag = 0x0001;
// Colour index meaning "the window text colour".
constexpr std::uint16_t kAutomaticFontColor = 0x7FFF;

}  // namespace

void WriteFontRecord(RecordStream& out, const std::u16string& name, int points, bool bold) {
    out.Begin(kFontRecord);
    out.U16(static_cast<std::uint16_t>(points * kTwipsPerPoint));
    out.U16(bold ? kBoldFlag : 0);  // not italic, not struck out
    out.U16(kAutomaticFontColor);
    out.U16(bold ? kWeightBold : kWeightNormal);
    out.U16(0);  // no super- or subscript
    out.U8(0);   // not underlined
    out.U8(0);   // family unknown
    out.U8(0);   // ANSI character set
    out.U8(0);   // reserved
    AppendShortString(out, name.size() > kMaxFontNameChars ? name.substr(0, kMaxFontNameChars) : name);
    out.End();
}

}  // namespace tarn::xls
