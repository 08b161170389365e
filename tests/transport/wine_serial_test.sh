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
pids=()
cleanup() {
    rm -f "$WINEPREFIX/dosdevices/com21" "$WINEPREFIX/dosdevices/com22"
    for pid in "${pids[@]}"; do
        kill "$pid" 2>/dev/null || true
        wait "$pid" 2>/dev/null || true
    done
    rm -rf "$links"
}
trap cleanup EXIT

socat pty,raw,echo=0,link="$links/port" pty,raw,echo=0,link="$links/phone" \
    2>"$links/socat.log" &
pids+=($!)
for _ in $(seq 100); do
    [ -e "$links/port" ] && [ -e "$links/phone" ] && break
    sleep 0.1
done
if [ ! -e "$links/port" ] || [ ! -e "$links/phone" ]; then
    echo "socat made no pseudo-terminals:" >&2
    cat "$links/socat.log" >&2
    exit 1
fi

# The Wine server opens the terminals as a session leader and would make one its controlling
# terminal, and then take the hang-up when socat ends. A session of its own holds each one as
# its controlling terminal first.
for end in port phone; do
    tty=$(readlink -f "$links/$end")
    setsid sh -c 'exec sleep 3600 <"$1"' sh "$tty" &
    pids+=($!)
    for _ in $(seq 50); do
        [ "$(readlink "/proc/$!/fd/0" 2>/dev/null)" = "$tty" ] && break
        sleep 0.1
    done
done

ln -sfn "$(readlink -f "$links/port")" "$WINEPREFIX/dosdevices/com21"
ln -sfn "$(readlink -f "$links/phone")" "$WINEPREFIX/dosdevices/com22"

TESSEL_SERIAL_PORT=COM21 TESSEL_PEER_PORT=COM22 "$wine_run" "$exe" "$@"
