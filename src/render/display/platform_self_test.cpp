// The start-up pixel-offset calibration: a marker drawn with ten candidate offsets into a render
// target, read back, and the first offset that lands on the pixel grid kept.
#include "render/display/platform.h"

#include "render/renderer/renderer.h"
#include "render/textures/texture.h"

namespace
{
constexpr int kCandidates = 10;
constexpr int kMarkerSide = 16;
constexpr uint32_t kCanvasWidth = 1024;
constexpr uint32_t kCanvasHeight = 512;
constexpr int kCellsPerRow = 800 / kMarkerSide;

float CandidateOffset(int i)
{
    return static_cast<float>(i) * 0.1f - 0.5f;
}

int CellX(int i)
{
    return (i % kCellsPerRow) * kMarkerSide;
}

int CellY(int i)
{
    return (i / kCellsPerRow) * kMarkerSide;
}

bool IsBlack(uint32_t argb)
{
    return (argb & 0x00FFFFFFu) == 0;
}

// The white marker with black top-left and bottom-right texels; empty when it cannot be had.
std::shared_ptr<TTexture> MakeMarker(TPlatform& platform)
{
    auto marker = TTexture::Create(kMarkerSide, kMarkerSide, false);
    if (!marker)
        return nullptr;
    platform.FillRect(TRect(0, 0, kMarkerSide, kMarkerSide), TVec4(1, 1, 1, 1), marker);
    uint32_t* pixels = nullptr;
    int pitch = 0;
    if (!marker->Lock(pixels, pitch))
        return nullptr;
    pixels[0] &= 0xFF000000u;
    pixels[static_cast<size_t>(kMarkerSide - 1) * pitch + kMarkerSide - 1] &= 0xFF000000u;
    marker->Unlock();
    return marker;
}
} // namespace

void TPlatform::RunRenderSelfTest()
{
    TPlatformData& d = *mData;
    if (d.mSelfTestDone)
        return;
    d.mSelfTestDone = true;
    TRenderer* renderer = TRenderer::Existing();
    std::shared_ptr<TTexture> marker = renderer ? MakeMarker(*this) : nullptr;
    if (marker)
    {
        auto canvas = TTexture::Create(kCanvasWidth, kCanvasHeight, false);
        if (canvas)
            FillRect(TRect(0, 0, 512, 512), TVec4(1, 0, 0, 1), canvas);
        if (!canvas || !renderer->BeginRenderTarget(canvas, 0))
        {
            // Tried again at the next call.
            d.mSelfTestDone = false;
            return;
        }
        const float previous = d.mPixelOffset;
        const bool began = renderer->Begin2d();
        renderer->SetTextureFilter(0);
        for (int i = 0; i < kCandidates; ++i)
        {
            d.mPixelOffset = CandidateOffset(i);
            d.mProjectionDirty = true;
            // Draws centre images; the origin flag puts the marker's corner on the cell's.
            TDrawSpec spec(TVec2(static_cast<float>(CellX(i)), static_cast<float>(CellY(i))));
            spec.mFlags |= kDrawOrigin;
            marker->Draw(spec);
        }
        renderer->SetTextureFilter(1);
        if (began)
            renderer->End2d();
        renderer->EndDraw();

        d.mPixelOffset = previous;
        uint32_t* pixels = nullptr;
        int pitch = 0;
        bool found = false;
        if (canvas->Lock(pixels, pitch))
        {
            for (int i = 0; i < kCandidates && !found; ++i)
            {
                const uint32_t* corner = pixels + static_cast<size_t>(CellY(i)) * pitch + CellX(i);
                if (IsBlack(corner[0]) &&
                    IsBlack(corner[static_cast<size_t>(kMarkerSide - 1) * pitch + kMarkerSide - 1]))
                {
                    d.mPixelOffset = CandidateOffset(i);
                    found = true;
                }
            }
            canvas->Unlock();
        }
        if (!found)
            d.mPixelOffset = -0.5f;
    }
    // The screen starts black.
    if (renderer)
    {
        renderer->PushClipRect(d.mScreenRect);
        FillRect(d.mScreenRect, TVec4(0, 0, 0, 1));
        renderer->PopClipRect();
    }
}
