# The puzzle scenes' pictures: the electronic lock's key (three frames: unlit, an unused middle
# frame, lit), drawn to sit on the sockets of the lock panel's background; the star scroll's
# progress buttons, lens, glows and hidden symbols; the night sky, its lens, plates and
# constellations.
from PIL import Image, ImageChops

import observatory
import paint
import sheets
from frontend import _over
from gatehouse import _ellipse
from images import AMBER, AMBER_PALE, BRONZE, BRONZE_DARK, INK, NIGHT_LOW, NIGHT_TOP


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


def _scroll_button(i, size, shape):
    """Frame 0 lit (amber glass in a bronze ring), frame 1 unlit (the ring round dark glass). Each
    button carries the symbol of its place in the order, faint on the dark glass and dark on the
    lit: the row reads the order before anything is found."""
    w, h = size
    cx, cy = w / 2, h / 2
    img = _over(_rgba(size), BRONZE, _disc(size, cx, cy, 38))
    img = _over(img, BRONZE_DARK, _disc(size, cx, cy, 30))
    glyph = _glyph(size, shape, cx, cy, 8)
    if i == 0:
        img = _over(img, AMBER, _disc(size, cx, cy, 26))
        img = _over(img, AMBER_PALE, paint.radial_mask(size, (cx, cy), 11, power=1.5))
        return _over(img, BRONZE_DARK, glyph)
    return _over(img, AMBER, paint.scale_mask(glyph, 0.7))


def scroll_button_sheet(p, rng):
    return sheets.strip(p, lambda i, size: _scroll_button(i, size, p["shape"]))


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


# The night sky's pieces. The sky (1024 x 512) is centred on (512 - 112, 256): its pixel (x, y)
# lies on the screen at (x - 112, y). The constellations' frames (128 x 96, four twinkling frames
# to a row, one row each) sit on the screen with these centres, in answer order, all above
# y 400 where the lens works; each answer is its constellation's middle.
HEAVENS_CENTRES = ((250, 110), (520, 100), (400, 230), (260, 330), (560, 320))
CONSTELLATION_FRAME = (128, 96)
# Each constellation's stars within its frame (x, y), joined in order by faint lines.
CONSTELLATIONS = (
    ((14, 70), (34, 52), (56, 46), (70, 30), (92, 40), (114, 24)),   # pisces: two fish on a cord
    ((30, 14), (38, 44), (44, 80), (84, 80), (90, 46), (96, 16)),    # gemini: the twins
    ((20, 64), (44, 56), (64, 60), (88, 40), (100, 24), (112, 34)),  # leo: the lion's back
    ((16, 20), (36, 30), (56, 42), (72, 60), (90, 72), (108, 62)),   # scorpio: the tail's curl
    ((12, 48), (32, 30), (58, 24), (74, 44), (96, 56), (116, 38)),   # draco: the winding dragon
)


def telescope_frame(p, rng):
    """The telescope scene's backdrop with its round field of sky cut out: the heavens puzzle
    draws its sky first and the scene over it."""
    img = observatory.telescope_background(p, rng).convert("RGBA")
    hole = _ellipse(img.size, 400, 210, 560, 400)
    img.putalpha(ImageChops.subtract(img.getchannel("A"), hole))
    return img


def heavens_sky(p, rng):
    """The night sky behind the telescope's barrel: deep blue with many faint stars."""
    size = tuple(p["size"])
    img = paint.vertical_gradient(size, [(0.0, NIGHT_TOP), (1.0, NIGHT_LOW)]).convert("RGBA")
    paint.star_field(img, rng, 900, (0, 0, size[0], size[1]), (220, 226, 255))
    return img.convert("RGB")


def heavens_lens(p, rng):
    """A brass ring whose clear middle is wide enough for the lens's square quads (56 each way)."""
    size = tuple(p["size"])
    c = size[0] / 2
    ring = ImageChops.subtract(_disc(size, c, c, 170), _disc(size, c, c, 114))
    img = _over(_rgba(size), BRONZE_DARK, ring)
    img = _over(img, BRONZE, ImageChops.subtract(_disc(size, c, c, 160), _disc(size, c, c, 122)))
    return _over(img, (200, 220, 255), paint.scale_mask(_disc(size, c, c, 114), 0.08))


def heavens_plate(p, rng):
    size = tuple(p["size"])
    c = size[0] / 2
    img = _over(_rgba(size), BRONZE_DARK, _disc(size, c, c, size[0]))
    return _over(img, (170, 200, 255), _disc(size, c, c, size[0] - 6))


def _constellation(index, twinkle, size):
    img = _rgba(size)
    stars = CONSTELLATIONS[index]
    lines = paint.shape_mask(
        size, lambda d, k: d.line([(x * k, y * k) for x, y in stars], fill=255, width=k))
    img = _over(img, (120, 150, 220), paint.scale_mask(lines, 0.7))
    for k, (x, y) in enumerate(stars):
        d = 7 if (k + twinkle) % 4 == 0 else 5
        img = _over(img, (160, 190, 255), paint.soft(_disc(size, x, y, d + 4), 1.5))
        img = _over(img, (240, 244, 255), _disc(size, x, y, d))
    return img


def constellation_sheet(p, rng):
    """Five rows, one per constellation, of four frames in which the stars twinkle in turn."""
    w, h = CONSTELLATION_FRAME
    sheet = Image.new("RGBA", (w * 4, h * len(CONSTELLATIONS)), (0, 0, 0, 0))
    for row in range(len(CONSTELLATIONS)):
        for frame in range(4):
            sheet.paste(_constellation(row, frame, (w, h)), (frame * w, row * h))
    return sheet


def constellation_layer(p, rng):
    """What the telescope scene shows once a constellation is found: its first frame, brighter."""
    img = _constellation(p["index"], 0, CONSTELLATION_FRAME)
    return Image.alpha_composite(img, img)


def instruction_band(p, rng):
    """The dark band a puzzle's instruction line stands on: ink, mostly opaque, with rounded ends
    and a thin bronze edge, so light text reads on it over any of the puzzles' art."""
    size = tuple(p["size"])
    w, h = size
    outer = paint.rounded_rect_mask(size, (0, 0, w, h), h // 2)
    inner = paint.rounded_rect_mask(size, (2, 2, w - 2, h - 2), h // 2 - 2)
    img = _over(_rgba(size), INK, paint.scale_mask(outer, 0.88))
    return _over(img, BRONZE_DARK, ImageChops.subtract(outer, inner))


RECIPES = {
    "instruction_band": instruction_band,
    "lock_key_sheet": lock_key_sheet,
    "telescope_frame": telescope_frame,
    "heavens_sky": heavens_sky,
    "heavens_lens": heavens_lens,
    "heavens_plate": heavens_plate,
    "constellation_sheet": constellation_sheet,
    "constellation_layer": constellation_layer,
    "scroll_button_sheet": scroll_button_sheet,
    "scroll_glow": scroll_glow,
    "scroll_lens": scroll_lens,
    "scroll_symbols": scroll_symbols,
}
