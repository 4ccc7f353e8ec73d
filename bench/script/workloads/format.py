# 600 000 string.format results joined by table.concat, then scanned with string.gfind.
import re

n = 600000
parts = []
for i in range(1, n + 1):
    parts.append("%d:%05.1f" % (i, i / 8))
text = " ".join(parts)
count, total = 0, 0
for m in re.finditer(r"([0-9]+):([0-9]+)", text):
    count = count + 1
    total = total + int(m.group(2))
print(count, total, len(text), sep="\t")
