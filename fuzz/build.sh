#!/usr/bin/env bash
# Builds the fuzz targets (image decoders, keyed-archive reader) with clang's libFuzzer,
# AddressSanitizer and UBSan into build/fuzz, and a seed corpus per target. Not part of the normal
# build.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
out=${1:-$root/build/fuzz}
mkdir -p "$out"
src="$root/src"
sources=(
  "$src/platform/graphics/CGImageSource.cpp" "$src/platform/graphics/PNGCodec.cpp"
  "$src/platform/graphics/JPEGCodec.cpp" "$src/platform/graphics/GIFCodec.cpp"
  "$src/platform/graphics/CGImage.cpp" "$src/platform/graphics/CGContext.cpp"
  "$src/platform/graphics/CGPath.cpp" "$src/platform/uikit/Geometry.cpp"
)
flags=(-std=c++20 -O1 -g -fno-omit-frame-pointer -I "$src" $(pkg-config --cflags cairo))
libs=(-lpng -ljpeg -lgif $(pkg-config --libs cairo))
(cd "$out" && clang++ "${flags[@]}" -fsanitize=address,undefined -c "${sources[@]}")

objs=("$out"/CGImageSource.o "$out"/PNGCodec.o "$out"/JPEGCodec.o "$out"/GIFCodec.o "$out"/CGImage.o
      "$out"/CGContext.o "$out"/CGPath.o "$out"/Geometry.o)
for t in png jpeg gif; do
  clang++ "${flags[@]}" -fsanitize=fuzzer,address,undefined "$root/fuzz/${t}_fuzzer.cpp" "${objs[@]}" "${libs[@]}" \
    -o "$out/${t}_fuzzer"
done
clang++ "${flags[@]}" -fsanitize=address,undefined "$root/fuzz/make_seeds.cpp" "${objs[@]}" "${libs[@]}" -o "$out/make_seeds"
seeds="$out/seeds"
mkdir -p "$seeds"
"$out/make_seeds" "$seeds"
for t in png jpeg gif; do mkdir -p "$out/corpus-$t"; done
cp "$seeds"/*.png "$out/corpus-png/"; cp "$seeds"/*.jpg "$out/corpus-jpeg/"; cp "$seeds"/*.gif "$out/corpus-gif/"

# The keyed-archive reader: the archiver with the values and the platform pieces they use.
archive_sources=(
  "$src/platform/KeyedArchiver.cpp" "$src/platform/BinaryPropertyList.cpp" "$src/platform/Value.cpp"
  "$src/platform/Date.cpp" "$src/platform/Error.cpp"
)
for f in "$src"/platform/dispatch/*.cpp; do
  case "$f" in *_test.cpp) ;; *) archive_sources+=("$f") ;; esac
done
clang++ "${flags[@]}" -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined \
  "$root/fuzz/keyed_archive_fuzzer.cpp" "${archive_sources[@]}" -lplist-2.0 -o "$out/keyed_archive_fuzzer"
mkdir -p "$out/corpus-archive"
cp "$src"/platform/test-data/*.bplist "$out/corpus-archive/"
echo "built into $out"
