#!/bin/sh
# Builds the Debian package from the build folder and checks it as a Debian
# administrator would: control data and contents with dpkg-deb, lintian, the
# service units with systemd-analyze, and every program's --help/--version.
#   package_test.sh <build folder> <version>
set -eu
build=$1
version=$2
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT INT TERM
failures=0
fail() {
    echo "FAIL: $*" >&2
    failures=$((failures + 1))
}
contains() { # <text> <expected substring> <what>
    case "$1" in *"$2"*) ;; *) fail "$3: no '$2' in: $1" ;; esac
}

# The exposure systemd rates a unit with, times ten (4.0 -> 40).
exposure() {
    systemd-analyze security --offline=true --no-pager "$1" 2>/dev/null |
        sed -n 's/.*Overall exposure level for .*: \([0-9]*\)\.\([0-9]\).*/\1\2/p'
}

# 1. The package, built into the scratch folder so that build/ keeps its own.
cpack --config "$build/CPackConfig.cmake" -B "$scratch" >"$scratch/cpack.log" 2>&1 || {
    cat "$scratch/cpack.log" >&2
    exit 1
}
deb="$scratch/tarn_${version}_amd64.deb"
[ -f "$deb" ] || {
    echo "FAIL: no $deb" >&2
    ls "$scratch" >&2
    exit 1
}

# 2. Control data.
[ "$(dpkg-deb -f "$deb" Package)" = tarn ] || fail "package name"
[ "$(dpkg-deb -f "$deb" Version)" = "$version" ] || fail "version is not $version"
[ "$(dpkg-deb -f "$deb" Architecture)" = amd64 ] || fail "architecture"
depends=$(dpkg-deb -f "$deb" Depends)
for lib in libc6 libstdc++6 libpcre2-8-0 libcurl4 libqpdf adduser; do contains "$depends" "$lib" "Depends"; done
contains "$(dpkg-deb -f "$deb" Recommends)" pdftk-java "Recommends"
dpkg-deb -e "$deb" "$scratch/control"
contains "$(cat "$scratch/control/conffiles")" /etc/tarn/TARN.ini "conffiles"
for script in postinst prerm postrm; do
    [ -x "$scratch/control/$script" ] || fail "$script missing or not executable"
    sh -n "$scratch/control/$script" || fail "$script does not parse"
done

# 3. Contents: programs in their folder, links, unit, man pages, documents.
listing=$(dpkg-deb -c "$deb")
for path in ./usr/lib/tarn/TARNSvr ./usr/lib/tarn/overprint ./usr/lib/tarn/tabulate ./usr/lib/tarn/blat \
    ./usr/lib/tarn/PdfFont.ext ./usr/bin/tarn-send ./etc/tarn/TARN.ini ./etc/tarn/forms/letter.pdf \
    ./etc/tarn/bodies/report.txt ./lib/systemd/system/TARNSvr.service ./usr/share/man/man8/TARNSvr.8.gz \
    ./usr/share/man/man1/overprint.1.gz ./usr/share/man/man1/tabulate.1.gz ./usr/share/man/man1/blat.1.gz \
    ./usr/share/man/man1/tarn-send.1.gz ./usr/share/doc/tarn/copyright ./usr/share/doc/tarn/changelog.gz; do
    contains "$listing" " $path" "contents"
done
contains "$listing" "./usr/lib/tarn/TARN.ini -> /etc/tarn/TARN.ini" "contents"
contains "$listing" "./usr/lib/tarn/log -> /var/log/tarn" "contents"
contains "$listing" "./usr/bin/tarn-jobs -> ../lib/tarn/tarn-jobs" "contents"
contains "$listing" "root/root" "owner"
case "$listing" in *" ./var/"*) fail "the user's folders are made by postinst, not shipped" ;; esac

# 4. What the files say: the version everywhere, folders of an installed system.
dpkg-deb -x "$deb" "$scratch/root"
contains "$(zcat "$scratch/root/usr/share/doc/tarn/changelog.gz" | head -1)" "tarn ($version)" "changelog"
ini=$(cat "$scratch/root/etc/tarn/TARN.ini")
contains "$ini" "saveDir=/var/spool/tarn/raw/" "TARN.ini"
contains "$ini" "emlog=log/activity.log" "TARN.ini"
# Every save folder (suffixed ones too) is one postinst makes for the tarn user.
for dir in $(printf '%s\n' "$ini" | sed -n 's/^saveDir[A-Za-z0-9_]*=//p'); do
    case "$dir" in /var/spool/tarn/*) ;; *) fail "TARN.ini has a save folder outside /var/spool/tarn: $dir" ;; esac
    contains "$(cat "$scratch/control/postinst")" "${dir%/}" "postinst (the folder $dir)"
done
for program in usr/lib/tarn/TARNSvr usr/lib/tarn/overprint usr/lib/tarn/tabulate usr/lib/tarn/blat usr/bin/tarn-send; do
    name=$(basename "$program")
    out=$("$scratch/root/$program" --version) || fail "$name --version exits non-zero"
    [ "$out" = "$name (TARN) $version" ] || fail "$name --version says '$out'"
    out=$("$scratch/root/$program" --help) || fail "$name --help exits non-zero"
    contains "$out" "usage: $name" "$name --help"
done

# 5. The units: the packaged one, and the one TARNSvr -Service writes.
unit="$scratch/root/lib/systemd/system/TARNSvr.service"
contains "$(cat "$unit")" "User=tarn" "packaged unit"
rating=$(exposure "$unit")
[ -n "$rating" ] && [ "$rating" -le 40 ] || fail "packaged unit rated ${rating:-?} (more than 4.0)"
mkdir -p "$scratch/units" "$scratch/registry"
TARN_UNIT_DIR="$scratch/units" TARN_REGISTRY_ROOT="$scratch/registry" "$build/bin/TARNSvr" -Service ||
    fail "TARNSvr -Service"
rating=$(exposure "$scratch/units/TARNSvr.service")
[ -n "$rating" ] && [ "$rating" -le 40 ] || fail "unit written by -Service rated ${rating:-?} (more than 4.0)"

# 6. lintian: no errors and no warnings (its informational notes are explained in the README).
if command -v lintian >/dev/null; then
    lintian --fail-on error,warning "$deb" ||
        fail "lintian reports errors or warnings"
fi

[ "$failures" -eq 0 ] || exit 1
echo "package $deb: all checks passed"
