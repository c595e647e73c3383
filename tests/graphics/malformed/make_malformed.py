#!/usr/bin/env python3
"""Writes the malformed GIF files of this directory. The files are checked in; this script is
how they were made, and remakes them byte for byte. What each file must do (fail with which
text, or load and be marked corrupted) is listed in test_UiGIFDecode.cpp."""
import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))


def le16(v):
    return struct.pack('<H', v)


def screen(w, h, packed, bg=0, aspect=0):
    return le16(w) + le16(h) + bytes([packed, bg, aspect])


def grey_table(n):
    return b''.join(bytes([i * 255 // max(n - 1, 1)] * 3) for i in range(n))


def image_desc(w, h, packed=0, left=0, top=0):
    return b',' + le16(left) + le16(top) + le16(w) + le16(h) + bytes([packed])


def pack_codes(codes):
    """(code, width) pairs, least significant bit first."""
    out, acc, n = bytearray(), 0, 0
    for code, width in codes:
        acc |= code << n
        n += width
        while n >= 8:
            out.append(acc & 0xFF)
            acc >>= 8
            n -= 8
    if n:
        out.append(acc & 0xFF)
    return bytes(out)


def with_widths(seq, m):
    """Gives each code the width an ordinary decoder reads it at."""
    clear, width, free, first = 1 << m, m + 1, (1 << m) + 2, True
    out = []
    for c in seq:
        out.append((c, width))
        if c == clear:
            width, free, first = m + 1, clear + 2, True
            continue
        if first:
            first = False
            continue
        if free < 4096:
            free += 1
            if free == 1 << width and width < 12:
                width += 1
    return out


def sub_blocks(payload, terminate=True):
    out = bytearray()
    for i in range(0, len(payload), 255):
        chunk = payload[i:i + 255]
        out.append(len(chunk))
        out += chunk
    if terminate:
        out.append(0)
    return bytes(out)


def gif(body, w=4, h=2, bits=2, version=b'GIF89a'):
    return version + screen(w, h, 0x80 | (bits - 1)) + grey_table(1 << bits) + body + b';'


def data(m, seq):
    return bytes([m]) + sub_blocks(pack_codes(with_widths(seq, m)))


# Four pixels 1 2 3 0 of a 4 x 1 image, code size 2: clear, roots, end.
PIXELS = [4, 1, 2, 3, 0, 5]

FILES = {
    # Code size byte 1 (below 2): clamped to 2, frame marked corrupted.
    'code_size_1.gif': gif(image_desc(4, 1) + bytes([1]) + sub_blocks(pack_codes(with_widths(PIXELS, 2)))),
    # Code size byte 12 (above 9): clamped to 9, frame marked corrupted.
    'code_size_12.gif': gif(image_desc(4, 1) + bytes([12]) + sub_blocks(pack_codes(with_widths(PIXELS, 2)))),
    # 64 x 128 of pixel 1 as 9000 root codes and no clear after the table fills at the 4091st:
    # the decoder stays at 12 bits and adds nothing.
    'full_table_no_clear.gif': gif(image_desc(64, 128) + data(2, [4] + [1] * 9000 + [5]), 64, 128),
    # Code 7 while the free code is 6: taken as the free code (previous string + its first).
    'codes_beyond_free.gif': gif(image_desc(3, 1) + bytes([2]) + sub_blocks(pack_codes([(4, 3), (1, 3), (7, 3), (5, 3)])), 3, 1),
    # 65535 x 65535: far over the 64-megapixel limit.
    'absurd_dimensions.gif': gif(image_desc(65535, 65535) + data(2, PIXELS)),
    # The image takes its size from a 40000 x 40000 screen.
    'absurd_screen_size.gif': gif(image_desc(0, 0) + data(2, PIXELS), 40000, 40000),
    # A sub-block announcing 200 bytes with 1 left: the clear code, pixel 1, and 2 bits.
    'truncated_subblock.gif': (b'GIF89a' + screen(4, 1, 0x81) + grey_table(4) + image_desc(4, 1)
                               + bytes([2, 200]) + pack_codes(with_widths(PIXELS, 2))[:1]),
    # Data that end after a whole sub-block, with neither terminator nor trailer.
    'unterminated_data.gif': (b'GIF89a' + screen(4, 1, 0x81) + grey_table(4) + image_desc(4, 1)
                              + bytes([2]) + sub_blocks(pack_codes(with_widths(PIXELS, 2)), terminate=False)),
    # Extension label 0x42 is none of the four known ones.
    'unknown_extension.gif': gif(b'!\x42\x03abc\x00' + image_desc(4, 1) + data(2, PIXELS)),
    # Cut inside the logical screen descriptor.
    'truncated_screen_descriptor.gif': b'GIF89a' + le16(4) + le16(1),
    # A 256-entry global table announced, 10 entries present.
    'truncated_color_table.gif': b'GIF89a' + screen(4, 1, 0x87) + grey_table(10),
    # Cut inside the image descriptor.
    'truncated_image_descriptor.gif': b'GIF89a' + screen(4, 1, 0x81) + grey_table(4) + b',\x00\x00\x00',
    # Cut inside a graphic control extension.
    'truncated_graphic_control.gif': b'GIF89a' + screen(4, 1, 0x81) + grey_table(4) + b'!\xf9\x04\x01',
    # A stray byte where a block should start.
    'stray_byte_after_header.gif': gif(b'x' + image_desc(4, 1) + data(2, PIXELS)),
    # Strings grown past 4096 pixels through codes that name entries of an earlier table
    # (code size 9, each table generation starting from the last entry of the one before).
    'overlong_string.gif': gif(image_desc(4096, 2100) + data(9, sum(([512, 1023] + list(range(514, 1024)) for _ in range(9)), []) + [513]),
                               4096, 2100, bits=1),
    # A code that is not a root straight after the clear code.
    'stale_code_after_clear.gif': gif(image_desc(4, 1) + data(2, [4, 7, 6, 5])),
    # A transparent index past the end of the colour table.
    'transparent_index_beyond_table.gif': gif(b'!\xf9\x04\x01\x00\x00\x09\x00' + image_desc(4, 1) + data(2, PIXELS)),
    'empty_file.gif': b'',
    'bad_version.gif': gif(image_desc(4, 1) + data(2, PIXELS), version=b'GIF88a'),
    # An image descriptor and then nothing.
    'no_image_data.gif': b'GIF89a' + screen(4, 2, 0x81) + grey_table(4) + image_desc(4, 2),
    # Garbage where the next block should start after an image: taken as the end.
    'garbage_after_image.gif': b'GIF89a' + screen(4, 1, 0x81) + grey_table(4) + image_desc(4, 1) + data(2, PIXELS) + b'\x99garbage',
}

for name, content in FILES.items():
    with open(os.path.join(HERE, name), 'wb') as f:
        f.write(content)
