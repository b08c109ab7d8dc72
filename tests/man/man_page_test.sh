#!/bin/bash
# A manual page renders without warnings (groff -ww) and through man, and
# the rendered page holds each TEXT (help sections, hand-written sections).
#   man_page_test.sh PAGE TEXT...
set -euo pipefail
page="$1"
shift
fail() { echo "FAIL: $*" >&2; exit 1; }
[ -s "$page" ] || fail "$page is missing or empty"

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

groff -ww -man -Tutf8 "$page" >"$scratch/groff.out" 2>"$scratch/groff.err" || fail "groff failed: $(cat "$scratch/groff.err")"
[ ! -s "$scratch/groff.err" ] || fail "groff warns: $(cat "$scratch/groff.err")"

# man with a path containing a slash reads that file; --warnings passes -ww on.
name="$(basename "$page")"
cp "$page" "$scratch/$name"
(cd "$scratch" && MANWIDTH=80 man --warnings "./$name" >man.out 2>man.err) ||
  fail "man failed: $(cat "$scratch/man.err")"
[ ! -s "$scratch/man.err" ] || fail "man warns: $(cat "$scratch/man.err")"

for text in "$@"; do
  grep -qF -- "$text" "$scratch/man.out" || fail "the rendered page lacks \"$text\""
done
echo "$name: renders without warnings, $(wc -l <"$scratch/man.out") lines"
