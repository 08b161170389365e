#!/usr/bin/env bash
# tessel-phone's watch on a real terminal (a tmux pane) against the stand-in player with the
# component, playing a tagged file: the title and a position that advances are on the screen,
# 'q' ends it, and the terminal is as it was (line settings, cursor shown).
#   watch_tmux_test.sh STANDIN TESSEL_PHONE WORK_DIR
# Exit 77 (skipped) without tmux, sox or lame.
set -euo pipefail
standin=$1
phone=$2
work=$3

for tool in tmux sox lame; do
    command -v "$tool" >/dev/null || { echo "no $tool: skipped"; exit 77; }
done

rm -rf "$work"
mkdir -p "$work/music"
sox -q -n -r 8000 -c 1 -t wav - synth 60 sine 440 vol 0.1 2>/dev/null |
    lame --quiet --tt "Watched Title" --ta "Test Artist" - "$work/music/watched.mp3"

socket="tessel-watch-$$"
player=""
finish() {
    tmux -L "$socket" kill-server 2>/dev/null || true
    [ -z "$player" ] || kill "$player" 2>/dev/null || true
    wait 2>/dev/null || true
}
trap finish EXIT

"$standin" --virtual-port --config "$work/settings.cfg" --load "$work/music" --play \
    --page-type "1002=$work/music" --page-click 1005 --time-limit 120 >"$work/player.log" 2>&1 &
player=$!

# shellcheck source=tests/phone/within.sh
. "$(dirname "${BASH_SOURCE[0]}")/within.sh"
fail() {
    echo "FAILED: $*"
    echo "--- screen"
    tmux -L "$socket" capture-pane -p 2>/dev/null || true
    echo "--- player"
    cat "$work/player.log"
    exit 1
}

connected() { grep -q "Activated" "$work/player.log"; }
within 200 connected || fail "the component did not connect"
port=$(sed -n 's/.*phone end \([^,]*\),.*/\1/p' "$work/player.log")

# The pane runs a shell that notes the terminal's settings before and after watch.
tmux -L "$socket" -f /dev/null new-session -d -x 80 -y 12 \
    "stty -g >'$work/before'; '$phone' '$port' watch; echo \"watch ended: \$?\";
     stty -g >'$work/after'; sleep 60"
screen() { tmux -L "$socket" capture-pane -p; }
# The time left of " / " on the bar's line.
position() { screen | sed -n 's#.*\] *\([0-9]*:[0-9][0-9]\) / [0-9:]*$#\1#p' | head -n 1; }

shows_title() { screen | grep -q "Test Artist - Watched Title"; }
within 150 shows_title || fail "no title on the screen"
first=$(position)
[ -n "$first" ] || fail "no position bar on the screen"
advanced() { local now; now=$(position); [ -n "$now" ] && [[ "$now" > "$first" ]]; }
within 100 advanced || fail "the position stayed at $first"
[ "$(tmux -L "$socket" display -p '#{cursor_flag}')" = 0 ] || fail "the cursor is shown"

tmux -L "$socket" send-keys q
ended() { screen | grep -q "watch ended: 0"; }
within 100 ended || fail "q did not end watch"
within 50 test -s "$work/after" || fail "the pane's shell did not go on"
cmp -s "$work/before" "$work/after" || fail "terminal settings changed: $(cat "$work/before") -> $(cat "$work/after")"
[ "$(tmux -L "$socket" display -p '#{cursor_flag}')" = 1 ] || fail "the cursor stays hidden"
echo "watch showed the title, the position went from $first to $(position), q ended it cleanly"
