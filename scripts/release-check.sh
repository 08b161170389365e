#!/usr/bin/env bash
# Checks the release that scripts/release.sh made: the archive's files and binaries
# (scripts/release-check.py), then the conformance host and the end-to-end test under Wine with
# the archive's component and tool in place of the test builds' (the stand-in player and the
# conformance host come from the windows and windows-i686 presets, built here when missing).
# A form this machine's Wine cannot run is reported skipped, as in the tests.
#
# Usage: scripts/release-check.sh
set -euo pipefail
cd "$(dirname "$0")/.."

version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' build/release-windows/CMakeCache.txt)
archive=dist/tessel_link-$version.zip
python3 scripts/release-check.py "$archive"

work=build/release-wine
rm -rf "$work"
mkdir -p "$work"
unzip -q "$archive" -d "$work"
unpacked=$work/tessel_link-$version

failed=()
run_tests() {  # preset, folder of the component in the archive
    local preset=$1 form=$2 bin=$work/$1/bin code
    echo "=== $preset: the tests with the archive's $form/tessel_link.dll"
    cmake --preset "$preset" >/dev/null
    cmake --build --preset "$preset" -j "$(nproc)" \
        --target corvina-standin corvina_shared corvina_conformance_host
    mkdir -p "$bin"
    cp "build/$preset/bin/"{corvina-standin.exe,corvina_shared.dll,corvina-conformance-host.exe} "$bin/"
    cp "$unpacked/$form/tessel_link.dll" "$unpacked/tessel-phone/tessel-phone.exe" "$bin/"
    export WINEPREFIX=$PWD/build/$preset/wineprefix WINEDEBUG=-all
    # One wineserver for both tests, as scripts/test.sh keeps one.
    cmake/wine-run.sh cmd /c exit 0 >/dev/null 2>&1 || true
    wineserver -p 600 </dev/null >/dev/null 2>&1 || true
    code=0
    WINEDLLOVERRIDES='mscoree,mshtml=;winedbg.exe=d' \
        cmake/wine-run.sh "$bin/corvina-conformance-host.exe" || code=$?
    case $code in 0) ;; 77) echo "conformance host: skipped" ;; *) failed+=("$preset conformance") ;; esac
    code=0
    python3 tests/e2e/end_to_end.py --bin "$bin" --wine cmake/wine-run.sh || code=$?
    case $code in 0) ;; 77) echo "end to end: skipped" ;; *) failed+=("$preset end to end") ;; esac
    wineserver -k 2>/dev/null || true
}
run_tests windows for-64-bit-player
run_tests windows-i686 for-32-bit-player

if [ ${#failed[@]} -gt 0 ]; then
    echo "FAILED with the release binaries: ${failed[*]}"
    exit 1
fi
echo "Release checks passed: $archive"
