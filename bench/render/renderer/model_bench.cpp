// Models: TModel::Draw of a lit 2,000-triangle mesh in the renderer's 3-D block, beside the same
// vertex and index arrays handed to the stand-in's device directly, in one run.
#include "render/mesh_bench_support.h"
#include "platform/files/file_layer.h"
#include "render/renderer/model.h"
#include "render/renderer/renderer.h"
#include "sys/display/device.h"
#include "sys/display/vertex_formats.h"

#include <benchmark/benchmark.h>

#include <string>

using namespace sys::display;

namespace
{
std::shared_ptr<TModel> LoadGrid(const std::string& bytes)
{
    RegisterMemoryFileName("grid.mesh", bytes.data(), static_cast<uint32_t>(bytes.size()));
    return TModel::Get("grid.mesh");
}

void BM_ModelDraw(benchmark::State& state)
{
    const std::string bytes = benchmesh::GridMesh();
    auto model = LoadGrid(bytes);
    TRenderer* renderer = model ? benchmesh::Open3dBlock() : nullptr;
    if (!renderer)
    {
        state.SkipWithError("no display or no model");
        return;
    }
    Device& device = *renderer->GetPlatform().GetData()->mDevice;
    for (auto _ : state)
    {
        device.Clear(0, nullptr, CLEAR_ZBUFFER, 0, 1.0f, 0);
        model->Draw();
    }
    state.SetItemsProcessed(state.iterations() * 2000);
    benchmesh::Close3dBlock(renderer);
    RegisterMemoryFileName("grid.mesh", nullptr, 0);
}
BENCHMARK(BM_ModelDraw);

void BM_SameArraysToTheDevice(benchmark::State& state)
{
    const std::string bytes = benchmesh::GridMesh();
    auto model = LoadGrid(bytes);
    TRenderer* renderer = model ? benchmesh::Open3dBlock() : nullptr;
    if (!renderer)
    {
        state.SkipWithError("no display or no model");
        return;
    }
    Device& device = *renderer->GetPlatform().GetData()->mDevice;
    const TMeshData& mesh = *model->GetMesh();
    for (auto _ : state)
    {
        device.Clear(0, nullptr, CLEAR_ZBUFFER, 0, 1.0f, 0);
        device.DrawIndexedPrimitive(PT_TRIANGLELIST, FVF_VERTEX, mesh.mVertices.data(),
                                    mesh.GetVertexCount(), mesh.mIndices.data(),
                                    mesh.GetIndexCount(), 0);
    }
    state.SetItemsProcessed(state.iterations() * 2000);
    benchmesh::Close3dBlock(renderer);
    RegisterMemoryFileName("grid.mesh", nullptr, 0);
}
BENCHMARK(BM_SameArraysToTheDevice);

} // namespace
