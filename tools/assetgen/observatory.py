# The Observatory, the second location: the domed room with its desk, shelves and telescope, the
# candle standing lit on the desk, the two puzzle close-ups (the scroll on the desk, the sky through
# the telescope), the areas' sheet, the items found in the room, and the puzzle scenes' stand-in
# panel that the Crypt shares. Same palette and rules as gatehouse.py: no text is drawn, and every
# shape is drawn about its cell's middle so the script's x, y is its centre on the screen, with an
# opaque core of at least 16 x 16 pixels there.
import math

from PIL import Image, ImageChops

import gatehouse
import paint
from frontend import _over
from gatehouse import IRON, STONE_DARK, WOOD, WOOD_DARK, _ellipse, _rect, _rgba, _shaded, _union
from images import AMBER, AMBER_PALE, BRONZE, BRONZE_DARK, INK, IVORY, NIGHT_LOW, NIGHT_TOP

BRASS = (196, 150, 70)
BRASS_DARK = (96, 66, 26)
PARCHMENT = (226, 208, 164)
# Where the location script places the room's things (centres on the screen).
DESK = (300, 400)
SCROLL = (160, 320)
TELESCOPE = (560, 300)
EYEPIECE = (620, 180)
LENS_SHELF = (150, 200)
CANDLE_ON_DESK = (300, 330)


# Area sheets shared by both locations: a drawer per area, three frames each (hilight, active,
# completed), laid out as gatehouse.area_place says.

def sheet_from(p, rng, drawers):
    """A scene's area sheet; `drawers[name](size, rng, frame)` draws an area's frame 1 (active) or
    2 (completed); the hilight is frame 1 warmed, so every frame hits the same."""
    w, h = p["frame"]
    names = p["areas"]
    per_row = p.get("perrow", 1)
    rows = (len(names) + per_row - 1) // per_row
    sheet = Image.new("RGBA", (w * 3 * min(per_row, len(names)), h * rows), (0, 0, 0, 0))
    for index, name in enumerate(names):
        x0, y0 = gatehouse.area_place(p, index)
        active = cell_of(drawers[name]((w, h), rng, 1), (w, h))
        done = cell_of(drawers[name]((w, h), rng, 2), (w, h))
        for i, picture in enumerate((gatehouse._lit(active), active, done)):
            sheet.paste(picture, (x0 + i * w, y0))
    return sheet


def cell_of(drawn, size):
    cell = _rgba(size)
    cell.paste(drawn, ((size[0] - drawn.width) // 2, (size[1] - drawn.height) // 2))
    return cell


def mask_from(p, rng, drawers):
    """An area's hit mask beside its description: its active frame in a cell of the sheet's."""
    size = tuple(p["frame"])
    return cell_of(drawers[p["area"]](size, rng, 1), size)


# The things of the room, each about the middle of the picture it is drawn into.

def _desk(size):
    """The star desk: a slanted top on two legs, its drawer pulls brass."""
    w, h = size
    cx, cy = w / 2, h / 2
    top = paint.polygon_mask(size, [(cx - 100, cy - 18), (cx + 100, cy - 18), (cx + 106, cy + 4),
                                    (cx - 106, cy + 4)])
    body = _union(top, _rect(size, cx, cy + 16, 190, 30, 3), _rect(size, cx - 84, cy + 40, 14, 30),
                  _rect(size, cx + 84, cy + 40, 14, 30))
    img = _shaded(size, body, WOOD, WOOD_DARK)
    for x in (cx - 40, cx + 40):
        img = _over(img, BRASS, _ellipse(size, x, cy + 16, 8, 8))
    return img


def _scroll(size, lit):
    """The rolled star scroll in its pigeonhole; pale and glowing once the desk is lit."""
    w, h = size
    cx, cy = w / 2, h / 2
    img = _shaded(size, _rect(size, cx, cy, 84, 60, 4), (40, 28, 18), (20, 14, 8))
    roll = _union(_rect(size, cx, cy, 60, 22, 10), _ellipse(size, cx - 30, cy, 10, 24),
                  _ellipse(size, cx + 30, cy, 10, 24))
    img = _over(img, PARCHMENT if lit else (150, 134, 100), roll)
    img = _over(img, BRONZE_DARK, _rect(size, cx, cy, 4, 22))
    return img


def _telescope(size, lens):
    """The telescope's tube, slanting up to the right, with its lens mount at the middle: empty
    (dark) until the lens is fitted, then glinting."""
    w, h = size
    cx, cy = w / 2, h / 2
    a = math.radians(-50)
    dx, dy = math.cos(a), math.sin(a)
    nx, ny = -dy, dx

    def band(length, width, at=0.0):
        x0, y0 = cx + dx * at, cy + dy * at
        return paint.polygon_mask(size, [
            (x0 - dx * length / 2 + nx * width / 2, y0 - dy * length / 2 + ny * width / 2),
            (x0 + dx * length / 2 + nx * width / 2, y0 + dy * length / 2 + ny * width / 2),
            (x0 + dx * length / 2 - nx * width / 2, y0 + dy * length / 2 - ny * width / 2),
            (x0 - dx * length / 2 - nx * width / 2, y0 - dy * length / 2 - ny * width / 2)])

    img = _shaded(size, band(190, 34), BRASS, BRASS_DARK)
    img = _over(img, BRONZE_DARK, band(8, 40, -50))
    img = _over(img, BRONZE_DARK, band(8, 40, 50))
    img = _over(img, BRASS_DARK, _ellipse(size, cx, cy, 46, 46))
    if lens:
        img = _over(img, (160, 210, 240), _ellipse(size, cx, cy, 32, 32))
        return _over(img, IVORY, _ellipse(size, cx - 6, cy - 6, 10, 8))
    return _over(img, INK, _ellipse(size, cx, cy, 32, 32))


def _eyepiece(size):
    """The brass eyepiece at the tube's upper end."""
    w, h = size
    cx, cy = w / 2, h / 2
    img = _shaded(size, _ellipse(size, cx, cy, 44, 44), BRASS, BRASS_DARK)
    img = _over(img, BRONZE_DARK, _ellipse(size, cx, cy, 26, 26))
    return _over(img, (90, 120, 170), _ellipse(size, cx, cy, 18, 18))


OBSERVATORY_DRAWERS = {
    "desk": lambda size, rng, frame: _desk((224, 96)),
    "scroll": lambda size, rng, frame: _scroll((88, 64), True),
    "telescope": lambda size, rng, frame: _telescope((200, 190), frame == 2),
    "eyepiece": lambda size, rng, frame: _eyepiece((48, 48)),
}


def _paste(img, drawn, centre):
    img.alpha_composite(drawn, (int(centre[0] - drawn.width // 2),
                                int(centre[1] - drawn.height // 2)))


# Scenes.

def observatory_background(p, rng):
    """The domed room at night: stone walls, the dome's open slit full of stars, the shelves on
    the left (the lens's high shelf, the scroll's pigeonholes), the desk, the telescope on its
    tripod on the right, a board floor."""
    size = tuple(p["size"])
    img = gatehouse._stone_wall(size, rng, (56, 58, 70), (30, 30, 38))
    slit = paint.polygon_mask(size, [(470, 0), (650, 0), (610, 120), (510, 120)])
    sky = paint.vertical_gradient(size, [(0.0, NIGHT_TOP), (0.2, NIGHT_LOW)])
    paint.star_field(sky, rng, 60, (470, 0, 650, 120), (220, 226, 255))
    img.paste(sky.convert("RGBA"), (0, 0), slit)
    img = _over(img, (50, 38, 28), _rect(size, 400, 520, 800, 200))
    for y in range(450, 600, 30):
        img = _over(img, WOOD_DARK, _rect(size, 400, y, 800, 2))
    # The shelves: the lens's board above, the pigeonholes below it.
    img = _over(img, WOOD_DARK, _rect(size, 150, 222, 170, 10, 2))
    img = _over(img, WOOD_DARK, _rect(size, 160, 320, 180, 90, 4))
    for x in (90, 230):
        img = _over(img, (30, 20, 12), _rect(size, x, 320, 84, 60, 4))
    _paste(img, _scroll((88, 64), False), SCROLL)
    _paste(img, _desk((224, 96)), DESK)
    # The tripod under the tube.
    for x in (500, 560, 620):
        img = _over(img, IRON, paint.polygon_mask(size, [(558, 310), (564, 310), (x + 3, 470),
                                                         (x - 3, 470)]))
    _paste(img, _telescope((200, 190), False), TELESCOPE)
    # The eyepiece's arm from the tube's upper end.
    img = _over(img, BRASS_DARK, paint.polygon_mask(size, [(606, 236), (618, 240), (624, 184),
                                                           (614, 182)]))
    _paste(img, _eyepiece((48, 48)), EYEPIECE)
    return img.convert("RGB")


def observatory_candle(p, rng):
    """The candle lit on the desk, with the warm pool of its light: the layer "desk_candle"."""
    w, h = size = tuple(p["size"])
    cx = w / 2
    img = Image.new("RGBA", size, AMBER + (0,))
    img.putalpha(paint.scale_mask(paint.radial_mask(size, (cx, h * 0.45), w / 2, 1.4), 0.55))
    img = _over(img, BRASS_DARK, _ellipse(size, cx, h - 14, 40, 12))
    img = _over(img, IVORY, _rect(size, cx, h - 40, 16, 48, 2))
    img = _over(img, AMBER, paint.soft(_ellipse(size, cx, h - 76, 14, 26), 2))
    return _over(img, AMBER_PALE, _ellipse(size, cx, h - 74, 6, 14))


def scrolldesk_background(p, rng):
    """The scroll spread out on the desk, close up: parchment with star marks."""
    size = tuple(p["size"])
    img = paint.vertical_gradient(size, [(0.0, (70, 46, 26)), (1.0, (34, 22, 12))]).convert("RGBA")
    img = _over(img, PARCHMENT, _rect(size, 400, 280, 620, 360, 8))
    img = _over(img, (190, 170, 126), _rect(size, 400, 100, 640, 30, 14))
    img = _over(img, (190, 170, 126), _rect(size, 400, 460, 640, 30, 14))
    for _ in range(40):
        x, y = rng.randint(120, 680), rng.randint(120, 440)
        img = _over(img, BRONZE_DARK, _ellipse(size, x, y, 4, 4))
    return img.convert("RGB")


def telescope_background(p, rng):
    """The night sky through the telescope: a round field of stars in the dark barrel, the desk's
    edge below where the lens does not reach."""
    size = tuple(p["size"])
    img = Image.new("RGBA", size, INK + (255,))
    sky = paint.vertical_gradient(size, [(0.0, NIGHT_TOP), (1.0, NIGHT_LOW)])
    paint.star_field(sky, rng, 220, (100, 0, 700, 400), (220, 226, 255))
    img.paste(sky.convert("RGBA"), (0, 0), _ellipse(size, 400, 210, 560, 400))
    img = _over(img, BRASS_DARK, ImageChops.subtract(_ellipse(size, 400, 210, 580, 420),
                                                     _ellipse(size, 400, 210, 560, 400)))
    return _over(img, WOOD_DARK, _rect(size, 400, 540, 800, 120)).convert("RGB")


# Items found in the room.

def found_item(p, rng):
    """An item as found in a scene, compact about its centre with a solid body of at least 20 x 20
    pixels there: the candle, the lens, the flint, the hearthstone. The candle's tallow and the
    flint take the dull tones of the floor they lie on, so they are looked for, not seen at once."""
    w, h = size = tuple(p["size"])
    cx, cy = w / 2, h / 2
    kind = p["object"]
    if kind == "candle":
        body = _union(_rect(size, cx, cy + 4, 20, 32, 3), _ellipse(size, cx, cy + 18, 30, 10))
        img = _shaded(size, body, (150, 140, 120), (84, 76, 64))
        return _over(img, INK, _rect(size, cx, cy - 14, 3, 6))
    if kind == "lens":
        img = _shaded(size, _ellipse(size, cx, cy, 34, 34), BRASS, BRASS_DARK)
        img = _over(img, (170, 215, 240), _ellipse(size, cx, cy, 26, 26))
        return _over(img, IVORY, _ellipse(size, cx - 5, cy - 5, 8, 6))
    if kind == "flint":
        body = paint.polygon_mask(size, [(cx - 16, cy + 10), (cx - 6, cy - 16), (cx + 16, cy - 8),
                                         (cx + 12, cy + 14)])
        img = _shaded(size, body, (104, 100, 104), (50, 48, 50))
        return _over(img, IVORY, paint.scale_mask(_rect(size, cx - 2, cy - 4, 12, 3), 0.35))
    body = _ellipse(size, cx, cy, 38, 30)
    img = _shaded(size, body, (224, 96, 44), (100, 30, 10))
    return _over(img, AMBER_PALE, paint.scale_mask(_ellipse(size, cx - 6, cy - 5, 12, 7), 0.7))


RECIPES = {
    "observatory_background": observatory_background,
    "observatory_candle": observatory_candle,
    "scrolldesk_background": scrolldesk_background,
    "observatory_area_sheet": lambda p, rng: sheet_from(p, rng, OBSERVATORY_DRAWERS),
    "observatory_area_mask": lambda p, rng: mask_from(p, rng, OBSERVATORY_DRAWERS),
    "found_item": found_item,
}
