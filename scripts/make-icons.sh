#!/usr/bin/env bash
# Draws the program icons in the colours of the "Beta Testers" banner: a 256 x 256 PNG for the desktop entry and
# the window, and a Windows icon of six sizes, for each program:
#   analyser/windows/Mirewatch.png  analyser/windows/Mirewatch.ico   (a ban list under a magnifying glass)
#   downloader/Corvane.png          downloader/Corvane.ico           (an arrow down into a log file)
# Needs ImageMagick and the DejaVu fonts (both in scripts/setup.sh). The output is the same on every run.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
convert=/usr/bin/convert
[ -x "$convert" ] || convert=convert

# The rounded tile both icons stand on; the drawing arguments follow.
tile() {
    local out=$1
    shift
    "$convert" -size 256x256 gradient:'#2a6f97-#16324f' -alpha set \
        \( -size 256x256 xc:none -fill white -draw 'roundrectangle 8,8 247,247 44,44' \) \
        -compose DstIn -composite -compose Over \
        "$@" \
        -strip -define png:exclude-chunks=date,time "PNG32:$out"
    # Small sizes are resized from the large one; the ICO format itself holds no dates.
    "$convert" "$out" -define icon:auto-resize=256,64,48,32,24,16 -strip "${out%.png}.ico"
    echo "wrote $out and ${out%.png}.ico"
}

# Mirewatch: lines of a ban list, one marked, under a magnifying glass.
tile "$root/analyser/windows/Mirewatch.png" \
    -fill '#ffffffd0' \
    -draw 'roundrectangle 40,52 176,68 8,8' -draw 'roundrectangle 40,88 150,104 8,8' \
    -draw 'roundrectangle 40,160 110,176 8,8' -draw 'roundrectangle 40,196 130,212 8,8' \
    -fill '#f4d35e' -draw 'roundrectangle 40,124 122,140 8,8' \
    -stroke '#f4d35e' -strokewidth 22 -draw 'line 190,190 226,226' \
    -stroke white -strokewidth 14 -fill '#ffffff33' -draw 'circle 156,132 156,194' \
    -stroke none -fill '#f4d35e' -font DejaVu-Sans-Bold -pointsize 54 -gravity center -annotate +28+4 'M'

# Corvane: a log page with the arrow that fetches it.
tile "$root/downloader/Corvane.png" \
    -fill '#ffffffe0' -draw 'roundrectangle 52,118 204,222 14,14' \
    -fill '#16324f' -draw 'rectangle 74,174 182,182' -draw 'rectangle 74,196 150,204' \
    -fill '#f4d35e' -draw 'rectangle 110,34 146,112' -draw 'polygon 88,104 168,104 128,152' \
    -fill '#16324f' -font DejaVu-Sans-Bold -pointsize 40 -gravity northwest -annotate +68+122 'C'
