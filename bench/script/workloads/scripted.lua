-- 200 coroutine scripts run frame by frame: each waits by yielding the time it has left and is
-- resumed with the frame's step, moves its window a little between waits, and when its script
-- is over a new one takes its place.
local function wait(ms)
    local left = ms
    while left > 0 do
        left = left - coroutine.yield(left)
    end
    return left
end

local function script(id, window)
    return function()
        for step = 1, 6 + math.mod(id, 5) do
            local over = wait(20 + math.mod(id * step, 7) * 8)
            window.x = window.x + step
            window.y = window.y - over
            window.steps = window.steps + 1
        end
        return id
    end
end

local count = 200
local windows, scripts = {}, {}
local started = 0
for i = 1, count do
    started = started + 1
    windows[i] = {x = 0, y = 0, steps = 0}
    scripts[i] = coroutine.create(script(started, windows[i]))
end
local waiting, finished = 0, 0
for frame = 1, 6000 do
    for i = 1, count do
        local ok, left = coroutine.resume(scripts[i], 16)
        if coroutine.status(scripts[i]) == "dead" then
            finished = finished + left
            started = started + 1
            scripts[i] = coroutine.create(script(started, windows[i]))
        else
            waiting = waiting + left
        end
    end
end
local sx, sy, steps = 0, 0, 0
for i = 1, count do
    sx = sx + windows[i].x
    sy = sy + windows[i].y
    steps = steps + windows[i].steps
end
print(started, waiting, finished, sx, sy, steps)
