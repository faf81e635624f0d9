# Turns CHANGELOG.md into a Debian changelog, newest first like its source:
# each "## [VERSION] - YYYY-MM-DD" heading becomes an entry of that version
# and date, its "### Kind" headings items of their own and its bullets (with
# their continuation lines) sub-items. Sections without a released version
# ("Unreleased") and the text above the first heading are left out.
#
#   awk -v package=NAME -v maintainer='NAME <ADDRESS>' -f changelog.awk CHANGELOG.md
#
# The output depends on nothing but the input: the time of day is midnight
# UTC and the weekday is computed, not asked of the system.

function weekday(y, m, d,    t) {
    # Sakamoto's method; 0 is Sunday.
    split("0 3 2 5 0 3 5 1 4 6 2 4", t, " ")
    if (m < 3) y -= 1
    return (y + int(y / 4) - int(y / 100) + int(y / 400) + t[m] + d) % 7
}

function close_entry() {
    if (version == "") return
    split(date, p, "-")
    printf "\n -- %s  %s, %s %s %s 00:00:00 +0000\n", maintainer,
           days[weekday(p[1] + 0, p[2] + 0, p[3] + 0) + 1], p[3], months[p[2] + 0], p[1]
    version = ""
}

BEGIN {
    split("Sun Mon Tue Wed Thu Fri Sat", days, " ")
    split("Jan Feb Mar Apr May Jun Jul Aug Sep Oct Nov Dec", months, " ")
    entries = 0
}

/^## / {
    close_entry()
    if (match($0, /^## \[[0-9][^]]*\] - [0-9][0-9][0-9][0-9]-[0-9][0-9]-[0-9][0-9]$/)) {
        version = $2
        gsub(/[][]/, "", version)
        date = $4
        if (entries++ > 0) print ""
        printf "%s (%s) unstable; urgency=medium\n\n", package, version
    }
    next
}

version == "" || /^[ \t]*$/ { next }
/^### / { sub(/^### /, ""); print "  * " $0 ":"; next }
/^- /   { print "    " $0; next }
        { sub(/^[ \t]+/, ""); print "      " $0 }

END {
    close_entry()
    if (entries == 0) {
        print "changelog.awk: no released version in the input" > "/dev/stderr"
        exit 1
    }
}
