// Tests of the string tables: row scanning, the packed form, escapes, missing labels, the
// "stringtest" mode and the start-up loading order.
#include "platform/strings/string_table.h"

#include "platform/config/config.h"
#include "platform/config/xml.h"
#include "platform/files/file_layer.h"
#include "platform/log.h"
#include "support/files.h"
#include "platform/zxml_test_support.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace
{

std::string Row(const std::string& label, const std::string& text)
{
    return "<Row ss:AutoFitHeight=\"0\">\n  <Cell><Data ss:Type=\"String\">" + label +
           "</Data></Cell>\n  <Cell ss:StyleID=\"s1\"><Data ss:Type=\"String\">" + text +
           "</Data></Cell>\n</Row>\n";
}

std::string Sheet(const std::string& rows)
{
    return "<?xml version=\"1.0\"?>\n<Workbook><Worksheet ss:Name=\"Sheet1\"><Table>\n" + rows +
           "</Table></Worksheet></Workbook>\n";
}

using zxmltest::Pack;

class StringTableTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        fs::create_directories(mRoot / "log");
        SetLogFolder((mRoot / "log").c_str());
        SetConfig("stringtest", "0");
    }
    void TearDown() override
    {
        SetLogFolder(nullptr);
        SetConfig("stringtest", "0");
        ClearPathMap();
    }
    std::string LogText() const { return testsupport::ReadFile(mRoot / "log" / "logfile.txt"); }
    void Load(const std::string& text)
    {
        ASSERT_TRUE(mTable.LoadBuffer(text.data(), static_cast<uint32_t>(text.size())));
    }
    static void Write(const fs::path& path, const std::string& text)
    {
        testsupport::WriteFile(path, text);
    }
    std::string Get(const char* label, const char* a1 = "", const char* a2 = "")
    {
        return mTable.GetString(TString(label), TString(a1), TString(a2)).c_str();
    }

    testsupport::ScratchFolder mScratch{"mw_strings"};
    fs::path mRoot = mScratch.Path();
    TStringTable mTable;
};

} // namespace

TEST_F(StringTableTest, RowsGiveLabelAndTextFromTheirFirstTwoDataCells)
{
    Load(Sheet(Row("HELLO", "Hello there") + Row("BYE", "Good  bye") +
               "<Row><Cell><Data>A</Data></Cell><Cell><Data>1</Data></Cell>"
               "<Cell><Data>ignored</Data></Cell></Row>"));
    EXPECT_EQ(mTable.GetCount(), 3);
    EXPECT_EQ(Get("HELLO"), "Hello there");
    EXPECT_EQ(Get("BYE"), "Good  bye"); // raw text: spaces are not normalised
    EXPECT_EQ(Get("A"), "1");
}

TEST_F(StringTableTest, OneCellRowStoresAnEmptyTextAndDoesNotReachIntoTheNextRow)
{
    Load(Sheet("<Row><Cell><Data>LONELY</Data></Cell></Row>\n" + Row("NEXT", "text") +
               "<Row><Cell>no data</Cell></Row>" + Row("LAST", "end")));
    EXPECT_EQ(mTable.GetCount(), 3);
    EXPECT_TRUE(mTable.HasLabel(TString("LONELY")));
    EXPECT_EQ(Get("LONELY"), "");
    EXPECT_EQ(Get("NEXT"), "text");
    EXPECT_EQ(Get("LAST"), "end");
}

// Ten megabytes of rows without data cells: each row's search for its cells stops at the next
// row (searched to the end of the table, this took over a minute).
TEST_F(StringTableTest, RowsWithoutDataCellsAreSkippedRowByRow)
{
    std::string rows;
    const std::string empty = "<Row><Cell>no data</Cell></Row>\n";
    while (rows.size() < (10u << 20))
        rows += empty;
    Load(Sheet(Row("FIRST", "1") + rows + Row("LAST", "end")));
    EXPECT_EQ(mTable.GetCount(), 2);
    EXPECT_EQ(Get("FIRST"), "1");
    EXPECT_EQ(Get("LAST"), "end");
}

TEST_F(StringTableTest, CellTextIsRawTextWithEntitiesDecoded)
{
    // Not parsed as XML: only the bytes between ">" and "<" count, and references are decoded.
    Load("junk before <Row><Data>AMP</Data><Data>a &amp; b &lt;c&gt; &#65;</Data></Row>"
         "<Row><Data x=\"1\">Q</Data><Data>\"quoted\"  text</Data>");
    EXPECT_EQ(Get("AMP"), "a & b <c> A");
    EXPECT_EQ(Get("Q"), "\"quoted\"  text");
}

TEST_F(StringTableTest, UnterminatedCellsAreSafe)
{
    Load("<Row><Data>L</Data><Data>no end");
    EXPECT_EQ(Get("L"), "no end");
    Load("<Row><Data>M");
    EXPECT_EQ(Get("M"), "");
    Load("<Row><Data");
    EXPECT_TRUE(mTable.HasLabel(TString("")));
}

TEST_F(StringTableTest, LaterEntriesReplaceEarlierOnesAndReloadEmpties)
{
    Load(Sheet(Row("A", "first") + Row("B", "b")));
    Load(Sheet(Row("A", "second")));
    EXPECT_EQ(Get("A"), "second");
    EXPECT_EQ(Get("B"), "b");
    EXPECT_FALSE(mTable.Reload(TString("user:does_not_exist.xml")));
    EXPECT_EQ(mTable.GetCount(), 0);
}

TEST_F(StringTableTest, PackedFileScansLikeThePlainOne)
{
    std::string plain = Sheet(Row("P", "packed &amp; plain") + Row("Q", "q"));
    std::vector<char> packed = Pack(plain);
    ASSERT_TRUE(mTable.LoadBuffer(packed.data(), static_cast<uint32_t>(packed.size())));
    EXPECT_EQ(mTable.GetCount(), 2);
    EXPECT_EQ(Get("P"), "packed & plain");

    // A damaged stream leaves the table as it was.
    std::vector<char> damaged = packed;
    for (size_t i = 12; i < damaged.size(); ++i)
    {
        damaged[i] = static_cast<char>(~damaged[i]);
    }
    std::string before = Get("P");
    EXPECT_FALSE(mTable.LoadBuffer(damaged.data(), static_cast<uint32_t>(damaged.size())));
    EXPECT_FALSE(mTable.LoadBuffer(packed.data(), 11));
    EXPECT_EQ(mTable.GetCount(), 2);
    EXPECT_EQ(Get("P"), before);
}

TEST_F(StringTableTest, NumberedEscapesSelectArguments)
{
    Load(Row("F", "Found %1% of %2%") + Row("SIX", "[%6%][%0%][%3%]") + Row("LEAD", "[%0001%]"));
    EXPECT_EQ(Get("F", "3", "7"), "Found 3 of 7");
    EXPECT_EQ(Get("SIX", "a", "b"), "[][][]");
    EXPECT_EQ(Get("LEAD", "one"), "[one]");
    EXPECT_EQ(mTable
                  .GetString(TString("F"), TString("1"), TString("2"), TString("3"), TString("4"),
                             TString("5"))
                  .c_str(),
              std::string("Found 1 of 2"));
}

TEST_F(StringTableTest, PercentEscapesAndUnmatchedPercents)
{
    Load(Row("PCT", "100%%") + Row("TRAIL", "100%") + Row("OFF", "50% off"));
    EXPECT_EQ(Get("PCT"), "100%");
    EXPECT_EQ(LogText().find("Non-matched"), std::string::npos);
    EXPECT_EQ(Get("TRAIL"), "100%");
    EXPECT_NE(LogText().find(": Non-matched percent (%) escape found in string TRAIL, '100%'\n"),
              std::string::npos)
        << LogText();
    EXPECT_EQ(Get("OFF"), "50 off");
    EXPECT_NE(LogText().find(": Non-matched percent (%) escape found in string OFF, '50% off'\n"),
              std::string::npos);
}

TEST_F(StringTableTest, LabelEscapesAndLabelArguments)
{
    Load(Row("NAME", "Ann") + Row("HELLO", "Hello %NAME%") + Row("GREET", "Hello %1%") +
         Row("RAW", "keeps %1% inside") + Row("MISS", "[%NOPE%]"));
    EXPECT_EQ(Get("HELLO"), "Hello Ann");
    EXPECT_EQ(Get("GREET", "%NAME%"), "Hello Ann");
    EXPECT_EQ(Get("GREET", "%%"), "Hello %");
    EXPECT_EQ(Get("GREET", "%NAME"), "Hello ");
    EXPECT_EQ(Get("GREET", "%NOPE%"), "Hello ");
    EXPECT_EQ(Get("GREET", "Bob"), "Hello Bob");
    // Inserted texts are not scanned again.
    EXPECT_EQ(Get("GREET", "%RAW%"), "Hello keeps %1% inside");
    EXPECT_EQ(Get("GREET", "50%"), "Hello 50%");
    EXPECT_EQ(Get("MISS"), "[]");
}

// Asked again and again, as a screen asks for its texts every frame, a missing label or a text of
// an unmatched "%" is said once; a table loaded anew says it again.
TEST_F(StringTableTest, MissingLabelGivesHashesAndALogLineOnce)
{
    Load(Row("TRAIL", "100%"));
    const auto count = [this](const std::string& line)
    {
        const std::string log = LogText();
        size_t times = 0;
        for (size_t at = log.find(line); at != std::string::npos; at = log.find(line, at + 1))
            ++times;
        return times;
    };
    for (int frame = 0; frame < 3; ++frame)
    {
        EXPECT_EQ(Get("NOT_THERE"), "#####");
        EXPECT_EQ(Get(""), "#####");
        EXPECT_EQ(Get("TRAIL"), "100%");
    }
    EXPECT_EQ(count(":  ##### : Missing string for label 'NOT_THERE'\n"), 1u) << LogText();
    EXPECT_EQ(count(":  ##### : Missing string for label ''\n"), 1u) << LogText();
    EXPECT_EQ(count(": Non-matched percent (%) escape found in string TRAIL, '100%'\n"), 1u);
    mTable.Clear();
    Load(Row("TRAIL", "100%"));
    Get("NOT_THERE");
    Get("TRAIL");
    EXPECT_EQ(count("Missing string for label 'NOT_THERE'"), 2u);
    EXPECT_EQ(count("Non-matched percent"), 2u);
}

TEST_F(StringTableTest, StringTestModeMasksEveryByteButSpaces)
{
    Load(Row("HI", "Hi there") + Row("ARG", "%1%!"));
    SetConfig("stringtest", "1");
    EXPECT_EQ(Get("HI"), "xx xxxxx");
    EXPECT_EQ(Get("ARG", "a b"), "x xx");
    EXPECT_EQ(Get("MISSING"), "#####");
    SetConfig("stringtest", "0");
    EXPECT_EQ(Get("HI"), "Hi there");
}

TEST_F(StringTableTest, FlashLabelsAreExportedInTwoGroups)
{
    Load(Row("FLASH_B", "") + Row("flash01_02", "") + Row("FLASH_A", "") + Row("flash7", "") +
         Row("flashy", "") + Row("OTHER", "") + Row("flash00_1x", ""));
    std::vector<TString> list{TString("keep")};
    mTable.ExportFlashStrings(list);
    std::vector<std::string> names;
    for (const TString& name : list)
    {
        names.emplace_back(name.c_str());
    }
    EXPECT_EQ(names, (std::vector<std::string>{"keep", "FLASH_A", "FLASH_B", "flash00_1x",
                                               "flash01_02", "flash7"}));
}

TEST_F(StringTableTest, FilesLoadThroughTheFileLayerPlainAndPacked)
{
    fs::path user = mRoot / "user";
    Write(user / "plain.xml", Sheet(Row("A", "from plain")));
    std::vector<char> packed = Pack(Sheet(Row("A", "from packed") + Row("B", "b")));
    Write(user / "packed.xml", std::string(packed.begin(), packed.end()));
    SetDataFolders(TString(user.c_str()), TString((mRoot / "common").c_str()),
                   TString((mRoot / "desktop").c_str()));
    EXPECT_TRUE(mTable.LoadFile(TString("user:plain.xml")));
    EXPECT_EQ(Get("A"), "from plain");
    EXPECT_TRUE(mTable.LoadFile(TString("user:packed.xml")));
    EXPECT_EQ(Get("A"), "from packed");
    EXPECT_FALSE(mTable.LoadFile(TString("user:missing.xml")));
    EXPECT_EQ(mTable.GetCount(), 2);
}

// The string files of the data folders are anyone's: past the largest document, plain or packed,
// one is refused unread or unpacked, and the table keeps what it held.
TEST_F(StringTableTest, StringFilesPastTheLargestDocumentAreRefused)
{
    fs::path user = mRoot / "user";
    const std::string padding(kMaxPackedXmlFileBytes, ' ');
    Write(user / "strings_plain.xml", Sheet(Row("PLAIN", "p") + padding));
    std::vector<char> bomb = Pack(Sheet(Row("BOMB", "b") + padding));
    Write(user / "strings_bomb.xml", std::string(bomb.begin(), bomb.end()));
    Write(user / "strings_ok.xml", Sheet(Row("OK", "ok")));
    SetDataFolders(TString(user.c_str()), TString(), TString());
    EXPECT_FALSE(mTable.LoadFile(TString("user:strings_plain.xml")));
    EXPECT_FALSE(mTable.LoadFile(TString("user:strings_bomb.xml")));
    EXPECT_TRUE(mTable.LoadFile(TString("user:strings_ok.xml")));
    EXPECT_FALSE(mTable.HasLabel(TString("PLAIN")));
    EXPECT_FALSE(mTable.HasLabel(TString("BOMB")));
    EXPECT_EQ(Get("OK"), "ok");
    const std::string log = LogText();
    EXPECT_NE(log.find(": Strings: the string file '" + (user / "strings_plain.xml").string() +
                       "' was not read: it is larger than 16782361 bytes\n"),
              std::string::npos)
        << log;
    EXPECT_NE(log.find(": Strings: the packed string file 'user:strings_bomb.xml' could not be "
                       "read\n"),
              std::string::npos)
        << log;
}

TEST_F(StringTableTest, StartUpLoadsStringsXmlThenUserThenCommonStringFiles)
{
    fs::path assets = mRoot / "assets";
    fs::path user = mRoot / "user";
    fs::path common = mRoot / "common";
    Write(assets / "strings.xml", Sheet(Row("BASE", "base") + Row("OVER", "assets")));
    Write(user / "strings_fr.xml", Sheet(Row("OVER", "user") + Row("U", "u")));
    Write(user / "Strings2.XML.bak", Sheet(Row("U2", "u2")));
    Write(user / "other.xml", Sheet(Row("NO", "no")));
    Write(user / "sub" / "strings_deep.xml", Sheet(Row("DEEP", "deep")));
    Write(common / "string_extra.xml", Sheet(Row("OVER", "common") + Row("C", "c")));
    Write(common / "mystrings.xml", Sheet(Row("NO2", "no")));
    std::vector<char> packed = Pack(Sheet(Row("Z", "zipped")));
    Write(common / "strings_z.xmlz", std::string(packed.begin(), packed.end()));

    fs::path previous = fs::current_path();
    fs::current_path(mRoot);
    ClearPathMap();
    SetDataFolders(TString(user.c_str()), TString(common.c_str()), TString());
    InitFileSystem();
    bool loaded = LoadStartupStringTables(mTable);
    fs::current_path(previous);

    EXPECT_TRUE(loaded);
    EXPECT_EQ(Get("BASE"), "base");
    EXPECT_EQ(Get("OVER"), "common"); // assets, then user, then common
    EXPECT_EQ(Get("U"), "u");
    EXPECT_EQ(Get("U2"), "u2");
    EXPECT_EQ(Get("C"), "c");
    EXPECT_EQ(Get("Z"), "zipped");
    EXPECT_FALSE(mTable.HasLabel(TString("NO")));
    EXPECT_FALSE(mTable.HasLabel(TString("NO2")));
    EXPECT_FALSE(mTable.HasLabel(TString("DEEP")));
}

TEST_F(StringTableTest, StartUpWithoutStringsXmlReportsFalse)
{
    fs::path user = mRoot / "user";
    Write(user / "strings_only.xml", Sheet(Row("U", "u")));
    fs::create_directories(mRoot / "assets");
    fs::path previous = fs::current_path();
    fs::current_path(mRoot);
    ClearPathMap();
    SetDataFolders(TString(user.c_str()), TString(), TString());
    InitFileSystem();
    bool loaded = LoadStartupStringTables(mTable);
    fs::current_path(previous);
    EXPECT_FALSE(loaded);
    EXPECT_EQ(Get("U"), "u");
}

TEST_F(StringTableTest, MutatedFilesAndTextsNeverCrash)
{
    const std::string base = Sheet(Row("A", "Found %1% of %2%, 100%% &amp; %B%") +
                                   Row("B", "b &#65; %3") + Row("C", "%"));
    std::vector<char> packed = Pack(base);
    std::mt19937 random(777);
    const std::string alphabet = "<>%&#;RowDat1 \xC3\xFF";
    const char* const arguments[] = {"", "%%", "%A%", "%B", "x", "%"};
    for (int round = 0; round < 300; ++round)
    {
        std::string text = zxmltest::Mutate(
            round % 4 == 3 ? std::string(packed.begin(), packed.end()) : base, random, alphabet);
        TStringTable table;
        table.LoadBuffer(text.data(), static_cast<uint32_t>(text.size()));
        for (const char* label : {"A", "B", "C", ""})
        {
            table.GetString(TString(label), TString(arguments[random() % 6]),
                            TString(arguments[random() % 6]), TString(arguments[random() % 6]));
        }
    }
    SUCCEED();
}
