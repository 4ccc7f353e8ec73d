// The mark-up reader: UTF-8 decoding bounded by the text's end, tag text in one pass, the tag
// table's prefix order, attribute values and colours.
#include "render/text/text_markup.h"

#include "sys/utf8.h"

#include <cstring>

namespace markup
{

uint32_t ReadChar(const char* text, int length, int& i)
{
    int used = 1;
    const uint32_t code = sys::ReadUtf8(text + i, static_cast<size_t>(length - i), used);
    i += used;
    return code == sys::kBrokenUtf8 ? sys::kReplacementCharacter : code;
}

TString Escape(const TString& text)
{
    std::string out;
    out.reserve(static_cast<size_t>(text.Length()));
    for (const char* c = text.c_str(); *c != 0; ++c)
    {
        if (*c == '\\' || *c == '<')
            out += '\\';
        out += *c;
    }
    return TString(out.c_str());
}

namespace
{

bool IsBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

bool IsQuote(char c)
{
    return c == '"' || c == '\'';
}

struct TNameEntry
{
    const char* mText;
    TTagName mName;
};

// Matched as prefixes in this order; the first match wins.
constexpr TNameEntry kNames[] = {
    {"br", TTagName::Break},
    {"/p", TTagName::Paragraph},
    {"a", TTagName::Link},
    {"/a", TTagName::LinkEnd},
    {"b", TTagName::Bold},
    {"/b", TTagName::BoldEnd},
    {"i", TTagName::Italic},
    {"/i", TTagName::ItalicEnd},
    {"u", TTagName::Underline},
    {"/u", TTagName::UnderlineEnd},
    {"cursor", TTagName::Cursor},
    {"center", TTagName::Center},
    {"/center", TTagName::CenterEnd},
    {"left", TTagName::Left},
    {"/left", TTagName::LeftEnd},
    {"right", TTagName::Right},
    {"/right", TTagName::RightEnd},
    {"font", TTagName::Font},
    {"/font", TTagName::FontEnd},
    {"outline", TTagName::Outline},
    {"/outline", TTagName::OutlineEnd},
    {"tab", TTagName::Tab},
};

int HexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

} // namespace

bool TTag::Read(const char* text, int length, int i, int& end)
{
    const void* close = std::memchr(text + i + 1, '>', static_cast<size_t>(length - i - 1));
    if (close == nullptr)
        return false;
    int closeAt = static_cast<int>(static_cast<const char*>(close) - text);
    end = closeAt + 1;
    mLength = 0;
    bool quoted = false;
    bool keepCase = false;
    // One pass: a blank outside quotes ends the stretch that keeps its case, then is dropped.
    for (int k = i + 1; k < closeAt && mLength < kTagLimit; ++k)
    {
        char c = text[k];
        if (IsQuote(c))
            quoted = !quoted;
        else if (!quoted && IsBlank(c))
        {
            keepCase = false;
            continue;
        }
        else if (c == '=')
            keepCase = true;
        else if (!keepCase && c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
        mKept[mLength++] = c;
    }
    mKept[mLength] = 0;
    return true;
}

TTagName TTag::GetName() const
{
    for (const TNameEntry& entry : kNames)
        if (std::strncmp(mKept, entry.mText, std::strlen(entry.mText)) == 0)
            return entry.mName;
    return TTagName::None;
}

bool TTag::GetAttribute(const char* name, TString& value) const
{
    const char* at = std::strstr(mKept, name);
    if (at == nullptr)
        return false;
    const char* open = at + std::strlen(name);
    while (*open != 0 && !IsQuote(*open))
        ++open;
    if (*open == 0)
        return false;
    const char* close = open + 1;
    while (*close != 0 && !IsQuote(*close))
        ++close;
    if (*close == 0)
        return false;
    value = TString(open + 1, static_cast<unsigned>(close - open - 1));
    return true;
}

bool TTag::GetNumber(const char* name, int& value) const
{
    TString text;
    if (!GetAttribute(name, text))
        return false;
    value = ParseNumber(text.c_str());
    return true;
}

int ParseNumber(const char* text)
{
    while (IsBlank(*text))
        ++text;
    bool negative = *text == '-';
    if (*text == '-' || *text == '+')
        ++text;
    long long value = 0;
    for (; *text >= '0' && *text <= '9'; ++text)
        if (value <= kNumberLimit)
            value = value * 10 + (*text - '0');
    if (value > kNumberLimit)
        value = kNumberLimit;
    return static_cast<int>(negative ? -value : value);
}

TVec4 ParseColour(const TString& value, bool allowAlpha)
{
    const char* text = value.c_str();
    if (*text == '#')
        ++text;
    // Like a C hexadecimal conversion: digits up to the first other character; only the low 32
    // bits of a longer value count.
    uint32_t bits = 0;
    for (const char* p = text; HexDigit(*p) >= 0; ++p)
        bits = bits << 4 | static_cast<uint32_t>(HexDigit(*p));
    auto channel = [](uint32_t v) { return static_cast<float>(v & 0xFF) / 255.0f; };
    if (allowAlpha && std::strlen(text) == 8)
        return TVec4(channel(bits >> 24), channel(bits >> 16), channel(bits >> 8), channel(bits));
    return TVec4(channel(bits >> 16), channel(bits >> 8), channel(bits), 1.0f);
}

} // namespace markup
