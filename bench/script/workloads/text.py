# Text processing over about 3 MB: find, gsub and gfind with character classes and sets.
import re
import string

words = ["alpha", "Beta", "gamma42", "Delta", "eps1lon", "zeta", "ETA", "theta99"]
lines = []
for i in range(1, 70001):
    a = words[i % 8]
    b = words[i * 3 % 8]
    lines.append(a + " " + b + ", item" + str(i) + "; x=" + str(i * 7) + " (Done).")
text = "\n".join(lines)
_, word_count = re.subn(r"[A-Za-z]+", "", text)
total = 0
for d in re.findall(r"[0-9]+", text):
    total = total + int(d)
caps = 0
pos = 0
finder = re.compile(r"[A-Z][a-z]+")
while True:
    m = finder.search(text, pos)
    if not m:
        break
    caps = caps + 1
    pos = m.end()
swapped, swaps = re.subn(r"([A-Za-z]+)([0-9]+)", r"\2\1", text)
_, idents = re.subn(r"[A-Za-z0-9_]+", "w", text)
_, marks = re.subn("[" + re.escape(string.punctuation) + "]", "", text)
_, spaces = re.subn(r"[ \t\n\r\f\v]+", " ", text)
print(word_count, total, caps, len(swapped), swaps, idents, marks, spaces, sep="\t")
