// Paths and folders: the executable's location, the working folder, the per-user data folders,
// folder listing and the handful of file-system calls (stat, access, rename, mkdir, remove) the
// platform needs.
#pragma once

#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>

namespace sys
{

// Full path of the running executable ("" when it cannot be had).
std::string GetModulePath();
// The executable's folder with a trailing "/" ("" when unknown).
std::string GetModuleFolder();

// The process's working folder (no trailing "/"; "" on failure) and switching it.
std::string GetCurrentFolder();
bool SetCurrentFolder(const std::string& folder);

// The per-user special folders. AppData is $XDG_DATA_HOME (default $HOME/.local/share);
// CommonAppData is <AppData>/common, since no machine-wide folder is writable for an ordinary user;
// Desktop is $HOME/Desktop and exists only when that folder does.
enum class SpecialFolder
{
    AppData,
    CommonAppData,
    Desktop
};

// Writes the folder (absolute, no trailing "/") to `out`. With `create`, the AppData and
// CommonAppData folders are created when missing; without, a missing one is answered all the same
// (whoever writes there first makes it). False when the folder cannot be had, with the reason in
// words in `reason` when one is given.
bool GetSpecialFolder(SpecialFolder which, bool create, std::string& out,
                      std::string* reason = nullptr);

// The longest path the system takes, in bytes with the closing zero.
constexpr int kSystemPathBytes = 4096;

// Absolute form of a path, resolved against the working folder and with "." and ".." components and
// repeated separators folded away, without touching the disk. "" for an empty path.
std::string GetFullPath(const std::string& path);

// Access test with the runtime's mode numbers: 0 exists, 2 writable, 4 readable, 6 both.
bool PathAccess(const std::string& path, int mode);

struct FileStat
{
    bool isFolder = false;
    uint64_t size = 0;
    int64_t modifiedSeconds = 0;
    uint64_t device = 0;
    uint64_t inode = 0;
};

// Follows symbolic links. False when nothing is at the path.
bool StatPath(const std::string& path, FileStat& out);

// One folder level; true when it was made or already exists as a folder.
bool MakeFolder(const std::string& path);
bool RemoveFile(const std::string& path);
// Whether a file can be made in the folder (made and removed again; permission bits alone do not
// tell on a read-only mount or for the superuser). False with the system's reason otherwise.
bool CanWriteInFolder(const std::string& folder, std::string& reason);
// Replaces `to` when it exists (the atomic step of writing through a temporary name).
bool RenameFile(const std::string& from, const std::string& to);
// Renames without ever replacing: false with errno EEXIST when anything (a dangling link too) is
// at `to`, even when it appears there between a check and the rename.
bool RenameNoReplace(const std::string& from, const std::string& to);
// Whether anything is at the path, a link taken as itself (a dangling link is there).
bool PathTaken(const std::string& path);

// Opens an existing file to read (a link to one included), or to append to (made when missing),
// only when it is a regular file: a FIFO, a device or a folder is refused without blocking on it
// and without reading from it, and `refused` says so ("it is a link" for an append to a link: an
// append never writes anywhere but the file at the name). A file with other names (a hard link, as
// a hard-link copy of its folder leaves) is first given the name to itself, a copy of it renamed
// over the name, so the other names keep what they held; one past 16 MiB is refused as a link.
// Null with the reason otherwise.
std::FILE* OpenRegularFile(const std::string& path, bool append, std::string& reason,
                           bool& refused);
// The same for the regular file at the name itself, never one a link there points to: opened to
// read (an existing file), or with `update` to read and write anywhere in it (made when missing,
// and given the name to itself as an append is). A link, or a file with other names that is only
// read or cannot be copied, is refused with "it is a link". Every refusal and failure leaves errno
// set (EISDIR for a folder, ELOOP for a link, ENXIO for any other kind of file).
std::FILE* OpenRegularFileAtName(const std::string& path, bool update, std::string& reason,
                                 bool& refused);
// The marker of the whole-file writes' temporary names; the start-up sweep looks for it.
constexpr const char* kTemporaryMarker = ".tmp";
// Creates the new file that a whole-file write fills before it is renamed over `path`, named
// "<path><marker><process id>-<n>": a name of this process's own, so that two games on one data
// folder never meet there. It is made new (O_CREAT|O_EXCL|O_NOFOLLOW), so nothing already at the
// name, a link planted there above all, is ever opened or followed; a name taken is passed over
// for the next. Null with the reason otherwise; `temporary` is the name made.
std::FILE* CreateTemporaryFile(const std::string& path, const char* marker, std::string& temporary,
                               std::string& reason);
// The temporary is flocked by its writer until LetGoOfTemporary, called once it was renamed or
// removed: what tells a sweep that its writer still writes it, wherever that writer runs.
void LetGoOfTemporary(const std::string& temporary);
// Whether the temporary at `path`, of the writer process id `writer` (0: none named), may still be
// written: its writer runs here, or its writer's lock on it is held, or, where no flock can be had
// there, it is younger than any save takes.
constexpr int64_t kTemporaryStaleSeconds = 600;
bool TemporaryInUse(const std::string& path, int writer, int64_t ageSeconds);
// Writes `size` bytes as the whole of the file at `path`: into a temporary file (as above), then
// renamed over it, so a reader never meets half a file. False with the reason, nothing left
// behind, and the old file as it was, when a step fails.
bool ReplaceFileWith(const std::string& path, const void* data, size_t size, std::string& reason);
// Whether a file name is one CreateTemporaryFile makes with `marker`, or the "<name><marker><n>"
// earlier versions made.
bool IsTemporaryFileName(const std::string& name, const char* marker);
// The whole text of a regular file (through OpenRegularFile: a FIFO or a device is refused, never
// waited on), at most `maxBytes` of it. False with the reason otherwise.
bool ReadRegularFile(const std::string& path, size_t maxBytes, std::string& text,
                     std::string& reason);
// Waits until what was written to the stream is on the disk (its buffer handed to the system, then
// fsync), so that a rename after it cannot leave an empty or partial file under the real name when
// the power fails. A file system that cannot flush counts as flushed. False with errno set.
bool FlushFileToDisk(std::FILE* stream);
// Tests: every flush to the disk (file or folder) waits `ms` first, as a slow disk would (the
// environment's MURKWELL_SLOW_FLUSH_MS sets it at the start); a lower value ends the waits that
// run. WaitForSlowFlush: until a flush waits so (false after `ms` without one).
void SetSlowFlushMs(uint32_t ms);
uint32_t GetSlowFlushMs();
bool WaitForSlowFlush(uint32_t ms);
// The same for a folder's entries: a rename inside it is on the disk once this answers true. False
// with errno set.
bool FlushFolderToDisk(const std::string& folder);

// Takes an exclusive lock (flock) on the lock file at `path`, made (mode 0600) when missing. It is
// opened without following a link and taken only as a regular file of this process's own user: a
// lock file someone else made (in a folder others may write) is never waited on or taken. One with
// other names (a hard-link copy of its folder) is taken: nothing is written to it, and a copy put
// in its place would let a second holder in beside one holding the file. While
// another process holds it, waits at most `waitMs` (0: not at all). The handle that UnlockFile
// frees, or -1 with the reason; `busy`, when given, tells that another process held it.
int LockFile(const std::string& path, uint32_t waitMs, std::string& reason, bool* busy = nullptr);

struct LockRequest
{
    // How long to wait while another process holds the lock (0: not at all), by the clock, not by
    // the pauses asked for between tries.
    uint32_t waitMs = 0;
    // Asked between tries: true ends the wait at once.
    std::function<bool()> stop;
    // A lock held for one save: where the lock file cannot be flocked, an exclusive create of a
    // stand-in stands for it (below). A lock held for a whole run does without, since where no
    // flock can be had at all nothing tells a long-held stand-in from one left by a crash.
    bool standIn = false;
    // When given: a wait that ends on a stand-in only its age will free (below) says so here.
    std::string* agingNote = nullptr;
};

enum class LockResult
{
    kTaken,
    kBusy,    // another process held it for the whole wait
    kStopped, // another process held it when `stop` ended the wait
    kRefused, // no lock file to take (the reason says why)
};

// LockFile as asked in `request`; the handle, or -1 with the reason and what happened in `result`.
int LockFile(const std::string& path, const LockRequest& request, std::string& reason,
             LockResult& result);
// With `standIn`, where the lock file cannot be flocked (a file system without flock, answering
// ENOLCK or EOPNOTSUPP; one at the name owned by another user; a folder or anything else there),
// the lock is the file "<path>.x" made new (O_EXCL), waited for as a flock is. Its holder flocks it
// where it can and writes in it where it runs (the machine's boot, its process id space, its id and
// start). One left by a holder gone is removed: at once when its holder ran where this process can
// ask it (a holder running there holds it, whatever its age); otherwise once its holder's lock is
// free and it is older than the settle time, or, where no flock can be had (nor the file read),
// once it is older than any save takes since its holder last touched it (LockStillHeld). A time
// ahead of the clock by more than the settle time is no holder's of now: stale. One found stale
// that cannot be removed makes no lock: the reason names it.
constexpr const char* kExclusiveLockSuffix = ".x";
constexpr int64_t kExclusiveLockSettleMs = 1000;
constexpr int64_t kExclusiveLockStaleMs = 60000;
// Whether the lock file at `path` is still the file `handle` locks: one removed or replaced since
// is no lock any more, since another process may lock the new file at the name. A stand-in held is
// touched: its time counts from this check.
bool LockStillHeld(int handle, const std::string& path);
// Whether the lock `handle` holds is a stand-in "<path>.x".
bool LockIsStandIn(int handle);
// Releases the lock and closes its file; the file stays, since another process may be opening it
// to wait for the lock (a lock file removed under a waiter would let two holders in). An
// exclusive create's file is removed: that is its release.
void UnlockFile(int handle);
// Tests: every flock a lock takes answers this error number, as on a file system without flock;
// 0 ends it.
void InjectLockFailure(int errorNumber);
// Tests: opening or removing a stand-in found at its name answers this error number, as another
// user's in a folder this user may not change answers (root, who runs the tests in CI, is refused
// neither); 0 ends it.
void InjectStandInFailure(int errorNumber);

// What is at a path, a link taken as itself: a file replaced (renamed over) or written since it was
// identified has another identity.
struct FileIdentity
{
    bool exists = false;
    uint64_t device = 0;
    uint64_t inode = 0;
    uint64_t size = 0;
    int64_t modifiedNs = 0;
    int64_t changedNs = 0;
    bool operator==(const FileIdentity&) const = default;
};
FileIdentity IdentifyFile(const std::string& path);

// The process id a temporary name of CreateTemporaryFile carries; false for a name without one
// (the names earlier versions made).
bool TemporaryFileWriter(const std::string& name, const char* marker, int& pid);

// Lists one folder's entries, never "." or "..". Not copyable.
class FolderListing
{
public:
    FolderListing() = default;
    ~FolderListing();
    FolderListing(const FolderListing&) = delete;
    FolderListing& operator=(const FolderListing&) = delete;

    bool Open(const std::string& folder);
    void Close();
    bool IsOpen() const { return mDir != nullptr; }
    // The next entry; a symbolic link counts as what it points to. False at the end.
    bool Next(std::string& name, bool& isFolder);
    // Why the last Open failed (an errno value), 0 after one that succeeded.
    int GetError() const { return mError; }

private:
    void* mDir = nullptr;
    std::string mFolder;
    int mError = 0;
};

// Tests: the next opens of the folder (as given to FolderListing::Open) fail with the error
// number, as they do when the process has no file descriptor left; 0 ends it.
void InjectFolderListingFailure(const std::string& folder, int errorNumber);

} // namespace sys
