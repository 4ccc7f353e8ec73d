// What the end-to-end runs of the two hint boards share: the way from the menu into the Gatehouse
// with a new player, the screen points the content keeps for its tests, clicks as a player makes
// them, both ways to the pause dialog, shots read back by name, the Gatehouse copied without its
// prompts with a board's script edited, and the player record's tutorial flags.
#pragma once

#include "e2e/program_test_support.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <regex>
#include <string>
#include <vector>

namespace hinte2e
{
using namespace e2etest;

// The mouse moved there, a click, then `wait` frames.
inline std::string Click(const char* point, int wait)
{
    return std::string("move ") + point + "\nwait 3\nclick " + point + "\nwait " +
           std::to_string(wait) + "\n";
}

// The pause dialog's "Resume" and the HUD's pause button.
constexpr const char* kPauseResume = "400 246";
constexpr const char* kHudPause = "616 574";

// The pause dialog twice, each time left by "Resume": opened by a lost focus (once the focus is
// back), then by the HUD's pause button.
inline std::string PausedBothWays()
{
    return "focus lost\nwait 10\nfocus gained\nwait 60\n" + Click(kPauseResume, 60) +
           Click(kHudPause, 60) + Click(kPauseResume, 60);
}

class HintBoardTest : public ScreenProgramTest
{
protected:
    // A copy whose Gatehouse comes without its prompts; `edit`, when given, changes the board's
    // script (`board` under assets/scripts).
    fs::path CopyUnprompted(const std::string& name, const char* board,
                            const std::function<std::string(const std::string&)>& edit)
    {
        const fs::path game = CopyEdited(kGatehouseScript, kGatehousePrompts, "", name);
        if (edit)
        {
            const fs::path script = game / "assets/scripts" / board;
            WriteFile(script, edit(ReadFile(script)));
        }
        return game;
    }
    // The player record's tutorial flags as prefsdump shows them.
    std::string TutorialFlags() const
    {
        std::smatch found;
        const std::string prefs = Prefs();
        if (!std::regex_search(prefs, found,
                               std::regex("playerdata = hex (?:[0-9a-f]{2} ){4}((?:[0-9a-f]{2} "
                                          "){3}[0-9a-f]{2})")))
            return prefs;
        return found[1].str();
    }
};

} // namespace hinte2e
