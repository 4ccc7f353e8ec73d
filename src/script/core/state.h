// Thread states, the global state they share, call records and the shared buffer.
#pragma once

#include "script/core/object.h"

#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/asan_interface.h>
#endif

// Extra stack slots kept beyond the stack limit for metamethod calls and error handling.
constexpr int EXTRA_STACK = 5;
constexpr int BASIC_CI_SIZE = 8;
constexpr int BASIC_STACK_SIZE = 2 * LUA_MINSTACK; // 40 usable slots plus EXTRA_STACK

// Call-record state bits.
enum
{
    CI_C = 1,        // a native function
    CI_HASFRAME = 2, // a Lua function with a live frame
    CI_CALLING = 4,  // a Lua function that called another in the same interpreter loop
    CI_SAVEDPC = 8,  // savedpc holds the continuation
    CI_YIELD = 16,   // suspended in a yield
    CI_INLINE = 32   // a Lua function called by CALL from a running interpreter loop: its return
                     // continues that loop instead of leaving it
};

struct CallInfo
{
    StkId base; // base of this function
    StkId top;  // top of this function's frame
    int state;
    int nresults;               // CI_INLINE: results the calling CALL wants (-1: all)
    const Instruction* savedpc; // Lua functions: the next instruction to run
    int tailcalls;              // Lua functions: tail calls lost before this one
};
// nresults sits in what was padding: the records, and so the counted bytes, keep their size.
static_assert(sizeof(void*) != 8 || sizeof(CallInfo) == 40, "a call record is 40 bytes");

inline bool ci_isLua(const CallInfo* ci)
{
    return (ci->state & CI_C) == 0;
}

// Growable byte buffer shared by concatenation and the lexer.
struct Mbuffer
{
    char* buffer;
    size_t size;
};

// A string made while the table is large, not yet moved into the main slots.
struct RecentString
{
    ScriptString* ts;
    lu_hash h;
};

// Open-addressed (linear probing) set of the interned strings. A slot holds 0 (empty), 1 (a
// removed string) or a string's address with bits mixed from its hash (see strings.cpp), so that a
// probe rarely has to visit a string whose hash differs.
//
// Once the main slots outgrow the processor's caches, a probe for a new string would wait on
// memory each time. New strings then go to a small set of recent slots instead and move into the
// main slots a few thousand at a time, fetched ahead; a filter with one bit per hash class of the
// main strings answers most lookups of absent texts without touching the main slots.
struct stringtable
{
    uint64_t* hash;
    uint32_t nuse;            // number of strings, recent ones included
    uint32_t ntomb;           // main slots of removed strings
    int size;                 // main slots, a power of 2
    bool mappedslots;         // the main slots are pages of their own (see strings.cpp)
    uint64_t* recent;         // recent slots (null until the table first grows large)
    RecentString* recentlist; // the recent strings in order of creation
    uint32_t nrecent;
    uint64_t* filter; // bits of the main strings' hash classes; null while the table is small
    uint32_t nloose;  // loose strings in the string pool's slabs (see ScriptString)
};

// Number of the metamethod events; there are none for the bitwise operations.
enum TMS
{
    TM_INDEX,
    TM_NEWINDEX,
    TM_GC,
    TM_MODE,
    TM_EQ, // last event with fast access
    TM_ADD,
    TM_SUB,
    TM_MUL,
    TM_DIV,
    TM_POW,
    TM_UNM,
    TM_LT,
    TM_LE,
    TM_CONCAT,
    TM_CALL,
    TM_N
};

// Strings of up to 256 bytes (header included) live in slabs of the string pool, in blocks of a
// multiple of 8 bytes; strfree[n] keeps the collected blocks of 8 * n bytes.
constexpr int kStringReuseSizes = 33;

// Link before a string too long for the pool, for freeing every such string at close.
struct LongStringLink
{
    LongStringLink* prev;
    LongStringLink* next;
};

// Blocks of up to 1024 bytes from the default allocator are taken in 16-byte steps;
// smallfree[n] lists the released blocks of 16 * n - 8 bytes kept for the next requests of that
// size.
constexpr size_t kSmallBlockMax = 1024;
constexpr int kSmallBlockClasses = static_cast<int>((kSmallBlockMax + 8 + 15) / 16) + 1;

struct global_State
{
    stringtable strt;
    lua_Alloc frealloc;
    void* ud;
    GCObject* rootgc;    // every collectable object except strings and userdata
    GCObject* rootudata; // full userdata
    GCObject* tmudata;   // userdata waiting to be finalised
    Mbuffer buff;
    size_t GCthreshold;
    size_t nblocks; // bytes allocated
    lua_CFunction panic;
    TObject _registry;
    TObject _defaultmeta;
    lua_State* mainthread;
    Node dummynode[1]; // the shared empty hash part
    ScriptString* tmname[TM_N];
    TObject typemetatables[NUM_TYPE_METATABLES];
    ScriptString* memerrmsg; // "not enough memory"
    // String pool: slabs taken from the allocator (linked through their first word) and carved
    // into string blocks, counted in nblocks by the bytes of the strings in use, so that the
    // collector's pacing is the same as if each string had its own block. Collected blocks are
    // kept by size for the next strings of that size, each linking to the next through the word
    // after its header (the smallest block has room for it), so keeping them costs no memory of
    // its own. Slabs go back to the allocator at close.
    void* strfree[kStringReuseSizes];
    size_t strfreebytes;
    void* strslabs;
    size_t strslabbytes; // all slabs together
    char* strpoolnext;   // unused end of the newest slab
    char* strpoolend;
    LongStringLink* longstrings;
    // Small-block lists, used only while the state has its default allocator (from the start):
    // each kept block links to the next through its first word. Kept bytes are not counted in
    // nblocks, so the collector's pacing and the reported memory are those of plain blocks.
    void* smallfree[kSmallBlockClasses];
    size_t smallfreebytes;
    int smallpool;   // nonzero while the default allocator has served every block
    int gcrunning;   // nonzero while a collection runs
    int nativeDepth; // native calls and resumes active on the machine stack, all threads
    // "source:line" where the last failed resume stopped, kept when its error value is not a
    // string (which carries no position); empty otherwise.
    char failedresumewhere[128];
};

struct lua_State : GCObject
{
    StkId top;  // first free slot
    StkId base; // base of the current function
    global_State* l_G;
    CallInfo* ci;     // the current call
    StkId stack_last; // last free slot in the stack
    StkId stack;
    int stacksize;
    CallInfo* end_ci;
    CallInfo* base_ci;
    unsigned short size_ci;
    unsigned short nCcalls; // nested native calls
    lu_byte hookmask;       // always 0: hooks never run in this engine
    lu_byte allowhook;
    TObject _gt; // globals table
    GCObject* openupval;
    GCObject* gclist;
    struct lua_longjmp* errorJmp; // innermost protected call (non-null while one is active)
    ptrdiff_t errfunc;            // stack offset of the current error handler
    int bufferResizing;           // set while the shared buffer is being resized
};

inline global_State* G(lua_State* L)
{
    return L->l_G;
}

// Small blocks of the default allocator: class n takes 16 * n - 8 bytes (the C library's chunk
// for that size), and at most kSmallKeepMax bytes of released blocks are kept.
constexpr size_t kSmallKeepMax = size_t(1) << 20;
inline size_t luaM_smallclass(size_t size)
{
    return (size + 8 + 15) >> 4;
}
inline size_t luaM_smallbytes(size_t cls)
{
    return cls * 16 - 8;
}

// luaM_realloc's commonest cases, inline for the objects made and freed in bulk (coroutines and
// closures): a new block taken from the kept ones of its class, and a released one kept. The
// same blocks, the same counting and the same poisoning of kept blocks under the address
// sanitizer as luaM_realloc; anything else goes there.
inline void* luaM_newblock(lua_State* L, size_t size)
{
    global_State* g = G(L);
    if (g->smallpool && size - 1 < kSmallBlockMax)
    {
        size_t cls = luaM_smallclass(size);
        void* head = g->smallfree[cls];
        if (head != nullptr)
        {
#if defined(__SANITIZE_ADDRESS__)
            ASAN_UNPOISON_MEMORY_REGION(head, luaM_smallbytes(cls));
#endif
            g->smallfree[cls] = *static_cast<void**>(head);
            g->smallfreebytes -= luaM_smallbytes(cls);
            g->nblocks += size;
            return head;
        }
    }
    return luaM_realloc(L, nullptr, 0, size);
}
inline void luaM_freeblock(lua_State* L, void* block, size_t size)
{
    global_State* g = G(L);
    size_t cls = luaM_smallclass(size);
    if (block != nullptr && g->smallpool && size <= kSmallBlockMax &&
        g->smallfreebytes + luaM_smallbytes(cls) <= kSmallKeepMax)
    {
        g->nblocks -= size;
        *static_cast<void**>(block) = g->smallfree[cls];
        g->smallfree[cls] = block;
        g->smallfreebytes += luaM_smallbytes(cls);
#if defined(__SANITIZE_ADDRESS__)
        ASAN_POISON_MEMORY_REGION(block, luaM_smallbytes(cls));
#endif
        return;
    }
    luaM_free(L, block, size);
}
inline TObject* registry(lua_State* L)
{
    return &G(L)->_registry;
}
inline TObject* defaultmeta(lua_State* L)
{
    return &G(L)->_defaultmeta;
}
inline TObject* gt(lua_State* L)
{
    return &L->_gt;
}

inline bool ttisproto(const TObject* o)
{
    return o->tt == LUA_TPROTO;
}

// Reserved words of the lexer, created as fixed strings with their number (index + 1) at state
// creation; a name whose string has reserved number n is token 256 + n.
constexpr int NUM_RESERVED = 22;
extern const char* const luaX_reservedwords[NUM_RESERVED];

// Shared-buffer helpers.
char* luaZ_openspace(lua_State* L, Mbuffer* buff, size_t n);
void luaZ_freebuffer(lua_State* L, Mbuffer* buff);

// Metamethod lookup.
const TObject* luaT_gettm(Table* events, TMS event, ScriptString* ename);
const TObject* luaT_gettmbyobj(lua_State* L, const TObject* o, TMS event);
inline const TObject* fasttm(lua_State* L, Table* et, TMS e)
{
    if (et == nullptr || (et->flags & (1u << e)))
        return nullptr;
    return luaT_gettm(et, e, G(L)->tmname[e]);
}
extern const char* const luaT_typenames[];

lua_State* luaE_newthread(lua_State* L);
void luaE_freethread(lua_State* L, lua_State* L1);
