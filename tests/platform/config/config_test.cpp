// The configuration store: defaults, IsEnabled's reading, key order, side effects.
#include "platform/config/cipher.h"
#include "platform/config/config.h"

#include <gtest/gtest.h>

#include <vector>

namespace
{
class ConfigTest : public ::testing::Test
{
protected:
    void SetUp() override { ClearConfig(); }
    void TearDown() override
    {
        ClearConfigOptionHandler();
        ClearConfig();
    }

    static TString Seal(const TString& key, const TString& plain)
    {
        TCipher cipher(key);
        char text[128];
        EXPECT_EQ(cipher.Encrypt(plain.c_str(), plain.Length(), text, sizeof text, true), 0);
        return TString(text);
    }
};
} // namespace

TEST_F(ConfigTest, DefaultUntilSetEvenToEmpty)
{
    EXPECT_STREQ(GetConfig("x", "d").c_str(), "d");
    SetConfig("x", "");
    EXPECT_STREQ(GetConfig("x", "d").c_str(), "");
    SetConfig("x", "v");
    EXPECT_STREQ(GetConfig("x", "d").c_str(), "v");
    EXPECT_STREQ(GetConfig("X", "d").c_str(), "d");
    ClearConfig();
    EXPECT_STREQ(GetConfig("x", "gone").c_str(), "gone");
}

TEST_F(ConfigTest, IsEnabledReadsAnInteger)
{
    const std::vector<std::pair<const char*, bool>> cases = {
        {"1", true},  {"2", true},    {"007", true},   {"-1", true}, {" 1", true},
        {"0", false}, {"yes", false}, {"true", false}, {"", false},  {"0x1", false}};
    for (const auto& [value, enabled] : cases)
    {
        SetConfig("flag", value);
        EXPECT_EQ(IsEnabled("flag"), enabled) << '"' << value << '"';
    }
    EXPECT_FALSE(IsEnabled("absent"));
}

TEST_F(ConfigTest, LegacyLineWrapSwitchesOnWhateverTheValue)
{
    SetConfig("legacylinewrap", "0");
    EXPECT_TRUE(IsLegacyLineWrap());
}

TEST_F(ConfigTest, CheatSwitchMatchesTheComputerId)
{
    SetConfig("computerid", "ABCDEFGHIJKLMNOP");
    SetConfig("encryptionkey", "gamekey12345");
    EXPECT_STREQ(GetConfig("cheatmode", "unset").c_str(), "unset");
    SetConfig("cheatcode", Seal("gamekey12345", "ABCDEFGHIJKLMNOP"));
    EXPECT_STREQ(GetConfig("cheatmode", "unset").c_str(), "1");
    SetConfig("cheatcode", Seal("gamekey12345", "SOMEOTHERMACHINE"));
    EXPECT_STREQ(GetConfig("cheatmode", "unset").c_str(), "0");
    SetConfig("cheatcode", "garbage!");
    EXPECT_STREQ(GetConfig("cheatmode", "unset").c_str(), "0");
}

TEST_F(ConfigTest, CheatCodeBeforeTheKeyWaitsForIt)
{
    SetConfig("computerid", "ABCDEFGHIJKLMNOP");
    SetConfig("cheatcode", Seal("gamekey12345", "ABCDEFGHIJKLMNOP"));
    EXPECT_STREQ(GetConfig("cheatmode", "unset").c_str(), "unset");
    // Reading the absent key created it, empty.
    EXPECT_STREQ(GetConfig("encryptionkey", "absent").c_str(), "");
    SetConfig("encryptionkey", "gamekey12345");
    EXPECT_STREQ(GetConfig("cheatmode", "unset").c_str(), "1");
}

TEST_F(ConfigTest, KeyOnlyCreatesAnEmptyCheatCode)
{
    SetConfig("encryptionkey", "gamekey12345");
    EXPECT_STREQ(GetConfig("cheatcode", "absent").c_str(), "");
    EXPECT_STREQ(GetConfig("cheatmode", "unset").c_str(), "unset");
}

TEST_F(ConfigTest, OptionsReachTheFacadeOnlyOnceItExists)
{
    std::vector<bool> vsync;
    std::vector<float> scales;
    SetConfig("vsync", "1");
    EXPECT_TRUE(vsync.empty());
    SetConfigOptionHandler(
        {[&](bool on) { vsync.push_back(on); }, [&](float scale) { scales.push_back(scale); }});
    SetConfig("vsync", "1");
    SetConfig("vsync", "off");
    SetConfig("viewportscale", "1.25");
    SetConfig("other", "1");
    ASSERT_EQ(vsync.size(), 2u);
    EXPECT_TRUE(vsync[0]);
    EXPECT_FALSE(vsync[1]);
    ASSERT_EQ(scales.size(), 1u);
    EXPECT_FLOAT_EQ(scales[0], 1.25f);
}

TEST_F(ConfigTest, KeysAreCaseSensitiveInByteOrder)
{
    SetConfig("Key", "upper");
    SetConfig("key", "lower");
    EXPECT_STREQ(GetConfig("Key").c_str(), "upper");
    EXPECT_STREQ(GetConfig("key").c_str(), "lower");
}
