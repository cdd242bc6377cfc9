#!/usr/bin/env bash
# Draws the program's pictures with ImageMagick. The results are committed next to this
# script, so that a build needs no ImageMagick; run it again after changing a picture.
#   16x16 tree images, 256 colours, pure white as the transparent colour (so no picture
#   uses pure white itself); the banner and the logo, 24-bit; the program icon.
set -euo pipefail
cd "$(dirname "$0")"
font=DejaVu-Sans-Bold
light=DejaVu-Sans

# ImageMagick writes the fewest bits a palette needs; the tree images are to be 8 bits.
tree_image() { # name draw-commands...
    local name=$1
    shift
    convert -size 16x16 xc:white +antialias "$@" -depth 8 rgb:- | python3 -c '
import struct, sys
w = h = 16
rgb = sys.stdin.buffer.read()
pixels = [rgb[i:i + 3] for i in range(0, w * h * 3, 3)]
palette = sorted(set(pixels))
assert len(palette) <= 256
index = {c: i for i, c in enumerate(palette)}
rows = b"".join(bytes(index[p] for p in pixels[y * w:(y + 1) * w]) for y in reversed(range(h)))
table = b"".join(bytes((c[2], c[1], c[0], 0)) for c in palette) + bytes(4 * (256 - len(palette)))
offset = 14 + 40 + len(table)
sys.stdout.buffer.write(b"BM" + struct.pack("<IHHI", offset + len(rows), 0, 0, offset)
    + struct.pack("<IiiHHIIiiII", 40, w, h, 1, 8, 0, len(rows), 2835, 2835, 256, 0) + table + rows)
' >"$name.bmp"
}

# Closed folder, open folder, document, drive.
tree_image folder-closed -fill '#E8B84A' -stroke '#9A6F12' \
    -draw 'polygon 1,3 6,3 7,5 14,5 14,13 1,13' -draw 'line 1,6 14,6'
tree_image folder-open -fill '#E8B84A' -stroke '#9A6F12' \
    -draw 'polygon 1,3 6,3 7,5 13,5 13,7 1,7' -fill '#F5D27A' -draw 'polygon 1,13 3,7 15,7 13,13'
tree_image document -fill '#F4F4F4' -stroke '#5A6472' \
    -draw 'polygon 3,1 10,1 13,4 13,14 3,14' -draw 'line 10,1 10,4' -draw 'line 10,4 13,4' \
    -stroke '#8FA0B5' -draw 'line 5,7 11,7' -draw 'line 5,9 11,9' -draw 'line 5,11 9,11'
tree_image drive -fill '#B8C2CC' -stroke '#4C5661' \
    -draw 'roundrectangle 1,5 14,11 2,2' -fill '#3FBF5F' -stroke none -draw 'rectangle 11,8 12,9'

# The banner across the main window and the About box's logo.
convert -size 498x57 gradient:'#1F3A5F-#3C6E9F' \
    -fill '#F2F5F8' -font "$font" -pointsize 30 -annotate +16+38 'Tarnwick' \
    -fill '#C9D8E8' -font "$light" -pointsize 14 -annotate +180+36 'Erased means gone, for good' \
    -type TrueColor BMP3:banner.bmp
convert -size 597x112 gradient:'#1F3A5F-#3C6E9F' \
    -fill '#F2F5F8' -font "$font" -pointsize 48 -annotate +24+66 'Tarnwick' \
    -fill '#C9D8E8' -font "$light" -pointsize 16 -annotate +26+94 'Secure erasing of files, folders and drives' \
    -type TrueColor BMP3:logo.bmp

# The program icon: a sheet being shredded into strips.
icon_frame() { # size
    local s=$1
    convert -size "${s}x${s}" xc:none -fill '#2E5A88' -draw "roundrectangle 0,0 $((s - 1)),$((s - 1)) $((s / 6)),$((s / 6))" \
        -fill '#F2F5F8' -draw "rectangle $((s / 4)),$((s / 6)) $((3 * s / 4)),$((s / 2))" \
        -draw "rectangle $((s / 4)),$((s / 2 + s / 12)) $((s / 4 + s / 10)),$((5 * s / 6))" \
        -draw "rectangle $((s / 2 - s / 20)),$((s / 2 + s / 12)) $((s / 2 + s / 20)),$((5 * s / 6))" \
        -draw "rectangle $((3 * s / 4 - s / 10)),$((s / 2 + s / 12)) $((3 * s / 4)),$((5 * s / 6))" \
        "icon-$s.png"
}
for size in 16 32 48; do icon_frame "$size"; done
convert icon-16.png icon-32.png icon-48.png morvane.ico
rm -f icon-16.png icon-32.png icon-48.png
