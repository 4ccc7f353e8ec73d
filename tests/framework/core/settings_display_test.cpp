// Settings over the real renderer on the display stand-in: the start-up display and the two cursor
// images handed to the application, and assets loaded at start (an image and sounds).
#include "framework/core/settings.h"

#include "render/image_writers.h"
#include "render/render_test_support.h"
#include "framework/sound/audio_manager.h"
#include "platform/config/config.h"
#include "platform/files/file_layer.h"
#include "render/textures/texture.h"
#include "script/script.h"
#include "script/window_script_seam.h"
#include "support/files.h"

#include <gtest/gtest.h>

#include <list>
#include <string>
#include <vector>

namespace
{

TScript* gDisplayScript = nullptr;

std::string Png(uint32_t side)
{
    imagetest::PngPlan plan;
    plan.width = side;
    plan.height = side;
    plan.colorType = PNG_COLOR_TYPE_RGBA;
    plan.samples.assign(size_t(side) * side * 4, 200);
    return imagetest::EncodePng(plan);
}

class SettingsDisplayTest : public rendertest::DisplayTest
{
protected:
    void SetUp() override
    {
        DisplayTest::SetUp();
        SetConfig("encryptionkey", "Tk7pQ2mW9xLr");
        gDisplayScript = &mScript;
        SetWindowScriptSource([] { return gDisplayScript; });
        Memory("audio/snd.txt", "2,click,1,theme,2");
    }
    void TearDown() override
    {
        SetWindowScriptSource(nullptr);
        for (const std::string& name : mMemoryNames)
            RegisterMemoryFileName(name.c_str(), nullptr, 0);
        DisplayTest::TearDown();
    }
    void Memory(const std::string& name, const std::string& bytes)
    {
        mMemory.push_back(bytes);
        RegisterMemoryFileName(name.c_str(), mMemory.back().data(),
                               static_cast<uint32_t>(mMemory.back().size()));
        mMemoryNames.push_back(name);
    }

    TScript mScript;
    std::list<std::string> mMemory;
    std::vector<std::string> mMemoryNames;
};

TEST_F(SettingsDisplayTest, StartUpSetsTheDisplayAndHandsOverBothCursorImages)
{
    Memory("cursor/pointer.png", Png(32));
    Memory("cursor/pointer_soft.png", Png(16));
    AudioManager audio;
    Settings settings;
    settings.LoadDisplaySettings();
    EXPECT_TRUE(mApp->IsFullscreen());
    int width = 0;
    int height = 0;
    bool full = false;
    mApp->GetDisplayMode(width, height, full);
    EXPECT_EQ(width, 800);
    EXPECT_EQ(height, 600);
    ASSERT_NE(mImpl->mCursor.mSlots[0].mTexture, nullptr);
    EXPECT_EQ(mImpl->mCursor.mSlots[0].mTexture, TTexture::GetSimple("cursor/pointer_soft"));
    EXPECT_EQ(mImpl->mCursor.mSlots[1].mTexture, TTexture::Get("cursor/pointer", 0));
    EXPECT_TRUE(mImpl->mCursor.mMouseShown);
}

TEST_F(SettingsDisplayTest, LoadAssetKeepsAnImageAndTheSoundHandles)
{
    Platform().SetDisplay(800, 600, false, false, false, false);
    testsupport::WriteFile(mScratch.Root() + "/user/splash.png", Png(4));
    AudioManager audio;
    Settings settings;
    settings.LoadAsset("user:splash", false);
    settings.LoadAsset("theme", true);
    settings.LoadAsset("theme", true);
    settings.LoadAsset("silence", true); // not in the table: reported, handle 0
    ASSERT_NE(settings.GetAssets().GetTexture("user:splash"), nullptr);
    EXPECT_EQ(settings.GetAssets().GetTexture("user:splash")->GetWidth(), 4u);
    EXPECT_EQ(settings.GetLoadedSounds(), (std::vector<int32_t>{2, 2, 0}));
    EXPECT_EQ(audio.GetEntry(2)->mReferences, 2);
}

} // namespace
