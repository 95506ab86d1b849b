#!/usr/bin/env bash
# Listen-like checks of data/test.xm: renders it with our own modtool (when
# built; MODTOOL names it, default build/bin/modtool) and with the peer players
# openmpt123 and xmp (each when installed), and measures length and peak with
# sox. One pass must last 80 to 150 s and the peak must stay below full scale.
# Usage: tools/assets/check_music.sh [file.xm]
set -euo pipefail
cd "$(dirname "$0")/../.."
xm=${1:-data/test.xm}
command -v sox >/dev/null || { echo "check_music: sox is not installed"; exit 2; }
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
status=0 players=0

measure() {  # name wav
    local len peak
    len=$(sox "$2" -n stat 2>&1 | awk '/^Length/ {print $3}')
    peak=$(sox "$2" -n stat 2>&1 | awk '/^Maximum amplitude/ {a=$3} /^Minimum amplitude/ {b=-$3} END {print (a > b ? a : b)}')
    local db
    db=$(awk -v p="$peak" 'BEGIN { if (p > 0) printf "%.1f", 20 * log(p) / log(10); else print "-inf" }')
    printf '%-16s length %8.2f s  peak %.4f (%s dBFS)\n' "$1" "$len" "$peak" "$db"
    awk -v l="$len" 'BEGIN { exit !(l >= 80 && l <= 150) }' || { echo "  FAIL: length outside 80..150 s"; status=1; }
    awk -v p="$peak" 'BEGIN { exit !(p < 0.999) }' || { echo "  FAIL: clipped"; status=1; }
}

modtool=${MODTOOL:-build/bin/modtool}
if [ -x "$modtool" ]; then
    for mode in integer float interpolate; do
        "$modtool" render "$xm" -o "$tmp/own-$mode.wav" --mode "$mode" >/dev/null
        measure "own $mode" "$tmp/own-$mode.wav"
    done
    "$modtool" sync "$xm" | awk '{printf "own sync   W%02d at %.3f s (position %d row %d)\n", $4, $1 / 1000, $2, $3}'
fi
if command -v openmpt123 >/dev/null; then
    cp "$xm" "$tmp/song.xm"
    openmpt123 --quiet --render --no-float --samplerate 44100 "$tmp/song.xm" >/dev/null 2>&1
    measure openmpt123 "$tmp/song.xm.wav"
    players=$((players + 1))
fi
if command -v xmp >/dev/null; then
    xmp --quiet -o "$tmp/xmp.wav" "$xm" >/dev/null 2>&1
    measure xmp "$tmp/xmp.wav"
    players=$((players + 1))
fi
[ "$players" -gt 0 ] || echo "check_music: neither openmpt123 nor xmp is installed; nothing rendered"
exit $status
