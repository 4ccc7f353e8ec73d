# The Gatehouse, the first location: its three scenes (the gatehouse hall, the storeroom, the
# lock panel close-up), the lamp-lit overlay and its mask, the areas' sheets, the items found in
# the scenes and the inventory objects they make, Odo's portrait and the speech bubble, the
# locations' cursors with the packed loading cursor, the pulse and spotlight of the hints, and the
# lantern mesh of the keeper's portal cursor with its texture. Same palette and rules as images.py:
# no text is drawn.
#
# Placement is a contract with the location script and its tests: every area sheet is a row of
# cells of one size per scene, each cell registered at its middle, and every shape is drawn about
# the cell's middle, so the script's x, y is the shape's centre on the screen. Each clickable shape
# keeps an opaque core of at least 16 x 16 pixels about that centre.
import math
import struct

from PIL import Image, ImageChops, ImageFilter

import paint
import sheets
from frontend import _over
from images import AMBER, AMBER_PALE, BRONZE, BRONZE_DARK, INK, IVORY, pointer

STONE = (92, 84, 74)
STONE_DARK = (46, 40, 34)
WOOD = (104, 66, 34)
WOOD_DARK = (54, 34, 18)
IRON = (70, 74, 80)
GLASS = (190, 220, 230)

# Cell sizes of the scenes' area sheets.
GATEHOUSE_CELL = (160, 280)
STOREROOM_CELL = (200, 300)
LOCKPANEL_CELL = (320, 80)
# Rows of each sheet, top to bottom: the row a description names.
GATEHOUSE_AREAS = ("door", "doorway", "keeper", "lamp_oil", "lamp_glass", "lamp_wick")
STOREROOM_AREAS = ("cabinet", "back_left")
LOCKPANEL_AREAS = ("back_bottom",)
# Inventory objects, one row of the object sheet each: frame 0 whole, 1 silhouette, 2+ the parts.
OBJECTS = ("gatekey", "oilcan", "lampglass", "wick", "candle", "lens", "flint", "hearthstone")


def _rgba(size):
    return Image.new("RGBA", size, (0, 0, 0, 0))


def _shaded(size, mask, top, bottom):
    """A shape filled with a vertical gradient from `top` to `bottom`, clear elsewhere."""
    img = _rgba(size)
    img.paste(paint.vertical_gradient(size, [(0.0, top + (255,)), (1.0, bottom + (255,))], "RGBA"),
              (0, 0), mask)
    return img


def _rect(size, cx, cy, w, h, radius=0):
    return paint.rounded_rect_mask(size, (cx - w / 2, cy - h / 2, cx + w / 2, cy + h / 2), radius)


def _ellipse(size, cx, cy, w, h):
    return paint.ellipse_mask(size, (cx - w / 2, cy - h / 2, cx + w / 2, cy + h / 2))


def _union(*masks):
    out = masks[0]
    for m in masks[1:]:
        out = ImageChops.lighter(out, m)
    return out


# The drawn things, each about the middle of the picture it is drawn into.

def _door(size, rng):
    """The plank door with iron bands and a keyhole."""
    w, h = size
    cx, cy = w / 2, h / 2
    body = paint.shape_mask(size, lambda d, k: (
        d.rectangle((4 * k, 40 * k, (w - 4) * k, (h - 2) * k), fill=255),
        d.pieslice((4 * k, 2 * k, (w - 4) * k, 78 * k), 180, 360, fill=255)))
    img = _shaded(size, body, WOOD, WOOD_DARK)
    grain = paint.scale_mask(paint.value_noise(rng, size, 6, octaves=2), 0.25)
    img = _over(img, INK, ImageChops.multiply(grain, body))
    for x in range(int(cx - 44), int(cx + 46), 22):
        img = _over(img, WOOD_DARK, ImageChops.multiply(_rect(size, x, cy + 20, 2, h), body))
    for y in (cy - 70, cy + 60):
        img = _over(img, IRON, _rect(size, cx, y, w - 8, 10, 2))
    img = _over(img, INK, _union(_ellipse(size, cx + 40, cy, 10, 10), _rect(size, cx + 40, cy + 7,
                                                                             4, 12)))
    return img


def _doorway(size):
    """The open passage to the storeroom: warm light deep in the dark."""
    w, h = size
    body = paint.shape_mask(size, lambda d, k: (
        d.rectangle((6 * k, 42 * k, (w - 6) * k, (h - 4) * k), fill=255),
        d.pieslice((6 * k, 4 * k, (w - 6) * k, 80 * k), 180, 360, fill=255)))
    img = _shaded(size, body, (30, 22, 16), (12, 9, 6))
    light = ImageChops.multiply(paint.radial_mask(size, (w / 2, h * 0.6), w * 0.6, 1.5), body)
    return _over(img, AMBER, paint.scale_mask(light, 0.6))


def _keeper(size):
    """Odo at his post: a hooded figure with a staff."""
    w, h = size
    cx, cy = w / 2, h / 2
    robe = paint.polygon_mask(size, [(cx - 8, cy - 60), (cx + 8, cy - 60), (cx + 30, cy + 90),
                                     (cx - 30, cy + 90)])
    hood = _ellipse(size, cx, cy - 70, 36, 40)
    img = _shaded(size, _union(robe, hood), (86, 70, 96), (34, 26, 40))
    img = _over(img, (214, 180, 150), _ellipse(size, cx + 2, cy - 66, 18, 20))
    img = _over(img, WOOD_DARK, _rect(size, cx + 26, cy + 10, 5, 180, 2))
    return img


def _lamp_part(size, part):
    """One part of the hall's lamp, drawn where it sits on the lamp's stand."""
    w, h = size
    cx, cy = w / 2, h / 2
    if part == "oil":
        body = _union(_ellipse(size, cx, cy, 60, 42), _rect(size, cx, cy + 18, 30, 12, 3))
        img = _shaded(size, body, (170, 130, 60), (90, 60, 24))
        return _over(img, AMBER_PALE, paint.scale_mask(_ellipse(size, cx - 12, cy - 8, 14, 8), 0.7))
    if part == "glass":
        body = paint.polygon_mask(size, [(cx - 12, cy - 26), (cx + 12, cy - 26), (cx + 20, cy),
                                         (cx + 16, cy + 26), (cx - 16, cy + 26), (cx - 20, cy)])
        img = _shaded(size, body, GLASS, (120, 160, 180))
        return _over(img, IVORY, paint.scale_mask(_rect(size, cx - 8, cy, 4, 36, 2), 0.8))
    body = _union(_rect(size, cx, cy + 2, 28, 22, 3), _rect(size, cx, cy - 11, 10, 8, 2))
    img = _shaded(size, body, IRON, INK)
    return _over(img, IVORY, _rect(size, cx, cy - 11, 5, 8, 2))


def _cabinet(size):
    """The wall cabinet, shut, with the lock's small panel on its doors."""
    w, h = size
    cx, cy = w / 2, h / 2
    body = _rect(size, cx, cy, 180, 260, 6)
    img = _shaded(size, body, WOOD, WOOD_DARK)
    img = _over(img, INK, _rect(size, cx, cy, 2, 240))
    img = _over(img, IRON, _rect(size, cx, cy - 10, 40, 40, 4))
    return _over(img, AMBER, paint.scale_mask(_rect(size, cx, cy - 10, 24, 24, 3), 0.6))


def _cabinet_open(size):
    """The cabinet with its doors swung wide: two shelves inside."""
    w, h = size
    cx, cy = w / 2, h / 2
    img = _shaded(size, _rect(size, cx, cy, 120, 250, 4), (40, 26, 14), (20, 12, 6))
    for y in (cy - 40, cy + 40):
        img = _over(img, WOOD, _rect(size, cx, y, 116, 8))
    for x in (cx - 75, cx + 75):
        img = _over(img, WOOD_DARK, _rect(size, x, cy, 28, 250, 4))
    return img


def _back_strip(size, vertical):
    """A "back" strip at a scene's edge: a dark band with a pale arrow."""
    w, h = size
    cx, cy = w / 2, h / 2
    if vertical:
        band = _rect(size, cx, cy, 56, 240, 10)
        arrow = paint.polygon_mask(size, [(cx - 16, cy), (cx + 10, cy - 24), (cx + 10, cy + 24)])
    else:
        band = _rect(size, cx, cy, 300, 60, 12)
        arrow = paint.polygon_mask(size, [(cx, cy + 20), (cx - 26, cy - 12), (cx + 26, cy - 12)])
    img = _over(_rgba(size), INK, paint.scale_mask(band, 0.75))
    # The band's core is opaque, so a click on it always hits.
    img = _over(img, (30, 24, 18), _rect(size, cx, cy, 24, 24, 4))
    return _over(img, AMBER_PALE, arrow)


def _area_frame(name, size, rng):
    drawn = {
        "door": lambda: _door((140, 260), rng),
        "doorway": lambda: _doorway((140, 260)),
        "keeper": lambda: _keeper((80, 200)),
        "lamp_oil": lambda: _lamp_part((64, 48), "oil"),
        "lamp_glass": lambda: _lamp_part((44, 56), "glass"),
        "lamp_wick": lambda: _lamp_part((32, 32), "wick"),
        "cabinet": lambda: _cabinet((184, 264)),
        "back_left": lambda: _back_strip((60, 244), True),
        "back_bottom": lambda: _back_strip((304, 64), False),
    }[name]()
    cell = _rgba(size)
    cell.paste(drawn, ((size[0] - drawn.width) // 2, (size[1] - drawn.height) // 2))
    return cell


def _lit(frame):
    """The hilight frame: the thing itself, warmed and brightened, its shape unchanged."""
    alpha = frame.getchannel("A")
    warm = Image.blend(frame.convert("RGB"), Image.new("RGB", frame.size, AMBER_PALE), 0.45)
    warm.putalpha(alpha)
    return warm


def area_place(p, index):
    """Where area `index` of a scene's sheet starts: areas side by side, `perrow` to a row of the
    sheet, each three cells wide (hilight, active, completed), so no side passes 1024 pixels."""
    w, h = p["frame"]
    per_row = p.get("perrow", 1)
    return (index % per_row) * 3 * w, (index // per_row) * h


def area_sheet(p, rng):
    """A scene's area sheet: three frames per area (`areas`): hilight, active, completed (the same
    shape in every frame, so every frame hits the same)."""
    w, h = p["frame"]
    names = p["areas"]
    per_row = p.get("perrow", 1)
    rows = (len(names) + per_row - 1) // per_row
    sheet = Image.new("RGBA", (w * 3 * min(per_row, len(names)), h * rows), (0, 0, 0, 0))
    for index, name in enumerate(names):
        frame = _area_frame(name, (w, h), rng)
        x0, y0 = area_place(p, index)
        for i, picture in enumerate((_lit(frame), frame, frame)):
            sheet.paste(picture, (x0 + i * w, y0))
    return sheet


def area_mask(p, rng):
    """An area's hit mask, read as a plain picture beside its description: the area's shape in a
    cell of its sheet's size, hit about the same registration."""
    return _area_frame(p["area"], tuple(p["frame"]), rng)


# Scenes.

def _stone_wall(size, rng, top, bottom):
    w, h = size
    img = paint.vertical_gradient(size, [(0.0, top), (1.0, bottom)]).convert("RGBA")
    grain = paint.scale_mask(paint.value_noise(rng, size, 24, octaves=2), 0.18)
    img = _over(img, INK, grain)
    rows = paint.shape_mask(size, lambda d, k: [
        d.line((0, y * k, w * k, y * k), fill=255, width=2 * k) for y in range(40, h, 48)])
    return _over(img, STONE_DARK, paint.scale_mask(rows, 0.5))


def gatehouse_background(p, rng):
    """The hall: stone walls, a flagged floor, the arch of the door, the bench on the left and the
    lamp on its stand, unlit."""
    w, h = size = tuple(p["size"])
    img = _stone_wall(size, rng, (70, 64, 60), (40, 36, 34))
    img = _over(img, (58, 48, 38), _rect(size, 400, 520, 800, 200))
    img = _over(img, STONE_DARK, paint.shape_mask(size, lambda d, k: d.pieslice(
        (470 * k, 120 * k, 630 * k, 240 * k), 180, 360, fill=255)))
    img = _over(img, STONE_DARK, _rect(size, 550, 300, 160, 190))
    img = _over(img, (12, 9, 6), _rect(size, 550, 275, 140, 255, 10))
    img = _over(img, WOOD_DARK, _rect(size, 160, 340, 150, 14, 3))
    for x in (100, 220):
        img = _over(img, WOOD_DARK, _rect(size, x, 370, 12, 50))
    img = _over(img, IRON, _rect(size, 330, 400, 10, 110))
    img = _over(img, IRON, _ellipse(size, 330, 455, 60, 14))
    # Odo at his post (his area only lights him up).
    keeper = _keeper((80, 200))
    img.alpha_composite(keeper, (120 - 40, 310 - 100))
    # Where the lamp's parts go: faint ghosts of them on the stand.
    for part, cy, ghost in (("oil", 330, (64, 48)), ("glass", 282, (44, 56)),
                            ("wick", 246, (32, 32))):
        shape = _lamp_part(ghost, part).getchannel("A")
        layer = Image.new("L", size, 0)
        layer.paste(shape, (330 - ghost[0] // 2, cy - ghost[1] // 2))
        img = _over(img, STONE_DARK, paint.scale_mask(layer, 0.5))
    return img.convert("RGB")


def gatehouse_door(p, rng):
    return _door(tuple(p["size"]), rng)


def gatehouse_lit(p, rng):
    """The lamp-lit overlay: the hall in warm light, whole lamp burning. Its mask decides where it
    shows."""
    size = tuple(p["size"])
    img = gatehouse_background(p, rng).convert("RGBA")
    img = Image.blend(img, Image.new("RGBA", size, AMBER + (255,)), 0.35)
    for part, cy, frame in (("oil", 330, (64, 48)), ("glass", 282, (44, 56)),
                            ("wick", 246, (32, 32))):
        drawn = _lamp_part(frame, part)
        img.alpha_composite(drawn, (330 - frame[0] // 2, cy - frame[1] // 2))
    flame = _ellipse(size, 330, 232, 12, 24)
    img = _over(img, AMBER_PALE, flame)
    return img.convert("RGB")


def gatehouse_lit_mask(p, rng):
    """Grey: full about the lamp, fading across the hall."""
    size = tuple(p["size"])
    return ImageChops.lighter(paint.radial_mask(size, (330, 260), 420, 0.8),
                              paint.scale_mask(Image.new("L", size, 255), 0.2))


def storeroom_background(p, rng):
    """The storeroom: wooden walls, a low window, the wall the cabinet hangs on, the way back on
    the left."""
    size = tuple(p["size"])
    img = _stone_wall(size, rng, (78, 58, 40), (36, 26, 18))
    img = _over(img, (52, 40, 28), _rect(size, 400, 520, 800, 200))
    img = _over(img, (60, 80, 110), _rect(size, 470, 150, 110, 80, 4))
    img = _over(img, WOOD_DARK, _rect(size, 210, 420, 180, 16, 3))
    img = _over(img, (28, 20, 14), _rect(size, 640, 250, 190, 270, 6))
    return img.convert("RGB")


def lockpanel_background(p, rng):
    """The lock close-up: a bronze plate with nine sockets in three rows (x 320/400/480, y
    200/280/360)."""
    size = tuple(p["size"])
    img = paint.vertical_gradient(size, [(0.0, (40, 28, 18)), (1.0, (16, 10, 6))]).convert("RGBA")
    img = _over(img, BRONZE, _rect(size, 400, 280, 300, 300, 18))
    img = _over(img, BRONZE_DARK, _rect(size, 400, 280, 280, 280, 14))
    for y in (200, 280, 360):
        for x in (320, 400, 480):
            img = _over(img, INK, _ellipse(size, x, y, 60, 60))
    return img.convert("RGB")


# Items and inventory objects.

def _object(kind, size, part=None):
    """An inventory object's picture at `size`; `part` 1 or 2 draws one half of the key."""
    w, h = size
    cx, cy = w / 2, h / 2
    s = min(w, h) / 48.0
    if kind == "gatekey":
        bow = _union(_ellipse(size, cx - 14 * s, cy, 22 * s, 22 * s),
                     _rect(size, cx - 4 * s, cy, 10 * s, 8 * s))
        bit = _union(_rect(size, cx + 8 * s, cy, 22 * s, 8 * s),
                     _rect(size, cx + 16 * s, cy + 7 * s, 6 * s, 10 * s),
                     _rect(size, cx + 8 * s, cy + 6 * s, 4 * s, 8 * s))
        mask = {None: _union(bow, bit), 1: bow, 2: bit}[part]
        img = _shaded(size, mask, (210, 180, 110), (120, 90, 40))
        if part in (None, 1):
            img = _over(img, INK, _ellipse(size, cx - 14 * s, cy, 8 * s, 8 * s))
        return img
    if kind == "oilcan":
        mask = _union(_rect(size, cx - 2 * s, cy + 4 * s, 22 * s, 24 * s, 4 * s),
                      paint.polygon_mask(size, [(cx + 8 * s, cy - 2 * s),
                                                (cx + 22 * s, cy - 14 * s),
                                                (cx + 24 * s, cy - 12 * s),
                                                (cx + 10 * s, cy + 4 * s)]),
                      _rect(size, cx - 2 * s, cy - 10 * s, 8 * s, 6 * s))
        return _shaded(size, mask, (200, 70, 50), (90, 30, 20))
    if kind == "lampglass":
        mask = paint.polygon_mask(size, [(cx - 6 * s, cy - 18 * s), (cx + 6 * s, cy - 18 * s),
                                         (cx + 12 * s, cy), (cx + 9 * s, cy + 18 * s),
                                         (cx - 9 * s, cy + 18 * s), (cx - 12 * s, cy)])
        return _shaded(size, mask, GLASS, (110, 150, 170))
    if kind == "wick":
        mask = _union(_rect(size, cx, cy, 10 * s, 32 * s, 3 * s), _rect(size, cx, cy + 12 * s,
                                                                        22 * s, 8 * s, 2 * s))
        return _shaded(size, mask, IVORY, (150, 140, 120))
    if kind == "candle":
        mask = _union(_rect(size, cx, cy + 4 * s, 14 * s, 28 * s, 2 * s),
                      _ellipse(size, cx, cy - 14 * s, 6 * s, 10 * s))
        return _shaded(size, mask, IVORY, (200, 180, 140))
    if kind == "lens":
        mask = _ellipse(size, cx, cy, 30 * s, 30 * s)
        img = _shaded(size, mask, (200, 230, 255), (90, 120, 160))
        return _over(img, BRONZE, ImageChops.subtract(mask, _ellipse(size, cx, cy, 24 * s, 24 * s)))
    if kind == "flint":
        mask = paint.polygon_mask(size, [(cx - 14 * s, cy + 8 * s), (cx - 4 * s, cy - 14 * s),
                                         (cx + 14 * s, cy - 6 * s), (cx + 10 * s, cy + 12 * s)])
        return _shaded(size, mask, (150, 150, 160), (60, 60, 70))
    mask = _ellipse(size, cx, cy, 34 * s, 26 * s)
    img = _shaded(size, mask, (220, 90, 40), (100, 30, 10))
    return _over(img, AMBER_PALE, paint.scale_mask(_ellipse(size, cx - 5 * s, cy - 4 * s, 10 * s,
                                                            6 * s), 0.7))


def _silhouette(img):
    out = Image.new("RGBA", img.size, INK + (0,))
    out.putalpha(img.getchannel("A"))
    return out


def object_sheet(p, rng):
    """The inventory objects: a row each of 64 x 48 cells; frame 0 whole, 1 its silhouette, then
    its parts (the key's two halves, or the whole again for a one-part object)."""
    w, h = p["frame"]
    sheet = Image.new("RGBA", (w * 4, h * len(OBJECTS)), (0, 0, 0, 0))
    for row, kind in enumerate(OBJECTS):
        whole = _object(kind, (w, h))
        parts = [whole]
        if kind == "gatekey":
            parts = [_object(kind, (w, h), 1), _object(kind, (w, h), 2)]
        for i, picture in enumerate([whole, _silhouette(whole)] + parts):
            sheet.paste(picture, (i * w, row * h))
    return sheet


def object_mask(p, rng):
    """An inventory object's hit mask, read as a plain picture beside its description: the whole
    object in one cell."""
    return _object(p["object"], tuple(p["frame"]))


def item(p, rng):
    """An item as found in a scene, drawn compact about its centre: a solid body of at least 20 x 20
    pixels there, so a click about the centre always lands on it. Items are tinted towards what
    lies about them (the oil can rust-brown on the storeroom's wood), so a player looks for them;
    their shapes keep them recognisable."""
    w, h = size = tuple(p["size"])
    cx, cy = w / 2, h / 2
    kind, part = p["object"], p.get("part")
    gold = ((214, 184, 112), (126, 94, 42))
    if kind == "gatekey" and part == 1:
        # The bow half of a key: an open ring, the shoulder below it and the broken stub of the
        # shank (the ring's hole lies left of the solid middle).
        ring = ImageChops.subtract(_ellipse(size, cx - 11, cy, 20, 20),
                                   _ellipse(size, cx - 12, cy, 7, 7))
        shank = _rect(size, cx + 10, cy, 20, 7, 2)
        return _shaded(size, _union(ring, shank, _rect(size, cx + 1, cy, 17, 17, 4)), *gold)
    if kind == "gatekey":
        body = _union(_rect(size, cx, cy, 34, 20, 3), _rect(size, cx + 10, cy + 13, 8, 10, 2),
                      _rect(size, cx - 2, cy + 12, 6, 8, 2))
        return _shaded(size, body, *gold)
    if kind == "oilcan":
        body = _union(_rect(size, cx - 3, cy + 2, 28, 30, 5),
                      paint.polygon_mask(size, [(cx + 8, cy - 4), (cx + 20, cy - 18),
                                                (cx + 22, cy - 15), (cx + 11, cy + 4)]),
                      _rect(size, cx - 3, cy - 15, 10, 6, 2))
        return _shaded(size, body, (132, 78, 52), (62, 38, 24))
    if kind == "lampglass":
        body = paint.polygon_mask(size, [(cx - 9, cy - 20), (cx + 9, cy - 20), (cx + 15, cy),
                                         (cx + 12, cy + 20), (cx - 12, cy + 20), (cx - 15, cy)])
        img = _shaded(size, body, GLASS, (110, 150, 170))
        return _over(img, IVORY, paint.scale_mask(_rect(size, cx - 6, cy, 3, 26, 1.5), 0.8))
    # The wick, rolled up, its end hanging down.
    body = _union(_ellipse(size, cx, cy - 2, 26, 26), _rect(size, cx + 6, cy + 12, 6, 14, 2))
    img = _shaded(size, body, IVORY, (150, 140, 120))
    return _over(img, (150, 140, 120), paint.scale_mask(_ellipse(size, cx, cy - 2, 8, 8), 0.6))


# The conversation.

def odo_portrait(p, rng):
    """Odo, half length: hood, face, beard, robe."""
    w, h = size = tuple(p["size"])
    cx = w / 2
    robe = paint.polygon_mask(size, [(cx - 40, 150), (cx + 40, 150), (cx + 120, h), (cx - 120, h)])
    hood = _ellipse(size, cx, 110, 150, 170)
    img = _shaded(size, _union(robe, hood), (96, 78, 110), (30, 22, 36))
    img = _over(img, (220, 186, 156), _ellipse(size, cx, 120, 90, 110))
    img = _over(img, (230, 226, 216), paint.polygon_mask(size, [(cx - 40, 140), (cx + 40, 140),
                                                                (cx, 250)]))
    for x in (cx - 20, cx + 20):
        img = _over(img, INK, _ellipse(size, x, 110, 10, 8))
    return img


def bubble(p, rng):
    """The speech bubble: parchment with a bronze rim and a tail to the left."""
    w, h = size = tuple(p["size"])
    body = _union(_rect(size, w / 2 + 6, h / 2, w - 14, h - 4, 18),
                  paint.polygon_mask(size, [(0, h * 0.7), (24, h * 0.45), (30, h * 0.8)]))
    img = _over(_rgba(size), BRONZE, body)
    inner = _rect(size, w / 2 + 6, h / 2, w - 20, h - 10, 15)
    return _over(img, (244, 232, 204), inner)


def scrim(p, rng):
    return Image.new("RGBA", tuple(p["size"]), (0, 0, 0, 255))


# Cursors, the hints' pulse and spotlight.

def cursor(p, rng):
    """A location cursor, 32 x 32: ivory marks with a dark edge."""
    size = tuple(p["size"])
    kind = p["kind"]
    if kind == "arrow":
        return pointer(p, rng)
    if kind in ("hand", "handopen"):
        palm = _rect(size, 16, 20, 14, 14, 4)
        fingers = [_rect(size, 11 + 3.5 * i, 10 if kind == "handopen" else 14, 3, 14, 1.5)
                   for i in range(4)]
        if kind == "hand":
            fingers = [_rect(size, 11, 9, 4, 18, 2), _rect(size, 15, 16, 3, 8, 1.5),
                       _rect(size, 18.5, 16, 3, 8, 1.5), _rect(size, 22, 17, 3, 7, 1.5)]
        mask = _union(palm, *fingers, _rect(size, 9, 20, 8, 4, 2))
    elif kind in ("grab", "handclosed"):
        mask = _union(_rect(size, 16, 17, 18, 16, 6), _rect(size, 16, 10, 16, 5, 2))
        if kind == "grab":
            # The cursor over a held object: the fist's outline only, so the object in the hand
            # shows through it.
            mask = ImageChops.subtract(mask, mask.filter(ImageFilter.MinFilter(5)))
    elif kind == "look":
        ring = ImageChops.subtract(_ellipse(size, 13, 13, 18, 18), _ellipse(size, 13, 13, 11, 11))
        mask = _union(ring, paint.polygon_mask(size, [(19, 21), (22, 18), (29, 26), (26, 29)]))
    elif kind == "hint":
        points = []
        for i in range(10):
            r = 13 if i % 2 == 0 else 5
            a = -math.pi / 2 + i * math.pi / 5
            points.append((16 + r * math.cos(a), 16 + r * math.sin(a)))
        mask = paint.polygon_mask(size, points)
    else:  # crazy: a dizzy swirl
        mask = paint.shape_mask(size, lambda d, k: [
            d.arc(((16 - r) * k, (16 - r) * k, (16 + r) * k, (16 + r) * k), a, a + 250, fill=255,
                  width=3 * k) for r, a in ((13, 0), (8, 120), (4, 240))])
    colour = (255, 120, 90) if kind == "crazy" else IVORY
    img = _over(_rgba(size), INK, paint.soft(mask, 1.0))
    return _over(img, colour, mask)


def wait_sheet(p, rng):
    """The loading cursor's four frames: a ring of dots whose bright one goes round."""
    def frame(i, size):
        w, h = size
        img = _rgba(size)
        for d in range(8):
            a = d * math.pi / 4
            x, y = w / 2 + 10 * math.cos(a), h / 2 + 10 * math.sin(a)
            lit = d % 4 == i
            img = _over(img, AMBER_PALE if lit else BRONZE, _ellipse(size, x, y, 6, 6))
        return img
    return sheets.strip(p, frame)


def pulse(p, rng):
    """The hint pulse's texture: a soft white ring, grey with alpha."""
    w, h = size = tuple(p["size"])
    outer = paint.radial_mask(size, (w / 2, h / 2), w / 2, 0.6)
    inner = paint.radial_mask(size, (w / 2, h / 2), w / 3, 0.8)
    img = Image.new("LA", size, (255, 0))
    img.putalpha(ImageChops.subtract(outer, inner))
    return img


def lirae_spot(p, rng):
    """Lirae's spotlight: clear in the middle, dark towards the edge (the hint's colour tints
    it)."""
    w, h = size = tuple(p["size"])
    img = Image.new("RGBA", size, (255, 255, 255, 0))
    img.putalpha(paint.radial_mask(size, (w / 2, h / 2), w / 2, 1.3))
    return img


# The lantern of the keeper's portal cursor.

def lantern_texture(p, rng):
    """Bronze frame bars over amber glass, wrapped around the lantern's sides."""
    w, h = size = tuple(p["size"])
    img = paint.vertical_gradient(size, [(0.0, AMBER_PALE), (1.0, AMBER)]).convert("RGBA")
    for x in range(0, w, w // 8):
        img = _over(img, BRONZE_DARK, _rect(size, x + 1, h / 2, 3, h))
    for y in (2, h - 3):
        img = _over(img, BRONZE, _rect(size, w / 2, y, w, 5))
    return img


def lantern_mesh(p, rng):
    """An octagonal lantern: rings of eight vertices (base, body, shoulder, roof), a centre below
    and the roof's peak above, in thousandths fixed point; triangles as 16-bit indices."""
    rings = ((-0.5, 0.30), (-0.4, 0.36), (0.35, 0.36), (0.5, 0.22))
    vertices = []
    for r, (y, radius) in enumerate(rings):
        for i in range(8):
            a = i * math.pi / 4
            nx, nz = math.cos(a), math.sin(a)
            vertices.append((radius * nx, y, radius * nz, nx, 0.0, nz, i / 8.0, r / 3.0))
    bottom = len(vertices)
    vertices.append((0.0, -0.5, 0.0, 0.0, -1.0, 0.0, 0.5, 1.0))
    top = len(vertices)
    vertices.append((0.0, 0.8, 0.0, 0.0, 1.0, 0.0, 0.5, 0.0))
    triangles = []
    for r in range(len(rings) - 1):
        for i in range(8):
            a, b = r * 8 + i, r * 8 + (i + 1) % 8
            triangles += [(a, b, a + 8), (b, b + 8, a + 8)]
    for i in range(8):
        triangles.append((bottom, (i + 1) % 8, i))
        triangles.append((24 + i, 24 + (i + 1) % 8, top))

    def fixed(value):
        return struct.pack("<h", int(round(value * 1000)))

    out = b"TRIS" + struct.pack("<HH", len(vertices), len(triangles))
    for v in vertices:
        out += b"".join(fixed(c) for c in v)
    for t in triangles:
        out += struct.pack("<HHH", *t)
    return out


RECIPES = {
    "gatehouse_background": gatehouse_background,
    "gatehouse_door": gatehouse_door,
    "gatehouse_lit": gatehouse_lit,
    "gatehouse_lit_mask": gatehouse_lit_mask,
    "storeroom_background": storeroom_background,
    "storeroom_cabinet_open": lambda p, rng: _cabinet_open(tuple(p["size"])),
    "lockpanel_background": lockpanel_background,
    "area_sheet": area_sheet,
    "area_mask": area_mask,
    "object_mask": object_mask,
    "object_sheet": object_sheet,
    "item": item,
    "odo_portrait": odo_portrait,
    "bubble": bubble,
    "scrim": scrim,
    "cursor": cursor,
    "wait_sheet": wait_sheet,
    "pulse": pulse,
    "lirae_spot": lirae_spot,
    "lantern_texture": lantern_texture,
}

def centred_xml(p, rng):
    """The animation description of `frames` frames side by side from (`x`, `y`) of a sheet,
    each registered at its middle and the whole description the same: the engine places a mask
    read beside the description (an area's, an item's, an inventory object's) by that
    registration. The element and attribute layout is the one sheets.py writes."""
    w, h = p["frame"]
    x0, y0 = p.get("x", 0), p.get("y", 0)
    name = p["name"]
    lines = ['<sequence name="%s" source="%s">' % (name, p["image"]),
             ' <img regx="%d" regy="%d" w="%d" h="%d" name="%s" mask=""/>'
             % (w // 2, h // 2, p["sheet"][0], p["sheet"][1], p["image"]),
             " <framelist>"]
    for i in range(p["frames"]):
        lines.append('  <frame x="%d" y="%d" w="%d" h="%d" name="%s%d" alpha="1" regx="%d" '
                     'regy="%d"/>' % (x0 + i * w, y0, w, h, name, i, w // 2, h // 2))
    lines += [" </framelist>", "</sequence>"]
    return "".join(line + "\n" for line in lines)


# Recipes that make text.
TEXT_DESCRIPTIONS = {
    "centred_xml": centred_xml,
}

# Recipes that make bytes.
DESCRIPTIONS = {
    "lantern_mesh": lantern_mesh,
}
EXTENSIONS = {"lantern_mesh": ".mesh"}
