// The heavens puzzle built directly from a scene's arguments and a script context of its own: its
// table, the lens over the sky, finds in any order with their layers, the magnified sky and the
// clipped constellations, the completion request, the found sound, its plate bits before the
// base's, and each broken table.
#include "framework/adventure/entities/gameplay_layer.h"
#include "framework/sound/sound_effect.h"
#include "framework/widgets/animated_bitmap.h"
#include "game/minigames/puzzles/heavens/heavens_scene.h"
#include "game/minigames/puzzles/puzzle_scene_test_support.h"
#include "game/runner/mkw_gameplay_factory.h"
#include "render/render_test_support.h"
#include "render/sprites/sprite.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace
{

// The sky's texel (x, y) coloured by its 64-pixel block.
uint32_t SkyTexel(int x, int y)
{
    return 0xFF000000u | (static_cast<uint32_t>(x / 64 * 15 + 10) << 16) |
           (static_cast<uint32_t>(y / 64 * 30 + 10) << 8) | 0x30u;
}

// The answers' centres, in order, each 40 pixels square; the lens's rectangle is 80 square.
// Answers 2 and 4 lie close enough for the lens between them to touch both.
const TPoint kAnswers[5] = {{120, 100}, {400, 120}, {650, 300}, {470, 120}, {200, 330}};
const TPoint kBetween2And4 = {435, 120};

std::string Quad(int half, double u0, double v0, double u1, double v1)
{
    const int xs[4] = {-half, half, half, -half};
    const int ys[4] = {-half, -half, half, half};
    const double us[4] = {u0, u1, u1, u0};
    const double vs[4] = {v0, v0, v1, v1};
    std::string text;
    for (int i = 0; i < 4; ++i)
        text += "vert0" + std::to_string(i) + " = { x = " + std::to_string(xs[i]) +
                ", y = " + std::to_string(ys[i]) + ", u = " + std::to_string(us[i]) +
                ", v = " + std::to_string(vs[i]) + " }, ";
    return text;
}

struct Parts
{
    std::string plates;
    std::string lens = "lens = { lens01 = { x = 400, y = 237, image = 't/hlens', "
                       "collisionrect = { x1 = 360, y1 = 197, x2 = 440, y2 = 277 } } }, ";
    std::string background;
    std::string constellations;
    std::string sound;
    explicit Parts(int clipBottom = 400)
    {
        plates = "plates = { ";
        for (int i = 1; i <= 5; ++i)
            plates += "plate0" + std::to_string(i) +
                      " = { x = " + std::to_string(-60 + 30 * (i - 1)) +
                      ", y = 60, image = 't/plate' }, ";
        plates += "}, ";
        std::string answers;
        for (int i = 0; i < 5; ++i)
            answers += "rect0" + std::to_string(i + 1) +
                       " = { x1 = " + std::to_string(kAnswers[i].x - 20) +
                       ", y1 = " + std::to_string(kAnswers[i].y - 20) +
                       ", x2 = " + std::to_string(kAnswers[i].x + 20) +
                       ", y2 = " + std::to_string(kAnswers[i].y + 20) + " }, ";
        background = "background = { background01 = { x = 400, y = 256, image = 't/sky' }, "
                     "backgroundvertices = { " +
                     Quad(40, 0.45, 0.4, 0.55, 0.55) + "}, backgroundanswers = { " + answers +
                     "} }, ";
        constellations = "constalations = { ";
        for (int i = 1; i <= 5; ++i)
            constellations += "constalation0" + std::to_string(i) +
                              " = { animationtable = { image = 't/const', framespeed = 100, "
                              "animation = 'wrap' }, cliprect = { x1 = 0, y1 = 0, x2 = 800, "
                              "y2 = " +
                              std::to_string(clipBottom) + " }, vertices = { " +
                              Quad(20, 0.0, 0.0, 0.25, 0.5) + "} }, ";
        constellations += "}, ";
    }
    std::string Text() const
    {
        return "searchingtheheavens = { " + plates + lens + background + constellations + sound +
               "}";
    }
};

const char kLayers[] =
    "{ layers = { { name = 'heavens_pisces', image = 't/mark', x = 100, y = 500, depth = 10 }, "
    "{ name = 'heavens_gemini', image = 't/mark', x = 200, y = 500, depth = 10 }, "
    "{ name = 'heavens_leo', image = 't/mark', x = 300, y = 500, depth = 10 }, "
    "{ name = 'heavens_scorpio', image = 't/mark', x = 400, y = 500, depth = 10 }, "
    "{ name = 'heavens_draco', image = 't/mark', x = 500, y = 500, depth = 10 } } }";

class HeavensSceneTest : public puzzletest::PuzzleTest
{
protected:
    void SetUp() override
    {
        PuzzleTest::SetUp();
        if (HasFatalFailure())
            return;
        Png("t/sky.png", 1024, 512, [](int x, int y) { return SkyTexel(x, y); });
        Png("t/hlens.png", 8, 8, [](int, int) { return 0xFF102030u; });
        Png("t/plate.png", 4, 4, [](int, int) { return 0xFFFFFFFFu; });
        Png("t/mark.png", 8, 8, [](int, int) { return 0xFFFF0000u; });
        // Two 32 x 32 frames on a 128 x 64 surface: frame 0 yellow, frame 1 cyan.
        Png("t/const.png", 128, 64,
            [](int x, int y) {
                return y >= 32 ? 0u : x < 32 ? 0xFFFFFF00u : x < 64 ? 0xFF00FFFFu : 0u;
            });
        File("t/const.xml",
             "<sequence><img w=\"128\" h=\"64\" regx=\"0\" regy=\"0\" name=\"const.png\"/>"
             "<framelist><frame x=\"0\" y=\"0\" w=\"32\" h=\"32\" regx=\"16\" regy=\"16\"/>"
             "<frame x=\"32\" y=\"0\" w=\"32\" h=\"32\" regx=\"16\" regy=\"16\"/></framelist>"
             "</sequence>");
    }
    std::unique_ptr<HeavensScene> Make(const std::string& script, const char* sceneText = kLayers)
    {
        // One table, so each part stays its own.
        std::unique_ptr<TLuaTable> all =
            Table(std::string("{ scene = ") + sceneText +
                  ", entities = { iteminfo = {}, areainfo = {}, layerinfo = { fadetime = 100 }, "
                  "textinfo = {} }, info = {} }");
        std::unique_ptr<TLuaTable> scene{all->GetTable("scene")};
        std::unique_ptr<TLuaTable> entityInfo{all->GetTable("entities")};
        std::unique_ptr<TLuaTable> info{all->GetTable("info")};
        return MakeScene<HeavensScene>(mFactory, script, *entityInfo, "sky", *scene, *info);
    }
    std::unique_ptr<HeavensScene> MakeWhole(const std::string& sound = "")
    {
        Parts parts;
        parts.sound = sound;
        return Make(parts.Text());
    }
    static std::string Plates(const HeavensScene& heavens)
    {
        std::string plates = std::to_string(heavens.GetFound()) + ":";
        for (size_t i = 0; i < 5; ++i)
            plates += heavens.GetLens().GetPlate(i).IsLit() ? '1' : '0';
        return plates;
    }
    static std::string Layers(const HeavensScene& heavens)
    {
        std::string layers;
        for (const char* name : HeavensScene::kLayerNames)
        {
            const GameplayLayer* layer = heavens.FindLayer(name);
            layers += layer == nullptr ? '-' : (layer->GetFlags() & 0x03) == 0x03 ? '1' : '0';
        }
        return layers;
    }

    MKWGameplayFactory mFactory;
};

TEST_F(HeavensSceneTest, ReadsItsPartsAndNames)
{
    auto heavens =
        MakeWhole("soundfound = { sounds = { 'click' }, initialdelay = 10, delay = 5 },");
    EXPECT_EQ(heavens->GetLens().GetCollisionRect().left, 360);
    EXPECT_EQ(heavens->GetLens().GetPlate(4).GetX(), 60);
    EXPECT_EQ(heavens->GetLens().GetPlate(4).GetY(), 60);
    EXPECT_EQ(heavens->GetBackground().GetVertices()[2].x, 40.0f);
    EXPECT_EQ(heavens->GetConstellation(4).GetClipRect().bottom, 400);
    ASSERT_NE(heavens->GetConstellation(0).GetBitmap(), nullptr);
    EXPECT_EQ(heavens->GetAnswer(3).left, kAnswers[3].x - 20);
    EXPECT_EQ(heavens->GetExtraTextureNames(),
              (std::vector<TString>{"t/hlens", "t/plate", "t/sky"}));
    ASSERT_NE(heavens->GetFoundSound(), nullptr);
    EXPECT_EQ(heavens->GetLeadingStateSize(), 1u);
    EXPECT_EQ(Layers(*heavens), "00000");
    EXPECT_STREQ(heavens->GetCursorName().c_str(), "default");
}

TEST_F(HeavensSceneTest, FindsInAnyOrderEachWithItsPlateSoundAndLayer)
{
    auto heavens =
        MakeWhole("soundfound = { sounds = { 'click' }, initialdelay = 10, delay = 5 },");
    // Answers 2 and 4 touched together: 2 first, then 4 on the next press over the same place.
    EXPECT_TRUE(Press(*heavens, kBetween2And4));
    EXPECT_EQ(Plates(*heavens), "1:01000");
    EXPECT_EQ(Layers(*heavens), "01000");
    EXPECT_EQ(heavens->GetFoundSound()->mPending, 15);
    EXPECT_TRUE(Press(*heavens, kBetween2And4));
    EXPECT_EQ(Plates(*heavens), "2:01010");
    // Over found answers only: nothing found, still used with the lens in the sky.
    heavens->GetFoundSound()->mPending = -1;
    EXPECT_TRUE(Press(*heavens, kBetween2And4));
    EXPECT_EQ(Plates(*heavens), "2:01010");
    EXPECT_EQ(heavens->GetFoundSound()->mPending, -1);
    // Over nothing: used, and nothing is reset.
    EXPECT_TRUE(Press(*heavens, TPoint{300, 250}));
    EXPECT_EQ(Plates(*heavens), "2:01010");
    for (size_t i : {4, 2, 0})
        EXPECT_TRUE(Press(*heavens, kAnswers[i]));
    EXPECT_EQ(Plates(*heavens), "5:11111");
    EXPECT_EQ(Layers(*heavens), "11111");
    EXPECT_EQ(Activations(), 0);
    heavens->Update(16, true, true);
    EXPECT_TRUE(heavens->IsComplete());
    heavens->Update(16, false, true);
    heavens->Update(16, true, true);
    // Asked once: asked again each update, it would be run before any click.
    EXPECT_EQ(Activations(), 1);
    Run("_last = activated[1]");
    EXPECT_STREQ(mManager->GetScript()->GetGlobalString("_last").c_str(), "event_heavenscomplete");
}

TEST_F(HeavensSceneTest, BelowTheSkyTheLensStaysWhereItStopped)
{
    auto heavens = MakeWhole();
    Hover(*heavens, TPoint{300, 250});
    EXPECT_TRUE(heavens->IsLensActive());
    EXPECT_EQ(heavens->GetLens().GetCollisionRect().left, 260);
    // The lens picture sits at the mouse itself.
    EXPECT_EQ(heavens->GetLens().GetSprite()->GetSpec().mMatrix.m[2][1], 250.0f);
    EXPECT_FALSE(Press(*heavens, TPoint{300, 401}));
    EXPECT_FALSE(heavens->IsLensActive());
    EXPECT_EQ(heavens->GetLens().GetX(), 300);
    EXPECT_TRUE(Press(*heavens, TPoint{300, 400}));
    // Stopped over an unlit answer, the press finds it wherever the mouse is.
    Hover(*heavens, kAnswers[4]);
    EXPECT_TRUE(Press(*heavens, TPoint{kAnswers[4].x, 450}));
    EXPECT_EQ(Plates(*heavens), "1:00001");
    EXPECT_FALSE(Press(*heavens, TPoint{kAnswers[4].x, 450}));
    // In the sky the lens is brought to a press's own point, wherever the last frame drew it.
    Hover(*heavens, TPoint{300, 250});
    EXPECT_TRUE(heavens->OnMouseDown(kAnswers[1]));
    EXPECT_EQ(Plates(*heavens), "2:01001");
    // Not shown in play: the lens is not active and stays.
    mSettings->mMouseY = 100;
    heavens->Update(16, true, false);
    EXPECT_FALSE(heavens->IsLensActive());
    EXPECT_EQ(heavens->GetLens().GetY(), kAnswers[1].y);
}

TEST_F(HeavensSceneTest, TheSkyMagnifiesAndTheConstellationsShowTheirFrameInTheirClip)
{
    auto heavens = MakeWhole();
    Hover(*heavens, TPoint{400, 237});
    std::array<TColoredVertex, 4> sky = heavens->GetBackground().PlacedVertices();
    EXPECT_EQ(sky[0].x, 360.0f);
    EXPECT_EQ(sky[0].u, 0.45f * 1.1f);
    EXPECT_EQ(sky[1].u, 0.55f * 0.9f);
    EXPECT_EQ(sky[2].v, 0.55f * 0.9f);
    Hover(*heavens, TPoint{500, 137});
    sky = heavens->GetBackground().PlacedVertices();
    EXPECT_FLOAT_EQ(sky[3].u, (0.45f + 100.0f / 1024.0f) * 1.1f);
    EXPECT_FLOAT_EQ(sky[3].v, (0.55f - 100.0f / 512.0f) * 0.9f);

    // The constellation's quad over its current frame: frame 1 is 32 texels right on a 128-wide
    // surface.
    std::array<TColoredVertex, 4> quad{};
    const HeavensConstellation& first = heavens->GetConstellation(0);
    first.GetBitmap()->GetSprite()->SetFrame(0);
    ASSERT_TRUE(first.PlacedVertices(quad));
    EXPECT_FLOAT_EQ(quad[0].u, 100.0f / 128.0f);
    EXPECT_FLOAT_EQ(quad[0].v, -100.0f / 64.0f);
    first.GetBitmap()->GetSprite()->SetFrame(1);
    ASSERT_TRUE(first.PlacedVertices(quad));
    EXPECT_FLOAT_EQ(quad[0].u, 132.0f / 128.0f);

    // At the lens's home: the magnified sky, the constellations in their frame 0 cut at y 240,
    // the lens and two lit plates.
    auto shown = Make(Parts(240).Text());
    Press(*shown, kAnswers[0]);
    Press(*shown, kAnswers[2]);
    Hover(*shown, TPoint{400, 237});
    ASSERT_TRUE(Draw2d([&] { shown->Draw(TDrawSpec(TVec2(30, 30), 0.5f, 2.0f)); }));
    rendertest::CompareWithGolden(*Data().mBackBuffer, {300, 150, 500, 350}, "heavens_lens.png");
}

TEST_F(HeavensSceneTest, SavesThePlateBitsBeforeTheBaseAndRestoresThem)
{
    auto heavens = MakeWhole();
    Press(*heavens, kAnswers[4]);
    Press(*heavens, kAnswers[1]);
    std::vector<uint8_t> saved;
    heavens->SaveState(saved);
    ASSERT_EQ(saved.size(), heavens->GetStateSize());
    EXPECT_EQ(saved[0], 0x12);

    auto restored = MakeWhole();
    std::vector<uint8_t> record = saved;
    record[0] = 0x15;
    record.push_back(0x77);
    ASSERT_TRUE(restored->LoadState(record.data(), record.size()));
    EXPECT_EQ(Plates(*restored), "3:10101");
    // The layers come back through the base's bytes: as saved, gemini and draco.
    EXPECT_EQ(Layers(*restored), "01001");
    EXPECT_EQ(restored->MeasureState(record.data(), record.size()), saved.size());
    // Restoring clears what the byte does not set.
    record[0] = 0x02;
    ASSERT_TRUE(restored->LoadState(record.data(), record.size()));
    EXPECT_EQ(Plates(*restored), "1:01000");

    auto fresh = MakeWhole();
    for (size_t size = 0; size < saved.size(); ++size)
        EXPECT_FALSE(fresh->LoadState(saved.data(), size)) << size;
    EXPECT_EQ(Plates(*fresh), "0:00000");
    EXPECT_GE(CountInLog("Scene 'sky': its saved heavens record does not fit"), 1);
}

TEST_F(HeavensSceneTest, TheFoundSoundCountsAlwaysAndPausesEitherWay)
{
    auto heavens = MakeWhole("soundfound = { sounds = { 'click' } },");
    Press(*heavens, kAnswers[0]);
    heavens->Update(1, false, false);
    ASSERT_EQ(mAudio->GetSoundState("click"), SoundEntry::kPlaying);
    heavens->Pause(false);
    EXPECT_EQ(mAudio->GetSoundState("click"), SoundEntry::kPaused);
    heavens->Resume(false);
    EXPECT_EQ(mAudio->GetSoundState("click"), SoundEntry::kPlaying);

    auto silent = MakeWhole();
    EXPECT_EQ(silent->GetFoundSound(), nullptr);
    EXPECT_TRUE(Press(*silent, kAnswers[0]));
    silent->Pause(true);
    silent->Resume(true);
}

TEST_F(HeavensSceneTest, BrokenTablesAreReportedAndLeaveAUsableScene)
{
    auto empty = Make("");
    EXPECT_EQ(CountInLog("ERROR:Cannot find 'searchingtheheavens' table for HeavensScene!"), 1);
    empty->Update(16, true, true);
    empty->OnMouseDown(TPoint{0, 0});
    DrawBlack([&] { empty->Draw(TDrawSpec()); });

    const struct
    {
        std::string Parts::*part;
        const char* message;
    } tables[] = {
        {&Parts::plates, "ERROR:ERROR: No plates table for HeavensScene!"},
        {&Parts::lens, "ERROR:ERROR: No lens table for HeavensScene!"},
        {&Parts::background, "ERROR:ERROR: No background table for HeavensScene!"},
        {&Parts::constellations, "ERROR:ERROR: No constellations table for HeavensScene!"},
    };
    for (const auto& table : tables)
    {
        Parts parts;
        parts.*table.part = "";
        auto heavens = Make(parts.Text());
        EXPECT_EQ(CountInLog(table.message), 1) << table.message;
        EXPECT_EQ(heavens->GetAnswer(0).right, 0) << table.message;
    }

    // Inner tables missing, and a layer the scene does not hold: skipped with one line.
    Parts inner;
    inner.lens = "lens = { lens01 = { x = 400, y = 237, image = 't/hlens' } }, ";
    inner.constellations =
        "constalations = { constalation01 = { cliprect = { x1 = 0, y1 = 0, x2 = 800, y2 = 400 } "
        "}, constalation02 = { animationtable = { image = 't/const' }, vertices = { vert00 = {} } "
        "} }, ";
    inner.background = "background = { backgroundvertices = { vert00 = {} }, backgroundanswers = "
                       "{ rect01 = { x1 = 360, y1 = 197, x2 = 440, y2 = 277 } } }, ";
    auto gaps = Make(inner.Text(), "{}");
    EXPECT_EQ(CountInLog("ERROR:ERROR: No collision index table for HeavensLens!"), 1);
    EXPECT_EQ(gaps->GetLens().GetCollisionRect().right, 0);
    EXPECT_EQ(gaps->GetLens().GetPlate(0).GetY(), 60);
    EXPECT_EQ(CountInLog("ERROR:ERROR: No background index table for HeavensBackground!"), 1);
    EXPECT_EQ(CountInLog("ERROR:ERROR: No background vertices index table for HeavensBackground!"),
              1);
    EXPECT_EQ(CountInLog("ERROR:ERROR: No animation table for HeavensConstellation!"), 1);
    EXPECT_EQ(CountInLog("ERROR:ERROR: No vertices table for HeavensConstellation!"), 1);
    EXPECT_EQ(CountInLog("ERROR:ERROR: No cliprect table for HeavensConstellation!"), 1);
    EXPECT_EQ(CountInLog("ERROR:ERROR: No vertices index table for HeavensConstellation!"), 1);
    EXPECT_EQ(CountInLog("ERROR:ERROR: No constellation index table for HeavensConstellation!"), 3);
    EXPECT_EQ(CountInLog("ERROR:ERROR: No collision index table for HeavensScene!"), 1);
    EXPECT_EQ(gaps->GetConstellation(0).GetBitmap(), nullptr);
    EXPECT_EQ(gaps->GetConstellation(0).GetClipRect().right, 800);
    DrawBlack([&] { gaps->Draw(TDrawSpec()); });

    Parts noLayer;
    auto bare = Make(noLayer.Text(), "{}");
    EXPECT_TRUE(Press(*bare, kAnswers[0]));
    EXPECT_EQ(Plates(*bare), "1:10000");
    EXPECT_EQ(CountInLog("Scene 'sky': no layer 'heavens_pisces' to show the constellation found"),
              1);
}

} // namespace
