#!/usr/bin/env bash
# Builds every preset and runs every test: native, AddressSanitizer with
# UndefinedBehaviorSanitizer, ThreadSanitizer, the Windows x86-64 build under Wine, and the
# Windows x86 build's ABI and end-to-end tests under Wine.
# Usage: scripts/test.sh [preset ...]   (default: native asan tsan windows windows-i686)
# A preset that fails to configure, build or pass is reported at the end; the others still run.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh
# Debian keeps wine64 in /usr/lib/wine; /usr/bin/wine may pick the 32-bit loader, which a
# kernel without 32-bit support cannot start.
command -v wine64 >/dev/null 2>&1 || export PATH=/usr/lib/wine:$PATH

presets=("$@")
[ ${#presets[@]} -gt 0 ] || presets=(native asan tsan windows windows-i686)
jobs=$(nproc)

failed=()
second_tries=()
for preset in "${presets[@]}"; do
    echo "=== $preset: configure and build"
    if ! cmake --preset "$preset" >/dev/null || ! cmake --build --preset "$preset" -j "$jobs"; then
        failed+=("$preset (build)")
        continue
    fi
    if [[ "$preset" == windows* ]]; then
        # One wineserver for the whole run: each Wine start then costs far less.
        export WINEPREFIX=$PWD/build/$preset/wineprefix WINEDEBUG=-all
        cmake/wine-run.sh cmd /c exit 0 >/dev/null 2>&1 || true
        wineserver -p 600 || true
    fi
    echo "=== $preset: test"
    # A test that fails is run once more before the preset counts as failed: two window-system
    # tests are known to hang rarely under the sanitizers. One that passes
    # only on its second try is named at the end, so that a fault that shows only sometimes is
    # not hidden.
    if ! ctest --preset "$preset" -j "$jobs"; then
        first_failures=$(cut -d: -f2- "build/$preset/Testing/Temporary/LastTestsFailed.log" || true)
        echo "=== $preset: once more, the tests that failed"
        if ctest --preset "$preset" -j "$jobs" --rerun-failed; then
            while IFS= read -r name; do
                second_tries+=("$preset: $name")
            done <<<"$first_failures"
        else
            failed+=("$preset")
        fi
    fi
    if [[ "$preset" == windows* ]]; then
        wineserver -k 2>/dev/null || true
    fi
done

# With the default presets, each fuzz target also runs briefly.
if [ $# -eq 0 ]; then
    echo "=== fuzz: 30 s a target"
    bash scripts/fuzz.sh 30 || failed+=("fuzz")
fi

if [ ${#second_tries[@]} -gt 0 ]; then
    echo "PASSED ONLY ON A SECOND TRY (flaky; look into them):"
    printf '  %s\n' "${second_tries[@]}"
fi
if [ ${#failed[@]} -gt 0 ]; then
    echo "FAILED presets: ${failed[*]}"
    exit 1
fi
echo "All presets passed: ${presets[*]}"
