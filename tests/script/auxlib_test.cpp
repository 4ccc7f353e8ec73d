// Auxiliary library: argument messages, table sizes, the wide string buffer, chunk loading
// through the file layer (text, CR LF, precompiled and byte-order-marked files) and dostring.
#include "lib_test_support.h"

#include "platform/files/file_layer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <list>

namespace
{

class AuxlibTest : public ::testing::Test
{
protected:
    void TearDown() override
    {
        for (const std::string& name : mRegistered)
        {
            RegisterMemoryFileName(TString(name.c_str()), nullptr, 0);
        }
    }

    // Makes the bytes readable under a logical name through the file layer's memory files.
    void AddMemoryFile(const std::string& name, const std::string& bytes)
    {
        mBlocks.push_back(bytes);
        RegisterMemoryFileName(TString(name.c_str()), mBlocks.back().data(),
                               (uint32_t)mBlocks.back().size());
        mRegistered.push_back(name);
    }

    LibState mState;
    std::list<std::string> mBlocks;
    std::vector<std::string> mRegistered;
};

int ArgCheckingFunction(lua_State* L)
{
    luaL_checknumber(L, 1);
    luaL_checktype(L, 2, LUA_TTABLE);
    return 0;
}

TEST_F(AuxlibTest, ArgumentMessages)
{
    lua_register(mState.L, "f", ArgCheckingFunction);
    EXPECT_EQ(mState.Run("f('x')"), "test:1: bad argument #1 to `f' (number expected, got string)");
    EXPECT_EQ(mState.Run("f(1, 2)"), "test:1: bad argument #2 to `f' (table expected, got number)");
    EXPECT_EQ(mState.Run("local t = {m = f} t:m(2)"),
              "test:1: calling `m' on bad self (number expected, got table)");
    EXPECT_EQ(mState.Run("f(1)"), "test:1: bad argument #2 to `f' (table expected, got no value)");
}

// Each argument as the checks read it: text and length, or a number (optional third).
int CheckedArguments(lua_State* L)
{
    size_t n = 0;
    const char* s = luaL_checklstring(L, 1, &n);
    lua_Number second = luaL_checknumber(L, 2);
    lua_Number third = luaL_optnumber(L, 3, -1);
    lua_pushlstring(L, s, n);
    lua_pushnumber(L, (lua_Number)n);
    lua_pushnumber(L, second);
    lua_pushnumber(L, third);
    return 4;
}

TEST_F(AuxlibTest, ChecksReadStringsAndNumbersAsTheGeneralCalls)
{
    lua_register(mState.L, "g", CheckedArguments);
    using Values = std::vector<std::string>;
    EXPECT_EQ(mState.EvalAll("g('a\\0b', 2)"), (Values{std::string("a\0b", 3), "3", "2", "-1"}));
    // A number where text is asked becomes text in place; text that reads as a number is one.
    EXPECT_EQ(mState.EvalAll("g(12.5, ' 16 ', nil)"), (Values{"12.5", "4", "16", "-1"}));
    EXPECT_EQ(mState.EvalAll("g('', '3', '4')"), (Values{"", "0", "3", "4"}));
    EXPECT_EQ(mState.Run("g()"), "test:1: bad argument #1 to `g' (string expected, got no value)");
    EXPECT_EQ(mState.Run("g('x', {})"),
              "test:1: bad argument #2 to `g' (number expected, got table)");
    EXPECT_EQ(mState.Run("g('x', 1, 'y')"),
              "test:1: bad argument #3 to `g' (number expected, got string)");
}

int WideArgFunction(lua_State* L)
{
    size_t n = 0;
    const lua_WChar* w = luaL_checklwstring(L, 1, &n);
    lua_pushnumber(L, (lua_Number)n);
    lua_pushnumber(L, (lua_Number)w[0]);
    return 2;
}

TEST_F(AuxlibTest, WideStringArguments)
{
    lua_register(mState.L, "w", WideArgFunction);
    EXPECT_EQ(mState.EvalAll("w(L\"\\x263ab\")"), (Values{"2", "9786"}));
    EXPECT_EQ(mState.EvalAll("w(42)"), (Values{"2", "52"}));
    EXPECT_EQ(mState.Eval("w('narrow')"),
              "error: test:1: bad argument #1 to `w' (wstring expected, got string)");
}

TEST_F(AuxlibTest, WideBufferFlushesOnceFor300Units)
{
    lua_State* L = mState.L;
    lua_settop(L, 0);
    luaL_Buffer b;
    luaL_wbuffinit(L, &b);
    lua_WChar units[300];
    for (int i = 0; i < 300; i++)
    {
        units[i] = (lua_WChar)(0x100 + i);
    }
    luaL_addlwstring(&b, units, 300);
    EXPECT_EQ(b.lvl, 1);
    EXPECT_EQ(lua_gettop(L), 1);
    luaL_pushresult(&b);
    ASSERT_EQ(lua_type(L, -1), LUA_TWSTRING);
    ASSERT_EQ(lua_strlen(L, -1), 300u);
    EXPECT_EQ(std::memcmp(lua_towstring(L, -1), units, sizeof units), 0);
    EXPECT_EQ(lua_gettop(L), 1);
}

TEST_F(AuxlibTest, EmptyWideBufferGivesAnEmptyWideString)
{
    lua_State* L = mState.L;
    lua_settop(L, 0);
    luaL_Buffer b;
    luaL_wbuffinit(L, &b);
    luaL_pushresult(&b);
    EXPECT_EQ(lua_type(L, -1), LUA_TWSTRING);
    EXPECT_EQ(lua_strlen(L, -1), 0u);
}

TEST_F(AuxlibTest, NarrowBufferJoinsManyPieces)
{
    lua_State* L = mState.L;
    lua_settop(L, 0);
    luaL_Buffer b;
    luaL_buffinit(L, &b);
    std::string expected;
    for (int i = 0; i < 5000; i++)
    {
        std::string piece = std::to_string(i) + ",";
        luaL_addlstring(&b, piece.data(), piece.size());
        expected += piece;
        lua_pushnumber(L, i);
        luaL_addvalue(&b);
        expected += std::to_string(i);
        EXPECT_LT(lua_gettop(L), 20);
    }
    luaL_pushresult(&b);
    EXPECT_EQ(std::string(lua_tostring(L, -1), lua_strlen(L, -1)), expected);
}

TEST_F(AuxlibTest, TableSizes)
{
    lua_State* L = mState.L;
    EXPECT_EQ(mState.Run("t1 = {1, 2, 3, n = 2} t2 = {1, 2, nil, 4} t3 = {}"), "");
    lua_getglobal(L, "t1");
    EXPECT_EQ(luaL_getn(L, -1), 2);
    luaL_setn(L, -1, 7);
    lua_pushstring(L, "n");
    lua_rawget(L, -2);
    EXPECT_EQ(lua_tonumber(L, -1), 7);
    lua_settop(L, 0);
    lua_getglobal(L, "t2");
    EXPECT_EQ(luaL_getn(L, -1), 2);
    luaL_setn(L, -1, 4);
    EXPECT_EQ(luaL_getn(L, -1), 4);
    lua_pushstring(L, "n");
    lua_rawget(L, -2);
    EXPECT_TRUE(lua_isnil(L, -1)); // the size is kept aside, not in the table
    lua_settop(L, 0);
    // The side table sits at registry[2] with weak keys.
    lua_rawgeti(L, LUA_REGISTRYINDEX, 2);
    ASSERT_TRUE(lua_istable(L, -1));
    lua_getmetatable(L, -1);
    lua_pushstring(L, "__mode");
    lua_rawget(L, -2);
    EXPECT_STREQ(lua_tostring(L, -1), "k");
    lua_settop(L, 0);
}

int CallerLine(lua_State* L)
{
    lua_Debug ar;
    lua_getstack(L, 1, &ar);
    lua_getinfo(L, "l", &ar);
    lua_pushnumber(L, ar.currentline);
    return 1;
}

TEST_F(AuxlibTest, LoadFileThroughTheFileLayer)
{
    AddMemoryFile("scripts/crlf.lua", "x = 1\r\ny = [[a\r\nb]]\r\nreturn debugline()\r\n");
    lua_register(mState.L, "debugline", CallerLine);
    lua_State* L = mState.L;
    lua_settop(L, 0);
    ASSERT_EQ(luaL_loadfile(L, "scripts/crlf.lua"), 0);
    EXPECT_EQ(lua_gettop(L), 1);
    ASSERT_EQ(lua_pcall(L, 0, 1, 0), 0);
    EXPECT_EQ(lua_tonumber(L, -1), 4);
    EXPECT_EQ(mState.Eval("y"), "a\nb"); // carriage returns dropped by the text read
}

TEST_F(AuxlibTest, ChunkTooLargeToGatherIsAMemoryError)
{
    // A precompiled chunk is gathered whole: a reader claiming a block larger than any string
    // is refused before a byte of it is read.
    static const char kByte = '\x1b';
    lua_Chunkreader huge = [](lua_State*, void*, size_t* size) -> const char*
    {
        *size = SIZE_MAX / 2;
        return &kByte;
    };
    lua_State* L = mState.L;
    lua_settop(L, 0);
    EXPECT_EQ(lua_load(L, huge, nullptr, "=huge"), LUA_ERRMEM);
    EXPECT_EQ(lua_gettop(L), 1);
    EXPECT_STREQ(lua_tostring(L, -1), "not enough memory");
}

TEST_F(AuxlibTest, MissingFileMessage)
{
    lua_State* L = mState.L;
    lua_settop(L, 0);
    EXPECT_EQ(luaL_loadfile(L, "scripts/none.lua"), LUA_ERRFILE);
    EXPECT_EQ(lua_gettop(L), 1);
    EXPECT_STREQ(lua_tostring(L, -1), "cannot read scripts/none.lua: No such file or directory");
}

TEST_F(AuxlibTest, SyntaxErrorInFile)
{
    AddMemoryFile("scripts/bad.lua", "x = = 2\n");
    lua_State* L = mState.L;
    lua_settop(L, 0);
    EXPECT_EQ(luaL_loadfile(L, "scripts/bad.lua"), LUA_ERRSYNTAX);
    EXPECT_EQ(lua_gettop(L), 1);
    std::string msg = lua_tostring(L, -1);
    EXPECT_EQ(msg.rfind("scripts/bad.lua:1:", 0), 0u) << msg;
}

TEST_F(AuxlibTest, PrecompiledFileIsReopenedInBinaryMode)
{
    // A dumped chunk starts with ESC and holds CR bytes that a text read would drop.
    std::string dumped = mState.Eval("string.dump(loadstring('return \"\\\\r\\\\n\", 7'))");
    ASSERT_EQ(dumped[0], '\x1b');
    ASSERT_NE(dumped.find('\r'), std::string::npos);
    AddMemoryFile("scripts/compiled.luc", dumped);
    EXPECT_EQ(mState.EvalAll("loadfile('scripts/compiled.luc')()"), (Values{"\r\n", "7"}));
}

TEST_F(AuxlibTest, ByteOrderMarkedFileIsReadAsUtf16)
{
    std::string source = "return [[a\r\nb]], 2";
    std::string bytes = "\xFF\xFE";
    for (char c : source)
    {
        bytes += c;
        bytes += '\0';
    }
    AddMemoryFile("scripts/wide.lua", bytes);
    // Read in binary mode, so the carriage return inside the string is kept.
    EXPECT_EQ(mState.Run("a, b = dofile('scripts/wide.lua')"), "");
    EXPECT_EQ(mState.Eval("a"), "a\r\nb");
    EXPECT_EQ(mState.Eval("b"), "2");
}

// Hands a text to lua_load in blocks of a fixed size.
struct BlockReader
{
    std::string text;
    size_t step;
    size_t pos = 0;

    static const char* Read(lua_State*, void* ud, size_t* size)
    {
        BlockReader* r = static_cast<BlockReader*>(ud);
        if (r->pos >= r->text.size())
        {
            return nullptr;
        }
        *size = std::min(r->step, r->text.size() - r->pos);
        r->pos += *size;
        return r->text.data() + r->pos - *size;
    }
};

TEST_F(AuxlibTest, SourceInSmallBlocksCompilesAsAWhole)
{
    // Tokens, long strings and (in the wide text) 16-bit units straddle the blocks.
    std::string narrow = "#!first line\nlocal s = \"ab\\ncd\" .. [[long\nstring]] "
                         "x = 12.5e1 return s .. x, 'end'";
    std::string wide = "\xFF\xFE";
    for (char c : std::string("return [[w\r\n]] .. 0x1F, L\"u\""))
    {
        wide += c;
        wide += '\0';
    }
    lua_State* L = mState.L;
    for (size_t step : {1, 2, 3, 7})
    {
        lua_settop(L, 0);
        BlockReader r{narrow, step};
        ASSERT_EQ(lua_load(L, BlockReader::Read, &r, "=blocks"), 0) << lua_tostring(L, -1);
        ASSERT_EQ(lua_pcall(L, 0, 2, 0), 0);
        EXPECT_EQ(mState.Text(1), "ab\ncdlong\nstring125") << step;
        EXPECT_EQ(mState.Text(2), "end") << step;
        lua_settop(L, 0);
        BlockReader w{wide, step};
        ASSERT_EQ(lua_load(L, BlockReader::Read, &w, "=wide"), 0) << lua_tostring(L, -1);
        ASSERT_EQ(lua_pcall(L, 0, 2, 0), 0);
        EXPECT_EQ(mState.Text(1), "w\r\n31") << step;
        EXPECT_EQ(mState.Text(2), "L:u") << step;
        // An error's line counts across the blocks.
        lua_settop(L, 0);
        BlockReader bad{"x = 1\ny = = 2", step};
        EXPECT_EQ(lua_load(L, BlockReader::Read, &bad, "=bad"), LUA_ERRSYNTAX);
        EXPECT_STREQ(lua_tostring(L, -1), "bad:2: unexpected symbol near `='") << step;
    }
}

TEST_F(AuxlibTest, DostringSendsErrorsToAlert)
{
    lua_State* L = mState.L;
    EXPECT_EQ(mState.Run("alerts = '' function _ALERT(m) alerts = alerts .. m end"), "");
    EXPECT_EQ(lua_dostring(L, "error('oops', 0)"), LUA_ERRRUN);
    EXPECT_EQ(lua_dostring(L, "x ="), LUA_ERRSYNTAX);
    EXPECT_EQ(lua_dostring(L, "ok = 1"), 0);
    EXPECT_EQ(lua_gettop(L), 0);
    std::string alerts = mState.Eval("alerts");
    EXPECT_EQ(alerts.rfind("oops", 0), 0u) << alerts;
    EXPECT_NE(alerts.find("x ="), std::string::npos) << alerts;
}

TEST_F(AuxlibTest, DostringWithoutAlertWritesToStandardError)
{
    lua_State* L = mState.L;
    testing::internal::CaptureStderr();
    EXPECT_EQ(lua_dostring(L, "error('to stderr', 0)"), LUA_ERRRUN);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "to stderr\n");
    EXPECT_EQ(lua_gettop(L), 0);
}

TEST_F(AuxlibTest, References)
{
    lua_State* L = mState.L;
    lua_settop(L, 0);
    lua_pushstring(L, "one");
    int r1 = luaL_ref(L, LUA_REGISTRYINDEX);
    lua_pushstring(L, "two");
    int r2 = luaL_ref(L, LUA_REGISTRYINDEX);
    EXPECT_GT(r1, 2);
    EXPECT_NE(r1, r2);
    lua_rawgeti(L, LUA_REGISTRYINDEX, r1);
    EXPECT_STREQ(lua_tostring(L, -1), "one");
    lua_pop(L, 1);
    luaL_unref(L, LUA_REGISTRYINDEX, r1);
    lua_pushstring(L, "three");
    EXPECT_EQ(luaL_ref(L, LUA_REGISTRYINDEX), r1); // the freed slot is reused
    lua_pushnil(L);
    EXPECT_EQ(luaL_ref(L, LUA_REGISTRYINDEX), -1);
}

} // namespace

namespace
{

TEST(AuxlibWideBufferTest, AddValueTakesWideStringsAndNumbers)
{
    LibState state;
    lua_State* L = state.L;
    lua_settop(L, 0);
    luaL_Buffer b;
    luaL_wbuffinit(L, &b);
    const lua_WChar head[] = {u'a', u'b'};
    luaL_addlwstring(&b, head, 2);
    lua_pushlwstring(L, u"\u263a", 1);
    luaL_addvalue(&b);
    lua_pushnumber(L, 12);
    luaL_addvalue(&b);
    luaL_pushresult(&b);
    ASSERT_EQ(lua_type(L, -1), LUA_TWSTRING);
    ASSERT_EQ(lua_strlen(L, -1), 5u);
    EXPECT_EQ(std::u16string(lua_towstring(L, -1), 5), u"ab\u263a12");
}

} // namespace
