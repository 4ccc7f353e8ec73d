// The log file: one line per call, opened and closed each time, wrapping back to 50 kB past 100 kB.
#include "platform/log.h"

#include "sys/files/paths.h"
#include "sys/process/process.h"

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
// names, a script's source, a document's values): a line break among them would start a line
// that reads as the log's own, and other control characters would move a terminal's cursor. So
// every control character is written as an escape ("\n", "\r", or "\x1b" and the like), except a
// tab, and a line break that ends the message or is followed by a blank (a space or a tab): that
// starts an indented continuation line, which no log line (it starts with its time stamp) can be
// taken for, as script errors ("...\n\twhen running") and the display's blocks write them.
std::string Escaped(const char* message)
{
    std::string shown;
    for (const char* p = message; *p != 0; ++p)
    {
        const unsigned char c = static_cast<unsigned char>(*p);
        const bool kept = c == '\t' || (c == '\n' && (p[1] == 0 || p[1] == '\t' || p[1] == ' '));
        if ((c >= 0x20 && c != 0x7F) || kept)
        {
            shown += *p;
            continue;
        }
        char escape[8];
        if (c == '\n')
            std::snprintf(escape, sizeof escape, "\\n");
        else if (c == '\r')
            std::snprintf(escape, sizeof escape, "\\r");
        else
            std::snprintf(escape, sizeof escape, "\\x%02x", c);
        shown += escape;
    }
    return shown;
}
} // namespace

void SetLogFolder(const char* folder)
{
    const std::string path = folder != nullptr ? std::string(folder) + "/logfile.txt" : "";
    std::lock_guard<std::mutex> lock(gLogMutex);
    gLogPath = path;
    if (folder == nullptr)
        return;
    sys::MakeFolder(folder);
    sys::RemoveFile(gLogPath);
    gWriteOffset = 0;
    gFailureSaid = false;
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
// place) must not leave a failure said nowhere: its error lines go to standard error, after one
// line that says why.
void SayUnwritten(const std::string& message, const std::string& reason)
{
    if (!gFailureSaid)
    {
        gFailureSaid = true;
        sys::PrintNotice("ERROR: The log '" + Escaped(gLogPath.c_str()) + "' cannot be written (" +
                         reason + "): its error lines go to standard error.");
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

// Logs the message as the log shows it (Escaped); false when the line did not reach the log (its
// error lines then went to standard error). `shown` receives the message as shown.
bool LogMessage(const char* message, std::string* shown = nullptr)
{
    std::string text = Escaped(message);
    // Built whole before the lock: the time stamp's own text must not meet the string's limit
    // under it.
    const std::string line = TimeStamp() + ": " + text + "\n";
    if (shown != nullptr)
        *shown = text;
    std::lock_guard<std::mutex> lock(gLogMutex);
    if (gLogPath.empty())
        return true;
    std::string reason;
    if (WriteLine(line, reason))
        return true;
    SayUnwritten(text, reason);
    return false;
}
} // namespace

void LogV(const char* format, va_list args)
{
    LogMessage(TString::FormatV(format, args).c_str());
}

void LogAndSay(const char* line)
{
    // An error line the log could not take is on standard error already.
    std::string shown;
    if (LogMessage(line, &shown) || std::strncmp(line, "ERROR", 5) != 0)
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
