// What the seeded random runs share: the seed a run plays (its own, or MURKWELL_RANDOM_SEED's,
// which plays a failing run again), the note a failure gives of it, the dice, and the outcomes a
// run's trace tells.
#pragma once

#include "e2e/program_test_support.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <random>
#include <string>

namespace e2etest
{

// MURKWELL_RANDOM_SEED's seed when it is set, else `own`.
inline uint32_t ChosenSeed(uint32_t own)
{
    const char* chosen = std::getenv("MURKWELL_RANDOM_SEED");
    return chosen != nullptr ? static_cast<uint32_t>(std::strtoul(chosen, nullptr, 10)) : own;
}

inline bool SeedIsChosen()
{
    return std::getenv("MURKWELL_RANDOM_SEED") != nullptr;
}

// What a failure says of its run: the seed, and how to play it again.
inline std::string SeedNote(uint32_t seed, const std::string& run)
{
    return "the " + run + "'s seed " + std::to_string(seed) +
           " (MURKWELL_RANDOM_SEED=" + std::to_string(seed) + " plays it again)";
}

class Dice
{
public:
    explicit Dice(uint32_t seed) : mRandom(seed) {}
    // From `low` to `high`, both in.
    int Between(int low, int high)
    {
        return std::uniform_int_distribution<int>(low, high)(mRandom);
    }
    // True `percent` times in a hundred.
    bool Chance(int percent) { return Between(0, 99) < percent; }

private:
    std::mt19937 mRandom;
};

// The trace's line that a completed location prints ("complete <location>").
inline bool Completed(const Traces& traces)
{
    return std::any_of(traces.begin(), traces.end(),
                       [](const std::string& line) { return line.starts_with("complete "); });
}

} // namespace e2etest
