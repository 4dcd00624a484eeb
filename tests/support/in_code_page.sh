#!/usr/bin/env bash
# Runs test programs of a build under Wine in a prefix of their own whose
# ANSI code page comes from a Linux locale (ja_JP.UTF-8 gives the double-
# byte code page 932), each program with the same arguments:
#   in_code_page.sh LOCALE CODE_PAGE BUILD_DIR PROGRAM... [-- ARGUMENT...]
# CODE_PAGE is the ANSI code page the locale must give; the programs find it
# in NORVALE_CODE_PAGE, and a test made for it fails, rather than skips, in
# a prefix with another code page. One prefix keeps one locale; it lies
# beside the build's own prefix and has its own wineserver for the run.
set -euo pipefail
usage='usage: in_code_page.sh LOCALE CODE_PAGE BUILD_DIR PROGRAM... [-- ARGUMENT...]'
locale_name=${1:?$usage}
code_page=${2:?$usage}
build=$(realpath "${3:?$usage}")
shift 3
programs=()
while [ $# -gt 0 ] && [ "$1" != -- ]; do
    programs+=("$1")
    shift
done
[ $# -gt 0 ] && shift
[ ${#programs[@]} -gt 0 ] || { echo "$usage" >&2; exit 2; }
root=$(dirname "$(dirname "$(dirname "$(realpath "$0")")")")
. "$root/scripts/wine-env"
if ! locale -a 2>/dev/null | grep -qix "${locale_name/UTF-8/utf8}"; then
    echo "the locale $locale_name is missing (scripts/bootstrap generates it)" >&2
    exit 1
fi
export LC_ALL=$locale_name
export NORVALE_CODE_PAGE=$code_page
export WINEPREFIX="$build/wineprefix-$locale_name"
wine_prefix_ready
wine_server_start
trap wine_server_stop EXIT
status=0
for program in "${programs[@]}"; do
    "$WINE" "$program" "$@" || status=1
done
exit "$status"
