// Log lines of the sound stand-in: formatting, the replaceable sink, and result names.
#include "sys/audio/audio_log.h"
#include "sys/audio/result.h"

#include "sys/stand_in_log.h"

#include <cstdarg>

namespace sys::audio
{
namespace
{
StandInLog& Channel()
{
    static StandInLog channel("audio");
    return channel;
}
} // namespace

void AudioLog(const char* format, ...)
{
    va_list args;
    va_start(args, format);
    Channel().WriteV(format, args);
    va_end(args);
}

void SetAudioLogSink(std::function<void(const std::string&)> sink)
{
    Channel().SetSink(std::move(sink));
}

const char* ResultName(Result r)
{
    switch (r)
    {
    case Result::Ok:
        return "OK";
    case Result::NotImplemented:
        return "UNSUPPORTED";
    case Result::NoInterface:
        return "NOINTERFACE";
    case Result::Fail:
        return "GENERIC";
    case Result::OutOfMemory:
        return "OUTOFMEMORY";
    case Result::InvalidParam:
        return "INVALIDPARAM";
    case Result::Allocated:
        return "ALLOCATED";
    case Result::ControlUnavail:
        return "CONTROLUNAVAIL";
    case Result::InvalidCall:
        return "INVALIDCALL";
    case Result::PrioLevelNeeded:
        return "PRIOLEVELNEEDED";
    case Result::NoDriver:
        return "NODRIVER";
    case Result::BufferLost:
        return "BUFFERLOST";
    }
    return "UNKNOWN";
}

} // namespace sys::audio
