#!/bin/sh
# Installs the Debian packages the build and the tests need; does nothing when all are present.
set -eu

PACKAGES="
build-essential cmake ninja-build pkg-config clang-format
libgtest-dev libgmock-dev libbenchmark-dev
libpcre2-dev libcurl4-openssl-dev libqpdf-dev
qpdf poppler-utils pdftk-java ghostscript zbar-tools
libfreexl-dev python3 python3-xlrd python3-aiosmtpd
libreoffice-calc-nogui libreoffice-writer-nogui
fonts-urw-base35 fonts-liberation
python3-fonttools
libxlsxwriter-dev
python3-olefile
clang libclang-rt-14-dev
"

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
