// Shows finished frames in the window through an SDL streaming texture, and keeps a copy of the
// last frame so tests can read it back byte-exact. Headless (no SDL calls) without a window or when
// SDL runs its dummy video driver.
#pragma once

#include "sys/display/rect.h"

#include <cstdint>
#include <vector>

struct SDL_Window;
struct SDL_Renderer;
struct SDL_Texture;

namespace sys::display
{

class Surface;

class Presenter
{
public:
    // `useDummyDriver` makes even SDL's dummy driver go through the SDL path (tests of that path).
    explicit Presenter(SDL_Window* window, bool useDummyDriver = false);
    ~Presenter();
    Presenter(const Presenter&) = delete;
    Presenter& operator=(const Presenter&) = delete;

    // Shows `region` of `front` (parts outside the surface show black) stretched over the window's
    // client area. Errors from SDL are logged once and the frame is dropped.
    void Present(const Surface& front, const Rect& region);

    // Presentation waits for the vertical blank when set (renderer vsync).
    void SetVSync(bool vsync);
    bool IsHeadless() const { return mHeadless; }
    // SDL refused a renderer or texture; frames are then only captured.
    bool HasFailed() const { return mFailed; }

    // The last presented frame (it is also what SDL uploads) as A8R8G8B8, rows of GetFrameWidth()
    // pixels.
    const std::vector<uint32_t>& GetLastFrame() const { return mFrame; }
    uint32_t GetFrameWidth() const { return mFrameWidth; }
    uint32_t GetFrameHeight() const { return mFrameHeight; }
    Rect GetLastRegion() const { return mRegion; }
    uint32_t GetPresentCount() const { return mPresentCount; }

private:
    void Upload();

    SDL_Window* mWindow;
    SDL_Renderer* mRenderer = nullptr;
    SDL_Texture* mTexture = nullptr;
    uint32_t mTextureWidth = 0;
    uint32_t mTextureHeight = 0;
    bool mHeadless;
    bool mVSync = false;
    bool mFailed = false; // SDL refused once; later frames are only captured
    std::vector<uint32_t> mFrame;
    uint32_t mFrameWidth = 0;
    uint32_t mFrameHeight = 0;
    Rect mRegion;
    uint32_t mPresentCount = 0;
};

} // namespace sys::display
