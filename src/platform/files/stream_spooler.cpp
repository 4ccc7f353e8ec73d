// Filling sound buffers from a data source: end of data, looping, seeking by time.
#include "platform/files/stream_spooler.h"

#include <cmath>
#include <cstring>

bool TStreamSpooler::Fill(uint32_t count, void* buffer, uint32_t& written, bool loop)
{
    if (buffer != nullptr)
        std::memset(buffer, 0, count);
    written = 0;
    if (!mSource || count == 0 || buffer == nullptr)
        return true;
    auto* out = static_cast<uint8_t*>(buffer);
    bool ended = false;
    while (written < count)
    {
        if (ended && !loop)
            return false;
        bool fromStart = mPosition == 0;
        uint32_t chunk = count - written;
        int64_t length = mSource->GetLength();
        if (length >= 0 && length <= static_cast<int64_t>(UINT32_MAX) &&
            static_cast<int64_t>(mPosition) + chunk > length)
        {
            chunk = mPosition < length ? static_cast<uint32_t>(length - mPosition) : 0;
            ended = true;
        }
        uint32_t got = chunk > 0 ? mSource->Read(out + written, mPosition, chunk) : 0;
        if (got < chunk)
        {
            ended = true;
            chunk = got;
        }
        mPosition += chunk;
        written += chunk;
        if (ended && loop)
        {
            // A source that yields nothing even from its start would loop for ever: end in silence.
            if (fromStart && chunk == 0)
                return false;
            ended = false;
            mPosition = 0;
        }
    }
    return !ended;
}

void TStreamSpooler::SetPosition(float seconds)
{
    if (!mSource)
        return;
    double frames = std::trunc(static_cast<double>(seconds) * mSource->GetRate());
    double bytes = frames * mSource->GetChannels() * 2;
    if (!(bytes >= 0))
        bytes = 0;
    if (bytes > static_cast<double>(UINT32_MAX))
        bytes = static_cast<double>(UINT32_MAX);
    mPosition = static_cast<uint32_t>(bytes);
}

float TStreamSpooler::GetDuration()
{
    return mSource ? static_cast<float>(mSource->GetDuration()) : 0.0f;
}
