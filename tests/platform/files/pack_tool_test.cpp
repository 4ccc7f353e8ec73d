// Packs made by the pack writer tool: the exact layout, and the file layer reading them back.
#include "support/file_layer_fixture.h"

#include "pack_writer.h"
#include "platform/files/file.h"

namespace pack_tool_test
{
using filetest::FileLayerTest;
using filetest::PackBuilder;

namespace
{
std::string ReadEntry(const TString& name)
{
    TFile file;
    if (!file.Open(name, kFileReadBinary))
        return "<closed>";
    std::string out(static_cast<size_t>(file.Length()), '\0');
    out.resize(static_cast<size_t>(file.Read(out.data(), static_cast<int>(out.size()))));
    return out;
}
} // namespace

TEST(PackWriter, LayoutMatchesTheFormatByteForByte)
{
    std::vector<packtool::PackEntry> entries = {{"a/One.txt", "111"},
                                                {"b.bin", std::string(3, '\0')}};
    std::string pack;
    std::string error;
    ASSERT_TRUE(packtool::BuildPack(entries, pack, error));
    EXPECT_EQ(pack,
              PackBuilder().Add("a/One.txt", "111").Add("b.bin", std::string(3, '\0')).Build());
    // Spot-check the first record by hand: name length 9, offset 8 + 18 + 14 = 40, size 3.
    EXPECT_EQ(pack.substr(0, 9), std::string("QMPK\x02\x00\x00\x00\x09", 9));
    EXPECT_EQ(pack.substr(18, 8), std::string("\x28\x00\x00\x00\x03\x00\x00\x00", 8));
}

TEST(PackWriter, RefusesNamesThatDoNotFitTheDirectory)
{
    std::string pack;
    std::string error;
    EXPECT_FALSE(packtool::BuildPack({{std::string(256, 'n'), "x"}}, pack, error));
    EXPECT_FALSE(error.empty());
    EXPECT_FALSE(packtool::BuildPack({{"", "x"}}, pack, error));
    EXPECT_TRUE(packtool::BuildPack({{std::string(255, 'n'), "x"}}, pack, error));
    // Names the game would refuse.
    for (const char* name : {"user:prefs.dat", "a/../b.txt", "/abs.txt"})
    {
        error.clear();
        EXPECT_FALSE(packtool::BuildPack({{name, "x"}}, pack, error)) << name;
        EXPECT_NE(error.find(name), std::string::npos) << error;
    }
}

TEST_F(FileLayerTest, PacksFromTheToolFollowThePrecedenceRules)
{
    Folder("src1");
    Folder("src1/Sub");
    Write("src1/Sub/Shared.TXT", "from 1");
    Write("src1/loose.txt", "from pack");
    Folder("src2");
    Folder("src2/Sub");
    Write("src2/Sub/Shared.TXT", "from 2");
    std::vector<packtool::PackEntry> first;
    std::vector<packtool::PackEntry> second;
    std::string error;
    ASSERT_TRUE(packtool::CollectPackEntries(mRoot + "/src1", first, error));
    ASSERT_TRUE(packtool::CollectPackEntries(mRoot + "/src2", second, error));
    ASSERT_EQ(first.size(), 2u);
    EXPECT_EQ(first[0].mName, "Sub/Shared.TXT");
    ASSERT_TRUE(packtool::WritePackFile(mRoot + "/assets/data1.qmp", first, error));
    ASSERT_TRUE(packtool::WritePackFile(mRoot + "/assets/data2.qmp", second, error));
    Write("assets/loose.txt", "loose");
    InitFileSystem();
    EXPECT_EQ(ReadEntry("sub/shared.txt"), "from 2");
    EXPECT_EQ(ReadEntry("LOOSE.txt"), "loose");
    EXPECT_FALSE(sys::PathAccess(mRoot + "/assets/data1.qmp.tmp", 0));
}

TEST(PackWriter, MissingFolderIsAnError)
{
    std::vector<packtool::PackEntry> entries;
    std::string error;
    EXPECT_FALSE(packtool::CollectPackEntries("/no/such/folder/here", entries, error));
    EXPECT_NE(error.find("/no/such/folder/here"), std::string::npos);
}

// Only ".." as a whole part of a name (between "/", "\\" or ":") reaches out of its folder: names
// with two dots inside a part are taken by the pack tool and the game alike, and a data-folder file
// of such a name can be deleted.
TEST_F(FileLayerTest, OnlyAWholeDotDotPartIsRefusedByTheGameAndThePackTool)
{
    std::vector<packtool::PackEntry> entries = {
        {"music/theme..ogg", "t"}, {"..x/y.txt", "x"}, {"a/b..", "b"}, {"a/...", "c"}};
    std::string pack;
    std::string error;
    ASSERT_TRUE(packtool::BuildPack(entries, pack, error)) << error;
    Write("assets/p.qmp", pack);
    for (const char* name : {"a/..", "..", "a\\..\\b", "a/../b"})
    {
        EXPECT_FALSE(packtool::BuildPack({{name, "x"}}, pack, error)) << name;
        EXPECT_NE(error.find("a \"..\" part"), std::string::npos) << error;
    }
    Write("assets/q.qmp",
          PackBuilder().Add("a/..", "1").Add("a\\..\\b", "2").Add("ok.txt", "ok").Build());
    InitFileSystem();
    for (const auto& entry : entries)
        EXPECT_EQ(ReadEntry(entry.mName.c_str()), entry.mData) << entry.mName;
    EXPECT_EQ(ReadEntry("ok.txt"), "ok");
    EXPECT_EQ(ReadEntry("a/.."), "<closed>");
    EXPECT_EQ(ReadEntry("a\\..\\b"), "<closed>");
    EXPECT_NE(Log().find(": Pack ::assets/q.qmp: 2 entries refused"), std::string::npos) << Log();

    Write("user/theme..dat", "t");
    EXPECT_TRUE(DeleteFile("user:theme..dat"));
    EXPECT_FALSE(sys::PathAccess(mRoot + "/user/theme..dat", 0));
    Write("common/keep.txt", "k");
    EXPECT_FALSE(DeleteFile("user:../common/keep.txt"));
    EXPECT_FALSE(DeleteFile("user:..\\common/keep.txt"));
    EXPECT_TRUE(sys::PathAccess(mRoot + "/common/keep.txt", 0));
}

} // namespace pack_tool_test
