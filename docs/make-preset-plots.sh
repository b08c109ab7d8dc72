#!/usr/bin/env bash
# Redraws docs/preset-NAME.png, the measured magnitude response of each
# factory preset (presets/factory.txt), and prints the figures docs/presets.md
# tables: the gain at 1 kHz and the gain at each listed frequency against it.
#
#   bash docs/make-preset-plots.sh [BUILD_DIR]     (default: build)
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${1:-$root/build}"
cmake --build "$build" --target korva >/dev/null
korva="$build/cli/korva"
index="$build/share/korva/presets/index.txt"
csv="$(mktemp /tmp/korva-preset-XXXXXX.csv)"
trap 'rm -f "$csv"' EXIT

frequencies="40 100 500 2500 3000 10000"
echo "| preset | 1 kHz | $(sed 's/ / Hz | /g' <<<"$frequencies") Hz |"
while IFS=$'\t' read -r file name _; do
  [[ "$file" == \#* || -z "$file" ]] && continue
  "$korva" response --preset "$name" --png "$root/docs/preset-${file%.kp}.png" --csv "$csv" >/dev/null
  # The row nearest each frequency on a log scale; left channel (a centred
  # source: the right is the same).
  awk -F, -v want="1000 $frequencies" -v name="$name" '
    NR > 1 { f[NR] = $1; db[NR] = $2; n = NR }
    END {
      count = split(want, w, " ")
      for (i = 1; i <= count; ++i) {
        best = 2
        for (r = 2; r <= n; ++r)
          if ((log(f[r] / w[i])) ^ 2 < (log(f[best] / w[i])) ^ 2) best = r
        at[i] = db[best]
      }
      line = sprintf("| %s | %.1f dB |", name, at[1])
      for (i = 2; i <= count; ++i) line = line sprintf(" %+.1f |", at[i] - at[1])
      print line
    }' "$csv"
done <"$index"
echo "make-preset-plots: plots written to $root/docs/preset-*.png" >&2
