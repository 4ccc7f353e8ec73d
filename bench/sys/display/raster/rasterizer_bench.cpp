// Rasteriser throughput: aligned 1:1 alpha-blended copies (the common 2-D case), scaled and
// rotated bilinear quads, many small sprites, batches of particles and a synthetic 800x600 frame,
// each beside memcpy's pixel rate measured in the same run ("x_memcpy": the case's pixel rate
// over memcpy's, 4-byte pixels; "memcpy_ms": memcpy of one 800x600 surface).
#include "sys/display/device.h"
#include "sys/display/surface.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstring>
#include <memory>
#include <vector>

using namespace sys::display;

namespace
{

constexpr uint32_t W = 800;
constexpr uint32_t H = 600;
const uint16_t kQuad[6] = {0, 1, 2, 0, 2, 3};

std::shared_ptr<Surface> MakeTarget()
{
    return Surface::Create(W, H, MakePixelFormat(FormatId::X8R8G8B8), CAPS_3DDEVICE);
}

// A texture with a mix of opaque, transparent and half-transparent texels, like sprite art.
std::shared_ptr<Surface> MakeSpriteTexture(uint32_t size)
{
    auto t = Surface::Create(size, size, MakePixelFormat(FormatId::A8R8G8B8), CAPS_TEXTURE);
    for (uint32_t y = 0; y < size; ++y)
    {
        uint32_t* row = reinterpret_cast<uint32_t*>(t->GetRow(y));
        for (uint32_t x = 0; x < size; ++x)
        {
            uint32_t a = ((x / 8 + y / 8) % 3 == 0) ? 0 : ((x + y) % 5 == 0 ? 128 : 255);
            row[x] = a << 24 | ((x * 3) & 0xFF) << 16 | ((y * 5) & 0xFF) << 8 | ((x ^ y) & 0xFF);
        }
    }
    return t;
}

// Every texel partly transparent (alpha 1..254), so every pixel needs a real blend.
std::shared_ptr<Surface> MakeTranslucentTexture(uint32_t size)
{
    auto t = Surface::Create(size, size, MakePixelFormat(FormatId::A8R8G8B8), CAPS_TEXTURE);
    uint32_t seed = 12345;
    for (uint32_t y = 0; y < size; ++y)
    {
        uint32_t* row = reinterpret_cast<uint32_t*>(t->GetRow(y));
        for (uint32_t x = 0; x < size; ++x)
        {
            seed = seed * 1664525u + 1013904223u;
            row[x] = (1 + (seed >> 24) % 254) << 24 | (seed & 0x00FFFFFFu);
        }
    }
    return t;
}

// memcpy of one 800x600 surface of 4-byte pixels, in seconds: the best of several timed runs,
// taken where the case itself is measured, so the ratio holds both under the same load.
double MemcpySeconds()
{
    const size_t bytes = static_cast<size_t>(W) * H * 4;
    std::vector<uint8_t> a(bytes, 1), b(bytes, 2);
    double best = 1e9;
    for (int run = 0; run < 15; ++run)
    {
        auto start = std::chrono::steady_clock::now();
        for (int i = 0; i < 20; ++i)
        {
            std::memcpy(b.data(), a.data(), bytes);
            benchmark::ClobberMemory();
        }
        std::chrono::duration<double> d = std::chrono::steady_clock::now() - start;
        best = std::min(best, d.count() / 20);
    }
    return best;
}

// The case's pixel rate against memcpy's, and memcpy's time for one surface beside it.
void ReportAgainstMemcpy(benchmark::State& state, double pixelsPerIteration, double memcpySeconds)
{
    state.counters["x_memcpy"] = benchmark::Counter(pixelsPerIteration * memcpySeconds / (W * H) *
                                                        static_cast<double>(state.iterations()),
                                                    benchmark::Counter::kIsRate);
    state.counters["memcpy_ms"] = memcpySeconds * 1000.0;
}

// A device in the display code's 2-D state: alpha blend, alpha test >= 1, bilinear, clamp.
std::unique_ptr<Device> Make2dDevice(const std::shared_ptr<Surface>& target)
{
    DeviceDesc caps;
    auto dev = Device::Create(target, caps);
    dev->SetRenderState(RS_LIGHTING, 0);
    dev->SetRenderState(RS_ZENABLE, 0);
    dev->SetRenderState(RS_CULLMODE, CULL_NONE);
    dev->SetRenderState(RS_CLIPPING, 0);
    dev->SetRenderState(RS_ALPHABLENDENABLE, 1);
    dev->SetRenderState(RS_SRCBLEND, BLEND_SRCALPHA);
    dev->SetRenderState(RS_DESTBLEND, BLEND_INVSRCALPHA);
    dev->SetRenderState(RS_ALPHATESTENABLE, 1);
    dev->SetRenderState(RS_ALPHAREF, 1);
    dev->SetRenderState(RS_ALPHAFUNC, CMP_GREATEREQUAL);
    dev->SetTextureStageState(0, TSS_COLOROP, TOP_MODULATE);
    dev->SetTextureStageState(0, TSS_COLORARG1, TA_TEXTURE);
    dev->SetTextureStageState(0, TSS_COLORARG2, TA_CURRENT);
    dev->SetTextureStageState(0, TSS_ALPHAOP, TOP_MODULATE);
    dev->SetTextureStageState(0, TSS_ALPHAARG1, TA_TEXTURE);
    dev->SetTextureStageState(0, TSS_ALPHAARG2, TA_CURRENT);
    dev->SetTextureStageState(0, TSS_MAGFILTER, TFILTER_LINEAR);
    dev->SetTextureStageState(0, TSS_MINFILTER, TFILTER_LINEAR);
    dev->SetTextureStageState(0, TSS_ADDRESS, TADDRESS_CLAMP);
    Matrix p; // 2-D projection with the -0.5 pixel offset
    float l = 0.5f, r = W + 0.5f, t = 0.5f, b = H + 0.5f;
    p.m[0][0] = 2.0f / (r - l);
    p.m[1][1] = 2.0f / (t - b);
    p.m[3][0] = (l + r) / (l - r);
    p.m[3][1] = (t + b) / (b - t);
    dev->SetTransform(TS_PROJECTION, p);
    return dev;
}

// The corners of a sprite quad: centre, size, rotation, texture rectangle.
void QuadCorners(LVertex v[4], float cx, float cy, float w, float h, float angle, float u1,
                 float v1, uint32_t color)
{
    float c = std::cos(angle), s = std::sin(angle);
    const float corners[4][2] = {
        {-w / 2, -h / 2}, {w / 2, -h / 2}, {w / 2, h / 2}, {-w / 2, h / 2}};
    const float uv[4][2] = {{0, 0}, {u1, 0}, {u1, v1}, {0, v1}};
    for (int i = 0; i < 4; ++i)
    {
        float x = corners[i][0] * c - corners[i][1] * s + cx;
        float y = corners[i][0] * s + corners[i][1] * c + cy;
        v[i] = LVertex{x, y, 0.1f, 0.5f, color, 0xFF000000u, uv[i][0], uv[i][1]};
    }
}

// Quads drawn by one draw call, as a sprite or particle renderer sends them.
struct Batch
{
    std::vector<LVertex> mVertices;
    std::vector<uint16_t> mIndices;
    // The quads' triangles as (a, b, c), (a, c, d) round the outline, or as the particle
    // renderer sends them: (a, b, d), (b, c, d), the diagonal from the second corner.
    bool mRendererOrder = false;
    void Add(float cx, float cy, float w, float h, float angle, float u1, float v1,
             uint32_t color = 0xFFFFFFFFu)
    {
        static const uint16_t kRendererOrder[6] = {0, 1, 3, 1, 2, 3};
        const uint16_t base = static_cast<uint16_t>(mVertices.size());
        mVertices.resize(mVertices.size() + 4);
        QuadCorners(&mVertices[base], cx, cy, w, h, angle, u1, v1, color);
        for (uint16_t k : mRendererOrder ? kRendererOrder : kQuad)
            mIndices.push_back(static_cast<uint16_t>(base + k));
    }
    void Draw(Device& dev) const
    {
        dev.DrawIndexedPrimitive(PT_TRIANGLELIST, FVF_LVERTEX, mVertices.data(),
                                 static_cast<uint32_t>(mVertices.size()), mIndices.data(),
                                 static_cast<uint32_t>(mIndices.size()), 0);
    }
};

// One sprite, one draw call.
void Sprite(Device& dev, float cx, float cy, float w, float h, float angle, float u1, float v1,
            uint32_t color = 0xFFFFFFFFu)
{
    LVertex v[4];
    QuadCorners(v, cx, cy, w, h, angle, u1, v1, color);
    dev.DrawIndexedPrimitive(PT_TRIANGLELIST, FVF_LVERTEX, v, 4, kQuad, 6, 0);
}

// The frame's particles: 500 additive quads of `size` pixels, rotated unless they are tiny.
Batch Particles(float size, bool rendererOrder = false)
{
    Batch b;
    b.mRendererOrder = rendererOrder;
    for (int i = 0; i < 500; ++i)
        b.Add(static_cast<float>(20 + (i * 13) % 760), static_cast<float>(20 + (i * 29) % 560),
              size, size, size > 8 ? static_cast<float>(i) * 0.1f : 0.0f, 1, 1, 0x80FFC080u);
    return b;
}

void BM_SurfaceCopy(benchmark::State& state)
{
    auto a = MakeTarget();
    auto b = MakeTarget();
    for (auto _ : state)
    {
        std::memcpy(b->GetBits(), a->GetBits(), static_cast<size_t>(a->GetPitch()) * H);
        benchmark::ClobberMemory();
    }
    state.counters["pix/s"] = benchmark::Counter(static_cast<double>(W * H) * state.iterations(),
                                                 benchmark::Counter::kIsRate);
}
BENCHMARK(BM_SurfaceCopy);

// Arguments: band threads (1: one core), and the art: 0 every texel partly transparent, 1 sprite
// art (opaque, transparent and edge texels).
void BM_AlignedAlphaBlendFullScreen(benchmark::State& state)
{
    auto target = MakeTarget();
    auto texture = state.range(1) == 0 ? MakeTranslucentTexture(1024) : MakeSpriteTexture(1024);
    auto dev = Make2dDevice(target);
    dev->SetRasterThreads(static_cast<uint32_t>(state.range(0)));
    dev->SetTexture(0, texture);
    const double memcpySeconds = MemcpySeconds();
    for (auto _ : state)
        Sprite(*dev, W / 2.0f, H / 2.0f, W, H, 0, W / 1024.0f, H / 1024.0f);
    state.counters["pix/s"] = benchmark::Counter(static_cast<double>(W * H) * state.iterations(),
                                                 benchmark::Counter::kIsRate);
    ReportAgainstMemcpy(state, static_cast<double>(W * H), memcpySeconds);
}
BENCHMARK(BM_AlignedAlphaBlendFullScreen)
    ->Args({1, 0})
    ->Args({1, 1})
    ->Args({4, 0})
    ->Args({4, 1})
    ->UseRealTime();

void BM_ScaledRotatedBilinear(benchmark::State& state)
{
    auto target = MakeTarget();
    auto texture = MakeSpriteTexture(256);
    auto dev = Make2dDevice(target);
    dev->SetRasterThreads(static_cast<uint32_t>(state.range(0)));
    dev->SetTexture(0, texture);
    // 400 x 400 on screen, rotated: about 160000 pixels.
    for (auto _ : state)
        Sprite(*dev, W / 2.0f, H / 2.0f, 400, 400, 0.3f, 1, 1, 0xFFC0FFFFu);
    state.counters["pix/s"] =
        benchmark::Counter(400.0 * 400.0 * state.iterations(), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_ScaledRotatedBilinear)->Arg(1)->Arg(4)->UseRealTime();

void BM_SmallSprites(benchmark::State& state)
{
    auto target = MakeTarget();
    auto texture = MakeSpriteTexture(64);
    auto dev = Make2dDevice(target);
    dev->SetTexture(0, texture);
    for (auto _ : state)
        for (int i = 0; i < 200; ++i)
            Sprite(*dev, static_cast<float>(40 + (i * 37) % 720),
                   static_cast<float>(40 + (i * 53) % 520), 64, 64, 0, 1, 1);
    state.counters["sprites/s"] =
        benchmark::Counter(200.0 * state.iterations(), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_SmallSprites);

// Per-draw cost: sprites so small that the pixels hardly count.
void BM_DrawCallOverhead(benchmark::State& state)
{
    auto target = MakeTarget();
    auto texture = MakeSpriteTexture(16);
    auto dev = Make2dDevice(target);
    dev->SetTexture(0, texture);
    for (auto _ : state)
        for (int i = 0; i < 1000; ++i)
            Sprite(*dev, static_cast<float>(10 + (i * 7) % 780),
                   static_cast<float>(10 + (i * 11) % 580), 2, 2, 0.2f, 1, 1);
    state.counters["draws/s"] =
        benchmark::Counter(1000.0 * state.iterations(), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_DrawCallOverhead);

// 500 additive particles per frame in one draw call. Arguments: particle size (8: unrotated
// 8 x 8, 24: rotated 24 x 24) and band threads.
void BM_ParticleBatch(benchmark::State& state)
{
    auto target = MakeTarget();
    auto particle = MakeSpriteTexture(16);
    auto dev = Make2dDevice(target);
    dev->SetRasterThreads(static_cast<uint32_t>(state.range(1)));
    dev->SetTexture(0, particle);
    dev->SetRenderState(RS_DESTBLEND, BLEND_ONE);
    const Batch batch = Particles(static_cast<float>(state.range(0)));
    for (auto _ : state)
        batch.Draw(*dev);
    state.counters["frames/s"] =
        benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_ParticleBatch)
    ->Args({8, 1})
    ->Args({8, 4})
    ->Args({24, 1})
    ->Args({24, 4})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

// The same on one core with the particle renderer's index order: the unrotated 8 x 8 quads are
// merged from their two triangles, the rotated ones are not.
void BM_ParticleBatchInRendererOrder(benchmark::State& state)
{
    auto target = MakeTarget();
    auto particle = MakeSpriteTexture(16);
    auto dev = Make2dDevice(target);
    dev->SetTexture(0, particle);
    dev->SetRenderState(RS_DESTBLEND, BLEND_ONE);
    const Batch batch = Particles(static_cast<float>(state.range(0)), true);
    for (auto _ : state)
        batch.Draw(*dev);
    state.counters["frames/s"] =
        benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_ParticleBatchInRendererOrder)
    ->Arg(8)
    ->Arg(24)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

// The 3-D path: a lit, textured, depth-tested grid of 32 x 32 quads tilted away in perspective,
// filling most of the screen (the general per-pixel path).
void BM_Lit3dGrid(benchmark::State& state)
{
    auto target = MakeTarget();
    auto depth = Surface::Create(W, H, MakePixelFormat(FormatId::D16), CAPS_ZBUFFER);
    target->AddAttachedSurface(depth);
    DeviceDesc caps;
    auto dev = Device::Create(target, caps);
    dev->SetTexture(0, MakeSpriteTexture(256));
    dev->SetTextureStageState(0, TSS_MAGFILTER, TFILTER_LINEAR);
    dev->SetTextureStageState(0, TSS_MINFILTER, TFILTER_LINEAR);
    dev->SetTextureStageState(0, TSS_MIPFILTER, TFP_NONE);
    dev->SetRenderState(RS_ZENABLE, 1);
    dev->SetRenderState(RS_CULLMODE, CULL_NONE);
    dev->SetRenderState(RS_NORMALIZENORMALS, 1);
    dev->SetRenderState(RS_AMBIENT, 0xFF303030u);
    Material m;
    m.diffuse = ColorValue{1, 1, 1, 1};
    m.ambient = ColorValue{1, 1, 1, 1};
    dev->SetMaterial(m);
    Light light;
    light.type = LIGHT_DIRECTIONAL;
    light.diffuse = ColorValue{1, 1, 1, 1};
    light.direction = Vector3{0.2f, -0.6f, 0.7f};
    dev->SetLight(0, light);
    dev->LightEnable(0, true);
    Matrix proj;
    float zn = 1, zf = 50, h = 1.0f / std::tan(0.5f);
    proj.m[0][0] = h * H / W;
    proj.m[1][1] = h;
    proj.m[2][2] = zf / (zf - zn);
    proj.m[2][3] = 1;
    proj.m[3][2] = -zn * zf / (zf - zn);
    proj.m[3][3] = 0;
    dev->SetTransform(TS_PROJECTION, proj);
    std::vector<Vertex> verts;
    std::vector<uint16_t> idx;
    const int n = 32;
    for (int j = 0; j <= n; ++j)
        for (int i = 0; i <= n; ++i)
        {
            float x = -4.0f + 8.0f * i / n, z = 2.0f + 8.0f * j / n;
            verts.push_back(
                Vertex{x, -1.0f + 0.1f * std::sin(x * 2), z, 0, 1, 0, i / 4.0f, j / 4.0f});
        }
    for (int j = 0; j < n; ++j)
        for (int i = 0; i < n; ++i)
        {
            uint16_t a = static_cast<uint16_t>(j * (n + 1) + i);
            uint16_t b = static_cast<uint16_t>(a + 1), c = static_cast<uint16_t>(a + n + 2),
                     d = static_cast<uint16_t>(a + n + 1);
            for (uint16_t k : {a, b, c, a, c, d})
                idx.push_back(k);
        }
    uint64_t before = dev->GetPixelCount();
    for (auto _ : state)
    {
        dev->Clear(0, nullptr, CLEAR_TARGET | CLEAR_ZBUFFER, 0xFF000000u, 1.0f, 0);
        dev->DrawIndexedPrimitive(PT_TRIANGLELIST, FVF_VERTEX, verts.data(),
                                  static_cast<uint32_t>(verts.size()), idx.data(),
                                  static_cast<uint32_t>(idx.size()), 0);
    }
    state.counters["pix/s"] = benchmark::Counter(static_cast<double>(dev->GetPixelCount() - before),
                                                 benchmark::Counter::kIsRate);
}
BENCHMARK(BM_Lit3dGrid);

// The synthetic 800x600 frame: 4 full-screen layers, 200 sprites of 64x64 and 500 rotated
// additive particle quads of 24x24. Arguments: band threads, and which parts to draw (bit 0
// layers, bit 1 sprites, bit 2 particles; bit 3: sprites and particles batched, one draw call
// for each, as the renderer sends them, rather than one draw call per quad).
void BM_SyntheticFrame(benchmark::State& state)
{
    auto target = MakeTarget();
    auto layer = MakeSpriteTexture(1024);
    auto sprite = MakeSpriteTexture(64);
    auto particle = MakeSpriteTexture(16);
    auto dev = Make2dDevice(target);
    dev->SetRasterThreads(static_cast<uint32_t>(state.range(0)));
    const int64_t parts = state.range(1);
    const bool batched = (parts & 8) != 0;
    Batch sprites;
    for (int i = 0; i < 200; ++i)
        sprites.Add(static_cast<float>(40 + (i * 37) % 720),
                    static_cast<float>(40 + (i * 53) % 520), 64, 64, 0, 1, 1);
    const Batch particles = Particles(24);
    const double memcpySeconds = MemcpySeconds();
    for (auto _ : state)
    {
        dev->SetRenderState(RS_SRCBLEND, BLEND_SRCALPHA);
        dev->SetRenderState(RS_DESTBLEND, BLEND_INVSRCALPHA);
        if (parts & 1)
        {
            dev->SetTexture(0, layer);
            for (int i = 0; i < 4; ++i)
                Sprite(*dev, W / 2.0f, H / 2.0f, W, H, 0, W / 1024.0f, H / 1024.0f);
        }
        if (parts & 2)
        {
            dev->SetTexture(0, sprite);
            if (batched)
                sprites.Draw(*dev);
            else
                for (int i = 0; i < 200; ++i)
                    Sprite(*dev, static_cast<float>(40 + (i * 37) % 720),
                           static_cast<float>(40 + (i * 53) % 520), 64, 64, 0, 1, 1);
        }
        if (parts & 4)
        {
            dev->SetTexture(0, particle);
            dev->SetRenderState(RS_DESTBLEND, BLEND_ONE);
            if (batched)
                particles.Draw(*dev);
            else
                for (int i = 0; i < 500; ++i)
                    Sprite(*dev, static_cast<float>(20 + (i * 13) % 760),
                           static_cast<float>(20 + (i * 29) % 560), 24, 24,
                           static_cast<float>(i) * 0.1f, 1, 1, 0x80FFC080u);
        }
    }
    state.counters["frames/s"] =
        benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
    state.counters["memcpy_ms"] = memcpySeconds * 1000.0;
}
BENCHMARK(BM_SyntheticFrame)
    ->Args({1, 7})
    ->Args({4, 7})
    ->Args({1, 15})
    ->Args({4, 15})
    ->Args({1, 1})
    ->Args({4, 1})
    ->Args({1, 2})
    ->Args({1, 4})
    ->Args({1, 10})
    ->Args({4, 10})
    ->Args({1, 12})
    ->Args({4, 12})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

} // namespace
