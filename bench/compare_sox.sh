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

set_sox_heavy "$work/in.wav" "$work/out-sox.wav"
korva_cmd="$korva process --quiet ${all_on_set[*]} $work/in.wav $work/out-korva.wav"

hyperfine --warmup 1 --runs 5 --export-json "$work/times.json" -n korva "$korva_cmd" -n sox "$sox_cmd"

python3 - "$work/times.json" <<'PY'
import json, sys
r = {x["command"]: x["mean"] for x in json.load(open(sys.argv[1]))["results"]}
ratio = r["sox"] / r["korva"]
print(f"korva {r['korva']:.3f} s, sox {r['sox']:.3f} s: korva is {ratio:.2f}x as fast (target: at least 2x)")
PY
