#!/usr/bin/env bash
# Writes the manual page of varnwick-cli from the program's own help: the
# main help, then each command's help ("varnwick-cli help COMMAND"), so the
# page never says anything the program does not. The build runs it; the
# result is gzip-compressed as Debian installs manual pages.
#
# usage: bash tools/make-manpage.sh <varnwick-cli> <output .1.gz>
set -euo pipefail

if [ $# -ne 2 ] || [ ! -x "$1" ]; then
    echo "usage: bash tools/make-manpage.sh <varnwick-cli> <output .1.gz>" >&2
    exit 2
fi
cli=$1
out=$2

# Text as roff shows it verbatim: backslashes and hyphens escaped, and a
# line that starts with a dot or an apostrophe kept from being a request.
roff() {
    sed -e 's/\\/\\e/g' -e 's/-/\\-/g' -e "s/^\([.']\)/\\\\\&\1/"
}

version=$("$cli" --version | awk '{print $2}')
main_help=$("$cli" --help)
# The commands are the first words of the command list's lines that stand two
# blanks in; a summary too long for its line continues further in.
commands=$(printf '%s\n' "$main_help" | awk '/^commands:/ {f = 1; next} f && /^$/ {exit} f && /^  [^ ]/ {print $1}' | grep -vx help)

tmp=$(mktemp)
trap 'rm -f "$tmp"' EXIT
{
    echo ".TH VARNWICK\\-CLI 1 \"\" \"varnwick-cli $version\" \"User Commands\""
    echo ".SH NAME"
    echo "varnwick\\-cli \\- carry contacts between Palm Desktop and an Outlook Express address book"
    echo ".SH SYNOPSIS"
    echo ".B varnwick\\-cli"
    echo "[\\fB\\-\\-ini\\fR \\fIFILE\\fR] \\fICOMMAND\\fR [\\fIOPTIONS\\fR]"
    echo ".SH DESCRIPTION"
    echo ".nf"
    printf '%s\n' "$main_help" | roff
    echo ".fi"
    echo ".SH COMMANDS"
    for command in $commands; do
        echo ".SS $command"
        echo ".nf"
        "$cli" help "$command" | roff
        echo ".fi"
    done
    echo ".SH FILES"
    echo ".TP"
    echo ".I corvane.ini"
    echo "The settings, shared with the window: beside the program when it runs from"
    echo "its build folder, else \\fI\$XDG_CONFIG_HOME/varnwick/corvane.ini\\fR"
    echo "(\\fI~/.config/varnwick/\\fR). \\fB\\-\\-ini\\fR or \\fBVARNWICK_INI\\fR names another file."
    echo ".TP"
    echo ".I appdebug.log"
    echo "The diagnostic log, in \\fI\$XDG_STATE_HOME/varnwick/\\fR (\\fI~/.local/state/varnwick/\\fR);"
    echo "\\fBVARNWICK_LOG\\fR names another file."
    echo ".SH SEE ALSO"
    echo "The window, \\fBvarnwick\\fR, and its help page in \\fI/usr/share/varnwick/help/\\fR."
} > "$tmp"
gzip -9n < "$tmp" > "$out.new"
mv "$out.new" "$out"
