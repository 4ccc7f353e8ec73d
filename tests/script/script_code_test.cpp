// Compiled script assets: compiled once and shared while held, compiled again once released,
// their bytes a loadable precompiled chunk, and their failures.
#include "script_host_test_support.h"

#include "script/script.h"
#include "script/script_code.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

namespace
{

class ScriptCodeTest : public ScriptHostTest
{
};

TEST_F(ScriptCodeTest, IsAnAssetOfItsOwnClass)
{
    TScriptCode code("x", 1);
    EXPECT_STREQ(code.GetClassName(), "TScriptCode");
    EXPECT_TRUE(code.IsKindOf(TScriptCode::GetClassId()));
    EXPECT_TRUE(code.IsKindOf(TAsset::GetClassId()));
    EXPECT_FALSE(code.IsKindOf(nullptr));
    auto plain = std::make_shared<TAsset>();
    EXPECT_EQ(TScriptCode::DynamicCast(plain), nullptr);
    EXPECT_EQ(TScriptCode::DynamicCast(nullptr), nullptr);
    std::shared_ptr<TAsset> asset = std::make_shared<TScriptCode>("y", 1);
    EXPECT_EQ(TScriptCode::DynamicCast(asset).get(), asset.get());
}

TEST_F(ScriptCodeTest, AnEmptyNameGivesNothing)
{
    TString error;
    EXPECT_EQ(TScriptCode::Get("", "", &error), nullptr);
    EXPECT_EQ(mAssets.GetAssetCount(), 0);
}

TEST_F(ScriptCodeTest, CompilesToAPrecompiledChunk)
{
    Write("assets/one.lua", "value = 41 + 1");
    InitFileSystem();
    TString error;
    std::shared_ptr<TScriptCode> code = TScriptCode::Get("one.lua", "", &error);
    ASSERT_NE(code, nullptr);
    EXPECT_EQ(error.Length(), 0);
    std::string bytes(code->GetCode().c_str(), static_cast<size_t>(code->GetSize()));
    ASSERT_GT(bytes.size(), 22u);
    EXPECT_EQ(bytes.substr(0, 5), std::string("\x1bLua\x50", 5));

    // The chunk runs when handed over as a text of its own length.
    TScript script;
    script.DoLuaString(code->GetCode(), code->GetSize());
    EXPECT_EQ(script.GetGlobalNumber("value"), 42);
}

TEST_F(ScriptCodeTest, ASecondGetWhileHeldCompilesNothing)
{
    Write("assets/shared.lua", "x = 1");
    InitFileSystem();
    std::shared_ptr<TScriptCode> first = TScriptCode::Get("shared.lua", "", nullptr);
    ASSERT_NE(first, nullptr);
    // Changing the file proves that nothing is read or compiled again while the asset is held.
    Write("assets/shared.lua", "x = 2");
    std::shared_ptr<TScriptCode> second = TScriptCode::Get("shared.lua", "", nullptr);
    EXPECT_EQ(second.get(), first.get());
}

TEST_F(ScriptCodeTest, ReleasingTheLastHolderFreesIt)
{
    Write("assets/freed.lua", "x = 1");
    InitFileSystem();
    std::weak_ptr<TScriptCode> watch;
    {
        std::shared_ptr<TScriptCode> held = TScriptCode::Get("freed.lua", "", nullptr);
        ASSERT_NE(held, nullptr);
        watch = held;
    }
    EXPECT_TRUE(watch.expired());
    Write("assets/freed.lua", "x = 2");
    std::shared_ptr<TScriptCode> again = TScriptCode::Get("freed.lua", "", nullptr);
    ASSERT_NE(again, nullptr);
    TScript script;
    script.DoLuaString(again->GetCode(), again->GetSize());
    EXPECT_EQ(script.GetGlobalNumber("x"), 2);
}

TEST_F(ScriptCodeTest, RunScriptReleasesItsReferenceWhenTheRunEnds)
{
    Write("assets/counter.lua", "n = (n or 0) + 1");
    InitFileSystem();
    TScript script;
    EXPECT_TRUE(script.RunScript("counter.lua"));
    EXPECT_EQ(TScriptCode::DynamicCast(mAssets.GetAsset("counter.lua")), nullptr);

    // While someone holds the asset, runs use the held chunk even when the file changed.
    std::shared_ptr<TScriptCode> held = TScriptCode::Get("counter.lua", "", nullptr);
    Write("assets/counter.lua", "n = 100");
    EXPECT_TRUE(script.RunScript("counter.lua"));
    EXPECT_EQ(script.GetGlobalNumber("n"), 2);
    held.reset();
    EXPECT_TRUE(script.RunScript("counter.lua"));
    EXPECT_EQ(script.GetGlobalNumber("n"), 100);
}

TEST_F(ScriptCodeTest, AMissingFileGivesTheLoadersMessage)
{
    InitFileSystem();
    TString error;
    EXPECT_EQ(TScriptCode::Get("absent.lua", "", &error), nullptr);
    EXPECT_NE(std::string(error.c_str()).find("absent.lua"), std::string::npos);
    EXPECT_EQ(TScriptCode::Get("absent.lua", "", nullptr), nullptr);
}

TEST_F(ScriptCodeTest, ASyntaxErrorGivesTheCompilersMessage)
{
    Write("assets/bad.lua", "if then");
    InitFileSystem();
    TString error;
    EXPECT_EQ(TScriptCode::Get("bad.lua", "", &error), nullptr);
    EXPECT_STREQ(error.c_str(), "bad.lua:1: unexpected symbol near `then'");
}

TEST_F(ScriptCodeTest, CompilesWithoutAnAssetManager)
{
    SetAssetManager(nullptr);
    Write("assets/loose.lua", "x = 1");
    InitFileSystem();
    std::shared_ptr<TScriptCode> first = TScriptCode::Get("loose.lua", "", nullptr);
    ASSERT_NE(first, nullptr);
    std::shared_ptr<TScriptCode> second = TScriptCode::Get("loose.lua", "", nullptr);
    ASSERT_NE(second, nullptr);
    EXPECT_NE(first.get(), second.get());
}

TEST_F(ScriptCodeTest, PrecompiledFilesAndWideSourcesLoad)
{
    Write("assets/src.lua", "compiled = 'yes'");
    InitFileSystem();
    std::shared_ptr<TScriptCode> code = TScriptCode::Get("src.lua", "", nullptr);
    ASSERT_NE(code, nullptr);
    Write("assets/pre.luc",
          std::string(code->GetCode().c_str(), static_cast<size_t>(code->GetSize())));
    // "w = 3" in UTF-16 with its byte-order mark.
    Write("assets/wide.lua", std::string("\xFF\xFEw\0 \0=\0 \0"
                                         "3\0",
                                         12));
    InitFileSystem();
    TScript script;
    EXPECT_TRUE(script.RunScript("pre.luc"));
    EXPECT_STREQ(script.GetGlobalString("compiled").c_str(), "yes");
    EXPECT_TRUE(script.RunScript("wide.lua"));
    EXPECT_EQ(script.GetGlobalNumber("w"), 3);
}

} // namespace
