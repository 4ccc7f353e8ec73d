// The log file: one line per call, opened and closed each time, wrapping back to 50 kB past 100 kB;
// a log of its own for each copy of the game on one data folder.
#include "platform/log.h"

#include "sys/files/paths.h"
#include "sys/process/process.h"
#include "sys/utf8.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <mutex>
#include <string>

namespace
{
constexpr uint32_t kWrapLimit = 102400;
constexpr uint32_t kWrapOffset = 51200;
const char kWrapBanner[] = "\n\n\n\n ****************** LOG WRAP AROUND ******************\n\n\n\n";

// The HTTP client's worker threads log too, so every line is written under this lock. Nothing done
// under it may log: no TString is made or grown there (a text past the string's limit is refused
// with a log line, which would wait on this lock for ever on the same thread), so the path is kept
// as a standard string and lines are built before the lock is taken.
std::mutex gLogMutex;
std::string gLogPath;
uint32_t gWriteOffset = 0;
// Whether standard error was told that the log cannot be written, once per log.
bool gFailureSaid = false;

// The runtime's ctime form ("Www Mmm dd hh:mm:ss yyyy", 24 characters) of the local time, spelled
// out here so that the locale never changes it.
std::string TimeStamp()
{
    static const char* const kDays[7] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
    static const char* const kMonths[12] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                            "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    std::time_t now = std::time(nullptr);
    std::tm parts{};
    localtime_r(&now, &parts);
    char stamp[64];
    std::snprintf(stamp, sizeof stamp, "%s %s %2d %02d:%02d:%02d %d", kDays[parts.tm_wday % 7],
                  kMonths[parts.tm_mon % 12], parts.tm_mday, parts.tm_hour, parts.tm_min,
                  parts.tm_sec, parts.tm_year + 1900);
    return stamp;
}

// A message as the log shows it. Messages carry names and texts that files supply (a pack's entry
// names, a script's source, a document's values, a profile's name): a line break among them would
// start a line that reads as the log's own, and control characters would move a terminal's cursor.
// So each is written as an escape: C0 controls and DEL as "\n", "\r" or "\x1b" and the like; C1
// controls and the line and paragraph separators, which many readers take as line breaks (U+0085)
// or terminals as the start of a sequence (U+009B), as "\u{85}"; and bytes that are no UTF-8 as
// "\xNN", so no reader takes one for a C1 control either. A tab stays, and so does a line break
// that ends the message; the program's own continuation lines are written by LogLines.
void AppendEscaped(std::string& shown, const char* message)
{
    const size_t length = std::strlen(message);
    size_t i = 0;
    while (i < length)
    {
        // The run of characters shown as they are, appended whole.
        size_t run = i;
        int used = 1;
        uint32_t code = 0;
        for (; run < length; run += static_cast<size_t>(used))
        {
            const unsigned char c = static_cast<unsigned char>(message[run]);
            used = 1;
            if (c >= 0x20 && c < 0x7F)
                continue;
            if (c == '\t' || (c == '\n' && run + 1 == length))
                continue;
            if (c < 0x80)
                break;
            code = sys::ReadUtf8(message + run, length - run, used);
            if (code == sys::kBrokenUtf8 || (code >= 0x80 && code <= 0x9F) || code == 0x2028 ||
                code == 0x2029)
                break;
        }
        shown.append(message + i, run - i);
        if (run == length)
            break;
        const unsigned char c = static_cast<unsigned char>(message[run]);
        char escape[16];
        if (c == '\n')
            std::snprintf(escape, sizeof escape, "\\n");
        else if (c == '\r')
            std::snprintf(escape, sizeof escape, "\\r");
        else if (c < 0x80 || code == sys::kBrokenUtf8)
        {
            // One byte at a time: the next may begin a sequence of its own.
            used = 1;
            std::snprintf(escape, sizeof escape, "\\x%02x", c);
        }
        else
            std::snprintf(escape, sizeof escape, "\\u{%x}", code);
        shown += escape;
        i = run + static_cast<size_t>(used);
    }
}

std::string Escaped(const char* message)
{
    std::string shown;
    AppendEscaped(shown, message);
    return shown;
}

// Copies of the game on one data folder ("--multiple") each keep a log of their own, the first free
// of "logfile.txt", "logfile2.txt" .. "logfile9.txt": each is claimed by its lock file
// ("<name>.lock") for as long as the copy runs, so no start removes a running copy's log and no two
// copies write over each other's lines. A copy alone writes "logfile.txt".
constexpr int kLogSlots = 9;
// The lock file handle of the claimed log; -1 when none is held.
int gSlotLock = -1;
// Set when every log of the folder is another running copy's: this copy then has none.
std::string gNoLogReason;

std::string LogSlotPath(const std::string& folder, int slot)
{
    return folder + (slot == 1 ? "/logfile.txt" : "/logfile" + std::to_string(slot) + ".txt");
}

// Claims the first free log of the folder (under the log's lock). When the first log's lock file
// cannot be made at all (a folder that cannot be written), that log is written unclaimed, as a
// single copy's.
void ClaimLog(const std::string& folder)
{
    bool firstBusy = false;
    for (int slot = 1; slot <= kLogSlots; ++slot)
    {
        const std::string path = LogSlotPath(folder, slot);
        std::string reason;
        bool busy = false;
        gSlotLock = sys::LockFile(path + ".lock", 0, reason, &busy);
        if (gSlotLock >= 0)
        {
            gLogPath = path;
            return;
        }
        firstBusy = firstBusy || (slot == 1 && busy);
    }
    if (!firstBusy)
    {
        gLogPath = LogSlotPath(folder, 1);
        return;
    }
    gNoLogReason = "No log of its own can be had in '" + Escaped(folder.c_str()) +
                   "' (other copies of the game hold logfile.txt to logfile" +
                   std::to_string(kLogSlots) + ".txt)";
}
} // namespace

void SetLogFolder(const char* folder)
{
    std::lock_guard<std::mutex> lock(gLogMutex);
    sys::UnlockFile(gSlotLock);
    gSlotLock = -1;
    gLogPath.clear();
    gNoLogReason.clear();
    gWriteOffset = 0;
    gFailureSaid = false;
    if (folder == nullptr)
        return;
    sys::MakeFolder(folder);
    ClaimLog(folder);
    if (!gLogPath.empty())
        sys::RemoveFile(gLogPath);
}

TString GetLogPath()
{
    std::string path;
    {
        std::lock_guard<std::mutex> lock(gLogMutex);
        path = gLogPath;
    }
    // A private copy, made outside the lock: the caller may hand it to another thread.
    return TString(path.c_str());
}

void Log(const char* format, ...)
{
    va_list args;
    va_start(args, format);
    LogV(format, args);
    va_end(args);
}

namespace
{
// A log that cannot be written (a full disk, a data folder gone read-only, a link put in its
// place, no log free for this copy) must not leave a failure said nowhere: its error lines go to
// standard error, after one line that says why.
void SayUnwritten(const std::string& message, const std::string& why)
{
    if (!gFailureSaid)
    {
        gFailureSaid = true;
        sys::PrintNotice("ERROR: " + why + ": its error lines go to standard error.");
    }
    if (message.starts_with("ERROR"))
        sys::PrintNotice(message);
}

// Writes one line to the log file; false with the reason when it did not reach the file whole.
// The file at the log's name is written, never one a link planted there points to, and never a
// FIFO or a device.
bool WriteLine(const std::string& line, std::string& reason)
{
    bool refused = false;
    std::FILE* file = sys::OpenRegularFileAtName(gLogPath, true, reason, refused);
    if (file == nullptr)
    {
        // A folder in the log's place is said in the system's words, as any failed open is.
        if (errno == EISDIR)
            reason = std::strerror(EISDIR);
        return false;
    }
    if (gWriteOffset <= kWrapLimit)
    {
        std::fseek(file, static_cast<long>(gWriteOffset), SEEK_SET);
    }
    else
    {
        std::fseek(file, static_cast<long>(kWrapOffset), SEEK_SET);
        gWriteOffset = kWrapOffset;
        std::fputs(kWrapBanner, file);
    }
    const bool written = std::fwrite(line.data(), 1, line.size(), file) == line.size();
    long position = std::ftell(file);
    if (position >= 0)
        gWriteOffset = static_cast<uint32_t>(position);
    int error = written ? 0 : errno;
    if (std::fflush(file) != 0 && error == 0)
        error = errno;
    if (std::fclose(file) != 0 && error == 0)
        error = errno;
    if (error == 0 && !written)
        error = EIO;
    if (error != 0)
        reason = std::strerror(error);
    return error == 0;
}

// Logs a text as the log shows it (escaped, with its continuation lines); false when the line did
// not reach the log (its error lines then went to standard error).
bool LogShown(const std::string& text)
{
    // Built whole before the lock: the time stamp's own text must not meet the string's limit
    // under it.
    const std::string line = TimeStamp() + ": " + text + "\n";
    std::lock_guard<std::mutex> lock(gLogMutex);
    if (!gNoLogReason.empty())
    {
        SayUnwritten(text, gNoLogReason);
        return false;
    }
    if (gLogPath.empty())
        return true;
    std::string reason;
    if (WriteLine(line, reason))
        return true;
    SayUnwritten(text,
                 "The log '" + Escaped(gLogPath.c_str()) + "' cannot be written (" + reason + ")");
    return false;
}
} // namespace

void LogV(const char* format, va_list args)
{
    LogShown(Escaped(TString::FormatV(format, args).c_str()));
}

void LogLines(const char* message, const std::vector<TString>& continuations)
{
    std::string text = Escaped(message);
    for (const TString& continuation : continuations)
    {
        // Indented, so that no continuation reads as a line of the log's own.
        text += '\n';
        if (continuation.c_str()[0] != ' ' && continuation.c_str()[0] != '\t')
            text += '\t';
        AppendEscaped(text, continuation.c_str());
    }
    LogShown(text);
}

void LogAndSay(const char* line)
{
    // An error line the log could not take is on standard error already.
    const std::string shown = Escaped(line);
    if (LogShown(shown) || std::strncmp(line, "ERROR", 5) != 0)
        sys::PrintNotice(shown);
}

uint32_t GetMemoryAllocated()
{
    return 0;
}

uint32_t GetMaxMemoryAllocated()
{
    return 0;
}
