// Registry-anchored wrappers: lifetime of the anchored value, table getters with their defaults,
// setters, iteration and the queue that deletes wrapped arguments.
#include "script/lauxlib.h"
#include "script/lua_object_wrapper.h"
#include "script/lualib.h"
#include "script/script.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

namespace
{

class WrapperTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        L = lua_open();
        luaopen_base(L);
        lua_settop(L, 0);
    }
    void TearDown() override { lua_close(L); }

    // Evaluates an expression and leaves its value on the stack.
    void Eval(const std::string& expr)
    {
        std::string code = "return " + expr;
        ASSERT_EQ(luaL_loadbuffer(L, code.data(), code.size(), "=expr"), 0);
        ASSERT_EQ(lua_pcall(L, 0, 1, 0), 0);
    }

    std::unique_ptr<TLuaTable> Table(const std::string& expr)
    {
        Eval(expr);
        return std::make_unique<TLuaTable>(L);
    }

    // Whether the registry still holds an entry under this address.
    bool Anchored(const void* key)
    {
        lua_pushlightuserdata(L, const_cast<void*>(key));
        lua_rawget(L, LUA_REGISTRYINDEX);
        bool present = !lua_isnil(L, -1);
        lua_pop(L, 1);
        return present;
    }

    lua_State* L = nullptr;
};

TEST_F(WrapperTest, ConstructorTakesTheTopValueIntoTheRegistryUnderItsAddress)
{
    lua_pushnumber(L, 1);
    lua_pushstring(L, "held");
    auto* wrapper = new TLuaObjectWrapper(L);
    EXPECT_EQ(lua_gettop(L), 1);
    lua_pushlightuserdata(L, wrapper);
    lua_rawget(L, LUA_REGISTRYINDEX);
    EXPECT_STREQ(lua_tostring(L, -1), "held");
    lua_pop(L, 1);
    wrapper->Push();
    EXPECT_STREQ(lua_tostring(L, -1), "held");
    lua_pop(L, 1);
    EXPECT_STREQ(wrapper->ToString().c_str(), "held");
    const void* address = wrapper;
    delete wrapper;
    EXPECT_FALSE(Anchored(address));
    EXPECT_EQ(lua_gettop(L), 1);
}

TEST_F(WrapperTest, ValueStaysAliveWhateverTheScriptDoes)
{
    Eval("{ v = 5 }");
    TLuaTable table(L);
    Eval("collectgarbage()");
    lua_pop(L, 1);
    EXPECT_EQ(table.GetNumber("v", 0), 5);
}

TEST_F(WrapperTest, TwoWrappersOverOneTableAreIndependent)
{
    Eval("{ a = 1 }");
    lua_pushvalue(L, -1);
    auto* first = new TLuaTable(L);
    TLuaTable second(L);
    delete first;
    EXPECT_EQ(second.GetNumber("a", 0), 1);
    EXPECT_EQ(lua_gettop(L), 0);
}

TEST_F(WrapperTest, ToStringConvertsNumbersAndGivesEmptyForOtherValues)
{
    lua_pushnumber(L, 12);
    TLuaObjectWrapper number(L);
    EXPECT_STREQ(number.ToString().c_str(), "12");
    lua_newtable(L);
    TLuaObjectWrapper table(L);
    EXPECT_EQ(table.ToString().Length(), 0);
}

TEST_F(WrapperTest, GetNumberConvertsLikeTheScriptEngine)
{
    auto t = Table("{ x = '12' }");
    EXPECT_EQ(t->GetNumber("x", 7), 12);
    auto u = Table("{ x = true }");
    EXPECT_EQ(u->GetNumber("x", 7), 0);
    auto v = Table("{}");
    EXPECT_EQ(v->GetNumber("x", 7), 7);
    EXPECT_EQ(lua_gettop(L), 0);
}

TEST_F(WrapperTest, GettersByKeyAndIndexWithDefaults)
{
    auto t = Table("{ name = 'box', flag = false, on = 1, [1] = 'first', [2] = 2.5 }");
    EXPECT_STREQ(t->GetString("name", "none").c_str(), "box");
    EXPECT_STREQ(t->GetString("missing", "none").c_str(), "none");
    EXPECT_STREQ(t->GetStringAt(1, "x").c_str(), "first");
    EXPECT_STREQ(t->GetStringAt(2, "x").c_str(), "2.5");
    EXPECT_STREQ(t->GetStringAt(3, "x").c_str(), "x");
    EXPECT_EQ(t->GetNumberAt(2, 0), 2.5);
    EXPECT_EQ(t->GetNumberAt(9, -1), -1);
    EXPECT_FALSE(t->GetBool("flag", true));
    EXPECT_TRUE(t->GetBool("on", false));
    EXPECT_TRUE(t->GetBool("missing", true));
    EXPECT_EQ(lua_gettop(L), 0);
}

TEST_F(WrapperTest, PushFieldLeavesTheValueOnlyWhenPresent)
{
    auto t = Table("{ a = 'v', [3] = 'three' }");
    EXPECT_TRUE(t->PushField("a"));
    EXPECT_STREQ(lua_tostring(L, -1), "v");
    lua_pop(L, 1);
    EXPECT_FALSE(t->PushField("b"));
    EXPECT_TRUE(t->PushIndex(3));
    EXPECT_STREQ(lua_tostring(L, -1), "three");
    lua_pop(L, 1);
    EXPECT_FALSE(t->PushIndex(4));
    EXPECT_EQ(lua_gettop(L), 0);
}

TEST_F(WrapperTest, GetTableGivesANewWrapperOnlyForTables)
{
    auto t = Table("{ sub = { k = 3 }, list = { { k = 4 } }, text = 'x' }");
    std::unique_ptr<TLuaTable> sub(t->GetTable("sub"));
    ASSERT_NE(sub, nullptr);
    EXPECT_EQ(sub->GetNumber("k", 0), 3);
    std::unique_ptr<TLuaTable> list(t->GetTable("list"));
    ASSERT_NE(list, nullptr);
    std::unique_ptr<TLuaTable> item(list->GetTableAt(1));
    ASSERT_NE(item, nullptr);
    EXPECT_EQ(item->GetNumber("k", 0), 4);
    EXPECT_EQ(t->GetTable("text"), nullptr);
    EXPECT_EQ(t->GetTable("missing"), nullptr);
    EXPECT_EQ(list->GetTableAt(2), nullptr);
    EXPECT_EQ(lua_gettop(L), 0);
}

TEST_F(WrapperTest, GetVec4FillsMissingEntriesFromTheDefault)
{
    auto t = Table("{ c = { 0.5, 0.25 }, full = { 1, 2, 3, 4 }, n = 5, [1] = { 0.75 } }");
    TVec4 ones(1, 1, 1, 1);
    EXPECT_EQ(t->GetVec4("c", ones), TVec4(0.5f, 0.25f, 1, 1));
    EXPECT_EQ(t->GetVec4("full", ones), TVec4(1, 2, 3, 4));
    EXPECT_EQ(t->GetVec4("n", TVec4(9, 8, 7, 6)), TVec4(9, 8, 7, 6));
    EXPECT_EQ(t->GetVec4("missing", ones), ones);
    EXPECT_EQ(t->GetVec4At(1, TVec4(0, 0, 0, 1)), TVec4(0.75f, 0, 0, 1));
    EXPECT_EQ(t->GetVec4At(2, ones), ones);
    EXPECT_EQ(lua_gettop(L), 0);
}

TEST_F(WrapperTest, SettersWriteAndClearFields)
{
    Eval("{ a = 1 }");
    lua_pushvalue(L, -1);
    lua_setglobal(L, "t");
    TLuaTable t(L);
    t.SetString("s", "text");
    t.SetNumber("n", 4.5);
    t.ClearField("a");
    Eval("t.s");
    EXPECT_STREQ(lua_tostring(L, -1), "text");
    Eval("t.n");
    EXPECT_EQ(lua_tonumber(L, -1), 4.5);
    Eval("t.a");
    EXPECT_TRUE(lua_isnil(L, -1));
}

TEST_F(WrapperTest, NextWalksTheListThenEnds)
{
    auto t = Table("{ 10, 20 }");
    TLuaObjectWrapper* key = nullptr;
    std::unique_ptr<TLuaTable> value(t->Next(&key));
    ASSERT_NE(value, nullptr);
    ASSERT_NE(key, nullptr);
    EXPECT_STREQ(key->ToString().c_str(), "1");
    EXPECT_STREQ(value->ToString().c_str(), "10");
    value.reset(t->Next(&key));
    ASSERT_NE(value, nullptr);
    EXPECT_STREQ(key->ToString().c_str(), "2");
    EXPECT_STREQ(value->ToString().c_str(), "20");
    const void* lastKey = key;
    value.reset(t->Next(&key));
    EXPECT_EQ(value, nullptr);
    EXPECT_EQ(key, nullptr);
    EXPECT_FALSE(Anchored(lastKey));
    EXPECT_EQ(lua_gettop(L), 0);
}

TEST_F(WrapperTest, NextGivesTableValuesAsTables)
{
    auto t = Table("{ { k = 'inner' } }");
    TLuaObjectWrapper* key = nullptr;
    std::unique_ptr<TLuaTable> value(t->Next(&key));
    ASSERT_NE(value, nullptr);
    EXPECT_STREQ(value->GetString("k").c_str(), "inner");
    delete key;
}

TEST_F(WrapperTest, IndexingGoesThroughMetamethods)
{
    Eval("setmetatable({}, { __index = function(t, k) return k .. '!' end })");
    TLuaTable t(L);
    EXPECT_STREQ(t.GetString("hi").c_str(), "hi!");
}

int ReadRaisingField(lua_State* L)
{
    auto* table = static_cast<TLuaTable*>(lua_touserdata(L, 1));
    table->GetNumber("x", 0);
    return 0;
}

TEST_F(WrapperTest, ARaisingIndexHandlerPropagatesItsError)
{
    Eval("setmetatable({}, { __index = function() error('no') end })");
    TLuaTable t(L);
    lua_pushcfunction(L, ReadRaisingField);
    lua_pushlightuserdata(L, &t);
    EXPECT_NE(lua_pcall(L, 1, 0, 0), 0);
    EXPECT_NE(std::string(lua_tostring(L, -1)).find("no"), std::string::npos);
    lua_pop(L, 1);
}

TEST_F(WrapperTest, GettersOfAWrapperOverANonTableGiveDefaults)
{
    lua_pushnil(L);
    TLuaTable t(L);
    EXPECT_EQ(t.GetNumber("x", 3), 3);
    EXPECT_STREQ(t.GetString("x", "d").c_str(), "d");
    EXPECT_EQ(t.GetTable("x"), nullptr);
    TLuaObjectWrapper* key = nullptr;
    EXPECT_EQ(t.Next(&key), nullptr);
    EXPECT_EQ(lua_gettop(L), 0);
}

TEST_F(WrapperTest, DeleteLaterNeedsAnOwningScript)
{
    lua_newtable(L);
    TLuaObjectWrapper wrapper(L);
    EXPECT_FALSE(wrapper.DeleteLater());
}

TEST(WrapperScriptTest, WrapIsValidUntilTheScriptRunsAgain)
{
    TScript script;
    lua_State* L = script.GetState();
    lua_newtable(L);
    lua_pushstring(L, "k");
    lua_pushnumber(L, 8);
    lua_settable(L, -3);
    TLuaTable* wrapped = TLuaTable::Wrap(L, -1);
    EXPECT_EQ(lua_gettop(L), 1);
    EXPECT_EQ(wrapped->GetNumber("k", 0), 8);
    lua_pop(L, 1);
    lua_pushlightuserdata(L, wrapped);
    lua_rawget(L, LUA_REGISTRYINDEX);
    EXPECT_TRUE(lua_istable(L, -1));
    lua_pop(L, 1);
    const void* address = wrapped;
    script.DoLuaString("y = 1");
    lua_pushlightuserdata(L, const_cast<void*>(address));
    lua_rawget(L, LUA_REGISTRYINDEX);
    EXPECT_TRUE(lua_isnil(L, -1));
    lua_pop(L, 1);
}

} // namespace
