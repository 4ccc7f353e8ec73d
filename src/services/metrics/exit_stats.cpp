// Posting "user:metrics.txt" with the game's identity when the program ends.
#include "services/metrics/exit_stats.h"

#include "platform/config/config.h"
#include "platform/files/file_layer.h"
#include "platform/log.h"
#include "services/simple_http.h"
#include "sys/clock.h"
#include "sys/files/paths.h"

#include <cstdio>
#include <string>
#include <vector>

namespace
{

constexpr size_t kMaxMetricsBytes = 65536;
constexpr unsigned kPollMs = 50;

// Posts the text and waits for the answer; true when the server accepted it.
bool PostMetricsText(const char* text)
{
    TSimpleHttp http;
    TString url = TString::Format("http://%s/servlet/exitStats",
                                  GetConfig("site", kDefaultConfigSite).c_str());
    http.Open(url.c_str(), true, nullptr);
    http.AddParameter("game", GetConfig("qmgamehandle").c_str());
    http.AddParameter("game_version", GetConfig("version").c_str());
    http.AddParameter("game_variant", "windows");
    http.AddParameter("guid", GetConfig("computerid").c_str());
    http.AddParameter("game_data", text);
    http.Send(TSimpleHttp::kHttpNoCacheWrite);

    // A server that never answers must not hold the program's exit: after the limit the request is
    // abandoned (the client's destructor cancels it) and the file waits for the next run.
    uint32_t start = sys::GetTimeMs();
    while (http.GetStatus() == TSimpleHttp::kHttpRunning)
    {
        if (sys::GetTimeMs() - start >= kExitStatsWaitMs)
            return false;
        sys::SleepMs(kPollMs);
    }
    // An error page also ends the request normally; only an accepting answer lets the file go.
    int code = http.GetResponseCode();
    return http.GetStatus() == TSimpleHttp::kHttpFinished && code >= 200 && code <= 299;
}

} // namespace

bool PostExitStats()
{
    if (!IsEnabled("postmetrics"))
        return false;

    std::vector<char> text(kMaxMetricsBytes + 1, '\0');
    size_t length = 0;
    if (FileExists("user:metrics.txt"))
    {
        // Only the regular file the recorder wrote at that name: a link put there would have its
        // target posted.
        const TString path = ResolvePath("user:metrics.txt", false);
        std::string reason;
        bool refused = false;
        std::FILE* file = sys::OpenRegularFileAtName(path.c_str(), false, reason, refused);
        if (file == nullptr)
        {
            Log("Metrics: %s was not posted: %s", path.c_str(), reason.c_str());
            return false;
        }
        length = std::fread(text.data(), 1, kMaxMetricsBytes, file);
        std::fclose(file);
    }
    if (length == 0)
        return false;
    text[length] = '\0';

    // The client joins its worker when it goes, so no transfer is still tearing down while the
    // program's own teardown runs.
    bool accepted = PostMetricsText(text.data());
    if (!accepted)
        return false;
    return DeleteFile("user:metrics.txt");
}
