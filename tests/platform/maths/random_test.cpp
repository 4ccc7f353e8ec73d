// TRandom against the MT19937 reference outputs, and the float, double and integer draws.
#include "platform/maths/random.h"

#include <gtest/gtest.h>

#include <cmath>

TEST(Random, SeedGivesTheReferenceSequence)
{
    TRandom random;
    random.Seed(5489);
    const uint32_t expected[5] = {3499211612u, 581869302u, 3890346734u, 3586334585u, 545404204u};
    for (uint32_t value : expected)
        EXPECT_EQ(random.Next(), value);
    random.Seed(5489);
    uint32_t last = 0;
    for (int i = 0; i < 10000; ++i)
        last = random.Next();
    EXPECT_EQ(last, 4123659995u);
}

TEST(Random, SeedByArrayGivesTheReferenceSequence)
{
    TRandom random;
    const uint32_t words[4] = {0x123, 0x234, 0x345, 0x456};
    random.SeedByArray(words, 4);
    const uint32_t expected[5] = {1067595299u, 955945823u, 477289528u, 4107218783u, 4228976476u};
    for (uint32_t value : expected)
        EXPECT_EQ(random.Next(), value);
}

TEST(Random, DefaultConstructionIsTheFixedArraySeed)
{
    TRandom unseeded;
    TRandom seeded;
    const uint32_t words[4] = {0xD4C4CF4Bu, 0x3E2019A7u, 0xE6489797u, 0x5746FCB5u};
    seeded.SeedByArray(words, 4);
    for (int i = 0; i < 700; ++i)
        ASSERT_EQ(unseeded.Next(), seeded.Next());
    TRandom other;
    TRandom again;
    EXPECT_EQ(other.Next(), again.Next());
}

TEST(Random, RandomFloatStaysBelowOne)
{
    EXPECT_EQ(RandomFloat(0u), 0.0f);
    EXPECT_EQ(RandomFloat(4294967295u), 1.0f - std::ldexp(1.0f, -24));
    EXPECT_LT(RandomFloat(4294967295u), 1.0f);
    EXPECT_FLOAT_EQ(RandomFloat(0x80000000u), 0.5f);
}

TEST(Random, NextDoubleUsesTwoOutputs)
{
    TRandom random;
    random.Seed(5489);
    double value = random.NextDouble();
    double expected = ((3499211612u >> 5) * 67108864.0 + (581869302u >> 6)) / 9007199254740992.0;
    EXPECT_EQ(value, expected);
    EXPECT_EQ(random.Next(), 3890346734u);
}

TEST(Random, NextIntCoversBothEnds)
{
    TRandom random;
    random.Seed(1);
    bool seen[4] = {};
    for (int i = 0; i < 400; ++i)
    {
        int value = random.NextInt(-1, 2);
        ASSERT_GE(value, -1);
        ASSERT_LE(value, 2);
        seen[value + 1] = true;
    }
    for (bool hit : seen)
        EXPECT_TRUE(hit);
    EXPECT_EQ(random.NextInt(7, 7), 7);
}

TEST(Random, NextFloatRanges)
{
    TRandom random;
    for (int i = 0; i < 1000; ++i)
    {
        float unit = random.NextFloat();
        ASSERT_GE(unit, 0.0f);
        ASSERT_LT(unit, 1.0f);
        float scaled = random.NextFloat(3.0f);
        ASSERT_GE(scaled, 0.0f);
        ASSERT_LT(scaled, 3.0f);
    }
    TRandom a;
    TRandom b;
    EXPECT_EQ(a.NextFloat(), RandomFloat(b.Next()));
}
