// ElectronicLockScene: the puzzle scene of the minigame type "electroniclockscene": a 3x3 keypad
// whose presses flip a key and its orthogonal neighbours; with all nine lit it asks the runner
// for "event_electroniclockcomplete". Its table and hand cursors come from the script that ran
// for it in a context of its own; it keeps no reference to that script.
#pragma once

#include "game/minigames/puzzles/electronic_lock/electronic_lock_button.h"
#include "game/minigames/puzzles/puzzle_scene.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

class SoundEffect;
class TScript;

class ElectronicLockScene : public PuzzleSceneOf<ElectronicLockScene>
{
public:
    static constexpr size_t kSide = 3;
    static constexpr size_t kCells = kSide * kSide;
    // Its own bytes, before the base scene's.
    static constexpr size_t kOwnStateSize = 2;
    static constexpr const char* kRecordName = "lock";
    static constexpr const char* kCompleteEvent = "event_electroniclockcomplete";
    TString GetCompletionEvent() const override { return TString(kCompleteEvent); }

    // The base scene from the first six, then "gs_cursorHandOpen", "gs_cursorHandClosed" and the
    // table "electroniclock" from `script`. A missing table is a fatal report and the scene stays
    // as far as it got: keys without pictures are never hit and draw nothing.
    ElectronicLockScene(GameplayFactory& factory, const TLuaTable& entityInfo, const TString& name,
                        const TLuaTable& scene, const TLuaTable* playlist,
                        const TLuaTable& sceneInfo, TScript& script);
    ~ElectronicLockScene() override;

    // The base, the toggle sound's count-down, then while shown in play the completion request,
    // made again on every such update for as long as all nine stay lit.
    void Update(uint32_t elapsedMs, bool active, bool playing) override;
    // The base and the keys with identity specs: the keys sit in screen pixels.
    void Draw(const TDrawSpec& spec) override;
    // The mouse counts as held even when no key is hit; a hit flips the cross and arms the sound.
    bool OnMouseDown(TPoint point) override;
    bool OnMouseUp(TPoint point) override;
    // The toggle sound pauses whether shown or not, and resumes only when shown.
    void Pause(bool active) override;
    void Resume(bool active) override;
    void LoadTextures() override;
    void ReleaseTextures() override;
    // Over a key: the closed hand while the mouse is held, else the open hand.
    TString GetCursorName() const override;

    bool IsLit(size_t cell) const { return mButtons[cell].IsLit(); }
    bool AllLit() const;
    bool IsMouseHeld() const { return mMouseHeld; }
    const ElectronicLockButton& GetButton(size_t cell) const { return mButtons[cell]; }
    const TString& GetOpenHandCursor() const { return mCursorHandOpen; }
    const TString& GetClosedHandCursor() const { return mCursorHandClosed; }
    const std::shared_ptr<SoundEffect>& GetToggleSound() const { return mSoundToggle; }
    // The cell under the point, row-major; -1 over none.
    int32_t FindCell(const TPoint& point) const;

protected:
    // Byte 0: bit k for lit cell k of 0-7; byte 1: 1 when cell 8 is lit.
    void SaveOwnState(std::vector<uint8_t>& out) override;
    // Lights the saved cells (no sound, no completion).
    void LoadOwnState(const uint8_t* data) override;

private:
    void Flip(size_t row, size_t column);

    TString mCursorHandClosed;
    TString mCursorHandOpen;
    bool mMouseHeld = false;
    std::array<ElectronicLockButton, kCells> mButtons;
    std::shared_ptr<SoundEffect> mSoundToggle;
};
