// Fuzz target: precompiled chunks over arbitrary bytes. A damaged chunk must be refused with an
// error; one that loads is dumped and loaded again.
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
    // The chunk signature in front when the input lacks it, so that every input reaches the
    // chunk reader rather than the compiler.
    std::string chunk(reinterpret_cast<const char*>(data), size);
    if (chunk.compare(0, 4, "\x1BLua") != 0)
        chunk.insert(0, "\x1BLua");
    lua_State* L = lua_open();
    if (luaL_loadbuffer(L, chunk.data(), chunk.size(), "=chunk") == 0)
    {
        std::string again;
        lua_dump(L, Collect, &again);
        lua_settop(L, 0);
        if (luaL_loadbuffer(L, again.data(), again.size(), "=again") != 0)
        {
            std::fprintf(stderr, "the dump of a loaded chunk does not load: %s\n",
                         lua_tostring(L, -1));
            std::abort();
        }
    }
    lua_close(L);
    return 0;
}
