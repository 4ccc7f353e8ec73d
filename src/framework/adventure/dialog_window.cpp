// The animated dialog: its style, the drop-overshoot-settle entry and the fly-out exit on the
// transform manager, the fade over its siblings, the return statement, the pause listener and
// the particle effect that follows it and is handed to the screen beneath when it goes.
#include "framework/adventure/dialog_window.h"

#include "framework/widgets/animated_bitmap.h"
#include "framework/sound/audio_manager.h"
#include "framework/core/delta_time.h"
#include "framework/core/frame_services.h"
#include "framework/widgets/framework_button.h"
#include "framework/screens/game_window.h"
#include "framework/widgets/slider.h"
#include "framework/transforms/transform_instructions.h"
#include "framework/transforms/transform_manager.h"
#include "particles/lua_particle_system.h"
#include "render/renderer/renderer.h"
#include "render/sprites/sprite.h"
#include "render/textures/texture.h"
#include "script/lauxlib.h"
#include "script/lua_bind.h"
#include "script/lua_object_wrapper.h"
#include "script/script.h"
#include "script/window_script_seam.h"
#include "ui/image.h"
#include "ui/modal_window.h"
#include "ui/text_window.h"
#include "ui/window_manager.h"
#include "ui/window_style.h"

#include <cmath>
#include <memory>

namespace
{
const char kSourceName[] = "dialogwindow";
const char kWindowReturnName[] = "WindowReturn";
// The framework's moves and fades all use its logistic curve.
constexpr float kSmoothing = -0.5f;
constexpr uint32_t kAnyDepth = 0xFFFFFFFFu;

// A timing key of the "transform" table in whole milliseconds: truncated toward zero; negative,
// NaN and absurd values read as nothing (0) or the most an int holds.
int32_t ReadMilliseconds(const TLuaTable& table, const char* key)
{
    double value = table.GetNumber(key, 0);
    if (!(value > 0))
        return 0;
    if (value >= 2147483647.0)
        return 2147483647;
    return static_cast<int32_t>(value);
}

uint32_t Duration(int32_t ms)
{
    return ms > 0 ? static_cast<uint32_t>(ms) : 0;
}

// A coordinate as the window takes it: truncated toward zero, held inside 32 bits.
int32_t Truncate(float value)
{
    if (std::isnan(value))
        return 0;
    if (value >= 2147483520.0f)
        return 2147483520;
    if (value <= -2147483520.0f)
        return -2147483520;
    return static_cast<int32_t>(value);
}

// Where the framework's own widgets take the fade: the button its alpha, the slider its draw
// spec's.
void ApplyWidgetAlpha(TWindow* window, float alpha, TClassId buttonId, TClassId sliderId)
{
    if (window->IsKindOf(buttonId))
        static_cast<TVButton*>(window)->SetAlpha(alpha);
    else if (window->IsKindOf(sliderId))
        static_cast<Slider*>(window)->GetSpec().mAlpha = alpha;
}
} // namespace

// The callbacks are protected members; these reach them for the transform manager.
struct DialogWindowCallbacks
{
    static void EnterDone(void* object, TM_Transform*, uint32_t)
    {
        static_cast<DialogWindow*>(object)->OnEnterDone();
    }
    static void ExitDone(void* object, TM_Transform*, uint32_t)
    {
        static_cast<DialogWindow*>(object)->OnExitDone();
    }
};

DialogWindow::DialogWindow() : mTransform(&mDrawSpec), mSprite(TSprite::Create(0))
{
    BindWindowReturn();
    TWindowManager* manager = GetWindowManager();
    if (manager == nullptr)
    {
        ReportError("ERROR: Unable to create ExitMessage().", kSourceName, 41, true);
        return;
    }
    mListener = new MessageListener(this);
    manager->AddMessageListener(mListener);
}

DialogWindow::~DialogWindow()
{
    // The manager deletes its listeners when it goes before its windows: the listener is then no
    // longer registered and is not deleted here.
    TWindowManager* manager = GetWindowManager();
    if (mListener != nullptr && manager != nullptr && manager->RemoveMessageListener(mListener))
        delete mListener;
    mListener = nullptr;
    if (AudioManager* audio = AudioManager::Instance())
    {
        if (mSoundIn != 0)
            audio->Stop(mSoundIn, false);
        if (mSoundOut != 0)
            audio->Stop(mSoundOut, false);
    }
    // A script must not reach a dialog that is gone; a name a later dialog took stays its own.
    if (lua_State* L = GetWindowScriptState())
        LuaUnbindMemberIfBound(L, kWindowReturnName, this);
    mParticleOffsets.clear();
    mPreviousPosition.clear();
    mWidth.clear();
    mLocus.clear();
    mParticles.reset();
    mBitmaps.clear();
    mSprite.reset();
    if (TransformManager* transforms = TransformManager::Instance())
        transforms->RemoveTransforms(&mTransform);
}

TWindow* DialogWindow::Create()
{
    return new DialogWindow();
}

TClassId DialogWindow::GetClassId()
{
    return reinterpret_cast<TClassId>(&DialogWindow::Create);
}

void DialogWindow::BindWindowReturn()
{
    if (lua_State* L = GetWindowScriptState())
        LuaBindMember(L, kWindowReturnName, this, &DialogWindow::Close);
}

void DialogWindow::Init(TWindowStyle& style)
{
    TWindow::Init(style);
    std::unique_ptr<TLuaTable> transform = style.GetTableOnly("transform");
    if (transform == nullptr)
    {
        ReportError("ERROR: No transform table in DialogWindow", kSourceName, 77, true);
        return;
    }

    std::shared_ptr<TTexture> texture =
        TTexture::Get(style.GetString("image", "dialogs/dialog"), 0);
    if (texture != nullptr)
    {
        SetSize(static_cast<int32_t>(texture->GetWidth()),
                static_cast<int32_t>(texture->GetHeight()));
        SetImage(0, 0, texture);
    }

    mTimeEnter = ReadMilliseconds(*transform, "timeenter");
    mTimeEnterBounce = ReadMilliseconds(*transform, "timeenterbounce");
    mTimeExit = ReadMilliseconds(*transform, "timeexit");
    mMoveEnterBounce = static_cast<float>(transform->GetNumber("moveenterbounce", 0));
    if (!std::isfinite(mMoveEnterBounce))
        mMoveEnterBounce = 0;

    if (AudioManager* audio = AudioManager::Instance())
    {
        TString in = style.GetString("soundin", "");
        if (in.Length() != 0)
            mSoundIn = audio->Play(in, false);
        TString out = style.GetString("soundout", "");
        if (out.Length() != 0)
            mSoundOut = audio->Play(out, false);
    }

    std::unique_ptr<TLuaTable> particles = style.GetTableOnly("particles");
    if (particles != nullptr)
    {
        TString script = style.GetString("particlescript", "");
        auto system = std::make_shared<TLuaParticleSystem>();
        auto locus = std::make_shared<ParticleVector>();
        auto width = std::make_shared<ParticleVector>();
        auto previous = std::make_shared<ParticleVector>();
        float x = static_cast<float>(particles->GetNumberAt(1, 0));
        float y = static_cast<float>(particles->GetNumberAt(2, 0));
        locus->mWidth = previous->mWidth = 2;
        locus->mValue[0] = previous->mValue[0] = x;
        locus->mValue[1] = previous->mValue[1] = y;
        width->mWidth = 1;
        width->mValue[0] = static_cast<float>(particles->GetNumberAt(3, 0));
        system->RegisterFunction("dLocus", locus.get());
        system->RegisterFunction("dWidth", width.get());
        system->RegisterFunction("dPreviousPosition", previous.get());
        system->Load(script);
        mParticleOffsets.push_back(TVec2(x, y));
        mParticles = system;
        mLocus.push_back(locus);
        mWidth.push_back(width);
        mPreviousPosition.push_back(previous);
    }

    std::unique_ptr<TLuaTable> bitmaps = style.GetTableOnly("bitmaps");
    if (bitmaps != nullptr)
    {
        TLuaObjectWrapper* key = nullptr;
        while (TLuaTable* value = bitmaps->Next(&key))
        {
            std::unique_ptr<TLuaTable> entry(value);
            lua_State* L = entry->GetState();
            entry->Push();
            bool isTable = lua_istable(L, -1);
            lua_pop(L, 1);
            if (isTable)
                if (std::shared_ptr<AnimatedBitmap> bitmap = AnimatedBitmap::Create(*entry))
                    mBitmaps.push_back(bitmap);
        }
    }
}

void DialogWindow::PostInit(TWindowStyle& style)
{
    TWindow::PostInit(style);
    if (style.GetBool("skipintro", false))
    {
        mState = kShown;
        return;
    }
    StartEnter();
}

void DialogWindow::SetImage(float offsetX, float offsetY, const std::shared_ptr<TTexture>& texture)
{
    mSprite->SetTexture(texture);
    TDrawSpec& spec = mSprite->GetSpec();
    const TRect& rect = GetRect();
    float width = static_cast<float>(rect.right - rect.left);
    float height = static_cast<float>(rect.bottom - rect.top);
    spec.mMatrix.m[2][0] = std::floor(width * 0.5f) + offsetX;
    spec.mMatrix.m[2][1] = std::floor(height * 0.5f) + offsetY;
    uint32_t textureWidth = texture != nullptr ? texture->GetWidth() : 0;
    uint32_t textureHeight = texture != nullptr ? texture->GetHeight() : 0;
    spec.mOrigin = TVec2(std::floor(textureWidth * 0.5f), std::floor(textureHeight * 0.5f));
    spec.mFlags |= kDrawOrigin;
}

GameWindow* DialogWindow::FindEnclosingScreen() const
{
    for (TWindow* window = GetParent(); window != nullptr; window = window->GetParent())
        if (window->IsKindOf(GameWindow::GetClassId()))
            return static_cast<GameWindow*>(window);
    return nullptr;
}

void DialogWindow::RunInParticleScript(const char* statement)
{
    if (mParticles != nullptr && mParticles->GetScript() != nullptr)
        mParticles->GetScript()->DoLuaString(statement);
}

void DialogWindow::StartEnter()
{
    const std::shared_ptr<TTexture>& texture = mSprite->GetTexture();
    float above = -static_cast<float>(texture != nullptr ? texture->GetHeight() : 0u);
    float x = static_cast<float>(GetRect().left);
    float y = static_cast<float>(GetRect().top);

    auto* drop = new TM_InstructionList;
    mTransform.SetAlpha(0);
    mState = kEntering;
    mTransform.SetX(x);
    mTransform.SetY(above);
    TVec2 overshoot(x, y + mMoveEnterBounce);
    drop->push_back(
        new TM_Move(Duration(mTimeEnter), true, overshoot, TVec2(x, above), 0, kSmoothing));
    drop->push_back(new TM_Alpha(Duration(mTimeEnter), 1.0f, kFromCurrent, 0, kSmoothing));
    auto* settle = new TM_InstructionList;
    settle->push_back(
        new TM_Move(Duration(mTimeEnterBounce), true, TVec2(x, y), overshoot, 0, kSmoothing));
    if (TransformManager* transforms = TransformManager::Instance())
    {
        uint32_t id = transforms->AddTransform(
            &mTransform, drop, nullptr, new Callback(this, &DialogWindowCallbacks::EnterDone));
        transforms->FindTransform(id, settle);
    }
    else
    {
        // Nothing would ever run the entry: it ends at once.
        delete drop;
        delete settle;
        mTransform.SetX(x);
        mTransform.SetY(y);
        mTransform.SetAlpha(1);
    }
    SetPosition(Truncate(mTransform.GetX()), Truncate(mTransform.GetY()));

    if (mSoundIn != 0)
        if (AudioManager* audio = AudioManager::Instance())
            audio->PlayIndex(mSoundIn);
    if (GameWindow* screen = FindEnclosingScreen())
        screen->SetWidgetsEnabled(false);
    RunInParticleScript("gEmit = 1;");
    if (TransformManager::Instance() == nullptr)
        OnEnterDone();
}

void DialogWindow::OnEnterDone()
{
    if (GameWindow* screen = FindEnclosingScreen())
        screen->SetWidgetsEnabled(true);
    mState = kShown;
    RunInParticleScript("gEmit = 0;");
    FollowTransform();
}

void DialogWindow::Close(const TString& value)
{
    // The same answer again while leaving is the answer already given (a key pressed twice on
    // the button that gave it, which the mouse finds disabled by then): the exit is not started
    // over, which would hold what comes next back by a whole exit.
    if (mState == kExiting && value == mReturnValue)
        return;
    mReturnValue = value;
    StartExit();
}

void DialogWindow::StartExit()
{
    const std::shared_ptr<TTexture>& texture = mSprite->GetTexture();
    float above = -static_cast<float>(texture != nullptr ? texture->GetHeight() : 0u);
    float x = static_cast<float>(GetRect().left);
    float y = static_cast<float>(GetRect().top);

    auto* flyOut = new TM_InstructionList;
    GameWindow* screen = FindEnclosingScreen();
    mState = kExiting;
    mTransform.SetX(x);
    mTransform.SetY(y);
    flyOut->push_back(
        new TM_Move(Duration(mTimeExit), true, TVec2(x, above), TVec2(x, y), 0, kSmoothing));
    flyOut->push_back(new TM_Alpha(Duration(mTimeExit), 0.0f, 1.0f, 0, kSmoothing));
    TransformManager* transforms = TransformManager::Instance();
    // An entry or exit still running would call back into the new exit: its end would show the
    // dialog again halfway out, or run the return statement a second time.
    if (transforms != nullptr)
    {
        transforms->RemoveTransforms(&mTransform);
        transforms->AddTransform(&mTransform, flyOut, nullptr,
                                 new Callback(this, &DialogWindowCallbacks::ExitDone));
    }
    else
    {
        delete flyOut;
    }
    if (screen != nullptr)
        screen->CloseScrim(TString());
    if (mSoundOut != 0)
        if (AudioManager* audio = AudioManager::Instance())
            audio->PlayIndex(mSoundOut);
    if (screen != nullptr)
        screen->SetWidgetsEnabled(false);
    RunInParticleScript("gEmit = 1;");
    if (transforms == nullptr)
        OnExitDone();
}

TString DialogWindow::QuoteForScript(const TString& value)
{
    TString quoted;
    for (const char* c = value.c_str(); *c != '\0'; ++c)
    {
        unsigned char byte = static_cast<unsigned char>(*c);
        if (byte == '\\' || byte == '\'')
        {
            quoted += '\\';
            quoted += *c;
        }
        else if (byte < 0x20 || byte == 0x7F)
        {
            // Always three digits, so a digit after it is not read as part of the escape.
            quoted += TString::Format("\\%03u", static_cast<unsigned>(byte));
        }
        else
        {
            quoted += *c;
        }
    }
    return quoted;
}

void DialogWindow::OnExitDone()
{
    if (GameWindow* screen = FindEnclosingScreen())
        screen->SetWidgetsEnabled(true);
    TString statement = TString::Format("ModalReturn( '%s' ); CloseWindow();",
                                        QuoteForScript(mReturnValue).c_str());
    if (TScript* script = GetWindowScript())
        script->DoLuaString(statement);
}

void DialogWindow::Pause()
{
    for (const std::shared_ptr<AnimatedBitmap>& bitmap : mBitmaps)
        bitmap->Pause();
    mPaused = true;
    if (TransformManager* transforms = TransformManager::Instance())
        transforms->PauseTransforms(&mTransform);
}

void DialogWindow::Resume()
{
    for (const std::shared_ptr<AnimatedBitmap>& bitmap : mBitmaps)
        bitmap->Resume();
    mPaused = false;
    if (TransformManager* transforms = TransformManager::Instance())
        transforms->ResumeTransforms(&mTransform);
}

void DialogWindow::FollowTransform()
{
    SetPosition(Truncate(mTransform.GetX()), Truncate(mTransform.GetY()));
    mFade.mAlpha = mTransform.GetAlpha();
    if (TWindow* parent = GetParent())
        parent->VisitChildren(mFade, false);
}

bool DialogWindow::Update()
{
    if (mPaused)
        return false;
    if (mState == kEntering || mState == kExiting)
        FollowTransform();
    for (size_t i = 0; i < mLocus.size(); ++i)
    {
        for (int c = 0; c < 4; ++c)
            mPreviousPosition[i]->mValue[c] = mLocus[i]->mValue[c];
        mLocus[i]->mValue[0] = mTransform.GetX() + mParticleOffsets[i].x;
        mLocus[i]->mValue[1] = mTransform.GetY() + mParticleOffsets[i].y;
    }
    if (mParticles != nullptr)
    {
        DeltaTime* clock = DeltaTime::Instance();
        mParticles->Update(static_cast<int32_t>(clock != nullptr ? clock->GetStep() : 0));
    }
    for (const std::shared_ptr<AnimatedBitmap>& bitmap : mBitmaps)
        bitmap->Update();
    return false;
}

void DialogWindow::Draw()
{
    TRenderer* renderer = TRenderer::Existing();
    if (renderer == nullptr)
        return;
    bool entered = !renderer->InBegin2d() && renderer->Begin2d();
    mSprite->Draw(TDrawSpec(), -1);
    for (const std::shared_ptr<AnimatedBitmap>& bitmap : mBitmaps)
        bitmap->Draw(TDrawSpec());
    if (entered)
        renderer->End2d();
}

void DialogWindow::PostDraw()
{
    TRenderer* renderer = TRenderer::Existing();
    if (mParticles != nullptr && renderer != nullptr)
    {
        bool entered = !renderer->InBegin2d() && renderer->Begin2d();
        TRect clip = renderer->GetClipRect();
        TRect viewport = renderer->GetViewport();
        renderer->PopClipRect();
        renderer->PopViewport();
        mParticles->Draw(TVec3(0, 0, 0));
        renderer->PushClipRect(clip);
        renderer->PushViewport(viewport);
        if (entered)
            renderer->End2d();
    }
    TWindow::PostDraw();
}

void DialogWindow::OnModalPopped()
{
    if (mParticles == nullptr)
        return;
    TWindowManager* manager = GetWindowManager();
    TModalWindow* top = manager != nullptr ? manager->GetTopModal() : nullptr;
    if (top != nullptr && !top->IsKindOf(TScreen::GetClassId()))
    {
        TWindow* found = top->FindChild("gamewindow", kAnyDepth);
        if (found == nullptr || !found->IsKindOf(GameWindow::GetClassId()))
        {
            ReportError("Cannot find gamewindow!", kSourceName, 343, false);
            return;
        }
        GameWindow::ParticleFunctions functions;
        functions.insert(functions.end(), mWidth.begin(), mWidth.end());
        functions.insert(functions.end(), mLocus.begin(), mLocus.end());
        functions.insert(functions.end(), mPreviousPosition.begin(), mPreviousPosition.end());
        static_cast<GameWindow*>(found)->AddParticleSystem(mParticles, functions);
    }
    RunInParticleScript("gEmit = 0;");
}

DialogWindow::WindowFade::WindowFade()
    : mTextId(TText::GetClassId()), mImageId(TImage::GetClassId()),
      mDialogId(DialogWindow::GetClassId()), mButtonId(TVButton::GetClassId()),
      mSliderId(Slider::GetClassId())
{
}

bool DialogWindow::WindowFade::Visit(TWindow* window)
{
    // The fade runs over whole screens every frame: the kinds are tested most common first, and
    // a window is of one of these kinds at most (none derives from another).
    if (window->IsKindOf(mImageId))
        static_cast<TImage*>(window)->SetAlpha(mAlpha);
    else if (window->IsKindOf(mTextId))
        static_cast<TText*>(window)->SetAlpha(mAlpha);
    else if (window->IsKindOf(mDialogId))
        static_cast<DialogWindow*>(window)->mSprite->GetSpec().mAlpha = mAlpha;
    else
        ApplyWidgetAlpha(window, mAlpha, mButtonId, mSliderId);
    window->VisitChildren(*this, false);
    return true;
}

bool DialogWindow::MessageListener::OnMessage(TMessage* message)
{
    TWindowManager* manager = GetWindowManager();
    if (manager == nullptr)
        return false;
    bool ownOnTop = manager->GetTopModal() == mOwner->FindModalParent();
    if (message->mType == kModalClosed && ownOnTop)
    {
        mOwner->Resume();
        mOwner->BindWindowReturn();
    }
    else if (message->mType == kUserMessageBase && !ownOnTop)
    {
        mOwner->Pause();
    }
    return false;
}
