// Options, the options screen: two sliders for the effect and music volumes applied to their
// sound groups at once and stored on the script's "SaveVolumes", the full-screen toggle labelled
// after the display mode, and an optional music of its own.
#pragma once

#include "framework/screens/game_window.h"
#include "platform/strings/tstring.h"

#include <cstdint>

class TVButton;

class Options : public GameWindow
{
public:
    // Registers "SaveVolumes" and "SetFullScreenToggleText"; the last screen made owns them.
    Options();
    // Sets the two globals to nil while they are still bound to this screen.
    ~Options() override;

    static TWindow* Create();
    static TClassId GetClassId();

    const char* GetClassName() const override { return "Options"; }
    bool IsKindOf(TClassId id) const override
    {
        return id == GetClassId() || GameWindow::IsKindOf(id);
    }
    void PostInit(TWindowStyle& style) override;
    // The sliders' change messages, after the first two (the screen's own settings).
    bool OnMessage(TMessage* message) override;
    // After a display reset: the toggle's text again.
    bool Refresh() override;

    // The sliders' values in thousandths into "soundlevel" and "musiclevel": each one the player
    // moved, or not stored yet. One left where the screen opened stores nothing: another copy of
    // the game may have saved that level since.
    void SaveVolumes();
    // The toggle shows the action: going to a window while full screen, else going full screen.
    void SetFullScreenToggleText();

    TVButton* GetToggleButton() const { return mToggleButton; }

private:
    TString mFullScreenText;
    TString mWindowText;
    int32_t mIgnoreSliderChanges = 2;
    // The levels the sliders opened at (sound, music); -1 before they were set.
    int32_t mOpenedLevels[2] = {-1, -1};
    TVButton* mToggleButton = nullptr;
    bool mBound = false;
};
