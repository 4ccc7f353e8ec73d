# Method calls with self and 0 to 3 arguments: overridden and inherited methods through __index
# chains of one to three levels, and calls through a field holding a function.
class Base:
    def __init__(self, v):
        self.v = v
        self.n = 0
        self.on_tick = Base.tick

    def get(self):
        return self.v

    def add(self, a):
        self.v = self.v + a

    def mix(self, a, b):
        return self.v * a + b

    def clamp(self, lo, hi, d):
        v = self.v + d
        if v < lo:
            v = lo
        elif v > hi:
            v = hi
        self.v = v
        return v

    def tick(self, d):
        self.n = self.n + d


class Mid(Base):
    def get(self):
        return self.v + 1


class Leaf(Mid):
    def mix(self, a, b):
        return self.v * a - b


def double(self, d):
    self.n = self.n + 2 * d


objects = [Base(1), Mid(2), Leaf(3), Leaf(4)]
objects[3].on_tick = double
total = 0
for i in range(300000):
    for k in range(1, 5):
        o = objects[k - 1]
        o.add(1)
        total = total + o.get() + o.mix(2, k)
        o.clamp(0, 1000, -1)
        o.on_tick(o, 1)
ns = 0
for k in range(4):
    ns = ns + objects[k].n + objects[k].v
print(total, ns, sep="\t")
