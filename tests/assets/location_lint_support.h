#pragma once

// The locations' lint (tools/location_lint.h) over the sample game's assets/.
#include "location_lint.h"

#include <functional>
#include <string>
#include <vector>

namespace locationlint
{
const std::string kAssets = std::string(MURKWELL_SOURCE_DIR) + "/assets";
const std::string kLintScript = std::string(MURKWELL_SOURCE_DIR) + "/tools/location_lint.lua";

// Runs the lint over `location`; `edit`, when given, changes each script's text (path, text).
inline LintResult
RunLocationLint(const std::string& location,
                const std::function<std::string(const std::string&, std::string)>& edit = nullptr)
{
    return LintLocation(kAssets, kLintScript, location, edit);
}

// The names among `needs` that name nothing in assets/.
inline std::vector<std::string> Missing(const std::vector<std::string>& needs)
{
    return MissingNames(kAssets, needs);
}
} // namespace locationlint
