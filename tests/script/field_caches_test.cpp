// The remembered places of field reads and writes (a constant key's node, a metatable's
// "__index" node) answer what the tables hold now: through chains of classes being changed,
// replaced metatables, rawset, collections that reuse the tables' memory, finalizers that change
// a class while it is being read, and dumped functions. A randomised program checks every read and
// write against the same walk done with rawget.
#include <gtest/gtest.h>

#include <random>
#include <string>

#include "lib_test_support.h"

namespace
{

// A class chain Leaf -> Mid -> Base, readers that keep their instructions' places warm, and a
// warm-up over every class so that each reader's place was last found in another table.
const char* kClasses =
    "Base = {speed = 1, name = function() return 'base' end} Base.__index = Base "
    "Mid = setmetatable({}, Base) Mid.__index = Mid "
    "Leaf = setmetatable({}, Mid) Leaf.__index = Leaf "
    "o = setmetatable({}, Leaf) "
    "function speed(t) return t.speed end "
    "function name(t) return t:name() end "
    "function warm() for i = 1, 3 do speed(Base) speed(Mid) speed(o) name(o) end end";

TEST(FieldCachesTest, InheritedReadsFollowEveryChangeOfTheChain)
{
    LibState state;
    ASSERT_EQ("", state.Run(kClasses));
    auto read = [&]()
    {
        EXPECT_EQ("", state.Run("warm()"));
        return state.EvalAll("speed(o), name(o)");
    };
    using Values = std::vector<std::string>;
    EXPECT_EQ((Values{"1", "base"}), read());
    // A key added to a class between the instance and the one that answered shadows it.
    ASSERT_EQ("", state.Run("Mid.speed = 2 function Mid.name() return 'mid' end"));
    EXPECT_EQ((Values{"2", "mid"}), read());
    ASSERT_EQ("", state.Run("rawset(o, 'speed', 3)"));
    EXPECT_EQ((Values{"3", "mid"}), read());
    ASSERT_EQ("", state.Run("rawset(o, 'speed', nil) rawset(Mid, 'speed', nil) Mid.name = nil"));
    EXPECT_EQ((Values{"1", "base"}), read());
    // The class's "__index" changed, to another table and to a function, then removed.
    ASSERT_EQ("", state.Run("Mid.__index = {speed = 4, name = function() return 'other' end}"));
    EXPECT_EQ((Values{"4", "other"}), read());
    ASSERT_EQ("", state.Run("Mid.__index = function(t, k) return k == 'speed' and 5 or "
                            "function() return 'handler' end end"));
    EXPECT_EQ((Values{"5", "handler"}), read());
    ASSERT_EQ("", state.Run("Mid.__index = nil"));
    EXPECT_EQ((Values{"nil"}), state.EvalAll("speed(o)"));
    EXPECT_NE(std::string::npos,
              state.Eval("({pcall(name, o)})[2]").find("attempt to call method `name'"));
    // Back, then the metatable rebuilt around it (its "__index" moves to another node), then
    // the instance's and a class's metatables replaced.
    ASSERT_EQ("", state.Run("Mid.__index = Mid for i = 1, 40 do Mid['f' .. i] = i end"));
    EXPECT_EQ((Values{"1", "base"}), read());
    ASSERT_EQ("", state.Run("rawset(Mid, '__index', nil) collectgarbage() "
                            "for i = 1, 40 do Mid['f' .. i] = nil end collectgarbage() "
                            "Mid.__index = Mid"));
    EXPECT_EQ((Values{"1", "base"}), read());
    ASSERT_EQ("", state.Run("Other = {speed = 6, name = function() return 'six' end} "
                            "Other.__index = Other setmetatable(o, Other)"));
    EXPECT_EQ((Values{"6", "six"}), read());
    ASSERT_EQ("", state.Run("setmetatable(o, Leaf) setmetatable(Mid, Other)"));
    EXPECT_EQ((Values{"6", "six"}), read());
    ASSERT_EQ("", state.Run("setmetatable(Mid, nil)"));
    EXPECT_EQ((Values{"nil"}), state.EvalAll("speed(o)"));
    // A chain that loops is refused as the general walk refuses it.
    ASSERT_EQ("", state.Run("setmetatable(Mid, Leaf)"));
    EXPECT_NE(std::string::npos, state.Eval("({pcall(speed, o)})[2]").find("loop in gettable"));
}

TEST(FieldCachesTest, WritesFindTheirNodeOrMakeOne)
{
    LibState state;
    ASSERT_EQ("", state.Run("function set(t, v) t.x = v end "
                            "a = {x = 0} b = {p = 0, q = 0, x = 0} c = {} "
                            "log = {} d = setmetatable({}, {__newindex = function(t, k, v) "
                            "log[table.getn(log) + 1] = k .. '=' .. v end}) "
                            "for i = 1, 3 do set(a, i) set(b, i) end set(c, 7) set(d, 8)"));
    EXPECT_EQ((Values{"3", "3", "7", "nil", "x=8"}),
              state.EvalAll("a.x, b.x, c.x, rawget(d, 'x'), log[1]"));
    // Removed, rebuilt, removed and collected: each write lands in the table's current node.
    ASSERT_EQ("", state.Run("b.x = nil set(b, 9) for i = 1, 50 do b['k' .. i] = i end set(b, 10) "
                            "rawset(b, 'x', nil) collectgarbage() set(b, 11) set(a, 12)"));
    EXPECT_EQ((Values{"11", "12", "50"}), state.EvalAll("b.x, a.x, b.k50"));
    // A global written by a function whose environment changes.
    ASSERT_EQ("", state.Run("function setg(v) g = v end setg(1) env = {} setfenv(setg, env) "
                            "setg(2)"));
    EXPECT_EQ((Values{"1", "2"}), state.EvalAll("g, env.g"));
}

TEST(FieldCachesTest, TablesCollectedAndTheirMemoryReused)
{
    LibState state;
    // Each round makes a chain and instances of other shapes in blocks the collector has just
    // given back (kept by size for the next request), read by the same warm instructions.
    ASSERT_EQ("", state.Run(kClasses));
    ASSERT_EQ("", state.Run("for round = 1, 30 do "
                            "  local C = {} C.__index = C "
                            "  for i = 1, math.mod(round, 7) do C['pad' .. i] = i end "
                            "  C.speed = round C.name = function() return 'r' .. round end "
                            "  local t = setmetatable({}, C) "
                            "  for i = 1, math.mod(round, 5) do t['own' .. i] = i end "
                            "  if speed(t) ~= round or name(t) ~= 'r' .. round then "
                            "    error('round ' .. round) end "
                            "  C, t = nil, nil collectgarbage() "
                            "end"));
    EXPECT_EQ((Values{"1", "base"}), state.EvalAll("speed(o), name(o)"));
}

TEST(FieldCachesTest, AFinalizerChangesAClassWhileItIsRead)
{
    LibState state;
    // The finalizer runs inside a collection started by an allocation of the loop, between two
    // reads of the same instructions; every read after it sees what it left.
    ASSERT_EQ("", state.Run(kClasses));
    ASSERT_EQ("", state.Run("local p = newproxy(true) "
                            "getmetatable(p).__gc = function() "
                            "  Base.speed = nil Mid.speed = 'late' "
                            "  Leaf.__index = {speed = 'gone', name = function() return 'x' end} "
                            "  Leaf.__index = Leaf end "
                            "p = nil "
                            "local changed = 0 "
                            "for i = 1, 100000 do "
                            "  local s = speed(o) .. i "
                            "  if speed(o) == 'late' then changed = changed + 1 "
                            "  elseif changed > 0 then error('stale read at ' .. i) end "
                            "end "
                            "collectgarbage() assert(speed(o) == 'late' and name(o) == 'base')"));
}

TEST(FieldCachesTest, DumpedFunctionsCarryNoPlaces)
{
    LibState state;
    ASSERT_EQ("", state.Run(kClasses));
    ASSERT_EQ("", state.Run("function both(t) return t.speed, t:name() end "
                            "before = string.dump(both) "
                            "for i = 1, 5 do both(o) both(Base) speed(Mid) end "
                            "after = string.dump(both) copy = loadstring(after)"));
    EXPECT_EQ("true", state.Eval("before == after"));
    EXPECT_EQ((Values{"1", "base"}), state.EvalAll("copy(o)"));
}

// A random program over six tables: fields written (by a warm assignment, rawset, removal),
// metatables set and replaced, "__index" pointed at other tables, tables rebuilt or made anew,
// collections; every read through the interpreter's instructions (field, method, global) is
// checked against the chain walked with rawget, and every write against rawget after it.
std::string RandomProgram(unsigned seed)
{
    std::mt19937 rng(seed);
    auto pick = [&](int n) { return static_cast<int>(rng() % static_cast<unsigned>(n)); };
    std::string code =
        "local T = {} for i = 1, 6 do T[i] = {} end "
        "local F = {} for i = 1, 4 do F[i] = function() return 'f' .. i end end "
        "local function ref(o, k) "
        "  for n = 1, 100 do "
        "    local v = rawget(o, k) if v ~= nil then return true, v end "
        "    local mt = getmetatable(o) if mt == nil then return true, nil end "
        "    o = rawget(mt, '__index') if o == nil then return true, nil end "
        "  end return false end "
        "local function check(what, ok, v, rok, rv) "
        "  if ok ~= rok or (ok and v ~= rv) then "
        "    error(what .. ': ' .. tostring(ok) .. ' ' .. tostring(v) .. ' vs ' .. tostring(rok) .."
        "          ' ' .. tostring(rv)) end end ";
    const char* keys[] = {"a", "b", "c", "__index"};
    for (int k = 0; k < 3; k++)
    {
        std::string key = keys[k];
        code += "local function get_" + key + "(o) return o." + key +
                " end "
                "local function call_" +
                key + "(o) return o:" + key +
                "() end "
                "local function set_" +
                key + "(o, v) o." + key +
                " = v end "
                "local function global_" +
                key + "() return " + key + " end ";
    }
    code += "local function set___index(o, v) o.__index = v end ";
    for (int step = 0; step < 400; step++)
    {
        std::string t = "T[" + std::to_string(1 + pick(6)) + "]";
        std::string u = "T[" + std::to_string(1 + pick(6)) + "]";
        std::string key = keys[pick(3)];
        std::string value;
        switch (pick(4))
        {
        case 0:
            value = "nil";
            break;
        case 1:
            value = "F[" + std::to_string(1 + pick(4)) + "]";
            break;
        default:
            value = std::to_string(pick(100));
            break;
        }
        switch (pick(12))
        {
        case 0:
            code += "set_" + key + "(" + t + ", " + value + ") assert(rawget(" + t + ", '" + key +
                    "') == " + value + ") ";
            break;
        case 1:
            code += "rawset(" + t + ", '" + key + "', " + value + ") ";
            break;
        case 2:
            code += "setmetatable(" + t + ", " + (pick(4) == 0 ? "nil" : u) + ") ";
            break;
        case 3:
            code += pick(2) ? "set___index(" + t + ", " + (pick(4) == 0 ? "nil" : u) + ") "
                            : "rawset(" + t + ", '__index', " + (pick(4) == 0 ? "nil" : u) + ") ";
            break;
        case 4:
            code += "for n = 1, " + std::to_string(pick(40)) + " do " + t +
                    "['p' .. n] = " + (pick(2) ? "n" : "nil") + " end ";
            break;
        case 5:
            code += pick(3) == 0 ? "collectgarbage() " : t + " = {} ";
            break;
        case 6:
            code += "setfenv(global_" + key + ", " + t + ") do local ok, v = pcall(global_" + key +
                    ") check('global " + key + "', ok, v, ref(" + t + ", '" + key + "')) end ";
            break;
        default:
            code += "do local ok, v = pcall(get_" + key + ", " + t + ") check('get " + key +
                    "', ok, v, ref(" + t + ", '" + key + "')) end ";
            code += "do local rok, rv = ref(" + t + ", '" + key +
                    "') if rok and type(rv) == 'function' then check('call " + key +
                    "', true, call_" + key + "(" + t + "), true, rv()) end end ";
            break;
        }
    }
    return code;
}

TEST(FieldCachesTest, RandomProgramsReadAndWriteAsTheGeneralWalk)
{
    for (unsigned seed = 1; seed <= 40; seed++)
    {
        LibState state;
        std::string code = RandomProgram(seed);
        EXPECT_EQ("", state.Run(code)) << "seed " << seed;
    }
}

} // namespace
