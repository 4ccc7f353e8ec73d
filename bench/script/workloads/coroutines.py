# Coroutines: a producer handing 3 x 10^6 values to its consumer, then 900 000 short-lived ones.
def producer(n):
    for i in range(1, n + 1):
        yield i


total = 0
for v in producer(3000000):
    total = total + v


def short(a):
    b = yield a + 1
    yield a + b


made = 0
for i in range(1, 900001):
    co = short(i)
    made = made + next(co) + co.send(1)
print(total, made, sep="\t")
