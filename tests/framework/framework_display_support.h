// Shared by the framework tests that draw: the headless display at 800 x 600 with the toolkit's
// window manager and script, the frame clock and transform manager stepped by the test, script
// tables, images written as memory files and back-buffer pixels read back.
#pragma once

#include "framework/core/delta_time.h"
#include "framework/transforms/transform_manager.h"
#include "platform/files/file_layer.h"
#include "render/render_test_support.h"
#include "render/renderer/renderer.h"
#include "script/lua_object_wrapper.h"
#include "script/script.h"
#include "sys/display/presenter/surface_png.h"
#include "ui/ui_display_support.h"
#include "ui/window_manager.h"
#include "ui/window_script.h"

#include <gtest/gtest.h>

#include <list>
#include <memory>
#include <string>
#include <vector>

namespace fwtest
{

class FrameworkDisplayTest : public uitest::WindowDisplayTest
{
protected:
    void SetUp() override
    {
        WindowDisplayTest::SetUp();
        if (!HasFatalFailure())
            mManager->CreateScript();
    }
    void TearDown() override
    {
        for (const std::string& name : mNames)
            RegisterMemoryFileName(name.c_str(), nullptr, 0);
        WindowDisplayTest::TearDown();
    }

    // A w x h image of one ARGB colour as a PNG memory file.
    void Image(const std::string& name, uint32_t w, uint32_t h, uint32_t argb)
    {
        std::vector<uint32_t> pixels(static_cast<size_t>(w) * h, argb);
        std::vector<uint8_t> png = sys::display::EncodePng(pixels.data(), w, h);
        File(name, std::string(png.begin(), png.end()));
    }
    void File(const std::string& name, const std::string& bytes)
    {
        mFiles.push_back(bytes);
        mNames.push_back(name);
        RegisterMemoryFileName(name.c_str(), mFiles.back().data(),
                               static_cast<uint32_t>(mFiles.back().size()));
    }
    // The Lua table the expression makes, owned by the caller.
    std::unique_ptr<TLuaTable> Table(const std::string& lua)
    {
        mScript.DoLuaString(("_t = " + lua).c_str());
        return std::unique_ptr<TLuaTable>(mScript.GetGlobalTable("_t"));
    }
    // One frame `ms` after the previous one: the frame clock, then the transform manager.
    template <class Update> void Step(uint32_t ms, Update update)
    {
        mNow += ms;
        mClock.SetFrameTime(mNow);
        mClock.SetStep(ms);
        update();
        mTransforms.Update();
    }
    // A frame begun on a black back buffer.
    void BeginBlackFrame()
    {
        TRenderer* renderer = TRenderer::Instance();
        ASSERT_TRUE(renderer->BeginDraw(false));
        renderer->FillRect(TRect(0, 0, 800, 600), TVec4(0, 0, 0, 1));
    }
    // Ends the frame without presenting it; the back buffer keeps its pixels.
    static void EndFrame() { TRenderer::Instance()->EndFrame(false); }
    // A black frame with `draw` run in it.
    template <class Draw> void DrawBlack(Draw draw)
    {
        BeginBlackFrame();
        draw();
        EndFrame();
    }
    // A black frame with `draw` run between the renderer's 2d begin and end; false, with nothing
    // drawn, when the 2d begin fails.
    template <class Draw> bool Draw2d(Draw draw)
    {
        BeginBlackFrame();
        const bool begun = TRenderer::Instance()->Begin2d();
        if (begun)
        {
            draw();
            TRenderer::Instance()->End2d();
        }
        EndFrame();
        return begun;
    }

    TScript mScript;
    DeltaTime mClock;
    TransformManager mTransforms;
    uint32_t mNow = 1000;
    std::list<std::string> mFiles;
    std::vector<std::string> mNames;
};

} // namespace fwtest
