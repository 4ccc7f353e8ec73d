// Where the vector rasteriser's run lines go: the renderer (line lists of pre-transformed vertices)
// or a texture it writes into, and the renderer's services its self test uses. The renderer and
// the textures implement these; tests implement them over the display stand-in.
#pragma once

#include <cstdint>
#include <memory>

// A pre-transformed, pre-lit vertex (the renderer's kind 3): 32 bytes.
struct TVecVertex
{
    float x, y, z, rhw;
    uint32_t colour;   // A8R8G8B8
    uint32_t specular; // A8R8G8B8
    float u, v;
};
static_assert(sizeof(TVecVertex) == 32);

// What the rasteriser needs of a texture that it writes into or reads back.
class TVecDrawTexture
{
public:
    virtual ~TVecDrawTexture() = default;
    // The image's size (not the surface's).
    virtual int GetWidth() const = 0;
    virtual int GetHeight() const = 0;
    // 32-bit pixels (bytes blue, green, red, alpha) and the row pitch in pixels; false when the
    // texture cannot be locked.
    virtual bool Lock(uint32_t*& pixels, int& pitch) = 0;
    virtual void Unlock() = 0;
};

// The renderer as the rasteriser uses it.
class TVecDrawDevice
{
public:
    virtual ~TVecDrawDevice() = default;
    // Drawing without a texture from now on.
    virtual void SetNoTexture() = 0;
    // Draws `count` vertices as a line list with alpha blending. Pre-transformed vertices skip
    // the projection: the renderer moves them by the current viewport's top-left, so that runs
    // land where a texture drawn at the same position in the same viewport lands.
    virtual void DrawLineList(const TVecVertex* vertices, int count) = 0;
    // The window manager's redraw request.
    virtual void SetDirty() = 0;
    // A render-target texture of the given image size; empty when it cannot be made.
    virtual std::shared_ptr<TVecDrawTexture> CreateRenderTarget(int width, int height) = 0;
    // Drawing goes into the texture until EndRenderTarget; false when the renderer refuses.
    virtual bool BeginRenderTarget(const std::shared_ptr<TVecDrawTexture>& texture) = 0;
    virtual void EndRenderTarget() = 0;
};
