// The test host of whole-program runs: every window handle but 0 is a live 800 x 600 host window
// until it is told the windows are gone, and every message becomes one line of its log.
#include "support/files.h"
#include "sys/window/host.h"

#include <gtest/gtest.h>

#include <string>

namespace
{

TEST(LogHostTest, MessagesBecomeLinesUntilTheWindowsGo)
{
    testsupport::ScratchFolder scratch{"mw_host"};
    const std::string path = (scratch / "host.log").string();
    sys::LogHost host;
    ASSERT_TRUE(host.Open(path));
    int width = 0;
    int height = 0;
    EXPECT_FALSE(host.IsWindow(0));
    EXPECT_TRUE(host.IsWindow(0x4ab0));
    EXPECT_TRUE(host.IsForeground(0x77));
    ASSERT_TRUE(host.GetClientSize(0x4ab0, width, height));
    EXPECT_EQ(800, width);
    EXPECT_EQ(600, height);
    EXPECT_TRUE(host.PostMessage(0x4ab0, 1024, 0x656d6147, 0x64616552));
    EXPECT_EQ(1, host.SendMessage(0x4ab0, 1024, 1, -1));
    EXPECT_FALSE(host.PostMessage(0, 1024, 1, 2));
    // Written at once: a run that is killed still leaves what it posted.
    EXPECT_EQ("post 4ab0 400 656d6147 64616552\nsend 4ab0 400 1 ffffffffffffffff\n",
              testsupport::ReadFile(path));
    host.EndWindows();
    EXPECT_FALSE(host.IsWindow(0x4ab0));
    EXPECT_FALSE(host.PostMessage(0x4ab0, 1024, 1, 2));
    EXPECT_FALSE(host.GetClientSize(0x4ab0, width, height));
    EXPECT_EQ(2, host.SendMessage(0x4ab0, 1024, 1, 2) + 2);

    sys::LogHost unwritable;
    EXPECT_FALSE(unwritable.Open((scratch / "missing" / "host.log").string()));
}

} // namespace
