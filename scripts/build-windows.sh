#!/usr/bin/env bash
# Builds the Windows programs (and their tests) with mingw-w64 against the project's static Qt for Windows,
# then copies Mirewatch.exe and Corvane.exe, stripped, and Readme!.txt into dist/windows/ and zips them.
#   scripts/build-windows.sh            the programs and the zip
#   scripts/build-windows.sh --werror   the same with warnings as errors (the test command)
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
jobs=${JOBS:-2}
werror=OFF
[ "${1:-}" = --werror ] && werror=ON

scripts/setup.sh
qt=$(scripts/windows-qt.sh | tail -n 1)

# The Qt toolchain file finds the static Qt outside mingw's find root and chains to the mingw toolchain.
cmake -S . -B build-win -G Ninja -DCMAKE_BUILD_TYPE=Release -DMW_WERROR="$werror" \
    -DCMAKE_TOOLCHAIN_FILE="$qt/lib/cmake/Qt6/qt.toolchain.cmake" \
    -DQT_CHAINLOAD_TOOLCHAIN_FILE="$root/cmake/mingw-w64.cmake" -DQT_HOST_PATH=/usr \
    -DMW_BENCH=OFF -DMW_FUZZ=OFF
cmake --build build-win -j"$jobs"

dist=dist/windows
rm -rf "$dist"
mkdir -p "$dist/Mirewatch"
for exe in analyser/windows/Mirewatch.exe downloader/Corvane.exe; do
    x86_64-w64-mingw32-strip -o "$dist/Mirewatch/$(basename "$exe")" "build-win/$exe"
done
# The moderators' part of README.md, which the Help window names.
cp "build-win/analyser/windows/Readme!.txt" "$dist/Mirewatch/"
(cd "$dist" && cmake -E tar cf Mirewatch-windows.zip --format=zip Mirewatch)
ls -l "$dist"/Mirewatch/*.exe "$dist"/Mirewatch-windows.zip
