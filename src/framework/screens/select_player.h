// TSelectPlayer: the screen on which the player picks a profile: a window of at most N profile
// names on N row buttons, scrolled by a slider and by script, and its six script functions.
#pragma once

#include "framework/screens/game_window.h"

#include <cstdint>

class TVButton;

class TSelectPlayer : public GameWindow
{
public:
    // Binds the six script functions to this screen.
    TSelectPlayer();
    // Sets to nil the script functions still bound to this screen.
    ~TSelectPlayer() override;

    // The creator the game registers for "SelectPlayerWindow"; its address is the class id.
    static TWindow* Create();
    static TClassId GetClassId();

    const char* GetClassName() const override { return "TSelectPlayer"; }
    bool IsKindOf(TClassId id) const override
    {
        return id == GetClassId() || GameWindow::IsKindOf(id);
    }
    // Reads N from the script's "kMaxProfileButtons", then selects, lays out and places the
    // slider.
    void PostInit(TWindowStyle& style) override;
    // Slider moves scroll the rows; row presses select; other presses go on to the script.
    bool OnMessage(TMessage* message) override;

    // Lays the rows out from `topIndex`; the slider is not touched.
    void SetPlayerChoices();
    // Selects the stored current profile and scrolls it onto the last row when it is below.
    void SetSelectedPlayer();
    // Puts the slider where `topIndex` is.
    void UpdateSlider();

    // Read by scripts as signed, so no profile reads -1.
    int32_t GetCurrentSelectedUser() const { return static_cast<int32_t>(mSelectedIndex); }
    TString GetSelectedPlayerName() const;
    void MoveTopPlayerUp();
    void MoveTopPlayerDown();

    uint32_t GetMaxButtons() const { return mMaxButtons; }
    uint32_t GetTopIndex() const { return mTopIndex; }
    uint32_t GetSelectedIndex() const { return mSelectedIndex; }

private:
    // Row button i when the layout has it as a framework button; null (reported) otherwise.
    TVButton* FindRow(uint32_t index);
    // Shows or hides a named child; a missing one is reported and skipped.
    void ShowNamed(const char* name, bool show);
    uint32_t ProfileCount() const;
    float Step(uint32_t count) const;

    uint32_t mMaxButtons = 0;
    uint32_t mTopIndex = 0;
    uint32_t mSelectedIndex = 0;
    bool mBound = false;
};
