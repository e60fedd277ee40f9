"""The library's own images: rating PNGs, default program icons, feature
icons. Writes the image files and a resource script naming them.

    python3 library_images.py OUTPUT_FOLDER RC_FILE
"""

import sys

from drawing import Canvas, arc, box, circle, ellipse, polygon, polyline, radial, rgb, segment, vertical
from resource_files import ResourceScript

WHITE = rgb("FFFFFF")
OUTLINE = 0.035  # about one pixel at 16 by 16


def rounded_badge(c, top, bottom, edge):
    disc = circle(0.5, 0.5, 0.44)
    c.fill(disc, vertical(rgb(top), rgb(bottom), 0.06, 0.94))
    c.fill(disc.outline(OUTLINE / 2), rgb(edge))
    c.fill(ellipse(0.5, 0.3, 0.3, 0.16), rgb("FFFFFF", 60))


# --- rating badges (PNG) ------------------------------------------------------

def rating_trust(c):
    rounded_badge(c, "5CC162", "2E7D32", "1B5E20")
    c.fill(polyline([(0.29, 0.52), (0.44, 0.67), (0.72, 0.37)], 0.11), WHITE)


def rating_unknown(c):
    rounded_badge(c, "B0B7BF", "6B747D", "4A5259")
    hook = arc(0.5, 0.39, 0.13, 0.095, 190, 420)
    stem = polyline([(0.565, 0.503), (0.5, 0.55), (0.5, 0.6)], 0.095)
    c.fill(hook | stem | circle(0.5, 0.75, 0.06), WHITE)


def rating_risky(c):
    rounded_badge(c, "F0584F", "B71C1C", "7F1010")
    c.fill(segment(0.5, 0.25, 0.5, 0.57, 0.115) | circle(0.5, 0.74, 0.065), WHITE)


# --- default program icons ----------------------------------------------------

def program_window(c, glassy):
    frame = box(0.07, 0.13, 0.93, 0.87, 0.07 if glassy else 0.025)
    body = box(0.07, 0.13, 0.93, 0.87)
    title = box(0.0, 0.0, 1.0, 0.33)
    if glassy:
        c.fill(frame, vertical(rgb("FFFFFF"), rgb("DCE6F2"), 0.3, 0.87))
        c.fill(frame & title, vertical(rgb("7FB2E5"), rgb("2F6DB5"), 0.13, 0.33))
        c.fill(frame & box(0.0, 0.13, 1.0, 0.21), rgb("FFFFFF", 70))
        edge = rgb("2A4E7A")
    else:
        c.fill(body, rgb("F4F3EE"))
        c.fill(body & title, vertical(rgb("3C86F0"), rgb("0B4FC4"), 0.13, 0.33))
        edge = rgb("143A80")
    if c.width >= 24:
        for y in (0.46, 0.59, 0.72):
            c.fill(segment(0.2, y, 0.8 if y < 0.7 else 0.6, y, 0.05), rgb("9AA9BC"))
        c.fill(circle(0.83, 0.23, 0.045), rgb("E0543F") if glassy else rgb("D9452E"))
    c.fill(frame.outline(OUTLINE / 2), edge)


def default_xp(c):
    program_window(c, glassy=False)


def default_vista(c):
    program_window(c, glassy=True)


# --- feature state ------------------------------------------------------------

def state_enabled(c):
    square = box(0.1, 0.1, 0.9, 0.9, 0.14)
    c.fill(square, vertical(rgb("5CC162"), rgb("2E7D32"), 0.1, 0.9))
    c.fill(square.outline(OUTLINE / 2), rgb("1B5E20"))
    c.fill(polyline([(0.28, 0.52), (0.44, 0.68), (0.72, 0.35)], 0.12), WHITE)


def state_disabled(c):
    square = box(0.1, 0.1, 0.9, 0.9, 0.14)
    c.fill(square, vertical(rgb("FBFBFB"), rgb("DADDE0"), 0.1, 0.9))
    c.fill(square.outline(OUTLINE / 2), rgb("7D848B"))


# --- feature icons ------------------------------------------------------------

def feature_default(c):
    top = polygon([(0.5, 0.1), (0.9, 0.29), (0.5, 0.48), (0.1, 0.29)])
    left = polygon([(0.1, 0.29), (0.5, 0.48), (0.5, 0.92), (0.1, 0.73)])
    right = polygon([(0.5, 0.48), (0.9, 0.29), (0.9, 0.73), (0.5, 0.92)])
    c.fill(top, rgb("F2D7A6"))
    c.fill(left, rgb("D9A95B"))
    c.fill(right, rgb("B9813A"))
    c.fill(segment(0.3, 0.19, 0.7, 0.39, 0.07), rgb("C98F45"))
    c.fill(top.outline(OUTLINE / 2) | left.outline(OUTLINE / 2) | right.outline(OUTLINE / 2), rgb("6B4415"))


def feature_ie(c):
    globe = circle(0.5, 0.5, 0.42)
    c.fill(globe, radial(rgb("8FD0FF"), rgb("1565C0"), 0.38, 0.35, 0.6))
    lines = (ellipse(0.5, 0.5, 0.17, 0.42).outline(0.02) | segment(0.08, 0.5, 0.92, 0.5, 0.04) |
             segment(0.16, 0.3, 0.84, 0.3, 0.035) | segment(0.16, 0.7, 0.84, 0.7, 0.035))
    c.fill(lines & globe, rgb("FFFFFF", 170))
    c.fill(globe.outline(OUTLINE / 2), rgb("0D3C78"))


def feature_dotnet(c):
    square = box(0.08, 0.08, 0.92, 0.92, 0.16)
    c.fill(square, vertical(rgb("8E5BD6"), rgb("512BD4"), 0.08, 0.92))
    c.fill(square.outline(OUTLINE / 2), rgb("321A85"))
    c.fill(polyline([(0.36, 0.3), (0.2, 0.5), (0.36, 0.7)], 0.1) |
           polyline([(0.64, 0.3), (0.8, 0.5), (0.64, 0.7)], 0.1), WHITE)
    c.fill(circle(0.5, 0.5, 0.07), WHITE)


def feature_games(c):
    pad = box(0.08, 0.3, 0.92, 0.66, 0.14) | circle(0.26, 0.66, 0.16) | circle(0.74, 0.66, 0.16)
    c.fill(pad, vertical(rgb("6E7781"), rgb("33393F"), 0.3, 0.82))
    c.fill(pad.outline(OUTLINE / 2), rgb("1E2226"))
    c.fill(segment(0.19, 0.5, 0.39, 0.5, 0.08) | segment(0.29, 0.4, 0.29, 0.6, 0.08), WHITE)
    c.fill(circle(0.66, 0.45, 0.065), rgb("F44336"))
    c.fill(circle(0.77, 0.56, 0.065), rgb("4CAF50"))


def feature_gadgets(c):
    dial = circle(0.5, 0.5, 0.42)
    c.fill(dial, radial(rgb("4B5663"), rgb("1F252B"), 0.5, 0.4, 0.5))
    c.fill(arc(0.5, 0.5, 0.31, 0.07, 150, 390), rgb("5BC0EB"))
    c.fill(segment(0.5, 0.5, 0.72, 0.33, 0.07), rgb("FF9800"))
    c.fill(circle(0.5, 0.5, 0.07), WHITE)
    c.fill(dial.outline(OUTLINE / 2), rgb("0F1215"))


def feature_printing(c):
    c.fill(box(0.27, 0.08, 0.73, 0.42, 0.02), WHITE)
    c.fill(box(0.27, 0.08, 0.73, 0.42, 0.02).outline(OUTLINE / 2), rgb("7D848B"))
    body = box(0.08, 0.34, 0.92, 0.74, 0.07)
    c.fill(body, vertical(rgb("B7BEC6"), rgb("6E7781"), 0.34, 0.74))
    c.fill(body.outline(OUTLINE / 2), rgb("3E454C"))
    sheet = box(0.24, 0.58, 0.76, 0.93, 0.02)
    c.fill(sheet, WHITE)
    c.fill(sheet.outline(OUTLINE / 2), rgb("7D848B"))
    c.fill(circle(0.8, 0.45, 0.04), rgb("4CAF50"))
    if c.width >= 24:
        c.fill(segment(0.33, 0.72, 0.67, 0.72, 0.04) | segment(0.33, 0.82, 0.6, 0.82, 0.04), rgb("9AA9BC"))


def feature_media(c):
    disc = circle(0.5, 0.5, 0.43)
    c.fill(disc, vertical(rgb("FFB74D"), rgb("E65100"), 0.07, 0.93))
    c.fill(disc.outline(OUTLINE / 2), rgb("8C3100"))
    c.fill(polygon([(0.39, 0.28), (0.74, 0.5), (0.39, 0.72)]).grow(0.02), WHITE)


def feature_iis(c):
    for y0 in (0.08, 0.38, 0.68):
        unit = box(0.14, y0, 0.86, y0 + 0.26, 0.05)
        c.fill(unit, vertical(rgb("8D97A3"), rgb("4E5863"), y0, y0 + 0.26))
        c.fill(unit.outline(OUTLINE / 2), rgb("262C33"))
        c.fill(circle(0.74, y0 + 0.13, 0.045), rgb("76FF03"))
        c.fill(segment(0.25, y0 + 0.13, 0.55, y0 + 0.13, 0.05), rgb("222831"))


def page_shape():
    return polygon([(0.17, 0.06), (0.62, 0.06), (0.83, 0.27), (0.83, 0.94), (0.17, 0.94)])


def feature_xps(c):
    page = page_shape()
    c.fill(page, WHITE)
    c.fill(polygon([(0.62, 0.06), (0.62, 0.27), (0.83, 0.27)]), rgb("C5D3E3"))
    c.fill(box(0.17, 0.42, 0.83, 0.6), rgb("1E88E5"))
    if c.width >= 24:
        c.fill(segment(0.28, 0.72, 0.72, 0.72, 0.04) | segment(0.28, 0.82, 0.6, 0.82, 0.04), rgb("9AA9BC"))
    c.fill(page.outline(OUTLINE / 2), rgb("37474F"))


def feature_indexing(c):
    c.fill(segment(0.6, 0.6, 0.86, 0.86, 0.15), rgb("6D4C41"))
    c.fill(circle(0.4, 0.4, 0.26), rgb("B3E5FC", 160))
    c.fill(circle(0.4, 0.4, 0.28).outline(0.05), rgb("37474F"))
    c.fill(arc(0.4, 0.4, 0.17, 0.05, 200, 260), rgb("FFFFFF", 200))


def feature_activation(c):
    gold = vertical(rgb("FFE082"), rgb("C79100"), 0.2, 0.8)
    key = (circle(0.3, 0.5, 0.22) - circle(0.24, 0.5, 0.07)) | box(0.45, 0.44, 0.92, 0.56, 0.02) | \
        box(0.72, 0.5, 0.8, 0.72) | box(0.84, 0.5, 0.92, 0.66)
    c.fill(key, gold)
    c.fill(key.outline(OUTLINE / 2), rgb("7A5600"))


def feature_tabletpc(c):
    device = box(0.12, 0.06, 0.76, 0.94, 0.08)
    c.fill(device, rgb("263238"))
    c.fill(box(0.18, 0.13, 0.7, 0.82, 0.02), vertical(rgb("B3E5FC"), rgb("4FC3F7"), 0.13, 0.82))
    c.fill(device.outline(OUTLINE / 2), rgb("10161A"))
    c.fill(segment(0.9, 0.28, 0.56, 0.74, 0.1), rgb("FFC107"))
    c.fill(segment(0.9, 0.28, 0.56, 0.74, 0.1).outline(OUTLINE / 2), rgb("8C6500"))


def feature_network(c):
    nodes = [(0.5, 0.2), (0.2, 0.78), (0.8, 0.78)]
    c.fill(polyline(nodes + [nodes[0]], 0.07), rgb("607D8B"))
    for x, y in nodes:
        c.fill(circle(x, y, 0.15), radial(rgb("90CAF9"), rgb("1565C0"), x - 0.04, y - 0.05, 0.2))
        c.fill(circle(x, y, 0.15).outline(OUTLINE / 2), rgb("0D3C78"))


def feature_fax(c):
    sheet = box(0.26, 0.06, 0.74, 0.52, 0.02)
    c.fill(sheet, WHITE)
    c.fill(sheet.outline(OUTLINE / 2), rgb("7D848B"))
    if c.width >= 24:
        c.fill(segment(0.34, 0.2, 0.66, 0.2, 0.04) | segment(0.34, 0.3, 0.6, 0.3, 0.04), rgb("9AA9BC"))
    body = box(0.08, 0.44, 0.92, 0.92, 0.07)
    c.fill(body, vertical(rgb("CFD8DC"), rgb("78909C"), 0.44, 0.92))
    c.fill(body.outline(OUTLINE / 2), rgb("37474F"))
    for x in (0.56, 0.7, 0.84):
        for y in (0.62, 0.78):
            c.fill(circle(x - 0.03, y, 0.045), rgb("37474F"))
    c.fill(box(0.14, 0.55, 0.42, 0.84, 0.04), rgb("455A64"))


def feature_apps(c):
    frame = box(0.08, 0.1, 0.92, 0.9, 0.06)
    c.fill(frame, rgb("FAFAFA"))
    c.fill(frame & box(0.0, 0.0, 1.0, 0.26), vertical(rgb("64B5F6"), rgb("1976D2"), 0.1, 0.26))
    colours = ["8E24AA", "FB8C00", "00897B", "D81B60"]
    for i, (x, y) in enumerate([(0.3, 0.44), (0.7, 0.44), (0.3, 0.72), (0.7, 0.72)]):
        c.fill(box(x - 0.13, y - 0.1, x + 0.13, y + 0.1, 0.03), rgb(colours[i]))
    c.fill(frame.outline(OUTLINE / 2), rgb("263238"))


def feature_messenger(c):
    bubble = ellipse(0.5, 0.44, 0.42, 0.34) | polygon([(0.24, 0.62), (0.42, 0.74), (0.14, 0.92)])
    c.fill(bubble, vertical(rgb("81C784"), rgb("2E7D32"), 0.1, 0.9))
    c.fill(bubble.outline(OUTLINE / 2), rgb("1B5E20"))
    for x in (0.32, 0.5, 0.68):
        c.fill(circle(x, 0.44, 0.06), WHITE)


def feature_outlook(c):
    envelope = box(0.06, 0.2, 0.94, 0.8, 0.04)
    c.fill(envelope, vertical(rgb("FFFFFF"), rgb("E3EAF3"), 0.2, 0.8))
    c.fill(polyline([(0.08, 0.23), (0.5, 0.56), (0.92, 0.23)], 0.06), rgb("1565C0"))
    c.fill(envelope.outline(OUTLINE / 2), rgb("0D3C78"))


def feature_appxs(c):
    c.fill(arc(0.5, 0.3, 0.16, 0.07, 180, 360), rgb("37474F"))
    bag = polygon([(0.14, 0.3), (0.86, 0.3), (0.9, 0.92), (0.1, 0.92)])
    c.fill(bag, vertical(rgb("4DB6AC"), rgb("00796B"), 0.3, 0.92))
    c.fill(bag.outline(OUTLINE / 2), rgb("004D40"))
    c.fill(box(0.37, 0.5, 0.63, 0.76, 0.04), WHITE)


# --- the catalogue ------------------------------------------------------------

# PNG resources (RCDATA), drawn at 32 by 32: the icon list scales them to 16.
PNGS = {
    "RATING_TRUST": rating_trust,
    "RATING_UNKNOWN": rating_unknown,
    "RATING_RISKY": rating_risky,
}

# Icon resources, each with a 16 by 16 and a 32 by 32 image.
ICONS = {
    "ICON_DEF_XP_SMALL": default_xp,
    "ICON_DEF_XP_LARGE": default_xp,
    "ICON_DEF_VISTA_SMALL": default_vista,
    "ICON_DEF_VISTA_LARGE": default_vista,
    "ICON_DISABLED": state_disabled,
    "ICON_ENABLED": state_enabled,
    "ICON_FEATURE_DEF": feature_default,
    "ICON_FEATURE_IE": feature_ie,
    "ICON_FEATURE_DOTNET": feature_dotnet,
    "ICON_FEATURE_GAMES": feature_games,
    "ICON_FEATURE_GADGETS": feature_gadgets,
    "ICON_FEATURE_PRINTING": feature_printing,
    "ICON_FEATURE_MEDIA": feature_media,
    "ICON_FEATURE_IIS": feature_iis,
    "ICON_FEATURE_XPS": feature_xps,
    "ICON_FEATURE_INDEXING": feature_indexing,
    "ICON_FEATURE_ACTIVATION": feature_activation,
    "ICON_FEATURE_TABLETPC": feature_tabletpc,
    "ICON_FEATURE_NETWORK": feature_network,
    "ICON_FEATURE_FAX": feature_fax,
    "ICON_FEATURE_APPS": feature_apps,
    "ICON_FEATURE_MESSENGER": feature_messenger,
    "ICON_FEATURE_OUTLOOK": feature_outlook,
    "ICON_FEATURE_APPXS": feature_appxs,
}

ICON_SIZES = (16, 32)
PNG_SIZE = 32


def draw(fn, size):
    c = Canvas(size)
    fn(c)
    return c.image()


# Image ids of this script's icons start here (see resource_files.ResourceScript).
FIRST_ICON_ID = 20001


def main(out_dir, rc_path):
    script = ResourceScript(out_dir, FIRST_ICON_ID, "Generated by library_images.py: the library's own images.")
    for name, fn in ICONS.items():
        script.icon(name, [draw(fn, s) for s in ICON_SIZES])
    for name, fn in PNGS.items():
        script.png(name, draw(fn, PNG_SIZE))
    script.write(rc_path)


if __name__ == "__main__":
    if len(sys.argv) != 3:
        sys.exit(__doc__)
    main(sys.argv[1], sys.argv[2])
