#!/bin/bash
# korva.1 renders without warnings (groff -ww) and through man, and holds
# every subcommand's help and the hand-written sections.
set -euo pipefail
page="$1"
fail() { echo "FAIL: $*" >&2; exit 1; }
[ -s "$page" ] || fail "$page is missing or empty"

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

groff -ww -man -Tutf8 "$page" >"$scratch/groff.out" 2>"$scratch/groff.err" || fail "groff failed: $(cat "$scratch/groff.err")"
[ ! -s "$scratch/groff.err" ] || fail "groff warns: $(cat "$scratch/groff.err")"

# man with a path containing a slash reads that file; --warnings passes -ww on.
cp "$page" "$scratch/korva.1"
(cd "$scratch" && MANWIDTH=80 man --warnings ./korva.1 >man.out 2>man.err) ||
  fail "man failed: $(cat "$scratch/man.err")"
[ ! -s "$scratch/man.err" ] || fail "man warns: $(cat "$scratch/man.err")"

for text in "korva process:" "korva demo:" "korva preset show:" "korva preset save:" "korva response:" \
            "--png FILE" "NAME" "SYNOPSIS" "EXAMPLES" "FILES" "EXIT STATUS"; do
  grep -qF -- "$text" "$scratch/man.out" || fail "the rendered page lacks \"$text\""
done
# Each footer of a command's help (fields, output types, exit status) is a
# paragraph of its own, and the fields carry their ranges. Justified lines
# hold runs of spaces, so those are squeezed first.
tr -s ' ' <"$scratch/man.out" >"$scratch/squeezed.out"
for text in "Fields, with the range" "Output types:" "Exit status:"; do
  grep -B1 -- "^ *$text" "$scratch/squeezed.out" | head -1 | grep -q '^ *$' ||
    fail "\"$text\" does not start a paragraph of its own"
done
tr '\n' ' ' <"$scratch/squeezed.out" | tr -s ' ' >"$scratch/joined.out"
for text in "preamp 0..384" "- reads standard input" "unknown output type"; do
  grep -qF -- "$text" "$scratch/joined.out" || fail "the rendered page lacks \"$text\""
done
echo "korva.1: renders without warnings, $(wc -l <"$scratch/man.out") lines"
