#!/usr/bin/env bash
# Makes docs/korva-control.png: korva-control connected to the Korva sink of
# a private PipeWire (a daemon with a null sink loading the fragment that
# `korva sink install` writes, and wireplumber), under a virtual display, with
# the window's title (connected) drawn above it as a desktop would.
# Needs the build's korva, korva-control and LADSPA plug-in, and pipewire-bin,
# wireplumber, dbus, xvfb, xdotool and imagemagick (scripts/deps --test).
#
# usage: docs/korva-control-screenshot.sh [BUILD-DIR]     (default: build)
set -euo pipefail
build="$(realpath "${1:-build}")"
out="$(cd "$(dirname "$0")" && pwd)/korva-control.png"
tmp="$(mktemp -d /tmp/korva-shot-XXXXXX)"
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill -- "-$pid" 2>/dev/null || true; done
  sleep 1
  rm -rf "$tmp"
}
trap cleanup EXIT

export HOME="$tmp" XDG_CONFIG_HOME="$tmp/cfg" XDG_RUNTIME_DIR="$tmp/rt"
export KORVA_LADSPA_PLUGIN="$build/lib/ladspa/korva.so"
unset PIPEWIRE_REMOTE PIPEWIRE_RUNTIME_DIR PIPEWIRE_CONFIG_DIR DBUS_SESSION_BUS_ADDRESS
mkdir -m 700 "$tmp/rt"
mkdir -p "$tmp/cfg/pipewire"

# PipeWire's minimal server with only a dummy driver and a null sink.
awk '
  /^context.objects = \[/ {
    print
    print "  { factory = spa-node-factory args = { factory.name = support.node.driver node.name = Dummy-Driver node.group = pipewire.dummy priority.driver = 20000 } }"
    print "  { factory = adapter args = { factory.name = support.null-audio-sink node.name = \"speakers\" media.class = Audio/Sink audio.position = [ FL FR ] } }"
    skip = 1; next
  }
  skip && /^\]/ { skip = 0 }
  !skip { print }' /usr/share/pipewire/minimal.conf >"$tmp/cfg/pipewire/pipewire.conf"
"$build/cli/korva" sink install >/dev/null

setsid pipewire >"$tmp/pipewire.log" 2>&1 & pids+=($!)
sleep 1
setsid dbus-run-session -- wireplumber >"$tmp/wireplumber.log" 2>&1 & pids+=($!)
for _ in $(seq 50); do pw-cli info korva_sink >/dev/null 2>&1 && break; sleep 0.2; done

cat >"$tmp/steps.sh" <<STEPS
"$build/korva-control/korva-control" >"$tmp/window.log" 2>&1 &
w=\$(xdotool search --sync --name "connected" | head -1)
sleep 1
import -window "\$w" "$tmp/window.png"
# No window manager draws a title bar here: the window's own title (what a
# desktop shows above it) is set above the picture.
convert "$tmp/window.png" -background "#4a4a4a" -gravity North -splice 0x24 -fill white -font DejaVu-Sans -pointsize 13 \
  -annotate +0+5 "\$(xdotool getwindowname "\$w")" "$out"
kill %1
wait
STEPS
timeout 60 xvfb-run -a -s "-screen 0 1024x768x24" bash "$tmp/steps.sh"
echo "wrote $out"
