// The preferences file: loading and saving the "IKEY", "USER" and "KVPR" chunks of
// "user:prefs.dat", and the typed accessors over the per-user slots.
#include "platform/config/prefs.h"

#include "platform/config/config.h"
#include "platform/files/file.h"
#include "platform/files/file_layer.h"
#include "platform/log.h"

#include <zlib.h>

#include <algorithm>
#include <cstring>
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

} // namespace

TPrefs::TPrefs(bool writable) : mCipher(EncryptionKeyFromConfig()), mWritable(writable)
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

    TFile file;
    if (!file.Open(mFileName, kFileReadBinary))
    {
        if (file.Refused())
        {
            mLoadedDamaged = true;
            Log("ERROR: Preferences file '%s' was not read: %s", ShownPath(mFileName).c_str(),
                file.GetError().c_str());
        }
        return;
    }
    // Refused unread when too large: neither a huge file nor one that grows while it is read
    // costs more than the largest a save writes.
    std::vector<uint8_t> data;
    const bool fits = file.Length() <= kPrefsMaxFileBytes;
    if (fits)
    {
        data = ReadWholeFile(file, kMaxFile);
    }
    file.Close();
    if (!fits || data.size() > kMaxFile)
    {
        mLoadedDamaged = true;
        Log("ERROR: Preferences file '%s' was not read: it is larger than %d bytes",
            ShownPath(mFileName).c_str(), kPrefsMaxFileBytes);
        return;
    }
    LoadChunks(data.data(), data.size(), installFileEmpty);
}

bool TPrefs::ReadChunk(const uint8_t* data, size_t size, size_t& pos, char tag[4],
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
    if (mCipher.Decrypt(body, static_cast<int>(length), payload.data(),
                        static_cast<int>(payload.size()), false) != 0)
    {
        return false;
    }
    int plain = mCipher.GetLastLength();
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
    switch (ReadAllChunks(data, size, installFileEmpty, badChunk))
    {
    case TChunkReading::kWhole:
        break;
    case TChunkReading::kStopped:
        mLoadedDamaged = true;
        // A lost profile must leave a trace: the player only sees that it is gone.
        Log("ERROR: Preferences file '%s' is damaged at byte %u; only what came before was read",
            mFileName.c_str(), static_cast<unsigned>(badChunk));
        break;
    case TChunkReading::kUnchecked:
        mLoadedDamaged = true;
        Log("ERROR: Preferences file '%s' has a damaged check record; it was read unchecked",
            mFileName.c_str());
        break;
    }
}

TPrefs::TChunkReading TPrefs::ReadAllChunks(const uint8_t* data, size_t size, bool installFileEmpty,
                                            size_t& badChunk)
{
    size_t pos = 0;
    char tag[4];
    std::vector<uint8_t> payload;
    badChunk = 0;
    if (!data || size == 0)
    {
        return TChunkReading::kWhole;
    }
    if (!ReadChunk(data, size, pos, tag, payload) || tag[0] != 'I')
    {
        return TChunkReading::kStopped;
    }
    if (installFileEmpty)
    {
        mInstallKey = LowerCase(PayloadText(payload));
    }
    SelectCurrentGroup();
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
        if (!ReadChunk(data, size, pos, tag, payload))
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
            group = &mGroups[LowerCase(PayloadText(payload))];
            slot = -1;
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
    }
    return &(*mCurrent)[static_cast<size_t>(user + 1)];
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

bool TPrefs::DeleteData(const TString& key, int user, bool save)
{
    if (user < -1 || static_cast<size_t>(user + 1) >= mCurrent->size() ||
        (*mCurrent)[static_cast<size_t>(user + 1)].erase(key) == 0)
    {
        return false;
    }
    return !save || Save();
}

void TPrefs::DeleteUser(int index)
{
    if (index >= 0 && index < GetNumUsers())
    {
        mCurrent->erase(mCurrent->begin() + index + 1);
    }
}

void TPrefs::AppendChunk(std::vector<uint8_t>& out, const char* tag, const uint8_t* plain, size_t n,
                         bool encipher)
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
    mCipher.Encrypt(plain, static_cast<int>(n), out.data() + at, static_cast<int>(padded), false);
}

std::vector<uint8_t> TPrefs::BuildFile()
{
    std::vector<uint8_t> body;
    std::vector<uint32_t> sums;
    auto append = [&](const char* tag, const uint8_t* plain, size_t n, bool encipher)
    {
        const size_t at = body.size();
        AppendChunk(body, tag, plain, n, encipher);
        sums.push_back(Checksum(body.data() + at, body.size() - at));
    };
    auto appendKey = [&](const TString& key)
    {
        append("IKEY", reinterpret_cast<const uint8_t*>(key.c_str()),
               static_cast<size_t>(key.Length()) + 1, true);
    };
    std::vector<uint8_t> plain;
    for (const auto& [groupKey, slots] : mGroups)
    {
        appendKey(groupKey);
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
    const char* key = mInstallKey.c_str();
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
    AppendChunk(out, "IKEY", head.data(), head.size(), true);
    out.insert(out.end(), body.begin(), body.end());
    return out;
}

bool TPrefs::KeepDamagedFile()
{
    if (!mLoadedDamaged || mDamagedKept || !mWritable)
    {
        return true;
    }
    // The first save drops everything after the bad chunk; the player's only copy goes aside.
    TString keptAs;
    TString reason;
    if (!::KeepDamagedFile(mFileName, kPrefsMaxFileBytes, keptAs, reason))
    {
        if (!mKeepFailureSaid)
        {
            mKeepFailureSaid = true;
            Log("ERROR: The damaged preferences '%s' could not be kept aside: %s; they are not "
                "saved over it",
                ShownPath(mFileName).c_str(), reason.c_str());
        }
        return false;
    }
    mDamagedKept = true;
    if (keptAs.Length() == 0)
        Log("The damaged preferences '%s' are gone: nothing to keep aside",
            ShownPath(mFileName).c_str());
    else
        Log("The damaged preferences were kept as '%s'", keptAs.c_str());
    return true;
}

bool TPrefs::Save()
{
    if (!mWritable)
    {
        return true;
    }
    // A damaged file that could not be kept is still the player's only copy of what it held.
    if (!KeepDamagedFile())
    {
        return false;
    }
    std::vector<uint8_t> data = BuildFile();
    if (data.size() > kMaxFile)
    {
        // The next start would refuse it, and lose every profile with it.
        Log("ERROR: Preferences could not be written to '%s': %u bytes, more than the %d a "
            "reader takes",
            ShownPath(mFileName).c_str(), static_cast<unsigned>(data.size()), kPrefsMaxFileBytes);
        return false;
    }
    // The file layer writes a temporary file and renames it over the old one when it is closed,
    // so a crash mid-write leaves the previous profiles whole.
    TString reason;
    if (!WriteWholeFile(mFileName, data.data(), static_cast<int>(data.size()), reason))
    {
        Log("ERROR: Preferences could not be written to '%s': %s", ShownPath(mFileName).c_str(),
            reason.c_str());
        return false;
    }
    return true;
}
