# What the locations' art tests share: the generator's pictures as the build makes them, and the
# checks that keep the screen points the location scripts and end-to-end runs click: every area
# and item is solid over 16 x 16 pixels about its point, and the point kept for misses,
# (400, 120), hits no area of any scene.
import os
import random
import sys

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
sys.dont_write_bytecode = True
sys.path.insert(0, os.path.join(ROOT, "tools", "assetgen"))

import gatehouse  # noqa: E402
import manifest  # noqa: E402

SOLID = 200


def made(path, recipes):
    entry = next(e for e in manifest.ENTRIES if e.path == path)
    return entry, recipes[entry.generator](entry.params, random.Random(entry.seed))


def solid_about(alpha, cx, cy, half=8):
    """The weakest alpha of the square of 2 * `half` pixels about (cx, cy)."""
    return min(alpha.getpixel((x, y)) for x in range(cx - half, cx + half)
               for y in range(cy - half, cy + half))


class ClickPointChecks:
    """Mixed into a test case that names its RECIPES, AREAS (sheet -> area -> centre) and ITEMS;
    areas a sheet holds but AREAS leaves out are skipped only where SKIP_UNLISTED is set."""

    SKIP_UNLISTED = False

    def test_every_area_is_solid_about_its_point_and_the_miss_point_hits_none(self):
        for sheet_path, areas in self.AREAS.items():
            entry, sheet = made(sheet_path, self.RECIPES)
            w, h = entry.params["frame"]
            # The engine refuses a texture over 1024 pixels a side.
            self.assertTrue(max(sheet.size) <= 1024, sheet_path)
            for index, name in enumerate(entry.params["areas"]):
                if self.SKIP_UNLISTED and name not in areas:
                    continue
                x, y = areas[name]
                x0, y0 = gatehouse.area_place(entry.params, index)
                for frame in range(3):
                    cell = sheet.crop((x0 + frame * w, y0, x0 + (frame + 1) * w, y0 + h))
                    alpha = cell.getchannel("A")
                    with self.subTest(area=name, frame=frame):
                        self.assertGreaterEqual(solid_about(alpha, w // 2, h // 2), SOLID)
                        # (400, 120) in the cell's own pixels, when the cell reaches it.
                        mx, my = 400 - x + w // 2, 120 - y + h // 2
                        if 0 <= mx < w and 0 <= my < h:
                            self.assertLess(alpha.getpixel((mx, my)), 127)

    def test_every_item_is_solid_about_its_centre_and_small(self):
        for path in self.ITEMS:
            _, image = made(path, self.RECIPES)
            with self.subTest(item=path):
                self.assertTrue(24 <= max(image.size) <= 48)
                self.assertGreaterEqual(solid_about(image.getchannel("A"), image.width // 2,
                                                    image.height // 2), SOLID)
