// The log file: one line per call, opened and closed each time, wrapping back to 50 kB past 100 kB.
#include "platform/log.h"

#include "sys/paths.h"
#include "sys/process.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <mutex>

namespace
{
constexpr uint32_t kWrapLimit = 102400;
constexpr uint32_t kWrapOffset = 51200;
const char kWrapBanner[] = "\n\n\n\n ****************** LOG WRAP AROUND ******************\n\n\n\n";

// The HTTP client's worker threads log too, so every line is written under this lock.
std::mutex gLogMutex;
TString gLogPath;
uint32_t gWriteOffset = 0;
// Whether standard error was told that the log cannot be written, once per log.
bool gFailureSaid = false;

// The runtime's ctime form ("Www Mmm dd hh:mm:ss yyyy", 24 characters) of the local time, spelled
// out here so that the locale never changes it.
TString TimeStamp()
{
    static const char* const kDays[7] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
    static const char* const kMonths[12] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                            "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    std::time_t now = std::time(nullptr);
    std::tm parts{};
    // localtime's static result is only touched under the log lock.
    if (const std::tm* local = std::localtime(&now))
        parts = *local;
    return TString::Format("%s %s %2d %02d:%02d:%02d %d", kDays[parts.tm_wday % 7],
                           kMonths[parts.tm_mon % 12], parts.tm_mday, parts.tm_hour, parts.tm_min,
                           parts.tm_sec, parts.tm_year + 1900);
}
} // namespace

void SetLogFolder(const char* folder)
{
    std::lock_guard<std::mutex> lock(gLogMutex);
    if (folder == nullptr)
    {
        gLogPath = TString();
        return;
    }
    sys::MakeFolder(folder);
    gLogPath = TString(folder) + "/logfile.txt";
    sys::RemoveFile(gLogPath.c_str());
    gWriteOffset = 0;
    gFailureSaid = false;
}

TString GetLogPath()
{
    std::lock_guard<std::mutex> lock(gLogMutex);
    // A private copy: the caller may hand it to another thread.
    return TString(gLogPath.c_str());
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
// A log that cannot be written (a full disk, a data folder gone read-only) must not leave a failure
// said nowhere: its error lines go to standard error, after one line that says why.
void SayUnwritten(const TString& message, int error)
{
    if (!gFailureSaid)
    {
        gFailureSaid = true;
        sys::PrintNotice(TString::Format("ERROR: The log '%s' cannot be written (%s): its error "
                                         "lines go to standard error.",
                                         gLogPath.c_str(), std::strerror(error))
                             .c_str());
    }
    if (std::strncmp(message.c_str(), "ERROR", 5) == 0)
        sys::PrintNotice(message.c_str());
}

// Writes one line to the log file; false with errno set when it did not reach the file whole.
bool WriteLine(const TString& line)
{
    std::FILE* file = std::fopen(gLogPath.c_str(), "r+");
    if (file == nullptr)
        file = std::fopen(gLogPath.c_str(), "w");
    if (file == nullptr)
        return false;
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
    const bool written = std::fwrite(line.c_str(), 1, static_cast<size_t>(line.Length()), file) ==
                         static_cast<size_t>(line.Length());
    long position = std::ftell(file);
    if (position >= 0)
        gWriteOffset = static_cast<uint32_t>(position);
    int error = written ? 0 : errno;
    if (std::fflush(file) != 0 && error == 0)
        error = errno;
    if (std::fclose(file) != 0 && error == 0)
        error = errno;
    errno = error;
    return error == 0 && written;
}

// False when the line did not reach the log (its error lines then went to standard error).
bool LogMessage(const TString& message)
{
    std::lock_guard<std::mutex> lock(gLogMutex);
    if (gLogPath.Length() == 0)
        return true;
    if (WriteLine(TimeStamp() + ": " + message + '\n'))
        return true;
    SayUnwritten(message, errno != 0 ? errno : EIO);
    return false;
}
} // namespace

void LogV(const char* format, va_list args)
{
    LogMessage(TString::FormatV(format, args));
}

void LogAndSay(const char* line)
{
    // An error line the log could not take is on standard error already.
    if (LogMessage(TString(line)) || std::strncmp(line, "ERROR", 5) != 0)
        sys::PrintNotice(line);
}

uint32_t GetMemoryAllocated()
{
    return 0;
}

uint32_t GetMaxMemoryAllocated()
{
    return 0;
}
