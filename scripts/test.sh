#!/usr/bin/env bash
# The test command: installs what is missing, builds everything with AddressSanitizer and
# UndefinedBehaviorSanitizer and runs every test, then the fuzzers, then the Windows programs and their tests,
# cross-built and run under Wine. Each source is compiled once per platform: the sanitizer build is also the one
# that is installed, and g++'s warnings are those of the Windows build (mingw-w64's g++, warnings are errors).
#   scripts/test.sh            everything
#   FUZZ_SECONDS=600 scripts/test.sh   longer fuzzing runs
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
jobs=${JOBS:-2}
fuzz_seconds=${FUZZ_SECONDS:-30}

# Each step's time goes into a summary at the end: where a run's time goes is seen without a profiler.
times=()
step_name="" step_start=$SECONDS
end_step() {
    [ -n "$step_name" ] && times+=("$(printf '%3d:%02d  %s' $(((SECONDS - step_start) / 60)) $(((SECONDS - step_start) % 60)) "$step_name")")
    step_start=$SECONDS
}
step() {
    end_step
    step_name=$*
    printf '\n=== %s (at %d:%02d)\n' "$*" $((SECONDS / 60)) $((SECONDS % 60))
}

step "Packages"
scripts/setup.sh

# Runs a command in the background in a session of its own, so that it can be stopped whole, at a lower priority;
# where the kernel groups processes by session for scheduling, that group's priority is lowered too.
in_background() {
    setsid bash -c 'echo 10 >/proc/self/autogroup 2>/dev/null; exec nice -n 10 "$@"' in_background "$@" &
}
qt_pid="" wine_pid=""
stop_background() {
    for pid in $qt_pid $wine_pid; do kill -- -"$pid" 2>/dev/null || true; done
}
trap stop_background EXIT

# The static Qt for Windows, when this machine has none yet, builds beside the Linux legs: it gets what they
# leave of the two cores (a window test mostly waits). Its progress shows every minute.
if ! scripts/windows-qt.sh --cached >/dev/null 2>&1; then
    echo "Qt for Windows: not built on this machine yet; it builds now, beside the Linux legs (see README.md)"
    in_background scripts/windows-qt.sh >/dev/null
    qt_pid=$!
fi
# So does the first start of the Wine prefix the Windows tests run in, on an X server of its own. It ends when
# Wine has finished setting the prefix up: tests started while it still worked took seconds more each.
wine_env=(WINEPREFIX="$root/build-win/wine" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=")
mkdir -p build-win
in_background env "${wine_env[@]}" scripts/with-x11.sh bash -c '. scripts/progress.sh
    run_logged "Wine: first start of the test prefix" build-win/wineboot.log bash -c "wineboot -i && timeout 600 wineserver -w"'
wine_pid=$!

step "Sample ban logs are what the generator makes"
python3 scripts/make_samples.py --check

step "Build with AddressSanitizer and UndefinedBehaviorSanitizer (clang, warnings are errors)"
CC=clang CXX=clang++ cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DMW_WERROR=ON \
    -DMW_SANITIZE=ON -DMW_FUZZ=ON
cmake --build build-asan -j"$jobs"

step "Tests under the sanitizers"
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export LSAN_OPTIONS=suppressions=$root/scripts/lsan.supp:print_suppressions=0
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
# Tests that need a real X server run under a private Xvfb with a window manager; the full unwinder shows the X
# library frames that lsan.supp names (those libraries have no frame pointers).
(cd build-asan && ctest --output-on-failure -j"$jobs" -LE x11)
(cd build-asan && LSAN_OPTIONS="$LSAN_OPTIONS:fast_unwind_on_malloc=0" "$root/scripts/with-x11.sh" ctest \
    --output-on-failure -L x11)

step "Installation into a temporary prefix"
prefix=$(mktemp -d)
cmake --install build-asan --prefix "$prefix" > /dev/null
for program in Mirewatch Corvane; do
    name=${program,,}
    for file in "bin/$program" "share/applications/$name.desktop" "share/icons/hicolor/256x256/apps/$name.png"; do
        [ -s "$prefix/$file" ] || { echo "not installed: $file" >&2; exit 1; }
    done
    "$prefix/bin/$program" --version
done
[ -s "$prefix/share/doc/Mirewatch/Readme!.txt" ] || { echo "not installed: Readme!.txt" >&2; exit 1; }
rm -rf "$prefix"

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
if [ -n "$qt_pid" ]; then
    # Nothing else is left to do here: the Qt build gets its full priority back (where that is allowed), or a
    # build of another program beside this one would take nearly all of the cores from it.
    renice -n 0 -g "$qt_pid" >/dev/null 2>&1 || true
    echo 0 >/proc/"$qt_pid"/autogroup 2>/dev/null || true
    echo "Qt for Windows: waiting for its build to end"
    wait "$qt_pid" || { echo "Qt for Windows could not be built (see the lines above)" >&2; exit 1; }
    qt_pid=""
fi
scripts/build-windows.sh --werror

step "Windows tests under Wine"
unset ASAN_OPTIONS LSAN_OPTIONS UBSAN_OPTIONS
# A private Wine prefix; no Mono or Gecko installers at its first boot.
export "${wine_env[@]}"
wait "$wine_pid" || { echo "Wine could not start its prefix (see build-win/wineboot.log)" >&2; exit 1; }
wine_pid=""
scripts/with-x11.sh bash -c '
    set -e
    # Each window test also writes its output to build-win/test-logs/<test>.txt, kept after the run.
    (cd build-win && ctest --output-on-failure -j1) ||
        { echo "The Windows tests failed; their output is in build-win/test-logs/" >&2; exit 1; }
    scripts/windows-smoke.sh dist/windows/Mirewatch/Mirewatch.exe Mirewatch
    scripts/windows-smoke.sh dist/windows/Mirewatch/Corvane.exe "Ban log retrive"
    wineserver -k || true'

end_step
printf '\n=== Times (minutes:seconds)\n'
printf '%s\n' "${times[@]}"
printf '%3d:%02d  in all\n' $((SECONDS / 60)) $((SECONDS % 60))
printf '\n=== All tests passed\n'
