// Shared by the tests of the settings and the player's record: a preferences file in a scratch
// user folder, a script of the test's own as the window script, and a high-score store that
// records what it is told.
#pragma once

#include "framework/core/hiscore_store.h"
#include "platform/config/config.h"
#include "platform/files/data_folders.h"
#include "platform/files/file_layer.h"
#include "platform/log.h"
#include "script/script.h"
#include "script/window_script_seam.h"
#include "support/environment.h"
#include "support/files.h"
#include "support/shell_fixture.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <initializer_list>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace profiletest
{

struct StoreRecord
{
    std::vector<std::string> mCalls;
    std::vector<std::string> mMedals;
    std::vector<std::pair<std::string, int>> mScores;
};

inline StoreRecord& Store()
{
    static StoreRecord record;
    return record;
}

class RecordingStore : public THiscoreStore
{
public:
    void AddScore(int score, bool bestOnly, const char* gameData) override
    {
        Store().mCalls.push_back("AddScore " + std::to_string(score) +
                                 (bestOnly ? " best '" : " '") + gameData + "'");
    }
    void SetParameter(int which, const TString& value) override
    {
        Store().mCalls.push_back("SetParameter " + std::to_string(which) + " " + value.c_str());
    }
    void RemoveUserScores(const TString& name) override
    {
        Store().mCalls.push_back(std::string("RemoveUserScores ") + name.c_str());
    }
    void ReplaceUserScore(const TString& name, int score, bool lowerFirst) override
    {
        Store().mCalls.push_back(std::string("ReplaceUserScore ") + name.c_str() + " " +
                                 std::to_string(score) + (lowerFirst ? " lower first" : ""));
    }
    int GetNumMedals() const override { return static_cast<int>(Store().mMedals.size()); }
    bool GetMedal(int index, TString* name, int*, TString*, TString*) const override
    {
        if (index < 0 || index >= GetNumMedals())
            return false;
        *name = Store().mMedals[static_cast<size_t>(index)].c_str();
        return true;
    }
    int GetNumScores(bool) const override { return static_cast<int>(Store().mScores.size()); }
    bool GetScore(bool, int index, int*, char* name, uint32_t nameSize, uint8_t*, int* score, char*,
                  uint32_t) const override
    {
        if (index < 0 || index >= GetNumScores(true))
            return false;
        const auto& entry = Store().mScores[static_cast<size_t>(index)];
        std::snprintf(name, nameSize, "%s", entry.first.c_str());
        *score = entry.second;
        return true;
    }
};

inline TScript*& CurrentScript()
{
    static TScript* script = nullptr;
    return script;
}

// The application shell, the scratch user folder and log, the script and the recording store.
class ProfileTest : public shelltest::ShellTest
{
protected:
    explicit ProfileTest(const char* scratchName) : mScratch(scratchName) {}

    void SetUp() override
    {
        ShellTest::SetUp();
        TString user;
        ASSERT_EQ(GetAppDataFolder(false, "ProfileTest", user, kMaxPathBytes), 0);
        mUser = std::string(user.c_str());
        mUser.pop_back(); // the trailing separator
        SetDataFolders(mUser.c_str(), (mRoot + "/common").c_str(), (mRoot + "/desktop").c_str());
        SetLogFolder((mRoot + "/log").c_str());
        SetConfig("encryptionkey", "Tk7pQ2mW9xLr");
        CurrentScript() = &mScript;
        SetWindowScriptSource([] { return CurrentScript(); });
        Store() = StoreRecord();
        SetHiscoreStoreFactory([](bool) { return std::make_unique<RecordingStore>(); });
    }
    void TearDown() override
    {
        SetHiscoreStoreFactory({});
        SetWindowScriptSource(nullptr);
        SetLogFolder(nullptr);
        SetDataFolders(TString(), TString(), TString());
        ShellTest::TearDown();
    }

    void Run(const std::string& code) { mScript.DoLuaString(code.c_str()); }
    double Num(const std::string& expr)
    {
        Run("result = " + expr);
        return mScript.GetGlobalNumber("result");
    }
    std::string PrefsPath() const { return mUser + "/prefs.dat"; }
    std::string LogText() const { return testsupport::ReadFile(mRoot + "/log/logfile.txt"); }
    bool Logged(const std::string& part) const { return LogText().find(part) != std::string::npos; }
    // Profiles made through the settings' script function, the last one current.
    void Profiles(std::initializer_list<const char*> names)
    {
        for (const char* name : names)
            Run(std::string("CreateNewUser('") + name + "')");
    }

    testsupport::ScratchFolder mScratch;
    std::string mRoot = mScratch.Path().string();
    testsupport::EnvironmentGuard mXdg{"XDG_DATA_HOME", mRoot + "/xdg"};
    std::string mUser;
    TScript mScript;
};

} // namespace profiletest
