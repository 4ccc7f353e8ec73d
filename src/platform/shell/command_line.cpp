// The command line's parse: each option by its substring marker, as the platform has always read
// them, and the joining of arguments into one line.
#include "platform/shell/command_line.h"

#include <cstdio>
#include <string>

namespace
{
// The value behind a marker, up to the first blank or the end.
TString ValueUpToBlank(const TString& line, int start)
{
    int end = line.FindChar(' ', 0, start);
    return line.Substr(start, end < 0 ? -1 : end - start);
}

void ReadOptionPairs(const TString& line, std::vector<std::pair<TString, TString>>& pairs)
{
    int at = line.Find("options=");
    if (at < 0)
        return;
    std::string rest = line.c_str() + at + 8;
    while (!rest.empty() && rest[0] != ' ')
    {
        size_t eq = rest.find('=');
        if (eq == std::string::npos)
            break;
        std::string key = rest.substr(0, eq);
        std::string after = rest.substr(eq + 1);
        // A value ends with its own argument: an "&" in a later one (a web address) is that
        // argument's.
        size_t separator = after.find_first_of("& ");
        if (separator == std::string::npos)
        {
            pairs.emplace_back(key.c_str(), after.c_str());
            break;
        }
        pairs.emplace_back(key.c_str(), after.substr(0, separator).c_str());
        rest = after.substr(separator + 1);
    }
}
} // namespace

TCommandLine::TCommandLine(const TString& line) : mText(line)
{
    mHostPage = line.Find("-pq=") >= 0;
    mMultiple = line.Find("--multiple") >= 0;
    mMsn = line.Find("-msn") >= 0;
    mZylom = line.Find("-zylom") >= 0;
    mAol = line.Find("-aol") >= 0;
    mActiveXTest = line.Find("--axtest") >= 0;
    mStringTest = line.Find("--stringtest") >= 0;

    int at = line.Find("-wnd=");
    mHostWindowGiven = at >= 0;
    if (mHostWindowGiven)
    {
        unsigned host = 0;
        std::sscanf(line.c_str() + at + 5, "%x", &host);
        mHostWindow = host;
        mHostWindowText = ValueUpToBlank(line, at + 5);
    }

    at = line.Find("--cheat");
    mCheat = at >= 0;
    if (mCheat && at + 8 < line.Length())
        mCheatCode = ValueUpToBlank(line, at + 8);

    at = line.Find("-url=");
    mDownloadUrlGiven = at >= 0;
    if (mDownloadUrlGiven)
        mDownloadUrl = ValueUpToBlank(line, at + 5);

    at = line.Find("-host=");
    if (at >= 0)
    {
        // One word of at most 259 bytes, leading blanks skipped.
        char word[260] = {};
        if (std::sscanf(line.c_str() + at + 6, "%259s", word) == 1)
            mHostProgram = word;
    }

    at = line.Find("-wd=");
    mWorkingFolderGiven = at >= 0;
    if (mWorkingFolderGiven)
    {
        int start = at + 4;
        if (line.CharAt(start) == '"')
        {
            int end = line.FindChar('"', 0, start + 1);
            mWorkingFolder = line.Substr(start + 1, end < 0 ? -1 : end - start - 1);
        }
        else
            mWorkingFolder = ValueUpToBlank(line, start);
    }

    ReadOptionPairs(line, mOptions);
}

TString TCommandLine::Join(int argc, char** argv)
{
    std::string line;
    for (int i = 1; i < argc; ++i)
    {
        std::string arg = argv[i] ? argv[i] : "";
        if (!line.empty())
            line += ' ';
        // A value with blanks is quoted behind its marker ("-wd=" reads the quoted form).
        size_t eq = arg.find('=');
        if (arg.find(' ') != std::string::npos && eq != std::string::npos && arg[0] == '-')
            line += arg.substr(0, eq + 1) + '"' + arg.substr(eq + 1) + '"';
        else if (arg.find(' ') != std::string::npos)
            line += '"' + arg + '"';
        else
            line += arg;
    }
    return TString(line.c_str());
}
