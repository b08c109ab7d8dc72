#!/usr/bin/env bash
# The engine's speed against an older commit, every figure from one run:
#
#   engine_bench, every stage on, 44.1 kHz          new / old      (target <= 0.70)
#   LV2 run() at 1-frame blocks (plugin_bench)       new / old      (target <= 1)
#   LV2 run() at 256-frame blocks (plugin_bench)     new / old      (target < 1)
#   lv2file, every stage on, against Calf's
#     BassEnhancer                                   korva / calf   (target <= 0.55)
#   `korva process`, every stage on, against the
#     sox chain of compare_sox.sh                    korva / sox    (target <= 0.30)
#
# The older commit is checked out with `git worktree` into a scratch folder
# and built there, and the working tree is built into a second one, both with
# the same configuration (Release, no tests, no GTK; ccache when installed).
# The benchmarks of the two builds alternate, so slow spells of a shared
# machine fall on both; the last two rows print the older build's ratio too.
#
#   bash bench/compare_commit.sh <older-commit> [repetitions]
#
# KORVA_COMPARE_DIR=<folder> keeps the two builds there between runs.
set -euo pipefail

old_commit=${1:?usage: bash bench/compare_commit.sh <older-commit> [repetitions]}
reps=${2:-5}

# shellcheck source=bench/common.sh
source "$(dirname "${BASH_SOURCE[0]}")/common.sh" ""
dirs=${KORVA_COMPARE_DIR:-$work/builds}
mkdir -p "$dirs"

launcher=()
if command -v ccache >/dev/null; then
  launcher=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi
build_tree() {   # source-dir build-dir
  cmake -S "$1" -B "$2" -DCMAKE_BUILD_TYPE=Release -DKORVA_BUILD_TESTS=OFF -DKORVA_BUILD_BENCH=ON \
    -DKORVA_BUILD_GUI=OFF "${launcher[@]}" >/dev/null
  cmake --build "$2" -j2 --target korva korva_lv2 engine_bench plugin_bench >/dev/null
}

old_src="$dirs/old-src"
old_id=$(git -C "$root" rev-parse --verify "$old_commit^{commit}")
if [ "$(git -C "$old_src" rev-parse HEAD 2>/dev/null || true)" != "$old_id" ]; then
  git -C "$root" worktree remove --force "$old_src" 2>/dev/null || rm -rf "$old_src"
  git -C "$root" worktree add --detach "$old_src" "$old_id" >/dev/null
fi
remove_old_src() {
  if [ -z "${KORVA_COMPARE_DIR:-}" ]; then git -C "$root" worktree remove --force "$old_src" || true; fi
  rm -rf "$work"
}
trap remove_old_src EXIT

echo "building $(git -C "$root" log -1 --format='%h %s' "$old_id" | cut -c1-70)"
build_tree "$old_src" "$dirs/old"
echo "building the working tree ($(git -C "$root" describe --always --dirty))"
build_tree "$root" "$dirs/new"

# 1-3: the Google Benchmarks, old and new taking turns.
for r in $(seq "$reps"); do
  for side in old new; do
    "$dirs/$side/bench/engine_bench" --benchmark_filter='BM_AllStages/44100' --benchmark_format=json \
      >"$work/engine-$side-$r.json"
    "$dirs/$side/bench/plugin_bench" --benchmark_format=json >"$work/plugin-$side-$r.json"
  done
done

# 4-5: whole programs on the same two-minute file (korva from the new build).
korva="$dirs/new/cli/korva"
make_demo_clip
make_two_minutes
set_lv2file_commands "$dirs/new/lib/lv2" "$work/in.wav" "$work/out-new.wav"
korva_lv2_new=$korva_lv2_cmd
set_lv2file_commands "$dirs/old/lib/lv2" "$work/in.wav" "$work/out-old.wav"
korva_lv2_old=$korva_lv2_cmd
set_sox_heavy "$work/in.wav" "$work/out-sox.wav"
process() { echo "$dirs/$1/cli/korva process --quiet ${all_on_set[*]} $work/in.wav $work/out-$1.wav"; }

hyperfine --warmup 1 --runs "$reps" --export-json "$work/lv2file.json" \
  -n new "$korva_lv2_new" -n old "$korva_lv2_old" -n calf "$calf_lv2_cmd" >/dev/null
hyperfine --warmup 1 --runs "$reps" --export-json "$work/process.json" \
  -n new "$(process new)" -n old "$(process old)" -n sox "$sox_cmd" >/dev/null

python3 - "$work" "$reps" "$(git -C "$root" log -1 --format=%h "$old_id")" <<'PY'
import json, statistics, sys
work, reps, old = sys.argv[1], int(sys.argv[2]), sys.argv[3]

def per_frame(kind, side, name):
    # Median over the runs of the benchmark's seconds per frame.
    values = []
    for r in range(1, reps + 1):
        for b in json.load(open(f"{work}/{kind}-{side}-{r}.json"))["benchmarks"]:
            if b["name"] == name:
                values.append(b["time/frame"])
    return statistics.median(values)

def wall(file, name):
    x = {r["command"]: r for r in json.load(open(f"{work}/{file}.json"))["results"]}[name]
    return statistics.median(x["times"])

rows = []
def row(label, num, den, target, ok, note=""):
    ratio = num / den
    rows.append((label, ratio, target, "met" if ok(ratio) else "NOT met", note))

e_new, e_old = per_frame("engine", "new", "BM_AllStages/44100"), per_frame("engine", "old", "BM_AllStages/44100")
row("engine_bench every stage on, 44.1 kHz: new / old", e_new, e_old, "<= 0.70", lambda r: r <= 0.70,
    f"{e_new * 1e9:.1f} against {e_old * 1e9:.1f} ns/frame")
for block, target, ok in (("1", "<= 1", lambda r: r <= 1.0), ("256", "< 1", lambda r: r < 1.0)):
    n, o = per_frame("plugin", "new", f"BM_PluginRun/{block}"), per_frame("plugin", "old", f"BM_PluginRun/{block}")
    row(f"LV2 run() at {block}-frame blocks: new / old", n, o, target, ok,
        f"{n * 1e9:.1f} against {o * 1e9:.1f} ns/frame")
row("lv2file every stage on / Calf BassEnhancer (wall)", wall("lv2file", "new"), wall("lv2file", "calf"), "<= 0.55",
    lambda r: r <= 0.55, f"{old}: {wall('lv2file', 'old') / wall('lv2file', 'calf'):.2f}")
row("korva process every stage on / sox chain (wall)", wall("process", "new"), wall("process", "sox"), "<= 0.30",
    lambda r: r <= 0.30, f"{old}: {wall('process', 'old') / wall('process', 'sox'):.2f}")

print(f"\n{'measure':52} {'ratio':>6}  {'target':8} {'':8} notes")
for label, ratio, target, verdict, note in rows:
    print(f"{label:52} {ratio:6.2f}  {target:8} {verdict:8} {note}")
print(f"\nmedians of {reps} runs; wall times of whole programs, the files read and written included")
PY
