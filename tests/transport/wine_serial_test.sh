#!/usr/bin/env bash
# Runs the Windows serial tests under Wine against a real byte stream: socat joins two
# pseudo-terminals, and COM21 (the port under test) and COM22 (the phone's end) of the Wine
# prefix are linked to them.
# Usage: wine_serial_test.sh <tessel_serial_tests.exe> [gtest arguments]
set -euo pipefail

exe=$1
shift
here=$(cd "$(dirname "$0")" && pwd)
wine_run=$here/../../cmake/wine-run.sh
build_dir=$(cd "$(dirname "$exe")/.." && pwd)
export WINEPREFIX=${WINEPREFIX:-$build_dir/wineprefix}
export WINEDEBUG=${WINEDEBUG:--all}

if ! command -v socat >/dev/null 2>&1; then
    echo "socat is not installed (scripts/install-deps.sh installs it): serial tests skipped"
    exit 77
fi

# A first run makes the prefix, so that its dosdevices folder exists.
"$wine_run" "$exe" --gtest_list_tests >/dev/null

links=$(mktemp -d "${TMPDIR:-/tmp}/tessel-serial.XXXXXX")
socat_pid=
cleanup() {
    [ -n "$socat_pid" ] && kill "$socat_pid" 2>/dev/null && wait "$socat_pid" 2>/dev/null
    rm -f "$WINEPREFIX/dosdevices/com21" "$WINEPREFIX/dosdevices/com22"
    rm -rf "$links"
}
trap cleanup EXIT

socat pty,raw,echo=0,link="$links/port" pty,raw,echo=0,link="$links/phone" \
    2>"$links/socat.log" &
socat_pid=$!
for _ in $(seq 100); do
    [ -e "$links/port" ] && [ -e "$links/phone" ] && break
    sleep 0.1
done
if [ ! -e "$links/port" ] || [ ! -e "$links/phone" ]; then
    echo "socat made no pseudo-terminals:" >&2
    cat "$links/socat.log" >&2
    exit 1
fi

ln -sfn "$(readlink -f "$links/port")" "$WINEPREFIX/dosdevices/com21"
ln -sfn "$(readlink -f "$links/phone")" "$WINEPREFIX/dosdevices/com22"

TESSEL_SERIAL_PORT=COM21 TESSEL_PEER_PORT=COM22 "$wine_run" "$exe" "$@"
