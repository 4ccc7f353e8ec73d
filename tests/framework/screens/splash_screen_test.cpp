// The splash screen made by a screen script and stepped by the frame driver: its stages by time,
// clicks and keys, the branding folder, preloading before the one swap to the menu, the volume
// groups and their fatal absences, lock failures, a tiny logo, and its frames against goldens.
#include "framework/screens/splash_screen.h"

#include "render/sprites/sprite.h"
#include "render/textures/texture.h"
#include "ui/ui_test_support.h"
#include "framework/screen_test_support.h"
#include "ui/text_window.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

namespace
{

// 32 x 16, a colour ramp with its top-left 4 x 4 corner transparent.
std::string Logo()
{
    return imagetest::PaintedPng(
        32, 16,
        [](uint32_t x, uint32_t y) -> std::array<uint16_t, 4>
        {
            if (x < 4 && y < 4)
                return {0, 0, 0, 0};
            return {static_cast<uint16_t>(255 - x * 6), static_cast<uint16_t>(y * 15), 200, 255};
        });
}

std::string Flat(uint32_t width, uint32_t height, std::array<uint16_t, 4> colour)
{
    return imagetest::PaintedPng(width, height, [=](uint32_t, uint32_t) { return colour; });
}

class SplashTest : public screentest::ScreenTest
{
protected:
    void SetUp() override
    {
        ScreenTest::SetUp();
        mManager->RegisterWindowType("SplashScreen", &SplashScreen::Create);
        File("splash/logo.png", Logo());
        File("splash/back.png", Flat(200, 100, {0, 120, 0, 255}));
        File("scripts/mainmenu.lua", "swaps = (swaps or 0) + 1 GameWindow{ name = 'menu' }()");
        std::srand(7);
    }
    static std::string Style(const std::string& extra)
    {
        return "x = 0, y = 0, w = 800, h = 600, "
               "soundgroups = { music = { 5, 0.4 }, sfx = { 6, 0.8, 7, 0.25 } }, "
               "screen1 = 'splash/logo', screen2 = 'splash/back', " +
               extra;
    }
    SplashScreen* Make(const std::string& fields)
    {
        Run("PushModal('intro') SplashScreen{ name = 'splash', " + fields + " }()");
        return Splash();
    }
    SplashScreen* Splash()
    {
        TWindow* window = Find("splash");
        return window != nullptr && window->IsKindOf(SplashScreen::GetClassId())
                   ? static_cast<SplashScreen*>(window)
                   : nullptr;
    }
    void Brand() { File("screenbranding/brand.png", Flat(100, 50, {200, 0, 0, 255})); }
    void Click() { mManager->HandleEvent(uitest::MakeEvent(kEventLeftDown, 400, 300)); }
    void Key() { mManager->HandleEvent(uitest::MakeEvent(kEventKeyDown, 0, 0, 'a')); }
    // Frames of 10 ms until the phase is reached; false when it never is.
    bool RunToPhase(int32_t phase)
    {
        for (int i = 0; i < 2000 && Splash() != nullptr; ++i)
        {
            if (Splash()->GetPhase() == phase)
                return true;
            Frame(10);
        }
        return false;
    }
    // Frames of 10 ms until the menu is there; the count of frames.
    int RunToMenu()
    {
        for (int i = 1; i < 2000; ++i)
        {
            Frame(10);
            if (Find("menu") != nullptr)
                return i;
        }
        return -1;
    }
    // The canvas texel at a screen point, read under lock.
    uint32_t CanvasAt(int x, int y)
    {
        std::shared_ptr<TTexture> canvas = Splash()->GetCanvasSprite()->GetTexture();
        uint32_t* pixels = nullptr;
        int pitch = 0;
        if (!canvas->Lock(pixels, pitch))
            return 0xDEADBEEFu;
        uint32_t texel = pixels[static_cast<size_t>(y) * pitch + x];
        canvas->Unlock();
        return texel;
    }
};

TEST_F(SplashTest, StagesFollowTheirTimesThenTheMenuComesOnce)
{
    Brand();
    ASSERT_NE(Make(Style("publisherduration = 100, publisheroutro = 50, tovrixintro = 200,"
                         "tovrixduration = 100, tovrixoutro = 60, soundlogo = 'logo',"
                         "Text{ name = 'copyright', text = 'c' }")),
              nullptr);
    // A screen beside the splash, later in the walk: the swap clears it too while the frame
    // driver's walk still holds it.
    Run("GameWindow{ name = 'beside' }()");
    ASSERT_NE(Find("beside"), nullptr);
    EXPECT_EQ(Splash()->GetPhase(), SplashScreen::kPublisher);
    EXPECT_EQ(mManager->GetFocus(), Splash());
    // Groups under their parents: effective volume = own x parent's (1001 at 0.5, 1000 at 1).
    EXPECT_FLOAT_EQ(mSound->GetEffectiveVolume(5), 0.2f);
    EXPECT_FLOAT_EQ(mSound->GetEffectiveVolume(6), 0.8f);
    EXPECT_FLOAT_EQ(mSound->GetEffectiveVolume(7), 0.25f);

    // The first frame after the screen is made has no step; every later one 10 ms.
    std::vector<std::pair<int32_t, int>> changes;
    int32_t last = SplashScreen::kPublisher;
    int frame = 0;
    bool logoPlayed = false;
    while (Splash() != nullptr && frame < 200)
    {
        Frame(10);
        ++frame;
        if (Splash() != nullptr && Splash()->GetPhase() != last)
        {
            last = Splash()->GetPhase();
            changes.emplace_back(last, frame);
            if (last == SplashScreen::kStudioIntro)
                logoPlayed = mAudio->GetSoundState("logo") == SoundEntry::kPlaying;
        }
    }
    const std::vector<std::pair<int32_t, int>> expected = {{SplashScreen::kPublisherOutro, 11},
                                                           {SplashScreen::kStudioSetUp, 16},
                                                           {SplashScreen::kStudioIntro, 17},
                                                           {SplashScreen::kStudioHold, 37},
                                                           {SplashScreen::kOutro, 48}};
    EXPECT_EQ(changes, expected);
    EXPECT_TRUE(logoPlayed);
    // Swapped at frame 54 and deleted by the toolkit after the frame driver's walk.
    EXPECT_EQ(frame, 54);
    EXPECT_NE(Find("menu"), nullptr);
    EXPECT_EQ(Find("beside"), nullptr);
    RunFrames(5, 10);
    EXPECT_EQ(Number("swaps"), 1);
}

TEST_F(SplashTest, ClicksAndKeysSkipTheirStageOnly)
{
    Brand();
    Make(Style("publisherduration = 9000, publisheroutro = 100, tovrixintro = 9000,"
               "tovrixduration = 9000, tovrixoutro = 50"));
    Frame(10);
    Click(); // publisher -> its outro
    EXPECT_EQ(Splash()->GetPhase(), SplashScreen::kPublisherOutro);
    Key(); // nothing in the outro
    Frame(10);
    EXPECT_EQ(Splash()->GetPhase(), SplashScreen::kPublisherOutro);
    ASSERT_TRUE(RunToPhase(SplashScreen::kStudioSetUp));
    Click(); // nothing while setting up
    EXPECT_EQ(Splash()->GetPhase(), SplashScreen::kStudioSetUp);
    Frame(10);
    EXPECT_EQ(Splash()->GetPhase(), SplashScreen::kStudioIntro);
    Key(); // the intro skips the hold
    EXPECT_EQ(Splash()->GetPhase(), SplashScreen::kOutro);
    Click(); // nothing in the outro
    EXPECT_EQ(Splash()->GetPhase(), SplashScreen::kOutro);
    EXPECT_GT(RunToMenu(), 0);

    Make(Style("tovrixintro = 20, tovrixduration = 9000, tovrixoutro = 0"));
    ASSERT_TRUE(RunToPhase(SplashScreen::kStudioHold));
    // A new press on the new screen, not the second half of a double click on the last one.
    Frame(500);
    Click();
    EXPECT_EQ(Splash()->GetPhase(), SplashScreen::kOutro);
    EXPECT_GT(RunToMenu(), 0);
    EXPECT_EQ(Number("swaps"), 2);
}

TEST_F(SplashTest, WithoutABrandingImageOrWithADbFileTheStudioStartsAtOnce)
{
    EXPECT_EQ(Make(Style(""))->GetPhase(), SplashScreen::kStudioSetUp);
    EXPECT_GT(Splash()->GetPixels().size(), 0u);
    RunToMenu();
    File("screenbranding/thumbs.db", "not an image");
    EXPECT_EQ(Make(Style(""))->GetPhase(), SplashScreen::kStudioSetUp);
    RunToMenu();
    // A branding file that is no image: the publisher stages run on black.
    File("screenbranding/a.png", "not an image either");
    EXPECT_EQ(Make(Style(""))->GetPhase(), SplashScreen::kPublisher);
    EXPECT_EQ(Splash()->GetBrandingSprite()->GetTexture(), nullptr);
}

TEST_F(SplashTest, TheMenuWaitsForEveryPreloadItemEvenWithAllTimesZero)
{
    File("art/a.png", Flat(4, 4, {1, 2, 3, 255}));
    File("art/b.png", Flat(4, 4, {1, 2, 3, 255}));
    Brand();
    // Eight items: loaded on the first eight updates, last first; the ninth finds none left.
    Make(Style("assets = { graphics = { 'art/a', 'art/b', 'art/a', 'art/b' },"
               "           audio = { 'theme', 'click', 'boom', 'click' } }"));
    EXPECT_EQ(Splash()->GetPendingAssetCount(), 8u);
    for (int i = 1; i <= 8; ++i)
    {
        Frame(10);
        EXPECT_EQ(Number("swaps"), 0) << "update " << i;
    }
    EXPECT_EQ(Splash()->GetPhase(), SplashScreen::kOutro);
    EXPECT_NE(mSettings->GetAssets().GetTexture("art/a"), nullptr);
    EXPECT_NE(mSettings->GetAssets().GetTexture("art/b"), nullptr);
    EXPECT_EQ(mSettings->GetLoadedSounds(), (std::vector<int32_t>{3, 4, 3, 2}));
    Frame(10);
    EXPECT_EQ(Number("swaps"), 1);
    Frame(10);
    Frame(10);
    EXPECT_EQ(Number("swaps"), 1);
    EXPECT_EQ(Splash(), nullptr);
}

TEST_F(SplashTest, EachMissingGroupTableIsFatalAndEndsTheSetUp)
{
    Run("quits = 0 function PostMessage(m) quits = quits + 1 end "
        "function CreateNamedMessage(t, n) return n end kQuitNow = 1");
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"music = {}, sfx = {}", ""},
        {"", "ERROR:soundgroups   FILE:splashscreen LINE:91"},
        {"soundgroups = { sfx = { 8, 1 } }", "ERROR:musicgroups   FILE:splashscreen LINE:96"},
        {"soundgroups = { music = { 9, 0.5 } }", "ERROR:sfxgroups   FILE:splashscreen LINE:108"}};
    int quits = 0;
    for (const auto& [groups, message] : cases)
    {
        std::string fields = "x = 0, y = 0, w = 800, h = 600, music = 'theme', tovrixintro = 5, ";
        fields += groups.rfind("music", 0) == 0 ? "soundgroups = { " + groups + " }" : groups;
        Make(fields);
        if (message.empty())
        {
            // Empty lists are no error; the screen runs on (no branding: the studio at once).
            EXPECT_EQ(Splash()->GetPhase(), SplashScreen::kStudioSetUp);
            EXPECT_EQ(mAudio->GetSoundState("theme"), SoundEntry::kPlaying);
            EXPECT_EQ(Number("quits"), 0);
            RunToMenu();
            mAudio->Stop(mAudio->FindNumber("theme"), true);
            continue;
        }
        ++quits;
        EXPECT_EQ(CountInLog(message), 1) << message;
        EXPECT_EQ(Number("quits"), quits) << message;
        // Nothing after the report ran: no studio set-up, no music.
        EXPECT_EQ(Splash()->GetPhase(), SplashScreen::kPublisher) << message;
        EXPECT_EQ(mAudio->GetSoundState("theme"), 0) << message;
        Run("PopModal('intro')");
        Frame(10);
    }
    // The music list before the missing effects list was read.
    EXPECT_FLOAT_EQ(mSound->GetEffectiveVolume(9), 0.25f);
    EXPECT_FLOAT_EQ(mSound->GetEffectiveVolume(8), 1.0f); // master only: never made
}

TEST_F(SplashTest, LockFailuresAreReportedAndTheMenuStillComes)
{
    Brand();
    Make(Style("publisherduration = 0, publisheroutro = 0, tovrixintro = 40,"
               "tovrixduration = 40, tovrixoutro = 0"));
    std::shared_ptr<TTexture> logo = TTexture::Get("splash/logo", 0);
    uint32_t* held = nullptr;
    int pitch = 0;
    ASSERT_TRUE(logo->Lock(held, pitch));
    ASSERT_TRUE(RunToPhase(SplashScreen::kStudioSetUp));
    logo->Unlock();
    EXPECT_EQ(CountInLog("ERROR:Failed to lock texture   FILE:splashscreen LINE:384"), 1);
    EXPECT_TRUE(Splash()->GetPixels().empty());

    std::shared_ptr<TTexture> canvas = Splash()->GetCanvasSprite()->GetTexture();
    ASSERT_TRUE(canvas->Lock(held, pitch));
    Frame(10); // an intro frame
    ASSERT_TRUE(RunToPhase(SplashScreen::kStudioHold));
    Frame(10); // a hold frame
    canvas->Unlock();
    EXPECT_GE(CountInLog("ERROR:Failed to lock texture   FILE:splashscreen LINE:502"), 1);
    EXPECT_GE(CountInLog("ERROR:Failed to lock texture   FILE:splashscreen LINE:553"), 1);
    EXPECT_GT(RunToMenu(), 0);
}

TEST_F(SplashTest, ATinyOrMissingLogoWithoutAnIntroTime)
{
    // Three rows: no jitter range; intro time 0 on the step-less first frame: t = 1.
    File("splash/tiny.png", Flat(4, 3, {255, 255, 0, 255}));
    Make(Style("screen1 = 'splash/tiny'"));
    ASSERT_EQ(Splash()->GetPixels().size(), 12u);
    for (const auto& record : Splash()->GetPixels())
    {
        EXPECT_GE(record.mStart, 0.0f);
        EXPECT_LT(record.mStart, 0.59f);
    }
    Frame(10);
    EXPECT_EQ(Splash()->GetPhase(), SplashScreen::kStudioIntro);
    // Corners of the 4 x 3 logo centred: columns 398..401, rows 299..301.
    EXPECT_EQ(CanvasAt(398, 299), 0xFFFFFF00u);
    EXPECT_EQ(CanvasAt(401, 301), 0xFFFFFF00u);
    EXPECT_EQ(CanvasAt(397, 299), 0u);
    EXPECT_GT(RunToMenu(), 0);

    // No logo at all and a notice of the wrong kind: nothing to fly in, nothing reported.
    Make(Style("screen1 = 'splash/none', screen2 = '', GameWindow{ name = 'copyright' }"));
    EXPECT_TRUE(Splash()->GetPixels().empty());
    EXPECT_GT(RunToMenu(), 0);
    EXPECT_EQ(CountInLog("ERROR:"), 0);
}

TEST_F(SplashTest, ALargeBrandingImageIsScaledIntoTheScreenAndCentred)
{
    // 1000 x 1000 (textures end at 1024), red left half and blue right half: drawn at 0.6, a
    // 600 x 600 square about the centre.
    File("screenbranding/big.png",
         imagetest::PaintedPng(1000, 1000,
                               [](uint32_t x, uint32_t) -> std::array<uint16_t, 4>
                               {
                                   if (x < 500)
                                       return {255, 0, 0, 255};
                                   return {0, 0, 255, 255};
                               }));
    Make(Style("publisherduration = 9000"));
    ASSERT_NE(Splash()->GetBrandingSprite()->GetTexture(), nullptr);
    Frame(10);
    Paint();
    EXPECT_EQ(Pixel(95, 300), 0x000000u);
    EXPECT_EQ(Pixel(105, 5), 0xFF0000u);
    EXPECT_EQ(Pixel(395, 594), 0xFF0000u);
    EXPECT_EQ(Pixel(405, 300), 0x0000FFu);
    EXPECT_EQ(Pixel(695, 300), 0x0000FFu);
    EXPECT_EQ(Pixel(705, 300), 0x000000u);
}

TEST_F(SplashTest, IntroHoldAndOutroFramesOfASmallLogo)
{
    Make(Style("tovrixintro = 300, tovrixduration = 200, tovrixoutro = 100"));
    for (int i = 0; i < 16; ++i) // halfway through the intro
        Frame(10);
    ASSERT_EQ(Splash()->GetPhase(), SplashScreen::kStudioIntro);
    Paint();
    rendertest::CompareWithGolden(*Data().mBackBuffer, {280, 180, 480, 320}, "splash_intro.png");
    ASSERT_TRUE(RunToPhase(SplashScreen::kStudioHold));
    RunFrames(10, 10);
    Paint();
    rendertest::CompareWithGolden(*Data().mBackBuffer, {280, 230, 520, 370}, "splash_hold.png");
    ASSERT_TRUE(RunToPhase(SplashScreen::kOutro));
    RunFrames(5, 10);
    Paint();
    rendertest::CompareWithGolden(*Data().mBackBuffer, {280, 230, 520, 370}, "splash_outro.png");
}

} // namespace
