// Fuzz target: the script engine's quick ways (remembered field places, __index chains walked in
// the interpreter, tail calls in place, array parts of pages of their own, pattern sets worked out
// once, padded "%s", arguments read directly) against plain ways doing the same work, in programs
// made from the input (see script_paths_program.h). Any error of a program stops the run: a
// difference names what differed, and a program is written so that nothing else fails.
#include "script/lauxlib.h"
#include "script/lua.h"
#include "script/lualib.h"
#include "script_paths_program.h"

#include <cstdio>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::string code = script_paths::Program(data, size, 48);
    lua_State* L = lua_open();
    luaopen_base(L);
    luaopen_string(L);
    luaopen_table(L);
    lua_settop(L, 0);
    int status = luaL_loadbuffer(L, code.data(), code.size(), "=paths");
    if (status == 0)
        status = lua_pcall(L, 0, 0, 0);
    if (status != 0)
    {
        const char* message = lua_tostring(L, -1);
        std::fprintf(stderr, "%s\n--- program:\n%s\n", message != nullptr ? message : "?",
                     code.c_str());
        std::abort();
    }
    lua_close(L);
    return 0;
}
