// Base library: conversions of wide strings, tonumber with bases, print, the registry's per-type
// metatables, protected calls, iteration, coroutines, loading and require.
#include "lib_test_support.h"
#include "support/files.h"

#include "platform/files/file_layer.h"
#include "sys/input_script/input_script.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <unistd.h>

namespace
{

class BaseLibTest : public ::testing::Test
{
protected:
    LibState mState;
};

TEST_F(BaseLibTest, VersionAndGlobals)
{
    EXPECT_EQ(mState.Eval("_VERSION"), "Lua 5.0.2");
    EXPECT_EQ(mState.Eval("_G == getfenv()"), "true");
    EXPECT_EQ(mState.Eval("type(_LOADED)"), "table");
    EXPECT_EQ(mState.Eval("next(_LOADED)"), "nil");
    EXPECT_EQ(mState.Eval("type(coroutine.create)"), "function");
}

TEST_F(BaseLibTest, TypeNames)
{
    EXPECT_EQ(mState.Eval("type(L\"x\")"), "wstring");
    EXPECT_EQ(mState.Eval("type(nil)"), "nil");
    EXPECT_EQ(mState.Eval("type(print)"), "function");
    EXPECT_EQ(mState.Eval("type(newproxy())"), "userdata");
    EXPECT_EQ(mState.Eval("type()"), "error: test:1: bad argument #1 to `type' (value expected)");
}

TEST_F(BaseLibTest, TonumberWithBases)
{
    EXPECT_EQ(mState.Eval("tonumber('ff', 16)"), "255");
    EXPECT_EQ(mState.Eval("tonumber('ffffffff', 16)"), "4294967295");
    EXPECT_EQ(mState.Eval("tonumber('  1010  ', 2)"), "10");
    EXPECT_EQ(mState.Eval("tonumber('0x1F', 16)"), "31");
    EXPECT_EQ(mState.Eval("tonumber('zz', 36)"), "1295");
    EXPECT_EQ(mState.Eval("tonumber('-1', 16)"), "4294967295");
    EXPECT_EQ(mState.Eval("tonumber('123456789abc', 16)"), "4294967295");
    EXPECT_EQ(mState.Eval("tonumber('12g', 16)"), "nil");
    EXPECT_EQ(mState.Eval("tonumber('', 16)"), "nil");
    EXPECT_EQ(mState.Eval("tonumber('8', 8)"), "nil");
    EXPECT_EQ(mState.Eval("tonumber('z', 37)"),
              "error: test:1: bad argument #2 to `tonumber' (base out of range)");
    EXPECT_EQ(mState.Eval("tonumber(L\"7f\", 16)"), "127");
    EXPECT_EQ(mState.Eval("tonumber(towstring(string.rep('1', 100)), 2)"), "nil");
}

TEST_F(BaseLibTest, TonumberDecimal)
{
    EXPECT_EQ(mState.Eval("tonumber('  12.5e1 ')"), "125");
    EXPECT_EQ(mState.Eval("tonumber('abc')"), "nil");
    EXPECT_EQ(mState.Eval("tonumber({})"), "nil");
    EXPECT_EQ(mState.Eval("tonumber()"),
              "error: test:1: bad argument #1 to `tonumber' (value expected)");
}

TEST_F(BaseLibTest, Towstring)
{
    EXPECT_EQ(mState.Eval("towstring('abc') == L\"abc\""), "true");
    EXPECT_EQ(mState.Eval("towstring(12) == L\"12\""), "true");
    EXPECT_EQ(mState.Eval("towstring(nil) == L\"nil\""), "true");
    EXPECT_EQ(mState.Eval("towstring(true) == L\"true\""), "true");
    EXPECT_EQ(mState.Eval("towstring('') == L\"\""), "true");
    EXPECT_EQ(mState.Eval("towstring('\\200')"), "L:\xC8");
    EXPECT_EQ(mState.Eval("string.sub(tostring(towstring({})), 1, 7)"), "table: ");
    EXPECT_EQ(mState.Eval("towstring()"),
              "error: test:1: bad argument #1 to `towstring' (value expected)");
}

TEST_F(BaseLibTest, TowstringIgnoresTostringMetafield)
{
    EXPECT_EQ(mState.Eval("string.sub(tostring(towstring(setmetatable({}, "
                          "{__tostring = function() return 'x' end}))), 1, 6)"),
              "table:");
}

TEST_F(BaseLibTest, TostringOfWideStringsKeepsLowBytes)
{
    EXPECT_EQ(mState.Eval("tostring(L\"\\x263a\")"), ":");
    EXPECT_EQ(mState.Eval("tostring(L\"ab\")"), "ab");
    EXPECT_EQ(mState.Eval("tostring(L\"\")"), "");
    EXPECT_EQ(mState.Eval("tostring(12.5)"), "12.5");
    EXPECT_EQ(mState.Eval("tostring(setmetatable({}, {__tostring = function() return 'T' end}))"),
              "T");
}

TEST_F(BaseLibTest, PrintWritesWideTextAsUtf8)
{
    testing::internal::CaptureStdout();
    std::string err = mState.Run("print(L\"ab\", 1) print('x', nil, true) print(L\"\\x263a\")");
    std::string out = testing::internal::GetCapturedStdout();
    EXPECT_EQ(err, "");
    EXPECT_EQ(out, "ab\t1\nx\tnil\ttrue\n\xE2\x98\xBA\n");
}

TEST_F(BaseLibTest, PrintedLinesReachTheInputScriptsAwaits)
{
    testsupport::ScratchFolder scratch("mw_print_await");
    // The shot is taken only once both awaits have found their lines.
    testsupport::WriteFile(scratch / "run.txt",
                           "await \"x\tnil\" 5\nawait \xE2\x98\xBA 5\nshot seen\n");
    ASSERT_TRUE(sys::SetInputScript((scratch / "run.txt").string()));
    testing::internal::CaptureStdout();
    EXPECT_EQ(mState.Run("print('x', nil, true) print(L\"\\x263a\")"), "");
    testing::internal::GetCapturedStdout();
    sys::FeedInputScript();
    std::string shot;
    EXPECT_TRUE(sys::TakeShotRequest(shot));
    EXPECT_EQ(shot, (scratch / "seen.png").string());
    sys::SetInputScript("");
}

// Standard output whose reader went away (the trace piped into `head`, where SIGPIPE is ignored as
// the game ignores it): the lines fail there, standard error says so once, and they still reach
// the input scripts' awaits.
TEST_F(BaseLibTest, PrintToAGoneReaderEndsTheTraceOnly)
{
    testsupport::ScratchFolder scratch("mw_print_gone");
    testsupport::WriteFile(scratch / "run.txt", "await one 5\nawait two 5\nshot seen\n");
    ASSERT_TRUE(sys::SetInputScript((scratch / "run.txt").string()));
    int ends[2];
    ASSERT_EQ(pipe(ends), 0);
    close(ends[0]);
    std::fflush(stdout);
    const int saved = dup(STDOUT_FILENO);
    dup2(ends[1], STDOUT_FILENO);
    close(ends[1]);
    void (*before)(int) = std::signal(SIGPIPE, SIG_IGN);
    testing::internal::CaptureStderr();
    const std::string err = mState.Run("print('one') print('two')");
    const std::string said = testing::internal::GetCapturedStderr();
    std::fflush(stdout);
    std::clearerr(stdout);
    dup2(saved, STDOUT_FILENO);
    close(saved);
    std::signal(SIGPIPE, before);
    EXPECT_EQ(err, "");
    EXPECT_EQ(said, std::string("Standard output is closed (") + std::strerror(EPIPE) +
                        "): printed lines are no longer written\n");
    sys::FeedInputScript();
    std::string shot;
    EXPECT_TRUE(sys::TakeShotRequest(shot)) << "the lines reached the awaits";
    sys::SetInputScript("");
}

TEST_F(BaseLibTest, PrintCutsWideTextAtItsFirstZeroUnit)
{
    testing::internal::CaptureStdout();
    std::string err = mState.Run("print(L\"ab\\0cd\")");
    std::string out = testing::internal::GetCapturedStdout();
    EXPECT_EQ(err, "");
    EXPECT_EQ(out, "ab\n");
}

TEST_F(BaseLibTest, PrintNeedsStringsFromTheConverters)
{
    testing::internal::CaptureStdout();
    std::string err1 = mState.Run("tostring = function() return {} end print(1)");
    std::string err2 = mState.Run("towstring = function() return 'narrow' end print(L\"w\")");
    testing::internal::GetCapturedStdout();
    EXPECT_EQ(err1, "test:1: `tostring' must return a string to `print'");
    EXPECT_EQ(err2, "test:1: `tostring' must return a string to `print'");
}

TEST_F(BaseLibTest, RegistryHoldsThePerTypeMetatables)
{
    const char* keys[] = {"_boolean",  "_lightuserdata", "_number", "_string", "_table",
                          "_function", "_userdata",      "_thread", "_wstring"};
    for (int tag = 1; tag <= 9; tag++)
    {
        lua_pushstring(mState.L, keys[tag - 1]);
        lua_rawget(mState.L, LUA_REGISTRYINDEX);
        lua_gettypemetatable(mState.L, tag);
        EXPECT_TRUE(lua_rawequal(mState.L, -1, -2)) << keys[tag - 1];
        lua_settop(mState.L, 0);
    }
    lua_pushstring(mState.L, "_nil");
    lua_rawget(mState.L, LUA_REGISTRYINDEX);
    EXPECT_TRUE(lua_isnil(mState.L, -1));
    lua_settop(mState.L, 0);
    // The string entry is the string library table.
    lua_pushstring(mState.L, "_string");
    lua_rawget(mState.L, LUA_REGISTRYINDEX);
    lua_pushstring(mState.L, "string");
    lua_gettable(mState.L, LUA_GLOBALSINDEX);
    EXPECT_TRUE(lua_rawequal(mState.L, -1, -2));
    lua_settop(mState.L, 0);
}

TEST_F(BaseLibTest, ErrorsAndProtectedCalls)
{
    mState.ExpectEvals({{"assert(false)", "error: test:1: assertion failed!"},
                        {"assert(nil, 'why')", "error: test:1: why"},
                        {"assert(1)", "1"}});
    mState.ExpectEvalAlls(
        {{"pcall(error, 'boom')", {"false", "boom"}},
         {"pcall(function() error('boom') end)", {"false", "test:1: boom"}},
         {"pcall(function() error('boom', 0) end)", {"false", "boom"}},
         {"pcall(function(a) return a, 2 end, 1)", {"true", "1", "2"}},
         {"xpcall(function() error({}) end, function(e) return type(e) end)", {"false", "table"}}});
}

TEST_F(BaseLibTest, Metatables)
{
    EXPECT_EQ(mState.Eval("getmetatable(setmetatable({}, {__metatable = 'locked'}))"), "locked");
    EXPECT_EQ(mState.Eval("setmetatable(setmetatable({}, {__metatable = 1}), {})"),
              "error: test:1: cannot change a protected metatable");
    EXPECT_EQ(mState.Eval("setmetatable({}, 1)"),
              "error: test:1: bad argument #2 to `setmetatable' (nil or table expected)");
    EXPECT_EQ(mState.Eval("getmetatable('abc') == string"), "true");
}

TEST_F(BaseLibTest, RawAccess)
{
    EXPECT_EQ(mState.Eval("rawget(setmetatable({}, {__index = function() return 1 end}), 'x')"),
              "nil");
    EXPECT_EQ(mState.Eval("rawequal({}, {})"), "false");
    EXPECT_EQ(mState.Eval("rawset({}, 'a', 1).a"), "1");
}

TEST_F(BaseLibTest, Iteration)
{
    EXPECT_EQ(mState.Run("s = 0 for i, v in ipairs({10, 20, 30, nil, 50}) do s = s + i * v end"),
              "");
    EXPECT_EQ(mState.Eval("s"), "140");
    EXPECT_EQ(mState.Run("n = 0 for k, v in pairs({a = 1, b = 2, 3}) do n = n + v end"), "");
    EXPECT_EQ(mState.Eval("n"), "6");
    EXPECT_EQ(mState.EvalAll("unpack({1, 2, 3})"), (Values{"1", "2", "3"}));
    EXPECT_EQ(mState.Eval("next({})"), "nil");
}

TEST_F(BaseLibTest, Loadstring)
{
    EXPECT_EQ(mState.Eval("loadstring('return 1 + 1')()"), "2");
    std::vector<std::string> r = mState.EvalAll("loadstring('return +', 'chunk')");
    ASSERT_EQ(r.size(), 2u);
    EXPECT_EQ(r[0], "nil");
    EXPECT_NE(r[1].find("chunk"), std::string::npos);
}

TEST_F(BaseLibTest, Coroutines)
{
    EXPECT_EQ(mState.Run("co = coroutine.create(function(a) local b = coroutine.yield(a + 1) "
                         "return b * 2 end)"),
              "");
    EXPECT_EQ(mState.EvalAll("coroutine.resume(co, 1)"), (Values{"true", "2"}));
    EXPECT_EQ(mState.Eval("coroutine.status(co)"), "suspended");
    EXPECT_EQ(mState.EvalAll("coroutine.resume(co, 5)"), (Values{"true", "10"}));
    EXPECT_EQ(mState.Eval("coroutine.status(co)"), "dead");
    EXPECT_EQ(mState.EvalAll("coroutine.resume(co)"),
              (Values{"false", "cannot resume dead coroutine"}));
    EXPECT_EQ(mState.Eval("coroutine.wrap(function() error('x') end)()"),
              "error: test:1: test:1: x");
    EXPECT_EQ(mState.Eval("coroutine.create(print)"),
              "error: test:1: bad argument #1 to `create' (Lua function expected)");
}

TEST_F(BaseLibTest, ResumeHandsEveryValueOverInOrder)
{
    // No, one and many values each way, nils among them; true goes in front of them all.
    EXPECT_EQ(mState.Run("co = coroutine.create(function(...) "
                         "  local a, b, c = coroutine.yield() "
                         "  local d = coroutine.yield(a, nil, c, arg.n) "
                         "  return d, unpack(arg) end)"),
              "");
    EXPECT_EQ(mState.EvalAll("coroutine.resume(co, 'x', nil, 'z')"), (Values{"true"}));
    EXPECT_EQ(mState.EvalAll("coroutine.resume(co, 1, 2, 3)"),
              (Values{"true", "1", "nil", "3", "3"}));
    EXPECT_EQ(mState.EvalAll("coroutine.resume(co, 'd')"), (Values{"true", "d", "x", "nil", "z"}));
    // The arguments must fit within a native function's slots on the coroutine's stack.
    EXPECT_EQ(mState.Run("t = {} for i = 1, 2047 do t[i] = i end "
                         "co = coroutine.create(function(...) return arg.n end)"),
              "");
    EXPECT_EQ(mState.EvalAll("coroutine.resume(co, 0, unpack(t))"),
              (Values{"error: test:1: too many arguments to resume"}));
    EXPECT_EQ(mState.EvalAll("coroutine.resume(co, unpack(t))"), (Values{"true", "2047"}));
}

TEST_F(BaseLibTest, ResumeFillsTheWaitingYieldsResults)
{
    // The values of a resume land where the yield's call wants them: all of them for a call
    // taking any number, and an error after such a resume ends the coroutine with its line.
    EXPECT_EQ(mState.Run("co = coroutine.create(function() "
                         "  local t = {coroutine.yield()} "
                         "  local u = {table.getn(t), coroutine.yield(unpack(t))} "
                         "  return u[1] + u[3], nil + u[2] end)"),
              "");
    EXPECT_EQ(mState.EvalAll("coroutine.resume(co)"), (Values{"true"}));
    EXPECT_EQ(mState.EvalAll("coroutine.resume(co, 'a', 'b', 'c')"),
              (Values{"true", "a", "b", "c"}));
    EXPECT_EQ(mState.EvalAll("coroutine.resume(co, 4, 5)"),
              (Values{"false", "test:1: attempt to perform arithmetic on a nil value"}));
    EXPECT_EQ(mState.Eval("coroutine.status(co)"), "dead");
    // A yield in a tail call: the resume's values are the body's results.
    EXPECT_EQ(mState.Run("co = coroutine.create(function(x) return coroutine.yield(x) end)"), "");
    EXPECT_EQ(mState.EvalAll("coroutine.resume(co, 1)"), (Values{"true", "1"}));
    EXPECT_EQ(mState.EvalAll("coroutine.resume(co, 2, nil, 3)"), (Values{"true", "2", "nil", "3"}));
}

TEST_F(BaseLibTest, RefusedResumesLeaveNoArgumentsBehind)
{
    // Arguments left on a dead coroutine's stack would become a body for the next resume.
    EXPECT_EQ(mState.Run("co = coroutine.create(function () end) coroutine.resume(co)"), "");
    EXPECT_EQ(mState.EvalAll("coroutine.resume(co, print)"),
              (Values{"false", "cannot resume dead coroutine"}));
    EXPECT_EQ(mState.Eval("coroutine.status(co)"), "dead");
    EXPECT_EQ(mState.EvalAll("coroutine.resume(co)"),
              (Values{"false", "cannot resume dead coroutine"}));
    EXPECT_EQ(mState.Run("w = coroutine.wrap(function () end) w()"), "");
    EXPECT_EQ(mState.EvalAll("pcall(w, print)"), (Values{"false", "cannot resume dead coroutine"}));
    EXPECT_EQ(mState.EvalAll("pcall(w)"), (Values{"false", "cannot resume dead coroutine"}));
    // A coroutine resumed by the one it resumed: refused, and both go on normally.
    EXPECT_EQ(mState.Run("a = coroutine.create(function () "
                         "  local b = coroutine.create(function () "
                         "    return coroutine.resume(a, 1, 2, 3) end) "
                         "  return coroutine.resume(b) end)"),
              "");
    EXPECT_EQ(mState.EvalAll("coroutine.resume(a)"),
              (Values{"true", "true", "false", "cannot resume non-suspended coroutine"}));
    EXPECT_EQ(mState.Eval("coroutine.status(a)"), "dead");
}

TEST_F(BaseLibTest, NewproxySharesMetatables)
{
    EXPECT_EQ(mState.Run("p = newproxy(true) getmetatable(p).__index = function() return 7 end "
                         "q = newproxy(p)"),
              "");
    EXPECT_EQ(mState.Eval("q.x"), "7");
    EXPECT_EQ(mState.Eval("newproxy({})"),
              "error: test:1: bad argument #1 to `newproxy' (boolean or proxy expected)");
}

// Files for dofile, loadfile and require, written to a temporary folder and named natively.
class BaseLibFileTest : public BaseLibTest
{
protected:
    std::string Write(const std::string& name, const std::string& text)
    {
        testsupport::WriteFile(mDir / name, text);
        return "::" + (mDir / name).string();
    }

    testsupport::ScratchFolder mScratch{"mw_baselib"};
    std::filesystem::path mDir = mScratch.Path();
};

TEST_F(BaseLibFileTest, DofileAndLoadfile)
{
    std::string name = Write("m.lua", "x = (x or 0) + 1\nreturn x, 'two'\n");
    EXPECT_EQ(mState.EvalAll("dofile('" + name + "')"), (Values{"1", "two"}));
    EXPECT_EQ(mState.Eval("loadfile('" + name + "')()"), "2");
    std::vector<std::string> r = mState.EvalAll("loadfile('nosuch.lua')");
    EXPECT_EQ(r, (Values{"nil", "cannot read nosuch.lua: No such file or directory"}));
    EXPECT_EQ(mState.Eval("dofile('nosuch.lua')"),
              "error: cannot read nosuch.lua: No such file or directory");
}

TEST_F(BaseLibFileTest, EndlessOrHugeFilesEndWithAnError)
{
    // An endless device is no file: it is refused before anything is read.
    const std::string zero = "cannot read ::/dev/zero: it is not a regular file";
    EXPECT_EQ(mState.EvalAll("loadfile('::/dev/zero')"), (Values{"nil", zero}));
    EXPECT_EQ(mState.Eval("dofile('::/dev/zero')"), "error: " + zero);
    // A file of valid text is refused one byte past the limit; at the limit it loads.
    const size_t limit = size_t(64) << 20;
    std::string text = "--" + std::string(limit - 2, 'x');
    std::string atLimit = Write("at.lua", text);
    std::string past = Write("past.lua", text + "x");
    EXPECT_EQ(mState.Eval("type(loadfile('" + atLimit + "'))"), "function");
    EXPECT_EQ(mState.EvalAll("loadfile('" + past + "')"),
              (Values{"nil", "cannot read " + past +
                                 ": larger than the 64 MB allowed for a script file"}));
}

TEST_F(BaseLibFileTest, DiskFileWithCrLfLineEnds)
{
    std::string name = Write("crlf.lua", "s = [[a\r\nb]]\r\nreturn s\r\n");
    EXPECT_EQ(mState.Eval("dofile('" + name + "')"), "a\nb");
}

TEST_F(BaseLibFileTest, RequireSearchesLuaPath)
{
    Write("mod.lua", "loads = (loads or 0) + 1\nreturn _REQUIREDNAME .. '!'\n");
    Write("plain.lua", "y = 1\n");
    std::string path = "::" + (mDir / "none" / "?.x").string() + ";::" + (mDir / "?.lua").string();
    EXPECT_EQ(mState.Run("LUA_PATH = '" + path + "'"), "");
    EXPECT_EQ(mState.Eval("require('mod')"), "mod!");
    EXPECT_EQ(mState.Eval("require('mod')"), "mod!");
    EXPECT_EQ(mState.Eval("loads"), "1");
    EXPECT_EQ(mState.Eval("_LOADED.mod"), "mod!");
    EXPECT_EQ(mState.Eval("require('plain')"), "true");
    EXPECT_EQ(mState.Eval("_REQUIREDNAME"), "nil");
    EXPECT_EQ(mState.Eval("require('absent')"),
              "error: test:1: could not load package `absent' from path `" + path + "'");
}

TEST_F(BaseLibFileTest, RequireReportsSyntaxErrors)
{
    Write("bad.lua", "x = = 1\n");
    EXPECT_EQ(mState.Run("LUA_PATH = '::" + (mDir / "?.lua").string() + "'"), "");
    std::string msg = mState.Eval("require('bad')");
    EXPECT_EQ(msg.rfind("error: test:1: error loading package `bad' (", 0), 0u) << msg;
}

TEST_F(BaseLibFileTest, RequireNeedsTheLoadedTable)
{
    EXPECT_EQ(mState.Eval("(function() _LOADED = 1 return require('x') end)()"),
              "error: test:1: `_LOADED' is not a table");
}

} // namespace

namespace
{

// Hostile scripts end with an error message, never a crash.
class BadInputTest : public ::testing::Test
{
protected:
    LibState mState;
};

TEST_F(BadInputTest, DeeplyNestedSourceIsASyntaxError)
{
    EXPECT_EQ(mState.Run("src = 'x = ' .. string.rep('(', 100000) .. '1' .. string.rep(')', 100000)"
                         " f, msg = loadstring(src)"),
              "");
    EXPECT_EQ(mState.Eval("f"), "nil");
    EXPECT_EQ(mState.Eval("type(msg)"), "string");
    EXPECT_EQ(mState.Run("src = string.rep('do ', 50000) .. string.rep('end ', 50000)"
                         " f, msg = loadstring(src)"),
              "");
    EXPECT_EQ(mState.Eval("f"), "nil");
}

TEST_F(BadInputTest, HugeScriptLoads)
{
    EXPECT_EQ(mState.Run("local parts = {} for i = 1, 20000 do parts[i] = 'x' .. i .. ' = ' .. i "
                         "end f = loadstring(table.concat(parts, '\\n')) f()"),
              "");
    EXPECT_EQ(mState.Eval("x20000"), "20000");
}

TEST_F(BadInputTest, MalformedChunksAreLoadErrors)
{
    EXPECT_EQ(mState.Run("good = string.dump(function(a) return a + 1 end)"), "");
    EXPECT_EQ(mState.Run("for n = 1, string.len(good) - 1 do "
                         "  local f, msg = loadstring(string.sub(good, 1, n)) "
                         "  assert(f == nil and type(msg) == 'string', n) "
                         "end"),
              "");
    EXPECT_EQ(
        mState.Run("local f, msg = loadstring('\\27Lua\\80\\1\\4\\4\\4\\6\\8\\9\\9\\8garbage') "
                   "assert(f == nil and type(msg) == 'string')"),
        "");
}

TEST_F(BadInputTest, EndlessRecursionIsAStackOverflow)
{
    std::string msg = mState.Run("local function f() return 1 + f() end f()");
    EXPECT_NE(msg.find("stack overflow"), std::string::npos) << msg;
    EXPECT_EQ(mState.Eval("1 + 1"), "2"); // the state is still usable
}

TEST_F(BadInputTest, HugeAllocationsFromLibrariesAreErrors)
{
    EXPECT_EQ(mState.Eval("string.rep('ab', 2^31)"), "error: test:1: resulting string too large");
    EXPECT_EQ(mState.Eval("string.len(string.pack('@99:1 @'))"), "99");
    std::string msg = mState.Eval("string.unpack(string.rep('a', 10), 'A99999999')");
    EXPECT_EQ(msg, "1");
}

} // namespace

namespace
{

class EnvironmentTest : public ::testing::Test
{
protected:
    LibState mState;
};

TEST_F(EnvironmentTest, SetfenvChangesWhatAFunctionSees)
{
    EXPECT_EQ(mState.Run("function f() return x end setfenv(f, {x = 5})"), "");
    EXPECT_EQ(mState.Eval("f()"), "5");
    EXPECT_EQ(mState.Eval("getfenv(f).x"), "5");
    EXPECT_EQ(mState.Eval("getfenv(f) == _G"), "false");
    EXPECT_EQ(mState.Eval("setfenv(print, {})"),
              "error: test:1: `setfenv' cannot change environment of given function");
    EXPECT_EQ(mState.Eval("setfenv(1, 2)"),
              "error: test:1: bad argument #2 to `setfenv' (table expected, got number)");
}

TEST_F(EnvironmentTest, ProtectedEnvironment)
{
    EXPECT_EQ(mState.Run("function g() end setfenv(g, {__fenv = 'hidden'})"), "");
    EXPECT_EQ(mState.Eval("getfenv(g)"), "hidden");
    EXPECT_EQ(mState.Eval("setfenv(g, {})"),
              "error: test:1: `setfenv' cannot change a protected environment");
}

TEST_F(EnvironmentTest, CoroutineStatusAndWrap)
{
    EXPECT_EQ(mState.Run("co = coroutine.create(function() st = coroutine.status(co) end) "
                         "coroutine.resume(co)"),
              "");
    EXPECT_EQ(mState.Eval("st"), "running");
    EXPECT_EQ(mState.Run("gen = coroutine.wrap(function() for i = 1, 3 do coroutine.yield(i) end "
                         "end)"),
              "");
    EXPECT_EQ(mState.EvalAll("gen(), gen(), gen()"), (Values{"1", "2", "3"}));
}

} // namespace
