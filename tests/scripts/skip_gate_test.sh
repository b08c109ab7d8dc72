#!/usr/bin/env bash
# scripts/check-skips on the output of a real ctest run: a scratch project
# (no compiler) with a test that passes, one skipped by SKIP_RETURN_CODE as a
# whole test program is, one skipped by output as a discovered gtest case is,
# and a disabled one. In CI every skip fails unless KORVA_ALLOWED_SKIPS names
# it (patterns too); outside CI skips are listed and pass; a disabled test is
# no skip.
set -uo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
gate="$here/../../scripts/check-skips"
tmp="$(mktemp -d)"
trap 'rm -rf "$tmp"' EXIT

cat >"$tmp/CMakeLists.txt" <<'CMAKE'
cmake_minimum_required(VERSION 3.20)
project(skips NONE)
enable_testing()
add_test(NAME passes COMMAND sh -c "exit 0")
add_test(NAME program_skips COMMAND sh -c "echo 'SKIPPED: Probe.Skips'; exit 77")
set_tests_properties(program_skips PROPERTIES SKIP_RETURN_CODE 77)
add_test(NAME Suite.CaseSkips COMMAND sh -c "echo '[  SKIPPED ] Suite.CaseSkips'")
set_tests_properties(Suite.CaseSkips PROPERTIES SKIP_REGULAR_EXPRESSION "\\[  SKIPPED \\]")
add_test(NAME disabled COMMAND sh -c "exit 0")
set_tests_properties(disabled PROPERTIES DISABLED TRUE)
CMAKE
cmake -S "$tmp" -B "$tmp/build" >/dev/null || { echo "FAIL: cannot configure the scratch project"; exit 1; }
ctest --test-dir "$tmp/build" >"$tmp/ctest.log" 2>&1
grep -q 'program_skips (Skipped)' "$tmp/ctest.log" || { echo "FAIL: ctest did not skip:"; cat "$tmp/ctest.log"; exit 1; }

# A file the patterns would match, were they taken as file names.
cd "$tmp" && : >Suite.file
failed=0
check() {   # EXPECTED-STATUS CI ALLOWED [TEXT-EXPECTED-IN-OUTPUT]
  local out rc
  out="$(CI="$2" KORVA_ALLOWED_SKIPS="$3" bash "$gate" "$tmp/ctest.log" 2>&1)"
  rc=$?
  if [ "$rc" -ne "$1" ] || { [ -n "${4:-}" ] && [[ "$out" != *"$4"* ]]; } || [[ "$out" == *disabled* ]]; then
    echo "FAIL: CI='$2' KORVA_ALLOWED_SKIPS='$3': exit status $rc (expected $1); printed:"
    echo "$out"
    failed=1
  else
    echo "ok: CI='$2' KORVA_ALLOWED_SKIPS='$3': exit status $rc"
  fi
}
check 1 true "" "not named in KORVA_ALLOWED_SKIPS: program_skips Suite.CaseSkips"
check 1 true "program_skips" "not named in KORVA_ALLOWED_SKIPS: Suite.CaseSkips"
check 1 1 "Suite.CaseSkips" "not named in KORVA_ALLOWED_SKIPS: program_skips"
check 0 true "program_skips Suite.CaseSkips" "skipped: program_skips (allowed by KORVA_ALLOWED_SKIPS)"
check 0 true "program_* Suite.*" ""
check 1 true "Suite" "Suite.CaseSkips"
check 0 "" "" "2 test(s) skipped"
check 0 false "" "skipped: program_skips"
out="$(bash "$gate" 2>&1)"; [ $? -eq 2 ] || { echo "FAIL: no argument is not a usage error"; failed=1; }
exit "$failed"
