// Tutorial prompts built from tables over a string table made here: the list and its lookups,
// the arrow's bob and where it runs, the text shrunk to fit, the fades, the hide callback, what
// is drawn in each state, and broken tables.
#include "framework/adventure/tutorials/gameplay_tutorial.h"

#include "framework/adventure/adventure_test_support.h"
#include "framework/framework_display_support.h"
#include "framework/transforms/transform_manager.h"
#include "platform/shell/application.h"
#include "platform/strings/string_table.h"
#include "render/sprites/sprite.h"
#include "render/text/text_sprite.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace gameplay_tutorial_test
{
namespace
{

using adventuretest::Calls;

const char kInfo[] =
    "info = { fadetime = 100, arrowtime = 200, arrowdist = 20, arrowimage = 'tut/arrow.png', "
    "arrowcenterx = 24, arrowcentery = 24, dialog = 'tut/dialog.png', "
    "bounds = { x = 0, y = 0, w = 280, h = 60 }, font = { '', 20, { 1, 1, 1, 1 } } }";

class TutorialTest : public fwtest::FrameworkDisplayTest
{
protected:
    void SetUp() override
    {
        FrameworkDisplayTest::SetUp();
        if (HasFatalFailure())
            return;
        Image("tut/arrow.png", 48, 48, 0xFFE0E020);
        Image("tut/dialog.png", 320, 120, 0xFF304060);
        adventuretest::LoadStrings(
            {{"tut_short", "Click the key."},
             {"tut_long", "Find every piece of the torn map, then drag it onto the old chest in "
                          "the corner of the hall to open the lid and look inside for the "
                          "lantern."},
             {"tut_huge", std::string(4000, 'W')}});
    }
    std::unique_ptr<GameplayTutorialController> Make(const std::string& entries,
                                                     const std::string& info = kInfo)
    {
        std::unique_ptr<TLuaTable> table = Table("{ " + info + ", " + entries + " }");
        return std::make_unique<GameplayTutorialController>(*table);
    }
    void Frames(int count, uint32_t ms = 10)
    {
        for (int i = 0; i < count; ++i)
            Step(ms, [] {});
    }
    uint32_t Drawn(GameplayTutorialController& controller, int x, int y)
    {
        DrawBlack([&] { controller.Draw(); });
        return Back(x, y);
    }
};

const char kPrompts[] = "{ name = 'tut_short', index = 3, arrowx = 400, arrowy = 100, "
                        "arrowrotation = 0.25, dialogx = 400, dialogy = 300 }, "
                        "{ name = 'tut_short', index = 7 }, "
                        "other = { name = 'tut_long', index = 5.9, dialogx = 200, dialogy = 200 }";

TEST_F(TutorialTest, ListLookupsAndTheActivePrompt)
{
    auto empty = Make("");
    EXPECT_TRUE(empty->GetTutorials().empty());
    EXPECT_EQ(empty->GetTutorialIndex("tut_short"), -1);
    empty->ShowTutorial("tut_short", TVec2(0, 0));
    EXPECT_EQ(empty->GetActive(), nullptr);
    EXPECT_STREQ(empty->GetActiveTutorialName().c_str(), "");

    auto controller = Make(kPrompts);
    ASSERT_EQ(controller->GetTutorials().size(), 3u);
    // Two of one name: the first in the table's order answers.
    EXPECT_EQ(controller->GetTutorialIndex("tut_short"), 3);
    EXPECT_EQ(controller->GetTutorialIndex("tut_long"), 5);
    EXPECT_EQ(controller->GetTutorialIndex("nothing"), -1);
    controller->ShowTutorial("tut_short", TVec2(0, 0));
    ASSERT_NE(controller->GetActive(), nullptr);
    EXPECT_EQ(controller->GetActive(), controller->GetTutorials()[0].get());
    controller->ShowTutorial("nothing", TVec2(0, 0));
    EXPECT_EQ(controller->GetActive(), controller->GetTutorials()[0].get());
    controller->GetActive()->Hide(nullptr);
    Frames(20);
    EXPECT_STREQ(controller->GetActiveTutorialName().c_str(), "tut_short");
}

TEST_F(TutorialTest, ArrowBobsWhereItIsToldAlongItsRotation)
{
    auto controller = Make(kPrompts);
    GameplayTutorial& prompt = *controller->GetTutorials()[0];
    // A quarter turn points down the screen.
    EXPECT_EQ(prompt.GetArrowBase().x, 400.0f);
    EXPECT_EQ(prompt.GetArrowBase().y, 100.0f);
    EXPECT_NEAR(prompt.GetArrowTip().x, 400.0f, 1e-4);
    EXPECT_FLOAT_EQ(prompt.GetArrowTip().y, 120.0f);
    TM_Transform2D& arrow = prompt.GetArrowTransform();
    controller->ShowTutorial("tut_short", TVec2(0, 0));
    Frames(1);
    EXPECT_NEAR(arrow.GetY(), 120.0f, 0.1f);
    Frames(10);
    EXPECT_NEAR(arrow.GetY(), 110.0f, 0.1f);
    Frames(10);
    EXPECT_NEAR(arrow.GetY(), 100.0f, 0.1f);
    Frames(20);
    EXPECT_NEAR(arrow.GetY(), 120.0f, 0.1f);
    Frames(20);
    EXPECT_NEAR(arrow.GetY(), 100.0f, 0.5f) << "and again, for ever";
    EXPECT_NEAR(arrow.GetX(), 400.0f, 1e-3);

    // Elsewhere: both ends move, the stroke stays.
    prompt.Hide(nullptr);
    Frames(20);
    controller->ShowTutorial("tut_short", TVec2(50, 60));
    EXPECT_EQ(prompt.GetArrowBase().y, 60.0f);
    EXPECT_FLOAT_EQ(prompt.GetArrowTip().y, 80.0f);
    // One bob at a time, however often shown.
    EXPECT_EQ(mTransforms.GetTransformCount(&arrow), 1u);
    Frames(21);
    EXPECT_NEAR(arrow.GetY(), 60.0f, 0.1f);
    EXPECT_NEAR(arrow.GetX(), 50.0f, 1e-3);
}

TEST_F(TutorialTest, TextShrinksUntilItFits)
{
    auto controller = Make(kPrompts);
    EXPECT_EQ(controller->GetTutorials()[0]->GetFontSize(), 20);
    EXPECT_STREQ(controller->GetTutorials()[0]->GetTextSprite()->GetText().c_str(),
                 "Click the key.");
    EXPECT_EQ(controller->GetTutorials()[0]->GetTextSprite()->GetAlignment(), 5u);
    const int32_t fitted = controller->GetTutorials()[2]->GetFontSize();
    EXPECT_LT(fitted, 20);
    EXPECT_GT(fitted, 4);
    // One size up would not fit; the size reached does.
    const auto& text = controller->GetTutorials()[2]->GetTextSprite();
    EXPECT_EQ(text->CountFittingLines(TDrawSpec()), 0);
    text->SetFontSize(fitted + 1);
    EXPECT_GT(text->CountFittingLines(TDrawSpec()), 0);
    // A text that never fits stops at the floor.
    auto huge = Make("{ name = 'tut_huge' }");
    EXPECT_EQ(huge->GetTutorials()[0]->GetFontSize(), GameplayTutorial::kMinFontSize);
    EXPECT_GT(huge->GetTutorials()[0]->GetTextSprite()->CountFittingLines(TDrawSpec()), 0);
}

TEST_F(TutorialTest, FadesStatesAndWhatIsDrawn)
{
    auto controller = Make(kPrompts);
    GameplayTutorial& prompt = *controller->GetTutorials()[0];
    EXPECT_EQ(prompt.GetState(), GameplayTutorial::kHidden);
    EXPECT_EQ(Drawn(*controller, 400, 300), 0u);
    controller->ShowTutorial("tut_short", TVec2(0, 0));
    EXPECT_EQ(prompt.GetState(), GameplayTutorial::kFadingIn);
    Frames(6);
    EXPECT_NEAR(prompt.GetSpec().mAlpha, 0.5f, 0.01f);
    EXPECT_NE(Drawn(*controller, 300, 300), 0u);
    Frames(5);
    EXPECT_EQ(prompt.GetState(), GameplayTutorial::kShown);
    EXPECT_EQ(Drawn(*controller, 242, 358), 0x304060u);
    Calls calls;
    prompt.Hide(calls.Report());
    EXPECT_EQ(prompt.GetState(), GameplayTutorial::kFadingOut);
    Frames(6);
    EXPECT_NE(Drawn(*controller, 242, 358), 0u);
    Frames(5);
    EXPECT_EQ(prompt.GetState(), GameplayTutorial::kHidden);
    EXPECT_EQ(calls.mArgs, (std::vector<uint32_t>{0}));
    EXPECT_EQ(Drawn(*controller, 242, 358), 0u);
    Frames(20);
    EXPECT_EQ(calls.mArgs.size(), 1u);
    // Shown again after hiding.
    controller->ShowTutorial("tut_short", TVec2(0, 0));
    Frames(11);
    EXPECT_EQ(prompt.GetState(), GameplayTutorial::kShown);
}

// A hide that offers no report (the prompt completed without a wait) keeps the one offered before:
// it is told at the fade's end, once.
TEST_F(TutorialTest, AHideWithoutAReportKeepsTheOfferedOne)
{
    auto controller = Make(kPrompts);
    GameplayTutorial& prompt = *controller->GetTutorials()[0];
    controller->ShowTutorial("tut_short", TVec2(0, 0));
    Frames(11);
    Calls calls;
    prompt.Hide(calls.Report());
    prompt.Hide(nullptr);
    EXPECT_TRUE(calls.mArgs.empty());
    Frames(11);
    EXPECT_EQ(calls.mArgs, (std::vector<uint32_t>{0}));
}

TEST_F(TutorialTest, PromptDrawnWithItsFittedTextAndArrow)
{
    auto controller = Make("{ name = 'tut_long', arrowx = 420, arrowy = 130, "
                           "arrowrotation = 0.25, dialogx = 400, dialogy = 250 }");
    controller->ShowTutorial("tut_long", TVec2(0, 0));
    Frames(11);
    Frames(10);
    DrawBlack([&] { controller->Draw(); });
    rendertest::CompareWithGolden(*Data().mBackBuffer, {230, 90, 570, 320}, "tutorial_prompt.png");
}

TEST_F(TutorialTest, BrokenTablesReportAndBuildNothingMore)
{
    auto none = Make("{ name = 'tut_short' }", "nothing = 1");
    EXPECT_TRUE(none->GetTutorials().empty());
    EXPECT_EQ(rendertest::CountOf(Log(), "ERROR:No info table   FILE:gameplaytutorialcontroller "
                                         "LINE:24"),
              1);
    auto noBounds =
        Make("{ name = 'tut_short' }, { name = 'tut_long' }", "info = { font = { '', 12 } }");
    EXPECT_TRUE(noBounds->GetTutorials().empty());
    EXPECT_EQ(rendertest::CountOf(Log(), "ERROR:No bounds table.   "
                                         "FILE:gameplaytutorialcontroller LINE:36"),
              1);
    auto noFont = Make("{ name = 'tut_short' }", "info = { bounds = {} }");
    EXPECT_TRUE(noFont->GetTutorials().empty());
    EXPECT_EQ(rendertest::CountOf(Log(), "ERROR:No font table.   "
                                         "FILE:gameplaytutorialcontroller LINE:44"),
              1);

    // No dialog picture, an unknown label, wrong-typed keys and an entry that is no table.
    auto odd = Make("{ name = 'tut_missing', index = 'x', arrowx = {} }, 5",
                    "info = { dialog = 'tut/none.png', fadetime = 'slow', bounds = { w = 100, "
                    "h = 30 }, font = { '', 12 } }");
    ASSERT_EQ(odd->GetTutorials().size(), 1u);
    EXPECT_EQ(rendertest::CountOf(Log(), "has no dialog picture 'tut/none.png'"), 1);
    EXPECT_EQ(odd->GetTutorials()[0]->GetIndex(), 0);
    odd->ShowTutorial("tut_missing", TVec2(0, 0));
    Frames(3);
    EXPECT_EQ(odd->GetTutorials()[0]->GetState(), GameplayTutorial::kShown);
    DrawBlack([&] { odd->Draw(); });
}

} // namespace

} // namespace gameplay_tutorial_test
