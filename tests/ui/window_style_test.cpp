// Style lookup: own table, then the default style and its "parent" chain (the own "parent" is not
// followed), false as a found value, the conversions of wrongly typed values, and the stack left
// as it was found.
#include "ui_test_support.h"

#include "platform/log.h"
#include "support/files.h"

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

// A chain that comes back on itself, or runs deeper than any screen builds, ends the lookup with
// one line per style, and the key reads as absent; the stack stays as it was.
TEST_F(StyleTest, ParentChainsThatLoopOrRunTooDeepAnswerAbsent)
{
    testsupport::ScratchFolder folder("mw_style");
    SetLogFolder(folder.Path().c_str());
    mStyles.Run("looped = {name = 'looped'}\n"
                "looped.parent = looped\n"
                "gCurrentDefaultStyle = {parent = looped}\n"
                "local deep = {deepest = 1}\n"
                "for i = 1, 10000 do deep = {parent = deep} end\n"
                "chain = deep\n");
    TWindowStyle style(mTable.get());
    EXPECT_EQ(style.GetInt("size", 42), 42);
    EXPECT_EQ(style.GetInt("other", 3), 3);
    EXPECT_EQ(lua_gettop(mStyles.L), 0);

    mStyles.Run("gCurrentDefaultStyle = chain");
    EXPECT_EQ(style.GetInt("deepest", 5), 5);
    lua_getglobal(mStyles.L, "chain");
    EXPECT_FALSE(TWindowStyle::Find(mStyles.L, "deepest", false));
    EXPECT_EQ(lua_gettop(mStyles.L), 1);
    lua_pop(mStyles.L, 1);
    // 64 styles are still followed.
    mStyles.Run("local deep = {deepest = 7}\n"
                "for i = 1, 63 do deep = {parent = deep} end\n"
                "gCurrentDefaultStyle = deep\n");
    EXPECT_EQ(style.GetInt("deepest", 5), 7);

    const std::string log = testsupport::ReadFile(GetLogPath().c_str());
    SetLogFolder(nullptr);
    EXPECT_NE(log.find(": Window style looped: its \"parent\" chain comes back to itself "
                       "(reading \"size\"); the key counts as absent\n"),
              std::string::npos)
        << log;
    EXPECT_NE(
        log.find(": Window style (unnamed): its \"parent\" chain is deeper than 64 styles (reading "
                 "\"deepest\"); the key counts as absent\n"),
        std::string::npos)
        << log;
    // One line for each broken table, however often it is read.
    size_t lines = 0;
    for (size_t at = log.find("Window style"); at != std::string::npos;
         at = log.find("Window style", at + 1))
        ++lines;
    EXPECT_EQ(lines, 2u) << log;
}

} // namespace
