# Lirae's hint minigame: the board's dusk backdrop, its frame with the token tray, the six glyphs
# the player matches, the timer's dial and hand, and the ghost view's grey mask. Same palette and
# rules as images.py: no text is drawn.
import math

from PIL import Image, ImageChops

import formats
import paint
import sheets
from frontend import _over
from images import AMBER, AMBER_PALE, BRONZE, BRONZE_DARK, INK, IVORY

# Lirae's colours: the violet dusk of her board and the pale light of her glyphs.
DUSK_TOP = (34, 22, 52)
DUSK_LOW = (14, 10, 24)
GLYPH_COLOURS = ((255, 196, 96), (132, 220, 255), (196, 255, 150), (255, 140, 180),
                 (220, 170, 255), (255, 240, 200))


def lirae_background(p, rng):
    """The board's backdrop: violet dusk over a misty floor, a few faint stars."""
    w, h = size = tuple(p["size"])
    img = paint.vertical_gradient(size, [(0.0, DUSK_TOP), (0.7, DUSK_LOW), (1.0, (8, 6, 14))],
                                  "RGBA")
    mist = paint.scale_mask(paint.level(paint.value_noise(rng, size, 64, octaves=3), 90, 220), 0.3)
    img = _over(img, (120, 96, 150), mist)
    paint.star_field(img, rng, 90, (0, 0, w, int(h * 0.6)), (220, 210, 255), bright=(40, 160))
    return img.convert("RGB")


def lirae_front(p, rng):
    """The board's frame: a bronze rim round the play area and, along its foot, the dark tray
    where the tokens wait and land; clear everywhere else."""
    w, h = size = tuple(p["size"])
    board = p["board"]
    img = Image.new("RGBA", size, (0, 0, 0, 0))
    outer = paint.rounded_rect_mask(size, (0, 0, w, board), 4)
    inner = paint.rounded_rect_mask(size, (10, 10, w - 10, board - 10), 14)
    rim = ImageChops.subtract(outer, inner)
    img = _over(img, BRONZE_DARK, rim)
    img = _over(img, BRONZE, paint.scale_mask(paint.soft(rim, 2), 0.7))
    tray = paint.rounded_rect_mask(size, (290, board - 62, 510, board - 6), 18)
    img = _over(img, INK, paint.scale_mask(tray, 0.85))
    img = _over(img, BRONZE, ImageChops.subtract(tray, paint.soft(paint.rounded_rect_mask(
        size, (293, board - 59, 507, board - 9), 16), 0.5)))
    for x in (340, 400, 460):
        socket = paint.ellipse_mask(size, (x - 16, board - 41, x + 16, board - 9))
        img = _over(img, (40, 28, 60), socket)
        img = _over(img, AMBER, paint.scale_mask(ImageChops.subtract(
            socket, paint.ellipse_mask(size, (x - 14, board - 39, x + 14, board - 11))), 0.6))
    return img


def _glyph(i, size):
    """Glyph `i`: a rune of straight strokes in its own colour, with a halo of the same light."""
    w, h = size
    cx, cy = w / 2, h / 2
    r = w * 0.32
    strokes = {
        0: [((cx, cy - r), (cx, cy + r)), ((cx - r * 0.7, cy - r * 0.4), (cx + r * 0.7, cy - r * 0.4))],
        1: [((cx - r * 0.7, cy - r), (cx + r * 0.7, cy + r)), ((cx + r * 0.7, cy - r), (cx - r * 0.7, cy + r))],
        2: [((cx, cy - r), (cx - r * 0.8, cy + r * 0.8)), ((cx, cy - r), (cx + r * 0.8, cy + r * 0.8)),
            ((cx - r * 0.5, cy + r * 0.2), (cx + r * 0.5, cy + r * 0.2))],
        3: [((cx - r * 0.6, cy - r), (cx - r * 0.6, cy + r)), ((cx - r * 0.6, cy - r), (cx + r * 0.6, cy)),
            ((cx + r * 0.6, cy), (cx - r * 0.6, cy + r))],
        4: [((cx - r, cy), (cx + r, cy)), ((cx, cy - r), (cx, cy + r)),
            ((cx - r * 0.6, cy - r * 0.6), (cx + r * 0.6, cy + r * 0.6))],
        5: [((cx - r * 0.7, cy + r), (cx, cy - r)), ((cx, cy - r), (cx + r * 0.7, cy + r)),
            ((cx + r * 0.7, cy + r), (cx - r * 0.7, cy + r))],
    }[i]
    rune = paint.shape_mask(size, lambda d, k: [
        d.line((a[0] * k, a[1] * k, b[0] * k, b[1] * k), fill=255, width=int(5 * k))
        for a, b in strokes])
    colour = GLYPH_COLOURS[i]
    img = Image.new("RGBA", size, (0, 0, 0, 0))
    img = _over(img, colour, paint.radial_mask(size, (cx, cy), w / 2, 1.5, peak=150))
    img = _over(img, INK, paint.scale_mask(paint.soft(rune, 1.5), 0.9))
    return _over(img, IVORY, rune)


def lirae_glyphs(p, rng):
    """The six glyphs side by side: clickables and tokens show the same frame for one picture."""
    return sheets.strip(p, _glyph)


def lirae_dial(p, rng):
    """The timer's dial: a faint ring of twelve marks, clear in the middle so the scene shows."""
    w, h = size = tuple(p["size"])
    cx, cy = w / 2, h / 2
    img = Image.new("RGBA", size, (0, 0, 0, 0))
    ring = ImageChops.subtract(paint.ellipse_mask(size, (2, 2, w - 2, h - 2)),
                               paint.ellipse_mask(size, (7, 7, w - 7, h - 7)))
    img = _over(img, BRONZE, paint.scale_mask(ring, 0.8))
    marks = paint.shape_mask(size, lambda d, k: [
        d.line(((cx + (w / 2 - 12) * math.sin(a)) * k, (cy - (h / 2 - 12) * math.cos(a)) * k,
                (cx + (w / 2 - 7) * math.sin(a)) * k, (cy - (h / 2 - 7) * math.cos(a)) * k),
               fill=255, width=int(2 * k))
        for a in (math.pi * 2 * n / 12 for n in range(12))])
    return _over(img, AMBER_PALE, paint.scale_mask(marks, 0.7))


def lirae_hand(p, rng):
    """The timer's hand: a thin amber needle pointing up from its hub at (w / 2, `hub`)."""
    w, h = size = tuple(p["size"])
    hub = p["hub"]
    img = Image.new("RGBA", size, (0, 0, 0, 0))
    needle = paint.polygon_mask(size, [(w / 2, 0), (w - 1, hub), (w / 2, h), (1, hub)])
    img = _over(img, AMBER, needle)
    return _over(img, BRONZE_DARK, paint.ellipse_mask(size, (0, hub - w / 2, w, hub + w / 2)))


def lirae_ghost_mask(p, rng):
    """The ghost view's mask, 16-bit grey with alpha. Its alpha becomes the alpha of the overlay
    that holds the last frame over the ghost view: light near the middle where the glyphs drift
    (they stay sharp), stronger towards the frame (they trail off like ghosts). The grey repeats
    the alpha, so the file looks like its effect."""
    w, h = size = tuple(p["size"])
    centre = paint.radial_mask(size, (w / 2, 240), 460, 1.2)
    grey = ImageChops.subtract(Image.new("L", size, 200), paint.scale_mask(centre, 0.6))
    wide = grey.convert("I").point(lambda v: v * 257).convert("I;16")
    return formats.GreyAlpha16(wide, wide)


RECIPES = {
    "lirae_background": lirae_background,
    "lirae_front": lirae_front,
    "lirae_glyphs": lirae_glyphs,
    "lirae_dial": lirae_dial,
    "lirae_hand": lirae_hand,
    "lirae_ghost_mask": lirae_ghost_mask,
}
