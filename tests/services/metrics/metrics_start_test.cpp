// The metrics handler start-up installs: PlatformMain with the services' real link, over a game
// folder whose settings enable "glintview", "postmetrics" or both.
#include "support/environment.h"
#include "support/files.h"
#include "support/loopback_server.h"
#include "support/shell_fixture.h"

#include "platform/config/config.h"
#include "platform/log.h"
#include "platform/shell/platform_main.h"
#include "services/game_state/game_state.h"
#include "services/metrics/metrics_handler.h"
#include "services/host/platform_link.h"

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace
{

// The metrics handlers in the store's list while the game ran: "glintview", "postmetrics" or
// "other" for each.
std::vector<std::string> gHandlers;

int RecordHandlers(TApplication* /*application*/, const char* /*commandLine*/)
{
    for (size_t i = 0; const TGameStateHandler* handler = TGameState::GetHandler(i); ++i)
    {
        if (dynamic_cast<const TPostMetricsHandler*>(handler) != nullptr)
            gHandlers.push_back("postmetrics");
        else if (dynamic_cast<const TGlintviewHandler*>(handler) != nullptr)
            gHandlers.push_back("glintview");
        else
            gHandlers.push_back("other");
    }
    TGameState::Instance()->SetState("begin-status", "started");
    TGameState::Instance()->SetState("end-", "");
    return 0;
}

class MetricsStartTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        fs::create_directories(mRoot / "run");
        Env("XDG_DATA_HOME", (mRoot / "data").string());
        Env("XDG_RUNTIME_DIR", (mRoot / "run").string());
        Env("HOME", mRoot.string());
        mOldFolder = sys::GetCurrentFolder();
        sys::SetManualClock(true, 5000);
        sys::FlushInput();
        ResetEventPumpState();
        shelltest::InstallFakes(mFakeServices);
        LinkServicesToPlatform();
        ClearConfig();
        SetConfig("gamename", "Murkwell");
        SetConfig("publisher", "Tovrix");
        SetConfig("encryptionkey", "MwTestKey012");
        gHandlers.clear();
    }
    void TearDown() override
    {
        SetLogFolder(nullptr);
        sys::FlushInput();
        UnlinkServicesFromPlatform();
        shelltest::UninstallFakes();
        ClearConfig();
        ClearPathMap();
        sys::SetManualClock(false);
        sys::SetCurrentFolder(mOldFolder);
        while (!mEnv.empty())
            mEnv.pop_back();
    }

    void Env(const std::string& name, const std::string& value)
    {
        mEnv.push_back(std::make_unique<testsupport::EnvironmentGuard>(name, value));
    }

    // Runs the game with these settings; the exit statistics go to the port given, by default one
    // nobody listens on.
    void Run(const std::string& settings, int port = 1)
    {
        testsupport::WriteFile(mRoot / "game/assets/settings.xml",
                               "<?xml version=\"1.0\"?>\n<settings>\n" + settings +
                                   "</settings>\n");
        std::string line = "--multiple -wd=" + (mRoot / "game").string() +
                           " options=site=127.0.0.1:" + std::to_string(port);
        PlatformMain(nullptr, nullptr, line.c_str(), 1, &RecordHandlers, false);
    }

    std::string Metrics() const
    {
        return testsupport::ReadFile(mRoot / "data/Tovrix/Murkwell/metrics.txt");
    }

    testsupport::ScratchFolder mScratch{"mw_metrics_start"};
    fs::path mRoot = mScratch.Path();
    std::string mOldFolder;
    shelltest::FakeServices mFakeServices;
    std::vector<std::unique_ptr<testsupport::EnvironmentGuard>> mEnv;
};

} // namespace

TEST_F(MetricsStartTest, GlintviewWinsOverPostMetrics)
{
    Run("<glintview>1</glintview><postmetrics>1</postmetrics>");
    EXPECT_EQ(gHandlers, std::vector<std::string>{"glintview"});
    std::string metrics = Metrics();
    EXPECT_EQ(metrics.rfind("started,The current date/time is: ", 0), 0u) << metrics;
    EXPECT_NE(metrics.find("\r\nDxInfo,"), std::string::npos);
    EXPECT_EQ(metrics.find("DxInfo,"), metrics.rfind("DxInfo,")) << "one summary";
}

TEST_F(MetricsStartTest, PostMetricsAloneInstallsItsHandlerAndKeepsTheFileWhenThePostFails)
{
    Run("<postmetrics>1</postmetrics>");
    EXPECT_EQ(gHandlers, std::vector<std::string>{"postmetrics"});
    EXPECT_NE(Metrics().find("\r\nDxDiag,"), std::string::npos);
}

TEST_F(MetricsStartTest, NeitherSettingInstallsNoHandler)
{
    Run("");
    EXPECT_TRUE(gHandlers.empty());
    EXPECT_FALSE(fs::exists(mRoot / "data/Tovrix/Murkwell/metrics.txt"));
    EXPECT_FALSE(fs::exists(mRoot / "data/Tovrix/Murkwell/dxdiag.xml"));
}

TEST_F(MetricsStartTest, PostMetricsSendsTheRecordsAtExitAndTheAcceptedFileGoes)
{
    // The post waits for its worker in real time.
    sys::SetManualClock(false);
    httptest::LoopbackServer server(200, "thanks");
    Run("<postmetrics>1</postmetrics>", server.Port());
    EXPECT_EQ(gHandlers, std::vector<std::string>{"postmetrics"});
    std::vector<httptest::Request> requests = server.Requests();
    ASSERT_EQ(requests.size(), 1u);
    std::string body = requests[0].mBody;
    size_t data = body.find("&game_data=started%2CThe%20current%20date%2Ftime%20is%3A%20");
    EXPECT_NE(data, std::string::npos) << body;
    EXPECT_NE(body.find("\r\nDxInfo%2C", data), std::string::npos);
    EXPECT_NE(body.find("\r\nDxDiag%2C", data), std::string::npos);
    EXPECT_FALSE(fs::exists(mRoot / "data/Tovrix/Murkwell/metrics.txt"));
}
