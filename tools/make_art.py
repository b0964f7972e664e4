#!/usr/bin/env python3
"""Generates the program's binary art in res/ (run from anywhere; output is committed).

icon 128 (murlavo.ico): a gilded picture frame holding a landscape: sky, sun, hills.
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


if __name__ == "__main__":
    write_ico(os.path.join(RES, "murlavo.ico"), [16, 32])
