// Number patterns read from data ("map/route%d"): filled through the formatter only when they
// are what they claim to be.
#pragma once

#include "platform/strings/tstring.h"

// Whether a pattern read from data names exactly one integer and nothing else ("map/route%d",
// "static%02d"; "%%" is a percent sign): content, saved data and the network never reach the
// formatter otherwise. Flags and a width of up to two digits are taken; a precision, a length
// modifier or any other conversion is not.
bool IsNumberPattern(const TString& pattern);
// The number pattern filled with `value`; false, `out` untouched, when it is no number pattern.
bool FormatNumberPattern(const TString& pattern, int value, TString& out);
