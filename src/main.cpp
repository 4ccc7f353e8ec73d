// The program's entry point: puts the game's identity into the configuration store, links the
// services above the platform into its seams and hands control to the platform with the game's
// main function.
#include "platform/application.h"
#include "platform/config.h"
#include "platform/host_services_seam.h"
#include "platform/platform_main.h"
#include "services/dll_game_state.h"
#include "services/exit_stats.h"
#include "services/game_state.h"
#include "services/host_pause.h"

namespace
{

// The game-state store, its add-on modules and the exit statistics, as the platform calls them.
class TServicesLink : public THostServicesSeam
{
public:
    void EnsureGameState() override { TGameState::Instance(); }
    bool GameStateExists() override { return TGameState::Instance() != nullptr; }
    void SetState(const TString& name, const TString& value) override
    {
        if (TGameState* state = TGameState::Instance())
            state->SetState(name, value);
    }
    bool QueryHostPause() override { return TGameState::QueryHostPause(); }
    void DestroyGameState() override { TGameState::Destroy(); }
    uint32_t GetHostPauseTime() override { return ::GetHostPauseTime(); }
    int LoadAddOnModules() override { return ::LoadAddOnModules(); }
    bool PostExitStatistics() override { return PostExitStats(); }
};

void SetGameIdentity()
{
    SetConfig("gamename", "Murkwell");
    SetConfig("publisher", "Tovrix");
    SetConfig("encryptionkey", "MwTvx7Rk2qLe");
    SetConfig("automergemask", "1");
    SetConfig("brokenindexedverts", "1");
}

// Until the game's own main function exists: show the window and pump events until the player
// closes it or the program is asked to quit.
int GameMain(TApplication* application, const char*)
{
    application->SetDisplayMode(800, 600, false);
    TPlatformEvent event;
    for (;;)
    {
        application->NextEvent(&event);
        if (event.mType == kEventClose || event.mType == kEventQuit)
            return 0;
    }
}

} // namespace

int main(int argc, char** argv)
{
    SetGameIdentity();
    static TServicesLink services;
    SetHostServices(&services);
    SetGameStateApplicationProbe([] { return TApplication::Get() != nullptr; });
    TString commandLine = JoinCommandLine(argc, argv);
    PlatformMain(nullptr, nullptr, commandLine.c_str(), 1, &GameMain, false);
    return 0;
}
