// Strict UTF-8 reading: the well-formed byte sequences of the Unicode standard, and no others.
#include "sys/utf8.h"

namespace sys
{

uint32_t ReadUtf8(const char* text, size_t available, int& used)
{
    const auto* bytes = reinterpret_cast<const unsigned char*>(text);
    const unsigned lead = bytes[0];
    used = 1;
    if (lead < 0x80)
        return lead;
    // Continuation bytes wanted, the lead's value bits, and the range of the first continuation
    // byte: narrower after E0 and F0 (overlong forms), ED (surrogates) and F4 (past U+10FFFF).
    int more = 0;
    uint32_t code = 0;
    unsigned low = 0x80;
    unsigned high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF)
    {
        more = 1;
        code = lead & 0x1F;
    }
    else if (lead >= 0xE0 && lead <= 0xEF)
    {
        more = 2;
        code = lead & 0x0F;
        low = lead == 0xE0 ? 0xA0 : 0x80;
        high = lead == 0xED ? 0x9F : 0xBF;
    }
    else if (lead >= 0xF0 && lead <= 0xF4)
    {
        more = 3;
        code = lead & 0x07;
        low = lead == 0xF0 ? 0x90 : 0x80;
        high = lead == 0xF4 ? 0x8F : 0xBF;
    }
    else
    {
        // A stray continuation byte, C0 or C1 (which only open overlong forms), or F5 and above.
        return kBrokenUtf8;
    }
    for (int i = 1; i <= more; ++i)
    {
        if (static_cast<size_t>(i) >= available)
            return kBrokenUtf8;
        const unsigned next = bytes[i];
        if (next < low || next > high)
            return kBrokenUtf8;
        code = code << 6 | (next & 0x3F);
        used = i + 1;
        low = 0x80;
        high = 0xBF;
    }
    return code;
}

} // namespace sys
