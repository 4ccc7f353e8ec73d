// The signals the program ignores once the quit watch starts, so that a write to a reader that went
// away, or past the file-size limit, fails with an error its writer handles instead of ending the
// game; the programs it starts get them back at their defaults.
#pragma once

#include <csignal>

namespace sys
{
inline constexpr int kIgnoredWriteSignals[] = {SIGPIPE, SIGXFSZ};
} // namespace sys
