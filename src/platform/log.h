// The platform's log file: time-stamped lines appended to "logfile.txt" in the user-data folder.
#pragma once

#include "platform/strings/tstring.h"

#include <cstdarg>
#include <cstdint>

// Starts the log in `folder` (created when missing, one level), deleting the previous run's file;
// null turns logging off.
void SetLogFolder(const char* folder);

// Appends "<ctime>: <message>\n". Safe to call from any thread. While the file cannot be written,
// lines starting "ERROR" go to standard error instead.
void Log(const char* format, ...) __attribute__((format(printf, 1, 2)));
void LogV(const char* format, va_list args);
// Logs the line and says it on standard error, once whether or not the log can be written.
void LogAndSay(const char* line);

// The log file's path; empty while logging is off.
TString GetLogPath();

// Memory counters shown by the statistics overlay; this platform does not count, so both stay 0.
uint32_t GetMemoryAllocated();
uint32_t GetMaxMemoryAllocated();
