#!/usr/bin/env bash
# Builds the fuzz preset and runs each libFuzzer target for the given number of seconds
# (default 30, the CI figure; `scripts/fuzz.sh 600` is the long run). The seed corpora in
# fuzz/corpus/ are read, never written: what a run learns goes to the build folder. A target
# that finds a fault leaves the input in build/.../fuzz-artifacts/ and the script fails.
set -uo pipefail

seconds=${1:-30}
root=$(cd "$(dirname "$0")/.." && pwd)
build=${TESSEL_FUZZ_BUILD:-$root/build/fuzz}
targets=(command_stream settings_load id3v2_tags)

cmake --preset fuzz -B "$build" >/dev/null || exit 1
cmake --build "$build" -j2 --target "${targets[@]/#/tessel_fuzz_}" || exit 1

failed=()
for target in "${targets[@]}"; do
    corpus=$build/fuzz-corpus/$target
    artifacts=$build/fuzz-artifacts/$target
    mkdir -p "$corpus" "$artifacts"
    echo "== $target: ${seconds} s"
    if ! "$build/bin/tessel_fuzz_$target" -max_total_time="$seconds" -timeout=60 \
        -rss_limit_mb=4096 -print_final_stats=1 -artifact_prefix="$artifacts/" \
        "$corpus" "$root/fuzz/corpus/$target"; then
        failed+=("$target")
    fi
done

if ((${#failed[@]})); then
    echo "fuzzing found faults in: ${failed[*]} (inputs in $build/fuzz-artifacts/)"
    exit 1
fi
echo "fuzzing: ${#targets[@]} targets ran ${seconds} s each without a fault"
