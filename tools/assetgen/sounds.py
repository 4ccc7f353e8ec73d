# The sample game's sounds: one recipe per kind of sound, each building its samples from the
# primitives of audio.py and the entry's own random generator. A recipe returns one list of floats
# per channel, exactly the entry's length; gen.py levels, writes and encodes them.
import math

from audio import (add_at, adsr, crossfade_seam, decay, detuned, frames, highpass, lowpass, mix,
                   multiply, noise, ramp, resonator, scale, sine, swept, triangle,
                   wrap_tail)

PENTATONIC = (0, 2, 4, 7, 9)


def _length(p):
    return frames(p["seconds"], p["rate"])


def _smooth_random(rng, n, rate, speed):
    """A slowly wandering control signal in 0..1: random points `speed` times a second, joined by
    cosine curves."""
    points = [rng.random() for _ in range(int(n / rate * speed) + 3)]
    per = rate / speed
    out = []
    for i in range(n):
        x = i / per
        k = int(x)
        t = 0.5 - 0.5 * math.cos(math.pi * (x - k))
        out.append(points[k] * (1.0 - t) + points[k + 1] * t)
    return out


def tick(p, rng):
    """Short filtered noise ticks, one per time in "clicks"."""
    rate, n = p["rate"], _length(p)
    out = [0.0] * n
    for at in p.get("clicks", (0.0,)):
        m = frames(0.02, rate)
        burst = multiply(highpass(noise(rng, m), p.get("cutoff", 1500), rate),
                         decay(m, rate, p.get("ring", 0.006), attack=0.0005))
        body = multiply(sine(p.get("body", 1800), m, rate), decay(m, rate, 0.004, attack=0.0005))
        add_at(out, mix(burst, scale(body, 0.5)), frames(at, rate))
    return [out]


def blip(p, rng):
    rate, n = p["rate"], _length(p)
    f = p["freq"]
    tone = mix(sine(f, n, rate), scale(sine(2 * f, n, rate), 0.12))
    return [multiply(tone, adsr(n, rate, 0.006, 0.02, 0.6, 0.045))]


def _partials(freq, n, rate, ratios, decays, gains):
    out = [0.0] * n
    for r, d, g in zip(ratios, decays, gains):
        add_at(out, multiply(sine(freq * r, n, rate), decay(n, rate, d, attack=0.003)), 0, g)
    return out


def bell(p, rng):
    """A chord of bells: inharmonic partials, the high ones dying first."""
    rate, n = p["rate"], _length(p)
    out = [0.0] * n
    ratios = (0.5, 1.0, 2.0, 2.76, 5.4, 8.93)
    for k, semis in enumerate(p["chord"]):
        f = p["root"] * 2.0 ** (semis / 12.0)
        length = n - frames(k * p.get("spread", 0.03), rate)
        sound = _partials(f, length, rate, ratios, (0.6, 0.45, 0.3, 0.2, 0.08, 0.04),
                          (0.5, 1.0, 0.55, 0.4, 0.25, 0.15))
        add_at(out, sound, n - length, 1.0 / (k + 1) ** 0.3)
    return [out]


def chime(p, rng):
    """Notes one after another, each a sine with a soft third partial."""
    rate, n = p["rate"], _length(p)
    out = [0.0] * n
    for k, f in enumerate(p["notes"]):
        start = frames(k * p["gap"], rate)
        m = n - start
        add_at(out, _partials(f, m, rate, (1.0, 3.0), (0.15, 0.05), (1.0, 0.3)), start)
    return [out]


def pluck(p, rng):
    """A plucked string: a delay line of noise, averaged as it circulates."""
    rate, n = p["rate"], _length(p)
    period = max(2, int(round(rate / p["freq"])))
    line = noise(rng, period)
    damping = p.get("damping", 0.996)
    out = []
    for i in range(n):
        k = i % period
        v = line[k]
        out.append(v)
        line[k] = damping * 0.5 * (v + line[(k + 1) % period])
    out = lowpass(out, p.get("tone", 5000), rate)
    return [multiply(out, decay(n, rate, p["seconds"] * 0.35, attack=0.001))]


def thud(p, rng):
    rate, n = p["rate"], _length(p)
    body = swept(ramp(140.0, 45.0, n), rate)
    knock = lowpass(noise(rng, n), 400, rate)
    return [multiply(mix(body, scale(knock, 1.5)), decay(n, rate, 0.04, attack=0.002))]


def shimmer(p, rng):
    """Detuned high sines with a flutter of their own each."""
    rate, n = p["rate"], _length(p)
    out = [0.0] * n
    for k, f in enumerate(p["freqs"]):
        flutter = [0.6 + 0.4 * math.sin(2 * math.pi * (5.0 + k * 1.7) * i / rate + k)
                   for i in range(n)]
        add_at(out, multiply(detuned(f, 9.0, n, rate), flutter), 0, 1.0 / (k + 1))
    return [multiply(out, adsr(n, rate, 0.12, 0.1, 0.8, 0.45))]


def creak(p, rng):
    """A stick-slip square whose frequency wanders, through a low-pass and a wooden resonance."""
    rate, n = p["rate"], _length(p)
    wander = _smooth_random(rng, n, rate, 9.0)
    freqs = [p["low"] + (p["high"] - p["low"]) * w for w in wander]
    tone = lowpass(swept(freqs, rate, "square"), 1800, rate)
    tone = mix(scale(resonator(tone, 700, 180, rate), 6.0), scale(tone, 0.4))
    grain = _smooth_random(rng, n, rate, 30.0)
    return [multiply(multiply(tone, grain), adsr(n, rate, 0.05, 0.1, 0.8, 0.2))]


def grind(p, rng):
    """Stone on stone: low noise with a rough, uneven pressure."""
    rate, n = p["rate"], _length(p)
    rough = lowpass(noise(rng, n), 600, rate)
    rough = mix(rough, scale(resonator(rough, 220, 80, rate), 4.0))
    pressure = [0.4 + 0.6 * v for v in _smooth_random(rng, n, rate, 14.0)]
    return [multiply(multiply(rough, pressure), adsr(n, rate, 0.04, 0.1, 0.85, 0.15))]


def ping(p, rng):
    rate, n = p["rate"], _length(p)
    return [_partials(p["freq"], n, rate, (1.0, 2.32, 4.25, 6.8), (0.25, 0.12, 0.06, 0.03),
                      (1.0, 0.5, 0.3, 0.15))]


def swish(p, rng):
    """Noise through a low-pass whose cutoff rises and falls, under a rise-and-fall envelope."""
    rate, n = p["rate"], _length(p)
    shape = [math.sin(math.pi * i / n) for i in range(n)]
    cutoff = [p["low"] + (p["high"] - p["low"]) * s ** 2 for s in shape]
    air = lowpass(lowpass(noise(rng, n), cutoff, rate), cutoff, rate)
    return [multiply(air, [s ** p.get("sharpness", 1.5) for s in shape])]


def rattle(p, rng):
    """A projector: a steady train of small clicks over a motor's hum, looped without a seam. The
    clicks fall mid-gap at the loop's ends and ring on into its start."""
    rate, n = p["rate"], _length(p)
    count = int(round(p["seconds"] * p["clicks"]))
    period = n / count
    clicks = [0.0] * (2 * n)
    m = frames(0.012, rate)
    for k in range(count):
        burst = multiply(highpass(noise(rng, m), 900, rate), decay(m, rate, 0.003, attack=0.0005))
        add_at(clicks, burst, int((k + 0.5) * period), 0.6 + 0.4 * rng.random())
    f = frames(0.3, rate)
    hum = lowpass(noise(rng, n + f), 180, rate)
    hum = mix(hum, scale(resonator(hum, 100, 30, rate), 3.0))
    return [mix(wrap_tail(clicks, n), scale(crossfade_seam(hum, n), 0.5))]


def murmur(p, rng):
    """A voice-like murmur: a buzz and breath through two resonances that change per syllable."""
    rate, n = p["rate"], _length(p)
    pitch = [p["pitch"] * (1.0 + 0.08 * (w - 0.5)) for w in _smooth_random(rng, n, rate, 4.0)]
    source = mix(swept(pitch, rate, "triangle"), scale(noise(rng, n), 0.25))
    out = [0.0] * n
    vowels = ((730, 1090), (530, 1840), (570, 840), (300, 870), (660, 1720))
    syllables = p.get("syllables", 4)
    length = n // syllables
    for k in range(syllables):
        f1, f2 = vowels[rng.randrange(len(vowels))]
        start = k * length
        m = min(n - start, length + frames(0.05, rate))
        part = source[start:start + m]
        voiced = mix(resonator(part, f1, 90, rate), scale(resonator(part, f2, 120, rate), 0.6))
        add_at(out, multiply(voiced, adsr(m, rate, 0.03, 0.05, 0.8, 0.06)), start)
    return [lowpass(out, 3000, rate)]


def wind(p, rng):
    """Noise through a low-pass whose cutoff and level drift slowly; a seamless loop."""
    rate, n = p["rate"], _length(p)
    f = frames(p.get("seam", 0.6), rate)
    total = n + f
    drift = _smooth_random(rng, total, rate, 0.8)
    cutoff = [p["low"] + (p["high"] - p["low"]) * d for d in drift]
    air = lowpass(lowpass(noise(rng, total), cutoff, rate), cutoff, rate)
    level = [0.5 + 0.5 * d for d in drift]
    return [crossfade_seam(multiply(air, level), n)]


def rumble(p, rng):
    """Thunder: a bright crack, then a low rumble that swells and dies."""
    rate, n = p["rate"], _length(p)
    m = frames(0.25, rate)
    crack = multiply(highpass(noise(rng, m), 1200, rate), decay(m, rate, 0.05))
    low = lowpass(lowpass(noise(rng, n), 160, rate), 120, rate)
    swell = [0.3 + 0.7 * v for v in _smooth_random(rng, n, rate, 6.0)]
    body = multiply(multiply(low, swell), decay(n, rate, p["seconds"] * 0.3, attack=0.08))
    out = scale(body, 16.0)
    add_at(out, crack, 0, 0.5)
    return [out]


def lapping(p, rng):
    """Water against a hull: bursts of low noise at uneven intervals, with a gurgle."""
    rate, n = p["rate"], _length(p)
    out = [0.0] * n
    at = 0.0
    while at < p["seconds"] - 0.2:
        m = frames(rng.uniform(0.25, 0.45), rate)
        wave = lowpass(noise(rng, m), rng.uniform(500, 900), rate)
        wave = mix(wave, scale(resonator(wave, rng.uniform(250, 450), 60, rate), 3.0))
        shape = [math.sin(math.pi * i / m) ** 2 for i in range(m)]
        add_at(out, multiply(wave, shape), frames(at, rate), rng.uniform(0.6, 1.0))
        at += rng.uniform(0.25, 0.4)
    return [out]


def music(p, rng):
    """A seamless loop: a bass and a pad following one chord per bar, a melody walking the
    pentatonic scale above them. Notes ring past the loop's end into its start."""
    rate, n, nch = p["rate"], _length(p), p["channels"]
    beats = p["beats"]
    step = n / beats
    root = p["root"]
    out = [[0.0] * (2 * n) for _ in range(nch)]

    def freq(degree):
        octave, k = divmod(degree, len(PENTATONIC))
        return root * 2.0 ** (octave + PENTATONIC[k] / 12.0)

    def place(signal, beat, pan):
        start = int(round(beat * step))
        if nch == 1:
            add_at(out[0], signal, start)
            return
        angle = (pan + 1.0) * math.pi / 4.0
        add_at(out[0], signal, start, math.cos(angle) * math.sqrt(2.0))
        add_at(out[1], signal, start, math.sin(angle) * math.sqrt(2.0))

    bar = 4
    chords = p.get("chords", (0, 3, 4, 2))
    progression = [0] + [rng.choice(chords) for _ in range(beats // bar - 1)]
    for b, degree in enumerate(progression):
        m = int(step * bar) + frames(0.6, rate)
        bass = multiply(triangle(freq(degree - 5), m, rate), adsr(m, rate, 0.02, 0.4, 0.6, 0.6))
        place(scale(bass, 0.35), b * bar, 0.0)
        m = int(step * bar) + frames(1.0, rate)
        pad_env = adsr(m, rate, p.get("pad_attack", 0.8), 0.5, 0.7, 1.0)
        for k, d in enumerate((degree, degree + 2, degree + 4)):
            place(scale(multiply(detuned(freq(d), 6.0, m, rate), pad_env), 0.14), b * bar,
                  (-0.6, 0.0, 0.6)[k])

    ring = p.get("ring", 0.6)
    degree = 5 + rng.randrange(5)
    t = 0.0
    while t < beats - 0.5:
        length = rng.choice(p.get("rhythm", (0.5, 1.0, 1.0, 2.0)))
        if rng.random() >= p.get("rest", 0.25):
            degree = min(12, max(3, degree + rng.choice((-2, -1, -1, 1, 1, 2))))
            f = freq(degree)
            m = int(step * length) + frames(ring * 2.0, rate)
            tone = mix(sine(f, m, rate), scale(triangle(2.0 * f, m, rate), 0.12))
            place(scale(multiply(tone, decay(m, rate, ring, attack=0.01)), 0.3), t,
                  rng.uniform(-0.5, 0.5))
        t += length
    return [wrap_tail(c, n) for c in out]


RECIPES = {
    "tick": tick, "blip": blip, "bell": bell, "chime": chime, "pluck": pluck, "thud": thud,
    "shimmer": shimmer, "creak": creak, "grind": grind, "ping": ping, "swish": swish,
    "rattle": rattle, "murmur": murmur, "wind": wind, "rumble": rumble, "lapping": lapping,
    "music": music,
}
