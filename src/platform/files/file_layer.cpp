// The path map and its filling: prefixes, the exclusion list, folder scans, memory files, deletion.
#include "platform/files/file_layer.h"

#include "platform/config/config.h"
#include "platform/files/data_folders.h"
#include "platform/files/pack_file.h"
#include "platform/log.h"
#include "platform/shell/system_cursor.h"
#include "sys/files/paths.h"
#include "sys/process/process.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <set>
#include <string>
#include <utility>
#include <vector>

namespace
{
struct FileLayerState
{
    TPathMap mPathMap;
    std::set<TString> mExclusions;
    TString mUserFolder;
    TString mCommonFolder;
    TString mDesktopFolder;
    bool mPreview = false;
    // The first folder a scan could not list, and why: its files are missing from the map.
    TString mUnlistedFolder;
    TString mUnlistedReason;
};

FileLayerState& State()
{
    static FileLayerState state;
    return state;
}

TString Lower(const TString& text)
{
    TString lower = text;
    lower.MakeLower();
    return lower;
}

bool StartsWith(const TString& text, const char* prefix)
{
    return std::strncmp(text.c_str(), prefix, std::strlen(prefix)) == 0;
}

bool StartsWith(const TString& text, const TString& prefix)
{
    return std::strncmp(text.c_str(), prefix.c_str(), static_cast<size_t>(prefix.Length())) == 0;
}

// A native path beginning with '@' or '&' would be opened as a pack entry or a memory block (and
// "&<address>" read from an arbitrary address), so it is kept relative with "./".
TString NativeLocation(const TString& path)
{
    char first = path.CharAt(0);
    return first == '@' || first == '&' ? TString("./") + path : path;
}

// The location of a prefixed name: its data folder, "/" and the rest in the case it was given.
TString PrefixedLocation(const TString& folder, const TString& rest)
{
    // Without a folder the name lies below the working folder rather than at the file-system root.
    if (folder.Length() == 0)
        return NativeLocation(rest);
    if (folder.CharAt(folder.Length() - 1) == '/')
        return folder + rest;
    return folder + "/" + rest;
}

// A scan lists at most this many entries of a folder and those below it: a link to a large tree
// (the system's own) would otherwise fill the path map with it. Each costs the map some 190 bytes.
constexpr uint32_t kMaxScannedEntries = 100000;

// Exclusion files of this size or more are ignored.
constexpr long kMaxExclusionFileBytes = 100000;
} // namespace

TPathMap& GetPathMap()
{
    return State().mPathMap;
}

void SetDataFolders(const TString& user, const TString& common, const TString& desktop)
{
    State().mUserFolder = user;
    State().mCommonFolder = common;
    State().mDesktopFolder = desktop;
}

const TString& GetUserDataFolder()
{
    return State().mUserFolder;
}

const TString& GetCommonDataFolder()
{
    return State().mCommonFolder;
}

const TString& GetDesktopDataFolder()
{
    return State().mDesktopFolder;
}

void SetPreviewMode(bool preview)
{
    State().mPreview = preview;
}

bool IsNameVisible(const TString& name)
{
    return State().mExclusions.count(name) == 0;
}

TString ResolvePath(const TString& name, bool strict)
{
    FileLayerState& state = State();
    TString lower = Lower(name);
    auto found = state.mPathMap.find(lower);
    if (found != state.mPathMap.end() && found->second.Length() > 0)
        return found->second;

    if (StartsWith(lower, "::"))
    {
        TString native = NativeLocation(name.Substr(2));
        return sys::PathAccess(native.c_str(), 4) ? native : TString();
    }
    if (strict && !IsNameVisible(lower))
        return TString();

    struct Prefix
    {
        const char* mText;
        const TString* mFolder;
    };
    const Prefix prefixes[] = {{"user:", &state.mUserFolder},
                               {"common:", &state.mCommonFolder},
                               {"desktop:", &state.mDesktopFolder}};
    for (const Prefix& prefix : prefixes)
    {
        if (!StartsWith(lower, prefix.mText))
            continue;
        int skip = static_cast<int>(std::strlen(prefix.mText));
        TString location = PrefixedLocation(*prefix.mFolder, name.Substr(skip));
        if (strict && !sys::PathAccess(location.c_str(), 6))
            return TString();
        state.mPathMap[lower] = location;
        return location;
    }

    if (StartsWith(lower, "assets") && (lower.CharAt(6) == '/' || lower.CharAt(6) == '\\'))
        return ResolvePath(name.Substr(7), false);
    return TString();
}

TString ShownPath(const TString& name)
{
    const TString location = ResolvePath(name, false);
    if (location.Length() == 0 || location.CharAt(0) == '@' || location.CharAt(0) == '&')
        return name;
    return location;
}

bool FileExists(const TString& name)
{
    return ResolvePath(name, true).Length() > 0;
}

bool DeleteFile(const TString& name)
{
    TString location = ResolvePath(name, true);
    if (location.Length() == 0)
        return false;
    TString lower = Lower(name);
    char kind = location.CharAt(0);
    if (kind == '@')
        return false;
    if (kind != '&')
    {
        if (!StartsWith(lower, "user:") && !StartsWith(lower, "common:"))
            return false;
        if (NamesParentFolder(lower.c_str()))
            return false;
        if (!sys::RemoveFile(location.c_str()))
            return false;
    }
    State().mPathMap.erase(lower);
    return true;
}

bool NamesParentFolder(const char* name)
{
    const char* part = name;
    for (const char* p = name;; ++p)
    {
        if (*p == '/' || *p == '\\' || *p == ':' || *p == 0)
        {
            if (p - part == 2 && part[0] == '.' && part[1] == '.')
                return true;
            if (*p == 0)
                return false;
            part = p + 1;
        }
    }
}

bool NextFileInFolder(const TString& folder, TString& cursor, bool recursive)
{
    const TPathMap& map = State().mPathMap;
    TString lower = Lower(folder);
    bool fromCursor = cursor.Length() > 0;
    char last = lower.Length() > 0 ? lower.CharAt(lower.Length() - 1) : '/';
    bool needsSeparator = last != '/' && last != ':';
    auto it = map.lower_bound(fromCursor ? cursor : lower);
    for (; it != map.end(); ++it)
    {
        const TString& key = it->first;
        // The empty name would hand the caller the cursor that means "start again".
        if ((fromCursor && key == cursor) || key.Length() == 0)
            continue;
        if (!StartsWith(key, lower))
            return false;
        // A folder named without its separator holds "levels/a.xml" but not "levelsx.xml".
        if (needsSeparator && key.CharAt(lower.Length()) != '/')
            continue;
        if (!recursive && key.Substr(lower.Length() + 1).FindChar('/') >= 0)
            continue;
        cursor = key;
        return true;
    }
    return false;
}

void RegisterMemoryFileName(const TString& name, const void* data, uint32_t size)
{
    TString lower = Lower(name);
    if (data == nullptr)
    {
        State().mPathMap.erase(lower);
        return;
    }
    State().mPathMap[lower] =
        TString::Format("&%lu,%lu", static_cast<unsigned long>(reinterpret_cast<uintptr_t>(data)),
                        static_cast<unsigned long>(size));
}

bool ParseExclusionList(const char* text, bool add)
{
    if (text == nullptr)
        return false;
    std::set<TString>& list = State().mExclusions;
    bool cleared = false;
    const char* separators = " \t\n\r";
    const char* p = text;
    while (*p != 0)
    {
        size_t skip = std::strspn(p, separators);
        p += skip;
        size_t length = std::strcspn(p, separators);
        if (length == 0)
            break;
        TString token(p, static_cast<unsigned>(length));
        token.MakeLower();
        p += length;
        if (token == "-*")
        {
            list.clear();
            cleared = true;
        }
        else if (add)
            list.insert(token);
        else
            list.erase(token);
    }
    return cleared;
}

void ClearExclusionList()
{
    State().mExclusions.clear();
}

void ClearPathMap()
{
    State().mPathMap.clear();
    State().mUnlistedFolder = TString();
    State().mUnlistedReason = TString();
}

TString DescribeMissingFile(const TString& name)
{
    const FileLayerState& state = State();
    if (FileExists(name) || state.mUnlistedFolder.Length() == 0)
        return TString("is missing");
    return TString::Format("cannot be found: the folder '%s' could not be listed (%s)",
                           state.mUnlistedFolder.c_str(), state.mUnlistedReason.c_str());
}

namespace
{
// One scan of a data folder: the folders it has entered (by device and inode) and the entries
// listed so far, against kMaxScannedEntries.
struct FolderScan
{
    TString mTop;
    std::set<std::pair<uint64_t, uint64_t>> mVisited;
    uint32_t mEntries = 0;
    bool mBoundSaid = false;

    bool FirstVisit(const TString& path)
    {
        sys::FileStat st;
        if (!sys::StatPath(path.c_str(), st))
            return true;
        if (mVisited.insert({st.device, st.inode}).second)
            return true;
        Log("The folder '%s' is not scanned again: it is a folder the scan of '%s' has met "
            "before",
            path.c_str(), mTop.c_str());
        return false;
    }
};

void ScanFolderOnce(const TString& folder, const TString& prefix, FolderScan& scan)
{
    ScanPacks(folder, State().mPathMap);

    FolderSearch search(folder);
    TString lowerFolder = Lower(folder);
    bool hasPrefix = prefix.Length() > 0;
    TString base;
    TString keyPrefix = Lower(prefix);
    if (!hasPrefix)
        base = StartsWith(lowerFolder, "assets") ? lowerFolder.Substr(7) : lowerFolder;
    else if (keyPrefix == ".")
        keyPrefix = TString();
    if (base.Length() > 0)
        base += '/';

    // Listed whole before anything below it is: a scan holds one folder open at a time, however
    // deep the assets go, so few free file descriptors still take it to the end.
    std::vector<std::pair<TString, bool>> entries;
    TString name;
    bool isFolder = false;
    while (search.Next(name, &isFolder))
    {
        if (++scan.mEntries > kMaxScannedEntries)
        {
            if (!scan.mBoundSaid)
                Log("ERROR: The scan of '%s' stopped at %u entries, in '%s': the files past them "
                    "are not found",
                    scan.mTop.c_str(), kMaxScannedEntries, folder.c_str());
            scan.mBoundSaid = true;
            break;
        }
        entries.emplace_back(name, isFolder);
    }
    // A folder that is not there has nothing to find; one that cannot be listed hides its files,
    // which are then not missing, and the reason is said.
    if (const int error = search.GetError(); error != 0 && error != ENOENT)
    {
        const TString reason(std::strerror(error));
        Log("ERROR: The folder '%s' cannot be listed (%s): the files in it are not found",
            folder.c_str(), reason.c_str());
        if (State().mUnlistedFolder.Length() == 0)
        {
            State().mUnlistedFolder = folder;
            State().mUnlistedReason = reason;
        }
    }
    for (const auto& [entry, entryIsFolder] : entries)
    {
        name = entry;
        isFolder = entryIsFolder;
        TString lowerName = Lower(name);
        TString key = keyPrefix + base + lowerName;
        if (!IsNameVisible(key))
            continue;
        TString path = folder + "/" + name;
        if (isFolder)
        {
            // Paths stay within the platform's limit; a folder met before (a link back into the
            // scan, or two links to one tree) is scanned once, or links to the folder itself would
            // double the scan at each level.
            if (lowerName == ".svn" || path.Length() >= kMaxPathBytes || !scan.FirstVisit(path))
                continue;
            ScanFolderOnce(path, hasPrefix ? keyPrefix + lowerName + "/" : TString(), scan);
            continue;
        }
        State().mPathMap[key] = path;
    }
}
} // namespace

void ScanFolder(const TString& folder, const TString& prefix)
{
    FolderScan scan;
    scan.mTop = folder;
    scan.FirstVisit(folder);
    ScanFolderOnce(folder, prefix, scan);
}

namespace
{
void RemoveLeftoversIn(const TString& folder, int minimumAgeSeconds, std::set<TString>& seen)
{
    if (folder.Length() == 0 || !seen.insert(folder).second)
        return;
    sys::FolderListing listing;
    if (!listing.Open(folder.c_str()))
        return;
    const int64_t now = static_cast<int64_t>(std::time(nullptr));
    std::string name;
    bool isFolder = false;
    std::vector<std::string> leftovers;
    while (listing.Next(name, isFolder))
        if (!isFolder && sys::IsTemporaryFileName(name, sys::kTemporaryMarker))
            leftovers.push_back(name);
    listing.Close();
    for (const std::string& leftover : leftovers)
    {
        const std::string path = std::string(folder.c_str()) + "/" + leftover;
        // A name that carries its writer's process id is that writer's write in progress while it
        // runs (a copy started with "--multiple" beside this one, a save held up by a slow disk),
        // whatever its age, and while its writer's lock on it is held (a writer in another process
        // namespace sharing the folder, whose id names no process here): only a gone writer's is
        // left over. Names of earlier versions tell no writer, and go by their age.
        int writer = 0;
        const bool named = sys::TemporaryFileWriter(leftover, sys::kTemporaryMarker, writer);
        sys::FileStat st;
        if (!sys::StatPath(path, st) || st.isFolder ||
            (named && sys::TemporaryInUse(path, writer, now - st.modifiedSeconds)) ||
            (!named && minimumAgeSeconds > 0 && now - st.modifiedSeconds < minimumAgeSeconds))
            continue;
        if (sys::RemoveFile(path))
            Log("Removed '%s', left by a write that did not finish", path.c_str());
    }
}
} // namespace

void RemoveLeftoverTemporaryFiles(int minimumAgeSeconds)
{
    std::set<TString> seen;
    RemoveLeftoversIn(State().mUserFolder, minimumAgeSeconds, seen);
    RemoveLeftoversIn(State().mCommonFolder, minimumAgeSeconds, seen);
}

void InitFileSystem()
{
    FileLayerState& state = State();
    if (ResolvePath("__systemcursor__.png", false).Length() == 0)
    {
        uint32_t size = 0;
        const uint8_t* data = GetSystemCursorPng(&size);
        RegisterMemoryFileName("__systemcursor__.png", data, size);
    }

    const char* exclusionFile = state.mPreview ? "glintview.txt" : "final.txt";
    // A FIFO in its place would hold the start until a writer came, a device never ends.
    std::string reason;
    bool refused = false;
    FILE* file = sys::OpenRegularFile(exclusionFile, false, reason, refused);
    const int openError = errno;
    if (file != nullptr)
    {
        std::fseek(file, 0, SEEK_END);
        long size = std::ftell(file);
        std::fseek(file, 0, SEEK_SET);
        if (size >= 0 && size < kMaxExclusionFileBytes)
        {
            std::vector<char> text(static_cast<size_t>(size) + 1, 0);
            size_t got = std::fread(text.data(), 1, static_cast<size_t>(size), file);
            text[got] = 0;
            ParseExclusionList(text.data(), true);
        }
        std::fclose(file);
    }
    // Only a file that is not there is no exclusion file: one that cannot be opened (no file
    // descriptor left) leaves every name it hides shown, which is said.
    else if (refused || openError != ENOENT)
        Log("ERROR: The exclusion file '%s' was not read: %s", exclusionFile, reason.c_str());

    ScanFolder("assets", TString());
    if (GetConfig("activex") != "1")
    {
        if (state.mUserFolder.Length() > 0)
            ScanFolder(state.mUserFolder, "user:");
        if (state.mCommonFolder.Length() > 0)
            ScanFolder(state.mCommonFolder, "common:");
    }
}
