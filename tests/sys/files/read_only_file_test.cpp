// Files read at offsets: contents, empty and missing files, a file cut while it is open, a FIFO.
#include "sys/files/read_only_file.h"

#include "support/files.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>

TEST(ReadOnlyFile, ReadsAtOffsetsAndFindsAFileCutUnderIt)
{
    char pattern[] = "/tmp/mw_readat_XXXXXX";
    int fd = mkstemp(pattern);
    ASSERT_GE(fd, 0);
    const std::string bytes(8192, 'q');
    ASSERT_EQ(write(fd, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
    ASSERT_EQ(pwrite(fd, "QMPK!", 5, 4000), 5);
    close(fd);

    sys::ReadOnlyFile file;
    ASSERT_TRUE(file.Open(pattern));
    EXPECT_EQ(file.Size(), 8192u);
    char buffer[16] = {};
    ASSERT_EQ(file.ReadAt(4000, buffer, 5), 5);
    EXPECT_EQ(std::string(buffer, 5), "QMPK!");
    EXPECT_EQ(file.ReadAt(8190, buffer, 16), 2);

    // Cut as an update in place cuts it: reads past the new end come short, never as a signal.
    ASSERT_EQ(truncate(pattern, 4002), 0);
    EXPECT_EQ(file.Size(), 8192u);
    EXPECT_EQ(file.ReadAt(4000, buffer, 16), 2);
    EXPECT_EQ(file.ReadAt(6000, buffer, 16), 0);

    ASSERT_EQ(truncate(pattern, 0), 0);
    ASSERT_TRUE(file.Open(pattern));
    EXPECT_EQ(file.Size(), 0u);
    file.Close();
    EXPECT_FALSE(file.IsOpen());
    EXPECT_EQ(file.ReadAt(0, buffer, 1), -1);
    std::remove(pattern);
    EXPECT_FALSE(file.Open(pattern));
    EXPECT_FALSE(file.Open("/tmp"));
    EXPECT_FALSE(file.IsOpen());
}

// A FIFO in a pack's place is refused at once, never waited on for a writer.
TEST(ReadOnlyFile, AFifoIsRefusedWithoutWaiting)
{
    testsupport::ScratchFolder scratch{"mw_readat"};
    const std::string fifo = scratch.Path().string() + "/sound.qmp";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_TRUE(testsupport::EndsWithin(5, [&] { return !sys::ReadOnlyFile().Open(fifo); }));
}
