"""Follows the cell index of every sheet of a workbook the way MS-XLS 2.2.1.1
tells a reader to look a cell up without reading the cell table: INDEX (right
after the sheet's BOF) -> each DBCELL -> the block's first ROW record -> the
first cell record of each row. Checks that every step lands on the record it
should, that the row numbers agree, and that every row with cells is reached.
The stream is read with olefile.

Usage: biff_index_check.py FILE; prints "ok <rows reached>" or "bad: why"."""
import struct
import sys

import olefile

BOF, EOF, INDEX, DBCELL, ROW, DEFCOLWIDTH, BOUNDSHEET = 0x0809, 0x000A, 0x020B, 0x00D7, 0x0208, 0x0055, 0x0085
CELLS = {0x00FD, 0x0203, 0x027E, 0x00BD, 0x0201}  # LABELSST NUMBER RK MULRK BLANK


def record_at(stream, pos):
    rtype, length = struct.unpack_from("<HH", stream, pos)
    return rtype, stream[pos + 4:pos + 4 + length]


def sheet_offsets(stream):
    offsets, pos = [], 0
    while True:
        rtype, data = record_at(stream, pos)
        if rtype == BOUNDSHEET:
            offsets.append(struct.unpack_from("<I", data)[0])
        if rtype == EOF:
            return offsets
        pos += 4 + len(data)


def rows_with_cells(stream, pos):
    rows = set()
    while True:
        rtype, data = record_at(stream, pos)
        if rtype == EOF:
            return rows
        if rtype in CELLS:
            rows.add(struct.unpack_from("<H", data)[0])
        pos += 4 + len(data)


def check_sheet(stream, bof):
    rtype, data = record_at(stream, bof)
    assert rtype == BOF, "no BOF at %d" % bof
    index_pos = bof + 4 + len(data)
    rtype, data = record_at(stream, index_pos)
    assert rtype == INDEX, "INDEX does not follow BOF"
    _, rw_mic, rw_mac, ib_xf = struct.unpack_from("<IIII", data)
    assert record_at(stream, ib_xf)[0] == DEFCOLWIDTH, "ibXF does not point at DEFCOLWIDTH"
    dbcells = struct.unpack_from("<%dI" % ((len(data) - 16) // 4), data, 16)
    reached = set()
    for db in dbcells:
        rtype, ddata = record_at(stream, db)
        assert rtype == DBCELL, "no DBCELL at %d" % db
        first_row = db - struct.unpack_from("<I", ddata)[0]
        offsets = struct.unpack_from("<%dH" % ((len(ddata) - 4) // 2), ddata, 4)
        row_numbers = []
        pos = first_row
        for _ in offsets:
            rtype, rdata = record_at(stream, pos)
            assert rtype == ROW, "no ROW record at %d" % pos
            row_numbers.append(struct.unpack_from("<H", rdata)[0])
            pos += 4 + len(rdata)
        cell = first_row + 20  # the end of the first ROW record
        for row, offset in zip(row_numbers, offsets):
            cell += offset
            rtype, cdata = record_at(stream, cell)
            assert rtype in CELLS, "no cell record at %d" % cell
            assert struct.unpack_from("<H", cdata)[0] == row, "cell of another row at %d" % cell
            reached.add(row)
    expected = rows_with_cells(stream, index_pos)
    assert reached == expected, "%d rows reached of %d" % (len(reached), len(expected))
    if expected:
        assert (rw_mic, rw_mac) == (min(expected), max(expected) + 1), "rwMic/rwMac %d/%d" % (rw_mic, rw_mac)
    return len(reached)


def main():
    ole = olefile.OleFileIO(sys.argv[1])
    stream = ole.openstream("Workbook").read()
    try:
        total = sum(check_sheet(stream, bof) for bof in sheet_offsets(stream))
    except (AssertionError, struct.error) as e:
        print("bad: %s" % e)
        return
    print("ok %d" % total)


if __name__ == "__main__":
    main()
