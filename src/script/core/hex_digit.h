// The value of one hexadecimal digit, shared by the lexer, the wide number reader and lualex.
#pragma once

// 0..15 for 0-9, a-f and A-F; -1 for anything else. Fixed ASCII, whatever the C locale says.
inline int HexDigitValue(int c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}
