# Method calls through a class.
class Point:
    def __init__(self, x, y):
        self.x = x
        self.y = y

    def add(self, o):
        self.x = self.x + o.x
        self.y = self.y + o.y


p = Point(0, 0)
d = Point(1, 2)
for i in range(4000000):
    p.add(d)
print(p.x, p.y, sep="\t")
