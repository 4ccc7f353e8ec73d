// The scroll puzzle built directly from a scene's arguments and a script context of its own: its
// table, the lens over the scroll, the answers in order, the revealing mesh, the completion
// request, the click sound, its saved byte before the base's, and each broken table.
#include "framework/adventure/scene/gameplay_factory.h"
#include "framework/sound/sound_effect.h"
#include "game/minigames/puzzles/puzzle_scene_test_support.h"
#include "game/minigames/puzzles/scroll/scroll_puzzle_scene.h"
#include "render/sprites/sprite.h"
#include "sys/clock.h"
#include "ui/window_manager.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

namespace scroll_puzzle_scene_test
{
namespace
{

constexpr uint32_t kLitColour = 0xFFF0D060;
constexpr uint32_t kUnlitColour = 0xFF203040;

// The symbols' picture is 512 x 256 centred on (400, 277): the scroll spans x 144-655 and
// y 149-404. Its texel (x, y) is coloured by its 32-pixel block, so a screen pixel tells which
// texel reached it.
uint32_t SymbolTexel(int x, int y)
{
    return 0xFF000000u | (static_cast<uint32_t>(x / 32 * 16 + 8) << 16) |
           (static_cast<uint32_t>(y / 32 * 32 + 8) << 8) | 0x40u;
}

// The answers' centres, in order, each 50 pixels square; the lens's rectangle is 60 square.
const TPoint kAnswers[5] = {{200, 200}, {560, 360}, {320, 300}, {600, 190}, {440, 230}};

std::string Answers(const std::string& skip = "")
{
    std::string text;
    for (int i = 0; i < 5; ++i)
    {
        const std::string key = "rect0" + std::to_string(i + 1);
        if (key == skip)
            continue;
        text += key + " = { x1 = " + std::to_string(kAnswers[i].x - 25) +
                ", y1 = " + std::to_string(kAnswers[i].y - 25) +
                ", x2 = " + std::to_string(kAnswers[i].x + 25) +
                ", y2 = " + std::to_string(kAnswers[i].y + 25) + " }, ";
    }
    return text;
}

// One 20 x 20 quad per vertex group, side by side around the lens's point, their texture
// coordinates those of the scroll at the lens's starting place (moved by whole pictures when
// `wholeU` or `wholeV` is given).
std::string Vertices(int stopAt = 20, int wholeU = 0, int wholeV = 0)
{
    std::string text;
    for (int quad = 0; quad < 5; ++quad)
    {
        const int left = -50 + 20 * quad;
        const int corners[4][2] = {{left, -10}, {left + 20, -10}, {left + 20, 10}, {left, 10}};
        for (int k = 0; k < 4; ++k)
        {
            const int index = quad * 4 + k;
            if (index >= stopAt)
                return text;
            const double u = (corners[k][0] + 400 - 144) / 512.0 + wholeU;
            const double v = (corners[k][1] + 237 - 149) / 256.0 + wholeV;
            text += "vert" + std::string(index < 10 ? "0" : "") + std::to_string(index) +
                    " = { x = " + std::to_string(corners[k][0]) +
                    ", y = " + std::to_string(corners[k][1]) + ", u = " + std::to_string(u) +
                    ", v = " + std::to_string(v) + " }, ";
        }
    }
    return text;
}

struct Parts
{
    std::string buttons = "buttons = { button01 = { x = 240, y = 60, image = 't/scrollbtn' }, "
                          "button02 = { x = 320, y = 60, image = 't/scrollbtn' }, "
                          "button03 = { x = 400, y = 60, image = 't/scrollbtn' }, "
                          "button04 = { x = 480, y = 60, image = 't/scrollbtn' }, "
                          "button05 = { x = 560, y = 60, image = 't/scrollbtn' } }, ";
    std::string glows = "glows = { glow01 = { x = -40, y = 30, image = 't/glow' }, "
                        "glow02 = { x = -20, y = 30, image = 't/glow' }, "
                        "glow03 = { x = 0, y = 30, image = 't/glow' }, "
                        "glow04 = { x = 20, y = 30, image = 't/glow' }, "
                        "glow05 = { x = 40, y = 30, image = 't/glow' } }, ";
    std::string lens = "crystallens = { crystallens01 = { x = 400, y = 277, image = 't/lens', "
                       "collisionrect = { x1 = 370, y1 = 247, x2 = 430, y2 = 307 } } }, ";
    std::string symbols = "symbols = { symbol01 = { x = 400, y = 277, image = 't/symbols' }, "
                          "scrollvertices = { " +
                          Vertices() + "}, symbolanswers = { " + Answers() + "} }, ";
    std::string sound;
    std::string Text() const
    {
        return "scrollpuzzle = { " + buttons + glows + lens + symbols + sound + "}";
    }
};

class ScrollPuzzleSceneTest : public puzzletest::PuzzleTest
{
protected:
    void SetUp() override
    {
        PuzzleTest::SetUp();
        if (HasFatalFailure())
            return;
        Png("t/symbols.png", 512, 256, [](int x, int y) { return SymbolTexel(x, y); });
        Png("t/lens.png", 8, 8, [](int, int) { return 0xFF102030u; });
        Png("t/glow.png", 4, 4, [](int, int) { return 0xFFFFFFFFu; });
        Png("t/scrollbtn.png", 80, 40,
            [](int x, int) { return x < 40 ? kLitColour : kUnlitColour; });
        File("t/scrollbtn.xml",
             "<sequence><img w=\"80\" h=\"40\" regx=\"0\" regy=\"0\" name=\"scrollbtn.png\"/>"
             "<framelist><frame x=\"0\" y=\"0\" w=\"40\" h=\"40\" regx=\"20\" regy=\"20\"/>"
             "<frame x=\"40\" y=\"0\" w=\"40\" h=\"40\" regx=\"20\" regy=\"20\"/></framelist>"
             "</sequence>");
    }
    std::unique_ptr<ScrollPuzzleScene> Make(const std::string& script, const char* name = "scroll")
    {
        std::unique_ptr<TLuaTable> scene = Table("{}");
        std::unique_ptr<TLuaTable> info = Table("{}");
        return MakeScene<ScrollPuzzleScene>(mFactory, script, *info, name, *scene, *info);
    }
    std::unique_ptr<ScrollPuzzleScene> MakeWhole(const std::string& sound = "")
    {
        Parts parts;
        parts.sound = sound;
        return Make(parts.Text());
    }
    static std::string Look(const ScrollPuzzleScene& scroll)
    {
        std::string look = std::to_string(scroll.GetFound()) + ":";
        for (size_t i = 0; i < 5; ++i)
            look += scroll.GetButton(i).IsLit() ? '1' : '0';
        look += ":" + std::to_string(scroll.GetLens().CountLitGlows());
        return look;
    }

    GameplayFactory mFactory;
};

TEST_F(ScrollPuzzleSceneTest, ReadsItsPartsNamesAndSound)
{
    auto scroll =
        MakeWhole("soundclick = { sounds = { 'click' }, initialdelay = 20, delay = 30 },");
    for (size_t i = 0; i < 5; ++i)
    {
        EXPECT_EQ(scroll->GetButton(i).GetX(), static_cast<int32_t>(240 + 80 * i));
        EXPECT_EQ(scroll->GetButton(i).GetSprite()->GetFrame(), 1);
        EXPECT_EQ(scroll->GetLens().GetGlow(i).GetX(), static_cast<int32_t>(-40 + 20 * i));
        EXPECT_EQ(scroll->GetAnswer(i).left, kAnswers[i].x - 25);
        EXPECT_EQ(scroll->GetAnswer(i).bottom, kAnswers[i].y + 25);
    }
    EXPECT_EQ(scroll->GetLens().GetCollisionRect().left, 370);
    EXPECT_EQ(scroll->GetLens().GetSprite()->GetSpec().mMatrix.m[2][1], 277.0f);
    const TColoredVertex& first = scroll->GetSymbols().GetVertices()[0];
    EXPECT_EQ(first.x, -50.0f);
    EXPECT_EQ(first.z, 0.0f);
    EXPECT_EQ(first.diffuse, 0xFFFFFFFFu);
    EXPECT_EQ(ScrollSymbols::kQuadIndices[0], 0);
    EXPECT_EQ(ScrollSymbols::kQuadIndices[29], 19);
    // The buttons' sheet among the animations; the lens, then its glows (once), then the symbols.
    EXPECT_EQ(scroll->GetExtraAnimationNames(), std::vector<TString>{"t/scrollbtn"});
    EXPECT_EQ(scroll->GetExtraTextureNames(),
              (std::vector<TString>{"t/lens", "t/glow", "t/symbols"}));
    ASSERT_NE(scroll->GetClickSound(), nullptr);
    EXPECT_EQ(scroll->GetStateSize(), 3u);
    EXPECT_EQ(scroll->GetLeadingStateSize(), 1u);
    EXPECT_TRUE(scroll->IsLensOverScroll());
}

TEST_F(ScrollPuzzleSceneTest, OffTheScrollTheLensStaysAndPressesAreNotUsed)
{
    auto scroll = MakeWhole();
    Hover(*scroll, TPoint{300, 250});
    EXPECT_STREQ(scroll->GetCursorName().c_str(), "");
    EXPECT_EQ(scroll->GetLens().GetCollisionRect().left, 270);
    EXPECT_EQ(scroll->GetLens().GetCollisionRect().top, 220);
    EXPECT_EQ(scroll->GetLens().GetSprite()->GetSpec().mMatrix.m[2][1], 290.0f);
    Hover(*scroll, TPoint{700, 500});
    EXPECT_FALSE(scroll->IsLensOverScroll());
    EXPECT_EQ(scroll->GetLens().GetX(), 300);
    EXPECT_EQ(scroll->GetLens().GetCollisionRect().left, 270);
    EXPECT_STREQ(scroll->GetCursorName().c_str(), "default");
    EXPECT_FALSE(scroll->OnMouseDown(TPoint{700, 500}));
    EXPECT_EQ(Look(*scroll), "0:00000:0");
    EXPECT_EQ(scroll->GetLens().GetX(), 300);
    // Shown but not in play, nothing follows.
    mSettings->mMouseX = 300;
    scroll->Update(16, true, false);
    EXPECT_FALSE(scroll->IsLensOverScroll());
}

TEST_F(ScrollPuzzleSceneTest, AnswersInOrderLightAndAnythingElseStartsAgain)
{
    auto scroll =
        MakeWhole("soundclick = { sounds = { 'click' }, initialdelay = 20, delay = 30 },");
    EXPECT_TRUE(Press(*scroll, kAnswers[0]));
    EXPECT_EQ(Look(*scroll), "1:10000:1");
    EXPECT_EQ(scroll->GetClickSound()->mPending, 50);
    EXPECT_TRUE(Press(*scroll, kAnswers[1]));
    EXPECT_TRUE(Press(*scroll, kAnswers[2]));
    EXPECT_EQ(Look(*scroll), "3:11100:3");
    EXPECT_EQ(scroll->GetButton(2).GetSprite()->GetFrame(), 0);
    EXPECT_TRUE(scroll->GetLens().GetGlow(2).IsLit());
    // Only answer 5: back to the start, without a sound being armed.
    scroll->GetClickSound()->mPending = -1;
    EXPECT_TRUE(Press(*scroll, kAnswers[4]));
    EXPECT_EQ(Look(*scroll), "0:00000:0");
    EXPECT_EQ(scroll->GetButton(2).GetSprite()->GetFrame(), 1);
    EXPECT_EQ(scroll->GetClickSound()->mPending, -1);
    // A press on the scroll touching nothing is used and starts again.
    Press(*scroll, kAnswers[0]);
    EXPECT_TRUE(Press(*scroll, TPoint{500, 380}));
    EXPECT_EQ(Look(*scroll), "0:00000:0");
}

// A press is judged where it was pressed: the lens drawn at the last frame, elsewhere on the
// scroll or off it, is brought there first (a press that came with the pointer's arrival).
TEST_F(ScrollPuzzleSceneTest, APressIsJudgedAtItsOwnPoint)
{
    auto scroll = MakeWhole();
    for (const TPoint before : {TPoint{500, 380}, TPoint{700, 500}})
    {
        Hover(*scroll, before);
        EXPECT_TRUE(scroll->OnMouseDown(kAnswers[scroll->GetFound()])) << before.x;
    }
    EXPECT_EQ(Look(*scroll), "2:11000:2");
    EXPECT_EQ(scroll->GetLens().GetX(), kAnswers[1].x);
    EXPECT_TRUE(scroll->IsLensOverScroll());
}

// A double click on the sign due is one press: its second press finds the sign taken, which
// alone would be a wrong answer. Past the double click it is one again.
TEST_F(ScrollPuzzleSceneTest, ADoubleClickOnTheSignDueTakesItOnce)
{
    auto scroll = MakeWhole();
    for (int32_t sign = 0; sign < 2; ++sign)
    {
        EXPECT_TRUE(Press(*scroll, kAnswers[sign]));
        sys::AdvanceManualClock(TWindowManager::kDoubleClickMs - 1);
        EXPECT_TRUE(Press(*scroll, kAnswers[sign]));
        EXPECT_EQ(scroll->GetFound(), sign + 1) << sign;
        sys::AdvanceManualClock(1);
    }
    EXPECT_EQ(Look(*scroll), "2:11000:2");
    EXPECT_TRUE(Press(*scroll, kAnswers[1]));
    EXPECT_EQ(Look(*scroll), "0:00000:0");
    // A sign taken earlier than the last is no second press, however quick.
    Press(*scroll, kAnswers[0]);
    Press(*scroll, kAnswers[1]);
    EXPECT_TRUE(Press(*scroll, kAnswers[0]));
    EXPECT_EQ(Look(*scroll), "0:00000:0");
}

TEST_F(ScrollPuzzleSceneTest, AnswersTouchedTogetherAreTestedInOrder)
{
    // Answer 2 beside answer 1, answer 3 below and left of it.
    Parts parts;
    parts.symbols = "symbols = { symbol01 = { x = 400, y = 277, image = 't/symbols' }, "
                    "scrollvertices = { " +
                    Vertices() +
                    "}, symbolanswers = { rect01 = { x1 = 175, y1 = 175, x2 = 225, y2 = 225 }, "
                    "rect02 = { x1 = 215, y1 = 175, x2 = 265, y2 = 225 }, "
                    "rect03 = { x1 = 135, y1 = 215, x2 = 185, y2 = 265 } } }, ";
    auto scroll = Make(parts.Text());
    // Found 0 and answers 1 and 2 touched: answer 1 is tested first and is the one due.
    EXPECT_TRUE(Press(*scroll, TPoint{220, 200}));
    EXPECT_EQ(Look(*scroll), "1:10000:1");
    EXPECT_TRUE(Press(*scroll, TPoint{260, 200}));
    EXPECT_EQ(Look(*scroll), "2:11000:2");
    // Found 2 and answers 1 and 3 touched: answer 1 is wrong and everything starts again.
    EXPECT_TRUE(Press(*scroll, TPoint{180, 220}));
    EXPECT_EQ(Look(*scroll), "0:00000:0");
}

TEST_F(ScrollPuzzleSceneTest, FiveFoundCompletesOnceShownInPlayAndTakesNoMorePresses)
{
    auto scroll = MakeWhole();
    for (const TPoint& answer : kAnswers)
        EXPECT_TRUE(Press(*scroll, answer));
    EXPECT_EQ(Look(*scroll), "5:11111:5");
    EXPECT_EQ(Activations(), 0);
    // Complete from the next update shown in play.
    scroll->Update(16, true, true);
    EXPECT_EQ(Activations(), 1);
    EXPECT_TRUE(scroll->IsComplete());
    Run("_last = activated[1]");
    EXPECT_STREQ(mManager->GetScript()->GetGlobalString("_last").c_str(), "event_scrollcomplete");
    // The lens stops following; the cursor comes back; the request is not made again.
    Hover(*scroll, TPoint{300, 300});
    EXPECT_EQ(scroll->GetLens().GetX(), kAnswers[4].x);
    EXPECT_STREQ(scroll->GetCursorName().c_str(), "default");
    scroll->Update(16, false, true);
    scroll->Update(16, true, false);
    scroll->Update(16, true, true);
    EXPECT_EQ(Activations(), 1);
    // A later press must not lose the solved puzzle before it is saved.
    EXPECT_FALSE(scroll->OnMouseDown(TPoint{0, 0}));
    EXPECT_EQ(Look(*scroll), "5:11111:5");
    std::vector<uint8_t> saved;
    scroll->SaveState(saved);
    EXPECT_EQ(saved[0], 0x85) << "five found, the completion asked for";
}

TEST_F(ScrollPuzzleSceneTest, TheMeshFollowsTheLensWhileTheSymbolsStayOnTheScreen)
{
    auto scroll = MakeWhole();
    auto draw = [&]
    { ASSERT_TRUE(Draw2d([&] { scroll->Draw(TDrawSpec(TVec2(50, 50), 0.5f, 2.0f)); })); };
    auto texel = [](int sx, int sy) { return SymbolTexel(sx - 144, sy - 149) & 0xFFFFFF; };
    Hover(*scroll, TPoint{300, 232});
    auto placed = scroll->GetSymbols().PlacedVertices();
    EXPECT_EQ(placed[0].x, 250.0f);
    EXPECT_EQ(placed[0].y, 222.0f);
    EXPECT_NEAR(placed[0].u, (250.0f - 144.0f) / 512.0f, 1e-5);
    EXPECT_NEAR(placed[0].v, (222.0f - 149.0f) / 256.0f, 1e-5);
    draw();
    // Under the mesh (x 250-349, y 222-241) the scroll's own texel for that screen point; beside
    // it nothing. The points sit mid-block.
    EXPECT_EQ(Back(256, 229), texel(256, 229));
    EXPECT_EQ(Back(320, 229), texel(320, 229));
    EXPECT_EQ(Back(288, 250), 0u);
    EXPECT_EQ(Back(240, 229), 0u);
    EXPECT_EQ(Back(352, 229), 0u);
    // The lens's picture hangs 40 below the point.
    EXPECT_EQ(Back(300, 272), 0x102030u);
    Hover(*scroll, TPoint{320, 234});
    draw();
    EXPECT_EQ(Back(256, 229), 0u);
    EXPECT_EQ(Back(320, 229), texel(320, 229));
    EXPECT_EQ(Back(352, 229), texel(352, 229));
    // Buttons in screen pixels, unlit; a found symbol lights button 1 and the first glow.
    EXPECT_EQ(Back(240, 60), kUnlitColour & 0xFFFFFF);
    Press(*scroll, kAnswers[0]);
    draw();
    EXPECT_EQ(Back(240, 60), kLitColour & 0xFFFFFF);
    EXPECT_EQ(Back(320, 60), kUnlitColour & 0xFFFFFF);
    EXPECT_EQ(Back(kAnswers[0].x - 40, kAnswers[0].y + 40 + 30), 0xFFFFFFu);
    EXPECT_EQ(Back(kAnswers[0].x - 20, kAnswers[0].y + 40 + 30), 0u);
}

// Coordinates a whole picture beyond [0, 1] either way reach the same texels: the mesh's texture
// repeats (clamped, they would all take the picture's edge).
TEST_F(ScrollPuzzleSceneTest, TheMeshRepeatsItsTextureBeyondThePicture)
{
    auto texel = [](int sx, int sy) { return SymbolTexel(sx - 144, sy - 149) & 0xFFFFFF; };
    for (const auto& whole : {std::pair<int, int>{1, -1}, std::pair<int, int>{-2, 3}})
    {
        Parts parts;
        parts.symbols = "symbols = { symbol01 = { x = 400, y = 277, image = 't/symbols' }, "
                        "scrollvertices = { " +
                        Vertices(20, whole.first, whole.second) + "}, symbolanswers = { " +
                        Answers() + "} }, ";
        auto scroll = Make(parts.Text());
        Hover(*scroll, TPoint{300, 232});
        ASSERT_TRUE(Draw2d([&] { scroll->Draw(TDrawSpec()); }));
        EXPECT_EQ(Back(256, 229), texel(256, 229)) << whole.first;
        EXPECT_EQ(Back(320, 229), texel(320, 229)) << whole.first;
        EXPECT_EQ(Back(340, 236), texel(340, 236)) << whole.first;
    }
}

TEST_F(ScrollPuzzleSceneTest, SavesTheCountBeforeTheBaseAndRestoresItsLook)
{
    auto scroll = MakeWhole();
    Press(*scroll, kAnswers[0]);
    Press(*scroll, kAnswers[1]);
    std::vector<uint8_t> saved;
    scroll->SaveState(saved);
    EXPECT_EQ(saved, (std::vector<uint8_t>{0x02, 0x00, 0x00}));

    auto restored = MakeWhole();
    const uint8_t three[] = {0x03, 0x00, 0x00, 0x77};
    ASSERT_TRUE(restored->LoadState(three, sizeof three));
    EXPECT_EQ(Look(*restored), "3:11100:3");
    EXPECT_EQ(restored->GetButton(3).GetSprite()->GetFrame(), 1);
    EXPECT_EQ(restored->MeasureState(three, sizeof three), 3u);
    EXPECT_EQ(Activations(), 0);
    // Restoring lower puts the look back first.
    const uint8_t one[] = {0x01, 0x00, 0x00};
    ASSERT_TRUE(restored->LoadState(one, sizeof one));
    EXPECT_EQ(Look(*restored), "1:10000:1");

    // A count the puzzle never writes is taken as five, and completes on the next update.
    const uint8_t nine[] = {0x09, 0x00, 0x00};
    ASSERT_TRUE(restored->LoadState(nine, sizeof nine));
    EXPECT_EQ(Look(*restored), "5:11111:5");
    EXPECT_EQ(CountInLog("Scene 'scroll': 9 scroll symbols saved as found; taken as 5"), 1);
    restored->Update(16, true, true);
    EXPECT_EQ(Activations(), 1);

    auto fresh = MakeWhole();
    for (size_t size = 0; size < 3; ++size)
        EXPECT_FALSE(fresh->LoadState(three, size)) << size;
    EXPECT_FALSE(fresh->LoadState(nullptr, 3));
    EXPECT_EQ(Look(*fresh), "0:00000:0");
    EXPECT_EQ(CountInLog("Scene 'scroll': its saved scroll record does not fit"), 4);
}

TEST_F(ScrollPuzzleSceneTest, TheClickSoundCountsOnlyWhenShownAndPausesEitherWay)
{
    auto scroll = MakeWhole("soundclick = { sounds = { 'click' } },");
    Press(*scroll, kAnswers[0]);
    scroll->Update(1, false, true);
    EXPECT_NE(mAudio->GetSoundState("click"), SoundEntry::kPlaying);
    scroll->Update(1, true, true);
    ASSERT_EQ(mAudio->GetSoundState("click"), SoundEntry::kPlaying);
    scroll->Pause(false);
    EXPECT_EQ(mAudio->GetSoundState("click"), SoundEntry::kPaused);
    scroll->Resume(false);
    EXPECT_EQ(mAudio->GetSoundState("click"), SoundEntry::kPlaying);

    auto silent = MakeWhole();
    EXPECT_EQ(silent->GetClickSound(), nullptr);
    EXPECT_TRUE(Press(*silent, kAnswers[0]));
    silent->Pause(true);
    silent->Resume(true);
}

TEST_F(ScrollPuzzleSceneTest, BrokenTablesAreReportedAndLeaveAUsableScene)
{
    auto empty = Make("");
    EXPECT_EQ(CountInLog("ERROR:Cannot find 'scrollpuzzle' table for ScrollPuzzleScene!"), 1);
    EXPECT_TRUE(empty->GetExtraAnimationNames().empty());
    empty->Update(16, true, true);
    empty->OnMouseDown(TPoint{0, 0});
    DrawBlack([&] { empty->Draw(TDrawSpec()); });
    std::vector<uint8_t> saved;
    empty->SaveState(saved);
    EXPECT_EQ(saved.size(), empty->GetStateSize());

    const struct
    {
        std::string Parts::*part;
        const char* message;
    } tables[] = {
        {&Parts::buttons, "ERROR:ERROR: No button table for ScrollPuzzleScene!"},
        {&Parts::glows, "ERROR:ERROR: No glows table for ScrollPuzzleScene!"},
        {&Parts::lens, "ERROR:ERROR: No crystal lens table for ScrollPuzzleScene!"},
        {&Parts::symbols, "ERROR:ERROR: No symbols table for ScrollPuzzleScene!"},
    };
    for (const auto& table : tables)
    {
        Parts parts;
        parts.*table.part = "";
        auto scroll = Make(parts.Text());
        EXPECT_EQ(CountInLog(table.message), 1) << table.message;
        EXPECT_EQ(scroll->GetAnswer(0).right, 0) << table.message;
    }
    // Missing inner tables: each reported, the rest as far as the construction goes.
    Parts inner;
    inner.buttons = "buttons = { button01 = { x = 'far', y = '60', image = 't/scrollbtn' } }, ";
    inner.lens = "crystallens = { crystallens01 = { x = 400, y = 277, image = 't/lens' } }, ";
    inner.symbols = "symbols = { scrollvertices = { " + Vertices(7) + "}, symbolanswers = { " +
                    Answers("rect03") + "} }, ";
    auto gaps = Make(inner.Text());
    EXPECT_EQ(CountInLog("ERROR:ERROR: No button index table for ScrollButton!"), 4);
    EXPECT_EQ(gaps->GetButton(0).GetX(), 0);
    EXPECT_EQ(gaps->GetButton(0).GetY(), 60);
    EXPECT_EQ(CountInLog("ERROR:ERROR: No collision index table for ScrollLens!"), 1);
    EXPECT_TRUE(gaps->GetLens().GetGlow(0).GetImage().Length() == 0);
    EXPECT_EQ(CountInLog("ERROR:ERROR: No symbol index table for ScrollSymbols!"), 1);
    EXPECT_EQ(CountInLog("ERROR:ERROR: No symbol vertices index table for ScrollSymbols!"), 1);
    EXPECT_EQ(gaps->GetSymbols().GetVertices()[6].x, -10.0f);
    EXPECT_EQ(gaps->GetSymbols().GetVertices()[7].diffuse, 0u);
    EXPECT_EQ(CountInLog("ERROR:ERROR: No collision index table for ScrollPuzzleScene!"), 1);
    EXPECT_EQ(gaps->GetAnswer(1).left, kAnswers[1].x - 25);
    EXPECT_EQ(gaps->GetAnswer(2).left, 0);
    EXPECT_EQ(gaps->GetAnswer(3).left, 0);
    EXPECT_EQ(gaps->GetExtraTextureNames(), std::vector<TString>{"t/lens"});

    Parts noSymbolParts;
    noSymbolParts.symbols = "symbols = { symbol01 = { x = 400, y = 277, image = 't/symbols' } }, ";
    Make(noSymbolParts.Text());
    EXPECT_EQ(CountInLog("ERROR:ERROR: No symbol vertices table for ScrollSymbols!"), 1);
    EXPECT_EQ(CountInLog("ERROR:ERROR: No symbol answers table for ScrollPuzzleScene!"), 1);
}

} // namespace

} // namespace scroll_puzzle_scene_test
