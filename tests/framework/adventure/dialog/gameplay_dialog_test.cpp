// The in-scene message box made by a screen script: hidden until shown, its children disabled
// while it fades in, "HideDialog" calling back once with 0, the global gone with the box, and the
// box drawn with its text and button.
#include "framework/adventure/dialog/gameplay_dialog.h"

#include "framework/adventure/adventure_test_support.h"
#include "framework/framework_display_support.h"
#include "framework/screens/game_window.h"
#include "framework/transforms/transform_manager.h"
#include "framework/widgets/framework_button.h"
#include "framework/widgets/text_object.h"
#include "render/sprites/sprite.h"
#include "ui/text_window.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace
{

using adventuretest::Calls;

const char kBox[] =
    "GameplayDialog{ name = 'help', x = 100, y = 80, image = 'dlg/box.png', imagex = 0, "
    "imagey = 0, timefade = 100, text = { w = 120, h = 24, flags = 5, font = { '', 16, "
    "{ 1, 1, 1, 1 } } }, string = 'Hello', textx = -60, texty = -30, "
    "Button{ name = 'ok', x = 50, y = 40, buttongraphics = { 'dlg/ok.png' }, "
    "command = 'pressed = true' }, Text{ name = 'label', x = 4, y = 4, w = 40, h = 12 } }";

class GameplayDialogTest : public fwtest::FrameworkDisplayTest
{
protected:
    void SetUp() override
    {
        FrameworkDisplayTest::SetUp();
        if (HasFatalFailure())
            return;
        mManager->RegisterWindowType("GameplayDialog", &GameplayDialog::Create);
        mManager->RegisterWindowType("GameWindow", &GameWindow::Create);
        mManager->RegisterWindowType("Button", &TVButton::Create);
        mManager->RegisterWindowType("Text", &TText::Create);
        Image("dlg/box.png", 160, 100, 0xFF204080);
        Image("dlg/ok.png", 40, 20, 0xFFE0C020);
    }
    GameplayDialog* Open(const std::string& children = kBox, const char* name = "help")
    {
        mManager->GetScript()->DoLuaString(
            ("GameWindow{ name = 'screen', w = 800, h = 600, " + children + " }()").c_str());
        TWindow* found = mManager->GetRoot()->FindChild(name, 0xFFFFFFFFu);
        return found != nullptr && found->IsKindOf(GameplayDialog::GetClassId())
                   ? static_cast<GameplayDialog*>(found)
                   : nullptr;
    }
    void Frames(GameplayDialog* dialog, int count, uint32_t ms = 20)
    {
        for (int i = 0; i < count; ++i)
            Step(ms, [&] { dialog->Update(); });
    }
    std::string Global(const char* expression)
    {
        mManager->GetScript()->DoLuaString(
            (std::string("_g = tostring(") + expression + ")").c_str());
        return mManager->GetScript()->GetGlobalString("_g").c_str();
    }
    TVButton* Ok() { return TVButton::Cast(mManager->GetRoot()->FindChild("ok", 0xFFFFFFFFu)); }
};

TEST_F(GameplayDialogTest, HiddenUntilShownThenChildrenWakeWhenTheFadeEnds)
{
    GameplayDialog* dialog = Open();
    ASSERT_NE(dialog, nullptr);
    EXPECT_STREQ(dialog->GetClassName(), "GameplayDialog");
    EXPECT_EQ(dialog->GetState(), GameplayDialog::kHidden);
    EXPECT_EQ(dialog->GetFlags() & kWindowVisible, 0u);
    EXPECT_EQ(dialog->GetRect(), TRect(100, 80, 260, 180));
    EXPECT_EQ(dialog->GetAlpha(), 0.0f);
    // "imagex", "imagey" name the picture's top left; the origin is its centre.
    EXPECT_EQ(dialog->GetSprite()->GetSpec().mOrigin.x, 80.0f);
    EXPECT_EQ(dialog->GetSprite()->GetSpec().mMatrix.m[2][0], 80.0f);
    EXPECT_EQ(dialog->GetSprite()->GetSpec().mMatrix.m[2][1], 50.0f);
    ASSERT_NE(dialog->GetTextObject(), nullptr);
    EXPECT_STREQ(dialog->GetTextObject()->GetText().c_str(), "Hello");
    EXPECT_EQ(Global("HideDialog"), "nil");

    Calls calls;
    dialog->Show(&calls.mCallback);
    EXPECT_EQ(dialog->GetState(), GameplayDialog::kFadingIn);
    EXPECT_NE(dialog->GetFlags() & kWindowVisible, 0u);
    EXPECT_EQ(Global("type(HideDialog)"), "function");
    Frames(dialog, 3);
    TVButton* ok = Ok();
    ASSERT_NE(ok, nullptr);
    // Visible but asleep: a press does nothing.
    EXPECT_TRUE(ok->IsDisabled());
    ok->OnMouseDown({5, 5});
    EXPECT_FALSE(ok->IsPressed());
    EXPECT_GT(dialog->GetChildHandler().mAlpha, 0.0f);
    EXPECT_LT(dialog->GetChildHandler().mAlpha, 1.0f);

    Frames(dialog, 6);
    EXPECT_EQ(dialog->GetState(), GameplayDialog::kShown);
    EXPECT_TRUE(dialog->GetChildHandler().mEnabled);
    EXPECT_FALSE(ok->IsDisabled());
    EXPECT_FLOAT_EQ(dialog->GetChildHandler().mAlpha, 1.0f);
    // Frames at rest restart nothing on the button.
    Frames(dialog, 3);
    EXPECT_EQ(mTransforms.GetGroupCount(), 0u);
    ok->OnMouseDown({5, 5});
    EXPECT_TRUE(ok->IsPressed());
    ok->OnMouseUp({5, 5});

    // The argument never reaches the callback; it is called once.
    mManager->GetScript()->DoLuaString("HideDialog('ok')");
    EXPECT_FALSE(dialog->GetChildHandler().mEnabled);
    EXPECT_EQ(dialog->GetState(), GameplayDialog::kShown);
    Frames(dialog, 2);
    mManager->GetScript()->DoLuaString("HideDialog(42)");
    Frames(dialog, 8);
    EXPECT_EQ(calls.mArgs, (std::vector<uint32_t>{0}));
    EXPECT_EQ(dialog->GetState(), GameplayDialog::kHidden);
    EXPECT_EQ(dialog->GetFlags() & kWindowVisible, 0u);
    EXPECT_TRUE(ok->IsDisabled());

    // Shown again: a fresh fade from 0.
    dialog->Show(nullptr);
    EXPECT_EQ(dialog->GetAlpha(), 0.0f);
    Frames(dialog, 8);
    EXPECT_EQ(dialog->GetState(), GameplayDialog::kShown);
}

TEST_F(GameplayDialogTest, GoneBoxLeavesNoHideDialogAndASecondBoxKeepsItsOwn)
{
    GameplayDialog* dialog =
        Open(std::string(kBox) + ", GameplayDialog{ name = 'other', image = 'dlg/box.png' }");
    ASSERT_NE(dialog, nullptr);
    auto* other =
        static_cast<GameplayDialog*>(mManager->GetRoot()->FindChild("other", 0xFFFFFFFFu));
    dialog->Show(nullptr);
    other->Show(nullptr);
    // The first box goes while the second holds the name.
    dialog->GetParent()->RemoveChild(dialog);
    delete dialog;
    EXPECT_EQ(Global("type(HideDialog)"), "function");
    mManager->GetScript()->DoLuaString("HideDialog('x')");
    Frames(other, 8);
    EXPECT_EQ(other->GetState(), GameplayDialog::kHidden);
    other->Show(nullptr);
    other->GetParent()->RemoveChild(other);
    delete other;
    EXPECT_EQ(Global("HideDialog"), "nil");
    // A late call fails in the script.
    mManager->GetScript()->DoLuaString("late = pcall(HideDialog, 'x')");
    EXPECT_EQ(Global("late"), "false");
}

TEST_F(GameplayDialogTest, DrawnWithItsTextAndButtonOrItsPictureAlone)
{
    GameplayDialog* dialog = Open();
    ASSERT_NE(dialog, nullptr);
    dialog->Show(nullptr);
    Frames(dialog, 8);
    DrawBlack([&] { mManager->GetRoot()->Render(0); });
    rendertest::CompareWithGolden(*Data().mBackBuffer, {96, 76, 264, 184}, "gameplay_dialog.png");
    EXPECT_EQ(Back(100, 80), 0x204080u);
    EXPECT_EQ(Back(160, 130), 0xE0C020u);

    // No "text": the picture only, "string" not read.
    GameplayDialog* bare = Open("GameplayDialog{ name = 'bare', image = 'dlg/box.png', "
                                "x = 300, y = 300, string = 'ignored', timefade = 0 }",
                                "bare");
    ASSERT_NE(bare, nullptr);
    EXPECT_EQ(bare->GetTextObject(), nullptr);
    bare->Show(nullptr);
    Frames(bare, 2);
    DrawBlack([&] { bare->Render(0); });
    EXPECT_EQ(Back(300, 300), 0x204080u);
    EXPECT_EQ(Back(459, 399), 0x204080u);
    EXPECT_EQ(Back(460, 399), 0u);
}

} // namespace
