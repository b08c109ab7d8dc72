#!/bin/bash
# The help text help2man turns into korva.1: korva's own --help, then each
# subcommand's --help under a heading of its own. Every line of a
# subcommand's help is indented, so that its own headings ("Options:",
# "Positionals:") stay inside that command's part instead of opening sections
# of their own.
# KORVA names the program to ask.
set -eu
: "${KORVA:?KORVA must name the korva program}"

ask() {
  (exec -a korva "$KORVA" "$@")
}

case "${1:-}" in
  --version) ask --version ;;
  --help)
    ask --help
    for command in process demo "preset show" "preset save" response; do
      echo
      echo "korva $command:"
      # shellcheck disable=SC2086 # "preset show" is two words on purpose
      ask $command --help | sed -e '/^  /!s/^\(.\)/ \1/' -e 's/^ Usage:/\n Usage:/'
    done
    ;;
  *) echo "usage: KORVA=path/to/korva $0 --help|--version" >&2; exit 2 ;;
esac
