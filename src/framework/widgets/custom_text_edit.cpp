// CustomTextEdit: the style keys, the focus it keeps, forced case, the clearing of a preset text,
// typing sounds and the window shown while the field holds text.
#include "framework/widgets/custom_text_edit.h"

#include "framework/sound/audio_manager.h"
#include "framework/core/delta_time.h"
#include "framework/core/frame_services.h"
#include "script/lua_object_wrapper.h"
#include "ui/modal_window.h"
#include "ui/window_manager.h"
#include "ui/window_style.h"

#include <algorithm>
#include <memory>

namespace
{
// The Delete key of the platform's key translation: it edits without asking the filter.
constexpr char kKeyDelete = -1;
} // namespace

CustomTextEdit::CustomTextEdit()
{
    mRandom.Seed(DeltaTime::Now());
    TakeFocus();
}

CustomTextEdit::~CustomTextEdit()
{
    if (AudioManager* audio = AudioManager::Instance())
        for (int32_t handle : mSounds)
            audio->Stop(handle, false);
}

TWindow* CustomTextEdit::Create()
{
    return new CustomTextEdit();
}

TClassId CustomTextEdit::GetClassId()
{
    return reinterpret_cast<TClassId>(&CustomTextEdit::Create);
}

void CustomTextEdit::TakeFocus()
{
    if (TWindowManager* manager = GetWindowManager())
        manager->SetFocus(this);
}

void CustomTextEdit::Init(TWindowStyle& style)
{
    mInitialKept = !style.GetBool("clearinitial", false);
    mEnableWindow = style.GetString("enablewindow", TString());
    mForceUpper = style.GetBool("forceupper", false);
    if (!mForceUpper)
        mForceLower = style.GetBool("forcelower", false);

    std::unique_ptr<TLuaTable> sounds(style.GetTable("sounds"));
    if (sounds != nullptr)
    {
        lua_State* L = sounds->GetState();
        sounds->Push();
        bool isTable = lua_istable(L, -1);
        int count = isTable ? lua_getn(L, -1) : 0;
        lua_pop(L, 1);
        AudioManager* audio = AudioManager::Instance();
        if (!isTable)
            ReportError("\"sounds\" is not a list of sound names", __FILE__, __LINE__, false);
        for (int i = 1; i <= count && audio != nullptr; ++i)
        {
            // Handle 0 stands for every sound to the audio manager: an unknown name (already
            // reported by Play) must never reach Stop in the destructor.
            int32_t handle = audio->Play(sounds->GetStringAt(i), false);
            if (handle != 0)
                mSounds.push_back(handle);
        }
    }
    TTextEdit::Init(style);
}

bool CustomTextEdit::Animate()
{
    TakeFocus();
    return TTextEdit::Animate();
}

bool CustomTextEdit::OnMouseDown(TPoint point)
{
    TakeFocus();
    return TTextEdit::OnMouseDown(point);
}

bool CustomTextEdit::OnMouseUp(TPoint point)
{
    if (!mInitialKept)
    {
        mInitialKept = true;
        SetText(TString());
        return true;
    }
    return TTextEdit::OnMouseUp(point);
}

char CustomTextEdit::ForceCase(char c) const
{
    if (mForceUpper && c >= 'a' && c <= 'z')
        return static_cast<char>(c - 0x20);
    if (!mForceUpper && mForceLower && c >= 'A' && c <= 'Z')
        return static_cast<char>(c + 0x20);
    return c;
}

bool CustomTextEdit::OnChar(char c)
{
    return TTextEdit::OnChar(ForceCase(c));
}

bool CustomTextEdit::OnText(const TString& utf8)
{
    bool handled = false;
    if (utf8.Length() == 1)
    {
        char c = ForceCase(utf8.c_str()[0]);
        handled = TTextEdit::OnText(TString(&c, 1));
    }
    else
    {
        handled = TTextEdit::OnText(utf8);
    }
    FinishEdit();
    return handled;
}

bool CustomTextEdit::OnKeyDown(char key, int32_t modifiers)
{
    int32_t length = GetText().Length();
    bool handled = TTextEdit::OnKeyDown(key, modifiers);
    if (key == kKeyDelete && GetText().Length() != length)
        mEnablePending = true;
    FinishEdit();
    return handled;
}

bool CustomTextEdit::FilterEvent(int32_t kind, int32_t character)
{
    if (!mInitialKept)
    {
        mInitialKept = true;
        SetText(TString());
    }
    if (!TTextEdit::FilterEvent(kind, character))
        return false;
    AudioManager* audio = AudioManager::Instance();
    if (!mSounds.empty() && audio != nullptr)
    {
        auto index = static_cast<size_t>(RandomFloat(mRandom) * static_cast<float>(mSounds.size()));
        audio->PlayIndex(mSounds[std::min(index, mSounds.size() - 1)], nullptr);
    }
    // A paste may leave the text empty, and a backspace may remove several bytes: the window is
    // decided on the text the edit leaves, not on the length before it.
    if (kind == kEditInsert || kind == kEditPaste || (kind == kEditMove && character == 8))
        mEnablePending = true;
    return true;
}

void CustomTextEdit::FinishEdit()
{
    if (!mEnablePending)
        return;
    mEnablePending = false;
    UpdateEnableWindow();
}

void CustomTextEdit::UpdateEnableWindow()
{
    if (mEnableWindow.Length() == 0)
        return;
    TModalWindow* modal = FindModalParent();
    TWindow* window = modal != nullptr ? modal->FindChild(mEnableWindow, 0xFFFFFFFFu) : nullptr;
    if (window == nullptr)
        return;
    // Blanks alone are no text: a name of spaces is not offered.
    if (!IsBlankText(GetText()))
        window->SetFlags(window->GetFlags() | kWindowVisible);
    else
        window->SetFlags(window->GetFlags() & ~kWindowVisible);
}
