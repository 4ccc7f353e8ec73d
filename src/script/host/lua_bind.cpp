// Unbinding of member functions, the marking of member records and the error raised by a binding
// whose object is gone.
#include "script/lua_bind.h"

#include "script/lauxlib.h"

namespace
{
const char kMemberRecordMeta[] = "_LuaBindMemberRecord";

// Pushes the marking metatable, made on first use.
void PushMemberRecordMeta(lua_State* L)
{
    lua_pushstring(L, kMemberRecordMeta);
    lua_rawget(L, LUA_REGISTRYINDEX);
    if (lua_istable(L, -1))
        return;
    lua_pop(L, 1);
    lua_newtable(L);
    lua_pushstring(L, kMemberRecordMeta);
    lua_pushvalue(L, -2);
    lua_rawset(L, LUA_REGISTRYINDEX);
}

bool IsMemberRecord(lua_State* L, int idx)
{
    if (lua_type(L, idx) != LUA_TUSERDATA || !lua_getmetatable(L, idx))
        return false;
    lua_pushstring(L, kMemberRecordMeta);
    lua_rawget(L, LUA_REGISTRYINDEX);
    bool marked = lua_rawequal(L, -1, -2) != 0;
    lua_pop(L, 2);
    return marked;
}
} // namespace

namespace luabind_detail
{

int RaiseDestroyedObject(lua_State* L)
{
    return luaL_error(L, "attempt to call a script function whose object no longer exists");
}

void MarkMemberRecord(lua_State* L)
{
    PushMemberRecordMeta(L);
    lua_setmetatable(L, -2);
}

} // namespace luabind_detail

void LuaUnbindMember(lua_State* L, const char* name, const void* object)
{
    if (object != nullptr)
    {
        lua_pushstring(L, name);
        lua_rawget(L, LUA_GLOBALSINDEX);
        if (lua_iscfunction(L, -1) && lua_getupvalue(L, -1, 1) != nullptr)
        {
            if (IsMemberRecord(L, -1))
            {
                auto* head = static_cast<luabind_detail::MemberRecordHead*>(lua_touserdata(L, -1));
                if (head->mOwner == object || head->mObject == object)
                    head->mObject = nullptr;
            }
            lua_pop(L, 1);
        }
        lua_pop(L, 1);
    }
    lua_pushstring(L, name);
    lua_pushnil(L);
    lua_settable(L, LUA_GLOBALSINDEX);
}

bool LuaUnbindMemberIfBound(lua_State* L, const char* name, const void* object)
{
    bool bound = false;
    lua_pushstring(L, name);
    lua_rawget(L, LUA_GLOBALSINDEX);
    if (lua_iscfunction(L, -1) && lua_getupvalue(L, -1, 1) != nullptr)
    {
        if (IsMemberRecord(L, -1))
        {
            auto* head = static_cast<luabind_detail::MemberRecordHead*>(lua_touserdata(L, -1));
            bound = object != nullptr && (head->mOwner == object || head->mObject == object);
        }
        lua_pop(L, 1);
    }
    lua_pop(L, 1);
    if (bound)
        LuaUnbindMember(L, name, object);
    return bound;
}
