#!/usr/bin/env bash
# The Debian packages on a clean Debian 12 system.
#   clean_install.sh DEB...
# Builds a minimal bookworm root with mmdebstrap from this machine's own apt
# sources (with lilv-utils and ladspa-sdk, the hosts the checks use), installs
# the packages with apt-get (their dependencies come from the archive) and
# checks, inside the root: every installed program and library finds its
# libraries; `korva --version` gives the package's version; `korva demo`
# writes its files; lv2ls lists the LV2 plug-in, lv2info its factory presets
# and one `korva preset export-lv2` wrote to ~/.lv2;
# analyseplugin lists the LADSPA plug-in's 32 controls (label korva; the
# same object's korva_compare is the sink's compare node); `korva sink install`
# in a temporary home writes a fragment naming /usr/lib/ladspa/korva.so;
# korva-host renders the demo clip through the installed XMMS plug-in exactly
# as `korva process` does. Then `apt-get purge` must leave none of the
# packages' files and no path containing "korva" outside the temporary home.
#
# Needs root (mmdebstrap, chroot) and the archive: when the archive cannot be
# reached the root cannot be built and the check fails.
set -euo pipefail

fail() { echo "clean install: FAIL: $*" >&2; exit 1; }
[ "$#" -gt 0 ] || fail "usage: clean_install.sh DEB..."
[ "$(id -u)" -eq 0 ] || fail "needs root (mmdebstrap and chroot)"
command -v mmdebstrap >/dev/null || fail "mmdebstrap is missing (scripts/deps --test installs it)"

debs=()
for deb in "$@"; do
  [ -f "$deb" ] || fail "no package $deb"
  debs+=("$(realpath "$deb")")
done

scratch="$(mktemp -d "${TMPDIR:-/tmp}/korva-clean-XXXXXX")"
root="$scratch/root"
cleanup() {
  if mountpoint -q "$root/proc"; then umount "$root/proc"; fi
  rm -rf --one-file-system "$scratch"
}
trap cleanup EXIT
trap 'echo "clean install: FAIL: line $LINENO: $BASH_COMMAND" >&2' ERR

# The machine's own package sources, in either format.
sources=()
for f in /etc/apt/sources.list /etc/apt/sources.list.d/*.list /etc/apt/sources.list.d/*.sources; do
  [ -s "$f" ] && sources+=("$f")
done
[ "${#sources[@]}" -gt 0 ] || fail "no apt sources on this machine"

echo "building a bookworm root from ${sources[*]}"
mmdebstrap --quiet --variant=apt --include=lilv-utils,ladspa-sdk bookworm "$root" "${sources[@]}" \
  >"$scratch/mmdebstrap.log" 2>&1 || { tail -20 "$scratch/mmdebstrap.log" >&2; fail "mmdebstrap failed (is the archive reachable?)"; }

in_root() { chroot "$root" env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin LANG=C.UTF-8 HOME=/tmp/korva-home "$@"; }

# mmdebstrap empties the package lists and leaves no resolver configuration;
# programs find their own folder ($ORIGIN in a RUNPATH) through /proc.
cp /etc/resolv.conf "$root/etc/resolv.conf"
mount -t proc proc "$root/proc"
in_root apt-get update -q >"$scratch/update.log" 2>&1 || { cat "$scratch/update.log" >&2; fail "apt-get update in the root failed"; }
grep -qE '^(Err|W: Failed)' "$scratch/update.log" && { cat "$scratch/update.log" >&2; fail "apt-get update could not reach the archive"; }

mkdir -p "$root/tmp/korva-debs" "$root/tmp/korva-home"
names=() inside=()
for deb in "${debs[@]}"; do
  cp "$deb" "$root/tmp/korva-debs/"
  names+=("$(dpkg-deb -f "$deb" Package)")
  inside+=("/tmp/korva-debs/$(basename "$deb")")
done
echo "installing ${names[*]}"
in_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -q "${inside[@]}" \
  >"$scratch/install.log" 2>&1 || { tail -30 "$scratch/install.log" >&2; fail "apt-get install of the packages failed"; }
rm -rf "$root/tmp/korva-debs"

# What the packages installed, as dpkg records it.
for name in "${names[@]}"; do in_root dpkg -L "$name"; done | sort -u >"$scratch/files.list"

# Every program and shared object of the packages finds every library it needs
# (the computed Depends pulled them in).
while IFS= read -r path; do
  [ -f "$root$path" ] || continue
  [ "$(head -c 4 "$root$path" | od -An -c | tr -d ' ')" = '177ELF' ] || continue
  missing="$(in_root ldd "$path" | grep 'not found' || true)"
  [ -z "$missing" ] || fail "$path lacks libraries: $missing"
done <"$scratch/files.list"

home=/tmp/korva-home
version="$(in_root dpkg-query -W -f='${Version}' korva)"
[ "$(in_root korva --version)" = "korva $version" ] \
  || fail "korva --version says \"$(in_root korva --version)\", the package is $version"
in_root korva demo "$home/demo" >/dev/null || fail "korva demo failed"
for f in demo-in.wav demo-out.wav; do
  [ -s "$root$home/demo/$f" ] || fail "korva demo did not write $f"
done
echo "ok: korva demo wrote demo-in.wav and demo-out.wav"

in_root lv2ls | grep -qx 'urn:korva:enhancer' || fail "lv2ls does not list urn:korva:enhancer: $(in_root lv2ls | tr '\n' ' ')"
echo "ok: lv2ls lists urn:korva:enhancer"

# A preset exported to the default bundle (~/.lv2) reaches LV2 hosts beside
# the factory presets.
in_root korva preset save "$home/warm.kp" --set superbass=160 >/dev/null || fail "korva preset save failed"
in_root korva preset export-lv2 "$home/warm.kp" >/dev/null || fail "korva preset export-lv2 failed"
presets="$(in_root lv2info urn:korva:enhancer | sed -n '/Presets:/,/^$/p')"
grep -qx '[[:space:]]*warm' <<<"$presets" && grep -qx '[[:space:]]*Defaults' <<<"$presets" \
  || fail "lv2info does not list the exported preset and the factory ones: $presets"
echo "ok: lv2info lists the factory presets and the one korva preset export-lv2 wrote"

controls="$(in_root env LADSPA_PATH=/usr/lib/ladspa analyseplugin korva korva | grep -c ' input, control' || true)"
[ "$controls" = 32 ] || fail "analyseplugin lists $controls input controls, not 32"
echo "ok: analyseplugin lists 32 controls"

in_root korva sink install >"$scratch/sink.log" 2>&1 || { cat "$scratch/sink.log" >&2; fail "korva sink install failed"; }
fragment="$root$home/.config/pipewire/pipewire.conf.d/korva-sink.conf"
[ -f "$fragment" ] || fail "korva sink install wrote no $home/.config/pipewire/pipewire.conf.d/korva-sink.conf"
grep -qF 'plugin = "/usr/lib/ladspa/korva.so"' "$fragment" \
  || fail "the fragment does not name /usr/lib/ladspa/korva.so: $(grep -F 'plugin =' "$fragment")"
echo "ok: korva sink install names /usr/lib/ladspa/korva.so"

if printf '%s\n' "${names[@]}" | grep -qx korva-xmms; then
  in_root env LD_DEBUG=files korva-host --config "$home/xmms-config" --output "$home/host.wav" "$home/demo/demo-in.wav" \
    >"$scratch/host.log" 2>&1 || { tail -20 "$scratch/host.log" >&2; fail "korva-host --output failed"; }
  grep -qF 'file=/usr/lib/xmms/Effect/libxmkorva.so ' "$scratch/host.log" \
    || fail "korva-host did not load /usr/lib/xmms/Effect/libxmkorva.so"
  found="$(in_root ldd /usr/bin/korva-host | awk '$1 == "libxmms.so.1" { print $3 }')"
  [ -n "$found" ] && found="$(in_root realpath "$found")"
  [ "$found" = /usr/lib/korva/libxmms.so.1 ] || fail "korva-host takes libxmms.so.1 from ${found:-nowhere}, not /usr/lib/korva"
  in_root korva process "$home/demo/demo-in.wav" "$home/process.wav" --quiet || fail "korva process failed"
  cmp -s "$root$home/host.wav" "$root$home/process.wav" \
    || fail "korva-host's render through the installed plug-in differs from korva process"
  echo "ok: korva-host renders the demo clip through the installed plug-in as korva process does"
fi

echo "purging ${names[*]}"
in_root env DEBIAN_FRONTEND=noninteractive apt-get purge -y -q "${names[@]}" >"$scratch/purge.log" 2>&1 \
  || { tail -20 "$scratch/purge.log" >&2; fail "apt-get purge failed"; }
in_root env DEBIAN_FRONTEND=noninteractive apt-get autoremove --purge -y -q >>"$scratch/purge.log" 2>&1 \
  || { tail -20 "$scratch/purge.log" >&2; fail "apt-get autoremove failed"; }

# No file of the packages is left; a folder may stay only when another package
# shares it, which a folder named for Korva never is.
left=()
while IFS= read -r path; do
  [ -e "$root$path" ] || [ -L "$root$path" ] || continue
  if [ -d "$root$path" ] && [ ! -L "$root$path" ]; then
    case "$path" in *korva*) left+=("$path") ;; esac
  else
    left+=("$path")
  fi
done <"$scratch/files.list"
[ "${#left[@]}" -eq 0 ] || fail "left behind after the purge: ${left[*]}"
stray="$(cd "$root" && find . -xdev -path ./tmp/korva-home -prune -o -path '*korva*' -print)"
[ -z "$stray" ] || fail "paths with korva left after the purge: $stray"
echo "ok: the purge left none of the $(wc -l <"$scratch/files.list") installed paths and no path with korva"
