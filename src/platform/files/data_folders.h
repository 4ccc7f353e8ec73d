// Data folders (user, common, desktop), path conversions, the folder enumerator, the process's
// collation (the optional locale library's, in collate.h) and the 16-letter machine identifier.
#pragma once

#include "platform/strings/collate.h"
#include "platform/shell/command_line.h"
#include "platform/strings/tstring.h"
#include "sys/files/paths.h"

#include <cstdint>

// Folder paths hold at most this many bytes.
constexpr int kMaxPathBytes = 260;
// The data folders are not bound by that limit: a player's folders may lie as deep as the system
// allows, less room for the longest name the game writes there ("hiscore.dat.bad" with a
// temporary name's suffix, and more).
constexpr int kDataFileNameRoom = 64;
constexpr int kMaxDataFolderBytes = sys::kSystemPathBytes - kDataFileNameRoom;

struct TDataFolders
{
    TString mUserFolder;
    TString mCommonFolder;
    TString mDesktopFolder;
    // False when "-wd=" named a folder that cannot be made current (the caller logs it).
    bool mWorkingFolderSwitched = true;
    // Why the user folder is the program's folder though it should not be (empty when it is not):
    // the caller tells the player, whose files would otherwise land there without a word.
    TString mNoUserFolder;
};

// The data folders for `gameName`, without trailing separators. Each starts as `exeFolder`; in
// hosted mode without "-pq=" on the command line all three stay there. Then "-wd=" on the command
// line, if present, switches the working folder; a relative one is taken against `startupFolder`,
// the folder the program was started from.
TDataFolders FixDataFolders(const TString& gameName, const TString& exeFolder,
                            const TString& startupFolder, bool hosted,
                            const TCommandLine& commandLine);

// <appdata or common appdata>/<publisher>/<name>/ (publisher "Quillmark" when unset), created.
// 0 on success, the needed length when `size` is too small, -1 when there is no such folder (with
// the reason in `reason` when one is given).
int GetAppDataFolder(bool common, const TString& name, TString& out, int size,
                     TString* reason = nullptr);
// The desktop folder with a trailing "/"; 0, the needed length, or -1.
int GetDesktopFolder(TString& out, int size);

// UTF-16 copy in one process-wide buffer, valid until the next call (main thread only).
const char16_t* Utf8ToWide(const char* text);
TString WideToUtf8(const char16_t* wide);
// Absolute form of a path; empty on failure or when it would not fit the path limit.
TString GetFullPath(const TString& path);
// Paths have no short form here: the path is kept, cut to `size` - 1 bytes.
void GetShortPath(TString& path, int size);

// Lists a folder's entries (never "." or ".."). Without an is-folder flag only files are given.
class FolderSearch
{
public:
    FolderSearch() = default;
    explicit FolderSearch(const TString& folder) { Open(folder); }
    virtual ~FolderSearch() = default;

    // An empty folder name just ends a running search.
    void Open(const TString& folder);
    bool Next(TString& name, bool* isFolder);
    // Why the folder could not be opened (an errno value); 0 when it was.
    int GetError() const { return mListing.GetError(); }

private:
    sys::FolderListing mListing;
};

// The process's collation: the locale library's when it has one, else unsigned bytewise (-1, 0, 1).
int Collate(const char* a, const char* b);

// 16 characters derived from the first network adapter's address (a fresh GUID when there is none).
TString MakeComputerId();
// The identifier for a finished 8-byte key (bytes 6 and 7 already copies of bytes 3 and 4): each
// pair is 64 + (x & 31), then 66 + i + (x >> 5), for x = key[i] ^ key[(i + 1) % 8].
TString MakeComputerIdFromKey(const uint8_t key[8]);
