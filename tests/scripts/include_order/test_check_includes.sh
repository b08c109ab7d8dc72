#!/usr/bin/env bash
# The include-order checker on a fixture tree with exactly one include that
# points up (low/low.cpp line 2 includes high/): it must fail and name that
# file and line, and only that. Includes of the same folder, down the order,
# and from a sub-unit (high/tool) down to low/ stay quiet.
set -uo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
checker="$here/../../../scripts/check-includes"

out="$(bash "$checker" "$here/fixture" "$here/fixture/layers.txt" 2>/dev/null)"
rc=$?
fail() { echo "FAIL: $*"; echo "checker printed:"; echo "$out"; exit 1; }
[ "$rc" -eq 1 ] || fail "exit status $rc, expected 1"
[ "$(printf '%s\n' "$out" | grep -c .)" -eq 1 ] || fail "expected exactly one reported include"
case "$out" in
  'low/low.cpp:2: includes "high/high.h"'*) ;;
  *) fail "the report does not name low/low.cpp line 2" ;;
esac
echo "ok: the upward include is found and named"
