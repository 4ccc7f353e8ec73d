// Fuzz target: Ogg sources over arbitrary bytes, opened from memory and as a streamed file, read
// whole and at scattered positions.
#include "platform/files/file_layer.h"
#include "sound/ogg_data_source.h"

#include <cstddef>
#include <cstdint>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    RegisterMemoryFileName("fuzz.ogg", data, static_cast<uint32_t>(size));
    std::vector<uint8_t> buffer(65536);
    for (bool streamed : {true, false})
    {
        TOggDataSource source;
        if (!source.Open("fuzz.ogg", streamed))
            continue;
        uint32_t position = 0;
        // Bounded: a source may claim more than it holds.
        for (int i = 0; i < 64; ++i)
        {
            const uint32_t got = source.Read(buffer.data(), position, 65536);
            if (got == 0)
                break;
            position += got;
        }
        source.Read(buffer.data(), position / 3 & ~3u, 4096);
        source.Read(buffer.data(), 0, 4096);
    }
    RegisterMemoryFileName("fuzz.ogg", nullptr, 0);
    return 0;
}
