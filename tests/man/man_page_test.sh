#!/bin/bash
# A manual page renders without warnings (groff -ww) and through man, and
# the rendered page holds each TEXT (help sections, hand-written sections).
#   man_page_test.sh PAGE TEXT...   ("para:TEXT": TEXT also starts a paragraph)
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

# Justified lines hold runs of spaces and texts wrap: each TEXT is looked for
# in the page with its white space squeezed and its lines joined. A TEXT
# written "para:TEXT" must also start a paragraph of its own.
tr -s ' ' <"$scratch/man.out" >"$scratch/squeezed.out"
tr '\n' ' ' <"$scratch/squeezed.out" | tr -s ' ' >"$scratch/joined.out"
for text in "$@"; do
  case "$text" in
    para:*)
      text="${text#para:}"
      grep -B1 -- "^ *$text" "$scratch/squeezed.out" | head -1 | grep -q '^ *$' ||
        fail "\"$text\" does not start a paragraph of its own" ;;
  esac
  grep -qF -- "$text" "$scratch/joined.out" || fail "the rendered page lacks \"$text\""
done
echo "$name: renders without warnings, $(wc -l <"$scratch/man.out") lines"
