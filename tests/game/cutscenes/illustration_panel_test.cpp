// The cut-scene screen opened by screen scripts on the headless display, with the framework's frame
// driver on the manual clock and a counting "ContinueForward": strips of one, two and three
// cells, crossfades, events and animations on the current cell, the script functions, the skip
// text and the focus messages, the drops, bad styles, and a strip frame drawn.
#include "game/cutscenes/illustration_panel.h"

#include "framework/adventure/adventure_test_support.h"
#include "framework/adventure/player_data.h"
#include "framework/core/settings.h"
#include "framework/screens/game_window.h"
#include "framework/sound/audio_manager.h"
#include "framework/sound/sound_effect.h"
#include "framework/sound/sound_play_record.h"
#include "framework/widgets/framework_button.h"
#include "game/cutscenes/illustration_panel_animation.h"
#include "game/cutscenes/illustration_panel_cell.h"
#include "game/cutscenes/illustration_panel_layer.h"
#include "game/dialogs/blood_streak.h"
#include "particles/lua_particle_system.h"
#include "platform/config/config.h"
#include "render/image_writers.h"
#include "render/sprites/sprite.h"
#include "sound/ogg_data_source.h"
#include "sound/ogg_encode.h"
#include "sound/sound_manager.h"
#include "sys/audio/direct_sound.h"
#include "sys/audio/test_hooks.h"
#include "game/framed_text_support.h"

#include <gtest/gtest.h>

#include <array>
#include <memory>
#include <string>

namespace
{

using Rgba = std::array<uint16_t, 4>;

// The style of a panel whose strip the test's `panelinstructions` describe; `extra` is Lua run on
// the style `t` before the window is made.
const char kPanelStyle[] = R"(
kFont = { 'fonts/square.mvec', 8, { 1, 1, 1, 1 } }
function PanelStyle(extra)
  local t = {
    name = 'panel', x = 0, y = 0, w = 800, h = 600, fadetime = 0,
    background = 'story/bg', filmdot = 'story/dot', timebloodmin = 400, timebloodmax = 400,
    filmdotdist = 48, cellscrolldistance = 300, cellscrolltime = 160, celltimeminimum = 96,
    particlelinedist = 300, cellx = 100, celly = 100, cellw = 120, cellh = 80,
    bloodinfo = { imagestreak = 'story/drip', imagedrop = 'story/drop', widthmin = 0,
                  widthmax = 200, widthbuffer = 10, widthallowance = 0, heightmin = 20,
                  heightallowance = 0, dropcentery = 2, timefadein = 32, timeslide = 32,
                  timedropdelay = 16, timedrop = 32, distancedrop = 20, timefadeout = 32 },
    cellfiller = 'story/filler',
    cellinfo = { blotchbuffer = 0, timeswaptoactive = 64, timebubbledelay = 0,
                 staticmin = 0.1, staticmax = 0.3, skipcolor = { 1, 1, 1, 1 },
                 skipcolorhilight = { 1, 0, 0, 1 },
                 speechinfo = { timeintro = 16, timeoutro = 16, alphaintro = 1, alphaoutro = 0,
                                font = kFont, flags = 5 },
                 static = 'cell/static%d', staticcount = 1, gradient = 'cell/gradient',
                 trim = 'cell/trim', overlay = 'cell/overlay', blotches = 'cell/blotches',
                 skiptext = { text = 'skip', w = 40, h = 14, font = kFont, flags = 10 },
                 skipscrimspace = 4, width = 120, height = 80,
                 skipscrimcolor = { 0, 0, 1, 0.5 } },
    VButton { name = 'menu', x = 700, y = 10, w = 40, h = 20, close = true },
  }
  if extra then extra(t) end
  return t
end
function Cell(extra)
  local c = { sounds = {}, particles = {}, speechbubbles = {},
              colorlayers = { { name = 'bg', depth = 0, image = 'story/red', x = 60, y = 40 },
                              { name = 'lamp', depth = 1, image = 'story/green', x = 30, y = 30 } } }
  for k, v in pairs(extra or {}) do c[k] = v end
  return c
end
function ContinueForward() gContinued = (gContinued or 0) + 1 end
)";

class PanelTest : public gametest::FramedTextTest
{
protected:
    void SetUp() override
    {
        FramedTextTest::SetUp();
        if (HasFatalFailure())
            return;
        SetConfig("encryptionkey", "Pn4lQ8xW2kLt");
        mManager->RegisterWindowType("Storyboard", &IllustrationPanel::Create);
        mManager->RegisterWindowType("GameWindow", &GameWindow::Create);
        mManager->RegisterWindowType("VButton", &TVButton::Create);
        adventuretest::LoadStrings({{"skip", "Skip"}});
        Image("story/bg", 800, 600, {30, 30, 40, 255});
        Image("story/dot", 16, 12, {255, 255, 255, 255});
        Image("story/filler", 120, 80, {90, 70, 50, 255});
        Image("story/drip", 4, 20, {200, 0, 0, 255});
        Image("story/drop", 6, 6, {255, 0, 0, 255});
        Image("story/red", 40, 30, {230, 40, 40, 255});
        Image("story/red_sepia", 40, 30, {150, 120, 80, 255});
        Image("story/green", 20, 20, {40, 220, 60, 255});
        Image("story/green_sepia", 20, 20, {120, 100, 70, 255});
        Image("cell/overlay", 120, 80, {0, 0, 0, 0});
        Image("cell/trim", 120, 80, {255, 255, 255, 255});
        Image("cell/gradient", 120, 80, {0, 0, 0, 20});
        Image("cell/static0", 120, 80, {255, 255, 255, 10});
        Image("cell/blotches", 24, 8, {255, 255, 0, 255});
        Serve("cell/blotches.xml",
              "<sequence name=\"b\"><img regx=\"4\" regy=\"4\" w=\"24\" h=\"8\" "
              "name=\"blotches.png\" mask=\"\"/><framelist>"
              "<frame x=\"0\" y=\"0\" w=\"8\" h=\"8\"/><frame x=\"8\" y=\"0\" w=\"8\" h=\"8\"/>"
              "<frame x=\"16\" y=\"0\" w=\"8\" h=\"8\"/></framelist></sequence>");
        mSettings = std::make_unique<Settings>();
        mSettings->CreateNewUser("Ann");
        mRecord = std::make_unique<PlayerData>();
        Do(kPanelStyle);
    }
    void TearDown() override
    {
        while (mManager->GetTopModal() != mRoot)
            mManager->DoPopModal(mManager->GetTopModal()->GetIdString());
        Tick();
        mRecord.reset();
        mSettings.reset();
        FramedTextTest::TearDown();
    }
    void Image(const std::string& name, uint32_t w, uint32_t h, Rgba colour)
    {
        Serve(name + ".png",
              imagetest::PaintedPng(w, h, [=](uint32_t, uint32_t) { return colour; }));
    }
    // A panel over `instructions` (the body of `panelinstructions`) in a modal of its own.
    IllustrationPanel* Open(const std::string& instructions, const std::string& extra = "")
    {
        Do("panelinstructions = " + instructions);
        Do("PushModal('story') Storyboard(PanelStyle(function(t) " + extra + " end))()");
        TWindow* window = Find("panel");
        return window != nullptr && window->IsKindOf(IllustrationPanel::GetClassId())
                   ? static_cast<IllustrationPanel*>(window)
                   : nullptr;
    }
    int Continued() { return std::atoi(Global("gContinued").c_str()); }
    // Steps of 16 ms until the condition holds, at most `limit` ms; whether it held.
    template <class Condition> bool RunUntil(Condition condition, uint32_t limit = 5000)
    {
        for (uint32_t t = 0; t < limit; t += 16)
        {
            if (condition())
                return true;
            Step(16);
        }
        return condition();
    }
    bool Logged(const std::string& text) { return Log().find(text) != std::string::npos; }

    std::unique_ptr<Settings> mSettings;
    std::unique_ptr<PlayerData> mRecord;
};

const char kNoEvents[] = "events = {}, animations = {}, ";

TEST_F(PanelTest, OneCellPlaysReturnsAndContinuesOnceWithoutAScroll)
{
    IllustrationPanel* panel = Open(std::string("{ ") + kNoEvents + "cell_1 = Cell() }");
    ASSERT_NE(panel, nullptr);
    EXPECT_EQ(mRecord->GetGameState(), PlayerData::kInCutScene);
    // Stored at once, as the map stores itself: a start after a crash shows the cut-scene again.
    std::array<uint8_t, PlayerData::kRecordSize> stored{};
    ASSERT_EQ(mSettings->GetPlayerData("playerdata", stored.data(), PlayerData::kRecordSize), 0);
    EXPECT_EQ(stored[9], PlayerData::kInCutScene);
    ASSERT_EQ(panel->GetCells().size(), 1u);
    EXPECT_FALSE(panel->GetCells()[0]->IsSkipEnabled()) << "the last cell cannot be skipped";
    EXPECT_EQ(panel->GetPanelState(), IllustrationPanel::kPanelStarting);
    Step(16);
    EXPECT_EQ(panel->GetCells()[0]->GetState(), IllustrationPanelCell::kCellActive);
    ASSERT_TRUE(RunUntil([&] { return Continued() == 1; }));
    EXPECT_EQ(panel->GetPanelState(), IllustrationPanel::kPanelTransition);
    EXPECT_EQ(panel->GetCells()[0]->GetState(), IllustrationPanelCell::kCellInactive);
    EXPECT_FLOAT_EQ(panel->GetScrollTransform().GetY(), 0.0f);
    Steps(30, 16);
    EXPECT_EQ(Continued(), 1);
}

TEST_F(PanelTest, CellsScrollOneByOneAndACrossfadeSuccessorTakesThePlace)
{
    IllustrationPanel* panel =
        Open(std::string("{ ") + kNoEvents +
             "cell_1 = Cell(), cell_2 = Cell({ crossfade = true }), cell_3 = Cell() }");
    ASSERT_NE(panel, nullptr);
    const auto& cells = panel->GetCells();
    ASSERT_EQ(cells.size(), 3u);
    // Laid out: the crossfade's successor at its place, hidden; the second position aged.
    EXPECT_FLOAT_EQ(cells[1]->GetLiveTransform().GetY(), 400.0f);
    EXPECT_FLOAT_EQ(cells[2]->GetLiveTransform().GetY(), 400.0f);
    EXPECT_EQ(cells[1]->GetState(), IllustrationPanelCell::kCellInactive);
    EXPECT_EQ(cells[2]->GetState(), IllustrationPanelCell::kCellHidden);
    EXPECT_FLOAT_EQ(panel->GetTopFiller()->GetSpec().mMatrix.m[2][1], -200.0f);
    EXPECT_FLOAT_EQ(panel->GetBottomFiller()->GetSpec().mMatrix.m[2][1], 700.0f);

    // The first cell returns, the strip scrolls up one position, the second cell plays.
    ASSERT_TRUE(RunUntil(
        [&] { return panel->GetCells()[1]->GetState() == IllustrationPanelCell::kCellActive; }));
    EXPECT_FLOAT_EQ(panel->GetScrollTransform().GetY(), -300.0f);
    EXPECT_EQ(panel->GetCellTimer(), 0);

    // The crossfade: the third cell plays in the second's place, no scroll, its timer from 0.
    ASSERT_TRUE(RunUntil([&] { return panel->GetCurrentIndex() == 2; }));
    EXPECT_EQ(panel->GetCellTimer(), 0);
    EXPECT_EQ(cells[2]->GetState(), IllustrationPanelCell::kCellActive);
    ASSERT_TRUE(
        RunUntil([&] { return cells[1]->GetState() == IllustrationPanelCell::kCellHidden; }));
    EXPECT_FLOAT_EQ(panel->GetScrollTransform().GetY(), -300.0f);
    ASSERT_TRUE(RunUntil([&] { return Continued() == 1; }));
    EXPECT_FLOAT_EQ(panel->GetScrollTransform().GetY(), -300.0f);
}

TEST_F(PanelTest, TheOldPositionIsHiddenAfterTheSecondScroll)
{
    IllustrationPanel* panel =
        Open(std::string("{ ") + kNoEvents + "cell_1 = Cell(), cell_2 = Cell(), cell_3 = Cell() }");
    ASSERT_NE(panel, nullptr);
    const auto& cells = panel->GetCells();
    ASSERT_TRUE(RunUntil(
        [&]
        {
            return panel->GetCurrentIndex() == 2 &&
                   cells[2]->GetState() == IllustrationPanelCell::kCellActive;
        }));
    EXPECT_FLOAT_EQ(panel->GetScrollTransform().GetY(), -600.0f);
    EXPECT_EQ(cells[0]->GetState(), IllustrationPanelCell::kCellHidden);
    EXPECT_EQ(cells[1]->GetState(), IllustrationPanelCell::kCellInactive) << "still on screen";
}

TEST_F(PanelTest, ACellWhoseBubblesEndEarlyStaysForItsMinimumTime)
{
    // Without a voice the bubble ends as soon as it starts.
    IllustrationPanel* panel = Open(std::string("{ ") + kNoEvents +
                                        "cell_1 = Cell({ speechbubbles = { speech_1 = {"
                                        " image = 'story/red', text = { text = 'skip' } } } }) }",
                                    "t.celltimeminimum = 320");
    ASSERT_NE(panel, nullptr);
    IllustrationPanelCell& cell = *panel->GetCells()[0];
    int steps = 0;
    bool bubbleDone = false;
    while (steps < 100 && (steps == 0 || cell.GetState() == IllustrationPanelCell::kCellActive))
    {
        Step(16);
        ++steps;
        bubbleDone = bubbleDone || cell.GetSpeechCursor() == 1;
        if (steps == 8)
        {
            EXPECT_TRUE(bubbleDone) << "the bubble has ended";
        }
    }
    // Entered on the first step, then 320 ms of the cell's timer before it returns.
    EXPECT_GE(steps, 21);
    EXPECT_LE(steps, 24);
    EXPECT_EQ(cell.GetState(), IllustrationPanelCell::kCellInactive)
        << "fading back to its aged look";
}

TEST_F(PanelTest, ALastCellWithCrossfadeEndsTheStripOnce)
{
    IllustrationPanel* panel =
        Open(std::string("{ ") + kNoEvents + "cell_1 = Cell({ crossfade = true }) }");
    ASSERT_NE(panel, nullptr);
    ASSERT_TRUE(RunUntil([&] { return Continued() == 1; }));
    Steps(30, 16);
    EXPECT_EQ(Continued(), 1);
}

TEST_F(PanelTest, AtLocationEightTheLastCellFadesToBlackBeforeTheEnd)
{
    IllustrationPanel* panel =
        Open(std::string("{ ") + kNoEvents + "cell_1 = Cell() }", "t.currentlocation = 8");
    ASSERT_NE(panel, nullptr);
    ASSERT_TRUE(
        RunUntil([&] { return panel->GetPanelState() == IllustrationPanel::kPanelFadeToBlack; }));
    EXPECT_EQ(panel->GetCellTimer(), 0);
    Steps(157, 16);
    const float half = panel->GetOverlayTransform().GetAlpha();
    EXPECT_GT(half, 0.3f);
    EXPECT_LT(half, 0.7f);
    EXPECT_EQ(Continued(), 0);
    ASSERT_TRUE(RunUntil([&] { return Continued() == 1; }, 2600));
    EXPECT_FLOAT_EQ(panel->GetOverlayTransform().GetAlpha(), 1.0f);
    EXPECT_EQ(panel->GetCells()[0]->GetState(), IllustrationPanelCell::kCellActive)
        << "not returned to its aged look";
}

TEST_F(PanelTest, AStripFrameAndTheBlackOverlayAtHalf)
{
    // One opaque drop at (400, 100) of each copy of the line.
    Serve("fx/line.lua", "SetNumParticles(1)\nSetTexture('story/drop')\n"
                         "pPosition:Init(Vec2(400, 100))\npScale:Init(1)\n"
                         "pColor:Init(Color(1, 1, 1, 1))\n"
                         "function Create() end\nfunction Update(seconds) Spawn(1) end\n");
    IllustrationPanel* panel =
        Open(std::string("{ ") + kNoEvents + "cell_1 = Cell(), cell_2 = Cell() }",
             "t.particleline = 'fx/line.lua' t.celltimeminimum = 100000");
    ASSERT_NE(panel, nullptr);
    ASSERT_NE(panel->GetParticleLine(), nullptr);
    Steps(8, 16);
    ASSERT_EQ(panel->GetStreaks().size(), 1u);
    ASSERT_GT(panel->GetParticleLine()->GetParticleCount(), 0u);
    Paint();
    rendertest::CompareWithGolden(*Data().mBackBuffer, {0, 0, 800, 600}, "storyboard_strip.png");
    // Film dots down both edges, the second position aged below the live first.
    EXPECT_EQ(Pixel(8, 6), 0xFFFFFFu);
    EXPECT_EQ(Pixel(791, 6), 0xFFFFFFu);
    panel->GetOverlayTransform().SetAlpha(0.5f);
    Paint();
    rendertest::CompareWithGolden(*Data().mBackBuffer, {0, 0, 800, 600},
                                  "storyboard_black_half.png");
    EXPECT_EQ(Pixel(8, 6), 0x808080u) << "white under black at 127";
}

// With the manual sound output: the film sound plays through the scroll with its two ramps and
// stops once the next cell is live; at location 8 every playing sound fades with the black.
TEST_F(PanelTest, TheFilmSoundRampsThroughTheScrollAndTheBlackFadesEverySound)
{
    sys::audio::ClearFaults();
    sys::audio::SetOutputKind(sys::audio::OutputKind::Manual);
    ClearSoundDataSourceBuilders();
    RegisterOggBuilder();
    auto output = std::make_unique<TSoundManager>();
    output->Init();
    mImpl->mManagers.mSoundManager = std::move(output);
    Serve("audio/snd.txt", "1,film,1");
    Serve("audio/1.ogg", soundtest::EncodeOgg(soundtest::Tone(1, 8000, 8000 * 10), 1, 8000));
    {
        AudioManager audio;
        IllustrationPanel* panel =
            Open(std::string("{ ") + kNoEvents + "cell_1 = Cell(), cell_2 = Cell() }",
                 "t.filmsound = 'film' t.filmsoundfade = 40 t.currentlocation = 8");
        ASSERT_NE(panel, nullptr);
        ASSERT_NE(panel->GetFilmSound(), 0);
        SoundEntry* film = audio.GetEntry(panel->GetFilmSound());
        ASSERT_NE(film, nullptr);
        EXPECT_EQ(film->GetRecordCount(), 0u) << "resolved, not played";
        ASSERT_TRUE(RunUntil(
            [&]
            {
                return panel->GetPanelState() == IllustrationPanel::kPanelTransition &&
                       panel->GetCurrentIndex() == 1;
            }));
        ASSERT_EQ(film->GetRecordCount(), 1u);
        const SoundPlayRecord& record = *film->mRecords[0];
        ASSERT_EQ(record.mRamps.size(), 2u);
        EXPECT_EQ(record.mRamps[0]->mDuration, 40u);
        EXPECT_EQ(record.mRamps[1]->mDuration, 160u);
        EXPECT_EQ(record.mRamps[1]->mDelay, 120u);
        ASSERT_TRUE(RunUntil(
            [&]
            {
                return panel->GetCells()[1]->GetState() == IllustrationPanelCell::kCellActive &&
                       !panel->GetCells()[1]->IsTransitioning();
            }));
        audio.Update();
        EXPECT_EQ(film->GetRecordCount(), 0u) << "stopped once the cell is live";

        // The black: a sound still playing fades out over the same 5 s.
        audio.PlayIndex(panel->GetFilmSound());
        ASSERT_TRUE(RunUntil(
            [&] { return panel->GetPanelState() == IllustrationPanel::kPanelFadeToBlack; }));
        ASSERT_EQ(film->GetRecordCount(), 1u);
        ASSERT_NE(film->mRecords[0]->mTransition, nullptr);
        EXPECT_EQ(film->mRecords[0]->mTransition->mDuration, IllustrationPanel::kFadeToBlackMs);
        mManager->DoPopModal("story");
        Tick();
    }
    mImpl->mManagers.mSoundManager.reset();
    ClearSoundDataSourceBuilders();
    sys::audio::ResetOutputKind();
}

TEST_F(PanelTest, EventsActOnTheCurrentCellInTheirOrder)
{
    IllustrationPanel* panel = Open(
        "{ events = { { name = 'in', deactivate_layers = { 'lamp', 'nosuch' },"
        "               activate_layers = { 'lamp' }, animations = { 'nothere', 'lost' } },"
        "             { name = 'in', activate_layers = { 'nosuch' } },"
        "             { name = 'dup', deactivate_layers = { 'bg' } } },"
        "  animations = { { name = 'lost', layer = 'c2_thief', activatesounds = { 'wind' } } },"
        "  cell_1 = Cell({ introevent = 'in', sounds = { { name = 'wind', sounds = { 'x' } } } })"
        " }");
    ASSERT_NE(panel, nullptr);
    ASSERT_EQ(panel->GetEvents().size(), 3u);
    Step(16);
    // Activations before deactivations: the layer ends switched off.
    EXPECT_FALSE(panel->GetCells()[0]->FindEntity("lamp")->IsActive());
    EXPECT_TRUE(panel->GetCells()[0]->FindEntity("bg")->IsActive());
    EXPECT_EQ(
        rendertest::CountOf(Log(), "ERROR:Cannot find Layer: c2_thief   FILE:illustrationpanel"),
        1);
    EXPECT_EQ(panel->GetPanelState(), IllustrationPanel::kPanelPlaying);
    // A sound armed with no delays starts on the cell's next update.
    const std::shared_ptr<SoundEffect> wind = panel->GetCells()[0]->FindSound("wind");
    ASSERT_NE(wind, nullptr);
    EXPECT_EQ(wind->mPending, -1);
    panel->ActivateSound("wind");
    EXPECT_EQ(wind->mPending, 0);
    Step(16);
    EXPECT_EQ(wind->mPending, -1);
    panel->ActivateEvent("nope");
    EXPECT_TRUE(Logged("ERROR:Cannot find event 'nope'.   FILE:illustrationpanel"));
}

TEST_F(PanelTest, AWaitedAnimationHoldsThePanelUntilItsChainEnds)
{
    IllustrationPanel* panel =
        Open("{ events = { { name = 'in', animations = { 'a' } } },"
             "  animations = {"
             "    { name = 'a', layer = 'lamp', callback = true, nextanimations = { 'b' },"
             "      fade = { beginopacity = 1, endopacity = 0.5, duration = 64 } },"
             "    { name = 'b', layer = 'lamp', callback = true, nextanimations = { 'c' },"
             "      fade = { beginopacity = 0.5, endopacity = 1, duration = 64 } },"
             "    { name = 'c', layer = 'bg',"
             "      fade = { beginopacity = 1, endopacity = 0.8, duration = 64 } } },"
             "  cell_1 = Cell({ introevent = 'in' }) }",
             "t.celltimeminimum = 0");
    ASSERT_NE(panel, nullptr);
    Step(16);
    EXPECT_EQ(panel->GetPanelState(), IllustrationPanel::kPanelWaitAnimation);
    // A waits, then B waits: the cell is not advanced while they run.
    Steps(5, 16);
    EXPECT_EQ(panel->GetPanelState(), IllustrationPanel::kPanelWaitAnimation);
    EXPECT_EQ(panel->GetCells()[0]->GetState(), IllustrationPanelCell::kCellActive);
    // C does not wait: once B ends the panel goes on, and with no bubble left the cell returns.
    ASSERT_TRUE(RunUntil(
        [&] { return panel->GetPanelState() != IllustrationPanel::kPanelWaitAnimation; }, 400));
    ASSERT_TRUE(RunUntil([&] { return Continued() == 1; }));
}

TEST_F(PanelTest, ScriptFunctionsPauseResumeCompleteAndGoWithThePanel)
{
    IllustrationPanel* panel = Open(std::string("{ ") + kNoEvents + "cell_1 = Cell() }");
    ASSERT_NE(panel, nullptr);
    Step(16);
    Do("PausePanel()");
    EXPECT_TRUE(panel->IsPanelPaused());
    const int32_t timer = panel->GetCellTimer();
    Steps(10, 16);
    EXPECT_EQ(panel->GetCellTimer(), timer) << "a paused strip stands still";
    // Focus back while paused: paused again; the focus lost while paused is not the panel's.
    TMessage back(kUserMessageBase + 2, "");
    EXPECT_TRUE(panel->OnMessage(&back));
    EXPECT_TRUE(panel->IsPanelPaused());
    TMessage lost(kUserMessageBase + 1, "");
    EXPECT_FALSE(panel->OnMessage(&lost));
    EXPECT_EQ(Global("gReturnValue"), "nil");
    Do("ResumePanel()");
    EXPECT_FALSE(panel->IsPanelPaused());
    EXPECT_FALSE(panel->OnMessage(&back)) << "focus back while playing is not the panel's";

    Do("CompletePanels('gDone = 1')");
    EXPECT_TRUE(panel->IsPanelPaused());
    EXPECT_EQ(panel->GetState(), GameWindow::kFadingOut);
    // "ResumePanel" during the window's fade does nothing.
    Do("ResumePanel()");
    EXPECT_TRUE(panel->IsPanelPaused());
    Steps(4, 16);
    EXPECT_EQ(Global("gDone"), "1");
    EXPECT_EQ(Global("PausePanel"), "function");
    mManager->DoPopModal("story");
    Tick();
    EXPECT_EQ(Global("CompletePanels"), "nil");
    EXPECT_EQ(Global("PausePanel"), "nil");
    EXPECT_EQ(Global("ResumePanel"), "nil");

    // The focus lost presses "menu"; without one the message is still the panel's.
    panel = Open(std::string("{ ") + kNoEvents + "cell_1 = Cell() }");
    ASSERT_NE(panel, nullptr);
    EXPECT_TRUE(panel->OnMessage(&lost));
    EXPECT_EQ(Global("gReturnValue"), "menu");
    mManager->DoPopModal("story");
    Tick();
    panel = Open(std::string("{ ") + kNoEvents + "cell_1 = Cell() }", "t[1] = nil");
    ASSERT_NE(panel, nullptr);
    EXPECT_TRUE(panel->OnMessage(&lost));
}

TEST_F(PanelTest, APressOnTheSkipTextAdvancesAndOtherPressesPassOn)
{
    IllustrationPanel* panel =
        Open(std::string("{ ") + kNoEvents + "cell_1 = Cell(), cell_2 = Cell() }",
             "t.celltimeminimum = 100000");
    ASSERT_NE(panel, nullptr);
    IllustrationPanelCell& first = *panel->GetCells()[0];
    ASSERT_TRUE(RunUntil(
        [&] {
            return first.GetState() == IllustrationPanelCell::kCellActive &&
                   !first.IsTransitioning();
        }));
    mSettings->mMouseX = 10;
    mSettings->mMouseY = 10;
    EXPECT_FALSE(panel->OnMouseDown(TPoint{10, 10}));
    EXPECT_EQ(first.GetState(), IllustrationPanelCell::kCellActive);
    // The skip text sits in the cell's lower right corner (the cell is at 100, 100).
    mSettings->mMouseX = 215;
    mSettings->mMouseY = 175;
    EXPECT_TRUE(panel->OnMouseDown(TPoint{215, 175}));
    EXPECT_EQ(first.GetState(), IllustrationPanelCell::kCellReturning);
    EXPECT_EQ(panel->GetPanelState(), IllustrationPanel::kPanelTransition);
    ASSERT_TRUE(RunUntil([&] { return panel->GetCurrentIndex() == 1; }));
}

TEST_F(PanelTest, DropsComeEveryIntervalAndFinishedOnesGo)
{
    IllustrationPanel* panel =
        Open(std::string("{ ") + kNoEvents + "cell_1 = Cell() }", "t.celltimeminimum = 100000");
    ASSERT_NE(panel, nullptr);
    EXPECT_EQ(panel->GetStreaks().size(), 1u);
    EXPECT_EQ(panel->GetBloodTimer(), 400);
    Steps(26, 16);
    EXPECT_EQ(panel->GetStreaks().size(), 1u) << "the first has finished and gone, one new";
    EXPECT_EQ(panel->GetBloodTimer(), 400);
}

TEST_F(PanelTest, BadStylesAreReportedAndNothingBreaks)
{
    struct Case
    {
        const char* change;
        const char* message;
    };
    const Case cases[] = {
        {"t.bloodinfo = nil", "ERROR:Cannot find 'bloodinfo' for IllustrationPanel!"},
        {"panelinstructions = nil", "ERROR:Cannot find panelinstructions global table!"},
        {"panelinstructions.events = nil", "ERROR:Cannot find events table!"},
        {"panelinstructions.animations = 4", "ERROR:Cannot find animations table!"},
        {"t.cellinfo = 'x'", "ERROR:Cannot find cellinfo table for IllustrationPanel!"},
    };
    for (const Case& c : cases)
    {
        IllustrationPanel* panel =
            Open(std::string("{ ") + kNoEvents + "cell_1 = Cell() }", c.change);
        ASSERT_NE(panel, nullptr) << c.change;
        EXPECT_TRUE(Logged(c.message)) << c.change;
        Steps(4, 16);
        Paint();
        mManager->DoPopModal("story");
        Tick();
    }
    // No cell, film dots and particle copies without a step, a missing image: it runs and draws.
    IllustrationPanel* empty = Open(std::string("{ ") + kNoEvents + "}",
                                    "t.filmdotdist = 0 t.particlelinedist = -5 "
                                    "t.background = 'story/none' t.timebloodmin = 'soon'");
    ASSERT_NE(empty, nullptr);
    EXPECT_TRUE(empty->GetCells().empty());
    Steps(10, 16);
    Paint();
    EXPECT_EQ(Continued(), 0);
}

} // namespace
