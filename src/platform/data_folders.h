// Data folders (user, common, desktop), path conversions, the folder enumerator, the optional
// locale library's collation and the 16-letter machine identifier.
#pragma once

#include "platform/collate.h"
#include "platform/tstring.h"
#include "sys/paths.h"

#include <cstdint>

// Folder paths hold at most this many bytes.
constexpr int kMaxPathBytes = 260;

struct TDataFolders
{
    TString mUserFolder;
    TString mCommonFolder;
    TString mDesktopFolder;
};

// The data folders for `gameName`, without trailing separators. Each starts as `exeFolder`; in
// hosted mode without "-pq=" on the command line all three stay there. Then "-wd=" on the command
// line, if present, switches the working folder.
TDataFolders FixDataFolders(const TString& gameName, const TString& exeFolder, bool hosted,
                            const TString& commandLine);
// The value of "-wd=" (quoted: up to the closing quote; else up to the first blank); empty when
// absent.
TString GetWorkingFolderOption(const TString& commandLine);

// <appdata or common appdata>/<publisher>/<name>/ (publisher "Quillmark" when unset), created.
// 0 on success, the needed length when `size` is too small, -1 when there is no such folder.
int GetAppDataFolder(bool common, const TString& name, TString& out, int size);
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

private:
    sys::FolderListing mListing;
};

// The optional locale library's collation entry, holding the library loaded while it lives.
class TDllCollateHandler
{
public:
    TDllCollateHandler(void* module, TCollateFn collate) : mModule(module), mCollate(collate) {}
    TDllCollateHandler(TDllCollateHandler&& other) noexcept;
    TDllCollateHandler& operator=(TDllCollateHandler&& other) noexcept;
    TDllCollateHandler(const TDllCollateHandler&) = delete;
    TDllCollateHandler& operator=(const TDllCollateHandler&) = delete;
    virtual ~TDllCollateHandler();

    TCollateFn GetCollate() const { return mCollate; }

private:
    void* mModule = nullptr;
    TCollateFn mCollate = nullptr;
};

// Loads `library` (default: "qmlocale.dll" in the executable's folder) and its entry "qmCollate";
// null, with nothing kept loaded, when either is missing.
TDllCollateHandler* LoadCollateHandler(const TString& library = TString());
// The process's collation: the locale library's when it has one, else unsigned bytewise (-1, 0, 1).
int Collate(const char* a, const char* b);

// 16 characters derived from the first network adapter's address (a fresh GUID when there is none).
TString MakeComputerId();
// The identifier for a finished 8-byte key (bytes 6 and 7 already copies of bytes 3 and 4): each
// pair is 64 + (x & 31), then 66 + i + (x >> 5), for x = key[i] ^ key[(i + 1) % 8].
TString MakeComputerIdFromKey(const uint8_t key[8]);
