// Lexer of the script language: turns chunk text (bytes, or UTF-16LE units) into tokens with
// their values, and formats the syntax-error messages shared by the parser and code generator.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace script
{

// Token codes. Single-character tokens use the character's own code; the reserved words come
// first in alphabetical order, and messages print each code through TokenName.
enum TokenCode : int
{
    kTokAnd = 257,
    kTokBreak,
    kTokContinue,
    kTokDo,
    kTokElse,
    kTokElseif,
    kTokEnd,
    kTokFalse,
    kTokFor,
    kTokFunction,
    kTokIf,
    kTokIn,
    kTokLocal,
    kTokNil,
    kTokNot,
    kTokOr,
    kTokRepeat,
    kTokReturn,
    kTokThen,
    kTokTrue,
    kTokUntil,
    kTokWhile, // 278
    kTokName,
    kTokConcat,
    kTokDots,
    kTokEq,
    kTokGe,
    kTokLe,
    kTokNe,
    kTokNumber,
    kTokString,
    kTokWideString,
    kTokShl,
    kTokShr,
    kTokEos // 291
};

constexpr int kFirstReserved = 257;
constexpr int kReservedWordCount = 22;

// The reserved words in token order (index 0 is "and"); the state marks these strings as fixed.
const char* ReservedWord(int index);
// The printed form of a token code: the character itself for single-character tokens.
std::string TokenName(int code);
// Chunk identifier as shown in messages ("[string \"...\"]", "file.lua" from "@file.lua", or the
// text after "=" as is), at most bufferSize - 1 characters.
std::string ChunkId(std::string_view source, size_t bufferSize);

// Raised by the lexer, parser and code generator; the message is complete ("chunk:line: ...").
struct SyntaxError
{
    std::string message;
};

struct Token
{
    int code = kTokEos;
    double number = 0;
    std::string text;    // name, or contents of a narrow string
    std::u16string wide; // contents of a wide string
    std::string raw;     // the token as read (numerals and strings), for messages
};

// The next block of a chunk's text once the lexer has used up the one before (which it reads no
// more); nullptr or an empty block at the end. A block stays valid until the next call.
using SourceRefill = std::function<const char*(size_t* size)>;

class Lexer
{
public:
    // wideSource: the text is UTF-16LE (its byte-order mark already skipped). The text is
    // buffer[0..size) followed by what refill gives, when there is one.
    Lexer(const char* buffer, size_t size, bool wideSource, std::string_view chunkName,
          SourceRefill refill = {});

    // Moves to the next token (the look-ahead one when it was read).
    void Next();
    // Reads the token after the current one without consuming it; returns its code.
    int LookAhead();

    const Token& Current() const { return mCurrent; }
    const Token& Ahead() const { return mAhead; }
    int Line() const { return mLine; }
    int LastLine() const { return mLastLine; }
    const std::string& Source() const { return mSource; }

    // "chunk:line: msg near `token'" for the current token.
    [[noreturn]] void SyntaxErrorHere(const std::string& message) const;
    // "chunk:line: msg near `text'".
    [[noreturn]] void ErrorNear(const std::string& message, const std::string& tokenText) const;
    // "too many <what> (limit=<limit>)" when value exceeds limit.
    void CheckLimit(long long value, long long limit, const char* what) const;

private:
    int Lex(Token& token);
    void Advance();
    int NextByte();
    bool Refill();
    void NewLine();
    void ReadNumeral(Token& token, bool leadingPoint);
    void ReadHexNumeral(Token& token);
    void ReadString(Token& token, int delimiter, bool wide);
    void ReadLongString(Token* token);
    void ReadName(Token& token, std::string prefix);

    const unsigned char* mData;
    size_t mSize;
    size_t mPos = 0;
    SourceRefill mRefill;
    bool mWide;
    int mChar = -1;
    int mLine = 1;
    int mLastLine = 1;
    Token mCurrent;
    Token mAhead;
    std::string mSource;
};

} // namespace script
