// Tagged values and the collectable objects of the script engine (strings, wide strings, tables,
// prototypes, closures, upvalues, userdata), with the constructors the compiler stages use.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "script/lua.h"
#include "script/core/opcodes.h"

typedef uint8_t lu_byte;
typedef uint32_t lu_hash;

// Internal collectable kinds continue the public tag numbering.
#define LUA_TPROTO 10
#define LUA_TUPVAL 11
// Per-type metatable slots: one for each tag 0 to 10.
#define NUM_TYPE_METATABLES 11

// Common header of every collectable object.
struct GCObject
{
    GCObject* next;
    lu_byte tt;
    lu_byte marked;
};

struct ScriptString;
struct Table;
struct Udata;
struct Proto;
struct UpVal;
struct Closure;

union Value
{
    GCObject* gc;
    void* p;
    lua_Number n;
    int b;
};

// A tagged value slot.
struct TObject
{
    int tt;
    Value value;
};
static_assert(offsetof(TObject, value) == 8, "four spare bytes follow the tag");

// In a prototype's constants the four bytes after the tag keep, for a string key, the node
// position where the interpreter last found it in a table; the constant arrays are built
// cleared, and nothing else reads those bytes of a constant.
inline uint32_t luaO_consthint(const TObject* k)
{
    uint32_t hint;
    memcpy(&hint, reinterpret_cast<const char*>(k) + sizeof(int), sizeof hint);
    return hint;
}
inline void luaO_setconsthint(TObject* k, uint32_t hint)
{
    memcpy(reinterpret_cast<char*>(k) + sizeof(int), &hint, sizeof hint);
}
typedef TObject TValue;
typedef TObject* StkId;

inline bool iscollectable(const TObject* o)
{
    return o->tt >= LUA_TSTRING;
}
inline int ttype(const TObject* o)
{
    return o->tt;
}
inline bool ttisnil(const TObject* o)
{
    return o->tt == LUA_TNIL;
}
inline bool ttisnumber(const TObject* o)
{
    return o->tt == LUA_TNUMBER;
}
inline bool ttisstring(const TObject* o)
{
    return o->tt == LUA_TSTRING;
}
inline bool ttiswstring(const TObject* o)
{
    return o->tt == LUA_TWSTRING;
}
inline bool ttistable(const TObject* o)
{
    return o->tt == LUA_TTABLE;
}
inline bool ttisfunction(const TObject* o)
{
    return o->tt == LUA_TFUNCTION;
}
inline bool ttisboolean(const TObject* o)
{
    return o->tt == LUA_TBOOLEAN;
}
inline bool ttisuserdata(const TObject* o)
{
    return o->tt == LUA_TUSERDATA;
}
inline bool ttisthread(const TObject* o)
{
    return o->tt == LUA_TTHREAD;
}
inline bool ttislightuserdata(const TObject* o)
{
    return o->tt == LUA_TLIGHTUSERDATA;
}

inline GCObject* gcvalue(const TObject* o)
{
    return o->value.gc;
}
inline void* pvalue(const TObject* o)
{
    return o->value.p;
}
inline lua_Number nvalue(const TObject* o)
{
    return o->value.n;
}
inline int bvalue(const TObject* o)
{
    return o->value.b;
}
inline ScriptString* tsvalue(const TObject* o)
{
    return reinterpret_cast<ScriptString*>(o->value.gc);
}
inline Table* hvalue(const TObject* o)
{
    return reinterpret_cast<Table*>(o->value.gc);
}
inline Closure* clvalue(const TObject* o)
{
    return reinterpret_cast<Closure*>(o->value.gc);
}
inline Udata* uvalue(const TObject* o)
{
    return reinterpret_cast<Udata*>(o->value.gc);
}
inline lua_State* thvalue(const TObject* o)
{
    return reinterpret_cast<lua_State*>(o->value.gc);
}
inline Proto* ptvalue(const TObject* o)
{
    return reinterpret_cast<Proto*>(o->value.gc);
}

// false and nil are false; everything else is true.
inline bool l_isfalse(const TObject* o)
{
    return o->tt == LUA_TNIL || (o->tt == LUA_TBOOLEAN && o->value.b == 0);
}

inline void setnilvalue(TObject* o)
{
    o->tt = LUA_TNIL;
}
// Booleans, light userdata and objects are written with one 16-byte store where the processor
// has one. Values are copied whole (setobj); a copy made soon after a value was written as two
// fields waits until both stores have reached the cache, where a single store as wide as the
// load is forwarded to it (the results of native functions are copied so right after they are
// pushed). Numbers keep their two stores: arithmetic results are mostly read by field, and one
// wide store measured slower there. The four bytes after the tag are zero in a slot written by
// setslot.
inline void setslot(TObject* o, int tt, uint64_t bits)
{
#if defined(__SSE2__)
    _mm_storeu_si128(reinterpret_cast<__m128i*>(o),
                     _mm_set_epi64x(static_cast<long long>(bits), static_cast<long long>(tt)));
#else
    o->tt = tt;
    memcpy(&o->value, &bits, sizeof bits);
#endif
}
inline void setnvalue(TObject* o, lua_Number x)
{
    o->tt = LUA_TNUMBER;
    o->value.n = x;
}
inline void setbvalue(TObject* o, int x)
{
    setslot(o, LUA_TBOOLEAN, static_cast<uint32_t>(x));
}
inline void setpvalue(TObject* o, void* x)
{
    setslot(o, LUA_TLIGHTUSERDATA, reinterpret_cast<uintptr_t>(x));
}
inline void setgcvalue(TObject* o, GCObject* x, int tt)
{
    setslot(o, tt, reinterpret_cast<uintptr_t>(x));
}
inline void setobj(TObject* dst, const TObject* src)
{
    *dst = *src;
}

// Strings (kind 4) and wide strings (kind 9) share this header; the bytes or 16-bit units follow it
// with one terminating zero byte or unit. `reserved` holds a reserved word's number (index + 1).
// The string table keeps the strings, never the collector's object lists, so a string has no
// link: its hash and length take the link's place and its kind and marks sit where every
// object's header has them, which is all the collector and the value tags read. The header is
// 16 bytes (32 with a link), so a string counts 17 bytes plus its length, a wide one 18 plus
// twice its length.
//
// Most 8-bit strings made while scripts run (joins, formatted text, captures, numbers as text)
// are born loose: not entered in the string table until something needs them there (a table
// key being created), and hashed only when first looked up. Interned strings are one object per
// text; a loose one may have twins, so wherever strings are compared, two interned strings
// compare by address and any other pair by kind, length and text (luaS_equal).
struct alignas(8) ScriptString
{
    lu_hash hash;
    uint32_t len; // bytes, or code units for a wide string
    lu_byte tt;
    lu_byte marked;
    lu_byte reserved;
    lu_byte interned; // 1 once the string table holds it; 0 while loose
    lu_byte hashed;   // 1 once `hash` holds the text's hash (always for an interned string)
    // 1 from its interning until a table first takes it as a key (keys are interned strings, so
    // until then no table can hold it): an assignment with it as key knows the key is new.
    lu_byte unkeyed;
};
static_assert(sizeof(ScriptString) == 16, "a string counts 17 bytes plus its length");
static_assert(offsetof(ScriptString, tt) == offsetof(GCObject, tt) &&
                  offsetof(ScriptString, marked) == offsetof(GCObject, marked),
              "a string's kind and marks are read through the common header");
inline GCObject* obj2gco(ScriptString* ts)
{
    return reinterpret_cast<GCObject*>(ts);
}
inline const GCObject* obj2gco(const ScriptString* ts)
{
    return reinterpret_cast<const GCObject*>(ts);
}

inline char* getstr(ScriptString* ts)
{
    return reinterpret_cast<char*>(ts + 1);
}
inline const char* getstr(const ScriptString* ts)
{
    return reinterpret_cast<const char*>(ts + 1);
}
inline lua_WChar* getwstr(ScriptString* ts)
{
    return reinterpret_cast<lua_WChar*>(ts + 1);
}
inline const lua_WChar* getwstr(const ScriptString* ts)
{
    return reinterpret_cast<const lua_WChar*>(ts + 1);
}
// The same string value: the same object, or (unless both are interned, one object per text)
// the same kind, length and units; hashes, when both are known, tell most others apart early.
inline bool luaS_equal(const ScriptString* a, const ScriptString* b)
{
    if (a == b)
        return true;
    if ((a->interned & b->interned) || a->len != b->len || a->tt != b->tt ||
        ((a->hashed & b->hashed) && a->hash != b->hash))
        return false;
    size_t unit = a->tt == LUA_TWSTRING ? sizeof(lua_WChar) : 1;
    return memcmp(a + 1, b + 1, a->len * unit) == 0;
}
inline const char* svalue(const TObject* o)
{
    return getstr(tsvalue(o));
}
// Sets a string or wide string value; the tag comes from the object's kind.
inline void setsvalue(TObject* o, ScriptString* s)
{
    setgcvalue(o, obj2gco(s), s->tt);
}
inline void sethvalue(TObject* o, Table* t)
{
    setgcvalue(o, reinterpret_cast<GCObject*>(t), LUA_TTABLE);
}
inline void setclvalue(TObject* o, Closure* c)
{
    setgcvalue(o, reinterpret_cast<GCObject*>(c), LUA_TFUNCTION);
}
inline void setuvalue(TObject* o, Udata* u)
{
    setgcvalue(o, reinterpret_cast<GCObject*>(u), LUA_TUSERDATA);
}
inline void setthvalue(TObject* o, lua_State* th)
{
    setgcvalue(o, reinterpret_cast<GCObject*>(th), LUA_TTHREAD);
}
// A prototype on the stack (the compiler anchors the one it is building so the collector keeps it).
inline void setptvalue(TObject* o, Proto* p)
{
    setgcvalue(o, reinterpret_cast<GCObject*>(p), LUA_TPROTO);
}

// Full userdata: a length word whose low bit marks a reference userdata (length 1, the block holds
// a pointer) and the block after the header.
struct Udata : GCObject
{
    Table* metatable;
    uint32_t len;
};
inline void* udata_block(Udata* u)
{
    return u + 1;
}

struct LocVar
{
    ScriptString* varname;
    int startpc; // first point where the variable is active
    int endpc;   // first point where the variable is dead
};

// Function prototype.
struct Proto : GCObject
{
    TObject* k; // constants
    Instruction* code;
    Proto** p;     // nested functions
    int* lineinfo; // source line of each instruction
    LocVar* locvars;
    ScriptString** upvalues; // upvalue names
    ScriptString* source;
    int sizeupvalues;
    int sizek;
    int sizecode;
    int sizelineinfo;
    int sizep;
    int sizelocvars;
    int lineDefined;
    GCObject* gclist;
    lu_byte nups; // number of upvalues
    lu_byte numparams;
    lu_byte is_vararg;
    lu_byte maxstacksize;
};

// An upvalue points into a stack while open, and at its own `value` once closed.
struct UpVal : GCObject
{
    TObject* v;
    TObject value;
};

struct Closure : GCObject
{
    lu_byte isC;
    lu_byte nupvalues;
    GCObject* gclist;
};

struct CClosure : Closure
{
    lua_CFunction f;
    TObject* upvalue; // nupvalues values, stored right after this header
};

struct LClosure : Closure
{
    Table* g; // environment
    Proto* p;
    UpVal** upvals; // nupvalues links, stored right after this header
};

inline CClosure* toC(Closure* c)
{
    return static_cast<CClosure*>(c);
}
inline LClosure* toL(Closure* c)
{
    return static_cast<LClosure*>(c);
}
inline bool iscfunction(const TObject* o)
{
    return ttisfunction(o) && clvalue(o)->isC;
}

// Tables.
// The key of a hash node seen with its chain link: the link lives in the four bytes a value slot
// leaves unused after its tag, so a node takes 32 bytes (two to a cache line) rather than 40.
// The link holds, from its low bit up: whether the key sits away from its main position (so that
// an insertion that collides with a key in its own place need not read that key to hash it); the
// distance in nodes to the next node of the chain (0 ends it), in 26 bits with its sign, room for
// any distance in a hash part of at most 2^MAXBITS nodes; and in the top 5 bits a tag of a string
// key's hash, so that a walk comparing texts skips most keys of the chain without reading their
// strings. Nothing but the link reads those bytes, and a key is written by setnodekey, never as a
// whole slot.
struct NodeKey
{
    int tt;
    int link;
    Value value;
};

struct Node
{
    union
    {
        TObject i_key;
        NodeKey i_link;
    };
    TObject i_val;
};
static_assert(sizeof(Node) == 32, "two hash nodes to a cache line");

struct Table : GCObject
{
    lu_byte flags;     // 1 << event means the metamethod is known to be absent
    lu_byte lsizenode; // log2 of the hash size
    // Where the interpreter last found "__index" among this table's nodes, when it served as a
    // metatable: tried first, and trusted only while that node still holds the key. It sits in
    // what was padding, so the table's size, and what the collector counts for it, is unchanged.
    uint32_t indexhint;
    Table* metatable;
    TObject* array;
    Node* node;
    Node* firstfree; // free positions are below this
    GCObject* gclist;
    int sizearray;
    // Set while the array part is a block of pages of its own (see table.cpp), in what was
    // padding.
    lu_byte mappedarray;
    // Set while the hash part is a block of pages of its own (see table.cpp), also in padding.
    lu_byte mappednode;
};

static_assert(sizeof(Table) == 72, "the hint of __index and the array's kind take no room");

inline int sizenode(const Table* t)
{
    return 1 << t->lsizenode;
}
inline Node* gnode(const Table* t, int i)
{
    return &t->node[i];
}
inline TObject* gkey(Node* n)
{
    return &n->i_key;
}
inline TObject* gval(Node* n)
{
    return &n->i_val;
}
constexpr int kLinkTagShift = 27;
constexpr int kLinkDistanceMask = (1 << kLinkTagShift) - 2;

inline int nodedistance(const Node* n)
{
    // The distance's 26 bits, sign and all, moved to the top and back.
    return static_cast<int>(static_cast<unsigned>(n->i_link.link) << (32 - kLinkTagShift)) >>
           (33 - kLinkTagShift);
}
inline Node* gnext(Node* n)
{
    int d = nodedistance(n);
    return d != 0 ? n + d : nullptr;
}
inline const Node* gnext(const Node* n)
{
    int d = nodedistance(n);
    return d != 0 ? n + d : nullptr;
}
inline void setgnext(Node* n, const Node* to)
{
    int d = to != nullptr ? static_cast<int>(to - n) : 0;
    n->i_link.link = ((d * 2) & kLinkDistanceMask) | (n->i_link.link & ~kLinkDistanceMask);
}
// A node out of any chain, with no key placed.
inline void cleargnext(Node* n)
{
    n->i_link.link = 0;
}
// The tag a string key of hash h leaves in its node's link: the top bits of the hash mixed by a
// multiplication, since keys of one chain share the low bits and short keys alike in their first
// letters share the top ones.
inline unsigned nodetag(lu_hash h)
{
    return static_cast<unsigned>(h * 0x9E3779B1u) >> kLinkTagShift;
}
inline bool nodetagged(const Node* n, unsigned tag)
{
    return static_cast<unsigned>(n->i_link.link) >> kLinkTagShift == tag;
}
// Writes a key's tag and value, leaving the chain link that shares its slot; away tells whether
// the node is not the key's main position.
inline void setnodekey(Node* n, const TObject* key, bool away)
{
    unsigned tag =
        key->tt == LUA_TSTRING || key->tt == LUA_TWSTRING ? nodetag(tsvalue(key)->hash) : 0;
    n->i_link.tt = key->tt;
    n->i_link.value = key->value;
    n->i_link.link = static_cast<int>(tag << kLinkTagShift) | (n->i_link.link & kLinkDistanceMask) |
                     (away ? 1 : 0);
}
inline bool nodeaway(const Node* n)
{
    return (n->i_link.link & 1) != 0;
}

// Largest array index that may live in the array part, as a power of two.
constexpr int MAXBITS = 24;
static_assert((1 << MAXBITS) <= (1 << (kLinkTagShift - 2)),
              "a chain's distance fits its bits of the link");

// --- Constructors and helpers used by every stage ---------------------------------------------

// Memory (all through the state's allocator hook; raise the memory error on failure).
void* luaM_realloc(lua_State* L, void* block, size_t oldsize, size_t size);
void luaM_free(lua_State* L, void* block, size_t size);
// Gives the kept small blocks back to the C library (at close, or before another allocator is
// set).
void luaM_releasesmall(lua_State* L);
// Grows an array: double, at least 4; near the limit take the limit while 4 entries stay spare,
// otherwise raise `what` as a run-time error.
void* luaM_growaux(lua_State* L, void* block, int* size, size_t elemsize, int limit,
                   const char* what);

template <typename T> T* luaM_newvector(lua_State* L, int n)
{
    return static_cast<T*>(luaM_realloc(L, nullptr, 0, static_cast<size_t>(n) * sizeof(T)));
}
template <typename T> void luaM_reallocvector(lua_State* L, T*& v, int oldn, int n)
{
    v = static_cast<T*>(luaM_realloc(L, v, static_cast<size_t>(oldn) * sizeof(T),
                                     static_cast<size_t>(n) * sizeof(T)));
}
template <typename T> void luaM_freearray(lua_State* L, T* v, int n)
{
    luaM_free(L, v, static_cast<size_t>(n) * sizeof(T));
}
template <typename T>
void luaM_growvector(lua_State* L, T*& v, int nelems, int& size, int limit, const char* what)
{
    if (nelems + 1 > size)
        v = static_cast<T*>(luaM_growaux(L, v, &size, sizeof(T), limit, what));
}

// Strings: interned 8-bit and wide strings.
ScriptString* luaS_newlstr(lua_State* L, const char* str, size_t l);
ScriptString* luaS_new(lua_State* L, const char* str);
ScriptString* luaS_newlwstr(lua_State* L, const lua_WChar* str, size_t l);
// Marks a string as never collected.
void luaS_fix(ScriptString* s);

// Tables.
Table* luaH_new(lua_State* L, int narray, int lnhash);
const TObject* luaH_get(Table* t, const TObject* key);
const TObject* luaH_getnum(Table* t, int key);
const TObject* luaH_getstr(Table* t, ScriptString* key);
// Returns the slot for key, creating it (nil) when absent; raises "table index is nil/NaN".
TObject* luaH_set(lua_State* L, Table* t, const TObject* key);
// luaH_set for a key its lookup did not find (luaH_get gave the nil object): no second lookup.
TObject* luaH_setnew(lua_State* L, Table* t, const TObject* key);
TObject* luaH_setnum(lua_State* L, Table* t, int key);
int luaH_next(lua_State* L, Table* t, StkId key);

// Functions.
Proto* luaF_newproto(lua_State* L);
Closure* luaF_newCclosure(lua_State* L, int nelems);
Closure* luaF_newLclosure(lua_State* L, int nelems, TObject* e);
// Name of the local variable number local_number active at pc, or null.
const char* luaF_getlocalname(const Proto* func, int local_number, int pc);

// Objects.
extern const TObject luaO_nilobject;
int luaO_log2(unsigned int x);
// Table size hints of NEWTABLE: "floating byte" eeeeexxx meaning xxx * 2^eeeee.
int luaO_int2fb(unsigned int x);
inline int luaO_fb2int(int x)
{
    int e = (x >> 3) & 31;
    return e >= 28 ? 0x7FFFFFFF : (x & 7) << e; // out-of-range hints saturate
}
int luaO_rawequalObj(const TObject* t1, const TObject* t2);
// Reads a number the 5.0.2 way (strtod, or a hexadecimal integer); 1 on success.
int luaO_str2d(const char* s, lua_Number* result);
// Reads a wide number (decimal or hexadecimal with fraction and exponent); 1 on success.
int luaO_wstr2d(const lua_WChar* s, size_t len, lua_Number* result);
// Writes a number as "%.14g" does (byte for byte) into buff, which holds at least
// LUAI_MAXNUMBER2STR bytes; returns the length. No terminating zero is written.
constexpr int LUAI_MAXNUMBER2STR = 32;
int luaO_number2str(char* buff, lua_Number n);
// Pushes a formatted string (%%, %c, %d, %f, %s) and returns it.
const char* luaO_pushvfstring(lua_State* L, const char* fmt, va_list argp);
const char* luaO_pushfstring(lua_State* L, const char* fmt, ...);
// Chunk identifier for messages.
void luaO_chunkid(char* out, const char* source, int len);
