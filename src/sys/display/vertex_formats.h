// The three 32-byte vertex kinds the device draws and their flexible-vertex-format codes.
#pragma once

#include <cstdint>

namespace sys::display
{

// Flexible-vertex-format bits.
constexpr uint32_t FVF_XYZ = 0x002;
constexpr uint32_t FVF_XYZRHW = 0x004;
constexpr uint32_t FVF_NORMAL = 0x010;
constexpr uint32_t FVF_RESERVED1 = 0x020;
constexpr uint32_t FVF_DIFFUSE = 0x040;
constexpr uint32_t FVF_SPECULAR = 0x080;
constexpr uint32_t FVF_TEX1 = 0x100;

// The three combinations the device accepts.
constexpr uint32_t FVF_VERTEX = FVF_XYZ | FVF_NORMAL | FVF_TEX1; // 0x112
constexpr uint32_t FVF_LVERTEX =
    FVF_XYZ | FVF_RESERVED1 | FVF_DIFFUSE | FVF_SPECULAR | FVF_TEX1;                  // 0x1E2
constexpr uint32_t FVF_TLVERTEX = FVF_XYZRHW | FVF_DIFFUSE | FVF_SPECULAR | FVF_TEX1; // 0x1C4

// Untransformed, unlit: the device transforms and lights it.
struct Vertex
{
    float x, y, z;
    float nx, ny, nz;
    float u, v;
};

// Untransformed, pre-lit: transformed by world, view and projection; colours used as given.
struct LVertex
{
    float x, y, z;
    float reserved;
    uint32_t diffuse;  // A8R8G8B8
    uint32_t specular; // A8R8G8B8, alpha unused
    float u, v;
};

// Pre-transformed screen vertex: pixel coordinates, depth 0..1, reciprocal of w.
struct TLVertex
{
    float sx, sy, sz;
    float rhw;
    uint32_t diffuse;
    uint32_t specular;
    float u, v;
};

static_assert(sizeof(Vertex) == 32 && sizeof(LVertex) == 32 && sizeof(TLVertex) == 32,
              "every vertex kind is 32 bytes");

constexpr uint32_t VERTEX_STRIDE = 32;

} // namespace sys::display
