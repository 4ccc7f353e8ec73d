// T2dParticleRenderer: every live particle as one textured, coloured, turned quad, built into a
// vertex array (and an index array) shared by all 2-D particle renderers.
#pragma once

#include "particles/particle_renderer.h"
#include "render/renderer/vertex_set.h"

#include <cstdint>

// The pre-coloured vertex the renderer draws (vertex-set kind 2); w is always 0.5 and the specular
// colour always opaque white.
using TParticleVertex = TColoredVertex;

class T2dParticleRenderer : public TParticleRenderer
{
public:
    static constexpr int kParticleWidth = 10;
    // 16-bit indices reach 65,536 vertices: one indexed draw takes at most this many quads.
    static constexpr int kQuadsPerIndexedDraw = 16384;

    T2dParticleRenderer();
    ~T2dParticleRenderer() override;

    void Draw(const TVec3& position, float alpha, std::list<float*>& live, int capacity) override;
    void SetTexture(const std::shared_ptr<TTexture>& texture) override;
    void SetOption(const TString& name, const float* values) override;
    const float* GetDefaultParticle() override { return mDefaults; }
    int GetParticleWidth() override { return kParticleWidth; }
    TString GetInitString() override;

    // What the last draw of any 2-D particle renderer submitted, for tests.
    struct TDrawCounts
    {
        uint32_t mVertices = 0;
        uint32_t mIndices = 0;
        uint32_t mDraws = 0;
    };
    static TDrawCounts GetLastDrawCounts() { return sLastDraw; }
    static const TParticleVertex* GetVertices() { return sVertices.get(); }
    static int32_t GetVertexCapacity() { return sVertexCapacity; }
    static const uint16_t* GetIndices() { return sIndices.get(); }

    int32_t mBlendMode = 0;
    TVec2 mSize = TVec2(1, 1);
    float mDefaults[kParticleWidth] = {0, 0, 0, -1, 1, 1, 1, 1, 1, 0};
    std::shared_ptr<TTexture> mTexture;
    uint8_t mBrokenIndexedVerts = 0;

private:
    void EnsureBuffers(int capacity);
    // Writes one particle's corners (4 or 6) from `out` on; the texture rectangle runs from
    // (u0, v0) to (u1, v1).
    void BuildQuad(TParticleVertex* out, const float* particle, const TVec3& offset, float alpha,
                   float u0, float v0, float u1, float v1) const;

    static std::unique_ptr<TParticleVertex[]> sVertices;
    static int32_t sVertexCapacity;
    static std::unique_ptr<uint16_t[]> sIndices;
    // Quads the index array covers (its pattern repeats every 16,384).
    static int32_t sIndexQuads;
    static int32_t sInstanceCount;
    static TDrawCounts sLastDraw;
};
