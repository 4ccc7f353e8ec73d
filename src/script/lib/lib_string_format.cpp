// String library, `format`: the stock conversions, exact fixed and exponent digits, and the
// added boolean, rereadable and raw binary fields.
#include "script/lib/lib_string.h"
#include "script/lauxlib.h"

#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>

namespace string_lib
{

namespace
{

// ---------------------------------------------------------------------------------------------
// format

// One of the format flags "-+ #0".
inline bool IsFormatFlag(char c)
{
    return c == '-' || c == '+' || c == ' ' || c == '#' || c == '0';
}
constexpr int kMaxFormat = 20;
constexpr int kMaxItem = 512;

void AddQuoted(lua_State* L, luaL_Buffer* b, int arg)
{
    size_t l;
    const char* s = luaL_checklstring(L, arg, &l);
    luaL_putchar(b, '"');
    while (l--)
    {
        switch (*s)
        {
        case '"':
        case '\\':
        case '\n':
            luaL_putchar(b, '\\');
            luaL_putchar(b, *s);
            break;
        case '\0':
            luaL_addlstring(b, "\\000", 4);
            break;
        default:
            luaL_putchar(b, *s);
            break;
        }
        s++;
    }
    luaL_putchar(b, '"');
}

// Adds the escape of a control unit 7..13, a quote or a backslash; false for other units.
bool AddSimpleEscape(luaL_Buffer* b, unsigned unit)
{
    static const char kLetters[] = "abtnvfr";
    if (unit >= 7 && unit <= 13)
    {
        luaL_putchar(b, '\\');
        luaL_putchar(b, kLetters[unit - 7]);
        return true;
    }
    if (unit == '"' || unit == '\\')
    {
        luaL_putchar(b, '\\');
        luaL_putchar(b, (char)unit);
        return true;
    }
    return false;
}

// A literal that the lexer reads back to the same value: L"..." for wide strings.
void AddRereadable(lua_State* L, luaL_Buffer* b, int arg)
{
    char hex[8];
    if (lua_type(L, arg) == LUA_TWSTRING)
    {
        size_t n = lua_strlen(L, arg);
        const lua_WChar* w = lua_towstring(L, arg);
        luaL_putchar(b, 'L');
        luaL_putchar(b, '"');
        for (size_t i = 0; i < n; i++)
        {
            unsigned unit = w[i];
            if (AddSimpleEscape(b, unit))
            {
                continue;
            }
            if (unit < 256 && std::isprint((int)unit))
            {
                luaL_putchar(b, (char)unit);
            }
            else
            {
                std::snprintf(hex, sizeof hex, "\\x%04x", unit);
                luaL_addstring(b, hex);
            }
        }
        luaL_putchar(b, '"');
        return;
    }
    size_t n;
    const char* s = lua_tostring(L, arg);
    if (s == nullptr)
    {
        luaL_typerror(L, arg, "string");
    }
    n = lua_strlen(L, arg);
    luaL_putchar(b, '"');
    for (size_t i = 0; i < n; i++)
    {
        unsigned c = uchar(s[i]);
        if (AddSimpleEscape(b, c))
        {
            continue;
        }
        if (std::isprint((int)c))
        {
            luaL_putchar(b, (char)c);
        }
        else
        {
            std::snprintf(hex, sizeof hex, "\\x%02x", c);
            luaL_addstring(b, hex);
        }
    }
    luaL_putchar(b, '"');
}

void AddRawNumber(lua_State* L, luaL_Buffer* b, int arg, char kind)
{
    lua_Number v = luaL_checknumber(L, arg);
    unsigned char bytes[8];
    size_t n = 0;
    switch (kind)
    {
    case 'b':
        bytes[0] = (unsigned char)TruncToInt32(v);
        n = 1;
        break;
    case 'w':
    {
        uint16_t w = (uint16_t)TruncToInt32(v);
        std::memcpy(bytes, &w, 2);
        n = 2;
        break;
    }
    case 'd':
    {
        int32_t d = TruncToInt32(v);
        std::memcpy(bytes, &d, 4);
        n = 4;
        break;
    }
    case 'f':
    {
        float f = (float)v;
        std::memcpy(bytes, &f, 4);
        n = 4;
        break;
    }
    case 'F':
        std::memcpy(bytes, &v, 8);
        n = 8;
        break;
    default:
        break; // any other letter writes nothing
    }
    luaL_addlstring(b, reinterpret_cast<const char*>(bytes), n);
}

void AddDecimal(luaL_Buffer* b, int32_t value)
{
    char digits[12];
    int n = 0;
    uint32_t magnitude = value < 0 ? 0u - (uint32_t)value : (uint32_t)value;
    do
    {
        digits[n++] = (char)('0' + magnitude % 10);
        magnitude /= 10;
    } while (magnitude != 0);
    if (value < 0)
    {
        luaL_putchar(b, '-');
    }
    while (n > 0)
    {
        luaL_putchar(b, digits[--n]);
    }
}

const char* ScanFormat(lua_State* L, const char* strfrmt, char* form)
{
    const char* p = strfrmt;
    while (IsFormatFlag(*p))
    {
        p++;
    }
    if (std::isdigit(uchar(*p)))
    {
        p++;
    }
    if (std::isdigit(uchar(*p)))
    {
        p++; // at most two width digits
    }
    if (*p == '.')
    {
        p++;
        if (std::isdigit(uchar(*p)))
        {
            p++;
        }
        if (std::isdigit(uchar(*p)))
        {
            p++;
        }
    }
    if (std::isdigit(uchar(*p)))
    {
        luaL_error(L, "invalid format (width or precision too long)");
    }
    if (p - strfrmt + 2 > kMaxFormat)
    {
        luaL_error(L, "invalid format (too long)");
    }
    *(form++) = '%';
    std::memcpy(form, strfrmt, (size_t)(p - strfrmt + 1));
    form += p - strfrmt + 1;
    *form = '\0';
    return p;
}

// The digits of "%.<precision>f" for a finite v, computed exactly by integer arithmetic: the
// value times 10^precision, rounded to nearest with ties to even as the C library rounds. Gives
// the length written, or -1 when the precision or the magnitude is beyond this path (the general
// conversion then serves).
int FixedDigits(double v, int precision, char* out, size_t size)
{
    constexpr uint64_t kPow10[] = {1,      10,      100,      1000,      10000,
                                   100000, 1000000, 10000000, 100000000, 1000000000};
    if (precision < 0 || precision > 9 || size < 32)
    {
        return -1;
    }
    uint64_t bits;
    std::memcpy(&bits, &v, sizeof bits);
    bool negative = (bits >> 63) != 0;
    int biased = static_cast<int>((bits >> 52) & 0x7FF);
    uint64_t mantissa = bits & ((uint64_t(1) << 52) - 1);
    int exponent = -1074;
    if (biased != 0)
    {
        mantissa |= uint64_t(1) << 52;
        exponent = biased - 1075;
    }
    // v = mantissa * 2^exponent; scaled = v * 10^precision, rounded.
    uint64_t pow10 = kPow10[precision];
    uint64_t scaled;
    if (exponent >= 0)
    {
        if (exponent > 10)
        {
            return -1;
        }
        unsigned __int128 whole = (static_cast<unsigned __int128>(mantissa) << exponent) * pow10;
        if (whole >> 64 != 0)
        {
            return -1;
        }
        scaled = static_cast<uint64_t>(whole);
    }
    else if (-exponent >= 128)
    {
        scaled = 0; // far below half a unit of the last digit
    }
    else
    {
        int shift = -exponent;
        unsigned __int128 product = static_cast<unsigned __int128>(mantissa) * pow10;
        unsigned __int128 quotient = product >> shift;
        unsigned __int128 rest = product - (quotient << shift);
        unsigned __int128 half = static_cast<unsigned __int128>(1) << (shift - 1);
        if (rest > half || (rest == half && (quotient & 1) != 0))
        {
            quotient++;
        }
        if (quotient >> 64 != 0)
        {
            return -1;
        }
        scaled = static_cast<uint64_t>(quotient);
    }
    char digits[24];
    int n = 0;
    do
    {
        digits[n++] = static_cast<char>('0' + scaled % 10);
        scaled /= 10;
    } while (scaled != 0 || n <= precision);
    char* w = out;
    if (negative)
    {
        *w++ = '-';
    }
    while (n > precision)
    {
        *w++ = digits[--n];
    }
    if (precision > 0)
    {
        *w++ = '.';
        while (n > 0)
        {
            *w++ = digits[--n];
        }
    }
    return static_cast<int>(w - out);
}

// Writes a finite number under a "%[-0][width][.precision]" e/E/f/g/G form exactly as snprintf
// does (the standard defines to_chars with a precision by printf, and it is exact), without the
// C library's slower arbitrary-precision path. Returns the length, or -1 for forms with other
// flags and for values it leaves to snprintf.
int FormatFloat(const char* form, double v, char* buff, size_t size)
{
    if (!std::isfinite(v))
    {
        return -1;
    }
    const char* p = form + 1;
    bool left = false;
    bool zero = false;
    for (; IsFormatFlag(*p); p++)
    {
        if (*p == '-')
        {
            left = true;
        }
        else if (*p == '0')
        {
            zero = true;
        }
        else
        {
            return -1; // "+", " " and "#" are left to snprintf
        }
    }
    int width = 0;
    while (std::isdigit(uchar(*p)))
    {
        width = width * 10 + (*p++ - '0');
    }
    int precision = 6;
    if (*p == '.')
    {
        p++;
        precision = 0;
        while (std::isdigit(uchar(*p)))
        {
            precision = precision * 10 + (*p++ - '0');
        }
    }
    char conv = *p;
    std::chars_format style;
    switch (conv)
    {
    case 'f':
        style = std::chars_format::fixed;
        break;
    case 'e':
    case 'E':
        style = std::chars_format::scientific;
        break;
    case 'g':
    case 'G':
        style = std::chars_format::general;
        break;
    default:
        return -1;
    }
    if (p[1] != '\0' || (size_t)width >= size)
    {
        return -1;
    }
    size_t len;
    int fixed = conv == 'f' ? FixedDigits(v, precision, buff, size) : -1;
    if (fixed >= 0)
    {
        len = (size_t)fixed;
    }
    else
    {
        std::to_chars_result r = std::to_chars(buff, buff + size - 1, v, style, precision);
        if (r.ec != std::errc())
        {
            return -1;
        }
        len = (size_t)(r.ptr - buff);
    }
    if (conv == 'E' || conv == 'G')
    {
        for (char* c = buff; c < buff + len; c++)
        {
            if (*c == 'e')
            {
                *c = 'E';
            }
        }
    }
    if (len < (size_t)width)
    {
        size_t pad = (size_t)width - len;
        if (left)
        {
            std::memset(buff + len, ' ', pad);
        }
        else if (zero)
        {
            // The zeros go between the sign and the digits.
            size_t sign = buff[0] == '-' ? 1 : 0;
            std::memmove(buff + sign + pad, buff + sign, len - sign);
            std::memset(buff + sign, '0', pad);
        }
        else
        {
            std::memmove(buff + pad, buff, len);
            std::memset(buff, ' ', pad);
        }
        len = (size_t)width;
    }
    return (int)len;
}

} // namespace

int StrFormat(lua_State* L)
{
    int arg = 1;
    size_t sfl;
    const char* strfrmt = luaL_checklstring(L, arg, &sfl);
    const char* strfrmtEnd = strfrmt + sfl;
    luaL_Buffer b;
    luaL_buffinit(L, &b);
    while (strfrmt < strfrmtEnd)
    {
        if (*strfrmt != kEsc)
        {
            luaL_putchar(&b, *strfrmt++);
            continue;
        }
        if (*++strfrmt == kEsc)
        {
            luaL_putchar(&b, *strfrmt++);
            continue;
        }
        char form[kMaxFormat + 1];
        char buff[kMaxItem];
        buff[0] = '\0';
        if (std::isdigit(uchar(*strfrmt)) && *(strfrmt + 1) == '$')
        {
            return luaL_error(L, "obsolete option (d$) to `format'");
        }
        arg++;
        strfrmt = ScanFormat(L, strfrmt, form);
        switch (*strfrmt++)
        {
        case 'd':
        case 'i':
            if (form[2] == '\0')
            {
                AddDecimal(&b, TruncToInt32(luaL_checknumber(L, arg))); // plain "%d"
                continue;
            }
            std::snprintf(buff, sizeof buff, form, (int)TruncToInt32(luaL_checknumber(L, arg)));
            break;
        case 'c':
            std::snprintf(buff, sizeof buff, form, (int)TruncToInt32(luaL_checknumber(L, arg)));
            break;
        case 'o':
        case 'u':
        case 'x':
        case 'X':
            std::snprintf(buff, sizeof buff, form, (unsigned)TruncLow32(luaL_checknumber(L, arg)));
            break;
        case 'e':
        case 'E':
        case 'f':
        case 'g':
        case 'G':
        {
            double v = (double)luaL_checknumber(L, arg);
            int len = FormatFloat(form, v, buff, sizeof buff);
            if (len >= 0)
            {
                luaL_addlstring(&b, buff, (size_t)len);
                continue;
            }
            std::snprintf(buff, sizeof buff, form, v);
            break;
        }
        case 'q':
            AddQuoted(L, &b, arg);
            continue;
        case 's':
        {
            size_t l;
            const char* s = luaL_checklstring(L, arg, &l);
            if (form[2] == '\0')
            {
                // Plain "%s": the text up to its first zero byte, or all of a long one.
                luaL_addlstring(&b, s, l >= 100 ? l : std::strlen(s));
                continue;
            }
            if (!std::strchr(form, '.') && l >= 100)
            {
                lua_pushvalue(L, arg);
                luaL_addvalue(&b); // too long to format: added whole
                continue;
            }
            // A width alone, or after "-" (a column of names): padded here as the C library
            // pads it, the text again up to its first zero byte.
            const char* digits = form + (form[1] == '-' ? 2 : 1);
            const char* end = digits;
            size_t width = 0;
            for (; *end >= '0' && *end <= '9'; end++)
            {
                width = width * 10 + static_cast<size_t>(*end - '0');
            }
            if (end > digits && *digits != '0' && end[0] == 's' && end[1] == '\0')
            {
                size_t len = std::strlen(s);
                size_t pad = width > len ? width - len : 0;
                if (form[1] != '-')
                {
                    for (; pad > 0; pad--)
                        luaL_putchar(&b, ' ');
                }
                luaL_addlstring(&b, s, len);
                for (; pad > 0; pad--)
                    luaL_putchar(&b, ' ');
                continue;
            }
            std::snprintf(buff, sizeof buff, form, s);
            break;
        }
        case 'B':
        {
            int t = lua_type(L, arg);
            if (t != LUA_TBOOLEAN && t != LUA_TNIL)
            {
                luaL_typerror(L, arg, "boolean");
            }
            luaL_addstring(&b, lua_toboolean(L, arg) ? "true" : "false");
            continue;
        }
        case 'Q':
            AddRereadable(L, &b, arg);
            continue;
        case 'b':
        {
            char kind = *strfrmt;
            if (strfrmt < strfrmtEnd)
            {
                strfrmt++;
            }
            AddRawNumber(L, &b, arg, kind);
            continue;
        }
        default:
            return luaL_error(L, "invalid option to `format'");
        }
        luaL_addlstring(&b, buff, std::strlen(buff));
    }
    luaL_pushresult(&b);
    return 1;
}

} // namespace string_lib
