#!/usr/bin/python3
"""Dumps a workbook as text lines, read with xlrd (an independent reader).

usage: xls_dump.py WORKBOOK OUTPUT

Lines (UTF-8):
  sheet <index> <name> rows=<nrows> cols=<ncols>
  cell <row> <col> <kind> <value> | fmt=<number format> font=<name>[,bold] align=<h> top=<t> bottom=<b>
  merge <first row> <last row> <first col> <last col>   (inclusive)
  width <col> <whole characters>
Kinds: text, number, date (value as yyyy-mm-dd), blank. Empty cells are left out.
"""
import sys

import xlrd

KINDS = {xlrd.XL_CELL_TEXT: "text", xlrd.XL_CELL_NUMBER: "number",
         xlrd.XL_CELL_DATE: "date", xlrd.XL_CELL_BLANK: "blank"}


def style(book, cell):
    xf = book.xf_list[cell.xf_index]
    font = book.font_list[xf.font_index]
    fmt = book.format_map[xf.format_key].format_str
    name = font.name + (",bold" if font.bold else "")
    return "fmt=%s font=%s align=%d top=%d bottom=%d" % (
        fmt, name, xf.alignment.hor_align, xf.border.top_line_style,
        xf.border.bottom_line_style)


def value(book, cell):
    if cell.ctype == xlrd.XL_CELL_DATE:
        y, m, d = xlrd.xldate_as_tuple(cell.value, book.datemode)[:3]
        return "%04d-%02d-%02d" % (y, m, d)
    if cell.ctype == xlrd.XL_CELL_NUMBER:
        return repr(cell.value)
    return cell.value


def main():
    book = xlrd.open_workbook(sys.argv[1], formatting_info=True)
    out = []
    for index, sheet in enumerate(book.sheets()):
        out.append("sheet %d %s rows=%d cols=%d" % (index, sheet.name, sheet.nrows, sheet.ncols))
        for r in range(sheet.nrows):
            for c, cell in enumerate(sheet.row(r)):
                if cell.ctype == xlrd.XL_CELL_EMPTY:
                    continue
                out.append("cell %d %d %s %s | %s" % (r, c, KINDS.get(cell.ctype, "?"),
                                                      value(book, cell), style(book, cell)))
        for rlo, rhi, clo, chi in sorted(sheet.merged_cells):
            out.append("merge %d %d %d %d" % (rlo, rhi - 1, clo, chi - 1))
        for c in sorted(sheet.colinfo_map):
            out.append("width %d %d" % (c, sheet.colinfo_map[c].width // 256))
    with open(sys.argv[2], "w", encoding="utf-8") as f:
        f.write("\n".join(out) + "\n")


if __name__ == "__main__":
    main()
