#!/usr/bin/env bash
# Makes docs/lv2-window.png: the LV2 plug-in's window (korva.lv2/korva_ui.so)
# embedded in jalv.qt5, which runs the plug-in in a private JACK server with
# the dummy driver, under a virtual display. Needs the build's LV2 bundle, and
# jalv, jackd2, xvfb and imagemagick.
#
# usage: docs/lv2-window-screenshot.sh [BUILD-DIR]     (default: build)
set -euo pipefail
build="$(realpath "${1:-build}")"
out="$(cd "$(dirname "$0")" && pwd)/lv2-window.png"
tmp="$(mktemp -d /tmp/korva-lv2-shot-XXXXXX)"
pids=()
cleanup() {
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
    sleep 1
    rm -rf "$tmp"
}
trap cleanup EXIT

export JACK_NO_AUDIO_RESERVATION=1 JACK_DEFAULT_SERVER="korva-shot-$$"
jackd -n "$JACK_DEFAULT_SERVER" -d dummy -r 48000 -p 256 >"$tmp/jackd.log" 2>&1 &
pids+=($!)
display=:$((100 + $$ % 100))
Xvfb "$display" -screen 0 1024x768x24 >"$tmp/xvfb.log" 2>&1 &
pids+=($!)
sleep 2
DISPLAY="$display" LV2_PATH="$build/lib/lv2" jalv.qt5 urn:korva:enhancer >"$tmp/jalv.log" 2>&1 &
pids+=($!)
sleep 6
# jalv.qt5's window, which holds the embedded one, from the screen's corner.
DISPLAY="$display" import -window root -crop 617x384+0+0 +repage "$out"
echo "wrote $out"
