// The interpreter's shortcuts for field reads and writes, concatenation and number text give the
// same results as the general paths: metamethod caches, "__index" chains, number formatting.
#include "lib_test_support.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <random>
#include <vector>

namespace
{

class VmFastPathsTest : public ::testing::Test
{
protected:
    // The text of number n under a string.format form, produced by the script.
    std::string Format(const char* form, double n)
    {
        lua_settop(mState.L, 0);
        lua_getglobal(mState.L, "string");
        lua_pushstring(mState.L, "format");
        lua_gettable(mState.L, -2);
        lua_pushstring(mState.L, form);
        lua_pushnumber(mState.L, n);
        EXPECT_EQ(0, lua_pcall(mState.L, 2, 1, 0));
        std::string s(lua_tostring(mState.L, -1), lua_strlen(mState.L, -1));
        lua_settop(mState.L, 0);
        return s;
    }

    // The text of number n as concatenation and lua_tostring give it.
    std::string Text(double n)
    {
        lua_settop(mState.L, 0);
        lua_pushnumber(mState.L, n);
        std::string s(lua_tostring(mState.L, -1), lua_strlen(mState.L, -1));
        lua_settop(mState.L, 0);
        return s;
    }

    static std::vector<double> Samples()
    {
        std::vector<double> v = {0.0,
                                 -0.0,
                                 1,
                                 -1,
                                 0.5,
                                 1.5,
                                 2.5,
                                 0.125,
                                 1.0 / 3,
                                 -2.0 / 3,
                                 99999999999999.0,
                                 -99999999999999.0,
                                 1e14,
                                 123456789012345.0,
                                 1e15,
                                 9007199254740993.0,
                                 1e300,
                                 -1e-300,
                                 5e-324,
                                 std::ldexp(1.0, -21), // 15 significant digits ending in 5: a tie
                                 std::ldexp(1.0, 63),
                                 99999.995,
                                 1.7976931348623157e308,
                                 HUGE_VAL,
                                 -HUGE_VAL,
                                 std::nan("")};
        // Whole numbers on each side of every digit count, and of the 32-bit range.
        for (double p = 1; p <= 1e11; p *= 10)
        {
            for (double d : {p - 1, p, p + 1})
                v.push_back(d);
        }
        v.push_back(4294967295.0);
        v.push_back(4294967296.0);
        std::mt19937_64 rng(12345);
        for (int i = 0; i < 2000; i++)
        {
            v.push_back(static_cast<double>(rng() >> (32 + rng() % 32)));
            uint64_t bits = rng();
            double d;
            std::memcpy(&d, &bits, sizeof d);
            v.push_back(d);
            v.push_back((double)(int64_t)(rng() % 2000000001) / 1000.0 - 1e6);
            v.push_back(std::ldexp((double)(rng() % (1ull << 53)), (int)(rng() % 140) - 120));
        }
        return v;
    }

    LibState mState;
};

TEST_F(VmFastPathsTest, NumberTextIsPrintfPrecision14)
{
    char expected[64];
    for (double n : Samples())
    {
        std::snprintf(expected, sizeof expected, "%.14g", n);
        ASSERT_EQ(Text(n), expected) << "value " << n;
    }
    EXPECT_EQ(mState.Eval("'x' .. 12 .. -3 .. 0.25 .. 1e100"), "x12-30.251e+100");
}

TEST_F(VmFastPathsTest, DecimalTextReadsAsStrtodDoes)
{
    // Short decimals take an exact path; every text, short or not, reads as strtod reads it, bit
    // for bit (signed zeros, 15 and 16 digits, ties, leading zeros, points at either end).
    std::vector<std::string> texts = {"0",
                                      "-0",
                                      "+0.0",
                                      ".5",
                                      "5.",
                                      "-.5",
                                      " 7 ",
                                      "\t12\n",
                                      "00012.5",
                                      "0.1",
                                      "1e5",
                                      "1.5E-3",
                                      "9007199254740993",
                                      "123456789012345",
                                      "1234567890123456",
                                      "0.000000000000001",
                                      "99999999999999.9",
                                      "1.7976931348623157e308"};
    std::mt19937_64 rng(7);
    for (int i = 0; i < 3000; i++)
    {
        std::string t = (rng() % 4 == 0) ? "-" : "";
        int digits = 1 + static_cast<int>(rng() % 17);
        int point = static_cast<int>(rng() % (digits + 2)) - 1;
        for (int d = 0; d < digits; d++)
        {
            if (d == point)
                t += '.';
            t += static_cast<char>('0' + rng() % 10);
        }
        texts.push_back(t);
    }
    for (const std::string& t : texts)
    {
        double expected = std::strtod(t.c_str(), nullptr);
        lua_pushstring(mState.L, t.c_str());
        ASSERT_TRUE(lua_isnumber(mState.L, -1)) << t;
        double got = lua_tonumber(mState.L, -1);
        lua_pop(mState.L, 1);
        ASSERT_EQ(0, std::memcmp(&got, &expected, sizeof got)) << t;
    }
    EXPECT_EQ(mState.EvalAll("tonumber('1.5x'), tonumber('.'), tonumber('- 1'), '2.5' + 0"),
              (Values{"nil", "nil", "nil", "2.5"}));
}

TEST_F(VmFastPathsTest, FloatFormatsArePrintfs)
{
    const char* forms[] = {"%f",      "%e",    "%g",    "%E",     "%G",      "%5.2f",
                           "%-8.3f",  "%.0f",  "%.0e",  "%.0g",   "%.f",     "%10.4e",
                           "%-12.6G", "%.14g", "%.17g", "%.20f",  "%99.99f", "%.99e",
                           "%+5.2f",  "% f",   "%#g",   "%05.1f", "%-05.1f", "%3g"};
    char expected[1024];
    std::vector<double> samples = Samples();
    for (const char* form : forms)
    {
        for (size_t i = 0; i < samples.size(); i += 7)
        {
            std::snprintf(expected, sizeof expected, form, samples[i]);
            ASSERT_EQ(Format(form, samples[i]), expected) << form << " of " << samples[i];
        }
    }
}

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
              (Values{"nil", "2", "1"}));
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
    mState.ExpectEvals(
        {{"(function() local P = {}; P.__index = P; function P:get() return "
          "self.v end; local o = setmetatable({v = 7}, P); o.v = o.v + 1;"
          " return o:get() end)()",
          "8"},
         {"(function() gx = 1; gx = gx + 1; return gx end)()", "2"},
         {"(function() local t = {1, 2, 3}; t[2] = t[2] * 10; t[1.5] = 4;"
          " return t[2] + t[1.5] end)()",
          "24"},
         {"(function() local t = {}; t[nil] = 1 end)()", "error: test:1: table index is nil"},
         {"(function() local t = {}; t[0/0] = 1 end)()", "error: test:1: table index is NaN"},
         {"(function() local t = {x = 1}; t.x = nil; return t.x end)()", "nil"}});
}

TEST_F(VmFastPathsTest, JoinedStringsAreTheInternedOnes)
{
    // Equality of strings is identity: a joined string must be the one its text interns to,
    // short or long (long ones hash only sampled characters), whatever the pieces' borders.
    EXPECT_EQ(mState.EvalAll("(function() local a, b = 'ab', 'cd'; local t = {abcd = 1};"
                             " local s = a .. b; return s == 'abcd', t[s], t[a .. 'c' .. 'd']"
                             " end)()"),
              (Values{"true", "1", "1"}));
    EXPECT_EQ(
        mState.EvalAll("(function() local x = string.rep('xy', 40); local y = 'q' .. 12;"
                       " local s = x .. 7 .. y .. x; local w = string.rep('xy', 40) .. '7q12' "
                       ".. string.rep('xy', 40); local t = {}; t[w] = 'hit';"
                       " return s == w, t[s], string.len(s) end)()"),
        (Values{"true", "hit", "164"}));
    EXPECT_EQ(mState.EvalAll("(function() local p = {}; for i = 1, 100 do p[i] = i .. '' end;"
                             " local s = table.concat(p); local t = {[s] = true};"
                             " return t[table.concat(p, '', 1, 50) .. table.concat(p, '', 51)]"
                             " end)()"),
              (Values{"true"}));
}

TEST_F(VmFastPathsTest, JoinedKeysIndexTablesOfEverySize)
{
    // A joined key used at once by the next instruction: tables with no hash part, a large one
    // that grows while written, "__index" and "__newindex", a string indexed through its
    // library, and a register that holds no table.
    EXPECT_EQ(mState.Run("big = {} for i = 1, 5000 do big['k' .. i] = i end "
                         "sum = 0 for i = 1, 5000 do sum = sum + big['k' .. i] end "
                         "local e = {} miss = e['k' .. 1] "
                         "log = '' w = setmetatable({}, {__index = function(t, k) return k .. '?' "
                         "end, __newindex = function(t, k, v) log = log .. k .. '=' .. v end}) "
                         "w['a' .. 1] = 2 got = w['b' .. 2] "
                         "local s = 'abc' len = s['le' .. 'n'](s)"),
              "");
    EXPECT_EQ(mState.EvalAll("sum, miss, log, got, len, rawget(w, 'a1')"),
              (Values{"12502500", "nil", "a1=2", "b2?", "3", "nil"}));
    // Numbers are indexed through their type's table, which has no such field.
    EXPECT_EQ(mState.Eval("(function() local n = 5; return n['x' .. 1] end)()"), "nil");
}

TEST_F(VmFastPathsTest, IntegerKeysInAndPastTheArrayPart)
{
    EXPECT_EQ(mState.Run("t = {} for i = 1, 100 do t[i] = i end "
                         "t[1.5] = 'h' t[0] = 'z' t[-1] = 'm' t[101] = 101 t[2^31 + 1] = 'big' "
                         "t[50] = 'x'"),
              "");
    EXPECT_EQ(mState.EvalAll("t[1], t[50], t[100], t[101], t[1.5], t[0], t[-1], t[102], t[0/0], "
                             "t[2^31 + 1], t[1e300], table.getn(t)"),
              (Values{"1", "x", "100", "101", "h", "z", "m", "nil", "nil", "big", "nil", "101"}));
    // An empty array slot still goes through "__index" and "__newindex".
    EXPECT_EQ(mState.Run("u = setmetatable({1, nil, 3}, {__index = function(t, k) return 'd' .. k "
                         "end, __newindex = function(t, k, v) rawset(t, k, v * 2) end}) u[2] = 5 "
                         "u[1] = 7"),
              "");
    EXPECT_EQ(mState.EvalAll("u[1], u[2], u[3], u[4]"), (Values{"7", "10", "3", "d4"}));
}

TEST_F(VmFastPathsTest, ChainsSurviveMovedNodesAndDeadKeys)
{
    // A node's chain link shares the key's slot: nodes moved out of a new key's way, keys the
    // collector marks dead and new keys written over dead ones must leave every chain whole.
    EXPECT_EQ(mState.Run("t = setmetatable({}, {__mode = 'k'}) keep = {} "
                         "for i = 1, 200 do t['s' .. i] = i local k = {} t[k] = -i "
                         "if math.mod(i, 2) == 0 then keep[i] = k end end "
                         "collectgarbage() "
                         "sum, n = 0, 0 for i = 1, 200 do sum = sum + t['s' .. i] end "
                         "for k, v in pairs(t) do n = n + 1 end "
                         "for i = 201, 300 do t['s' .. i] = i end "
                         "sum2, neg = 0, 0 for i = 1, 300 do sum2 = sum2 + t['s' .. i] end "
                         "for i, k in pairs(keep) do neg = neg + t[k] end"),
              "");
    EXPECT_EQ(mState.EvalAll("sum, n, sum2, neg"), (Values{"20100", "300", "45150", "-10100"}));
}

TEST_F(VmFastPathsTest, KeysNoTableHeldYetAreEnteredWithoutALookup)
{
    // A string no table has taken as a key yet is entered without a look at its chain; once any
    // table holds it, every assignment looks it up again. The same joined key in two tables and
    // a constant key must each leave one entry per key (a key entered twice would also make
    // `next` go round for ever: the counts stop early).
    EXPECT_EQ(mState.Run("a, b = {}, {} local k = 'n' .. 1 a[k] = 1 b[k] = 2 a[k] = 3 "
                         "a['n' .. 1] = 4 a.fresh = 1 a.fresh = 5 "
                         "na = 0 for _ in pairs(a) do na = na + 1 if na > 9 then break end end"),
              "");
    EXPECT_EQ(mState.EvalAll("na, a.n1, b.n1, a.fresh"), (Values{"2", "4", "2", "5"}));
    // Collections in this loop come only after a join (its only allocation), between the join
    // and its assignment: a finalizer (re-armed each time) enters the key just joined there.
    EXPECT_EQ(mState.Run("t, cur, hits = {}, 0, 0 "
                         "local function fin() t['k' .. cur] = 'gc' hits = hits + 1 "
                         "  getmetatable(newproxy(true)).__gc = fin end "
                         "getmetatable(newproxy(true)).__gc = fin "
                         "for i = 1, 20000 do cur = i t['k' .. i] = i end "
                         "nt, bad = 0, 0 for k, v in pairs(t) do nt = nt + 1 "
                         "  if nt > 20000 then break end "
                         "  if v ~= tonumber(string.sub(k, 2)) then bad = bad + 1 end end"),
              "");
    EXPECT_EQ(mState.EvalAll("hits > 0, nt, bad"), (Values{"true", "20000", "0"}));
    // Built by such assignments across many growths, a table keeps the order of the same keys
    // entered through lookups.
    EXPECT_EQ(
        mState.Run("local function order(t) local o = {} "
                   "  for k in pairs(t) do table.insert(o, k) end return table.concat(o, ',') end "
                   "local u, v = {}, {} "
                   "for i = 1, 3000 do u['q' .. i] = i end "
                   "for i = 1, 3000 do rawset(v, 'q' .. i, i) end "
                   "same = order(u) == order(v)"),
        "");
    EXPECT_EQ(mState.Eval("same"), "true");
}

TEST_F(VmFastPathsTest, NewKeysAskNewindexOnlyWhenThereIsOne)
{
    // A "__newindex" added after the table cached its absence is still asked for new keys only.
    EXPECT_EQ(mState.Run("mt = {} t = setmetatable({}, mt) t.a = 1 t[1] = 1 log = '' "
                         "mt.__newindex = function(t, k, v) log = log .. k .. ';' rawset(t, k, v) "
                         "end t.b = 2 t.a = 3 t[10] = 4 t[1] = 5 t.b = 6"),
              "");
    EXPECT_EQ(mState.EvalAll("log, t.a, t.b, t[10], t[1]"), (Values{"b;10;", "3", "6", "4", "5"}));
}

TEST_F(VmFastPathsTest, NumberComparisons)
{
    // NaN is neither less, equal nor greater; infinities and negative zero compare as numbers;
    // a number against a string still raises the order error.
    EXPECT_EQ(mState.EvalAll("0/0 < 1, 0/0 <= 0/0, 1 > 0/0, 0/0 >= 0/0, -0 <= 0, -0 < 0, "
                             "-1/0 < -1e308, 1e308 <= 1/0, 2 <= 2, 3 < 2"),
              (Values{"false", "false", "false", "false", "true", "false", "true", "true", "true",
                      "false"}));
    EXPECT_EQ(mState.Eval("1 < '2'"), "error: test:1: attempt to compare number with string");
    EXPECT_EQ(mState.Eval("'10' < '9'"), "true");
}

TEST_F(VmFastPathsTest, ReturnsCloseOnlyTheirOwnUpvalues)
{
    // An open upvalue of the caller lies below every inner frame: returns keep it open, and a
    // frame's own captured locals are closed with their last values.
    EXPECT_EQ(
        mState.Run("local outer = 0 "
                   "local function inner(n) local x = n local f = function() return x end "
                   "x = x + outer return f end "
                   "local fs = {} for i = 1, 3 do fs[i] = inner(i * 10) outer = outer + 1 end "
                   "result = fs[1]() .. ',' .. fs[2]() .. ',' .. fs[3]() .. ',' .. outer"),
        "");
    EXPECT_EQ(mState.Eval("result"), "10,21,32,3");
}

TEST_F(VmFastPathsTest, TailCallsTakeOverTheCallersFrame)
{
    // Fewer and more arguments than parameters, results as many as the callee gives, the caller's
    // captured locals closed with their last values, a callee with more registers than its
    // caller, a native function and a vararg function at the end, and a million tail calls in
    // one frame.
    ASSERT_EQ(mState.Run("local function three(a, b, c) return a, b, c end "
                         "local function wide(a) local x1, x2, x3, x4, x5, x6, x7, x8 = a, a, a "
                         "return x1, x2, x3, x4, x5, x6, x7, x8 end "
                         "local function va(...) return arg.n, arg[1] end "
                         "function pass(f, ...) return f(unpack(arg)) end "
                         "function capture(n) local v = n local f = function() return v end "
                         "v = v + 1 return (function(g) return g end)(f) end "
                         "function count(n, acc) if n == 0 then return acc end "
                         "return count(n - 1, acc + 1) end "
                         "function to_three(...) return three(unpack(arg)) end "
                         "function to_wide(a) return wide(a) end "
                         "function to_va(a) return va(a, a) end "
                         "function to_native(s) return string.upper(s) end"),
              "");
    using Values = std::vector<std::string>;
    EXPECT_EQ(mState.EvalAll("to_three(1)"), (Values{"1", "nil", "nil"}));
    EXPECT_EQ(mState.EvalAll("to_three(1, 2, 3, 4, 5)"), (Values{"1", "2", "3"}));
    EXPECT_EQ(mState.EvalAll("to_wide(7)"),
              (Values{"7", "7", "7", "nil", "nil", "nil", "nil", "nil"}));
    EXPECT_EQ(mState.EvalAll("to_va(4)"), (Values{"2", "4"}));
    EXPECT_EQ(mState.EvalAll("to_native('ab')"), (Values{"AB"}));
    EXPECT_EQ(mState.EvalAll("capture(5)()"), (Values{"6"}));
    EXPECT_EQ(mState.EvalAll("count(1000000, 0)"), (Values{"1000000"}));
    // An error in the callee names its own line and variables.
    ASSERT_EQ(mState.Run("local function bad(t)\nreturn t.field.x\nend\n"
                         "function calls_bad(t) return bad(t) end"),
              "");
    EXPECT_EQ(mState.Eval("calls_bad({})"),
              "error: test:2: attempt to index field `field' (a nil value)");
}

TEST_F(VmFastPathsTest, NumericForWithStringBounds)
{
    EXPECT_EQ(mState.Eval("(function() local s = 0; for i = 1, '4', '1' do s = s + i end; return s "
                          "end)()"),
              "10");
    EXPECT_EQ(mState.Eval("(function() for i = 1, 'x' do end end)()"),
              "error: test:1: `for' limit must be a number");
}

TEST_F(VmFastPathsTest, ErrorsNameTheLineOfTheirInstructionAfterQuietOnes)
{
    // Lines 1 to 5 run only instructions that neither call nor raise (moves, constants, number
    // arithmetic and comparisons, upvalues, array reads, jumps, loops); the error on line 6 must
    // still name line 6, and a metamethod's error at level 2 the line that invoked it.
    const std::string quiet = "local t, u = {1, 2}, 3\n"
                              "local f = function() return u end\n"
                              "local a = t[1] + u * 2 - t[2]\n"
                              "for i = 1, 3 do if a < i then a = a + 1 else a = -a end end\n"
                              "local b = not a\n";
    const std::pair<const char*, const char*> cases[] = {
        {"return a + 'x'", "test:6: attempt to perform arithmetic on a string value"},
        {"return t.x.y", "test:6: attempt to index field `x' (a nil value)"},
        {"return zz.y", "test:6: attempt to index global `zz' (a nil value)"},
        {"return a()", "test:6: attempt to call local `a' (a number value)"},
        {"return a < 'x'", "test:6: attempt to compare number with string"},
        {"return a .. nil", "test:6: attempt to concatenate a nil value"},
        {"t[nil] = 1", "test:6: table index is nil"},
        {"return -print",
         "test:6: attempt to perform arithmetic on global `print' (a function value)"},
        {"for i = 1, 'x' do end", "test:6: `for' limit must be a number"},
        {"setmetatable(t, {__index = function() error('from tm', 2) end}) return t.y",
         "test:6: from tm"},
        {"return f() + nil", "test:6: attempt to perform arithmetic on a nil value"},
    };
    for (const auto& [line6, message] : cases)
        EXPECT_EQ(mState.Run(quiet + line6), message) << line6;
}

TEST_F(VmFastPathsTest, ResultCountsOfLuaAndNativeCalls)
{
    // Each wanted count against more, fewer and all results, through tail calls (whose record
    // keeps the original call's count), and natives that move the stack while they run.
    EXPECT_EQ(
        mState.Run("local function three() return 1, 2, 3 end "
                   "local function none() end "
                   "local function tail() return three() end "
                   "local function tailnone() return none() end "
                   "local function count(...) return arg.n end "
                   "local a, b, c, d = three() "
                   "local e, f = tail() "
                   "local g, h = tailnone() "
                   "local big = {} for i = 1, 1500 do big[i] = i end "
                   "local x, y = unpack(big) "
                   "local p, q, r = string.find('xab', '(a)(b)') local s1, s2 = string.len('abc') "
                   "result = table.concat({a, b, c, tostring(d), e, f, tostring(g), "
                   "  tostring(h), count(tail()), count(none()), "
                   "  count(tailnone()), x, y, count(unpack(big)), "
                   "  table.getn({unpack(big)}), p, q, r, count(string.find('xab', '(a)(b)')), s1, "
                   "tostring(s2)}, ',')"),
        "");
    EXPECT_EQ(mState.Eval("result"), "1,2,3,nil,1,2,nil,nil,3,0,0,1,2,1500,1500,2,3,a,4,3,nil");
}

TEST_F(VmFastPathsTest, DeepRecursionGrowsTheStackAndStopsAtTheSameDepth)
{
    // Every level calls a native function too: near the end of the stack both kinds of call
    // leave the loop to grow it.
    EXPECT_EQ(mState.Eval("(function() local function f(n) if n == 0 then return 0 end "
                          "return f(n - 1) + string.len('ab') end return f(3000) end)()"),
              "6000");
    EXPECT_EQ(mState.Run("depth = 0 local function f(a, b, c, d, e) depth = depth + 1 "
                         "local x, y, z = f(a, b, c, d, e) return x end "
                         "ok, msg = pcall(f)"),
              "");
    EXPECT_EQ(mState.EvalAll("ok, msg, depth"),
              (Values{"false", "test:1: stack overflow", "4093"}));
}

} // namespace
