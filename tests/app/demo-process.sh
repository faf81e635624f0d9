#!/bin/sh
# A demo run that the system ends (SIGTERM) with keys its model presented in
# the key base: it ends cleanly, and the keys are set aside in the demo's own
# recovery folder, none of them named to a run with a real board.
set -u
program=$1
runner=${LUMIDRA_RUNNER:-}
home=$(mktemp -d)
trap 'rm -rf "$home"' EXIT
export XDG_DATA_HOME="$home/data" XDG_CONFIG_HOME="$home/config" QT_QPA_PLATFORM=offscreen
$runner "$program" --demo --lang en --trace "$home/trace" >"$home/out" 2>&1 &
pid=$!
# The model presents a key at once; once a hundred reports have come, the
# window has long had the first.
reports() { n=$(grep -c '^[0-9]* in ' "$home/trace" 2>/dev/null); echo "${n:-0}"; }
tries=0
while [ "$(reports)" -lt 100 ] && [ $tries -lt 300 ]; do
    sleep 0.1
    tries=$((tries + 1))
done
kill -TERM $pid
wait $pid
code=$?
demo_files=$(find "$home/data" -path '*/demo/keybase-unsaved-*.txt' | wc -l)
real_files=$(find "$home/data" -name 'keybase-unsaved-*.txt' ! -path '*/demo/*' -o -name recovery-notice.txt ! -path '*/demo/*' | wc -l)
if [ $code -ne 0 ] || [ "$demo_files" -ne 1 ] || [ "$real_files" -ne 0 ]; then
    echo "FAIL: exit $code, $demo_files file(s) in the demo's folder, $real_files where a real run looks"
    find "$home/data" -type f
    cat "$home/out"
    exit 1
fi
