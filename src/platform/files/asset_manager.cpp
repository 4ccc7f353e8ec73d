// The asset cache: weak references by name, device loss and restore for every live asset.
#include "platform/files/asset_manager.h"

#include <utility>
#include <vector>

namespace
{
TAssetManager* gAssetManager = nullptr;
} // namespace

TAssetManager* GetAssetManager()
{
    return gAssetManager;
}

void SetAssetManager(TAssetManager* manager)
{
    gAssetManager = manager;
}

TAssetManager::~TAssetManager()
{
    if (gAssetManager == this)
        gAssetManager = nullptr;
}

std::shared_ptr<TAsset> TAssetManager::GetAsset(const TString& name)
{
    return mAssets[name].lock();
}

void TAssetManager::AddAsset(const TString& name, const std::shared_ptr<TAsset>& asset)
{
    mAssets[name] = asset;
}

void TAssetManager::RemoveAsset(const TString& name)
{
    mAssets.erase(name);
}

void TAssetManager::ReleaseAll()
{
    // The handlers may add or remove names (a dying texture removes its own), so walk a snapshot.
    std::vector<std::pair<TString, std::weak_ptr<TAsset>>> entries(mAssets.begin(), mAssets.end());
    for (const auto& entry : entries)
    {
        if (std::shared_ptr<TAsset> asset = entry.second.lock())
        {
            asset->OnDeviceLost();
            continue;
        }
        auto it = mAssets.find(entry.first);
        if (it != mAssets.end() && it->second.expired())
            mAssets.erase(it);
    }
}

void TAssetManager::RestoreAll()
{
    std::vector<std::weak_ptr<TAsset>> entries;
    entries.reserve(mAssets.size());
    for (const auto& entry : mAssets)
        entries.push_back(entry.second);
    for (const auto& weak : entries)
    {
        if (std::shared_ptr<TAsset> asset = weak.lock())
            asset->OnDeviceRestore();
    }
}
