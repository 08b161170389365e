#!/usr/bin/env bash
# The demo: builds the component, the stand-in player and the phone tool, makes a small music
# library of tagged MP3 files, starts the stand-in player with the component on a virtual
# serial port, and runs a phone session against it: status, volume, shuffle and repeat, the
# playlist, the folder tree and a track change. Then the player shuts down and saves its
# settings.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh
echo "=== building (preset native)"
cmake --preset native >/dev/null
cmake --build --preset native -j "$(nproc)" --target corvina-standin tessel_link tessel-phone

bin=$PWD/build/native/bin
work=$PWD/demo-work
rm -rf "$work"
mkdir -p "$work/music/Aurora" "$work/music/Céline"

echo "=== making a music library in $work/music"
make_track() {  # folder, file, artist, title, album, track number, seconds, frequency
    sox -q -n -r 44100 -c 2 "$work/tone.wav" synth "$7" sine "$8" vol 0.2
    lame --quiet --tt "$4" --ta "$3" --tl "$5" --tn "$6" "$work/tone.wav" "$work/music/$1/$2"
}
make_track Aurora "01 Northern Lights.mp3" Aurora "Northern Lights" "Polar" 1 40 440
make_track Aurora "02 Solstice.mp3" Aurora "Solstice" "Polar" 2 35 523
make_track Céline "Ça ira.mp3" "Céline" "Ça ira" "Chansons" 1 30 659
rm -f "$work/tone.wav"
sox -q -n -r 44100 -c 2 "$work/music/untagged.wav" synth 10 sine 330 vol 0.2
find "$work/music" -type f | sort | sed "s#$work/##"

echo "=== starting the stand-in player with the component"
mkfifo "$work/stdin"
"$bin/corvina-standin" --virtual-port --config "$work/settings.cfg" \
    --playlist "Demo" --load "$work/music" --play \
    --page-type "1002=$work/music" --page-click 1005 \
    --watch-stdin --time-limit 120 <"$work/stdin" >"$work/player.log" 2>&1 &
player=$!
exec 3>"$work/stdin"  # the player runs until this closes

phone_end=""
for _ in $(seq 50); do
    phone_end=$(sed -n 's/.*phone end \([^,]*\),.*/\1/p' "$work/player.log")
    grep -q "Activated" "$work/player.log" && [ -n "$phone_end" ] && break
    sleep 0.2
done
sed 's/^/  player| /' "$work/player.log"
if [ -z "$phone_end" ] || ! grep -q "Activated" "$work/player.log"; then
    echo "the component did not connect" >&2
    exec 3>&-
    wait "$player" || true
    exit 1
fi

phone() {  # [--json] commands...
    local options=()
    [ "$1" = --json ] && { options+=(--json); shift; }
    echo "--- phone> tessel-phone ${options[*]:+${options[*]} }$phone_end $*"
    "$bin/tessel-phone" "${options[@]}" "$phone_end" "$@"
}
phone check vers info
phone volume 128 gvol
# Shuffle and repeat are playback orders: switching one on switches the other off.
phone shuffle on info
phone repeat on info
phone repeat off
phone plst
phone list
phone dlst "$work/music/Aurora"
phone next info
phone seek 20 info
phone --json info

echo "=== shutting down"
exec 3>&-
wait "$player"
sed 's/^/  player| /' "$work/player.log" | tail -n 6
echo "Demo finished: the player stopped cleanly and saved its settings to $work/settings.cfg"
