// TRenderer, the drawing facade: which block is open (a frame or a render target, a 2-D or 3-D
// block) with every misuse refused and logged, the clip-rectangle stack, the frame-rate count and
// the statistics overlay's box, forwarding device work to the display handler it owns.
#pragma once

#include "platform/maths/geometry.h"
#include "platform/strings/tstring.h"
#include "render/display/platform.h"
#include "render/renderer/vertex_set.h"

#include <cstdint>
#include <memory>
#include <vector>

class TTextLayout;

class TRenderer
{
public:
    // The instance, made (with its display handler) on first use.
    static TRenderer* Instance();
    // The instance if it exists, without making one.
    static TRenderer* Existing();
    static void DestroyInstance();

    bool BeginDraw(bool copyFront);
    // Refused (false, nothing logged) for a plain surface or inside a block.
    bool BeginRenderTarget(const std::shared_ptr<TTexture>& texture, int32_t kind);
    void EndDraw();
    bool Begin2d();
    bool Begin3d();
    void End2d();
    void End3d();
    bool InBegin2d() const { return mIn2d; }
    bool InBegin3d() const { return mIn3d; }
    bool InDrawBlock() const { return mInDraw || mInRenderTarget; }

    void DrawVertices(uint32_t primitive, const TVertexSet& set);
    void DrawIndexedVertices(uint32_t primitive, const TVertexSet& set, const uint16_t* indices,
                             uint32_t indexCount);
    // On the back buffer: moved by the viewport's origin and cut to the viewport.
    void FillRect(const TRect& rect, const TVec4& colour,
                  const std::shared_ptr<TTexture>& target = nullptr);
    // A plain-surface texture is bound as none.
    void SetTexture(const std::shared_ptr<TTexture>& texture);
    std::shared_ptr<TTexture> GetTexture() const { return mTexture; }
    // Taken only at the root window's size; empty clears it.
    void SetFrameTexture(const std::shared_ptr<TTexture>& texture);
    std::shared_ptr<TTexture> GetFrameTexture() const { return mFrameTexture; }
    void SetBlendMode(int32_t mode);
    void SetTextureFilter(int32_t filter);
    void SetCullMode(int32_t mode);
    void SetWorldMatrix(const TMat4& m);
    void SetProjection(float zNear, float zFar, float fov, float aspect);
    void SetMaterial(const TMaterial& material);
    void SetLight(uint32_t index, const TLight* light);
    void SetOption(const TString& name, const TString& value);
    TString GetOption(const TString& name) const;
    bool RequiresSquareTextures() const;

    TRect GetViewport() const;
    void PushViewport(const TRect& rect);
    void PopViewport();
    void PushClipRect(const TRect& rect);
    void SetClipRect(const TRect& rect);
    void PopClipRect();
    TRect GetClipRect() const;

    // Answers the state before the flip.
    bool ToggleStatsOverlay();
    void EndFrame(bool present);
    // While set, frames are presented although the window manager suspends drawing: a film
    // player sets it around its own frame, so that the game draws nothing and the film shows.
    void SetPresentWhileSuspended(bool value) { mPresentWhileSuspended = value; }
    bool IsPresentWhileSuspended() const { return mPresentWhileSuspended; }
    float GetFramesPerSecond() const { return mFramesPerSecond; }

    TPlatform& GetPlatform() { return *mPlatform; }

private:
    TRenderer();
    ~TRenderer();
    void ApplyClipRect();
    void DrawStatsOverlay();

    static constexpr uint32_t kFrameStamps = 15;
    uint32_t mFrameIndex = 0;
    float mFramesPerSecond = 0;
    uint32_t mFrameStamps[kFrameStamps] = {};
    bool mStatsOverlay = false;
    bool mPresentWhileSuspended = false;
    std::unique_ptr<TTextLayout, void (*)(TTextLayout*)> mOverlayText{nullptr, nullptr};
    std::vector<TRect> mClipStack;
    std::shared_ptr<TTexture> mTexture;
    std::shared_ptr<TTexture> mFrameTexture;
    bool mIn2d = false;
    bool mIn3d = false;
    bool mInDraw = false;
    bool mInRenderTarget = false;
    std::unique_ptr<TPlatform> mPlatform;
};

// Ends a 2-D block only when it was the guard that opened it.
struct Render2dGuard
{
    bool mOpened = false;
    void End();
};

// Every field 0.
void ClearMaterial(TMaterial& material);

// Four kind-2 vertices (128 bytes) of a 2-D quad: the corners through `matrix`, moved by
// `translation`, at depth 0.1 with the texture rectangle's corners, the colour and alpha as bytes.
void BuildQuadVertices(void* out, const TVec2& translation, const TVec2 corners[4],
                       const TVec2& uvTopLeft, const TVec2& uvBottomRight, const TMat3& matrix,
                       float alpha, float r, float g, float b);
