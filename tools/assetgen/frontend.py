# The front end's pictures: the start card, the studio and publisher stages of the splash, the
# menu's flame, the particle textures, the options and profile screens' controls, the dialog faces
# and the credits. Same palette and rules as images.py: no text is drawn, the engine writes it.
import math

from PIL import Image, ImageChops, ImageDraw

import paint
import sheets
from images import (AMBER, AMBER_PALE, BRONZE, BRONZE_DARK, FEN, FEN_DARK, INK, IVORY, NIGHT_LOW,
                    NIGHT_TOP)

EMBER = (236, 112, 32)
PARCHMENT_TOP = (246, 236, 210)
PARCHMENT_LOW = (228, 210, 172)
WAX = (238, 220, 170)
REED = (70, 132, 92)
WATER = (84, 116, 168)
# How far (pixels) the card's mist drifts over its film.
MIST_DRIFT = 64


def _over(img, colour, mask):
    return Image.alpha_composite(img, paint.coloured(img.size, colour, mask))


def _night(size, rng, stars, horizon):
    """The sky of the splash stages and the credits: night blue down to `horizon` (a fraction of
    the height), then dark fen water, and stars above."""
    w, h = size
    img = paint.vertical_gradient(size, [(0.0, NIGHT_TOP), (horizon, NIGHT_LOW),
                                         (horizon + 0.005, FEN), (1.0, FEN_DARK)])
    paint.star_field(img, rng, stars, (0, 0, w, int(h * horizon) - 20), (220, 226, 255))
    return img


def _mist(img, rng, top, bottom, strength, drift=None):
    """A band of drifting mist between the fractions `top` and `bottom` of the height. With
    `drift` (0 to 1) the mist is cut from a wider field, moved that far along it."""
    size = img.size
    if drift is None:
        mist = paint.level(paint.value_noise(rng, size, 96, octaves=3), 90, 230)
    else:
        w, h = size
        field = paint.value_noise(rng, (w + MIST_DRIFT, h), 96, octaves=3)
        shift = int(round(drift * MIST_DRIFT))
        mist = paint.level(field.crop((shift, 0, shift + w, h)), 90, 230)
    middle = (top + bottom) / 2
    band = paint.vertical_gradient(size, [(0.0, (0,)), (top, (0,)), (middle, (255,)),
                                          (bottom, (0,)), (1.0, (0,))], "L")
    paint.paste_colour(img, (150, 160, 180), paint.scale_mask(ImageChops.multiply(mist, band),
                                                              strength))


def _vignette(img, strength):
    """Darkens the corners: black laid on by the distance from the centre."""
    w, h = img.size
    light = paint.radial_mask(img.size, (w / 2, h / 2), math.hypot(w, h) * 0.62, 1.4)
    paint.paste_colour(img, (0, 0, 0), paint.scale_mask(ImageChops.invert(light), strength))


def card_light(time):
    """How far the card's light has swelled at `time` (0 to 1 over the film): from a glimmer to
    full, eased in and out, full from three quarters of the way on."""
    t = min(max(time / 0.75, 0.0), 1.0)
    return 0.08 + 0.92 * t * t * (3 - 2 * t)


def card(p, rng):
    """The start card: a lantern hanging in the dark over mist, its light spilling round it. With
    "time" (0 to 1) it is the film's frame at that time: the light swelling out of the dark and
    the mist drifting."""
    w, h = size = tuple(p["size"])
    time = p.get("time")
    light = 1.0 if time is None else card_light(time)
    img = paint.vertical_gradient(size, [(0.0, (4, 6, 16)), (0.55, (14, 20, 38)),
                                         (1.0, (10, 20, 16))])
    _mist(img, rng, 0.55, 0.95, 0.5, drift=time)
    cx, cy = w // 2, int(h * 0.47)
    paint.glow(img, (cx, cy), 520, AMBER, 0.35 * light)
    paint.glow(img, (cx, cy), 200, AMBER, 0.55 * light)

    top, body, bottom = cy - 78, cy - 52, cy + 46
    chain = [(cx - 1.5, 0), (cx + 1.5, 0), (cx + 1.5, top - 8), (cx - 1.5, top - 8)]
    paint.paste_colour(img, INK, paint.polygon_mask(size, chain))
    ring = paint.shape_mask(size, lambda d, k: d.ellipse(
        ((cx - 8) * k, (top - 14) * k, (cx + 8) * k, (top + 2) * k), outline=255, width=3 * k))
    paint.paste_colour(img, INK, ring)
    # The glass first, so the cage's bars and frame stand over the light.
    glass = (cx - 30, body, cx + 30, bottom)
    paint.paste_colour(img, AMBER, paint.rounded_rect_mask(size, glass, 6))
    paint.paste_colour(img, AMBER_PALE, paint.soft(paint.ellipse_mask(
        size, (cx - 14, cy - 26, cx + 14, cy + 34)), 6))
    flame = [(cx, cy - 24), (cx + 8, cy), (cx + 6, cy + 14), (cx, cy + 18), (cx - 6, cy + 14),
             (cx - 8, cy)]
    paint.paste_colour(img, (255, 250, 230), paint.polygon_mask(size, flame))
    cage = paint.shape_mask(size, lambda d, k: [
        d.rectangle(((x - 2) * k, body * k, (x + 2) * k, bottom * k), fill=255)
        for x in (cx - 32, cx - 11, cx + 11, cx + 32)])
    paint.paste_colour(img, INK, cage)
    paint.paste_colour(img, INK, paint.polygon_mask(size, [
        (cx - 26, top), (cx + 26, top), (cx + 42, body + 2), (cx - 42, body + 2)]))
    paint.paste_colour(img, INK, paint.polygon_mask(size, [
        (cx - 42, bottom - 2), (cx + 42, bottom - 2), (cx + 30, bottom + 12),
        (cx - 30, bottom + 12)]))
    paint.paste_colour(img, INK, paint.polygon_mask(size, [
        (cx - 10, bottom + 12), (cx + 10, bottom + 12), (cx, bottom + 30)]))
    _vignette(img, 0.8)
    if time is not None:
        # The dark the light swells out of: the whole card dimmed, less as the light grows.
        img = Image.blend(Image.new("RGB", size, (0, 0, 0)), img, 0.25 + 0.75 * light)
    return img


def studio_background(p, rng):
    """Behind the studio logo: night over the fen with a far shore of small lights, dark in the
    middle where the logo assembles."""
    w, h = size = tuple(p["size"])
    img = _night(size, rng, 260, 0.78)
    paint.glow(img, (w // 2, h // 2), 640, (40, 60, 110), 0.5)
    horizon = int(h * 0.78)
    shore = paint.ridge_points(rng, w, horizon - 10, 8, 60, horizon + 1)
    paint.paste_colour(img, (10, 16, 24), paint.polygon_mask(size, shore))
    for _ in range(9):
        x = rng.uniform(40, w - 40)
        y = horizon - rng.uniform(4, 12)
        paint.glow(img, (x, y), 40, AMBER, 0.5)
        paint.paste_colour(img, AMBER_PALE, paint.ellipse_mask(size, (x - 1.5, y - 1.5, x + 1.5,
                                                                      y + 1.5)))
        paint.glow(img, (x, 2 * horizon - y + 10), 30, AMBER, 0.25)
    _mist(img, rng, 0.62, 0.98, 0.4)
    _vignette(img, 0.7)
    return img


def studio_logo(p, rng):
    """The studio's emblem, whose opaque pixels fly in one by one: a ring holding a crescent moon,
    reeds and water, with tapering wings either side. Every shape is at least 5 pixels tall."""
    w, h = size = tuple(p["size"])
    cx, cy = w / 2, h / 2
    outer, inner = h / 2 - 6, h / 2 - 17
    img = Image.new("RGBA", size, (0, 0, 0, 0))

    for side in (-1, 1):
        top, low = [], []
        for i in range(25):
            t = i / 24
            x = cx + side * (outer - 4 + (w / 2 - outer - 10) * t)
            half = 3 + 7 * (1 - t) ** 1.5
            top.append((x, cy - half))
            low.append((x, cy + half))
        img = _over(img, BRONZE, paint.polygon_mask(size, top + low[::-1]))
        tip = cx + side * (w / 2 - 8)
        img = _over(img, AMBER_PALE, paint.polygon_mask(size, [
            (tip - 6, cy), (tip, cy - 6), (tip + 6, cy), (tip, cy + 6)]))

    ring = paint.ellipse_mask(size, (cx - outer, cy - outer, cx + outer, cy + outer))
    face = paint.ellipse_mask(size, (cx - inner, cy - inner, cx + inner, cy + inner))
    gold = paint.vertical_gradient(size, [(0.0, AMBER_PALE + (255,)), (0.5, AMBER + (255,)),
                                          (1.0, BRONZE + (255,))], "RGBA")
    img.paste(gold, (0, 0), ring)
    img.paste(paint.vertical_gradient(size, [(0.0, (14, 22, 44, 255)), (1.0, (24, 40, 52, 255))],
                                      "RGBA"), (0, 0), face)

    # Within the ring: everything is cut to the face.
    moon = paint.ellipse_mask(size, (cx + 2, cy - 48, cx + 42, cy - 8))
    bite = paint.ellipse_mask(size, (cx + 10, cy - 56, cx + 46, cy - 18))
    img = _over(img, IVORY, ImageChops.multiply(ImageChops.subtract(moon, bite), face))
    for y0, x0, x1 in ((cy + 22, cx - 52, cx + 52), (cy + 34, cx - 36, cx + 36)):
        bar = paint.rounded_rect_mask(size, (x0, y0, x1, y0 + 6), 3)
        img = _over(img, WATER, ImageChops.multiply(bar, face))
    blades = []
    for x, height, lean in ((cx - 26, 62, -8), (cx - 14, 76, 4), (cx - 2, 54, 10),
                            (cx + 16, 44, -4)):
        base = cy + 40
        blades.append([(x - 3.5, base), (x + lean - 1, base - height), (x + lean + 1.5,
                                                                        base - height + 3),
                       (x + 3.5, base)])
    reeds = paint.shape_mask(size, lambda d, k: [
        d.polygon([(x * k, y * k) for x, y in blade], fill=255) for blade in blades])
    img = _over(img, REED, ImageChops.multiply(reeds, face))
    return img


def branding(p, rng):
    """The publisher's mark: an eight-pointed star in a bronze ring, with long rules either side
    ending in small diamonds."""
    w, h = size = tuple(p["size"])
    cx, cy = w / 2, h / 2
    img = Image.new("RGBA", size, (0, 0, 0, 0))
    img = _over(img, AMBER, paint.radial_mask(size, (cx, cy), h * 0.55, 2.0, 110))
    for side in (-1, 1):
        rule = [(cx + side * 70, cy - 3), (cx + side * (w / 2 - 30), cy - 1),
                (cx + side * (w / 2 - 30), cy + 1), (cx + side * 70, cy + 3)]
        img = _over(img, BRONZE, paint.polygon_mask(size, rule))
        for at, r in ((w / 2 - 22, 6), (130, 4), (190, 3)):
            x = cx + side * at
            img = _over(img, AMBER_PALE, paint.polygon_mask(size, [
                (x - r, cy), (x, cy - r), (x + r, cy), (x, cy + r)]))
    ring = paint.shape_mask(size, lambda d, k: d.ellipse(
        ((cx - 52) * k, (cy - 52) * k, (cx + 52) * k, (cy + 52) * k), outline=255, width=6 * k))
    img = _over(img, BRONZE, ring)
    star = []
    for i in range(16):
        angle = math.pi * i / 8 - math.pi / 2
        r = (84 if i % 4 == 0 else 56) if i % 2 == 0 else 16
        star.append((cx + r * math.cos(angle), cy + r * math.sin(angle)))
    img = _over(img, IVORY, paint.polygon_mask(size, star))
    # The star's right half a shade darker, as if lit from the left.
    shade = ImageChops.multiply(paint.polygon_mask(size, star), paint.horizontal_gradient(
        size, [(0.0, (0,)), (0.5, (0,)), (0.501, (70,)), (1.0, (70,))], "L"))
    img = _over(img, BRONZE_DARK, shade)
    img = _over(img, AMBER, paint.ellipse_mask(size, (cx - 9, cy - 9, cx + 9, cy + 9)))
    return img


def _flame_frame(i, size, p, rng):
    w, h = size
    heights = p["heights"]
    sways = p["sways"]
    height = heights[i % len(heights)]
    sway = sways[i % len(sways)]
    base_x, base_y = w / 2, h - 11
    jitter = [rng.uniform(-0.8, 0.8) for _ in range(17)]

    def outline(scale, lift):
        left, right = [], []
        for k in range(17):
            s = k / 16
            x = base_x + sway * s * s + jitter[k] * s
            # A round foot below 0.3 of the height, then a taper to the tip.
            if s < 0.3:
                half = scale * 11.5 * math.sqrt(max(0.0, 1 - ((0.3 - s) / 0.3) ** 2))
            else:
                half = scale * 11.5 * ((1 - s) / 0.7) ** 0.9
            y = base_y - lift - (height - lift) * s * scale ** 0.3
            left.append((x - half, y))
            right.append((x + half, y))
        return left + right[::-1]

    img = Image.new("RGBA", size, (0, 0, 0, 0))
    body = paint.polygon_mask(size, outline(1.0, 0))
    img = _over(img, AMBER, paint.scale_mask(paint.soft(body, 5), 0.55))
    img = _over(img, EMBER, body)
    img = _over(img, AMBER, paint.soft(paint.polygon_mask(size, outline(0.72, 2)), 1))
    img = _over(img, (255, 244, 214), paint.soft(paint.polygon_mask(size, outline(0.4, 4)), 1))
    # The bronze dish it burns in, over the flame's foot.
    cx = w / 2
    img = _over(img, BRONZE_DARK, paint.polygon_mask(size, [
        (cx - 4, h - 6), (cx + 4, h - 6), (cx + 8, h - 1), (cx - 8, h - 1)]))
    dish = paint.polygon_mask(size, [(cx - 16, h - 14), (cx + 16, h - 14), (cx + 10, h - 6),
                                     (cx - 10, h - 6)])
    metal = paint.horizontal_gradient(size, [(0.0, BRONZE + (255,)), (0.4, AMBER + (255,)),
                                             (0.6, BRONZE + (255,)), (1.0, BRONZE_DARK + (255,))],
                                      "RGBA")
    img.paste(metal, (0, 0), dish)
    return _over(img, AMBER_PALE, paint.polygon_mask(size, [
        (cx - 16, h - 14), (cx + 16, h - 14), (cx + 15, h - 12.5), (cx - 15, h - 12.5)]))


def flame_sheet(p, rng):
    """The menu's flame: frames side by side, each a flickering flame in a bronze dish at the
    frame's bottom middle, with its glow inside the frame."""
    return sheets.strip(p, lambda i, size: _flame_frame(i, size, p, rng))


def spark(p, rng):
    """A soft round glow, near white so the particle colours tint it."""
    w, h = size = tuple(p["size"])
    img = Image.new("RGBA", size, (255, 246, 226, 0))
    img.putalpha(paint.radial_mask(size, (w / 2, h / 2), w / 2, 1.8))
    return img


def puff(p, rng):
    """A soft, ragged puff of mist."""
    w, h = size = tuple(p["size"])
    img = Image.new("RGBA", size, (232, 236, 242, 0))
    cloud = paint.level(paint.value_noise(rng, size, 8, octaves=2), 40, 220)
    img.putalpha(ImageChops.multiply(paint.radial_mask(size, (w / 2, h / 2), w / 2, 1.3, 230),
                                     cloud))
    return img


# The faces of the small controls, like the push buttons: a bronze rim round a body that darkens
# when pressed and lights when the pointer is over it. "on" faces (toggles, the chosen row) warm
# the body to amber.
BODIES = {
    "normal": ((44, 72, 54), (16, 30, 22)),
    "pressed": ((12, 24, 18), (30, 52, 40)),
    "hover": ((62, 98, 74), (22, 42, 30)),
}
BODIES_ON = {
    "normal": ((128, 88, 38), (66, 42, 18)),
    "pressed": ((58, 36, 14), (104, 70, 30)),
    "hover": ((158, 112, 50), (80, 52, 22)),
}


def _face(size, box, radius, state, rng, on=False):
    img = Image.new("RGBA", size, (0, 0, 0, 0))
    if state == "hover":
        halo = paint.soft(paint.rounded_rect_mask(size, box, radius), 2)
        img = _over(img, AMBER, paint.scale_mask(halo, 0.8))
    rim_top, rim_bottom = (AMBER_PALE, BRONZE) if state == "hover" or on else (AMBER, BRONZE_DARK)
    if state == "pressed":
        rim_top, rim_bottom = BRONZE_DARK, BRONZE
    img.paste(paint.vertical_gradient(size, [(0.0, rim_top + (255,)), (1.0, rim_bottom + (255,))],
                                      "RGBA"), (0, 0), paint.rounded_rect_mask(size, box, radius))
    shift = 1 if state == "pressed" else 0
    inner = (box[0] + 2, box[1] + 2 + shift, box[2] - 2, box[3] - 2 + shift)
    body = paint.rounded_rect_mask(size, inner, max(0, radius - 2))
    top, bottom = (BODIES_ON if on else BODIES)[state]
    img.paste(paint.vertical_gradient(size, [(0.0, top + (255,)), (1.0, bottom + (255,))], "RGBA"),
              (0, 0), body)
    grain = paint.scale_mask(paint.value_noise(rng, size, 6, octaves=2), 0.06)
    return _over(img, (0, 0, 0), ImageChops.multiply(grain, body))


def _with_shadow(img, colour, mask):
    """A mark with a dark edge under it, so it reads on any body."""
    img = _over(img, INK, paint.scale_mask(paint.soft(mask, 1.2), 0.9))
    return _over(img, colour, mask)


def check(p, rng):
    """A toggle's box; "on" adds the tick."""
    w, h = size = tuple(p["size"])
    state, on = p["state"], p.get("on", False)
    img = _face(size, (4, 4, w - 4, h - 4), 6, state, rng)
    if on:
        s = w / 32
        tick = [(8 * s, 16 * s), (13 * s, 21 * s), (24 * s, 8 * s), (27 * s, 11 * s),
                (13 * s, 26 * s), (5 * s, 19 * s)]
        img = _with_shadow(img, AMBER_PALE, paint.polygon_mask(size, tick))
    return img


def row(p, rng):
    """A profile row: a long plate the player's name is written on; "on" is the chosen one."""
    w, h = size = tuple(p["size"])
    return _face(size, (2, 2, w - 2, h - 2), 9, p["state"], rng, p.get("on", False))


def arrow_button(p, rng):
    """A scroll button with a triangle pointing up or down."""
    w, h = size = tuple(p["size"])
    img = _face(size, (3, 3, w - 3, h - 3), 8, p["state"], rng)
    shift = 1 if p["state"] == "pressed" else 0
    cx, cy = w / 2, h / 2 + shift
    a = w * 0.24
    if p["direction"] == "up":
        points = [(cx, cy - a), (cx + a * 1.1, cy + a * 0.7), (cx - a * 1.1, cy + a * 0.7)]
    else:
        points = [(cx, cy + a), (cx - a * 1.1, cy - a * 0.7), (cx + a * 1.1, cy - a * 0.7)]
    colour = AMBER_PALE if p["state"] == "hover" else IVORY
    return _with_shadow(img, colour, paint.polygon_mask(size, points))


def thumb(p, rng):
    """A slider's round knob with an amber jewel."""
    w, h = size = tuple(p["size"])
    state = p["state"]
    img = _face(size, (2, 2, w - 2, h - 2), (w - 4) // 2, state, rng)
    r = w * 0.17
    jewel = paint.ellipse_mask(size, (w / 2 - r, h / 2 - r, w / 2 + r, h / 2 + r))
    if state == "hover":
        img = _over(img, AMBER, paint.soft(jewel, 2))
    img = _over(img, AMBER if state != "pressed" else BRONZE, jewel)
    spot = paint.ellipse_mask(size, (w / 2 - r * 0.6, h / 2 - r * 0.7, w / 2, h / 2 - r * 0.1))
    return _over(img, AMBER_PALE, paint.scale_mask(spot, 0.8))


def rail_end(p, rng):
    """An end of a slider's rail: a bronze block with a rivet, the same either way round, so one
    picture serves the rail's top, bottom, left and right. The engine draws rail pictures
    upright and turns them for a horizontal rail, so the width is across the rail."""
    w, h = size = tuple(p["size"])
    img = Image.new("RGBA", size, (0, 0, 0, 0))
    metal = paint.horizontal_gradient(size, [(0.0, AMBER_PALE + (255,)), (0.35, AMBER + (255,)),
                                             (0.7, BRONZE + (255,)), (1.0, BRONZE_DARK + (255,))],
                                      "RGBA")
    img.paste(metal, (0, 0), paint.rounded_rect_mask(size, (0, 0, w, h), 3))
    r = min(w, h) * 0.2
    img = _over(img, BRONZE_DARK, paint.ellipse_mask(size, (w / 2 - r, h / 2 - r, w / 2 + r,
                                                            h / 2 + r)))
    # The glint sits on the lit side, level with the rivet's middle, to keep both ends alike.
    return _over(img, AMBER_PALE, paint.scale_mask(paint.ellipse_mask(
        size, (w / 2 - 1.5, h / 2 - 0.75, w / 2 - 0.25, h / 2 + 0.75)), 0.7))


def rail_middle(p, rng):
    """The rail between its ends, stretched along its length by the engine: a dark groove between
    bronze edges, the same on every row (only the width, across the rail, is shaded)."""
    size = tuple(p["size"])
    return paint.horizontal_gradient(size, [
        (0.0, BRONZE_DARK + (255,)), (0.12, (20, 14, 8, 255)), (0.3, (24, 34, 28, 255)),
        (0.75, (40, 60, 48, 255)), (0.88, (96, 120, 100, 255)), (1.0, BRONZE + (255,))], "RGBA")


def field(p, rng):
    """An entry field on a dialog's parchment: a pale well sunk in a thin bronze rim, so the box
    shows where typing goes before anything is typed."""
    w, h = size = tuple(p["size"])
    img = Image.new("RGBA", size, (0, 0, 0, 0))
    img = _over(img, BRONZE_DARK, paint.rounded_rect_mask(size, (0, 0, w - 1, h - 1), 6))
    well = paint.rounded_rect_mask(size, (2, 2, w - 3, h - 3), 5)
    img.paste(paint.vertical_gradient(size, [(0.0, PARCHMENT_LOW + (255,)),
                                             (1.0, PARCHMENT_TOP + (255,))], "RGBA"),
              (0, 0), well)
    return img


def dialog(p, rng):
    """A dialog face: parchment in a bronze frame, with a soft shadow inside the picture. The body
    is light, so dark ink reads on it."""
    w, h = size = tuple(p["size"])
    img = Image.new("RGBA", size, (0, 0, 0, 0))
    box = (6, 5, w - 7, h - 9)
    shadow = paint.soft(paint.rounded_rect_mask(size, (box[0] + 2, box[1] + 5, box[2] + 3,
                                                       box[3] + 5), 16), 3)
    img = _over(img, (0, 0, 0), paint.scale_mask(shadow, 0.55))
    img.paste(paint.vertical_gradient(size, [(0.0, AMBER_PALE + (255,)), (0.3, AMBER + (255,)),
                                             (0.6, BRONZE + (255,)),
                                             (1.0, BRONZE_DARK + (255,))], "RGBA"),
              (0, 0), paint.rounded_rect_mask(size, box, 16))
    edge = (box[0] + 6, box[1] + 6, box[2] - 6, box[3] - 6)
    img = _over(img, BRONZE_DARK, paint.rounded_rect_mask(size, edge, 11))
    sheet = (edge[0] + 2, edge[1] + 2, edge[2] - 2, edge[3] - 2)
    inside = paint.rounded_rect_mask(size, sheet, 9)
    img.paste(paint.vertical_gradient(size, [(0.0, PARCHMENT_TOP + (255,)),
                                             (1.0, PARCHMENT_LOW + (255,))], "RGBA"),
              (0, 0), inside)
    mottle = paint.scale_mask(paint.level(paint.value_noise(rng, size, 48, octaves=3), 60, 220),
                              0.16)
    img = _over(img, (150, 108, 58), ImageChops.multiply(mottle, inside))
    # The parchment browns towards its edges.
    inset = paint.soft(paint.rounded_rect_mask(size, (sheet[0] + 14, sheet[1] + 14,
                                                      sheet[2] - 14, sheet[3] - 14), 8), 10)
    burn = ImageChops.multiply(ImageChops.invert(inset), inside)
    img = _over(img, (128, 84, 36), paint.scale_mask(burn, 0.4))
    # A fine ruled border with a diamond at each corner.
    rule = paint.shape_mask(size, lambda d, k: d.rounded_rectangle(
        ((sheet[0] + 9) * k, (sheet[1] + 9) * k, (sheet[2] - 9) * k, (sheet[3] - 9) * k),
        radius=5 * k, outline=255, width=k))
    img = _over(img, BRONZE, paint.scale_mask(rule, 0.6))
    for x, y in ((sheet[0] + 9, sheet[1] + 9), (sheet[2] - 9, sheet[1] + 9),
                 (sheet[0] + 9, sheet[3] - 9), (sheet[2] - 9, sheet[3] - 9)):
        img = _over(img, BRONZE, paint.polygon_mask(size, [(x - 5, y), (x, y - 5), (x + 5, y),
                                                           (x, y + 5)]))
    return img


def wax_streak(p, rng):
    """A run of wax down a dialog: lit on its left, rounded at its foot. The engine fades its top
    and sets its length, so it is alike all the way down."""
    w, h = size = tuple(p["size"])
    img = Image.new("RGBA", size, (0, 0, 0, 0))
    body = paint.horizontal_gradient(size, [(0.0, (255, 248, 226, 255)), (0.35, WAX + (255,)),
                                            (1.0, (176, 144, 96, 255))], "RGBA")
    img.paste(body, (0, 0), paint.streak_mask(size))
    return img


def wax_drop(p, rng):
    """A falling drop of wax: a point above, round below, a glint on the left."""
    size = tuple(p["size"])
    img = Image.new("RGBA", size, (0, 0, 0, 0))
    shape, glint = paint.drop_masks(size)
    body = paint.horizontal_gradient(size, [(0.0, (255, 248, 226, 255)), (0.4, WAX + (255,)),
                                            (1.0, (170, 136, 88, 255))], "RGBA")
    img.paste(body, (0, 0), shape)
    return _over(img, (255, 255, 250), paint.scale_mask(glint, 0.8))


def credits_background(p, rng):
    """The end: the town of the fen with every window and lamp lit, mirrored in the water. The
    middle, where the credits scroll, is kept darker."""
    w, h = size = tuple(p["size"])
    horizon = 0.68
    base = int(h * horizon)
    img = _night(size, rng, 320, horizon)
    paint.glow(img, (w // 2, base), 900, (70, 60, 70), 0.35)

    houses, lights = [], []
    x = -10.0
    while x < w:
        width = rng.uniform(28, 64)
        height = rng.uniform(26, 80) * (0.6 if w * 0.35 < x < w * 0.65 else 1.0)
        roof = rng.uniform(10, 24)
        houses.append([(x, base + 1), (x, base - height), (x + width / 2, base - height - roof),
                       (x + width, base - height), (x + width, base + 1)])
        for _ in range(rng.randrange(0, 3)):
            lights.append((x + rng.uniform(6, width - 10), base - rng.uniform(10, height - 8)))
        x += width + rng.uniform(-6, 14)
    for _ in range(7):
        lights.append((rng.uniform(20, w - 20), base - rng.uniform(30, 44)))
    paint.paste_colour(img, (10, 14, 22), paint.shape_mask(size, lambda d, k: [
        d.polygon([(px * k, py * k) for px, py in house], fill=255) for house in houses]))
    for lx, ly in lights:
        paint.glow(img, (lx, ly), 48, AMBER, 0.7)
        paint.paste_colour(img, AMBER_PALE, paint.shape_mask(size, lambda d, k: d.rectangle(
            ((lx - 2) * k, (ly - 3) * k, (lx + 2) * k, (ly + 3) * k), fill=255)))
        # The light's reflection: a blurred streak below the water line.
        depth = base - ly
        streak = Image.new("L", size, 0)
        ImageDraw.Draw(streak).rectangle((lx - 3, base + depth * 0.6, lx + 3, base + depth * 1.6),
                                         fill=150)
        paint.paste_colour(img, AMBER, paint.soft(streak, 4))
    _mist(img, rng, 0.55, 0.85, 0.35)
    middle = paint.horizontal_gradient(size, [(0.0, (0,)), (0.25, (0,)), (0.4, (120,)),
                                              (0.6, (120,)), (0.75, (0,)), (1.0, (0,))], "L")
    paint.paste_colour(img, (0, 0, 0), middle)
    _vignette(img, 0.6)
    return img


def ornament(p, rng):
    """A divider: a flame-shaped diamond between two waving flourishes with beads."""
    w, h = size = tuple(p["size"])
    cx, cy = w / 2, h / 2
    img = Image.new("RGBA", size, (0, 0, 0, 0))
    marks = Image.new("L", size, 0)
    for side in (-1, 1):
        top, low = [], []
        for i in range(33):
            t = i / 32
            x = cx + side * (16 + (w / 2 - 26) * t)
            y = cy + 7 * math.sin(t * math.pi * 2) * (1 - t * 0.6)
            half = 0.8 + 2.4 * (1 - t)
            top.append((x, y - half))
            low.append((x, y + half))
        marks = ImageChops.lighter(marks, paint.polygon_mask(size, top + low[::-1]))
        for at, dy, r in ((w / 2 - 12, 0, 4), (w * 0.22, -12, 2.5), (w * 0.22, 12, 2.5)):
            x = cx + side * at
            marks = ImageChops.lighter(marks, paint.ellipse_mask(
                size, (x - r, cy + dy - r, x + r, cy + dy + r)))
    diamond = paint.polygon_mask(size, [(cx, cy - 20), (cx + 11, cy), (cx, cy + 14),
                                        (cx - 11, cy)])
    marks = ImageChops.lighter(marks, diamond)
    shadow = Image.new("L", size, 0)
    shadow.paste(marks, (1, 2))
    img = _over(img, BRONZE_DARK, paint.scale_mask(paint.soft(shadow, 1), 0.8))
    gold = paint.vertical_gradient(size, [(0.0, AMBER_PALE + (255,)), (1.0, BRONZE + (255,))],
                                   "RGBA")
    img.paste(gold, (0, 0), marks)
    core = paint.polygon_mask(size, [(cx, cy - 11), (cx + 5, cy), (cx, cy + 7), (cx - 5, cy)])
    return _over(img, (255, 244, 214), core)


def xsell_logo(p, rng):
    """The cross-sell page's site mark: a lantern in a bronze roundel on a dark plate."""
    w, h = size = tuple(p["size"])
    img = Image.new("RGBA", size, (0, 0, 0, 0))
    plate = paint.rounded_rect_mask(size, (2, 2, w - 2, h - 2), 14)
    img.paste(paint.vertical_gradient(size, [(0.0, (34, 46, 40, 255)), (1.0, (12, 20, 16, 255))],
                                      "RGBA"), (0, 0), plate)
    r = min(w, h) // 2 - 8
    cx, cy = w // 2, h // 2
    img = _over(img, BRONZE, paint.ellipse_mask(size, (cx - r, cy - r, cx + r, cy + r)))
    img = _over(img, (16, 24, 20), paint.ellipse_mask(size, (cx - r + 4, cy - r + 4, cx + r - 4,
                                                             cy + r - 4)))
    glow = paint.soft(paint.ellipse_mask(size, (cx - 14, cy - 16, cx + 14, cy + 14)), 6)
    img = _over(img, AMBER, glow)
    body = [(cx - 9, cy - 10), (cx + 9, cy - 10), (cx + 12, cy + 12), (cx - 12, cy + 12)]
    img = _over(img, BRONZE_DARK, paint.polygon_mask(size, body))
    img = _over(img, AMBER_PALE, paint.polygon_mask(size, [(cx, cy - 7), (cx + 5, cy + 4),
                                                          (cx, cy + 9), (cx - 5, cy + 4)]))
    return img


def xsell_brand(p, rng):
    """The publisher's mark beside the site link: a quill over an ink stroke."""
    w, h = size = tuple(p["size"])
    img = Image.new("RGBA", size, (0, 0, 0, 0))
    stroke = []
    for i in range(25):
        t = i / 24
        stroke.append((w * (0.15 + 0.7 * t), h * (0.8 + 0.05 * math.sin(t * math.pi * 2))))
    lower = [(x, y + 3 * (1 - abs(0.5 - i / 24) * 2)) for i, (x, y) in enumerate(stroke)]
    img = _over(img, INK, paint.polygon_mask(size, stroke + lower[::-1]))
    vane = [(w * 0.78, h * 0.08), (w * 0.62, h * 0.3), (w * 0.42, h * 0.56), (w * 0.3, h * 0.72),
            (w * 0.36, h * 0.52), (w * 0.5, h * 0.28)]
    img = _over(img, IVORY, paint.polygon_mask(size, vane))
    img = _over(img, BRONZE, paint.polygon_mask(size, [(w * 0.3, h * 0.72), (w * 0.33, h * 0.66),
                                                      (w * 0.27, h * 0.78)]))
    return img


RECIPES = {
    "card": card,
    "studio_background": studio_background,
    "studio_logo": studio_logo,
    "branding": branding,
    "flame_sheet": flame_sheet,
    "spark": spark,
    "puff": puff,
    "check": check,
    "row": row,
    "arrow_button": arrow_button,
    "thumb": thumb,
    "rail_end": rail_end,
    "rail_middle": rail_middle,
    "dialog": dialog,
    "field": field,
    "wax_streak": wax_streak,
    "wax_drop": wax_drop,
    "credits_background": credits_background,
    "ornament": ornament,
    "xsell_logo": xsell_logo,
    "xsell_brand": xsell_brand,
}
