// TDllGameState: a game-state handler that lives in an add-on module (a ".qmmod" shared object at
// the top of the asset folder), and the start-up walk that loads every such module.
#pragma once

#include "platform/strings/tstring.h"
#include "services/game_state/game_state_handler.h"

// The entries an add-on module exports (with C linkage): "CreateHandler" makes its handler object,
// derived from TGameStateHandler and built against that header; "DestroyHandler" destroys it.
using TCreateHandlerEntry = TGameStateHandler* (*)();
using TDestroyHandlerEntry = void (*)(TGameStateHandler*);

class TDllGameState : public TGameStateHandler
{
public:
    TDllGameState();
    ~TDllGameState() override;

    // Resolves the logical name, loads the module, finds both entries and creates the object;
    // false at the first step that fails (what was obtained is released by the destructor).
    bool Load(TString name);

    bool OnSetState(const char* name, const char* value) override;
    const char* FilterGetState(const char* name, const char* value) override;
    bool QueryRestartMode() override;
    bool QueryJumpToMenu() override;
    bool QueryMute() override;
    bool QueryHostPause() override;

private:
    struct ModuleRecord
    {
        void* mModule = nullptr;
        TCreateHandlerEntry mCreateEntry = nullptr;
        TDestroyHandlerEntry mDestroyEntry = nullptr;
        TGameStateHandler* mObject = nullptr;
    };
    ModuleRecord* mRecord;
};

// Loads every logical name at the top of the asset folder that contains ".qmmod" (except
// "glintview.qmmod") and appends each module that loads to the store's handlers, in the file
// layer's order; a module that fails is dropped without a word. Returns how many were added.
int LoadAddOnModules();
