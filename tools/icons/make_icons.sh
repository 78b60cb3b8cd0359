#!/usr/bin/env bash
# Renders the emblem into the monitor's three icon files (the build runs it; nothing is committed):
#   running.ico  one 56 px image at 32 bits
#   stopped.ico  the same image in greys
#   small.ico    16 and 32 px at 4 bits; 16, 32 and 48 px at 8 bits and at 32 bits
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

# Stopped: luminance, lifted and flattened into light greys, so it reads as switched off.
convert "$work/56.png" -grayscale Rec601Luma +level 36%,91% PNG32:"$work/56-grey.png"

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
