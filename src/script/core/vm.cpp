// The interpreter: one dispatch over the 39 operations, with coercions, metamethods, the per-type
// metatables, bitwise operations, wide-string concatenation and Lua-to-Lua calls without recursion.
#include <cmath>
#include <cstdio>

#include "script/core/calls.h"
#include "script/core/debug_info.h"
#include "script/core/functions.h"
#include "script/core/gc.h"
#include "script/core/strings.h"
#include "script/core/table.h"
#include "script/core/vm.h"

// Chained __index / __newindex steps before "loop in gettable" / "loop in settable".
static constexpr int kMaxTagLoop = 100;

const TObject* luaV_tonumber(const TObject* obj, TObject* n)
{
    if (ttisnumber(obj))
        return obj;
    lua_Number num;
    if (ttisstring(obj) && luaO_str2d(svalue(obj), &num))
    {
        setnvalue(n, num);
        return n;
    }
    if (ttiswstring(obj) && luaO_wstr2d(getwstr(tsvalue(obj)), tsvalue(obj)->len, &num))
    {
        setnvalue(n, num);
        return n;
    }
    return nullptr;
}

int luaV_tostring(lua_State* L, StkId obj)
{
    if (!ttisnumber(obj))
        return 0;
    char s[LUAI_MAXNUMBER2STR];
    int len = luaO_number2str(s, nvalue(obj));
    setsvalue(obj, luaS_newloose(L, s, static_cast<size_t>(len)));
    return 1;
}

int luaV_towstring(lua_State* L, TObject* obj)
{
    if (!ttisnumber(obj))
        return 0;
    char s[LUAI_MAXNUMBER2STR];
    int len = luaO_number2str(s, nvalue(obj));
    lua_WChar units[64];
    for (int i = 0; i < len; i++)
        units[i] = static_cast<unsigned char>(s[i]);
    setsvalue(obj, luaS_newlwstr(L, units, static_cast<size_t>(len)));
    return 1;
}

// --- Metamethod calls --------------------------------------------------------------------------

void luaV_callTMres(lua_State* L, const TObject* f, const TObject* p1, const TObject* p2, StkId res)
{
    ptrdiff_t result = savestack(L, res);
    TObject fc = *f;
    TObject a = *p1;
    TObject b = *p2;
    luaD_checkstack(L, 3);
    setobj(L->top, &fc);
    setobj(L->top + 1, &a);
    setobj(L->top + 2, &b);
    L->top += 3;
    luaD_call(L, L->top - 3, 1);
    res = restorestack(L, result);
    L->top--;
    setobj(res, L->top);
}

static void CallTM(lua_State* L, const TObject* f, const TObject* p1, const TObject* p2,
                   const TObject* p3)
{
    TObject fc = *f;
    TObject a = *p1;
    TObject b = *p2;
    TObject c = *p3;
    luaD_checkstack(L, 4);
    setobj(L->top, &fc);
    setobj(L->top + 1, &a);
    setobj(L->top + 2, &b);
    setobj(L->top + 3, &c);
    L->top += 4;
    luaD_call(L, L->top - 4, 0);
}

// --- Indexing ----------------------------------------------------------------------------------

static Table* TypeTable(lua_State* L, const TObject* t)
{
    int tag = ttype(t);
    if (tag <= LUA_TNIL || tag >= NUM_TYPE_METATABLES)
        return nullptr;
    TObject* mt = &G(L)->typemetatables[tag];
    return ttistable(mt) ? hvalue(mt) : nullptr;
}

// fasttm for "__index", trying first the node where the metatable last held it: a class's
// metatable answers every inherited read, and its "__index" stays where it was put. The node is
// taken only while it holds that very key with a value; otherwise the lookup (and the absence it
// records) is fasttm's.
[[gnu::always_inline]] static inline const TObject* IndexTM(lua_State* L, Table* mt)
{
    if (mt == nullptr || (mt->flags & (1u << TM_INDEX)))
        return nullptr;
    const ScriptString* name = G(L)->tmname[TM_INDEX];
    uint32_t hint = mt->indexhint;
    if (hint < static_cast<uint32_t>(sizenode(mt)))
    {
        const Node* n = &mt->node[hint];
        if (n->i_key.value.gc == obj2gco(name) && n->i_key.tt == LUA_TSTRING && !ttisnil(&n->i_val))
            return &n->i_val;
    }
    const TObject* tm = luaT_gettm(mt, TM_INDEX, G(L)->tmname[TM_INDEX]);
    if (tm != nullptr)
        mt->indexhint = static_cast<uint32_t>(
            (reinterpret_cast<const char*>(tm) - reinterpret_cast<const char*>(mt->node)) /
            static_cast<ptrdiff_t>(sizeof(Node)));
    return tm;
}

void luaV_gettable(lua_State* L, const TObject* t, TObject* key, StkId res)
{
    ptrdiff_t resr = savestack(L, res);
    TObject mtHolder;
    TObject current;
    for (int loop = 0; loop < kMaxTagLoop; loop++)
    {
        const TObject* tm;
        if (ttistable(t))
        {
            Table* h = hvalue(t);
            const TObject* v = luaH_get(h, key);
            if (!ttisnil(v) || (tm = IndexTM(L, h->metatable)) == nullptr)
            {
                setobj(restorestack(L, resr), v);
                return;
            }
        }
        else if (ttisuserdata(t))
        {
            Table* mt = uvalue(t)->metatable;
            tm = fasttm(L, mt, TM_INDEX);
            if (tm == nullptr)
            {
                // Without "__index" the metatable itself is indexed.
                sethvalue(&mtHolder, mt);
                tm = &mtHolder;
            }
        }
        else
        {
            Table* typeTable = TypeTable(L, t);
            if (typeTable == nullptr)
                luaG_typeerror(L, t, "index");
            setobj(restorestack(L, resr), luaH_get(typeTable, key));
            return;
        }
        if (ttisfunction(tm))
        {
            luaV_callTMres(L, tm, t, key, restorestack(L, resr));
            return;
        }
        current = *tm;
        t = &current;
    }
    luaG_runerror(L, "loop in gettable");
}

void luaV_settable(lua_State* L, const TObject* t, TObject* key, StkId val)
{
    TObject current;
    for (int loop = 0; loop < kMaxTagLoop; loop++)
    {
        const TObject* tm;
        if (ttistable(t))
        {
            Table* h = hvalue(t);
            TObject* oldval = luaH_set(L, h, key);
            if (!ttisnil(oldval) || (tm = fasttm(L, h->metatable, TM_NEWINDEX)) == nullptr)
            {
                setobj(oldval, val);
                return;
            }
        }
        else if (ttisuserdata(t))
        {
            tm = fasttm(L, uvalue(t)->metatable, TM_NEWINDEX);
            if (tm == nullptr)
                luaG_typeerror(L, t, "index");
        }
        else
        {
            Table* typeTable = TypeTable(L, t);
            if (typeTable == nullptr)
                luaG_typeerror(L, t, "index");
            TObject v = *val;
            setobj(luaH_set(L, typeTable, key), &v);
            return;
        }
        if (ttisfunction(tm))
        {
            CallTM(L, tm, t, key, val);
            return;
        }
        current = *tm;
        t = &current;
    }
    luaG_runerror(L, "loop in settable");
}

// luaH_findinterned, trying first the node where a constant key was last found in a table (the
// four spare bytes of the constant keep its position; any table may be asked). A node is taken
// only when it holds this very key as a live string key, which is what the chain walk looks for
// (a key is in at most one such node of a table), so a position left from another table, or
// from before a rebuild, a removal or a collection, is simply passed over.
[[gnu::always_inline]] static inline const TObject* FindStr(const Table* h, const ScriptString* key,
                                                            TObject* kobj)
{
    auto holds = [key](const Node* n)
    {
        return n->i_key.value.gc == obj2gco(key) &&
               (n->i_key.tt == LUA_TSTRING || n->i_key.tt == LUA_TWSTRING);
    };
    if (kobj != nullptr)
    {
        uint32_t hint = luaO_consthint(kobj);
        if (hint < static_cast<uint32_t>(sizenode(h)) && holds(&h->node[hint]))
            return &h->node[hint].i_val;
    }
    const Node* n = &h->node[key->hash & static_cast<lu_hash>(sizenode(h) - 1)];
    do
    {
        if (holds(n))
        {
            if (kobj != nullptr)
                luaO_setconsthint(kobj, static_cast<uint32_t>(n - h->node));
            return &n->i_val;
        }
        n = gnext(n);
    } while (n != nullptr);
    return &luaO_nilobject;
}

// FastGetStr's walk on up a chain of "__index" tables from h, the second (a class's base, its
// base...), as luaV_gettable walks it: nothing on the way can run code or change a table. A
// chain longer than luaV_gettable allows, or one that ends in a function, goes back to it
// (nullptr). Out of line, so that the reads of fields and methods keep their registers.
[[gnu::noinline]] static const TObject* FindStrAbove(lua_State* L, Table* h,
                                                     const ScriptString* key, TObject* kobj)
{
    for (int loop = 2; loop < kMaxTagLoop; loop++)
    {
        const TObject* tm = IndexTM(L, h->metatable);
        if (tm == nullptr)
            return &luaO_nilobject;
        if (!ttistable(tm))
            return nullptr;
        h = hvalue(tm);
        const TObject* v = FindStr(h, key, kobj);
        if (!ttisnil(v))
            return v;
    }
    return nullptr;
}

// A string-keyed read from a table, or from the table its "__index" names: the shape of fields,
// methods and globals. nullptr sends the access to luaV_gettable, which starts over (and reads
// by text a loose key, which the walk by address cannot find). kobj is the key's constant, or
// null for a key in a register.
[[gnu::always_inline]] static inline const TObject*
FastGetStr(lua_State* L, Table* h, const ScriptString* key, TObject* kobj)
{
    const TObject* v = FindStr(h, key, kobj);
    if (!ttisnil(v))
        return v;
    if (!key->interned)
        return nullptr;
    // An instance's class, here; its bases in FindStrAbove.
    const TObject* tm = IndexTM(L, h->metatable);
    if (tm == nullptr)
        return v;
    if (!ttistable(tm))
        return nullptr;
    h = hvalue(tm);
    v = FindStr(h, key, kobj);
    if (!ttisnil(v))
        return v;
    return FindStrAbove(L, h, key, kobj);
}

// The array-part slot of a number key that is an integer within it; nullptr for any other key.
static inline TObject* ArraySlot(Table* h, const TObject* key)
{
    if (!ttisnumber(key))
        return nullptr;
    lua_Number n = nvalue(key);
    if (!(n >= 1 && n <= static_cast<lua_Number>(h->sizearray)))
        return nullptr;
    int k = static_cast<int>(n);
    return static_cast<lua_Number>(k) == n ? &h->array[k - 1] : nullptr;
}

// A read that needs no metamethod; nullptr otherwise. kobj: as for FastGetStr.
[[gnu::always_inline]] static inline const TObject* FastGet(lua_State* L, const TObject* t,
                                                            const TObject* key, TObject* kobj)
{
    if (!ttistable(t))
        return nullptr;
    if (ttisstring(key))
        return FastGetStr(L, hvalue(t), tsvalue(key), kobj);
    const TObject* v = ArraySlot(hvalue(t), key);
    if (v == nullptr)
        v = luaH_get(hvalue(t), key);
    return ttisnil(v) ? nullptr : v;
}

// The slot of key in h as luaH_get finds it (the nil object when the table does not hold it).
// kobj: the key's constant, whose remembered node is tried first (as for FindStr), or null.
[[gnu::always_inline]] static inline const TObject* RawSlot(Table* h, const TObject* key,
                                                            TObject* kobj = nullptr)
{
    if (ttisstring(key) && tsvalue(key)->interned)
        return FindStr(h, tsvalue(key), kobj);
    const TObject* slot = ArraySlot(h, key);
    return slot != nullptr ? slot : luaH_get(h, key);
}

// The slot of an assignment that needs no metamethod (the key already holds a value); nullptr
// otherwise. Like luaH_set, it forgets the table's cached metamethod absences.
static inline TObject* FastSetSlot(const TObject* t, TObject* key, TObject* kobj)
{
    if (!ttistable(t))
        return nullptr;
    Table* h = hvalue(t);
    const TObject* slot = RawSlot(h, key, kobj);
    if (ttisnil(slot))
        return nullptr;
    h->flags = 0;
    return const_cast<TObject*>(slot);
}

// --- Comparisons -------------------------------------------------------------------------------

static int CallOrderTM(lua_State* L, const TObject* p1, const TObject* p2, TMS event)
{
    const TObject* tm1 = luaT_gettmbyobj(L, p1, event);
    if (ttisnil(tm1))
        return -1;
    const TObject* tm2 = luaT_gettmbyobj(L, p2, event);
    if (!luaO_rawequalObj(tm1, tm2))
        return -1;
    luaD_checkstack(L, 1);
    luaV_callTMres(L, tm1, p1, p2, L->top);
    return !l_isfalse(L->top);
}

static int CompareStrings(const ScriptString* ls, const ScriptString* rs)
{
    size_t ll = ls->len;
    size_t lr = rs->len;
    int c = memcmp(getstr(ls), getstr(rs), ll < lr ? ll : lr);
    if (c != 0)
        return c;
    return ll < lr ? -1 : (ll > lr ? 1 : 0);
}

int luaV_lessthan(lua_State* L, const TObject* l, const TObject* r)
{
    if (ttype(l) != ttype(r))
        return luaG_ordererror(L, l, r);
    if (ttisnumber(l))
        return nvalue(l) < nvalue(r);
    if (ttisstring(l))
        return CompareStrings(tsvalue(l), tsvalue(r)) < 0;
    int res = CallOrderTM(L, l, r, TM_LT);
    if (res != -1)
        return res;
    return luaG_ordererror(L, l, r);
}

static int LessEqual(lua_State* L, const TObject* l, const TObject* r)
{
    if (ttype(l) != ttype(r))
        return luaG_ordererror(L, l, r);
    if (ttisnumber(l))
        return nvalue(l) <= nvalue(r);
    if (ttisstring(l))
        return CompareStrings(tsvalue(l), tsvalue(r)) <= 0;
    int res = CallOrderTM(L, l, r, TM_LE);
    if (res != -1)
        return res;
    res = CallOrderTM(L, r, l, TM_LT);
    if (res != -1)
        return !res;
    return luaG_ordererror(L, l, r);
}

static const TObject* GetCompTM(lua_State* L, Table* mt1, Table* mt2, TMS event)
{
    const TObject* tm1 = fasttm(L, mt1, event);
    if (tm1 == nullptr)
        return nullptr;
    if (mt1 == mt2)
        return tm1;
    const TObject* tm2 = fasttm(L, mt2, event);
    if (tm2 == nullptr)
        return nullptr;
    return luaO_rawequalObj(tm1, tm2) ? tm1 : nullptr;
}

int luaV_equalval(lua_State* L, const TObject* t1, const TObject* t2)
{
    const TObject* tm;
    switch (ttype(t1))
    {
    case LUA_TNIL:
        return 1;
    case LUA_TNUMBER:
        return nvalue(t1) == nvalue(t2);
    case LUA_TBOOLEAN:
        return bvalue(t1) == bvalue(t2);
    case LUA_TLIGHTUSERDATA:
        return pvalue(t1) == pvalue(t2);
    case LUA_TUSERDATA:
        if (uvalue(t1) == uvalue(t2))
            return 1;
        tm = GetCompTM(L, uvalue(t1)->metatable, uvalue(t2)->metatable, TM_EQ);
        break;
    case LUA_TTABLE:
        if (hvalue(t1) == hvalue(t2))
            return 1;
        tm = GetCompTM(L, hvalue(t1)->metatable, hvalue(t2)->metatable, TM_EQ);
        break;
    case LUA_TSTRING:
    case LUA_TWSTRING:
        return luaS_equal(tsvalue(t1), tsvalue(t2));
    default:
        return gcvalue(t1) == gcvalue(t2);
    }
    if (tm == nullptr)
        return 0;
    luaD_checkstack(L, 1);
    luaV_callTMres(L, tm, t1, t2, L->top);
    return !l_isfalse(L->top);
}

// --- Arithmetic --------------------------------------------------------------------------------

static int CallBinTM(lua_State* L, const TObject* p1, const TObject* p2, StkId res, TMS event)
{
    const TObject* tm = luaT_gettmbyobj(L, p1, event);
    if (ttisnil(tm))
        tm = luaT_gettmbyobj(L, p2, event);
    if (!ttisfunction(tm))
        return 0;
    luaV_callTMres(L, tm, p1, p2, res);
    return 1;
}

static void Arith(lua_State* L, StkId ra, const TObject* rb, const TObject* rc, TMS op)
{
    TObject tempb;
    TObject tempc;
    const TObject* b = luaV_tonumber(rb, &tempb);
    const TObject* c = b != nullptr ? luaV_tonumber(rc, &tempc) : nullptr;
    if (b != nullptr && c != nullptr)
    {
        switch (op)
        {
        case TM_ADD:
            setnvalue(ra, nvalue(b) + nvalue(c));
            break;
        case TM_SUB:
            setnvalue(ra, nvalue(b) - nvalue(c));
            break;
        case TM_MUL:
            setnvalue(ra, nvalue(b) * nvalue(c));
            break;
        case TM_DIV:
            setnvalue(ra, nvalue(b) / nvalue(c));
            break;
        case TM_POW:
        {
            const TObject* f = luaH_getstr(hvalue(gt(L)), G(L)->tmname[TM_POW]);
            if (!ttisfunction(f))
                luaG_runerror(L, "`__pow' (`^' operator) is not a function");
            luaV_callTMres(L, f, b, c, ra);
            break;
        }
        default:
            break;
        }
    }
    else if (!CallBinTM(L, rb, rc, ra, op))
        luaG_aritherror(L, rb, rc);
}

// Truncates toward zero to 64 bits and keeps the low 32 (out of range gives 0).
static uint32_t ToBits(lua_Number n)
{
    if (!(n >= -9223372036854775808.0 && n < 9223372036854775808.0))
        return 0;
    return static_cast<uint32_t>(static_cast<uint64_t>(static_cast<int64_t>(n)));
}

static bool Bitwise(StkId ra, const TObject* rb, const TObject* rc, OpCode op)
{
    if (!ttisnumber(rb) || !ttisnumber(rc))
        return false;
    uint32_t x = ToBits(nvalue(rb));
    uint32_t y = ToBits(nvalue(rc));
    uint32_t r = 0;
    switch (op)
    {
    case OP_BAND:
        r = x & y;
        break;
    case OP_BOR:
        r = x | y;
        break;
    case OP_SHL:
        r = x << (y & 31);
        break;
    default:
        r = x >> (y & 31);
        break;
    }
    setnvalue(ra, static_cast<lua_Number>(r));
    return true;
}

// --- Concatenation -----------------------------------------------------------------------------

static bool ToNarrow(lua_State* L, StkId o)
{
    return ttisstring(o) || luaV_tostring(L, o);
}
static bool ToWide(lua_State* L, StkId o)
{
    return ttiswstring(o) || luaV_towstring(L, o);
}

static constexpr size_t kMaxConcat = 0xFFFFFFFDu;

// Operands joined by one ConcatRun at most; longer runs continue in the next round.
static constexpr int kMaxConcatRun = 64;

inline bool IsConcatText(const TObject* o)
{
    return ttisstring(o) || ttisnumber(o);
}

// Joins the run of 8-bit strings and numbers that ends at the top into one string at the run's
// first slot, leaving its length in *count. Declines (false, nothing changed) unless the last two
// operands are both text and the last is not empty: those cases keep the general path, where a
// number converted in place is what a "__concat" handler receives.
static bool ConcatRun(lua_State* L, StkId top, int total, int* count, const Table* keyFor,
                      bool keyWritten)
{
    if (!IsConcatText(top - 2) || !IsConcatText(top - 1) ||
        (ttisstring(top - 1) && tsvalue(top - 1)->len == 0))
        return false;
    char numbers[kMaxConcatRun][LUAI_MAXNUMBER2STR];
    StrPiece pieces[kMaxConcatRun];
    int limit = total < kMaxConcatRun ? total : kMaxConcatRun;
    size_t tl = 0;
    int n = 0;
    for (; n < limit; n++)
    {
        StkId o = top - n - 1;
        StrPiece& piece = pieces[limit - 1 - n];
        if (ttisstring(o))
        {
            piece.s = svalue(o);
            piece.len = tsvalue(o)->len;
        }
        else if (ttisnumber(o))
        {
            piece.s = numbers[n];
            piece.len = static_cast<size_t>(luaO_number2str(numbers[n], nvalue(o)));
        }
        else
            break;
        tl += piece.len;
    }
    if (tl > kMaxConcat)
        luaG_runerror(L, "string size overflow");
    setsvalue(top - n, luaS_newconcat(L, pieces + (limit - n), n, tl, keyFor, keyWritten));
    *count = n;
    return true;
}

// Joins the operands that end at the top the general way: two that are not both text go to
// "__concat"; otherwise the longest run of text (8-bit, or wide when the expression holds a wide
// string) is joined through the shared buffer. Returns the number of operands consumed.
static int ConcatGeneral(lua_State* L, StkId top, int total, bool wide)
{
    auto toText = [&](StkId o) { return wide ? ToWide(L, o) : ToNarrow(L, o); };
    if (!toText(top - 2) || !toText(top - 1))
    {
        if (!CallBinTM(L, top - 2, top - 1, top - 2, TM_CONCAT))
        {
            if (wide)
                luaG_wconcaterror(L, top - 2, top - 1);
            luaG_concaterror(L, top - 2, top - 1);
        }
        return 2;
    }
    if (tsvalue(top - 1)->len == 0)
        return 2; // the result is the first operand, already text
    int n = 2;
    size_t tl = static_cast<size_t>(tsvalue(top - 1)->len) + tsvalue(top - 2)->len;
    while (n < total && toText(top - n - 1))
    {
        tl += tsvalue(top - n - 1)->len;
        n++;
    }
    if (tl > kMaxConcat)
        luaG_runerror(L, "string size overflow");
    size_t unit = wide ? sizeof(lua_WChar) : 1;
    char* buffer = luaZ_openspace(L, &G(L)->buff, tl * unit);
    size_t pos = 0;
    for (int i = n; i > 0; i--)
    {
        size_t bytes = tsvalue(top - i)->len * unit;
        memcpy(buffer + pos, tsvalue(top - i) + 1, bytes);
        pos += bytes;
    }
    if (wide)
        setsvalue(top - n, luaS_newlwstr(L, reinterpret_cast<lua_WChar*>(buffer), tl));
    else
        setsvalue(top - n, luaS_newloose(L, buffer, tl));
    return n;
}

// Joins of more than two operands, of wide strings, of values with "__concat", and errors; out of
// line, so that the short way below keeps a small frame.
[[gnu::noinline]] static void ConcatOperands(lua_State* L, int total, int last, const Table* keyFor,
                                             bool keyWritten)
{
    bool wide = false;
    for (int j = last; j > last - total; j--)
    {
        StkId o = L->base + j;
        if (ttisstring(o))
            break;
        if (ttiswstring(o))
        {
            wide = true;
            break;
        }
    }
    do
    {
        StkId top = L->base + last + 1;
        int n = 2;
        if (!wide && ConcatRun(L, top, total, &n, keyFor, keyWritten))
        {
            // Strings and numbers joined without making strings of the numbers first.
        }
        else
        {
            n = ConcatGeneral(L, top, total, wide);
        }
        total -= n - 1;
        last -= n - 1;
    } while (total > 1);
}

void luaV_concat(lua_State* L, int total, int last, const Table* keyFor, bool keyWritten)
{
    if (total == 2)
    {
        // The commonest join, a string and then a number or a string that is not empty (`"k" ..
        // i`, `prefix .. name`): what ConcatRun does for it, without the run's loops.
        StkId top = L->base + last + 1;
        const TObject* second = top - 1;
        if (ttisstring(top - 2) &&
            (ttisnumber(second) || (ttisstring(second) && tsvalue(second)->len != 0)))
        {
            char number[LUAI_MAXNUMBER2STR];
            StrPiece pieces[2];
            pieces[0] = StrPiece{svalue(top - 2), tsvalue(top - 2)->len};
            if (ttisstring(second))
                pieces[1] = StrPiece{svalue(second), tsvalue(second)->len};
            else
                pieces[1] =
                    StrPiece{number, static_cast<size_t>(luaO_number2str(number, nvalue(second)))};
            size_t tl = pieces[0].len + pieces[1].len;
            if (tl > kMaxConcat)
                luaG_runerror(L, "string size overflow");
            setsvalue(top - 2, luaS_newconcat(L, pieces, 2, tl, keyFor, keyWritten));
            return;
        }
    }
    ConcatOperands(L, total, last, keyFor, keyWritten);
}

// --- The interpreter loop ----------------------------------------------------------------------

// With labels as values each handler ends in its own jump to the next one, which the processor
// predicts per handler; other compilers take the switch.
#if defined(__GNUC__) || defined(__clang__)
#define VM_THREADED 1
#endif

#ifdef VM_THREADED
#define VM_CASE(op) L_##op:
#define VM_NEXT()                                                                                  \
    do                                                                                             \
    {                                                                                              \
        i = *pc++;                                                                                 \
        ra = base + GETARG_A(i);                                                                   \
        goto* kHandlers[GET_OPCODE(i)];                                                            \
    } while (0)
#else
#define VM_CASE(op) case op:
#define VM_NEXT() continue
#endif

// The position of the running instruction is stored in the call record only before something
// can read it: an error (its line and variable names), a call (the callee's traceback, a yield,
// the return), a metamethod or the collector (a finalizer's traceback). The paths that do none
// of these leave it behind.
#define VM_SAVEPC() (L->ci->savedpc = pc)

// ADD, SUB, MUL and DIV: two numbers in place; anything else (text that reads as a number, a
// metamethod) through Arith, which may call one.
#define VM_ARITH(numberOp, event)                                                                  \
    {                                                                                              \
        const TObject* rb = RKB();                                                                 \
        const TObject* rc = RKC();                                                                 \
        if (ttisnumber(rb) && ttisnumber(rc))                                                      \
        {                                                                                          \
            setnvalue(ra, nvalue(rb) numberOp nvalue(rc));                                         \
            VM_NEXT();                                                                             \
        }                                                                                          \
        VM_SAVEPC();                                                                               \
        Arith(L, ra, rb, rc, event);                                                               \
        base = L->base;                                                                            \
        VM_NEXT();                                                                                 \
    }

// GETTABLE and SELF: R(A) := obj[key], read in place when no metamethod is needed (a constant
// key, RK(C) being one, remembers its node); otherwise through luaV_gettable on `slowObj`, which
// may call one.
#define VM_INDEX(obj, slowObj, key)                                                                \
    {                                                                                              \
        TObject* indexKey = (key);                                                                 \
        const TObject* v = FastGet(L, obj, indexKey, ISK(GETARG_C(i)) ? indexKey : nullptr);       \
        if (v != nullptr)                                                                          \
        {                                                                                          \
            setobj(ra, v);                                                                         \
            VM_NEXT();                                                                             \
        }                                                                                          \
        VM_SAVEPC();                                                                               \
        luaV_gettable(L, slowObj, indexKey, ra);                                                   \
        base = L->base;                                                                            \
        VM_NEXT();                                                                                 \
    }

// EQ, LT and LE: two numbers compare in place (they never reach a metamethod); anything else
// goes to `slow`, which may call one. The jump that follows is taken when the outcome equals A.
// A plain block, not a do-while: under the switch VM_NEXT is a `continue`.
#define VM_COMPARE(numberOp, slow)                                                                 \
    {                                                                                              \
        const TObject* rb = RKB();                                                                 \
        const TObject* rc = RKC();                                                                 \
        int res;                                                                                   \
        if (ttisnumber(rb) && ttisnumber(rc))                                                      \
            res = nvalue(rb) numberOp nvalue(rc);                                                  \
        else                                                                                       \
        {                                                                                          \
            VM_SAVEPC();                                                                           \
            res = slow(L, rb, rc);                                                                 \
            base = L->base;                                                                        \
        }                                                                                          \
        if (res != GETARG_A(i))                                                                    \
            pc++;                                                                                  \
        else                                                                                       \
            pc += GETARG_sBx(*pc) + 1;                                                             \
        VM_NEXT();                                                                                 \
    }

StkId luaV_execute(lua_State* L)
{
    LClosure* cl;
    TObject* k;
    const Instruction* pc;
    StkId base;
    Instruction i;
    StkId ra;
    auto RB = [&]() { return base + GETARG_B(i); };
    auto RKB = [&]()
    { return ISK(GETARG_B(i)) ? k + (GETARG_B(i) - MAXSTACK) : base + GETARG_B(i); };
    auto RKC = [&]()
    { return ISK(GETARG_C(i)) ? k + (GETARG_C(i) - MAXSTACK) : base + GETARG_C(i); };
#ifdef VM_THREADED
    // Indexed by the six opcode bits without a range check: codes past the last operation do
    // nothing, as the switch does.
    static const void* const kHandlers[1 << SIZE_OP] = {
        &&L_OP_MOVE,      &&L_OP_LOADK,    &&L_OP_LOADBOOL,  &&L_OP_LOADNIL,  &&L_OP_GETUPVAL,
        &&L_OP_GETGLOBAL, &&L_OP_GETTABLE, &&L_OP_SETGLOBAL, &&L_OP_SETUPVAL, &&L_OP_SETTABLE,
        &&L_OP_NEWTABLE,  &&L_OP_SELF,     &&L_OP_ADD,       &&L_OP_SUB,      &&L_OP_MUL,
        &&L_OP_DIV,       &&L_OP_BAND,     &&L_OP_BOR,       &&L_OP_SHL,      &&L_OP_SHR,
        &&L_OP_POW,       &&L_OP_UNM,      &&L_OP_NOT,       &&L_OP_CONCAT,   &&L_OP_JMP,
        &&L_OP_EQ,        &&L_OP_LT,       &&L_OP_LE,        &&L_OP_TEST,     &&L_OP_CALL,
        &&L_OP_TAILCALL,  &&L_OP_RETURN,   &&L_OP_FORLOOP,   &&L_OP_TFORLOOP, &&L_OP_TFORPREP,
        &&L_OP_SETLIST,   &&L_OP_SETLISTO, &&L_OP_CLOSE,     &&L_OP_CLOSURE,  &&L_INVALID,
        &&L_INVALID,      &&L_INVALID,     &&L_INVALID,      &&L_INVALID,     &&L_INVALID,
        &&L_INVALID,      &&L_INVALID,     &&L_INVALID,      &&L_INVALID,     &&L_INVALID,
        &&L_INVALID,      &&L_INVALID,     &&L_INVALID,      &&L_INVALID,     &&L_INVALID,
        &&L_INVALID,      &&L_INVALID,     &&L_INVALID,      &&L_INVALID,     &&L_INVALID,
        &&L_INVALID,      &&L_INVALID,     &&L_INVALID,      &&L_INVALID};
    static_assert(OP_CLOSURE == 38 && NUM_OPCODES == 39, "one handler per operation, in order");
#endif
reentry:
    pc = L->ci->savedpc;
    cl = toL(clvalue(L->base - 1));
    base = L->base;
    k = cl->p->k;
#ifdef VM_THREADED
    VM_NEXT();
#endif
    for (;;)
    {
#ifndef VM_THREADED
        i = *pc++;
        ra = base + GETARG_A(i);
        switch (GET_OPCODE(i))
        {
        default:
            VM_NEXT();
#else
        {
        L_INVALID:
            VM_NEXT();
#endif
            VM_CASE(OP_MOVE)
            {
                setobj(ra, RB());
                VM_NEXT();
            }
            VM_CASE(OP_LOADK)
            {
                setobj(ra, k + GETARG_Bx(i));
                VM_NEXT();
            }
            VM_CASE(OP_LOADBOOL)
            {
                setbvalue(ra, GETARG_B(i));
                if (GETARG_C(i))
                    pc++;
                VM_NEXT();
            }
            VM_CASE(OP_LOADNIL)
            {
                StkId rb = RB();
                do
                {
                    setnilvalue(rb--);
                } while (rb >= ra);
                VM_NEXT();
            }
            VM_CASE(OP_GETUPVAL)
            {
                setobj(ra, cl->upvals[GETARG_B(i)]->v);
                VM_NEXT();
            }
            VM_CASE(OP_GETGLOBAL)
            {
                TObject* key = k + GETARG_Bx(i);
                const TObject* v = FastGetStr(L, cl->g, tsvalue(key), key);
                if (v != nullptr)
                {
                    setobj(ra, v);
                    VM_NEXT();
                }
                TObject g;
                sethvalue(&g, cl->g);
                VM_SAVEPC();
                luaV_gettable(L, &g, key, ra);
                base = L->base;
                VM_NEXT();
            }
            VM_CASE(OP_GETTABLE)
            {
                StkId rb = RB();
                VM_INDEX(rb, rb, RKC());
            }
            VM_CASE(OP_SETGLOBAL)
            {
                TObject g;
                sethvalue(&g, cl->g);
                TObject* slot = FastSetSlot(&g, k + GETARG_Bx(i), k + GETARG_Bx(i));
                if (slot != nullptr)
                {
                    setobj(slot, ra);
                    VM_NEXT();
                }
                VM_SAVEPC();
                luaV_settable(L, &g, k + GETARG_Bx(i), ra);
                base = L->base;
                VM_NEXT();
            }
            VM_CASE(OP_SETUPVAL)
            {
                setobj(cl->upvals[GETARG_B(i)]->v, ra);
                VM_NEXT();
            }
            VM_CASE(OP_SETTABLE)
            {
                TObject* rb = RKB();
                TObject* rc = RKC();
                if (ttistable(ra))
                {
                    Table* h = hvalue(ra);
                    // A slot of the array part takes the value in place unless it is empty and
                    // there is a "__newindex" to ask. The metamethod is asked first, so that an
                    // empty slot of a grown array part is written without being read: a read
                    // would map its fresh page once for reading and again for the write.
                    if (TObject* cell = ArraySlot(h, rb);
                        cell != nullptr &&
                        (fasttm(L, h->metatable, TM_NEWINDEX) == nullptr || !ttisnil(cell)))
                    {
                        h->flags = 0;
                        setobj(cell, rc);
                        VM_NEXT();
                    }
                    // A string no table has taken as a key yet (a join made for this assignment,
                    // mostly) is new here without a walk of its chain.
                    const TObject* slot =
                        ttisstring(rb) && tsvalue(rb)->unkeyed ? &luaO_nilobject : RawSlot(h, rb);
                    if (!ttisnil(slot))
                    {
                        h->flags = 0;
                        setobj(const_cast<TObject*>(slot), rc);
                        VM_NEXT();
                    }
                    // A key the table does not hold, and no "__newindex" to ask: the new entry is
                    // made without looking the key up again.
                    if (slot == &luaO_nilobject && fasttm(L, h->metatable, TM_NEWINDEX) == nullptr)
                    {
                        VM_SAVEPC();
                        setobj(luaH_setnew(L, h, rb), rc);
                        VM_NEXT();
                    }
                }
                VM_SAVEPC();
                luaV_settable(L, ra, rb, rc);
                base = L->base;
                VM_NEXT();
            }
            VM_CASE(OP_NEWTABLE)
            {
                VM_SAVEPC();
                sethvalue(ra, luaH_new(L, luaO_fb2int(GETARG_B(i)), GETARG_C(i)));
                luaC_checkGC(L);
                base = L->base;
                VM_NEXT();
            }
            VM_CASE(OP_SELF)
            {
                StkId rb = RB();
                TObject* rc = RKC(); // before R(A+1) is written
                TObject self = *rb;
                setobj(ra + 1, &self);
                VM_INDEX(&self, rb, rc);
            }
            VM_CASE(OP_ADD)
            {
                VM_ARITH(+, TM_ADD);
            }
            VM_CASE(OP_SUB)
            {
                VM_ARITH(-, TM_SUB);
            }
            VM_CASE(OP_MUL)
            {
                VM_ARITH(*, TM_MUL);
            }
            VM_CASE(OP_DIV)
            {
                VM_ARITH(/, TM_DIV);
            }
            VM_CASE(OP_BAND)
            VM_CASE(OP_BOR)
            VM_CASE(OP_SHL)
            VM_CASE(OP_SHR)
            {
                if (!Bitwise(ra, RKB(), RKC(), GET_OPCODE(i)))
                {
                    VM_SAVEPC();
                    luaG_bitwiseerror(L, RKB(), RKC());
                }
                VM_NEXT();
            }
            VM_CASE(OP_POW)
            {
                VM_SAVEPC();
                Arith(L, ra, RKB(), RKC(), TM_POW);
                base = L->base;
                VM_NEXT();
            }
            VM_CASE(OP_UNM)
            {
                StkId rb = RB();
                TObject temp;
                const TObject* n = luaV_tonumber(rb, &temp);
                if (n != nullptr)
                {
                    setnvalue(ra, -nvalue(n));
                    VM_NEXT();
                }
                setnilvalue(&temp);
                VM_SAVEPC();
                if (!CallBinTM(L, rb, &temp, ra, TM_UNM))
                    luaG_aritherror(L, rb, &temp);
                base = L->base;
                VM_NEXT();
            }
            VM_CASE(OP_NOT)
            {
                int res = l_isfalse(RB());
                setbvalue(ra, res);
                VM_NEXT();
            }
            VM_CASE(OP_CONCAT)
            {
                int b = GETARG_B(i);
                int c = GETARG_C(i);
                // A result that indexes a table next (`t[a .. b]`, `t[a .. b] = v`): the table's
                // node for it is fetched as soon as its hash is known.
                const Table* keyFor = nullptr;
                bool keyWritten = false;
                const Instruction next = *pc;
                if (GET_OPCODE(next) == OP_GETTABLE && GETARG_C(next) == GETARG_A(i) &&
                    ttistable(base + GETARG_B(next)))
                    keyFor = hvalue(base + GETARG_B(next));
                else if (GET_OPCODE(next) == OP_SETTABLE && GETARG_B(next) == GETARG_A(i) &&
                         ttistable(base + GETARG_A(next)))
                {
                    keyFor = hvalue(base + GETARG_A(next));
                    keyWritten = true;
                }
                VM_SAVEPC();
                luaV_concat(L, c - b + 1, c, keyFor, keyWritten);
                luaC_checkGC(L);
                base = L->base;
                setobj(base + GETARG_A(i), base + b);
                VM_NEXT();
            }
            VM_CASE(OP_JMP)
            {
                pc += GETARG_sBx(i);
                VM_NEXT();
            }
            VM_CASE(OP_EQ)
            {
                VM_COMPARE(==, luaV_equalObj);
            }
            VM_CASE(OP_LT)
            {
                VM_COMPARE(<, luaV_lessthan);
            }
            VM_CASE(OP_LE)
            {
                VM_COMPARE(<=, LessEqual);
            }
            VM_CASE(OP_TEST)
            {
                StkId rb = RB();
                if (l_isfalse(rb) == GETARG_C(i))
                    pc++;
                else
                {
                    setobj(ra, rb);
                    pc += GETARG_sBx(*pc) + 1;
                }
                VM_NEXT();
            }
            VM_CASE(OP_CALL)
            {
                int b = GETARG_B(i);
                int nresults = GETARG_C(i) - 1;
                if (b != 0)
                    L->top = ra + b;
                VM_SAVEPC();
                if (ttisfunction(ra) && clvalue(ra)->isC)
                {
                    // A native function with room for its frame and a free call record: what
                    // luaD_precall and luaD_poscall would do, without the two calls.
                    if (L->ci + 1 != L->end_ci && L->stack_last - L->top > LUA_MINSTACK)
                    {
                        CallInfo* ci = luaD_enterCframe(L, ra);
                        const int n = toC(clvalue(ra))->f(L);
                        if (n < 0)
                            return nullptr; // yielded
                        StkId first = L->top - n;
                        StkId last = L->top;
                        StkId res = L->base - 1;
                        ci = --L->ci;
                        base = ci->base;
                        L->base = base;
                        int wanted = nresults;
                        for (; wanted != 0 && first < last; wanted--)
                            setobj(res++, first++);
                        for (; wanted > 0; wanted--)
                            setnilvalue(res++);
                        L->top = nresults >= 0 ? ci->top : res;
                        VM_NEXT();
                    }
                }
                else if (ttisfunction(ra))
                {
                    // A fixed-argument Lua function with room for its frame and a free call record:
                    // what luaD_precall would do, without leaving the loop or reloading what is
                    // known.
                    LClosure* callee = toL(clvalue(ra));
                    Proto* p = callee->p;
                    StkId slot = L->top;
                    CallInfo* ci = L->ci + 1;
                    if (!p->is_vararg && ci != L->end_ci && L->stack_last - slot > p->maxstacksize)
                    {
                        L->ci = ci;
                        base = ra + 1;
                        StkId top = base + p->maxstacksize;
                        L->base = ci->base = base;
                        ci->top = top;
                        ci->savedpc = p->code;
                        ci->tailcalls = 0;
                        ci->state = CI_SAVEDPC | CI_INLINE;
                        ci->nresults = nresults;
                        // The registers above the arguments start as nil. The first four are
                        // cleared without counting: with more than maxstacksize slots free above
                        // the arguments and the spare slots past the limit, they are inside the
                        // stack, and those above the new frame's top are unused.
                        setnilvalue(slot);
                        setnilvalue(slot + 1);
                        setnilvalue(slot + 2);
                        setnilvalue(slot + 3);
                        for (slot += 4; slot < top; slot++)
                            setnilvalue(slot);
                        L->top = top;
                        cl = callee;
                        pc = p->code;
                        k = p->k;
                        VM_NEXT();
                    }
                }
                StkId firstResult = luaD_precall(L, ra);
                if (firstResult != nullptr)
                {
                    if (firstResult > L->top)
                        return nullptr; // yielded
                    luaD_poscall(L, nresults, firstResult);
                    if (nresults >= 0)
                        L->top = L->ci->top;
                    base = L->base;
                    VM_NEXT();
                }
                L->ci->state |= CI_INLINE;
                L->ci->nresults = nresults;
                goto reentry;
            }
            VM_CASE(OP_TAILCALL)
            {
                int b = GETARG_B(i);
                if (b != 0)
                    L->top = ra + b;
                VM_SAVEPC();
                if (ttisfunction(ra) && !clvalue(ra)->isC)
                {
                    // A fixed-argument Lua function called as the last act of this one, when
                    // luaD_precall would neither grow the stack nor the call records: the callee
                    // and its arguments move straight into this frame, as the general path below
                    // leaves them, without a record pushed and taken down again.
                    LClosure* callee = toL(clvalue(ra));
                    Proto* p = callee->p;
                    CallInfo* ci = L->ci;
                    if (!p->is_vararg && ci + 1 != L->end_ci &&
                        L->stack_last - L->top > p->maxstacksize)
                    {
                        if (L->openupval != nullptr && static_cast<UpVal*>(L->openupval)->v >= base)
                            luaF_close(L, base);
                        StkId func = base - 1;
                        StkId top = base + p->maxstacksize;
                        StkId from = ra;
                        StkId to = func;
                        for (; from < L->top && to < top; from++, to++)
                            setobj(to, from);
                        for (; to < top; to++)
                            setnilvalue(to);
                        ci->top = L->top = top;
                        ci->savedpc = p->code;
                        ci->tailcalls++;
                        ci->state = CI_SAVEDPC | (ci->state & CI_INLINE);
                        cl = callee;
                        pc = p->code;
                        k = p->k;
                        VM_NEXT();
                    }
                }
                StkId firstResult = luaD_precall(L, ra);
                if (firstResult != nullptr)
                {
                    if (firstResult > L->top)
                        return nullptr; // yielded
                    luaD_poscall(L, GETARG_C(i) - 1, firstResult);
                    base = L->base;
                    VM_NEXT();
                }
                // Put the new frame in place of the calling one.
                CallInfo* ci = L->ci - 1;
                StkId func = ci->base - 1;
                StkId pfunc = L->ci->base - 1;
                if (L->openupval != nullptr)
                    luaF_close(L, ci->base);
                int aux = 0;
                for (; pfunc + aux < L->top; aux++)
                    setobj(func + aux, pfunc + aux);
                ci->base = func + 1;
                ci->top = L->top = func + aux;
                ci->savedpc = L->ci->savedpc;
                ci->tailcalls++;
                ci->state = CI_SAVEDPC | (ci->state & CI_INLINE);
                L->ci--;
                L->base = L->ci->base;
                goto reentry;
            }
            VM_CASE(OP_RETURN)
            {
                int b = GETARG_B(i);
                // The open upvalues are listed from the highest slot down: most returns find the
                // first one below their frame and have nothing to close.
                if (L->openupval != nullptr && static_cast<UpVal*>(L->openupval)->v >= base)
                    luaF_close(L, base);
                CallInfo* ci = L->ci;
                if (b == 2 && ci->nresults == 1 && (ci->state & CI_INLINE))
                {
                    // One value returned to a CALL that wants one: the usual return of an
                    // expression, without the general counting.
                    setobj(base - 1, ra);
                    ci--;
                    L->top = ci->top;
                }
                else
                {
                    if (b != 0)
                        L->top = ra + b - 1;
                    if (!(ci->state & CI_INLINE))
                    {
                        VM_SAVEPC();
                        return ra;
                    }
                    // Back to the calling function in this loop: luaD_poscall's work, with the
                    // caller's frame taken up here rather than reloaded.
                    const int wanted = ci->nresults;
                    StkId res = base - 1;
                    StkId last = L->top;
                    ci--;
                    int n = wanted;
                    for (; n != 0 && ra < last; n--)
                        setobj(res++, ra++);
                    for (; n > 0; n--)
                        setnilvalue(res++);
                    L->top = wanted < 0 ? res : ci->top;
                }
                L->ci = ci;
                base = ci->base;
                L->base = base;
                cl = toL(clvalue(base - 1));
                pc = ci->savedpc;
                k = cl->p->k;
                VM_NEXT();
            }
            VM_CASE(OP_FORLOOP)
            {
                if (!ttisnumber(ra))
                {
                    VM_SAVEPC();
                    luaG_runerror(L, "`for' initial value must be a number");
                }
                TObject* plimit = ra + 1;
                TObject* pstep = ra + 2;
                if (!ttisnumber(plimit) || !ttisnumber(pstep))
                {
                    // Numeric strings are converted in place once; later rounds find numbers.
                    VM_SAVEPC();
                    TObject tmp;
                    const TObject* n = luaV_tonumber(plimit, &tmp);
                    if (n == nullptr)
                        luaG_runerror(L, "`for' limit must be a number");
                    setnvalue(plimit, nvalue(n));
                    n = luaV_tonumber(pstep, &tmp);
                    if (n == nullptr)
                        luaG_runerror(L, "`for' step must be a number");
                    setnvalue(pstep, nvalue(n));
                }
                lua_Number step = nvalue(pstep);
                lua_Number idx = nvalue(ra) + step;
                lua_Number limit = nvalue(plimit);
                if (step > 0 ? idx <= limit : idx >= limit)
                {
                    pc += GETARG_sBx(i);
                    setnvalue(ra, idx);
                }
                VM_NEXT();
            }
            VM_CASE(OP_TFORLOOP)
            {
                int nresults = GETARG_C(i) + 1;
                StkId cb = ra + nresults + 2;
                setobj(cb + 2, ra + 2);
                setobj(cb + 1, ra + 1);
                setobj(cb, ra);
                L->top = cb + 3;
                VM_SAVEPC();
                luaD_call(L, cb, nresults);
                L->top = L->ci->top;
                base = L->base;
                ra = base + GETARG_A(i) + 2;
                cb = ra + nresults;
                do
                {
                    nresults--;
                    setobj(ra + nresults, cb + nresults);
                } while (nresults > 0);
                if (ttisnil(ra))
                    pc++;
                else
                    pc += GETARG_sBx(*pc) + 1;
                VM_NEXT();
            }
            VM_CASE(OP_TFORPREP)
            {
                if (ttistable(ra))
                {
                    VM_SAVEPC();
                    setobj(ra + 1, ra);
                    setobj(ra, luaH_getstr(hvalue(gt(L)), luaS_newlstr(L, "next", 4)));
                }
                pc += GETARG_sBx(i);
                VM_NEXT();
            }
            VM_CASE(OP_SETLIST)
            VM_CASE(OP_SETLISTO)
            {
                VM_SAVEPC();
                if (!ttistable(ra))
                    luaG_runerror(L, "table expected in list constructor");
                Table* h = hvalue(ra);
                int bc = GETARG_Bx(i);
                int n;
                if (GET_OPCODE(i) == OP_SETLIST)
                    n = (bc & (LFIELDS_PER_FLUSH - 1)) + 1;
                else
                {
                    n = static_cast<int>(L->top - ra) - 1;
                    L->top = L->ci->top;
                }
                bc &= ~(LFIELDS_PER_FLUSH - 1);
                for (; n > 0; n--)
                    setobj(luaH_setnum(L, h, bc + n), ra + n);
                VM_NEXT();
            }
            VM_CASE(OP_CLOSE)
            {
                luaF_close(L, ra);
                VM_NEXT();
            }
            VM_CASE(OP_CLOSURE)
            {
                VM_SAVEPC();
                Proto* p = cl->p->p[GETARG_Bx(i)];
                int nup = p->nups;
                TObject env;
                sethvalue(&env, cl->g);
                Closure* ncl = luaF_newLclosure(L, nup, &env);
                toL(ncl)->p = p;
                for (int j = 0; j < nup; j++, pc++)
                {
                    if (GET_OPCODE(*pc) == OP_GETUPVAL)
                        toL(ncl)->upvals[j] = cl->upvals[GETARG_B(*pc)];
                    else
                        toL(ncl)->upvals[j] = luaF_findupval(L, base + GETARG_B(*pc));
                }
                setclvalue(ra, ncl);
                VM_SAVEPC();
                luaC_checkGC(L);
                base = L->base;
                VM_NEXT();
            }
        }
    }
}

#undef VM_ARITH
#undef VM_INDEX
#undef VM_COMPARE
#undef VM_SAVEPC
#undef VM_NEXT
#undef VM_CASE
#undef VM_THREADED
