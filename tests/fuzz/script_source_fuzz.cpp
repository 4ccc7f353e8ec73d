// Fuzz target: the script compiler over arbitrary source text. What compiles is dumped as a
// precompiled chunk and loaded again, which must succeed: the engine reads back what it writes.
#include "script/lauxlib.h"
#include "script/lua.h"
#include "script/lualib.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace
{

int Collect(lua_State*, const void* p, size_t size, void* out)
{
    static_cast<std::string*>(out)->append(static_cast<const char*>(p), size);
    return 1;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size > 16384)
        return 0;
    lua_State* L = lua_open();
    if (luaL_loadbuffer(L, reinterpret_cast<const char*>(data), size, "=fuzz") == 0)
    {
        std::string chunk;
        lua_dump(L, Collect, &chunk);
        lua_settop(L, 0);
        if (luaL_loadbuffer(L, chunk.data(), chunk.size(), "=dumped") != 0)
        {
            std::fprintf(stderr, "the dump of a compiled chunk does not load: %s\n",
                         lua_tostring(L, -1));
            std::abort();
        }
    }
    lua_close(L);
    return 0;
}
