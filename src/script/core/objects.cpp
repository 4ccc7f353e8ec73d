// Memory management through the allocator hook and the generic object helpers: number reading,
// formatted messages, chunk identifiers and raw equality.
#include <bit>
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "script/core/calls.h"
#include "script/core/debug_info.h"
#include "script/core/gc.h"
#include "script/core/object.h"
#include "script/core/hex_digit.h"
#include "script/core/state.h"
#include "script/core/vm.h"

#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/asan_interface.h>
#else
#define ASAN_POISON_MEMORY_REGION(addr, size) ((void)(addr), (void)(size))
#define ASAN_UNPOISON_MEMORY_REGION(addr, size) ((void)(addr), (void)(size))
#endif

const TObject luaO_nilobject = {LUA_TNIL, {nullptr}};

// Largest request served: requests of 2^32 - 3 bytes or more are refused.
static constexpr size_t kMaxBlock = 0xFFFFFFFFu - 2;
// Class n holds blocks of 16 * n - 8 bytes: the C library's chunks are 16-byte multiples with an
// 8-byte header, so a block of its class takes the same chunk as one of its exact size.
static size_t SmallClass(size_t size)
{
    return luaM_smallclass(size);
}

static size_t SmallBytes(size_t cls)
{
    return luaM_smallbytes(cls);
}

// The default allocator's side of luaM_realloc. Every block of up to kSmallBlockMax bytes is
// taken with its size rounded up to its class, so a released one serves any later
// request of the same class; the C library's own calls per block were a quarter of the time of
// scripts making many small tables, closures and coroutines. Same blocks, same counting: only
// when the C library is asked changes.
static void* SmallRealloc(lua_State* L, global_State* g, void* block, size_t oldsize, size_t size)
{
    if (size == 0)
    {
        if (block == nullptr)
            return nullptr;
        g->nblocks -= oldsize;
        size_t bytes = SmallBytes(SmallClass(oldsize));
        if (oldsize <= kSmallBlockMax && g->smallfreebytes + bytes <= kSmallKeepMax)
        {
            void*& head = g->smallfree[SmallClass(oldsize)];
            *static_cast<void**>(block) = head;
            head = block;
            g->smallfreebytes += bytes;
            ASAN_POISON_MEMORY_REGION(block, bytes);
        }
        else
            std::free(block);
        return nullptr;
    }
    void* result;
    if (size <= kSmallBlockMax)
    {
        size_t cls = SmallClass(size);
        void*& head = g->smallfree[cls];
        if (block == nullptr && head != nullptr)
        {
            result = head;
            ASAN_UNPOISON_MEMORY_REGION(result, SmallBytes(cls));
            head = *static_cast<void**>(result);
            g->smallfreebytes -= SmallBytes(cls);
        }
        else
            result = std::realloc(block, SmallBytes(cls));
    }
    else
        result = std::realloc(block, size);
    if (result == nullptr)
        luaD_throw(L, LUA_ERRMEM);
    g->nblocks = g->nblocks + size - oldsize;
    return result;
}

void luaM_releasesmall(lua_State* L)
{
    global_State* g = G(L);
    for (int cls = 1; cls < kSmallBlockClasses; cls++)
    {
        while (g->smallfree[cls] != nullptr)
        {
            void* block = g->smallfree[cls];
            ASAN_UNPOISON_MEMORY_REGION(block, SmallBytes(static_cast<size_t>(cls)));
            g->smallfree[cls] = *static_cast<void**>(block);
            std::free(block);
        }
    }
    g->smallfreebytes = 0;
}

void* luaM_realloc(lua_State* L, void* block, size_t oldsize, size_t size)
{
    if (size >= kMaxBlock)
        luaG_runerror(L, "memory allocation error: block too big");
    global_State* g = G(L);
    if (g->smallpool)
        return SmallRealloc(L, g, block, oldsize, size);
    void* result = g->frealloc(g->ud, block, oldsize, size, 0, L->bufferResizing);
    if (result == nullptr && size > 0)
        luaD_throw(L, LUA_ERRMEM);
    g->nblocks = g->nblocks + size - oldsize;
    return result;
}

void luaM_free(lua_State* L, void* block, size_t size)
{
    if (block != nullptr)
        luaM_realloc(L, block, size, 0);
}

void* luaM_growaux(lua_State* L, void* block, int* size, size_t elemsize, int limit,
                   const char* what)
{
    constexpr int kMinSize = 4;
    int newsize;
    if (*size >= limit / 2)
    {
        if (*size < limit - kMinSize)
            newsize = limit;
        else
            luaG_runerror(L, "%s", what);
    }
    else
    {
        newsize = *size * 2;
        if (newsize < kMinSize)
            newsize = kMinSize;
    }
    void* result = luaM_realloc(L, block, static_cast<size_t>(*size) * elemsize,
                                static_cast<size_t>(newsize) * elemsize);
    *size = newsize;
    return result;
}

int luaO_log2(unsigned int x)
{
    // Floor of log2, -1 for 0: the position of the highest set bit.
    return x == 0 ? -1 : 31 - __builtin_clz(x);
}

int luaO_int2fb(unsigned int x)
{
    int e = 0;
    while (x >= 8)
    {
        x = (x + 1) >> 1;
        e++;
    }
    return (e << 3) | static_cast<int>(x);
}

int luaO_rawequalObj(const TObject* t1, const TObject* t2)
{
    if (ttype(t1) != ttype(t2))
        return 0;
    switch (ttype(t1))
    {
    case LUA_TNIL:
        return 1;
    case LUA_TNUMBER:
        return nvalue(t1) == nvalue(t2);
    case LUA_TBOOLEAN:
        return bvalue(t1) == bvalue(t2);
    case LUA_TLIGHTUSERDATA:
        return pvalue(t1) == pvalue(t2);
    case LUA_TSTRING:
    case LUA_TWSTRING:
        return luaS_equal(tsvalue(t1), tsvalue(t2));
    default:
        return gcvalue(t1) == gcvalue(t2);
    }
}

// Reads p (after its sign) when it is at most 15 digits with an optional point and no exponent,
// followed only by white space: such a number is an integer below 2^53 over a power of ten of
// at most 10^22, both exact as doubles, and the one correctly rounded division gives what strtod
// gives. Anything else is left to strtod (false).
static bool ShortDecimal(const char* p, bool negative, lua_Number* result)
{
    static constexpr double kPowersOfTen[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                              1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                              1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
    constexpr int kMaxDigits = 15;
    uint64_t mantissa = 0;
    int digits = 0;
    int decimals = 0;
    for (; *p >= '0' && *p <= '9' && digits <= kMaxDigits; p++, digits++)
        mantissa = mantissa * 10 + static_cast<uint64_t>(*p - '0');
    if (*p == '.')
    {
        for (p++; *p >= '0' && *p <= '9' && digits <= kMaxDigits; p++, digits++, decimals++)
            mantissa = mantissa * 10 + static_cast<uint64_t>(*p - '0');
    }
    if (digits == 0 || digits > kMaxDigits)
        return false;
    while (isspace(static_cast<unsigned char>(*p)))
        p++;
    if (*p != '\0')
        return false;
    double value = static_cast<double>(mantissa) / kPowersOfTen[decimals];
    *result = negative ? -value : value;
    return true;
}

int luaO_str2d(const char* s, lua_Number* result)
{
    // Decimal text only (as the original platform's C library read it): no hexadecimal, no
    // "inf" or "nan" spellings.
    const char* p = s;
    while (isspace(static_cast<unsigned char>(*p)))
        p++;
    bool negative = *p == '-';
    if (*p == '+' || *p == '-')
        p++;
    if (!(isdigit(static_cast<unsigned char>(*p)) || *p == '.'))
        return 0;
    if (p[0] == '0' && (p[1] == 'x' || p[1] == 'X'))
        return 0;
    if (ShortDecimal(p, negative, result))
        return 1;
    char* endptr;
    lua_Number res = strtod(s, &endptr);
    if (endptr == s)
        return 0;
    while (isspace(static_cast<unsigned char>(*endptr)))
        endptr++;
    if (*endptr != '\0')
        return 0;
    *result = res;
    return 1;
}

static bool IsDigitUnit(lua_WChar c)
{
    return c >= '0' && c <= '9';
}
static bool IsSpaceUnit(lua_WChar c)
{
    return c < 256 && isspace(static_cast<int>(c));
}

int luaO_wstr2d(const lua_WChar* s, size_t len, lua_Number* result)
{
    size_t i = 0;
    bool negative = false;
    double intpart = 0.0;
    double frac = 0.0;
    int exponent = 0;
    bool expNegative = false;
    double base = 10.0;
    if (len >= 2 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X'))
    {
        base = 2.0;
        i = 2;
        int d;
        while (i < len && (d = HexDigitValue(s[i])) >= 0)
        {
            intpart = intpart * 16.0 + d;
            i++;
        }
        if (i < len && s[i] == '.')
        {
            i++;
            double weight = 1.0 / 16.0;
            while (i < len && (d = HexDigitValue(s[i])) >= 0)
            {
                frac += d * weight;
                weight /= 16.0;
                i++;
            }
            if (i < len && (s[i] == 'p' || s[i] == 'P'))
            {
                i++;
                if (i < len && (s[i] == '+' || s[i] == '-'))
                    expNegative = s[i++] == '-';
                while (i < len && IsDigitUnit(s[i]))
                    exponent = exponent * 10 + (s[i++] - '0');
            }
        }
    }
    else
    {
        if (i < len && (s[i] == '+' || s[i] == '-'))
            negative = s[i++] == '-';
        while (i < len && IsDigitUnit(s[i]))
            intpart = intpart * 10.0 + (s[i++] - '0');
        if (i < len && s[i] == '.')
        {
            i++;
            double weight = 0.1;
            while (i < len && IsDigitUnit(s[i]))
            {
                frac += (s[i++] - '0') * weight;
                weight /= 10.0;
            }
        }
        if (i < len && (s[i] == 'e' || s[i] == 'E'))
        {
            i++;
            if (i < len && (s[i] == '+' || s[i] == '-'))
                expNegative = s[i++] == '-';
            while (i < len && IsDigitUnit(s[i]))
                exponent = exponent * 10 + (s[i++] - '0');
        }
    }
    if (i == 0)
        return 0;
    for (size_t j = i; j < len; j++)
    {
        if (!IsSpaceUnit(s[j]))
            return 0;
    }
    double value = intpart + frac;
    double scale = std::pow(base, exponent);
    value = expNegative ? value / scale : value * scale;
    *result = negative ? -value : value;
    return 1;
}

// "00" to "99", two digits written at a time.
static constexpr char kDigitPairs[] =
    "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
    "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
    "8081828384858687888990919293949596979899";

// The decimal digits of v, written at buff; returns their count.
static int WriteDigits(char* buff, uint32_t v)
{
    // The smallest number of each digit count.
    static constexpr uint32_t kPowers[] = {0,      10,      100,      1000,      10000,
                                           100000, 1000000, 10000000, 100000000, 1000000000};
    // About log10(2) digits a bit: the estimate from the bit count is exact or one too many.
    int len = (std::bit_width(v | 1) * 1233 >> 12) + 1;
    len -= v < kPowers[len - 1];
    char* p = buff + len;
    while (v >= 100)
    {
        uint32_t pair = v % 100;
        v /= 100;
        p -= 2;
        memcpy(p, kDigitPairs + 2 * pair, 2);
    }
    if (v >= 10)
        memcpy(p - 2, kDigitPairs + 2 * v, 2);
    else
        p[-1] = static_cast<char>('0' + v);
    return len;
}

int luaO_number2str(char* buff, lua_Number n)
{
    // Counters and indices, the numbers most often made text (keys, names, messages).
    if (n >= 0 && n < 4294967296.0)
    {
        uint32_t v = static_cast<uint32_t>(n);
        if (static_cast<lua_Number>(v) == n && (v != 0 || !std::signbit(n)))
            return WriteDigits(buff, v);
    }
    // Whole numbers below 10^14 print all their digits under "%.14g", without exponent or
    // point; -0 keeps its sign.
    if (n > -1e14 && n < 1e14 && n == static_cast<lua_Number>(static_cast<long long>(n)))
    {
        if (n == 0 && std::signbit(n))
        {
            buff[0] = '-';
            buff[1] = '0';
            return 2;
        }
        return static_cast<int>(
            std::to_chars(buff, buff + LUAI_MAXNUMBER2STR, static_cast<long long>(n)).ptr - buff);
    }
    if (std::isfinite(n))
    {
        // The standard defines this conversion as printf's, and it is exact, so the text is the
        // same as "%.14g" gives, without the C library's slower arbitrary-precision path.
        return static_cast<int>(
            std::to_chars(buff, buff + LUAI_MAXNUMBER2STR, n, std::chars_format::general, 14).ptr -
            buff);
    }
    char tmp[LUAI_MAXNUMBER2STR];
    int len = snprintf(tmp, sizeof(tmp), "%.14g", n);
    memcpy(buff, tmp, static_cast<size_t>(len));
    return len;
}

static void PushString(lua_State* L, const char* s, size_t l)
{
    setsvalue(L->top, luaS_newlstr(L, s, l));
    incr_top(L);
}

const char* luaO_pushvfstring(lua_State* L, const char* fmt, va_list argp)
{
    std::string out;
    for (const char* p = fmt; *p != '\0'; p++)
    {
        if (*p != '%')
        {
            out.push_back(*p);
            continue;
        }
        p++;
        switch (*p)
        {
        case 's':
        {
            const char* s = va_arg(argp, const char*);
            out.append(s != nullptr ? s : "(null)");
            break;
        }
        case 'c':
            out.push_back(static_cast<char>(va_arg(argp, int)));
            break;
        case 'd':
            out.append(std::to_string(va_arg(argp, int)));
            break;
        case 'f':
        {
            char buff[LUAI_MAXNUMBER2STR];
            int len = luaO_number2str(buff, va_arg(argp, double));
            out.append(buff, static_cast<size_t>(len));
            break;
        }
        case '%':
            out.push_back('%');
            break;
        case '\0':
            out.push_back('%');
            p--;
            break;
        default:
            out.push_back('%');
            out.push_back(*p);
            break;
        }
    }
    PushString(L, out.data(), out.size());
    return svalue(L->top - 1);
}

const char* luaO_pushfstring(lua_State* L, const char* fmt, ...)
{
    va_list argp;
    va_start(argp, fmt);
    const char* msg = luaO_pushvfstring(L, fmt, argp);
    va_end(argp);
    return msg;
}

void luaO_chunkid(char* out, const char* source, int bufflen)
{
    if (*source == '=')
    {
        snprintf(out, static_cast<size_t>(bufflen), "%s", source + 1);
        return;
    }
    if (*source == '@')
    {
        source++;
        int room = bufflen - static_cast<int>(sizeof(" `...' "));
        int l = static_cast<int>(strlen(source));
        out[0] = '\0';
        if (l > room)
        {
            source += l - room;
            strcat(out, "...");
        }
        strcat(out, source);
        return;
    }
    int len = static_cast<int>(strcspn(source, "\n"));
    int room = bufflen - static_cast<int>(sizeof(" [string \"...\"] "));
    if (len > room)
        len = room;
    strcpy(out, "[string \"");
    if (source[len] != '\0')
    {
        strncat(out, source, static_cast<size_t>(len));
        strcat(out, "...");
    }
    else
        strcat(out, source);
    strcat(out, "\"]");
}
