// Blowfish with its pi-derived initial tables, computed here with Machin's formula in fixed point.
#include "platform/config/blowfish.h"

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <utility>
#include <vector>

namespace
{
// Fixed-point numbers: word 0 is the integer part, then 32-bit fraction words, most significant
// first. A few guard words absorb the rounding of the long series.
constexpr int kGuardWords = 4;
constexpr int kFractionWords = TBlowfish::kInitialWordCount + kGuardWords;
using Fixed = std::vector<uint32_t>;

// x /= d over the words from `first` on (those before it are zero); true while x is not zero.
bool DivideInPlace(Fixed& x, uint32_t d, size_t first)
{
    uint64_t remainder = 0;
    bool nonZero = false;
    for (size_t i = first; i < x.size(); ++i)
    {
        uint64_t current = (remainder << 32) | x[i];
        x[i] = static_cast<uint32_t>(current / d);
        remainder = current % d;
        nonZero = nonZero || x[i] != 0;
    }
    return nonZero;
}

// sum += x or sum -= x, where x is zero before word `first`.
void AddInPlace(Fixed& sum, const Fixed& x, size_t first)
{
    uint64_t carry = 0;
    for (size_t i = sum.size(); i-- > 0;)
    {
        if (i < first && carry == 0)
            break;
        uint64_t total = static_cast<uint64_t>(sum[i]) + (i >= first ? x[i] : 0) + carry;
        sum[i] = static_cast<uint32_t>(total);
        carry = total >> 32;
    }
}

void SubtractInPlace(Fixed& difference, const Fixed& x, size_t first)
{
    int64_t borrow = 0;
    for (size_t i = difference.size(); i-- > 0;)
    {
        if (i < first && borrow == 0)
            break;
        int64_t total = static_cast<int64_t>(difference[i]) - (i >= first ? x[i] : 0) - borrow;
        borrow = total < 0 ? 1 : 0;
        difference[i] = static_cast<uint32_t>(total + (borrow << 32));
    }
}

void MultiplyInPlace(Fixed& x, uint32_t m)
{
    uint64_t carry = 0;
    for (size_t i = x.size(); i-- > 0;)
    {
        uint64_t total = static_cast<uint64_t>(x[i]) * m + carry;
        x[i] = static_cast<uint32_t>(total);
        carry = total >> 32;
    }
}

// arctan(1 / n) = 1/n - 1/(3 n^3) + 1/(5 n^5) - ...
Fixed ArcTanInverse(uint32_t n)
{
    Fixed power(kFractionWords + 1, 0);
    power[0] = 1;
    DivideInPlace(power, n, 0);
    Fixed sum = power;
    Fixed term(power.size(), 0);
    uint32_t nSquared = n * n;
    size_t first = 0;
    for (uint32_t k = 1;; ++k)
    {
        if (!DivideInPlace(power, nSquared, first))
            break;
        while (power[first] == 0)
            ++first;
        std::copy(power.begin() + static_cast<std::ptrdiff_t>(first), power.end(),
                  term.begin() + static_cast<std::ptrdiff_t>(first));
        DivideInPlace(term, 2 * k + 1, first);
        if (k % 2 == 1)
            SubtractInPlace(sum, term, first);
        else
            AddInPlace(sum, term, first);
    }
    return sum;
}

std::vector<uint32_t> ComputePiWords()
{
    // pi = 16 arctan(1/5) - 4 arctan(1/239)
    Fixed pi = ArcTanInverse(5);
    MultiplyInPlace(pi, 16);
    Fixed second = ArcTanInverse(239);
    MultiplyInPlace(second, 4);
    SubtractInPlace(pi, second, 0);
    return std::vector<uint32_t>(pi.begin() + 1, pi.begin() + 1 + TBlowfish::kInitialWordCount);
}

uint32_t ReadBig(const uint8_t* p)
{
    return (static_cast<uint32_t>(p[0]) << 24) | (static_cast<uint32_t>(p[1]) << 16) |
           (static_cast<uint32_t>(p[2]) << 8) | p[3];
}

void WriteBig(uint8_t* p, uint32_t value)
{
    p[0] = static_cast<uint8_t>(value >> 24);
    p[1] = static_cast<uint8_t>(value >> 16);
    p[2] = static_cast<uint8_t>(value >> 8);
    p[3] = static_cast<uint8_t>(value);
}
} // namespace

const uint32_t* TBlowfish::InitialWords()
{
    static const std::vector<uint32_t> words = ComputePiWords();
    return words.data();
}

uint32_t TBlowfish::F(uint32_t x) const
{
    uint32_t a = mS[0][x >> 24];
    uint32_t b = mS[1][(x >> 16) & 0xFF];
    uint32_t c = mS[2][(x >> 8) & 0xFF];
    uint32_t d = mS[3][x & 0xFF];
    return ((a + b) ^ c) + d;
}

void TBlowfish::Encipher(uint32_t& left, uint32_t& right) const
{
    uint32_t l = left;
    uint32_t r = right;
    for (int i = 0; i < kRounds; ++i)
    {
        l ^= mP[i];
        r ^= F(l);
        std::swap(l, r);
    }
    std::swap(l, r);
    r ^= mP[16];
    l ^= mP[17];
    left = l;
    right = r;
}

void TBlowfish::Decipher(uint32_t& left, uint32_t& right) const
{
    uint32_t l = left;
    uint32_t r = right;
    for (int i = kRounds + 1; i > 1; --i)
    {
        l ^= mP[i];
        r ^= F(l);
        std::swap(l, r);
    }
    std::swap(l, r);
    r ^= mP[1];
    l ^= mP[0];
    left = l;
    right = r;
}

void TBlowfish::SetKey(const uint8_t* key, int length)
{
    const uint32_t* initial = InitialWords();
    std::memcpy(mP, initial, sizeof mP);
    std::memcpy(mS, initial + 18, sizeof mS);
    if (length > 56)
        length = 56;
    if (key != nullptr && length > 0)
    {
        int at = 0;
        for (uint32_t& p : mP)
        {
            uint32_t data = 0;
            for (int k = 0; k < 4; ++k)
            {
                data = (data << 8) | key[at];
                at = (at + 1) % length;
            }
            p ^= data;
        }
    }
    uint32_t left = 0;
    uint32_t right = 0;
    for (int i = 0; i < 18; i += 2)
    {
        Encipher(left, right);
        mP[i] = left;
        mP[i + 1] = right;
    }
    for (auto& box : mS)
    {
        for (int i = 0; i < 256; i += 2)
        {
            Encipher(left, right);
            box[i] = left;
            box[i + 1] = right;
        }
    }
}

void TBlowfish::EncryptBlock(uint8_t block[8]) const
{
    uint32_t left = ReadBig(block);
    uint32_t right = ReadBig(block + 4);
    Encipher(left, right);
    WriteBig(block, left);
    WriteBig(block + 4, right);
}

void TBlowfish::DecryptBlock(uint8_t block[8]) const
{
    uint32_t left = ReadBig(block);
    uint32_t right = ReadBig(block + 4);
    Decipher(left, right);
    WriteBig(block, left);
    WriteBig(block + 4, right);
}
