// How the framework's script functions read their typed arguments (a number, a text), so that a
// wrong-typed argument reaches the member as invalid instead of as 0 or "", and the log line they
// write for it.
#pragma once

#include "framework/core/settings.h"
#include "script/lua_bind.h"

template <> struct luabind_detail::Arg<TScriptNumber, void>
{
    using Holder = TScriptNumber;
    static Holder Get(lua_State* L, int i)
    {
        if (lua_isnumber(L, i) == 0)
            return TScriptNumber{};
        return TScriptNumber{lua_tonumber(L, i), true};
    }
    static TScriptNumber Pass(Holder& h) { return h; }
};

template <> struct luabind_detail::Arg<TScriptText, void>
{
    using Holder = TScriptText;
    static Holder Get(lua_State* L, int i)
    {
        if (lua_isstring(L, i) == 0)
            return TScriptText{};
        return TScriptText{LuaGetString(L, i), true};
    }
    static TScriptText Pass(Holder& h) { return h; }
};

// "ERROR: Script function <function>: argument <position> is not a <expected>; nothing done".
void LogWrongArgument(const char* function, int position, const char* expected);
