// TAssetMap: a client-owned named set of strongly held assets (textures, animated textures, models,
// compiled scripts, sounds through a registered loader), loaded by name with extension probing and
// shared with the asset cache; and the hook through which the program registers its sound loader.
#pragma once

#include "platform/files/asset.h"
#include "platform/strings/tstring.h"

#include <functional>
#include <map>
#include <memory>

class TTexture;

// Loads the sound of a found file name (options part included); empty when it does not load.
using TAssetMapSoundLoader = std::function<std::shared_ptr<TAsset>(const TString& name)>;

// The sound layer sits beside this one, so the program's entry hands its loader in at start-up;
// `soundClass` is the class a cached asset must be to be reused. An empty loader unregisters.
void SetAssetMapSoundLoader(TAssetClassId soundClass, TAssetMapSoundLoader loader);

class TAssetMap
{
public:
    TAssetMap() = default;
    virtual ~TAssetMap() = default;
    TAssetMap(const TAssetMap&) = delete;
    TAssetMap& operator=(const TAssetMap&) = delete;

    // A non-null asset is stored under the name (every "\" made "/"), replacing what it held; a
    // null one means: find the file by probing the standard extensions and load it.
    void AddAsset(const TString& name, const std::shared_ptr<TAsset>& asset, bool quiet = false);
    // Enters a name never added, with no asset.
    bool HasAsset(const TString& name);
    // Empty when absent or not a texture; loads a missing one when auto-load is on.
    std::shared_ptr<TTexture> GetTexture(const TString& name);

    void SetAutoLoad(bool autoLoad) { mAutoLoad = autoLoad; }
    bool GetAutoLoad() const { return mAutoLoad; }

private:
    void Load(const TString& name, bool quiet);

    // Keyed by the name as requested (options included, not lower-cased).
    std::map<TString, std::shared_ptr<TAsset>> mAssets;
    bool mAutoLoad = false;
};
