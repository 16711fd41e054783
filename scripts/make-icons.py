#!/usr/bin/env python3
"""Writes the program's icons (app/resources/icons/*.png) from the pixel grids below.

Standard library only and deterministic: the same grids always give the same bytes. Each grid
row is one line of pixels; every character is a palette entry ("." is transparent). A grid may
be scaled up by a whole factor (the 48-pixel program icon is the 24-pixel grid doubled).

Every icon also gets a "NAME@2x.png" drawing at twice the size, each pixel a sharp 2 x 2 block:
QIcon picks it on screens of device pixel ratio 2 instead of blurring the plain one.

    scripts/make-icons.py [OUTPUT_DIR]      # default: app/resources/icons
"""
import struct
import sys
import zlib
from pathlib import Path

PALETTE = {
    ".": (0, 0, 0, 0),
    "k": (24, 28, 36, 255),      # outline
    "g": (120, 128, 140, 255),   # grey body
    "l": (196, 202, 210, 255),   # light grey
    "w": (255, 255, 255, 255),
    "b": (38, 98, 196, 255),     # blue
    "c": (110, 170, 240, 255),   # light blue
    "n": (28, 150, 72, 255),     # green
    "m": (120, 214, 140, 255),   # light green
    "r": (210, 40, 40, 255),     # red
    "y": (240, 196, 48, 255),    # yellow
    "o": (200, 140, 30, 255),    # dark yellow
    "a": (250, 150, 30, 255),    # orange
    "s": (90, 96, 108, 255),     # dark grey
}

ICONS = {
    # Probe: a magnifying glass searching for units.
    "probe": [
        "...kkkkk........",
        "..kcccccck......",
        ".kcwwccccck.....",
        "kcwcccccccck....",
        "kcwcnllllcck....",
        "kccclkkklcck....",
        "kccclllllcck....",
        "kcccccccccck....",
        ".kcccccccck.....",
        "..kcccccckss....",
        "...kkkkkk.sss...",
        "...........sss..",
        "............sss.",
        ".............sss",
        "..............ss",
        "................",
    ],
    # Set: a green arrow down into a unit.
    "set": [
        "......kkkk......",
        "......kmnk......",
        "......kmnk......",
        "......kmnk......",
        "...kkkkmnkkkk...",
        "....kmmmnnnk....",
        ".....kmmnnk.....",
        "......kmnk......",
        ".......kk.......",
        ".kkkkkkkkkkkkkk.",
        ".kllllllllllllk.",
        ".klnlsssssssslk.",
        ".kllllllllllllk.",
        ".kggggggggggggk.",
        ".kkkkkkkkkkkkkk.",
        "................",
    ],
    # Reboot: a circular arrow.
    "reboot": [
        "................",
        ".....kkkkk.k....",
        "...kkbbbbbkbk...",
        "..kbbkkkkkbbk...",
        ".kbbk....kbbbk..",
        ".kbk....kbbbbbk.",
        "kbbk.....kkkkk..",
        "kbk.............",
        "kbk.............",
        "kbbk.........kk.",
        ".kbk........kbk.",
        ".kbbk......kbbk.",
        "..kbbkkkkkkbbk..",
        "...kkbbbbbbkk...",
        ".....kkkkkk.....",
        "................",
    ],
    # Clear: a key crossed out.
    "clear": [
        "................",
        ".kkkk...........",
        "kyyyyk..........",
        "kyokyk..........",
        "kyyyykkkkkkkkk..",
        ".kyyyyyyyyyyyyk.",
        "..kkkkkkkkykyk..",
        ".........k.k.k..",
        "................",
        "........r....r..",
        ".........r..r...",
        "..........rr....",
        "..........rr....",
        ".........r..r...",
        "........r....r..",
        "................",
    ],
    # Save: a floppy disk.
    "save": [
        "kkkkkkkkkkkkkkk.",
        "kbkllllllllkbbk.",
        "kbkllllllllkbbk.",
        "kbkllllllllkbbk.",
        "kbkllllllllkbbk.",
        "kbkkkkkkkkkkbbk.",
        "kbbbbbbbbbbbbbk.",
        "kbbkkkkkkkkkbbk.",
        "kbbkwwwwwwwkbbk.",
        "kbbkwkkkkkwkbbk.",
        "kbbkwwwwwwwkbbk.",
        "kbbkwkkkkkwkbbk.",
        "kbbkwwwwwwwkbbk.",
        "kkkkkkkkkkkkkkk.",
        "................",
        "................",
    ],
    # Load: an open folder.
    "load": [
        "................",
        "................",
        ".kkkk...........",
        "kyyyyk..........",
        "kyyyyykkkkkkk...",
        "kyyyyyyyyyyyk...",
        "kyykkkkkkkkkkkk.",
        "kyykoooooooooook",
        "kyko ooooooooko.".replace(" ", "o"),
        "kykoooooooooook.",
        "kkoooooooooook..",
        "kkoooooooooook..",
        "kkkkkkkkkkkkk...",
        "................",
        "................",
        "................",
    ],
    # Help: a question mark in a blue disc.
    "help": [
        ".....kkkkkk.....",
        "...kkbbbbbbkk...",
        "..kbbbwwwwbbbk..",
        ".kbbbwwbbwwbbbk.",
        ".kbbbwwbbwwbbbk.",
        "kbbbbbbbbwwbbbbk",
        "kbbbbbbbwwbbbbbk",
        "kbbbbbbwwbbbbbbk",
        "kbbbbbbwwbbbbbbk",
        "kbbbbbbbbbbbbbbk",
        ".kbbbbbwwbbbbbk.",
        ".kbbbbbwwbbbbbk.",
        "..kbbbbbbbbbbk..",
        "...kkbbbbbbkk...",
        ".....kkkkkk.....",
        "................",
    ],
    # A unit in the device list: a device server with a lit port LED.
    "row-unit": [
        "................",
        "................",
        "................",
        "................",
        ".kkkkkkkkkkkkkk.",
        ".kllllllllllllk.",
        ".klnllllskkkslk.",
        ".kllllllskkkslk.",
        ".kggggggggggggk.",
        ".kkkkkkkkkkkkkk.",
        "...kk......kk...",
        "................",
        "................",
        "................",
        "................",
        "................",
    ],
    "row-unit-selected": [
        "................",
        "................",
        "................",
        "................",
        ".kkkkkkkkkkkkkk.",
        ".kllllllllllllk.",
        ".klallllskkkslk.",
        ".kllllllskkkslk.",
        ".kggggggggggggk.",
        ".kkkkkkkkkkkkkk.",
        "...kk......kk...",
        "................",
        "................",
        "................",
        "................",
        "................",
    ],
    # Header sort marks: ascending and descending.
    "sort-ascending": [
        "................",
        ".......k........",
        "......ksk.......",
        ".....ksssk......",
        "....ksssssk.....",
        "...kkkkkkkkk....",
        "................",
        "................",
    ],
    "sort-descending": [
        "................",
        "...kkkkkkkkk....",
        "....ksssssk.....",
        ".....ksssk......",
        "......ksk.......",
        ".......k........",
        "................",
        "................",
    ],
    # The program: a unit with a serial plug on one side and waves on the other.
    "morvik-16": [
        "................",
        "...........b....",
        "..........b.b...",
        "...........b.b..",
        "kkkkkkkkkk...b..",
        "kccccccccck.....",
        "kcnccccccck.....",
        "kccccccccck.....",
        "kbbbbbbbbbk.....",
        "kbkkbkkbkbk.....",
        "kbbbbbbbbbk.....",
        "kkkkkkkkkkk.....",
        "..k..k..k.......",
        "..s..s..s.......",
        "................",
        "................",
    ],
}

# 24 x 24, doubled to 48 x 48.
PROGRAM_ICON_24 = [
    "........................",
    "...............bb.......",
    ".............bb..bb.....",
    "...............bb..b....",
    "..................b.b...",
    "....................b...",
    "kkkkkkkkkkkkkkkkkk......",
    "kcccccccccccccccck......",
    "kcnnccccccccccccck......",
    "kcnnccccccccccccck......",
    "kccccccccccccccccck.....".replace("ck.....", "k......"),
    "kbbbbbbbbbbbbbbbbk......",
    "kbbkkkbbkkkbbkkkbk......",
    "kbbkwkbbkwkbbkwkbk......",
    "kbbkkkbbkkkbbkkkbk......",
    "kbbbbbbbbbbbbbbbbk......",
    "kkkkkkkkkkkkkkkkkk......",
    "...kk....kk....kk.......",
    "...ss....ss....ss.......",
    "...ss....ss....ss.......",
    "...ss....ss....ss.......",
    "........................",
    "........................",
    "........................",
]


def png_bytes(grid, scale=1):
    width = len(grid[0]) * scale
    height = len(grid) * scale
    raw = bytearray()
    for line in grid:
        assert len(line) * scale == width, line
        row = bytearray()
        for char in line:
            row += bytes(PALETTE[char]) * scale
        for _ in range(scale):
            raw.append(0)
            raw += row

    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body))

    header = struct.pack(">IIBBBBB", width, height, 8, 6, 0, 0, 0)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) +
            chunk(b"IDAT", zlib.compress(bytes(raw), 9)) + chunk(b"IEND", b""))


def main():
    output = Path(sys.argv[1]) if len(sys.argv) > 1 else \
        Path(__file__).resolve().parent.parent / "app" / "resources" / "icons"
    output.mkdir(parents=True, exist_ok=True)
    drawings = [(name, grid, 1) for name, grid in ICONS.items()]
    drawings.append(("morvik-48", PROGRAM_ICON_24, 2))
    for name, grid, scale in drawings:
        (output / f"{name}.png").write_bytes(png_bytes(grid, scale))
        (output / f"{name}@2x.png").write_bytes(png_bytes(grid, 2 * scale))
    print(f"{len(drawings)} icons written to {output}, each at 1x and 2x")


if __name__ == "__main__":
    main()
