// Tests of the preferences file: values of every kind per user and shared, the exact chunks and
// their order, install keys, damaged files, and values read back by a second process.
#include "platform/config/prefs.h"

#include "platform/config/cipher.h"
#include "platform/config/config.h"
#include "platform/files/file.h"
#include "platform/files/file_layer.h"
#include "platform/log.h"
#include "support/files.h"
#include "sys/files/paths.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <zlib.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <random>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace fs = std::filesystem;

namespace
{

const char kKey[] = "Tk7pQ2mW9xLr";

struct TChunk
{
    std::string mTag;
    uint32_t mLength = 0;
    std::vector<uint8_t> mRaw;   // the payload as stored
    std::vector<uint8_t> mPlain; // deciphered (or the raw "USER" payload)
};

uint32_t U32(const uint8_t* p)
{
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

std::vector<uint8_t> Bytes(const std::string& text)
{
    return std::vector<uint8_t>(text.begin(), text.end());
}

std::vector<uint8_t> Encipher(const std::vector<uint8_t>& plain)
{
    TCipher cipher{TString(kKey)};
    std::vector<uint8_t> out(plain.size() / 8 * 8 + 8);
    EXPECT_EQ(cipher.Encrypt(plain.data(), static_cast<int>(plain.size()), out.data(),
                             static_cast<int>(out.size()), false),
              0);
    return out;
}

std::vector<TChunk> SplitChunks(const std::vector<uint8_t>& file)
{
    TCipher cipher{TString(kKey)};
    std::vector<TChunk> chunks;
    size_t pos = 0;
    while (pos + 8 <= file.size())
    {
        TChunk chunk;
        chunk.mTag.assign(reinterpret_cast<const char*>(&file[pos]), 4);
        chunk.mLength = U32(&file[pos + 4]);
        pos += 8;
        if (pos + chunk.mLength > file.size())
        {
            ADD_FAILURE() << "chunk runs past the end";
            break;
        }
        chunk.mRaw.assign(file.begin() + long(pos), file.begin() + long(pos + chunk.mLength));
        pos += chunk.mLength;
        if (chunk.mTag == "USER")
        {
            chunk.mPlain = chunk.mRaw;
        }
        else
        {
            chunk.mPlain.resize(chunk.mRaw.size());
            cipher.Decrypt(chunk.mRaw.data(), static_cast<int>(chunk.mRaw.size()),
                           chunk.mPlain.data(), static_cast<int>(chunk.mPlain.size()), false);
            chunk.mPlain.resize(static_cast<size_t>(cipher.GetLastLength()));
        }
        chunks.push_back(chunk);
    }
    EXPECT_EQ(pos, file.size());
    return chunks;
}

void PutU32(std::vector<uint8_t>& out, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
    {
        out.push_back(static_cast<uint8_t>(v >> (8 * i)));
    }
}

// The first chunk's plain payload a save writes: the key, its NUL, the number of chunks after it,
// the CRC-32 of each of them as stored (tag, length, payload), and the CRC-32 of all that.
std::vector<uint8_t> CheckedHead(const std::string& key, const std::vector<TChunk>& chunks)
{
    std::vector<uint8_t> head = Bytes(key);
    head.push_back(0);
    PutU32(head, static_cast<uint32_t>(chunks.size() - 1));
    for (size_t i = 1; i < chunks.size(); ++i)
    {
        std::vector<uint8_t> stored(chunks[i].mTag.begin(), chunks[i].mTag.end());
        PutU32(stored, chunks[i].mLength);
        stored.insert(stored.end(), chunks[i].mRaw.begin(), chunks[i].mRaw.end());
        PutU32(head, static_cast<uint32_t>(crc32(0, stored.data(), uInt(stored.size()))));
    }
    PutU32(head, static_cast<uint32_t>(crc32(0, head.data(), uInt(head.size()))));
    return head;
}

// Where each chunk of a file image starts.
std::vector<size_t> ChunkStarts(const std::vector<uint8_t>& file)
{
    std::vector<size_t> starts;
    for (size_t pos = 0; pos + 8 <= file.size(); pos += 8 + U32(&file[pos + 4]))
    {
        starts.push_back(pos);
    }
    return starts;
}

std::vector<uint8_t> Kvpr(const std::string& key, const std::vector<uint8_t>& value)
{
    // Sized once and filled by index: GCC 12 at -O2 takes growing inserts for out-of-bounds writes.
    uint16_t n = static_cast<uint16_t>(key.size() + 1);
    std::vector<uint8_t> plain(2 + key.size() + 1 + value.size(), 0);
    plain[0] = static_cast<uint8_t>(n);
    plain[1] = static_cast<uint8_t>(n >> 8);
    std::copy(key.begin(), key.end(), plain.begin() + 2);
    std::copy(value.begin(), value.end(), plain.begin() + 2 + static_cast<long>(key.size()) + 1);
    return plain;
}

// Builds a prefs file image chunk by chunk.
class TFileImage
{
public:
    TFileImage& Raw(const char* tag, const std::vector<uint8_t>& payload)
    {
        mData.insert(mData.end(), tag, tag + 4);
        uint32_t n = static_cast<uint32_t>(payload.size());
        for (int i = 0; i < 4; ++i)
        {
            mData.push_back(static_cast<uint8_t>(n >> (8 * i)));
        }
        mData.insert(mData.end(), payload.begin(), payload.end());
        return *this;
    }
    TFileImage& Ikey(const std::string& key)
    {
        std::vector<uint8_t> plain = Bytes(key);
        plain.push_back(0);
        return Raw("IKEY", Encipher(plain));
    }
    TFileImage& User(uint16_t slot)
    {
        return Raw("USER", {static_cast<uint8_t>(slot), static_cast<uint8_t>(slot >> 8)});
    }
    TFileImage& Kv(const std::string& key, const std::string& value)
    {
        std::vector<uint8_t> v = Bytes(value);
        v.push_back(0);
        return Raw("KVPR", Encipher(Kvpr(key, v)));
    }
    std::vector<uint8_t> mData;
};

class PrefsTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        mUser = mRoot / "user";
        fs::create_directories(mUser);
        fs::create_directories(mRoot / "log");
        SetLogFolder((mRoot / "log").c_str());
        ClearPathMap();
        SetDataFolders(TString(mUser.c_str()), TString((mRoot / "common").c_str()), TString());
        SetConfig("encryptionkey", kKey);
        SetConfig("installkey", "C:/Games/Murk");
    }
    void TearDown() override
    {
        RegisterMemoryFileName(TString("install.txt"), nullptr, 0);
        ClearPathMap();
        SetLogFolder(nullptr);
    }
    void SetInstallFile(const std::string& text)
    {
        mInstallText = text;
        // A block that stays valid: an empty text still needs a non-null address.
        mInstallText.push_back('\0');
        RegisterMemoryFileName(TString("install.txt"), mInstallText.data(),
                               static_cast<uint32_t>(text.size()));
    }
    std::vector<uint8_t> ReadPrefsFile() const
    {
        std::ifstream in(mUser / "prefs.dat", std::ios::binary);
        return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
    }
    void WritePrefsFile(const std::vector<uint8_t>& data) const
    {
        std::ofstream out(mUser / "prefs.dat", std::ios::binary);
        out.write(reinterpret_cast<const char*>(data.data()), static_cast<long>(data.size()));
    }
    // What the user folder holds: no temporary file may stay behind after a save. The lock file
    // saves take turns by stays, by design.
    std::vector<std::string> FolderEntries() const
    {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(mUser))
        {
            if (entry.path().filename() != "prefs.dat.lock")
            {
                names.push_back(entry.path().filename().string());
            }
        }
        return names;
    }
    std::string LogText() const { return testsupport::ReadFile(mRoot / "log" / "logfile.txt"); }

    testsupport::ScratchFolder mScratch{"mw_prefs"};
    fs::path mRoot = mScratch.Path();
    fs::path mUser;
    std::string mInstallText;
};

std::vector<std::string> Tags(const std::vector<TChunk>& chunks)
{
    std::vector<std::string> tags;
    for (const TChunk& chunk : chunks)
    {
        std::string tag = chunk.mTag;
        if (chunk.mTag == "USER")
        {
            tag += " " + std::to_string(chunk.mPlain[0] | chunk.mPlain[1] << 8);
        }
        else
        {
            tag += " " + std::string(reinterpret_cast<const char*>(chunk.mPlain.data() +
                                                                   (chunk.mTag == "KVPR" ? 2 : 0)));
        }
        tags.push_back(tag);
    }
    return tags;
}

void WriteEveryKind(TPrefs& prefs)
{
    prefs.SetString("volume", "0.75", -1, false);
    prefs.SetInt("fullscreen", 1, -1, false);
    prefs.SetInt("current", -2, -1, false);
    const uint8_t blob[6] = {0, 1, 0xFF, 0x80, 0, 7};
    prefs.SetData("blob", blob, sizeof blob, -1, false);
    for (int u = 0; u < 40; ++u)
    {
        prefs.SetString("name", TString::Format("Player %d caf\xC3\xA9", u), u, false);
        prefs.SetInt("score", u * 1000 - 7, u, false);
        std::vector<uint8_t> data(static_cast<size_t>(u * 37 + 1));
        for (size_t i = 0; i < data.size(); ++i)
        {
            data[i] = static_cast<uint8_t>(i * 31 + u);
        }
        prefs.SetData("progress", data.data(), static_cast<int>(data.size()), u, false);
    }
    prefs.SetString("empty", "", 3, true);
}

void ExpectEveryKind(const TPrefs& prefs)
{
    EXPECT_EQ(prefs.GetNumUsers(), 40);
    EXPECT_STREQ(prefs.GetString("volume", "x").c_str(), "0.75");
    EXPECT_EQ(prefs.GetInt("fullscreen", 0), 1);
    EXPECT_EQ(prefs.GetInt("current", 0), -2);
    uint8_t blob[6] = {};
    EXPECT_EQ(prefs.GetData("blob", nullptr, 0), 6);
    EXPECT_EQ(prefs.GetData("blob", blob, sizeof blob), 0);
    const uint8_t expected[6] = {0, 1, 0xFF, 0x80, 0, 7};
    EXPECT_EQ(std::memcmp(blob, expected, 6), 0);
    for (int u = 0; u < 40; ++u)
    {
        EXPECT_STREQ(prefs.GetString("name", "", u).c_str(),
                     TString::Format("Player %d caf\xC3\xA9", u).c_str());
        EXPECT_EQ(prefs.GetInt("score", 0, u), u * 1000 - 7);
        std::vector<uint8_t> data(static_cast<size_t>(u * 37 + 1));
        ASSERT_EQ(prefs.GetData("progress", data.data(), static_cast<int>(data.size()), u), 0);
        for (size_t i = 0; i < data.size(); ++i)
        {
            ASSERT_EQ(data[i], static_cast<uint8_t>(i * 31 + u));
        }
    }
    EXPECT_STREQ(prefs.GetString("empty", "default", 3).c_str(), "");
    EXPECT_EQ(prefs.GetData("empty", nullptr, 0, 3), 1);
}

} // namespace

TEST_F(PrefsTest, SettingWithoutSavingGrowsTheSlotListAndStoresTheNul)
{
    TPrefs prefs(true);
    EXPECT_EQ(prefs.GetNumUsers(), 0);
    prefs.SetString("name", "Ann", 0, false);
    ASSERT_EQ(prefs.GetCurrentSlots().size(), 2u);
    EXPECT_EQ(prefs.GetCurrentSlots()[1].at(TString("name")),
              (std::vector<uint8_t>{0x41, 0x6E, 0x6E, 0x00}));
    EXPECT_EQ(prefs.GetNumUsers(), 1);
    EXPECT_FALSE(fs::exists(mUser / "prefs.dat"));
    EXPECT_STREQ(prefs.GetInstallKey().c_str(), "c:/games/murk");
}

TEST_F(PrefsTest, DefaultsForMissingSlotsAndKeys)
{
    TPrefs prefs(true);
    prefs.SetString("a", "1", -1, false);
    EXPECT_STREQ(prefs.GetString("a", "d").c_str(), "1");
    EXPECT_STREQ(prefs.GetString("b", "d").c_str(), "d");
    EXPECT_STREQ(prefs.GetString("a", "d", 0).c_str(), "d");
    EXPECT_EQ(prefs.GetInt("b", 42), 42);
    EXPECT_EQ(prefs.GetInt("a", 42, 5), 42);
    EXPECT_STREQ(prefs.GetString("a", "d", -2).c_str(), "d");
}

TEST_F(PrefsTest, GetDataReportsLengthsAndAbsence)
{
    TPrefs prefs(true);
    const uint8_t value[4] = {1, 2, 3, 4};
    prefs.SetData("k", value, 4, 0, false);
    uint8_t small[2] = {9, 9};
    EXPECT_EQ(prefs.GetData("k", small, 2, 0), 4);
    EXPECT_EQ(small[0], 9);
    EXPECT_EQ(small[1], 9);
    uint8_t big[8] = {};
    EXPECT_EQ(prefs.GetData("k", big, 8, 0), 0);
    EXPECT_EQ(std::memcmp(big, value, 4), 0);
    EXPECT_EQ(prefs.GetData("k", nullptr, 0, 0), 4);
    EXPECT_EQ(prefs.GetData("missing", big, 8, 0), -1);
    EXPECT_EQ(prefs.GetData("missing", big, 8, -1), -1);
    // A user slot that does not exist reports absence rather than a successful copy.
    EXPECT_EQ(prefs.GetData("k", big, 8, 7), -1);
}

TEST_F(PrefsTest, ChunkOrderAndBytesOfASavedFile)
{
    // An older install's group comes from the file; the current group is added to it.
    WritePrefsFile(TFileImage().Ikey("zz-old").Ikey("zz-old").User(0).Kv("o", "x").User(1).mData);
    TPrefs prefs(true);
    prefs.SetString("b", "2", -1, false);
    prefs.SetString("a", "1", -1, false);
    prefs.SetString("name", "Ann", 1, false);
    prefs.Save();
    std::vector<uint8_t> file = ReadPrefsFile();
    EXPECT_EQ(file, prefs.BuildFile());
    std::vector<TChunk> chunks = SplitChunks(file);
    EXPECT_EQ(Tags(chunks),
              (std::vector<std::string>{"IKEY c:/games/murk", "IKEY c:/games/murk", "USER 0",
                                        "KVPR a", "KVPR b", "USER 1", "USER 2", "KVPR name",
                                        "IKEY zz-old", "USER 0", "KVPR o", "USER 1"}));
    // "USER" is plain: two bytes, little-endian.
    EXPECT_EQ(chunks[6].mLength, 2u);
    EXPECT_EQ(chunks[6].mRaw, (std::vector<uint8_t>{2, 0}));
    // "KVPR": u16 key length + 1, the key, its NUL, the value; padded and enciphered.
    EXPECT_EQ(chunks[7].mPlain, Kvpr("name", {'A', 'n', 'n', 0}));
    EXPECT_EQ(chunks[7].mRaw, Encipher(Kvpr("name", {'A', 'n', 'n', 0})));
    EXPECT_EQ(chunks[7].mLength, 16u); // 2 + 5 + 4 = 11 plain bytes
    // "IKEY": the key and its NUL, enciphered; the first one follows them with the check record.
    EXPECT_EQ(chunks[1].mPlain, Bytes(std::string("c:/games/murk") + '\0'));
    EXPECT_EQ(chunks[1].mLength, 16u);
    EXPECT_EQ(chunks[0].mPlain, CheckedHead("c:/games/murk", chunks));
    EXPECT_EQ(FolderEntries(), std::vector<std::string>{"prefs.dat"});
}

TEST_F(PrefsTest, PayloadPaddingHoldsThePadCount)
{
    // "abcdefgh" and its NUL make 9 plain bytes: 16 stored, 7 pad bytes of 7. "abcdefg" and its
    // NUL make 8: 16 stored, 8 pad bytes of 8.
    for (auto [key, pad] : {std::pair<std::string, uint8_t>{"abcdefgh", 7}, {"abcdefg", 8}})
    {
        SetConfig("installkey", key.c_str());
        TPrefs prefs(true);
        // The group's "IKEY" (the first one carries the check record too).
        std::vector<TChunk> chunks = SplitChunks(prefs.BuildFile());
        ASSERT_GE(chunks.size(), 2u);
        EXPECT_EQ(chunks[1].mLength, 16u);
        std::vector<uint8_t> padded = Bytes(key);
        padded.push_back(0);
        padded.insert(padded.end(), pad, pad);
        ASSERT_EQ(padded.size(), 16u);
        // ECB: the first two blocks of the padded text enciphered alone are the stored payload.
        std::vector<uint8_t> blocks = Encipher(padded);
        blocks.resize(16);
        EXPECT_EQ(chunks[1].mRaw, blocks);
    }
}

TEST_F(PrefsTest, SavedValuesOfEveryKindReadBackEqual)
{
    {
        TPrefs prefs(true);
        WriteEveryKind(prefs);
    }
    TPrefs again(true);
    ExpectEveryKind(again);
}

TEST_F(PrefsTest, ReadOnlyStoreNeverWrites)
{
    TPrefs prefs(false);
    prefs.SetString("a", "1");
    prefs.Save();
    EXPECT_FALSE(fs::exists(mUser / "prefs.dat"));
    EXPECT_STREQ(prefs.GetString("a", "").c_str(), "1");
}

TEST_F(PrefsTest, SavingReplacesTheOldFileWhole)
{
    TPrefs prefs(true);
    prefs.SetString("a", std::string(5000, 'x').c_str());
    std::vector<uint8_t> first = ReadPrefsFile();
    prefs.SetString("a", "short");
    std::vector<uint8_t> second = ReadPrefsFile();
    EXPECT_LT(second.size(), first.size());
    EXPECT_EQ(second, prefs.BuildFile());
    EXPECT_EQ(FolderEntries(), std::vector<std::string>{"prefs.dat"});
}

// A save that fails (the disk full when the buffered data is flushed at the close, a folder where
// the file is, a data folder that cannot hold files) says so once with the file and the reason,
// answers false, and leaves the file that was there as it was.
TEST_F(PrefsTest, FailedSavesAreLoggedAnsweredFalseAndKeepTheOldFile)
{
    TPrefs prefs(true);
    ASSERT_TRUE(prefs.SetString("a", "kept"));
    const std::vector<uint8_t> good = ReadPrefsFile();
    // The file as it is on disk, not the game's name for it.
    const std::string file = (mUser / "prefs.dat").string();

    InjectDiskCloseFailure(ENOSPC);
    EXPECT_FALSE(prefs.SetString("a", "lost"));
    EXPECT_EQ(ReadPrefsFile(), good);
    EXPECT_EQ(FolderEntries(), std::vector<std::string>{"prefs.dat"});
    const std::string full = "ERROR: Preferences could not be written to '" + file +
                             "': " + std::strerror(ENOSPC) + "\n";
    EXPECT_NE(LogText().find(full), std::string::npos) << LogText();
    // The value stays in memory, and the next save that works stores it.
    EXPECT_STREQ(prefs.GetString("a", "").c_str(), "lost");
    EXPECT_TRUE(prefs.Save());
    EXPECT_EQ(ReadPrefsFile(), prefs.BuildFile());

    // A folder put in the file's place is no file a reader takes: it goes aside whole, and the
    // save takes the name.
    fs::remove(mUser / "prefs.dat");
    fs::create_directory(mUser / "prefs.dat");
    EXPECT_TRUE(prefs.Save());
    EXPECT_TRUE(fs::is_directory(mUser / "prefs.dat.bad"));
    EXPECT_EQ(ReadPrefsFile(), prefs.BuildFile());

    // A data folder whose place is taken by a file (permissions do not stop the superuser).
    testsupport::WriteFile(mRoot / "blocker", "x");
    ClearPathMap();
    SetDataFolders(TString((mRoot / "blocker/user").c_str()), TString((mRoot / "common").c_str()),
                   TString());
    TPrefs elsewhere(true);
    EXPECT_FALSE(elsewhere.SetInt("b", 1));
    EXPECT_NE(LogText().find("could not be taken (" + std::string(std::strerror(ENOTDIR)) + ")"),
              std::string::npos)
        << LogText();
    EXPECT_EQ(testsupport::ReadFile(mRoot / "blocker"), "x");
}

TEST_F(PrefsTest, InstallKeysMatchWithoutRegardToCase)
{
    SetInstallFile("ABC");
    {
        TPrefs prefs(true);
        EXPECT_STREQ(prefs.GetInstallKey().c_str(), "abc");
        prefs.SetString("level", "7", 0);
    }
    SetInstallFile("abc");
    {
        TPrefs prefs(true);
        EXPECT_STREQ(prefs.GetString("level", "", 0).c_str(), "7");
    }
    // Without the install file the configured key is used: another group.
    RegisterMemoryFileName(TString("install.txt"), nullptr, 0);
    TPrefs other(true);
    EXPECT_STREQ(other.GetInstallKey().c_str(), "c:/games/murk");
    EXPECT_EQ(other.GetNumUsers(), 0);
    EXPECT_EQ(other.GetGroups().count(TString("abc")), 1u);
}

TEST_F(PrefsTest, EmptyInstallFileTakesTheFilesCurrentKey)
{
    WritePrefsFile(TFileImage().Ikey("Saved-Key").Ikey("saved-key").User(0).Kv("v", "1").mData);
    SetInstallFile("");
    TPrefs prefs(true);
    EXPECT_STREQ(prefs.GetInstallKey().c_str(), "saved-key");
    EXPECT_STREQ(prefs.GetString("v", "").c_str(), "1");
}

TEST_F(PrefsTest, MissingEncryptionKeyIsLogged)
{
    SetConfig("encryptionkey", "");
    TPrefs prefs(false);
    EXPECT_NE(LogText().find(": ERROR: No encryption key set before TPrefs construction!\n"),
              std::string::npos);
}

TEST_F(PrefsTest, ConfiguredInstallKeyDefaultsToUnknown)
{
    SetConfig("installkey", "");
    TPrefs prefs(false);
    EXPECT_STREQ(prefs.GetInstallKey().c_str(), "unknown");
}

TEST_F(PrefsTest, DeleteUserRemovesThatUsersSlotAndKeepsShared)
{
    TPrefs prefs(true);
    prefs.SetString("shared", "s", -1, false);
    for (int u = 0; u < 3; ++u)
    {
        prefs.SetInt("id", u, u, false);
    }
    prefs.DeleteUser(0);
    EXPECT_EQ(prefs.GetNumUsers(), 2);
    EXPECT_STREQ(prefs.GetString("shared", "").c_str(), "s");
    EXPECT_EQ(prefs.GetInt("id", -1, 0), 1);
    EXPECT_EQ(prefs.GetInt("id", -1, 1), 2);
    prefs.DeleteUser(2); // out of range: nothing
    prefs.DeleteUser(-1);
    EXPECT_EQ(prefs.GetNumUsers(), 2);
    prefs.DeleteUser(1);
    EXPECT_EQ(prefs.GetNumUsers(), 1);
    EXPECT_EQ(prefs.GetInt("id", -1, 0), 1);
}

TEST_F(PrefsTest, DeleteDataRemovesOneKeyOfOneSlotOnly)
{
    TPrefs prefs(true);
    prefs.SetString("k", "shared", -1, false);
    prefs.SetString("k", "mine", 0, false);
    prefs.SetString("other", "kept", 0, false);
    EXPECT_TRUE(prefs.DeleteData("k", 0));
    EXPECT_EQ(prefs.GetData("k", nullptr, 0, 0), -1);
    EXPECT_STREQ(prefs.GetString("other", "", 0).c_str(), "kept");
    EXPECT_STREQ(prefs.GetString("k", "").c_str(), "shared");
    // Saved: a second reader finds the key gone.
    EXPECT_EQ(TPrefs(false).GetData("k", nullptr, 0, 0), -1);
    // An absent key or slot changes nothing and says so.
    EXPECT_FALSE(prefs.DeleteData("k", 0));
    EXPECT_FALSE(prefs.DeleteData("k", 5));
    EXPECT_FALSE(prefs.DeleteData("k", -2));
    EXPECT_EQ(prefs.GetNumUsers(), 1);
}

TEST_F(PrefsTest, FirstChunkMustBeAnInstallKey)
{
    WritePrefsFile(TFileImage().User(0).Ikey("c:/games/murk").User(0).Kv("a", "1").mData);
    TPrefs prefs(true);
    EXPECT_EQ(prefs.GetGroups().size(), 1u);
    EXPECT_EQ(prefs.GetNumUsers(), 0);
}

TEST_F(PrefsTest, BadChunkLengthsEndTheReadingKeepingWhatCameBefore)
{
    auto base = []()
    { return TFileImage().Ikey("c:/games/murk").Ikey("c:/games/murk").User(0).Kv("a", "1"); };
    {
        WritePrefsFile(base().Raw("USER", {}).User(1).Kv("b", "2").mData);
        TPrefs prefs(true);
        EXPECT_STREQ(prefs.GetString("a", "").c_str(), "1");
        EXPECT_EQ(prefs.GetNumUsers(), 0);
    }
    {
        std::vector<uint8_t> data = base().User(1).mData;
        // Length 0x400001 in the last chunk's header.
        data[data.size() - 6] = 0x01;
        data[data.size() - 5] = 0x00;
        data[data.size() - 4] = 0x40;
        WritePrefsFile(data);
        TPrefs prefs(true);
        EXPECT_STREQ(prefs.GetString("a", "").c_str(), "1");
        EXPECT_EQ(prefs.GetNumUsers(), 0);
    }
    {
        // A chunk whose length runs past the end, and a file cut inside a header.
        std::vector<uint8_t> data = base().Kv("b", "2").mData;
        data.resize(data.size() - 3);
        WritePrefsFile(data);
        TPrefs prefs(true);
        EXPECT_STREQ(prefs.GetString("a", "").c_str(), "1");
        EXPECT_STREQ(prefs.GetString("b", "none").c_str(), "none");
        data = base().mData;
        data.push_back('K');
        data.push_back('V');
        WritePrefsFile(data);
        TPrefs cut(true);
        EXPECT_STREQ(cut.GetString("a", "").c_str(), "1");
    }
}

TEST_F(PrefsTest, DamagedFileIsLoggedWhereTheReadingStopped)
{
    const std::vector<uint8_t> good =
        TFileImage().Ikey("c:/games/murk").Ikey("c:/games/murk").User(0).Kv("a", "1").mData;
    WritePrefsFile(good);
    {
        TPrefs prefs(false);
    }
    EXPECT_EQ(LogText().find("damaged"), std::string::npos);

    std::vector<uint8_t> data = good;
    data.push_back('K');
    data.push_back('V');
    WritePrefsFile(data);
    TPrefs prefs(false);
    EXPECT_STREQ(prefs.GetString("a", "").c_str(), "1");
    const TString line = TString::Format(": ERROR: Preferences file 'user:prefs.dat' is damaged at "
                                         "byte %u; only what came before was read\n",
                                         static_cast<unsigned>(good.size()));
    EXPECT_NE(LogText().find(line.c_str()), std::string::npos);
}

// What is no regular file (a link to a device, a folder) or is larger than the reader takes is
// refused unread as damage, and moved aside by the first save, never read (/dev/zero would never
// end); a save never writes a file larger than the reader takes.
TEST_F(PrefsTest, FilesThatAreNoFileOrTooLargeAreRefusedUnreadAndNeverWritten)
{
    EXPECT_EQ(kPrefsMaxFileBytes, 16 << 20);
    const std::string file = (mUser / "prefs.dat").string();
    struct Case
    {
        const char* mName;
        const char* mLink; // the link's target, or null for a file or a folder
        uintmax_t mSize;   // a sparse file of this size (1: an empty one), with no link
        std::string mLine;
    };
    const Case cases[] = {
        {"a link to /dev/null", "/dev/null", 0, "was not read: it is not a regular file"},
        {"a link to /dev/zero", "/dev/zero", 0, "was not read: it is not a regular file"},
        {"a folder", nullptr, 0, "was not read: it is a folder"},
        {"one byte too large", nullptr, (16u << 20) + 1,
         "was not read: it is larger than 16777216 bytes"},
        // No save writes an empty file: one is damage, kept as it is.
        {"an empty file", nullptr, 1, "is empty; nothing was read"},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.mName);
        fs::remove_all(mUser);
        fs::create_directories(mUser);
        ClearPathMap();
        if (c.mLink != nullptr)
            fs::create_symlink(c.mLink, mUser / "prefs.dat");
        else if (c.mSize == 0)
            fs::create_directory(mUser / "prefs.dat");
        else
        {
            WritePrefsFile({});
            fs::resize_file(mUser / "prefs.dat", c.mSize == 1 ? 0 : c.mSize);
        }
        TPrefs prefs(true);
        EXPECT_TRUE(prefs.LoadedDamaged());
        EXPECT_NE(LogText().find(": ERROR: Preferences file '" + file + "' " + c.mLine + "\n"),
                  std::string::npos)
            << LogText();
        EXPECT_TRUE(prefs.SetInt("a", 1));
        EXPECT_EQ(ReadPrefsFile(), prefs.BuildFile());
        if (c.mLink != nullptr)
            EXPECT_EQ(fs::read_symlink(mUser / "prefs.dat.bad"), c.mLink);
        else if (c.mSize == 0)
            EXPECT_TRUE(fs::is_directory(mUser / "prefs.dat.bad"));
        else
            EXPECT_EQ(fs::file_size(mUser / "prefs.dat.bad"), c.mSize == 1 ? 0 : c.mSize);
    }

    // The largest file the reader takes is read (all zeros: damaged at its first byte).
    fs::remove_all(mUser);
    fs::create_directories(mUser);
    ClearPathMap();
    WritePrefsFile({});
    fs::resize_file(mUser / "prefs.dat", 16u << 20);
    {
        TPrefs prefs(false);
        EXPECT_NE(LogText().find("'user:prefs.dat' is damaged at byte 0"), std::string::npos);
    }

    // Five values of 3.5 MB: more than the reader takes, so not written.
    WritePrefsFile({});
    TPrefs prefs(true);
    ASSERT_TRUE(prefs.SetInt("a", 1));
    const std::vector<uint8_t> saved = ReadPrefsFile();
    const std::vector<uint8_t> value(3500000, 7);
    for (int i = 0; i < 5; ++i)
        ASSERT_TRUE(prefs.SetData(TString::Format("v%d", i), value.data(),
                                  static_cast<int>(value.size()), -1, false));
    EXPECT_FALSE(prefs.Save());
    EXPECT_EQ(ReadPrefsFile(), saved);
    EXPECT_NE(LogText().find(": ERROR: Preferences could not be written to '" + file +
                             "': " + std::to_string(prefs.BuildFile().size()) +
                             " bytes, more than the 16777216 a reader takes\n"),
              std::string::npos);
}

// A damaged file is kept under its first free name, never over an earlier copy; while it cannot
// be kept (every name taken), no save replaces it, and the log says so once.
TEST_F(PrefsTest, AKeptCopyNeverReplacesAnEarlierOneAndAnUnkeptFileIsNotSavedOver)
{
    std::vector<uint8_t> damaged = TFileImage().Ikey("c:/games/murk").User(0).Kv("a", "1").mData;
    damaged.push_back('K');
    WritePrefsFile(damaged);
    testsupport::WriteFile(mUser / "prefs.dat.bad", "earlier");
    {
        TPrefs prefs(true);
        EXPECT_TRUE(prefs.SetInt("b", 2));
    }
    EXPECT_EQ(testsupport::ReadFile(mUser / "prefs.dat.bad"), "earlier");
    EXPECT_EQ(testsupport::ReadFile(mUser / "prefs.dat.bad1"),
              std::string(damaged.begin(), damaged.end()));
    EXPECT_NE(LogText().find(": The damaged preferences were kept as 'user:prefs.dat.bad1'\n"),
              std::string::npos);

    for (int n = 2; n <= 9; ++n)
        testsupport::WriteFile(mUser / ("prefs.dat.bad" + std::to_string(n)), "x");
    WritePrefsFile(damaged);
    ClearPathMap();
    TPrefs prefs(true);
    EXPECT_FALSE(prefs.KeepDamagedFile());
    EXPECT_FALSE(prefs.SetInt("b", 3));
    EXPECT_FALSE(prefs.Save());
    EXPECT_EQ(ReadPrefsFile(), damaged);
    EXPECT_EQ(testsupport::ReadFile(mUser / "prefs.dat.bad1"),
              std::string(damaged.begin(), damaged.end()));
    const std::string line = ": ERROR: The damaged preferences '" + (mUser / "prefs.dat").string() +
                             "' could not be kept aside: '" + (mUser / "prefs.dat.bad").string() +
                             "' and the 9 names after it are taken; they are not saved over it\n";
    const std::string log = LogText();
    EXPECT_NE(log.find(line), std::string::npos) << log;
    EXPECT_EQ(log.find(line), log.rfind(line)) << "said more than once";
    EXPECT_EQ(FolderEntries().size(), 11u);
}

TEST_F(PrefsTest, SlotIndexLimit)
{
    {
        WritePrefsFile(TFileImage()
                           .Ikey("c:/games/murk")
                           .Ikey("c:/games/murk")
                           .User(1024)
                           .Kv("top", "t")
                           .User(1025)
                           .Kv("never", "n")
                           .mData);
        TPrefs prefs(true);
        EXPECT_EQ(prefs.GetCurrentSlots().size(), 1025u);
        EXPECT_STREQ(prefs.GetString("top", "", 1023).c_str(), "t");
        EXPECT_EQ(prefs.GetData("never", nullptr, 0, 1024), -1);
    }
    // The setters refuse what the reader would stop at, so one bad value cannot hide the rest.
    TPrefs prefs(true);
    prefs.SetString("x", "1", 1024, false);
    EXPECT_EQ(prefs.GetCurrentSlots().size(), 1025u);
    prefs.SetString("x", "1", 1023, false);
    EXPECT_STREQ(prefs.GetString("x", "", 1023).c_str(), "1");
    prefs.SetString("y", "1", -2, false);
    std::vector<uint8_t> huge(kPrefsMaxChunk);
    prefs.SetData("huge", huge.data(), static_cast<int>(huge.size()), -1, false);
    EXPECT_EQ(prefs.GetData("huge", nullptr, 0), -1);
    EXPECT_NE(LogText().find("too large"), std::string::npos);
}

TEST_F(PrefsTest, MalformedChunksStopTheReading)
{
    auto start = []() { return TFileImage().Ikey("c:/games/murk").Ikey("c:/games/murk"); };
    {
        // A value before any "USER" chunk of its group.
        WritePrefsFile(start().Kv("early", "1").User(0).Kv("a", "1").mData);
        TPrefs prefs(true);
        EXPECT_EQ(prefs.GetNumUsers(), 0);
        EXPECT_STREQ(prefs.GetString("a", "none").c_str(), "none");
    }
    {
        // A "KVPR" whose key length runs past its payload, then an unknown tag.
        std::vector<uint8_t> bad = {0xFF, 0x00, 'k', 0};
        WritePrefsFile(start().User(0).Kv("a", "1").Raw("KVPR", Encipher(bad)).Kv("b", "2").mData);
        TPrefs prefs(true);
        EXPECT_STREQ(prefs.GetString("a", "").c_str(), "1");
        EXPECT_STREQ(prefs.GetString("b", "none").c_str(), "none");
        WritePrefsFile(
            start().User(0).Kv("a", "1").Raw("XTRA", Encipher({1, 2})).Kv("b", "2").mData);
        TPrefs unknown(true);
        EXPECT_STREQ(unknown.GetString("a", "").c_str(), "1");
        EXPECT_STREQ(unknown.GetString("b", "none").c_str(), "none");
    }
    {
        // A payload that does not decipher to a valid padding.
        WritePrefsFile(
            start().User(0).Kv("a", "1").Raw("KVPR", std::vector<uint8_t>(8, 0x55)).mData);
        TPrefs prefs(true);
        EXPECT_STREQ(prefs.GetString("a", "").c_str(), "1");
    }
}

TEST_F(PrefsTest, AFileWrittenWithAnotherKeyGivesNothing)
{
    {
        TPrefs prefs(true);
        prefs.SetString("secret", "value", 0);
    }
    SetConfig("encryptionkey", "AnotherKey99");
    TPrefs prefs(true);
    EXPECT_EQ(prefs.GetNumUsers(), 0);
    EXPECT_STREQ(prefs.GetString("secret", "none", 0).c_str(), "none");
}

TEST_F(PrefsTest, MutatedFilesNeverCrash)
{
    {
        TPrefs prefs(true);
        WriteEveryKind(prefs);
    }
    const std::vector<uint8_t> good = ReadPrefsFile();
    std::mt19937 random(12345);
    TPrefs reader(false);
    for (int round = 0; round < 300; ++round)
    {
        std::vector<uint8_t> data = good;
        int edits = 1 + static_cast<int>(random() % 8);
        for (int e = 0; e < edits; ++e)
        {
            size_t at = random() % data.size();
            switch (random() % 3)
            {
            case 0:
                data[at] = static_cast<uint8_t>(random());
                break;
            case 1:
                data.resize(at);
                break;
            default:
                data.insert(data.begin() + long(at), static_cast<uint8_t>(random()));
                break;
            }
            if (data.empty())
            {
                break;
            }
        }
        reader.LoadChunks(data.data(), data.size(), round % 2 == 0);
    }
    SUCCEED();
}

// A saved file cut on any chunk boundary, or changed inside an enciphered payload, reads as whole
// chunks: the check record after the first key finds it, and it is treated as any damaged file
// (logged where the reading stopped, what came before kept).
TEST_F(PrefsTest, CutOrAlteredFilesAreFoundByTheirCheckRecord)
{
    {
        TPrefs prefs(true);
        prefs.SetString("shared", "s", -1, false);
        prefs.SetString("name", "Ann", 0, false);
        prefs.SetString("name", "Benjamin of the Marsh", 1, true);
    }
    const std::vector<uint8_t> good = ReadPrefsFile();
    const std::vector<size_t> starts = ChunkStarts(good);
    ASSERT_EQ(starts.size(), 8u); // IKEY, IKEY, USER 0, KVPR, USER 1, KVPR, USER 2, KVPR
    const auto load = [this](std::vector<uint8_t> data, size_t damagedAt)
    {
        SCOPED_TRACE(damagedAt);
        WritePrefsFile(data);
        std::filesystem::remove(mRoot / "log" / "logfile.txt");
        auto prefs = std::make_unique<TPrefs>(false);
        EXPECT_TRUE(prefs->LoadedDamaged());
        const TString line = TString::Format("ERROR: Preferences file 'user:prefs.dat' is damaged "
                                             "at byte %u; only what came before was read\n",
                                             static_cast<unsigned>(damagedAt));
        EXPECT_NE(LogText().find(line.c_str()), std::string::npos) << LogText();
        return prefs;
    };
    for (size_t i = 1; i < starts.size(); ++i)
    {
        std::unique_ptr<TPrefs> prefs =
            load(std::vector<uint8_t>(good.begin(), good.begin() + long(starts[i])), starts[i]);
        EXPECT_STREQ(prefs->GetString("name", "", 0).c_str(), i > 5 ? "Ann" : "");
    }
    // One byte of the group's key: its profiles would move under another install.
    std::vector<uint8_t> data = good;
    data[starts[1] + 8] ^= 0x01;
    std::unique_ptr<TPrefs> prefs = load(data, starts[1]);
    EXPECT_EQ(prefs->GetGroups().size(), 1u);
    EXPECT_EQ(prefs->GetNumUsers(), 0);
    // One byte inside Ben's name (its second block of four): Ann is kept.
    data = good;
    data[starts[7] + 8 + 9] ^= 0x01;
    prefs = load(data, starts[7]);
    EXPECT_STREQ(prefs->GetString("name", "", 0).c_str(), "Ann");
    EXPECT_STREQ(prefs->GetString("name", "none", 1).c_str(), "none");
    // A chunk added after the counted ones.
    data = good;
    data.insert(data.end(), good.begin() + long(starts[6]), good.end());
    load(data, good.size());

    // A damaged record checks nothing: everything is read, and the file is still reported.
    data = good;
    data[starts[1] - 12] ^= 0x01;
    WritePrefsFile(data);
    TPrefs unchecked(false);
    EXPECT_TRUE(unchecked.LoadedDamaged());
    EXPECT_STREQ(unchecked.GetString("name", "", 1).c_str(), "Benjamin of the Marsh");
    EXPECT_NE(LogText().find("ERROR: Preferences file 'user:prefs.dat' has a damaged check "
                             "record; it was read unchecked\n"),
              std::string::npos);
}

// Earlier builds wrote no record and their reader takes the first key up to its NUL, passing over
// the rest: each build reads what the other writes, and a file without the record is read as
// before, unchecked.
TEST_F(PrefsTest, FilesWithAndWithoutTheRecordReadInEitherBuild)
{
    {
        TPrefs prefs(true);
        WriteEveryKind(prefs);
    }
    const std::vector<uint8_t> now = ReadPrefsFile();
    const std::vector<TChunk> chunks = SplitChunks(now);
    // What an earlier build's reader meets: known tags only, the first key ended by its NUL.
    for (const TChunk& chunk : chunks)
    {
        EXPECT_TRUE(chunk.mTag == "IKEY" || chunk.mTag == "USER" || chunk.mTag == "KVPR");
    }
    EXPECT_STREQ(reinterpret_cast<const char*>(chunks[0].mPlain.data()), "c:/games/murk");
    EXPECT_EQ(chunks[0].mPlain, CheckedHead("c:/games/murk", chunks));

    // What an earlier build writes back: the same chunks after a first key without the record.
    std::vector<uint8_t> earlier = TFileImage().Ikey("c:/games/murk").mData;
    earlier.insert(earlier.end(), now.begin() + long(ChunkStarts(now)[1]), now.end());
    WritePrefsFile(earlier);
    {
        TPrefs prefs(true);
        EXPECT_FALSE(prefs.LoadedDamaged());
        ExpectEveryKind(prefs);
        prefs.Save();
    }
    EXPECT_EQ(ReadPrefsFile(), now);
    // Without the record nothing tells a cut: read as far as it goes, as before.
    earlier.resize(ChunkStarts(earlier).back());
    WritePrefsFile(earlier);
    TPrefs cut(false);
    EXPECT_FALSE(cut.LoadedDamaged());
    EXPECT_EQ(cut.GetNumUsers(), 40);
    EXPECT_EQ(LogText().find("damaged"), std::string::npos);
}

// The two halves of the cross-process test: run only when the parent test starts this program
// again with a data folder in MURKWELL_PREFS_CHILD_DIR.
TEST(PrefsChildProcess, DISABLED_Write)
{
    const char* dir = std::getenv("MURKWELL_PREFS_CHILD_DIR");
    ASSERT_NE(dir, nullptr);
    SetDataFolders(TString(dir), TString(), TString());
    SetConfig("encryptionkey", kKey);
    SetConfig("installkey", "C:/Games/Murk");
    TPrefs prefs(true);
    WriteEveryKind(prefs);
}

TEST(PrefsChildProcess, DISABLED_Read)
{
    const char* dir = std::getenv("MURKWELL_PREFS_CHILD_DIR");
    ASSERT_NE(dir, nullptr);
    SetDataFolders(TString(dir), TString(), TString());
    SetConfig("encryptionkey", kKey);
    SetConfig("installkey", "C:/Games/Murk");
    TPrefs prefs(true);
    ExpectEveryKind(prefs);
    EXPECT_STREQ(prefs.GetString("from", "", -1).c_str(), "parent");
    EXPECT_EQ(prefs.GetNumUsers(), 40);
}

TEST_F(PrefsTest, ValuesSavedInOneProcessReadBackEqualInAnother)
{
    std::string exe = fs::read_symlink("/proc/self/exe").string();
    std::string run = "MURKWELL_PREFS_CHILD_DIR='" + mUser.string() + "' '" + exe +
                      "' --gtest_also_run_disabled_tests --gtest_filter=PrefsChildProcess.";
    ASSERT_EQ(std::system((run + "DISABLED_Write > /dev/null 2>&1").c_str()), 0);
    ASSERT_TRUE(fs::exists(mUser / "prefs.dat"));
    {
        TPrefs prefs(true);
        ExpectEveryKind(prefs);
        prefs.SetString("from", "parent");
    }
    EXPECT_EQ(std::system((run + "DISABLED_Read > /dev/null 2>&1").c_str()), 0);
}

// Two copies of the game on one data folder: two stores on one file, each saving what it has.
class PrefsCopiesTest : public PrefsTest
{
protected:
    std::unique_ptr<TPrefs> Copy()
    {
        auto prefs = std::make_unique<TPrefs>(true);
        prefs->SetProfileKeys("name", "curuser");
        return prefs;
    }
    // A player made as the game makes one: the name, then it becomes the current one.
    static void MakePlayer(TPrefs& prefs, const char* name)
    {
        const int user = prefs.GetNumUsers();
        prefs.SetString("name", name, user, true);
        prefs.SetInt("curuser", user, -1, true);
    }
    static std::vector<std::string> Names(const TPrefs& prefs)
    {
        std::vector<std::string> names;
        for (int u = 0; u < prefs.GetNumUsers(); ++u)
        {
            names.push_back(prefs.GetString("name", "?", u).c_str());
        }
        return names;
    }
    using Strings = std::vector<std::string>;
};

TEST_F(PrefsCopiesTest, EachCopysNewPlayerIsKeptAndEachKeepsItsOwnCurrentOne)
{
    auto a = Copy();
    auto b = Copy();
    MakePlayer(*a, "Ann");
    MakePlayer(*b, "Bob");
    // The copy's own players keep their places (the indexes it holds stay good); the other's
    // follow. The copy that saved last names its own player as the current one.
    EXPECT_EQ(Names(*Copy()), (Strings{"Bob", "Ann"}));
    EXPECT_EQ(Names(*b), (Strings{"Bob", "Ann"}));
    EXPECT_EQ(b->GetInt("curuser", -1), 0);
    EXPECT_EQ(Copy()->GetInt("curuser", -1), 0);

    // The first copy's next save (long after) takes the second's player in, and plays on as Ann.
    a->SetInt("soundlevel", 250, -1, true);
    EXPECT_EQ(Names(*a), (Strings{"Ann", "Bob"}));
    EXPECT_EQ(a->GetInt("curuser", -1), 0);
    auto after = Copy();
    EXPECT_EQ(Names(*after), (Strings{"Ann", "Bob"}));
    EXPECT_EQ(after->GetInt("soundlevel", 0), 250);
    EXPECT_STREQ(after->GetString("name", "", after->GetInt("curuser", -1)).c_str(), "Ann");

    // A third copy read the file before b chose Ann too: its new player joins the two, and its
    // own current player is the one it read, wherever that slot went.
    auto c = Copy();
    b->SetInt("curuser", 1, -1, true);
    c->SetString("name", "Cid", 2, true);
    EXPECT_EQ(Names(*c), (Strings{"Ann", "Bob", "Cid"}));
    EXPECT_STREQ(c->GetString("name", "", c->GetInt("curuser", -1)).c_str(), "Ann");
}

TEST_F(PrefsCopiesTest, ThisCopysChangedKeysWinAndTheOthersChangesStay)
{
    {
        auto first = Copy();
        first->SetInt("fullscreen", 1, -1, false);
        first->SetInt("musiclevel", 750, -1, false);
        first->SetInt("soundlevel", 750, -1, false);
        MakePlayer(*first, "Ann");
    }
    auto a = Copy();
    auto b = Copy();
    a->SetInt("fullscreen", 0, -1, true);
    a->SetString("progress", "hall", 0, true);
    b->SetInt("soundlevel", 250, -1, true);
    b->DeleteData("musiclevel", -1, true);
    b->SetString("medal", "gold", 0, true);

    auto file = Copy();
    EXPECT_EQ(file->GetInt("fullscreen", -1), 0) << "the other copy's change stays";
    EXPECT_EQ(file->GetInt("soundlevel", -1), 250);
    EXPECT_EQ(file->GetInt("musiclevel", -1), -1) << "a key removed here stays removed";
    EXPECT_STREQ(file->GetString("progress", "", 0).c_str(), "hall");
    EXPECT_STREQ(file->GetString("medal", "", 0).c_str(), "gold");
    // What b holds now is the file: its next save keeps a's values without a's copy saving.
    EXPECT_EQ(b->GetInt("fullscreen", -1), 0);

    // Both change one key: the copy that saves it last, having changed it, wins.
    a->SetInt("soundlevel", 500, -1, true);
    EXPECT_EQ(Copy()->GetInt("soundlevel", -1), 500);
    b->SetInt("fullscreen", 1, -1, true);
    EXPECT_EQ(Copy()->GetInt("fullscreen", -1), 1);
    EXPECT_EQ(Copy()->GetInt("soundlevel", -1), 500) << "b did not change it since it read 500";
}

TEST_F(PrefsCopiesTest, APlayerDeletedHereIsNotBroughtBackAndOneDeletedThereStaysDeleted)
{
    {
        auto first = Copy();
        for (const char* name : {"Ann", "Bob", "Cid", "Dee"})
        {
            MakePlayer(*first, name);
        }
        first->SetInt("curuser", 3, -1, true);
    }
    auto a = Copy();
    auto b = Copy();
    // a deletes Bob and Dee; b, still playing Dee, changes Dee's and Ann's records meanwhile.
    a->DeleteUser(3);
    a->DeleteUser(1);
    a->SetInt("curuser", 0, -1, true);
    b->SetString("progress", "crypt", 3, true);
    b->SetString("progress", "hall", 0, true);
    EXPECT_EQ(Names(*Copy()), (Strings{"Ann", "Cid", "Dee"}))
        << "Bob stays deleted; Dee, played by b, stays";
    EXPECT_EQ(Copy()->GetInt("curuser", -1), 2) << "b plays Dee, now third in the file";
    // In b every player keeps the place it had (b may hold an index across the save).
    EXPECT_EQ(Names(*b), (Strings{"Ann", "Bob", "Cid", "Dee"}));
    EXPECT_EQ(b->GetInt("curuser", -1), 3);
    EXPECT_STREQ(b->GetString("progress", "", 3).c_str(), "crypt");

    // Deleted here although the other copy changed that player since: not brought back.
    a->DeleteUser(1);
    a->SetInt("curuser", 0, -1, true);
    EXPECT_EQ(Names(*Copy()), (Strings{"Ann", "Dee"}));
    EXPECT_STREQ(Copy()->GetString("progress", "", 0).c_str(), "hall");
}

// What is at the name when a save reads it again and is no preferences file as a save writes one
// (damaged, emptied, a FIFO, grown past what a reader takes) is kept aside and never taken in: an
// empty file read as whole would count every player as deleted there.
TEST_F(PrefsCopiesTest, AFileThatIsNoPreferencesFileSinceItWasReadIsKeptAsideAndNotTakenIn)
{
    const fs::path file = mUser / "prefs.dat";
    struct Shape
    {
        const char* mName;
        std::function<void()> mMake;
        std::string mLine;
    };
    const Shape shapes[] = {
        {"damaged", [&] { WritePrefsFile(Bytes("not a preferences file at all")); },
         "was damaged since it was read"},
        {"emptied", [&] { fs::resize_file(file, 0); }, "was emptied since it was read"},
        {"a FIFO",
         [&]
         {
             fs::remove(file);
             ASSERT_EQ(mkfifo(file.c_str(), 0600), 0);
         },
         "was not read: it is not a regular file"},
        {"grown too large", [&] { fs::resize_file(file, (16u << 20) + 1); },
         "was not read: it is larger than"},
    };
    for (const Shape& shape : shapes)
    {
        SCOPED_TRACE(shape.mName);
        for (const auto& entry : fs::directory_iterator(mUser))
            fs::remove_all(entry.path());
        auto a = Copy();
        MakePlayer(*a, "Ann");
        MakePlayer(*a, "Bob");
        const fs::file_status made = (shape.mMake(), fs::symlink_status(file));
        const bool regular = fs::is_regular_file(made);
        const uintmax_t size = regular ? fs::file_size(file) : 0;
        const std::string bytes = regular && size < 100 ? testsupport::ReadFile(file) : "";
        EXPECT_TRUE(a->SetInt("soundlevel", 250, -1, true));
        const fs::path kept = mUser / "prefs.dat.bad";
        EXPECT_EQ(fs::symlink_status(kept).type(), made.type());
        if (regular)
        {
            EXPECT_EQ(fs::file_size(kept), size);
        }
        if (regular && size < 100)
        {
            EXPECT_EQ(testsupport::ReadFile(kept), bytes);
        }
        auto saved = Copy();
        EXPECT_EQ(Names(*saved), (Strings{"Ann", "Bob"}));
        EXPECT_EQ(saved->GetInt("soundlevel", -1), 250);
        EXPECT_NE(LogText().find(shape.mLine), std::string::npos) << LogText();
    }
}

// A caller holds a player's index across a save (the profile list's rows): the save takes in
// another copy's deletion and its new player without moving this copy's players in memory. The
// player deleted there stays out of the file, even as this copy's current one, unless this copy
// plays it (writes to its record) after the deletion.
TEST_F(PrefsCopiesTest, APlayersIndexHoldsAcrossASave)
{
    {
        auto first = Copy();
        for (const char* name : {"Ann", "Bob", "Cid"})
            MakePlayer(*first, name);
        first->SetInt("curuser", 0, -1, true);
    }
    auto a = Copy();
    auto b = Copy();
    b->DeleteUser(1);
    MakePlayer(*b, "Dee");
    a->SetInt("soundlevel", 250, -1, true);
    EXPECT_EQ(Names(*a), (Strings{"Ann", "Bob", "Cid", "Dee"}));
    EXPECT_STREQ(a->GetString("name", "", 2).c_str(), "Cid");
    EXPECT_EQ(a->GetInt("curuser", -1), 0);
    EXPECT_EQ(Names(*Copy()), (Strings{"Ann", "Cid", "Dee"}));
    // Still held in this copy, the deleted player is chosen on its menu: no play, and the
    // deletion stands, also against later saves of this copy.
    a->SetInt("curuser", 1, -1, true);
    a->SetInt("musiclevel", 500, -1, true);
    EXPECT_EQ(Names(*Copy()), (Strings{"Ann", "Cid", "Dee"}));
    EXPECT_EQ(Copy()->GetInt("curuser", -2), -1) << "the file's current player is gone";
    // Played, its record written: it is written again.
    a->SetString("progress", "hall", 1, true);
    auto file = Copy();
    EXPECT_EQ(Names(*file), (Strings{"Ann", "Bob", "Cid", "Dee"}));
    EXPECT_EQ(file->GetInt("curuser", -1), 1);
}

// Two copies each make a player of one name at once, in letters of another case (as the name
// dialog folds them: Latin-1, Greek and Cyrillic as well as A-Z) or the same: two players, as one
// record written by both would go back and forth between their plays. The copy that saved first
// keeps the name; the other's player takes the name with a number (said in the log) at the save
// that met it, and each copy's record of its own player stays its last, save after save.
TEST_F(PrefsCopiesTest, ANameMadeByBothCopiesAtOnceIsTwoPlayersEachWrittenByItsCopy)
{
    const struct
    {
        const char* mOne;
        const char* mOther;
        const char* mRenamed;
    } names[] = {
        {"Ann", "ANN", "ANN 2"},
        {"Ann", "Ann", "Ann 2"},
        {"\xc3\x89va", "\xc3\xa9va", "\xc3\xa9va 2"},
        {"\xce\xa3\xce\xbf\xcf\x86\xce\xaf\xce\xb1", "\xcf\x83\xce\xbf\xcf\x86\xce\xaf\xce\xb1",
         "\xcf\x83\xce\xbf\xcf\x86\xce\xaf\xce\xb1 2"},
        {"\xd0\x98\xd0\xb2\xd0\xb0\xd0\xbd", "\xd0\xb8\xd0\xb2\xd0\xb0\xd0\xbd",
         "\xd0\xb8\xd0\xb2\xd0\xb0\xd0\xbd 2"},
        // As long as the name dialog allows: cut at a letter to make room for the number.
        {"\xc3\x85sa\xc3\x85sa\xc3\x85sa\xc3\x85sa\xc3\x85sa\xc3\x85",
         "\xc3\xa5SA\xc3\xa5SA\xc3\xa5SA\xc3\xa5SA\xc3\xa5SA\xc3\xa5",
         "\xc3\xa5SA\xc3\xa5SA\xc3\xa5SA\xc3\xa5SA\xc3\xa5S 2"},
    };
    for (const auto& name : names)
    {
        SCOPED_TRACE(name.mRenamed);
        fs::remove(mUser / "prefs.dat");
        auto a = Copy();
        auto b = Copy();
        MakePlayer(*a, name.mOne);
        a->SetString("progress", "hall 1", 0, true);
        MakePlayer(*b, name.mOther);
        EXPECT_EQ(Names(*b), (Strings{name.mRenamed, name.mOne}));
        EXPECT_NE(LogText().find(std::string("Another copy of the game made a player named '") +
                                 name.mOther +
                                 "' at the same time; this copy's player of that name is now '" +
                                 name.mRenamed + "'"),
                  std::string::npos)
            << LogText();
        const std::vector<TPrefs::TRename> renames = b->TakeRenames();
        ASSERT_EQ(renames.size(), 1u);
        EXPECT_EQ(renames[0].mUser, 0);
        EXPECT_TRUE(b->TakeRenames().empty());
        // Both play on, their saves interleaved: each player's record in the file is always its
        // own copy's last.
        for (int step = 2; step <= 4; ++step)
        {
            const std::string mine = "hall " + std::to_string(step);
            b->SetString("progress", ("vault " + std::to_string(step)).c_str(), 0, true);
            a->SetString("progress", mine.c_str(), 0, true);
            auto file = Copy();
            EXPECT_EQ(Names(*file), (Strings{name.mOne, name.mRenamed}));
            EXPECT_EQ(file->GetString("progress", "", 0).c_str(), mine);
            EXPECT_EQ(file->GetString("progress", "", 1).c_str(), "vault " + std::to_string(step));
            EXPECT_EQ(file->GetInt("curuser", -1), 0) << "a saved last, playing its own";
        }
        EXPECT_EQ(b->GetInt("curuser", -1), 0);
        EXPECT_STREQ(b->GetString("progress", "", 0).c_str(), "vault 4");
    }
}

// Three copies each make "Ann" on a fresh folder: three players, no two of one name.
TEST_F(PrefsCopiesTest, ThreeCopiesMakingOneNameAtOnceLeaveThreeNames)
{
    auto a = Copy();
    auto b = Copy();
    auto c = Copy();
    MakePlayer(*a, "Ann");
    MakePlayer(*b, "ann");
    MakePlayer(*c, "ANN");
    EXPECT_TRUE(a->SetInt("soundlevel", 250, -1, true));
    EXPECT_EQ(Names(*Copy()), (Strings{"Ann", "ANN 3", "ann 2"}));
}

// A copy whose lock is a stand-in (no flock here) is stopped just after its last check before the
// rename, for longer than a stand-in is waited for, on a machine the other copy cannot ask whether
// it still runs. The hook stands in for the stop: it makes the stand-in another machine's and over
// a minute old, and runs the other copy's saves there. That copy takes the stand-in as left and
// saves Bob and Cid; the stopped copy's rename then puts its older file over them. The other copy's
// next save keeps them (said in the log): the file that lacks them never had them to delete.
TEST_F(PrefsCopiesTest, ACopyStoppedAfterItsCheckPastTheStandInsAgeLosesNoOtherCopysPlayer)
{
    sys::InjectLockFailure(ENOLCK);
    {
        auto first = Copy();
        MakePlayer(*first, "Ann");
        MakePlayer(*first, "Dan");
    }
    auto a = Copy();
    auto b = Copy();
    const fs::path standIn = mUser / "prefs.dat.lock.x";
    bool stopped = false;
    SetReplaceCheckedHook(
        [&]
        {
            if (stopped)
                return;
            stopped = true;
            std::ofstream(standIn, std::ios::binary | std::ios::trunc)
                << "another-boot/pid:[1] 77 1234\n";
            fs::last_write_time(standIn,
                                fs::file_time_type::clock::now() - std::chrono::seconds(61));
            MakePlayer(*b, "Bob");
            MakePlayer(*b, "Cid");
        });
    MakePlayer(*a, "Zed");
    SetReplaceCheckedHook(nullptr);
    ASSERT_TRUE(stopped);
    EXPECT_EQ(Names(*Copy()), (Strings{"Ann", "Dan", "Zed"})) << "the older file went over";

    EXPECT_TRUE(b->SetInt("soundlevel", 250, -1, true));
    Strings names = Names(*Copy());
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (Strings{"Ann", "Bob", "Cid", "Dan", "Zed"}));
    EXPECT_NE(LogText().find("was replaced by a copy that had not read this one's last save; the "
                             "players it lacks are kept"),
              std::string::npos)
        << LogText();
    // The copy that went over it takes them in at its next save.
    EXPECT_TRUE(a->SetInt("musiclevel", 500, -1, true));
    names = Names(*a);
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (Strings{"Ann", "Bob", "Cid", "Dan", "Zed"}));
    sys::InjectLockFailure(0);
}

// Another copy holds the lock (stopped inside its save): a save made on the thread that asks for it
// (which it holds) waits for it once in the run, then is put off, its values kept in memory and
// said once; later such saves only try the lock, and the first that has it writes everything. A
// lock file with another name (a hard-linked copy of the folder) is a lock all the same.
TEST_F(PrefsCopiesTest, ASaveWithoutTheLockIsPutOffAndItsWaitIsNotRepeated)
{
    const fs::path lock = mUser / "prefs.dat.lock";
    auto a = Copy();
    MakePlayer(*a, "Ann");
    fs::create_hard_link(lock, mRoot / "backup.lock");
    ASSERT_TRUE(a->SetString("progress", "hall", 0, true)) << LogText();

    SetFileLockWait(50);
    const std::vector<uint8_t> before = ReadPrefsFile();
    std::string reason;
    sys::LockRequest request;
    sys::LockResult result = sys::LockResult::kRefused;
    const int held = sys::LockFile(lock.string(), request, reason, result);
    ASSERT_GE(held, 0) << reason;
    EXPECT_EQ(GetFileLockWait("user:prefs.dat"), 50u);
    EXPECT_FALSE(a->SetInt("soundlevel", 250, -1, true));
    EXPECT_EQ(GetFileLockWait("user:prefs.dat"), 0u) << "waited out once: only tried from here";
    EXPECT_FALSE(a->SetInt("musiclevel", 500, -1, true));
    EXPECT_EQ(ReadPrefsFile(), before);
    EXPECT_TRUE(a->HasUnsavedChanges());
    const std::string line = "ERROR: The lock '" + lock.string() +
                             "' could not be taken (another process holds it for 50 ms): '" +
                             (mUser / "prefs.dat").string() +
                             "' is not saved without it; the changes are kept for a later save.\n";
    const std::string log = LogText();
    EXPECT_NE(log.find(line), std::string::npos) << log;
    EXPECT_EQ(log.find("could not be taken"), log.rfind("could not be taken")) << log;

    sys::UnlockFile(held);
    EXPECT_TRUE(a->SavePending());
    EXPECT_FALSE(a->HasUnsavedChanges());
    auto file = Copy();
    EXPECT_EQ(file->GetInt("soundlevel", -1), 250);
    EXPECT_EQ(file->GetInt("musiclevel", -1), 500);
    EXPECT_EQ(GetFileLockWait("user:prefs.dat"), 0u);
    SetFileLockWait(kFileLockWaitMs);
}

// The closing save cannot be made (the lock held for good by a copy stopped in its save): the
// changes lost are said on standard error, where whoever started the game looks, not only in the
// log.
TEST_F(PrefsCopiesTest, ChangesLostAtTheEndAreSaidOnStandardError)
{
    auto a = Copy();
    SetFileLockWait(20);
    std::string reason;
    const int held = sys::LockFile((mUser / "prefs.dat.lock").string(), 0, reason);
    ASSERT_GE(held, 0) << reason;
    EXPECT_FALSE(a->SetInt("soundlevel", 250, -1, true));
    testing::internal::CaptureStderr();
    EXPECT_FALSE(a->SavePending());
    const std::string said = testing::internal::GetCapturedStderr();
    sys::UnlockFile(held);
    SetFileLockWait(kFileLockWaitMs);
    const std::string line = "ERROR: Preferences could not be saved to '" +
                             (mUser / "prefs.dat").string() +
                             "' before the end: what changed since their last save is lost";
    EXPECT_NE(said.find(line), std::string::npos) << said;
    EXPECT_NE(LogText().find(line), std::string::npos) << LogText();
}

// A save reads the file under the lock: what another copy writes while it holds the lock is
// in the file the waiting save reads.
TEST_F(PrefsCopiesTest, ASaveWaitsForTheLockAndReadsTheFileAfterIt)
{
    auto a = Copy();
    MakePlayer(*a, "Ann");
    std::string reason;
    const int held = sys::LockFile((mUser / "prefs.dat.lock").string(), 0, reason);
    ASSERT_GE(held, 0) << reason;
    std::thread save([&] { MakePlayer(*a, "Cid"); });
    {
        // The other copy, holding the lock (this test holds it for it), writes its player.
        TPrefs b(false);
        b.SetProfileKeys("name", "curuser");
        MakePlayer(b, "Bob");
        WritePrefsFile(b.BuildFile());
    }
    sys::UnlockFile(held);
    save.join();
    EXPECT_EQ(Names(*Copy()), (Strings{"Ann", "Cid", "Bob"}));
}
