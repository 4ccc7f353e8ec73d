// Settings: the player's persistent choices (profiles and their data, display, cursor and volume
// preferences) and what several screens share (mouse position, overlay windows, assets loaded at
// start, the drawn-cursor textures); its 18 script functions; RequestQuit.
#pragma once

#include "framework/core/hiscore_store.h"
#include "framework/core/singleton.h"
#include "platform/config/prefs.h"
#include "platform/strings/tstring.h"
#include "render/textures/asset_map.h"
#include "sys/window/window.h"
#include "ui/window.h"

#include <cstdint>
#include <map>
#include <memory>
#include <vector>

class TTexture;

// Asks the window script to post the quit message, which ends the game.
void RequestQuit();

// Script arguments as the script functions take them: `mValid` is false when the script passed
// something else (nil, a table, a boolean); numbers count as text, numeric text as a number.
struct TScriptNumber
{
    double mValue = 0.0;
    bool mValid = false;
};
struct TScriptText
{
    TString mText;
    bool mValid = false;
};

// A script number as a 32-bit integer: truncated toward zero, NaN 0, values out of range
// saturated, so no conversion is undefined.
int32_t ScriptNumberToInt(double value);

class Settings : public Singleton<Settings>
{
public:
    static constexpr int kMaxProfiles = 1024;
    static constexpr int kDefaultVolume = 750;

    Settings();
    ~Settings() override;

    // Once at start, when the window manager and the sound managers exist.
    void LoadDisplaySettings();
    // On the platform's toggle-full-screen event.
    void SaveFullScreen();
    // On mouse moves and left-button presses.
    void UpdateCursorAt(const TPoint& point);
    void UpdateCursor();
    // When the pointer leaves the window or the capture is lost: the system's arrow shows outside.
    void PointerLeft();

    void CreateNewUser(const TString& name);
    // An index at or beyond the profile count (a negative one too) changes nothing.
    void SetCurrentUser(int32_t index);
    void DeleteUser(int32_t index);
    TString GetUserName(int32_t index) const;
    void SetGameMode(int32_t mode, const TString& modeName);
    // 0 when copied, the needed size when the buffer is too small, -1 when absent; an empty key
    // means "playerdata".
    int GetPlayerData(const TString& key, void* buffer, int size) const;
    // `save` false leaves the change in memory for the caller's one save of the moment it belongs
    // to (SavePreferences), so the file never holds half of it.
    void SetPlayerData(const TString& key, const void* data, int length, bool save = true);
    void LoadAsset(const TString& name, bool isSound);

    // What the script functions answer and do, for native callers too.
    TString GetCurrentUserName() const;
    uint32_t GetNumUsers() const;
    bool IsUserNameInUse(const TString& name) const;
    bool ToggleFullScreen();
    bool IsFullScreen() const;
    void DeletePlayerData(const TString& key, bool save = true);
    // One save of the preferences with what was set without saving; false when it could not be
    // made (the change then waits in memory for the next save).
    bool SavePreferences();
    bool HasPlayerData(const TString& key) const;
    int32_t GetGameMode() const;
    bool IsUsingCursorOS() const { return mUseOsCursor; }
    void SetCursorOSuse(bool flag);
    TString GetGameVersion() const;
    bool HasEarnedMedal(const TString& medalName) const;
    int32_t GetCurrentScore() const;

    // Saves of the preferences and the scores are made by savers beside the frame loop: the
    // frame loop calls this each frame (what a saver found is taken in, a save asked for while
    // another was on its way handed over), and whoever reads the files as saved calls
    // WaitForSaves first. The close waits and makes what is pending (the destructor).
    void PollSaves();
    void WaitForSaves();
    // Saves on the caller's thread (false), as a tool or a test of the file's steps wants them.
    void SetBackgroundSaves(bool background);

    TPrefs* GetPrefs() const { return mPrefs.get(); }
    THiscoreStore* GetHiscores() const { return mHiscores.get(); }
    TAssetMap& GetAssets() { return mAssets; }
    const std::vector<int32_t>& GetLoadedSounds() const { return mLoadedSounds; }

    // Set while the left button is held (the game's main loop clears it on release); framework
    // buttons and sliders skip their rollover look and sound meanwhile, so a drag stays quiet.
    bool IsLeftButtonDown() const { return mLeftButtonDown; }
    void SetLeftButtonDown(bool down) { mLeftButtonDown = down; }

    bool mMouseInside = true;
    int32_t mMouseX = 0;
    int32_t mMouseY = 0;
    // Not owned; looking up a missing name enters it with null.
    std::map<TString, TWindow*> mOverlays;
    bool mOsCursorShown = false;

private:
    // The value stored in "curuser" (default -1), passed unchanged as the slot of the current
    // profile.
    int32_t CurrentUser() const;
    void ApplyCursorRule(bool activityTest);
    void RegisterScriptFunctions();
    // A damaged preferences file is copied aside before anything rewrites it.
    void KeepDamagedPrefs();
    // A stored current profile that names no profile becomes none.
    void CheckStoredCurrentUser();
    // A player of this copy renamed by a save that took in another copy's player of its name.
    void FollowRenames();
    // A stored volume in thousandths, kept within 0-1000.
    int ReadVolume(const char* key) const;

    // What the script functions take; a wrong-typed argument is logged and changes nothing.
    void ScriptCreateNewUser(TScriptText name);
    void ScriptSetCurrentUser(TScriptNumber index);
    void ScriptDeleteUser(TScriptNumber index);
    bool ScriptIsUserNameInUse(TScriptText name);
    // True when the name shows nothing (blanks and other undrawn characters alone), as a stored
    // name that reads as none; a non-string answers true.
    bool ScriptIsBlankName(TScriptText name);
    void ScriptDeletePlayerData(TScriptText key);
    bool ScriptHasPlayerData(TScriptText key);
    void ScriptSetGameMode(TScriptNumber mode, TScriptText modeName);
    bool ScriptIsWindows() { return true; }
    bool ScriptHasEarnedMedal(TScriptText medalName);

    bool mLeftButtonDown = false;
    TAssetMap mAssets;
    std::vector<int32_t> mLoadedSounds;
    std::unique_ptr<TPrefs> mPrefs;
    std::unique_ptr<THiscoreStore> mHiscores;
    std::shared_ptr<TTexture> mCursorTexture;
    std::shared_ptr<TTexture> mCursorSoftTexture;
    bool mUseOsCursor = false;
    sys::CursorHandle mSavedCursor = 0;
    sys::CursorHandle mArrowCursor = 0;
};
