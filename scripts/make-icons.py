#!/usr/bin/env python3
"""Writes the program's icons (guikit/resources/icons/*.png) from the pixel grids below.

Standard library only and deterministic: the same grids always give the same bytes. Each grid
row is one line of pixels; every character is a palette entry ("." is transparent). A grid may
be scaled up by a whole factor (the 48-pixel program icon is the 24-pixel grid doubled).

Every icon also gets a "NAME@2x.png" drawing at twice the size, each pixel a sharp 2 x 2 block:
QIcon picks it on screens of device pixel ratio 2 instead of blurring the plain one.

The toolbar's icons carry a light halo around their dark outline: invisible on a light toolbar,
it keeps the shapes readable on a dark one.

The program icon for the desktop's menus is also written to packaging/icons/: PNGs from 16 to
256 pixels (the 24-pixel grid scaled by whole factors, centred where a size is no multiple of
24) and a scalable SVG of the same grid.

    scripts/make-icons.py [OUTPUT_DIR [PACKAGE_ICON_DIR]]
        # defaults: guikit/resources/icons and packaging/icons
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
    "h": (255, 255, 255, 190),   # halo beside the outline, for dark toolbars
}

TOOLBAR_ICONS = ("probe", "set", "reboot", "clear", "save", "load", "help")

# Desktop icon sizes, and the whole factor of the 24-pixel grid drawn into each (the 16-pixel
# size has a grid of its own).
PACKAGE_SIZES = {24: 1, 32: 1, 48: 2, 64: 2, 128: 5, 256: 10}

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


def with_halo(grid):
    """The grid with every transparent pixel that touches the drawing made halo."""
    height, width = len(grid), len(grid[0])

    def drawn(x, y):
        return 0 <= x < width and 0 <= y < height and grid[y][x] not in ".h"

    return ["".join("h" if char == "." and any(drawn(x + dx, y + dy)
                                              for dx in (-1, 0, 1) for dy in (-1, 0, 1))
                    else char for x, char in enumerate(line))
            for y, line in enumerate(grid)]


def png_bytes(grid, scale=1, size=None):
    """A PNG of the grid, each pixel a scale x scale block, centred in size x size if given."""
    drawn_width = len(grid[0]) * scale
    drawn_height = len(grid) * scale
    width = height = size if size is not None else None
    if size is None:
        width, height = drawn_width, drawn_height
    left = (width - drawn_width) // 2
    top = (height - drawn_height) // 2
    assert left >= 0 and top >= 0, (size, scale)
    clear = bytes(PALETTE["."])
    raw = bytearray()
    for _ in range(top):
        raw.append(0)
        raw += clear * width
    for line in grid:
        assert len(line) * scale == drawn_width, line
        row = bytearray(clear * left)
        for char in line:
            row += bytes(PALETTE[char]) * scale
        row += clear * (width - left - drawn_width)
        for _ in range(scale):
            raw.append(0)
            raw += row
    for _ in range(height - top - drawn_height):
        raw.append(0)
        raw += clear * width

    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body))

    header = struct.pack(">IIBBBBB", width, height, 8, 6, 0, 0, 0)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) +
            chunk(b"IDAT", zlib.compress(bytes(raw), 9)) + chunk(b"IEND", b""))


def svg_text(grid):
    """The grid as an SVG: one rectangle per run of equal pixels in a line."""
    height, width = len(grid), len(grid[0])
    shapes = []
    for y, line in enumerate(grid):
        x = 0
        while x < width:
            char = line[x]
            run = 1
            while x + run < width and line[x + run] == char:
                run += 1
            red, green, blue, alpha = PALETTE[char]
            if alpha:
                opacity = "" if alpha == 255 else f' fill-opacity="{alpha / 255:.3f}"'
                shapes.append(f'  <rect x="{x}" y="{y}" width="{run}" height="1" '
                              f'fill="#{red:02x}{green:02x}{blue:02x}"{opacity}/>')
            x += run
    return (f'<svg xmlns="http://www.w3.org/2000/svg" width="256" height="256" '
            f'viewBox="0 0 {width} {height}" shape-rendering="crispEdges">\n'
            + "\n".join(shapes) + "\n</svg>\n")


def write_package_icons(output):
    output.mkdir(parents=True, exist_ok=True)
    (output / "morvik-16.png").write_bytes(png_bytes(ICONS["morvik-16"]))
    for size, scale in PACKAGE_SIZES.items():
        (output / f"morvik-{size}.png").write_bytes(png_bytes(PROGRAM_ICON_24, scale, size))
    (output / "morvik.svg").write_text(svg_text(PROGRAM_ICON_24))


def main():
    root = Path(__file__).resolve().parent.parent
    output = Path(sys.argv[1]) if len(sys.argv) > 1 else root / "guikit" / "resources" / "icons"
    package = Path(sys.argv[2]) if len(sys.argv) > 2 else root / "packaging" / "icons"
    output.mkdir(parents=True, exist_ok=True)
    drawings = [(name, with_halo(grid) if name in TOOLBAR_ICONS else grid, 1)
                for name, grid in ICONS.items()]
    drawings.append(("morvik-48", PROGRAM_ICON_24, 2))
    for name, grid, scale in drawings:
        (output / f"{name}.png").write_bytes(png_bytes(grid, scale))
        (output / f"{name}@2x.png").write_bytes(png_bytes(grid, 2 * scale))
    print(f"{len(drawings)} icons written to {output}, each at 1x and 2x")
    write_package_icons(package)
    print(f"program icons of {len(PACKAGE_SIZES) + 1} sizes and an SVG written to {package}")


if __name__ == "__main__":
    main()
