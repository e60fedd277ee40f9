"""Icon drawing on Pillow: shapes in a unit design square, painted at a
multiple of the target size and reduced to it for anti-aliased edges.

Coordinates run 0..1 (x to the right, y down) at every size, so one design
serves 16, 32 and 48 pixels. A shape becomes a coverage mask only when a
canvas paints it; masks combine with |, & and -. Colours are (r, g, b, a),
components 0..255.
"""

import math

from PIL import Image, ImageChops, ImageDraw

# Every icon is drawn at about this many pixels a side, then reduced by a box
# filter: each target pixel gets the covered share of its area.
WORK_SIZE = 256


# --- shapes -----------------------------------------------------------------

class Shape:
    """Draws its coverage mask ("L", 0 or 255) for a working image size."""

    def __init__(self, render):
        self.render = render

    def __or__(self, other):
        return Shape(lambda size: ImageChops.lighter(self.render(size), other.render(size)))

    def __and__(self, other):
        return Shape(lambda size: ImageChops.darker(self.render(size), other.render(size)))

    def __sub__(self, other):
        return Shape(lambda size: ImageChops.subtract(self.render(size), other.render(size)))

    def grow(self, amount):
        """Grown by amount design units on every side (shrunk if negative)."""
        return Shape(lambda size: _morph(self.render(size), amount * size))

    def outline(self, half_width):
        """A stroke centred on the shape's edge."""
        def render(size):
            mask = self.render(size)
            return ImageChops.subtract(_morph(mask, half_width * size), _morph(mask, -half_width * size))

        return Shape(render)


def _morph(mask, radius):
    """Dilation (radius > 0) or erosion by a disc: the extremum of the mask
    shifted to every offset inside the disc."""
    pick = ImageChops.lighter if radius > 0 else ImageChops.darker
    r = abs(radius)
    reach = int(r)
    out = mask
    for dy in range(-reach, reach + 1):
        for dx in range(-reach, reach + 1):
            if (dx or dy) and dx * dx + dy * dy <= r * r:
                shifted = Image.new("L", mask.size, 0)
                shifted.paste(mask, (dx, dy))
                out = pick(out, shifted)
    return out


def _mask(size, draw):
    mask = Image.new("L", (size, size), 0)
    draw(ImageDraw.Draw(mask), size)
    return mask


def _point(p, size):
    # Pillow puts pixel centres on whole coordinates.
    return (p[0] * size - 0.5, p[1] * size - 0.5)


def _bounds(x0, y0, x1, y1, size):
    # Ellipse and rectangle bounds name their first and last pixel.
    return [x0 * size, y0 * size, x1 * size - 1, y1 * size - 1]


def ellipse(cx, cy, rx, ry):
    return Shape(lambda size: _mask(size, lambda d, s: d.ellipse(_bounds(cx - rx, cy - ry, cx + rx, cy + ry, s),
                                                                 fill=255)))


def circle(cx, cy, r):
    return ellipse(cx, cy, r, r)


def box(x0, y0, x1, y1, radius=0.0):
    def draw(d, s):
        bounds = _bounds(x0, y0, x1, y1, s)
        if radius > 0:
            d.rounded_rectangle(bounds, radius * s, fill=255)
        else:
            d.rectangle(bounds, fill=255)

    return Shape(lambda size: _mask(size, draw))


def polyline(points, width):
    """A stroke through the points, with round caps and joins."""

    def draw(d, s):
        pixels = [_point(p, s) for p in points]
        d.line(pixels, fill=255, width=max(1, round(width * s)))
        half = width * s / 2
        for x, y in pixels:
            d.ellipse([x - half + 0.5, y - half + 0.5, x + half - 0.5, y + half - 0.5], fill=255)

    return Shape(lambda size: _mask(size, draw))


def segment(ax, ay, bx, by, width):
    return polyline([(ax, ay), (bx, by)], width)


def arc(cx, cy, r, width, start_deg, end_deg):
    """Part of a circle's stroke from start to end angle (degrees, clockwise
    on screen, 0 = right), with round caps."""
    end_deg = start_deg + (end_deg - start_deg) % 360
    caps = [(cx + r * math.cos(math.radians(a)), cy + r * math.sin(math.radians(a))) for a in (start_deg, end_deg)]
    outer = r + width / 2

    def draw(d, s):
        # Pillow strokes an arc inwards from its bounds.
        d.arc(_bounds(cx - outer, cy - outer, cx + outer, cy + outer, s), start_deg, end_deg, fill=255,
              width=max(1, round(width * s)))

    cap_dots = circle(*caps[0], width / 2) | circle(*caps[1], width / 2)
    return Shape(lambda size: _mask(size, draw)) | cap_dots


def polygon(points):
    return Shape(lambda size: _mask(size, lambda d, s: d.polygon([_point(p, s) for p in points], fill=255)))


# --- paints -----------------------------------------------------------------
# A paint is a solid colour or a Ramp between two colours, which draws the
# position along it for the working size ("L", 0 = first colour, 255 = second).

def rgb(hex_text, alpha=255):
    v = int(hex_text.lstrip("#"), 16)
    return ((v >> 16) & 255, (v >> 8) & 255, v & 255, alpha)


class Ramp:
    def __init__(self, first, second, positions):
        self.first, self.second, self.positions = first, second, positions

    def image(self, size):
        t = self.positions(size)
        return Image.merge("RGBA", [t.point([round(a + (b - a) * v / 255) for v in range(256)])
                                    for a, b in zip(self.first, self.second)])


def vertical(top, bottom, y0=0.0, y1=1.0):
    """Linear gradient from the top colour at y0 to the bottom colour at y1."""

    def positions(size):
        t = Image.new("L", (size, size), 0)
        top_px, bottom_px = round(y0 * size), round(y1 * size)
        t.paste(255, (0, bottom_px, size, size))
        if bottom_px > top_px:
            t.paste(Image.linear_gradient("L").resize((size, bottom_px - top_px)), (0, top_px))
        return t

    return Ramp(top, bottom, positions)


def radial(inner, outer, cx, cy, r):
    """Circular gradient from the inner colour at the centre to the outer one
    at distance r and beyond."""

    def positions(size):
        # Pillow's radial gradient is the distance from its centre times the
        # square root of two; rescaled, it reaches 255 at 128 pixels, its rim.
        unit = Image.radial_gradient("L").point(lambda v: min(255, round(v * 255 / (128 * math.sqrt(2)))))
        across = max(1, round(2 * r * size))
        t = Image.new("L", (size, size), 255)
        t.paste(unit.resize((across, across)), (round((cx - r) * size), round((cy - r) * size)))
        return t

    return Ramp(inner, outer, positions)


# --- canvas -----------------------------------------------------------------

class Canvas:
    """One icon or picture being drawn; shapes are composited "over"."""

    def __init__(self, size):
        self.width = size
        self.scale = max(1, WORK_SIZE // size)
        self.work = Image.new("RGBA", (size * self.scale,) * 2, (0, 0, 0, 0))

    def fill(self, shape, paint):
        size = self.work.width
        layer = paint.image(size) if isinstance(paint, Ramp) else Image.new("RGBA", (size, size), paint)
        layer.putalpha(ImageChops.multiply(layer.getchannel("A"), shape.render(size)))
        self.work.alpha_composite(layer)
        return self

    def image(self):
        """The picture at its target size (RGBA)."""
        return self.work.reduce(self.scale)
