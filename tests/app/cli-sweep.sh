#!/bin/sh
# The rules every command keeps, swept over the command table and the kinds of
# operand: each command as `lumidra-cli --help` lists it, each slot of its
# synopsis (an operand, an option's value, a flag, --trace), each kind of value
# that slot may be given. A row asserts the rule, not a text: the exit code,
# whether anything reached the board (a --trace of the row's own), what became
# of the file named, and that standard error holds only lumidra-cli's lines
# (one naming the file when a file failed). The window's command line gets its
# rows at the end. A command added to the table gets its rows from its slots.
set -u
cli=$(cd "$(dirname "$1")" && pwd)/$(basename "$1")
window=$(cd "$(dirname "$2")" && pwd)/$(basename "$2")
unset DISPLAY WAYLAND_DISPLAY
export QT_QPA_PLATFORM=offscreen
w=$(mktemp -d)
export XDG_RUNTIME_DIR=$w/runtime
mkdir -m 700 "$XDG_RUNTIME_DIR"
trap 'rm -rf "$w"' EXIT
# Where a run that takes a name wrongly would leave a file.
cd "$w" || exit 1
rows=0
# Rows run side by side, at most this many at once (a token each): most of a
# row is waiting for the board model.
parallel=16
mkfifo "$w/tokens"
exec 9<>"$w/tokens"
for _ in $(seq $parallel); do echo >&9; done

# Rows known to fail (patterns of row names), each with the reason it is
# left; a row on it that holds fails the sweep, so the list cannot go stale.
known_pending='
'

# The role of each slot that names a file, until the command table declares
# its operands' kinds. A FILE slot with no role here fails the sweep.
role_of() {
    [ "$3" = PICTURE ] && echo picture && return
    case "$1|$2" in
        "keys|--base") echo keybase ;;
        "flash read|@" | "dump|@" | convert*"|-o") echo whole ;;
        "flash write|@") echo block ;;
        "dump|--expect") echo expect ;;
        "plot|--out") echo stream ;;
        *"|--trace") echo trace ;;
    esac
}

# A good value of each other kind of slot, and values its grammar refuses.
good_value() {
    case $1 in
        HEX) echo 12 ;; TEXT) echo hi ;; '"AE_2F"') echo 'AE 2F' ;;
        0..31) echo 5 ;; 0..255) echo 128 ;; 'on|off') echo on ;;
        N | S) echo 1 ;; '1x|1.5x') echo 1x ;; 'db|c') echo db ;;
        COND) echo 'ch1>=0' ;;
        *) return 1 ;;
    esac
}
bad_values() {
    case $1 in
        HEX) printf '%s\n' '' ' ' g1 12345 '1 2' ;;
        TEXT) printf '%s\n' '' ;;
        '"AE_2F"') printf '%s\n' '' zz A ;;
        0..31) printf '%s\n' '' 32 -1 5x ;;
        0..255) printf '%s\n' '' 256 -1 ;;
        'on|off') printf '%s\n' '' yes ;;
        N | S) printf '%s\n' '' 0 -1 1x ;;
        *) printf '%s\n' '' nonsense ;;
    esac
}

# The kinds of file each role is given, and how each ends: exit code, whether
# the board got anything, what the file is then (same: as it was; absent: not
# made; mode: replaced, its permissions kept; made: written; read: its reader
# got it). The manual page's table, kept.
kinds_of() {
    case $1 in
        picture | block) echo empty nofolder folder fifo fifo+peer full readonly dash regular twice ;;
        expect) echo empty nofolder folder fifo fifo+peer full readonly dash regular twice self selfjunk ;;
        trace) echo empty nofolder folder fifo fifo+peer full readonly dash regular twice twin ;;
        *) echo empty nofolder folder fifo fifo+peer full readonly dash regular twice twin nul ;;
    esac
}
expected() {
    case "$1|$2" in
        *"|empty") echo "2 no -" ;;
        *"|nofolder") echo "1 no absent" ;;
        *"|folder") echo "1 no -" ;;
        picture"|fifo" | block"|fifo" | expect"|fifo") echo "143 no -" ;;
        keybase"|fifo"*) echo "1 no same" ;;
        *"|fifo") echo "1 no -" ;;
        picture"|fifo+peer" | block"|fifo+peer" | expect"|fifo+peer") echo "0 yes -" ;;
        *"|fifo+peer") echo "0 yes read" ;;
        block"|full") echo "0 yes -" ;;
        picture"|full" | keybase"|full") echo "1 no -" ;;
        *"|full") echo "1 yes -" ;;
        picture"|readonly" | block"|readonly" | expect"|readonly") echo "0 yes -" ;;
        *"|readonly") echo "1 no same" ;;
        keybase"|dash" | trace"|dash") echo "2 no -" ;;
        *"|dash") echo "0 yes -" ;;
        stream"|regular" | trace"|regular") echo "0 yes made" ;;
        keybase"|nul") echo "1 no same" ;;
        *"|regular" | *"|nul") case $1 in picture | block | expect) echo "0 yes -" ;; *) echo "0 yes mode" ;; esac ;;
        expect"|twice" | expect"|self") echo "0 yes -" ;;
        expect"|selfjunk") echo "1 yes -" ;;
        *"|twice" | *"|twin") echo "1 no same" ;;
    esac
}

# The inputs a good run reads.
"$cli" --demo --quiet dump "$w/dump.ref" >/dev/null 2>&1 || { echo "FAIL: the model's dump"; exit 1; }
{
    printf 'P1\n96 68\n'
    for _ in $(seq 34); do printf '1 0 %.0s' $(seq 48) && echo && printf '0 1 %.0s' $(seq 48) && echo; done
} >"$w/picture.pbm"
head -c 64 /dev/urandom >"$w/block.bin"
old_base() { printf '0000000000000001  old\n' >"$1" && chmod 640 "$1"; }
# A read-only file: one its user may not write, or, for root (who may write
# any), one on a read-only mount (the sweep runs in a mount namespace of its
# own where it can).
read_only= skip_readonly=
mkdir "$w/ro"
old_base "$w/ro/file"
cp "$w/picture.pbm" "$w/block.bin" "$w/dump.ref" "$w/ro"
if [ "$(id -u)" -eq 0 ]; then
    mount --bind "$w/ro" "$w/ro" 2>/dev/null && mount -o remount,bind,ro "$w/ro" "$w/ro" 2>/dev/null && read_only=$w/ro
    [ -n "$read_only" ] && trap 'umount "$w/ro"; rm -rf "$w"' EXIT
    [ -n "$read_only" ] || {
        echo "note: root outside a mount namespace of its own: read-only files are writable, their rows skipped"
        skip_readonly=1
    }
fi
input_role() { case $1 in picture | block | expect) return 0 ;; esac && return 1; }
# The file of each role as a good run names it.
default_file() {
    case $1 in
        picture) echo "$w/picture.pbm" ;; block) echo "$w/block.bin" ;; expect) echo "$w/dump.ref" ;;
        *) echo "$r/$1.out" ;;
    esac
}

# --- one row, in its own folder $r ---------------------------------------------
fail() {
    if [ "$pending" -eq 1 ]; then echo "pending: $row: $*" && row_failed=1 && return; fi
    row_failed=1
    echo "FAIL: $row: $*"
    echo "--- stderr" && cat "$r/err"
}

# Runs `cli_args` (the command line after the global options) and checks
# the row: WANTED-EXIT WANTED-SENT FILE-STATE FILE.
run_and_check() {
    eval "set -- $cli_args"
    # English messages, unless the row is about the language itself.
    case " $cli_args " in *" --lang "*) lang= ;; *) lang="--lang en" ;; esac
    if [ "$in_kind" = fifo ] && input_role "$role"; then
        # Nobody writes: the run waits, as any reader does, and a signal ends it.
        # shellcheck disable=SC2086
        "$cli" $lang --demo --trace "$r/sent" "$@" >"$r/out" 2>"$r/err" </dev/null &
        pid=$!
        sleep 0.3
        kill -TERM $pid
        wait $pid
        code=$?
    else
        # A run that hangs fails its row (124).
        # shellcheck disable=SC2086
        timeout -k 1 10 "$cli" $lang --demo --trace "$r/sent" "$@" >"$r/out" 2>"$r/err" <"$stdin"
        code=$?
    fi
    if [ -n "$helper" ]; then
        if [ "$code" -eq 0 ] && ! input_role "$role"; then
            for _ in $(seq 100); do [ -s "$r/fromfifo" ] && break; sleep 0.02; done
        fi
        [ "$code" -eq 0 ] && input_role "$role" || kill $helper 2>/dev/null
        wait $helper 2>/dev/null
    fi
    shift $#
    # shellcheck disable=SC2046
    set -- $(expected_of) "$file"
    [ "$board" = yes ] || set -- "$1" no "$3" "$4"
    [ "$code" -eq "$1" ] || fail "exit $code, wanted $1"
    if grep -q ' out ' "$r/sent" 2>/dev/null; then sent=yes; else sent=no; fi
    [ "$sent" = "$2" ] || fail "sent to the board: $sent, wanted $2"
    if grep -v -e '^lumidra-cli: ' -e "^Try 'lumidra-cli" -e '^Подробнее: «lumidra-cli' "$r/err" | grep -q .; then
        fail "standard error holds more than lumidra-cli's lines"
    fi
    case $code in 1 | 2 | 3 | 4) grep -q '^lumidra-cli: ' "$r/err" || fail "no lumidra-cli: line" ;; esac
    if [ "$code" -eq 1 ] && [ -n "$4" ] && [ "$4" != - ]; then
        # (A file beside it, made from its name, may be the one that failed.)
        grep -qF -e "$(basename "$4")" -e "$(dirname "$4")" "$r/err" || fail "the message does not name $4"
    fi
    case $3 in
        same) [ -p "$4" ] || [ -c "$4" ] || cmp -s "$4" "$r/before" || fail "$4 changed" ;;
        absent) [ ! -e "$4" ] || fail "$4 was made" ;;
        mode) [ "$(stat -c %a "$4")" = 640 ] && ! cmp -s "$4" "$r/before" || fail "$4 not replaced keeping its mode" ;;
        made) [ -s "$4" ] || fail "$4 not written" ;;
        read) [ -s "$r/fromfifo" ] || fail "the FIFO's reader got nothing" ;;
    esac
    [ "$pending" -eq 1 ] && [ "$row_failed" -eq 0 ] && echo "FAIL: $row holds now: take it off the pending list"
    return 0
}

# Starts row `row` (`cli_args` with @FILE@ where the file of kind `in_kind`
# goes, in `role`) once a token is free, its report in its folder.
row() {
    rows=$((rows + 1))
    r=$w/r$rows
    mkdir "$r"
    pending=0
    while IFS= read -r pattern; do
        # shellcheck disable=SC2254
        [ -n "$pattern" ] && case $row in $pattern) pending=1 ;; esac
    done <<EOF
$known_pending
EOF
    read -r _ <&9
    (
        row_failed=0 stdin=/dev/null helper= file=$r/file
        if input_role "$role"; then cp "$(default_file "$role")" "$file" && chmod 640 "$file"; else old_base "$file"; fi
        extra=
        case $in_kind in
            empty) file= ;;
            nofolder) file=$r/none/file ;;
            folder) mkdir "$r/dir" && file=$r/dir ;;
            fifo | fifo+peer) rm "$file" && mkfifo "$file" ;;
            full) file=/dev/full ;;
            readonly)
                if [ -z "$read_only" ]; then
                    chmod 444 "$file"
                elif input_role "$role"; then
                    file=$read_only/$(basename "$(default_file "$role")")
                else
                    file=$read_only/file
                fi
                ;;
            dash) file=- && input_role "$role" && stdin=$(default_file "$role") ;;
            nul) printf '0000000000000001\000 old\n' >"$file" ;;
            twice) extra="--trace '$file'" ;;
            twin) ln -s "$file" "$r/twin" && extra="--trace '$r/twin'" ;;
            selfjunk) echo junk >"$file" ;;
        esac
        case $in_kind in self | selfjunk) cli_args=$(printf '%s' "$cli_args" | sed "s|'$(default_file whole)'|'$file'|") ;; esac
        [ -f "$file" ] && cp "$file" "$r/before"
        cli_args="$extra $(printf '%s' "$cli_args" | sed "s|@FILE@|'$file'|")"
        case $in_kind in
            fifo+peer)
                if input_role "$role"; then
                    cat "$(default_file "$role")" >"$file" &
                else
                    # Its reader is there before the run (the descriptor
                    # opened both ways), and is ended once it got something.
                    exec 7<>"$file"
                    cat <&7 >"$r/fromfifo" &
                    exec 7<&-
                fi
                helper=$!
                ;;
        esac
        run_and_check
        echo >&9
    ) >"$r/report" 2>&1 &
}

# --- the command table -------------------------------------------------------------

# The slots of a synopsis, one a line: "SLOT KIND OPTIONAL GROUP FIRST"; an
# operand's slot is @, a flag's kind FLAG; slots of one group of alternatives
# (a | b) share GROUP (0: none), FIRST marks the first of a group.
slots_of() {
    printf '%s\n' "$1" | sed 's/"\([^" ]*\) \([^"]*\)"/"\1_\2"/g' | tr ' ' '\n' | awk '
        function put(slot, kind) { n++; S[n] = slot; K[n] = kind; O[n] = (depth > 0); G[n] = g; F[n] = (count[g]++ == 0) }
        BEGIN { top = 1; groups = 1; g = top }
        /^$/ { next }
        {
            t = $0
            if (t ~ /^\[/) { depth++; t = substr(t, 2); g = ++groups }
            shut = gsub(/\]$/, "", t)
            if (t == "|") { bar[g] = 1; next }
            if (opt != "" && t !~ /^-/) { put(opt, t); opt = "" }
            else {
                if (opt != "") put(opt, "FLAG")
                opt = ""
                if (t ~ /^-/) opt = t; else put("@", t)
            }
            if (shut) { if (opt != "") put(opt, "FLAG"); opt = ""; depth--; g = top }
        }
        END {
            if (opt != "") put(opt, "FLAG")
            for (i = 1; i <= n; i++) print S[i], K[i], O[i], (bar[G[i]] ? G[i] : 0), F[i]
        }'
}

# A good command line of the command: its name, every slot it needs, and a
# count that ends it (the first of a group of alternatives); slot `1` (if
# given) takes the value `2`, and the others of its group are left out.
command_line() {
    line=$name tested_group=0
    while read -r slot kind optional group first; do
        [ -n "$slot" ] && [ "$slot" = "${1-}" ] && tested_group=$group
    done <<EOF
$slots
EOF
    while read -r slot kind optional group first; do
        [ -n "$slot" ] || continue
        if [ "$slot" = "${1-}" ]; then
            value=$2
        elif [ "$group" -ne 0 ] && { [ "$group" -eq "$tested_group" ] || [ "$first" -ne 1 ]; }; then
            continue
        elif [ "$optional" = 1 ] && [ "$kind" != N ]; then
            continue
        elif role=$(role_of "$name" "$slot" "$kind") && [ -n "$role" ]; then
            value="'$(default_file "$role")'"
        elif [ "$kind" = FLAG ]; then
            value=
        elif v=$(good_value "$kind"); then
            value="'$v'"
        else
            echo "FAIL: $name: no value for $slot $kind" >&2 && continue
        fi
        [ "$slot" = @ ] && line="$line $value" || line="$line $slot $value"
    done <<EOF
$slots
EOF
    echo "$line"
}

commands=$("$cli" --lang en --help | tr -d '\r' | sed -n '/^Commands:/,/^$/p' | grep '^  [a-z]' | sed 's/^  //')
[ -n "$commands" ] || { echo "FAIL: no commands in the help" && exit 1; }
while IFS= read -r entry; do
    name=$(printf '%s\n' "$entry" | awk '{ n = $1; for (i = 2; i <= NF && $i ~ /^[a-z]+$/; i++) n = n " " $i; print n }')
    slots=$(slots_of "${entry#"$name"}")
    # shellcheck disable=SC2086
    if "$cli" --lang en $name --help | grep -q -- '--led HEX'; then board=yes; else board=no; fi
    [ "$board" = yes ] && slots="$slots
--trace FILE 1 0 1"
    role= in_kind=
    expected_of() { echo 0 yes - -; }
    row="$name (good)" cli_args=$(command_line) row
    while read -r slot kind optional group first; do
        [ -n "$slot" ] || continue
        role=$(role_of "$name" "$slot" "$kind")
        if [ "$kind" = FILE ] || [ "$kind" = PICTURE ]; then
            [ -n "$role" ] || { echo "FAIL: $name $slot: give this file its role" && echo 1 >"$w/unknown" && continue; }
            expected_of() { expected "$role" "$in_kind"; }
            for in_kind in $(kinds_of "$role"); do
                [ "$in_kind" = readonly ] && [ -n "$skip_readonly" ] && continue
                [ "$board" = no ] && case $in_kind in twice | twin | self | selfjunk) continue ;; esac
                if [ "$slot" = --trace ]; then
                    row="$name --trace $in_kind" cli_args="--trace @FILE@ $(command_line)" row
                else
                    row="$name $slot $in_kind" cli_args=$(command_line "$slot" @FILE@) row
                fi
            done
            continue
        fi
        role= in_kind=
        expected_of() { echo 2 no - -; }
        if [ "$kind" = FLAG ]; then
            row="$name $slot=yes" cli_args="$(command_line) $slot=yes" row
            continue
        fi
        # The LCD's text is the one exception: sent as the window sends it,
        # empty too.
        [ "$kind" = TEXT ] && expected_of() { echo 0 yes - -; }
        while IFS= read -r value; do
            row="$name $slot '$value'" cli_args=$(command_line "$slot" "'$value'") row
        done <<EOF
$(bad_values "$kind")
EOF
    done <<EOF
$slots
EOF
done <<EOF
$commands
EOF

# The options before the command, on a command that names no file.
role= in_kind=
expected_of() { echo 2 no - -; }
for global in "--demo=yes" "--lang xx" "--lang ''" "--timeout 0" "--timeout ''" "--device ''"; do
    board=yes row="$global" cli_args="$global led 12" row
done
expected_of() { echo 0 yes - -; }
board=yes row="--lang EN" cli_args="--lang EN led 12" row
wait

# The window's command line: a refusal ends it at once, with its own line on
# standard error and nothing of Qt's, and makes nothing (a run that is not
# refused is ended after a few seconds and fails the row).
mkdir "$w/dir"
for args in "--trace ''" "--trace '$w/dir'" "--trace -" "--trace '$w/none/trace'" "--lang xx" "--lang ''"; do
    rows=$((rows + 1))
    r=$w/r$rows row="lumidra $args" pending=0 row_failed=0
    mkdir "$r"
    case "$known_pending" in *"
$row
"*) pending=1 ;; esac
    eval "set -- $args"
    timeout -k 1 5 "$window" --demo "$@" >"$r/out" 2>"$r/err" </dev/null
    code=$?
    {
        [ "$code" -eq 2 ] || fail "exit $code, wanted 2"
        head -n 1 "$r/err" | grep -q '^lumidra: ' || fail "no lumidra: line first"
        ! grep -q -e '^Q[A-Za-z]*[:(]' -e '^qt\.' "$r/err" || fail "Qt's diagnostics on standard error"
        [ ! -e "$w/none" ] && [ -z "$(ls "$w/dir")" ] || fail "a file was made"
        [ "$pending" -eq 1 ] && [ "$row_failed" -eq 0 ] && echo "FAIL: $row holds now: take it off the pending list"
    } >"$r/report" 2>&1
done

cat $(seq -f "$w/r%g/report" "$rows")
echo "lumidra-cli and lumidra: $rows rows, $(cat $(seq -f "$w/r%g/report" "$rows") | grep -c '^pending: ' || true) pending failures"
! cat $(seq -f "$w/r%g/report" "$rows") | grep -q '^FAIL' && [ ! -e "$w/unknown" ]
