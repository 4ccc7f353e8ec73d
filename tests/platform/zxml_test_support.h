// Test helpers for readers of XML-shaped text: the "ZXML" packed form of a text, and random edits
// that turn a good document into a damaged one.
#pragma once

#include <cstdint>
#include <random>
#include <string>
#include <vector>
#include <zlib.h>

namespace zxmltest
{

// "ZXML", u32 packed length, u32 plain length (little-endian), then the zlib stream.
inline std::vector<char> Pack(const std::string& plain)
{
    uLongf packedLength = compressBound(plain.size());
    std::vector<char> packed(packedLength);
    compress(reinterpret_cast<Bytef*>(packed.data()), &packedLength,
             reinterpret_cast<const Bytef*>(plain.data()), plain.size());
    packed.resize(packedLength);
    std::vector<char> out = {'Z', 'X', 'M', 'L'};
    for (uint32_t v : {static_cast<uint32_t>(packed.size()), static_cast<uint32_t>(plain.size())})
    {
        for (int i = 0; i < 4; ++i)
            out.push_back(static_cast<char>(v >> (8 * i)));
    }
    out.insert(out.end(), packed.begin(), packed.end());
    return out;
}

// One to ten random edits (a byte replaced from `alphabet`, a run of up to 8 bytes erased, a byte
// from `alphabet` inserted).
inline std::string Mutate(std::string text, std::mt19937& random, const std::string& alphabet)
{
    int edits = 1 + static_cast<int>(random() % 10);
    for (int e = 0; e < edits && !text.empty(); ++e)
    {
        size_t at = random() % text.size();
        switch (random() % 3)
        {
        case 0:
            text[at] = alphabet[random() % alphabet.size()];
            break;
        case 1:
            text.erase(at, 1 + random() % 8);
            break;
        default:
            text.insert(at, 1, alphabet[random() % alphabet.size()]);
            break;
        }
    }
    return text;
}

} // namespace zxmltest
