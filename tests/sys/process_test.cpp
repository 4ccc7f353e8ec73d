// Tests of processes: the single-instance lock, the shell's "open", child processes and their exit
// codes.
#include "sys/process.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <random>

namespace
{

std::string UniqueName()
{
    std::random_device device;
    return "mw_lock_test_" + std::to_string(device()) + "_MUTEX";
}

TEST(InstanceLockTest, TheSecondHolderIsToldItIsHeld)
{
    std::string name = UniqueName();
    int first = -1;
    ASSERT_EQ(sys::AcquireInstanceLock(name, first), sys::InstanceLockResult::Acquired);
    EXPECT_GE(first, 0);
    int second = -1;
    EXPECT_EQ(sys::AcquireInstanceLock(name, second), sys::InstanceLockResult::AlreadyHeld);
    EXPECT_EQ(second, -1);
    sys::ReleaseInstanceLock(first);
    EXPECT_EQ(sys::AcquireInstanceLock(name, second), sys::InstanceLockResult::Acquired);
    sys::ReleaseInstanceLock(second);
    std::filesystem::remove(sys::InstanceLockPath(name));
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
    std::string name = UniqueName();
    std::string target = sys::InstanceLockPath(name + "_target");
    std::filesystem::create_symlink(target, sys::InstanceLockPath(name));
    int handle = -1;
    EXPECT_EQ(sys::AcquireInstanceLock(name, handle), sys::InstanceLockResult::Failed);
    EXPECT_EQ(handle, -1);
    EXPECT_FALSE(std::filesystem::exists(target));
    std::filesystem::remove(sys::InstanceLockPath(name));
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
    EXPECT_EQ(sys::ShellOpen("mw-no-such-browser", "http://example.invalid/"), 2);
    EXPECT_EQ(sys::ShellOpen("", ""), 2);
    EXPECT_GT(sys::ShellOpen("true", "ignored"), 32);
}

} // namespace
