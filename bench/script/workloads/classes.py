# Classes as metatables: a base, two subclasses and a sub-subclass (__index chains up to three
# levels), constructors setting 7 to 14 string fields, and an update loop over a mixed list whose
# receivers alternate between the classes, reading inherited fields and writing its own.
class Entity:
    kind = "entity"
    speed = 1
    weight = 3

    def __init__(self, name, x, y):
        self.name = name
        self.x = x
        self.y = y
        self.vx = 1
        self.vy = 0
        self.age = 0
        self.state = "idle"


class Sprite(Entity):
    kind = "sprite"

    def __init__(self, name, x, y, image):
        Entity.__init__(self, name, x, y)
        self.image = image
        self.frame = 0
        self.alpha = 255
        self.layer = 2


class Button(Sprite):
    kind = "button"

    def __init__(self, name, x, y, image, caption):
        Sprite.__init__(self, name, x, y, image)
        self.caption = caption
        self.hover = False
        self.clicks = 0
        self.width = 96
        self.height = 32


class Particle(Entity):
    kind = "particle"
    speed = 3

    def __init__(self, name, x, y):
        Entity.__init__(self, name, x, y)
        self.life = 40
        self.vy = 2


def make(i, serial):
    m = i % 4
    if m == 0:
        o = Entity("entity", i, 0)
    elif m == 1:
        o = Sprite("sprite", i, 1, "lamp")
    elif m == 2:
        o = Button("button", i, 2, "plate", "Continue")
    else:
        o = Particle("spark", i, 3)
    o.serial = serial
    return o


count = 400
objects = [None] * (count + 1)
serial = 0
for i in range(1, count + 1):
    serial = serial + 1
    objects[i] = make(i, serial)

clicks, weight, made = 0, 0, 0
for frame in range(1, 2001):
    for i in range(1, count + 1):
        o = objects[i]
        s = o.speed
        o.x = o.x + o.vx * s
        o.y = o.y + o.vy * s
        o.age = o.age + 1
        weight = weight + o.weight
        if o.kind == "button":
            o.clicks = o.clicks + 1
            o.hover = not o.hover
        elif o.kind == "sprite":
            o.frame = (o.frame + 1) % 8
        if o.state == "idle" and o.age > 5:
            o.state = "moving"
        if o.age > 20 + i % 16:
            c = getattr(o, "clicks", None)
            if c is not None:
                clicks = clicks + c
            serial = serial + 1
            made = made + 1
            objects[i] = make(i, serial)

sx, sy = 0, 0
for i in range(1, count + 1):
    sx = sx + objects[i].x
    sy = sy + objects[i].y
print(made, clicks, weight, sx, sy, sep="\t")
