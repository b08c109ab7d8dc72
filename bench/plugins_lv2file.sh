#!/usr/bin/env bash
# The LV2 plug-in with every stage on against Calf's bass enhancer, both run
# the same way by lv2file (blocks of 256 frames) on the same two-minute
# 16-bit stereo 44100 Hz file, side by side in one hyperfine run; then run()
# at 1- and 256-frame blocks in the Google Benchmark. Korva's targets: no
# dearer per frame than the Calf plug-in; one frame per run() at most 3x the
# cost per frame of 256.
#
#   bash bench/plugins_lv2file.sh [build-dir]
set -euo pipefail

# shellcheck source=bench/common.sh
source "$(dirname "${BASH_SOURCE[0]}")/common.sh" "${1:-}"
ensure_built "korva korva_lv2 plugin_bench" "$korva" "$build/lib/lv2/korva.lv2/korva.so" "$build/bench/plugin_bench"

make_demo_clip
make_two_minutes
frames=$(soxi -s "$work/in.wav")

set_lv2file_commands "$build/lib/lv2" "$work/in.wav" "$work/out.wav"

hyperfine --warmup 1 --runs 5 --export-json "$work/times.json" -n korva "$korva_lv2_cmd" -n calf "$calf_lv2_cmd"

python3 - "$work/times.json" "$frames" <<'PY'
import json, sys
results = {x["command"]: x for x in json.load(open(sys.argv[1]))["results"]}
frames = int(sys.argv[2])
ns = lambda seconds: seconds / frames * 1e9
# Wall time counts waiting on a busy machine too; CPU time (user + system) does not.
for name in ("korva", "calf"):
    r = results[name]
    print(f"lv2file {name:5s}: {ns(r['mean']):.0f} ns per frame wall, {ns(r['user'] + r['system']):.0f} ns CPU "
          "(file reading and writing included)")
k, c = results["korva"], results["calf"]
print(f"korva / calf: {k['mean'] / c['mean']:.2f} wall, "
      f"{(k['user'] + k['system']) / (c['user'] + c['system']):.2f} CPU (target: at most 1)")
PY

"$build/bench/plugin_bench" --benchmark_counters_tabular=true --benchmark_format=json \
  --benchmark_out="$work/run.json" --benchmark_out_format=json >/dev/null
python3 - "$work/run.json" <<'PY'
import json, sys
per = {b["name"]: b["time/frame"] * 1e9 for b in json.load(open(sys.argv[1]))["benchmarks"]}
one, block = per["BM_PluginRun/1"], per["BM_PluginRun/256"]
print(f"run(): {one:.1f} ns per frame at 1-frame blocks, {block:.1f} ns at 256: {one / block:.2f}x (aim: at most 3x)")
PY
