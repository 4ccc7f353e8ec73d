// The mask sprite's overlap scan of two 256 x 256 masks over each other with no solid pair (the
// worst case: every row is read) beside a plain byte loop over the same bytes; and the rotated copy
// made at a new angle each time beside a memcpy of the base mask's bytes.
#include "render/display_bench_support.h"
#include "framework/widgets/mask_collision_sprite.h"
#include "render/textures/texture.h"

#include <benchmark/benchmark.h>

#include <cstring>
#include <memory>
#include <vector>

namespace
{
constexpr int kSide = 256;

// Solid where (x + y) has the given parity: two masks of opposite parity never share a texel.
std::shared_ptr<MaskCollisionSprite> Checkered(int parity)
{
    auto texture = TTexture::Create(kSide, kSide, true);
    uint32_t* texels = nullptr;
    int pitch = 0;
    if (!texture || !texture->Lock(texels, pitch))
        return nullptr;
    for (int y = 0; y < kSide; ++y)
        for (int x = 0; x < kSide; ++x)
            texels[y * pitch + x] = ((x + y) & 1) == parity ? 0xFFFFFFFFu : 0u;
    texture->Unlock();
    auto sprite = MaskCollisionSprite::Create();
    sprite->CreateMask(texture);
    return sprite;
}

struct Pair
{
    Pair() : renderer(MakeBenchRenderer()), a(Checkered(0)), b(Checkered(1)) {}
    TRenderer* renderer;
    std::shared_ptr<MaskCollisionSprite> a;
    std::shared_ptr<MaskCollisionSprite> b;
    TDrawSpec at{TVec2(kSide / 2, kSide / 2)};
};

void BM_Mask_CollidesWith256(benchmark::State& state)
{
    Pair pair;
    if (!pair.a || !pair.b)
    {
        state.SkipWithError("no display");
        return;
    }
    for (auto _ : state)
        benchmark::DoNotOptimize(pair.a->CollidesWith(pair.at, pair.at, pair.b));
    state.SetBytesProcessed(state.iterations() * kSide * kSide * 2);
}
BENCHMARK(BM_Mask_CollidesWith256)->Unit(benchmark::kMicrosecond);

void BM_Mask_PlainByteLoop256(benchmark::State& state)
{
    Pair pair;
    if (!pair.a || !pair.b)
    {
        state.SkipWithError("no display");
        return;
    }
    const uint8_t* a = pair.a->GetMask();
    const uint8_t* b = pair.b->GetMask();
    for (auto _ : state)
    {
        bool found = false;
        for (int y = 0; y < kSide && !found; ++y)
            for (int x = 0; x < kSide; ++x)
                if (a[y * kSide + x] != 0 && b[y * kSide + x] != 0)
                {
                    found = true;
                    break;
                }
        benchmark::DoNotOptimize(found);
    }
    state.SetBytesProcessed(state.iterations() * kSide * kSide * 2);
}
BENCHMARK(BM_Mask_PlainByteLoop256)->Unit(benchmark::kMicrosecond);

void BM_Mask_UpdateTransformedMask256(benchmark::State& state)
{
    Pair pair;
    if (!pair.a)
    {
        state.SkipWithError("no display");
        return;
    }
    float angle = 0.1f;
    for (auto _ : state)
    {
        TDrawSpec spec = pair.at;
        spec.mMatrix.Rotate(angle);
        angle += 0.001f;
        pair.a->UpdateTransformedMask(spec);
        benchmark::DoNotOptimize(pair.a->GetMask());
    }
    state.SetBytesProcessed(state.iterations() * kSide * kSide);
}
BENCHMARK(BM_Mask_UpdateTransformedMask256)->Unit(benchmark::kMicrosecond);

void BM_Mask_MemcpyBaseMask256(benchmark::State& state)
{
    Pair pair;
    if (!pair.a)
    {
        state.SkipWithError("no display");
        return;
    }
    std::vector<uint8_t> copy(kSide * kSide);
    for (auto _ : state)
    {
        std::memcpy(copy.data(), pair.a->GetBaseMask(), copy.size());
        benchmark::DoNotOptimize(copy.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(state.iterations() * kSide * kSide);
}
BENCHMARK(BM_Mask_MemcpyBaseMask256)->Unit(benchmark::kMicrosecond);
} // namespace
