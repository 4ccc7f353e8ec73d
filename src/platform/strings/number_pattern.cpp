// The check that keeps a number pattern read from data away from the formatter unless it is one.
#include "platform/strings/number_pattern.h"

bool IsNumberPattern(const TString& pattern)
{
    int conversions = 0;
    const char* c = pattern.c_str();
    while (*c != '\0')
    {
        if (*c++ != '%')
            continue;
        if (*c == '%')
        {
            ++c;
            continue;
        }
        while (*c == '-' || *c == '+' || *c == ' ' || *c == '0' || *c == '#')
            ++c;
        // A width of two digits at most: a wider one would only make the formatter allocate.
        for (int digits = 0; *c >= '0' && *c <= '9'; ++digits, ++c)
            if (digits == 2)
                return false;
        if (*c != 'd' && *c != 'i' && *c != 'u' && *c != 'x' && *c != 'X')
            return false;
        ++c;
        ++conversions;
    }
    return conversions == 1;
}

bool FormatNumberPattern(const TString& pattern, int value, TString& out)
{
    if (!IsNumberPattern(pattern))
        return false;
    out = TString::Format(pattern.c_str(), value);
    return true;
}
