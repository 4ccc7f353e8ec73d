// Blowfish against the published vectors, TCipher's padding and length rules, base64, GUID text.
#include "platform/config/blowfish.h"
#include "platform/config/cipher.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace
{
std::vector<uint8_t> FromHex(const char* hex)
{
    std::vector<uint8_t> bytes;
    for (size_t i = 0; hex[i] != 0 && hex[i + 1] != 0; i += 2)
        bytes.push_back(static_cast<uint8_t>(std::stoi(std::string(hex + i, 2), nullptr, 16)));
    return bytes;
}

std::string ToHex(const uint8_t* bytes, size_t n)
{
    static const char kDigits[] = "0123456789ABCDEF";
    std::string text;
    for (size_t i = 0; i < n; ++i)
    {
        text += kDigits[bytes[i] >> 4];
        text += kDigits[bytes[i] & 15];
    }
    return text;
}

std::string EncryptVector(const char* key, const char* plain)
{
    std::vector<uint8_t> keyBytes = FromHex(key);
    std::vector<uint8_t> block = FromHex(plain);
    TBlowfish cipher;
    cipher.SetKey(keyBytes.data(), static_cast<int>(keyBytes.size()));
    cipher.EncryptBlock(block.data());
    std::string result = ToHex(block.data(), 8);
    cipher.DecryptBlock(block.data());
    EXPECT_EQ(ToHex(block.data(), 8), plain);
    return result;
}
} // namespace

TEST(Blowfish, InitialWordsAreTheDigitsOfPi)
{
    const uint32_t* words = TBlowfish::InitialWords();
    EXPECT_EQ(words[0], 0x243F6A88u);
    EXPECT_EQ(words[1], 0x85A308D3u);
    EXPECT_EQ(words[17], 0x8979FB1Bu);
    EXPECT_EQ(words[18], 0xD1310BA6u);        // first S-box, first word
    EXPECT_EQ(words[18 + 256], 0x4B7A70E9u);  // second S-box
    EXPECT_EQ(words[18 + 1023], 0x3AC372E6u); // fourth S-box, last word
}

TEST(Blowfish, PublishedVectors)
{
    EXPECT_EQ(EncryptVector("0000000000000000", "0000000000000000"), "4EF997456198DD78");
    EXPECT_EQ(EncryptVector("FFFFFFFFFFFFFFFF", "FFFFFFFFFFFFFFFF"), "51866FD5B85ECB8A");
    EXPECT_EQ(EncryptVector("3000000000000000", "1000000000000001"), "7D856F9A613063F2");
    EXPECT_EQ(EncryptVector("0123456789ABCDEF", "1111111111111111"), "61F9C3802281B096");
    EXPECT_EQ(EncryptVector("FEDCBA9876543210", "0123456789ABCDEF"), "0ACEAB0FC6A0A28D");
}

TEST(Cipher, PaddingSizes)
{
    TCipher cipher("abcdefghijkl");
    EXPECT_EQ(cipher.Encrypt("", 0, nullptr, 0, false), 8);
    EXPECT_EQ(cipher.Encrypt("12345678", 8, nullptr, 0, false), 16);
    EXPECT_EQ(cipher.Encrypt("1234567", 7, nullptr, 0, false), 8);
    EXPECT_EQ(cipher.Encrypt("12345", 5, nullptr, 0, true), 13);
    uint8_t small[8];
    EXPECT_EQ(cipher.Encrypt("12345678", 8, small, 8, false), 16);
}

TEST(Cipher, EmptyInputIsOneBlockOfEights)
{
    TCipher cipher("abcdefghijkl");
    uint8_t out[8];
    ASSERT_EQ(cipher.Encrypt("", 0, out, 8, false), 0);
    EXPECT_EQ(cipher.GetLastLength(), 8);
    uint8_t plain[8];
    std::memcpy(plain, out, 8);
    TBlowfish check;
    uint8_t key[9];
    TCipher::BuildKey("abcdefghijkl", key);
    check.SetKey(key, 9);
    check.DecryptBlock(plain);
    for (uint8_t byte : plain)
        EXPECT_EQ(byte, 8);
}

TEST(Cipher, RoundTripsRawAndBase64)
{
    TCipher cipher("K3yT3xt12345");
    for (int length = 0; length <= 20; ++length)
    {
        std::string plain;
        for (int i = 0; i < length; ++i)
            plain += static_cast<char>('a' + i);
        char sealed[64];
        ASSERT_EQ(cipher.Encrypt(plain.data(), length, sealed, sizeof sealed, false), 0);
        int sealedLength = cipher.GetLastLength();
        EXPECT_EQ(sealedLength, length / 8 * 8 + 8);
        char opened[64];
        EXPECT_EQ(cipher.Decrypt(sealed, sealedLength, nullptr, 0, false), length);
        ASSERT_EQ(cipher.Decrypt(sealed, sealedLength, opened, sizeof opened, false), 0);
        EXPECT_EQ(cipher.GetLastLength(), length);
        EXPECT_EQ(std::string(opened, static_cast<size_t>(length)), plain);

        char text[64];
        ASSERT_EQ(cipher.Encrypt(plain.data(), length, text, sizeof text, true), 0);
        EXPECT_EQ(std::strlen(text), static_cast<size_t>(Base64EncodedSize(sealedLength)));
        EXPECT_STREQ(cipher.DecryptString(text, true).c_str(), plain.c_str());
    }
}

TEST(Cipher, DecryptLengthRuleUsesTheLastByteAsSigned)
{
    TCipher cipher("abcdefghijkl");
    uint8_t key[9];
    TCipher::BuildKey("abcdefghijkl", key);
    TBlowfish raw;
    raw.SetKey(key, 9);
    auto sealOne = [&](uint8_t last)
    {
        std::vector<uint8_t> block = {'a', 'b', 'c', 'd', 'e', 'f', 'g', last};
        raw.EncryptBlock(block.data());
        return block;
    };
    std::vector<uint8_t> zero = sealOne(0);
    EXPECT_EQ(cipher.Decrypt(zero.data(), 8, nullptr, 0, false), 8);
    std::vector<uint8_t> high = sealOne(0x80);
    EXPECT_EQ(cipher.Decrypt(high.data(), 8, nullptr, 0, false), 0);
    std::vector<uint8_t> tooLong = sealOne(9);
    EXPECT_EQ(cipher.Decrypt(tooLong.data(), 8, nullptr, 0, false), 0);
    std::vector<uint8_t> three = sealOne(3);
    EXPECT_EQ(cipher.Decrypt(three.data(), 8, nullptr, 0, false), 5);
    EXPECT_EQ(cipher.Decrypt(nullptr, 0, nullptr, 0, false), 0);
    EXPECT_EQ(cipher.DecryptString("", true).GetData(), nullptr);
}

TEST(Cipher, KeyBuildingFitsTwelveCharactersWithTheFixedSuffix)
{
    uint8_t shortKey[9];
    uint8_t filled[9];
    TCipher::BuildKey("abc", shortKey);
    TCipher::BuildKey("abcqqqqqqXYZ", filled);
    EXPECT_EQ(ToHex(shortKey, 9), ToHex(filled, 9));
    uint8_t longKey[9];
    uint8_t cut[9];
    TCipher::BuildKey("abcdefghiABCDEFGH", longKey);
    TCipher::BuildKey("abcdefghi", cut);
    EXPECT_EQ(ToHex(longKey, 9), ToHex(cut, 9));
    // "abcdefghiMw7" decoded from base64.
    EXPECT_EQ(ToHex(cut, 9), "69B71D79F82188CC3B");
}

TEST(Base64, SizesAndKnownTexts)
{
    EXPECT_EQ(Base64EncodedSize(0), 0);
    EXPECT_EQ(Base64EncodedSize(1), 4);
    EXPECT_EQ(Base64EncodedSize(3), 4);
    EXPECT_EQ(Base64EncodedSize(4), 8);
    EXPECT_EQ(Base64DecodedSize(3), 3);
    EXPECT_EQ(Base64DecodedSize(4), 3);
    EXPECT_EQ(Base64DecodedSize(5), 6);
    char text[8] = {};
    EXPECT_EQ(Base64Encode(text, "abc", 3), 4);
    EXPECT_EQ(std::string(text, 4), "YWJj");
    EXPECT_EQ(Base64Encode(text, "ab", 2), 4);
    EXPECT_EQ(std::string(text, 4), "YWI=");
    uint8_t bytes[6] = {};
    EXPECT_EQ(Base64Decode(bytes, "YWI", 3), 2);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(bytes), 2), "ab");
    EXPECT_EQ(Base64Decode(bytes, "YQ==", 4), 1);
    EXPECT_EQ(bytes[0], 'a');
    EXPECT_EQ(Base64Decode(bytes, "", 0), 0);
}

TEST(Base64, EveryLengthUpToTenRoundTrips)
{
    const uint8_t source[10] = {0x00, 0xFF, 0x10, 0x80, 0x7F, 0x3E, 0x3F, 0xC0, 0x01, 0xFE};
    for (int n = 0; n <= 10; ++n)
    {
        char text[32];
        int written = Base64Encode(text, source, n);
        EXPECT_EQ(written, Base64EncodedSize(n));
        uint8_t back[32];
        EXPECT_LE(Base64Decode(back, text, written), Base64DecodedSize(written));
        EXPECT_EQ(Base64Decode(back, text, written), n);
        EXPECT_EQ(std::memcmp(back, source, static_cast<size_t>(n)), 0);
    }
}

TEST(Guid, StringIsFourLittleEndianWords)
{
    const uint8_t record[16] = {0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x08,
                                0x09, 0x0A, 0x0B, 0x0C, 0x0D, 0x0E, 0x0F, 0xA0};
    EXPECT_STREQ(GuidString(record).c_str(), "04030201080706050c0b0a09a00f0e0d");
}

TEST(Guid, FreshStringsDiffer)
{
    TString a = NewGuidString();
    TString b = NewGuidString();
    EXPECT_EQ(a.Length(), 32);
    EXPECT_EQ(b.Length(), 32);
    EXPECT_FALSE(a == b);
    EXPECT_EQ(a.FindFirstOf("ABCDEFGHIJKLMNOPQRSTUVWXYZghijklmnopqrstuvwxyz"), 32);
}
