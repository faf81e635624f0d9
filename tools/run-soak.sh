#!/usr/bin/env bash
# The window's memory over a long run (not part of the test command nor of
# CI: it takes half an hour). The main window with every panel and the chart
# on its 10-minute span, fed 1,000 changing status reports a second through
# the virtual bus with a text trace to a file (about 400 MB in 30 minutes,
# in a temporary folder removed at the end), offscreen. Prints RSS, open
# descriptors and the trace's size at the start and at each third of the
# run; fails when RSS moves more than 2 MB from its value at the first third
# (the chart's ten minutes full), beyond what the chart's ring still had to
# take in a run shorter than 30 minutes, or when the run did not show and
# trace every report it was fed.
# Usage: tools/run-soak.sh [MINUTES]   (default 30; e.g. 1 for a quick check)
set -euo pipefail
# shellcheck source=tools/script-help.sh
. "$(dirname "$0")/script-help.sh"
root=$(cd "$(dirname "$0")/.." && pwd)
minutes=${1:-30}
if ! [[ "$minutes" =~ ^[0-9]+([.][0-9]+)?$ ]] || [ $# -gt 1 ]; then
  echo "usage: $0 [MINUTES]" >&2
  exit 2
fi
"$root/tools/install-deps.sh"
cd "$root"
cmake --preset default >/dev/null
cmake --build build --target soak_bench
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
# The trace goes into the temporary folder; another instance's lock and the
# user's folders stay out of it.
export TMPDIR="$out" HOME="$out/home" XDG_RUNTIME_DIR="$out/run"
mkdir -p "$HOME" "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"
QT_QPA_PLATFORM=offscreen build/bench/soak_bench "$minutes"
