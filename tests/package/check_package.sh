#!/usr/bin/env bash
# check_package.sh BUILD_DIR WORK_DIR VERSION CONSUMER_C
#
# Installs the build into WORK_DIR/prefix and builds consumer.c against it
# the three ways an application does: pkg-config (shared), pkg-config with
# the static archives, and find_package(q5sound) in CMake. Each program must
# run and report VERSION, which must also be the .pc's version, the soname's
# major number and the CMake package's version (asked for EXACT).
set -euo pipefail
build=$1 work=$2 version=$3 consumer=$4
cc=${CC:-cc}
rm -rf "$work"
mkdir -p "$work"
prefix=$work/prefix
cmake --install "$build" --prefix "$prefix" >"$work/install.log"

pc=$(find "$prefix" -name q5sound.pc)
libdir=$(cd "$(dirname "$pc")/.." && pwd)
export PKG_CONFIG_PATH=$(dirname "$pc")
export LD_LIBRARY_PATH=$libdir

fail() { echo "package: $*" >&2; exit 1; }
expect_version() {  # program label
    local got
    got=$("$1") || fail "$2: the program failed"
    [ "$got" = "$version" ] || fail "$2: reports '$got', expected '$version'"
}

[ "$(pkg-config --modversion q5sound)" = "$version" ] || fail ".pc version is not $version"
soname=$(readelf -d "$libdir/libq5sound.so" | sed -n 's/.*SONAME.*\[\(.*\)\]/\1/p')
[ "$soname" = "libq5sound.so.${version%%.*}" ] || fail "soname '$soname' does not match $version"
[ -x "$prefix/bin/modtool" ] || fail "modtool is not installed"

# shellcheck disable=SC2046
"$cc" -std=c99 -Wall -Werror "$consumer" $(pkg-config --cflags --libs q5sound) -o "$work/shared"
expect_version "$work/shared" "pkg-config"

static_libs=$(pkg-config --static --libs q5sound |
              sed 's/-lq5sound /-Wl,-Bstatic -lq5sound /; s/-lq5soundout/-lq5soundout -Wl,-Bdynamic/')
# shellcheck disable=SC2046,SC2086
"$cc" -std=c99 -Wall -Werror "$consumer" $(pkg-config --cflags q5sound) $static_libs -o "$work/static"
if readelf -d "$work/static" | grep -q 'libq5sound'; then
    fail "the static program still needs the shared library"
fi
expect_version "$work/static" "pkg-config --static"

mkdir -p "$work/cmake"
cp "$consumer" "$work/cmake/consumer.c"
cat >"$work/cmake/CMakeLists.txt" <<CMAKE
cmake_minimum_required(VERSION 3.25)
project(consumer C)
find_package(q5sound $version EXACT REQUIRED)
add_executable(consumer consumer.c)
target_link_libraries(consumer PRIVATE q5sound::q5sound)
CMAKE
cmake -S "$work/cmake" -B "$work/cmake/build" -DCMAKE_PREFIX_PATH="$prefix" >"$work/cmake.log" ||
    { cat "$work/cmake.log"; fail "find_package(q5sound) failed"; }
cmake --build "$work/cmake/build" >>"$work/cmake.log" || { cat "$work/cmake.log"; fail "CMake consumer did not build"; }
expect_version "$work/cmake/build/consumer" "find_package"
echo "package: $version installed; pkg-config, static and find_package consumers run"
