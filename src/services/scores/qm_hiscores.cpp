// The high-score store: construction in its fixed order, adding and removing scores, the queries,
// and saving through the file layer with a damaged file kept aside first.
#include "services/scores/qm_hiscores.h"

#include "platform/config/cipher.h"
#include "platform/config/config.h"
#include "platform/files/file.h"
#include "platform/files/file_layer.h"
#include "platform/files/shared_save.h"
#include "platform/log.h"
#include "platform/config/xml.h"
#include "services/scores/hiscore_file.h"
#include "services/scores/local_score_server.h"
#include "services/scores/score_table.h"
#include "services/simple_http.h"

#include <algorithm>
#include <cstring>

namespace
{

const char* const kScoreFile = "user:hiscore.dat";
// The first line of the address file is read into a buffer of this size.
constexpr int kServerLineBytes = 512;

const TSharedSave::TWords kScoreWords = {
    "ERROR: HiScores: The damaged score data '%s' could not be kept aside: %s; the scores are not "
    "saved over it.",
    "HiScores: The damaged score data '%s' is gone: nothing to keep aside.",
    "HiScores: The damaged score data was kept as '%s'.",
    "ERROR: HiScores: The scores could not be saved to '%s': %s.",
    "ERROR: HiScores: The scores were not saved to '%s': %s; they are kept for the next save.",
    "ERROR: HiScores: The scores could not be saved to '%s' before the end: what changed since "
    "their last save is lost.",
};

TString EncryptionKeyFromConfig()
{
    TString key = GetConfig("encryptionkey");
    if (key.Length() == 0)
        Log("ERROR: No encryption key set before TQmHiscores construction!");
    return key;
}

TString GameHandleFromConfig()
{
    TString handle = GetConfig("qmgamehandle");
    return handle.Length() > 0 ? handle : GetConfig("gamename");
}

void CopyText(char* dest, uint32_t size, const TString& text)
{
    if (dest == nullptr || size == 0)
        return;
    uint32_t n = std::min(static_cast<uint32_t>(text.Length()), size - 1);
    std::memcpy(dest, text.c_str(), n);
    dest[n] = 0;
}

TString OrEmpty(const char* text)
{
    return text ? TString(text) : TString();
}

// A player's medals, by the name folded as every player name is compared: the exact name first.
auto FindMedals(THiscoreData& data, const TString& player)
{
    auto found = data.mMedals.find(player);
    if (found != data.mMedals.end())
        return found;
    return std::find_if(data.mMedals.begin(), data.mMedals.end(),
                        [&](const auto& medals) { return SamePlayerName(medals.first, player); });
}

} // namespace

struct TQmHiscores::Record
{
    explicit Record(const TString& key, bool save)
        : mEncryptionKey(key), mCipher(key), mSaveEnabled(save)
    {
    }

    // Declared first so that it is released last, after the tables and the cipher.
    TLocalScoreServer mLocalServer;
    TString mGameHandle;
    TString mEncryptionKey;
    TString mLanguage;
    TString mVersion;
    TString mCurrentUser;
    TString mCurrentMode;
    TSimpleHttp mHttp;
    TString mServerUrl;
    TString mPassword;
    ScoreTable mServiceTable{TString()};
    THiscoreData mData;
    bool mLanguageFixed = false;
    TString mDefaultError;
    TCipher mCipher;
    bool mSaveEnabled;
    // What the file held as this copy last read or wrote it: a save takes in what another copy
    // of the game saved since.
    THiscoreData mBase;
    TSharedSave mSaves{kScoreFile, kMaxHiscoreFileBytes, kScoreWords};
    std::unique_ptr<TSharedSave::TStore> mStore;
    // The cipher the saves read another copy's file with, on the saver's thread.
    std::shared_ptr<TCipher> mSaverCipher;
    // The tables this copy entered a best score in (AddScore's bestOnly), each with its order
    // (true: lower first): a merge keeps each player's better entry there.
    THiscoreBestModes mBestModes;
};

// One version of the score file: its bytes, built at the request, and the data they hold.
class TScoreVersion : public TSharedSave::TVersion
{
public:
    struct TTaken : TSharedSave::TTaken
    {
        THiscoreData mDisk;
    };

    TSharedSave::TRead ReadFile(const TString& location, std::vector<uint8_t>& bytes) override
    {
        switch (ReadHiscoreBytesAt(location, bytes))
        {
        case THiscoreRead::kNoFile:
            return TSharedSave::TRead::kMissing;
        case THiscoreRead::kRead:
            return TSharedSave::TRead::kRead;
        default:
            return TSharedSave::TRead::kRefused;
        }
    }
    std::unique_ptr<TSharedSave::TTaken> Parse(const std::vector<uint8_t>& bytes) override
    {
        auto taken = std::make_unique<TTaken>();
        if (DecodeHiscoreBytes(*mCipher, bytes, taken->mDisk) != THiscoreLoad::kLoaded)
            return nullptr;
        return taken;
    }
    bool Build(std::vector<uint8_t>& bytes, TString& reason, bool) override
    {
        bytes = mBytes;
        reason = mReason;
        return mBuilt;
    }

    std::vector<uint8_t> mBytes;
    bool mBuilt = false;
    TString mReason;
    THiscoreData mData;
    // Of the saver alone (one version at a time is used).
    std::shared_ptr<TCipher> mCipher;
};

// The score file's steps of the saves copies of the game share.
class TQmHiscores::Store : public TSharedSave::TStore
{
public:
    explicit Store(Record& record) : mRecord(record) {}

    std::unique_ptr<TSharedSave::TVersion> Snapshot() override
    {
        Record& r = mRecord;
        auto version = std::make_unique<TScoreVersion>();
        version->mCipher = r.mSaverCipher;
        // A document past what the reader takes would lose every score at the next start: the
        // lowest rows go first, here as in the file.
        const int dropped = TrimHiscoreData(r.mData, kXmlMaxNodes, r.mBestModes);
        if (dropped > 0)
            Log("HiScores: The scores held more than the %d elements and attributes a score file "
                "may hold: the %d lowest rows were dropped.",
                kXmlMaxNodes, dropped);
        if (dropped < 0)
        {
            version->mReason = TString::Format("more than the %d elements and attributes a reader "
                                               "takes, without a single row",
                                               kXmlMaxNodes);
            return version;
        }
        version->mBytes = EncipherHiscoreDocument(r.mCipher, BuildHiscoreDocument(r.mData));
        version->mBuilt = true;
        version->mData = CopyHiscoreData(r.mData);
        return version;
    }
    void TakeIn(TSharedSave::TTaken& taken) override
    {
        Record& r = mRecord;
        THiscoreData& disk = static_cast<TScoreVersion::TTaken&>(taken).mDisk;
        THiscoreData asRead = CopyHiscoreData(disk);
        MergeHiscoreData(r.mBase, r.mData, disk, r.mBestModes);
        r.mData = std::move(disk);
        r.mBase = std::move(asRead);
    }
    void Written(TSharedSave::TVersion& version) override
    {
        mRecord.mBase = std::move(static_cast<TScoreVersion&>(version).mData);
    }

private:
    Record& mRecord;
};

TQmHiscores::TQmHiscores(bool saveEnabled)
{
    TString key = EncryptionKeyFromConfig();
    mRecord = std::make_unique<Record>(key, saveEnabled);
    mRecord->mStore = std::make_unique<Store>(*mRecord);
    mRecord->mSaverCipher = std::make_shared<TCipher>(key);
    mRecord->mGameHandle = GameHandleFromConfig();
    mRecord->mVersion = GetConfig("version");
    mRecord->mLanguage = "en";
    mRecord->mServerUrl = TString("http://") + kDefaultConfigSite + "/go/hiscore";
    Load();
    mRecord->mLocalServer.Load(mRecord->mGameHandle, mRecord->mEncryptionKey);
    ReadSettingsFile();
    ReadServerAddress();
}

TQmHiscores::~TQmHiscores()
{
    // What is on its way is written before the tables it was made of go.
    mRecord->mSaves.Wait(*mRecord->mStore);
}

void TQmHiscores::Load()
{
    std::vector<uint8_t> bytes;
    THiscoreLoad result = LoadHiscoreFile(mRecord->mCipher, kScoreFile, mRecord->mData, &bytes);
    if (result == THiscoreLoad::kDamaged)
        mRecord->mSaves.MarkDamaged();
    mRecord->mSaves.Remember(bytes, result != THiscoreLoad::kNoFile);
    mRecord->mBase = CopyHiscoreData(mRecord->mData);
}

void TQmHiscores::ReadSettingsFile()
{
    TXmlNode root;
    root.ParseFile("::hiscore.xml");
    TXmlNode* hiscore = root.FindChild("hiscore");
    if (hiscore == nullptr)
        return;
    if (TXmlNode* language = hiscore->FindChild("language"))
    {
        mRecord->mLanguage = language->GetText();
        mRecord->mLanguageFixed = true;
    }
    if (TXmlNode* error = hiscore->FindChild("defaulterror"))
        mRecord->mDefaultError = error->GetText();
}

void TQmHiscores::ReadServerAddress()
{
    // A plain file of the working folder, read through the file layer like every file.
    TFile file;
    if (!file.Open("::hiscoreserver.txt", kFileReadText))
        return;
    char line[kServerLineBytes] = {};
    int got = file.Read(line, kServerLineBytes - 1);
    if (got <= 0)
        return;
    int length = 0;
    while (length < got && line[length] != '\n' && line[length] != 0)
        ++length;
    if (length > 0 && line[length - 1] == '\r')
        --length;
    mRecord->mServerUrl = TString(line, static_cast<unsigned>(length));
}

bool TQmHiscores::Save()
{
    Record& r = *mRecord;
    if (!r.mSaveEnabled)
        return true;
    return r.mSaves.Save(*r.mStore);
}

bool TQmHiscores::SavePending(std::chrono::steady_clock::time_point closeBegan)
{
    return mRecord->mSaves.SavePending(*mRecord->mStore, closeBegan);
}

void TQmHiscores::SetBackgroundSaves(bool background)
{
    Record& r = *mRecord;
    if (!background)
        r.mSaves.Wait(*r.mStore);
    r.mSaves.SetBackground(background && r.mSaveEnabled);
}

void TQmHiscores::PollSaves()
{
    mRecord->mSaves.Poll(*mRecord->mStore);
}

void TQmHiscores::WaitForSaves()
{
    mRecord->mSaves.Wait(*mRecord->mStore);
}

void TQmHiscores::SetParameter(int which, const TString& value)
{
    switch (which)
    {
    case kParameterLanguage:
        if (!mRecord->mLanguageFixed)
            mRecord->mLanguage = value;
        break;
    case kParameterUser:
        mRecord->mCurrentUser = value;
        mRecord->mPassword = TString();
        break;
    case kParameterMode:
        mRecord->mCurrentMode = value;
        break;
    default:
        break;
    }
}

void TQmHiscores::AddScore(int score, bool bestOnly, const char* gameData)
{
    SubmitScore(score, bestOnly, gameData, nullptr);
}

void TQmHiscores::SubmitScore(int score, bool bestOnly, const char* gameData,
                              const char* serverData)
{
    if (bestOnly)
        mRecord->mBestModes.emplace(mRecord->mCurrentMode, false);
    Enter(score, bestOnly, gameData, serverData);
    Save();
}

void TQmHiscores::Enter(int score, bool bestOnly, const char* gameData, const char* serverData)
{
    Record& r = *mRecord;
    ScoreEntry entry;
    entry.mScore = score;
    entry.mName = r.mCurrentUser;
    entry.mGameData = OrEmpty(gameData);
    entry.mServerData = OrEmpty(serverData);
    entry.mVersion = r.mVersion;
    entry.mLocal = 1;
    entry.mSubmitted = 0;

    auto found = r.mData.mTables.find(r.mCurrentMode);
    if (found == r.mData.mTables.end())
    {
        entry.mRank = 1;
        entry.mGuid = NewGuidString();
        auto table = std::make_unique<ScoreTable>(r.mCurrentMode);
        table->AppendStored(std::move(entry));
        r.mData.mTables[r.mCurrentMode] = std::move(table);
        return;
    }
    ScoreTable& table = *found->second;
    bool enter = true;
    bool replacing = false;
    if (bestOnly && table.GetCount() > 0)
    {
        int at = table.FindPlayer(r.mCurrentUser);
        if (at >= 0)
        {
            const ScoreEntry& best = table.GetEntries()[static_cast<size_t>(at)];
            enter = best.mScore < score;
            if (enter)
            {
                // The improved best is the same entry: it keeps its identity.
                entry.mGuid = best.mGuid;
                replacing = true;
                table.RemoveAt(at);
            }
        }
    }
    if (enter)
    {
        if (!replacing)
            entry.mGuid = NewGuidString();
        const auto order = r.mBestModes.find(r.mCurrentMode);
        table.Insert(std::move(entry), order != r.mBestModes.end() && order->second);
    }
}

void TQmHiscores::RemoveUserScores(const TString& player)
{
    DropPlayer(player);
    Save();
}

void TQmHiscores::DropPlayer(const TString& player)
{
    for (auto& [mode, table] : mRecord->mData.mTables)
        table->RemovePlayer(player);
    auto& medals = mRecord->mData.mMedals;
    for (auto it = medals.begin(); it != medals.end();)
        it = SamePlayerName(it->first, player) ? medals.erase(it) : std::next(it);
}

void TQmHiscores::ReplaceUserScore(const TString& player, int score, bool lowerFirst,
                                   const char* gameData)
{
    mRecord->mBestModes[mRecord->mCurrentMode] = lowerFirst;
    DropPlayer(player);
    Enter(score, true, gameData, nullptr);
    Save();
}

int TQmHiscores::GetNumScores(bool currentModeOnly) const
{
    if (!currentModeOnly)
        return mRecord->mServiceTable.GetCount();
    auto found = mRecord->mData.mTables.find(mRecord->mCurrentMode);
    return found == mRecord->mData.mTables.end() ? 0 : found->second->GetCount();
}

bool TQmHiscores::GetScore(bool currentModeOnly, int index, int* rank, char* name,
                           uint32_t nameSize, uint8_t* local, int* score, char* gameData,
                           uint32_t gameDataSize) const
{
    const ScoreTable* table = &mRecord->mServiceTable;
    if (currentModeOnly)
    {
        auto found = mRecord->mData.mTables.find(mRecord->mCurrentMode);
        if (found == mRecord->mData.mTables.end())
            return false;
        table = found->second.get();
    }
    if (index < 0 || index >= table->GetCount())
        return false;
    const ScoreEntry& entry = table->GetEntries()[static_cast<size_t>(index)];
    if (rank)
        *rank = entry.mRank;
    CopyText(name, nameSize, entry.mName);
    if (local)
        *local = entry.mLocal;
    if (score)
        *score = entry.mScore;
    CopyText(gameData, gameDataSize, entry.mGameData);
    return true;
}

int TQmHiscores::GetNumMedals() const
{
    auto found = FindMedals(mRecord->mData, mRecord->mCurrentUser);
    return found == mRecord->mData.mMedals.end() ? 0 : static_cast<int>(found->second.size());
}

bool TQmHiscores::GetMedal(int index, TString* medalName, int* notGameType, TString* mode,
                           TString* gameData) const
{
    auto found = FindMedals(mRecord->mData, mRecord->mCurrentUser);
    if (found == mRecord->mData.mMedals.end() || index < 0 ||
        index >= static_cast<int>(found->second.size()))
        return false;
    const MedalRecord& medal = *std::next(found->second.begin(), index);
    if (medalName)
        *medalName = medal.mMedalName;
    if (notGameType)
        *notGameType = std::strcmp(medal.mType.c_str(), "game") == 0 ? 0 : 1;
    if (mode)
        *mode = medal.mMode;
    if (gameData)
        *gameData = medal.mGameData;
    return true;
}

const TString& TQmHiscores::GetLanguage() const
{
    return mRecord->mLanguage;
}

const TString& TQmHiscores::GetDefaultError() const
{
    return mRecord->mDefaultError;
}

const TString& TQmHiscores::GetServerUrl() const
{
    return mRecord->mServerUrl;
}
