// The ritual puzzle built from a scene's arguments and a script context of its own: the
// demonstration and its reversed answer, wrong clicks and replays, the beams, the delayed
// completion request, the saved pattern index, the glows and sounds across pauses, and each
// broken table.
#include "framework/adventure/entities/gameplay_layer.h"
#include "framework/sound/sound_effect.h"
#include "game/minigames/puzzles/puzzle_scene_test_support.h"
#include "game/minigames/puzzles/ritual/ritual_puzzle_scene.h"
#include "game/runner/mkw_gameplay_factory.h"
#include "sys/clock.h"
#include "ui/window_manager.h"
#include "render/sprites/sprite.h"
#include "sys/display/presenter/surface_png.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace ritual_puzzle_scene_test
{
namespace
{

constexpr uint32_t kLit = 0xFFF0E080;
constexpr uint32_t kRest = 0xFF304060;
constexpr uint32_t kBeam = 0xFF40C060;

// Crystals 48 x 96 centred on x 200, 300, ... 600 at y 300; the middle one sounds "click".
const std::string kSounds[] = {"logo", "theme", "click", "boom", "logo"};

std::string Crystals(const std::string& skip = "")
{
    std::string text;
    for (int i = 0; i < 5; ++i)
    {
        const std::string key = "crystal0" + std::to_string(i);
        if (key == skip)
            continue;
        text += key + " = { x = " + std::to_string(200 + 100 * i) +
                ", y = 300, image = 't/crystal', sound = { sounds = { '" + kSounds[i] +
                "' }, delay = 1000 } }, ";
    }
    return text;
}

// Pattern 1 is 3 1 4 1 5; the others 1 2 3 4 5.
std::string Patterns(const std::string& first = "step01 = 3, step02 = 1, step03 = 4, "
                                                "step04 = 1, step05 = 5")
{
    std::string text = "pattern01 = { " + first + " }, ";
    for (int n = 2; n <= 5; ++n)
        text += "pattern0" + std::to_string(n) +
                " = { step01 = 1, step02 = 2, step03 = 3, step04 = 4, step05 = 5 }, ";
    return text;
}

std::string Script(const std::string& first = "step01 = 3, step02 = 1, step03 = 4, "
                                              "step04 = 1, step05 = 5")
{
    return "gs_cursorHandOpen = 'handopen' ritualpuzzle = { crystals = { " + Crystals() +
           "}, crystalinfo = { timeonfade = 100, timeofffade = 50 }, patterns = { " +
           Patterns(first) + "}, patterninfo = { idletimermax = 100, sequencetimermax = 50 } }";
}

TPoint At(int32_t crystal)
{
    return TPoint{200 + 100 * (crystal - 1), 300};
}

class RitualPuzzleSceneTest : public puzzletest::PuzzleTest
{
protected:
    void SetUp() override
    {
        PuzzleTest::SetUp();
        if (HasFatalFailure())
            return;
        std::vector<uint32_t> sheet(96 * 96);
        for (size_t i = 0; i < sheet.size(); ++i)
            sheet[i] = (i % 96) < 48 ? kLit : kRest;
        std::vector<uint8_t> png = sys::display::EncodePng(sheet.data(), 96, 96);
        File("t/crystal.png", std::string(png.begin(), png.end()));
        File("t/crystal.xml", "<sequence><img w=\"96\" h=\"96\" name=\"crystal.png\"/><framelist>"
                              "<frame x=\"0\" y=\"0\" w=\"48\" h=\"96\" regx=\"24\" regy=\"48\"/>"
                              "<frame x=\"48\" y=\"0\" w=\"48\" h=\"96\" regx=\"24\" "
                              "regy=\"48\"/></framelist></sequence>");
        Image("t/bg.png", 800, 600, 0xFF102030);
        Image("t/beam.png", 600, 20, kBeam);
    }
    std::unique_ptr<RitualPuzzleScene> Make(const std::string& script)
    {
        std::string layers = "{ name = 'bg', image = 't/bg', x = 400, y = 300, depth = 100, "
                             "flags = 5 }, ";
        for (const char* beam : RitualPuzzleScene::kPatternLayers)
            if (std::string(beam) != "ritual_bluegreen")
                layers += "{ name = '" + std::string(beam) +
                          "', image = 't/beam', x = 400, y = 200, depth = 50, flags = 5 }, ";
        std::unique_ptr<TLuaTable> scene = Table("{ layers = { " + layers + "} }");
        std::unique_ptr<TLuaTable> info = Table(
            "{ iteminfo = {}, areainfo = {}, layerinfo = { fadetime = 400 }, textinfo = {} }");
        return MakeScene<RitualPuzzleScene>(mFactory, script, *info, "altar", *scene, *info);
    }
    static std::string Lit(const RitualPuzzleScene& ritual)
    {
        std::string lit;
        for (size_t i = 0; i < RitualPuzzleScene::kCrystals; ++i)
            lit += ritual.GetCrystal(i).IsLit() ? '1' : '0';
        return lit;
    }
    // Runs the demonstration to its end in 20 ms updates; the crystals lit, in order.
    static std::string Demonstrate(RitualPuzzleScene& ritual)
    {
        std::string order;
        std::string before = Lit(ritual);
        for (int i = 0; i < 100 && ritual.GetPattern(ritual.GetCurrentPattern()).IsShowing(); ++i)
        {
            ritual.Update(20, true, true);
            const std::string now = Lit(ritual);
            for (size_t c = 0; c < now.size(); ++c)
                if (now[c] == '1' && before[c] == '0')
                    order += static_cast<char>('1' + c);
            before = now;
        }
        return order;
    }
    void Answer(RitualPuzzleScene& ritual, const std::vector<int32_t>& crystals)
    {
        for (int32_t c : crystals)
            EXPECT_TRUE(ritual.OnMouseDown(At(c))) << c;
    }
    // Every pattern demonstrated and answered, the fifth leaving the scene complete.
    void SolveAll(RitualPuzzleScene& ritual)
    {
        Demonstrate(ritual);
        Answer(ritual, {5, 1, 4, 1, 3});
        for (int n = 2; n <= 5; ++n)
        {
            ritual.Update(20, true, true);
            Demonstrate(ritual);
            Answer(ritual, {5, 4, 3, 2, 1});
        }
    }

    MKWGameplayFactory mFactory;
};

TEST_F(RitualPuzzleSceneTest, TheAnswerIsTheDemonstrationReversed)
{
    auto ritual = Make(Script());
    EXPECT_STREQ(ritual->GetOpenHandCursor().c_str(), "handopen");
    EXPECT_EQ(ritual->GetExtraAnimationNames(), std::vector<TString>{"t/crystal"});
    EXPECT_EQ(ritual->GetCrystal(2).GetX(), 400);
    EXPECT_EQ(ritual->GetCrystal(2).GetTimeOnFade(), 100);
    EXPECT_EQ(ritual->GetCrystal(2).GetTimeOffFade(), 50);
    const RitualPattern& first = ritual->GetPattern(0);
    for (size_t k = 0; k < 5; ++k)
        EXPECT_EQ(first.GetAnswer(k), (std::vector<int32_t>{5, 1, 4, 1, 3})[k]);
    EXPECT_TRUE(first.IsShowing());
    EXPECT_FALSE(ritual->GetPattern(1).IsShowing());

    // The idle wait: nothing lit, clicks and the hand refused.
    ritual->Update(60, true, true);
    EXPECT_EQ(Lit(*ritual), "00000");
    MouseAt(At(3));
    EXPECT_STREQ(ritual->GetCursorName().c_str(), "default");
    EXPECT_FALSE(ritual->OnMouseDown(At(3)));
    ritual->Update(60, true, true);
    // The first step lights; during the demonstration clicks are refused too.
    ritual->Update(20, true, true);
    EXPECT_EQ(Lit(*ritual), "00100");
    EXPECT_EQ(ritual->GetCrystal(2).GetSound()->mPending, 980);
    EXPECT_FALSE(ritual->OnMouseDown(At(3)));
    EXPECT_STREQ(ritual->GetCursorName().c_str(), "default");
    // Each step lit until its timer exceeds 50: three 20 ms updates.
    ritual->Update(20, true, true);
    EXPECT_EQ(Lit(*ritual), "00100");
    ritual->Update(20, true, true);
    EXPECT_EQ(Lit(*ritual), "10000");
    EXPECT_EQ(Demonstrate(*ritual), "415");
    EXPECT_FALSE(first.IsShowing());
    EXPECT_EQ(Lit(*ritual), "00000");

    // Answering: the hand over a crystal, none between them.
    EXPECT_STREQ(ritual->GetCursorName().c_str(), "handopen");
    MouseAt(TPoint{250, 300});
    EXPECT_STREQ(ritual->GetCursorName().c_str(), "default");
    EXPECT_FALSE(ritual->OnMouseDown(TPoint{250, 300}));
    Answer(*ritual, {5, 1, 4});
    EXPECT_EQ(Lit(*ritual), "10011");
    // Crystal 1 again, still lit: counted, but no new fade and no new sound.
    ritual->Update(1000, true, true);
    ASSERT_EQ(ritual->GetCrystal(0).GetSound()->mPending, -1);
    Answer(*ritual, {1});
    EXPECT_EQ(ritual->GetCrystal(0).GetSound()->mPending, -1);
    EXPECT_EQ(first.GetAnswered(), 4);
    Answer(*ritual, {3});
    EXPECT_TRUE(first.IsSolved());
    EXPECT_FALSE(ritual->OnMouseDown(At(2)));

    // The next active update in play: the lights go out, the first beam fades in, pattern 2
    // starts; not shown or out of play, nothing moves on.
    ritual->Update(20, false, true);
    ritual->Update(20, true, false);
    EXPECT_EQ(ritual->GetCurrentPattern(), 0u);
    ritual->Update(20, true, true);
    EXPECT_EQ(ritual->GetCurrentPattern(), 1u);
    EXPECT_EQ(Lit(*ritual), "00000");
    GameplayLayer* beam = ritual->FindLayer("ritual_whitegreen");
    EXPECT_NE(beam->GetFlags() & 0x03, 0);
    EXPECT_TRUE(ritual->GetPattern(1).IsShowing());
}

TEST_F(RitualPuzzleSceneTest, AWrongClickPutsAllOutAndReplaysTheWholePattern)
{
    auto ritual = Make(Script());
    Demonstrate(*ritual);
    Answer(*ritual, {5, 1, 4, 1, 2});
    const RitualPattern& first = ritual->GetPattern(0);
    EXPECT_EQ(first.GetAnswered(), 0);
    EXPECT_TRUE(first.IsShowing());
    EXPECT_EQ(first.GetShownStep(), 0);
    EXPECT_EQ(Lit(*ritual), "00000");
    // After the idle wait again, the whole pattern.
    ritual->Update(100, true, true);
    EXPECT_EQ(Lit(*ritual), "00000");
    EXPECT_EQ(Demonstrate(*ritual), "31415");
    Answer(*ritual, {5, 1, 4, 1, 3});
    EXPECT_TRUE(first.IsSolved());
}

// A double click on a crystal is one answer, unless the pattern names that crystal twice in a
// row: then the second press is the next step.
TEST_F(RitualPuzzleSceneTest, ADoubleClickAnswersOnceUnlessTheCrystalIsDueAgain)
{
    auto ritual = Make(Script("step01 = 3, step02 = 1, step03 = 1, step04 = 4, step05 = 5"));
    Demonstrate(*ritual);
    const RitualPattern& first = ritual->GetPattern(0);
    Answer(*ritual, {5, 5});
    EXPECT_EQ(first.GetAnswered(), 1);
    sys::AdvanceManualClock(TWindowManager::kDoubleClickMs - 1);
    Answer(*ritual, {5, 4, 4, 1, 1});
    EXPECT_EQ(first.GetAnswered(), 4);
    EXPECT_FALSE(first.IsShowing());
    // Past the double click the same crystal again is a wrong answer.
    sys::AdvanceManualClock(TWindowManager::kDoubleClickMs);
    Answer(*ritual, {1});
    EXPECT_EQ(first.GetAnswered(), 0);
    EXPECT_TRUE(first.IsShowing());
}

TEST_F(RitualPuzzleSceneTest, ARepeatedStepIsPutOutAndLitAgainInOneUpdate)
{
    auto ritual = Make(Script("step01 = 2, step02 = 2, step03 = 1, step04 = 1, step05 = 1"));
    ritual->Update(100, true, true);
    ritual->Update(20, true, true);
    ritual->Update(20, true, true);
    EXPECT_EQ(ritual->GetCrystal(1).GetSound()->mPending, 960);
    // The step timer passes 50: out and lit again, the sound re-armed (then counted down).
    ritual->Update(20, true, true);
    EXPECT_EQ(Lit(*ritual), "01000");
    EXPECT_EQ(ritual->GetPattern(0).GetShownStep(), 1);
    EXPECT_EQ(ritual->GetCrystal(1).GetSound()->mPending, 980);
}

TEST_F(RitualPuzzleSceneTest, CompletionIsRequestedAfter2000MsOfActivePlay)
{
    auto ritual = Make(Script());
    SolveAll(*ritual);
    EXPECT_FALSE(ritual->IsComplete());
    ritual->Update(500, true, true);
    EXPECT_TRUE(ritual->IsComplete());
    EXPECT_EQ(ritual->GetCurrentPattern(), 5u);
    EXPECT_EQ(ritual->GetCompletionTimer(), 500u);
    EXPECT_FALSE(ritual->OnMouseDown(At(1)));
    // Held while not shown or out of play.
    ritual->Update(5000, false, true);
    ritual->Update(5000, true, false);
    ritual->Update(1499, true, true);
    EXPECT_EQ(Activations(), 0);
    ritual->Update(1, true, true);
    ritual->Update(16, true, true);
    EXPECT_EQ(Activations(), 1);
    Run("_a = activated[1]");
    EXPECT_STREQ(mManager->GetScript()->GetGlobalString("_a").c_str(), "event_ritualcomplete");
    for (const char* beam : RitualPuzzleScene::kPatternLayers)
    {
        // The third beam is missing from this scene: skipped.
        const GameplayLayer* layer = ritual->FindLayer(beam);
        EXPECT_TRUE(layer == nullptr || (layer->GetFlags() & 0x02) != 0) << beam;
    }
}

TEST_F(RitualPuzzleSceneTest, SavesThePatternIndexAndRestoresIt)
{
    auto ritual = Make(Script());
    Demonstrate(*ritual);
    Answer(*ritual, {5, 1, 4, 1, 3});
    ritual->Update(20, true, true);
    std::vector<uint8_t> saved;
    ritual->SaveState(saved);
    ASSERT_EQ(saved.size(), ritual->GetStateSize());
    EXPECT_EQ(saved[0], 1);
    EXPECT_EQ(ritual->GetLeadingStateSize(), 1u);

    // Restored at 1: no demonstration, answers taken at once; a wrong one starts it.
    auto restored = Make(Script());
    saved.push_back(0x77);
    ASSERT_TRUE(restored->LoadState(saved.data(), saved.size()));
    EXPECT_EQ(restored->MeasureState(saved.data(), saved.size()), saved.size() - 1);
    EXPECT_EQ(restored->GetCurrentPattern(), 1u);
    EXPECT_FALSE(restored->GetPattern(1).IsShowing());
    EXPECT_TRUE(restored->OnMouseDown(At(5)));
    EXPECT_TRUE(restored->OnMouseDown(At(1)));
    EXPECT_TRUE(restored->GetPattern(1).IsShowing());

    // Saved between two clicks of a pattern: the answers so far in the bits above the index,
    // lit again, the pattern waiting for the next (a store comes at any calm frame, and a
    // record that dropped them would have the player's next click start the pattern over).
    auto partway = Make(Script());
    Demonstrate(*partway);
    Answer(*partway, {5, 1, 4});
    std::vector<uint8_t> between;
    partway->SaveState(between);
    EXPECT_EQ(between[0], 0x30);
    auto resumed = Make(Script());
    ASSERT_TRUE(resumed->LoadState(between.data(), between.size()));
    EXPECT_EQ(resumed->GetPattern(0).GetAnswered(), 3);
    EXPECT_FALSE(resumed->GetPattern(0).IsShowing());
    EXPECT_TRUE(resumed->GetCrystal(3).IsLit());
    Answer(*resumed, {1, 3});
    resumed->Update(20, true, true);
    EXPECT_EQ(resumed->GetCurrentPattern(), 1u);

    // Saved at 5, or past it: complete again, so the request still comes 2000 ms later.
    for (uint8_t index : {5, 100})
    {
        auto done = Make(Script());
        saved[0] = index;
        ASSERT_TRUE(done->LoadState(saved.data(), saved.size()));
        EXPECT_EQ(done->GetCurrentPattern(), 5u);
        EXPECT_TRUE(done->IsComplete());
        EXPECT_EQ(done->GetCompletionTimer(), 0u);
        done->Update(2000, true, true);
    }
    EXPECT_EQ(Activations(), 2);
    EXPECT_EQ(CountInLog("saved ritual pattern 100 is past the last"), 1);
    // Saved once its completion was asked for (the top bit): complete, and never asked again.
    auto asked = Make(Script());
    saved[0] = 0x85;
    ASSERT_TRUE(asked->LoadState(saved.data(), saved.size()));
    EXPECT_TRUE(asked->IsComplete());
    asked->Update(5000, true, true);
    EXPECT_EQ(Activations(), 2);
    std::vector<uint8_t> again;
    asked->SaveState(again);
    EXPECT_EQ(again[0], 0x85);

    // Cut short anywhere, refused whole.
    auto fresh = Make(Script());
    for (size_t size = 0; size < fresh->GetStateSize(); ++size)
        EXPECT_FALSE(fresh->LoadState(saved.data(), size)) << size;
    EXPECT_EQ(fresh->GetCurrentPattern(), 0u);
    EXPECT_TRUE(fresh->GetPattern(0).IsShowing());
}

TEST_F(RitualPuzzleSceneTest, GlowsAndSoundsPauseAlwaysAndResumeOnlyWhenShown)
{
    auto ritual = Make(Script());
    // Lit by hand during the idle wait, which the update spends; the sound's delay runs out.
    ritual->GetCrystal(2).SetLit(true);
    ritual->Update(1000, true, true);
    ASSERT_EQ(mAudio->GetSoundState("click"), SoundEntry::kPlaying);
    ritual->Pause(false);
    EXPECT_EQ(mAudio->GetSoundState("click"), SoundEntry::kPaused);
    ritual->Resume(false);
    EXPECT_EQ(mAudio->GetSoundState("click"), SoundEntry::kPaused);
    ritual->Resume(true);
    EXPECT_EQ(mAudio->GetSoundState("click"), SoundEntry::kPlaying);

    // The glow's fade (the list's clock starts at its first frame) holds while paused.
    Frame(16);
    Frame(50);
    const float glow = ritual->GetCrystal(2).GetGlow();
    EXPECT_GT(glow, 0.0f);
    EXPECT_LT(glow, 1.0f);
    ritual->Pause(true);
    Frame(30);
    ritual->Resume(false);
    Frame(30);
    EXPECT_EQ(ritual->GetCrystal(2).GetGlow(), glow);
    ritual->Resume(true);
    Frame(100);
    EXPECT_EQ(ritual->GetCrystal(2).GetGlow(), 1.0f);
}

TEST_F(RitualPuzzleSceneTest, TwoCrystalsLitAndABeamFadingIn)
{
    auto ritual = Make(Script());
    ritual->FindLayer("bg")->Activate(false, nullptr);
    Demonstrate(*ritual);
    Answer(*ritual, {5, 1, 4, 1, 3});
    // The first beam starts its 400 ms fade; two crystals lit 40 ms later glow fully after 100.
    ritual->Update(20, true, true);
    Frame(16);
    Frame(24);
    ritual->GetCrystal(0).SetLit(true);
    ritual->GetCrystal(1).SetLit(true);
    Frame(16);
    Frame(110);
    ASSERT_TRUE(Draw2d([&] { ritual->Draw(TDrawSpec(TVec2(50, 50), 0.5f, 3.0f)); }));
    // Lit crystals show their lit frame at full glow; the others rest.
    EXPECT_EQ(Back(200, 300), kLit & 0xFFFFFF);
    EXPECT_EQ(Back(300, 300), kLit & 0xFFFFFF);
    EXPECT_EQ(Back(400, 300), kRest & 0xFFFFFF);
    rendertest::CompareWithGolden(*Data().mBackBuffer, {100, 180, 700, 360}, "ritual_altar.png");
}

TEST_F(RitualPuzzleSceneTest, BrokenTablesAreFatalAndStopThere)
{
    const std::string info = "crystalinfo = {}, ";
    const std::string all = "crystals = { " + Crystals() + "}, ";
    const struct
    {
        std::string script;
        const char* message;
    } cases[] = {
        {"", "ERROR:Cannot find 'ritualpuzzle' table for RitualPuzzleScene!"},
        {"ritualpuzzle = {}", "ERROR:ERROR: No crystal table for RitualPuzzleScene!"},
        {"ritualpuzzle = { " + all + "}",
         "ERROR:ERROR: No crystalinfo table for RitualPuzzleScene!"},
        {"ritualpuzzle = { crystals = { " + Crystals("crystal03") + "}, " + info + "}",
         "ERROR:ERROR: No crystal table!"},
        {"ritualpuzzle = { " + all + info + "}",
         "ERROR:ERROR: No pattern table for RitualPuzzleScene!"},
        {"ritualpuzzle = { " + all + info + "patterns = {} }",
         "ERROR:ERROR: No patterninfo table for RitualPuzzleScene!"},
        {"ritualpuzzle = { " + all + info + "patterns = {}, patterninfo = {} }",
         "ERROR:ERROR: No pattern index table for RitualPuzzleScene!"},
        {Script("step01 = 3, step02 = 1, step03 = 6, step04 = 1, step05 = 5"),
         "ERROR:ERROR: Bad step in pattern01 for RitualPuzzleScene! The pattern in "
         "scripts/minigames/ritualpuzzle.lua has step03 = 6; the crystals are 1 to 5"},
        {Script("step01 = 3, step02 = 1, step03 = 4, step04 = 1"),
         "ERROR:ERROR: Bad step in pattern01 for RitualPuzzleScene! The pattern in "
         "scripts/minigames/ritualpuzzle.lua has no step05; the crystals are 1 to 5"},
    };
    for (const auto& each : cases)
    {
        const int before = CountInLog(each.message);
        auto broken = Make(each.script);
        EXPECT_EQ(CountInLog(each.message), before + 1) << each.message;
        // Stopped there: no demonstration; the scene still updates, draws, saves and goes.
        EXPECT_FALSE(broken->GetPattern(0).IsShowing());
        broken->Update(5000, true, true);
        broken->OnMouseDown(At(3));
        DrawBlack([&] { broken->Draw(TDrawSpec()); });
        std::vector<uint8_t> saved;
        broken->SaveState(saved);
        EXPECT_EQ(saved.size(), broken->GetStateSize());
    }
    // Crystals loaded before the missing one stay.
    EXPECT_EQ(Activations(), 0);
}

} // namespace

} // namespace ritual_puzzle_scene_test
