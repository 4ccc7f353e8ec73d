// Interpreter tests on hand-assembled chunks: arithmetic and bitwise results, coercions,
// metatable indexing, closures and upvalues, varargs, tail calls and both for loops.
#include <gtest/gtest.h>

#include "chunk_builder.h"

using namespace chunk_test;

namespace
{

class VmTest : public ::testing::Test
{
protected:
    void SetUp() override { L = lua_open(); }
    void TearDown() override { lua_close(L); }

    // Loads and runs a chunk; returns the status and leaves the results (or message) on the stack.
    int Run(const Function& f, int nresults = 1)
    {
        int status = Load(L, Build(f));
        if (status != 0)
            return status;
        return lua_pcall(L, 0, nresults, 0);
    }

    double RunNumber(const Function& f)
    {
        EXPECT_EQ(0, Run(f)) << TopString(L);
        return lua_tonumber(L, -1);
    }

    lua_State* L = nullptr;
};

TEST_F(VmTest, BitwiseResults)
{
    EXPECT_EQ(15, RunNumber(BinaryOp(OP_SHR, KNum(-1), KNum(28))));
    EXPECT_EQ(1, RunNumber(BinaryOp(OP_SHL, KNum(1), KNum(32))));
    EXPECT_EQ(4294967295.0, RunNumber(BinaryOp(OP_BAND, KNum(-1), KNum(-1))));
    EXPECT_EQ(7, RunNumber(BinaryOp(OP_BAND, KNum(7.9), KNum(7))));
    EXPECT_EQ(1, RunNumber(BinaryOp(OP_BAND, KNum(5), KNum(3))));
    EXPECT_EQ(7, RunNumber(BinaryOp(OP_BOR, KNum(5), KNum(2))));
    EXPECT_EQ(2147483648.0, RunNumber(BinaryOp(OP_SHL, KNum(1), KNum(31))));
    EXPECT_EQ(2, RunNumber(BinaryOp(OP_SHL, KNum(1), KNum(33))));
    // Beyond the 64-bit range an operand counts as 0.
    EXPECT_EQ(0, RunNumber(BinaryOp(OP_BOR, KNum(1e300), KNum(0))));
}

TEST_F(VmTest, BitwiseOnStringsIsAnArithmeticError)
{
    EXPECT_EQ(LUA_ERRRUN, Run(BinaryOp(OP_BAND, KStr("3"), KNum(1))));
    EXPECT_EQ("test:1: attempt to perform arithmetic on a string value", TopString(L));
    lua_pop(L, 1);
    EXPECT_EQ(LUA_ERRRUN, Run(BinaryOp(OP_SHL, KNum(1), KStr("3"))));
    EXPECT_EQ("test:1: attempt to perform arithmetic on a string value", TopString(L));
    lua_pop(L, 1);
    EXPECT_EQ(LUA_ERRRUN, Run(BinaryOp(OP_BOR, KWide(u"1"), KNum(1))));
    EXPECT_EQ("test:1: attempt to perform arithmetic on a wstring value", TopString(L));
}

TEST_F(VmTest, ArithmeticAndWideCoercion)
{
    EXPECT_EQ(5, RunNumber(BinaryOp(OP_ADD, KNum(2), KNum(3))));
    EXPECT_EQ(-1, RunNumber(BinaryOp(OP_SUB, KNum(2), KNum(3))));
    EXPECT_EQ(6, RunNumber(BinaryOp(OP_MUL, KNum(2), KNum(3))));
    EXPECT_EQ(0.5, RunNumber(BinaryOp(OP_DIV, KNum(1), KNum(2))));
    EXPECT_EQ(11, RunNumber(BinaryOp(OP_ADD, KWide(u"10"), KNum(1))));
    EXPECT_EQ(16, RunNumber(BinaryOp(OP_ADD, KWide(u"0x10"), KNum(0))));
    EXPECT_EQ(13, RunNumber(BinaryOp(OP_ADD, KStr("10"), KNum(3))));
    EXPECT_EQ(LUA_ERRRUN, Run(BinaryOp(OP_ADD, KWide(u" 1"), KNum(1))));
    EXPECT_EQ("test:1: attempt to perform arithmetic on a wstring value", TopString(L));
}

TEST_F(VmTest, WideNumberReader)
{
    EXPECT_EQ(100, RunNumber(BinaryOp(OP_ADD, KWide(u"1e2"), KNum(0))));
    EXPECT_EQ(-2.5, RunNumber(BinaryOp(OP_ADD, KWide(u"-2.5"), KNum(0))));
    EXPECT_EQ(3, RunNumber(BinaryOp(OP_ADD, KWide(u"0x1.8p1"), KNum(0))));
    EXPECT_EQ(0.75, RunNumber(BinaryOp(OP_ADD, KWide(u"0x1.8p-1"), KNum(0))));
    EXPECT_EQ(255, RunNumber(BinaryOp(OP_ADD, KWide(u"0xFf"), KNum(0))));
    EXPECT_EQ(12, RunNumber(BinaryOp(OP_ADD, KWide(u"12  "), KNum(0))));
    // A sign or point without digits still counts as read.
    EXPECT_EQ(0, RunNumber(BinaryOp(OP_ADD, KWide(u"-"), KNum(0))));
    EXPECT_EQ(0, RunNumber(BinaryOp(OP_ADD, KWide(u"."), KNum(0))));
    // No sign before "0x", and an empty text does not convert.
    EXPECT_EQ(LUA_ERRRUN, Run(BinaryOp(OP_ADD, KWide(u"-0x10"), KNum(0))));
    lua_pop(L, 1);
    EXPECT_EQ(LUA_ERRRUN, Run(BinaryOp(OP_ADD, KWide(u""), KNum(0))));
}

TEST_F(VmTest, PowerGoesThroughTheGlobalPowFunction)
{
    EXPECT_EQ(LUA_ERRRUN, Run(BinaryOp(OP_POW, KNum(2), KNum(3))));
    EXPECT_EQ("test:1: `__pow' (`^' operator) is not a function", TopString(L));
    lua_pop(L, 1);
    lua_pushstring(L, "__pow");
    lua_pushcfunction(L,
                      [](lua_State* S)
                      {
                          lua_pushnumber(S, lua_tonumber(S, 1) * 100 + lua_tonumber(S, 2));
                          return 1;
                      });
    lua_settable(L, LUA_GLOBALSINDEX);
    EXPECT_EQ(203, RunNumber(BinaryOp(OP_POW, KNum(2), KNum(3))));
}

TEST_F(VmTest, WideConcatenation)
{
    Function f;
    f.maxStack = 3;
    f.constants = {KWide(u"ab"), KNum(12), KWide(u""), KStr("x")};
    f.code = {ABx(OP_LOADK, 0, 0), ABx(OP_LOADK, 1, 1), ABC(OP_CONCAT, 2, 0, 1),
              ABC(OP_RETURN, 2, 2, 0), ABC(OP_RETURN, 0, 1, 0)};
    ASSERT_EQ(0, Run(f));
    ASSERT_EQ(LUA_TWSTRING, lua_type(L, -1));
    EXPECT_EQ(std::u16string(u"ab12"), std::u16string(lua_towstring(L, -1)));
    lua_pop(L, 1);

    f.code[1] = ABx(OP_LOADK, 1, 2);
    ASSERT_EQ(0, Run(f));
    EXPECT_EQ(std::u16string(u"ab"), std::u16string(lua_towstring(L, -1)));
    lua_pop(L, 1);

    f.code[0] = ABx(OP_LOADK, 0, 3);
    f.code[1] = ABx(OP_LOADK, 1, 0);
    ASSERT_EQ(LUA_ERRRUN, Run(f));
    EXPECT_EQ("test:1: attempt to concatenate a wstring value", TopString(L));
}

TEST_F(VmTest, NarrowConcatenationConvertsNumbers)
{
    Function f;
    f.maxStack = 3;
    f.constants = {KStr("n="), KNum(2.5)};
    f.code = {ABx(OP_LOADK, 0, 0), ABx(OP_LOADK, 1, 1), ABC(OP_CONCAT, 2, 0, 1),
              ABC(OP_RETURN, 2, 2, 0), ABC(OP_RETURN, 0, 1, 0)};
    ASSERT_EQ(0, Run(f));
    EXPECT_EQ("n=2.5", TopString(L));
}

// R0 = global t; R0 = R0.x; return R0
static Function IndexGlobalT()
{
    Function f;
    f.constants = {KStr("t"), KStr("x")};
    f.code = {ABx(OP_GETGLOBAL, 0, 0), ABC(OP_GETTABLE, 0, 0, K(1)), ABC(OP_RETURN, 0, 2, 0),
              ABC(OP_RETURN, 0, 1, 0)};
    return f;
}

TEST_F(VmTest, IndexingThroughMetatables)
{
    lua_pushstring(L, "t");
    lua_newtable(L);
    lua_newtable(L);
    lua_pushstring(L, "__index");
    lua_pushcfunction(L,
                      [](lua_State* S)
                      {
                          lua_pushfstring(S, "got %s", lua_tostring(S, 2));
                          return 1;
                      });
    lua_settable(L, -3);
    lua_setmetatable(L, -2);
    lua_settable(L, LUA_GLOBALSINDEX);
    ASSERT_EQ(0, Run(IndexGlobalT()));
    EXPECT_EQ("got x", TopString(L));
}

TEST_F(VmTest, IndexingOtherTypesUsesTheTypeTable)
{
    // Indexing a number gives nil instead of an error.
    lua_pushstring(L, "t");
    lua_pushnumber(L, 5);
    lua_settable(L, LUA_GLOBALSINDEX);
    ASSERT_EQ(0, Run(IndexGlobalT()));
    EXPECT_TRUE(lua_isnil(L, -1));
    lua_pop(L, 1);
    // A field of the string type's table is seen through every string.
    lua_gettypemetatable(L, LUA_TSTRING);
    lua_pushstring(L, "x");
    lua_pushstring(L, "shared");
    lua_rawset(L, -3);
    lua_pop(L, 1);
    lua_pushstring(L, "t");
    lua_pushstring(L, "any string");
    lua_settable(L, LUA_GLOBALSINDEX);
    ASSERT_EQ(0, Run(IndexGlobalT()));
    EXPECT_EQ("shared", TopString(L));
}

TEST_F(VmTest, IndexingNilNamesTheGlobal)
{
    ASSERT_EQ(LUA_ERRRUN, Run(IndexGlobalT()));
    EXPECT_EQ("test:1: attempt to index global `t' (a nil value)", TopString(L));
}

TEST_F(VmTest, UserdataWithoutIndexHandlerIndexesItsMetatable)
{
    lua_pushstring(L, "t");
    lua_newuserdata(L, 4);
    lua_newtable(L);
    lua_pushstring(L, "x");
    lua_pushnumber(L, 42);
    lua_rawset(L, -3);
    lua_setmetatable(L, -2);
    lua_settable(L, LUA_GLOBALSINDEX);
    ASSERT_EQ(0, Run(IndexGlobalT()));
    EXPECT_EQ(42, lua_tonumber(L, -1));
}

TEST_F(VmTest, ClosuresShareAndKeepUpvalues)
{
    // inner: upvalue = upvalue + 1; return upvalue
    Function inner;
    inner.nups = 1;
    inner.maxStack = 2;
    inner.upvalueNames = {"count"};
    inner.constants = {KNum(1)};
    inner.code = {ABC(OP_GETUPVAL, 0, 0, 0), ABC(OP_ADD, 0, 0, K(0)), ABC(OP_SETUPVAL, 0, 0, 0),
                  ABC(OP_RETURN, 0, 2, 0), ABC(OP_RETURN, 0, 1, 0)};
    // main: local count = 10; local f = closure; f(); return count, f
    Function main;
    main.maxStack = 4;
    main.constants = {KNum(10)};
    main.protos = {inner};
    main.code = {ABx(OP_LOADK, 0, 0),    ABx(OP_CLOSURE, 1, 0), ABC(OP_MOVE, 0, 0, 0),
                 ABC(OP_MOVE, 2, 1, 0),  ABC(OP_CALL, 2, 1, 1), ABC(OP_RETURN, 0, 3, 0),
                 ABC(OP_RETURN, 0, 1, 0)};
    ASSERT_EQ(0, Run(main, 2)) << TopString(L);
    EXPECT_EQ(11, lua_tonumber(L, -2)); // the open upvalue changed the local
    // Once main returned the upvalue is closed and keeps counting.
    lua_pushvalue(L, -1);
    ASSERT_EQ(0, lua_pcall(L, 0, 1, 0));
    EXPECT_EQ(12, lua_tonumber(L, -1));
    lua_pop(L, 1);
    ASSERT_EQ(0, lua_pcall(L, 0, 1, 0));
    EXPECT_EQ(13, lua_tonumber(L, -1));
}

TEST_F(VmTest, VarargsArriveInTheArgTable)
{
    Function f;
    f.isVararg = 1;
    f.numparams = 1;
    f.maxStack = 4;
    f.constants = {KStr("n"), KNum(2)};
    // R0 = first fixed parameter, R1 = arg
    f.code = {ABC(OP_GETTABLE, 2, 1, K(0)), ABC(OP_GETTABLE, 3, 1, K(1)), ABC(OP_RETURN, 2, 3, 0),
              ABC(OP_RETURN, 0, 1, 0)};
    ASSERT_EQ(0, Load(L, Build(f)));
    lua_pushstring(L, "fixed");
    lua_pushstring(L, "a");
    lua_pushstring(L, "b");
    lua_pushstring(L, "c");
    ASSERT_EQ(0, lua_pcall(L, 4, 2, 0)) << TopString(L);
    EXPECT_EQ(3, lua_tonumber(L, -2));
    EXPECT_EQ("b", TopString(L));
}

// f(n): if n == 0 then return "done" end return f(n - 1)
static Function TailRecursive()
{
    Function f;
    f.numparams = 1;
    f.lineDefined = 1;
    f.maxStack = 3;
    f.constants = {KNum(0), KStr("done"), KStr("f"), KNum(1)};
    f.code = {ABC(OP_EQ, 0, 0, K(0)),    AsBx(OP_JMP, 0, 2),      ABx(OP_LOADK, 1, 1),
              ABC(OP_RETURN, 1, 2, 0),   ABx(OP_GETGLOBAL, 1, 2), ABC(OP_SUB, 2, 0, K(3)),
              ABC(OP_TAILCALL, 1, 2, 0), ABC(OP_RETURN, 1, 0, 0), ABC(OP_RETURN, 0, 1, 0)};
    return f;
}

TEST_F(VmTest, TailCallsDoNotGrowTheCallStack)
{
    Function main;
    main.maxStack = 2;
    main.constants = {KStr("f"), KNum(10000)};
    main.protos = {TailRecursive()};
    main.code = {ABx(OP_CLOSURE, 0, 0),  ABx(OP_SETGLOBAL, 0, 0), ABx(OP_GETGLOBAL, 0, 0),
                 ABx(OP_LOADK, 1, 1),    ABC(OP_CALL, 0, 2, 2),   ABC(OP_RETURN, 0, 2, 0),
                 ABC(OP_RETURN, 0, 1, 0)};
    ASSERT_EQ(0, Run(main)) << TopString(L);
    EXPECT_EQ("done", TopString(L));
}

TEST_F(VmTest, NumericForLoop)
{
    Function f;
    f.maxStack = 4;
    f.constants = {KNum(0), KNum(1), KNum(10)};
    f.code = {ABx(OP_LOADK, 0, 0),    ABx(OP_LOADK, 1, 1),     ABx(OP_LOADK, 2, 2),
              ABx(OP_LOADK, 3, 1),    ABC(OP_SUB, 1, 1, 3),    AsBx(OP_JMP, 0, 1),
              ABC(OP_ADD, 0, 0, 1),   AsBx(OP_FORLOOP, 1, -2), ABC(OP_RETURN, 0, 2, 0),
              ABC(OP_RETURN, 0, 1, 0)};
    EXPECT_EQ(55, RunNumber(f));
}

TEST_F(VmTest, ForLoopLimitMustBeANumber)
{
    Function f;
    f.maxStack = 4;
    f.constants = {KNum(1), KStr("x")};
    f.code = {ABx(OP_LOADK, 0, 0), ABx(OP_LOADK, 1, 1), ABx(OP_LOADK, 2, 0), AsBx(OP_FORLOOP, 0, 0),
              ABC(OP_RETURN, 0, 1, 0)};
    ASSERT_EQ(LUA_ERRRUN, Run(f));
    EXPECT_EQ("test:1: `for' limit must be a number", TopString(L));
}

static int NativeNext(lua_State* L)
{
    lua_settop(L, 2);
    if (lua_next(L, 1))
        return 2;
    lua_pushnil(L);
    return 1;
}

TEST_F(VmTest, GenericForLoopOverATable)
{
    lua_pushstring(L, "next");
    lua_pushcfunction(L, NativeNext);
    lua_settable(L, LUA_GLOBALSINDEX);
    lua_pushstring(L, "t");
    lua_newtable(L);
    for (int i = 1; i <= 4; i++)
    {
        lua_pushnumber(L, i);
        lua_rawseti(L, -2, i);
    }
    lua_settable(L, LUA_GLOBALSINDEX);

    Function f;
    f.maxStack = 8;
    f.constants = {KNum(0), KStr("t")};
    f.code = {ABx(OP_LOADK, 0, 0),     ABx(OP_GETGLOBAL, 1, 1), ABC(OP_LOADNIL, 2, 3, 0),
              AsBx(OP_TFORPREP, 1, 1), ABC(OP_ADD, 0, 0, 4),    ABC(OP_TFORLOOP, 1, 0, 1),
              AsBx(OP_JMP, 0, -3),     ABC(OP_RETURN, 0, 2, 0), ABC(OP_RETURN, 0, 1, 0)};
    EXPECT_EQ(10, RunNumber(f));
}

TEST_F(VmTest, TableConstructorWithSetList)
{
    Function f;
    f.maxStack = 4;
    f.constants = {KNum(7), KNum(8), KNum(9)};
    f.code = {ABC(OP_NEWTABLE, 0, 3, 0), ABx(OP_LOADK, 1, 0),   ABx(OP_LOADK, 2, 1),
              ABx(OP_LOADK, 3, 2),       ABx(OP_SETLIST, 0, 2), ABC(OP_RETURN, 0, 2, 0),
              ABC(OP_RETURN, 0, 1, 0)};
    ASSERT_EQ(0, Run(f));
    EXPECT_EQ(3, lua_getn(L, -1));
    lua_rawgeti(L, -1, 2);
    EXPECT_EQ(8, lua_tonumber(L, -1));
}

TEST_F(VmTest, ComparisonRules)
{
    // LT on two wide strings calls the type's table: a call error for a table value.
    Function f;
    f.maxStack = 2;
    f.constants = {KWide(u"a"), KWide(u"b"), KNum(1)};
    f.code = {ABC(OP_LT, 1, K(0), K(1)), AsBx(OP_JMP, 0, 1), ABC(OP_RETURN, 0, 1, 0),
              ABC(OP_RETURN, 0, 1, 0)};
    ASSERT_EQ(LUA_ERRRUN, Run(f));
    EXPECT_EQ("test:1: attempt to call a table value", TopString(L));
    lua_pop(L, 1);
    f.code[0] = ABC(OP_LT, 1, K(0), K(2));
    ASSERT_EQ(LUA_ERRRUN, Run(f));
    EXPECT_EQ("test:1: attempt to compare wstring with number", TopString(L));
    lua_pop(L, 1);
    // Two booleans behave like two wide strings.
    Function g;
    g.maxStack = 2;
    g.code = {ABC(OP_LOADBOOL, 0, 1, 0), ABC(OP_LOADBOOL, 1, 0, 0), ABC(OP_LE, 1, 0, 1),
              AsBx(OP_JMP, 0, 0), ABC(OP_RETURN, 0, 1, 0)};
    ASSERT_EQ(LUA_ERRRUN, Run(g));
    EXPECT_EQ("test:1: attempt to call a table value", TopString(L));
    lua_pop(L, 1);
    // Two plain tables without handlers.
    g.code[0] = ABC(OP_NEWTABLE, 0, 0, 0);
    g.code[1] = ABC(OP_NEWTABLE, 1, 0, 0);
    ASSERT_EQ(LUA_ERRRUN, Run(g));
    EXPECT_EQ("test:1: attempt to compare two table values", TopString(L));
}

TEST_F(VmTest, WideStringsCompareEqualByUnits)
{
    Function f;
    f.maxStack = 2;
    f.constants = {KWide(u"ab"), KWide(u"ab"), KStr("ab")};
    // return (K0 == K1), (K0 == K2)
    f.code = {ABC(OP_EQ, 1, K(0), K(1)), AsBx(OP_JMP, 0, 1),        ABC(OP_LOADBOOL, 0, 0, 1),
              ABC(OP_LOADBOOL, 0, 1, 0), ABC(OP_EQ, 1, K(0), K(2)), AsBx(OP_JMP, 0, 1),
              ABC(OP_LOADBOOL, 1, 0, 1), ABC(OP_LOADBOOL, 1, 1, 0), ABC(OP_RETURN, 0, 3, 0),
              ABC(OP_RETURN, 0, 1, 0)};
    ASSERT_EQ(0, Run(f, 2)) << TopString(L);
    EXPECT_TRUE(lua_toboolean(L, -2));
    EXPECT_FALSE(lua_toboolean(L, -1));
}

TEST_F(VmTest, AssignmentsToOtherTypesGoIntoTheTypeTable)
{
    ASSERT_EQ(0, Load(L, "local s = 'a' s.x = 5 return ('b').x, (L\"w\").x", "=src"))
        << TopString(L);
    ASSERT_EQ(0, lua_pcall(L, 0, 2, 0)) << TopString(L);
    EXPECT_EQ(5, lua_tonumber(L, 1));
    EXPECT_TRUE(lua_isnil(L, 2));
    lua_settop(L, 0);
    ASSERT_EQ(0, Load(L, "local n n.x = 1", "=src"));
    ASSERT_EQ(LUA_ERRRUN, lua_pcall(L, 0, 0, 0));
    EXPECT_EQ("src:1: attempt to index local `n' (a nil value)", TopString(L));
    lua_settop(L, 0);
    // A userdata without "__newindex" cannot be assigned to.
    lua_pushstring(L, "u");
    lua_newuserdata(L, 1);
    lua_settable(L, LUA_GLOBALSINDEX);
    ASSERT_EQ(0, Load(L, "u.x = 1", "=src"));
    ASSERT_EQ(LUA_ERRRUN, lua_pcall(L, 0, 0, 0));
    EXPECT_EQ("src:1: attempt to index global `u' (a userdata value)", TopString(L));
}

TEST_F(VmTest, IndexChainsStopAfterOneHundredSteps)
{
    const char* source = "local t = {} setmt(t, {__index = t}) return t.missing";
    lua_register(L, "setmt",
                 [](lua_State* S)
                 {
                     lua_setmetatable(S, 1);
                     return 0;
                 });
    ASSERT_EQ(0, Load(L, source, "=src"));
    ASSERT_EQ(LUA_ERRRUN, lua_pcall(L, 0, 1, 0));
    EXPECT_EQ("src:1: loop in gettable", TopString(L));
    lua_settop(L, 0);
    ASSERT_EQ(0, Load(L, "local t = {} setmt(t, {__newindex = t}) t.x = 1", "=src"));
    ASSERT_EQ(LUA_ERRRUN, lua_pcall(L, 0, 0, 0));
    EXPECT_EQ("src:1: loop in settable", TopString(L));
}

} // namespace
