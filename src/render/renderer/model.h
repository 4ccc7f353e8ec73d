// TModel: the asset of a static 3-D mesh read from a ".mesh" file, shared by file name through the
// asset cache and drawn as an indexed triangle list of unlit vertices.
#pragma once

#include "platform/files/asset.h"
#include "platform/strings/tstring.h"

#include <cstdint>
#include <memory>
#include <vector>

// The renderer's unlit vertex kind: position, normal, texture coordinates.
struct TModelVertex
{
    float mX, mY, mZ;
    float mNx, mNy, mNz;
    float mU, mV;
};

struct TMeshData
{
    std::vector<TModelVertex> mVertices;
    std::vector<uint16_t> mIndices;
    TString mFileName;

    uint32_t GetVertexCount() const { return static_cast<uint32_t>(mVertices.size()); }
    uint32_t GetIndexCount() const { return static_cast<uint32_t>(mIndices.size()); }
};

class TModel : public TAsset
{
public:
    // The live model of that name, else the file loaded now and entered in the asset cache under
    // the name; empty when it does not load.
    static std::shared_ptr<TModel> Get(const TString& name);

    // Loads the file, replacing what the model held. Silent for a name without ".mesh" and for a
    // file that does not start with "TRIS"; logged when the file cannot be opened or is damaged.
    bool Init(const TString& name);
    // Inside the renderer's 3-D block, with transforms, material and texture already set.
    void Draw();

    // Null before the first load and after a failed one (a wrong magic leaves an empty mesh).
    const TMeshData* GetMesh() const { return mMesh.get(); }

    const char* GetClassName() const override { return "TModel"; }
    bool IsKindOf(TAssetClassId id) const override
    {
        return id == GetClassId() || TAsset::IsKindOf(id);
    }
    static TAssetClassId GetClassId()
    {
        static const char id = 0;
        return &id;
    }
    // The mesh lives in system memory: nothing to drop.
    void OnDeviceLost() override {}
    void OnDeviceRestore() override;

private:
    std::unique_ptr<TMeshData> mMesh;
};
