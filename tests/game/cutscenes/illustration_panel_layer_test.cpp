// Cut-scene layers and texts: their keys, the sepia table rewritten in place, switching on and
// off with their textures, following a parent (checked on pixels), the text's label, and the
// live and aged looks compared with golden pictures.
#include "cutscene_test_support.h"

#include "framework/widgets/animated_bitmap.h"
#include "framework/widgets/text_object.h"
#include "game/cutscenes/illustration_panel_layer.h"
#include "game/cutscenes/illustration_panel_speech.h"
#include "game/cutscenes/illustration_panel_text.h"
#include "render/sprites/sprite.h"

namespace
{

class PanelLayerTest : public cuttest::CutsceneTest
{
protected:
    std::shared_ptr<IllustrationPanelLayer> Layer(const std::string& lua)
    {
        std::unique_ptr<TLuaTable> table = Table(lua);
        return std::make_shared<IllustrationPanelLayer>(*table);
    }
    std::shared_ptr<IllustrationPanelText> Text(const std::string& lua)
    {
        std::unique_ptr<TLuaTable> table = Table(lua);
        return std::make_shared<IllustrationPanelText>(*table);
    }
    static bool HasTexture(const std::shared_ptr<AnimatedBitmap>& bitmap)
    {
        return bitmap->GetSprite()->GetTexture() != nullptr;
    }
};

TEST_F(PanelLayerTest, KeysDefaultsAndTheSepiaTableRewrittenInPlace)
{
    auto layer =
        Layer("{ name = 'a', depth = 2.9, image = 'story/red', x = 5, y = 6, rotation = 0.1,"
              "  initialscale = 2, initialalpha = 0.5, parentlayer = 'p',"
              "  parentposition = true, parentalpha = true,"
              "  move = { beginx = 0, endx = 9, duration = 100 }, rotate = {}, alpha = {},"
              "  fade = {}, path = {}, scale = {} }");
    EXPECT_TRUE(layer->IsActive());
    EXPECT_STREQ(layer->GetName().c_str(), "a");
    EXPECT_EQ(layer->GetDepth(), 2);
    EXPECT_STREQ(layer->GetParentName().c_str(), "p");
    EXPECT_TRUE(layer->FollowsPosition());
    EXPECT_FALSE(layer->FollowsRotationScale());
    EXPECT_TRUE(layer->FollowsAlpha());
    EXPECT_EQ(layer->GetParent(), nullptr);
    ASSERT_NE(layer->GetSepia(), nullptr);
    EXPECT_EQ(Str("_t.image"), "story/red_sepia");
    for (const char* key : {"move", "rotate", "alpha", "fade", "path", "scale", "rotation",
                            "initialscale", "initialalpha", "x", "y"})
        EXPECT_TRUE(IsTrue(std::string("_t.") + key + " == nil")) << key;
    EXPECT_TRUE(IsTrue("_t.name == 'a' and _t.parentlayer == 'p'"));
    // The colour image keeps its placement; the sepia copy has none of its own.
    EXPECT_EQ(layer->GetImage()->GetTransform().GetX(), 5);
    EXPECT_EQ(layer->GetSepia()->GetTransform().GetX(), 0);
    EXPECT_TRUE(layer->GetImage()->GetBlock(AnimatedBitmap::kMove).mPresent);
    EXPECT_FALSE(layer->GetSepia()->GetBlock(AnimatedBitmap::kMove).mPresent);

    auto plain = Layer("{ depth = -1.5, x = 3 }");
    EXPECT_EQ(plain->GetDepth(), -1);
    EXPECT_TRUE(plain->GetName().Length() == 0);
    EXPECT_FALSE(plain->FollowsPosition() || plain->FollowsRotationScale() ||
                 plain->FollowsAlpha());
    // Without an image there is no sepia copy and the table stays as it was.
    EXPECT_EQ(plain->GetSepia(), nullptr);
    EXPECT_TRUE(IsTrue("_t.x == 3 and _t.image == nil"));

    // A depth that is no number reads 0 and is logged; nothing else changes.
    auto odd = Layer("{ depth = 'deep', image = 'story/red' }");
    EXPECT_EQ(odd->GetDepth(), 0);
    EXPECT_EQ(CountInLog("IllustrationPanelEntity: 'depth' is not a number"), 1);
    auto numeric = Layer("{ depth = '7' }");
    EXPECT_EQ(numeric->GetDepth(), 7);
}

TEST_F(PanelLayerTest, SwitchingOnAndOffLoadsAndReleasesBothTextures)
{
    auto layer = Layer("{ image = 'story/red', move = { initialdelay = 100, duration = 50 } }");
    EXPECT_TRUE(HasTexture(layer->GetImage()));
    EXPECT_TRUE(HasTexture(layer->GetSepia()));
    layer->Deactivate();
    EXPECT_FALSE(layer->IsActive());
    EXPECT_FALSE(HasTexture(layer->GetImage()));
    EXPECT_FALSE(HasTexture(layer->GetSepia()));
    layer->Activate();
    EXPECT_TRUE(layer->IsActive());
    EXPECT_TRUE(HasTexture(layer->GetImage()));
    EXPECT_TRUE(HasTexture(layer->GetSepia()));
    layer->Stop();
    EXPECT_FALSE(HasTexture(layer->GetImage()) || HasTexture(layer->GetSepia()));
    layer->Start();
    EXPECT_TRUE(HasTexture(layer->GetImage()) && HasTexture(layer->GetSepia()));

    // A missing image: no texture, no crash, and nothing drawn.
    auto missing = Layer("{ image = 'story/none', x = 100, y = 100 }");
    EXPECT_FALSE(HasTexture(missing->GetImage()));
    Draw(
        [&]
        {
            missing->Draw(TDrawSpec());
            missing->DrawInactive(TDrawSpec());
        });
    EXPECT_EQ(Pixel(100, 100), 0u);
}

TEST_F(PanelLayerTest, AnInactiveLayerNeitherUpdatesNorDrawsYetPausesAndResumes)
{
    auto layer = Layer("{ image = 'story/red', x = 10, y = 10,"
                       "  move = { initialdelay = 100, duration = 50 } }");
    const auto& block = layer->GetImage()->GetBlock(AnimatedBitmap::kMove);
    EXPECT_EQ(block.mCountdown, 100);
    mClock.SetStep(30);
    layer->Update(30);
    EXPECT_EQ(block.mCountdown, 70);

    layer->Deactivate();
    layer->Update(30);
    EXPECT_EQ(block.mCountdown, 70);
    Draw([&] { layer->Draw(TDrawSpec()); });
    EXPECT_EQ(Pixel(15, 15), 0u);
    layer->Pause();
    EXPECT_TRUE(layer->GetImage()->IsPaused());
    EXPECT_TRUE(layer->GetSepia()->IsPaused());
    layer->Resume();
    EXPECT_FALSE(layer->GetImage()->IsPaused() || layer->GetSepia()->IsPaused());

    layer->Activate();
    Draw([&] { layer->Draw(TDrawSpec()); });
    EXPECT_EQ(Pixel(15, 15), 0xE62828u);
}

TEST_F(PanelLayerTest, ParentsGivePositionWholeTransformOrAlpha)
{
    auto parent = Layer("{ name = 'p', image = 'story/green', x = 100, y = 100,"
                        "  initialscale = 2, initialalpha = 0.5 }");
    auto child = [&](const std::string& flags)
    {
        auto layer =
            Layer("{ image = 'story/blue', x = 10, y = 0, parentlayer = 'p', " + flags + " }");
        layer->SetParent(parent.get());
        return layer;
    };

    auto none = child("");
    Draw([&] { none->Draw(TDrawSpec()); });
    EXPECT_EQ(Pixel(12, 2), 0x283CE6u);
    EXPECT_EQ(Pixel(112, 102), 0u);

    auto position = child("parentposition = true");
    Draw([&] { position->Draw(TDrawSpec()); });
    EXPECT_EQ(Pixel(112, 102), 0x283CE6u);
    EXPECT_EQ(Pixel(130, 102), 0u);

    // The whole matrix: the offset and the picture doubled, whatever "parentposition" says.
    auto whole = child("parentrotationscale = true, parentposition = false");
    Draw([&] { whole->Draw(TDrawSpec()); });
    EXPECT_EQ(Pixel(121, 101), 0x283CE6u);
    EXPECT_EQ(Pixel(150, 130), 0x283CE6u);
    EXPECT_EQ(Pixel(119, 101), 0u);

    auto alpha = child("parentposition = true, parentalpha = true");
    Draw([&] { alpha->Draw(TDrawSpec()); });
    const uint32_t half = Pixel(112, 102);
    EXPECT_NEAR(static_cast<int>(half & 0xFF), 0xE6 / 2, 2);
    EXPECT_NEAR(static_cast<int>((half >> 16) & 0xFF), 0x28 / 2, 2);

    // The aged look follows the parent the same way, through the colour image's placement.
    Draw([&] { position->DrawInactive(TDrawSpec()); });
    EXPECT_EQ(Pixel(112, 102), 0x5A503Cu);

    // A parent without a texture still has its placement.
    auto bare = Layer("{ name = 'q', x = 50, y = 60 }");
    auto rider =
        Layer("{ image = 'story/blue', x = 10, parentlayer = 'q', parentposition = true }");
    rider->SetParent(bare.get());
    Draw([&] { rider->Draw(TDrawSpec()); });
    EXPECT_EQ(Pixel(62, 62), 0x283CE6u);
}

TEST_F(PanelLayerTest, TextsShowTheirLabelAfterStartAndNothingAfterStop)
{
    auto text =
        Text("{ name = 'cap', depth = 3, x = 20, y = 40,"
             "  text = { string = 'cap1', w = 120, h = 30, font = { '', 14, { 1, 1, 1, 1 } } } }");
    EXPECT_STREQ(text->GetText().c_str(), "Caption");
    ASSERT_NE(text->GetTextObject(), nullptr);
    EXPECT_EQ(text->GetTextObject()->GetText().Length(), 0u);
    text->Start();
    EXPECT_STREQ(text->GetTextObject()->GetText().c_str(), "Caption");
    Draw([&] { text->Draw(TDrawSpec()); });
    uint32_t lit = 0;
    for (int y = 40; y < 70; ++y)
        for (int x = 20; x < 140; ++x)
            lit += Pixel(x, y) != 0 ? 1 : 0;
    EXPECT_GT(lit, 20u);
    text->Stop();
    EXPECT_EQ(text->GetTextObject()->GetText().Length(), 0u);
    text->Activate();
    EXPECT_STREQ(text->GetTextObject()->GetText().c_str(), "Caption");
    text->Deactivate();
    EXPECT_EQ(text->GetTextObject()->GetText().Length(), 0u);

    // Without its table: reported once, not fatal; it switches and draws nothing.
    auto bare = Text("{ name = 'bare', x = 5, y = 5 }");
    EXPECT_EQ(CountInLog("Cannot find text table for IllustrationPanelText!"), 1);
    EXPECT_EQ(Quits(), 0);
    EXPECT_EQ(bare->GetTextObject(), nullptr);
    bare->Activate();
    Draw(
        [&]
        {
            bare->Draw(TDrawSpec());
            bare->DrawInactive(TDrawSpec());
        });
    bare->Deactivate();
    EXPECT_EQ(CountInLog("Cannot find text table for IllustrationPanelText!"), 1);
}

TEST_F(PanelLayerTest, LiveAndAgedLooksMatchTheirGoldens)
{
    auto back = Layer("{ name = 'back', image = 'story/red', x = 10, y = 10 }");
    auto front =
        Layer("{ name = 'front', image = 'story/green', x = 30, y = 20, initialalpha = 0.75 }");
    auto rider = Layer("{ name = 'rider', image = 'story/blue', x = 12, y = 12,"
                       "  parentlayer = 'front', parentposition = true }");
    rider->SetParent(front.get());
    auto caption = Text(
        "{ name = 'cap', x = 10, y = 50,"
        "  text = { string = 'cap1', w = 100, h = 20, font = { '', 12, { 1, 1, 0.6, 1 } } } }");
    caption->Start();
    std::unique_ptr<TLuaTable> info =
        Table("{ timeintro = 0, alphaintro = 1, font = { '', 10, { 0, 0, 0, 1 } } }", "info");
    std::unique_ptr<TLuaTable> table =
        Table("{ sound = 'hello', image = 'story/bubble', x = 70, y = 4,"
              "  text = { text = 'line2', x = 74, y = 8, w = 52, h = 16 } }");
    IllustrationPanelSpeech bubble(*info, *table);
    bubble.GetTransform().SetAlpha(1);
    bubble.GetTextObject()->SetAlpha(1);

    const TDrawSpec cell(TVec2(4, 4));
    Draw(
        [&]
        {
            for (IllustrationPanelEntity* entity : std::initializer_list<IllustrationPanelEntity*>{
                     back.get(), front.get(), rider.get(), caption.get()})
                entity->Draw(cell);
            const TDrawSpec spec = bubble.GetSpec().Combine(cell);
            bubble.GetSprite()->Draw(spec);
            bubble.GetTextObject()->Draw(spec);
        });
    Golden("cutscene_elements_live.png", {0, 0, 140, 80});

    Draw(
        [&]
        {
            for (IllustrationPanelEntity* entity : std::initializer_list<IllustrationPanelEntity*>{
                     back.get(), front.get(), rider.get(), caption.get()})
                entity->DrawInactive(cell);
        });
    Golden("cutscene_elements_aged.png", {0, 0, 140, 80});
}

} // namespace
