# String concatenation and formatting in a loop.
parts = []
for i in range(1, 900001):
    s = "item" + str(i)
    parts.append("%s=%d;%5.2f" % (s, i, i / 3))
print(len(parts), len("".join(parts)), sep="\t")
