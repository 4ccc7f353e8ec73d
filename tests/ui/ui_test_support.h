// Test support for the window toolkit: a script state for style tables, a window that records
// what reaches it, and a fixture with a window manager whose root screen is 800 x 600 under the
// manual clock.
#pragma once

#include "platform/config/config.h"
#include "platform/shell/task.h"
#include "script/lauxlib.h"
#include "script/lua_object_wrapper.h"
#include "script/lualib.h"
#include "sys/clock.h"
#include "ui/modal_window.h"
#include "ui/window_manager.h"
#include "ui/window_style.h"

#include <gtest/gtest.h>

#include <memory>
#include <set>
#include <string>
#include <vector>

namespace uitest
{

// A script state holding style tables.
class StyleState
{
public:
    StyleState()
    {
        L = lua_open();
        luaopen_base(L);
        lua_settop(L, 0);
    }
    ~StyleState() { lua_close(L); }
    StyleState(const StyleState&) = delete;
    StyleState& operator=(const StyleState&) = delete;

    void Run(const std::string& code)
    {
        ASSERT_EQ(luaL_loadbuffer(L, code.data(), code.size(), "=style"), 0);
        ASSERT_EQ(lua_pcall(L, 0, 0, 0), 0);
    }
    // A wrapper over the value of a script expression.
    std::unique_ptr<TLuaObjectWrapper> Wrap(const std::string& expr)
    {
        std::string code = "return " + expr;
        EXPECT_EQ(luaL_loadbuffer(L, code.data(), code.size(), "=style"), 0);
        EXPECT_EQ(lua_pcall(L, 0, 1, 0), 0);
        return std::make_unique<TLuaObjectWrapper>(L);
    }

    lua_State* L = nullptr;
};

// Records "<name> <what>[ x,y]" for every handler call; consumes the event types it is given.
class ProbeWindow : public TWindow
{
public:
    ProbeWindow(std::vector<std::string>* log, const char* name, TRect rect,
                std::set<int> consumes = {})
        : mLog(log), mConsumes(std::move(consumes))
    {
        SetName(name);
        SetPosition(rect.left, rect.top);
        SetSize(rect.Width(), rect.Height());
    }
    bool OnMouseDown(TPoint p) override { return Note("down", p, kEventLeftDown); }
    bool OnOtherButton(TPoint p, int32_t button) override
    {
        return Note("button" + std::to_string(button), p, kEventButton);
    }
    bool OnMouseUp(TPoint p) override { return Note("up", p, kEventLeftUp); }
    bool OnMouseMove(TPoint p) override { return Note("move", p, kEventMouseMove); }
    bool OnMouseLeave() override
    {
        mLog->push_back(std::string(GetName().c_str()) + " leave");
        return false;
    }
    bool OnChar(char c) override
    {
        mLog->push_back(std::string(GetName().c_str()) + " char " + std::to_string(c));
        return mConsumes.count(kEventChar) != 0;
    }
    bool OnKeyDown(char key, int32_t mods) override
    {
        mLog->push_back(std::string(GetName().c_str()) + " key " + std::to_string(key) + "/" +
                        std::to_string(mods));
        return mConsumes.count(kEventKeyDown) != 0;
    }
    bool OnMessage(TMessage* m) override
    {
        mLog->push_back(std::string(GetName().c_str()) + " msg " + std::to_string(m->mType) + " " +
                        m->mName.c_str());
        return mConsumes.count(-m->mType - 1) != 0;
    }
    void OnSetFocus(TWindow* previous) override
    {
        mLog->push_back(std::string(GetName().c_str()) + " focus from " +
                        (previous ? previous->GetName().c_str() : "null"));
    }
    bool Animate() override
    {
        mLog->push_back(std::string(GetName().c_str()) + " animate");
        return true;
    }
    // Consumes messages of this type.
    void TakeMessages(int type) { mConsumes.insert(-type - 1); }

private:
    bool Note(const std::string& what, TPoint p, int type)
    {
        mLog->push_back(std::string(GetName().c_str()) + " " + what + " " + std::to_string(p.x) +
                        "," + std::to_string(p.y));
        return mConsumes.count(type) != 0;
    }

    std::vector<std::string>* mLog;
    std::set<int> mConsumes;
};

inline TPlatformEvent MakeEvent(int32_t type, int32_t x = 0, int32_t y = 0, int32_t param = 0,
                                int32_t param2 = 0)
{
    TPlatformEvent e;
    e.mType = type;
    e.mX = x;
    e.mY = y;
    e.mParam = param;
    e.mParam2 = param2;
    return e;
}

// A window manager with its root screen (800 x 600), no application.
class ManagerTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        // Platform time counts from 0 as in a fresh process, whatever application an earlier
        // test started.
        sys::SetManualClock(true, 0);
        StartPlatformTime();
        sys::SetManualClock(true, 100000);
        gSwallowNextChar = false;
        mManager = std::make_unique<TWindowManager>();
        mManager->CreateRoot(800, 600);
        mRoot = mManager->GetTopModal();
        mManager->DispatchMessages();
    }
    void TearDown() override
    {
        mManager.reset();
        ClearConfig();
        sys::SetManualClock(false);
    }

    ProbeWindow* Add(TWindow* parent, const char* name, TRect rect, std::set<int> consumes = {})
    {
        auto* w = new ProbeWindow(&mLog, name, rect, std::move(consumes));
        parent->AddChild(w, false);
        return w;
    }
    void Send(int32_t type, int32_t x = 0, int32_t y = 0, int32_t param = 0, int32_t param2 = 0)
    {
        mManager->HandleEvent(MakeEvent(type, x, y, param, param2));
    }

    std::unique_ptr<TWindowManager> mManager;
    TModalWindow* mRoot = nullptr;
    std::vector<std::string> mLog;
};

} // namespace uitest
