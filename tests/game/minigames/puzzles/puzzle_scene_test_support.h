// What the puzzle scenes' tests share: a screen test that records the events a puzzle asks the
// runner for ("activated", in order), pictures coloured texel by texel, a puzzle built from a
// scene's arguments once its script ran in a context of its own, and the mouse moved for the
// puzzle's next update; and the runner's side, a location whose puzzles the game's runner plays.
#pragma once

#include "framework/adventure/entities/gameplay_layer.h"
#include "framework/adventure/hud/gameplay_hud.h"
#include "framework/adventure/player_data.h"
#include "framework/screen_test_support.h"
#include "game/runner/mkw_gameplay.h"
#include "script/script.h"
#include "sys/display/presenter/surface_png.h"

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
        return puzzle.OnMouseDown(point);
    }
    int Activations()
    {
        Run("_n = table.getn(activated)");
        return static_cast<int>(Number("_n"));
    }
};

// The puzzles in the game's runner: `Runner` (the test's runner) and a plain HUD registered, a
// new player with her record; the puzzles the test registers are given back after it.
template <class Runner> class RunnerTest : public screentest::ScreenTest
{
protected:
    void SetUp() override
    {
        ScreenTest::SetUp();
        if (HasFatalFailure())
            return;
        mManager->RegisterWindowType("Gameplay", &Runner::Create);
        mManager->RegisterWindowType("GameplayHud", &GameplayHud::Create);
        Image("hud/bg.png", 800, 100, 0xFF303030);
        mSettings->CreateNewUser("player");
        mPlayer = std::make_unique<PlayerData>();
    }
    void TearDown() override
    {
        for (const char* name : mPuzzles)
            MKWGameplay::RegisterMinigameScene(name, nullptr);
        Run("gameplayinstructions = nil");
        mPlayer.reset();
        ScreenTest::TearDown();
    }
    void RegisterPuzzle(const char* name, MKWGameplay::MinigameSceneCreator creator)
    {
        MKWGameplay::RegisterMinigameScene(name, creator);
        mPuzzles.push_back(name);
    }
    // The location's instructions run, then the runner with its HUD, played up to its first frame
    // of play (60 frames at the most).
    Runner* OpenRunner(const std::string& location)
    {
        Run(location);
        Run("Gameplay{ name = 'gameplay', x = 0, y = 0, w = 800, h = 600, "
            "characterinfo = { scrim = {}, conversation_info = {}, info = {} }, "
            "playlist = { location01 = {} }, sceneinfo = {}, animatedcursorinfo = {}, "
            "locationnumber = 1, playlistinfo = {}, inventoryinfo = { barwidth = 0 }, "
            "timescenetransition = 50, "
            "entityinfo = { iteminfo = {}, areainfo = {}, layerinfo = { fadetime = 0 }, "
            "textinfo = {} }, "
            "GameplayHud{ name = 'hud', x = 0, y = 500, w = 800, h = 100, "
            "background = { image = 'hud/bg.png' }, foreground = { image = 'hud/bg.png' }, "
            "progressbar = { image = 'hud/bg.png' }, inventorybounds = { w = 300, h = 80 } } }()");
        auto* gameplay =
            dynamic_cast<Runner*>(mManager->GetRoot()->FindChild("gameplay", 0xFFFFFFFFu));
        Frames(gameplay, 60);
        return gameplay;
    }
    static bool InPlay(const Gameplay& gameplay)
    {
        return gameplay.GetGameplayState() == Gameplay::kPlay;
    }
    // Up to `most` frames, until the runner is in play again.
    void Frames(const Gameplay* gameplay, int most)
    {
        for (int i = 0; gameplay != nullptr && i < most && !InPlay(*gameplay); ++i)
            Frame(16);
    }
    void Close(Runner* gameplay)
    {
        gameplay->OnClose();
        gameplay->GetParent()->RemoveChild(gameplay);
        delete gameplay;
    }
    static bool Active(const Gameplay& gameplay, const std::string& layer)
    {
        const GameplayLayer* found = gameplay.FindLayer(layer.c_str());
        return found != nullptr && (found->GetFlags() & GameplayEntity::kActive) != 0;
    }
    void MouseAt(TPoint point)
    {
        mSettings->mMouseX = point.x;
        mSettings->mMouseY = point.y;
    }

    std::unique_ptr<PlayerData> mPlayer;

private:
    std::vector<const char*> mPuzzles;
};

} // namespace puzzletest
