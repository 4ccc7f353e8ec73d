// HeavensScene: the puzzle scene of the minigame type "heavensscene": a lens searches the night
// sky; five animated constellations show only through it. A press with the lens over a
// constellation's answer finds it, in any order: a plate on the lens lights, a sound plays and
// the scene layer showing the constellation fades in. With all five found it asks the runner for
// "event_heavenscomplete". Its table comes from the script that ran for it in a context of its
// own.
#pragma once

#include "game/minigames/puzzles/heavens/heavens_background.h"
#include "game/minigames/puzzles/heavens/heavens_constellation.h"
#include "game/minigames/puzzles/heavens/heavens_lens.h"
#include "game/minigames/puzzles/puzzle_scene.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

class SoundEffect;
class TScript;

class HeavensScene : public PuzzleSceneOf<HeavensScene>
{
public:
    static constexpr size_t kAnswers = 5;
    static constexpr size_t kOwnStateSize = 1;
    static constexpr const char* kRecordName = "heavens";
    // The lens works where the mouse is this high or higher on the screen.
    static constexpr int32_t kSkyBottom = 400;
    static constexpr const char* kCompleteEvent = "event_heavenscomplete";
    TString GetCompletionEvent() const override { return TString(kCompleteEvent); }
    // The scene layers that show the constellations once found, in answer order.
    static const std::array<const char*, kAnswers> kLayerNames;

    // The base scene from the first six, then the table "searchingtheheavens" of `script`. A
    // missing table is a fatal report and the scene stays as far as it got.
    HeavensScene(GameplayFactory& factory, const TLuaTable& entityInfo, const TString& name,
                 const TLuaTable& scene, const TLuaTable* playlist, const TLuaTable& sceneInfo,
                 TScript& script);
    ~HeavensScene() override;

    // The base and the sound's count-down always; while shown in play the lens follows a mouse in
    // the sky, the constellations animate and, all five found, the completion request is made
    // (again on every such update).
    void Update(uint32_t elapsedMs, bool active, bool playing) override;
    // The sky, the base, the constellations, the lens and its plates.
    void Draw(const TDrawSpec& spec) override;
    // The lens decides, even where it stopped, once brought to the press's point as a frame
    // brings it: the first unlit answer it touches is found; else the press is used while the
    // lens is active. Wrong presses cost nothing.
    bool OnMouseDown(TPoint point) override;
    bool OnMouseUp(TPoint point) override;
    void Pause(bool active) override;
    void Resume(bool active) override;
    void LoadTextures() override;
    void ReleaseTextures() override;

    int32_t GetFound() const { return mFound; }
    bool IsComplete() const { return mComplete; }
    bool IsLensActive() const { return mLensActive; }
    const HeavensLens& GetLens() const { return mLens; }
    const HeavensBackground& GetBackground() const { return mBackground; }
    const HeavensConstellation& GetConstellation(size_t index) const
    {
        return mConstellations[index];
    }
    const TRect& GetAnswer(size_t index) const { return mAnswers[index]; }
    const std::shared_ptr<SoundEffect>& GetFoundSound() const { return mSoundFound; }

protected:
    // Byte 0: bit i for lit plate i.
    void SaveOwnState(std::vector<uint8_t>& out) override;
    // The plates from the bits (found counts them); the layers come back through the base.
    void LoadOwnState(const uint8_t* data) override;

private:
    // The lens goes with a pointer in the sky; below it, the lens stays where it stopped.
    void FollowPointer(const TPoint& mouse);

    bool mComplete = false;
    bool mLensActive = true;
    HeavensBackground mBackground;
    HeavensLens mLens;
    std::array<HeavensConstellation, kAnswers> mConstellations;
    std::array<TRect, kAnswers> mAnswers{};
    int32_t mFound = 0;
    std::shared_ptr<SoundEffect> mSoundFound;
};
