#!/usr/bin/env bash
# Times `korva process` with every stage on against a comparable sox chain on
# the same two-minute 16-bit stereo 44100 Hz file, side by side in one
# hyperfine run. Korva's target: at least twice as fast as sox.
#
#   bash bench/compare_sox.sh [build-dir]
set -euo pipefail

# shellcheck source=bench/common.sh
source "$(dirname "${BASH_SOURCE[0]}")/common.sh" "${1:-}"
ensure_built korva "$korva"

# Two minutes of music: the demo clip, twelve times over.
make_demo_clip
make_two_minutes
soxi "$work/in.wav"

eq=()
gain=2
for f in 31 40 50 63 80 100 125 160 200 250 315 400 500 630 800 1000 1250 1600 2000 2500 3150 4000 5000 6300; do
  eq+=(equalizer "$f" 2q "$gain")
  if [ "$gain" = 2 ]; then gain=-1; else gain=2; fi
done
sox_cmd="sox -D -R --single-threaded -v 0.5 $work/in.wav $work/out-sox.wav highpass 20 lowpass 18000 \
bass +6 100 bass -2 50 treble +3 8000 treble -1 12000 ${eq[*]} \
echo 0.8 0.9 4 0.3 echo 0.8 0.9 11 0.2 chorus 0.8 0.9 20 0.3 0.3 1.5 -s"
korva_cmd="$korva process --quiet ${all_on_set[*]} $work/in.wav $work/out-korva.wav"

hyperfine --warmup 1 --runs 5 --export-json "$work/times.json" -n korva "$korva_cmd" -n sox "$sox_cmd"

python3 - "$work/times.json" <<'PY'
import json, sys
r = {x["command"]: x["mean"] for x in json.load(open(sys.argv[1]))["results"]}
ratio = r["sox"] / r["korva"]
print(f"korva {r['korva']:.3f} s, sox {r['sox']:.3f} s: korva is {ratio:.2f}x as fast (target: at least 2x)")
PY
