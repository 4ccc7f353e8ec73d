// The interpreter's shortcuts for field reads and writes, concatenation and number text give the
// same results as the general paths: metamethod caches, "__index" chains, number formatting.
#include "lib_test_support.h"

#include <gtest/gtest.h>

namespace
{

class VmFastPathsTest : public ::testing::Test
{
protected:
    LibState mState;
};

TEST_F(VmFastPathsTest, AssigningAnExistingMetafieldForgetsCachedAbsence)
{
    // The first read caches "no __index" in mt; replacing the (existing) field must undo that.
    EXPECT_EQ(mState.Eval("(function() local mt = {__index = false}; mt.__index = nil;"
                          " local t = setmetatable({}, mt); local a = t.x;"
                          " mt.__index = {x = 5}; return t.x end)()"),
              "5");
    EXPECT_EQ(mState.Eval("(function() local mt = {__newindex = 1}; mt.__newindex = nil;"
                          " local t = setmetatable({}, mt); t.y = 1; local log = {};"
                          " mt.__newindex = function(t, k, v) log[k] = v end;"
                          " t.z = 2; return rawget(t, 'z'), log.z, t.y end)()"),
              "nil");
    EXPECT_EQ(mState.EvalAll("(function() local mt = {__newindex = 1}; mt.__newindex = nil;"
                             " local t = setmetatable({}, mt); t.y = 1; local log = {};"
                             " mt.__newindex = function(t, k, v) log[k] = v end;"
                             " t.z = 2; return rawget(t, 'z'), log.z, t.y end)()"),
              (std::vector<std::string>{"nil", "2", "1"}));
}

TEST_F(VmFastPathsTest, IndexChainsOfEveryDepth)
{
    EXPECT_EQ(
        mState.Eval("(function() local A = {f = 1}; local B = setmetatable({}, {__index = A});"
                    " local C = setmetatable({}, {__index = B});"
                    " local D = setmetatable({}, {__index = C}); return D.f end)()"),
        "1");
    EXPECT_EQ(mState.Eval("(function() local B = setmetatable({}, {__index = function(t, k)"
                          " return k .. '!' end}); local C = setmetatable({}, {__index = B});"
                          " return C.hi end)()"),
              "hi!");
    // A nil field of the class still falls through to the class's own "__index".
    EXPECT_EQ(mState.Eval("(function() local Base = {m = function() return 'base' end};"
                          " local Cls = setmetatable({}, {__index = Base}); Cls.__index = Cls;"
                          " local o = setmetatable({}, Cls); return o:m() end)()"),
              "base");
    // A string "__index" is indexed through the strings' type table, which has no such field.
    EXPECT_EQ(mState.Eval("(function() local t = setmetatable({}, {__index = 'abc'}); return t.x "
                          "end)()"),
              "nil");
}

TEST_F(VmFastPathsTest, MethodCallsAndGlobals)
{
    EXPECT_EQ(mState.Eval("(function() local P = {}; P.__index = P; function P:get() return "
                          "self.v end; local o = setmetatable({v = 7}, P); o.v = o.v + 1;"
                          " return o:get() end)()"),
              "8");
    EXPECT_EQ(mState.Eval("(function() gx = 1; gx = gx + 1; return gx end)()"), "2");
    EXPECT_EQ(mState.Eval("(function() local t = {1, 2, 3}; t[2] = t[2] * 10; t[1.5] = 4;"
                          " return t[2] + t[1.5] end)()"),
              "24");
    EXPECT_EQ(mState.Eval("(function() local t = {}; t[nil] = 1 end)()"),
              "error: test:1: table index is nil");
    EXPECT_EQ(mState.Eval("(function() local t = {}; t[0/0] = 1 end)()"),
              "error: test:1: table index is NaN");
    EXPECT_EQ(mState.Eval("(function() local t = {x = 1}; t.x = nil; return t.x end)()"), "nil");
}

TEST_F(VmFastPathsTest, NumericForWithStringBounds)
{
    EXPECT_EQ(mState.Eval("(function() local s = 0; for i = 1, '4', '1' do s = s + i end; return s "
                          "end)()"),
              "10");
    EXPECT_EQ(mState.Eval("(function() for i = 1, 'x' do end end)()"),
              "error: test:1: `for' limit must be a number");
}

} // namespace
