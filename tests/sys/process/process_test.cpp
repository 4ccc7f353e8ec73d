// Tests of processes: the single-instance lock and its notice to the holder, the shell's "open",
// child processes and their exit codes.
#include "sys/process/process.h"

#include "support/files.h"
#include "sys/clock.h"
#include "sys/window/events.h"
#include "sys/window/window.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <filesystem>

namespace
{

// A lock file's path in a folder of the test's own, named as the game names its lock.
std::string LockIn(const testsupport::ScratchFolder& folder)
{
    return (folder / "mw_lock_test_MUTEX").string();
}

TEST(InstanceLockTest, TheSecondHolderIsToldItIsHeld)
{
    testsupport::ScratchFolder folder("mw_lock");
    const std::string path = LockIn(folder);
    int first = -1;
    ASSERT_EQ(sys::AcquireInstanceLock(path, first), sys::InstanceLockResult::Acquired);
    EXPECT_GE(first, 0);
    int second = -1;
    EXPECT_EQ(sys::AcquireInstanceLock(path, second), sys::InstanceLockResult::AlreadyHeld);
    EXPECT_EQ(second, -1);
    sys::ReleaseInstanceLock(first);
    EXPECT_EQ(sys::AcquireInstanceLock(path, second), sys::InstanceLockResult::Acquired);
    sys::ReleaseInstanceLock(second);
}

TEST(InstanceLockTest, AnUnwritableFolderFails)
{
    int handle = -1;
    EXPECT_EQ(sys::AcquireInstanceLock("no/such/folder/lock", handle),
              sys::InstanceLockResult::Failed);
    EXPECT_EQ(handle, -1);
}

TEST(InstanceLockTest, ALinkUnderTheLockNameIsNotFollowed)
{
    testsupport::ScratchFolder folder("mw_lock");
    const std::string path = LockIn(folder);
    const std::string target = path + "_target";
    std::filesystem::create_symlink(target, path);
    int handle = -1;
    std::string reason;
    EXPECT_EQ(sys::AcquireInstanceLock(path, handle, nullptr, &reason),
              sys::InstanceLockResult::Failed);
    EXPECT_EQ(handle, -1);
    EXPECT_EQ(reason, "it is a link");
    EXPECT_FALSE(std::filesystem::exists(target));
}

// A lock file made by another user (where the folder lets others write) and held by them is no
// running copy of the player's: never reported as held.
TEST(InstanceLockTest, ALockFileOfAnotherUserIsNoRunningCopy)
{
    if (geteuid() != 0)
        GTEST_SKIP() << "only the superuser can give a file to another user";
    testsupport::ScratchFolder folder("mw_lock");
    const std::string path = LockIn(folder);
    testsupport::WriteFile(path, "");
    ASSERT_EQ(chown(path.c_str(), 65534, 65534), 0);
    ASSERT_EQ(chmod(path.c_str(), 0666), 0);
    // Held through a description of its own, as the other user's process would hold it.
    const int other = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    ASSERT_GE(other, 0);
    ASSERT_EQ(flock(other, LOCK_EX | LOCK_NB), 0);
    int handle = -1;
    bool noticed = true;
    std::string reason;
    EXPECT_EQ(sys::AcquireInstanceLock(path, handle, &noticed, &reason),
              sys::InstanceLockResult::Failed);
    EXPECT_EQ(reason, "it belongs to another user");
    EXPECT_EQ(handle, -1);
    EXPECT_FALSE(noticed);
    close(other);
}

TEST(InstanceLockTest, ASecondAcquisitionNotifiesTheHolderOnce)
{
    testsupport::ScratchFolder folder("mw_lock");
    const std::string path = LockIn(folder);
    int first = -1;
    ASSERT_EQ(sys::AcquireInstanceLock(path, first), sys::InstanceLockResult::Acquired);
    EXPECT_TRUE(std::filesystem::is_socket(sys::InstanceNoticePath(path)));
    EXPECT_FALSE(sys::TakeInstanceNotice());
    int second = -1;
    bool noticed = false;
    EXPECT_EQ(sys::AcquireInstanceLock(path, second, &noticed),
              sys::InstanceLockResult::AlreadyHeld);
    EXPECT_TRUE(noticed) << "the holder's channel took the notice";
    EXPECT_EQ(sys::AcquireInstanceLock(path, second), sys::InstanceLockResult::AlreadyHeld);
    EXPECT_TRUE(sys::TakeInstanceNotice());
    EXPECT_FALSE(sys::TakeInstanceNotice()) << "both notices are taken at once";
    sys::ReleaseInstanceLock(first);
    EXPECT_FALSE(std::filesystem::exists(sys::InstanceNoticePath(path)));
    EXPECT_TRUE(std::filesystem::is_regular_file(path)) << "a waiter may be opening it";
}

// The lock holds and carries the notice wherever it lies: in a data folder deep enough that its
// path does not fit a socket's address, under a name that does not fit one beside its folder (a
// program installed deep), and as a file with other names (a hard-link copy of its folder), which
// is still the one lock.
TEST(InstanceLockTest, ADeepLongNamedOrHardLinkedLockStillHoldsAndTakesNotices)
{
    namespace fs = std::filesystem;
    testsupport::ScratchFolder folder("mw_lock");
    const fs::path deep = folder / (std::string(60, 'd') + "/" + std::string(60, 'e'));
    fs::create_directories(deep);
    const std::string longName = std::string(150, 'n') + "_MUTEX";
    struct Shape
    {
        const char* mName;
        fs::path mLock;
        bool mHardLinked;
    };
    const Shape shapes[] = {{"a deep folder", deep / "mw_lock_test_MUTEX", false},
                            {"a long name", folder / longName, false},
                            {"both", deep / longName, false},
                            {"hard-linked", folder / "linked_MUTEX", true}};
    for (const Shape& shape : shapes)
    {
        const std::string path = shape.mLock.string();
        if (shape.mHardLinked)
        {
            fs::create_directory(folder / "copy");
            testsupport::WriteFile(shape.mLock, "");
            fs::create_hard_link(shape.mLock, folder / "copy" / shape.mLock.filename());
        }
        int first = -1;
        ASSERT_EQ(sys::AcquireInstanceLock(path, first), sys::InstanceLockResult::Acquired)
            << shape.mName;
        EXPECT_TRUE(fs::is_socket(sys::InstanceNoticePath(path))) << shape.mName;
        EXPECT_EQ(fs::path(sys::InstanceNoticePath(path)).parent_path(), shape.mLock.parent_path());
        int second = -1;
        bool noticed = false;
        EXPECT_EQ(sys::AcquireInstanceLock(path, second, &noticed),
                  sys::InstanceLockResult::AlreadyHeld)
            << shape.mName;
        EXPECT_TRUE(noticed) << shape.mName;
        EXPECT_TRUE(sys::TakeInstanceNotice()) << shape.mName;
        sys::ReleaseInstanceLock(first);
        EXPECT_FALSE(fs::exists(sys::InstanceNoticePath(path))) << shape.mName;
    }
    EXPECT_EQ(fs::path(sys::InstanceNoticePath((folder / longName).string())).filename().string(),
              "35116d3da45e05dd.raise");
}

// The child side of the tests below, run as a process of its own (skipped otherwise): it takes
// the lock named in MW_NOTICE_LOCK with a window, writes "ready" in MW_NOTICE_FOLDER, then either
// (MW_NOTICE_MODE=wait) polls its message queue until the notice has restored and raised the
// window, at most 1 s after "sent" appears there, or (hold) sleeps until it is killed.
TEST(InstanceNoticeChild, HoldsTheLock)
{
    const std::string path = sys::GetEnvironmentVariable("MW_NOTICE_LOCK");
    if (path.empty())
        GTEST_SKIP() << "run only as the child of the instance notice tests";
    const std::filesystem::path folder = sys::GetEnvironmentVariable("MW_NOTICE_FOLDER");
    const std::string mode = sys::GetEnvironmentVariable("MW_NOTICE_MODE");
    int handle = -1;
    ASSERT_EQ(sys::AcquireInstanceLock(path, handle), sys::InstanceLockResult::Acquired);
    sys::WindowDesc desc;
    desc.width = 64;
    desc.height = 64;
    sys::WindowHandle window = sys::CreateWindow(desc);
    ASSERT_NE(window, 0u);
    sys::ClearWindowRequestRecord();
    testsupport::WriteFile(folder / "ready", "1");
    if (mode == "hold")
    {
        for (;;)
            sys::SleepMs(100);
    }
    while (!std::filesystem::exists(folder / "sent"))
        sys::SleepMs(5);
    const uint32_t start = sys::GetTimeMs();
    sys::Message message;
    while (sys::GetWindowRequestRecord().size() < 2 && sys::GetTimeMs() - start < 1000)
    {
        while (sys::PeekMessage(message))
            sys::DispatchMessage(message);
        sys::SleepMs(1);
    }
    EXPECT_EQ(
        sys::GetWindowRequestRecord(),
        (std::vector<sys::WindowRequest>{sys::WindowRequest::Restore, sys::WindowRequest::Raise}));
    sys::DestroyWindow(window);
    sys::ReleaseInstanceLock(handle);
}

class InstanceNoticeTest : public ::testing::Test
{
protected:
    void TearDown() override
    {
        int code = 0;
        if (mChild > 0 && !sys::WaitProcess(mChild, 0, code))
        {
            sys::SignalProcess(mChild, true);
            sys::WaitProcess(mChild, 10000, code);
        }
    }

    // Starts this test program as the child holding the lock; true once it holds it.
    bool StartHolder(const std::string& mode)
    {
        const std::string self = std::filesystem::read_symlink("/proc/self/exe").string();
        mChild = sys::SpawnProcess({self, "--gtest_filter=InstanceNoticeChild.HoldsTheLock"},
                                   {"MW_NOTICE_LOCK=" + mPath,
                                    "MW_NOTICE_FOLDER=" + mFolder.Path().string(),
                                    "MW_NOTICE_MODE=" + mode, "SDL_VIDEODRIVER=dummy"});
        if (mChild <= 0)
            return false;
        const uint32_t start = sys::GetTimeMs();
        int code = 0;
        while (!std::filesystem::exists(mFolder / "ready"))
        {
            if (sys::GetTimeMs() - start > 60000 || sys::WaitProcess(mChild, 0, code))
                return false;
            sys::SleepMs(10);
        }
        return true;
    }

    testsupport::ScratchFolder mFolder{"mw_notice"};
    std::string mPath = LockIn(mFolder);
    int mChild = -1;
};

TEST_F(InstanceNoticeTest, ASecondStartRestoresAndRaisesTheHoldersWindow)
{
    ASSERT_TRUE(StartHolder("wait"));
    int handle = -1;
    EXPECT_EQ(sys::AcquireInstanceLock(mPath, handle), sys::InstanceLockResult::AlreadyHeld);
    testsupport::WriteFile(mFolder / "sent", "1");
    int code = -1;
    ASSERT_TRUE(sys::WaitProcess(mChild, 60000, code));
    EXPECT_EQ(code, 0) << "the holder saw no restore and raise within 1 s";
}

TEST_F(InstanceNoticeTest, ASocketLeftByAKilledHolderMisleadsNoLaterOne)
{
    ASSERT_TRUE(StartHolder("hold"));
    sys::SignalProcess(mChild, true);
    int code = 0;
    ASSERT_TRUE(sys::WaitProcess(mChild, 10000, code));
    ASSERT_TRUE(std::filesystem::is_socket(sys::InstanceNoticePath(mPath))) << "left behind";

    int handle = -1;
    ASSERT_EQ(sys::AcquireInstanceLock(mPath, handle), sys::InstanceLockResult::Acquired);
    EXPECT_FALSE(sys::TakeInstanceNotice());
    // The new holder's own channel works.
    int second = -1;
    EXPECT_EQ(sys::AcquireInstanceLock(mPath, second), sys::InstanceLockResult::AlreadyHeld);
    EXPECT_TRUE(sys::TakeInstanceNotice());
    sys::ReleaseInstanceLock(handle);
}

TEST(ProcessTest, ChildrenReportTheirExitCodes)
{
    int pid = sys::SpawnProcess({"sh", "-c", "exit $MW_CODE"}, {"MW_CODE=3"});
    ASSERT_GT(pid, 0);
    int code = -1;
    ASSERT_TRUE(sys::WaitProcess(pid, 30000, code));
    EXPECT_EQ(code, 3);

    pid = sys::SpawnProcess({"sleep", "30"}, {});
    ASSERT_GT(pid, 0);
    EXPECT_FALSE(sys::WaitProcess(pid, 0, code));
    sys::SignalProcess(pid, false);
    ASSERT_TRUE(sys::WaitProcess(pid, 30000, code));
    EXPECT_EQ(code, 128 + 15);

    EXPECT_EQ(sys::SpawnProcess({"mw-no-such-program"}, {}), -1);
    EXPECT_EQ(sys::SpawnProcess({}, {}), -1);
}

TEST(ProcessTest, OpeningAProgramThatDoesNotExistFails)
{
    std::string why;
    EXPECT_EQ(sys::ShellOpen("mw-no-such-browser", "http://example.invalid/", &why), 2);
    // What is missing, not the whole PATH.
    EXPECT_EQ(why, "no program \"mw-no-such-browser\" is installed (none on PATH)");
    EXPECT_EQ(sys::ShellOpen("/mw/no/such/browser", "http://example.invalid/", &why), 2);
    EXPECT_EQ(why, "\"/mw/no/such/browser\" could not be started (No such file or directory)");
    EXPECT_EQ(sys::ShellOpen("", "", &why), 2);
    EXPECT_EQ(why, "nothing to open");
    EXPECT_GT(sys::ShellOpen("true", "ignored"), 32);
}

} // namespace
