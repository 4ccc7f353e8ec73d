// The vector rasteriser's output through the renderer: its line lists as pre-transformed vertices
// moved by the current viewport's top-left, textures it writes into, render targets for its self
// test, and the window manager's redraw request.
#pragma once

#include "render/text/vector_draw_output.h"

#include <memory>
#include <vector>

class TTexture;

// A texture as the rasteriser's target.
class TTextureVecTarget : public TVecDrawTexture
{
public:
    explicit TTextureVecTarget(std::shared_ptr<TTexture> texture) : mTexture(std::move(texture)) {}
    int GetWidth() const override;
    int GetHeight() const override;
    bool Lock(uint32_t*& pixels, int& pitch) override;
    void Unlock() override;
    const std::shared_ptr<TTexture>& GetTexture() const { return mTexture; }

private:
    std::shared_ptr<TTexture> mTexture;
};

// Draws through the renderer instance when it exists; without one everything is dropped.
class TRendererVecDrawDevice : public TVecDrawDevice
{
public:
    void SetNoTexture() override;
    void DrawLineList(const TVecVertex* vertices, int count) override;
    void SetDirty() override;
    std::shared_ptr<TVecDrawTexture> CreateRenderTarget(int width, int height) override;
    // Opens the target with a 2-D block over its area cleared to black.
    bool BeginRenderTarget(const std::shared_ptr<TVecDrawTexture>& texture) override;
    void EndRenderTarget() override;

private:
    std::vector<TVecVertex> mMoved;
    bool mTargetOpen = false;
};
