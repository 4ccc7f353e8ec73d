// Test support for the display handler: an application with its main window on SDL's dummy
// driver (the shell's fixture), the rendering layer's display seam installed over a display
// stand-in configured by the test, data folders and the log in a scratch folder.
#pragma once

#include "support/files.h"
#include "support/shell_fixture.h"
#include "render/display/platform.h"
#include "render/display/render_display_seam.h"
#include "render/renderer/renderer.h"
#include "sys/display/device.h"
#include "sys/display/direct_draw.h"
#include "sys/window/window.h"
#include "sys/display/presenter/surface_png.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <iterator>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace rendertest
{

inline std::string ReadFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream all;
    all << in.rdbuf();
    return all.str();
}

// Counts the occurrences of `needle` in `text`.
inline int CountOf(const std::string& text, const std::string& needle)
{
    int count = 0;
    for (size_t at = text.find(needle); at != std::string::npos; at = text.find(needle, at + 1))
        ++count;
    return count;
}

// The stand-in as most tests want it: a 1280 x 1024 desktop.
inline sys::display::DisplayConfig StandardConfig()
{
    sys::display::DisplayConfig config = sys::display::DefaultDisplayConfig();
    config.mDesktopWidth = 1280;
    config.mDesktopHeight = 1024;
    return config;
}

// A scratch folder for the log and the data folders; everything undone afterwards.
class ScratchFolder
{
public:
    ScratchFolder()
    {
        sys::MakeFolder(mRoot + "/common");
        sys::MakeFolder(mRoot + "/user");
    }
    // The folder itself goes with mFolder, after this.
    ~ScratchFolder()
    {
        SetLogFolder(nullptr);
        SetDataFolders(TString(), TString(), TString());
    }
    void Activate() const
    {
        SetDataFolders((mRoot + "/user").c_str(), (mRoot + "/common").c_str(),
                       (mRoot + "/desktop").c_str());
        SetLogFolder((mRoot + "/log").c_str());
    }
    std::string Log() const { return ReadFile(mRoot + "/log/logfile.txt"); }
    const std::string& Root() const { return mRoot; }

private:
    testsupport::ScratchFolder mFolder{"mw_render"};
    std::string mRoot = mFolder.Path().string();
};

class DisplayTest : public shelltest::ShellTest
{
protected:
    void SetUp() override
    {
        sys::display::SetDisplayConfig(Config());
        ShellTest::SetUp();
        mScratch.Activate();
        SetDisplayFactory(&CreateRenderDisplaySeam);
        DestroyDisplay();
        mSeam = static_cast<TRenderDisplaySeam*>(&GetDisplay());
        mSeam->CreateRenderer();
        sys::ClearMessageBoxes();
    }

    void TearDown() override
    {
        sys::SetCursorPosOverride(false);
        ShellTest::TearDown();
        TRenderer::DestroyInstance();
        sys::display::SetDirectDrawCreateHook({});
        sys::display::ClearCreateDeviceAnswers();
        sys::display::ResetDisplayConfig();
        sys::ClearMessageBoxes();
    }

    // The configuration display objects are made with; tests override it.
    virtual sys::display::DisplayConfig Config() { return StandardConfig(); }

    TPlatform& Platform() { return *mSeam->GetPlatform(); }
    TPlatformData& Data() { return *Platform().GetData(); }
    TDXContext& Context() { return *Platform().GetContext(); }
    std::string Log() const { return mScratch.Log(); }
    // Points the system's pointer at client pixel (x, y): full screen, the picture's pixel is
    // where the screen shows it.
    void PointAt(int x, int y)
    {
        sys::PictureToWindow(x, y);
        sys::ClientToScreen(mWindow, x, y);
        sys::SetCursorPosOverride(true, x, y);
    }
    // The texts of the message boxes shown so far.
    static std::vector<std::string> Boxes()
    {
        std::vector<std::string> texts;
        for (const auto& box : sys::GetMessageBoxes())
            texts.push_back(box.text);
        return texts;
    }

    ScratchFolder mScratch;
    TRenderDisplaySeam* mSeam = nullptr;
};

// A display test with the renderer at hand and an 800 x 600 display open: windowed, or full
// screen when mFull is set before SetUp.
class OpenDisplayTest : public DisplayTest
{
protected:
    void SetUp() override
    {
        DisplayTest::SetUp();
        mRenderer = TRenderer::Instance();
        Platform().SetDisplay(800, 600, mFull, false, false, false);
        ASSERT_TRUE(Platform().IsDisplayReady());
    }

    TRenderer* mRenderer = nullptr;
    bool mFull = false;
};

// Begins a frame cleared to `clear` and a 3-D block under a 45-degree perspective: `world`, a
// material of `diffuse` with grey `ambient` and white highlights of `power`, and one white
// directional light along `light`.
inline void BeginLit3d(TRenderer& renderer, const TVec4& clear, const TMat4& world,
                       const TVec4& diffuse, float ambient, float power, const TVec3& light)
{
    ASSERT_TRUE(renderer.BeginDraw(false));
    renderer.FillRect(TRect(0, 0, 800, 600), clear);
    ASSERT_TRUE(renderer.Begin3d());
    renderer.SetProjection(0.1f, 100.0f, 0.785398f, 0);
    renderer.SetWorldMatrix(world);
    TMaterial material;
    material.mDiffuse = diffuse;
    material.mAmbient = TVec4(ambient, ambient, ambient, 1);
    material.mSpecular = TVec4(1, 1, 1, 1);
    material.mPower = power;
    renderer.SetMaterial(material);
    TLight lamp;
    lamp.mType = 0;
    lamp.mDiffuse = TVec4(1, 1, 1, 1);
    lamp.mSpecular = TVec4(1, 1, 1, 1);
    lamp.mDirection = light;
    renderer.SetLight(0, &lamp);
}

// Compares a region of a surface with a golden PNG under tests/data/render byte for byte;
// MURKWELL_UPDATE_GOLDEN=1 writes the golden instead.
inline void CompareWithGolden(const sys::display::Surface& surface,
                              const sys::display::Rect& region, const std::string& name)
{
    std::vector<uint32_t> pixels;
    for (int32_t y = region.top; y < region.bottom; ++y)
        for (int32_t x = region.left; x < region.right; ++x)
            pixels.push_back(surface.ReadPixel(static_cast<uint32_t>(x), static_cast<uint32_t>(y)));
    const auto w = static_cast<uint32_t>(region.Width());
    const auto h = static_cast<uint32_t>(region.Height());
    const std::string path = std::string(MURKWELL_TEST_DATA) + "/render/" + name;
    const char* update = std::getenv("MURKWELL_UPDATE_GOLDEN");
    if (update != nullptr && std::string(update) == "1")
    {
        ASSERT_TRUE(sys::display::SavePixelsPng(pixels.data(), w, h, path));
        return;
    }
    std::ifstream in(path, std::ios::binary);
    ASSERT_TRUE(in.good()) << "missing golden " << path;
    const std::vector<uint8_t> golden((std::istreambuf_iterator<char>(in)),
                                      std::istreambuf_iterator<char>());
    EXPECT_TRUE(golden == sys::display::EncodePng(pixels.data(), w, h))
        << name << " differs from its golden";
}

} // namespace rendertest
