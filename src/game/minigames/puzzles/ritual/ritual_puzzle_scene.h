// RitualPuzzleScene: the puzzle scene of the minigame type "ritualpuzzlescene": five crystals
// demonstrate five patterns in turn, each answered by clicking the crystals in the reverse order;
// each answered pattern shows a beam layer of the scene, and 2000 ms after the fifth the scene
// asks the runner for "event_ritualcomplete".
#pragma once

#include "game/minigames/puzzles/ritual/ritual_crystal.h"
#include "game/minigames/puzzles/puzzle_parts.h"
#include "game/minigames/puzzles/puzzle_scene.h"
#include "game/minigames/puzzles/ritual/ritual_pattern.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

class TScript;

class RitualPuzzleScene : public PuzzleSceneOf<RitualPuzzleScene>
{
public:
    static constexpr size_t kCrystals = 5;
    static constexpr size_t kPatterns = 5;
    static constexpr size_t kOwnStateSize = 1;
    static constexpr uint32_t kPatternMask = 0xF;
    static constexpr uint32_t kAnsweredShift = 4;
    static constexpr const char* kRecordName = "ritual";
    static constexpr uint32_t kCompletionDelayMs = 2000;
    static constexpr const char* kCompleteEvent = "event_ritualcomplete";
    TString GetCompletionEvent() const override { return TString(kCompleteEvent); }
    // The layer shown as pattern n is answered is element n - 1.
    static const char* const kPatternLayers[kPatterns];

    // The base scene, then "gs_cursorHandOpen" and the table "ritualpuzzle" from `script`. A
    // missing table, or a step naming no crystal, is a fatal report and construction stops there.
    RitualPuzzleScene(GameplayFactory& factory, const TLuaTable& entityInfo, const TString& name,
                      const TLuaTable& scene, const TLuaTable* playlist, const TLuaTable& sceneInfo,
                      TScript& script);
    ~RitualPuzzleScene() override;

    // The base first; then, only while shown and in play: a solved pattern moves on (its beam
    // fades in), the demonstration runs, the crystals' sounds count down and, complete, the
    // completion timer runs and from 2000 ms on requests the event on every update.
    void Update(uint32_t elapsedMs, bool active, bool playing) override;
    // The base plainly (the spec given is not used), then each crystal's two draws.
    void Draw(const TDrawSpec& spec) override;
    // Taken only while a pattern waits for its answer; the first crystal hit answers.
    bool OnMouseDown(TPoint point) override;
    // Glows and sounds pause whether shown or not, and resume only when shown.
    void Pause(bool active) override;
    void Resume(bool active) override;
    void LoadTextures() override;
    void ReleaseTextures() override;
    // The open hand over a crystal while a pattern waits for its answer.
    TString GetCursorName() const override;

    bool IsComplete() const { return mComplete; }
    uint32_t GetCurrentPattern() const { return mCurrentPattern; }
    uint32_t GetCompletionTimer() const { return mCompletionTimer; }
    const TString& GetOpenHandCursor() const { return mCursorHandOpen; }
    RitualCrystal& GetCrystal(size_t index) { return mCrystals[index]; }
    const RitualCrystal& GetCrystal(size_t index) const { return mCrystals[index]; }
    const RitualPattern& GetPattern(size_t index) const { return mPatterns[index]; }
    // The crystal number (1 to 5) under the point; 0 over none.
    int32_t FindCrystal(const TPoint& point) const;

protected:
    // Byte 0: the current pattern index in its low four bits, the crystals of that pattern
    // answered so far in the three above them (0 in every record of a pattern boundary, and so
    // in every record written before they were kept).
    void SaveOwnState(std::vector<uint8_t>& out) override;
    // The pattern index (a byte no save writes, logged, taken as 5; 5 sets complete with its
    // timer at 0), the pattern taking answers at once, from the answers it holds.
    void LoadOwnState(const uint8_t* data) override;

private:
    bool TakesAnswers() const;
    void PutOutAll();

    TString mCursorHandOpen;
    std::array<RitualCrystal, kCrystals> mCrystals;
    std::array<RitualPattern, kPatterns> mPatterns;
    bool mComplete = false;
    uint32_t mCurrentPattern = 0;
    uint32_t mCompletionTimer = 0;
    PuzzleSecondPress mSecondPress;
};
