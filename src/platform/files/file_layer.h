// The path map: logical names ("user:", "common:", "desktop:", "::", asset names, pack entries and
// memory blocks) to locations, filled by scanning the asset and data folders at start-up.
#pragma once

#include "platform/strings/tstring.h"

#include <cstdint>
#include <map>

using TPathMap = std::map<TString, TString>;

// The one process-wide path map (lower-case names to locations).
TPathMap& GetPathMap();

// The user-data, common-data and desktop folders, without trailing separators; given before
// InitFileSystem. Empty folders are allowed (their prefixes then resolve below the working folder).
void SetDataFolders(const TString& user, const TString& common, const TString& desktop);
const TString& GetUserDataFolder();
const TString& GetCommonDataFolder();
const TString& GetDesktopDataFolder();
// Preview mode reads "glintview.txt" instead of "final.txt" as the exclusion file.
void SetPreviewMode(bool preview);

// Location of a logical name, empty when unknown. Strict lookups (reads) honour the exclusion list
// and need prefixed files to exist; others (writes) remember a prefixed name's location.
TString ResolvePath(const TString& name, bool strict);
// Where a name lies on disk as the player finds it there (the data folder's path for "user:" and
// the other prefixes), for messages about the file; the name itself when it has no disk location
// (a pack entry, a memory block, an unknown name).
TString ShownPath(const TString& name);
bool FileExists(const TString& name);
// How to say that a file is not found, after "<name> ": "is missing", or, when a scan could not
// list a folder, that it cannot be found and why (too many open files, say).
TString DescribeMissingFile(const TString& name);
// Deletes a "user:" or "common:" disk file or forgets a memory block; never a pack entry.
bool DeleteFile(const TString& name);
// True when a part of the name between separators ("/", "\" and the ":" after a prefix) is "..",
// which reaches out of its folder; "music/theme..ogg" goes nowhere and is a name like any other.
bool NamesParentFolder(const char* name);
// Steps `cursor` to the next logical name below `folder`, in the path map's order.
bool NextFileInFolder(const TString& folder, TString& cursor, bool recursive);
// Maps a name to a block of memory that stays owned by the caller; null data forgets the name.
void RegisterMemoryFileName(const TString& name, const void* data, uint32_t size);

void InitFileSystem();
// Removes the temporary files ("<name>.tmp<process id>-<n>", or "<name>.tmp<n>" from earlier
// versions) that a run killed during a whole-file write
// left at the top of the user and common data folders, with a log line each; nothing below them,
// since a data folder may be the game's own folder. A file whose writer still runs stays, however
// old: another instance is writing it. One of an earlier version's names changed within the last
// `minimumAgeSeconds` stays too. Call before InitFileSystem.
void RemoveLeftoverTemporaryFiles(int minimumAgeSeconds);
void ScanFolder(const TString& folder, const TString& prefix);
// True when the token "-*" was met.
bool ParseExclusionList(const char* text, bool add);
bool IsNameVisible(const TString& name);
void ClearPathMap();
// Empties the exclusion list (tests and teardown).
void ClearExclusionList();
