#!/usr/bin/env bash
# The layer checkers on fixture trees. Each folder under cases/ is a tree with
# its own layers.txt and the exact findings expected of scripts/check-includes
# in expected.txt: a file outside the units, an include of an unlisted folder,
# tests/, bench/ and fuzz/ above every unit, the "../x" and <unit/x.h> forms
# beside system headers and a pipewire/ folder, a cycle among one unit's
# folders, link order in CMakeLists.txt, an include pointing up. Each case
# holds includes that must stay quiet, too. Then usage errors (exit 2), and
# scripts/check-layer-docs on a document in line with its layer file and on
# one that drifted.
set -uo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
scripts="$here/../../../scripts"
failed=0

check() {   # NAME EXPECTED-STATUS EXPECTED-OUTPUT-FILE COMMAND...
  local name="$1" want_rc="$2" want="$3" out rc
  shift 3
  out="$("$@" 2>/dev/null)"
  rc=$?
  if [ "$rc" -ne "$want_rc" ] || [ "$out" != "$(cat "$want")" ]; then
    echo "FAIL: $name: exit status $rc (expected $want_rc); printed:"
    printf '%s\n' "$out"
    echo "expected:"
    cat "$want"
    failed=1
  else
    echo "ok: $name"
  fi
}

for case in "$here"/cases/*/; do
  case="${case%/}"
  rc=1
  [ -s "$case/expected.txt" ] || rc=0
  check "${case##*/}" "$rc" "$case/expected.txt" bash "$scripts/check-includes" "$case" "$case/layers.txt"
done

tmp="$(mktemp -d)"
trap 'rm -rf "$tmp"' EXIT
: >"$tmp/none"
printf 'low\nhigh low\n' >"$tmp/twice.txt"
printf 'low\n../up\n' >"$tmp/outside.txt"
printf 'low\ntests\n' >"$tmp/above.txt"
upward="$here/cases/upward"
check "usage: a unit listed twice" 2 "$tmp/none" bash "$scripts/check-includes" "$upward" "$tmp/twice.txt"
check "usage: a unit outside the tree" 2 "$tmp/none" bash "$scripts/check-includes" "$upward" "$tmp/outside.txt"
check "usage: tests/ listed as a unit" 2 "$tmp/none" bash "$scripts/check-includes" "$upward" "$tmp/above.txt"
check "usage: no such layer file" 2 "$tmp/none" bash "$scripts/check-includes" "$upward" "$tmp/missing.txt"
check "usage: three arguments" 2 "$tmp/none" bash "$scripts/check-includes" "$upward" "$upward/layers.txt" x

docs="$here/docs"
check "docs in line" 0 "$tmp/none" python3 "$scripts/check-layer-docs" "$docs" "$docs/layers.txt" "$docs/in_line.md"
check "docs drifted" 1 "$docs/drifted.expected.txt" \
  python3 "$scripts/check-layer-docs" "$docs" "$docs/layers.txt" "$docs/drifted.md"
check "docs: no such section" 2 "$tmp/none" python3 "$scripts/check-layer-docs" "$docs" "$docs/layers.txt" "$docs/layers.txt"
exit "$failed"
