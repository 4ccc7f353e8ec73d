// The asset map: probing the standard extensions, the loader of each file type with its key in the
// asset cache, and the registered sound loader.
#include "render/textures/asset_map.h"

#include "platform/files/asset_manager.h"
#include "platform/files/file_layer.h"
#include "platform/log.h"
#include "render/sprites/animated_texture.h"
#include "render/renderer/model.h"
#include "render/textures/texture.h"
#include "script/script_code.h"

#include <cstdlib>

namespace
{
struct SoundLoaderSlot
{
    TAssetClassId mClass = nullptr;
    TAssetMapSoundLoader mLoad;
};

SoundLoaderSlot& SoundLoader()
{
    static SoundLoaderSlot slot;
    return slot;
}

// In probing order.
const char* const kStandardExtensions[] = {".xml", ".anm", ".jpg",  ".jp2", ".png",
                                           ".spx", ".ogg", ".mesh", ".lua"};

TString Normalised(const TString& name)
{
    TString out = name;
    out.Replace("\\", "/", kStringReplaceAll);
    return out;
}

// One row of the loader table: the class a cached asset must be, its key in the asset cache and
// the loader of the found file. The texture and animation keys are the loaders' own keys of the
// requested name with the options part once more.
struct LoaderRow
{
    TAssetClassId mClass = nullptr;
    TString mKey;
    std::function<std::shared_ptr<TAsset>(const TString&)> mLoad;
};

bool RowFor(const TString& extension, const TString& requested, const TString& options,
            LoaderRow& row)
{
    if (extension == "jpg" || extension == "png" || extension == "jp2")
    {
        row.mClass = TTexture::GetClassId();
        row.mKey = TTexture::FileKey(requested + options, 0, false);
        row.mLoad = [](const TString& found) { return TTexture::Get(found, 0); };
        return true;
    }
    if (extension == "xml" || extension == "anm")
    {
        row.mClass = TAnimatedTexture::GetClassId();
        row.mKey = requested + options + "::";
        row.mLoad = [](const TString& found) { return TAnimatedTexture::Get(found); };
        return true;
    }
    if (extension == "ogg" || extension == "spx")
    {
        const SoundLoaderSlot& sound = SoundLoader();
        const int groupAt = options.Find("group=");
        const int group = groupAt >= 0 ? std::atoi(options.c_str() + groupAt + 6) : 0;
        row.mClass = sound.mClass;
        row.mKey = TString::Format("%s;%d;%d", requested.c_str(), 0, group);
        row.mLoad = [](const TString& found)
        {
            const SoundLoaderSlot& slot = SoundLoader();
            return slot.mLoad ? slot.mLoad(found) : nullptr;
        };
        return true;
    }
    if (extension == "lua")
    {
        row.mClass = TScriptCode::GetClassId();
        row.mKey = requested;
        row.mLoad = [](const TString& found) { return TScriptCode::Get(found, TString()); };
        return true;
    }
    if (extension == "mesh")
    {
        row.mClass = TModel::GetClassId();
        row.mKey = requested;
        row.mLoad = [](const TString& found) { return TModel::Get(found); };
        return true;
    }
    return false;
}
} // namespace

void SetAssetMapSoundLoader(TAssetClassId soundClass, TAssetMapSoundLoader loader)
{
    SoundLoader().mClass = loader ? soundClass : nullptr;
    SoundLoader().mLoad = std::move(loader);
}

void TAssetMap::AddAsset(const TString& name, const std::shared_ptr<TAsset>& asset, bool quiet)
{
    if (asset)
        mAssets[Normalised(name)] = asset;
    else
        Load(name, quiet);
}

void TAssetMap::Load(const TString& name, bool quiet)
{
    const TString requested = Normalised(name);
    const int query = requested.FindChar('?');
    const TString path = query >= 0 ? requested.Substr(0, query) : requested;
    const TString options = query >= 0 ? requested.Substr(query) : TString();

    TString found;
    if (FileExists(path))
        found = path;
    else
        for (const char* extension : kStandardExtensions)
            if (FileExists(path + extension))
            {
                found = path + extension;
                break;
            }
    if (found.Length() == 0)
    {
        if (!quiet)
            Log("TAssetMap::AddAsset: Failed to find asset %s with any standard extension "
                "(jpg/jp2/png/anm/xml/ogg/mesh)",
                requested.c_str());
        return;
    }
    const int dot = found.FindChar('.', kStringBackwards);
    const TString extension = dot >= 0 ? found.Substr(dot + 1) : TString();
    found += options;

    LoaderRow row;
    std::shared_ptr<TAsset> loaded;
    if (RowFor(extension, requested, options, row))
    {
        TAssetManager* manager = GetAssetManager();
        if (manager && row.mClass)
        {
            std::shared_ptr<TAsset> cached = manager->GetAsset(row.mKey);
            if (cached && cached->IsKindOf(row.mClass))
                loaded = cached;
        }
        if (!loaded)
            loaded = row.mLoad(found);
        if (loaded)
        {
            if (manager)
                manager->AddAsset(row.mKey, loaded);
            mAssets[requested] = loaded;
            return;
        }
    }
    if (!quiet)
        Log("TAssetMap::AddAsset: Error loading %s", found.c_str());
}

bool TAssetMap::HasAsset(const TString& name)
{
    return mAssets[Normalised(name)] != nullptr;
}

std::shared_ptr<TTexture> TAssetMap::GetTexture(const TString& name)
{
    const TString key = Normalised(name);
    auto held = mAssets.find(key);
    if ((held == mAssets.end() || !held->second) && mAutoLoad)
    {
        AddAsset(key, nullptr, false);
        held = mAssets.find(key);
    }
    if (held != mAssets.end() && held->second)
    {
        if (!held->second->IsKindOf(TTexture::GetClassId()))
            return nullptr;
        return std::static_pointer_cast<TTexture>(held->second);
    }
    Log("Texture asset not found: %s (auto load set to %s)", key.c_str(),
        mAutoLoad ? "true" : "false");
    return nullptr;
}
