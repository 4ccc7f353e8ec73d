// Button sounds through the sound layer's manual output: the hover sound on entering hover (again
// after a click), the click sound, nothing on pressed or for a hidden button; and a hovered,
// captured button that goes with the window manager.
#include "sound/sound_test_support.h"
#include "ui/button.h"
#include "ui_test_support.h"

namespace
{

class ButtonSoundTest : public soundtest::SoundTest
{
protected:
    void SetUp() override
    {
        SoundTest::SetUp();
        // Different rates give the two sounds' buffers different sizes.
        AddOgg("audio/hover.ogg", soundtest::Tone(1, 8000, 800), 1, 8000);
        AddOgg("audio/click.ogg", soundtest::Tone(1, 16000, 1600), 1, 16000);
        StartManager();
        mWindows = std::make_unique<TWindowManager>();
        mWindows->CreateRoot(800, 600);
        mButton = new TButton();
        mButton->SetName("b");
        mButton->SetPosition(100, 100);
        mButton->SetSize(50, 20);
        mWindows->GetRoot()->AddChild(mButton, true);
        mButton->SetSound(TButton::kClickSound, "audio/click.ogg");
        mButton->SetSound(TButton::kHoverSound, "audio/hover.ogg");
        sys::audio::TakeCallLog();
    }
    void TearDown() override
    {
        mWindows.reset();
        SoundTest::TearDown();
    }
    void Mouse(int32_t type, int32_t x, int32_t y)
    {
        mWindows->HandleEvent(uitest::MakeEvent(type, x, y));
    }
    // The sounds started since the last call, by the sizes of their new buffers.
    std::string Played()
    {
        std::string out;
        for (const auto& record : sys::audio::TakeCallLog())
        {
            if (record.call.rfind("CreateSoundBuffer ", 0) != 0)
                continue;
            uint32_t bytes = std::stoul(record.call.substr(18));
            // Two seconds of 16-bit mono.
            out += bytes == 64000 ? "click " : bytes == 32000 ? "hover " : "other ";
        }
        return out;
    }

    std::unique_ptr<TWindowManager> mWindows;
    TButton* mButton = nullptr;
};

TEST_F(ButtonSoundTest, HoverAndClickSounds)
{
    Mouse(kEventMouseMove, 110, 110);
    EXPECT_EQ(Played(), "hover ");
    Mouse(kEventMouseMove, 111, 110);
    Mouse(kEventLeftDown, 111, 110);
    EXPECT_EQ(Played(), "") << "no sound on pressed, none for an unchanged state";
    Mouse(kEventLeftUp, 111, 110);
    EXPECT_EQ(Played(), "click hover ") << "back to hover from pressed";
    Mouse(kEventMouseMove, 500, 500);
    EXPECT_EQ(Played(), "") << "the normal state has no sound of its own";

    mButton->SetFlags(0);
    mButton->SetState(TButton::kHover);
    mButton->SetState(TButton::kNormal);
    EXPECT_EQ(Played(), "") << "a hidden button is silent";
}

TEST_F(ButtonSoundTest, AHoveredButtonGoesWithTheWindowManager)
{
    Mouse(kEventMouseMove, 110, 110);
    ASSERT_EQ(mButton->GetState(), TButton::kHover);
    ASSERT_EQ(mWindows->GetCaptures().size(), 1u);
    mWindows.reset();
    EXPECT_EQ(Played(), "hover ");
}

} // namespace
