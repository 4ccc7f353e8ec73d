// Math library: the elementary functions in radians, `mod`, `frexp`/`ldexp`, `min`/`max`, the
// runtime's random generator, the field "pi" and the power operator's fallback "__pow".
#include "script/lauxlib.h"
#include "script/lualib.h"

#include <cmath>
#include <cstdlib>

namespace
{

constexpr double kPi = 3.14159265358979323846;
constexpr double kRadiansPerDegree = kPi / 180.0;
// The generator's values are folded to this range, whatever the runtime's own maximum is.
constexpr int kRandomRange = 32767;

// Truncation to int that stays defined for values out of range.
int CheckInt(lua_State* L, int arg)
{
    lua_Number d = luaL_checknumber(L, arg);
    if (!(d > -2147483649.0 && d < 2147483648.0))
    {
        return d > 0 ? 2147483647 : (-2147483647 - 1);
    }
    return (int)d;
}

int MathAbs(lua_State* L)
{
    lua_pushnumber(L, std::fabs(luaL_checknumber(L, 1)));
    return 1;
}

int MathSin(lua_State* L)
{
    lua_pushnumber(L, std::sin(luaL_checknumber(L, 1)));
    return 1;
}

int MathCos(lua_State* L)
{
    lua_pushnumber(L, std::cos(luaL_checknumber(L, 1)));
    return 1;
}

int MathTan(lua_State* L)
{
    lua_pushnumber(L, std::tan(luaL_checknumber(L, 1)));
    return 1;
}

int MathAsin(lua_State* L)
{
    lua_pushnumber(L, std::asin(luaL_checknumber(L, 1)));
    return 1;
}

int MathAcos(lua_State* L)
{
    lua_pushnumber(L, std::acos(luaL_checknumber(L, 1)));
    return 1;
}

int MathAtan(lua_State* L)
{
    lua_pushnumber(L, std::atan(luaL_checknumber(L, 1)));
    return 1;
}

int MathAtan2(lua_State* L)
{
    lua_pushnumber(L, std::atan2(luaL_checknumber(L, 1), luaL_checknumber(L, 2)));
    return 1;
}

int MathCeil(lua_State* L)
{
    lua_pushnumber(L, std::ceil(luaL_checknumber(L, 1)));
    return 1;
}

int MathFloor(lua_State* L)
{
    lua_pushnumber(L, std::floor(luaL_checknumber(L, 1)));
    return 1;
}

int MathMod(lua_State* L)
{
    lua_pushnumber(L, std::fmod(luaL_checknumber(L, 1), luaL_checknumber(L, 2)));
    return 1;
}

int MathSqrt(lua_State* L)
{
    lua_pushnumber(L, std::sqrt(luaL_checknumber(L, 1)));
    return 1;
}

int MathPow(lua_State* L)
{
    lua_pushnumber(L, std::pow(luaL_checknumber(L, 1), luaL_checknumber(L, 2)));
    return 1;
}

int MathLog(lua_State* L)
{
    lua_pushnumber(L, std::log(luaL_checknumber(L, 1)));
    return 1;
}

int MathLog10(lua_State* L)
{
    lua_pushnumber(L, std::log10(luaL_checknumber(L, 1)));
    return 1;
}

int MathExp(lua_State* L)
{
    lua_pushnumber(L, std::exp(luaL_checknumber(L, 1)));
    return 1;
}

int MathDeg(lua_State* L)
{
    lua_pushnumber(L, luaL_checknumber(L, 1) / kRadiansPerDegree);
    return 1;
}

int MathRad(lua_State* L)
{
    lua_pushnumber(L, luaL_checknumber(L, 1) * kRadiansPerDegree);
    return 1;
}

int MathFrexp(lua_State* L)
{
    int e;
    lua_pushnumber(L, std::frexp(luaL_checknumber(L, 1), &e));
    lua_pushnumber(L, (lua_Number)e);
    return 2;
}

int MathLdexp(lua_State* L)
{
    lua_pushnumber(L, std::ldexp(luaL_checknumber(L, 1), CheckInt(L, 2)));
    return 1;
}

int MathMin(lua_State* L)
{
    int n = lua_gettop(L);
    lua_Number dmin = luaL_checknumber(L, 1);
    for (int i = 2; i <= n; i++)
    {
        lua_Number d = luaL_checknumber(L, i);
        if (d < dmin)
        {
            dmin = d;
        }
    }
    lua_pushnumber(L, dmin);
    return 1;
}

int MathMax(lua_State* L)
{
    int n = lua_gettop(L);
    lua_Number dmax = luaL_checknumber(L, 1);
    for (int i = 2; i <= n; i++)
    {
        lua_Number d = luaL_checknumber(L, i);
        if (d > dmax)
        {
            dmax = d;
        }
    }
    lua_pushnumber(L, dmax);
    return 1;
}

int MathRandom(lua_State* L)
{
    lua_Number r = (lua_Number)(std::rand() % kRandomRange) / (lua_Number)kRandomRange;
    switch (lua_gettop(L))
    {
    case 0:
        lua_pushnumber(L, r);
        break;
    case 1:
    {
        int u = CheckInt(L, 1);
        luaL_argcheck(L, 1 <= u, 1, "interval is empty");
        lua_pushnumber(L, std::floor(r * u) + 1);
        break;
    }
    case 2:
    {
        int l = CheckInt(L, 1);
        int u = CheckInt(L, 2);
        luaL_argcheck(L, l <= u, 2, "interval is empty");
        lua_pushnumber(L, std::floor(r * ((double)u - l + 1)) + l);
        break;
    }
    default:
        return luaL_error(L, "wrong number of arguments");
    }
    return 1;
}

int MathRandomseed(lua_State* L)
{
    std::srand((unsigned)CheckInt(L, 1));
    return 0;
}

const luaL_reg kMathFunctions[] = {
    {"abs", MathAbs},     {"sin", MathSin},       {"cos", MathCos},
    {"tan", MathTan},     {"asin", MathAsin},     {"acos", MathAcos},
    {"atan", MathAtan},   {"atan2", MathAtan2},   {"ceil", MathCeil},
    {"floor", MathFloor}, {"mod", MathMod},       {"frexp", MathFrexp},
    {"ldexp", MathLdexp}, {"sqrt", MathSqrt},     {"min", MathMin},
    {"max", MathMax},     {"log", MathLog},       {"log10", MathLog10},
    {"exp", MathExp},     {"deg", MathDeg},       {"pow", MathPow},
    {"rad", MathRad},     {"random", MathRandom}, {"randomseed", MathRandomseed},
    {nullptr, nullptr}};

} // namespace

int luaopen_math(lua_State* L)
{
    luaL_openlib(L, LUA_MATHLIBNAME, kMathFunctions, 0);
    lua_pushliteral(L, "pi");
    lua_pushnumber(L, kPi);
    lua_settable(L, -3);
    // The power operator's fallback is the library's own `pow`.
    lua_pushliteral(L, "__pow");
    lua_pushliteral(L, "pow");
    lua_rawget(L, -3);
    lua_settable(L, LUA_GLOBALSINDEX);
    return 1;
}
