#!/usr/bin/env bash
# Renders the emblem into the monitor's three icon files (the build runs it; nothing is committed):
#   running.ico  one 56 px image at 32 bits
#   stopped.ico  the same drawing in its grey palette
#   small.ico    16 and 32 px at 4 bits; 16, 32 and 48 px at 8 bits and at 32 bits
# then measures both looks as the shell draws them (contrast.md beside them, and the pictures
# taskbar-light.png and taskbar-dark.png of both at 100 and 200 %): a build whose looks fall
# below their goals stops (tools/icons/measure.py).
# Usage: make_icons.sh EMBLEM.svg OUT_DIR
set -euo pipefail
svg=$1
out=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$out"

for size in 16 32 48 56; do
  rsvg-convert -w $size -h $size "$svg" -o "$work/$size.png"
done

# Stopped: the same drawing in greys, each colour of the running look given its own: a dark grey
# outline that a light taskbar shows, a light rim and body that a dark one shows, a mid-grey chip.
sed -e 's/#091b42/#262626/' -e 's/#86a9da/#f6f6f6/' -e 's/#5580bf/#dcdcdc/' \
  -e 's/#2e68be/#ececec/' -e 's/#163e8a/#d6d6d6/' -e 's/#1a4896/#dedede/' -e 's/#0c2660/#c8c8c8/' \
  -e 's/#ffe48c/#8c8c8c/' -e 's/#d6a034/#6e6e6e/' "$svg" >"$work/grey.svg"
rsvg-convert -w 56 -h 56 "$work/grey.svg" -o "$work/56-grey.png"

# Palette images have no partial transparency: a pixel is drawn if at least half covered, else
# masked out. Flat colours without dithering keep the small sizes clean.
palette() {  # size colours
  convert "$work/$1.png" -channel A -threshold 50% +channel +dither -colors $2 PNG8:"$work/$1-$2.png"
  echo "$work/$1-$2.png"
}

# icotool takes each image's bit depth from the -b before it.
icotool -c -o "$out/running.ico" -b 32 "$work/56.png"
icotool -c -o "$out/stopped.ico" -b 32 "$work/56-grey.png"
icotool -c -o "$out/small.ico" \
  -b 4 "$(palette 16 16)" "$(palette 32 16)" \
  -b 8 "$(palette 16 256)" "$(palette 32 256)" "$(palette 48 256)" \
  -b 32 "$work/16.png" "$work/32.png" "$work/48.png"

# Both looks as the shell draws them, read back from the icon files.
icotool -x -o "$work" "$out/running.ico" "$out/stopped.ico"
"$(dirname "$0")/measure.py" "$work"/running_*56x56x32.png "$work"/stopped_*56x56x32.png "$out/contrast.md" "$out"
