// The movie host in process: the headless display at 800 x 600 with the toolkit's window manager
// and script, a manual clock, films served as memory files and, for the sound, the manual audio
// output. Frames show at their times while the game draws nothing; the flags and the cursor are
// set only while a film plays; captions; the film's sound; refused films leave nothing behind; a
// window shrunk in full screen sized back.
#include "platform/config/config.h"
#include "platform/strings/string_table.h"
#include "services/movie/movie_host.h"
#include "services/movie/movie_test_support.h"
#include "sound/ogg_data_source.h"
#include "sound/sound_manager.h"
#include "sys/audio/direct_sound.h"
#include "support/files.h"
#include "sys/audio/test_hooks.h"
#include "ui/ui_display_support.h"

#include <sys/stat.h>

namespace
{
using namespace movietest;

class MovieHostTest : public uitest::UiDisplayTest
{
protected:
    void SetUp() override
    {
        UiDisplayTest::SetUp();
        if (HasFatalFailure())
            return;
        SetMoviePlayerFactory(&TMovieHost::Create);
        mImpl->mManagers.mStringTable = std::make_unique<TStringTable>();
        const std::string sheet = "<Workbook><Table>" + Row("a", "Alpha") + Row("b", "Beta") +
                                  Row("FLASH_c", "Own C") + Row("c", "Plain C") +
                                  "</Table></Workbook>";
        mApp->GetStringTable()->LoadBuffer(sheet.data(), static_cast<uint32_t>(sheet.size()));
    }
    void TearDown() override
    {
        mHost.reset();
        Do("StopMovie()");
        SetMoviePlayerFactory(nullptr);
        UiDisplayTest::TearDown();
    }
    static std::string Row(const char* label, const char* text)
    {
        return std::string("<Row><Cell><Data>") + label + "</Data></Cell><Cell><Data>" + text +
               "</Data></Cell></Row>";
    }

    // What the window shows at a point of the picture (the presented frame).
    uint32_t Shown(int x, int y)
    {
        const sys::ScreenRect& rect = Context().GetDisplay().GetWindowRect();
        return Context().GetFrontBuffer()->ReadPixel(rect.left + x, rect.top + y) & 0xFFFFFF;
    }
    // Time passes and the idle tasks (the playback among them) run once.
    void Step(uint32_t ms)
    {
        sys::AdvanceManualClock(ms);
        mApp->GetTaskList()->Run(kTaskPassTime);
    }
    bool Play(const std::string& film, bool translate = false, bool allowInput = false)
    {
        Serve("movies/test.ogv", film);
        mHost = std::make_unique<TMovieHost>();
        return mHost->Play("movies/test.ogv", translate, allowInput);
    }
    std::vector<std::string> Captions(const std::string& names, bool translate = true)
    {
        MovieSpec spec = SmallSpec();
        spec.mComments = {{"TEXTVARNAMES", names}};
        std::vector<std::string> lines;
        if (Play(Film(spec, SolidFrames(spec, 1)), translate))
            for (const TString& line : mHost->GetCaptions())
                lines.push_back(line.c_str());
        mHost.reset();
        return lines;
    }

    std::unique_ptr<TMovieHost> mHost;
};

// A 64 x 32 film fitted to 800 x 600 is 800 x 400 with black above and below; each frame shows
// from its time on, never before, whatever the game asks to draw meanwhile.
TEST_F(MovieHostTest, FramesShowAtTheirTimesFittedOnBlackAndTheGameDrawsNothing)
{
    MovieSpec spec = SmallSpec(10);
    spec.mHeight = 32;
    const size_t tasks = mApp->GetTaskList()->GetCount();
    ASSERT_TRUE(Play(Film(spec, SolidFrames(spec, 4))));
    EXPECT_EQ(mApp->GetTaskList()->GetCount(), tasks + 1);
    EXPECT_TRUE(mManager->IsDrawingSuspended());
    uint32_t now = 0;
    for (uint32_t t : {0u, 99u, 100u, 199u, 200u, 299u, 300u, 399u})
    {
        Step(t - now);
        now = t;
        // The game's own frame: nothing is drawn over the film.
        mManager->SetDirty();
        mManager->HandleEvent(uitest::MakeEvent(kEventRepaint));
        EXPECT_TRUE(Near(Shown(400, 300), Rgb(kColours[t / 100])))
            << t << std::hex << " " << Shown(400, 300);
        EXPECT_EQ(Shown(400, 50), 0u);
        EXPECT_TRUE(mHost->IsPlaying()) << t;
    }
    Step(1);
    EXPECT_FALSE(mHost->IsPlaying());
    mHost->Stop();
    mHost->Stop();
    EXPECT_FALSE(mManager->IsDrawingSuspended());
    EXPECT_EQ(mApp->GetTaskList()->GetCount(), tasks);
    EXPECT_EQ(Shown(400, 300), 0u) << "the root's background covers the last frame";
}

TEST_F(MovieHostTest, FlagsAndCursorOnlyWhilePlayingAndNeverUnderABrokenDisplay)
{
    MovieSpec spec = SmallSpec();
    const std::string film = Film(spec, SolidFrames(spec, 2));
    for (bool allowInput : {false, true})
    {
        SCOPED_TRACE(allowInput);
        ASSERT_TRUE(Play(film, false, allowInput));
        EXPECT_TRUE(mManager->IsDrawingSuspended());
        EXPECT_EQ(mManager->IsFilterExempt(), allowInput);
        EXPECT_EQ(mManager->IsRightButtonSwallowed(), allowInput);
        EXPECT_FALSE(mImpl->mCursor.mMouseShown);
        mHost.reset(); // the destructor stops it
        EXPECT_FALSE(mManager->IsDrawingSuspended());
        EXPECT_FALSE(mManager->IsFilterExempt());
        EXPECT_FALSE(mManager->IsRightButtonSwallowed());
        EXPECT_TRUE(mImpl->mCursor.mMouseShown);
    }
    // Refused: a missing film, a damaged one.
    for (const char* name : {"movies/none.ogv", "movies/bad.ogv"})
    {
        Serve("movies/bad.ogv", film.substr(0, 100));
        const size_t tasks = mApp->GetTaskList()->GetCount();
        TMovieHost host;
        EXPECT_FALSE(host.Play(name, true, true)) << name;
        EXPECT_FALSE(host.IsPlaying());
        EXPECT_FALSE(mManager->IsDrawingSuspended());
        EXPECT_FALSE(mManager->IsFilterExempt());
        EXPECT_TRUE(mImpl->mCursor.mMouseShown);
        EXPECT_EQ(mApp->GetTaskList()->GetCount(), tasks);
    }
    EXPECT_NE(Log().find("TMovieHost::Play: movies/bad.ogv not played"), std::string::npos);
    EXPECT_NE(Log().find("TMovieHost::Play: movies/none.ogv not found\n"), std::string::npos);

    // A film that is there but cannot be read says why, not that it is missing.
    const testsupport::ScratchFolder scratch("mw_movie");
    const std::string fifo = (scratch.Path() / "film.ogv").string();
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    {
        TMovieHost host;
        EXPECT_FALSE(host.Play(fifo.c_str(), false, false));
    }
    EXPECT_NE(
        Log().find("TMovieHost::Play: " + fifo + " cannot be read (it is not a regular file)\n"),
        std::string::npos)
        << Log();

    SetConfig("dxbroken", "1");
    sys::ClearSystemCursorRecord();
    EXPECT_FALSE(Play(film, false, true));
    EXPECT_TRUE(sys::GetSystemCursorRecord().empty());
    EXPECT_TRUE(mImpl->mCursor.mMouseShown);
    EXPECT_FALSE(mManager->IsDrawingSuspended());
    SetConfig("dxbroken", "0");
}

// The window script's calls: a second "StartMovie" replaces the first; a key ends the splash.
TEST_F(MovieHostTest, TheScriptStartsPollsAndStopsOneFilmAtATime)
{
    MovieSpec spec = SmallSpec();
    Serve("movies/test.ogv", Film(spec, SolidFrames(spec, 4)));
    const size_t tasks = mApp->GetTaskList()->GetCount();
    Do("a = tostring(StartMovie('movies/test.ogv', false, false))");
    Do("b = tostring(StartMovie('movies/test.ogv', false, true))");
    EXPECT_EQ(Global("a"), "true");
    EXPECT_EQ(Global("b"), "true");
    EXPECT_EQ(mApp->GetTaskList()->GetCount(), tasks + 1);
    EXPECT_TRUE(mManager->IsFilterExempt());
    Do("c = tostring(IsMoviePlaying())");
    EXPECT_EQ(Global("c"), "true");
    Do("StopMovie()");
    Do("c = tostring(IsMoviePlaying())");
    EXPECT_EQ(Global("c"), "false");
    EXPECT_EQ(mApp->GetTaskList()->GetCount(), tasks);
    EXPECT_FALSE(mManager->IsFilterExempt());
}

TEST_F(MovieHostTest, CaptionsComeFromTheStringTableByTheFilmsNames)
{
    EXPECT_EQ(Captions("a;b"), std::vector<std::string>{"Alpha"});
    EXPECT_EQ(Captions("a;b;"), (std::vector<std::string>{"Alpha", "Beta"}));
    EXPECT_EQ(Captions("c;"), std::vector<std::string>{"Own C"});
    EXPECT_EQ(Captions("zz;;a;"), std::vector<std::string>{"Alpha"});
    EXPECT_TRUE(Captions("a;", false).empty());
    EXPECT_EQ(Log().find("zz"), std::string::npos) << "a missing label is looked up quietly";

    // The picture's size sets the caption's: 400 x 300 is drawn at twice its size.
    MovieSpec spec = SmallSpec();
    spec.mWidth = 400;
    spec.mHeight = 300;
    spec.mComments = {{"TEXTVARNAMES", "a;b;"}};
    ASSERT_TRUE(Play(Film(spec, SolidFrames(spec, 1)), true));
    Step(0);
    rendertest::CompareWithGolden(*Data().mBackBuffer, sys::display::Rect{330, 470, 470, 530},
                                  "movie_captions.png");
}

TEST_F(MovieHostTest, TheFilmsSoundPlaysWithItStopsWithItAndLastsTheFilm)
{
    sys::audio::SetOutputKind(sys::audio::OutputKind::Manual);
    ClearSoundDataSourceBuilders();
    RegisterOggBuilder();
    // The application's sound manager, in place of the shell's stand-in.
    auto owned = std::make_unique<TSoundManager>();
    TSoundManager* sound = owned.get();
    ASSERT_TRUE(sound->Init());
    mImpl->mManagers.mSoundManager = std::move(owned);
    auto loudest = [&](uint32_t ms)
    {
        int peak = 0;
        for (uint32_t done = 0; done < ms; done += 50)
        {
            std::vector<int16_t> out(size_t(50) * 441 / 10 * 2);
            sys::audio::RenderManual(out.data(), static_cast<uint32_t>(out.size() / 2));
            for (int16_t v : out)
                peak = std::max(peak, std::abs(int(v)));
            Step(50);
            sound->Lock();
            sound->Update(true);
            sound->Unlock();
            sound->DispatchNotifications();
        }
        return peak;
    };
    MovieSpec spec = SmallSpec();
    AddTone(spec, 1000);
    ASSERT_TRUE(Play(Film(spec, SolidFrames(spec, 10))));
    EXPECT_GT(loudest(300), 1000);
    EXPECT_TRUE(mHost->IsPlaying());
    mHost->Stop();
    loudest(100);
    EXPECT_EQ(loudest(200), 0);

    // Two frames (0.2 s) and 0.6 s of sound: the film lasts as long as its sound.
    spec = SmallSpec();
    AddTone(spec, 600);
    ASSERT_TRUE(Play(Film(spec, SolidFrames(spec, 2))));
    EXPECT_GT(loudest(400), 1000);
    EXPECT_TRUE(mHost->IsPlaying());
    loudest(300);
    EXPECT_FALSE(mHost->IsPlaying());
    mHost.reset();
    mImpl->mManagers.mSoundManager.reset();
    ClearSoundDataSourceBuilders();
    sys::audio::ResetOutputKind();
}

// In full screen, a window shrunk while a film plays gets its recorded size back.
TEST_F(MovieHostTest, AShrunkWindowInFullScreenIsSizedBack)
{
    mApp->SetDisplayMode(800, 600, true);
    ASSERT_TRUE(GetDisplay().IsFullScreen());
    int width = 0, height = 0;
    ASSERT_TRUE(sys::GetClientSize(mWindow, width, height));
    MovieSpec spec = SmallSpec();
    ASSERT_TRUE(Play(Film(spec, SolidFrames(spec, 4))));
    int x = 0, y = 0;
    sys::GetWindowPosition(mWindow, x, y);
    sys::MoveWindow(mWindow, x, y, width - 100, height - 50);
    EXPECT_TRUE(mHost->IsPlaying());
    int now = 0, nowHeight = 0;
    sys::GetClientSize(mWindow, now, nowHeight);
    EXPECT_EQ(now, width);
    EXPECT_EQ(nowHeight, height);
    EXPECT_NE(Log().find(TString::Format("TMovieHost::IsPlaying: Resizing platform hwnd to %dx%d "
                                         "from %dx%d",
                                         width, height, width - 100, height - 50)
                             .c_str()),
              std::string::npos);
}

} // namespace
