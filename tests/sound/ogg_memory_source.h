// Bytes in memory handed to libvorbisfile through its callbacks, so that the tests and the
// benchmarks decode an encoded file without the engine's file layer in between.
#pragma once

#include <vorbis/vorbisfile.h>

#include <algorithm>
#include <cstring>
#include <string>

namespace soundtest
{
struct OggMemory
{
    const std::string* bytes;
    size_t at;
};

// Callbacks reading an OggMemory (the data source handed to ov_open_callbacks).
inline ov_callbacks OggMemoryCallbacks()
{
    return {[](void* p, size_t size, size_t count, void* s) -> size_t
            {
                auto* m = static_cast<OggMemory*>(s);
                const size_t n = std::min(size * count, m->bytes->size() - m->at);
                std::memcpy(p, m->bytes->data() + m->at, n);
                m->at += n;
                return size ? n / size : 0;
            },
            [](void* s, ogg_int64_t offset, int whence) -> int
            {
                auto* m = static_cast<OggMemory*>(s);
                const ogg_int64_t base = whence == 0   ? 0
                                         : whence == 1 ? static_cast<ogg_int64_t>(m->at)
                                                       : static_cast<ogg_int64_t>(m->bytes->size());
                m->at = static_cast<size_t>(std::clamp<ogg_int64_t>(
                    base + offset, 0, static_cast<ogg_int64_t>(m->bytes->size())));
                return 0;
            },
            nullptr,
            [](void* s) -> long { return static_cast<long>(static_cast<OggMemory*>(s)->at); }};
}
} // namespace soundtest
