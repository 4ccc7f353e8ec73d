// Test support for the high-score store: a scratch folder (XDG_DATA_HOME inside it), a test key,
// the score file enciphered and deciphered independently of the store, and table dumps.
#pragma once

#include "platform/config/cipher.h"
#include "support/file_layer_fixture.h"
#include "platform/config/xml.h"
#include "services/scores/qm_hiscores.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

namespace hiscoretest
{

constexpr const char* kKey = "test-key-40";

inline uint32_t XorChecksum(const std::string& bytes)
{
    uint8_t sum[4] = {};
    for (size_t i = 0; i < bytes.size(); ++i)
        sum[i % 4] ^= static_cast<uint8_t>(bytes[i]);
    return uint32_t(sum[0]) | uint32_t(sum[1]) << 8 | uint32_t(sum[2]) << 16 |
           uint32_t(sum[3]) << 24;
}

inline std::string Encipher(TCipher& cipher, const std::string& plain)
{
    std::string out(plain.size() + 8, '\0');
    EXPECT_EQ(cipher.Encrypt(plain.data(), static_cast<int>(plain.size()), out.data(),
                             static_cast<int>(out.size()), false),
              0);
    out.resize(static_cast<size_t>(cipher.GetLastLength()));
    return out;
}

// A score file as the store writes it: the text (with its NUL unless told otherwise), then the
// checksum block.
inline std::string MakeScoreFile(const std::string& text, bool withNul = true)
{
    TCipher cipher(kKey);
    std::string body = Encipher(cipher, withNul ? text + std::string(1, '\0') : text);
    uint32_t sum = XorChecksum(body);
    std::string word{static_cast<char>(sum), static_cast<char>(sum >> 8),
                     static_cast<char>(sum >> 16), static_cast<char>(sum >> 24)};
    return body + Encipher(cipher, word);
}

// The deciphered text of a score file, up to its NUL.
inline std::string DecipherScoreFile(const std::string& file)
{
    TCipher cipher(kKey);
    if (file.size() <= 8)
        return {};
    std::string plain(file.size(), '\0');
    cipher.Decrypt(file.data(), static_cast<int>(file.size() - 8), plain.data(),
                   static_cast<int>(plain.size()), false);
    plain.resize(static_cast<size_t>(cipher.GetLastLength()));
    return plain.substr(0, plain.find('\0'));
}

class HiscoreTest : public filetest::FileLayerTest
{
protected:
    void SetUp() override
    {
        FileLayerTest::SetUp();
        const char* old = std::getenv("XDG_DATA_HOME");
        mHadXdg = old != nullptr;
        mOldXdg = old ? old : "";
        setenv("XDG_DATA_HOME", (mRoot + "/xdg").c_str(), 1);
        SetConfig("encryptionkey", kKey);
        SetConfig("version", "1.2");
    }

    void TearDown() override
    {
        if (mHadXdg)
            setenv("XDG_DATA_HOME", mOldXdg.c_str(), 1);
        else
            unsetenv("XDG_DATA_HOME");
        FileLayerTest::TearDown();
    }

    std::unique_ptr<TQmHiscores> Open(const char* user, const char* mode, bool save = true)
    {
        auto store = std::make_unique<TQmHiscores>(save);
        store->SetParameter(TQmHiscores::kParameterUser, user);
        store->SetParameter(TQmHiscores::kParameterMode, mode);
        return store;
    }

    // "rank|name|score|gameData" for each entry of the current mode's table.
    static std::vector<std::string> Rows(const TQmHiscores& store)
    {
        std::vector<std::string> rows;
        for (int i = 0; i < store.GetNumScores(true); ++i)
        {
            int rank = 0;
            int score = 0;
            char name[256];
            char data[256];
            EXPECT_TRUE(store.GetScore(true, i, &rank, name, sizeof name, nullptr, &score, data,
                                       sizeof data));
            rows.push_back(std::to_string(rank) + "|" + name + "|" + std::to_string(score) + "|" +
                           data);
        }
        return rows;
    }

    std::string ScoreFile() const { return filetest::ReadBytes(mRoot + "/user/hiscore.dat"); }
    void WriteScoreFile(const std::string& bytes) const { Write("user/hiscore.dat", bytes); }
    std::string Document() const { return DecipherScoreFile(ScoreFile()); }

private:
    bool mHadXdg = false;
    std::string mOldXdg;
};

} // namespace hiscoretest
