# The travel map's pictures: the large painted map of the fen (with the three places the dots
# mark), the dot, the routes drawn over the legs, the two legs (the map close up about the place
# travelled to, as the zoom ends), the boat's water and reeds, the lightning flash and the boat's
# frames. Same palette and rules as images.py: no text is drawn.
#
# Places are in the large map's pixels, which are the screen's at scale 1 (the map is drawn with
# its pivot at the place it zooms about). They must match scripts/map.lua.
import math

from PIL import Image, ImageChops, ImageDraw

import paint
import sheets
from frontend import _over
from images import AMBER, AMBER_PALE, BRONZE_DARK, INK

PLACES = ((230, 420), (520, 300), (720, 180))
ZOOM = 1.4
PARCHMENT = (214, 196, 150)
PARCHMENT_DARK = (150, 122, 80)
MAP_WATER = (104, 130, 132)
MAP_LAND = (176, 168, 110)
MAP_REED = (106, 118, 70)
ROUTE = (120, 28, 18)


def _island(rng, centre, radius, jitter):
    """The outline of an island about `centre`: a ring of points at random radii."""
    cx, cy = centre
    points = []
    for i in range(24):
        angle = 2 * math.pi * i / 24
        r = radius * (1 + rng.uniform(-jitter, jitter))
        points.append((cx + math.cos(angle) * r * 1.3, cy + math.sin(angle) * r))
    return points


def map_large(p, rng):
    """The large map: old parchment, fen water, islands about the three places joined by reed
    banks, a border; darker at the edges."""
    w, h = size = tuple(p["size"])
    img = paint.vertical_gradient(size, [(0.0, PARCHMENT), (1.0, PARCHMENT_DARK)]).convert("RGBA")
    stain = paint.level(paint.value_noise(rng, size, 64, octaves=4), 60, 220)
    img = _over(img, PARCHMENT_DARK, paint.scale_mask(stain, 0.35))
    water = paint.rounded_rect_mask(size, (40, 40, w - 40, h - 40), 60)
    img = _over(img, MAP_WATER, paint.scale_mask(water, 0.75))
    ripples = paint.level(paint.value_noise(rng, (w, h // 4), 12, octaves=2), 120, 240)
    ripples = ripples.resize(size, Image.BILINEAR)
    img = _over(img, (150, 172, 170), paint.scale_mask(ImageChops.multiply(ripples, water), 0.4))
    land = Image.new("L", size, 0)
    for place in PLACES:
        land = ImageChops.lighter(land, paint.polygon_mask(size, _island(rng, place, 60, 0.25)))
    for _ in range(14):
        centre = (rng.uniform(80, w - 80), rng.uniform(80, h - 80))
        land = ImageChops.lighter(land, paint.polygon_mask(
            size, _island(rng, centre, rng.uniform(14, 40), 0.35)))
    for a, b in zip(PLACES, PLACES[1:]):
        bank = paint.shape_mask(size, lambda d, k: d.line(
            (a[0] * k, (a[1] + 20) * k, b[0] * k, (b[1] + 20) * k), fill=255, width=26 * k))
        land = ImageChops.lighter(land, bank)
    img = _over(img, BRONZE_DARK, paint.scale_mask(paint.soft(land, 3), 0.5))
    img = _over(img, MAP_LAND, land)
    reeds = paint.level(paint.value_noise(rng, size, 6, octaves=2), 150, 230)
    img = _over(img, MAP_REED, paint.scale_mask(ImageChops.multiply(reeds, land), 0.7))
    # A tower at each place, a lamp on it.
    for x, y in PLACES:
        img = _over(img, INK, paint.polygon_mask(size, [(x - 7, y + 14), (x - 5, y - 14),
                                                        (x, y - 22), (x + 5, y - 14),
                                                        (x + 7, y + 14)]))
        img = _over(img, AMBER, paint.ellipse_mask(size, (x - 3, y - 12, x + 3, y - 6)))
    frame = paint.shape_mask(size, lambda d, k: d.rectangle(
        (14 * k, 14 * k, (w - 14) * k, (h - 14) * k), outline=255, width=4 * k))
    img = _over(img, BRONZE_DARK, frame)
    light = paint.radial_mask(size, (w / 2, h / 2), math.hypot(w, h) * 0.6, 1.2)
    img = _over(img, (60, 40, 20), paint.scale_mask(ImageChops.invert(light), 0.5))
    return img.convert("RGB")


def map_dot(p, rng):
    """A place already visited: an amber disc with a dark rim, on a palette whose colour 0 is
    transparent (the file is a palette PNG with a transparency chunk)."""
    w, h = size = tuple(p["size"])
    img = Image.new("P", size, 0)
    img.putpalette([0, 0, 0] + list(INK) + list(AMBER) + list(AMBER_PALE))
    draw = ImageDraw.Draw(img)
    draw.ellipse((1, 1, w - 2, h - 2), fill=1)
    draw.ellipse((3, 3, w - 4, h - 4), fill=2)
    draw.ellipse((5, 4, w // 2, h // 2), fill=3)
    img.info["transparency"] = 0
    return img


def _leg_point(point, centre):
    """Where a place of the large map lies on the leg zoomed about `centre`."""
    return tuple(c + ZOOM * (v - c) for v, c in zip(point, centre))


def map_route(p, rng):
    """The route of a leg as dashes on a soft curve from the bottom left corner to the top right
    one; the rest transparent. The map places it where the leg's ends lie on the zoomed leg."""
    w, h = size = tuple(p["size"])
    img = Image.new("RGBA", size, (0, 0, 0, 0))
    pad = 8
    points = []
    for i in range(0, 101):
        t = i / 100
        x = pad + (w - 2 * pad) * t
        y = (h - pad) - (h - 2 * pad) * (t * t * (3 - 2 * t)) + math.sin(t * math.pi) * 12
        points.append((x, y))
    dashes = paint.shape_mask(size, lambda d, k: [
        d.line([(x * k, y * k) for x, y in points[i:i + 5]], fill=255, width=5 * k)
        for i in range(0, 100, 8)])
    img = _over(img, AMBER_PALE, paint.scale_mask(paint.soft(dashes, 2), 0.8))
    return _over(img, ROUTE, dashes)


def map_leg(p, rng):
    """A leg's picture: the large map close up, zoomed about the place travelled to as the zoom
    leaves it, so the cross-fade from the zoom shows no jump."""
    large = map_large(dict(p, size=(1024, 768)), type(rng)(p["seed"]))
    cx, cy = p["centre"]
    w, h = tuple(p["size"])
    # Screen point s shows large-map point c + (s - c) / ZOOM.
    box = (cx - cx / ZOOM, cy - cy / ZOOM, cx + (w - cx) / ZOOM, cy + (h - cy) / ZOOM)
    return large.resize((w, h), Image.BICUBIC, box=box)


def fen_back(p, rng):
    """Behind the boat: a band of dark water with ripples, fading out upwards, light enough for
    the route under it to show."""
    w, h = size = tuple(p["size"])
    img = Image.new("RGBA", size, (0, 0, 0, 0))
    body = paint.vertical_gradient(size, [(0.0, (0,)), (0.45, (0,)), (0.6, (110,)),
                                          (1.0, (140,))], "L")
    img = _over(img, (24, 40, 46), body)
    ripples = paint.level(paint.value_noise(rng, (w, h // 3), 10, octaves=2), 150, 240)
    ripples = ripples.resize(size, Image.BILINEAR)
    return _over(img, (120, 150, 160), paint.scale_mask(ImageChops.multiply(ripples, body), 0.5))


def fen_front(p, rng):
    """In front of the boat: reeds rising from the bottom edge, dark against the water."""
    w, h = size = tuple(p["size"])
    img = Image.new("RGBA", size, (0, 0, 0, 0))
    stems = []
    for _ in range(140):
        x = rng.uniform(0, w)
        top = h * rng.uniform(0.2, 0.8)
        lean = rng.uniform(-14, 14)
        stems.append((x, top, lean, rng.uniform(2, 4)))
    reeds = paint.shape_mask(size, lambda d, k: [
        d.line(((x * k, h * k), ((x + lean) * k, top * k)), fill=255, width=int(width * k))
        for x, top, lean, width in stems])
    base = paint.vertical_gradient(size, [(0.0, (0,)), (0.7, (0,)), (1.0, (255,))], "L")
    img = _over(img, (10, 18, 12), ImageChops.lighter(reeds, base))
    return img


def map_flash(p, rng):
    """The lightning's light over the whole screen: white, strongest at the top, ragged; the map
    tints it with its scrim colour."""
    w, h = size = tuple(p["size"])
    img = Image.new("RGBA", size, (255, 255, 255, 0))
    fall = paint.vertical_gradient(size, [(0.0, (255,)), (0.6, (150,)), (1.0, (90,))], "L")
    cloud = paint.level(paint.value_noise(rng, size, 80, octaves=2), 30, 230)
    alpha = ImageChops.multiply(fall, ImageChops.add(cloud, Image.new("L", size, 120)))
    # Few levels: a smooth light needs no more, and the file stays small.
    img.putalpha(alpha.point([v // 16 * 16 for v in range(256)]))
    return img


def _boat_frame(i, size):
    """A flat fen boat with its lantern at the stern, the lantern's light flickering between the
    frames."""
    w, h = size
    img = Image.new("RGBA", size, (0, 0, 0, 0))
    hull = paint.polygon_mask(size, [(4, h * 0.6), (w - 6, h * 0.56), (w - 16, h * 0.8),
                                     (14, h * 0.82)])
    img = _over(img, (58, 38, 22), hull)
    img = _over(img, (96, 66, 36), paint.polygon_mask(size, [(6, h * 0.6), (w - 8, h * 0.57),
                                                             (w - 9, h * 0.62), (7, h * 0.65)]))
    img = _over(img, INK, paint.polygon_mask(size, [(w * 0.55, h * 0.58), (w * 0.56, h * 0.1),
                                                    (w * 0.58, h * 0.1), (w * 0.58, h * 0.58)]))
    img = _over(img, INK, paint.polygon_mask(size, [(16, h * 0.6), (17, h * 0.3), (19, h * 0.3),
                                                    (20, h * 0.6)]))
    glow = paint.radial_mask(size, (18, h * 0.28), 14 + 4 * i, 1.5, 200 if i == 0 else 150)
    img = _over(img, AMBER, glow)
    return _over(img, AMBER_PALE, paint.ellipse_mask(size, (14, h * 0.22, 22, h * 0.34)))


def boat_sheet(p, rng):
    return sheets.strip(p, _boat_frame)


RECIPES = {
    "map_large": map_large,
    "map_dot": map_dot,
    "map_route": map_route,
    "map_leg": map_leg,
    "fen_back": fen_back,
    "fen_front": fen_front,
    "map_flash": map_flash,
    "boat_sheet": boat_sheet,
}
