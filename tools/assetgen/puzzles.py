# The puzzle scenes' pictures: the electronic lock's key (three frames: unlit, an unused middle
# frame, lit), drawn to sit on the sockets of the lock panel's background; the star scroll's
# progress buttons, lens, glows and hidden symbols.
from PIL import Image, ImageChops

import paint
import sheets
from frontend import _over
from images import AMBER, AMBER_PALE, BRONZE, BRONZE_DARK, INK


def _rgba(size):
    return Image.new("RGBA", size, (0, 0, 0, 0))


def _disc(size, cx, cy, d):
    return paint.ellipse_mask(size, (cx - d / 2, cy - d / 2, cx + d / 2, cy + d / 2))


def _lock_key(i, size):
    """Frame `i` of a key: a bronze rim round a dark glass face; the lit frame (2) glows amber
    from the middle. Frame 1 is never shown: it is the unlit face with a faint rim, so a wrong
    frame number shows as a visible difference in the goldens."""
    w, h = size
    cx, cy = w / 2, h / 2
    img = _over(_rgba(size), INK, paint.soft(_disc(size, cx, cy + 2, 60), 1.5))
    img = _over(img, BRONZE if i != 1 else BRONZE_DARK, _disc(size, cx, cy, 58))
    img = _over(img, BRONZE_DARK, _disc(size, cx, cy, 48))
    if i == 2:
        img = _over(img, AMBER, _disc(size, cx, cy, 42))
        img = _over(img, AMBER_PALE, paint.radial_mask(size, (cx, cy), 18, power=1.5))
    else:
        img = _over(img, (30, 24, 20), _disc(size, cx, cy, 42))
        img = _over(img, (70, 60, 48), paint.scale_mask(_disc(size, cx - 8, cy - 8, 10), 0.6))
    return img


def lock_key_sheet(p, rng):
    return sheets.strip(p, _lock_key)


# The star scroll's pieces. The answers' centres on the screen, in order, as the scroll puzzle's
# script lists them; the symbols' picture (512 x 256) is centred on (400, 277), so its pixel
# (x, y) lies on the screen at (x + 144, y + 149).
SCROLL_ANSWERS = ((200, 200), (560, 360), (320, 300), (600, 190), (440, 230))


def _scroll_button(i, size):
    """Frame 0 lit (an amber star in a bronze ring), frame 1 unlit (the ring round dark glass)."""
    w, h = size
    cx, cy = w / 2, h / 2
    img = _over(_rgba(size), BRONZE, _disc(size, cx, cy, 38))
    img = _over(img, BRONZE_DARK, _disc(size, cx, cy, 30))
    if i == 0:
        img = _over(img, AMBER, _disc(size, cx, cy, 26))
        img = _over(img, AMBER_PALE, paint.radial_mask(size, (cx, cy), 11, power=1.5))
    return img


def scroll_button_sheet(p, rng):
    return sheets.strip(p, _scroll_button)


def scroll_glow(p, rng):
    size = tuple(p["size"])
    cx, cy = size[0] / 2, size[1] / 2
    img = _over(_rgba(size), AMBER, paint.radial_mask(size, (cx, cy), cx, power=0.8))
    return _over(img, AMBER_PALE, _disc(size, cx, cy, cx))


def scroll_lens(p, rng):
    """The crystal lens: a bronze ring whose glass centre lies 40 pixels above the picture's
    middle (the point the lens follows), a handle below it, the glass itself clear."""
    size = tuple(p["size"])
    w, _ = size
    cx, cy = w / 2, 40
    img = _over(_rgba(size), BRONZE_DARK, _disc(size, cx, cy, 80))
    img = _over(img, BRONZE, _disc(size, cx, cy, 76))
    hole = _disc(size, cx, cy, 62)
    img.putalpha(ImageChops.subtract(img.getchannel("A"), hole))
    img = _over(img, (200, 220, 255), paint.scale_mask(hole, 0.12))
    img = _over(img, BRONZE_DARK, paint.rounded_rect_mask(size, (cx - 9, 78, cx + 9, 156), 6))
    img = _over(img, BRONZE, paint.rounded_rect_mask(size, (cx - 6, 80, cx + 6, 152), 4))
    return img


def _glyph(size, shape, cx, cy, r):
    if shape == 0:
        return ImageChops.subtract(_disc(size, cx, cy, 2 * r), _disc(size, cx, cy, 2 * r - 8))
    if shape == 1:
        return paint.polygon_mask(size, [(cx, cy - r), (cx + r, cy + r), (cx - r, cy + r)])
    if shape == 2:
        return ImageChops.lighter(
            paint.polygon_mask(size, [(cx - r, cy - 3), (cx + r, cy - 3), (cx + r, cy + 3),
                                      (cx - r, cy + 3)]),
            paint.polygon_mask(size, [(cx - 3, cy - r), (cx + 3, cy - r), (cx + 3, cy + r),
                                      (cx - 3, cy + r)]))
    if shape == 3:
        return ImageChops.subtract(_disc(size, cx, cy, 2 * r), _disc(size, cx + 7, cy - 4, 2 * r))
    return paint.polygon_mask(size, [(cx, cy - r), (cx + r, cy), (cx, cy + r), (cx - r, cy)])


def scroll_symbols(p, rng):
    """What only the lens shows: a cold tint over the scroll, faint star marks, and the five
    bright symbols on the answers' places (their order is the journal's business)."""
    size = tuple(p["size"])
    img = Image.new("RGBA", size, (40, 60, 120, 120))
    for _ in range(60):
        x, y = rng.randint(8, size[0] - 8), rng.randint(8, size[1] - 8)
        img = _over(img, (170, 190, 240), paint.scale_mask(_disc(size, x, y, 4), 0.5))
    for shape, (sx, sy) in enumerate(SCROLL_ANSWERS):
        x, y = sx - 144, sy - 149
        img = _over(img, AMBER, paint.soft(_glyph(size, shape, x, y, 18), 2.0))
        img = _over(img, AMBER_PALE, _glyph(size, shape, x, y, 16))
    return img


RECIPES = {
    "lock_key_sheet": lock_key_sheet,
    "scroll_button_sheet": scroll_button_sheet,
    "scroll_glow": scroll_glow,
    "scroll_lens": scroll_lens,
    "scroll_symbols": scroll_symbols,
}
