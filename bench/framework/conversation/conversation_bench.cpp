// Conversations: the worst text fit of one line (a 500-byte text of short broken lines, which
// never fits a 200 x 60 box, from size 48 down to 4) beside one layout of it, and a frame of three
// characters with the speaker's bubble and text over the black scrim beside the same images, text
// and quad drawn bare.
#include "render/display_bench_support.h"
#include "framework/conversation/conversation_controller.h"
#include "framework/core/delta_time.h"
#include "framework/transforms/transform_manager.h"
#include "platform/files/file_layer.h"
#include "render/renderer/renderer.h"
#include "render/text/text_sprite.h"
#include "render/textures/texture.h"
#include "script/lua_object_wrapper.h"
#include "script/script.h"

#include <benchmark/benchmark.h>
#include <png.h>

#include <list>
#include <memory>
#include <string>
#include <vector>

namespace
{

std::string LongLine()
{
    std::string text;
    while (text.size() < 500)
        text += "Down the mill steps,<br>";
    text.resize(500);
    return text;
}

std::shared_ptr<TTextSprite> MakeBox()
{
    auto box = TTextSprite::Create(200, 60, 1, "", 48, TVec4(0, 0, 0, 1), 0);
    box->SetText(LongLine().c_str());
    return box;
}

void BM_ConversationWorstShrink(benchmark::State& state)
{
    auto box = MakeBox();
    int32_t reached = 0;
    for (auto _ : state)
        reached = ConversationCharacter::FitText(*box, 48);
    state.counters["size_reached"] = reached;
    state.counters["layouts"] = 48 - reached + 1;
}
BENCHMARK(BM_ConversationWorstShrink)->Unit(benchmark::kMillisecond);

// The peer: one layout of the same text at one size.
void BM_ConversationOneLayout(benchmark::State& state)
{
    auto box = MakeBox();
    int32_t size = 47;
    for (auto _ : state)
    {
        // Two sizes in turn, so every pass lays the text out anew.
        size = size == 47 ? 48 : 47;
        box->SetFontSize(size);
        benchmark::DoNotOptimize(box->CountFittingLines(TDrawSpec()));
    }
}
BENCHMARK(BM_ConversationOneLayout)->Unit(benchmark::kMillisecond);

// Images kept registered as memory files for the length of the run.
class Images
{
public:
    Images()
    {
        Add("conv/ann.png", 120, 240, 0xFF3080E0u);
        Add("conv/ben.png", 140, 260, 0xFF40C080u);
        Add("conv/bubble.png", 260, 110, 0xE6F0F0E8u);
    }
    ~Images()
    {
        for (const auto& name : mNames)
            RegisterMemoryFileName(name.c_str(), nullptr, 0);
    }

private:
    void Add(const std::string& name, uint32_t w, uint32_t h, uint32_t argb)
    {
        std::vector<uint8_t> rgba;
        for (uint32_t y = 0; y < h; ++y)
            for (uint32_t x = 0; x < w; ++x)
            {
                const uint8_t shade = static_cast<uint8_t>((x + y) & 31);
                rgba.insert(rgba.end(),
                            {static_cast<uint8_t>((argb >> 16) - shade),
                             static_cast<uint8_t>((argb >> 8) - shade),
                             static_cast<uint8_t>(argb - shade), static_cast<uint8_t>(argb >> 24)});
            }
        png_image image{};
        image.version = PNG_IMAGE_VERSION;
        image.width = w;
        image.height = h;
        image.format = PNG_FORMAT_RGBA;
        png_alloc_size_t size = 0;
        png_image_write_to_memory(&image, nullptr, &size, 0, rgba.data(), 0, nullptr);
        std::string bytes(size, '\0');
        png_image_write_to_memory(&image, bytes.data(), &size, 0, rgba.data(), 0, nullptr);
        mBytes.push_back(bytes);
        mNames.push_back(name);
        RegisterMemoryFileName(name.c_str(), mBytes.back().data(),
                               static_cast<uint32_t>(mBytes.back().size()));
    }
    std::list<std::string> mBytes;
    std::vector<std::string> mNames;
};

const char* kCharacters =
    "chars = { scrim = { maxalpha = 0.6, fadetime = 300 }, conversation_info = {},"
    " characterspacing = 40,"
    " info = { image = 'conv/bubble', alphabubblefade = 1,"
    "   bounds = { w = 220, h = 80 }, flags = 5, textx = 130, texty = 55 },"
    " ann = { name = 'ann', image = 'conv/ann', left = true, groupid = 1, xhome = 220,"
    "   xcenter = 60, y = 600, font = { '', 18, { 0, 0, 0, 1 } }, bubblex = 40 },"
    " cat = { name = 'cat', image = 'conv/ben', left = true, groupid = 2, xhome = 220,"
    "   xcenter = 70, y = 580, font = { '', 18, { 0, 0, 0, 1 } } },"
    " ben = { name = 'ben', image = 'conv/ben', flip = true, groupid = 1, xhome = 240,"
    "   xcenter = 70, y = 600, font = { '', 18, { 0, 0, 0, 1 } } } }";

struct Stage
{
    Images mImages;
    TScript mScript;
    DeltaTime mClock;
    TransformManager mTransforms;
    std::unique_ptr<ConversationController> mController;

    // Three characters at their places, the speaker's bubble fully in with its line fitted.
    bool Build()
    {
        mScript.DoLuaString("conv = { a = { charactertospeak = 'ann', "
                            "characterstoshow = { 'cat', 'ann', 'ben' } } }");
        mScript.DoLuaString(kCharacters);
        std::unique_ptr<TLuaTable> conv(mScript.GetGlobalTable("conv"));
        std::unique_ptr<TLuaTable> chars(mScript.GetGlobalTable("chars"));
        mController = std::make_unique<ConversationController>(*conv, *chars);
        if (!mController->mLoaded || mController->mCharacters.size() != 3)
            return false;
        mController->StartConversation("a", nullptr, "", nullptr);
        for (uint32_t t = 16; t < 2000; t += 16)
        {
            mClock.SetFrameTime(t);
            mTransforms.Update();
        }
        ConversationCharacter* ann = mController->FindCharacter("ann");
        if (ann == nullptr || !ann->mComplete)
            return false;
        ann->Speak("Whatever waits below the old mill wheel, we go down together.", "", nullptr);
        mTransforms.RemoveAll();
        ann->mBubbleTransform.SetAlpha(1);
        mController->mScrimTransform.SetAlpha(0.6f);
        return true;
    }
};

void DrawBare(TRenderer& renderer, Stage& stage)
{
    for (const char* name : {"cat", "ann", "ben"})
    {
        ConversationCharacter* c = stage.mController->FindCharacter(name);
        c->mPortrait->GetTexture()->DrawAt(c->mPortraitTransform.GetX(),
                                           c->mPortraitTransform.GetY() - 120, 1, 1, 0, 0);
    }
    ConversationCharacter* ann = stage.mController->FindCharacter("ann");
    ann->mBubble->GetTexture()->DrawAt(ann->mPortraitTransform.GetX() + 100, 300, 1, 1, 0, 0);
    ann->mTextSprite->Draw(TDrawSpec(TVec2(ann->mPortraitTransform.GetX() + 100, 300)));
    ConversationScrimVertex quad[4];
    for (int i = 0; i < 4; ++i)
    {
        quad[i] = stage.mController->mScrimQuad[i];
        quad[i].mDiffuse = 0x99000000u;
    }
    TVertexSet* set = TVertexSet::CreateColored(quad, 4);
    renderer.DrawIndexedVertices(4, *set, stage.mController->mScrimIndices, 6);
    TVertexSet::Release(set);
}

void Frame(benchmark::State& state, bool bare)
{
    TRenderer* renderer = MakeBenchRenderer();
    if (renderer == nullptr)
    {
        state.SkipWithError("no display");
        return;
    }
    {
        Stage stage;
        if (!stage.Build())
        {
            state.SkipWithError("the stage did not load");
            return;
        }
        for (auto _ : state)
        {
            renderer->BeginDraw(false);
            renderer->Begin2d();
            if (bare)
            {
                DrawBare(*renderer, stage);
            }
            else
            {
                stage.mController->DrawScrim(TDrawSpec());
                stage.mController->Draw(TDrawSpec());
            }
            renderer->End2d();
            renderer->EndFrame(false);
        }
    }
    TRenderer::DestroyInstance();
}

void BM_ConversationFrame(benchmark::State& state)
{
    Frame(state, false);
}
BENCHMARK(BM_ConversationFrame)->Unit(benchmark::kMillisecond);

void BM_ConversationFrameBare(benchmark::State& state)
{
    Frame(state, true);
}
BENCHMARK(BM_ConversationFrameBare)->Unit(benchmark::kMillisecond);

} // namespace
