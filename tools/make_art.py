#!/usr/bin/env python3
"""Generates the program's binary art in res/ (run from anywhere; output is committed).

icon 128 (murlavo.ico): a gilded picture frame holding a landscape: sky, sun, hills.
cursor 132 (transparent.cur): a 32 x 32 monochrome cursor that shows nothing.
bitmap 133 (hint_logo.bmp): a 145 x 40, 16-colour logo: the framed landscape and "Murlavo".
"""
import os
import struct

RES = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "res")


def landscape_frame(size):
    """Pixels (r, g, b, a) of the frame-and-landscape motif, top row first."""
    px = [[(0, 0, 0, 0)] * size for _ in range(size)]
    frame = max(2, size // 8)
    for y in range(size):
        for x in range(size):
            edge = min(x, y, size - 1 - x, size - 1 - y)
            if edge < frame:
                # Gilded frame, lighter on the outer and inner rims.
                if edge == 0 or edge == frame - 1:
                    px[y][x] = (120, 72, 20, 255)
                else:
                    px[y][x] = (214, 160, 58, 255)
                continue
            u = (x - frame) / (size - 2 * frame)
            v = (y - frame) / (size - 2 * frame)
            # Sky gradient.
            sky = (int(90 + 100 * v), int(150 + 70 * v), 235, 255)
            colour = sky
            # Sun in the upper right.
            if (u - 0.72) ** 2 + (v - 0.28) ** 2 < 0.018:
                colour = (255, 220, 40, 255)
            # Two hills.
            far = 0.62 - 0.18 * max(0.0, 1 - abs(u - 0.3) * 2.6)
            near = 0.78 - 0.22 * max(0.0, 1 - abs(u - 0.75) * 2.2)
            if v > far:
                colour = (70, 140, 60, 255)
            if v > near:
                colour = (40, 110, 40, 255)
            px[y][x] = colour
    return px


def ico_image(px):
    """One 32-bit icon image: BITMAPINFOHEADER (double height), BGRA rows bottom-up, AND mask."""
    size = len(px)
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    xor = b"".join(bytes((b, g, r, a)) for row in reversed(px) for (r, g, b, a) in row)
    mask_stride = ((size + 31) // 32) * 4
    mask = bytearray()
    for row in reversed(px):
        bits = bytearray(mask_stride)
        for x, (_, _, _, a) in enumerate(row):
            if a == 0:
                bits[x // 8] |= 0x80 >> (x % 8)
        mask += bits
    return header + xor + bytes(mask)


def write_ico(path, sizes):
    images = [ico_image(landscape_frame(s)) for s in sizes]
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for s, data in zip(sizes, images):
        out += struct.pack("<BBBBHHII", s, s, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
    out += b"".join(images)
    with open(path, "wb") as f:
        f.write(out)


def write_transparent_cursor(path):
    """32 x 32 monochrome cursor, hotspot (0, 0): AND mask all ones, XOR mask all zeros."""
    size = 32
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 1, 0, 0, 0, 0, 2, 0)
    palette = bytes((0, 0, 0, 0, 255, 255, 255, 0))
    xor = bytes(4 * size)
    and_mask = bytes([0xFF]) * (4 * size)
    image = header + palette + xor + and_mask
    out = struct.pack("<HHH", 0, 2, 1)
    out += struct.pack("<BBBBHHII", size, size, 0, 0, 0, 0, len(image), 6 + 16)
    with open(path, "wb") as f:
        f.write(out + image)


# The 16 colours of the standard VGA palette.
VGA16 = [
    (0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0), (0, 0, 128), (128, 0, 128), (0, 128, 128),
    (192, 192, 192), (128, 128, 128), (255, 0, 0), (0, 255, 0), (255, 255, 0), (0, 0, 255),
    (255, 0, 255), (0, 255, 255), (255, 255, 255),
]

# A 5 x 7 pixel font for the letters of the name.
FONT = {
    "M": ["10001", "11011", "10101", "10101", "10001", "10001", "10001"],
    "u": ["00000", "00000", "10001", "10001", "10001", "10011", "01101"],
    "r": ["00000", "00000", "10110", "11001", "10000", "10000", "10000"],
    "l": ["01100", "00100", "00100", "00100", "00100", "00100", "01110"],
    "a": ["00000", "00000", "01110", "00001", "01111", "10001", "01111"],
    "v": ["00000", "00000", "10001", "10001", "10001", "01010", "00100"],
    "o": ["00000", "00000", "01110", "10001", "10001", "10001", "01110"],
}


def nearest(colour, palette):
    return min(range(len(palette)), key=lambda i: sum((a - b) ** 2 for a, b in zip(colour, palette[i])))


def write_hint_logo(path):
    """145 x 40, 4 bits per pixel: the framed landscape at the left, the name in white on navy."""
    width, height = 145, 40
    navy = nearest((0, 0, 128), VGA16)
    px = [[navy] * width for _ in range(height)]
    motif = landscape_frame(32)
    for y in range(32):
        for x in range(32):
            px[4 + y][4 + x] = nearest(motif[y][x][:3], VGA16)
    scale, x0, y0 = 2, 44, 13
    white = nearest((255, 255, 255), VGA16)
    for i, ch in enumerate("Murlavo"):
        for gy, row in enumerate(FONT[ch]):
            for gx, bit in enumerate(row):
                if bit == "1":
                    for dy in range(scale):
                        for dx in range(scale):
                            px[y0 + gy * scale + dy][x0 + i * 14 + gx * scale + dx] = white
    stride = ((width * 4 + 31) // 32) * 4
    rows = bytearray()
    for row in reversed(px):
        data = bytearray(stride)
        for x, index in enumerate(row):
            data[x // 2] |= index << (4 if x % 2 == 0 else 0)
        rows += data
    palette = b"".join(bytes((b, g, r, 0)) for (r, g, b) in VGA16)
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 4, 0, len(rows), 0, 0, 16, 0)
    offset = 14 + len(info) + len(palette)
    head = struct.pack("<2sIHHI", b"BM", offset + len(rows), 0, 0, offset)
    with open(path, "wb") as f:
        f.write(head + info + palette + rows)


if __name__ == "__main__":
    write_ico(os.path.join(RES, "murlavo.ico"), [16, 32])
    write_transparent_cursor(os.path.join(RES, "transparent.cur"))
    write_hint_logo(os.path.join(RES, "hint_logo.bmp"))
