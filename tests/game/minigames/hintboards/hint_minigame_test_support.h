// Shared by the hint minigames' tests: the game's framed display with a profile and its record,
// the window types the boards use, a six-frame glyph sheet ("hint/glyphs", 40 x 40 frames, one
// colour each, registered at their centres), the board's pictures, a notice that counts its calls
// and a Lirae board opened from a style changed by the test.
#pragma once

#include "framework/adventure/adventure_test_support.h"
#include "framework/adventure/dialog/gameplay_dialog.h"
#include "framework/adventure/player_data.h"
#include "framework/core/settings.h"
#include "framework/screens/game_window.h"
#include "framework/widgets/framework_button.h"
#include "game/frame_sheet_support.h"
#include "game/framed_text_support.h"
#include "game/minigames/hintboards/gameplay_hint_lirae.h"
#include "render/render_test_support.h"
#include "sys/display/presenter/surface_png.h"
#include "ui/text_window.h"

#include <memory>
#include <string>
#include <vector>

namespace hinttest
{

// The glyphs' colours, frame by frame.
inline const std::vector<uint32_t> kGlyphColours = {0xFFE02020, 0xFF20E020, 0xFF2020E0,
                                                    0xFFE0E020, 0xFF20E0E0, 0xFFE020E0};

// Children of a frame: both buttons and both dialogs.
inline const char kChildren[] =
    "Button{ name = 'tutorialbutton', x = 700, y = 10, w = 40, h = 20, buttongraphics = { "
    "'hint/btn.png' }, command = function() ShowHintMinigameTutorial() end }, "
    "Button{ name = 'exitbutton', x = 750, y = 10, w = 40, h = 20, buttongraphics = { "
    "'hint/btn.png' }, command = function() EndHintMinigame() end }, "
    "GameplayDialog{ name = 'help', image = 'hint/dlg.png', imagex = 300, imagey = 200, "
    "timefade = 50, Button{ name = 'helpok', x = 10, y = 10, buttongraphics = { 'hint/btn.png' }, "
    "command = function() HideDialog('ok') end } }, "
    "GameplayDialog{ name = 'fail', image = 'hint/dlg.png', imagex = 300, imagey = 200, "
    "timefade = 50, Button{ name = 'failok', x = 10, y = 10, buttongraphics = { 'hint/btn.png' "
    "}, command = function() HideDialog('ok') end } }";

// The frame's keys: intro and exit of 100 ms, the scrim to 0.7, a finale shown 200 ms.
inline const char kFrameKeys[] =
    "tutorialindex = 12, scrimfadetime = 100, scrimfademax = 0.7, basicfadetime = 100, "
    "basicscalemin = 0.2, basicpositionx = -300, basicpositiony = 250, finalefadetime = 50, "
    "finaletimetoshow = 200, hidedelay = 20, ";

// Lirae's keys: six clickables resting at the circle's centre (400, 240) (no drift distance, no
// start delay), three tokens, a 5 s timer, the whole 800 x 475 as bounds.
inline const char kLiraeKeys[] =
    "clickablecount = 6, tokencount = 3, "
    "clickable = { image = 'hint/glyphs', timemin = 1000, timemax = 1000, fademin = 600, "
    "fademax = 600, fadetime = 100, delaymin = 0, delaymax = 0, centerx = 400, centery = 240, "
    "maxdistance = 0, validanglediff = 0, alphamin = 1, alphamax = 1, minscale = 0.5, "
    "maxtransscale = 1, mintransscale = 1 }, "
    "token = { image = 'hint/glyphs', timetodestination = 100, originalpositionx = 400, "
    "originalpositiony = 440, scaletodestination = 0.5, destinations = { 340, 450, 400, 450, "
    "460, 450 } }, "
    "background = 'hint/bg.png', foreground = 'hint/fg.png', foregroundrect = { 0, 0, 800, 475 "
    "}, timer = 'hint/hand.png', timercentery = 40, timerbackground = 'hint/dial.png', "
    "ghostmask = 'hint/mask.png', minigamelength = 5000, timeghostfade = 100, timerrotation = 1, "
    "boundsx = 0, boundsy = 0, boundsw = 800, boundsh = 475, ";

class HintTest : public gametest::FramedTextTest
{
protected:
    void SetUp() override
    {
        FramedTextTest::SetUp();
        if (HasFatalFailure())
            return;
        mManager->RegisterWindowType("GameplayHintLirae", &GameplayHintLirae::Create);
        mManager->RegisterWindowType("GameplayDialog", &GameplayDialog::Create);
        mManager->RegisterWindowType("GameWindow", &GameWindow::Create);
        mManager->RegisterWindowType("Button", &TVButton::Create);
        mManager->RegisterWindowType("Text", &TText::Create);
        Sheet("hint/glyphs", 40, kGlyphColours);
        Serve("hint/btn.png", uitest::FlatPng(40, 20, 0xC0A040));
        Serve("hint/dlg.png", uitest::FlatPng(200, 120, 0x305080));
        Serve("hint/bg.png", uitest::FlatPng(800, 600, 0x403020));
        // The frame: a border round the board, clear inside.
        std::vector<uint32_t> frame(800 * 600, 0);
        for (int y = 0; y < 600; ++y)
            for (int x = 0; x < 800; ++x)
                if (x < 12 || x >= 788 || y < 12 || (y >= 463 && y < 475))
                    frame[static_cast<size_t>(y) * 800 + x] = 0xFF806040;
        std::vector<uint8_t> png = sys::display::EncodePng(frame.data(), 800, 600);
        Serve("hint/fg.png", std::string(png.begin(), png.end()));
        Serve("hint/hand.png", uitest::FlatPng(8, 50, 0xF0F0F0));
        Serve("hint/dial.png", uitest::FlatPng(100, 100, 0x806040));
        // The ghost mask: its alpha (half) becomes the overlay's, which holds the last frame.
        std::vector<uint32_t> mask(800 * 600, 0x80800000u);
        std::vector<uint8_t> maskPng = sys::display::EncodePng(mask.data(), 800, 600);
        Serve("hint/mask.png", std::string(maskPng.begin(), maskPng.end()));
        mSettings = std::make_unique<Settings>();
        mSettings->CreateNewUser("Ann");
        mRecord = std::make_unique<PlayerData>();
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
    // A sheet of square frames side by side, each registered at its centre.
    void Sheet(const std::string& name, int size, const std::vector<uint32_t>& colours)
    {
        const gametest::FrameSheet sheet = gametest::MakeFrameSheet(name, size, colours);
        Serve(name + ".png", sheet.png);
        Serve(name + ".xml", sheet.xml);
    }
    // A board of window type `type`, `h` high, inside a full-screen modal window: the frame's
    // keys, then `keys`, so they win, then the children.
    template <class Board>
    Board* OpenBoard(const std::string& type, const std::string& name, int h,
                     const std::string& keys, const std::string& children)
    {
        Do("PushModal('a') GameWindow{ name = 'gamewindow', w = 800, h = 600, " + type +
           "{ name = '" + name + "', x = 0, y = 0, w = 800, h = " + std::to_string(h) + ", " +
           kFrameKeys + keys + children + " } }()");
        TWindow* window = Find(name.c_str());
        return window != nullptr && window->IsKindOf(Board::GetClassId())
                   ? static_cast<Board*>(window)
                   : nullptr;
    }
    // Lirae's board; `keys` come after the defaults, so they win.
    GameplayHintLirae* Open(const std::string& keys = "", const std::string& children = kChildren)
    {
        return OpenBoard<GameplayHintLirae>("GameplayHintLirae", "hintlirae", 475,
                                            kLiraeKeys + keys, children);
    }
    // Started with the four counting notices and played for `ms`; none stays none.
    template <class Board> Board* Started(Board* board, uint32_t ms)
    {
        if (board != nullptr)
        {
            Begin(board);
            Frames(ms);
        }
        return board;
    }
    // The modal windows drawn on black, compared with a golden.
    void Golden(const std::string& name)
    {
        TRenderer* renderer = TRenderer::Instance();
        ASSERT_TRUE(renderer->BeginDraw(false));
        renderer->FillRect(TRect(0, 0, 800, 600), TVec4(0, 0, 0, 1));
        mManager->RenderModals(0);
        rendertest::CompareWithGolden(*Data().mBackBuffer, sys::display::Rect{0, 0, 800, 600},
                                      name);
        renderer->EndFrame(false);
    }
    // Starts the board with the four counting notices.
    void Begin(GameplayHintMinigame* frame)
    {
        GameplayHintMinigame::HintCallbacks callbacks;
        callbacks.leave = &mClosed.mCallback;
        callbacks.hintEarned = &mSolved.mCallback;
        callbacks.tokenMove = &mFinale.mCallback;
        callbacks.crazyClick = &mPenalty.mCallback;
        frame->Start(0, nullptr, callbacks);
    }
    void Frames(uint32_t ms) { Steps(static_cast<int>(ms / 16), 16); }
    int CountInLog(const std::string& text) { return rendertest::CountOf(Log(), text); }

    std::unique_ptr<Settings> mSettings;
    std::unique_ptr<PlayerData> mRecord;
    adventuretest::Calls mClosed;
    adventuretest::Calls mSolved;
    adventuretest::Calls mFinale;
    adventuretest::Calls mPenalty;
};

} // namespace hinttest
