#pragma once
// Advance widths of the built-in fonts, generated from real font metrics by
// tools/gen_font_widths.py (see there for the source of every face).

namespace tarn::overprint {

// Fonts 0-61 are stored in the program.
inline constexpr int kBuiltinFontCount = 62;

// The /Widths array text ("[w w ...]") of each built-in font; nullptr for the
// standard fonts 0-13, which carry no widths.
extern const char* const kFontWidths[kBuiltinFontCount];

}  // namespace tarn::overprint
