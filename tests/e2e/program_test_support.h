// The fixtures of the end-to-end tests: the program started as a process on SDL's dummy drivers
// with its data folders in a temporary folder, runs driven by input scripts on the fixed clock,
// their log checked for fault lines and their shots compared with golden pictures.
#pragma once

#include "e2e/main_menu_points.h"
#include "support/files.h"
#include "sys/clock.h"
#include "sys/process/process.h"

#include <gtest/gtest.h>
#include <png.h>
#include <sched.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <regex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace e2etest
{
namespace fs = std::filesystem;

// Start-up under the sanitizers is slow on a loaded machine; these only bound a hang. A run of the
// whole credits takes a thousand frames, a play-through of the locations several thousand, and a
// sanitizer build beside other tests on two cores needs minutes for them. They are measured on
// LoadTimeMs's clock, so a machine busier than its cores makes a run slow, never a failure.
constexpr uint32_t kStartLimitMs = 60000;
constexpr uint32_t kEndLimitMs = 300000;

// The share of a core a runnable process has: 1 while the machine's load (its one-minute average)
// is at most its cores, cores / load beyond that.
inline double CoreShare(const std::string& loadavg, unsigned cores)
{
    const double load = std::strtod(loadavg.c_str(), nullptr);
    return load > cores && cores > 0 ? cores / load : 1.0;
}

// Milliseconds of a clock for the tests' limits that runs at the wall clock's pace on a machine no
// busier than its cores and slows by CoreShare beyond, so a limit stands for the work a quiet
// machine does in that time. Read often (a wait reads it at least every 200 ms): each reading
// counts the time since the last at the present share.
inline uint32_t LoadTimeMs()
{
    static std::mutex guard;
    static uint32_t lastWall = sys::GetTimeMs();
    static double clock = 0;
    const std::lock_guard<std::mutex> lock(guard);
    const uint32_t now = sys::GetTimeMs();
    clock += (now - lastWall) *
             CoreShare(testsupport::ReadFile("/proc/loadavg"), std::thread::hardware_concurrency());
    lastWall = now;
    return static_cast<uint32_t>(clock);
}

// The share of a long sample (the close sweep's, the click sweep's, the games in one run) that a
// run takes: the samples were sized for eight processors, and a machine with fewer takes a
// proportional share of their frames, points or games (a quarter on two), so that `make ci` keeps
// its time there. The processors are those the tests may run on (`taskset` and CI limit them), or
// MURKWELL_SAMPLE_CORES when set; from eight up the whole sample.
inline double SampleShare()
{
    long cores = 0;
    if (const char* set = std::getenv("MURKWELL_SAMPLE_CORES"))
        cores = std::strtol(set, nullptr, 10);
    cpu_set_t usable;
    if (cores <= 0 && sched_getaffinity(0, sizeof usable, &usable) == 0)
        cores = CPU_COUNT(&usable);
    if (cores <= 0)
        cores = static_cast<long>(std::thread::hardware_concurrency());
    return std::clamp(static_cast<double>(cores) / 8.0, 1.0 / 8.0, 1.0);
}

// Whether the process has the file open (a copy waiting for a lock holds its lock file open).
inline bool HoldsOpen(int pid, const fs::path& file)
{
    std::error_code error;
    for (const auto& entry : fs::directory_iterator("/proc/" + std::to_string(pid) + "/fd", error))
    {
        std::error_code unread;
        if (fs::read_symlink(entry.path(), unread) == file)
            return true;
    }
    return false;
}

// sys::WaitProcess with its limit on LoadTimeMs's clock: false at once, as there, for a process
// that is no child of the test's (one already collected).
inline bool WaitProcessLoaded(int pid, uint32_t limitMs, int& exitCode)
{
    const uint32_t start = LoadTimeMs();
    for (;;)
    {
        const uint32_t spent = LoadTimeMs() - start;
        const uint32_t slice = std::min<uint32_t>(200, limitMs - std::min(spent, limitMs));
        const uint32_t before = sys::GetTimeMs();
        if (sys::WaitProcess(pid, slice, exitCode))
            return true;
        if (sys::GetTimeMs() - before < slice || LoadTimeMs() - start >= limitMs)
            return false;
    }
}

// The log's lines of a script that failed: the engine says a failed resume as "lua_resume ERROR:"
// and a coroutine that failed as it started as "lua_resume error:".
constexpr const char* kScriptFaults[] = {"Lua Error", "Lua error", "lua_resume error",
                                         "lua_resume ERROR", "Failed to run script"};
// The toolkit's own screen, opened first instead of the card and the splash screen.
constexpr const char* kToolkitScreen = "scripts/dev/toolkit.lua";
constexpr const char* kToolkitStart = "options=start=scripts/dev/toolkit.lua";

// The Gatehouse's script, and its line that sets up the tutorial prompts (which runs that go
// straight for a part of the location leave out: see CopyEdited).
constexpr const char* kGatehouseScript = "scripts/locations/gatehouse.lua";
constexpr const char* kGatehousePrompts = "tutorials = TutorialTable\\(true\\),";

// The screen points of the Gatehouse the content keeps for the tests (the art keeps them solid):
// its hall, storeroom and HUD, and the hint boards' buttons.
// Ends a line of a conversation while its voice runs. Voices play on the wall clock, not the fixed
// step, so a click may also come while the next line slides in and do nothing: Odo's two greeting
// lines are passed by three clicks 70 steps apart (a click after the lines is a lone miss).
constexpr const char* kNowhere = "400 120";
// The cut-scene's first cell cut short by its skip text once the strip shows; the second, the last,
// cannot be skipped: it stays until its texts are read (some 6 s with the scroll to it).
inline const std::string kSkipStory = "await story\nwait 80\nclick 690 490\n";
constexpr const char* kKeyHalf2 = "150 300";
constexpr const char* kKeyHalf1 = "612 410";
constexpr const char* kDoor = "550 270";
constexpr const char* kOilcan = "210 390";
constexpr const char* kLampGlass = "470 180";
constexpr const char* kCabinet = "640 250";
constexpr const char* kStripOne = "376 550";    // the strip's one object (its middle of three)
constexpr const char* kStripOilcan = "305 550"; // the first of the strip's two
constexpr const char* kThessalorTracker = "110 528";
constexpr const char* kLiraeTracker = "690 528";
constexpr const char* kThessalorMedallion = "50 550";
constexpr const char* kLiraeMedallion = "750 550";
constexpr const char* kJournalButton = "616 524";
constexpr const char* kBoardExit = "770 32";
constexpr const char* kBoardOk = "534 254"; // the boards' dialogs' OK (Lirae's arrow)

// From the game's menu: "Play", the name dialog, "Ann", "OK": the first location opens for a new
// player.
inline const std::string kNewPlayer = "focus gained\nwait 40\n" +
                                      menupoints::ClickLine(menupoints::kPlay) +
                                      "wait 60\ntext Ann\nwait 10\nclick 400 276\nwait 120\n";

// What the location says when it lets go of a wait nothing can end any more.
constexpr const char* kLetGoLine = "which nothing can end any more";

// A start-up script that shows nothing and waits: a run on a game folder of the tests' own ends
// on a request to (without one it would end at once, with status 1).
constexpr const char* kWaitingStartScript =
    "return function() while true do WaitForMessage() end end\n";

// The single-instance lock's file name in the data folder, as the program makes it: its path
// lower-cased, without separators, and "_MUTEX".
inline std::string InstanceLockName()
{
    std::string name;
    for (char c : fs::canonical(MURKWELL_PROGRAM).string())
        if (c != '/' && c != '\\' && c != ':')
            name += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (name.size() > 200)
        name = name.substr(name.size() - 200);
    return name + "_MUTEX";
}

using menupoints::ClickLine;
using testsupport::ReadFile;
using testsupport::WriteFile;
// The lines a run's trace printed.
using Traces = std::vector<std::string>;
// The status of a run that a fatal error (content the game cannot go on without) ended.
constexpr int kFatalErrorStatus = 2;

// A PNG file's pixels as B, G, R, A bytes; empty when it cannot be read.
struct Picture
{
    uint32_t mWidth = 0;
    uint32_t mHeight = 0;
    std::vector<uint8_t> mPixels;
};

inline Picture ReadPicture(const fs::path& path)
{
    Picture picture;
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, path.c_str()))
        return picture;
    image.format = PNG_FORMAT_BGRA;
    picture.mPixels.resize(PNG_IMAGE_SIZE(image));
    if (!png_image_finish_read(&image, nullptr, picture.mPixels.data(), 0, nullptr))
        return Picture();
    picture.mWidth = image.width;
    picture.mHeight = image.height;
    return picture;
}

// The part of a picture at x, y of w by h (which must lie inside it): a small golden for one
// window of a screen.
inline Picture Crop(const Picture& picture, uint32_t x, uint32_t y, uint32_t w, uint32_t h)
{
    Picture part{w, h, std::vector<uint8_t>(size_t(w) * h * 4)};
    for (uint32_t row = 0; row < h && y + row < picture.mHeight; ++row)
        for (uint32_t col = 0; col < w * 4 && (x * 4 + col) < picture.mWidth * 4; ++col)
            part.mPixels[(size_t(row) * w * 4) + col] =
                picture.mPixels[(size_t(y + row) * picture.mWidth + x) * 4 + col];
    return part;
}

// A pixel's blue, green, red; -1 each when the picture is no whole screen (its shot was not
// taken).
inline std::vector<int> At(const Picture& picture, uint32_t x, uint32_t y)
{
    if (picture.mWidth < 800)
        return std::vector<int>(3, -1);
    const size_t at = (size_t(y) * picture.mWidth + x) * 4;
    return std::vector<int>(picture.mPixels.begin() + static_cast<std::ptrdiff_t>(at),
                            picture.mPixels.begin() + static_cast<std::ptrdiff_t>(at) + 3);
}

// The drawn pointer at x, y of a whole-screen shot as text: its light pixels ('#', every channel
// above 100) in the 40 x 40 square from 10 up and left of the point, a row a line. On a dark wall
// that is the cursor's own shape (the arrow's fill right of and below the point, a hand's palm
// around it); empty without the shot.
inline std::string PointerShape(const Picture& shot, uint32_t x, uint32_t y)
{
    std::string shape;
    if (shot.mWidth < 800)
        return shape;
    for (uint32_t row = y - 10; row < y + 30; ++row)
    {
        for (uint32_t col = x - 10; col < x + 30; ++col)
        {
            const std::vector<int> p = At(shot, col, row);
            shape += std::min({p[0], p[1], p[2]}) > 100 ? '#' : '.';
        }
        shape += '\n';
    }
    return shape;
}

// Channels at most `spread` apart: a grey pixel.
inline bool Grey(const std::vector<int>& pixel, int spread)
{
    return std::max({pixel[0], pixel[1], pixel[2]}) - std::min({pixel[0], pixel[1], pixel[2]}) <=
           spread;
}

// WCAG's contrast ratio of the text in the box x, y, w, h of a whole-screen shot against the art
// behind it: the art is the box's median luminance, the text's ink the pixel farthest from it (the
// lightest or the darkest; a shadow on the art's side of the ink does not count). 0 without the
// shot.
inline double TextContrast(const Picture& shot, uint32_t x, uint32_t y, uint32_t w, uint32_t h)
{
    if (shot.mWidth < 800)
        return 0.0;
    auto linear = [](int c)
    {
        const double v = c / 255.0;
        return v <= 0.04045 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
    };
    std::vector<double> luminance;
    for (uint32_t row = y; row < y + h; ++row)
        for (uint32_t col = x; col < x + w; ++col)
        {
            const std::vector<int> p = At(shot, col, row); // blue, green, red
            luminance.push_back(0.2126 * linear(p[2]) + 0.7152 * linear(p[1]) +
                                0.0722 * linear(p[0]));
        }
    std::sort(luminance.begin(), luminance.end());
    const double art = luminance[luminance.size() / 2] + 0.05;
    return std::max((luminance.back() + 0.05) / art, art / (luminance.front() + 0.05));
}

// Compressed, unlike the frame test mode's own file, to keep the golden small.
inline bool WritePicture(const Picture& picture, const fs::path& path)
{
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    image.width = picture.mWidth;
    image.height = picture.mHeight;
    image.format = PNG_FORMAT_BGRA;
    return png_image_write_to_file(&image, path.c_str(), 0, picture.mPixels.data(), 0, nullptr);
}

// What `prefsdump` prints of a preferences file, its error line (when it has one) last; the
// tool's own exit code is not judged here, so damaged files can be looked at too.
inline std::string DumpPrefs(const fs::path& prefs, int* exitCode = nullptr)
{
    const fs::path output = prefs.string() + ".dump.txt";
    int pid = sys::SpawnProcess({"/bin/sh", "-c", "exec \"$0\" \"$@\" >\"$MW_OUTPUT\" 2>&1",
                                 MURKWELL_PREFSDUMP, prefs.string()},
                                {"MW_OUTPUT=" + output.string()});
    int code = -1;
    EXPECT_GT(pid, 0) << "prefsdump did not start";
    if (pid <= 0)
        return std::string();
    EXPECT_TRUE(WaitProcessLoaded(pid, kEndLimitMs, code)) << "prefsdump did not end";
    if (exitCode != nullptr)
        *exitCode = code;
    std::string text = ReadFile(output);
    std::error_code ignored;
    fs::remove(output, ignored);
    return text;
}

// What `hiscoredump` prints of a score file (its rows, or its error line), and its exit code in
// `exitCode`.
inline std::string DumpHiscores(const fs::path& scores, int* exitCode = nullptr)
{
    const fs::path output = scores.string() + ".dump.txt";
    int pid = sys::SpawnProcess({"/bin/sh", "-c", "exec \"$0\" \"$@\" >\"$MW_OUTPUT\" 2>&1",
                                 MURKWELL_HISCOREDUMP, scores.string()},
                                {"MW_OUTPUT=" + output.string()});
    int code = -1;
    EXPECT_GT(pid, 0) << "hiscoredump did not start";
    if (pid <= 0)
        return std::string();
    EXPECT_TRUE(WaitProcessLoaded(pid, kEndLimitMs, code)) << "hiscoredump did not end";
    if (exitCode != nullptr)
        *exitCode = code;
    std::string text = ReadFile(output);
    std::error_code ignored;
    fs::remove(output, ignored);
    return text;
}

// The lines the content's trace printed ("trace: " taken off), in their order.
inline std::vector<std::string> TraceLines(const std::string& output)
{
    std::vector<std::string> lines;
    const std::string prefix = "trace: ";
    size_t start = 0;
    while (start < output.size())
    {
        size_t end = output.find('\n', start);
        if (end == std::string::npos)
            end = output.size();
        if (output.compare(start, prefix.size(), prefix) == 0)
            lines.push_back(output.substr(start + prefix.size(), end - start - prefix.size()));
        start = end + 1;
    }
    return lines;
}

// The whole game's input script (`data/walkthrough.in`), or its part from the line "## <from>" up
// to the line "## <to>" (to its end without one), for runs that play part of the game as it does.
inline std::string WalkthroughScript(const std::string& from = "", const std::string& to = "")
{
    const std::string text =
        ReadFile(fs::path(MURKWELL_SOURCE_DIR) / "tests/e2e/data/walkthrough.in");
    const size_t start = from.empty() ? 0 : text.find("\n## " + from + "\n");
    const size_t end = to.empty() ? std::string::npos : text.find("\n## " + to + "\n", start);
    EXPECT_NE(start, std::string::npos) << "no section " << from;
    EXPECT_TRUE(to.empty() || end != std::string::npos) << "no section " << to;
    if (start == std::string::npos)
        return std::string();
    return text.substr(start, end == std::string::npos ? std::string::npos : end - start + 1);
}

// The program as a file at `program` (its folders made): a hard link where the file system
// allows, else a copy.
inline fs::path PlaceProgram(const fs::path& program)
{
    fs::create_directories(program.parent_path());
    std::error_code failed;
    fs::create_hard_link(MURKWELL_PROGRAM, program, failed);
    if (failed)
        fs::copy_file(MURKWELL_PROGRAM, program);
    return program;
}

class ProgramTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        fs::create_directories(mRoot / "run");
        WriteFile(mRoot / "game/assets/settings.xml",
                  "<settings><gamesetting>1</gamesetting></settings>\n");
        WriteFile(mRoot / "game/assets/strings.xml",
                  "<Workbook><Table><Row><Cell><Data>TITLE</Data></Cell>"
                  "<Cell><Data>Fixture</Data></Cell></Row></Table></Workbook>\n");
        WriteFile(mRoot / "game/assets/scripts/mainloop.lua", kWaitingStartScript);
        mEnv = {"XDG_DATA_HOME=" + (mRoot / "data").string(),
                "XDG_RUNTIME_DIR=" + (mRoot / "run").string(), "HOME=" + mRoot.string(),
                "SDL_VIDEODRIVER=dummy", "SDL_AUDIODRIVER=dummy"};
    }

    void TearDown() override
    {
        for (int pid : mStarted)
        {
            int code = 0;
            if (!sys::WaitProcess(pid, 0, code))
            {
                sys::SignalProcess(pid, true);
                WaitProcessLoaded(pid, kEndLimitMs, code);
            }
        }
    }

    int Start(std::vector<std::string> args, std::vector<std::string> extraEnv = {})
    {
        args.insert(args.begin(), mStartedProgram.string());
        // What the scripts print goes to standard output: a shell that gives way to the program
        // sends it to the file.
        if (!mOutputFile.empty())
        {
            args.insert(args.begin(), {"/bin/sh", "-c", "exec \"$0\" \"$@\" >\"$MW_OUTPUT\""});
            extraEnv.push_back("MW_OUTPUT=" + mOutputFile.string());
        }
        // Standard error too, where the test keeps it (after the shell, so both go).
        if (!mErrorFile.empty())
        {
            args.insert(args.begin(), {"/bin/sh", "-c", "exec \"$0\" \"$@\" 2>\"$MW_ERRORS\""});
            extraEnv.push_back("MW_ERRORS=" + mErrorFile.string());
        }
        std::vector<std::string> env = mEnv;
        // A setting given again replaces the default (the first of two would win).
        for (const std::string& extra : extraEnv)
        {
            std::string name = extra.substr(0, extra.find('=') + 1);
            std::erase_if(env, [&](const std::string& e) { return e.starts_with(name); });
            env.push_back(extra);
        }
        int pid = sys::SpawnProcess(args, env);
        if (pid > 0)
            mStarted.push_back(pid);
        return pid;
    }

    fs::path LogFile() const { return mRoot / "data/Tovrix/Murkwell/logfile.txt"; }
    // A copy started while another runs on the same folder keeps a log of its own.
    fs::path LogFile(int copy) const
    {
        return copy <= 1 ? LogFile()
                         : mRoot / ("data/Tovrix/Murkwell/logfile" + std::to_string(copy) + ".txt");
    }

    // The location's last resort against a wait nothing can end any more is a fault of the
    // runner's.
    void ExpectNoLetGo() const
    {
        for (int copy = 1; copy <= 9; ++copy)
        {
            const std::string log = ReadFile(LogFile(copy));
            EXPECT_EQ(log.find(kLetGoLine), std::string::npos) << "a wait was let go:\n" << log;
        }
    }

    // Waits until the log holds the start-up line: the program handles a request to end only
    // once it has started.
    bool WaitForStart(int pid, const fs::path& logFile)
    {
        uint32_t start = LoadTimeMs();
        while (LoadTimeMs() - start < kStartLimitMs)
        {
            if (ReadFile(logFile).find(": Murkwell, version ") != std::string::npos)
                return true;
            int code = 0;
            if (sys::WaitProcess(pid, 0, code))
            {
                ADD_FAILURE() << "the program ended early with " << code;
                return false;
            }
            sys::SleepMs(20);
        }
        return false;
    }
    bool WaitForStart(int pid) { return WaitForStart(pid, LogFile()); }

    // Starts a copy on the toolkit screen that plays `input` (which takes the shot "ready" once
    // running) at the fixed step, and waits for that shot. Answers the copy's process, or -1 when
    // it did not get that far.
    int StartReadyCopy(const std::string& input)
    {
        const fs::path file = mRoot / "first.txt";
        WriteFile(file, input);
        const int pid = Start({kToolkitStart},
                              {"MURKWELL_INPUT_SCRIPT=" + file.string(), "MURKWELL_FIXED_STEP=16"});
        if (pid <= 0 || !WaitForStart(pid))
            return -1;
        const uint32_t start = LoadTimeMs();
        while (!fs::exists(mRoot / "ready.png") && LoadTimeMs() - start < kStartLimitMs)
            sys::SleepMs(20);
        return fs::exists(mRoot / "ready.png") ? pid : -1;
    }

    // The log once the program has set its display up (its device identifier logged) and the file
    // has stopped growing.
    static std::string SettledLog(const fs::path& logFile)
    {
        std::string log;
        const uint32_t start = LoadTimeMs();
        while (LoadTimeMs() - start < kStartLimitMs &&
               (log = ReadFile(logFile)).find("  GUID:      ") == std::string::npos)
            sys::SleepMs(20);
        for (;;)
        {
            sys::SleepMs(200);
            const std::string again = ReadFile(logFile);
            if (again == log)
                return log;
            log = again;
        }
    }

    // Every run's end, however it came (a signal too), looks for a wait let go in the logs.
    int WaitForEnd(int pid)
    {
        int code = -1;
        EXPECT_TRUE(WaitProcessLoaded(pid, mEndLimitMs, code)) << "the program did not end";
        ExpectNoLetGo();
        return code;
    }

    testsupport::ScratchFolder mScratch{"mw_program"};
    fs::path mRoot = mScratch.Path();
    std::vector<std::string> mEnv;
    std::vector<int> mStarted;
    // The program Start runs.
    fs::path mStartedProgram = MURKWELL_PROGRAM;
    // Where the next runs' standard output goes; empty: it is not kept.
    fs::path mOutputFile;
    // How long a run may take: the whole game's play-through takes longer than the rest.
    uint32_t mEndLimitMs = kEndLimitMs;
    // Where the runs' standard error goes; empty: to the test's own.
    fs::path mErrorFile;
};

class ScreenProgramTest : public ProgramTest
{
protected:
    // The picture an input script's "shot <name>" took.
    Picture Shot(const std::string& name) const { return ReadPicture(mRoot / (name + ".png")); }

    // A game folder holding a copy of the repository's content, for a test to spoil.
    fs::path CopyGame(const std::string& name)
    {
        fs::path game = mRoot / name;
        fs::create_directories(game);
        fs::copy(fs::path(MURKWELL_SOURCE_DIR) / "assets", game / "assets",
                 fs::copy_options::recursive);
        return game;
    }

    // Starts the program on `game` with the input script; answers its process id.
    int StartScripted(const fs::path& game, const std::string& script,
                      std::vector<std::string> args = {})
    {
        const fs::path input = mRoot / ("input" + std::to_string(++mRuns) + ".txt");
        WriteFile(input, script);
        args.insert(args.begin(), {"--multiple", "-wd=" + game.string()});
        std::vector<std::string> env = {"MURKWELL_INPUT_SCRIPT=" + input.string(),
                                        "MURKWELL_FIXED_STEP=16", "MURKWELL_GUID_SEED=1"};
        env.insert(env.end(), mRunEnv.begin(), mRunEnv.end());
        int pid = Start(args, env);
        EXPECT_GT(pid, 0);
        return pid;
    }

    // Runs the program on `game` with the input script; answers its exit code. A location that
    // had to let a wait go fails the test, whatever else the run showed.
    int RunScripted(const fs::path& game, const std::string& script,
                    std::vector<std::string> args = {})
    {
        const int pid = StartScripted(game, script, std::move(args));
        return pid > 0 ? WaitForEnd(pid) : -1;
    }

    // Runs `game` with the content's trace on, and `options` ("key=value&...") after it; answers
    // the trace lines, and the exit code in `code`. The log of an earlier run goes first.
    std::vector<std::string> RunTraced(const fs::path& game, const std::string& script,
                                       const std::string& options, int& code)
    {
        std::error_code ignored;
        fs::remove(LogFile(), ignored);
        mOutputFile = mRoot / ("output" + std::to_string(mRuns + 1) + ".txt");
        code =
            RunScripted(game, script, {"options=trace=1" + (options.empty() ? "" : "&" + options)});
        mOutputFile.clear();
        return TraceLines(ReadFile(mRoot / ("output" + std::to_string(mRuns) + ".txt")));
    }

    // RunTraced for a run that must end by itself with exit code 0.
    std::vector<std::string> RunOk(const fs::path& game, const std::string& script,
                                   const std::string& options)
    {
        int code = -1;
        std::vector<std::string> traces = RunTraced(game, script, options, code);
        EXPECT_EQ(code, 0) << "exit code of the run with " << options;
        return traces;
    }

    // RunTraced for a run that a fatal error ends by itself: it ends with the status 2.
    std::vector<std::string> RunFatal(const fs::path& game, const std::string& script,
                                      const std::string& options)
    {
        int code = -1;
        std::vector<std::string> traces = RunTraced(game, script, options, code);
        EXPECT_EQ(code, kFatalErrorStatus) << "exit code of the run with " << options;
        return traces;
    }

    // RunOk, and its log clean (ExpectCleanLog).
    std::vector<std::string> RunClean(const fs::path& game, const std::string& script,
                                      const std::string& options)
    {
        std::vector<std::string> traces = RunOk(game, script, options);
        ExpectCleanLog();
        return traces;
    }

    // A copy of the content (CopyGame) whose `file` below assets/ has `pattern` replaced by
    // `with`: a spoiled or shortened game.
    fs::path CopyEdited(const std::string& file, const std::string& pattern,
                        const std::string& with = "", const std::string& name = "content")
    {
        const fs::path game = CopyGame(name);
        const fs::path path = game / "assets" / file;
        WriteFile(path, std::regex_replace(ReadFile(path), std::regex(pattern), with));
        return game;
    }

    // The preferences file as `prefsdump` prints it.
    std::string Prefs() const { return DumpPrefs(mRoot / "data/Tovrix/Murkwell/prefs.dat"); }

    bool HasShot(const std::string& name) const { return fs::exists(mRoot / (name + ".png")); }

    // The log holds `line` (at least once).
    void ExpectInLog(const std::string& line) const
    {
        const std::string log = ReadFile(LogFile());
        EXPECT_NE(log.find(line), std::string::npos) << line << " not in\n" << log;
    }

    // How many of the log's own lines (each led by its time stamp) have a message that starts
    // with `start`: "ERROR:" counts the error lines, never a name or a text from content that
    // holds it, nor a line that says it twice.
    size_t LoggedLines(const std::string& start) const
    {
        static const std::regex stamp(
            R"(^[A-Z][a-z]{2} [A-Z][a-z]{2} [ 0-9][0-9] [0-9]{2}:[0-9]{2}:[0-9]{2} [0-9]{4}: )");
        std::istringstream log(ReadFile(LogFile()));
        size_t count = 0;
        for (std::string line; std::getline(log, line);)
            count += std::regex_search(line, stamp) && line.compare(26, start.size(), start) == 0;
        return count;
    }

    // The log holds `line` exactly `times` times.
    void ExpectLogged(const std::string& line, size_t times = 1) const
    {
        const std::string log = ReadFile(LogFile());
        size_t count = 0;
        for (size_t at = log.find(line); at != std::string::npos; at = log.find(line, at + 1))
            ++count;
        EXPECT_EQ(count, times) << line << " in\n" << log;
    }

    // The share of pixels (percent) within 8 per channel of the other picture's.
    static double Alike(const Picture& a, const Picture& b)
    {
        if (a.mPixels.size() != b.mPixels.size() || a.mPixels.empty())
            return 0;
        size_t near = 0;
        for (size_t i = 0; i < a.mPixels.size(); i += 4)
        {
            bool close = true;
            for (size_t c = 0; c < 3; ++c)
                close = close && std::abs(int(a.mPixels[i + c]) - int(b.mPixels[i + c])) <= 8;
            near += close;
        }
        return 400.0 * static_cast<double>(near) / static_cast<double>(a.mPixels.size());
    }

    // The start line first, and none of the lines that tell of a fault (a wait let go among them,
    // for a run that ended by a signal too).
    void ExpectCleanLog()
    {
        const std::string log = ReadFile(LogFile());
        // Only the line saying which folder -wd= chose comes before it.
        EXPECT_TRUE(std::regex_search(
            log, std::regex("^(.{24}: Switching current directory to: [^\n]*\n)?"
                            ".{24}: Murkwell, version \\d+\\.\\d+\\.\\d+\\.\\d+\\.\n")))
            << log;
        for (const char* fault : {"ERROR:", "Lua Error", "Lua error", "lua_resume error",
                                  "Failed to run script", "Missing string for label", "DX Error",
                                  "Cannot find cursor", "called when already in", kLetGoLine})
            EXPECT_EQ(log.find(fault), std::string::npos) << fault << " in\n" << log;
    }

    // Within the tolerance of JPEG decoding and text drawing: 99 % of the pixels within 8 per
    // channel (MURKWELL_UPDATE_GOLDEN=1 writes the golden picture).
    void ExpectMatchesGolden(const Picture& picture, const std::string& name)
    {
        const fs::path golden = mRepository / "tests/e2e/golden" / name;
        const char* update = std::getenv("MURKWELL_UPDATE_GOLDEN");
        if (update != nullptr && std::string(update) == "1")
        {
            fs::create_directories(golden.parent_path());
            ASSERT_TRUE(WritePicture(picture, golden));
        }
        const Picture expected = ReadPicture(golden);
        ASSERT_EQ(expected.mWidth, picture.mWidth) << golden;
        ASSERT_EQ(expected.mPixels.size(), picture.mPixels.size()) << golden;
        size_t near = 0;
        for (size_t i = 0; i < picture.mPixels.size(); i += 4)
        {
            bool close = true;
            for (size_t c = 0; c < 3; ++c)
                close = close &&
                        std::abs(int(picture.mPixels[i + c]) - int(expected.mPixels[i + c])) <= 8;
            near += close;
        }
        EXPECT_GE(near * 100, size_t(picture.mWidth) * picture.mHeight * 99)
            << "differs from " << golden;
    }

    const fs::path mRepository = MURKWELL_SOURCE_DIR;
    int mRuns = 0;
    // More settings for the scripted runs' environment.
    std::vector<std::string> mRunEnv;
};

// Runs of screens made of the framework's windows, on a small game folder of their own: the
// scripts report through print, which reaches standard output.
class GameProgramTest : public ScreenProgramTest
{
protected:
    void SetUp() override
    {
        ScreenProgramTest::SetUp();
        const fs::path assets = mGame / "assets";
        WriteFile(assets / "settings.xml", "<settings></settings>\n");
        WriteFile(assets / "strings.xml",
                  "<Workbook><Table><Row><Cell><Data>windowtitle</Data></Cell>"
                  "<Cell><Data>Fixture</Data></Cell></Row></Table></Workbook>\n");
        for (const char* file : {"scripts/mainloop.lua", "scripts/game.lua", "scripts/styles.lua",
                                 "scripts/tutorials.lua", "audio/snd.txt"})
        {
            fs::create_directories((assets / file).parent_path());
            fs::copy_file(mRepository / "assets" / file, assets / file);
        }
    }

    // Runs the start-up script with `screen` (a file below scripts/) as the first screen;
    // answers what the run printed.
    std::string RunScreen(const std::string& screen, const std::string& input, int& code)
    {
        mOutputFile = mRoot / ("output" + std::to_string(mRuns + 1) + ".txt");
        code = RunScripted(mGame, input, {"options=start=scripts/" + screen});
        const std::string log = ReadFile(LogFile());
        for (const char* fault : kScriptFaults)
            EXPECT_EQ(log.find(fault), std::string::npos) << fault << " in\n" << log;
        return ReadFile(mOutputFile);
    }

    void WriteScript(const std::string& name, const std::string& text)
    {
        WriteFile(mGame / "assets/scripts" / name, text);
    }

    const fs::path mGame = mRoot / "fixture";
};

} // namespace e2etest
