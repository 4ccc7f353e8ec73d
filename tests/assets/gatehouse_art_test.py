# The Gatehouse's pictures keep the screen points its location script and its end-to-end runs
# click (the checks in location_art_support), and its lit mask and lantern mesh agree.
import random
import unittest

import location_art_support as support

import gatehouse  # noqa: E402

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


class GatehouseArtTest(support.ClickPointChecks, unittest.TestCase):
    RECIPES = gatehouse.RECIPES
    AREAS = AREAS
    ITEMS = ITEMS
    SKIP_UNLISTED = True

    def test_the_lit_mask_is_grey_and_the_mesh_counts_match_its_bytes(self):
        _, mask = support.made("scenes/gatehouse/lit.mask.png", gatehouse.RECIPES)
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
