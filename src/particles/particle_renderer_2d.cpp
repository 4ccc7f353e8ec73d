// The 2-D particle renderer: the shared arrays, the quad of one particle and the draw through the
// renderer, in batches that 16-bit indices can address.
#include "particles/particle_renderer_2d.h"

#include "platform/config/config.h"
#include "platform/log.h"
#include "render/sprites/animated_texture.h"
#include "render/renderer/renderer.h"
#include "render/textures/texture.h"
#include "render/renderer/vertex_set.h"

#include <algorithm>
#include <new>

namespace
{
constexpr uint32_t kTriangleList = 4;
constexpr uint32_t kOpaqueWhite = 0xFFFFFFFFu;

struct TCorner
{
    float a, b; // offset from the centre in quad sizes
    int su, sv; // texture-rectangle selectors: 0 left/top, 1 right/bottom
};
// Top-left, top-right, bottom-left, bottom-right.
constexpr TCorner kFourCorners[4] = {
    {-0.5f, -0.5f, 0, 0}, {0.5f, -0.5f, 1, 0}, {-0.5f, 0.5f, 0, 1}, {0.5f, 0.5f, 1, 1}};
// Two triangles without indices: top-left, top-right, bottom-left; top-right, bottom-right,
// bottom-left.
constexpr TCorner kSixCorners[6] = {{-0.5f, -0.5f, 0, 0}, {0.5f, -0.5f, 1, 0}, {-0.5f, 0.5f, 0, 1},
                                    {0.5f, -0.5f, 1, 0},  {0.5f, 0.5f, 1, 1},  {-0.5f, 0.5f, 0, 1}};

// A channel clamped to 0..1 and scaled to a byte, truncated: over-bright or negative values would
// otherwise spill into the neighbouring channels.
uint32_t ChannelByte(float c)
{
    if (!(c > 0.0f))
        return 0;
    if (c > 1.0f)
        return 255;
    return static_cast<uint32_t>(c * 255.0f);
}

// The colour's alpha byte times the draw's alpha, clamped to a byte rather than wrapped.
uint32_t AlphaByte(float c, float alpha)
{
    float product = static_cast<float>(ChannelByte(c)) * alpha;
    if (!(product > 0.0f))
        return 0;
    if (product >= 255.0f)
        return 255;
    return static_cast<uint32_t>(product);
}

// pFrame truncated toward zero; a value no integer holds names no frame.
int32_t FrameIndex(float frame)
{
    return (frame > -2147483648.0f && frame < 2147483648.0f) ? static_cast<int32_t>(frame) : -1;
}

const char* const kInitString = "pPosition = Allocate(2);\npUp = Allocate(2);\npScale = "
                                "Allocate(1);\npColor = Allocate(4);\npFrame = Allocate(1);\n";
} // namespace

std::unique_ptr<TParticleVertex[]> T2dParticleRenderer::sVertices;
int32_t T2dParticleRenderer::sVertexCapacity = 0;
std::unique_ptr<uint16_t[]> T2dParticleRenderer::sIndices;
int32_t T2dParticleRenderer::sIndexQuads = 0;
int32_t T2dParticleRenderer::sInstanceCount = 0;
T2dParticleRenderer::TDrawCounts T2dParticleRenderer::sLastDraw;

TParticleRenderer::~TParticleRenderer() = default;

T2dParticleRenderer::T2dParticleRenderer()
{
    mBrokenIndexedVerts = IsEnabled("brokenindexedverts") ? 1 : 0;
    ++sInstanceCount;
}

T2dParticleRenderer::~T2dParticleRenderer()
{
    if (--sInstanceCount == 0)
    {
        sVertices.reset();
        sIndices.reset();
        sVertexCapacity = 0;
        sIndexQuads = 0;
    }
}

void T2dParticleRenderer::SetTexture(const std::shared_ptr<TTexture>& texture)
{
    mTexture = texture;
    if (mTexture)
        mSize = TVec2(static_cast<float>(mTexture->GetWidth()),
                      static_cast<float>(mTexture->GetHeight()));
}

void T2dParticleRenderer::SetOption(const TString& name, const float* values)
{
    if (name == "blendmode" && values != nullptr)
    {
        float mode = values[0];
        // Truncated toward zero; a value no integer holds selects alpha blending.
        mBlendMode =
            (mode > -2147483648.0f && mode < 2147483648.0f) ? static_cast<int32_t>(mode) : 0;
    }
}

TString T2dParticleRenderer::GetInitString()
{
    return TString(kInitString);
}

void T2dParticleRenderer::EnsureBuffers(int capacity)
{
    int per = mBrokenIndexedVerts ? 6 : 4;
    int64_t need = static_cast<int64_t>(per) * capacity;
    int32_t indexQuads = std::min(capacity, kQuadsPerIndexedDraw);
    // A renderer that draws without indices frees the index array; one that needs it builds it
    // again even when the vertices are room enough.
    bool indicesReady = mBrokenIndexedVerts || (sIndices && sIndexQuads >= indexQuads);
    if (sVertexCapacity >= need && indicesReady)
        return;
    if (need * 2 > INT32_MAX)
    {
        Log("Particle renderer: no room for %d particles", capacity);
        return;
    }
    if (sVertexCapacity < need)
    {
        int32_t count = static_cast<int32_t>(need * 2);
        sVertices.reset(new (std::nothrow) TParticleVertex[count]());
        sVertexCapacity = sVertices ? count : 0;
        const TCorner* corners = mBrokenIndexedVerts ? kSixCorners : kFourCorners;
        for (int32_t i = 0; i < sVertexCapacity; ++i)
        {
            const TCorner& corner = corners[i % per];
            TParticleVertex& vertex = sVertices[i];
            vertex.w = 0.5f;
            vertex.specular = kOpaqueWhite;
            vertex.u = static_cast<float>(corner.su);
            vertex.v = static_cast<float>(corner.sv);
        }
    }
    sIndices.reset();
    sIndexQuads = 0;
    if (!mBrokenIndexedVerts)
    {
        // Twice the capacity in quads, as the vertices; the pattern wraps with the 16-bit values,
        // and each draw of at most 16,384 quads uses it from the start.
        int64_t quads = 2 * static_cast<int64_t>(capacity);
        sIndices.reset(new (std::nothrow) uint16_t[quads * 6]);
        if (sIndices)
        {
            for (int64_t q = 0; q < quads; ++q)
            {
                uint16_t b = static_cast<uint16_t>(q * 4);
                uint16_t* out = sIndices.get() + q * 6;
                out[0] = b;
                out[1] = static_cast<uint16_t>(b + 1);
                out[2] = static_cast<uint16_t>(b + 2);
                out[3] = static_cast<uint16_t>(b + 1);
                out[4] = static_cast<uint16_t>(b + 3);
                out[5] = static_cast<uint16_t>(b + 2);
            }
            sIndexQuads = static_cast<int32_t>(std::min<int64_t>(quads, INT32_MAX));
        }
    }
}

void T2dParticleRenderer::BuildQuad(TParticleVertex* out, const float* particle,
                                    const TVec3& offset, float alpha, float u0, float v0, float u1,
                                    float v1) const
{
    float scale = particle[4];
    float sx = mSize.x * scale;
    float sy = mSize.y * scale;
    float mx = particle[0] + offset.x;
    float my = particle[1] + offset.y;
    float ux = particle[2];
    float uy = particle[3];
    uint32_t diffuse = AlphaByte(particle[8], alpha) << 24 | ChannelByte(particle[5]) << 16 |
                       ChannelByte(particle[6]) << 8 | ChannelByte(particle[7]);
    const TCorner* corners = mBrokenIndexedVerts ? kSixCorners : kFourCorners;
    int count = mBrokenIndexedVerts ? 6 : 4;
    for (int i = 0; i < count; ++i)
    {
        const TCorner& c = corners[i];
        TParticleVertex& vertex = out[i];
        vertex.x = mx - sx * c.a * uy - sy * c.b * ux;
        vertex.y = my + sx * c.a * ux - sy * c.b * uy;
        vertex.z = offset.z;
        vertex.diffuse = diffuse;
        vertex.u = c.su ? u1 : u0;
        vertex.v = c.sv ? v1 : v0;
    }
}

void T2dParticleRenderer::Draw(const TVec3& position, float alpha, std::list<float*>& live,
                               int capacity)
{
    if (capacity <= 0)
        return;
    EnsureBuffers(capacity);
    int per = mBrokenIndexedVerts ? 6 : 4;
    if (!sVertices || (!mBrokenIndexedVerts && !sIndices))
        return;
    TRenderer* renderer = TRenderer::Instance();
    renderer->SetTexture(mTexture);
    renderer->SetBlendMode(mBlendMode);
    TVec3 offset(position.x - 0.5f, position.y - 0.5f, position.z);

    // More live particles than the array holds would run past it: those are not drawn.
    int32_t room = sVertexCapacity / per;
    // Each indexed draw reads the index array from its start: it must cover the batch.
    if (!mBrokenIndexedVerts && sIndexQuads < kQuadsPerIndexedDraw)
        room = std::min(room, sIndexQuads);
    int32_t quads = 0;
    std::shared_ptr<TAnimatedTexture> animated = TAnimatedTexture::FromTexture(mTexture);
    if (!animated)
    {
        for (float* particle : live)
        {
            if (quads >= room)
                break;
            BuildQuad(sVertices.get() + static_cast<size_t>(quads) * per, particle, offset, alpha,
                      0, 0, 1, 1);
            ++quads;
        }
    }
    else
    {
        // Frame rectangles are read against the allocated surface, not the image inside it.
        const TTextureData& data = *animated->GetData();
        float w = static_cast<float>(data.mSurfaceWidth);
        float h = static_cast<float>(data.mSurfaceHeight);
        static const TString kShifted("animatedparticles");
        bool shifted = IsEnabled(kShifted);
        TRect first;
        animated->GetFrameRect(0, first);
        TVec2 firstReg = animated->GetFrameRegistration(0);
        TVec2 size = mSize;
        for (float* particle : live)
        {
            if (quads >= room)
                break;
            int32_t frame = FrameIndex(particle[9]);
            TRect rect;
            animated->GetFrameRect(frame, rect);
            TVec3 at = offset;
            if (shifted)
            {
                // Every frame's registration point lands where frame 0's lies, unturned.
                float scale = particle[4];
                TVec2 reg = animated->GetFrameRegistration(frame);
                int32_t halfW = (rect.Width() - first.Width()) / 2;
                int32_t halfH = (rect.Height() - first.Height()) / 2;
                at.x += (firstReg.x - reg.x) * scale + static_cast<float>(halfW) * scale;
                at.y += (firstReg.y - reg.y) * scale + static_cast<float>(halfH) * scale;
                mSize = TVec2(static_cast<float>(rect.Width()), static_cast<float>(rect.Height()));
            }
            // An empty rectangle (a frame out of range, or no surface) samples one texel.
            float u0 = w > 0 ? static_cast<float>(rect.left) / w : 0;
            float u1 = w > 0 ? static_cast<float>(rect.right) / w : 0;
            float v0 = h > 0 ? static_cast<float>(rect.top) / h : 0;
            float v1 = h > 0 ? static_cast<float>(rect.bottom) / h : 0;
            BuildQuad(sVertices.get() + static_cast<size_t>(quads) * per, particle, at, alpha, u0,
                      v0, u1, v1);
            ++quads;
        }
        mSize = size;
    }

    sLastDraw = TDrawCounts();
    sLastDraw.mVertices = static_cast<uint32_t>(quads * per);
    if (quads == 0)
    {
        // Nothing to submit.
    }
    else if (mBrokenIndexedVerts)
    {
        TVertexSet* set = TVertexSet::CreateColored(sVertices.get(), sLastDraw.mVertices);
        renderer->DrawVertices(kTriangleList, *set);
        TVertexSet::Release(set);
        sLastDraw.mDraws = 1;
    }
    else
    {
        for (int32_t first = 0; first < quads; first += kQuadsPerIndexedDraw)
        {
            int32_t n = std::min(quads - first, kQuadsPerIndexedDraw);
            TVertexSet* set = TVertexSet::CreateColored(
                sVertices.get() + static_cast<size_t>(first) * 4, static_cast<uint32_t>(n) * 4);
            renderer->DrawIndexedVertices(kTriangleList, *set, sIndices.get(),
                                          static_cast<uint32_t>(n) * 6);
            TVertexSet::Release(set);
            sLastDraw.mIndices += static_cast<uint32_t>(n) * 6;
            ++sLastDraw.mDraws;
        }
    }
    renderer->SetBlendMode(0);
}
