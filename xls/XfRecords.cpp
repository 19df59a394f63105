#include "xls/XfRecords.h"

namespace tarn::xls {
namespace {

constexpr std::uint16_t kXfRecord = 0x00E0;
constexpr std::uint16_t kStyleRecord = 0x0293;

// XF type and protection word: locked, style flag, parent index in bits 4-15.
constexpr std::uint16_t kLocked = 0x0001;
constexpr std::uint16_t kStyleFlag = 0x0004;
constexpr std::uint16_t kNoParent = 0xFFF0;
// Vertical alignment "bottom" in bits 4-6 of the alignment byte.
constexpr std::uint8_t kAlignBottom = 0x20;
// Used-attribute flags of a cell XF: number format, font, alignment, border,
// pattern and protection differ from the parent style (bits 2-7).
constexpr std::uint8_t kAllAttributesOwn = 0xFC;
// Colour index of the system window text, used for border lines.
constexpr std::uint32_t kAutomaticColor = 0x40;
// Pattern colours: automatic foreground and background.
constexpr std::uint16_t kDefaultPatternColors = 0x40 | (0x41 << 7);
// Built-in style id of "Normal" and the level byte of a non-outline style.
constexpr std::uint8_t kNormalStyleId = 0;
constexpr std::uint8_t kNoOutlineLevel = 0xFF;
constexpr std::uint16_t kBuiltInStyle = 0x8000;

void WriteXf(RecordStream& out, int font, int numberFormat, std::uint16_t typeProt, HAlign align,
             BorderStyle top, BorderStyle bottom, std::uint8_t used) {
    out.Begin(kXfRecord);
    out.U16(static_cast<std::uint16_t>(font));
    out.U16(static_cast<std::uint16_t>(numberFormat));
    out.U16(typeProt);
    out.U8(static_cast<std::uint8_t>(static_cast<int>(align) | kAlignBottom));
    out.U8(0);  // no rotation
    out.U8(0);  // no indent, context reading order
    out.U8(used);
    // Border line styles: left 0-3, right 4-7, top 8-11, bottom 12-15; then the
    // left and right colours (16-22, 23-29).
    std::uint32_t border =
        (static_cast<std::uint32_t>(top) << 8) | (static_cast<std::uint32_t>(bottom) << 12);
    out.U32(border);
    // Top colour 0-6, bottom colour 7-13, no diagonal, no fill pattern.
    std::uint32_t colors = 0;
    if (top != BorderStyle::kNone) colors |= kAutomaticColor;
    if (bottom != BorderStyle::kNone) colors |= kAutomaticColor << 7;
    out.U32(colors);
    out.U16(kDefaultPatternColors);
    out.End();
}

}  // namespace

void WriteStyleXf(RecordStream& out, int font) {
    WriteXf(out, font, 0, kLocked | kStyleFlag | kNoParent, HAlign::kGeneral, BorderStyle::kNone,
            BorderStyle::kNone, 0);
}

void WriteCellXf(RecordStream& out, const XfFields& f) {
    WriteXf(out, f.font, f.numberFormat, kLocked, f.align, f.top, f.bottom, kAllAttributesOwn);
}

void WriteNormalStyleRecord(RecordStream& out) {
    out.Begin(kStyleRecord);
    out.U16(kBuiltInStyle | 0);  // style XF 0
    out.U8(kNormalStyleId);
    out.U8(kNoOutlineLevel);
    out.End();
}

}  // namespace tarn::xls
