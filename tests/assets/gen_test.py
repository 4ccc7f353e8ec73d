# The asset generator's driver: bad input stops it before assets/ is touched, a second run changes
# nothing, and the files it writes carry nothing that would differ from one build to the next.
import os
import subprocess
import sys
import tempfile
import textwrap
import unittest

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
GEN = os.path.join(ROOT, "tools", "assetgen", "gen.py")
sys.dont_write_bytecode = True
sys.path.insert(0, os.path.dirname(GEN))

import formats  # noqa: E402

# JPEG pictures made with one channel.
GREY_JPEGS = {"story/bg.jpg"}


def run_gen(*args, env=None):
    command = [sys.executable, GEN] + list(args)
    packbuild = os.environ.get("MURKWELL_PACKBUILD")
    if packbuild:
        command += ["--packbuild", packbuild]
    movieenc = os.environ.get("MURKWELL_MOVIEENC")
    if movieenc:
        command += ["--movieenc", movieenc]
    return subprocess.run(command, stdout=subprocess.PIPE, stderr=subprocess.PIPE, env=env,
                          universal_newlines=True)


def snapshot(folder):
    """Every file below `folder` with its bytes' length and its modification time."""
    found = {}
    for base, _, names in os.walk(folder):
        for name in names:
            path = os.path.join(base, name)
            info = os.stat(path)
            found[os.path.relpath(path, folder)] = (info.st_size, info.st_mtime_ns)
    return found


class Scratch(unittest.TestCase):
    def setUp(self):
        self.temporary = tempfile.TemporaryDirectory(prefix="assetgen-test-")
        self.root = self.temporary.name
        self.out = os.path.join(self.root, "assets")
        self.stage = os.path.join(self.root, "stage")

    def tearDown(self):
        self.temporary.cleanup()

    def manifest(self, extra):
        path = os.path.join(self.root, "manifest.py")
        with open(path, "w") as out:
            out.write("from manifest import *\n" + textwrap.dedent(extra))
        return path


class BadInput(Scratch):
    CASES = {
        "unknown generator": (
            "ENTRIES = ENTRIES + [Entry('menu/extra.png', 'sunburst', size=(8, 8))]\n",
            [], "gen.py: menu/extra.png: unknown generator \"sunburst\"\n"),
        # The engine looks names up in lower case, so a difference in case is no difference.
        "duplicate path": (
            "ENTRIES = ENTRIES + [image('Menu/BG.jpg', 'menu_background', size=(8, 8))]\n",
            [], "gen.py: Menu/BG.jpg: duplicate output path (also menu/bg.jpg)\n"),
        "missing parameter": (
            "ENTRIES = ENTRIES + [image('ui/odd.png', 'button', size=(40, 20))]\n",
            ["--only", "ui/*"], "gen.py: ui/odd.png: button failed: missing parameter 'state'\n"),
        "description not XML": (
            "ENTRIES = ENTRIES + [Entry('menu/spin.anm', 'animation_xml', name='spin', "
            "image='spin.png', frames=2, frame=(4, 4))]\n",
            [], "gen.py: menu/spin.anm: a description is an .xml or a .txt file\n"),
        "missing encoder": (
            "", ["--only", "audio/*"],
            "gen.py: audio/1.ogg: encoder \"oggenc\" not found (Debian package vorbis-tools)\n"),
    }

    def test_each_fails_with_one_line_naming_the_entry_and_leaves_the_output_alone(self):
        os.makedirs(self.out)
        with open(os.path.join(self.out, "strings.xml"), "w") as keep:
            keep.write("<Workbook/>")
        before = snapshot(self.out)
        for label, (extra, args, message) in sorted(self.CASES.items()):
            with self.subTest(label):
                env = dict(os.environ)
                if label == "missing encoder":
                    env["PATH"] = self.root
                done = run_gen("--manifest", self.manifest(extra), "--out", self.out, "--stage",
                               self.stage, *args, env=env)
                self.assertEqual(done.returncode, 1)
                self.assertEqual(done.stderr, message)
                self.assertEqual(snapshot(self.out), before)


class Output(Scratch):
    def test_second_run_changes_no_time_stamp_and_outputs_are_free_of_varying_data(self):
        first = run_gen("--out", self.out, "--stage", self.stage, "--jobs", "2")
        self.assertEqual(first.returncode, 0, first.stderr)
        made = snapshot(self.out)
        self.assertIn("sound.qmp", made)
        again = run_gen("--out", self.out, "--stage", self.stage, "--jobs", "2")
        self.assertEqual(again.returncode, 0, again.stderr)
        self.assertEqual(snapshot(self.out), made)
        self.assertIn(": 0 made, 0 of %d files updated" % len(made), again.stdout)

        for path in sorted(made):
            with open(os.path.join(self.out, path), "rb") as source:
                data = source.read()
            if path.endswith(".png"):
                self.assertTrue(set(formats.png_chunks(data)) <= formats.PNG_CHUNKS, path)
            elif path.endswith(".jpg"):
                markers = formats.jpeg_markers(data)
                # Baseline (SOF0), never progressive (SOF2); no EXIF or other APP1 block.
                self.assertIn(0xC0, markers, path)
                self.assertNotIn(0xC2, markers, path)
                self.assertNotIn(0xE1, markers, path)
                with formats.open_image(os.path.join(self.out, path)) as image:
                    # The cut-scene's backdrop is the one grey (one-channel) picture.
                    if path in GREY_JPEGS:
                        self.assertEqual(image.layers, 1, path)
                        continue
                    self.assertEqual(image.layers, 3)
                    # 4:2:0: luma sampled 2x2 against the chroma's 1x1.
                    self.assertEqual(image.layer[0][1:3], (2, 2), path)

    def test_only_a_member_of_the_pack_still_makes_the_whole_pack(self):
        done = run_gen("--out", self.out, "--stage", self.stage, "--only", "audio/2.ogg",
                       "--jobs", "2")
        self.assertEqual(done.returncode, 0, done.stderr)
        self.assertEqual(sorted(snapshot(self.out)), ["sound.qmp"])
        self.assertEqual(sorted(os.listdir(os.path.join(self.stage, "packs", "sound.qmp",
                                                        "audio"))),
                         sorted("%d.ogg" % n for n in range(1, 32)))

    def test_only_matching_nothing_is_an_error(self):
        done = run_gen("--out", self.out, "--stage", self.stage, "--only", "nothing/*")
        self.assertEqual((done.returncode, done.stderr),
                         (1, "gen.py: --only nothing/*: no entry matches\n"))
        self.assertFalse(os.path.exists(self.out))


if __name__ == "__main__":
    unittest.main()
