// The reference MT19937 algorithm (initialisation by seed and by array, regeneration, tempering).
#include "platform/maths/random.h"

#include <cmath>

namespace
{
constexpr int kN = TRandom::kStateSize;
constexpr int kM = 397;
constexpr uint32_t kMatrixA = 0x9908B0DFu;
constexpr uint32_t kUpperMask = 0x80000000u;
constexpr uint32_t kLowerMask = 0x7FFFFFFFu;
constexpr double kFloatFactor = 2.3283063671497593e-10;
} // namespace

TRandom::TRandom()
{
    static const uint32_t kDefaultWords[4] = {0xD4C4CF4Bu, 0x3E2019A7u, 0xE6489797u, 0x5746FCB5u};
    SeedByArray(kDefaultWords, 4);
}

void TRandom::Seed(uint32_t seed)
{
    mState[0] = seed;
    for (int i = 1; i < kN; ++i)
    {
        uint32_t previous = mState[i - 1];
        mState[i] = 1812433253u * (previous ^ (previous >> 30)) + static_cast<uint32_t>(i);
    }
    mIndex = kN;
}

void TRandom::SeedByArray(const uint32_t* words, int count)
{
    // An empty array would leave nothing to mix in; it counts as one zero word.
    static const uint32_t kZero = 0;
    if (words == nullptr || count <= 0)
    {
        words = &kZero;
        count = 1;
    }
    Seed(19650218u);
    int i = 1;
    int j = 0;
    for (int k = kN > count ? kN : count; k > 0; --k)
    {
        uint32_t previous = mState[i - 1];
        mState[i] = (mState[i] ^ ((previous ^ (previous >> 30)) * 1664525u)) + words[j] +
                    static_cast<uint32_t>(j);
        ++i;
        ++j;
        if (i >= kN)
        {
            mState[0] = mState[kN - 1];
            i = 1;
        }
        if (j >= count)
            j = 0;
    }
    for (int k = kN - 1; k > 0; --k)
    {
        uint32_t previous = mState[i - 1];
        mState[i] =
            (mState[i] ^ ((previous ^ (previous >> 30)) * 1566083941u)) - static_cast<uint32_t>(i);
        ++i;
        if (i >= kN)
        {
            mState[0] = mState[kN - 1];
            i = 1;
        }
    }
    mState[0] = 0x80000000u;
    mIndex = kN;
}

void TRandom::Regenerate()
{
    for (int k = 0; k < kN; ++k)
    {
        uint32_t y = (mState[k] & kUpperMask) | (mState[(k + 1) % kN] & kLowerMask);
        mState[k] = mState[(k + kM) % kN] ^ (y >> 1) ^ ((y & 1u) ? kMatrixA : 0u);
    }
    mIndex = 0;
}

uint32_t TRandom::Next()
{
    if (mIndex >= kN)
    {
        if (mIndex == kN + 1)
            Seed(5489u);
        Regenerate();
    }
    uint32_t y = mState[mIndex++];
    y ^= y >> 11;
    y ^= (y << 7) & 0x9D2C5680u;
    y ^= (y << 15) & 0xEFC60000u;
    y ^= y >> 18;
    return y;
}

double TRandom::NextDouble()
{
    uint32_t a = Next() >> 5;
    uint32_t b = Next() >> 6;
    return (a * 67108864.0 + b) * (1.0 / 9007199254740992.0);
}

int TRandom::NextInt(int lo, int hi)
{
    double span = static_cast<double>(hi) - static_cast<double>(lo) + 1.0;
    return static_cast<int>(static_cast<int64_t>(lo) +
                            static_cast<int64_t>(std::floor(NextDouble() * span)));
}

float TRandom::NextFloat()
{
    return RandomFloat(Next());
}

float TRandom::NextFloat(float x)
{
    float value = NextFloat() * x;
    // The product can round up to x itself; the range stays open at x.
    if (x > 0 && value >= x)
        value = std::nextafter(x, 0.0f);
    return value;
}

float RandomFloat(uint32_t output)
{
    return static_cast<float>(output * kFloatFactor);
}

float RandomFloat(TRandom& random)
{
    return random.NextFloat();
}
