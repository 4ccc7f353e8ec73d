// Script programs made from arbitrary bytes that do the same work twice, once by the ways the
// engine takes for speed and once by plainer ones, and raise an error starting "differs" at the
// first disagreement:
// - field and method reads through __index chains, reads by joined keys, and global reads under
//   setfenv, against the chain walked with rawget, while fields, metatables and __index links
//   change, tables are rebuilt or collected;
// - integer keys in and past the array part (grown to pages of its own and cut back), with and
//   without a "__newindex" to ask, against a shadow table keyed by strings, read by the
//   interpreter and by rawget;
// - tail calls, with and without upvalues to close, against loops;
// - patterns whose sets and classes are repeated or lead a search, against a backtracking matcher
//   written in the script that tests one character at a time;
// - padded "%s" against the same width through the C library's precision path;
// - a string joined with a number or a string, against table.concat;
// - the libraries' number and string arguments read directly, against the same values passed as
//   text or as numbers.
// Used by the libFuzzer target and by a test over fixed seeds.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace script_paths
{

// Reads choices from the bytes; past their end every choice is 0.
class Choices
{
public:
    Choices(const uint8_t* data, size_t size) : mData(data), mSize(size) {}
    bool Done() const { return mNext >= mSize; }
    int Pick(int n)
    {
        if (mNext >= mSize)
            return 0;
        return mData[mNext++] % n;
    }
    std::string Num(int n) { return std::to_string(Pick(n)); }

private:
    const uint8_t* mData;
    size_t mSize;
    size_t mNext = 0;
};

// Definitions every program starts with: six tables and their shadows, the reference walks and
// the matcher.
inline const char* Prelude()
{
    return "local T, S = {}, {} for i = 1, 6 do T[i] = {} S[i] = {} end\n"
           "local F = {} for i = 1, 4 do F[i] = function() return 'f' .. i end end\n"
           "local function differs(what, a, b)\n"
           "  error('differs: ' .. what .. ': ' .. tostring(a) .. ' vs ' .. tostring(b), 0) end\n"
           "local function same(what, a, b) if a ~= b then differs(what, a, b) end end\n"
           "local function ref(o, k)\n"
           "  for n = 1, 100 do\n"
           "    local v = rawget(o, k) if v ~= nil then return true, v end\n"
           "    local mt = getmetatable(o) if mt == nil then return true, nil end\n"
           "    o = rawget(mt, '__index') if type(o) ~= 'table' then return true, nil end\n"
           "  end return false end\n"
           "local function check(what, ok, v, rok, rv)\n"
           "  if ok ~= rok or (ok and v ~= rv) then differs(what, v, rv) end end\n"
           "local function get_a(o) return o.a end local function get_b(o) return o.b end\n"
           "local function call_a(o) return o:a() end local function call_b(o) return o:b() end\n"
           "local function set_a(o, v) o.a = v end local function set_b(o, v) o.b = v end\n"
           "local function set_index(o, v) o.__index = v end\n"
           "local function getp(o, n) return o['p' .. n] end\n"
           "local hits = 0 local function NI(t, k, v) hits = hits + 1 rawset(t, k, v) end\n"
           "local NIM = {__newindex = NI}\n"
           "local function asks(t) local mt = getmetatable(t)\n"
           "  return mt ~= nil and rawget(mt, '__newindex') ~= nil end\n"
           "local function global_a() return a end local function global_b() return b end\n"
           "local function setglobal_a(v) a = v end local function setglobal_b(v) b = v end\n"
           "local function tail(n, acc) if n <= 0 then return acc end\n"
           "  return tail(n - 1, acc + n) end\n"
           "local function tailup(n, acc) local keep = function() return acc end\n"
           "  if n <= 0 then return keep() end return tailup(n - 1, acc + n) end\n"
           "local function tailvar(n, ...) if n <= 0 then return arg.n end\n"
           "  return tailvar(n - 1, n, unpack(arg)) end\n"
           "local len, sub, find = string.len, string.sub, string.find\n"
           "local function one(s, i, item)\n"
           "  return i <= len(s) and find(sub(s, i, i), '^' .. item) ~= nil end\n"
           "local function match(s, i, items, k)\n"
           "  local it = items[k] if it == nil then return i - 1 end\n"
           "  local x, q = it[1], it[2]\n"
           "  if q == '' then if one(s, i, x) then return match(s, i + 1, items, k + 1) end\n"
           "    return nil end\n"
           "  if q == '?' then if one(s, i, x) then local e = match(s, i + 1, items, k + 1)\n"
           "    if e then return e end end return match(s, i, items, k + 1) end\n"
           "  if q == '-' then local j = i while true do\n"
           "    local e = match(s, j, items, k + 1) if e then return e end\n"
           "    if one(s, j, x) then j = j + 1 else return nil end end end\n"
           "  local j = i while one(s, j, x) do j = j + 1 end\n"
           "  local low = q == '+' and i + 1 or i\n"
           "  while j >= low do local e = match(s, j, items, k + 1) if e then return e end\n"
           "    j = j - 1 end return nil end\n"
           "local function reffind(s, items, anchored, init)\n"
           "  for st = init, len(s) + 1 do local e = match(s, st, items, 1)\n"
           "    if e then return st, e end if anchored then return nil end end return nil end\n";
}

// One character matcher of a pattern: a class, a set or a plain character.
inline std::string Item(Choices& in)
{
    static const char* const kClasses[] = {"%a", "%d", "%s", "%w", "%p", "%x", "%l",
                                           "%u", "%c", "%A", "%D", "%S", "."};
    static const char* const kSetParts[] = {"a",  "b",  "c",     "a-c", "0-2", "%d", "%a",
                                            "%s", "%.", "%-",    "%]",  " ",   ".",  "\\200",
                                            "z",  "_",  "\\255", "%p",  "%W",  "x-z"};
    switch (in.Pick(3))
    {
    case 0:
        return kClasses[in.Pick(13)];
    case 1:
    {
        std::string set = in.Pick(3) == 0 ? "[^" : "[";
        int parts = 1 + in.Pick(3);
        for (int i = 0; i < parts; i++)
            set += kSetParts[in.Pick(20)];
        return set + "]";
    }
    default:
        return std::string(1, "ab0 ._"[in.Pick(6)]);
    }
}

// A subject of up to 24 characters, as a quoted script string.
inline std::string Subject(Choices& in)
{
    static const char* const kChars[] = {"a",   "b",   "c",     "z",     "A", "0", "1",
                                         "9",   " ",   ".",     "-",     "_", "]", "\\t",
                                         "\\n", "\\0", "\\200", "\\255", "x", "%"};
    std::string s = "'";
    int n = in.Pick(25);
    for (int i = 0; i < n; i++)
        s += kChars[in.Pick(20)];
    return s + "'";
}

inline std::string Step(Choices& in)
{
    std::string i = std::to_string(1 + in.Pick(6));
    std::string t = "T[" + i + "]";
    std::string u = "T[" + std::to_string(1 + in.Pick(6)) + "]";
    std::string key = in.Pick(2) ? "a" : "b";
    std::string value;
    switch (in.Pick(4))
    {
    case 0:
        value = "nil";
        break;
    case 1:
        value = "F[" + std::to_string(1 + in.Pick(4)) + "]";
        break;
    default:
        value = in.Num(100);
        break;
    }
    switch (in.Pick(17))
    {
    case 0:
        return "set_" + key + "(" + t + ", " + value + ") same('set', rawget(" + t + ", '" + key +
               "'), " + value + ")\n";
    case 1:
        return "rawset(" + t + ", '" + key + "', " + value + ")\n";
    case 2:
        return "setmetatable(" + t + ", " + (in.Pick(4) == 0 ? "nil" : u) + ")\n";
    case 3:
    {
        std::string link = in.Pick(4) == 0 ? "nil" : u;
        switch (in.Pick(3))
        {
        case 0:
            return "set_index(" + t + ", " + link + ")\n";
        case 1:
            return "rawset(" + t + ", '__index', " + link + ")\n";
        default:
            return "rawset(" + t + ", '__newindex', " + (in.Pick(2) ? "NI" : "nil") + ")\n";
        }
    }
    case 4:
        // Joined keys: written, then read as a joined key is (by text, before the string table)
        // against the chain walked with rawget.
        return "for n = 1, " + in.Num(40) + " do " + t +
               "['p' .. n] = " + (in.Pick(2) ? "n" : "nil") +
               " end for n = 1, 44 do local ok, v = pcall(getp, " + t +
               ", n) check('joined p' .. n, ok, v, ref(" + t + ", 'p' .. n)) end\n";
    case 5:
        return in.Pick(3) == 0 ? "collectgarbage()\n" : t + " = {} S[" + i + "] = {}\n";
    case 6:
        if (in.Pick(2))
            return "setfenv(setglobal_" + key + ", " + t + ") setglobal_" + key + "(" + value +
                   ") same('global write " + key + "', rawget(" + t + ", '" + key + "'), " + value +
                   ")\n";
        return "setfenv(global_" + key + ", " + t + ") do local ok, v = pcall(global_" + key +
               ") check('global " + key + "', ok, v, ref(" + t + ", '" + key + "')) end\n";
    case 7:
    case 8:
        return "do local ok, v = pcall(get_" + key + ", " + t + ") check('get " + key +
               "', ok, v, ref(" + t + ", '" + key +
               "')) end\n"
               "do local rok, rv = ref(" +
               t + ", '" + key + "') if rok and type(rv) == 'function' then check('call " + key +
               "', true, call_" + key + "(" + t + "), true, rv()) end end\n";
    case 9:
    {
        // Integer keys: a run written (or cleared) in the table and its shadow, sometimes long
        // enough for an array part of pages of its own, then every key up to past its end read.
        static const int kEnds[] = {3, 8, 17, 33, 100, 1000, 17000, 40000};
        std::string from = std::to_string(1 + in.Pick(20));
        std::string to = std::to_string(kEnds[in.Pick(8)]);
        std::string v = in.Pick(3) == 0 ? "nil" : "n * " + std::to_string(1 + in.Pick(5));
        std::string asked = in.Pick(3) == 0 ? "setmetatable(" + t + ", NIM) " : "";
        return asked + "for n = " + from + ", " + to + " do local v = " + v + " local was = S[" +
               i + "]['n' .. n] local h = hits " + t + "[n] = v S[" + i +
               "]['n' .. n] = v same('newindex ' .. n, hits - h, was == nil and asks(" + t +
               ") and 1 or 0) end\n"
               "for n = 1, " +
               to + " + 40 do local w = S[" + i + "]['n' .. n] same('rawget ' .. n, rawget(" + t +
               ", n), w) if w ~= nil then same('index ' .. n, " + t + "[n], w) end end\n";
    }
    case 10:
    {
        std::string n = in.Num(60);
        std::string a = in.Num(9);
        std::string k = in.Num(20);
        return "same('tail', tail(" + n + ", " + a + "), " + a + " + " + n + " * (" + n +
               " + 1) / 2) same('tailup', tailup(" + n + ", " + a + "), tail(" + n + ", " + a +
               ")) same('tailvar', tailvar(" + k + "), " + k + ")\n";
    }
    case 11:
    case 12:
    {
        // A pattern of one to three items with quantifiers, anchored or not.
        int count = 1 + in.Pick(3);
        std::string pattern;
        std::string items = "{";
        for (int k = 0; k < count; k++)
        {
            std::string item = Item(in);
            std::string q = std::string("*+-?").substr(static_cast<size_t>(in.Pick(5)), 1);
            pattern += item + q;
            items += "{'" + item + "', '" + q + "'}, ";
        }
        items += "}";
        bool anchored = in.Pick(4) == 0;
        std::string s = Subject(in);
        std::string init = std::to_string(1 + in.Pick(26));
        return "do local s = " + s + " local init = " + init +
               " if init <= len(s) + 1 then local a, b = find(s, '" + (anchored ? "^" : "") +
               pattern + "', init) local ra, rb = reffind(s, " + items + ", " +
               (anchored ? "true" : "false") + ", init) same('find " + (anchored ? "^" : "") +
               pattern + " start', a, ra) same('find " + pattern + " end', b, rb) end end\n";
    }
    case 13:
    {
        std::string s = Subject(in);
        std::string width = std::to_string(1 + in.Pick(29));
        std::string flag = in.Pick(2) ? "-" : "";
        return "same('%" + flag + width + "s', string.format('%" + flag + width + "s', " + s +
               "), string.format('%" + flag + width + ".99s', " + s + "))\n";
    }
    case 14:
    {
        // Arguments read directly against the same values as text (and text as numbers).
        std::string s = Subject(in);
        std::string a = std::to_string(in.Pick(40) - 15);
        std::string b = std::to_string(in.Pick(40) - 15);
        std::string n = in.Num(4);
        return "do local s = " + s + " same('sub', string.sub(s, " + a + ", " + b +
               "), string.sub(s, '" + a + "', '" + b + "')) same('byte', string.byte(s, " + a +
               "), string.byte(s, ' " + a + " ')) same('rep', string.rep(s, " + n +
               "), string.rep(s, '" + n + "')) same('len', string.len(" + a + "), string.len('" +
               a + "')) end\n";
    }
    case 15:
    {
        // Two operands joined, a string then a number or a string (the interpreter's shortest
        // way), against the same text put together by table.concat, as a value and as a key
        // written and read.
        static const char* const kNumbers[] = {"0",    "7",  "-3",    "123456", "9007199254740993",
                                               "1e15", "-0", "1 / 0", "0.1",    "-2.5"};
        std::string a = Subject(in);
        std::string b = in.Pick(2) ? Subject(in) : std::string("(") + kNumbers[in.Pick(10)] + ")";
        return "do local a, b = " + a + ", " + b +
               " local j = table.concat({a, b}) same('join', a .. b, j) local t = {} t[a .. "
               "b] = 1 same('joined key', rawget(t, j), 1) same('joined read', t[a .. b], 1) end\n";
    }
    default:
    {
        std::string x = in.Num(200);
        return "same('upper', string.upper(" + x + " / 8), '' .. (" + x + " / 8))\n";
    }
    }
}

// The whole program: the prelude, then steps until the bytes are used up (at most maxSteps).
inline std::string Program(const uint8_t* data, size_t size, int maxSteps)
{
    Choices in(data, size);
    std::string code = Prelude();
    for (int step = 0; step < maxSteps && !in.Done(); step++)
        code += Step(in);
    return code;
}

} // namespace script_paths
