# The scene's HUD and tutorial pictures: the bar under the strip and its transparent front, the
# progress bar, the hint background, the strip's arrows and the journal and pause buttons, the
# inventory objects' parts bar, the two hint characters' medallions and trackers, the light ray,
# and the tutorial prompt's arrow and dialog. Same palette and rules as images.py: no text is
# drawn.
import math

from PIL import Image, ImageChops

import paint
import sheets
from frontend import _face, _over, _with_shadow, dialog
from images import AMBER, AMBER_PALE, BRONZE, BRONZE_DARK, FEN_DARK, INK, IVORY


def hud_bar(p, rng):
    """The bar behind the strip: dark wood under a bronze rail, its top edge soft."""
    w, h = size = tuple(p["size"])
    img = Image.new("RGBA", size, (0, 0, 0, 0))
    body = paint.rounded_rect_mask(size, (0, 6, w, h + 12), 14)
    img.paste(paint.vertical_gradient(size, [(0.0, (60, 44, 26, 255)), (0.5, (34, 24, 14, 255)),
                                             (1.0, (18, 12, 8, 255))], "RGBA"), (0, 0), body)
    grain = paint.scale_mask(paint.value_noise(rng, (w, h), 10, octaves=3), 0.12)
    img = _over(img, (0, 0, 0), ImageChops.multiply(grain, body))
    rail = paint.rounded_rect_mask(size, (0, 6, w, 12), 3)
    return _over(img, BRONZE, rail)


def hud_bar_front(p, rng):
    """The bar's front: transparent over the strip, a bronze frame around it and at the ends."""
    w, h = size = tuple(p["size"])
    img = Image.new("RGBA", size, (0, 0, 0, 0))
    frame = paint.shape_mask(size, lambda d, k: d.rounded_rectangle(
        (190 * k, 12 * k, 562 * k, (h - 14) * k), radius=10 * k, outline=255, width=3 * k))
    img = _over(img, BRONZE_DARK, paint.soft(frame, 1.5))
    img = _over(img, AMBER, paint.scale_mask(frame, 0.8))
    for x in (0, w - 8):
        img = _over(img, BRONZE, paint.rounded_rect_mask(size, (x, 8, x + 8, h), 2))
    return img


def hud_progress(p, rng):
    """The found-items bar, shown from its left as items are found: amber glass."""
    w, h = size = tuple(p["size"])
    img = Image.new("RGBA", size, (0, 0, 0, 0))
    glass = paint.rounded_rect_mask(size, (0, 0, w, h), h // 2)
    img.paste(paint.vertical_gradient(size, [(0.0, AMBER_PALE + (255,)), (0.5, AMBER + (255,)),
                                             (1.0, BRONZE + (255,))], "RGBA"), (0, 0), glass)
    return img


def hud_hint_background(p, rng):
    """Behind the strip while the player picks an object for a hint: a cool mist."""
    w, h = size = tuple(p["size"])
    img = Image.new("RGBA", size, (0, 0, 0, 0))
    mist = paint.level(paint.value_noise(rng, size, 40, octaves=3), 40, 220)
    band = paint.rounded_rect_mask(size, (150, 10, w - 150, h - 6), 20)
    return _over(img, (120, 150, 210), paint.scale_mask(ImageChops.multiply(mist, band), 0.7))


def hud_button(p, rng):
    """A HUD button: a bronze face with its mark (left or right arrow, a book, or pause bars)."""
    w, h = size = tuple(p["size"])
    state = p["state"]
    img = _face(size, (2, 2, w - 2, h - 2), min(w, h) // 3, state, rng)
    shift = 1 if state == "pressed" else 0
    cx, cy = w / 2, h / 2 + shift
    mark = p["mark"]
    if mark in ("left", "right"):
        a = w * 0.3
        sign = -1 if mark == "left" else 1
        shape = paint.polygon_mask(size, [(cx + sign * a, cy), (cx - sign * a * 0.7, cy - a * 1.4),
                                          (cx - sign * a * 0.7, cy + a * 1.4)])
    elif mark == "book":
        s = w * 0.28
        shape = ImageChops.lighter(
            paint.polygon_mask(size, [(cx - s * 1.2, cy - s), (cx - 1, cy - s * 0.8),
                                      (cx - 1, cy + s), (cx - s * 1.2, cy + s * 0.8)]),
            paint.polygon_mask(size, [(cx + 1, cy - s * 0.8), (cx + s * 1.2, cy - s),
                                      (cx + s * 1.2, cy + s * 0.8), (cx + 1, cy + s)]))
    else:
        s = w * 0.22
        shape = ImageChops.lighter(
            paint.rounded_rect_mask(size, (cx - s, cy - s, cx - s * 0.3, cy + s), 1),
            paint.rounded_rect_mask(size, (cx + s * 0.3, cy - s, cx + s, cy + s), 1))
    colour = AMBER_PALE if state == "hover" else IVORY
    return _with_shadow(img, colour, shape)


def bar_piece(p, rng):
    """A piece of an inventory object's parts bar: the frame dark, the fill amber."""
    w, h = size = tuple(p["size"])
    top, bottom = p["colours"]
    img = Image.new("RGBA", size, (0, 0, 0, 0))
    img.paste(paint.vertical_gradient(size, [(0.0, tuple(top) + (255,)),
                                             (1.0, tuple(bottom) + (255,))], "RGBA"), (0, 0))
    return img


# The two hint characters' colours: Thessalor's moonlit blue, Lirae's lamp amber.
CHARACTER = {
    "thessalor": ((150, 190, 255), (40, 60, 120)),
    "lirae": (AMBER_PALE, BRONZE),
}


def _medallion_frame(i, size, light, dark, frames):
    """A round medallion turning about its upright axis: frame 0 its face, the last its back."""
    w, h = size
    turn = i / (frames - 1)
    squash = max(abs(1.0 - 2.0 * turn), 0.12)
    half = (w / 2 - 3) * squash
    box = (w / 2 - half, 3, w / 2 + half, h - 3)
    disc = paint.ellipse_mask(size, box)
    img = Image.new("RGBA", size, (0, 0, 0, 0))
    img.paste(BRONZE_DARK + (255,), (0, 0), disc)
    face = paint.ellipse_mask(size, (w / 2 - half * 0.8, 3 + (h - 6) * 0.1,
                                     w / 2 + half * 0.8, h - 3 - (h - 6) * 0.1))
    shade = light if turn <= 0.5 else dark
    glow = paint.radial_mask(size, (w / 2, h / 2), w / 2, 1.4)
    img = _over(img, shade, ImageChops.multiply(face, glow))
    if turn <= 0.5:
        # The face's star, narrowing with the turn.
        points = []
        for n in range(8):
            r = (h / 2 - 12) * (1.0 if n % 2 == 0 else 0.45)
            a = n * math.pi / 4
            points.append((w / 2 + r * squash * math.sin(a), h / 2 - r * math.cos(a)))
        img = _over(img, IVORY, paint.polygon_mask(size, points))
    rim = paint.shape_mask(size, lambda d, k: d.ellipse(
        tuple(v * k for v in box), outline=255, width=2 * k))
    return _over(img, BRONZE, rim)


def medallion_sheet(p, rng):
    """Both medallions' spins, eight frames each: Thessalor's row above Lirae's."""
    w, h = p["frame"]
    frames = p["frames"]
    sheet = Image.new("RGBA", (w * frames, h * 2), (0, 0, 0, 0))
    for row, character in enumerate(("thessalor", "lirae")):
        light, dark = CHARACTER[character]
        for i in range(frames):
            sheet.paste(_medallion_frame(i, (w, h), light, dark, frames), (i * w, row * h))
    return sheet


def tracker_sheet(p, rng):
    """A tracker: frame 0 the soft glow its pulse shows, frame 1 the lit gem."""
    light, dark = CHARACTER[p["character"]]

    def frame(i, size):
        w, h = size
        img = Image.new("RGBA", size, (0, 0, 0, 0))
        if i == 0:
            return _over(img, light, paint.radial_mask(size, (w / 2, h / 2), w / 2, 1.2))
        gem = paint.polygon_mask(size, [(w / 2, 1), (w - 2, h / 2), (w / 2, h - 1), (2, h / 2)])
        img.paste(dark + (255,), (0, 0), gem)
        core = paint.polygon_mask(size, [(w / 2, 4), (w - 5, h / 2), (w / 2, h - 4),
                                         (5, h / 2)])
        return _over(img, light, core)
    return sheets.strip(p, frame)


def ray(p, rng):
    """The light ray's beam: white, its sides soft, fading out towards its far end."""
    w, h = size = tuple(p["size"])
    img = Image.new("RGBA", size, (255, 250, 236, 0))
    middle = (w - 1) / 2
    across = [max(0.0, 1.0 - abs(x - middle) / middle) ** 1.5 for x in range(w)]
    along = [1.0 if y < h * 0.15 else 1.0 - (y - h * 0.15) / (h * 0.85) for y in range(h)]
    alpha = Image.new("L", size)
    alpha.putdata([int(255 * a * b) for b in along for a in across])
    img.putalpha(alpha)
    return img


def tutorial_arrow(p, rng):
    """The prompt's arrow, pointing right from its centre (the prompt turns it)."""
    w, h = size = tuple(p["size"])
    img = Image.new("RGBA", size, (0, 0, 0, 0))
    shape = paint.polygon_mask(size, [(w - 3, h / 2), (w * 0.5, 5), (w * 0.5, h * 0.35),
                                      (3, h * 0.35), (3, h * 0.65), (w * 0.5, h * 0.65),
                                      (w * 0.5, h - 5)])
    img = _over(img, INK, paint.scale_mask(paint.soft(shape, 2), 0.8))
    return _over(img, AMBER, shape)


def tutorial_dialog(p, rng):
    """The prompt's dialog: the dialog face, darker so light text reads on it."""
    img = dialog(p, rng)
    shade = Image.new("RGBA", img.size, FEN_DARK + (150,))
    return Image.alpha_composite(img, Image.composite(shade, Image.new("RGBA", img.size),
                                                      img.getchannel("A")))


RECIPES = {
    "hud_bar": hud_bar,
    "hud_bar_front": hud_bar_front,
    "hud_progress": hud_progress,
    "hud_hint_background": hud_hint_background,
    "hud_button": hud_button,
    "bar_piece": bar_piece,
    "medallion_sheet": medallion_sheet,
    "tracker_sheet": tracker_sheet,
    "ray": ray,
    "tutorial_arrow": tutorial_arrow,
    "tutorial_dialog": tutorial_dialog,
}
