-- The window library every screen script stands on: the window system's constants, the window
-- description language and the modal-dialog protocol built on HandleGetMessage.

-- Alignment, button types, layers and placement anchors.
kHAlignLeft = 0
kHAlignCenter = 1
kHAlignRight = 2
kVAlignTop = 0
kVAlignCenter = 4
kVAlignBottom = 8
kPushButtonAlignment = kHAlignCenter + kVAlignCenter
kRadioButtonAlignment = kHAlignLeft + kVAlignCenter
kToggleButtonAlignment = kHAlignCenter + kVAlignCenter
kPush = 0
kToggle = 1
kRadio = 2
kAllLayers = -1
kCenter = 80000
kMax = 160000
kDefault = 128
gCurID = 100

-- Message types, each one more than the one before.
kGeneric = 0
kCloseWindow = kGeneric + 1
kDefaultAction = kCloseWindow + 1
kButtonPress = kDefaultAction + 1
kPressAnyKey = kButtonPress + 1
kQuitNow = kPressAnyKey + 1
kModalClosed = kQuitNow + 1
kTextEditChanged = kModalClosed + 1
kCommandOnly = kTextEditChanged + 1
kSliderValChanged = kCommandOnly + 1
kSliderMouseUp = kSliderValChanged + 1
kSliderPageUp = kSliderMouseUp + 1
kSliderPageDown = kSliderPageUp + 1
kUserMessageBase = 1000

-- Names of game states.
kCmdLine = "cmdline"
kLevel = "level"
kSubLevel = "sublevel"
kPause = "pause"
kMute = "mute"
kBreakNow = "breaknow"
kScore = "score"
kGameMode = "gamemode"
kGameOver = "gameover"
kSystemMode = "systemmode"
kCheatMode = "cheatmode"
kGameName = "gamename"
kGameVersion = "version"
kHiscoreLocalOnly = "hiscorelocal"
kHiscoreAnonymous = "hiscoreanon"

LUA_PATH = "?;../?;../../?"
gReturnValue = nil
idtable = {}
gParent = {}
gCurrentDefaultStyle = {}
gBeginGroup = 0
gClosedWindows = {}
gCommandQueue = {}
gMessageQueue = {}
gDialogTable = {}

-- The description language.

function Creating(typeName, t)
end

function DoWindow(t)
    t.beginGroup = gBeginGroup
    gBeginGroup = 0
    GenericCreate(t)
    MakeDialog(t)
    PopWindow()
end

function MakeDialog(t)
    local style = gCurrentDefaultStyle
    if t.name and t.name ~= "" then
        SetWindowName(t.name)
    end
    table.foreachi(t, DoDialogCommand)
    typename = t.typename
    SetDefaultStyle(style)
    if typename then
        PostCreate(t, typename)
    end
end

function DoDialogCommand(index, f)
    f()
end

function Group(t)
    return function() MakeDialog(t) end
end

function SetBeginGroup()
    gBeginGroup = 1
end

function BeginGroup()
    return function() SetBeginGroup() end
end

function SetStyle(style)
    return function() SetDefaultStyle(style) end
end

function AppendStyle(style)
    return function()
        style.parent = gCurrentDefaultStyle
        SetDefaultStyle(style)
    end
end

function SetDefaultStyle(style)
    gCurrentDefaultStyle = style
end

function GetTag(style, key, noDefault)
    if style[key] ~= nil then
        return style[key]
    end
    if not noDefault then
        return GetTag(gCurrentDefaultStyle, key, true)
    end
    if style.parent then
        return GetTag(style.parent, key, true)
    end
    return nil
end

function SelectLayer(layer)
    return function() DoSelectLayer(layer) end
end

function FitToChildren()
    return function() DoFitToChildren() end
end

function SetDefault(x)
    return function() end
end

function CustomCreator(x)
end

function SetFocus(name)
    RealSetFocus(name)
end

function Push(w)
    table.insert(gParent, 1, w)
end

function Pop()
    table.remove(gParent, 1)
end

-- Colours and layout.

function Color(r, g, b, a)
    if a == nil then
        return { r / 255, g / 255, b / 255, 1 }
    end
    return { r / 255, g / 255, b / 255, a / 255 }
end

function FColor(r, g, b, a)
    if a == nil then
        return { r, g, b, 1 }
    end
    return { r, g, b, a }
end

function DistributeX(n)
    divisor = n + 1
    d = {}
    for i = 1, n do
        d[i] = i / divisor * gDialogWidth
    end
    return d
end

function DistributeY(n)
    local div = n + 1
    local r = {}
    for i = 1, n do
        r[i] = i / div * gDialogHeight
    end
    return r
end

-- Strings, bitmaps, states, hot keys.

function GetString(key, a1, a2, a3, a4, a5)
    return _GetString(key, a1 or "", a2 or "", a3 or "", a4 or "", a5 or "")
end

function SetBitmap(name, image, scale)
    if scale == nil then
        scale = 1
    end
    _SetBitmap(name, image, scale)
end

function SetState(name, value)
    -- A table's or a function's text is its address: a state under it could never be read back.
    local kind = type(name)
    if kind ~= "string" and kind ~= "number" then
        error("SetState: the state's name must be a string or a number", 2)
    end
    if value == true then
        value = 1
    elseif value == false then
        value = 0
    end
    _SetState(tostring(name), tostring(value))
end

function RegisterHotkey(key, button)
    if key and button then
        _RegisterHotkey(key, button)
    end
end

function ReadFile(name)
    return dofile("assets/" .. name)
end

-- The modal protocol.

function WaitForMessage(timeout, skipQueue)
    local n = table.getn(gMessageQueue)
    if skipQueue == nil and n > 0 then
        message = gMessageQueue[n]
        table.remove(gMessageQueue)
        return message
    end
    local msg, cmd = HandleGetMessage(timeout)
    message = msg
    if cmd then
        gYieldResult = cmd()
    else
        local k = table.getn(gCommandQueue)
        if k > 0 then
            cmd = gCommandQueue[k]
            table.remove(gCommandQueue)
            gYieldResult = cmd()
        end
    end
    return msg
end

function FlushMessages()
    while HandleGetMessage(1) do
    end
    gCommandQueue = {}
    gMessageQueue = {}
end

function Yield()
    return coroutine.yield()
end

function Pause(ms, breakOnKey)
    if breakOnKey == nil then
        breakOnKey = false
    end
    local finish = GetTimer() + ms
    while GetTimer() < finish do
        local msg = WaitForMessage(finish - GetTimer(), true)
        if msg ~= nil then
            if breakOnKey and msg.type == kPressAnyKey then
                return
            end
            table.insert(gMessageQueue, msg)
        end
    end
end

function WaitForCloseMessage(id)
    while true do
        local msg = WaitForMessage()
        if msg ~= nil then
            gLastMessage = msg
            if msg.type == kModalClosed then
                if msg.name == id then
                    return
                end
                gClosedWindows[msg.name] = true
            end
        end
        if gClosedWindows[id] == true then
            gClosedWindows[id] = nil
            return
        end
    end
end

function DoModal(file)
    local id = PushModal(file)
    ReadFile(file)
    DoFitToChildren()
    WaitForCloseMessage(id)
    local r = gReturnValue
    gReturnValue = nil
    return r
end

function DoMainWindow(file)
    PushModal(file)
    local depth = GetWindowDepth()
    ReadFile(file)
    DoFitToChildren()
    while true do
        local msg = WaitForMessage()
        if msg ~= nil then
            gLastMessage = msg
        end
        if GetWindowDepth() < depth then
            return
        end
    end
end

function DisplayDialog(t)
    local script = t[1]
    if script == nil or script == false or script == "" then
        DebugOut("DisplayDialog called with empty script; aborting")
        return
    end
    local id = PushModal(script)
    gDialogTable = t
    ReadFile(script)
    WaitForCloseMessage(id)
    local r = gReturnValue
    gReturnValue = nil
    return r
end

function SwapToModal(file)
    ClearModalChildren()
    ReadFile(file)
    DoFitToChildren()
end

function PopModal(nameOrId)
    DoPopModal(nameOrId)
end

function ModalReturn(v)
    gReturnValue = v
end

function CloseWindow(v)
    PostMessage(CreateCloseMessage())
    if v then
        ModalReturn(v)
    end
end

function DisplaySplash(movie, image, duration)
    local id = PushModal("DisplaySplash")
    local translate = GetTag({}, "translate") or false
    local allowInput = GetTag({}, "allowInput") or false
    inMovie = StartMovie(movie, translate, allowInput)
    local finish = GetTimer() + duration
    local disableAbort = GetTag({}, "disableAbort") or false
    if inMovie == false then
        local overlay = GetTag({}, "splashoverlay") or Group({})
        if image == nil then
            return
        end
        MakeDialog({ Bitmap({ name = "splashimage", image = image, autoscale = true, overlay }) })
        UpdateWindow()
        Pause(50)
        UpdateWindow()
        Pause(50)
    end
    if inMovie == true or ImageLoaded("splashimage") == true then
        while true do
            local msg = WaitForMessage(1)
            if not inMovie and finish < GetTimer() then
                break
            elseif msg ~= nil then
                if msg.type == kCloseWindow then
                    break
                elseif msg.type == kModalClosed then
                    if msg.name == id then
                        break
                    end
                    gClosedWindows[msg.name] = true
                elseif disableAbort == false and msg.type == kPressAnyKey then
                    break
                end
            end
            if inMovie == true and IsMoviePlaying() == false then
                break
            end
        end
    end
    if inMovie == true then
        StopMovie()
    end
    PopModal(id)
end
