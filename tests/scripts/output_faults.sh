#!/usr/bin/env bash
# `korva process` and `korva preset save` when writing goes wrong:
#   - a full disk (a 256 kB tmpfs mounted here): non-zero exit, a message
#     naming the file and the reason, no partial or temporary file, and an
#     existing output left as it was;
#   - SIGINT and SIGTERM during a long run: exit 130 / 143, the temporary
#     output removed, no output;
#   - an output that exists and is no regular file (/dev/null, a FIFO, a
#     device node): written in place or refused, never replaced.
# Device nodes other than /dev/null are made inside the test's own directory,
# so a faulty rename could only ever replace those.
#
# Needs KORVA_BIN, sox; the tmpfs checks need mount (root) and the device-node
# checks mknod (root): where they are not permitted they are skipped with a
# message, and a run that skipped some and failed none exits 77 (ctest's
# SKIP_RETURN_CODE: reported as skipped, not passed).
set -euo pipefail

korva="${KORVA_BIN:?set KORVA_BIN to the korva program}"
[ -x "$korva" ] || { echo "FAIL: no korva program at $korva" >&2; exit 1; }

tmp="$(mktemp -d "${TMPDIR:-/tmp}/korva-faults-XXXXXX")"
full="$tmp/full"
cleanup() {
  mountpoint -q "$full" 2>/dev/null && umount "$full"
  rm -rf "$tmp"
}
trap cleanup EXIT

failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }
pass() { echo "ok: $*"; }
skipped=0
skip() { echo "SKIPPED: $*"; skipped=$((skipped + 1)); }

# Entries of a directory, one per line (hidden ones included).
entries() { find "$1" -mindepth 1 -maxdepth 1 -printf '%f\n' | sort; }

# Waits, five seconds at most, until the folder holds something.
wait_for_entry() {
  for _ in $(seq 1 500); do
    [ -n "$(entries "$1")" ] && break
    sleep 0.01
  done
}

sox -n -r 44100 -c 2 -b 16 "$tmp/in.wav" synth 10 sine 220 sine 330 vol 0.7     # about 1.7 MB

# --- a full disk -----------------------------------------------------------
mkdir "$full"
if mount -t tmpfs -o size=256k tmpfs "$full" 2>/dev/null; then
  # No room for the output at all.
  if "$korva" process "$tmp/in.wav" "$full/out.wav" --quiet 2>"$tmp/err"; then
    fail "process into a full disk succeeded"
  else
    grep -q "$full/out.wav" "$tmp/err" && pass "full disk: the message names the output: $(head -1 "$tmp/err")" \
      || fail "full disk: the message does not name the output: $(cat "$tmp/err")"
    grep -qi "space" "$tmp/err" && pass "full disk: the message gives the reason" \
      || fail "full disk: the message does not say the disk is full: $(cat "$tmp/err")"
    [ -z "$(entries "$full")" ] && pass "full disk: no partial or temporary file" \
      || fail "full disk: left behind: $(entries "$full" | tr '\n' ' ')"
  fi

  # An existing output survives a failed replacement unchanged.
  head -c 100000 /dev/urandom >"$full/keep.wav"
  cp "$full/keep.wav" "$tmp/keep.copy"
  if "$korva" process "$tmp/in.wav" "$full/keep.wav" --quiet 2>"$tmp/err"; then
    fail "replacing an output on a full disk succeeded"
  else
    cmp -s "$full/keep.wav" "$tmp/keep.copy" && pass "full disk: the existing output is unchanged" \
      || fail "full disk: the existing output was changed"
    [ "$(entries "$full")" = "keep.wav" ] && pass "full disk: only the existing output remains" \
      || fail "full disk: left behind: $(entries "$full" | tr '\n' ' ')"
  fi

  # A preset save into a disk with no free block at all.
  rm -f "$full/keep.wav"
  head -c 1000000 /dev/zero >"$full/filler" 2>/dev/null || true
  if "$korva" preset save "$full/p.kp" --set superbass=100 2>"$tmp/err"; then
    fail "preset save into a full disk succeeded"
  else
    [ "$(entries "$full")" = "filler" ] && pass "full disk: a failed preset save leaves no file: $(head -1 "$tmp/err")" \
      || fail "full disk: preset save left behind: $(entries "$full" | tr '\n' ' ')"
  fi
  umount "$full"
else
  skip "the full-disk checks need permission to mount a tmpfs (run as root)"
fi

# --- interruption ----------------------------------------------------------
# Twenty minutes of audio: the run takes seconds, long enough to be caught.
sox "$tmp/in.wav" "$tmp/long.wav" repeat 119
for sig in INT TERM; do
  out_dir="$tmp/interrupt-$sig"
  mkdir "$out_dir"
  "$korva" process "$tmp/long.wav" "$out_dir/out.wav" --quiet 2>"$tmp/err" &
  pid=$!
  # Signal once the temporary output exists, i.e. while blocks are written.
  wait_for_entry "$out_dir"
  sleep 0.2
  kill -s "$sig" "$pid" 2>/dev/null || true
  status=0
  wait "$pid" || status=$?
  expected=$(( 128 + $(kill -l "$sig") ))
  if [ "$status" -eq 0 ]; then
    fail "SIG$sig: the run finished before the signal; the input is too short for this machine"
  elif [ "$status" -ne "$expected" ]; then
    fail "SIG$sig: exit status $status, expected $expected ($(cat "$tmp/err"))"
  else
    pass "SIG$sig: exit status $status: $(head -1 "$tmp/err")"
  fi
  [ -z "$(entries "$out_dir")" ] && pass "SIG$sig: no output and no temporary file" \
    || fail "SIG$sig: left behind: $(entries "$out_dir" | tr '\n' ' ')"
done

# A run stuck reading a stalled pipe: the first signal cannot be acted on at
# a block boundary, a second one removes the temporary output and ends it.
stall="$tmp/stall"
mkdir "$stall"
sox -n -r 44100 -c 2 -b 16 "$tmp/stall.au" synth 5 sine 440
mkfifo "$tmp/stalled.au"
( head -c 300000 "$tmp/stall.au"; exec sleep 60 ) >"$tmp/stalled.au" &
writer=$!
"$korva" process "$tmp/stalled.au" "$stall/out.wav" --quiet 2>"$tmp/err" &
pid=$!
wait_for_entry "$stall"
sleep 0.3
kill -s INT "$pid" 2>/dev/null || true
sleep 0.5
kill -s INT "$pid" 2>/dev/null || true
status=0
for _ in $(seq 1 100); do
  kill -0 "$pid" 2>/dev/null || break
  sleep 0.05
done
if kill -0 "$pid" 2>/dev/null; then
  fail "stalled input: still running 5 s after the second SIGINT"
  kill -s KILL "$pid" 2>/dev/null || true
fi
wait "$pid" || status=$?
[ "$status" -eq 130 ] && pass "stalled input: a second SIGINT ends the run with 130" \
  || fail "stalled input: exit status $status after two SIGINTs, expected 130"
[ -z "$(entries "$stall")" ] && pass "stalled input: no output and no temporary file" \
  || fail "stalled input: left behind: $(entries "$stall" | tr '\n' ' ')"
kill "$writer" 2>/dev/null || true
wait "$writer" 2>/dev/null || true

# --- outputs that are not regular files ------------------------------------
# /dev/null is written in place (the program's documented behaviour).
if "$korva" process "$tmp/in.wav" /dev/null --quiet 2>"$tmp/err"; then
  pass "/dev/null as output: success"
else
  fail "/dev/null as output failed: $(cat "$tmp/err")"
fi
[ -c /dev/null ] && pass "/dev/null is still a character device" || fail "/dev/null is no longer a character device"

# A character device node of our own (the same device as /dev/null).
nodes="$tmp/nodes"
mkdir "$nodes"
if mknod "$nodes/null" c 1 3 2>/dev/null; then
  "$korva" process "$tmp/in.wav" "$nodes/null" --quiet 2>"$tmp/err" && pass "device node as output: written in place" \
    || pass "device node as output: refused: $(head -1 "$tmp/err")"
  [ -c "$nodes/null" ] && pass "device node still a device after process" || fail "process replaced a device node"
  "$korva" preset save "$nodes/null" 2>"$tmp/err" && pass "device node as preset: written in place" \
    || pass "device node as preset: refused: $(head -1 "$tmp/err")"
  [ -c "$nodes/null" ] && pass "device node still a device after preset save" || fail "preset save replaced a device node"
  [ "$(entries "$nodes")" = "null" ] || fail "temporary files left beside the device node: $(entries "$nodes" | tr '\n' ' ')"
else
  skip "device-node checks need mknod (root)"
fi

# A FIFO with a reader: .au can be written into a pipe.
mkfifo "$nodes/pipe.au"
cat "$nodes/pipe.au" >"$tmp/from-pipe" &
reader=$!
if timeout 60 "$korva" process "$tmp/in.wav" "$nodes/pipe.au" --quiet 2>"$tmp/err"; then
  pass "FIFO as output: written in place"
else
  fail "FIFO as output failed: $(cat "$tmp/err")"
fi
wait "$reader" || true
[ -p "$nodes/pipe.au" ] && pass "the FIFO is still a FIFO" || fail "process replaced the FIFO"
[ "$(head -c 4 "$tmp/from-pipe")" = ".snd" ] && pass "the reader got an AU stream" \
  || fail "the reader got no AU stream"

# A FIFO as preset: never replaced, never a hang.
mkfifo "$nodes/preset.kp"
cat "$nodes/preset.kp" >/dev/null &
reader=$!
status=0
timeout 20 "$korva" preset save "$nodes/preset.kp" 2>"$tmp/err" || status=$?
[ "$status" -eq 124 ] && fail "preset save into a FIFO hung"
[ "$status" -eq 0 ] && pass "FIFO as preset: written in place" || pass "FIFO as preset: refused: $(head -1 "$tmp/err")"
# Unblock the reader if nothing opened the FIFO for writing.
exec 3<>"$nodes/preset.kp"; exec 3>&-
wait "$reader" || true
[ -p "$nodes/preset.kp" ] && pass "the preset FIFO is still a FIFO" || fail "preset save replaced the FIFO"
[ "$(entries "$nodes" | grep -vc -e '^null$' -e '^pipe.au$' -e '^preset.kp$')" -eq 0 ] \
  || fail "temporary files left beside the FIFOs: $(entries "$nodes" | tr '\n' ' ')"

if [ "$failures" -gt 0 ]; then
  echo "$failures check(s) failed" >&2
  exit 1
fi
if [ "$skipped" -gt 0 ]; then
  echo "the other output fault checks passed; $skipped group(s) skipped"
  exit 77
fi
echo "all output fault checks passed"
