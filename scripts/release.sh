#!/usr/bin/env bash
# Makes the release: dist/tessel_link-<version>.zip with the component for a 64-bit and for a
# 32-bit player, tessel-phone for 64-bit Windows, the user guide (README.md's user sections) and
# SHA256SUMS; beside it dist/tessel_link-<version>-debug/ with the debug information of each
# binary. The version is the project's (CMakeLists.txt). Two runs from the same commit give the
# same bytes: the binaries carry no build paths and no link time, and the archive's files have
# a fixed order, fixed modes and the commit's time (SOURCE_DATE_EPOCH, when set, instead).
#
# Usage: scripts/release.sh
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh >/dev/null

if [ -z "${SOURCE_DATE_EPOCH:-}" ]; then
    SOURCE_DATE_EPOCH=$(git log -1 --format=%ct 2>/dev/null || echo 315532800)
fi
export SOURCE_DATE_EPOCH
# Zip stores local time: the same in every time zone only when that is UTC.
export TZ=UTC LC_ALL=C

for preset in release-windows release-windows-i686; do
    echo "=== $preset"
    cmake --preset "$preset" >/dev/null
    cmake --build --preset "$preset" -j "$(nproc)"
done

version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' build/release-windows/CMakeCache.txt)
name=tessel_link-$version
x64=build/release-windows/release
x86=build/release-windows-i686/release

# The archive's layout; scripts/release-check.py checks the same list.
stage=build/release-stage
rm -rf "$stage" "dist/$name.zip" "dist/$name-debug"
mkdir -p "$stage/$name"/{for-64-bit-player,for-32-bit-player,tessel-phone} dist
cp "$x64/tessel_link.dll" "$stage/$name/for-64-bit-player/"
cp "$x86/tessel_link.dll" "$stage/$name/for-32-bit-player/"
# tessel-phone opens the port through the player's library, which a PC without the player lacks.
cp "$x64/tessel-phone.exe" "$x64/corvina_shared.dll" "$stage/$name/tessel-phone/"
python3 scripts/user-guide.py README.md "$stage/$name/README.txt"
binaries=(for-64-bit-player/tessel_link.dll for-32-bit-player/tessel_link.dll
          tessel-phone/tessel-phone.exe tessel-phone/corvina_shared.dll)
(cd "$stage/$name" && sha256sum README.txt "${binaries[@]}" >SHA256SUMS)

files=(README.txt SHA256SUMS "${binaries[@]}")
chmod 644 "${files[@]/#/$stage/$name/}"
touch -d "@$SOURCE_DATE_EPOCH" "${files[@]/#/$stage/$name/}"
# -X: no owner and no extra times, -D: no folder entries; the names in the order given.
(cd "$stage" && printf "$name/%s\n" "${files[@]}" | zip -q -X -D -9 "../../dist/$name.zip" -@)

# The debug information beside the archive, in the same folders.
mkdir -p "dist/$name-debug"/{for-64-bit-player,for-32-bit-player,tessel-phone}
cp "$x64/tessel_link.dll.debug" "dist/$name-debug/for-64-bit-player/"
cp "$x86/tessel_link.dll.debug" "dist/$name-debug/for-32-bit-player/"
cp "$x64/tessel-phone.exe.debug" "$x64/corvina_shared.dll.debug" "dist/$name-debug/tessel-phone/"

echo "=== dist/$name.zip"
unzip -l "dist/$name.zip"
