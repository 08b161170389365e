#!/usr/bin/env bash
# Runs a Windows program under Wine with a private prefix inside the build folder, so
# tests never touch ~/.wine and need no display. The prefix is made on first use.
set -euo pipefail

exe=$1
shift
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
