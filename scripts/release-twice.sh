#!/usr/bin/env bash
# Shows that the release is reproducible: makes it twice, in two fresh clones of the current
# commit in folders of different names and lengths, and compares the archives, the binaries
# (stripped and not) and the debug information byte for byte. Uncommitted changes are not in
# the clones.
#
# Usage: scripts/release-twice.sh [WORK_FOLDER]   (default: build/release-twice)
set -euo pipefail
cd "$(dirname "$0")/.."

work=${1:-build/release-twice}
commit=$(git rev-parse HEAD)
rm -rf "$work"
mkdir -p "$work"
work=$(cd "$work" && pwd)

for clone in a second-copy; do
    echo "=== release in $work/$clone"
    git clone -q --no-checkout . "$work/$clone"
    git -C "$work/$clone" checkout -q --detach "$commit"
    start=$(date +%s)
    bash "$work/$clone/scripts/release.sh" >"$work/$clone.log" 2>&1 ||
        { tail -20 "$work/$clone.log"; exit 1; }
    echo "    made in $(($(date +%s) - start)) s"
done

compared=0
different=0
while IFS= read -r file; do
    compared=$((compared + 1))
    if ! cmp -s "$work/a/$file" "$work/second-copy/$file"; then
        echo "DIFFERENT: $file"
        different=$((different + 1))
    fi
done < <(cd "$work/a" && find dist build/release-windows/release build/release-windows-i686/release \
             build/release-windows/bin build/release-windows-i686/bin -type f ! -name '*.stamp' | sort)
if [ "$different" -gt 0 ] || [ "$compared" -eq 0 ]; then
    echo "NOT reproducible: $different of $compared files differ"
    exit 1
fi
echo "Reproducible: $compared files byte-identical in both releases"
(cd "$work/a/dist" && sha256sum tessel_link-*.zip)
