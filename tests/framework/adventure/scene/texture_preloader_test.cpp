// The texture preloader on the headless display: its lists (the scene's extra names first), a
// name met twice loaded once from the cache, the previous scene's pictures let go, and slices of
// 16 ms on a clock that moves with each reading.
#include "framework/adventure/scene/texture_preloader.h"

#include "framework/adventure/entities/entity_test_support.h"
#include "framework/adventure/scene/gameplay_scene.h"
#include "framework/adventure/scene/scene_test_support.h"
#include "render/textures/texture.h"
#include "sys/clock.h"

#include <memory>

namespace
{

// Each reading 5 ms later than the one before.
uint32_t SteppingClock()
{
    sys::AdvanceManualClock(5);
    return sys::GetTimeMs();
}

class PreloaderTest : public advtest::EntityDisplayTest
{
protected:
    void SetUp() override
    {
        EntityDisplayTest::SetUp();
        for (const char* name : {"a", "b", "c", "d", "e"})
            Image(std::string("pics/") + name + ".png", 4, 4, 0xFF808080u);
        sys::SetManualClock(true, 1000);
    }
    void TearDown() override
    {
        sys::SetManualClock(false);
        EntityDisplayTest::TearDown();
    }
    std::unique_ptr<GameplayScene> Make(const std::string& entities)
    {
        auto info = Table("{}");
        auto scene = Table("{ entities = " + entities + " }");
        return std::make_unique<GameplayScene>(mFactory, *info, "hall", *scene, nullptr, *info);
    }
    scenetest::Log mLog;
    scenetest::TestFactory mFactory{mLog};
};

TEST_F(PreloaderTest, ListsLoadsOnceAndLetsThePreviousSceneGo)
{
    auto scene = Make("{ { name = 'x', depth = 2, textures = { 'pics/b', 'pics/a' }, "
                      "animations = { 'anim/none' } }, "
                      "{ name = 'y', depth = 1, textures = { 'pics/a' } } }");
    scene->GetExtraTextureNames().push_back("pics/c");
    scene->GetExtraAnimationNames().push_back("anim/extra");
    TexturePreloader preloader;
    preloader.Fill(*scene);
    EXPECT_EQ(preloader.GetTextureNames(),
              (std::vector<TString>{"pics/c", "pics/b", "pics/a", "pics/a"}));
    EXPECT_EQ(preloader.GetAnimationNames(), (std::vector<TString>{"anim/extra", "anim/none"}));
    EXPECT_TRUE(preloader.Step()); // the platform clock stands still here: one slice
    const auto& kept = preloader.GetKept();
    ASSERT_EQ(kept.size(), 4u); // the animations do not exist: logged, not kept
    EXPECT_EQ(kept[2], kept[3]);
    EXPECT_EQ(kept[2], TTexture::Get("pics/a", 0));

    std::weak_ptr<TTexture> previous = kept[0];
    auto next = Make("{ { name = 'z', textures = { 'pics/d' } } }");
    preloader.Fill(*next);
    EXPECT_TRUE(preloader.GetKept().empty());
    EXPECT_TRUE(previous.expired());
}

TEST_F(PreloaderTest, StepsInSlicesOf16Ms)
{
    auto scene = Make("{ { name = 'x', textures = { 'pics/a', 'pics/b', 'pics/c', 'pics/d', "
                      "'pics/e' } } }");
    TexturePreloader preloader(&SteppingClock);
    preloader.Fill(*scene);
    // Each load's check reads 5 ms more: the fourth's is 20 ms past the start.
    EXPECT_FALSE(preloader.Step());
    EXPECT_EQ(preloader.GetKept().size(), 4u);
    EXPECT_TRUE(preloader.Step());
    EXPECT_EQ(preloader.GetKept().size(), 5u);
    EXPECT_TRUE(preloader.Step());
}

} // namespace
