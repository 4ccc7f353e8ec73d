// The hint-minigame frame, driven through Lirae's board: the states from intro to hidden with each
// notice once, the script functions' lifetime, the first-time tutorial, the fail dialog, the
// penalty, the scrim's alpha, children of the wrong kind and a frame destroyed mid-run.
#include "game/minigames/hintboards/gameplay_hint_minigame.h"

#include "framework/transforms/transform_instructions.h"
#include "game/minigames/hintboards/hint_minigame_test_support.h"

#include <gtest/gtest.h>

namespace
{

using hinttest::HintTest;

class HintMinigameTest : public HintTest
{
protected:
    // Opened and started with the tutorial already seen.
    GameplayHintLirae* Play(const std::string& keys = "")
    {
        mRecord->SetTutorialShown(12);
        GameplayHintLirae* board = Open(keys);
        if (board != nullptr)
        {
            Begin(board);
            Frames(160);
        }
        return board;
    }
};

TEST_F(HintMinigameTest, IntroPlayOutroFinishHiddenWithEachNoticeOnce)
{
    mRecord->SetTutorialShown(12);
    GameplayHintLirae* board = Open("finaletimetoshow = 0, ");
    ASSERT_NE(board, nullptr);
    EXPECT_STREQ(board->GetClassName(), "GameplayHintLirae");
    EXPECT_EQ(board->GetState(), GameplayHintMinigame::kIdle);
    EXPECT_EQ(board->GetFlags() & kWindowVisible, 0u) << "hidden after loading";
    EXPECT_EQ(board->GetRect(), TRect(0, 0, 800, 475))
        << "the style's rectangle, not the children's";
    EXPECT_EQ(Global("EndHintMinigame"), "nil");

    Begin(board);
    EXPECT_EQ(board->GetState(), GameplayHintMinigame::kIntro);
    EXPECT_NE(board->GetFlags() & kWindowVisible, 0u);
    EXPECT_EQ(Global("ShowHintMinigameTutorial").substr(0, 8), "function");
    EXPECT_TRUE(board->GetTutorialButton()->IsDisabled());
    Frames(160);
    ASSERT_EQ(board->GetState(), GameplayHintMinigame::kPlaying);
    EXPECT_FALSE(board->GetExitButton()->IsDisabled());
    EXPECT_FLOAT_EQ(board->GetScrimTransform().GetAlpha(), 0.7f);
    EXPECT_FLOAT_EQ(board->GetPanelTransform().GetAlpha(), 1.0f);

    board->BeginOutro();
    EXPECT_EQ(board->GetState(), GameplayHintMinigame::kOutro);
    EXPECT_EQ(mSolved.Count(), 1u);
    EXPECT_EQ(mFinale.Count(), 0u);
    // "finaletimetoshow" 0: the next update finishes.
    Frames(16);
    EXPECT_EQ(board->GetState(), GameplayHintMinigame::kFinishing);
    EXPECT_EQ(mFinale.Count(), 1u);
    EXPECT_EQ(Global("EndHintMinigame"), "nil");
    EXPECT_EQ(Global("ShowHintMinigameTutorial"), "nil");
    Frames(320);
    EXPECT_EQ(board->GetState(), GameplayHintMinigame::kIdle);
    EXPECT_EQ(board->GetFlags() & kWindowVisible, 0u);
    EXPECT_EQ(mClosed.Count(), 1u);
    EXPECT_EQ(mSolved.Count(), 1u);
    EXPECT_EQ(mFinale.Count(), 1u);
    EXPECT_EQ(mClosed.mArgs, std::vector<uint32_t>{0});

    // Started again after hiding: reset, intro, play; the notices of the first run stay told.
    Begin(board);
    EXPECT_EQ(board->GetState(), GameplayHintMinigame::kIntro);
    EXPECT_FALSE(board->IsSolved());
    Frames(160);
    EXPECT_EQ(board->GetState(), GameplayHintMinigame::kPlaying);
    Do("EndHintMinigame()");
    EXPECT_EQ(board->GetState(), GameplayHintMinigame::kFinishing);
    EXPECT_EQ(mFinale.Count(), 1u) << "no finale notice outside the outro";
    Frames(320);
    EXPECT_EQ(mClosed.Count(), 2u);
}

TEST_F(HintMinigameTest, TutorialOpensTheFirstTimeOnlyAndTheScriptFunctionsKeepToPlay)
{
    GameplayHintLirae* board = Open();
    ASSERT_NE(board, nullptr);
    EXPECT_FALSE(mRecord->IsTutorialShown(12));
    Begin(board);
    Do("EndHintMinigame()");
    EXPECT_EQ(board->GetState(), GameplayHintMinigame::kIntro) << "only in play";
    Do("ShowHintMinigameTutorial()");
    EXPECT_EQ(CountInLog("ERROR:In bad state to show tutorial.   FILE:gameplayhintminigame"), 1);
    Frames(160);
    // The intro's end opens the help dialog and the board waits under it, clicks refused.
    EXPECT_TRUE(mRecord->IsTutorialShown(12));
    ASSERT_EQ(board->GetState(), GameplayHintMinigame::kTutorial);
    EXPECT_EQ(board->GetHelpDialog()->GetState(), GameplayDialog::kFadingIn);
    EXPECT_TRUE(board->GetExitButton()->IsDisabled());
    EXPECT_FALSE(board->OnMouseDown(TPoint{400, 240}));
    EXPECT_EQ(mPenalty.Count(), 0u);
    Do("EndHintMinigame()");
    EXPECT_EQ(board->GetState(), GameplayHintMinigame::kTutorial);
    Frames(80);
    Do("HideDialog('ok')");
    Frames(80);
    EXPECT_EQ(board->GetState(), GameplayHintMinigame::kPlaying);
    EXPECT_FALSE(board->GetExitButton()->IsDisabled());
    Do("EndHintMinigame()");
    Frames(320);
    ASSERT_EQ(board->GetState(), GameplayHintMinigame::kIdle);

    // The second time the bit is set: no dialog; the player may still ask for it.
    Begin(board);
    Frames(160);
    EXPECT_EQ(board->GetState(), GameplayHintMinigame::kPlaying);
    Do("ShowHintMinigameTutorial()");
    EXPECT_EQ(board->GetState(), GameplayHintMinigame::kTutorial);
}

TEST_F(HintMinigameTest, MissingDialogsAreReportedAndTheMissingFailDialogFinishes)
{
    // A "help" of the wrong kind and an "exitbutton" that is no button count as absent.
    GameplayHintLirae* board =
        Open("", "Button{ name = 'help', x = 0, y = 0, w = 10, h = 10 }, "
                 "Text{ name = 'exitbutton', x = 0, y = 0, w = 10, h = 10 }");
    ASSERT_NE(board, nullptr);
    EXPECT_EQ(board->GetHelpDialog(), nullptr);
    EXPECT_EQ(board->GetFailDialog(), nullptr);
    EXPECT_EQ(board->GetExitButton(), nullptr);
    EXPECT_EQ(board->GetTutorialButton(), nullptr);
    Begin(board);
    Frames(160);
    EXPECT_EQ(board->GetState(), GameplayHintMinigame::kPlaying);
    EXPECT_EQ(CountInLog("ERROR:No tutorial to show.   FILE:gameplayhintminigame"), 1);
    Do("EndHintMinigame()");
    Frames(320);
    Begin(board);
    Frames(160);
    EXPECT_EQ(CountInLog("No tutorial to show."), 1) << "the bit was set before the report";

    board->ShowFailDialog();
    EXPECT_EQ(CountInLog("ERROR:No fail dialog to show.   FILE:gameplayhintminigame"), 1);
    EXPECT_EQ(board->GetState(), GameplayHintMinigame::kFinishing);
}

TEST_F(HintMinigameTest, FailDialogPausesTheFrameNotItselfAndItsButtonFinishes)
{
    GameplayHintLirae* board = Play();
    ASSERT_NE(board, nullptr);
    auto* fade = new TM_InstructionList;
    fade->push_back(new TM_Alpha(300, 0.0f, kFromCurrent, 0, 1.0f));
    mTransforms.AddTransform(&board->GetScrimTransform(), fade);
    board->OnTimeUp();
    ASSERT_EQ(board->GetState(), GameplayHintMinigame::kFailDialog);
    EXPECT_TRUE(board->GetExitButton()->IsDisabled());
    board->ShowFailDialog();
    EXPECT_EQ(CountInLog("ERROR:In bad state to show fail dialog."), 1);
    EXPECT_EQ(board->GetState(), GameplayHintMinigame::kFailDialog);

    // Paused in state 7: the frame's own fades hold, the dialog's run; the runner's pause and
    // resume leave them held until the dialog closes.
    Frames(160);
    EXPECT_FLOAT_EQ(board->GetScrimTransform().GetAlpha(), 0.7f);
    EXPECT_EQ(board->GetFailDialog()->GetState(), GameplayDialog::kShown);
    board->Pause();
    board->Resume();
    Frames(320);
    EXPECT_FLOAT_EQ(board->GetScrimTransform().GetAlpha(), 0.7f);
    Do("HideDialog('ok')");
    Frames(80);
    EXPECT_EQ(board->GetState(), GameplayHintMinigame::kFinishing);
    Frames(320);
    EXPECT_EQ(board->GetState(), GameplayHintMinigame::kIdle);
    EXPECT_EQ(mClosed.Count(), 1u);
    EXPECT_EQ(mSolved.Count(), 0u);
}

TEST_F(HintMinigameTest, PenaltyTellsTheRunnerEachTimeAndBlocksClicksUntilEnded)
{
    GameplayHintLirae* board = Play();
    ASSERT_NE(board, nullptr);
    board->StartPenalty();
    EXPECT_TRUE(board->IsDialogUp());
    EXPECT_TRUE(board->GetExitButton()->IsDisabled());
    EXPECT_FALSE(board->OnMouseDown(TPoint{5, 5})) << "no clicks under the penalty";
    board->EndPenalty();
    EXPECT_FALSE(board->IsDialogUp());
    EXPECT_FALSE(board->GetExitButton()->IsDisabled());
    board->StartPenalty();
    board->ClearDialogUp();
    EXPECT_EQ(mPenalty.Count(), 2u);
    EXPECT_EQ(mPenalty.mArgs, (std::vector<uint32_t>{0, 0}));
}

TEST_F(HintMinigameTest, ScrimAlphaByteIsTheTruncatedAlpha)
{
    GameplayHintLirae* board = Play();
    ASSERT_NE(board, nullptr);
    Paint();
    EXPECT_EQ(board->GetScrimAlphaByte(), 178) << "trunc(0.7 x 255)";
    board->GetScrimTransform().SetAlpha(0.999f);
    Paint();
    EXPECT_EQ(board->GetScrimAlphaByte(), 254);
}

TEST_F(HintMinigameTest, FrameDestroyedMidRunLeavesNoFunctionsBehind)
{
    GameplayHintLirae* board = Play();
    ASSERT_NE(board, nullptr);
    ASSERT_EQ(Global("EndHintMinigame").substr(0, 8), "function");
    board->GetParent()->RemoveChild(board);
    delete board;
    EXPECT_EQ(Global("EndHintMinigame"), "nil");
    EXPECT_EQ(Global("ShowHintMinigameTutorial"), "nil");
    EXPECT_EQ(TRenderer::Instance()->GetFrameTexture(), nullptr);
    Frames(320);
    EXPECT_EQ(mClosed.Count(), 0u);
}

} // namespace
