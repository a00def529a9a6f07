#!/usr/bin/env python3
"""Writes the command bar's button pictures (16 x 16, 16 colours, XPM) and the
program icon (48 x 48 PNG) into assets/. Run from the repository root."""
import struct
import zlib
from pathlib import Path

# The 16-colour palette the pictures draw from ('.' is transparent).
PALETTE = {
    'k': '#000000', 'm': '#800000', 'G': '#008000', 'o': '#808000',
    'n': '#000080', 'p': '#800080', 't': '#008080', 'g': '#808080',
    'l': '#C0C0C0', 'r': '#FF0000', 'L': '#00FF00', 'y': '#FFFF00',
    'b': '#0000FF', 'f': '#FF00FF', 'c': '#00FFFF', 'w': '#FFFFFF',
}

BUTTONS = {
    'picture': [
        "kkkkkkkkkkkkkkkk",
        "kcccccccccccccck",
        "kcccccccccyyyyck",
        "kccccccccyyyyyyk",
        "kcccccccccyyyyck",
        "kcccccccccccccck",
        "kccccGGcccccccck",
        "kcccGGGGccccccck",
        "kccGGGGGGcccGGck",
        "kcGGGGGGGGcGGGGk",
        "kGGGGGGGGGGGGGGk",
        "kGGGGGGGGGGGGGGk",
        "kGGGGGGGGGGGGGGk",
        "kGGGGGGGGGGGGGGk",
        "kGGGGGGGGGGGGGGk",
        "kkkkkkkkkkkkkkkk",
    ],
    'open': [
        "................",
        "................",
        "................",
        ".kkkk...........",
        "kooook..........",
        "koooookkkkkkk...",
        "kooooooooooook..",
        "kooookkkkkkkkkkk",
        "koookyyyyyyyyyk.",
        "kookyyyyyyyyyk..",
        "kokyyyyyyyyyk...",
        "kkyyyyyyyyyk....",
        "kkkkkkkkkkkk....",
        "................",
        "................",
        "................",
    ],
    'save': [
        "................",
        ".kkkkkkkkkkkkkk.",
        ".knwwwwwwwwwwnk.",
        ".knwwwwwwwwwwnk.",
        ".knwggggggggwnk.",
        ".knwwwwwwwwwwnk.",
        ".knwggggggggwnk.",
        ".knwwwwwwwwwwnk.",
        ".knnnnnnnnnnnnk.",
        ".knnllllllllnnk.",
        ".knnlkklllllnnk.",
        ".knnlkklllllnnk.",
        ".knnlkklllllnnk.",
        ".knnllllllllnnk.",
        ".kkkkkkkkkkkkkk.",
        "................",
    ],
    'paste_new': [
        ".....kkkkk......",
        ".kkkkglllgkkkk..",
        ".kooklllllkook..",
        ".koookkkkkoook..",
        ".kooooooooooook.",
        ".koookkkkkkkkkkk",
        ".koookwwwwwwwkwk",
        ".koookwnnnnnwkkk",
        ".koookwwwwwwwwwk",
        ".koookwnnnnnnnwk",
        ".koookwwwwwwwwwk",
        ".koookwnnnnnnnwk",
        ".koookwwwwwwwwwk",
        ".kkkkkwnnnnnnnwk",
        ".....kwwwwwwwwwk",
        ".....kkkkkkkkkkk",
    ],
    'copy': [
        "kkkkkkkk........",
        "kwwwwwwk........",
        "kwnnnnwk........",
        "kwwwwwwk........",
        "kwnnnnnk........",
        "kwwwwkkkkkkkkk..",
        "kwnnnkwwwwwwwk..",
        "kwwwwkwnnnnnwk..",
        "kwnnnkwwwwwwwk..",
        "kwwwwkwnnnnnwk..",
        "kkkkkkwwwwwwwk..",
        ".....kwnnnnnwk..",
        ".....kwwwwwwwk..",
        ".....kwnnnnnwk..",
        ".....kwwwwwwwk..",
        ".....kkkkkkkkk..",
    ],
    'trim': [
        "...k............",
        "...k............",
        "...k............",
        "kkkkkkkkkkkk....",
        "...kcccccccck...",
        "...kcccccccck...",
        "...kcccccccck...",
        "...kcccccccck...",
        "...kcccccccck...",
        "...kcccccccck...",
        "...kcccccccck...",
        "...kcccccccck...",
        "...kkkkkkkkkkkkk",
        "...........k....",
        "...........k....",
        "...........k....",
    ],
    'undo': [
        "................",
        "................",
        "....n...........",
        "...nn...........",
        "..nbnnnnnnnn....",
        ".nbbbbbbbbbbnn..",
        "..nbnnnnnnnbbbn.",
        "...nn......nbbn.",
        "....n.......nbbn",
        "............nbbn",
        "............nbbn",
        "...........nbbn.",
        "..........nbbn..",
        "......nnnnbbn...",
        "......nbbbnn....",
        "......nnnn......",
    ],
}


def write_xpm(name, rows):
    assert len(rows) == 16 and all(len(r) == 16 for r in rows), name
    used = sorted({c for r in rows for c in r})
    lines = ['/* XPM */', f'static const char* {name}_xpm[] = {{', f'"16 16 {len(used)} 1",']
    for c in used:
        colour = 'None' if c == '.' else PALETTE[c]
        lines.append(f'"{c} c {colour}",')
    lines += [f'"{r}",' for r in rows[:-1]] + [f'"{rows[-1]}"', '};', '']
    Path(f'assets/icons/{name}.xpm').write_text('\n'.join(lines))


def png(path, w, h, pixel):
    raw = b''.join(b'\0' + b''.join(bytes(pixel(x, y)) for x in range(w)) for y in range(h))

    def chunk(kind, data):
        return struct.pack('>I', len(data)) + kind + data + struct.pack('>I', zlib.crc32(kind + data) & 0xffffffff)

    data = b'\x89PNG\r\n\x1a\n' + chunk(b'IHDR', struct.pack('>IIBBBBB', w, h, 8, 6, 0, 0, 0))
    data += chunk(b'IDAT', zlib.compress(raw, 9)) + chunk(b'IEND', b'')
    Path(path).write_bytes(data)


def app_icon(x, y):
    # A framed landscape (sky, sun, hill) with crop marks at two corners.
    if (x in (3, 4) and 1 <= y <= 10) or (y in (3, 4) and 1 <= x <= 10):
        return (0, 0, 0, 255)
    if (x in (43, 44) and 37 <= y <= 46) or (y in (43, 44) and 37 <= x <= 46):
        return (0, 0, 0, 255)
    if 6 <= x <= 41 and 6 <= y <= 41:
        if x in (6, 41) or y in (6, 41):
            return (0, 0, 128, 255)
        if (x - 30) ** 2 + (y - 16) ** 2 <= 25:
            return (255, 255, 0, 255)
        if y >= 30 - ((x - 18) ** 2) // 40:
            return (0, 128, 0, 255)
        return (0, 255, 255, 255)
    return (0, 0, 0, 0)


if __name__ == '__main__':
    for n, r in BUTTONS.items():
        write_xpm(n, r)
    png('assets/tolvane.png', 48, 48, app_icon)
