# The journal's pictures: the open book's page, the picture on its left leaf, and its close button.
# Same palette and rules as images.py: no text is drawn.
from PIL import Image, ImageChops

import paint
from frontend import PARCHMENT_LOW, PARCHMENT_TOP, _face, _over, _with_shadow
from images import AMBER_PALE, BRONZE, BRONZE_DARK, FEN, INK, IVORY


def journal_page(p, rng):
    """The open book: two parchment leaves on a leather cover, the spine shaded down the middle."""
    w, h = size = tuple(p["size"])
    img = Image.new("RGBA", size, (0, 0, 0, 0))
    cover = paint.rounded_rect_mask(size, (0, 0, w, h), 18)
    img.paste(paint.vertical_gradient(size, [(0.0, (92, 52, 30, 255)), (1.0, (48, 26, 14, 255))],
                                      "RGBA"), (0, 0), cover)
    grain = paint.scale_mask(paint.value_noise(rng, size, 8, octaves=3), 0.15)
    img = _over(img, (0, 0, 0), ImageChops.multiply(grain, cover))
    for left, right in ((14, w // 2 - 2), (w // 2 + 2, w - 14)):
        leaf = paint.rounded_rect_mask(size, (left, 14, right, h - 14), 6)
        img.paste(paint.vertical_gradient(size, [(0.0, PARCHMENT_TOP + (255,)),
                                                 (1.0, PARCHMENT_LOW + (255,))], "RGBA"),
                  (0, 0), leaf)
        mottle = paint.scale_mask(paint.level(paint.value_noise(rng, size, 40, octaves=3),
                                              70, 230), 0.14)
        img = _over(img, (150, 108, 58), ImageChops.multiply(mottle, leaf))
    spine = paint.horizontal_gradient(size, [(0.0, (0, 0, 0)), (0.46, (0, 0, 0)),
                                             (0.5, (150, 150, 150)), (0.54, (0, 0, 0)),
                                             (1.0, (0, 0, 0))], "L")
    return _over(img, BRONZE_DARK, paint.scale_mask(spine, 0.6))


def journal_left(p, rng):
    """The left leaf's picture of a location, an ink sketch faded at its edges: the lamp-lit fen
    (the Gatehouse), the domed observatory under stars, or the crypt's arch over its brazier."""
    w, h = size = tuple(p["size"])
    place = p.get("place", "gatehouse")
    img = Image.new("RGBA", size, (0, 0, 0, 0))
    wash = paint.soft(paint.rounded_rect_mask(size, (8, 8, w - 8, h - 8), 20), 6)
    img = _over(img, (196, 170, 120), paint.scale_mask(wash, 0.5))
    hills = paint.polygon_mask(size, paint.ridge_points(rng, w, h * 0.6, h * 0.12, 24, h - 10))
    if place == "crypt":
        # A vault's arch, dark inside, and a brazier's flame in its mouth.
        arch = paint.shape_mask(size, lambda d, k: (
            d.rectangle((30 * k, h * 0.35 * k, (w - 30) * k, (h - 24) * k), fill=255),
            d.ellipse((30 * k, h * 0.18 * k, (w - 30) * k, h * 0.52 * k), fill=255)))
        img = _over(img, (70, 62, 58), paint.scale_mask(ImageChops.multiply(arch, wash), 0.85))
        inner = paint.shape_mask(size, lambda d, k: (
            d.rectangle((56 * k, h * 0.42 * k, (w - 56) * k, (h - 24) * k), fill=255),
            d.ellipse((56 * k, h * 0.28 * k, (w - 56) * k, h * 0.56 * k), fill=255)))
        img = _over(img, INK, paint.scale_mask(inner, 0.8))
        bowl = paint.rounded_rect_mask(size, (w // 2 - 26, int(h * 0.7), w // 2 + 26,
                                              int(h * 0.76)), 6)
        img = _over(img, BRONZE, bowl)
        glow = paint.radial_mask(size, (w / 2, h * 0.64), w * 0.22, power=1.4)
        return _over(img, AMBER_PALE, paint.scale_mask(glow, 0.9))
    img = _over(img, FEN, paint.scale_mask(ImageChops.multiply(hills, wash), 0.7))
    if place == "observatory":
        # The tower with its dome against the night, a star or two above.
        sky = paint.soft(paint.rounded_rect_mask(size, (16, 16, w - 16, int(h * 0.55)), 12), 4)
        img = _over(img, (52, 62, 96), paint.scale_mask(sky, 0.55))
        tower = paint.rounded_rect_mask(size, (w // 2 - 30, int(h * 0.36), w // 2 + 30,
                                               int(h * 0.8)), 3)
        img = _over(img, INK, tower)
        dome = paint.ellipse_mask(size, (w // 2 - 38, h * 0.26, w // 2 + 38, h * 0.46))
        img = _over(img, BRONZE_DARK, dome)
        slit = paint.rounded_rect_mask(size, (w // 2 - 4, int(h * 0.27), w // 2 + 4,
                                              int(h * 0.36)), 2)
        img = _over(img, AMBER_PALE, slit)
        for x, y in ((0.22, 0.12), (0.74, 0.1), (0.62, 0.2), (0.3, 0.24)):
            star = paint.ellipse_mask(size, (w * x - 2, h * y - 2, w * x + 2, h * y + 2))
            img = _over(img, IVORY, star)
        return img
    water = paint.rounded_rect_mask(size, (16, int(h * 0.75), w - 16, int(h * 0.8)), 3)
    img = _over(img, (52, 72, 104), paint.scale_mask(water, 0.6))
    post = paint.rounded_rect_mask(size, (w // 2 - 3, int(h * 0.25), w // 2 + 3, int(h * 0.7)), 2)
    img = _over(img, INK, post)
    glow = paint.radial_mask(size, (w / 2, h * 0.24), w * 0.3, power=1.6)
    img = _over(img, AMBER_PALE, paint.scale_mask(glow, 0.8))
    return img


def journal_close(p, rng):
    """The close button: a small bronze face with a cross."""
    w, h = size = tuple(p["size"])
    state = p["state"]
    img = _face(size, (2, 2, w - 2, h - 2), min(w, h) // 3, state, rng)
    shift = 1 if state == "pressed" else 0
    s = w * 0.22
    cx, cy = w / 2, h / 2 + shift
    cross = paint.shape_mask(size, lambda d, k: (
        d.line(((cx - s) * k, (cy - s) * k, (cx + s) * k, (cy + s) * k), fill=255, width=3 * k),
        d.line(((cx - s) * k, (cy + s) * k, (cx + s) * k, (cy - s) * k), fill=255, width=3 * k)))
    colour = AMBER_PALE if state == "hover" else IVORY
    return _with_shadow(img, colour if state != "pressed" else BRONZE, cross)


RECIPES = {
    "journal_page": journal_page,
    "journal_left": journal_left,
    "journal_close": journal_close,
}
