# The puzzle scenes' pictures: the electronic lock's key (three frames: unlit, an unused middle
# frame, lit), drawn to sit on the sockets of the lock panel's background.
from PIL import Image

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


RECIPES = {
    "lock_key_sheet": lock_key_sheet,
}
