#!/bin/sh
# A demo run that the system ends (SIGTERM) with keys its model presented in
# the key base: it ends cleanly, and the keys are set aside in the demo's own
# recovery folder, none of them named to a run with a real board. The next
# demo run is not held up by the notice of that file: it attaches, traces and
# ends on SIGTERM as the first did, and the folder keeps its latest file alone.
set -u
program=$1
runner=${LUMIDRA_RUNNER:-}
home=$(mktemp -d)
trap 'rm -rf "$home"' EXIT
export XDG_DATA_HOME="$home/data" XDG_CONFIG_HOME="$home/config" QT_QPA_PLATFORM=offscreen
failed=0
reports() { n=$(grep -c '^[0-9]* in ' "$1" 2>/dev/null); echo "${n:-0}"; }
# run_demo N: a demo run traced into trace.N, ended by SIGTERM once a hundred
# reports have come (the model presents a key at once: the window has long
# had the first by then).
run_demo() {
    trace="$home/trace.$1"
    $runner "$program" --demo --lang en --trace "$trace" >"$home/out" 2>&1 &
    pid=$!
    tries=0
    while [ "$(reports "$trace")" -lt 100 ] && [ $tries -lt 300 ]; do
        sleep 0.1
        tries=$((tries + 1))
    done
    kill -TERM $pid
    wait $pid
    code=$?
    demo_files=$(find "$home/data" -path '*/demo/keybase-unsaved-*.txt' | wc -l)
    real_files=$(find "$home/data" -name 'keybase-unsaved-*.txt' ! -path '*/demo/*' -o -name recovery-notice.txt ! -path '*/demo/*' | wc -l)
    notice=$(find "$home/data" -path '*/demo/recovery-notice.txt')
    named=$(cat "$notice" 2>/dev/null)
    if [ $code -ne 0 ] || [ $tries -ge 300 ] || [ "$demo_files" -ne 1 ] || [ "$real_files" -ne 0 ] ||
        [ ! -f "$named" ]; then
        echo "FAIL: run $1: exit $code, $tries tries, $demo_files file(s) in the demo's folder," \
            "$real_files where a real run looks, the notice names '$named'"
        find "$home/data" -type f
        cat "$home/out"
        failed=1
    fi
}
run_demo 1
run_demo 2
exit $failed
