# The Observatory's and the Crypt's pictures keep the screen points their location scripts and
# end-to-end runs click (the checks in location_art_support), and the fire sheets are four
# 64 x 96 frames that differ.
import unittest

import location_art_support as support

import crypt_scenes  # noqa: E402
import observatory  # noqa: E402

# Area, its scene's sheet and where the location places its centre.
AREAS = {
    "scenes/observatory/areas.png": {"desk": (300, 400), "scroll": (160, 320),
                                     "telescope": (560, 300), "eyepiece": (620, 180)},
    "scenes/crypt/areas.png": {"brazier": (620, 360), "altar": (400, 240), "vault": (160, 260),
                               "hearth": (300, 420)},
    "scenes/vault/areas.png": {"vaultcover": (400, 360)},
}
ITEMS = ("items/candle.png", "items/lens.png", "items/flint.png", "items/hearthstone.png")


class ObservatoryCryptArtTest(support.ClickPointChecks, unittest.TestCase):
    RECIPES = dict(observatory.RECIPES, **crypt_scenes.RECIPES)
    AREAS = AREAS
    ITEMS = ITEMS

    def test_the_fire_sheets_hold_four_frames_that_flicker(self):
        for path in ("scenes/crypt/brazier_fire_sheet.png", "scenes/crypt/hearth_fire_sheet.png"):
            _, sheet = support.made(path, self.RECIPES)
            self.assertEqual(sheet.size, (4 * 64, 96))
            frames = [sheet.crop((i * 64, 0, (i + 1) * 64, 96)).tobytes() for i in range(4)]
            self.assertEqual(len(set(frames)), 4, path)


if __name__ == "__main__":
    unittest.main()
