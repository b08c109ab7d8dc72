#!/bin/bash
# The help text help2man turns into korva.1: korva's own --help, then the
# --help of every subcommand (and of theirs: "preset show") under a heading of
# its own, found from the "Subcommands:" lists, so a new command appears in
# the page by itself. Every line of a subcommand's help is indented, so that
# its own headings ("Options:", "Positionals:") stay inside that command's part
# instead of opening sections of their own. KORVA names the program to ask.
set -euo pipefail
: "${KORVA:?KORVA must name the korva program}"

ask() {
  (exec -a korva "$KORVA" "$@")
}

# The names listed under "Subcommands:" in a help text on stdin.
subcommands() {
  sed -n '/^Subcommands:$/,/^$/{/^  [a-z]/{s/^  \([^ ]*\).*/\1/;p}}'
}

# One command's part of the page; recurses into its own subcommands.
describe() {
  local help
  help=$(ask "$@" --help)
  local nested
  nested=$(subcommands <<<"$help")
  if [ -n "$nested" ]; then
    for sub in $nested; do describe "$@" "$sub"; done
    return
  fi
  echo
  echo "korva $*:"
  sed -e '/^  /!s/^\(.\)/ \1/' -e 's/^ Usage:/\n Usage:/' <<<"$help"
}

case "${1:-}" in
  --version) ask --version ;;
  --help)
    top=$(ask --help)
    echo "$top"
    for command in $(subcommands <<<"$top"); do describe "$command"; done
    ;;
  *) echo "usage: KORVA=path/to/korva $0 --help|--version" >&2; exit 2 ;;
esac
