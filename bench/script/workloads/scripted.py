# 200 coroutine scripts run frame by frame: each waits by yielding the time it has left and is
# resumed with the frame's step, moves its window a little between waits, and when its script
# is over a new one takes its place.
def wait(ms):
    left = ms
    while left > 0:
        left = left - (yield left)
    return left


def script(id_, window):
    for step in range(1, 6 + id_ % 5 + 1):
        over = yield from wait(20 + id_ * step % 7 * 8)
        window["x"] = window["x"] + step
        window["y"] = window["y"] - over
        window["steps"] = window["steps"] + 1
    return id_


def start(id_, window):
    co = script(id_, window)
    next(co)
    return co


count = 200
windows, scripts = [], []
started = 0
for i in range(count):
    started = started + 1
    windows.append({"x": 0, "y": 0, "steps": 0})
    scripts.append(None)
    scripts[i] = (started, windows[i])
waiting, finished = 0, 0
for frame in range(6000):
    for i in range(count):
        co = scripts[i]
        try:
            if isinstance(co, tuple):
                co = script(*co)
                scripts[i] = co
                left = next(co)
            else:
                left = co.send(16)
            waiting = waiting + left
        except StopIteration as done:
            finished = finished + done.value
            started = started + 1
            scripts[i] = (started, windows[i])
sx, sy, steps = 0, 0, 0
for i in range(count):
    sx = sx + windows[i]["x"]
    sy = sy + windows[i]["y"]
    steps = steps + windows[i]["steps"]
print(started, waiting, finished, sx, sy, steps, sep="\t")
