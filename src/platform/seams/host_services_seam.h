// What the platform shell asks of the host-integration and online services: the game-state store,
// its handlers and add-on modules, and the exit statistics. Those live in a layer above the
// platform; the program's entry installs them. Until then nothing answers.
#pragma once

#include "platform/strings/tstring.h"

#include <cstdint>

class THostServicesSeam
{
public:
    virtual ~THostServicesSeam() = default;

    // TGameState::Instance: makes sure the store exists (it needs the application facade).
    virtual void EnsureGameState() {}
    virtual bool GameStateExists() { return false; }
    virtual void SetState(const TString& name, const TString& value)
    {
        (void)name;
        (void)value;
    }
    virtual void SetStateInt(const TString& name, int value)
    {
        SetState(name, TString::Format("%d", value));
    }
    virtual bool QueryHostPause() { return false; }
    virtual void DestroyGameState() {}

    // Portal handlers chosen by the command line.
    virtual void InstallMsnHandler() {}
    virtual void InstallZylomHandler() {}
    virtual void InstallAolHandler() {}
    virtual bool IsZylomHost() { return false; }
    // Milliseconds the host kept the game paused.
    virtual uint32_t GetHostPauseTime() { return 0; }

    // The metrics handlers chosen by "glintview" and "postmetrics".
    virtual void AddGlintviewHandler() {}
    virtual void AddPostMetricsHandler() {}
    // Loads the add-on modules (".qmmod" names at the top of the asset folder) as handlers of the
    // store; answers how many were added.
    virtual int LoadAddOnModules() { return 0; }

    // Posts the player's metrics file as the exit statistics (teardown calls it when "postmetrics"
    // is enabled, after the window is gone); true when the file was accepted and deleted.
    virtual bool PostExitStatistics() { return false; }
};

// The stand-in before the services exist: no store, no handlers, no network.
class TNoHostServices : public THostServicesSeam
{
};

// The installed services stay owned by the caller; null goes back to TNoHostServices.
void SetHostServices(THostServicesSeam* services);
THostServicesSeam& GetHostServices();
