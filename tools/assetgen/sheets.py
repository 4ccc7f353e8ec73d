# Frame sheets (frames side by side, left to right) and the animation XML that describes them, in
# the element and attribute layout the engine's animated-texture loader reads.
from PIL import Image

import formats


def layout(p):
    """The frame rectangles (x, y, w, h) of a sheet entry: `frames` frames of `frame` = (w, h) in
    one row."""
    w, h = p["frame"]
    return [(i * w, 0, w, h) for i in range(p["frames"])]


def strip(p, draw_frame, mode="RGBA"):
    """A sheet whose frame i is `draw_frame(i, (w, h))`, a Pillow image of the frame's size."""
    rects = layout(p)
    w, h = p["frame"]
    sheet = Image.new(mode, (w * len(rects), h), (0, 0, 0, 0) if mode == "RGBA" else 0)
    for i, (x, y, _, _) in enumerate(rects):
        sheet.paste(draw_frame(i, (w, h)), (x, y))
    return sheet


def _attributes(pairs):
    return "".join(' %s="%s"' % (name, value) for name, value in pairs)


def animation_xml(p, rng):
    """The description of a sheet: its sequence name, the sheet's file name beside the XML (the
    loader tries the XML's own folder first), and every frame with a name "<name><i>". The image's
    registration is (0, 0), so a frame's top-left corner sits at the window's place; with
    `centre` every frame is registered at its middle instead. `row` picks a row of a sheet of
    `rows` rows of frames the same size."""
    rects = layout(p)
    w, h = p["frame"]
    top = p.get("row", 0) * h
    name = p["name"]
    centre = (("regx", w // 2), ("regy", h // 2)) if p.get("centre") else ()
    lines = ['<sequence%s>' % _attributes((("name", name), ("source", p["image"])))]
    lines.append(' <img%s/>' % _attributes((("regx", 0), ("regy", 0),
                                            ("w", w * len(rects)),
                                            ("h", h * p.get("rows", 1)), ("name", p["image"]),
                                            ("mask", ""))))
    lines.append(" <framelist>")
    for i, (x, y, fw, fh) in enumerate(rects):
        lines.append('  <frame%s/>' % _attributes((("x", x), ("y", y + top), ("w", fw),
                                                   ("h", fh), ("name", "%s%d" % (name, i)),
                                                   ("alpha", 1)) + centre))
    lines.append(" </framelist>")
    lines.append("</sequence>")
    return "".join(line + "\n" for line in lines)


def path_text(p, rng):
    """A motion path as the engine's path files give it: the point count, then x, y of each
    point, comma separated."""
    points = p["points"]
    return "%d,%s\n" % (len(points), ",".join("%d,%d" % (x, y) for x, y in points))


def animation_zxml(p, rng):
    """The same description stored packed ("ZXML"), which the engine's XML reader unpacks."""
    return formats.zxml(animation_xml(p, rng))


def write_text(text, path):
    """Text as UTF-8; a description that is bytes already is written as it is."""
    with open(path, "wb") as out:
        out.write(text if isinstance(text, bytes) else text.encode("utf-8"))


# Recipes that make descriptions, not pictures: each returns a str written as UTF-8 with "\n" line
# ends, or the bytes of a packed form.
DESCRIPTIONS = {
    "animation_xml": animation_xml,
    "path_text": path_text,
    "animation_zxml": animation_zxml,
}
