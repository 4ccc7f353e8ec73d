// What the platform shell asks of the display handler and the renderer. The rendering layer
// installs its own; until it exists "no display yet" stands in: it has no device, and setting a
// display mode just sizes, centres and shows the main window so that the program has a window a
// user can see and close.
#pragma once

#include "sys/window/window.h"

#include <memory>

class TTexture;

class TDisplaySeam
{
public:
    virtual ~TDisplaySeam() = default;

    // Whether the display handler exists (after the first display-mode change).
    virtual bool Exists() const = 0;
    // The device is usable; false when it was lost.
    virtual bool CheckDevice() = 0;
    // Restores lost surfaces or sets the display up again.
    virtual void Restore() = 0;
    // A restore cannot finish until a moment has passed, whatever the messages say.
    virtual bool IsRestoreHeldOff() = 0;
    virtual bool IsFullScreen() const = 0;
    // Switches between full screen and a window at the current size; the handler's answer.
    virtual bool SetFullScreen(bool full) = 0;
    // Sets the display mode and shows the window; `hosted` keeps it windowed in its host.
    virtual bool SetDisplay(sys::WindowHandle window, int width, int height, bool full,
                            bool hosted) = 0;
    virtual void GetWindowSize(int& width, int& height, bool& full) const = 0;
    virtual void GetViewport(int& width, int& height) const = 0;
    // Where the drawn cursor is (client pixels).
    virtual void GetDrawnMousePosition(int& x, int& y) const = 0;
    virtual void ResetWorkingCount() = 0;
    // WM_SETCURSOR: true when the handler set the cursor itself.
    virtual bool ShowSystemCursor() = 0;
    virtual void ShowMouse(bool show) = 0;
    // Slot 0 the colour-keyed image, slot 1 the alpha image.
    virtual void SetCursorTexture(const std::shared_ptr<TTexture>& texture, int hotX, int hotY,
                                  int slot) = 0;
    // The built-in cursor image as a texture ("__systemcursor__.png"); empty without a display.
    virtual std::shared_ptr<TTexture> LoadSystemCursorTexture() = 0;
    virtual void DrawMouse(int x, int y) = 0;
    virtual void EraseMouse() = 0;
    virtual void UpdateWindowBounds() = 0;
    virtual void UpdateDesktopMode() = 0;
    virtual bool IsPresentDone() = 0;
    virtual void OnOutOfVideoMemory() = 0;
    virtual void SetVSync(bool on) = 0;

    // The renderer singleton and its statistics overlay.
    virtual void CreateRenderer() = 0;
    virtual void DestroyRenderer() = 0;
    virtual void ToggleStatsOverlay() = 0;
    // The renderer's top clip rectangle becomes (0, 0, width, height).
    virtual void ReplaceClipRect(int width, int height) = 0;
    // The vector rasteriser: built, self-tested and the root window cleared on the first
    // display-mode change; deleted at teardown.
    virtual void CreateVectorRasteriser() = 0;
    virtual void DestroyVectorRasteriser() = 0;
    // The display handler's rendering self-test after a mode change.
    virtual void RunRenderSelfTest() = 0;
    // The image decoder library's extra formats ("jp2", "jpc"), and emptying its format table.
    virtual void RegisterImageFormats() = 0;
    virtual void ClearImageFormats() = 0;
};

class TNoDisplay : public TDisplaySeam
{
public:
    bool Exists() const override { return false; }
    bool CheckDevice() override { return true; }
    void Restore() override {}
    bool IsRestoreHeldOff() override { return false; }
    bool IsFullScreen() const override { return false; }
    bool SetFullScreen(bool) override { return false; }
    bool SetDisplay(sys::WindowHandle window, int width, int height, bool full,
                    bool hosted) override;
    void GetWindowSize(int& width, int& height, bool& full) const override;
    void GetViewport(int& width, int& height) const override;
    // The last position the mouse messages reported.
    void GetDrawnMousePosition(int& x, int& y) const override;
    void ResetWorkingCount() override {}
    bool ShowSystemCursor() override { return false; }
    void ShowMouse(bool) override {}
    void SetCursorTexture(const std::shared_ptr<TTexture>&, int, int, int) override {}
    std::shared_ptr<TTexture> LoadSystemCursorTexture() override { return nullptr; }
    void DrawMouse(int, int) override {}
    void EraseMouse() override {}
    void UpdateWindowBounds() override {}
    void UpdateDesktopMode() override {}
    bool IsPresentDone() override { return true; }
    void OnOutOfVideoMemory() override {}
    void SetVSync(bool) override {}
    void CreateRenderer() override {}
    void DestroyRenderer() override {}
    void ToggleStatsOverlay() override {}
    void ReplaceClipRect(int, int) override {}
    void CreateVectorRasteriser() override {}
    void DestroyVectorRasteriser() override {}
    void RunRenderSelfTest() override {}
    void RegisterImageFormats() override {}
    void ClearImageFormats() override {}

private:
    int mWidth = 0;
    int mHeight = 0;
};

using TDisplayFactory = std::unique_ptr<TDisplaySeam> (*)();
// The program's entry installs the rendering layer's factory; null goes back to TNoDisplay.
void SetDisplayFactory(TDisplayFactory factory);
std::unique_ptr<TDisplaySeam> CreateDisplayFromSeam();
