// String library, pattern matching: the matcher with its classes, captures and balanced pairs,
// and `find`, `gfind` and `gsub` built on it.
#include "script/lib/lib_string.h"
#include "script/core/strings.h"
#include "script/lauxlib.h"

#include <cctype>
#include <cstdint>
#include <cstring>

namespace string_lib
{

namespace
{

// ---------------------------------------------------------------------------------------------
// Pattern matching

constexpr int kMaxCaptures = 32;
constexpr int kCapUnfinished = -1;
constexpr int kCapPosition = -2;
constexpr const char* kSpecials = "^$*+?.([%-";
// Nesting of the matcher's recursion; deeper patterns are refused instead of exhausting the
// native stack.
constexpr int kMaxMatchDepth = 200;

struct MatchState
{
    const char* mSrcInit;
    const char* mSrcEnd;
    lua_State* L;
    int mLevel;
    int mDepth;
    struct
    {
        const char* mInit;
        long mLen;
    } mCapture[kMaxCaptures];
};

const char* Match(MatchState* ms, const char* s, const char* p);

int CheckCapture(MatchState* ms, int l)
{
    l -= '1';
    if (l < 0 || l >= ms->mLevel || ms->mCapture[l].mLen == kCapUnfinished)
    {
        return luaL_error(ms->L, "invalid capture index");
    }
    return l;
}

int CaptureToClose(MatchState* ms)
{
    int level = ms->mLevel;
    for (level--; level >= 0; level--)
    {
        if (ms->mCapture[level].mLen == kCapUnfinished)
        {
            return level;
        }
    }
    return luaL_error(ms->L, "invalid pattern capture");
}

const char* ClassEnd(MatchState* ms, const char* p)
{
    switch (*p++)
    {
    case kEsc:
        if (*p == '\0')
        {
            luaL_error(ms->L, "malformed pattern (ends with `%s')", "%");
        }
        return p + 1;
    case '[':
        if (*p == '^')
        {
            p++;
        }
        do
        {
            if (*p == '\0')
            {
                luaL_error(ms->L, "malformed pattern (missing `]')");
            }
            if (*(p++) == kEsc && *p != '\0')
            {
                p++;
            }
        } while (*p != ']');
        return p + 1;
    default:
        return p;
    }
}

// The pattern classes as bits, with the C locale's (plain ASCII) answers for every byte in a
// table: one load per byte tested instead of a call into the C library. The program never sets
// a locale, so the C library would answer the same.
enum : uint16_t
{
    kClassAlpha = 1 << 0,
    kClassCntrl = 1 << 1,
    kClassDigit = 1 << 2,
    kClassLower = 1 << 3,
    kClassPunct = 1 << 4,
    kClassSpace = 1 << 5,
    kClassUpper = 1 << 6,
    kClassAlnum = 1 << 7,
    kClassXdigit = 1 << 8,
    kClassZero = 1 << 9,
    kClassComplement = 1 << 15, // an upper-case class letter: every byte outside the class
};

struct ClassTables
{
    uint16_t ofByte[256];   // the classes each byte belongs to
    uint16_t ofLetter[256]; // the class a letter after "%" names; 0: the byte stands for itself
};

constexpr ClassTables MakeClassTables()
{
    ClassTables t{};
    for (int c = 0; c < 256; c++)
    {
        bool upper = c >= 'A' && c <= 'Z';
        bool lower = c >= 'a' && c <= 'z';
        bool digit = c >= '0' && c <= '9';
        bool graphic = c >= 0x21 && c <= 0x7E;
        uint16_t bits = 0;
        bits |= (upper || lower) ? kClassAlpha : 0;
        bits |= (c < 0x20 || c == 0x7F) ? kClassCntrl : 0;
        bits |= digit ? kClassDigit : 0;
        bits |= lower ? kClassLower : 0;
        bits |= (graphic && !upper && !lower && !digit) ? kClassPunct : 0;
        bits |= (c == ' ' || (c >= '\t' && c <= '\r')) ? kClassSpace : 0;
        bits |= upper ? kClassUpper : 0;
        bits |= (upper || lower || digit) ? kClassAlnum : 0;
        bits |= (digit || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F')) ? kClassXdigit : 0;
        bits |= c == 0 ? kClassZero : 0;
        t.ofByte[c] = bits;
    }
    const char letters[] = "acdlpsuwxz";
    const uint16_t classes[] = {kClassAlpha, kClassCntrl, kClassDigit, kClassLower,  kClassPunct,
                                kClassSpace, kClassUpper, kClassAlnum, kClassXdigit, kClassZero};
    for (int i = 0; i < 10; i++)
    {
        t.ofLetter[uchar(letters[i])] = classes[i];
        t.ofLetter[uchar(letters[i] - 'a' + 'A')] = classes[i] | kClassComplement;
    }
    return t;
}

constexpr ClassTables kClasses = MakeClassTables();

inline bool MatchClass(int c, int cl)
{
    uint16_t cls = kClasses.ofLetter[cl];
    if (cls == 0)
    {
        return cl == c;
    }
    bool res = (kClasses.ofByte[c] & cls) != 0;
    return (cls & kClassComplement) ? !res : res;
}

// MatchClass with the letter's class looked up once, for a run of bytes.
struct ClassTest
{
    explicit ClassTest(int cl)
        : letter(cl), cls(kClasses.ofLetter[cl]), complement((cls & kClassComplement) != 0)
    {
    }
    bool Takes(int c) const
    {
        return cls == 0 ? c == letter : ((kClasses.ofByte[c] & cls) != 0) != complement;
    }
    int letter;
    uint16_t cls;
    bool complement;
};

// The items of a set, p pointing at '[' and ec at the closing ']': a "%" class letter, a range
// or a byte, each handed to the visitor (onClass(letter), onRange(first, last), onByte(byte)),
// which returns true to stop. Returns whether the set is not complemented ("^").
template <typename OnClass, typename OnRange, typename OnByte>
[[gnu::always_inline]] inline bool WalkSet(const char* p, const char* ec, OnClass onClass,
                                           OnRange onRange, OnByte onByte)
{
    bool sig = true;
    if (*(p + 1) == '^')
    {
        sig = false;
        p++;
    }
    while (++p < ec)
    {
        if (*p == kEsc)
        {
            p++;
            if (onClass(uchar(*p)))
            {
                break;
            }
        }
        else if (*(p + 1) == '-' && p + 2 < ec)
        {
            p += 2;
            if (onRange(uchar(*(p - 2)), uchar(*p)))
            {
                break;
            }
        }
        else if (onByte(uchar(*p)))
        {
            break;
        }
    }
    return sig;
}

// p points at '[', ec at the closing ']'.
bool MatchBracketClass(int c, const char* p, const char* ec)
{
    bool found = false;
    bool sig = WalkSet(
        p, ec, [&](int cl) { return found = MatchClass(c, cl); },
        [&](int first, int last) { return found = first <= c && c <= last; },
        [&](int byte) { return found = byte == c; });
    return found ? sig : !sig;
}

// The bytes a set takes, worked out once for a run of tests (a repeated set, the lead of a
// search): MatchBracketClass's answer for every byte, read back with one bit test.
struct ByteSet
{
    uint64_t bits[4];

    void Add(int c) { bits[c >> 6] |= uint64_t{1} << (c & 63); }
    bool Has(int c) const { return (bits[c >> 6] >> (c & 63)) & 1; }
};

// The members of each "%" class, by the bit of kClasses that names it.
struct ClassSets
{
    ByteSet of[10];
};

constexpr ClassSets MakeClassSets()
{
    ClassSets sets{};
    for (int bit = 0; bit < 10; bit++)
    {
        for (int c = 0; c < 256; c++)
        {
            if (kClasses.ofByte[c] & (1u << bit))
            {
                sets.of[bit].bits[c >> 6] |= uint64_t{1} << (c & 63);
            }
        }
    }
    return sets;
}

constexpr ClassSets kClassSets = MakeClassSets();

// The bytes "%" followed by letter cl takes: a class, its complement, or the letter itself.
ByteSet ClassSet(int cl)
{
    ByteSet set{};
    uint16_t cls = kClasses.ofLetter[cl];
    if (cls == 0)
    {
        set.Add(cl);
        return set;
    }
    const ByteSet& members = kClassSets.of[__builtin_ctz(cls & ~kClassComplement)];
    for (int w = 0; w < 4; w++)
    {
        set.bits[w] = (cls & kClassComplement) ? ~members.bits[w] : members.bits[w];
    }
    return set;
}

// p points at '[', ec at the closing ']', read as MatchBracketClass reads them.
ByteSet CompileBracketClass(const char* p, const char* ec)
{
    ByteSet set{};
    bool sig = WalkSet(
        p, ec,
        [&](int cl)
        {
            const ByteSet members = ClassSet(cl);
            for (int w = 0; w < 4; w++)
            {
                set.bits[w] |= members.bits[w];
            }
            return false;
        },
        [&](int first, int last)
        {
            for (int c = first; c <= last; c++)
            {
                set.Add(c);
            }
            return false;
        },
        [&](int byte)
        {
            set.Add(byte);
            return false;
        });
    if (!sig)
    {
        for (uint64_t& w : set.bits)
        {
            w = ~w;
        }
    }
    return set;
}

[[gnu::always_inline]] inline bool SingleMatch(int c, const char* p, const char* ep)
{
    switch (*p)
    {
    case '.':
        return true;
    case kEsc:
        return MatchClass(c, uchar(*(p + 1)));
    case '[':
        return MatchBracketClass(c, p, ep - 1);
    default:
        return uchar(*p) == c;
    }
}

// The first item of pattern p when every match must begin with one byte of its class: a
// literal, ".", a "%" class or a set, not followed by "*", "?" or "-", after any opening
// parentheses (which consume nothing). Null for anything else (an item that may match nothing,
// "%b", "%f", a back reference, "$" at the end, a closing parenthesis, the end of the pattern, an
// item Match would report as malformed, or as many parentheses as captures allowed), so that Match
// meets those as before. A search may then pass over bytes the item does not take without calling
// Match, which would fail there before reading further.
const char* LeadingClass(const char* p, const char** itemEnd)
{
    for (int opened = 0; *p == '('; opened++)
    {
        if (opened + 1 >= kMaxCaptures)
        {
            return nullptr;
        }
        p += (*(p + 1) == ')') ? 2 : 1;
    }
    const char* ep;
    switch (*p)
    {
    case '\0':
    case ')':
        return nullptr;
    case '$':
        if (*(p + 1) == '\0')
        {
            return nullptr;
        }
        ep = p + 1;
        break;
    case kEsc:
        if (*(p + 1) == '\0' || *(p + 1) == 'b' || *(p + 1) == 'f' || std::isdigit(uchar(*(p + 1))))
        {
            return nullptr;
        }
        ep = p + 2;
        break;
    case '[':
    {
        // As ClassEnd reads a set, without its errors.
        ep = p + 1;
        if (*ep == '^')
        {
            ep++;
        }
        do
        {
            if (*ep == '\0')
            {
                return nullptr;
            }
            if (*(ep++) == kEsc && *ep != '\0')
            {
                ep++;
            }
        } while (*ep != ']');
        ep++;
        break;
    }
    default:
        ep = p + 1;
        break;
    }
    if (*ep == '*' || *ep == '?' || *ep == '-')
    {
        return nullptr;
    }
    *itemEnd = ep;
    return p;
}

// The first position from s on where the leading item [p, ep) takes the byte, or end.
const char* SkipToLead(const char* s, const char* end, const char* p, const char* ep)
{
    if (*p == '[')
    {
        const ByteSet set = CompileBracketClass(p, ep - 1);
        while (s < end && !set.Has(uchar(*s)))
        {
            s++;
        }
        return s;
    }
    if (*p == kEsc)
    {
        const ClassTest test(uchar(*(p + 1)));
        while (s < end && !test.Takes(uchar(*s)))
        {
            s++;
        }
        return s;
    }
    while (s < end && !SingleMatch(uchar(*s), p, ep))
    {
        s++;
    }
    return s;
}

const char* MatchBalance(MatchState* ms, const char* s, const char* p)
{
    if (*p == '\0' || *(p + 1) == '\0')
    {
        luaL_error(ms->L, "unbalanced pattern");
    }
    if (s >= ms->mSrcEnd || *s != *p)
    {
        return nullptr;
    }
    int b = *p;
    int e = *(p + 1);
    int cont = 1;
    while (++s < ms->mSrcEnd)
    {
        if (*s == e)
        {
            if (--cont == 0)
            {
                return s + 1;
            }
        }
        else if (*s == b)
        {
            cont++;
        }
    }
    return nullptr;
}

const char* MaxExpand(MatchState* ms, const char* s, const char* p, const char* ep)
{
    long i = 0;
    if (*p == '[')
    {
        const ByteSet set = CompileBracketClass(p, ep - 1);
        while (s + i < ms->mSrcEnd && set.Has(uchar(*(s + i))))
        {
            i++;
        }
    }
    else if (*p == kEsc)
    {
        const ClassTest test(uchar(*(p + 1)));
        while (s + i < ms->mSrcEnd && test.Takes(uchar(*(s + i))))
        {
            i++;
        }
    }
    else
    {
        while (s + i < ms->mSrcEnd && SingleMatch(uchar(*(s + i)), p, ep))
        {
            i++;
        }
    }
    while (i >= 0)
    {
        const char* res = Match(ms, s + i, ep + 1);
        if (res)
        {
            return res;
        }
        i--;
    }
    return nullptr;
}

const char* MinExpand(MatchState* ms, const char* s, const char* p, const char* ep)
{
    for (;;)
    {
        const char* res = Match(ms, s, ep + 1);
        if (res != nullptr)
        {
            return res;
        }
        if (s < ms->mSrcEnd && SingleMatch(uchar(*s), p, ep))
        {
            s++;
        }
        else
        {
            return nullptr;
        }
    }
}

const char* StartCapture(MatchState* ms, const char* s, const char* p, int what)
{
    int level = ms->mLevel;
    if (level >= kMaxCaptures)
    {
        luaL_error(ms->L, "too many captures");
    }
    ms->mCapture[level].mInit = s;
    ms->mCapture[level].mLen = what;
    ms->mLevel = level + 1;
    const char* res = Match(ms, s, p);
    if (res == nullptr)
    {
        ms->mLevel--;
    }
    return res;
}

const char* EndCapture(MatchState* ms, const char* s, const char* p)
{
    int l = CaptureToClose(ms);
    ms->mCapture[l].mLen = (long)(s - ms->mCapture[l].mInit);
    const char* res = Match(ms, s, p);
    if (res == nullptr)
    {
        ms->mCapture[l].mLen = kCapUnfinished;
    }
    return res;
}

const char* MatchCapture(MatchState* ms, const char* s, int l)
{
    l = CheckCapture(ms, l);
    size_t len = (size_t)ms->mCapture[l].mLen;
    if ((size_t)(ms->mSrcEnd - s) >= len && std::memcmp(ms->mCapture[l].mInit, s, len) == 0)
    {
        return s + len;
    }
    return nullptr;
}

const char* Match(MatchState* ms, const char* s, const char* p)
{
    if (++ms->mDepth > kMaxMatchDepth)
    {
        luaL_error(ms->L, "pattern too complex");
    }
    const char* result = nullptr;
    for (;;)
    {
        switch (*p)
        {
        case '(':
            if (*(p + 1) == ')')
            {
                result = StartCapture(ms, s, p + 2, kCapPosition);
            }
            else
            {
                result = StartCapture(ms, s, p + 1, kCapUnfinished);
            }
            goto done;
        case ')':
            result = EndCapture(ms, s, p + 1);
            goto done;
        case '\0':
            result = s;
            goto done;
        case '$':
            if (*(p + 1) == '\0')
            {
                result = (s == ms->mSrcEnd) ? s : nullptr;
                goto done;
            }
            break;
        case kEsc:
            if (*(p + 1) == 'b')
            {
                s = MatchBalance(ms, s, p + 2);
                if (s == nullptr)
                {
                    goto done;
                }
                p += 4;
                continue;
            }
            if (*(p + 1) == 'f')
            {
                p += 2;
                if (*p != '[')
                {
                    luaL_error(ms->L, "missing `[' after `%s' in pattern", "%f");
                }
                const char* ep = ClassEnd(ms, p);
                int previous = (s == ms->mSrcInit) ? 0 : uchar(*(s - 1));
                int current = (s < ms->mSrcEnd) ? uchar(*s) : 0;
                if (MatchBracketClass(previous, p, ep - 1) ||
                    !MatchBracketClass(current, p, ep - 1))
                {
                    goto done;
                }
                p = ep;
                continue;
            }
            if (std::isdigit(uchar(*(p + 1))))
            {
                s = MatchCapture(ms, s, uchar(*(p + 1)));
                if (s == nullptr)
                {
                    goto done;
                }
                p += 2;
                continue;
            }
            break;
        default:
            break;
        }
        // A single-character class, possibly followed by a repetition suffix.
        const char* ep = ClassEnd(ms, p);
        bool m = s < ms->mSrcEnd && SingleMatch(uchar(*s), p, ep);
        switch (*ep)
        {
        case '?':
            if (m)
            {
                const char* res = Match(ms, s + 1, ep + 1);
                if (res != nullptr)
                {
                    result = res;
                    goto done;
                }
            }
            p = ep + 1;
            continue;
        case '*':
            result = MaxExpand(ms, s, p, ep);
            goto done;
        case '+':
            result = m ? MaxExpand(ms, s + 1, p, ep) : nullptr;
            goto done;
        case '-':
            result = MinExpand(ms, s, p, ep);
            goto done;
        default:
            if (!m)
            {
                goto done;
            }
            s++;
            p = ep;
            continue;
        }
    }
done:
    ms->mDepth--;
    return result;
}

const char* MemFind(const char* s1, size_t l1, const char* s2, size_t l2)
{
    if (l2 == 0)
    {
        return s1;
    }
    if (l2 > l1)
    {
        return nullptr;
    }
    l2--; // the first character is found with memchr
    l1 = l1 - l2;
    const char* init;
    while (l1 > 0 && (init = static_cast<const char*>(std::memchr(s1, *s2, l1))) != nullptr)
    {
        init++;
        if (std::memcmp(init, s2 + 1, l2) == 0)
        {
            return init - 1;
        }
        l1 -= (size_t)(init - s1);
        s1 = init;
    }
    return nullptr;
}

void PushOneCapture(MatchState* ms, int i, const char* s, const char* e)
{
    if (i < 0)
    {
        luaL_error(ms->L, "invalid capture index");
    }
    if (i >= ms->mLevel)
    {
        if (i == 0)
        {
            luaA_pushloose(ms->L, s, (size_t)(e - s)); // the whole match
        }
        else
        {
            luaL_error(ms->L, "invalid capture index");
        }
        return;
    }
    long l = ms->mCapture[i].mLen;
    if (l == kCapUnfinished)
    {
        luaL_error(ms->L, "unfinished capture");
    }
    if (l == kCapPosition)
    {
        lua_pushnumber(ms->L, (lua_Number)(ms->mCapture[i].mInit - ms->mSrcInit + 1));
    }
    else
    {
        luaA_pushloose(ms->L, ms->mCapture[i].mInit, (size_t)l);
    }
}

int PushCaptures(MatchState* ms, const char* s, const char* e)
{
    int nlevels = (ms->mLevel == 0 && s) ? 1 : ms->mLevel;
    luaL_checkstack(ms->L, nlevels, "too many captures");
    for (int i = 0; i < nlevels; i++)
    {
        PushOneCapture(ms, i, s, e);
    }
    return nlevels;
}

void InitMatch(MatchState* ms, lua_State* L, const char* s, size_t l)
{
    ms->L = L;
    ms->mSrcInit = s;
    ms->mSrcEnd = s + l;
    ms->mLevel = 0;
    ms->mDepth = 0;
}

} // namespace

int StrFind(lua_State* L)
{
    size_t l1, l2;
    const char* s = luaL_checklstring(L, 1, &l1);
    const char* p = luaL_checklstring(L, 2, &l2);
    long init = PosRelative(luaL_optnumber(L, 3, 1), l1) - 1;
    if (init < 0)
    {
        init = 0;
    }
    else if ((size_t)init > l1)
    {
        init = (long)l1;
    }
    if (lua_toboolean(L, 4) || std::strpbrk(p, kSpecials) == nullptr)
    {
        const char* s2 = MemFind(s + init, l1 - (size_t)init, p, l2);
        if (s2)
        {
            lua_pushnumber(L, (lua_Number)(s2 - s + 1));
            lua_pushnumber(L, (lua_Number)(s2 - s + (long)l2));
            return 2;
        }
    }
    else
    {
        MatchState ms;
        bool anchor = (*p == '^');
        if (anchor)
        {
            p++;
        }
        const char* s1 = s + init;
        InitMatch(&ms, L, s, l1);
        const char* leadEnd = nullptr;
        const char* lead = anchor ? nullptr : LeadingClass(p, &leadEnd);
        do
        {
            if (lead != nullptr)
            {
                s1 = SkipToLead(s1, ms.mSrcEnd, lead, leadEnd);
                if (s1 == ms.mSrcEnd)
                {
                    break; // no byte left for the leading item
                }
            }
            ms.mLevel = 0;
            ms.mDepth = 0;
            const char* res = Match(&ms, s1, p);
            if (res != nullptr)
            {
                lua_pushnumber(L, (lua_Number)(s1 - s + 1));
                lua_pushnumber(L, (lua_Number)(res - s));
                return PushCaptures(&ms, nullptr, nullptr) + 2;
            }
        } while (s1++ < ms.mSrcEnd && !anchor);
    }
    lua_pushnil(L);
    return 1;
}

namespace
{

int GfindAux(lua_State* L)
{
    MatchState ms;
    const char* s = lua_tostring(L, lua_upvalueindex(1));
    size_t ls = lua_strlen(L, lua_upvalueindex(1));
    const char* p = lua_tostring(L, lua_upvalueindex(2));
    InitMatch(&ms, L, s, ls);
    const char* leadEnd = nullptr;
    const char* lead = LeadingClass(p, &leadEnd);
    for (const char* src = s + (size_t)lua_tonumber(L, lua_upvalueindex(3)); src <= ms.mSrcEnd;
         src++)
    {
        if (lead != nullptr)
        {
            src = SkipToLead(src, ms.mSrcEnd, lead, leadEnd);
            if (src == ms.mSrcEnd)
            {
                break; // no byte left for the leading item
            }
        }
        ms.mLevel = 0;
        ms.mDepth = 0;
        const char* e = Match(&ms, src, p);
        if (e != nullptr)
        {
            long newstart = (long)(e - s);
            if (e == src)
            {
                newstart++; // an empty match moves on by at least one position
            }
            lua_pushnumber(L, (lua_Number)newstart);
            lua_replace(L, lua_upvalueindex(3));
            return PushCaptures(&ms, src, e);
        }
    }
    return 0;
}

} // namespace

int StrGfind(lua_State* L)
{
    luaL_checkstring(L, 1);
    luaL_checkstring(L, 2);
    lua_settop(L, 2);
    lua_pushnumber(L, 0);
    lua_pushcclosure(L, GfindAux, 3);
    return 1;
}

namespace
{

void AddReplacement(MatchState* ms, luaL_Buffer* b, const char* s, const char* e)
{
    lua_State* L = ms->L;
    if (lua_isstring(L, 3))
    {
        const char* news = lua_tostring(L, 3);
        size_t l = lua_strlen(L, 3);
        for (size_t i = 0; i < l; i++)
        {
            if (news[i] != kEsc)
            {
                luaL_putchar(b, news[i]);
            }
            else
            {
                i++; // skip the escape
                if (!std::isdigit(uchar(news[i])))
                {
                    luaL_putchar(b, news[i]);
                }
                else
                {
                    PushOneCapture(ms, news[i] - '1', s, e);
                    luaL_addvalue(b);
                }
            }
        }
    }
    else
    {
        lua_pushvalue(L, 3);
        int n = PushCaptures(ms, s, e);
        lua_call(L, n, 1);
        if (lua_isstring(L, -1) && !lua_iswstring(L, -1))
        {
            luaL_addvalue(b);
        }
        else
        {
            lua_pop(L, 1); // not a string: nothing is added
        }
    }
}

} // namespace

int StrGsub(lua_State* L)
{
    size_t srcl;
    const char* src = luaL_checklstring(L, 1, &srcl);
    const char* p = luaL_checkstring(L, 2);
    long maxS = luaL_optint(L, 4, (lua_Number)srcl + 1);
    bool anchor = (*p == '^');
    if (anchor)
    {
        p++;
    }
    int t3 = lua_type(L, 3);
    luaL_argcheck(L, t3 == LUA_TSTRING || t3 == LUA_TNUMBER || t3 == LUA_TFUNCTION, 3,
                  "string or function expected");
    luaL_Buffer b;
    luaL_buffinit(L, &b);
    MatchState ms;
    InitMatch(&ms, L, src, srcl);
    const char* leadEnd = nullptr;
    const char* lead = anchor ? nullptr : LeadingClass(p, &leadEnd);
    long n = 0;
    while (n < maxS)
    {
        if (lead != nullptr)
        {
            // Bytes where no match can begin are copied as they are, in one piece.
            const char* next = SkipToLead(src, ms.mSrcEnd, lead, leadEnd);
            luaL_addlstring(&b, src, (size_t)(next - src));
            src = next;
            if (src == ms.mSrcEnd)
            {
                break;
            }
        }
        ms.mLevel = 0;
        ms.mDepth = 0;
        const char* e = Match(&ms, src, p);
        if (e)
        {
            n++;
            AddReplacement(&ms, &b, src, e);
        }
        if (e && e > src)
        {
            src = e;
        }
        else if (src < ms.mSrcEnd)
        {
            luaL_putchar(&b, *src++);
        }
        else
        {
            break;
        }
        if (anchor)
        {
            break;
        }
    }
    luaL_addlstring(&b, src, (size_t)(ms.mSrcEnd - src));
    luaL_pushresult(&b);
    lua_pushnumber(L, (lua_Number)n);
    return 2;
}

} // namespace string_lib
