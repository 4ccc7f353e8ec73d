// Shared by the cut-scene tests: the conversation fixture's headless display, text rasteriser,
// manual sound output with short Ogg voices ("hello" 300 ms, "bye" 200 ms, "exit" 100 ms, "ghost"
// without a file), string table and quit counter, plus the cut-scene's own strings and images,
// script tables and frames drawn on a black back buffer.
#pragma once

#include "framework/conversation_test_support.h"
#include "render/renderer/renderer.h"

#include <array>
#include <functional>
#include <memory>
#include <string>

namespace cuttest
{

// A plain colour for an image: {r, g, b, a}, 0-255.
using Rgba = std::array<uint16_t, 4>;

class CutsceneTest : public convtest::ConversationTest
{
protected:
    void SetUp() override
    {
        ConversationTest::SetUp();
        if (HasFatalFailure())
            return;
        const std::string strings =
            "<Row><Cell><Data>cap1</Data></Cell><Cell><Data>Caption</Data></Cell></Row>"
            "<Row><Cell><Data>line1</Data></Cell><Cell><Data>Line one</Data></Cell></Row>"
            "<Row><Cell><Data>line2</Data></Cell><Cell><Data>Two</Data></Cell></Row>"
            "<Row><Cell><Data>skip</Data></Cell><Cell><Data>Skip</Data></Cell></Row>";
        mImpl->mManagers.mStringTable->LoadBuffer(strings.data(),
                                                  static_cast<uint32_t>(strings.size()));
        Image("story/red", 40, 30, {230, 40, 40, 255});
        Image("story/red_sepia", 40, 30, {150, 120, 80, 255});
        Image("story/green", 20, 20, {40, 220, 60, 255});
        Image("story/green_sepia", 20, 20, {120, 100, 70, 255});
        Image("story/blue", 16, 16, {40, 60, 230, 255});
        Image("story/blue_sepia", 16, 16, {90, 80, 60, 255});
        Image("story/bubble", 60, 24, {250, 250, 235, 255});
    }

    void Image(const std::string& name, uint32_t w, uint32_t h, Rgba colour)
    {
        mFiles.Add(name + ".png",
                   imagetest::PaintedPng(w, h, [=](uint32_t, uint32_t) { return colour; }));
    }
    // The table the expression makes; it stays the global `name` for later checks.
    std::unique_ptr<TLuaTable> Table(const std::string& lua, const std::string& name = "_t")
    {
        mScript.DoLuaString((name + " = " + lua).c_str());
        return std::unique_ptr<TLuaTable>(mScript.GetGlobalTable(name.c_str()));
    }
    bool IsTrue(const std::string& expression)
    {
        mScript.DoLuaString(("_probe = (" + expression + ") and 1 or 0").c_str());
        return mScript.GetGlobalNumber("_probe") == 1;
    }
    std::string Str(const std::string& expression)
    {
        mScript.DoLuaString(("_probe = tostring(" + expression + ")").c_str());
        return mScript.GetGlobalString("_probe").c_str();
    }
    // One frame drawn on black inside a 2-D block; the back buffer keeps it.
    void Draw(const std::function<void()>& body)
    {
        TRenderer* renderer = TRenderer::Instance();
        ASSERT_TRUE(renderer->BeginDraw(false));
        renderer->FillRect(TRect(0, 0, 800, 600), TVec4(0, 0, 0, 1));
        ASSERT_TRUE(renderer->Begin2d());
        body();
        renderer->End2d();
        renderer->EndFrame(false);
    }
    uint32_t Pixel(int x, int y) { return Data().mBackBuffer->ReadPixel(x, y) & 0xFFFFFF; }
    void Golden(const std::string& name, const sys::display::Rect& region)
    {
        rendertest::CompareWithGolden(*Data().mBackBuffer, region, name);
    }
};

} // namespace cuttest
