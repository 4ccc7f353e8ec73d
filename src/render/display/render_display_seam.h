// The rendering layer's side of the platform's display seam: the renderer and its display handler
// answer for the display, the drawn cursor included; before the first display-mode change the
// "no display yet" answers stand.
#pragma once

#include "platform/seams/display_seam.h"
#include "render/text/font_map.h"

#include <memory>

class TPlatform;
class TQmMiniVecDraw;
class TRendererVecDrawDevice;

class TRenderDisplaySeam : public TNoDisplay
{
public:
    // Its font map is the text layout's from now on; destroying the seam clears it.
    TRenderDisplaySeam();
    ~TRenderDisplaySeam() override;

    // False until the first display-mode change: the event pump must not restore a display that
    // was never set.
    bool Exists() const override { return mExists && GetPlatform() != nullptr; }
    bool CheckDevice() override;
    bool IsRestoreHeldOff() override;
    void Restore() override;
    bool IsFullScreen() const override;
    bool SetFullScreen(bool full) override;
    // The handler raises the display-changed flag itself when it sets a mode, so the answer is
    // always false.
    bool SetDisplay(sys::WindowHandle window, int width, int height, bool full,
                    bool hosted) override;
    void GetWindowSize(int& width, int& height, bool& full) const override;
    void GetViewport(int& width, int& height) const override;
    void ResetWorkingCount() override;
    void UpdateDesktopMode() override;
    void OnOutOfVideoMemory() override;
    void SetVSync(bool on) override;
    bool IsPresentDone() override;
    // The renderer, which owns the display handler.
    void CreateRenderer() override;
    void DestroyRenderer() override;
    void ToggleStatsOverlay() override;
    // The renderer's top clip rectangle becomes (0, 0, width, height).
    void ReplaceClipRect(int width, int height) override;
    std::shared_ptr<TTexture> LoadSystemCursorTexture() override;
    // The drawn cursor through the display handler once the display exists.
    void GetDrawnMousePosition(int& x, int& y) const override;
    bool ShowSystemCursor() override;
    void ShowMouse(bool show) override;
    void SetCursorTexture(const std::shared_ptr<TTexture>& texture, int hotX, int hotY,
                          int slot) override;
    void DrawMouse(int x, int y) override;
    void EraseMouse() override;
    void UpdateWindowBounds() override;
    void RunRenderSelfTest() override;
    // The text layout's rasteriser, drawing through the renderer, calibrated by its self test.
    void CreateVectorRasteriser() override;
    void DestroyVectorRasteriser() override;

    TPlatform* GetPlatform() const;
    TQmMiniVecDraw* GetVectorRasteriser() const { return mRasteriser.get(); }
    TFontMap& GetFontMap() { return mFontMap; }

private:
    TFontMap mFontMap;
    std::unique_ptr<TRendererVecDrawDevice> mVecDevice;
    std::unique_ptr<TQmMiniVecDraw> mRasteriser;
    bool mExists = false;
    bool mVSync = false;
};

// The factory the program installs with SetDisplayFactory.
std::unique_ptr<TDisplaySeam> CreateRenderDisplaySeam();
