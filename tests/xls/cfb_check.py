"""Reads compound files with olefile, strictly (every defect it can tell is an
error), and checks that each holds exactly one stream "Workbook" whose bytes
follow the tests' pattern: byte i is (i * 7) % 251, up to the written size,
then zeros up to the 4,096 bytes every stream is padded to.

Usage: cfb_check.py FILE:SIZE ...; prints "ok FILE" or "bad FILE: why" per file."""
import sys

import olefile

PERIOD = bytes((i * 7) % 251 for i in range(251))
MIN_STREAM = 4096


def check(path, size):
    ole = olefile.OleFileIO(path, raise_defects=olefile.DEFECT_INCORRECT)
    try:
        if ole.listdir() != [["Workbook"]]:
            return "entries %r" % ole.listdir()
        data = ole.openstream("Workbook").read()
    finally:
        ole.close()
    expected = (PERIOD * (size // len(PERIOD) + 1))[:size]
    expected += b"\0" * (max(size, MIN_STREAM) - size)
    if len(data) != len(expected):
        return "stream is %d bytes, not %d" % (len(data), len(expected))
    if data != expected:
        return "stream bytes differ"
    return None


def main():
    for arg in sys.argv[1:]:
        path, size = arg.rsplit(":", 1)
        try:
            why = check(path, int(size))
        except Exception as e:  # any reader complaint is a failure
            why = "%s: %s" % (type(e).__name__, e)
        print("ok %s" % path if why is None else "bad %s: %s" % (path, why))


if __name__ == "__main__":
    main()
