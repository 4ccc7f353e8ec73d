// TGameState: the process-wide store of named game states, the ordered list of handlers that see
// every change and answer the host's yes/no questions, and the links it needs to the layers around.
#pragma once

#include "platform/strings/tstring.h"
#include "services/game_state/game_state_handler.h"

#include <functional>
#include <map>
#include <memory>
#include <vector>

struct TLuaRequiredString;

class TGameState
{
public:
    // The store, created on first use once the application facade exists; null before that.
    static TGameState* Instance();
    // Deletes the store (its handlers first get Disable, then go); only clears the pointer when
    // there is none.
    static void Destroy();
    // Appends a handler, which the list owns from then on. Works before the store exists.
    static void AddHandler(TGameStateHandler* handler);
    // The handler at a place in the list, null past its end (to see what start-up installed).
    static const TGameStateHandler* GetHandler(size_t index);

    // A name starting "++" increments the state without the "++" and ignores `value`.
    void SetState(TString name, TString value);
    void SetStateInt(TString name, int value);
    TString GetState(TString name);

    bool QueryMuteGame();
    static bool QueryRestartMode();
    static bool QueryJumpToMenu();
    static bool QueryHostPause();

    // The master volume saved when the game was muted (0 while not muted).
    float GetSavedMasterVolume() const { return mSavedMasterVolume; }

    // Binds kGameStateScriptFunctions on the window manager's script state, in their order; does
    // nothing while there is none. The destructor unbinds those that still call this store.
    static void BindScriptFunctions(TGameState& store);

    virtual ~TGameState();

private:
    TGameState();

    // What the script globals call: a missing or unreadable argument is the script's error.
    TString ScriptGetState(const TLuaRequiredString& name);
    bool ScriptQueryRestartMode();
    bool ScriptQueryJumpToMenu();

    std::map<TString, TString> mStates;
    float mSavedMasterVolume = 0.0f;
};

// A state value read as a number: blanks and one sign skipped, digits up to the first other
// character; anything else reads as 0.
int ReadStateNumber(const TString& value);

// The script globals the store offers, in the order it registers them.
extern const char* const kGameStateScriptFunctions[5];
// The body of "_SetState": always goes through Instance(), so a script never holds the store.
void ScriptSetState(const TString& name, const TString& value);

// Links to the layers around the store, installed by the program's entry (the store sits above
// the platform but below the window manager and the sound manager).
//
// Whether the application facade exists yet; without a probe it never does.
void SetGameStateApplicationProbe(std::function<bool()> probe);
// Registers the script functions (TGameState::BindScriptFunctions in the program); called by the
// store's constructor. Without one the scripts see no functions.
void SetGameStateScriptRegistrar(std::function<void(TGameState&)> registrar);
// The sound manager's master volume: the effective volume of group -1, and setting it. Without it
// muting stores the state but leaves the volume alone.
struct TGameStateVolumeLink
{
    std::function<float()> mGetMasterVolume;
    std::function<void(float)> mSetMasterVolume;
};
void SetGameStateVolumeLink(TGameStateVolumeLink link);
// The installed link, for others that silence the game (the portal bridge).
const TGameStateVolumeLink& GetGameStateVolumeLink();
