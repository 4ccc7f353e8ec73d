// The interned string table shared by 8-bit and wide strings: hashing, lookup and resizing.
#include "script/core/calls.h"
#include "script/core/gc.h"
#include "script/core/object.h"
#include "script/core/state.h"
#include "script/core/strings.h"
#include "sys/process/memory.h"

#include <algorithm>

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

// Puts a slot whose string has hash h (or at least its low bits covering the index) in the first
// free place of its probe sequence (no resizing); true when that place held a removed string.
static bool PlaceRaw(uint64_t* slots, int size, uint64_t slot, lu_hash h)
{
    uint32_t mask = static_cast<uint32_t>(size - 1);
    uint32_t i = h & mask;
    while (slots[i] > kStrSlotRemoved)
        i = (i + 1) & mask;
    bool reused = slots[i] == kStrSlotRemoved;
    slots[i] = slot;
    return reused;
}

static bool PlaceSlot(uint64_t* slots, int size, ScriptString* ts, lu_hash h)
{
    return PlaceRaw(slots, size, luaS_makeslot(ts, h), h);
}

// Main tables from this size on (8 bytes a slot) take new strings through the recent slots.
constexpr int kRecentFromSize = 1 << 15;
// Recent strings held at most before they move into the main slots, and the recent slots.
constexpr uint32_t kRecentMax = 4096;
constexpr int kRecentSlots = 2 * kRecentMax;
// The filter's bits (256 KiB): a few per string of a large table, small enough to stay in the
// processor's cache.
constexpr int kFilterLog2 = 21;
constexpr int kFilterWords = 1 << (kFilterLog2 - 6);

static uint32_t FilterIndex(lu_hash h)
{
    // The top of a multiplicative mix: independent of the low hash bits that place a string in
    // the slots and that the slots keep.
    return static_cast<uint32_t>(h * 0x85EBCA77u) >> (32 - kFilterLog2);
}

static void FilterAdd(stringtable* tb, lu_hash h)
{
    uint32_t bit = FilterIndex(h);
    tb->filter[bit >> 6] |= uint64_t(1) << (bit & 63);
}

static bool FilterHas(const stringtable* tb, lu_hash h)
{
    uint32_t bit = FilterIndex(h);
    return (tb->filter[bit >> 6] >> (bit & 63)) & 1;
}

void luaS_clearfilter(stringtable* tb)
{
    if (tb->filter != nullptr)
        std::fill(tb->filter, tb->filter + kFilterWords, uint64_t(0));
}

void luaS_filteradd(stringtable* tb, lu_hash h)
{
    if (tb->filter != nullptr)
        FilterAdd(tb, h);
}

// Slots ahead whose string a rebuild fetches early (slots are sparse after sweeps).
constexpr int kResizeAhead = 32;

// Main slots of this size and more, while the default allocator serves the state, are pages of
// their own backed by large pages where the system has them: strings are placed all over the
// slots, and with small pages nearly every probe of a large table also missed the processor's
// page translation cache. Fresh pages read as empty slots. Counted as any block is. Vectors past
// what the allocator takes in one block still go to it, which refuses them with its message.
constexpr size_t kMappedSlotsMin = size_t(2) << 20;
constexpr size_t kMappedSlotsMax = size_t(2) << 30;
static_assert(kStrSlotEmpty == 0, "a zeroed slot is empty");

// Empty main slots; raises the memory error before anything has changed.
static uint64_t* NewSlots(lua_State* L, int n, bool* mapped)
{
    global_State* g = G(L);
    size_t bytes = static_cast<size_t>(n) * sizeof(uint64_t);
    if (bytes >= kMappedSlotsMin && bytes <= kMappedSlotsMax && g->smallpool)
    {
        void* block = sys::MapZeroedScatteredPages(bytes);
        if (block == nullptr)
            luaD_throw(L, LUA_ERRMEM);
        g->nblocks += bytes;
        *mapped = true;
        return static_cast<uint64_t*>(block);
    }
    uint64_t* slots = luaM_newvector<uint64_t>(L, n);
    std::fill(slots, slots + n, kStrSlotEmpty);
    *mapped = false;
    return slots;
}

static void FreeSlots(lua_State* L, uint64_t* slots, int n, bool mapped)
{
    if (mapped)
    {
        size_t bytes = static_cast<size_t>(n) * sizeof(uint64_t);
        sys::UnmapPages(slots, bytes);
        G(L)->nblocks -= bytes;
    }
    else
    {
        luaM_freearray(L, slots, n);
    }
}

void luaS_resize(lua_State* L, int newsize)
{
    stringtable* tb = &G(L)->strt;
    bool mapped = false;
    uint64_t* fresh = NewSlots(L, newsize, &mapped);
    for (int i = 0; i < tb->size; i++)
    {
        uint64_t slot = tb->hash[i];
        if (slot <= kStrSlotRemoved)
            continue;
        // The slot's bits do not give the string's place: fetch the strings a few slots ahead.
        if (i + kResizeAhead < tb->size && tb->hash[i + kResizeAhead] > kStrSlotRemoved)
            __builtin_prefetch(luaS_slotstring(tb->hash[i + kResizeAhead]));
        PlaceRaw(fresh, newsize, slot, luaS_slotstring(slot)->hash);
    }
    FreeSlots(L, tb->hash, tb->size, tb->mappedslots);
    tb->size = newsize;
    tb->hash = fresh;
    tb->mappedslots = mapped;
    tb->ntomb = 0;
    if (newsize < kRecentFromSize)
    {
        // A small table takes its strings directly again; the caller left room for them.
        for (uint32_t j = 0; j < tb->nrecent; j++)
            PlaceSlot(tb->hash, tb->size, tb->recentlist[j].ts, tb->recentlist[j].h);
        tb->nrecent = 0;
        if (tb->recent != nullptr)
            std::fill(tb->recent, tb->recent + kRecentSlots, kStrSlotEmpty);
        luaM_freearray(L, tb->filter, tb->filter != nullptr ? kFilterWords : 0);
        tb->filter = nullptr;
    }
}

// Main slots ahead fetched early while recent strings move in.
constexpr uint32_t kFlushAhead = 16;

// Moves the recent strings into the main slots, growing them first when needed.
static void FlushRecent(lua_State* L)
{
    stringtable* tb = &G(L)->strt;
    uint32_t size = static_cast<uint32_t>(tb->size);
    uint32_t inmain = tb->nuse - tb->nrecent;
    if (inmain + tb->ntomb + tb->nrecent > size / 4 * 3)
    {
        if (tb->nuse > size / 8 * 3 && tb->size <= (1 << 30) / 2)
            luaS_resize(L, tb->size * 2);
        else
            luaS_resize(L, tb->size);
        if (tb->nrecent == 0)
            return;
    }
    uint32_t mask = static_cast<uint32_t>(tb->size - 1);
    for (uint32_t j = 0; j < tb->nrecent; j++)
    {
        if (j + kFlushAhead < tb->nrecent)
            __builtin_prefetch(&tb->hash[tb->recentlist[j + kFlushAhead].h & mask], 1);
        const RecentString& r = tb->recentlist[j];
        if (PlaceSlot(tb->hash, tb->size, r.ts, r.h))
            tb->ntomb--;
        luaS_filteradd(tb, r.h);
    }
    tb->nrecent = 0;
    std::fill(tb->recent, tb->recent + kRecentSlots, kStrSlotEmpty);
}

// Makes sure one more string can be added without any allocation but its own; may raise the
// memory error, before anything has changed.
static void EnsureRoom(lua_State* L)
{
    stringtable* tb = &G(L)->strt;
    if (tb->size < kRecentFromSize)
    {
        // At most three quarters of the slots in use (strings and removed marks), so probes
        // stay short and always reach an empty slot; the tags spare visits to strings on the
        // way.
        uint32_t size = static_cast<uint32_t>(tb->size);
        if (tb->nuse + tb->ntomb + 1 > size / 4 * 3)
        {
            if (tb->nuse + 1 > size / 8 * 3 && tb->size <= (1 << 30) / 2)
                luaS_resize(L, tb->size * 2);
            else
                luaS_resize(L, tb->size);
        }
        if (tb->size < kRecentFromSize)
            return;
    }
    if (tb->recent == nullptr)
    {
        tb->recentlist = luaM_newvector<RecentString>(L, static_cast<int>(kRecentMax));
        try
        {
            tb->recent = luaM_newvector<uint64_t>(L, kRecentSlots);
        }
        catch (...)
        {
            luaM_freearray(L, tb->recentlist, static_cast<int>(kRecentMax));
            tb->recentlist = nullptr;
            throw;
        }
        std::fill(tb->recent, tb->recent + kRecentSlots, kStrSlotEmpty);
    }
    if (tb->filter == nullptr)
    {
        tb->filter = luaM_newvector<uint64_t>(L, kFilterWords);
        std::fill(tb->filter, tb->filter + kFilterWords, uint64_t(0));
        for (int i = 0; i < tb->size; i++)
        {
            if (i + kResizeAhead < tb->size && tb->hash[i + kResizeAhead] > kStrSlotRemoved)
                __builtin_prefetch(luaS_slotstring(tb->hash[i + kResizeAhead]));
            if (tb->hash[i] > kStrSlotRemoved)
                FilterAdd(tb, luaS_slotstring(tb->hash[i])->hash);
        }
    }
    if (tb->nrecent == kRecentMax)
        FlushRecent(L);
}

// Adds ts (hash h) to the table; EnsureRoom has run since the last string was added.
static void AddString(stringtable* tb, ScriptString* ts, lu_hash h)
{
    ts->hash = h;
    ts->hashed = 1;
    ts->interned = 1;
    ts->unkeyed = 1;
    if (tb->size >= kRecentFromSize)
    {
        PlaceSlot(tb->recent, kRecentSlots, ts, h);
        tb->recentlist[tb->nrecent++] = RecentString{ts, h};
    }
    else if (PlaceSlot(tb->hash, tb->size, ts, h))
        tb->ntomb--;
    tb->nuse++;
}

void luaS_sweeprecent(lua_State* L)
{
    stringtable* tb = &G(L)->strt;
    if (tb->nrecent == 0)
        return;
    std::fill(tb->recent, tb->recent + kRecentSlots, kStrSlotEmpty);
    uint32_t kept = 0;
    for (uint32_t j = 0; j < tb->nrecent; j++)
    {
        ScriptString* ts = tb->recentlist[j].ts;
        if (gc_testbit(ts, MARKBIT) || gc_testbit(ts, FIXEDBIT))
        {
            gc_clearbit(ts, MARKBIT);
            PlaceSlot(tb->recent, kRecentSlots, ts, tb->recentlist[j].h);
            tb->recentlist[kept++] = tb->recentlist[j];
            continue;
        }
        tb->nuse--;
        luaS_freestr(L, ts);
    }
    tb->nrecent = kept;
}

void luaS_freesidearrays(lua_State* L)
{
    stringtable* tb = &G(L)->strt;
    luaM_freearray(L, tb->filter, tb->filter != nullptr ? kFilterWords : 0);
    luaM_freearray(L, tb->recent, tb->recent != nullptr ? kRecentSlots : 0);
    luaM_freearray(L, tb->recentlist, tb->recentlist != nullptr ? static_cast<int>(kRecentMax) : 0);
    tb->filter = nullptr;
    tb->recent = nullptr;
    tb->recentlist = nullptr;
    tb->nrecent = 0;
}

void luaS_freetable(lua_State* L)
{
    stringtable* tb = &G(L)->strt;
    luaS_freesidearrays(L);
    FreeSlots(L, tb->hash, tb->size, tb->mappedslots);
    *tb = stringtable{};
}

// Finds the string with hash h for which same(ts) holds among the given slots, or returns null.
template <typename Same>
static ScriptString* ProbeSlots(const uint64_t* slots, int size, lu_hash h, Same same)
{
    uint32_t mask = static_cast<uint32_t>(size - 1);
    uint64_t tag = luaS_slottag(h);
    for (uint32_t i = h & mask;; i = (i + 1) & mask)
    {
        uint64_t slot = slots[i];
        if (slot == kStrSlotEmpty)
            return nullptr;
        if ((slot & ~((uint64_t(1) << kStrSlotAddrBits) - 1)) == tag && slot != kStrSlotRemoved)
        {
            ScriptString* ts = luaS_slotstring(slot);
            if (ts->hash == h && same(ts))
                return ts;
        }
    }
}

// Finds the interned string with hash h for which same(ts) holds, or returns null.
template <typename Same> static ScriptString* FindString(stringtable* tb, lu_hash h, Same same)
{
    if (tb->nrecent > 0)
    {
        ScriptString* ts = ProbeSlots(tb->recent, kRecentSlots, h, same);
        if (ts != nullptr)
            return ts;
    }
    if (tb->filter != nullptr && !FilterHas(tb, h))
        return nullptr;
    return ProbeSlots(tb->hash, tb->size, h, same);
}

// Pool blocks are multiples of 8 bytes; longer strings get a block of their own.
constexpr size_t kPoolMaxBytes = 8 * (kStringReuseSizes - 1);
// Slabs start small, so that a state with few strings (a particle system's) takes little, and
// each new one is as large as all before it together, up to a size that keeps the allocator's
// calls rare.
constexpr size_t kFirstSlabBytes = 4 * 1024;
constexpr size_t kMaxSlabBytes = 256 * 1024;
constexpr size_t kSlabHeaderRoom = 16;
// A slab begins with the link to the next slab, its own size and, once a newer slab is taken,
// the bytes carved from it, keeping blocks 16-byte aligned. Carved blocks lie one after another
// and each always starts with a string header (a freed block's says so, and its size), so the
// collector can walk a slab's strings in address order.
struct SlabHeader
{
    void* next;
    size_t bytes;
    size_t used;
    size_t padding;
};
static_assert(sizeof(SlabHeader) == 32, "slab blocks stay 16-byte aligned");

// Kind written in the header of a freed pool block; its `reserved` byte holds the block's size
// in 8-byte units.
constexpr lu_byte kFreeBlock = 0;

static size_t PoolClass(size_t size)
{
    return (size + 7) >> 3;
}

// Takes a new slab from the allocator; its bytes are counted as the strings carved from it are.
static void NewSlab(lua_State* L)
{
    global_State* g = G(L);
    // A word short of the round size, so that the C library's own header fits inside it: a slab of
    // exactly 256 KiB, served by its own pages, would take a page more, 1.5% of every string's
    // memory.
    size_t bytes = std::clamp(g->strslabbytes, kFirstSlabBytes, kMaxSlabBytes) - kSlabHeaderRoom;
    char* slab = static_cast<char*>(luaM_realloc(L, nullptr, 0, bytes));
    g->nblocks -= bytes;
    g->strslabbytes += bytes;
    if (g->strslabs != nullptr)
        static_cast<SlabHeader*>(g->strslabs)->used =
            static_cast<size_t>(g->strpoolnext - static_cast<char*>(g->strslabs));
    *reinterpret_cast<SlabHeader*>(slab) = SlabHeader{g->strslabs, bytes, 0, 0};
    g->strslabs = slab;
    g->strpoolnext = slab + sizeof(SlabHeader);
    g->strpoolend = slab + bytes;
    ASAN_POISON_MEMORY_REGION(g->strpoolnext, bytes - sizeof(SlabHeader));
}

// The link of a kept block to the next kept block of its size, in the word after its header.
static void** KeptLink(void* block)
{
    return reinterpret_cast<void**>(static_cast<ScriptString*>(block) + 1);
}
static_assert(sizeof(ScriptString) + sizeof(void*) <= 8 * ((sizeof(ScriptString) + 1 + 7) / 8),
              "the smallest pooled block has room for a link");

// A block for a string object of size bytes, counted in nblocks; raises the memory error.
static void* StringBlock(lua_State* L, size_t size)
{
    global_State* g = G(L);
    if (size > kPoolMaxBytes)
    {
        auto* link = static_cast<LongStringLink*>(
            luaM_realloc(L, nullptr, 0, sizeof(LongStringLink) + size));
        g->nblocks -= sizeof(LongStringLink);
        link->prev = nullptr;
        link->next = g->longstrings;
        if (link->next != nullptr)
            link->next->prev = link;
        g->longstrings = link;
        return link + 1;
    }
    size_t cls = PoolClass(size);
    size_t bytes = cls * 8;
    void* block = g->strfree[cls];
    if (block != nullptr)
    {
        void* next = *KeptLink(block);
        g->strfree[cls] = next;
        // The next string of this size will be written to the next block out: fetch it now.
        if (next != nullptr)
            __builtin_prefetch(next, 1);
        g->strfreebytes -= bytes;
    }
    else
    {
        if (static_cast<size_t>(g->strpoolend - g->strpoolnext) < bytes)
            NewSlab(L);
        block = g->strpoolnext;
        g->strpoolnext += bytes;
    }
    ASAN_UNPOISON_MEMORY_REGION(block, bytes);
    g->nblocks += size;
    return block;
}

// Allocates a string of l units outside the table; the caller writes its text. The terminator
// is set.
static ScriptString* AllocString(lua_State* L, size_t l, size_t unitSize, lu_byte kind)
{
    size_t total = sizeof(ScriptString) + (l + 1) * unitSize;
    ScriptString* ts = static_cast<ScriptString*>(StringBlock(L, total));
    ts->tt = kind;
    ts->marked = 0;
    ts->reserved = 0;
    ts->interned = 0;
    ts->hashed = 0;
    ts->unkeyed = 0;
    ts->hash = 0; // read, never trusted, before the hash is known
    ts->len = static_cast<uint32_t>(l);
    // The terminator is one byte or one 16-bit unit: stored, not a call for one or two bytes.
    char* end = reinterpret_cast<char*>(ts + 1) + l * unitSize;
    end[0] = 0;
    if (unitSize > 1)
        end[1] = 0;
    return ts;
}

// Allocates and adds a string of l units whose text the caller writes; its terminator is set.
static ScriptString* NewString(lua_State* L, size_t l, size_t unitSize, lu_byte kind, lu_hash h)
{
    // Room first, so that a failure leaves nothing behind.
    EnsureRoom(L);
    ScriptString* ts = AllocString(L, l, unitSize, kind);
    ts->hash = h;
    AddString(&G(L)->strt, ts, h);
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

// Allocates a loose 8-bit string of l bytes, not yet hashed, whose text the caller writes; its
// terminator is set.
static ScriptString* NewLoose(lua_State* L, size_t l)
{
    ScriptString* ts = AllocString(L, l, 1, LUA_TSTRING);
    if (luaS_objectsize(ts) <= kPoolMaxBytes)
        G(L)->strt.nloose++;
    return ts;
}

ScriptString* luaS_newloose(lua_State* L, const char* str, size_t l)
{
    ScriptString* ts = NewLoose(L, l);
    if (l > 0)
        memcpy(getstr(ts), str, l);
    return ts;
}

lu_hash luaS_sethash(const ScriptString* ts)
{
    auto* s = const_cast<ScriptString*>(ts);
    s->hash = ts->tt == LUA_TWSTRING
                  ? HashUnits(getwstr(ts), ts->len)
                  : HashUnits(reinterpret_cast<const unsigned char*>(getstr(ts)), ts->len);
    s->hashed = 1;
    return s->hash;
}

// The interned string of the same kind and text as the loose ts, or null.
static ScriptString* FindTwin(stringtable* tb, const ScriptString* ts)
{
    size_t bytes = ts->len * (ts->tt == LUA_TWSTRING ? sizeof(lua_WChar) : 1);
    return FindString(tb, luaS_hash(ts),
                      [&](const ScriptString* other) {
                          return other->tt == ts->tt && other->len == ts->len &&
                                 memcmp(other + 1, ts + 1, bytes) == 0;
                      });
}

ScriptString* luaS_intern(lua_State* L, ScriptString* ts)
{
    if (ts->interned)
        return ts;
    ScriptString* twin = FindTwin(&G(L)->strt, ts);
    if (twin != nullptr)
        return twin;
    EnsureRoom(L);
    stringtable* tb = &G(L)->strt;
    AddString(tb, ts, luaS_hash(ts));
    if (luaS_objectsize(ts) <= kPoolMaxBytes)
        tb->nloose--;
    return ts;
}

const ScriptString* luaS_findinterned(lua_State* L, const ScriptString* ts)
{
    return ts->interned ? ts : FindTwin(&G(L)->strt, ts);
}

// Frees a loose string the collector did not reach (true), or clears the mark of one it did.
static bool SweepLooseString(lua_State* L, ScriptString* ts)
{
    if (gc_testbit(ts, MARKBIT) || gc_testbit(ts, FIXEDBIT))
    {
        gc_clearbit(ts, MARKBIT);
        return false;
    }
    luaS_freestr(L, ts);
    return true;
}

void luaS_sweeploose(lua_State* L)
{
    global_State* g = G(L);
    stringtable* tb = &g->strt;
    // Newest slabs first, where young strings are; the walk ends with the last loose string,
    // so that the slabs of long-lived interned strings (the libraries' names) are rarely read.
    uint32_t left = tb->nloose;
    for (char* slab = static_cast<char*>(g->strslabs); slab != nullptr && left > 0;)
    {
        const SlabHeader* header = reinterpret_cast<const SlabHeader*>(slab);
        char* next = static_cast<char*>(header->next);
        const char* end = slab == g->strslabs ? g->strpoolnext : slab + header->used;
        for (char* p = slab + sizeof(SlabHeader); p < end && left > 0;)
        {
            ScriptString* ts = reinterpret_cast<ScriptString*>(p);
            if (ts->tt == kFreeBlock)
            {
                p += ts->reserved * size_t(8);
                continue;
            }
            p += PoolClass(luaS_objectsize(ts)) * 8;
            if (ts->interned)
                continue; // the string table's sweep's
            left--;
            if (SweepLooseString(L, ts))
                tb->nloose--;
        }
        slab = next;
    }
    for (LongStringLink* link = g->longstrings; link != nullptr;)
    {
        LongStringLink* next = link->next; // freeing the string unlinks it
        ScriptString* ts = reinterpret_cast<ScriptString*>(link + 1);
        if (!ts->interned)
            SweepLooseString(L, ts);
        link = next;
    }
}

ScriptString* luaS_newconcat(lua_State* L, const StrPiece* pieces, int n, size_t l,
                             const Table* keyFor, bool keyWritten)
{
    lu_hash h = 0;
    if (keyFor != nullptr)
    {
        // A key: the hash of the joined text (as HashUnits computes it), read through the
        // pieces. The table's node is fetched while the string table is searched, and an
        // interned twin serves as it is (no new string; the table's chain is walked by address).
        h = static_cast<lu_hash>(l);
        size_t step = (l >> 5) + 1;
        if (step == 1)
        {
            // A short key hashes every byte, last to first: piece by piece, with no search for
            // the piece that holds each byte.
            for (int p = n - 1; p >= 0; p--)
            {
                const auto* s = reinterpret_cast<const unsigned char*>(pieces[p].s);
                for (size_t k = pieces[p].len; k > 0; k--)
                    h = h ^ ((h << 5) + (h >> 2) + static_cast<lu_hash>(s[k - 1]));
            }
        }
        else
        {
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
                         static_cast<lu_hash>(
                             static_cast<unsigned char>(pieces[p].s[at - pieceStart])));
            }
        }
        const Node* node = &keyFor->node[h & static_cast<lu_hash>(sizenode(keyFor) - 1)];
        __builtin_prefetch(node);
        // A key about to be read is mostly one the table holds: its node's key is the interned
        // twin, found without the string table's slots (a cache miss of their own in a large
        // one). A new key would only add the walk: assignments go straight to the string table.
        // A main position holding a key from another chain starts no chain of its own.
        if (!keyWritten && !nodeaway(node))
        {
            unsigned tag = nodetag(h);
            do
            {
                if (node->i_key.tt == LUA_TSTRING && nodetagged(node, tag) &&
                    !ttisnil(&node->i_val))
                {
                    ScriptString* key = tsvalue(&node->i_key);
                    if (key->hash == h && key->interned && key->len == l &&
                        SamePieces(key, pieces, n))
                        return key;
                }
                node = gnext(node);
            } while (node != nullptr);
        }
        ScriptString* found = FindString(&G(L)->strt, h,
                                         [&](const ScriptString* ts) {
                                             return ts->tt == LUA_TSTRING && ts->len == l &&
                                                    SamePieces(ts, pieces, n);
                                         });
        if (found != nullptr)
            return found;
    }
    // A new key: interned now, so that the assignment walks the table's chain by address.
    ScriptString* ts = keyWritten ? NewString(L, l, 1, LUA_TSTRING, h) : NewLoose(L, l);
    if (keyFor != nullptr)
    {
        ts->hash = h;
        ts->hashed = 1;
    }
    char* text = getstr(ts);
    for (int i = 0; i < n; i++)
    {
        if (pieces[i].len > 0)
            memcpy(text, pieces[i].s, pieces[i].len);
        text += pieces[i].len;
    }
    return ts;
}

ScriptString* luaS_reserve(lua_State* L, size_t l)
{
    EnsureRoom(L);
    return AllocString(L, l, 1, LUA_TSTRING);
}

ScriptString* luaS_commit(lua_State* L, ScriptString* ts)
{
    size_t l = ts->len;
    const char* text = getstr(ts);
    lu_hash h = HashUnits(reinterpret_cast<const unsigned char*>(text), l);
    ScriptString* found = FindString(&G(L)->strt, h,
                                     [&](const ScriptString* other) {
                                         return other->tt == LUA_TSTRING && other->len == l &&
                                                memcmp(getstr(other), text, l) == 0;
                                     });
    if (found != nullptr)
    {
        luaS_freestr(L, ts);
        return found;
    }
    ts->hash = h;
    AddString(&G(L)->strt, ts, h);
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

void luaS_freestr(lua_State* L, ScriptString* ts)
{
    global_State* g = G(L);
    size_t size = luaS_objectsize(ts);
    if (size > kPoolMaxBytes)
    {
        LongStringLink* link = reinterpret_cast<LongStringLink*>(ts) - 1;
        if (link->prev != nullptr)
            link->prev->next = link->next;
        else
            g->longstrings = link->next;
        if (link->next != nullptr)
            link->next->prev = link->prev;
        luaM_free(L, link, sizeof(LongStringLink) + size);
        g->nblocks += sizeof(LongStringLink);
        return;
    }
    // Collected strings are mostly followed by new ones of the same sizes: the block waits for
    // the next of its size.
    size_t cls = PoolClass(size);
    g->nblocks -= size;
    // The header stays readable for the collector's walk of the slab.
    ts->tt = kFreeBlock;
    ts->reserved = static_cast<lu_byte>(cls);
    *KeptLink(ts) = g->strfree[cls];
    g->strfree[cls] = ts;
    g->strfreebytes += cls * 8;
    ASAN_POISON_MEMORY_REGION(KeptLink(ts) + 1, cls * 8 - sizeof(ScriptString) - sizeof(void*));
}

void luaS_freeall(lua_State* L)
{
    global_State* g = G(L);
    stringtable* tb = &g->strt;
    luaS_freesidearrays(L);
    while (g->longstrings != nullptr)
    {
        LongStringLink* link = g->longstrings;
        g->longstrings = link->next;
        size_t size = luaS_objectsize(reinterpret_cast<ScriptString*>(link + 1));
        g->frealloc(g->ud, link, sizeof(LongStringLink) + size, 0, 0, L->bufferResizing);
        g->nblocks -= size;
    }
    while (g->strslabs != nullptr)
    {
        SlabHeader header = *static_cast<SlabHeader*>(g->strslabs);
        ASAN_UNPOISON_MEMORY_REGION(g->strslabs, header.bytes);
        g->frealloc(g->ud, g->strslabs, header.bytes, 0, 0, L->bufferResizing);
        g->strslabs = header.next;
    }
    std::fill(g->strfree, g->strfree + kStringReuseSizes, nullptr);
    g->strfreebytes = 0;
    g->strslabbytes = 0;
    g->strpoolnext = nullptr;
    g->strpoolend = nullptr;
    // The slots still name the freed strings: only the close calls this, and it frees the slots
    // next (clearing them first wrote megabytes for nothing after a large run).
    tb->nuse = 0;
    tb->ntomb = 0;
    tb->nrecent = 0;
    tb->nloose = 0;
}
