# Insert then read 2 x 10^6 integer keys.
t = {}
for i in range(1, 2000001):
    t[i] = i
s = 0
for i in range(1, 2000001):
    s = s + t[i]
print(s)
