// Scripts compiled and run through the engine: continue and counted loop exits in every loop
// kind, bitwise operators and their precedence, hexadecimal numerals, size hints, wide literals,
// UTF-16LE sources and syntax errors reported by the loader.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "script/lauxlib.h"
#include "script/lua.h"

namespace
{

std::string gOutput;

// print: its arguments separated by tabs, one line per call; wide strings as "L:" and their
// low bytes.
int CapturePrint(lua_State* L)
{
    int n = lua_gettop(L);
    for (int i = 1; i <= n; ++i)
    {
        if (i > 1)
            gOutput += "\t";
        switch (lua_type(L, i))
        {
        case LUA_TNUMBER:
        {
            char buffer[64];
            std::snprintf(buffer, sizeof(buffer), "%.14g", lua_tonumber(L, i));
            gOutput += buffer;
            break;
        }
        case LUA_TSTRING:
            gOutput.append(lua_tostring(L, i), lua_strlen(L, i));
            break;
        case LUA_TWSTRING:
        {
            gOutput += "L:";
            const lua_WChar* units = lua_towstring(L, i);
            for (size_t k = 0; k < lua_strlen(L, i); ++k)
                gOutput.push_back(static_cast<char>(units[k] & 0xFF));
            break;
        }
        case LUA_TBOOLEAN:
            gOutput += lua_toboolean(L, i) ? "true" : "false";
            break;
        default:
            gOutput += lua_typename(L, lua_type(L, i));
            break;
        }
    }
    gOutput += "\n";
    return 0;
}

// kind(v): the type name of v.
int TypeName(lua_State* L)
{
    lua_pushstring(L, lua_typename(L, lua_type(L, 1)));
    return 1;
}

// len(s): the length of a string in bytes or of a wide string in units.
int Length(lua_State* L)
{
    lua_pushnumber(L, static_cast<lua_Number>(lua_strlen(L, 1)));
    return 1;
}

class SyntaxAdditionsTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        L = lua_open();
        ASSERT_NE(L, nullptr);
        lua_register(L, "print", CapturePrint);
        lua_register(L, "kind", TypeName);
        lua_register(L, "len", Length);
        gOutput.clear();
    }
    void TearDown() override { lua_close(L); }

    // The printed output of the chunk, or "error: <message>".
    std::string Run(const std::string& code)
    {
        gOutput.clear();
        lua_settop(L, 0);
        int status = luaL_loadbuffer(L, code.data(), code.size(), "=test");
        if (status == 0)
            status = lua_pcall(L, 0, 0, 0);
        if (status != 0)
        {
            const char* msg = lua_tostring(L, -1);
            std::string text = std::string("error: ") + (msg ? msg : "(no message)");
            lua_settop(L, 0);
            return text;
        }
        return gOutput;
    }

    int LoadStatus(const std::string& code)
    {
        int status = luaL_loadbuffer(L, code.data(), code.size(), "=test");
        lua_settop(L, 0);
        return status;
    }

    lua_State* L = nullptr;
};

std::string Utf16Source(const std::u16string& text)
{
    std::string bytes = "\xFF\xFE";
    for (char16_t u : text)
    {
        bytes.push_back(static_cast<char>(u & 0xFF));
        bytes.push_back(static_cast<char>(u >> 8));
    }
    return bytes;
}

} // namespace

TEST_F(SyntaxAdditionsTest, ContinueInNumericFor)
{
    EXPECT_EQ(Run("for i=1,3 do if i==2 then continue end print(i) end"), "1\n3\n");
}

TEST_F(SyntaxAdditionsTest, ContinueInWhileRetestsTheCondition)
{
    EXPECT_EQ(Run("local i = 0\n"
                  "while i < 5 do\n"
                  "  i = i + 1\n"
                  "  if i == 2 or i == 4 then continue end\n"
                  "  print(i)\n"
                  "end"),
              "1\n3\n5\n");
}

TEST_F(SyntaxAdditionsTest, ContinueInRepeatTestsTheCondition)
{
    EXPECT_EQ(Run("local i = 0\n"
                  "repeat\n"
                  "  i = i + 1\n"
                  "  if i == 2 then continue end\n"
                  "  print(i)\n"
                  "until i >= 3"),
              "1\n3\n");
    // The condition decides even on a continued pass: this loop runs once.
    EXPECT_EQ(Run("local n = 0 repeat n = n + 1 continue until true print(n)"), "1\n");
}

TEST_F(SyntaxAdditionsTest, ContinueInGenericFor)
{
    EXPECT_EQ(Run("local function upto(limit, i) if i < limit then return i + 1 end end\n"
                  "for i in upto, 4, 0 do if i == 2 then continue end print(i) end"),
              "1\n3\n4\n");
}

TEST_F(SyntaxAdditionsTest, CountedBreakLeavesBothLoops)
{
    EXPECT_EQ(Run("for i = 1, 3 do\n"
                  "  for j = 1, 3 do\n"
                  "    if j == 2 then break 2 end\n"
                  "    print(i, j)\n"
                  "  end\n"
                  "end\n"
                  "print('after')"),
              "1\t1\nafter\n");
    EXPECT_EQ(Run("local i = 0 while true do i = i + 1 repeat break 2 until false end print(i)"),
              "1\n");
}

TEST_F(SyntaxAdditionsTest, CountedContinueGoesToTheOuterLoop)
{
    EXPECT_EQ(Run("for i = 1, 2 do\n"
                  "  for j = 1, 3 do\n"
                  "    if j == 2 then continue 2 end\n"
                  "    print(i, j)\n"
                  "  end\n"
                  "  print('not reached')\n"
                  "end"),
              "1\t1\n2\t1\n");
}

TEST_F(SyntaxAdditionsTest, ClosuresOfContinuedIterationsKeepTheirOwnVariable)
{
    EXPECT_EQ(Run("local fs = {}\n"
                  "local i = 0\n"
                  "while i < 3 do\n"
                  "  i = i + 1\n"
                  "  local v = i\n"
                  "  fs[i] = function() return v end\n"
                  "  if i ~= 3 then continue end\n"
                  "end\n"
                  "print(fs[1](), fs[2](), fs[3]())"),
              "1\t2\t3\n");
    EXPECT_EQ(Run("local fs = {}\n"
                  "for i = 1, 3 do\n"
                  "  local v = i * 10\n"
                  "  fs[i] = function() return v end\n"
                  "  continue\n"
                  "end\n"
                  "print(fs[1](), fs[2](), fs[3]())"),
              "10\t20\t30\n");
}

TEST_F(SyntaxAdditionsTest, ClosuresLeftByACountedBreakAreClosed)
{
    EXPECT_EQ(Run("local f\n"
                  "for i = 1, 2 do\n"
                  "  while true do\n"
                  "    local v = 'kept'\n"
                  "    f = function() return v end\n"
                  "    break 2\n"
                  "  end\n"
                  "end\n"
                  "local a, b, c = 'x', 'y', 'z'\n"
                  "print(f())"),
              "kept\n");
}

// A plain `continue` from inside a nested block leaves that block's captured local behind; a
// counted one leaves whole inner loops. Either way each closure keeps its own variable, and the
// registers reused after the loops do not show through.
TEST_F(SyntaxAdditionsTest, ContinueOutOfNestedBlocksClosesTheirLocals)
{
    EXPECT_EQ(Run("local fs = {}\n"
                  "local i = 0\n"
                  "while i < 4 do\n"
                  "  i = i + 1\n"
                  "  do\n"
                  "    local v = i\n"
                  "    fs[i] = function() return v end\n"
                  "    if v == 2 or v == 4 then continue end\n"
                  "  end\n"
                  "end\n"
                  "local a, b, c, d = 'a', 'b', 'c', 'd'\n"
                  "print(fs[1](), fs[2](), fs[3](), fs[4]())"),
              "1\t2\t3\t4\n");
    EXPECT_EQ(Run("local fs, n = {}, 0\n"
                  "for a = 1, 3 do\n"
                  "  local oa = a\n"
                  "  for b = 1, 3 do\n"
                  "    local ib = a * 10 + b\n"
                  "    n = n + 1\n"
                  "    fs[n] = function() return oa + ib end\n"
                  "    if b == 2 then continue 2 end\n"
                  "  end\n"
                  "end\n"
                  "local x1, x2, x3, x4, x5, x6 = 0, 0, 0, 0, 0, 0\n"
                  "print(fs[1](), fs[2](), fs[3](), fs[4](), fs[5](), fs[6]())"),
              "12\t13\t23\t24\t34\t35\n");
    // The control variable of an inner loop left by `continue 2` is closed with its last value.
    EXPECT_EQ(Run("local fs, n = {}, 0\n"
                  "for o = 1, 2 do\n"
                  "  for i = 1, 3 do\n"
                  "    n = n + 1\n"
                  "    fs[n] = function() return i end\n"
                  "    if i == 2 then continue 2 end\n"
                  "  end\n"
                  "end\n"
                  "local y1, y2, y3, y4, y5, y6, y7 = 9, 9, 9, 9, 9, 9, 9\n"
                  "print(fs[1](), fs[2](), fs[3](), fs[4]())"),
              "2\t2\t2\t2\n");
}

TEST_F(SyntaxAdditionsTest, LoopExitErrorsFromTheLoader)
{
    EXPECT_EQ(Run("while 1 do break 0 end"),
              "error: test:1: loop block number out of range near `0'");
    EXPECT_EQ(Run("break"), "error: test:1: no loop to break near `<eof>'");
    EXPECT_EQ(LoadStatus("break"), LUA_ERRSYNTAX);
}

TEST_F(SyntaxAdditionsTest, BitwisePrecedence)
{
    EXPECT_EQ(Run("print(1 | 2 & 3)"), "3\n");
    // a * b & c is a * (b & c).
    EXPECT_EQ(Run("local a, b, c = 2, 3, 1 print(a * b & c)"), "2\n");
    EXPECT_EQ(Run("local a, b = 1, 3 print(-a & b)"), "3\n");
    // Power goes through the global __pow, which the math library would provide.
    EXPECT_EQ(Run("function __pow(a, b) local r = 1 for i = 1, b do r = r * a end return r end "
                  "print(2 & 3 ^ 2, 2 ^ 3 & 12)"),
              "0\t8\n");
    EXPECT_EQ(Run("print(1 << 4, 256 >> 4, 5 & 3, 5 | 2)"), "16\t16\t1\t7\n");
}

TEST_F(SyntaxAdditionsTest, HexadecimalNumerals)
{
    EXPECT_EQ(Run("print(0xFFFFFFFF)"), "4294967295\n");
    EXPECT_EQ(Run("print(0xff + 0x10)"), "271\n");
    EXPECT_EQ(Run("print(0X10)"), "error: test:1: `)' expected near `X10'");
    EXPECT_EQ(Run("X10 = 5 print(0x10 - X10)"), "11\n");
}

TEST_F(SyntaxAdditionsTest, SizeHints)
{
    EXPECT_EQ(Run("local t = { &8 &16 1, 2 } t.x = 3 print(t[1], t[2], t.x)"), "1\t2\t3\n");
    EXPECT_EQ(Run("local t = { &x }"),
              "error: test:1: size expected following & (line 1) near `x'");
}

TEST_F(SyntaxAdditionsTest, WideLiterals)
{
    EXPECT_EQ(Run("print(kind(L\"ab\"), len(L\"ab\"))"), "wstring\t2\n");
    EXPECT_EQ(Run("print(L\"ab\")"), "L:ab\n");
    EXPECT_EQ(Run("print(len(L\"\\x263A\"), len(\"\\x41\"), \"\\x41\")"), "1\t1\tA\n");
    EXPECT_EQ(Run("local function f(s) print(kind(s), len(s)) end f L\"abc\""), "wstring\t3\n");
    EXPECT_EQ(Run("print(L\"ab\" == L\"ab\", L\"ab\" == \"ab\")"), "true\tfalse\n");
}

TEST_F(SyntaxAdditionsTest, Utf16Source)
{
    EXPECT_EQ(Run(Utf16Source(u"print(1)\nprint(L\"\u263A\", len(L\"\u263A\"))")), "1\nL::\t1\n");
    EXPECT_EQ(Run(Utf16Source(u"x = \u263A")),
              "error: test:1: invalid wide char near `char(9786)'");
}

TEST_F(SyntaxAdditionsTest, StockSyntaxErrors)
{
    EXPECT_EQ(Run("function f()\nreturn 1\n"),
              "error: test:3: `end' expected (to close `function' at line 1) near `<eof>'");
    EXPECT_EQ(Run("f x"), "error: test:1: `=' expected near `x'");
    EXPECT_EQ(Run("x = }"), "error: test:1: unexpected symbol near `}'");
}

TEST_F(SyntaxAdditionsTest, OrdinaryPrograms)
{
    EXPECT_EQ(Run("local function fib(n) if n < 2 then return n end return fib(n-1) + fib(n-2) "
                  "end print(fib(15))"),
              "610\n");
    EXPECT_EQ(Run("local a, b = 1, 2 a, b = b, a print(a, b)"), "2\t1\n");
    EXPECT_EQ(Run("print(nil or 2, false and 1, 1 and 2, (1 < 2) == true, not nil)"),
              "2\tfalse\t2\ttrue\ttrue\n");
    EXPECT_EQ(Run("local function f(...) return arg.n, arg[2] end print(f(4, 5, 6))"), "3\t5\n");
    EXPECT_EQ(Run("local o = { v = 3 } function o:get(k) return self.v * k end print(o:get(2))"),
              "6\n");
    EXPECT_EQ(Run("local function three() return 1, 2, 3 end local t = { three() } "
                  "print(t[1], t[2], t[3], ({ three(), three() })[4])"),
              "1\t2\t3\t3\n");
    EXPECT_EQ(Run("local s = 'a' .. 'b' .. 1 .. 'c' print(s)"), "ab1c\n");
    EXPECT_EQ(Run("local function counter() local n = 0 return function() n = n + 1 return n "
                  "end end local c = counter() c() print(c())"),
              "2\n");
    EXPECT_EQ(Run("local t = {} for i = 1, 100 do t[i] = i end local s = 0 "
                  "for i = 10, 1, -3 do s = s + t[i] end print(s)"),
              "22\n");
    EXPECT_EQ(Run("local x = 0 for i = 1, 10 do if i > 3 and i < 6 or i == 9 then x = x + i end "
                  "end print(x)"),
              "18\n");
}

TEST_F(SyntaxAdditionsTest, ConditionalValues)
{
    EXPECT_EQ(Run("local a, b, c = nil, 2, 3 print(a and b or c, b and c or a, a or b and c)"),
              "3\t3\t3\n");
    EXPECT_EQ(Run("local a, b = 1, 2 local x = a < b or 'no' local y = a > b or 'no' print(x, y)"),
              "true\tno\n");
    EXPECT_EQ(Run("local a, b = 1, 2 print(not (a == b), not (a < b) and 'x' or 'y')"),
              "true\ty\n");
    EXPECT_EQ(Run("local t = {} t.x = 1 == 1 and 'a' .. 'b' or 'c' print(t.x)"), "ab\n");
    EXPECT_EQ(Run("local a, b = false, nil print(a or b, b or a, a and b, b and a)"),
              "nil\tfalse\tfalse\tnil\n");
    EXPECT_EQ(Run("local n = 0 local a, b = 1, nil while a and not b do n = n + 1 "
                  "if n == 3 then b = 1 end end print(n)"),
              "3\n");
    EXPECT_EQ(Run("local x = 5 if not x then print(1) elseif x > 4 then print(2) else print(3) "
                  "end"),
              "2\n");
}

TEST_F(SyntaxAdditionsTest, MultipleResultsAndCalls)
{
    EXPECT_EQ(Run("local function two() return 1, 2 end "
                  "print(two(), two())"),
              "1\t1\t2\n");
    EXPECT_EQ(Run("local function two() return 1, 2 end local a, b, c = two() print(a, b, c)"),
              "1\t2\tnil\n");
    EXPECT_EQ(Run("local function two() return 1, 2 end local a, b, c = 0, two() print(a, b, c)"),
              "0\t1\t2\n");
    EXPECT_EQ(Run("local function two() return 1, 2 end local a = (two()) print(a)"), "1\n");
    EXPECT_EQ(Run("local function count(...) return arg.n end local function two() return 1, 2 "
                  "end print(count(two()), count(two(), 5), count((two())))"),
              "2\t2\t1\n");
    EXPECT_EQ(Run("local function loop(n) if n == 0 then return 'done' end return loop(n - 1) "
                  "end print(loop(5000))"),
              "done\n");
}

TEST_F(SyntaxAdditionsTest, AssignmentOrder)
{
    EXPECT_EQ(Run("local a = {} local i = 1 i, a[i] = i + 1, 20 print(i, a[1], a[2])"),
              "2\t20\tnil\n");
    EXPECT_EQ(Run("local a, b, c = 1 print(a, b, c) a, b = 5, 6, 7 print(a, b)"),
              "1\tnil\tnil\n5\t6\n");
    EXPECT_EQ(Run("t = { x = { y = 1 } } t.x.y, t.z = t.x.y + 1, 'z' print(t.x.y, t.z)"), "2\tz\n");
}

TEST_F(SyntaxAdditionsTest, UpvaluesAcrossLevels)
{
    EXPECT_EQ(Run("local x = 1 local function f() return function() x = x + 1 return x end end "
                  "local g = f() g() print(g(), x)"),
              "3\t3\n");
    EXPECT_EQ(Run("local fs = {} for i = 1, 3 do local j = i fs[i] = function() j = j + 10 "
                  "return j end end print(fs[1](), fs[1](), fs[2](), fs[3]())"),
              "11\t21\t12\t13\n");
    EXPECT_EQ(Run("local t = {} local i = 1 repeat local k = i t[i] = function() return k end "
                  "i = i + 1 until i > 3 print(t[1](), t[2](), t[3]())"),
              "1\t2\t3\n");
}

TEST_F(SyntaxAdditionsTest, ManyConstants)
{
    std::string text = "local s = 0\n";
    for (int i = 1; i <= 400; ++i)
        text += "if " + std::to_string(i) + " == " + std::to_string(i) + " then s = s + " +
                std::to_string(i) + " end\n";
    text += "print(s)";
    EXPECT_EQ(Run(text), "80200\n");
}
