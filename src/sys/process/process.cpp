// Processes on POSIX: the single-instance lock (a lock file) with its notice socket, posix_spawnp
// for the shell's "open" and child processes, waitpid with a time limit.
#include "sys/process/process.h"

#include "sys/clock.h"
#include "sys/process/ignored_signals.h"
#include "sys/files/paths.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <map>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace sys
{

namespace
{
// The longest socket file name that still fits a socket's address after "/proc/self/fd/<n>/", the
// road MakeSocketAddress takes for a long folder.
constexpr size_t kMaxNoticeNameBytes = 64;
} // namespace

std::string InstanceNoticePath(const std::string& lockPath)
{
    const size_t slash = lockPath.rfind('/');
    const size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
    const std::string name = lockPath.substr(nameStart) + ".raise";
    if (name.size() <= kMaxNoticeNameBytes)
        return lockPath + ".raise";
    // A program installed deep gets a lock name too long for an address: a digest of it stays
    // apart from other programs' sockets in the same folder (FNV-1a, 64 bits).
    uint64_t digest = 0xcbf29ce484222325ull;
    for (size_t i = nameStart; i < lockPath.size(); ++i)
    {
        digest ^= static_cast<unsigned char>(lockPath[i]);
        digest *= 0x100000001b3ull;
    }
    char shortName[32];
    std::snprintf(shortName, sizeof shortName, "%016llx.raise",
                  static_cast<unsigned long long>(digest));
    return lockPath.substr(0, nameStart) + shortName;
}

namespace
{
// The notice sockets of the locks this process holds, by lock handle.
struct NoticeChannel
{
    int mSocket = -1;
    std::string mPath;
};

std::map<int, NoticeChannel>& NoticeChannels()
{
    static std::map<int, NoticeChannel> channels;
    return channels;
}

// A socket's address holds about a hundred bytes of path, less than a data folder's path may take:
// a longer path is reached through the folder opened by this process (`folder` keeps it open while
// the address is used; InstanceNoticePath keeps the name short enough for that). False with errno
// set when the folder cannot be opened or the address still does not fit.
bool MakeSocketAddress(const std::string& path, sockaddr_un& address, int& folder)
{
    std::memset(&address, 0, sizeof(address));
    address.sun_family = AF_UNIX;
    folder = -1;
    std::string reachable = path;
    const size_t slash = path.rfind('/');
    if (path.size() >= sizeof(address.sun_path) && slash != std::string::npos)
    {
        const std::string parent = slash == 0 ? "/" : path.substr(0, slash);
        folder = open(parent.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
        if (folder < 0)
            return false;
        reachable = "/proc/self/fd/" + std::to_string(folder) + path.substr(slash);
    }
    if (reachable.size() >= sizeof(address.sun_path))
    {
        errno = ENAMETOOLONG;
        return false;
    }
    std::memcpy(address.sun_path, reachable.c_str(), reachable.size() + 1);
    return true;
}

void CloseFolder(int folder)
{
    if (folder >= 0)
        close(folder);
}

// Only the lock's holder calls this, so whatever lies under the name is a leftover of an earlier
// holder (killed before it could remove it) and goes first. -1 with the reason when it cannot be
// made.
int OpenNoticeChannel(const std::string& path, std::string& reason)
{
    sockaddr_un address;
    int folder = -1;
    if (!MakeSocketAddress(path, address, folder))
    {
        reason = std::strerror(errno);
        CloseFolder(folder);
        return -1;
    }
    unlink(path.c_str());
    int fd = socket(AF_UNIX, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0 || bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof(address)) != 0)
    {
        reason = std::strerror(errno);
        if (fd >= 0)
            close(fd);
        fd = -1;
    }
    CloseFolder(folder);
    if (fd >= 0)
        chmod(path.c_str(), 0600);
    return fd;
}

// True when the holder's channel took the notice.
bool SendNotice(const std::string& path)
{
    sockaddr_un address;
    int folder = -1;
    const bool addressed = MakeSocketAddress(path, address, folder);
    int fd = addressed ? socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0) : -1;
    bool sent = false;
    if (fd >= 0 && connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof(address)) == 0)
    {
        const char notice = 1;
        sent = send(fd, &notice, 1, MSG_DONTWAIT | MSG_NOSIGNAL) == 1;
    }
    if (fd >= 0)
        close(fd);
    CloseFolder(folder);
    return sent;
}
} // namespace

InstanceLockResult AcquireInstanceLock(const std::string& path, int& handle, bool* noticed,
                                       std::string* reason)
{
    handle = -1;
    if (noticed != nullptr)
        *noticed = false;
    std::string why;
    bool busy = false;
    const int fd = LockFile(path, 0, why, &busy);
    if (fd < 0)
    {
        if (reason != nullptr)
            *reason = why;
        if (!busy)
            return InstanceLockResult::Failed;
        const bool sent = SendNotice(InstanceNoticePath(path));
        if (noticed != nullptr)
            *noticed = sent;
        return InstanceLockResult::AlreadyHeld;
    }
    handle = fd;
    NoticeChannel channel;
    channel.mPath = InstanceNoticePath(path);
    channel.mSocket = OpenNoticeChannel(channel.mPath, why);
    if (channel.mSocket >= 0)
        NoticeChannels()[fd] = channel;
    else if (reason != nullptr)
        *reason = "the notice socket '" + channel.mPath + "' could not be made (" + why + ")";
    return InstanceLockResult::Acquired;
}

void ReleaseInstanceLock(int handle)
{
    if (handle < 0)
        return;
    // The socket goes while the lock is still held, so it never outlives its holder's lock.
    auto found = NoticeChannels().find(handle);
    if (found != NoticeChannels().end())
    {
        unlink(found->second.mPath.c_str());
        close(found->second.mSocket);
        NoticeChannels().erase(found);
    }
    UnlockFile(handle);
}

bool TakeInstanceNotice()
{
    bool taken = false;
    for (const auto& [handle, channel] : NoticeChannels())
    {
        char notice[16];
        while (recv(channel.mSocket, notice, sizeof(notice), MSG_DONTWAIT) >= 0)
            taken = true;
    }
    return taken;
}

namespace
{
// posix_spawnp, the child's ignored write signals back at their defaults: an ignored signal stays
// ignored across exec, and a tool whose reader goes away expects to end by it. `output`, when not
// negative, becomes the child's standard output and error.
int SpawnWithDefaultSignals(pid_t* pid, char* const* args, char** env, int output = -1)
{
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_t* redirect = nullptr;
    if (output >= 0 && posix_spawn_file_actions_init(&actions) == 0)
    {
        redirect = &actions;
        posix_spawn_file_actions_adddup2(redirect, output, STDOUT_FILENO);
        posix_spawn_file_actions_adddup2(redirect, output, STDERR_FILENO);
    }
    posix_spawnattr_t attributes;
    if (posix_spawnattr_init(&attributes) != 0)
    {
        const int error = posix_spawnp(pid, args[0], redirect, nullptr, args, env);
        if (redirect != nullptr)
            posix_spawn_file_actions_destroy(redirect);
        return error;
    }
    sigset_t defaults;
    sigemptyset(&defaults);
    for (int signal : kIgnoredWriteSignals)
        sigaddset(&defaults, signal);
    posix_spawnattr_setsigdefault(&attributes, &defaults);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGDEF);
    const int error = posix_spawnp(pid, args[0], redirect, &attributes, args, env);
    posix_spawnattr_destroy(&attributes);
    if (redirect != nullptr)
        posix_spawn_file_actions_destroy(redirect);
    return error;
}

// The child's id, or -1 with the reason in `error` when given.
int Spawn(const std::vector<std::string>& argv, char** env, int* error = nullptr, int output = -1)
{
    if (argv.empty())
        return -1;
    std::vector<char*> args;
    for (const std::string& arg : argv)
        args.push_back(const_cast<char*>(arg.c_str()));
    args.push_back(nullptr);
    pid_t pid = -1;
    const int failed = SpawnWithDefaultSignals(&pid, args.data(), env, output);
    if (error != nullptr)
        *error = failed;
    if (failed != 0)
        return -1;
    return static_cast<int>(pid);
}
} // namespace

namespace
{
// The output an opener leaves for its failure line: the end of it, at most this many bytes.
constexpr size_t kOpenerOutputKept = 4096;
constexpr size_t kOpenerLineLimit = 200;

// An opener started and not yet done with: its process until it is reaped, its output (the read
// end of a pipe that it and whatever it starts write to) until the last of them closes it.
struct Opener
{
    int mPid = -1;
    int mOutput = -1;
    std::string mProgram;
    std::string mOpened;
    std::string mKept;
};

std::vector<Opener>& Openers()
{
    static std::vector<Opener> openers;
    return openers;
}

// Takes what the opener wrote since the last call, keeping the end; true at the end of its
// output (every writer gone).
bool DrainOpener(Opener& opener)
{
    char buffer[1024];
    for (;;)
    {
        const ssize_t got = read(opener.mOutput, buffer, sizeof(buffer));
        if (got > 0)
        {
            opener.mKept.append(buffer, static_cast<size_t>(got));
            if (opener.mKept.size() > kOpenerOutputKept)
                opener.mKept.erase(0, opener.mKept.size() - kOpenerOutputKept);
            continue;
        }
        return got == 0 || (errno != EAGAIN && errno != EINTR);
    }
}

// The last line the opener wrote, its control characters shown as escapes (it goes to the
// terminal) and cut to a line's length.
std::string LastLine(const std::string& output)
{
    size_t end = output.find_last_not_of("\r\n");
    if (end == std::string::npos)
        return std::string();
    const size_t start = output.find_last_of('\n', end);
    const std::string line = output.substr(start == std::string::npos ? 0 : start + 1,
                                           end + 1 - (start == std::string::npos ? 0 : start + 1));
    std::string shown;
    for (unsigned char c : line)
    {
        if (c < 0x20 || c == 0x7F)
        {
            char escaped[8];
            std::snprintf(escaped, sizeof(escaped), "\\x%02x", c);
            shown += escaped;
        }
        else
            shown += static_cast<char>(c);
        if (shown.size() >= kOpenerLineLimit)
        {
            shown += "...";
            break;
        }
    }
    return shown;
}
} // namespace

std::vector<FailedOpen> TakeFailedOpens()
{
    std::vector<FailedOpen> failed;
    std::vector<Opener>& openers = Openers();
    for (auto it = openers.begin(); it != openers.end();)
    {
        const bool ended = it->mOutput < 0 || DrainOpener(*it);
        int status = 0;
        if (it->mPid > 0 && waitpid(it->mPid, &status, WNOHANG) == it->mPid)
        {
            it->mPid = -1;
            const int code = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
            if (code != 0)
                failed.push_back(FailedOpen{it->mOpened, it->mProgram, code, LastLine(it->mKept)});
        }
        // A program the opener started (a browser) may write on long after the opener ended:
        // the pipe is read until it closes, so that no writer of it ever meets a closed end.
        if (ended && it->mOutput >= 0)
        {
            close(it->mOutput);
            it->mOutput = -1;
        }
        it = it->mPid < 0 && it->mOutput < 0 ? openers.erase(it) : std::next(it);
    }
    return failed;
}

int ShellOpen(const std::string& file, const std::string& parameters, std::string* why)
{
    if (file.empty())
    {
        if (why != nullptr)
            *why = "nothing to open";
        return 2;
    }
    std::vector<std::string> argv;
    if (parameters.empty())
        argv = {"xdg-open", file};
    else
        argv = {file, parameters};
    // The opener's own lines (a failing one writes a line for every browser it looked for) go to
    // a pipe of the game's rather than the player's terminal: its end says why in one line.
    int pipeEnds[2] = {-1, -1};
    if (pipe2(pipeEnds, O_CLOEXEC) != 0)
        pipeEnds[0] = pipeEnds[1] = -1;
    else
        fcntl(pipeEnds[0], F_SETFL, fcntl(pipeEnds[0], F_GETFL) | O_NONBLOCK);
    int error = 0;
    int pid = Spawn(argv, environ, &error, pipeEnds[1]);
    if (pipeEnds[1] >= 0)
        close(pipeEnds[1]);
    if (pid < 0 && pipeEnds[0] >= 0)
        close(pipeEnds[0]);
    if (pid < 0)
    {
        if (why != nullptr)
        {
            // What is missing, in a few words the player can act on: the whole PATH would bury
            // them. The desktop's opener comes with Debian's xdg-utils.
            if (error == ENOENT && argv[0].find('/') == std::string::npos)
                *why = "no program \"" + argv[0] + "\" is installed (none on PATH)" +
                       (parameters.empty() ? "; the desktop's opener comes with xdg-utils" : "");
            else
                *why = "\"" + argv[0] + "\" could not be started (" + std::strerror(error) + ")";
        }
        return 2;
    }
    Openers().push_back(
        Opener{pid, pipeEnds[0], argv[0], parameters.empty() ? file : parameters, std::string()});
    return 42;
}

int SpawnProcess(const std::vector<std::string>& argv, const std::vector<std::string>& extraEnv)
{
    std::vector<std::string> entries;
    for (char** e = environ; e && *e; ++e)
        entries.emplace_back(*e);
    for (const std::string& extra : extraEnv)
    {
        size_t eq = extra.find('=');
        std::string key = extra.substr(0, eq + 1);
        for (auto it = entries.begin(); it != entries.end();)
            it = it->compare(0, key.size(), key) == 0 ? entries.erase(it) : std::next(it);
        entries.push_back(extra);
    }
    std::vector<char*> env;
    for (std::string& entry : entries)
        env.push_back(entry.data());
    env.push_back(nullptr);
    return Spawn(argv, env.data());
}

int StartDetachedProcess(const std::vector<std::string>& argv)
{
    static std::vector<int> started;
    for (auto it = started.begin(); it != started.end();)
    {
        int status = 0;
        it = waitpid(*it, &status, WNOHANG) != 0 ? started.erase(it) : std::next(it);
    }
    if (argv.empty() || argv[0].empty())
        return EINVAL;
    std::vector<char*> args;
    for (const std::string& arg : argv)
        args.push_back(const_cast<char*>(arg.c_str()));
    args.push_back(nullptr);
    pid_t pid = -1;
    int error = SpawnWithDefaultSignals(&pid, args.data(), environ);
    if (error != 0)
        return error;
    started.push_back(static_cast<int>(pid));
    return 0;
}

bool WaitProcess(int pid, uint32_t timeoutMs, int& exitCode)
{
    uint32_t start = GetTimeMs();
    for (;;)
    {
        int status = 0;
        pid_t got = waitpid(pid, &status, WNOHANG);
        if (got == pid)
        {
            exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
            return true;
        }
        if (got < 0 || GetTimeMs() - start >= timeoutMs)
            return false;
        usleep(5000);
    }
}

void SignalProcess(int pid, bool kill)
{
    if (pid > 0)
        ::kill(pid, kill ? SIGKILL : SIGTERM);
}

bool ProcessRunning(int pid)
{
    // Another user's process cannot be signalled, and runs all the same.
    return pid > 0 && (::kill(pid, 0) == 0 || errno == EPERM);
}

void ExitProcess(int exitCode)
{
    std::fflush(nullptr);
    std::_Exit(exitCode & 0xFF);
}

std::string GetEnvironmentVariable(const char* name)
{
    const char* value = std::getenv(name);
    return value ? value : "";
}

void PrintNotice(const std::string& line)
{
    std::fprintf(stderr, "%s\n", line.c_str());
}

} // namespace sys
