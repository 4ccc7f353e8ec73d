// TAssetManager: finds live assets again by name (weak references only, so it keeps nothing alive)
// and passes device loss and restore on to every live asset.
#pragma once

#include "platform/files/asset.h"
#include "platform/strings/tstring.h"

#include <map>
#include <memory>

class TAssetManager
{
public:
    TAssetManager() = default;
    virtual ~TAssetManager();
    TAssetManager(const TAssetManager&) = delete;
    TAssetManager& operator=(const TAssetManager&) = delete;

    // The live asset of that name, else empty. An unknown name is entered with an empty reference.
    std::shared_ptr<TAsset> GetAsset(const TString& name);
    // The name now finds this asset, whatever it found before.
    void AddAsset(const TString& name, const std::shared_ptr<TAsset>& asset);
    void RemoveAsset(const TString& name);
    // Every live asset gets OnDeviceLost, in name order; dead names are dropped.
    void ReleaseAll();
    // Every live asset gets OnDeviceRestore, in name order; dead names stay.
    void RestoreAll();
    // Names held, dead ones included.
    int GetAssetCount() const { return static_cast<int>(mAssets.size()); }

private:
    // Names are used as given (not lower-cased).
    std::map<TString, std::weak_ptr<TAsset>> mAssets;
};

// The application's asset manager, null while there is no application.
TAssetManager* GetAssetManager();
// The application registers its manager when it is built and clears it (null) at teardown.
void SetAssetManager(TAssetManager* manager);
