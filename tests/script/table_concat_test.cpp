// table.concat of results longer than the string buffer: measured then joined in one block, with
// numbers as tostring writes them, separators, ranges and the non-string message.
#include "lib_test_support.h"

#include <gtest/gtest.h>

#include <string>

namespace
{

class TableConcatTest : public ::testing::Test
{
protected:
    LibState mState;
};

TEST_F(TableConcatTest, LongResultMatchesPieceByPieceJoin)
{
    EXPECT_EQ(
        mState.Run(
            "t = {} for i = 1, 3000 do t[i] = (math.mod(i, 3) == 0) and i / 4 or ('s' .. i) end "
            "s = '' for i = 1, 3000 do s = s .. t[i] .. (i < 3000 and ', ' or '') end"),
        "");
    EXPECT_EQ(mState.Eval("table.concat(t, ', ') == s"), "true");
    EXPECT_EQ(mState.Eval("type(t[3])"), "number"); // the table keeps its numbers
}

TEST_F(TableConcatTest, LongRangeAndEmptySeparator)
{
    EXPECT_EQ(
        mState.Run("t = {} for i = 1, 1000 do t[i] = string.rep('x', math.mod(i, 7)) .. i end "
                   "s = '' for i = 10, 900 do s = s .. t[i] end"),
        "");
    EXPECT_EQ(mState.Eval("table.concat(t, '', 10, 900) == s"), "true");
    EXPECT_EQ(mState.Eval("string.len(table.concat(t, '', 10, 900))"),
              mState.Eval("string.len(s)"));
}

TEST_F(TableConcatTest, LongTableWithNonStringIsRefused)
{
    EXPECT_EQ(mState.Run("t = {} for i = 1, 1000 do t[i] = 'abcdef' end t[999] = {}"), "");
    EXPECT_EQ(mState.Eval("table.concat(t)"),
              "error: test:1: bad argument #1 to `concat' (table contains non-strings)");
}

TEST_F(TableConcatTest, FinaliserChangingTheTableDuringTheJoin)
{
    // Numbers become text while the result is measured and built; the collections that may run
    // then call finalisers, and this one lengthens every entry. The result holds whatever the
    // table held as it was read, and nothing overruns.
    EXPECT_EQ(mState.Run("t = {} for i = 1, 2000 do t[i] = i end "
                         "local p = newproxy(true) "
                         "getmetatable(p).__gc = function() "
                         "  for i = 1, 2000 do t[i] = string.rep('y', 40) end end "
                         "p = nil collectgarbage(gcinfo() + 1) "
                         "r = table.concat(t, ',')"),
              "");
    EXPECT_EQ(mState.Eval("t[1]"), std::string(40, 'y'));
    EXPECT_EQ(mState.Eval("type(r)"), "string");
    EXPECT_EQ(mState.Eval("string.len(r) >= 2000 * 2"), "true");
}

TEST_F(TableConcatTest, AllStringJoinIsTheInternedStringOfItsText)
{
    // Every piece a string: the result is written in place, then interned; a text that already
    // exists gives the existing string, so equality and table keys behave as for any string.
    EXPECT_EQ(mState.Run("t = {} for i = 1, 600 do t[i] = 'ab' end "
                         "known = string.rep('ab', 600) seen = {[known] = 1}"),
              "");
    EXPECT_EQ(mState.Eval("table.concat(t) == known"), "true");
    EXPECT_EQ(mState.Eval("seen[table.concat(t)]"), "1");
    EXPECT_EQ(mState.Eval("string.len(table.concat(t, '--', 2, 599))"),
              std::to_string(598 * 2 + 597 * 2));
    EXPECT_EQ(mState.Eval("table.concat(t, '', 601, 600)"), "");
    // A hole ends the measured run: the piece-by-piece path reports it.
    EXPECT_EQ(mState.Run("t[300] = nil"), "");
    EXPECT_EQ(mState.Eval("table.concat(t, '', 1, 600)"),
              "error: test:1: bad argument #1 to `concat' (table contains non-strings)");
}

TEST_F(TableConcatTest, PiecesFromTheHashPart)
{
    // Integer keys set out of order live in the hash part; they are read the same way.
    EXPECT_EQ(mState.Run("t = {} for i = 800, 1, -1 do t[i] = 'p' .. i end "
                         "s = '' for i = 1, 800 do s = s .. t[i] end"),
              "");
    EXPECT_EQ(mState.Eval("table.concat(t) == s"), "true");
    EXPECT_EQ(mState.Eval("table.getn(t)"), "800");
}

} // namespace
