// TAsset: the base of every loaded resource (textures, animations, models, sounds, compiled
// scripts), owned through shared references and told when the display device is lost and restored.
#pragma once

#include <memory>

// A process-unique class identity; compared by IsKindOf so type tests need no run-time type data.
using TAssetClassId = const void*;

class TAsset : public std::enable_shared_from_this<TAsset>
{
public:
    TAsset() = default;
    TAsset(const TAsset&) = delete;
    TAsset& operator=(const TAsset&) = delete;

    virtual const char* GetClassName() const { return "TAsset"; }
    // True for this class's id and its bases' ids; a subclass answers its own and asks its base.
    virtual bool IsKindOf(TAssetClassId id) const { return id == GetClassId(); }
    virtual ~TAsset() = default;
    // Drop what lives in the display device before it is reset.
    virtual void OnDeviceLost() {}
    // Rebuild it after the device came back.
    virtual void OnDeviceRestore() {}

    static TAssetClassId GetClassId()
    {
        static const char id = 0;
        return &id;
    }
};
