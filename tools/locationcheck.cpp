// Development tool: the location check an author runs on a location's files before opening it in
// the game. Runs the location lint (tools/location_lint.lua, through the engine's script engine)
// over each location script named and checks that every picture, sound, label and file its tables
// name is in the assets folder; prints one line a fault and ends with 1 when there is any.
#include "location_lint.h"

#include <cstdio>
#include <cstring>
#include <string>
#include <system_error>
#include <vector>

namespace
{

void PrintUsage(std::FILE* out)
{
    std::fputs("usage: locationcheck [--assets <folder>] <location script> ...\n"
               "  Checks each location script (a path below the assets folder, for example\n"
               "  scripts/locations/mill.lua) and the names its tables use; the assets folder is\n"
               "  ./assets unless given. Prints each fault; ends with 1 when there is one.\n",
               out);
}

} // namespace

int main(int argc, char** argv)
{
    std::string assets = "assets";
    std::vector<std::string> locations;
    for (int i = 1; i < argc; ++i)
    {
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0)
        {
            PrintUsage(stdout);
            return 0;
        }
        if (std::strcmp(argv[i], "--assets") == 0 && i + 1 < argc)
            assets = argv[++i];
        else
            locations.push_back(argv[i]);
    }
    if (locations.empty())
    {
        PrintUsage(stderr);
        return 2;
    }
    const std::string lint = MURKWELL_LOCATION_LINT;
    if (locationlint::ReadBytes(lint).empty())
    {
        std::fprintf(stderr, "locationcheck: cannot read the lint script %s\n", lint.c_str());
        return 2;
    }
    int faults = 0;
    for (std::string location : locations)
    {
        // A path from where the check runs (as a shell completes it) names the same script as one
        // below the assets folder.
        if (!std::filesystem::is_regular_file(assets + "/" + location) &&
            std::filesystem::is_regular_file(location))
        {
            std::error_code error;
            const std::filesystem::path below = std::filesystem::relative(
                std::filesystem::absolute(location), std::filesystem::absolute(assets), error);
            if (!error && !below.empty() && *below.begin() != "..")
                location = below.generic_string();
        }
        if (!std::filesystem::is_regular_file(assets + "/" + location))
        {
            std::fprintf(stderr, "locationcheck: %s/%s: no such file\n", assets.c_str(),
                         location.c_str());
            return 2;
        }
        const locationlint::LintResult result = locationlint::LintLocation(assets, lint, location);
        std::vector<std::string> lines = result.faults;
        for (const std::string& missing : locationlint::MissingNames(assets, result.needs))
            lines.push_back("no " + missing + " in " + assets);
        for (const std::string& line : lines)
            std::printf("%s: %s\n", location.c_str(), line.c_str());
        if (lines.empty())
            std::printf("%s: no faults\n", location.c_str());
        faults += static_cast<int>(lines.size());
    }
    return faults == 0 ? 0 : 1;
}
