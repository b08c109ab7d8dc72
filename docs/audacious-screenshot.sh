#!/usr/bin/env bash
# Makes docs/audacious-preferences.png: Korva's preferences in Audacious's GTK
# interface under a virtual display, opened the way a user opens them
# (Settings -> Plugins -> Effect -> Korva -> Settings). Installs the plug-in
# into Audacious's directory for the run (as root) and removes it after.
#
# usage: docs/audacious-screenshot.sh build/audacious/korva.so
set -euo pipefail
plugin="$(realpath "$1")"
out="$(cd "$(dirname "$0")" && pwd)/audacious-preferences.png"
tmp="$(mktemp -d /tmp/korva-shot-XXXXXX)"
installed="$(pkg-config --variable=plugin_dir audacious)/Effect/korva-shot-$(basename "$tmp").so"
trap 'rm -f "$installed"; rm -rf "$tmp"' EXIT
install -m 644 "$plugin" "$installed"
export XDG_CONFIG_HOME="$tmp/cfg" HOME="$tmp"

timeout 60 audacious -H -q >/dev/null 2>&1 || true
awk -v mine="$installed" '
  /^[a-z]+ \// { path = $2 }
  /^enabled / {
    if (path == mine || path ~ /\/(filewriter|gtkui)\.so$/) $0 = "enabled 1"
    else if (path ~ /\/Output\// || path ~ /(qtui|skins)/) $0 = "enabled 0"
  }
  { print }' "$tmp/cfg/audacious/plugin-registry" >"$tmp/registry"
mv "$tmp/registry" "$tmp/cfg/audacious/plugin-registry"

cat >"$tmp/steps.sh" <<STEPS
audacious >"$tmp/audacious.log" 2>&1 &
sleep 4
audtool preferences-show; sleep 2
xdotool mousemove 96 310 click 1; sleep 1    # Plugins
xdotool mousemove 285 27 click 1; sleep 1    # Effect
xdotool mousemove 247 211 click 1; sleep 1   # Korva
xdotool mousemove 243 466 click 1; sleep 2   # Settings
w=\$(xdotool search --sync --name "Korva Settings" | head -1)
import -window "\$w" "$out"
audtool shutdown; sleep 1
STEPS
timeout 120 xvfb-run -a -s "-screen 0 1280x900x24" dbus-run-session -- bash "$tmp/steps.sh" 2>/dev/null
echo "wrote $out"
