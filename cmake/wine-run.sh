#!/usr/bin/env bash
# Runs a Windows program under Wine with a private prefix inside the build folder, so
# tests never touch ~/.wine and need no display. The prefix is made on first use.
#
#   wine-run.sh PROGRAM [ARGUMENT ...]
#   wine-run.sh --check PROGRAM     exit 0 when this machine can run PROGRAM, 77 when it cannot
#
# A 32-bit program needs Wine's 32-bit side (Debian's wine32), which needs a kernel that runs
# 32-bit code; where either is missing, the program is not started and the exit code is 77,
# which the tests report as skipped.
set -euo pipefail

is_32bit_program() {
    [ -f "$1" ] || return 1
    local pe_offset machine
    pe_offset=$(od -An -tu4 -j60 -N4 "$1" | tr -d ' ')
    machine=$(od -An -tx1 -j$((pe_offset + 4)) -N2 "$1" | tr -d ' ')
    [ "$machine" = 4c01 ]
}

check_runnable() {
    if is_32bit_program "$1" && ! /usr/lib/wine/wine --version >/dev/null 2>&1; then
        echo "wine-run.sh: this machine cannot run 32-bit Windows programs (no working wine32)" >&2
        exit 77
    fi
}

if [ "$1" = --check ]; then
    check_runnable "$2"
    exit 0
fi

exe=$1
shift
check_runnable "$exe"
build_dir=${TESSEL_WINE_BUILD_DIR:-$(cd "$(dirname "$exe")/.." && pwd)}
export WINEPREFIX=${WINEPREFIX:-$build_dir/wineprefix}
export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}

wine_cmd=wine
command -v wine64 >/dev/null 2>&1 && wine_cmd=wine64

if [ ! -f "$WINEPREFIX/.tessel-ready" ]; then
    mkdir -p "$WINEPREFIX"
    (
        flock 9
        if [ ! -f "$WINEPREFIX/.tessel-ready" ]; then
            "$wine_cmd" wineboot -i >/dev/null 2>&1 || true
            "$wine_cmd" reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d null /f >/dev/null 2>&1
            wineserver -w || true
            touch "$WINEPREFIX/.tessel-ready"
        fi
    ) 9>"$WINEPREFIX.lock"
fi

exec "$wine_cmd" "$exe" "$@"
