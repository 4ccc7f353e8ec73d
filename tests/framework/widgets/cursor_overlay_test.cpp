// The drawn cursor and its controller on the headless display: list rules from scripts and C++,
// drawing at the mouse point, the system arrow moved by a cursor's placement, failures, teardown.
#include "framework/widgets/cursor_overlay.h"

#include "framework/widgets/animated_bitmap.h"
#include "framework/core/settings.h"
#include "framework/framework_display_support.h"
#include "platform/config/config.h"
#include "sys/window/window.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

namespace
{

class CursorOverlayTest : public fwtest::FrameworkDisplayTest
{
protected:
    void SetUp() override
    {
        FrameworkDisplayTest::SetUp();
        SetConfig("encryptionkey", "Tk7pQ2mW9xLr");
        mSettings = std::make_unique<Settings>();
        mSettings->mMouseInside = true;
        mSettings->mOsCursorShown = false;
        Image("cursor_arrow.png", 6, 6, 0xFFFF0000);
        Image("cursor_hand.png", 6, 6, 0xFF00FF00);
        Image("cursor_shadow.png", 6, 6, 0x80000000);
        mController = std::make_unique<CursorOverlayController>();
    }
    void TearDown() override
    {
        mController.reset();
        mSettings.reset();
        sys::SetCursorPosOverride(false);
        FrameworkDisplayTest::TearDown();
    }
    void Lua(const std::string& code) { mManager->GetScript()->DoLuaString(code.c_str()); }
    std::string LuaText(const std::string& expression)
    {
        Lua("_r = tostring(" + expression + ")");
        return mManager->GetScript()->GetGlobalString("_r").c_str();
    }
    std::string Current()
    {
        CursorOverlay* cursor = mController->GetCurrent();
        return cursor != nullptr ? cursor->GetName().c_str() : "<none>";
    }
    // One drawing pass over a grey frame.
    void DrawFrame()
    {
        mApp->GetTaskList()->Run(kTaskPassDraw);
        TRenderer* renderer = TRenderer::Instance();
        ASSERT_TRUE(renderer->BeginDraw(false));
        renderer->FillRect(TRect(0, 0, 800, 600), TVec4(0.5f, 0.5f, 0.5f, 1));
        mController->Draw();
        EndFrame();
    }
    static std::string Named(const char* name, const char* image)
    {
        return std::string("{ main = { name = '") + name + "', image = '" + image + "' } }";
    }

    std::unique_ptr<Settings> mSettings;
    std::unique_ptr<CursorOverlayController> mController;
};

TEST_F(CursorOverlayTest, AddSelectAndRemoveRules)
{
    EXPECT_STREQ(mController->GetClassName(), "CursorOverlayController");
    EXPECT_TRUE(mController->IsKindOf(TWindow::GetClassId()));
    EXPECT_EQ(mController->GetRect(), TRect(0, 0, 800, 600));
    EXPECT_EQ(mController->GetCurrent(), nullptr);

    // The first add becomes current; a second cursor of the same name is dropped.
    Lua("AddOverlayCursor" + Named("arrow", "cursor_arrow"));
    Lua("AddOverlayCursor" + Named("arrow", "cursor_hand"));
    ASSERT_EQ(mController->GetCursors().size(), 1u);
    EXPECT_STREQ(mController->GetCursors()[0]->GetMain()->GetFrameNames()[0].c_str(),
                 "cursor_arrow");
    mController->AddOverlayCursor(Table(Named("hand", "cursor_hand")).get());
    mController->AddOverlayCursor(Table(Named("wait", "cursor_hand")).get());
    ASSERT_EQ(mController->GetCursors().size(), 3u);
    EXPECT_EQ(Current(), "arrow");

    EXPECT_TRUE(mController->FindCursor("wait"));
    EXPECT_FALSE(mController->FindCursor("busy"));
    EXPECT_EQ(Current(), "wait");
    EXPECT_EQ(rendertest::CountOf(Log(), "ERROR:Cannot find cursor 'busy'   FILE:cursoroverlay"),
              1);

    // Removing the current last cursor leaves none; the next add is current again.
    Lua("RemoveCursor('wait') RemoveCursor('nothing')");
    EXPECT_EQ(mController->GetCursors().size(), 2u);
    EXPECT_EQ(Current(), "<none>");
    Lua("AddOverlayCursor" + Named("wait", "cursor_hand"));
    EXPECT_EQ(Current(), "wait");
    // Removing a cursor before the current one keeps it; removing the current one moves on.
    mController->RemoveCursor("arrow");
    EXPECT_EQ(Current(), "wait");
    mController->FindCursor("hand");
    mController->RemoveCursor("hand");
    EXPECT_EQ(Current(), "wait");

    Lua("ShowCursor(false)");
    EXPECT_FALSE(mController->IsShown());
    EXPECT_EQ(Current(), "wait");
    Lua("ShowCursor(true)");
    EXPECT_TRUE(mController->IsShown());

    // No "main" (or no table at all): a fatal line and nothing added.
    Lua("AddOverlayCursor{ shadow = { name = 'x', image = 'cursor_shadow' } } AddOverlayCursor(7)");
    EXPECT_EQ(mController->GetCursors().size(), 1u);
    EXPECT_EQ(rendertest::CountOf(Log(), "ERROR:CursorOverlay has no main table!"), 2);
}

TEST_F(CursorOverlayTest, CurrentCursorDrawnShadowFirstAtTheMousePoint)
{
    Lua("AddOverlayCursor{ main = { name = 'arrow', image = 'cursor_arrow' }, "
        "shadow = { image = 'cursor_shadow', x = 3, y = 3 } }");
    mSettings->mMouseX = 100;
    mSettings->mMouseY = 80;
    DrawFrame();
    EXPECT_EQ(mController->GetSpec().mMatrix.m[2][0], 100.0f);
    EXPECT_EQ(Back(100, 80), 0xFF0000u);
    EXPECT_EQ(Back(105, 85), 0xFF0000u);
    // The shadow shows only where the main image does not cover it.
    EXPECT_LT(Back(107, 87) & 0xFF, 0x80u);
    EXPECT_GT(Back(107, 87) & 0xFF, 0u);
    rendertest::CompareWithGolden(*Data().mBackBuffer, {96, 76, 112, 92},
                                  "framework_cursor_overlay.png");

    // Hidden, or with the mouse outside the window: nothing.
    mController->ShowCursor(false);
    DrawFrame();
    EXPECT_EQ(Back(100, 80), 0x7F7F7Fu);
    mController->ShowCursor(true);
    mSettings->mMouseInside = false;
    DrawFrame();
    EXPECT_EQ(Back(100, 80), 0x7F7F7Fu);
}

TEST_F(CursorOverlayTest, SystemArrowFollowsTheCursorsOwnPlacement)
{
    Lua("AddOverlayCursor" + Named("arrow", "cursor_arrow"));
    CursorOverlay& cursor = *mController->GetCurrent();
    mSettings->mOsCursorShown = true;
    sys::SetCursorPosOverride(true, 500, 400);
    auto place = [&](float x, float y)
    {
        cursor.GetSpec().mMatrix.m[2][0] = x;
        cursor.GetSpec().mMatrix.m[2][1] = y;
        DrawFrame();
        int px = 0, py = 0;
        sys::GetCursorPos(px, py);
        return std::to_string(px) + "," + std::to_string(py);
    };
    // Placement (0, 0) leaves the arrow and starts the remembered pair afresh.
    EXPECT_EQ(place(0, 0), "500,400");
    EXPECT_EQ(Back(100, 80), 0x7F7F7Fu);
    EXPECT_EQ(place(5, 0), "505,400");
    EXPECT_EQ(place(12.9f, -3.5f), "512,397");
    EXPECT_EQ(place(0, 0), "512,397");
    EXPECT_EQ(place(3, 0), "515,397");
    mSettings->mMouseInside = false;
    EXPECT_EQ(place(40, 40), "515,397");
}

TEST_F(CursorOverlayTest, TaskAndGlobalsEndWithTheirController)
{
    TTask* task = mController->GetDrawTask();
    EXPECT_TRUE(mApp->GetTaskList()->Contains(task));
    // A newer controller took the names: the older one leaves them bound.
    auto newer = std::make_unique<CursorOverlayController>();
    mController.reset();
    EXPECT_FALSE(mApp->GetTaskList()->Contains(task));
    EXPECT_EQ(LuaText("type(ShowCursor)"), "function");
    Lua("ShowCursor(false)");
    EXPECT_FALSE(newer->IsShown());
    newer.reset();
    EXPECT_EQ(LuaText("AddOverlayCursor"), "nil");
    EXPECT_EQ(LuaText("ShowCursor"), "nil");
    EXPECT_EQ(LuaText("RemoveCursor"), "nil");
    mApp->GetTaskList()->Run(kTaskPassDraw);
}

} // namespace
