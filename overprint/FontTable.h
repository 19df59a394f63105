#pragma once
// What a font number stands for: the built-in fonts 0-61, whose dictionaries
// and descriptors are stored in the program, and the external fonts 100-199
// of the font file PdfFont.ext. Font numbers 62-99 name no font; the text
// layout draws them in font 0 (Courier), so they never reach this table.

#include <array>
#include <string>

#include "overprint/FontWidths.h"
#include "overprint/PdfObjectSink.h"

namespace tarn::overprint {

// Font numbers 0-199: the entries of fontUsed.
inline constexpr int kFontSlots = 200;
// The first font number served from PdfFont.ext.
inline constexpr int kFirstExternalFont = 100;
// Resource name prefix of every font in the pages ("/FilL" + number).
inline constexpr const char* kFontResourcePrefix = "/FilL";

// Per font number: 0 when the text does not use it; non-zero when it does,
// and after WriteUsedFonts the object number of its font dictionary.
using FontUsed = std::array<int, kFontSlots>;

// The inside of built-in font n's dictionary (without "<<" and ">>").
std::string BuiltinFontDictionary(int n);
// The inside of built-in font n's descriptor; empty for fonts 0-13.
std::string BuiltinFontDescriptor(int n);

// True for the numbers that name a font: 0-61 and 100-199.
bool IsFontNumber(int n);

// Writes the objects of every used font in increasing font number and
// replaces each used entry by its dictionary's object number.
// `externalFonts` is the whole content of PdfFont.ext.
void WriteUsedFonts(PdfObjectSink& sink, const std::string& externalFonts, FontUsed* used);

}  // namespace tarn::overprint
