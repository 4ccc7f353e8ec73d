// The layering check on a planted tree, with the project's own rules: each kind of violation is
// found once, and what the rules allow (and names in comments or strings) is not reported.
#include "layer_check.h"
#include "support/files.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;

namespace
{

class LayerCheckTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        std::string error;
        ASSERT_TRUE(LoadLayerRules(MURKWELL_SOURCE_DIR "/tools/layering.txt", mRules, error))
            << error;
    }

    void Plant(const std::string& rel, const std::string& text)
    {
        fs::path path = mRoot / "src" / rel;
        fs::create_directories(path.parent_path());
        std::ofstream(path) << text;
    }

    std::vector<std::string> Check() { return CheckLayering((mRoot / "src").string(), mRules); }
    // The violations in the planted files, and the owner lines that name no planted file.
    std::vector<std::string> InFiles(const std::vector<std::string>& all, bool files)
    {
        std::vector<std::string> some;
        for (const std::string& v : all)
            if ((v.rfind("src/", 0) == 0) == files)
                some.push_back(v);
        return some;
    }

    TLayerRules mRules;
    // A folder of the test's own: another process running the same test plants its tree apart.
    testsupport::ScratchFolder mScratch{"mw_layercheck"};
    fs::path mRoot = mScratch.Path();
};

TEST_F(LayerCheckTest, FindsEachPlantedViolationAndNothingElse)
{
    Plant("platform/bad.cpp", "// exit(1) and fopen( in a comment are fine\n"
                              "#include \"platform/file.h\"\n"
                              "#include \"render/texture.h\"\n"
                              "#include <unistd.h>\n"
                              "#include <vector>\n"
                              "#include <zlib.h>\n"
                              "const char* kText = \"printf(\";\n"
                              "void F() { std::exit(1); }\n"
                              "int n = 1'000; char q = '\"'; void G() { getenv(\"HOME\"); }\n");
    Plant("sound/voice.h", "#include \"ui/button.h\"\n");
    Plant("ui/button.h", "#include \"sound/voice.h\"\n#include <SDL.h>\n"
                         "void H() __attribute__((format(printf, 1, 2)));\n");
    Plant("sys/window/window.cpp", "#include <SDL.h>\n#include <sys/stat.h>\n"
                                   "void W() { std::thread t; fprintf(stderr, \"x\"); }\n");
    Plant("platform/log.cpp", "void D() { std::fopen(\"a\", \"r\"); my_fopen(); }\n");
    // The framework's purpose folders are floors of their own: widgets stand on core, core reaches
    // up only to what the rules name (the frame driver's screens), and never to widgets.
    Plant("framework/widgets/w.h", "#include \"framework/core/c.h\"\n");
    Plant("framework/core/c.h", "#include \"framework/widgets/w.h\"\n"
                                "#include \"framework/screens/s.h\"\n");
    Plant("framework/screens/s.h", "#include \"framework/widgets/w.h\"\n");
    Plant("framework/sound/n.h", "#include \"framework/transforms/t.h\"\n");
    Plant("script/core/vm.cpp", "#include \"script/lib/base.h\"\n");
    Plant("newfolder/x.cpp", "");

    std::vector<std::string> all = Check();
    std::vector<std::string> stale = InFiles(all, false);
    // Owner lines are checked too: one naming no file would hide a later violation there.
    EXPECT_NE(std::find(stale.begin(), stale.end(),
                        "owner exit script/core/calls.cpp: no such file in src/"),
              stale.end());
    EXPECT_EQ(
        std::find(stale.begin(), stale.end(), "owner fopen platform/log.cpp: no such file in src/"),
        stale.end());
    EXPECT_EQ(InFiles(all, true),
              (std::vector<std::string>{
                  "src/framework/core/c.h:1: includes \"framework/widgets/w.h\" but "
                  "framework/widgets is not below framework/core",
                  "src/framework/sound/n.h:1: includes \"framework/transforms/t.h\" but "
                  "framework/transforms is not below framework/sound",
                  "src/newfolder/x.cpp:1: folder \"newfolder\" is on no floor of the rules",
                  "src/platform/bad.cpp:3: includes \"render/texture.h\" but render is not below "
                  "platform",
                  "src/platform/bad.cpp:4: system header <unistd.h> outside the system folder "
                  "(wrap it in src/sys/)",
                  "src/platform/bad.cpp:8: uses exit outside the owners of \"exit\" (add an owner "
                  "line with its reason to the rules)",
                  "src/platform/bad.cpp:9: uses getenv outside the owners of \"getenv\" (add an "
                  "owner line with its reason to the rules)",
                  "src/sound/voice.h:1: includes \"ui/button.h\" but ui is not below sound",
                  "src/ui/button.h:2: system header <SDL.h> outside the system folder (wrap it in "
                  "src/sys/)",
              }));
}

TEST_F(LayerCheckTest, RulesFileErrorsNameTheLine)
{
    fs::create_directories(mRoot);
    std::string error;
    std::ofstream(mRoot / "a.txt") << "floor sys\nowner fopen sys/x.cpp\n";
    EXPECT_FALSE(LoadLayerRules((mRoot / "a.txt").string(), mRules, error));
    EXPECT_EQ(error, (mRoot / "a.txt").string() + ":2: an owner line needs its reason");
    std::ofstream(mRoot / "b.txt") << "floor sys\nowner nosuch sys/x.cpp why\n";
    EXPECT_FALSE(LoadLayerRules((mRoot / "b.txt").string(), mRules, error));
    EXPECT_EQ(error, (mRoot / "b.txt").string() +
                         ":2: owner of an unknown group \"nosuch\" (watch it first)");
}

} // namespace
