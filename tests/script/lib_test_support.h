// Test support for the script libraries: a state with the libraries open and helpers that run
// code and collect its results or its error message.
#pragma once

#include "script/lauxlib.h"
#include "script/lua.h"
#include "script/lualib.h"

#include <gtest/gtest.h>

#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

// The texts of an expression's values, as EvalAll gives them.
using Values = std::vector<std::string>;

class LibState
{
public:
    explicit LibState(bool withMath = true)
    {
        L = lua_open();
        luaopen_base(L);
        luaopen_string(L);
        luaopen_table(L);
        if (withMath)
        {
            luaopen_math(L);
        }
        lua_register(L, "__pass", PassArguments);
        lua_settop(L, 0);
    }
    ~LibState() { lua_close(L); }
    LibState(const LibState&) = delete;
    LibState& operator=(const LibState&) = delete;

    // Runs a chunk; "" on success, else the error message.
    std::string Run(const std::string& code)
    {
        lua_settop(L, 0);
        int status = luaL_loadbuffer(L, code.data(), code.size(), "=test");
        if (status == 0)
        {
            status = lua_pcall(L, 0, LUA_MULTRET, 0);
        }
        if (status != 0)
        {
            std::string msg = lua_tostring(L, -1) ? lua_tostring(L, -1) : "(no message)";
            lua_settop(L, 0);
            return msg;
        }
        return "";
    }

    // The results of the expression as text: strings raw, numbers as "%.14g", booleans and nil
    // by name, wide strings as their low bytes prefixed by "L:". An error gives "error: <msg>".
    std::vector<std::string> EvalAll(const std::string& expr)
    {
        // Passing the values through a native function keeps the calls inside the expression
        // ordinary calls (not tail calls), so that argument errors name their function.
        std::string err = Run("return __pass(" + expr + ")");
        if (!err.empty())
        {
            return {"error: " + err};
        }
        std::vector<std::string> out;
        int n = lua_gettop(L);
        for (int i = 1; i <= n; i++)
        {
            out.push_back(Text(i));
        }
        lua_settop(L, 0);
        return out;
    }

    std::string Eval(const std::string& expr)
    {
        std::vector<std::string> all = EvalAll(expr);
        return all.empty() ? "(none)" : all[0];
    }

    // Each expression's first value against the text expected (as Eval gives it); a failure names
    // the expression.
    void ExpectEvals(std::initializer_list<std::pair<std::string, std::string>> cases)
    {
        for (const auto& [expr, first] : cases)
            EXPECT_EQ(Eval(expr), first) << expr;
    }

    // Each expression's values against the texts expected (as EvalAll gives them).
    void ExpectEvalAlls(std::initializer_list<std::pair<std::string, Values>> cases)
    {
        for (const auto& [expr, values] : cases)
            EXPECT_EQ(EvalAll(expr), values) << expr;
    }

    std::string Text(int i)
    {
        switch (lua_type(L, i))
        {
        case LUA_TNIL:
            return "nil";
        case LUA_TBOOLEAN:
            return lua_toboolean(L, i) ? "true" : "false";
        case LUA_TNUMBER:
        {
            lua_pushvalue(L, i);
            std::string s = lua_tostring(L, -1);
            lua_pop(L, 1);
            return s;
        }
        case LUA_TSTRING:
            return std::string(lua_tostring(L, i), lua_strlen(L, i));
        case LUA_TWSTRING:
        {
            const lua_WChar* w = lua_towstring(L, i);
            std::string s = "L:";
            for (size_t k = 0; k < lua_strlen(L, i); k++)
            {
                s += (char)(w[k] & 0xFF);
            }
            return s;
        }
        default:
            return lua_typename(L, lua_type(L, i));
        }
    }

    lua_State* L;

private:
    static int PassArguments(lua_State* L) { return lua_gettop(L); }
};
