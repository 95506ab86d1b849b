#!/usr/bin/env bash
# The installed package as applications use it. Installs the build to a
# temporary prefix, checks that the library's one version is what the .pc,
# the soname and the CMake package say, then builds the two examples three
# ways and runs them: pkg-config (shared), pkg-config with the static
# archives, and CMake's find_package(q5sound). render_wav renders test.xm to
# a WAVE file; play_sync plays it for a second on the silent device.
#
#   install_test.sh BUILD_DIR SOURCE_DIR VERSION
set -euo pipefail
build=$1 src=$2 version=$3
cc=${CC:-cc}
module=$src/data/test.xm
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
prefix=$work/prefix
cmake --install "$build" --prefix "$prefix" >"$work/install.log"

fail() { echo "package: $*" >&2; exit 1; }

pc=$(find "$prefix" -name q5sound.pc)
libdir=$(cd "$(dirname "$pc")/.." && pwd)
export PKG_CONFIG_PATH=$(dirname "$pc")
[ "$(pkg-config --modversion q5sound)" = "$version" ] || fail ".pc version is not $version"
soname=$(readelf -d "$libdir/libq5sound.so" | sed -n 's/.*SONAME.*\[\(.*\)\]/\1/p')
[ "$soname" = "libq5sound.so.${version%%.*}" ] || fail "soname '$soname' does not match $version"
[ -x "$prefix/bin/modtool" ] || fail "modtool is not installed"

# One build of the examples: a one-pass render that is a real WAVE file with
# sound in it, and a second of silent play that shows sync events.
check() {
  local dir=$1 what=$2
  local out=$work/$what.wav
  "$dir/render_wav" "$module" "$out" 22050 >"$work/$what.log"
  local size
  size=$(stat -c %s "$out")
  [ "$(head -c 4 "$out")" = RIFF ] || fail "$what: $out is not a RIFF file"
  # More than a second of 16-bit stereo, not all of it silence.
  [ "$size" -gt $((44 + 22050 * 4)) ] || fail "$what: $out holds $size bytes"
  [ "$(tail -c +45 "$out" | tr -d '\0' | wc -c)" -gt 0 ] || fail "$what: silent render"
  if [ -x "$dir/play_sync" ]; then
    "$dir/play_sync" "$module" 1 --silent >"$work/$what.play"
    grep -q '^playing ' "$work/$what.play" || { cat "$work/$what.play"; fail "$what: play_sync said"; }
  fi
  echo "$what: ok ($size bytes rendered)"
}

mkdir -p "$work/pc" "$work/static"
for ex in play_sync render_wav; do
  # shellcheck disable=SC2046
  "$cc" -std=c99 -Wall -Wextra -Werror -o "$work/pc/$ex" "$src/examples/$ex.c" \
     $(pkg-config --cflags --libs q5sound) -Wl,-rpath,"$libdir"
done
check "$work/pc" pkg-config

static_libs=$(pkg-config --static --libs q5sound |
              sed 's/-lq5sound /-Wl,-Bstatic -lq5sound /; s/-lq5soundout/-lq5soundout -Wl,-Bdynamic/')
# shellcheck disable=SC2046,SC2086
"$cc" -std=c99 -Wall -Werror -o "$work/static/render_wav" "$src/examples/render_wav.c" \
   $(pkg-config --cflags q5sound) $static_libs
readelf -d "$work/static/render_wav" | grep -q 'libq5sound' &&
  fail "the static program still needs the shared library"
check "$work/static" static

cmake -S "$src/examples" -B "$work/cm" -DCMAKE_PREFIX_PATH="$prefix" \
      -DQ5SOUND_EXPECT_VERSION="$version" -DCMAKE_BUILD_RPATH="$libdir" >"$work/cmake.log" ||
  { cat "$work/cmake.log"; fail "find_package(q5sound $version EXACT) failed"; }
cmake --build "$work/cm" >>"$work/cmake.log" || { cat "$work/cmake.log"; fail "CMake build failed"; }
check "$work/cm" find_package
