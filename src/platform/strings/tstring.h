// TString: the shared, copy-on-write UTF-8 string of the whole system, and the small UTF-8 helpers.
#pragma once

#include <atomic>
#include <cstdarg>
#include <cstdint>

// The shared record. The count is atomic so that a string handed to a worker thread (the HTTP
// client's) can be released there safely; a record is still written by one thread at a time.
struct TStringData
{
    char* mText;
    std::atomic<int32_t> mCount;
    uint32_t mCapacity;
    // The bytes before the first NUL, kept up to date by every writer: a text built piece by piece
    // is never measured again, so that building it stays linear.
    uint32_t mLength;
};

// Flag bits for the searching and replacing members.
enum : int
{
    kStringIgnoreCase = 1,
    kStringReplaceAll = 2,
    kStringBackwards = 4,
};

// The longest text a TString holds: lengths and positions are ints. Growth past it is refused: the
// text stays as it was, and the log says so.
constexpr uint32_t kTStringMaxLength = 0x7FFFFFFF;
// Tests: a lower limit in its place (0 restores kTStringMaxLength), so that every refusal can be
// met without gigabytes of text.
void SetTStringLengthLimit(uint32_t limit);

class TString
{
public:
    TString() = default;
    TString(const char* text);
    TString(const char* text, unsigned n);
    TString(const TString& other);
    TString(TString&& other) noexcept;
    ~TString();

    TString& operator=(const TString& other);
    TString& operator=(TString&& other) noexcept;
    TString& operator=(const char* text);

    void Reserve(unsigned n);

    int Length() const;
    const char* c_str() const;
    char CharAt(int i) const;
    int ToInt() const;
    float ToFloat() const;

    int Compare(const TString& other) const;
    bool operator==(const TString& other) const { return Compare(other) == 0; }
    bool operator!=(const TString& other) const { return Compare(other) != 0; }
    bool operator<(const TString& other) const { return Compare(other) < 0; }

    int FindChar(char c, int flags = 0, int start = 0) const;
    int Find(const TString& sub, int flags = 0, int start = 0) const;
    int FindFirstOf(const TString& set, int start = 0) const;

    TString Substr(int start, int count = -1) const;
    TString operator+(const TString& other) const;
    TString operator+(char c) const;

    static TString Format(const char* format, ...) __attribute__((format(printf, 1, 2)));
    static TString FormatV(const char* format, va_list args);
    static TString FromCodePoint(uint32_t cp);

    TString& operator+=(const TString& other);
    TString& operator+=(char c);
    void Append(const char* text, int n);
    int WriteAt(int pos, const void* src, int n, bool terminate);
    // The same for a writer that keeps the text's length itself (`length` must be Length()).
    int WriteAt(int pos, const void* src, int n, bool terminate, int length);
    void Erase(int pos, int count = -1);
    void Replace(const TString& from, const TString& to, int flags = 0, int start = 0);
    void MakeLower();
    void Printf(const char* format, ...) __attribute__((format(printf, 2, 3)));

    // The shared record, or null for the empty handle (for inspection; never write through it).
    const TStringData* GetData() const { return mData; }

private:
    // A record of `capacity` bytes, zero from `filled` on (the caller writes the bytes before it).
    static TStringData* NewRecord(unsigned capacity, unsigned filled = 0);
    void Release();
    void Unshare();
    // Room for a text of `length` bytes and its terminator, the capacity doubled until it holds
    // them: appending one piece after another then copies the text a bounded number of times in
    // all. False, with nothing changed, for a length past the limit.
    bool Grow(uint64_t length);

    TStringData* mData = nullptr;
};

// Three-way comparison through the locale library's collation when it is installed, else unsigned
// byte order.
int CompareStrings(const char* a, const char* b);

// Length of the UTF-8 sequence opened by the lead byte at p (0 for the terminating NUL).
int Utf8CharLength(const char* p);
// Writes the UTF-8 form of cp to out (room for 4 bytes); returns the byte count, 0 when refused.
int EncodeUtf8(uint32_t cp, char* out);
// The code point of the sequence at p; 0 for NUL and malformed sequences (overlong forms,
// surrogates, values past U+10FFFF, bytes that do not continue it, a sequence cut short).
uint32_t DecodeUtf8(const char* p);
// True when no byte of the text is 0 or a UTF-8 lead byte (192 and above), so that every character
// is one byte; the empty text passes. Text-edit input filters use it.
bool IsSingleByteText(const TString& text);
// True when the text shows nothing: it is empty or holds only characters no glyph draws (controls,
// white space of any width, zero-width and other default-ignorable characters such as the soft
// hyphen, fillers, the blank Braille pattern). A name such as a profile's must show more; one with
// such a character beside a drawn one is kept as it is.
bool IsBlankText(const TString& text);
// The text with each letter of two cases as its small one, by Unicode's simple case folding for
// ASCII, Latin-1, Latin Extended-A, Greek and Cyrillic (final sigma as sigma, long s as s), so
// "ÉVA" and "éva" compare equal; other characters and bytes that are no UTF-8 stay as they are.
TString FoldCase(const TString& text);
