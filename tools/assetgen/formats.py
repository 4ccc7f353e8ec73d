# File formats written the same way every time: PNG without metadata chunks at a fixed compression,
# baseline JPEG at a fixed quality and subsampling.
import struct

from PIL import Image

JPEG_QUALITY = 80
JPEG_SUBSAMPLING = 2  # 4:2:0
PNG_COMPRESSION = 9
# Everything a PNG of ours may hold: no text, time, gamma or physical-size chunks.
PNG_CHUNKS = {b"IHDR", b"PLTE", b"tRNS", b"IDAT", b"IEND"}


def _bare(image):
    # Images made from other images carry their source's info (dpi, gamma, text...), which the
    # writers would store as chunks or markers.
    image = image.copy()
    image.info = {}
    return image


def write_png(image, path):
    _bare(image).save(path, format="PNG", optimize=False, compress_level=PNG_COMPRESSION)


def write_jpeg(image, path):
    # A one-channel picture stays a one-channel (grey) JPEG.
    _bare(image if image.mode == "L" else image.convert("RGB")).save(path, format="JPEG", quality=JPEG_QUALITY,
                                     subsampling=JPEG_SUBSAMPLING, optimize=False,
                                     progressive=False)


WRITERS = {".png": write_png, ".jpg": write_jpeg}


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
