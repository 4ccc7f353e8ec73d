// Folders and paths: XDG mapping of the special folders, full paths, folder listing, file calls.
#include "sys/files/paths.h"
#include "sys/files/save_waits.h"

#include "support/environment.h"
#include "support/files.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <set>
#include <string>
#include <thread>

namespace
{

using testsupport::EndsWithin;
using testsupport::EnvironmentGuard;
using testsupport::ScratchFolder;
using testsupport::WriteFile;

} // namespace

TEST(Paths, AppDataFollowsXdgDataHomeAndCommonLiesBelowIt)
{
    ScratchFolder scratch{"mw_paths"};
    EnvironmentGuard xdg("XDG_DATA_HOME");
    setenv("XDG_DATA_HOME", (scratch.Path().string() + "/data/").c_str(), 1);

    std::string appData;
    ASSERT_TRUE(sys::GetSpecialFolder(sys::SpecialFolder::AppData, true, appData));
    EXPECT_EQ(appData, scratch.Path().string() + "/data");
    std::string common;
    ASSERT_TRUE(sys::GetSpecialFolder(sys::SpecialFolder::CommonAppData, true, common));
    EXPECT_EQ(common, scratch.Path().string() + "/data/common");
    sys::FileStat st;
    ASSERT_TRUE(sys::StatPath(common, st));
    EXPECT_TRUE(st.isFolder);
}

TEST(Paths, AppDataFallsBackToHomeWhenXdgIsUnsetOrRelative)
{
    ScratchFolder scratch{"mw_paths"};
    EnvironmentGuard xdg("XDG_DATA_HOME");
    EnvironmentGuard home("HOME");
    setenv("HOME", scratch.Path().c_str(), 1);
    setenv("XDG_DATA_HOME", "relative/path", 1);

    std::string appData;
    ASSERT_TRUE(sys::GetSpecialFolder(sys::SpecialFolder::AppData, true, appData));
    EXPECT_EQ(appData, scratch.Path().string() + "/.local/share");

    unsetenv("XDG_DATA_HOME");
    std::string again;
    ASSERT_TRUE(sys::GetSpecialFolder(sys::SpecialFolder::AppData, false, again));
    EXPECT_EQ(again, appData);
}

// The reason is for the player, who is told where the files go instead.
TEST(Paths, AppDataThatCannotBeHadSaysWhy)
{
    ScratchFolder scratch{"mw_paths"};
    EnvironmentGuard xdg("XDG_DATA_HOME");
    EnvironmentGuard home("HOME");
    unsetenv("XDG_DATA_HOME");
    unsetenv("HOME");
    std::string appData = "untouched";
    std::string reason;
    EXPECT_FALSE(sys::GetSpecialFolder(sys::SpecialFolder::AppData, true, appData, &reason));
    EXPECT_EQ(appData, "untouched");
    EXPECT_EQ(reason, "neither XDG_DATA_HOME nor HOME names an absolute folder");

    WriteFile(scratch.Path() / "file", "not a folder\n");
    setenv("XDG_DATA_HOME", (scratch.Path() / "file/data").c_str(), 1);
    EXPECT_FALSE(sys::GetSpecialFolder(sys::SpecialFolder::CommonAppData, true, appData, &reason));
    EXPECT_EQ(reason, "'" + (scratch.Path() / "file").string() + "' cannot be made (" +
                          std::strerror(ENOTDIR) + ")");
}

TEST(Paths, DesktopExistsOnlyWhenTheFolderDoes)
{
    ScratchFolder scratch{"mw_paths"};
    EnvironmentGuard home("HOME");
    setenv("HOME", scratch.Path().c_str(), 1);
    std::string desktop;
    EXPECT_FALSE(sys::GetSpecialFolder(sys::SpecialFolder::Desktop, true, desktop));
    ASSERT_TRUE(sys::MakeFolder(scratch.Path().string() + "/Desktop"));
    ASSERT_TRUE(sys::GetSpecialFolder(sys::SpecialFolder::Desktop, true, desktop));
    EXPECT_EQ(desktop, scratch.Path().string() + "/Desktop");
}

TEST(Paths, FullPathFoldsDotsAndResolvesAgainstTheWorkingFolder)
{
    EXPECT_EQ(sys::GetFullPath("/a/./b//c/../d"), "/a/b/d");
    EXPECT_EQ(sys::GetFullPath("/a/b/"), "/a/b/");
    EXPECT_EQ(sys::GetFullPath("/.."), "/");
    EXPECT_EQ(sys::GetFullPath(""), "");
    EXPECT_EQ(sys::GetFullPath("x/y"), sys::GetCurrentFolder() + "/x/y");
}

TEST(Paths, ModuleFolderHoldsTheTestProgram)
{
    std::string folder = sys::GetModuleFolder();
    ASSERT_FALSE(folder.empty());
    EXPECT_EQ(folder.back(), '/');
    EXPECT_EQ(sys::GetModulePath().rfind(folder, 0), 0u);
}

TEST(Paths, ListingSkipsDotEntriesAndTellsFoldersApart)
{
    ScratchFolder scratch{"mw_paths"};
    sys::FolderListing listing;
    ASSERT_TRUE(listing.Open(scratch.Path()));
    std::string name;
    bool isFolder = false;
    EXPECT_FALSE(listing.Next(name, isFolder));

    WriteFile(scratch.Path().string() + "/File.TXT", "x");
    ASSERT_TRUE(sys::MakeFolder(scratch.Path().string() + "/Sub"));
    ASSERT_TRUE(listing.Open(scratch.Path().string() + "/"));
    std::set<std::pair<std::string, bool>> seen;
    while (listing.Next(name, isFolder))
        seen.insert({name, isFolder});
    EXPECT_EQ(seen, (std::set<std::pair<std::string, bool>>{{"File.TXT", false}, {"Sub", true}}));
    EXPECT_FALSE(listing.Open(scratch.Path().string() + "/missing"));
    EXPECT_FALSE(listing.Next(name, isFolder));
}

TEST(Paths, StatAccessRenameRemove)
{
    ScratchFolder scratch{"mw_paths"};
    std::string a = scratch.Path().string() + "/a.bin";
    std::string b = scratch.Path().string() + "/b.bin";
    WriteFile(a, "12345");
    sys::FileStat st;
    ASSERT_TRUE(sys::StatPath(a, st));
    EXPECT_FALSE(st.isFolder);
    EXPECT_EQ(st.size, 5u);
    EXPECT_TRUE(sys::PathAccess(a, 0));
    EXPECT_TRUE(sys::PathAccess(a, 6));
    WriteFile(b, "old");
    ASSERT_TRUE(sys::RenameFile(a, b));
    EXPECT_FALSE(sys::PathAccess(a, 0));
    ASSERT_TRUE(sys::StatPath(b, st));
    EXPECT_EQ(st.size, 5u);
    EXPECT_TRUE(sys::RemoveFile(b));
    EXPECT_FALSE(sys::RemoveFile(b));
    EXPECT_FALSE(sys::StatPath(b, st));
    EXPECT_TRUE(sys::MakeFolder(scratch.Path()));
}

// The write probe makes and removes a real file: it leaves nothing behind, and a folder that is
// not one (its place taken by a file) gives the system's reason.
TEST(Paths, AFolderIsWritableOnlyWhenAFileCanBeMadeInIt)
{
    ScratchFolder scratch{"mw_paths"};
    std::string reason;
    EXPECT_TRUE(sys::CanWriteInFolder(scratch.Path().string(), reason));
    EXPECT_TRUE(std::filesystem::is_empty(scratch.Path()));
    WriteFile(scratch.Path() / "taken", "x");
    EXPECT_FALSE(sys::CanWriteInFolder((scratch.Path() / "taken").string(), reason));
    EXPECT_EQ(reason, std::strerror(ENOTDIR));
    EXPECT_FALSE(sys::CanWriteInFolder((scratch.Path() / "missing/deeper").string(), reason));
    EXPECT_EQ(reason, std::strerror(ENOENT));
}

// A flush of a file or a folder made on the watched thread (the frame loop's) counts as a wait on a
// save's behalf, whatever asked for it; one on another thread, or once the watch has ended, does
// not.
TEST(Paths, AFlushOnTheWatchedThreadCountsAsAWaitOnASave)
{
    ScratchFolder scratch{"mw_paths"};
    const std::string folder = scratch.Path().string();
    sys::SetSlowFlushMs(20);
    sys::WatchSaveWaits(true);
    const uint32_t before = sys::GetSaveWaits().count;
    std::FILE* file = std::fopen((scratch.Path() / "saved").c_str(), "w");
    ASSERT_NE(file, nullptr);
    std::fputs("x", file);
    EXPECT_TRUE(sys::FlushFileToDisk(file));
    std::fclose(file);
    EXPECT_TRUE(sys::FlushFolderToDisk(folder));
    std::thread([&] { EXPECT_TRUE(sys::FlushFolderToDisk(folder)); }).join();
    sys::WatchSaveWaits(false);
    EXPECT_TRUE(sys::FlushFolderToDisk(folder));
    sys::SetSlowFlushMs(0);
    const sys::SaveWaits waits = sys::GetSaveWaits();
    EXPECT_EQ(waits.count, before + 2);
    EXPECT_EQ(waits.longest, "a flush to the disk");
    EXPECT_GE(waits.longestMs, 20u);
}

// A whole-file write's temporary file is made new under a name of this process's own: a link
// planted at the next names (to a file outside the folder) is passed over, never followed or
// replaced, and the start-up sweep knows the names.
TEST(Paths, TemporaryFilesAreMadeNewUnderNamesOfTheirOwn)
{
    namespace fs = std::filesystem;
    ScratchFolder scratch{"mw_paths"};
    const std::string target = scratch.Path().string() + "/prefs.dat";
    const std::string outside = scratch.Path().string() + "/outside";
    WriteFile(outside, "outside");
    std::string first;
    std::string reason;
    std::FILE* file = sys::CreateTemporaryFile(target, sys::kTemporaryMarker, first, reason);
    ASSERT_NE(file, nullptr) << reason;
    std::fclose(file);
    const std::string stem = target + ".tmp" + std::to_string(getpid()) + "-";
    ASSERT_EQ(first.substr(0, stem.size()), stem);
    const int used = std::stoi(first.substr(stem.size()));
    for (int n = used + 1; n <= used + 5; ++n)
        fs::create_symlink(outside, stem + std::to_string(n));

    std::string next;
    file = sys::CreateTemporaryFile(target, sys::kTemporaryMarker, next, reason);
    ASSERT_NE(file, nullptr) << reason;
    std::fputs("mine", file);
    std::fclose(file);
    EXPECT_EQ(next, stem + std::to_string(used + 6));
    EXPECT_FALSE(fs::is_symlink(next));
    EXPECT_EQ(testsupport::ReadFile(outside), "outside");
    EXPECT_TRUE(sys::IsTemporaryFileName(fs::path(next).filename(), ".tmp"));

    ASSERT_TRUE(sys::ReplaceFileWith(target, "whole", 5, reason)) << reason;
    EXPECT_EQ(testsupport::ReadFile(target), "whole");
    fs::create_symlink(outside, target + ".tmp1");
    ASSERT_TRUE(sys::ReplaceFileWith(target, "again", 5, reason)) << reason;
    EXPECT_EQ(testsupport::ReadFile(outside), "outside");

    for (const char* name : {"a.tmp7", "a.tmp12-3"})
        EXPECT_TRUE(sys::IsTemporaryFileName(name, ".tmp")) << name;
    for (const char* name : {"a.tmp", ".tmp1", "a.tmp1-", "a.tmp-1", "a.tmp1-2-3", "a.tmp1x"})
        EXPECT_FALSE(sys::IsTemporaryFileName(name, ".tmp")) << name;
}

// A FIFO (with no writer, whose open would wait for one) or a device is no file to read.
TEST(Paths, OnlyRegularFilesAreReadWhole)
{
    ScratchFolder scratch{"mw_paths"};
    const std::string fifo = scratch.Path().string() + "/fifo";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_TRUE(EndsWithin(5,
                           [&]
                           {
                               std::string text;
                               std::string reason;
                               return !sys::ReadRegularFile(fifo, 100, text, reason) &&
                                      reason == "it is not a regular file";
                           }));
    std::string text;
    std::string reason;
    EXPECT_FALSE(sys::ReadRegularFile("/dev/zero", 100, text, reason));
    WriteFile(scratch.Path() / "plain", "line one\nline two\n");
    ASSERT_TRUE(sys::ReadRegularFile(scratch.Path().string() + "/plain", 100, text, reason));
    EXPECT_EQ(text, "line one\nline two\n");
    EXPECT_FALSE(sys::ReadRegularFile(scratch.Path().string() + "/plain", 10, text, reason));
}

// Appends, and opens of the file at a name, write and read only the regular file the program keeps
// there: a link planted at the name (to a file, dangling, or a hard link) is refused, its target
// left as it was and a dangling one never made; a FIFO is refused without waiting. Reads of the
// ordinary kind still follow a link.
TEST(Paths, AppendsAndOpensAtTheNameRefuseLinksAndWriteAFileOfTheirOwn)
{
    namespace fs = std::filesystem;
    ScratchFolder scratch{"mw_paths"};
    const std::string root = scratch.Path().string();
    WriteFile(scratch.Path() / "outside", "outside");
    fs::create_symlink(root + "/outside", root + "/soft");
    fs::create_symlink(root + "/nowhere", root + "/dangling");
    for (const char* name : {"/soft", "/dangling"})
    {
        std::string reason;
        bool refused = false;
        EXPECT_EQ(sys::OpenRegularFile(root + name, true, reason, refused), nullptr) << name;
        EXPECT_TRUE(refused) << name;
        EXPECT_EQ(reason, "it is a link") << name;
        for (bool update : {false, true})
        {
            refused = false;
            EXPECT_EQ(sys::OpenRegularFileAtName(root + name, update, reason, refused), nullptr)
                << name << update;
            EXPECT_TRUE(refused) << name << update;
            EXPECT_EQ(reason, "it is a link") << name << update;
        }
    }
    EXPECT_EQ(testsupport::ReadFile(scratch.Path() / "outside"), "outside");
    EXPECT_FALSE(fs::exists(scratch.Path() / "nowhere"));

    // A file with other names (a hard-link copy of its folder) is read at the name only as a
    // link; written there, it first takes the name to itself, so the other names keep their file.
    for (bool append : {true, false})
    {
        const std::string hard = root + "/hard" + (append ? "a" : "u");
        fs::create_hard_link(root + "/outside", hard);
        std::string reason;
        bool refused = false;
        EXPECT_EQ(sys::OpenRegularFileAtName(hard, false, reason, refused), nullptr);
        EXPECT_EQ(reason, "it is a link");
        std::FILE* file = append ? sys::OpenRegularFile(hard, true, reason, refused)
                                 : sys::OpenRegularFileAtName(hard, true, reason, refused);
        ASSERT_NE(file, nullptr) << reason;
        std::fseek(file, 0, SEEK_END);
        std::fputs("+", file);
        std::fclose(file);
        EXPECT_EQ(testsupport::ReadFile(hard), "outside+") << append;
        EXPECT_EQ(fs::hard_link_count(hard), 1u) << append;
    }
    EXPECT_EQ(testsupport::ReadFile(scratch.Path() / "outside"), "outside");
    EXPECT_EQ(fs::hard_link_count(root + "/outside"), 1u);

    const std::string fifo = root + "/fifo";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_TRUE(EndsWithin(5,
                           [&]
                           {
                               std::string reason;
                               bool refused = false;
                               return sys::OpenRegularFileAtName(fifo, true, reason, refused) ==
                                          nullptr &&
                                      refused && reason == "it is not a regular file";
                           }));

    // The file at the name itself: made when missing, then read and written in place.
    std::string reason;
    bool refused = false;
    std::FILE* made = sys::OpenRegularFileAtName(root + "/made", true, reason, refused);
    ASSERT_NE(made, nullptr) << reason;
    std::fputs("made", made);
    std::fclose(made);
    std::FILE* read = sys::OpenRegularFileAtName(root + "/made", false, reason, refused);
    ASSERT_NE(read, nullptr) << reason;
    char text[8] = {};
    EXPECT_EQ(std::fread(text, 1, sizeof text - 1, read), 4u);
    std::fclose(read);
    EXPECT_STREQ(text, "made");
    std::FILE* followed = sys::OpenRegularFile(root + "/soft", false, reason, refused);
    ASSERT_NE(followed, nullptr) << reason;
    std::fclose(followed);
}
