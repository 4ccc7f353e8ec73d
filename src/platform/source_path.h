// Source file names in log lines, as __FILE__ gives them, relative to the source tree: the build
// machine's folders are nobody's business in a player's log.
#pragma once

#include <cstring>

// The part of `file` from its last "src/" folder on ("src/sound/sound_manager.cpp"); the name as
// given when it has none.
inline const char* SourceRelativePath(const char* file)
{
    if (file == nullptr)
        return "";
    const char* found = nullptr;
    for (const char* at = std::strstr(file, "/src/"); at != nullptr;
         at = std::strstr(at + 1, "/src/"))
        found = at;
    return found != nullptr ? found + 1 : file;
}
