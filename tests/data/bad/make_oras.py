#!/usr/bin/python3
"""Writes the OpenRaster test files: ../ora/*.ora, which must be read, and the
damaged or hostile *.ora of this folder, which must each be refused.

The archives are made with zipfile and zlib, the PNGs inside by hand, so that
nothing here owes anything to the reader under test. Headers are then edited
in place where a file must lie (about a size, a CRC, encryption), the local
header and the central directory alike, so that the lie is consistent.

Usage: /usr/bin/python3 tests/data/bad/make_oras.py  (zipfile, zlib and struct only)
"""
import io
import struct
import zipfile
import zlib
from pathlib import Path

HERE = Path(__file__).resolve().parent
GOOD = HERE.parent / 'ora'
STORED, DEFLATED = zipfile.ZIP_STORED, zipfile.ZIP_DEFLATED
GRAY, RGB, PALETTE, RGBA = 0, 2, 3, 6


def chunk(kind, data):
    return struct.pack('>I', len(data)) + kind + data + struct.pack('>I', zlib.crc32(kind + data))


def png(w, h, ctype, pixel, idat=None, plte=b''):
    """A w x h 8-bit PNG whose pixel(x, y) gives the samples; or the given IDAT data."""
    if idat is None:
        rows = b''.join(b'\0' + bytes(v for x in range(w) for v in pixel(x, y)) for y in range(h))
        idat = zlib.compress(rows, 9)
    return (b'\x89PNG\r\n\x1a\n' + chunk(b'IHDR', struct.pack('>IIBBBBB', w, h, 8, ctype, 0, 0, 0)) +
            (chunk(b'PLTE', plte) if plte else b'') + chunk(b'IDAT', idat) + chunk(b'IEND', b''))


def stack(w, h, layers, extra=''):
    body = ''.join(f'<layer name="{name}" src="{src}"/>' for name, src in layers)
    return f"<?xml version='1.0' encoding='UTF-8'?>\n<image w=\"{w}\" h=\"{h}\"><stack>{body}{extra}</stack></image>\n"


def archive(entries):
    """entries: (name, bytes, method) in order."""
    out = io.BytesIO()
    with zipfile.ZipFile(out, 'w') as z:
        for name, data, method in entries:
            info = zipfile.ZipInfo(name, (2024, 1, 1, 0, 0, 0))
            info.compress_type = method
            z.writestr(info, data)
    return bytearray(out.getvalue())


def edit(data, name, at_local, at_central, value, fmt):
    """Writes `value` into the local header and the central directory entry of `name`."""
    info = zipfile.ZipFile(io.BytesIO(bytes(data))).getinfo(name)
    struct.pack_into(fmt, data, info.header_offset + at_local, value)
    central = data.find(b'PK\x01\x02')
    encoded = name.encode()
    while True:
        n = struct.unpack_from('<H', data, central + 28)[0]
        if data[central + 46:central + 46 + n] == encoded:
            break
        central = data.find(b'PK\x01\x02', central + 46)
    struct.pack_into(fmt, data, central + at_central, value)
    return data


def claim_size(data, name, size):
    return edit(data, name, 22, 24, size, '<I')


def claim_crc(data, name, crc):
    return edit(data, name, 14, 16, crc, '<I')


def flag_encrypted(data, name):
    info = zipfile.ZipFile(io.BytesIO(bytes(data))).getinfo(name)
    return edit(data, name, 6, 8, info.flag_bits | 1, '<H')


W, H = 4, 4
COLOUR = png(W, H, RGB, lambda x, y: (40 * x, 50 * y, 200))
GRAYPNG = png(W, H, GRAY, lambda x, y: (10 * x + 60 * y,))
BASE_LAYERS = [('colour', 'data/colour.png'), ('gray', 'data/gray.png')]


def base(stack_xml=None, layers=None, mime=('mimetype', b'image/openraster', STORED), first=None):
    entries = [mime] if mime else []
    entries.append(('stack.xml', (stack_xml or stack(W, H, BASE_LAYERS)).encode(), DEFLATED))
    entries += layers if layers is not None else [('data/colour.png', COLOUR, STORED), ('data/gray.png', GRAYPNG, STORED)]
    entries += [('mergedimage.png', COLOUR, STORED), ('Thumbnails/thumbnail.png', COLOUR, STORED)]
    if first:
        entries.insert(0, entries.pop(next(i for i, e in enumerate(entries) if e[0] == first)))
    return archive(entries)


def written_elsewhere():
    """5 x 3, as a program that deflates every entry but mimetype writes it: nested stacks, an RGBA
    layer, entities, elements and attributes this reader passes over."""
    def ink(x, y):
        return {(0, 0): (255, 0, 0, 128), (1, 0): (0, 0, 255, 0)}.get((x, y), (10 * x, 20 * y, 30, 255))
    xml = ("<?xml version='1.0' encoding='UTF-8'?>\n<!DOCTYPE image>\n<!-- layers of another program -->\n"
           '<image version="0.0.5" w="5" h="3" xres="72"><stack name="root">\n'
           '  <stack name="group"><layer name="Ink &amp; &lt;wash&gt; &#233;&#x21;&apos;&quot;" src="data/ink.png" '
           "visibility='hidden' opacity=\"0.5\" x=\"0\" y=\"0\"/></stack>\n"
           '  <text>passed over <![CDATA[<layer src="data/none.png"/>]]></text>\n'
           '  <layer composite-op="svg:multiply" name="Paper" src="./data/paper.png" x="2" y="-1"></layer>\n'
           '</stack></image>\n')
    return archive([('mimetype', b'image/openraster', STORED), ('stack.xml', xml.encode('utf-8-sig'), DEFLATED),
                    ('data/ink.png', png(5, 3, RGBA, ink), DEFLATED),
                    ('./data/paper.png', png(5, 3, GRAY, lambda x, y: (50 * x + y,)), DEFLATED),
                    ('mergedimage.png', png(5, 3, RGBA, ink), DEFLATED),
                    ('Thumbnails/thumbnail.png', png(5, 3, RGB, lambda x, y: (0, 0, 0)), DEFLATED)])


def zip64_claiming(data, entries):
    """The archive with a Zip64 end record that counts `entries` entries."""
    at = data.rfind(b'PK\x05\x06')
    size, offset = struct.unpack_from('<II', data, at + 12)
    record = struct.pack('<IQHHIIQQQQ', 0x06064b50, 44, 45, 45, 0, 0, entries, entries, size, offset)
    locator = struct.pack('<IIQI', 0x07064b50, 0, at, 1)
    end = struct.pack('<IHHHHIIH', 0x06054b50, 0, 0, 0xffff, 0xffff, 0xffffffff, 0xffffffff, 0)
    return data[:at] + record + locator + end


def main():
    GOOD.mkdir(exist_ok=True)
    (GOOD / 'base.ora').write_bytes(base())
    (GOOD / 'written-elsewhere.ora').write_bytes(written_elsewhere())

    whole = base()
    zeros = zlib.compress(bytes(8 << 20), 9)
    bad = {
        'empty.ora': b'',
        'not-zip.ora': b'image/openraster, honestly\n',
        'truncated.ora': whole[:len(whole) // 2],
        'no-mimetype.ora': base(mime=None),
        'wrong-mimetype.ora': base(mime=('mimetype', b'image/png', STORED)),
        'mimetype-newline.ora': base(mime=('mimetype', b'image/openraster\n', STORED)),
        'mimetype-not-first.ora': base(first='stack.xml'),
        'no-stack.ora': archive([('mimetype', b'image/openraster', STORED), ('data/colour.png', COLOUR, STORED)]),
        'src-dotdot.ora': base(stack(W, H, [('up', 'data/../../colour.png')]),
                               [('data/../../colour.png', COLOUR, STORED)]),
        'src-absolute.ora': base(stack(W, H, [('abs', '/data/colour.png')]), [('/data/colour.png', COLOUR, STORED)]),
        'src-drive.ora': base(stack(W, H, [('c', 'C:/data/colour.png')]), [('C:/data/colour.png', COLOUR, STORED)]),
        'src-backslash.ora': base(stack(W, H, [('win', 'data\\colour.png')]), [('data\\colour.png', COLOUR, STORED)]),
        'src-missing.ora': base(stack(W, H, BASE_LAYERS + [('gone', 'data/gone.png')])),
        'size-huge.ora': base(stack(100000, 100000, BASE_LAYERS)),
        'size-zero.ora': base(stack(0, 4, BASE_LAYERS)),
        'size-not-number.ora': base(stack('4px', 4, BASE_LAYERS)),
        'stack-unknown-entity.ora': base(stack(W, H, [('&nbsp;', 'data/colour.png')])),
        'stack-unclosed.ora': base(stack(W, H, BASE_LAYERS).replace('</stack></image>', '')),
        'stack-mismatched.ora': base(stack(W, H, BASE_LAYERS).replace('</stack></image>', '</image></stack>')),
        'stack-over-1mb.ora': base(stack(W, H, BASE_LAYERS, ' ' * (1 << 20))),
        # stack.xml says it is 400 bytes; it inflates to 8 MB.
        'stack-bomb.ora': claim_size(base(stack(W, H, BASE_LAYERS, ' ' * (8 << 20))), 'stack.xml', 400),
        # A 1.5 KB layer that claims 4 GB, more than any deflate stream of its size holds.
        'size-claim-lies.ora': claim_size(base(layers=[('data/colour.png', COLOUR + bytes(1 << 20), DEFLATED),
                                                      ('data/gray.png', GRAYPNG, STORED)]),
                                          'data/colour.png', 0xfffffff0),
        # stack.xml's headers claim twice its length, which deflate could well hold.
        'deflated-size-lies.ora': claim_size(base(), 'stack.xml', 2 * len(stack(W, H, BASE_LAYERS))),
        'stored-size-lies.ora': claim_size(base(), 'data/colour.png', len(COLOUR) + 1000),
        'encrypted-layer.ora': flag_encrypted(base(), 'data/colour.png'),
        # 2^40 entries in a central directory of 6, which a reader must not allocate room for.
        'zip64-entry-count.ora': zip64_claiming(whole, 1 << 40),
        'duplicate-names.ora': base(layers=[('data/colour.png', COLOUR, STORED), ('data/gray.png', GRAYPNG, STORED),
                                            ('data/colour.png', COLOUR, STORED)]),
        # The rest open; reading a layer or the merged picture must fail.
        'layer-size-mismatch.ora': base(layers=[('data/colour.png', png(W, H - 1, RGB, lambda x, y: (1, 2, 3)), STORED),
                                                ('data/gray.png', GRAYPNG, STORED)]),
        # Its rows are a byte a pixel, as gray ones are.
        'gray-layer-is-palette.ora': base(layers=[('data/colour.png', COLOUR, STORED),
                                                  ('data/gray.png', png(W, H, PALETTE, lambda x, y: (y,), None,
                                                                        bytes(range(12))), STORED)]),
        # The PNG ends; 8 MB of zeros follow it in the entry, whose header says only the PNG is there.
        'layer-bomb.ora': claim_size(base(layers=[('data/colour.png', COLOUR + bytes(8 << 20), DEFLATED),
                                                  ('data/gray.png', GRAYPNG, STORED)]), 'data/colour.png', len(COLOUR)),
        'layer-crc.ora': claim_crc(base(), 'data/colour.png', zlib.crc32(COLOUR) ^ 1),
        # 30000 x 30000 in both stack.xml and the layer's IHDR, whose rows cannot be in its few bytes.
        'layer-gigapixel.ora': base(stack(30000, 30000, BASE_LAYERS),
                                    [('data/colour.png', png(30000, 30000, RGB, None, zeros[:64]), STORED),
                                     ('data/gray.png', GRAYPNG, STORED)]),
        'merged-truncated.ora': archive([('mimetype', b'image/openraster', STORED),
                                         ('stack.xml', stack(W, H, BASE_LAYERS).encode(), DEFLATED),
                                         ('data/colour.png', COLOUR, STORED), ('data/gray.png', GRAYPNG, STORED),
                                         ('mergedimage.png', COLOUR[:len(COLOUR) // 2], STORED)]),
    }
    for name, data in bad.items():
        (HERE / name).write_bytes(bytes(data))


if __name__ == '__main__':
    main()
