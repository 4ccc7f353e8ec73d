// The test modes of whole-program runs: input-script lines and their refusals, the messages a
// script makes one step per empty poll with a tick between steps, the cursor position moves follow,
// the pending shot holding the script, the fixed clock step and seeded GUIDs.
#include "support/files.h"
#include "sys/clock.h"
#include "sys/window/events.h"
#include "sys/window/host.h"
#include "sys/process/identity.h"
#include "sys/input_script/input_script.h"
#include "sys/window/window.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace
{

using Kind = sys::InputAction::Kind;

TEST(InputScriptLineTest, ActionsAndTheirArguments)
{
    sys::InputAction action;
    std::string error;
    ASSERT_TRUE(sys::ParseInputLine("drag 1 2 0x10 -4", action, error));
    EXPECT_EQ(action.mKind, Kind::Drag);
    EXPECT_EQ(std::vector<int>(action.mArgs, action.mArgs + 4), (std::vector<int>{1, 2, 16, -4}));
    ASSERT_TRUE(sys::ParseInputLine("text  é b\r", action, error));
    EXPECT_EQ(action.mText, " é b") << "the rest of the line after one space";
    ASSERT_TRUE(sys::ParseInputLine("  focus gained", action, error));
    EXPECT_EQ(action.mArgs[0], 1);
    ASSERT_TRUE(sys::ParseInputLine("display taken", action, error));
    EXPECT_EQ(action.mKind, Kind::Display);
    EXPECT_EQ(action.mArgs[0], 1);
    ASSERT_TRUE(sys::ParseInputLine("display back", action, error));
    EXPECT_EQ(action.mArgs[0], 0);
    ASSERT_TRUE(sys::ParseInputLine("key 27", action, error));
    EXPECT_EQ(action.mKind, Kind::Key);
    EXPECT_EQ(action.mArgs[1], 0);
    ASSERT_TRUE(sys::ParseInputLine("key 13 alt", action, error));
    EXPECT_EQ(action.mArgs[1], 1) << "Alt held";
    // An awaited text is one word or quoted; the count of polls defaults to 3000.
    ASSERT_TRUE(sys::ParseInputLine("await map\r", action, error));
    EXPECT_EQ(action.mKind, Kind::Await);
    EXPECT_EQ(action.mText + "/" + std::to_string(action.mArgs[0]), "map/3000");
    ASSERT_TRUE(sys::ParseInputLine("await  \"complete 0\" 9000", action, error));
    EXPECT_EQ(action.mText + "/" + std::to_string(action.mArgs[0]), "complete 0/9000");
    // Blank lines and comments are no actions and no errors.
    for (const char* quiet : {"", "   ", "# click 1 2"})
    {
        EXPECT_FALSE(sys::ParseInputLine(quiet, action, error));
        EXPECT_EQ(error, "") << quiet;
    }
}

TEST(InputScriptLineTest, BadLinesSayWhy)
{
    const std::pair<const char*, const char*> cases[] = {
        {"jump 1", "unknown action \"jump\""},
        {"click 1", "\"click\" takes 2 whole numbers"},
        {"move 1 two", "\"move\" takes 2 whole numbers"},
        {"wait 1.5", "\"wait\" takes 1 whole number"},
        {"wait -1", "\"wait\" takes a count of 0 or more"},
        {"down 3", "\"down\" has more than 0 arguments"},
        {"close now", "\"close\" has more than 0 arguments"},
        {"focus away", "\"focus\" takes lost or gained"},
        {"display lost", "\"display\" takes taken or back"},
        {"display back now", "\"display\" takes taken or back"},
        {"key 0", "no key gives virtual-key 0"},
        {"key 13 shift", "\"key\" takes a virtual-key and, held with it, alt"},
        {"text", "\"text\" needs a text"},
        {"text 0123456789012345678901234567890123", "\"text\" takes at most 31 bytes"},
        {"shot ../escape", "\"shot\" needs a file name"},
        {"host", "\"host\" takes a command number or gone"},
        {"host 2147483648", "\"host\" takes a command number or gone"},
        {"host 5 6", "\"host\" takes a command number or gone"},
        {"host gone now", "\"host\" takes a command number or gone"},
        {"await", "\"await\" takes a text and an optional count of polls"},
        {"await \"location 1", "\"await\" takes a text and an optional count of polls"},
        {"await \"\" 5", "\"await\" takes a text and an optional count of polls"},
        {"await location 1 2", "\"await\" takes a text and an optional count of polls"},
        {"await map 0", "\"await\" takes a text and an optional count of polls"},
    };
    for (const auto& [line, expected] : cases)
    {
        sys::InputAction action;
        std::string error;
        EXPECT_FALSE(sys::ParseInputLine(line, action, error)) << line;
        EXPECT_EQ(error, expected) << line;
    }
}

class InputScriptTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        sys::SetManualClock(true, 1000);
        sys::FlushInput();
        sys::WindowDesc desc;
        desc.title = "Input script";
        desc.width = 320;
        desc.height = 200;
        desc.proc = &sys::DefWindowProc;
        mWindow = sys::CreateWindow(desc);
        ASSERT_NE(mWindow, 0u);
    }
    void TearDown() override
    {
        sys::SetInputScript("");
        sys::SetFixedStepMs(0);
        sys::SetCursorPosOverride(false);
        if (sys::IsWindow(mWindow))
            sys::DestroyWindow(mWindow);
        sys::FlushInput();
        sys::SetManualClock(false);
    }

    // What each of `polls` polls gave: "-" for nothing, else the message and its words.
    std::vector<std::string> Poll(int polls)
    {
        std::vector<std::string> seen;
        for (int i = 0; i < polls; ++i)
        {
            sys::Message message;
            if (!sys::PeekMessage(message))
            {
                seen.push_back("-");
                continue;
            }
            std::string text =
                std::to_string(message.message) + ":" + std::to_string(message.wParam & 0xFFFF);
            if (message.message >= sys::WM_MOUSEMOVE && message.message <= sys::WM_LBUTTONUP)
                text += "@" + std::to_string(message.lParam & 0xFFFF) + "," +
                        std::to_string((message.lParam >> 16) & 0xFFFF);
            seen.push_back(text);
        }
        return seen;
    }

    testsupport::ScratchFolder mScratch{"mw_input"};
    sys::WindowHandle mWindow = 0;
};

TEST_F(InputScriptTest, StepsComeOnePerEmptyPollWithATickBetween)
{
    testsupport::WriteFile(mScratch / "run.txt", "wait 2\nclick 10 20\nfly away\nkey 0x41\n"
                                                 "text ab\nclose\n");
    testing::internal::CaptureStderr();
    ASSERT_TRUE(sys::SetInputScript((mScratch / "run.txt").string()));
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              (mScratch / "run.txt").string() + ":3: unknown action \"fly\"; line skipped\n");

    const std::string move = std::to_string(sys::WM_MOUSEMOVE) + ":0@10,20";
    const std::string down = std::to_string(sys::WM_LBUTTONDOWN) + ":0@10,20";
    const std::string up = std::to_string(sys::WM_LBUTTONUP) + ":0@10,20";
    EXPECT_EQ(Poll(8), (std::vector<std::string>{"-", "-", move, "-", down, "-", up, "-"}));
    // Injected moves are where the desktop pointer is, as the drawn cursor reads it.
    int x = 0;
    int y = 0;
    sys::GetCursorPos(x, y);
    EXPECT_TRUE(sys::ScreenToClient(mWindow, x, y));
    EXPECT_EQ(x, 10);
    EXPECT_EQ(y, 20);

    std::vector<std::string> rest = Poll(12);
    const std::string keyDown = std::to_string(sys::WM_KEYDOWN) + ":65";
    const std::string keyUp = std::to_string(sys::WM_KEYUP) + ":65";
    const std::string charA = std::to_string(sys::WM_CHAR) + ":97";
    const std::string charB = std::to_string(sys::WM_CHAR) + ":98";
    const std::string closing = std::to_string(sys::WM_CLOSE) + ":0";
    EXPECT_EQ(rest, (std::vector<std::string>{keyDown, "-", keyUp, "-", charA, charB, "-", closing,
                                              "-", "-", "-", "-"}));
}

// Typed text reaches a Unicode window as its characters; a broken sequence (an overlong "/", a
// surrogate, a sequence cut short) is typed as nothing.
TEST_F(InputScriptTest, TypedBrokenSequencesAreNoCharacters)
{
    sys::DestroyWindow(mWindow);
    sys::WindowDesc desc;
    desc.title = "Unicode";
    desc.width = 320;
    desc.height = 200;
    desc.proc = &sys::DefWindowProc;
    desc.unicode = true;
    mWindow = sys::CreateWindow(desc);
    ASSERT_NE(mWindow, 0u);
    ASSERT_TRUE(sys::PushTextEvent("a\xC0\xAF"
                                   "b\xE2\x82\xAC\xED\xA0\x80\xE2\x82"
                                   "c"));
    const std::string wmChar = std::to_string(sys::WM_CHAR) + ":";
    EXPECT_EQ(Poll(5), (std::vector<std::string>{wmChar + "97", wmChar + "98", wmChar + "8364",
                                                 wmChar + "99", "-"}));
}

TEST_F(InputScriptTest, AnAwaitHoldsTheScriptUntilAPrintedLineHoldsItsTextOrClosesTheWindow)
{
    // The second await's text came before it was reached, but in the line the first one used up.
    testsupport::WriteFile(mScratch / "await.txt",
                           "await \"location 1\" 4\nkey 65\nawait location 2\nkey 66\n");
    ASSERT_TRUE(sys::SetInputScript((mScratch / "await.txt").string()));
    sys::NoteOutputLine("trace: start");
    EXPECT_EQ(Poll(2), (std::vector<std::string>{"-", "-"}));
    sys::NoteOutputLine("trace: location 1");
    const std::string keyDown = std::to_string(sys::WM_KEYDOWN) + ":65";
    const std::string keyUp = std::to_string(sys::WM_KEYUP) + ":65";
    EXPECT_EQ(Poll(4), (std::vector<std::string>{keyDown, "-", keyUp, "-"}));
    testing::internal::CaptureStderr();
    const std::string closing = std::to_string(sys::WM_CLOSE) + ":0";
    EXPECT_EQ(Poll(8), (std::vector<std::string>{"-", "-", closing, "-", "-", "-", "-", "-"}))
        << "the rest of a broken run is dropped";
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "input script: await location timed out\n");
}

// The line done, which the saved versions' seam names its copies by: a click's once its release
// is pushed, a wait's as it starts, an await's once its line came; comments count as lines.
TEST_F(InputScriptTest, TheLineDoneIsTheLastLineWhoseStepsWereAllTaken)
{
    testsupport::WriteFile(mScratch / "lines.txt",
                           "# a comment\nclick 10 20\nwait 3\nawait ready\nkey 65\n");
    ASSERT_TRUE(sys::SetInputScript((mScratch / "lines.txt").string()));
    EXPECT_EQ(sys::InputScriptLineDone(), 0);
    std::vector<int> done;
    for (int poll = 0; poll < 16; ++poll)
    {
        if (poll == 12)
            sys::NoteOutputLine("trace: ready");
        Poll(1);
        done.push_back(sys::InputScriptLineDone());
    }
    // Move, down, up (each with a tick after); the wait's three polls; the await held until the
    // line came, the key's down pushed in that poll; its up.
    EXPECT_EQ(done, (std::vector<int>{0, 0, 0, 0, 2, 2, 3, 3, 3, 3, 3, 3, 4, 4, 5, 5}));
    sys::SetInputScript("");
    EXPECT_EQ(sys::InputScriptLineDone(), 0);
}

TEST_F(InputScriptTest, AShotRepaintsAndHoldsTheScriptUntilAFrameTakesIt)
{
    testsupport::WriteFile(mScratch / "shots.txt", "shot first\nmove 5 6\n");
    ASSERT_TRUE(sys::SetInputScript((mScratch / "shots.txt").string()));
    std::string path;
    EXPECT_FALSE(sys::TakeShotRequest(path));
    EXPECT_EQ(Poll(1), (std::vector<std::string>{std::to_string(sys::WM_PAINT) + ":0"}));
    EXPECT_EQ(Poll(3), (std::vector<std::string>{"-", "-", "-"}));
    ASSERT_TRUE(sys::TakeShotRequest(path));
    EXPECT_EQ(path, (mScratch / "first.png").string());
    EXPECT_FALSE(sys::TakeShotRequest(path));
    EXPECT_EQ(Poll(1), (std::vector<std::string>{std::to_string(sys::WM_MOUSEMOVE) + ":0@5,6"}));
}

TEST_F(InputScriptTest, TheFixedStepAdvancesTheClockAtEmptyPollsOnly)
{
    testsupport::WriteFile(mScratch / "step.txt", "move 1 1\n");
    ASSERT_TRUE(sys::SetInputScript((mScratch / "step.txt").string()));
    sys::SetFixedStepMs(16);
    const uint32_t start = sys::GetTimeMs();
    Poll(3); // the move, its tick, one more
    EXPECT_EQ(sys::GetTimeMs() - start, 32u);
    sys::WaitForInput(5);
    EXPECT_EQ(sys::GetTimeMs() - start, 32u) << "waiting takes no time on the fixed step";
    testing::internal::CaptureStderr();
    EXPECT_FALSE(sys::SetInputScript((mScratch / "missing.txt").string()));
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "input script " + (mScratch / "missing.txt").string() +
                  " cannot be read: No such file or directory\n");
}

TEST(GuidSeedTest, ASeedGivesTheSameMarkedSequence)
{
    uint8_t first[3][16];
    uint8_t again[16];
    sys::SetNewGuidSeed(true, 42);
    for (auto& guid : first)
        sys::NewGuid(guid);
    EXPECT_NE(std::memcmp(first[0], first[1], 16), 0);
    EXPECT_EQ(first[1][7] >> 4, 4) << "version 4";
    EXPECT_EQ(first[1][8] & 0xC0, 0x80) << "RFC 4122 variant";
    sys::SetNewGuidSeed(true, 42);
    sys::NewGuid(again);
    EXPECT_EQ(std::memcmp(first[0], again, 16), 0);
    sys::SetNewGuidSeed(true, 43);
    sys::NewGuid(again);
    EXPECT_NE(std::memcmp(first[0], again, 16), 0);
    sys::SetNewGuidSeed(false);
}

} // namespace

TEST_F(InputScriptTest, HostCommandsReachTheMainWindowAndTheTestHostCanGo)
{
    sys::InputAction action;
    std::string error;
    ASSERT_TRUE(sys::ParseInputLine("host -2147483648", action, error));
    EXPECT_EQ(action.mKind, Kind::Host);
    EXPECT_EQ(action.mArgs[0], INT32_MIN);
    ASSERT_TRUE(sys::ParseInputLine("host gone", action, error));
    EXPECT_EQ(action.mKind, Kind::HostGone);

    sys::LogHost host;
    ASSERT_TRUE(host.Open((mScratch / "host.log").string()));
    sys::SetHostChannel(&host);
    EXPECT_TRUE(sys::IsWindow(0x4ab0));
    testsupport::WriteFile(mScratch / "run.txt", "host 7\nhost 2147483647\n");
    ASSERT_TRUE(sys::SetInputScript((mScratch / "run.txt").string()));
    const std::string seven = std::to_string(1024) + ":7";
    const std::string largest = std::to_string(1024) + ":65535";
    EXPECT_EQ(Poll(4), (std::vector<std::string>{seven, "-", largest, "-"}));
    sys::SetHostChannel(nullptr);
}
