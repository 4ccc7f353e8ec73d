// Tables: an array part for integer keys 1..n and a chained hash part with Brent's variation,
// with the resizing and `next` traversal rules of the 5.0 engine.
#include <cmath>

#include "script/core/calls.h"
#include "script/core/debug_info.h"
#include "script/core/gc.h"
#include "script/core/strings.h"
#include "script/core/table.h"
#include "sys/process/memory.h"

#include <climits>
#include <cstring>

static constexpr int kMaxArraySize = 1 << MAXBITS;

static Node* HashMod(const Table* t, lu_hash n)
{
    return gnode(t, static_cast<int>(n % static_cast<lu_hash>((sizenode(t) - 1) | 1)));
}

static Node* HashPow2(const Table* t, lu_hash n)
{
    return gnode(t, static_cast<int>(n & static_cast<lu_hash>(sizenode(t) - 1)));
}

static Node* HashNum(const Table* t, lua_Number n)
{
    unsigned int a[sizeof(lua_Number) / sizeof(unsigned int)];
    n += 1; // folds -0 into +0
    memcpy(a, &n, sizeof(a));
    for (size_t i = 1; i < sizeof(a) / sizeof(a[0]); i++)
        a[0] += a[i];
    return HashMod(t, a[0]);
}

static Node* OtherMainPosition(const Table* t, const TObject* key)
{
    switch (ttype(key))
    {
    case LUA_TNUMBER:
        return HashNum(t, nvalue(key));
    case LUA_TBOOLEAN:
        return HashPow2(t, static_cast<lu_hash>(bvalue(key)));
    case LUA_TLIGHTUSERDATA:
        return HashMod(t, static_cast<lu_hash>(reinterpret_cast<uintptr_t>(pvalue(key))));
    default:
        return HashMod(t, static_cast<lu_hash>(reinterpret_cast<uintptr_t>(gcvalue(key))));
    }
}

// String keys, most keys of a hash part, are placed without a call.
static inline Node* MainPosition(const Table* t, const TObject* key)
{
    if (ttisstring(key) || ttiswstring(key))
        return HashPow2(t, tsvalue(key)->hash);
    return OtherMainPosition(t, key);
}

// Array index of key, or -1 when the key is not a positive integer in range.
static int ArrayIndex(const TObject* key)
{
    if (ttisnumber(key))
    {
        lua_Number n = nvalue(key);
        if (n >= 1 && n <= kMaxArraySize)
        {
            int k = static_cast<int>(n);
            if (static_cast<lua_Number>(k) == n)
                return k;
        }
    }
    return -1;
}

// Position of key in the traversal: -1 for the start, else index in array part then hash part.
static int FindIndex(lua_State* L, Table* t, const TObject* key)
{
    if (ttisnil(key))
        return -1;
    int i = ArrayIndex(key);
    if (i > 0 && i <= t->sizearray)
        return i - 1;
    TObject canonical;
    if (ttisstring(key) && !tsvalue(key)->interned)
    {
        // Dead keys are compared by address, and they were interned: use the key's interned
        // twin when there is one (without one, no key of the table holds this text).
        const ScriptString* twin = luaS_findinterned(L, tsvalue(key));
        if (twin != nullptr)
        {
            setsvalue(&canonical, const_cast<ScriptString*>(twin));
            key = &canonical;
        }
    }
    Node* n = MainPosition(t, key);
    do
    {
        const TObject* k = gkey(n);
        bool same = luaO_rawequalObj(k, key) ||
                    (ttype(k) == LUA_TDEADKEY && iscollectable(key) && gcvalue(k) == gcvalue(key));
        if (same)
            return static_cast<int>(n - gnode(t, 0)) + t->sizearray;
        n = gnext(n);
    } while (n != nullptr);
    luaG_runerror(L, "invalid key for `next'");
}

int luaH_next(lua_State* L, Table* t, StkId key)
{
    int i = FindIndex(L, t, key);
    for (i++; i < t->sizearray; i++)
    {
        if (!ttisnil(&t->array[i]))
        {
            setnvalue(key, static_cast<lua_Number>(i + 1));
            setobj(key + 1, &t->array[i]);
            return 1;
        }
    }
    for (i -= t->sizearray; i < sizenode(t); i++)
    {
        if (!ttisnil(gval(gnode(t, i))))
        {
            setobj(key, gkey(gnode(t, i)));
            setobj(key + 1, gval(gnode(t, i)));
            return 1;
        }
    }
    return 0;
}

// --- Resizing ----------------------------------------------------------------------------------

// Chooses the array size: the largest power of two n such that more than half of 1..n are used.
static void ComputeSizes(const int nums[], int ntotal, int* narray, int* nhash)
{
    int a = nums[0];
    int na = a;
    int n = (a == 0) ? -1 : 0;
    for (int i = 1; a < *narray && *narray >= (1 << (i - 1)) && i <= MAXBITS; i++)
    {
        if (nums[i] > 0)
        {
            a += nums[i];
            if (a >= (1 << (i - 1)))
            {
                n = i;
                na = a;
            }
        }
    }
    *nhash = ntotal - na;
    *narray = (n == -1) ? 0 : (1 << n);
}

// nums[i]: integer keys k with 2^(i-1) < k <= 2^i (nums[0]: the key 1).
static void CountKey(int nums[], int k)
{
    if (k > 0)
        nums[luaO_log2(static_cast<unsigned int>(k - 1)) + 1]++;
}

static void NumUse(const Table* t, int* narray, int* nhash, const TObject* extraKey)
{
    int nums[MAXBITS + 1] = {};
    int totaluse = 0;
    int arrayKeys = 0;
    for (int i = 0; i < t->sizearray; i++)
    {
        if (!ttisnil(&t->array[i]))
        {
            CountKey(nums, i + 1);
            arrayKeys++;
        }
    }
    totaluse = arrayKeys;
    for (int i = sizenode(t) - 1; i >= 0; i--)
    {
        Node* n = gnode(t, i);
        if (!ttisnil(gval(n)))
        {
            int k = ArrayIndex(gkey(n));
            if (k > 0)
            {
                CountKey(nums, k);
                arrayKeys++;
            }
            totaluse++;
        }
    }
    if (extraKey != nullptr)
    {
        int k = ArrayIndex(extraKey);
        if (k > 0)
        {
            CountKey(nums, k);
            arrayKeys++;
        }
        totaluse++;
    }
    *narray = arrayKeys;
    ComputeSizes(nums, totaluse, narray, nhash);
}

// Array parts of this size and more, while the default allocator serves the state, are blocks of
// pages of their own. A part doubled for one more item leaves up to half of itself unwritten, and
// such pages take no memory until written (a nil slot is zero bytes); a growth moves the pages
// instead of copying them. Counted in the collector's bytes as any block is.
constexpr size_t kMappedArrayMin = size_t(256) << 10;
static_assert(LUA_TNIL == 0, "a zeroed slot is nil");

// Gives the array part newsize slots instead of oldsize, keeping the first of them; the caller
// makes any others nil, unless the part is mapped, where they are nil already. Raises the memory
// error with the part as it was.
static void ResizeArrayBlock(lua_State* L, Table* t, int oldsize, int newsize)
{
    global_State* g = G(L);
    size_t oldBytes = static_cast<size_t>(oldsize) * sizeof(TObject);
    size_t newBytes = static_cast<size_t>(newsize) * sizeof(TObject);
    bool mapped = newBytes >= kMappedArrayMin && (t->mappedarray || g->smallpool);
    if (!t->mappedarray && !mapped)
    {
        luaM_reallocvector(L, t->array, oldsize, newsize);
        return;
    }
    TObject* old = t->array;
    size_t kept = oldBytes < newBytes ? oldBytes : newBytes;
    void* block;
    if (t->mappedarray && mapped)
    {
        block = sys::RemapZeroedPages(old, oldBytes, newBytes);
        if (block == nullptr)
            luaD_throw(L, LUA_ERRMEM);
    }
    else if (mapped)
    {
        // From the heap to pages of its own.
        block = sys::MapZeroedPages(newBytes);
        if (block == nullptr)
            luaD_throw(L, LUA_ERRMEM);
        if (kept > 0)
            memcpy(block, old, kept);
        luaM_free(L, old, oldBytes);
    }
    else
    {
        // Shrunk under the size of pages of its own, or freed.
        block = newBytes > 0 ? luaM_realloc(L, nullptr, 0, newBytes) : nullptr;
        if (kept > 0)
            memcpy(block, old, kept);
        sys::UnmapPages(old, oldBytes);
    }
    if (t->mappedarray)
        g->nblocks -= oldBytes;
    if (mapped)
        g->nblocks += newBytes;
    t->array = static_cast<TObject*>(block);
    t->mappedarray = mapped;
}

static void SetArrayVector(lua_State* L, Table* t, int size)
{
    ResizeArrayBlock(L, t, t->sizearray, size);
    if (!t->mappedarray)
    {
        for (int i = t->sizearray; i < size; i++)
            setnilvalue(&t->array[i]);
    }
    t->sizearray = size;
}

// Hash parts of this size and more, while the default allocator serves the state, are blocks of
// pages of their own, backed by large pages where the system has them: the keys of a large table
// land all over its nodes, and with small pages nearly every node reached also missed the
// processor's page translation cache. The pages come zeroed, which is an empty node (nil key and
// value, no link). Counted in the collector's bytes as any block is.
constexpr size_t kMappedNodesMin = size_t(2) << 20;

static void UnmapNodeVector(lua_State* L, Node* node, int lsize)
{
    size_t bytes = (size_t(1) << lsize) * sizeof(Node);
    sys::UnmapPages(node, bytes);
    G(L)->nblocks -= bytes;
}

// Gives the table an empty hash part of 2^lsize nodes; the old one is left to the caller. Raises
// the memory error with the table as it was.
static void SetNodeVector(lua_State* L, Table* t, int lsize)
{
    if (lsize > MAXBITS)
        luaG_runerror(L, "table overflow");
    if (lsize == 0)
    {
        t->node = G(L)->dummynode;
        t->mappednode = 0;
    }
    else
    {
        int size = 1 << lsize;
        size_t bytes = static_cast<size_t>(size) * sizeof(Node);
        global_State* g = G(L);
        if (bytes >= kMappedNodesMin && g->smallpool)
        {
            void* block = sys::MapZeroedScatteredPages(bytes);
            if (block == nullptr)
                luaD_throw(L, LUA_ERRMEM);
            g->nblocks += bytes;
            t->node = static_cast<Node*>(block);
            t->mappednode = 1;
        }
        else
        {
            t->node = static_cast<Node*>(luaM_newblock(L, bytes));
            t->mappednode = 0;
            for (int i = 0; i < size; i++)
            {
                cleargnext(&t->node[i]);
                setnilvalue(gkey(gnode(t, i)));
                setnilvalue(gval(gnode(t, i)));
            }
        }
    }
    t->lsizenode = static_cast<lu_byte>(lsize);
    t->firstfree = gnode(t, (1 << lsize) - 1);
}

static TObject* NewKey(lua_State* L, Table* t, const TObject* key);

// Old nodes ahead of the one a rebuild reinserts whose new places it fetches early.
constexpr int kRehashAhead = 16;

static void Resize(lua_State* L, Table* t, int nasize, int nhsize)
{
    int oldasize = t->sizearray;
    int oldhsize = t->lsizenode;
    Node* oldnode = t->node;
    bool oldmapped = t->mappednode;
    int lsize = 0;
    if (nhsize > 0)
    {
        lsize = luaO_log2(static_cast<unsigned int>(nhsize)) + 1;
        if (lsize > MAXBITS)
            luaG_runerror(L, "table overflow");
    }
    Node nodeCopy[1];
    if (oldnode == G(L)->dummynode)
    {
        // A key may have been placed in the shared empty node just before this rehash: take it
        // out and leave the shared node empty before anything can fail.
        nodeCopy[0] = oldnode[0];
        oldnode = nodeCopy;
        setnilvalue(gkey(G(L)->dummynode));
        setnilvalue(gval(G(L)->dummynode));
        cleargnext(G(L)->dummynode);
    }
    if (nasize > oldasize)
        SetArrayVector(L, t, nasize);
    SetNodeVector(L, t, lsize);
    if (nasize < oldasize)
    {
        t->sizearray = nasize;
        for (int i = nasize; i < oldasize; i++)
        {
            if (!ttisnil(&t->array[i]))
                setobj(luaH_setnum(L, t, i + 1), &t->array[i]);
        }
        ResizeArrayBlock(L, t, oldasize, nasize);
    }
    for (int i = (1 << oldhsize) - 1; i >= 0; i--)
    {
        // In a large table each key string and each new main position is a cache miss: fetch
        // the strings further ahead, then the nodes their hashes name.
        if (i >= 2 * kRehashAhead)
        {
            const TObject* far = gkey(oldnode + i - 2 * kRehashAhead);
            if (ttisstring(far) || ttiswstring(far))
                __builtin_prefetch(tsvalue(far));
        }
        if (i >= kRehashAhead)
        {
            Node* near = oldnode + i - kRehashAhead;
            if ((ttisstring(gkey(near)) || ttiswstring(gkey(near))) && !ttisnil(gval(near)))
                __builtin_prefetch(MainPosition(t, gkey(near)), 1);
        }
        Node* old = oldnode + i;
        if (ttisnil(gval(old)))
            continue;
        t->flags = 0;
        // The old keys are distinct and a string never goes to the array part, so a string key
        // is new here without a lookup.
        if (ttisstring(gkey(old)) || ttiswstring(gkey(old)))
            setobj(NewKey(L, t, gkey(old)), gval(old));
        else
            setobj(luaH_set(L, t, gkey(old)), gval(old));
    }
    if (oldmapped)
        UnmapNodeVector(L, oldnode, oldhsize);
    else if (oldnode != nodeCopy && oldnode != G(L)->dummynode)
        luaM_freearray(L, oldnode, 1 << oldhsize);
}

// Out of line: inlined, its frame made every insertion save and restore registers.
[[gnu::noinline]] static void Rehash(lua_State* L, Table* t, const TObject* key)
{
    int nasize;
    int nhsize;
    NumUse(t, &nasize, &nhsize, key);
    Resize(L, t, nasize, nhsize);
}

Table* luaH_new(lua_State* L, int narray, int lnhash)
{
    if (narray < 0 || narray > kMaxArraySize)
        luaG_runerror(L, "table overflow");
    // Tables come and go in bulk (a vector per operation): their blocks are taken and given
    // back inline.
    Table* t = static_cast<Table*>(luaM_newblock(L, sizeof(Table)));
    luaC_link(L, t, LUA_TTABLE);
    TObject* mt = &G(L)->typemetatables[LUA_TTABLE];
    t->metatable = ttistable(mt) ? hvalue(mt) : hvalue(defaultmeta(L));
    t->flags = static_cast<lu_byte>(~0);
    t->array = nullptr;
    t->sizearray = 0;
    t->mappedarray = 0;
    t->mappednode = 0;
    t->lsizenode = 0;
    t->indexhint = 0;
    t->node = nullptr;
    t->gclist = nullptr;
    if (narray > 0)
        SetArrayVector(L, t, narray);
    SetNodeVector(L, t, lnhash);
    return t;
}

void luaH_free(lua_State* L, Table* t)
{
    if (t->mappednode)
        UnmapNodeVector(L, t->node, t->lsizenode);
    else if (t->node != G(L)->dummynode)
        luaM_freeblock(L, t->node, static_cast<size_t>(sizenode(t)) * sizeof(Node));
    if (t->mappedarray)
        ResizeArrayBlock(L, t, t->sizearray, 0);
    else if (t->array != nullptr)
        luaM_freeblock(L, t->array, static_cast<size_t>(t->sizearray) * sizeof(TObject));
    luaM_freeblock(L, t, sizeof(Table));
}

// Inserts a key known to be absent. A colliding node that is not in its own main position moves
// to a free node; otherwise the new key takes the free node, chained after its main position.
static TObject* NewKey(lua_State* L, Table* t, const TObject* key)
{
    Node* mp = MainPosition(t, key);
    bool away = false;
    if (!ttisnil(gval(mp)))
    {
        // The main position is taken; firstfree always names a node with a nil key here.
        Node* n = t->firstfree;
        // Only a key away from its main position is hashed again to find it.
        Node* othern = nodeaway(mp) ? MainPosition(t, gkey(mp)) : mp;
        if (othern != mp)
        {
            // The colliding node is out of its main position: move it to the free node.
            while (gnext(othern) != mp)
                othern = gnext(othern);
            setgnext(othern, n);
            *n = *mp;
            setgnext(n, gnext(mp)); // the copied link counted from mp
            setgnext(mp, nullptr);
            setnilvalue(gval(mp));
        }
        else
        {
            setgnext(n, gnext(mp));
            setgnext(mp, n);
            mp = n;
            away = true;
        }
    }
    setnodekey(mp, key, away);
    for (;;)
    {
        if (ttisnil(gkey(t->firstfree)))
            return gval(mp);
        if (t->firstfree == t->node)
            break;
        t->firstfree--;
    }
    // No free node is left: grow now, counting the new key (held by a placeholder value).
    setbvalue(gval(mp), 0);
    Rehash(L, t, nullptr);
    TObject* val = const_cast<TObject*>(luaH_get(t, key));
    setnilvalue(val);
    return val;
}

static const TObject* GetAny(Table* t, const TObject* key)
{
    Node* n = MainPosition(t, key);
    do
    {
        if (luaO_rawequalObj(gkey(n), key))
            return gval(n);
        n = gnext(n);
    } while (n != nullptr);
    return &luaO_nilobject;
}

const TObject* luaH_getnum(Table* t, int key)
{
    if (key >= 1 && key <= t->sizearray)
        return &t->array[key - 1];
    lua_Number nk = static_cast<lua_Number>(key);
    Node* n = HashNum(t, nk);
    do
    {
        if (ttisnumber(gkey(n)) && nvalue(gkey(n)) == nk)
            return gval(n);
        n = gnext(n);
    } while (n != nullptr);
    return &luaO_nilobject;
}

const TObject* luaH_findloose(const Table* t, const ScriptString* key)
{
    lu_hash h = luaS_hash(key);
    const Node* n = &t->node[h & static_cast<lu_hash>(sizenode(t) - 1)];
    // A main position holding a key from another chain starts no chain of its own: absent.
    if (nodeaway(n))
        return &luaO_nilobject;
    unsigned tag = nodetag(h);
    do
    {
        // A dead key's tag is neither string kind, so its string (perhaps freed) is not read.
        if (n->i_key.tt == key->tt && nodetagged(n, tag) && luaS_equal(tsvalue(&n->i_key), key))
            return &n->i_val;
        n = gnext(n);
    } while (n != nullptr);
    return &luaO_nilobject;
}

const TObject* luaH_getstr(Table* t, ScriptString* key)
{
    return luaH_findstr(t, key);
}

const TObject* luaH_get(Table* t, const TObject* key)
{
    switch (ttype(key))
    {
    case LUA_TSTRING:
    case LUA_TWSTRING:
        return luaH_getstr(t, tsvalue(key));
    case LUA_TNUMBER:
    {
        int k = ArrayIndex(key);
        if (k > 0)
            return luaH_getnum(t, k);
        return GetAny(t, key);
    }
    case LUA_TNIL:
        return &luaO_nilobject;
    default:
        return GetAny(t, key);
    }
}

// A key as tables keep it: a loose string is interned first (its twin, or itself entered), so
// that the node holds the one string of its text. May raise the memory error.
static const TObject* KeptKey(lua_State* L, const TObject* key, TObject* holder)
{
    if (!ttisstring(key) || tsvalue(key)->interned)
        return key;
    setsvalue(holder, luaS_intern(L, tsvalue(key)));
    return holder;
}

TObject* luaH_set(lua_State* L, Table* t, const TObject* key)
{
    TObject holder;
    key = KeptKey(L, key, &holder);
    const TObject* p = luaH_get(t, key);
    t->flags = 0;
    if (p != &luaO_nilobject)
        return const_cast<TObject*>(p);
    return luaH_setnew(L, t, key);
}

TObject* luaH_setnew(lua_State* L, Table* t, const TObject* key)
{
    t->flags = 0;
    if (ttisnil(key))
        luaG_runerror(L, "table index is nil");
    if (ttisnumber(key) && std::isnan(nvalue(key)))
        luaG_runerror(L, "table index is NaN");
    TObject holder;
    key = KeptKey(L, key, &holder);
    // Every new string key comes this way (a rebuild reinserts keys tables already held): from
    // here on a table may hold it. Cleared before the insertion, which may fail once the key
    // is in.
    if ((ttisstring(key) || ttiswstring(key)) && tsvalue(key)->unkeyed)
        tsvalue(key)->unkeyed = 0;
    return NewKey(L, t, key);
}

TObject* luaH_setnum(lua_State* L, Table* t, int key)
{
    const TObject* p = luaH_getnum(t, key);
    if (p != &luaO_nilobject)
        return const_cast<TObject*>(p);
    TObject k;
    setnvalue(&k, static_cast<lua_Number>(key));
    return NewKey(L, t, &k);
}

// Truncates toward zero, saturating at the int range (NaN gives 0).
static int TruncateToInt(lua_Number x)
{
    if (!(x == x))
        return 0;
    if (x >= 2147483647.0)
        return 2147483647;
    if (x <= -2147483648.0)
        return -2147483647 - 1;
    return static_cast<int>(x);
}

int luaH_prefixlength(Table* t)
{
    int n = 0;
    while (n < t->sizearray && !ttisnil(&t->array[n]))
        n++;
    if (n < t->sizearray)
        return n;
    while (n < INT_MAX && !ttisnil(luaH_getnum(t, n + 1)))
        n++;
    return n;
}

int luaH_getn(lua_State* L, Table* t)
{
    const TObject* n = luaH_getstr(t, luaS_newlstr(L, "n", 1));
    if (ttisnumber(n))
        return TruncateToInt(nvalue(n));
    lua_Number max = 0;
    for (int i = t->sizearray - 1; i >= 0; i--)
    {
        if (!ttisnil(&t->array[i]))
        {
            max = i + 1;
            break;
        }
    }
    for (int i = 0; i < sizenode(t); i++)
    {
        Node* n = gnode(t, i);
        if (ttisnumber(gkey(n)) && !ttisnil(gval(n)) && nvalue(gkey(n)) > max)
            max = nvalue(gkey(n));
    }
    return TruncateToInt(max);
}
