#!/usr/bin/env bash
# Installs the build into a temporary prefix and runs what was installed.
#   install_test.sh BUILD_DIR BUILT_KORVA gui|nogui
# The installed korva must process a file exactly as the built one does; with
# the GUI, the installed korva-host must find the installed libxmms.so.1 (in
# the private lib/korva/, through its RUNPATH) and plug-in (never the build
# tree's) and render what korva makes of the file.
set -euo pipefail

build="$1" built_korva="$2" gui="$3"
prefix="$(mktemp -d "${TMPDIR:-/tmp}/korva-install-XXXXXX")"
trap 'rm -rf "$prefix"' EXIT
fail() { echo "install test: $*" >&2; exit 1; }

cmake --install "$build" --prefix "$prefix" >"$prefix/install.log" || { cat "$prefix/install.log" >&2; fail "cmake --install failed"; }

expected=(bin/korva)
[ "$gui" = gui ] && expected+=(bin/korva-host lib/korva/libxmms.so.1 lib/xmms/Effect/libxmkorva.so bin/korva-control
  share/applications/korva-control.desktop share/icons/hicolor/128x128/apps/korva-control.png
  share/man/man1/korva-control.1)
for f in "${expected[@]}" lib/systemd/user/korva-follow.service; do
  [ -f "$prefix/$f" ] || fail "$f is not installed"
done
# Nothing installed may look for libraries in the build tree.
for f in "${expected[@]}"; do
  if readelf -d "$prefix/$f" | grep -E 'RPATH|RUNPATH' | grep -qF "$build"; then
    fail "$f has a run path into the build tree: $(readelf -d "$prefix/$f" | grep -E 'RPATH|RUNPATH')"
  fi
done

korva="$prefix/bin/korva"
"$korva" --help >"$prefix/help.txt" || fail "korva --help failed"
grep -q 'process' "$prefix/help.txt" || fail "korva --help does not list the process command"

work="$prefix/work"
mkdir "$work"
"$built_korva" demo "$work" >/dev/null
in="$work/demo-in.wav"
settings=(--set enable_vs=1 --set enable_3dsurround=1 --set _3dsurround_mode=2 --set superbass=160)
"$built_korva" process "$in" "$work/built.wav" "${settings[@]}" --quiet
"$korva" process "$in" "$work/installed.wav" "${settings[@]}" --quiet
cmp -s "$work/built.wav" "$work/installed.wav" || fail "the installed korva's output differs from the built korva's"
# The installed korva finds the installed factory presets by name.
[ -f "$prefix/share/korva/presets/index.txt" ] || fail "the factory presets are not installed"
"$korva" preset list | grep -q '^Late night ' || fail "the installed korva does not list the factory presets"
"$built_korva" process "$in" "$work/built-preset.wav" --preset "Late night" --quiet
"$korva" process "$in" "$work/installed-preset.wav" --preset "Late night" --quiet
cmp -s "$work/built-preset.wav" "$work/installed-preset.wav" || fail "the installed korva's \"Late night\" differs from the built korva's"

if [ "$gui" = gui ]; then
  host="$prefix/bin/korva-host"
  for f in bin/korva-host lib/xmms/Effect/libxmkorva.so; do
    found="$(ldd "$prefix/$f" | awk '$1 == "libxmms.so.1" { print $3 }')"
    [ -n "$found" ] && [ "$(realpath "$found")" = "$(realpath "$prefix/lib/korva/libxmms.so.1")" ] \
      || fail "the installed $f does not find the installed libxmms.so.1 (found: ${found:-nothing})"
  done
  LD_DEBUG=files "$host" --config "$work/config" --output "$work/host.wav" "$in" >"$work/host.log" 2>&1 \
    || { tail -20 "$work/host.log" >&2; fail "the installed korva-host failed"; }
  grep -qF "file=$prefix/lib/xmms/Effect/libxmkorva.so" "$work/host.log" \
    || fail "the installed korva-host did not load the installed plug-in: $(grep -o 'file=[^ ]*libxmkorva[^ ]*' "$work/host.log" | head -1)"
  "$korva" process "$in" "$work/defaults.wav" --quiet
  cmp -s "$work/defaults.wav" "$work/host.wav" || fail "the installed korva-host's render differs from korva's"
fi
echo "install test: ${expected[*]} installed and run from $prefix"
