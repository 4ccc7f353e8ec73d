// Auxiliary library: argument checks, error positions, registration, table sizes, the narrow and
// wide string buffer, and loading chunks from memory and through the platform's file layer.
#include "script/lauxlib.h"

#include "platform/files/file.h"
#include "script/core/strings.h"
#include "script/core/table.h"

#include <cctype>
#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstring>

namespace
{

// Registry integer keys used by the reference system and the table-size bookkeeping.
constexpr int kFreeListRef = 1;
constexpr int kArraySizeRef = 2;

int AbsIndex(lua_State* L, int i)
{
    return (i > 0 || i <= LUA_REGISTRYINDEX) ? i : lua_gettop(L) + i + 1;
}

void TagError(lua_State* L, int narg, int tag)
{
    luaL_typerror(L, narg, lua_typename(L, tag));
}

// The argument at a positive index when there is one, else null: what the checks below read
// first, without the public calls' index lookups (every other case takes those calls).
const TObject* Argument(lua_State* L, int narg)
{
    if (narg <= 0)
    {
        return nullptr;
    }
    const TObject* o = L->base + (narg - 1);
    return o < L->top ? o : nullptr;
}

} // namespace

// ---------------------------------------------------------------------------------------------
// Errors and argument checks

int luaL_argerror(lua_State* L, int narg, const char* extramsg)
{
    lua_Debug ar;
    ar.name = nullptr;
    ar.namewhat = "";
    if (lua_getstack(L, 0, &ar))
    {
        lua_getinfo(L, "n", &ar);
    }
    if (ar.namewhat != nullptr && std::strcmp(ar.namewhat, "method") == 0)
    {
        narg--; // self is not counted
        if (narg == 0)
        {
            return luaL_error(L, "calling `%s' on bad self (%s)", ar.name ? ar.name : "?",
                              extramsg);
        }
    }
    if (ar.name == nullptr)
    {
        ar.name = "?";
    }
    return luaL_error(L, "bad argument #%d to `%s' (%s)", narg, ar.name, extramsg);
}

int luaL_typerror(lua_State* L, int narg, const char* tname)
{
    const char* msg =
        lua_pushfstring(L, "%s expected, got %s", tname, lua_typename(L, lua_type(L, narg)));
    return luaL_argerror(L, narg, msg);
}

void luaL_where(lua_State* L, int level)
{
    lua_Debug ar;
    if (lua_getstack(L, level, &ar))
    {
        lua_getinfo(L, "Sl", &ar);
        if (ar.currentline > 0)
        {
            lua_pushfstring(L, "%s:%d: ", ar.short_src, ar.currentline);
            return;
        }
    }
    lua_pushliteral(L, "");
}

int luaL_error(lua_State* L, const char* fmt, ...)
{
    va_list argp;
    va_start(argp, fmt);
    luaL_where(L, 1);
    lua_pushvfstring(L, fmt, argp);
    va_end(argp);
    lua_concat(L, 2);
    return lua_error(L);
}

int luaL_findstring(const char* name, const char* const list[])
{
    for (int i = 0; list[i]; i++)
    {
        if (std::strcmp(list[i], name) == 0)
        {
            return i;
        }
    }
    return -1;
}

int luaL_newmetatable(lua_State* L, const char* tname)
{
    lua_pushstring(L, tname);
    lua_rawget(L, LUA_REGISTRYINDEX);
    if (!lua_isnil(L, -1))
    {
        return 0; // the name is taken: its value stays on top
    }
    lua_pop(L, 1);
    lua_newtable(L);
    lua_pushstring(L, tname);
    lua_pushvalue(L, -2);
    lua_rawset(L, LUA_REGISTRYINDEX);
    lua_pushvalue(L, -1);
    lua_pushstring(L, tname);
    lua_rawset(L, LUA_REGISTRYINDEX);
    return 1;
}

void luaL_getmetatable(lua_State* L, const char* tname)
{
    lua_pushstring(L, tname);
    lua_rawget(L, LUA_REGISTRYINDEX);
}

void* luaL_checkudata(lua_State* L, int ud, const char* tname)
{
    if (!lua_getmetatable(L, ud))
    {
        return nullptr;
    }
    lua_rawget(L, LUA_REGISTRYINDEX);
    const char* tn = lua_tostring(L, -1);
    if (tn && std::strcmp(tn, tname) == 0)
    {
        lua_pop(L, 1);
        return lua_touserdata(L, ud);
    }
    lua_pop(L, 1);
    return nullptr;
}

void luaL_checkstack(lua_State* L, int space, const char* mes)
{
    if (!lua_checkstack(L, space))
    {
        luaL_error(L, "stack overflow (%s)", mes);
    }
}

void luaL_checktype(lua_State* L, int narg, int t)
{
    if (lua_type(L, narg) != t)
    {
        TagError(L, narg, t);
    }
}

void luaL_checkany(lua_State* L, int narg)
{
    if (lua_type(L, narg) == LUA_TNONE)
    {
        luaL_argerror(L, narg, "value expected");
    }
}

const char* luaL_checklstring(lua_State* L, int narg, size_t* len)
{
    // A string argument, the libraries' usual case, as lua_tostring and lua_strlen give it.
    const TObject* o = Argument(L, narg);
    if (o != nullptr && ttisstring(o))
    {
        if (len)
        {
            *len = tsvalue(o)->len;
        }
        return svalue(o);
    }
    const char* s = lua_tostring(L, narg);
    if (!s)
    {
        TagError(L, narg, LUA_TSTRING);
    }
    if (len)
    {
        *len = lua_strlen(L, narg);
    }
    return s;
}

const char* luaL_optlstring(lua_State* L, int narg, const char* def, size_t* len)
{
    if (lua_isnoneornil(L, narg))
    {
        if (len)
        {
            *len = def ? std::strlen(def) : 0;
        }
        return def;
    }
    return luaL_checklstring(L, narg, len);
}

const lua_WChar* luaL_checklwstring(lua_State* L, int narg, size_t* len)
{
    const lua_WChar* s = lua_towstring(L, narg);
    if (!s)
    {
        TagError(L, narg, LUA_TWSTRING);
    }
    if (len)
    {
        *len = lua_strlen(L, narg);
    }
    return s;
}

lua_Number luaL_checknumber(lua_State* L, int narg)
{
    const TObject* o = Argument(L, narg);
    if (o != nullptr && ttisnumber(o))
    {
        return nvalue(o);
    }
    lua_Number d = lua_tonumber(L, narg);
    if (d == 0 && !lua_isnumber(L, narg))
    {
        TagError(L, narg, LUA_TNUMBER);
    }
    return d;
}

lua_Number luaL_optnumber(lua_State* L, int narg, lua_Number def)
{
    const TObject* o = Argument(L, narg);
    if (o != nullptr && ttisnumber(o))
    {
        return nvalue(o);
    }
    if (lua_isnoneornil(L, narg))
    {
        return def;
    }
    return luaL_checknumber(L, narg);
}

int luaL_getmetafield(lua_State* L, int obj, const char* event)
{
    if (!lua_getmetatable(L, obj))
    {
        return 0;
    }
    lua_pushstring(L, event);
    lua_rawget(L, -2);
    if (lua_isnil(L, -1))
    {
        lua_pop(L, 2);
        return 0;
    }
    lua_remove(L, -2);
    return 1;
}

int luaL_callmeta(lua_State* L, int obj, const char* event)
{
    obj = AbsIndex(L, obj);
    if (!luaL_getmetafield(L, obj, event))
    {
        return 0;
    }
    lua_pushvalue(L, obj);
    lua_call(L, 1, 1);
    return 1;
}

void luaL_openlib(lua_State* L, const char* libname, const luaL_reg* l, int nup)
{
    if (libname)
    {
        lua_pushstring(L, libname);
        lua_gettable(L, LUA_GLOBALSINDEX);
        if (lua_isnil(L, -1))
        {
            lua_pop(L, 1);
            lua_newtable(L);
            lua_pushstring(L, libname);
            lua_pushvalue(L, -2);
            lua_settable(L, LUA_GLOBALSINDEX);
        }
        lua_insert(L, -(nup + 1)); // the table goes below the upvalues
    }
    for (; l->name; l++)
    {
        lua_pushstring(L, l->name);
        for (int i = 0; i < nup; i++)
        {
            lua_pushvalue(L, -(nup + 1));
        }
        lua_pushcclosure(L, l->func, nup);
        lua_settable(L, -(nup + 3));
    }
    lua_pop(L, nup);
}

// ---------------------------------------------------------------------------------------------
// Table sizes: the field "n" when it holds a number, else a weak-keyed side table, else a count.

namespace
{

int CheckInt(lua_State* L, int topop)
{
    int n = luaL_numbertoint<int>(lua_tonumber(L, -1));
    if (n == 0 && !lua_isnumber(L, -1))
    {
        n = -1;
    }
    lua_pop(L, topop);
    return n;
}

void GetSizes(lua_State* L)
{
    lua_rawgeti(L, LUA_REGISTRYINDEX, kArraySizeRef);
    if (lua_isnil(L, -1))
    {
        lua_pop(L, 1);
        lua_newtable(L);
        lua_pushvalue(L, -1); // its own metatable, with weak keys
        lua_setmetatable(L, -2);
        lua_pushliteral(L, "__mode");
        lua_pushliteral(L, "k");
        lua_rawset(L, -3);
        lua_pushvalue(L, -1);
        lua_rawseti(L, LUA_REGISTRYINDEX, kArraySizeRef);
    }
}

} // namespace

void luaL_setn(lua_State* L, int t, int n)
{
    t = AbsIndex(L, t);
    lua_pushliteral(L, "n");
    lua_rawget(L, t);
    if (CheckInt(L, 1) >= 0)
    {
        lua_pushliteral(L, "n");
        lua_pushnumber(L, (lua_Number)n);
        lua_rawset(L, t);
    }
    else
    {
        GetSizes(L);
        lua_pushvalue(L, t);
        lua_pushnumber(L, (lua_Number)n);
        lua_rawset(L, -3);
        lua_pop(L, 1);
    }
}

int luaL_getn(lua_State* L, int t)
{
    t = AbsIndex(L, t);
    lua_pushliteral(L, "n");
    lua_rawget(L, t);
    int n = CheckInt(L, 1);
    if (n >= 0)
    {
        return n;
    }
    GetSizes(L);
    lua_pushvalue(L, t);
    lua_rawget(L, -2);
    n = CheckInt(L, 2);
    if (n >= 0)
    {
        return n;
    }
    // Counts the values before the first nil, reading the slots in place.
    Table* h = luaA_tableat(L, t);
    return h != nullptr ? luaH_prefixlength(h) : 0;
}

// ---------------------------------------------------------------------------------------------
// References

int luaL_ref(lua_State* L, int t)
{
    t = AbsIndex(L, t);
    if (lua_isnil(L, -1))
    {
        lua_pop(L, 1);
        return -1; // LUA_REFNIL
    }
    lua_rawgeti(L, t, kFreeListRef);
    int ref = (int)lua_tonumber(L, -1);
    lua_pop(L, 1);
    if (ref != 0)
    {
        lua_rawgeti(L, t, ref);
        lua_rawseti(L, t, kFreeListRef);
    }
    else
    {
        ref = luaL_getn(L, t);
        if (ref < kArraySizeRef)
        {
            ref = kArraySizeRef; // the first free integer key past the reserved ones
        }
        ref++;
        luaL_setn(L, t, ref);
    }
    lua_rawseti(L, t, ref);
    return ref;
}

void luaL_unref(lua_State* L, int t, int ref)
{
    if (ref >= 0)
    {
        t = AbsIndex(L, t);
        lua_rawgeti(L, t, kFreeListRef);
        lua_rawseti(L, t, ref);
        lua_pushnumber(L, (lua_Number)ref);
        lua_rawseti(L, t, kFreeListRef);
    }
}

// ---------------------------------------------------------------------------------------------
// String buffer

namespace
{

size_t BuffLen(const luaL_Buffer* B)
{
    return (size_t)(B->p - B->buffer);
}

size_t BuffFree(const luaL_Buffer* B)
{
    return LUAL_BUFFERSIZE - BuffLen(B);
}

// Up to this many pieces may wait on the stack before they are joined regardless of length.
constexpr int kPieceLimit = LUA_MINSTACK / 2;

int EmptyBuffer(luaL_Buffer* B)
{
    size_t l = BuffLen(B);
    if (l == 0)
    {
        return 0;
    }
    if (B->wide)
    {
        lua_WChar units[LUAL_BUFFERSIZE / 2];
        std::memcpy(units, B->buffer, l & ~(size_t)1);
        lua_pushlwstring(B->L, units, l / 2);
    }
    else
    {
        luaA_pushloose(B->L, B->buffer, l);
    }
    B->p = B->buffer;
    B->lvl++;
    return 1;
}

void AdjustStack(luaL_Buffer* B)
{
    if (B->lvl > 1)
    {
        lua_State* L = B->L;
        int toget = 1;
        size_t toplen = lua_strlen(L, -1);
        do
        {
            size_t l = lua_strlen(L, -(toget + 1));
            if (B->lvl - toget + 1 >= kPieceLimit || toplen > l)
            {
                toplen += l;
                toget++;
            }
            else
            {
                break;
            }
        } while (toget < B->lvl);
        lua_concat(L, toget);
        B->lvl = B->lvl - toget + 1;
    }
}

} // namespace

void luaL_buffinit(lua_State* L, luaL_Buffer* B)
{
    B->L = L;
    B->p = B->buffer;
    B->lvl = 0;
    B->wide = 0;
}

void luaL_wbuffinit(lua_State* L, luaL_Buffer* B)
{
    luaL_buffinit(L, B);
    B->wide = 1;
}

char* luaL_prepbuffer(luaL_Buffer* B)
{
    if (EmptyBuffer(B))
    {
        AdjustStack(B);
    }
    return B->buffer;
}

void luaL_addlstring(luaL_Buffer* B, const char* s, size_t l)
{
    while (l > 0)
    {
        size_t room = BuffFree(B);
        if (room == 0)
        {
            luaL_prepbuffer(B);
            room = LUAL_BUFFERSIZE;
        }
        size_t n = l < room ? l : room;
        std::memcpy(B->p, s, n);
        B->p += n;
        s += n;
        l -= n;
    }
}

void luaL_addstring(luaL_Buffer* B, const char* s)
{
    luaL_addlstring(B, s, std::strlen(s));
}

void luaL_addlwstring(luaL_Buffer* B, const lua_WChar* s, size_t l)
{
    for (size_t i = 0; i < l; i++)
    {
        if (BuffFree(B) < 2)
        {
            luaL_prepbuffer(B);
        }
        std::memcpy(B->p, &s[i], 2);
        B->p += 2;
    }
}

void luaL_pushresult(luaL_Buffer* B)
{
    EmptyBuffer(B);
    if (B->lvl == 0 && B->wide)
    {
        lua_pushlwstring(B->L, u"", 0);
        B->lvl = 1;
        return;
    }
    lua_concat(B->L, B->lvl);
    B->lvl = 1;
}

void luaL_addvalue(luaL_Buffer* B)
{
    lua_State* L = B->L;
    // Convert first (a number becomes text in place), then measure.
    const void* src =
        B->wide ? (const void*)lua_towstring(L, -1) : (const void*)lua_tostring(L, -1);
    size_t vl = lua_strlen(L, -1);
    size_t bytes = B->wide ? vl * 2 : vl;
    if (src != nullptr && bytes <= BuffFree(B))
    {
        std::memcpy(B->p, src, bytes);
        B->p += bytes;
        lua_pop(L, 1);
    }
    else
    {
        if (EmptyBuffer(B))
        {
            lua_insert(L, -2); // the flushed piece goes below the new value
        }
        B->lvl++;
        AdjustStack(B);
    }
}

// ---------------------------------------------------------------------------------------------
// Loading

namespace
{

// A script file larger than this is refused: an endless device (or a huge file) would otherwise
// be compiled until memory runs out.
constexpr size_t kMaxScriptFileBytes = 64u << 20;

struct FileReaderState
{
    TFile* mFile;
    size_t mTotal = 0;      // bytes handed to the loader
    bool mTooLarge = false; // the file went on past the limit: the load's result is dropped
    char mBuffer[16384];
};

const char* ReadFromFile(lua_State*, void* ud, size_t* size)
{
    FileReaderState* lf = static_cast<FileReaderState*>(ud);
    if (lf->mTooLarge || FileEof(lf->mFile))
    {
        return nullptr;
    }
    // One byte beyond the room left tells a file that ends at the limit from a larger one.
    size_t room = kMaxScriptFileBytes - lf->mTotal;
    size_t want = room < sizeof lf->mBuffer ? room + 1 : sizeof lf->mBuffer;
    int got = FileRead(lf->mFile, lf->mBuffer, (int)want);
    if (got <= 0)
    {
        return nullptr;
    }
    if ((size_t)got > room)
    {
        lf->mTooLarge = true;
        return nullptr;
    }
    lf->mTotal += (size_t)got;
    *size = (size_t)got;
    return lf->mBuffer;
}

int FileLoadError(lua_State* L, int fnameindex, int err)
{
    const char* filename = lua_tostring(L, fnameindex) + 1;
    lua_pushfstring(L, "cannot read %s: %s", filename, std::strerror(err));
    lua_remove(L, fnameindex);
    return LUA_ERRFILE;
}

// Opens a script file as the file layer reads it; null with the error pushed (as FileLoadError)
// when it cannot be. What is there but is no file to read (a device, a FIFO, a folder) is told
// as such, not as missing.
TFile* OpenScriptFile(lua_State* L, int fnameindex, const char* filename, int mode, int& status)
{
    errno = 0;
    auto* file = new TFile();
    if (file->Open(TString(filename), mode))
        return file;
    const int err = errno ? errno : ENOENT;
    if (file->Refused())
    {
        lua_pushfstring(L, "cannot read %s: %s", lua_tostring(L, fnameindex) + 1,
                        file->GetError().c_str());
        lua_remove(L, fnameindex);
        status = LUA_ERRFILE;
    }
    else
        status = FileLoadError(L, fnameindex, err);
    delete file;
    return nullptr;
}

struct BufferReaderState
{
    const char* mData;
    size_t mSize;
};

const char* ReadFromBuffer(lua_State*, void* ud, size_t* size)
{
    BufferReaderState* ls = static_cast<BufferReaderState*>(ud);
    if (ls->mSize == 0)
    {
        return nullptr;
    }
    *size = ls->mSize;
    ls->mSize = 0;
    return ls->mData;
}

int ReportRunError(lua_State* L, int status)
{
    if (status != 0)
    {
        lua_getglobal(L, "_ALERT");
        if (lua_isfunction(L, -1))
        {
            lua_insert(L, -2);
            lua_call(L, 1, 0);
        }
        else
        {
            const char* msg = lua_tostring(L, -2);
            std::fprintf(stderr, "%s\n", msg ? msg : "(error object is not a string)");
            lua_pop(L, 2); // the _ALERT slot and the message
        }
    }
    return status;
}

} // namespace

int luaL_loadfile(lua_State* L, const char* filename)
{
    if (filename == nullptr)
    {
        lua_pushliteral(L, "cannot read: no file name");
        return LUA_ERRFILE;
    }
    int fnameindex = lua_gettop(L) + 1;
    lua_pushfstring(L, "@%s", filename);
    FileReaderState lf;
    int status = 0;
    lf.mFile = OpenScriptFile(L, fnameindex, filename, 1, status);
    if (lf.mFile == nullptr)
    {
        return status;
    }
    int c = FileGetc(lf.mFile);
    FileUngetc(lf.mFile);
    bool printable = c >= 0 && (std::isspace(c) || std::isprint(c));
    if (!printable)
    {
        // Precompiled chunks and byte-order-marked sources are read without text translation.
        DestroyFile(lf.mFile);
        lf.mFile = OpenScriptFile(L, fnameindex, filename, 0, status);
        if (lf.mFile == nullptr)
        {
            return status;
        }
    }
    status = lua_load(L, ReadFromFile, &lf, lua_tostring(L, -1));
    bool readError = FileError(lf.mFile);
    int savedErrno = errno;
    DestroyFile(lf.mFile);
    if (readError)
    {
        lua_settop(L, fnameindex);
        return FileLoadError(L, fnameindex, savedErrno ? savedErrno : EIO);
    }
    if (lf.mTooLarge)
    {
        lua_settop(L, fnameindex);
        lua_pushfstring(L, "cannot read %s: larger than the %d MB allowed for a script file",
                        lua_tostring(L, fnameindex) + 1, (int)(kMaxScriptFileBytes >> 20));
        lua_remove(L, fnameindex);
        return LUA_ERRFILE;
    }
    lua_remove(L, fnameindex);
    return status;
}

int luaL_loadbuffer(lua_State* L, const char* buff, size_t size, const char* name)
{
    BufferReaderState ls{buff, size};
    return lua_load(L, ReadFromBuffer, &ls, name);
}

int lua_dobuffer(lua_State* L, const char* buff, size_t size, const char* name)
{
    int status = luaL_loadbuffer(L, buff, size, name);
    if (status == 0)
    {
        status = lua_pcall(L, 0, LUA_MULTRET, 0);
    }
    return ReportRunError(L, status);
}

int lua_dostring(lua_State* L, const char* str)
{
    return lua_dobuffer(L, str, std::strlen(str), str);
}
