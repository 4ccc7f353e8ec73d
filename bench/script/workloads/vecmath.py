# 2-D vectors as small {x = , y = } tables made per operation (add, scale, dot, normalise,
# rotate) inside closures, as particle and transform scripts use them.
import math


def vec(x, y):
    return {"x": x, "y": y}


def add(a, b):
    return vec(a["x"] + b["x"], a["y"] + b["y"])


def scale(a, k):
    return vec(a["x"] * k, a["y"] * k)


def dot(a, b):
    return a["x"] * b["x"] + a["y"] * b["y"]


def normalise(a):
    length = math.sqrt(a["x"] * a["x"] + a["y"] * a["y"])
    if length == 0:
        return vec(0, 0)
    return vec(a["x"] / length, a["y"] / length)


def rotator(angle):
    c, s = math.cos(angle), math.sin(angle)

    def rotate(a):
        return vec(a["x"] * c - a["y"] * s, a["x"] * s + a["y"] * c)
    return rotate


def mover(gravity, drag):
    def move(p, dt):
        p["vel"] = scale(add(p["vel"], scale(gravity, dt)), drag)
        p["pos"] = add(p["pos"], scale(p["vel"], dt))
    return move


turn = rotator(0.01)
move = mover(vec(0, 9.8), 0.999)
particles = []
for i in range(1, 101):
    particles.append({"pos": vec(i, 0), "vel": vec(i % 7 - 3, -10)})
facing = vec(1, 0)
align = 0
for frame in range(4000):
    facing = normalise(turn(facing))
    for i in range(100):
        p = particles[i]
        move(p, 0.016)
        align = align + dot(normalise(p["vel"]), facing)
sx, sy = 0, 0
for i in range(100):
    sx = sx + particles[i]["pos"]["x"]
    sy = sy + particles[i]["pos"]["y"]
print("%.6f %.6f %.6f %.6f" % (sx, sy, align, facing["x"]))
