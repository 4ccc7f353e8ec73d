# Sound synthesis into 16-bit PCM: oscillators, envelopes, a one-pole low-pass, resonators, loop
# seaming, the WAV writer and the Ogg Vorbis encoder call. Signals are lists of floats in -1..1.
import array
import math
import subprocess
import sys
import wave

TWO_PI = 2.0 * math.pi


def frames(seconds, rate):
    return int(round(seconds * rate))




def sine(freq, n, rate, phase=0.0):
    step = TWO_PI * freq / rate
    sin = math.sin
    return [sin(phase + step * i) for i in range(n)]


def triangle(freq, n, rate, phase=0.0):
    step = freq / rate
    return [1.0 - 4.0 * abs((phase + step * i) % 1.0 - 0.5) for i in range(n)]




def noise(rng, n):
    uniform = rng.uniform
    return [uniform(-1.0, 1.0) for _ in range(n)]


def swept(freqs, rate, shape="sine"):
    """An oscillator following one frequency per sample (the phase accumulates, so no clicks)."""
    out = []
    phase = 0.0
    sin = math.sin
    for f in freqs:
        phase = (phase + f / rate) % 1.0
        if shape == "sine":
            out.append(sin(TWO_PI * phase))
        elif shape == "square":
            out.append(1.0 if phase < 0.5 else -1.0)
        else:
            out.append(1.0 - 4.0 * abs(phase - 0.5))
    return out


def ramp(start, end, n):
    if n <= 1:
        return [float(start)] * n
    step = (end - start) / (n - 1)
    return [start + step * i for i in range(n)]


def detuned(freq, cents, n, rate, shape=sine):
    """Two voices either side of `freq` by `cents`: the slow beating gives width."""
    ratio = 2.0 ** (cents / 1200.0)
    a = shape(freq * ratio, n, rate)
    b = shape(freq / ratio, n, rate)
    return [(x + y) * 0.5 for x, y in zip(a, b)]


def adsr(n, rate, attack, decay, sustain, release):
    """Linear attack and decay to the sustain level, an exponential-looking release at the end."""
    a = min(n, frames(attack, rate))
    d = min(n - a, frames(decay, rate))
    r = min(n - a - d, frames(release, rate))
    s = n - a - d - r
    env = [i / a for i in range(a)] if a else []
    env += [1.0 - (1.0 - sustain) * i / d for i in range(d)] if d else []
    env += [sustain] * s
    env += [sustain * (1.0 - i / r) ** 2 for i in range(r)] if r else []
    return env


def decay(n, rate, seconds, attack=0.002):
    """Exponential decay with time constant `seconds`, after a short linear attack."""
    a = min(n, max(1, frames(attack, rate)))
    exp = math.exp
    k = 1.0 / (seconds * rate)
    return [i / a for i in range(a)] + [exp(-(i - a) * k) for i in range(a, n)]


def multiply(x, y):
    return [a * b for a, b in zip(x, y)]


def scale(x, gain):
    return [a * gain for a in x]


def mix(*signals):
    n = max(len(s) for s in signals)
    out = [0.0] * n
    for s in signals:
        for i, v in enumerate(s):
            out[i] += v
    return out


def add_at(buffer, signal, start, gain=1.0):
    """Adds `signal` into `buffer` from `start`, cut at the buffer's end."""
    end = min(len(buffer), start + len(signal))
    if end <= start:
        return
    part = signal[: end - start]
    buffer[start:end] = [b + gain * s for b, s in zip(buffer[start:end], part)]


def lowpass(x, cutoff, rate, state=0.0):
    """One-pole low-pass; `cutoff` is a frequency in Hz or a list of them, one per sample."""
    out = []
    y = state
    if isinstance(cutoff, (int, float)):
        k = 1.0 - math.exp(-TWO_PI * cutoff / rate)
        for v in x:
            y += k * (v - y)
            out.append(y)
    else:
        exp = math.exp
        c = -TWO_PI / rate
        for v, f in zip(x, cutoff):
            y += (1.0 - exp(c * f)) * (v - y)
            out.append(y)
    return out


def highpass(x, cutoff, rate):
    low = lowpass(x, cutoff, rate)
    return [a - b for a, b in zip(x, low)]


def resonator(x, freq, bandwidth, rate):
    """Two-pole band-pass around `freq`: the formant-like colour of voices and creaks."""
    r = math.exp(-math.pi * bandwidth / rate)
    a1 = 2.0 * r * math.cos(TWO_PI * freq / rate)
    a2 = -r * r
    gain = 1.0 - r
    y1 = y2 = 0.0
    out = []
    for v in x:
        y = gain * v + a1 * y1 + a2 * y2
        out.append(y)
        y2, y1 = y1, y
    return out




def fade_edges(x, rate, seconds=0.003):
    """Short linear fades at both ends, so a one-shot never starts or stops on a step."""
    n = len(x)
    m = min(n // 2, frames(seconds, rate))
    out = list(x)
    for i in range(m):
        g = i / m
        out[i] *= g
        out[n - 1 - i] *= g
    return out


def wrap_tail(x, n):
    """A loop of `n` samples from a longer signal: what rings past the end sounds again at the start,
    as it does when the loop repeats, so the seam is the signal's own continuation."""
    out = list(x[:n])
    for i, v in enumerate(x[n:2 * n]):
        out[i] += v
    return out


def crossfade_seam(x, n):
    """A loop of `n` samples from a signal of `n + f` samples: the last `f` samples fade out over the
    first `f`, equal-power (the material is uncorrelated noise), so sample n-1 flows into sample 0."""
    f = len(x) - n
    out = list(x[:n])
    for i in range(f):
        t = i / f
        out[i] = x[i] * math.sin(0.5 * math.pi * t) + x[n + i] * math.cos(0.5 * math.pi * t)
    return out


def write_wav(path, channels, rate):
    """Writes equal-length float channels as interleaved little-endian 16-bit PCM."""
    n = len(channels[0])
    pcm = array.array("h", bytes(2 * n * len(channels)))
    for c, signal in enumerate(channels):
        k = len(channels)
        for i, v in enumerate(signal):
            s = int(round(v * 32767.0))
            pcm[i * k + c] = 32767 if s > 32767 else (-32768 if s < -32768 else s)
    if sys.byteorder != "little":
        pcm.byteswap()
    with wave.open(path, "wb") as out:
        out.setnchannels(len(channels))
        out.setsampwidth(2)
        out.setframerate(rate)
        out.writeframes(pcm.tobytes())


def encode_ogg(encoder, wav_path, ogg_path, quality, serial):
    """oggenc with a fixed stream serial (it draws a random one otherwise, and no two builds would
    match). Returns an error text, or None."""
    command = [encoder, "-Q", "-q", str(quality), "-s", str(serial), "-o", ogg_path, wav_path]
    try:
        done = subprocess.run(command, stdout=subprocess.PIPE, stderr=subprocess.PIPE)
    except OSError as error:
        return "cannot run %s: %s" % (encoder, error.strerror)
    if done.returncode != 0:
        text = done.stderr.decode("utf-8", "replace").strip().splitlines()
        return "%s failed (%d)%s" % (encoder, done.returncode, ": " + text[-1] if text else "")
    return None
