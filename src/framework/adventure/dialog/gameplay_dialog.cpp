// The in-scene message box: its style, the fades in and out, "HideDialog", and the handler that
// passes its alpha and enabled state to every descendant each frame.
#include "framework/adventure/dialog/gameplay_dialog.h"

#include "framework/transforms/transform_instructions.h"
#include "framework/transforms/transform_manager.h"
#include "framework/widgets/animated_bitmap.h"
#include "framework/widgets/animated_bitmap_window.h"
#include "framework/widgets/framework_button.h"
#include "framework/widgets/text_object.h"
#include "render/renderer/renderer.h"
#include "render/sprites/sprite.h"
#include "render/textures/texture.h"
#include "script/lua_bind.h"
#include "script/lua_object_wrapper.h"
#include "script/window_script_seam.h"
#include "ui/text_window.h"
#include "ui/window_style.h"

#include <algorithm>

namespace
{

const char kHideDialogName[] = "HideDialog";

} // namespace

bool GameplayDialog::ChildHandler::Visit(TWindow* window)
{
    if (window->IsKindOf(TVButton::GetClassId()))
    {
        auto* button = static_cast<TVButton*>(window);
        button->SetEnabled(mEnabled, true);
        button->SetAlpha(mAlpha);
    }
    else if (window->IsKindOf(TText::GetClassId()))
    {
        static_cast<TText*>(window)->SetAlpha(mAlpha);
    }
    else if (window->IsKindOf(AnimatedBitmapWindow::GetClassId()))
    {
        if (const std::shared_ptr<AnimatedBitmap>& bitmap =
                static_cast<AnimatedBitmapWindow*>(window)->GetBitmap())
            bitmap->GetTransform().SetAlpha(mAlpha);
    }
    window->VisitChildren(*this, false);
    return true;
}

GameplayDialog::GameplayDialog() : mSprite(TSprite::Create(0)), mTransform(&mSprite->GetSpec())
{
    mTransform.SetAlpha(0.0f);
}

GameplayDialog::~GameplayDialog()
{
    // Another box in the same window may have taken the name since; it keeps it.
    if (lua_State* L = GetWindowScriptState())
        LuaUnbindMemberIfBound(L, kHideDialogName, this);
    if (TransformManager* transforms = TransformManager::Instance())
        transforms->RemoveTransforms(&mTransform);
    mTextObject.reset();
    mSprite.reset();
}

TWindow* GameplayDialog::Create()
{
    return new GameplayDialog();
}

TClassId GameplayDialog::GetClassId()
{
    return reinterpret_cast<TClassId>(&GameplayDialog::Create);
}

void GameplayDialog::Init(TWindowStyle& style)
{
    std::unique_ptr<TLuaTable> text = style.GetTableOnly("text");
    if (text != nullptr)
    {
        mTextObject = TextObject::Create(*text);
        mTextObject->SetText(style.GetString("string", ""));
    }
    mTimeFade = style.GetInt("timefade", 0);
    std::shared_ptr<TTexture> texture = TTexture::Get(style.GetString("image", ""), 0);
    mSprite->SetTexture(texture);
    const uint32_t width = texture != nullptr ? texture->GetWidth() : 0;
    const uint32_t height = texture != nullptr ? texture->GetHeight() : 0;
    const uint32_t halfWidth = width / 2;
    const uint32_t halfHeight = height / 2;
    TDrawSpec& spec = mSprite->GetSpec();
    spec.mFlags |= kDrawOrigin;
    spec.mOrigin = TVec2(static_cast<float>(halfWidth), static_cast<float>(halfHeight));
    const float imageX = static_cast<float>(style.GetNumber("imagex", 0));
    const float imageY = static_cast<float>(style.GetNumber("imagey", 0));
    mTransform.SetPosition(imageX + static_cast<float>(halfWidth),
                           imageY + static_cast<float>(halfHeight), 1.0f);
    const float textX = static_cast<float>(style.GetNumber("textx", 0));
    const float textY = static_cast<float>(style.GetNumber("texty", 0));
    if (mTextObject != nullptr && mTextObject->GetTransform() != nullptr)
        mTextObject->GetTransform()->SetPosition(textX, textY, 1.0f);
    SetSize(static_cast<int32_t>(width), static_cast<int32_t>(height));
    ClearFlagBits(kWindowVisible);
    TWindow::Init(style);
}

void GameplayDialog::Fade(float to, void (*handler)(void*, TM_Transform*, uint32_t))
{
    TransformManager* transforms = TransformManager::Instance();
    if (transforms == nullptr)
        return;
    auto* list = new TM_InstructionList;
    list->push_back(new TM_Alpha(static_cast<uint32_t>(std::max(mTimeFade, 0)), to,
                                 to > 0.0f ? 0.0f : kFromCurrent, 0, -0.5f));
    transforms->AddTransform(&mTransform, list, new Callback(this, handler));
}

void GameplayDialog::Show(Callback* callback)
{
    mHeldCallback = callback;
    mState = kFadingIn;
    AddFlagBits(kWindowVisible);
    if (lua_State* L = GetWindowScriptState())
        LuaBindMember(L, kHideDialogName, this, &GameplayDialog::HideDialog);
    Fade(1.0f, &GameplayDialog::OnShown);
}

void GameplayDialog::HideDialog(const TString&)
{
    mChildHandler.mEnabled = false;
    Fade(0.0f, &GameplayDialog::OnHidden);
}

void GameplayDialog::OnShown(void* object, TM_Transform*, uint32_t)
{
    auto* dialog = static_cast<GameplayDialog*>(object);
    dialog->mState = kShown;
    dialog->mChildHandler.mEnabled = true;
}

void GameplayDialog::OnHidden(void* object, TM_Transform*, uint32_t)
{
    auto* dialog = static_cast<GameplayDialog*>(object);
    dialog->ClearFlagBits(kWindowVisible);
    dialog->mState = kHidden;
    Callback* callback = dialog->mHeldCallback;
    dialog->mHeldCallback = nullptr;
    if (callback != nullptr)
        callback->Call(nullptr, 0);
}

bool GameplayDialog::Update()
{
    mChildHandler.mAlpha = mTransform.GetAlpha();
    VisitChildren(mChildHandler, false);
    return false;
}

void GameplayDialog::Draw()
{
    TRenderer* renderer = TRenderer::Instance();
    if (renderer == nullptr)
        return;
    const bool entered = !renderer->InBegin2d() && renderer->Begin2d();
    mSprite->Draw(TDrawSpec(), -1);
    if (mTextObject != nullptr)
        mTextObject->Draw(mSprite->GetSpec());
    if (entered)
        renderer->End2d();
}
