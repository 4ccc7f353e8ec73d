// Light rays: the randomised look inside its ranges, the turn and its period, the flat quad, the
// seed, reversed ranges, the alpha scaled for one draw, and three rays drawn in perspective.
#include "game/effects/godray.h"

#include "framework/framework_display_support.h"
#include "render/textures/texture.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <set>
#include <string>

namespace
{

const char kRay[] =
    "{ texture = 'fx/ray', raydistancemin = 0.5, raydistancemax = 1, rayalphamin = 40, "
    "rayalphamax = 80, raylengthmin = 2, raylengthmax = 3, raywidthmin = 0.2, "
    "raywidthmax = 0.4, rayanglemin = 0.2, rayanglemax = 0.6, rayrotatespeedmin = 4000, "
    "rayrotatespeedmax = 8000 }";

class GodrayTest : public fwtest::FrameworkDisplayTest
{
protected:
    void SetUp() override
    {
        FrameworkDisplayTest::SetUp();
        if (!HasFatalFailure())
            Image("fx/ray.png", 16, 64, 0xFFFFFFFF);
    }
    std::unique_ptr<Godray> Make(const std::string& description = kRay, uint32_t seed = 7)
    {
        auto table = Table(description);
        auto ray = std::make_unique<Godray>(*table, seed);
        ray->Randomise();
        ray->Update();
        return ray;
    }
    // The rays drawn on black around the origin 10 units away, in perspective.
    void DrawRays(std::initializer_list<Godray*> rays, float alpha = 1.0f)
    {
        BeginBlackFrame();
        TRenderer* renderer = TRenderer::Instance();
        ASSERT_TRUE(renderer->Begin3d());
        renderer->SetProjection(0.1f, 1000.0f, 0.785398f, 0);
        TMat4 world;
        world.Translate(TVec3(0, 0, 10));
        renderer->SetWorldMatrix(world);
        renderer->SetBlendMode(0);
        // Texts elsewhere switch filtering off and leave it so.
        renderer->SetTextureFilter(1);
        for (Godray* ray : rays)
            ray->Draw(TDrawSpec(TVec2(), alpha));
        renderer->End3d();
        EndFrame();
    }
};

TEST_F(GodrayTest, LooksStayInsideTheirRanges)
{
    auto table = Table(kRay);
    Godray ray(*table, 3);
    std::set<int> alphas;
    for (int i = 0; i < 400; ++i)
    {
        ray.Randomise();
        alphas.insert(ray.GetAlpha());
        EXPECT_GE(ray.GetLength(), 2.0f);
        EXPECT_LT(ray.GetLength(), 3.0f);
        EXPECT_GE(ray.GetDistance(), 0.5f);
        EXPECT_GE(ray.GetPeriod(), 4000);
        EXPECT_LE(ray.GetPeriod(), 8000);
    }
    EXPECT_EQ(alphas.size(), 41u);
    EXPECT_EQ(*alphas.begin(), 40);
    EXPECT_EQ(*alphas.rbegin(), 80);
    // One endless turn at a time however often it is randomised.
    EXPECT_EQ(mTransforms.GetTransformCount(&ray.GetTransform()), 1u);

    // Reversed ranges give their min; equal periods give that period.
    auto reversed = Make("{ rayalphamin = 90, rayalphamax = 10, raylengthmin = 5, "
                         "raylengthmax = 1, rayrotatespeedmin = 500, rayrotatespeedmax = 500 }");
    EXPECT_EQ(reversed->GetAlpha(), 90);
    EXPECT_EQ(reversed->GetLength(), 5.0f);
    EXPECT_EQ(reversed->GetPeriod(), 500);
}

TEST_F(GodrayTest, TheSameSeedGivesTheSameRayAndItTurns)
{
    auto a = Make(kRay, 99);
    auto b = Make(kRay, 99);
    auto c = Make(kRay, 98);
    for (int i = 0; i < 4; ++i)
    {
        EXPECT_EQ(a->GetCorner(i).x, b->GetCorner(i).x);
        EXPECT_EQ(a->GetCorner(i).z, b->GetCorner(i).z);
    }
    EXPECT_NE(a->GetCorner(0).x, c->GetCorner(0).x);
    const float before = a->GetTransform().GetRotationZ();
    for (int i = 0; i < 10; ++i)
        Step(100, [] {});
    EXPECT_NE(a->GetTransform().GetRotationZ(), before);
    EXPECT_EQ(a->GetTransform().GetRotationZ(), b->GetTransform().GetRotationZ());

    // Texture coordinates: the picture's share of its surface.
    uint32_t w = 0;
    uint32_t h = 0;
    a->GetTexture()->GetSurfaceSize(w, h);
    EXPECT_EQ(a->GetTexCoord(2).x, 16.0f / static_cast<float>(w));
    EXPECT_EQ(a->GetTexCoord(2).y, 64.0f / static_cast<float>(h));
    EXPECT_EQ(a->GetTexCoord(3).x, 0.0f);
}

TEST_F(GodrayTest, WithoutTiltTheRayIsAFlatRectangle)
{
    auto ray = Make("{ raydistancemin = 1, raydistancemax = 1, raylengthmin = 4, "
                    "raylengthmax = 4, raywidthmin = 0.5, raywidthmax = 0.5 }");
    // Turned: the near edge at distance 1, the far edge 4 further out, 1 wide.
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(ray->GetCorner(i).z, 0.0f) << i;
    auto length = [](TVec3 p, TVec3 q) { return std::hypot(p.x - q.x, p.y - q.y); };
    EXPECT_NEAR(length(ray->GetCorner(0), ray->GetCorner(1)), 1.0f, 1e-5f);
    EXPECT_NEAR(length(ray->GetCorner(1), ray->GetCorner(2)), 4.0f, 1e-5f);
    EXPECT_NEAR(length(ray->GetCorner(2), ray->GetCorner(3)), 1.0f, 1e-5f);
    // Unturned: along the y axis.
    ray->GetTransform().SetRotationZ(0.0f);
    ray->Update();
    const float corners[4][2] = {{0.5f, 1.0f}, {-0.5f, 1.0f}, {-0.5f, 5.0f}, {0.5f, 5.0f}};
    for (int i = 0; i < 4; ++i)
    {
        EXPECT_NEAR(ray->GetCorner(i).x, corners[i][0], 1e-5f) << i;
        EXPECT_NEAR(ray->GetCorner(i).y, corners[i][1], 1e-5f) << i;
    }

    // A tilt moves the far edge in depth: the exchanged z values go to the near corners.
    auto tilted = Make("{ raylengthmin = 4, raylengthmax = 4, rayanglemin = 0.5, "
                       "rayanglemax = 0.5 }");
    EXPECT_NEAR(std::fabs(tilted->GetCorner(0).z), 4.0f * std::sin(0.5f), 1e-4f);
    EXPECT_EQ(tilted->GetCorner(2).z, 0.0f);
}

TEST_F(GodrayTest, TheSpecAlphaScalesOneDrawOnly)
{
    auto ray = Make("{ texture = 'fx/ray', rayalphamin = 80, rayalphamax = 80, "
                    "raydistancemin = -1, raydistancemax = -1, raylengthmin = 3, raylengthmax = 3, "
                    "raywidthmin = 1, "
                    "raywidthmax = 1 }");
    ASSERT_EQ(ray->GetAlpha(), 80);
    DrawRays({ray.get()});
    const uint32_t whole = Back(400, 300) & 0xFF;
    DrawRays({ray.get()}, 0.5f);
    const uint32_t half = Back(400, 300) & 0xFF;
    EXPECT_EQ(whole, 80u);
    EXPECT_EQ(half, 40u);
    EXPECT_EQ(ray->GetAlpha(), 80);

    // A ray whose picture did not load is not drawn.
    auto bare = Make("{ texture = 'fx/none', rayalphamin = 255, rayalphamax = 255, "
                     "raylengthmin = 3, raylengthmax = 3, raywidthmin = 1, raywidthmax = 1 }");
    DrawRays({bare.get()});
    EXPECT_EQ(Back(400, 300), 0u);
}

TEST_F(GodrayTest, ThreeRaysInPerspective)
{
    auto a = Make(kRay, 11);
    auto b = Make(kRay, 12);
    auto c = Make(kRay, 13);
    DrawRays({a.get(), b.get(), c.get()});
    rendertest::CompareWithGolden(*Data().mBackBuffer, {150, 50, 650, 550}, "godrays.png");
}

} // namespace
