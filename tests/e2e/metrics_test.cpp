// End-to-end runs with the metrics settings: the program writes its records, play time and machine
// summary into the data folder ("glintview"), or posts them at exit and lets the accepted file go
// ("postmetrics").
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <regex>
#include <string>
#include <vector>

#include "e2e/program_test_support.h"
#include "support/loopback_server.h"

namespace
{
using namespace e2etest;

// The menu is up after the card and the splash screen; then the window is closed.
constexpr const char* kMenuThenClose = "focus gained\nwait 500\nclose\n";

class MetricsProgramTest : public ScreenProgramTest
{
protected:
    // A copy of the content whose settings hold the metrics setting (read before the options).
    fs::path GameWith(const std::string& setting)
    {
        fs::path game = CopyGame("metricsgame");
        WriteFile(game / "assets/settings.xml",
                  "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<settings>\n"
                  "    <utf8mode>1</utf8mode>\n    <" +
                      setting + ">1</" + setting + ">\n</settings>\n");
        return game;
    }

    fs::path UserFile(const std::string& name) const
    {
        return mRoot / "data/Tovrix/Murkwell" / name;
    }

    // The metrics file's records, each without its time stamp line: "tag" then ",field"s.
    std::vector<std::string> Records() const
    {
        std::string text = ReadFile(UserFile("metrics.txt"));
        std::vector<std::string> records;
        size_t start = 0;
        while (start < text.size())
        {
            size_t end = text.find("\r\n", start);
            if (end == std::string::npos)
                break;
            std::string record = text.substr(start, end - start);
            size_t stamp = record.find(",The current date/time is: ");
            size_t line = record.find('\n');
            if (stamp != std::string::npos && line != std::string::npos)
                record.erase(stamp, line + 1 - stamp);
            records.push_back(record);
            start = end + 2;
        }
        return records;
    }

    // The tags of the metrics file's records, in order.
    std::vector<std::string> Tags() const
    {
        std::vector<std::string> tags;
        for (const std::string& record : Records())
            tags.push_back(record.substr(0, record.find(',')));
        return tags;
    }

    // Runs on the real clock: the exit statistics wait for their worker in clock time, which the
    // fixed step would run through at once.
    int RunOnRealClock(const fs::path& game, const std::string& options)
    {
        const fs::path input = mRoot / ("input" + std::to_string(++mRuns) + ".txt");
        WriteFile(input, "focus gained\nwait 20\nclose\n");
        int pid = Start({"--multiple", "-wd=" + game.string(), "options=" + options},
                        {"MURKWELL_INPUT_SCRIPT=" + input.string()});
        EXPECT_GT(pid, 0);
        return pid > 0 ? WaitForEnd(pid) : -1;
    }

    uint32_t PlayTime() const
    {
        std::string bytes = ReadFile(UserFile("time.dat"));
        EXPECT_EQ(bytes.size(), 4u);
        uint32_t total = 0;
        for (size_t i = 0; i < bytes.size() && i < 4; ++i)
            total |= static_cast<uint32_t>(static_cast<uint8_t>(bytes[i])) << (8 * i);
        return total;
    }
};

TEST_F(MetricsProgramTest, GlintviewWritesTheSummaryAndPlayTimeAndASecondRunAddsItsOwn)
{
    fs::path game = GameWith("glintview");
    RunClean(game, kMenuThenClose, "");
    EXPECT_EQ(Tags(), (std::vector<std::string>{"session", "DxInfo", "DxDiagNames", "DxDiag"}));
    EXPECT_TRUE(fs::exists(UserFile("dxdiag.xml")));
    uint32_t first = PlayTime();
    EXPECT_GT(first, 0u);
    // The version, the time on the menu (shown after the card and the splash screen, about
    // 8 s of the fixed step's time) and no time playing.
    std::vector<std::string> records = Records();
    std::smatch session;
    ASSERT_TRUE(std::regex_match(records[0], session,
                                 std::regex("session,([0-9]+\\.[0-9]+\\.[0-9]+\\.[0-9]+),"
                                            "([0-9]+),0")))
        << records[0];
    uint32_t menu = static_cast<uint32_t>(std::stoul(session[2].str()));
    EXPECT_GT(menu, 0u);
    EXPECT_LT(menu, first);

    RunOk(game, kMenuThenClose, "");
    EXPECT_EQ(Tags(), (std::vector<std::string>{"session", "DxInfo", "DxDiagNames", "DxDiag",
                                                "session", "DxInfo", "DxDiagNames", "DxDiag"}));
    EXPECT_GT(PlayTime(), first);
}

TEST_F(MetricsProgramTest, PostMetricsSendsTheRecordsAtExitAndKeepsThemWhenNobodyListens)
{
    fs::path game = GameWith("postmetrics");
    int refused = httptest::LoopbackServer::RefusedPort();
    EXPECT_EQ(RunOnRealClock(game, "site=127.0.0.1:" + std::to_string(refused)), 0);
    EXPECT_EQ(Tags(), (std::vector<std::string>{"session", "DxInfo", "DxDiagNames", "DxDiag"}));

    httptest::LoopbackServer server(200, "thanks");
    EXPECT_EQ(RunOnRealClock(game, "site=127.0.0.1:" + std::to_string(server.Port())), 0);
    std::vector<httptest::Request> requests = server.Requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].mTarget, "/servlet/exitStats");
    const std::string& body = requests[0].mBody;
    size_t data = body.find("&game_data=session%2CThe%20current%20date%2Ftime%20is%3A%20");
    EXPECT_NE(data, std::string::npos) << body;
    EXPECT_NE(body.find("\r\nsession%2C", data), std::string::npos) << "both runs' records";
    EXPECT_FALSE(fs::exists(UserFile("metrics.txt")));
}

TEST_F(MetricsProgramTest, AStartScreenThatSetsABlockGetsExactlyThatRecord)
{
    fs::path game = GameWith("glintview");
    WriteFile(game / "assets/scripts/dev/metricsblock.lua", "SetState('level', 3)\n"
                                                            "SetState('begin-status', 'blk')\n"
                                                            "SetState('add-state', 'level')\n"
                                                            "SetState('add-value', 'x12')\n"
                                                            "SetState('add-value', 42)\n"
                                                            "SetState('end-status', '')\n");
    RunClean(game, "focus gained\nwait 5\nclose\n", "start=scripts/dev/metricsblock.lua");
    std::vector<std::string> records = Records();
    ASSERT_GE(records.size(), 1u);
    EXPECT_EQ(records[0], "blk,3,\"x12\",42");
}

// The log and the metrics file replaced by links once the menu is up (to files of the player's
// outside the data folder, then dangling): nothing is written through either, no file is made
// where a dangling one points, the metrics file is neither posted nor deleted, the game ends as
// asked and standard error says why the log cannot be written.
TEST_F(MetricsProgramTest, LinksPlantedAtTheLogAndTheMetricsFileWhileTheGameRunsAreNotFollowed)
{
    fs::path game = GameWith("postmetrics");
    httptest::LoopbackServer server(200, "thanks");
    WriteFile(mRoot / "outside/log.txt", "the player's own text\n");
    WriteFile(mRoot / "outside/metrics.txt", "the player's own records\n");
    const fs::path input = mRoot / "input.txt";
    WriteFile(input, "focus gained\n");
    for (const char* target : {"log.txt", "metrics.txt", "nowhere.txt"})
    {
        SCOPED_TRACE(target);
        std::error_code ignored;
        fs::remove(LogFile(), ignored);
        fs::remove(UserFile("metrics.txt"), ignored);
        fs::remove(mRoot / "output.txt", ignored);
        mOutputFile = mRoot / "output.txt";
        mErrorFile = mRoot / "errors.txt";
        const int pid = Start({"--multiple", "-wd=" + game.string(),
                               "options=trace=1&site=127.0.0.1:" + std::to_string(server.Port())},
                              {"MURKWELL_INPUT_SCRIPT=" + input.string()});
        mOutputFile.clear();
        mErrorFile.clear();
        ASSERT_GT(pid, 0);
        const uint32_t start = LoadTimeMs();
        while (ReadFile(mRoot / "output.txt").find("trace: menu") == std::string::npos &&
               LoadTimeMs() - start < kStartLimitMs)
            sys::SleepMs(10);
        ASSERT_NE(ReadFile(mRoot / "output.txt").find("trace: menu"), std::string::npos);
        fs::remove(LogFile());
        fs::create_symlink(mRoot / "outside" / target, LogFile());
        fs::create_symlink(mRoot / "outside" / target, UserFile("metrics.txt"));
        sys::SignalProcess(pid, false);
        EXPECT_EQ(WaitForEnd(pid), 0);

        EXPECT_EQ(ReadFile(mRoot / "outside/log.txt"), "the player's own text\n");
        EXPECT_EQ(ReadFile(mRoot / "outside/metrics.txt"), "the player's own records\n");
        EXPECT_FALSE(fs::exists(mRoot / "outside/nowhere.txt"));
        EXPECT_TRUE(fs::is_symlink(UserFile("metrics.txt")));
        EXPECT_EQ(server.RequestCount(), 0u);
        const std::string errors = ReadFile(mRoot / "errors.txt");
        EXPECT_NE(errors.find("ERROR: The log '" + LogFile().string() +
                              "' cannot be written (it is a link): its error lines go to "
                              "standard error.\n"),
                  std::string::npos)
            << errors;
    }
}

} // namespace
