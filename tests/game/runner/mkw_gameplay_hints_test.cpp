// The two characters' hints on a real location with the game's HUD: spending a tracker (the
// token's two legs, the picture, Thessalor's rays or Lirae's frame, the press that ends it),
// earning one through a recording hint window, the idle mini hint, render failures and their
// rebuild, runners closed mid-hint, and the grey of the picture.
#include "framework/adventure/entities/gameplay_item.h"
#include "framework/adventure/inventory/gameplay_inventory.h"
#include "framework/adventure/scene/gameplay_scene.h"
#include "framework/screen_test_support.h"
#include "framework/widgets/tool_tip.h"
#include "game/effects/godray.h"
#include "game/frame_sheet_support.h"
#include "game/hud/gameplay_hint.h"
#include "game/hud/mkw_gameplay_hud.h"
#include "game/minigames/hintboards/gameplay_hint_minigame.h"
#include "game/runner/mkw_gameplay.h"
#include "particles/lua_particle_system.h"
#include "platform/strings/string_table.h"
#include "render/sprites/animated_texture.h"
#include "render/sprites/sprite.h"
#include "render/textures/texture.h"
#include "render/textures/texture_data.h"
#include "script/script.h"
#include "sys/display/direct_draw.h"
#include "sys/display/surface.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

namespace
{

struct HintGameplay : MKWGameplay
{
    static TWindow* Create() { return new HintGameplay; }
    void LockInput() { mInputLocked = 1; }
    void SetState(int32_t state) { mGameplayState = state; }
    void LoseHintItem() { mHintItem = nullptr; }
    const ToolTip& BasicTip() const { return *mBasicToolTip; }
    const ToolTip& HintTip() const { return *mHintToolTip; }
};

std::vector<std::string> gCalls;

// Records its starts and keeps the notices so the test can send them.
struct RecordingHint : GameplayHintMinigame
{
    static TWindow* Create() { return new RecordingHint; }
    void Start(uint32_t flag, GameplayScene* scene, const HintCallbacks& callbacks) override
    {
        GameplayHintMinigame::Start(flag, scene, callbacks);
        gCalls.push_back(std::string(GetName().c_str()) + ".start " + std::to_string(flag));
    }
    void Send(Callback* callback) { callback->Call(nullptr, 0); }
    const HintCallbacks& Notices() const { return mCallbacks; }
    GameplayScene* Scene() const { return mScene; }
};

const char kLocation[] = R"(
gameplayinstructions = {
    conversations = {}, scenes = { 'a' },
    a = {
        items = { { name = 'key_1', image = 't/gem', x = 300, y = 200, inventory = 'key',
                    inventoryparts = { 1 } },
                  { name = 'oil_1', image = 't/gem', x = 500, y = 150, inventory = 'oil',
                    inventoryparts = { 1 } } },
        layers = { { name = 'bg', image = 't/bg', x = 0, y = 0, depth = 100 } },
    },
    events = { { name = 'e0', layerstoactivate = { 'bg' } },
               { name = 'give', inventorytoactivate = { 'key', 'oil' } } },
    inventory = { { name = 'key', image = 't/gem', type = 'thessalor', partcount = 1 },
                  { name = 'oil', image = 't/gem', type = 'lirae', partcount = 1 } },
    initial_event = 'e0', active_scene = 'a',
}
)";

std::string Character(int x, int trackerX)
{
    return "{ medallion = { image = 'hud/med', x = " + std::to_string(x) +
           ", y = 50 }, tracker = { hint_0 = { image = 'hud/trk', x = " + std::to_string(trackerX) +
           ", y = 20 }, hint_1 = { image = 'hud/trk', x = " + std::to_string(trackerX) +
           ", y = 45 } }, scrimx = " + std::to_string(x - 50) +
           ", scrimy = 0, scrimw = 100, scrimh = 100 }";
}

const std::string kStyle =
    "characterinfo = { scrim = {}, conversation_info = {}, info = {} }, "
    "playlist = { location01 = { a = {} } }, sceneinfo = {}, animatedcursorinfo = {}, "
    "locationnumber = 1, playlistinfo = {}, "
    "entityinfo = { iteminfo = { timefound = 32, timetoinventory = 32, timefadeaway = 32 }, "
    "areainfo = {}, layerinfo = {}, textinfo = {} }, "
    "inventoryinfo = { barwidth = 0, timetomove = 32, timevisible = 32 }, "
    "timehinttodestination = 160, distancetoinventoryarc = 40, distancetoitemarc = 30, "
    "hintrotatetoinventory = 1, hintrotatetoitem = 1, timehintfade = 64, "
    "timehinttoaddappear = 64, timehinttoaddmove = 96, scalehinttoadd = 1.5, "
    "rotationhinttoadd = 1, archinttoadd = 50, pulsecount = 2, pulsetexture = 'hud/pulse', "
    "pulsedelay = 48, pulseduration = 192, pulsescale = 3, "
    "alphathessalorhintcolor = 0.5, colorthessalorhint = { 0.2, 0.4, 1, 1 }, "
    "colorliraehint = { 1, 0.6, 0.2, 1 }, spriteliraehint = 't/spot', spriteliraecenterx = 32, "
    "spriteliraecentery = 32, spriteliraehintwidth = 200, spriteliraehintheight = 200, "
    "particlehintshowdestinationmini = 'SetNumParticles(4) function Update(s) end', "
    "godray = { texture = 'fx/ray', raydistancemin = 0.5, raydistancemax = 1, "
    "rayalphamin = 90, rayalphamax = 140, raylengthmin = 2, raylengthmax = 3, "
    "raywidthmin = 0.3, raywidthmax = 0.5, rayanglemin = 0.2, rayanglemax = 0.5, "
    "rayrotatespeedmin = 4000, rayrotatespeedmax = 8000 }, godraycount = 3, ";

class HintsTest : public screentest::ScreenTest
{
protected:
    void SetUp() override
    {
        ScreenTest::SetUp();
        if (HasFatalFailure())
            return;
        mManager->RegisterWindowType("Gameplay", &HintGameplay::Create);
        mManager->RegisterWindowType("GameplayHud", &MKWGameplayHud::Create);
        mManager->RegisterWindowType("GameplayHintThessalor", &RecordingHint::Create);
        mManager->RegisterWindowType("GameplayHintLirae", &RecordingHint::Create);
        gCalls.clear();
        Image("hud/bg.png", 800, 100, 0xFF303030);
        Image("hud/pulse.png", 16, 16, 0xFFFFFFFF);
        Image("fx/ray.png", 16, 64, 0xFFFFFFE0);
        Image("t/spot.png", 64, 64, 0x80FFC080);
        Sheet("hud/med", 40, {0xFFE02020, 0xFF20E020, 0xFF2020E0});
        Sheet("hud/trk", 16, {0xFFFFFF00, 0xFFFF8000});
        // Whole, found, one part: 20 x 20 each, registered at the middle.
        Sheet("t/gem", 20, {0xFF40C040, 0xFFC04040, 0xFF4040C0});
        Image("t/gem_mask.png", 20, 20, 0xFFFFFFFF);
        // Four bands of colour, so the grey picture shows where it came from.
        std::vector<uint32_t> bg(800 * 600);
        for (size_t i = 0; i < bg.size(); ++i)
        {
            const uint32_t band = static_cast<uint32_t>((i % 800) / 200);
            const uint32_t colours[] = {0xFFC83214, 0xFF1464C8, 0xFF32A050, 0xFFE0C040};
            bg[i] = colours[band];
        }
        std::vector<uint8_t> png = sys::display::EncodePng(bg.data(), 800, 600);
        File("t/bg.png", std::string(png.begin(), png.end()));
    }
    void TearDown() override
    {
        Run("gameplayinstructions = nil");
        ScreenTest::TearDown();
    }
    void Sheet(const std::string& name, int size, const std::vector<uint32_t>& colours)
    {
        const gametest::FrameSheet sheet = gametest::MakeFrameSheet(name, size, colours);
        File(name + ".png", sheet.png);
        File(name + ".xml", sheet.xml);
    }
    HintGameplay* Open(const std::string& keys = "", const std::string& children = "")
    {
        Run(kLocation);
        Run("Gameplay{ name = 'play', x = 0, y = 0, w = 800, h = 600, " + kStyle + keys +
            "GameplayHud{ name = 'hud', x = 0, y = 500, w = 800, h = 100, "
            "background = { image = 'hud/bg.png' }, foreground = { image = 'hud/bg.png' }, "
            "progressbar = { image = 'hud/bg.png', x = 300, y = 4 }, "
            "inventorybounds = { x = 200, y = 510, w = 400, h = 80 }, "
            "inventoryvertplacement = 550, hintminicolor = { 0.5, 0.25, 1, 1 }, "
            "hintinfo = { medallionspinduration = 64, timepulse = 100, alphapulse = 0.6, "
            "timemedallionpulse = 100, alphamedallionpulse = 0.5, timepulsedelay = 100 }, "
            "hintthessalor = " +
            Character(50, 120) + ", hintlirae = " + Character(750, 680) + " }, " + children +
            " }()");
        auto* play =
            dynamic_cast<HintGameplay*>(mManager->GetRoot()->FindChild("play", 0xFFFFFFFFu));
        if (play != nullptr)
            for (int i = 0; i < 60 && play->GetGameplayState() != Gameplay::kPlay; ++i)
                Frame(16);
        return play;
    }
    static MKWGameplayHud& Hud(HintGameplay& play)
    {
        return *static_cast<MKWGameplayHud*>(play.GetHud());
    }
    // Frames of 16 ms until the state is `state`; the states passed, each once.
    std::vector<int32_t> Until(HintGameplay& play, int32_t state, int limit = 60)
    {
        std::vector<int32_t> seen;
        for (int i = 0; i < limit && play.GetGameplayState() != state; ++i)
        {
            Frame(16);
            if (seen.empty() || seen.back() != play.GetGameplayState())
                seen.push_back(play.GetGameplayState());
        }
        return seen;
    }
    // The tracker of `medallion` selected and the hint for `object` asked for.
    void Spend(HintGameplay& play, GameplayHint* medallion, const char* object)
    {
        if (medallion != nullptr)
            medallion->SetSelectedMask(1);
        play.BeginHintSelect();
        play.HintInventory(play.FindInventory(object), true);
    }
    static TVec2 Token(HintGameplay& play)
    {
        return TVec2(play.GetHintTokenMover().GetX(), play.GetHintTokenMover().GetY());
    }
};

TEST_F(HintsTest, ThessalorsHintFliesOverTheStripOntoTheItemAndShowsTheRays)
{
    HintGameplay* play = Open();
    ASSERT_NE(play, nullptr);
    ASSERT_EQ(play->GetGameplayState(), Gameplay::kPlay) << Log();
    play->ActivateEvent("give", true);
    GameplayHint* thessalor = Hud(*play).GetThessalorMedallion();
    ASSERT_NE(thessalor, nullptr);
    // Thessalor's tracker wants Thessalor's objects only.
    thessalor->SetSelectedMask(1);
    EXPECT_TRUE(play->FindAreaForInventory(play->FindInventory("key")));
    EXPECT_FALSE(play->FindAreaForInventory(play->FindInventory("oil")));
    Hud(*play).GetLiraeMedallion()->SetSelectedMask(1);
    EXPECT_TRUE(play->FindAreaForInventory(play->FindInventory("oil"))) << "Lirae's goes first";
    Hud(*play).GetLiraeMedallion()->SetSelectedMask(0);

    Spend(*play, thessalor, "key");
    EXPECT_EQ(play->GetGameplayState(), Gameplay::kWaiting);
    EXPECT_EQ(play->GetTokenCharacter(), 1);
    EXPECT_EQ(thessalor->GetAvailableMask(), 0b10) << "the tracker is spent";
    const TVec2 start = Token(*play);
    EXPECT_EQ(start.x, 120.0f);
    EXPECT_EQ(start.y, 520.0f);
    const TVec2 home = play->FindInventory("key")->GetHomePosition();

    // The first leg ends on the strip object; the item is only reached after the second.
    RunFrames(11);
    EXPECT_NEAR(Token(*play).x, home.x, 0.01f);
    EXPECT_NEAR(Token(*play).y, home.y, 0.01f);
    EXPECT_EQ(play->GetGameplayState(), Gameplay::kWaiting);
    EXPECT_EQ(Until(*play, MKWGameplay::kThessalorHintShown),
              (std::vector<int32_t>{Gameplay::kWaiting, Gameplay::kMinigame,
                                    MKWGameplay::kThessalorHintShown}));
    EXPECT_NEAR(Token(*play).x, 300.0f, 0.01f);
    EXPECT_NEAR(Token(*play).y, 200.0f, 0.01f);
    EXPECT_EQ(play->GetTokenCharacter(), 0);
    EXPECT_EQ(play->GetHintCharacter(), 1);
    EXPECT_TRUE(play->IsHudBusy());
    // The rays' viewport is centred on the item; each ray still turns once.
    const TRect viewport = play->GetViewport3d();
    EXPECT_EQ(viewport.left, -100);
    EXPECT_EQ(viewport.top, -100);
    EXPECT_EQ(viewport.Width(), 800);
    for (const std::shared_ptr<Godray>& ray : play->GetGodrays())
        EXPECT_EQ(mTransforms.GetTransformCount(&ray->GetTransform()), 1u);

    Paint();
    rendertest::CompareWithGolden(*Data().mBackBuffer, {200, 100, 400, 300},
                                  "hint_thessalor_overlay.png");
    // The item shows found and coloured over the grey scene.
    EXPECT_EQ(Pixel(300, 200), 0xC04040u);
    EXPECT_GT(Pixel(210, 110) & 0xFF, (Pixel(210, 110) >> 16) & 0xFF) << "a grey with blue added";

    // A press on the item is taken past the input block and finds it.
    play->LockInput();
    mSettings->mMouseX = 302;
    mSettings->mMouseY = 198;
    EXPECT_TRUE(play->OnMouseDown(TPoint(302, 198)));
    Frame(16);
    EXPECT_EQ(play->GetHintSnapshotFader().GetAlpha() < 1.0f, true);
    RunFrames(30);
    EXPECT_NE(play->FindItem("key_1")->GetFlags() & GameplayItem::kFound, 0);
    EXPECT_EQ(play->GetHintSnapshotFader().GetAlpha(), 0.0f);
    EXPECT_NE(play->GetGameplayState(), MKWGameplay::kThessalorHintShown);
}

TEST_F(HintsTest, LiraesFrameHasItsHoleOnTheItemAndAMissEndsTheHint)
{
    HintGameplay* play = Open();
    ASSERT_NE(play, nullptr);
    play->ActivateEvent("give", true);
    Spend(*play, Hud(*play).GetLiraeMedallion(), "oil");
    EXPECT_EQ(play->GetTokenCharacter(), 2);
    Until(*play, MKWGameplay::kLiraeHintShown);
    ASSERT_EQ(play->GetGameplayState(), MKWGameplay::kLiraeHintShown);
    // The 200 x 200 hole around (500, 150); the top and bottom edges stay on the screen's.
    const TRect hole = play->GetLiraeHintRect();
    EXPECT_EQ(hole.left, 400);
    EXPECT_EQ(hole.top, 50);
    EXPECT_EQ(hole.right, 600);
    EXPECT_EQ(hole.bottom, 250);
    EXPECT_EQ(play->GetSpotlightVertex(1).x, 400.0f);
    EXPECT_EQ(play->GetSpotlightVertex(1).y, 0.0f);
    EXPECT_EQ(play->GetSpotlightVertex(7).x, 600.0f);
    EXPECT_EQ(play->GetSpotlightVertex(7).y, 250.0f);
    // The frame shows the picture: positions over the texture's surface.
    uint32_t w = 0;
    uint32_t h = 0;
    play->GetHintSnapshot()->GetTexture()->GetSurfaceSize(w, h);
    EXPECT_EQ(play->GetSpotlightVertex(11).u, 800.0f / static_cast<float>(w));
    EXPECT_EQ(play->GetSpotlightVertex(5).u, 600.0f / static_cast<float>(w));
    EXPECT_EQ(play->GetSpotlightVertex(5).v, 50.0f / static_cast<float>(h));

    Paint();
    rendertest::CompareWithGolden(*Data().mBackBuffer, {350, 0, 650, 300},
                                  "hint_lirae_overlay.png");

    // A miss ends the hint without finding anything.
    mSettings->mMouseX = 100;
    mSettings->mMouseY = 100;
    play->OnMouseDown(TPoint(100, 100));
    Until(*play, Gameplay::kPlay);
    EXPECT_EQ(play->GetGameplayState(), Gameplay::kPlay);
    EXPECT_EQ(play->FindItem("oil_1")->GetFlags() & GameplayItem::kFound, 0);
    EXPECT_FALSE(play->IsHudBusy());

    // Neither medallion selected: the token flies with no character and Lirae's frame shows.
    Spend(*play, nullptr, "oil");
    EXPECT_EQ(play->GetTokenCharacter(), 0);
    Until(*play, MKWGameplay::kLiraeHintShown);
    EXPECT_EQ(play->GetGameplayState(), MKWGameplay::kLiraeHintShown);
    EXPECT_EQ(play->GetHintCharacter(), 0);
}

TEST_F(HintsTest, AHintIsEarnedThroughTheCharactersWindow)
{
    HintGameplay* play = Open("", "GameplayHintThessalor{ name = 'hintthessalor' }, "
                                  "GameplayHintLirae{ name = 'hintlirae' }, ");
    ASSERT_NE(play, nullptr);
    auto* window = static_cast<RecordingHint*>(play->GetHintWindowThessalor());
    ASSERT_NE(window, nullptr);
    GameplayHint* thessalor = Hud(*play).GetThessalorMedallion();

    play->StartThessalorHintMinigame();
    EXPECT_EQ(gCalls, (std::vector<std::string>{"hintthessalor.start 0"}));
    EXPECT_EQ(window->Scene(), play->GetActiveScene());
    EXPECT_EQ(window->Notices().leave, play->GetBoundCallback(MKWGameplay::kThessalorMinigameExit));
    EXPECT_EQ(window->Notices().crazyClick, play->GetBoundCallback(MKWGameplay::kCrazyClick));
    EXPECT_EQ(play->GetGameplayState(), MKWGameplay::kThessalorMinigame);
    EXPECT_FALSE(play->GetHud()->AreButtonsEnabled());
    RunFrames(6);
    EXPECT_EQ(thessalor->GetSpinFrame(), 2) << "spun to its last frame";
    // Leaving without a hint: everything back.
    window->Send(window->Notices().leave);
    EXPECT_EQ(play->GetGameplayState(), Gameplay::kPlay);
    EXPECT_TRUE(play->GetHud()->AreButtonsEnabled());

    // A hint earned: the token shows on the first missing tracker's picture, its pulses apart.
    thessalor->SetAvailableMask(0b10);
    play->StartThessalorHintMinigame();
    window->Send(window->Notices().hintEarned);
    EXPECT_EQ(play->GetTokenCharacter(), 1);
    EXPECT_EQ(play->GetTokenTrackerIndex(), 0);
    EXPECT_EQ(play->GetTokenTarget().x, 120);
    EXPECT_EQ(play->GetTokenTarget().y, 520);
    EXPECT_EQ(play->GetHintToken()->GetAnimatedTexture(),
              thessalor->GetTrackerSprite(0)->GetAnimatedTexture());
    EXPECT_EQ(play->GetHintToken()->GetFrame(), 1);
    EXPECT_EQ(Token(*play).x, 400.0f);
    EXPECT_EQ(Token(*play).y, 300.0f);
    const auto& pulses = play->GetPulseMovers();
    ASSERT_EQ(pulses.size(), 2u);
    Frame(32);
    Frame(32);
    EXPECT_LT(pulses[0]->GetAlpha(), 1.0f) << "the first pulse fades at once";
    EXPECT_EQ(pulses[1]->GetAlpha(), 1.0f) << "the second waits 48 ms";
    Frame(32);
    EXPECT_LT(pulses[1]->GetAlpha(), 1.0f);
    EXPECT_EQ(pulses[1]->GetX(), 400.0f) << "a pulse grows where it stands";

    // Mid-way to the tracker, with both pulses.
    window->Send(window->Notices().tokenMove);
    EXPECT_EQ(play->GetGameplayState(), Gameplay::kWaiting);
    Frame(32);
    Frame(32);
    Paint();
    rendertest::CompareWithGolden(*Data().mBackBuffer, {100, 260, 440, 540},
                                  "hint_token_in_flight.png");
    RunFrames(6);
    EXPECT_NEAR(Token(*play).x, 120.0f, 0.01f);
    EXPECT_NEAR(Token(*play).y, 520.0f, 0.01f);
    EXPECT_EQ(thessalor->GetAvailableMask(), 0b11) << "the tracker is filled";
    EXPECT_EQ(play->GetTokenCharacter(), 0);
    EXPECT_EQ(play->GetGameplayState(), Gameplay::kPlay);

    // Nothing missing: the HUD reports, and the token flies to its fallback.
    window->Send(window->Notices().hintEarned);
    EXPECT_EQ(play->GetTokenTrackerIndex(), -1);
    EXPECT_GE(CountInLog("No missing trackers!"), 1);
}

TEST_F(HintsTest, WithoutHintWindowsTheMedallionOnlyMarksItsTutorial)
{
    HintGameplay* play = Open();
    ASSERT_NE(play, nullptr);
    play->StartLiraeHintMinigame();
    EXPECT_EQ(play->GetGameplayState(), Gameplay::kPlay);
    EXPECT_EQ(CountInLog("The location has no \"hintlirae\" hint window; play goes on"), 1);
    EXPECT_EQ(CountInLog("ERROR"), 0);
    EXPECT_TRUE(play->GetHud()->AreButtonsEnabled());
}

TEST_F(HintsTest, TheMiniHintComesAfterIdlePlayAndGoesAfterItsTime)
{
    HintGameplay* play = Open("timehintminishow = 96, timehintshowdestination = 64, ");
    ASSERT_NE(play, nullptr);
    play->ActivateEvent("give", true);
    TScript* hud = Hud(*play).GetHintParticles().GetScript();
    ASSERT_NE(hud, nullptr);
    RunFrames(5);
    EXPECT_EQ(hud->GetGlobalNumber("gActive"), 0);
    // A press starts the count again.
    play->OnMouseDown(TPoint(5, 5));
    Frame(16);
    EXPECT_EQ(play->GetIdleElapsed(), 0u);
    RunFrames(5);
    EXPECT_EQ(hud->GetGlobalNumber("gActive"), 0);
    Frame(16);
    EXPECT_EQ(hud->GetGlobalNumber("gActive"), 1);
    Frame(16);
    const float x = play->GetMiniHintLocus().mValue[0];
    EXPECT_TRUE(x == 300.0f || x == 500.0f) << x;
    EXPECT_EQ(Hud(*play).GetHintParticleColor().mValue[2], 1.0f);
    RunFrames(3);
    EXPECT_EQ(hud->GetGlobalNumber("gActive"), 0) << "over after 64 ms";

    // No active item: nothing to point at.
    play->FindItem("key_1")->SetFlags(0);
    play->FindItem("oil_1")->SetFlags(0);
    play->ShowMiniHint();
    EXPECT_EQ(hud->GetGlobalNumber("gActive"), 0);
    // Nor one found a moment ago, still active while it fades away.
    play->FindItem("key_1")->SetFlags(GameplayEntity::kActive | GameplayEntity::kShown |
                                      GameplayItem::kFound);
    play->ShowMiniHint();
    EXPECT_EQ(hud->GetGlobalNumber("gActive"), 0);
}

// A close runs the location on without the player: idle in play through its whole bound of steps
// (a wait of the test's own holds it), it points at no item.
TEST_F(HintsTest, ACloseRunningTheLocationOnShowsNoMiniHint)
{
    HintGameplay* play = Open("timehintminishow = 96, timehintshowdestination = 64, ");
    ASSERT_NE(play, nullptr);
    play->ActivateEvent("give", true);
    const WaitHandle held =
        play->Expect(Gameplay::kCallbackReported, "the test's own wait", [] { return true; });
    play->SetState(Gameplay::kPlay);
    play->SettleForClose();
    EXPECT_EQ(play->GetGameplayState(), Gameplay::kPlay);
    EXPECT_EQ(Hud(*play).GetHintParticles().GetScript()->GetGlobalNumber("gActive"), 0);
}

TEST_F(HintsTest, AnIdleTimeOfZeroShowsTheMiniHintEveryIdleFrame)
{
    HintGameplay* play = Open("timehintminishow = 0, timehintshowdestination = 64, ");
    ASSERT_NE(play, nullptr);
    play->ActivateEvent("give", true);
    Frame(16);
    EXPECT_EQ(Hud(*play).GetHintParticles().GetScript()->GetGlobalNumber("gActive"), 1);
    EXPECT_EQ(play->GetMiniHintElapsed(), 0u);
    Frame(16);
    EXPECT_EQ(play->GetMiniHintElapsed(), 0u) << "shown again";
}

TEST_F(HintsTest, RefusedPicturesAreReportedTheHintShowsAndARebuildFollows)
{
    HintGameplay* play = Open();
    ASSERT_NE(play, nullptr);
    play->ActivateEvent("give", true);
    // The texture refused.
    Data().mDirectDraw->mCreateSurfaceAnswers = {sys::display::Result::Fail};
    Spend(*play, Hud(*play).GetLiraeMedallion(), "oil");
    Until(*play, MKWGameplay::kLiraeHintShown);
    EXPECT_EQ(play->GetGameplayState(), MKWGameplay::kLiraeHintShown);
    EXPECT_EQ(CountInLog("ERROR:CreateTexture   FILE:mkwgameplay"), 1) << Log();
    // The refresh it asked for made the picture on a later frame.
    EXPECT_NE(play->GetHintSnapshot()->GetTexture(), nullptr);
    EXPECT_FALSE(mFrames->AreTexturesPending());
    // The rebuild inside a frame: the render target is refused.
    ASSERT_TRUE(TRenderer::Instance()->BeginDraw(false)) << Log();
    EXPECT_FALSE(play->RecreateTextures());
    TRenderer::Instance()->EndFrame(false);
    EXPECT_EQ(CountInLog("ERROR:BeingRenderTarget   FILE:mkwgameplay"), 1);
    EXPECT_TRUE(play->RecreateTextures());
    ASSERT_NE(play->GetHintSnapshot()->GetTexture(), nullptr);
    // The picture's surface held locked elsewhere.
    auto* data = dynamic_cast<TDxTextureData*>(play->GetHintSnapshot()->GetTexture()->GetData());
    ASSERT_NE(data, nullptr);
    sys::display::SurfaceDesc desc;
    ASSERT_EQ(data->GetSurface()->Lock(nullptr, &desc, 0), sys::display::Result::Ok);
    EXPECT_FALSE(play->RenderHintSnapshot());
    data->GetSurface()->Unlock(nullptr);
    EXPECT_EQ(CountInLog("ERROR:Lock   FILE:mkwgameplay"), 1);
}

// Runners closed mid-flight, mid-fade and with a hint window holding their notices leave nothing
// that calls back into them.
TEST_F(HintsTest, RunnersClosedMidHint)
{
    for (int when : {3, 14, 16})
    {
        HintGameplay* play = Open("", "GameplayHintLirae{ name = 'hintlirae' }, ");
        ASSERT_NE(play, nullptr);
        play->ActivateEvent("give", true);
        play->StartLiraeHintMinigame();
        auto* window = static_cast<RecordingHint*>(play->GetHintWindowLirae());
        window->Send(window->Notices().hintEarned);
        window->Send(window->Notices().tokenMove);
        RunFrames(10);
        Spend(*play, Hud(*play).GetLiraeMedallion(), "oil");
        RunFrames(when);
        mManager->GetRoot()->RemoveChild(play);
        delete play;
        RunFrames(20);
    }
}

// Closed while the token flies to the item, the hint was never shown: the tracker it spent is
// kept for the record. Closed once the hint shows, before its item is found, the record could
// hold no shown hint: the close takes the hint back to its tracker's click, the tracker unspent.
TEST_F(HintsTest, AHintsTrackerIsKeptForACloseBeforeItsItemIsFound)
{
    for (bool arrived : {false, true})
    {
        HintGameplay* play = Open();
        ASSERT_NE(play, nullptr);
        play->ActivateEvent("give", true);
        GameplayHint* thessalor = Hud(*play).GetThessalorMedallion();
        Spend(*play, thessalor, "key");
        EXPECT_EQ(thessalor->GetAvailableMask(), 0b10);
        if (arrived)
            Until(*play, MKWGameplay::kThessalorHintShown);
        else
            RunFrames(5);
        play->OnClose();
        EXPECT_EQ(thessalor->GetAvailableMask(), 0b11) << arrived;
        mManager->GetRoot()->RemoveChild(play);
        delete play;
    }
}

// A hinted item lost (a scene switch, a restore) on the way or while shown: the hint ends and
// play goes on.
TEST_F(HintsTest, AHintWhoseItemIsLostEndsWithoutATest)
{
    HintGameplay* play = Open();
    ASSERT_NE(play, nullptr);
    play->ActivateEvent("give", true);
    Spend(*play, Hud(*play).GetLiraeMedallion(), "oil");
    play->LoseHintItem();
    EXPECT_EQ(Until(*play, Gameplay::kPlay).back(), Gameplay::kPlay);
    EXPECT_FALSE(play->IsHudBusy());
    EXPECT_EQ(play->GetHintSnapshot()->GetTexture(), nullptr) << "no picture made";

    Spend(*play, Hud(*play).GetLiraeMedallion(), "oil");
    Until(*play, MKWGameplay::kLiraeHintShown);
    ASSERT_EQ(play->GetGameplayState(), MKWGameplay::kLiraeHintShown);
    play->LoseHintItem();
    mSettings->mMouseX = 500;
    mSettings->mMouseY = 150;
    play->OnMouseDown(TPoint(500, 150));
    Until(*play, Gameplay::kPlay);
    EXPECT_EQ(play->GetGameplayState(), Gameplay::kPlay);
    EXPECT_EQ(play->FindItem("oil_1")->GetFlags() & GameplayItem::kFound, 0);
}

// The medallions' tool tips: over a tracker with the base's no-target text, over a medallion, and
// in hint selection by the selected medallion; points are the mouse's, on the screen.
TEST_F(HintsTest, TheMedallionsToolTipsTakeTheirCharacter)
{
    const char tips[] =
        "tooltipbasic = { font = { '', 10, { 1, 1, 1, 1 } }, w = 200, h = 40, maxx = 800, "
        "maxy = 600 }, tooltiphint = { font = { '', 10, { 1, 1, 1, 1 } }, w = 200, h = 40, "
        "maxx = 800, maxy = 600 }, tooltiphintnovalidtarget = 'none', "
        "tooltiphintthessalornovalidtarget = 'tt_none', tooltipmedallionliraeavailable = "
        "'tt_ready', tooltipmedallionliraenotavailable = 'tt_empty', "
        "colorthessalortooltip = { 0, 0, 1, 1 }, colorliraetooltip = { 1, 0, 0, 1 }, ";
    std::string sheet = "<Workbook><Worksheet><Table>";
    for (const char* label : {"tt_none", "tt_empty"})
        sheet += std::string("<Row><Cell><Data>") + label + "</Data></Cell><Cell><Data>text " +
                 label + "</Data></Cell></Row>";
    sheet += "</Table></Worksheet></Workbook>";
    ASSERT_TRUE(
        mApp->GetStringTable()->LoadBuffer(sheet.data(), static_cast<uint32_t>(sheet.size())));
    HintGameplay* play = Open(tips);
    ASSERT_NE(play, nullptr);
    const TVec4 plain(0, 1, 0, 1);
    play->UpdateToolTips(nullptr, true, "none", TPoint(120, 520), plain);
    EXPECT_STREQ(play->BasicTip().GetText().c_str(), "text tt_none");
    EXPECT_EQ(play->BasicTip().GetCorners()[0].colour, 0xFF0000FFu);

    // Nothing under the mouse hides it.
    play->UpdateToolTips(nullptr, true, "", TPoint(400, 100), plain);
    Frame(16);
    play->UpdateToolTips(nullptr, true, "", TPoint(750, 550), plain);
    EXPECT_STREQ(play->BasicTip().GetText().c_str(), "text tt_empty") << "nothing to earn";
    Hud(*play).GetLiraeMedallion()->SetAvailableMask(0b01);
    play->UpdateToolTips(nullptr, true, "", TPoint(751, 551), plain);
    EXPECT_EQ(play->BasicTip().GetCorners()[0].colour, 0xFFFF0000u);

    play->SetState(Gameplay::kHintSelect);
    Hud(*play).GetThessalorMedallion()->SetSelectedMask(1);
    play->UpdateToolTips(nullptr, true, "", TPoint(400, 100), plain);
    EXPECT_EQ(play->HintTip().GetCorners()[0].colour, 0xFF0000FFu);
    Hud(*play).GetLiraeMedallion()->SetSelectedMask(1);
    play->UpdateToolTips(nullptr, true, "", TPoint(400, 100), plain);
    EXPECT_EQ(play->HintTip().GetCorners()[0].colour, 0xFFFF0000u) << "Lirae's first";
}

TEST(HintGrey, WeightsFollowTheSortedChannelsAndAlphaStays)
{
    // Rows of 11 (eight at a time, then one by one) in a pitch of 12.
    std::vector<uint32_t> pixels(24, 0xFF000000u);
    for (size_t at : {0u, 9u, 12u, 20u})
        pixels[at] = 0x80C86432;
    pixels[3] = 0xFF3264C8;
    pixels[4] = 0x00FFFFFF;
    pixels[11] = 0x12345678;
    pixels[23] = 0x12345678;
    MKWGameplay::GreyPixels(pixels.data(), 12, 11, 2);
    // (200, 100, 50) in either order: 124.5, stored as 124.
    for (size_t at : {0u, 9u, 12u, 20u})
        EXPECT_EQ(pixels[at], 0x807C7C7Cu) << at;
    EXPECT_EQ(pixels[3], 0xFF7C7C7Cu);
    EXPECT_EQ(pixels[4], 0x00FFFFFFu);
    EXPECT_EQ(pixels[1], 0xFF000000u);
    EXPECT_EQ(pixels[11], 0x12345678u) << "outside the width";
    EXPECT_EQ(pixels[23], 0x12345678u);
}

} // namespace
