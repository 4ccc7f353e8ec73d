// The player's record: 100,000 script calls of "GetCurrentLocation" paired, in the same run, with
// as many calls of a member bound the same way that answers a constant; and "SaveProfile" with 20
// profiles each holding 4 KB of location data, against the 16.7 ms of a frame.
#include "framework/adventure/player_data.h"
#include "framework/core/settings.h"
#include "platform/config/config.h"
#include "platform/files/file_layer.h"
#include "platform/log.h"
#include "script/lua_bind.h"
#include "script/script.h"
#include "script/window_script_seam.h"

#include <benchmark/benchmark.h>

#include <filesystem>
#include <memory>
#include <random>
#include <string>
#include <vector>

namespace
{
namespace fs = std::filesystem;

TScript* gScript = nullptr;

// The peer of the record's function: bound through the same adapter, it only answers.
struct ConstantAnswer
{
    int Answer(bool raw) const { return raw ? 3 : 4; }
};

// A user folder of its own, the settings and the record over it, and a script that calls them.
class RecordWorld
{
public:
    explicit RecordWorld(int profiles)
    {
        std::random_device device;
        mRoot = fs::temp_directory_path() / ("mw_record_bench_" + std::to_string(device()));
        fs::create_directories(mRoot / "user");
        SetDataFolders((mRoot / "user").c_str(), (mRoot / "common").c_str(),
                       (mRoot / "desktop").c_str());
        SetLogFolder(mRoot.c_str());
        SetConfig("encryptionkey", "Bn4cQ8rT2wYz");
        mScript = std::make_unique<TScript>();
        gScript = mScript.get();
        SetWindowScriptSource([] { return gScript; });
        mSettings = std::make_unique<Settings>();
        const std::vector<uint8_t> location(4096, 0x5A);
        for (int i = 0; i < profiles; ++i)
        {
            mSettings->CreateNewUser(TString::Format("player%d", i));
            mSettings->SetPlayerData("gamedata", location.data(),
                                     static_cast<int>(location.size()));
        }
        mRecord = std::make_unique<PlayerData>();
        LuaBindMember(mScript->GetState(), "ConstantAnswer", &mConstant, &ConstantAnswer::Answer);
    }
    ~RecordWorld()
    {
        mRecord.reset();
        mSettings.reset();
        SetWindowScriptSource(nullptr);
        mScript.reset();
        SetLogFolder(nullptr);
        SetDataFolders(TString(), TString(), TString());
        ClearPathMap();
        std::error_code ignored;
        fs::remove_all(mRoot, ignored);
    }

    TScript& Script() { return *mScript; }
    PlayerData& Record() { return *mRecord; }

private:
    fs::path mRoot;
    std::unique_ptr<TScript> mScript;
    std::unique_ptr<Settings> mSettings;
    std::unique_ptr<PlayerData> mRecord;
    ConstantAnswer mConstant;
};

// One iteration: 100,000 calls from a script loop.
void RunCalls(benchmark::State& state, const char* function)
{
    RecordWorld world(1);
    const std::string loop = std::string("local f = ") + function +
                             " local s = 0 for i = 1, 100000 do s = s + f(true) end gSum = s";
    for (auto _ : state)
        world.Script().DoLuaString(loop.c_str());
    benchmark::DoNotOptimize(world.Script().GetGlobalNumber("gSum"));
}

void BM_GetCurrentLocation100k(benchmark::State& state)
{
    RunCalls(state, "GetCurrentLocation");
}
BENCHMARK(BM_GetCurrentLocation100k)->Unit(benchmark::kMillisecond);

void BM_ConstantMember100k(benchmark::State& state)
{
    RunCalls(state, "ConstantAnswer");
}
BENCHMARK(BM_ConstantMember100k)->Unit(benchmark::kMillisecond);

// The whole preferences file is enciphered and written again, through a temporary name.
void BM_SaveProfileTwentyProfiles(benchmark::State& state)
{
    RecordWorld world(20);
    for (auto _ : state)
    {
        world.Record().SetScore(world.Record().GetScore() + 1);
        world.Record().SaveProfile();
    }
}
BENCHMARK(BM_SaveProfileTwentyProfiles)->Unit(benchmark::kMillisecond);

} // namespace
