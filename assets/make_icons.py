#!/usr/bin/env python3
"""Draws Pixelwain's icons and writes them as 16-colour ICO and PNG files.

Uses the Python standard library only, so the icons can be rebuilt anywhere:

    python3 assets/make_icons.py [OUTPUT_FOLDER]

Writes pixelwain.ico and pixelwain.png (the window icon: stacked photos with a
mountain landscape, 32 x 32) and pxwicon.ico (the default album icon: a photo
album with a picture on its cover, 32 x 32 and 48 x 48). Every image is a
4-bit palette image; palette index 0 is transparent.
"""

import math
import os
import struct
import sys
import zlib

TRANSPARENT = 0

# Window icon palette: (red, green, blue); index 0 is the transparent colour.
WINDOW_PALETTE = [
    (0, 0, 0),  # 0 transparent
    (40, 44, 56),  # 1 outline
    (252, 252, 248),  # 2 white photo border
    (196, 198, 204),  # 3 border shade
    (74, 134, 214),  # 4 sky
    (150, 200, 246),  # 5 sky near the horizon
    (255, 220, 52),  # 6 sun
    (242, 150, 28),  # 7 sun rim
    (34, 100, 58),  # 8 far mountain
    (78, 158, 74),  # 9 near mountain
    (236, 242, 250),  # 10 snow
    (112, 120, 140),  # 11 rock
    (236, 222, 188),  # 12 back photo paper
    (44, 92, 160),  # 13 lake
    (160, 120, 82),  # 14 back photo picture
    (126, 196, 96),  # 15 meadow
]

# Album icon palette.
ALBUM_PALETTE = [
    (0, 0, 0),  # 0 transparent
    (36, 30, 34),  # 1 outline
    (168, 40, 44),  # 2 cover
    (116, 22, 30),  # 3 spine
    (206, 80, 78),  # 4 cover highlight
    (232, 186, 64),  # 5 gold
    (246, 238, 214),  # 6 page edges
    (178, 168, 150),  # 7 page lines
    (252, 252, 248),  # 8 photo border
    (74, 134, 214),  # 9 sky
    (150, 200, 246),  # 10 sky near the horizon
    (255, 220, 52),  # 11 sun
    (78, 158, 74),  # 12 mountain
    (34, 100, 58),  # 13 far mountain
    (236, 242, 250),  # 14 snow
    (126, 196, 96),  # 15 meadow
]


def inside_rotated_rect(px, py, cx, cy, half_w, half_h, angle_deg):
    a = math.radians(angle_deg)
    dx, dy = px - cx, py - cy
    u = dx * math.cos(a) + dy * math.sin(a)
    v = -dx * math.sin(a) + dy * math.cos(a)
    return abs(u) <= half_w and abs(v) <= half_h


def below_peak(px, py, peak_x, peak_y, slope):
    """True below the two flanks of a mountain whose top is at (peak_x, peak_y)."""
    return py >= peak_y + abs(px - peak_x) * slope


def landscape(px, py, left, top, right, bottom, colours, sun_r=0.14):
    """Sky, sun, two mountains, a meadow and a lake inside the given picture area.

    Coordinates are in the same units as the area; colours maps part names to
    palette indices, and parts missing from it are drawn with a neighbour's colour."""
    w, h = right - left, bottom - top
    x, y = (px - left) / w, (py - top) / h
    sun_distance = math.hypot(x - 0.78, (y - 0.24) * h / w)
    if y >= 0.84:
        if x > 0.58 and y >= 0.9:
            return colours.get("lake", colours["meadow"])
        return colours["meadow"]
    if below_peak(x, y, 0.36, 0.22, 1.05):
        if y < 0.39 and not below_peak(x, y, 0.36, 0.36, 0.6):
            return colours["snow"]
        if y < 0.46 and not below_peak(x, y, 0.36, 0.43, 0.6):
            return colours.get("rock", colours["mountain"])
        return colours["mountain"]
    if below_peak(x, y, 0.64, 0.46, 0.75):
        return colours["far_mountain"]
    if sun_distance <= sun_r:
        rim = sun_distance > sun_r - 1.0 / w and "sun_rim" in colours
        return colours["sun_rim"] if rim else colours["sun"]
    return colours["horizon"] if y > 0.58 else colours["sky"]


def draw_window_icon(size=32):
    """Two stacked photographs: a tilted one behind, a landscape in front."""
    pixels = [[TRANSPARENT] * size for _ in range(size)]
    s = size / 32.0
    colours = {
        "meadow": 15,
        "snow": 10,
        "mountain": 9,
        "far_mountain": 8,
        "sun": 6,
        "sun_rim": 7,
        "rock": 11,
        "lake": 13,
        "horizon": 5,
        "sky": 4,
    }
    for row in range(size):
        for col in range(size):
            px, py = (col + 0.5) / s, (row + 0.5) / s
            # Back photo, tilted, peeking out above and to the right.
            if inside_rotated_rect(px, py, 19.0, 12.5, 11.0, 9.0, 8.0):
                if inside_rotated_rect(px, py, 19.0, 12.5, 10.0, 8.0, 8.0):
                    inner = inside_rotated_rect(px, py, 19.0, 12.5, 8.0, 6.0, 8.0)
                    pixels[row][col] = 14 if inner else 12
                else:
                    pixels[row][col] = 1
            # Front photo.
            if 2 <= px <= 27 and 10 <= py <= 30:
                if px < 3 or px > 26 or py < 11 or py > 29:
                    pixels[row][col] = 1
                elif 5 <= px <= 24 and 13 <= py <= 27:
                    pixels[row][col] = landscape(px, py, 5, 13, 24, 27, colours)
                elif px > 25 or py > 28:
                    pixels[row][col] = 3
                else:
                    pixels[row][col] = 2
    return pixels


def draw_album_icon(size):
    """A closed photo album: spine on the left, page edges, a picture on the cover."""
    pixels = [[TRANSPARENT] * size for _ in range(size)]
    s = size / 32.0
    one = 1.0 / s  # one pixel, in drawing units
    colours = {
        "meadow": 15,
        "snow": 14,
        "mountain": 12,
        "far_mountain": 13,
        "sun": 11,
        "horizon": 10,
        "sky": 9,
    }
    for row in range(size):
        for col in range(size):
            px, py = (col + 0.5) / s, (row + 0.5) / s
            colour = TRANSPARENT
            # Page block, showing below and to the right of the cover.
            if 5 <= px <= 30 and 4 <= py <= 30:
                on_edge = px > 30 - one or py > 30 - one
                stripe = (col % 2 == 0) if px > 28 else (row % 2 == 0)
                colour = 1 if on_edge else (7 if stripe else 6)
            # Cover.
            if 2 <= px <= 28 and 2 <= py <= 28:
                border = px < 2 + one or px > 28 - one or py < 2 + one or py > 28 - one
                if border:
                    colour = 1
                elif px < 8:
                    gold_band = 6.5 <= py <= 8.0 or 22.0 <= py <= 23.5
                    colour = 5 if gold_band else (4 if px < 2 + 2 * one else 3)
                elif 8 <= px < 8 + one:
                    colour = 1
                elif py < 2 + 2 * one:
                    colour = 4
                else:
                    colour = 2
                # Photo on the cover, held by gold corners.
                if 10.5 <= px <= 25.5 and 7.5 <= py <= 21.5:
                    outline = (px < 10.5 + one or px > 25.5 - one
                               or py < 7.5 + one or py > 21.5 - one)
                    if outline:
                        colour = 1
                    elif 12.5 <= px <= 23.5 and 9.5 <= py <= 19.5:
                        colour = landscape(px, py, 12.5, 9.5, 23.5, 19.5, colours, sun_r=0.2)
                    else:
                        colour = 8
                    for corner_x, corner_y, sx, sy in ((10.5, 7.5, 1, 1), (25.5, 7.5, -1, 1),
                                                       (10.5, 21.5, 1, -1),
                                                       (25.5, 21.5, -1, -1)):
                        if (px - corner_x) * sx + (py - corner_y) * sy <= 3.2:
                            colour = 5
                # Title strip below the photo.
                if 12.5 <= px <= 23.5 and 23.5 <= py <= 25.0:
                    colour = 5
            pixels[row][col] = colour
    return pixels


def bmp_icon_image(pixels, palette):
    """One icon image: BITMAPINFOHEADER, palette, 4-bit colour rows, 1-bit mask rows."""
    size = len(pixels)
    colour_row_bytes = ((size * 4 + 31) // 32) * 4
    mask_row_bytes = ((size + 31) // 32) * 4
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 4, 0,
                         (colour_row_bytes + mask_row_bytes) * size, 0, 0, 16, 0)
    table = b"".join(struct.pack("BBBB", b, g, r, 0) for r, g, b in palette)
    colour_rows, mask_rows = [], []
    for row in reversed(pixels):  # bottom-up
        packed = bytearray(colour_row_bytes)
        mask = bytearray(mask_row_bytes)
        for col, index in enumerate(row):
            packed[col // 2] |= (index & 0x0F) << (4 if col % 2 == 0 else 0)
            if index == TRANSPARENT:
                mask[col // 8] |= 0x80 >> (col % 8)
        colour_rows.append(bytes(packed))
        mask_rows.append(bytes(mask))
    return header + table + b"".join(colour_rows) + b"".join(mask_rows)


def ico_file(images, palette):
    count = len(images)
    bodies = [bmp_icon_image(p, palette) for p in images]
    directory = struct.pack("<HHH", 0, 1, count)
    offset = 6 + 16 * count
    for pixels, body in zip(images, bodies):
        size = len(pixels)
        directory += struct.pack("<BBBBHHII", size % 256, size % 256, 16, 0, 1, 4, len(body),
                                 offset)
        offset += len(body)
    return directory + b"".join(bodies)


def png_file(pixels, palette):
    """An indexed PNG with 4-bit samples, index 0 fully transparent."""
    size = len(pixels)

    def chunk(kind, data):
        return (struct.pack(">I", len(data)) + kind + data
                + struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF))

    raw = bytearray()
    for row in pixels:
        raw.append(0)  # no filter
        for col in range(0, size, 2):
            high = row[col]
            low = row[col + 1] if col + 1 < size else 0
            raw.append((high << 4) | low)
    return (b"\x89PNG\r\n\x1a\n"
            + chunk(b"IHDR", struct.pack(">IIBBBBB", size, size, 4, 3, 0, 0, 0))
            + chunk(b"PLTE", b"".join(bytes(c) for c in palette))
            + chunk(b"tRNS", bytes([0] + [255] * (len(palette) - 1)))
            + chunk(b"IDAT", zlib.compress(bytes(raw), 9))
            + chunk(b"IEND", b""))


def main():
    out = sys.argv[1] if len(sys.argv) > 1 else os.path.dirname(os.path.abspath(__file__))
    window = draw_window_icon(32)
    files = {
        "pixelwain.ico": ico_file([window], WINDOW_PALETTE),
        "pixelwain.png": png_file(window, WINDOW_PALETTE),
        "pxwicon.ico": ico_file([draw_album_icon(32), draw_album_icon(48)], ALBUM_PALETTE),
    }
    for name, data in files.items():
        with open(os.path.join(out, name), "wb") as f:
            f.write(data)


if __name__ == "__main__":
    main()
