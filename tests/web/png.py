"""Reads 8-bit RGB and RGBA PNG files (what Chromium's screenshots and
velmora-trailer-tool write) into rows of RGB bytes, with Python alone."""
import struct
import zlib


def read_png(data):
    """(width, height, rows): rows[y] is a bytes object of width * 3 RGB values."""
    if data[:8] != b"\x89PNG\r\n\x1a\n":
        raise ValueError("not a PNG")
    at, idat, width = 8, b"", 0
    while at < len(data):
        length, kind = struct.unpack(">I4s", data[at:at + 8])
        body = data[at + 8:at + 8 + length]
        at += 12 + length
        if kind == b"IHDR":
            width, height, depth, colour, _, _, interlace = struct.unpack(">IIBBBBB", body)
            if depth != 8 or colour not in (2, 6) or interlace:
                raise ValueError("only 8-bit RGB or RGBA, not interlaced")
            channels = 3 if colour == 2 else 4
        elif kind == b"IDAT":
            idat += body
        elif kind == b"IEND":
            break
    raw = zlib.decompress(idat)
    stride = width * channels
    rows, previous = [], bytearray(stride)
    for y in range(height):
        filter_type = raw[y * (stride + 1)]
        line = bytearray(raw[y * (stride + 1) + 1:(y + 1) * (stride + 1)])
        for i in range(stride):
            a = line[i - channels] if i >= channels else 0
            b = previous[i]
            c = previous[i - channels] if i >= channels else 0
            if filter_type == 1:
                line[i] = (line[i] + a) & 255
            elif filter_type == 2:
                line[i] = (line[i] + b) & 255
            elif filter_type == 3:
                line[i] = (line[i] + ((a + b) >> 1)) & 255
            elif filter_type == 4:
                p = a + b - c
                pa, pb, pc = abs(p - a), abs(p - b), abs(p - c)
                line[i] = (line[i] + (a if pa <= pb and pa <= pc else b if pb <= pc else c)) & 255
        previous = line
        rows.append(bytes(line) if channels == 3 else bytes(v for j, v in enumerate(line) if j % 4 != 3))
    return width, height, rows


def compare(first, second, levels=8):
    """(fraction of pixels differing by more than `levels` in any channel,
    the largest difference, the bounding box of those pixels or None)."""
    w1, h1, a = first
    w2, h2, b = second
    if (w1, h1) != (w2, h2):
        raise ValueError("sizes differ: %dx%d and %dx%d" % (w1, h1, w2, h2))
    over, largest, box = 0, 0, None
    for y in range(h1):
        ra, rb = a[y], b[y]
        if ra == rb:
            continue
        for x in range(w1):
            d = max(abs(ra[3 * x + k] - rb[3 * x + k]) for k in range(3))
            largest = max(largest, d)
            if d > levels:
                over += 1
                box = (x, y, x, y) if box is None else (min(box[0], x), min(box[1], y), max(box[2], x), max(box[3], y))
    return over / float(w1 * h1), largest, box
