#!/usr/bin/env bash
# Times karvex on whole fonts against peers doing the same job, in one run, and prints the
# ratio of median wall times and the peak resident memory of each side.
#
#   bench/run.sh [BUILD_DIR]            the whole benchmark (what `make bench` runs)
#   bench/run.sh --outputs [BUILD_DIR]  only the checksums of karvex's outputs, no timing
#
# BUILD_DIR defaults to "build". Inputs, outputs and results go to BUILD_DIR/bench: the
# fonts are made there from Debian's packages (scripts/setup.sh installs them), never
# committed. RUNS (default 10) and WARMUP (default 2) set the timed runs per command;
# ONLY=TEXT keeps the comparisons whose label holds TEXT ("hex", "BDF", "face", "BMP",
# "memory").
# Absolute times on a shared machine are noise; the ratios come from the same run, with
# the two sides of each comparison taking turns (bench/measure.py).
set -euo pipefail

mode=all
if [ "${1:-}" = "--outputs" ]; then
  mode=outputs
  shift
fi
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(mkdir -p "${1:-build}" && cd "${1:-build}" && pwd)
work=$build/bench
runs=${RUNS:-10}
warmup=${WARMUP:-2}
mkdir -p "$work"

need() {
  command -v "$1" >/dev/null || { echo "bench: $1 is missing; run scripts/setup.sh" >&2; exit 2; }
}
for tool in cmake pkg-config hexdraw bdftopcf pcf2bdf fc-match python3 sha256sum; do
  need "$tool"
done
[ -x /usr/bin/time ] || { echo "bench: /usr/bin/time is missing; run scripts/setup.sh" >&2; exit 2; }

# --- What is measured ------------------------------------------------------------------
echo "bench: building karvex (Release) in $build" >&2
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build" --target karvex -j "$(nproc)" >/dev/null
karvex=$build/karvex
cxx=${CXX:-c++}
# shellcheck disable=SC2046
"$cxx" -std=c++17 -O3 -Wall -Wextra -o "$work/bare_face" "$root/bench/bare_face.cc" \
  $(pkg-config --cflags --libs freetype2)
"$cxx" -std=c++17 -O3 -Wall -Wextra -o "$work/bare_bmp" "$root/bench/bare_bmp.cc"

# --- Inputs: real fonts from Debian packages -------------------------------------------
hex=$work/unifont16.hex
bdf=$work/unifont.bdf
if [ ! -s "$hex" ]; then
  { printf '16 16\n'; cat /usr/share/unifont/unifont.hex; } >"$hex.tmp" && mv "$hex.tmp" "$hex"
fi
packed=/usr/share/fonts/X11/misc/unifont.pcf.gz
pcf=$work/unifont.pcf
if [ ! -s "$bdf" ]; then
  pcf2bdf -o "$bdf.tmp" "$packed" && mv "$bdf.tmp" "$bdf"
fi
if [ ! -s "$pcf" ]; then
  gzip -dc "$packed" >"$pcf.tmp" && mv "$pcf.tmp" "$pcf"
fi
text=$work/ja-man.txt  # every Japanese manual page of manpages-ja: 13 MB of real text
if [ ! -s "$text" ]; then
  cat /usr/share/man/ja/man*/*.gz | gzip -dc >"$text.tmp" && mv "$text.tmp" "$text"
fi
face_file() {  # the file fontconfig picks for a family; it must really be that family
  local file family
  file=$(fc-match -f '%{file}' "$1")
  family=$(fc-match -f '%{family}' "$1")
  case ",$family," in
    *",$1,"*) echo "$file" ;;
    *) echo "bench: no face \"$1\" installed (fontconfig offers \"$family\")" >&2; exit 2 ;;
  esac
}
dejavu=$(face_file "DejaVu Sans")
ipa=$(face_file IPAGothic)

# BMP files go to tmpfs where there is one: on a disk, creating 65,536 files right after
# deleting as many takes from 3 to 30 s depending on what the file system is still
# doing, which would drown what either program adds. BENCH_SCRATCH picks another folder.
scratch=${BENCH_SCRATCH:-}
if [ -z "$scratch" ]; then
  if [ -d /dev/shm ] && [ -w /dev/shm ]; then scratch=/dev/shm/karvex-bench-$$; else scratch=$work/scratch; fi
fi
trap 'rm -rf "$scratch"' EXIT

# --- Output checksums: the same before and after any change to the code ----------------
# The benchmark runs themselves plus variants that reach the other code paths (map files,
# forced and unaligned cell sizes, another background character, row windows, BMP sizes).
sums=$work/outputs.sha256
: >"$sums"
out=$work/out
mkdir -p "$out"
checksum() {  # NAME ARGS...: runs karvex, keeps stdout (and a map file) as checksums
  local name=$1
  shift
  (cd "$out" && "$karvex" "$@" >"$out/$name.txt")
  (cd "$out" && sha256sum "$name.txt" >>"$sums")
  for kind in map png; do
    if [ -f "$out/$name.$kind" ]; then (cd "$out" && sha256sum "$name.$kind" >>"$sums"); fi
  done
}
checksum_bmp() {  # NAME ARGS...: runs a BMP or FreePWING export in an empty folder, sums every file
  local name=$1
  shift
  local dir=$scratch/$name
  rm -rf "$dir" && mkdir -p "$dir"
  (cd "$dir" && "$karvex" "$@") || [ $? -eq 2 ]  # 2: some character lacks, as said
  echo "$(cd "$dir" && find . -type f | LC_ALL=C sort | xargs cat | sha256sum | cut -d' ' -f1)  $name/ ($(find "$dir" -type f | wc -l) files)" >>"$sums"
  rm -rf "$dir"
}
echo "bench: output checksums" >&2
checksum hex "$hex"
checksum hex-map "$hex" -h -m=hex-map.map -e=A17A
checksum hex-12 "$hex" -x=12 -y=20 -0=.
checksum hex-odd "$hex" -x=13
checksum bdf "$bdf" 0 10FFFF -h
checksum bdf-map "$bdf" 0 10FFFF -h -m=bdf-map.map -u=F0000
checksum bdf-24 "$bdf" 20 FFFF -x=24 -y=32 -0=-
checksum bdf-10 "$bdf" 0 FFFF -x=10
checksum dejavu "DejaVu Sans" 0 FFFF
checksum ipa IPAGothic 0 FFFF
checksum dejavu-20x12 "DejaVu Sans" 0 FFFF -x=20 -y=12 -h -m=dejavu-20x12.map
checksum ipa-window IPAGothic 3000 30FF -b=4 -x=0 -y=48 -0=.
checksum ipa-wide IPAGothic 4E00 4EFF -x=100 -b=40
checksum_bmp bmp "DejaVu Sans" 0 FFFF -o=bmp
checksum_bmp bmp-24 IPAGothic 3000 33FF -o=bmp -x=24 -y=30
checksum_bmp bmp-odd "DejaVu Sans" 20 7F -o=bmp -x=12 -y=40
checksum codes Unifont --fallback="$packed" --codes="$text" --missing-from=SHIFT_JIS -m=codes.map
checksum codes-jis Unifont --fallback="$packed" --codes="$text" --missing-from=JISX0208 -m=codes-jis.map
checksum_bmp freepwing Unifont --fallback="$packed,DejaVu Sans" --codes="$text" --freepwing=gaiji
checksum_bmp epub Unifont --fallback="DejaVu Sans" --codes="$text" --epub=gaiji
checksum proof Unifont 0 FFFF --proof="$out/proof.png"
checksum pcf "$pcf" 0 FFFF
checksum pcf-gz "$packed" 0 FFFF
cat "$sums" >&2
cmp -s "$out/pcf.txt" "$out/pcf-gz.txt" ||
  { echo "bench: the packed and the unpacked PCF font give different outputs" >&2; exit 1; }

# The bare FreeType loop writes exactly the bytes of the plain face dump: same job.
for pair in "dejavu:$dejavu" "ipa:$ipa"; do
  name=${pair%%:*}
  "$work/bare_face" "${pair#*:}" 0 FFFF >"$out/$name-bare.txt"
  cmp -s "$out/$name.txt" "$out/$name-bare.txt" ||
    { echo "bench: karvex and the bare loop differ on $name" >&2; exit 1; }
done
echo "bench: the face dumps equal the bare FreeType loop's output byte for byte" >&2
[ "$mode" = outputs ] && exit 0

# --- Timing and memory ----------------------------------------------------------------
KARVEX=$karvex HEX=$hex BDF=$bdf PCF=$pcf PACKED=$packed TEXT=$text DEJAVU=$dejavu IPA=$ipa BARE_FACE=$work/bare_face \
  BARE_BMP=$work/bare_bmp SCRATCH=$scratch WORK=$work RUNS=$runs WARMUP=$warmup ONLY=${ONLY:-} \
  python3 "$root/bench/measure.py"
