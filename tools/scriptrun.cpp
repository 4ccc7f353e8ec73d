// Development tool: runs script files or "-e" code in a state with the base, string, table and
// math libraries, reporting errors as the engine does and exiting non-zero on the first one.
#include "script/lauxlib.h"
#include "script/lua.h"
#include "script/lualib.h"

#include <cstdio>
#include <cstring>
#include <string>

namespace
{

// On standard output when asked for with "--help" or "-h", else on standard error.
void PrintUsage(std::FILE* out = stderr)
{
    std::fputs("usage: scriptrun [-e code] [script file] ...\n"
               "  Runs each piece of code and each file in order. File names are native paths;\n"
               "  names with a logical prefix (\"user:\", \"::\", ...) go to the file layer as "
               "they are.\n",
               out);
}

// A native path becomes a "::" name so that it bypasses the path map.
std::string LogicalName(const char* path)
{
    if (std::strchr(path, ':') != nullptr)
    {
        return path;
    }
    return std::string("::") + path;
}

// Runs the function on top with a traceback-free handler; prints the message on failure.
bool RunLoaded(lua_State* L, int status)
{
    if (status == 0)
    {
        status = lua_pcall(L, 0, 0, 0);
    }
    if (status != 0)
    {
        const char* msg = lua_tostring(L, -1);
        std::fflush(stdout);
        std::fprintf(stderr, "scriptrun: %s\n", msg ? msg : "(error object is not a string)");
        lua_pop(L, 1);
        return false;
    }
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 2)
    {
        PrintUsage();
        return 2;
    }
    for (int i = 1; i < argc; i++)
    {
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0)
        {
            PrintUsage(stdout);
            return 0;
        }
        // What follows "-e" is code, never an option.
        if (std::strcmp(argv[i], "-e") == 0)
            i++;
    }
    lua_State* L = lua_open();
    if (L == nullptr)
    {
        std::fputs("scriptrun: cannot create a script state\n", stderr);
        return 1;
    }
    luaopen_base(L);
    luaopen_string(L);
    luaopen_table(L);
    luaopen_math(L);
    lua_settop(L, 0);
    bool ok = true;
    for (int i = 1; i < argc && ok; i++)
    {
        if (std::strcmp(argv[i], "-e") == 0)
        {
            if (i + 1 >= argc)
            {
                PrintUsage();
                ok = false;
                break;
            }
            const char* code = argv[++i];
            ok = RunLoaded(L, luaL_loadbuffer(L, code, std::strlen(code), "=(command line)"));
        }
        else if (argv[i][0] == '-' && argv[i][1] != '\0')
        {
            std::fprintf(stderr, "scriptrun: unknown option `%s'\n", argv[i]);
            PrintUsage();
            ok = false;
        }
        else
        {
            std::string name = LogicalName(argv[i]);
            ok = RunLoaded(L, luaL_loadfile(L, name.c_str()));
        }
    }
    std::fflush(stdout);
    lua_close(L);
    return ok ? 0 : 1;
}
