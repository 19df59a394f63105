#include "overprint/FontTable.h"

#include "overprint/ExternalFontFile.h"

namespace tarn::overprint {
namespace {

struct BuiltinFont {
    const char* name;  // /Name value, nullptr for none (the spelling varies: FilL, Fill)
    const char* baseFont;
    const char* subtype;
    const char* encoding;
    int firstChar;  // -1: no /FirstChar, /LastChar, /Widths
    int lastChar;
};

const BuiltinFont kFonts[kBuiltinFontCount] = {
    {"FilL0", "Courier", "Type1", "WinAnsiEncoding", -1, -1},
    {"FilL1", "Courier-Bold", "Type1", "WinAnsiEncoding", -1, -1},
    {"FilL2", "Courier-Oblique", "Type1", "WinAnsiEncoding", -1, -1},
    {"FilL3", "Courier-BoldOblique", "Type1", "WinAnsiEncoding", -1, -1},
    {"FilL4", "Times-Roman", "Type1", "WinAnsiEncoding", -1, -1},
    {"FilL5", "Times-Bold", "Type1", "WinAnsiEncoding", -1, -1},
    {"FilL6", "Times-Italic", "Type1", "WinAnsiEncoding", -1, -1},
    {"FilL7", "Times-BoldItalic", "Type1", "WinAnsiEncoding", -1, -1},
    {"FilL8", "Helvetica", "Type1", "WinAnsiEncoding", -1, -1},
    {"FilL9", "Helvetica-Bold", "Type1", "WinAnsiEncoding", -1, -1},
    {"FilL10", "Helvetica-Oblique", "Type1", "WinAnsiEncoding", -1, -1},
    {"FilL11", "Helvetica-BoldOblique", "Type1", "WinAnsiEncoding", -1, -1},
    {"FilL12", "Symbol", "Type1", "WinAnsiEncoding", -1, -1},
    {"FilL13", "ZapfDingbats", "Type1", "WinAnsiEncoding", -1, -1},
    {"FilL14", "AvantGarde-Book", "Type1", "WinAnsiEncoding", 32, 251},
    {"FilL15", "AvantGarde-BookOblique", "Type1", "WinAnsiEncoding", 32, 251},
    {"FilL16", "AvantGarde-Demi", "Type1", "WinAnsiEncoding", 32, 251},
    {"Fill17", "AvantGarde-DemiOblique", "Type1", "MacRomanEncoding", 32, 251},
    {"Fill18", "Bookman-Demi", "Type1", "MacRomanEncoding", 32, 251},
    {"Fill19", "Bookman-DemiItalic", "Type1", "MacRomanEncoding", 32, 251},
    {"Fill20", "Bookman-Light", "Type1", "MacRomanEncoding", 32, 251},
    {"Fill21", "Bookman-LightItalic", "Type1", "MacRomanEncoding", 32, 251},
    {"Fill22", "Helvetica-Narrow", "Type1", "MacRomanEncoding", 32, 251},
    {"Fill23", "Helvetica-Narrow-Oblique", "Type1", "MacRomanEncoding", 32, 251},
    {"Fill24", "Helvetica-Narrow-Bold", "Type1", "MacRomanEncoding", 32, 251},
    {"Fill25", "Helvetica-Narrow-BoldOblique", "Type1", "MacRomanEncoding", 32, 251},
    {"FilL26", "NewCenturySchlbk-Roman", "Type1", "MacRomanEncoding", 32, 251},
    {"FilL27", "NewCenturySchlbk-Italic", "Type1", "MacRomanEncoding", 32, 251},
    {"FilL28", "NewCenturySchlbk-Bold", "Type1", "MacRomanEncoding", 32, 251},
    {"FilL29", "NewCenturySchlbk-BoldItalic", "Type1", "MacRomanEncoding", 32, 251},
    {"Fill30", "Palatino-Roman", "Type1", "MacRomanEncoding", 32, 251},
    {"Fill31", "Palatino-Italic", "Type1", "MacRomanEncoding", 32, 251},
    {"Fill32", "Palatino-Bold", "Type1", "MacRomanEncoding", 32, 251},
    {"Fill33", "Palatino-BoldItalic", "Type1", "MacRomanEncoding", 32, 251},
    {"Fill34", "ZapfChancery-MediumItalic", "Type1", "MacRomanEncoding", 32, 251},
    {"Fill35", "Helvetica-Condensed", "Type1", "MacRomanEncoding", 32, 251},
    {"Fill36", "Helvetica-Condensed-Bold", "Type1", "MacRomanEncoding", 32, 251},
    {"Fill37", "Helvetica-Condensed-Oblique", "Type1", "MacRomanEncoding", 32, 251},
    {"Fill38", "Helvetica-Condensed-BoldObl", "Type1", "MacRomanEncoding", 32, 251},
    {nullptr, "ArialMT", "Type1", "MacRomanEncoding", 0, 255},
    {nullptr, "Arial-ItalicMT", "Type1", "WinAnsiEncoding", 0, 255},
    {nullptr, "Arial-BoldMT", "Type1", "MacRomanEncoding", 0, 255},
    {nullptr, "Arial-BoldItalicMT", "Type1", "WinAnsiEncoding", 0, 255},
    {nullptr, "LucidaConsole", "TrueType", "WinAnsiEncoding", 0, 255},
    {nullptr, "American-Uncial", "TrueType", "WinAnsiEncoding", 0, 255},
    {nullptr, "Kaliakra", "TrueType", "WinAnsiEncoding", 0, 255},
    {nullptr, "Cougel", "TrueType", "WinAnsiEncoding", 0, 255},
    {nullptr, "Cougel,Bold", "TrueType", "WinAnsiEncoding", 0, 255},
    {nullptr, "DelphianC", "TrueType", "WinAnsiEncoding", 0, 255},
    {nullptr, "DesdaC", "TrueType", "WinAnsiEncoding", 0, 255},
    {nullptr, "DesdemonaC", "TrueType", "WinAnsiEncoding", 0, 255},
    {nullptr, "DexterC", "TrueType", "WinAnsiEncoding", 0, 255},
    {nullptr, "DextorC", "TrueType", "WinAnsiEncoding", 0, 255},
    {nullptr, "FixHelvDL,Bold", "TrueType", "WinAnsiEncoding", 32, 255},
    {nullptr, "Korinna", "TrueType", "WinAnsiEncoding", 0, 255},
    {nullptr, "KorinnaNormal-Italic", "TrueType", "WinAnsiEncoding", 0, 255},
    {nullptr, "Korinna,Bold", "TrueType", "WinAnsiEncoding", 0, 255},
    {nullptr, "KorinnaBold-Italic", "TrueType", "WinAnsiEncoding", 0, 255},
    {nullptr, "Monotype.com", "TrueType", "WinAnsiEncoding", 0, 255},
    {nullptr, "MonotypeCorsiva", "TrueType", "WinAnsiEncoding", 0, 255},
    {nullptr, "Myriad-Roman", "Type1", "WinAnsiEncoding", 0, 255},
    {nullptr, "Kudrashov", "TrueType", "WinAnsiEncoding", 0, 255},
};

// Descriptor values of fonts 14-61: FontName, FontBBox, Flags, ItalicAngle,
// Ascent, Descent, CapHeight, XHeight, StemV.
struct Descriptor {
    const char* fontName;
    const char* bbox;
    const char* flags;
    const char* italicAngle;
    int ascent, descent, capHeight, xHeight, stemV;
};

// Fonts without a stored descriptor (the standard 14).
inline constexpr int kFirstDescribedFont = 14;

const Descriptor kDescriptors[kBuiltinFontCount - kFirstDescribedFont] = {
    {"AvantGarde-Book", "-113 -222 1148 955", "32", "0", 740, -192, 740, 547, 70},
    {"AvantGarde-BookOblique", "-113 -222 1279 955", "96", "-10.5", 740, -192, 740, 547, 70},
    {"AvantGarde-Demi", "-123 -251 1222 1021", "262176", "0", 740, -185, 740, 555, 133},
    {"AvantGarde-DemiOblique", "-123 -251 1256 1021", "262240", "-10.5", 740, -185, 740, 555, 133},
    {"Bookman-Demi", "-194 -250 1346 934", "262178", "0", 725, -212, 681, 502, 167},
    {"Bookman-DemiItalic", "-231 -250 1333 941", "262242", "-10", 732, -213, 681, 515, 172},
    {"Bookman-Light", "-188 -251 1266 908", "34", "0", 717, -228, 681, 484, 96},
    {"Bookman-LightItalic", "-228 -250 1269 883", "98", "-10", 717, -212, 681, 494, 96},
    {"Helvetica-Narrow", "-136 -225 820 931", "32", "0", 718, -207, 718, 523, 88},
    {"Helvetica-Narrow-Oblique", "-139 -225 915 931", "96", "-12", 718, -207, 718, 523, 88},
    {"Helvetica-Narrow-Bold", "-139 -228 822 962", "262176", "0", 718, -207, 718, 532, 140},
    {"Helvetica-Narrow-BoldOblique", "-143 -228 913 962", "262240", "-12", 718, -207, 718, 532, 140},
    {"NewCenturySchlbk-Roman", "-195 -250 1000 965", "34", "0", 737, -205, 722, 464, 92},
    {"NewCenturySchlbk-Italic", "-166 -250 994 958", "98", "-16", 737, -205, 722, 466, 80},
    {"NewCenturySchlbk-Bold", "-165 -250 1000 988", "262178", "0", 737, -205, 722, 475, 154},
    {"NewCenturySchlbk-BoldItalic", "-205 -250 1147 991", "262242", "-16", 737, -205, 722, 477, 150},
    {"Palatino-Roman", "-166 -283 1021 927", "34", "0", 726, -281, 692, 469, 84},
    {"Palatino-Italic", "-170 -276 1010 918", "98", "-10", 733, -276, 692, 482, 84},
    {"Palatino-Bold", "-152 -266 1000 924", "262178", "0", 720, -258, 681, 471, 122},
    {"Palatino-BoldItalic", "-170 -271 1073 926", "262242", "-10", 726, -271, 681, 469, 122},
    {"ZapfChancery-MediumItalic", "-181 -314 1065 831", "98", "-14", 714, -314, 708, 438, 70},
    {"Helvetica-Condensed", "-174 -224 1071 990", "32", "0", 750, -188, 750, 556, 79},
    {"Helvetica-Condensed-Bold", "-169 -228 1091 971", "262176", "0", 750, -189, 750, 564, 130},
    {"Helvetica-Condensed-Oblique", "-174 -224 1118 990", "96", "-12", 750, -188, 750, 556, 79},
    {"Helvetica-Condensed-BoldObl", "-169 -228 1141 971", "262240", "-12", 750, -189, 750, 564, 130},
    {"ArialMT", "-222 -250 1006 922", "32", "0", 922, -250, 716, 518, 96},
    {"Arial-ItalicMT", "-261 -250 1059 936", "98", "0", 936, -250, 715, 517, 84},
    {"Arial-BoldMT", "-167 -250 1006 939", "32", "0", 939, -250, 716, 518, 144},
    {"Arial-BoldItalicMT", "-248 -250 1079 944", "98", "0", 944, -250, 715, 517, 136},
    {"LucidaConsole", "0 -211 603 789", "34", "0", 789, -211, 626, 530, 96},
    {"American-Uncial", "-150 -242 1208 740", "34", "0", 740, -242, 480, 488, 104},
    {"Kaliakra", "-81 -282 1062 813", "32", "0", 813, -282, 667, 332, 80},
    {"Cougel", "0 -329 810 970", "34", "0", 970, -329, 706, 542, 44},
    {"Cougel,Bold", "-13 -298 836 988", "34", "0", 988, -298, 725, 573, 120},
    {"DelphianC", "-4 -233 971 800", "34", "0", 800, -233, 683, 683, 28},
    {"DesdaC", "3 -163 753 852", "34", "0", 852, -163, 709, 709, 68},
    {"DesdemonaC", "-6 -175 799 875", "34", "0", 875, -175, 732, 732, 8},
    {"DexterC", "-13 -167 989 827", "32", "0", 827, -167, 667, 667, 168},
    {"DextorC", "0 -167 1083 849", "34", "0", 849, -167, 667, 667, 80},
    {"FixHelvDL,Bold", "0 -172 657 763", "32", "0", 763, -172, 630, 500, 75},
    {"Korinna", "0 -214 926 754", "34", "0", 754, -214, 634, 426, 80},
    {"KorinnaNormal-Italic", "0 -214 896 788", "34", "0", 788, -214, 636, 440, 68},
    {"Korinna,Bold", "0 -214 982 838", "34", "0", 838, -214, 636, 440, 152},
    {"KorinnaBold-Italic", "0 -214 998 838", "34", "0", 838, -214, 636, 448, 140},
    {"Monotype.com", "-55 -303 620 995", "34", "0", 995, -303, 689, 509, 76},
    {"MonotypeCorsiva", "-240 -307 1159 913", "96", "-15", 913, -307, 585, 433, 72},
    {"Myriad-Roman", "-46 -250 1126 831", "32", "0", 831, -250, 674, 484, 88},
    {"Kudrashov", "-17 -263 1153 934", "34", "0", 934, -263, 723, 481, 80},
};

bool IsBuiltin(int n) { return n >= 0 && n < kBuiltinFontCount; }

// Writes built-in font n: descriptor (when it has one) first, then the dictionary.
int WriteBuiltinFont(PdfObjectSink& sink, int n) {
    std::string dictionary = "obj\n<<" + BuiltinFontDictionary(n);
    std::string descriptor = BuiltinFontDescriptor(n);
    if (!descriptor.empty()) {
        int d = sink.TakeObjectNumber();
        sink.WriteObject(d, "obj\n<<" + descriptor + ">>\n");
        dictionary += "/FontDescriptor " + std::to_string(d) + " 0 R ";
    }
    dictionary += ">>\n";
    int f = sink.TakeObjectNumber();
    sink.WriteObject(f, dictionary);
    return f;
}

}  // namespace

bool IsFontNumber(int n) { return IsBuiltin(n) || (n >= kFirstExternalFont && n < kFontSlots); }

std::string BuiltinFontDictionary(int n) {
    if (!IsBuiltin(n)) return std::string();
    const BuiltinFont& f = kFonts[n];
    std::string text = " /Type /Font /Subtype /";
    text += f.subtype;
    if (f.name) {
        text += " /Name /";
        text += f.name;
    }
    text += " /BaseFont /";
    text += f.baseFont;
    text += " /Encoding /";
    text += f.encoding;
    text += "\n";
    if (f.firstChar >= 0) {
        text += " /FirstChar " + std::to_string(f.firstChar) + " /LastChar " + std::to_string(f.lastChar) +
                "\n /Widths " + kFontWidths[n] + "\n";
    }
    return text;
}

std::string BuiltinFontDescriptor(int n) {
    if (!IsBuiltin(n) || n < kFirstDescribedFont) return std::string();
    const Descriptor& d = kDescriptors[n - kFirstDescribedFont];
    std::string text = " /Type /FontDescriptor /FontName /";
    text += d.fontName;
    text += " /FontBBox [";
    text += d.bbox;
    text += "] /Flags ";
    text += d.flags;
    text += " /ItalicAngle ";
    text += d.italicAngle;
    text += " /Ascent " + std::to_string(d.ascent) + " /Descent " + std::to_string(d.descent) +
            " /CapHeight " + std::to_string(d.capHeight) + " /XHeight " + std::to_string(d.xHeight) +
            " /StemV " + std::to_string(d.stemV) + " ";
    return text;
}

void WriteUsedFonts(PdfObjectSink& sink, const std::string& externalFonts, FontUsed* used) {
    ExternalFontFile external(externalFonts);
    for (int n = 0; n < kFontSlots; ++n) {
        if ((*used)[n] == 0) continue;
        if (IsBuiltin(n)) {
            (*used)[n] = WriteBuiltinFont(sink, n);
        } else if (n >= kFirstExternalFont) {
            (*used)[n] = external.WriteFont(sink, n);
        } else {
            (*used)[n] = 0;  // 62-99 name no font
        }
    }
}

}  // namespace tarn::overprint
