#pragma once

// The locations' lint (location_lint.lua) run by the engine over a location script and the scripts
// its builder reads, and the check that every name the tables use exists in assets/.
#include "support/file_layer_fixture.h"

#include "script/script.h"

#include <filesystem>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

namespace locationlint
{
const std::string kAssets = std::string(MURKWELL_SOURCE_DIR) + "/assets";

struct LintResult
{
    std::vector<std::string> faults;
    // "kind name" of each name the tables use.
    std::vector<std::string> needs;
    // "label sound" of each conversation line.
    std::vector<std::string> voices;
};

// Runs the lint over `location`; `edit`, when given, changes each script's text (path, text).
inline LintResult
RunLocationLint(const std::string& location,
                const std::function<std::string(const std::string&, std::string)>& edit = nullptr)
{
    TScript script;
    script.Init();
    script.DoLuaString("_sources = {}");
    for (const std::string& path :
         {std::string("scripts/styles.lua"), std::string("scripts/tutorials.lua"),
          std::string("scripts/journal.lua"), std::string("scripts/hud.lua"),
          std::string("scripts/hintboard.lua"), std::string("scripts/hintlirae.lua"),
          std::string("scripts/hintthessalor.lua"), std::string("scripts/locations/common.lua"),
          location})
    {
        std::string text = filetest::ReadBytes(kAssets + "/" + path);
        if (edit)
            text = edit(path, text);
        script.SetGlobalString("_text", text.c_str());
        script.DoLuaString(("_sources['" + path + "'] = _text").c_str());
    }
    script.SetGlobalString("_location", location.c_str());
    script.DoLuaString(
        filetest::ReadBytes(std::string(MURKWELL_SOURCE_DIR) + "/tests/assets/location_lint.lua")
            .c_str());
    LintResult result;
    std::istringstream lines(script.GetGlobalString("_result").c_str());
    for (std::string line; std::getline(lines, line);)
    {
        if (line.rfind("fault ", 0) == 0)
            result.faults.push_back(line.substr(6));
        else if (line.rfind("need ", 0) == 0)
            result.needs.push_back(line.substr(5));
        else if (line.rfind("voice ", 0) == 0)
            result.voices.push_back(line.substr(6));
    }
    return result;
}

inline bool HasLabel(const std::string& strings, const std::string& label)
{
    return strings.find("<Data ss:Type=\"String\">" + label + "</Data>") != std::string::npos;
}

// The names among `needs` that name nothing in assets/.
inline std::vector<std::string> Missing(const std::vector<std::string>& needs)
{
    const std::string strings = filetest::ReadBytes(kAssets + "/strings.xml");
    const std::string sounds = "," + filetest::ReadBytes(kAssets + "/audio/snd.txt");
    std::vector<std::string> missing;
    for (const std::string& need : needs)
    {
        const std::string kind = need.substr(0, need.find(' '));
        const std::string name = need.substr(need.find(' ') + 1);
        bool found = false;
        if (kind == "image")
            for (const char* extension : {".png", ".jpg", ".xml", ".anm"})
                found = found || std::filesystem::exists(kAssets + "/" + name + extension);
        else if (kind == "file")
            found = std::filesystem::exists(kAssets + "/" + name);
        else if (kind == "sound")
            found = sounds.find("," + name.substr(0, name.find('?')) + ",") != std::string::npos;
        else if (kind == "label")
            found = HasLabel(strings, name);
        if (!found)
            missing.push_back(need);
    }
    return missing;
}
} // namespace locationlint
