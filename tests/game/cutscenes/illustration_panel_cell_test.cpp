// Cut-scene cells: loading from tables shaped like the game's storyboard, the fades between the
// live and the aged look with their notices, the aged texture's two passes, the skip text and its
// scrim, bubbles in turn, and render-texture failures (reported, retried, never fatal).
#include "cutscene_test_support.h"

#include "framework/core/window_manager.h"
#include "framework/sound/sound_effect.h"
#include "framework/widgets/animated_bitmap.h"
#include "framework/widgets/text_object.h"
#include "game/cutscenes/illustration_panel_cell.h"
#include "game/cutscenes/illustration_panel_layer.h"
#include "game/cutscenes/illustration_panel_particle.h"
#include "game/cutscenes/illustration_panel_speech.h"
#include "game/cutscenes/illustration_panel_text.h"
#include "platform/maths/random.h"
#include "render/sprites/sprite.h"
#include "render/text/text_sprite.h"
#include "render/textures/texture.h"

#include <cmath>

namespace
{

std::string CellInfo(const std::string& extra = "")
{
    return "{ blotchbuffer = 0, timeswaptoactive = 100, timebubbledelay = 7, staticmin = 0.1,"
           "  staticmax = 0.3, skipcolor = { 1, 1, 1, 1 }, skipcolorhilight = { 1, 0, 0, 1 },"
           "  speechinfo = { timeintro = 50, timeoutro = 50, alphaintro = 1, alphaoutro = 0,"
           "                 font = { '', 10, { 0, 0, 0, 1 } }, flags = 5 },"
           "  static = 'cell/static%d', staticcount = 2, gradient = 'cell/gradient',"
           "  trim = 'cell/trim', overlay = 'cell/overlay', blotches = 'cell/blotches',"
           "  skiptext = { text = 'Skip', w = 40, h = 14, font = { '', 10, { 1, 1, 1, 1 } }, flags "
           "= 10 },"
           "  skipscrimspace = 4, width = 120, height = 80, skipscrimcolor = { 0, 0, 1, 0.5 }," +
           extra + " }";
}

// Two layers, a caption riding on the first, no particle, two bubbles.
const char* const kCell =
    "{ introevent = 'ev_in', sounds = { { name = 'wind', sounds = { 'bye' }, groupid = 5,"
    "                                    initialdelay = 30 } },"
    "  colorlayers = { { name = 'bg', depth = 0, image = 'story/red', x = 10, y = 10 },"
    "                  { name = 'lamp', depth = 1, image = 'story/green', x = 60, y = 30 } },"
    "  text = { { name = 'cap', depth = 2, x = 10, y = 50, parentlayer = 'bg',"
    "             text = { string = 'cap1', w = 60, h = 14, font = { '', 10, { 1, 1, 1, 1 } } } } "
    "},"
    "  particles = { },"
    "  speechbubbles = { speech_1 = { sound = 'hello', postevent = 'after1', image = "
    "'story/bubble',"
    "                                 x = 50, y = 2, text = { text = 'line1', x = 52, y = 4, w = "
    "56,"
    "                                 h = 16 } },"
    "                    speech_2 = { sound = 'nosuch', postevent = 'after2',"
    "                                 text = { text = 'line2' } },"
    "                    speech_4 = { text = { text = 'line2' } } } }";

class PanelCellTest : public cuttest::CutsceneTest
{
protected:
    void SetUp() override
    {
        CutsceneTest::SetUp();
        if (HasFatalFailure())
            return;
        // The aged look's images: a framed overlay, a grey trim mask whose left band is dim (the
        // alpha pass draws a texture's alpha as grey, so the mask's alpha matches its grey),
        // a gradient, two grain frames and three blotch frames.
        mFiles.Add("cell/overlay.png",
                   imagetest::PaintedPng(
                       120, 80,
                       [](uint32_t x, uint32_t y) -> cuttest::Rgba
                       {
                           const bool edge = x < 2 || y < 2 || x >= 118 || y >= 78;
                           return edge ? cuttest::Rgba{20, 20, 20, 255} : cuttest::Rgba{0, 0, 0, 0};
                       }));
        mFiles.Add("cell/trim.png", imagetest::PaintedPng(120, 80,
                                                          [](uint32_t x, uint32_t) -> cuttest::Rgba
                                                          {
                                                              const uint16_t grey =
                                                                  x < 20 ? 64 : 255;
                                                              return {grey, grey, grey, grey};
                                                          }));
        mFiles.Add("cell/gradient.png",
                   imagetest::PaintedPng(120, 80,
                                         [](uint32_t, uint32_t y) -> cuttest::Rgba {
                                             return {0, 0, 0, static_cast<uint16_t>(y / 8)};
                                         }));
        Image("cell/static0", 120, 80, {255, 255, 255, 40});
        Image("cell/static1", 120, 80, {200, 200, 255, 40});
        mFiles.Add("cell/blotches.png",
                   imagetest::PaintedPng(24, 8,
                                         [](uint32_t, uint32_t) -> cuttest::Rgba {
                                             return {255, 255, 0, 255};
                                         }));
        mFiles.Add(
            "cell/blotches.xml",
            "<sequence name=\"b\"><img regx=\"4\" regy=\"4\" w=\"24\" h=\"8\" "
            "name=\"blotches.png\" mask=\"\"/><framelist>"
            "<frame x=\"0\" y=\"0\" w=\"8\" h=\"8\"/><frame x=\"8\" y=\"0\" w=\"8\" h=\"8\"/>"
            "<frame x=\"16\" y=\"0\" w=\"8\" h=\"8\"/></framelist></sequence>");
        WindowManager::SetActiveSource([] { return true; });
        mFrames = std::make_unique<WindowManager>();
    }
    void TearDown() override
    {
        mCell.reset();
        mFrames.reset();
        WindowManager::SetActiveSource(nullptr);
        CutsceneTest::TearDown();
    }
    IllustrationPanelCell& Make(const std::string& cell = kCell,
                                const std::string& info = CellInfo())
    {
        mCellTable = Table(cell, "cell");
        mInfoTable = Table(info, "cellinfo");
        mCell = std::make_unique<IllustrationPanelCell>(*mCellTable, *mInfoTable);
        return *mCell;
    }
    // One frame as the panel steps it: clock, cell, transforms, sounds.
    void Step(uint32_t ms, int32_t mouseX = -1, int32_t mouseY = -1)
    {
        mClock.SetFrameTime(Now() + ms);
        mClock.SetStep(ms);
        mCell->Update(ms, TDrawSpec(), mouseX, mouseY);
        mTransforms->Update();
        mAudio->Update();
    }
    void StepFor(uint32_t ms)
    {
        for (uint32_t t = 0; t < ms; t += 10)
            Step(10);
    }
    void DrawCell(const TDrawSpec& spec = TDrawSpec())
    {
        Draw([&] { mCell->Draw(spec); });
    }

    std::unique_ptr<WindowManager> mFrames;
    std::unique_ptr<TLuaTable> mCellTable;
    std::unique_ptr<TLuaTable> mInfoTable;
    std::unique_ptr<IllustrationPanelCell> mCell;
};

TEST_F(PanelCellTest, LoadsKeysEntitiesBubblesAndTheSkipBox)
{
    IllustrationPanelCell& cell = Make();
    EXPECT_EQ(cell.GetState(), IllustrationPanelCell::kCellHidden);
    EXPECT_FALSE(cell.IsTransitioning());
    EXPECT_FALSE(cell.IsCrossfade());
    EXPECT_TRUE(cell.IsSkipEnabled());
    EXPECT_EQ(cell.GetSwapTime(), 100);
    EXPECT_EQ(cell.GetBubbleDelay(), 7);
    EXPECT_STREQ(cell.GetIntroEvent().c_str(), "ev_in");
    EXPECT_EQ(cell.GetPostEvent().Length(), 0u);
    EXPECT_EQ(cell.GetLiveTransform().GetAlpha(), 0);
    EXPECT_EQ(cell.GetInactiveTransform().GetAlpha(), 0);
    EXPECT_FALSE(cell.HasInactiveTexture());

    ASSERT_EQ(cell.GetColorLayers().size(), 2u);
    ASSERT_EQ(cell.GetTexts().size(), 1u);
    EXPECT_TRUE(cell.GetParticles().empty());
    // Bubbles 1 and 2; 4 lies past the gap.
    ASSERT_EQ(cell.GetSpeechBubbles().size(), 2u);
    EXPECT_EQ(CountInLog("Cannot load sound 'nosuch' for IllustrationPanelSpeech!"), 1);
    EXPECT_EQ(cell.GetTexts()[0]->GetParent(), cell.GetColorLayers()[0].get());
    EXPECT_EQ(cell.FindEntity("cap"), cell.GetTexts()[0]);
    EXPECT_EQ(cell.FindEntity("lamp"), cell.GetColorLayers()[1]);
    EXPECT_EQ(cell.FindEntity("none"), nullptr);
    EXPECT_EQ(cell.FindParticle("bg"), nullptr);
    ASSERT_NE(cell.FindSound("wind"), nullptr);
    EXPECT_EQ(cell.FindSound("Wind"), nullptr);
    // "soundgroupid" absent (0): the entry keeps its own group.
    EXPECT_TRUE(IsTrue("cell.sounds[1].groupid == 5"));
    EXPECT_EQ(cell.GetStaticSprites().size(), 2u);
    EXPECT_EQ(cell.GetBlotchSprite()->GetFrameCount(), 3);
    // Hidden at the end of loading: the layers hold no textures.
    EXPECT_EQ(cell.GetColorLayers()[0]->GetImage()->GetSprite()->GetTexture(), nullptr);

    // The skip box sits in the bottom-right corner around the laid-out text.
    ASSERT_NE(cell.GetSkipText(), nullptr);
    TRect bounds;
    cell.GetSkipText()->GetTextSprite()->GetTextBounds(bounds, TDrawSpec());
    const TRect& box = cell.GetSkipRect();
    EXPECT_EQ(box, TRect(120 - 8 - bounds.Width(), 80 - 8 - bounds.Height(), 120, 80));
    EXPECT_GT(bounds.Width(), 5);
    EXPECT_EQ(cell.GetSkipText()->GetTransform()->GetX(), 116);
    EXPECT_EQ(cell.GetSkipText()->GetTransform()->GetY(), 76);
    const auto* v = cell.GetSkipVertices();
    EXPECT_EQ(v[0].x, box.left);
    EXPECT_EQ(v[0].y, box.top);
    EXPECT_EQ(v[1].x, box.right);
    EXPECT_EQ(v[2].y, box.bottom);
    EXPECT_EQ(v[3].x, box.left);
    EXPECT_EQ(v[3].w, 0.5f);
    EXPECT_EQ(v[2].z, 0.0f);
    EXPECT_EQ(v[0].diffuse, 0x7F0000FFu);
}

TEST_F(PanelCellTest, OptionalPartsGroupsDepthOrderAndParents)
{
    // No text table, "soundgroupid" set, depth -1 on top, a parent found as a text, one nowhere,
    // and no first bubble.
    IllustrationPanelCell& cell = Make(
        "{ sounds = { { name = 'a', sounds = { 'bye' }, groupid = 5 }, { name = 'b', sounds = { "
        "'bye' } } },"
        "  colorlayers = { { name = 'top', depth = -1, image = 'story/blue', parentlayer = 'p' },"
        "                  { name = 'mid', depth = 3, image = 'story/green' },"
        "                  { name = 'low', depth = 0, image = 'story/red', parentlayer = 'nobody' "
        "} },"
        "  particles = { { name = 'dust', depth = 1 } },"
        "  speechbubbles = { speech_2 = { text = { text = 'line1' } } } }",
        CellInfo("soundgroupid = 1100"));
    EXPECT_TRUE(cell.GetTexts().empty());
    EXPECT_EQ(CountInLog("IllustrationPanelCell"), 0);
    EXPECT_TRUE(IsTrue("cell.sounds[1].groupid == 1100 and cell.sounds[2].groupid == 1100"));
    const auto& list = cell.GetDrawList();
    ASSERT_EQ(list.size(), 4u);
    EXPECT_STREQ(list[0]->GetName().c_str(), "low");
    EXPECT_STREQ(list[1]->GetName().c_str(), "dust");
    EXPECT_STREQ(list[2]->GetName().c_str(), "mid");
    EXPECT_STREQ(list[3]->GetName().c_str(), "top");
    EXPECT_EQ(cell.GetColorLayers()[0]->GetParent(), nullptr);
    EXPECT_EQ(cell.GetColorLayers()[2]->GetParent(), nullptr);
    ASSERT_NE(cell.FindParticle("dust"), nullptr);
    EXPECT_TRUE(cell.GetSpeechBubbles().empty());
    Counter speech;
    EXPECT_FALSE(cell.StartNextSpeech(&speech.mCallback));
    EXPECT_EQ(speech.mCalls, 0);

    // A layer names a text as its parent when no layer has the name.
    mCell.reset();
    IllustrationPanelCell& second =
        Make("{ sounds = {}, particles = {}, speechbubbles = {},"
             "  colorlayers = { { name = 'rider', image = 'story/blue', parentlayer = 'cap' } },"
             "  text = { { name = 'cap', text = { string = 'cap1' } } } }");
    EXPECT_EQ(second.GetColorLayers()[0]->GetParent(), second.GetTexts()[0].get());
}

TEST_F(PanelCellTest, EachMissingTableIsFatalAndStopsLoadingSafely)
{
    const std::string full =
        "{ sounds = {}, colorlayers = { { name = 'bg', image = 'story/red' } }, particles = {},"
        "  speechbubbles = { speech_1 = { text = { text = 'line1' } } } }";
    struct Case
    {
        std::string cell;
        std::string info;
        const char* message;
    };
    auto without = [&](const std::string& key)
    {
        std::string text = full;
        const size_t at = text.find(key + " = ");
        const size_t end =
            key == "colorlayers" ? text.find("} },", at) + 4 : text.find("},", at) + 2;
        return text.erase(at, end - at);
    };
    std::string noSpeechInfo = CellInfo();
    noSpeechInfo.replace(noSpeechInfo.find("speechinfo"), 10, "speechnfo_");
    std::string noSkip = CellInfo();
    noSkip.replace(noSkip.find("skiptext"), 8, "skiptxt_");
    const Case cases[] = {
        {without("sounds"), CellInfo(), "Cannot find 'sounds' table for IllustrationPanelCell!"},
        {without("colorlayers"), CellInfo(),
         "Cannot find 'colorlayers' table for IllustrationPanelCell!"},
        {without("particles"), CellInfo(),
         "Cannot find 'particles' table for IllustrationPanelCell!"},
        {"{ sounds = {}, colorlayers = {}, particles = {} }", CellInfo(),
         "Cannot find 'speechbubbles' table for IllustrationPanelCell!"},
        {full, noSpeechInfo, "Cannot find 'speechinfo' table for IllustrationPanelCell!"},
        {full, noSkip, "Cannot find 'skiptext' table for IllustrationPanelCell!"},
    };
    int quits = Quits();
    for (const Case& c : cases)
    {
        mCell.reset();
        IllustrationPanelCell& cell = Make(c.cell, c.info);
        EXPECT_EQ(
            CountInLog(std::string("ERROR:") + c.message + "   FILE:illustrationpanelcell LINE:"),
            1)
            << c.message;
        EXPECT_EQ(Quits(), ++quits) << c.message;
        // Whatever was built, the cell goes through its life without harm.
        cell.Reset();
        Counter done;
        cell.Activate(&done.mCallback);
        StepFor(120);
        EXPECT_EQ(done.mCalls, 1) << c.message;
        DrawCell();
        EXPECT_FALSE(cell.IsOverSkipText(TDrawSpec(), 118, 78));
        cell.StartNextSpeech(nullptr);
        cell.StopSpeech();
        cell.BeginReturn(&done.mCallback);
        StepFor(120);
        cell.Deactivate();
        StepFor(120);
    }
    // Loading stopped at the first missing table: the layers after "sounds" were never built.
    mCell.reset();
    EXPECT_TRUE(Make(without("sounds")).GetColorLayers().empty());
    mCell.reset();
    EXPECT_TRUE(Make(full, noSpeechInfo).GetSpeechBubbles().empty());
}

TEST_F(PanelCellTest, ActivateReturnAndDeactivateWithTheirNotices)
{
    IllustrationPanelCell& cell = Make();
    cell.Reset();
    EXPECT_EQ(cell.GetState(), IllustrationPanelCell::kCellInactive);
    EXPECT_EQ(cell.GetLiveTransform().GetAlpha(), 0);
    EXPECT_EQ(cell.GetInactiveTransform().GetAlpha(), 1);
    EXPECT_TRUE(cell.HasInactiveTexture());
    EXPECT_NE(cell.GetColorLayers()[0]->GetImage()->GetSprite()->GetTexture(), nullptr);

    Counter activated;
    cell.Activate(&activated.mCallback);
    EXPECT_EQ(cell.GetState(), IllustrationPanelCell::kCellActive);
    EXPECT_TRUE(cell.IsTransitioning());
    // A rendering in this state draws nothing and succeeds.
    EXPECT_TRUE(cell.RenderInactiveTexture());
    StepFor(90);
    EXPECT_EQ(activated.mCalls, 0);
    EXPECT_TRUE(cell.HasInactiveTexture());
    StepFor(20);
    EXPECT_EQ(activated.mCalls, 1);
    EXPECT_FALSE(cell.IsTransitioning());
    EXPECT_FALSE(cell.HasInactiveTexture());
    EXPECT_EQ(cell.GetLiveTransform().GetAlpha(), 1);
    EXPECT_EQ(cell.GetInactiveTransform().GetAlpha(), 0);
    StepFor(200);
    EXPECT_EQ(activated.mCalls, 1);

    // Back to the aged look: frozen and rendered first, then faded once the texture is there.
    Counter returned;
    cell.BeginReturn(&returned.mCallback);
    EXPECT_EQ(cell.GetState(), IllustrationPanelCell::kCellReturning);
    EXPECT_TRUE(cell.HasInactiveTexture());
    EXPECT_TRUE(cell.GetColorLayers()[0]->GetImage()->IsPaused());
    cell.Resume();
    EXPECT_TRUE(cell.GetColorLayers()[0]->GetImage()->IsPaused());
    Step(10);
    EXPECT_EQ(cell.GetState(), IllustrationPanelCell::kCellInactive);
    EXPECT_TRUE(cell.IsTransitioning());
    StepFor(110);
    EXPECT_EQ(returned.mCalls, 1);
    EXPECT_FALSE(cell.IsTransitioning());
    EXPECT_EQ(cell.GetLiveTransform().GetAlpha(), 0);
    EXPECT_EQ(cell.GetInactiveTransform().GetAlpha(), 1);

    // Straight to hidden (a cross-fade leaves the cell).
    cell.Activate(&activated.mCallback);
    StepFor(110);
    cell.Deactivate();
    EXPECT_EQ(cell.GetState(), IllustrationPanelCell::kCellActive);
    StepFor(110);
    EXPECT_EQ(cell.GetState(), IllustrationPanelCell::kCellHidden);
    EXPECT_FALSE(cell.IsTransitioning());
    EXPECT_EQ(cell.GetColorLayers()[0]->GetImage()->GetSprite()->GetTexture(), nullptr);
    EXPECT_TRUE(cell.RenderInactiveTexture());
    EXPECT_FALSE(cell.HasInactiveTexture());
}

TEST_F(PanelCellTest, AReturnWithTheLiveLookAlreadyGoneStillNotifies)
{
    IllustrationPanelCell& cell = Make();
    cell.Reset();
    Counter returned;
    cell.BeginReturn(&returned.mCallback);
    Step(10);
    EXPECT_EQ(returned.mCalls, 1);
    EXPECT_EQ(cell.GetState(), IllustrationPanelCell::kCellInactive);
    EXPECT_FALSE(cell.IsTransitioning());
    StepFor(200);
    EXPECT_EQ(returned.mCalls, 1);
}

TEST_F(PanelCellTest, RenderFailuresAreReportedRetriedAndNeverFatal)
{
    IllustrationPanelCell& cell = Make();
    // Inside a frame the render target is refused.
    ASSERT_TRUE(TRenderer::Instance()->BeginDraw(false));
    cell.Reset();
    TRenderer::Instance()->EndFrame(false);
    EXPECT_EQ(CountInLog("ERROR:BeginRenderTarget   FILE:illustrationpanelcell"), 1);
    EXPECT_FALSE(cell.HasInactiveTexture());
    EXPECT_TRUE(mFrames->AreTexturesPending());
    EXPECT_EQ(Quits(), 0);

    EXPECT_TRUE(cell.RenderInactiveTexture());
    Counter activated;
    cell.Activate(&activated.mCallback);
    StepFor(110);
    Counter returned;
    ASSERT_TRUE(TRenderer::Instance()->BeginDraw(false));
    cell.BeginReturn(&returned.mCallback);
    TRenderer::Instance()->EndFrame(false);
    EXPECT_EQ(CountInLog("ERROR:BeginRenderTarget   FILE:illustrationpanelcell"), 2);
    StepFor(100);
    EXPECT_EQ(cell.GetState(), IllustrationPanelCell::kCellReturning);
    // The texture refresh renders again; the return goes on from there.
    EXPECT_TRUE(cell.RenderInactiveTexture());
    StepFor(120);
    EXPECT_EQ(cell.GetState(), IllustrationPanelCell::kCellInactive);
    EXPECT_EQ(returned.mCalls, 1);

    // No overlay: the cell's own size is taken, once logged; with no size at all nothing can
    // be made.
    mCell.reset();
    IllustrationPanelCell& sized = Make(kCell, CellInfo("overlay = '', trim = ''"));
    sized.Reset();
    EXPECT_TRUE(sized.HasInactiveTexture());
    EXPECT_EQ(sized.GetInactiveSprite()->GetTexture()->GetWidth(), 120u);
    EXPECT_EQ(sized.GetInactiveSprite()->GetTexture()->GetHeight(), 80u);
    EXPECT_EQ(CountInLog("no overlay image; the aged look takes the cell's 120 x 80"), 1);
    mCell.reset();
    IllustrationPanelCell& empty = Make(kCell, CellInfo("overlay = '', width = 0, height = 0"));
    empty.Reset();
    EXPECT_EQ(CountInLog("ERROR:TTexture::Create   FILE:illustrationpanelcell"), 1);
    EXPECT_FALSE(empty.RenderInactiveTexture());
    EXPECT_EQ(Quits(), 0);
}

TEST_F(PanelCellTest, TheAgedTextureTakesItsAlphaFromTheTrimsRed)
{
    mClock.SetFrameTime(5000);
    IllustrationPanelCell& cell = Make(kCell, CellInfo("staticcount = 0, blotches = ''"));
    EXPECT_TRUE(cell.GetStaticSprites().empty());
    cell.Reset();
    DrawCell();
    // The red layer's sepia (150, 120, 80) under the faint gradient: full where the trim is
    // white, a quarter where it is dim.
    const uint32_t full = Pixel(30, 12);
    const uint32_t dim = Pixel(12, 12);
    EXPECT_NEAR(static_cast<int>(full >> 16), 150, 4);
    EXPECT_NEAR(static_cast<int>(dim >> 16), 150 * 64 / 255, 3);
    // The overlay is the live look's only: not in the aged texture.
    EXPECT_NE(Pixel(60, 0), 0x141414u);

    // Blotches with no buffer: every centre inside the trim's area, where the Part's draws put
    // them for this clock.
    mCell.reset();
    IllustrationPanelCell& blotched = Make(kCell, CellInfo("staticcount = 0"));
    blotched.Reset();
    DrawCell();
    TRandom random;
    random.Seed(5000);
    for (int i = 0; i < 3; ++i)
    {
        auto unit = [&random]
        {
            const uint32_t m = random.Next() >> 5;
            const uint32_t k = random.Next() >> 6;
            return (m * 67108864.0 + k) / 9007199254740992.0;
        };
        const double x = std::floor(unit() * 121);
        const double y = std::floor(unit() * 81);
        random.Next();
        EXPECT_TRUE(x >= 0 && x <= 120 && y >= 0 && y <= 80);
        if (x >= 20 && x < 119 && y >= 1 && y < 79)
        {
            const uint32_t lit = Pixel(static_cast<int>(x), static_cast<int>(y));
            EXPECT_GT(lit >> 16, 200u) << i;
            EXPECT_LT(lit & 0xFF, 60u) << i;
        }
    }
}

TEST_F(PanelCellTest, SkipTextHitEdgesColourAndScrimAlpha)
{
    IllustrationPanelCell& cell = Make();
    const TRect box = cell.GetSkipRect();
    cell.Reset();
    EXPECT_FALSE(cell.IsOverSkipText(TDrawSpec(), box.left, box.top));
    Counter activated;
    cell.Activate(&activated.mCallback);
    EXPECT_FALSE(cell.IsOverSkipText(TDrawSpec(), box.left, box.top));
    StepFor(110);
    const TDrawSpec panel(TVec2(100, 200));
    EXPECT_TRUE(cell.IsOverSkipText(panel, 100 + box.left, 200 + box.top));
    EXPECT_TRUE(cell.IsOverSkipText(panel, 100 + box.right - 1, 200 + box.bottom - 1));
    EXPECT_FALSE(cell.IsOverSkipText(panel, 100 + box.right, 200 + box.top));
    EXPECT_FALSE(cell.IsOverSkipText(panel, 100 + box.left, 200 + box.bottom));
    EXPECT_FALSE(cell.IsOverSkipText(panel, 100 + box.left - 1, 200 + box.top));

    // Recoloured while the mouse is over it.
    Step(10, box.left + 1, box.top + 1);
    EXPECT_EQ(cell.GetSkipText()->GetTextSprite()->GetColor(), TVec4(1, 0, 0, 1));
    Step(10, 0, 0);
    EXPECT_EQ(cell.GetSkipText()->GetTextSprite()->GetColor(), TVec4(1, 1, 1, 1));
    cell.SetSkipEnabled(false);
    EXPECT_FALSE(cell.IsOverSkipText(TDrawSpec(), box.left + 1, box.top + 1));
    Step(10, box.left + 1, box.top + 1);
    EXPECT_EQ(cell.GetSkipText()->GetTextSprite()->GetColor(), TVec4(1, 1, 1, 1));
    cell.SetSkipEnabled(true);

    // The scrim shows at any alpha of at least 1/255 and not below, while the rest still draws.
    DrawCell();
    // The scrim's alpha is the look's, whatever "skipscrimcolor" says.
    const uint32_t scrim = Pixel(box.left + 1, box.bottom - 3);
    EXPECT_EQ(scrim, 0x0000FFu);
    DrawCell(TDrawSpec(TVec2(), 0.5f / 255.0f));
    EXPECT_EQ(Pixel(box.left + 1, box.bottom - 3), 0u);
    DrawCell(TDrawSpec(TVec2(), 0.9f / 255.0f));
    EXPECT_EQ(Pixel(box.left + 1, box.bottom - 3), 0u);
    // Entities still draw: the red layer lights at any alpha above black.
    DrawCell(TDrawSpec(TVec2(), 2.0f / 255.0f));
    EXPECT_NE(Pixel(20, 20), 0u);
    EXPECT_NE(Pixel(box.left + 1, box.bottom - 3), 0u);

    // The inactive alpha at exactly 1 hides the live look; at exactly 0 the aged sprite.
    cell.GetInactiveTransform().SetAlpha(1);
    DrawCell();
    EXPECT_EQ(Pixel(20, 20), 0u);
    cell.GetInactiveTransform().SetAlpha(0);
    DrawCell();
    EXPECT_EQ(Pixel(20, 20), 0xE62828u);
}

TEST_F(PanelCellTest, BubblesPlayInTurnAndStopSpeechEndsThem)
{
    IllustrationPanelCell& cell = Make();
    cell.Reset();
    Counter activated;
    cell.Activate(&activated.mCallback);
    StepFor(110);
    Counter speech;
    ASSERT_TRUE(cell.StartNextSpeech(&speech.mCallback));
    EXPECT_EQ(cell.GetSpeechCursor(), 0u);
    StepFor(400);
    EXPECT_EQ(speech.mCalls, 1);
    EXPECT_STREQ(cell.GetPostEvent().c_str(), "after1");
    EXPECT_EQ(cell.GetSpeechCursor(), 1u);
    // The second is silent: it ends inside the start.
    ASSERT_TRUE(cell.StartNextSpeech(&speech.mCallback));
    EXPECT_EQ(speech.mCalls, 2);
    EXPECT_STREQ(cell.GetPostEvent().c_str(), "after2");
    EXPECT_FALSE(cell.StartNextSpeech(&speech.mCallback));
    cell.StopSpeech();
    EXPECT_EQ(speech.mCalls, 2);

    // Cut short: no notice, no further bubble.
    mCell.reset();
    IllustrationPanelCell& again = Make();
    again.Reset();
    again.Activate(&activated.mCallback);
    StepFor(110);
    Counter cut;
    ASSERT_TRUE(again.StartNextSpeech(&cut.mCallback));
    StepFor(50);
    again.StopSpeech();
    StepFor(400);
    EXPECT_EQ(Playing("hello"), 0u);
    EXPECT_EQ(cut.mCalls, 0);
    EXPECT_FALSE(again.StartNextSpeech(&cut.mCallback));
}

TEST_F(PanelCellTest, SoundEffectsCountDownWhileActive)
{
    IllustrationPanelCell& cell = Make();
    cell.Reset();
    std::shared_ptr<SoundEffect> wind = cell.FindSound("wind");
    wind->mPending = 30;
    Step(10);
    EXPECT_EQ(wind->mPending, 30);
    Counter activated;
    cell.Activate(&activated.mCallback);
    Step(10);
    EXPECT_EQ(wind->mPending, 20);
    Step(20);
    EXPECT_EQ(wind->mPending, -1);
    EXPECT_EQ(Playing("bye"), 1u);
    // Pausing the cell pauses the effect's sound; a return stops it.
    cell.Pause();
    cell.Resume();
    cell.BeginReturn(nullptr);
    StepFor(20);
    EXPECT_EQ(Playing("bye"), 0u);
}

TEST_F(PanelCellTest, LooksMatchTheirGoldens)
{
    mClock.SetFrameTime(7000);
    IllustrationPanelCell& cell = Make();
    cell.Reset();
    DrawCell(TDrawSpec(TVec2(10, 10)));
    Golden("cutscene_cell_aged.png", {0, 0, 140, 100});

    Counter activated;
    cell.Activate(&activated.mCallback);
    StepFor(50);
    DrawCell(TDrawSpec(TVec2(10, 10)));
    Golden("cutscene_cell_crossfade.png", {0, 0, 140, 100});

    StepFor(60);
    Counter speech;
    cell.StartNextSpeech(&speech.mCallback);
    StepFor(60);
    DrawCell(TDrawSpec(TVec2(10, 10)));
    Golden("cutscene_cell_live.png", {0, 0, 140, 100});
}

} // namespace
