// Layering check: reads the rules of tools/layering.txt and finds, in a source tree, includes that
// point up a floor, operating-system headers outside the system folder, and watched calls outside
// their owners.
#pragma once

#include <map>
#include <string>
#include <vector>

struct TLayerRules
{
    std::map<std::string, int> mFloors;                         // folder -> floor, lowest 0
    std::vector<std::pair<std::string, std::string>> mSideways; // from folder, to folder
    std::vector<std::string> mSystemFolders;
    std::vector<std::string> mLibraries; // header names, or prefixes ending in '/'
    std::map<std::string, std::vector<std::string>> mWatched; // group -> identifiers
    std::vector<std::pair<std::string, std::string>> mOwners; // group or "*", file or folder/
};

// Reads the rules file; on a malformed line returns false with the reason in error.
bool LoadLayerRules(const std::string& path, TLayerRules& rules, std::string& error);

// Checks every source file under srcRoot; each violation is one "file:line: what" text, sorted.
std::vector<std::string> CheckLayering(const std::string& srcRoot, const TLayerRules& rules);
