// ScrollPuzzleScene: the puzzle scene of the minigame type "scrollpuzzlescene": a crystal lens
// moved over a scroll shows hidden symbols; the five answer areas must be touched with the lens,
// one press each, in their order. Each right press lights a progress button and a glow on the
// lens; any other press on the scroll starts again. With all five found it asks the runner for
// "event_scrollcomplete". Its table comes from the script that ran for it in a context of its own.
#pragma once

#include "game/minigames/puzzles/puzzle_scene.h"
#include "game/minigames/puzzles/scroll/scroll_button.h"
#include "game/minigames/puzzles/scroll/scroll_lens.h"
#include "game/minigames/puzzles/scroll/scroll_symbols.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

class SoundEffect;
class TScript;

class ScrollPuzzleScene : public PuzzleSceneOf<ScrollPuzzleScene>
{
public:
    static constexpr size_t kAnswers = 5;
    // Its own byte, before the base scene's.
    static constexpr size_t kOwnStateSize = 1;
    static constexpr const char* kRecordName = "scroll";
    static constexpr const char* kCompleteEvent = "event_scrollcomplete";
    TString GetCompletionEvent() const override { return TString(kCompleteEvent); }

    // The base scene from the first six, then the table "scrollpuzzle" of `script`. A missing
    // table is a fatal report and the scene stays as far as it got.
    ScrollPuzzleScene(GameplayFactory& factory, const TLuaTable& entityInfo, const TString& name,
                      const TLuaTable& scene, const TLuaTable* playlist, const TLuaTable& sceneInfo,
                      TScript& script);
    ~ScrollPuzzleScene() override;

    // The base; then only while shown in play: the sound's count-down, the completion request
    // (again on every such update once all five are found), else the lens follows the mouse while
    // it is over the scroll.
    void Update(uint32_t elapsedMs, bool active, bool playing) override;
    // The base, the buttons, the revealed symbols, the lens and its glows.
    void Draw(const TDrawSpec& spec) override;
    // The lens decides, once brought to the press's point as a frame brings it: off the scroll
    // the press is not used; on it, the next answer touched is found, anything else starts again.
    // A solved puzzle takes no presses.
    bool OnMouseDown(TPoint point) override;
    bool OnMouseUp(TPoint point) override;
    void Pause(bool active) override;
    void Resume(bool active) override;
    void LoadTextures() override;
    void ReleaseTextures() override;
    // None while the lens is over the scroll and the puzzle is open, so the lens is the cursor.
    TString GetCursorName() const override;

    int32_t GetFound() const { return mFound; }
    bool IsComplete() const { return mComplete; }
    bool IsLensOverScroll() const { return mLensOverScroll; }
    const ScrollButton& GetButton(size_t index) const { return mButtons[index]; }
    const ScrollLens& GetLens() const { return mLens; }
    const ScrollSymbols& GetSymbols() const { return mSymbols; }
    const TRect& GetAnswer(size_t index) const { return mAnswers[index]; }
    const std::shared_ptr<SoundEffect>& GetClickSound() const { return mSoundClick; }
    uint32_t GetResetNoteLeft() const { return mResetNoteLeft; }

protected:
    // Byte 0: the count found.
    void SaveOwnState(std::vector<uint8_t>& out) override;
    // Lights as many buttons and glows as were found (at most five).
    void LoadOwnState(const uint8_t* data) override;

private:
    // The lens goes with a pointer over the scroll; off it, the lens stays where it stopped.
    void FollowPointer(const TPoint& mouse);
    void Reset();
    // A miss that loses found symbols is said: the reset sound, and the scene's note (the layers
    // and texts listed by "resetnote") shown for "resetnotetime" ms.
    void AnnounceReset();
    // The note shows only while its time runs: a record saved while it showed brings it back
    // without one, and it goes at once.
    void UpdateResetNote(uint32_t elapsedMs);
    void Show(int32_t found);

    bool mComplete = false;
    bool mLensOverScroll = true;
    std::array<ScrollButton, kAnswers> mButtons;
    ScrollSymbols mSymbols;
    ScrollLens mLens;
    std::array<TRect, kAnswers> mAnswers{};
    int32_t mFound = 0;
    PuzzleSecondPress mSecondPress;
    std::shared_ptr<SoundEffect> mSoundReset;
    std::vector<TString> mResetNote;
    uint32_t mResetNoteTime = 0;
    uint32_t mResetNoteLeft = 0;
    // The note is to be put away once its time is out: after a reset, and at the start (a record
    // may have saved it showing). Once only: a fading layer is still active.
    bool mResetNoteDue = true;
    std::shared_ptr<SoundEffect> mSoundClick;
};
