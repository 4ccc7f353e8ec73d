// TWindowStyle's getters and the lookup through the default style's "parent" chain.
#include "ui/window_style.h"

#include "platform/log.h"
#include "script/lua_object_wrapper.h"
#include "script/script.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace
{

// Restores the stack top when a getter returns.
class TStackGuard
{
public:
    explicit TStackGuard(lua_State* L) : mState(L), mTop(L != nullptr ? lua_gettop(L) : 0) {}
    ~TStackGuard()
    {
        if (mState != nullptr)
            lua_settop(mState, mTop);
    }
    TStackGuard(const TStackGuard&) = delete;
    TStackGuard& operator=(const TStackGuard&) = delete;

private:
    lua_State* mState;
    int mTop;
};

// Deeper than any style a screen builds on purpose.
constexpr size_t kMaxStyleDepth = 64;

// Once per style table: a getter runs for every key a window reads, often each frame. The tables
// already reported are kept weakly in the registry, so that a collected one takes nothing along.
bool FirstReport(lua_State* L, int table)
{
    static const char kReported = 0;
    lua_pushlightuserdata(L, const_cast<char*>(&kReported));
    lua_rawget(L, LUA_REGISTRYINDEX);
    if (!lua_istable(L, -1))
    {
        lua_pop(L, 1);
        lua_newtable(L);
        lua_newtable(L);
        lua_pushstring(L, "__mode");
        lua_pushstring(L, "k");
        lua_rawset(L, -3);
        lua_setmetatable(L, -2);
        lua_pushlightuserdata(L, const_cast<char*>(&kReported));
        lua_pushvalue(L, -2);
        lua_rawset(L, LUA_REGISTRYINDEX);
    }
    lua_pushvalue(L, table);
    lua_rawget(L, -2);
    const bool first = lua_isnil(L, -1);
    lua_pop(L, 1);
    if (first)
    {
        lua_pushvalue(L, table);
        lua_pushboolean(L, 1);
        lua_rawset(L, -3);
    }
    lua_pop(L, 1);
    return first;
}

// With the table where the walk stopped on top.
void ReportBrokenChain(lua_State* L, const TString& key, bool cycle)
{
    const int table = lua_gettop(L);
    if (!FirstReport(L, table))
        return;
    lua_pushstring(L, "name");
    lua_rawget(L, table);
    const TString name = lua_type(L, -1) == LUA_TSTRING ? lua_tostring(L, -1) : "(unnamed)";
    lua_pop(L, 1);
    Log("Window style %s: its \"parent\" chain %s (reading \"%s\"); the key counts as absent",
        name.c_str(), cycle ? "comes back to itself" : "is deeper than 64 styles", key.c_str());
}

} // namespace

bool TWindowStyle::Find(lua_State* L, const TString& key, bool useDefault)
{
    const int base = lua_gettop(L);
    const bool fromTable = lua_istable(L, -1);
    lua_pushstring(L, key.c_str());
    lua_gettable(L, fromTable ? -2 : LUA_GLOBALSINDEX);
    if (!lua_isnil(L, -1))
        return true;
    lua_pop(L, 1);
    if (useDefault)
    {
        lua_pushstring(L, "gCurrentDefaultStyle");
        lua_gettable(L, LUA_GLOBALSINDEX);
    }
    else if (fromTable)
    {
        lua_pushstring(L, "parent");
        lua_gettable(L, -2);
    }
    else
    {
        return false;
    }
    // The chain is walked in place, one table on the stack at a time: content decides its length,
    // and a table that names itself (or an earlier link) as parent would never end.
    // On the stack: a lookup runs for every key a window reads, and most walk the chain.
    std::array<const void*, kMaxStyleDepth> seen;
    size_t count = 0;
    if (!useDefault)
        seen[count++] = lua_topointer(L, base);
    while (lua_istable(L, -1))
    {
        const void* link = lua_topointer(L, -1);
        const bool cycle =
            std::find(seen.begin(), seen.begin() + count, link) != seen.begin() + count;
        if (cycle || count >= kMaxStyleDepth)
        {
            ReportBrokenChain(L, key, cycle);
            lua_settop(L, base);
            return false;
        }
        seen[count++] = link;
        lua_pushstring(L, key.c_str());
        lua_gettable(L, -2);
        if (!lua_isnil(L, -1))
        {
            lua_remove(L, -2);
            return true;
        }
        lua_pop(L, 1);
        lua_pushstring(L, "parent");
        lua_gettable(L, -2);
        lua_remove(L, -2);
    }
    lua_settop(L, base);
    return false;
}

std::unique_ptr<TLuaTable> TWindowStyle::CopyTable() const
{
    if (mTable == nullptr || mTable->GetState() == nullptr)
        return nullptr;
    mTable->Push();
    return std::make_unique<TLuaTable>(mTable->GetState());
}

bool TWindowStyle::PushValue(const TString& key) const
{
    if (mTable == nullptr || mTable->GetState() == nullptr)
        return false;
    mTable->Push();
    return Find(mTable->GetState(), key, true);
}

double TWindowStyle::GetNumber(const TString& key, double def) const
{
    lua_State* L = mTable != nullptr ? mTable->GetState() : nullptr;
    TStackGuard guard(L);
    if (!PushValue(key))
        return def;
    return lua_tonumber(L, -1);
}

int32_t TWindowStyle::GetInt(const TString& key, int32_t def) const
{
    double value = GetNumber(key, def);
    if (std::isnan(value))
        return 0;
    if (value >= 2147483647.0)
        return INT32_MAX;
    if (value <= -2147483648.0)
        return INT32_MIN;
    return static_cast<int32_t>(value);
}

TString TWindowStyle::GetString(const TString& key, const TString& def) const
{
    lua_State* L = mTable != nullptr ? mTable->GetState() : nullptr;
    TStackGuard guard(L);
    if (!PushValue(key))
        return def;
    return PopScriptString(L);
}

TVec4 TWindowStyle::GetColor(const TString& key, float r, float g, float b, float a) const
{
    lua_State* L = mTable != nullptr ? mTable->GetState() : nullptr;
    TStackGuard guard(L);
    if (!PushValue(key))
        return TVec4(r, g, b, a);
    return PopScriptVec4(L);
}

bool TWindowStyle::GetBool(const TString& key, bool def) const
{
    lua_State* L = mTable != nullptr ? mTable->GetState() : nullptr;
    TStackGuard guard(L);
    if (!PushValue(key))
        return def;
    return PopScriptBool(L);
}

TLuaTable* TWindowStyle::GetTable(const TString& key) const
{
    lua_State* L = mTable != nullptr ? mTable->GetState() : nullptr;
    TStackGuard guard(L);
    if (!PushValue(key))
        return nullptr;
    return new TLuaTable(L);
}

std::unique_ptr<TLuaTable> TWindowStyle::GetTableOnly(const TString& key) const
{
    lua_State* L = mTable != nullptr ? mTable->GetState() : nullptr;
    TStackGuard guard(L);
    if (!PushValue(key) || !lua_istable(L, -1))
        return nullptr;
    return std::make_unique<TLuaTable>(L);
}

TLuaFunction* TWindowStyle::GetFunction(const TString& key) const
{
    lua_State* L = mTable != nullptr ? mTable->GetState() : nullptr;
    TStackGuard guard(L);
    if (!PushValue(key))
        return nullptr;
    return new TLuaFunction(L);
}
