# An entity loop: 20 000 string-keyed tables moved and aged each of 100 frames, the expired ones
# removed and replaced by new ones.
count = 20000
entities = []
next_id = 0


def spawn(i):
    global next_id
    next_id = next_id + 1
    return {"id": next_id, "x": i, "y": 0, "vx": 1, "vy": 2, "age": 0,
            "life": 20 + next_id * 7 % 100}


for i in range(1, count + 1):
    entities.append(spawn(i))
replaced = 0
for frame in range(1, 101):
    for i in range(count):
        e = entities[i]
        e["x"] = e["x"] + e["vx"]
        e["y"] = e["y"] + e["vy"]
        e["age"] = e["age"] + 1
        if e["age"] > e["life"]:
            entities[i] = spawn(i + 1)
            replaced = replaced + 1
total = 0
for i in range(count):
    total = total + entities[i]["x"] + entities[i]["y"]
print(replaced, next_id, total, sep="\t")
