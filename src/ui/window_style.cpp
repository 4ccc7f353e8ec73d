// TWindowStyle's getters and the lookup through the default style's "parent" chain.
#include "ui/window_style.h"

#include "script/lua_object_wrapper.h"
#include "script/script.h"

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

} // namespace

bool TWindowStyle::Find(lua_State* L, const TString& key, bool useDefault)
{
    if (lua_istable(L, -1))
    {
        lua_pushstring(L, key.c_str());
        lua_gettable(L, -2);
    }
    else
    {
        lua_pushstring(L, key.c_str());
        lua_gettable(L, LUA_GLOBALSINDEX);
    }
    if (!lua_isnil(L, -1))
        return true;
    lua_pop(L, 1);
    if (useDefault)
    {
        lua_pushstring(L, "gCurrentDefaultStyle");
        lua_gettable(L, LUA_GLOBALSINDEX);
    }
    else if (lua_istable(L, -1))
    {
        lua_pushstring(L, "parent");
        lua_gettable(L, -2);
    }
    else
    {
        return false;
    }
    if (!lua_istable(L, -1))
    {
        lua_pop(L, 1);
        return false;
    }
    if (Find(L, key, false))
    {
        lua_remove(L, -2);
        return true;
    }
    lua_pop(L, 1);
    return false;
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
