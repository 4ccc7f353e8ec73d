// String library: stock functions, patterns and their messages, format with its added options,
// lualex in both modes, pack and unpack.
#include "lib_test_support.h"
#include "support/block_usage.h"

#include <gtest/gtest.h>

#include <cctype>
#include <cmath>
#include <cstdio>
#include <iterator>
#include <random>
#include <sstream>
#include <string>
#include <vector>

namespace
{

std::string Bytes(std::initializer_list<int> bytes)
{
    std::string s;
    for (int b : bytes)
    {
        s += (char)b;
    }
    return s;
}

class StringLibTest : public ::testing::Test
{
protected:
    LibState mState;
};

TEST_F(StringLibTest, StockFunctions)
{
    EXPECT_EQ(mState.Eval("string.len('abc')"), "3");
    EXPECT_EQ(mState.Eval("string.sub('hello', 2, -2)"), "ell");
    EXPECT_EQ(mState.Eval("string.sub('hello', -3)"), "llo");
    EXPECT_EQ(mState.Eval("string.upper('aBc')"), "ABC");
    EXPECT_EQ(mState.Eval("string.lower('aBc')"), "abc");
    EXPECT_EQ(mState.Eval("string.char(72, 105)"), "Hi");
    EXPECT_EQ(mState.Eval("string.rep('ab', 3)"), "ababab");
    EXPECT_EQ(mState.Eval("string.rep('ab', 0)"), "");
    EXPECT_EQ(mState.Eval("string.byte('A')"), "65");
    EXPECT_EQ(mState.Eval("string.byte('abc', -1)"), "99");
    EXPECT_EQ(mState.EvalAll("string.byte('abc', 10)").size(), 0u);
}

TEST_F(StringLibTest, PositionsBeyondTheIntegerRangeActAsTheFarthestOnes)
{
    EXPECT_EQ(mState.Eval("string.sub('abc', 1e300)"), "");
    EXPECT_EQ(mState.Eval("string.sub('abc', 2, 1e300)"), "bc");
    EXPECT_EQ(mState.Eval("string.sub('abc', -1e300)"), "abc");
    EXPECT_EQ(mState.Eval("string.sub('abc', -2^63, -2^63)"), "");
    EXPECT_EQ(mState.Eval("string.sub('abc', 0/0)"), "abc");
    EXPECT_EQ(mState.Eval("string.find('abc', 'b', 1e300)"), "nil");
    EXPECT_EQ(mState.Eval("string.find('abc', 'b', -1e300)"), "2");
    EXPECT_EQ(mState.Eval("string.find('abc', 'b', 2^63, true)"), "nil");
    EXPECT_EQ(mState.EvalAll("string.byte('abc', -2^63)").size(), 0u);
    EXPECT_EQ(mState.EvalAll("string.byte('abc', 2^63)").size(), 0u);
    EXPECT_EQ(mState.EvalAll("string.gsub('aaa', 'a', 'b', -1e300)"), (Values{"aaa", "0"}));
    EXPECT_EQ(mState.EvalAll("string.gsub('aaa', 'a', 'b', 1e300)"), (Values{"bbb", "3"}));
}

TEST_F(StringLibTest, MethodsThroughTheStringMetatable)
{
    mState.ExpectEvals({{"('abc'):upper()", "ABC"}, {"('%d-%d'):format(1, 2)", "1-2"}});
}

TEST_F(StringLibTest, CharRejectsValuesOutsideAByte)
{
    EXPECT_EQ(mState.Eval("string.char(256)"),
              "error: test:1: bad argument #1 to `char' (invalid value)");
}

TEST_F(StringLibTest, WideStringArgumentsAreTypeErrors)
{
    EXPECT_EQ(mState.Eval("string.len(L\"ab\")"),
              "error: test:1: bad argument #1 to `len' (string expected, got wstring)");
}

TEST_F(StringLibTest, FindPlainAndPatterns)
{
    mState.ExpectEvals({{"string.find('abc', '^b')", "nil"}});
    mState.ExpectEvalAlls(
        {{"string.find('hello world', 'o w')", {"5", "7"}},
         {"string.find('a.b', '.', 1, true)", {"2", "2"}},
         {"string.find('key = value', '(%w+)%s*=%s*(%w+)')", {"1", "11", "key", "value"}},
         {"string.find('abc', '()b()')", {"2", "2", "2", "3"}},
         {"string.find('abc', 'c$')", {"3", "3"}},
         {"string.find('x = (a(b)c) y', '%b()')", {"5", "11"}},
         {"string.find('THE (quick) fox', '%f[%a]%a+', 5)", {"6", "10"}},
         {"string.find('aaab', 'a-b')", {"1", "4"}},
         {"string.find('[x]', '[%]]')", {"3", "3"}},
         {"string.find('abcabc', '(abc)%1')", {"1", "6", "abc"}}});
}

TEST_F(StringLibTest, SearchesGiveWhatAnAttemptAtEveryPositionGives)
{
    // find, gsub and gfind pass over bytes where the pattern's first item cannot begin a match;
    // an anchored find tried at every position, which never does, must agree with them: same
    // positions, captures, counts and errors, over bytes 0 and 128-255 and the items that may
    // begin without a byte (*, ?, -, %b, %f, $, back references, captures).
    // Space-separated patterns, then one of 31 nested captures.
    std::istringstream list("%a+ %d [%w_]+ [^%s]+ %u%l* (%a+)(%d+) ()a ((%d)) []] [^]]+ %% %$ $ a$ "
                            "x$ $x %s+ . [\x80-\xff]+ [a-] %z %Z+ \xe9+ \xff %p %x+ [%a%d]+$ "
                            "%b() %f[%a]%a+ a* a?b a-b (a)%1 [a % (%");
    std::vector<std::string> patterns{std::istream_iterator<std::string>(list), {}};
    patterns.push_back(std::string(31, '(') + "a" + std::string(31, ')'));
    EXPECT_EQ(mState.Run(R"(
        subject = 'Ab1 ' .. string.char(0) .. ' x' .. string.char(233, 233, 255) .. 'a]%$ 42 (z) [a-z]ab1'
        local function each(s, pat, init)
            for i = init, string.len(s) + 1 do
                local r = {string.find(s, '^' .. pat, i)}
                if r[1] then return r end
            end
            return {}
        end
        local function spots(s, pat)
            local out, i = {}, 1
            while i <= string.len(s) + 1 do
                local r = {string.find(s, '^' .. pat, i)}
                if r[1] then
                    table.insert(out, r[1] .. '-' .. r[2])
                    if r[2] >= r[1] then i = r[2] + 1 else i = i + 1 end
                else
                    i = i + 1
                end
            end
            return table.concat(out, ' ')
        end
        local function text(ok, ...)
            if not ok then return 'error ' .. string.gsub(tostring(arg[1]), '^test:%d+: ', '') end
            local t = {}
            for k = 1, arg.n do t[k] = tostring(arg[k]) end
            return table.concat(t, ',')
        end
        function compare(pat)
            local out = ''
            for init = 1, string.len(subject) + 1, 5 do
                local got = text(pcall(string.find, subject, pat, init))
                local want = text(pcall(function()
                    local r = each(subject, pat, init)
                    if r[1] then return unpack(r) end
                    return nil end))
                if got ~= want then out = out .. 'find ' .. init .. ': ' .. got .. ' / ' .. want .. '; ' end
            end
            local got = text(pcall(function()
                local r, n = string.gsub(subject, pat, '') return n end))
            local want = text(pcall(function()
                local n = 0 for k in string.gfind(spots(subject, pat), '%S+') do n = n + 1 end
                return n end))
            if got ~= want then out = out .. 'gsub: ' .. got .. ' / ' .. want .. '; ' end
            got = text(pcall(function()
                local t = {}
                for a in string.gfind(subject, '()' .. pat) do table.insert(t, a) end
                return table.concat(t, ' ') end))
            want = text(pcall(function()
                local t = {}
                for a in string.gfind(spots(subject, pat), '(%d+)%-') do table.insert(t, a) end
                return table.concat(t, ' ') end))
            if got ~= want then out = out .. 'gfind: ' .. got .. ' / ' .. want .. '; ' end
            return out
        end)"),
              "");
    for (const std::string& pattern : patterns)
    {
        lua_getglobal(mState.L, "compare");
        lua_pushlstring(mState.L, pattern.data(), pattern.size());
        ASSERT_EQ(0, lua_pcall(mState.L, 1, 1, 0));
        EXPECT_STREQ("", lua_tostring(mState.L, -1)) << pattern;
        lua_pop(mState.L, 1);
    }
    // The replaced text keeps every byte a match cannot begin at; a pattern opening more
    // captures than allowed is an error even where its first item finds no byte.
    EXPECT_EQ(mState.EvalAll("string.gsub('a1 \\0\\233b22', '%d+', '#')"),
              (Values{std::string("a# \0\xe9"
                                  "b#",
                                  7),
                      "2"}));
    EXPECT_EQ(mState.Eval("string.find('xyz', string.rep('(', 33) .. 'a' .. string.rep(')', 33))"),
              "error: test:1: too many captures");
}

TEST_F(StringLibTest, SetsAnswerAlikeAloneRepeatedAndLeadingASearch)
{
    // A set alone is tested byte by byte; repeated, or leading a search, it is worked out once
    // for all bytes. Over random sets (and the "%" classes) and every byte value the three must
    // agree.
    ASSERT_EQ(mState.Run(R"(
        local order = {}
        for b = 0, 255 do order[b + 1] = math.mod(b * 37 + 11, 256) end
        subject = string.char(unpack(order))
        function compare(set)
            local member = {}
            for i = 1, 256 do member[i] = string.find(subject, '^' .. set, i) ~= nil end
            for i = 1, 257 do
                local run = i
                while member[run] do run = run + 1 end
                local _, e = string.find(subject, '^' .. set .. '*', i)
                if e ~= run - 1 then return 'run at ' .. i end
                local lead = i
                while lead <= 256 and not member[lead] do lead = lead + 1 end
                local s = string.find(subject, set, i)
                if s ~= (lead <= 256 and lead or nil) then return 'search from ' .. i end
            end
            return ''
        end)"),
              "");
    const char* pieces[] = {"a",  "-",  "%]", "%-", "%%",  "a-f", "Z-A",  "%a",        "%D", "%s",
                            "%W", "%x", "%p", "%z", "%Z",  "_",   "0",    "\x80-\xff", "%q", "x-",
                            "%u", "%L", "%c", "%C", "1-9", "^",   "\xe9", "%w",        "%S"};
    // A "%" class repeated or leading a search is looked up once for the run, too.
    for (const char* item : {"%a", "%D", "%z", "%Z", "%%", "%q", "%]", "%x", "%P", "%s"})
    {
        lua_getglobal(mState.L, "compare");
        lua_pushstring(mState.L, item);
        ASSERT_EQ(0, lua_pcall(mState.L, 1, 1, 0)) << item << ": " << lua_tostring(mState.L, -1);
        EXPECT_STREQ("", lua_tostring(mState.L, -1)) << item;
        lua_pop(mState.L, 1);
    }
    std::mt19937 rng(94);
    for (int round = 0; round < 200; round++)
    {
        std::string set = rng() % 3 == 0 ? "[^" : "[";
        // A "]" stands for itself only first in the set.
        if (rng() % 6 == 0)
            set += "]";
        for (int n = 1 + static_cast<int>(rng() % 4); n > 0; n--)
            set += pieces[rng() % std::size(pieces)];
        if (set == "[" || set == "[^" || set.back() == '%')
            continue;
        set += "]";
        lua_getglobal(mState.L, "compare");
        lua_pushlstring(mState.L, set.data(), set.size());
        ASSERT_EQ(0, lua_pcall(mState.L, 1, 1, 0)) << set << ": " << lua_tostring(mState.L, -1);
        EXPECT_STREQ("", lua_tostring(mState.L, -1)) << set;
        lua_pop(mState.L, 1);
    }
}

TEST_F(StringLibTest, PaddedStringsMatchTheCLibrary)
{
    const std::string texts[] = {
        "", "a", "Lamp oil", "exactly10!", "longer than the widths", std::string("a\0b", 3)};
    for (const char* form : {"%1s", "%5s", "%-5s", "%10s", "%-10s", "%-12s", "%25s", "%-9s"})
    {
        for (const std::string& text : texts)
        {
            char expected[64];
            std::snprintf(expected, sizeof expected, form, text.c_str());
            lua_getglobal(mState.L, "string");
            lua_pushstring(mState.L, "format");
            lua_gettable(mState.L, -2);
            lua_pushstring(mState.L, form);
            lua_pushlstring(mState.L, text.data(), text.size());
            ASSERT_EQ(0, lua_pcall(mState.L, 2, 1, 0));
            EXPECT_EQ(expected, std::string(lua_tostring(mState.L, -1), lua_strlen(mState.L, -1)))
                << form << " of " << text;
            lua_settop(mState.L, 0);
        }
    }
}

TEST_F(StringLibTest, PatternClassesAnswerAsTheCLocaleForEveryByte)
{
    // Bytes 128-255 belong to no class; every class and its complement, alone and in a set.
    const std::string letters = "acdlpsuwxz";
    int (*const tests[])(int) = {
        isalpha, iscntrl, isdigit, islower,  ispunct,
        isspace, isupper, isalnum, isxdigit, [](int c) { return int(c == 0); }};
    for (size_t k = 0; k < letters.size(); k++)
    {
        for (char letter : {letters[k], char(std::toupper(letters[k]))})
        {
            std::string expected;
            for (int c = 0; c < 256; c++)
            {
                bool in = tests[k](c) != 0;
                expected += (in != (letter != letters[k])) ? '1' : '0';
            }
            for (const std::string& item :
                 {std::string("%") + letter, "[%" + std::string(1, letter) + "]"})
            {
                std::string got =
                    mState.Eval("(function(p) local r = '' for c = 0, 255 do "
                                "r = r .. (string.find(string.char(c), p) and '1' or '0') "
                                "end return r end)('" +
                                item + "')");
                EXPECT_EQ(got, expected) << item;
            }
        }
    }
    EXPECT_EQ(mState.Eval("string.find('\200\255', '%a')"), "nil");
    EXPECT_EQ(mState.EvalAll("string.find('a\233b', '%A')"), (Values{"2", "2"}));
    // A letter that names no class stands for itself.
    EXPECT_EQ(mState.EvalAll("string.find('b%q', '%q')"), (Values{"3", "3"}));
}

TEST_F(StringLibTest, PatternErrorMessages)
{
    mState.ExpectEvals(
        {{"string.find('a', 'a%')", "error: test:1: malformed pattern (ends with `%')"},
         {"string.find('a', '[a')", "error: test:1: malformed pattern (missing `]')"},
         {"string.find('a', '%b')", "error: test:1: unbalanced pattern"},
         {"string.find('a', '%fa')", "error: test:1: missing `[' after `%f' in pattern"},
         {"string.find('a', '(a')", "error: test:1: unfinished capture"},
         {"string.find('a', '.)')", "error: test:1: invalid pattern capture"},
         {"string.find('a', '%1')", "error: test:1: invalid capture index"},
         {"string.find('a', string.rep('(', 40))", "error: test:1: too many captures"}});
}

TEST_F(StringLibTest, PatternTooComplexIsAnErrorNotACrash)
{
    std::string msg = mState.Eval("string.find(string.rep('a', 1000), string.rep('a?', 1000))");
    EXPECT_EQ(msg, "error: test:1: pattern too complex");
}

TEST_F(StringLibTest, Gsub)
{
    mState.ExpectEvals({{"string.gsub('abc', 'b', {})",
                         "error: test:1: bad argument #3 to `gsub' (string or function expected)"},
                        {"string.gsub('abc', 'b', '%0')", "error: test:1: invalid capture index"}});
    mState.ExpectEvalAlls(
        {{"string.gsub('hello world', 'o', '0')", {"hell0 w0rld", "2"}},
         {"string.gsub('hello world', '(%w+)', '<%1>')", {"<hello> <world>", "2"}},
         {"string.gsub('abc', '%w', '%%')", {"%%%", "3"}},
         {"string.gsub('abc', '', '-')", {"-a-b-c-", "4"}},
         {"string.gsub('abc', 'b', function(c) return c .. c end)", {"abbc", "1"}},
         {"string.gsub('a b c', '%w', 'x', 2)", {"x x c", "2"}},
         {"string.gsub('aaa', '^a', 'b')", {"baa", "1"}}});
}

TEST_F(StringLibTest, Gfind)
{
    EXPECT_EQ(mState.Run("r = '' for k, v in string.gfind('a=1, b=2', '(%w+)=(%w+)') do "
                         "r = r .. k .. v .. ';' end"),
              "");
    EXPECT_EQ(mState.Eval("r"), "a1;b2;");
}

TEST_F(StringLibTest, FormatStockOptions)
{
    mState.ExpectEvals(
        {{"string.format('%d|%5.2f|%s|%x|%%', 42.9, 3.14159, 'hi', 255)", "42| 3.14|hi|ff|%"},
         {"string.format('%q', 'a\"b\\\\c\\n\\0')", std::string("\"a\\\"b\\\\c\\\n\\000\"")},
         {"string.format('%5s|%-3d|', 'ab', 7)", "   ab|7  |"},
         {"string.format('%c', 65)", "A"},
         {"string.format('%u', -1)", "4294967295"},
         {"string.format('%d', 4294967296 * 4)", "-2147483648"}});
}

TEST_F(StringLibTest, FixedFormatMatchesTheCLibraryDigitForDigit)
{
    // "%.Nf" is computed without the C library for common precisions and magnitudes; it must
    // round exactly as the C library does (ties to even on the exact binary value), for every
    // magnitude, sign, width and padding (zeros go after the sign; "-" wins over "0").
    std::vector<double> values = {0.125,   0.375,
                                  2.675,   0.005,
                                  0.015,   -0.001,
                                  1.0 / 3, 2.5,
                                  3.5,     -2.5,
                                  1e-7,    4.35,
                                  1e15,    9.995,
                                  99.995,  0.0,
                                  1e18,    1e19,
                                  1e20,    -1e-300,
                                  5e-324,  123456789012.345,
                                  8191.5,  0.5,
                                  1.5,     -0.5,
                                  1e-5,    0.045,
                                  1e300};
    std::mt19937_64 random(20261207);
    for (int i = 0; i < 400; i++)
    {
        double magnitude = std::ldexp(1.0, static_cast<int>(random() % 90) - 45);
        double v = static_cast<double>(random() % 1000000) / 1000.0 * magnitude;
        values.push_back((random() & 1) != 0 ? -v : v);
        // Exact ties at the last printed digit.
        values.push_back(static_cast<double>(random() % 100000) / 8.0);
    }
    const char* forms[] = {"%.0f",   "%.1f",    "%.2f",    "%5.2f",   "%-9.3f",  "%.6f",
                           "%f",     "%12.9f",  "%05.1f",  "%012.3f", "%0-9.2f", "%-09.2f",
                           "%08.2e", "%010.3g", "%00012f", "%-012E"};
    for (const char* form : forms)
    {
        std::string code = "local out = {} for i, v in ipairs({";
        for (double v : values)
        {
            char literal[64];
            std::snprintf(literal, sizeof literal, "%.17g,", v);
            code += literal;
        }
        code += std::string("}) do out[i] = string.format('") + form +
                "', v) end return table.concat(out, '|')";
        ASSERT_EQ(mState.Run(code), "") << form;
        std::string expected;
        for (size_t i = 0; i < values.size(); i++)
        {
            char text[512];
            std::snprintf(text, sizeof text, form, values[i]);
            expected += (i > 0 ? "|" : "") + std::string(text);
        }
        EXPECT_EQ(mState.Text(1), expected) << form;
    }
}

TEST_F(StringLibTest, FixedFormatEdgesMatchTheCLibrary)
{
    // The edges of the exact fixed path: negative zero and tiny negatives (the sign is kept),
    // subnormals, values whose scaled form is just below or above 2^64 (the limit of the path),
    // the largest exponents it takes, and precision 0, each against the C library.
    lua_State* L = mState.L;
    std::vector<double> values = {0.0,
                                  -0.0,
                                  -1e-30,
                                  1e-30,
                                  5e-324,
                                  -5e-324,
                                  2.2250738585072014e-308,
                                  0.49999999999999994,
                                  0.5,
                                  1.5,
                                  -0.5,
                                  -1.5,
                                  2047.5,
                                  9007199254740993.0,
                                  std::ldexp(1.0, 63),
                                  std::ldexp(1.0, 64),
                                  std::ldexp(1.0, 62) * 3};
    const double pow10[] = {1, 10, 100, 1e3, 1e4, 1e5, 1e6, 1e7, 1e8, 1e9};
    for (double p : pow10)
    {
        // The scaled value crosses 2^64 between these neighbours.
        double limit = std::ldexp(1.0, 64) / p;
        double v = limit;
        for (int k = 0; k < 4; k++)
        {
            values.push_back(v);
            values.push_back(-v);
            v = std::nextafter(v, 0.0);
        }
        values.push_back(std::nextafter(limit, 1e300));
        // A tie at the last digit in the scaled form just below 2^64.
        values.push_back(std::ldexp(std::floor(std::ldexp(limit, -12)), 12) + 0.5);
    }
    for (int e = -40; e <= 12; e++)
    {
        values.push_back(std::ldexp(1.0, e) * 1.2345678901234567);
        values.push_back(-std::ldexp(1.0, e) * 0.6180339887498949);
    }
    for (int precision = 0; precision <= 10; precision++)
    {
        std::string form = "%." + std::to_string(precision) + "f";
        for (double v : values)
        {
            lua_getglobal(L, "string");
            lua_pushliteral(L, "format");
            lua_rawget(L, -2);
            lua_pushstring(L, form.c_str());
            lua_pushnumber(L, v);
            ASSERT_EQ(lua_pcall(L, 2, 1, 0), 0) << lua_tostring(L, -1);
            char expected[512];
            std::snprintf(expected, sizeof expected, form.c_str(), v);
            EXPECT_EQ(mState.Text(-1), expected) << form << " of " << v;
            lua_settop(L, 0);
        }
    }
    // Negative zero made at run time (a literal -0 folds into the constant 0).
    EXPECT_EQ(mState.Eval("(function() local z = 0 z = -z "
                          "return string.format('%.0f|%5.1f|%-6.2f|', z, z, z) end)()"),
              "-0| -0.0|-0.00 |");
}

TEST_F(StringLibTest, FormatMessages)
{
    EXPECT_EQ(mState.Eval("string.format('%y', 1)"), "error: test:1: invalid option to `format'");
    EXPECT_EQ(mState.Eval("string.format('%123d', 1)"),
              "error: test:1: invalid format (width or precision too long)");
    EXPECT_EQ(mState.Eval("string.format('%1$d', 1)"),
              "error: test:1: obsolete option (d$) to `format'");
    EXPECT_EQ(mState.Eval("string.format('%d')"),
              "error: test:1: bad argument #2 to `format' (number expected, got no value)");
}

TEST_F(StringLibTest, FormatBooleans)
{
    EXPECT_EQ(mState.Eval("string.format('%B %B', true, nil)"), "true false");
    EXPECT_EQ(mState.Eval("string.format('%B', 1)"),
              "error: test:1: bad argument #2 to `format' (boolean expected, got number)");
}

TEST_F(StringLibTest, FormatRereadableQuoting)
{
    EXPECT_EQ(mState.Eval("string.format('%Q', 'a\\1')"), "\"a\\x01\"");
    EXPECT_EQ(mState.Eval("string.format('%Q', 'q\"\\t\\200')"), "\"q\\\"\\t\\xc8\"");
    EXPECT_EQ(mState.Eval("string.format('%Q', L\"a\\x263a\\n\")"), "L\"a\\x263a\\n\"");
    EXPECT_EQ(mState.Eval("string.format('%Q', 12)"), "\"12\"");
}

TEST_F(StringLibTest, FormatQuotedTextReadsBack)
{
    EXPECT_EQ(mState.Run("local s = 'x\\1\\255\"\\\\\\r' "
                         "assert(loadstring('return ' .. string.format('%Q', s))() == s) "
                         "local w = L\"\\x263a\\0z\" "
                         "assert(loadstring('return ' .. string.format('%Q', w))() == w)"),
              "");
}

TEST_F(StringLibTest, FormatRawBinaryFields)
{
    EXPECT_EQ(mState.Eval("string.format('%bd', 1)"), Bytes({1, 0, 0, 0}));
    EXPECT_EQ(mState.Eval("string.format('%bb%bw', 257, 258)"), Bytes({1, 2, 1}));
    EXPECT_EQ(mState.Eval("string.format('%bf', 1)"), Bytes({0, 0, 0x80, 0x3F}));
    EXPECT_EQ(mState.Eval("string.format('%bF', 1)"), Bytes({0, 0, 0, 0, 0, 0, 0xF0, 0x3F}));
    EXPECT_EQ(mState.Eval("string.format('<%bz>', 1)"), "<>");
}

TEST_F(StringLibTest, LualexNarrow)
{
    EXPECT_EQ(mState.Eval("string.lualex('a\\\\tb\\\\65c', 0)"), "a\tbAc");
    EXPECT_EQ(mState.Eval("string.lualex('\\\\a\\\\b\\\\f\\\\n\\\\r\\\\v\\\\q', 0)"),
              "\a\b\f\n\r\vq");
    // A \x escape is written as two bytes, the value's low byte first.
    EXPECT_EQ(mState.Eval("string.lualex('\\\\x41!', 0)"), Bytes({'A', 0, '!'}));
    EXPECT_EQ(mState.Eval("string.lualex('\\\\x4142', 0)"), Bytes({'A', 0, '4', '2'}));
    EXPECT_EQ(mState.Eval("string.lualex('\\\\xg', 0)"), "xg");
    EXPECT_EQ(mState.Eval("string.lualex('\\\\3001', 0)"), Bytes({300 & 0xFF, '1'}));
    EXPECT_EQ(mState.Eval("string.lualex('a')"),
              "error: test:1: bad argument #2 to `lualex' (number expected, got no value)");
}

TEST_F(StringLibTest, LualexWideGivesUtf16le)
{
    EXPECT_EQ(mState.Eval("string.lualex('a\\\\tb', 1)"), Bytes({'a', 0, 9, 0, 'b', 0}));
    EXPECT_EQ(mState.Eval("string.lualex('\\\\x263a!', 1)"), Bytes({0x3a, 0x26, '!', 0}));
    EXPECT_EQ(mState.Eval("string.lualex('\\\\65', 1)"), Bytes({'A', 0}));
}

TEST_F(StringLibTest, PackByteOrders)
{
    EXPECT_EQ(mState.Eval("string.pack('<H>H', 1, 1)"), Bytes({1, 0, 0, 1}));
    EXPECT_EQ(mState.Eval("string.pack('I', 4294967295)"), Bytes({0xFF, 0xFF, 0xFF, 0xFF}));
    EXPECT_EQ(mState.Eval("string.pack('i', -1)"), Bytes({0xFF, 0xFF, 0xFF, 0xFF}));
    EXPECT_EQ(mState.Eval("string.pack('i', 3000000000)"), Bytes({0, 0, 0, 0x80}));
    EXPECT_EQ(mState.Eval("string.pack('>h', -2)"), Bytes({0xFF, 0xFE}));
    EXPECT_EQ(mState.Eval("string.pack('b3', 1, 2, 3)"), Bytes({1, 2, 3}));
    EXPECT_EQ(mState.Eval("string.pack('B, B', true, false)"), Bytes({1, 0}));
    EXPECT_EQ(mState.Eval("string.pack('f', 1)"), Bytes({0, 0, 0x80, 0x3F}));
    EXPECT_EQ(mState.Eval("string.pack('>d', 1)"), Bytes({0x3F, 0xF0, 0, 0, 0, 0, 0, 0}));
}

TEST_F(StringLibTest, PackStrings)
{
    EXPECT_EQ(mState.Eval("string.pack('p', 'abc')"), Bytes({3, 'a', 'b', 'c'}));
    EXPECT_EQ(mState.Eval("string.pack('>P', 'ab')"), Bytes({0, 2, 'a', 'b'}));
    EXPECT_EQ(mState.Eval("string.pack('a', 'x')"), Bytes({1, 0, 0, 0, 'x'}));
    EXPECT_EQ(mState.Eval("string.pack('z', 'ab')"), Bytes({'a', 'b', 0}));
    EXPECT_EQ(mState.Eval("string.pack('A', 'ab')"), "ab");
    EXPECT_EQ(mState.Eval("string.pack('wz', L\"ab\")"), Bytes({'a', 0, 'b', 0, 0, 0}));
    EXPECT_EQ(mState.Eval("string.pack('>wp', L\"a\")"), Bytes({1, 0, 'a'}));
    EXPECT_EQ(mState.Eval("string.pack('wA', 12)"), Bytes({'1', 0, '2', 0}));
}

TEST_F(StringLibTest, PackPadding)
{
    EXPECT_EQ(mState.Eval("string.pack('@8:32 b @', 1)"), Bytes({1, 32, 32, 32, 32, 32, 32, 32}));
    EXPECT_EQ(mState.Eval("string.pack('@4 H @ b @', 1, 2)"), Bytes({1, 0, 0, 0, 2}));
}

TEST_F(StringLibTest, PackErrors)
{
    EXPECT_EQ(mState.Eval("string.pack('k', 1)"),
              "error: test:1: bad argument #1 to `pack' (bad code `k')");
    EXPECT_EQ(mState.Eval("string.pack('B', 1)"), "error: test:1: expected a boolean");
}

TEST_F(StringLibTest, Unpack)
{
    mState.ExpectEvalAlls({{"string.unpack('\\1\\0\\0\\0', 'i')", {"5", "1"}},
                           {"string.unpack('\\255', 'b')", {"2", "255"}},
                           {"string.unpack('\\255', 'c')", {"2", "-1"}},
                           {"string.unpack('abc', 'A2')", {"3", "ab"}},
                           {"string.unpack('\\0\\1\\255\\255', '>H<h')", {"5", "1", "-1"}},
                           {"string.unpack('ab\\0cd', 'zz')", {"6", "ab", "cd"}},
                           {"string.unpack('\\3abcd', 'pb')", {"6", "abc", "100"}},
                           {"string.unpack('\\1\\0', 'B2')", {"3", "true", "false"}},
                           {"string.unpack('xxab', 'A2', 3)", {"5", "ab"}},
                           {"string.unpack('a\\0b\\0\\0\\0', 'wz')", {"7", "L:ab"}}});
}

TEST_F(StringLibTest, UnpackStopsOnShortData)
{
    EXPECT_EQ(mState.EvalAll("string.unpack('\\1\\2\\3', 'bi')"), (Values{"2", "1"}));
    EXPECT_EQ(mState.EvalAll("string.unpack('\\9ab', 'p')"), (Values{"1"}));
    EXPECT_EQ(mState.Eval("string.unpack('ab', '@')"),
              "error: test:1: bad argument #1 to `unpack' (bad code `@')");
}

TEST_F(StringLibTest, PackRoundTrip)
{
    EXPECT_EQ(mState.EvalAll("string.unpack(string.pack('>IhdwaP', 4000000000, -5, 0.5, L\"hi\", "
                             "'xyz'), '>IhdwaP')"),
              (Values{"28", "4000000000", "-5", "0.5", "L:hi", "xyz"}));
}

TEST_F(StringLibTest, HugeRepeatCountIsAnError)
{
    EXPECT_EQ(mState.Eval("string.rep('x', 2^40)"), "error: test:1: resulting string too large");
    EXPECT_EQ(mState.Eval("string.len(string.rep('', 2^40))"), "0");
}

// A long result is built in one block of its size: the peak stays near it, and its text is whole
// whatever the piece's length.
TEST_F(StringLibTest, RepeatBuildsItsResultInOneBlock)
{
    static testsupport::BlockUsage usage; // the state closes through it after the test
    lua_setallocator(mState.L, testsupport::CountBlocks, &usage);
    usage.peak = usage.live;
    const long long before = usage.live;
    ASSERT_EQ(mState.Run("s = string.rep('abc', 2^22)"), "");
    const long long result = 3ll << 22;
    EXPECT_LT(usage.peak - before, result + result / 8);
    EXPECT_EQ(mState.Eval("string.len(s)"), std::to_string(result));
    EXPECT_EQ(mState.Eval("s == string.rep('abcabc', 2^21)"), "true");
    EXPECT_EQ(mState.Eval("string.sub(s, -4)"), "cabc");
    EXPECT_EQ(mState.Eval("string.rep('xyz', 7)"), "xyzxyzxyzxyzxyzxyzxyz");
    EXPECT_EQ(mState.Eval("string.rep('q', 1)"), "q");
    EXPECT_EQ(mState.Eval("string.rep('ab', 2.9)"), "abab");
    EXPECT_EQ(mState.Eval("string.rep('ab', -1)"), "");
}

TEST_F(StringLibTest, DumpAndLoadBack)
{
    EXPECT_EQ(mState.Eval("loadstring(string.dump(function(a) return a * 2 end))(21)"), "42");
    EXPECT_EQ(mState.Eval("string.dump(print)"), "error: test:1: unable to dump given function");
}

} // namespace
