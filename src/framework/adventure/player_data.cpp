// PlayerData: the record read and written field by field through the settings' player data, the
// profile rules around it, the high-score submission and the nine script functions.
#include "framework/adventure/player_data.h"

#include "framework/core/frame_services.h"
#include "framework/core/hiscore_store.h"
#include "framework/core/script_arguments.h"
#include "platform/log.h"
#include "platform/config/prefs.h"
#include "script/lua_bind.h"
#include "script/window_script_seam.h"

#include <cstring>

namespace
{

const char kRecordKey[] = "playerdata";
const char kLocationKey[] = "gamedata";
const char kCurrentUserKey[] = "curuser";
const char kCharacterDialogKey[] = "characterdialog";

// In the order the globals are registered.
const char* const kScriptFunctions[] = {"LoadProfile",
                                        "SaveProfile",
                                        "NewGame",
                                        "GetGameState",
                                        "GetCurrentLocation",
                                        "SetCurrentLocation",
                                        "SaveHighScore",
                                        "GetFullCharacterDialogState",
                                        "SetFullCharacterDialogState"};

// What the settings leave when a script deletes player data: one byte, meaning none.
constexpr int kDeletedLength = 1;

void PutLittle32(uint8_t* out, uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        out[i] = static_cast<uint8_t>(value >> (8 * i));
}

uint32_t GetLittle32(const uint8_t* in)
{
    uint32_t value = 0;
    for (int i = 0; i < 4; ++i)
        value |= static_cast<uint32_t>(in[i]) << (8 * i);
    return value;
}

Settings* RequireSettings(const char* operation)
{
    Settings* settings = Settings::Instance();
    if (settings == nullptr || settings->GetPrefs() == nullptr)
        Log("ERROR: PlayerData::%s without settings; nothing done", operation);
    return settings != nullptr && settings->GetPrefs() != nullptr ? settings : nullptr;
}

} // namespace

PlayerData::PlayerData()
{
    SetInstance(this);
    if (lua_State* L = GetWindowScriptState())
    {
        LuaBindMember(L, "LoadProfile", this, &PlayerData::LoadProfile);
        LuaBindMember(L, "SaveProfile", this, &PlayerData::RequestSave);
        LuaBindMember(L, "NewGame", this, &PlayerData::NewGame);
        LuaBindMember(L, "GetGameState", this, &PlayerData::ScriptGetGameState);
        LuaBindMember(L, "GetCurrentLocation", this, &PlayerData::ScriptGetCurrentLocation);
        LuaBindMember(L, "SetCurrentLocation", this, &PlayerData::ScriptSetCurrentLocation);
        LuaBindMember(L, "SaveHighScore", this, &PlayerData::SaveHighScore);
        LuaBindMember(L, "GetFullCharacterDialogState", this,
                      &PlayerData::GetFullCharacterDialogState);
        LuaBindMember(L, "SetFullCharacterDialogState", this,
                      &PlayerData::SetFullCharacterDialogState);
    }
    else
    {
        Log("ERROR: PlayerData made before the window script: its script functions are missing");
    }
    LoadProfile();
}

PlayerData::~PlayerData()
{
    // A script calling one of these after the object is gone meets nil, unless a newer object
    // took the name.
    if (lua_State* L = GetWindowScriptState())
        for (const char* name : kScriptFunctions)
            LuaUnbindMemberIfBound(L, name, this);
}

int PlayerData::CurrentProfile() const
{
    Settings* settings = Settings::Instance();
    if (settings == nullptr || settings->GetPrefs() == nullptr)
        return -1;
    TPrefs* prefs = settings->GetPrefs();
    int current = prefs->GetInt(kCurrentUserKey, -1, -1);
    // "curuser" -1 addresses the shared slot: a record written there would belong to nobody.
    return current >= 0 && current < prefs->GetNumUsers() ? current : -1;
}

void PlayerData::LoadProfile()
{
    Settings* settings = RequireSettings("LoadProfile");
    if (settings == nullptr || CurrentProfile() < 0)
        return;
    int size = settings->GetPlayerData(kRecordKey, nullptr, 0);
    // A deleted record (one byte) is no record: reading it as damaged would end the game.
    if (size <= 0 || size == kDeletedLength)
        return;
    if (size != kRecordSize)
    {
        ReportError("PlayerData sizeof mismatch!", "playerdata", 49, true);
        return;
    }
    Record bytes{};
    if (settings->GetPlayerData(kRecordKey, bytes.data(), kRecordSize) != 0)
        return;
    FromBytes(bytes);
    mKnown = bytes;
    mKnownProfile = settings->GetCurrentUserName();
    mKnownValid = true;
}

void PlayerData::SaveProfile()
{
    StoreRecord(false);
}

bool PlayerData::StageProfile()
{
    return StoreRecord(false, false);
}

void PlayerData::RequestSave()
{
    // A save of the record alone, beside the location's record of an earlier moment, would be
    // a version no start can trust (the location counted and its record still there): the
    // runner's next calm store, its completion or its close writes the record with its own.
    if (mSavesHeldBy != nullptr)
        return;
    SaveProfile();
}

void PlayerData::HoldScriptSaves(const void* runner)
{
    mSavesHeldBy = runner;
}

void PlayerData::ReleaseScriptSaves(const void* runner)
{
    if (mSavesHeldBy == runner)
        mSavesHeldBy = nullptr;
}

bool PlayerData::HasUnstoredChanges() const
{
    return !mKnownValid || ToBytes() != mKnown;
}

bool PlayerData::StoreRecord(bool always, bool save)
{
    Settings* settings = RequireSettings("SaveProfile");
    if (settings == nullptr || settings->GetNumUsers() == 0 || CurrentProfile() < 0)
        return false;
    const Record bytes = ToBytes();
    const TString profile = settings->GetCurrentUserName();
    // The preferences may hold a newer record of this profile, taken in from another copy's save:
    // one left as it was here would roll it back.
    if (!always && mKnownValid && bytes == mKnown && profile.Length() > 0 &&
        std::strcmp(profile.c_str(), mKnownProfile.c_str()) == 0)
        return false;
    settings->SetPlayerData(kRecordKey, bytes.data(), kRecordSize, save);
    mKnown = bytes;
    mKnownProfile = profile;
    mKnownValid = true;
    return true;
}

void PlayerData::NewGame()
{
    FromBytes(Record{});
    Settings* settings = RequireSettings("NewGame");
    if (settings == nullptr || CurrentProfile() < 0)
        return;
    // Starting again is a change even to a record that reads as new already. The zero record
    // and the location's removal go in one save: the zero record beside the old location's
    // record would bring that location back with every prompt's mark cleared.
    StoreRecord(true, false);
    settings->DeletePlayerData(kLocationKey, false);
    settings->SavePreferences();
}

void PlayerData::SaveHighScore()
{
    Settings* settings = RequireSettings("SaveHighScore");
    if (settings == nullptr)
        return;
    THiscoreStore* store = settings->GetHiscores();
    TString name = settings->GetCurrentUserName();
    if (store == nullptr || name.Length() == 0)
        return;
    int32_t best = settings->GetCurrentScore();
    if (!(mScore < best || best == 0))
        return;
    // The table keeps a player's higher score as the better one; the player's rows go first so
    // that the lower time stands, in the same save as the new row.
    store->ReplaceUserScore(name, mScore, true);
}

bool PlayerData::IsTutorialShown(int index) const
{
    if (index < 0 || index > 31)
        return false;
    return (mTutorialFlags >> index) & 1u;
}

void PlayerData::SetTutorialShown(int index)
{
    if (index < 0 || index > 31)
        return;
    mTutorialFlags |= 1u << index;
}

bool PlayerData::GetFullCharacterDialogState() const
{
    Settings* settings = Settings::Instance();
    if (settings == nullptr || settings->GetPrefs() == nullptr)
        return true;
    return settings->GetPrefs()->GetInt(kCharacterDialogKey, 1, -1) != 0;
}

void PlayerData::SetFullCharacterDialogState(bool on)
{
    Settings* settings = RequireSettings("SetFullCharacterDialogState");
    if (settings != nullptr)
        settings->GetPrefs()->SetInt(kCharacterDialogKey, on ? 1 : 0, -1, true);
}

PlayerData::Record PlayerData::ToBytes() const
{
    Record bytes{};
    PutLittle32(&bytes[0], static_cast<uint32_t>(mScore));
    PutLittle32(&bytes[4], mTutorialFlags);
    bytes[8] = mLocation;
    bytes[9] = mGameState;
    bytes[10] = mReserved[0];
    bytes[11] = mReserved[1];
    return bytes;
}

void PlayerData::FromBytes(const Record& bytes)
{
    mScore = static_cast<int32_t>(GetLittle32(&bytes[0]));
    mTutorialFlags = GetLittle32(&bytes[4]);
    mLocation = bytes[8];
    mGameState = bytes[9];
    mReserved = {bytes[10], bytes[11]};
}

int PlayerData::ScriptGetCurrentLocation(bool raw) const
{
    return raw ? mLocation : mLocation + 1;
}

void PlayerData::ScriptSetCurrentLocation(TScriptNumber location)
{
    if (!location.mValid)
        return LogWrongArgument("SetCurrentLocation", 1, "number");
    mLocation = static_cast<uint8_t>(static_cast<uint32_t>(ScriptNumberToInt(location.mValue)));
}
