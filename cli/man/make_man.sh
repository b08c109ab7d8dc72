#!/bin/bash
# Writes korva.1: help2man over the program's own help (help_for_man.sh) and
# the hand-written sections in korva.h2m, then a break point (\:) after every
# slash of a path in the text, so that a long path can end a line instead of
# overrunning it (groff would warn "cannot adjust line").
# Usage: make_man.sh KORVA-PROGRAM OUTPUT
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
korva="$1"
output="$2"

KORVA="$korva" ASAN_OPTIONS=detect_leaks=0 help2man --no-info --include="$here/korva.h2m" \
  --name="the Korva stereo sound enhancer's effect chain on audio files" \
  --output="$output.tmp" "$here/help_for_man.sh"
# Text lines only (not requests); a slash after a backslash is groff's own \/.
sed -E -e '/^\./!s#([^\\])/([A-Za-z0-9$~._-])#\1/\\:\2#g' "$output.tmp" >"$output"
rm -f "$output.tmp"
