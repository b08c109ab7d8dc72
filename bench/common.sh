# shellcheck shell=bash
# Set-up the shell benchmarks share. Sourced after `set -euo pipefail` with
# the script's optional build-directory argument:
#
#   source "$(dirname "${BASH_SOURCE[0]}")/common.sh" "${1:-}"
#
# Sets root, build (absolute: LV2_PATH needs that), korva, and work, a
# scratch directory removed on exit.

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="$(realpath -m "${1:-$root/build}")"
korva="$build/cli/korva"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

# Every stage on as the README's performance figures name it, the same
# setting as bench_every_stage_on() in bench_settings.h; all_on_set holds it
# as `korva process` arguments.
all_on=(_3dsurround_mode=3 enable_extspace=1 extspace_mode=1 enable_extfx=1 enable_vs=1 spc_mode=1 enable_bw=1)
all_on_set=()
for kv in "${all_on[@]}"; do all_on_set+=(--set "$kv"); done

# Builds the targets in Release unless every file named after them exists.
#   ensure_built "korva plugin_bench" "$korva" "$build/bench/plugin_bench"
ensure_built() {
  local targets=$1 file
  shift
  for file in "$@"; do
    if [ ! -e "$file" ]; then
      cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release >/dev/null
      # shellcheck disable=SC2086  # the targets are separate words
      cmake --build "$build" -j2 --target $targets
      return
    fi
  done
}

# Music-like input: `korva demo`'s input clip, in $clip.
make_demo_clip() {
  "$korva" demo "$work/demo" --quiet >/dev/null
  clip="$work/demo/demo-in.wav"
}

# Two minutes of music, the demo clip twelve times over, in $work/in.wav.
make_two_minutes() {
  local clips=() _
  for _ in $(seq 12); do clips+=("$clip"); done
  sox "${clips[@]}" "$work/in.wav"
}
