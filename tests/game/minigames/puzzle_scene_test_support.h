// What the puzzle scenes' tests share: a screen test that records the events a puzzle asks the
// runner for ("activated", in order), pictures coloured texel by texel, a puzzle built from a
// scene's arguments once its script ran in a context of its own, and the mouse moved for the
// puzzle's next update.
#pragma once

#include "framework/screen_test_support.h"
#include "script/script.h"
#include "sys/display/surface_png.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace puzzletest
{

class PuzzleTest : public screentest::ScreenTest
{
protected:
    void SetUp() override
    {
        ScreenTest::SetUp();
        if (HasFatalFailure())
            return;
        // What the runner's binding would store, recorded whole.
        Run("activated = {} function GameplayActivateEvent(name) "
            "table.insert(activated, name) end");
    }
    // A picture whose texel (x, y) is `colour(x, y)`.
    template <typename F> void Png(const std::string& path, int w, int h, F colour)
    {
        std::vector<uint32_t> pixels(static_cast<size_t>(w * h));
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                pixels[static_cast<size_t>(y * w + x)] = colour(x, y);
        std::vector<uint8_t> png = sys::display::EncodePng(pixels.data(), w, h);
        File(path, std::string(png.begin(), png.end()));
    }
    // The puzzle from the scene's arguments after `script` ran in a context of its own, which is
    // gone once the puzzle is built; its textures loaded.
    template <class Scene, class Factory>
    static std::unique_ptr<Scene> MakeScene(Factory& factory, const std::string& script,
                                            const TLuaTable& entityInfo, const char* name,
                                            const TLuaTable& scene, const TLuaTable& info)
    {
        TScript puzzle;
        puzzle.DoLuaString(script.c_str());
        auto made =
            std::make_unique<Scene>(factory, entityInfo, name, scene, nullptr, info, puzzle);
        made->LoadTextures();
        return made;
    }
    void MouseAt(TPoint point)
    {
        mSettings->mMouseX = point.x;
        mSettings->mMouseY = point.y;
    }
    // The mouse moved there and one active update in play, so a lens follows.
    template <class Scene> void Hover(Scene& puzzle, TPoint point)
    {
        MouseAt(point);
        puzzle.Update(16, true, true);
    }
    template <class Scene> bool Press(Scene& puzzle, TPoint point)
    {
        Hover(puzzle, point);
        return puzzle.OnMouseDown(TPoint{0, 0});
    }
    int Activations()
    {
        Run("_n = table.getn(activated)");
        return static_cast<int>(Number("_n"));
    }
};

} // namespace puzzletest
