// String library, binary records: `pack` and `unpack` with their byte orders, counts, strings
// and padding.
#include "script/lib/lib_string.h"
#include "script/lauxlib.h"

#include <cctype>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace string_lib
{

namespace
{

// ---------------------------------------------------------------------------------------------
// pack and unpack

struct PackOrder
{
    bool mBigEndian = false;
};

void PutUnsigned(luaL_Buffer* b, uint64_t v, int size, const PackOrder& order)
{
    for (int k = 0; k < size; k++)
    {
        int shift = order.mBigEndian ? (size - 1 - k) * 8 : k * 8;
        luaL_putchar(b, (char)((v >> shift) & 0xFF));
    }
}

uint64_t GetUnsigned(const unsigned char* p, int size, const PackOrder& order)
{
    uint64_t v = 0;
    for (int k = 0; k < size; k++)
    {
        int shift = order.mBigEndian ? (size - 1 - k) * 8 : k * 8;
        v |= (uint64_t)p[k] << shift;
    }
    return v;
}

[[noreturn]] void BadCode(lua_State* L, char code)
{
    char msg[] = "bad code `?'";
    msg[10] = code;
    luaL_argerror(L, 1, msg);
    std::abort(); // not reached: the argument error does not return
}

int ReadCount(const char*& p, const char* end)
{
    long n = 0;
    while (p < end && std::isdigit(uchar(*p)))
    {
        n = n * 10 + (*p++ - '0');
        if (n > 100000000)
        {
            n = 100000000;
        }
    }
    return (int)n;
}

void PackString(lua_State* L, luaL_Buffer* b, int arg, char code, bool wide, const PackOrder& order)
{
    size_t n;
    const char* s = nullptr;
    const lua_WChar* w = nullptr;
    if (wide)
    {
        w = luaL_checklwstring(L, arg, &n);
    }
    else
    {
        s = luaL_checklstring(L, arg, &n);
    }
    switch (code)
    {
    case 'p':
        PutUnsigned(b, n & 0xFF, 1, order);
        break;
    case 'P':
        PutUnsigned(b, n & 0xFFFF, 2, order);
        break;
    case 'a':
        PutUnsigned(b, n & 0xFFFFFFFFu, 4, order);
        break;
    default:
        break;
    }
    if (wide)
    {
        for (size_t i = 0; i < n; i++)
        {
            PutUnsigned(b, w[i], 2, order);
        }
        if (code == 'z')
        {
            PutUnsigned(b, 0, 2, order);
        }
    }
    else
    {
        luaL_addlstring(b, s, n);
        if (code == 'z')
        {
            luaL_putchar(b, '\0');
        }
    }
}

} // namespace

int StrPack(lua_State* L)
{
    size_t fl;
    const char* p = luaL_checklstring(L, 1, &fl);
    const char* end = p + fl;
    int arg = 2;
    PackOrder order;
    luaL_Buffer b;
    luaL_buffinit(L, &b);
    // Bytes written so far; the record mark and its size for "@" padding.
    size_t written = 0;
    int padState = 0;
    size_t padMark = 0;
    size_t padSize = 0;
    int padFill = 0;
    while (p < end)
    {
        char code = *p++;
        bool wide = false;
        if (code == 'w')
        {
            if (p >= end)
            {
                break;
            }
            wide = true;
            code = *p++;
        }
        if (code == '@')
        {
            if (padState == 0)
            {
                padSize = (size_t)ReadCount(p, end);
                if (p < end && *p == ':')
                {
                    p++;
                    padFill = ReadCount(p, end);
                }
                padMark = written;
                padState = 1;
            }
            else
            {
                ReadCount(p, end);
                if (padState == 1)
                {
                    while (written - padMark < padSize)
                    {
                        luaL_putchar(&b, (char)padFill);
                        written++;
                    }
                    padState = 2;
                }
            }
            continue;
        }
        int count = ReadCount(p, end);
        if (count == 0)
        {
            count = 1;
        }
        switch (code)
        {
        case ' ':
        case ',':
            continue;
        case '<':
            order.mBigEndian = false;
            continue;
        case '>':
            order.mBigEndian = true;
            continue;
        case '=':
            order.mBigEndian = false; // this machine's order
            continue;
        case 'b':
        case 'c':
        case 'B':
        case 'h':
        case 'H':
        case 'i':
        case 'l':
        case 'I':
        case 'L':
        case 'f':
        case 'd':
        case 'n':
        case 'A':
        case 'z':
        case 'p':
        case 'P':
        case 'a':
            break;
        default:
            BadCode(L, code);
        }
        for (int k = 0; k < count; k++, arg++)
        {
            luaL_Buffer* bp = &b;
            switch (code)
            {
            case 'b':
            case 'c':
                PutUnsigned(bp, (uint64_t)TruncToInt64(luaL_checknumber(L, arg)) & 0xFF, 1, order);
                written += 1;
                break;
            case 'B':
                if (!lua_isboolean(L, arg))
                {
                    luaL_error(L, "expected a boolean");
                }
                PutUnsigned(bp, lua_toboolean(L, arg) ? 1 : 0, 1, order);
                written += 1;
                break;
            case 'h':
                PutUnsigned(bp, (uint32_t)TruncToInt32(luaL_checknumber(L, arg)) & 0xFFFF, 2,
                            order);
                written += 2;
                break;
            case 'H':
                PutUnsigned(bp, (uint64_t)TruncToInt64(luaL_checknumber(L, arg)) & 0xFFFF, 2,
                            order);
                written += 2;
                break;
            case 'i':
            case 'l':
                PutUnsigned(bp, (uint32_t)TruncToInt32(luaL_checknumber(L, arg)), 4, order);
                written += 4;
                break;
            case 'I':
            case 'L':
                PutUnsigned(bp, TruncLow32(luaL_checknumber(L, arg)), 4, order);
                written += 4;
                break;
            case 'f':
            {
                float f = (float)luaL_checknumber(L, arg);
                uint32_t bits;
                std::memcpy(&bits, &f, 4);
                PutUnsigned(bp, bits, 4, order);
                written += 4;
                break;
            }
            case 'd':
            case 'n':
            {
                double d = luaL_checknumber(L, arg);
                uint64_t bits;
                std::memcpy(&bits, &d, 8);
                PutUnsigned(bp, bits, 8, order);
                written += 8;
                break;
            }
            default:
            {
                PackString(L, bp, arg, code, wide, order);
                size_t len = lua_strlen(L, arg); // a number argument was converted by the check
                size_t unitSize = wide ? 2 : 1;
                size_t header = code == 'p' ? 1 : code == 'P' ? 2 : code == 'a' ? 4 : 0;
                written += header + len * unitSize + (code == 'z' ? unitSize : 0);
                break;
            }
            }
        }
    }
    luaL_pushresult(&b);
    return 1;
}

int StrUnpack(lua_State* L)
{
    size_t dl;
    const char* data = luaL_checklstring(L, 1, &dl);
    size_t fl;
    const char* p = luaL_checklstring(L, 2, &fl);
    const char* end = p + fl;
    lua_Number start = luaL_optnumber(L, 3, 1);
    size_t pos = 0;
    if (start > 1)
    {
        pos = start > (lua_Number)dl + 1 ? dl : (size_t)start - 1;
    }
    const unsigned char* u = reinterpret_cast<const unsigned char*>(data);
    PackOrder order;
    lua_settop(L, 3);
    lua_pushnil(L); // replaced by the final position
    int results = 1;
    bool stopped = false;
    while (p < end && !stopped)
    {
        char code = *p++;
        bool wide = false;
        if (code == 'w')
        {
            if (p >= end)
            {
                break;
            }
            wide = true;
            code = *p++;
        }
        int count = ReadCount(p, end);
        if (count == 0)
        {
            count = 1;
        }
        int size = 0;
        switch (code)
        {
        case ' ':
        case ',':
            continue;
        case '<':
            order.mBigEndian = false;
            continue;
        case '>':
            order.mBigEndian = true;
            continue;
        case '=':
            order.mBigEndian = false;
            continue;
        case 'b':
        case 'c':
        case 'B':
            size = 1;
            break;
        case 'h':
        case 'H':
            size = 2;
            break;
        case 'i':
        case 'l':
        case 'I':
        case 'L':
        case 'f':
            size = 4;
            break;
        case 'd':
        case 'n':
            size = 8;
            break;
        case 'A':
        {
            size_t unit = wide ? 2 : 1;
            size_t need = (size_t)count * unit;
            if (dl - pos < need)
            {
                stopped = true;
                break;
            }
            luaL_checkstack(L, 1, "too many results");
            if (wide)
            {
                luaL_Buffer b;
                luaL_wbuffinit(L, &b);
                for (int k = 0; k < count; k++)
                {
                    lua_WChar w = (lua_WChar)GetUnsigned(u + pos + (size_t)k * 2, 2, order);
                    luaL_addlwstring(&b, &w, 1);
                }
                luaL_pushresult(&b);
            }
            else
            {
                lua_pushlstring(L, data + pos, need);
            }
            pos += need;
            results++;
            continue;
        }
        case 'z':
        case 'p':
        case 'P':
        case 'a':
            break;
        default:
            BadCode(L, code);
        }
        if (stopped)
        {
            break;
        }
        for (int k = 0; k < count && !stopped; k++)
        {
            luaL_checkstack(L, 1, "too many results");
            if (size > 0)
            {
                if (dl - pos < (size_t)size)
                {
                    stopped = true;
                    break;
                }
                uint64_t v = GetUnsigned(u + pos, size, order);
                pos += (size_t)size;
                switch (code)
                {
                case 'b':
                case 'H':
                case 'I':
                case 'L':
                    lua_pushnumber(L, (lua_Number)v);
                    break;
                case 'c':
                    lua_pushnumber(L, (lua_Number)(int8_t)(uint8_t)v);
                    break;
                case 'B':
                    lua_pushboolean(L, v != 0);
                    break;
                case 'h':
                    lua_pushnumber(L, (lua_Number)(int16_t)(uint16_t)v);
                    break;
                case 'i':
                case 'l':
                    lua_pushnumber(L, (lua_Number)(int32_t)(uint32_t)v);
                    break;
                case 'f':
                {
                    uint32_t bits = (uint32_t)v;
                    float f;
                    std::memcpy(&f, &bits, 4);
                    lua_pushnumber(L, (lua_Number)f);
                    break;
                }
                default:
                {
                    double d;
                    std::memcpy(&d, &v, 8);
                    lua_pushnumber(L, d);
                    break;
                }
                }
                results++;
                continue;
            }
            // Strings: z up to a terminator; p, P, a after a length field.
            size_t unit = wide ? 2 : 1;
            size_t at = pos;
            size_t units = 0;
            size_t skip = 0;
            if (code == 'z')
            {
                if (pos >= dl)
                {
                    stopped = true; // nothing left to read a string from
                    break;
                }
                while (at + (units + 1) * unit <= dl)
                {
                    if (GetUnsigned(u + at + units * unit, (int)unit, order) == 0)
                    {
                        skip = unit;
                        break;
                    }
                    units++;
                }
            }
            else
            {
                int lenSize = code == 'p' ? 1 : code == 'P' ? 2 : 4;
                if (dl - pos < (size_t)lenSize)
                {
                    stopped = true;
                    break;
                }
                units = (size_t)GetUnsigned(u + pos, lenSize, order);
                at = pos + (size_t)lenSize;
                if ((dl - at) / unit < units)
                {
                    stopped = true;
                    break;
                }
            }
            if (wide)
            {
                luaL_Buffer b;
                luaL_wbuffinit(L, &b);
                for (size_t k2 = 0; k2 < units; k2++)
                {
                    lua_WChar w = (lua_WChar)GetUnsigned(u + at + k2 * 2, 2, order);
                    luaL_addlwstring(&b, &w, 1);
                }
                luaL_pushresult(&b);
            }
            else
            {
                lua_pushlstring(L, data + at, units);
            }
            pos = at + units * unit + skip;
            results++;
        }
    }
    lua_pushnumber(L, (lua_Number)(pos + 1));
    lua_replace(L, 4);
    return results;
}

} // namespace string_lib
