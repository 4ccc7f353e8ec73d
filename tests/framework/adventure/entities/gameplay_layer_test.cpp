// Layers and texts on the headless display: fades in and out with their callbacks, the saved
// byte, pausing a fade, rectangles, the follow flags and parent links as drawn pixels, texts'
// textures and drawing rule, a golden picture of a parent with followers and a text.
#include "framework/adventure/entities/gameplay_layer.h"

#include "framework/adventure/entities/entity_test_support.h"
#include "framework/adventure/entities/gameplay_text.h"
#include "framework/widgets/animated_bitmap.h"
#include "framework/widgets/text_object.h"
#include "render/render_test_support.h"
#include "render/sprites/sprite.h"

#include <memory>

namespace
{

class LayerTest : public advtest::EntityDisplayTest
{
protected:
    void SetUp() override
    {
        EntityDisplayTest::SetUp();
        Image("white.png", 10, 4, 0xFFFFFFFF);
        Image("red.png", 20, 10, 0xFFFF0000);
    }
    std::unique_ptr<GameplayLayer> Layer(const std::string& lua, const std::string& info = "{}")
    {
        return std::make_unique<GameplayLayer>(*Table(lua), *Table(info));
    }
    std::unique_ptr<GameplayText> Text(const std::string& lua, const std::string& info = "{}")
    {
        return std::make_unique<GameplayText>(*Table(lua), *Table(info));
    }
    static bool HasTexture(GameplayLayer& layer)
    {
        return layer.GetBitmap()->GetSprite()->GetTexture() != nullptr;
    }
};

const char kFading[] = "{ fadetime = 100 }";

TEST_F(LayerTest, NewLayerIsInvisibleAndReadsItsKeys)
{
    auto layer = Layer("{ name = 'door', depth = 4, image = 'white', x = 100, y = 100, "
                       "parentlayer = 'wall', parentposition = true, parentalpha = 1 }",
                       "{ fadetime = 250.9 }");
    EXPECT_EQ(layer->GetType(), 30u);
    EXPECT_EQ(layer->GetFlags(), 0);
    EXPECT_EQ(layer->GetTransform().GetAlpha(), 0.0f);
    EXPECT_EQ(layer->GetFadeTime(), 250);
    EXPECT_STREQ(layer->GetParentName().c_str(), "wall");
    EXPECT_EQ(layer->GetParent(), nullptr);
    EXPECT_STREQ(layer->GetBitmap()->GetName().c_str(), "door");
    DrawAll({layer.get()});
    EXPECT_EQ(LitBox().Width(), 0);
    // Shown by its flag alone it is still at alpha 0.
    layer->SetFlags(GameplayEntity::kShown);
    DrawAll({layer.get()});
    EXPECT_EQ(LitBox().Width(), 0);
    EXPECT_EQ(Layer("{}", "{ fadetime = 'slow' }")->GetFadeTime(), 0);
}

TEST_F(LayerTest, ActivateWithoutAndWithFade)
{
    auto layer = Layer("{ image = 'white', initialload = false, x = 100, y = 100 }", kFading);
    advtest::CountingCallback done;
    layer->Activate(false, done.Report());
    EXPECT_EQ(layer->GetFlags(), GameplayEntity::kActive | GameplayEntity::kShown);
    EXPECT_EQ(layer->GetTransform().GetAlpha(), 1.0f);
    EXPECT_FALSE(HasTexture(*layer)); // the scene's texture pass builds them
    EXPECT_EQ(done.mCalls, 0);
    Tick(16, {layer.get()});
    EXPECT_EQ(done.mCalls, 1);

    auto faded = Layer("{ image = 'white', initialload = false, x = 100, y = 100 }", kFading);
    faded->Activate(true, done.Report());
    EXPECT_TRUE(HasTexture(*faded));
    Tick(0, {faded.get()}); // a transform's clock starts at its first update
    Tick(50, {faded.get()});
    EXPECT_NEAR(faded->GetTransform().GetAlpha(), 0.5f, 0.01f);
    DrawAll({faded.get()});
    EXPECT_NEAR(int(Back(100, 100) >> 16), 128, 3);
    EXPECT_EQ(done.mCalls, 1);
    Tick(50, {faded.get()});
    EXPECT_EQ(faded->GetTransform().GetAlpha(), 1.0f);
    EXPECT_EQ(done.mCalls, 2); // at the fade's end
    Tick(16, {faded.get()});
    EXPECT_EQ(done.mCalls, 2);
}

// A switch-on's report is not dropped by the switch-off that follows it: the switch-off's end
// tells it once (or the one it brings, which tells the earlier one at once).
TEST_F(LayerTest, DeactivateEndsAnEarlierReportAndFadesOutShown)
{
    auto layer = Layer("{ image = 'white', x = 100, y = 100 }", kFading);
    advtest::CountingCallback early, off, late;
    layer->Activate(false, early.Report());
    layer->Deactivate(false, nullptr);
    EXPECT_EQ(layer->GetFlags(), 0);
    EXPECT_EQ(layer->GetTransform().GetAlpha(), 0.0f);
    EXPECT_FALSE(HasTexture(*layer));
    Tick(16, {layer.get()});
    EXPECT_EQ(early.mCalls, 1);
    layer->Activate(true, early.Report());
    layer->Deactivate(true, off.Report());
    EXPECT_EQ(early.mCalls, 2);
    EXPECT_EQ(off.mCalls, 0);
    Tick(0, {layer.get()});
    Tick(100, {layer.get()});
    Tick(16, {layer.get()});
    EXPECT_EQ(off.mCalls, 1);

    layer->Activate(true, nullptr);
    Tick(0, {layer.get()});
    Tick(100, {layer.get()});
    layer->Deactivate(true, late.Report());
    Tick(0, {layer.get()});
    Tick(60, {layer.get()});
    // Still shown and drawn while it fades, but stored as the fade's end leaves it.
    EXPECT_EQ(layer->GetFlags(), GameplayEntity::kActive | GameplayEntity::kShown);
    std::vector<uint8_t> saved;
    layer->SaveState(saved);
    EXPECT_EQ(saved, std::vector<uint8_t>{0});
    DrawAll({layer.get()});
    EXPECT_GT(Back(100, 100), 0u);
    EXPECT_TRUE(HasTexture(*layer));
    Tick(40, {layer.get()});
    // FinishHiding ran at the fade's end: hidden, released, the callback due next update.
    EXPECT_EQ(layer->GetFlags(), 0);
    EXPECT_FALSE(HasTexture(*layer));
    EXPECT_EQ(late.mCalls, 0);
    Tick(16, {layer.get()});
    EXPECT_EQ(late.mCalls, 1);
}

TEST_F(LayerTest, LoadStatePauseResumeAndRect)
{
    auto layer = Layer("{ image = 'white', x = 100, y = 100 }", kFading);
    const uint8_t activeOnly = GameplayEntity::kActive;
    ASSERT_TRUE(layer->LoadState(&activeOnly, 1));
    EXPECT_EQ(layer->GetFlags(), 0); // shown bit clear: inactive too
    const uint8_t shown = 0x83;
    ASSERT_TRUE(layer->LoadState(&shown, 1));
    EXPECT_EQ(layer->GetFlags(), 0x83);
    EXPECT_EQ(layer->GetTransform().GetAlpha(), 1.0f);

    // The bitmap's bounds under the parent spec; the layer's own spec does not move them.
    layer->LoadTextures();
    layer->GetTransform().SetX(300);
    EXPECT_EQ(layer->GetRect(TDrawSpec(TVec2(10, 20))), TRect(110, 120, 120, 124));
    layer->GetTransform().SetX(0);

    // A paused fade holds its alpha for as long as it is paused.
    layer->Deactivate(true, nullptr);
    Tick(0, {layer.get()});
    Tick(50, {layer.get()});
    const float half = layer->GetTransform().GetAlpha();
    layer->Pause();
    EXPECT_TRUE(layer->GetBitmap()->IsPaused());
    Tick(500, {layer.get()});
    EXPECT_EQ(layer->GetTransform().GetAlpha(), half);
    layer->Resume();
    Tick(49, {layer.get()});
    EXPECT_GT(layer->GetFlags() & GameplayEntity::kShown, 0);
    Tick(1, {layer.get()});
    EXPECT_EQ(layer->GetFlags() & GameplayEntity::kShown, 0);
    EXPECT_EQ(layer->GetRect(TDrawSpec()), TRect(100, 100, 100, 100)); // no texture: no size
}

TEST_F(LayerTest, FollowersByTheirFlags)
{
    // The parent's bitmap turned a quarter and doubled, at (200, 150).
    auto parent =
        Layer("{ name = 'p', image = 'red', initialscale = 2, rotation = 0.25, x = 200, y = 150 }");
    parent->Activate(false, nullptr);
    DrawAll({parent.get()});
    advtest::Box box = LitBox();
    EXPECT_EQ(box.Width(), 20);
    EXPECT_EQ(box.Height(), 40);

    struct Case
    {
        const char* keys;
        int width, height, centreX, centreY;
    };
    // Followers of 10 x 4 pixels placed by their top left corner; the parent's frame takes
    // (x, y) to (200 + 2y, 150 - 2x).
    const Case cases[] = {
        {"x = 10, parentrotationscale = true", 8, 20, 204, 120},
        {"x = 10, parentrotationscale = true, parentposition = true", 8, 20, 204, 120},
        {"x = 10, parentposition = true", 10, 4, 215, 152},
        {"x = 300, y = 300", 10, 4, 305, 302},
    };
    for (const Case& c : cases)
    {
        auto layer = Layer(std::string("{ image = 'white', ") + c.keys + " }");
        ASSERT_TRUE(layer->SetParent(parent.get()));
        layer->Activate(false, nullptr);
        DrawAll({layer.get()});
        box = LitBox();
        EXPECT_EQ(box.Width(), c.width) << c.keys;
        EXPECT_EQ(box.Height(), c.height) << c.keys;
        EXPECT_EQ((box.left + box.right) / 2, c.centreX) << c.keys;
        EXPECT_EQ((box.top + box.bottom) / 2, c.centreY) << c.keys;
    }
}

TEST_F(LayerTest, ParentAlphaIsTheParentsWorldAlphaOnly)
{
    auto grand = Layer("{ name = 'g' }");
    auto parent = Layer("{ name = 'p', image = 'red', initialalpha = 0.5 }");
    ASSERT_TRUE(parent->SetParent(grand.get()));
    grand->GetTransform().SetAlpha(0.5f);
    parent->GetTransform().SetAlpha(0.5f);
    auto alpha = Layer("{ image = 'white', x = 100, y = 100, parentalpha = true }");
    auto plain = Layer("{ image = 'white', x = 200, y = 100 }");
    for (GameplayLayer* layer : {alpha.get(), plain.get()})
    {
        ASSERT_TRUE(layer->SetParent(parent.get()));
        layer->Activate(false, nullptr);
    }
    EXPECT_EQ(parent->GetWorldSpec().mAlpha, 0.25f);
    DrawAll({alpha.get(), plain.get()});
    EXPECT_NEAR(int(Back(100, 100) & 0xFF), 64, 2);
    EXPECT_EQ(Back(200, 100), 0xFFFFFFu);
}

TEST_F(LayerTest, CyclicParentLinksAreRefused)
{
    auto a = Layer("{ name = 'a' }");
    auto b = Layer("{ name = 'b' }");
    EXPECT_FALSE(a->SetParent(a.get()));
    EXPECT_EQ(a->GetParent(), nullptr);
    EXPECT_TRUE(Logged("Layer 'a' cannot follow 'a'"));
    ASSERT_TRUE(a->SetParent(b.get()));
    EXPECT_FALSE(b->SetParent(a.get()));
    EXPECT_EQ(b->GetParent(), nullptr);
    EXPECT_TRUE(Logged("Layer 'b' cannot follow 'a'"));
    EXPECT_TRUE(b->SetParent(nullptr));
    // Both still draw and give world specs.
    a->Activate(false, nullptr);
    b->GetWorldSpec();
    a->GetWorldSpec();
}

TEST_F(LayerTest, TextsDrawWhenShownAndActiveAndSetTheirStringWithTheirTextures)
{
    const char* table = "{ text = { font = { '', 20, { 1, 1, 1, 1 } }, w = 200, h = 30, x = 100, "
                        "y = 100, text = 'x', string = 'Gate' } }";
    auto text = Text(table);
    EXPECT_EQ(text->GetType(), 60u);
    EXPECT_STREQ(text->GetString().c_str(), "Gate");
    ASSERT_NE(text->GetTextObject(), nullptr);
    EXPECT_TRUE(text->FinishTextures());
    EXPECT_STREQ(text->GetTextObject()->GetText().c_str(), "Gate");
    text->ReleaseTextures();
    EXPECT_STREQ(text->GetTextObject()->GetText().c_str(), "");
    text->CreateTextures();
    text->Activate(false, nullptr);

    // Shown but inactive: the text is not drawn, a layer is.
    auto layer = Layer("{ image = 'white', x = 400, y = 100 }");
    layer->Activate(false, nullptr);
    text->SetFlags(GameplayEntity::kShown);
    layer->SetFlags(GameplayEntity::kShown);
    DrawAll({text.get(), layer.get()});
    EXPECT_EQ(LitBox().left, 400);
    text->SetFlags(GameplayEntity::kShown | GameplayEntity::kActive);
    DrawAll({text.get()});
    EXPECT_GT(LitBox().Width(), 0);

    // Without its table: reported, draws nothing, ignores texture calls.
    auto bare = Text("{ name = 'bare' }");
    EXPECT_TRUE(Logged("ERROR:Cannot find text table for GameplayText!   FILE:gameplaytext "
                       "LINE:30"));
    EXPECT_EQ(bare->GetTextObject(), nullptr);
    bare->Activate(false, nullptr);
    bare->LoadTextures();
    EXPECT_TRUE(bare->FinishTextures());
    bare->ReleaseTextures();
    DrawAll({bare.get()});
    EXPECT_EQ(LitBox().Width(), 0);
}

// A layer that goes mid-fade leaves nothing running and tells its report once, as it goes.
TEST_F(LayerTest, LayerDestroyedMidFadeLeavesNothingBehind)
{
    auto layer = Layer("{ image = 'white' }", kFading);
    advtest::CountingCallback done;
    layer->Activate(true, done.Report());
    Tick(0, {layer.get()});
    Tick(50, {layer.get()});
    EXPECT_EQ(mTransforms.GetGroupCount(), 1u);
    layer.reset();
    EXPECT_EQ(mTransforms.GetGroupCount(), 0u);
    EXPECT_EQ(done.mCalls, 1);
    Step(100, [] {});
    EXPECT_EQ(done.mCalls, 1);
}

TEST_F(LayerTest, GoldenParentFollowersAndText)
{
    auto parent = Layer("{ name = 'p', image = 'red', rotation = 0.125, x = 100, y = 60 }");
    auto carried = Layer("{ image = 'white', x = 12, y = 0, parentrotationscale = true }");
    auto placed = Layer("{ image = 'white', x = 30, y = 30, parentposition = true, "
                        "parentalpha = true }");
    auto text = Text("{ parentlayer = 'p', text = { font = { '', 16, { 1, 1, 0, 1 } }, w = 120, "
                     "h = 24, x = 0, y = 0, string = 'Murk' } }");
    parent->GetTransform().SetAlpha(1.0f);
    parent->SetFlags(GameplayEntity::kShown | GameplayEntity::kActive);
    for (GameplayLayer* layer :
         {carried.get(), placed.get(), static_cast<GameplayLayer*>(text.get())})
    {
        ASSERT_TRUE(layer->SetParent(parent.get()));
        layer->Activate(false, nullptr);
    }
    parent->GetBitmap()->GetTransform().SetAlpha(0.75f);
    text->CreateTextures();
    DrawAll({parent.get(), carried.get(), placed.get(), text.get()});
    rendertest::CompareWithGolden(*Data().mBackBuffer, {0, 0, 200, 140}, "layer_followers.png");
}

} // namespace
