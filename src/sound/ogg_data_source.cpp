// Ogg Vorbis sources: the decoder's callbacks over a file-layer file or a memory copy, opening,
// reading at any byte position, and the builder's choice of decoding whole or on demand.
#include "sound/ogg_data_source.h"
#include "sound/sound_manager.h"

#include "platform/config/config.h"
#include "platform/files/file.h"
#include "platform/log.h"

#include <vorbis/vorbisfile.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

namespace
{
constexpr double kDecodeWholeBelowSeconds = 2.0;
// Two seconds of eight channels at the device's highest rate. A header that claims a short sound
// of more PCM than this (an absurd rate) is decoded as it plays instead of allocated whole; so is
// a kept sound claiming more than a gigabyte.
constexpr int64_t kMaxShortBytes = int64_t(200000) * 8 * 2 * 2;
constexpr int64_t kMaxKeptBytes = int64_t(1) << 30;

// The whole compressed file, the decoder's data source in memory mode.
struct OggMemoryStream
{
    std::vector<uint8_t> mData;
    uint32_t mSize = 0;
    uint32_t mPosition = 0;
};

size_t MemoryRead(void* ptr, size_t size, size_t count, void* source)
{
    auto* stream = static_cast<OggMemoryStream*>(source);
    const size_t left = stream->mSize - stream->mPosition;
    const size_t n = std::min(size * count, left);
    // An empty file has no bytes to copy from (the vector's data may be null).
    if (n == 0)
        return 0;
    std::memcpy(ptr, stream->mData.data() + stream->mPosition, n);
    stream->mPosition += static_cast<uint32_t>(n);
    return n;
}

int MemorySeek(void* source, ogg_int64_t offset, int whence)
{
    auto* stream = static_cast<OggMemoryStream*>(source);
    ogg_int64_t base = 0;
    switch (whence)
    {
    case 0:
        base = 0;
        break;
    case 1:
        base = stream->mPosition;
        break;
    case 2:
        base = stream->mSize;
        break;
    default:
        return -1;
    }
    stream->mPosition =
        static_cast<uint32_t>(std::clamp<ogg_int64_t>(base + offset, 0, stream->mSize));
    return 0;
}

long MemoryTell(void* source)
{
    return static_cast<OggMemoryStream*>(source)->mPosition;
}

int MemoryClose(void* source)
{
    delete static_cast<OggMemoryStream*>(source);
    return 0;
}

size_t FileReadCallback(void* ptr, size_t size, size_t count, void* source)
{
    auto* file = static_cast<TFile*>(source);
    if (size == 0)
        return 0;
    const int got = FileRead(file, ptr, static_cast<int>(size * count));
    if (got <= 0)
        return 0;
    const size_t partial = static_cast<size_t>(got) % size;
    if (partial > 0)
        FileSeek(file, -static_cast<int>(partial), kSeekCurrent);
    return static_cast<size_t>(got) / size;
}

int FileSeekCallback(void* source, ogg_int64_t offset, int whence)
{
    // The decoder's origins (set, current, end) in the file layer's order (current, start, end).
    static const int kOrigins[3] = {kSeekStart, kSeekCurrent, kSeekEnd};
    if (whence < 0 || whence > 2)
        return -1;
    FileSeek(static_cast<TFile*>(source), static_cast<int>(offset), kOrigins[whence]);
    return 0;
}

long FileTellCallback(void* source)
{
    return FileTell(static_cast<TFile*>(source));
}

int FileCloseCallback(void* source)
{
    DestroyFile(static_cast<TFile*>(source));
    return 0;
}

TOggDataSourceBuilder gOggBuilder;
} // namespace

TOggDataSource::TOggDataSource() = default;

TOggDataSource::~TOggDataSource()
{
    if (mFile)
        ov_clear(mFile.get());
}

bool TOggDataSource::Open(const TString& name, bool streamed)
{
    auto decoder = std::make_unique<OggVorbis_File>();
    std::memset(decoder.get(), 0, sizeof(OggVorbis_File));
    TFile* file = OpenFile(name.c_str(), kFileReadBinary);
    if (file == nullptr)
        file = OpenFile((name + ".ogg").c_str(), kFileReadBinary);
    if (file == nullptr)
        return false;

    void* source = file;
    ov_callbacks callbacks = {&FileReadCallback, &FileSeekCallback, &FileCloseCallback,
                              &FileTellCallback};
    OggMemoryStream* memory = nullptr;
    if (!streamed)
    {
        memory = new OggMemoryStream;
        FileSeek(file, 0, kSeekEnd);
        const int size = std::max(FileTell(file), 0);
        FileSeek(file, 0, kSeekStart);
        memory->mData.resize(static_cast<size_t>(size));
        // The copy holds what was actually read, whatever the size said.
        const int got = size > 0 ? FileRead(file, memory->mData.data(), size) : 0;
        memory->mSize = static_cast<uint32_t>(std::max(got, 0));
        DestroyFile(file);
        file = nullptr;
        source = memory;
        callbacks = {&MemoryRead, &MemorySeek, &MemoryClose, &MemoryTell};
    }

    if (ov_open_callbacks(source, decoder.get(), nullptr, 0, callbacks) != 0)
    {
        Log("OGG file could not be opened");
        // A failed open leaves the data source to us.
        if (memory)
            MemoryClose(memory);
        else
            DestroyFile(file);
        return false;
    }
    vorbis_info* info = ov_info(decoder.get(), -1);
    const double duration = ov_time_total(decoder.get(), -1);
    const ogg_int64_t frames = ov_pcm_total(decoder.get(), -1);
    // A last position near the format's limit claims more bytes than a length can count: the
    // product below would overflow.
    if (info == nullptr || info->channels <= 0 || info->rate <= 0 || duration < 0 || frames < 0 ||
        frames > INT64_MAX / (2 * info->channels))
    {
        // No negative duration or length may reach the conversions that follow.
        Log("OGG file could not be opened");
        ov_clear(decoder.get()); // closes the data source through its callback
        return false;
    }
    mRate = static_cast<int>(info->rate);
    mChannels = info->channels;
    mDuration = duration;
    mLength = frames * mChannels * 2;
    ov_pcm_seek(decoder.get(), 0);
    mPosition = 0;
    mFile = std::move(decoder);
    return true;
}

uint32_t TOggDataSource::Read(void* buffer, uint32_t position, uint32_t count)
{
    TSoundLock lock;
    if (!mFile)
        return 0;
    if (position != mPosition)
    {
        mPosition = position;
        ov_pcm_seek(mFile.get(), position / (2 * mChannels));
    }
    auto* out = static_cast<char*>(buffer);
    uint32_t done = 0;
    int stream = 0;
    while (done < count)
    {
        const long got =
            ov_read(mFile.get(), out + done, static_cast<int>(count - done), 0, 2, 1, &stream);
        if (got == OV_HOLE)
            continue; // a gap in the data: the decoder goes on after it
        if (got <= 0)
            break; // the end, or an error that ends the sound here
        done += static_cast<uint32_t>(got);
    }
    mPosition += done;
    return done;
}

std::shared_ptr<TSoundDataSource> TOggDataSourceBuilder::Build(const TString& name, bool streamed)
{
    auto ogg = std::make_shared<TOggDataSource>();
    if (!ogg->Open(name, streamed))
        return nullptr;
    if (streamed)
        return ogg;
    const bool shortSound =
        ogg->GetDuration() < kDecodeWholeBelowSeconds && ogg->GetLength() <= kMaxShortBytes;
    const bool kept = IsEnabled("keepogguncompressed") && ogg->GetLength() <= kMaxKeptBytes;
    if (shortSound || kept)
        return std::make_shared<TMemDataSource>(ogg);
    return ogg;
}

void RegisterOggBuilder()
{
    RegisterSoundDataSourceBuilder("ogg", &gOggBuilder);
    // A film's sound: vorbisfile plays the first Vorbis stream of a multiplexed file.
    RegisterSoundDataSourceBuilder("ogv", &gOggBuilder);
}
