// The script task: running texts and files, calling functions, the coroutine it steps, typed
// results, globals and the host's own script functions, with the exact log lines.
#include "script_host_test_support.h"

#include "platform/shell/task.h"
#include "script/lua_object_wrapper.h"
#include "script/script.h"
#include "script/window_script_seam.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

namespace
{

class ScriptTaskTest : public ScriptHostTest
{
protected:
    void SetUp() override
    {
        ScriptHostTest::SetUp();
        mScript = std::make_unique<TScript>();
        L = mScript->GetState();
    }
    void TearDown() override
    {
        mScript.reset();
        ScriptHostTest::TearDown();
    }

    std::string Global(const char* name) { return GlobalText(L, name); }

    std::unique_ptr<TScript> mScript;
    lua_State* L = nullptr;
};

TEST_F(ScriptTaskTest, ANewScriptIsSuspendedAndNamesItselfInItsState)
{
    EXPECT_TRUE(mScript->IsSuspended());
    EXPECT_FALSE(mScript->IsYielded());
    lua_getglobal(L, "_SCRIPT");
    EXPECT_TRUE(lua_islightuserdata(L, -1));
    EXPECT_EQ(lua_touserdata(L, -1), mScript.get());
    lua_pop(L, 1);
    EXPECT_EQ(lua_gettop(L), 0);
}

TEST_F(ScriptTaskTest, OpensBaseCoroutineStringAndTableOnly)
{
    mScript->DoLuaString("r = type(print) .. type(coroutine) .. type(string) .. type(table) .. "
                         "type(math) .. type(io) .. type(os) .. type(debug)");
    EXPECT_EQ(Global("r"), "functiontabletabletablenilnilnilnil");
    mScript->DoLuaString("r = type(_ALERT) .. type(DebugOut) .. type(toparams) .. type(DumpTable) "
                         ".. type(_Internal_DumpEntry) .. type(_Internal_DumpTable)");
    EXPECT_EQ(Global("r"), "functionfunctionfunctionfunctionfunctionfunction");
}

TEST_F(ScriptTaskTest, DebugOutIsAOneTextAdapterThatDoesNothing)
{
    lua_getglobal(L, "DebugOut");
    EXPECT_TRUE(lua_iscfunction(L, -1));
    EXPECT_STREQ(lua_getupvalue(L, -1, 1), "");
    EXPECT_EQ(lua_type(L, -1), LUA_TUSERDATA);
    lua_pop(L, 2);
    mScript->DoLuaString("DebugOut('nothing happens')");
    EXPECT_EQ(LogText(), "");
}

TEST_F(ScriptTaskTest, DoLuaStringLeavesTheStackAsItFoundIt)
{
    lua_pushstring(L, "mine");
    mScript->DoLuaString("x = 1");
    EXPECT_EQ(lua_gettop(L), 1);
    EXPECT_STREQ(lua_tostring(L, 1), "mine");
    EXPECT_EQ(mScript->GetGlobalNumber("x"), 1);
    lua_pop(L, 1);
}

TEST_F(ScriptTaskTest, DoLuaStringKeepsAskedResults)
{
    mScript->DoLuaString("return 1, 2", -1, 2);
    ASSERT_EQ(lua_gettop(L), 2);
    EXPECT_EQ(lua_tonumber(L, 1), 1);
    EXPECT_EQ(lua_tonumber(L, 2), 2);
    lua_settop(L, 0);
}

TEST_F(ScriptTaskTest, DoLuaStringRunsOnlyTheGivenLength)
{
    mScript->DoLuaString("x = 5 y = 6", 5);
    EXPECT_EQ(Global("x"), "5");
    EXPECT_EQ(Global("y"), "nil");
}

TEST_F(ScriptTaskTest, DoLuaStringSetsTheSearchPath)
{
    mScript->DoLuaString("p = LUA_PATH");
    EXPECT_EQ(Global("p"), "assets/?;?;../?;../../?");
    SetScriptSearchPath("x/?");
    mScript->DoLuaString("p = LUA_PATH");
    SetScriptSearchPath("assets/?;?;../?;../../?");
    EXPECT_EQ(Global("p"), "x/?");
}

TEST_F(ScriptTaskTest, SyntaxErrorIsLoggedWithThePhaseAndTheText)
{
    mScript->DoLuaString("x = = 1");
    EXPECT_EQ(LogText(),
              "DoLuaString Lua Error: [string \"x = = 1\"]:1: unexpected symbol near `='\n"
              "\twhen parsing x = = 1\n");
    EXPECT_EQ(lua_gettop(L), 0);
}

// The "when" line is the error's only line after its head, written as a line of its own: a line
// break in the chunk, a blank and a time stamp after it, starts none.
TEST_F(ScriptTaskTest, AnErrorsWhenLineIsItsOnlyContinuationLine)
{
    mScript->DoLuaString("local t = 1\n Thu Jan  1 00:00:00 2026: ERROR: FORGED");
    EXPECT_EQ(LogText(), "DoLuaString Lua Error: [string \"local t = 1...\"]:2: `=' expected near "
                         "`Jan'\n\twhen parsing local t = 1\\n Thu Jan  1 00:00:00 2026: ERROR: "
                         "FORGED\n");
}

TEST_F(ScriptTaskTest, SyntaxErrorIsHandedToLuaErrorMessageWhenDefined)
{
    mScript->DoLuaString("function LuaErrorMessage(m) seen = m end");
    mScript->DoLuaString("x = = 1");
    EXPECT_EQ(Global("seen"),
              "Lua Error: [string \"x = = 1\"]:1: unexpected symbol near `='\n\twhen parsing");
    EXPECT_EQ(lua_gettop(L), 0);
}

TEST_F(ScriptTaskTest, ARaisingLuaErrorMessageDoesNotEndTheProgram)
{
    mScript->DoLuaString("function LuaErrorMessage(m) error('again') end");
    mScript->DoLuaString("x = = 1");
    EXPECT_TRUE(LogHas("when parsing x = = 1"));
    EXPECT_EQ(lua_gettop(L), 0);
}

TEST_F(ScriptTaskTest, RuntimeErrorReachesTheAlertHandler)
{
    mScript->DoLuaString("error('broken')");
    EXPECT_EQ(LogText(), "Lua error: [string \"error('broken')\"]:1: broken\n");
    EXPECT_EQ(lua_gettop(L), 0);
}

TEST_F(ScriptTaskTest, RunFunctionCallsWithArgumentsAndResults)
{
    mScript->DoLuaString("function add(a, b) return a + b end");
    lua_getglobal(L, "add");
    lua_pushnumber(L, 2);
    lua_pushnumber(L, 3);
    EXPECT_EQ(mScript->RunFunction(2, 1), 0);
    EXPECT_EQ(mScript->PopNumber(), 5);
    EXPECT_EQ(lua_gettop(L), 0);
}

TEST_F(ScriptTaskTest, RunFunctionFailureWithManyResultsIsLogged)
{
    mScript->DoLuaString("function bad() error('x') end");
    lua_getglobal(L, "bad");
    EXPECT_EQ(mScript->RunFunction(0, 2), LUA_ERRRUN);
    lua_settop(L, 0);
    EXPECT_TRUE(
        LogHas("TScript::RunFunction failure. Too many return results? (2, FAILURE CODE 1)\n"));
}

TEST_F(ScriptTaskTest, AChunkReturningAFunctionRunsAsTheCoroutineToItsFirstYield)
{
    mScript->DoLuaString("steps = 0 return function() steps = 1 coroutine.yield() steps = 2 "
                         "coroutine.yield() steps = 3 end",
                         -1, 1);
    EXPECT_EQ(Global("steps"), "1");
    EXPECT_TRUE(mScript->IsYielded());
    EXPECT_FALSE(mScript->IsSuspended());
    EXPECT_EQ(mScript->GetPeriod(), 0u);

    EXPECT_TRUE(mScript->Animate());
    EXPECT_EQ(Global("steps"), "2");
    EXPECT_FALSE(mScript->IsSuspended());
    EXPECT_TRUE(mScript->Animate());
    EXPECT_EQ(Global("steps"), "3");
    EXPECT_FALSE(mScript->IsYielded());
    EXPECT_TRUE(mScript->IsSuspended());
    EXPECT_EQ(lua_gettop(L), 0);
    EXPECT_EQ(LogText(), "");
}

TEST_F(ScriptTaskTest, TheTaskListStepsTheCoroutineOncePerPassAndKeepsAFinishedScript)
{
    TTaskList list;
    TScript* script = new TScript();
    list.Add(script);
    script->DoLuaString(
        "n = 0 return function() while n < 2 do n = n + 1 coroutine.yield() end end", -1, 1);
    EXPECT_EQ(GlobalText(script->GetState(), "n"), "1");
    list.Run(kTaskPassTime);
    EXPECT_EQ(GlobalText(script->GetState(), "n"), "2");
    list.Run(kTaskPassTime);
    EXPECT_TRUE(script->IsSuspended());
    EXPECT_TRUE(list.Contains(script));
    list.Run(kTaskPassTime);
    EXPECT_TRUE(list.Contains(script));
    EXPECT_EQ(GlobalText(script->GetState(), "n"), "2");
    list.DeleteAll();
}

TEST_F(ScriptTaskTest, AFunctionThatFinishesAtOnceLeavesTheTaskSuspended)
{
    mScript->DoLuaString("return function() done = true end", -1, 1);
    EXPECT_EQ(Global("done"), "true");
    EXPECT_TRUE(mScript->IsSuspended());
    EXPECT_FALSE(mScript->IsYielded());
    EXPECT_EQ(lua_gettop(L), 0);
}

TEST_F(ScriptTaskTest, AFailingStartIsLoggedAsAResumeError)
{
    mScript->DoLuaString("return function() error('at start') end", -1, 1);
    EXPECT_TRUE(LogHas("lua_resume error: [string \"return function() error('at start') end\"]:1: "
                       "at start\n"));
    EXPECT_TRUE(mScript->IsSuspended());
    EXPECT_EQ(lua_gettop(L), 0);
}

TEST_F(ScriptTaskTest, AFailingResumeIsLoggedAndSuspendsTheTask)
{
    mScript->DoLuaString("return function() coroutine.yield() error('later') end", -1, 1);
    EXPECT_TRUE(mScript->IsYielded());
    EXPECT_TRUE(mScript->Animate());
    EXPECT_TRUE(mScript->IsSuspended());
    EXPECT_FALSE(mScript->IsYielded());
    EXPECT_EQ(LogText(), "lua_resume ERROR: [string \"return function() coroutine.yield() "
                         "error('...\"]:1: later\n");
    EXPECT_EQ(lua_gettop(L), 0);
}

// An error value that is not a string is told by its type and where it was raised, whether the
// coroutine fails at its start, later, or in a protected call; a failing __tostring is never
// called.
TEST_F(ScriptTaskTest, ErrorValuesThatAreNotStringsAreLoggedByTypeAndPlace)
{
    mScript->DoLuaString("return function()\n error(nil)\n end", -1, 1);
    mScript->DoLuaString("return function()\n coroutine.yield()\n\n error({})\n end", -1, 1);
    EXPECT_TRUE(mScript->Animate());
    mScript->DoLuaString("local t = setmetatable({}, {__tostring = function() error('no') end})\n"
                         "error(t)");
    EXPECT_EQ(LogText(),
              "lua_resume error: an error value of type nil, raised at [string \"return "
              "function()...\"]:2\n"
              "lua_resume ERROR: an error value of type table, raised at [string \"return "
              "function()...\"]:4\n"
              "Lua error: an error value of type table, raised at [string \"local t = "
              "setmetatable({}, {__tostring = fu...\"]:2\n");
    EXPECT_EQ(lua_gettop(L), 0);
}

TEST_F(ScriptTaskTest, ResumeOfNothingReportsTheEngineError)
{
    EXPECT_EQ(mScript->Resume(0), LUA_ERRRUN);
    EXPECT_EQ(LogText(), "lua_resume ERROR: cannot resume dead coroutine\n");
    EXPECT_EQ(lua_gettop(L), 0);
}

TEST_F(ScriptTaskTest, AFunctionRunOnAYieldedScriptGoesThroughGetClosure)
{
    mScript->DoLuaString("return function() coroutine.yield() end", -1, 1);
    ASSERT_TRUE(mScript->IsYielded());
    EXPECT_EQ(Global("GetClosure"), "nil"); // defined on first need
    mScript->DoLuaString(
        "function record(a, b, c, d, e, f, g) got = table.concat({a, b, c, d, e, f}, ',') "
        "seventh = g end");
    lua_getglobal(L, "record");
    for (int i = 1; i <= 7; ++i)
        lua_pushnumber(L, i);
    EXPECT_EQ(mScript->RunFunction(7, 0), 0);
    EXPECT_EQ(Global("got"), "1,2,3,4,5,6");
    EXPECT_EQ(Global("seventh"), "nil");
    lua_getglobal(L, "GetClosure");
    EXPECT_TRUE(lua_isfunction(L, -1));
    lua_pop(L, 1);
    EXPECT_TRUE(mScript->IsYielded());
    EXPECT_EQ(lua_gettop(L), 0);
}

// A script that, like the window script, hands offered functions to its waiting coroutine.
class HandingScript : public TScript
{
public:
    bool HandleValue() override
    {
        lua_pushnil(GetState());
        lua_insert(GetState(), -2);
        return Resume(2) == 0;
    }
};

TEST_F(ScriptTaskTest, HandleValueCanResumeTheWaitingCoroutineWithTheClosure)
{
    HandingScript script;
    lua_State* S = script.GetState();
    script.DoLuaString("return function() while true do local none, f = coroutine.yield() "
                       "if f then f() end end end",
                       -1, 1);
    ASSERT_TRUE(script.IsYielded());
    script.DoLuaString("function mark(v) marked = v end");
    lua_getglobal(S, "mark");
    lua_pushstring(S, "inside");
    EXPECT_EQ(script.RunFunction(1, 0), 0);
    EXPECT_EQ(GlobalText(S, "marked"), "inside");
    EXPECT_TRUE(script.IsYielded());
    // The coroutine waits again in a frame just like the one the call started in; nothing of
    // the call is left there and nothing of the new frame was taken.
    EXPECT_EQ(lua_gettop(S), 0);
    lua_getglobal(S, "mark");
    lua_pushstring(S, "again");
    EXPECT_EQ(script.RunFunction(1, 0), 0);
    EXPECT_EQ(GlobalText(S, "marked"), "again");
    EXPECT_EQ(lua_gettop(S), 0);
    script.DoLuaString("direct = 1");
    EXPECT_EQ(GlobalText(S, "direct"), "1");
    EXPECT_EQ(lua_gettop(S), 0);
}

TEST_F(ScriptTaskTest, ToParamsSpreadsATableWithHoles)
{
    mScript->DoLuaString("function three() return toparams({1, nil, 3}) end");
    lua_getglobal(L, "three");
    EXPECT_EQ(mScript->RunFunction(0, LUA_MULTRET), 0);
    ASSERT_EQ(lua_gettop(L), 3);
    EXPECT_EQ(lua_tonumber(L, 1), 1);
    EXPECT_TRUE(lua_isnil(L, 2));
    EXPECT_EQ(lua_tonumber(L, 3), 3);
    lua_settop(L, 0);
    mScript->DoLuaString("a, b = toparams({ n = 2, 'x', 'y', 'z' })");
    EXPECT_EQ(Global("a"), "x");
    EXPECT_EQ(Global("b"), "y");
}

TEST_F(ScriptTaskTest, ToParamsOfANonTableIsAnArgumentError)
{
    mScript->DoLuaString("toparams(5)");
    EXPECT_TRUE(LogHas("Lua error: "));
    EXPECT_TRUE(LogHas("bad argument #1 to `toparams' (table expected, got number)"));
}

TEST_F(ScriptTaskTest, DumpTableListsEntriesThroughDebugOut)
{
    mScript->DoLuaString("function DebugOut(t) out = t end");
    mScript->DoLuaString("DumpTable({ 10, 'x' })");
    EXPECT_EQ(Global("out"), "Dump Table: \n  1 -> 10\n  2 -> x\n");
    mScript->DoLuaString("DumpTable({ a = { b = true } })");
    EXPECT_EQ(Global("out"), "Dump Table: \n  a -> {\n    b -> true\n  }\n");
}

TEST_F(ScriptTaskTest, DumpTableStopsDeepTables)
{
    mScript->DoLuaString("function DebugOut(t) out = t end");
    mScript->DoLuaString("DumpTable({ { { { { { 1 } } } } } })");
    EXPECT_EQ(Global("out"), "Dump Table: \n"
                             "  1 -> {\n"
                             "    1 -> {\n"
                             "      1 -> {\n"
                             "        1 -> {\n"
                             "          1 -> {\n"
                             "            ...\n"
                             "          }\n"
                             "        }\n"
                             "      }\n"
                             "    }\n"
                             "  }\n");
    mScript->DoLuaString("t = {} t.self = t DumpTable(t)");
    EXPECT_NE(Global("out").find("            ...\n"), std::string::npos);
}

TEST_F(ScriptTaskTest, PopBoolByType)
{
    lua_pushnil(L);
    EXPECT_FALSE(mScript->PopBool());
    lua_pushboolean(L, 1);
    EXPECT_TRUE(mScript->PopBool());
    lua_pushnumber(L, 0);
    EXPECT_FALSE(mScript->PopBool());
    lua_pushnumber(L, -2);
    EXPECT_TRUE(mScript->PopBool());
    EXPECT_EQ(lua_gettop(L), 0);
    lua_pushstring(L, "yes");
    EXPECT_FALSE(mScript->PopBool());
    EXPECT_EQ(lua_gettop(L), 0);
    lua_newtable(L);
    EXPECT_FALSE(mScript->PopBool());
    EXPECT_EQ(lua_gettop(L), 1);
    EXPECT_TRUE(lua_istable(L, 1));
    lua_settop(L, 0);
    EXPECT_EQ(LogText(),
              "PopBool used on lua string yes\n"
              "PopBool used on a type that isn't a number, a boolean, or nil. (type: 5)\n");
}

TEST_F(ScriptTaskTest, PopNumberStringAndVec4)
{
    lua_pushstring(L, "2.5");
    EXPECT_EQ(mScript->PopNumber(), 2.5);
    lua_pushnumber(L, 7);
    EXPECT_STREQ(mScript->PopString().c_str(), "7");
    mScript->DoLuaString("return { 0.5, 1, 2 }", -1, 1);
    EXPECT_EQ(mScript->PopVec4(), TVec4(0.5f, 1, 2, 0));
    EXPECT_EQ(lua_gettop(L), 0);
    // Nothing on the stack: nothing is popped below the frame.
    EXPECT_EQ(mScript->PopNumber(), 0);
    EXPECT_EQ(mScript->PopString().Length(), 0);
    EXPECT_EQ(lua_gettop(L), 0);
}

TEST_F(ScriptTaskTest, Globals)
{
    mScript->SetGlobalString("s", "text");
    mScript->SetGlobalNumber("n", 3.5);
    EXPECT_STREQ(mScript->GetGlobalString("s").c_str(), "text");
    EXPECT_STREQ(mScript->GetGlobalString("n").c_str(), "3.5");
    EXPECT_EQ(mScript->GetGlobalString("missing").Length(), 0);
    EXPECT_EQ(mScript->GetGlobalNumber("n"), 3.5);
    EXPECT_EQ(mScript->GetGlobalNumber("missing"), 0);
    mScript->DoLuaString("t = { k = 'v' }");
    std::unique_ptr<TLuaTable> t(mScript->GetGlobalTable("t"));
    ASSERT_NE(t, nullptr);
    EXPECT_STREQ(t->GetString("k").c_str(), "v");
    EXPECT_EQ(mScript->GetGlobalTable("s"), nullptr);
    t.reset();
    EXPECT_EQ(lua_gettop(L), 0);
}

TEST_F(ScriptTaskTest, RunScriptRunsFilesThroughTheFileLayer)
{
    Write("assets/hello.lua", "greeting = 'hi from file'");
    InitFileSystem();
    EXPECT_TRUE(mScript->RunScript("hello.lua"));
    EXPECT_EQ(Global("greeting"), "hi from file");
    EXPECT_EQ(lua_gettop(L), 0);
    EXPECT_EQ(LogText(), "");
}

TEST_F(ScriptTaskTest, RunScriptOfAMissingFileIsFalseWithoutALogLine)
{
    InitFileSystem();
    EXPECT_FALSE(mScript->RunScript("nowhere.lua"));
    EXPECT_FALSE(mScript->RunScript(""));
    EXPECT_EQ(LogText(), "");
}

TEST_F(ScriptTaskTest, RunScriptOfASyntaxErrorAlertsTheMessage)
{
    Write("assets/broken.lua", "x = = 2");
    InitFileSystem();
    EXPECT_FALSE(mScript->RunScript("broken.lua"));
    EXPECT_EQ(LogText(), "Lua error: broken.lua:1: unexpected symbol near `='\n");
    EXPECT_EQ(lua_gettop(L), 0);
}

TEST_F(ScriptTaskTest, RunScriptOfARuntimeErrorLogsTheFailure)
{
    Write("assets/fails.lua", "error('bad run')");
    InitFileSystem();
    EXPECT_FALSE(mScript->RunScript("fails.lua"));
    EXPECT_EQ(LogText(), "Lua error: fails.lua:1: bad run\nFailed to run script fails.lua: 1\n");
    EXPECT_EQ(lua_gettop(L), 0);
}

TEST_F(ScriptTaskTest, RunScriptFromMemoryAndPackFiles)
{
    static const char kMemory[] = "from_memory = 1";
    RegisterMemoryFileName("mem.lua", kMemory, sizeof(kMemory) - 1);
    Write("assets/scripts.qmp",
          filetest::PackBuilder().Add("packed/run.lua", "from_pack = 2\r\n").Build());
    InitFileSystem();
    EXPECT_TRUE(mScript->RunScript("mem.lua"));
    EXPECT_TRUE(mScript->RunScript("packed/run.lua"));
    EXPECT_EQ(Global("from_memory"), "1");
    EXPECT_EQ(Global("from_pack"), "2");
    RegisterMemoryFileName("mem.lua", nullptr, 0);
}

TEST_F(ScriptTaskTest, AScriptFileReturningAFunctionStartsItsCoroutine)
{
    Write("assets/task.lua", "return function() phase = 1 coroutine.yield() phase = 2 end");
    InitFileSystem();
    EXPECT_TRUE(mScript->RunScript("task.lua"));
    EXPECT_EQ(Global("phase"), "1");
    EXPECT_TRUE(mScript->IsYielded());
    mScript->Animate();
    EXPECT_EQ(Global("phase"), "2");
    EXPECT_TRUE(mScript->IsSuspended());
}

TEST_F(ScriptTaskTest, QueuedObjectsAreDeletedBeforeTheNextResume)
{
    lua_newtable(L);
    auto* wrapper = new TLuaTable(L);
    const void* address = wrapper;
    mScript->QueueDelete(wrapper);
    mScript->Resume(0);
    lua_pushlightuserdata(L, const_cast<void*>(address));
    lua_rawget(L, LUA_REGISTRYINDEX);
    EXPECT_TRUE(lua_isnil(L, -1));
    lua_settop(L, 0);
}

TEST_F(ScriptTaskTest, AScriptOnAThreadOfAnotherLeavesTheStateOpen)
{
    lua_State* thread = lua_newthread(L);
    auto* link = new TLuaObjectWrapper(L);
    auto* child = new TScript(thread);
    child->SetOwnerLink(link);
    lua_newtable(L);
    mScript->QueueDelete(new TLuaTable(L));
    child->DoLuaString("from_thread = 'yes'");
    delete child;
    EXPECT_EQ(Global("from_thread"), "yes");
    mScript->DoLuaString("still = 'open'");
    EXPECT_EQ(Global("still"), "open");
}

TScript* gWindowScript = nullptr;
TScript* WindowScriptSource()
{
    return gWindowScript;
}

TEST_F(ScriptTaskTest, TheWindowScriptComesFromTheInstalledSource)
{
    EXPECT_EQ(GetWindowScript(), nullptr);
    EXPECT_EQ(GetWindowScriptState(), nullptr);
    SetWindowScriptSource(WindowScriptSource);
    gWindowScript = mScript.get();
    EXPECT_EQ(GetWindowScript(), mScript.get());
    EXPECT_EQ(GetWindowScriptState(), L);
    SetWindowScriptSource(nullptr);
    gWindowScript = nullptr;
    EXPECT_EQ(GetWindowScript(), nullptr);
}

} // namespace
