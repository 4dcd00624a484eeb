#!/usr/bin/env bash
# Runs test programs of a build under Wine in a prefix of their own whose
# ANSI code page comes from a Linux locale (ja_JP.UTF-8 gives the double-
# byte code page 932), each with its own arguments:
#   in_code_page.sh LOCALE BUILD_DIR 'PROGRAM [ARGS...]' ...
# One prefix keeps one locale; it lies beside the build's own prefix and
# has its own wineserver for the run.
set -euo pipefail
locale_name=${1:?usage: in_code_page.sh LOCALE BUILD_DIR 'PROGRAM [ARGS...]' ...}
build=$(realpath "${2:?usage: in_code_page.sh LOCALE BUILD_DIR 'PROGRAM [ARGS...]' ...}")
shift 2
root=$(dirname "$(dirname "$(dirname "$(realpath "$0")")")")
. "$root/scripts/wine-env"
if ! locale -a 2>/dev/null | grep -qix "${locale_name/UTF-8/utf8}"; then
    echo "the locale $locale_name is missing (scripts/bootstrap generates it)" >&2
    exit 1
fi
export LC_ALL=$locale_name
export WINEPREFIX="$build/wineprefix-$locale_name"
wine_prefix_ready
wine_server_start
trap wine_server_stop EXIT
status=0
for run in "$@"; do
    read -r -a words <<<"$run"
    "$WINE" "${words[@]}" || status=1
done
exit "$status"
