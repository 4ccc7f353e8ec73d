// Vector text: glyphs per second of a line at 16 and 48 px, replayed from the warm run cache
// against converted cold (a new rasteriser each pass, same text, same run); and the same line
// written into a texture against drawn as line lists on the display stand-in's device.
#include "render/text/vector_font.h"
#include "render/text/vector_rasteriser.h"
#include "sys/display/device.h"
#include "sys/display/pixel_format.h"
#include "sys/display/surface.h"

#include <benchmark/benchmark.h>

#include <cstring>
#include <memory>
#include <vector>

namespace
{

using namespace sys::display;

const char* const kLine = "The quick brown fox jumps over the lazy dog 0123456789";

const TVectorFont& Font()
{
    static TVectorFont font;
    if (font.GetGlyphCount() == 0)
        font.LoadBuiltin();
    return font;
}

class NullDevice : public TVecDrawDevice
{
public:
    void SetNoTexture() override {}
    void DrawLineList(const TVecVertex*, int count) override { mVertices += count; }
    void SetDirty() override {}
    std::shared_ptr<TVecDrawTexture> CreateRenderTarget(int, int) override { return nullptr; }
    bool BeginRenderTarget(const std::shared_ptr<TVecDrawTexture>&) override { return false; }
    void EndRenderTarget() override {}
    int64_t mVertices = 0;
};

class PixelTexture : public TVecDrawTexture
{
public:
    int GetWidth() const override { return 1024; }
    int GetHeight() const override { return 128; }
    bool Lock(uint32_t*& pixels, int& pitch) override
    {
        pixels = mPixels.data();
        pitch = 1024;
        return true;
    }
    void Unlock() override {}
    std::vector<uint32_t> mPixels = std::vector<uint32_t>(1024 * 128);
};

// The stand-in's device drawing the line lists, alpha-blended and untextured.
class StandInDevice : public NullDevice
{
public:
    StandInDevice()
    {
        mTarget = Surface::Create(1024, 128, MakePixelFormat(FormatId::A8R8G8B8),
                                  CAPS_SYSTEMMEMORY | CAPS_3DDEVICE);
        DeviceDesc caps;
        mDevice = Device::Create(mTarget, caps);
        mDevice->SetRenderState(RS_LIGHTING, 0);
        mDevice->SetRenderState(RS_ZENABLE, 0);
        mDevice->SetRenderState(RS_ALPHABLENDENABLE, 1);
        mDevice->SetRenderState(RS_SRCBLEND, BLEND_SRCALPHA);
        mDevice->SetRenderState(RS_DESTBLEND, BLEND_INVSRCALPHA);
        mDevice->SetTextureStageState(0, TSS_COLOROP, TOP_SELECTARG1);
        mDevice->SetTextureStageState(0, TSS_COLORARG1, TA_DIFFUSE);
        mDevice->SetTextureStageState(0, TSS_ALPHAOP, TOP_SELECTARG1);
        mDevice->SetTextureStageState(0, TSS_ALPHAARG1, TA_DIFFUSE);
    }
    void DrawLineList(const TVecVertex* v, int count) override
    {
        mDevice->DrawPrimitive(PT_LINELIST, FVF_TLVERTEX, v, static_cast<uint32_t>(count), 0);
    }
    std::shared_ptr<Surface> mTarget;
    std::unique_ptr<Device> mDevice;
};

int DrawLine(TQmMiniVecDraw& draw, float size, const std::shared_ptr<TVecDrawTexture>& target)
{
    const TVectorFont& font = Font();
    float scale = size * 4 * VectorFontBodyRatio / (font.GetAscent() + font.GetDescent());
    draw.SetScale(scale, scale);
    draw.BeginDraw(4, size, target);
    float pen = 0;
    int glyphs = 0;
    for (const char* c = kLine; *c != '\0'; ++c, ++glyphs)
    {
        int g = font.FindGlyph(static_cast<uint8_t>(*c));
        draw.DrawGlyph(font.GetGlyphData(g), font.GetGlyphDataSize(g), static_cast<int>(pen), 0);
        pen += font.GetGlyphMetricA(g) * scale;
    }
    draw.Flush();
    return glyphs;
}

void BM_VectorText_Warm(benchmark::State& state)
{
    NullDevice device;
    TQmMiniVecDraw draw(&device);
    float size = static_cast<float>(state.range(0));
    DrawLine(draw, size, nullptr);
    int64_t glyphs = 0;
    for (auto _ : state)
        glyphs += DrawLine(draw, size, nullptr);
    state.SetItemsProcessed(glyphs);
}

void BM_VectorText_Cold(benchmark::State& state)
{
    NullDevice device;
    float size = static_cast<float>(state.range(0));
    int64_t glyphs = 0;
    for (auto _ : state)
    {
        TQmMiniVecDraw draw(&device);
        glyphs += DrawLine(draw, size, nullptr);
    }
    state.SetItemsProcessed(glyphs);
}

void BM_VectorText_IntoTexture(benchmark::State& state)
{
    NullDevice device;
    TQmMiniVecDraw draw(&device);
    auto texture = std::make_shared<PixelTexture>();
    float size = static_cast<float>(state.range(0));
    int64_t glyphs = 0;
    for (auto _ : state)
        glyphs += DrawLine(draw, size, texture);
    state.SetItemsProcessed(glyphs);
}

void BM_VectorText_ThroughDevice(benchmark::State& state)
{
    StandInDevice device;
    TQmMiniVecDraw draw(&device);
    float size = static_cast<float>(state.range(0));
    int64_t glyphs = 0;
    for (auto _ : state)
        glyphs += DrawLine(draw, size, nullptr);
    state.SetItemsProcessed(glyphs);
}

} // namespace

BENCHMARK(BM_VectorText_Warm)->Arg(16)->Arg(48);
BENCHMARK(BM_VectorText_Cold)->Arg(16)->Arg(48);
BENCHMARK(BM_VectorText_IntoTexture)->Arg(16)->Arg(48);
BENCHMARK(BM_VectorText_ThroughDevice)->Arg(16)->Arg(48);
