// The interned string table shared by 8-bit and wide strings: hashing, lookup and resizing.
#include "script/calls.h"
#include "script/gc.h"
#include "script/object.h"
#include "script/state.h"
#include "script/strings.h"

#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/asan_interface.h>
#else
#define ASAN_POISON_MEMORY_REGION(addr, size) ((void)(addr), (void)(size))
#define ASAN_UNPOISON_MEMORY_REGION(addr, size) ((void)(addr), (void)(size))
#endif

template <typename Unit> static lu_hash HashUnits(const Unit* str, size_t l)
{
    lu_hash h = static_cast<lu_hash>(l);
    size_t step = (l >> 5) + 1;
    for (size_t l1 = l; l1 >= step; l1 -= step)
        h = h ^ ((h << 5) + (h >> 2) + static_cast<lu_hash>(str[l1 - 1]));
    return h;
}

static_assert(sizeof(void*) == 8, "string-table slots keep 48-bit addresses");

// The tag is the top of the hash after a multiplicative mix: the string hash moves its bits
// upwards slowly, so similar short strings would share their raw top bits.
static uint64_t SlotTag(lu_hash h)
{
    return static_cast<uint64_t>((h * 0x9E3779B1u) >> 16) << 48;
}

static uint64_t MakeSlot(ScriptString* ts)
{
    return SlotTag(ts->hash) | static_cast<uint64_t>(reinterpret_cast<uintptr_t>(ts));
}

// Puts ts in the first free slot of its probe sequence (no resizing).
static void PlaceSlot(uint64_t* slots, int size, ScriptString* ts)
{
    uint32_t mask = static_cast<uint32_t>(size - 1);
    uint32_t i = ts->hash & mask;
    while (slots[i] > kStrSlotRemoved)
        i = (i + 1) & mask;
    slots[i] = MakeSlot(ts);
}

// Slots ahead whose string a rebuild fetches early (slots are sparse after sweeps).
constexpr int kResizeAhead = 32;

void luaS_resize(lua_State* L, int newsize)
{
    uint64_t* fresh = luaM_newvector<uint64_t>(L, newsize);
    stringtable* tb = &G(L)->strt;
    for (int i = 0; i < newsize; i++)
        fresh[i] = kStrSlotEmpty;
    for (int i = 0; i < tb->size; i++)
    {
        // Each string is read for its full hash: fetch those a few slots ahead early.
        if (i + kResizeAhead < tb->size && tb->hash[i + kResizeAhead] > kStrSlotRemoved)
            __builtin_prefetch(luaS_slotstring(tb->hash[i + kResizeAhead]));
        if (tb->hash[i] > kStrSlotRemoved)
            PlaceSlot(fresh, newsize, luaS_slotstring(tb->hash[i]));
    }
    luaM_freearray(L, tb->hash, tb->size);
    tb->size = newsize;
    tb->hash = fresh;
    tb->ntomb = 0;
}

// Finds the string with hash h for which same(ts) holds, or returns null.
template <typename Same> static ScriptString* FindString(stringtable* tb, lu_hash h, Same same)
{
    uint32_t mask = static_cast<uint32_t>(tb->size - 1);
    uint64_t tag = SlotTag(h);
    for (uint32_t i = h & mask;; i = (i + 1) & mask)
    {
        uint64_t slot = tb->hash[i];
        if (slot == kStrSlotEmpty)
            return nullptr;
        if ((slot & ~((uint64_t(1) << 48) - 1)) == tag && slot != kStrSlotRemoved)
        {
            ScriptString* ts = luaS_slotstring(slot);
            if (ts->hash == h && same(ts))
                return ts;
        }
    }
}

// A kept block of exactly size bytes (counted as allocated again), or null.
static void* TakeKeptBlock(global_State* g, size_t size)
{
    if (size >= static_cast<size_t>(kStringReuseSizes) || g->strfree[size].count == 0)
        return nullptr;
    StrStash& stash = g->strfree[size];
    void* block = stash.blocks[--stash.count];
    // The next string of this size will be written to the next block out: fetch it now.
    if (stash.count > 0)
        __builtin_prefetch(stash.blocks[stash.count - 1], 1);
    ASAN_UNPOISON_MEMORY_REGION(block, size);
    g->strfreebytes -= size;
    g->nblocks += size;
    return block;
}

// Allocates and adds a string of l units whose text the caller writes; its terminator is set.
static ScriptString* NewString(lua_State* L, size_t l, size_t unitSize, lu_byte kind, lu_hash h)
{
    stringtable* tb = &G(L)->strt;
    // At most three quarters of the slots in use (strings and removed marks), so probes stay
    // short and always reach an empty slot; the tags spare visits to strings on the way. Grown
    // before the string exists, so a failure leaves nothing behind.
    uint32_t size = static_cast<uint32_t>(tb->size);
    if (tb->nuse + tb->ntomb + 1 > size / 4 * 3)
    {
        if (tb->nuse + 1 > size / 8 * 3 && tb->size <= (1 << 30) / 2)
            luaS_resize(L, tb->size * 2);
        else
            luaS_resize(L, tb->size);
    }
    size_t total = sizeof(ScriptString) + (l + 1) * unitSize;
    ScriptString* ts = static_cast<ScriptString*>(TakeKeptBlock(G(L), total));
    if (ts == nullptr)
        ts = static_cast<ScriptString*>(luaM_realloc(L, nullptr, 0, total));
    ts->next = nullptr;
    ts->tt = kind;
    ts->marked = 0;
    ts->reserved = 0;
    ts->hash = h;
    ts->len = static_cast<uint32_t>(l);
    memset(reinterpret_cast<char*>(ts + 1) + l * unitSize, 0, unitSize);
    uint32_t mask = static_cast<uint32_t>(tb->size - 1);
    uint32_t i = h & mask;
    while (tb->hash[i] > kStrSlotRemoved)
        i = (i + 1) & mask;
    if (tb->hash[i] == kStrSlotRemoved)
        tb->ntomb--;
    tb->hash[i] = MakeSlot(ts);
    tb->nuse++;
    return ts;
}

static ScriptString* Intern(lua_State* L, const void* data, size_t l, size_t unitSize, lu_byte kind,
                            lu_hash h)
{
    ScriptString* found = FindString(&G(L)->strt, h,
                                     [&](const ScriptString* ts) {
                                         return ts->tt == kind && ts->len == l &&
                                                (l == 0 || memcmp(data, ts + 1, l * unitSize) == 0);
                                     });
    if (found != nullptr)
        return found;
    ScriptString* ts = NewString(L, l, unitSize, kind, h);
    if (l > 0)
        memcpy(ts + 1, data, l * unitSize);
    return ts;
}

// True when the pieces, one after another, hold the text of ts.
static bool SamePieces(const ScriptString* ts, const StrPiece* pieces, int n)
{
    const char* text = getstr(ts);
    for (int i = 0; i < n; i++)
    {
        if (pieces[i].len > 0 && memcmp(text, pieces[i].s, pieces[i].len) != 0)
            return false;
        text += pieces[i].len;
    }
    return true;
}

ScriptString* luaS_newconcat(lua_State* L, const StrPiece* pieces, int n, size_t l)
{
    // The hash of the joined text (as HashUnits computes it), read through the pieces.
    lu_hash h = static_cast<lu_hash>(l);
    size_t step = (l >> 5) + 1;
    int p = n - 1;
    size_t pieceStart = l - pieces[p].len;
    for (size_t l1 = l; l1 >= step; l1 -= step)
    {
        size_t at = l1 - 1;
        while (at < pieceStart)
        {
            p--;
            pieceStart -= pieces[p].len;
        }
        h = h ^ ((h << 5) + (h >> 2) +
                 static_cast<lu_hash>(static_cast<unsigned char>(pieces[p].s[at - pieceStart])));
    }
    ScriptString* found =
        FindString(&G(L)->strt, h,
                   [&](const ScriptString* ts)
                   { return ts->tt == LUA_TSTRING && ts->len == l && SamePieces(ts, pieces, n); });
    if (found != nullptr)
        return found;
    ScriptString* ts = NewString(L, l, 1, LUA_TSTRING, h);
    char* text = getstr(ts);
    for (int i = 0; i < n; i++)
    {
        if (pieces[i].len > 0)
            memcpy(text, pieces[i].s, pieces[i].len);
        text += pieces[i].len;
    }
    return ts;
}

ScriptString* luaS_newlstr(lua_State* L, const char* str, size_t l)
{
    return Intern(L, str, l, 1, LUA_TSTRING,
                  HashUnits(reinterpret_cast<const unsigned char*>(str), l));
}

ScriptString* luaS_new(lua_State* L, const char* str)
{
    return luaS_newlstr(L, str, strlen(str));
}

ScriptString* luaS_newlwstr(lua_State* L, const lua_WChar* str, size_t l)
{
    return Intern(L, str, l, sizeof(lua_WChar), LUA_TWSTRING, HashUnits(str, l));
}

void luaS_fix(ScriptString* s)
{
    gc_setbit(s, FIXEDBIT);
}

size_t luaS_objectsize(const ScriptString* ts)
{
    size_t unit = ts->tt == LUA_TWSTRING ? sizeof(lua_WChar) : 1;
    return sizeof(ScriptString) + (static_cast<size_t>(ts->len) + 1) * unit;
}

// Bytes of collected strings kept at most: a quarter of the memory in use, at least this.
static constexpr size_t kMinKeptBytes = 64 * 1024;

// Makes room for one more address in a stash; false when the allocator refuses.
static bool GrowStash(global_State* g, StrStash* stash, lua_State* L)
{
    uint32_t capacity = stash->capacity < 64 ? 64 : stash->capacity * 2;
    size_t oldBytes = stash->capacity * sizeof(void*);
    size_t newBytes = capacity * sizeof(void*);
    void* grown = g->frealloc(g->ud, stash->blocks, oldBytes, newBytes, 0, L->bufferResizing);
    if (grown == nullptr)
        return false;
    stash->blocks = static_cast<void**>(grown);
    stash->capacity = capacity;
    g->nblocks += newBytes - oldBytes;
    return true;
}

void luaS_freestr(lua_State* L, ScriptString* ts)
{
    // Collected strings are mostly followed by new ones of the same sizes: keeping the blocks
    // spares the allocator a free and a malloc each, and the garbage collector's pacing still
    // counts them as freed.
    global_State* g = G(L);
    size_t size = luaS_objectsize(ts);
    size_t cap = g->nblocks / 4 > kMinKeptBytes ? g->nblocks / 4 : kMinKeptBytes;
    if (size < static_cast<size_t>(kStringReuseSizes) && g->strfreebytes + size <= cap)
    {
        StrStash& stash = g->strfree[size];
        if (stash.count < stash.capacity || GrowStash(g, &stash, L))
        {
            stash.blocks[stash.count++] = ts;
            g->strfreebytes += size;
            g->nblocks -= size;
            ASAN_POISON_MEMORY_REGION(ts, size);
            return;
        }
    }
    luaM_free(L, ts, size);
}

// Blocks ahead fetched early (the allocator reads around each) while the kept blocks are released.
constexpr uint32_t kReleaseAhead = 16;

void luaS_releasefree(lua_State* L)
{
    global_State* g = G(L);
    for (int size = 0; size < kStringReuseSizes; size++)
    {
        StrStash& stash = g->strfree[size];
        for (uint32_t i = 0; i < stash.count; i++)
        {
            if (i + kReleaseAhead < stash.count)
                __builtin_prefetch(stash.blocks[i + kReleaseAhead], 1);
            void* block = stash.blocks[i];
            ASAN_UNPOISON_MEMORY_REGION(block, static_cast<size_t>(size));
            g->frealloc(g->ud, block, static_cast<size_t>(size), 0, 0, L->bufferResizing);
        }
        if (stash.blocks != nullptr)
        {
            size_t bytes = stash.capacity * sizeof(void*);
            g->frealloc(g->ud, stash.blocks, bytes, 0, 0, L->bufferResizing);
            g->nblocks -= bytes;
        }
        stash = StrStash{nullptr, 0, 0};
    }
    g->strfreebytes = 0;
}
