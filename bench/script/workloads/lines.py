# A text of about 300 KB split into lines with string.find and string.gfind, fields cut with
# captures and string.sub, numbers read with tonumber, and lines put together again with ..,
# string.format and table.concat.
import re

places = ["gatehouse", "observatory", "crypt", "fen", "storeroom"]
names = ["Lamp oil", "Gate key", "Star scroll", "Crystal", "Wax", "Medallion", "Rope"]
rows = []
for i in range(1, 8001):
    rows.append("item" + str(i) + ";" + names[i % 7] + ";" + str(i * 13 % 97) + ";" +
                str(i * 7 % 50) + "." + str(i % 10) + "5;" + places[i % 5])
text = "\n".join(rows) + "\n"

fields = re.compile(r"([A-Za-z0-9]+);([^;]*);([0-9]+);([0-9.]+);([A-Za-z]+)$")
line_pattern = re.compile(r"[^\n]+")
count, length, checksum = 0, 0, 0
for pass_ in range(24):
    # Lines found with str.find and cut by slicing; fields taken by captures.
    out = []
    pos = 0
    while True:
        s = text.find("\n", pos)
        if s < 0:
            break
        line = text[pos:s]
        pos = s + 1
        m = fields.match(line)
        ident, name, qty, price, place = m.groups()
        q = int(qty)
        p = float(price)
        count = count + q
        out.append("%-10s %s x%d @ %5.2f" % (ident, name, q, p) + " in " + place[0:3] + ".")
    joined = "\n".join(out)
    length = length + len(joined)

    # Lines found with a pattern search, each split at its separators by position.
    for m in line_pattern.finditer(text):
        line = m.group(0)
        a = line.find(";")
        b = line.find(";", a + 1)
        c = line.find(";", b + 1)
        checksum = checksum + int(line[b + 1:c]) + len(line[0:a])
print(count, length, checksum, sep="\t")
