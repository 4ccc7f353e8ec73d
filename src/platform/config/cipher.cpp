// TCipher's padding and length rules over Blowfish, the key building, base64 and GUID helpers.
#include "platform/config/cipher.h"

#include "platform/config/blowfish.h"
#include "sys/process/identity.h"

#include <cstring>
#include <vector>

namespace
{
const char kBase64Alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

// Fixed for the product: preferences files written with one set can only be read with it.
constexpr char kKeyFiller = 'q';
const char kKeySuffix[] = "Mw7";
constexpr int kKeyTextLength = 12;
constexpr int kKeyLength = 9;

int Base64Value(char c)
{
    if (c >= 'A' && c <= 'Z')
        return c - 'A';
    if (c >= 'a' && c <= 'z')
        return c - 'a' + 26;
    if (c >= '0' && c <= '9')
        return c - '0' + 52;
    if (c == '+')
        return 62;
    if (c == '/')
        return 63;
    return 0;
}
} // namespace

void TCipher::BuildKey(const TString& keyText, uint8_t key[9])
{
    char text[kKeyTextLength];
    int length = keyText.Length();
    for (int i = 0; i < kKeyTextLength; ++i)
        text[i] = i < length ? keyText.CharAt(i) : kKeyFiller;
    std::memcpy(text + kKeyTextLength - 3, kKeySuffix, 3);
    Base64Decode(key, text, kKeyTextLength);
}

TCipher::TCipher(const TString& key) : mState(std::make_unique<TBlowfish>())
{
    uint8_t bytes[kKeyLength];
    BuildKey(key, bytes);
    mState->SetKey(bytes, kKeyLength);
    // The key lives only in the schedule.
    std::memset(bytes, 0, sizeof bytes);
}

TCipher::~TCipher() = default;

int TCipher::Encrypt(const void* src, int length, void* dest, int destSize, bool asBase64)
{
    if (src == nullptr || length < 0)
        length = 0;
    int pad = 8 - length % 8;
    int padded = length + pad;
    int needed = asBase64 ? Base64EncodedSize(padded) + 1 : padded;
    if (dest == nullptr || destSize < needed)
        return needed;
    std::vector<uint8_t> data(static_cast<size_t>(padded), static_cast<uint8_t>(pad));
    if (length > 0)
        std::memcpy(data.data(), src, static_cast<size_t>(length));
    for (int at = 0; at < padded; at += 8)
        mState->EncryptBlock(data.data() + at);
    if (asBase64)
    {
        auto* text = static_cast<char*>(dest);
        int written = Base64Encode(text, data.data(), padded);
        text[written] = 0;
        mLastLength = written;
    }
    else
    {
        std::memcpy(dest, data.data(), static_cast<size_t>(padded));
        mLastLength = padded;
    }
    return 0;
}

int TCipher::Decrypt(const void* src, int length, void* dest, int destSize, bool fromBase64)
{
    if (src == nullptr || length < 0)
        length = 0;
    std::vector<uint8_t> data;
    if (fromBase64)
    {
        data.resize(static_cast<size_t>(Base64DecodedSize(length)));
        data.resize(
            static_cast<size_t>(Base64Decode(data.data(), static_cast<const char*>(src), length)));
    }
    else
    {
        const auto* bytes = static_cast<const uint8_t*>(src);
        data.assign(bytes, bytes + length);
    }
    int inputLength = static_cast<int>(data.size());
    int plain = 0;
    if (inputLength > 0)
    {
        data.resize((data.size() + 7) / 8 * 8, 0);
        for (size_t at = 0; at < data.size(); at += 8)
            mState->DecryptBlock(data.data() + at);
        plain = inputLength - static_cast<int8_t>(data.back());
        if (plain < 0 || plain > inputLength)
            plain = 0;
    }
    if (dest == nullptr || destSize < plain)
        return plain;
    if (plain > 0)
        std::memcpy(dest, data.data(), static_cast<size_t>(plain));
    mLastLength = plain;
    return 0;
}

TString TCipher::DecryptString(const TString& text, bool fromBase64)
{
    int size = Decrypt(text.c_str(), text.Length(), nullptr, 0, fromBase64);
    if (size <= 0)
        return TString();
    std::vector<char> plain(static_cast<size_t>(size));
    Decrypt(text.c_str(), text.Length(), plain.data(), size, fromBase64);
    return TString(plain.data(), static_cast<unsigned>(size));
}

int Base64EncodedSize(int n)
{
    return n <= 0 ? 0 : 4 * ((n + 2) / 3);
}

int Base64Encode(char* dest, const void* src, int n)
{
    const auto* bytes = static_cast<const uint8_t*>(src);
    int out = 0;
    for (int at = 0; at < n; at += 3)
    {
        int count = n - at < 3 ? n - at : 3;
        uint32_t group = static_cast<uint32_t>(bytes[at]) << 16;
        if (count > 1)
            group |= static_cast<uint32_t>(bytes[at + 1]) << 8;
        if (count > 2)
            group |= bytes[at + 2];
        dest[out++] = kBase64Alphabet[(group >> 18) & 63];
        dest[out++] = kBase64Alphabet[(group >> 12) & 63];
        dest[out++] = count > 1 ? kBase64Alphabet[(group >> 6) & 63] : '=';
        dest[out++] = count > 2 ? kBase64Alphabet[group & 63] : '=';
    }
    return out;
}

int Base64DecodedSize(int n)
{
    return n <= 0 ? 0 : 3 * ((n + 3) / 4);
}

int Base64Decode(void* dest, const char* src, int n)
{
    auto* bytes = static_cast<uint8_t*>(dest);
    int out = 0;
    for (int at = 0; at < n; at += 4)
    {
        // A short last group is completed with "=".
        char group[4];
        for (int k = 0; k < 4; ++k)
            group[k] = at + k < n ? src[at + k] : '=';
        uint32_t value = 0;
        for (char c : group)
            value = (value << 6) | static_cast<uint32_t>(Base64Value(c));
        int count = 3 - (group[2] == '=') - (group[3] == '=');
        bytes[out++] = static_cast<uint8_t>(value >> 16);
        if (count > 1)
            bytes[out++] = static_cast<uint8_t>(value >> 8);
        if (count > 2)
            bytes[out++] = static_cast<uint8_t>(value);
    }
    return out;
}

void CreateGuid(uint8_t record[16])
{
    sys::NewGuid(record);
}

namespace
{
void RecordToWords(const uint8_t record[16], uint32_t words[4])
{
    for (int i = 0; i < 4; ++i)
        words[i] = static_cast<uint32_t>(record[4 * i]) |
                   (static_cast<uint32_t>(record[4 * i + 1]) << 8) |
                   (static_cast<uint32_t>(record[4 * i + 2]) << 16) |
                   (static_cast<uint32_t>(record[4 * i + 3]) << 24);
}
} // namespace

void CreateGuid(uint32_t words[4])
{
    uint8_t record[16];
    sys::NewGuid(record);
    RecordToWords(record, words);
}

TString GuidString(const uint8_t record[16])
{
    uint32_t words[4];
    RecordToWords(record, words);
    return TString::Format("%08x%08x%08x%08x", words[0], words[1], words[2], words[3]);
}

TString NewGuidString()
{
    uint8_t record[16];
    sys::NewGuid(record);
    return GuidString(record);
}
