#!/usr/bin/env bash
# Checks that the manual page documents every command and option that --help lists, each in the
# head of a paragraph, and that mandoc has nothing to say about the page. Exits 77 (skipped)
# when the heads match but mandoc is not installed, since the page then went unlinted.
#
#   man_page_test.sh PAGE TOOL...    (TOOL...: the program, behind its emulator if any)
set -euo pipefail
page=$1
shift
help=$("$@" --help)

# The heads of the tagged paragraphs (the line after .TP), with font escapes and \c dropped and
# \- made a plain hyphen.
heads=$(sed -n '/^\.TP/{n;p;}' "$page" | sed -e 's/\\f[BIRP]//g' -e 's/\\-/-/g' -e 's/\\[c ]/ /g')
commands=$(sed -n '/^Commands:/,/^$/s/^  \([a-z][a-z-]*\) .*/\1/p' <<<"$help")
options=$(grep -oE -- '^ +-[[:alnum:]]|--[a-z][a-z-]*' <<<"$help" | tr -d ' ' | sort -u)
if [[ -z $commands || -z $options ]]; then
    echo "no commands or options found in --help"
    exit 1
fi

status=0
for word in $commands $options; do
    if ! grep -qE -- "(^|[^[:alnum:]-])$word([^[:alnum:]-]|\$)" <<<"$heads"; then
        echo "$page does not document $word"
        status=1
    fi
done

if ((status != 0)); then
    exit $status
fi
if ! command -v mandoc >/dev/null; then
    echo "skipped: mandoc is not installed, so the page is not linted"
    exit 77
fi
mandoc -T lint -W style "$page"
