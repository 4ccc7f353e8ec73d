// TMainMenu, the main menu screen: its script does the work; the program greets the current
// player by name through the script function "SetWelcomeName".
#pragma once

#include "framework/screens/game_window.h"

class TMainMenu : public GameWindow
{
public:
    // Registers "SetWelcomeName"; the last screen made owns the name.
    TMainMenu();
    // Sets "SetWelcomeName" to nil while it is still bound to this screen.
    ~TMainMenu() override;

    static TWindow* Create();
    static TClassId GetClassId();

    const char* GetClassName() const override { return "TMainMenu"; }
    bool IsKindOf(TClassId id) const override
    {
        return id == GetClassId() || GameWindow::IsKindOf(id);
    }

    // The child "welcome", when it is a text, shows "welcomeempty" for a player without a name
    // when the string table has that label, else "welcome" with the player's name.
    void SetWelcomeName();

private:
    bool mBound = false;
};
