// Lexer of the script language: character reading (bytes or UTF-16LE units), the fixed ASCII
// character classes, numerals (decimal and 0x hexadecimal), narrow, wide and long strings.
#include "script/compiler/lexer.h"

#include "script/core/hex_digit.h"

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace script
{

namespace
{

constexpr int kEndOfInput = -1;
// Longest chunk identifier in syntax-error messages.
constexpr size_t kMaxSourceId = 80;
// The lexer stops counting lines here rather than let the counter wrap.
constexpr long long kMaxLines = INT_MAX - 2;

const char* const kTokenNames[] = {"and",     "break",    "continue", "do",   "else",
                                   "elseif",  "end",      "false",    "for",  "function",
                                   "if",      "in",       "local",    "nil",  "not",
                                   "or",      "repeat",   "return",   "then", "true",
                                   "until",   "while",    "*name",    "..",   "...",
                                   "==",      ">=",       "<=",       "~=",   "*number",
                                   "*string", "*wstring", "<<",       ">>",   "<eof>"};

static_assert(sizeof(kTokenNames) / sizeof(kTokenNames[0]) == kTokEos - kFirstReserved + 1);

bool IsSpace(int c)
{
    return c == ' ' || (c >= 9 && c <= 13);
}
bool IsDigit(int c)
{
    return c >= '0' && c <= '9';
}
bool IsLetter(int c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_';
}
bool IsLetterOrDigit(int c)
{
    return IsLetter(c) || IsDigit(c);
}

int ReservedIndex(const std::string& name)
{
    // Binary search over the alphabetical reserved words.
    int lo = 0;
    int hi = kReservedWordCount - 1;
    while (lo <= hi)
    {
        int mid = (lo + hi) / 2;
        int cmp = std::strcmp(name.c_str(), kTokenNames[mid]);
        if (cmp == 0)
            return mid;
        if (cmp < 0)
            hi = mid - 1;
        else
            lo = mid + 1;
    }
    return -1;
}

} // namespace

const char* ReservedWord(int index)
{
    if (index < 0 || index >= kReservedWordCount)
        return nullptr;
    return kTokenNames[index];
}

std::string TokenName(int code)
{
    if (code >= kFirstReserved && code <= kTokEos)
        return kTokenNames[code - kFirstReserved];
    return std::string(1, static_cast<char>(code));
}

std::string ChunkId(std::string_view source, size_t bufferSize)
{
    if (bufferSize == 0)
        return std::string();
    if (!source.empty() && source[0] == '=')
    {
        std::string_view text = source.substr(1);
        return std::string(text.substr(0, bufferSize - 1));
    }
    if (!source.empty() && source[0] == '@')
    {
        // A file name: keep its end, which is the informative part.
        std::string_view name = source.substr(1);
        size_t room = bufferSize - sizeof(" `...' ");
        std::string out;
        if (name.size() > room)
        {
            name = name.substr(name.size() - room);
            out = "...";
        }
        out += name;
        return out;
    }
    // Source text: its first line, cut to fit.
    size_t room = bufferSize - sizeof(" [string \"...\"] ");
    size_t len = source.find('\n');
    if (len == std::string_view::npos)
        len = source.size();
    // Text after an embedded zero byte is not part of the C string the name stands for.
    size_t zero = source.find('\0');
    if (zero != std::string_view::npos && zero < len)
        len = zero;
    bool cut = len < source.size() && source[len] != '\0';
    if (len > room)
    {
        len = room;
        cut = true;
    }
    std::string out = "[string \"";
    out += source.substr(0, len);
    if (cut)
        out += "...";
    out += "\"]";
    return out;
}

Lexer::Lexer(const char* buffer, size_t size, bool wideSource, std::string_view chunkName,
             SourceRefill refill)
    : mData(reinterpret_cast<const unsigned char*>(buffer)), mSize(buffer ? size : 0),
      mRefill(std::move(refill)), mWide(wideSource), mSource(chunkName)
{
    mAhead.code = kTokEos;
    Advance();
    if (mChar == '#')
    {
        // A first line such as "#!/usr/bin/env ..." is not script text.
        do
        {
            Advance();
        } while (mChar != '\n' && mChar != kEndOfInput);
    }
}

bool Lexer::Refill()
{
    while (mRefill)
    {
        size_t size = 0;
        const char* block = mRefill(&size);
        if (block == nullptr || size == 0)
        {
            mRefill = nullptr; // the end: the reader is not asked again
            break;
        }
        mData = reinterpret_cast<const unsigned char*>(block);
        mSize = size;
        mPos = 0;
        return true;
    }
    return false;
}

int Lexer::NextByte()
{
    if (mPos >= mSize && !Refill())
    {
        return kEndOfInput;
    }
    return mData[mPos++];
}

void Lexer::Advance()
{
    if (mWide)
    {
        // A unit may straddle two blocks; a lone last byte is no unit.
        int low = NextByte();
        int high = low == kEndOfInput ? kEndOfInput : NextByte();
        mChar = high == kEndOfInput ? kEndOfInput : (low | (high << 8));
        return;
    }
    mChar = mPos < mSize ? mData[mPos++] : NextByte();
}

void Lexer::NewLine()
{
    Advance(); // skip the line feed
    ++mLine;
    CheckLimit(mLine, kMaxLines, "lines in a chunk");
}

void Lexer::Next()
{
    mLastLine = mLine;
    if (mAhead.code != kTokEos)
    {
        mCurrent = std::move(mAhead);
        mAhead = Token();
        mAhead.code = kTokEos;
        return;
    }
    mCurrent.text.clear();
    mCurrent.wide.clear();
    mCurrent.raw.clear();
    mCurrent.number = 0;
    mCurrent.code = Lex(mCurrent);
}

int Lexer::LookAhead()
{
    mAhead = Token();
    mAhead.code = Lex(mAhead);
    return mAhead.code;
}

void Lexer::ErrorNear(const std::string& message, const std::string& tokenText) const
{
    std::string text = message + " near `" + tokenText + "'";
    throw SyntaxError{ChunkId(mSource, kMaxSourceId) + ":" + std::to_string(mLine) + ": " + text};
}

void Lexer::SyntaxErrorHere(const std::string& message) const
{
    const Token& t = mCurrent;
    switch (t.code)
    {
    case kTokName:
        ErrorNear(message, t.text);
    case kTokNumber:
    case kTokString:
        // The text as read, cut at a zero byte like the message formatter does.
        ErrorNear(message, t.raw.substr(0, t.raw.find('\0')));
    default:
        ErrorNear(message, TokenName(t.code));
    }
}

void Lexer::CheckLimit(long long value, long long limit, const char* what) const
{
    if (value > limit)
    {
        SyntaxErrorHere(std::string("too many ") + what + " (limit=" + std::to_string(limit) + ")");
    }
}

int Lexer::Lex(Token& token)
{
    for (;;)
    {
        switch (mChar)
        {
        case '\n':
            NewLine();
            continue;
        case '-':
            Advance();
            if (mChar != '-')
                return '-';
            Advance();
            if (mChar == '[')
            {
                Advance();
                if (mChar == '[')
                {
                    ReadLongString(nullptr);
                    continue;
                }
            }
            while (mChar != '\n' && mChar != kEndOfInput)
                Advance();
            continue;
        case '[':
            Advance();
            if (mChar != '[')
                return '[';
            ReadLongString(&token);
            return kTokString;
        case '=':
            Advance();
            if (mChar != '=')
                return '=';
            Advance();
            return kTokEq;
        case '<':
            Advance();
            if (mChar == '<')
            {
                Advance();
                return kTokShl;
            }
            if (mChar == '=')
            {
                Advance();
                return kTokLe;
            }
            return '<';
        case '>':
            Advance();
            if (mChar == '>')
            {
                Advance();
                return kTokShr;
            }
            if (mChar == '=')
            {
                Advance();
                return kTokGe;
            }
            return '>';
        case '~':
            Advance();
            if (mChar != '=')
                return '~';
            Advance();
            return kTokNe;
        case '"':
        case '\'':
            ReadString(token, mChar, false);
            return kTokString;
        case '.':
            Advance();
            if (mChar == '.')
            {
                Advance();
                if (mChar == '.')
                {
                    Advance();
                    return kTokDots;
                }
                return kTokConcat;
            }
            if (!IsDigit(mChar))
                return '.';
            ReadNumeral(token, true);
            return kTokNumber;
        case kEndOfInput:
            return kTokEos;
        default:
            break;
        }
        if (IsSpace(mChar))
        {
            Advance();
            continue;
        }
        if (IsDigit(mChar))
        {
            if (mChar == '0')
            {
                Advance();
                if (mChar == 'x')
                {
                    ReadHexNumeral(token);
                    return kTokNumber;
                }
                token.raw = "0";
            }
            ReadNumeral(token, false);
            return kTokNumber;
        }
        if (IsLetter(mChar))
        {
            if (mChar == 'L')
            {
                Advance();
                if (mChar == '"')
                {
                    ReadString(token, '"', true);
                    return kTokWideString;
                }
                ReadName(token, "L");
            }
            else
            {
                ReadName(token, std::string());
            }
            int reserved = ReservedIndex(token.text);
            if (reserved >= 0)
                return kFirstReserved + reserved;
            return kTokName;
        }
        int c = mChar;
        if (c >= 255)
            ErrorNear("invalid wide char", "char(" + std::to_string(c) + ")");
        if (c < 32 || c == 127)
            ErrorNear("invalid control char", "char(" + std::to_string(c) + ")");
        Advance();
        return c;
    }
}

void Lexer::ReadName(Token& token, std::string prefix)
{
    token.text = std::move(prefix);
    while (IsLetterOrDigit(mChar))
    {
        token.text.push_back(static_cast<char>(mChar));
        Advance();
    }
}

void Lexer::ReadNumeral(Token& token, bool leadingPoint)
{
    std::string& raw = token.raw;
    if (leadingPoint)
        raw.push_back('.');
    while (IsDigit(mChar))
    {
        raw.push_back(static_cast<char>(mChar));
        Advance();
    }
    bool fractional = leadingPoint;
    if (mChar == '.')
    {
        fractional = true;
        raw.push_back('.');
        Advance();
        if (mChar == '.')
        {
            raw.push_back('.');
            Advance();
            ErrorNear("ambiguous syntax (decimal point x string concatenation)", raw);
        }
    }
    while (IsDigit(mChar))
    {
        raw.push_back(static_cast<char>(mChar));
        Advance();
    }
    if (mChar == 'e' || mChar == 'E')
    {
        fractional = true;
        raw.push_back(static_cast<char>(mChar));
        Advance();
        if (mChar == '+' || mChar == '-')
        {
            raw.push_back(static_cast<char>(mChar));
            Advance();
        }
        while (IsDigit(mChar))
        {
            raw.push_back(static_cast<char>(mChar));
            Advance();
        }
    }
    char* end = nullptr;
    double value = std::strtod(raw.c_str(), &end);
    if (end == raw.c_str() || *end != '\0')
        ErrorNear(fractional ? "malformed number" : "malformed integer", raw);
    token.number = value;
}

void Lexer::ReadHexNumeral(Token& token)
{
    // The "0" is consumed and the current character is the "x".
    token.raw = "0x";
    Advance();
    uint32_t value = 0;
    int digits = 0;
    while (digits < 8 && HexDigitValue(mChar) >= 0)
    {
        value = (value << 4) | static_cast<uint32_t>(HexDigitValue(mChar));
        token.raw.push_back(static_cast<char>(mChar));
        Advance();
        ++digits;
    }
    if (digits == 0)
        ErrorNear("malformed number", token.raw);
    token.number = static_cast<double>(value);
}

void Lexer::ReadString(Token& token, int delimiter, bool wide)
{
    std::string& raw = token.raw;
    auto store = [&](unsigned unit)
    {
        if (wide)
            token.wide.push_back(static_cast<char16_t>(unit));
        else
            token.text.push_back(static_cast<char>(unit & 0xFF));
        raw.push_back(static_cast<char>(unit & 0xFF));
    };
    int endToken = wide ? kTokWideString : kTokString;
    auto unfinished = [&]()
    {
        if (mChar == kEndOfInput)
            ErrorNear("unfinished string", TokenName(kTokEos));
        if (endToken == kTokWideString)
            ErrorNear("unfinished string", TokenName(kTokWideString));
        ErrorNear("unfinished string", raw);
    };
    raw.push_back(static_cast<char>(delimiter));
    Advance();
    while (mChar != delimiter)
    {
        switch (mChar)
        {
        case kEndOfInput:
        case '\n':
            unfinished();
            break;
        case '\\':
        {
            Advance();
            switch (mChar)
            {
            case 'a':
                store('\a');
                Advance();
                break;
            case 'b':
                store('\b');
                Advance();
                break;
            case 'f':
                store('\f');
                Advance();
                break;
            case 'n':
                store('\n');
                Advance();
                break;
            case 'r':
                store('\r');
                Advance();
                break;
            case 't':
                store('\t');
                Advance();
                break;
            case 'v':
                store('\v');
                Advance();
                break;
            case '\n':
                store('\n');
                NewLine();
                break;
            case kEndOfInput:
                break; // reported as unfinished by the loop
            case 'x':
            {
                Advance();
                if (HexDigitValue(mChar) < 0)
                {
                    // Not an escape after all: the "x" stands for itself.
                    store('x');
                    break;
                }
                unsigned value = 0;
                int maxDigits = wide ? 4 : 2;
                for (int i = 0; i < maxDigits && HexDigitValue(mChar) >= 0; ++i)
                {
                    value = value * 16 + static_cast<unsigned>(HexDigitValue(mChar));
                    Advance();
                }
                store(value);
                break;
            }
            default:
                if (!IsDigit(mChar))
                {
                    store(static_cast<unsigned>(mChar));
                    Advance();
                    break;
                }
                {
                    unsigned value = 0;
                    int i = 0;
                    do
                    {
                        value = value * 10 + static_cast<unsigned>(mChar - '0');
                        Advance();
                    } while (++i < 3 && IsDigit(mChar));
                    if (value > 255)
                    {
                        if (wide)
                            ErrorNear("escape sequence too large", TokenName(kTokWideString));
                        ErrorNear("escape sequence too large", raw);
                    }
                    store(value);
                }
                break;
            }
            break;
        }
        default:
            store(static_cast<unsigned>(mChar));
            Advance();
            break;
        }
    }
    raw.push_back(static_cast<char>(delimiter));
    Advance();
}

void Lexer::ReadLongString(Token* token)
{
    // The first "[" is consumed and the current character is the second one. Comments reuse
    // this reader with no token; they keep nothing but the line count.
    std::string raw = "[[";
    Advance();
    if (mChar == '\n')
        NewLine();
    int depth = 0;
    for (;;)
    {
        switch (mChar)
        {
        case kEndOfInput:
            ErrorNear(token ? "unfinished long string" : "unfinished long comment",
                      TokenName(kTokEos));
        case '[':
            Advance();
            raw.push_back('[');
            if (mChar == '[')
            {
                ++depth;
                raw.push_back('[');
                Advance();
            }
            continue;
        case ']':
            Advance();
            raw.push_back(']');
            if (mChar == ']')
            {
                if (depth == 0)
                {
                    Advance();
                    raw.push_back(']');
                    if (token)
                    {
                        token->text = raw.substr(2, raw.size() - 4);
                        token->raw = std::move(raw);
                    }
                    return;
                }
                --depth;
                raw.push_back(']');
                Advance();
            }
            continue;
        case '\n':
            raw.push_back('\n');
            NewLine();
            if (!token)
                raw.resize(2); // a comment's text is never needed
            continue;
        default:
            raw.push_back(static_cast<char>(mChar & 0xFF));
            Advance();
            continue;
        }
    }
}

} // namespace script
