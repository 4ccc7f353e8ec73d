// The builder registry, the choice of builder for a sound name, and whole-sound PCM blocks.
#include "sound/sound_data_source.h"
#include "sound/sound_manager.h"

#include "platform/files/file_layer.h"

#include <algorithm>
#include <cstring>
#include <map>

namespace
{
std::map<TString, TSoundDataSourceBuilder*>& Registry()
{
    static std::map<TString, TSoundDataSourceBuilder*> registry;
    return registry;
}
} // namespace

void RegisterSoundDataSourceBuilder(const TString& extension, TSoundDataSourceBuilder* builder)
{
    Registry()[extension] = builder;
}

void ClearSoundDataSourceBuilders()
{
    Registry().clear();
}

std::shared_ptr<TSoundDataSource> BuildSoundDataSource(const TString& name, bool streamed)
{
    auto& registry = Registry();
    if (const char* dot = std::strrchr(name.c_str(), '.'))
    {
        auto it = registry.find(TString(dot + 1));
        if (it != registry.end())
            return it->second->Build(name, streamed);
    }
    for (const auto& [extension, builder] : registry)
    {
        if (FileExists(name + "." + extension))
            return builder->Build(name, streamed);
    }
    return nullptr;
}

TMemDataSource::TMemDataSource(const std::shared_ptr<TSoundDataSource>& source)
    : mChannels(source->GetChannels()), mRate(source->GetRate()), mDuration(source->GetDuration())
{
    const uint32_t length = static_cast<uint32_t>(source->GetLength());
    mBlock.assign(length, 0);
    // What a damaged file decodes to may be less than its header promised: keep what came.
    mLength = length > 0 ? source->Read(mBlock.data(), 0, length) : 0;
    mBlock.resize(mLength);
}

uint32_t TMemDataSource::Read(void* buffer, uint32_t position, uint32_t count)
{
    TSoundLock lock;
    if (position >= mLength)
        return 0;
    const uint32_t n = std::min(count, mLength - position);
    std::memcpy(buffer, mBlock.data() + position, n);
    return n;
}
