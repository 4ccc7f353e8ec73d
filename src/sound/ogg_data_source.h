// TOggDataSource: Ogg Vorbis decoded on demand, from the open file or from a copy of the whole
// file in memory, and its builder, registered for "ogg" and "ogv" (a film's sound).
#pragma once

#include "platform/files/stream_spooler.h"
#include "platform/strings/tstring.h"
#include "sound/sound_data_source.h"

#include <memory>

struct OggVorbis_File;

class TOggDataSource : public TSoundDataSource
{
public:
    TOggDataSource();
    ~TOggDataSource() override;
    TOggDataSource(const TOggDataSource&) = delete;
    TOggDataSource& operator=(const TOggDataSource&) = delete;

    uint32_t Read(void* buffer, uint32_t position, uint32_t count) override;
    int64_t GetLength() override { return mLength; }
    int GetRate() override { return mRate; }
    int GetChannels() override { return mChannels; }
    double GetDuration() override { return mDuration; }
    // The name as given, else with ".ogg" added; false (logged when the file is not Ogg Vorbis).
    virtual bool Open(const TString& name, bool streamed);

private:
    int mRate = 0;
    int mChannels = 0;
    double mDuration = 0.0;
    int64_t mLength = 0;
    std::unique_ptr<OggVorbis_File> mFile; // null until opened
    uint32_t mPosition = 0;
};

class TOggDataSourceBuilder : public TSoundDataSourceBuilder
{
public:
    // Streamed: the Ogg source over the file. In memory: decoded whole when shorter than 2 s or
    // when "keepogguncompressed" is set, else the Ogg source over a copy of the file.
    std::shared_ptr<TSoundDataSource> Build(const TString& name, bool streamed) override;
};

// Registers the one Ogg builder for "ogg" and "ogv".
void RegisterOggBuilder();
