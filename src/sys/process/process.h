// Processes: the single-instance lock, opening documents and programs the way the shell does,
// starting and waiting for child processes, and ending the process with an exit code.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace sys
{

enum class InstanceLockResult
{
    Acquired,    // this process now holds the name
    AlreadyHeld, // another process holds it
    Failed       // the lock file could not be made; treated by callers as no other instance
};

// Takes the single-instance lock: an exclusive flock on the lock file at `path` (LockFile: made
// when missing, never through a link, and only as a regular file of this process's own user, so
// that a file someone else made there is never taken for a running copy). It belongs in a folder
// only the player writes to, the data folder. `handle` receives what ReleaseInstanceLock frees
// (-1 when nothing is held). The lock also ends with the process; its file stays.
//
// The holder also listens on a notice channel, a UNIX-domain socket beside the lock file
// (InstanceNoticePath), made by the holder alone (a stale one left by a killed holder is removed
// first). A start that finds the lock held sends one byte there, so that the holder brings its
// window forward; a send that fails (no holder listening) changes nothing. `noticed`, when given,
// tells whether a holder took that notice; `reason`, when given, why the lock Failed, or, when
// Acquired without a notice channel, why the channel could not be made (empty when it was).
InstanceLockResult AcquireInstanceLock(const std::string& path, int& handle,
                                       bool* noticed = nullptr, std::string* reason = nullptr);
// Closes and removes the holder's notice channel, then releases the lock.
void ReleaseInstanceLock(int handle);
// The notice channel's socket file: the lock file's path + ".raise"; where the lock's file name is
// longer than a socket's address can take beside the folder that reaches it (about 80 bytes),
// sixteen hexadecimal digits (a digest of that name) + ".raise" in the same folder.
std::string InstanceNoticePath(const std::string& lockPath);
// True when another start has sent a notice to a lock this process holds since the last call;
// takes every waiting notice. Never blocks.
bool TakeInstanceNotice();

// The shell's "open": with no parameters `file` is a document or address handed to the desktop's
// opener ("xdg-open"); with parameters `file` is the program to start with them. Answers a value
// above 32 when the program started, 2 when it could not be started (the shell's "file not found"),
// and then, in `why` when given, what was tried and why it failed.
// The program's output goes to the game, not to the terminal: see TakeFailedOpens.
int ShellOpen(const std::string& file, const std::string& parameters, std::string* why = nullptr);
// A program that ShellOpen started and that ended with a status other than 0: what it was to
// open, its name, its status (128 + signal when a signal ended it) and the last line it wrote
// (control characters escaped, cut to about 200 bytes; empty when it wrote nothing).
struct FailedOpen
{
    std::string mOpened;
    std::string mProgram;
    int mStatus = 0;
    std::string mLastLine;
};
// Reaps the programs ShellOpen started that have ended since the last call, so that none is left
// a zombie, and answers those that failed, each once; reads what they wrote meanwhile. Never
// blocks: the game calls it as it idles.
std::vector<FailedOpen> TakeFailedOpens();

// Starts a program (looked up on PATH) with these arguments (argv[0] first) and extra "NAME=value"
// environment entries; -1 on failure.
int SpawnProcess(const std::vector<std::string>& argv, const std::vector<std::string>& extraEnv);
// Starts a program (looked up on PATH) with these arguments (argv[0] first), inheriting the
// environment and folder, and does not wait for it: children that have ended since the previous
// call are reaped here, so none is left a zombie. Answers 0, or the errno of the failed start.
int StartDetachedProcess(const std::vector<std::string>& argv);
// Waits for the child; true with its exit code (128 + signal when a signal ended it) when it ended
// within the time.
bool WaitProcess(int pid, uint32_t timeoutMs, int& exitCode);
// Asks the child to end (SIGTERM), or with `kill` ends it (SIGKILL).
void SignalProcess(int pid, bool kill);
// Whether a process of that id runs (of any user); false when none does.
bool ProcessRunning(int pid);

// Ends the process at once with the code (-1 shows as 255), without running exit handlers: like
// the platform's process exit, nothing of the half-built program is torn down.
[[noreturn]] void ExitProcess(int exitCode);

// The value of an environment variable, empty when unset.
std::string GetEnvironmentVariable(const char* name);
// One line on standard error, for what the player must read in the terminal.
void PrintNotice(const std::string& line);

} // namespace sys
