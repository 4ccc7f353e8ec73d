// TCommandLine: the program's command line, read once at start-up into the options the platform
// asks about, and the joining of an entry point's arguments into that one line.
#pragma once

#include "platform/strings/tstring.h"

#include <cstdint>
#include <utility>
#include <vector>

// Each option is found by a plain, case-sensitive substring test on the whole line, so a marker
// counts wherever it appears, even inside another word ("-wnd=" inside "x-wnd=1").
class TCommandLine
{
public:
    TCommandLine() = default;
    explicit TCommandLine(const TString& line);
    explicit TCommandLine(const char* line) : TCommandLine(TString(line)) {}

    // The arguments an entry point receives, as one line (argv[0] left out); a value with blanks is
    // quoted behind its "-x=" marker, any other argument with blanks as a whole.
    static TString Join(int argc, char** argv);

    const TString& GetText() const { return mText; }

    bool mHostPage = false;        // "-pq=": the game runs inside a host page
    bool mHostWindowGiven = false; // "-wnd=<hex>": the host's window
    uint32_t mHostWindow = 0;      // 0 when the value does not read as hexadecimal
    TString mHostWindowText;       // the value as given, up to a blank
    bool mMultiple = false;        // "--multiple": no single-instance lock
    bool mMsn = false;             // "-msn", "-zylom", "-aol": the portal that started the game
    bool mZylom = false;
    bool mAol = false;
    bool mActiveXTest = false; // "--axtest": the main window plays the host
    bool mStringTest = false;  // "--stringtest"
    bool mCheat = false;       // "--cheat": the code starts 8 characters after the marker's start
    TString mCheatCode;        // and ends at the first blank
    bool mDownloadUrlGiven = false; // "-url=<text up to a blank>"
    TString mDownloadUrl;
    TString mHostProgram;             // "-host=<word>": the browser a hosted game opens pages with;
                                      // empty when absent or without a word
    bool mWorkingFolderGiven = false; // "-wd=": quoted up to the closing quote, else up to a blank
    TString mWorkingFolder;
    // "options=k=v&k2=v2": each value ends at the next "&" or blank, whichever comes first; the
    // pairs go on behind a blank until a rest begins with a blank or has no "=".
    std::vector<std::pair<TString, TString>> mOptions;

private:
    TString mText;
};
