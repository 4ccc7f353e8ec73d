// The platform's log file: time-stamped lines appended to "logfile.txt" in the user-data folder.
#pragma once

#include "platform/strings/tstring.h"

#include <cstdarg>
#include <cstdint>
#include <vector>

// Starts the log in `folder` (created when missing, one level), deleting the previous run's file;
// null turns logging off. The log is "logfile.txt", or, while other copies of the game log in the
// same folder, the first of "logfile2.txt" to "logfile9.txt" none of them holds (each claimed by
// its "<name>.lock" while its copy runs).
void SetLogFolder(const char* folder);

// Appends "<ctime>: <message>\n". Safe to call from any thread. While the file cannot be written,
// lines starting "ERROR" go to standard error instead. The message's control characters are shown
// as escapes ("\n", "\x1b", "\u{85}"), so no text in it can start a line of its own.
void Log(const char* format, ...) __attribute__((format(printf, 1, 2)));
void LogV(const char* format, va_list args);
// Logs `message` and, each on a line of its own after it, the program's own continuation lines
// (a script error's "when running ..."), escaped as a message is and indented (a tab before one
// that does not start with a blank), so that none reads as a line of the log's own.
void LogLines(const char* message, const std::vector<TString>& continuations);
// Logs the line and says it on standard error, once whether or not the log can be written.
void LogAndSay(const char* line);

// The log file's path; empty while logging is off.
TString GetLogPath();

// Memory counters shown by the statistics overlay; this platform does not count, so both stay 0.
uint32_t GetMemoryAllocated();
uint32_t GetMaxMemoryAllocated();
