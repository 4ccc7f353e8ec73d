// Optional libraries: ".dll" names found as ".so" beside the executable, entries looked up.
#include "sys/process/dynlib.h"

#include "support/files.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

TEST(DynLib, DllNamesBecomeSharedObjectNames)
{
    EXPECT_EQ(sys::NativeLibraryName("qmlocale.dll"), "qmlocale.so");
    EXPECT_EQ(sys::NativeLibraryName("/x/Q.DLL"), "/x/Q.so");
    EXPECT_EQ(sys::NativeLibraryName("libz.so.1"), "libz.so.1");
}

TEST(DynLib, LoadsBesideTheExecutableAndFindsTheEntry)
{
    void* lib = sys::LoadLibrary("testlocale.dll");
    ASSERT_NE(lib, nullptr);
    using Collate = int (*)(const char*, const char*);
    auto collate = reinterpret_cast<Collate>(sys::GetLibrarySymbol(lib, "qmCollate"));
    ASSERT_NE(collate, nullptr);
    EXPECT_GT(collate("a", "b"), 0);
    EXPECT_EQ(sys::GetLibrarySymbol(lib, "noSuchEntry"), nullptr);
    sys::FreeLibrary(lib);
}

TEST(DynLib, MissingLibraryGivesNull)
{
    EXPECT_EQ(sys::LoadLibrary("no_such_library_here.dll"), nullptr);
    EXPECT_EQ(sys::LoadLibrary(""), nullptr);
    EXPECT_EQ(sys::GetLibrarySymbol(nullptr, "x"), nullptr);
    sys::FreeLibrary(nullptr);
}

// A FIFO in a module's place is no library: refused at once, never waited on for a writer.
TEST(DynLib, AFifoIsNoLibrary)
{
    testsupport::ScratchFolder scratch{"mw_dynlib"};
    const std::string fifo = scratch.Path().string() + "/addon.qmmod";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_TRUE(testsupport::EndsWithin(5, [&] { return sys::LoadLibrary(fifo) == nullptr; }));
}
