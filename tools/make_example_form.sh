#!/bin/sh
# Builds the example form examples/forms/letter.pdf from its PostScript source
# with ghostscript. Run from anywhere; the result is committed.
set -eu
src=$(cd "$(dirname "$0")/.." && pwd)/examples/forms
gs -q -dNOPAUSE -dBATCH -dSAFER -sDEVICE=pdfwrite -dCompatibilityLevel=1.4 \
   -sOutputFile="$src/letter.pdf" "$src/letter.ps"
qpdf --check "$src/letter.pdf" > /dev/null
