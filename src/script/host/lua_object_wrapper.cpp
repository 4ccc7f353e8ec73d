// Registry-anchored script values: the wrappers' constructors and destructors, table getters and
// setters, iteration, and the string helpers the call adapters use.
#include "script/lua_object_wrapper.h"

#include "script/script.h"

TLuaObjectWrapper::TLuaObjectWrapper(lua_State* L) : mState(L)
{
    lua_pushlightuserdata(L, this);
    lua_insert(L, -2);
    lua_rawset(L, LUA_REGISTRYINDEX);
}

TLuaObjectWrapper::~TLuaObjectWrapper()
{
    lua_pushlightuserdata(mState, this);
    lua_pushnil(mState);
    lua_rawset(mState, LUA_REGISTRYINDEX);
}

void TLuaObjectWrapper::Push() const
{
    lua_pushlightuserdata(mState, const_cast<TLuaObjectWrapper*>(this));
    lua_rawget(mState, LUA_REGISTRYINDEX);
}

TString TLuaObjectWrapper::ToString() const
{
    Push();
    TString text = LuaGetString(mState, -1);
    lua_pop(mState, 1);
    return text;
}

bool TLuaObjectWrapper::DeleteLater()
{
    lua_pushstring(mState, "_SCRIPT");
    lua_rawget(mState, LUA_GLOBALSINDEX);
    TScript* script = lua_islightuserdata(mState, -1)
                          ? static_cast<TScript*>(lua_touserdata(mState, -1))
                          : nullptr;
    lua_pop(mState, 1);
    if (script == nullptr)
        return false;
    script->QueueDelete(this);
    return true;
}

TLuaTable* TLuaTable::Wrap(lua_State* L, int idx)
{
    lua_pushvalue(L, idx);
    TLuaTable* table = new TLuaTable(L);
    table->DeleteLater();
    return table;
}

void TLuaTable::IndexWithKeyOnTop() const
{
    Push();
    int type = lua_type(mState, -1);
    // Only values that can be indexed are asked: the getters never raise for a wrapper over a
    // value that is not a table.
    if (type == LUA_TTABLE || type == LUA_TUSERDATA)
    {
        lua_insert(mState, -2);
        lua_gettable(mState, -2);
        lua_remove(mState, -2);
    }
    else
    {
        lua_pop(mState, 2);
        lua_pushnil(mState);
    }
}

bool TLuaTable::PushFieldWithKeyOnTop() const
{
    IndexWithKeyOnTop();
    if (lua_isnil(mState, -1))
    {
        lua_pop(mState, 1);
        return false;
    }
    return true;
}

bool TLuaTable::PushField(const char* key) const
{
    lua_pushstring(mState, key);
    return PushFieldWithKeyOnTop();
}

bool TLuaTable::PushIndex(double key) const
{
    lua_pushnumber(mState, key);
    return PushFieldWithKeyOnTop();
}

TString TLuaTable::GetString(const char* key, const TString& def) const
{
    if (!PushField(key))
        return def;
    TString value = LuaGetString(mState, -1);
    lua_pop(mState, 1);
    return value;
}

TString TLuaTable::GetStringAt(double key, const TString& def) const
{
    if (!PushIndex(key))
        return def;
    TString value = LuaGetString(mState, -1);
    lua_pop(mState, 1);
    return value;
}

double TLuaTable::GetNumber(const char* key, double def) const
{
    if (!PushField(key))
        return def;
    double value = lua_tonumber(mState, -1);
    lua_pop(mState, 1);
    return value;
}

double TLuaTable::GetNumberAt(double key, double def) const
{
    if (!PushIndex(key))
        return def;
    double value = lua_tonumber(mState, -1);
    lua_pop(mState, 1);
    return value;
}

bool TLuaTable::GetBool(const char* key, bool def) const
{
    if (!PushField(key))
        return def;
    bool value = lua_toboolean(mState, -1) != 0;
    lua_pop(mState, 1);
    return value;
}

TLuaTable* TLuaTable::GetTable(const char* key) const
{
    if (!PushField(key))
        return nullptr;
    if (!lua_istable(mState, -1))
    {
        lua_pop(mState, 1);
        return nullptr;
    }
    return new TLuaTable(mState);
}

TLuaTable* TLuaTable::GetTableAt(double key) const
{
    if (!PushIndex(key))
        return nullptr;
    if (!lua_istable(mState, -1))
    {
        lua_pop(mState, 1);
        return nullptr;
    }
    return new TLuaTable(mState);
}

TVec4 TLuaTable::Vec4FromTable(TLuaTable* table, const TVec4& def) const
{
    if (table == nullptr)
        return def;
    TVec4 value(static_cast<float>(table->GetNumberAt(1, def.x)),
                static_cast<float>(table->GetNumberAt(2, def.y)),
                static_cast<float>(table->GetNumberAt(3, def.z)),
                static_cast<float>(table->GetNumberAt(4, def.w)));
    delete table;
    return value;
}

TVec4 TLuaTable::GetVec4(const TString& key, const TVec4& def) const
{
    return Vec4FromTable(GetTable(key.c_str()), def);
}

TVec4 TLuaTable::GetVec4At(double key, const TVec4& def) const
{
    return Vec4FromTable(GetTableAt(key), def);
}

void TLuaTable::ClearField(const TString& key)
{
    Push();
    if (lua_istable(mState, -1))
    {
        lua_pushstring(mState, key.c_str());
        lua_pushnil(mState);
        lua_settable(mState, -3);
    }
    lua_pop(mState, 1);
}

void TLuaTable::SetString(const TString& key, const TString& value)
{
    Push();
    if (lua_istable(mState, -1))
    {
        lua_pushstring(mState, key.c_str());
        LuaPushString(mState, value);
        lua_settable(mState, -3);
    }
    lua_pop(mState, 1);
}

void TLuaTable::SetNumber(const TString& key, double value)
{
    Push();
    if (lua_istable(mState, -1))
    {
        lua_pushstring(mState, key.c_str());
        lua_pushnumber(mState, value);
        lua_settable(mState, -3);
    }
    lua_pop(mState, 1);
}

TLuaTable* TLuaTable::Next(TLuaObjectWrapper** key) const
{
    Push();
    if (*key != nullptr)
        (*key)->Push();
    else
        lua_pushnil(mState);
    delete *key;
    *key = nullptr;
    if (!lua_istable(mState, -2))
    {
        lua_pop(mState, 2);
        return nullptr;
    }
    if (lua_next(mState, -2) == 0)
    {
        lua_pop(mState, 1);
        return nullptr;
    }
    // Stack: table, key, value.
    TLuaTable* value = new TLuaTable(mState);
    *key = new TLuaObjectWrapper(mState);
    lua_pop(mState, 1);
    return value;
}

TString LuaGetString(lua_State* L, int idx)
{
    const char* text = lua_tostring(L, idx);
    if (text == nullptr)
        return TString();
    return TString(text, static_cast<unsigned>(lua_strlen(L, idx)));
}

void LuaPushString(lua_State* L, const TString& text)
{
    lua_pushstring(L, text.c_str());
}
