// Lirae's board: the loader, the layout of a run, the clicks, the timer, the ghost view of the
// scene and the extensions of the frame's operations.
#include "game/minigames/hintboards/gameplay_hint_lirae.h"

#include "framework/adventure/scene/gameplay_scene.h"
#include "framework/core/delta_time.h"
#include "framework/core/frame_services.h"
#include "framework/sound/sound_effect.h"
#include "framework/transforms/transform_instructions.h"
#include "game/minigames/hintboards/gameplay_hint_lirae_clickable.h"
#include "game/minigames/hintboards/gameplay_hint_lirae_token.h"
#include "particles/lua_particle_system.h"
#include "platform/log.h"
#include "render/renderer/renderer.h"
#include "render/sprites/sprite.h"
#include "render/textures/texture.h"
#include "script/lua_object_wrapper.h"
#include "ui/window_manager.h"
#include "ui/window_style.h"

#include <algorithm>

namespace
{

const char kSource[] = "gameplayhintlirae";

} // namespace

GameplayHintLirae::GameplayHintLirae()
    : mTimer(TSprite::Create(0)),
      mTimerTransform(std::make_unique<TM_Transform2D>(&mTimer->GetSpec())),
      mBackground(TSprite::Create(0)), mForeground(TSprite::Create(0)),
      mTimerBackground(TSprite::Create(0)), mGhostOverlay(TSprite::Create(0)),
      mGhostMask(TSprite::Create(0)), mPlacedCallback(this, &GameplayHintLirae::PlacedAdapter)
{
    DeltaTime* clock = DeltaTime::Instance();
    mRandom.Seed(clock != nullptr ? clock->GetFrameTime() : 0);
}

GameplayHintLirae::~GameplayHintLirae()
{
    if (TransformManager* transforms = TransformManager::Instance())
    {
        transforms->RemoveTransforms(&mGhostTransform);
        transforms->RemoveTransforms(mTimerTransform.get());
    }
    // The renderer must not keep copying frames into a texture nobody shows.
    if (TRenderer* renderer = TRenderer::Existing();
        renderer != nullptr && mGhostOverlay->GetTexture() != nullptr &&
        renderer->GetFrameTexture() == mGhostOverlay->GetTexture())
        renderer->SetFrameTexture(nullptr);
    mTimerTransform.reset();
    mClickables.clear();
    mTokens.clear();
}

TWindow* GameplayHintLirae::Create()
{
    return new GameplayHintLirae();
}

TClassId GameplayHintLirae::GetClassId()
{
    return reinterpret_cast<TClassId>(&GameplayHintLirae::Create);
}

bool GameplayHintLirae::LoadPieces(TWindowStyle& style)
{
    const int32_t clickableCount = style.GetInt("clickablecount", 0);
    int32_t tokenCount = style.GetInt("tokencount", 0);
    std::unique_ptr<TLuaTable> clickable = style.GetTableOnly("clickable");
    if (clickable == nullptr)
    {
        ReportError("Cannot find clickable table.", kSource, 51, true);
        return false;
    }
    for (int32_t i = 0; i < clickableCount; ++i)
        mClickables.push_back(
            std::make_shared<GameplayHintLiraeClickable>(*clickable, mRandom.Next()));
    std::unique_ptr<TLuaTable> token = style.GetTableOnly("token");
    if (token == nullptr)
    {
        ReportError("Cannot find token table.", kSource, 63, true);
        return false;
    }
    std::unique_ptr<TLuaTable> destinations(token->GetTable("destinations"));
    if (destinations == nullptr)
    {
        ReportError("Cannot find destination table.", kSource, 71, true);
        return false;
    }
    // A token takes the picture of the clickable of its index: more tokens than clickables would
    // read past them.
    const int32_t available = std::max(clickableCount, 0);
    if (tokenCount > available)
    {
        Log("ERROR: tokencount %d is above clickablecount %d; %d tokens used", tokenCount,
            clickableCount, available);
        tokenCount = available;
    }
    for (int32_t i = 0; i < tokenCount; ++i)
    {
        mTokens.push_back(std::make_shared<GameplayHintLiraeToken>(*token));
        mDestinations.emplace_back(static_cast<float>(destinations->GetNumberAt(2.0 * i + 1, 0)),
                                   static_cast<float>(destinations->GetNumberAt(2.0 * i + 2, 0)));
    }
    return true;
}

void GameplayHintLirae::LoadImages(TWindowStyle& style)
{
    LoadBoardPictures(style, *mBackground, *mForeground, *mTimer, *mTimerBackground, mTimerPlace);
    mGhostMask->SetTexture(TTexture::Get(style.GetString("ghostmask", ""), 0));
    for (TSprite* sprite : {mGhostMask.get(), mGhostOverlay.get()})
    {
        PlaceSpec(sprite->GetSpec(), 0.0f, 0.0f);
        sprite->GetSpec().mOrigin = TVec2(0, 0);
        sprite->GetSpec().mFlags |= kDrawOrigin;
    }
}

void GameplayHintLirae::PostInit(TWindowStyle& style)
{
    if (!LoadPieces(style))
    {
        // The game is quitting; until then nothing of the board shows.
        ClearFlagBits(kWindowVisible);
        return;
    }
    LoadImages(style);
    mGhostTransform.SetAlpha(0.0f);
    if (std::unique_ptr<TLuaTable> rect = style.GetTableOnly("foregroundrect"))
    {
        auto entry = [&](int i)
        {
            const double v = rect->GetNumberAt(i, 0);
            return v > -2147483648.0 && v < 2147483648.0 ? static_cast<int32_t>(v) : 0;
        };
        const int32_t x = entry(1), y = entry(2), w = entry(3), h = entry(4);
        // Stored without the source-rectangle flag, as the content expects: the whole image.
        mForeground->GetSpec().mSourceRect = TRect(x, y, x + w, y + h);
    }
    LoadBoardSounds(style, mSoundCorrect, mSoundPlaced);
    mMinigameLength = style.GetInt("minigamelength", 0);
    mGhostFadeTime = style.GetInt("timeghostfade", 0);
    mTimerRotation = static_cast<float>(style.GetNumber("timerrotation", 0));
    mBounds = ReadBounds(style);
    GameplayHintMinigame::PostInit(style);
}

void GameplayHintLirae::Start(uint32_t flag, GameplayScene* scene, const HintCallbacks& callbacks)
{
    GameplayHintMinigame::Start(flag, scene, callbacks);
    mScene = scene;
    TransformManager* transforms = TransformManager::Instance();
    for (size_t i = 0; i < mClickables.size(); ++i)
    {
        GameplayHintLiraeClickable& clickable = *mClickables[i];
        clickable.SetActive(true);
        clickable.GetSprite()->SetFrame(static_cast<int32_t>(i));
        // The pulse of an unmatched clickable still loops from the last run: a second one on the
        // same target would pile up with every run.
        if (transforms != nullptr)
        {
            transforms->RemoveTransforms(&clickable.GetSpriteTransform());
            transforms->RemoveTransforms(&clickable.GetPulseTransform());
        }
        const int32_t lo = clickable.GetDelayMin();
        const int32_t delay =
            clickable.GetRandom().NextInt(lo, std::max(lo, clickable.GetDelayMax()));
        clickable.StartPass(Ms(delay));
        clickable.StartPulse();
    }
    Shuffle(mClickables);
    for (size_t j = 0; j < mTokens.size(); ++j)
    {
        GameplayHintLiraeToken& token = *mTokens[j];
        // A token still moving from the last run must not carry on.
        if (transforms != nullptr)
            transforms->RemoveTransforms(&token.GetTransform());
        // The scale first: a scale moves the translation with it.
        token.GetTransform().SetUniformScale(1.0f);
        token.GetTransform().SetPosition(token.GetStartPosition().x, token.GetStartPosition().y,
                                         1.0f);
        token.GetSprite()->SetFrame(mClickables[j]->GetSprite()->GetFrame());
    }
    Shuffle(mClickables);
    mCurrentToken = 0;
    // A random part of an 800 x 475 scene, as large as the bounds, shows inside them; bounds
    // larger than the scene leave no room to draw from.
    const int32_t rangeX = std::max(kSceneWidth - mBounds.Width(), 0);
    const int32_t rangeY = std::max(kSceneHeight - mBounds.Height(), 0);
    const int32_t x = (mBounds.right - kSceneWidth) + mRandom.NextInt(0, rangeX);
    const int32_t y = (mBounds.bottom - kSceneHeight) + mRandom.NextInt(0, rangeY);
    PlaceSpec(mSceneSpec, static_cast<float>(x), static_cast<float>(y));
}

void GameplayHintLirae::OnIntroDone(int32_t value)
{
    StartTimerTurn(*mTimerTransform, mMinigameLength, mTimerRotation, this,
                   &GameplayHintLirae::TimeUpAdapter);
    GameplayHintMinigame::OnIntroDone(value);
    // The first-time help dialog has the board (state 5): clicks must wait for it to close.
    if (mState == kIntro || mState == kPlaying)
        mState = kPlaying;
    PrepareGhostTexture();
    AddFade(&mGhostTransform, mGhostFadeTime, 0.0f, 1.0f, 0, nullptr);
}

void GameplayHintLirae::PrepareGhostTexture()
{
    if (LendOverlayAsFrameTexture(*mGhostOverlay, kGhostWidth, kGhostHeight, kSource, 523))
        mGhostPending = 1;
}

bool GameplayHintLirae::RenderGhostMask()
{
    if (mGhostPending == 0)
        return true;
    return PaintMaskIntoOverlay(*mGhostOverlay, *mGhostMask, mBounds, kSource, 539);
}

bool GameplayHintLirae::RecreateTextures()
{
    if (mState != kPlaying)
        return true;
    if (mGhostOverlay->GetTexture() == nullptr)
    {
        std::shared_ptr<TTexture> texture = TTexture::Create(kGhostWidth, kGhostHeight, true);
        if (texture == nullptr)
        {
            ReportError("TTexture::Create()", kSource, 385, false);
            return false;
        }
        mGhostOverlay->SetTexture(texture);
    }
    TRenderer* renderer = TRenderer::Instance();
    if (!renderer->BeginRenderTarget(mGhostOverlay->GetTexture(), 1))
    {
        ReportError("BeginRenderTarget", kSource, 392, false);
        return false;
    }
    TWindowManager* manager = GetWindowManager();
    if (TWindow* top = manager != nullptr ? manager->GetTopModal() : nullptr)
        top->Render(0);
    renderer->EndDraw();
    if (!renderer->BeginRenderTarget(mGhostOverlay->GetTexture(), 4))
    {
        ReportError("BeginRenderTarget", kSource, 403, false);
        return false;
    }
    const bool entered = renderer->Begin2d();
    mGhostMask->Draw(TDrawSpec(), -1);
    if (entered)
        renderer->End2d();
    renderer->EndDraw();
    return true;
}

bool GameplayHintLirae::OnMouseDown(TPoint point)
{
    if (mState != kPlaying || mPenalty || mSolved)
        return false;
    const TDrawSpec hit = mGhostSpec.Combine(mPanelSpec);
    const TVec2 at(static_cast<float>(point.x), static_cast<float>(point.y));
    GameplayHintLiraeClickable* match = nullptr;
    if (mCurrentToken < mTokens.size())
    {
        const int32_t wanted = mTokens[mCurrentToken]->GetSprite()->GetFrame();
        for (const std::shared_ptr<GameplayHintLiraeClickable>& clickable : mClickables)
        {
            if (!clickable->IsActive())
                continue;
            // The picture's bounds: a glyph faded by its pass still counts where it is.
            if (!clickable->GetSprite()->HitTest(at, clickable->GetOwnSpec().Combine(hit), -1, -1))
                continue;
            if (clickable->GetSprite()->GetFrame() == wanted)
            {
                match = clickable.get();
                break;
            }
        }
    }
    if (match == nullptr)
    {
        StartPenalty();
        return true;
    }
    const size_t k = mCurrentToken;
    match->SetTarget(TVec2(mDestinations[k].x - mSceneSpec.mMatrix.m[2][0],
                           mDestinations[k].y - mSceneSpec.mMatrix.m[2][1]));
    match->FlyToDestination(&mPlacedCallback);
    mTokens[k]->MoveToDestination(mDestinations[k]);
    AdvanceToken();
    Arm(mSoundCorrect);
    if (mCurrentToken == mTokens.size())
        mSolved = true;
    return true;
}

void GameplayHintLirae::AdvanceToken()
{
    if (mCurrentToken < mTokens.size())
        ++mCurrentToken;
    if (mCurrentToken < mTokens.size())
        mTokens[mCurrentToken]->FadeIn();
}

void GameplayHintLirae::OnClickablePlaced()
{
    Arm(mSoundPlaced);
    if (mSolved)
        BeginOutro();
}

void GameplayHintLirae::OnTimeUp()
{
    if (!mSolved)
        ShowFailDialog();
}

bool GameplayHintLirae::Update()
{
    const uint32_t dt = DeltaTime::Instance() != nullptr ? DeltaTime::Instance()->GetStep() : 0;
    for (const std::shared_ptr<GameplayHintLiraeClickable>& clickable : mClickables)
        clickable->Update(dt);
    for (const std::shared_ptr<SoundEffect>& sound : {mSoundPlaced, mSoundCorrect})
        if (sound != nullptr)
            sound->Update(dt);
    if (mGhostPending != 0 && RenderGhostMask())
        mGhostPending = 0;
    return GameplayHintMinigame::Update();
}

void GameplayHintLirae::Draw()
{
    TRenderer* renderer = TRenderer::Instance();
    const bool entered = !renderer->InBegin2d() && renderer->Begin2d();
    GameplayHintMinigame::Draw();
    if (mState != kIdle)
    {
        const TDrawSpec& panel = mPanelSpec;
        mBackground->Draw(panel, -1);
        if (mGhostTransform.GetAlpha() != 0.0f)
        {
            renderer->PushClipRect(mBounds);
            const TDrawSpec ghost = mGhostSpec.Combine(panel);
            if (mScene != nullptr)
            {
                const TDrawSpec scene = mGhostSpec.Combine(mSceneSpec.Combine(panel));
                mScene->Draw(scene);
                mScene->DrawEffects(scene);
            }
            for (const std::shared_ptr<GameplayHintLiraeClickable>& clickable : mClickables)
            {
                if (const std::shared_ptr<TLuaParticleSystem>& particles =
                        clickable->GetParticles())
                    particles->Draw(TVec3(ghost.mMatrix.m[2][0], ghost.mMatrix.m[2][1], 0.0f));
                clickable->GetSprite()->Draw(clickable->GetOwnSpec().Combine(ghost), -1);
            }
            mGhostOverlay->Draw(panel, -1);
            renderer->PopClipRect();
        }
        mTimerBackground->Draw(panel, -1);
        mTimer->Draw(mTimerPlace.Combine(panel), -1);
        mForeground->Draw(panel, -1);
        const size_t last = std::min(mCurrentToken + 1, mTokens.size());
        for (size_t i = 0; i < last; ++i)
            mTokens[i]->GetSprite()->Draw(panel, -1);
    }
    if (entered)
        renderer->End2d();
}

void GameplayHintLirae::Pause()
{
    GameplayHintMinigame::Pause();
    TransformManager* transforms = TransformManager::Instance();
    if (transforms == nullptr)
        return;
    if (mState != kTutorial)
    {
        for (const std::shared_ptr<GameplayHintLiraeClickable>& clickable : mClickables)
        {
            transforms->PauseTransforms(&clickable->GetSpriteTransform());
            transforms->PauseTransforms(&clickable->GetPulseTransform());
        }
        for (const std::shared_ptr<GameplayHintLiraeToken>& token : mTokens)
            transforms->PauseTransforms(&token->GetTransform());
        for (const std::shared_ptr<SoundEffect>& sound : {mSoundCorrect, mSoundPlaced})
            if (sound != nullptr)
                sound->Pause();
    }
    transforms->PauseTransforms(mTimerTransform.get());
}

void GameplayHintLirae::Resume()
{
    GameplayHintMinigame::Resume();
    TransformManager* transforms = TransformManager::Instance();
    if (transforms == nullptr || IsHeldByDialog())
        return;
    for (const std::shared_ptr<GameplayHintLiraeClickable>& clickable : mClickables)
    {
        transforms->ResumeTransforms(&clickable->GetSpriteTransform());
        transforms->ResumeTransforms(&clickable->GetPulseTransform());
    }
    for (const std::shared_ptr<GameplayHintLiraeToken>& token : mTokens)
        transforms->ResumeTransforms(&token->GetTransform());
    for (const std::shared_ptr<SoundEffect>& sound : {mSoundCorrect, mSoundPlaced})
        if (sound != nullptr)
            sound->Resume();
    if (!mSolved)
        transforms->ResumeTransforms(mTimerTransform.get());
}

void GameplayHintLirae::BeginOutro()
{
    if (mState == kOutro)
        return;
    AddFade(&mGhostTransform, mGhostFadeTime, kFromCurrent, 0.0f, 0, nullptr);
    if (TransformManager* transforms = TransformManager::Instance())
        transforms->RemoveTransforms(mTimerTransform.get());
    GameplayHintMinigame::BeginOutro();
}

void GameplayHintLirae::EndMinigame()
{
    if (mState != kPlaying)
        return;
    if (TransformManager* transforms = TransformManager::Instance())
        transforms->RemoveTransforms(mTimerTransform.get());
    if (mState == kPlaying)
        Finish();
}

void GameplayHintLirae::Finish()
{
    GameplayHintMinigame::Finish();
    AddFade(&mGhostTransform, mHideDelay, kFromCurrent, 0.0f, 0, nullptr);
}

void GameplayHintLirae::Reset()
{
    GameplayHintMinigame::Reset();
    mTimerTransform->SetRotationZ(0.0f);
    if (TransformManager* transforms = TransformManager::Instance())
        transforms->RemoveTransforms(mTimerTransform.get());
}

void GameplayHintLirae::TimeUpAdapter(void* object, TM_Transform*, uint32_t)
{
    static_cast<GameplayHintLirae*>(object)->OnTimeUp();
}

void GameplayHintLirae::PlacedAdapter(void* object, TM_Transform*, uint32_t)
{
    static_cast<GameplayHintLirae*>(object)->OnClickablePlaced();
}
