// The preferences file: loading and saving the "IKEY", "USER" and "KVPR" chunks of
// "user:prefs.dat", and the typed accessors over the per-user slots.
#include "platform/config/prefs.h"

#include "platform/config/config.h"
#include "platform/files/file.h"
#include "platform/files/file_layer.h"
#include "platform/files/shared_save.h"
#include "platform/log.h"

#include <zlib.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <random>
#include <set>
#include <string>

namespace
{

TString EncryptionKeyFromConfig()
{
    TString key = GetConfig("encryptionkey", "");
    if (key.Length() == 0)
    {
        Log("ERROR: No encryption key set before TPrefs construction!");
    }
    return key;
}

uint32_t ReadU32(const uint8_t* p)
{
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

uint16_t ReadU16(const uint8_t* p)
{
    return static_cast<uint16_t>(p[0] | p[1] << 8);
}

void PutU32(std::vector<uint8_t>& out, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
    {
        out.push_back(static_cast<uint8_t>(v >> (8 * i)));
    }
}

void PutU16(std::vector<uint8_t>& out, uint16_t v)
{
    out.push_back(static_cast<uint8_t>(v));
    out.push_back(static_cast<uint8_t>(v >> 8));
}

// The text at the start of a payload, up to its NUL or the payload's end.
TString PayloadText(const std::vector<uint8_t>& payload)
{
    size_t n = 0;
    while (n < payload.size() && payload[n] != 0)
    {
        ++n;
    }
    return TString(reinterpret_cast<const char*>(payload.data()), static_cast<unsigned>(n));
}

TString LowerCase(TString text)
{
    text.MakeLower();
    return text;
}

uint32_t Checksum(const uint8_t* data, size_t size)
{
    return static_cast<uint32_t>(crc32(crc32(0L, Z_NULL, 0), data, static_cast<uInt>(size)));
}

// What the first chunk carries after its install key's NUL. Earlier builds wrote nothing there,
// and their reader takes the key up to its NUL and passes over the rest, so a file written now
// reads there as before, and a file they save again is one without a record.
enum class TCheckRecord
{
    kNone,    // nothing after the NUL: a file of an earlier build, read unchecked
    kValid,   // the chunks after the first are checked against `sums`
    kDamaged, // something that is no record, or one whose own checksum fails
};

// The record: u32 chunk count N, N u32 checksums of the chunks after the first as stored (tag,
// length and payload), then a u32 checksum of every payload byte before it (key and NUL included).
TCheckRecord ReadCheckRecord(const std::vector<uint8_t>& payload, std::vector<uint32_t>& sums)
{
    sums.clear();
    const auto nul = std::find(payload.begin(), payload.end(), uint8_t{0});
    if (nul == payload.end() || nul + 1 == payload.end())
    {
        return TCheckRecord::kNone;
    }
    const size_t start = static_cast<size_t>(nul - payload.begin()) + 1;
    const size_t rest = payload.size() - start;
    if (rest < 8 || rest % 4 != 0)
    {
        return TCheckRecord::kDamaged;
    }
    const uint32_t count = ReadU32(&payload[start]);
    const size_t end = payload.size() - 4;
    if (count != (rest - 8) / 4 || ReadU32(&payload[end]) != Checksum(payload.data(), end))
    {
        return TCheckRecord::kDamaged;
    }
    for (size_t at = start + 4; at < end; at += 4)
    {
        sums.push_back(ReadU32(&payload[at]));
    }
    return TCheckRecord::kValid;
}

// The padded length of an enciphered payload of n plain bytes.
size_t PaddedLength(size_t n)
{
    return n / 8 * 8 + 8;
}

// At most `limit` + 1 bytes: one more than a reader takes tells a file that grew past it.
std::vector<uint8_t> ReadWholeFile(TFile& file, size_t limit)
{
    std::vector<uint8_t> data;
    uint8_t block[4096];
    while (data.size() <= limit)
    {
        const size_t wanted = std::min(sizeof block, limit + 1 - data.size());
        int got = file.Read(block, static_cast<int>(wanted));
        if (got <= 0)
        {
            break;
        }
        data.insert(data.end(), block, block + got);
    }
    return data;
}

constexpr size_t kMaxFile = static_cast<size_t>(kPrefsMaxFileBytes);

const TSharedSave::TWords kPrefsWords = {
    "ERROR: The damaged preferences '%s' could not be kept aside: %s; they are not saved over it",
    "The damaged preferences '%s' are gone: nothing to keep aside",
    "The damaged preferences were kept as '%s'",
    "ERROR: Preferences could not be written to '%s': %s",
    "ERROR: Preferences were not written to '%s': %s; they are kept for the next save",
    "ERROR: Preferences could not be saved to '%s' before the end: what changed since their last "
    "save is lost",
};

// One slot's keys: what this copy set, changed or removed since `base` (no slot there: all of it)
// goes over what `disk` holds; the rest of `disk` stays.
TPrefs::TSlot MergeSlot(const TPrefs::TSlot* base, const TPrefs::TSlot& mine,
                        const TPrefs::TSlot& disk)
{
    TPrefs::TSlot merged = disk;
    for (const auto& [key, value] : mine)
    {
        if (base == nullptr)
        {
            merged[key] = value;
            continue;
        }
        auto was = base->find(key);
        if (was == base->end() || was->second != value)
        {
            merged[key] = value;
        }
    }
    if (base != nullptr)
    {
        for (const auto& [key, value] : *base)
        {
            if (mine.find(key) == mine.end())
            {
                merged.erase(key);
            }
        }
    }
    return merged;
}

// What tells a player's slot from another: its name, folded as a copy's own check of a new name
// folds it ("ÉVA" and "éva", "Ann" and "ann" are one player to the eye); a slot without one has
// none.
bool SlotName(const TPrefs::TSlot& slot, const TString& nameKey, std::string& name)
{
    auto found = slot.find(nameKey);
    if (found == slot.end())
        return false;
    const std::string text(found->second.begin(),
                           std::find(found->second.begin(), found->second.end(), uint8_t{0}));
    name = FoldCase(TString(text.c_str(), static_cast<unsigned>(text.size()))).c_str();
    return true;
}

bool SameSlot(const TPrefs::TSlot& a, const TPrefs::TSlot& b, const TString& nameKey)
{
    std::string nameA;
    std::string nameB;
    const bool namedA = SlotName(a, nameKey, nameA);
    const bool namedB = SlotName(b, nameKey, nameB);
    return namedA == namedB && nameA == nameB;
}

// Whether two slots name one player by a name that shows something.
bool SameNamedPlayer(const TPrefs::TSlot& a, const TPrefs::TSlot& b, const TString& nameKey)
{
    std::string name;
    return nameKey.Length() > 0 && SlotName(a, nameKey, name) && !name.empty() &&
           SameSlot(a, b, nameKey);
}

// Where each player slot of `base` (from 1) lies in `disk`, or -1 where it is gone. Copies order
// the players differently (each keeps its own first), so a slot is looked for by its name among
// those not found yet. Without a name key, by their place.
std::vector<int> FindSlots(const TPrefs::TSlotList& base, const TPrefs::TSlotList& disk,
                           const TString& nameKey)
{
    std::vector<int> at(base.size(), -1);
    std::vector<bool> taken(disk.size(), false);
    for (size_t i = 1; i < base.size(); ++i)
    {
        if (nameKey.Length() == 0)
        {
            at[i] = i < disk.size() ? static_cast<int>(i) : -1;
            continue;
        }
        for (size_t j = 1; j < disk.size(); ++j)
        {
            if (!taken[j] && SameSlot(base[i], disk[j], nameKey))
            {
                at[i] = static_cast<int>(j);
                taken[j] = true;
                break;
            }
        }
    }
    return at;
}

// The longest name the name dialog takes, in letters.
constexpr size_t kMaxNameLetters = 16;

// A name no player of `taken` (folded names) has: `name` followed by the first free number, the
// name cut (at a letter's start) so that the whole stays as long as the name dialog allows.
std::string FreeName(const std::string& name, const std::set<std::string>& taken)
{
    for (int number = 2;; ++number)
    {
        const std::string suffix = " " + std::to_string(number);
        size_t end = 0;
        size_t letters = 0;
        while (end < name.size() && letters + suffix.size() < kMaxNameLetters)
        {
            ++end;
            while (end < name.size() && (static_cast<uint8_t>(name[end]) & 0xC0) == 0x80)
                ++end;
            ++letters;
        }
        const std::string candidate = name.substr(0, end) + suffix;
        const TString folded =
            FoldCase(TString(candidate.c_str(), static_cast<unsigned>(candidate.size())));
        if (taken.count(folded.c_str()) == 0)
            return candidate;
    }
}

bool ReadUserIndex(const std::vector<uint8_t>& value, int& index)
{
    std::string text(value.begin(), std::find(value.begin(), value.end(), uint8_t{0}));
    if (text.empty() || text.size() > 10)
    {
        return false;
    }
    char* end = nullptr;
    const long read = std::strtol(text.c_str(), &end, 10);
    if (*end != 0 || read < 0 || read > kPrefsMaxSlot)
    {
        return false;
    }
    index = static_cast<int>(read);
    return true;
}

// Which copies' saves a file took in, written where the file's first group names its install key,
// after its NUL (every reader takes the key up to it and passes over the rest): for each copy,
// most recent first, its id (u64) and how many of its saves carried this (u32). A file written
// while the lock was a stand-in carries it, as does each file saved over one that did: a stand-in
// taken from a holder that still runs lets that holder replace the file out of turn, and a copy
// whose own last save a file does not count knows the file was written without it.
constexpr size_t kTurnBytes = 12;
constexpr size_t kMaxTurns = 32;

void ReadTurns(const std::vector<uint8_t>& payload, TPrefsTurns& turns)
{
    turns.clear();
    const auto nul = std::find(payload.begin(), payload.end(), uint8_t{0});
    if (nul == payload.end())
    {
        return;
    }
    const size_t start = static_cast<size_t>(nul - payload.begin()) + 1;
    const size_t rest = payload.size() - start;
    if (rest % kTurnBytes != 0 || rest / kTurnBytes > kMaxTurns)
    {
        return;
    }
    for (size_t at = start; at < payload.size(); at += kTurnBytes)
    {
        const uint64_t copy = uint64_t(ReadU32(&payload[at])) | uint64_t(ReadU32(&payload[at + 4]))
                                                                    << 32;
        turns.push_back({copy, ReadU32(&payload[at + 8])});
    }
}

uint64_t NewCopyId()
{
    std::random_device device;
    uint64_t id = 0;
    while (id == 0)
    {
        id = uint64_t(device()) << 32 | device();
    }
    return id;
}

} // namespace

// One version of the file: the groups as a save writes them, made at the request, and what the
// saver needs of its own to read the file again and write this one.
class TPrefs::TVersion : public TSharedSave::TVersion
{
public:
    TSharedSave::TRead ReadFile(const TString& location, std::vector<uint8_t>& bytes) override
    {
        TFile file;
        file.OpenAt(location, kFileReadBinary);
        switch (ReadOpenFile(file, location, bytes))
        {
        case TFileRead::kMissing:
            return TSharedSave::TRead::kMissing;
        case TFileRead::kRead:
            return TSharedSave::TRead::kRead;
        default:
            return TSharedSave::TRead::kRefused;
        }
    }
    std::unique_ptr<TSharedSave::TTaken> Parse(const std::vector<uint8_t>& bytes) override
    {
        auto taken = std::make_unique<TTaken>();
        if (!ParseTakeIn(*mCipher, mFileName, mShown, bytes, taken->mDisk, taken->mTurns))
            return nullptr;
        return taken;
    }
    bool Build(std::vector<uint8_t>& bytes, TString&, bool standIn) override
    {
        // Whether the lock is a stand-in is known only here, as the saver holds it.
        mBuiltTurns = NextTurns(mCopyId, mWrittenTurn, mBaseTurns, standIn);
        bytes = BuildChunks(*mCipher, mView, mInstallKey, mBuiltTurns);
        return true;
    }

    struct TTaken : TSharedSave::TTaken
    {
        TGroups mDisk;
        // The copies' saves the file took in: the owner's out-of-turn check.
        TTurns mTurns;
    };

    TGroups mView;
    TString mInstallKey;
    TString mFileName;
    TString mShown;
    // Of the saver alone (one version at a time is used).
    std::shared_ptr<TCipher> mCipher;
    // For each slot of the current group as it was made: its place among those written, or -1
    // (gone from the file).
    std::vector<int> mWritten;
    // This copy's id, its last save's turn and the turns of the file it stands on, as they were
    // when the version was made; the turns the file built carries (the saver's, until written).
    uint64_t mCopyId = 0;
    uint32_t mWrittenTurn = 0;
    TTurns mBaseTurns;
    TTurns mBuiltTurns;
};

// The preferences' steps of the saves copies of the game share.
class TPrefs::TStore : public TSharedSave::TStore
{
public:
    explicit TStore(TPrefs& prefs) : mPrefs(prefs) {}

    std::unique_ptr<TSharedSave::TVersion> Snapshot() override
    {
        TPrefs& p = mPrefs;
        auto version = std::make_unique<TVersion>();
        version->mView = p.FileView();
        version->mInstallKey = p.mInstallKey;
        version->mFileName = p.mFileName;
        version->mShown = ShownPath(p.mFileName);
        version->mCipher = p.mSaverCipher;
        version->mCopyId = p.mCopyId;
        version->mWrittenTurn = p.mWrittenTurn;
        version->mBaseTurns = p.mBaseTurns;
        const size_t count = p.mCurrent->size();
        version->mWritten.assign(count, -1);
        p.mSnapSlots.resize(count);
        int written = 0;
        for (size_t i = 0; i < count; ++i)
        {
            if (!(i > 0 && i < p.mGone.size() && p.mGone[i]))
                version->mWritten[i] = written++;
            p.mSnapSlots[i] = static_cast<int>(i);
        }
        return version;
    }
    void TakeIn(TSharedSave::TTaken& taken) override
    {
        auto& disk = static_cast<TVersion::TTaken&>(taken);
        mPrefs.TakeIn(std::move(disk.mDisk), std::move(disk.mTurns));
    }
    void Written(TSharedSave::TVersion& written) override
    {
        // What the file holds now is what the next save compares with; the slots changed, made
        // or deleted since the version was made stay changes over it.
        TPrefs& p = mPrefs;
        auto& version = static_cast<TVersion&>(written);
        p.mBase = std::move(version.mView);
        p.mBaseTurns = std::move(version.mBuiltTurns);
        if (!p.mBaseTurns.empty())
        {
            p.mWrittenTurn = p.mBaseTurns.front().mSaves;
        }
        const size_t count = p.mCurrent->size();
        p.mOrigins.assign(count, -1);
        p.mGone.resize(count, false);
        for (size_t k = 0; k < count && k < p.mSnapSlots.size(); ++k)
        {
            const int at = p.mSnapSlots[k];
            if (at >= 0 && static_cast<size_t>(at) < version.mWritten.size())
                p.mOrigins[k] = version.mWritten[static_cast<size_t>(at)];
        }
    }

private:
    TPrefs& mPrefs;
};

TPrefs::TPrefs(bool writable)
    : mCipher(EncryptionKeyFromConfig()),
      mSaverCipher(std::make_shared<TCipher>(GetConfig("encryptionkey", ""))),
      mSaves("user:prefs.dat", kPrefsMaxFileBytes, kPrefsWords),
      mStore(std::make_unique<TStore>(*this)), mCopyId(NewCopyId()), mWritable(writable)
{
    mInstallKey = GetConfig("installkey", "");
    if (mInstallKey.Length() == 0)
    {
        mInstallKey = "unknown";
    }
    mFileName = "user:prefs.dat";
    Load();
}

void TPrefs::SelectCurrentGroup()
{
    mCurrent = &mGroups[mInstallKey];
}

void TPrefs::Load()
{
    bool installFileEmpty = false;
    {
        TFile install;
        if (install.Open(TString("install.txt"), kFileReadText))
        {
            std::vector<uint8_t> text = ReadWholeFile(install, kMaxFile);
            if (text.empty())
            {
                installFileEmpty = true;
            }
            else
            {
                mInstallKey = TString(reinterpret_cast<const char*>(text.data()),
                                      static_cast<unsigned>(text.size()));
            }
        }
    }
    mInstallKey.MakeLower();
    SelectCurrentGroup();

    std::vector<uint8_t> data;
    switch (ReadFileBytes(data))
    {
    case TFileRead::kMissing:
        RememberFile(data, false);
        break;
    case TFileRead::kRefused:
        mLoadedDamaged = true;
        mSaves.MarkDamaged();
        RememberFile(data, false);
        break;
    case TFileRead::kRead:
        if (data.empty())
        {
            // No save writes an empty file: something emptied it, and it is kept as found.
            mLoadedDamaged = true;
            mSaves.MarkDamaged();
            Log("ERROR: Preferences file '%s' is empty; nothing was read",
                ShownPath(mFileName).c_str());
            RememberFile(data, true);
            break;
        }
        LoadChunks(data.data(), data.size(), installFileEmpty);
        break;
    }
}

TPrefs::TFileRead TPrefs::ReadFileBytes(std::vector<uint8_t>& data)
{
    TFile file;
    file.Open(mFileName, kFileReadBinary);
    return ReadOpenFile(file, ShownPath(mFileName), data);
}

TPrefs::TFileRead TPrefs::ReadOpenFile(TFile& file, const TString& shown,
                                       std::vector<uint8_t>& data)
{
    data.clear();
    if (!file.IsOpen())
    {
        if (!file.Refused())
            return TFileRead::kMissing;
        Log("ERROR: Preferences file '%s' was not read: %s", shown.c_str(),
            file.GetError().c_str());
        return TFileRead::kRefused;
    }
    // Refused unread when too large: neither a huge file nor one that grows while it is read
    // costs more than the largest a save writes.
    const bool fits = file.Length() <= kPrefsMaxFileBytes;
    if (fits)
    {
        data = ReadWholeFile(file, kMaxFile);
    }
    file.Close();
    if (!fits || data.size() > kMaxFile)
    {
        data.clear();
        Log("ERROR: Preferences file '%s' was not read: it is larger than %d bytes", shown.c_str(),
            kPrefsMaxFileBytes);
        return TFileRead::kRefused;
    }
    return TFileRead::kRead;
}

void TPrefs::RememberFile(const std::vector<uint8_t>& data, bool exists)
{
    mSaves.Remember(data, exists);
    RememberGroups();
}

void TPrefs::RememberGroups()
{
    mBase = FileView();
    mGone.resize(mCurrent->size(), false);
    mOrigins.resize(mCurrent->size());
    int written = 0;
    for (size_t i = 0; i < mOrigins.size(); ++i)
    {
        mOrigins[i] = i > 0 && mGone[i] ? -1 : written++;
    }
}

bool TPrefs::ReadChunk(TCipher& cipher, const uint8_t* data, size_t size, size_t& pos, char tag[4],
                       std::vector<uint8_t>& payload)
{
    if (pos > size || size - pos < 8)
    {
        return false;
    }
    std::memcpy(tag, data + pos, 4);
    uint32_t length = ReadU32(data + pos + 4);
    if (length < 1 || length > kPrefsMaxChunk || size - pos - 8 < length)
    {
        return false;
    }
    const uint8_t* body = data + pos + 8;
    pos += 8 + size_t(length);
    if (tag[0] == 'U')
    {
        payload.assign(body, body + length);
        return true;
    }
    payload.assign(PaddedLength(length), 0);
    if (cipher.Decrypt(body, static_cast<int>(length), payload.data(),
                       static_cast<int>(payload.size()), false) != 0)
    {
        return false;
    }
    int plain = cipher.GetLastLength();
    if (plain <= 0 || static_cast<size_t>(plain) > length)
    {
        return false;
    }
    payload.resize(static_cast<size_t>(plain));
    return true;
}

void TPrefs::LoadChunks(const uint8_t* data, size_t size, bool installFileEmpty)
{
    size_t badChunk = 0;
    TString firstKey;
    const TChunkReading reading =
        ReadAllChunks(mCipher, data, size, mGroups, &firstKey, badChunk, &mBaseTurns);
    if (installFileEmpty && firstKey.Length() > 0)
    {
        mInstallKey = firstKey;
    }
    SelectCurrentGroup();
    RememberFile(std::vector<uint8_t>(data, data + (data ? size : 0)), true);
    switch (reading)
    {
    case TChunkReading::kWhole:
        break;
    case TChunkReading::kStopped:
        mLoadedDamaged = true;
        mSaves.MarkDamaged();
        // A lost profile must leave a trace: the player only sees that it is gone.
        Log("ERROR: Preferences file '%s' is damaged at byte %u; only what came before was read",
            mFileName.c_str(), static_cast<unsigned>(badChunk));
        break;
    case TChunkReading::kUnchecked:
        mLoadedDamaged = true;
        mSaves.MarkDamaged();
        Log("ERROR: Preferences file '%s' has a damaged check record; it was read unchecked",
            mFileName.c_str());
        break;
    }
}

TPrefs::TChunkReading TPrefs::ReadAllChunks(TCipher& cipher, const uint8_t* data, size_t size,
                                            TGroups& groups, TString* firstKey, size_t& badChunk,
                                            TTurns* turns)
{
    if (turns != nullptr)
    {
        turns->clear();
    }
    bool firstGroup = true;
    size_t pos = 0;
    char tag[4];
    std::vector<uint8_t> payload;
    badChunk = 0;
    if (!data || size == 0)
    {
        return TChunkReading::kWhole;
    }
    if (!ReadChunk(cipher, data, size, pos, tag, payload) || tag[0] != 'I')
    {
        return TChunkReading::kStopped;
    }
    if (firstKey != nullptr)
    {
        *firstKey = LowerCase(PayloadText(payload));
    }
    // A file cut on a chunk boundary, or one changed inside an enciphered payload, reads as whole
    // chunks; only the record tells.
    std::vector<uint32_t> sums;
    const TCheckRecord record = ReadCheckRecord(payload, sums);
    const bool checked = record == TCheckRecord::kValid;
    const TChunkReading whole =
        record == TCheckRecord::kDamaged ? TChunkReading::kUnchecked : TChunkReading::kWhole;

    TSlotList* group = nullptr;
    int slot = -1;
    for (size_t chunk = 0;; ++chunk)
    {
        badChunk = pos;
        if (!ReadChunk(cipher, data, size, pos, tag, payload))
        {
            if (badChunk != size || (checked && chunk != sums.size()))
            {
                return TChunkReading::kStopped;
            }
            return whole;
        }
        if (checked &&
            (chunk >= sums.size() || Checksum(data + badChunk, pos - badChunk) != sums[chunk]))
        {
            return TChunkReading::kStopped;
        }
        switch (tag[0])
        {
        case 'I':
            group = &groups[LowerCase(PayloadText(payload))];
            slot = -1;
            if (turns != nullptr && firstGroup)
            {
                ReadTurns(payload, *turns);
            }
            firstGroup = false;
            break;
        case 'U':
        {
            if (!group || payload.size() < 2)
            {
                return TChunkReading::kStopped;
            }
            int index = ReadU16(payload.data());
            if (index > kPrefsMaxSlot)
            {
                return TChunkReading::kStopped;
            }
            if (group->size() < size_t(index) + 1)
            {
                group->resize(size_t(index) + 1);
            }
            slot = index;
            break;
        }
        case 'K':
        {
            // A value before any "USER" chunk of its group belongs nowhere.
            if (!group || slot < 0 || payload.size() < 2)
            {
                return TChunkReading::kStopped;
            }
            size_t n = ReadU16(payload.data());
            if (payload.size() < n + 2)
            {
                return TChunkReading::kStopped;
            }
            const char* keyBytes = reinterpret_cast<const char*>(payload.data() + 2);
            size_t keyLength = n == 0 ? 0 : n - 1;
            if (const void* nul = std::memchr(keyBytes, 0, keyLength))
            {
                keyLength = static_cast<size_t>(static_cast<const char*>(nul) - keyBytes);
            }
            TString key(keyBytes, static_cast<unsigned>(keyLength));
            (*group)[static_cast<size_t>(slot)][key].assign(payload.begin() + 2 + long(n),
                                                            payload.end());
            break;
        }
        default:
            return TChunkReading::kStopped;
        }
    }
}

int TPrefs::GetNumUsers() const
{
    return mCurrent->empty() ? 0 : static_cast<int>(mCurrent->size()) - 1;
}

const TPrefs::TSlot* TPrefs::SlotForReading(int user) const
{
    if (user < -1 || static_cast<size_t>(user + 1) >= mCurrent->size())
    {
        return nullptr;
    }
    return &(*mCurrent)[static_cast<size_t>(user + 1)];
}

TPrefs::TSlot* TPrefs::SlotForWriting(const TString& key, int user, size_t valueLength)
{
    if (user < -1 || user + 1 > kPrefsMaxSlot)
    {
        Log("ERROR: Preferences user %d is out of range; '%s' not stored", user, key.c_str());
        return nullptr;
    }
    // A chunk the reader would refuse would also lose every chunk written after it.
    size_t keyLength = static_cast<size_t>(key.Length());
    if (keyLength + 1 > 0xFFFF || PaddedLength(2 + keyLength + 1 + valueLength) > kPrefsMaxChunk)
    {
        Log("ERROR: Preferences value '%s' is too large to store (%u bytes)", key.c_str(),
            static_cast<unsigned>(valueLength));
        return nullptr;
    }
    if (mCurrent->size() < static_cast<size_t>(user + 2))
    {
        mCurrent->resize(static_cast<size_t>(user + 2));
        mOrigins.resize(mCurrent->size(), -1);
        mGone.resize(mCurrent->size(), false);
        mSnapSlots.resize(mCurrent->size(), -1);
    }
    // A player another copy deleted comes back once this copy changes it.
    const size_t at = static_cast<size_t>(user + 1);
    if (at > 0 && at < mGone.size() && mGone[at])
    {
        mGone[at] = false;
        mOrigins[at] = -1;
    }
    return &(*mCurrent)[at];
}

TString TPrefs::GetString(const TString& key, const TString& defaultValue, int user) const
{
    const TSlot* slot = SlotForReading(user);
    if (!slot)
    {
        return defaultValue;
    }
    auto it = slot->find(key);
    if (it == slot->end())
    {
        return defaultValue;
    }
    const std::vector<uint8_t>& value = it->second;
    size_t n = 0;
    while (n < value.size() && value[n] != 0)
    {
        ++n;
    }
    return TString(reinterpret_cast<const char*>(value.data()), static_cast<unsigned>(n));
}

int TPrefs::GetInt(const TString& key, int defaultValue, int user) const
{
    return GetString(key, TString::Format("%d", defaultValue), user).ToInt();
}

int TPrefs::GetData(const TString& key, void* buffer, int size, int user) const
{
    const TSlot* slot = SlotForReading(user);
    if (!slot)
    {
        return -1;
    }
    auto it = slot->find(key);
    if (it == slot->end())
    {
        return -1;
    }
    int length = static_cast<int>(it->second.size());
    if (!buffer || size < length)
    {
        return length;
    }
    if (length > 0)
    {
        std::memcpy(buffer, it->second.data(), static_cast<size_t>(length));
    }
    return 0;
}

bool TPrefs::SetString(const TString& key, const TString& value, int user, bool save)
{
    const char* text = value.c_str();
    return SetData(key, text, value.Length() + 1, user, save);
}

bool TPrefs::SetInt(const TString& key, int value, int user, bool save)
{
    return SetString(key, TString::Format("%d", value), user, save);
}

bool TPrefs::SetData(const TString& key, const void* data, int length, int user, bool save)
{
    if (length < 0 || (!data && length > 0))
    {
        Log("ERROR: Preferences value '%s' has no data", key.c_str());
        return false;
    }
    TSlot* slot = SlotForWriting(key, user, static_cast<size_t>(length));
    if (!slot)
    {
        return false;
    }
    const auto* bytes = static_cast<const uint8_t*>(data);
    (*slot)[key].assign(bytes, bytes + length);
    return !save || Save();
}

bool TPrefs::SetDefaultInt(const TString& key, int value, int user, bool save)
{
    if (!SetInt(key, value, user, false))
        return false;
    // As if the file as last read held it already: only another copy's value counts as a change.
    const size_t at = static_cast<size_t>(user + 1);
    const int origin = at < mOrigins.size() ? mOrigins[at] : -1;
    auto group = mBase.find(mInstallKey);
    if (origin >= 0 && group != mBase.end() && static_cast<size_t>(origin) < group->second.size())
        group->second[static_cast<size_t>(origin)][key] = (*mCurrent)[at][key];
    return !save || Save();
}

bool TPrefs::DeleteData(const TString& key, int user, bool save)
{
    const size_t at = static_cast<size_t>(user + 1);
    if (user < -1 || at >= mCurrent->size() || (*mCurrent)[at].erase(key) == 0)
    {
        return false;
    }
    if (at > 0 && at < mGone.size() && mGone[at])
    {
        mGone[at] = false;
        mOrigins[at] = -1;
    }
    return !save || Save();
}

void TPrefs::DeleteUser(int index)
{
    if (index >= 0 && index < GetNumUsers())
    {
        mCurrent->erase(mCurrent->begin() + index + 1);
        if (static_cast<size_t>(index) + 1 < mOrigins.size())
        {
            mOrigins.erase(mOrigins.begin() + index + 1);
        }
        if (static_cast<size_t>(index) + 1 < mGone.size())
        {
            mGone.erase(mGone.begin() + index + 1);
        }
        if (static_cast<size_t>(index) + 1 < mSnapSlots.size())
        {
            mSnapSlots.erase(mSnapSlots.begin() + index + 1);
        }
    }
}

void TPrefs::SetProfileKeys(const TString& nameKey, const TString& currentUserKey)
{
    mNameKey = nameKey;
    mCurrentUserKey = currentUserKey;
}

void TPrefs::AppendChunk(TCipher& cipher, std::vector<uint8_t>& out, const char* tag,
                         const uint8_t* plain, size_t n, bool encipher)
{
    out.insert(out.end(), tag, tag + 4);
    if (!encipher)
    {
        PutU32(out, static_cast<uint32_t>(n));
        out.insert(out.end(), plain, plain + n);
        return;
    }
    size_t padded = PaddedLength(n);
    PutU32(out, static_cast<uint32_t>(padded));
    size_t at = out.size();
    out.resize(at + padded);
    cipher.Encrypt(plain, static_cast<int>(n), out.data() + at, static_cast<int>(padded), false);
}

std::vector<uint8_t> TPrefs::BuildFile()
{
    // Only a copy that keeps players gone from the file writes other groups than it holds.
    const bool anyGone = std::find(mGone.begin(), mGone.end(), true) != mGone.end();
    return BuildChunks(mCipher, anyGone ? FileView() : mGroups, mInstallKey,
                       NextTurns(mCopyId, mWrittenTurn, mBaseTurns, false));
}

TPrefs::TTurns TPrefs::NextTurns(uint64_t copyId, uint32_t writtenTurn, const TTurns& base,
                                 bool standIn)
{
    TTurns turns;
    if (standIn || !base.empty())
    {
        turns.push_back({copyId, writtenTurn + 1});
        for (const TPrefsTurn& turn : base)
        {
            if (turn.mCopy != copyId && turns.size() < kMaxTurns)
            {
                turns.push_back(turn);
            }
        }
    }
    return turns;
}

std::vector<uint8_t> TPrefs::BuildChunks(TCipher& cipher, const TGroups& groups,
                                         const TString& installKey, const TTurns& turns)
{
    std::vector<uint8_t> body;
    std::vector<uint32_t> sums;
    auto append = [&](const char* tag, const uint8_t* plain, size_t n, bool encipher)
    {
        const size_t at = body.size();
        AppendChunk(cipher, body, tag, plain, n, encipher);
        sums.push_back(Checksum(body.data() + at, body.size() - at));
    };
    auto appendKey = [&](const TString& key)
    {
        append("IKEY", reinterpret_cast<const uint8_t*>(key.c_str()),
               static_cast<size_t>(key.Length()) + 1, true);
    };
    bool firstGroup = true;
    std::vector<uint8_t> plain;
    for (const auto& [groupKey, slots] : groups)
    {
        if (firstGroup && !turns.empty())
        {
            plain.assign(groupKey.c_str(), groupKey.c_str() + groupKey.Length() + 1);
            for (const TPrefsTurn& turn : turns)
            {
                PutU32(plain, static_cast<uint32_t>(turn.mCopy));
                PutU32(plain, static_cast<uint32_t>(turn.mCopy >> 32));
                PutU32(plain, turn.mSaves);
            }
            append("IKEY", plain.data(), plain.size(), true);
        }
        else
        {
            appendKey(groupKey);
        }
        firstGroup = false;
        for (size_t s = 0; s < slots.size(); ++s)
        {
            plain.clear();
            PutU16(plain, static_cast<uint16_t>(s));
            append("USER", plain.data(), plain.size(), false);
            for (const auto& [key, value] : slots[s])
            {
                plain.clear();
                PutU16(plain, static_cast<uint16_t>(key.Length() + 1));
                plain.insert(plain.end(), key.c_str(), key.c_str() + key.Length() + 1);
                plain.insert(plain.end(), value.begin(), value.end());
                append("KVPR", plain.data(), plain.size(), true);
            }
        }
    }
    // The first chunk: the current install key as every reader takes it (up to its first NUL), the
    // NUL, and the check record of the chunks after it (left out, as earlier builds wrote the
    // chunk, when it would not fit in one chunk).
    const char* key = installKey.c_str();
    std::vector<uint8_t> head(key, key + std::strlen(key) + 1);
    if (PaddedLength(head.size() + 8 + 4 * sums.size()) <= kPrefsMaxChunk)
    {
        PutU32(head, static_cast<uint32_t>(sums.size()));
        for (uint32_t sum : sums)
        {
            PutU32(head, sum);
        }
        PutU32(head, Checksum(head.data(), head.size()));
    }
    std::vector<uint8_t> out;
    out.reserve(PaddedLength(head.size()) + 8 + body.size());
    AppendChunk(cipher, out, "IKEY", head.data(), head.size(), true);
    out.insert(out.end(), body.begin(), body.end());
    return out;
}

TPrefs::TSlotList TPrefs::MergeSlots(bool current, const TSlotList& base, const TSlotList& mine,
                                     const std::vector<int>& origins, const std::vector<bool>& gone,
                                     const TSlotList& disk, bool outOfTurn,
                                     std::vector<int>& mergedOrigins, std::vector<bool>& mergedGone,
                                     std::vector<TRename>& renamed) const
{
    mergedOrigins.clear();
    mergedGone.clear();
    TSlotList merged;
    if (mine.empty() && disk.empty())
    {
        return merged;
    }
    // The shared slot is the first wherever it was made.
    static const TSlot kNone;
    merged.push_back(MergeSlot(base.empty() ? nullptr : &base[0], mine.empty() ? kNone : mine[0],
                               disk.empty() ? kNone : disk[0]));
    mergedOrigins.push_back(disk.empty() ? -1 : 0);
    mergedGone.push_back(false);

    int currentUser = -1;
    if (current && mCurrentUserKey.Length() > 0 && !mine.empty())
    {
        auto found = mine[0].find(mCurrentUserKey);
        if (found == mine[0].end() || !ReadUserIndex(found->second, currentUser) ||
            static_cast<size_t>(currentUser) + 1 >= mine.size())
        {
            currentUser = -1;
        }
    }
    std::vector<int> mergedOfMine(mine.size(), -1);
    auto keep = [&](TSlot slot, int origin, int fromMine, bool isGone)
    {
        if (fromMine > 0)
        {
            mergedOfMine[static_cast<size_t>(fromMine)] = static_cast<int>(merged.size());
        }
        merged.push_back(std::move(slot));
        mergedOrigins.push_back(origin);
        mergedGone.push_back(isGone);
    };

    const std::vector<int> onDisk = FindSlots(base, disk, mNameKey);
    std::vector<bool> matched(disk.size(), false);
    for (size_t i = 1; i < base.size(); ++i)
    {
        if (onDisk[i] > 0)
        {
            matched[static_cast<size_t>(onDisk[i])] = true;
        }
    }
    // A player the other copy made under a name this copy has made too (or one it deleted there
    // and made again).
    auto madeThereAs = [&](const TSlot& slot) -> int
    {
        for (size_t j = 1; j < disk.size(); ++j)
        {
            if (!matched[j] && SameNamedPlayer(slot, disk[j], mNameKey))
            {
                matched[j] = true;
                return static_cast<int>(j);
            }
        }
        return -1;
    };
    std::vector<int> mergedOfDisk(disk.size(), -1);
    // This copy's players first, in its order, each in the place it has here: a caller may hold
    // an index across a save. Each with its changes over the file's. A player deleted there stays
    // deleted unless this copy changed its slot since: being current on this copy's menu is no
    // play. In this copy it stays in its place until the run ends, written to no file (gone),
    // unless it is changed then.
    for (size_t k = 1; k < mine.size(); ++k)
    {
        const int i = k < origins.size() ? origins[k] : -1;
        const bool wasGone = current && k < gone.size() && gone[k];
        const int j = !wasGone && i > 0 && static_cast<size_t>(i) < base.size()
                          ? onDisk[static_cast<size_t>(i)]
                          : -1;
        if (j > 0)
        {
            mergedOfDisk[static_cast<size_t>(j)] = static_cast<int>(merged.size());
            keep(MergeSlot(&base[static_cast<size_t>(i)], mine[k], disk[static_cast<size_t>(j)]), j,
                 static_cast<int>(k), false);
            continue;
        }
        const bool madeHere = !wasGone && i <= 0;
        const bool changedHere =
            !wasGone && i > 0 && static_cast<size_t>(i) < base.size() && mine[k] != base[i];
        const int there = madeHere || wasGone ? madeThereAs(mine[k]) : -1;
        if (there > 0 && madeHere)
        {
            // Made in both copies at once: two players, each played and written by its own copy
            // alone, as one record written by two would go back and forth between them. The
            // other copy's, saved first, keeps the name; this one takes a free one.
            matched[static_cast<size_t>(there)] = false;
            std::set<std::string> taken;
            for (const TSlotList* slots : {&mine, &disk})
                for (size_t s = 1; s < slots->size(); ++s)
                {
                    std::string name;
                    if (!(slots == &mine && s == k) && SlotName((*slots)[s], mNameKey, name))
                        taken.insert(name);
                }
            for (const TRename& done : renamed)
                taken.insert(FoldCase(done.mTo).c_str());
            TSlot slot = mine[k];
            std::vector<uint8_t>& value = slot[mNameKey];
            const std::string was(value.begin(), std::find(value.begin(), value.end(), uint8_t{0}));
            const std::string now = FreeName(was, taken);
            value.assign(now.begin(), now.end());
            value.push_back(0);
            renamed.push_back({static_cast<int>(k) - 1,
                               TString(was.c_str(), static_cast<unsigned>(was.size())),
                               TString(now.c_str(), static_cast<unsigned>(now.size()))});
            keep(std::move(slot), -1, static_cast<int>(k), false);
        }
        else if (there > 0)
        {
            mergedOfDisk[static_cast<size_t>(there)] = static_cast<int>(merged.size());
            keep(wasGone ? disk[static_cast<size_t>(there)]
                         : MergeSlot(nullptr, mine[k], disk[static_cast<size_t>(there)]),
                 there, static_cast<int>(k), false);
        }
        else if (madeHere || changedHere || (outOfTurn && !wasGone))
        {
            // A file written out of turn never had this player to delete.
            keep(mine[k], -1, static_cast<int>(k), false);
        }
        else if (current)
        {
            keep(mine[k], -1, static_cast<int>(k), true);
        }
    }
    // Then the players the other copy added. One deleted here stays deleted.
    for (size_t j = 1; j < disk.size(); ++j)
    {
        if (!matched[j])
        {
            mergedOfDisk[j] = static_cast<int>(merged.size());
            keep(disk[j], static_cast<int>(j), -1, false);
        }
    }
    if (current && mCurrentUserKey.Length() > 0)
    {
        // This copy's current player, or (when it has none) the one the file names, where its
        // slot went; one whose slot is gone leaves no current player.
        int index = -1;
        int at = -1;
        if (currentUser >= 0)
        {
            at = mergedOfMine[static_cast<size_t>(currentUser) + 1];
        }
        else if (!disk.empty())
        {
            // The merge took the file's value when this copy left its own as it was.
            auto found = disk[0].find(mCurrentUserKey);
            auto taken = merged[0].find(mCurrentUserKey);
            if (found != disk[0].end() && taken != merged[0].end() &&
                taken->second == found->second && ReadUserIndex(found->second, index) &&
                static_cast<size_t>(index) + 1 < disk.size())
            {
                at = mergedOfDisk[static_cast<size_t>(index) + 1];
            }
        }
        if (at > 0)
        {
            const std::string text = std::to_string(at - 1);
            merged[0][mCurrentUserKey].assign(text.c_str(), text.c_str() + text.size() + 1);
        }
        else if (index >= 0)
        {
            merged[0][mCurrentUserKey].assign({'-', '1', 0});
        }
    }
    return merged;
}

bool TPrefs::ParseTakeIn(TCipher& cipher, const TString& fileName, const TString& shown,
                         const std::vector<uint8_t>& data, TGroups& disk, TTurns& turns)
{
    size_t badChunk = 0;
    if (data.empty())
    {
        Log("ERROR: Preferences file '%s' was emptied since it was read; it is not taken in",
            shown.c_str());
        return false;
    }
    if (ReadAllChunks(cipher, data.data(), data.size(), disk, nullptr, badChunk, &turns) !=
        TChunkReading::kWhole)
    {
        Log("ERROR: Preferences file '%s' was damaged since it was read (at byte %u); it is "
            "not taken in",
            fileName.c_str(), static_cast<unsigned>(badChunk));
        return false;
    }
    return true;
}

void TPrefs::TakeIn(TGroups disk, TTurns diskTurns)
{
    // This copy's last save is not among those the file took in: it was written by a copy that
    // held the lock no more (taken from it as left), over this copy's save.
    const bool outOfTurn = mWrittenTurn > 0 && std::none_of(diskTurns.begin(), diskTurns.end(),
                                                            [&](const TPrefsTurn& turn) {
                                                                return turn.mCopy == mCopyId &&
                                                                       turn.mSaves >= mWrittenTurn;
                                                            });
    if (outOfTurn)
    {
        Log("ERROR: Preferences file '%s' was replaced by a copy that had not read this one's last "
            "save; the players it lacks are kept",
            ShownPath(mFileName).c_str());
    }
    TGroups merged;
    std::vector<int> currentOrigins;
    std::vector<bool> currentGone;
    std::vector<TRename> renamed;
    std::vector<TString> names;
    for (const TGroups* groups : {&mGroups, &disk})
    {
        for (const auto& [name, slots] : *groups)
        {
            names.push_back(name);
        }
    }
    static const TSlotList kNoSlots;
    for (const TString& name : names)
    {
        if (merged.count(name) != 0)
        {
            continue;
        }
        auto slotsOf = [&](const TGroups& groups) -> const TSlotList&
        {
            auto found = groups.find(name);
            return found == groups.end() ? kNoSlots : found->second;
        };
        const TSlotList& mine = slotsOf(mGroups);
        // Only the current group changes here; another keeps the slots it was read with.
        const bool current = &mine == mCurrent;
        std::vector<int> origins;
        if (current)
        {
            origins = mOrigins;
        }
        else
        {
            for (size_t i = 0; i < mine.size(); ++i)
            {
                origins.push_back(static_cast<int>(i));
            }
        }
        std::vector<int> mergedOrigins;
        std::vector<bool> mergedGone;
        TSlotList slots = MergeSlots(current, slotsOf(mBase), mine, origins, mGone, slotsOf(disk),
                                     outOfTurn, mergedOrigins, mergedGone, renamed);
        if (current)
        {
            currentOrigins = mergedOrigins;
            currentGone = mergedGone;
        }
        merged[name] = std::move(slots);
    }
    for (const TRename& rename : renamed)
    {
        Log("Another copy of the game made a player named '%s' at the same time; this copy's "
            "player of that name is now '%s'",
            rename.mFrom.c_str(), rename.mTo.c_str());
        mRenamed.push_back(rename);
    }
    // From here this copy's values stand on the file as it is now.
    mGroups = std::move(merged);
    SelectCurrentGroup();
    mBase = std::move(disk);
    mBaseTurns = std::move(diskTurns);
    mOrigins = std::move(currentOrigins);
    mGone = std::move(currentGone);
    mOrigins.resize(mCurrent->size(), -1);
    mGone.resize(mCurrent->size(), false);
}

TPrefs::TGroups TPrefs::FileView() const
{
    TGroups file = mGroups;
    auto found = file.end();
    for (const auto& [key, slots] : mGroups)
    {
        if (&slots == mCurrent)
        {
            found = file.find(key);
        }
    }
    if (found == file.end())
    {
        return file;
    }
    TSlotList& slots = found->second;
    // The players gone from the file stay out of it; the current player's index is its place
    // among those written.
    std::vector<int> written(slots.size(), -1);
    TSlotList kept;
    for (size_t k = 0; k < slots.size(); ++k)
    {
        if (k > 0 && k < mGone.size() && mGone[k])
        {
            continue;
        }
        written[k] = static_cast<int>(kept.size());
        kept.push_back(std::move(slots[k]));
    }
    int index = -1;
    if (mCurrentUserKey.Length() > 0 && !kept.empty() && kept.size() != slots.size())
    {
        auto key = kept[0].find(mCurrentUserKey);
        if (key != kept[0].end() && ReadUserIndex(key->second, index) &&
            static_cast<size_t>(index) + 1 < written.size())
        {
            // A current player gone from the file leaves the file without one.
            const int at = written[static_cast<size_t>(index) + 1];
            const std::string text = at > 0 ? std::to_string(at - 1) : std::string("-1");
            key->second.assign(text.c_str(), text.c_str() + text.size() + 1);
        }
    }
    slots = std::move(kept);
    return file;
}

bool TPrefs::Save()
{
    if (!mWritable)
    {
        return true;
    }
    return mSaves.Save(*mStore);
}

bool TPrefs::SavePending(TSharedSave::TClock::time_point closeBegan)
{
    return mSaves.SavePending(*mStore, closeBegan);
}

void TPrefs::SetBackgroundSaves(bool background)
{
    if (!background)
        mSaves.Wait(*mStore);
    mSaves.SetBackground(background && mWritable);
}

void TPrefs::PollSaves()
{
    mSaves.Poll(*mStore);
}

void TPrefs::WaitForSaves()
{
    mSaves.Wait(*mStore);
}

TPrefs::~TPrefs()
{
    // What is on its way is written before the store it was made of goes.
    mSaves.Wait(*mStore);
}

bool TPrefs::KeepDamagedFile()
{
    // The first save drops everything after the bad chunk; the player's only copy goes aside.
    if (!mWritable)
        return true;
    mSaves.Wait(*mStore);
    return mSaves.KeepDamaged();
}
