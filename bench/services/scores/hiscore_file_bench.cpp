// A score save's text: the document of a profile holding many medals built and enciphered, as
// every save does, for 75,000 medals (an 11 MB document, a score file within the 16 MiB its
// reader takes) and a quarter of that.
// Building is linear, so the larger case costs about four times the smaller.
#include "platform/config/cipher.h"
#include "services/scores/hiscore_file.h"

#include <benchmark/benchmark.h>

#include <list>

namespace
{

THiscoreData MedalsOfOnePlayer(int count)
{
    THiscoreData data;
    UserRecord user;
    user.mPlayer = "Mira";
    user.mName = "Mira";
    data.mUsers[user.mPlayer] = user;
    std::list<MedalRecord>& medals = data.mMedals[user.mPlayer];
    for (int i = 0; i < count; ++i)
    {
        MedalRecord medal;
        medal.mMedalName = TString::Format("medal%d", i);
        medal.mType = "gold";
        medal.mMode = "adventure";
        medal.mGameData = TString::Format("%d;%d", i % 7, i);
        medal.mSubmitted = static_cast<uint8_t>(i % 2);
        medals.push_back(medal);
    }
    return data;
}

void BM_HiscoreSaveText(benchmark::State& state)
{
    const THiscoreData data = MedalsOfOnePlayer(static_cast<int>(state.range(0)));
    TCipher cipher("abcdefghijkl");
    size_t bytes = 0;
    for (auto _ : state)
    {
        std::vector<uint8_t> sealed = EncipherHiscoreDocument(cipher, BuildHiscoreDocument(data));
        bytes = sealed.size();
        benchmark::DoNotOptimize(sealed.data());
    }
    state.counters["bytes"] = static_cast<double>(bytes);
    state.SetComplexityN(state.range(0));
}
BENCHMARK(BM_HiscoreSaveText)
    ->Arg(18750)
    ->Arg(75000)
    ->Unit(benchmark::kMillisecond)
    ->Complexity(benchmark::oN);

} // namespace
