// Strict UTF-8 reading, shared by every reader of UTF-8 text (typed characters, paths, text
// drawing, the string helpers): a sequence that is overlong, a surrogate, past U+10FFFF, cut short
// or missing its continuation bytes is never decoded into a character it does not spell (C0 AF is
// no "/"); its reader drops it or shows U+FFFD.
#pragma once

#include <cstddef>
#include <cstdint>

namespace sys
{

constexpr uint32_t kReplacementCharacter = 0xFFFD;
// ReadUtf8's answer for a broken sequence.
constexpr uint32_t kBrokenUtf8 = 0xFFFFFFFF;

// The code point of the sequence at `text` (`available` bytes there, at least 1), or kBrokenUtf8;
// `used` is the bytes it took: a whole sequence, or for a broken one its lead and the continuation
// bytes that could still have belonged to it (at least 1), so that reading goes on at the first
// byte that may open a sequence.
uint32_t ReadUtf8(const char* text, size_t available, int& used);

} // namespace sys
