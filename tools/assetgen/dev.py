# Pictures of the development location: two flat backgrounds told apart at a glance (the upper
# half's colour differs, the lower half is shared) and a plain arrow cursor.
from PIL import Image, ImageDraw


def dev_background(p, rng):
    """A full-screen backdrop: `top` above y 300, a shared dark floor below."""
    w, h = size = tuple(p["size"])
    img = Image.new("RGBA", size, tuple(p["top"]) + (255,))
    ImageDraw.Draw(img).rectangle((0, h // 2, w, h), fill=(40, 36, 32, 255))
    return img


def dev_cursor(p, rng):
    """A white arrow with a dark edge, its point at the top left."""
    size = tuple(p["size"])
    img = Image.new("RGBA", size, (0, 0, 0, 0))
    arrow = [(0, 0), (0, 24), (7, 18), (12, 30), (16, 28), (11, 17), (20, 17)]
    ImageDraw.Draw(img).polygon(arrow, fill=(250, 250, 250, 255), outline=(20, 20, 20, 255))
    return img


RECIPES = {
    "dev_background": dev_background,
    "dev_cursor": dev_cursor,
}
