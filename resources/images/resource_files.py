"""Files for the resource compiler and for programs: resource scripts with
their icon parts, icon files and PNGs, from Pillow RGBA images.

Icon images are 32-bit DIBs with an AND mask, the format every Windows
version reads at every size; the raw icon resources need it, and .ico files
use the same writer. Pillow's icon writer stores PNG entries, which Windows
reads only from Vista on (Wine 8 reads them too), and its BMP option leaves
out the AND mask that the doubled height of a 32-bit entry announces.
"""

import io
import os
import struct

from PIL import Image


def icon_image(image):
    """One icon image: BITMAPINFOHEADER, BGRA rows bottom-up, AND mask rows
    (set where the pixel is clear) padded to 32 bits."""
    w, h = image.size
    alpha = image.getchannel("A")
    clear = alpha.point(lambda a: 255 if a == 0 else 0)
    # Clear pixels are black, so that drawing through the mask leaves the background.
    colour = Image.composite(Image.new("RGBA", image.size), image, clear)
    mask_stride = (w + 31) // 32 * 4
    header = struct.pack("<IiiHHIIiiII", 40, w, h * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    return (header + colour.tobytes("raw", "BGRA", 0, -1) +
            clear.convert("1", dither=Image.Dither.NONE).tobytes("raw", ("1", mask_stride, -1)))


def _entry(image, data):
    w, h = image.size
    return struct.pack("<BBBBHHI", w % 256, h % 256, 0, 0, 1, 32, len(data))


def icon_group_bytes(images, first_id):
    """An icon group directory naming its images by resource id."""
    out = struct.pack("<HHH", 0, 1, len(images))
    for i, image in enumerate(images):
        out += _entry(image, icon_image(image)) + struct.pack("<H", first_id + i)
    return out


def ico_bytes(images):
    """An icon file holding the images."""
    parts = [icon_image(image) for image in images]
    out = struct.pack("<HHH", 0, 1, len(parts))
    offset = 6 + 16 * len(parts)
    for image, data in zip(images, parts):
        out += _entry(image, data) + struct.pack("<I", offset)
        offset += len(data)
    return out + b"".join(parts)


def png_bytes(image):
    out = io.BytesIO()
    image.save(out, "PNG", optimize=True)
    return out.getvalue()


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

    def icon(self, name, images):
        stem = str(name).lower()
        first = self.next_id
        for i, image in enumerate(images):
            path = self._file("%s_%d.bin" % (stem, image.width), icon_image(image))
            self.lines.append('%d 3 "%s"' % (first + i, path))
        self.next_id += len(images)
        path = self._file(stem + ".group", icon_group_bytes(images, first))
        self.lines.append('%s 14 "%s"' % (name, path))

    def rcdata(self, name, file_name, data):
        self.lines.append('%s RCDATA "%s"' % (name, self._file(file_name, data)))

    def png(self, name, image):
        self.rcdata(name, str(name).lower() + ".png", png_bytes(image))

    def write(self, rc_path):
        # Always rewritten: the resource compiler does not track the files the
        # script names, so a new time stamp is what makes it run again.
        with open(rc_path, "w") as f:
            f.write("\n".join(self.lines) + "\n")


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
