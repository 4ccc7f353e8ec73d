// Reads by a constant string key that remember where the key was last found: each read answers
// what the table holds now, through removals, reassignments, rebuilds, collections, other tables
// read by the same instruction, "__index" and a replaced globals table.
#include <gtest/gtest.h>

#include "lib_test_support.h"

namespace
{

TEST(ConstantKeyReadsTest, GlobalReadFollowsTheTable)
{
    LibState state;
    // One function reads `g` each time it is called, while the globals table changes under it.
    ASSERT_EQ("", state.Run("function read() return g end g = 1"));
    EXPECT_EQ("1", state.Eval("read()"));
    ASSERT_EQ("", state.Run("g = 2"));
    EXPECT_EQ("2", state.Eval("read()"));
    // Removed: the node keeps its key with a nil value, then the collector marks the key dead.
    ASSERT_EQ("", state.Run("g = nil"));
    EXPECT_EQ("nil", state.Eval("read()"));
    ASSERT_EQ("", state.Run("collectgarbage()"));
    EXPECT_EQ("nil", state.Eval("read()"));
    ASSERT_EQ("", state.Run("g = 3"));
    EXPECT_EQ("3", state.Eval("read()"));
    // The table rebuilt twice over by many new globals: the key moves to another node.
    ASSERT_EQ("", state.Run("for i = 1, 300 do _G['v' .. i] = i end"));
    EXPECT_EQ("3", state.Eval("read()"));
    ASSERT_EQ("", state.Run("for i = 1, 300 do _G['v' .. i] = nil end collectgarbage() g = 4"));
    EXPECT_EQ("4", state.Eval("read()"));
    // A missing global asks the globals' "__index"; another globals table answers for itself.
    ASSERT_EQ("", state.Run("g = nil setmetatable(_G, {__index = function(t, k) return k end})"));
    EXPECT_EQ("g", state.Eval("read()"));
    ASSERT_EQ("", state.Run("setmetatable(_G, nil) setfenv(read, {g = 'other'})"));
    EXPECT_EQ("other", state.Eval("read()"));
    ASSERT_EQ("", state.Run("setfenv(read, _G) g = 5"));
    EXPECT_EQ("5", state.Eval("read()"));
}

TEST(ConstantKeyReadsTest, OneFieldReadOverManyTables)
{
    LibState state;
    // The same `t.x` over tables of other sizes and orders, one where `x` sits at the position
    // found in the one before under another key, one without `x` whose "__index" table has it,
    // and one whose raw `x` is false (no "__index" then).
    ASSERT_EQ("", state.Run("function get(t) return t.x end "
                            "a = {x = 1} b = {y = 0, z = 0, x = 2} c = {w = 1} c.x = 3 "
                            "d = setmetatable({}, {__index = {q = 0, x = 4}}) "
                            "e = setmetatable({x = false}, {__index = {x = 5}})"));
    EXPECT_EQ((Values{"1", "2", "3", "4", "false", "1", "2"}),
              state.EvalAll("get(a), get(b), get(c), get(d), get(e), get(a), get(b)"));
    ASSERT_EQ("", state.Run("for k in pairs(b) do b[k] = nil end b.w = 9"));
    EXPECT_EQ((Values{"nil", "1"}), state.EvalAll("get(b), get(a)"));
    // Methods found through "__index" after the instance stops holding its own.
    ASSERT_EQ("", state.Run("C = {} C.__index = C function C.f(self) return 'class' end "
                            "o = setmetatable({}, C) function call() return o:f() end"));
    EXPECT_EQ("class", state.Eval("call()"));
    ASSERT_EQ("", state.Run("o.f = function() return 'own' end"));
    EXPECT_EQ("own", state.Eval("call()"));
    ASSERT_EQ("", state.Run("o.f = nil"));
    EXPECT_EQ("class", state.Eval("call()"));
}

} // namespace
