// A log channel of one stand-in module: lines formatted here go to a sink that the layer above
// installs (its own log), and to standard error, under the module's prefix, until it does.
#pragma once

#include <cstdarg>
#include <functional>
#include <mutex>
#include <string>

namespace sys
{
class StandInLog
{
public:
    explicit StandInLog(const char* prefix) : mPrefix(prefix) {}

    void WriteV(const char* format, va_list args);
    // Replaces where lines go; an empty function restores standard error.
    void SetSink(std::function<void(const std::string&)> sink);

private:
    const char* mPrefix;
    std::mutex mMutex;
    std::function<void(const std::string&)> mSink;
};
} // namespace sys
