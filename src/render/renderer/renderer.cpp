// The drawing facade: blocks and their misuse lines, forwarded draw state, the clip stack, the
// end of a frame with its frame-rate count and overlay box, and the 2-D quad builder.
#include "render/renderer/renderer.h"

#include "platform/shell/application.h"
#include "platform/config/config.h"
#include "platform/log.h"
#include "platform/seams/window_manager_seam.h"
#include "render/text/text_layout.h"
#include "render/textures/texture.h"
#include "sys/display/render_states.h"
#include "sys/display/vertex_formats.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace
{
TRenderer* gRenderer = nullptr;
// The overlay's box, behind its text.
const TRect kOverlayBox(0, 0, 300, 64);

uint8_t ToByte(float value)
{
    const float scaled = std::round(value * 255.0f);
    return static_cast<uint8_t>(std::clamp(scaled, 0.0f, 255.0f));
}
} // namespace

TRenderer::TRenderer() : mPlatform(std::make_unique<TPlatform>()) {}

TRenderer::~TRenderer() = default;

TRenderer* TRenderer::Instance()
{
    if (!gRenderer)
        gRenderer = new TRenderer();
    return gRenderer;
}

TRenderer* TRenderer::Existing()
{
    return gRenderer;
}

void TRenderer::DestroyInstance()
{
    delete gRenderer;
    gRenderer = nullptr;
}

bool TRenderer::BeginDraw(bool copyFront)
{
    mInDraw = mPlatform->BeginScene(copyFront);
    return mInDraw;
}

bool TRenderer::BeginRenderTarget(const std::shared_ptr<TTexture>& texture, int32_t kind)
{
    if (!texture || texture->IsPlainSurface() || mInDraw || mInRenderTarget)
        return false;
    mInRenderTarget = mPlatform->BeginRenderTarget(texture, kind);
    mInDraw = mInRenderTarget;
    return mInRenderTarget;
}

void TRenderer::SetFrameTexture(const std::shared_ptr<TTexture>& texture)
{
    if (!texture)
    {
        mFrameTexture.reset();
        return;
    }
    TApplication* application = TApplication::Get();
    TWindowManagerSeam* manager = application ? application->GetWindowManager() : nullptr;
    if (!manager)
        return;
    int left = 0, top = 0, right = 0, bottom = 0;
    manager->GetRootRect(left, top, right, bottom);
    if (static_cast<int>(texture->GetWidth()) == right - left &&
        static_cast<int>(texture->GetHeight()) == bottom - top)
        mFrameTexture = texture;
}

void TRenderer::EndDraw()
{
    mPlatform->EndRenderTarget();
    mInRenderTarget = false;
    mInDraw = false;
}

bool TRenderer::Begin2d()
{
    if (mIn2d)
    {
        Log("Begin2d called when already in Begin2d state");
        return false;
    }
    if (mIn3d)
    {
        Log("Begin2d called when already in Begin3d state");
        return false;
    }
    if (!InDrawBlock())
    {
        Log("ERROR: Calling Begin2d outside of a BeginDraw or BeginRenderTarget block!");
        return false;
    }
    mPlatform->Begin2d();
    mIn2d = true;
    return true;
}

bool TRenderer::Begin3d()
{
    if (mIn2d)
    {
        Log("Begin3d called when already in Begin2d state");
        return false;
    }
    if (mIn3d)
    {
        Log("Begin3d called when already in Begin3d state");
        return false;
    }
    if (!InDrawBlock())
    {
        Log("ERROR: Calling Begin3d outside of a BeginDraw or BeginRenderTarget block!");
        return false;
    }
    mIn3d = mPlatform->Begin3d();
    return mIn3d;
}

void TRenderer::End2d()
{
    if (!mIn2d)
    {
        Log("End2d called when not in Begin2d state");
        return;
    }
    if (!InDrawBlock())
        Log("ERROR: Calling End2d after EndDraw or EndRenderTarget!");
    mPlatform->End2d();
    mIn2d = false;
}

void TRenderer::End3d()
{
    if (!mIn3d)
    {
        Log("End3d called when not in Begin3d state");
        return;
    }
    if (!InDrawBlock())
        Log("Calling End3d after EndDraw or EndRenderTarget!");
    mPlatform->End3d();
    mIn3d = false;
}

void TRenderer::DrawVertices(uint32_t primitive, const TVertexSet& set)
{
    if (!mIn2d && !mIn3d)
    {
        Log("DrawVertices called when not in Begin2d or Begin3d state");
        return;
    }
    mPlatform->DrawVertices(primitive, set);
}

void TRenderer::DrawIndexedVertices(uint32_t primitive, const TVertexSet& set,
                                    const uint16_t* indices, uint32_t indexCount)
{
    if (!mIn2d && !mIn3d)
    {
        Log("DrawIndexedVertices called when not in Begin2d or Begin3d state");
        return;
    }
    mPlatform->DrawIndexedVertices(primitive, set, indices, indexCount);
}

void TRenderer::FillRect(const TRect& rect, const TVec4& colour,
                         const std::shared_ptr<TTexture>& target)
{
    if (target)
    {
        mPlatform->FillRect(rect, colour, target);
        return;
    }
    const TRect viewport = GetViewport();
    TRect moved(rect.left + viewport.left, rect.top + viewport.top, rect.right + viewport.left,
                rect.bottom + viewport.top);
    TRect cut;
    cut.SetIntersection(moved, viewport);
    mPlatform->FillRect(cut, colour);
}

void TRenderer::SetTexture(const std::shared_ptr<TTexture>& texture)
{
    std::shared_ptr<TTexture> bound = texture && texture->IsPlainSurface() ? nullptr : texture;
    if (mTexture != bound)
        mTexture = bound;
    mPlatform->SetTexture(bound);
}

void TRenderer::SetBlendMode(int32_t mode)
{
    mPlatform->SetBlendMode(mode);
}

void TRenderer::SetTextureFilter(int32_t filter)
{
    mPlatform->SetTextureFilter(filter);
}

void TRenderer::SetCullMode(int32_t mode)
{
    mPlatform->SetCullMode(mode);
}

void TRenderer::SetWorldMatrix(const TMat4& m)
{
    mPlatform->SetWorldMatrix(m);
}

void TRenderer::SetProjection(float zNear, float zFar, float fov, float aspect)
{
    mPlatform->SetProjection(zNear, zFar, fov, aspect);
}

void TRenderer::SetMaterial(const TMaterial& material)
{
    mPlatform->SetMaterial(material);
}

void TRenderer::SetLight(uint32_t index, const TLight* light)
{
    mPlatform->SetLight(index, light);
}

void TRenderer::SetOption(const TString& name, const TString& value)
{
    mPlatform->SetOption(name, value);
}

TString TRenderer::GetOption(const TString& name) const
{
    return mPlatform->GetOption(name);
}

bool TRenderer::RequiresSquareTextures() const
{
    return mPlatform->NeedsSquareTextures();
}

TRect TRenderer::GetViewport() const
{
    TRect r;
    mPlatform->GetViewport(r.left, r.top, r.right, r.bottom);
    return r;
}

void TRenderer::PushViewport(const TRect& rect)
{
    mPlatform->PushViewport(rect.left, rect.top, rect.right, rect.bottom);
}

void TRenderer::PopViewport()
{
    mPlatform->PopViewport();
}

void TRenderer::ApplyClipRect()
{
    mPlatform->SetClipRect(GetClipRect());
}

void TRenderer::PushClipRect(const TRect& rect)
{
    mClipStack.push_back(rect);
    ApplyClipRect();
}

void TRenderer::SetClipRect(const TRect& rect)
{
    if (mClipStack.empty())
        mClipStack.push_back(rect);
    else
        mClipStack.back() = rect;
    ApplyClipRect();
}

void TRenderer::PopClipRect()
{
    if (mClipStack.size() < 2)
        return;
    mClipStack.pop_back();
    ApplyClipRect();
}

TRect TRenderer::GetClipRect() const
{
    return mClipStack.empty() ? TRect() : mClipStack.back();
}

bool TRenderer::ToggleStatsOverlay()
{
    const bool before = mStatsOverlay;
    mStatsOverlay = !mStatsOverlay;
    return before;
}

void TRenderer::EndFrame(bool present)
{
    const uint32_t now = GetTimer();
    mFrameStamps[mFrameIndex] = now;
    mFrameIndex = (mFrameIndex + 1) % kFrameStamps;
    if (mFrameIndex == 0)
    {
        // Fifteen frames inside one millisecond leave the rate as it was.
        const uint32_t elapsed = now - mFrameStamps[0];
        if (elapsed != 0)
            mFramesPerSecond = 15000.0f / static_cast<float>(elapsed);
    }
    if (mStatsOverlay)
        DrawStatsOverlay();
    mInDraw = false;
    mPlatform->EndDraw(present);
}

void TRenderer::DrawStatsOverlay()
{
    if (mOverlayText == nullptr)
        mOverlayText = {
            TTextLayout::Create(TString(), 512, 512, TString(), 0, 16, TVec4(1, 0, 0, 1)),
            &TTextLayout::Delete};
    const int memory = static_cast<int>(GetMemoryAllocated() / 1024);
    const int maxMemory = static_cast<int>(GetMaxMemoryAllocated() / 1024);
    const int textureMemory = GetConfig("texture_ram_allocated").ToInt() / 1024;
    const int maxTextureMemory = GetConfig("max_texture_ram_allocated").ToInt() / 1024;
    const int sprites = GetConfig("current_sprite_count").ToInt();
    const TString text = TString::Format(
        "Brightloom Version %d.%d.%d.%d<br>%f FPS<tab pos='150'>Sprites: %d<br>Mem: %dkB<tab "
        "pos='150'>TexMem: %dkB<br>MaxMem: %dkB<tab pos='150'>MaxTexMem: %dkB<br>",
        4, 0, 25, 1001, static_cast<double>(mFramesPerSecond), sprites, memory, textureMemory,
        maxMemory, maxTextureMemory);
    const bool began = Begin2d();
    FillRect(kOverlayBox, TVec4(0, 0, 0, 0));
    mOverlayText->SetText(text);
    TTextLayout::DrawInRect(mOverlayText.get(), TRect(0, 0, 512, 512), 1, 0, 1);
    if (began)
        End2d();
}

void Render2dGuard::End()
{
    if (!mOpened)
        return;
    if (TRenderer* renderer = TRenderer::Existing())
        renderer->End2d();
    mOpened = false;
}

void ClearMaterial(TMaterial& material)
{
    material = TMaterial{};
}

void BuildQuadVertices(void* out, const TVec2& translation, const TVec2 corners[4],
                       const TVec2& uvTopLeft, const TVec2& uvBottomRight, const TMat3& matrix,
                       float alpha, float r, float g, float b)
{
    std::memset(out, 0, 4 * sys::display::VERTEX_STRIDE);
    auto* vertices = static_cast<sys::display::LVertex*>(out);
    const uint8_t alphaByte = ToByte(alpha);
    const uint32_t diffuse = TColor(ToByte(r), ToByte(g), ToByte(b), alphaByte).GetPacked();
    const TVec2 uv[4] = {uvTopLeft, TVec2(uvBottomRight.x, uvTopLeft.y), uvBottomRight,
                         TVec2(uvTopLeft.x, uvBottomRight.y)};
    for (int i = 0; i < 4; ++i)
    {
        const TVec2& c = corners[i];
        const float x = c.x * matrix.m[0][0] + c.y * matrix.m[1][0] + matrix.m[2][0];
        const float y = c.x * matrix.m[0][1] + c.y * matrix.m[1][1] + matrix.m[2][1];
        sys::display::LVertex& v = vertices[i];
        v.x = x + translation.x;
        v.y = y + translation.y;
        v.z = 0.1f;
        v.reserved = 0.5f;
        v.diffuse = diffuse;
        v.specular = 0xFF000000u;
        v.u = uv[i].x;
        v.v = uv[i].y;
    }
}
