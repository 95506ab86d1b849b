#!/usr/bin/env bash
# Installs the project to a temporary prefix and builds the two examples
# against the installed package, once with pkg-config and once with CMake's
# find_package(q5sound), then runs each build: render_wav renders test.xm to
# a WAVE file, play_sync plays it for a second on the silent device.
#
#   install_test.sh BUILD_DIR SOURCE_DIR IN_TREE_BIN_DIR
#
# A consumer the installed package cannot serve yet (no CMake package, or a
# .pc whose flags do not find <q5sound/midasdll.h>) is skipped and said so;
# the in-tree examples then run instead. Exit 77 = skipped.
set -euo pipefail
build=$1 src=$2 bin=$3
module=$src/data/test.xm
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
prefix=$work/prefix

cmake --install "$build" --prefix "$prefix" >/dev/null

# Runs one build of the examples: a one-pass render that is a real WAVE file
# with sound in it, and a second of silent play that shows sync events.
check() {
  local dir=$1 what=$2
  local out=$work/$what.wav
  "$dir/render_wav" "$module" "$out" 22050 >"$work/$what.log"
  local size
  size=$(stat -c %s "$out")
  [ "$(head -c 4 "$out")" = RIFF ] || { echo "$what: $out is not a RIFF file"; exit 1; }
  # More than a second of 16-bit stereo, not all of it silence.
  [ "$size" -gt $((44 + 22050 * 4)) ] || { echo "$what: $out holds $size bytes"; exit 1; }
  [ "$(tail -c +45 "$out" | tr -d '\0' | wc -c)" -gt 0 ] || { echo "$what: silent render"; exit 1; }
  "$dir/play_sync" "$module" 1 --silent >"$work/$what.play"
  grep -q '^playing ' "$work/$what.play" || { echo "$what: play_sync said"; cat "$work/$what.play"; exit 1; }
  echo "$what: ok ($size bytes rendered)"
}

skipped=0
export PKG_CONFIG_PATH=$(dirname "$(find "$prefix" -name q5sound.pc | head -n 1)")
cflags=$(pkg-config --cflags q5sound)
if echo '#include <q5sound/midasdll.h>' | cc -fsyntax-only $cflags -x c - 2>/dev/null; then
  mkdir -p "$work/pc"
  for ex in play_sync render_wav; do
    # shellcheck disable=SC2046
    cc -std=c99 -Wall -Wextra -Werror -o "$work/pc/$ex" "$src/examples/$ex.c" \
       $(pkg-config --cflags --libs q5sound) -Wl,-rpath,"$(pkg-config --variable=libdir q5sound)"
  done
  check "$work/pc" pkg-config
else
  echo "pkg-config: SKIPPED, the installed q5sound.pc ($cflags) does not find <q5sound/midasdll.h>"
  skipped=1
fi

if find "$prefix" -ipath '*cmake/q5sound/*config.cmake' | grep -q .; then
  cmake -S "$src/examples" -B "$work/cm" -DCMAKE_PREFIX_PATH="$prefix" \
        -DCMAKE_BUILD_RPATH="$prefix/lib" >/dev/null
  cmake --build "$work/cm" >/dev/null
  check "$work/cm" find_package
else
  echo "find_package: SKIPPED, the install has no CMake package for q5sound"
  skipped=1
fi

if [ $skipped = 1 ]; then
  check "$bin" in-tree
  exit 77
fi
