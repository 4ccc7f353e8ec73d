// TRandom: the MT19937 Mersenne Twister, with the float, double and integer draws built on it.
#pragma once

#include <cstdint>

class TRandom
{
public:
    static constexpr int kStateSize = 624;

    // Seeded by array with four fixed words, so an unseeded generator gives a fixed sequence.
    TRandom();

    void Seed(uint32_t seed);
    void SeedByArray(const uint32_t* words, int count);
    // The next tempered 32-bit output.
    uint32_t Next();
    // [0, 1) from two outputs with 53 random bits: ((a >> 5) * 67108864 + (b >> 6)) / 2^53.
    double NextDouble();
    // lo + floor(NextDouble() * (hi - lo + 1)): inclusive at both ends (callers keep hi >= lo).
    int NextInt(int lo, int hi);
    // RandomFloat of the next output: [0, 1 - 2^-24].
    float NextFloat();
    // A float in [0, x).
    float NextFloat(float x);

private:
    void Regenerate();

    uint32_t mState[kStateSize];
    int32_t mIndex = kStateSize + 1;
};

// An output times 2.3283063671497593e-10 (just under 2^-32), rounded to float: never 1.0.
float RandomFloat(uint32_t output);
float RandomFloat(TRandom& random);
