#!/usr/bin/env bash
# The LV2 bundle's objects and korva-control link what they should:
#   linkage_test.sh DSP.so UI.so KORVA-CONTROL
# The DSP object needs no GTK, GDK or GLib; the UI object and korva-control
# need neither the player's library (libxmms.so.1) nor any of its calls; the
# UI object exports lv2ui_descriptor alone.
set -u
dsp=$1 ui=$2 control=$3
bad=0
fail() { echo "FAIL: $*"; bad=1; }

needed() { readelf -d "$1" | sed -n 's/.*(NEEDED).*\[\(.*\)\]/\1/p'; }

for f in "$dsp" "$ui" "$control"; do
  [ -f "$f" ] || { echo "FAIL: no file $f"; exit 1; }
done
needed "$dsp" | grep -E 'gtk|gdk|glib|gobject|pango|cairo|X11' && fail "$dsp links a toolkit library"
nm -D --undefined-only "$dsp" | grep -E ' (gtk|gdk|g)_' && fail "$dsp calls the toolkit"
for f in "$ui" "$control"; do
  needed "$f" | grep -i xmms && fail "$f links the player's library"
  nm -D "$f" | grep -E ' xmms_' && fail "$f refers to the player's calls"
done
needed "$ui" | grep -q 'libgtk-x11-2.0' || fail "$ui does not link GTK 2"
exports=$(nm -D --defined-only "$ui" | awk '$2 ~ /^[TDBR]$/ {print $3}')
[ "$exports" = "lv2ui_descriptor" ] || fail "$ui exports: $exports"
[ $bad = 0 ] && echo "linkage as expected"
exit $bad
