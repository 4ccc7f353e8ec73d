// PlayerData: the current profile's progress record (accumulated score, tutorials shown, location,
// where in the game the player is), kept per profile under "playerdata" in the preferences, and
// the nine script functions that load, save, restart and read it.
#pragma once

#include "framework/core/settings.h"
#include "framework/core/singleton.h"

#include <array>
#include <cstdint>

class PlayerData : public Singleton<PlayerData>
{
public:
    // The stored record's length; its layout is fixed by profiles already saved.
    static constexpr int kRecordSize = 12;
    using Record = std::array<uint8_t, kRecordSize>;

    // Values of the game-state byte.
    enum GameState : uint8_t
    {
        kNewGame = 0,
        kOnMap = 1,
        kInCutScene = 2,
        kInLocation = 3,
    };

    // Binds the nine script functions on the window script, then loads the current profile.
    PlayerData();
    ~PlayerData() override;

    // The current profile's stored record replaces this one; nothing stored, or no current
    // profile, keeps it; a record of the wrong length is a fatal report.
    void LoadProfile();
    // Stores the record for the current profile and saves the preferences at once; without a
    // current profile nothing is written, nor when the record is as this copy last read or stored
    // it for that profile: another copy of the game may have saved that profile's record since,
    // and an unchanged one here is no change to put over it.
    void SaveProfile();
    // As SaveProfile, but the preferences are not saved: the caller's one save of the moment
    // writes the record beside what else that moment changed. True when the record was set.
    bool StageProfile();
    // The script's SaveProfile, and the screens' that open over a location: as SaveProfile, but
    // while a location runs (HoldScriptSaves) the record is left to the runner's next save (a calm
    // point, the completion, the close), which writes it beside the location's record.
    void RequestSave();
    // While a location runs, its runner writes the player's record with the location's; released
    // by the same runner only.
    void HoldScriptSaves(const void* runner);
    void ReleaseScriptSaves(const void* runner);
    // Whether the record differs from the one this copy last read or stored for the profile.
    bool HasUnstoredChanges() const;
    // A zero record, saved, and the location in progress forgotten.
    void NewGame();
    // Enters the score in the high-score table when it beats the player's best (less is better:
    // it is play time) or when there is no best yet.
    void SaveHighScore();

    int32_t GetScore() const { return mScore; }
    void SetScore(int32_t score) { mScore = score; }
    // Tutorial indices 0-31; others are never shown and cannot be set.
    bool IsTutorialShown(int index) const;
    void SetTutorialShown(int index);
    uint8_t GetLocation() const { return mLocation; }
    void SetLocation(uint8_t location) { mLocation = location; }
    uint8_t GetGameState() const { return mGameState; }
    void SetGameState(uint8_t state) { mGameState = state; }

    // The shared "characterdialog" setting (default on).
    bool GetFullCharacterDialogState() const;
    void SetFullCharacterDialogState(bool on);

    // The record as stored: little-endian fields, the reserved bytes as last loaded.
    Record ToBytes() const;
    void FromBytes(const Record& bytes);

private:
    // The current profile's slot, or -1 when there is none (or no settings).
    int CurrentProfile() const;
    // Stores the record for the current profile (`always`: even when it is as last read), saving
    // the preferences when `save`.
    bool StoreRecord(bool always, bool save = true);

    int ScriptGetCurrentLocation(bool raw) const;
    void ScriptSetCurrentLocation(TScriptNumber location);
    int ScriptGetGameState() const { return mGameState; }

    int32_t mScore = 0;
    uint32_t mTutorialFlags = 0;
    uint8_t mLocation = 0;
    uint8_t mGameState = kNewGame;
    std::array<uint8_t, 2> mReserved{};
    // The record as this copy last read it from, or stored it for, the profile of that name.
    Record mKnown{};
    TString mKnownProfile;
    bool mKnownValid = false;
    // The runner whose saves the script's SaveProfile waits for, or null.
    const void* mSavesHeldBy = nullptr;
};
