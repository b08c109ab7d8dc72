#!/usr/bin/env bash
# Plays generated 16-bit WAV files through the Korva effect in a headless
# Audacious (file writer at 16 bits) and compares the audio with what
# `korva process` makes of the same files with the same settings: equal sample
# for sample, stereo at 44100 and 22050 Hz with the defaults and with every
# stage on; a mono file comes back unchanged.
#
# Audacious loads plug-ins only from its own directory, so the plug-in is
# installed there under a name unique to this run and removed on every exit.
# Needs write access to that directory (root); exits 77 (skipped) without it.
#
# usage: host_test.sh PLUGIN.so KORVA-BINARY
set -euo pipefail

plugin="$1"
korva="$2"
plugin_dir="$(pkg-config --variable=plugin_dir audacious)/Effect"

if [ ! -w "$plugin_dir" ]; then
  echo "skipped: $plugin_dir is not writable (run as root)"
  exit 77
fi
for tool in audacious sox cmp; do
  command -v "$tool" >/dev/null || { echo "skipped: $tool not installed"; exit 77; }
done

tmp="$(mktemp -d /tmp/korva-audacious-XXXXXX)"
installed="$plugin_dir/korva-test-$(basename "$tmp").so"
cleanup() {
  rm -f "$installed"
  rm -rf "$tmp"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

# A copy left behind by a run that was killed outright (its directory is gone).
for stale in "$plugin_dir"/korva-test-korva-audacious-*.so; do
  [ -e "$stale" ] || continue
  owner="${stale##*/korva-test-}"
  [ -d "/tmp/${owner%.so}" ] || rm -f "$stale"
done
install -m 644 "$plugin" "$installed"
mkdir -p "$tmp/home"
export HOME="$tmp/home"   # no ~/.xmms/config of the caller's to import
export DBUS_SESSION_BUS_ADDRESS=disabled:

# Input files: tones and noise near full scale, 3 seconds.
sox -V1 -R -n -r 44100 -b 16 -c 2 "$tmp/stereo44.wav" synth 3 sine 60 sine 2500 synth 3 whitenoise amod 30 gain -0.5
sox -V1 -R -n -r 22050 -b 16 -c 2 "$tmp/stereo22.wav" synth 3 sine 90 sine 700 synth 3 pinknoise amod 20 gain -0.5
sox -V1 -R -n -r 44100 -b 16 -c 1 "$tmp/mono.wav" synth 3 sine 440 gain -1

# Every stage on (the same values go to Audacious's configuration and to korva).
all_on=(superbass=200 enable_extspace=1 enable_extfx=1 enable_vs=1 enable_bw=1 _3dsurround_mode=3
        extspace_mode=2 spc_mode=1 spc_swapstereo=1 spc_phaseinvert=1 bw_mode=2 bw_value=102
        bw_fq=7000 preamp=300 chain_index=4)

# A configuration directory in which Audacious has registered its plug-ins:
# only the file writer as output, only this run's Korva as effect.
template="$tmp/template"
XDG_CONFIG_HOME="$template" timeout 60 audacious -H -q >/dev/null 2>&1 || true
registry="$template/audacious/plugin-registry"
grep -q "^effect $installed\$" "$registry" || { echo "FAIL: Audacious did not register $installed"; exit 1; }
awk -v mine="$installed" '
  /^(effect|output) / { kind = $1; path = $2 }
  /^enabled / {
    if (path == mine || path ~ /\/Output\/filewriter\.so$/) $0 = "enabled 1"
    else if (kind == "output" || kind == "effect") $0 = "enabled 0"
  }
  { print }
  /^[a-z]+ \// && !/^(effect|output) / { path = ""; kind = "" }
' "$registry" >"$registry.new"
mv "$registry.new" "$registry"

failures=0

# play NAME INPUT SETTINGS...: Audacious's output of INPUT as raw samples in $tmp/NAME.raw
play() {
  local name="$1" input="$2"
  shift 2
  local cfg="$tmp/cfg-$name" out="$tmp/out-$name"
  cp -r "$template" "$cfg"
  mkdir -p "$out"
  {
    printf '[audacious]\noutput_bit_depth=16\n\n'
    printf '[filewriter]\nfileext=0\nfile_path=file://%s\nsave_original=FALSE\nfilenamefromtags=FALSE\n\n' "$out"
    printf '[korva]\nimported_xmms=1\n'
    local kv
    for kv in "$@"; do printf '%s\n' "$kv"; done
  } >"$cfg/audacious/config"
  (cd "$tmp" && XDG_CONFIG_HOME="$cfg" timeout 120 audacious -H -p -q "$input" >"$tmp/$name.log" 2>&1) || true
  local written="$out/$(basename "$input")"
  if [ ! -s "$written" ]; then
    echo "FAIL $name: Audacious wrote no output; its log:"
    cat "$tmp/$name.log"
    failures=$((failures + 1))
    return 1
  fi
  sox "$written" -t raw "$tmp/$name.raw"
}

# expect NAME REFERENCE.raw: Audacious's samples equal the reference's
expect() {
  if cmp "$tmp/$1.raw" "$2"; then
    echo "ok   $1 ($(stat -c %s "$2") bytes of samples equal)"
  else
    echo "FAIL $1"
    failures=$((failures + 1))
  fi
}

for input in stereo44 stereo22; do
  "$korva" process -q "$tmp/$input.wav" "$tmp/ref-$input-defaults.wav"
  sox "$tmp/ref-$input-defaults.wav" -t raw "$tmp/ref-$input-defaults.raw"
  sets=()
  for kv in "${all_on[@]}"; do sets+=(--set "$kv"); done
  "$korva" process -q "${sets[@]}" "$tmp/$input.wav" "$tmp/ref-$input-all-on.wav"
  sox "$tmp/ref-$input-all-on.wav" -t raw "$tmp/ref-$input-all-on.raw"

  play "$input-defaults" "$tmp/$input.wav" && expect "$input-defaults" "$tmp/ref-$input-defaults.raw"
  play "$input-all-on" "$tmp/$input.wav" "${all_on[@]}" && expect "$input-all-on" "$tmp/ref-$input-all-on.raw"
done

# Not stereo: untouched, even with every stage on.
sox "$tmp/mono.wav" -t raw "$tmp/mono-in.raw"
play mono "$tmp/mono.wav" "${all_on[@]}" && expect mono "$tmp/mono-in.raw"

# The effect really ran: stereo output differs from its input.
sox "$tmp/stereo44.wav" -t raw "$tmp/stereo44-in.raw"
if [ -f "$tmp/stereo44-defaults.raw" ] && cmp -s "$tmp/stereo44-defaults.raw" "$tmp/stereo44-in.raw"; then
  echo "FAIL: the stereo output equals its input: the effect did not run"
  failures=$((failures + 1))
fi

[ "$failures" -eq 0 ] || { echo "$failures failure(s)"; exit 1; }
echo "all equal"
