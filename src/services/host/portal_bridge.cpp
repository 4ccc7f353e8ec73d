// The portal host bridge: its process-wide state, the event texts and the host commands.
#include "services/host/portal_bridge.h"

#include "platform/shell/application.h"
#include "platform/shell/task.h"
#include "platform/strings/tstring.h"
#include "render/display/platform.h"
#include "services/game_state/game_state.h"
#include "services/host/host_pause.h"
#include "sys/clock.h"
#include "sys/window/events.h"
#include "sys/window/host.h"

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <utility>

namespace
{

constexpr uint32_t kHostMessage = 1024; // WM_USER
constexpr uint32_t kBroadcastGapMs = 5000;
constexpr size_t kEventSize = 256;

// Shared by every bridge object: the portal page sees one game, whichever object hears a state.
struct TPortalBridgeState
{
    bool msnHost = false;
    bool zylomHost = false;
    bool sessionReadySent = false;
    bool jumpToMenuRequested = false;
    bool restartRequested = false;
    bool hostMute = false;
    bool gameMute = false;
    bool muted = false;
    float savedVolume = 0.0f;
    bool hostPaused = false;
    uint32_t hostPauseStartTick = 0;
    bool inGame = false;
    bool gamePaused = false;
    bool scoreSubmitted = false;
    int32_t breakCount = 0;
    uint32_t lastBroadcastTick = 0;
    int32_t level = 0;
    int32_t sublevel = 0;
    TClock hostStopwatch;
    int32_t comInterval = -1;
    bool atMenu = true;
    // The answer FilterGetState hands out; valid until the next filtered read.
    TString filtered;
};

TPortalBridgeState& State()
{
    static TPortalBridgeState state;
    return state;
}

TPortalPlatformLink DefaultLink()
{
    TPortalPlatformLink link;
    link.mHostWindow = []() -> sys::WindowHandle
    {
        TApplication* application = TApplication::Get();
        return application && application->GetImpl()
                   ? application->GetImpl()->mHost.mExternalWindowParent
                   : 0;
    };
    link.mHostPage = [] { return IsHostPageGame(); };
    link.mGameCursor = [](bool game)
    {
        TApplication* application = TApplication::Get();
        if (!application || !application->GetImpl())
            return;
        if (!game)
        {
            application->ShowSystemCursor(false);
            sys::SetSystemCursor(sys::LoadArrowCursor());
            return;
        }
        const TCursorSlot cursor = application->GetImpl()->mCursor.mSlots[0];
        application->SetCursorTexture(cursor.mTexture, cursor.mHotX, cursor.mHotY, 0);
        application->ShowSystemCursor(true);
        if (TPlatform* platform = TPlatform::Instance())
            platform->ShowSystemCursor();
    };
    return link;
}

TPortalPlatformLink& Link()
{
    static TPortalPlatformLink link = DefaultLink();
    return link;
}

bool Hosted()
{
    return State().msnHost || State().zylomHost;
}

uint32_t StopwatchSeconds()
{
    return State().hostStopwatch.GetTime() / 1000;
}

// An event formatted as the host reads it; a text that would not fit is cut, never overrun.
template <typename... Args> void SendFormatted(bool pauseAfter, const char* format, Args... args)
{
    char text[kEventSize];
    std::snprintf(text, sizeof text, format, args...);
    SendHostEvent(text, pauseAfter);
}

void SendSessionReady()
{
    if (!Hosted() || State().sessionReadySent)
        return;
    State().sessionReadySent = true;
    SendHostEvent("SessionReady(\"<data></data>\")", true);
}

void SendLoadBroadcast(int percent)
{
    if (!State().msnHost || State().sessionReadySent)
        return;
    SendFormatted(true, "LoadBroadcast(\"<data><percentcomplete>%d</percentcomplete></data>\")",
                  percent);
}

void SendGameReady(const TString& mode)
{
    if (!Hosted())
        return;
    static const char kHead[] = "GameReady(\"<data><mode>";
    static const char kTail[] = "</mode></data>\")";
    // The mode is cut so the closing tags always arrive.
    const int room = int(kEventSize) - int(sizeof kHead - 1) - int(sizeof kTail - 1) - 1;
    const int length = mode.Length() < room ? mode.Length() : room;
    SendFormatted(true, "%s%.*s%s", kHead, length, mode.c_str(), kTail);
}

void SendGameBreak()
{
    if (!Hosted())
        return;
    ++State().breakCount;
    SendFormatted(true, "GameBreak(\"<data><breakpoint>%d</breakpoint></data>\")",
                  int(State().breakCount));
}

void SendScoreBroadcast(int score)
{
    if (!Hosted() || !State().inGame)
        return;
    const uint32_t now = sys::GetTimeMs();
    if (now - State().lastBroadcastTick < kBroadcastGapMs)
        return;
    State().lastBroadcastTick = now;
    SendFormatted(false, "ScoreBroadcast(\"<game><score>%ld</score><time>%ld</time></game>\")",
                  long(score), long(StopwatchSeconds()));
}

void SendScoreSubmit(int score)
{
    TPortalBridgeState& state = State();
    if (state.zylomHost)
    {
        SendFormatted(false,
                      "ScoreSubmit(\"<game><score>%ld</score><time>%ld</time><level>%d</level>"
                      "<sublevel>%d</sublevel></game>\")",
                      long(score), long(StopwatchSeconds()), int(state.level), int(state.sublevel));
        state.scoreSubmitted = true;
    }
    else if (state.msnHost)
    {
        SendFormatted(false, "ScoreSubmit(\"<game><score>%ld</score><time>%ld</time></game>\")",
                      long(score), long(StopwatchSeconds()));
    }
}

void SendGameEnd()
{
    if (!Hosted())
        return;
    State().inGame = false;
    SendHostEvent("GameEnd(\"<gamedata></gamedata>\")", true);
}

void SendRestart()
{
    if (State().zylomHost && IsRestartAvailable() && State().scoreSubmitted)
        SendHostEvent("Restart", false);
}

int StoredNumber(const char* name)
{
    TGameState* store = TGameState::Instance();
    return store ? store->GetState(name).ToInt() : 0;
}

void Install(bool* flag)
{
    if (flag)
        *flag = true;
    TGameState::Instance();
    TGameState::AddHandler(new TMsnZylomHandler);
}

} // namespace

void InstallMsnHandler()
{
    Install(&State().msnHost);
}

void InstallZylomHandler()
{
    Install(&State().zylomHost);
}

void InstallAolHandler()
{
    Install(nullptr);
}

bool IsMsnHost()
{
    return State().msnHost;
}

bool IsZylomHost()
{
    return State().zylomHost;
}

void SendHostEvent(const char* text, bool pauseAfter)
{
    if (Link().mHostPage && Link().mHostPage())
    {
        State().inGame = true;
        return;
    }
    if (State().zylomHost)
        pauseAfter = false;
    const sys::WindowHandle host = Link().mHostWindow ? Link().mHostWindow() : 0;
    const size_t size = std::strlen(text) + 1;
    for (size_t start = 0; start < size; start += 8)
    {
        uint8_t piece[8] = {};
        std::memcpy(piece, text + start, size - start < 8 ? size - start : 8);
        const uint32_t low = uint32_t(piece[0]) | uint32_t(piece[1]) << 8 |
                             uint32_t(piece[2]) << 16 | uint32_t(piece[3]) << 24;
        const uint32_t high = uint32_t(piece[4]) | uint32_t(piece[5]) << 8 |
                              uint32_t(piece[6]) << 16 | uint32_t(piece[7]) << 24;
        // A host window that is gone refuses the post; the host page owns what it missed.
        if (host != 0)
            sys::GetHostChannel().PostMessage(host, kHostMessage, sys::WParam(low),
                                              sys::LParam(high));
    }
    if (pauseAfter)
        EnterHostPause();
    UpdateHostMute();
}

void HandleHostCommand(int command)
{
    TPortalBridgeState& state = State();
    if (Hosted())
    {
        switch (command)
        {
        case 1:
            state.jumpToMenuRequested = true;
            break;
        case 2:
            state.hostMute = true;
            break;
        case 3:
            state.hostMute = false;
            break;
        case 4:
            if (Link().mHostPage && Link().mHostPage() && sys::GetCapture() != 0)
                sys::ReleaseCapture();
            EnterHostPause();
            break;
        case 5:
        case 6:
        case 9:
        case 10:
            LeaveHostPause();
            break;
        case 7:
            state.inGame = true;
            state.lastBroadcastTick = 0;
            state.gamePaused = false;
            LeaveHostPause();
            state.hostStopwatch.Reset();
            state.hostStopwatch.Start();
            state.breakCount = 0;
            if (state.atMenu)
                state.atMenu = false;
            else
                state.restartRequested = true;
            break;
        case 8:
            state.restartRequested = true;
            break;
        default:
            break;
        }
    }
    UpdateHostMute();
}

void EnterHostPause()
{
    TPortalBridgeState& state = State();
    if (state.hostPaused)
        return;
    state.hostPaused = true;
    state.hostPauseStartTick = sys::GetTimeMs();
    if (!state.gamePaused)
    {
        state.hostStopwatch.Pause();
        if (Link().mGameCursor)
            Link().mGameCursor(false);
    }
}

void LeaveHostPause()
{
    TPortalBridgeState& state = State();
    if (!state.hostPaused)
        return;
    state.hostPaused = false;
    AddHostPauseTime(sys::GetTimeMs() - state.hostPauseStartTick);
    state.hostPauseStartTick = 0;
    if (!state.gamePaused)
    {
        state.hostStopwatch.Start();
        if (Link().mGameCursor)
            Link().mGameCursor(true);
    }
}

void SetGamePause(bool paused)
{
    TPortalBridgeState& state = State();
    if (!Hosted() || paused == state.gamePaused)
        return;
    state.gamePaused = paused;
    if (!state.hostPaused)
    {
        if (paused)
            state.hostStopwatch.Pause();
        else
            state.hostStopwatch.Start();
        if (state.zylomHost)
            SendHostEvent(paused ? "GamePause(\"<data>true</data>\")"
                                 : "GamePause(\"<data>false</data>\")",
                          true);
    }
    UpdateHostMute();
}

void SetGameMute(bool on)
{
    if (!Hosted())
        return;
    State().gameMute = on;
    UpdateHostMute();
}

void SetLevelInfo(int level, int sublevel)
{
    State().level = level;
    State().sublevel = sublevel;
}

void UpdateHostMute()
{
    TPortalBridgeState& state = State();
    bool wanted = state.hostMute || state.gamePaused || state.hostPaused || state.gameMute;
    if (state.msnHost && !state.zylomHost && !state.inGame)
        wanted = true;
    const TGameStateVolumeLink& volume = GetGameStateVolumeLink();
    if (wanted && !state.muted)
    {
        state.muted = true;
        state.savedVolume = volume.mGetMasterVolume ? volume.mGetMasterVolume() : 0.0f;
        if (volume.mSetMasterVolume)
            volume.mSetMasterVolume(0.0f);
    }
    else if (!wanted && state.muted)
    {
        state.muted = false;
        if (volume.mSetMasterVolume)
            volume.mSetMasterVolume(state.savedVolume);
        state.savedVolume = 0.0f;
    }
}

bool IsRestartAvailable()
{
    return State().comInterval >= 0 && StopwatchSeconds() > uint32_t(State().comInterval);
}

void SetPortalPlatformLink(TPortalPlatformLink link)
{
    Link() = std::move(link);
}

void ResetPortalBridge()
{
    State() = TPortalBridgeState();
    Link() = DefaultLink();
}

bool TMsnZylomHandler::OnSetState(const char* name, const char* value)
{
    // Every state of the game passes here: names are compared as they come, without a text made
    // for each, and a value becomes a text only where a branch reads it.
    auto is = [name](const char* key) { return std::strcmp(name, key) == 0; };
    // As TString::ToInt reads a number: decimal, clamped to the int range.
    auto number = [value]
    {
        return static_cast<int>(
            std::clamp<long long>(std::strtoll(value, nullptr, 10), INT_MIN, INT_MAX));
    };
    TPortalBridgeState& state = State();
    if (is("windowmessage"))
    {
        HandleHostCommand(number());
        return true;
    }
    if (is("loadbroadcast"))
    {
        SendLoadBroadcast(100);
        return true;
    }
    if (is("sessionready"))
    {
        SendSessionReady();
        return true;
    }
    if (is("cmdline"))
    {
        const TString text(value);
        if (state.zylomHost)
        {
            const int at = text.Find("-com_interval");
            state.comInterval =
                at >= 0 && at + 14 <= text.Length() ? std::atoi(text.c_str() + at + 14) : -1;
        }
        else if (text.Find("-aol") >= 0)
        {
            mAolHost = true;
        }
        return false;
    }
    if (is("level"))
        SetLevelInfo(number(), StoredNumber("sublevel"));
    else if (is("sublevel"))
        SetLevelInfo(StoredNumber("level"), number());
    else if (is("pause"))
        SetGamePause(number() != 0);
    else if (is("mute"))
    {
        SetGameMute(number() != 0);
        return true;
    }
    else if (is("breaknow"))
        SendGameBreak();
    else if (is("score"))
        SendScoreBroadcast(number());
    else if (is("gamemode"))
        SendGameReady(TString(value));
    else if (is("gameover"))
    {
        SendScoreSubmit(StoredNumber("score"));
        SendGameEnd();
    }
    else if (is("restartbutton"))
        SendRestart();
    return false;
}

const char* TMsnZylomHandler::FilterGetState(const char* name, const char* value)
{
    const TString key(name);
    TPortalBridgeState& state = State();
    if (key == "systemmode")
    {
        state.filtered = value;
        if (state.zylomHost)
            state.filtered = "zylom";
        if (state.msnHost)
            state.filtered = "msn";
        if (mAolHost)
            state.filtered = "aol";
        return state.filtered.c_str();
    }
    if (key == "restartbutton")
    {
        state.filtered = IsRestartAvailable() ? "1" : "0";
        return state.filtered.c_str();
    }
    return value;
}

bool TMsnZylomHandler::QueryRestartMode()
{
    TPortalBridgeState& state = State();
    if (!Hosted() || !state.restartRequested)
        return false;
    state.restartRequested = false;
    state.inGame = true;
    UpdateHostMute();
    return true;
}

bool TMsnZylomHandler::QueryJumpToMenu()
{
    TPortalBridgeState& state = State();
    if (!Hosted() || !state.jumpToMenuRequested)
        return false;
    state.jumpToMenuRequested = false;
    state.atMenu = true;
    state.inGame = false;
    UpdateHostMute();
    return true;
}

bool TMsnZylomHandler::QueryMute()
{
    return State().muted;
}

bool TMsnZylomHandler::QueryHostPause()
{
    return Hosted() && State().hostPaused;
}
