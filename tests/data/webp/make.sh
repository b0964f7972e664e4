#!/usr/bin/env bash
# Remakes the WebP test pictures of this folder with Debian's webp tools (cwebp, webpmux;
# package webp) from pictures written here by formula, so the tests can work out every pixel
# the lossless ones must have. Neither the build nor the tests need the tools.
set -euo pipefail
cd "$(dirname "$0")"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# pam NAME WIDTH HEIGHT EXPRESSION: a PAM file (RGB_ALPHA) whose pixel at x, y is the Python
# expression's (red, green, blue, alpha).
pam() {
  python3 - "$work/$1" "$2" "$3" "$4" <<'PY'
import sys
path, width, height, expr = sys.argv[1], int(sys.argv[2]), int(sys.argv[3]), sys.argv[4]
pixels = bytearray()
for y in range(height):
    for x in range(width):
        pixels += bytes(v & 255 for v in eval(expr))
with open(path, "wb") as f:
    f.write(b"P7\nWIDTH %d\nHEIGHT %d\nDEPTH 4\nMAXVAL 255\nTUPLTYPE RGB_ALPHA\nENDHDR\n" % (width, height))
    f.write(pixels)
PY
}

# The formulas are repeated in tests/unit/WebpFileTest.cpp.
pam lossless.pam 61 47 '(x * 4 + y, y * 5, x * y, 255)'
pam alpha.pam 33 21 '(x * 7, y * 12, 200 - x * 3, min(255, x * 8 + y * 2))'
pam smooth.pam 48 32 '(x * 5, 64 + y * 4, 255 - x * 2 - y * 2, min(255, x * 6 + y * 3))'
pam first.pam 16 12 '(x * 16, y * 20, 128, 0 if x < 2 else 128 if y == 5 else 255)'
pam second.pam 40 30 '(30, 160, 90, 255)'

cwebp -quiet -lossless -exact "$work/lossless.pam" -o lossless.webp
cwebp -quiet -lossless -exact "$work/alpha.pam" -o alpha-lossless.webp
cwebp -quiet -q 80 "$work/smooth.pam" -o alpha-lossy.webp
cwebp -quiet -lossless -exact "$work/first.pam" -o "$work/first.webp"
cwebp -quiet -q 90 "$work/second.pam" -o "$work/second.webp"
# Canvas 40 x 30: the first frame at 10, 6 leaves the rest of the canvas empty.
webpmux -frame "$work/first.webp" +100+10+6 -frame "$work/second.webp" +100+0+0 \
  -loop 0 -bgcolor 255,255,255,255 -o animated.webp >/dev/null 2>&1
# The lossy picture with alpha again, with EXIF data whose orientation is 6 (turn it clockwise
# to show), as phones write it: "Exif\0\0", a TIFF header and one directory.
printf 'Exif\0\0II*\0\010\0\0\0\001\0\022\001\003\0\001\0\0\0\006\0\0\0\0\0\0\0' >"$work/exif"
webpmux -set exif "$work/exif" alpha-lossy.webp -o oriented.webp >/dev/null 2>&1
ls -l *.webp
