# The Gatehouse's pictures keep the screen points its location script and its end-to-end runs
# click: every area and item is solid over 16 x 16 pixels about its point, so small changes to the
# art keep the hits, and the point kept for deliberate misses, (400, 120), hits no area of any
# scene.
import os
import random
import sys
import unittest

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
sys.dont_write_bytecode = True
sys.path.insert(0, os.path.join(ROOT, "tools", "assetgen"))

import gatehouse  # noqa: E402
import manifest  # noqa: E402

# Area, its scene's sheet and where the location places its centre.
AREAS = {
    "scenes/gatehouse/areas.png": {"door": (550, 270), "doorway": (550, 270),
                                   "keeper": (120, 310), "lamp_oil": (330, 330),
                                   "lamp_glass": (330, 282), "lamp_wick": (330, 246)},
    "scenes/storeroom/areas.png": {"cabinet": (640, 250), "back_left": (30, 300)},
    "scenes/lockpanel/areas.png": {"back_bottom": (400, 480)},
}
ITEMS = ("items/key_half1.png", "items/key_half2.png", "items/oilcan.png",
         "items/lampglass.png", "items/wick.png")
SOLID = 200


def made(path):
    entry = next(e for e in manifest.ENTRIES if e.path == path)
    return entry, gatehouse.RECIPES[entry.generator](entry.params, random.Random(entry.seed))


def solid_about(alpha, cx, cy):
    """The weakest alpha of the 16 x 16 block about (cx, cy)."""
    return min(alpha.getpixel((x, y)) for x in range(cx - 8, cx + 8) for y in range(cy - 8, cy + 8))


class GatehouseArtTest(unittest.TestCase):
    def test_every_area_is_solid_about_its_point_and_the_miss_point_hits_none(self):
        for sheet_path, areas in AREAS.items():
            entry, sheet = made(sheet_path)
            w, h = entry.params["frame"]
            # The engine refuses a texture over 1024 pixels a side.
            self.assertTrue(max(sheet.size) <= 1024, sheet_path)
            for index, name in enumerate(entry.params["areas"]):
                if name not in areas:
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
        for path in ITEMS:
            _, image = made(path)
            with self.subTest(item=path):
                self.assertTrue(24 <= max(image.size) <= 48)
                self.assertGreaterEqual(solid_about(image.getchannel("A"), image.width // 2,
                                                    image.height // 2), SOLID)

    def test_the_lit_mask_is_grey_and_the_mesh_counts_match_its_bytes(self):
        _, mask = made("scenes/gatehouse/lit.mask.png")
        self.assertEqual((mask.mode, mask.size), ("L", (800, 600)))
        mesh = gatehouse.lantern_mesh({}, random.Random(0))
        vertices = int.from_bytes(mesh[4:6], "little")
        triangles = int.from_bytes(mesh[6:8], "little")
        self.assertEqual(mesh[:4], b"TRIS")
        self.assertEqual(len(mesh), 8 + vertices * 16 + triangles * 6)
        indices = [int.from_bytes(mesh[at:at + 2], "little")
                   for at in range(8 + vertices * 16, len(mesh), 2)]
        self.assertLess(max(indices), vertices)


if __name__ == "__main__":
    unittest.main()
