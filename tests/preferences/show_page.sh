#!/usr/bin/env bash
# Shows the preferences page in a real window under Wine on a virtual X screen, its port list
# open, and saves a screenshot of the page alone (ImageMagick's import).
# Usage: tests/preferences/show_page.sh [WINDOWS_BUILD_DIR] [OUTPUT.png]
#   (defaults: build/windows, WINDOWS_BUILD_DIR/preferences-page.png)
set -euo pipefail
cd "$(dirname "$0")/../.."

build=$(cd "${1:-build/windows}" && pwd)
export SHOW_PAGE_OUT=${2:-$build/preferences-page.png}
export SHOW_PAGE_EXE=$build/bin/tessel_show_preferences_page.exe
[ -f "$SHOW_PAGE_EXE" ] || { echo "build tessel_show_preferences_page first" >&2; exit 1; }

# A prefix of its own with Wine's X11 driver; the test prefix has no display.
export WINEPREFIX=$build/wineprefix-display
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
export SHOW_PAGE_WINE=wine
command -v wine64 >/dev/null 2>&1 && SHOW_PAGE_WINE=wine64

xvfb-run -a -s "-screen 0 800x600x24" bash -c '
    set -euo pipefail
    if [ ! -f "$WINEPREFIX/.ready" ]; then
        "$SHOW_PAGE_WINE" wineboot -i >/dev/null 2>&1 || true
        wineserver -w || true
        touch "$WINEPREFIX/.ready"
    fi
    log=$(mktemp)
    "$SHOW_PAGE_WINE" "$SHOW_PAGE_EXE" 30 >"$log" 2>&1 &
    program=$!
    for _ in $(seq 1 600); do
        grep -q ready "$log" && break
        sleep 0.1
    done
    grep -q ready "$log" || { cat "$log" >&2; kill "$program"; exit 1; }
    read -r _ x y width height < <(grep ready "$log")
    import -window root -crop "${width}x${height}+${x}+${y}" +repage "$SHOW_PAGE_OUT"
    kill "$program" 2>/dev/null || true
    wineserver -k 2>/dev/null || true
    rm -f "$log"
'
echo "$SHOW_PAGE_OUT"
