// TMsnZylomHandler: the bridge to a game portal's host window. Game states become event texts
// posted to the host in 8-byte pieces; the host's numbered commands come back as the
// "windowmessage" state; the bridge holds the game while the host pauses it and keeps it silent
// when the host or the game wants silence.
#pragma once

#include "services/game_state/game_state_handler.h"
#include "sys/window/window.h"

#include <cstdint>
#include <functional>

class TMsnZylomHandler : public TGameStateHandler
{
public:
    bool OnSetState(const char* name, const char* value) override;
    const char* FilterGetState(const char* name, const char* value) override;
    bool QueryRestartMode() override;
    bool QueryJumpToMenu() override;
    bool QueryMute() override;
    bool QueryHostPause() override;

    bool IsAolHost() const { return mAolHost; }

private:
    bool mAolHost = false;
};

// The installers the platform calls for "-msn" (and "-pq="), "-zylom" and "-aol": each makes sure
// the store exists and adds a new bridge.
void InstallMsnHandler();
void InstallZylomHandler();
void InstallAolHandler();
bool IsMsnHost();
bool IsZylomHost();

// Posts an event text to the host window, then pauses for the host when asked.
void SendHostEvent(const char* text, bool pauseAfter);
void HandleHostCommand(int command);
void EnterHostPause();
void LeaveHostPause();
void SetGamePause(bool paused);
void SetGameMute(bool on);
void SetLevelInfo(int level, int sublevel);
void UpdateHostMute();
bool IsRestartAvailable();

// What the bridge needs of the platform around it. By default: the host window kept from "-wnd=",
// "-pq=" on the command line, and the application's cursors; tests point them elsewhere.
struct TPortalPlatformLink
{
    std::function<sys::WindowHandle()> mHostWindow;
    std::function<bool()> mHostPage;
    // Hands the pointer to the host (false) or back to the game (true).
    std::function<void(bool)> mGameCursor;
};
void SetPortalPlatformLink(TPortalPlatformLink link);

// Every process-wide value of the bridge back to its start (and the link to its default).
void ResetPortalBridge();
