// The options screen: volume sliders, their groups and preferences, and the full-screen toggle.
#include "framework/screens/options_screen.h"

#include "framework/sound/audio_manager.h"
#include "framework/widgets/framework_button.h"
#include "framework/core/frame_services.h"
#include "framework/core/settings.h"
#include "framework/widgets/slider.h"
#include "platform/shell/application.h"
#include "platform/config/prefs.h"
#include "platform/strings/string_table.h"
#include "script/lua_bind.h"
#include "script/window_script_seam.h"
#include "ui/window_style.h"

#include <cmath>

namespace
{
const char kSaveVolumes[] = "SaveVolumes";
const char kSetToggleText[] = "SetFullScreenToggleText";
const char kSfxSlider[] = "sfxlevelslider";
const char kMusicSlider[] = "musiclevelslider";
const char kSfxLevel[] = "soundlevel";
const char kMusicLevel[] = "musiclevel";
constexpr int32_t kSfxGroup = 1000;
constexpr int32_t kMusicGroup = 1001;
constexpr int kDefaultLevel = 750;

// The localized text of a style's label; no label, no text (an empty label is no lookup).
TString Localized(TWindowStyle& style, const char* key)
{
    TString label = style.GetString(key, "");
    TApplication* app = TApplication::Get();
    TStringTable* table = app != nullptr ? app->GetStringTable() : nullptr;
    if (label.Length() == 0 || table == nullptr)
        return TString();
    return table->GetString(label);
}

TPrefs* Prefs()
{
    Settings* settings = Settings::Instance();
    return settings != nullptr ? settings->GetPrefs() : nullptr;
}
} // namespace

Options::Options()
{
    if (lua_State* L = GetWindowScriptState())
    {
        LuaBindMember(L, kSaveVolumes, this, &Options::SaveVolumes);
        LuaBindMember(L, kSetToggleText, this, &Options::SetFullScreenToggleText);
        mBound = true;
    }
}

Options::~Options()
{
    if (mBound)
        if (lua_State* L = GetWindowScriptState())
        {
            LuaUnbindMemberIfBound(L, kSaveVolumes, this);
            LuaUnbindMemberIfBound(L, kSetToggleText, this);
        }
}

TWindow* Options::Create()
{
    return new Options();
}

TClassId Options::GetClassId()
{
    return reinterpret_cast<TClassId>(&Options::Create);
}

namespace
{
Slider* FindSlider(TWindow* under, const char* name)
{
    TWindow* window = under->FindChild(name, 0xFFFFFFFFu);
    return window != nullptr && window->IsKindOf(Slider::GetClassId())
               ? static_cast<Slider*>(window)
               : nullptr;
}
} // namespace

void Options::PostInit(TWindowStyle& style)
{
    GameWindow::PostInit(style);
    mFullScreenText = Localized(style, "fullscreen");
    mWindowText = Localized(style, "window");

    TWindow* toggle = FindChild("fullscreentoggle", 0xFFFFFFFFu);
    if (toggle == nullptr)
        ReportError("fullscreentoggle", "options", 47, false);
    else if (toggle->IsKindOf(TVButton::GetClassId()))
        mToggleButton = static_cast<TVButton*>(toggle);

    TPrefs* prefs = Prefs();
    const char* sliders[2] = {kSfxSlider, kMusicSlider};
    const char* keys[2] = {kSfxLevel, kMusicLevel};
    for (int i = 0; i < 2; ++i)
    {
        const int32_t level =
            prefs != nullptr ? prefs->GetInt(keys[i], kDefaultLevel) : kDefaultLevel;
        if (Slider* slider = FindSlider(this, sliders[i]))
        {
            slider->SetValue(static_cast<float>(level) / 1000.0f);
            mOpenedLevels[i] = static_cast<int32_t>(std::trunc(slider->GetValue() * 1000.0f));
        }
    }

    TString music = style.GetString("optionsmusic", "");
    if (music.Length() != 0)
        if (AudioManager* audio = AudioManager::Instance())
            if (audio->GetSoundState(music) == 0)
                PlayMusic(music);

    SetFullScreenToggleText();
}

bool Options::OnMessage(TMessage* message)
{
    if (message->mType != kSliderValChanged)
        return false;
    // Every SetValue posts one, and this screen set both sliders itself.
    if (mIgnoreSliderChanges > 0)
    {
        --mIgnoreSliderChanges;
        return false;
    }
    int32_t group = 0;
    if (message->mName == TString(kSfxSlider))
        group = kSfxGroup;
    else if (message->mName == TString(kMusicSlider))
        group = kMusicGroup;
    else
        return false;
    if (Slider* slider = FindSlider(this, message->mName.c_str()))
        if (AudioManager* audio = AudioManager::Instance())
            audio->SetGroupVolume(group, slider->GetValue());
    return true;
}

bool Options::Refresh()
{
    SetFullScreenToggleText();
    return true;
}

void Options::SaveVolumes()
{
    TPrefs* prefs = Prefs();
    if (prefs == nullptr)
        return;
    const char* sliders[2] = {kSfxSlider, kMusicSlider};
    const char* keys[2] = {kSfxLevel, kMusicLevel};
    for (int i = 0; i < 2; ++i)
        if (Slider* slider = FindSlider(this, sliders[i]))
        {
            const int level = static_cast<int>(std::trunc(slider->GetValue() * 1000.0f));
            if (level != mOpenedLevels[i])
                prefs->SetInt(keys[i], level);
            // A level not stored yet is stored as shown, unless another copy stored one since
            // this one read the file (its save is read only by the saver, later): that one stays.
            else if (prefs->GetData(keys[i], nullptr, 0) < 0)
                prefs->SetDefaultInt(keys[i], level);
        }
}

void Options::SetFullScreenToggleText()
{
    if (mToggleButton == nullptr)
        return;
    TApplication* app = TApplication::Get();
    const bool full = app != nullptr && app->IsFullscreen();
    mToggleButton->SetText(full ? mWindowText : mFullScreenText);
}
