#!/usr/bin/env bash
# Draws the 600 x 81 banner of the "Beta Testers" window into analyser/windows/BetaBanner.png.
# Needs ImageMagick and the DejaVu fonts (both in scripts/setup.sh).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
out="$root/analyser/windows/BetaBanner.png"
convert=/usr/bin/convert
[ -x "$convert" ] || convert=convert

"$convert" -size 81x600 gradient:'#16324f-#2a6f97' -rotate 90 \
    -fill '#ffffff22' -draw 'circle 540,40 600,40' -draw 'circle 470,70 505,70' \
    -fill '#f4d35e' -draw 'rectangle 18,18 24,63' \
    -font DejaVu-Sans-Bold -pointsize 30 -fill white -annotate +36+44 'Mirewatch' \
    -font DejaVu-Sans -pointsize 15 -fill '#d8e6f3' -annotate +38+66 'Thank you for testing the ban log analyser' \
    -strip -define png:exclude-chunks=date,time "PNG24:$out"
echo "wrote $out"
