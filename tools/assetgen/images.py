# The sample game's images: one recipe per kind of picture, composed from paint.py with the small
# palette below. A recipe returns a Pillow image; gen.py writes it in the format of the entry's path.
# No text is ever drawn into an image: the engine draws all text.
from PIL import Image, ImageChops, ImageDraw

import paint

# The palette: night blue, fen green, lamp amber, and the bronze and ivory of the interface.
NIGHT_TOP = (8, 12, 30)
NIGHT_LOW = (38, 52, 84)
FEN_DARK = (8, 16, 12)
FEN = (22, 40, 30)
AMBER = (255, 178, 74)
AMBER_PALE = (255, 222, 150)
BRONZE = (120, 84, 40)
BRONZE_DARK = (44, 30, 16)
IVORY = (240, 232, 210)
INK = (18, 14, 10)


def menu_background(p, rng):
    """The fen at night: stars, a moon behind mist, far hills, still water and a lamp post."""
    w, h = size = tuple(p["size"])
    horizon = int(h * 0.62)
    img = paint.vertical_gradient(size, [(0.0, NIGHT_TOP), (0.62, NIGHT_LOW), (0.63, FEN),
                                         (1.0, FEN_DARK)])
    paint.star_field(img, rng, 420, (0, 0, w, horizon - 40), (220, 226, 255))
    moon = (int(w * 0.76), int(h * 0.2))
    paint.glow(img, moon, 220, (150, 170, 220), 0.55)
    paint.paste_colour(img, (236, 238, 250), paint.ellipse_mask(
        size, (moon[0] - 26, moon[1] - 26, moon[0] + 26, moon[1] + 26)))

    far = paint.ridge_points(rng, w, horizon - 46, 22, 90, horizon + 1)
    paint.paste_colour(img, (24, 34, 52), paint.polygon_mask(size, far))
    near = paint.ridge_points(rng, w, horizon - 14, 12, 50, horizon + 1)
    paint.paste_colour(img, (14, 24, 26), paint.polygon_mask(size, near))

    # Still water: the sky's light in long horizontal streaks.
    streaks = paint.value_noise(rng, (w // 8, h - horizon), 6, octaves=2)
    streaks = streaks.resize((w, h - horizon), Image.BILINEAR)
    streaks = paint.scale_mask(paint.level(streaks, 140, 230), 0.35)
    water = Image.new("L", size, 0)
    water.paste(streaks, (0, horizon))
    fade = paint.vertical_gradient(size, [(0.0, (0,)), (0.62, (0,)), (0.66, (255,)), (1.0, (60,))],
                                   "L")
    paint.paste_colour(img, (90, 110, 150), ImageChops.multiply(water, fade))

    # Mist over the water line.
    mist = paint.value_noise(rng, size, 96, octaves=3)
    band = paint.vertical_gradient(size, [(0.0, (0,)), (0.45, (0,)), (0.6, (255,)), (0.72, (200,)),
                                          (1.0, (0,))], "L")
    paint.paste_colour(img, (150, 160, 180), paint.scale_mask(
        ImageChops.multiply(paint.level(mist, 90, 230), band), 0.45))

    # The lamp post, its light, and its reflection.
    post_x, post_top = int(w * 0.2), horizon - 120
    paint.paste_colour(img, INK, paint.polygon_mask(size, [
        (post_x - 4, horizon + 40), (post_x - 3, post_top), (post_x + 3, post_top),
        (post_x + 4, horizon + 40)]))
    paint.paste_colour(img, INK, paint.polygon_mask(size, [
        (post_x - 3, post_top + 6), (post_x + 30, post_top + 6), (post_x + 30, post_top + 10),
        (post_x - 3, post_top + 10)]))
    lamp = (post_x + 28, post_top + 24)
    paint.glow(img, lamp, 150, AMBER, 0.7)
    paint.glow(img, (lamp[0], 2 * horizon - lamp[1] + 30), 90, AMBER, 0.3)
    paint.paste_colour(img, AMBER_PALE, paint.ellipse_mask(
        size, (lamp[0] - 7, lamp[1] - 9, lamp[0] + 7, lamp[1] + 9)))

    # Reeds in the foreground, dark against the water.
    reeds = []
    for _ in range(70):
        x = rng.uniform(0, w)
        if w * 0.3 < x < w * 0.7 and rng.random() < 0.7:
            continue
        height = rng.uniform(50, 150)
        lean = rng.uniform(-18, 18)
        base = h + 2
        reeds.append([(x - 2.5, base), (x + lean, base - height), (x + 2.5, base)])
    reed_mask = paint.shape_mask(size, lambda d, k: [
        d.polygon([(x * k, y * k) for x, y in blade], fill=255) for blade in reeds])
    paint.paste_colour(img, (4, 10, 6), reed_mask)
    return img


def logo(p, rng):
    """The title plate the engine writes the game's name over: a dark oval plaque with a bronze rim,
    a flame at its crown and flourishes either side."""
    w, h = size = tuple(p["size"])
    img = Image.new("RGBA", size, (0, 0, 0, 0))
    cx, cy = w // 2, h // 2 + 10

    plaque = (60, 44, w - 60, h - 24)
    shadow = paint.soft(paint.rounded_rect_mask(size, (64, 50, w - 56, h - 16), 50), 6)
    img.paste(Image.new("RGBA", size, (0, 0, 0, 150)), (0, 0), shadow)
    rim = paint.rounded_rect_mask(size, plaque, 50)
    img.paste(paint.vertical_gradient(size, [(0.0, AMBER_PALE + (255,)), (0.5, BRONZE + (255,)),
                                             (1.0, BRONZE_DARK + (255,))], "RGBA"), (0, 0), rim)
    inner = paint.rounded_rect_mask(size, (plaque[0] + 5, plaque[1] + 5, plaque[2] - 5,
                                           plaque[3] - 5), 45)
    img.paste(paint.vertical_gradient(size, [(0.0, (30, 44, 36, 255)), (1.0, (10, 18, 14, 255))],
                                      "RGBA"), (0, 0), inner)
    grain = paint.scale_mask(paint.value_noise(rng, size, 24, octaves=3), 0.12)
    img.paste(Image.new("RGBA", size, (60, 80, 60, 255)), (0, 0), ImageChops.multiply(grain, inner))

    # Flourishes: tapered curls drawn as thin polygons, mirrored.
    for side in (-1, 1):
        curl = []
        for i in range(24):
            t = i / 23
            x = cx + side * (70 + 150 * t)
            y = cy + 2 + 40 * t * (1 - t)
            curl.append((x, y - 2.5 * (1 - t)))
        back = [(x, y + 5.0 * (1 - i / 23)) for i, (x, y) in enumerate(curl)]
        points = curl + back[::-1]
        mask = paint.polygon_mask(size, points)
        img.paste(Image.new("RGBA", size, AMBER + (255,)), (0, 0), mask)
        tip = (cx + side * 225, cy + 2)
        img.paste(Image.new("RGBA", size, AMBER_PALE + (255,)), (0, 0), paint.polygon_mask(
            size, [(tip[0] - 6, tip[1]), (tip[0], tip[1] - 6), (tip[0] + 6, tip[1]),
                   (tip[0], tip[1] + 6)]))

    # The flame at the crown, with its glow spilling over the rim.
    fx, fy = cx, plaque[1] + 4
    glow = Image.new("L", size, 0)
    ImageDraw.Draw(glow).ellipse((fx - 34, fy - 40, fx + 34, fy + 20), fill=200)
    glow = paint.soft(glow, 14)
    img = Image.alpha_composite(img, paint.coloured(size, AMBER, glow))
    outer = [(fx, fy - 40), (fx + 10, fy - 18), (fx + 13, fy - 2), (fx + 8, fy + 10),
             (fx, fy + 14), (fx - 8, fy + 10), (fx - 13, fy - 2), (fx - 10, fy - 18)]
    img = Image.alpha_composite(img, paint.coloured(size, AMBER, paint.polygon_mask(size, outer)))
    core = [(fx, fy - 22), (fx + 6, fy - 6), (fx + 5, fy + 6), (fx, fy + 9), (fx - 5, fy + 6),
            (fx - 6, fy - 6)]
    img = Image.alpha_composite(img, paint.coloured(size, AMBER_PALE,
                                                    paint.polygon_mask(size, core)))
    return img


def button(p, rng):
    """A push button face: bronze rim, fen-green body; "pressed" sinks and darkens, "hover" lights
    the rim and glows, "disabled" is a faded, greyed face that plainly takes no press. The face is
    inset so the glow stays inside the image."""
    w, h = size = tuple(p["size"])
    state = p["state"]
    img = Image.new("RGBA", size, (0, 0, 0, 0))
    inset = 3
    box = (inset, inset, w - inset, h - inset)
    radius = (h - 2 * inset) // 2 - 2
    if state == "hover":
        halo = paint.soft(paint.rounded_rect_mask(size, box, radius), 2.5)
        img = Image.alpha_composite(img, paint.coloured(size, AMBER, paint.scale_mask(halo, 0.8)))
    rim_top, rim_bottom = (AMBER_PALE, BRONZE) if state == "hover" else (AMBER, BRONZE_DARK)
    if state == "pressed":
        rim_top, rim_bottom = BRONZE_DARK, BRONZE
    if state == "disabled":
        rim_top, rim_bottom = (112, 104, 92), (70, 64, 56)
    rim = paint.rounded_rect_mask(size, box, radius)
    img.paste(paint.vertical_gradient(size, [(0.0, rim_top + (255,)),
                                             (1.0, rim_bottom + (255,))], "RGBA"), (0, 0), rim)
    shift = 1 if state == "pressed" else 0
    body_box = (box[0] + 3, box[1] + 3 + shift, box[2] - 3, box[3] - 3 + shift)
    body = paint.rounded_rect_mask(size, body_box, radius - 3)
    top, bottom = {"normal": ((44, 72, 54), (16, 30, 22)),
                   "pressed": ((12, 24, 18), (30, 52, 40)),
                   "hover": ((62, 98, 74), (22, 42, 30)),
                   "disabled": ((70, 76, 72), (46, 50, 48))}[state]
    img.paste(paint.vertical_gradient(size, [(0.0, top + (255,)), (1.0, bottom + (255,))], "RGBA"),
              (0, 0), body)
    # A faint sheen across the upper half, and a little grain so the face is not flat.
    sheen = paint.rounded_rect_mask(size, (body_box[0] + 4, body_box[1] + 2, body_box[2] - 4,
                                           (body_box[1] + body_box[3]) // 2), radius - 6)
    if state in ("normal", "hover"):
        img = Image.alpha_composite(img, paint.coloured(size, (255, 255, 255),
                                                        paint.scale_mask(sheen, 0.08)))
    grain = paint.scale_mask(paint.value_noise(rng, size, 8, octaves=2), 0.06)
    img = Image.alpha_composite(img, paint.coloured(size, (0, 0, 0),
                                                    ImageChops.multiply(grain, body)))
    if state == "disabled":
        # Half see-through, so the parchment behind shows the button is not there to be pressed.
        img.putalpha(paint.scale_mask(img.getchannel("A"), 0.7))
    return img


def pointer(p, rng):
    """The arrow cursor, tip at (1, 1): ivory with a dark outline and a soft shadow."""
    size = tuple(p["size"])
    arrow = [(1, 1), (1, 23), (6.5, 18), (10.5, 27), (14, 25.5), (10, 17), (17.5, 17)]
    img = Image.new("RGBA", size, (0, 0, 0, 0))
    shadow = paint.soft(paint.polygon_mask(size, [(x + 2, y + 2) for x, y in arrow]), 1.2)
    img = Image.alpha_composite(img, paint.coloured(size, (0, 0, 0),
                                                    paint.scale_mask(shadow, 0.55)))
    img = Image.alpha_composite(img, paint.coloured(size, INK, paint.polygon_mask(size, arrow)))
    inner = [(2.4, 4.2), (2.4, 19.8), (6.9, 15.7), (11.1, 25.0), (12.4, 24.4), (8.2, 15.6),
             (14.2, 15.6)]
    face = paint.vertical_gradient(size, [(0.0, IVORY + (255,)), (1.0, (196, 182, 150, 255))],
                                   "RGBA")
    face.putalpha(paint.polygon_mask(size, inner))
    return Image.alpha_composite(img, face)


def pointer_soft(p, rng):
    """The arrow for the colour-keyed cursor slot: an 8-bit palette image without transparency,
    magenta where the cursor is clear, the outline and face hard-edged (a colour key has no
    partial cover)."""
    size = tuple(p["size"])
    drawn = pointer(p, rng)
    key = Image.new("RGBA", size, (255, 0, 255, 255))
    # Only the arrow itself, not its soft shadow, survives the key.
    cover = drawn.getchannel("A").point(lambda a: 255 if a >= 192 else 0)
    key.paste(drawn, (0, 0), cover)
    return key.convert("RGB").quantize(colors=16, method=Image.Quantize.MEDIANCUT, dither=0)


RECIPES = {
    "menu_background": menu_background,
    "logo": logo,
    "button": button,
    "pointer": pointer,
    "pointer_soft": pointer_soft,
}
