# Sourced by the project's scripts right after their `set -...` line, with
# their arguments still in place: --help or -h prints the script's opening
# comment (its usage) and ends it.
# shellcheck shell=sh
case "${1:-}" in
--help | -h)
    sed -n '2,/^set -/p' "$0" | sed '$d' | sed 's/^# \{0,1\}//'
    exit 0
    ;;
esac
