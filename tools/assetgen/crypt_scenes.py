# The Crypt, the third location: the vaulted room under the fen with its cold brazier, the altar,
# the sealed vault and the old hearth; the fires that burn in the brazier and the hearth once lit
# (four-frame sheets); the two puzzle close-ups (the altar's crystals, the vault with its stone
# slab). Same rules as observatory.py: shapes drawn about their cells' middles, opaque about the
# points the location script and its tests use.
import math

from PIL import Image, ImageChops

import gatehouse
import paint
import sheets
from frontend import _over
from gatehouse import IRON, STONE, STONE_DARK, _ellipse, _rect, _shaded, _union
from images import AMBER, AMBER_PALE, BRONZE, BRONZE_DARK, INK
from observatory import _paste, mask_from, sheet_from

EMBER = (232, 90, 30)
MOSS = (52, 66, 48)
CRYSTAL = (150, 200, 220)
# Where the location script places the room's things (centres on the screen).
BRAZIER = (620, 360)
ALTAR = (400, 240)
VAULT = (160, 260)
HEARTH = (300, 420)


def _brazier(size):
    """The iron brazier: a wide bowl, its middle at the picture's, on three legs."""
    w, h = size
    cx, cy = w / 2, h / 2
    bowl = paint.shape_mask(size, lambda d, k: d.pieslice(
        ((cx - 46) * k, (cy - 54) * k, (cx + 46) * k, (cy + 14) * k), 0, 180, fill=255))
    legs = [paint.polygon_mask(size, [(cx + dx - 3, cy + 4), (cx + dx + 3, cy + 4),
                                      (cx + dx * 1.6 + 3, cy + 58), (cx + dx * 1.6 - 3, cy + 58)])
            for dx in (-24, 0, 24)]
    img = _shaded(size, _union(bowl, *legs, _rect(size, cx, cy - 20, 96, 8, 3)), IRON, INK)
    return _over(img, (40, 32, 28), _ellipse(size, cx, cy - 20, 80, 10))


def _altar(size, lit):
    """The altar block with its five crystals, dull until the brazier lights the room."""
    w, h = size
    cx, cy = w / 2, h / 2
    img = _shaded(size, _union(_rect(size, cx, cy + 20, 180, 80, 4),
                               _rect(size, cx, cy - 24, 196, 14, 3)), STONE, STONE_DARK)
    for i, dx in enumerate((-64, -32, 0, 32, 64)):
        tip = cy - 62 - (10 if i == 2 else 0)
        crystal = paint.polygon_mask(size, [(cx + dx, tip), (cx + dx + 9, cy - 40),
                                            (cx + dx, cy - 30), (cx + dx - 9, cy - 40)])
        img = _over(img, CRYSTAL if lit else (70, 86, 96), crystal)
    return img


def _vault_door(size):
    """The vault's opened doorway: an arch of dark with a faint light deep inside."""
    w, h = size
    body = paint.shape_mask(size, lambda d, k: (
        d.rectangle(((w / 2 - 50) * k, (h / 2 - 50) * k, (w / 2 + 50) * k, (h / 2 + 90) * k),
                    fill=255),
        d.pieslice(((w / 2 - 50) * k, (h / 2 - 100) * k, (w / 2 + 50) * k, h / 2 * k), 180, 360,
                   fill=255)))
    img = _shaded(size, body, (26, 22, 20), (8, 6, 6))
    glow = paint.radial_mask(size, (w / 2, h / 2 + 20), 60, 1.5)
    return _over(img, AMBER, paint.scale_mask(glow, 0.35))


def _hearth(size):
    """The old hearth: a low stone arch, its fire bed empty."""
    w, h = size
    cx, cy = w / 2, h / 2
    arch = paint.shape_mask(size, lambda d, k: (
        d.rectangle(((cx - 74) * k, (cy - 20) * k, (cx + 74) * k, (cy + 44) * k), fill=255),
        d.pieslice(((cx - 74) * k, (cy - 64) * k, (cx + 74) * k, (cy + 24) * k), 180, 360,
                   fill=255)))
    img = _shaded(size, arch, STONE, STONE_DARK)
    img = _over(img, (16, 12, 10), _union(_rect(size, cx, cy + 10, 100, 50, 4),
                                          _ellipse(size, cx, cy - 14, 100, 40)))
    return _over(img, (60, 50, 44), _rect(size, cx, cy + 30, 100, 10, 3))


def _slab_shape(size):
    w, h = size
    return _rect(size, w / 2, h / 2, 320, 180, 12)


def _slab(size, rng):
    """The stone slab over the vault's floor, with its iron ring."""
    w, h = size
    body = _slab_shape(size)
    img = _shaded(size, body, STONE, STONE_DARK)
    grain = paint.scale_mask(paint.value_noise(rng, size, 10, octaves=2), 0.25)
    img = _over(img, INK, Image.composite(grain, Image.new("L", size, 0), body))
    img = _over(img, IRON, _ellipse(size, w / 2, h / 2, 44, 44))
    return _over(img, STONE_DARK, _ellipse(size, w / 2, h / 2, 28, 28))


CRYPT_DRAWERS = {
    "brazier": lambda size, rng, frame: _brazier((100, 124)),
    "altar": lambda size, rng, frame: _altar((200, 150), True),
    "vault": lambda size, rng, frame: _vault_door((120, 200)),
    "hearth": lambda size, rng, frame: _hearth((160, 112)),
}
VAULT_DRAWERS = {"vaultcover": lambda size, rng, frame: _slab((328, 188), rng)}


def _fire_frame(i, size, rng):
    """One frame of a fire: tongues of flame rising from the frame's bottom middle, their heights
    and sway changing from frame to frame."""
    w, h = size
    img = Image.new("RGBA", size, (0, 0, 0, 0))
    img = _over(img, AMBER, paint.scale_mask(paint.radial_mask(size, (w / 2, h - 20), w / 2, 1.2),
                                             0.4))
    for k, (dx, height) in enumerate(((-14, 50), (0, 78), (14, 56))):
        sway = 5 * math.sin(i * math.pi / 2 + k)
        height = height * (0.85 + 0.15 * math.cos(i * math.pi / 2 + k * 2))
        base = h - 8
        tongue = paint.polygon_mask(size, [(w / 2 + dx - 11, base), (w / 2 + dx + 11, base),
                                           (w / 2 + dx + 6 + sway / 2, base - height * 0.5),
                                           (w / 2 + dx + sway, base - height),
                                           (w / 2 + dx - 6 + sway / 2, base - height * 0.5)])
        img = _over(img, EMBER, paint.soft(tongue, 1))
        core = paint.polygon_mask(size, [(w / 2 + dx - 6, base), (w / 2 + dx + 6, base),
                                         (w / 2 + dx + sway * 0.6, base - height * 0.6)])
        img = _over(img, AMBER_PALE, paint.soft(core, 1))
    return img


# Scenes.

def crypt_background(p, rng):
    """The crypt, dim (no darker on the whole than the Gatehouse's hall, so that every thing in it
    reads): vaulted stone, moss low on the walls, the altar at the back, the sealed vault on the
    left, the cold brazier on the right, the hearth in front."""
    size = tuple(p["size"])
    img = gatehouse._stone_wall(size, rng, (76, 74, 80), (38, 37, 42))
    for x in (120, 400, 680):
        img = _over(img, STONE_DARK, paint.shape_mask(size, lambda d, k, x=x: d.arc(
            ((x - 150) * k, -80 * k, (x + 150) * k, 200 * k), 0, 180, fill=255, width=10 * k)))
    img = _over(img, MOSS, paint.scale_mask(paint.level(
        paint.value_noise(rng, size, 16, octaves=2), 150, 230), 0.25))
    img = _over(img, (56, 52, 52), _rect(size, 400, 520, 800, 200))
    # The vault's sealed arch: stones where the doorway will open.
    img = _over(img, STONE_DARK, _rect(size, VAULT[0], VAULT[1] + 20, 120, 160, 6))
    for y in range(VAULT[1] - 40, VAULT[1] + 100, 28):
        img = _over(img, STONE, _rect(size, VAULT[0], y, 96, 22, 3))
    _paste(img, _altar((200, 150), False), ALTAR)
    _paste(img, _brazier((100, 124)), BRAZIER)
    _paste(img, _hearth((160, 112)), HEARTH)
    dark = ImageChops.invert(paint.radial_mask(size, (400, 300), 520, 0.7))
    return _over(img, INK, paint.scale_mask(dark, 0.3)).convert("RGB")


def fire_sheet(p, rng):
    return sheets.strip(p, lambda i, size: _fire_frame(i, size, rng))


def altar_background(p, rng):
    """The altar close up: the crystals on their stone in the dark."""
    size = tuple(p["size"])
    img = paint.vertical_gradient(size, [(0.0, (24, 24, 30)), (1.0, (10, 10, 12))]).convert("RGBA")
    img = _over(img, STONE_DARK, _rect(size, 400, 380, 640, 220, 10))
    for i, x in enumerate(range(160, 680, 120)):
        img = _over(img, (70, 86, 96), paint.polygon_mask(size, [(x, 200), (x + 26, 300),
                                                                 (x, 330), (x - 26, 300)]))
    return img.convert("RGB")


def vault_background(p, rng):
    """The vault: three stone locks on the far wall, the pit in its floor."""
    size = tuple(p["size"])
    img = gatehouse._stone_wall(size, rng, (40, 40, 46), (18, 18, 22)).convert("RGBA")
    img = _over(img, (24, 22, 22), _rect(size, 400, 440, 800, 320))
    img = _over(img, INK, _rect(size, 400, 360, 300, 160, 10))
    img = _over(img, BRONZE_DARK, _rect(size, 400, 360, 300, 160, 10).point(
        lambda v: 255 if 0 < v < 255 else 0))
    return img.convert("RGB")


def vault_slab(p, rng):
    return _slab(tuple(p["size"]), rng)


RECIPES = {
    "crypt_background": crypt_background,
    "crypt_fire_sheet": fire_sheet,
    "altar_background": altar_background,
    "vault_background": vault_background,
    "vault_slab": vault_slab,
    "crypt_area_sheet": lambda p, rng: sheet_from(p, rng, CRYPT_DRAWERS),
    "crypt_area_mask": lambda p, rng: mask_from(p, rng, CRYPT_DRAWERS),
    "vault_area_sheet": lambda p, rng: sheet_from(p, rng, VAULT_DRAWERS),
    "vault_area_mask": lambda p, rng: mask_from(p, rng, VAULT_DRAWERS),
}
