// The high-score store: the file round trip and layout, ranking and best-only, the 500-entry edge,
// queries, medals, removal, damaged and hostile files, and the idle score service.
#include "services/scores/hiscore_test_support.h"
#include "services/http_test_support.h"

#include "platform/files/file.h"
#include "services/scores/hiscore_file.h"

#include <cerrno>
#include <cstring>
#include <filesystem>

using namespace hiscoretest;

namespace
{

// The attribute of the first element of that name with name=value among the document's top
// level, or of its first child with childKey=childValue.
std::string Find(const std::string& document, const char* element, const char* attribute,
                 const char* childKey = nullptr, const char* childValue = nullptr)
{
    TXmlNode root;
    root.ParseBuffer(document.data(), static_cast<uint32_t>(document.size()));
    TXmlNode* node = root.FindChild(element);
    if (node && childKey)
    {
        TString name;
        TXmlNode* child = nullptr;
        node->ResetChildCursor();
        while (node->GetNextChild(name, child) && child->GetAttribute(childKey) != childValue)
        {
        }
        node = child && child->GetAttribute(childKey) == childValue ? child : nullptr;
    }
    return node ? node->GetAttribute(attribute).c_str() : "<none>";
}

const char* const kUsersAndMedals =
    "<?xml version=\"1.0\"?>\n"
    "<user player=\"ann\" name=\"Ann A\" pass=\"pw&amp;1\"></user>\n"
    "<medals user=\"ann\">"
    "<medal medalname=\"gold\" type=\"game\" mode=\"classic\" gameData=\"g1\" submit=\"0\"/>"
    "<medal medalname=\"silver\" type=\"Game\" mode=\"timed\" gameData=\"\" submit=\"2\"/>"
    "</medals>\n"
    "<medals user=\"bob\"><medal medalname=\"bronze\" type=\"game\" mode=\"m\"/></medals>\n";

using HiscoresTest = HiscoreTest;

} // namespace

TEST_F(HiscoresTest, ScoresComeBackInASecondStoreAlsoAfterItSaves)
{
    const std::string odd = " <&\"'> lead, two  spaces, caf\xC3\xA9\n";
    auto store = Open("ann", "classic");
    store->AddScore(120, false, odd.c_str());
    store->SetParameter(TQmHiscores::kParameterUser, "Bj\xC3\xB6rn & <Co>");
    store->AddScore(300, false, "x");
    store->SetParameter(TQmHiscores::kParameterMode, "timed mode");
    store->AddScore(50, true, nullptr);
    const std::vector<std::string> classic = {"1|Bj\xC3\xB6rn & <Co>|300|x", "2|ann|120|" + odd};
    const std::vector<std::string> timed = {"1|Bj\xC3\xB6rn & <Co>|50|"};
    store.reset();

    auto second = Open("ann", "classic");
    EXPECT_EQ(Rows(*second), classic);
    second->SetParameter(TQmHiscores::kParameterMode, "timed mode");
    EXPECT_EQ(Rows(*second), timed);
    second->AddScore(40, false, "late");
    second.reset();

    auto third = Open("ann", "timed mode");
    EXPECT_EQ(Rows(*third), (std::vector<std::string>{timed[0], "2|ann|40|late"}));
    third->SetParameter(TQmHiscores::kParameterMode, "classic");
    EXPECT_EQ(Rows(*third), classic);

    // A store made without saving keeps its changes to itself.
    const std::string before = ScoreFile();
    auto unsaved = Open("ann", "classic", false);
    unsaved->AddScore(999, false, "");
    unsaved->RemoveUserScores("ann");
    EXPECT_EQ(unsaved->GetNumScores(true), 1);
    EXPECT_EQ(ScoreFile(), before);
    EXPECT_FALSE(sys::PathAccess(mRoot + "/user/hiscore.dat.bad", 0));
}

TEST_F(HiscoresTest, FileIsTheDeclarationAndElementsEncipheredWithAChecksumBlock)
{
    auto store = Open("ann", "m");
    store->AddScore(5, false, nullptr);
    const std::string file = ScoreFile();
    ASSERT_GT(file.size(), 8u);
    EXPECT_EQ(file.size() % 8, 0u);
    const std::string guid = Find(Document(), "score", "guid", "name", "ann");
    EXPECT_EQ(guid.size(), 32u);
    EXPECT_EQ(guid.find_first_not_of("0123456789abcdef"), std::string::npos);
    // Attribute order is fixed; empty game and server data are left out.
    EXPECT_EQ(Document(),
              "<?xml version=\"1.0\"?>\n"
              "<score\n    name=\"m\">\n"
              "    <row\n        rank=\"1\"\n        score=\"5\"\n        submit=\"0\"\n"
              "        guid=\"" +
                  guid +
                  "\"\n        name=\"ann\"\n        version=\"1.2\">\n"
                  "    </row>\n</score>\n");
    // The text is enciphered with its NUL; the last block holds the checksum alone.
    TCipher cipher(kKey);
    const std::string body = file.substr(0, file.size() - 8);
    EXPECT_EQ(body, Encipher(cipher, Document() + std::string(1, '\0')));
    char word[8] = {};
    ASSERT_EQ(cipher.Decrypt(file.data() + body.size(), 8, word, 8, false), 0);
    ASSERT_EQ(cipher.GetLastLength(), 4);
    uint32_t stored = uint32_t(uint8_t(word[0])) | uint32_t(uint8_t(word[1])) << 8 |
                      uint32_t(uint8_t(word[2])) << 16 | uint32_t(uint8_t(word[3])) << 24;
    EXPECT_EQ(stored, XorChecksum(body));
}

TEST_F(HiscoresTest, RanksAreCompetitionRanksAndBestOnlyKeepsTheGuid)
{
    auto store = Open("", "m");
    for (auto [player, score] :
         std::vector<std::pair<const char*, int>>{{"p1", 100}, {"p2", 90}, {"p3", 90}, {"p4", 80}})
    {
        store->SetParameter(TQmHiscores::kParameterUser, player);
        store->AddScore(score, false, nullptr);
    }
    store->SetParameter(TQmHiscores::kParameterUser, "p5");
    store->AddScore(95, false, nullptr);
    const std::vector<std::string> ranked = {"1|p1|100|", "2|p5|95|", "3|p2|90|", "3|p3|90|",
                                             "5|p4|80|"};
    EXPECT_EQ(Rows(*store), ranked);

    store->SetParameter(TQmHiscores::kParameterUser, "p2");
    const std::string guid = Find(Document(), "score", "guid", "name", "p2");
    store->AddScore(85, true, "lower");
    store->AddScore(90, true, "equal");
    EXPECT_EQ(Rows(*store), ranked);
    store->AddScore(97, true, "better");
    EXPECT_EQ(Rows(*store), (std::vector<std::string>{"1|p1|100|", "2|p2|97|better", "3|p5|95|",
                                                      "4|p3|90|", "5|p4|80|"}));
    EXPECT_EQ(Find(Document(), "score", "guid", "name", "p2"), guid);
    // Without best-only the same player gets a second entry with a guid of its own.
    store->AddScore(10, false, nullptr);
    EXPECT_EQ(store->GetNumScores(true), 6);
    EXPECT_NE(Find(Document(), "score", "guid", "score", "10"), guid);
}

TEST_F(HiscoresTest, AFullTableTakesOnlyAHigherScore)
{
    auto store = Open("", "m", false);
    for (int i = 0; i < 500; ++i)
    {
        store->SetParameter(TQmHiscores::kParameterUser, ("p" + std::to_string(i)).c_str());
        store->AddScore(1000 - i, false, nullptr);
    }
    store->SetParameter(TQmHiscores::kParameterUser, "late");
    store->AddScore(501, false, nullptr);
    EXPECT_EQ(store->GetNumScores(true), 500);
    EXPECT_EQ(Rows(*store).back(), "500|p499|501|");
    store->AddScore(502, false, nullptr);
    EXPECT_EQ(store->GetNumScores(true), 500);
    EXPECT_EQ(Rows(*store)[498], "499|p498|502|");
    EXPECT_EQ(Rows(*store).back(), "499|late|502|");
}

TEST_F(HiscoresTest, GetScoreFillsOnlyWhatItIsGiven)
{
    auto store = Open("Alexander", "m");
    store->AddScore(7, false, "abcdef");
    char tiny[1] = {'x'};
    char five[5];
    char untouched[4] = "qqq";
    int rank = 0;
    int score = 0;
    uint8_t local = 0;
    EXPECT_TRUE(store->GetScore(true, 0, &rank, tiny, 1, &local, &score, five, 5));
    EXPECT_STREQ(tiny, "");
    EXPECT_STREQ(five, "abcd");
    EXPECT_EQ(rank, 1);
    EXPECT_EQ(local, 1);
    EXPECT_EQ(score, 7);
    EXPECT_TRUE(store->GetScore(true, 0, nullptr, untouched, 0, nullptr, nullptr, nullptr, 9));
    EXPECT_STREQ(untouched, "qqq");
    EXPECT_FALSE(store->GetScore(true, 1, &rank, nullptr, 0, nullptr, nullptr, nullptr, 0));
    EXPECT_FALSE(store->GetScore(true, -1, &rank, nullptr, 0, nullptr, nullptr, nullptr, 0));
    // The service's table stays empty.
    EXPECT_EQ(store->GetNumScores(false), 0);
    EXPECT_FALSE(store->GetScore(false, 0, &rank, nullptr, 0, nullptr, nullptr, nullptr, 0));
    store->SetParameter(TQmHiscores::kParameterMode, "other");
    EXPECT_EQ(store->GetNumScores(true), 0);
    EXPECT_FALSE(store->GetScore(true, 0, &rank, nullptr, 0, nullptr, nullptr, nullptr, 0));
}

TEST_F(HiscoresTest, MedalsAndUsersComeFromTheFileAndStayInIt)
{
    WriteScoreFile(MakeScoreFile(kUsersAndMedals));
    auto store = Open("ann", "classic");
    ASSERT_EQ(store->GetNumMedals(), 2);
    TString name, mode, data;
    int notGame = -1;
    EXPECT_TRUE(store->GetMedal(0, &name, &notGame, &mode, &data));
    EXPECT_STREQ((name + "/" + mode + "/" + data).c_str(), "gold/classic/g1");
    EXPECT_EQ(notGame, 0);
    EXPECT_TRUE(store->GetMedal(1, &name, &notGame, nullptr, nullptr));
    EXPECT_STREQ(name.c_str(), "silver");
    EXPECT_EQ(notGame, 1); // "Game" is not exactly "game"
    EXPECT_TRUE(store->GetMedal(1, nullptr, nullptr, nullptr, nullptr));
    EXPECT_FALSE(store->GetMedal(2, &name, &notGame, &mode, &data));
    EXPECT_FALSE(store->GetMedal(-1, &name, &notGame, &mode, &data));
    store->SetParameter(TQmHiscores::kParameterUser, "bob");
    EXPECT_EQ(store->GetNumMedals(), 1);
    store->SetParameter(TQmHiscores::kParameterUser, "cat");
    EXPECT_EQ(store->GetNumMedals(), 0);
    EXPECT_FALSE(store->GetMedal(0, &name, nullptr, nullptr, nullptr));

    store->AddScore(3, false, nullptr);
    store.reset();
    const std::string document = Document();
    EXPECT_EQ(Find(document, "user", "pass"), "pw&1");
    EXPECT_EQ(Find(document, "user", "name"), "Ann A");
    EXPECT_EQ(Find(document, "medals", "submit", "medalname", "silver"), "1");
    auto second = Open("ann", "classic");
    EXPECT_EQ(second->GetNumMedals(), 2);
    EXPECT_TRUE(second->GetMedal(1, &name, nullptr, &mode, nullptr));
    EXPECT_STREQ((name + "/" + mode).c_str(), "silver/timed");
}

TEST_F(HiscoresTest, RemovingAPlayerEmptiesTablesDropsMedalsAndKeepsUsers)
{
    WriteScoreFile(MakeScoreFile(kUsersAndMedals));
    auto store = Open("ann", "solo");
    store->AddScore(10, false, nullptr);
    store->SetParameter(TQmHiscores::kParameterMode, "duo");
    store->AddScore(100, false, nullptr);
    store->SetParameter(TQmHiscores::kParameterUser, "bob");
    store->AddScore(50, false, nullptr);
    store->RemoveUserScores("ann");
    EXPECT_EQ(Rows(*store), std::vector<std::string>{"1|bob|50|"});
    store->SetParameter(TQmHiscores::kParameterUser, "ann");
    EXPECT_EQ(store->GetNumMedals(), 0);
    store->SetParameter(TQmHiscores::kParameterMode, "solo");
    EXPECT_EQ(store->GetNumScores(true), 0);
    store.reset();

    const std::string document = Document();
    EXPECT_NE(document.find("<score\n    name=\"solo\">\n</score>\n"), std::string::npos);
    EXPECT_EQ(Find(document, "user", "player"), "ann");
    EXPECT_EQ(document.find("<medals\n    user=\"ann\""), std::string::npos);
    auto second = Open("ann", "solo");
    EXPECT_EQ(second->GetNumScores(true), 0);
    EXPECT_FALSE(second->GetScore(true, 0, nullptr, nullptr, 0, nullptr, nullptr, nullptr, 0));
    second->SetParameter(TQmHiscores::kParameterMode, "duo");
    EXPECT_EQ(Rows(*second), std::vector<std::string>{"1|bob|50|"});
}

TEST_F(HiscoresTest, SettingsFileFixesTheLanguage)
{
    EXPECT_STREQ(Open("", "")->GetLanguage().c_str(), "en");
    auto loose = Open("", "");
    loose->SetParameter(TQmHiscores::kParameterLanguage, "fr");
    EXPECT_STREQ(loose->GetLanguage().c_str(), "fr");

    Write("hiscore.xml",
          "<hiscore><language>de</language><defaulterror>Kein Server</defaulterror></hiscore>");
    auto fixed = Open("", "");
    fixed->SetParameter(TQmHiscores::kParameterLanguage, "fr");
    EXPECT_STREQ(fixed->GetLanguage().c_str(), "de");
    EXPECT_STREQ(fixed->GetDefaultError().c_str(), "Kein Server");
}

TEST_F(HiscoresTest, AFlippedByteFailsTheChecksumAndTheFileIsKeptBeforeTheNextSave)
{
    Open("ann", "m")->AddScore(5, false, nullptr);
    std::string damaged = ScoreFile();
    damaged[3] = static_cast<char>(damaged[3] ^ 0x01);
    WriteScoreFile(damaged);

    auto store = Open("ann", "m");
    EXPECT_NE(Log().find(": HiScores: Checksum did not match! Ignoring saved score data.\n"),
              std::string::npos);
    EXPECT_EQ(store->GetNumScores(true), 0);
    store->AddScore(9, false, nullptr);
    EXPECT_EQ(filetest::ReadBytes(mRoot + "/user/hiscore.dat.bad"), damaged);
    EXPECT_NE(Log().find("HiScores: The damaged score data was kept as 'user:hiscore.dat.bad'."),
              std::string::npos);
    EXPECT_EQ(Rows(*Open("ann", "m")), std::vector<std::string>{"1|ann|9|"});
}

TEST_F(HiscoresTest, ShortUnevenAndOversizedFilesAreLoggedAndIgnored)
{
    Open("ann", "m")->AddScore(5, false, nullptr);
    const std::string good = ScoreFile();
    struct Case
    {
        std::string mBytes;
        size_t mSize;
        std::string mLine;
    };
    const size_t uneven = good.size() - 3;
    const size_t oversized = (16u << 20) + 8;
    for (const Case& c :
         {Case{good.substr(0, 8), 8, "damaged (8 bytes). Ignoring it."},
          Case{"", 0, "damaged (0 bytes). Ignoring it."},
          Case{good.substr(0, uneven), uneven, "damaged (" + std::to_string(uneven) + " bytes)"},
          Case{good, oversized, "larger than 16777216 bytes. Ignoring it."}})
    {
        std::filesystem::remove(mRoot + "/user/hiscore.dat.bad");
        WriteScoreFile(c.mBytes);
        std::filesystem::resize_file(mRoot + "/user/hiscore.dat", c.mSize);
        auto store = Open("ann", "m");
        EXPECT_NE(Log().find(c.mLine), std::string::npos) << c.mLine;
        EXPECT_EQ(store->GetNumScores(true), 0) << c.mLine;
        store->AddScore(1, false, nullptr);
        EXPECT_EQ(std::filesystem::file_size(mRoot + "/user/hiscore.dat.bad"), c.mSize);
    }
}

// A damaged file is kept under its first free name, never over an earlier copy; while it cannot
// be kept (every name taken), no save replaces it, and the log says so once.
TEST_F(HiscoresTest, AKeptCopyNeverReplacesAnEarlierOneAndAnUnkeptFileIsNotSavedOver)
{
    const std::string user = mRoot + "/user/";
    const std::string damaged(4000, '\x5A');
    WriteScoreFile(damaged);
    Write("user/hiscore.dat.bad", "earlier");
    Open("ann", "m")->AddScore(5, false, nullptr);
    EXPECT_EQ(filetest::ReadBytes(user + "hiscore.dat.bad"), "earlier");
    EXPECT_EQ(filetest::ReadBytes(user + "hiscore.dat.bad1"), damaged);
    EXPECT_NE(Log().find(": HiScores: The damaged score data was kept as "
                         "'user:hiscore.dat.bad1'.\n"),
              std::string::npos);

    for (int n = 2; n <= 9; ++n)
        Write("user/hiscore.dat.bad" + std::to_string(n), "x");
    WriteScoreFile(damaged);
    auto store = Open("ann", "m");
    store->AddScore(6, false, nullptr);
    store->AddScore(7, false, nullptr);
    EXPECT_EQ(ScoreFile(), damaged);
    EXPECT_EQ(filetest::ReadBytes(user + "hiscore.dat.bad1"), damaged);
    const std::string line = ": ERROR: HiScores: The damaged score data '" + user +
                             "hiscore.dat' could not be kept aside: '" + user +
                             "hiscore.dat.bad' and the 9 names after it are taken; the scores are "
                             "not saved over it.\n";
    const std::string log = Log();
    EXPECT_NE(log.find(line), std::string::npos) << log;
    EXPECT_EQ(log.find(line), log.rfind(line)) << "said more than once";
    EXPECT_EQ(log.find("The scores could not be saved"), std::string::npos) << log;
}

// What is no regular file is refused unread as damage and moved aside, as it is, by the next
// save: a link to /dev/zero is never copied (the copy would fill the disk), a folder no longer
// stops every save.
TEST_F(HiscoresTest, WhatIsNoFileIsRefusedUnreadAndMovedAside)
{
    const std::string user = mRoot + "/user/";
    for (const char* target : {"/dev/null", "/dev/zero", ""})
    {
        SCOPED_TRACE(target);
        std::filesystem::remove_all(user);
        Folder("user");
        ClearPathMap();
        if (*target != 0)
            std::filesystem::create_symlink(target, user + "hiscore.dat");
        else
            Folder("user/hiscore.dat");
        auto store = Open("ann", "m");
        EXPECT_NE(Log().find(std::string(": HiScores: The saved score data was not read: ") +
                             (*target != 0 ? "it is not a regular file" : "it is a folder") +
                             ". Ignoring it.\n"),
                  std::string::npos)
            << Log();
        store->AddScore(3, false, nullptr);
        if (*target != 0)
            EXPECT_EQ(std::filesystem::read_symlink(user + "hiscore.dat.bad"), target);
        else
            EXPECT_TRUE(std::filesystem::is_directory(user + "hiscore.dat.bad"));
        EXPECT_EQ(Rows(*Open("ann", "m")), std::vector<std::string>{"1|ann|3|"});
    }
}

TEST_F(HiscoresTest, CheckedGarbageGivesSafeTables)
{
    // No NUL: the text ends with the deciphered bytes, inside an unfinished element.
    WriteScoreFile(MakeScoreFile("<score name=\"m\"><row rank=\"x\" score=\"12abc\" submit=\"yes\" "
                                 "name=\"ann\"/></score><score name=\"n\"><row name=\"z",
                                 false));
    EXPECT_EQ(Rows(*Open("", "m")), std::vector<std::string>{"0|ann|12|"});

    // A table element with no row makes no table.
    WriteScoreFile(MakeScoreFile("<score name=\"m\"></score>"));
    EXPECT_EQ(Open("", "m")->GetNumScores(true), 0);

    // Rows beyond the limit are dropped; ranks and order stay as stored.
    std::string rows;
    for (int i = 0; i < 502; ++i)
        rows += "<row rank=\"7\" score=\"" + std::to_string(i) + "\" name=\"p" + std::to_string(i) +
                "\"/>";
    WriteScoreFile(MakeScoreFile("<score name=\"m\">" + rows + "</score>"));
    auto store = Open("", "m");
    EXPECT_NE(Log().find("HiScores: Table 'm' holds 502 rows; only the first 500 were kept."),
              std::string::npos);
    std::vector<std::string> kept = Rows(*store);
    ASSERT_EQ(kept.size(), 500u);
    EXPECT_EQ(kept.front(), "7|p0|0|");
    EXPECT_EQ(kept.back(), "7|p499|499|");

    std::string noise;
    for (int i = 0; i < 4000; ++i)
        noise += static_cast<char>((i * 7919 + i / 13) & 0xFF);
    WriteScoreFile(MakeScoreFile(noise, false));
    EXPECT_EQ(Open("", "m")->GetNumScores(true), 0);
}

TEST_F(HiscoresTest, FailuresToSaveAndAMissingKeyAreLogged)
{
    ClearConfig();
    auto store = Open("ann", "m");
    InjectDiskCloseFailure(ENOSPC);
    store->AddScore(1, false, nullptr);
    EXPECT_NE(Log().find("ERROR: No encryption key set before TQmHiscores construction!"),
              std::string::npos);
    EXPECT_NE(Log().find("ERROR: HiScores: The scores could not be saved to '" + mRoot +
                         "/user/hiscore.dat'"),
              std::string::npos);
}

// The disk full at the close: the reason in the log, the scores saved before still on disk as they
// were, and the score not saved kept for the next save. A folder put where the file goes is no
// score file: it goes aside whole, and the save takes the name.
TEST_F(HiscoresTest, AFailedSaveSaysWhyAndKeepsTheSavedScores)
{
    auto store = Open("ann", "m");
    store->AddScore(10, false, nullptr);
    const std::string saved = ScoreFile();
    ASSERT_FALSE(saved.empty());
    InjectDiskCloseFailure(ENOSPC);
    store->AddScore(20, false, nullptr);
    EXPECT_EQ(ScoreFile(), saved);
    EXPECT_NE(Log().find("ERROR: HiScores: The scores could not be saved to '" + mRoot +
                         "/user/hiscore.dat': " + std::strerror(ENOSPC) + "."),
              std::string::npos)
        << Log();
    EXPECT_EQ(Open("ann", "m")->GetNumScores(true), 1);

    std::filesystem::remove(mRoot + "/user/hiscore.dat");
    Folder("user/hiscore.dat");
    store->AddScore(30, false, nullptr);
    EXPECT_NE(Log().find("HiScores: The damaged score data was kept as 'user:hiscore.dat.bad'."),
              std::string::npos)
        << Log();
    EXPECT_TRUE(std::filesystem::is_directory(mRoot + "/user/hiscore.dat.bad"));
    EXPECT_EQ(Open("ann", "m")->GetNumScores(true), 3);
}

TEST_F(HiscoresTest, TheScoreServiceIsNamedButNeverCalled)
{
    EXPECT_STREQ(Open("", "")->GetServerUrl().c_str(), "http://localhost/go/hiscore");
    Write("hiscoreserver.txt", "/" + std::string(600, 'a') + "\n");
    EXPECT_EQ(Open("", "")->GetServerUrl().Length(), 511);

    httptest::LoopbackServer server;
    const int workers = TSimpleHttp::GetLiveWorkerCount();
    Write("hiscoreserver.txt", server.Url("/go/hiscore") + "\r\nsecond line\n");
    {
        auto store = Open("ann", "m");
        EXPECT_EQ(std::string(store->GetServerUrl().c_str()), server.Url("/go/hiscore"));
        store->SubmitScore(5, true, "data", "server data");
        store->RemoveUserScores("ann");
    }
    EXPECT_EQ(server.RequestCount(), 0u);
    EXPECT_EQ(TSimpleHttp::GetLiveWorkerCount(), workers);
}

// Two copies of the game on one data folder: two stores on one file, each saving after every
// change. What either saved stays; what one removed stays removed.
TEST_F(HiscoresTest, TwoStoresOnOneFileKeepWhatEachSaved)
{
    WriteScoreFile(MakeScoreFile(kUsersAndMedals));
    auto a = Open("ann", "classic");
    auto b = Open("bob", "classic");
    a->AddScore(100, true, "a1");
    b->AddScore(200, true, "b1");
    EXPECT_EQ(Rows(*b), (std::vector<std::string>{"1|bob|200|b1", "2|ann|100|a1"}));
    // Long after, the first store's next save: its improved best replaces its own entry only.
    a->AddScore(300, true, "a2");
    EXPECT_EQ(Rows(*Open("cat", "classic")),
              (std::vector<std::string>{"1|ann|300|a2", "2|bob|200|b1"}));

    // Removed here (Bob's scores and medals, as a deleted profile's) while the other store adds
    // its own: both hold.
    b->RemoveUserScores("bob");
    a->SetParameter(TQmHiscores::kParameterMode, "timed");
    a->AddScore(5, false, "t");
    auto file = Open("bob", "classic");
    EXPECT_EQ(Rows(*file), (std::vector<std::string>{"1|ann|300|a2"}));
    EXPECT_EQ(file->GetNumMedals(), 0) << "Bob's medals stay removed";
    file->SetParameter(TQmHiscores::kParameterMode, "timed");
    EXPECT_EQ(Rows(*file), (std::vector<std::string>{"1|ann|5|t"}));
    file->SetParameter(TQmHiscores::kParameterUser, "ann");
    EXPECT_EQ(file->GetNumMedals(), 2);
}

// A score file damaged since a store read it is kept aside, and not taken in.
TEST_F(HiscoresTest, AFileDamagedSinceItWasReadIsKeptAsideAndNotTakenIn)
{
    auto a = Open("ann", "classic");
    a->AddScore(100, false, "a1");
    WriteScoreFile(std::string(16, 'x'));
    a->AddScore(50, false, "a2");
    EXPECT_EQ(filetest::ReadBytes(mRoot + "/user/hiscore.dat.bad"), std::string(16, 'x'));
    EXPECT_EQ(Rows(*Open("ann", "classic")),
              (std::vector<std::string>{"1|ann|100|a1", "2|ann|50|a2"}));
}

// Two stores raise one player's best (a table of best scores): whichever saves first, the higher
// best stands, in the file and in both stores, and the player keeps one row. A best removed in
// one store stays removed, even one the other raised since.
TEST_F(HiscoresTest, TwoStoresRaisingOnePlayersBestKeepTheHigher)
{
    for (const bool higherFirst : {true, false})
    {
        SCOPED_TRACE(higherFirst ? "the higher saved first" : "the lower saved first");
        std::filesystem::remove(mRoot + "/user/hiscore.dat");
        Open("ann", "classic")->AddScore(100, true, "start");
        auto a = Open("ann", "classic");
        auto b = Open("ann", "classic");
        a->AddScore(higherFirst ? 500 : 300, true, "a");
        b->AddScore(higherFirst ? 300 : 500, true, "b");
        const std::vector<std::string> best{higherFirst ? "1|ann|500|a" : "1|ann|500|b"};
        EXPECT_EQ(Rows(*Open("cat", "classic")), best);
        EXPECT_EQ(Rows(*b), best);
        a->SetParameter(TQmHiscores::kParameterMode, "timed");
        a->AddScore(5, false, "t");
        a->SetParameter(TQmHiscores::kParameterMode, "classic");
        EXPECT_EQ(Rows(*a), best);

        b->AddScore(600, true, "b2");
        a->RemoveUserScores("ann");
        EXPECT_TRUE(Rows(*Open("cat", "classic")).empty());
    }
}

// A player's time replaced (the end of the game): the old rows and the medals go and the new row
// comes in one save. Two copies each replacing one player's time in a table of times: whichever
// saves first, the lower time stands; a new player's 0 is no time.
TEST_F(HiscoresTest, ReplacedTimesAreOneSaveAndTwoCopiesKeepTheBetterTime)
{
    WriteScoreFile(MakeScoreFile(kUsersAndMedals));
    Open("ann", "timed")->AddScore(0, true, "");
    auto one = Open("ann", "timed");
    one->ReplaceUserScore("ann", 900, true, "first");
    EXPECT_EQ(Rows(*Open("ann", "timed")), (std::vector<std::string>{"1|ann|900|first"}));
    EXPECT_EQ(Open("ann", "classic")->GetNumMedals(), 0);

    for (const bool lowerFirst : {true, false})
    {
        SCOPED_TRACE(lowerFirst ? "the lower saved first" : "the higher saved first");
        auto a = Open("ann", "timed");
        auto b = Open("ann", "timed");
        a->ReplaceUserScore("ann", lowerFirst ? 300 : 400, true, "a");
        b->ReplaceUserScore("ann", lowerFirst ? 400 : 300, true, "b");
        const std::vector<std::string> best{lowerFirst ? "1|ann|300|a" : "1|ann|300|b"};
        EXPECT_EQ(Rows(*Open("cat", "timed")), best);
        EXPECT_EQ(Rows(*b), best);
        Open("ann", "timed")->ReplaceUserScore("ann", 900, true, "first");
    }
}

// A full table of times (a lower time ranks better; kept higher first, as every table is): past its
// 500 rows the slowest falls off, not the fastest, whether the new time is entered here, taken in
// from another copy's save, or the file trimmed to what a reader takes; a time slower than every
// row is not entered.
TEST_F(HiscoresTest, AFullTableOfTimesKeepsTheFastest)
{
    std::string document = "<?xml version=\"1.0\"?>\n<score name=\"timed\">";
    for (int i = 0; i < 500; ++i)
        document += "<row rank=\"" + std::to_string(i + 1) + "\" score=\"" +
                    std::to_string(1000 - i) + "\" submit=\"0\" name=\"p" + std::to_string(i) +
                    "\"/>";
    const std::string full = MakeScoreFile(document + "</score>\n");

    WriteScoreFile(full);
    auto store = Open("fast", "timed");
    store->ReplaceUserScore("fast", 50, true, "");
    std::vector<std::string> rows = Rows(*store);
    ASSERT_EQ(rows.size(), 500u);
    EXPECT_EQ(rows.front(), "1|p1|999|") << "the slowest fell off";
    EXPECT_EQ(rows.back(), "500|fast|50|");
    store->SetParameter(TQmHiscores::kParameterUser, "slow");
    store->ReplaceUserScore("slow", 2000, true, "");
    EXPECT_EQ(Rows(*store), rows) << "slower than every row";
    EXPECT_EQ(Rows(*Open("cat", "timed")), rows);

    // Two copies each enter a fast time over the same full table.
    WriteScoreFile(full);
    auto a = Open("a", "timed");
    auto b = Open("b", "timed");
    a->ReplaceUserScore("a", 40, true, "");
    b->ReplaceUserScore("b", 30, true, "");
    rows = Rows(*Open("cat", "timed"));
    ASSERT_EQ(rows.size(), 500u);
    EXPECT_EQ(rows.front(), "1|p2|998|");
    EXPECT_EQ(rows[498], "499|a|40|");
    EXPECT_EQ(rows.back(), "500|b|30|");

    // Trimmed to a bound one row short: the slowest goes; a table of another order loses its
    // lowest.
    THiscoreData data;
    for (const char* mode : {"timed", "points"})
    {
        auto table = std::make_unique<ScoreTable>(mode);
        for (int score : {900, 500, 100})
        {
            ScoreEntry entry;
            entry.mScore = score;
            entry.mName = "p";
            table->Insert(entry);
        }
        data.mTables[mode] = std::move(table);
    }
    const int rowNodes = 5; // the element, rank, score, submit and the name
    EXPECT_EQ(TrimHiscoreData(data, CountHiscoreNodes(data) - 2 * rowNodes, {{"timed", true}}), 2);
    auto scores = [&](const char* mode)
    {
        std::vector<int> kept;
        for (const ScoreEntry& e : data.mTables[mode]->GetEntries())
            kept.push_back(e.mScore);
        return kept;
    };
    EXPECT_EQ(scores("timed"), (std::vector<int>{500, 100}));
    EXPECT_EQ(scores("points"), (std::vector<int>{900, 500}));
}

// Names are one player across copies as the name dialog takes them: folded for Latin-1, Greek and
// Cyrillic letters, not A-Z alone. A player's rows and medals go with either spelling, and a table
// of best scores keeps one row for two copies' spellings.
TEST_F(HiscoresTest, NamesInAnyCaseAreOnePlayerAcrossCopies)
{
    const struct
    {
        const char* mOne;
        const char* mOther;
    } names[] = {
        {"Ann", "ANN"},
        {"\xc3\x89va", "\xc3\xa9va"},
        {"\xce\xa3\xce\xbf\xcf\x86\xce\xaf\xce\xb1", "\xcf\x83\xce\xbf\xcf\x86\xce\xaf\xce\xb1"},
        {"\xd0\x98\xd0\xb2\xd0\xb0\xd0\xbd", "\xd0\xb8\xd0\xb2\xd0\xb0\xd0\xbd"}};
    for (const auto& name : names)
    {
        SCOPED_TRACE(name.mOther);
        std::filesystem::remove(mRoot + "/user/hiscore.dat");
        WriteScoreFile(MakeScoreFile(std::string("<?xml version=\"1.0\"?>\n<medals user=\"") +
                                     name.mOne +
                                     "\"><medal medalname=\"gold\" type=\"game\" mode=\"m\"/>"
                                     "</medals>\n"));
        auto a = Open(name.mOne, "classic");
        auto b = Open(name.mOther, "classic");
        EXPECT_EQ(b->GetNumMedals(), 1);
        a->AddScore(100, true, "a");
        b->AddScore(300, true, "b");
        EXPECT_EQ(Rows(*Open("cat", "classic")),
                  (std::vector<std::string>{std::string("1|") + name.mOther + "|300|b"}));
        Open(name.mOne, "classic")->RemoveUserScores(name.mOther);
        auto after = Open(name.mOne, "classic");
        EXPECT_TRUE(Rows(*after).empty());
        EXPECT_EQ(after->GetNumMedals(), 0);
    }
}

// Another copy holds the score file's lock: the save is put off, the file untouched, and the next
// save that has the lock writes it.
TEST_F(HiscoresTest, ScoresAreNeverSavedWithoutTheirLock)
{
    auto store = Open("ann", "classic");
    store->AddScore(100, false, "a");
    const std::string before = ScoreFile();
    SetFileLockWait(20);
    std::string reason;
    const int held = sys::LockFile(mRoot + "/user/hiscore.dat.lock", 0, reason);
    ASSERT_GE(held, 0) << reason;
    store->AddScore(200, false, "b");
    EXPECT_EQ(ScoreFile(), before);
    EXPECT_NE(Log().find("ERROR: The lock '" + mRoot +
                         "/user/hiscore.dat.lock' could not be "
                         "taken (another process holds it"),
              std::string::npos)
        << Log();
    sys::UnlockFile(held);
    EXPECT_TRUE(store->SavePending());
    EXPECT_EQ(Rows(*Open("ann", "classic")),
              (std::vector<std::string>{"1|ann|200|b", "2|ann|100|a"}));
    SetFileLockWait(kFileLockWaitMs);
}

// A file at what its reader takes (65,536 elements and attributes) and a new player's row: the
// save drops the lowest rows, says so, and the next start reads every score left.
TEST_F(HiscoresTest, ASaveNeverWritesMoreThanTheReaderTakes)
{
    // The declaration (2), 27 tables (2 each) and 13,096 rows of 5: 65,536.
    std::string document = "<?xml version=\"1.0\"?>\n";
    for (int table = 0; table < 27; ++table)
    {
        document += "<score name=\"t" + std::to_string(table) + "\">";
        for (int row = 0; row < (table < 26 ? 500 : 96); ++row)
            document += "<row rank=\"1\" score=\"" + std::to_string(1000 - row) +
                        "\" submit=\"0\" name=\"p" + std::to_string(row) + "\"/>";
        document += "</score>\n";
    }
    WriteScoreFile(MakeScoreFile(document));
    ASSERT_EQ(Open("zed", "t26")->GetNumScores(true), 96) << Log();
    auto store = Open("zed", "new");
    store->AddScore(7, true, "");
    EXPECT_NE(Log().find("HiScores: The scores held more than the 65536 elements and attributes "
                         "a score file may hold: the 2 lowest rows were dropped."),
              std::string::npos)
        << Log();
    auto next = Open("zed", "new");
    EXPECT_EQ(Rows(*next), (std::vector<std::string>{"1|zed|7|"}));
    // The last row of each of the longest tables.
    for (const char* table : {"t0", "t1"})
    {
        next->SetParameter(TQmHiscores::kParameterMode, table);
        ASSERT_EQ(next->GetNumScores(true), 499);
        EXPECT_EQ(Rows(*next).back(), "1|p498|502|");
    }
}
