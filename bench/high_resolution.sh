#!/usr/bin/env bash
# CPU cost of `korva process` per second of audio: a two-minute 96 kHz
# 24-bit stereo file through the float path (the chain at 48 kHz between
# libsoxr's resamplers) against the same music at 48 kHz 16-bit through the
# exact 16-bit path, every stage on; and the 96 kHz file with the effects
# off, which is mostly the resampling round trip. WAV in and out, so the
# codecs cost next to nothing. CPU time is user + system, the least of three
# runs. Aim: at most 12 ms per second of 96 kHz audio.
#
#   bash bench/high_resolution.sh [build-dir]
set -euo pipefail

# shellcheck source=bench/common.sh
source "$(dirname "${BASH_SOURCE[0]}")/common.sh" "${1:-}"
ensure_built korva "$korva"

make_demo_clip
make_two_minutes
sox "$work/in.wav" -b 16 "$work/in48.wav" rate -v 48000
sox "$work/in.wav" -b 24 "$work/in96.wav" rate -v 96000
seconds=$(soxi -D "$work/in96.wav")

# Least CPU seconds of three runs of `korva process` with the arguments.
cpu_seconds() {
  local best="" run
  for run in 1 2 3; do
    /usr/bin/time -f "%U %S" -o "$work/time" "$korva" process --quiet "$@" >/dev/null
    run=$(awk '{ print $1 + $2 }' "$work/time")
    best=$(python3 -c "print(min(x for x in [$run, ${best:-$run}]))")
  done
  echo "$best"
}

report() {
  python3 -c "print(f'{\"$1\":<52} {1000 * $2 / $seconds:6.2f} ms per second of audio')"
}

report "48 kHz 16-bit, exact 16-bit path, every stage on" \
  "$(cpu_seconds "${all_on_set[@]}" "$work/in48.wav" "$work/out48.wav")"
report "96 kHz 24-bit, float path, every stage on" \
  "$(cpu_seconds "${all_on_set[@]}" "$work/in96.wav" "$work/out96.wav")"
report "96 kHz 24-bit, float path, effects off" \
  "$(cpu_seconds --set enable_global=0 "$work/in96.wav" "$work/out96.wav")"
report "96 kHz 24-bit, float path at 96 kHz (--native-rate)" \
  "$(cpu_seconds "${all_on_set[@]}" --native-rate "$work/in96.wav" "$work/out96.wav")"
