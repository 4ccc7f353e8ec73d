// The path map over a scratch tree: case-insensitive names, prefixes, writes, exclusions, deletion.
#include "support/file_layer_fixture.h"

#include "platform/files/file.h"
#include "platform/shell/platform_main.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

using filetest::FileLayerTest;

namespace
{
std::string ReadAll(const TString& name, int mode)
{
    TFile file;
    if (!file.Open(name, mode))
        return "<closed>";
    std::string out;
    char buffer[7];
    int n = 0;
    while ((n = file.Read(buffer, sizeof buffer)) > 0)
        out.append(buffer, static_cast<size_t>(n));
    return out;
}

// Writes past `bytes` into any file fail with EFBIG while it lives, as a disk that fills would
// fail them, without a disk to fill.
class FileSizeLimit
{
public:
    explicit FileSizeLimit(rlim_t bytes)
    {
        mOldHandler = signal(SIGXFSZ, SIG_IGN);
        getrlimit(RLIMIT_FSIZE, &mOld);
        rlimit limit = mOld;
        limit.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit()
    {
        setrlimit(RLIMIT_FSIZE, &mOld);
        signal(SIGXFSZ, mOldHandler);
    }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

private:
    rlimit mOld{};
    sighandler_t mOldHandler = SIG_DFL;
};

std::vector<std::string> Entries(const std::string& folder)
{
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}
} // namespace

TEST_F(FileLayerTest, NamesResolveWhateverTheirCaseAndKeepTheRealPath)
{
    Folder("assets/Scripts");
    Write("assets/Scripts/MainLoop.LUA", "print(1)");
    InitFileSystem();
    EXPECT_EQ(ResolvePath("scripts/mainloop.lua", true), "assets/Scripts/MainLoop.LUA");
    EXPECT_EQ(ResolvePath("SCRIPTS/MainLoop.lua", true), "assets/Scripts/MainLoop.LUA");
    EXPECT_EQ(ReadAll("Scripts/MAINLOOP.lua", kFileReadBinary), "print(1)");
    EXPECT_TRUE(FileExists("scripts/mainloop.lua"));
}

TEST_F(FileLayerTest, AssetsPrefixResolvesAsTheBareName)
{
    Write("assets/settings.xml", "<x/>");
    InitFileSystem();
    EXPECT_EQ(ResolvePath("assets/settings.xml", true), "assets/settings.xml");
    EXPECT_EQ(ResolvePath("ASSETS\\settings.xml", true), "assets/settings.xml");
    EXPECT_EQ(ResolvePath("assetsXsettings.xml", false), "");
    EXPECT_EQ(ResolvePath("unknown.xml", false), "");
}

TEST_F(FileLayerTest, TheBuiltInCursorIsAMemoryFileALooseFileReplaces)
{
    InitFileSystem();
    TFile file;
    ASSERT_TRUE(file.Open("__systemcursor__.png", kFileReadBinary));
    unsigned char magic[4] = {};
    ASSERT_EQ(file.Read(magic, 4), 4);
    EXPECT_EQ(std::memcmp(magic, "\x89PNG", 4), 0);
    file.Close();

    ClearPathMap();
    Write("assets/__systemcursor__.png", "mine");
    InitFileSystem();
    EXPECT_EQ(ResolvePath("__systemcursor__.png", true), "assets/__systemcursor__.png");
}

TEST_F(FileLayerTest, UserWritesCreateTheirFoldersAndAreFoundLater)
{
    InitFileSystem();
    TFile file;
    ASSERT_TRUE(file.Open("user:Saves/Slot1/Game.dat", kFileWriteBinary));
    EXPECT_EQ(file.Write("abc", 3), 3);
    file.Close();
    EXPECT_EQ(filetest::ReadBytes(mRoot + "/user/Saves/Slot1/Game.dat"), "abc");
    EXPECT_EQ(GetPathMap().count("user:saves/slot1/game.dat"), 1u);
    EXPECT_EQ(ReadAll("USER:saves/slot1/game.dat", kFileReadBinary), "abc");
}

TEST_F(FileLayerTest, WritesReplaceTheFileOnlyWhenClosed)
{
    Write("user/prefs.dat", "old");
    InitFileSystem();
    TFile file;
    ASSERT_TRUE(file.Open("user:prefs.dat", kFileWriteBinary));
    file.Write("new!", 4);
    EXPECT_EQ(filetest::ReadBytes(mRoot + "/user/prefs.dat"), "old");
    EXPECT_TRUE(file.Close());
    EXPECT_EQ(filetest::ReadBytes(mRoot + "/user/prefs.dat"), "new!");
    // Nothing is left behind under a temporary name.
    sys::FolderListing listing;
    ASSERT_TRUE(listing.Open(mRoot + "/user"));
    std::string name;
    bool isFolder = false;
    int count = 0;
    while (listing.Next(name, isFolder))
        ++count;
    EXPECT_EQ(count, 1);
}

// A run killed during a save leaves "<name>.tmp<process id>-<n>" (earlier versions
// "<name>.tmp<digits>") beside the file; the next start removes exactly those, at the top of its
// data folders, and only the ones no running save can own: of a writer that runs no more, or,
// without a writer in the name and with another instance possibly saving, older than any save.
TEST_F(FileLayerTest, LeftoverTemporaryFilesOfKilledSavesAreRemovedAtStart)
{
    Folder("user/saves");
    Folder("user/x.tmp5");
    // A running writer's (this test's own, as another copy's save in progress), however old.
    const std::string running = "user/prefs.dat.tmp" + std::to_string(getpid()) + "-3";
    for (const char* name :
         {"user/prefs.dat.tmp3", "common/display.xml.tmp12", "user/prefs.dat", "user/prefs.dat.tmp",
          "user/notes.tmp12x", "user/.tmp1", "user/saves/a.sav.tmp4", "user/hiscore.dat.tmp7",
          "user/time.dat.tmp999999999-17", "user/time.dat.tmp42-x", running.c_str()})
        Write(name, "x");
    std::filesystem::last_write_time(mRoot + "/" + running,
                                     std::filesystem::file_time_type::clock::now() -
                                         std::chrono::hours(2));
    const auto exists = [this](const char* name)
    { return std::filesystem::exists(mRoot + "/" + name); };
    // Written a moment ago: another instance's save may be under way.
    std::filesystem::last_write_time(mRoot + "/user/prefs.dat.tmp3",
                                     std::filesystem::file_time_type::clock::now() -
                                         std::chrono::minutes(2));
    RemoveLeftoverTemporaryFiles(60);
    EXPECT_FALSE(exists("user/prefs.dat.tmp3"));
    EXPECT_TRUE(exists("user/hiscore.dat.tmp7"));
    EXPECT_TRUE(exists("common/display.xml.tmp12"));

    RemoveLeftoverTemporaryFiles(0);
    EXPECT_FALSE(exists("user/hiscore.dat.tmp7"));
    EXPECT_FALSE(exists("common/display.xml.tmp12"));
    EXPECT_FALSE(exists("user/time.dat.tmp999999999-17"));
    for (const char* kept :
         {"user/prefs.dat", "user/prefs.dat.tmp", "user/notes.tmp12x", "user/.tmp1",
          "user/saves/a.sav.tmp4", "user/x.tmp5", "user/time.dat.tmp42-x", running.c_str()})
        EXPECT_TRUE(exists(kept)) << kept;
    EXPECT_NE(Log().find(": Removed '" + mRoot +
                         "/user/prefs.dat.tmp3', left by a write that did "
                         "not finish\n"),
              std::string::npos)
        << Log();
}

// A save's lock file that cannot be flocked (a file system answering ENOLCK or EOPNOTSUPP,
// another user's file, a folder at its name): the stand-in "prefs.dat.lock.x" made new is the
// lock, so a second holder is kept out while it is held and let in once it is let go; one left by
// a holder gone is taken over once its holder's lock is free, or, with no flock at all, once it is
// older than any save takes.
TEST_F(FileLayerTest, ALockThatCannotBeFlockedFallsBackToAStandInThatStillExcludes)
{
    namespace fs = std::filesystem;
    const std::string lockFile = mRoot + "/user/prefs.dat.lock";
    const std::string standIn = lockFile + sys::kExclusiveLockSuffix;
    const struct
    {
        const char* mName;
        int mError;
        std::function<void()> mMake;
        bool mNeedsRoot = false;
    } shapes[] = {
        {"no locks on the file system", ENOLCK, [] {}},
        {"locks not supported", EOPNOTSUPP, [] {}},
        {"another user's lock file", 0,
         [&]
         {
             Write("user/prefs.dat.lock", "");
             ASSERT_EQ(chown(lockFile.c_str(), 65534, 65534), 0) << std::strerror(errno);
         },
         true},
        {"a folder at its name", 0, [&] { Folder("user/prefs.dat.lock"); }},
    };
    SetFileLockWait(20);
    for (const auto& shape : shapes)
    {
        SCOPED_TRACE(shape.mName);
        if (shape.mNeedsRoot && geteuid() != 0)
        {
            std::printf("[  NOTE    ] %s: not run, another user's file needs root\n", shape.mName);
            continue;
        }
        fs::remove_all(lockFile);
        shape.mMake();
        sys::InjectLockFailure(shape.mError);
        {
            TFileLock first("user:prefs.dat");
            ASSERT_TRUE(first.Held()) << first.GetReason().c_str();
            EXPECT_TRUE(fs::exists(standIn));
            // Its holder touches it at each check before a rename: one held for an hour by a copy
            // that cannot be asked (another machine's) is held all the same once checked.
            std::ofstream(standIn, std::ios::binary | std::ios::trunc)
                << "another-boot/pid:[1] 77 1234\n";
            fs::last_write_time(standIn, fs::file_time_type::clock::now() - std::chrono::hours(1));
            TString reason;
            first.NoteFile();
            EXPECT_TRUE(first.MayReplace(reason)) << reason.c_str();
            TFileLock second("user:prefs.dat");
            EXPECT_FALSE(second.Held());
            EXPECT_EQ(std::string(second.GetReason().c_str()).rfind("another process holds it", 0),
                      0u)
                << second.GetReason().c_str();
        }
        EXPECT_FALSE(fs::exists(standIn)) << "let go by its removal";

        // Left by a holder killed a moment ago, then long ago.
        const auto leftFor = [&](std::chrono::seconds age)
        {
            Write("user/prefs.dat.lock.x", "");
            fs::last_write_time(standIn, fs::file_time_type::clock::now() - age);
            return TFileLock("user:prefs.dat").Held();
        };
        EXPECT_EQ(leftFor(std::chrono::seconds(5)), shape.mError == 0)
            << "taken once its holder's lock is free";
        EXPECT_TRUE(leftFor(std::chrono::hours(1)));
        // The clock set back since, or another machine's clock ahead on a shared folder.
        EXPECT_TRUE(leftFor(-std::chrono::hours(24))) << "dated a day ahead: no holder's of now";
        EXPECT_FALSE(fs::exists(standIn));
        sys::InjectLockFailure(0);
    }
    SetFileLockWait(kFileLockWaitMs);
}

// A stand-in names where its holder runs: a holder this machine can ask is asked, where no flock
// can be had too. One whose holder ended (killed, never letting go) is taken at once, however
// young; one whose holder still runs (stopped) is held, however old.
TEST_F(FileLayerTest, AStandInsHolderThatCanBeAskedIsAskedWhateverItsAge)
{
    namespace fs = std::filesystem;
    const std::string lockFile = mRoot + "/user/prefs.dat.lock";
    const std::string standIn = lockFile + sys::kExclusiveLockSuffix;
    SetFileLockWait(20);
    sys::InjectLockFailure(ENOLCK);
    for (const bool running : {false, true})
    {
        SCOPED_TRACE(running ? "its holder runs" : "its holder ended");
        int ready[2];
        ASSERT_EQ(pipe(ready), 0);
        const pid_t holder = fork();
        ASSERT_GE(holder, 0);
        if (holder == 0)
        {
            sys::LockRequest request;
            request.standIn = true;
            std::string reason;
            sys::LockResult result = sys::LockResult::kRefused;
            const int fd = sys::LockFile(lockFile, request, reason, result);
            const char said = fd >= 0 ? 'y' : 'n';
            if (write(ready[1], &said, 1) != 1 || !running || fd < 0)
                _exit(0);
            pause();
            _exit(0);
        }
        close(ready[1]);
        // Ended whatever the test finds: a holder left stopped would hold the test's output open.
        struct Reaped
        {
            pid_t mPid;
            ~Reaped()
            {
                if (kill(mPid, SIGKILL) == 0)
                    waitpid(mPid, nullptr, 0);
            }
        } reaped{holder};
        char said = 0;
        ASSERT_EQ(read(ready[0], &said, 1), 1);
        close(ready[0]);
        ASSERT_EQ(said, 'y');
        if (!running)
        {
            ASSERT_EQ(waitpid(holder, nullptr, 0), holder);
        }
        ASSERT_TRUE(fs::exists(standIn));
        fs::last_write_time(standIn, fs::file_time_type::clock::now() -
                                         (running ? std::chrono::hours(1) : std::chrono::hours(0)));
        EXPECT_EQ(TFileLock("user:prefs.dat").Held(), !running);
        if (running)
        {
            kill(holder, SIGKILL);
            ASSERT_EQ(waitpid(holder, nullptr, 0), holder);
            EXPECT_TRUE(TFileLock("user:prefs.dat").Held()) << "taken once its holder ended";
        }
        EXPECT_FALSE(fs::exists(standIn));
        fs::remove(standIn);
    }
    sys::InjectLockFailure(0);
    SetFileLockWait(kFileLockWaitMs);
}

// What the start says of a save lock's stand-in, where no flock can be had: one left by a copy that
// ended that this user cannot remove (another user's, in a folder this user may not change: the
// failure is injected, since root, who runs the tests in CI, is refused neither the read nor the
// removal), and one that names no copy this machine can ask, which only its age will free.
TEST_F(FileLayerTest, AStandInThatStopsSavesIsSaidAtTheStartInTrueWords)
{
    namespace fs = std::filesystem;
    const std::string folder = mRoot + "/user";
    const std::string standIn = folder + "/prefs.dat.lock" + sys::kExclusiveLockSuffix;
    const std::string noLocks = std::strerror(ENOLCK);
    const struct
    {
        const char* mName;
        int mError;
        std::chrono::seconds mAge;
        std::string mSaid;
    } shapes[] = {
        {"left by a copy that ended, and cannot be removed", EACCES, std::chrono::hours(1),
         "ERROR: The lock of '" + folder + "/prefs.dat' cannot be had (" + noLocks +
             ", nor can its stand-in be made: '" + standIn +
             "' was left there by a copy that ended, and this user cannot remove it (" +
             std::strerror(EACCES) + ")): changes made in this run will not be kept.\n"},
        {"of a copy this machine cannot ask", 0, std::chrono::seconds(30),
         "ERROR: The lock of '" + folder + "/prefs.dat' is held (its stand-in '" + standIn +
             "' names no copy this machine can ask whether it still runs, nor can its lock tell: "
             "it is taken as left only once it is a minute old, in 30 s): saves wait until then, "
             "and a run that ends sooner loses its changes.\n"},
    };
    sys::InjectLockFailure(ENOLCK);
    for (const auto& shape : shapes)
    {
        SCOPED_TRACE(shape.mName);
        Write("user/prefs.dat.lock.x", "another-boot/pid:[1] 77 1234\n");
        fs::last_write_time(standIn, fs::file_time_type::clock::now() - shape.mAge);
        sys::InjectStandInFailure(shape.mError);
        testing::internal::CaptureStderr();
        WarnIfSavesCannotBeLocked(folder.c_str());
        const std::string said = testing::internal::GetCapturedStderr();
        sys::InjectStandInFailure(0);
        EXPECT_EQ(said, shape.mSaid);
        EXPECT_NE(Log().find(shape.mSaid), std::string::npos) << Log();
        EXPECT_TRUE(fs::exists(standIn));
        fs::remove(standIn);
    }
    sys::InjectLockFailure(0);
}

// A temporary whose writer's id names no process here (a writer in another process namespace
// sharing the folder): kept while its writer's lock on it is held, removed once it is free; where
// no flock can be had, kept until it is older than any save takes. The rule is shown directly: a
// second process namespace is not needed to hold a lock under a foreign id.
TEST_F(FileLayerTest, ATemporaryIsSweptOnlyOnceItsWritersLockIsFree)
{
    namespace fs = std::filesystem;
    const std::string name = "user/prefs.dat.tmp999999998-1";
    const std::string path = mRoot + "/" + name;
    Write(name, "their closing save");
    const int held = open(path.c_str(), O_RDONLY);
    ASSERT_GE(held, 0);
    ASSERT_EQ(flock(held, LOCK_EX | LOCK_NB), 0);
    RemoveLeftoverTemporaryFiles(0);
    EXPECT_TRUE(fs::exists(path)) << "its writer still writes it";
    close(held);

    sys::InjectLockFailure(ENOLCK);
    RemoveLeftoverTemporaryFiles(0);
    EXPECT_TRUE(fs::exists(path)) << "no flock here: younger than any save takes";
    fs::last_write_time(path, fs::file_time_type::clock::now() -
                                  std::chrono::seconds(sys::kTemporaryStaleSeconds + 60));
    RemoveLeftoverTemporaryFiles(0);
    sys::InjectLockFailure(0);
    EXPECT_FALSE(fs::exists(path));

    Write(name, "a killed writer's");
    RemoveLeftoverTemporaryFiles(0);
    EXPECT_FALSE(fs::exists(path));
}

// The temporary a whole-file write fills is flocked by its writer until it is renamed.
TEST_F(FileLayerTest, AWholeFileWriteHoldsItsTemporarysLockUntilTheRename)
{
    TFile file;
    ASSERT_TRUE(file.Open("user:held.dat", kFileWriteBinary));
    std::string temporary;
    for (const auto& entry : std::filesystem::directory_iterator(mRoot + "/user"))
        if (entry.path().filename().string().find(".tmp") != std::string::npos)
            temporary = entry.path().string();
    ASSERT_FALSE(temporary.empty());
    const int probe = open(temporary.c_str(), O_RDONLY);
    ASSERT_GE(probe, 0);
    EXPECT_NE(flock(probe, LOCK_EX | LOCK_NB), 0);
    EXPECT_EQ(errno, EWOULDBLOCK);
    file.Write("x", 1);
    file.Close();
    EXPECT_EQ(flock(probe, LOCK_EX | LOCK_NB), 0) << "let go once renamed";
    close(probe);
}

// A save holding the lock renames its new file only over the file it noted: one replaced or written
// meanwhile by something that takes no lock, or a lock file removed and made again (another
// holder may have it now), keeps the file at the name and leaves no temporary file.
TEST_F(FileLayerTest, AWholeFileWriteUnderTheLockReplacesOnlyTheFileItNoted)
{
    namespace fs = std::filesystem;
    const std::string file = mRoot + "/user/prefs.dat";
    const std::string lockFile = file + ".lock";
    const struct
    {
        const char* mName;
        std::function<void()> mMeanwhile;
        const char* mReason;
    } shapes[] = {
        {"replaced", [&] { Write("user/prefs.dat", "theirs"); },
         "it was replaced or written by something else while it was written"},
        {"lock made again",
         [&]
         {
             fs::remove(lockFile);
             Write("user/prefs.dat.lock", "");
         },
         "its lock file was removed or replaced while it was written"},
    };
    for (const auto& shape : shapes)
    {
        SCOPED_TRACE(shape.mName);
        Write("user/prefs.dat", "old");
        TFileLock lock("user:prefs.dat");
        ASSERT_TRUE(lock.Held());
        lock.NoteFile();
        TString reason;
        const TReplaceCheck check = [&](TString& why) { return lock.MayReplace(why); };
        ASSERT_TRUE(WriteWholeFile("user:prefs.dat", "mine", 4, reason, check)) << reason.c_str();
        lock.NoteFile();
        shape.mMeanwhile();
        const std::string before = filetest::ReadBytes(file);
        EXPECT_FALSE(WriteWholeFile("user:prefs.dat", "late", 4, reason, check));
        EXPECT_STREQ(reason.c_str(), shape.mReason);
        EXPECT_EQ(filetest::ReadBytes(file), before);
        for (const auto& entry : fs::directory_iterator(mRoot + "/user"))
            EXPECT_EQ(entry.path().filename().string().find(".tmp"), std::string::npos);
    }
}

// Links planted at the temporary names a save may take, to a file outside the data folder: the
// save goes to a file of its own, the outside file keeps its bytes and the saved file is no link.
TEST_F(FileLayerTest, SavesNeverWriteThroughALinkPlantedAtTheirTemporaryName)
{
    namespace fs = std::filesystem;
    const std::string outside = mRoot + "/outside.dat";
    Write("outside.dat", "outside");
    Write("user/prefs.dat", "old");
    const std::string own = mRoot + "/user/prefs.dat.tmp" + std::to_string(getpid()) + "-";
    for (int n = 1; n <= 12; ++n)
    {
        fs::create_symlink(outside, mRoot + "/user/prefs.dat.tmp" + std::to_string(n));
        fs::create_symlink(outside, own + std::to_string(n));
    }
    InitFileSystem();
    TString reason;
    ASSERT_TRUE(WriteWholeFile("user:prefs.dat", "profile", 7, reason)) << reason.c_str();
    EXPECT_FALSE(fs::is_symlink(mRoot + "/user/prefs.dat"));
    EXPECT_EQ(filetest::ReadBytes(mRoot + "/user/prefs.dat"), "profile");
    EXPECT_EQ(filetest::ReadBytes(outside), "outside");
    EXPECT_EQ(Entries(mRoot + "/user").size(), 25u);
}

TEST_F(FileLayerTest, AWriteThatCannotReplaceTheFileFailsAtClose)
{
    Folder("user/taken");
    TFile file;
    ASSERT_TRUE(file.Open("user:taken", kFileWriteBinary));
    file.Write("x", 1);
    EXPECT_FALSE(file.Close());
    EXPECT_TRUE(file.Close()); // nothing open any more
}

// A write that fell short (here at the file-size limit, as on a full disk) leaves a cut file,
// and the stream drops what it could not write, so a later flush succeeds: the close still fails
// with the write's reason, the old file stays and no temporary file is left.
TEST_F(FileLayerTest, AWriteThatFellShortNeverReplacesTheFile)
{
    Write("user/scores.dat", "old");
    InitFileSystem();
    const std::string block(20000, 'x');
    TFile file;
    ASSERT_TRUE(file.Open("user:scores.dat", kFileWriteBinary));
    {
        FileSizeLimit limit(8192);
        EXPECT_LT(file.Write(block.data(), 20000), 20000);
    }
    EXPECT_FALSE(file.Close());
    EXPECT_STREQ(file.GetError().c_str(), std::strerror(EFBIG));
    EXPECT_EQ(filetest::ReadBytes(mRoot + "/user/scores.dat"), "old");
    EXPECT_EQ(Entries(mRoot + "/user"), std::vector<std::string>{"scores.dat"});

    TString reason;
    {
        FileSizeLimit limit(8192);
        EXPECT_FALSE(WriteWholeFile("user:scores.dat", block.data(), 20000, reason));
    }
    EXPECT_EQ(filetest::ReadBytes(mRoot + "/user/scores.dat"), "old");
    EXPECT_EQ(Entries(mRoot + "/user"), std::vector<std::string>{"scores.dat"});
}

// A FIFO would hold the open until a writer came (here the test holds both ends, so that it
// cannot), a device never ends: only regular files are read or appended to. What is there but
// is no file is told apart from what is missing.
TEST_F(FileLayerTest, OnlyRegularFilesAreReadOrAppendedTo)
{
    namespace fs = std::filesystem;
    ASSERT_EQ(mkfifo((mRoot + "/user/pipe.dat").c_str(), 0600), 0) << std::strerror(errno);
    const int bothEnds = open((mRoot + "/user/pipe.dat").c_str(), O_RDWR | O_NONBLOCK);
    ASSERT_GE(bothEnds, 0);
    fs::create_symlink("/dev/zero", mRoot + "/user/zero.dat");
    fs::create_symlink("/dev/null", mRoot + "/user/null.dat");
    Folder("user/folder.dat");
    Write("user/real.dat", "real");
    fs::create_symlink(mRoot + "/user/real.dat", mRoot + "/user/link.dat");
    InitFileSystem();
    for (const char* name : {"user:pipe.dat", "user:zero.dat", "user:null.dat", "user:folder.dat"})
        for (int mode : {kFileReadBinary, kFileReadText, kFileAppendBinary})
        {
            TFile file;
            EXPECT_FALSE(file.Open(name, mode)) << name << " " << mode;
            EXPECT_TRUE(file.Refused()) << name << " " << mode;
            // An append never goes through a link, whatever it points to.
            const std::string error =
                std::string(name) == "user:folder.dat" ? "it is a folder"
                : mode == kFileAppendBinary && name != std::string("user:pipe.dat")
                    ? "it is a link"
                    : "it is not a regular file";
            EXPECT_EQ(file.GetError().c_str(), error) << name << " " << mode;
        }
    close(bothEnds);
    TFile file;
    EXPECT_FALSE(file.Open("user:missing.dat", kFileReadBinary));
    EXPECT_FALSE(file.Refused());
    EXPECT_EQ(ReadAll("user:link.dat", kFileReadBinary), "real");
    // A link put at a name is read through, but never appended to: the write would land wherever
    // it points.
    EXPECT_FALSE(file.Open("user:link.dat", kFileAppendBinary));
    EXPECT_TRUE(file.Refused());
    EXPECT_STREQ(file.GetError().c_str(), "it is a link");
    ASSERT_TRUE(file.Open("user:real.dat", kFileAppendBinary));
    EXPECT_FALSE(file.Refused());
    EXPECT_EQ(file.Write("!", 1), 1);
    EXPECT_TRUE(file.Close());
    EXPECT_EQ(filetest::ReadBytes(mRoot + "/user/real.dat"), "real!");
}

// Each damaged copy takes the first free name of "<name>.bad", "<name>.bad1"... (a dangling link
// holds its name), never one in use. A copy that cannot be written whole leaves nothing; what no
// reader takes, or is no file, is moved there unread; at ten names the keep fails.
TEST_F(FileLayerTest, DamagedFilesAreKeptUnderTheirFirstFreeNameNeverOverAnother)
{
    namespace fs = std::filesystem;
    const std::string user = mRoot + "/user/";
    Write("user/data.dat", "damaged");
    Write("user/data.dat.bad", "earlier");
    InitFileSystem();
    TString kept;
    TString reason;
    ASSERT_TRUE(KeepDamagedFile("user:data.dat", 100, kept, reason)) << reason.c_str();
    EXPECT_STREQ(kept.c_str(), "user:data.dat.bad1");
    EXPECT_EQ(filetest::ReadBytes(user + "data.dat.bad"), "earlier");
    EXPECT_EQ(filetest::ReadBytes(user + "data.dat.bad1"), "damaged");
    EXPECT_EQ(filetest::ReadBytes(user + "data.dat"), "damaged");

    // Cut by a full disk: nothing is kept, nothing replaced, no temporary file left.
    const std::string large(20000, 'd');
    Write("user/data.dat", large);
    {
        FileSizeLimit limit(8192);
        EXPECT_FALSE(KeepDamagedFile("user:data.dat", 1 << 20, kept, reason));
    }
    EXPECT_STREQ(reason.c_str(), std::strerror(EFBIG));
    EXPECT_EQ(Entries(mRoot + "/user"),
              (std::vector<std::string>{"data.dat", "data.dat.bad", "data.dat.bad1"}));

    fs::create_symlink("nowhere", user + "data.dat.bad2");
    Write("user/data.dat", std::string(101, 'x'));
    ASSERT_TRUE(KeepDamagedFile("user:data.dat", 100, kept, reason));
    EXPECT_STREQ(kept.c_str(), "user:data.dat.bad3");
    EXPECT_EQ(fs::file_size(user + "data.dat.bad3"), 101u);
    EXPECT_FALSE(fs::exists(user + "data.dat"));

    fs::create_symlink("/dev/zero", user + "data.dat");
    ASSERT_TRUE(KeepDamagedFile("user:data.dat", 100, kept, reason));
    EXPECT_STREQ(kept.c_str(), "user:data.dat.bad4");
    EXPECT_EQ(fs::read_symlink(user + "data.dat.bad4"), "/dev/zero");
    EXPECT_FALSE(fs::is_symlink(user + "data.dat"));

    for (int n = 5; n <= 9; ++n)
        Write("user/data.dat.bad" + std::to_string(n), "x");
    Write("user/data.dat", "last");
    EXPECT_FALSE(KeepDamagedFile("user:data.dat", 100, kept, reason));
    EXPECT_EQ(std::string(reason.c_str()),
              "'" + user + "data.dat.bad' and the 9 names after it are taken");
    EXPECT_EQ(filetest::ReadBytes(user + "data.dat"), "last");
    EXPECT_EQ(Entries(mRoot + "/user").size(), 11u);
}

// A damaged file removed meanwhile leaves nothing to lose: the keep succeeds without a copy, and
// the save may go on. A read that fails with EIO (here the process's own memory at address 0) is
// no end of the file: the keep fails and leaves no cut copy.
TEST_F(FileLayerTest, AKeepOfAFileGoneSucceedsAndOfAFileThatCannotBeReadFails)
{
    namespace fs = std::filesystem;
    Write("user/data.dat", "damaged");
    InitFileSystem();
    fs::remove(mRoot + "/user/data.dat");
    TString kept = "unset";
    TString reason;
    ASSERT_TRUE(KeepDamagedFile("user:data.dat", 100, kept, reason)) << reason.c_str();
    EXPECT_EQ(kept.Length(), 0);
    EXPECT_TRUE(fs::is_empty(mRoot + "/user"));

    fs::create_symlink("/proc/self/mem", mRoot + "/user/data.dat");
    EXPECT_FALSE(KeepDamagedFile("user:data.dat", 100, kept, reason));
    EXPECT_STREQ(reason.c_str(), std::strerror(EIO));
    EXPECT_EQ(Entries(mRoot + "/user"), std::vector<std::string>{"data.dat"});
}

// The exclusion file is read only when it is a regular file: a FIFO in its place (here holding a
// byte, with the test at both ends) is said and skipped, and a missing one is no error.
TEST_F(FileLayerTest, AnExclusionFileThatIsNoFileIsRefused)
{
    ASSERT_EQ(mkfifo((mRoot + "/final.txt").c_str(), 0600), 0);
    const int bothEnds = open((mRoot + "/final.txt").c_str(), O_RDWR | O_NONBLOCK);
    ASSERT_GE(bothEnds, 0);
    ASSERT_EQ(write(bothEnds, "x", 1), 1);
    InitFileSystem();
    close(bothEnds);
    EXPECT_NE(Log().find(": ERROR: The exclusion file 'final.txt' was not read: it is not a "
                         "regular file\n"),
              std::string::npos)
        << Log();
}

TEST_F(FileLayerTest, AppendModesAddToTheFile)
{
    Write("user/log.txt", "one\n");
    InitFileSystem();
    TFile file;
    ASSERT_TRUE(file.Open("user:log.txt", kFileAppendText));
    file.Write("two\n", 4);
    file.Close();
    EXPECT_EQ(filetest::ReadBytes(mRoot + "/user/log.txt"), "one\ntwo\n");
}

TEST_F(FileLayerTest, StrictLookupOfMissingUserFileStoresNothing)
{
    InitFileSystem();
    EXPECT_EQ(ResolvePath("user:missing.txt", true), "");
    EXPECT_EQ(GetPathMap().count("user:missing.txt"), 0u);
    EXPECT_EQ(ResolvePath("user:Missing.txt", false),
              TString((mRoot + "/user/Missing.txt").c_str()));
    EXPECT_EQ(GetPathMap().count("user:missing.txt"), 1u);
    EXPECT_EQ(ResolvePath("common:a/b", false), TString((mRoot + "/common/a/b").c_str()));
    EXPECT_EQ(ResolvePath("desktop:shot.png", false),
              TString((mRoot + "/desktop/shot.png").c_str()));
}

TEST_F(FileLayerTest, NativeNamesBypassTheMapAndNeedTheFile)
{
    Write("Native.bin", "n");
    InitFileSystem();
    EXPECT_EQ(ResolvePath("::Native.bin", true), "Native.bin");
    EXPECT_EQ(ResolvePath("::missing.bin", false), "");
    Folder("afolder");
    TFile folder;
    EXPECT_FALSE(folder.Open("::afolder", kFileReadBinary));
    EXPECT_EQ(GetPathMap().count("::native.bin"), 0u);
}

TEST_F(FileLayerTest, NativeNamesThatLookLikeLocationsStayDiskFiles)
{
    Write("&1,4", "disk");
    Write("@0:0,4", "pack");
    InitFileSystem();
    EXPECT_EQ(ReadAll("::&1,4", kFileReadBinary), "disk");
    EXPECT_EQ(ReadAll("::@0:0,4", kFileReadBinary), "pack");
    // The same below an empty data folder, which stands for the working folder.
    SetDataFolders(TString(), TString(), TString());
    EXPECT_EQ(ReadAll("user:&1,4", kFileReadBinary), "disk");
    EXPECT_TRUE(DeleteFile("user:&1,4"));
    EXPECT_FALSE(std::filesystem::exists(mRoot + "/&1,4"));
}

TEST_F(FileLayerTest, DiskTextReadsDropTheCrOfCrLfOnly)
{
    Write("assets/text.txt", "a\r\nb\rc\r\n\r\r\n");
    InitFileSystem();
    EXPECT_EQ(ReadAll("text.txt", kFileReadText), "a\nb\rc\n\r\n");
    EXPECT_EQ(ReadAll("text.txt", kFileReadBinary), "a\r\nb\rc\r\n\r\r\n");
    // An unknown mode reads as text.
    EXPECT_EQ(ReadAll("text.txt", 9), "a\nb\rc\n\r\n");
}

TEST_F(FileLayerTest, TextWritesKeepLineFeeds)
{
    InitFileSystem();
    TFile file;
    ASSERT_TRUE(file.Open("user:out.txt", kFileWriteText));
    file.Write("x\ny\n", 4);
    file.Close();
    EXPECT_EQ(filetest::ReadBytes(mRoot + "/user/out.txt"), "x\ny\n");
}

TEST_F(FileLayerTest, DiskSeekUsesThePlatformOriginsAndUngetRereads)
{
    Write("assets/d.bin", "0123456789");
    InitFileSystem();
    TFile* file = OpenFile("d.bin", kFileReadBinary);
    ASSERT_NE(file, nullptr);
    EXPECT_EQ(file->Length(), 10);
    FileSeek(file, 4, kSeekStart);
    EXPECT_EQ(FileGetc(file), '4');
    FileSeek(file, 2, kSeekCurrent);
    EXPECT_EQ(FileGetc(file), '7');
    FileUngetc(file);
    EXPECT_EQ(FileGetc(file), '7');
    FileSeek(file, -1, kSeekEnd);
    EXPECT_EQ(FileTell(file), 9);
    EXPECT_EQ(FileGetc(file), '9');
    EXPECT_EQ(FileGetc(file), -1);
    EXPECT_TRUE(FileEof(file));
    EXPECT_FALSE(FileError(file));
    DestroyFile(file);
    EXPECT_EQ(OpenFile("nothing.bin", kFileReadBinary), nullptr);
    EXPECT_TRUE(FileError(nullptr));
}

TEST_F(FileLayerTest, ClosedHandleAnswersItsDefaults)
{
    TFile file;
    EXPECT_FALSE(file.IsOpen());
    EXPECT_TRUE(file.AtEnd());
    EXPECT_EQ(file.Length(), 0);
    EXPECT_EQ(file.Tell(), -1);
    char c = 0;
    EXPECT_EQ(file.Read(&c, 1), 0);
    EXPECT_EQ(file.Write(&c, 1), 0);
    file.Seek(1, kSeekStart);
    file.UngetLast();
}

TEST_F(FileLayerTest, MemoryFilesInTextModeDropEveryCr)
{
    static const char block[] = {'a', '\r', '\n', 'b'};
    RegisterMemoryFileName("Mem/Block.bin", block, 4);
    TFile file;
    ASSERT_TRUE(file.Open("mem/block.bin", kFileReadText));
    char out[4] = {};
    EXPECT_EQ(file.Read(out, 4), 3);
    EXPECT_EQ(std::string(out, 3), "a\nb");
    EXPECT_TRUE(file.AtEnd());
    ASSERT_TRUE(file.Open("mem/block.bin", kFileReadBinary));
    EXPECT_EQ(file.Read(out, 4), 4);
    EXPECT_EQ(std::string(out, 4), std::string(block, 4));
}

TEST_F(FileLayerTest, MemoryFileSeeksClampToTheEnd)
{
    static const char block[] = "0123456789";
    RegisterMemoryFileName("m.bin", block, 10);
    TFile* file = OpenFile("m.bin", kFileReadBinary);
    ASSERT_NE(file, nullptr);
    FileSeek(file, -5, kSeekStart);
    EXPECT_EQ(FileTell(file), 10);
    EXPECT_EQ(FileGetc(file), -1);
    FileSeek(file, -2, kSeekEnd);
    EXPECT_EQ(FileGetc(file), '8');
    FileUngetc(file);
    EXPECT_EQ(FileGetc(file), '8');
    EXPECT_EQ(FileWrite(file, "x", 1), 0);
    DestroyFile(file);
    // Memory blocks cannot be opened for writing.
    TFile writer;
    EXPECT_FALSE(writer.Open("m.bin", kFileWriteBinary));
    RegisterMemoryFileName("M.BIN", nullptr, 0);
    EXPECT_FALSE(FileExists("m.bin"));
}

TEST_F(FileLayerTest, MemoryFileRegisteredLaterReplacesTheScannedFile)
{
    Write("assets/data.bin", "disk");
    InitFileSystem();
    static const char block[] = "mem";
    RegisterMemoryFileName("DATA.bin", block, 3);
    EXPECT_EQ(ReadAll("data.bin", kFileReadBinary), "mem");
}

TEST_F(FileLayerTest, ExclusionListHidesFilesAndFoldersFromScanAndStrictLookups)
{
    Folder("assets/secret");
    Write("assets/secret/a.txt", "a");
    Write("assets/Hidden.txt", "h");
    Write("assets/shown.txt", "s");
    Write("user/private.txt", "p");
    Write("final.txt", "SECRET hidden.txt\r\nuser:private.txt\tdropped -* secret hidden.txt "
                       "user:private.txt");
    InitFileSystem();
    // Listed before "-*", so dropped again.
    EXPECT_TRUE(IsNameVisible("dropped"));
    EXPECT_FALSE(FileExists("hidden.txt"));
    EXPECT_FALSE(FileExists("secret/a.txt"));
    EXPECT_TRUE(FileExists("shown.txt"));
    EXPECT_EQ(GetPathMap().count("user:private.txt"), 0u);
    EXPECT_EQ(ResolvePath("user:private.txt", true), "");
    // Writes are not strict.
    EXPECT_NE(ResolvePath("user:private.txt", false), "");
}

TEST_F(FileLayerTest, TokenDashStarEmptiesTheList)
{
    EXPECT_FALSE(ParseExclusionList("a b", true));
    EXPECT_TRUE(ParseExclusionList("c -* d", true));
    EXPECT_TRUE(IsNameVisible("a"));
    EXPECT_TRUE(IsNameVisible("c"));
    EXPECT_FALSE(IsNameVisible("d"));
    EXPECT_FALSE(ParseExclusionList("D", false));
    EXPECT_TRUE(IsNameVisible("d"));
}

TEST_F(FileLayerTest, ExclusionFileOf100000BytesIsIgnoredOneByteLessIsRead)
{
    Write("assets/gone.txt", "g");
    std::string text = "gone.txt";
    Write("final.txt", text + std::string(100000 - text.size(), ' '));
    InitFileSystem();
    EXPECT_TRUE(FileExists("gone.txt"));

    ClearPathMap();
    Write("final.txt", text + std::string(99999 - text.size(), ' '));
    InitFileSystem();
    EXPECT_FALSE(FileExists("gone.txt"));
}

TEST_F(FileLayerTest, PreviewModeReadsItsOwnExclusionFile)
{
    Write("assets/a.txt", "a");
    Write("assets/b.txt", "b");
    Write("final.txt", "a.txt");
    Write("glintview.txt", "b.txt");
    SetPreviewMode(true);
    InitFileSystem();
    EXPECT_TRUE(FileExists("a.txt"));
    EXPECT_FALSE(FileExists("b.txt"));
}

TEST_F(FileLayerTest, UserAndCommonFoldersAreScannedWithPrefixesUnlessActiveX)
{
    Folder("user/Saves");
    Write("user/Saves/One.sav", "1");
    Write("common/Display.xml", "d");
    Folder("assets/.svn");
    Write("assets/.svn/entries", "x");
    InitFileSystem();
    EXPECT_EQ(GetPathMap().count("user:saves/one.sav"), 1u);
    EXPECT_EQ(GetPathMap().count("common:display.xml"), 1u);
    EXPECT_EQ(GetPathMap().count(".svn/entries"), 0u);
    EXPECT_EQ(ResolvePath("user:saves/one.sav", true),
              TString((mRoot + "/user/Saves/One.sav").c_str()));

    ClearPathMap();
    SetConfig("activex", "1");
    InitFileSystem();
    EXPECT_EQ(GetPathMap().count("user:saves/one.sav"), 0u);
    // Still found on demand.
    EXPECT_TRUE(FileExists("user:Saves/One.sav"));
}

TEST_F(FileLayerTest, NextFileInFolderListsOneLevelOrAll)
{
    Folder("assets/levels");
    Folder("assets/levels/deep");
    Write("assets/levels/b.xml", "");
    Write("assets/levels/a.xml", "");
    Write("assets/levels/deep/c.xml", "");
    Write("assets/levelsx.xml", "");
    InitFileSystem();
    std::vector<std::string> flat;
    TString cursor;
    while (NextFileInFolder("Levels", cursor, false))
        flat.push_back(cursor.c_str());
    EXPECT_EQ(flat, (std::vector<std::string>{"levels/a.xml", "levels/b.xml"}));
    std::vector<std::string> all;
    cursor = TString();
    while (NextFileInFolder("levels/", cursor, true))
        all.push_back(cursor.c_str());
    EXPECT_EQ(all, (std::vector<std::string>{"levels/a.xml", "levels/b.xml", "levels/deep/c.xml"}));
}

TEST_F(FileLayerTest, DeleteFileOnlyTouchesUserAndCommonDiskFilesAndMemoryNames)
{
    Write("assets/asset.txt", "a");
    Write("user/victim.txt", "v");
    Write("common/keep.txt", "k");
    InitFileSystem();
    EXPECT_FALSE(DeleteFile("asset.txt"));
    EXPECT_TRUE(sys::PathAccess(mRoot + "/assets/asset.txt", 0));
    EXPECT_FALSE(DeleteFile("user:../common/keep.txt"));
    EXPECT_TRUE(sys::PathAccess(mRoot + "/common/keep.txt", 0));
    EXPECT_FALSE(DeleteFile("user:nothing.txt"));

    EXPECT_TRUE(DeleteFile("USER:Victim.txt"));
    EXPECT_FALSE(sys::PathAccess(mRoot + "/user/victim.txt", 0));
    EXPECT_EQ(GetPathMap().count("user:victim.txt"), 0u);

    static const char block[] = "m";
    RegisterMemoryFileName("mem.txt", block, 1);
    EXPECT_TRUE(DeleteFile("mem.txt"));
    EXPECT_FALSE(FileExists("mem.txt"));
}

// Links back into the folder (two of them would double the scan at each level, for ever as far
// as the player can tell) or to a folder scanned already are followed once, each said.
TEST_F(FileLayerTest, AFolderMetAgainThroughALinkIsScannedOnce)
{
    Folder("assets/loop");
    Write("assets/loop/x.txt", "x");
    Write("user/prefs.dat", "p");
    for (const auto& [link, target] :
         std::vector<std::pair<std::string, std::string>>{{"assets/loop/again", "assets/loop"},
                                                          {"assets/loop/up", "assets"},
                                                          {"user/a", "user"},
                                                          {"user/b", "user"}})
    {
        std::error_code ec;
        std::filesystem::create_directory_symlink(mRoot + "/" + target, mRoot + "/" + link, ec);
        ASSERT_FALSE(ec) << link;
    }
    InitFileSystem();
    EXPECT_TRUE(FileExists("loop/x.txt"));
    EXPECT_TRUE(FileExists("user:prefs.dat"));
    std::vector<std::string> keys;
    for (const auto& entry : GetPathMap())
        keys.emplace_back(entry.first.c_str());
    EXPECT_EQ(keys,
              (std::vector<std::string>{"__systemcursor__.png", "loop/x.txt", "user:prefs.dat"}));
    for (const char* folder : {"assets/loop/again", "assets/loop/up", "user/a", "user/b"})
    {
        const std::string top =
            std::string(folder).starts_with("user") ? mRoot + "/user" : "assets";
        const std::string path =
            std::string(folder).starts_with("user") ? mRoot + "/" + folder : folder;
        EXPECT_NE(Log().find(": The folder '" + path +
                             "' is not scanned again: it is a folder the "
                             "scan of '" +
                             top + "' has met before\n"),
                  std::string::npos)
            << Log();
    }
}

// A scan takes 100000 entries at most, and says where it stopped.
TEST_F(FileLayerTest, AScanStopsAtItsBoundOfEntriesWithALine)
{
    Folder("user/many");
    for (int i = 0; i <= 100000; ++i)
        close(open((mRoot + "/user/many/" + std::to_string(i)).c_str(), O_CREAT | O_WRONLY, 0600));
    InitFileSystem();
    EXPECT_EQ(GetPathMap().size(), 100000u);
    EXPECT_NE(Log().find(": ERROR: The scan of '" + mRoot +
                         "/user' stopped at 100000 entries, in '" + mRoot +
                         "/user/many': the files past them are not found\n"),
              std::string::npos)
        << Log();
}
