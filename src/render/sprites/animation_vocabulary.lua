-- The words animation scripts are written in. The host supplies WaitLuaNextFrame, SetAlpha,
-- SetCurrentFrame, Load, GetScript, Die, Pause, IsPlaying and Random.

local frameDelay = 16

alpha = 1
alphadelta = 0
alphacount = 0

function delay(ms)
    frameDelay = ms
end

function pause(ms)
    WaitLuaNextFrame(ms)
end

function showFrame()
    WaitLuaNextFrame(frameDelay)
end

function fadeout(n)
    alphadelta = -alpha / n
    alphacount = n
end

function fadein(n)
    alphadelta = (1 - alpha) / n
    alphacount = n
end

function setAlpha(a)
    alpha = a
    SetAlpha(a)
end

function frames(list)
    for _, f in ipairs(list) do
        if alphacount ~= 0 then
            alpha = alpha + alphadelta
            SetAlpha(alpha)
            alphacount = alphacount - 1
            if alphacount == 0 then
                alphadelta = 0
            end
        end
        SetCurrentFrame(f - 1)
        WaitLuaNextFrame(frameDelay)
    end
end

function loop(n, list)
    for i = 1, n do
        frames(list)
    end
end

function run(t)
    local file = t[1]
    local image = t.image or ""
    local mask = t.mask or ""
    local anim = t.anim or "DoAnim"
    if Load(file, image, mask) then
        local chunk = loadstring(GetScript() .. "; " .. anim .. "()")
        if chunk then
            chunk()
        end
    end
end

function die()
    Die()
end

function halt()
    Pause(true, -1)
end

function stop(n)
    Pause(true, n or -1)
end

function isPlaying(n)
    return IsPlaying(n or -1)
end

function random(a, b)
    return Random(a, b)
end

function endReferences()
end
