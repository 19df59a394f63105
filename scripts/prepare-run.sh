#!/bin/sh
# Prepares the run folder for `make run`: the programs, the example TARN.ini
# beside them, the example forms and the save folders the configuration names.
set -eu
build=${1:-build}
run=${2:-run}
src=$(cd "$(dirname "$0")/.." && pwd)

mkdir -p "$run"
for prog in "$build"/bin/*; do
    [ -f "$prog" ] || continue
    ln -sf "$(cd "$(dirname "$prog")" && pwd)/$(basename "$prog")" "$run/$(basename "$prog")"
done
# TARNSvr resolves its own folder from /proc/self/exe; a copy keeps the run
# folder (not build/bin) as the program's folder.
rm -f "$run/TARNSvr"
cp "$build/bin/TARNSvr" "$run/TARNSvr"
[ -e "$run/pdftk" ] || ln -sf /usr/bin/pdftk "$run/pdftk"
cp -R "$src"/examples/. "$run"/
mkdir -p "$run/out/raw" "$run/out/pdf" "$run/out/xls" "$run/out/xlsx"
# Registered as a plain server (console mode) in a registry of the run folder's
# own, so that nothing outside it is touched; `make run` starts it with the same
# TARN_REGISTRY_ROOT.
TARN_REGISTRY_ROOT="$(cd "$run" && pwd)/registry" "$run/TARNSvr" -RegServer
