// TMetricsRecorder: the metrics handler's memory of plain game states (latest values and a timer
// each), the play-time clock carried across runs in "time.dat", and the writer of record lines to
// the metrics file, which ends every run with a summary of the machine.
#pragma once

#include "platform/strings/tstring.h"

#include <cstdint>
#include <ctime>
#include <map>
#include <string>
#include <vector>

class TStatusBlock;

// State names in the recorder's maps are ordered as the store orders them; texts the store hands
// over are looked up without being copied first.
struct TStateNameLess
{
    using is_transparent = void;
    bool operator()(const TString& a, const TString& b) const { return a < b; }
    bool operator()(const TString& a, const char* b) const;
    bool operator()(const char* a, const TString& b) const;
};

class TMetricsRecorder
{
public:
    TMetricsRecorder();
    // Writes the machine summary (its last records) first.
    ~TMetricsRecorder();
    TMetricsRecorder(const TMetricsRecorder&) = delete;
    TMetricsRecorder& operator=(const TMetricsRecorder&) = delete;

    // The user's folder (a native path): the metrics and time files go there. When the machine
    // report is missing from the user's folder it is written now, so even a first run's summary
    // has it. An empty folder counts as none.
    void SetUserDataDir(const TString& folder);
    // A file name below the folder ("/" put in front when missing). A name with a ".." component
    // is refused (logged) and the previous name kept.
    void SetOutputFile(const TString& name);
    // Reads the play time of earlier sessions from the time file; a missing file changes nothing
    // and a short one only the bytes it holds.
    void LoadTime();
    // Writes the total play time to the time file.
    void SaveTime() const;
    // Milliseconds of platform time since the recorder was made (host pauses left out).
    uint32_t GetSessionTime() const;
    uint32_t GetTotalTime() const;
    uint32_t GetAccumulatedTime() const { return mAccumulatedTime; }

    // The timer rule: "elapsed-time<sep>NAME" sets NAME's timer; "0" stops a running timer, a
    // value starting "restart" restarts it, any other value starts a stopped one.
    void UpdateTimer(const char* key, const char* value);
    void SetLatestValue(const char* key, const char* value);
    // "elapsed-time<sep>NAME" answers NAME's timer as "%12d"; any other key answers `value`. The
    // answer stays valid until the next call.
    const char* FilterGetState(const char* key, const char* value);

    // The latest value of a state ("" when never recorded) and its timer in milliseconds (a
    // running timer up to now; 0 when there is none).
    TString GetLatestValue(const TString& key) const;
    int32_t GetTimerValue(const TString& key) const;
    // How many latest values and timers are kept.
    size_t GetStateCount() const { return mValues.size() + mTimers.size(); }

    // Appends one record to the metrics file; lost, without a word, when there is no output path
    // or the file does not open.
    void WriteLine(const TString& tag, const std::vector<TString>& fields) const;
    // The block as one record under its name.
    void WriteBlock(const TStatusBlock& block) const;
    // The "DxInfo", "DxDiagNames" and "DxDiag" records.
    void WriteHardwareSummary() const;

    const TString& GetFolder() const { return mFolder; }
    const TString& GetOutputPath() const { return mOutputPath; }
    const TString& GetTimePath() const { return mTimePath; }

private:
    void UpdatePaths();
    int32_t& Timer(const char* key);

    std::map<TString, TString, TStateNameLess> mValues;
    std::map<TString, int32_t, TStateNameLess> mTimers;
    uint32_t mStartTime = 0;
    uint32_t mAccumulatedTime = 0;
    TString mFolder;
    TString mFileName = "/metrics.txt";
    TString mOutputPath;
    TString mTimePath;
    TString mAnswer;
};

// The local time as its 24-character form: "Www Mmm DD hh:mm:ss YYYY", English names, the day
// zero-padded.
std::string FormatMetricsTime(const std::tm& local);
// One whole record line: the tag, the time stamp line and the fields by the quoting rules.
std::string MakeMetricsLine(const TString& tag, const std::string& timeText,
                            const std::vector<TString>& fields);
