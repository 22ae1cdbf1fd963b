#!/bin/sh
# Writes the manual page of lanwick-cli from the program's own help texts, so that the page can never drift from
# what `lanwick-cli --help` says: the build runs this after every link of the program.
#
#   make-cli-manpage.sh LANWICK_CLI OUTPUT
set -eu
cli=$1
out=$2

# Roff-safe text: backslashes and hyphens escaped, a leading dot or quote kept from being read as a request.
escape() {
    sed -e 's/\\/\\e/g' -e 's/-/\\-/g' -e "s/^\\([.']\\)/\\\\\\&\\1/"
}

# The "Usage:" block of a help text (up to its first empty line), without the word "Usage:".
usage_lines() {
    sed -n '1,/^$/p' | sed -e '/^$/d' -e 's/^Usage: //' -e 's/^       //'
}

commands=$("$cli" --help | sed -n '/^Commands:/,/^$/s/^  \([a-z][a-z]*\) .*/\1/p')
version=$("$cli" --version | sed 's/^lanwick-cli //')

{
    echo ".TH LANWICK\\-CLI 1 \"\" \"lanwick\\-cli $version\" \"User Commands\""
    echo ".SH NAME"
    echo "lanwick\\-cli \\- list, ping, scan, monitor, watch and wake the machines of a local network from a terminal"
    echo ".SH SYNOPSIS"
    echo ".nf"
    "$cli" --help | usage_lines | escape
    for c in $commands; do
        "$cli" "$c" --help | usage_lines | escape
    done
    echo ".fi"
    echo ".SH DESCRIPTION"
    echo ".nf"
    "$cli" --help | sed '1,/^$/d' | escape
    echo ".fi"
    echo ".SH COMMANDS"
    for c in $commands; do
        echo ".SS $c"
        echo ".nf"
        "$cli" "$c" --help | sed '1,/^$/d' | escape
        echo ".fi"
    done
    echo ".SH SEE ALSO"
    echo ".BR lanwick (1),"
    echo ".BR setcap (8)"
} >"$out.tmp"
mv "$out.tmp" "$out"
