// table.concat of results longer than the string buffer: measured then joined in one block, with
// numbers as tostring writes them, separators, ranges and the non-string message.
#include "lib_test_support.h"

#include "script/core/state.h"

#include <gtest/gtest.h>

#include <climits>
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

TEST_F(TableConcatTest, FinaliserRunByTheCollectionBeforeAnAllStringJoin)
{
    // Every entry a string, so the join is measured from the table's slots and written in place.
    // A collection that starts on the way runs this finaliser, which lengthens every entry and
    // puts a number in the middle: the join must hold what the table holds once it is written,
    // never write past the measured block nor read a number as a string.
    lua_State* L = mState.L;
    ASSERT_EQ(mState.Run("t = {} for i = 1, 200 do t[i] = 'piece' .. i end "
                         "local p = newproxy(true) "
                         "getmetatable(p).__gc = function() "
                         "  for i = 1, 200 do t[i] = string.rep('y', 300) .. i end t[100] = 7 end "
                         "p = nil"),
              "");
    lua_getglobal(L, "table");
    lua_pushliteral(L, "concat");
    lua_rawget(L, -2);
    lua_getglobal(L, "t");
    lua_pushliteral(L, ",");
    lua_pushnumber(L, 1);
    lua_pushnumber(L, 200);
    // Nothing before the join allocates: the collection starts where the join checks for one.
    G(L)->GCthreshold = 0;
    ASSERT_EQ(lua_pcall(L, 4, 1, 0), 0) << lua_tostring(L, -1);
    std::string expected;
    for (int i = 1; i <= 200; i++)
    {
        expected += i == 100 ? std::string("7") : std::string(300, 'y') + std::to_string(i);
        if (i != 200)
        {
            expected += ",";
        }
    }
    EXPECT_EQ(mState.Text(-1), expected);
    EXPECT_EQ(mState.Eval("t[100]"), "7");
}

TEST_F(TableConcatTest, RangeEndingAtTheLargestIndex)
{
    // The loops over the range stop at its last index without stepping past the int range.
    EXPECT_EQ(mState.Run("t = {[2147483646] = string.rep('a', 400), [2147483647] = "
                         "string.rep('b', 400)}"),
              "");
    EXPECT_EQ(mState.Eval("table.concat(t, '-', 2147483646, 2147483647) == "
                          "string.rep('a', 400) .. '-' .. string.rep('b', 400)"),
              "true");
    EXPECT_EQ(mState.Eval("table.concat(t, '', 2147483647, 2147483647) == string.rep('b', 400)"),
              "true");
    EXPECT_EQ(mState.Eval("table.concat({[2147483647] = 'x'}, '', 2147483647, 2147483647)"), "x");
    EXPECT_EQ(mState.Eval("table.concat({[2147483647] = 5}, '', 2147483647, 2147483647)"), "5");
}

TEST_F(TableConcatTest, JoinOfAnExistingTextKeepsTheByteCount)
{
    // A join whose text is already interned gives that string and frees the block it wrote, with
    // the byte count back where it was.
    lua_State* L = mState.L;
    // As a key, `known` is interned.
    ASSERT_EQ(mState.Run("t = {} for i = 1, 300 do t[i] = 'cd' end known = string.rep('cd', 300) "
                         "seen = {[known] = true}"),
              "");
    lua_setgcthreshold(L, 1 << 20); // no collection during the measured calls
    lua_getglobal(L, "table");
    lua_pushliteral(L, "concat");
    lua_rawget(L, -2);
    lua_getglobal(L, "t");
    lua_pushliteral(L, "");
    lua_pushnumber(L, 1);
    lua_pushnumber(L, 300);
    size_t before = G(L)->nblocks;
    ASSERT_EQ(lua_pcall(L, 4, 1, 0), 0);
    EXPECT_EQ(G(L)->nblocks, before);
    lua_getglobal(L, "known");
    EXPECT_TRUE(lua_rawequal(L, -1, -2));
}

} // namespace
