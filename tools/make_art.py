#!/usr/bin/env python3
"""Generates the program's binary art in res/ (run from anywhere; output is committed).

icon 128 (murlavo.ico): a gilded picture frame holding a landscape: sky, sun, hills; 16, 20, 24,
    32 and 48 pixels square, so the notification area (16 at 100 % up to 32 at 200 %) and the
    shell pick an image drawn at their size instead of a scaled one.
cursor 132 (transparent.cur): a 32 x 32 monochrome cursor that shows nothing.
bitmap 133 (hint_logo.bmp): a 145 x 40, 16-colour logo: the framed landscape and "Murlavo".
bitmap 132 (tree.bmp): the library tree's 64 x 16, 16-colour strip: closed folder, open folder,
    picture page, red cross, on magenta (the mask colour).
bitmap 137 (about_logo.bmp): the About box's 192 x 192, 256-colour logo on pure blue (the key colour).
bitmap 158 (badge.bmp): the About box's 80 x 31, 256-colour badge: small framed landscape and name.
cursor 138 (hand.cur): a 32 x 32 monochrome hand pointing up, hotspot (0, 0) at the fingertip.
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


def draw_text(px, text, x0, y0, scale, colour, pitch=7):
    """Writes text in FONT into a grid of pixels; letters are pitch pixels apart per scale step."""
    for i, ch in enumerate(text):
        for gy, row in enumerate(FONT[ch]):
            for gx, bit in enumerate(row):
                if bit == "1":
                    for dy in range(scale):
                        for dx in range(scale):
                            px[y0 + gy * scale + dy][x0 + (i * pitch + gx) * scale + dx] = colour


def write_bmp(path, px, palette, bits):
    """An uncompressed 4- or 8-bit BMP from a grid of palette indices, top row first."""
    height, width = len(px), len(px[0])
    stride = ((width * bits + 31) // 32) * 4
    per_byte = 8 // bits
    rows = bytearray()
    for row in reversed(px):
        data = bytearray(stride)
        for x, index in enumerate(row):
            shift = (per_byte - 1 - x % per_byte) * bits
            data[x // per_byte] |= index << shift
        rows += data
    table = b"".join(bytes((b, g, r, 0)) for (r, g, b) in palette)
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, bits, 0, len(rows), 0, 0, len(palette), 0)
    offset = 14 + len(info) + len(table)
    head = struct.pack("<2sIHHI", b"BM", offset + len(rows), 0, 0, offset)
    with open(path, "wb") as f:
        f.write(head + info + table + rows)


def write_hint_logo(path):
    """145 x 40, 4 bits per pixel: the framed landscape at the left, the name in white on navy."""
    width, height = 145, 40
    navy = nearest((0, 0, 128), VGA16)
    px = [[navy] * width for _ in range(height)]
    motif = landscape_frame(32)
    for y in range(32):
        for x in range(32):
            px[4 + y][4 + x] = nearest(motif[y][x][:3], VGA16)
    draw_text(px, "Murlavo", 44, 13, 2, nearest((255, 255, 255), VGA16))
    write_bmp(path, px, VGA16, 4)


# The library tree's four 16 x 16 images, drawn in VGA16 colours; "." is the magenta mask colour.
TREE_KEYS = {
    ".": (255, 0, 255), "k": (0, 0, 0), "g": (128, 128, 128), "s": (192, 192, 192),
    "w": (255, 255, 255), "y": (255, 255, 0), "o": (128, 128, 0), "c": (0, 255, 255),
    "G": (0, 128, 0), "L": (0, 255, 0), "r": (255, 0, 0), "R": (128, 0, 0),
}

CLOSED_FOLDER = [
    "................",
    "................",
    "..kkkkk.........",
    ".kwyyyyk........",
    "kwyyyyyykkkkkkk.",
    "kwwwwwwwwwwwwwok",
    "kwyyyyyyyyyyyyok",
    "kwyyyyyyyyyyyyok",
    "kwyyyyyyyyyyyyok",
    "kwyyyyyyyyyyyyok",
    "kwyyyyyyyyyyyyok",
    "kwyyyyyyyyyyyyok",
    "kwyyyyyyyyyyyyok",
    "kooooooooooooook",
    "kkkkkkkkkkkkkkkk",
    "................",
]

OPEN_FOLDER = [
    "................",
    "................",
    ".kkkkk..........",
    "kwyyyyk.........",
    "kyoooookkkkkkk..",
    "kyoooooooooooook",
    "kyookkkkkkkkkkkk",
    "kyokwwwwwwwwwwwk",
    "kyokyyyyyyyyyyk.",
    "kykwyyyyyyyyyyk.",
    "kykyyyyyyyyyyk..",
    "kkwyyyyyyyyyyk..",
    "kkyyyyyyyyyyk...",
    "kyyyyyyyyyyyk...",
    "kkkkkkkkkkkkk...",
    "................",
]

PICTURE_PAGE = [
    "................",
    "..ggggggggg.....",
    "..gwwwwwwwgg....",
    "..gwwwwwwwgwg...",
    "..gwwwwwwwgggg..",
    "..gwwwwwwwwwwg..",
    "..gwkkkkkkkkwg..",
    "..gwkccccyykwg..",
    "..gwkccccyykwg..",
    "..gwkcLcccckwg..",
    "..gwkLLcGGGkwg..",
    "..gwkGGGGGGkwg..",
    "..gwkkkkkkkkwg..",
    "..gwwwwwwwwwwg..",
    "..gggggggggggg..",
    "................",
]


def red_cross():
    """A thick red X with a dark red rim."""
    rows = []
    for y in range(16):
        row = ""
        for x in range(16):
            d = min(abs(x - y), abs(x + y - 15)) if 1 <= x <= 14 and 1 <= y <= 14 else 9
            row += "r" if d <= 1 else "R" if d == 2 else "."
        rows.append(row)
    return rows


def write_tree_strip(path):
    """64 x 16, 4 bits per pixel: closed folder, open folder, picture page, red cross."""
    images = [CLOSED_FOLDER, OPEN_FOLDER, PICTURE_PAGE, red_cross()]
    px = [[] for _ in range(16)]
    for image in images:
        assert len(image) == 16 and all(len(row) == 16 for row in image)
        for y, row in enumerate(image):
            px[y] += [VGA16.index(TREE_KEYS[c]) for c in row]
    write_bmp(path, px, VGA16, 4)


def write_palette_bmp(path, rgb):
    """An 8-bit BMP from a grid of (r, g, b); the picture must use at most 256 colours."""
    palette = sorted({c for row in rgb for c in row})
    assert len(palette) <= 256, len(palette)
    index = {c: i for i, c in enumerate(palette)}
    write_bmp(path, [[index[c] for c in row] for row in rgb], palette, 8)


KEY_BLUE = (0, 0, 255)  # The About box paints this colour in the menu colour.


def write_about_logo(path):
    """192 x 192, 8 bits per pixel: the framed landscape with a shadow and the name under it,
    on a pure-blue ground that the About box replaces by the menu colour."""
    size, motif_size, left, top = 192, 140, 24, 8
    rgb = [[None] * size for _ in range(size)]
    for y in range(motif_size):
        for x in range(motif_size):
            rgb[top + 5 + y][left + 5 + x] = (96, 96, 96)
    motif = landscape_frame(motif_size)
    for y in range(motif_size):
        for x in range(motif_size):
            rgb[top + y][left + x] = motif[y][x][:3]
    draw_text(rgb, "Murlavo", (size - (7 * 7 - 2) * 3) // 2, 162, 3, (24, 24, 72))
    # Only the ground may carry the key colour, and it must stay a sizeable area.
    assert all(c != KEY_BLUE for row in rgb for c in row)
    assert sum(row.count(None) for row in rgb) > size * size // 4
    write_palette_bmp(path, [[c or KEY_BLUE for c in row] for row in rgb])


def write_badge(path):
    """80 x 31, 8 bits per pixel: a small framed landscape and the name, navy on a light panel."""
    width, height = 80, 31
    rgb = [[(236, 232, 220)] * width for _ in range(height)]
    for y in range(height):
        for x in range(width):
            if x in (0, width - 1) or y in (0, height - 1):
                rgb[y][x] = (120, 72, 20)
            elif x in (1, width - 2) or y in (1, height - 2):
                rgb[y][x] = (214, 160, 58)
    motif = landscape_frame(23)
    for y in range(23):
        for x in range(23):
            rgb[4 + y][4 + x] = motif[y][x][:3]
    draw_text(rgb, "Murlavo", 33, 12, 1, (0, 0, 128), pitch=6)
    write_palette_bmp(path, rgb)


# The link cursor: a hand pointing up, its fingertip at the hot spot (0, 0).
# "k" is black, "w" white, anything else shows the screen.
HAND = [
    ".kkk.",
    "kwwwk",
    "kwwwk",
    "kwwwk",
    "kwwwk",
    "kwwwk",
    "kwwwkkk",
    "kwwwkwwkkk",
    "kwwwkwwkwwkkk",
    "kwwwkwwkwwkwwk",
    "kwwwkwwkwwkwwwk",
    "kwwwwwwwwwwwwwk",
    "kwwwwwwwwwwwwwk",
    "kwwwwwwwwwwwwwk",
    ".kwwwwwwwwwwwwk",
    ".kwwwwwwwwwwwk",
    "..kwwwwwwwwwk",
    "..kwwwwwwwwwk",
    "..kkkkkkkkkkk",
    "..kwwwwwwwwwk",
    "..kwwwwwwwwwk",
    "..kkkkkkkkkkk",
]


def write_hand_cursor(path):
    """32 x 32 monochrome cursor, hotspot (0, 0): black and white where HAND draws, else transparent."""
    size = 32
    rows = [row.ljust(size, ".") for row in HAND] + ["." * size] * (size - len(HAND))
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 1, 0, 0, 0, 0, 2, 0)
    palette = bytes((0, 0, 0, 0, 255, 255, 255, 0))
    xor = bytearray()
    and_mask = bytearray()
    for row in reversed(rows):
        xbits, abits = bytearray(4), bytearray(4)
        for x, c in enumerate(row):
            if c == "w":
                xbits[x // 8] |= 0x80 >> (x % 8)
            elif c != "k":
                abits[x // 8] |= 0x80 >> (x % 8)
        xor += xbits
        and_mask += abits
    image = header + palette + bytes(xor) + bytes(and_mask)
    out = struct.pack("<HHH", 0, 2, 1)
    out += struct.pack("<BBBBHHII", size, size, 0, 0, 0, 0, len(image), 6 + 16)
    with open(path, "wb") as f:
        f.write(out + image)


if __name__ == "__main__":
    write_ico(os.path.join(RES, "murlavo.ico"), [16, 20, 24, 32, 48])
    write_transparent_cursor(os.path.join(RES, "transparent.cur"))
    write_hint_logo(os.path.join(RES, "hint_logo.bmp"))
    write_tree_strip(os.path.join(RES, "tree.bmp"))
    write_about_logo(os.path.join(RES, "about_logo.bmp"))
    write_badge(os.path.join(RES, "badge.bmp"))
    write_hand_cursor(os.path.join(RES, "hand.cur"))
