// The model portal: one frame of a shown, animating portal (its own 3-D block, the renderer
// settings and the mesh), beside TModel::Draw of the same mesh alone in an open 3-D block.
#include "render/display_bench_support.h"
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
    TRenderer* renderer = model ? MakeBenchRenderer() : nullptr;
    if (!renderer || !renderer->BeginDraw(false) || !renderer->Begin3d())
    {
        state.SkipWithError("no display or no model");
        return;
    }
    renderer->SetProjection(0.1f, 100.0f, 0.785398f, 0);
    TMat4 world;
    world.SetIdentity();
    world.Translate(TVec3(0, 0, 5));
    renderer->SetWorldMatrix(world);
    TMaterial material;
    material.mDiffuse = TVec4(0.7f, 0.7f, 0.5f, 1);
    material.mAmbient = TVec4(0.2f, 0.2f, 0.2f, 1);
    renderer->SetMaterial(material);
    TLight light{};
    light.mDiffuse = TVec4(1, 1, 1, 1);
    light.mDirection = TVec3(0.2f, -0.3f, 1);
    renderer->SetLight(0, &light);
    sys::display::Device& device = *renderer->GetPlatform().GetData()->mDevice;
    for (auto _ : state)
    {
        device.Clear(0, nullptr, sys::display::CLEAR_ZBUFFER, 0, 1.0f, 0);
        model->Draw();
    }
    state.SetItemsProcessed(state.iterations() * 2000);
    renderer->End3d();
    renderer->EndFrame(false);
    TRenderer::DestroyInstance();
}
BENCHMARK(BM_TheSameMeshAlone);

} // namespace
