// Strict UTF-8 reading: the well-formed sequences at their boundaries, and how much of a broken one
// is taken, so that reading goes on at the first byte that may open a sequence.
#include "sys/utf8.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

namespace
{

// Each read of the text: its code (-1 for a broken sequence) and the bytes it took.
std::vector<std::pair<long, int>> Reads(const std::string& text)
{
    std::vector<std::pair<long, int>> reads;
    for (size_t at = 0; at < text.size();)
    {
        int used = 0;
        const uint32_t code = sys::ReadUtf8(text.data() + at, text.size() - at, used);
        reads.emplace_back(code == sys::kBrokenUtf8 ? -1L : long(code), used);
        at += static_cast<size_t>(used);
    }
    return reads;
}

using Reading = std::vector<std::pair<long, int>>;

TEST(Utf8Test, WellFormedSequencesAtTheirBoundaries)
{
    EXPECT_EQ(Reads("\x7F\xC2\x80\xDF\xBF"), (Reading{{0x7F, 1}, {0x80, 2}, {0x7FF, 2}}));
    EXPECT_EQ(Reads("\xE0\xA0\x80\xED\x9F\xBF\xEE\x80\x80\xEF\xBF\xBF"),
              (Reading{{0x800, 3}, {0xD7FF, 3}, {0xE000, 3}, {0xFFFF, 3}}));
    EXPECT_EQ(Reads("\xF0\x90\x80\x80\xF4\x8F\xBF\xBF"), (Reading{{0x10000, 4}, {0x10FFFF, 4}}));
}

TEST(Utf8Test, BrokenSequencesAreNeverDecoded)
{
    // Overlong forms: C0 and C1 open nothing; after E0 and F0 the first byte's range is narrower.
    EXPECT_EQ(Reads("\xC0\xAF"), (Reading{{-1, 1}, {-1, 1}}));
    EXPECT_EQ(Reads("\xC1\xBF"), (Reading{{-1, 1}, {-1, 1}}));
    EXPECT_EQ(Reads("\xE0\x80\xAF"), (Reading{{-1, 1}, {-1, 1}, {-1, 1}}));
    EXPECT_EQ(Reads("\xF0\x8F\xBF\xBF"), (Reading{{-1, 1}, {-1, 1}, {-1, 1}, {-1, 1}}));
    // Surrogates, values past U+10FFFF and bytes that open nothing.
    EXPECT_EQ(Reads("\xED\xA0\x80"), (Reading{{-1, 1}, {-1, 1}, {-1, 1}}));
    EXPECT_EQ(Reads("\xF4\x90\x80\x80"), (Reading{{-1, 1}, {-1, 1}, {-1, 1}, {-1, 1}}));
    EXPECT_EQ(Reads("\xF5\xFF"), (Reading{{-1, 1}, {-1, 1}}));
    // A sequence cut short, by the end or by a byte that does not continue it, is taken up to
    // there as one broken sequence; that byte opens the next read.
    EXPECT_EQ(Reads("\xE2\x82"), (Reading{{-1, 2}}));
    EXPECT_EQ(Reads("\xF0\x9F\x98"
                    "a"),
              (Reading{{-1, 3}, {'a', 1}}));
    EXPECT_EQ(Reads("\xC3\xC3\xA9"), (Reading{{-1, 1}, {0xE9, 2}}));
}

} // namespace
