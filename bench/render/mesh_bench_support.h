// Shared by the benchmarks that draw meshes: a rippled 2,000-triangle sheet as ".mesh" bytes, and a
// renderer in its 3-D block set up to draw it lit.
#pragma once

#include "render/display_bench_support.h"
#include "render/renderer/renderer.h"

#include <cmath>
#include <string>

namespace benchmesh
{
inline constexpr int kColumns = 41; // 40 x 25 cells, two triangles each: 2,000 triangles
inline constexpr int kRows = 26;

inline void PutU16(std::string& out, int value)
{
    out.push_back(static_cast<char>(value & 0xFF));
    out.push_back(static_cast<char>((value >> 8) & 0xFF));
}

// A rippled sheet facing the camera, in the file's thousandths.
inline std::string GridMesh()
{
    std::string out = "TRIS";
    PutU16(out, kColumns * kRows);
    PutU16(out, (kColumns - 1) * (kRows - 1) * 2);
    for (int row = 0; row < kRows; ++row)
        for (int column = 0; column < kColumns; ++column)
        {
            const double x = (column - 20) * 0.1, y = (row - 12.5) * 0.1;
            const double z = 0.2 * std::sin(x * 3) * std::cos(y * 3);
            const double values[8] = {
                x, y, z, -0.3 * std::cos(x * 3), 0.2, -0.9, column / 40.0, row / 25.0};
            for (double value : values)
                PutU16(out, static_cast<int>(std::lround(value * 1000)));
        }
    for (int row = 0; row + 1 < kRows; ++row)
        for (int column = 0; column + 1 < kColumns; ++column)
        {
            const int a = row * kColumns + column, b = a + 1, c = a + kColumns, d = c + 1;
            for (int index : {a, b, d, a, d, c})
                PutU16(out, index);
        }
    return out;
}

// A renderer in its 3-D block with a projection, a world matrix, a material and a light.
inline TRenderer* Open3dBlock()
{
    TRenderer* renderer = MakeBenchRenderer();
    if (!renderer || !renderer->BeginDraw(false) || !renderer->Begin3d())
        return nullptr;
    renderer->SetProjection(0.1f, 100.0f, 0.785398f, 0);
    TMat4 world;
    world.SetIdentity();
    world.Translate(TVec3(0, 0, 5));
    renderer->SetWorldMatrix(world);
    TMaterial material;
    ClearMaterial(material);
    material.mDiffuse = TVec4(0.7f, 0.7f, 0.5f, 1);
    material.mAmbient = TVec4(0.2f, 0.2f, 0.2f, 1);
    renderer->SetMaterial(material);
    TLight light{};
    light.mDiffuse = TVec4(1, 1, 1, 1);
    light.mDirection = TVec3(0.2f, -0.3f, 1);
    renderer->SetLight(0, &light);
    return renderer;
}

inline void Close3dBlock(TRenderer* renderer)
{
    renderer->End3d();
    renderer->EndFrame(false);
    TRenderer::DestroyInstance();
}

} // namespace benchmesh
