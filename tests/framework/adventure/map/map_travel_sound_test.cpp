// The vignette's travel sound through the audio manager on the manual sound output: the crossing
// ramps its sound group down over "soundfade" while its sound plays in that group, read back from
// the group and from the mixed output; a vignette of group 0 ramps nothing.
#include "framework/adventure/map/map_travel.h"

#include "framework/audio_test_support.h"
#include "framework/sound/sound_group.h"
#include "framework/transforms/transform_manager.h"
#include "script/lua_object_wrapper.h"
#include "script/script.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <string>
#include <vector>

namespace
{

class MapTravelSoundTest : public fwtest::AudioTest
{
protected:
    void SetUp() override
    {
        AudioTest::SetUp();
        Start("1,travel,1", {4000});
        ASSERT_TRUE(mAudio->AddGroup(1101, -1, 1.0f));
        At(0);
    }
    // A vignette whose sound plays in group 1101 and whose crossing ramps `group`.
    std::unique_ptr<MapTravel> Travel(int group)
    {
        mScript.DoLuaString(
            ("_e = { traveltime = 2000, soundfade = 800, soundgroupid = " + std::to_string(group) +
             ", sound = 'travel?group=1101', travel = { midpointx = 400 } }")
                .c_str());
        std::unique_ptr<TLuaTable> entry(mScript.GetGlobalTable("_e"));
        return std::make_unique<MapTravel>(*entry, 1);
    }
    float GroupVolume() const { return mAudio->FindTopGroup(1101)->GetEffective(); }
    // The mixed output's level (RMS of the left channel) in 50 ms windows over the first second,
    // a frame at the start of each.
    std::vector<double> Levels()
    {
        std::vector<double> levels;
        for (uint32_t t = 0; t <= 1000; t += 50)
        {
            Frame(t);
            const std::vector<int16_t> part = Run(50);
            double sum = 0;
            for (size_t i = 0; i + 1 < part.size(); i += 2)
                sum += double(part[i]) * part[i];
            levels.push_back(std::sqrt(sum / double(std::max<size_t>(part.size() / 2, 1))));
        }
        return levels;
    }

    TScript mScript;
    TransformManager mTransforms;
    Callback mNone{nullptr, nullptr};
};

TEST_F(MapTravelSoundTest, TheCrossingRampsItsGroupDownWhileItsSoundPlays)
{
    std::unique_ptr<MapTravel> travel = Travel(1101);
    travel->StartTravel(mNone);
    ASSERT_EQ(Entry(mAudio->FindNumber("travel")).GetRecordCount(), 1u);
    const std::vector<double> levels = Levels();
    EXPECT_GT(levels.front(), 100.0);
    // Falling all the way: lower at 400 ms but still heard, silent from 800 ms.
    for (size_t i = 1; i < 16; ++i)
        EXPECT_LE(levels[i], levels[i - 1] * 1.05) << i;
    EXPECT_LT(levels[8], levels.front() * 0.7);
    EXPECT_GT(levels[8], 10.0);
    EXPECT_LT(levels[16], 1.0);
    EXPECT_LT(levels.back(), 1.0);
    EXPECT_FLOAT_EQ(GroupVolume(), 0.0f);
}

TEST_F(MapTravelSoundTest, GroupZeroRampsNothing)
{
    std::unique_ptr<MapTravel> travel = Travel(0);
    travel->StartTravel(mNone);
    const std::vector<double> levels = Levels();
    EXPECT_GT(levels.back(), levels.front() * 0.8);
    EXPECT_FLOAT_EQ(GroupVolume(), 1.0f);
}

} // namespace
