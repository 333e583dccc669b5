#!/usr/bin/env bash
# A tool's man page against its --help: every option of either appears in
# the other, the exit statuses agree where --help lists them, and the page
# renders without warnings.
#   check-manpage.sh TOOL PAGE   (PAGE in roff, or gzipped roff)
set -euo pipefail
tool=$1
page=$2
options() { grep -o -E -- '--[a-z][a-z-]*' | sort -u; }
help_options=$("$tool" --help | options)
# In roff a dash is written "\-".
page_options=$(zcat -f "$page" | sed 's/\\-/-/g' | options)
status=0
missing=$(comm -23 <(echo "$help_options") <(echo "$page_options"))
extra=$(comm -13 <(echo "$help_options") <(echo "$page_options"))
[[ -z $missing ]] || { echo "$page lacks: $missing"; status=1; }
[[ -z $extra ]] || { echo "$page has options --help does not: $extra"; status=1; }
# Exit statuses, where --help lists them ("Exit status: 0 ...; 1 ...").
help_statuses=$("$tool" --help | sed -n '/^Exit status:/,/^$/p' | grep -o -E '(: |; )[0-9]+ ' | grep -o -E '[0-9]+' |
    sort -n | xargs || true)
if [[ -n $help_statuses ]]; then
    page_statuses=$(zcat -f "$page" | sed -n '/^\.SH EXIT STATUS/,/^\.SH/p' | grep -A1 '^\.TP' |
        sed -n 's/^\.B \([0-9]*\)$/\1/p' | sort -n | xargs)
    [[ $help_statuses == "$page_statuses" ]] ||
        { echo "$page: exit statuses $page_statuses, --help: $help_statuses"; status=1; }
fi
if command -v man >/dev/null; then
    warnings=$(MANWIDTH=80 man --warnings -l "$page" 2>&1 >/dev/null || true)
    [[ -z $warnings ]] || { echo "$page: $warnings"; status=1; }
fi
(( status == 0 )) && echo "$(basename "$page"): $(wc -w <<<"$help_options") options, as --help lists them"
exit $status
