// Data folders on XDG, "-wd=", folder listing, path conversions, collation and the machine
// identifier.
#include "platform/files/data_folders.h"

#include "platform/config/config.h"
#include "platform/files/file.h"
#include "platform/files/file_layer.h"
#include "platform/log.h"
#include "sys/process/identity.h"
#include "sys/files/paths.h"
#include "support/environment.h"
#include "support/files.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <set>
#include <string>

namespace
{

class DataFolderTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        sys::MakeFolder(mRoot + "/home");
        mOldFolder = sys::GetCurrentFolder();
        ClearConfig();
    }
    void TearDown() override
    {
        sys::SetCurrentFolder(mOldFolder);
        ClearConfig();
        sys::SetAdapterAddressOverride(false);
    }
    bool IsFolder(const std::string& path) const
    {
        sys::FileStat st;
        return sys::StatPath(path, st) && st.isFolder;
    }

    testsupport::ScratchFolder mScratch{"mw_data"};
    std::string mRoot = mScratch.Path().string();
    testsupport::EnvironmentGuard mXdg{"XDG_DATA_HOME", mRoot + "/xdg"};
    testsupport::EnvironmentGuard mHome{"HOME", mRoot + "/home"};
    std::string mOldFolder;
};

} // namespace

// The user folder is made at once; the common folder, where nothing may ever be written, only
// with the first file written there.
TEST_F(DataFolderTest, UserAndCommonFoldersAreWhereTheMappingSaysTheCommonMadeByItsFirstFile)
{
    SetConfig("publisher", "Tovrix");
    TString user;
    ASSERT_EQ(GetAppDataFolder(false, "Murkwell", user, kMaxPathBytes), 0);
    EXPECT_EQ(user, TString((mRoot + "/xdg/Tovrix/Murkwell/").c_str()));
    EXPECT_TRUE(IsFolder(mRoot + "/xdg/Tovrix/Murkwell"));
    TString common;
    ASSERT_EQ(GetAppDataFolder(true, "Murkwell", common, kMaxPathBytes), 0);
    EXPECT_EQ(common, TString((mRoot + "/xdg/common/Tovrix/Murkwell/").c_str()));
    EXPECT_FALSE(sys::PathAccess(mRoot + "/xdg/common", 0));

    const TDataFolders folders =
        FixDataFolders("Murkwell", "/exe/folder/", "/start", false, TCommandLine(""));
    EXPECT_EQ(folders.mCommonFolder, TString((mRoot + "/xdg/common/Tovrix/Murkwell").c_str()));
    EXPECT_FALSE(sys::PathAccess(mRoot + "/xdg/common", 0));
    SetDataFolders(folders.mUserFolder, folders.mCommonFolder, folders.mDesktopFolder);
    TString reason;
    EXPECT_TRUE(WriteWholeFile("common:display.xml", "<Settings/>", 11, reason)) << reason.c_str();
    EXPECT_TRUE(sys::PathAccess(mRoot + "/xdg/common/Tovrix/Murkwell/display.xml", 4));
    SetDataFolders("", "", "");
}

TEST_F(DataFolderTest, UnsetPublisherIsQuillmark)
{
    TString user;
    ASSERT_EQ(GetAppDataFolder(false, "Game", user, kMaxPathBytes), 0);
    EXPECT_EQ(user, TString((mRoot + "/xdg/Quillmark/Game/").c_str()));
}

TEST_F(DataFolderTest, TooSmallBufferGivesTheNeededLength)
{
    SetConfig("publisher", "P");
    TString out("untouched");
    std::string special = mRoot + "/xdg/";
    int needed = static_cast<int>(special.size()) + 1 + 2 + 4;
    EXPECT_EQ(GetAppDataFolder(false, "Game", out, 10), needed);
    EXPECT_EQ(out, "untouched");
}

TEST_F(DataFolderTest, FixDataFoldersDropsTrailingSlashesAndFallsBack)
{
    SetConfig("publisher", "Tovrix");
    TDataFolders folders =
        FixDataFolders("Murkwell", "/exe/folder/", "/start", false, TCommandLine(""));
    EXPECT_EQ(folders.mUserFolder, TString((mRoot + "/xdg/Tovrix/Murkwell").c_str()));
    EXPECT_EQ(folders.mCommonFolder, TString((mRoot + "/xdg/common/Tovrix/Murkwell").c_str()));
    // No desktop folder in the scratch home: the user folder (with its separator) stands in.
    EXPECT_EQ(folders.mDesktopFolder, TString((mRoot + "/xdg/Tovrix/Murkwell/").c_str()));

    sys::MakeFolder(mRoot + "/home/Desktop");
    folders = FixDataFolders("Murkwell", "/exe/folder/", "/start", false, TCommandLine(""));
    EXPECT_EQ(folders.mDesktopFolder, TString((mRoot + "/home/Desktop/").c_str()));
}

TEST_F(DataFolderTest, HostedWithoutPqKeepsTheExecutableFolder)
{
    TDataFolders folders =
        FixDataFolders("Murkwell", "/exe/folder/", "/start", true, TCommandLine("-aol"));
    EXPECT_EQ(folders.mUserFolder, "/exe/folder");
    EXPECT_EQ(folders.mCommonFolder, "/exe/folder");
    EXPECT_EQ(folders.mDesktopFolder, "/exe/folder/");
    folders =
        FixDataFolders("Murkwell", "/exe/folder/", "/start", true, TCommandLine("-msn -pq=1"));
    EXPECT_EQ(folders.mUserFolder, TString((mRoot + "/xdg/Quillmark/Murkwell").c_str()));
}

TEST_F(DataFolderTest, WorkingFolderSwitchReportsAMissingFolder)
{
    std::string spaced = mRoot + "/with blank";
    sys::MakeFolder(spaced);
    TDataFolders folders = FixDataFolders(
        "G", "/exe/", "/start", true, TCommandLine(("-wd=\"" + spaced + "\" -multiple").c_str()));
    EXPECT_EQ(sys::GetCurrentFolder(), spaced);
    EXPECT_TRUE(folders.mWorkingFolderSwitched);

    folders = FixDataFolders("G", "/exe/", "/start", true,
                             TCommandLine(("-wd=" + mRoot + "/none").c_str()));
    EXPECT_FALSE(folders.mWorkingFolderSwitched);
    EXPECT_EQ(sys::GetCurrentFolder(), spaced);
}

// The program makes its own folder current first; the player named the folder from where they
// started it.
TEST_F(DataFolderTest, ARelativeWorkingFolderIsTakenFromTheStartUpFolder)
{
    sys::MakeFolder(mRoot + "/game");
    sys::SetCurrentFolder(mRoot + "/home");
    TDataFolders folders = FixDataFolders("G", "/exe/", mRoot.c_str(), true, TCommandLine("-wd=."));
    EXPECT_TRUE(folders.mWorkingFolderSwitched);
    EXPECT_EQ(sys::GetCurrentFolder(), mRoot);
    folders = FixDataFolders("G", "/exe/", mRoot.c_str(), true, TCommandLine("-wd=game/"));
    EXPECT_EQ(sys::GetCurrentFolder(), mRoot + "/game");
    // Without the start-up folder a relative name stands on nothing: the folder stays.
    folders = FixDataFolders("G", "/exe/", "", true, TCommandLine("-wd=.."));
    EXPECT_FALSE(folders.mWorkingFolderSwitched);
    EXPECT_EQ(sys::GetCurrentFolder(), mRoot + "/game");
}

// The data folder is not held to the 260-byte path limit: as deep as the system allows, with room
// left for the files' names; beyond that, and without any folder to put it in, the program's
// folder holds the files and the reason is given for the player.
TEST_F(DataFolderTest, TheDataFolderMayBeAsLongAsTheSystemAllowsAndElseSaysWhy)
{
    SetConfig("publisher", "Tovrix");
    std::string deep = mRoot;
    while (deep.size() < 300)
        deep += "/" + std::string(100, 'd');
    testsupport::EnvironmentGuard longXdg("XDG_DATA_HOME", deep);
    TDataFolders folders =
        FixDataFolders("Murkwell", "/exe/folder/", "/start", false, TCommandLine(""));
    EXPECT_EQ(folders.mUserFolder, TString((deep + "/Tovrix/Murkwell").c_str()));
    EXPECT_TRUE(IsFolder(deep + "/Tovrix/Murkwell"));
    EXPECT_EQ(folders.mNoUserFolder, "");

    // "/Tovrix/Murkwell/" takes this one past the bound by one byte.
    const size_t length = kMaxDataFolderBytes - 16;
    std::string tooDeep = mRoot;
    while (length - tooDeep.size() > 251)
        tooDeep += "/" + std::string(249, 'e');
    tooDeep += "/" + std::string(length - tooDeep.size() - 1, 'f');
    ASSERT_EQ(tooDeep.size(), length);
    testsupport::EnvironmentGuard tooLongXdg("XDG_DATA_HOME", tooDeep);
    folders = FixDataFolders("Murkwell", "/exe/folder/", "/start", false, TCommandLine(""));
    EXPECT_EQ(folders.mUserFolder, "/exe/folder");
    EXPECT_EQ(folders.mNoUserFolder,
              TString::Format("its path would be %d bytes long, more than the %d this system "
                              "allows",
                              kMaxDataFolderBytes + 1, kMaxDataFolderBytes));

    testsupport::EnvironmentGuard noXdg("XDG_DATA_HOME");
    testsupport::EnvironmentGuard noHome("HOME");
    unsetenv("XDG_DATA_HOME");
    unsetenv("HOME");
    folders = FixDataFolders("Murkwell", "/exe/folder/", "/start", false, TCommandLine(""));
    EXPECT_EQ(folders.mUserFolder, "/exe/folder");
    EXPECT_EQ(folders.mNoUserFolder, "neither XDG_DATA_HOME nor HOME names an absolute folder");
    // Hosted without its page, the program's folder is meant: nothing to say.
    folders = FixDataFolders("Murkwell", "/exe/folder/", "/start", true, TCommandLine("-aol"));
    EXPECT_EQ(folders.mNoUserFolder, "");
}

TEST_F(DataFolderTest, FolderSearchSkipsDotsAndFoldersUnlessAsked)
{
    std::string folder = mRoot + "/list";
    sys::MakeFolder(folder);
    FolderSearch search(folder.c_str());
    TString name;
    EXPECT_FALSE(search.Next(name, nullptr));

    sys::MakeFolder(folder + "/Sub");
    std::ofstream(folder + "/File.txt") << "x";
    search.Open((folder + "/").c_str());
    std::set<std::string> files;
    while (search.Next(name, nullptr))
        files.insert(name.c_str());
    EXPECT_EQ(files, (std::set<std::string>{"File.txt"}));

    search.Open(folder.c_str());
    std::set<std::pair<std::string, bool>> all;
    bool isFolder = false;
    while (search.Next(name, &isFolder))
        all.insert({name.c_str(), isFolder});
    EXPECT_EQ(all, (std::set<std::pair<std::string, bool>>{{"File.txt", false}, {"Sub", true}}));
    search.Open(TString());
    EXPECT_FALSE(search.Next(name, &isFolder));
}

TEST(DataFolders, WideConversionsRoundTrip)
{
    const char* text = "A\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80";
    const char16_t* wide = Utf8ToWide(text);
    EXPECT_EQ(std::u16string(wide), (std::u16string{u'A', 0xE9, 0x20AC, 0xD83D, 0xDE00}));
    EXPECT_EQ(WideToUtf8(wide), text);
    EXPECT_EQ(Utf8ToWide("")[0], 0);
    EXPECT_EQ(WideToUtf8(u""), "");
    // Broken sequences are U+FFFD: an overlong "/" never becomes one in a path.
    EXPECT_EQ(std::u16string(Utf8ToWide("a\xC0\xAF"
                                        "b\xED\xA0\x80")),
              (std::u16string{u'a', 0xFFFD, 0xFFFD, u'b', 0xFFFD, 0xFFFD, 0xFFFD}));
}

TEST(DataFolders, FullAndShortPaths)
{
    EXPECT_EQ(GetFullPath("/a/./b/../c"), "/a/c");
    EXPECT_EQ(GetFullPath(TString(("/" + std::string(300, 'x')).c_str())), "");
    TString path("/some/long/path");
    GetShortPath(path, 260);
    EXPECT_EQ(path, "/some/long/path");
    GetShortPath(path, 6);
    EXPECT_EQ(path, "/some");
}

TEST(DataFolders, WithoutTheLocaleLibraryCollationIsBytewise)
{
    EXPECT_LT(Collate("a", "b"), 0);
    EXPECT_GT(Collate("\xC3", "z"), 0);
    EXPECT_EQ(Collate("same", "same"), 0);
    EXPECT_EQ(Collate("ab", "abc"), -1);
}

TEST(DataFolders, ComputerIdFromTheAdapterAddress)
{
    const uint8_t address[8] = {0x00, 0x11, 0x22, 0x33, 0x44, 0x55, 0, 0};
    sys::SetAdapterAddressOverride(true, address, true);
    EXPECT_EQ(MakeComputerId(), "QBSDQDWHQFFJWKDK");
    // A pair's first character is not always a letter.
    const uint8_t odd[8] = {0x1B, 0, 0, 0, 0, 0, 0, 0};
    sys::SetAdapterAddressOverride(true, odd, true);
    EXPECT_EQ(MakeComputerId(), "[B@C@D@E@F@G@H[I");
    sys::SetAdapterAddressOverride(false);
}

TEST(DataFolders, ComputerIdWithoutAnAdapterComesFromAGuid)
{
    sys::SetAdapterAddressOverride(true, nullptr, false);
    TString id = MakeComputerId();
    ASSERT_EQ(id.Length(), 16);
    for (int i = 0; i < 8; ++i)
    {
        unsigned first = static_cast<unsigned char>(id.CharAt(2 * i));
        unsigned second = static_cast<unsigned char>(id.CharAt(2 * i + 1));
        EXPECT_GE(first, 64u);
        EXPECT_LE(first, 95u);
        EXPECT_GE(second, 66u + i);
        EXPECT_LE(second, 73u + i);
    }
    sys::SetAdapterAddressOverride(false);
}
