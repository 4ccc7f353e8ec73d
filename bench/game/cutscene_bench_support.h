// Shared by the cut-scene benchmarks: the headless display with the text rasteriser, flat images
// served as memory files, script tables and frames opened on the back buffer.
#pragma once

#include "framework/core/delta_time.h"
#include "platform/files/file_layer.h"
#include "render/display_bench_support.h"
#include "render/text/text_layout.h"
#include "render/text/vector_draw_renderer.h"
#include "render/text/vector_rasteriser.h"
#include "script/lua_object_wrapper.h"
#include "script/script.h"
#include "sys/display/presenter/surface_png.h"

#include <list>
#include <memory>
#include <string>
#include <vector>

namespace cutscenebench
{

class Bench
{
public:
    Bench()
    {
        mRenderer = MakeBenchRenderer();
        mRasteriser = std::make_unique<TQmMiniVecDraw>(&mDevice);
        SetTextRasteriser(mRasteriser.get());
    }
    ~Bench()
    {
        for (const std::string& name : mNames)
            RegisterMemoryFileName(name.c_str(), nullptr, 0);
        SetTextRasteriser(nullptr);
        TRenderer::DestroyInstance();
    }
    std::unique_ptr<TLuaTable> Table(const std::string& lua)
    {
        mScript.DoLuaString(("_t = " + lua).c_str());
        return std::unique_ptr<TLuaTable>(mScript.GetGlobalTable("_t"));
    }
    bool BeginFrame()
    {
        return mRenderer != nullptr && mRenderer->BeginDraw(false) && mRenderer->Begin2d();
    }
    void EndFrame()
    {
        mRenderer->End2d();
        mRenderer->EndFrame(false);
    }

    TRenderer* mRenderer = nullptr;
    TScript mScript;
    DeltaTime mClock;

    // A w x h image of one colour, or of the painter's colours (ARGB), as a PNG memory file.
    void Image(const std::string& name, uint32_t w, uint32_t h, uint32_t argb)
    {
        std::vector<uint32_t> pixels(static_cast<size_t>(w) * h, argb);
        File(name + ".png", pixels, w, h);
    }
    template <class Paint>
    void Painted(const std::string& name, uint32_t w, uint32_t h, Paint paint)
    {
        std::vector<uint32_t> pixels;
        for (uint32_t y = 0; y < h; ++y)
            for (uint32_t x = 0; x < w; ++x)
                pixels.push_back(paint(x, y));
        File(name + ".png", pixels, w, h);
    }
    void File(const std::string& name, const std::string& bytes)
    {
        mFiles.push_back(bytes);
        mNames.push_back(name);
        RegisterMemoryFileName(mNames.back().c_str(), mFiles.back().data(),
                               static_cast<uint32_t>(mFiles.back().size()));
    }

    // The aged look's images of a 600 x 400 cell under "cell/": overlay, trim, gradient, two
    // grain frames and three blotches with their description.
    void AgedLook()
    {
        Painted("cell/overlay", 600, 400,
                [](uint32_t x, uint32_t y)
                { return (x < 8 || y < 8 || x >= 592 || y >= 392) ? 0xFF141414u : 0u; });
        Painted("cell/trim", 600, 400,
                [](uint32_t x, uint32_t y)
                { return (x < 12 || y < 12 || x >= 588 || y >= 388) ? 0u : 0xFFFFFFFFu; });
        Painted("cell/gradient", 600, 400,
                [](uint32_t, uint32_t y) { return (y * 255 / 800) << 24; });
        for (int i = 0; i < 2; ++i)
            Painted("cell/static" + std::to_string(i), 600, 400,
                    [i](uint32_t x, uint32_t y)
                    { return ((x * 7 + y * 13 + i) % 29 == 0) ? 0xFFFFFFFFu : 0u; });
        Image("cell/blotches", 192, 64, 0xC0302010u);
        File("cell/blotches.xml",
             "<sequence name=\"b\"><img regx=\"32\" regy=\"32\" w=\"192\" h=\"64\" "
             "name=\"blotches.png\" mask=\"\"/><framelist>"
             "<frame x=\"0\" y=\"0\" w=\"64\" h=\"64\"/><frame x=\"64\" y=\"0\" w=\"64\" "
             "h=\"64\"/><frame x=\"128\" y=\"0\" w=\"64\" h=\"64\"/></framelist></sequence>");
    }

private:
    void File(const std::string& name, const std::vector<uint32_t>& pixels, uint32_t w, uint32_t h)
    {
        std::vector<uint8_t> png = sys::display::EncodePng(pixels.data(), w, h);
        File(name, std::string(png.begin(), png.end()));
    }

    TRendererVecDrawDevice mDevice;
    std::unique_ptr<TQmMiniVecDraw> mRasteriser;
    std::list<std::string> mFiles;
    std::vector<std::string> mNames;
};

} // namespace cutscenebench
