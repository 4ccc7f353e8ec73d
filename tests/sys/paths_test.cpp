// Folders and paths: XDG mapping of the special folders, full paths, folder listing, file calls.
#include "sys/paths.h"

#include "support/environment.h"
#include "support/files.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <set>
#include <string>

namespace
{

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
