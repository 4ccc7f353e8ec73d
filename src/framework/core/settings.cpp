// Settings: profiles and preferences over the preference table, the high-score store told who
// plays, the cursor rule between the drawn cursor and the system arrow, the script functions.
#include "framework/core/settings.h"

#include "framework/core/script_arguments.h"
#include "framework/sound/audio_manager.h"
#include "platform/shell/application.h"
#include "platform/config/config.h"
#include "platform/files/file.h"
#include "platform/files/file_layer.h"
#include "platform/log.h"
#include "platform/seams/sound_manager_seam.h"
#include "render/textures/texture.h"
#include "script/lua_bind.h"
#include "script/script.h"
#include "script/window_script_seam.h"

#include <chrono>
#include <cmath>
#include <cstring>
#include <cstdint>
#include <limits>

namespace
{

const char kCurrentUserKey[] = "curuser";
const char kPlayerDataKey[] = "playerdata";

// In the order the globals are registered.
const char* const kScriptFunctions[] = {
    "CreateNewUser",  "GetCurrentUserName", "SetCurrentUser",  "GetNumUsers",
    "DeleteUser",     "IsUserNameInUse",    "IsBlankName",     "ToggleFullScreen",
    "IsFullScreen",   "DeletePlayerData",   "HasPlayerData",   "SetGameMode",
    "GetGameMode",    "IsWindows",          "IsUsingCursorOS", "SetCursorOSuse",
    "GetGameVersion", "HasEarnedMedal",     "GetCurrentScore"};

TString PlayerDataKey(const TString& key)
{
    return key.Length() == 0 ? TString(kPlayerDataKey) : key;
}

// Decimal text with an optional minus sign and nothing else, within 32 bits.
bool ParseStoredInt(const TString& text, int32_t& value)
{
    const char* c = text.c_str();
    bool negative = *c == '-';
    if (negative)
        ++c;
    if (*c == '\0')
        return false;
    int64_t v = 0;
    for (; *c != '\0'; ++c)
    {
        if (*c < '0' || *c > '9')
            return false;
        v = v * 10 + (*c - '0');
        if (v > int64_t(std::numeric_limits<int32_t>::max()) + 1)
            return false;
    }
    v = negative ? -v : v;
    if (v > std::numeric_limits<int32_t>::max())
        return false;
    value = static_cast<int32_t>(v);
    return true;
}

} // namespace

void LogWrongArgument(const char* function, int position, const char* expected)
{
    Log("ERROR: Script function %s: argument %d is not a %s; nothing done", function, position,
        expected);
}

void RequestQuit()
{
    TScript* script = GetWindowScript();
    if (script != nullptr)
        script->DoLuaString("PostMessage( CreateNamedMessage( kQuitNow, \"quit\" ) )");
    else
        Log("The game was asked to quit, but there is no window script to end it");
}

int32_t ScriptNumberToInt(double value)
{
    if (std::isnan(value))
        return 0;
    if (value >= 2147483647.0)
        return std::numeric_limits<int32_t>::max();
    if (value <= -2147483648.0)
        return std::numeric_limits<int32_t>::min();
    return static_cast<int32_t>(value);
}

Settings::Settings()
{
    SetInstance(this);
    mPrefs = std::make_unique<TPrefs>(true);
    // Another copy of the game on the same data folder may save profiles too: a save tells them
    // apart by name and keeps this copy's current one.
    mPrefs->SetProfileKeys("name", kCurrentUserKey);
    KeepDamagedPrefs();
    mHiscores = CreateHiscoreStore(true);
    // No save waits on the frame loop for another copy's lock or the disk.
    SetBackgroundSaves(true);
    mArrowCursor = sys::LoadArrowCursor();
    RegisterScriptFunctions();
    mAssets.SetAutoLoad(true);
    CheckStoredCurrentUser();
    SetCurrentUser(CurrentUser());
}

Settings::~Settings()
{
    // A script that calls one of these after the object is gone must meet nil, unless a newer
    // object has taken the name.
    if (lua_State* L = GetWindowScriptState())
        for (const char* name : kScriptFunctions)
            LuaUnbindMemberIfBound(L, name, this);
    // The closing save: waits for the saves on their way, then makes what a save of this run put
    // off (another copy held the file's lock) or failed to write. Both savers run side by side: a
    // hung disk costs the close one bound, not one for each file.
    const auto closeBegan = std::chrono::steady_clock::now();
    mPrefs->SavePending(closeBegan);
    FollowRenames();
    if (mHiscores)
        mHiscores->SavePending(closeBegan);
    mPrefs.reset();
    mHiscores.reset();
    mCursorTexture.reset();
    mCursorSoftTexture.reset();
    mOverlays.clear();
}

void Settings::PollSaves()
{
    mPrefs->PollSaves();
    FollowRenames();
    if (mHiscores)
        mHiscores->PollSaves();
}

void Settings::WaitForSaves()
{
    mPrefs->WaitForSaves();
    FollowRenames();
    if (mHiscores)
        mHiscores->WaitForSaves();
}

void Settings::FollowRenames()
{
    // The current player's scores go under the name it has now, and the table lists it as it
    // lists a player just made.
    for (const TPrefs::TRename& rename : mPrefs->TakeRenames())
    {
        if (rename.mUser != CurrentUser() || !mHiscores)
            continue;
        mHiscores->SetParameter(1, GetUserName(rename.mUser));
        mHiscores->AddScore(0, true, "");
    }
}

void Settings::SetBackgroundSaves(bool background)
{
    mPrefs->SetBackgroundSaves(background);
    if (mHiscores)
        mHiscores->SetBackgroundSaves(background);
}

void Settings::RegisterScriptFunctions()
{
    lua_State* L = GetWindowScriptState();
    if (L == nullptr)
    {
        Log("ERROR: Settings made before the window script: its script functions are missing");
        return;
    }
    LuaBindMember(L, "CreateNewUser", this, &Settings::ScriptCreateNewUser);
    LuaBindMember(L, "GetCurrentUserName", this, &Settings::GetCurrentUserName);
    LuaBindMember(L, "SetCurrentUser", this, &Settings::ScriptSetCurrentUser);
    LuaBindMember(L, "GetNumUsers", this, &Settings::GetNumUsers);
    LuaBindMember(L, "DeleteUser", this, &Settings::ScriptDeleteUser);
    LuaBindMember(L, "IsUserNameInUse", this, &Settings::ScriptIsUserNameInUse);
    LuaBindMember(L, "IsBlankName", this, &Settings::ScriptIsBlankName);
    LuaBindMember(L, "ToggleFullScreen", this, &Settings::ToggleFullScreen);
    LuaBindMember(L, "IsFullScreen", this, &Settings::IsFullScreen);
    LuaBindMember(L, "DeletePlayerData", this, &Settings::ScriptDeletePlayerData);
    LuaBindMember(L, "HasPlayerData", this, &Settings::ScriptHasPlayerData);
    LuaBindMember(L, "SetGameMode", this, &Settings::ScriptSetGameMode);
    LuaBindMember(L, "GetGameMode", this, &Settings::GetGameMode);
    LuaBindMember(L, "IsWindows", this, &Settings::ScriptIsWindows);
    LuaBindMember(L, "IsUsingCursorOS", this, &Settings::IsUsingCursorOS);
    LuaBindMember(L, "SetCursorOSuse", this, &Settings::SetCursorOSuse);
    LuaBindMember(L, "GetGameVersion", this, &Settings::GetGameVersion);
    LuaBindMember(L, "HasEarnedMedal", this, &Settings::ScriptHasEarnedMedal);
    LuaBindMember(L, "GetCurrentScore", this, &Settings::GetCurrentScore);
}

void Settings::KeepDamagedPrefs()
{
    // Kept at once, before any save of this run can replace the damaged file.
    mPrefs->KeepDamagedFile();
}

void Settings::CheckStoredCurrentUser()
{
    if (mPrefs->GetData(kCurrentUserKey, nullptr, 0, -1) < 0)
        return;
    TString stored = mPrefs->GetString(kCurrentUserKey, "", -1);
    int32_t index = -1;
    int count = mPrefs->GetNumUsers();
    if (ParseStoredInt(stored, index) && (index == -1 || (index >= 0 && index < count)))
        return;
    Log("ERROR: Preference \"curuser\" '%s' names none of the %d profiles; no profile is current",
        stored.c_str(), count);
    mPrefs->SetInt(kCurrentUserKey, -1, -1, true);
}

int32_t Settings::CurrentUser() const
{
    return mPrefs->GetInt(kCurrentUserKey, -1, -1);
}

int Settings::ReadVolume(const char* key) const
{
    if (mPrefs->GetData(key, nullptr, 0, -1) < 0)
        return kDefaultVolume;
    TString stored = mPrefs->GetString(key, "", -1);
    int32_t level = 0;
    if (!ParseStoredInt(stored, level))
    {
        Log("ERROR: Preference \"%s\" '%s' is not a number; %d used", key, stored.c_str(),
            kDefaultVolume);
        return kDefaultVolume;
    }
    if (level < 0 || level > 1000)
    {
        int kept = level < 0 ? 0 : 1000;
        Log("ERROR: Preference \"%s\" %d is outside 0-1000; %d used", key, level, kept);
        return kept;
    }
    return level;
}

void Settings::LoadDisplaySettings()
{
    TApplication* app = TApplication::Get();
    int full = mPrefs->GetInt("fullscreen", 1, -1);
    if (app != nullptr)
        app->SetDisplayMode(800, 600, full == 1);

    mCursorTexture = TTexture::Get("cursor/pointer", 0);
    mCursorSoftTexture = TTexture::GetSimple("cursor/pointer_soft");
    if (app != nullptr)
    {
        if (mCursorTexture && mCursorSoftTexture)
        {
            app->SetCursorTexture(mCursorSoftTexture, 0, 0, 0);
            app->SetCursorTexture(mCursorTexture, 0, 0, 1);
        }
        else
        {
            app->ShowSystemCursor(false);
        }
    }

    mUseOsCursor = mPrefs->GetInt("cursorosuse", 0, -1) == 1;
    ApplyCursorRule(false);

    if (app != nullptr && app->GetSoundManager() != nullptr)
        app->GetSoundManager()->SetMasterVolume(1.0f);
    if (AudioManager* audio = AudioManager::Instance())
    {
        audio->AddGroup(1000, -1, static_cast<float>(ReadVolume("soundlevel") / 1000.0));
        audio->AddGroup(1001, -1, static_cast<float>(ReadVolume("musiclevel") / 1000.0));
    }
    else
    {
        Log("ERROR: No audio manager: the volume groups 1000 and 1001 were not made");
    }
}

void Settings::SaveFullScreen()
{
    bool full = IsFullScreen();
    mPrefs->SetInt("fullscreen", full ? 1 : 0, -1, true);
    if (full)
        mMouseInside = true;
}

void Settings::UpdateCursorAt(const TPoint& point)
{
    mMouseInside = true;
    mMouseX = point.x;
    mMouseY = point.y;
    ApplyCursorRule(true);
}

void Settings::UpdateCursor()
{
    mLeftButtonDown = true;
    ApplyCursorRule(true);
}

void Settings::PointerLeft()
{
    mMouseInside = false;
    if (sys::GetSystemCursor() == 0)
        mSavedCursor = sys::SetSystemCursor(mArrowCursor);
    mOsCursorShown = true;
}

void Settings::ApplyCursorRule(bool activityTest)
{
    bool drawnWanted = !mUseOsCursor;
    if (drawnWanted && activityTest)
    {
        TApplication* app = TApplication::Get();
        drawnWanted = app == nullptr || app->IsActive();
    }
    if (drawnWanted)
    {
        if (mMouseInside)
        {
            sys::SetSystemCursor(mSavedCursor);
            mSavedCursor = 0;
        }
        mOsCursorShown = false;
    }
    else
    {
        if (sys::GetSystemCursor() == 0)
            mSavedCursor = sys::SetSystemCursor(mArrowCursor);
        mOsCursorShown = true;
    }
}

void Settings::CreateNewUser(const TString& name)
{
    int count = mPrefs->GetNumUsers();
    if (count >= kMaxProfiles)
        return;
    // A name that shows nothing is no name: the profile is made as one made without a name. One
    // save, by SetCurrentUser: a save that takes in another copy's profiles may move this one's
    // index, and only the current user's is followed there.
    const bool named = !IsBlankText(name);
    mPrefs->SetString("name", named ? name : TString(), count, false);
    mPrefs->SetInt("gamemode", 1, count, false);
    SetCurrentUser(count);
    if (named && mHiscores)
        mHiscores->AddScore(0, true, "");
}

void Settings::SetCurrentUser(int32_t index)
{
    if (static_cast<uint32_t>(index) >= static_cast<uint32_t>(mPrefs->GetNumUsers()))
        return;
    mPrefs->SetInt(kCurrentUserKey, index, -1, true);
    if (mHiscores)
        mHiscores->SetParameter(1, GetUserName(CurrentUser()));
}

void Settings::DeleteUser(int32_t index)
{
    if (index < 0 || index >= mPrefs->GetNumUsers())
        return;
    int32_t current = CurrentUser();
    mPrefs->DeleteUser(index);
    // The current player keeps its profile where the deletion moved it. Deleting the only
    // profile while it is current would leave "curuser" naming nothing, and the next write to
    // the current profile would make a nameless one.
    if (current > index || (current == index && current != 0))
        --current;
    if (current >= mPrefs->GetNumUsers())
        current = -1;
    if (current != CurrentUser())
        mPrefs->SetInt(kCurrentUserKey, current, -1, false);
    // Saved at once: a crash after the deletion must not bring the player back.
    mPrefs->Save();
    if (mHiscores)
        mHiscores->SetParameter(1, GetUserName(CurrentUser()));
}

TString Settings::GetUserName(int32_t index) const
{
    if (index < 0 || index >= mPrefs->GetNumUsers())
        return TString();
    // A stored name that shows nothing (an earlier version took one) reads as no name: it is
    // never greeted or listed as "   ".
    const TString name = mPrefs->GetString("name", "", index);
    return IsBlankText(name) ? TString() : name;
}

void Settings::SetGameMode(int32_t mode, const TString& modeName)
{
    mPrefs->SetInt("gamemode", mode, CurrentUser(), true);
    if (mHiscores)
        mHiscores->SetParameter(2, modeName);
}

int Settings::GetPlayerData(const TString& key, void* buffer, int size) const
{
    return mPrefs->GetData(PlayerDataKey(key), buffer, size, CurrentUser());
}

void Settings::SetPlayerData(const TString& key, const void* data, int length, bool save)
{
    mPrefs->SetData(PlayerDataKey(key), data, length, CurrentUser(), save);
}

void Settings::LoadAsset(const TString& name, bool isSound)
{
    if (!isSound)
    {
        mAssets.AddAsset(name, nullptr);
        return;
    }
    AudioManager* audio = AudioManager::Instance();
    if (audio == nullptr)
    {
        Log("ERROR: No audio manager to load the sound '%s'", name.c_str());
        return;
    }
    mLoadedSounds.push_back(audio->Play(name, false));
}

TString Settings::GetCurrentUserName() const
{
    return GetUserName(mPrefs->GetInt(kCurrentUserKey, 0, -1));
}

uint32_t Settings::GetNumUsers() const
{
    return static_cast<uint32_t>(mPrefs->GetNumUsers());
}

bool Settings::IsUserNameInUse(const TString& name) const
{
    // "ÉVA" and "éva" are one player to the eye, as "ANN" and "ann" are.
    const TString wanted = FoldCase(name);
    for (int i = mPrefs->GetNumUsers() - 1; i >= 0; --i)
    {
        if (FoldCase(GetUserName(i)) == wanted)
            return true;
    }
    return false;
}

bool Settings::ToggleFullScreen()
{
    TApplication* app = TApplication::Get();
    if (app == nullptr)
        return false;
    bool wasFull = app->IsFullscreen();
    if (!app->SetFullscreen(!wasFull))
        return false;
    mPrefs->SetInt("fullscreen", wasFull ? 0 : 1, -1, true);
    if (!wasFull)
        mMouseInside = true;
    return true;
}

bool Settings::IsFullScreen() const
{
    TApplication* app = TApplication::Get();
    return app != nullptr && app->IsFullscreen();
}

void Settings::DeletePlayerData(const TString& key, bool save)
{
    // One byte counts as no data; the entry stays.
    const uint8_t cleared = 0;
    mPrefs->SetData(PlayerDataKey(key), &cleared, 1, CurrentUser(), save);
}

bool Settings::SavePreferences()
{
    return mPrefs->Save();
}

bool Settings::HasPlayerData(const TString& key) const
{
    int n = mPrefs->GetData(PlayerDataKey(key), nullptr, 0, CurrentUser());
    return n != -1 && n != 1;
}

int32_t Settings::GetGameMode() const
{
    return mPrefs->GetInt("gamemode", 1, CurrentUser());
}

void Settings::SetCursorOSuse(bool flag)
{
    mPrefs->SetInt("cursorosuse", flag ? 1 : 0, -1, true);
    mUseOsCursor = flag;
    ApplyCursorRule(false);
}

TString Settings::GetGameVersion() const
{
    return GetConfig("version", "");
}

bool Settings::HasEarnedMedal(const TString& medalName) const
{
    if (!mHiscores)
        return false;
    for (int i = 0; i < mHiscores->GetNumMedals(); ++i)
    {
        TString name;
        TString mode;
        TString gameData;
        int notGameType = 0;
        if (mHiscores->GetMedal(i, &name, &notGameType, &mode, &gameData) && name == medalName)
            return true;
    }
    return false;
}

int32_t Settings::GetCurrentScore() const
{
    if (!mHiscores)
        return 0;
    // A row another copy entered under the name in another case is this player's, as its profile
    // is.
    const TString name = FoldCase(GetCurrentUserName());
    for (int i = 0; i < mHiscores->GetNumScores(true); ++i)
    {
        char entryName[64] = {};
        int score = 0;
        if (!mHiscores->GetScore(true, i, nullptr, entryName, sizeof entryName, nullptr, &score,
                                 nullptr, 0))
            continue;
        entryName[sizeof entryName - 1] = '\0';
        if (std::strcmp(FoldCase(TString(entryName)).c_str(), name.c_str()) == 0)
            return score;
    }
    return 0;
}

void Settings::ScriptCreateNewUser(TScriptText name)
{
    if (!name.mValid)
        return LogWrongArgument("CreateNewUser", 1, "string");
    CreateNewUser(name.mText);
}

void Settings::ScriptSetCurrentUser(TScriptNumber index)
{
    if (!index.mValid)
        return LogWrongArgument("SetCurrentUser", 1, "number");
    SetCurrentUser(ScriptNumberToInt(index.mValue));
}

void Settings::ScriptDeleteUser(TScriptNumber index)
{
    if (!index.mValid)
        return LogWrongArgument("DeleteUser", 1, "number");
    DeleteUser(ScriptNumberToInt(index.mValue));
}

bool Settings::ScriptIsUserNameInUse(TScriptText name)
{
    if (!name.mValid)
    {
        LogWrongArgument("IsUserNameInUse", 1, "string");
        return false;
    }
    return IsUserNameInUse(name.mText);
}

bool Settings::ScriptIsBlankName(TScriptText name)
{
    // Anything but a string is no name a dialog may hand back.
    if (!name.mValid)
    {
        LogWrongArgument("IsBlankName", 1, "string");
        return true;
    }
    return IsBlankText(name.mText);
}

void Settings::ScriptDeletePlayerData(TScriptText key)
{
    if (!key.mValid)
        return LogWrongArgument("DeletePlayerData", 1, "string");
    DeletePlayerData(key.mText);
}

bool Settings::ScriptHasPlayerData(TScriptText key)
{
    if (!key.mValid)
    {
        LogWrongArgument("HasPlayerData", 1, "string");
        return false;
    }
    return HasPlayerData(key.mText);
}

void Settings::ScriptSetGameMode(TScriptNumber mode, TScriptText modeName)
{
    if (!mode.mValid)
        return LogWrongArgument("SetGameMode", 1, "number");
    if (!modeName.mValid)
        return LogWrongArgument("SetGameMode", 2, "string");
    SetGameMode(ScriptNumberToInt(mode.mValue), modeName.mText);
}

bool Settings::ScriptHasEarnedMedal(TScriptText medalName)
{
    if (!medalName.mValid)
    {
        LogWrongArgument("HasEarnedMedal", 1, "string");
        return false;
    }
    return HasEarnedMedal(medalName.mText);
}
