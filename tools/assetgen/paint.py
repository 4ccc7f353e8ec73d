# Drawing primitives over Pillow: gradients, value noise of our own, polygons and ellipses drawn
# supersampled, soft glows, star fields. Every random draw comes from the caller's generator.
import math

from PIL import Image, ImageDraw, ImageFilter

SUPER = 4  # supersampling factor of the anti-aliased shapes


def lerp(a, b, t):
    return a + (b - a) * t


def mix_colour(a, b, t):
    return tuple(int(round(lerp(x, y, t))) for x, y in zip(a, b))


def _ramp_colour(stops, t):
    """The colour at `t` (0..1) along (position, colour) stops given in increasing position."""
    if t <= stops[0][0]:
        return stops[0][1]
    for (p0, c0), (p1, c1) in zip(stops, stops[1:]):
        if t <= p1:
            return mix_colour(c0, c1, (t - p0) / (p1 - p0) if p1 > p0 else 1.0)
    return stops[-1][1]


def _flatten(colours, mode):
    # Single-band images take plain numbers.
    return [c[0] for c in colours] if len(mode) == 1 else colours


def vertical_gradient(size, stops, mode="RGB"):
    """Rows coloured along the stops, top (0) to bottom (1)."""
    w, h = size
    column = Image.new(mode, (1, h))
    column.putdata(_flatten([_ramp_colour(stops, y / max(1, h - 1)) for y in range(h)], mode))
    return column.resize((w, h), Image.NEAREST)


def horizontal_gradient(size, stops, mode="RGB"):
    """Columns coloured along the stops, left (0) to right (1)."""
    w, h = size
    return vertical_gradient((h, w), stops, mode).transpose(Image.TRANSPOSE)


def radial_mask(size, centre, radius, power=1.0, peak=255):
    """An "L" image: `peak` at `centre`, falling as (1 - d / radius) ** power to 0 at `radius`.
    Large masks are worked out at most 256 pixels across and enlarged, which a smooth falloff
    allows."""
    w, h = size
    step = max(1.0, max(w, h) / 256.0)
    sw, sh = max(1, int(round(w / step))), max(1, int(round(h / step)))
    cx, cy = centre
    values = []
    for y in range(sh):
        for x in range(sw):
            d = math.hypot((x + 0.5) * w / sw - cx, (y + 0.5) * h / sh - cy) / radius
            values.append(int(round(peak * max(0.0, 1.0 - d) ** power)))
    mask = Image.new("L", (sw, sh))
    mask.putdata(values)
    return mask if (sw, sh) == (w, h) else mask.resize((w, h), Image.BILINEAR)


def value_noise(rng, size, cell, octaves=1, persistence=0.5):
    """Value noise: a lattice of random values, one per `cell` pixels, bilinearly smoothed; each
    octave halves the cell and weighs `persistence` times the one before. An "L" image."""
    w, h = size
    result = None
    total = 0.0
    weight = 1.0
    for _ in range(octaves):
        gw, gh = w // cell + 2, h // cell + 2
        lattice = Image.new("L", (gw, gh))
        lattice.putdata([rng.randrange(256) for _ in range(gw * gh)])
        layer = lattice.resize((gw * cell, gh * cell), Image.BILINEAR).crop((0, 0, w, h))
        if result is None:
            result = layer
        else:
            result = Image.blend(result, layer, weight / (total + weight))
        total += weight
        weight *= persistence
        cell = max(1, cell // 2)
    return result


def level(mask, low, high):
    """Stretches an "L" image so `low` maps to 0 and `high` to 255."""
    span = max(1, high - low)
    return mask.point([max(0, min(255, (v - low) * 255 // span)) for v in range(256)])


def scale_mask(mask, factor):
    return mask.point([int(v * factor) for v in range(256)])


def coloured(size, colour, mask):
    """An RGBA layer of one colour whose alpha is `mask`, for Image.alpha_composite."""
    layer = Image.new("RGBA", size, tuple(colour[:3]) + (0,))
    layer.putalpha(mask)
    return layer


def paste_colour(image, colour, mask):
    """Lays `colour` over `image` (RGB or RGBA) where `mask` says, by its strength."""
    layer = Image.new(image.mode, image.size, tuple(colour[: len(image.mode)]))
    image.paste(layer, (0, 0), mask)


def shape_mask(size, draw):
    """An anti-aliased "L" mask: `draw(ImageDraw, k)` draws at k times the size, in 255."""
    w, h = size
    big = Image.new("L", (w * SUPER, h * SUPER), 0)
    draw(ImageDraw.Draw(big), SUPER)
    return big.reduce(SUPER)


def polygon_mask(size, points):
    return shape_mask(size, lambda d, k: d.polygon([(x * k, y * k) for x, y in points], fill=255))


def ellipse_mask(size, box):
    x0, y0, x1, y1 = box
    return shape_mask(size, lambda d, k: d.ellipse((x0 * k, y0 * k, x1 * k - 1, y1 * k - 1),
                                                   fill=255))


def streak_mask(size):
    """A run down the screen: straight sides, rounded at its foot."""
    w, h = size
    return shape_mask(size, lambda d, k: [
        d.rectangle((0, 0, w * k - 1, (h - w / 2) * k), fill=255),
        d.ellipse((0, (h - w) * k, w * k - 1, h * k - 1), fill=255)])


def drop_masks(size):
    """A falling drop, a point above and round below, and the glint on its left."""
    w, h = size
    r = w / 2 - 0.5
    cy = h - r - 0.5
    shape = shape_mask(size, lambda d, k: [
        d.ellipse(((w / 2 - r) * k, (cy - r) * k, (w / 2 + r) * k, (cy + r) * k), fill=255),
        d.polygon([(w / 2 * k, 0), ((w / 2 + r * 0.8) * k, (cy - r * 0.5) * k),
                   ((w / 2 - r * 0.8) * k, (cy - r * 0.5) * k)], fill=255)])
    return shape, ellipse_mask(size, (w * 0.25, cy - r * 0.5, w * 0.45, cy + r * 0.1))


def rounded_rect_mask(size, box, radius):
    x0, y0, x1, y1 = box
    return shape_mask(size, lambda d, k: d.rounded_rectangle(
        (x0 * k, y0 * k, x1 * k - 1, y1 * k - 1), radius=radius * k, fill=255))


def soft(mask, radius):
    return mask.filter(ImageFilter.GaussianBlur(radius))


def glow(image, centre, radius, colour, strength=1.0):
    """A soft round light added over `image`."""
    cx, cy = centre
    mask = Image.new("L", image.size, 0)
    ImageDraw.Draw(mask).ellipse((cx - radius / 2, cy - radius / 2, cx + radius / 2,
                                  cy + radius / 2), fill=int(255 * strength))
    paste_colour(image, colour, soft(mask, radius / 3))


def star_field(image, rng, count, area, colour, bright=(60, 255)):
    """Single-pixel stars with a random brightness, a few of them with a faint cross."""
    x0, y0, x1, y1 = area
    mask = Image.new("L", image.size, 0)
    px = mask.load()
    for _ in range(count):
        x = rng.randrange(x0, x1)
        y = rng.randrange(y0, y1)
        v = rng.randrange(bright[0], bright[1] + 1)
        px[x, y] = max(px[x, y], v)
        if v > 230 and 0 < x < image.size[0] - 1 and 0 < y < image.size[1] - 1:
            for dx, dy in ((1, 0), (-1, 0), (0, 1), (0, -1)):
                px[x + dx, y + dy] = max(px[x + dx, y + dy], v // 3)
    paste_colour(image, colour, mask)


def ridge_points(rng, width, base, amplitude, cell, bottom):
    """A polygon of a hill line: random heights every `cell` pixels joined smoothly, closed down
    to `bottom`."""
    heights = [rng.uniform(-1.0, 1.0) for _ in range(width // cell + 3)]
    points = []
    for x in range(0, width + 1, 4):
        k, t = divmod(x / cell, 1.0)
        k = int(k)
        t = t * t * (3 - 2 * t)
        points.append((x, base + amplitude * lerp(heights[k], heights[k + 1], t)))
    return [(0, bottom)] + points + [(width, bottom)]
