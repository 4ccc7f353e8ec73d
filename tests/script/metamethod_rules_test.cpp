// Event handlers of tables and userdata as scripts use them (index, assignment, call, arithmetic,
// concatenation, equality and order), plus the numeric for loop's messages and error levels.
#include "lib_test_support.h"

#include <gtest/gtest.h>

namespace
{

class MetamethodRulesTest : public ::testing::Test
{
protected:
    LibState mState;
};

TEST_F(MetamethodRulesTest, IndexAssignmentAndCallHandlers)
{
    EXPECT_EQ(mState.Run("t = setmetatable({}, {__index = function(t, k) return k .. '!' end})"),
              "");
    EXPECT_EQ(mState.EvalAll("t.foo, t[1], rawget(t, 'foo')"), (Values{"foo!", "1!", "nil"}));
    EXPECT_EQ(mState.Run("d = setmetatable({}, {__index = {x = 1}})"), "");
    EXPECT_EQ(mState.EvalAll("d.x, d.y"), (Values{"1", "nil"}));
    EXPECT_EQ(mState.Run("n = setmetatable({}, {__newindex = function(t, k, v) rawset(t, k, v * 2) "
                         "end}) n.a = 5 n.a = 7"),
              "");
    // The handler runs only for absent keys: the second assignment is raw.
    EXPECT_EQ(mState.Eval("n.a"), "7");
    EXPECT_EQ(mState.Run("c = setmetatable({}, {__call = function(self, a, b) return a + b, self "
                         "== c end})"),
              "");
    EXPECT_EQ(mState.EvalAll("c(3, 4)"), (Values{"7", "true"}));
    EXPECT_EQ(mState.Eval("setmetatable({}, {__call = 1})()"),
              "error: test:1: attempt to call a table value");
}

TEST_F(MetamethodRulesTest, ArithmeticAndConcatenationWithATableOnTheLeft)
{
    EXPECT_EQ(mState.Run("a = setmetatable({}, {__add = function(x, y) return 42 end, __unm = "
                         "function(x) return -1 end, __concat = function(x, y) return 'cat' end})"),
              "");
    EXPECT_EQ(mState.EvalAll("a + 1, a + a, -a, a .. 'x', a .. a"),
              (Values{"42", "42", "-1", "cat", "cat"}));
}

// A number or a string on the left has its type's table where the handler would be; that table
// is not a function, so the right operand's handler is never consulted and the ordinary type
// error is raised.
TEST_F(MetamethodRulesTest, AValueOfAnotherTypeOnTheLeftHidesTheRightOperandsHandler)
{
    EXPECT_EQ(mState.Run("a = setmetatable({}, {__add = function() return 42 end, __concat = "
                         "function() return 'cat' end})"),
              "");
    EXPECT_EQ(mState.Eval("1 + a"),
              "error: test:1: attempt to perform arithmetic on global `a' (a table value)");
    EXPECT_EQ(mState.Eval("'x' .. a"),
              "error: test:1: attempt to concatenate global `a' (a table value)");
}

TEST_F(MetamethodRulesTest, EqualityHandlerRunsForTwoTablesSharingIt)
{
    EXPECT_EQ(mState.Run("calls = 0 mt = {__eq = function(x, y) calls = calls + 1 return true end} "
                         "a = setmetatable({}, mt) b = setmetatable({}, mt) "
                         "o = setmetatable({}, {__eq = mt.__eq}) p = setmetatable({}, {__eq = "
                         "function() return true end})"),
              "");
    EXPECT_EQ(mState.EvalAll("a == b, a ~= b, a == a, a == {}, a == p, a == o, calls"),
              (Values{"true", "false", "true", "false", "false", "true", "3"}));
    // A table and a value of another type are never equal, handler or not.
    EXPECT_EQ(mState.EvalAll("a == 1, a == 'a'"), (Values{"false", "false"}));
}

TEST_F(MetamethodRulesTest, LessOrEqualFallsBackToLessThanWithTheOperandsSwapped)
{
    EXPECT_EQ(mState.Run("lt = {__lt = function(x, y) return x.v < y.v end} "
                         "c1 = setmetatable({v = 1}, lt) c2 = setmetatable({v = 2}, lt)"),
              "");
    EXPECT_EQ(mState.EvalAll("c1 < c2, c1 > c2, c1 <= c2, c2 <= c1, c2 >= c1"),
              (Values{"true", "false", "true", "false", "true"}));
    EXPECT_EQ(mState.Run("le = {__le = function(x, y) return 'yes' end}"
                         "d1 = setmetatable({}, le) d2 = setmetatable({}, le)"),
              "");
    EXPECT_EQ(mState.EvalAll("d1 <= d2, d1 >= d2"), (Values{"true", "true"}));
    EXPECT_EQ(mState.Eval("d1 < d2"), "error: test:1: attempt to compare two table values");
    EXPECT_EQ(mState.Eval("c1 < 1"), "error: test:1: attempt to compare table with number");
}

TEST_F(MetamethodRulesTest, NumericForLoopMessages)
{
    EXPECT_EQ(mState.Run("for i = 1, 'x' do end"), "test:1: `for' limit must be a number");
    EXPECT_EQ(mState.Run("for i = 1, 2, {} do end"),
              "test:1: attempt to perform arithmetic on a table value");
    EXPECT_EQ(mState.Run("for i = {}, 2 do end"),
              "test:1: attempt to perform arithmetic on a table value");
    // Numeric strings are converted like any arithmetic operand.
    EXPECT_EQ(mState.Run("s = 0 for i = '1', '3' do s = s + i end"), "");
    EXPECT_EQ(mState.Eval("s"), "6");
    EXPECT_EQ(mState.Run("s = 0 for i = 3, 1 do s = 1 end for i = 1, 2, 0.5 do s = s + i end"), "");
    EXPECT_EQ(mState.Eval("s"), "4.5");
}

TEST_F(MetamethodRulesTest, ErrorLevelsNameTheRightLine)
{
    EXPECT_EQ(mState.Run("local function lib() error('bad', 2) end\n"
                         "local function user()\n"
                         "  lib()\n"
                         "end\n"
                         "user()"),
              "test:3: bad");
    EXPECT_EQ(mState.Run("error('plain', 0)"), "plain");
    EXPECT_EQ(mState.Run("error('here')"), "test:1: here");
    EXPECT_EQ(mState.Run("local t = {} error(t)"), "(no message)");
}

TEST_F(MetamethodRulesTest, FrontierPatterns)
{
    mState.ExpectEvalAlls({{"string.find('THE (quick) fox', '%f[%a]%a+')", {"1", "3"}},
                           {"string.gsub('the cat sat', '%f[%w]%w+', 'X')", {"X X X", "3"}},
                           // The end of the subject counts as a zero character.
                           {"string.find('ab', '%f[%z]')", {"3", "2"}}});
}

} // namespace
