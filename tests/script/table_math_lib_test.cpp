// Table and math libraries: sizes with the n field, insert/remove, sort with and without a
// comparator and its message, concat, and the math functions, random and "__pow".
#include "lib_test_support.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace
{

class TableLibTest : public ::testing::Test
{
protected:
    LibState mState;
};

TEST_F(TableLibTest, InsertHonoursTheNField)
{
    EXPECT_EQ(mState.Run("t = {n = 3} table.insert(t, 'v')"), "");
    EXPECT_EQ(mState.Eval("t[4]"), "v");
    EXPECT_EQ(mState.Eval("t.n"), "4");
}

TEST_F(TableLibTest, InsertAndRemove)
{
    EXPECT_EQ(mState.Run("t = {1, 2, 3} table.insert(t, 1, 0) table.insert(t, 9)"), "");
    EXPECT_EQ(mState.Eval("table.concat(t, ',')"), "0,1,2,3,9");
    EXPECT_EQ(mState.Eval("table.getn(t)"), "5");
    EXPECT_EQ(mState.Eval("table.remove(t, 1)"), "0");
    EXPECT_EQ(mState.Eval("table.remove(t)"), "9");
    EXPECT_EQ(mState.Eval("table.concat(t, ',')"), "1,2,3");
    EXPECT_EQ(mState.Eval("table.getn(t)"), "3");
    EXPECT_EQ(mState.EvalAll("table.remove({})").size(), 0u);
}

TEST_F(TableLibTest, PositionsBeyondTheIntegerRangeActAsTheFarthestOnes)
{
    // A position past the end: the size grows to it and nothing is shifted.
    EXPECT_EQ(mState.Run("t = {} table.insert(t, 1e300, 1)"), "");
    EXPECT_EQ(mState.EvalAll("table.getn(t), t[2147483647], next(t, next(t))"),
              (Values{"2147483647", "1", "nil"}));
    // Appending to a table of the largest size does not wrap to a negative position.
    EXPECT_EQ(mState.Run("t = {n = 1e300} table.insert(t, 'x')"), "");
    EXPECT_EQ(mState.EvalAll("t.n, t[2147483647]"), (Values{"2147483647", "x"}));
    EXPECT_EQ(mState.Eval("table.getn({n = -1e300})"), "0");
    // Positions far below the size move only the slots that hold values, as one by one would.
    EXPECT_EQ(mState.Run("t = {1, 2, [-5] = 'a', [-3000000] = 'b'} table.insert(t, -1e300, 'x')"),
              "");
    EXPECT_EQ(mState.EvalAll("t[-2147483648], t[-2999999], t[-4], t[1], t[2], t[3], t.n"),
              (Values{"x", "b", "a", "nil", "1", "2", "nil"}));
    EXPECT_EQ(mState.EvalAll("table.getn(t), table.remove(t, -1e300)"), (Values{"3", "x"}));
    EXPECT_EQ(mState.EvalAll("t[-3000000], t[-5], t[1], t[2], t[3], table.getn(t)"),
              (Values{"b", "a", "1", "2", "nil", "2"}));
    EXPECT_EQ(mState.EvalAll("table.remove({1, 2}, 1e300)"), (Values{"nil"}));
    EXPECT_EQ(mState.Eval("table.concat({1, 2}, ',', 1e300)"), "");
    EXPECT_EQ(mState.Eval("table.concat({1, 2}, ',', -1e300, 1)"),
              "error: test:1: bad argument #1 to `concat' (table contains non-strings)");
}

TEST_F(TableLibTest, GetnAndSetn)
{
    EXPECT_EQ(mState.Eval("table.getn({1, 2, 3})"), "3");
    EXPECT_EQ(mState.Eval("table.getn({n = 7})"), "7");
    EXPECT_EQ(mState.Run("t = {1, 2} table.setn(t, 10)"), "");
    EXPECT_EQ(mState.Eval("table.getn(t)"), "10");
    EXPECT_EQ(mState.Eval("t.n"), "nil");
    EXPECT_EQ(mState.Eval("table.getn(1)"),
              "error: test:1: bad argument #1 to `getn' (table expected, got number)");
}

TEST_F(TableLibTest, Concat)
{
    EXPECT_EQ(mState.Eval("table.concat({1, 'a', 2.5})"), "1a2.5");
    EXPECT_EQ(mState.Eval("table.concat({'a', 'b', 'c', 'd'}, '-', 2, 3)"), "b-c");
    EXPECT_EQ(mState.Eval("table.concat({})"), "");
    EXPECT_EQ(mState.Eval("table.concat({1, {}})"),
              "error: test:1: bad argument #1 to `concat' (table contains non-strings)");
}

TEST_F(TableLibTest, Foreach)
{
    EXPECT_EQ(mState.Eval("table.foreachi({5, 6, 7}, function(i, v) if v == 6 then return i "
                          "end end)"),
              "2");
    EXPECT_EQ(mState.Eval("table.foreach({a = 1}, function(k, v) return k .. v end)"), "a1");
}

TEST_F(TableLibTest, SortDefaultOrder)
{
    EXPECT_EQ(mState.Run("t = {5, 3, 9, 1, 7, 2, 8, 6, 4, 0} table.sort(t)"), "");
    EXPECT_EQ(mState.Eval("table.concat(t, ' ')"), "0 1 2 3 4 5 6 7 8 9");
    EXPECT_EQ(mState.Run("s = {'pear', 'apple', 'fig'} table.sort(s)"), "");
    EXPECT_EQ(mState.Eval("table.concat(s, ' ')"), "apple fig pear");
}

TEST_F(TableLibTest, SortWithComparator)
{
    EXPECT_EQ(mState.Run("t = {} for i = 1, 200 do t[i] = math.mod(i * 37, 101) end "
                         "table.sort(t, function(a, b) return a > b end) "
                         "for i = 2, 200 do assert(t[i - 1] >= t[i]) end"),
              "");
}

TEST_F(TableLibTest, SortWithAnInconsistentComparatorFails)
{
    std::string err = mState.Run("t = {} for i = 1, 20 do t[i] = i end "
                                 "table.sort(t, function(a, b) return true end)");
    EXPECT_EQ(err, "test:1: invalid order function for sorting");
}

TEST_F(TableLibTest, SortOfMixedTypesIsACompareError)
{
    std::string err = mState.Run("table.sort({1, 'x', 2})");
    EXPECT_NE(err.find("attempt to compare"), std::string::npos) << err;
}

class MathLibTest : public ::testing::Test
{
protected:
    LibState mState;
};

TEST_F(MathLibTest, Functions)
{
    EXPECT_EQ(mState.Eval("math.mod(7, 3)"), "1");
    EXPECT_EQ(mState.Eval("math.mod(-7, 3)"), "-1");
    EXPECT_EQ(mState.Eval("2 ^ 10"), "1024");
    EXPECT_EQ(mState.Eval("math.pow(2, 0.5) == math.sqrt(2)"), "true");
    EXPECT_EQ(mState.Eval("math.abs(-3)"), "3");
    EXPECT_EQ(mState.Eval("math.floor(-3.5)"), "-4");
    EXPECT_EQ(mState.Eval("math.ceil(3.2)"), "4");
    EXPECT_EQ(mState.Eval("math.max(3, 9, -1)"), "9");
    EXPECT_EQ(mState.Eval("math.min(3, 9, -1)"), "-1");
    EXPECT_EQ(mState.Eval("math.deg(math.pi)"), "180");
    EXPECT_EQ(mState.Eval("math.rad(180) == math.pi"), "true");
    EXPECT_EQ(mState.Eval("math.sin(0)"), "0");
    EXPECT_EQ(mState.Eval("math.cos(0)"), "1");
    EXPECT_EQ(mState.Eval("math.atan2(1, 0) * 2 == math.pi"), "true");
    EXPECT_EQ(mState.EvalAll("math.frexp(8)"), (Values{"0.5", "4"}));
    EXPECT_EQ(mState.Eval("math.ldexp(0.5, 4)"), "8");
    EXPECT_EQ(mState.Eval("math.log10(1000)"), "3");
    EXPECT_EQ(mState.Eval("math.exp(0)"), "1");
    EXPECT_EQ(mState.Eval("math.pi"), "3.1415926535898");
}

TEST_F(MathLibTest, PowerFallbackIsGlobal)
{
    EXPECT_EQ(mState.Eval("__pow == math.pow"), "true");
}

TEST_F(MathLibTest, PowerNeedsTheMathLibrary)
{
    LibState noMath(false);
    EXPECT_EQ(noMath.Eval("math"), "nil");
    EXPECT_EQ(noMath.Eval("__pow"), "nil");
}

TEST_F(MathLibTest, RandomRanges)
{
    EXPECT_EQ(
        mState.Run("math.randomseed(7) for i = 1, 500 do "
                   "local r = math.random() assert(r >= 0 and r < 1) "
                   "local a = math.random(6) assert(a >= 1 and a <= 6 and a == math.floor(a)) "
                   "local b = math.random(-3, 3) assert(b >= -3 and b <= 3) end"),
        "");
}

TEST_F(MathLibTest, RandomFollowsTheRuntimeGenerator)
{
    EXPECT_EQ(mState.Run("math.randomseed(1234) a = math.random(1000)"), "");
    std::srand(1234);
    double r = (double)(std::rand() % 32767) / 32767.0;
    EXPECT_EQ(mState.Eval("a"), std::to_string((int)(r * 1000) + 1));
}

TEST_F(MathLibTest, RandomMessages)
{
    mState.ExpectEvals(
        {{"math.random(0)", "error: test:1: bad argument #1 to `random' (interval is empty)"},
         {"math.random(3, 1)", "error: test:1: bad argument #2 to `random' (interval is empty)"},
         {"math.random(1, 2, 3)", "error: test:1: wrong number of arguments"}});
}

} // namespace
