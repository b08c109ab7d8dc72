#!/usr/bin/env bash
# Copies the screenshots of the configuration window's pages, which the window
# tests take (tests/ui/test_screenshots.cpp), into docs/ for the README.
#
#   bash docs/update-screenshots.sh [BUILD_DIR]     (default: build)
#
# When the build has no screenshots yet, the window test is run first (it
# needs xvfb-run).
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${1:-$root/build}"
shots="$build/tests/ui"
pages=(general 3d-surround extspace extfx virtual-subwoofer tune-speakers bw-synth)

if [ ! -f "$shots/ui-page-0-general.png" ]; then
  ctest --test-dir "$build" -R '^ui_window$' --output-on-failure
fi

for i in "${!pages[@]}"; do
  from="$shots/ui-page-$i-${pages[$i]}.png"
  if [ ! -f "$from" ]; then
    echo "update-screenshots: $from is missing (did the ui_window test pass?)" >&2
    exit 1
  fi
  cp "$from" "$root/docs/page-${pages[$i]}.png"
done
echo "update-screenshots: ${#pages[@]} pages copied into $root/docs"
