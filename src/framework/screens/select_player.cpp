// The profile selection screen: rows of profile names from Settings, scrolled by a slider and by
// script, row presses selecting a profile.
#include "framework/screens/select_player.h"

#include "framework/core/frame_services.h"
#include "framework/widgets/framework_button.h"
#include "framework/core/settings.h"
#include "framework/widgets/slider.h"
#include "platform/log.h"
#include "script/lua_bind.h"
#include "script/script.h"
#include "script/window_script_seam.h"

#include <algorithm>
#include <vector>

namespace
{
constexpr uint32_t kAnyDepth = 0xFFFFFFFFu;
const char kModule[] = "selectplayer";
const char* const kFunctionNames[] = {"SetPlayerChoices",      "GetCurrentSelectedUser",
                                      "GetSelectedPlayerName", "MoveTopPlayerUp",
                                      "MoveTopPlayerDown",     "SetSelectedPlayer"};

TString RowName(uint32_t index)
{
    return TString::Format("button%u", index);
}

void SetVisible(TWindow* window, bool visible)
{
    uint32_t flags = window->GetFlags();
    window->SetFlags(visible ? (flags | kWindowVisible) : (flags & ~uint32_t(kWindowVisible)));
}
} // namespace

TSelectPlayer::TSelectPlayer()
{
    lua_State* L = GetWindowScriptState();
    if (L == nullptr)
        return;
    LuaBindMember(L, kFunctionNames[0], this, &TSelectPlayer::SetPlayerChoices);
    LuaBindMember(L, kFunctionNames[1], this, &TSelectPlayer::GetCurrentSelectedUser);
    LuaBindMember(L, kFunctionNames[2], this, &TSelectPlayer::GetSelectedPlayerName);
    LuaBindMember(L, kFunctionNames[3], this, &TSelectPlayer::MoveTopPlayerUp);
    LuaBindMember(L, kFunctionNames[4], this, &TSelectPlayer::MoveTopPlayerDown);
    LuaBindMember(L, kFunctionNames[5], this, &TSelectPlayer::SetSelectedPlayer);
    mBound = true;
}

TSelectPlayer::~TSelectPlayer()
{
    // A later screen that took a name keeps it.
    if (mBound)
        if (lua_State* L = GetWindowScriptState())
            for (const char* name : kFunctionNames)
                LuaUnbindMemberIfBound(L, name, this);
}

TWindow* TSelectPlayer::Create()
{
    return new TSelectPlayer();
}

TClassId TSelectPlayer::GetClassId()
{
    return reinterpret_cast<TClassId>(&TSelectPlayer::Create);
}

void TSelectPlayer::PostInit(TWindowStyle& style)
{
    GameWindow::PostInit(style);
    int32_t wanted = 0;
    if (TScript* script = GetWindowScript())
        wanted = ScriptNumberToInt(script->GetGlobalNumber("kMaxProfileButtons"));
    if (wanted < 0)
    {
        Log("ERROR: kMaxProfileButtons is %d; the screen shows no profile rows", wanted);
        wanted = 0;
    }
    // Only rows the layout really has are used, so no row is ever looked up and not found later.
    uint32_t rows = 0;
    while (rows < static_cast<uint32_t>(wanted) && FindRow(rows) != nullptr)
        ++rows;
    mMaxButtons = rows;
    SetSelectedPlayer();
    SetPlayerChoices();
    UpdateSlider();
}

TVButton* TSelectPlayer::FindRow(uint32_t index)
{
    const TString name = RowName(index);
    TWindow* window = FindChild(name, kAnyDepth);
    if (window == nullptr)
    {
        Log("ERROR: The player selection screen has no row button '%s'", name.c_str());
        return nullptr;
    }
    if (!window->IsKindOf(TVButton::GetClassId()))
    {
        Log("ERROR: The player selection screen's '%s' is a %s, not a button", name.c_str(),
            window->GetClassName());
        return nullptr;
    }
    return static_cast<TVButton*>(window);
}

void TSelectPlayer::ShowNamed(const char* name, bool show)
{
    if (TWindow* window = FindChild(name, kAnyDepth))
        SetVisible(window, show);
    else
        Log("ERROR: The player selection screen has no window '%s'", name);
}

uint32_t TSelectPlayer::ProfileCount() const
{
    Settings* settings = Settings::Instance();
    return settings != nullptr ? settings->GetNumUsers() : 0;
}

float TSelectPlayer::Step(uint32_t count) const
{
    if (count > mMaxButtons)
        return 1.0f / static_cast<float>(count - mMaxButtons + 1);
    return 1.0f;
}

void TSelectPlayer::SetPlayerChoices()
{
    const uint32_t count = ProfileCount();
    Settings* settings = Settings::Instance();
    std::vector<TString> names;
    for (uint32_t i = mTopIndex; settings != nullptr && i < count && i - mTopIndex < mMaxButtons;
         ++i)
        names.push_back(settings->GetUserName(static_cast<int32_t>(i)));
    const uint32_t shown = std::min(count, mMaxButtons);
    ShowNamed("delete", shown > 0);
    ShowNamed("select", shown > 0);
    for (uint32_t i = 0; i < mMaxButtons; ++i)
    {
        TVButton* row = FindRow(i);
        if (row == nullptr)
            continue;
        // A top row past the list (no profile current while some exist) has no names to show:
        // those rows stay hidden until the slider's echo scrolls the list back.
        if (i >= shown || i >= names.size())
        {
            SetVisible(row, false);
            continue;
        }
        row->SetText(names[i]);
        SetVisible(row, true);
        row->SetToggleState(i == mSelectedIndex - mTopIndex);
    }
}

void TSelectPlayer::SetSelectedPlayer()
{
    int32_t current = -1;
    if (Settings* settings = Settings::Instance())
        current = settings->GetPrefs()->GetInt("curuser", -1, -1);
    mSelectedIndex = static_cast<uint32_t>(current);
    mTopIndex = mSelectedIndex >= mMaxButtons ? mSelectedIndex - mMaxButtons + 1 : 0;
    UpdateSlider();
}

void TSelectPlayer::UpdateSlider()
{
    TWindow* window = FindChild("slider", kAnyDepth);
    if (window == nullptr)
    {
        ReportError("window", kModule, 204, false);
        return;
    }
    if (!window->IsKindOf(Slider::GetClassId()))
    {
        ReportError("slider", kModule, 212, false);
        return;
    }
    const uint32_t count = ProfileCount();
    float value;
    if (mTopIndex == 0)
        value = 0.0f;
    else if (mTopIndex == count - mMaxButtons)
        value = 1.0f;
    else
        value = Step(count) * (static_cast<float>(mTopIndex) + 0.5f);
    static_cast<Slider*>(window)->SetValue(value);
}

TString TSelectPlayer::GetSelectedPlayerName() const
{
    Settings* settings = Settings::Instance();
    if (settings == nullptr)
        return TString();
    return settings->GetUserName(static_cast<int32_t>(mSelectedIndex));
}

void TSelectPlayer::MoveTopPlayerUp()
{
    if (mTopIndex == 0)
        return;
    --mTopIndex;
    SetPlayerChoices();
    UpdateSlider();
}

void TSelectPlayer::MoveTopPlayerDown()
{
    if (static_cast<uint64_t>(mTopIndex) + mMaxButtons >= ProfileCount())
        return;
    ++mTopIndex;
    SetPlayerChoices();
    UpdateSlider();
}

bool TSelectPlayer::OnMessage(TMessage* message)
{
    if (message->mType == kSliderValChanged)
    {
        TWindow* window = FindChild(message->mName, kAnyDepth);
        if (window == nullptr)
        {
            ReportError("window", kModule, 146, false);
            return false;
        }
        if (!window->IsKindOf(Slider::GetClassId()))
        {
            ReportError("slider", kModule, 154, false);
            return false;
        }
        const uint32_t count = ProfileCount();
        const float step = Step(count);
        float v = static_cast<Slider*>(window)->GetValue();
        uint32_t index = 0;
        while (v > step && index < count - mMaxButtons)
        {
            v -= step;
            ++index;
        }
        if (index != mTopIndex)
        {
            mTopIndex = index;
            SetPlayerChoices();
        }
        return true;
    }
    if (message->mType == kButtonPress)
    {
        TWindow* pressed = FindChild(message->mName, kAnyDepth);
        for (uint32_t i = 0; pressed != nullptr && i < mMaxButtons; ++i)
            if (FindChild(RowName(i), kAnyDepth) == pressed)
            {
                mSelectedIndex = mTopIndex + i;
                return true;
            }
        return false;
    }
    return GameWindow::OnMessage(message);
}
