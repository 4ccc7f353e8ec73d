# Closure creation: one new closure per iteration, called once.
def make(n):
    def f():
        return n
    return f


s = 0
for i in range(1, 2500001):
    f = make(i)
    s = s + f()
print(s)
