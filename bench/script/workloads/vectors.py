# Vector math with small {x, y} tables made and read inside closures, 1.5 x 10^6 steps.
def vec(x, y):
    return [x, y]


def adder(d):
    def add(v):
        return vec(v[0] + d[0], v[1] + d[1])
    return add


step = adder(vec(1, 2))


def scale(v, k):
    return vec(v[0] * k, v[1] * k)


p = vec(0, 0)
acc = 0
for i in range(1, 1500001):
    p = step(p)
    q = scale(p, 0.5)
    acc = acc + q[0] - q[1]
print("%d %d %.1f" % (p[0], p[1], acc))
