// Lexer: token codes, numerals (decimal and 0x), escapes, wide literals, UTF-16LE sources and the
// lexer's own error messages.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "script/compiler/lexer.h"

using namespace script;

namespace
{

std::vector<Token> Lex(const std::string& text, bool wide = false)
{
    Lexer lexer(text.data(), text.size(), wide, "=t");
    std::vector<Token> tokens;
    do
    {
        lexer.Next();
        tokens.push_back(lexer.Current());
    } while (lexer.Current().code != kTokEos);
    return tokens;
}

std::vector<int> Codes(const std::string& text, bool wide = false)
{
    std::vector<int> codes;
    for (const Token& t : Lex(text, wide))
        codes.push_back(t.code);
    return codes;
}

std::string LexError(const std::string& text, bool wide = false)
{
    try
    {
        Lex(text, wide);
    }
    catch (const SyntaxError& e)
    {
        return e.message;
    }
    return "(no error)";
}

// UTF-16LE bytes of the given units.
std::string Utf16(const std::u16string& units)
{
    std::string bytes;
    for (char16_t u : units)
    {
        bytes.push_back(static_cast<char>(u & 0xFF));
        bytes.push_back(static_cast<char>(u >> 8));
    }
    return bytes;
}

} // namespace

TEST(LexerTest, TokenCodesFollowTheReservedWordOrder)
{
    EXPECT_EQ(kTokAnd, 257);
    EXPECT_EQ(kTokBreak, 258);
    EXPECT_EQ(kTokContinue, 259);
    EXPECT_EQ(kTokWhile, 278);
    EXPECT_EQ(kTokName, 279);
    EXPECT_EQ(kTokConcat, 280);
    EXPECT_EQ(kTokDots, 281);
    EXPECT_EQ(kTokNe, 285);
    EXPECT_EQ(kTokNumber, 286);
    EXPECT_EQ(kTokString, 287);
    EXPECT_EQ(kTokWideString, 288);
    EXPECT_EQ(kTokShl, 289);
    EXPECT_EQ(kTokShr, 290);
    EXPECT_EQ(kTokEos, 291);
    EXPECT_STREQ(ReservedWord(2), "continue");
    EXPECT_EQ(ReservedWord(22), nullptr);
    EXPECT_EQ(TokenName(kTokWideString), "*wstring");
    EXPECT_EQ(TokenName(kTokEos), "<eof>");
    EXPECT_EQ(TokenName('+'), "+");
}

TEST(LexerTest, ReservedWordsAndNames)
{
    EXPECT_EQ(Codes("continue break while Continue _x1"),
              (std::vector<int>{kTokContinue, kTokBreak, kTokWhile, kTokName, kTokName, kTokEos}));
    std::vector<Token> t = Lex("Lx L 'ab'");
    EXPECT_EQ(t[0].text, "Lx");
    EXPECT_EQ(t[1].code, kTokName);
    EXPECT_EQ(t[1].text, "L");
    EXPECT_EQ(t[2].code, kTokString); // L followed by a single quote is a name and a string
}

TEST(LexerTest, ShiftAndComparisonOperators)
{
    EXPECT_EQ(Codes("a<<2"), (std::vector<int>{kTokName, kTokShl, kTokNumber, kTokEos}));
    EXPECT_EQ(Codes("a>>2"), (std::vector<int>{kTokName, kTokShr, kTokNumber, kTokEos}));
    EXPECT_EQ(Codes("a<=2"), (std::vector<int>{kTokName, kTokLe, kTokNumber, kTokEos}));
    EXPECT_EQ(Codes("a>=2"), (std::vector<int>{kTokName, kTokGe, kTokNumber, kTokEos}));
    EXPECT_EQ(Codes("< > ~= == ~ = & | ..."),
              (std::vector<int>{'<', '>', kTokNe, kTokEq, '~', '=', '&', '|', kTokDots, kTokEos}));
}

TEST(LexerTest, HexadecimalNumerals)
{
    EXPECT_EQ(Lex("0xFF")[0].number, 255);
    EXPECT_EQ(Lex("0xff")[0].number, 255);
    EXPECT_EQ(Lex("0xFFFFFFFF")[0].number, 4294967295.0);
    std::vector<Token> t = Lex("0x123456789");
    EXPECT_EQ(t[0].number, 305419896);
    EXPECT_EQ(t[1].code, kTokNumber);
    EXPECT_EQ(t[1].number, 9);
    t = Lex("0X10");
    ASSERT_EQ(t.size(), 3u);
    EXPECT_EQ(t[0].number, 0);
    EXPECT_EQ(t[1].code, kTokName);
    EXPECT_EQ(t[1].text, "X10");
}

TEST(LexerTest, BareHexPrefixIsMalformed)
{
    EXPECT_EQ(LexError("x = 0x"), "t:1: malformed number near `0x'");
    EXPECT_EQ(LexError("x = 0xg"), "t:1: malformed number near `0x'");
}

TEST(LexerTest, DecimalNumerals)
{
    EXPECT_EQ(Lex("3")[0].number, 3);
    EXPECT_EQ(Lex("012")[0].number, 12);
    EXPECT_EQ(Lex("3.25")[0].number, 3.25);
    EXPECT_EQ(Lex(".5")[0].number, 0.5);
    EXPECT_EQ(Lex("1e3")[0].number, 1000);
    EXPECT_EQ(Lex("2E-1")[0].number, 0.2);
    EXPECT_EQ(Lex("1.5")[0].raw, "1.5");
    EXPECT_EQ(LexError("x = 1e"), "t:1: malformed number near `1e'");
    EXPECT_EQ(LexError("x = 1..2"),
              "t:1: ambiguous syntax (decimal point x string concatenation) near `1..'");
}

TEST(LexerTest, NarrowStringEscapes)
{
    EXPECT_EQ(Lex("'\\x41\\x4'")[0].text, std::string("A\x04", 2));
    EXPECT_EQ(Lex("'\\x414'")[0].text, "A4"); // at most two digits
    EXPECT_EQ(Lex("'\\xZ'")[0].text, "xZ");
    EXPECT_EQ(Lex("\"a\\tb\\n\\\\\\\"\"")[0].text, "a\tb\n\\\"");
    EXPECT_EQ(Lex("'\\65\\066x'")[0].text, "ABx");
    EXPECT_EQ(Lex("'\\0'")[0].text, std::string(1, '\0'));
    EXPECT_EQ(Lex("'a\\\nb'")[0].text, "a\nb");
    EXPECT_EQ(LexError("s = '\\300'"), "t:1: escape sequence too large near `''");
}

TEST(LexerTest, UnfinishedStrings)
{
    EXPECT_EQ(LexError("s = 'abc\nx'"), "t:1: unfinished string near `'abc'");
    EXPECT_EQ(LexError("s = 'abc"), "t:1: unfinished string near `<eof>'");
    EXPECT_EQ(LexError("s = [[abc"), "t:1: unfinished long string near `<eof>'");
    EXPECT_EQ(LexError("--[[abc\n"), "t:2: unfinished long comment near `<eof>'");
}

TEST(LexerTest, WideLiterals)
{
    std::vector<Token> t = Lex("L\"ab\"");
    ASSERT_EQ(t[0].code, kTokWideString);
    EXPECT_EQ(t[0].wide, u"ab");
    EXPECT_EQ(Lex("L\"\\x263A\"")[0].wide, std::u16string(1, char16_t(9786)));
    EXPECT_EQ(Lex("L\"\\x41\"")[0].wide, u"A");
    EXPECT_EQ(Lex("L\"\\x263A1\"")[0].wide, std::u16string(u"\u263A1")); // at most four digits
    EXPECT_EQ(Lex("L\"\\xq\"")[0].wide, u"xq");
    EXPECT_EQ(Lex("L\"\\255\"")[0].wide, std::u16string(1, char16_t(255)));
    // A narrow source byte above 127 becomes one unit of that value.
    EXPECT_EQ(Lex("L\"\xe9\"")[0].wide, std::u16string(1, char16_t(0xE9)));
    EXPECT_EQ(LexError("s = L\"\\256\""), "t:1: escape sequence too large near `*wstring'");
    EXPECT_EQ(LexError("s = L\"ab"), "t:1: unfinished string near `<eof>'");
}

TEST(LexerTest, CommentsAndLongStrings)
{
    EXPECT_EQ(Codes("-- line\nx --[[ long\n comment ]] y"),
              (std::vector<int>{kTokName, kTokName, kTokEos}));
    std::vector<Token> t = Lex("[[\nab[[c]]d]]");
    EXPECT_EQ(t[0].code, kTokString);
    EXPECT_EQ(t[0].text, "ab[[c]]d");
    EXPECT_EQ(Codes("#!/bin/script\nx"), (std::vector<int>{kTokName, kTokEos}));
}

TEST(LexerTest, LineCounting)
{
    Lexer lexer("a\nb\r\n\nc", 7, false, "=t");
    lexer.Next();
    EXPECT_EQ(lexer.Line(), 1);
    lexer.Next();
    EXPECT_EQ(lexer.Line(), 2);
    lexer.Next();
    EXPECT_EQ(lexer.Line(), 4);
    EXPECT_EQ(lexer.LastLine(), 2);
}

TEST(LexerTest, HighBytesAreSingleCharacterTokens)
{
    EXPECT_EQ(Codes("\x80 \xfe"), (std::vector<int>{0x80, 0xFE, kTokEos}));
    // Never letters: a name stops before them.
    EXPECT_EQ(Lex("ab\xe9")[0].text, "ab");
}

TEST(LexerTest, InvalidCharacters)
{
    EXPECT_EQ(LexError("x = \xff"), "t:1: invalid wide char near `char(255)'");
    EXPECT_EQ(LexError("x = \x01"), "t:1: invalid control char near `char(1)'");
    EXPECT_EQ(LexError("x = \x7f"), "t:1: invalid control char near `char(127)'");
    EXPECT_EQ(LexError(Utf16(u"x = \u263A"), true), "t:1: invalid wide char near `char(9786)'");
}

TEST(LexerTest, Utf16SourceReadsUnits)
{
    std::vector<Token> t = Lex(Utf16(u"return 1 -- \u263A\nL\"\u263A\" '\u0141'"), true);
    ASSERT_EQ(t.size(), 5u);
    EXPECT_EQ(t[0].code, kTokReturn);
    EXPECT_EQ(t[1].number, 1);
    EXPECT_EQ(t[2].code, kTokWideString);
    EXPECT_EQ(t[2].wide, std::u16string(1, char16_t(0x263A)));
    // A narrow literal keeps the low byte of each unit.
    EXPECT_EQ(t[3].text, "\x41");
    // An odd trailing byte ends the input.
    std::string odd = Utf16(u"x") + "y";
    EXPECT_EQ(Codes(odd, true), (std::vector<int>{kTokName, kTokEos}));
}

TEST(LexerTest, ChunkIdentifiers)
{
    EXPECT_EQ(ChunkId("=stdin", 80), "stdin");
    EXPECT_EQ(ChunkId("@script.lua", 80), "script.lua");
    EXPECT_EQ(ChunkId("x = 1", 80), "[string \"x = 1\"]");
    EXPECT_EQ(ChunkId("x = 1\ny = 2", 80), "[string \"x = 1...\"]");
    std::string longText(100, 'a');
    EXPECT_EQ(ChunkId(longText, 80), "[string \"" + std::string(63, 'a') + "...\"]");
    EXPECT_EQ(ChunkId("@" + std::string(100, 'b'), 80), "..." + std::string(72, 'b'));
}

TEST(LexerTest, ErrorsNameTheSourceLine)
{
    std::string text = "x = 1\ny = \x02";
    Lexer lexer(text.data(), text.size(), false, "x = 1\ny = 2");
    lexer.Next();
    lexer.Next();
    lexer.Next();
    try
    {
        lexer.Next();
        lexer.Next();
        lexer.Next();
        FAIL();
    }
    catch (const SyntaxError& e)
    {
        EXPECT_EQ(e.message, "[string \"x = 1...\"]:2: invalid control char near `char(2)'");
    }
}
