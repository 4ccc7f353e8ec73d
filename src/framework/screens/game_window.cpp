// The screen base class: fades, scrim, music, pause while covered, widget enabling and the
// particle systems pop-ups hand on.
#include "framework/screens/game_window.h"

#include "framework/sound/audio_manager.h"
#include "framework/core/delta_time.h"
#include "framework/core/frame_services.h"
#include "framework/widgets/framework_button.h"
#include "framework/widgets/slider.h"
#include "framework/transforms/transform_instructions.h"
#include "framework/transforms/transform_manager.h"
#include "framework/core/window_manager.h"
#include "particles/lua_particle_system.h"
#include "render/renderer/renderer.h"
#include "render/sprites/sprite.h"
#include "render/textures/texture.h"
#include "render/renderer/vertex_set.h"
#include "script/lua_bind.h"
#include "script/script.h"
#include "script/window_script_seam.h"
#include "ui/modal_window.h"
#include "ui/window_manager.h"
#include "ui/window_style.h"

#include <algorithm>
#include <climits>
#include <cmath>

namespace
{
constexpr uint32_t kTriangleList = 4;
// The framework's fades all use its logistic curve.
constexpr float kFadeSmoothing = -0.5f;
constexpr uint32_t kAnyDepth = 0xFFFFFFFFu;
const char kFadeOutName[] = "FadeOut";

GameWindow::UIEnabler::WidgetEnabler gButtonEnabler = nullptr;

// A style's whole milliseconds: truncated, negative and NaN read as 0, too large as the most a
// u32 holds.
uint32_t ReadMilliseconds(TWindowStyle& style, const char* key, uint32_t def)
{
    double value = style.GetNumber(key, def);
    if (!(value > 0))
        return 0;
    if (value >= 4294967295.0)
        return 0xFFFFFFFFu;
    return static_cast<uint32_t>(value);
}

// Alpha 0..1 as a byte, rounded to the nearest.
uint32_t AlphaByte(float alpha)
{
    if (!(alpha > 0))
        return 0;
    if (alpha >= 1)
        return 255;
    return static_cast<uint32_t>(std::lround(alpha * 255.0f));
}

// A style's edge moved by the window's place, held inside 32 bits whatever the style said.
int32_t Offset(int32_t origin, int32_t edge)
{
    int64_t sum = static_cast<int64_t>(origin) + edge;
    return static_cast<int32_t>(std::clamp<int64_t>(sum, INT32_MIN, INT32_MAX));
}

template <void (GameWindow::*Done)()> void CallDone(void* object, TM_Transform*, uint32_t)
{
    (static_cast<GameWindow*>(object)->*Done)();
}
} // namespace

const uint16_t GameWindow::kCoverIndices[6] = {0, 1, 2, 0, 2, 3};

GameWindow::GameWindow() : mSprite(TSprite::Create(0)), mTransform(&mSprite->GetSpec())
{
    const float corners[4][2] = {
        {0, 0}, {kCoverWidth, 0}, {kCoverWidth, kCoverHeight}, {0, kCoverHeight}};
    for (int i = 0; i < 4; ++i)
        mCoverQuad[i] = CoverVertex{corners[i][0], corners[i][1], 0, 0.5f, 0, 0, 0, 0};
    mMessageListener = new MessageListener(this);
    if (TWindowManager* manager = GetWindowManager())
    {
        manager->AddMessageListener(mMessageListener);
        manager->PostMessage(new TMessage(kUserMessageBase, TString()));
    }
    else
    {
        delete mMessageListener;
        mMessageListener = nullptr;
    }
}

GameWindow::~GameWindow()
{
    if (mMusic != 0)
        if (AudioManager* audio = AudioManager::Instance())
            audio->Stop(mMusic, false);
    // The manager deletes its listeners when it goes before its windows: the listener is then
    // no longer registered and is not deleted here.
    TWindowManager* manager = GetWindowManager();
    if (mMessageListener != nullptr && manager != nullptr &&
        manager->RemoveMessageListener(mMessageListener))
        delete mMessageListener;
    mMessageListener = nullptr;
    // A script must not reach a window that is gone; a name a later window took stays its own.
    if (mFadeOutBound)
        if (lua_State* L = GetWindowScriptState())
            LuaUnbindMemberIfBound(L, kFadeOutName, this);
    mParticleSystems.clear();
}

TWindow* GameWindow::Create()
{
    return new GameWindow();
}

TClassId GameWindow::GetClassId()
{
    return reinterpret_cast<TClassId>(&GameWindow::Create);
}

void GameWindow::Init(TWindowStyle& style)
{
    TWindow::Init(style);
    mScrimAlpha = static_cast<float>(style.GetNumber("scrimalpha", 0.85));
    mScrimTime = ReadMilliseconds(style, "scrimtime", 200);
    mFadeTime = ReadMilliseconds(style, "fadetime", 250);
    mMusicFadeTime = ReadMilliseconds(style, "musicfadetime", 1000);
    mPauseMusicOnPause = style.GetBool("pausemusiconpause", false) ? 1 : 0;
    mPopChildren = style.GetBool("popchildren", false) ? 1 : 0;

    if (!style.GetBool("scrim", false))
    {
        if (!style.GetBool("fade", false))
            return;
        if (lua_State* L = GetWindowScriptState())
        {
            LuaBindMember(L, kFadeOutName, this, &GameWindow::FadeOut);
            mFadeOutBound = true;
        }
        if (style.GetBool("skipintro", false))
        {
            mTransform.SetAlpha(0);
            mState = kIdle;
            return;
        }
        mState = kFadingIn;
        mCoverActive = 1;
        StartFade(1, 0, mFadeTime, &GameWindow::OnFadeInDone);
        SetWidgetsEnabled(false);
        return;
    }

    mIsScrim = 1;
    // Scrims are not stacked: over a screen that shows one already, this window shows none. The
    // search ends at the grandparent.
    TWindow* parent = GetParent();
    TWindow* grandparent = parent != nullptr ? parent->GetParent() : nullptr;
    if (grandparent != nullptr)
    {
        TWindow* found = grandparent->FindChild("gamewindow", 1);
        if (found != nullptr && found != this && found->IsKindOf(GetClassId()) &&
            static_cast<GameWindow*>(found)->mIsScrim != 0)
        {
            mIsScrim = 0;
            return;
        }
    }

    TString image = style.GetString("scrimimage", "");
    if (image.Length() != 0)
    {
        mSprite->SetTexture(TTexture::Get(image, 0));
        const TRect& rect = GetRect();
        uint32_t width = static_cast<uint32_t>(rect.right) - static_cast<uint32_t>(rect.left);
        uint32_t height = static_cast<uint32_t>(rect.bottom) - static_cast<uint32_t>(rect.top);
        mTransform.SetX(static_cast<float>(width / 2));
        mTransform.SetY(static_cast<float>(height / 2));
    }
    else
    {
        mScrimRect.left = style.GetInt("scrimleft", 0);
        mScrimRect.top = style.GetInt("scrimtop", 0);
        mScrimRect.right = style.GetInt("scrimright", 0);
        mScrimRect.bottom = style.GetInt("scrimbottom", 0);
        mHasScrimRect = mScrimRect.right != mScrimRect.left && mScrimRect.bottom != mScrimRect.top;
    }

    if (style.GetBool("skipintro", false))
    {
        mTransform.SetAlpha(mScrimAlpha);
        mState = kIdle;
        return;
    }
    mState = kScrimFadingIn;
    mTransform.SetAlpha(0);
    StartFade(0, mScrimAlpha, mScrimTime, &GameWindow::OnScrimInDone);
}

void GameWindow::PostInit(TWindowStyle& style)
{
    TWindow::PostInit(style);
    // The children exist only now: the ones a fading screen declares stay disabled until its
    // fade-in ends.
    if (mState == kFadingIn)
        SetWidgetsEnabled(false);
    PlayMusic(style.GetString("music", ""));
    if (DeltaTime* clock = DeltaTime::Instance())
    {
        clock->SkipNext();
        clock->SetStep(0);
        if (WindowManager* frames = WindowManager::Instance())
            clock->SetFrameTime(frames->GetTime());
    }
}

void GameWindow::PlayMusic(const TString& name)
{
    AudioManager* audio = AudioManager::Instance();
    if (name.Length() == 0 || audio == nullptr)
        return;
    if (audio->GetSoundState(name) == SoundEntry::kPlaying)
        return;
    // The handle this window holds; a second play of the same music only adds a reference.
    if (mMusic != 0)
        audio->Stop(mMusic, false);
    mMusic = audio->Play(name, true);
    if (audio->GetSoundState(name) == SoundEntry::kPaused)
    {
        mMusicStopped = 0;
        audio->FadeIn(mMusic, mFadeTime);
    }
    else if (mMusicStopped != 0 && mMusic != 0)
    {
        mMusicStopped = 0;
        audio->PlayWithCallback(mMusic, new SoundFade(mMusicFadeTime, 0, 0, 1),
                                new SoundFade(mMusicFadeTime, SoundFade::kAtEnd, 1, 0),
                                new SoundPlayRecord(true, nullptr, 0));
    }
}

void GameWindow::FadeOutMusic()
{
    if (mMusicStopped != 0 || mMusic == 0)
        return;
    mMusicStopped = 1;
    if (AudioManager* audio = AudioManager::Instance())
        audio->FadeOut(mMusic, mFadeTime);
}

void GameWindow::StartFade(float from, float to, uint32_t ms, void (GameWindow::*done)())
{
    TransformManager* transforms = TransformManager::Instance();
    if (transforms == nullptr)
    {
        // Nothing would ever run the fade: it ends at once.
        mTransform.SetAlpha(to);
        (this->*done)();
        return;
    }
    Callback::Function call = nullptr;
    if (done == &GameWindow::OnFadeInDone)
        call = &CallDone<&GameWindow::OnFadeInDone>;
    else if (done == &GameWindow::OnFadeOutDone)
        call = &CallDone<&GameWindow::OnFadeOutDone>;
    else if (done == &GameWindow::OnScrimInDone)
        call = &CallDone<&GameWindow::OnScrimInDone>;
    else
        call = &CallDone<&GameWindow::OnScrimOutDone>;
    auto* list = new TM_InstructionList;
    list->push_back(new TM_Alpha(ms, to, from, 0, kFadeSmoothing));
    transforms->AddTransform(&mTransform, list, new Callback(this, call), nullptr);
}

void GameWindow::SetWidgetsEnabled(bool enable)
{
    mUIEnabler.mEnable = enable ? 1 : 0;
    VisitChildren(mUIEnabler, false);
}

void GameWindow::Pause()
{
    if (mPauseMusicOnPause != 0 && mMusic != 0)
        if (AudioManager* audio = AudioManager::Instance())
            audio->Pause(mMusic);
    if (TransformManager* transforms = TransformManager::Instance())
        transforms->PauseTransforms(&mTransform);
}

void GameWindow::Resume()
{
    if (mPauseMusicOnPause != 0 && mMusic != 0)
        if (AudioManager* audio = AudioManager::Instance())
            audio->Resume(mMusic);
    if (TransformManager* transforms = TransformManager::Instance())
        transforms->ResumeTransforms(&mTransform);
}

void GameWindow::FadeOut(const TString& script)
{
    if (mState == kIdle)
    {
        mState = kFadingOut;
        mCoverActive = 1;
        StartFade(0, 1, mFadeTime, &GameWindow::OnFadeOutDone);
        SetWidgetsEnabled(false);
        FadeOutMusic();
    }
    mCloseScript = script;
}

void GameWindow::CloseScrim(const TString& script)
{
    if (mState != kIdle)
        return;
    mState = kClosing;
    mCloseScript = script;
    FadeOutMusic();
    if (mIsScrim != 0)
        StartFade(kFromCurrent, 0, mScrimTime, &GameWindow::OnScrimOutDone);
    else
        OnScrimOutDone();
}

void GameWindow::OnScrimInDone()
{
    mState = kIdle;
}

void GameWindow::OnScrimOutDone()
{
    mState = kIdle;
}

void GameWindow::OnFadeInDone()
{
    mState = kIdle;
    SetWidgetsEnabled(true);
}

void GameWindow::OnFadeOutDone()
{
    if (mCloseScript.Length() != 0)
    {
        mState = kClosePending;
        mClosePending = 1;
    }
    else
    {
        mState = kIdle;
    }
}

bool GameWindow::Animate()
{
    if (mCovered != 0)
        return true;
    if (mClosePending != 0 && mState == kClosePending)
    {
        if (mPopChildren == 0)
        {
            mClosePending = 0;
            OnClose();
            // Copied: the script may replace this window's script or end the window.
            TString script = mCloseScript;
            if (TScript* windowScript = GetWindowScript())
                windowScript->DoLuaString(script);
        }
        else
        {
            // The children go one frame before the script runs.
            mPopChildren = 0;
            DeleteChildren();
        }
    }
    uint32_t step = DeltaTime::Instance() != nullptr ? DeltaTime::Instance()->GetStep() : 0;
    for (auto it = mParticleSystems.begin(); it != mParticleSystems.end();)
    {
        it->first->Update(static_cast<int32_t>(step));
        if (it->first->GetParticleCount() == 0)
            it = mParticleSystems.erase(it);
        else
            ++it;
    }
    return true;
}

void GameWindow::Draw()
{
    if (mIsScrim == 0)
        return;
    TRenderer* renderer = TRenderer::Existing();
    if (renderer == nullptr)
        return;
    bool entered = !renderer->InBegin2d() && renderer->Begin2d();
    if (mHasScrimRect != 0)
    {
        // The rectangle is in the window's own coordinates and stays inside the window's clip.
        TRect screen = GetScreenRect();
        TRect rect(Offset(screen.left, mScrimRect.left), Offset(screen.top, mScrimRect.top),
                   Offset(screen.left, mScrimRect.right), Offset(screen.top, mScrimRect.bottom));
        TRect clip;
        clip.SetIntersection(renderer->GetClipRect(), rect);
        renderer->PushClipRect(clip);
    }
    if (!mSprite->GetTexture())
    {
        uint32_t diffuse = AlphaByte(mTransform.GetAlpha()) << 24;
        for (CoverVertex& vertex : mCoverQuad)
            vertex.diffuse = diffuse;
        renderer->SetTexture(nullptr);
        TVertexSet* set = TVertexSet::CreateColored(mCoverQuad, 4);
        renderer->DrawIndexedVertices(kTriangleList, *set, kCoverIndices, 6);
        TVertexSet::Release(set);
    }
    else
    {
        mSprite->Draw(TDrawSpec());
    }
    if (entered)
        renderer->End2d();
    if (mHasScrimRect != 0)
        renderer->PopClipRect();
}

void GameWindow::PostDraw()
{
    TRenderer* renderer = TRenderer::Existing();
    if (renderer == nullptr)
        return;
    uint32_t alpha = AlphaByte(mTransform.GetAlpha());
    bool wasIn2d = renderer->InBegin2d();
    if (wasIn2d)
        renderer->End2d();
    if (!renderer->Begin2d())
        return;
    if (mCoverActive != 0 && alpha != 0)
    {
        for (CoverVertex& vertex : mCoverQuad)
            vertex.diffuse = alpha << 24;
        renderer->SetTexture(nullptr);
        TVertexSet* set = TVertexSet::CreateColored(mCoverQuad, 4);
        renderer->DrawIndexedVertices(kTriangleList, *set, kCoverIndices, 6);
        TVertexSet::Release(set);
    }
    for (auto& entry : mParticleSystems)
        entry.first->Draw(TVec3(0, 0, 0));
    renderer->End2d();
    if (wasIn2d)
        renderer->Begin2d();
}

void GameWindow::OnModalPopped()
{
    // Nothing to hand over: no search and no report.
    if (mParticleSystems.empty())
        return;
    TWindowManager* manager = GetWindowManager();
    TModalWindow* top = manager != nullptr ? manager->GetTopModal() : nullptr;
    if (top != nullptr && top->IsKindOf(TScreen::GetClassId()))
        return;
    TWindow* found = top != nullptr ? top->FindChild("gamewindow", kAnyDepth) : nullptr;
    if (found == nullptr || !found->IsKindOf(GetClassId()))
    {
        ReportError("Cannot find gamewindow!", "gamewindow", 349, false);
        return;
    }
    auto* screen = static_cast<GameWindow*>(found);
    for (auto& entry : mParticleSystems)
        screen->AddParticleSystem(entry.first, entry.second);
}

void GameWindow::AddParticleSystem(const std::shared_ptr<TLuaParticleSystem>& system,
                                   const ParticleFunctions& functions)
{
    if (system != nullptr)
        mParticleSystems.emplace(system, functions);
}

bool GameWindow::IsOnDeliveryPath() const
{
    TWindowManager* manager = GetWindowManager();
    if (manager == nullptr)
        return false;
    TWindow* target = manager->GetFocus() != nullptr
                          ? manager->GetFocus()
                          : static_cast<TWindow*>(manager->GetTopModal());
    // The same walk as the window's message delivery: up to the first modal window, then that
    // modal's focus window.
    for (TWindow* w = target; w != nullptr; w = w->GetParent())
    {
        if (w == this)
            return true;
        if ((w->GetFlags() & kWindowModal) == 0)
            continue;
        return w->IsKindOf(TModalWindow::GetClassId()) &&
               static_cast<TModalWindow*>(w)->GetFocusWindow() == this;
    }
    return false;
}

void GameWindow::CheckCovered()
{
    TWindowManager* manager = GetWindowManager();
    TModalWindow* modal = FindModalParent();
    bool covered = modal != nullptr && manager != nullptr && modal != manager->GetTopModal();
    if (covered == (mCovered != 0))
        return;
    mCovered = covered ? 1 : 0;
    if (covered)
        Pause();
    else
        Resume();
}

bool GameWindow::MessageListener::OnMessage(TMessage* message)
{
    if (message->mType == kModalClosed || message->mType == kUserMessageBase)
        mWindow->CheckCovered();
    else if (!mWindow->IsOnDeliveryPath())
        mWindow->OnMessage(message);
    return false;
}

void GameWindow::UIEnabler::SetButtonEnabler(WidgetEnabler enabler)
{
    gButtonEnabler = enabler;
}

bool GameWindow::UIEnabler::Visit(TWindow* window)
{
    if (gButtonEnabler != nullptr)
        gButtonEnabler(window, mEnable != 0);
    else if (window->IsKindOf(TVButton::GetClassId()))
        static_cast<TVButton*>(window)->SetEnabled(mEnable != 0, true);
    else if (window->IsKindOf(Slider::GetClassId()))
        static_cast<Slider*>(window)->SetDisabled(mEnable == 0);
    window->VisitChildren(*this, false);
    return true;
}
