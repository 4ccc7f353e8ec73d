// The asset map over files the tests write: probing order, case-sensitive extensions, "\" names,
// reuse through the asset cache, the map holding its assets, GetTexture with and without
// auto-load, quiet loads, the three messages byte for byte, and a registered fake sound loader.
#include "render/render_test_support.h"

#include "render/image_writers.h"
#include "platform/files/asset_manager.h"
#include "render/sprites/animated_texture.h"
#include "render/textures/asset_map.h"
#include "render/renderer/model.h"
#include "render/textures/texture.h"
#include "script/script_code.h"
#include "support/files.h"

using namespace rendertest;

namespace
{

class FakeSound : public TAsset
{
public:
    static TAssetClassId GetClassId()
    {
        static const char id = 0;
        return &id;
    }
    bool IsKindOf(TAssetClassId id) const override
    {
        return id == GetClassId() || TAsset::IsKindOf(id);
    }
};

std::string PngBytes()
{
    imagetest::PngPlan plan;
    plan.width = 2;
    plan.height = 2;
    plan.samples = {255, 0, 0, 0, 255, 0, 0, 0, 255, 255, 255, 255};
    return imagetest::EncodePng(plan);
}

const std::string kEmptyMesh = std::string("TRIS") + std::string(4, '\0');

class AssetMapTest : public DisplayTest
{
protected:
    void SetUp() override
    {
        DisplayTest::SetUp();
        Platform().SetDisplay(800, 600, false, false, false, false);
        ASSERT_TRUE(Platform().IsDisplayReady());
    }
    void TearDown() override
    {
        SetAssetMapSoundLoader(nullptr, {});
        DisplayTest::TearDown();
    }
    void Write(const std::string& name, const std::string& bytes)
    {
        testsupport::WriteFile(mScratch.Root() + "/user/" + name, bytes);
    }
    void Remove(const std::string& name)
    {
        std::remove((mScratch.Root() + "/user/" + name).c_str());
    }
    void RegisterFakeSound()
    {
        SetAssetMapSoundLoader(FakeSound::GetClassId(),
                               [this](const TString& name)
                               {
                                   mSoundLoads.push_back(name.c_str());
                                   return std::make_shared<FakeSound>();
                               });
    }
    bool Logged(const std::string& line) const { return CountOf(Log(), line + "\n") == 1; }

    std::vector<std::string> mSoundLoads;
};

TEST_F(AssetMapTest, ProbesTheStandardExtensionsInOrder)
{
    Write("pic.png", PngBytes());
    Write("pic.mesh", kEmptyMesh);
    Write("pic.lua", "x = 1");
    Write("shape.mesh", kEmptyMesh);
    Write("shape.lua", "x = 1");
    Write("code.lua", "x = 1");
    Write("maps/both.xml", "<sequence><img w=\"2\" h=\"2\" name=\"both.png\"/><framelist>"
                           "<frame x=\"0\" y=\"0\" w=\"2\" h=\"2\"/></framelist></sequence>");
    Write("maps/both.png", PngBytes());
    TAssetMap map;
    map.AddAsset("user:pic", nullptr);
    map.AddAsset("user:shape", nullptr);
    map.AddAsset("user:code", nullptr);
    map.AddAsset("user:maps/both", nullptr);
    EXPECT_NE(map.GetTexture("user:pic"), nullptr) << ".png before .mesh and .lua";
    EXPECT_NE(std::dynamic_pointer_cast<TModel>(GetAssetManager()->GetAsset("user:shape")), nullptr)
        << ".mesh before .lua";
    EXPECT_NE(std::dynamic_pointer_cast<TScriptCode>(GetAssetManager()->GetAsset("user:code")),
              nullptr);
    auto animated = TAnimatedTexture::FromTexture(map.GetTexture("user:maps/both"));
    ASSERT_NE(animated, nullptr) << ".xml is probed first";
    EXPECT_EQ(GetAssetManager()->GetAsset("user:maps/both::"), animated);
    EXPECT_EQ(Log().find("TAssetMap"), std::string::npos) << Log();
}

TEST_F(AssetMapTest, NamesWithExtensionsCaseAndBackslashes)
{
    Write("dir/pic.png", PngBytes());
    Write("dir/upper.PNG", PngBytes());
    TAssetMap map;
    map.AddAsset("user:dir/pic.png", nullptr);
    EXPECT_TRUE(map.HasAsset("user:dir/pic.png"));
    EXPECT_FALSE(map.HasAsset("user:dir/pic")) << "the key keeps the extension";

    map.AddAsset("user:dir\\pic", nullptr);
    EXPECT_TRUE(map.HasAsset("user:dir/pic"));
    EXPECT_TRUE(map.HasAsset("user:dir\\pic"));
    EXPECT_EQ(map.GetTexture("user:dir\\pic"), map.GetTexture("user:dir/pic.png"));

    map.AddAsset("user:dir/upper.PNG", nullptr);
    EXPECT_FALSE(map.HasAsset("user:dir/upper.PNG"));
    EXPECT_TRUE(Logged("TAssetMap::AddAsset: Error loading user:dir/upper.PNG")) << Log();
}

TEST_F(AssetMapTest, MissingNamesLogUnlessQuiet)
{
    TAssetMap map;
    map.AddAsset("user:nothing", nullptr, true);
    EXPECT_EQ(Log().find("TAssetMap"), std::string::npos);
    map.AddAsset("user:nothing?group=1", nullptr);
    EXPECT_TRUE(Logged("TAssetMap::AddAsset: Failed to find asset user:nothing?group=1 with any "
                       "standard extension (jpg/jp2/png/anm/xml/ogg/mesh)"))
        << Log();
    Write("bad.mesh", "TRIS\x01");
    map.AddAsset("user:bad", nullptr, true);
    EXPECT_EQ(Log().find("TAssetMap::AddAsset: Error"), std::string::npos) << "quiet";
}

TEST_F(AssetMapTest, CacheReuseAndTheMapHoldsItsAssets)
{
    Write("m.mesh", kEmptyMesh);
    Write("p.png", PngBytes());
    auto first = std::make_unique<TAssetMap>();
    first->AddAsset("user:m", nullptr);
    first->AddAsset("user:p?x=1", nullptr);
    Remove("m.mesh");
    TAssetMap second;
    second.AddAsset("user:m", nullptr);
    EXPECT_TRUE(second.HasAsset("user:m")) << "found in the asset cache, not the file";
    // The texture's key: its own cache key of the requested name with the options once more.
    EXPECT_NE(GetAssetManager()->GetAsset(TTexture::FileKey("user:p?x=1?x=1", 0, false)), nullptr);

    second.AddAsset("user:m", std::make_shared<FakeSound>());
    EXPECT_NE(GetAssetManager()->GetAsset("user:m"), nullptr) << "the first map still holds it";
    first.reset();
    EXPECT_EQ(GetAssetManager()->GetAsset("user:m"), nullptr);
    EXPECT_EQ(Log().find("TAssetMap"), std::string::npos) << Log();
}

TEST_F(AssetMapTest, GetTextureWithAndWithoutAutoLoad)
{
    Write("tex.png", PngBytes());
    Write("snd.ogg", "OggS");
    RegisterFakeSound();
    TAssetMap map;
    EXPECT_FALSE(map.GetAutoLoad());
    EXPECT_EQ(map.GetTexture("user:tex"), nullptr);
    EXPECT_TRUE(Logged("Texture asset not found: user:tex (auto load set to false)")) << Log();
    map.SetAutoLoad(true);
    auto texture = map.GetTexture("user:tex");
    ASSERT_NE(texture, nullptr);
    EXPECT_EQ(texture->GetWidth(), 2u);
    EXPECT_EQ(map.GetTexture("user:missing"), nullptr);
    EXPECT_TRUE(Logged("Texture asset not found: user:missing (auto load set to true)")) << Log();

    map.AddAsset("user:snd", nullptr);
    const std::string before = Log();
    EXPECT_EQ(map.GetTexture("user:snd"), nullptr);
    EXPECT_EQ(Log(), before) << "a sound is no texture, and nothing is logged";
}

TEST_F(AssetMapTest, SoundsThroughTheRegisteredLoader)
{
    Write("snd.ogg", "OggS");
    Write("voice.spx", "Speex");
    TAssetMap map;
    map.AddAsset("user:snd?group=2", nullptr);
    EXPECT_FALSE(map.HasAsset("user:snd?group=2"));
    EXPECT_TRUE(Logged("TAssetMap::AddAsset: Error loading user:snd.ogg?group=2")) << Log();

    RegisterFakeSound();
    map.AddAsset("user:snd?group=2", nullptr);
    TAssetMap other;
    other.AddAsset("user:snd?group=2", nullptr);
    map.AddAsset("user:voice", nullptr);
    EXPECT_EQ(mSoundLoads, (std::vector<std::string>{"user:snd.ogg?group=2", "user:voice.spx"}));
    auto cached = GetAssetManager()->GetAsset("user:snd?group=2;0;2");
    ASSERT_NE(cached, nullptr);
    EXPECT_TRUE(other.HasAsset("user:snd?group=2"));
    EXPECT_NE(GetAssetManager()->GetAsset("user:voice;0;0"), nullptr);
}

} // namespace
