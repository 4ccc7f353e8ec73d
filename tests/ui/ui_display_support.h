// Test support for the standard window types on the headless display: the window manager made
// through the platform seam at 800 x 600 with its window script, images served as memory files,
// frames drawn on demand with the back buffer read back, and mouse events through the manager.
#pragma once

#include "platform/files/file_layer.h"
#include "render/image_writers.h"
#include "render/render_test_support.h"
#include "render/renderer/renderer.h"
#include "script/script.h"
#include "ui/window_manager.h"
#include "ui/window_script.h"
#include "ui_test_support.h"

#include <algorithm>
#include <list>
#include <string>
#include <vector>

namespace uitest
{

// An RGB PNG (no alpha channel) of the A8R8G8B8 pixels, row by row.
inline std::string RgbPng(uint32_t width, uint32_t height, const std::vector<uint32_t>& pixels)
{
    imagetest::PngPlan plan;
    plan.width = width;
    plan.height = height;
    plan.colorType = PNG_COLOR_TYPE_RGB;
    for (uint32_t c : pixels)
        plan.samples.insert(plan.samples.end(), {static_cast<uint16_t>((c >> 16) & 0xFF),
                                                 static_cast<uint16_t>((c >> 8) & 0xFF),
                                                 static_cast<uint16_t>(c & 0xFF)});
    return imagetest::EncodePng(plan);
}

// One colour all over.
inline std::string FlatPng(uint32_t width, uint32_t height, uint32_t colour)
{
    return RgbPng(width, height, std::vector<uint32_t>(size_t(width) * height, colour));
}

// The headless display at 800 x 600 whose application's window manager is the toolkit's.
class WindowDisplayTest : public rendertest::DisplayTest
{
protected:
    void SetUp() override
    {
        DisplayTest::SetUp();
        SetWindowManagerFactory(&CreateWindowManager);
        mImpl->mManagers.mWindowManager = CreateWindowManagerFromSeam();
        mApp->SetDisplayMode(800, 600, false);
        mManager = GetWindowManager();
        ASSERT_NE(mManager, nullptr);
        mRoot = mManager->GetTopModal();
        ASSERT_NE(mRoot, nullptr);
    }
    uint32_t Back(int x, int y) { return Data().mBackBuffer->ReadPixel(x, y) & 0xFFFFFF; }
    // Draws the modal windows into the back buffer and keeps its pixels, which Pixel reads.
    void Paint()
    {
        TRenderer* renderer = TRenderer::Instance();
        ASSERT_TRUE(renderer->BeginDraw(false));
        mManager->RenderModals(0);
        mPixels.clear();
        for (int y = 0; y < 600; ++y)
            for (int x = 0; x < 800; ++x)
                mPixels.push_back(Back(x, y));
        renderer->EndFrame(true);
    }
    uint32_t Pixel(int x, int y) const { return mPixels[static_cast<size_t>(y) * 800 + x]; }

    TWindowManager* mManager = nullptr;
    TModalWindow* mRoot = nullptr;
    std::vector<uint32_t> mPixels;
};

// With the window script, images served as memory files and script globals read back.
class UiDisplayTest : public WindowDisplayTest
{
protected:
    void SetUp() override
    {
        WindowDisplayTest::SetUp();
        if (HasFatalFailure())
            return;
        mManager->CreateScript();
        mScript = mManager->GetScript();
        ASSERT_NE(mScript, nullptr);
    }
    void TearDown() override
    {
        for (const auto& name : mNames)
            RegisterMemoryFileName(name.c_str(), nullptr, 0);
        WindowDisplayTest::TearDown();
    }

    void Serve(const std::string& name, std::string bytes)
    {
        mFiles.push_back(std::move(bytes));
        mNames.push_back(name);
        RegisterMemoryFileName(name.c_str(), mFiles.back().data(),
                               static_cast<uint32_t>(mFiles.back().size()));
    }
    // Runs script text in the window script (a returned function becomes its coroutine).
    void Do(const std::string& code) { mScript->DoLuaString(code.c_str()); }
    std::string Global(const char* name)
    {
        lua_State* L = mScript->GetState();
        lua_getglobal(L, name);
        const char* text = lua_tostring(L, -1);
        std::string out = text != nullptr ? text : lua_typename(L, lua_type(L, -1));
        if (lua_isboolean(L, -1))
            out = lua_toboolean(L, -1) ? "true" : "false";
        lua_pop(L, 1);
        return out;
    }
    TWindow* Find(const char* name) { return mManager->GetRoot()->FindChild(name, 0xFFFFFFFFu); }
    // The messages that reached the script, as "type:name" words (the queue emptied).
    std::string Queue()
    {
        Do("q = '' for i, m in ipairs(gMessageQueue) do q = q .. m.type .. ':' .. m.name .. ' ' "
           "end gMessageQueue = {}");
        return Global("q");
    }
    bool Captured(TWindow* window)
    {
        const auto& captures = mManager->GetCaptures();
        return std::find(captures.begin(), captures.end(), window) != captures.end();
    }
    // The script task when due, then the event.
    void Tick(uint32_t ms = 0)
    {
        sys::AdvanceManualClock(ms);
        if (mScript->Ready(kTaskPassTime))
            mScript->Run();
        mManager->HandleEvent(MakeEvent(kEventTick));
    }
    void Mouse(int32_t type, int32_t x, int32_t y) { mManager->HandleEvent(MakeEvent(type, x, y)); }
    // A repaint after the pacing interval.
    void Frame()
    {
        sys::AdvanceManualClock(20);
        mManager->SetDirty();
        mManager->HandleEvent(MakeEvent(kEventRepaint));
    }

    TWindowScript* mScript = nullptr;
    std::list<std::string> mFiles;
    std::vector<std::string> mNames;
};

} // namespace uitest
