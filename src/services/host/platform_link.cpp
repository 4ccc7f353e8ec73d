// The services behind the platform's host-services seam, and the game-state store's links to the
// application facade and its sound manager.
#include "services/host/platform_link.h"

#include "platform/shell/application.h"
#include "platform/seams/host_services_seam.h"
#include "platform/seams/sound_manager_seam.h"
#include "services/game_state/dll_game_state.h"
#include "services/metrics/exit_stats.h"
#include "services/game_state/game_state.h"
#include "services/host/host_pause.h"
#include "services/movie/movie_host.h"
#include "services/metrics/metrics_handler.h"
#include "services/host/portal_bridge.h"
#include "services/xsell_window.h"
#include "ui/window_script.h"

#include <utility>

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
    void InstallMsnHandler() override { ::InstallMsnHandler(); }
    void InstallZylomHandler() override { ::InstallZylomHandler(); }
    void InstallAolHandler() override { ::InstallAolHandler(); }
    bool IsZylomHost() override { return ::IsZylomHost(); }
    // Only the portals that pause count their pauses.
    uint32_t GetHostPauseTime() override
    {
        return ::IsMsnHost() || ::IsZylomHost() ? ::GetHostPauseTime() : 0;
    }
    void AddGlintviewHandler() override { TGameState::AddHandler(TGlintviewHandler::Create()); }
    void AddPostMetricsHandler() override { TGameState::AddHandler(TPostMetricsHandler::Create()); }
    int LoadAddOnModules() override { return ::LoadAddOnModules(); }
    bool PostExitStatistics() override { return PostExitStats(); }
};

TServicesLink gServicesLink;

// Null before InitSoundManager and after teardown: muting then changes no volume.
TSoundManagerSeam* SoundManager()
{
    TApplication* application = TApplication::Get();
    return application ? application->GetSoundManager() : nullptr;
}

} // namespace

void LinkServicesToPlatform()
{
    SetHostServices(&gServicesLink);
    // Before the platform starts, so the window script registers "XSellWindow" with the others.
    SetCrossSellCreator(&TXSellWindow::Create);
    SetMoviePlayerFactory(&TMovieHost::Create);
    SetGameStateApplicationProbe([] { return TApplication::Get() != nullptr; });
    SetGameStateScriptRegistrar(&TGameState::BindScriptFunctions);
    TGameStateVolumeLink volume;
    volume.mGetMasterVolume = []
    {
        TSoundManagerSeam* sound = SoundManager();
        return sound ? sound->GetEffectiveVolume(-1) : 0.0f;
    };
    volume.mSetMasterVolume = [](float level)
    {
        if (TSoundManagerSeam* sound = SoundManager())
            sound->SetMasterVolume(level);
    };
    SetGameStateVolumeLink(std::move(volume));
}

void UnlinkServicesFromPlatform()
{
    SetHostServices(nullptr);
    SetCrossSellCreator(nullptr);
    SetMoviePlayerFactory(nullptr);
    SetGameStateApplicationProbe(nullptr);
    SetGameStateScriptRegistrar(nullptr);
    SetGameStateVolumeLink(TGameStateVolumeLink());
}
