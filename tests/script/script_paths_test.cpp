// The programs of the script-paths fuzz target over fixed random inputs: every quick way of the
// engine gives what the plain way gives (see fuzz/script_paths_program.h).
#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "fuzz/script_paths_program.h"
#include "lib_test_support.h"

TEST(ScriptPathsTest, QuickWaysAgreeWithPlainWaysOnRandomPrograms)
{
    for (unsigned seed = 1; seed <= 30; seed++)
    {
        std::mt19937 rng(seed);
        std::vector<uint8_t> bytes(600);
        for (uint8_t& b : bytes)
            b = static_cast<uint8_t>(rng());
        LibState state;
        std::string code = script_paths::Program(bytes.data(), bytes.size(), 60);
        EXPECT_EQ("", state.Run(code)) << "seed " << seed << "\n" << code;
    }
}
