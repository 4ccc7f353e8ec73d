// Pack file writing: folder collection, layout, and a safe write through a temporary name.
#include "pack_writer.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <system_error>

namespace packtool
{

namespace
{
void PutU32(std::string& out, uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        out += static_cast<char>(value >> (8 * i) & 0xFF);
}

// Kept to 2 GB, which every reader of the format takes, whether it reads offsets signed or not.
constexpr uint64_t kMaxPackBytes = 0x7FFFFFFFu;

// A part of the name between separators that is "..": it reaches out of its folder, where
// "music/theme..ogg" goes nowhere.
bool NamesParentFolder(const std::string& name)
{
    size_t part = 0;
    for (size_t i = 0; i <= name.size(); ++i)
    {
        if (i == name.size() || name[i] == '/' || name[i] == '\\' || name[i] == ':')
        {
            if (i - part == 2 && name.compare(part, 2, "..") == 0)
                return true;
            part = i + 1;
        }
    }
    return false;
}
} // namespace

bool CollectPackEntries(const std::string& folder, std::vector<PackEntry>& entries,
                        std::string& error)
{
    namespace fs = std::filesystem;
    std::error_code ec;
    fs::path root(folder);
    if (!fs::is_directory(root, ec))
    {
        error = "not a folder: " + folder;
        return false;
    }
    std::vector<PackEntry> found;
    for (fs::recursive_directory_iterator it(root, ec), end; !ec && it != end; it.increment(ec))
    {
        if (!it->is_regular_file(ec))
            continue;
        PackEntry entry;
        entry.mName = it->path().lexically_relative(root).generic_string();
        std::ifstream in(it->path(), std::ios::binary);
        if (!in)
        {
            error = "cannot read " + it->path().string();
            return false;
        }
        std::ostringstream data;
        data << in.rdbuf();
        entry.mData = data.str();
        found.push_back(std::move(entry));
    }
    if (ec)
    {
        error = "cannot list " + folder + ": " + ec.message();
        return false;
    }
    std::sort(found.begin(), found.end(),
              [](const PackEntry& a, const PackEntry& b) { return a.mName < b.mName; });
    entries = std::move(found);
    return true;
}

bool BuildPack(const std::vector<PackEntry>& entries, std::string& pack, std::string& error)
{
    uint64_t directory = 0;
    uint64_t data = 0;
    for (const PackEntry& entry : entries)
    {
        if (entry.mName.empty() || entry.mName.size() > 255)
        {
            error = "entry name must hold 1 to 255 bytes: \"" + entry.mName + "\"";
            return false;
        }
        // The game refuses such an entry: it would shadow a data-folder file or lie outside the
        // assets.
        if (entry.mName.find(':') != std::string::npos || NamesParentFolder(entry.mName) ||
            entry.mName[0] == '/' || entry.mName[0] == '\\')
        {
            error = "entry name holds \":\" or a \"..\" part or begins with \"/\": \"" +
                    entry.mName + "\"";
            return false;
        }
        directory += 1 + entry.mName.size() + 8;
        data += entry.mData.size();
    }
    if (8 + directory + data > kMaxPackBytes)
    {
        error = "pack would exceed 2 GB";
        return false;
    }
    std::string out = "QMPK";
    PutU32(out, static_cast<uint32_t>(entries.size()));
    uint32_t offset = static_cast<uint32_t>(8 + directory);
    for (const PackEntry& entry : entries)
    {
        out += static_cast<char>(entry.mName.size());
        out += entry.mName;
        PutU32(out, offset);
        PutU32(out, static_cast<uint32_t>(entry.mData.size()));
        offset += static_cast<uint32_t>(entry.mData.size());
    }
    for (const PackEntry& entry : entries)
        out += entry.mData;
    pack = std::move(out);
    return true;
}

bool WritePackFile(const std::string& path, const std::vector<PackEntry>& entries,
                   std::string& error)
{
    std::string pack;
    if (!BuildPack(entries, pack, error))
        return false;
    std::string temp = path + ".tmp";
    {
        std::ofstream out(temp, std::ios::binary | std::ios::trunc);
        out.write(pack.data(), static_cast<std::streamsize>(pack.size()));
        out.close();
        if (!out)
        {
            std::remove(temp.c_str());
            error = "cannot write " + temp;
            return false;
        }
    }
    if (std::rename(temp.c_str(), path.c_str()) != 0)
    {
        std::remove(temp.c_str());
        error = "cannot replace " + path;
        return false;
    }
    return true;
}

} // namespace packtool
