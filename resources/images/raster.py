"""Small vector rasteriser and PNG/ICO writers, standard library only.

Shapes are signed distance functions over a unit design square (x to the
right, y down, 0..1); a pixel's coverage is taken analytically from the
distance at its centre, which gives anti-aliased edges at every size without
supersampling. Colours are (r, g, b, a) with components 0..255.
"""

import math
import os
import struct
import zlib


# --- shapes -----------------------------------------------------------------

class Shape:
    """Signed distance (negative inside), in design units."""

    def __init__(self, fn):
        self.dist = fn

    def __or__(self, other):
        return Shape(lambda x, y: min(self.dist(x, y), other.dist(x, y)))

    def __and__(self, other):
        return Shape(lambda x, y: max(self.dist(x, y), other.dist(x, y)))

    def __sub__(self, other):
        return Shape(lambda x, y: max(self.dist(x, y), -other.dist(x, y)))

    def grow(self, amount):
        return Shape(lambda x, y: self.dist(x, y) - amount)

    def outline(self, half_width):
        return Shape(lambda x, y: abs(self.dist(x, y)) - half_width)

    def moved(self, dx, dy):
        return Shape(lambda x, y: self.dist(x - dx, y - dy))


def circle(cx, cy, r):
    return Shape(lambda x, y: math.hypot(x - cx, y - cy) - r)


def ellipse(cx, cy, rx, ry):
    # Approximation, exact on the axes; good enough for small icons.
    k = min(rx, ry)
    return Shape(lambda x, y: (math.hypot((x - cx) / rx, (y - cy) / ry) - 1.0) * k)


def box(x0, y0, x1, y1, radius=0.0):
    cx, cy = (x0 + x1) / 2, (y0 + y1) / 2
    hw, hh = (x1 - x0) / 2 - radius, (y1 - y0) / 2 - radius

    def fn(x, y):
        qx, qy = abs(x - cx) - hw, abs(y - cy) - hh
        outside = math.hypot(max(qx, 0.0), max(qy, 0.0))
        return outside + min(max(qx, qy), 0.0) - radius

    return Shape(fn)


def segment(ax, ay, bx, by, width):
    """A stroke of the given width with round caps."""
    dx, dy = bx - ax, by - ay
    length2 = dx * dx + dy * dy or 1e-12
    half = width / 2

    def fn(x, y):
        t = max(0.0, min(1.0, ((x - ax) * dx + (y - ay) * dy) / length2))
        return math.hypot(x - ax - t * dx, y - ay - t * dy) - half

    return Shape(fn)


def polyline(points, width):
    shape = segment(*points[0], *points[1], width)
    for a, b in zip(points[1:], points[2:]):
        shape = shape | segment(*a, *b, width)
    return shape


def arc(cx, cy, r, width, start_deg, end_deg):
    """Part of a circle's stroke from start to end angle (degrees, clockwise
    on screen, 0 = right), with round caps."""
    a0, a1 = math.radians(start_deg), math.radians(end_deg)
    span = (a1 - a0) % (2 * math.pi)
    ends = [(cx + r * math.cos(a), cy + r * math.sin(a)) for a in (a0, a1)]
    half = width / 2

    def fn(x, y):
        angle = math.atan2(y - cy, x - cx)
        if (angle - a0) % (2 * math.pi) <= span:
            return abs(math.hypot(x - cx, y - cy) - r) - half
        return min(math.hypot(x - ex, y - ey) for ex, ey in ends) - half

    return Shape(fn)


def polygon(points):
    n = len(points)

    def fn(x, y):
        d = float("inf")
        inside = False
        for i in range(n):
            ax, ay = points[i]
            bx, by = points[i - 1]
            ex, ey = bx - ax, by - ay
            wx, wy = x - ax, y - ay
            t = max(0.0, min(1.0, (wx * ex + wy * ey) / (ex * ex + ey * ey or 1e-12)))
            d = min(d, math.hypot(wx - ex * t, wy - ey * t))
            if (ay > y) != (by > y) and x < ax + (y - ay) * ex / (ey or 1e-12):
                inside = not inside
        return -d if inside else d

    return Shape(fn)


# --- paints -----------------------------------------------------------------

def rgb(hex_text, alpha=255):
    v = int(hex_text.lstrip("#"), 16)
    return ((v >> 16) & 255, (v >> 8) & 255, v & 255, alpha)


def vertical(top, bottom, y0=0.0, y1=1.0):
    """Linear gradient from top colour at y0 to bottom colour at y1."""

    def paint(x, y):
        t = max(0.0, min(1.0, (y - y0) / ((y1 - y0) or 1e-12)))
        return tuple(a + (b - a) * t for a, b in zip(top, bottom))

    return paint


def radial(inner, outer, cx, cy, r):
    def paint(x, y):
        t = max(0.0, min(1.0, math.hypot(x - cx, y - cy) / r))
        return tuple(a + (b - a) * t for a, b in zip(inner, outer))

    return paint


# --- canvas -----------------------------------------------------------------

class Canvas:
    """Premultiplied float pixels, composited with "over"."""

    def __init__(self, width, height=None):
        self.width = width
        self.height = height or width
        self.pixels = [[0.0, 0.0, 0.0, 0.0] for _ in range(self.width * self.height)]

    def fill(self, shape, paint, opacity=1.0):
        scale = min(self.width, self.height)
        for py in range(self.height):
            y = (py + 0.5) / self.height
            for px in range(self.width):
                x = (px + 0.5) / self.width
                coverage = 0.5 - shape.dist(x, y) * scale
                if coverage <= 0.0:
                    continue
                coverage = min(coverage, 1.0) * opacity
                r, g, b, a = paint(x, y) if callable(paint) else paint
                alpha = a / 255.0 * coverage
                dst = self.pixels[py * self.width + px]
                keep = 1.0 - alpha
                dst[0] = r * alpha + dst[0] * keep
                dst[1] = g * alpha + dst[1] * keep
                dst[2] = b * alpha + dst[2] * keep
                dst[3] = alpha + dst[3] * keep
        return self

    def set_pixel(self, px, py, colour):
        r, g, b, a = colour
        self.pixels[py * self.width + px] = [r * a / 255.0, g * a / 255.0, b * a / 255.0, a / 255.0]

    def rgba(self):
        """Straight-alpha bytes, rows top to bottom."""
        out = bytearray()
        for r, g, b, a in self.pixels:
            if a <= 0.0:
                out += b"\0\0\0\0"
                continue
            out += bytes(max(0, min(255, round(c / a))) for c in (r, g, b))
            out.append(max(0, min(255, round(a * 255))))
        return bytes(out)


# --- encoders ---------------------------------------------------------------

def _chunk(kind, data):
    return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF)


def png_bytes(canvas, alpha=True):
    """RGBA (colour type 6) or, with alpha=False, RGB (colour type 2) PNG."""
    return png_from_rgba(canvas.width, canvas.height, canvas.rgba(), alpha)


def png_from_rgba(w, h, data, alpha=True):
    """PNG of straight-alpha RGBA bytes, rows top to bottom."""
    raw = bytearray()
    for y in range(h):
        raw.append(0)  # filter: none
        row = data[y * w * 4:(y + 1) * w * 4]
        if alpha:
            raw += row
        else:
            for i in range(0, len(row), 4):
                raw += row[i:i + 3]
    header = struct.pack(">IIBBBBB", w, h, 8, 6 if alpha else 2, 0, 0, 0)
    return (b"\x89PNG\r\n\x1a\n" + _chunk(b"IHDR", header) +
            _chunk(b"IDAT", zlib.compress(bytes(raw), 9)) + _chunk(b"IEND", b""))


def _icon_image(canvas):
    """One icon directory image: 32-bit BGRA DIB (bottom-up) plus AND mask."""
    w, h = canvas.width, canvas.height
    data = canvas.rgba()
    header = struct.pack("<IiiHHIIiiII", 40, w, h * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    colour = bytearray()
    mask = bytearray()
    mask_stride = ((w + 31) // 32) * 4
    for y in reversed(range(h)):
        row_mask = bytearray(mask_stride)
        for x in range(w):
            r, g, b, a = data[(y * w + x) * 4:(y * w + x) * 4 + 4]
            colour += bytes((b, g, r, a))
            if a == 0:
                row_mask[x // 8] |= 0x80 >> (x % 8)
        mask += row_mask
    return header + bytes(colour) + bytes(mask)


def icon_group_bytes(canvases, first_id):
    """An icon group directory naming its images by resource id."""
    out = struct.pack("<HHH", 0, 1, len(canvases))
    for i, c in enumerate(canvases):
        out += struct.pack("<BBBBHHIH", c.width % 256, c.height % 256, 0, 0, 1, 32, len(_icon_image(c)),
                           first_id + i)
    return out


class ResourceScript:
    """A resource script and the files it names, written into one folder.

    Icons go in as their raw parts, each image (type 3) with an id taken from
    this script's own range and the group directory (type 14) naming them: the
    resource compiler would number the images of every script from 1, and two
    scripts linked into one binary would then share image ids.
    """

    def __init__(self, out_dir, first_icon_id, title):
        self.out_dir = out_dir
        self.next_id = first_icon_id
        self.lines = ["// " + title, ""]
        os.makedirs(out_dir, exist_ok=True)

    def _file(self, file_name, data):
        path = os.path.join(self.out_dir, file_name)
        write_if_changed(path, data)
        return path.replace("\\", "/")

    def _name(self, name):
        return str(name) if isinstance(name, int) else name

    def icon(self, name, canvases):
        stem = self._name(name).lower()
        first = self.next_id
        for i, c in enumerate(canvases):
            path = self._file("%s_%d.bin" % (stem, c.width), _icon_image(c))
            self.lines.append('%d 3 "%s"' % (first + i, path))
        self.next_id += len(canvases)
        path = self._file(stem + ".group", icon_group_bytes(canvases, first))
        self.lines.append('%s 14 "%s"' % (self._name(name), path))

    def rcdata(self, name, file_name, data):
        self.lines.append('%s RCDATA "%s"' % (self._name(name), self._file(file_name, data)))

    def write(self, rc_path):
        # Always rewritten: the resource compiler does not track the files the
        # script names, so a new time stamp is what makes it run again.
        with open(rc_path, "w") as f:
            f.write("\n".join(self.lines) + "\n")


def ico_bytes(canvases):
    images = [_icon_image(c) for c in canvases]
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for c, image in zip(canvases, images):
        out += struct.pack("<BBBBHHII", c.width % 256, c.height % 256, 0, 0, 1, 32, len(image), offset)
        offset += len(image)
    return out + b"".join(images)


def write_if_changed(path, data):
    """Keeps the file's time stamp when the content is the same, so that the
    resource compiler does not run again for nothing."""
    try:
        with open(path, "rb") as f:
            if f.read() == data:
                return
    except OSError:
        pass
    with open(path, "wb") as f:
        f.write(data)
