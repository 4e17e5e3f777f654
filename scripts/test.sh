#!/usr/bin/env bash
# The test command: installs what is missing, builds everything and runs every test, then runs the
# whole suite again under AddressSanitizer and UndefinedBehaviorSanitizer, then the fuzzers, then the Windows
# programs and their tests, cross-built and run under Wine.
#   scripts/test.sh            everything
#   FUZZ_SECONDS=600 scripts/test.sh   longer fuzzing runs
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
jobs=${JOBS:-2}
fuzz_seconds=${FUZZ_SECONDS:-30}

step() { printf '\n=== %s\n' "$*"; }

step "Packages"
scripts/setup.sh

step "Sample ban logs are what the generator makes"
python3 scripts/make_samples.py --check

run_suite() {
    local dir=$1
    # Tests that need a real X server run under a private Xvfb with a window manager; the full unwinder shows
    # the X library frames that lsan.supp names (those libraries have no frame pointers).
    (cd "$dir" && ctest --output-on-failure -j"$jobs" -LE x11)
    (cd "$dir" && LSAN_OPTIONS="${LSAN_OPTIONS:-}:fast_unwind_on_malloc=0" "$root/scripts/with-x11.sh" ctest \
        --output-on-failure -L x11)
}

step "Build (g++, warnings are errors)"
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DMW_WERROR=ON
cmake --build build -j"$jobs"

step "Tests"
run_suite build

step "Installation into a temporary prefix"
prefix=$(mktemp -d)
cmake --install build --prefix "$prefix" > /dev/null
for program in Mirewatch Corvane; do
    name=${program,,}
    for file in "bin/$program" "share/applications/$name.desktop" "share/icons/hicolor/256x256/apps/$name.png"; do
        [ -s "$prefix/$file" ] || { echo "not installed: $file" >&2; exit 1; }
    done
    "$prefix/bin/$program" --version
done
[ -s "$prefix/share/doc/Mirewatch/Readme!.txt" ] || { echo "not installed: Readme!.txt" >&2; exit 1; }
rm -rf "$prefix"

step "Build with AddressSanitizer and UndefinedBehaviorSanitizer (clang)"
CC=clang CXX=clang++ cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DMW_WERROR=ON \
    -DMW_SANITIZE=ON -DMW_FUZZ=ON -DMW_BENCH=OFF
cmake --build build-asan -j"$jobs"

step "Tests under the sanitizers"
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export LSAN_OPTIONS=suppressions=$root/scripts/lsan.supp:print_suppressions=0
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
run_suite build-asan

step "Fuzzing, ${fuzz_seconds} s per target"
for target in banfile settings; do
    # Small seeds only: the full samples take seconds each under the sanitizers.
    corpus=$(mktemp -d)
    cp "fuzz/corpus/$target/"* "$corpus/"
    [ "$target" = banfile ] && cp examples/ban_small.txt "$corpus/"
    echo "fuzz_$target"
    # Inputs of a few dozen entries, with room for a line longer than the 4096 characters the loader keeps:
    # each input's time grows with its length, and longer files add no new kind of line.
    "build-asan/fuzz/fuzz_$target" -max_total_time="$fuzz_seconds" -max_len=4200 -print_final_stats=1 \
        "$corpus" 2>&1 | tail -n 12
    rm -rf "$corpus"
done

step "Windows build (mingw-w64 against a static Qt, built once per machine)"
scripts/build-windows.sh --werror

step "Windows tests under Wine"
unset ASAN_OPTIONS LSAN_OPTIONS UBSAN_OPTIONS
# A private Wine prefix; no Mono or Gecko installers at its first boot.
export WINEPREFIX="$root/build-win/wine" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
scripts/with-x11.sh bash -c '
    set -e
    . scripts/progress.sh
    echo "Wine: starting the test prefix (its first start takes a minute or two)"
    run_logged "Wine: starting" build-win/wineboot.log wineboot -i
    # Wine delivers focus and keys with timing of its own; an end-to-end case gets a second and third try there.
    (cd build-win && ctest --output-on-failure -j1 --repeat until-pass:3)
    scripts/windows-smoke.sh dist/windows/Mirewatch/Mirewatch.exe Mirewatch
    scripts/windows-smoke.sh dist/windows/Mirewatch/Corvane.exe "Ban log retrive"
    wineserver -k || true'

step "All tests passed"
