#!/usr/bin/python3
"""Generates overprint/FontWidths.cpp: the /Widths arrays of the built-in fonts 14-61.

Run from the repository root:  /usr/bin/python3 tools/gen_font_widths.py > overprint/FontWidths.cpp
Needs the Debian packages fonts-urw-base35, fonts-liberation and python3-fonttools.
The output is committed as source, so the build does not need any of them.

Where the widths come from:
  * Faces with a metric-compatible free clone take that clone's metrics: the URW base35
    AFM files (AvantGarde = URW Gothic, Bookman = URW Bookman, Helvetica-Narrow = Nimbus
    Sans Narrow, NewCenturySchlbk = C059, Palatino = P052, ZapfChancery = Z003) and
    Liberation Sans for the Arial faces 39-42.
  * Fonts 43 and 58 are monospaced: 603 and 600 for every code.
  * Faces without free metrics take the nearest available face (table APPROXIMATED below).
    Their widths are an approximation: text set in them lines up a little differently
    from the original face, but every code has a plausible advance.

Each code is mapped to a glyph through the font's /Encoding (WinAnsiEncoding through
Windows-1252, MacRomanEncoding through the PDF MacRoman glyph list). A code that the
encoding leaves unassigned, or whose glyph the face lacks, gets width 0.
"""

import sys

from fontTools import agl
from fontTools.encodings.MacRoman import MacRoman
from fontTools.ttLib import TTFont

URW = "/usr/share/fonts/type1/urw-base35/"
LIB = "/usr/share/fonts/truetype/liberation/"

WIN = "WinAnsiEncoding"
MAC = "MacRomanEncoding"

# font number: (metrics source, encoding, first code, last code)
FONTS = {
    14: (URW + "URWGothic-Book.afm", WIN, 32, 251),
    15: (URW + "URWGothic-BookOblique.afm", WIN, 32, 251),
    16: (URW + "URWGothic-Demi.afm", WIN, 32, 251),
    17: (URW + "URWGothic-DemiOblique.afm", MAC, 32, 251),
    18: (URW + "URWBookman-Demi.afm", MAC, 32, 251),
    19: (URW + "URWBookman-DemiItalic.afm", MAC, 32, 251),
    20: (URW + "URWBookman-Light.afm", MAC, 32, 251),
    21: (URW + "URWBookman-LightItalic.afm", MAC, 32, 251),
    22: (URW + "NimbusSansNarrow-Regular.afm", MAC, 32, 251),
    23: (URW + "NimbusSansNarrow-Oblique.afm", MAC, 32, 251),
    24: (URW + "NimbusSansNarrow-Bold.afm", MAC, 32, 251),
    25: (URW + "NimbusSansNarrow-BoldOblique.afm", MAC, 32, 251),
    26: (URW + "C059-Roman.afm", MAC, 32, 251),
    27: (URW + "C059-Italic.afm", MAC, 32, 251),
    28: (URW + "C059-Bold.afm", MAC, 32, 251),
    29: (URW + "C059-BdIta.afm", MAC, 32, 251),
    30: (URW + "P052-Roman.afm", MAC, 32, 251),
    31: (URW + "P052-Italic.afm", MAC, 32, 251),
    32: (URW + "P052-Bold.afm", MAC, 32, 251),
    33: (URW + "P052-BoldItalic.afm", MAC, 32, 251),
    34: (URW + "Z003-MediumItalic.afm", MAC, 32, 251),
    35: (URW + "NimbusSansNarrow-Regular.afm", MAC, 32, 251),
    36: (URW + "NimbusSansNarrow-Bold.afm", MAC, 32, 251),
    37: (URW + "NimbusSansNarrow-Oblique.afm", MAC, 32, 251),
    38: (URW + "NimbusSansNarrow-BoldOblique.afm", MAC, 32, 251),
    39: (LIB + "LiberationSans-Regular.ttf", MAC, 0, 255),
    40: (LIB + "LiberationSans-Italic.ttf", WIN, 0, 255),
    41: (LIB + "LiberationSans-Bold.ttf", MAC, 0, 255),
    42: (LIB + "LiberationSans-BoldItalic.ttf", WIN, 0, 255),
    43: (603, WIN, 0, 255),
    44: (URW + "C059-Roman.afm", WIN, 0, 255),
    45: (URW + "NimbusSans-Regular.afm", WIN, 0, 255),
    46: (URW + "NimbusRoman-Regular.afm", WIN, 0, 255),
    47: (URW + "NimbusRoman-Bold.afm", WIN, 0, 255),
    48: (URW + "NimbusRoman-Regular.afm", WIN, 0, 255),
    49: (URW + "NimbusSans-Regular.afm", WIN, 0, 255),
    50: (URW + "NimbusSans-Regular.afm", WIN, 0, 255),
    51: (URW + "NimbusSans-Bold.afm", WIN, 0, 255),
    52: (URW + "NimbusSans-Regular.afm", WIN, 0, 255),
    53: (URW + "NimbusSans-Bold.afm", WIN, 32, 255),
    54: (URW + "URWBookman-Light.afm", WIN, 0, 255),
    55: (URW + "URWBookman-LightItalic.afm", WIN, 0, 255),
    56: (URW + "URWBookman-Demi.afm", WIN, 0, 255),
    57: (URW + "URWBookman-DemiItalic.afm", WIN, 0, 255),
    58: (600, WIN, 0, 255),
    59: (URW + "Z003-MediumItalic.afm", WIN, 0, 255),
    60: (URW + "NimbusSans-Regular.afm", WIN, 0, 255),
    61: (URW + "NimbusRoman-Regular.afm", WIN, 0, 255),
}

# Faces with no free metrics, and why the chosen face is the nearest one.
APPROXIMATED = {
    35: "Helvetica-Condensed: Nimbus Sans Narrow (the closest condensed Helvetica clone)",
    36: "Helvetica-Condensed-Bold: Nimbus Sans Narrow Bold",
    37: "Helvetica-Condensed-Oblique: Nimbus Sans Narrow Oblique",
    38: "Helvetica-Condensed-BoldObl: Nimbus Sans Narrow Bold Oblique",
    44: "American-Uncial: C059 Roman (wide upright face)",
    45: "Kaliakra: Nimbus Sans",
    46: "Cougel: Nimbus Roman",
    47: "Cougel,Bold: Nimbus Roman Bold",
    48: "DelphianC: Nimbus Roman",
    49: "DesdaC: Nimbus Sans",
    50: "DesdemonaC: Nimbus Sans",
    51: "DexterC: Nimbus Sans Bold (heavy stems)",
    52: "DextorC: Nimbus Sans",
    53: "FixHelvDL,Bold: Nimbus Sans Bold (a Helvetica-like bold)",
    54: "Korinna: URW Bookman Light",
    55: "KorinnaNormal-Italic: URW Bookman Light Italic",
    56: "Korinna,Bold: URW Bookman Demi",
    57: "KorinnaBold-Italic: URW Bookman Demi Italic",
    59: "MonotypeCorsiva: Z003 Medium Italic (chancery script)",
    60: "Myriad-Roman: Nimbus Sans",
    61: "Kudrashov: Nimbus Roman",
}


def glyph_name(code, encoding):
    """The glyph name a code selects under the font's encoding, or None."""
    if encoding == MAC:
        name = MacRoman[code]
        return None if name == ".notdef" or code < 32 else name
    if code < 32:
        return None
    try:
        uv = ord(bytes([code]).decode("cp1252"))
    except UnicodeDecodeError:
        return None
    return agl.UV2AGL.get(uv)


def afm_widths(path):
    widths = {}
    with open(path, encoding="latin-1") as f:
        for line in f:
            if not line.startswith("C "):
                continue
            fields = dict(
                part.strip().split(" ", 1) for part in line.split(";") if part.strip()
            )
            widths[fields["N"].strip()] = round(float(fields["WX"]))
    return widths


def ttf_widths(path):
    font = TTFont(path)
    scale = 1000.0 / font["head"].unitsPerEm
    cmap = font.getBestCmap()
    hmtx = font["hmtx"]
    widths = {}
    for name, uv in agl.AGL2UV.items():
        glyph = cmap.get(uv)
        if glyph is not None:
            widths[name] = round(hmtx[glyph][0] * scale)
    return widths


def widths_for(number):
    source, encoding, first, last = FONTS[number]
    if isinstance(source, int):
        return [source] * (last - first + 1)
    table = ttf_widths(source) if source.endswith(".ttf") else afm_widths(source)
    out = []
    for code in range(first, last + 1):
        name = glyph_name(code, encoding)
        out.append(table.get(name, 0) if name else 0)
    return out


def main():
    w = sys.stdout.write
    w("// Generated by tools/gen_font_widths.py from the URW base35 and Liberation Sans\n")
    w("// metrics; do not edit by hand. Approximated faces (no free metrics):\n")
    for number, why in sorted(APPROXIMATED.items()):
        w("//   %d %s\n" % (number, why))
    w('#include "overprint/FontWidths.h"\n\nnamespace tarn::overprint {\n\n')
    w("// /Widths arrays of the built-in fonts 14-61, indexed by font number.\n")
    w("const char* const kFontWidths[kBuiltinFontCount] = {\n")
    for number in range(0, 62):
        if number not in FONTS:
            w("    nullptr,\n")
            continue
        values = [str(v) for v in widths_for(number)]
        w("    // %d\n    \"[" % number)
        for i, v in enumerate(values):
            if i and i % 16 == 0:
                w('"\n    "')
            w(v + ("" if i == len(values) - 1 else " "))
        w(']",\n')
    w("};\n\n}  // namespace tarn::overprint\n")


if __name__ == "__main__":
    main()
