# The films: each frame a picture recipe drawn at its time, turned into YUV4MPEG2 (4:2:0, BT.601
# video range) with its sound as a WAV file, both encoded into an Ogg Theora film by movieenc.
import os
import random
import subprocess

from PIL import Image

import audio
import frontend


def _video_range(img):
    """The Y, Cb and Cr planes of an RGB picture in video range (Y 16-235, chroma 16-240), chroma
    averaged over each 2 x 2 block (sizes rounded up)."""
    y, cb, cr = img.convert("YCbCr").split()
    y = y.point(lambda v: int(v * 219 / 255 + 16.5))
    chroma = lambda v: int((v - 128) * 224 / 255 + 128.5)
    w, h = img.size
    half = ((w + 1) // 2, (h + 1) // 2)
    cb = cb.point(chroma).resize(half, Image.BOX)
    cr = cr.point(chroma).resize(half, Image.BOX)
    return y.tobytes() + cb.tobytes() + cr.tobytes()


def intro_frames(p, seed):
    """The title card's film: the card drawn at twice the film's size for each frame's time (its
    shapes are laid out for 800 x 600), then halved."""
    w, h = p["size"]
    count = p["frames"]
    for i in range(count):
        time = i / (count - 1) if count > 1 else 1.0
        big = frontend.card({"size": (w * 2, h * 2), "time": time}, random.Random(seed))
        yield big.reduce(2)


def intro_sound(p, rng):
    """A soft swell: a low open fifth rising and fading over the film's length."""
    rate = p["rate"]
    n = audio.frames(p["seconds"], rate)
    root = p.get("root", 110.0)
    tone = audio.mix(audio.sine(root, n, rate), audio.sine(root * 1.5, n, rate),
                     audio.scale(audio.sine(root * 2, n, rate), 0.5))
    envelope = [((i / n) * 2 if i < n / 2 else (1 - i / n) * 2) ** 2 for i in range(n)]
    return [audio.scale(audio.multiply(tone, envelope), 0.3)]


RECIPES = {"intro": (intro_frames, intro_sound)}


def make(generator, params, seed, target, scratch, movieenc):
    """Writes the film to `target`; returns an error text, or None."""
    frames, sound = RECIPES[generator]
    w, h = params["size"]
    y4m = scratch + ".y4m"
    wav = scratch + ".wav"
    with open(y4m, "wb") as out:
        out.write(b"YUV4MPEG2 W%d H%d F%d:1 Ip A1:1 C420jpeg\n" % (w, h, params["fps"]))
        for picture in frames(params, seed):
            out.write(b"FRAME\n" + _video_range(picture))
    channels = sound(params, random.Random(seed))
    audio.write_wav(wav, channels, params["rate"])
    command = [movieenc, "--wav", wav]
    for key, value in params.get("comments", ()):
        command += ["--comment", "%s=%s" % (key, value)]
    command += [y4m, target]
    try:
        done = subprocess.run(command, stdout=subprocess.PIPE, stderr=subprocess.PIPE)
    except OSError as error:
        return "cannot run %s: %s" % (movieenc, error.strerror)
    finally:
        for name in (y4m, wav):
            if os.path.exists(name):
                os.remove(name)
    if done.returncode != 0:
        text = done.stderr.decode("utf-8", "replace").strip().splitlines()
        return "%s failed (%d)%s" % (movieenc, done.returncode, ": " + text[-1] if text else "")
    return None
