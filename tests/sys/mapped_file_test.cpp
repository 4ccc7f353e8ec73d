// Read-only file mapping: contents, empty files, missing files.
#include "sys/mapped_file.h"

#include <gtest/gtest.h>

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
