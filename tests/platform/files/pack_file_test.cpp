// Pack files built byte by byte: precedence, names, bad directories, bounds, reads and re-reads.
#include "support/file_layer_fixture.h"

#include "platform/files/file.h"

#include <cstdio>
#include <cstring>
#include <unistd.h>

using filetest::FileLayerTest;
using filetest::PackBuilder;

namespace
{
std::string ReadEntry(const TString& name, int mode = kFileReadBinary)
{
    TFile file;
    if (!file.Open(name, mode))
        return "<closed>";
    std::string out(static_cast<size_t>(file.Length()) + 8, '\0');
    int n = file.Read(out.data(), static_cast<int>(out.size()));
    out.resize(static_cast<size_t>(n));
    return out;
}
} // namespace

TEST_F(FileLayerTest, PackLayoutGivesEntryLocations)
{
    Write("assets/one.qmp", PackBuilder().Add("Dir/Entry.TXT", "hello").Build());
    InitFileSystem();
    // 8 header bytes + 1 + 13 + 8 directory bytes put the data at 30.
    EXPECT_EQ(ResolvePath("dir/entry.txt", true), "@0:30,5");
    EXPECT_EQ(ReadEntry("DIR/entry.txt"), "hello");
    EXPECT_EQ(GetPackCount(), 1);
}

TEST_F(FileLayerTest, LaterSortedPackWinsAndLooseFileBeatsPacks)
{
    Write("assets/b.qmp", PackBuilder().Add("shared.txt", "from b").Add("only_b.txt", "b").Build());
    Write("assets/a.qmp",
          PackBuilder().Add("shared.txt", "from a").Add("loose.txt", "pack").Build());
    Write("assets/loose.txt", "loose");
    InitFileSystem();
    EXPECT_EQ(ReadEntry("shared.txt"), "from b");
    EXPECT_EQ(ReadEntry("only_b.txt"), "b");
    EXPECT_EQ(ReadEntry("loose.txt"), "loose");
}

TEST_F(FileLayerTest, PackNamesMatchQmpAnywhereButOnlyInLowerCase)
{
    Write("assets/extra.qmp.bak", PackBuilder().Add("x.txt", "x").Build());
    Write("assets/upper.QMP", PackBuilder().Add("y.txt", "y").Build());
    InitFileSystem();
    EXPECT_EQ(ReadEntry("x.txt"), "x");
    EXPECT_FALSE(FileExists("y.txt"));
}

TEST_F(FileLayerTest, ExclusionListDoesNotHidePackEntries)
{
    Write("assets/p.qmp", PackBuilder().Add("secret.txt", "s").Build());
    Write("final.txt", "secret.txt");
    InitFileSystem();
    EXPECT_EQ(ReadEntry("secret.txt"), "s");
}

TEST_F(FileLayerTest, WrongMagicIsSkippedSilently)
{
    Write("assets/bad.qmp", PackBuilder().Add("z.txt", "z").Build("QMPX"));
    Write("assets/short.qmp", "QM");
    InitFileSystem();
    EXPECT_FALSE(FileExists("z.txt"));
    EXPECT_EQ(GetPackCount(), 0);
    EXPECT_EQ(Log(), "");
}

TEST_F(FileLayerTest, EmptyOrNegativeCountStillTakesATableIndex)
{
    std::string negative = "QMPK";
    PackBuilder::PutU32(negative, 0xFFFFFFFFu);
    Write("assets/a.qmp", negative);
    Write("assets/b.qmp", PackBuilder().Build());
    Write("assets/c.qmp", PackBuilder().Add("c.txt", "c").Build());
    InitFileSystem();
    EXPECT_EQ(GetPackCount(), 3);
    EXPECT_EQ(ResolvePath("c.txt", true), "@2:22,1");
}

TEST_F(FileLayerTest, DirectoryCutShortKeepsTheEntriesBeforeTheCut)
{
    std::string pack = PackBuilder().Add("first.txt", "1").Add("second.txt", "2").Build();
    // Cut inside the second record: the data of the first entry lies beyond the cut too, so give
    // the first record an offset inside what is left.
    std::string cut = pack.substr(0, 8 + 1 + 9 + 8 + 1 + 4);
    // Point the first entry at byte 0 (the magic) with size 4.
    cut.replace(8 + 1 + 9, 8, std::string("\0\0\0\0\4\0\0\0", 8));
    Write("assets/cut.qmp", cut);
    InitFileSystem();
    EXPECT_EQ(ReadEntry("first.txt"), "QMPK");
    EXPECT_FALSE(FileExists("second.txt"));
    EXPECT_NE(Log().find(": Pack ::assets/cut.qmp: directory cut short after 1 entries\n"),
              std::string::npos);
}

// An empty key is the folder walk's "start again" cursor: a nameless entry must never become one.
TEST_F(FileLayerTest, NamelessEntriesAreSkippedAndTheRestOfThePackKept)
{
    std::string empty = "QMPK";
    PackBuilder::PutU32(empty, 1);
    empty += std::string(9, '\0');
    ASSERT_EQ(empty.size(), 17u);
    Write("assets/a.qmp", empty);
    // A NUL-led name between two good entries, and a damaged count over a run of zero bytes.
    Write("assets/b.qmp", PackBuilder()
                              .Add("one.txt", "1")
                              .Add(std::string("\0x", 2), "?")
                              .Add("two.txt", "2")
                              .Build());
    std::string flood = "QMPK";
    PackBuilder::PutU32(flood, 5000);
    flood += std::string(9 * 3000, '\0');
    Write("assets/c.qmp", flood);
    InitFileSystem();
    EXPECT_EQ(GetPackCount(), 3);
    EXPECT_EQ(ReadEntry("one.txt"), "1");
    EXPECT_EQ(ReadEntry("two.txt"), "2");
    EXPECT_FALSE(FileExists(""));
    // The walk of the asset folder ends, passing the good entries once.
    TString cursor;
    std::string walked;
    for (int steps = 0; steps < 100 && NextFileInFolder(TString(), cursor, false); ++steps)
        walked += std::string(cursor.c_str()) + " ";
    EXPECT_NE(walked.find("a.qmp b.qmp c.qmp one.txt two.txt "), std::string::npos) << walked;
    EXPECT_LT(walked.size(), 200u) << walked;
    std::string log = Log();
    EXPECT_NE(log.find(": Pack ::assets/a.qmp: 1 entries without a name skipped\n"),
              std::string::npos);
    EXPECT_NE(log.find(": Pack ::assets/b.qmp: 1 entries without a name skipped\n"),
              std::string::npos);
    EXPECT_NE(log.find(": Pack ::assets/c.qmp: 3000 entries without a name skipped\n"),
              std::string::npos);
    EXPECT_NE(log.find(": Pack ::assets/c.qmp: directory cut short after 3000 entries\n"),
              std::string::npos);
}

TEST_F(FileLayerTest, EntriesRunningPastThePackAreRefusedWhenOpened)
{
    std::string pack = "QMPK";
    PackBuilder::PutU32(pack, 3);
    auto record = [&pack](const std::string& name, uint32_t offset, uint32_t size)
    {
        pack += static_cast<char>(name.size());
        pack += name;
        PackBuilder::PutU32(pack, offset);
        PackBuilder::PutU32(pack, size);
    };
    record("past.txt", 10, 1000);
    record("negative.txt", 4, 0x80000000u);
    record("huge.txt", 0x90000000u, 1);
    Write("assets/bad.qmp", pack);
    InitFileSystem();
    // An entry past what an int holds is refused with the directory.
    EXPECT_EQ(ResolvePath("negative.txt", true), "");
    EXPECT_EQ(ResolvePath("huge.txt", true), "@0:2415919104,1");
    TFile file;
    EXPECT_FALSE(file.Open("past.txt", kFileReadBinary));
    EXPECT_FALSE(file.Open("negative.txt", kFileReadBinary));
    EXPECT_FALSE(file.Open("huge.txt", kFileReadBinary));
    std::string log = Log();
    EXPECT_NE(log.find(": error reading @0:10,1000 from flat file\n"), std::string::npos);
    EXPECT_NE(log.find(": Pack ::assets/bad.qmp: 1 entries refused, larger than the 2147483647 "
                       "bytes a file may hold (the first: 'negative.txt', 2147483648 bytes)\n"),
              std::string::npos);
    EXPECT_NE(log.find(": error reading @0:2415919104,1 from flat file\n"), std::string::npos);
}

TEST_F(FileLayerTest, BadLocationsFailQuietly)
{
    Write("assets/p.qmp", PackBuilder().Add("e.txt", "e").Build());
    InitFileSystem();
    RegisterMemoryFileName("probe", "x", 1);
    GetPathMap()["nocolon"] = "@0";
    GetPathMap()["nocomma"] = "@0:1";
    GetPathMap()["beyond"] = "@7:0,1";
    TFile file;
    EXPECT_FALSE(file.Open("nocolon", kFileReadBinary));
    EXPECT_FALSE(file.Open("nocomma", kFileReadBinary));
    EXPECT_FALSE(file.Open("beyond", kFileReadBinary));
    EXPECT_EQ(Log(), "");
}

TEST_F(FileLayerTest, EntryEndFlagIsSetOnlyByAShortRead)
{
    Write("assets/p.qmp", PackBuilder().Add("ten.bin", "0123456789").Add("empty", "").Build());
    InitFileSystem();
    TFile file;
    char none[1];
    ASSERT_TRUE(file.Open("empty", kFileReadBinary));
    EXPECT_EQ(file.Read(none, 1), 0);
    EXPECT_TRUE(file.AtEnd());
    ASSERT_TRUE(file.Open("ten.bin", kFileReadBinary));
    char buffer[16];
    EXPECT_EQ(file.Read(buffer, 10), 10);
    EXPECT_FALSE(file.AtEnd());
    EXPECT_EQ(file.Read(buffer, 1), 0);
    EXPECT_TRUE(file.AtEnd());
    file.Seek(0, kSeekStart);
    EXPECT_FALSE(file.AtEnd());
    file.Seek(-3, kSeekEnd);
    EXPECT_EQ(file.Tell(), 7);
    file.Seek(100, kSeekCurrent);
    EXPECT_EQ(file.Tell(), 10);
    EXPECT_EQ(file.Read(buffer, 4), 0);
    file.UngetLast();
    EXPECT_FALSE(file.AtEnd());
    EXPECT_EQ(file.Read(buffer, 4), 1);
    EXPECT_EQ(buffer[0], '9');
}

TEST_F(FileLayerTest, EntryReadInTextModeDropsCarriageReturns)
{
    Write("assets/p.qmp", PackBuilder().Add("t.txt", "a\r\nb\rc").Build());
    InitFileSystem();
    EXPECT_EQ(ReadEntry("t.txt", kFileReadText), "a\nbc");
    EXPECT_EQ(ReadEntry("t.txt", kFileReadBinary), "a\r\nb\rc");
}

TEST_F(FileLayerTest, EntriesOpenForWritingTakeNoBytes)
{
    Write("assets/p.qmp", PackBuilder().Add("w.txt", "w").Build());
    InitFileSystem();
    TFile file;
    ASSERT_TRUE(file.Open("w.txt", kFileWriteBinary));
    EXPECT_EQ(file.Write("x", 1), 0);
    file.Close();
    EXPECT_FALSE(DeleteFile("w.txt"));
    EXPECT_EQ(ReadEntry("w.txt"), "w");
}

TEST_F(FileLayerTest, RereadingAPackKeepsItsIndexAndOpenEntriesReadable)
{
    Write("assets/p.qmp", PackBuilder().Add("e.txt", "first").Build());
    InitFileSystem();
    TFile open;
    ASSERT_TRUE(open.Open("e.txt", kFileReadBinary));

    // Replaced as a save would replace it: a new file under the old name.
    Write("assets/p.new", PackBuilder().Add("e.txt", "other").Add("f.txt", "new").Build());
    ASSERT_TRUE(sys::RenameFile(mRoot + "/assets/p.new", mRoot + "/assets/p.qmp"));
    ReadPack("::assets/p.qmp", GetPathMap());
    EXPECT_EQ(GetPackCount(), 1);
    char buffer[5];
    ASSERT_EQ(open.Read(buffer, 5), 5);
    EXPECT_EQ(std::string(buffer, 5), "first");
    EXPECT_EQ(ReadEntry("f.txt"), "new");
    EXPECT_EQ(ReadEntry("e.txt"), "other");
}

TEST_F(FileLayerTest, PacksListedInOtherFoldersAreReadFromTheAssetFolder)
{
    Write("assets/shared.qmp", PackBuilder().Add("s.txt", "asset pack").Build());
    Write("user/shared.qmp", PackBuilder().Add("s.txt", "user pack").Build());
    Write("user/lonely.qmp", PackBuilder().Add("l.txt", "l").Build());
    InitFileSystem();
    EXPECT_EQ(ReadEntry("s.txt"), "asset pack");
    EXPECT_FALSE(FileExists("l.txt"));
}

// An entry read that finds its pack shorter than the directory said (the pack replaced in place or
// its drive gone while the game runs) comes short with the read-error line, never as a signal.
TEST_F(FileLayerTest, APackCutWhileItIsReadGivesShortReadsAndALine)
{
    const std::string big(64 << 10, 'b');
    Write("assets/p.qmp", PackBuilder().Add("head.txt", "a\r\nb").Add("big.bin", big).Build());
    InitFileSystem();
    TFile early;
    ASSERT_TRUE(early.Open("big.bin", kFileReadBinary));
    std::string buffer(big.size(), '\0');
    ASSERT_EQ(early.Read(buffer.data(), 10000), 10000);

    ASSERT_EQ(truncate((mRoot + "/assets/p.qmp").c_str(), 20000), 0);
    // The entry's data starts at 45: 19955 bytes of it are left, 10000 of them read already.
    EXPECT_EQ(early.Read(buffer.data(), static_cast<int>(big.size())), 9955);
    EXPECT_TRUE(early.AtEnd());
    EXPECT_EQ(early.Read(buffer.data(), 10), 0);
    TFile late;
    ASSERT_TRUE(late.Open("big.bin", kFileReadText));
    EXPECT_EQ(late.Read(buffer.data(), static_cast<int>(big.size())), 19955);
    // A byte at a time, as the XML and script readers take it, up to the cut.
    TFile bytes;
    ASSERT_TRUE(bytes.Open("big.bin", kFileReadBinary));
    int taken = 0;
    while (FileGetc(&bytes) == 'b')
        ++taken;
    EXPECT_EQ(taken, 19955);
    EXPECT_EQ(ReadEntry("head.txt", kFileReadText), "a\nb");

    ASSERT_EQ(truncate((mRoot + "/assets/p.qmp").c_str(), 0), 0);
    EXPECT_EQ(ReadEntry("head.txt"), "");
    const std::string log = Log();
    EXPECT_NE(log.find(": error reading @0:45,65536 from flat file\n"), std::string::npos) << log;
    EXPECT_NE(log.find(": error reading @0:41,4 from flat file\n"), std::string::npos) << log;
}

// Names that would stand for the player's files ("user:prefs.dat") or lie outside the assets are
// refused; the player's own files are then found on disk and saved there.
TEST_F(FileLayerTest, EntryNamesReachingOutsideTheAssetsAreRefusedWithALine)
{
    Write("assets/p.qmp", PackBuilder()
                              .Add("user:prefs.dat", "planted")
                              .Add("USER:hiscore.dat", "planted")
                              .Add("../up.txt", "u")
                              .Add("dir/../../x.txt", "x")
                              .Add("/abs.txt", "a")
                              .Add("common:display.xml", "c")
                              .Add("good/entry.txt", "good")
                              .Build());
    Write("user/hiscore.dat", "mine");
    InitFileSystem();
    EXPECT_EQ(ReadEntry("good/entry.txt"), "good");
    EXPECT_FALSE(FileExists("user:prefs.dat"));
    EXPECT_EQ(ReadEntry("user:hiscore.dat"), "mine");
    for (const char* name : {"../up.txt", "dir/../../x.txt", "/abs.txt", "common:display.xml"})
        EXPECT_EQ(ResolvePath(name, true).CharAt(0), '\0') << name;
    EXPECT_NE(Log().find(": Pack ::assets/p.qmp: 6 entries refused, whose names hold \":\" or a "
                         "\"..\" part or begin with \"/\" (the first: 'user:prefs.dat')\n"),
              std::string::npos)
        << Log();
}

// Offsets are unsigned 32-bit numbers: an entry past 2 GiB is read; a pack past what they address
// is refused whole. The packs are sparse files, so they take no room on the disk.
TEST_F(FileLayerTest, OffsetsPast2GiBAreReadAndAPackPast4GiBIsRefused)
{
    auto sparsePack = [this](const std::string& relative, uint64_t entryAt, uint64_t fileSize)
    {
        std::string pack = "QMPK";
        PackBuilder::PutU32(pack, 1);
        pack += static_cast<char>(7);
        pack += "far.txt";
        PackBuilder::PutU32(pack, static_cast<uint32_t>(entryAt));
        PackBuilder::PutU32(pack, 3);
        Write(relative, pack);
        const std::string path = mRoot + "/" + relative;
        ASSERT_EQ(truncate(path.c_str(), static_cast<off_t>(fileSize)), 0);
        FILE* f = std::fopen(path.c_str(), "r+b");
        ASSERT_NE(f, nullptr);
        ASSERT_EQ(fseeko(f, static_cast<off_t>(entryAt), SEEK_SET), 0);
        std::fputs("far", f);
        std::fclose(f);
    };
    sparsePack("assets/a.qmp", 0x90000000ull, 0x90000003ull);
    InitFileSystem();
    EXPECT_EQ(ResolvePath("far.txt", true), "@0:2415919104,3");
    EXPECT_EQ(ReadEntry("far.txt"), "far");

    ClearPathMap();
    ClearPackTable();
    sparsePack("assets/a.qmp", 0xF0000000ull, 0x100000000ull);
    InitFileSystem();
    EXPECT_FALSE(FileExists("far.txt"));
    EXPECT_NE(Log().find(": Pack ::assets/a.qmp: 4294967296 bytes, more than the 4294967295 a "
                         "pack can address; not read\n"),
              std::string::npos)
        << Log();
}

// An open file answers its length and position in an int: a pack entry past INT32_MAX bytes is
// refused with a line, one of exactly INT32_MAX is read to its end, and a disk file past 2 GiB
// answers INT32_MAX rather than a negative number. The files are sparse: they take no room.
TEST_F(FileLayerTest, EntriesPastWhatAnIntHoldsAreRefusedAndNoFileAnswersANegativeSize)
{
    std::string pack = "QMPK";
    PackBuilder::PutU32(pack, 2);
    const uint32_t data = 8 + 2 * (1 + 7 + 8);
    for (const auto& [name, size] : {std::pair<std::string, uint32_t>{"big.bin", 0xA0000000u},
                                     std::pair<std::string, uint32_t>{"max.bin", 0x7FFFFFFFu}})
    {
        pack += static_cast<char>(name.size());
        pack += name;
        PackBuilder::PutU32(pack, data);
        PackBuilder::PutU32(pack, size);
    }
    Write("assets/p.qmp", pack);
    const std::string path = mRoot + "/assets/p.qmp";
    ASSERT_EQ(truncate(path.c_str(), static_cast<off_t>(data) + 0xA0000000ll), 0);
    FILE* f = std::fopen(path.c_str(), "r+b");
    ASSERT_NE(f, nullptr);
    ASSERT_EQ(fseeko(f, static_cast<off_t>(data) + 0x7FFFFFFFll - 3, SEEK_SET), 0);
    std::fputs("end", f);
    std::fclose(f);
    InitFileSystem();

    EXPECT_FALSE(FileExists("big.bin"));
    TFlatFileMap big;
    EXPECT_FALSE(big.Open("@0:40,2684354560", kFileReadBinary));
    EXPECT_TRUE(big.Open("@0:40,2147483647", kFileReadBinary));
    TFile max;
    ASSERT_TRUE(max.Open("max.bin", kFileReadBinary));
    EXPECT_EQ(max.Length(), 0x7FFFFFFF);
    max.Seek(-3, kSeekEnd);
    EXPECT_EQ(max.Tell(), 0x7FFFFFFF - 3);
    char end[4] = {};
    EXPECT_EQ(max.Read(end, 8), 3);
    EXPECT_STREQ(end, "end");
    EXPECT_EQ(max.Tell(), 0x7FFFFFFF);
    EXPECT_NE(Log().find(": Pack ::assets/p.qmp: 1 entries refused, larger than the 2147483647 "
                         "bytes a file may hold (the first: 'big.bin', 2684354560 bytes)\n"),
              std::string::npos)
        << Log();

    TFile disk;
    ASSERT_TRUE(disk.Open(TString(("::" + path).c_str()), kFileReadBinary));
    EXPECT_EQ(disk.Length(), 0x7FFFFFFF);
    disk.Seek(0, kSeekEnd);
    EXPECT_EQ(disk.Tell(), 0x7FFFFFFF);
}

// Each entry costs the path map about 190 bytes: a pack whose directory would take the packs
// together past kMaxPackEntries is refused unread with a line, as a document past its bound is,
// and the packs within it are read.
TEST_F(FileLayerTest, APackPastTheEntriesThePacksMayHoldIsRefusedUnreadWithALine)
{
    auto declaring = [](uint32_t count)
    {
        std::string pack = "QMPK";
        PackBuilder::PutU32(pack, count);
        return pack;
    };
    constexpr uint32_t kHalf = kMaxPackEntries / 2;
    PackBuilder big;
    for (uint32_t i = 0; i <= kHalf; ++i)
        big.Add("e" + std::to_string(i), "");
    Write("assets/a_lone.qmp", declaring(kMaxPackEntries + 1));
    Write("assets/b_big.qmp", big.Build());
    Write("assets/c_more.qmp", declaring(kHalf));
    Write("assets/d_small.qmp", PackBuilder().Add("small.txt", "s").Build());
    InitFileSystem();
    EXPECT_EQ(GetPackCount(), 2);
    EXPECT_TRUE(FileExists("e0"));
    EXPECT_EQ(ReadEntry("small.txt"), "s");
    const std::string log = Log();
    EXPECT_NE(log.find(": Pack ::assets/a_lone.qmp was not read: its directory holds 262145 "
                       "entries, more than the 262144 the packs may hold together (0 in those "
                       "read before it)\n"),
              std::string::npos)
        << log;
    EXPECT_NE(log.find(": Pack ::assets/c_more.qmp was not read: its directory holds 131072 "
                       "entries, more than the 262144 the packs may hold together (131073 in "
                       "those read before it)\n"),
              std::string::npos)
        << log;
}

// Each pack read keeps a descriptor for the run: past 256 they are refused, the first with a line,
// and a pack read again keeps its place.
TEST_F(FileLayerTest, PacksPastTheBoundAreRefusedAndTheFirstIsSaid)
{
    for (int i = 0; i < kMaxOpenPacks + 2; ++i)
    {
        char name[32];
        std::snprintf(name, sizeof name, "assets/p%03d.qmp", i);
        Write(name, PackBuilder().Add("e" + std::to_string(i), "x").Build());
    }
    InitFileSystem();
    EXPECT_EQ(GetPackCount(), 256);
    EXPECT_TRUE(FileExists("e255"));
    EXPECT_FALSE(FileExists("e256"));
    ReadPack("::assets/p000.qmp", GetPathMap());
    EXPECT_EQ(GetPackCount(), 256);
    const std::string log = Log();
    EXPECT_NE(log.find(": ERROR: Pack ::assets/p256.qmp was not read, nor any other past the 256 "
                       "packs the game keeps open: the files in them are not found\n"),
              std::string::npos)
        << log;
    EXPECT_EQ(log.find("p257.qmp"), std::string::npos) << log;
}
