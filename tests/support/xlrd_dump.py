"""Prints what xlrd (with formatting information) reads from a workbook, one
fact per line, for the workbook library's tests to compare:

  sheet <i> <name>
  size <i> <nrows> <ncols>
  cell <i> <row> <col> <type> <value>     (type: text, number, blank)
  style <i> <row> <col> fmt=<text> font=<name>/<points>/<bold> align=<h> top=<n> bottom=<n>
  width <i> <col> <width in 1/256 characters>
  merge <i> <first row> <last row> <first col> <last col>
  stats <i> <text cells> <number cells> <sum of numbers>

Usage: xlrd_dump.py FILE [ROWS]: cell and style lines only for the first and
last ROWS rows of each sheet (all rows when ROWS is omitted)."""
import sys

import xlrd

KINDS = {xlrd.XL_CELL_TEXT: "text", xlrd.XL_CELL_NUMBER: "number",
         xlrd.XL_CELL_DATE: "number", xlrd.XL_CELL_BLANK: "blank"}


def main():
    path = sys.argv[1]
    limit = int(sys.argv[2]) if len(sys.argv) > 2 else None
    book = xlrd.open_workbook(path, formatting_info=True, ragged_rows=True)
    out = []
    for i, sheet in enumerate(book.sheets()):
        out.append("sheet %d %s" % (i, sheet.name))
        out.append("size %d %d %d" % (i, sheet.nrows, sheet.ncols))
        texts = numbers = 0
        total = 0.0
        for r in range(sheet.nrows):
            shown = limit is None or r < limit or r >= sheet.nrows - limit
            types = sheet.row_types(r)
            values = sheet.row_values(r)
            for c in range(sheet.row_len(r)):
                kind = KINDS.get(types[c])
                if kind is None:
                    continue
                if kind == "text":
                    texts += 1
                elif kind == "number":
                    numbers += 1
                    total += values[c]
                if not shown:
                    continue
                value = repr(values[c]) if kind == "number" else values[c]
                out.append("cell %d %d %d %s %s" % (i, r, c, kind, value))
                xf = book.xf_list[sheet.cell_xf_index(r, c)]
                font = book.font_list[xf.font_index]
                out.append("style %d %d %d fmt=%s font=%s/%d/%d align=%d top=%d bottom=%d" % (
                    i, r, c, book.format_map[xf.format_key].format_str, font.name,
                    font.height // 20, font.bold, xf.alignment.hor_align,
                    xf.border.top_line_style, xf.border.bottom_line_style))
        for col in sorted(sheet.colinfo_map):
            out.append("width %d %d %d" % (i, col, sheet.colinfo_map[col].width))
        for rlo, rhi, clo, chi in sheet.merged_cells:
            out.append("merge %d %d %d %d %d" % (i, rlo, rhi - 1, clo, chi - 1))
        out.append("stats %d %d %d %r" % (i, texts, numbers, total))
    sys.stdout.buffer.write(("\n".join(out) + "\n").encode("utf-8"))


if __name__ == "__main__":
    main()
