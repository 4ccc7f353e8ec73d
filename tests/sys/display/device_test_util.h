// Helpers for the rasteriser and device tests: memory render targets, the 2-D projection the
// display code builds, and quads in each vertex kind.
#pragma once

#include "sys/display/device.h"
#include "sys/display/pixel_format.h"
#include "sys/display/surface.h"

#include <algorithm>
#include <cmath>
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

// A target of MakeSurface and a 2-D device drawing into it.
struct Canvas2d
{
    std::shared_ptr<Surface> target;
    std::unique_ptr<Device> dev;
};

inline Canvas2d Make2dCanvas(uint32_t w, uint32_t h, FormatId format = FormatId::A8R8G8B8,
                             uint32_t fill = 0)
{
    auto target = MakeSurface(w, h, format, fill);
    auto dev = Make2dDevice(target);
    return {target, std::move(dev)};
}

// Alpha blending on with the two factors.
inline void SetBlend(Device& dev, uint32_t src, uint32_t dest)
{
    dev.SetRenderState(RS_ALPHABLENDENABLE, 1);
    dev.SetRenderState(RS_SRCBLEND, src);
    dev.SetRenderState(RS_DESTBLEND, dest);
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

// Left-handed perspective: x and y scaled by the focal length, z to 0..1 between near and far.
inline Matrix Perspective(float fov, float aspect, float zn, float zf)
{
    Matrix m;
    float h = 1.0f / std::tan(fov / 2);
    m.m[0][0] = h / aspect;
    m.m[1][1] = h;
    m.m[2][2] = zf / (zf - zn);
    m.m[2][3] = 1;
    m.m[3][2] = -zn * zf / (zf - zn);
    m.m[3][3] = 0;
    return m;
}

// A unit cube (-1..1) as 24 vertices with face normals and 36 indices.
inline void MakeCube(std::vector<Vertex>& v, std::vector<uint16_t>& idx)
{
    const float n[6][3] = {{1, 0, 0}, {-1, 0, 0}, {0, 1, 0}, {0, -1, 0}, {0, 0, 1}, {0, 0, -1}};
    for (int f = 0; f < 6; ++f)
    {
        float nx = n[f][0], ny = n[f][1], nz = n[f][2];
        // Two axes spanning the face, ordered so the corners wind clockwise seen from outside.
        float ux = ny != 0 || nz != 0 ? 1.0f : 0.0f, uy = nx != 0 ? 1.0f : 0.0f, uz = 0.0f;
        float wx = ny * uz - nz * uy, wy = nz * ux - nx * uz, wz = nx * uy - ny * ux;
        uint16_t base = static_cast<uint16_t>(v.size());
        const float s[4][2] = {{-1, -1}, {-1, 1}, {1, 1}, {1, -1}};
        for (auto& c : s)
            v.push_back(Vertex{nx + c[0] * ux + c[1] * wx, ny + c[0] * uy + c[1] * wy,
                               nz + c[0] * uz + c[1] * wz, nx, ny, nz, 0, 0});
        for (uint16_t i : {0, 1, 2, 0, 2, 3})
            idx.push_back(static_cast<uint16_t>(base + i));
    }
}

// A unit cube turned so three faces show, lit by one directional light and ambient, depth-tested
// without culling, on a size x size target; the triangles in reverse order when asked.
inline std::shared_ptr<Surface> RenderLitCube(uint32_t size, bool reversed = false)
{
    auto target = MakeSurface(size, size);
    target->AddAttachedSurface(MakeSurface(size, size, FormatId::D16));
    auto dev = Device::Create(target, TestCaps());
    dev->SetRenderState(RS_LIGHTING, 1);
    dev->SetRenderState(RS_ZENABLE, 1);
    dev->SetRenderState(RS_ZWRITEENABLE, 1);
    dev->SetRenderState(RS_CULLMODE, CULL_NONE); // the depth test alone must hide back faces
    dev->SetRenderState(RS_NORMALIZENORMALS, 1);
    dev->SetRenderState(RS_AMBIENT, 0xFF202020u);
    Material m;
    m.diffuse = ColorValue{1, 0.8f, 0.6f, 1};
    m.ambient = ColorValue{1, 1, 1, 1};
    dev->SetMaterial(m);
    Light light;
    light.type = LIGHT_DIRECTIONAL;
    light.diffuse = ColorValue{1, 1, 1, 1};
    light.direction = Vector3{-0.3f, -0.5f, 0.8f};
    dev->SetLight(0, light);
    dev->LightEnable(0, true);
    Matrix ry, rx;
    float a = 0.6f, b = 0.5f;
    ry.m[0][0] = std::cos(a);
    ry.m[0][2] = -std::sin(a);
    ry.m[2][0] = std::sin(a);
    ry.m[2][2] = std::cos(a);
    rx.m[1][1] = std::cos(b);
    rx.m[1][2] = std::sin(b);
    rx.m[2][1] = -std::sin(b);
    rx.m[2][2] = std::cos(b);
    Matrix view;
    view.m[3][2] = 5.0f;
    dev->SetTransform(TS_WORLD, Multiply(ry, rx));
    dev->SetTransform(TS_VIEW, view);
    dev->SetTransform(TS_PROJECTION, Perspective(1.0f, 1.0f, 1.0f, 20.0f));
    dev->Clear(0, nullptr, CLEAR_TARGET | CLEAR_ZBUFFER, 0xFF000000u, 1.0f, 0);
    std::vector<Vertex> verts;
    std::vector<uint16_t> idx;
    MakeCube(verts, idx);
    if (reversed)
        std::reverse(idx.begin(), idx.end());
    dev->DrawIndexedPrimitive(PT_TRIANGLELIST, FVF_VERTEX, verts.data(),
                              static_cast<uint32_t>(verts.size()), idx.data(),
                              static_cast<uint32_t>(idx.size()), 0);
    return target;
}

inline std::vector<uint32_t> ReadAll(Surface& s)
{
    std::vector<uint32_t> out;
    for (uint32_t y = 0; y < s.GetHeight(); ++y)
        for (uint32_t x = 0; x < s.GetWidth(); ++x)
            out.push_back(s.ReadPixel(x, y));
    return out;
}

} // namespace devtest
