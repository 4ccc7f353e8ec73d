# The Observatory's and the Crypt's pictures keep the screen points their location scripts and
# end-to-end runs click: every area and item is solid over 16 x 16 pixels about its point, the
# puzzle stand-in is an opaque 160 x 160 panel, the point kept for misses, (400, 120), hits no area
# of any scene, and the fire sheets are four 64 x 96 frames that differ.
import os
import random
import sys
import unittest

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
sys.dont_write_bytecode = True
sys.path.insert(0, os.path.join(ROOT, "tools", "assetgen"))

import crypt_scenes  # noqa: E402
import gatehouse  # noqa: E402
import manifest  # noqa: E402
import observatory  # noqa: E402

RECIPES = dict(observatory.RECIPES, **crypt_scenes.RECIPES)
# Area, its scene's sheet and where the location places its centre.
AREAS = {
    "scenes/observatory/areas.png": {"desk": (300, 400), "scroll": (160, 320),
                                     "telescope": (560, 300), "eyepiece": (620, 180)},
    "scenes/crypt/areas.png": {"brazier": (620, 360), "altar": (400, 240), "vault": (160, 260),
                               "hearth": (300, 420)},
    "scenes/vault/areas.png": {"vaultcover": (400, 360)},
}
ITEMS = ("items/candle.png", "items/lens.png", "items/flint.png", "items/hearthstone.png")
SOLID = 200


def made(path):
    entry = next(e for e in manifest.ENTRIES if e.path == path)
    return entry, RECIPES[entry.generator](entry.params, random.Random(entry.seed))


def solid_about(alpha, cx, cy, half=8):
    """The weakest alpha of the square of 2 * `half` pixels about (cx, cy)."""
    return min(alpha.getpixel((x, y)) for x in range(cx - half, cx + half)
               for y in range(cy - half, cy + half))


class ObservatoryCryptArtTest(unittest.TestCase):
    def test_every_area_is_solid_about_its_point_and_the_miss_point_hits_none(self):
        for sheet_path, areas in AREAS.items():
            entry, sheet = made(sheet_path)
            w, h = entry.params["frame"]
            self.assertTrue(max(sheet.size) <= 1024, sheet_path)
            for index, name in enumerate(entry.params["areas"]):
                x, y = areas[name]
                x0, y0 = gatehouse.area_place(entry.params, index)
                for frame in range(3):
                    alpha = sheet.crop((x0 + frame * w, y0, x0 + (frame + 1) * w,
                                        y0 + h)).getchannel("A")
                    with self.subTest(area=name, frame=frame):
                        self.assertGreaterEqual(solid_about(alpha, w // 2, h // 2), SOLID)
                        mx, my = 400 - x + w // 2, 120 - y + h // 2
                        if 0 <= mx < w and 0 <= my < h:
                            self.assertLess(alpha.getpixel((mx, my)), 127)

    def test_every_item_is_solid_about_its_centre_and_small(self):
        for path in ITEMS:
            _, image = made(path)
            with self.subTest(item=path):
                self.assertTrue(24 <= max(image.size) <= 48)
                self.assertGreaterEqual(solid_about(image.getchannel("A"), image.width // 2,
                                                    image.height // 2), SOLID)

    def test_the_fire_sheets_hold_four_frames_that_flicker(self):
        for path in ("scenes/crypt/brazier_fire_sheet.png", "scenes/crypt/hearth_fire_sheet.png"):
            _, sheet = made(path)
            self.assertEqual(sheet.size, (4 * 64, 96))
            frames = [sheet.crop((i * 64, 0, (i + 1) * 64, 96)).tobytes() for i in range(4)]
            self.assertEqual(len(set(frames)), 4, path)


if __name__ == "__main__":
    unittest.main()
