// Log lines of the sound stand-in. They go to stderr until the layer above installs a sink that
// routes them into its own log.
#pragma once

#include <functional>
#include <string>

namespace sys::audio
{

void AudioLog(const char* format, ...) __attribute__((format(printf, 1, 2)));
// Replaces where lines go; an empty function restores stderr.
void SetAudioLogSink(std::function<void(const std::string&)> sink);

} // namespace sys::audio
