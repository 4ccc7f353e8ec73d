// Tests of the preferences saved beside the frame loop: a save asked for never waits for another
// copy's lock or a slow disk, versions reach the file in their order, changes made meanwhile are
// kept, another copy's save is taken in, and the close waits for what is on its way.
#include "platform/config/prefs.h"

#include "platform/config/config.h"
#include "platform/files/file.h"
#include "platform/files/file_layer.h"
#include "platform/files/shared_save.h"
#include "platform/log.h"
#include "support/files.h"
#include "sys/files/paths.h"
#include "sys/files/save_waits.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace fs = std::filesystem;

namespace
{

class PrefsSaverTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        mUser = mRoot / "user";
        fs::create_directories(mUser);
        fs::create_directories(mRoot / "log");
        SetLogFolder((mRoot / "log").c_str());
        ClearPathMap();
        SetDataFolders(TString(mUser.c_str()), TString((mRoot / "common").c_str()), TString());
        SetConfig("encryptionkey", "Tk7pQ2mW9xLr");
        SetConfig("installkey", "C:/Games/Murk");
    }
    void TearDown() override
    {
        sys::SetSlowFlushMs(0);
        SetFileLockWait(kFileLockWaitMs);
        TSharedSave::SetCloseDiskWait(kCloseDiskWaitMs);
        ClearPathMap();
        SetLogFolder(nullptr);
    }
    // The lock of prefs.dat held as another copy holds it while it saves: its descriptor, or -1
    // with the reason among the test's failures.
    int HoldTheLock() const
    {
        std::string reason;
        const int held = sys::LockFile((mUser / "prefs.dat.lock").string(), 0, reason);
        EXPECT_GE(held, 0) << reason;
        return held;
    }
    // The game's store: its saves are made beside the thread that asks for them.
    static std::unique_ptr<TPrefs> Frame()
    {
        auto prefs = std::make_unique<TPrefs>(true);
        prefs->SetProfileKeys("name", "curuser");
        prefs->SetBackgroundSaves(true);
        return prefs;
    }
    // The file as a new start reads it.
    static std::unique_ptr<TPrefs> OnDisk()
    {
        auto prefs = std::make_unique<TPrefs>(false);
        prefs->SetProfileKeys("name", "curuser");
        return prefs;
    }
    static std::vector<std::string> Names(const TPrefs& prefs)
    {
        std::vector<std::string> names;
        for (int u = 0; u < prefs.GetNumUsers(); ++u)
            names.push_back(prefs.GetString("name", "?", u).c_str());
        return names;
    }
    using Strings = std::vector<std::string>;
    std::string LostLine() const
    {
        return "ERROR: Preferences could not be saved to '" + (mUser / "prefs.dat").string() +
               "' before the end: what changed since their last save is lost";
    }
    std::string LogText() const { return testsupport::ReadFile(mRoot / "log" / "logfile.txt"); }

    testsupport::ScratchFolder mScratch{"mw_prefs_saver"};
    fs::path mRoot = mScratch.Path();
    fs::path mUser;
};

// Another copy holds the lock (stopped inside its own save): the frame's saves are handed over
// and return, none written, while the saver waits; once the lock is free the newest state is
// written (the requests made meanwhile joined into one save), and nothing after it.
TEST_F(PrefsSaverTest, ASaveNeverWaitsForTheLockAnotherCopyHolds)
{
    auto prefs = Frame();
    // Longer than any pause of the test's own: the saver waits until the lock is let go.
    SetFileLockWait(600000);
    const int held = HoldTheLock();
    ASSERT_GE(held, 0);
    EXPECT_TRUE(prefs->SetString("name", "Ann", 0, true));
    EXPECT_TRUE(prefs->SetInt("curuser", 0, -1, true));
    for (int level = 1; level <= 5; ++level)
        EXPECT_TRUE(prefs->SetInt("soundlevel", level * 100, -1, true));
    // Every call returned while the lock is held: none of them waited for it or wrote.
    EXPECT_EQ(prefs->GetSaveCounts().written, 0);
    EXPECT_TRUE(prefs->IsSaving());
    EXPECT_FALSE(fs::exists(mUser / "prefs.dat"));
    EXPECT_FALSE(prefs->HasUnsavedChanges());

    sys::UnlockFile(held);
    prefs->WaitForSaves();
    EXPECT_FALSE(prefs->IsSaving());
    // The first version, then one of everything asked for while it waited.
    EXPECT_EQ(prefs->GetSaveCounts().written, 2);
    EXPECT_EQ(prefs->GetSaveCounts().notWritten, 0);
    auto file = OnDisk();
    EXPECT_EQ(Names(*file), (Strings{"Ann"}));
    EXPECT_EQ(file->GetInt("soundlevel", -1), 500);
    EXPECT_EQ(file->GetInt("curuser", -1), 0);
}

// The frame loop's count of its waits on saves' behalf: the saves it asks for while another copy
// holds the lock and every flush is slowed add none (the saver waits, on its own thread); a wait
// for the saves on their way adds one, and a save made on its own thread one (the lock and the
// flushes inside it not counted again); nothing counts once the watch has ended.
TEST_F(PrefsSaverTest, TheFrameLoopsWaitsOnSavesAreCountedAndItsSavesAddNone)
{
    auto prefs = Frame();
    SetFileLockWait(600000);
    sys::SetSlowFlushMs(20);
    const int held = HoldTheLock();
    ASSERT_GE(held, 0);
    sys::WatchSaveWaits(true);
    const uint32_t before = sys::GetSaveWaits().count;
    for (int level = 1; level <= 5; ++level)
        EXPECT_TRUE(prefs->SetInt("soundlevel", level * 100, -1, true));
    EXPECT_EQ(sys::GetSaveWaits().count, before);

    sys::UnlockFile(held);
    prefs->WaitForSaves();
    sys::SaveWaits waits = sys::GetSaveWaits();
    EXPECT_EQ(waits.count, before + 1);
    EXPECT_EQ(waits.longest, "the save of 'user:prefs.dat' on its way");
    // Two versions, each through two flushes of 20 ms (its wait began as the lock was let go).
    EXPECT_GE(waits.longestMs, 60u);
    prefs->WaitForSaves();
    EXPECT_EQ(sys::GetSaveWaits().count, before + 1) << "nothing on its way: no wait";

    prefs->SetBackgroundSaves(false);
    EXPECT_TRUE(prefs->SetInt("musiclevel", 300, -1, true));
    EXPECT_EQ(sys::GetSaveWaits().count, before + 2);
    sys::WatchSaveWaits(false);
    EXPECT_TRUE(prefs->SetInt("musiclevel", 400, -1, true));
    EXPECT_EQ(sys::GetSaveWaits().count, before + 2);
    EXPECT_EQ(OnDisk()->GetInt("musiclevel", -1), 400);
}

// Every flush slowed: a save asked for while the saver is inside a flush returns at once; the
// versions are written in their order, and a change made without a save while one was on its way
// stays a change the next save writes.
TEST_F(PrefsSaverTest, ASaveNeverWaitsForTheDiskAndVersionsKeepTheirOrder)
{
    auto prefs = Frame();
    // Long enough that nothing but the test's own release ends a flush.
    sys::SetSlowFlushMs(600000);
    EXPECT_TRUE(prefs->SetInt("musiclevel", 100, -1, true));
    ASSERT_TRUE(sys::WaitForSlowFlush(60000)) << "the saver never flushed";
    EXPECT_TRUE(prefs->SetInt("musiclevel", 200, -1, true));
    prefs->SetInt("cursorosuse", 1, -1, false);
    EXPECT_EQ(prefs->GetSaveCounts().written, 0) << "a save waited for the flush";
    EXPECT_FALSE(fs::exists(mUser / "prefs.dat"));

    sys::SetSlowFlushMs(0);
    prefs->WaitForSaves();
    EXPECT_EQ(prefs->GetSaveCounts().written, 2);
    auto file = OnDisk();
    EXPECT_EQ(file->GetInt("musiclevel", -1), 200);
    EXPECT_EQ(file->GetInt("cursorosuse", -1), 1) << "taken in the joined save's version";
    prefs->SetInt("fullscreen", 0, -1, false);
    EXPECT_TRUE(prefs->SavePending());
    EXPECT_EQ(prefs->GetSaveCounts().written, 2) << "nothing failed: the close has nothing to do";
}

// What another copy saved is taken in on the frame's turn and written again with this copy's own
// changes over it, those made while a save was on its way (and not in it) included: a player made
// then keeps its place and is no player the other copy deleted, a value set then goes over the
// other copy's, and this copy keeps its current player.
TEST_F(PrefsSaverTest, AnotherCopysSaveIsTakenInAndChangesMadeMeanwhileAreKept)
{
    auto a = Frame();
    sys::SetSlowFlushMs(600000);
    a->SetString("name", "Ann", 0, false);
    a->SetInt("curuser", 0, -1, true);
    ASSERT_TRUE(sys::WaitForSlowFlush(60000));
    // Made while Ann's save flushes, and not saved yet.
    a->SetString("name", "Cid", 1, false);
    a->SetInt("soundlevel", 300, -1, false);
    sys::SetSlowFlushMs(0);
    a->WaitForSaves();
    EXPECT_EQ(Names(*OnDisk()), (Strings{"Ann"}));
    EXPECT_EQ(a->GetSaveCounts().written, 1);

    {
        // Another copy adds its player, plays it and turns the sound down.
        TPrefs other(true);
        other.SetProfileKeys("name", "curuser");
        other.SetString("name", "Bob", 1, false);
        other.SetInt("soundlevel", 100, -1, false);
        other.SetInt("curuser", 1, -1, true);
    }
    a->SetInt("musiclevel", 400, -1, true);
    a->WaitForSaves();
    EXPECT_EQ(Names(*a), (Strings{"Ann", "Cid", "Bob"}));
    EXPECT_EQ(a->GetInt("curuser", -1), 0);
    auto file = OnDisk();
    EXPECT_EQ(Names(*file), (Strings{"Ann", "Cid", "Bob"}));
    EXPECT_EQ(file->GetInt("curuser", -1), 0);
    EXPECT_EQ(file->GetInt("soundlevel", -1), 300);
    EXPECT_EQ(file->GetInt("musiclevel", -1), 400);
    const auto counts = a->GetSaveCounts();
    EXPECT_EQ(counts.written, 2);
    EXPECT_EQ(counts.notWritten, 1) << "the save that found Bob's hands it to the frame";
}

// The close waits for the save on its way and makes what is pending; what it cannot make (the lock
// held for good) is said on standard error.
TEST_F(PrefsSaverTest, TheCloseWaitsForWhatIsPendingAndSaysWhatItCouldNotSave)
{
    {
        auto prefs = Frame();
        sys::SetSlowFlushMs(600000);
        prefs->SetInt("soundlevel", 100, -1, true);
        ASSERT_TRUE(sys::WaitForSlowFlush(60000));
        prefs->SetInt("soundlevel", 250, -1, true);
        std::thread disk(
            []
            {
                std::this_thread::sleep_for(std::chrono::milliseconds(20));
                sys::SetSlowFlushMs(0);
            });
        EXPECT_TRUE(prefs->SavePending());
        disk.join();
        EXPECT_EQ(OnDisk()->GetInt("soundlevel", -1), 250);
    }

    auto prefs = Frame();
    SetFileLockWait(20);
    const int held = HoldTheLock();
    ASSERT_GE(held, 0);
    EXPECT_TRUE(prefs->SetInt("soundlevel", 700, -1, true));
    testing::internal::CaptureStderr();
    EXPECT_FALSE(prefs->SavePending());
    const std::string said = testing::internal::GetCapturedStderr();
    sys::UnlockFile(held);
    const std::string line = "ERROR: Preferences could not be saved to '" +
                             (mUser / "prefs.dat").string() +
                             "' before the end: what changed since their last save is lost";
    EXPECT_NE(said.find(line), std::string::npos) << said;
    EXPECT_EQ(OnDisk()->GetInt("soundlevel", -1), 250);
}

// A copy stopped in its save once made a wait run out; it goes on, and its next ordinary save
// holds the lock a moment as the close begins: the saver waits for it as for any other, and the
// close stores everything.
TEST_F(PrefsSaverTest, AfterAWaitRanOutTheCloseStillWaitsForAnotherCopysSave)
{
    auto prefs = Frame();
    SetFileLockWait(50);
    const int held = HoldTheLock();
    ASSERT_GE(held, 0);
    EXPECT_TRUE(prefs->SetInt("soundlevel", 100, -1, true));
    prefs->WaitForSaves();
    ASSERT_TRUE(prefs->HasUnsavedChanges()) << "the wait ran out";

    // The bound is long again, and the holder lets go after a moment.
    SetFileLockWait(600000);
    prefs->SetInt("musiclevel", 300, -1, false);
    std::thread other(
        [held]
        {
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
            sys::UnlockFile(held);
        });
    testing::internal::CaptureStderr();
    EXPECT_TRUE(prefs->SavePending());
    const std::string said = testing::internal::GetCapturedStderr();
    other.join();
    EXPECT_EQ(said.find("lost"), std::string::npos) << said;
    auto file = OnDisk();
    EXPECT_EQ(file->GetInt("soundlevel", -1), 100);
    EXPECT_EQ(file->GetInt("musiclevel", -1), 300);
}

// Another copy's saves on a slow disk hold the lock past the wait of the save on its way and of
// the close's first try (an ordinary save through two slowed flushes outlasts one wait): the close
// tries once more, and stores everything once the holder lets go.
TEST_F(PrefsSaverTest, TheCloseTriesAgainWhileAnotherCopysSavesOutlastItsFirstTry)
{
    auto prefs = Frame();
    // Long enough that the holder, watching the counts, lets go well inside the second try.
    SetFileLockWait(1000);
    const int held = HoldTheLock();
    ASSERT_GE(held, 0);
    EXPECT_TRUE(prefs->SetInt("soundlevel", 100, -1, true));
    std::atomic<bool> closed{false};
    std::thread other(
        [&]
        {
            while (prefs->GetSaveCounts().notWritten < 2 && !closed)
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            sys::UnlockFile(held);
        });
    testing::internal::CaptureStderr();
    EXPECT_TRUE(prefs->SavePending());
    const std::string said = testing::internal::GetCapturedStderr();
    closed = true;
    other.join();
    EXPECT_EQ(said.find("lost"), std::string::npos) << said;
    EXPECT_EQ(prefs->GetSaveCounts().notWritten, 2) << "the save on its way and the first try";
    EXPECT_EQ(OnDisk()->GetInt("soundlevel", -1), 100);
}

// Every flush hangs (a dead network mount): the close waits for the save at the disk only its
// bound, says on standard error what it could not save, and leaves the save to its saver, which
// ends the write on its own once the disk answers (the owner long gone).
TEST_F(PrefsSaverTest, TheCloseWaitsForAHungDiskOnlyItsBoundAndSaysWhatIsLost)
{
    TSharedSave::SetCloseDiskWait(100);
    auto prefs = Frame();
    sys::SetSlowFlushMs(600000);
    prefs->SetInt("soundlevel", 100, -1, true);
    ASSERT_TRUE(sys::WaitForSlowFlush(60000)) << "the saver never flushed";
    prefs->SetInt("soundlevel", 250, -1, true);
    // Waited for to the end, the close would find the disk back and everything saved.
    std::thread disk(
        []
        {
            std::this_thread::sleep_for(std::chrono::milliseconds(3000));
            sys::SetSlowFlushMs(0);
        });
    testing::internal::CaptureStderr();
    EXPECT_FALSE(prefs->SavePending());
    const std::string said = testing::internal::GetCapturedStderr();
    EXPECT_EQ(sys::GetSlowFlushMs(), 600000u) << "the close waited for the disk";
    EXPECT_NE(said.find(LostLine()), std::string::npos) << said;
    prefs.reset();
    disk.join();
    const auto start = std::chrono::steady_clock::now();
    while (OnDisk()->GetInt("soundlevel", -1) != 100 &&
           std::chrono::steady_clock::now() - start < std::chrono::seconds(60))
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_EQ(OnDisk()->GetInt("soundlevel", -1), 100) << "the saver's write never ended";
}

// An end forced before the close (the quit watch) says, once, what the saves not yet written lose,
// in the close's words; nothing once they are written.
TEST_F(PrefsSaverTest, AForcedEndSaysWhatTheSavesNotYetWrittenLose)
{
    auto prefs = Frame();
    sys::SetSlowFlushMs(600000);
    prefs->SetInt("soundlevel", 100, -1, true);
    ASSERT_TRUE(sys::WaitForSlowFlush(60000)) << "the saver never flushed";
    const auto forcedEnd = []
    {
        testing::internal::CaptureStderr();
        TSharedSave::SayWhatIsLost();
        return testing::internal::GetCapturedStderr();
    };
    EXPECT_EQ(forcedEnd(), LostLine() + "\n");
    EXPECT_EQ(forcedEnd(), "") << "said twice";
    sys::SetSlowFlushMs(0);
    prefs->WaitForSaves();
    prefs->SetInt("soundlevel", 200, -1, true);
    prefs->WaitForSaves();
    EXPECT_EQ(forcedEnd(), "");
}

} // namespace
