// Lirae's board: the loader's reports and defaults, the layout of a run (pictures, shuffles,
// scene offset), the click rules, the outro at the landing, the timer's end, the ghost view's
// frame texture, and two golden frames.
#include "game/minigames/hintboards/gameplay_hint_lirae.h"

#include "framework/adventure/scene/gameplay_factory.h"
#include "framework/adventure/scene/gameplay_scene.h"
#include "game/minigames/hintboards/gameplay_hint_lirae_clickable.h"
#include "game/minigames/hintboards/gameplay_hint_lirae_token.h"
#include "game/minigames/hintboards/hint_minigame_test_support.h"
#include "render/sprites/sprite.h"
#include "render/textures/texture.h"
#include "sys/display/direct_draw.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <set>

namespace gameplay_hint_lirae_test
{
namespace
{

const TPoint kCentre{400, 240};

// A scene without entities that notes where the ghost view draws it and under which clip.
class RecordingScene : public GameplayScene
{
public:
    RecordingScene(GameplayFactory& factory, const TLuaTable& empty)
        : GameplayScene(factory, empty, "hall", empty, nullptr, empty)
    {
    }
    void Draw(const TDrawSpec& spec) override
    {
        mDraws.push_back({spec, TRenderer::Instance()->GetClipRect()});
    }
    void DrawEffects(const TDrawSpec& spec) override
    {
        mEffects.push_back({spec, TRenderer::Instance()->GetClipRect()});
    }
    struct Drawn
    {
        TDrawSpec spec;
        TRect clip;
    };
    std::vector<Drawn> mDraws, mEffects;
};

class LiraeTest : public hinttest::HintTest
{
protected:
    // Opened and started with the tutorial already seen, played up to the end of the intro.
    GameplayHintLirae* Play(const std::string& keys = "")
    {
        mRecord->SetTutorialShown(12);
        return Started(Open(keys), 160);
    }
    static std::vector<int32_t> ClickableFrames(GameplayHintLirae& board)
    {
        std::vector<int32_t> frames;
        for (const auto& clickable : board.GetClickables())
            frames.push_back(clickable->GetSprite()->GetFrame());
        return frames;
    }
    static std::vector<int32_t> TokenFrames(GameplayHintLirae& board)
    {
        std::vector<int32_t> frames;
        for (const auto& token : board.GetTokens())
            frames.push_back(token->GetSprite()->GetFrame());
        return frames;
    }
    void Restart(GameplayHintLirae& board)
    {
        board.Finish();
        Frames(320);
        Begin(&board);
    }
};

TEST_F(LiraeTest, LoaderReportsMissingTablesAndDefaultsBadKeys)
{
    GameplayHintLirae* broken = Open("clickable = false, ");
    ASSERT_NE(broken, nullptr);
    EXPECT_EQ(broken->GetFlags() & kWindowVisible, 0u)
        << "nothing of it shows while the game quits";
    EXPECT_EQ(CountInLog("ERROR:Cannot find clickable table.   FILE:gameplayhintlirae LINE:51"), 1);
    Do("PopModal()");
    Open("token = 3, ");
    EXPECT_EQ(CountInLog("ERROR:Cannot find token table.   FILE:gameplayhintlirae LINE:63"), 1);
    Do("PopModal()");
    Open("token = { image = 'hint/glyphs' }, ");
    EXPECT_EQ(CountInLog("ERROR:Cannot find destination table.   FILE:gameplayhintlirae LINE:71"),
              1);
    Do("PopModal()");

    // More tokens than clickables: clamped, said once. Keys of the wrong type read as 0.
    GameplayHintLirae* board =
        Open("clickablecount = 2, tokencount = 3, minigamelength = 'soon', boundsw = {}, "
             "foregroundrect = { 'a', 2, 3 }, timer = 5, ");
    ASSERT_NE(board, nullptr);
    EXPECT_EQ(board->GetClickables().size(), 2u);
    EXPECT_EQ(board->GetTokens().size(), 2u);
    EXPECT_EQ(CountInLog("tokencount 3 is above clickablecount 2"), 1);
    EXPECT_EQ(board->GetMinigameLength(), 0);
    EXPECT_EQ(board->GetBounds(), TRect(0, 0, 0, 475));
    EXPECT_EQ(board->GetForeground()->GetSpec().mSourceRect, TRect(0, 2, 3, 2));
    EXPECT_EQ(board->GetForeground()->GetSpec().mFlags & kDrawSourceRect, 0u);
    EXPECT_EQ(board->GetTimer()->GetSpec().mOrigin.x, 0.0f) << "no picture, no width";
    EXPECT_EQ(board->GetDestinations(), (std::vector<TVec2>{TVec2(340, 450), TVec2(400, 450)}));
}

TEST_F(LiraeTest, RunsShowDistinctTokenPicturesInShuffledOrders)
{
    GameplayHintLirae* board = Play();
    ASSERT_NE(board, nullptr);
    std::set<std::vector<int32_t>> clickableOrders;
    std::set<std::vector<int32_t>> tokenOrders;
    for (int run = 0; run < 8; ++run)
    {
        std::vector<int32_t> frames = ClickableFrames(*board);
        clickableOrders.insert(frames);
        std::sort(frames.begin(), frames.end());
        EXPECT_EQ(frames, (std::vector<int32_t>{0, 1, 2, 3, 4, 5})) << "a permutation";
        const std::vector<int32_t> tokens = TokenFrames(*board);
        tokenOrders.insert(tokens);
        EXPECT_EQ(std::set<int32_t>(tokens.begin(), tokens.end()).size(), 3u) << "distinct";
        for (const auto& clickable : board->GetClickables())
            EXPECT_TRUE(clickable->IsActive());
        EXPECT_EQ(board->GetCurrentToken(), 0u);
        // Bounds of the whole 800 x 475 leave one offset.
        EXPECT_EQ(board->GetSceneOffset().x, 0.0f);
        EXPECT_EQ(board->GetSceneOffset().y, 0.0f);
        Restart(*board);
    }
    EXPECT_GT(clickableOrders.size(), 1u);
    EXPECT_GT(tokenOrders.size(), 1u);
    // Each run's pulses replace the last run's.
    for (const auto& clickable : board->GetClickables())
        EXPECT_EQ(mTransforms.GetTransformCount(&clickable->GetPulseTransform()), 1u);
}

TEST_F(LiraeTest, SceneOffsetShowsAPartOfTheSceneInsideTheBounds)
{
    GameplayHintLirae* board = Play("boundsx = 100, boundsy = 50, boundsw = 600, boundsh = 300, ");
    ASSERT_NE(board, nullptr);
    std::set<std::pair<float, float>> offsets;
    for (int run = 0; run < 6; ++run)
    {
        const TVec2 offset = board->GetSceneOffset();
        EXPECT_GE(offset.x, -100.0f);
        EXPECT_LE(offset.x, 100.0f);
        EXPECT_GE(offset.y, -125.0f);
        EXPECT_LE(offset.y, 50.0f);
        offsets.insert({offset.x, offset.y});
        Restart(*board);
    }
    EXPECT_GT(offsets.size(), 1u);

    // Bounds larger than the scene: no random part, never a negative range.
    GameplayHintLirae* wide = Play("boundsx = 0, boundsy = 0, boundsw = 900, boundsh = 500, ");
    ASSERT_NE(wide, nullptr);
    EXPECT_EQ(wide->GetSceneOffset().x, 100.0f);
    EXPECT_EQ(wide->GetSceneOffset().y, 25.0f);
}

TEST_F(LiraeTest, ClicksMatchInTurnAndTheOutroWaitsForTheLanding)
{
    GameplayHintLirae* board = Play();
    ASSERT_NE(board, nullptr);
    ASSERT_EQ(board->GetState(), GameplayHintMinigame::kPlaying);
    // Nothing under the point: one penalty; more clicks wait for its end.
    EXPECT_TRUE(board->OnMouseDown(TPoint{20, 20}));
    EXPECT_EQ(mPenalty.Count(), 1u);
    EXPECT_FALSE(board->OnMouseDown(kCentre));
    board->EndPenalty();

    // All six rest at the centre: each click matches the current token's picture only.
    for (size_t k = 0; k < 3; ++k)
    {
        const int32_t wanted = board->GetTokens()[k]->GetSprite()->GetFrame();
        EXPECT_TRUE(board->OnMouseDown(kCentre));
        EXPECT_EQ(board->GetCurrentToken(), k + 1) << "one token per click";
        for (const auto& clickable : board->GetClickables())
            EXPECT_EQ(clickable->IsActive(),
                      clickable->GetSprite()->GetFrame() != wanted && clickable->IsActive());
        Step(16);
    }
    EXPECT_EQ(mPenalty.Count(), 1u);
    EXPECT_TRUE(board->IsSolved());
    EXPECT_FALSE(board->OnMouseDown(kCentre)) << "solved: clicks are refused";
    EXPECT_EQ(board->GetState(), GameplayHintMinigame::kPlaying) << "not at the winning click";
    EXPECT_EQ(mSolved.Count(), 0u);
    Frames(112);
    EXPECT_EQ(board->GetState(), GameplayHintMinigame::kOutro) << "at the landing";
    EXPECT_EQ(mSolved.Count(), 1u) << "the later landings change nothing";
    Frames(480);
    for (size_t k = 0; k < 3; ++k)
    {
        EXPECT_EQ(board->GetTokens()[k]->GetTransform().GetX(), board->GetDestinations()[k].x);
        EXPECT_FLOAT_EQ(board->GetTokens()[k]->GetTransform().GetScaleX(), 0.5f);
    }
    EXPECT_EQ(board->GetState(), GameplayHintMinigame::kIdle);
    EXPECT_EQ(mFinale.Count(), 1u);
    EXPECT_EQ(mClosed.Count(), 1u);
    EXPECT_EQ(TRenderer::Instance()->GetFrameTexture(), nullptr) << "cleared when hidden";

    // The next run puts the matched tokens back, unscaled.
    Begin(board);
    for (const auto& token : board->GetTokens())
    {
        EXPECT_EQ(token->GetTransform().GetX(), 400.0f);
        EXPECT_EQ(token->GetTransform().GetY(), 440.0f);
        EXPECT_EQ(token->GetTransform().GetScaleX(), 1.0f);
    }
}

TEST_F(LiraeTest, TimerHandTurnsAboutItsHubAndTheTimeUpBringsTheFailDialog)
{
    GameplayHintLirae* board = Play();
    ASSERT_NE(board, nullptr);
    // Half the time: half a turn, the hand hanging down from its hub at (400, 300).
    Frames(2496);
    EXPECT_NEAR(board->GetTimerTransform().GetRotationZ(), 0.5f, 0.01f);
    TRect bounds;
    board->GetTimer()->GetBounds(bounds, board->GetTimerPlace().Combine(board->GetPanelSpec()), 0);
    EXPECT_NEAR(bounds.left, 396, 2);
    EXPECT_NEAR(bounds.right, 404, 2);
    EXPECT_NEAR(bounds.top, 290, 2);
    EXPECT_NEAR(bounds.bottom, 340, 2);
    EXPECT_EQ(board->GetState(), GameplayHintMinigame::kPlaying);
    Frames(2560);
    EXPECT_EQ(board->GetState(), GameplayHintMinigame::kFailDialog);
}

TEST_F(LiraeTest, WrongPicturesGiveOnePenaltyAndNoTimeEndsAtOnce)
{
    GameplayHintLirae* board = Play("clickablecount = 3, tokencount = 1, ");
    ASSERT_NE(board, nullptr);
    // A token whose picture no clickable shows: three hits, all wrong.
    board->GetTokens()[0]->GetSprite()->SetFrame(5);
    EXPECT_TRUE(board->OnMouseDown(kCentre));
    EXPECT_EQ(mPenalty.Count(), 1u);
    EXPECT_EQ(board->GetCurrentToken(), 0u);
    board->EndPenalty();

    // No tokens: every click is wrong; no time at all: the fail dialog right after the intro.
    GameplayHintLirae* empty = Play("tokencount = 0, minigamelength = 0, ");
    ASSERT_NE(empty, nullptr);
    EXPECT_EQ(empty->GetState(), GameplayHintMinigame::kFailDialog);
    EXPECT_FALSE(empty->IsSolved());
}

TEST_F(LiraeTest, GhostViewTakesTheFrameTextureAndTheTutorialHoldsTheBoard)
{
    GameplayHintLirae* board = Open();
    ASSERT_NE(board, nullptr);
    Begin(board);
    EXPECT_EQ(board->GetGhostTransform().GetAlpha(), 0.0f);
    Frames(160);
    // The first-time help dialog keeps the board in state 5 after the intro.
    EXPECT_EQ(board->GetState(), GameplayHintMinigame::kTutorial);
    ASSERT_NE(board->GetGhostOverlay()->GetTexture(), nullptr);
    EXPECT_EQ(board->GetGhostOverlay()->GetTexture()->GetWidth(), 800u);
    EXPECT_EQ(board->GetGhostOverlay()->GetTexture()->GetHeight(), 600u);
    EXPECT_EQ(TRenderer::Instance()->GetFrameTexture(), board->GetGhostOverlay()->GetTexture());
    EXPECT_FALSE(board->IsGhostPending()) << "the mask went in at the next update";
    EXPECT_TRUE(board->RecreateTextures()) << "nothing to rebuild outside play";
    Do("HideDialog('ok')");
    Frames(80);
    EXPECT_EQ(board->GetState(), GameplayHintMinigame::kPlaying);
    Frames(80);
    EXPECT_TRUE(board->RecreateTextures());
    EXPECT_FLOAT_EQ(board->GetGhostTransform().GetAlpha(), 1.0f);
}

// Under the first-time help the runner's pause and resume, from its pause dialog or round a
// focus change (the manager's pause and resume of everything, the runner pausing again when the
// focus is back), leave the board as the help holds it: its timer stands until "OK" and then
// runs its whole length into the fail dialog.
TEST_F(LiraeTest, PausesUnderTheHelpLeaveItsTimerHeldUntilOk)
{
    GameplayHintLirae* board = Open();
    ASSERT_NE(board, nullptr);
    Begin(board);
    Frames(160);
    ASSERT_EQ(board->GetState(), GameplayHintMinigame::kTutorial);
    board->Pause();
    board->Resume();
    mTransforms.PauseAll();
    board->Pause();
    mTransforms.ResumeAll();
    board->Pause();
    board->Resume();
    Frames(6000);
    EXPECT_EQ(board->GetState(), GameplayHintMinigame::kTutorial);
    EXPECT_EQ(board->GetTimerTransform().GetRotationZ(), 0.0f);
    EXPECT_EQ(CountInLog("In bad state"), 0);
    Do("HideDialog('ok')");
    Frames(4800);
    EXPECT_EQ(board->GetState(), GameplayHintMinigame::kPlaying);
    EXPECT_GT(board->GetTimerTransform().GetRotationZ(), 0.9f);
    Frames(400);
    EXPECT_EQ(board->GetState(), GameplayHintMinigame::kFailDialog);
}

TEST_F(LiraeTest, RenderTargetAndTextureFailuresAreReportedAndPlayGoesOn)
{
    mRecord->SetTutorialShown(12);
    GameplayHintLirae* board = Open();
    ASSERT_NE(board, nullptr);
    Begin(board);
    Frames(96);
    // The mask's target cannot be begun: reported at each update until it can.
    Data().mDevice->mBeginSceneAnswers.assign(3, sys::display::Result::Fail);
    Frames(80);
    EXPECT_GE(CountInLog("ERROR:BeginRenderTarget   FILE:gameplayhintlirae LINE:539"), 1);
    EXPECT_FALSE(board->IsGhostPending());
    EXPECT_EQ(board->GetState(), GameplayHintMinigame::kPlaying);

    // The ghost texture cannot be made (the display is then rebuilt): reported, no ghost view,
    // the board plays on.
    board->GetGhostOverlay()->SetTexture(nullptr);
    Restart(*board);
    Frames(96);
    std::shared_ptr<sys::display::DirectDraw> display = sys::display::GetLiveDirectDraw();
    ASSERT_NE(display, nullptr);
    display->mCreateSurfaceAnswers.assign(8, sys::display::Result::OutOfVideoMemory);
    Frames(64);
    display->mCreateSurfaceAnswers.clear();
    ASSERT_EQ(board->GetState(), GameplayHintMinigame::kPlaying);
    EXPECT_EQ(CountInLog("ERROR:TTexture::Create()   FILE:gameplayhintlirae LINE:523"), 1);
    EXPECT_EQ(board->GetGhostOverlay()->GetTexture(), nullptr);
    EXPECT_FALSE(board->IsGhostPending());
    EXPECT_TRUE(board->OnMouseDown(kCentre));
    EXPECT_EQ(board->GetCurrentToken(), 1u);
}

TEST_F(LiraeTest, GhostViewDrawsTheSceneAtItsOffsetInsideTheBounds)
{
    mRecord->SetTutorialShown(12);
    GameplayHintLirae* board = Open("boundsx = 100, boundsy = 50, boundsw = 600, boundsh = 300, ");
    ASSERT_NE(board, nullptr);
    Do("_empty = {}");
    std::unique_ptr<TLuaTable> empty(mScript->GetGlobalTable("_empty"));
    ASSERT_NE(empty, nullptr);
    GameplayFactory factory;
    RecordingScene scene(factory, *empty);
    GameplayHintMinigame::HintCallbacks callbacks;
    callbacks.leave = &mClosed.mCallback;
    board->Start(0, &scene, callbacks);
    Frames(48);
    EXPECT_TRUE(scene.mDraws.empty()) << "no ghost view before the intro ends";
    Frames(240);
    ASSERT_EQ(board->GetState(), GameplayHintMinigame::kPlaying);
    scene.mDraws.clear();
    scene.mEffects.clear();
    TRenderer* renderer = TRenderer::Instance();
    ASSERT_TRUE(renderer->BeginDraw(false));
    mManager->RenderModals(0);
    renderer->EndFrame(false);
    // Its entities, then its effects, once a frame, shifted by the offset and clipped to the
    // bounds.
    ASSERT_EQ(scene.mDraws.size(), 1u);
    ASSERT_EQ(scene.mEffects.size(), 1u);
    const TVec2 offset = board->GetSceneOffset();
    for (const RecordingScene::Drawn& drawn : {scene.mDraws[0], scene.mEffects[0]})
    {
        EXPECT_FLOAT_EQ(drawn.spec.mMatrix.m[2][0], offset.x);
        EXPECT_FLOAT_EQ(drawn.spec.mMatrix.m[2][1], offset.y);
        EXPECT_FLOAT_EQ(drawn.spec.mAlpha, 1.0f);
        EXPECT_EQ(drawn.clip, TRect(100, 50, 700, 350));
    }
    board->Finish();
    Frames(320);
    scene.mDraws.clear();
    ASSERT_TRUE(renderer->BeginDraw(false));
    mManager->RenderModals(0);
    renderer->EndFrame(false);
    EXPECT_TRUE(scene.mDraws.empty()) << "hidden";
}

TEST_F(LiraeTest, RebuildReportsEachFailedStepAndPaintsTheMaskAgain)
{
    GameplayHintLirae* board = Play();
    ASSERT_NE(board, nullptr);
    std::shared_ptr<sys::display::DirectDraw> display = sys::display::GetLiveDirectDraw();
    ASSERT_NE(display, nullptr);
    board->GetGhostOverlay()->SetTexture(nullptr);
    display->mCreateSurfaceAnswers.assign(8, sys::display::Result::InvalidParams);
    EXPECT_FALSE(board->RecreateTextures());
    display->mCreateSurfaceAnswers.clear();
    EXPECT_EQ(CountInLog("ERROR:TTexture::Create()   FILE:gameplayhintlirae LINE:385"), 1);
    EXPECT_EQ(board->GetGhostOverlay()->GetTexture(), nullptr);

    // The board's picture target, then the mask's.
    auto& answers = Data().mDevice->mBeginSceneAnswers;
    answers.assign(1, sys::display::Result::Fail);
    EXPECT_FALSE(board->RecreateTextures());
    EXPECT_EQ(CountInLog("ERROR:BeginRenderTarget   FILE:gameplayhintlirae LINE:392"), 1);
    answers = {sys::display::Result::Ok, sys::display::Result::Fail};
    EXPECT_FALSE(board->RecreateTextures());
    EXPECT_EQ(CountInLog("ERROR:BeginRenderTarget   FILE:gameplayhintlirae LINE:403"), 1);

    // Rebuilt: the board's picture under the mask's alpha (half).
    ASSERT_TRUE(board->RecreateTextures());
    const std::shared_ptr<TTexture>& overlay = board->GetGhostOverlay()->GetTexture();
    ASSERT_NE(overlay, nullptr);
    uint32_t* pixels = nullptr;
    int pitch = 0;
    ASSERT_TRUE(overlay->Lock(pixels, pitch));
    const uint32_t texel = pixels[static_cast<size_t>(100) * static_cast<size_t>(pitch) + 100];
    overlay->Unlock();
    EXPECT_EQ(texel >> 24, 0x80u);
    EXPECT_EQ(texel & 0xFFFFFFu, 0x403020u);
    EXPECT_EQ(board->GetState(), GameplayHintMinigame::kPlaying);
}

TEST_F(LiraeTest, GoldenBoardMidRunAndFinale)
{
    // The process-wide generator shuffles: a fixed seed, whatever ran before.
    std::srand(84);
    GameplayHintLirae* board = Play(
        "clickable = { image = 'hint/glyphs', timemin = 2000, timemax = 3000, fademin = 600, "
        "fademax = 900, fadetime = 100, delaymin = 0, delaymax = 0, centerx = 400, "
        "centery = 240, maxdistance = 150, validanglediff = 0.3, alphamin = 0.6, alphamax = 1, "
        "minscale = 0.5, maxtransscale = 1.2, mintransscale = 0.8 }, "
        "finaletext = { text = '', x = 300, y = 180, w = 200, h = 40, flags = 5, "
        "font = { 'fonts/square.mvec', 24, { 1, 0.9, 0.5, 1 } } }, finalestring = 'Well done', ");
    ASSERT_NE(board, nullptr);
    Frames(800);
    Golden("hint_lirae_board.png");

    // Every glyph matched at once by putting each on the point clicked: the finale over the
    // faded board.
    for (size_t k = 0; k < 3; ++k)
    {
        const int32_t wanted = board->GetTokens()[k]->GetSprite()->GetFrame();
        for (const auto& clickable : board->GetClickables())
            if (clickable->GetSprite()->GetFrame() == wanted)
                clickable->GetSpriteTransform().SetPosition(400, 240, 1);
        ASSERT_TRUE(board->OnMouseDown(kCentre));
    }
    Frames(176);
    ASSERT_EQ(board->GetState(), GameplayHintMinigame::kOutro);
    Golden("hint_lirae_finale.png");
}

} // namespace

} // namespace gameplay_hint_lirae_test
