#!/usr/bin/env python3
"""Draw the Halvrenn icon, a clock face showing ten past ten, and write every icon file.

Run from the repository root:  python3 app/draw_icon.py

Writes app/win32/halvrenn.ico (32x32 2-colour, 32x32 16-colour, 16x16 16-colour),
the hicolor PNGs under app/linux/icons/ and the scalable SVG beside them.
Standard library only, and byte-for-byte deterministic, so the outputs can be committed.
"""
import math
import os
import struct
import zlib

# Geometry on a 256x256 design grid; every output is scaled from these numbers.
GRID = 256
CX = CY = 128
GEOMETRY = dict(
    rim_r=120,                              # outer edge of the dark rim
    face_r=104,                             # light face inside the rim
    mark_r0=74, mark_r1=92, mark_w=14,      # hour marks at 12, 3, 6 and 9
    hour_len=56, hour_w=18, hour_deg=305,   # ten past ten, degrees clockwise from 12
    min_len=84, min_w=12, min_deg=60,
    dot_r=12,
)
# At 16x16 plain scaling lets thin parts fall between pixels, so that size gets its own widths,
# counted in its pixels (x16). The 16-colour icon is point-sampled: a 1-pixel rim filling the
# square, 2x2 marks one pixel inside it, hands about a pixel wide and a 2x2 centre.
PX16 = GRID // 16
GEOMETRY_16 = dict(GEOMETRY, rim_r=8 * PX16, face_r=7 * PX16, mark_r0=4.9 * PX16,
                   mark_r1=5.1 * PX16, mark_w=2.2 * PX16, hour_w=1.5 * PX16, min_w=1.3 * PX16,
                   dot_r=1 * PX16)
# The antialiased 16x16 PNG needs a thicker rim and hands to stay dark, and marks centred on
# pixel corners so each covers a sharp 2x2 block.
GEOMETRY_16_AA = dict(GEOMETRY_16, face_r=6.6 * PX16, mark_r0=3.9 * PX16, mark_r1=4.1 * PX16,
                      mark_w=2 * PX16, hour_w=1.8 * PX16, min_w=1.6 * PX16, dot_r=1.1 * PX16)

# Each part's colour as RGB (PNG, SVG), VGA palette index (16 colours) and 1-bit value.
COLOURS = {
    'rim':  ('#1f3a6b', 4, 0),   # navy
    'face': ('#ffffff', 15, 1),  # white
    'mark': ('#1f3a6b', 4, 0),
    'hand': ('#1b1b1b', 0, 0),   # black
    'dot':  ('#d32f2f', 9, 0),   # red
}

# The standard 16-colour VGA palette that Windows uses for 4-bit icons.
VGA = [(0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0), (0, 0, 128), (128, 0, 128),
       (0, 128, 128), (192, 192, 192), (128, 128, 128), (255, 0, 0), (0, 255, 0),
       (255, 255, 0), (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255)]


def polar(deg, r):
    """Point at clock angle deg (clockwise from 12) and radius r; y grows downwards."""
    a = math.radians(deg)
    return CX + r * math.sin(a), CY - r * math.cos(a)


def shapes(g=GEOMETRY):
    """Parts from back to front: ('disc', role, x, y, r) or ('line', role, x0, y0, x1, y1, width).
    Lines have round caps, which both the rasteriser and SVG draw the same way."""
    out = [('disc', 'rim', CX, CY, g['rim_r']), ('disc', 'face', CX, CY, g['face_r'])]
    for deg in (0, 90, 180, 270):
        out.append(('line', 'mark') + polar(deg, g['mark_r0']) + polar(deg, g['mark_r1'])
                   + (g['mark_w'],))
    out.append(('line', 'hand', CX, CY) + polar(g['hour_deg'], g['hour_len']) + (g['hour_w'],))
    out.append(('line', 'hand', CX, CY) + polar(g['min_deg'], g['min_len']) + (g['min_w'],))
    out.append(('disc', 'dot', CX, CY, g['dot_r']))
    return out


def seg_dist(px, py, x0, y0, x1, y1):
    dx, dy = x1 - x0, y1 - y0
    t = max(0.0, min(1.0, ((px - x0) * dx + (py - y0) * dy) / (dx * dx + dy * dy)))
    return math.hypot(px - x0 - t * dx, py - y0 - t * dy)


def render(size, ss):
    """Role of the front-most part at each of ss x ss samples per pixel (None = outside)."""
    k = GRID / size
    g = GEOMETRY if size != 16 else GEOMETRY_16 if ss == 1 else GEOMETRY_16_AA
    parts = list(reversed(shapes(g)))   # front-most first, so the first hit wins
    grid = []
    for j in range(size):
        row = []
        for i in range(size):
            cell = []
            for b in range(ss):
                for a in range(ss):
                    x, y = (i + (a + 0.5) / ss) * k, (j + (b + 0.5) / ss) * k
                    role = None
                    for p in parts:
                        if p[0] == 'disc':
                            hit = (x - p[2]) ** 2 + (y - p[3]) ** 2 <= p[4] ** 2
                        else:
                            hit = seg_dist(x, y, *p[2:6]) <= p[6] / 2
                        if hit:
                            role = p[1]
                            break
                    cell.append(role)
            row.append(cell)
        grid.append(row)
    return grid


def rgb(role):
    h = COLOURS[role][0]
    return tuple(int(h[n:n + 2], 16) for n in (1, 3, 5))


def rgba_pixels(size):
    """Antialiased straight-alpha RGBA rows from a 4x4 supersample."""
    rows = []
    for row in render(size, 4):
        out = bytearray()
        for cell in row:
            hits = [rgb(r) for r in cell if r is not None]
            if not hits:
                out += b'\0\0\0\0'
                continue
            # Average colour over covered samples only: alpha carries the coverage.
            out += bytes(round(sum(c[n] for c in hits) / len(hits)) for n in range(3))
            out.append(round(255 * len(hits) / len(cell)))
        rows.append(bytes(out))
    return rows


def png(size):
    def chunk(tag, data):
        return struct.pack('>I', len(data)) + tag + data + struct.pack('>I', zlib.crc32(tag + data))
    raw = b''.join(b'\0' + r for r in rgba_pixels(size))      # filter type 0 on every row
    return (b'\x89PNG\r\n\x1a\n'
            + chunk(b'IHDR', struct.pack('>IIBBBBB', size, size, 8, 6, 0, 0, 0))
            + chunk(b'IDAT', zlib.compress(raw, 9)) + chunk(b'IEND', b''))


def svg():
    lines = ['<svg xmlns="http://www.w3.org/2000/svg" width="256" height="256" viewBox="0 0 256 256">']
    for s in shapes():
        colour = COLOURS[s[1]][0]
        if s[0] == 'disc':
            lines.append(f'  <circle cx="{s[2]:g}" cy="{s[3]:g}" r="{s[4]:g}" fill="{colour}"/>')
        else:
            x0, y0, x1, y1 = (f'{v:.2f}'.rstrip('0').rstrip('.') for v in s[2:6])
            lines.append(f'  <line x1="{x0}" y1="{y0}" x2="{x1}" y2="{y1}" stroke="{colour}" '
                         f'stroke-width="{s[6]:g}" stroke-linecap="round"/>')
    return '\n'.join(lines + ['</svg>']) + '\n'


def pack_rows(rows, bpp):
    """Bottom-up rows of palette indices, packed high bits first, each padded to 4 bytes."""
    out = bytearray()
    for row in reversed(rows):
        bits = ''.join(format(v, f'0{bpp}b') for v in row)
        bits += '0' * (-len(bits) % 32)
        out += int(bits, 2).to_bytes(len(bits) // 8, 'big')
    return bytes(out)


def ico_image(size, bpp):
    """One BMP-in-ICO image, point-sampled so every pixel is exactly one palette colour."""
    grid = render(size, 1)
    roles = [[cell[0] for cell in row] for row in grid]
    pick = 2 if bpp == 1 else 1          # 1-bit value or VGA index from COLOURS
    xor = [[0 if r is None else COLOURS[r][pick] for r in row] for row in roles]
    mask = [[1 if r is None else 0 for r in row] for row in roles]   # 1 = transparent
    palette = [(0, 0, 0), (255, 255, 255)] if bpp == 1 else VGA
    bits = pack_rows(xor, bpp) + pack_rows(mask, 1)
    header = struct.pack('<IiiHHIIiiII', 40, size, 2 * size, 1, bpp, 0, len(bits), 0, 0, 0, 0)
    table = b''.join(bytes((b, g, r, 0)) for r, g, b in palette)     # RGBQUAD is B, G, R
    return header + table + bits


def ico():
    images = [(32, 1), (32, 4), (16, 4)]
    data = [ico_image(size, bpp) for size, bpp in images]
    out = struct.pack('<HHH', 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for (size, bpp), d in zip(images, data):
        out += struct.pack('<BBBBHHII', size, size, 1 << bpp, 0, 1, bpp, len(d), offset)
        offset += len(d)
    return out + b''.join(data)


def write(path, data):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, 'wb') as f:
        f.write(data)
    print(path)


def main():
    app = os.path.dirname(os.path.abspath(__file__))
    hicolor = os.path.join(app, 'linux', 'icons', 'hicolor')
    write(os.path.join(app, 'win32', 'halvrenn.ico'), ico())
    for n in (16, 32, 48, 64, 128, 256):
        write(os.path.join(hicolor, f'{n}x{n}', 'apps', 'halvrenn.png'), png(n))
    write(os.path.join(hicolor, 'scalable', 'apps', 'halvrenn.svg'), svg().encode())


if __name__ == '__main__':
    main()
