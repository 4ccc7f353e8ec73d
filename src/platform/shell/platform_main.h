// PlatformMain: the one function the game's entry calls. It reads the command line, builds the
// application, its window and managers, runs the game's main function and tears everything down.
#pragma once

#include "platform/shell/application.h"

// The test harness's hook in "qmHarness.dll": given the address of the command-line pointer (it may
// point it at another command line), it answers the harness window (0 for none).
using TTestHookFn = uintptr_t (*)(char** commandLine);

// The exit status of a run that ran out of memory (an allocation failed where nothing could do
// without it): the log and standard error say so.
constexpr int kOutOfMemoryStatus = 3;

// Never returns early except by ending the process: code -1 for a host window that is not a window,
// 0 for a second instance.
void PlatformMain(void* instance, void* previousInstance, const char* commandLine, int showCommand,
                  TGameMainFn gameMain, bool allowMultiple);

// The "options=" pairs of a command line, stored with SetConfig.
void StoreCommandLineOptions(const TCommandLine& commandLine);

// Said at the start (log and standard error), as a data folder that cannot be written is: a save
// lock of "prefs.dat" or "hiscore.dat" in `folder` that cannot be had (nor its stand-in) puts every
// save of its file off for good; a stand-in only its age will free puts them off until then. One
// held by another copy that can be asked will be had.
void WarnIfSavesCannotBeLocked(const TString& folder);

// The runtime generator's start-up seed for a tick count: (ticks * 8627) mod 104729, wrapping.
uint32_t StartupSeed(uint32_t ticks);
