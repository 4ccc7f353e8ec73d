# The front end's pictures keep what the engine's use of them needs: the studio logo's shapes are
# tall enough to fly in, the rail pieces survive the slider's turning and stretching, and the
# animation description keeps its fixed layout.
import unittest

from location_art_support import made as made_with

import frontend  # noqa: E402
import manifest  # noqa: E402
import sheets  # noqa: E402
from PIL import Image  # noqa: E402


def made(path):
    """The picture of a manifest entry, drawn in this process as gen.py draws it."""
    return made_with(path, frontend.RECIPES)[1]


def shape_heights(alpha):
    """The row span of every 8-connected group of pixels with some cover."""
    w, h = alpha.size
    cover = alpha.load()
    seen = set()
    heights = []
    for y0 in range(h):
        for x0 in range(w):
            if cover[x0, y0] == 0 or (x0, y0) in seen:
                continue
            seen.add((x0, y0))
            stack, top, bottom = [(x0, y0)], y0, y0
            while stack:
                x, y = stack.pop()
                top, bottom = min(top, y), max(bottom, y)
                for nx in (x - 1, x, x + 1):
                    for ny in (y - 1, y, y + 1):
                        if 0 <= nx < w and 0 <= ny < h and cover[nx, ny] and \
                                (nx, ny) not in seen:
                            seen.add((nx, ny))
                            stack.append((nx, ny))
            heights.append(bottom - top + 1)
    return heights


class FrontEndArt(unittest.TestCase):
    def test_every_shape_of_the_studio_logo_is_at_least_five_rows_tall(self):
        logo = made("splash/studio.png")
        self.assertEqual((logo.mode, logo.size), ("RGBA", (320, 160)))
        heights = shape_heights(logo.getchannel("A"))
        self.assertTrue(heights)
        self.assertGreaterEqual(min(heights), 5)

    def test_rail_ends_read_the_same_either_way_round_and_middles_stretch_cleanly(self):
        for end in ("ui/rail_l.png", "ui/rail_r.png", "ui/vrail_t.png", "ui/vrail_b.png"):
            picture = made(end)
            self.assertEqual(picture.tobytes(),
                             picture.transpose(Image.FLIP_TOP_BOTTOM).tobytes(), end)
        for middle in ("ui/rail_m.png", "ui/vrail_m.png"):
            picture = made(middle)
            rows = {picture.crop((0, y, picture.width, y + 1)).tobytes()
                    for y in range(picture.height)}
            self.assertEqual(len(rows), 1, middle)

    def test_the_branding_folder_holds_one_picture_as_the_splash_shows_its_first(self):
        self.assertEqual([e.path for e in manifest.ENTRIES
                          if e.path.startswith("screenbranding/")],
                         ["screenbranding/project.png"])

    def test_animation_description_has_its_fixed_attribute_order_and_line_ends(self):
        text = sheets.animation_xml({"name": "f", "image": "f_sheet.png", "frames": 2,
                                     "frame": (3, 4)}, None)
        self.assertEqual(text, (
            '<sequence name="f" source="f_sheet.png">\n'
            ' <img regx="0" regy="0" w="6" h="4" name="f_sheet.png" mask=""/>\n'
            ' <framelist>\n'
            '  <frame x="0" y="0" w="3" h="4" name="f0" alpha="1"/>\n'
            '  <frame x="3" y="0" w="3" h="4" name="f1" alpha="1"/>\n'
            ' </framelist>\n'
            '</sequence>\n'))


if __name__ == "__main__":
    unittest.main()
