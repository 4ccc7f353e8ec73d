// TScriptCode: a script file compiled once into a precompiled chunk and shared through the asset
// cache while someone holds it.
#pragma once

#include "platform/files/asset.h"
#include "platform/strings/tstring.h"

#include <memory>

class TScriptCode : public TAsset
{
public:
    TScriptCode(const char* bytes, int size);

    const char* GetClassName() const override { return "TScriptCode"; }
    bool IsKindOf(TAssetClassId id) const override
    {
        return id == GetClassId() || TAsset::IsKindOf(id);
    }
    static TAssetClassId GetClassId()
    {
        static const char id = 0;
        return &id;
    }

    // The live asset of that file, else the file compiled now (and entered in the asset cache).
    // Empty when the name is empty or the file does not load; *error then gets the loader's
    // message.
    static std::shared_ptr<TScriptCode> Get(const TString& file, const TString& searchPath,
                                            TString* error = nullptr);
    static std::shared_ptr<TScriptCode> DynamicCast(const std::shared_ptr<TAsset>& asset);

    // A copy of the chunk bytes (they may hold zero bytes: use GetSize, not the text length).
    TString GetCode() const { return mCode; }
    int GetSize() const { return mSize; }

private:
    TString mCode;
    int mSize;
};
