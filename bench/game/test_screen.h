// TTestScreen: the program's first screen, kept as a frame workload for the benchmark: a dark
// frame, the name and version in the built-in font, a sprite tree of textures painted in code
// turning with the frame count, a centred text sprite. A frame number fixes the picture.
#pragma once

#include "render/renderer/draw_spec.h"

#include <cstdint>
#include <memory>
#include <vector>

class TSprite;
class TTextSprite;

class TTestScreen
{
public:
    TTestScreen();
    ~TTestScreen();
    TTestScreen(const TTestScreen&) = delete;
    TTestScreen& operator=(const TTestScreen&) = delete;

    // One whole frame through the renderer; nothing without a display.
    void DrawFrame(uint32_t frame, bool present = true);

private:
    std::shared_ptr<TTextSprite> mTitle;
    std::shared_ptr<TTextSprite> mVersion;
    std::shared_ptr<TSprite> mWheel;
    std::vector<std::shared_ptr<TSprite>> mSpokes;
    std::shared_ptr<TTextSprite> mCaption;
};
