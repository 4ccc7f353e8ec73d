// Thessalor's board: the loader, the set-up of a run (drifts, shuffle, goals, mask), the clicks,
// the timer, the mask overlay and the extensions of the frame's operations.
#include "game/minigames/hintboards/gameplay_hint_thessalor.h"

#include "framework/core/delta_time.h"
#include "framework/core/frame_services.h"
#include "framework/core/window_manager.h"
#include "framework/sound/sound_effect.h"
#include "framework/transforms/transform_instructions.h"
#include "framework/widgets/text_object.h"
#include "game/cutscenes/cutscene_keys.h"
#include "game/minigames/hintboards/gameplay_hint_thessalor_goal.h"
#include "game/minigames/hintboards/gameplay_hint_thessalor_text.h"
#include "platform/log.h"
#include "render/renderer/renderer.h"
#include "render/sprites/sprite.h"
#include "render/text/text_sprite.h"
#include "render/textures/texture.h"
#include "script/lua_object_wrapper.h"
#include "ui/window_style.h"

#include <algorithm>
#include <set>

namespace
{

const char kSource[] = "gameplayhintthessalor";

// A text object drawn from a texture is rendered again; a failure asks the frame driver to
// rebuild the textures later.
void Rerender(TextObject& text)
{
    if (!text.RenderToTexture())
        if (WindowManager* frames = WindowManager::Instance())
            frames->SetTexturesPending();
}

bool HasEntries(const TLuaTable& table)
{
    TLuaObjectWrapper* key = nullptr;
    std::unique_ptr<TLuaTable> first(table.Next(&key));
    delete key;
    return first != nullptr;
}

bool SameColour(const TVec4& a, const TVec4& b)
{
    return a.x == b.x && a.y == b.y && a.z == b.z && a.w == b.w;
}

} // namespace

GameplayHintThessalor::GameplayHintThessalor()
    : mTimer(TSprite::Create(0)),
      mTimerTransform(std::make_unique<TM_Transform2D>(&mTimer->GetSpec())),
      mBackground(TSprite::Create(0)), mForeground(TSprite::Create(0)),
      mTimerBackground(TSprite::Create(0)), mMask(TSprite::Create(0)),
      mMaskOverlay(TSprite::Create(0)), mPlacedCallback(this, &GameplayHintThessalor::PlacedAdapter)
{
    mGoalTransform.SetAlpha(0.0f);
    mPieceTransform.SetAlpha(0.0f);
    DeltaTime* clock = DeltaTime::Instance();
    mRandom.Seed(clock != nullptr ? clock->GetFrameTime() : 0);
}

GameplayHintThessalor::~GameplayHintThessalor()
{
    RemoveOwnTransforms(true, true);
    // The renderer must not keep copying frames into a texture nobody shows.
    if (TRenderer* renderer = TRenderer::Existing();
        renderer != nullptr && mMaskOverlay->GetTexture() != nullptr &&
        renderer->GetFrameTexture() == mMaskOverlay->GetTexture())
        renderer->SetFrameTexture(nullptr);
    mTimerTransform.reset();
    mPieces.clear();
    mGoals.clear();
}

TWindow* GameplayHintThessalor::Create()
{
    return new GameplayHintThessalor();
}

TClassId GameplayHintThessalor::GetClassId()
{
    return reinterpret_cast<TClassId>(&GameplayHintThessalor::Create);
}

void GameplayHintThessalor::RemoveOwnTransforms(bool layers, bool timer)
{
    TransformManager* transforms = TransformManager::Instance();
    if (transforms == nullptr)
        return;
    if (layers)
    {
        transforms->RemoveTransforms(&mGoalTransform);
        transforms->RemoveTransforms(&mPieceTransform);
    }
    if (timer && mTimerTransform != nullptr)
        transforms->RemoveTransforms(mTimerTransform.get());
}

bool GameplayHintThessalor::LoadPieces(TWindowStyle& style)
{
    if (std::unique_ptr<TLuaTable> strings = style.GetTableOnly("validstrings"))
    {
        TLuaObjectWrapper* key = nullptr;
        while (TLuaTable* value = strings->Next(&key))
        {
            mValidStrings.push_back(value->ToString());
            delete value;
        }
    }
    else
        Log("ERROR: GameplayHintThessalor has no validstrings table; its letters get no text");
    if (std::unique_ptr<TLuaTable> colours = style.GetTableOnly("colors"))
    {
        const int32_t n = cutscene::ArrayLength(*colours);
        for (int32_t i = 1; i <= n; ++i)
            mColors.push_back(colours->GetVec4At(i, TVec4(0, 0, 0, 0)));
    }
    else
        Log("ERROR: GameplayHintThessalor has no colors table; its letters keep their font's "
            "colour");
    std::unique_ptr<TLuaTable> goals = style.GetTableOnly("goaltext");
    if (goals == nullptr)
        Log("ERROR: GameplayHintThessalor has no goaltext table; the board has no goals");
    const int32_t textMax = style.GetInt("textmax", 0);
    std::unique_ptr<TLuaTable> textInfo = style.GetTableOnly("textinfo");
    if (textInfo == nullptr && (textMax > 0 || (goals != nullptr && HasEntries(*goals))))
    {
        ReportError("Cannot find textinfo table.", kSource, 120, true);
        return false;
    }
    for (int32_t i = 0; i < textMax; ++i)
        mPieces.push_back(std::make_shared<GameplayHintThessalorText>(*textInfo, mRandom));
    if (goals != nullptr)
        cutscene::ForEachTable(
            *goals, [&](const TLuaTable& goal)
            { mGoals.push_back(std::make_shared<GameplayHintThessalorGoal>(goal, *textInfo)); });
    return true;
}

void GameplayHintThessalor::LoadImages(TWindowStyle& style)
{
    LoadBoardPictures(style, *mBackground, *mForeground, *mTimer, *mTimerBackground, mTimerPlace);
    mMask->SetTexture(TTexture::Get(style.GetString("mask", ""), 0));
    PlaceSpec(mMask->GetSpec(), 400.0f, 300.0f);
    TDrawSpec& overlay = mMaskOverlay->GetSpec();
    PlaceSpec(overlay, 0.0f, 0.0f);
    overlay.mOrigin = TVec2(0, 0);
    overlay.mFlags |= kDrawOrigin;
}

void GameplayHintThessalor::DrawPieceLooks()
{
    for (const std::shared_ptr<GameplayHintThessalorText>& piece : mPieces)
    {
        // An empty list leaves nothing to draw from: the letter keeps its empty text or its
        // font's colour.
        if (!mValidStrings.empty())
        {
            const int count = static_cast<int>(mValidStrings.size());
            const int index = mRandom.NextInt(0, count - 1);
            piece->GetTextObject()->SetText(mValidStrings[static_cast<size_t>(index)]);
        }
        if (!mColors.empty())
        {
            const int count = static_cast<int>(mColors.size());
            const int index = mRandom.NextInt(0, count - 1);
            piece->GetTextObject()->GetTextSprite()->SetColor(mColors[static_cast<size_t>(index)]);
        }
    }
    GiveEveryGoalALetter();
    for (const std::shared_ptr<GameplayHintThessalorText>& piece : mPieces)
        Rerender(*piece->GetTextObject());
}

void GameplayHintThessalor::GiveEveryGoalALetter()
{
    // The free draw may repeat texts until fewer distinct ones are left than goals, which would
    // leave a goal empty: letters repeating an earlier one take texts nobody has yet, as many as
    // the goals lack and the lists and letters allow. A board drawn well enough is left as drawn.
    std::set<TString> unused(mValidStrings.begin(), mValidStrings.end());
    std::set<TString> drawn;
    std::vector<TextObject*> repeats;
    for (const std::shared_ptr<GameplayHintThessalorText>& piece : mPieces)
    {
        const TString text = piece->GetText();
        unused.erase(text);
        if (!drawn.insert(text).second)
            repeats.push_back(piece->GetTextObject().get());
    }
    for (TextObject* repeat : repeats)
    {
        if (drawn.size() >= mGoals.size() || unused.empty())
            return;
        auto pick = unused.begin();
        std::advance(pick, mRandom.NextInt(0, static_cast<int>(unused.size()) - 1));
        repeat->SetText(*pick);
        drawn.insert(*pick);
        unused.erase(pick);
    }
}

void GameplayHintThessalor::PostInit(TWindowStyle& style)
{
    if (!LoadPieces(style))
    {
        // The game is quitting; until then nothing of the board shows.
        ClearFlagBits(kWindowVisible);
        return;
    }
    LoadBoardSounds(style, mSoundCorrect, mSoundPlaced);
    LoadImages(style);
    mMinigameLength = style.GetInt("minigamelength", 0);
    mTimerRotation = static_cast<float>(style.GetNumber("timerrotation", 0));
    mTextFadeTime = style.GetInt("textfadetime", 0);
    mClickableDelayMax = style.GetInt("clickabledelaymax", 0);
    mBounds = ReadBounds(style);
    DrawPieceLooks();
    GameplayHintMinigame::PostInit(style);
}

void GameplayHintThessalor::FillGoals()
{
    std::set<TString> used;
    size_t goal = 0;
    for (const std::shared_ptr<GameplayHintThessalorText>& piece : mPieces)
    {
        if (goal == mGoals.size())
            break;
        const TString text = piece->GetText();
        if (used.count(text) != 0)
            continue;
        GameplayHintThessalorGoal& target = *mGoals[goal];
        target.Clear();
        TextObject& object = *target.GetTextObject();
        object.GetTextSprite()->SetColor(piece->GetTextObject()->GetTextSprite()->GetColor());
        object.SetText(text);
        Rerender(object);
        used.insert(text);
        ++goal;
    }
    if (goal == mGoals.size())
        return;
    // Fewer distinct letters than goals: the goals left over stay empty and count as solved, so
    // the board can still be won.
    Log("ERROR: GameplayHintThessalor has %u distinct letters for %u goals; %u goals left empty",
        static_cast<unsigned>(goal), static_cast<unsigned>(mGoals.size()),
        static_cast<unsigned>(mGoals.size() - goal));
    for (; goal < mGoals.size(); ++goal)
    {
        mGoals[goal]->Clear();
        mGoals[goal]->MarkSolved();
    }
}

void GameplayHintThessalor::OnIntroDone(int32_t value)
{
    TransformManager* transforms = TransformManager::Instance();
    for (const std::shared_ptr<GameplayHintThessalorText>& piece : mPieces)
    {
        const int32_t delay = mRandom.NextInt(0, std::max(mClickableDelayMax, 0));
        piece->SetInPlay(true);
        if (transforms != nullptr)
            transforms->RemoveTransforms(&piece->GetTransform());
        piece->GetTransform().SetAlpha(1.0f);
        piece->Drift(Ms(delay));
        piece->StartSpin();
    }
    Shuffle(mPieces);
    FillGoals();
    PrepareMaskTexture();
    AddFade(&mGoalTransform, mTextFadeTime, kFromCurrent, 1.0f, 0,
            new Callback(this, &GameplayHintThessalor::GoalsShownAdapter));
    GameplayHintMinigame::OnIntroDone(value);
}

void GameplayHintThessalor::OnGoalsShown()
{
    // A board left while its goals were fading in keeps its letters hidden.
    if (mState == kPlaying)
        FadeInPieces();
}

void GameplayHintThessalor::FadeInPieces()
{
    AddFade(&mPieceTransform, mTextFadeTime, kFromCurrent, 1.0f, 0,
            new Callback(this, &GameplayHintThessalor::PiecesShownAdapter));
}

void GameplayHintThessalor::OnPiecesShown()
{
    StartTimer();
}

void GameplayHintThessalor::StartTimer()
{
    // A board left while its letters were fading in must not come back to play.
    if (mState != kPlaying)
        return;
    StartTimerTurn(*mTimerTransform, mMinigameLength, mTimerRotation, this,
                   &GameplayHintThessalor::TimeUpAdapter);
}

void GameplayHintThessalor::PrepareMaskTexture()
{
    if (LendOverlayAsFrameTexture(*mMaskOverlay, kMaskWidth, kMaskHeight, kSource, 544))
        mMaskPending = 1;
}

bool GameplayHintThessalor::RenderMask()
{
    if (mMaskPending == 0)
        return true;
    return PaintMaskIntoOverlay(*mMaskOverlay, *mMask, mBounds, kSource, 560);
}

size_t GameplayHintThessalor::FindGoalFor(GameplayHintThessalorText& piece)
{
    const TString text = piece.GetText();
    const TVec4 colour = piece.GetTextObject()->GetTextSprite()->GetColor();
    for (size_t i = 0; i < mGoals.size(); ++i)
    {
        GameplayHintThessalorGoal& goal = *mGoals[i];
        if (goal.IsSolved() || goal.GetText() != text ||
            !SameColour(goal.GetTextObject()->GetTextSprite()->GetColor(), colour))
            continue;
        const TIntPoint at = goal.GetPosition();
        piece.SetTarget(at.x, at.y, goal.GetRotation());
        return i;
    }
    return mGoals.size();
}

bool GameplayHintThessalor::AllGoalsSolved() const
{
    return std::all_of(mGoals.begin(), mGoals.end(),
                       [](const auto& goal) { return goal->IsSolved(); });
}

bool GameplayHintThessalor::OnMouseDown(TPoint point)
{
    if (mState != kPlaying || mPenalty || mSolved)
        return false;
    const TIntPoint at{point.x, point.y};
    bool hit = false;
    for (const std::shared_ptr<GameplayHintThessalorText>& piece : mPieces)
    {
        if (!piece->HitTest(at))
            continue;
        const size_t goal = FindGoalFor(*piece);
        if (goal == mGoals.size())
        {
            hit = true;
            continue;
        }
        mGoals[goal]->MarkSolved();
        piece->FlyTo(&mPlacedCallback);
        Arm(mSoundCorrect);
        if (AllGoalsSolved())
            mSolved = true;
        return false;
    }
    if (hit)
        StartPenalty();
    return false;
}

void GameplayHintThessalor::OnPiecePlaced()
{
    Arm(mSoundPlaced);
    if (mSolved)
        BeginOutro();
}

void GameplayHintThessalor::OnTimeUp()
{
    if (!mSolved)
        ShowFailDialog();
}

bool GameplayHintThessalor::Update()
{
    if (mMaskPending != 0 && RenderMask())
        mMaskPending = 0;
    if (mState != kIdle)
    {
        const uint32_t dt = DeltaTime::Instance() != nullptr ? DeltaTime::Instance()->GetStep() : 0;
        for (const std::shared_ptr<GameplayHintThessalorText>& piece : mPieces)
            piece->Update(dt);
        for (const std::shared_ptr<SoundEffect>& sound : {mSoundCorrect, mSoundPlaced})
            if (sound != nullptr)
                sound->Update(dt);
    }
    return GameplayHintMinigame::Update();
}

void GameplayHintThessalor::Draw()
{
    TRenderer* renderer = TRenderer::Instance();
    const bool entered = !renderer->InBegin2d() && renderer->Begin2d();
    GameplayHintMinigame::Draw();
    if (mState != kIdle)
    {
        const TDrawSpec& panel = mPanelSpec;
        const TDrawSpec pieces = mPieceSpec.Combine(panel);
        const bool piecesShown = mPieceTransform.GetAlpha() != 0.0f;
        mBackground->Draw(panel, -1);
        if (piecesShown)
        {
            renderer->PushClipRect(mBounds);
            for (const std::shared_ptr<GameplayHintThessalorText>& piece : mPieces)
                if (piece->IsInPlay())
                    piece->Draw(pieces);
            mMaskOverlay->Draw(panel, -1);
            renderer->PopClipRect();
        }
        mTimerBackground->Draw(panel, -1);
        mTimer->Draw(mTimerPlace.Combine(panel), -1);
        mForeground->Draw(panel, -1);
        if (piecesShown)
            for (const std::shared_ptr<GameplayHintThessalorText>& piece : mPieces)
                if (!piece->IsInPlay())
                    piece->Draw(pieces);
        const TDrawSpec goals = mGoalSpec.Combine(panel);
        for (const std::shared_ptr<GameplayHintThessalorGoal>& goal : mGoals)
            goal->GetTextObject()->Draw(goals);
    }
    if (entered)
        renderer->End2d();
}

void GameplayHintThessalor::Pause()
{
    GameplayHintMinigame::Pause();
    TransformManager* transforms = TransformManager::Instance();
    if (transforms == nullptr)
        return;
    if (mState != kTutorial)
    {
        for (const std::shared_ptr<GameplayHintThessalorText>& piece : mPieces)
            transforms->PauseTransforms(&piece->GetTransform());
        for (const std::shared_ptr<SoundEffect>& sound : {mSoundCorrect, mSoundPlaced})
            if (sound != nullptr)
                sound->Pause();
        transforms->PauseTransforms(&mGoalTransform);
        transforms->PauseTransforms(&mPieceTransform);
    }
    transforms->PauseTransforms(mTimerTransform.get());
}

void GameplayHintThessalor::Resume()
{
    GameplayHintMinigame::Resume();
    TransformManager* transforms = TransformManager::Instance();
    if (transforms == nullptr || IsHeldByDialog())
        return;
    for (const std::shared_ptr<GameplayHintThessalorText>& piece : mPieces)
        transforms->ResumeTransforms(&piece->GetTransform());
    for (const std::shared_ptr<SoundEffect>& sound : {mSoundCorrect, mSoundPlaced})
        if (sound != nullptr)
            sound->Resume();
    transforms->ResumeTransforms(&mGoalTransform);
    transforms->ResumeTransforms(&mPieceTransform);
    if (!mSolved)
        transforms->ResumeTransforms(mTimerTransform.get());
}

bool GameplayHintThessalor::RecreateTextures()
{
    for (const std::shared_ptr<GameplayHintThessalorText>& piece : mPieces)
        if (!piece->GetTextObject()->RenderToTexture())
            return false;
    for (const std::shared_ptr<GameplayHintThessalorGoal>& goal : mGoals)
        if (!goal->GetTextObject()->RenderToTexture())
            return false;
    // The overlay's picture went with the display: the mask is painted again.
    if (mMaskOverlay->GetTexture() != nullptr && mState != kIdle)
        mMaskPending = 1;
    if (!RenderMask())
        return false;
    mMaskPending = 0;
    return true;
}

void GameplayHintThessalor::BeginOutro()
{
    if (mState == kOutro)
        return;
    // The fades replace the fade-ins, whose ends must not start the pieces or the timer now.
    RemoveOwnTransforms(true, true);
    AddFade(&mGoalTransform, mTextFadeTime, kFromCurrent, 0.0f, 0, nullptr);
    AddFade(&mPieceTransform, mTextFadeTime, kFromCurrent, 0.0f, 0, nullptr);
    GameplayHintMinigame::BeginOutro();
}

void GameplayHintThessalor::EndMinigame()
{
    if (mState != kPlaying)
        return;
    RemoveOwnTransforms(false, true);
    if (mState == kPlaying)
        Finish();
}

void GameplayHintThessalor::Finish()
{
    if (TransformManager* transforms = TransformManager::Instance())
        transforms->RemoveTransforms(&mPieceTransform);
    AddFade(&mPieceTransform, mHideDelay, kFromCurrent, 0.0f, 0, nullptr);
    RemoveOwnTransforms(false, true);
    GameplayHintMinigame::Finish();
}

void GameplayHintThessalor::Reset()
{
    for (const std::shared_ptr<GameplayHintThessalorText>& piece : mPieces)
        piece->Reset();
    for (const std::shared_ptr<GameplayHintThessalorGoal>& goal : mGoals)
        goal->Clear();
    mGoalTransform.SetAlpha(0.0f);
    mPieceTransform.SetAlpha(0.0f);
    mTimerTransform->SetRotationZ(0.0f);
    RemoveOwnTransforms(true, true);
    GameplayHintMinigame::Reset();
}

void GameplayHintThessalor::GoalsShownAdapter(void* object, TM_Transform*, uint32_t)
{
    static_cast<GameplayHintThessalor*>(object)->OnGoalsShown();
}

void GameplayHintThessalor::PiecesShownAdapter(void* object, TM_Transform*, uint32_t)
{
    static_cast<GameplayHintThessalor*>(object)->OnPiecesShown();
}

void GameplayHintThessalor::TimeUpAdapter(void* object, TM_Transform*, uint32_t)
{
    static_cast<GameplayHintThessalor*>(object)->OnTimeUp();
}

void GameplayHintThessalor::PlacedAdapter(void* object, TM_Transform*, uint32_t)
{
    static_cast<GameplayHintThessalor*>(object)->OnPiecePlaced();
}
