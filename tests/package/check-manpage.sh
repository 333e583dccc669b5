#!/usr/bin/env bash
# A tool's man page against its --help: every option of either appears in
# the other, and the page renders without warnings.
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
if command -v man >/dev/null; then
    warnings=$(MANWIDTH=80 man --warnings -l "$page" 2>&1 >/dev/null || true)
    [[ -z $warnings ]] || { echo "$page: $warnings"; status=1; }
fi
(( status == 0 )) && echo "$(basename "$page"): $(wc -w <<<"$help_options") options, as --help lists them"
exit $status
