// The text edit driven through the window manager: the length limit in both modes, glyphs from
// the layout's font and the fallback font, "ignore", the editing keys at both ends, malformed
// UTF-8, Tab through the group, paste, password masking with the blinking caret, key-downs
// handled or passed, and a screen script that waits for the change messages.
#include "text_window_test_support.h"

#include "platform/log.h"
#include "support/files.h"

namespace
{

// Notes every refusal (kind 5): "F<character>" through FilterEvent, "A<code>" through
// AcceptEvent.
std::vector<std::string> gRefusals;

class RecordingEdit : public TTextEdit
{
public:
    static TWindow* Create() { return new RecordingEdit(); }
    bool FilterEvent(int32_t kind, int32_t character) override
    {
        if (kind == kEditRefused)
            gRefusals.push_back("F" + std::to_string(character));
        return TTextEdit::FilterEvent(kind, character);
    }
    bool AcceptEvent(int32_t kind, uint32_t code) override
    {
        if (kind == kEditRefused)
            gRefusals.push_back("A" + std::to_string(code));
        return TTextEdit::AcceptEvent(kind, code);
    }
};

std::vector<std::string> Refusals()
{
    std::vector<std::string> out;
    out.swap(gRefusals);
    return out;
}

using Strings = std::vector<std::string>;

constexpr int32_t kLeft = -126;
constexpr int32_t kRight = -125;
constexpr int32_t kUp = -128;
constexpr int32_t kInsert = -124;
constexpr int32_t kDelete = -1;

class TextEditTest : public uitest::TextTest
{
protected:
    void SetUp() override
    {
        TextTest::SetUp();
        gRefusals.clear();
        mManager->RegisterWindowType("RecEdit", &RecordingEdit::Create);
    }
    TTextEdit* Make(const std::string& style)
    {
        Do("RecEdit{ name = 'e', w = 300, h = 30, font = { 'fonts/square.mvec', 10 }, " + style +
           " }()");
        TTextEdit* edit = FindEdit("e");
        if (edit != nullptr)
            mManager->SetFocus(edit);
        Messages();
        return edit;
    }
    std::string Text(TTextEdit* edit) { return edit->GetText().c_str(); }
};

TEST_F(TextEditTest, LengthLimitsInBothModesAndGlyphsFromTheFonts)
{
    TTextEdit* edit = Make("label = 'ignored by the limit'");
    ASSERT_NE(edit, nullptr);
    EXPECT_STREQ(edit->GetClassName(), "TTextEdit");
    EXPECT_NE(edit->GetFlags() & kWindowFocusable, 0u);
    EXPECT_EQ(edit->GetMaximum(), 10);
    EXPECT_EQ(Text(edit), "ignored by the limit");
    edit->SetText("");
    Type("abcdefghij");
    EXPECT_EQ(Text(edit), "abcdefghi") << "length 10 keeps 9 bytes";
    EXPECT_EQ(Messages(), Strings(9, "7 e"));
    EXPECT_EQ(Refusals(), Strings{"F106"});

    // '#' only the fallback font has; '~' neither; bytes of 128 and more need utf8 or password.
    edit->SetText("");
    Type("#~");
    Send(kEventWideChar, 0, 0, 0xAD);
    EXPECT_EQ(Text(edit), "#");
    EXPECT_EQ(Messages(), Strings{"7 e"});
    EXPECT_EQ(Refusals(), Strings{"F126"});

    Do("RecEdit{ name = 'u', y = 40, w = 300, h = 30, font = { 'fonts/square.mvec', 10 }, "
       "utf8 = true, length = 3 }()");
    TTextEdit* wide = FindEdit("u");
    mManager->SetFocus(wide);
    Type("A");
    Send(kEventWideChar, 0, 0, 0xAD);
    Send(kEventWideChar, 0, 0, 0xE9);
    Type("BC");
    EXPECT_EQ(Text(wide), "A\xC2\xAD"
                          "B");
    EXPECT_EQ(wide->GetCaret(), 4);
    // The refused code point is reported through AcceptEvent, a refused ASCII character through
    // FilterEvent.
    EXPECT_EQ(Refusals(), (Strings{"A233", "F32", "F67"}));
}

// A letter no font draws (a combining mark typed after its letter, a script the fonts lack) is
// refused and said, not dropped without a word; one over the length limit is not a font's.
TEST_F(TextEditTest, ALetterTheFontsCannotDrawIsRefusedWithALine)
{
    testsupport::ScratchFolder folder("mw_edit");
    SetLogFolder(folder.Path().c_str());
    Do("RecEdit{ name = 'n', w = 300, h = 30, font = { 'fonts/square.mvec', 10 }, utf8 = true, "
       "length = 2 }()");
    TTextEdit* edit = FindEdit("n");
    ASSERT_NE(edit, nullptr);
    mManager->SetFocus(edit);
    Type("A");
    Send(kEventWideChar, 0, 0, 0x301);
    Type("~BC");
    const std::string log = testsupport::ReadFile(GetLogPath().c_str());
    SetLogFolder(nullptr);
    EXPECT_EQ(Text(edit), "AB");
    for (const char* line : {": Text field 'n': U+0301 refused, which its fonts cannot draw\n",
                             ": Text field 'n': U+007E refused, which its fonts cannot draw\n"})
        EXPECT_NE(log.find(line), std::string::npos) << log;
    EXPECT_EQ(log.find("U+0043"), std::string::npos) << log;
}

TEST_F(TextEditTest, EditingKeysAtBothEndsAndTheirMessages)
{
    TTextEdit* edit = Make("ignore = 'x', utf8 = true, label = 'ab'");
    ASSERT_NE(edit, nullptr);
    Type("x");
    EXPECT_EQ(Text(edit), "ab");
    EXPECT_EQ(Messages(), Strings{"7 e"}) << "an ignored character still tells";

    Key(kLeft);
    Key(kLeft);
    EXPECT_EQ(edit->GetCaret(), 0);
    EXPECT_TRUE(edit->OnKeyDown(static_cast<char>(kLeft), 0));
    Type("\b");
    Key(kDelete);
    EXPECT_EQ(Text(edit), "b");
    Key(kRight);
    Key(kRight);
    Key(kDelete);
    EXPECT_EQ(Refusals(), (Strings{"F-126", "A8", "F8", "F-125", "F-1"}));
    EXPECT_EQ(Messages(), Strings{}) << "moves, refusals and Delete post nothing";
    Type("\b");
    EXPECT_EQ(Text(edit), "");
    EXPECT_EQ(Messages(), Strings{"7 e"});

    // Whole characters; Return is not an edit for the base filters.
    edit->SetText("a\xC3\xA9z");
    Key(kLeft);
    Key(kLeft);
    EXPECT_EQ(edit->GetCaret(), 1);
    Key(kDelete);
    EXPECT_EQ(Text(edit), "az");
    Key(kRight);
    Type("\b\r");
    EXPECT_EQ(Text(edit), "a");
    EXPECT_EQ(Messages(), Strings{"7 e"});
}

TEST_F(TextEditTest, MalformedUtf8NeverTakesTheCaretOutOfTheText)
{
    // Without a layout no font is asked, so any bytes pass.
    Do("TextEdit{ name = 'z', w = 0, h = 10, utf8 = true }()");
    TTextEdit* edit = FindEdit("z");
    ASSERT_NE(edit, nullptr);
    EXPECT_TRUE(edit->OnText("\xE2\x82"));
    EXPECT_EQ(Text(edit), "\xE2\x82");
    EXPECT_EQ(edit->GetCaret(), 2);

    edit->SetText("\xC3"
                  "a");
    EXPECT_TRUE(edit->OnKeyDown(static_cast<char>(kLeft), 0));
    EXPECT_EQ(edit->GetCaret(), 1);
    edit->OnKeyDown(static_cast<char>(kLeft), 0);
    EXPECT_EQ(edit->GetCaret(), 0);
    edit->OnKeyDown(static_cast<char>(kDelete), 0);
    EXPECT_EQ(Text(edit), "a") << "a lone lead byte goes alone";

    edit->SetText("a\x80\x80\x80\x80");
    edit->OnText("\b");
    EXPECT_EQ(Text(edit), "a\x80\x80\x80");
    edit->SetText("\xF0\x9F");
    edit->OnKeyDown(static_cast<char>(kLeft), 0);
    EXPECT_EQ(edit->GetCaret(), 0);
    edit->OnKeyDown(static_cast<char>(kRight), 0);
    EXPECT_EQ(edit->GetCaret(), 2);
}

TEST_F(TextEditTest, TabMovesThroughTheShownEditsOfTheModal)
{
    Do("Window{ name = 'panel', w = 400, h = 200, "
       "  TextEdit{ name = 'e1', x = 10, y = 5, w = 100, h = 20 }, "
       "  Window{ name = 'inner', y = 30, w = 300, h = 100, "
       "    TextEdit{ name = 'e2', x = 10, w = 100, h = 20 } }, "
       "  TextEdit{ name = 'e3', x = 10, y = 150, w = 100, h = 20 } }()");
    TTextEdit* e1 = FindEdit("e1");
    TTextEdit* e2 = FindEdit("e2");
    TTextEdit* e3 = FindEdit("e3");
    ASSERT_NE(e3, nullptr);
    ASSERT_NE(e1->GetGroup(), nullptr);
    EXPECT_EQ(*e1->GetGroup(), (TTextEditGroup{e1, e2, e3}));
    EXPECT_EQ(e3->GetGroup(), e1->GetGroup());

    mManager->SetFocus(e1);
    Type("\t");
    EXPECT_EQ(mManager->GetFocus(), e2);
    Type("\t\t");
    EXPECT_EQ(mManager->GetFocus(), e1) << "wraps";
    Do("EnableWindow('inner', false)");
    Type("\t");
    EXPECT_EQ(mManager->GetFocus(), e3) << "a hidden edit is skipped";
    Do("EnableWindow('e1', false)");
    Type("\t");
    EXPECT_EQ(mManager->GetFocus(), e3) << "no other shown edit";
    EXPECT_EQ(Messages(), Strings{});

    // Another modal has a group of its own; an edit that goes leaves its group.
    Do("PushModal('dialog') TextEdit{ name = 'd1', w = 100, h = 20 }()");
    TTextEdit* d1 = FindEdit("d1");
    ASSERT_NE(d1, nullptr);
    EXPECT_EQ(*d1->GetGroup(), TTextEditGroup{d1});
    Do("DoPopModal('dialog')");
    e2->GetParent()->RemoveChild(e2);
    delete e2;
    EXPECT_EQ(*e1->GetGroup(), (TTextEditGroup{e1, e3}));
}

TEST_F(TextEditTest, PasteCleansCutsAndReplacesTheText)
{
    TTextEdit* edit = Make("ignore = 'Q', label = 'old'");
    ASSERT_TRUE(StringToClipboard("a\tbQc"));
    Key('V', kModifierControl);
    EXPECT_EQ(Text(edit), "abc");
    EXPECT_EQ(edit->GetCaret(), 3);
    ASSERT_TRUE(StringToClipboard("ABCDEFGHIJKLMN"));
    Key(kInsert);
    EXPECT_EQ(Text(edit), "ABCDEFGHIJ") << "cut after 10 characters";
    // Multi-byte text is dropped whole outside utf8 mode, and so is an empty clipboard.
    ASSERT_TRUE(StringToClipboard("caf\xC3\xA9"));
    Key('V', kModifierControl);
    ASSERT_TRUE(StringToClipboard(""));
    Key(kInsert);
    EXPECT_EQ(Text(edit), "ABCDEFGHIJ");
    EXPECT_EQ(Messages(), Strings{});

    Do("TextEdit{ name = 'u', w = 100, h = 20, utf8 = true, length = 4 }()");
    ASSERT_TRUE(StringToClipboard("caf\xC3\xA9s"));
    FindEdit("u")->OnKeyDown('V', kModifierControl);
    EXPECT_EQ(Text(FindEdit("u")), "caf\xC3\xA9");
}

TEST_F(TextEditTest, PasswordMaskAndTheCaretBlinkingOnTheModalsClock)
{
    Do("TextEdit{ name = 'pw', x = 100, y = 100, w = 200, h = 40, password = true, "
       "label = 'abc', font = { '__DEFAULT', 30 } }()");
    TTextEdit* edit = FindEdit("pw");
    ASSERT_NE(edit, nullptr);
    EXPECT_EQ(Shown(edit), "***");
    EXPECT_EQ(Text(edit), "abc");
    mManager->SetFocus(edit);
    Key(kLeft);
    Key(kLeft);

    // Every 200 ms the shown text follows the caret's 800 ms period.
    Strings seen;
    int lit[2] = {0, 0};
    for (int i = 0; i < 8; ++i)
    {
        sys::AdvanceManualClock(100);
        Send(kEventTick);
        seen.push_back(Shown(edit));
        Frame();
        lit[Shown(edit) == "***" ? 0 : 1] = Lit(edit->GetScreenRect());
    }
    EXPECT_NE(std::find(seen.begin(), seen.end(), "*<cursor>**"), seen.end());
    EXPECT_NE(std::find(seen.begin(), seen.end(), "***"), seen.end());
    EXPECT_GT(lit[1], lit[0]) << "the caret is drawn";
    EXPECT_GT(lit[0], 0);

    // A modal over it stops its clock and its tasks: the caret freezes.
    Do("PushModal('cover')");
    std::string frozen = Shown(edit);
    for (int i = 0; i < 8; ++i)
    {
        sys::AdvanceManualClock(100);
        Send(kEventTick);
        EXPECT_EQ(Shown(edit), frozen);
    }
    mManager->SetFocus(nullptr);
    edit->Animate();
    EXPECT_EQ(Shown(edit), "***");
}

TEST_F(TextEditTest, KeyDownsAreHandledOrPassedByModifier)
{
    TTextEdit* edit = Make("");
    EXPECT_FALSE(edit->OnKeyDown('C', kModifierControl));
    EXPECT_FALSE(edit->OnKeyDown('A', kModifierAlt));
    EXPECT_FALSE(edit->OnKeyDown('a', 0));
    EXPECT_TRUE(edit->OnKeyDown('A', kModifierShift));
    EXPECT_TRUE(edit->OnKeyDown(static_cast<char>(kUp), 0));
    EXPECT_FALSE(edit->OnKeyDown(static_cast<char>(kUp), kModifierExtended));
    // What the edit passes on reaches the modal, which announces it.
    Key('C', kModifierControl);
    Key('A');
    EXPECT_EQ(Messages(), Strings{"4 raw:C"});
}

TEST_F(TextEditTest, AScreenScriptHearsTheChangesOfAClickedEdit)
{
    Do("return function() "
       "  Text{ name = 'caption', x = 100, y = 60, w = 200, h = 30, label = 'Name' }() "
       "  TextEdit{ name = 'name', x = 100, y = 100, w = 200, h = 30 }() "
       "  while true do local m = HandleGetMessage() "
       "    got = (got or '') .. m.type .. ':' .. m.name .. '=' .. GetLabel(m.name) .. ';' end "
       "end");
    Send(kEventLeftDown, 150, 110);
    Send(kEventLeftUp, 150, 110);
    Messages();
    Type("hi");
    EXPECT_EQ(mScript->GetGlobalString("got"),
              TString("4:mouse:up=mouse:up_is_not_found;7:name=h;7:name=hi;"));
    EXPECT_EQ(mScript->GetLabel("caption"), TString("Name"));
}

} // namespace

TEST_F(TextEditTest, TypedMarkUpCharactersAreShownAsTyped)
{
    Do("TextEdit{ name = 'e', x = 20, y = 100, w = 300, h = 40, font = { '__DEFAULT', 30 } }()");
    Do("Text{ name = 'same', x = 20, y = 200, w = 300, h = 40, font = { '__DEFAULT', 30 }, "
       "label = 'x\\\\<b>y\\\\\\\\' }()");
    Do("Text{ name = 'bare', x = 20, y = 300, w = 300, h = 40, font = { '__DEFAULT', 30 }, "
       "label = 'xy' }()");
    TTextEdit* edit = FindEdit("e");
    ASSERT_NE(edit, nullptr);
    mManager->SetFocus(edit);
    Type("x<b>y\\");
    EXPECT_EQ(Text(edit), "x<b>y\\") << "what is kept and returned is what was typed";

    // Unfocused: the five characters drawn exactly as a text of the escaped string draws them.
    mManager->SetFocus(nullptr);
    edit->Animate();
    EXPECT_EQ(Shown(edit), "x\\<b>y\\\\");
    Frame();
    const TRect shown = edit->GetScreenRect();
    const TRect same = FindText("same")->GetScreenRect();
    for (int y = 0; y < shown.bottom - shown.top; ++y)
        for (int x = 0; x < shown.right - shown.left; ++x)
            ASSERT_EQ(Back(shown.left + x, shown.top + y), Back(same.left + x, same.top + y))
                << "at " << x << ", " << y;
    EXPECT_GT(Lit(shown), Lit(FindText("bare")->GetScreenRect()) + 0) << "<, b, > and \\ drawn";

    // Focused, a caret after the trailing backslash is a caret, not the text "<cursor>".
    mManager->SetFocus(edit);
    int lit[2] = {0, 0};
    bool caretSeen = false;
    for (int i = 0; i < 8; ++i)
    {
        sys::AdvanceManualClock(100);
        Send(kEventTick);
        const bool on = Shown(edit) != "x\\<b>y\\\\";
        if (on)
        {
            EXPECT_EQ(Shown(edit), "x\\<b>y\\\\<cursor>");
            caretSeen = true;
        }
        Frame();
        lit[on ? 1 : 0] = Lit(shown);
    }
    EXPECT_TRUE(caretSeen);
    EXPECT_GT(lit[1], lit[0]);
    EXPECT_LT(lit[1] - lit[0], lit[0]) << "only a caret added, no text";
}
