// Writing pack files (".qmp"): the magic "QMPK", a signed 32-bit entry count, a directory of
// {name length byte, name, offset, size} records, then the entries' data; all little-endian.
#pragma once

#include <string>
#include <vector>

namespace packtool
{

struct PackEntry
{
    std::string mName; // logical name relative to the asset folder, "/" separators
    std::string mData;
};

// Every file below `folder`, named relative to it, in byte order of the names. False (with `error`
// set) when the folder cannot be read.
bool CollectPackEntries(const std::string& folder, std::vector<PackEntry>& entries,
                        std::string& error);

// The pack's bytes, entries in the given order with their data after the directory. False when a
// name is empty or longer than 255 bytes, or the pack would pass the 2 GB its readers address.
bool BuildPack(const std::vector<PackEntry>& entries, std::string& pack, std::string& error);

// Builds the pack and writes it through a temporary name renamed over `path`.
bool WritePackFile(const std::string& path, const std::vector<PackEntry>& entries,
                   std::string& error);

} // namespace packtool
