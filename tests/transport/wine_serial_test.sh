#!/usr/bin/env bash
# Runs the Windows serial tests under Wine against a real byte stream: socat joins two
# pseudo-terminals, and COM21 (the port under test) and COM22 (the phone's end) of the Wine
# prefix are linked to them.
# Usage: wine_serial_test.sh [--line-control] <test program.exe> [gtest arguments]
#
# With --line-control the program may also hang the line up and bring a new one back:
# TESSEL_LINE_CONTROL names a folder (as a Windows path) where it puts a request file,
# "hang-up" or "come-back"; the script carries it out, removes the request and answers with
# "hung-up" or "back". A hang-up ends socat and removes both links, as when a phone goes out
# of range; a come-back joins a new pair of pseudo-terminals and links them again.
set -euo pipefail

line_control=no
if [ "${1:-}" = --line-control ]; then
    line_control=yes
    shift
fi
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
control=$links/control
# The processes of the line in use, one a line: socat and the terminals' holders. A file, so
# that the control loop, a process of its own, can end a line the script started and back.
line_pids=$links/line.pids
watcher=

unlink_ports() {
    rm -f "$WINEPREFIX/dosdevices/com21" "$WINEPREFIX/dosdevices/com22"
}

# Ends the processes of the line in use and waits until they are gone (a zombie has closed
# its terminals too), so that the far end of the port has really gone when this returns.
end_line() {
    [ -f "$line_pids" ] || return 0
    local pid state
    while read -r pid; do
        kill "$pid" 2>/dev/null || true
    done <"$line_pids"
    while read -r pid; do
        for _ in $(seq 50); do
            state=$(awk '{ print $3 }' "/proc/$pid/stat" 2>/dev/null) || break
            [ "$state" = Z ] && break
            sleep 0.1
        done
    done <"$line_pids"
    rm -f "$line_pids"
}

# Joins a new pair of pseudo-terminals and links COM21 and COM22 to them. In a subshell that
# leaves them behind: the script neither waits for them nor reports how they ended (the
# holders die of the hang-up when socat ends).
start_line() (
    pair=$BASHPID
    port=$links/port$pair
    phone=$links/phone$pair
    socat pty,raw,echo=0,link="$port" pty,raw,echo=0,link="$phone" \
        2>"$links/socat$pair.log" &
    echo $! >>"$line_pids"
    for _ in $(seq 100); do
        [ -e "$port" ] && [ -e "$phone" ] && break
        sleep 0.1
    done
    if [ ! -e "$port" ] || [ ! -e "$phone" ]; then
        echo "socat made no pseudo-terminals:" >&2
        cat "$links/socat$pair.log" >&2
        return 1
    fi

    # The Wine server opens the terminals as a session leader and would make one its
    # controlling terminal, and then take the hang-up when socat ends. A session of its own
    # holds each one as its controlling terminal first.
    for end in "$port" "$phone"; do
        tty=$(readlink -f "$end")
        setsid sh -c 'exec sleep 3600 <"$1"' sh "$tty" &
        echo $! >>"$line_pids"
        for _ in $(seq 50); do
            [ "$(readlink "/proc/$!/fd/0" 2>/dev/null)" = "$tty" ] && break
            sleep 0.1
        done
    done

    ln -sfn "$(readlink -f "$port")" "$WINEPREFIX/dosdevices/com21"
    ln -sfn "$(readlink -f "$phone")" "$WINEPREFIX/dosdevices/com22"
)

# Carries out the program's requests until asked to stop. The links go first on a hang-up:
# a new pair may get the same terminal numbers, and must not be found before it is asked for.
serve_line_control() {
    while [ ! -e "$control/stop" ]; do
        if [ -e "$control/hang-up" ]; then
            unlink_ports
            end_line
            rm -f "$control/hang-up"
            touch "$control/hung-up"
        elif [ -e "$control/come-back" ]; then
            end_line  # a come-back without a hang-up replaces the line
            rm -f "$control/come-back"
            # Unanswered when it fails: the program gives up waiting and the test fails.
            start_line && touch "$control/back"
        fi
        sleep 0.1
    done
}

cleanup() {
    if [ -n "$watcher" ]; then
        # Asked rather than killed, so that a line it is starting is written down first.
        touch "$control/stop"
        for _ in $(seq 100); do
            kill -0 "$watcher" 2>/dev/null || break
            sleep 0.1
        done
        kill "$watcher" 2>/dev/null || true
        wait "$watcher" 2>/dev/null || true
    fi
    unlink_ports
    end_line
    rm -rf "$links"
}
trap cleanup EXIT

start_line

if [ "$line_control" = yes ]; then
    mkdir "$control"
    serve_line_control &
    watcher=$!
    export TESSEL_LINE_CONTROL="Z:${control//\//\\}"
fi

TESSEL_SERIAL_PORT=COM21 TESSEL_PEER_PORT=COM22 "$wine_run" "$exe" "$@"
