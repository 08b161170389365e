#!/usr/bin/env bash
# tessel-phone.exe under Wine on a console (a tmux pane): the console's output code page is the
# same after the tool as before it, whether it ends normally, with an error (a port that is not
# there), or by Ctrl-C in watch.
#   console_code_page_wine_test.sh TESSEL_PHONE_EXE WORK_DIR
# Exit 77 (skipped) without tmux or socat.
set -euo pipefail
phone=$1
work=$2

for tool in tmux socat; do
    command -v "$tool" >/dev/null || { echo "no $tool: skipped"; exit 77; }
done
wine_cmd=wine
command -v wine64 >/dev/null 2>&1 && wine_cmd=wine64
export WINEPREFIX=${WINEPREFIX:-$(cd "$(dirname "$phone")/.." && pwd)/wineprefix}
export WINEDEBUG=${WINEDEBUG:--all}

rm -rf "$work"
mkdir -p "$work"
socket="tessel-codepage-$$"
relay=""
finish() {
    tmux -L "$socket" kill-server 2>/dev/null || true
    [ -z "$relay" ] || kill "$relay" 2>/dev/null || true
    rm -f "$WINEPREFIX/dosdevices/com23"
    wait 2>/dev/null || true
}
trap finish EXIT

# A port that opens, with no phone behind it: COM23, one end of a pair of pseudo-terminals.
socat pty,raw,echo=0,link="$work/pc" pty,raw,echo=0,link="$work/phone" &
relay=$!
for _ in $(seq 50); do [ -e "$work/pc" ] && break; sleep 0.1; done
ln -sfn "$(readlink -f "$work/pc")" "$WINEPREFIX/dosdevices/com23"

# shellcheck source=tests/phone/within.sh
. "$(dirname "${BASH_SOURCE[0]}")/within.sh"
fail() {
    echo "FAILED: $*"
    echo "--- screen"
    tmux -L "$socket" capture-pane -p 2>/dev/null || true
    exit 1
}
dos() { echo "Z:${1//\//\\}"; }

exe=$(dos "$(readlink -f "$phone")")
screen() { tmux -L "$socket" capture-pane -p; }
# A normal end and an error, each on the console: the error names a port with an accent, which
# reaches the screen as text.
runs="chcp >$(dos "$work/before") & $exe --help & $exe COMé check & chcp >$(dos "$work/after_end")"
tmux -L "$socket" -f /dev/null new-session -d -x 100 -y 20 "$wine_cmd cmd /c \"$runs\"; sleep 60"
within 600 test -s "$work/after_end" || fail "the tool's runs did not end"
screen | grep -q "cannot open the port COMé" || fail "the error did not reach the console as text"
tmux -L "$socket" kill-server

# Ctrl-C in watch: the tool alone gets it.
tmux -L "$socket" -f /dev/null new-session -d -x 100 -y 20 \
    "$wine_cmd '$phone' COM23 watch; echo \$? >'$work/watch_status';
     $wine_cmd cmd /c \"chcp >$(dos "$work/after_watch")\"; sleep 60"
# Its first request shows watch under way; it waits 3 s for an answer that never comes.
timeout 30 head -c 4 "$work/phone" >/dev/null || fail "watch sent no request"
tmux -L "$socket" send-keys C-c
within 100 test -s "$work/watch_status" || fail "Ctrl-C did not end watch"
[ "$(tmux -L "$socket" display -p '#{cursor_flag}')" = 1 ] || fail "the cursor stays hidden"
within 300 test -s "$work/after_watch" || fail "no code page after watch"

before=$(tr -d '\r' <"$work/before")
for after in after_end after_watch; do
    now=$(tr -d '\r' <"$work/$after")
    [ "$now" = "$before" ] || fail "$after: \"$before\" became \"$now\""
done
echo "the console kept its code page ($before) and its cursor through a normal end, an error" \
    "and Ctrl-C in watch"
