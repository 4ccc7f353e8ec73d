// Log lines of the display stand-in: formatting and the replaceable sink.
#include "sys/display/display_log.h"

#include "sys/stand_in_log.h"

#include <cstdarg>

namespace sys::display
{
namespace
{
StandInLog& Channel()
{
    static StandInLog channel("display");
    return channel;
}
} // namespace

void DisplayLog(const char* format, ...)
{
    va_list args;
    va_start(args, format);
    Channel().WriteV(format, args);
    va_end(args);
}

void SetDisplayLogSink(std::function<void(const std::string&)> sink)
{
    Channel().SetSink(std::move(sink));
}

} // namespace sys::display
