// Inventory objects: a strip of 30 incomplete objects (two parts found, a 56-pixel bar) drawn,
// beside the same number of sprite draws made directly; and 100 objects' per-frame update with
// their rollovers toggling every frame.
#include "../render/display_bench_support.h"
#include "framework/adventure/inventory/gameplay_inventory.h"
#include "framework/core/delta_time.h"
#include "framework/transforms/transform_manager.h"
#include "platform/files/file_layer.h"
#include "render/sprites/animated_texture.h"
#include "render/sprites/sprite.h"
#include "render/textures/texture.h"
#include "script/lua_object_wrapper.h"
#include "script/script.h"
#include "sys/display/surface_png.h"

#include <benchmark/benchmark.h>

#include <list>
#include <memory>
#include <string>
#include <vector>

namespace
{
constexpr int kStrip = 30;
constexpr int kSide = 32;

// The pictures, kept alive while registered as memory files.
struct Files
{
    Files()
    {
        std::vector<uint32_t> sheet(static_cast<size_t>(kSide) * 4 * kSide, 0);
        for (int y = 0; y < kSide; ++y)
            for (int x = 0; x < kSide; ++x)
            {
                const size_t row = static_cast<size_t>(y) * 4 * kSide;
                sheet[row + x] = 0xFFE08020;
                sheet[row + kSide + x] = 0xFF606060;
                sheet[row + 2 * kSide + x] = x < kSide / 2 ? 0xFF20C020 : 0;
                sheet[row + 3 * kSide + x] = x >= kSide / 2 ? 0xFF2040E0 : 0;
            }
        Png("bench/inv.png", sheet, 4 * kSide, kSide);
        std::string xml = "<sequence><img w=\"128\" h=\"32\" regx=\"16\" regy=\"16\" "
                          "name=\"inv.png\"/><framelist>";
        for (int f = 0; f < 4; ++f)
            xml += "<frame x=\"" + std::to_string(f * kSide) + "\" y=\"0\" w=\"32\" h=\"32\"/>";
        Add("bench/inv.xml", xml + "</framelist></sequence>");
        Png("bench/inv_glow.png", std::vector<uint32_t>(kSide * kSide, 0xFFFFFFFF), kSide, kSide);
        Png("bench/l.png", std::vector<uint32_t>(18, 0xFFC0C0C0), 3, 6);
        Png("bench/c.png", std::vector<uint32_t>(6, 0xFF808080), 1, 6);
        Png("bench/f.png", std::vector<uint32_t>(4, 0xFFFFD000), 1, 4);
        Png("bench/fe.png", std::vector<uint32_t>(12, 0xFFFFFF00), 3, 4);
    }
    void Png(const std::string& name, const std::vector<uint32_t>& pixels, uint32_t w, uint32_t h)
    {
        std::vector<uint8_t> png = sys::display::EncodePng(pixels.data(), w, h);
        Add(name, std::string(png.begin(), png.end()));
    }
    void Add(const std::string& name, const std::string& bytes)
    {
        mBytes.push_back(bytes);
        RegisterMemoryFileName(name.c_str(), mBytes.back().data(),
                               static_cast<uint32_t>(mBytes.back().size()));
    }
    std::list<std::string> mBytes;
};

struct Strip
{
    explicit Strip(int count)
    {
        static Files files;
        mScript.DoLuaString(
            "_s = { imagemask = '_glow', barwidth = 56, bary = 20, barfilly = 1, "
            "frameleft = 'bench/l', framecenter = 'bench/c', frameright = 'bench/l', "
            "fillleft = 'bench/fe', fillcenter = 'bench/f', fillright = 'bench/fe', "
            "silhouettealpha = 0.5, timerolloverglow = 100, timerolloveroffset = 100, "
            "offsetrollovery = -6, filltime = 0 }");
        std::unique_ptr<TLuaTable> shared(mScript.GetGlobalTable("_s"));
        for (int i = 0; i < count; ++i)
        {
            mScript.DoLuaString(("_o = { name = 'o" + std::to_string(i) +
                                 "', image = 'bench/inv', partcount = 3, y = 300, x = " +
                                 std::to_string(20 + (i * 26) % 760) + " }")
                                    .c_str());
            std::unique_ptr<TLuaTable> object(mScript.GetGlobalTable("_o"));
            auto made = std::make_unique<GameplayInventory>(*object, *shared);
            made->Init(*object, *shared);
            made->PlaceInHud(nullptr, false);
            made->AddPart(1, true);
            made->AddPart(2, true);
            mObjects.push_back(std::move(made));
        }
        Frame(1);
        Frame(1);
    }
    void Frame(uint32_t ms)
    {
        mNow += ms;
        mClock.SetFrameTime(mNow);
        mClock.SetStep(ms);
        mTransforms.Update();
    }

    TScript mScript;
    DeltaTime mClock;
    TransformManager mTransforms;
    uint32_t mNow = 1000;
    std::vector<std::unique_ptr<GameplayInventory>> mObjects;
};

void BM_Inventory_DrawStripLookD(benchmark::State& state)
{
    TRenderer* renderer = MakeBenchRenderer();
    if (renderer == nullptr)
    {
        state.SkipWithError("no display");
        return;
    }
    Strip strip(kStrip);
    if (strip.mObjects[0]->GetImageSprite()->GetTexture() == nullptr)
    {
        state.SkipWithError("no picture");
        return;
    }
    for (auto _ : state)
    {
        renderer->BeginDraw(false);
        renderer->Begin2d();
        for (const auto& object : strip.mObjects)
            object->Draw(TDrawSpec());
        renderer->End2d();
        renderer->EndFrame(false);
    }
}
BENCHMARK(BM_Inventory_DrawStripLookD)->Unit(benchmark::kMicrosecond);

// The same draws made directly: per object the four picture frames, both bar ends, the left
// fill end, 56 frame columns and 37 fill columns (two thirds of 56).
void BM_Inventory_DrawStripDirectSprites(benchmark::State& state)
{
    TRenderer* renderer = MakeBenchRenderer();
    if (renderer == nullptr)
    {
        state.SkipWithError("no display");
        return;
    }
    Strip strip(1);
    auto picture = TAnimatedSprite::Create(0);
    picture->SetTexture(TAnimatedTexture::Get("bench/inv"));
    auto end = TSprite::Create(0, TTexture::Get("bench/l", 0));
    auto column = TSprite::Create(0, TTexture::Get("bench/c", 0));
    auto fill = TSprite::Create(0, TTexture::Get("bench/f", 0));
    auto fillEnd = TSprite::Create(0, TTexture::Get("bench/fe", 0));
    for (auto* sprite : {end.get(), column.get(), fill.get(), fillEnd.get()})
        sprite->GetSpec().mFlags |= kDrawOrigin;
    const int fillColumns = static_cast<int>(56.0f * 2.0f / 3.0f) + 1;
    for (auto _ : state)
    {
        renderer->BeginDraw(false);
        renderer->Begin2d();
        for (int i = 0; i < kStrip; ++i)
        {
            const TDrawSpec at(TVec2(static_cast<float>(20 + (i * 26) % 760), 300.0f));
            for (int frame : {1, 0, 3, 2})
            {
                picture->SetFrame(frame);
                picture->Draw(at, 0);
            }
            const TDrawSpec bar = TDrawSpec(TVec2(-31, 20)).Combine(at);
            end->Draw(bar, 0);
            fillEnd->Draw(bar, 0);
            for (int c = 0; c < 56; ++c)
            {
                const TDrawSpec x = TDrawSpec(TVec2(static_cast<float>(c + 3), 0)).Combine(bar);
                column->Draw(x, 0);
                if (c < fillColumns)
                    fill->Draw(x, 0);
            }
            end->Draw(TDrawSpec(TVec2(59, 0)).Combine(bar), 0);
        }
        renderer->End2d();
        renderer->EndFrame(false);
    }
}
BENCHMARK(BM_Inventory_DrawStripDirectSprites)->Unit(benchmark::kMicrosecond);

// 100 objects, every one's rollover turned the other way each frame; the transform manager's
// step included.
void BM_Inventory_Update100Rollovers(benchmark::State& state)
{
    TRenderer* renderer = MakeBenchRenderer();
    if (renderer == nullptr)
    {
        state.SkipWithError("no display");
        return;
    }
    Strip strip(100);
    bool hovered = true;
    for (auto _ : state)
    {
        for (const auto& object : strip.mObjects)
        {
            object->SetHovered(hovered);
            object->Update(16);
        }
        strip.Frame(16);
        hovered = !hovered;
    }
}
BENCHMARK(BM_Inventory_Update100Rollovers)->Unit(benchmark::kMicrosecond);

} // namespace
