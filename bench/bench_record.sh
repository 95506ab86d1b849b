#!/usr/bin/env bash
# Recording speed: records the whole show with scripts/record at the given
# size, RUNS times, and prints each run's speed against real time (show
# length / wall time, as the recorder's last progress line reports it) and
# the median. The recordings go to a temporary directory and are removed.
#
#   bench/bench_record.sh [WIDTHxHEIGHT] [RUNS]     (default 1024x768, 3)
set -euo pipefail
size=${1:-1024x768}
runs=${2:-3}
cd "$(dirname "$0")/.."
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
speeds=()
for i in $(seq "$runs"); do
  log="$tmp/log$i"
  bash scripts/record "$tmp/show$i.mp4" "$size" 2>"$log" >/dev/null || { cat "$log" >&2; exit 1; }
  # The final progress line: "record: N frames (m:ss), elapsed m:ss, F.FFx real time"
  speed=$(tr '\r' '\n' <"$log" | grep -E '^record: [0-9]+ frames \([0-9:]+\), elapsed' | tail -1 |
          sed -E 's/.* ([0-9.]+)x real time.*/\1/')
  frames=$(tr '\r' '\n' <"$log" | grep -E '^record: .*: [0-9]+ frames, ' | sed -E 's/.*: ([0-9]+) frames,.*/\1/')
  echo "record $size run $i: $frames frames, ${speed}x real time, load average $(cut -d' ' -f1 /proc/loadavg)"
  speeds+=("$speed")
  rm -f "$tmp/show$i.mp4"
done
printf '%s\n' "${speeds[@]}" | sort -n | awk -v size="$size" '{ v[NR] = $1 } END { print "record " size " median: " v[int((NR + 1) / 2)] "x real time" }'
