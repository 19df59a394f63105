#!/bin/sh
# Installs the Debian packages TARN needs, for one purpose; does nothing when
# all of them are present. This file is the one list of packages.
#   install-deps.sh build   what building and running the server need (make run)
#   install-deps.sh test    that, and every tool the tests read outputs with (make test)
set -eu

# Compiler, build system and the libraries the programs link.
BUILD_PACKAGES="
build-essential cmake ninja-build pkg-config
libpcre2-dev libcurl4-openssl-dev libqpdf-dev zlib1g-dev
libxlsxwriter-dev libgmime-3.0-dev libsqlite3-dev libcpp-httplib-dev
"

# Programs the server starts or the example configuration names at run time.
RUN_PACKAGES="
pdftk-java
"

# Test framework, benchmarks, formatter, fuzzing, and the independent readers
# that tests check outputs with (PDF, workbooks, mail, web page, package).
TEST_PACKAGES="
libgtest-dev libgmock-dev libbenchmark-dev clang-format
clang libclang-rt-14-dev
qpdf poppler-utils mupdf-tools ghostscript zbar-tools
libfreexl-dev python3 python3-xlrd python3-openpyxl python3-olefile python3-fonttools
python3-aiosmtpd openssl
libreoffice-calc-nogui libreoffice-writer-nogui
fonts-urw-base35 fonts-liberation
chromium sqlite3
dpkg-dev fakeroot lintian systemd
"

case "${1:-test}" in
build) PACKAGES="$BUILD_PACKAGES $RUN_PACKAGES" ;;
test) PACKAGES="$BUILD_PACKAGES $RUN_PACKAGES $TEST_PACKAGES" ;;
*)
    echo "usage: $0 [build|test]" >&2
    exit 2
    ;;
esac

missing=""
for p in $PACKAGES; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
        missing="$missing $p"
    fi
done

if [ -z "$missing" ]; then
    exit 0
fi

echo "Installing missing packages:$missing"
SUDO=""
if [ "$(id -u)" != 0 ]; then SUDO=sudo; fi
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -q
# shellcheck disable=SC2086
$SUDO apt-get install -y -q --no-install-recommends $missing
