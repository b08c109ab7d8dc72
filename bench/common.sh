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

# The sox chain `korva process` is measured against (bench/compare_sox.sh):
# high/low-pass, bass and treble shelves, 24 peaking equalisers, two echoes
# and a chorus, single-threaded. Sets sox_cmd for input $1 and output $2.
set_sox_heavy() {
  local eq=() gain=2 f
  for f in 31 40 50 63 80 100 125 160 200 250 315 400 500 630 800 1000 1250 1600 2000 2500 3150 4000 5000 6300; do
    eq+=(equalizer "$f" 2q "$gain")
    if [ "$gain" = 2 ]; then gain=-1; else gain=2; fi
  done
  # shellcheck disable=SC2034  # for the sourcing script
  sox_cmd="sox -D -R --single-threaded -v 0.5 $1 $2 highpass 20 lowpass 18000 \
bass +6 100 bass -2 50 treble +3 8000 treble -1 12000 ${eq[*]} \
echo 0.8 0.9 4 0.3 echo 0.8 0.9 11 0.2 chorus 0.8 0.9 20 0.3 0.3 1.5 -s"
}

# lv2file commands on input $2, output $3, 256-frame blocks: Korva with every
# stage on from the LV2 folder $1 (korva_lv2_cmd), and Calf's bass enhancer
# at its defaults (calf_lv2_cmd).
set_lv2file_commands() {
  local all_on_p=() kv
  for kv in "${all_on[@]}"; do all_on_p+=(-p "${kv/=/:}"); done
  # shellcheck disable=SC2034  # for the sourcing script
  korva_lv2_cmd="LV2_PATH=$1:/usr/lib/lv2 lv2file -b 256 --ignore-clipping -i $2 -o $3 ${all_on_p[*]} urn:korva:enhancer"
  # shellcheck disable=SC2034  # for the sourcing script
  calf_lv2_cmd="LV2_PATH=/usr/lib/lv2 lv2file -b 256 --ignore-clipping -i $2 -o $3 \
http://calf.sourceforge.net/plugins/BassEnhancer"
}
