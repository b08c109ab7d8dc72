#!/usr/bin/env bash
# Batch speed-up and memory of `korva process --out-dir`:
#  1. eight 30-second 44100 Hz stereo files (every stage on, FLAC out) with
#     -j 1 and -j 2, timed with hyperfine; target: -j 2 at least 1.8x as fast
#     on a 2-core machine;
#  2. peak memory (/usr/bin/time -v, maximum resident set) of one file of
#     30 s and of 240 s with -j 1, and of two 240-second files with -j 2:
#     flat in the length of a file, growing only with the workers.
#
#   bash bench/batch_speedup.sh [build-dir]
set -euo pipefail

# shellcheck source=bench/common.sh
source "$(dirname "${BASH_SOURCE[0]}")/common.sh" "${1:-}"
ensure_built korva "$korva"

# Music-like input: the demo clip repeated to length.
make_demo_clip
clip_seconds=$(soxi -D "$clip")
make_file() {   # seconds path
  local repeats
  repeats=$(python3 -c "import math; print(max(0, math.ceil($1 / $clip_seconds) - 1))")
  sox "$clip" "$2" repeat "$repeats" trim 0 "$1"
}
mkdir -p "$work/in"
for i in $(seq 1 8); do make_file 30 "$work/in/song$i.wav"; done
make_file 240 "$work/long1.wav"
cp "$work/long1.wav" "$work/long2.wav"

run="$korva process --quiet --overwrite ${all_on_set[*]} --format flac"

hyperfine --warmup 1 --runs 5 --export-json "$work/times.json" \
  -n "j1" "$run -j 1 --out-dir $work/out1 $work/in/*.wav" \
  -n "j2" "$run -j 2 --out-dir $work/out2 $work/in/*.wav" \
  2>&1 | sed "s|$work/||g"
python3 - "$work/times.json" <<'PY'
import json, sys
r = {x["command"]: x["mean"] for x in json.load(open(sys.argv[1]))["results"]}
print(f"-j 1: {r['j1']:.3f} s, -j 2: {r['j2']:.3f} s: speed-up {r['j1'] / r['j2']:.2f}x (target: at least 1.8x)")
PY

peak_kib() {   # command... ; prints the maximum resident set in KiB
  /usr/bin/time -v "$@" 2>&1 >/dev/null | awk -F': ' '/Maximum resident set size/ {print $2}'
}
echo "peak memory, -j 1, 30 s file:        $(peak_kib $run -j 1 --out-dir "$work/m1" "$work/in/song1.wav") KiB"
echo "peak memory, -j 1, 240 s file:       $(peak_kib $run -j 1 --out-dir "$work/m2" "$work/long1.wav") KiB"
echo "peak memory, -j 2, two 240 s files:  $(peak_kib $run -j 2 --out-dir "$work/m3" "$work/long1.wav" "$work/long2.wav") KiB"
