# String-keyed table: 600 000 built keys "k1".."k600000" inserted, then read back.
n = 600000
t = {}
for i in range(1, n + 1):
    t["k" + str(i)] = i
s = 0
for i in range(1, n + 1):
    s = s + t["k" + str(i)]
print(s)
