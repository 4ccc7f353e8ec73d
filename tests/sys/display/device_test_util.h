// Helpers for the rasteriser and device tests: memory render targets, the 2-D projection the
// display code builds, and quads in each vertex kind.
#pragma once

#include "sys/display/device.h"
#include "sys/display/pixel_format.h"
#include "sys/display/surface.h"

#include <cstdint>
#include <memory>
#include <vector>

namespace devtest
{

using namespace sys::display;

inline std::shared_ptr<Surface> MakeSurface(uint32_t w, uint32_t h,
                                            FormatId format = FormatId::A8R8G8B8, uint32_t fill = 0)
{
    auto s = Surface::Create(w, h, MakePixelFormat(format),
                             format == FormatId::D16 || format == FormatId::D32
                                 ? CAPS_ZBUFFER | CAPS_SYSTEMMEMORY
                                 : CAPS_SYSTEMMEMORY | CAPS_3DDEVICE);
    if (s != nullptr && format != FormatId::D16 && format != FormatId::D32)
        for (uint32_t y = 0; y < h; ++y)
            for (uint32_t x = 0; x < w; ++x)
                s->WritePixel(x, y, fill);
    return s;
}

inline std::shared_ptr<Surface> MakeTexture(uint32_t w, uint32_t h,
                                            const std::vector<uint32_t>& argb,
                                            FormatId format = FormatId::A8R8G8B8)
{
    auto s = Surface::Create(w, h, MakePixelFormat(format), CAPS_TEXTURE | CAPS_SYSTEMMEMORY);
    for (uint32_t y = 0; y < h; ++y)
        for (uint32_t x = 0; x < w; ++x)
            s->WritePixel(x, y, argb[y * w + x]);
    return s;
}

// The off-centre left-handed orthographic matrix, then depth passed through (M[2][2] = 1,
// M[2][3] = 0, M[3][2] = 0, M[3][3] = 1), as the 2-D projection is built.
inline Matrix Ortho2d(float l, float r, float b, float t)
{
    Matrix m;
    m.m[0][0] = 2.0f / (r - l);
    m.m[1][1] = 2.0f / (t - b);
    m.m[2][2] = 1.0f;
    m.m[3][0] = (l + r) / (l - r);
    m.m[3][1] = (t + b) / (b - t);
    m.m[3][2] = 0.0f;
    m.m[3][3] = 1.0f;
    return m;
}

// The 2-D projection for a viewport of w x h with the usual -0.5 pixel offset.
inline Matrix Projection2d(float w, float h, float offset = -0.5f)
{
    return Ortho2d(-offset, w - offset, h - offset, -offset);
}

// A 2-D quad of pre-lit vertices (x0, y0)-(x1, y1) with texture rectangle (u0, v0)-(u1, v1).
inline std::vector<LVertex> Quad2d(float x0, float y0, float x1, float y1,
                                   uint32_t diffuse = 0xFFFFFFFF, float u0 = 0, float v0 = 0,
                                   float u1 = 1, float v1 = 1)
{
    return {
        LVertex{x0, y0, 0.1f, 0.5f, diffuse, 0xFF000000u, u0, v0},
        LVertex{x1, y0, 0.1f, 0.5f, diffuse, 0xFF000000u, u1, v0},
        LVertex{x1, y1, 0.1f, 0.5f, diffuse, 0xFF000000u, u1, v1},
        LVertex{x0, y1, 0.1f, 0.5f, diffuse, 0xFF000000u, u0, v1},
    };
}

inline const uint16_t kQuadIndices[6] = {0, 1, 2, 0, 2, 3};

inline DeviceDesc TestCaps()
{
    DeviceDesc d;
    d.mMaxTextureWidth = 4096;
    d.mMaxTextureHeight = 4096;
    return d;
}

// A device on a w x h A8R8G8B8 target set up like the 2-D mode of the display code: no lighting,
// no depth, no culling, pixel-offset projection.
inline std::unique_ptr<Device> Make2dDevice(const std::shared_ptr<Surface>& target)
{
    auto dev = Device::Create(target, TestCaps());
    dev->SetRenderState(RS_LIGHTING, 0);
    dev->SetRenderState(RS_ZENABLE, 0);
    dev->SetRenderState(RS_CULLMODE, CULL_NONE);
    dev->SetRenderState(RS_CLIPPING, 0);
    dev->SetTransform(TS_PROJECTION, Projection2d(static_cast<float>(target->GetWidth()),
                                                  static_cast<float>(target->GetHeight())));
    return dev;
}

inline void DrawQuad(Device& dev, const std::vector<LVertex>& quad)
{
    dev.DrawIndexedPrimitive(PT_TRIANGLELIST, FVF_LVERTEX, quad.data(), 4, kQuadIndices, 6, 0);
}

// Number of pixels that differ from `background`.
inline int CountChanged(Surface& s, uint32_t background)
{
    int n = 0;
    for (uint32_t y = 0; y < s.GetHeight(); ++y)
        for (uint32_t x = 0; x < s.GetWidth(); ++x)
            n += s.ReadPixel(x, y) != background;
    return n;
}

} // namespace devtest
