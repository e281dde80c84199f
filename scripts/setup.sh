#!/bin/sh
# Installs the Debian packages that building, testing, fuzzing and benchmarking need.
# Safe to run again: packages already present are left alone.
set -eu

packages="
  build-essential cmake pkg-config clang libclang-rt-14-dev llvm
  libfreetype-dev libfontconfig-dev libdeflate-dev libpng-dev fontconfig
  googletest libgtest-dev libbenchmark-dev
  python3 python3-pil libxml2-utils valgrind hyperfine time man-db groff-base mandoc ncompress
  unifont unifont-bin fonts-unifont xfonts-unifont
  xfonts-shinonome xfonts-intl-japanese xfonts-efont-unicode xfonts-75dpi xfonts-utils pcf2bdf
  fonts-dejavu-core fonts-ipafont-gothic fonts-wqy-microhei fonts-noto-cjk fonts-vlgothic
  manpages-ja freepwing eb-utils epubcheck chromium zip unicode-data
"

missing=""
for p in $packages; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing="$missing $p"
done
[ -z "$missing" ] && exit 0

echo "setup: installing$missing" >&2
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends $missing >/dev/null
fc-cache -f >/dev/null 2>&1 || true
