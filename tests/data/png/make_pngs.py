#!/usr/bin/python3
"""Writes the PNG test pictures of this folder, the RGB pixels each must decode
to (expected-NAME.rgb: R, G, B bytes, row-major from the top) and the broken
PNG files of ../bad.

The chunks are put together here by hand rather than by a PNG library, so that
broken files are as easy to make as good ones and so that the expected pixels
owe nothing to the decoder under test. They follow the reader's rules:
- 16-bit samples become 8 bits as (v * 255 + 32767) // 65535;
- alpha is laid over white, at the file's own depth:
  (c * a + top * (top - a) + top // 2) // top with top = 255 or 65535,
  before a 16-bit result is brought to 8 bits;
- gray below 8 bits is scaled to 0..255 (v * 255 // (2^depth - 1));
- a tRNS colour is alpha 0 where every sample matches it, opaque elsewhere;
- palette entries are used as they stand; tRNS gives the alpha of the first
  entries, the rest are opaque;
- nothing is gamma-corrected, whatever gAMA, cHRM or sRGB say.

Usage: /usr/bin/python3 tests/data/png/make_pngs.py  (numpy, zlib and struct only)
"""
import struct
import zlib
from pathlib import Path

import numpy as np

HERE = Path(__file__).resolve().parent
BAD = HERE.parent / 'bad'
W, H = 37, 23
SIGNATURE = b'\x89PNG\r\n\x1a\n'
ADAM7 = [(0, 0, 8, 8), (4, 0, 8, 8), (0, 4, 4, 8), (2, 0, 4, 4), (0, 2, 2, 4), (1, 0, 2, 2), (0, 1, 1, 2)]
GRAY, RGB, PALETTE, GRAY_ALPHA, RGBA = 0, 2, 3, 4, 6


def chunk(kind, data, crc=None):
    crc = zlib.crc32(kind + data) if crc is None else crc
    return struct.pack('>I', len(data)) + kind + data + struct.pack('>I', crc & 0xffffffff)


def ihdr(w, h, depth, ctype, interlace=0):
    return chunk(b'IHDR', struct.pack('>IIBBBBB', w, h, depth, ctype, 0, 0, interlace))


def pack_row(samples, depth):
    """A row of samples as the file stores it: 16 bits big-endian, below 8 bits high bits first."""
    if depth == 16:
        return samples.astype('>u2').tobytes()
    if depth == 8:
        return samples.astype(np.uint8).tobytes()
    per = 8 // depth
    padded = np.zeros(-(-len(samples) // per) * per, dtype=np.int64)
    padded[:len(samples)] = samples
    shifts = np.arange(per - 1, -1, -1) * depth
    return (padded.reshape(-1, per) << shifts).sum(axis=1).astype(np.uint8).tobytes()


def paeth(a, b, c):
    p = a + b - c
    pa, pb, pc = abs(p - a), abs(p - b), abs(p - c)
    return a if pa <= pb and pa <= pc else b if pb <= pc else c


def filtered(rows, bpp):
    """Each row behind its filter byte; the five filter types take turns."""
    out, prev = bytearray(), bytes(len(rows[0]))
    for y, row in enumerate(rows):
        kind = y % 5
        out.append(kind)
        for i, v in enumerate(row):
            a = row[i - bpp] if i >= bpp else 0
            b = prev[i]
            c = prev[i - bpp] if i >= bpp else 0
            out.append((v - [0, a, b, (a + b) // 2, paeth(a, b, c)][kind]) & 0xff)
        prev = row
    return bytes(out)


def raw_rows(samples, depth, interlace):
    """The filtered rows of a H x W x C array of samples, pass by pass when interlaced."""
    bpp = max(1, samples.shape[2] * depth // 8)
    passes = [samples[y0::dy, x0::dx] for x0, y0, dx, dy in ADAM7] if interlace else [samples]
    return b''.join(filtered([pack_row(r.reshape(-1), depth) for r in p], bpp)
                    for p in passes if p.shape[0] and p.shape[1])


def png(samples, depth, ctype, interlace=0, before=(), pieces=1, after=()):
    """A whole file; `before` chunks go between IHDR and IDAT, the data is cut into `pieces` IDATs."""
    data = zlib.compress(raw_rows(samples, depth, interlace), 9)
    cuts = [len(data) * k // pieces for k in range(pieces + 1)]
    idats = [chunk(b'IDAT', data[cuts[k]:cuts[k + 1]]) for k in range(pieces)]
    return (SIGNATURE + ihdr(samples.shape[1], samples.shape[0], depth, ctype, interlace) + b''.join(before)
            + b''.join(idats) + b''.join(after) + chunk(b'IEND', b''))


def over_white(c, a, top):
    return (c * a + top * (top - a) + top // 2) // top


def expected(samples, depth, ctype, palette=None, trns=None):
    s = samples.astype(np.int64)
    top = 65535 if depth == 16 else 255
    alpha = None
    if ctype == PALETTE:
        colours = palette[s[..., 0]]
        table = np.full(256, 255)
        if trns is not None:
            table[:len(trns)] = trns
        alpha = table[s[..., 0]][..., None]
    elif ctype in (GRAY_ALPHA, RGBA):
        colours, alpha = s[..., :-1], s[..., -1:]
    else:
        colours = s
        if trns is not None:
            alpha = np.where(np.all(s == np.array(trns), axis=2, keepdims=True), 0, top)
        if depth < 8:
            colours = colours * 255 // ((1 << depth) - 1)
    if alpha is not None:
        colours = over_white(colours, alpha, top)
    if depth == 16:
        colours = (colours * 255 + 32767) // 65535
    return np.broadcast_to(colours, (H, W, 3)).astype(np.uint8).tobytes()


def plte(entries):
    return chunk(b'PLTE', entries.astype(np.uint8).tobytes())


def good_files():
    rng = np.random.default_rng(20240607)

    def rand(top, channels):
        return rng.integers(0, top + 1, (H, W, channels))

    def with_extremes(samples, top):
        """Alpha 0 and full alpha on a tenth of the pixels each, the rest random."""
        pick = rng.random((H, W))
        samples[..., -1][pick < 0.1] = 0
        samples[..., -1][pick > 0.9] = top
        return samples

    def keyed(samples, key, near):
        """A third of the pixels take the tRNS colour, a tenth a near miss of it."""
        pick = rng.random((H, W))
        samples[pick < 0.33] = key
        samples[pick > 0.9] = near
        return samples

    files = {}  # name: (file bytes, expected pixels)

    def add(name, samples, depth, ctype, palette=None, trns=None, **layout):
        before = list(layout.pop('before', ()))
        if palette is not None:
            before.append(plte(palette))
        if trns is not None:
            values = np.atleast_1d(trns)
            before.append(chunk(b'tRNS', values.astype('u1' if ctype == PALETTE else '>u2').tobytes()))
        files[name] = (png(samples, depth, ctype, before=before, **layout),
                       expected(samples, depth, ctype, palette, trns))

    for depth in (1, 2, 4, 8, 16):
        add(f'gray{depth}', rand((1 << depth) - 1, 1), depth, GRAY)
    add('gray1-adam7', rand(1, 1), 1, GRAY, interlace=1)
    add('gray2-trns', keyed(rand(3, 1), 2, 1), 2, GRAY, trns=2)
    add('gray8-trns', keyed(rand(255, 1), 0x5a, 0x5b), 8, GRAY, trns=0x5a)
    add('gray16-trns', keyed(rand(65535, 1), 0x5a5a, 0x5b5a), 16, GRAY, trns=0x5a5a)
    add('graya8', with_extremes(rand(255, 2), 255), 8, GRAY_ALPHA)
    add('graya16', with_extremes(rand(65535, 2), 65535), 16, GRAY_ALPHA)
    rgb8 = rand(255, 3)
    add('rgb8', rgb8, 8, RGB)
    add('rgb8-adam7', rgb8, 8, RGB, interlace=1)
    add('rgb8-trns', keyed(rand(255, 3), (10, 200, 30), (10, 200, 31)), 8, RGB, trns=(10, 200, 30))
    add('rgb16', rand(65535, 3), 16, RGB)
    add('rgb16-trns', keyed(rand(65535, 3), (1000, 40000, 65535), (1000, 40000, 65534)), 16, RGB,
        trns=(1000, 40000, 65535))
    rgba8 = with_extremes(rand(255, 4), 255)
    add('rgba8', rgba8, 8, RGBA)
    # Ancillary chunks that would change the pixels if they were obeyed: a gamma,
    # a background colour, significant bits; text, a private chunk, and the data
    # split over IDATs, one of them empty.
    ancillary = [chunk(b'gAMA', struct.pack('>I', 100000)), chunk(b'cHRM', struct.pack('>8I', *[31270, 32900] * 4)),
                 chunk(b'sBIT', bytes([4, 4, 4, 4])), chunk(b'bKGD', struct.pack('>HHH', 0, 0, 0)),
                 chunk(b'pHYs', struct.pack('>IIB', 2835, 2835, 1)), chunk(b'tEXt', b'Comment\0made by hand'),
                 chunk(b'zTXt', b'Comment\0\0' + zlib.compress(b'made by hand')), chunk(b'prVt', b'private'),
                 chunk(b'IDAT', b'')]
    add('rgba8-ancillary', rgba8, 8, RGBA, before=ancillary, pieces=3, after=[chunk(b'tIME', bytes(7))])
    rgba16 = with_extremes(rand(65535, 4), 65535)
    add('rgba16', rgba16, 16, RGBA)
    add('rgba16-adam7', rgba16, 16, RGBA, interlace=1)
    add('pal1', rand(1, 1), 1, PALETTE, palette=rng.integers(0, 256, (2, 3)))
    add('pal2-trns-adam7', rand(3, 1), 2, PALETTE, palette=rng.integers(0, 256, (4, 3)), trns=[0, 128, 255],
        interlace=1)
    add('pal4', rand(10, 1), 4, PALETTE, palette=rng.integers(0, 256, (11, 3)))
    add('pal8', rand(255, 1), 8, PALETTE, palette=rng.integers(0, 256, (256, 3)))
    alphas = rng.integers(0, 256, 120)
    alphas[:2] = (0, 255)
    add('pal8-trns', rand(179, 1), 8, PALETTE, palette=rng.integers(0, 256, (180, 3)), trns=alphas)
    return files


def bad_files(good):
    rgb8 = good['rgb8'][0]
    at_idat = rgb8.index(b'IDAT') - 4  # the length field of the only IDAT
    idat_len = struct.unpack('>I', rgb8[at_idat:at_idat + 4])[0]

    def flip(data, at):
        return data[:at] + bytes([data[at] ^ 1]) + data[at + 1:]

    def stream(w, h, depth, ctype, raw, before=(), after_idat=True):
        body = SIGNATURE + ihdr(w, h, depth, ctype) + b''.join(before) + chunk(b'IDAT', zlib.compress(raw, 9))
        return body + chunk(b'IEND', b'') if after_idat else body

    gray_rows = raw_rows(np.zeros((H, W, 1), dtype=np.int64), 8, 0)
    split = png(np.zeros((H, W, 3), dtype=np.int64) + 77, 8, RGB, pieces=3)
    middle = split.index(b'IDAT', split.index(b'IDAT') + 4) - 4
    palette_indices = np.arange(W * H).reshape(H, W, 1) % 16
    bad_filter = bytearray(gray_rows)
    bad_filter[(W + 1) * 5] = 5  # the sixth row's filter byte
    return {
        'empty.png': b'',
        'not-png.png': b'This is a line of text, not a picture.\n',
        'signature-only.png': SIGNATURE,
        'truncated-idat.png': rgb8[:at_idat + 8 + idat_len // 2],
        'truncated-after-idat.png': rgb8[:at_idat + 12 + idat_len],
        'crc-ihdr.png': flip(rgb8, 8 + 8 + 13),
        'crc-idat.png': flip(rgb8, at_idat + 8 + idat_len),
        'crc-idat-middle.png': flip(split, middle + 8 + struct.unpack('>I', split[middle:middle + 4])[0]),
        'zero-width.png': stream(0, H, 8, GRAY, b'\0' * H),
        'zero-height.png': stream(W, 0, 8, GRAY, b''),
        'huge-dimensions.png': stream(100000, 100000, 8, RGB, b'\0' * 301),
        'gigapixel-tiny.png': stream(40000, 40000, 8, GRAY, b'\0' * 40001),
        'zip-bomb.png': stream(12000, 12000, 8, GRAY, bytes(6_000_000)),
        'bit-depth-3.png': stream(W, H, 3, GRAY, b'\0' * (H * 15)),
        'colour-type-5.png': stream(W, H, 8, 5, gray_rows),
        'palette-16-bit.png': stream(W, H, 16, PALETTE, b'\0' * (H * (W * 2 + 1)), before=[plte(np.zeros((2, 3)))]),
        'no-plte.png': stream(W, H, 8, PALETTE, gray_rows),
        'no-idat.png': SIGNATURE + ihdr(W, H, 8, GRAY) + chunk(b'IEND', b''),
        'short-idat.png': stream(W, H, 8, GRAY, gray_rows[:len(gray_rows) // 2]),
        'filter-type-5.png': stream(W, H, 8, GRAY, bytes(bad_filter)),
        'unknown-critical-chunk.png': stream(W, H, 8, GRAY, gray_rows, before=[chunk(b'CRIT', b'must understand')]),
        'palette-index-past-plte.png': png(palette_indices, 4, PALETTE, before=[plte(np.full((3, 3), 200))]),
    }


def main():
    good = good_files()
    for path in HERE.glob('*.png'):
        path.unlink()
    for path in HERE.glob('expected-*.rgb'):
        path.unlink()
    for name, (data, pixels) in good.items():
        (HERE / f'{name}.png').write_bytes(data)
        (HERE / f'expected-{name}.rgb').write_bytes(pixels)
    for name, data in bad_files(good).items():
        (BAD / name).write_bytes(data)


if __name__ == '__main__':
    main()
