#!/bin/sh
# Makes the TIFF test pictures in this folder, their expected pixels
# (expected-*.rgb: R, G, B bytes, row-major from the top) and the malformed
# ones in ../bad/*.tif. Needs Debian's python3 with numpy, libtiff-tools
# (tiffcp) and libjpeg-turbo-progs (djpeg).
# Every picture is 37 x 23 as shown, drawn from ../bmp/expected-37x23.rgb
# (a crop of the astronaut). Most files are written byte by byte below, so
# that every tag and sample is the one intended; tiffcp makes the LZW and
# JPEG ones. The expected pixels follow the reading rules directly:
#   16 -> 8 bits: (v * 255 + 32767) // 65535
#   unassociated alpha over white: (c * a + M * (M - a) + M // 2) // M at the
#     samples' own depth M (255 or 65535), then 16 -> 8 bits
#   associated (premultiplied) alpha: min(M, c + M - a), then 16 -> 8 bits
#   MINISWHITE: M - v; bilevel 0/1 -> 0/255; palette entries are 16-bit.
# JPEG is lossy: its expected pixels are djpeg's own decoding of the same
# JPEG stream (libtiff hands the strip to the same libjpeg).
set -e
cd "$(dirname "$0")"
exec /usr/bin/python3 - <<'PY'
import os, struct, subprocess, zlib
import numpy as np

W, H = 37, 23
src = np.frombuffer(open("../bmp/expected-37x23.rgb", "rb").read(), np.uint8).reshape(H, W, 3).astype(np.int64)
yy, xx = np.mgrid[0:H, 0:W]

def to8(v16): return (v16 * 255 + 32767) // 65535

rgb8 = src
gray8 = src.sum(axis=2) // 3
# The low byte of a 16-bit sample decides whether it rounds up.
rgb16 = (src << 8) | ((xx[..., None] * 37 + yy[..., None] * 91 + np.arange(3) * 53) & 0xff)
gray16 = (gray8 << 8) | ((xx * 71 + yy * 13) & 0xff)
alpha8 = (xx * 29 + yy * 47) % 256
alpha8[0, 0], alpha8[0, 1] = 0, 255
alpha16 = (alpha8 << 8) | ((xx * 13 + yy * 7) & 0xff)
alpha16[0, 0], alpha16[0, 1] = 0, 65535
bilevel = ((xx * yy + xx + 2 * yy) % 3 == 0).astype(np.int64)
index8 = (xx * 7 + yy * 11) % 256
cmap = np.array([[(i * 997 + 12345 + k * 20011) & 0xffff for i in range(256)] for k in range(3)], np.int64)

def over(c, a, M): return (c * a + M * (M - a) + M // 2) // M
def premul(c, a, M): return (c * a + M // 2) // M
def unpremul_show(cp, a, M): return np.minimum(M, cp + M - a)
def gray3(g): return np.stack([g, g, g], axis=2)

expected = {
    "rgb8": rgb8, "rgb16": to8(rgb16), "gray8": gray3(gray8), "gray16": gray3(to8(gray16)),
    "graya8": gray3(over(gray8, alpha8, 255)), "bilevel": gray3(bilevel * 255),
    "palette8": np.stack([to8(cmap[k][index8]) for k in range(3)], axis=2),
    "rgba8-unassoc": over(rgb8, alpha8[..., None], 255),
    "rgba8-assoc": unpremul_show(premul(rgb8, alpha8[..., None], 255), alpha8[..., None], 255),
    "rgba16-unassoc": to8(over(rgb16, alpha16[..., None], 65535)),
    "rgba16-assoc": to8(unpremul_show(premul(rgb16, alpha16[..., None], 65535), alpha16[..., None], 65535)),
}
for name, pixels in expected.items():
    open(f"expected-{name}.rgb", "wb").write(pixels.astype(np.uint8).tobytes())

# --- a TIFF writer: IFD first, then tag values, then the pixel data -------
SHORT, LONG, RATIONAL = 3, 4, 5

def packbits(row):
    out, i = bytearray(), 0
    while i < len(row):
        j = i
        while j < len(row) and j - i < 128 and row[j] == row[i]: j += 1
        if j - i >= 2:
            out += bytes([257 - (j - i), row[i]]); i = j; continue
        j = i
        while j < len(row) and j - i < 128 and not (j + 1 < len(row) and row[j] == row[j + 1]): j += 1
        j = max(j, i + 1)
        out += bytes([j - i - 1]) + row[i:j]; i = j
    return bytes(out)

def samples_bytes(a, bits, order):
    """Rows of samples (H, N) to bytes, rows padded to a byte."""
    if bits == 1:
        return b"".join(np.packbits(r.astype(np.uint8)).tobytes() for r in a)
    return a.astype((order + "u2") if bits == 16 else np.uint8).tobytes()

def predict(a, spp, bits):
    """Horizontal differencing, sample by sample within each row."""
    d = a.copy().reshape(a.shape[0], -1, spp)
    d[:, 1:] = (d[:, 1:] - a.reshape(a.shape[0], -1, spp)[:, :-1]) % (1 << bits)
    return d.reshape(a.shape)

def page(pixels, bits, photometric, *, planar=False, compression=1, predictor=1, rows=None, tile=None,
         extra=None, orientation=None, colormap=None, tags=()):
    """pixels: (h, w, spp) samples. Returns (tags, striles) for one page."""
    h, w, spp = pixels.shape
    planes = [pixels[..., s:s + 1] for s in range(spp)] if planar else [pixels]
    pieces = []  # (h', w', spp') arrays, one a strile
    for p in planes:
        if tile:
            tw, th = tile
            for ty in range(0, h, th):
                for tx in range(0, w, tw):
                    t = np.zeros((th, tw, p.shape[2]), np.int64)
                    part = p[ty:ty + th, tx:tx + tw]
                    t[:part.shape[0], :part.shape[1]] = part
                    pieces.append(t)
        else:
            r = rows or h
            pieces += [p[y:y + r] for y in range(0, h, r)]
    def encode(t, order):
        flat = t.reshape(t.shape[0], -1)
        if predictor == 2: flat = predict(flat, t.shape[2], bits)
        raw = samples_bytes(flat, bits, order)
        if compression in (8, 32946): return zlib.compress(raw, 9)
        if compression == 32773:
            rb = len(raw) // t.shape[0]
            return b"".join(packbits(raw[i:i + rb]) for i in range(0, len(raw), rb))
        return raw
    t = [(256, LONG, [w]), (257, LONG, [h]), (258, SHORT, [bits] * spp), (259, SHORT, [compression]),
         (262, SHORT, [photometric]), (277, SHORT, [spp]), (284, SHORT, [2 if planar else 1])]
    if tile: t += [(322, LONG, [tile[0]]), (323, LONG, [tile[1]])]
    else: t += [(278, LONG, [rows or h])]
    if predictor != 1: t.append((317, SHORT, [predictor]))
    if extra is not None: t.append((338, SHORT, [extra]))
    if orientation: t.append((274, SHORT, [orientation]))
    if colormap is not None: t.append((320, SHORT, [int(v) for v in colormap.reshape(-1)]))
    t += list(tags)
    return t, pieces, encode, bool(tile)

def write(path, pages, order="<"):
    """pages: results of page(); every strile is stored after all the IFDs."""
    e = order
    out = bytearray(b"II*\0" if e == "<" else b"MM\0*") + struct.pack(e + "I", 8)
    blobs = []
    for t, pieces, encode, tiled in pages:
        blobs.append([encode(p, e) for p in pieces])
    # Lay out: IFDs (with their out-of-line values) one after another, then data.
    ifd_sizes = []
    for (t, pieces, _, tiled), data in zip(pages, blobs):
        n = len(t) + 2
        values = sum(len(v) * (2 if ty == SHORT else 4 if ty == LONG else 8) for _, ty, v in t)
        values += 8 * len(pieces)  # the strile offsets and byte counts
        ifd_sizes.append(2 + 12 * n + 4 + values + 16)
    data_at = 8 + sum(ifd_sizes)
    at, ifd_at = data_at, 8
    for k, ((t, pieces, _, tiled), data) in enumerate(zip(pages, blobs)):
        offsets = []
        for d in data: offsets.append(at); at += len(d)
        t = t + [(324 if tiled else 273, LONG, offsets), (325 if tiled else 279, LONG, [len(d) for d in data])]
        t.sort(key=lambda x: x[0])
        values_at = ifd_at + 2 + 12 * len(t) + 4
        ifd = bytearray(struct.pack(e + "H", len(t)))
        extra = bytearray()
        for tag, ty, v in t:
            size = 2 if ty == SHORT else 4
            raw = b"".join(struct.pack(e + ("H" if ty == SHORT else "I"), x) for x in v)
            if len(raw) <= 4:
                ifd += struct.pack(e + "HHI", tag, ty, len(v))[:8] + raw.ljust(4, b"\0")
            else:
                ifd += struct.pack(e + "HHII", tag, ty, len(v), values_at + len(extra))
                extra += raw
        next_at = ifd_at + ifd_sizes[k] if k + 1 < len(pages) else 0
        ifd += struct.pack(e + "I", next_at)
        block = (ifd + extra).ljust(ifd_sizes[k], b"\0")
        assert len(block) == ifd_sizes[k]
        out += block
        ifd_at += ifd_sizes[k]
    assert len(out) == data_at
    for data in blobs:
        for d in data: out += d
    open(path, "wb").write(out)

def gray(a): return a[..., None]
def withalpha(c, a): return np.concatenate([c if c.ndim == 3 else c[..., None], a[..., None]], axis=2)
def premul_all(c, a, M): return premul(c, a[..., None], M)

ONE = dict(rows=None)
files = {
    "gray8": page(gray(gray8), 8, 1),
    "gray8-miniswhite": page(gray(255 - gray8), 8, 0),
    "gray16": page(gray(gray16), 16, 1),
    "gray16-miniswhite-be": page(gray(65535 - gray16), 16, 0),
    "graya8-unassoc": page(withalpha(gray8, alpha8), 8, 1, extra=2),
    "bilevel": page(gray(bilevel), 1, 1, rows=4),
    "bilevel-miniswhite-packbits": page(gray(1 - bilevel), 1, 0, compression=32773),
    "palette8": page(gray(index8), 8, 3, colormap=cmap),
    "rgb8": page(rgb8, 8, 2),
    "rgb8-strips": page(rgb8, 8, 2, rows=5),
    "rgb8-planar": page(rgb8, 8, 2, planar=True, rows=7),
    "rgb8-deflate": page(rgb8, 8, 2, compression=8, predictor=2, rows=8),
    "rgb8-deflate-old": page(rgb8, 8, 2, compression=32946),
    "rgb8-packbits": page(rgb8, 8, 2, compression=32773, rows=6),
    "rgb8-tiled": page(rgb8, 8, 2, tile=(16, 16)),
    "rgb8-tiled-planar-deflate": page(rgb8, 8, 2, planar=True, tile=(32, 16), compression=8),
    "rgb8-extra-unspecified": page(withalpha(rgb8, alpha8), 8, 2, extra=0),
    "rgb16": page(rgb16, 16, 2),
    "rgb16-planar": page(rgb16, 16, 2, planar=True, rows=10),
    "rgb16-deflate-predictor-be": page(rgb16, 16, 2, compression=8, predictor=2, rows=9),
    "rgba8-unassoc": page(withalpha(rgb8, alpha8), 8, 2, extra=2),
    "rgba8-unassoc-planar": page(withalpha(rgb8, alpha8), 8, 2, extra=2, planar=True),
    "rgba8-assoc": page(withalpha(premul_all(rgb8, alpha8, 255), alpha8), 8, 2, extra=1),
    "rgba16-unassoc": page(withalpha(rgb16, alpha16), 16, 2, extra=2),
    "rgba16-assoc": page(withalpha(premul_all(rgb16, alpha16, 65535), alpha16), 16, 2, extra=1, rows=11),
}
for name, p in files.items():
    write(name + ".tif", [p], ">" if name.endswith("-be") else "<")

# Stored so that, turned as the tag says, each shows rgb8 upright.
stored = {2: rgb8[:, ::-1], 3: rgb8[::-1, ::-1], 4: rgb8[::-1], 5: rgb8.transpose(1, 0, 2),
          6: np.rot90(rgb8, 1), 7: rgb8[::-1, ::-1].transpose(1, 0, 2), 8: np.rot90(rgb8, -1)}
for o, pixels in stored.items():
    assert pixels.shape[:2] == ((W, H) if o >= 5 else (H, W))
    write(f"orientation-{o}.tif", [page(np.ascontiguousarray(pixels), 8, 2, orientation=o, rows=10)])

# Two pages: the first is read, the second (another size, gray) is not.
write("two-pages.tif", [page(rgb8, 8, 2), page(gray(gray8[:10, :20]), 8, 1)])

# tiffcp: LZW with the predictor, 16-bit LZW, JPEG in YCbCr (2x2 subsampled) and in RGB.
def tiffcp(args, src, dst): subprocess.run(["tiffcp", *args, src, dst], check=True)
tiffcp(["-c", "lzw:2", "-r", "6"], "rgb8.tif", "rgb8-lzw.tif")
tiffcp(["-c", "lzw"], "gray16.tif", "gray16-lzw.tif")
tiffcp(["-c", "jpeg:90", "-r", "32"], "rgb8.tif", "jpeg-ycbcr.tif")
tiffcp(["-c", "jpeg:90:r", "-r", "32"], "rgb8.tif", "jpeg-rgb.tif")

def tags_of(path):
    """The first IFD of a little-endian file as {tag: (type, count, value or offset)}."""
    b = open(path, "rb").read()
    at = struct.unpack_from("<I", b, 4)[0]
    n = struct.unpack_from("<H", b, at)[0]
    out = {}
    for i in range(n):
        tag, ty, count, v = struct.unpack_from("<HHII", b, at + 2 + 12 * i)
        out[tag] = (ty, count, v, at + 2 + 12 * i)
    return b, out

def only_strip(path):
    b, t = tags_of(path)
    assert t[273][1] == 1, path
    return b, t, b[t[273][2]:t[273][2] + t[279][2]]

# The JPEG stream libtiff decodes is the tables (JPEGTables) and the strip.
for name in ("jpeg-ycbcr", "jpeg-rgb"):
    b, t, strip = only_strip(name + ".tif")
    tables = b[t[347][2]:t[347][2] + t[347][1]]
    assert tables[:2] == b"\xff\xd8" and tables[-2:] == b"\xff\xd9" and strip[:2] == b"\xff\xd8"
    ppm = subprocess.run(["djpeg", "-dct", "int", "-pnm"], input=tables[:-2] + strip[2:], capture_output=True, check=True).stdout
    assert ppm.startswith(b"P6\n37 23\n255\n")
    open(f"expected-{name}.rgb", "wb").write(ppm[-W * H * 3:])

# --- malformed files -------------------------------------------------------
bad = "../bad/"
def put(b, at, fmt, v): b = bytearray(b); struct.pack_into("<" + fmt, b, at, v); return bytes(b)
def settag(path, tag, value, out):
    b, t = tags_of(path)
    ty, count, v, entry = t[tag]
    b = put(b, entry + 8, "H" if ty == SHORT else "I", value)
    open(bad + out, "wb").write(b)
    return b

rgb8_deflate = open("rgb8-deflate.tif", "rb").read()
open(bad + "truncated.tif", "wb").write(rgb8_deflate[:len(rgb8_deflate) // 2])
open(bad + "header-only.tif", "wb").write(b"II*\0\x08\0\0\0")
open(bad + "ifd-past-end.tif", "wb").write(put(open("rgb8.tif", "rb").read(), 4, "I", 10_000_000))
two = open("two-pages.tif", "rb").read()
_, t = tags_of("two-pages.tif")
next_at = 8 + 2 + 12 * len(t)  # the first IFD's link to the second
second = struct.unpack_from("<I", two, next_at)[0]
second_next = second + 2 + 12 * struct.unpack_from("<H", two, second)[0]
open(bad + "ifd-loop.tif", "wb").write(put(two, second_next, "I", 8))
open(bad + "ifd-loop-self.tif", "wb").write(put(two, next_at, "I", 8))
open(bad + "next-ifd-past-end.tif", "wb").write(put(two, next_at, "I", 10_000_000))
settag("gray8.tif", 256, 0, "zero-width.tif")
settag("gray8.tif", 257, 0, "zero-height.tif")
b = settag("gray8.tif", 256, 100_000, "gigapixel.tif")
open(bad + "gigapixel.tif", "wb").write(put(b, tags_of("gray8.tif")[1][257][3] + 8, "I", 100_000))
# Within the pixel limit, but far more than the bytes could hold.
b, t, _ = only_strip("rgb8-deflate-old.tif")
b = put(put(b, t[256][3] + 8, "I", 30_000), t[257][3] + 8, "I", 30_000)
open(bad + "huge-deflate.tif", "wb").write(put(b, t[278][3] + 8, "I", 30_000))
# Two strips of 5000 rows whose few hundred bytes are all in the file.
write("gray8-two-strips.tif", [page(gray(gray8), 8, 1, rows=12)])
b, t = tags_of("gray8-two-strips.tif")
os.remove("gray8-two-strips.tif")
for tag, v in ((256, 10_000), (257, 10_000), (278, 5_000)): b = put(b, t[tag][3] + 8, "I", v)
open(bad + "huge-uncompressed.tif", "wb").write(b)
settag("gray8.tif", 258, 3, "bits-3.tif")
settag("gray8.tif", 258, 12, "bits-12.tif")
settag("gray8.tif", 259, 12345, "unknown-compression.tif")
settag("gray8.tif", 259, 6, "old-jpeg.tif")
settag("gray8.tif", 277, 5, "samples-5.tif")
settag("rgb8.tif", 262, 6, "ycbcr-uncompressed.tif")
settag("gray8.tif", 273, 10_000_000, "strip-offset-past-end.tif")
settag("rgb8-deflate-old.tif", 279, 10_000_000, "strip-count-past-end.tif")
# Every strip names the first one's bytes, which are all the file still has.
b, t = tags_of("rgb8-strips.tif")
first = struct.unpack_from("<I", b, t[273][2])[0]
for i in range(t[273][1]): b = put(b, t[273][2] + 4 * i, "I", first)
open(bad + "strips-share-bytes.tif", "wb").write(b[:first + 5 * W * 3])
# Compressed strips cut short: the codecs run out of data.
for name, out in (("rgb8-lzw.tif", "lzw-short-strip.tif"), ("jpeg-ycbcr.tif", "jpeg-short-strip.tif")):
    b, t = tags_of(name)
    ty, n, v, entry = t[279]
    fmt = "H" if ty == SHORT else "I"
    at = v if n * struct.calcsize(fmt) > 4 else entry + 8
    open(bad + out, "wb").write(put(b, at, fmt, struct.unpack_from("<" + fmt, b, at)[0] // 2))
PY
