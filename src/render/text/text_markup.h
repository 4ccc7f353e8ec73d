// The text layout's reading of marked-up text: UTF-8 characters with backslash escapes, tags cut
// to their kept text, tag names, attribute values, numbers and colours.
#pragma once

#include "platform/maths/geometry.h"
#include "platform/strings/tstring.h"

#include <cstdint>

namespace markup
{

// At most this many characters of a tag are kept.
constexpr int kTagLimit = 128;
// Numbers in tags are held to +-this, so that no size, pad or position overflows a pixel count.
constexpr int kNumberLimit = 100000;

// The character starting at text[i] (0 <= i < length): its code, and i moved past it. A broken
// sequence (overlong, a surrogate, cut by the end, a stray byte) is U+FFFD, and reading goes on at
// the first byte that may open a sequence.
uint32_t ReadChar(const char* text, int length, int& i);

// `text` with a backslash before every backslash and "<", so that the layout shows it as it is and
// reads no tag or escape in it: for text a player typed.
TString Escape(const TString& text);

enum class TTagName
{
    None, // any other tag: consumed and ignored
    Break,
    Paragraph,
    Link,
    LinkEnd,
    Bold,
    BoldEnd,
    Italic,
    ItalicEnd,
    Underline,
    UnderlineEnd,
    Cursor,
    Center,
    CenterEnd,
    Left,
    LeftEnd,
    Right,
    RightEnd,
    Font,
    FontEnd,
    Outline,
    OutlineEnd,
    Tab,
};

// A tag's kept text: blanks outside quotes dropped, lower case except from a "=" to the next
// blank, at most kTagLimit characters.
class TTag
{
public:
    // Reads the tag whose "<" is at text[i]. False when no ">" follows (the "<" is then text);
    // otherwise `end` is the index after the ">".
    bool Read(const char* text, int length, int i, int& end);
    TTagName GetName() const;
    // The text between the first quote after `name` and the next quote; false when the name or
    // either quote is missing.
    bool GetAttribute(const char* name, TString& value) const;
    // An attribute read as a decimal integer held to +-kNumberLimit.
    bool GetNumber(const char* name, int& value) const;
    const char* GetKept() const { return mKept; }

private:
    char mKept[kTagLimit + 1] = {};
    int mLength = 0;
};

// A decimal integer (optional sign, then digits up to the first other character), held to
// +-kNumberLimit; 0 without digits.
int ParseNumber(const char* text);
// Hexadecimal colour, an optional leading "#": with `allowAlpha` a value of exactly eight digits
// is RRGGBBAA, any other RRGGBB with alpha 255.
TVec4 ParseColour(const TString& value, bool allowAlpha);

} // namespace markup
