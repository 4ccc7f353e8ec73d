# Pictures of the development location: two flat backgrounds told apart at a glance (the upper
# half's colour differs, the lower half is shared), a plain arrow cursor, the sheets of its door
# and chest areas (frame 0 hilight, 1 active, 2 the chest opened) with masks opaque over the frame,
# a soft glow, and the guide of the second scene's greeting with its speech bubble.
from PIL import Image, ImageDraw

import sheets


def dev_background(p, rng):
    """A full-screen backdrop: `top` above y 300, a shared dark floor below."""
    w, h = size = tuple(p["size"])
    img = Image.new("RGBA", size, tuple(p["top"]) + (255,))
    ImageDraw.Draw(img).rectangle((0, h // 2, w, h), fill=(40, 36, 32, 255))
    return img


def dev_cursor(p, rng):
    """A white arrow with a dark edge, its point at the top left."""
    size = tuple(p["size"])
    img = Image.new("RGBA", size, (0, 0, 0, 0))
    arrow = [(0, 0), (0, 24), (7, 18), (12, 30), (16, 28), (11, 17), (20, 17)]
    ImageDraw.Draw(img).polygon(arrow, fill=(250, 250, 250, 255), outline=(20, 20, 20, 255))
    return img


def _frame_or_hilight(i, size):
    """A clear frame, and for frame 0 (the hilight) a bright outline around it."""
    w, h = size
    img = Image.new("RGBA", size, (0, 0, 0, 0))
    draw = ImageDraw.Draw(img)
    if i == 0:
        draw.rectangle((0, 0, w - 1, h - 1), outline=(255, 240, 160, 255), width=6)
    return img, draw


def _door_frame(i, size):
    w, h = size
    img, draw = _frame_or_hilight(i, size)
    if i == 0:
        return img
    draw.rectangle((0, 0, w - 1, h - 1), fill=(90, 60, 30, 255), outline=(40, 25, 10, 255),
                   width=4)
    draw.ellipse((w - 24, h // 2 - 6, w - 12, h // 2 + 6), fill=(220, 190, 60, 255))
    return img


def _chest_frame(i, size):
    w, h = size
    img, draw = _frame_or_hilight(i, size)
    if i == 0:
        return img
    draw.rectangle((0, h // 3, w - 1, h - 1), fill=(120, 80, 40, 255), outline=(50, 30, 10, 255),
                   width=3)
    if i == 1:
        # Shut: the lid down, a lock in front.
        draw.rectangle((0, 0, w - 1, h // 3), fill=(140, 95, 50, 255), outline=(50, 30, 10, 255),
                       width=3)
        draw.rectangle((w // 2 - 8, h // 3 - 6, w // 2 + 8, h // 3 + 10), fill=(200, 170, 50, 255))
    else:
        # Open: the lid thrown back, gold inside.
        draw.rectangle((0, 0, w - 1, 10), fill=(140, 95, 50, 255))
        draw.rectangle((10, h // 3 + 4, w - 11, h // 2), fill=(240, 210, 70, 255))
    return img


def dev_area_sheet(p, rng):
    """The frames of an area side by side: `kind` "door" or "chest"."""
    frame = _door_frame if p["kind"] == "door" else _chest_frame
    return sheets.strip(p, frame)


def dev_area_mask(p, rng):
    """Opaque over the whole frame."""
    return Image.new("RGBA", tuple(p["size"]), (255, 255, 255, 255))


def dev_glow(p, rng):
    """A warm disc whose alpha falls from the centre to the edge."""
    w, h = size = tuple(p["size"])
    img = Image.new("RGBA", size, (0, 0, 0, 0))
    px = img.load()
    cx, cy, r = (w - 1) / 2.0, (h - 1) / 2.0, min(w, h) / 2.0
    for y in range(h):
        for x in range(w):
            d = ((x - cx) ** 2 + (y - cy) ** 2) ** 0.5 / r
            if d < 1.0:
                px[x, y] = (255, 220, 120, int(200 * (1.0 - d)))
    return img


def _key(draw, size, colour):
    w, h = size
    r = w // 5
    draw.ellipse((w // 8, h // 2 - r, w // 8 + 2 * r, h // 2 + r), outline=colour, width=max(2, w // 16))
    draw.rectangle((w // 8 + 2 * r, h // 2 - 2, w - w // 8, h // 2 + 2), fill=colour)
    draw.rectangle((w - w // 4, h // 2, w - w // 4 + 3, h // 2 + h // 6), fill=colour)
    draw.rectangle((w - w // 8 - 3, h // 2, w - w // 8, h // 2 + h // 8), fill=colour)


def dev_item_sheet(p, rng):
    """A key lying in the scene (frame 0) and as it is found (frame 1)."""
    def frame(i, size):
        img = Image.new("RGBA", size, (0, 0, 0, 0))
        _key(ImageDraw.Draw(img), size, (200, 170, 60, 255) if i == 0 else (250, 220, 90, 255))
        return img
    return sheets.strip(p, frame)


def dev_key_sheet(p, rng):
    """The key object: whole, silhouette, and its one part."""
    def frame(i, size):
        img = Image.new("RGBA", size, (0, 0, 0, 0))
        _key(ImageDraw.Draw(img), size, (60, 60, 60, 255) if i == 1 else (230, 200, 80, 255))
        return img
    return sheets.strip(p, frame)


def dev_guide(p, rng):
    """The guide, half length: a green robe, a round face with two eyes, a pointed hat."""
    w, h = size = tuple(p["size"])
    img = Image.new("RGBA", size, (0, 0, 0, 0))
    draw = ImageDraw.Draw(img)
    cx = w // 2
    draw.polygon([(cx - 30, 110), (cx + 30, 110), (w - 8, h - 1), (8, h - 1)],
                 fill=(60, 120, 70, 255), outline=(20, 50, 25, 255))
    draw.ellipse((cx - 34, 50, cx + 34, 118), fill=(230, 195, 160, 255), outline=(90, 60, 40, 255))
    draw.polygon([(cx - 40, 62), (cx + 40, 62), (cx, 0)], fill=(40, 80, 140, 255),
                 outline=(15, 30, 60, 255))
    for x in (cx - 14, cx + 14):
        draw.ellipse((x - 4, 80, x + 4, 88), fill=(30, 30, 30, 255))
    return img


def dev_bubble(p, rng):
    """A white speech bubble with a dark rim and a tail to the left."""
    w, h = size = tuple(p["size"])
    img = Image.new("RGBA", size, (0, 0, 0, 0))
    draw = ImageDraw.Draw(img)
    draw.polygon([(0, h - 10), (26, h // 2 - 6), (34, h // 2 + 14)], fill=(40, 40, 40, 255))
    draw.rounded_rectangle((16, 2, w - 3, h - 3), radius=16, fill=(250, 250, 245, 255),
                           outline=(40, 40, 40, 255), width=3)
    return img


RECIPES = {
    "dev_background": dev_background,
    "dev_item_sheet": dev_item_sheet,
    "dev_key_sheet": dev_key_sheet,
    "dev_cursor": dev_cursor,
    "dev_area_sheet": dev_area_sheet,
    "dev_area_mask": dev_area_mask,
    "dev_glow": dev_glow,
    "dev_guide": dev_guide,
    "dev_bubble": dev_bubble,
}
