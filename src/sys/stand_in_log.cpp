// Stand-in log channels: formatting and the replaceable sink.
#include "sys/stand_in_log.h"

#include <cstdio>

namespace sys
{
void StandInLog::WriteV(const char* format, va_list args)
{
    char line[1024];
    std::vsnprintf(line, sizeof(line), format, args);
    std::lock_guard<std::mutex> lock(mMutex);
    if (mSink)
        mSink(line);
    else
        std::fprintf(stderr, "%s: %s\n", mPrefix, line);
}

void StandInLog::SetSink(std::function<void(const std::string&)> sink)
{
    std::lock_guard<std::mutex> lock(mMutex);
    mSink = std::move(sink);
}
} // namespace sys
