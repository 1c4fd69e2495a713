#!/usr/bin/env bash
# Fuzzes every reader for SECONDS seconds each with libFuzzer, AddressSanitizer and
# UndefinedBehaviorSanitizer (clang). Findings are written to fuzz/regressions/<reader>/, where
# CTest replays them on every test run; the growing corpus stays in the build directory.
# Usage: fuzz/run.sh SECONDS [HARNESS...]   (harnesses: bmp m8 m32 wal swl project png tga pcx pak wad map mip palette sidecar; default all)
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${1:?usage: fuzz/run.sh SECONDS [HARNESS...]}
shift
harnesses=("$@")
[ ${#harnesses[@]} -gt 0 ] || harnesses=(bmp m8 m32 wal swl project png tga pcx pak wad map mip palette sidecar)

command -v clang++ >/dev/null || { echo "fuzz/run.sh needs clang (apt-get install clang)" >&2; exit 1; }
build=build/fuzz
CXX=clang++ cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTEXELARY_FUZZ=ON \
    -DTEXELARY_BUILD_TESTS=OFF -DTEXELARY_BUILD_UI=OFF -DTEXELARY_BUILD_BENCH=OFF \
    -DTEXELARY_WARNINGS_AS_ERRORS=OFF >/dev/null
cmake --build "$build" --parallel "$(nproc)" --target "${harnesses[@]/#/fuzz_}"

# A smaller quarantine keeps freed memory from counting towards the limit below.
export ASAN_OPTIONS=${ASAN_OPTIONS:-quarantine_size_mb=16}

for name in "${harnesses[@]}"; do
    corpus="$build/corpus/$name"
    findings="fuzz/regressions/$name"
    mkdir -p "$corpus" "$findings"
    echo "== $name: $seconds s"
    # A hostile header must never cost more memory than its file could fill: 512 MB is a finding.
    "$build/fuzz/fuzz_$name" "$corpus" "fuzz/seeds/$name" \
        -max_total_time="$seconds" -rss_limit_mb=512 -timeout=10 -print_final_stats=1 \
        -artifact_prefix="$findings/" 2>&1 | tee "$build/$name.log" | grep -E '^(#[0-9]+ +DONE|stat::|==.*ERROR|SUMMARY)' || true
done
