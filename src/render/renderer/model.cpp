// Models: the ".mesh" reader (little-endian counts, fixed-point vertices in thousandths, 16-bit
// triangle indices), the shared lookup through the asset cache, drawing and reload after restore.
#include "render/renderer/model.h"

#include "platform/files/asset_manager.h"
#include "platform/files/file.h"
#include "platform/log.h"
#include "render/renderer/renderer.h"
#include "render/renderer/vertex_set.h"

#include <cstring>

namespace
{
constexpr uint32_t kTriangleList = 4;
constexpr int kVertexFileBytes = 16;
constexpr int kTriangleFileBytes = 6;

struct FileCloser
{
    void operator()(TFile* file) const { DestroyFile(file); }
};

// Reads exactly `count` bytes; a short read means the file was cut.
bool ReadExactly(TFile* file, void* out, int count)
{
    return count == 0 || FileRead(file, out, count) == count;
}

uint16_t U16At(const uint8_t* p)
{
    return static_cast<uint16_t>(p[0] | p[1] << 8);
}

float FixedAt(const uint8_t* p)
{
    return static_cast<float>(static_cast<int16_t>(U16At(p))) / 1000.0f;
}
} // namespace

std::shared_ptr<TModel> TModel::Get(const TString& name)
{
    TAssetManager* manager = GetAssetManager();
    if (manager)
    {
        std::shared_ptr<TAsset> found = manager->GetAsset(name);
        if (found && found->IsKindOf(GetClassId()))
            return std::static_pointer_cast<TModel>(found);
    }
    auto model = std::make_shared<TModel>();
    if (!model->Init(name))
        return nullptr;
    if (manager)
        manager->AddAsset(name, model);
    return model;
}

bool TModel::Init(const TString& name)
{
    mMesh.reset();
    if (name.Find(".mesh") < 0)
        return false;
    std::unique_ptr<TFile, FileCloser> file(OpenFile(name.c_str(), 0));
    if (!file)
    {
        Log("TModel::Init: Failed to load %s", name.c_str());
        return false;
    }
    mMesh = std::make_unique<TMeshData>();
    char magic[4] = {};
    if (!ReadExactly(file.get(), magic, 4) || std::memcmp(magic, "TRIS", 4) != 0)
        return false;

    // Every read is checked and every index must name a vertex: a damaged file would otherwise
    // leave zeros in the mesh, or make the draw read past the vertex array.
    uint8_t counts[4];
    bool whole = ReadExactly(file.get(), counts, 4);
    std::vector<uint8_t> bytes;
    uint32_t vertexCount = 0;
    uint32_t indexCount = 0;
    if (whole)
    {
        vertexCount = U16At(counts);
        indexCount = 3u * U16At(counts + 2);
        bytes.resize(static_cast<size_t>(vertexCount) * kVertexFileBytes +
                     static_cast<size_t>(indexCount / 3) * kTriangleFileBytes);
        whole = ReadExactly(file.get(), bytes.data(), static_cast<int>(bytes.size()));
    }
    const uint8_t* indexBytes = bytes.data() + static_cast<size_t>(vertexCount) * kVertexFileBytes;
    bool indicesInRange = true;
    for (uint32_t i = 0; whole && i < indexCount; ++i)
        indicesInRange = indicesInRange && U16At(indexBytes + 2 * i) < vertexCount;
    if (!whole || !indicesInRange)
    {
        Log("TModel::Init: Damaged mesh file %s", name.c_str());
        mMesh.reset();
        return false;
    }

    mMesh->mVertices.resize(vertexCount);
    for (uint32_t v = 0; v < vertexCount; ++v)
    {
        const uint8_t* p = bytes.data() + static_cast<size_t>(v) * kVertexFileBytes;
        TModelVertex& out = mMesh->mVertices[v];
        out = {FixedAt(p),     FixedAt(p + 2),  FixedAt(p + 4),  FixedAt(p + 6),
               FixedAt(p + 8), FixedAt(p + 10), FixedAt(p + 12), FixedAt(p + 14)};
    }
    mMesh->mIndices.resize(indexCount);
    for (uint32_t i = 0; i < indexCount; ++i)
        mMesh->mIndices[i] = U16At(indexBytes + 2 * i);
    mMesh->mFileName = name;
    return true;
}

void TModel::Draw()
{
    TRenderer* renderer = TRenderer::Existing();
    if (!mMesh || mMesh->mIndices.empty() || !renderer)
        return;
    TVertexSet* set = TVertexSet::CreateUnlit(mMesh->mVertices.data(), mMesh->GetVertexCount());
    renderer->DrawIndexedVertices(kTriangleList, *set, mMesh->mIndices.data(),
                                  mMesh->GetIndexCount());
    TVertexSet::Release(set);
}

void TModel::OnDeviceRestore()
{
    if (!mMesh)
        return;
    const TString name = mMesh->mFileName;
    Init(name);
}
