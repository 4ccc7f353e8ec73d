// The three locations as the play-through plays them, one input line each, for runs that stop a
// location part way and take it up again: a player placed at a location, "Play" on the menu, and
// each location's lines from its arrival to its completion.
#pragma once

#include <algorithm>
#include <string>
#include <vector>

#include "e2e/main_menu_points.h"
#include "e2e/program_test_support.h"

namespace e2etest
{

struct LocationPlay
{
    const char* mName;
    int mNumber;
    // The location's inventory objects, as its record counts them.
    size_t mObjects;
    std::vector<std::string> mLines;
};

// The input lines of `text` that act or wait: no comments, shots or blank lines.
inline std::vector<std::string> PlayLines(const std::string& text)
{
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < text.size())
    {
        size_t end = text.find('\n', start);
        end = end == std::string::npos ? text.size() : end;
        const std::string line = text.substr(start, end - start);
        start = end + 1;
        if (!line.empty() && line[0] != '#' && !line.starts_with("shot "))
            lines.push_back(line);
    }
    return lines;
}

// The Observatory's points the content keeps for its tests (the art keeps them solid): the candle,
// the desk it lights, the scroll on it, and the scroll's five symbols in the order they are
// answered.
inline constexpr const char* kCandle = "640 430";
inline constexpr const char* kDesk = "300 400";
inline constexpr const char* kScroll = "160 320";
inline constexpr const char* kScrollAnswers[] = {"200 200", "560 360", "320 300", "600 190",
                                                 "440 230"};

inline constexpr const char* kLocationNames[] = {"Gatehouse", "Observatory", "Crypt"};

// Each location from its arrival (after the wait the play-through gives it) to its completion.
inline std::vector<LocationPlay> LocationPlays()
{
    std::vector<std::string> gatehouse = PlayLines(WalkthroughScript("gatehouse", "journey"));
    gatehouse.push_back("await \"complete 0\"");
    std::vector<std::string> observatory = PlayLines(WalkthroughScript("observatory", "crypt"));
    observatory.resize(std::find(observatory.begin(), observatory.end(), "await \"complete 1\"") -
                       observatory.begin() + 1);
    std::vector<std::string> crypt = PlayLines(WalkthroughScript("crypt", "end"));
    // Its arrival's await and wait.
    crypt.erase(crypt.begin(), crypt.begin() + 2);
    return {{kLocationNames[0], 0, 4, gatehouse},
            {kLocationNames[1], 1, 2, observatory},
            {kLocationNames[2], 2, 2, crypt}};
}

inline std::string Joined(const std::vector<std::string>& lines, size_t from, size_t to)
{
    std::string text;
    for (size_t i = from; i < to && i < lines.size(); ++i)
        text += lines[i] + "\n";
    return text;
}

// "Play" on the menu for the player it greets, up to the location's arrival.
inline std::string PlayToLocation(int number)
{
    return "focus gained\nwait 40\n" + menupoints::ClickLine(menupoints::kPlay) +
           "await \"location " + std::to_string(number) + "\"\nwait 200\n";
}

// The start-up script that makes Ann, whose record stands at `number`, the current player.
inline std::string PlayerAtScript(int number)
{
    return "CreateNewUser('Ann')\nSetCurrentLocation(" + std::to_string(number) +
           ")\nSaveProfile()\n";
}

} // namespace e2etest
