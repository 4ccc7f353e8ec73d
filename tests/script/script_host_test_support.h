// Test support for the script host: a scratch working folder whose log is read back, with an
// asset manager installed so compiled scripts are cached as in the running program.
#pragma once

#include "platform/files/asset_manager.h"
#include "support/file_layer_fixture.h"
#include "script/lauxlib.h"
#include "script/lua.h"

#include <string>

class ScriptHostTest : public filetest::FileLayerTest
{
protected:
    void SetUp() override
    {
        filetest::FileLayerTest::SetUp();
        SetAssetManager(&mAssets);
    }

    void TearDown() override
    {
        SetAssetManager(nullptr);
        filetest::FileLayerTest::TearDown();
    }

    // The log's text without the time stamps ("<24 characters>: " before each line).
    std::string LogText() const
    {
        std::string raw = Log();
        std::string out;
        size_t pos = 0;
        while (pos < raw.size())
        {
            size_t start = raw.find(": ", pos);
            if (start == std::string::npos || start != pos + 24)
            {
                // A continuation line of a message holding line breaks.
                size_t end = raw.find('\n', pos);
                end = end == std::string::npos ? raw.size() : end + 1;
                out += raw.substr(pos, end - pos);
                pos = end;
                continue;
            }
            size_t end = raw.find('\n', start);
            end = end == std::string::npos ? raw.size() : end + 1;
            out += raw.substr(start + 2, end - start - 2);
            pos = end;
        }
        return out;
    }

    bool LogHas(const std::string& text) const { return LogText().find(text) != std::string::npos; }

    // Runs code in a state, protected; "" or the error message.
    static std::string Run(lua_State* L, const std::string& code)
    {
        int status = luaL_loadbuffer(L, code.data(), code.size(), "=test");
        if (status == 0)
            status = lua_pcall(L, 0, 0, 0);
        if (status == 0)
            return "";
        const char* message = lua_tostring(L, -1);
        std::string text = message != nullptr ? message : "(no message)";
        lua_pop(L, 1);
        return text;
    }

    static std::string GlobalText(lua_State* L, const char* name)
    {
        lua_getglobal(L, name);
        const char* text = lua_tostring(L, -1);
        std::string out = text != nullptr ? text : lua_typename(L, lua_type(L, -1));
        if (lua_isboolean(L, -1))
            out = lua_toboolean(L, -1) ? "true" : "false";
        lua_pop(L, 1);
        return out;
    }

    TAssetManager mAssets;
};
