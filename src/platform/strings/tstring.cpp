// TString operations: sharing, copy on write, searching, editing, formatting, UTF-8 helpers.
#include "platform/strings/tstring.h"

#include "platform/log.h"
#include "platform/strings/collate.h"
#include "sys/utf8.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>

namespace
{
const char kEmptyText[1] = {0};
constexpr unsigned kMinCapacity = 16;
constexpr int kFormatBufferSize = 4096;

char UpperAscii(char c)
{
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

bool SameByte(char a, char b, bool ignoreCase)
{
    return ignoreCase ? UpperAscii(a) == UpperAscii(b) : a == b;
}

std::atomic<uint32_t> gLengthLimit{kTStringMaxLength};

// True when a text of `length` bytes may be held; else the refusal is logged. The log builds its
// line from strings too: a refusal met while saying one is not said again.
bool Fits(uint64_t length)
{
    const uint32_t limit = gLengthLimit.load(std::memory_order_relaxed);
    if (length <= limit)
        return true;
    thread_local bool saying = false;
    if (!saying)
    {
        saying = true;
        Log("ERROR: A text of %llu bytes was refused: a text holds at most %u bytes; it is left as "
            "it was",
            static_cast<unsigned long long>(length), limit);
        saying = false;
    }
    return false;
}

// The length `text` has once Replace has put `toLength` bytes in place of each match of `pattern`
// it would replace, the first at `pos`: measured before anything changes, so that a replacement
// past the limit leaves the text whole. When even a match at every place would fit, that bound
// serves and nothing is searched.
uint64_t ReplacedLength(const TString& text, const TString& pattern, int toLength, int flags,
                        int pos)
{
    const uint64_t length = static_cast<uint64_t>(text.Length());
    const int fromLength = pattern.Length();
    const uint64_t growth = static_cast<uint64_t>(toLength - fromLength);
    if (!(flags & kStringReplaceAll))
        return length + growth;
    const uint64_t bound = length + length / static_cast<uint64_t>(fromLength) * growth;
    if (bound <= gLengthLimit.load(std::memory_order_relaxed))
        return bound;
    // The matches Replace visits, in the text as it is: replaced text is never searched again.
    uint64_t matches = 0;
    while (pos >= 0)
    {
        ++matches;
        if (flags & kStringBackwards)
            pos = pos == 0 ? -1 : text.Find(pattern, flags, text.Length() - pos);
        else
            pos = text.Find(pattern, flags, pos + fromLength);
    }
    return length + matches * growth;
}
} // namespace

void SetTStringLengthLimit(uint32_t limit)
{
    gLengthLimit.store(limit == 0 || limit > kTStringMaxLength ? kTStringMaxLength : limit,
                       std::memory_order_relaxed);
}

TStringData* TString::NewRecord(unsigned capacity, unsigned filled)
{
    // Zero-filled so that bytes beyond the text never hold stale data.
    auto* data = new TStringData{static_cast<char*>(::operator new(capacity)), 1, capacity, 0};
    filled = std::min(filled, capacity);
    std::memset(data->mText + filled, 0, capacity - filled);
    return data;
}

TString::TString(const char* text)
{
    if (text == nullptr)
    {
        mData = NewRecord(kMinCapacity);
        return;
    }
    const size_t length = std::strlen(text);
    if (!Fits(length))
    {
        mData = NewRecord(kMinCapacity);
        return;
    }
    auto n = static_cast<unsigned>(length);
    mData = NewRecord(n + 1, n);
    std::memcpy(mData->mText, text, n);
    mData->mLength = n;
}

TString::TString(const char* text, unsigned n)
{
    if (!Fits(n))
        n = 0;
    mData = NewRecord(std::max(n + 1, kMinCapacity));
    if (text != nullptr && n > 0)
    {
        // All n bytes are kept (a precompiled chunk holds zero bytes); the text ends at the first.
        std::memcpy(mData->mText, text, n);
        mData->mLength = static_cast<uint32_t>(strnlen(text, n));
    }
}

TString::TString(const TString& other) : mData(other.mData)
{
    if (mData != nullptr)
        mData->mCount.fetch_add(1, std::memory_order_relaxed);
}

TString::TString(TString&& other) noexcept : mData(other.mData)
{
    other.mData = nullptr;
}

TString::~TString()
{
    Release();
}

void TString::Release()
{
    if (mData == nullptr)
        return;
    if (mData->mCount.fetch_sub(1, std::memory_order_acq_rel) == 1)
    {
        ::operator delete(mData->mText);
        delete mData;
    }
    mData = nullptr;
}

TString& TString::operator=(const TString& other)
{
    if (this == &other || mData == other.mData)
        return *this;
    if (other.mData != nullptr)
        other.mData->mCount.fetch_add(1, std::memory_order_relaxed);
    Release();
    mData = other.mData;
    return *this;
}

TString& TString::operator=(TString&& other) noexcept
{
    if (this != &other)
    {
        Release();
        mData = other.mData;
        other.mData = nullptr;
    }
    return *this;
}

TString& TString::operator=(const char* text)
{
    // Built before releasing: the text may live in this handle's own record.
    TString fresh(text);
    return *this = std::move(fresh);
}

void TString::Unshare()
{
    if (mData != nullptr && mData->mCount.load(std::memory_order_acquire) > 1)
        *this = c_str();
}

void TString::Reserve(unsigned n)
{
    // The capacity holds the terminator.
    if (n > 0 && !Fits(n - 1ull))
        return;
    unsigned capacity = std::max(n, kMinCapacity);
    unsigned copy = mData == nullptr ? 0 : std::min(mData->mCapacity, capacity);
    TStringData* fresh = NewRecord(capacity, copy);
    if (mData != nullptr)
    {
        // The old buffer is copied whole; a smaller reservation keeps what fits, still terminated.
        std::memcpy(fresh->mText, mData->mText, copy);
        fresh->mText[capacity - 1] = 0;
        fresh->mLength = std::min(mData->mLength, capacity - 1);
    }
    Release();
    mData = fresh;
}

bool TString::Grow(uint64_t length)
{
    if (!Fits(length))
        return false;
    const auto needed = static_cast<unsigned>(length + 1);
    if (mData == nullptr)
    {
        Reserve(needed);
        return true;
    }
    if (mData->mCapacity >= needed)
        return true;
    // Doubling stops at the room for the longest text.
    const uint64_t most = uint64_t(gLengthLimit.load(std::memory_order_relaxed)) + 1;
    uint64_t capacity = mData->mCapacity;
    while (capacity < needed)
        capacity = std::min(capacity * 2, std::max<uint64_t>(most, needed));
    Reserve(static_cast<unsigned>(capacity));
    return true;
}

int TString::Length() const
{
    return mData == nullptr ? 0 : static_cast<int>(mData->mLength);
}

const char* TString::c_str() const
{
    return mData == nullptr ? kEmptyText : mData->mText;
}

char TString::CharAt(int i) const
{
    if (i < 0 || i >= Length())
        return 0;
    return mData->mText[i];
}

int TString::ToInt() const
{
    errno = 0;
    long long value = std::strtoll(c_str(), nullptr, 10);
    return static_cast<int>(std::clamp<long long>(value, INT_MIN, INT_MAX));
}

float TString::ToFloat() const
{
    // Parsed as a double, then narrowed: a text just past the midpoint of two floats rounds twice,
    // as the engine's data has always been read.
    return static_cast<float>(std::strtod(c_str(), nullptr));
}

int TString::Compare(const TString& other) const
{
    if (mData == other.mData)
        return 0;
    int result = CompareStrings(c_str(), other.c_str());
    return (result > 0) - (result < 0);
}

int TString::FindChar(char c, int flags, int start) const
{
    int length = Length();
    if (start < 0 || start >= length)
        return -1;
    const char* text = c_str();
    bool ignoreCase = (flags & kStringIgnoreCase) != 0;
    if (flags & kStringBackwards)
    {
        for (int i = length - 1 - start; i >= 0; --i)
            if (SameByte(text[i], c, ignoreCase))
                return i;
        return -1;
    }
    for (int i = start; i < length; ++i)
        if (SameByte(text[i], c, ignoreCase))
            return i;
    return -1;
}

int TString::Find(const TString& sub, int flags, int start) const
{
    int length = Length();
    if (start < 0 || start >= length)
        return -1;
    const char* text = c_str();
    const char* pattern = sub.c_str();
    int subLength = sub.Length();
    bool ignoreCase = (flags & kStringIgnoreCase) != 0;
    auto matchesAt = [&](int i)
    {
        for (int k = 0; k < subLength; ++k)
            if (!SameByte(text[i + k], pattern[k], ignoreCase))
                return false;
        return true;
    };
    if (flags & kStringBackwards)
    {
        for (int i = length - subLength - start; i >= 0; --i)
            if (matchesAt(i))
                return i;
        return -1;
    }
    for (int i = start; i <= length - subLength; ++i)
        if (matchesAt(i))
            return i;
    return -1;
}

int TString::FindFirstOf(const TString& set, int start) const
{
    int length = Length();
    if (start < 0)
        start = 0;
    if (start >= length)
        return length;
    return start + static_cast<int>(std::strcspn(c_str() + start, set.c_str()));
}

TString TString::Substr(int start, int count) const
{
    int length = Length();
    if (start < 0)
        start = 0;
    if (start >= length || count == 0)
        return TString("");
    int available = length - start;
    if (count < 0 || count > available)
        count = available;
    return TString(c_str() + start, static_cast<unsigned>(count));
}

TString TString::operator+(const TString& other) const
{
    unsigned a = static_cast<unsigned>(Length());
    unsigned b = static_cast<unsigned>(other.Length());
    if (!Fits(uint64_t(a) + b))
        return *this;
    TString result;
    result.mData = NewRecord(std::max(a + b + 1, kMinCapacity));
    std::memcpy(result.mData->mText, c_str(), a);
    std::memcpy(result.mData->mText + a, other.c_str(), b);
    result.mData->mLength = a + b;
    return result;
}

TString TString::operator+(char c) const
{
    unsigned a = static_cast<unsigned>(Length());
    if (c != 0 && !Fits(uint64_t(a) + 1))
        return *this;
    TString result;
    result.mData = NewRecord(std::max(a + 2, kMinCapacity));
    std::memcpy(result.mData->mText, c_str(), a);
    result.mData->mText[a] = c;
    result.mData->mLength = c == 0 ? a : a + 1;
    return result;
}

TString TString::Format(const char* format, ...)
{
    va_list args;
    va_start(args, format);
    TString result = FormatV(format, args);
    va_end(args);
    return result;
}

TString TString::FormatV(const char* format, va_list args)
{
    char buffer[kFormatBufferSize];
    va_list second;
    va_copy(second, args);
    int length = std::vsnprintf(buffer, sizeof buffer, format, args);
    if (length < 0)
    {
        va_end(second);
        return TString("");
    }
    if (length < kFormatBufferSize)
    {
        va_end(second);
        return TString(buffer);
    }
    if (!Fits(static_cast<uint64_t>(length)))
    {
        va_end(second);
        return TString("");
    }
    TString result;
    result.Reserve(static_cast<unsigned>(length) + 1);
    std::vsnprintf(result.mData->mText, static_cast<size_t>(length) + 1, format, second);
    va_end(second);
    // Measured: a "%c" of 0 ends the text early.
    result.mData->mLength = static_cast<uint32_t>(std::strlen(result.mData->mText));
    return result;
}

void TString::Printf(const char* format, ...)
{
    va_list args;
    va_start(args, format);
    *this = FormatV(format, args);
    va_end(args);
}

TString TString::FromCodePoint(uint32_t cp)
{
    char bytes[4];
    int n = EncodeUtf8(cp, bytes);
    if (n == 0)
        return TString();
    return TString(bytes, static_cast<unsigned>(n));
}

TString& TString::operator+=(const TString& other)
{
    if (other.mData != nullptr && other.mData == mData)
    {
        // Its own text: a reference held keeps it alive while this handle unshares or grows.
        TString tail(other);
        Unshare();
        return *this += tail;
    }
    // Another record: the handle's own changes below never touch it.
    unsigned a = static_cast<unsigned>(Length());
    unsigned b = static_cast<unsigned>(other.Length());
    if (!Fits(uint64_t(a) + b))
        return *this;
    Unshare();
    Grow(uint64_t(a) + b);
    std::memcpy(mData->mText + a, other.c_str(), b);
    mData->mText[a + b] = 0;
    mData->mLength = a + b;
    return *this;
}

void TString::Append(const char* text, int n)
{
    if (text == nullptr || n <= 0)
        return;
    // The bytes up to the first zero byte, as a string made of the n bytes would hold.
    WriteAt(-1, text, static_cast<int>(strnlen(text, static_cast<size_t>(n))), true);
}

TString& TString::operator+=(char c)
{
    WriteAt(-1, &c, 1, true);
    return *this;
}

int TString::WriteAt(int pos, const void* src, int n, bool terminate)
{
    return WriteAt(pos, src, n, terminate, Length());
}

int TString::WriteAt(int pos, const void* src, int n, bool terminate, int length)
{
    if (n < 0)
        n = 0;
    // A source inside this handle's own buffer would not survive a reallocation; copy it first.
    TString staged;
    if (mData != nullptr && n > 0)
    {
        auto* from = static_cast<const char*>(src);
        const char* begin = mData->mText;
        if (!std::less<const char*>()(from, begin) &&
            std::less<const char*>()(from, begin + mData->mCapacity))
        {
            staged = TString(from, static_cast<unsigned>(n));
            src = staged.c_str();
        }
    }
    if (pos < 0 || pos > length)
        pos = length;
    if (!Fits(int64_t(pos) + n))
        return pos;
    Unshare();
    Grow(uint64_t(pos) + static_cast<uint64_t>(n));
    char* at = mData->mText + pos;
    std::memmove(at, src, static_cast<size_t>(n));
    // A zero byte among those written ends the text there.
    const auto kept = static_cast<uint32_t>(strnlen(at, static_cast<size_t>(n)));
    // Writing over the old end leaves no terminator behind it, so one is written regardless.
    if (terminate || pos + n > length)
    {
        at[n] = 0;
        mData->mLength = static_cast<uint32_t>(pos) + kept;
    }
    else if (kept < static_cast<uint32_t>(n))
    {
        mData->mLength = static_cast<uint32_t>(pos) + kept;
    }
    return pos + n;
}

void TString::Erase(int pos, int count)
{
    int length = Length();
    if (pos < 0 || pos >= length || count == 0)
        return;
    Unshare();
    char* text = mData->mText;
    if (count < 0 || count >= length - pos)
    {
        text[pos] = 0;
        mData->mLength = static_cast<uint32_t>(pos);
        return;
    }
    std::memmove(text + pos, text + pos + count, static_cast<size_t>(length - pos - count) + 1);
    mData->mLength = static_cast<uint32_t>(length - count);
}

void TString::Replace(const TString& from, const TString& to, int flags, int start)
{
    TString pattern(from);
    TString replacement(to);
    int fromLength = pattern.Length();
    int toLength = replacement.Length();
    if (fromLength == 0 || Length() == 0)
        return;
    int pos = Find(pattern, flags, start);
    if (pos >= 0 && toLength > fromLength &&
        !Fits(ReplacedLength(*this, pattern, toLength, flags, pos)))
        return;
    while (pos >= 0)
    {
        Unshare();
        int length = Length();
        if (toLength > fromLength)
            Grow(uint64_t(length) + static_cast<unsigned>(toLength - fromLength));
        char* text = mData->mText;
        std::memmove(text + pos + toLength, text + pos + fromLength,
                     static_cast<size_t>(length - pos - fromLength) + 1);
        std::memcpy(text + pos, replacement.c_str(), static_cast<size_t>(toLength));
        mData->mLength = static_cast<uint32_t>(length + toLength - fromLength);
        if (!(flags & kStringReplaceAll))
            break;
        if (flags & kStringBackwards)
        {
            // Backwards the start counts from the end: continue just before this match, so
            // replaced text is never searched again and the loop always ends.
            int next = Length() - pos;
            pos = pos == 0 ? -1 : Find(pattern, flags, next);
        }
        else
        {
            pos = Find(pattern, flags, pos + toLength);
        }
    }
}

void TString::MakeLower()
{
    if (mData == nullptr)
        return;
    Unshare();
    for (char* p = mData->mText; *p != 0; ++p)
        if (*p >= 'A' && *p <= 'Z')
            *p = static_cast<char>(*p - 'A' + 'a');
}

int CompareStrings(const char* a, const char* b)
{
    static const TCollateFn collate = FindCollateFunction();
    if (collate != nullptr)
        return collate(a, b);
    const auto* x = reinterpret_cast<const unsigned char*>(a);
    const auto* y = reinterpret_cast<const unsigned char*>(b);
    while (*x != 0 && *x == *y)
    {
        ++x;
        ++y;
    }
    if (*x == *y)
        return 0;
    return *x < *y ? -1 : 1;
}

int Utf8CharLength(const char* p)
{
    auto lead = static_cast<unsigned char>(*p);
    if (lead == 0)
        return 0;
    if (lead < 0xC0)
        return 1;
    if (lead < 0xE0)
        return 2;
    if (lead < 0xF0)
        return 3;
    return 4;
}

int EncodeUtf8(uint32_t cp, char* out)
{
    if (cp == 0xFFFE || cp == 0xFEFF || cp == 0xFFFF || cp >= 0x110000)
        return 0;
    if (cp < 0x80)
    {
        out[0] = static_cast<char>(cp);
        return 1;
    }
    if (cp < 0x800)
    {
        out[0] = static_cast<char>(0xC0 | (cp >> 6));
        out[1] = static_cast<char>(0x80 | (cp & 0x3F));
        return 2;
    }
    if (cp < 0x10000)
    {
        out[0] = static_cast<char>(0xE0 | (cp >> 12));
        out[1] = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out[2] = static_cast<char>(0x80 | (cp & 0x3F));
        return 3;
    }
    out[0] = static_cast<char>(0xF0 | (cp >> 18));
    out[1] = static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    out[2] = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out[3] = static_cast<char>(0x80 | (cp & 0x3F));
    return 4;
}

uint32_t DecodeUtf8(const char* p)
{
    if (*p == 0)
        return 0;
    // At most the sequence's bytes before a NUL, so a sequence cut short never reads past the
    // text. A broken one (an overlong form too: C0 AF is no "/") decodes to nothing.
    int used = 0;
    const uint32_t code = sys::ReadUtf8(p, strnlen(p, 4), used);
    return code == sys::kBrokenUtf8 ? 0 : code;
}

bool IsSingleByteText(const TString& text)
{
    const auto* bytes = reinterpret_cast<const unsigned char*>(text.c_str());
    for (int i = 0; i < text.Length(); ++i)
    {
        if (bytes[i] == 0 || bytes[i] >= 192)
            return false;
    }
    return true;
}

namespace
{
// Characters no glyph draws, as ranges: controls, white space of every width, the default-ignorable
// characters (soft hyphen, joiners and marks, bidirectional controls, variation selectors, tags,
// invisible operators), the fillers (Hangul's) and the blank Braille pattern. Sorted.
constexpr uint32_t kUndrawn[][2] = {
    {0x0000, 0x0020},   {0x007F, 0x00A0},   {0x00AD, 0x00AD}, {0x034F, 0x034F}, {0x061C, 0x061C},
    {0x115F, 0x1160},   {0x1680, 0x1680},   {0x17B4, 0x17B5}, {0x180B, 0x180F}, {0x2000, 0x200F},
    {0x2028, 0x202F},   {0x205F, 0x206F},   {0x2800, 0x2800}, {0x3000, 0x3000}, {0x3164, 0x3164},
    {0xFE00, 0xFE0F},   {0xFEFF, 0xFEFF},   {0xFFA0, 0xFFA0}, {0xFFF0, 0xFFFB}, {0x1BCA0, 0x1BCA3},
    {0x1D173, 0x1D17A}, {0xE0000, 0xE0FFF},
};

bool IsUndrawn(uint32_t c)
{
    for (const auto& range : kUndrawn)
    {
        if (c < range[0])
            return false;
        if (c <= range[1])
            return true;
    }
    return false;
}
} // namespace

bool IsBlankText(const TString& text)
{
    const char* p = text.c_str();
    size_t left = static_cast<size_t>(text.Length());
    while (left > 0)
    {
        int used = 1;
        if (!IsUndrawn(sys::ReadUtf8(p, left, used)))
            return false;
        p += used;
        left -= static_cast<size_t>(used);
    }
    return true;
}

namespace
{
// How a range of capitals folds: each by `delta`, or (kPairs) the first of each pair of
// neighbours, the capital's place given by `first`.
struct FoldRange
{
    uint32_t first;
    uint32_t last;
    int32_t delta;
    bool pairs;
};

constexpr FoldRange kFoldRanges[] = {
    {0x41, 0x5A, 32, false},    {0xB5, 0xB5, 0x307, false},  {0xC0, 0xD6, 32, false},
    {0xD8, 0xDE, 32, false},    {0x100, 0x12F, 1, true},     {0x132, 0x137, 1, true},
    {0x139, 0x148, 1, true},    {0x14A, 0x177, 1, true},     {0x178, 0x178, -121, false},
    {0x179, 0x17E, 1, true},    {0x17F, 0x17F, -268, false}, {0x370, 0x373, 1, true},
    {0x376, 0x376, 1, false},   {0x37F, 0x37F, 116, false},  {0x386, 0x386, 38, false},
    {0x388, 0x38A, 37, false},  {0x38C, 0x38C, 64, false},   {0x38E, 0x38F, 63, false},
    {0x391, 0x3A1, 32, false},  {0x3A3, 0x3AB, 32, false},   {0x3C2, 0x3C2, 1, false},
    {0x3CF, 0x3CF, 8, false},   {0x3D0, 0x3D0, -30, false},  {0x3D1, 0x3D1, -25, false},
    {0x3D5, 0x3D5, -15, false}, {0x3D6, 0x3D6, -22, false},  {0x3D8, 0x3EF, 1, true},
    {0x3F0, 0x3F0, -54, false}, {0x3F1, 0x3F1, -48, false},  {0x3F4, 0x3F4, -60, false},
    {0x3F5, 0x3F5, -64, false}, {0x3F7, 0x3F7, 1, false},    {0x3F9, 0x3F9, -7, false},
    {0x3FA, 0x3FA, 1, false},   {0x3FD, 0x3FF, -130, false}, {0x400, 0x40F, 80, false},
    {0x410, 0x42F, 32, false},  {0x460, 0x481, 1, true},     {0x48A, 0x4BF, 1, true},
    {0x4C0, 0x4C0, 15, false},  {0x4C1, 0x4CE, 1, true},     {0x4D0, 0x52F, 1, true},
};

uint32_t FoldCodePoint(uint32_t c)
{
    for (const FoldRange& range : kFoldRanges)
    {
        if (c < range.first || c > range.last)
            continue;
        if (range.pairs && (c - range.first) % 2 != 0)
            return c;
        return static_cast<uint32_t>(static_cast<int32_t>(c) + range.delta);
    }
    return c;
}
} // namespace

TString FoldCase(const TString& text)
{
    std::string folded;
    const char* p = text.c_str();
    size_t left = static_cast<size_t>(text.Length());
    while (left > 0)
    {
        int used = 1;
        const uint32_t c = sys::ReadUtf8(p, left, used);
        char bytes[4];
        const int written = c == sys::kBrokenUtf8 ? 0 : EncodeUtf8(FoldCodePoint(c), bytes);
        if (written > 0)
            folded.append(bytes, static_cast<size_t>(written));
        else
            folded.append(p, static_cast<size_t>(used));
        p += used;
        left -= static_cast<size_t>(used);
    }
    return TString(folded.c_str());
}
