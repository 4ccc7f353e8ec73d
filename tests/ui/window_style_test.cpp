// Style lookup: own table, then the default style and its "parent" chain (the own "parent" is not
// followed), false as a found value, the conversions of wrongly typed values, and the stack left
// as it was found.
#include "ui_test_support.h"

#include "platform/log.h"

namespace
{

class StyleTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        mStyles.Run("grand = {deep = 'from grandparent', flag = true}\n"
                    "base = {parent = grand, size = 3}\n"
                    "gCurrentDefaultStyle = {parent = base, colour = {0.5, 0.25, 1, 0.75}}\n"
                    "own = {parent = {ignored = 1}, flag = false, text = 12, number = '2.9',"
                    " neg = -2.9, word = 'abc', nan = 0/0, big = 1e300, small = -1e300}");
        mTable = mStyles.Wrap("own");
    }

    uitest::StyleState mStyles;
    std::unique_ptr<TLuaObjectWrapper> mTable;
};

TEST_F(StyleTest, LookupOrder)
{
    TWindowStyle style(mTable.get());
    lua_pushnumber(mStyles.L, 99);
    int top = lua_gettop(mStyles.L);
    EXPECT_EQ(std::string(style.GetString("deep", "none").c_str()), "from grandparent");
    EXPECT_EQ(style.GetInt("size", 0), 3);
    EXPECT_EQ(style.GetInt("ignored", -7), -7);
    EXPECT_EQ(style.GetColor("colour", 1, 1, 1, 1), TVec4(0.5f, 0.25f, 1, 0.75f));
    EXPECT_EQ(style.GetColor("nocolour", 1, 2, 3, 4), TVec4(1, 2, 3, 4));
    // False is a value: found in the own table before the default chain's true.
    EXPECT_FALSE(style.GetBool("flag", true));
    std::unique_ptr<TLuaTable> sub(style.GetTable("colour"));
    ASSERT_NE(sub, nullptr);
    EXPECT_EQ(sub->GetNumberAt(2), 0.25);
    EXPECT_EQ(style.GetTable("absent"), nullptr);
    EXPECT_EQ(style.GetFunction("absent"), nullptr);
    EXPECT_EQ(lua_gettop(mStyles.L), top);
    EXPECT_EQ(lua_tonumber(mStyles.L, -1), 99);
}

TEST_F(StyleTest, ConversionsOfWrongTypes)
{
    TWindowStyle style(mTable.get());
    EXPECT_EQ(std::string(style.GetString("text", "").c_str()), "12");
    EXPECT_EQ(style.GetInt("number", 0), 2);
    EXPECT_EQ(style.GetInt("neg", 0), -2);
    EXPECT_EQ(style.GetNumber("word", 5), 0);
    EXPECT_EQ(style.GetInt("nan", 5), 0);
    EXPECT_EQ(style.GetInt("big", 0), INT32_MAX);
    EXPECT_EQ(style.GetInt("small", 0), INT32_MIN);
    EXPECT_EQ(style.GetColor("word", 1, 1, 1, 1), TVec4());
    EXPECT_FALSE(style.GetBool("word", true));
    EXPECT_TRUE(style.GetBool("text", false));
    EXPECT_EQ(lua_gettop(mStyles.L), 0);
}

TEST_F(StyleTest, WithoutDefaultStyleEveryAbsentKeyGivesTheDefault)
{
    mStyles.Run("gCurrentDefaultStyle = nil");
    TWindowStyle style(mTable.get());
    EXPECT_EQ(style.GetInt("size", 42), 42);
    EXPECT_EQ(std::string(style.GetString("deep", "none").c_str()), "none");
}

} // namespace
