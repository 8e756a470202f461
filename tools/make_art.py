#!/usr/bin/python3
"""Draws the program's artwork into res/: the four button strips, the caption banner, the four caption
button images and the icon.

    /usr/bin/python3 tools/make_art.py [output folder, default res/]

Needs Debian's python3-pil and fonts-dejavu-core. The outputs are committed; the build does not run this.
Bitmaps are written as 8-bit bottom-up BMPs with a palette (BITMAPINFOHEADER), run-length encoded
(BI_RLE8) where that is smaller: the program's download stub is fetched over slow lines, and every
Windows since 3.0 loads these with LoadBitmap. An image of more than 256 colours (the antialiased
edges and text) gets 256 of its own colours chosen to keep every pixel close (the largest difference
per channel is printed: 2 or 3 levels of 255, which the eye cannot tell apart). The icon
is a Windows icon with 32x32 and 16x16 32-bit images (alpha channel plus AND mask).
"""

import os
import struct
import sys

from PIL import Image, ImageDraw, ImageFont

# The dialog's colours.
FRAME = (127, 144, 192)
BACKGROUND = (175, 199, 239)
TEXT = (0, 21, 96)
# The caption gradient's ends (light blue at the left, lilac at the right).
CAPTION_LEFT = (212, 227, 252)
CAPTION_RIGHT = (232, 225, 243)
DARK_BLUE = (16, 44, 128)

FONT_DIR = "/usr/share/fonts/truetype/dejavu"
SS = 4  # supersampling factor for shapes (text is drawn at 1x, hinted, to stay crisp)


def font(size, bold=True):
    name = "DejaVuSans-Bold.ttf" if bold else "DejaVuSans.ttf"
    return ImageFont.truetype(os.path.join(FONT_DIR, name), size)


def mix(a, b, t):
    return tuple(int(round(a[i] + (b[i] - a[i]) * t)) for i in range(3))


def darker(c, f):
    return tuple(int(round(v * f)) for v in c)


def grey(c):
    y = int(round(0.299 * c[0] + 0.587 * c[1] + 0.114 * c[2]))
    return (y, y, y)


def palette_of(img):
    """(palette, indices): at most 256 colours and each pixel's index, row by row from the top.
    An image of more colours keeps its 16 most frequent ones (the flat areas stay exact) and then
    takes, one at a time, the colour farthest from every colour taken so far; each pixel shows the
    nearest. That keeps the largest difference small (2 or 3 levels a channel for our pictures)."""
    img = img.convert("RGB")
    pixels = list(img.getdata())
    counts = {}
    for p in pixels:
        counts[p] = counts.get(p, 0) + 1
    colours = sorted(counts, key=lambda c: (-counts[c], c))

    def distance(a, b):
        return sum((x - y) ** 2 for x, y in zip(a, b))

    palette = colours[:256] if len(colours) <= 256 else colours[:16]
    gap = {c: min(distance(c, p) for p in palette) for c in colours}
    while len(palette) < min(256, len(colours)):
        farthest = max(colours, key=lambda c: (gap[c], counts[c]))
        palette.append(farthest)
        for c in colours:
            gap[c] = min(gap[c], distance(c, farthest))
    nearest = {c: min(range(len(palette)), key=lambda i: distance(c, palette[i])) for c in colours}
    return palette, [nearest[p] for p in pixels]


def rle8_row(row):
    """One row in BI_RLE8: runs as (count, index); three or more unlike indices in absolute mode."""
    out = bytearray()
    i, n = 0, len(row)
    while i < n:
        run = 1
        while i + run < n and run < 255 and row[i + run] == row[i]:
            run += 1
        if run >= 2:
            out += bytes((run, row[i]))
            i += run
            continue
        j = i  # a literal stretch ends where a run of two begins
        while j < n and j - i < 255 and not (j + 1 < n and row[j + 1] == row[j]):
            j += 1
        if j - i >= 3:
            out += bytes((0, j - i)) + bytes(row[i:j]) + (b"\0" if (j - i) % 2 else b"")
        else:
            for k in range(i, j):
                out += bytes((1, row[k]))
        i = j
    return bytes(out)


def write_bmp(path, img):
    """8-bit with a palette, bottom-up, BITMAPINFOHEADER; BI_RLE8 when smaller than BI_RGB.
    Returns the largest difference of a channel from the image drawn."""
    img = img.convert("RGB")
    w, h = img.size
    palette, indices = palette_of(img)
    rows = [bytes(indices[y * w:(y + 1) * w]) for y in range(h - 1, -1, -1)]
    stride = (w + 3) & ~3
    plain = b"".join(r + b"\0" * (stride - w) for r in rows)
    rle = b"\0\0".join(rle8_row(r) for r in rows) + b"\0\1"
    compression, data = (1, rle) if len(rle) < len(plain) else (0, plain)
    colours = b"".join(bytes((b, g, r, 0)) for r, g, b in palette)
    info = struct.pack("<IiiHHIIiiII", 40, w, h, 1, 8, compression, len(data), 2835, 2835, len(palette), 0)
    offset = 14 + len(info) + len(colours)
    header = struct.pack("<2sIHHI", b"BM", offset + len(data), 0, 0, offset)
    with open(path, "wb") as f:
        f.write(header + info + colours + data)
    return max(abs(a - b) for p, i in zip(img.getdata(), indices) for a, b in zip(p, palette[i]))


def icon_image_data(img):
    """One icon image: BITMAPINFOHEADER (height doubled), 32-bit BGRA rows bottom-up, AND mask."""
    img = img.convert("RGBA")
    w, h = img.size
    px = img.load()
    xor = bytearray()
    for y in range(h - 1, -1, -1):
        for x in range(w):
            r, g, b, a = px[x, y]
            xor += bytes((b, g, r, a))
    mask_stride = ((w + 31) // 32) * 4
    mask = bytearray()
    for y in range(h - 1, -1, -1):
        row = bytearray(mask_stride)
        for x in range(w):
            if px[x, y][3] < 128:
                row[x // 8] |= 0x80 >> (x % 8)
        mask += row
    info = struct.pack("<IiiHHIIiiII", 40, w, h * 2, 1, 32, 0, len(xor) + len(mask), 0, 0, 0, 0)
    return info + bytes(xor) + bytes(mask)


def write_ico(path, images):
    entries = b""
    blobs = b""
    offset = 6 + 16 * len(images)
    for img in images:
        data = icon_image_data(img)
        w, h = img.size
        entries += struct.pack("<BBBBHHII", w % 256, h % 256, 0, 0, 1, 32, len(data), offset)
        blobs += data
        offset += len(data)
    with open(path, "wb") as f:
        f.write(struct.pack("<HHH", 0, 1, len(images)) + entries + blobs)


def vertical_gradient(size, top, bottom):
    w, h = size
    img = Image.new("RGB", size)
    d = ImageDraw.Draw(img)
    for y in range(h):
        d.line([(0, y), (w - 1, y)], fill=mix(top, bottom, y / max(1, h - 1)))
    return img


def rounded_mask(size, box, radius):
    """Antialiased mask (L) of a rounded rectangle; box and radius in 1x pixels (floats allowed)."""
    w, h = size
    m = Image.new("L", (w * SS, h * SS), 0)
    x0, y0, x1, y1 = box
    ImageDraw.Draw(m).rounded_rectangle(
        [x0 * SS, y0 * SS, x1 * SS - 1, y1 * SS - 1], radius=radius * SS, fill=255)
    return m.resize(size, Image.LANCZOS)


def ellipse_mask(size, box):
    w, h = size
    m = Image.new("L", (w * SS, h * SS), 0)
    x0, y0, x1, y1 = box
    ImageDraw.Draw(m).ellipse([x0 * SS, y0 * SS, x1 * SS - 1, y1 * SS - 1], fill=255)
    return m.resize(size, Image.LANCZOS)


def shape_mask(size, draw_fn):
    """Antialiased mask from a drawing function that draws in supersampled coordinates."""
    w, h = size
    m = Image.new("L", (w * SS, h * SS), 0)
    draw_fn(ImageDraw.Draw(m), SS)
    return m.resize(size, Image.LANCZOS)


def paint(img, colour, mask):
    img.paste(Image.new("RGB", img.size, colour), (0, 0), mask)


def paint_image(img, src, mask):
    img.paste(src, (0, 0), mask)


def centred_text(img, text, fnt, colour, dx=0, dy=0):
    d = ImageDraw.Draw(img)
    w, h = img.size
    x0, y0, x1, y1 = d.textbbox((0, 0), text, font=fnt)
    x = (w - (x1 - x0)) // 2 - x0 + dx
    y = (h - (y1 - y0)) // 2 - y0 + dy
    d.text((x, y), text, font=fnt, fill=colour)


# Button strips: four 75 x 28 images, normal, pressed, hover, greyed.
BUTTON_W, BUTTON_H = 75, 28


def button_image(word, state):
    size = (BUTTON_W, BUTTON_H)
    img = Image.new("RGB", size, BACKGROUND)
    face_top, face_bottom = (236, 243, 254), (190, 211, 246)
    border, text, inner = FRAME, TEXT, (255, 255, 255)
    dx = dy = 0
    if state == 1:  # pressed: shifted down/right, a little darker
        face_top, face_bottom = darker((222, 233, 252), 0.97), darker((178, 200, 240), 0.97)
        border = darker(FRAME, 0.85)
        inner = (214, 226, 248)
        dx = dy = 1
    elif state == 2:  # hover: darker face, highlighted border
        face_top, face_bottom = (214, 229, 252), (160, 188, 238)
        border = (32, 74, 190)
        inner = (250, 252, 255)
    elif state == 3:  # greyed
        face_top, face_bottom = grey(face_top), grey(face_bottom)
        face_top, face_bottom = mix(face_top, BACKGROUND, 0.25), mix(face_bottom, BACKGROUND, 0.25)
        border = mix(grey(FRAME), BACKGROUND, 0.3)
        text = (140, 146, 158)
        inner = mix((255, 255, 255), face_top, 0.5)

    box = (1 + dx, 1 + dy, BUTTON_W - 1 + dx, BUTTON_H - 1 + dy)
    outer = rounded_mask(size, box, 6)
    paint(img, border, outer)
    if state == 2:
        inner_box = (box[0] + 2, box[1] + 2, box[2] - 2, box[3] - 2)
        radius = 4
    else:
        inner_box = (box[0] + 1, box[1] + 1, box[2] - 1, box[3] - 1)
        radius = 5
    paint(img, inner, rounded_mask(size, inner_box, radius))
    face_box = (inner_box[0] + 1, inner_box[1] + 1, inner_box[2] - 0.5, inner_box[3] - 0.5)
    paint_image(img, vertical_gradient(size, face_top, face_bottom), rounded_mask(size, face_box, radius - 1))
    centred_text(img, word, font(12), text, dx, dy)
    return img


def button_strip(word):
    strip = Image.new("RGB", (BUTTON_W * 4, BUTTON_H), BACKGROUND)
    for state in range(4):
        strip.paste(button_image(word, state), (state * BUTTON_W, 0))
    return strip


# Caption banner: 558 x 34. The caption shows about its top 22 rows, so the name sits there.
def banner():
    w, h = 558, 34
    tab_w = 150
    img = Image.new("RGB", (w, h))
    d = ImageDraw.Draw(img)
    # Light blue to the right of the tab, meeting the caption's gradient colour at the right end.
    start = (186, 207, 245)
    for x in range(w):
        t = min(1.0, max(0.0, (x - tab_w) / (w - tab_w)))
        t = t ** 0.6
        d.line([(x, 0), (x, h - 1)], fill=mix(start, CAPTION_LEFT, t))
    # A soft shadow along the tab's right edge.
    shadow = shape_mask((w, h), lambda g, s: g.rounded_rectangle(
        [-20 * s, 1 * s, (tab_w + 2) * s, (h + 12) * s], radius=11 * s, fill=255))
    paint(img, mix(start, FRAME, 0.55), shadow)
    # The tab: dark blue, its top right corner rounded, a glossy upper half.
    tab_box = [-20, 1, tab_w, h + 12]
    tab = shape_mask((w, h), lambda g, s: g.rounded_rectangle(
        [v * s for v in tab_box], radius=10 * s, fill=255))
    paint_image(img, vertical_gradient((w, h), (36, 72, 164), (8, 28, 100)), tab)
    gloss = shape_mask((w, h), lambda g, s: g.rounded_rectangle(
        [-20 * s, 2 * s, (tab_w - 1) * s, 11 * s], radius=9 * s, fill=255))
    paint_image(img, vertical_gradient((w, h), (96, 130, 212), (52, 90, 182)), gloss)
    # The product's name in white, centred in the visible caption height.
    fnt = font(14)
    tx0, ty0, tx1, ty1 = d.textbbox((0, 0), "Brindlemox", font=fnt)
    x = 12 + (tab_w - 18 - (tx1 - tx0)) // 2 - tx0
    y = (22 - (ty1 - ty0)) // 2 - ty0 + 1
    d.text((x + 1, y + 1), "Brindlemox", font=fnt, fill=(6, 20, 70))
    d.text((x, y), "Brindlemox", font=fnt, fill=(255, 255, 255))
    return img


# Caption buttons: 19 x 17 on the caption's light blue.
CB_W, CB_H = 19, 17
CB_BACK = CAPTION_LEFT


def framed_square():
    size = (CB_W, CB_H)
    img = Image.new("RGB", size, CB_BACK)
    paint(img, FRAME, rounded_mask(size, (1, 1, CB_W - 1, CB_H - 1), 4))
    paint_image(img, vertical_gradient(size, (250, 252, 255), (200, 218, 248)),
                rounded_mask(size, (2, 2, CB_W - 2, CB_H - 2), 3))
    return img


def oval():
    size = (CB_W, CB_H)
    img = Image.new("RGB", size, CB_BACK)
    paint(img, FRAME, ellipse_mask(size, (0.5, 0.5, CB_W - 0.5, CB_H - 0.5)))
    paint_image(img, vertical_gradient(size, (226, 236, 253), (168, 194, 240)),
                ellipse_mask(size, (1.5, 1.5, CB_W - 1.5, CB_H - 1.5)))
    return img


def close_image():
    img = framed_square()

    def cross(g, s):
        g.line([(6 * s, 5 * s), (13 * s, 12 * s)], fill=255, width=int(2.2 * s))
        g.line([(13 * s, 5 * s), (6 * s, 12 * s)], fill=255, width=int(2.2 * s))

    paint(img, DARK_BLUE, shape_mask(img.size, cross))
    return img


def minimize_image():
    img = framed_square()
    ImageDraw.Draw(img).rectangle([6, 10, 12, 11], fill=DARK_BLUE)
    return img


def window_outline(d, x0, y0, x1, y1, fill):
    d.rectangle([x0, y0, x1, y1], outline=DARK_BLUE, fill=fill)
    d.line([(x0, y0 + 1), (x1, y0 + 1)], fill=DARK_BLUE)  # the title bar: a double top edge


def maximize_image():
    img = oval()
    window_outline(ImageDraw.Draw(img), 5, 4, 13, 11, (236, 243, 254))
    return img


def restore_image():
    img = oval()
    d = ImageDraw.Draw(img)
    window_outline(d, 7, 3, 13, 8, (236, 243, 254))
    window_outline(d, 5, 6, 11, 12, (236, 243, 254))
    return img


# Icon: a blue arrow pointing down into a tray.
def app_icon(n):
    s = SS * 4
    big = Image.new("RGBA", (n * s, n * s), (0, 0, 0, 0))
    d = ImageDraw.Draw(big)
    u = n * s / 32.0  # drawing in a 32-unit grid

    def p(x, y):
        return (x * u, y * u)

    # Tray: a dark-blue open box at the bottom with a light inside.
    d.rounded_rectangle([p(3, 18), p(29, 29)], radius=3 * u, fill=(20, 48, 130, 255))
    d.rounded_rectangle([p(5.5, 18), p(26.5, 26.5)], radius=2 * u, fill=(175, 199, 239, 255))
    d.rectangle([p(3, 16.5), p(9.5, 19.5)], fill=(20, 48, 130, 255))
    d.rectangle([p(22.5, 16.5), p(29, 19.5)], fill=(20, 48, 130, 255))
    d.rectangle([p(5.5, 19.5), p(26.5, 21)], fill=(127, 144, 192, 255))
    # Arrow: shaft and head, bright blue with a dark outline.
    arrow = [p(12, 2), p(20, 2), p(20, 12), p(26, 12), p(16, 23), p(6, 12), p(12, 12)]
    d.polygon(arrow, fill=(10, 36, 120, 255))
    inner = [p(13.6, 3.6), p(18.4, 3.6), p(18.4, 13.6), p(22.4, 13.6), p(16, 20.7), p(9.6, 13.6),
             p(13.6, 13.6)]
    d.polygon(inner, fill=(54, 132, 236, 255))
    d.polygon([p(13.6, 3.6), p(15.2, 3.6), p(15.2, 15), p(11.5, 15), p(9.6, 13.6), p(13.6, 13.6)],
              fill=(120, 180, 250, 255))
    return big.resize((n, n), Image.LANCZOS)


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    out = sys.argv[1] if len(sys.argv) > 1 else os.path.join(here, "..", "res")
    os.makedirs(out, exist_ok=True)
    images = [(name, button_strip(word)) for word, name in
              (("Start", "startbutton"), ("Stop", "stopbutton"), ("Open", "open"), ("Exit", "exitbutton"))]
    images += [("banner", banner()), ("close", close_image()), ("maximize", maximize_image()),
               ("minimize", minimize_image()), ("restore", restore_image())]
    for name, img in images:
        path = os.path.join(out, name + ".bmp")
        error = write_bmp(path, img)
        print(f"{name}.bmp: {os.path.getsize(path)} bytes, largest channel difference {error}")
    write_ico(os.path.join(out, "app.ico"), [app_icon(32), app_icon(16)])


if __name__ == "__main__":
    main()
