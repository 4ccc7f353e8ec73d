# The Crypt's two puzzles: the altar's crystal (two frames: lit, at rest), its five beams of
# coloured light (one for each answered pattern, fanning up from the altar), the vault's stone
# lock and the eye that lights above it. Shapes drawn about the pictures' middles, which the
# puzzle scripts place.
import math

from PIL import Image

import paint
import sheets
from frontend import _over
from gatehouse import STONE, STONE_DARK, _shaded
from images import AMBER, AMBER_PALE, INK

CRYSTAL_REST = (70, 86, 96)
CRYSTAL_EDGE = (150, 200, 220)
CRYSTAL_GLOW = (220, 250, 255)
WHITE = (240, 240, 236)
GREEN = (90, 220, 120)
BLUE = (80, 130, 240)
YELLOW = (250, 220, 80)
RED = (230, 70, 60)
# The beams in pattern order: the two colours each blends, bottom to top, and its lean in degrees.
BEAMS = ((WHITE, GREEN, -40), (BLUE, YELLOW, -20), (BLUE, GREEN, 0), (WHITE, RED, 20),
         (YELLOW, RED, 40))


def _rgba(size):
    return Image.new("RGBA", size, (0, 0, 0, 0))


def _crystal(i, size):
    """Frame 0 lit (a pale glow round a bright body), frame 1 at rest (the dull stone)."""
    w, h = size
    cx, cy = w / 2, h / 2
    body = paint.polygon_mask(size, [(cx, 2), (cx + 20, cy + 4), (cx, h - 2), (cx - 20, cy + 4)])
    facet = paint.polygon_mask(size, [(cx, 6), (cx + 8, cy), (cx, cy + 20), (cx - 8, cy)])
    img = _rgba(size)
    if i == 0:
        img = _over(img, CRYSTAL_GLOW, paint.soft(body, 4))
        img = _over(img, CRYSTAL_EDGE, body)
        return _over(img, CRYSTAL_GLOW, facet)
    img = _over(img, CRYSTAL_REST, body)
    return _over(img, (96, 112, 124), facet)


def crystal_sheet(p, rng):
    return sheets.strip(p, _crystal)


def _beam(index, size):
    low, high, lean = BEAMS[index]
    w, h = size
    # A shaft from the bottom middle, leaning by `lean` degrees, widening as it rises.
    angle = math.radians(lean)
    top = (w / 2 + math.tan(angle) * (h - 8), 4)
    shaft = paint.polygon_mask(size, [(w / 2 - 6, h), (w / 2 + 6, h), (top[0] + 18, top[1]),
                                      (top[0] - 18, top[1])])
    shaft = paint.soft(shaft, 3)
    colours = paint.vertical_gradient(size, [(0.0, high), (1.0, low)]).convert("RGBA")
    # Fainter towards the top.
    fade = Image.linear_gradient("L").resize(size).point(lambda v: 90 + v * 165 // 255)
    alpha = Image.composite(fade, Image.new("L", size, 0), shaft)
    colours.putalpha(alpha)
    return colours


def beam(p, rng):
    return _beam(p["index"], tuple(p["size"]))


def stone_lock(p, rng):
    """A round stone with a bronze-edged keyhole slot, so a quarter turn shows."""
    size = tuple(p["size"])
    w, h = size
    cx, cy = w / 2, h / 2
    disc = paint.ellipse_mask(size, (4, 4, w - 4, h - 4))
    img = _shaded(size, disc, STONE, STONE_DARK)
    img = _over(img, INK, paint.ellipse_mask(size, (cx - 30, cy - 30, cx + 30, cy + 30)).point(
        lambda v: 255 if 0 < v < 255 else 0))
    img = _over(img, (30, 22, 14), paint.rounded_rect_mask(size, (cx - 8, cy - 34, cx + 8,
                                                                  cy + 10), 4))
    img = _over(img, AMBER, paint.ellipse_mask(size, (cx - 5, cy - 32, cx + 5, cy - 22)))
    return img


def eye(p, rng):
    """An almond of amber light with a pale middle."""
    size = tuple(p["size"])
    w, h = size
    cx, cy = w / 2, h / 2
    almond = paint.polygon_mask(size, [(1, cy), (cx, 5), (w - 1, cy), (cx, h - 5)])
    img = _over(_rgba(size), AMBER, paint.soft(almond, 1.5))
    return _over(img, AMBER_PALE, paint.ellipse_mask(size, (cx - 5, cy - 5, cx + 5, cy + 5)))


RECIPES = {
    "ritual_crystal_sheet": crystal_sheet,
    "ritual_beam": beam,
    "three_locks_stone": stone_lock,
    "three_locks_eye": eye,
}
