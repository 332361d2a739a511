#!/bin/sh
# Writes the manual page of formicula-cli from the program's own help, so that the page
# cannot drift from the options: the top-level --help, then each command's --help.
# Usage: tools/make-manpage.sh PROGRAM OUTPUT
# Fails, leaving OUTPUT as it was, when the help has no usage line, commands or exit status:
# a help whose layout changed breaks the build rather than the page.
set -eu
program="$1"
output="$2"
name=$(basename "$program")

top=$("$program" --help)
version=$("$program" --version)

# The commands are the first words of the rows under the "Subcommands:" heading.
commands=$(printf '%s\n' "$top" | awk '
    tolower($0) ~ /^(sub)?commands:$/ { inside = 1; next }
    inside && !/^  / { inside = 0 }
    inside && /^  +[a-z]/ { print $1 }')
[ -n "$commands" ] || { echo "make-manpage: no commands in '$name --help'" >&2; exit 1; }

# Help text to roff. Top level: headings are sections (the command list is COMMANDS) and
# the exit status paragraph is left out, as it gets a section of its own. In a command:
# headings are italic lines. "  NAME  TEXT" rows are tagged paragraphs; a deeper indented
# line carries the row before it on. Backslashes, leading dots and quotes and dashes are
# escaped as man(7) asks.
to_roff() {
    awk -v mode="$1" '
    function esc(s) { gsub(/\\/, "\\e", s); gsub(/-/, "\\-", s); sub(/^[.\047]/, "\\\\\\&&", s); return s }
    /^Usage: / { next }
    mode == "top" && /^Exit status:/ { skip = 1; next }
    /^Exit status/ { print ".PP" }
    skip && /^$/ { skip = 0 }
    skip { next }
    /^[A-Z][A-Za-z ]*:$/ {
        title = substr($0, 1, length($0) - 1)
        if (mode == "top") { title = toupper(title); if (title == "SUBCOMMANDS") title = "COMMANDS"; printf ".SH %s\n", title }
        else printf ".PP\n.I %s\n", esc($0)
        rows = 1; next
    }
    rows && /^  [^ ]/ {
        line = $0; sub(/^  +/, "", line)
        tag = line; sub(/  +.*$/, "", tag)
        text = substr(line, length(tag) + 1); sub(/^ +/, "", text)
        printf ".TP\n.B %s\n%s\n", esc(tag), esc(text); next
    }
    rows && /^     +[^ ]/ { line = $0; sub(/^ +/, "", line); print esc(line); next }
    /^$/ { rows = 0; print ".PP"; next }
    { print esc($0) }'
}

usage_of() { printf '%s\n' "$1" | sed -n 's/^Usage: //p'; }
dashes() { printf '%s\n' "$1" | sed 's/-/\\-/g'; }

top_usage=$(usage_of "$top")
[ -n "$top_usage" ] || { echo "make-manpage: no usage line in '$name --help'" >&2; exit 1; }
exit_status=$(printf '%s\n' "$top" | awk '/^Exit status:/ { on = 1 } on && /^$/ { exit } on' |
    sed 's/^Exit status: *//' | sed 's/-/\\-/g')
[ -n "$exit_status" ] || { echo "make-manpage: no exit status in '$name --help'" >&2; exit 1; }

tmp="$output.tmp.$$"
trap 'rm -f "$tmp"' EXIT
{
    # No date in the header: the page depends on the program alone, so builds repeat.
    printf '.TH %s 1 "" "%s" "User Commands"\n' "$(echo "$name" | tr '[:lower:]' '[:upper:]')" "$version"
    printf '.SH NAME\n%s \\- the multi\\-colour ant automaton without a window\n' "$name"
    printf '.SH SYNOPSIS\n.B %s\n' "$(dashes "$top_usage")"
    for c in $commands; do
        help=$("$program" "$c" --help 2>/dev/null) || continue
        u=$(usage_of "$help")
        case "$u" in "$name $c"*) printf '.br\n.B %s\n' "$(dashes "$u")" ;; esac
    done
    printf '.SH DESCRIPTION\n'
    printf '%s\n' "$top" | to_roff top
    # A command whose --help is not its own (help shows the top level) has its row above.
    for c in $commands; do
        help=$("$program" "$c" --help 2>/dev/null) || continue
        u=$(usage_of "$help")
        case "$u" in "$name $c"*) ;; *) continue ;; esac
        printf '.SS %s\n.B %s\n.PP\n' "$c" "$(dashes "$u")"
        printf '%s\n' "$help" | to_roff command
    done
    printf '.SH "EXIT STATUS"\n%s\n' "$exit_status"
    printf '.SH "SEE ALSO"\nThe full reference, with recipes for batch schedulers, is docs/cli.md\n'
    printf 'in the source tree.\n'
} >"$tmp"
mv "$tmp" "$output"
trap - EXIT
