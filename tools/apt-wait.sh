# Sourced by the scripts that install Debian packages.
#
# apt_get_waiting ARGS...  runs apt-get ARGS quietly (its output is shown only
# when it fails). While another package manager holds apt's or dpkg's lock, as
# a fresh machine's own updates often do at first boot, it says once that it
# waits and tries again every 5 seconds; after LUMIDRA_APT_WAIT_SECONDS (600)
# it gives up with a message that says why.
apt_get_waiting() {
    local limit=${LUMIDRA_APT_WAIT_SECONDS:-600} waited=0 log sudo= partial=0
    [ "$(id -u)" -eq 0 ] || sudo=sudo
    log=$(mktemp)
    while :; do
        # apt's messages in English whatever the user's language (sudo keeps
        # LANG): the lock is recognised by them.
        if $sudo env DEBIAN_FRONTEND=noninteractive LC_ALL=C LANGUAGE= apt-get "$@" >"$log" 2>&1; then
            rm -f "$log"
            return 0
        fi
        # A mirror caught in its sync fails a few index files of an update
        # ("Mirror sync in progress?"): tried again a few times, then the lists
        # apt has are used, and the install that follows says what is missing.
        if [ "$1" = update ] && grep -q 'Some index files failed to download' "$log"; then
            partial=$((${partial:-0} + 1))
            if [ "$partial" -le 3 ]; then
                sleep 20
                continue
            fi
            grep '^E: Failed to fetch' "$log" >&2
            echo "apt-get update: some index files could not be fetched; going on with the lists there are." >&2
            rm -f "$log"
            return 0
        fi
        if ! grep -qE 'Could not get lock|Unable to acquire the dpkg frontend lock|Unable to lock' "$log"; then
            cat "$log" >&2
            rm -f "$log"
            return 1
        fi
        if [ "$waited" -ge "$limit" ]; then
            cat "$log" >&2
            rm -f "$log"
            echo "Another package manager has held apt's or dpkg's lock for $waited seconds." \
                 "Let it finish (or stop it), then run this again." >&2
            return 1
        fi
        if [ "$waited" -eq 0 ]; then
            echo "Waiting for another package manager to finish (apt-get $1, at most $limit seconds) ..." >&2
        fi
        sleep 5
        waited=$((waited + 5))
    done
}
