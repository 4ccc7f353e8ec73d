// The model portal: one frame of a shown, animating portal (its own 3-D block, the renderer
// settings and the mesh), beside TModel::Draw of the same mesh alone in an open 3-D block with the
// same settings.
#include "render/mesh_bench_support.h"
#include "framework/core/delta_time.h"
#include "framework/widgets/model_portal.h"
#include "framework/transforms/transform_manager.h"
#include "platform/files/file_layer.h"
#include "render/renderer/model.h"
#include "script/lua_object_wrapper.h"
#include "script/script.h"
#include "sys/display/device.h"

#include <benchmark/benchmark.h>

#include <memory>
#include <string>

namespace
{

constexpr char kStates[] = "modelinfo = { states = { state00 = { position = { 0, 0, 5 } },"
                           " state01 = { position = { 0.5, 0, 5 }, rotation = { 0, 0.5, 0 } } } }";

struct MeshFile
{
    MeshFile() : mBytes(benchmesh::GridMesh())
    {
        RegisterMemoryFileName("grid.mesh", mBytes.data(), static_cast<uint32_t>(mBytes.size()));
    }
    ~MeshFile() { RegisterMemoryFileName("grid.mesh", nullptr, 0); }
    std::string mBytes;
};

void BM_ModelPortalFrame(benchmark::State& state)
{
    MeshFile mesh;
    RegisterMemoryFileName("portals/grid", kStates, sizeof(kStates) - 1);
    TRenderer* renderer = MakeBenchRenderer();
    if (!renderer || !renderer->BeginDraw(false))
    {
        state.SkipWithError("no display");
        return;
    }
    DeltaTime clock;
    TransformManager transforms;
    TScript script;
    script.DoLuaString(
        "t = { timeanimation = 1000000000, startalpha = 1, endalpha = 1, model = {"
        " model = 'grid.mesh', nearplane = 0.1, farplane = 100, fov = 0.785398,"
        " material = { diffuse = { 0.7, 0.7, 0.5, 1 }, ambient = { 0.2, 0.2, 0.2, 1 } },"
        " light = { type = 0, diffuse = { 1, 1, 1, 1 }, direction = { 0.2, -0.3, 1 } } } }");
    std::unique_ptr<TLuaTable> table(script.GetGlobalTable("t"));
    {
        ModelPortalController portals;
        portals.AddModelPortal("portals/grid", *table);
        portals.ShowModelPortal("portals/grid");
        portals.StepCurrentModelPortal();
        clock.SetFrameTime(1000);
        transforms.Update();
        clock.SetFrameTime(1016);
        transforms.Update();
        sys::display::Device& device = *renderer->GetPlatform().GetData()->mDevice;
        for (auto _ : state)
        {
            device.Clear(0, nullptr, sys::display::CLEAR_ZBUFFER, 0, 1.0f, 0);
            portals.DrawCurrentModelPortal();
        }
        state.SetItemsProcessed(state.iterations() * 2000);
    }
    renderer->EndFrame(false);
    TRenderer::DestroyInstance();
    RegisterMemoryFileName("portals/grid", nullptr, 0);
}
BENCHMARK(BM_ModelPortalFrame);

void BM_TheSameMeshAlone(benchmark::State& state)
{
    MeshFile mesh;
    std::shared_ptr<TModel> model = TModel::Get("grid.mesh");
    TRenderer* renderer = model ? benchmesh::Open3dBlock() : nullptr;
    if (!renderer)
    {
        state.SkipWithError("no display or no model");
        return;
    }
    sys::display::Device& device = *renderer->GetPlatform().GetData()->mDevice;
    for (auto _ : state)
    {
        device.Clear(0, nullptr, sys::display::CLEAR_ZBUFFER, 0, 1.0f, 0);
        model->Draw();
    }
    state.SetItemsProcessed(state.iterations() * 2000);
    benchmesh::Close3dBlock(renderer);
}
BENCHMARK(BM_TheSameMeshAlone);

} // namespace
