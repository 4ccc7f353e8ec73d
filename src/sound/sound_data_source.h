// The registry of sound data-source builders by file extension, and TMemDataSource, a sound
// decoded whole into one PCM block.
#pragma once

#include "platform/files/stream_spooler.h"
#include "platform/strings/tstring.h"

#include <memory>
#include <vector>

class TSoundDataSourceBuilder
{
public:
    virtual ~TSoundDataSourceBuilder() = default;
    // Empty on failure.
    virtual std::shared_ptr<TSoundDataSource> Build(const TString& name, bool streamed) = 0;
};

// registry[extension] = builder (not owned); a later registration of the extension replaces it.
void RegisterSoundDataSourceBuilder(const TString& extension, TSoundDataSourceBuilder* builder);
// Forgets every builder (tests).
void ClearSoundDataSourceBuilders();
// The builder of the name's extension when it is registered; else the first extension, in key
// order, for which name + "." + extension exists; else empty.
std::shared_ptr<TSoundDataSource> BuildSoundDataSource(const TString& name, bool streamed);

class TMemDataSource : public TSoundDataSource
{
public:
    // Decodes all of `source` with one read; `source` is not kept.
    explicit TMemDataSource(const std::shared_ptr<TSoundDataSource>& source);

    uint32_t Read(void* buffer, uint32_t position, uint32_t count) override;
    int64_t GetLength() override { return mLength; }
    int GetRate() override { return mRate; }
    int GetChannels() override { return mChannels; }
    double GetDuration() override { return mDuration; }

private:
    std::vector<uint8_t> mBlock;
    uint32_t mLength = 0;
    int mChannels = 0;
    int mRate = 0;
    double mDuration = 0.0;
};
