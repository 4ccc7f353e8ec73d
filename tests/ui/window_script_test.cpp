// Window script tests, driven through the script: the bound functions and the library's globals,
// message values, window creation, the three delivery cases and time-outs, the modal protocol end
// to end with screen files in a scratch asset folder, and bad input.
#include "platform/shell/event_pump.h"
#include "platform/files/file_layer.h"
#include "script/lua_object_wrapper.h"
#include "script/script_host_test_support.h"
#include "sys/clock.h"
#include "ui/modal_window.h"
#include "ui/window_manager.h"
#include "ui/window_script.h"
#include "ui/window_style.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace
{

class WindowScriptTest : public ScriptHostTest
{
protected:
    void SetUp() override
    {
        ScriptHostTest::SetUp();
        sys::SetManualClock(true, 100000);
        mManager = std::make_unique<TWindowManager>();
        mManager->CreateRoot(800, 600);
        mManager->CreateScript();
        mScript = mManager->GetScript();
        L = mScript->GetState();
        ASSERT_EQ(Run(L, "gDebug = '' function DebugOut(t) gDebug = gDebug .. t .. ';' end"), "");
    }
    void TearDown() override
    {
        mManager.reset();
        sys::SetManualClock(false);
        ScriptHostTest::TearDown();
    }

    // Runs the text as the program does (a returned function becomes the coroutine).
    void Do(const std::string& code) { mScript->DoLuaString(code.c_str()); }
    std::string Global(const char* name) { return GlobalText(L, name); }
    // One pass of the program: the script task when due, then an event.
    void Tick(uint32_t ms = 0, int32_t type = kEventTick)
    {
        sys::AdvanceManualClock(ms);
        if (mScript->Ready(kTaskPassTime))
            mScript->Run();
        TPlatformEvent event;
        event.mType = type;
        mManager->HandleEvent(event);
    }
    TWindow* Find(const char* name) { return mManager->GetRoot()->FindChild(name, 0xFFFFFFFFu); }
    // A screen file in the asset folder, found as the running program finds it.
    void Screen(const std::string& name, const std::string& text)
    {
        Write("assets/" + name, text);
        ScanFolder("assets", TString());
    }
    void Send(int32_t type, const char* name) { mManager->PostMessage(new TMessage(type, name)); }

    std::unique_ptr<TWindowManager> mManager;
    TWindowScript* mScript = nullptr;
    lua_State* L = nullptr;
};

TEST_F(WindowScriptTest, FunctionsLibraryGlobalsAndMessageValues)
{
    const char* names[] = {"PostCreate",
                           "GetLabel",
                           "_RegisterHotkey",
                           "SetLabel",
                           "TagHotKey",
                           "_SetBitmap",
                           "SetPosition",
                           "SetCommand",
                           "StripKeyFromLabel",
                           "SetWindowName",
                           "FillRect",
                           "GetTimer",
                           "GetConfig",
                           "IsEnabled",
                           "DoSelectLayer",
                           "EnableWindow",
                           "GetButtonToggleState",
                           "SetButtonToggleState",
                           "PopWindow",
                           "RealSetFocus",
                           "StringToClipboard",
                           "UpdateWindow",
                           "PushModal",
                           "ClearModalChildren",
                           "GetWindowDepth",
                           "DoPopModal",
                           "HandleGetMessage",
                           "GenericCreate",
                           "CreateNamedMessage",
                           "CreateCloseMessage",
                           "PostMessage",
                           "PostMessageToParent",
                           "_GetString",
                           "StartMovie",
                           "IsMoviePlaying",
                           "StopMovie",
                           "ImageLoaded",
                           "DestroyWindow",
                           "DoFitToChildren",
                           "SetTopModalOnly",
                           "Window"};
    for (const char* name : names)
    {
        lua_getglobal(L, name);
        EXPECT_TRUE(lua_iscfunction(L, -1) || std::string(name) == "Window") << name;
        EXPECT_TRUE(lua_isfunction(L, -1)) << name;
        lua_pop(L, 1);
    }
    lua_pushstring(L, "qmMessageMetatable");
    lua_rawget(L, LUA_REGISTRYINDEX);
    lua_pushstring(L, "__gc");
    lua_rawget(L, -2);
    EXPECT_TRUE(lua_iscfunction(L, -1));
    lua_pushstring(L, "__index");
    lua_rawget(L, -3);
    EXPECT_TRUE(lua_iscfunction(L, -1));
    lua_pop(L, 3);
    // As the library left it (running text sets the script search path).
    EXPECT_EQ(Global("LUA_PATH"), "?;../?;../../?");

    Do("v = table.concat({kHAlignRight, kVAlignBottom, kPushButtonAlignment, "
       "kRadioButtonAlignment, kToggleButtonAlignment, kRadio, kAllLayers, kCenter, kMax, "
       "kDefault, gCurID, kGeneric, kModalClosed, kCommandOnly, kSliderPageDown, "
       "kUserMessageBase}, ',') "
       "s = table.concat({kCmdLine, kSubLevel, kBreakNow, kGameVersion, kHiscoreLocalOnly, "
       "kHiscoreAnonymous, type(idtable), type(gParent), type(gDialogTable), "
       "type(gClosedWindows), type(gCurrentDefaultStyle), gBeginGroup, "
       "tostring(gReturnValue)}, ',')");
    EXPECT_EQ(Global("v"), "2,8,5,4,5,2,-1,80000,160000,128,100,0,6,8,12,1000");
    EXPECT_EQ(Global("s"), "cmdline,sublevel,breaknow,version,hiscorelocal,hiscoreanon,"
                           "table,table,table,table,table,0,nil");

    Do("m = CreateNamedMessage(1001, 'hi') t = m.type .. m.name .. tostring(m.other) "
       "c = CreateCloseMessage() cn = c.type .. ':' .. c.name "
       "m = nil c = nil collectgarbage()");
    EXPECT_EQ(Global("t"), "1001hinil");

    // A message handed to the script belongs to its collector.
    struct Counted : TMessage
    {
        explicit Counted(int* alive) : TMessage(kGeneric, "c"), mAlive(alive) { ++*mAlive; }
        ~Counted() override { --*mAlive; }
        int* mAlive;
    };
    int alive = 0;
    mManager->SendToScript(new Counted(&alive));
    EXPECT_EQ(alive, 1);
    Do("gMessageQueue = {} collectgarbage()");
    EXPECT_EQ(alive, 0);
    EXPECT_EQ(Global("cn"), "1:" + std::string(mManager->GetRoot()->GetIdString().c_str()));
}

TEST_F(WindowScriptTest, GenericCreateFollowsTheWindowStack)
{
    Do("Window{ name = 'a', x = 10, y = 20, w = 300, h = 200, "
       "  Window{ name = 'b', w = 50, h = 40 } }() "
       "w1 = gDialogWidth .. 'x' .. gDialogHeight");
    TWindow* a = Find("a");
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(a->GetParent(), mManager->GetRoot());
    EXPECT_EQ(a->GetRect().left, 10);
    ASSERT_NE(Find("b"), nullptr);
    EXPECT_EQ(Find("b")->GetParent(), a);
    EXPECT_EQ(Global("w1"), "50x40");
    EXPECT_EQ(mScript->GetWindowStackSize(), 1u);

    // A type without a creator makes nothing; its children land in the enclosing window, and its
    // pop takes the enclosing window off the stack, so a later sibling lands one level up.
    mManager->RegisterWindowType("Ghost", nullptr);
    Do("Window{ name = 'outer', w = 10, h = 10, Ghost{ Window{ name = 'inner' } }, "
       "  Window{ name = 'after' } }()");
    EXPECT_EQ(Find("inner")->GetParent(), Find("outer"));
    EXPECT_EQ(Find("after")->GetParent(), mManager->GetRoot());
    EXPECT_EQ(Find("outer")->GetName(), TString("outer"));

    // Fitting, names and the stack's first entry.
    Do("PopWindow() PopWindow() SetWindowName('_screen2_') DoFitToChildren()");
    EXPECT_EQ(mManager->GetRoot()->GetName(), TString("_screen2_"));
    EXPECT_EQ(mScript->GetWindowStackSize(), 1u);
}

// A window whose set-up runs a script statement before it reads its description, as a window
// reporting a fatal error does through the quit request.
class NestedRunWindow : public TWindow
{
public:
    static TWindow* Create() { return new NestedRunWindow(); }
    void PostInit(TWindowStyle& style) override
    {
        GetWindowManager()->GetScript()->DoLuaString("nested = 'ran'");
        sCaption = style.GetString("caption", "none");
        sWidth = style.GetInt("w", -1);
        TWindow::PostInit(style);
    }
    static inline TString sCaption;
    static inline int32_t sWidth = 0;
};

// The statement frees the wrappers the script lent to the call that made the window; the style
// still reads the window's description.
TEST_F(WindowScriptTest, AWindowsSetUpMayRunScriptCodeBeforeReadingItsStyle)
{
    mManager->RegisterWindowType("NestedRun", &NestedRunWindow::Create);
    Do("Window{ name = 'host', w = 100, h = 100, "
       "  NestedRun{ name = 'n', caption = 'kept', w = 40, h = 30 } }()");
    EXPECT_EQ(Global("nested"), "ran");
    EXPECT_EQ(NestedRunWindow::sCaption, TString("kept"));
    EXPECT_EQ(NestedRunWindow::sWidth, 40);
    ASSERT_NE(Find("n"), nullptr);
    EXPECT_EQ(Find("n")->GetRect().Width(), 40);
}

TEST_F(WindowScriptTest, DeliveryQueuesWhileRunningAndResumesAWait)
{
    // Case 1: nothing waits, so messages and commands queue in the script.
    Do("gCommandRan = 0");
    Send(kButtonPress, "one");
    Send(kButtonPress, "two");
    mManager->DispatchMessages();
    lua_getglobal(L, "gCommandRan");
    lua_pushcfunction(L,
                      [](lua_State* S) -> int
                      {
                          lua_pushnumber(S, 7);
                          lua_setglobal(S, "gCommandRan");
                          return 0;
                      });
    TLuaFunction command(L);
    lua_pop(L, 1);
    EXPECT_TRUE(mScript->HandleMessage(nullptr, &command));
    Do("q = table.getn(gMessageQueue) .. table.getn(gCommandQueue)");
    EXPECT_EQ(Global("q"), "21");

    // The queue comes out newest first, the queued command runs with the first wait that takes a
    // message from the script itself.
    Do("return function() "
       "  got = '' "
       "  while true do local m = WaitForMessage() "
       "    if m then got = got .. m.name .. ',' else got = got .. 'nil,' end end "
       "end");
    EXPECT_EQ(Global("got"), "two,one,");
    EXPECT_EQ(mScript->GetWaitState(), TWindowScript::kWaitWaiting);
    EXPECT_EQ(Global("gCommandRan"), "0");

    // Case 3: a message resumes the wait; a command alone comes as kCommandOnly "".
    Send(kButtonPress, "three");
    mManager->DispatchMessages();
    EXPECT_EQ(Global("got"), "two,one,three,");
    EXPECT_EQ(Global("gCommandRan"), "7");
    Do("gCommandRan = 0");
    EXPECT_EQ(Global("got"), "two,one,three,nil,");
    EXPECT_EQ(Global("gCommandRan"), "0");
    EXPECT_TRUE(mScript->HandleMessage(nullptr, &command));
    EXPECT_EQ(Global("got"), "two,one,three,nil,,");
    EXPECT_EQ(Global("gCommandRan"), "7");
}

TEST_F(WindowScriptTest, AScriptYieldedElsewhereRunsTheCommandAndDropsTheMessage)
{
    Do("return function() Yield() end");
    ASSERT_TRUE(mScript->IsYielded());
    lua_pushcfunction(L,
                      [](lua_State* S) -> int
                      {
                          lua_pushstring(S, "ran");
                          lua_setglobal(S, "gState");
                          return 0;
                      });
    TLuaFunction command(L);
    EXPECT_FALSE(mScript->HandleMessage(new TMessage(kGeneric, "x"), &command));
    EXPECT_EQ(Global("gState"), "ran");
    EXPECT_TRUE(mScript->IsYielded());
}

// A statement handed to the waiting coroutine that fails there has run: its error is logged once
// and it is not run a second time outside the coroutine.
TEST_F(WindowScriptTest, AStatementFailingInTheWaitingCoroutineRunsOnce)
{
    Do("return function() while true do WaitForMessage() end end");
    ASSERT_EQ(mScript->GetWaitState(), TWindowScript::kWaitWaiting);
    Do("gRuns = (gRuns or 0) + 1; error('broken statement')");
    EXPECT_EQ(Global("gRuns"), "1");
    EXPECT_TRUE(LogHas("lua_resume ERROR: [string \"gRuns = (gRuns or 0) + 1; error('broken "
                       "sta...\"]:1: broken statement"))
        << LogText();
    EXPECT_FALSE(LogHas("Lua error")) << LogText();
}

TEST_F(WindowScriptTest, TimeOutsAndPause)
{
    Do("return function() a = WaitForMessage(0) stage = 1 "
       "  b = WaitForMessage(100) stage = 2 "
       "  Pause(100) stage = 3 "
       "  x = WaitForMessage() y = WaitForMessage() stage = x.name .. y.name end");
    EXPECT_EQ(Global("stage"), "nil");
    Tick();
    EXPECT_EQ(Global("stage"), "1");
    EXPECT_EQ(Global("a"), "nil");
    Tick(99);
    EXPECT_EQ(Global("stage"), "1");
    Tick(1);
    EXPECT_EQ(Global("stage"), "2");
    // Two messages arrive during the pause: kept, and later read newest first.
    Send(kGeneric, "p");
    Send(kGeneric, "q");
    Tick(10);
    EXPECT_EQ(Global("stage"), "2");
    Tick(90);
    EXPECT_EQ(Global("stage"), "qp");

    // A close request resumes a wait once, without a message.
    Do("return function() c = WaitForMessage() stage = tostring(c) end");
    Tick(0, kEventClose);
    EXPECT_EQ(Global("stage"), "nil");
}

TEST_F(WindowScriptTest, DoModalReturnsTheValueAndTheModalGoes)
{
    Screen("t.lua", "Window{ name = 'okbutton', w = 100, h = 30 }()\n");
    Do("return function() result = DoModal('t.lua') end");
    TModalWindow* modal = mManager->GetTopModal();
    ASSERT_NE(modal, mManager->GetRoot());
    EXPECT_EQ(modal->GetName(), TString("t.lua"));
    ASSERT_NE(Find("okbutton"), nullptr) << LogText();
    EXPECT_EQ(Find("okbutton")->GetParent(), modal);
    EXPECT_EQ(modal->GetWidth(), 800);
    Do("depth = GetWindowDepth()");
    EXPECT_EQ(Global("depth"), "2");

    mScript->SetGlobalString("gReturnValue", "x");
    mManager->PostMessage(new TMessage(kCloseWindow, modal->GetIdString()));
    Tick();
    EXPECT_EQ(mManager->GetTopModal(), mManager->GetRoot());
    EXPECT_EQ(Global("result"), "nil");
    Tick();
    EXPECT_EQ(Global("result"), "x");
    EXPECT_EQ(Global("gReturnValue"), "nil");
    EXPECT_EQ(Find("okbutton"), nullptr);
}

TEST_F(WindowScriptTest, MainWindowSwapsAndEndsWhenItsModalGoes)
{
    Screen("main.lua", "Window{ name = 'first', w = 10, h = 10 }()\n");
    Screen("other.lua", "Window{ name = 'second', w = 20, h = 30 }()\n");
    Do("return function() gMessageQueue = { 1 } FlushMessages() "
       "  flushed = table.getn(gMessageQueue) DoMainWindow('main.lua') stage = 'done' end");
    Tick(1);
    EXPECT_EQ(Global("flushed"), "0");
    TModalWindow* modal = mManager->GetTopModal();
    ASSERT_NE(Find("first"), nullptr);
    // Text run while the script waits reaches it as a command.
    Do("SwapToModal('other.lua')");
    EXPECT_EQ(Find("first"), nullptr);
    ASSERT_NE(Find("second"), nullptr);
    EXPECT_EQ(mManager->GetTopModal(), modal);
    EXPECT_EQ(modal->GetWidth(), 20);
    EXPECT_EQ(modal->GetHeight(), 30);
    mManager->PostMessage(new TMessage(kCloseWindow, modal->GetIdString()));
    Tick();
    EXPECT_EQ(Global("stage"), "nil");
    Tick();
    EXPECT_EQ(Global("stage"), "done");
}

TEST_F(WindowScriptTest, ACloseDuringAnotherWaitIsRemembered)
{
    Do("return function() WaitForCloseMessage('A') stage = 1 "
       "  WaitForCloseMessage('B') stage = 2 end");
    Send(kModalClosed, "B");
    Tick();
    Do("seen = tostring(gClosedWindows.B)");
    EXPECT_EQ(Global("seen"), "true");
    EXPECT_EQ(Global("stage"), "nil");
    Send(kModalClosed, "A");
    Tick();
    EXPECT_EQ(Global("stage"), "1");
    Send(kGeneric, "any");
    Tick();
    EXPECT_EQ(Global("stage"), "2");
    Do("seen = tostring(gClosedWindows.B)");
    EXPECT_EQ(Global("seen"), "nil");
}

TEST_F(WindowScriptTest, LibraryFunctions)
{
    Do("local c = Color(255, 0, 0) local f = FColor(1, 0, 0) gDialogWidth = 400 "
       "local d = DistributeX(3) "
       "r1 = table.concat(c, ',') .. '/' .. table.concat(f, ',') .. '/' .. table.concat(d, ',') "
       ".. '/' .. table.concat(Color(0, 0, 0, 51), ',') "
       "gCurrentDefaultStyle = { x = 5 } local t1 = GetTag({}, 'x') "
       "gCurrentDefaultStyle = { parent = { x = 7 } } local t2 = GetTag({}, 'x') "
       "r2 = t1 .. ',' .. t2 .. ',' .. tostring(GetTag({ x = 1 }, 'x')) "
       "function _SetState(a, b) r3 = a .. '=' .. b end SetState('mute', true) "
       "function _GetString(...) r4 = table.getn(arg) .. '[' .. table.concat(arg, '|') .. ']' "
       "  return '' end GetString('k') "
       "gReturnValue = 'kept' CloseWindow() r5 = gReturnValue "
       "DisplayDialog({}) DisplayDialog({ '' })");
    EXPECT_EQ(Global("r1"), "1,0,0,1/1,0,0,1/100,200,300/0,0,0,0.2");
    EXPECT_EQ(Global("r2"), "5,7,1");
    EXPECT_EQ(Global("r3"), "mute=1");
    EXPECT_EQ(Global("r4"), "6[k|||||]");
    EXPECT_EQ(Global("r5"), "kept");
    EXPECT_EQ(Global("gDebug"), "DisplayDialog called with empty script; aborting;"
                                "DisplayDialog called with empty script; aborting;");
    // The close message CloseWindow posted, named with the current window's id.
    EXPECT_EQ(mManager->GetQueuedCount(), 1u);

    // Without a movie player and without an image the splash's modal simply stays.
    Do("DisplaySplash('intro.ogv', nil, 1000) splash = tostring(inMovie)");
    EXPECT_EQ(Global("splash"), "false");
    EXPECT_EQ(mManager->GetTopModal()->GetName(), TString("DisplaySplash"));
}

TEST_F(WindowScriptTest, LabelsHotKeysAndLookUps)
{
    Do("a, b = StripKeyFromLabel('&Quit') c, d = StripKeyFromLabel('Quit') "
       "e, f = StripKeyFromLabel('Quit&') g, h = StripKeyFromLabel('x', '&\\195\\169t') "
       "r = table.concat({a, b, c, d, e, f, g, h}, ',') "
       "t = TagHotKey('Quit', '@Q') .. ',' .. TagHotKey('quit', '@Q') .. ',' .. "
       "  TagHotKey('Quit', '') .. ',' .. TagHotKey('Quit', '@z') .. ',' .. "
       "  TagHotKey('x\\195\\169y', '@\\195') .. ',' .. TagHotKey('ab\\195', '@\\195') "
       "s = _GetString('#Hello', '', '', '', '', '')");
    EXPECT_EQ(Global("r"), "Quit,@Q,Quit,,Quit,,\xC3\xA9t,");
    EXPECT_EQ(Global("t"), "<u>Q</u>uit,<u>q</u>uit,Quit,Quit,x<u>\xC3\xA9</u>y,ab<u>\xC3</u>");
    EXPECT_EQ(Global("s"), "Hello");

    Do("Window{ name = 'w', w = 100, h = 50 }() "
       "l1 = GetLabel('w') l2 = GetLabel('none') "
       "e1 = tostring(EnableWindow('w', false)) e2 = tostring(EnableWindow('none', true)) "
       "SetPosition('w', kCenter, kMax - 50) id = PushModal('m') "
       "d = GetWindowDepth() SetTopModalOnly(1)");
    EXPECT_EQ(Global("l1"), "w_is_not_a_TText_window_or_TButton");
    EXPECT_EQ(Global("l2"), "none_is_not_found");
    EXPECT_EQ(Global("e1") + Global("e2"), "truefalse");
    EXPECT_EQ(Find("w")->GetFlags() & kWindowVisible, 0u);
    EXPECT_EQ(Find("w")->GetRect().left, 350);
    EXPECT_EQ(Find("w")->GetRect().top, 550);
    EXPECT_EQ(Global("id"), std::string(mManager->GetTopModal()->GetIdString().c_str()));
    EXPECT_EQ(Global("d"), "2");

    // Enabling searches up the chain from the new top modal; destroying only under the current.
    TWindow* w = Find("w");
    Do("e3 = tostring(EnableWindow('w', true)) DestroyWindow('w') "
       "Window{ name = 'inner', w = 5, h = 5 }() ClearModalChildren() "
       "");
    EXPECT_EQ(Global("e3"), "true");
    EXPECT_NE(w->GetFlags() & kWindowVisible, 0u);
    EXPECT_EQ(Find("w"), w);
    EXPECT_EQ(Find("inner"), nullptr);
    EXPECT_EQ(mManager->GetTopModal()->GetWidth(), 0);
    Do("DoPopModal(id) DestroyWindow('w')");
    EXPECT_EQ(mManager->GetTopModal(), mManager->GetRoot());
    EXPECT_EQ(Find("w"), nullptr);
    Tick();

    mManager->PopModal();
    Do("d0 = GetWindowDepth() l0 = GetLabel('w') PopWindow() CreateCloseMessage()");
    EXPECT_EQ(Global("d0"), "0");
    EXPECT_EQ(Global("l0"), "");
}

TEST_F(WindowScriptTest, PostedValuesComeBackAsThemselves)
{
    struct Listener : TMessageListener
    {
        bool OnMessage(TMessage* message) override
        {
            mSeen += std::to_string(message->mType) + message->mName.c_str();
            return false;
        }
        std::string mSeen;
    };
    auto* listener = new Listener;
    mManager->AddMessageListener(listener);
    Do("return function() m = CreateNamedMessage(1002, 'u') PostMessage(m) "
       "  r = WaitForMessage() same = tostring(r == m) PostMessage(42) PostMessage(r) "
       "  PostMessageToParent(r) WaitForMessage() WaitForMessage() end");
    EXPECT_EQ(mManager->GetQueuedCount(), 1u);
    // Messages posted while the queue is dispatched go out in the same dispatch: the listener sees
    // the held message three times (the parent of the root is none, so that post is untargeted).
    mManager->DispatchMessages();
    EXPECT_EQ(listener->mSeen, "1002u1002u1002u");
    EXPECT_EQ(Global("same"), "true");
    EXPECT_TRUE(LogHas("PostMessage: the argument is not a message; nothing posted"));
    EXPECT_EQ(mManager->GetQueuedCount(), 0u);
    EXPECT_FALSE(mScript->IsYielded());
}

TEST_F(WindowScriptTest, BadInputIsLoggedAndNothingCrashes)
{
    Screen("bad.lua", "Window{ name = \n");
    Do("return function() DoModal('bad.lua') reached = 1 end");
    EXPECT_EQ(Global("reached"), "nil");
    EXPECT_TRUE(LogHas("bad.lua"));

    Do("return function() DoModal('missing.lua') reached = 1 end");
    EXPECT_EQ(Global("reached"), "nil");
    EXPECT_TRUE(LogHas("missing.lua"));

    Screen("waits.lua", "WaitForMessage()\n");
    Do("return function() DoModal('waits.lua') reached = 1 end");
    EXPECT_EQ(Global("reached"), "nil");
    EXPECT_TRUE(LogHas("yield across"));

    // Every bound function with arguments of the wrong types.
    Do("for _, n in ipairs({'PostCreate', 'GetLabel', '_RegisterHotkey', 'SetLabel', "
       "'TagHotKey', '_SetBitmap', 'SetPosition', 'SetCommand', 'StripKeyFromLabel', "
       "'SetWindowName', 'FillRect', 'GetTimer', 'GetConfig', 'IsEnabled', 'DoSelectLayer', "
       "'EnableWindow', 'GetButtonToggleState', 'SetButtonToggleState', 'PopWindow', "
       "'RealSetFocus', 'StringToClipboard', 'UpdateWindow', 'GetWindowDepth', 'GenericCreate', "
       "'CreateNamedMessage', 'CreateCloseMessage', 'PostMessage', 'PostMessageToParent', "
       "'_GetString', 'StartMovie', 'IsMoviePlaying', 'StopMovie', 'ImageLoaded', "
       "'DestroyWindow', 'DoFitToChildren', 'SetTopModalOnly'}) do "
       "  pcall(_G[n], {}, {}, {}, {}) pcall(_G[n], nil, print, 1e300, -1) "
       "  pcall(_G[n], CreateNamedMessage(1, 'x'), true, 'w', 0/0) "
       "end bulk = 'done'");
    EXPECT_EQ(Global("bulk"), "done");
    // Only the two posts given a real message value posted anything.
    EXPECT_EQ(mManager->GetQueuedCount(), 2u);
    EXPECT_TRUE(LogHas("GenericCreate: the description is not a table"));
    Do("ok = tostring(StartMovie('intro.ogv', true, false))");
    EXPECT_EQ(Global("ok"), "false");
}

} // namespace
