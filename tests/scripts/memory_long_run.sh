#!/usr/bin/env bash
# Peak memory of `korva process` does not grow with the length of the input:
# a two-hour file may use at most 1.2 times the peak of a ten-second file,
# plus 2 MB. Both figures are printed.
#
# The files are 16-bit stereo 44100 Hz WAV, made with sox in a temporary
# directory that is removed at the end (the two-hour input and its output
# take about 2.5 GB together). Needs KORVA_BIN (the korva program), sox and
# GNU time at /usr/bin/time.
set -euo pipefail

korva="${KORVA_BIN:?set KORVA_BIN to the korva program}"
[ -x "$korva" ] || { echo "FAIL: no korva program at $korva" >&2; exit 1; }
command -v sox >/dev/null || { echo "FAIL: sox is missing (scripts/deps --test installs it)" >&2; exit 1; }
[ -x /usr/bin/time ] || { echo "FAIL: /usr/bin/time is missing (package time)" >&2; exit 1; }

tmp="$(mktemp -d "${TMPDIR:-/tmp}/korva-memory-XXXXXX")"
trap 'rm -rf "$tmp"' EXIT

# Every stage that keeps state on, so every buffer of the chain is in use.
settings=(--set enable_vs=1 --set enable_extspace=1 --set extspace_mode=2 --set enable_extfx=1
          --set enable_bw=1 --set spc_mode=1 --set superbass=160 --set _3dsurround_mode=3)

# Peak resident set size in kB of one run; the run must succeed.
peak_kb() {
  local input="$1" output="$2" log="$tmp/time.log"
  if ! /usr/bin/time -v -o "$log" "$korva" process "$input" "$output" --quiet "${settings[@]}"; then
    echo "FAIL: korva process $input failed" >&2
    exit 1
  fi
  awk -F: '/Maximum resident set size/ { gsub(/ /, "", $2); print $2 }' "$log"
}

frames_of() { soxi -s "$1"; }

# Ten seconds of a chord with a moving bass; the two-hour file repeats it.
sox -n -r 44100 -c 2 -b 16 "$tmp/short.wav" synth 10 sine 55-110 sine 440 sine 660 remix 1,2 2,3 vol 0.8
sox "$tmp/short.wav" "$tmp/long.wav" repeat 719

short_kb="$(peak_kb "$tmp/short.wav" "$tmp/short-out.wav")"
long_kb="$(peak_kb "$tmp/long.wav" "$tmp/long-out.wav")"

long_frames="$(frames_of "$tmp/long.wav")"
out_frames="$(frames_of "$tmp/long-out.wav")"
echo "peak memory: 10 s file ${short_kb} kB, 2 h file ${long_kb} kB (${long_frames} frames)"

if [ "$out_frames" != "$long_frames" ]; then
  echo "FAIL: the two-hour output holds $out_frames frames, the input $long_frames" >&2
  exit 1
fi
# 1.2 x short + 2048 kB, in integer arithmetic.
limit_kb=$(( short_kb * 12 / 10 + 2048 ))
if [ "$long_kb" -gt "$limit_kb" ]; then
  echo "FAIL: the two-hour run peaked at ${long_kb} kB, above ${limit_kb} kB (1.2 x ${short_kb} kB + 2 MB)" >&2
  exit 1
fi
echo "ok: memory does not grow with the length of the input (limit ${limit_kb} kB)"
