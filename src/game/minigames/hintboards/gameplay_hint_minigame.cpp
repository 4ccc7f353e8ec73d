// The hint-minigame frame: its style, the scrim and finale drawing, the intro, outro and exit
// fades, the tutorial and fail dialogs, the penalty, the two script functions and the notices.
#include "game/minigames/hintboards/gameplay_hint_minigame.h"

#include "framework/adventure/dialog/gameplay_dialog.h"
#include "framework/adventure/player_data.h"
#include "framework/core/delta_time.h"
#include "framework/core/frame_services.h"
#include "framework/sound/sound_effect.h"
#include "framework/transforms/transform_instructions.h"
#include "framework/widgets/framework_button.h"
#include "framework/widgets/text_object.h"
#include "render/renderer/renderer.h"
#include "render/textures/texture.h"
#include "render/sprites/sprite.h"
#include "script/lua_bind.h"
#include "script/lua_object_wrapper.h"
#include "script/window_script_seam.h"
#include "ui/window_style.h"

#include <algorithm>

namespace
{

const char kSource[] = "gameplayhintminigame";
const char kShowTutorialName[] = "ShowHintMinigameTutorial";
const char kEndMinigameName[] = "EndHintMinigame";
constexpr uint32_t kTriangleList = 4;
constexpr float kSmoothing = -0.5f;

uint32_t TextureWidth(const TSprite& sprite)
{
    std::shared_ptr<TTexture> texture = sprite.GetTexture();
    return texture != nullptr ? texture->GetWidth() : 0;
}

std::shared_ptr<SoundEffect> LoadSound(TWindowStyle& style, const char* key)
{
    std::unique_ptr<TLuaTable> table = style.GetTableOnly(key);
    return table != nullptr ? SoundEffect::Create(*table) : nullptr;
}

// A child of the given kind anywhere below the frame; another kind counts as absent.
template <class T> T* FindKind(TWindow* frame, const char* name)
{
    TWindow* child = frame->FindChild(name, 0xFFFFFFFFu);
    return child != nullptr && child->IsKindOf(T::GetClassId()) ? static_cast<T*>(child) : nullptr;
}

} // namespace

GameplayHintMinigame::GameplayHintMinigame()
    : mTutorialClosedRecord(this, &GameplayHintMinigame::TutorialClosedAdapter),
      mFailClosedRecord(this, &GameplayHintMinigame::FailClosedAdapter)
{
    const float corners[4][2] = {{0, 0}, {800, 0}, {800, 600}, {0, 600}};
    for (int i = 0; i < 4; ++i)
        mScrim[i] = TColoredVertex{corners[i][0], corners[i][1], 0.0f, 0.5f, 0, 0, 0.0f, 0.0f};
    mScrimTransform.SetAlpha(0.0f);
    mPanelTransform.SetAlpha(0.0f);
    mFinaleTransform.SetAlpha(0.0f);
}

GameplayHintMinigame::~GameplayHintMinigame()
{
    // A frame destroyed mid-run must not leave script functions that call into it, nor the
    // renderer copying frames into a texture nobody shows.
    if (lua_State* L = GetWindowScriptState())
    {
        LuaUnbindMemberIfBound(L, kShowTutorialName, this);
        LuaUnbindMemberIfBound(L, kEndMinigameName, this);
    }
    if (mState != kIdle)
        if (TRenderer* renderer = TRenderer::Existing())
            renderer->SetFrameTexture(nullptr);
    for (std::shared_ptr<SoundEffect>* sound :
         {&mSoundMusic, &mSoundIntro, &mSoundOutro, &mSoundShowHint})
        sound->reset();
    mFinaleText.reset();
    if (TransformManager* transforms = TransformManager::Instance())
    {
        transforms->RemoveTransforms(&mFinaleTransform);
        transforms->RemoveTransforms(&mPanelTransform);
        transforms->RemoveTransforms(&mScrimTransform);
    }
}

void GameplayHintMinigame::PostInit(TWindowStyle& style)
{
    if (std::unique_ptr<TLuaTable> text = style.GetTableOnly("finaletext"))
    {
        mFinaleText = TextObject::Create(*text);
        if (mFinaleText != nullptr)
            mFinaleText->SetText(style.GetString("finalestring", ""));
    }
    mSoundMusic = LoadSound(style, "soundmusic");
    mSoundIntro = LoadSound(style, "soundintro");
    mSoundOutro = LoadSound(style, "soundoutro");
    mSoundShowHint = LoadSound(style, "soundshowhint");
    mTutorialIndex = style.GetInt("tutorialindex", 0);
    mScrimFadeTime = style.GetInt("scrimfadetime", 0);
    mScrimFadeMax = static_cast<float>(style.GetNumber("scrimfademax", 0));
    mBasicFadeTime = style.GetInt("basicfadetime", 0);
    mBasicScaleMin = static_cast<float>(style.GetNumber("basicscalemin", 0));
    mBasicPosition = TVec2(static_cast<float>(style.GetNumber("basicpositionx", 0)),
                           static_cast<float>(style.GetNumber("basicpositiony", 0)));
    mFinaleFadeTime = style.GetInt("finalefadetime", 0);
    mFinaleTimeToShow = style.GetInt("finaletimetoshow", 0);
    mHideDelay = style.GetInt("hidedelay", 0);
    mTutorialButton = FindKind<TVButton>(this, "tutorialbutton");
    mExitButton = FindKind<TVButton>(this, "exitbutton");
    mHelpDialog = FindKind<GameplayDialog>(this, "help");
    mFailDialog = FindKind<GameplayDialog>(this, "fail");
    // No sizing to the children: hit tests keep the style's rectangle.
    ClearFlagBits(kWindowVisible);
}

bool GameplayHintMinigame::Update()
{
    const uint32_t dt = DeltaTime::Instance() != nullptr ? DeltaTime::Instance()->GetStep() : 0;
    const float alpha = mPanelTransform.GetAlpha();
    for (TVButton* button : {mTutorialButton, mExitButton})
        if (button != nullptr)
            button->SetAlpha(alpha);
    for (const std::shared_ptr<SoundEffect>& sound :
         {mSoundMusic, mSoundIntro, mSoundOutro, mSoundShowHint})
        if (sound != nullptr)
            sound->Update(dt);
    if (mState == kOutro)
    {
        mOutroTimer += dt;
        if (mOutroTimer >= static_cast<uint32_t>(mFinaleTimeToShow))
            Finish();
    }
    return false;
}

void GameplayHintMinigame::Draw()
{
    TRenderer* renderer = TRenderer::Instance();
    const bool entered = !renderer->InBegin2d() && renderer->Begin2d();
    if (mState != kIdle)
    {
        const float alpha = mScrimTransform.GetAlpha();
        const uint32_t byte = static_cast<uint32_t>(static_cast<int32_t>(alpha * 255.0f)) & 0xFF;
        for (TColoredVertex& vertex : mScrim)
            vertex.diffuse = byte << 24;
        TVertexSet* set = TVertexSet::CreateColored(mScrim, 4);
        if (set != nullptr)
        {
            renderer->DrawIndexedVertices(kTriangleList, *set, mScrimIndices, 6);
            TVertexSet::Release(set);
        }
    }
    if (entered)
        renderer->End2d();
}

void GameplayHintMinigame::PostDraw()
{
    TRenderer* renderer = TRenderer::Instance();
    const bool entered = !renderer->InBegin2d() && renderer->Begin2d();
    if (mFinaleText != nullptr)
        mFinaleText->Draw(mFinaleSpec);
    if (entered)
        renderer->End2d();
}

void GameplayHintMinigame::Arm(const std::shared_ptr<SoundEffect>& sound)
{
    if (sound == nullptr)
        return;
    sound->mEndCallback = nullptr;
    sound->mPending = sound->GetStartDelay();
}

void GameplayHintMinigame::AddFade(TM_Transform* target, int32_t ms, float from, float to,
                                   int32_t delay, Callback* callback)
{
    TransformManager* transforms = TransformManager::Instance();
    if (transforms == nullptr)
    {
        delete callback;
        return;
    }
    auto* list = new TM_InstructionList;
    list->push_back(new TM_Alpha(Ms(ms), to, from, Ms(delay), kSmoothing));
    transforms->AddTransform(target, list, callback);
}

void GameplayHintMinigame::SetButtons(bool enabled, bool fade)
{
    for (TVButton* button : {mTutorialButton, mExitButton})
        if (button != nullptr)
            button->SetEnabled(enabled, fade);
}

bool GameplayHintMinigame::LendOverlayAsFrameTexture(TSprite& overlay, int32_t width,
                                                     int32_t height, const char* source,
                                                     int32_t line)
{
    if (overlay.GetTexture() == nullptr)
    {
        std::shared_ptr<TTexture> texture = TTexture::Create(width, height, true);
        if (texture == nullptr)
        {
            ReportError("TTexture::Create()", source, line, false);
            return false;
        }
        overlay.SetTexture(texture);
    }
    TRenderer::Instance()->SetFrameTexture(overlay.GetTexture());
    return true;
}

bool GameplayHintMinigame::PaintMaskIntoOverlay(TSprite& overlay, TSprite& mask,
                                                const TRect& bounds, const char* source,
                                                int32_t line)
{
    TRenderer* renderer = TRenderer::Instance();
    if (!renderer->BeginRenderTarget(overlay.GetTexture(), 4))
    {
        ReportError("BeginRenderTarget", source, line, false);
        return false;
    }
    const bool entered = renderer->Begin2d();
    renderer->PushClipRect(bounds);
    mask.Draw(TDrawSpec(), -1);
    renderer->PopClipRect();
    if (entered)
        renderer->End2d();
    renderer->EndDraw();
    return true;
}

uint32_t GameplayHintMinigame::Ms(int32_t ms)
{
    return static_cast<uint32_t>(std::max(ms, 0));
}

void GameplayHintMinigame::PlaceSpec(TDrawSpec& spec, float x, float y)
{
    spec.mMatrix.m[2][0] = x;
    spec.mMatrix.m[2][1] = y;
}

void GameplayHintMinigame::LoadBoardPictures(TWindowStyle& style, TSprite& background,
                                             TSprite& foreground, TSprite& timer,
                                             TSprite& timerBackground, TDrawSpec& timerPlace)
{
    background.SetTexture(TTexture::Get(style.GetString("background", ""), 0));
    PlaceSpec(background.GetSpec(), 400.0f, 300.0f);
    const TMat3& matrix = background.GetSpec().mMatrix;
    foreground.SetTexture(TTexture::Get(style.GetString("foreground", ""), 0));
    foreground.GetSpec().mMatrix = matrix;
    timer.SetTexture(TTexture::Get(style.GetString("timer", ""), 0));
    timerPlace.mMatrix = matrix;
    TDrawSpec& hand = timer.GetSpec();
    hand.mFlags |= kDrawOrigin;
    hand.mOrigin = TVec2(static_cast<float>(TextureWidth(timer) / 2),
                         static_cast<float>(style.GetNumber("timercentery", 0)));
    timerBackground.SetTexture(TTexture::Get(style.GetString("timerbackground", ""), 0));
    TDrawSpec& dial = timerBackground.GetSpec();
    dial.mMatrix = matrix;
    dial.mFlags |= kDrawOrigin;
    dial.mOrigin = TVec2(static_cast<float>(TextureWidth(timerBackground) / 2), hand.mOrigin.y);
}

void GameplayHintMinigame::LoadBoardSounds(TWindowStyle& style,
                                           std::shared_ptr<SoundEffect>& correct,
                                           std::shared_ptr<SoundEffect>& placed)
{
    for (auto [key, sound] :
         {std::pair{"soundcorrect", &correct}, std::pair{"soundplaced", &placed}})
        if (std::unique_ptr<TLuaTable> table = style.GetTableOnly(key))
            *sound = SoundEffect::Create(*table);
}

TRect GameplayHintMinigame::ReadBounds(TWindowStyle& style)
{
    const int32_t h = style.GetInt("boundsh", 0);
    const int32_t w = style.GetInt("boundsw", 0);
    const int32_t y = style.GetInt("boundsy", 0);
    const int32_t x = style.GetInt("boundsx", 0);
    return TRect(x, y, x + w, y + h);
}

void GameplayHintMinigame::StartTimerTurn(TM_Transform2D& timer, int32_t lengthMs, float rotation,
                                          void* owner, Callback::Function timeUp)
{
    if (TransformManager* transforms = TransformManager::Instance())
    {
        auto* list = new TM_InstructionList;
        list->push_back(new TM_Rotate(Ms(lengthMs), false, rotation, 0.0f, 0, 1.0f));
        transforms->AddTransform(&timer, list, new Callback(owner, timeUp));
    }
}

void GameplayHintMinigame::Notify(HintCallback*& callback)
{
    HintCallback* held = callback;
    callback = nullptr;
    if (held != nullptr)
        held->Call(nullptr, 0);
}

void GameplayHintMinigame::Start(uint32_t flag, GameplayScene* scene,
                                 const HintCallbacks& callbacks)
{
    mFlag = flag;
    mScene = scene;
    Reset();
    mCallbacks = callbacks;
    mState = kIntro;
    AddFade(&mScrimTransform, mScrimFadeTime, kFromCurrent, mScrimFadeMax, 0, nullptr);
    if (TransformManager* transforms = TransformManager::Instance())
    {
        auto* list = new TM_InstructionList;
        const uint32_t ms = Ms(mBasicFadeTime);
        list->push_back(new TM_Alpha(ms, 1.0f, kFromCurrent, 0, kSmoothing));
        list->push_back(new TM_Scale(ms, 1.0f, mBasicScaleMin, 0, kSmoothing));
        list->push_back(new TM_Move(ms, true, TVec2(0, 0), mBasicPosition, 0, kSmoothing));
        transforms->AddTransform(&mPanelTransform, list,
                                 new Callback(this, &GameplayHintMinigame::IntroDoneAdapter));
    }
    if (mTutorialButton != nullptr)
        mTutorialButton->SetEnabled(false, true);
    AddFlagBits(kWindowVisible);
    if (lua_State* L = GetWindowScriptState())
    {
        LuaBindMember(L, kShowTutorialName, this, &GameplayHintMinigame::ShowTutorial);
        LuaBindMember(L, kEndMinigameName, this, &GameplayHintMinigame::EndMinigame);
    }
    Arm(mSoundIntro);
}

void GameplayHintMinigame::OnIntroDone(int32_t)
{
    mState = kPlaying;
    SetButtons(true, true);
    Arm(mSoundMusic);
    const int index = static_cast<int>(static_cast<uint32_t>(mTutorialIndex) & 31u);
    PlayerData* player = PlayerData::Instance();
    if (player != nullptr && !player->IsTutorialShown(index))
    {
        // Marked before showing, so a missing dialog is reported once only.
        player->SetTutorialShown(index);
        ShowTutorial();
    }
}

void GameplayHintMinigame::ShowTutorial()
{
    if (mHelpDialog == nullptr)
    {
        ReportError("No tutorial to show.", kSource, 0, false);
        return;
    }
    if (mState != kPlaying)
    {
        ReportError("In bad state to show tutorial.", kSource, 0, false);
        return;
    }
    Pause();
    mHelpDialog->Show(&mTutorialClosedRecord);
    mState = kTutorial;
    SetButtons(false, true);
}

void GameplayHintMinigame::OnTutorialClosed(int32_t)
{
    mState = kPlaying;
    SetButtons(true, true);
    Resume();
}

void GameplayHintMinigame::ShowFailDialog()
{
    if (mFailDialog == nullptr)
    {
        ReportError("No fail dialog to show.", kSource, 0, false);
        OnFailDialogClosed(0);
        return;
    }
    if (mState != kPlaying)
    {
        ReportError("In bad state to show fail dialog.", kSource, 0, false);
        return;
    }
    Pause();
    mFailDialog->Show(&mFailClosedRecord);
    mState = kFailDialog;
    SetButtons(false, true);
}

void GameplayHintMinigame::OnFailDialogClosed(int32_t)
{
    Finish();
}

void GameplayHintMinigame::BeginOutro()
{
    mState = kOutro;
    AddFade(&mFinaleTransform, mFinaleFadeTime, kFromCurrent, 1.0f, 0, nullptr);
    SetButtons(false, false);
    Notify(mCallbacks.hintEarned);
    Arm(mSoundShowHint);
}

void GameplayHintMinigame::EndMinigame()
{
    if (mState == kPlaying)
        Finish();
}

void GameplayHintMinigame::StartPenalty()
{
    if (mCallbacks.crazyClick == nullptr)
        return;
    SetButtons(false, false);
    mPenalty = true;
    mCallbacks.crazyClick->Call(nullptr, 0);
}

void GameplayHintMinigame::EndPenalty()
{
    mPenalty = false;
    SetButtons(true, true);
}

void GameplayHintMinigame::Finish()
{
    AddFade(&mScrimTransform, mScrimFadeTime, kFromCurrent, 0.0f, mHideDelay, nullptr);
    if (TransformManager* transforms = TransformManager::Instance())
    {
        auto* list = new TM_InstructionList;
        const uint32_t ms = Ms(mBasicFadeTime);
        const uint32_t delay = Ms(mHideDelay);
        list->push_back(new TM_Alpha(ms, 0.0f, kFromCurrent, delay, kSmoothing));
        list->push_back(new TM_Scale(ms, mBasicScaleMin, kFromCurrent, delay, kSmoothing));
        list->push_back(new TM_Move(ms, true, mBasicPosition, kFromCurrent2, delay, kSmoothing));
        transforms->AddTransform(&mPanelTransform, list,
                                 new Callback(this, &GameplayHintMinigame::HiddenAdapter));
    }
    if (mState == kOutro)
    {
        AddFade(&mFinaleTransform, mFinaleFadeTime, kFromCurrent, 0.0f, 0, nullptr);
        Notify(mCallbacks.tokenMove);
    }
    SetButtons(false, false);
    mState = kFinishing;
    if (lua_State* L = GetWindowScriptState())
    {
        LuaUnbindMember(L, kShowTutorialName, this);
        LuaUnbindMember(L, kEndMinigameName, this);
    }
    Arm(mSoundOutro);
}

void GameplayHintMinigame::OnHidden(int32_t)
{
    mState = kIdle;
    ClearFlagBits(kWindowVisible);
    // The board's ghost view asked the renderer to keep each frame; nothing shows it now.
    if (TRenderer* renderer = TRenderer::Existing())
        renderer->SetFrameTexture(nullptr);
    Notify(mCallbacks.leave);
    // The music's track is given back, not only stopped: a location's playlist may hold the same
    // track and frees it outright when the location ends, before this window goes.
    if (mSoundMusic != nullptr)
    {
        mSoundMusic->Stop();
        mSoundMusic->Release();
    }
}

void GameplayHintMinigame::Pause()
{
    TransformManager* transforms = TransformManager::Instance();
    if (transforms != nullptr)
    {
        if (mState == kTutorial)
        {
            if (mHelpDialog != nullptr)
                transforms->PauseTransforms(&mHelpDialog->GetTransform());
        }
        else
        {
            transforms->PauseTransforms(&mScrimTransform);
            transforms->PauseTransforms(&mPanelTransform);
            transforms->PauseTransforms(&mFinaleTransform);
        }
    }
    for (const std::shared_ptr<SoundEffect>& sound :
         {mSoundMusic, mSoundIntro, mSoundOutro, mSoundShowHint})
        if (sound != nullptr)
            sound->Pause();
}

void GameplayHintMinigame::Resume()
{
    TransformManager* transforms = TransformManager::Instance();
    if (mState == kTutorial && mHelpDialog != nullptr && transforms != nullptr)
        transforms->ResumeTransforms(&mHelpDialog->GetTransform());
    // What the help or fail dialog paused stays paused until that dialog closes.
    if (IsHeldByDialog())
        return;
    if (transforms != nullptr)
    {
        transforms->ResumeTransforms(&mScrimTransform);
        transforms->ResumeTransforms(&mPanelTransform);
        transforms->ResumeTransforms(&mFinaleTransform);
    }
    for (const std::shared_ptr<SoundEffect>& sound :
         {mSoundMusic, mSoundIntro, mSoundOutro, mSoundShowHint})
        if (sound != nullptr)
            sound->Resume();
}

void GameplayHintMinigame::Reset()
{
    mSolved = false;
    mScrimTransform.SetAlpha(0.0f);
    mPanelTransform.SetAlpha(0.0f);
    mFinaleTransform.SetAlpha(0.0f);
    mOutroTimer = 0;
    if (TransformManager* transforms = TransformManager::Instance())
    {
        transforms->RemoveTransforms(&mScrimTransform);
        transforms->RemoveTransforms(&mPanelTransform);
    }
    if (mSoundMusic != nullptr)
        mSoundMusic->Stop();
}

void GameplayHintMinigame::IntroDoneAdapter(void* object, TM_Transform*, uint32_t value)
{
    static_cast<GameplayHintMinigame*>(object)->OnIntroDone(static_cast<int32_t>(value));
}

void GameplayHintMinigame::HiddenAdapter(void* object, TM_Transform*, uint32_t value)
{
    static_cast<GameplayHintMinigame*>(object)->OnHidden(static_cast<int32_t>(value));
}

void GameplayHintMinigame::TutorialClosedAdapter(void* object, TM_Transform*, uint32_t value)
{
    static_cast<GameplayHintMinigame*>(object)->OnTutorialClosed(static_cast<int32_t>(value));
}

void GameplayHintMinigame::FailClosedAdapter(void* object, TM_Transform*, uint32_t value)
{
    static_cast<GameplayHintMinigame*>(object)->OnFailDialogClosed(static_cast<int32_t>(value));
}
