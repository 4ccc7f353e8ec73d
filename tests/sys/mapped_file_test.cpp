// Read-only file mapping: contents, empty files, missing files.
#include "sys/mapped_file.h"

#include "support/files.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>
#include <string>

TEST(MappedFile, MapsTheWholeFileAndEmptyFiles)
{
    char pattern[] = "/tmp/mw_map_XXXXXX";
    int fd = mkstemp(pattern);
    ASSERT_GE(fd, 0);
    FILE* f = fdopen(fd, "wb");
    std::fputs("QMPK!", f);
    std::fclose(f);

    sys::MappedFile map;
    ASSERT_TRUE(map.Open(pattern));
    ASSERT_EQ(map.Size(), 5u);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(map.Data()), 5), "QMPK!");
    map.Close();
    EXPECT_EQ(map.Data(), nullptr);

    f = std::fopen(pattern, "wb");
    std::fclose(f);
    ASSERT_TRUE(map.Open(pattern));
    EXPECT_NE(map.Data(), nullptr);
    EXPECT_EQ(map.Size(), 0u);
    std::remove(pattern);
    EXPECT_FALSE(map.Open(pattern));
    EXPECT_EQ(map.Data(), nullptr);
    EXPECT_FALSE(map.Open("/tmp"));
}

// A FIFO in a pack's place is refused at once, never waited on for a writer.
TEST(MappedFile, AFifoIsRefusedWithoutWaiting)
{
    testsupport::ScratchFolder scratch{"mw_map"};
    const std::string fifo = scratch.Path().string() + "/sound.qmp";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_TRUE(testsupport::EndsWithin(5, [&] { return !sys::MappedFile().Open(fifo); }));
}
