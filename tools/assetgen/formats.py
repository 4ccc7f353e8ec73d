# File formats written the same way every time: PNG without metadata chunks at a fixed compression,
# baseline JPEG at a fixed quality and subsampling, JPEG 2000 through OpenJPEG's encoder at a fixed
# rate, and the packed "ZXML" form of an XML text.
import os
import shutil
import struct
import subprocess
import zlib

from PIL import Image

JPEG_QUALITY = 80
JPEG_SUBSAMPLING = 2  # 4:2:0
PNG_COMPRESSION = 9
# Everything a PNG of ours may hold: no text, time, gamma or physical-size chunks.
PNG_CHUNKS = {b"IHDR", b"PLTE", b"tRNS", b"IDAT", b"IEND"}


def _bare(image):
    # Images made from other images carry their source's info (dpi, gamma, text...), which the
    # writers would store as chunks or markers. A palette image keeps its transparent entry.
    transparency = image.info.get("transparency") if image.mode == "P" else None
    image = image.copy()
    image.info = {} if transparency is None else {"transparency": transparency}
    return image


class GreyAlpha16:
    """A 16-bit grey picture with a 16-bit alpha channel, which PIL cannot write: two "I;16"
    images of one size."""

    def __init__(self, grey, alpha):
        assert grey.size == alpha.size
        self.grey, self.alpha, self.size = grey, alpha, grey.size


def _chunk(kind, body):
    return (struct.pack(">I", len(body)) + kind + body +
            struct.pack(">I", zlib.crc32(kind + body) & 0xFFFFFFFF))


def _write_grey_alpha16(picture, path):
    w, h = picture.size
    grey, alpha = picture.grey.getdata(), picture.alpha.getdata()
    rows = bytearray()
    for y in range(h):
        rows.append(0)  # no filter
        for x in range(y * w, (y + 1) * w):
            rows += struct.pack(">HH", grey[x], alpha[x])
    header = struct.pack(">IIBBBBB", w, h, 16, 4, 0, 0, 0)
    with open(path, "wb") as out:
        out.write(b"\x89PNG\r\n\x1a\n" + _chunk(b"IHDR", header) +
                  _chunk(b"IDAT", zlib.compress(bytes(rows), PNG_COMPRESSION)) +
                  _chunk(b"IEND", b""))


def write_png(image, path):
    if isinstance(image, GreyAlpha16):
        _write_grey_alpha16(image, path)
        return
    _bare(image).save(path, format="PNG", optimize=False, compress_level=PNG_COMPRESSION)


def write_jpeg(image, path):
    # A one-channel picture stays a one-channel (grey) JPEG.
    _bare(image if image.mode == "L" else image.convert("RGB")).save(path, format="JPEG", quality=JPEG_QUALITY,
                                     subsampling=JPEG_SUBSAMPLING, optimize=False,
                                     progressive=False)


JP2_ENCODER = "opj_compress"
JP2_RATE = 40


def write_jp2(image, path):
    """A JP2 file (the box container) from a PPM of the picture; the encoder takes the output's
    format from its extension."""
    encoder = shutil.which(JP2_ENCODER)
    if encoder is None:
        raise RuntimeError("encoder \"%s\" not found (Debian package libopenjp2-tools)" % JP2_ENCODER)
    ppm = path + ".ppm"
    jp2 = path + ".jp2"
    _bare(image.convert("RGB")).save(ppm, format="PPM")
    try:
        done = subprocess.run([encoder, "-i", ppm, "-o", jp2, "-r", str(JP2_RATE)],
                              stdout=subprocess.PIPE, stderr=subprocess.PIPE)
        if done.returncode != 0 or not os.path.exists(jp2):
            lines = done.stderr.decode("utf-8", "replace").strip().splitlines()
            raise RuntimeError("%s failed%s" % (JP2_ENCODER, ": " + lines[-1] if lines else ""))
        os.replace(jp2, path)
    finally:
        for leftover in (ppm, jp2):
            if os.path.exists(leftover):
                os.remove(leftover)


WRITERS = {".png": write_png, ".jpg": write_jpeg, ".jp2": write_jp2}


def zxml(text):
    """The packed form of an XML text: "ZXML", the packed and the plain lengths (little-endian),
    then the zlib stream."""
    plain = text.encode("utf-8")
    packed = zlib.compress(plain, 9)
    return b"ZXML" + struct.pack("<II", len(packed), len(plain)) + packed


def png_chunks(data):
    """The chunk types of a PNG file's bytes, in order."""
    types = []
    at = 8
    while at + 8 <= len(data):
        length, kind = struct.unpack(">I4s", data[at:at + 8])
        types.append(kind)
        at += 12 + length
    return types


def jpeg_markers(data):
    """The marker bytes of a JPEG file up to the start of its scan (SOF0 = 0xC0 means baseline)."""
    markers = []
    at = 2
    while at + 4 <= len(data) and data[at] == 0xFF:
        marker = data[at + 1]
        markers.append(marker)
        if marker == 0xDA:
            break
        at += 2 + struct.unpack(">H", data[at + 2:at + 4])[0]
    return markers


def open_image(path):
    return Image.open(path)
