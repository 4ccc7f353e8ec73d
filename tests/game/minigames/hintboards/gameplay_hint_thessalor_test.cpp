// Thessalor's board and its letters and goals: the drift through the centre, exact times, the
// held spin, the turned hit quad, the flight from the rotation's fraction with its notice once;
// the loader's lists and bad input; goals filled from distinct letters; the click rules; the
// outro at the arrival; the timer's end; the tutorial's pause; the texture rebuild and injected
// failures; two golden frames.
#include "game/minigames/hintboards/gameplay_hint_thessalor.h"

#include "framework/widgets/text_object.h"
#include "game/minigames/hintboards/gameplay_hint_thessalor_goal.h"
#include "game/minigames/hintboards/gameplay_hint_thessalor_text.h"
#include "game/minigames/hintboards/hint_minigame_test_support.h"
#include "render/sprites/sprite.h"
#include "render/text/text_sprite.h"
#include "render/textures/texture.h"
#include "sys/display/direct_draw.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <set>

namespace gameplay_hint_thessalor_test
{
namespace
{

const TPoint kCentre{400, 240};
const TVec4 kGold(1, 0.8f, 0.2f, 1);
const TVec4 kBlue(0.4f, 0.7f, 1, 1);

// The letters' look and motion, shared by the goals: at rest on the centre (400, 240), hit within
// 1 pixel of it.
const char kTextInfo[] =
    "rotationmin = 0, rotationmax = 0, scaleamount = 0, timemin = 1000, timemax = 1000, "
    "rotatetime = 100, centerx = 400, centery = 240, validdistance = 1, maxdistance = 0, "
    "validanglediff = 0, solvedcolor = { 0.4, 1, 0.4, 1 }, "
    "font = { 'fonts/square.mvec', 24, { 1, 1, 1, 1 } }, w = 120, h = 40, flags = 5";

// Six letters over three texts and two colours, three goals, a 5 s timer, fades of 48 ms.
const std::string kBoardKeys =
    std::string("validstrings = { 'A', 'E', 'K' }, colors = { { 1, 0.8, 0.2, 1 }, "
                "{ 0.4, 0.7, 1, 1 } }, textmax = 6, textinfo = { ") +
    kTextInfo +
    " }, goaltext = { { x = 300, y = 440, rotation = 0.5 }, { x = 400, y = 440 }, "
    "{ x = 500, y = 440 } }, background = 'hint/bg.png', timer = 'hint/hand.png', "
    "timercentery = 40, timerbackground = 'hint/dial.png', mask = 'hint/mask.png', "
    "minigamelength = 5000, timerrotation = 1, textfadetime = 48, clickabledelaymax = 0, "
    "boundsx = 100, boundsy = 80, boundsw = 600, boundsh = 380, tutorialindex = 13, ";

class ThessalorTest : public hinttest::HintTest
{
protected:
    void SetUp() override
    {
        HintTest::SetUp();
        if (HasFatalFailure())
            return;
        mManager->RegisterWindowType("GameplayHintThessalor", &GameplayHintThessalor::Create);
        mRandom.Seed(85);
        Step(16);
    }
    // `keys` come after the defaults, so they win.
    GameplayHintThessalor* OpenBoard(const std::string& keys = "")
    {
        return HintTest::OpenBoard<GameplayHintThessalor>(
            "GameplayHintThessalor", "hintthessalor", 500, kBoardKeys + keys, hinttest::kChildren);
    }
    // Opened and started with the tutorial already seen, played until the timer runs.
    GameplayHintThessalor* Play(const std::string& keys = "")
    {
        mRecord->SetTutorialShown(13);
        return Started(OpenBoard(keys), 320);
    }
    std::unique_ptr<GameplayHintThessalorText> Piece(const std::string& keys)
    {
        Do(std::string("_t = { ") + kTextInfo + ", " + keys + " }");
        std::unique_ptr<TLuaTable> table(mScript->GetGlobalTable("_t"));
        auto piece = std::make_unique<GameplayHintThessalorText>(*table, mRandom);
        piece->GetTextObject()->SetText("AAAAAAAAAA");
        return piece;
    }
    static void Look(TextObject& text, const char* string, const TVec4& colour)
    {
        text.SetText(string);
        text.GetTextSprite()->SetColor(colour);
    }
    static TVec2 At(GameplayHintThessalorText& piece)
    {
        return TVec2(piece.GetTransform().GetX(), piece.GetTransform().GetY());
    }
    static float Distance(const TVec2& a, const TVec2& b)
    {
        return std::hypot(a.x - b.x, a.y - b.y);
    }

    TRandom mRandom;
};

TEST_F(ThessalorTest, DriftsCrossTheCentreForExactTimesWhileTheSpinHoldsOneAngle)
{
    auto piece = Piece("maxdistance = 100, timemin = 1001, timemax = 1001, rotationmin = 0.25, "
                       "rotationmax = 0.25, scaleamount = 0.5");
    piece->Drift(0);
    piece->StartSpin();
    EXPECT_EQ(mTransforms.GetTransformCount(&piece->GetTransform()), 2u);
    const TVec2 start = At(*piece);
    EXPECT_NEAR(Distance(start, TVec2(400, 240)), 100.0f, 0.01f) << "placed at once";
    const float scale = piece->GetTransform().GetScaleX();
    EXPECT_GE(scale, 0.5f);
    EXPECT_LT(scale, 1.5f);
    Step(1);
    Step(500);
    EXPECT_LT(Distance(At(*piece), TVec2(400, 240)), 0.3f) << "through the centre";
    EXPECT_FLOAT_EQ(piece->GetTransform().GetRotationZ(), 0.25f);
    Step(499);
    EXPECT_LT(Distance(At(*piece), TVec2(800 - start.x, 480 - start.y)), 0.5f);
    Step(2);
    EXPECT_NEAR(Distance(At(*piece), TVec2(400, 240)), 100.0f, 0.5f) << "the next drift";
    EXPECT_GT(Distance(At(*piece), TVec2(800 - start.x, 480 - start.y)), 1.0f);
    EXPECT_FLOAT_EQ(piece->GetTransform().GetRotationZ(), 0.25f);

    // Drifts and spins of 0 ms last 1 ms: each frame starts one, none loops within the frame.
    auto quick = Piece("maxdistance = 100, timemin = 0, timemax = 0, rotationmin = 0, "
                       "rotationmax = 1");
    quick->Drift(0);
    quick->StartSpin();
    Steps(3, 16);
    EXPECT_EQ(mTransforms.GetTransformCount(&quick->GetTransform()), 2u);
}

TEST_F(ThessalorTest, HitsNeedTheCentreAndFallInsideTheTurnedQuad)
{
    auto never = Piece("validdistance = 0");
    never->Drift(0);
    never->SetInPlay(true);
    never->Update(16);
    EXPECT_FALSE(never->HitTest(TIntPoint{400, 240})) << "validdistance 0: never";

    // Held on a 90-degree turn at the centre: the wide text's quad stands upright.
    auto turned = Piece("rotationmin = 0.25, rotationmax = 0.25");
    turned->Drift(0);
    turned->StartSpin();
    Step(16);
    turned->Update(16);
    EXPECT_FALSE(turned->HitTest(TIntPoint{400, 240})) << "out of play";
    turned->SetInPlay(true);
    TRect bounds;
    turned->GetTextObject()->GetTextSprite()->GetTextBounds(bounds, TDrawSpec());
    const int32_t halfW = bounds.Width() / 2;
    const int32_t halfH = bounds.Height() / 2;
    ASSERT_GT(halfW, halfH + 4) << "a wide text";
    EXPECT_TRUE(turned->HitTest(TIntPoint{400, 240 + halfW - 2}));
    EXPECT_FALSE(turned->HitTest(TIntPoint{400, 240 + halfW + 2}));
    EXPECT_TRUE(turned->HitTest(TIntPoint{400 + halfH - 2, 240}));
    EXPECT_FALSE(turned->HitTest(TIntPoint{400 + halfH + 2, 240}));

    // "validdistance" above "maxdistance": hit all along the path.
    auto always = Piece("maxdistance = 100, validdistance = 101");
    always->SetInPlay(true);
    always->Drift(0);
    for (int i = 0; i < 60; ++i)
    {
        Step(16);
        always->Update(16);
        const TVec2 at = At(*always);
        ASSERT_TRUE(
            always->HitTest(TIntPoint{static_cast<int32_t>(at.x), static_cast<int32_t>(at.y)}))
            << "frame " << i;
    }
}

TEST_F(ThessalorTest, FlightsTurnFromTheFractionArriveOnTheTargetAndTellOnce)
{
    for (const float rotation : {2.75f, -0.25f})
    {
        auto piece = Piece("");
        piece->SetInPlay(true);
        piece->StartSpin();
        piece->GetTransform().SetRotationZ(rotation);
        piece->SetTarget(300, 440, 0.5f);
        adventuretest::Calls placed;
        piece->FlyTo(&placed.mCallback);
        EXPECT_FALSE(piece->IsInPlay());
        EXPECT_EQ(piece->GetParticles(), nullptr) << "no \"foundparticles\", no effect";
        Step(1);
        EXPECT_NEAR(piece->GetTransform().GetRotationZ(), rotation == 2.75f ? 0.75f : -0.25f,
                    0.01f);
        Step(120);
        EXPECT_EQ(At(*piece).x, 300.0f);
        EXPECT_EQ(At(*piece).y, 440.0f);
        EXPECT_FLOAT_EQ(piece->GetTransform().GetRotationZ(), 0.5f);
        EXPECT_EQ(piece->GetTransform().GetAlpha(), 0.0f) << "the goal's own text stands there";
        EXPECT_EQ(placed.Count(), 1u);
        piece->OnArrived();
        EXPECT_EQ(placed.Count(), 1u) << "once per flight";
        piece->Reset();
        EXPECT_EQ(piece->GetTransform().GetAlpha(), 1.0f);
    }
}

TEST_F(ThessalorTest, LoaderReadsTheListsAndSurvivesMissingAndWrongTypedKeys)
{
    GameplayHintThessalor* broken = OpenBoard("textinfo = 3, ");
    ASSERT_NE(broken, nullptr);
    EXPECT_EQ(broken->GetFlags() & kWindowVisible, 0u);
    EXPECT_EQ(CountInLog("ERROR:Cannot find textinfo table.   FILE:gameplayhintthessalor LINE:120"),
              1);
    Do("PopModal()");

    GameplayHintThessalor* board = OpenBoard();
    ASSERT_NE(board, nullptr);
    EXPECT_EQ(board->GetValidStrings(), (std::vector<TString>{"A", "E", "K"}));
    ASSERT_EQ(board->GetColors().size(), 2u);
    EXPECT_EQ(board->GetColors()[1].z, 1.0f);
    ASSERT_EQ(board->GetPieces().size(), 6u);
    for (const auto& piece : board->GetPieces())
    {
        const TString text = piece->GetText();
        EXPECT_TRUE(text == "A" || text == "E" || text == "K");
        const TVec4 colour = piece->GetTextObject()->GetTextSprite()->GetColor();
        EXPECT_TRUE(colour.y == kGold.y || colour.y == kBlue.y);
    }
    ASSERT_EQ(board->GetGoals().size(), 3u);
    EXPECT_EQ(board->GetGoals()[0]->GetPosition().x, 300);
    EXPECT_EQ(board->GetGoals()[0]->GetPosition().y, 440);
    EXPECT_EQ(board->GetGoals()[0]->GetRotation(), 0.5f);
    EXPECT_EQ(board->GetGoals()[1]->GetRotation(), 0.0f);
    EXPECT_EQ(board->GetBounds(), TRect(100, 80, 700, 460));
    EXPECT_EQ(board->GetTimer()->GetSpec().mOrigin.x, 4.0f) << "half the hand's width";
    EXPECT_EQ(board->GetTimerBackground()->GetSpec().mOrigin.y, 40.0f);
    Do("PopModal()");

    // No lists: logged once each, letters without text in their font's colour, no goals; keys
    // of the wrong type read as their defaults.
    GameplayHintThessalor* bare =
        OpenBoard("validstrings = false, colors = 'red', goaltext = nil, minigamelength = {}, "
                  "textfadetime = 'slow', boundsw = 'wide', ");
    ASSERT_NE(bare, nullptr);
    EXPECT_EQ(CountInLog("has no validstrings table"), 1);
    EXPECT_EQ(CountInLog("has no colors table"), 1);
    EXPECT_EQ(CountInLog("has no goaltext table"), 1);
    ASSERT_EQ(bare->GetPieces().size(), 6u);
    EXPECT_EQ(bare->GetPieces()[0]->GetText(), "");
    EXPECT_EQ(bare->GetPieces()[0]->GetTextObject()->GetTextSprite()->GetColor().x, 1.0f);
    EXPECT_TRUE(bare->GetGoals().empty());
    EXPECT_EQ(bare->GetMinigameLength(), 0);
    EXPECT_EQ(bare->GetTextFadeTime(), 0);
    EXPECT_EQ(bare->GetBounds(), TRect(100, 80, 100, 460));
    Do("PopModal()");

    // Empty lists draw nothing; no pieces and no goals need no "textinfo".
    GameplayHintThessalor* empty = OpenBoard("validstrings = {}, colors = {}, ");
    ASSERT_NE(empty, nullptr);
    EXPECT_EQ(empty->GetPieces()[0]->GetText(), "");
    Do("PopModal()");
    EXPECT_NE(OpenBoard("textinfo = nil, textmax = 0, goaltext = {}, "), nullptr);
    EXPECT_EQ(CountInLog("Cannot find textinfo table."), 1);
}

TEST_F(ThessalorTest, RunsFillTheGoalsFromDistinctLettersAndStartEveryPieceAtOnce)
{
    std::srand(85);
    GameplayHintThessalor* board = Play("textinfo = { " + std::string(kTextInfo) +
                                        ", maxdistance = 100 }, validstrings = { 'A', 'E', "
                                        "'K', 'M', 'R', 'W' }, textmax = 8, ");
    ASSERT_NE(board, nullptr);
    std::set<std::vector<TString>> orders;
    for (int run = 0; run < 6; ++run)
    {
        std::set<TString> pieceTexts;
        std::vector<TVec2> before;
        for (const auto& piece : board->GetPieces())
        {
            pieceTexts.insert(piece->GetText());
            EXPECT_TRUE(piece->IsInPlay());
            before.push_back(At(*piece));
        }
        Step(16);
        for (size_t i = 0; i < before.size(); ++i)
            EXPECT_GT(Distance(At(*board->GetPieces()[i]), before[i]), 0.0f) << "every one drifts";
        std::vector<TString> goals;
        for (const auto& goal : board->GetGoals())
        {
            goals.push_back(goal->GetText());
            EXPECT_FALSE(goal->IsSolved());
            EXPECT_EQ(pieceTexts.count(goal->GetText()), 1u);
        }
        EXPECT_EQ(std::set<TString>(goals.begin(), goals.end()).size(), 3u) << "distinct";
        orders.insert(goals);
        board->Finish();
        Frames(320);
        Begin(board);
        Frames(256);
    }
    EXPECT_GT(orders.size(), 1u) << "each run shuffles the letters";
    EXPECT_EQ(board->GetState(), GameplayHintMinigame::kPlaying);
    Do("PopModal()");

    // One text for three goals: the two left over stay empty and count as solved.
    GameplayHintThessalor* single = Play("validstrings = { 'A' }, ");
    ASSERT_NE(single, nullptr);
    EXPECT_EQ(single->GetGoals()[0]->GetText(), "A");
    EXPECT_FALSE(single->GetGoals()[0]->IsSolved());
    EXPECT_EQ(single->GetGoals()[2]->GetText(), "");
    EXPECT_TRUE(single->GetGoals()[2]->IsSolved());
    EXPECT_EQ(CountInLog("has 1 distinct letters for 3 goals; 2 goals left empty"), 1);
}

// Three letters drawn from six texts repeat one on about half the openings (the game's six from
// six, about once in four hundred): every opening still draws a letter for each of its three
// goals, whatever the clock seeds the draw with; one of them played fills all three.
TEST_F(ThessalorTest, EveryOpeningHasAsManyDistinctLettersAsGoals)
{
    const std::string keys = "validstrings = { 'A', 'E', 'K', 'M', 'R', 'W' }, textmax = 3, ";
    GameplayHintThessalor* board = nullptr;
    for (int opening = 0; opening < 24; ++opening)
    {
        Step(16 + opening);
        board = OpenBoard(keys);
        ASSERT_NE(board, nullptr);
        std::set<TString> texts;
        for (const auto& piece : board->GetPieces())
            texts.insert(piece->GetText());
        EXPECT_EQ(texts.size(), 3u) << "opening " << opening;
        if (opening + 1 < 24)
            Do("PopModal()");
    }
    mRecord->SetTutorialShown(13);
    Started(board, 320);
    for (const auto& goal : board->GetGoals())
    {
        EXPECT_NE(goal->GetText(), "");
        EXPECT_FALSE(goal->IsSolved());
    }
    EXPECT_EQ(CountInLog("distinct letters for"), 0);
}

TEST_F(ThessalorTest, ClicksTakeTheFirstPieceWithAFreeGoalAndPenaliseTheRest)
{
    GameplayHintThessalor* board = Play();
    ASSERT_NE(board, nullptr);
    ASSERT_EQ(board->GetState(), GameplayHintMinigame::kPlaying);
    const auto& pieces = board->GetPieces();
    const auto& goals = board->GetGoals();
    for (const auto& piece : pieces)
        piece->SetInPlay(false);
    Look(*goals[0]->GetTextObject(), "A", kGold);
    Look(*goals[1]->GetTextObject(), "A", kGold);
    Look(*goals[2]->GetTextObject(), "E", kBlue);

    // A click on no piece does nothing.
    EXPECT_FALSE(board->OnMouseDown(kCentre));
    EXPECT_EQ(mPenalty.Count(), 0u);

    // Equal but for alpha: no goal, the penalty.
    pieces[0]->SetInPlay(true);
    Look(*pieces[0]->GetTextObject(), "A", TVec4(1, 0.8f, 0.2f, 0.5f));
    EXPECT_FALSE(board->OnMouseDown(kCentre)) << "never handled";
    EXPECT_EQ(mPenalty.Count(), 1u);
    EXPECT_FALSE(goals[0]->IsSolved());
    board->EndPenalty();

    // Of two overlapping pieces the first with a free goal wins, with no penalty; two goals of
    // one text and colour fill in goal order.
    pieces[0]->GetTextObject()->GetTextSprite()->SetColor(kBlue);
    pieces[1]->SetInPlay(true);
    Look(*pieces[1]->GetTextObject(), "A", kGold);
    pieces[2]->SetInPlay(true);
    Look(*pieces[2]->GetTextObject(), "A", kGold);
    board->OnMouseDown(kCentre);
    EXPECT_EQ(mPenalty.Count(), 1u);
    EXPECT_TRUE(goals[0]->IsSolved());
    EXPECT_FALSE(pieces[1]->IsInPlay());
    EXPECT_TRUE(pieces[2]->IsInPlay());
    EXPECT_EQ(pieces[1]->GetTarget().x, 300);
    EXPECT_EQ(pieces[1]->GetTargetRotation(), 0.5f);
    board->OnMouseDown(kCentre);
    EXPECT_TRUE(goals[1]->IsSolved());
    EXPECT_EQ(pieces[2]->GetTarget().x, 400);
    EXPECT_EQ(goals[1]->GetTextObject()->GetTextSprite()->GetColor().y, 1.0f) << "solved colour";

    // A piece whose only goal is solved: the penalty.
    pieces[3]->SetInPlay(true);
    Look(*pieces[3]->GetTextObject(), "A", kGold);
    board->OnMouseDown(kCentre);
    EXPECT_EQ(mPenalty.Count(), 2u);
    EXPECT_FALSE(board->IsSolved());
}

TEST_F(ThessalorTest, TheOutroWaitsForTheArrivalAndTheTimeOutBringsTheFailDialog)
{
    GameplayHintThessalor* board = Play();
    ASSERT_NE(board, nullptr);
    const auto& pieces = board->GetPieces();
    const auto& goals = board->GetGoals();
    for (size_t i = 0; i < pieces.size(); ++i)
        pieces[i]->SetInPlay(i < 3);
    for (size_t i = 0; i < 3; ++i)
    {
        Look(*goals[i]->GetTextObject(), "K", kBlue);
        Look(*pieces[i]->GetTextObject(), "K", kBlue);
    }
    for (int i = 0; i < 3; ++i)
        board->OnMouseDown(kCentre);
    EXPECT_TRUE(board->IsSolved());
    EXPECT_EQ(board->GetState(), GameplayHintMinigame::kPlaying) << "not at the winning click";
    Frames(160);
    EXPECT_EQ(board->GetState(), GameplayHintMinigame::kOutro) << "at the arrival";
    EXPECT_EQ(mSolved.Count(), 1u) << "the later arrivals change nothing";
    EXPECT_EQ(mTransforms.GetTransformCount(&board->GetTimerTransform()), 0u);
    Frames(480);
    EXPECT_EQ(board->GetState(), GameplayHintMinigame::kIdle);
    EXPECT_EQ(mClosed.Count(), 1u);
    EXPECT_EQ(TRenderer::Instance()->GetFrameTexture(), nullptr) << "cleared when hidden";

    // The hand turns linearly; its end unsolved brings the fail dialog.
    Begin(board);
    Frames(256);
    const float early = board->GetTimerTransform().GetRotationZ();
    Frames(2496);
    EXPECT_NEAR(board->GetTimerTransform().GetRotationZ() - early, 0.5f, 0.01f);
    Frames(2560);
    EXPECT_EQ(board->GetState(), GameplayHintMinigame::kFailDialog);
    Do("PopModal()");

    GameplayHintThessalor* instant = Play("minigamelength = 0, ");
    ASSERT_NE(instant, nullptr);
    EXPECT_EQ(instant->GetState(), GameplayHintMinigame::kFailDialog);
}

TEST_F(ThessalorTest, TheTutorialHoldsTheBoardAndItsPauseTouchesOnlyTheTimer)
{
    GameplayHintThessalor* board = OpenBoard();
    ASSERT_NE(board, nullptr);
    Begin(board);
    Frames(256);
    ASSERT_EQ(board->GetState(), GameplayHintMinigame::kTutorial);
    EXPECT_EQ(board->GetGoalLayer().GetAlpha(), 0.0f) << "the fades wait for the dialog";
    EXPECT_EQ(mTransforms.GetTransformCount(&board->GetTimerTransform()), 0u);
    board->Resume();
    board->Pause();
    Frames(64);
    EXPECT_EQ(board->GetGoalLayer().GetAlpha(), 0.0f) << "still held by the dialog's pause";
    EXPECT_FALSE(board->OnMouseDown(kCentre));
    EXPECT_EQ(mPenalty.Count(), 0u);
    Do("HideDialog('ok')");
    Frames(240);
    EXPECT_EQ(board->GetState(), GameplayHintMinigame::kPlaying);
    EXPECT_FLOAT_EQ(board->GetGoalLayer().GetAlpha(), 1.0f);
    EXPECT_FLOAT_EQ(board->GetPieceLayer().GetAlpha(), 1.0f);
    EXPECT_EQ(mTransforms.GetTransformCount(&board->GetTimerTransform()), 1u);
}

// A focus change under the help: the manager's resume of everything leaves the goals' fade as
// the help paused it, so that after "OK" the letters fade in and the timer starts.
TEST_F(ThessalorTest, AFocusChangeUnderTheHelpLeavesTheBoardHeldUntilOk)
{
    GameplayHintThessalor* board = OpenBoard();
    ASSERT_NE(board, nullptr);
    Begin(board);
    Frames(256);
    ASSERT_EQ(board->GetState(), GameplayHintMinigame::kTutorial);
    mTransforms.PauseAll();
    board->Pause();
    mTransforms.ResumeAll();
    board->Pause();
    board->Resume();
    Frames(640);
    EXPECT_EQ(board->GetGoalLayer().GetAlpha(), 0.0f);
    EXPECT_EQ(board->GetState(), GameplayHintMinigame::kTutorial);
    Do("HideDialog('ok')");
    Frames(240);
    EXPECT_EQ(board->GetState(), GameplayHintMinigame::kPlaying);
    EXPECT_FLOAT_EQ(board->GetPieceLayer().GetAlpha(), 1.0f);
    EXPECT_EQ(mTransforms.GetTransformCount(&board->GetTimerTransform()), 1u);
}

TEST_F(ThessalorTest, TexturesAreRebuiltAndFailuresReportedWhilePlayGoesOn)
{
    // Letters and goals drawn from textures: every one and the mask rendered again, false at the
    // first failure.
    GameplayHintThessalor* textured =
        Play("textinfo = { " + std::string(kTextInfo) + ", drawtotexture = true }, ");
    ASSERT_NE(textured, nullptr);
    ASSERT_TRUE(textured->GetPieces()[0]->GetTextObject()->GetTextureSprite()->GetTexture());
    EXPECT_TRUE(textured->RecreateTextures());
    EXPECT_FALSE(textured->IsMaskPending());
    Data().mDevice->mBeginSceneAnswers.assign(1, sys::display::Result::Fail);
    EXPECT_FALSE(textured->RecreateTextures());

    // A goal whose text cannot be rendered again stays solved and asks for a rebuild.
    EXPECT_FALSE(mFrames->AreTexturesPending());
    const auto& goal = textured->GetGoals()[0];
    Data().mDevice->mBeginSceneAnswers.assign(2, sys::display::Result::Fail);
    goal->MarkSolved();
    EXPECT_TRUE(goal->IsSolved());
    EXPECT_TRUE(mFrames->AreTexturesPending());
    EXPECT_EQ(goal->GetTextObject()->GetTextSprite()->GetColor().y, 1.0f) << "solved colour";
    Do("PopModal()");

    GameplayHintThessalor* board = OpenBoard();
    ASSERT_NE(board, nullptr);
    Begin(board);
    Frames(96);
    // The mask's target cannot be begun: reported at each update until it can.
    Data().mDevice->mBeginSceneAnswers.assign(3, sys::display::Result::Fail);
    Frames(80);
    EXPECT_GE(CountInLog("ERROR:BeginRenderTarget   FILE:gameplayhintthessalor LINE:560"), 1);
    EXPECT_FALSE(board->IsMaskPending());
    ASSERT_NE(board->GetMaskOverlay()->GetTexture(), nullptr);
    EXPECT_EQ(board->GetMaskOverlay()->GetTexture()->GetWidth(), 800u);
    EXPECT_EQ(board->GetMaskOverlay()->GetTexture()->GetHeight(), 600u);
    EXPECT_EQ(TRenderer::Instance()->GetFrameTexture(), board->GetMaskOverlay()->GetTexture());

    // The overlay's texture cannot be made: reported, no mask, the board plays on.
    board->GetMaskOverlay()->SetTexture(nullptr);
    board->Finish();
    Frames(320);
    Begin(board);
    Frames(96);
    std::shared_ptr<sys::display::DirectDraw> display = sys::display::GetLiveDirectDraw();
    ASSERT_NE(display, nullptr);
    display->mCreateSurfaceAnswers.assign(8, sys::display::Result::OutOfVideoMemory);
    Frames(64);
    display->mCreateSurfaceAnswers.clear();
    Frames(96);
    EXPECT_EQ(CountInLog("ERROR:TTexture::Create()   FILE:gameplayhintthessalor LINE:544"), 1);
    EXPECT_EQ(board->GetMaskOverlay()->GetTexture(), nullptr);
    EXPECT_EQ(board->GetState(), GameplayHintMinigame::kPlaying);
}

TEST_F(ThessalorTest, GoldenBoardMidRunAndWithTwoGoalsSolved)
{
    std::srand(85);
    mRandom.Seed(85);
    GameplayHintThessalor* board =
        Play("textinfo = { " + std::string(kTextInfo) +
             ", maxdistance = 200, validdistance = 30, rotationmin = -0.1, rotationmax = 0.1, "
             "scaleamount = 0.2, timemin = 3000, timemax = 4000, validanglediff = 0.3, "
             "font = { 'fonts/square.mvec', 40, { 1, 1, 1, 1 } } }, "
             "validstrings = { 'A', 'E', 'K', 'M', 'R', 'W' }, textmax = 8, ");
    ASSERT_NE(board, nullptr);
    // Without the mask overlay: the test display's copy of the frame comes out opaque and would
    // hide the letters in play.
    board->GetMaskOverlay()->SetTexture(nullptr);
    TRenderer::Instance()->SetFrameTexture(nullptr);
    Frames(800);
    Golden("hint_thessalor_board.png");

    // Two goals filled by putting a matching letter on the centre and clicking it.
    for (size_t g = 0; g < 2; ++g)
    {
        const auto& goal = board->GetGoals()[g];
        for (const auto& piece : board->GetPieces())
            if (piece->IsInPlay() && piece->GetText() == goal->GetText() &&
                board->FindGoalFor(*piece) == g)
            {
                mTransforms.RemoveTransforms(&piece->GetTransform());
                piece->GetTransform().SetPosition(400, 240, 1);
                for (const auto& other : board->GetPieces())
                    if (other != piece && other->IsInPlay())
                        other->GetTransform().SetPosition(150, 120, 1);
                piece->Update(0);
                board->OnMouseDown(kCentre);
                break;
            }
        ASSERT_TRUE(goal->IsSolved());
        Frames(32);
    }
    Frames(160);
    Golden("hint_thessalor_solved.png");
}

} // namespace

} // namespace gameplay_hint_thessalor_test
