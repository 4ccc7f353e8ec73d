// TVertexSet: how callers hand a vertex array to the draw calls: its kind, the caller's vertices
// (not owned) and their count. Every vertex is 32 bytes.
#pragma once

#include <cstdint>

// Vertex kinds: 0 unlit (position, normal, u, v; the device lights it), 1 and 2 pre-lit (position,
// reserved, diffuse, specular, u, v), 3 transformed (screen x, y, z, reciprocal w, diffuse,
// specular, u, v).
enum : int32_t
{
    kVertexUnlit = 0,
    kVertexLit = 1,
    kVertexColored = 2,
    kVertexTransformed = 3
};

// The 32-byte vertex of the pre-lit and transformed kinds: position (screen x, y, z and reciprocal
// w when transformed), diffuse and specular colours, texture coordinates.
struct TColoredVertex
{
    float x, y, z, w;
    uint32_t diffuse;
    uint32_t specular;
    float u, v;
};
static_assert(sizeof(TColoredVertex) == 32);

struct TVertexSet
{
    int32_t mKind = kVertexColored;
    const void* mVertices = nullptr;
    uint32_t mCount = 0;

    static TVertexSet* CreateUnlit(const void* vertices, uint32_t count);
    static TVertexSet* CreateLit(const void* vertices, uint32_t count);
    static TVertexSet* CreateColored(const void* vertices, uint32_t count);
    static TVertexSet* CreateTransformed(const void* vertices, uint32_t count);
    // Frees the record, not the vertices.
    static void Release(TVertexSet* set);
    void SetCount(uint32_t count) { mCount = count; }
};
