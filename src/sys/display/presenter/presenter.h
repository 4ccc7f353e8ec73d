// Shows finished frames in the window through an SDL streaming texture, and keeps a copy of the
// last frame so tests can read it back byte-exact. Headless (no SDL calls) without a window or when
// SDL runs its dummy video driver.
#pragma once

#include "sys/display/rect.h"

#include <cstddef>
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
    // Whether PresentCopy can take a same-size blit from `src` into `front`: a 32-bit front of
    // the usual channel order and a source whose bytes copy unchanged.
    static bool CanPresentCopy(const Surface& front, const Surface& src);
    // The blit of `from` of `src` to `dst` of `front` (same size, inside both), then Present of
    // `region`, in one pass over the blit's pixels: each row read once is written to the front
    // and, where the region shows it, to the frame.
    void PresentCopy(Surface& front, const Rect& dst, const Surface& src, const Rect& from,
                     const Rect& region);

    // Fills the window black (nothing headless): what it shows while it changes shape, until a
    // frame drawn for the new shape comes.
    void PresentBlack();

    // Presentation waits for the vertical blank when set (renderer vsync).
    void SetVSync(bool vsync);
    bool IsHeadless() const { return mHeadless; }
    // Whether a presenter for the window would be headless (no window, or a driver that shows
    // nothing).
    static bool IsHeadlessWindow(SDL_Window* window);
    // SDL refused a renderer or texture; frames are then only captured.
    bool HasFailed() const { return mFailed; }

    // The last presented frame (it is also what SDL uploads) as A8R8G8B8, rows of GetFrameWidth()
    // pixels.
    const std::vector<uint32_t>& GetLastFrame() const { return mFrameIsShown ? mShown : mFrame; }
    uint32_t GetFrameWidth() const { return mFrameWidth; }
    uint32_t GetFrameHeight() const { return mFrameHeight; }
    Rect GetLastRegion() const { return mRegion; }
    uint32_t GetPresentCount() const { return mPresentCount; }
    // The frames that reached the window: a frame whose picture, size and window are those of the
    // one shown before is neither uploaded, scaled nor presented again (the window keeps showing
    // it), unless the window server lost the window's content since.
    uint32_t GetShownCount() const { return mShownCount; }

private:
    // Sizes the frame for a non-empty region (black where it lies off the surface) and answers
    // the part of the region on the surface.
    Rect BeginFrame(const Surface& front, const Rect& region);
    void EndFrame();
    uint32_t* FrameAt(int32_t x, int32_t y)
    {
        return mFrame.data() + static_cast<size_t>(y - mRegion.top) * mFrameWidth +
               (x - mRegion.left);
    }
    // The frame's pixels in [x0, x1) of row y, from the front as it is.
    void CopyFromFront(const Surface& front, int32_t y, int32_t x0, int32_t x1);
    void Upload();
    // The two ways the frame reaches the window: scaled by SDL's renderer (a GPU's), or by the
    // presenter straight into the window's surface. False when nothing reached it.
    bool ShowThroughRenderer(int outputWidth, int outputHeight);
    bool ShowOnWindowSurface();
    bool CreateRenderer();

    SDL_Window* mWindow;
    SDL_Renderer* mRenderer = nullptr;
    SDL_Texture* mTexture = nullptr;
    uint32_t mTextureWidth = 0;
    uint32_t mTextureHeight = 0;
    bool mHeadless;
    bool mVSync = false;
    bool mFailed = false;           // SDL refused once; later frames are only captured
    bool mWindowSurface = false;    // no renderer: frames are scaled into the window's surface
    std::vector<uint32_t> mColumns; // the scaling's source column of each window column
    std::vector<uint32_t> mFrame;
    uint32_t mFrameWidth = 0;
    uint32_t mFrameHeight = 0;
    Rect mRegion;
    uint32_t mPresentCount = 0;
    uint32_t mShownCount = 0;
    // What the window shows: the frame last shown (its buffer swapped with the next frame's, so
    // mFrameIsShown tells which of the two the last frame is), and the window's output size then;
    // not valid while the window shows something else (nothing yet, black, or lost content).
    std::vector<uint32_t> mShown;
    bool mShownValid = false;
    bool mFrameIsShown = false;
    uint32_t mShownWidth = 0;
    int mShownOutputWidth = 0;
    int mShownOutputHeight = 0;
};

} // namespace sys::display
