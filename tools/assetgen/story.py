# The cut-scene's pictures: the film strip (background, film dots, fillers between cells), the aged
# look of a cell (trim mask, overlay, gradient, grain, blotches), the two cells' layers each with its
# sepia twin, the speech bubble and the drops that run down the screen. Same palette and rules as
# images.py: no text is drawn.
import random
import struct

from PIL import Image, ImageChops, ImageOps

import paint
from frontend import _over
from images import AMBER, AMBER_PALE, FEN, FEN_DARK, INK, NIGHT_LOW, NIGHT_TOP

SEPIA = (112, 66, 20)


def _sepia(img):
    """The aged twin of a layer: its brightness toned brown, its alpha kept."""
    grey = ImageOps.grayscale(img.convert("RGB"))
    toned = ImageOps.colorize(grey, black=(40, 24, 10), white=(236, 214, 170), mid=SEPIA)
    toned = toned.convert("RGBA")
    toned.putalpha(img.getchannel("A") if img.mode == "RGBA" else 255)
    return toned


def _maybe_sepia(p, img):
    return _sepia(img) if p.get("sepia") else img


def story_background(p, rng):
    """Behind the strip: a grey, grainy dark (a one-channel JPEG)."""
    size = tuple(p["size"])
    grain = paint.scale_mask(paint.value_noise(rng, size, 6, octaves=2), 0.12)
    return ImageChops.add(grain, paint.vertical_gradient(size, [(0.0, (40,)), (1.0, (12,))], "L"))


def film_dot(p, rng):
    """One sprocket hole: a light rounded slot on the film's dark."""
    w, h = size = tuple(p["size"])
    img = Image.new("RGBA", size, (16, 12, 10, 255))
    hole = paint.rounded_rect_mask(size, (3, 2, w - 3, h - 2), 2)
    return _over(img, (214, 204, 180), hole)


def filler(p, rng):
    """The film between and around the cells: dark, lightly scratched."""
    w, h = size = tuple(p["size"])
    img = Image.new("RGBA", size, (22, 18, 14, 255))
    for _ in range(6):
        x = rng.uniform(10, w - 10)
        line = paint.shape_mask(size, lambda d, k, x=x: d.line(
            (x * k, 0, (x + rng.uniform(-8, 8)) * k, h * k), fill=255, width=k))
        img = _over(img, (70, 60, 48), paint.scale_mask(line, 0.4))
    return img


def trim(p, rng):
    """The cell's shape as an 8-bit grey mask: white inside, a ragged dark edge."""
    w, h = size = tuple(p["size"])
    inside = paint.rounded_rect_mask(size, (8, 8, w - 8, h - 8), 10)
    ragged = paint.level(paint.value_noise(rng, size, 5, octaves=2), 60, 200)
    edge = ImageChops.subtract(paint.soft(inside, 3), ImageChops.invert(ragged))
    return ImageChops.lighter(paint.rounded_rect_mask(size, (14, 14, w - 14, h - 14), 8), edge)


def overlay(p, rng):
    """The aged look over a cell: browned edges and a fine frame, clear in the middle."""
    w, h = size = tuple(p["size"])
    img = Image.new("RGBA", size, (0, 0, 0, 0))
    inner = paint.soft(paint.rounded_rect_mask(size, (40, 40, w - 40, h - 40), 30), 24)
    img = _over(img, (96, 62, 24), paint.scale_mask(ImageChops.invert(inner), 0.6))
    frame = paint.shape_mask(size, lambda d, k: d.rounded_rectangle(
        (10 * k, 10 * k, (w - 10) * k, (h - 10) * k), radius=8 * k, outline=255, width=2 * k))
    return _over(img, INK, paint.scale_mask(frame, 0.8))


def gradient(p, rng):
    """A light from above over the aged look: clear at the top, darker below."""
    size = tuple(p["size"])
    img = Image.new("RGBA", size, (30, 18, 8, 0))
    img.putalpha(paint.vertical_gradient(size, [(0.0, (0,)), (1.0, (110,))], "L"))
    return img


def static(p, rng):
    """Film grain: sparse pale specks, mostly transparent."""
    w, h = size = tuple(p["size"])
    img = Image.new("RGBA", size, (0, 0, 0, 0))
    specks = Image.new("L", size, 0)
    for _ in range(p.get("count", 400)):
        specks.putpixel((rng.randrange(w), rng.randrange(h)), rng.randrange(90, 220))
    return _over(img, (250, 240, 220), specks)


def blotches_sheet(p, rng):
    """Three ink blotches side by side, each a soft irregular stain."""
    fw, fh = p["frame"]
    sheet = Image.new("RGBA", (fw * p["frames"], fh), (0, 0, 0, 0))
    for i in range(p["frames"]):
        frame = Image.new("RGBA", (fw, fh), (0, 0, 0, 0))
        stain = Image.new("L", (fw, fh), 0)
        for _ in range(5):
            cx, cy = rng.uniform(fw * 0.3, fw * 0.7), rng.uniform(fh * 0.3, fh * 0.7)
            r = rng.uniform(fw * 0.1, fw * 0.25)
            stain = ImageChops.lighter(stain, paint.ellipse_mask((fw, fh),
                                                                 (cx - r, cy - r, cx + r, cy + r)))
        frame = _over(frame, (50, 30, 12), paint.scale_mask(paint.soft(stain, 2), 0.7))
        sheet.paste(frame, (i * fw, 0))
    return sheet


def _gatehouse(size, rng):
    w, h = size
    img = Image.new("RGBA", size, (0, 0, 0, 255))
    img.paste(paint.vertical_gradient(size, [(0.0, NIGHT_TOP + (255,)), (1.0, NIGHT_LOW + (255,))],
                                      "RGBA"), (0, 0))
    paint.star_field(img, rng, 60, (0, 0, w, h // 2), (230, 230, 255))
    hills = paint.polygon_mask(size, paint.ridge_points(rng, w, h * 0.7, h * 0.05, 60, h))
    img = _over(img, FEN_DARK, hills)
    house = paint.polygon_mask(size, [(w * 0.55, h * 0.75), (w * 0.55, h * 0.4),
                                      (w * 0.65, h * 0.28), (w * 0.75, h * 0.4),
                                      (w * 0.75, h * 0.75)])
    return _over(img, INK, house)


def _fen_path(size, rng):
    w, h = size
    img = Image.new("RGBA", size, (0, 0, 0, 255))
    img.paste(paint.vertical_gradient(size, [(0.0, NIGHT_TOP + (255,)), (0.6, FEN + (255,)),
                                             (1.0, FEN_DARK + (255,))], "RGBA"), (0, 0))
    path = paint.polygon_mask(size, [(0, h * 0.8), (w, h * 0.7), (w, h * 0.78), (0, h * 0.9)])
    img = _over(img, (60, 52, 40), path)
    tower = paint.rounded_rect_mask(size, (w * 0.82, h * 0.2, w * 0.9, h * 0.72), 4)
    return _over(img, INK, tower)


def _lamp(size, rng):
    w, h = size
    img = Image.new("RGBA", size, (0, 0, 0, 0))
    img = _over(img, AMBER_PALE, paint.scale_mask(paint.radial_mask(size, (w / 2, h * 0.35),
                                                                    w * 0.5, power=1.5), 0.8))
    body = paint.rounded_rect_mask(size, (w * 0.3, h * 0.2, w * 0.7, h * 0.55), 6)
    img = _over(img, AMBER, body)
    post = paint.rounded_rect_mask(size, (w * 0.45, h * 0.55, w * 0.55, h), 2)
    return _over(img, INK, post)


def _thief(size, rng):
    w, h = size
    img = Image.new("RGBA", size, (0, 0, 0, 0))
    head = paint.ellipse_mask(size, (w * 0.35, 0, w * 0.65, h * 0.2))
    body = paint.polygon_mask(size, [(w * 0.2, h * 0.22), (w * 0.8, h * 0.22), (w * 0.9, h * 0.7),
                                     (w * 0.65, h), (w * 0.35, h), (w * 0.1, h * 0.7)])
    return _over(img, (12, 10, 14), ImageChops.lighter(head, body))


SCENES = {"gatehouse": _gatehouse, "fen_path": _fen_path, "lamp": _lamp, "thief": _thief}


def story_layer(p, rng):
    """A cell's layer: its live colours, or with "sepia" its aged twin (drawn from the same seed,
    so the two match)."""
    return _maybe_sepia(p, SCENES[p["scene"]](tuple(p["size"]), random.Random(p["seed"])))


def speech_bubble(p, rng):
    """A speech bubble: pale parchment with a dark edge and a tail at its lower left."""
    w, h = size = tuple(p["size"])
    img = Image.new("RGBA", size, (0, 0, 0, 0))
    shape = ImageChops.lighter(paint.rounded_rect_mask(size, (2, 2, w - 2, h - 16), 14),
                               paint.polygon_mask(size, [(24, h - 18), (44, h - 18), (16, h - 1)]))
    img = _over(img, INK, shape)
    inner = ImageChops.lighter(paint.rounded_rect_mask(size, (4, 4, w - 4, h - 18), 12),
                               paint.polygon_mask(size, [(26, h - 19), (40, h - 19), (19, h - 5)]))
    return _over(img, (246, 238, 216), inner)


def blood_drip(p, rng):
    """A run of blood down the screen: dark at its right, round at its foot."""
    w, h = size = tuple(p["size"])
    img = Image.new("RGBA", size, (0, 0, 0, 0))
    body = paint.horizontal_gradient(size, [(0.0, (190, 30, 24, 255)), (1.0, (96, 8, 8, 255))],
                                     "RGBA")
    img.paste(body, (0, 0), paint.streak_mask(size))
    return img


def blood_drop(p, rng):
    """A falling drop of blood with a glint."""
    size = tuple(p["size"])
    img = Image.new("RGBA", size, (0, 0, 0, 0))
    shape, glint = paint.drop_masks(size)
    img.paste(Image.new("RGBA", size, (150, 16, 14, 255)), (0, 0), shape)
    return _over(img, (255, 200, 190), paint.scale_mask(glint, 0.7))


RECIPES = {
    "story_background": story_background,
    "story_film_dot": film_dot,
    "story_filler": filler,
    "story_trim": trim,
    "story_overlay": overlay,
    "story_gradient": gradient,
    "story_static": static,
    "story_blotches": blotches_sheet,
    "story_layer": story_layer,
    "story_bubble": speech_bubble,
    "story_drip": blood_drip,
    "story_drop": blood_drop,
}


def packed_animation(p, rng):
    """The packed (binary) description of a sheet of frames in one row: version 2, the sheet's
    file name beside it, each frame registered at its centre."""
    def word(value):
        return struct.pack("<i", value)

    def text(value):
        data = value.encode("utf-8")
        return word(len(data)) + data

    fw, fh = p["frame"]
    frames = p["frames"]
    out = b"ANIM" + word(0) + word(2) + text(p["name"]) + text(p["image"])
    out += b"IMGN" + word(fw // 2) + word(fh // 2) + word(fw * frames) + word(fh)
    out += text(p["image"]) + text("")
    out += b"FRMS" + word(frames)
    for i in range(frames):
        out += word(fw // 2) + word(fh // 2) + word(i * fw) + word(0) + word(fw) + word(fh)
        out += struct.pack("<f", 1.0)
        out += struct.pack("<6f", 1.0, 0.0, 0.0, 1.0, 0.0, 0.0)
        out += text("%s%d" % (p["name"], i)) + word(0)
    return out


# Recipes that make a binary description.
DESCRIPTIONS = {
    "story_packed_animation": packed_animation,
}
