// Textures named by particle descriptions: loaded by name, else one the description's folder
// already holds.
#include "render/render_test_support.h"

#include "particles/lua_particle_system.h"
#include "particles/particle_renderer_2d.h"
#include "platform/files/file_layer.h"
#include "render/textures/texture.h"
#include "support/files.h"

#include <gtest/gtest.h>

namespace
{
using namespace rendertest;

class ParticleTextureTest : public DisplayTest
{
protected:
    void SetUp() override
    {
        DisplayTest::SetUp();
        Platform().SetDisplay(800, 600, false, false, false, false);
        ASSERT_TRUE(Platform().IsDisplayReady());
        mPng = testsupport::ReadFile(MURKWELL_TEST_DATA "/particles/blend_modes.png");
        ASSERT_FALSE(mPng.empty());
        RegisterMemoryFileName("fx/dot.png", mPng.data(), static_cast<uint32_t>(mPng.size()));
    }
    void TearDown() override
    {
        RegisterMemoryFileName("fx/dot.png", nullptr, 0);
        DisplayTest::TearDown();
    }
    std::string mPng;
};

TEST_F(ParticleTextureTest, ByNameThenFromTheDescriptionsFolder)
{
    T2dParticleRenderer renderer;
    TLuaParticleSystem system(&renderer);
    ASSERT_TRUE(system.Load("SetTexture('fx/dot.png')"));
    ASSERT_NE(renderer.mTexture, nullptr);
    EXPECT_EQ(renderer.mTexture, TTexture::Get("fx/dot.png", 0));

    // "dot.png" itself does not load; the folder's copy is found only while someone holds it.
    std::shared_ptr<TTexture> held = renderer.mTexture;
    renderer.SetTexture(nullptr);
    RegisterMemoryFileName("fx/spark.lua", "SetTexture('dot.png')", 21);
    ASSERT_TRUE(system.Load("fx/spark.lua"));
    EXPECT_EQ(renderer.mTexture, held);
    renderer.SetTexture(nullptr);
    held.reset();
    ASSERT_TRUE(system.Load("fx/spark.lua"));
    EXPECT_EQ(renderer.mTexture, nullptr);
    RegisterMemoryFileName("fx/spark.lua", nullptr, 0);
}
} // namespace
