// Precompiled chunks: the exact header, wide-string constants, both byte orders, every load
// error message, the code checker, and dump/load round trips.
#include <gtest/gtest.h>

#include "chunk_builder.h"

using namespace chunk_test;

namespace
{

class ChunkFormatTest : public ::testing::Test
{
protected:
    void SetUp() override { L = lua_open(); }
    void TearDown() override { lua_close(L); }

    std::string LoadError(const std::string& bytes, const char* name = "=test")
    {
        int status = Load(L, bytes, name);
        EXPECT_EQ(LUA_ERRRUN, status);
        std::string msg = TopString(L);
        lua_pop(L, 1);
        return msg;
    }

    lua_State* L = nullptr;
};

Function ReturnConstant(Constant k)
{
    Function f;
    f.constants = {k};
    f.code = {ABx(OP_LOADK, 0, 0), ABC(OP_RETURN, 0, 2, 0), ABC(OP_RETURN, 0, 1, 0)};
    return f;
}

TEST_F(ChunkFormatTest, DumpStartsWithTheExactHeader)
{
    ASSERT_EQ(0, Load(L, Build(ReturnConstant(KNum(1)))));
    std::string bytes = Dump(L);
    const unsigned char expected[22] = {0x1B, 0x4C, 0x75, 0x61, 0x50, 0x01, 0x04, 0x04,
                                        0x04, 0x06, 0x08, 0x09, 0x09, 0x08, 0xB6, 0x09,
                                        0x93, 0x68, 0xE7, 0xF5, 0x7D, 0x41};
    ASSERT_GE(bytes.size(), 22u);
    EXPECT_EQ(0, memcmp(bytes.data(), expected, 22));
}

TEST_F(ChunkFormatTest, WideConstantBytes)
{
    ASSERT_EQ(0, Load(L, Build(ReturnConstant(KWide(u"ab")))));
    std::string bytes = Dump(L);
    const std::string expected("\x09\x03\x00\x00\x00\x61\x00\x62\x00\x00\x00", 11);
    EXPECT_NE(std::string::npos, bytes.find(expected));
    ASSERT_EQ(0, Load(L, bytes));
    ASSERT_EQ(0, lua_pcall(L, 0, 1, 0));
    ASSERT_EQ(LUA_TWSTRING, lua_type(L, -1));
    EXPECT_EQ(std::u16string(u"ab"), std::u16string(lua_towstring(L, -1)));
    // Interned: equal to a freshly pushed wide string.
    lua_pushwstring(L, u"ab");
    EXPECT_TRUE(lua_rawequal(L, -1, -2));
}

TEST_F(ChunkFormatTest, BigEndianChunkLoads)
{
    Function f;
    f.maxStack = 3;
    f.constants = {KWide(u"h\u4e2d"), KNum(2.5), KStr("s")};
    f.code = {ABx(OP_LOADK, 0, 0), ABx(OP_LOADK, 1, 1), ABx(OP_LOADK, 2, 2),
              ABC(OP_RETURN, 0, 4, 0), ABC(OP_RETURN, 0, 1, 0)};
    std::string big = Build(f, true);
    EXPECT_EQ(0, big[5]);
    ASSERT_EQ(0, Load(L, big)) << TopString(L);
    ASSERT_EQ(0, lua_pcall(L, 0, 3, 0));
    EXPECT_EQ(std::u16string(u"h\u4e2d"), std::u16string(lua_towstring(L, 1)));
    EXPECT_EQ(2.5, lua_tonumber(L, 2));
    EXPECT_STREQ("s", lua_tostring(L, 3));
}

TEST_F(ChunkFormatTest, VersionMessages)
{
    std::string bytes = Build(ReturnConstant(KNil()));
    bytes[4] = 0x51;
    EXPECT_EQ("test too new: read version 5.1; expected at most 5.0", LoadError(bytes));
    bytes[4] = 0x40;
    EXPECT_EQ("test too old: read version 4.0; expected at least 5.0", LoadError(bytes));
}

TEST_F(ChunkFormatTest, HeaderMessages)
{
    std::string good = Build(ReturnConstant(KNil()));
    std::string bytes = good;
    bytes[1] = 'X';
    EXPECT_EQ("bad signature in test", LoadError(bytes));
    bytes = good;
    bytes[6] = 8;
    EXPECT_EQ("virtual machine mismatch in test: size of int is 4 but read 8", LoadError(bytes));
    bytes = good;
    bytes[12] = 10;
    EXPECT_EQ("virtual machine mismatch in test: size of C is 9 but read 10", LoadError(bytes));
    bytes = good;
    bytes[21] = 0x42;
    EXPECT_EQ("unknown number format in test", LoadError(bytes));
    EXPECT_EQ("bad signature in x", LoadError("\x1bhello", "@x"));
    EXPECT_EQ("bad signature in binary string", LoadError("\x1bhello", "\x1bLua"));
    EXPECT_EQ("bad signature in plain", LoadError("\x1bhello", "plain"));
}

TEST_F(ChunkFormatTest, BadConstantType)
{
    Constant k;
    k.type = 5;
    EXPECT_EQ("bad constant type (5) in test", LoadError(Build(ReturnConstant(k))));
}

TEST_F(ChunkFormatTest, TruncatedChunks)
{
    std::string good = Build(ReturnConstant(KStr("hello")));
    for (size_t cut : {size_t(3), size_t(10), size_t(22), size_t(30), good.size() - 1})
        EXPECT_EQ("unexpected end of file in test", LoadError(good.substr(0, cut))) << cut;
}

TEST_F(ChunkFormatTest, NegativeIntegerAndUpvalueCount)
{
    Function f = ReturnConstant(KNil());
    f.lineDefined = -1;
    EXPECT_EQ("bad integer in test", LoadError(Build(f)));
    f.lineDefined = 0;
    f.upvalueNames = {"a", "b"};
    EXPECT_EQ("bad nupvalues in test: read 2; expected 0", LoadError(Build(f)));
}

TEST_F(ChunkFormatTest, FunctionsNestedDeeperThanTheCompilerMakesAreRefused)
{
    // The deepest nesting the compiler accepts loads again from its dump.
    std::string source = "return 1";
    for (int i = 0; i < 99; ++i)
        source = "return function() " + source + " end";
    ASSERT_EQ(0, Load(L, source, "=src")) << TopString(L);
    std::string bytes = Dump(L);
    lua_pop(L, 1);
    ASSERT_EQ(0, Load(L, bytes, "=src")) << TopString(L);
    lua_pop(L, 1);

    // A damaged chunk of 100,000 functions each holding the next (before, the reader recursed
    // until the stack ran out): per level the record up to its one nested function, then the
    // innermost, then per level the code after it.
    const std::string header = Build(ReturnConstant(KNil())).substr(0, 22);
    auto words = [](std::initializer_list<uint32_t> values)
    {
        std::string out;
        for (uint32_t v : values)
            for (int b = 0; b < 4; ++b)
                out += static_cast<char>(v >> (8 * b));
        return out;
    };
    // No source, line 0, no upvalues or parameters, stack 2, no lines, locals, upvalue names or
    // constants.
    const std::string head = words({0, 0, 0x02000000u, 0, 0, 0, 0});
    const std::string code = words({1, ABC(OP_RETURN, 0, 1, 0)});
    constexpr int kDepth = 100000;
    std::string deep = header;
    for (int i = 0; i < kDepth; ++i)
        deep += head + words({1});
    deep += head + words({0}) + code;
    for (int i = 0; i < kDepth; ++i)
        deep += code;
    EXPECT_EQ("functions nested too deeply in test", LoadError(deep));
}

TEST_F(ChunkFormatTest, CodeCheckerRejectsBadCode)
{
    Function f = ReturnConstant(KNil());
    f.code.pop_back(); // the last instruction must be a return
    f.code.back() = ABx(OP_LOADK, 0, 0);
    EXPECT_EQ("bad code in test", LoadError(Build(f)));
    f = ReturnConstant(KNil());
    f.code[0] = ABx(OP_LOADK, 0, 5); // constant out of range
    EXPECT_EQ("bad code in test", LoadError(Build(f)));
    f = ReturnConstant(KNil());
    f.code[0] = ABC(OP_MOVE, 0, 7, 0); // register out of range
    EXPECT_EQ("bad code in test", LoadError(Build(f)));
    f = ReturnConstant(KNil());
    f.code[0] = AsBx(OP_JMP, 0, 40); // jump outside the code
    EXPECT_EQ("bad code in test", LoadError(Build(f)));
    f = ReturnConstant(KNil());
    f.code[0] = ABC(OP_EQ, 0, 0, 0); // a test not followed by a jump
    EXPECT_EQ("bad code in test", LoadError(Build(f)));
    f = ReturnConstant(KNil());
    f.code[0] = CREATE_ABC(63, 0, 0, 0); // no such operation
    EXPECT_EQ("bad code in test", LoadError(Build(f)));
    // A nested function is checked too.
    Function outer;
    Function inner = ReturnConstant(KNil());
    inner.code[0] = ABC(OP_GETUPVAL, 0, 3, 0);
    outer.protos = {inner};
    outer.code = {ABx(OP_CLOSURE, 0, 0), ABC(OP_RETURN, 0, 1, 0)};
    EXPECT_EQ("bad code in test", LoadError(Build(outer)));
}

TEST_F(ChunkFormatTest, ShiftWithConstantOperandPassesTheChecker)
{
    ASSERT_EQ(0, Load(L, Build(BinaryOp(OP_SHR, KNum(256), KNum(4)))));
    ASSERT_EQ(0, lua_pcall(L, 0, 1, 0));
    EXPECT_EQ(16, lua_tonumber(L, -1));
}

TEST_F(ChunkFormatTest, RoundTripEveryConstantTypeWithDebugInformation)
{
    Function inner = ReturnConstant(KStr("inner"));
    inner.hasSource = false; // takes the enclosing function's source
    inner.lineDefined = 3;
    inner.nups = 1;
    inner.upvalueNames = {"up"};
    inner.code[0] = ABC(OP_GETUPVAL, 0, 0, 0);
    Function f;
    f.maxStack = 5;
    f.constants = {
        KNil(),    KNum(-0.125), KStr("text"), KStr(std::string("a\0b", 3)), KWide(u"w\u00e9"),
        KWide(u"")};
    f.protos = {inner};
    f.locals = {{"x", 0, 3}, {"y", 1, 3}};
    f.lines = {1, 2, 2, 4, 5};
    f.code = {ABx(OP_LOADK, 0, 1), ABx(OP_LOADK, 1, 2), ABx(OP_CLOSURE, 2, 0),
              ABC(OP_MOVE, 0, 0, 0), ABC(OP_RETURN, 0, 1, 0)};
    std::string bytes = Build(f);
    ASSERT_EQ(0, Load(L, bytes)) << TopString(L);
    EXPECT_EQ(bytes, Dump(L));
}

TEST_F(ChunkFormatTest, RoundTripWithoutDebugInformation)
{
    Function f = BinaryOp(OP_ADD, KNum(40), KNum(2));
    f.noLines = true;
    std::string bytes = Build(f);
    ASSERT_EQ(0, Load(L, bytes));
    std::string again = Dump(L);
    EXPECT_EQ(bytes, again);
    ASSERT_EQ(0, Load(L, again));
    ASSERT_EQ(0, lua_pcall(L, 0, 1, 0));
    EXPECT_EQ(42, lua_tonumber(L, -1));
    // Errors in such functions report line 0.
    Function g = BinaryOp(OP_ADD, KNum(1), KStr("x"));
    g.noLines = true;
    ASSERT_EQ(0, Load(L, Build(g)));
    ASSERT_EQ(LUA_ERRRUN, lua_pcall(L, 0, 1, 0));
    EXPECT_EQ("test:0: attempt to perform arithmetic on a string value", TopString(L));
}

TEST_F(ChunkFormatTest, CompiledSourceRoundTrips)
{
    const std::string source = "local t = {1, 2, L\"w\"} return t[1] + t[2], t[3]";
    ASSERT_EQ(0, Load(L, source, "=src")) << TopString(L);
    std::string bytes = Dump(L);
    lua_pop(L, 1);
    ASSERT_EQ(0, Load(L, bytes, "=src")) << TopString(L);
    ASSERT_EQ(0, lua_pcall(L, 0, 2, 0)) << TopString(L);
    EXPECT_EQ(3, lua_tonumber(L, 1));
    EXPECT_EQ(std::u16string(u"w"), std::u16string(lua_towstring(L, 2)));
}

TEST_F(ChunkFormatTest, CompiledCodePassesTheChecker)
{
    const char* sources[] = {
        "for k, v in pairs(t) do x = k end",
        "for a, b, c, d in f do local z = a .. b end",
        "for i = 10, 1, -1 do if i > 3 then break end end",
        "local t = {f(), g(), h()} return unpack(t)",
        "local t = {1, 2, 3, n = 4, [5] = 6, f()}",
        "return f(g())",
        "local a, b = x, y return a and b or not a",
        "local function r(n) if n == 0 then return 0 end return r(n - 1) end return r(3)",
        "local x = 1 local function up() x = x + 1 return function() return x end end",
        "while true do local y = {} if y then break end end repeat local q = 1 until q",
        "return a.b.c:d(1, 2, 3)",
        "local s = 'a' .. 'b' .. c .. 1 << 2 >> 3 & 4 | 5",
        "do local a = L\"wide\" end return -x",
    };
    int compiled = 0;
    for (const char* source : sources)
    {
        int status = Load(L, source, "=src");
        if (status != 0)
        {
            lua_pop(L, 1);
            continue;
        }
        compiled++;
        std::string bytes = Dump(L);
        lua_pop(L, 1);
        EXPECT_EQ(0, Load(L, bytes, "=src")) << source << ": " << TopString(L);
        lua_settop(L, 0);
    }
    EXPECT_EQ(13, compiled);
}

TEST_F(ChunkFormatTest, MainFunctionClaimingUpvaluesReadsNil)
{
    Function f;
    f.nups = 1;
    f.code = {ABC(OP_GETUPVAL, 0, 0, 0), ABC(OP_RETURN, 0, 2, 0), ABC(OP_RETURN, 0, 1, 0)};
    ASSERT_EQ(0, Load(L, Build(f))) << TopString(L);
    ASSERT_EQ(0, lua_pcall(L, 0, 1, 0));
    EXPECT_TRUE(lua_isnil(L, -1));
}

TEST_F(ChunkFormatTest, DumpRefusesNativeFunctions)
{
    lua_pushcfunction(L, [](lua_State*) { return 0; });
    std::string out;
    EXPECT_EQ(0, lua_dump(L, Writer_, &out));
    EXPECT_TRUE(out.empty());
}

} // namespace
