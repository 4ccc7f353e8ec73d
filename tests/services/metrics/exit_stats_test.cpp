// The exit statistics: what is posted where, and when the metrics file is deleted or kept.
#include "platform/config/config.h"
#include "services/metrics/exit_stats.h"
#include "services/http_test_support.h"
#include "sys/clock.h"

#include <sys/stat.h>
#include <unistd.h>

using httptest::HttpTest;
using httptest::LoopbackServer;

namespace
{

class ExitStatsTest : public HttpTest
{
protected:
    void Configure(const LoopbackServer& server)
    {
        SetConfig("postmetrics", "1");
        SetConfig("site", ("127.0.0.1:" + std::to_string(server.Port())).c_str());
        SetConfig("qmgamehandle", "murkwell");
        SetConfig("version", "1.0.0.7");
        SetConfig("computerid", "ABCDEFGHIJKLMNOP");
    }
    bool MetricsKept() const { return sys::PathAccess(mRoot + "/user/metrics.txt", 0); }
};

} // namespace

TEST_F(ExitStatsTest, PostsTheFieldsInOrderAndDeletesTheFileOnSuccess)
{
    LoopbackServer server(200, "thanks");
    Configure(server);
    Write("user/metrics.txt", "Session,\"a b\"&c=d\r\nnext\r\n");
    EXPECT_TRUE(PostExitStats());
    auto requests = server.Requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].mMethod, "POST");
    EXPECT_EQ(requests[0].mTarget, "/servlet/exitStats");
    EXPECT_EQ(requests[0].mHeaders["content-type"], "application/x-www-form-urlencoded");
    EXPECT_EQ(requests[0].mBody, "game=murkwell&game_version=1.0.0.7&game_variant=windows"
                                 "&guid=ABCDEFGHIJKLMNOP"
                                 "&game_data=Session%2C%22a%20b%22%26c%3Dd\r\nnext\r\n");
    EXPECT_FALSE(MetricsKept());
    EXPECT_EQ(TSimpleHttp::GetLiveWorkerCount(), mBaselineWorkers);
}

TEST_F(ExitStatsTest, MissingSettingsGiveEmptyFields)
{
    LoopbackServer server;
    SetConfig("postmetrics", "1");
    SetConfig("site", ("127.0.0.1:" + std::to_string(server.Port())).c_str());
    Write("user/metrics.txt", "x");
    EXPECT_TRUE(PostExitStats());
    ASSERT_EQ(server.RequestCount(), 1u);
    EXPECT_EQ(server.Requests()[0].mBody,
              "game=&game_version=&game_variant=windows&guid=&game_data=x");
}

TEST_F(ExitStatsTest, SendsAtMostTheFirst65536Bytes)
{
    LoopbackServer server;
    Configure(server);
    Write("user/metrics.txt", std::string(65536, 'a') + "tail");
    EXPECT_TRUE(PostExitStats());
    ASSERT_EQ(server.RequestCount(), 1u);
    const std::string body = server.Requests()[0].mBody;
    EXPECT_EQ(body.substr(body.find("&game_data=") + 11), std::string(65536, 'a'));
}

TEST_F(ExitStatsTest, AServerErrorKeepsTheFile)
{
    for (int status : {404, 500})
    {
        LoopbackServer server(status, "no");
        Configure(server);
        Write("user/metrics.txt", "data");
        EXPECT_FALSE(PostExitStats());
        EXPECT_EQ(server.RequestCount(), 1u);
        EXPECT_TRUE(MetricsKept()) << status;
    }
}

TEST_F(ExitStatsTest, AnUnreachableServerKeepsTheFile)
{
    SetConfig("postmetrics", "1");
    SetConfig("site", ("127.0.0.1:" + std::to_string(LoopbackServer::RefusedPort())).c_str());
    Write("user/metrics.txt", "data");
    EXPECT_FALSE(PostExitStats());
    EXPECT_TRUE(MetricsKept());
}

TEST_F(ExitStatsTest, NothingIsSentWithoutMetricsOrWhenDisabled)
{
    LoopbackServer server;
    Configure(server);
    EXPECT_FALSE(PostExitStats());
    Write("user/metrics.txt", "");
    EXPECT_FALSE(PostExitStats());
    Write("user/metrics.txt", "data");
    SetConfig("postmetrics", "0");
    EXPECT_FALSE(PostExitStats());
    EXPECT_EQ(server.RequestCount(), 0u);
    EXPECT_TRUE(MetricsKept());
}

TEST_F(ExitStatsTest, ASilentServerDoesNotHoldTheExit)
{
    LoopbackServer server;
    server.HoldAll();
    Configure(server);
    Write("user/metrics.txt", "data");
    // With the clock under the test's control the wait runs through its limit at once.
    sys::SetManualClock(true, 1000);
    bool sent = PostExitStats();
    uint32_t waited = sys::GetTimeMs() - 1000;
    sys::SetManualClock(false);
    EXPECT_FALSE(sent);
    EXPECT_GE(waited, kExitStatsWaitMs);
    EXPECT_LT(waited, kExitStatsWaitMs + 100);
    EXPECT_TRUE(MetricsKept());
    // The abandoned request has ended before the exit goes on.
    EXPECT_EQ(TSimpleHttp::GetLiveWorkerCount(), mBaselineWorkers);
}

// Only the regular file the recorder wrote is posted: a link put at its name (to another of the
// player's files) is neither read nor sent nor deleted, and the log says why.
TEST_F(ExitStatsTest, ALinkAtTheMetricsFileIsNeitherPostedNorDeleted)
{
    LoopbackServer server(200, "thanks");
    Configure(server);
    Write("secret.txt", "secret");
    ASSERT_EQ(symlink((mRoot + "/secret.txt").c_str(), (mRoot + "/user/metrics.txt").c_str()), 0);
    EXPECT_FALSE(PostExitStats());
    EXPECT_EQ(server.RequestCount(), 0u);
    struct stat st;
    EXPECT_EQ(lstat((mRoot + "/user/metrics.txt").c_str(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode));
    EXPECT_EQ(filetest::ReadBytes(mRoot + "/secret.txt"), "secret");
    EXPECT_NE(
        Log().find(": Metrics: " + mRoot + "/user/metrics.txt was not posted: it is a link\n"),
        std::string::npos)
        << Log();
}
