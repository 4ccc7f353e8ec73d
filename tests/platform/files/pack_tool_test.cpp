// Packs made by the pack writer tool: the exact layout, and the file layer reading them back.
#include "support/file_layer_fixture.h"

#include "pack_writer.h"
#include "platform/files/file.h"

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
