// Log lines of the display stand-in: formatting and the replaceable sink.
#include "sys/display/display_log.h"

#include <cstdarg>
#include <cstdio>
#include <mutex>

namespace sys::display
{
namespace
{
std::mutex gSinkMutex;
std::function<void(const std::string&)> gSink;
} // namespace

void DisplayLog(const char* format, ...)
{
    char line[1024];
    va_list args;
    va_start(args, format);
    std::vsnprintf(line, sizeof(line), format, args);
    va_end(args);
    std::lock_guard<std::mutex> lock(gSinkMutex);
    if (gSink)
        gSink(line);
    else
        std::fprintf(stderr, "display: %s\n", line);
}

void SetDisplayLogSink(std::function<void(const std::string&)> sink)
{
    std::lock_guard<std::mutex> lock(gSinkMutex);
    gSink = std::move(sink);
}

} // namespace sys::display
