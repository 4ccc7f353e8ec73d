# Every file the generator makes, one declarative entry each: output path below assets/, generator
# name, parameters. Each entry's random seed comes from its path through CRC-32 (never hash(), which
# Python salts per process), so an entry's output depends on nothing but the entry.
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
    sound(21, "voice_odo", "murmur", 0.8, pitch=105.0, syllables=4),
    sound(22, "wind", "wind", 4.0, loop=True, low=250.0, high=1100.0),
    sound(23, "thunder", "rumble", 2.0),
    sound(24, "travel", "lapping", 1.5),
    sound(25, "whoosh", "swish", 0.5, low=300.0, high=3500.0, sharpness=2.5),
    sound(26, "music_map", "music", 11.2, loop=True, quality=0, beats=16, root=174.61,
          chords=(0, 2, 3, 4), ring=0.7),
]

IMAGES = [
    image("menu/bg.jpg", "menu_background", size=(800, 600)),
    image("menu/logo.png", "logo", size=(480, 160)),
    image("ui/button_n.png", "button", size=(220, 44), state="normal"),
    image("ui/button_p.png", "button", size=(220, 44), state="pressed"),
    image("ui/button_h.png", "button", size=(220, 44), state="hover"),
    image("cursor/pointer.png", "pointer", size=(32, 32)),
    image("cursor/pointer_soft.png", "pointer_soft", size=(32, 32)),
]

ENTRIES = SOUNDS + IMAGES + [Entry(SOUND_PACK, "pack")]
