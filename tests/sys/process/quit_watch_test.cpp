// The system's signals: a closed terminal asks the game to end as SIGTERM does, a write to a reader
// that went away or past the file-size limit fails instead of ending the program, and programs it
// starts get those signals back at their defaults.
#include "sys/process/quit_watch.h"

#include "support/files.h"
#include "sys/process/process.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <string>
#include <sys/resource.h>
#include <unistd.h>

namespace
{

class QuitWatchTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        sys::StartQuitWatch();
        // Requests left by an earlier test are answered, so the watch never ends this program.
        sys::TakeQuitRequest();
        sys::AnswerQuitRequests();
    }
};

TEST_F(QuitWatchTest, AHangUpIsAQuitRequest)
{
    struct sigaction hangUp = {};
    ASSERT_EQ(sigaction(SIGHUP, nullptr, &hangUp), 0);
    if (hangUp.sa_handler == SIG_IGN)
        GTEST_SKIP()
            << "the tests were started with hangups ignored (nohup), which the watch keeps";
    for (int signal : {SIGHUP, SIGTERM, SIGINT})
    {
        ASSERT_EQ(std::raise(signal), 0);
        EXPECT_TRUE(sys::TakeQuitRequest()) << signal;
        sys::AnswerQuitRequests();
        EXPECT_FALSE(sys::TakeQuitRequest()) << signal;
    }
}

TEST_F(QuitWatchTest, AWriteToAGoneReaderOrPastTheFileLimitFailsAndTheProgramGoesOn)
{
    int ends[2];
    ASSERT_EQ(pipe(ends), 0);
    close(ends[0]);
    EXPECT_EQ(write(ends[1], "x", 1), -1);
    EXPECT_EQ(errno, EPIPE);
    close(ends[1]);

    testsupport::ScratchFolder scratch("mw_quit_watch");
    const std::string path = (scratch.Path() / "limited").string();
    const int file = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    ASSERT_GE(file, 0);
    rlimit old{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old), 0);
    rlimit small = old;
    small.rlim_cur = 16;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    const std::string bytes(32, 'x');
    const ssize_t first = write(file, bytes.data(), bytes.size());
    const ssize_t second = write(file, bytes.data(), bytes.size());
    const int error = errno;
    setrlimit(RLIMIT_FSIZE, &old);
    close(file);
    EXPECT_EQ(first, 16);
    EXPECT_EQ(second, -1);
    EXPECT_EQ(error, EFBIG);
}

TEST_F(QuitWatchTest, ProgramsStartedGetTheIgnoredSignalsBack)
{
    testsupport::ScratchFolder scratch("mw_quit_watch");
    const std::string status = (scratch.Path() / "status").string();
    // The child's own ignored signals, as the system lists them (a mask of bit signal - 1).
    const int pid = sys::SpawnProcess(
        {"/bin/sh", "-c", "exec grep SigIgn: /proc/self/status >\"$0\"", status}, {});
    ASSERT_GT(pid, 0);
    int code = -1;
    ASSERT_TRUE(sys::WaitProcess(pid, 30000, code));
    ASSERT_EQ(code, 0);
    const std::string line = testsupport::ReadFile(status);
    ASSERT_EQ(line.rfind("SigIgn:", 0), 0u) << line;
    const unsigned long long ignored = std::strtoull(line.c_str() + 7, nullptr, 16);
    EXPECT_EQ(ignored & (1ull << (SIGPIPE - 1)), 0u) << line;
    EXPECT_EQ(ignored & (1ull << (SIGXFSZ - 1)), 0u) << line;
}

} // namespace
