// Test support for meshes: ".mesh" files made from a plan of fixed-point vertices (thousandths)
// and triangles, and the shapes the tests draw.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace rendertest
{

struct MeshPlan
{
    // x, y, z, normal x, y, z, u, v
    std::vector<std::array<int16_t, 8>> mVertices;
    std::vector<std::array<uint16_t, 3>> mTriangles;
};

inline void PutU16(std::string& out, uint16_t value)
{
    out.push_back(static_cast<char>(value & 0xFF));
    out.push_back(static_cast<char>(value >> 8));
}

inline std::string MeshBytes(const MeshPlan& plan)
{
    std::string out = "TRIS";
    PutU16(out, static_cast<uint16_t>(plan.mVertices.size()));
    PutU16(out, static_cast<uint16_t>(plan.mTriangles.size()));
    for (const auto& vertex : plan.mVertices)
        for (int16_t value : vertex)
            PutU16(out, static_cast<uint16_t>(value));
    for (const auto& triangle : plan.mTriangles)
        for (uint16_t index : triangle)
            PutU16(out, index);
    return out;
}

// A pyramid on a square base, apex toward the viewer (-z), one face normal per triangle.
inline MeshPlan Pyramid()
{
    MeshPlan plan;
    const int16_t apex[3] = {0, 0, -1400};
    const int16_t base[4][3] = {
        {-1000, 1000, 0}, {1000, 1000, 0}, {1000, -1000, 0}, {-1000, -1000, 0}};
    const int16_t normals[4][3] = {
        {0, 814, -581}, {814, 0, -581}, {0, -814, -581}, {-814, 0, -581}};
    for (uint16_t side = 0; side < 4; ++side)
    {
        const int16_t* a = base[side];
        const int16_t* b = base[(side + 1) % 4];
        const int16_t* n = normals[side];
        plan.mVertices.push_back({apex[0], apex[1], apex[2], n[0], n[1], n[2], 500, 0});
        plan.mVertices.push_back({a[0], a[1], a[2], n[0], n[1], n[2], 0, 1000});
        plan.mVertices.push_back({b[0], b[1], b[2], n[0], n[1], n[2], 1000, 1000});
        const auto first = static_cast<uint16_t>(side * 3);
        plan.mTriangles.push_back(
            {first, static_cast<uint16_t>(first + 1), static_cast<uint16_t>(first + 2)});
    }
    return plan;
}

// A cube of side 2 around the origin, four vertices per face with the whole texture on each face,
// every face wound clockwise seen from outside.
inline MeshPlan TexturedCube()
{
    MeshPlan plan;
    const int axes[3][3] = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}};
    const int corners[4][2] = {{-1, 1}, {1, 1}, {1, -1}, {-1, -1}};
    const int16_t uvs[4][2] = {{0, 0}, {1000, 0}, {1000, 1000}, {0, 1000}};
    for (int axis = 0; axis < 3; ++axis)
    {
        for (int sign : {-1, 1})
        {
            const int* a = axes[(axis + 1) % 3];
            const int* b = axes[(axis + 2) % 3];
            // (a x b) is the face's axis; clockwise from outside needs a x b against the normal.
            if (sign > 0)
                std::swap(a, b);
            const auto first = static_cast<uint16_t>(plan.mVertices.size());
            for (int c = 0; c < 4; ++c)
            {
                std::array<int16_t, 8> v{};
                for (int k = 0; k < 3; ++k)
                {
                    v[k] =
                        static_cast<int16_t>(1000 * (sign * axes[axis][k] + corners[c][0] * a[k] +
                                                     corners[c][1] * b[k]));
                    v[3 + k] = static_cast<int16_t>(1000 * sign * axes[axis][k]);
                }
                v[6] = uvs[c][0];
                v[7] = uvs[c][1];
                plan.mVertices.push_back(v);
            }
            plan.mTriangles.push_back(
                {first, static_cast<uint16_t>(first + 1), static_cast<uint16_t>(first + 2)});
            plan.mTriangles.push_back(
                {first, static_cast<uint16_t>(first + 2), static_cast<uint16_t>(first + 3)});
        }
    }
    return plan;
}

} // namespace rendertest
