# Thessalor's hint minigame: the board's slate backdrop (the reading window the letters drift
# through, the dial's seat, the tray of the three goal slots) and the 800 x 600 mask that fades
# the letters out towards the window's ends. Same palette and rules as images.py: no text is
# drawn. The board stands centred on the screen, its corner at (100, 110).
from PIL import Image, ImageChops

import paint
from frontend import _over
from images import AMBER, AMBER_PALE, BRONZE, BRONZE_DARK, INK

# Thessalor's colours: the blue-grey slate of a scribe's board and the pale chalk of its rules.
SLATE_TOP = (38, 46, 66)
SLATE_LOW = (20, 24, 38)
CHALK = (150, 170, 200)
# The board's corner on the screen, and the reading window (the bounds) on the screen.
ORIGIN = (100, 110)
WINDOW = (130, 130, 670, 250)


def _local(box):
    x0, y0, x1, y1 = box
    return (x0 - ORIGIN[0], y0 - ORIGIN[1], x1 - ORIGIN[0], y1 - ORIGIN[1])


def thessalor_background(p, rng):
    """The board: slate under a bronze rim, the dark reading window ruled with faint chalk lines,
    the dial's round seat below it and the tray with the three goal slots at the foot."""
    w, h = size = tuple(p["size"])
    img = paint.vertical_gradient(size, [(0.0, SLATE_TOP), (1.0, SLATE_LOW)], "RGBA")
    grain = paint.scale_mask(paint.level(paint.value_noise(rng, size, 24, octaves=3), 120, 230),
                             0.18)
    img = _over(img, CHALK, grain)
    outer = paint.rounded_rect_mask(size, (0, 0, w, h), 10)
    inner = paint.rounded_rect_mask(size, (8, 8, w - 8, h - 8), 14)
    rim = ImageChops.subtract(outer, inner)
    img = _over(img, BRONZE_DARK, rim)
    img = _over(img, BRONZE, paint.scale_mask(paint.soft(rim, 1.5), 0.7))
    x0, y0, x1, y1 = _local(WINDOW)
    window = paint.rounded_rect_mask(size, (x0 - 6, y0 - 6, x1 + 6, y1 + 6), 12)
    img = _over(img, INK, paint.scale_mask(window, 0.8))
    rules = paint.shape_mask(size, lambda d, k: [
        d.line((x0 * k, y * k, x1 * k, y * k), fill=255, width=int(1 * k))
        for y in range(y0 + 20, y1, 24)])
    img = _over(img, CHALK, paint.scale_mask(rules, 0.25))
    img = _over(img, BRONZE, ImageChops.subtract(
        window, paint.rounded_rect_mask(size, (x0 - 4, y0 - 4, x1 + 4, y1 + 4), 10)))
    # The dial's seat about the hub at (400, 300).
    cx, cy = 400 - ORIGIN[0], 300 - ORIGIN[1]
    seat = paint.ellipse_mask(size, (cx - 46, cy - 46, cx + 46, cy + 46))
    img = _over(img, INK, paint.scale_mask(seat, 0.6))
    # The tray: three slots centred at (320, 420), (400, 420) and (480, 420).
    tray = paint.rounded_rect_mask(size, _local((270, 392, 530, 448)), 16)
    img = _over(img, INK, paint.scale_mask(tray, 0.85))
    img = _over(img, BRONZE, ImageChops.subtract(
        tray, paint.soft(paint.rounded_rect_mask(size, _local((273, 395, 527, 445)), 14), 0.5)))
    for x in (320, 400, 480):
        slot = paint.rounded_rect_mask(size, _local((x - 30, 400, x + 30, 440)), 8)
        img = _over(img, (30, 36, 56), slot)
        img = _over(img, AMBER, paint.scale_mask(ImageChops.subtract(
            slot, paint.rounded_rect_mask(size, _local((x - 28, 402, x + 28, 438)), 7)), 0.5))
    paint.glow(img, (w / 2, 24), 120, AMBER_PALE, 0.15)
    return img.convert("RGB")


def thessalor_mask(p, rng):
    """The mask over the whole screen, grey with alpha: its alpha becomes the alpha of the overlay
    that holds the last frame over the letters, clear in the middle of the reading window (the
    letters stay sharp) and rising towards its two ends and its edges (they trail off)."""
    w, h = size = tuple(p["size"])
    x0, y0, x1, y1 = WINDOW
    cx, half = (x0 + x1) / 2, (x1 - x0) / 2
    row = []
    for x in range(w):
        t = min(1.0, abs(x + 0.5 - cx) / half)
        row.append(int(round(230 * max(0.0, (t - 0.55) / 0.45) ** 1.5)))
    mask = Image.new("L", size)
    mask.putdata(row * h)
    # The window's top and bottom rims dim the letters a little as they cross them.
    edge = ImageChops.subtract(Image.new("L", size, 255), paint.soft(
        paint.rounded_rect_mask(size, (x0 + 4, y0 + 10, x1 - 4, y1 - 10), 8), 8))
    shape = ImageChops.lighter(mask, paint.scale_mask(edge, 0.5))
    # The render target takes the mask's alpha; the grey repeats it, so the file looks like its
    # effect.
    return Image.merge("RGBA", (shape, shape, shape, shape))


RECIPES = {
    "thessalor_background": thessalor_background,
    "thessalor_mask": thessalor_mask,
}
