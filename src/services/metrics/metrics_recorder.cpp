// The metrics recorder: state timers, the play-time file and the record lines of the metrics file.
#include "services/metrics/metrics_recorder.h"

#include "platform/files/file_layer.h"
#include "platform/log.h"
#include "platform/shell/task.h"
#include "services/metrics/metrics_values.h"
#include "sys/display/device_caps.h"
#include "sys/process/machine_report.h"
#include "sys/files/paths.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace
{

constexpr const char* kElapsedTimePrefix = "elapsed-time";
constexpr int kElapsedTimePrefixLength = 12;
constexpr const char* kTimeStampText = "The current date/time is: ";

// The state a key "elapsed-time<sep>NAME" names; a key too short to hold a name names "".
const char* ElapsedTimeName(const char* key)
{
    size_t length = std::strlen(key);
    return length > kElapsedTimePrefixLength + 1 ? key + kElapsedTimePrefixLength + 1 : "";
}

bool IsElapsedTimeKey(const char* key)
{
    return std::strncmp(key, kElapsedTimePrefix, kElapsedTimePrefixLength) == 0;
}

// Timers are signed 32-bit and wrap with the platform clock, so the sums go through unsigned.
int32_t AddTime(int32_t timer, uint32_t now)
{
    return static_cast<int32_t>(static_cast<uint32_t>(timer) + now);
}

int32_t SubtractTime(int32_t timer, uint32_t now)
{
    return static_cast<int32_t>(static_cast<uint32_t>(timer) - now);
}

// Script data is joined to a native path: only names that stay below the folder are taken. (A
// NUL never gets here: state texts end at their first NUL.)
bool IsSafeFileName(const TString& name)
{
    const char* text = name.c_str();
    while (*text != '\0')
    {
        size_t length = std::strcspn(text, "/\\");
        if (length == 2 && text[0] == '.' && text[1] == '.')
            return false;
        text += length;
        if (*text != '\0')
            ++text;
    }
    return true;
}

void AppendField(std::string& line, const TString& field)
{
    const char* text = field.c_str();
    bool quoted = text[0] < '0' || text[0] > '9' || std::strchr(text, ',') != nullptr;
    line += ',';
    if (quoted)
        line += '"';
    for (const char* c = text; *c != '\0'; ++c)
    {
        if (*c == '"')
            line += '"';
        line += *c;
    }
    if (quoted)
        line += '"';
}

} // namespace

std::string FormatMetricsTime(const std::tm& local)
{
    static const char* const kDays[7] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
    static const char* const kMonths[12] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                            "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    const char* day = local.tm_wday >= 0 && local.tm_wday < 7 ? kDays[local.tm_wday] : "???";
    const char* month = local.tm_mon >= 0 && local.tm_mon < 12 ? kMonths[local.tm_mon] : "???";
    char text[64];
    std::snprintf(text, sizeof text, "%s %s %02d %02d:%02d:%02d %d", day, month, local.tm_mday,
                  local.tm_hour, local.tm_min, local.tm_sec, local.tm_year + 1900);
    return text;
}

std::string MakeMetricsLine(const TString& tag, const std::string& timeText,
                            const std::vector<TString>& fields)
{
    std::string line;
    size_t size = static_cast<size_t>(tag.Length()) + timeText.size() + 32;
    for (const TString& field : fields)
        size += static_cast<size_t>(field.Length()) + 4;
    line.reserve(size);
    line += tag.c_str();
    line += ',';
    line += kTimeStampText;
    line += timeText;
    line += '\n';
    for (const TString& field : fields)
        AppendField(line, field);
    line += "\r\n";
    return line;
}

bool TStateNameLess::operator()(const TString& a, const char* b) const
{
    return CompareStrings(a.c_str(), b) < 0;
}

bool TStateNameLess::operator()(const char* a, const TString& b) const
{
    return CompareStrings(a, b.c_str()) < 0;
}

TMetricsRecorder::TMetricsRecorder() : mStartTime(GetPlatformTime()) {}

TMetricsRecorder::~TMetricsRecorder()
{
    WriteHardwareSummary();
}

void TMetricsRecorder::UpdatePaths()
{
    // Until a folder is known there is no output path: a bare name would be a file at the root.
    mOutputPath = mFolder.Length() > 0 ? mFolder + mFileName : TString();
    mTimePath = mFolder.Length() > 0 ? mFolder + "/time.dat" : TString();
}

void TMetricsRecorder::SetUserDataDir(const TString& folder)
{
    mFolder = folder;
    UpdatePaths();
    if (mFolder.Length() == 0 || FileExists("user:dxdiag.xml"))
        return;
    sys::MachineReportExtras extras;
    extras.mVideoMemoryBytes = sys::display::GetDisplayConfig().mVideoMemory;
    TString path = mFolder + "/dxdiag.xml";
    if (!sys::WriteMachineReport(path.c_str(), extras))
        Log("Metrics: the machine report could not be written to %s", path.c_str());
}

void TMetricsRecorder::SetOutputFile(const TString& name)
{
    if (!IsSafeFileName(name))
    {
        Log("Metrics: output file name refused (it must stay in the user folder): %s",
            name.c_str());
        return;
    }
    mFileName = name.CharAt(0) == '/' ? name : TString("/") + name;
    UpdatePaths();
}

void TMetricsRecorder::LoadTime()
{
    if (mTimePath.Length() == 0)
        return;
    // A FIFO here would hold the start until a writer came: only a regular file is read.
    std::string reason;
    bool refused = false;
    FILE* file = sys::OpenRegularFile(mTimePath.c_str(), false, reason, refused);
    if (file == nullptr)
    {
        if (refused)
            Log("Metrics: the play time file %s was not read: %s", mTimePath.c_str(),
                reason.c_str());
        return;
    }
    unsigned char bytes[4];
    size_t count = std::fread(bytes, 1, sizeof bytes, file);
    std::fclose(file);
    // Little-endian on every machine; a short file replaces only the bytes it holds.
    for (size_t i = 0; i < count; ++i)
    {
        uint32_t shift = static_cast<uint32_t>(i) * 8;
        mAccumulatedTime =
            (mAccumulatedTime & ~(0xFFu << shift)) | (static_cast<uint32_t>(bytes[i]) << shift);
    }
}

void TMetricsRecorder::SaveTime() const
{
    if (mTimePath.Length() == 0)
        return;
    // Written beside it and renamed over it: a cut write never replaces the time, and whatever
    // was at the name (a FIFO would hold the end of the game) is replaced, not opened.
    uint32_t total = GetTotalTime();
    unsigned char bytes[4] = {
        static_cast<unsigned char>(total), static_cast<unsigned char>(total >> 8),
        static_cast<unsigned char>(total >> 16), static_cast<unsigned char>(total >> 24)};
    std::string reason;
    if (!sys::ReplaceFileWith(mTimePath.c_str(), bytes, sizeof bytes, reason))
        Log("Metrics: the play time file %s could not be written: %s", mTimePath.c_str(),
            reason.c_str());
}

uint32_t TMetricsRecorder::GetSessionTime() const
{
    return GetPlatformTime() - mStartTime;
}

uint32_t TMetricsRecorder::GetTotalTime() const
{
    return GetSessionTime() + mAccumulatedTime;
}

int32_t& TMetricsRecorder::Timer(const char* key)
{
    auto found = mTimers.find(key);
    if (found == mTimers.end())
        found = mTimers.emplace(TString(key), 0).first;
    return found->second;
}

void TMetricsRecorder::UpdateTimer(const char* key, const char* value)
{
    if (IsElapsedTimeKey(key))
    {
        Timer(ElapsedTimeName(key)) = std::atoi(value);
        return;
    }
    int32_t& timer = Timer(key);
    if (std::strcmp(value, "0") == 0)
    {
        if (timer < 0)
            timer = AddTime(timer, GetPlatformTime());
    }
    else if (std::strncmp(value, "restart", 7) == 0)
        timer = SubtractTime(0, GetPlatformTime());
    else if (timer >= 0)
        timer = SubtractTime(timer, GetPlatformTime());
}

void TMetricsRecorder::SetLatestValue(const char* key, const char* value)
{
    auto found = mValues.find(key);
    if (found == mValues.end())
        mValues.emplace(TString(key), TString(value));
    else if (std::strcmp(found->second.c_str(), value) != 0)
        found->second = value;
}

const char* TMetricsRecorder::FilterGetState(const char* key, const char* value)
{
    if (!IsElapsedTimeKey(key))
        return value;
    int32_t& timer = Timer(ElapsedTimeName(key));
    int32_t time = timer < 0 ? AddTime(timer, GetPlatformTime()) : timer;
    mAnswer = TString::Format("%12d", time);
    return mAnswer.c_str();
}

TString TMetricsRecorder::GetLatestValue(const TString& key) const
{
    auto found = mValues.find(key);
    return found != mValues.end() ? found->second : TString();
}

int32_t TMetricsRecorder::GetTimerValue(const TString& key) const
{
    auto found = mTimers.find(key);
    if (found == mTimers.end())
        return 0;
    return found->second < 0 ? AddTime(found->second, GetPlatformTime()) : found->second;
}

void TMetricsRecorder::WriteLine(const TString& tag, const std::vector<TString>& fields) const
{
    if (mOutputPath.Length() == 0)
        return;
    std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    std::string line = MakeMetricsLine(tag, FormatMetricsTime(local), fields);
    // One open, one write, one close per record: a record is never half in the file because
    // another part of the program held it open.
    // Only the regular file at the name: the open of a FIFO without a reader would hold the game,
    // and a link put there would have the records (which name the machine) written, and then
    // posted, wherever it points.
    std::string reason;
    bool refused = false;
    FILE* file = sys::OpenRegularFile(mOutputPath.c_str(), true, reason, refused);
    if (file == nullptr)
    {
        if (refused)
            Log("Metrics: the record '%s' was not written to %s: %s", tag.c_str(),
                mOutputPath.c_str(), reason.c_str());
        return;
    }
    std::fwrite(line.data(), 1, line.size(), file);
    std::fclose(file);
}

void TMetricsRecorder::WriteBlock(const TStatusBlock& block) const
{
    if (mOutputPath.Length() == 0)
        return;
    std::vector<TString> fields;
    block.GetValues(*this, fields);
    WriteLine(block.GetName(), fields);
}
