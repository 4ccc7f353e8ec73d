// Log lines of the sound stand-in: formatting, the replaceable sink, and result names.
#include "sys/audio/audio_log.h"
#include "sys/audio/result.h"

#include <cstdarg>
#include <cstdio>
#include <mutex>

namespace sys::audio
{
namespace
{
std::mutex gSinkMutex;
std::function<void(const std::string&)> gSink;
} // namespace

void AudioLog(const char* format, ...)
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
        std::fprintf(stderr, "audio: %s\n", line);
}

void SetAudioLogSink(std::function<void(const std::string&)> sink)
{
    std::lock_guard<std::mutex> lock(gSinkMutex);
    gSink = std::move(sink);
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
