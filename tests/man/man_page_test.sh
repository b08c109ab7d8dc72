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
echo "korva.1: renders without warnings, $(wc -l <"$scratch/man.out") lines"
