// Member binding: the script calls members through the adapter of their signature, registrations
// follow the objects' lives, and nothing calls a destroyed object.
#include "script/lauxlib.h"
#include "script/lua_bind.h"
#include "script/lualib.h"
#include "script/script.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace
{

enum class Shade
{
    Dark = 0,
    Light = 2
};

class Base
{
public:
    virtual ~Base() = default;
    int Twice(int v) { return 2 * v; }
};

class Gadget : public Base
{
public:
    explicit Gadget(lua_State* L) : mState(L)
    {
        LuaBindMember(L, "Add", this, &Gadget::Add);
        LuaBindMember(L, "Half", this, &Gadget::Half);
        LuaBindMember(L, "Scale", this, &Gadget::Scale);
        LuaBindMember(L, "Not", this, &Gadget::Not);
        LuaBindMember(L, "Greet", this, &Gadget::Greet);
        LuaBindMember(L, "Remember", this, &Gadget::Remember);
        LuaBindMember(L, "Count", this, &Gadget::Count);
        LuaBindMember(L, "Wide", this, &Gadget::Wide);
        LuaBindMember(L, "SetShade", this, &Gadget::SetShade);
        LuaBindMember(L, "GetName", this, &Gadget::GetName);
        LuaBindMember(L, "Twice", this, &Base::Twice);
        LuaBindMember(L, "Mix", this, &Gadget::Mix);
    }
    ~Gadget() override
    {
        for (const char* name : {"Add", "Half", "Scale", "Not", "Greet", "Remember", "Count",
                                 "Wide", "SetShade", "GetName", "Twice", "Mix"})
            LuaUnbindMember(mState, name, this);
    }

    int Add(int a, int b) { return a + b; }
    double Half(double v) { return v / 2; }
    float Scale(float v) { return v * 3; }
    bool Not(bool v) { return !v; }
    TString Greet(const TString& name) { return TString("hello ") + name; }
    void Remember(const char* text) { mRemembered.push_back(text != nullptr ? text : "(null)"); }
    int Count(TLuaTable* table)
    {
        return table != nullptr ? static_cast<int>(table->GetNumber("n", -1)) : -2;
    }
    unsigned Wide(unsigned v) { return v; }
    void SetShade(Shade s) { mShade = s; }
    TString GetName() const { return "gadget"; }
    TString Mix(int a, const char* b, bool c, double d)
    {
        return TString::Format("%d|%s|%d|%g", a, b != nullptr ? b : "(null)", c ? 1 : 0, d);
    }

    lua_State* mState;
    std::vector<std::string> mRemembered;
    Shade mShade = Shade::Dark;
};

class BindTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        L = lua_open();
        luaopen_base(L);
        luaopen_string(L);
        luaopen_table(L);
        lua_settop(L, 0);
    }
    void TearDown() override { lua_close(L); }

    // The values the expression gives, as text.
    std::string Eval(const std::string& expr)
    {
        std::string code = "return " + expr;
        if (luaL_loadbuffer(L, code.data(), code.size(), "=test") != 0 ||
            lua_pcall(L, 0, 1, 0) != 0)
        {
            std::string message = std::string("error: ") + lua_tostring(L, -1);
            lua_pop(L, 1);
            return message;
        }
        std::string out;
        if (lua_isboolean(L, -1))
            out = lua_toboolean(L, -1) ? "true" : "false";
        else if (lua_isnil(L, -1))
            out = "nil";
        else
            out = lua_tostring(L, -1);
        lua_pop(L, 1);
        return out;
    }

    lua_State* L = nullptr;
};

TEST_F(BindTest, ScriptCallsMembersWithNumbersStringsBooleansAndTables)
{
    Gadget gadget(L);
    EXPECT_EQ(Eval("Add(2, 3)"), "5");
    EXPECT_EQ(Eval("Half(5)"), "2.5");
    EXPECT_EQ(Eval("Scale(0.5)"), "1.5");
    EXPECT_EQ(Eval("Not(false)"), "true");
    EXPECT_EQ(Eval("Not(0)"), "false"); // 0 is a true value in scripts
    EXPECT_EQ(Eval("Greet('world')"), "hello world");
    EXPECT_EQ(Eval("Count({ n = 4 })"), "4");
    EXPECT_EQ(Eval("GetName()"), "gadget");
    EXPECT_EQ(Eval("Twice(21)"), "42");
    EXPECT_EQ(Eval("Mix(1, 'b', true, 0.5)"), "1|b|1|0.5");
    EXPECT_EQ(Eval("Remember('note')"), "nil");
    ASSERT_EQ(gadget.mRemembered.size(), 1u);
    EXPECT_EQ(gadget.mRemembered[0], "note");
    EXPECT_EQ(lua_gettop(L), 0);
}

TEST_F(BindTest, IntegersAreTruncatedTowardZero)
{
    Gadget gadget(L);
    EXPECT_EQ(Eval("Add(2.9, -1.9)"), "1");
    EXPECT_EQ(Eval("Add(-2.5, 0)"), "-2");
    EXPECT_EQ(Eval("Wide(4294967295)"), "4294967295");
    EXPECT_EQ(Eval("Wide(-1)"), "4294967295");
    EXPECT_EQ(Eval("Add(1e300, 0)"), "0"); // beyond any integer: no undefined conversion
    EXPECT_EQ(Eval("SetShade(2.7)"), "nil");
    EXPECT_EQ(gadget.mShade, Shade::Light);
}

TEST_F(BindTest, AdaptersDoNotCheckTypesOrCounts)
{
    Gadget gadget(L);
    EXPECT_EQ(Eval("Add('3', '4')"), "7");
    EXPECT_EQ(Eval("Add({}, 1)"), "1");
    EXPECT_EQ(Eval("Add()"), "0");
    EXPECT_EQ(Eval("Greet()"), "hello ");
    EXPECT_EQ(Eval("Not()"), "true");
    EXPECT_EQ(Eval("Greet(12)"), "hello 12");
    EXPECT_EQ(Eval("Add(1, 2, 3, 4)"), "3");
    EXPECT_EQ(Eval("Mix()"), "0|(null)|0|0");
    EXPECT_EQ(Eval("Count()"), "-1"); // a wrapper over nil reads every key as missing
}

TEST_F(BindTest, TheClosureHoldsTheRecordAsItsOneUpvalue)
{
    Gadget gadget(L);
    lua_getglobal(L, "Add");
    EXPECT_TRUE(lua_iscfunction(L, -1));
    EXPECT_STREQ(lua_getupvalue(L, -1, 1), "");
    EXPECT_EQ(lua_type(L, -1), LUA_TUSERDATA);
    EXPECT_EQ(lua_getupvalue(L, -2, 2), nullptr);
    lua_pop(L, 2);
}

TEST_F(BindTest, DestroyedObjectLeavesNilGlobalsAndTheNormalCallError)
{
    auto gadget = std::make_unique<Gadget>(L);
    EXPECT_EQ(Eval("Add(1, 1)"), "2");
    gadget.reset();
    EXPECT_EQ(Eval("Add"), "nil");
    EXPECT_EQ(Eval("Add(1, 1)"), "error: test:1: attempt to call global `Add' (a nil value)");
}

TEST_F(BindTest, AKeptCopyRaisesInsteadOfCallingADestroyedObject)
{
    auto gadget = std::make_unique<Gadget>(L);
    ASSERT_EQ(luaL_loadbuffer(L, "kept = Add", 10, "=keep"), 0);
    ASSERT_EQ(lua_pcall(L, 0, 0, 0), 0);
    EXPECT_EQ(Eval("kept(2, 2)"), "4");
    gadget.reset();
    EXPECT_EQ(Eval("kept(2, 2)"),
              "error: test:1: attempt to call a script function whose object no longer exists");
}

TEST_F(BindTest, ALaterRegistrationReplacesAndEitherDestructorClearsTheName)
{
    auto first = std::make_unique<Gadget>(L);
    auto second = std::make_unique<Gadget>(L);
    second->mRemembered.clear();
    EXPECT_EQ(Eval("Remember('x')"), "nil");
    EXPECT_TRUE(first->mRemembered.empty());
    EXPECT_EQ(second->mRemembered.size(), 1u);
    first.reset();
    EXPECT_EQ(Eval("Remember"), "nil");
    // The surviving object's own binding was not cut: binding it again works as before.
    LuaBindMember(L, "Remember", second.get(), &Gadget::Remember);
    EXPECT_EQ(Eval("Remember('y')"), "nil");
    EXPECT_EQ(second->mRemembered.size(), 2u);
}

int gPlainCalls = 0;
double PlainSum(double a, double b)
{
    ++gPlainCalls;
    return a + b;
}

TEST_F(BindTest, UnbindingOnlyWhileBoundLeavesANameALaterObjectTook)
{
    Gadget first(L);
    Gadget second(L);
    EXPECT_FALSE(LuaUnbindMemberIfBound(L, "Add", &first));
    EXPECT_EQ(Eval("Add(1, 2)"), "3");
    EXPECT_FALSE(LuaUnbindMemberIfBound(L, "Nothing", &second));
    LuaBindFunction(L, "Sum", &PlainSum);
    EXPECT_FALSE(LuaUnbindMemberIfBound(L, "Sum", &second)); // no member binding
    EXPECT_TRUE(LuaUnbindMemberIfBound(L, "Add", &second));
    EXPECT_EQ(Eval("Add"), "nil");
}

TEST_F(BindTest, PlainFunctionsUseTheSameAdapters)
{
    int before = gPlainCalls;
    LuaBindFunction(L, "Sum", &PlainSum);
    EXPECT_EQ(Eval("Sum(1.5, 2)"), "3.5");
    EXPECT_EQ(gPlainCalls, before + 1);
    LuaUnbindMember(L, "Sum");
    EXPECT_EQ(Eval("Sum"), "nil");
}

TEST(BindScriptTest, TableArgumentsAreDeletedBeforeTheScriptRunsAgain)
{
    TScript script;
    lua_State* L = script.GetState();
    Gadget gadget(L);
    script.DoLuaString("c = Count({ n = 6 })");
    EXPECT_EQ(script.GetGlobalNumber("c"), 6);
    // The wrapped argument is gone once the script has run again: the registry holds no tables
    // under light userdata keys.
    script.DoLuaString("x = 1");
    int anchored = 0;
    lua_pushnil(L);
    while (lua_next(L, LUA_REGISTRYINDEX) != 0)
    {
        if (lua_islightuserdata(L, -2) && lua_istable(L, -1))
            ++anchored;
        lua_pop(L, 1);
    }
    EXPECT_EQ(anchored, 0);
}

} // namespace
