// Modal windows: canonical hot-key text, bound keys (found or missing button), "@" bindings and
// their removal, Enter and Escape with and without default and cancel buttons, kCloseWindow.
#include "ui_test_support.h"

#include "platform/log.h"
#include "support/files.h"

#include <fstream>
#include <sstream>

namespace
{

using uitest::ManagerTest;
using uitest::ProbeWindow;
using Log = std::vector<std::string>;

TEST(HotKeyTest, CanonicalForms)
{
    EXPECT_EQ(ParseHotKey("Control-Shift-s"), TString("shift-ctrl-S"));
    EXPECT_EQ(ParseHotKey("shift-ctrl-S"), TString("shift-ctrl-S"));
    EXPECT_EQ(ParseHotKey("ctrl-shift-x-s"), TString("shift-ctrl-S"));
    EXPECT_EQ(ParseHotKey("ALT-control-1"), TString("ctrl-alt-1"));
    EXPECT_EQ(ParseHotKey("@q"), TString("@Q"));
    EXPECT_EQ(ParseHotKey("@"), TString("@"));
    EXPECT_EQ(ParseHotKey(""), TString());
    // Key codes of arrows are negative bytes: kept as they are.
    char left[] = {'a', 'l', 't', '-', static_cast<char>(-126), 0};
    char expected[] = {'a', 'l', 't', '-', static_cast<char>(-126), 0};
    EXPECT_EQ(ParseHotKey(left), TString(expected));
}

// A probe that is also a button: options, clicks and presses are logged.
class TestButton : public ProbeWindow, public TButtonControl
{
public:
    TestButton(std::vector<std::string>* log, const char* name, uint32_t options, bool fires)
        : ProbeWindow(log, name, {0, 0, 10, 10}), mLogRef(log), mOptions(options), mFires(fires)
    {
    }
    uint32_t GetButtonOptions() const override { return mOptions; }
    void Click() override { mLogRef->push_back(std::string(GetName().c_str()) + " click"); }
    bool Fire() override
    {
        mLogRef->push_back(std::string(GetName().c_str()) + " fire");
        return mFires;
    }

private:
    std::vector<std::string>* mLogRef;
    uint32_t mOptions;
    bool mFires;
};

TButtonControl* QueryTestButton(TWindow* window)
{
    return dynamic_cast<TestButton*>(window);
}

class ModalTest : public ManagerTest
{
protected:
    void SetUp() override
    {
        ManagerTest::SetUp();
        // A folder of this test's own: the machine's temporary folder is shared with every other
        // test process, which would start (and so delete) the same log file.
        SetLogFolder(mScratch.Path().c_str());
        mDialog = new TModalWindow();
        mDialog->SetName("dialog");
        mManager->PushModal(mDialog);
        mEdit = Add(mDialog, "edit", {0, 0, 10, 10});
        mEdit->TakeMessages(kDefaultAction);
        mDialog->SetFocusWindow(mEdit);
        mLog.clear();
    }
    void TearDown() override
    {
        SetButtonQuery(nullptr);
        SetLogFolder(nullptr);
        ManagerTest::TearDown();
    }
    TestButton* AddButton(TWindow* parent, const char* name, uint32_t options, bool fires = true)
    {
        auto* b = new TestButton(&mLog, name, options, fires);
        parent->AddChild(b, false);
        return b;
    }
    std::string LogFile() const
    {
        std::ifstream in(GetLogPath().c_str());
        std::stringstream text;
        text << in.rdbuf();
        return text.str();
    }

    testsupport::ScratchFolder mScratch{"mw_modal"};
    TModalWindow* mDialog = nullptr;
    ProbeWindow* mEdit = nullptr;
};

TEST_F(ModalTest, BoundKeyClicksItsButtonAndSwallowsTheCharacter)
{
    SetButtonQuery(&QueryTestButton);
    ProbeWindow* group = Add(mDialog, "group", {0, 0, 50, 50});
    AddButton(group, "ok", 0);
    mDialog->RegisterHotKey("Control-Shift-s", "ok");
    mDialog->RegisterHotKey("@x", "gone");
    Send(kEventKeyDown, 0, 0, 'S', kModifierShift | kModifierControl);
    Send(kEventChar, 0, 0, 19);
    Send(kEventChar, 0, 0, 'a');
    // "@X" answers for X with any modifiers; its button is missing, which is logged.
    Send(kEventKeyDown, 0, 0, 'X', kModifierAlt);
    EXPECT_EQ(mLog, (Log{"edit key 83/3", "ok click", "edit char 97", "edit key 88/4"}));
    EXPECT_TRUE(gSwallowNextChar);
    EXPECT_NE(LogFile().find("ERROR: Hot key button not found. Button:'gone'"), std::string::npos);

    mDialog->RegisterHotKey("@x", "");
    gSwallowNextChar = false;
    mLog.clear();
    Send(kEventKeyDown, 0, 0, 'X');
    // The message walk offers it to the focus window on the chain and again as the modal's focus.
    EXPECT_EQ(mLog, (Log{"edit key 88/0", "edit msg 4 raw:X", "edit msg 4 raw:X"}));
    EXPECT_EQ(mDialog->GetHotKeys().size(), 1u);
}

TEST_F(ModalTest, EnterAndEscapePressDefaultAndCancelButtons)
{
    SetButtonQuery(&QueryTestButton);
    ProbeWindow* panel = Add(mDialog, "panel", {0, 0, 50, 50});
    TestButton* ok = AddButton(panel, "ok", 0x8);
    AddButton(mDialog, "cancel", 0x10);
    Send(kEventChar, 0, 0, 27);
    Send(kEventChar, 0, 0, 13);
    EXPECT_EQ(mLog, (Log{"edit char 27", "cancel fire", "edit char 13", "ok fire"}));

    // A hidden default button, or one that does not fire, leaves kDefaultAction to the focus.
    mLog.clear();
    ok->SetFlags(0);
    Send(kEventChar, 0, 0, 13);
    EXPECT_EQ(mLog, (Log{"edit char 13", "edit msg 2 "}));
}

TEST_F(ModalTest, WithoutButtonsEnterSendsDefaultActionAndCloseWindowPops)
{
    Send(kEventChar, 0, 0, 13);
    EXPECT_EQ(mLog, (Log{"edit char 13", "edit msg 2 "}));
    mDialog->SendMessage(new TMessage(kCloseWindow, ""));
    EXPECT_EQ(mManager->GetTopModal(), mDialog);
    mDialog->SendMessage(new TMessage(kCloseWindow, "dialog"));
    EXPECT_EQ(mManager->GetTopModal(), mRoot);
    EXPECT_EQ(mManager->GetFocus(), mRoot);
}

} // namespace
