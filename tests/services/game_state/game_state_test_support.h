// Test support for the game-state store: an application that exists, a recording volume link, and
// handlers whose answers and calls the tests set and read.
#pragma once

#include "services/game_state/game_state.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace statetest
{

// Everything the handlers and the volume link were asked, in order.
inline std::vector<std::string>& Calls()
{
    static std::vector<std::string> calls;
    return calls;
}

class RecordingHandler : public TGameStateHandler
{
public:
    explicit RecordingHandler(std::string name) : mName(std::move(name)) {}
    ~RecordingHandler() override { Calls().push_back(mName + " deleted"); }

    bool OnSetState(const char* name, const char* value) override
    {
        Calls().push_back(mName + " set " + name + "=" + value);
        if (mOnSet)
            mOnSet(name, value);
        return mTakes == name;
    }
    const char* FilterGetState(const char* name, const char* value) override
    {
        if (mFilters != name)
            return value;
        mFiltered = std::string(value) + mName;
        return mFiltered.c_str();
    }
    bool QueryRestartMode() override { return Ask("restart", mRestart); }
    bool QueryJumpToMenu() override { return Ask("menu", mMenu); }
    bool QueryMute() override { return Ask("mute", mMute); }
    bool QueryHostPause() override { return Ask("pause", mPause); }
    void Disable() override
    {
        Calls().push_back(mName + " disabled");
        TGameStateHandler::Disable();
        if (mOnDisable)
            mOnDisable();
    }

    std::string mName;
    // A state name this handler takes, and one whose value it extends with its own name.
    std::string mTakes;
    std::string mFilters;
    bool mRestart = false;
    bool mMenu = false;
    bool mMute = false;
    bool mPause = false;
    std::function<void(const char*, const char*)> mOnSet;
    std::function<void()> mOnDisable;

private:
    bool Ask(const char* what, bool answer)
    {
        Calls().push_back(mName + " asked " + what);
        return answer;
    }
    std::string mFiltered;
};

class GameStateTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        Calls().clear();
        SetGameStateApplicationProbe([] { return true; });
        SetGameStateVolumeLink({[this] { return mVolume; },
                                [this](float volume)
                                {
                                    Calls().push_back("volume " + std::to_string(volume));
                                    mVolume = volume;
                                }});
    }

    void TearDown() override
    {
        TGameState::Destroy();
        SetGameStateApplicationProbe(nullptr);
        SetGameStateVolumeLink({});
        SetGameStateScriptRegistrar(nullptr);
        Calls().clear();
    }

    static RecordingHandler* Add(const std::string& name)
    {
        auto* handler = new RecordingHandler(name);
        TGameState::AddHandler(handler);
        return handler;
    }

    float mVolume = 0.75f;
};

} // namespace statetest
