// Drawing 200 framework buttons with captions a frame (the graphic, then the caption through its
// text object), beside the same 200 graphics and 200 caption text sprites drawn straight through
// the sprite layer in the same run.
#include "render/display_bench_support.h"
#include "framework/widgets/framework_button.h"
#include "framework/widgets/text_object.h"
#include "platform/files/file_layer.h"
#include "render/renderer/renderer.h"
#include "render/sprites/sprite.h"
#include "render/text/text_sprite.h"
#include "render/textures/texture.h"
#include "script/lua_object_wrapper.h"
#include "script/script.h"
#include "sys/display/presenter/surface_png.h"
#include "ui/window_style.h"

#include <benchmark/benchmark.h>

#include <memory>
#include <vector>

namespace
{
constexpr int kButtons = 200;

float ButtonX(int i)
{
    return static_cast<float>(60 + (i * 37) % 680);
}

float ButtonY(int i)
{
    return static_cast<float>(30 + (i * 53) % 540);
}

// A 96 x 32 button image, kept registered for the run.
const std::vector<uint8_t>& ButtonPng()
{
    static const std::vector<uint8_t> png = []
    {
        std::vector<uint32_t> pixels(96 * 32, 0xFF3060A0u);
        return sys::display::EncodePng(pixels.data(), 96, 32);
    }();
    return png;
}

struct Buttons
{
    TScript mScript;
    std::vector<std::unique_ptr<TVButton>> mButtons;
};

bool MakeButtons(Buttons& out)
{
    const std::vector<uint8_t>& png = ButtonPng();
    RegisterMemoryFileName("bench/button.png", png.data(), static_cast<uint32_t>(png.size()));
    out.mScript.DoLuaString("t = { w = 96, h = 32, buttongraphics = { 'bench/button.png' }, "
                            "text = '#Continue', font = { '', 14, { 1, 1, 1, 1 } } }");
    std::unique_ptr<TLuaTable> table(out.mScript.GetGlobalTable("t"));
    if (table == nullptr)
        return false;
    TWindowStyle style(table.get());
    for (int i = 0; i < kButtons; ++i)
    {
        auto button = std::make_unique<TVButton>();
        button->Init(style);
        button->PostInit(style);
        button->GetTransform().SetX(ButtonX(i));
        button->GetTransform().SetY(ButtonY(i));
        out.mButtons.push_back(std::move(button));
    }
    return !out.mButtons.front()->GetGraphics().empty() && out.mButtons.front()->GetCaption();
}

void BM_FrameworkButtons_Draw200(benchmark::State& state)
{
    TRenderer* renderer = MakeBenchRenderer();
    Buttons buttons;
    if (renderer == nullptr || !MakeButtons(buttons))
    {
        state.SkipWithError("no display");
        return;
    }
    for (auto _ : state)
    {
        renderer->BeginDraw(false);
        renderer->Begin2d();
        for (auto& button : buttons.mButtons)
            button->Draw();
        renderer->End2d();
        renderer->EndFrame(false);
    }
    state.SetItemsProcessed(state.iterations() * kButtons);
    buttons.mButtons.clear();
    TRenderer::DestroyInstance();
}
BENCHMARK(BM_FrameworkButtons_Draw200)->Unit(benchmark::kMicrosecond);

// The peer: the same picture from plain sprites and text sprites.
void BM_SpritesAndTextSprites_Draw200(benchmark::State& state)
{
    TRenderer* renderer = MakeBenchRenderer();
    const std::vector<uint8_t>& png = ButtonPng();
    RegisterMemoryFileName("bench/button.png", png.data(), static_cast<uint32_t>(png.size()));
    auto texture = renderer ? TTexture::Get("bench/button.png", 0) : nullptr;
    if (!texture)
    {
        state.SkipWithError("no display");
        return;
    }
    std::vector<std::shared_ptr<TSprite>> graphics;
    std::vector<std::shared_ptr<TTextSprite>> captions;
    for (int i = 0; i < kButtons; ++i)
    {
        graphics.push_back(TSprite::Create(0, texture));
        graphics.back()->GetSpec().mMatrix.m[2][0] = ButtonX(i) + 48;
        graphics.back()->GetSpec().mMatrix.m[2][1] = ButtonY(i) + 16;
        captions.push_back(TTextSprite::Create(96, 32, 5, TString(), 14, TVec4(1, 1, 1, 1), 0));
        captions.back()->SetText("Continue");
        captions.back()->GetSpec().mMatrix.m[2][0] = ButtonX(i) + 48;
        captions.back()->GetSpec().mMatrix.m[2][1] = ButtonY(i) + 16;
    }
    for (auto _ : state)
    {
        renderer->BeginDraw(false);
        renderer->Begin2d();
        for (int i = 0; i < kButtons; ++i)
        {
            graphics[static_cast<size_t>(i)]->Draw(TDrawSpec(), -1);
            captions[static_cast<size_t>(i)]->Draw(TDrawSpec(), -1);
        }
        renderer->End2d();
        renderer->EndFrame(false);
    }
    state.SetItemsProcessed(state.iterations() * kButtons);
    graphics.clear();
    captions.clear();
    texture.reset();
    TRenderer::DestroyInstance();
}
BENCHMARK(BM_SpritesAndTextSprites_Draw200)->Unit(benchmark::kMicrosecond);
} // namespace
