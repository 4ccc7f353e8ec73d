# Every file the generator makes, one declarative entry each: output path below assets/, generator
# name, parameters. Each entry's random seed comes from its path through CRC-32 (never hash(), which
# Python salts per process), so an entry's output depends on nothing but the entry.
import math
import os
import re
import zlib


def seed_of(path):
    return zlib.crc32(path.encode("utf-8")) & 0xFFFFFFFF


class Entry:
    """One output file. `pack` names the pack entry whose staging folder the file goes into instead
    of assets/ itself."""

    def __init__(self, path, generator, pack=None, **params):
        self.path = path
        self.generator = generator
        self.pack = pack
        self.params = params
        self.seed = seed_of(path)

    def __repr__(self):
        return "Entry(%r, %r)" % (self.path, self.generator)


SOUND_PACK = "sound.qmp"


def sound(number, name, generator, seconds, loop=False, channels=1, rate=22050, quality=3,
          **params):
    """A sound of the table in audio/snd.txt: "audio/N.ogg" inside the sound pack. Short effects
    are mono 22.05 kHz; `quality` is oggenc's -q."""
    return Entry("audio/%d.ogg" % number, generator, pack=SOUND_PACK, number=number, name=name,
                 seconds=seconds, loop=loop, channels=channels, rate=rate, quality=quality,
                 **params)


# The labels of assets/strings.xml with their texts, for the voices' lengths.
STRINGS = os.path.join(os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(
    __file__)))), "assets", "strings.xml")


def _texts():
    with open(STRINGS, encoding="utf-8") as f:
        rows = re.findall(r'<Data ss:Type="String">([^<]*)</Data></Cell>\s*'
                          r'<Cell><Data ss:Type="String">([^<]*)</Data>', f.read())
    return dict(rows)


TEXTS = _texts()


def reading_seconds(label):
    """How long a line stays to be read: 65 ms a character, never under 2.5 s; a tenth of a second
    more so that the encoder's rounding cannot bring it under."""
    return round(max(2.5, math.ceil(len(TEXTS[label]) * 0.65) / 10.0) + 0.1, 1)


def voice(number, name, label, pitch=105.0):
    """A speaker's voice for the line `label`: a murmur as long as the line takes to read, about
    four syllables a second."""
    seconds = reading_seconds(label)
    return sound(number, name, "murmur", seconds, pitch=pitch, syllables=int(seconds * 4))


def image(path, generator, **params):
    return Entry(path, generator, **params)


SOUNDS = [
    sound(1, "click", "tick", 0.06, clicks=(0.0,)),
    sound(2, "hover", "blip", 0.08, freq=880.0),
    # The menu music is the one stereo 44.1 kHz sound, so the mixer's stereo path runs in the game.
    sound(3, "music_menu", "music", 10.0, loop=True, channels=2, rate=44100, quality=0,
          beats=16, root=220.0, chords=(0, 3, 4, 2)),
    sound(4, "music_gatehouse", "music", 12.0, loop=True, quality=0, beats=16, root=146.83,
          chords=(0, 2, 3, 4), pad_attack=1.2, ring=0.8),
    sound(5, "music_observatory", "music", 10.0, loop=True, quality=0, beats=16, root=164.81,
          chords=(0, 1, 3, 4), rhythm=(1.0, 1.0, 2.0), ring=0.9),
    sound(6, "music_crypt", "music", 9.6, loop=True, quality=0, beats=12, root=130.81,
          chords=(0, 1, 3), pad_attack=1.5, rest=0.4, ring=1.0),
    sound(7, "music_puzzle", "music", 8.0, loop=True, quality=0, beats=16, root=196.0,
          chords=(0, 3, 4, 2), rhythm=(0.5, 0.5, 1.0), rest=0.15, ring=0.4),
    sound(8, "logo", "bell", 1.2, root=392.0, chord=(0, 4, 7, 12)),
    sound(9, "item_found", "chime", 0.4, notes=(784.0, 1174.66), gap=0.12),
    sound(10, "appear", "pluck", 0.3, freq=523.25),
    sound(11, "equip", "pluck", 0.2, freq=392.0, damping=0.99, tone=3000),
    sound(12, "use", "pluck", 0.25, freq=293.66, damping=0.993),
    sound(13, "miss", "thud", 0.15),
    sound(14, "hint", "shimmer", 0.8, freqs=(1318.5, 1760.0, 2217.5, 2637.0)),
    sound(15, "door", "creak", 0.7, low=38.0, high=95.0),
    sound(16, "lock_click", "tick", 0.1, clicks=(0.0, 0.045), cutoff=2500, body=2400),
    sound(17, "stone_turn", "grind", 0.6),
    sound(18, "crystal", "ping", 0.5, freq=1567.98),
    sound(19, "page", "swish", 0.3, low=900.0, high=5000.0),
    sound(20, "film", "rattle", 2.0, loop=True, clicks=18),
    # Each spoken line has a voice of its own, as long as the line takes to read: a conversation's
    # bubble and a cut-scene's speech bubble last as long as their voices.
    voice(21, "voice_odo_1", "conv_odo_1"),
    sound(22, "wind", "wind", 4.0, loop=True, low=250.0, high=1100.0),
    sound(23, "thunder", "rumble", 2.0),
    sound(24, "travel", "lapping", 1.5),
    sound(25, "whoosh", "swish", 0.5, low=300.0, high=3500.0, sharpness=2.5),
    sound(26, "music_map", "music", 11.2, loop=True, quality=0, beats=16, root=174.61,
          chords=(0, 2, 3, 4), ring=0.7),
    voice(27, "voice_odo_2", "conv_odo_2"),
    voice(28, "voice_odo_keeper", "conv_odo_keeper"),
    voice(29, "voice_odo_thanks", "conv_odo_thanks"),
    voice(30, "voice_story_1", "story_line1", pitch=120.0),
    voice(31, "voice_story_2", "story_line2", pitch=120.0),
]

IMAGES = [
    image("menu/bg.jpg", "menu_background", size=(800, 600)),
    image("menu/logo.png", "logo", size=(480, 160)),
    image("ui/button_n.png", "button", size=(220, 44), state="normal"),
    image("ui/button_p.png", "button", size=(220, 44), state="pressed"),
    image("ui/button_h.png", "button", size=(220, 44), state="hover"),
    image("ui/button_d.png", "button", size=(220, 44), state="disabled"),
    image("cursor/pointer.png", "pointer", size=(32, 32)),
    image("cursor/pointer_soft.png", "pointer_soft", size=(32, 32)),
]


def animation(path, sheet, generator, name, frames, frame, centre=False, **params):
    """An animated texture: the frame sheet at `sheet` and its XML description at `path`, beside
    it, both from the same layout; with `centre` the frames are registered at their middles."""
    return [description(path, sheet, name, frames, frame, centre),
            Entry(sheet, generator, frames=frames, frame=frame, **params)]


def description(path, sheet, name, frames, frame, centre=False, **layout):
    """The XML description of (a row of) a frame sheet made by another entry."""
    folder, _, image_name = sheet.rpartition("/")
    assert path.rpartition("/")[0] == folder, "the description lies beside its sheet"
    extra = dict(layout, centre=True) if centre else layout
    return Entry(path, "animation_xml", name=name, image=image_name, frames=frames, frame=frame,
                 **extra)


def states(pattern, generator, **params):
    """The normal, pressed and rollover pictures of a control: `pattern` % "n", "p", "h"."""
    return [image(pattern % letter, generator, state=state, **params)
            for letter, state in (("n", "normal"), ("p", "pressed"), ("h", "hover"))]


# The front end: splash stages, the menu's flame, particle textures, the options and profile
# controls, dialog faces, the credits and the cross-sell page's marks.
FRONT_END = [
    image("splash/card.jpg", "card", size=(800, 600)),
    image("splash/studio.png", "studio_logo", size=(320, 160)),
    image("splash/studio_bg.jpg", "studio_background", size=(800, 600)),
    # The splash shows the first file of this folder: it holds this one only.
    image("screenbranding/project.png", "branding", size=(640, 200)),
    *animation("menu/flame.xml", "menu/flame_sheet.png", "flame_sheet", name="flame", frames=4,
               frame=(48, 64), heights=(44, 40, 47, 42), sways=(-3, 2, 4, -1)),
    image("fx/spark.png", "spark", size=(16, 16)),
    image("fx/puff.png", "puff", size=(32, 32)),
    *states("ui/check_%s.png", "check", size=(32, 32)),
    *states("ui/check_on_%s.png", "check", size=(32, 32), on=True),
    *states("ui/row_%s.png", "row", size=(300, 36)),
    *states("ui/row_on_%s.png", "row", size=(300, 36), on=True),
    # Rail pictures stand upright (width across the rail): the engine turns them for a horizontal
    # rail and stretches the middle along it. The ends read the same either way round.
    image("ui/rail_l.png", "rail_end", size=(16, 10)),
    image("ui/rail_m.png", "rail_middle", size=(10, 4)),
    image("ui/rail_r.png", "rail_end", size=(16, 10)),
    image("ui/vrail_t.png", "rail_end", size=(16, 10)),
    image("ui/vrail_m.png", "rail_middle", size=(10, 4)),
    image("ui/vrail_b.png", "rail_end", size=(16, 10)),
    *states("ui/thumb_%s.png", "thumb", size=(24, 24)),
    *states("ui/up_%s.png", "arrow_button", size=(32, 32), direction="up"),
    *states("ui/down_%s.png", "arrow_button", size=(32, 32), direction="down"),
    image("dialogs/dialog.png", "dialog", size=(420, 280)),
    image("dialogs/small.png", "dialog", size=(360, 200)),
    image("dialogs/field.png", "field", size=(304, 36)),
    image("dialogs/panel.png", "dialog", size=(520, 420)),
    image("dialogs/wax_streak.png", "wax_streak", size=(8, 64)),
    image("dialogs/wax_drop.png", "wax_drop", size=(12, 16)),
    image("credits/bg.jpg", "credits_background", size=(800, 600)),
    image("credits/ornament.png", "ornament", size=(256, 64)),
    image("xsell/logo.png", "xsell_logo", size=(160, 96)),
    image("xsell/brand.png", "xsell_brand", size=(96, 96)),
]

# The scene's HUD: its bar, front, progress bar and hint background, the strip's arrows and the
# journal and pause buttons; the tutorial prompt's arrow and dialog.
HUD = [
    image("hud/bar.png", "hud_bar", size=(800, 100)),
    image("hud/bar_fg.png", "hud_bar_front", size=(800, 100)),
    image("hud/progress.png", "hud_progress", size=(200, 12)),
    image("hud/hintbg.png", "hud_hint_background", size=(800, 100)),
    *states("hud/arrow_l_%s.png", "hud_button", size=(24, 48), mark="left"),
    *states("hud/arrow_r_%s.png", "hud_button", size=(24, 48), mark="right"),
    *states("hud/journal_%s.png", "hud_button", size=(48, 48), mark="book"),
    *states("hud/pause_%s.png", "hud_button", size=(40, 40), mark="pause"),
    # The parts bars of the inventory objects: the framework's frame and fill pieces, and the
    # game's slots, empty and filled in each hint character's colour.
    image("hud/frame_l.png", "bar_piece", size=(8, 10), colours=((120, 84, 40), (44, 30, 16))),
    image("hud/frame_c.png", "bar_piece", size=(8, 10), colours=((96, 66, 32), (44, 30, 16))),
    image("hud/frame_r.png", "bar_piece", size=(8, 10), colours=((120, 84, 40), (44, 30, 16))),
    image("hud/fill_l.png", "bar_piece", size=(8, 10), colours=((255, 222, 150), (255, 178, 74))),
    image("hud/fill_c.png", "bar_piece", size=(8, 10), colours=((255, 222, 150), (255, 178, 74))),
    image("hud/fill_r.png", "bar_piece", size=(8, 10), colours=((255, 222, 150), (255, 178, 74))),
    image("hud/fill_empty.png", "bar_piece", size=(8, 10), colours=((30, 24, 18), (14, 10, 8))),
    image("hud/fill_thessalor.png", "bar_piece", size=(8, 10),
          colours=((150, 190, 255), (40, 60, 120))),
    image("hud/fill_lirae.png", "bar_piece", size=(8, 10),
          colours=((255, 222, 150), (120, 84, 40))),
    # The hint medallions (Thessalor's row, then Lirae's, eight frames of a spin each), their
    # trackers and the light ray of Thessalor's hint.
    Entry("hud/medallions.png", "medallion_sheet", frames=8, frame=(72, 72)),
    description("hud/medallion_t.xml", "hud/medallions.png", "medallion_t", 8, (72, 72),
                centre=True, row=0, rows=2),
    description("hud/medallion_l.xml", "hud/medallions.png", "medallion_l", 8, (72, 72),
                centre=True, row=1, rows=2),
    *animation("hud/tracker_t.xml", "hud/tracker_t.png", "tracker_sheet", name="tracker_t",
               frames=2, frame=(20, 20), centre=True, character="thessalor"),
    *animation("hud/tracker_l.xml", "hud/tracker_l.png", "tracker_sheet", name="tracker_l",
               frames=2, frame=(20, 20), centre=True, character="lirae"),
    image("fx/ray.png", "ray", size=(64, 256)),
    image("tutorial/arrow.png", "tutorial_arrow", size=(48, 48)),
    image("tutorial/dialog.png", "tutorial_dialog", size=(320, 120)),
]

# The development location: two backdrops, its cursor, the door and chest sheets (hilight, active
# and, for the chest, completed frames) with their masks, the glow over the chest, the key as an
# item and as an object, the guide of the second scene's greeting and its bubble, and the penalty's
# path.
DEV = [
    image("dev/bg_a.png", "dev_background", size=(800, 600), top=(70, 110, 160)),
    image("dev/bg_b.png", "dev_background", size=(800, 600), top=(150, 90, 60)),
    image("dev/cursor.png", "dev_cursor", size=(32, 32)),
    *animation("dev/door.xml", "dev/door_sheet.png", "dev_area_sheet", name="door", frames=2,
               frame=(100, 200), kind="door"),
    image("dev/door_mask.png", "dev_area_mask", size=(100, 200)),
    *animation("dev/chest.xml", "dev/chest_sheet.png", "dev_area_sheet", name="chest", frames=3,
               frame=(120, 100), kind="chest"),
    image("dev/chest_mask.png", "dev_area_mask", size=(120, 100)),
    image("dev/glow.png", "dev_glow", size=(120, 120)),
    # The key: an item of the first scene and the object it completes, each with its mask.
    *animation("dev/item_key.xml", "dev/item_key_sheet.png", "dev_item_sheet", name="item_key",
               frames=2, frame=(48, 48)),
    image("dev/item_key_mask.png", "dev_area_mask", size=(48, 48)),
    # Registered at its centre, where the strip places an object.
    Entry("dev/key.xml", "animation_xml", name="key", image="key_sheet.png", frames=3,
          frame=(64, 64), centre=True),
    Entry("dev/key_sheet.png", "dev_key_sheet", frames=3, frame=(64, 64)),
    image("dev/key_mask.png", "dev_area_mask", size=(64, 64)),
    # The guide who greets the player in the second scene, and the bubble of its line.
    image("dev/guide.png", "dev_guide", size=(160, 240)),
    image("dev/bubble.png", "dev_bubble", size=(320, 100)),
    # The miss-click penalty's cursor shakes about the mouse.
    Entry("dev/crazy_path.txt", "path_text",
          points=[(0, 0), (12, -8), (-10, 6), (14, 10), (-12, -10), (8, 12), (0, 0)]),
]

# The journal: its page, the picture on its left leaf, its close button.
JOURNAL = [
    image("journal/page.png", "journal_page", size=(600, 440)),
    # Each location's own picture on the left leaf.
    image("journal/left.png", "journal_left", size=(200, 300)),
    image("journal/left_observatory.png", "journal_left", size=(200, 300), place="observatory"),
    image("journal/left_crypt.png", "journal_left", size=(200, 300), place="crypt"),
    *states("journal/close_%s.png", "journal_close", size=(32, 32)),
]

# The cut-scene: the strip, the cells' aged look, both cells' layers with their sepia twins, the
# bubble and the drops.
def layer(stem, scene, size):
    """A layer and its sepia twin, drawn from one seed so that the two match."""
    live = "story/%s.png" % stem
    return [image(live, "story_layer", size=size, scene=scene, seed=seed_of(live)),
            image("story/%s_sepia.png" % stem, "story_layer", size=size, scene=scene, sepia=True,
                  seed=seed_of(live))]


STORY = [
    image("story/bg.jpg", "story_background", size=(800, 600)),
    image("story/filmdot.png", "story_film_dot", size=(16, 12)),
    image("story/filler.png", "story_filler", size=(600, 400)),
    image("story/trim.png", "story_trim", size=(600, 400)),
    image("story/overlay.png", "story_overlay", size=(600, 400)),
    image("story/gradient.png", "story_gradient", size=(600, 400)),
    image("story/static0.png", "story_static", size=(600, 400), count=500),
    image("story/static1.png", "story_static", size=(600, 400), count=300),
    image("story/blotches.png", "story_blotches", frame=(64, 64), frames=3),
    Entry("story/blotches.anm", "story_packed_animation", name="blotches", image="blotches.png",
          frame=(64, 64), frames=3),
    *layer("c1_bg", "gatehouse", (600, 400)),
    *layer("c1_lamp", "lamp", (80, 120)),
    *layer("c2_bg", "fen_path", (600, 400)),
    *layer("c2_thief", "thief", (60, 120)),
    image("story/bubble.png", "story_bubble", size=(220, 80)),
    image("story/drip.png", "story_drip", size=(6, 60)),
    image("story/drop.png", "story_drop", size=(10, 14)),
]

# The title card's film: the card's 1.5 s as 36 frames at 24 a second, with a soft swell of sound
# and the game's name as its caption.
MOVIES = [
    Entry("movies/intro.ogv", "intro", size=(400, 300), fps=24, frames=36, seconds=1.5, rate=22050,
          comments=(("TEXTVARNAMES", "windowtitle;"),)),
]

# The travel map: the large map (the one JPEG 2000 picture), the dot (a palette PNG with a
# transparent entry), the two legs' routes and pictures, the boat's water and reeds, the flash and
# the boat, whose description is stored packed. The legs are the large map zoomed about the place
# travelled to, so they are made from its seed; the routes join the places as the legs show them.
LARGE_MAP = "map/large.jp2"
MAP = [
    image(LARGE_MAP, "map_large", size=(1024, 768)),
    image("map/dot.png", "map_dot", size=(16, 16)),
    image("map/route1.png", "map_route", size=(422, 184)),
    image("map/route2.png", "map_route", size=(296, 184)),
    image("map/leg1.jpg", "map_leg", size=(800, 600), centre=(520, 300),
          seed=seed_of(LARGE_MAP)),
    image("map/leg2.jpg", "map_leg", size=(800, 600), centre=(720, 180),
          seed=seed_of(LARGE_MAP)),
    image("map/fen_back.png", "fen_back", size=(800, 300)),
    image("map/fen_front.png", "fen_front", size=(800, 200)),
    image("map/flash.png", "map_flash", size=(800, 600)),
    Entry("map/boat.xml", "animation_zxml", name="boat", image="boat.png", frames=2, frame=(96, 64)),
    image("map/boat.png", "boat_sheet", frames=2, frame=(96, 64)),
]

# The Gatehouse (the first location): its scenes, the lamp-lit overlay with its grey mask, the
# areas' sheets (a row of hilight, active and completed frames per area, one sheet per scene,
# each frame registered at its middle), the items and the inventory objects, the conversation's
# pictures, the locations' cursors, the hints' pulse and spotlight, the lantern of the keeper's
# portal cursor.
def area_sheet(sheet, names, cell, perrow):
    """A scene's area sheet (`perrow` areas of three frames to a row of it), each area's
    description over it and each area's hit mask (the engine reads an area's picture name as a
    plain picture for its mask)."""
    w, h = cell
    size = (w * 3 * min(perrow, len(names)), h * ((len(names) + perrow - 1) // perrow))
    entries = [Entry(sheet, "area_sheet", frame=cell, areas=names, perrow=perrow)]
    for index, name in enumerate(names):
        x, y = (index % perrow) * 3 * w, (index // perrow) * h
        entries += [Entry("areas/%s.xml" % name, "centred_xml", name=name, image=sheet, frames=3,
                          frame=cell, x=x, y=y, sheet=size),
                    image("areas/%s.png" % name, "area_mask", frame=cell, area=name)]
    return entries


GATEHOUSE_OBJECTS = ("gatekey", "oilcan", "lampglass", "wick", "candle", "lens", "flint",
                     "hearthstone")
CURSORS = ("arrow", "grab", "hand", "look", "hint", "handopen", "handclosed", "crazy")

GATEHOUSE = [
    image("scenes/gatehouse/bg.jpg", "gatehouse_background", size=(800, 600)),
    image("scenes/gatehouse/door.png", "gatehouse_door", size=(140, 260)),
    image("scenes/gatehouse/lit.jpg", "gatehouse_lit", size=(800, 600)),
    image("scenes/gatehouse/lit.mask.png", "gatehouse_lit_mask", size=(800, 600)),
    *area_sheet("scenes/gatehouse/areas.png",
                ("door", "doorway", "keeper", "lamp_oil", "lamp_glass", "lamp_wick"), (160, 280),
                2),
    image("scenes/storeroom/bg.jpg", "storeroom_background", size=(800, 600)),
    image("scenes/storeroom/cabinet_open.png", "storeroom_cabinet_open", size=(184, 264)),
    *area_sheet("scenes/storeroom/areas.png", ("cabinet", "back_left"), (200, 300), 1),
    image("scenes/lockpanel/bg.jpg", "lockpanel_background", size=(800, 600)),
    *area_sheet("scenes/lockpanel/areas.png", ("back_bottom",), (320, 80), 1),
    # An item is drawn as an animated texture (a one-frame description registered at its middle)
    # and hit through its picture read plainly.
    *[entry for name, size, params in (
        ("key_half1", (40, 40), dict(object="gatekey", part=1)),
        ("key_half2", (40, 40), dict(object="gatekey", part=2)),
        ("oilcan", (44, 44), dict(object="oilcan")),
        ("lampglass", (40, 44), dict(object="lampglass")),
        ("wick", (32, 40), dict(object="wick")))
      for entry in (image("items/%s.png" % name, "item", size=size, **params),
                    Entry("items/%s.xml" % name, "centred_xml", name=name,
                          image="%s.png" % name, frames=1, frame=size, sheet=size))],
    Entry("inventory/objects.png", "object_sheet", frame=(64, 48)),
    *[Entry("inventory/%s.xml" % name, "centred_xml", name=name, image="objects.png",
            frames=4 if name == "gatekey" else 3, frame=(64, 48), y=48 * row, sheet=(256, 384))
      for row, name in enumerate(GATEHOUSE_OBJECTS[:4])],
    # The objects' hit masks, read as plain pictures of the objects' names.
    *[image("inventory/%s.png" % name, "object_mask", frame=(64, 48), object=name)
      for name in GATEHOUSE_OBJECTS[:4]],
    image("conversation/odo.png", "odo_portrait", size=(260, 400)),
    image("conversation/bubble.png", "bubble", size=(360, 120)),
    # The conversation's scrim lies at the screen's top left, unscaled: it covers the whole screen
    # (an 8 x 8 one darkened a square in the corner and nothing else).
    image("conversation/scrim.png", "scrim", size=(800, 600)),
    *[image("cursor/%s.png" % kind, "cursor", size=(32, 32), kind=kind) for kind in CURSORS],
    Entry("cursor/wait_sheet.png", "wait_sheet", frames=4, frame=(32, 32)),
    Entry("cursor/wait.anm", "story_packed_animation", name="wait", image="wait_sheet.png",
          frame=(32, 32), frames=4),
    image("hud/pulse.png", "pulse", size=(64, 64)),
    image("hint/lirae_spot.png", "lirae_spot", size=(256, 256)),
    image("models/lantern.png", "lantern_texture", size=(64, 64)),
    Entry("models/lantern.mesh", "lantern_mesh"),
]

# The Observatory and the Crypt (the second and third locations): their scenes, the candle on the
# desk, the fires, the vault's slab, the areas' sheets (made by their own recipes, laid out as the
# Gatehouse's), the puzzle scenes' stand-in panel, the items, and the descriptions and masks of
# the last four inventory objects on the shared object sheet.
def location_area_sheet(sheet, recipe, names, cell, perrow):
    """`area_sheet` drawn by the `recipe`_area_sheet and `recipe`_area_mask recipes."""
    entries = area_sheet(sheet, names, cell, perrow)
    for entry in entries:
        entry.generator = {"area_sheet": recipe + "_area_sheet",
                           "area_mask": recipe + "_area_mask"}.get(entry.generator,
                                                                    entry.generator)
    return entries


def found_items(names):
    return [entry for name, size in names
            for entry in (image("items/%s.png" % name, "found_item", size=size, object=name),
                          Entry("items/%s.xml" % name, "centred_xml", name=name,
                                image="%s.png" % name, frames=1, frame=size, sheet=size))]


OBSERVATORY_CRYPT = [
    image("scenes/observatory/bg.jpg", "observatory_background", size=(800, 600)),
    image("scenes/observatory/candle.png", "observatory_candle", size=(160, 160)),
    *location_area_sheet("scenes/observatory/areas.png", "observatory",
                         ("desk", "scroll", "telescope", "eyepiece"), (240, 200), 1),
    image("scenes/scrolldesk/bg.jpg", "scrolldesk_background", size=(800, 600)),
    image("scenes/crypt/bg.jpg", "crypt_background", size=(800, 600)),
    *animation("scenes/crypt/brazier_fire.xml", "scenes/crypt/brazier_fire_sheet.png",
               "crypt_fire_sheet", name="brazier_fire", frames=4, frame=(64, 96), centre=True),
    *animation("scenes/crypt/hearth_fire.xml", "scenes/crypt/hearth_fire_sheet.png",
               "crypt_fire_sheet", name="hearth_fire", frames=4, frame=(64, 96), centre=True),
    *location_area_sheet("scenes/crypt/areas.png", "crypt",
                         ("brazier", "altar", "vault", "hearth"), (220, 220), 1),
    image("scenes/altar/bg.jpg", "altar_background", size=(800, 600)),
    image("scenes/vault/bg.jpg", "vault_background", size=(800, 600)),
    image("scenes/vault/slab.png", "vault_slab", size=(328, 188)),
    *location_area_sheet("scenes/vault/areas.png", "vault", ("vaultcover",), (336, 196), 1),
    *found_items((("candle", (32, 44)), ("lens", (40, 40)), ("flint", (40, 40)),
                  ("hearthstone", (44, 40)))),
    *[Entry("inventory/%s.xml" % name, "centred_xml", name=name, image="objects.png", frames=3,
            frame=(64, 48), y=48 * row, sheet=(256, 384))
      for row, name in enumerate(GATEHOUSE_OBJECTS) if row >= 4],
    *[image("inventory/%s.png" % name, "object_mask", frame=(64, 48), object=name)
      for name in GATEHOUSE_OBJECTS[4:]],
]

# The puzzle scenes' pictures: the electronic lock's key, three frames of 64 x 64 (unlit, unused,
# lit) registered at their middles, which the lock's script places on the panel's sockets.
PUZZLES = [
    # The band under each puzzle scene's instruction line, at the screen's top.
    image("puzzles/band.png", "instruction_band", size=(720, 34)),
    *animation("puzzles/lockbtn.xml", "puzzles/lockbtn.png", "lock_key_sheet", name="lockbtn",
               frames=3, frame=(64, 64), centre=True),
    # The star scroll: progress buttons (frame 0 lit, 1 unlit), the lens and its glows, and the
    # hidden symbols at exactly 512 x 256, the size the lens's texture slide divides by.
    # One progress button a place in the order, each with its symbol.
    *[entry for place in range(1, 6) for entry in animation(
        "puzzles/scrollbtn%d.xml" % place, "puzzles/scrollbtn%d.png" % place,
        "scroll_button_sheet", name="scrollbtn%d" % place, frames=2, frame=(40, 40),
        centre=True, shape=place - 1)],
    image("puzzles/glow.png", "scroll_glow", size=(24, 24)),
    image("puzzles/lens.png", "scroll_lens", size=(160, 160)),
    image("puzzles/symbols.png", "scroll_symbols", size=(512, 256)),
    # The night sky at exactly 1024 x 512 (the lens's slide divides by it), its lens and plates,
    # the constellations' sheet (a row each, described one by one) and the layers that show them
    # once found.
    image("puzzles/sky.jpg", "heavens_sky", size=(1024, 512)),
    image("scenes/telescope/frame.png", "telescope_frame", size=(800, 600)),
    image("puzzles/heavens_lens.png", "heavens_lens", size=(176, 176)),
    image("puzzles/plate.png", "heavens_plate", size=(20, 20)),
    Entry("puzzles/const.png", "constellation_sheet", frames=4, frame=(128, 96)),
    *[description("puzzles/const_%d.xml" % (row + 1), "puzzles/const.png", "const_%d" % (row + 1),
                  4, (128, 96), row=row, rows=5) for row in range(5)],
    *[image("puzzles/%s.png" % name, "constellation_layer", index=row)
      for row, name in enumerate(("pisces", "gemini", "leo", "scorpio", "draco"))],
]

# Lirae's hint minigame: the board's backdrop and frame, the glyphs, the timer, the ghost view's
# 16-bit grey mask, and the buttons of the board and its dialogs.
HINT = [
    image("hint/lirae_bg.jpg", "lirae_background", size=(800, 600)),
    image("hint/lirae_fg.png", "lirae_front", size=(800, 600), board=475),
    *animation("hint/glyphs.xml", "hint/glyphs.png", "lirae_glyphs", name="glyphs", frames=6,
               frame=(64, 64), centre=True),
    image("hint/hand.png", "lirae_hand", size=(8, 48), hub=40),
    image("hint/dial.png", "lirae_dial", size=(80, 80)),
    image("hint/ghostmask.png", "lirae_ghost_mask", size=(800, 600)),
    *states("hint/help_%s.png", "hud_button", size=(40, 40), mark="book"),
    *states("hint/exit_%s.png", "journal_close", size=(32, 32)),
    *states("hint/ok_%s.png", "hud_button", size=(40, 40), mark="right"),
]

# Thessalor's hint minigame: the board's backdrop and the mask of its reading window (the dial,
# hand and buttons are Lirae's).
HINT_THESSALOR = [
    image("hint/thessalor_bg.jpg", "thessalor_background", size=(600, 380)),
    image("hint/mask.png", "thessalor_mask", size=(800, 600)),
]

# The Crypt's puzzles: the ritual's crystal (two frames of 48 x 96: lit, at rest) and its five
# beams, the vault's stone lock and the eye above it; all registered at their middles.
CRYPT_PUZZLES = [
    *animation("puzzles/crystal.xml", "puzzles/crystal.png", "ritual_crystal_sheet",
               name="crystal", frames=2, frame=(48, 96), centre=True),
    *[image("puzzles/beam_%d.png" % (i + 1), "ritual_beam", size=(300, 200), index=i)
      for i in range(5)],
    image("puzzles/stonelock.png", "three_locks_stone", size=(96, 96)),
    image("puzzles/eye.png", "three_locks_eye", size=(32, 32)),
]

ENTRIES = (SOUNDS + IMAGES + FRONT_END + HUD + DEV + JOURNAL + STORY + MOVIES + MAP + GATEHOUSE
           + OBSERVATORY_CRYPT + PUZZLES + HINT + CRYPT_PUZZLES + HINT_THESSALOR
           + [Entry(SOUND_PACK, "pack")])
