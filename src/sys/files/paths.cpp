// Paths and folders on POSIX: /proc/self/exe, getcwd/chdir, XDG data folders, opendir/readdir,
// stat.
#include "sys/files/paths.h"

#include "sys/files/save_waits.h"

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <chrono>
#include <climits>
#include <condition_variable>
#include <dirent.h>
#include <map>
#include <mutex>
#include <optional>
#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace sys
{

static_assert(kSystemPathBytes == PATH_MAX, "the path limit is the system's");

std::string GetModulePath()
{
    std::vector<char> buffer(4096);
    ssize_t n = readlink("/proc/self/exe", buffer.data(), buffer.size() - 1);
    if (n <= 0)
        return std::string();
    return std::string(buffer.data(), static_cast<size_t>(n));
}

std::string GetModuleFolder()
{
    std::string path = GetModulePath();
    size_t slash = path.rfind('/');
    if (slash == std::string::npos)
        return std::string();
    return path.substr(0, slash + 1);
}

std::string GetCurrentFolder()
{
    std::vector<char> buffer(4096);
    if (getcwd(buffer.data(), buffer.size()) == nullptr)
        return std::string();
    return std::string(buffer.data());
}

bool SetCurrentFolder(const std::string& folder)
{
    return !folder.empty() && chdir(folder.c_str()) == 0;
}

namespace
{
std::string Environment(const char* name)
{
    const char* value = std::getenv(name);
    return value != nullptr ? std::string(value) : std::string();
}

std::string StripTrailingSlashes(std::string path)
{
    while (path.size() > 1 && path.back() == '/')
        path.pop_back();
    return path;
}

// Creates every missing level of an absolute folder path; false with the level that failed and
// the system's reason in `reason`.
bool MakeFolderTree(const std::string& path, std::string& reason)
{
    for (size_t i = 1; i <= path.size(); ++i)
    {
        if (i == path.size() || path[i] == '/')
        {
            const std::string level = path.substr(0, i);
            if (!MakeFolder(level))
            {
                reason = "'" + level + "' cannot be made (" + std::strerror(errno) + ")";
                return false;
            }
        }
    }
    return true;
}

std::string AppDataFolder()
{
    std::string xdg = Environment("XDG_DATA_HOME");
    // The XDG rules ignore a relative value.
    if (!xdg.empty() && xdg[0] == '/')
        return StripTrailingSlashes(GetFullPath(xdg));
    std::string home = Environment("HOME");
    if (home.empty() || home[0] != '/')
        return std::string();
    return StripTrailingSlashes(GetFullPath(home)) + "/.local/share";
}
} // namespace

bool GetSpecialFolder(SpecialFolder which, bool create, std::string& out, std::string* reason)
{
    std::string why;
    std::string& said = reason != nullptr ? *reason : why;
    std::string folder;
    switch (which)
    {
    case SpecialFolder::AppData:
        folder = AppDataFolder();
        break;
    case SpecialFolder::CommonAppData:
        folder = AppDataFolder();
        if (!folder.empty())
            folder += "/common";
        break;
    case SpecialFolder::Desktop:
    {
        std::string home = Environment("HOME");
        if (home.empty() || home[0] != '/')
            return false;
        folder = StripTrailingSlashes(GetFullPath(home)) + "/Desktop";
        FileStat st;
        if (!StatPath(folder, st) || !st.isFolder)
            return false;
        out = folder;
        return true;
    }
    }
    if (folder.empty())
    {
        said = "neither XDG_DATA_HOME nor HOME names an absolute folder";
        return false;
    }
    if (create && !MakeFolderTree(folder, said))
        return false;
    FileStat st;
    const bool there = StatPath(folder, st);
    if (!create && !there)
    {
        out = folder;
        return true;
    }
    if (!there || !st.isFolder)
    {
        said = "'" + folder + "' is not a folder";
        return false;
    }
    out = folder;
    return true;
}

std::string GetFullPath(const std::string& path)
{
    if (path.empty())
        return std::string();
    std::string whole = path;
    if (whole[0] != '/')
    {
        std::string cwd = GetCurrentFolder();
        if (cwd.empty())
            return std::string();
        whole = cwd + "/" + whole;
    }
    std::vector<std::string> parts;
    size_t i = 0;
    while (i < whole.size())
    {
        size_t next = whole.find('/', i);
        if (next == std::string::npos)
            next = whole.size();
        std::string part = whole.substr(i, next - i);
        if (part == "..")
        {
            if (!parts.empty())
                parts.pop_back();
        }
        else if (!part.empty() && part != ".")
            parts.push_back(part);
        i = next + 1;
    }
    std::string result;
    for (const std::string& part : parts)
        result += "/" + part;
    // A path that named a folder with a trailing separator keeps it, as the Windows call does.
    if (result.empty())
        return "/";
    if (whole.back() == '/')
        result += "/";
    return result;
}

bool PathAccess(const std::string& path, int mode)
{
    int how = F_OK;
    if (mode & 2)
        how |= W_OK;
    if (mode & 4)
        how |= R_OK;
    return !path.empty() && access(path.c_str(), how) == 0;
}

bool StatPath(const std::string& path, FileStat& out)
{
    struct stat st
    {
    };
    if (path.empty() || stat(path.c_str(), &st) != 0)
        return false;
    out.isFolder = S_ISDIR(st.st_mode);
    out.size = static_cast<uint64_t>(st.st_size);
    out.modifiedSeconds = static_cast<int64_t>(st.st_mtime);
    out.device = static_cast<uint64_t>(st.st_dev);
    out.inode = static_cast<uint64_t>(st.st_ino);
    return true;
}

bool MakeFolder(const std::string& path)
{
    if (path.empty())
        return false;
    if (mkdir(path.c_str(), 0777) == 0)
        return true;
    // The caller may say why: the reason is mkdir's, or that something else has the name.
    const int error = errno;
    FileStat st;
    const bool exists = StatPath(path, st);
    if (exists && st.isFolder)
        return true;
    errno = exists ? ENOTDIR : error;
    return false;
}

bool RemoveFile(const std::string& path)
{
    return !path.empty() && unlink(path.c_str()) == 0;
}

bool CanWriteInFolder(const std::string& folder, std::string& reason)
{
    std::string pattern = folder;
    if (pattern.empty() || pattern.back() != '/')
        pattern += '/';
    pattern += ".write-check-XXXXXX";
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    const int fd = mkstemp(name.data());
    if (fd < 0)
    {
        reason = std::strerror(errno);
        return false;
    }
    close(fd);
    unlink(name.data());
    return true;
}

bool RenameFile(const std::string& from, const std::string& to)
{
    return !from.empty() && !to.empty() && rename(from.c_str(), to.c_str()) == 0;
}

bool RenameNoReplace(const std::string& from, const std::string& to)
{
    if (from.empty() || to.empty())
    {
        errno = ENOENT;
        return false;
    }
    if (renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0)
        return true;
    if (errno != EINVAL && errno != ENOSYS && errno != ENOTSUP)
        return false;
    // A file system without the flag: a hard link is made only where nothing is, and a file
    // system without links is left with the check just before the rename.
    if (link(from.c_str(), to.c_str()) == 0)
    {
        unlink(from.c_str());
        return true;
    }
    if (errno == EEXIST)
        return false;
    if (PathTaken(to))
    {
        errno = EEXIST;
        return false;
    }
    return rename(from.c_str(), to.c_str()) == 0;
}

bool PathTaken(const std::string& path)
{
    struct stat st;
    return !path.empty() && lstat(path.c_str(), &st) == 0;
}

namespace
{
// Whether a descriptor opened at a name may be used when its file has other names too (a hard
// link): a file written at the name must not be, since writing it would write wherever those names
// are; a lock file, which nothing is written to, may.
enum class OtherNames
{
    Refused,
    Allowed
};

// Opens `path` with `flags` (O_NONBLOCK added) when it is a regular file, and without O_NOFOLLOW
// among them a link to one. With O_NOFOLLOW a file with other names (a hard link) is refused too,
// unless `otherNames` allows it. `st` receives the file's status.
int OpenRegularDescriptor(const std::string& path, int flags, std::string& reason, bool& refused,
                          mode_t permissions, OtherNames otherNames, struct stat& st)
{
    refused = false;
    // Without O_NONBLOCK the open itself waits for a FIFO's other end, possibly for ever.
    const int fd = open(path.c_str(), flags | O_NONBLOCK | O_CLOEXEC | O_NOCTTY, permissions);
    if (fd < 0)
    {
        const int error = errno;
        // A folder opened to write to, or a FIFO without a reader: no file either.
        const bool link = error == ELOOP && (flags & O_NOFOLLOW) != 0 &&
                          lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode);
        refused = link || error == EISDIR || error == ENXIO;
        reason = link              ? "it is a link"
                 : error == EISDIR ? "it is a folder"
                 : error == ENXIO  ? "it is not a regular file"
                                   : std::strerror(error);
        errno = error;
        return -1;
    }
    // The descriptor's own kind: the path may have been replaced since anything looked at it.
    if (fstat(fd, &st) != 0)
    {
        reason = std::strerror(errno);
        close(fd);
        return -1;
    }
    const bool linked =
        (flags & O_NOFOLLOW) != 0 && otherNames == OtherNames::Refused && st.st_nlink > 1;
    if (!S_ISREG(st.st_mode) || linked)
    {
        refused = true;
        reason = S_ISDIR(st.st_mode)   ? "it is a folder"
                 : S_ISREG(st.st_mode) ? "it is a link"
                                       : "it is not a regular file";
        close(fd);
        errno = S_ISDIR(st.st_mode) ? EISDIR : S_ISREG(st.st_mode) ? ELOOP : ENXIO;
        return -1;
    }
    return fd;
}

// A file larger than this at a name the program writes is no file of the program's own: it is
// not copied to give it a name of its own (the readers of the program's files take as much).
constexpr off_t kMaxSeparatedBytes = 16 << 20;

// Gives the regular file at `path` a name of its own when it has other names: a copy of it, made
// under a temporary name, is renamed over the name, and the other names keep the file as it was.
// So a hard-link copy of the data folder (as backup tools make them) neither stops a file that is
// written at its name nor has its own copy changed by it. False when nothing was done: no such
// file there, one name only, or the file could not be copied.
bool SeparateFromOtherNames(const std::string& path)
{
    const int fd = open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0)
        return false;
    struct stat st;
    std::vector<char> bytes;
    bool whole = fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_nlink > 1 &&
                 st.st_size <= kMaxSeparatedBytes;
    if (whole)
    {
        bytes.resize(static_cast<size_t>(st.st_size));
        size_t got = 0;
        while (got < bytes.size())
        {
            const ssize_t n = read(fd, bytes.data() + got, bytes.size() - got);
            if (n <= 0)
                break;
            got += static_cast<size_t>(n);
        }
        // A file that grew or shrank meanwhile is copied as far as it was read.
        bytes.resize(got);
    }
    close(fd);
    std::string reason;
    return whole && ReplaceFileWith(path, bytes.data(), bytes.size(), reason);
}

// The same, as a stream in `mode`, the descriptor made blocking again. A file opened to be written
// at its name (O_NOFOLLOW) that has other names is first given a name of its own.
std::FILE* OpenRegular(const std::string& path, int flags, const char* mode, std::string& reason,
                       bool& refused)
{
    struct stat st;
    int fd = OpenRegularDescriptor(path, flags, reason, refused, 0666, OtherNames::Refused, st);
    const bool writes = (flags & (O_WRONLY | O_RDWR)) != 0;
    if (fd < 0 && refused && errno == ELOOP && writes && SeparateFromOtherNames(path))
        fd = OpenRegularDescriptor(path, flags, reason, refused, 0666, OtherNames::Refused, st);
    if (fd < 0)
        return nullptr;
    const int status = fcntl(fd, F_GETFL);
    if (status == -1 || fcntl(fd, F_SETFL, status & ~O_NONBLOCK) == -1)
    {
        reason = std::strerror(errno);
        close(fd);
        return nullptr;
    }
    std::FILE* stream = fdopen(fd, mode);
    if (stream == nullptr)
    {
        reason = std::strerror(errno);
        close(fd);
    }
    return stream;
}
} // namespace

int LockFile(const std::string& path, uint32_t waitMs, std::string& reason, bool* busy)
{
    LockRequest request;
    request.waitMs = waitMs;
    LockResult result = LockResult::kRefused;
    const int fd = LockFile(path, request, reason, result);
    if (busy != nullptr)
        *busy = result == LockResult::kBusy || result == LockResult::kStopped;
    return fd;
}

namespace
{
uint64_t MonotonicMs()
{
    struct timespec now = {};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<uint64_t>(now.tv_sec) * 1000u +
           static_cast<uint64_t>(now.tv_nsec) / 1000000u;
}
} // namespace

namespace
{
// Tests: what every flock of a lock answers (0: the system's answer).
std::atomic<int> gInjectedLockError{0};

int TryLock(int fd)
{
    const int injected = gInjectedLockError.load();
    if (injected != 0)
    {
        errno = injected;
        return -1;
    }
    return flock(fd, LOCK_EX | LOCK_NB);
}

// The locks taken by an exclusive create (LockFile's fallback), by handle: released by removing
// the file, and held while the name is still that file.
struct ExclusiveLocks
{
    std::mutex mMutex;
    std::map<int, std::string> mPaths;
};

ExclusiveLocks& Exclusives()
{
    static ExclusiveLocks locks;
    return locks;
}

std::string ExclusivePath(int handle)
{
    std::lock_guard<std::mutex> guard(Exclusives().mMutex);
    auto found = Exclusives().mPaths.find(handle);
    return found == Exclusives().mPaths.end() ? std::string() : found->second;
}

bool SameFile(int handle, const std::string& path)
{
    struct stat held;
    struct stat named;
    return handle >= 0 && fstat(handle, &held) == 0 && lstat(path.c_str(), &named) == 0 &&
           held.st_dev == named.st_dev && held.st_ino == named.st_ino;
}

enum class StandIn
{
    kRemoved, // its holder was gone: removed (or the name changed meanwhile: look again)
    kHeld,    // a holder has it, or may have it still
    kAging,   // no holder can be asked, nor its flock tried: held until it is old enough
    kNoFile,  // something else is at its name (a folder, a link...): no lock can be had there
    kStuck,   // left by a holder gone, and this user cannot remove it (`reason` says why)
};

// Tests: what opening and removing a stand-in found at its name answer (0: the system's answer), as
// for another user's stand-in in a folder this user may not change; root is refused neither.
std::atomic<int> gInjectedStandInError{0};

// Where a holder can be asked whether it still runs: the machine's boot and the process id space it
// runs in. A holder in another (another machine sharing the folder, a container) cannot be asked.
const std::string& ProcessSpace()
{
    static const std::string space = []
    {
        std::string boot;
        if (std::FILE* file = std::fopen("/proc/sys/kernel/random/boot_id", "r"))
        {
            char line[64] = {};
            if (std::fgets(line, sizeof line, file) != nullptr)
                boot.assign(line, std::strcspn(line, "\n"));
            std::fclose(file);
        }
        char ns[64] = {};
        const ssize_t n = readlink("/proc/self/ns/pid", ns, sizeof ns - 1);
        return boot.empty() || n <= 0 ? std::string() : boot + "/" + std::string(ns, size_t(n));
    }();
    return space;
}

// When the process started, in clock ticks after the boot (field 22 of its stat line); empty when
// no such process runs. A process id taken again later by another process starts later.
std::string ProcessStart(long pid)
{
    std::string text;
    if (std::FILE* file = std::fopen(("/proc/" + std::to_string(pid) + "/stat").c_str(), "r"))
    {
        char line[1024] = {};
        const size_t n = std::fread(line, 1, sizeof line - 1, file);
        std::fclose(file);
        text.assign(line, n);
    }
    const size_t name = text.rfind(')');
    if (name == std::string::npos)
        return std::string();
    // The fields after the name start at the third.
    size_t at = name + 1;
    for (int field = 3; field <= 22; ++field)
    {
        at = text.find_first_not_of(' ', at);
        if (at == std::string::npos)
            return std::string();
        const size_t end = text.find(' ', at);
        if (field == 22)
            return text.substr(at, end == std::string::npos ? std::string::npos : end - at);
        at = end;
    }
    return std::string();
}

// The line a holder writes into its stand-in: where it runs, its process id and its start.
std::string HolderLine()
{
    const long pid = static_cast<long>(getpid());
    return ProcessSpace() + " " + std::to_string(pid) + " " + ProcessStart(pid) + "\n";
}

enum class Holder
{
    kRunning, // a process of this machine's process ids, which still runs
    kGone,    // one of them, which ended
    kUnknown, // none named (not written yet, an earlier build's) or one that cannot be asked
};

Holder StandInHolder(int fd)
{
    char line[512] = {};
    const ssize_t n = pread(fd, line, sizeof line - 1, 0);
    if (n <= 0 || ProcessSpace().empty())
        return Holder::kUnknown;
    const std::string text(line, static_cast<size_t>(n));
    const size_t first = text.find(' ');
    const size_t second = first == std::string::npos ? first : text.find(' ', first + 1);
    const size_t end = text.find('\n');
    if (second == std::string::npos || end == std::string::npos || end < second ||
        text.compare(0, first, ProcessSpace()) != 0 || first != ProcessSpace().size())
        return Holder::kUnknown;
    char* stop = nullptr;
    const std::string pid = text.substr(first + 1, second - first - 1);
    const long id = std::strtol(pid.c_str(), &stop, 10);
    if (pid.empty() || *stop != 0 || id <= 0)
        return Holder::kUnknown;
    const std::string start = text.substr(second + 1, end - second - 1);
    return !start.empty() && ProcessStart(id) == start ? Holder::kRunning : Holder::kGone;
}

// An exclusive lock file left at `path`: removed when it has no holder any more. A holder this
// machine can ask is asked; otherwise its lock on the file tells (free, and older than the moment
// between its create and that lock), or, where no flock can be had (nor the file read), its time:
// older than any save takes. A holder keeps it fresh (LockStillHeld) while it works. A time ahead
// of the clock (the clock set back, another machine's clock on a shared folder) tells nothing but
// that it is no holder's of now: it is stale. `reason` says why one found stale stays.
StandIn RemoveStaleExclusive(const std::string& path, std::string& reason, int64_t& leftMs)
{
    leftMs = 0;
    struct stat st;
    if (lstat(path.c_str(), &st) != 0)
        return errno == ENOENT ? StandIn::kRemoved : StandIn::kNoFile;
    if (!S_ISREG(st.st_mode))
        return StandIn::kNoFile;
    const int injected = gInjectedStandInError.load();
    const int fd = injected != 0 ? (errno = injected, -1)
                                 : open(path.c_str(),
                                        O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0 && errno == ENOENT)
        return StandIn::kRemoved;
    if (fd >= 0 && (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)))
    {
        close(fd);
        return StandIn::kNoFile;
    }
    struct timespec now = {};
    clock_gettime(CLOCK_REALTIME, &now);
    const int64_t ageMs =
        (static_cast<int64_t>(now.tv_sec) - static_cast<int64_t>(st.st_mtim.tv_sec)) * 1000 +
        (now.tv_nsec - st.st_mtim.tv_nsec) / 1000000;
    // Beyond the clocks' small differences between two machines on one folder.
    const bool ahead = ageMs < -kExclusiveLockSettleMs;
    bool stale = false;
    bool aging = false;
    const Holder holder = fd < 0 ? Holder::kUnknown : StandInHolder(fd);
    if (holder != Holder::kUnknown)
        stale = holder == Holder::kGone;
    else if (fd >= 0 && TryLock(fd) == 0)
        stale = ahead || ageMs >= kExclusiveLockSettleMs;
    else if (fd < 0 || (errno != EWOULDBLOCK && errno != EINTR))
    {
        stale = ahead || ageMs >= kExclusiveLockStaleMs;
        aging = true;
        leftMs = kExclusiveLockStaleMs - ageMs;
    }
    if (!stale)
    {
        if (fd >= 0)
            close(fd);
        return aging ? StandIn::kAging : StandIn::kHeld;
    }
    // Removed only while the name is still the file found stale.
    struct stat named;
    const bool same = fd >= 0 ? SameFile(fd, path)
                              : lstat(path.c_str(), &named) == 0 && named.st_dev == st.st_dev &&
                                    named.st_ino == st.st_ino;
    if (fd >= 0)
        close(fd);
    if (!same)
        return StandIn::kRemoved;
    const int removed = injected != 0 ? (errno = injected, -1) : unlink(path.c_str());
    if (removed == 0 || errno == ENOENT)
        return StandIn::kRemoved;
    reason = "'" + path +
             "' was left there by a copy that ended, and this user cannot remove it (" +
             std::strerror(errno) + ")";
    return StandIn::kStuck;
}

// The lock of a lock file that cannot be flocked (a file system without flock, one at the name
// owned by another user, a folder there): the file "<path>.x" made new is the lock, so copies
// still exclude each other. Its holder flocks it where it can, which tells it held, and writes in
// it where it runs, which tells a holder gone at once.
int ExclusiveLock(const std::string& path, const LockRequest& request, std::string& reason,
                  LockResult& result, uint64_t start)
{
    const std::string exclusive = path + kExclusiveLockSuffix;
    const uint32_t stepMs = 2;
    for (;;)
    {
        const int fd =
            open(exclusive.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
        if (fd >= 0)
        {
            TryLock(fd);
            const std::string line = HolderLine();
            if (pwrite(fd, line.data(), line.size(), 0) != static_cast<ssize_t>(line.size()))
            {
                // Told held by its flock or its age, as an earlier build's.
            }
            std::lock_guard<std::mutex> guard(Exclusives().mMutex);
            Exclusives().mPaths[fd] = exclusive;
            result = LockResult::kTaken;
            return fd;
        }
        const int error = errno;
        if (error != EEXIST)
        {
            reason += std::string(", nor can its stand-in be made: ") + std::strerror(error);
            return -1;
        }
        std::string stuck;
        int64_t leftMs = 0;
        const StandIn standIn = RemoveStaleExclusive(exclusive, stuck, leftMs);
        if (standIn == StandIn::kRemoved)
            continue;
        if (standIn == StandIn::kNoFile)
        {
            reason += ", nor can its stand-in be made: something that is no file is at its name";
            return -1;
        }
        if (standIn == StandIn::kStuck)
        {
            reason += ", nor can its stand-in be made: " + stuck;
            return -1;
        }
        const bool stopped = request.stop && request.stop();
        if (stopped || MonotonicMs() - start >= request.waitMs)
        {
            result = stopped ? LockResult::kStopped : LockResult::kBusy;
            reason = "another process holds it";
            if (request.agingNote != nullptr && standIn == StandIn::kAging)
                *request.agingNote =
                    "its stand-in '" + exclusive +
                    "' names no copy this machine can ask whether it still runs, nor can its "
                    "lock tell: it is taken as left only once it is a minute old, in " +
                    std::to_string((leftMs + 999) / 1000) + " s";
            return -1;
        }
        struct timespec pause = {0, static_cast<long>(stepMs) * 1000000L};
        nanosleep(&pause, nullptr);
    }
}
} // namespace

int LockFile(const std::string& path, const LockRequest& request, std::string& reason,
             LockResult& result)
{
    // A lock that is only tried is no wait.
    std::optional<SaveWait> wait;
    if (request.waitMs > 0)
        wait.emplace("the lock '" + path + "'");
    result = LockResult::kRefused;
    // The time is the clock's: a loaded machine sleeps longer than it asks.
    const uint64_t start = MonotonicMs();
    bool refused = false;
    struct stat st;
    const int fd = OpenRegularDescriptor(path, O_RDWR | O_CREAT | O_NOFOLLOW, reason, refused, 0600,
                                         OtherNames::Allowed, st);
    // Something at the name that is no file of ours (a folder, a link, another user's file this
    // user may not open) is no lock; a folder that cannot be written has room for no stand-in
    // either.
    if (fd < 0)
        return request.standIn && (refused || errno == EACCES || errno == EPERM)
                   ? ExclusiveLock(path, request, reason, result, start)
                   : -1;
    if (st.st_uid != geteuid())
    {
        reason = "it belongs to another user";
        close(fd);
        return request.standIn ? ExclusiveLock(path, request, reason, result, start) : -1;
    }
    // Short steps: a holder keeps the lock for one read and write of a small file.
    const uint32_t stepMs = 2;
    for (;;)
    {
        if (TryLock(fd) == 0)
        {
            result = LockResult::kTaken;
            return fd;
        }
        const int error = errno;
        if (error != EWOULDBLOCK && error != EINTR)
        {
            // No flock here (ENOLCK, EOPNOTSUPP): no copy can flock it either.
            reason = std::strerror(error);
            close(fd);
            return request.standIn ? ExclusiveLock(path, request, reason, result, start) : -1;
        }
        if (error == EWOULDBLOCK)
        {
            const bool stopped = request.stop && request.stop();
            if (stopped || MonotonicMs() - start >= request.waitMs)
            {
                result = stopped ? LockResult::kStopped : LockResult::kBusy;
                reason = "another process holds it";
                close(fd);
                return -1;
            }
        }
        struct timespec pause = {0, static_cast<long>(stepMs) * 1000000L};
        nanosleep(&pause, nullptr);
    }
}

bool LockStillHeld(int handle, const std::string& path)
{
    const std::string exclusive = ExclusivePath(handle);
    if (!SameFile(handle, exclusive.empty() ? path : exclusive))
        return false;
    // Still held: a stand-in's time is the last moment its holder was known to work, which a copy
    // that can ask neither it nor its flock goes by.
    if (!exclusive.empty())
        futimens(handle, nullptr);
    return true;
}

void InjectLockFailure(int errorNumber)
{
    gInjectedLockError.store(errorNumber);
}

bool LockIsStandIn(int handle)
{
    return !ExclusivePath(handle).empty();
}

void InjectStandInFailure(int errorNumber)
{
    gInjectedStandInError.store(errorNumber);
}

FileIdentity IdentifyFile(const std::string& path)
{
    FileIdentity identity;
    struct stat st;
    if (path.empty() || lstat(path.c_str(), &st) != 0)
        return identity;
    identity.exists = true;
    identity.device = static_cast<uint64_t>(st.st_dev);
    identity.inode = static_cast<uint64_t>(st.st_ino);
    identity.size = static_cast<uint64_t>(st.st_size);
    identity.modifiedNs = static_cast<int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
    identity.changedNs = static_cast<int64_t>(st.st_ctim.tv_sec) * 1000000000 + st.st_ctim.tv_nsec;
    return identity;
}

void UnlockFile(int handle)
{
    if (handle < 0)
        return;
    // An exclusive create's lock is let go by removing its file (while it is still this one).
    std::string exclusive;
    {
        std::lock_guard<std::mutex> guard(Exclusives().mMutex);
        auto found = Exclusives().mPaths.find(handle);
        if (found != Exclusives().mPaths.end())
        {
            exclusive = found->second;
            Exclusives().mPaths.erase(found);
        }
    }
    if (!exclusive.empty() && SameFile(handle, exclusive))
        unlink(exclusive.c_str());
    flock(handle, LOCK_UN);
    close(handle);
}

std::FILE* OpenRegularFile(const std::string& path, bool append, std::string& reason, bool& refused)
{
    // An append adds to the file the program keeps at the name, never to one a link planted there
    // points to.
    return append ? OpenRegular(path, O_WRONLY | O_APPEND | O_CREAT | O_NOFOLLOW, "ab", reason,
                                refused)
                  : OpenRegular(path, O_RDONLY, "rb", reason, refused);
}

std::FILE* OpenRegularFileAtName(const std::string& path, bool update, std::string& reason,
                                 bool& refused)
{
    return update ? OpenRegular(path, O_RDWR | O_CREAT | O_NOFOLLOW, "r+b", reason, refused)
                  : OpenRegular(path, O_RDONLY | O_NOFOLLOW, "rb", reason, refused);
}

bool ReadRegularFile(const std::string& path, size_t maxBytes, std::string& text,
                     std::string& reason)
{
    text.clear();
    bool refused = false;
    std::FILE* file = OpenRegularFile(path, false, reason, refused);
    if (file == nullptr)
        return false;
    char block[4096];
    bool failed = false;
    for (;;)
    {
        const size_t got = std::fread(block, 1, sizeof block, file);
        if (got == 0)
        {
            failed = std::ferror(file) != 0;
            break;
        }
        if (text.size() + got > maxBytes)
        {
            std::fclose(file);
            reason = "it is larger than the " + std::to_string(maxBytes) + " bytes it may hold";
            return false;
        }
        text.append(block, got);
    }
    const int error = errno;
    std::fclose(file);
    if (failed)
        reason = std::strerror(error);
    return !failed;
}

namespace
{
// Enough for every name a few games on one folder can hold at once; past it the folder is full of
// names that are not this process's own, and something else is wrong.
constexpr unsigned kTemporaryNameTries = 1000;
std::atomic<unsigned> gTemporaryCounter{0};

bool AllDigits(const std::string& text, size_t from, size_t to)
{
    if (from >= to)
        return false;
    for (size_t i = from; i < to; ++i)
        if (text[i] < '0' || text[i] > '9')
            return false;
    return true;
}
} // namespace

namespace
{
// The writer's lock of each temporary this process writes: a descriptor of its own on the file,
// flocked, held until the file is renamed or removed (the stream's own is closed before that).
struct WriterLocks
{
    std::mutex mMutex;
    std::map<std::string, int> mHandles;
};

WriterLocks& Writers()
{
    static WriterLocks writers;
    return writers;
}

bool ProcessIdRunning(int pid)
{
    // Another user's process cannot be signalled, and runs all the same.
    return pid > 0 && (kill(pid, 0) == 0 || errno == EPERM);
}

void HoldWriterLock(const std::string& temporary)
{
    const int fd = open(temporary.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NOCTTY);
    if (fd < 0)
        return;
    if (TryLock(fd) != 0)
    {
        // No flock here: the sweep goes by the temporary's age.
        close(fd);
        return;
    }
    std::lock_guard<std::mutex> guard(Writers().mMutex);
    Writers().mHandles[temporary] = fd;
}
} // namespace

void LetGoOfTemporary(const std::string& temporary)
{
    std::lock_guard<std::mutex> guard(Writers().mMutex);
    auto found = Writers().mHandles.find(temporary);
    if (found == Writers().mHandles.end())
        return;
    close(found->second);
    Writers().mHandles.erase(found);
}

bool TemporaryInUse(const std::string& path, int writer, int64_t ageSeconds)
{
    if (ProcessIdRunning(writer))
        return true;
    // The writer's id may name no process here and its writer run all the same, in another
    // process namespace sharing the folder: its lock on the file tells.
    const int fd = open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0)
        return false;
    bool inUse = false;
    if (TryLock(fd) != 0)
        inUse = errno == EWOULDBLOCK || errno == EINTR || ageSeconds < kTemporaryStaleSeconds;
    close(fd);
    return inUse;
}

std::FILE* CreateTemporaryFile(const std::string& path, const char* marker, std::string& temporary,
                               std::string& reason)
{
    temporary.clear();
    if (path.empty())
    {
        reason = std::strerror(ENOENT);
        return nullptr;
    }
    const std::string stem = path + marker + std::to_string(getpid()) + "-";
    for (unsigned tries = 0; tries < kTemporaryNameTries; ++tries)
    {
        const std::string name = stem + std::to_string(++gTemporaryCounter);
        const int fd = open(name.c_str(),
                            O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC | O_NOCTTY, 0666);
        if (fd < 0)
        {
            if (errno == EEXIST)
                continue;
            reason = std::strerror(errno);
            return nullptr;
        }
        std::FILE* stream = fdopen(fd, "wb");
        if (stream == nullptr)
        {
            reason = std::strerror(errno);
            close(fd);
            unlink(name.c_str());
            return nullptr;
        }
        temporary = name;
        HoldWriterLock(name);
        return stream;
    }
    reason = "no free temporary name beside it ('" + stem + "<n>' all taken)";
    return nullptr;
}

bool ReplaceFileWith(const std::string& path, const void* data, size_t size, std::string& reason)
{
    std::string temporary;
    std::FILE* file = CreateTemporaryFile(path, kTemporaryMarker, temporary, reason);
    if (file == nullptr)
        return false;
    const bool written = size == 0 || std::fwrite(data, 1, size, file) == size;
    int error = written ? 0 : errno;
    if (std::fclose(file) != 0 && error == 0)
        error = errno;
    if (written && error == 0 && std::rename(temporary.c_str(), path.c_str()) != 0)
        error = errno;
    if (!written || error != 0)
    {
        reason = std::strerror(error != 0 ? error : EIO);
        unlink(temporary.c_str());
    }
    LetGoOfTemporary(temporary);
    return written && error == 0;
}

namespace
{
// Where a temporary name's writer number starts after the marker, and the dash after it (npos
// when there is none): false for a name that is no temporary.
bool TemporaryNameParts(const std::string& name, const char* marker, size_t& from, size_t& dash)
{
    const std::string mark = marker;
    const size_t at = name.rfind(mark);
    if (at == std::string::npos || at == 0)
        return false;
    from = at + mark.size();
    dash = name.find('-', from);
    if (dash == std::string::npos)
        return AllDigits(name, from, name.size());
    return AllDigits(name, from, dash) && AllDigits(name, dash + 1, name.size());
}
} // namespace

bool IsTemporaryFileName(const std::string& name, const char* marker)
{
    size_t from = 0;
    size_t dash = 0;
    return TemporaryNameParts(name, marker, from, dash);
}

bool TemporaryFileWriter(const std::string& name, const char* marker, int& pid)
{
    size_t from = 0;
    size_t dash = 0;
    if (!TemporaryNameParts(name, marker, from, dash) || dash == std::string::npos ||
        dash - from > 9)
        return false;
    pid = std::atoi(name.c_str() + from);
    return pid > 0;
}

namespace
{
// Tests: MURKWELL_SLOW_FLUSH_MS=<ms> makes every flush to the disk take that much longer, as a
// slow or busy disk does, so that a run can show that no frame waits for one; SetSlowFlushMs
// changes it, and wakes the flushes waiting.
struct SlowFlushes
{
    std::mutex mMutex;
    std::condition_variable mChanged;
    int64_t mMs = -1; // -1: as the environment says
    int mWaiting = 0;
};

SlowFlushes& Slow()
{
    static SlowFlushes slow;
    return slow;
}

uint32_t SlowFlushMsFromEnvironment()
{
    static const uint32_t ms = []
    {
        const char* text = std::getenv("MURKWELL_SLOW_FLUSH_MS");
        char* end = nullptr;
        const unsigned long value = text != nullptr ? std::strtoul(text, &end, 10) : 0;
        return text != nullptr && *text != 0 && *end == 0 && value <= 600000
                   ? static_cast<uint32_t>(value)
                   : 0u;
    }();
    return ms;
}

void WaitAsASlowDiskWould()
{
    SlowFlushes& slow = Slow();
    std::unique_lock<std::mutex> guard(slow.mMutex);
    const auto current = [&]
    { return slow.mMs >= 0 ? static_cast<uint32_t>(slow.mMs) : SlowFlushMsFromEnvironment(); };
    const uint32_t ms = current();
    if (ms == 0)
        return;
    ++slow.mWaiting;
    slow.mChanged.notify_all();
    slow.mChanged.wait_for(guard, std::chrono::milliseconds(ms), [&] { return current() < ms; });
    --slow.mWaiting;
}

// A file system that cannot flush at all (EINVAL, ENOTSUP) leaves nothing more to wait for.
bool Synced(int fd)
{
    const SaveWait wait("a flush to the disk");
    WaitAsASlowDiskWould();
    return fsync(fd) == 0 || errno == EINVAL || errno == ENOTSUP;
}
} // namespace

uint32_t GetSlowFlushMs()
{
    SlowFlushes& slow = Slow();
    std::lock_guard<std::mutex> guard(slow.mMutex);
    return slow.mMs >= 0 ? static_cast<uint32_t>(slow.mMs) : SlowFlushMsFromEnvironment();
}

void SetSlowFlushMs(uint32_t ms)
{
    SlowFlushes& slow = Slow();
    {
        std::lock_guard<std::mutex> guard(slow.mMutex);
        slow.mMs = ms;
    }
    slow.mChanged.notify_all();
}

bool WaitForSlowFlush(uint32_t ms)
{
    SlowFlushes& slow = Slow();
    std::unique_lock<std::mutex> guard(slow.mMutex);
    return slow.mChanged.wait_for(guard, std::chrono::milliseconds(ms),
                                  [&] { return slow.mWaiting > 0; });
}

bool FlushFileToDisk(std::FILE* stream)
{
    if (stream == nullptr)
    {
        errno = EBADF;
        return false;
    }
    return std::fflush(stream) == 0 && Synced(fileno(stream));
}

bool FlushFolderToDisk(const std::string& folder)
{
    const int fd = open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool flushed = Synced(fd);
    const int error = errno;
    close(fd);
    errno = error;
    return flushed;
}

FolderListing::~FolderListing()
{
    Close();
}

namespace
{
std::string gFailingFolder;
int gFolderListingError = 0;
} // namespace

void InjectFolderListingFailure(const std::string& folder, int errorNumber)
{
    gFailingFolder = folder;
    gFolderListingError = errorNumber;
}

bool FolderListing::Open(const std::string& folder)
{
    Close();
    mError = 0;
    if (folder.empty())
        return false;
    if (gFolderListingError != 0 && folder == gFailingFolder)
        errno = gFolderListingError;
    else
        mDir = opendir(folder.c_str());
    if (mDir == nullptr)
        mError = errno != 0 ? errno : EIO;
    mFolder = folder;
    if (!mFolder.empty() && mFolder.back() != '/')
        mFolder += '/';
    return mDir != nullptr;
}

void FolderListing::Close()
{
    if (mDir != nullptr)
        closedir(static_cast<DIR*>(mDir));
    mDir = nullptr;
}

bool FolderListing::Next(std::string& name, bool& isFolder)
{
    if (mDir == nullptr)
        return false;
    for (;;)
    {
        dirent* entry = readdir(static_cast<DIR*>(mDir));
        if (entry == nullptr)
            return false;
        if (std::strcmp(entry->d_name, ".") == 0 || std::strcmp(entry->d_name, "..") == 0)
            continue;
        name = entry->d_name;
        if (entry->d_type == DT_DIR)
            isFolder = true;
        else if (entry->d_type == DT_REG)
            isFolder = false;
        else
        {
            FileStat st;
            isFolder = StatPath(mFolder + name, st) && st.isFolder;
        }
        return true;
    }
}

} // namespace sys
