// Test support for vector fonts and the rasteriser: ".mvec" images written byte by byte, a
// captured log, a device that records what reaches it, memory textures, and a device over the
// display stand-in that draws run lines the way the renderer does.
#pragma once

#include "platform/log.h"
#include "render/text/vector_draw_output.h"
#include "support/files.h"
#include "sys/display/device.h"
#include "sys/display/pixel_format.h"
#include "sys/display/surface.h"
#include "sys/display/presenter/surface_png.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

namespace vectest
{

// An outline in font units (stored as 1/128 units).
class Outline
{
public:
    Outline& Group() { return Byte(1); }
    Outline& Left(int n) { return Byte(2).Byte(n); }
    Outline& Right(int n) { return Byte(3).Byte(n); }
    Outline& Move(float x, float y) { return Byte(4).Point(x, y); }
    Outline& Line(float x, float y) { return Byte(5).Point(x, y); }
    Outline& Curve(float cx, float cy, float x, float y)
    {
        return Byte(6).Point(cx, cy).Point(x, y);
    }
    Outline& Colour(int r, int g, int b) { return Byte(7).Byte(r).Byte(g).Byte(b); }
    Outline& End() { return Byte(8); }
    // A closed rectangle contour.
    Outline& Rect(float x0, float y0, float x1, float y1)
    {
        return Move(x0, y0).Line(x1, y0).Line(x1, y1).Line(x0, y1).Line(x0, y0);
    }
    Outline& Byte(int b)
    {
        mBytes.push_back(static_cast<uint8_t>(b));
        return *this;
    }
    Outline& Point(float x, float y) { return Word(x * 128).Word(y * 128); }
    Outline& Word(float v)
    {
        auto u = static_cast<uint16_t>(static_cast<int16_t>(v));
        return Byte(u & 0xFF).Byte(u >> 8);
    }
    const std::vector<uint8_t>& Bytes() const { return mBytes; }

private:
    std::vector<uint8_t> mBytes;
};

struct Glyph
{
    uint32_t code;
    float left, right, top, bottom, advance; // font units
    std::vector<uint8_t> outline;
};

inline void Put(std::vector<uint8_t>& out, uint64_t v, int bytes)
{
    for (int i = 0; i < bytes; ++i)
        out.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

// The ".mvec" image of the glyphs (in the order given), outlines after the records.
inline std::vector<uint8_t> BuildFont(const std::vector<Glyph>& glyphs)
{
    std::vector<uint8_t> out = {'M', 'V', 'C', '4'};
    Put(out, static_cast<uint32_t>(glyphs.size()), 2);
    Put(out, 0, 6);
    uint32_t offset = static_cast<uint32_t>(12 + 18 * glyphs.size());
    for (const Glyph& g : glyphs)
    {
        Put(out, g.code, 4);
        for (float v : {g.left, g.right, g.top, g.bottom, g.advance})
            Put(out, static_cast<uint16_t>(static_cast<int16_t>(v * 128)), 2);
        Put(out, offset, 4);
        offset += static_cast<uint32_t>(g.outline.size());
    }
    for (const Glyph& g : glyphs)
        out.insert(out.end(), g.outline.begin(), g.outline.end());
    return out;
}

inline std::unique_ptr<uint8_t[]> Copy(const std::vector<uint8_t>& bytes)
{
    auto copy = std::make_unique<uint8_t[]>(bytes.size() + 1);
    if (!bytes.empty())
        std::memcpy(copy.get(), bytes.data(), bytes.size());
    return copy;
}

// The log written into a scratch folder while the fixture lives.
class LogCapture
{
public:
    LogCapture() { SetLogFolder(mRoot.c_str()); }
    // The folder itself goes with mFolder, after this.
    ~LogCapture() { SetLogFolder(nullptr); }
    std::string Text() const
    {
        std::ifstream in(mRoot + "/logfile.txt", std::ios::binary);
        std::stringstream all;
        all << in.rdbuf();
        return all.str();
    }
    int Lines() const
    {
        std::string t = Text();
        return static_cast<int>(std::count(t.begin(), t.end(), '\n'));
    }

private:
    testsupport::ScratchFolder mFolder{"mw_vec"};
    std::string mRoot = mFolder.Path().string();
};

// A texture in memory; rows are padded so that the pitch differs from the width.
class MemoryTexture : public TVecDrawTexture
{
public:
    MemoryTexture(int w, int h, uint32_t fill = 0, bool lockable = true)
        : mWidth(w), mHeight(h), mPitch(w + 3), mPixels(static_cast<size_t>(mPitch * h), fill),
          mLockable(lockable)
    {
    }
    int GetWidth() const override { return mWidth; }
    int GetHeight() const override { return mHeight; }
    bool Lock(uint32_t*& pixels, int& pitch) override
    {
        ++mLocks;
        if (!mLockable)
            return false;
        pixels = mPixels.data();
        pitch = mPitch;
        return true;
    }
    void Unlock() override { ++mUnlocks; }
    uint32_t At(int x, int y) const { return mPixels[static_cast<size_t>(y * mPitch + x)]; }
    std::vector<uint32_t> Image() const
    {
        std::vector<uint32_t> image;
        for (int y = 0; y < mHeight; ++y)
            for (int x = 0; x < mWidth; ++x)
                image.push_back(At(x, y));
        return image;
    }

    int mWidth, mHeight, mPitch;
    std::vector<uint32_t> mPixels;
    bool mLockable;
    int mLocks = 0;
    int mUnlocks = 0;
};

// Records every call; its render targets are memory textures.
class RecordingDevice : public TVecDrawDevice
{
public:
    void SetNoTexture() override { ++mNoTexture; }
    void DrawLineList(const TVecVertex* vertices, int count) override
    {
        if (!mRecord)
            return;
        mBatches.push_back(count);
        mVertices.insert(mVertices.end(), vertices, vertices + count);
    }
    void SetDirty() override { ++mDirty; }
    std::shared_ptr<TVecDrawTexture> CreateRenderTarget(int w, int h) override
    {
        ++mTargetsCreated;
        if (mCreateFails)
            return nullptr;
        mLastTarget = std::make_shared<MemoryTexture>(w, h, 0, mTargetLockable);
        return mLastTarget;
    }
    bool BeginRenderTarget(const std::shared_ptr<TVecDrawTexture>&) override
    {
        ++mTargetsBegun;
        return !mRefuseTarget;
    }
    void EndRenderTarget() override {}

    std::vector<TVecVertex> mVertices;
    std::vector<int> mBatches;
    bool mRecord = true;
    int mNoTexture = 0;
    int mDirty = 0;
    int mTargetsCreated = 0;
    int mTargetsBegun = 0;
    bool mCreateFails = false;
    bool mRefuseTarget = false;
    bool mTargetLockable = true;
    std::shared_ptr<MemoryTexture> mLastTarget;
};

using namespace sys::display;

inline std::shared_ptr<Surface> MakeTarget(uint32_t w, uint32_t h)
{
    auto s = Surface::Create(w, h, MakePixelFormat(FormatId::A8R8G8B8),
                             CAPS_SYSTEMMEMORY | CAPS_3DDEVICE);
    for (uint32_t y = 0; y < h; ++y)
        for (uint32_t x = 0; x < w; ++x)
            s->WritePixel(x, y, 0xFF000000u);
    return s;
}

// A surface of the stand-in as a texture the rasteriser can lock.
class SurfaceTexture : public TVecDrawTexture
{
public:
    explicit SurfaceTexture(std::shared_ptr<Surface> s) : mSurface(std::move(s)) {}
    int GetWidth() const override { return static_cast<int>(mSurface->GetWidth()); }
    int GetHeight() const override { return static_cast<int>(mSurface->GetHeight()); }
    bool Lock(uint32_t*& pixels, int& pitch) override
    {
        SurfaceDesc desc;
        if (mSurface->Lock(nullptr, &desc, 0) != Result::Ok)
            return false;
        pixels = static_cast<uint32_t*>(desc.mSurface);
        pitch = desc.mPitch / 4;
        return true;
    }
    void Unlock() override { mSurface->Unlock(); }
    std::shared_ptr<Surface> mSurface;
};

// Draws line lists on the stand-in device as the renderer's 2-D mode does: no texture, alpha
// blending, pre-transformed vertices moved by the viewport's top-left.
class StandInDevice : public TVecDrawDevice
{
public:
    explicit StandInDevice(std::shared_ptr<Surface> target, int viewportX = 0, int viewportY = 0)
        : mScreen(std::move(target)), mViewportX(viewportX), mViewportY(viewportY)
    {
        mDevice = MakeDevice(mScreen);
    }
    static std::unique_ptr<Device> MakeDevice(const std::shared_ptr<Surface>& target)
    {
        DeviceDesc caps;
        caps.mMaxTextureWidth = 4096;
        caps.mMaxTextureHeight = 4096;
        auto dev = Device::Create(target, caps);
        dev->SetRenderState(RS_LIGHTING, 0);
        dev->SetRenderState(RS_ZENABLE, 0);
        dev->SetRenderState(RS_CULLMODE, CULL_NONE);
        dev->SetRenderState(RS_ALPHABLENDENABLE, 1);
        dev->SetRenderState(RS_SRCBLEND, BLEND_SRCALPHA);
        dev->SetRenderState(RS_DESTBLEND, BLEND_INVSRCALPHA);
        // Untextured: colour and alpha are the vertices' own.
        dev->SetTextureStageState(0, TSS_COLOROP, TOP_SELECTARG1);
        dev->SetTextureStageState(0, TSS_COLORARG1, TA_DIFFUSE);
        dev->SetTextureStageState(0, TSS_ALPHAOP, TOP_SELECTARG1);
        dev->SetTextureStageState(0, TSS_ALPHAARG1, TA_DIFFUSE);
        return dev;
    }
    void SetNoTexture() override { mDevice->SetTexture(0, nullptr); }
    void DrawLineList(const TVecVertex* vertices, int count) override
    {
        // A render target has a viewport of its own at (0, 0).
        std::vector<TVecVertex> moved(vertices, vertices + count);
        for (auto& v : moved)
        {
            v.x += static_cast<float>(mSaved != nullptr ? 0 : mViewportX);
            v.y += static_cast<float>(mSaved != nullptr ? 0 : mViewportY);
        }
        mDevice->DrawPrimitive(PT_LINELIST, FVF_TLVERTEX, moved.data(),
                               static_cast<uint32_t>(count), 0);
    }
    void SetDirty() override { ++mDirty; }
    std::shared_ptr<TVecDrawTexture> CreateRenderTarget(int w, int h) override
    {
        auto s = MakeTarget(static_cast<uint32_t>(w), static_cast<uint32_t>(h));
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                s->WritePixel(static_cast<uint32_t>(x), static_cast<uint32_t>(y), 0);
        return std::make_shared<SurfaceTexture>(s);
    }
    bool BeginRenderTarget(const std::shared_ptr<TVecDrawTexture>& texture) override
    {
        auto* t = dynamic_cast<SurfaceTexture*>(texture.get());
        if (t == nullptr)
            return false;
        mSaved = std::move(mDevice);
        mDevice = MakeDevice(t->mSurface);
        return true;
    }
    void EndRenderTarget() override
    {
        if (mSaved != nullptr)
            mDevice = std::move(mSaved);
    }

    std::shared_ptr<Surface> mScreen;
    std::unique_ptr<Device> mDevice;
    std::unique_ptr<Device> mSaved;
    int mViewportX, mViewportY;
    int mDirty = 0;
};

// Compares A8R8G8B8 pixels with a golden PNG under tests/data/render; MURKWELL_UPDATE_GOLDEN=1
// writes the file instead.
inline void CompareWithGolden(const std::vector<uint32_t>& pixels, uint32_t w, uint32_t h,
                              const std::string& name)
{
    std::vector<uint8_t> png = EncodePng(pixels.data(), w, h);
    std::string path = std::string(MURKWELL_TEST_DATA) + "/render/" + name;
    const char* update = std::getenv("MURKWELL_UPDATE_GOLDEN");
    if (update != nullptr && std::string(update) == "1")
    {
        std::ofstream out(path, std::ios::binary);
        out.write(reinterpret_cast<const char*>(png.data()),
                  static_cast<std::streamsize>(png.size()));
        ASSERT_TRUE(out.good()) << path;
        return;
    }
    std::ifstream in(path, std::ios::binary);
    ASSERT_TRUE(in.good()) << "missing golden " << path;
    std::vector<uint8_t> golden((std::istreambuf_iterator<char>(in)),
                                std::istreambuf_iterator<char>());
    EXPECT_TRUE(golden == png) << name << " differs from its golden picture";
}

inline std::vector<uint32_t> ReadSurface(const Surface& s)
{
    std::vector<uint32_t> pixels;
    for (uint32_t y = 0; y < s.GetHeight(); ++y)
        for (uint32_t x = 0; x < s.GetWidth(); ++x)
            pixels.push_back(s.ReadPixel(x, y));
    return pixels;
}

} // namespace vectest
