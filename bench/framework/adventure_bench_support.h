// Shared by the adventure framework's benchmarks: pictures painted here and registered as memory
// files, and a strip of inventory objects on a hand-stepped frame clock and transform manager.
#pragma once

#include "framework/adventure/hud/gameplay_hud.h"
#include "framework/adventure/inventory/gameplay_inventory.h"
#include "framework/adventure/runner/gameplay.h"
#include "framework/core/frame_services.h"
#include "framework/core/delta_time.h"
#include "framework/transforms/transform_manager.h"
#include "platform/files/file_layer.h"
#include "render/sprites/animated_texture.h"
#include "render/sprites/sprite.h"
#include "render/textures/texture.h"
#include "script/lua_object_wrapper.h"
#include "script/script.h"
#include "sys/display/presenter/surface_png.h"
#include "ui/window_style.h"

#include <list>
#include <memory>
#include <string>
#include <vector>

// The location's HUD set up from its style and added as the "hud" child, as the location window
// does before the location's own set-up; the location owns it. Null when the style lacks what the
// HUD needs (its set-up reports a fatal error, which ends the game): such a fixture measures a HUD
// the game never runs, so the benchmark is to report it and stop.
inline GameplayHud* AddBenchHud(Gameplay& gameplay, TWindowStyle& hudStyle)
{
    ClearFatalErrorReported();
    auto* hud = new GameplayHud();
    hud->SetName("hud");
    hud->PostInit(hudStyle);
    gameplay.AddChild(hud, false);
    return FatalErrorReported() ? nullptr : hud;
}

// Pictures kept alive while registered as memory files.
struct BenchFiles
{
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

// "bench/inv": four 32 x 32 frames (whole, silhouette, two parts) with its glow source; the bar's
// pieces "bench/l", "bench/c", "bench/f", "bench/fe". Registered once per process.
inline void RegisterInventoryPictures()
{
    static BenchFiles* files = nullptr;
    if (files != nullptr)
        return;
    files = new BenchFiles;
    constexpr int kSide = 32;
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
    files->Png("bench/inv.png", sheet, 4 * kSide, kSide);
    std::string xml = "<sequence><img w=\"128\" h=\"32\" regx=\"16\" regy=\"16\" "
                      "name=\"inv.png\"/><framelist>";
    for (int f = 0; f < 4; ++f)
        xml += "<frame x=\"" + std::to_string(f * kSide) + "\" y=\"0\" w=\"32\" h=\"32\"/>";
    files->Add("bench/inv.xml", xml + "</framelist></sequence>");
    files->Png("bench/inv_glow.png", std::vector<uint32_t>(kSide * kSide, 0xFFFFFFFF), kSide,
               kSide);
    files->Png("bench/l.png", std::vector<uint32_t>(18, 0xFFC0C0C0), 3, 6);
    files->Png("bench/c.png", std::vector<uint32_t>(6, 0xFF808080), 1, 6);
    files->Png("bench/f.png", std::vector<uint32_t>(4, 0xFFFFD000), 1, 4);
    files->Png("bench/fe.png", std::vector<uint32_t>(12, 0xFFFFFF00), 3, 4);
}

// `count` objects shown in their incomplete look: one of two parts found, a 56-pixel bar half
// filled; the clock stepped by Frame.
struct InventoryStrip
{
    explicit InventoryStrip(int count)
    {
        RegisterInventoryPictures();
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
                                 "', image = 'bench/inv', partcount = 2, y = 300, x = " +
                                 std::to_string(20 + (i * 26) % 760) + " }")
                                    .c_str());
            std::unique_ptr<TLuaTable> object(mScript.GetGlobalTable("_o"));
            auto made = std::make_unique<GameplayInventory>(*object, *shared);
            made->Init(*object, *shared);
            made->PlaceInHud(nullptr, false);
            made->AddPart(1, true);
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

// What one strip object in its incomplete look draws, made as plain sprite draws: the silhouette,
// the darkened whole and the one found part, both bar ends, the left fill end, 56 frame columns and
// 28 fill columns.
struct DirectInventorySprites
{
    DirectInventorySprites()
    {
        mPicture->SetTexture(TAnimatedTexture::Get("bench/inv"));
        for (TSprite* sprite : {mEnd.get(), mColumn.get(), mFill.get(), mFillEnd.get()})
            sprite->GetSpec().mFlags |= kDrawOrigin;
    }
    void Draw(const TDrawSpec& at)
    {
        for (int frame : {1, 0, 2})
        {
            mPicture->SetFrame(frame);
            mPicture->Draw(at, 0);
        }
        const TDrawSpec bar = TDrawSpec(TVec2(-31, 20)).Combine(at);
        mEnd->Draw(bar, 0);
        mFillEnd->Draw(bar, 0);
        for (int c = 0; c < 56; ++c)
        {
            const TDrawSpec x = TDrawSpec(TVec2(static_cast<float>(c + 3), 0)).Combine(bar);
            mColumn->Draw(x, 0);
            if (c < 28)
                mFill->Draw(x, 0);
        }
        mEnd->Draw(TDrawSpec(TVec2(59, 0)).Combine(bar), 0);
    }

    // First, so the pictures exist before the sprites below ask for them.
    bool mRegistered = (RegisterInventoryPictures(), true);
    std::shared_ptr<TAnimatedSprite> mPicture = TAnimatedSprite::Create(0);
    std::shared_ptr<TSprite> mEnd = TSprite::Create(0, TTexture::Get("bench/l", 0));
    std::shared_ptr<TSprite> mColumn = TSprite::Create(0, TTexture::Get("bench/c", 0));
    std::shared_ptr<TSprite> mFill = TSprite::Create(0, TTexture::Get("bench/f", 0));
    std::shared_ptr<TSprite> mFillEnd = TSprite::Create(0, TTexture::Get("bench/fe", 0));
};
