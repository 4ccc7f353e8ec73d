// Details of the stock string functions that later releases changed and that scripts written
// for this engine may rely on: which characters make `find` use patterns, empty matches of
// `gfind`, what `gsub` accepts as replacement, "%q" and `byte` with one result.
#include "lib_test_support.h"

#include <gtest/gtest.h>

namespace
{

class StringLibStockDetailsTest : public ::testing::Test
{
protected:
    LibState mState;
};

TEST_F(StringLibStockDetailsTest, FindSearchesPlainlyWithoutPatternSpecials)
{
    // A closing parenthesis alone is not special, so the text is searched as it is.
    EXPECT_EQ(mState.EvalAll("string.find('x)', 'x)')"), (Values{"1", "2"}));
    EXPECT_EQ(mState.Eval("string.find('x', 'x)')"), "nil");
    // With a special character the same text is a pattern, and the stray ")" is an error.
    EXPECT_EQ(mState.Eval("string.find('x', '.)')"), "error: test:1: invalid pattern capture");
    EXPECT_EQ(mState.EvalAll("string.find('a.b', '.', 1, true)"), (Values{"2", "2"}));
    // A start beyond the end is clamped to just after it.
    EXPECT_EQ(mState.EvalAll("string.find('abc', '', 10)"), (Values{"4", "3"}));
}

TEST_F(StringLibStockDetailsTest, GfindAdvancesPastEmptyMatches)
{
    EXPECT_EQ(mState.Run("r = '' for w in string.gfind('a,b,,c', '([^,]*)') do "
                         "r = r .. '<' .. w .. '>' end"),
              "");
    EXPECT_EQ(mState.Eval("r"), "<a><><b><><><c><>");
}

TEST_F(StringLibStockDetailsTest, GsubReplacements)
{
    mState.ExpectEvals(
        {// Only a string or a function replaces; "%0" is not a capture here.
         {"string.gsub('hello', 'l', {l = 'L'})",
          "error: test:1: bad argument #3 to `gsub' (string or function expected)"},
         {"string.gsub('abc', '%w', '%0')", "error: test:1: invalid capture index"}});
    mState.ExpectEvalAlls({// A function result that is not a string removes the match.
                           {"string.gsub('abc', 'b', function() return nil end)", {"ac", "1"}},
                           {"string.gsub('abc', 'b', function() return 5 end)", {"a5c", "1"}}});
}

TEST_F(StringLibStockDetailsTest, QuotingAndBytes)
{
    // Carriage returns and tabs stay raw inside "%q".
    EXPECT_EQ(mState.Eval("string.format('%q', '\\r\\t')"), "\"\r\t\"");
    EXPECT_EQ(mState.EvalAll("string.byte('abc', 2, 3)"), (Values{"98"}));
    // A position outside the text gives no result at all.
    EXPECT_EQ(mState.EvalAll("string.byte('abc', -1)"), (Values{"99"}));
    EXPECT_EQ(mState.EvalAll("string.byte('abc', 10)"), (Values{}));
    EXPECT_EQ(mState.Eval("string.rep('ab', 3, ',')"), "ababab");
}

} // namespace
