// Lirae's clickables and tokens: a pass's length and fades, straight through the centre, equal
// seeds giving equal passes, the mirror while moving right, only the first pass delayed, passes of
// at least 1 ms, the looping pulse, the flight's notice once, and the token's fade and move.
#include "game/minigames/hintboards/gameplay_hint_lirae_clickable.h"

#include "game/minigames/hintboards/gameplay_hint_lirae_token.h"
#include "game/minigames/hintboards/hint_minigame_test_support.h"
#include "particles/lua_particle_system.h"
#include "render/sprites/sprite.h"

#include <gtest/gtest.h>

#include <cmath>

namespace
{

class LiraePieceTest : public hinttest::HintTest
{
protected:
    // A list starts at the first frame after it is handed over: the clock runs before a test
    // starts one, and each test steps once (list time 0) before it measures.
    void SetUp() override
    {
        HintTest::SetUp();
        if (!HasFatalFailure())
            Step(16);
    }
    // A clickable drifting on a circle of 100 around (400, 240).
    std::unique_ptr<GameplayHintLiraeClickable> Clickable(uint32_t seed, int time = 1001,
                                                          const std::string& extra = "")
    {
        const std::string t = std::to_string(time);
        Do("_c = { image = 'hint/glyphs', timemin = " + t + ", timemax = " + t +
           ", fademin = 600, fademax = 600, fadetime = 100, centerx = 400, centery = 240, "
           "maxdistance = 100, validanglediff = 0, alphamin = 0.2, alphamax = 0.8, minscale = "
           "0.5, maxtransscale = 1.5, mintransscale = 0.5, " +
           extra + " }");
        std::unique_ptr<TLuaTable> table(mScript->GetGlobalTable("_c"));
        return std::make_unique<GameplayHintLiraeClickable>(*table, seed);
    }
    static TVec2 At(GameplayHintLiraeClickable& c)
    {
        return TVec2(c.GetSpriteTransform().GetX(), c.GetSpriteTransform().GetY());
    }
    static float Distance(const TVec2& a, const TVec2& b)
    {
        return std::hypot(a.x - b.x, a.y - b.y);
    }
};

TEST_F(LiraePieceTest, PassOf1001MsCrossesTheCentreWithFadesOf500Ms)
{
    auto c = Clickable(7);
    c->StartPass(0);
    Step(1);
    const TVec2 start = At(*c);
    EXPECT_NEAR(Distance(start, TVec2(400, 240)), 100.0f, 0.01f);
    const TVec2 end(800 - start.x, 480 - start.y);
    Step(500);
    // The fade-out starts in the same step, so the value is a hair under 1.
    EXPECT_NEAR(c->GetSpriteTransform().GetAlpha(), 1.0f, 0.003f) << "faded in at 500 ms";
    EXPECT_LT(Distance(At(*c), TVec2(400, 240)), 0.3f) << "through the centre";
    Step(500);
    EXPECT_FLOAT_EQ(c->GetSpriteTransform().GetAlpha(), 0.0f) << "faded out 1 ms before the move";
    EXPECT_LT(Distance(At(*c), end), 0.5f);
    Step(1);
    EXPECT_GT(Distance(At(*c), end), 1.0f) << "the next pass began at 1001 ms";
}

TEST_F(LiraePieceTest, EqualSeedsGiveEqualPassesMirroredWhileMovingRight)
{
    auto a = Clickable(42);
    auto b = Clickable(42);
    auto other = Clickable(43);
    a->StartPass(0);
    b->StartPass(0);
    other->StartPass(0);
    for (int i = 0; i < 120; ++i)
    {
        Step(16);
        ASSERT_EQ(At(*a).x, At(*b).x) << i;
        ASSERT_EQ(At(*a).y, At(*b).y) << i;
    }
    EXPECT_NE(At(*a).x, At(*other).x);

    // A pass that keeps its scale shows the mirror its direction gives.
    int checked = 0;
    for (uint32_t seed = 1; seed <= 12; ++seed)
    {
        auto c = Clickable(seed);
        c->StartPass(0);
        if (c->IsGrowing() || c->IsShrinking())
            continue;
        Step(1);
        const bool right = At(*c).x < 400.0f;
        EXPECT_EQ(c->GetSpriteTransform().GetScaleX(), right ? -1.0f : 1.0f) << seed;
        ++checked;
    }
    EXPECT_GT(checked, 2);
}

TEST_F(LiraePieceTest, OnlyTheFirstPassWaitsAndNoPassIsShorterThan1Ms)
{
    auto c = Clickable(5);
    c->StartPass(300);
    Step(1);
    Step(299);
    EXPECT_GT(std::abs(At(*c).x), 400.0f) << "off screen until the delayed move begins";
    Step(1001);
    EXPECT_LT(std::abs(At(*c).x), 600.0f);
    Step(1);
    EXPECT_EQ(std::abs(At(*c).x), 1000.0f) << "ended at 1301 ms and started again";
    Step(1);
    EXPECT_NEAR(Distance(At(*c), TVec2(400, 240)), 100.0f, 0.01f) << "the second pass at once";

    // Passes of 0 ms last 1 ms: a step ends one pass and starts the next, no more.
    auto quick = Clickable(9, 0);
    quick->StartPass(0);
    for (int i = 0; i < 5; ++i)
    {
        Step(16);
        const float d = Distance(At(*quick), TVec2(400, 240));
        EXPECT_TRUE(std::abs(At(*quick).x) == 1000.0f || std::abs(d - 100.0f) < 0.01f) << i;
    }
}

TEST_F(LiraePieceTest, PulseLoopsBetweenItsAlphasAndTheFlightTellsOnce)
{
    auto c = Clickable(3);
    c->StartPulse();
    Step(1);
    Step(300);
    EXPECT_NEAR(c->GetPulseTransform().GetAlpha(), 0.8f, 0.003f);
    Step(300);
    EXPECT_FLOAT_EQ(c->GetPulseTransform().GetAlpha(), 0.2f);
    // The next round starts at the next step.
    Step(1);
    Step(300);
    EXPECT_NEAR(c->GetPulseTransform().GetAlpha(), 0.8f, 0.003f) << "looping";

    c->SetActive(true);
    c->StartPass(0);
    Step(50);
    adventuretest::Calls placed;
    c->SetTarget(TVec2(340, 450));
    c->FlyToDestination(&placed.mCallback);
    EXPECT_FALSE(c->IsActive());
    Step(1);
    Step(50);
    EXPECT_EQ(placed.Count(), 0u);
    Step(50);
    EXPECT_EQ(placed.Count(), 1u);
    EXPECT_EQ(At(*c).x, 340.0f);
    EXPECT_EQ(At(*c).y, 450.0f);
    EXPECT_FLOAT_EQ(c->GetSpriteTransform().GetAlpha(), 0.0f);
    EXPECT_FLOAT_EQ(c->GetSpriteTransform().GetScaleY(), 0.5f);
    const float pulse = c->GetPulseTransform().GetAlpha();
    c->OnFlightDone();
    Step(400);
    EXPECT_EQ(placed.Count(), 1u) << "once per flight";
    EXPECT_EQ(c->GetPulseTransform().GetAlpha(), pulse) << "the pulse stopped where it was";
    EXPECT_EQ(c->GetParticles(), nullptr) << "no \"foundparticles\", no effect";
}

TEST_F(LiraePieceTest, FlightParticlesLastWhileSwitchedOnOrStillAlive)
{
    Serve("fx/trail.lua",
          "SetNumParticles(16) pLife = Allocate(1) pPosition:Init(dLocus) pLife:Init(0) "
          "pLife:Anim(pLife + fTimeScale(1)) Anim(fExpire(fLess(0.1, pLife))) "
          "function Update(s) if (gActive or 1) ~= 0 then CreateParticles(200 * s) end end");
    auto c = Clickable(4, 1001, "foundparticles = 'fx/trail.lua', fadetime = 96, ");
    c->StartPass(0);
    Step(1);
    c->SetTarget(TVec2(340, 450));
    c->FlyToDestination(nullptr);
    ASSERT_NE(c->GetParticles(), nullptr);
    auto frame = [&]
    {
        Step(16);
        c->Update(16);
    };
    for (int i = 0; i < 4; ++i)
        frame();
    EXPECT_GT(c->GetParticles()->GetParticleCount(), 0u) << "spawning at the flying glyph";
    for (int i = 0; i < 3; ++i)
        frame();
    // Landed: switched off, but its sparks still live.
    ASSERT_NE(c->GetParticles(), nullptr);
    EXPECT_GT(c->GetParticles()->GetParticleCount(), 0u);
    for (int i = 0; i < 12 && c->GetParticles() != nullptr; ++i)
        frame();
    EXPECT_EQ(c->GetParticles(), nullptr) << "dropped once off and empty";
}

TEST_F(LiraePieceTest, TokenFadesInAndMovesScalingToItsDestination)
{
    Do("_t = { image = 'hint/glyphs', timetodestination = 100, originalpositionx = 400, "
       "originalpositiony = 440, scaletodestination = 0.5 }");
    std::unique_ptr<TLuaTable> table(mScript->GetGlobalTable("_t"));
    GameplayHintLiraeToken token(*table);
    EXPECT_EQ(token.GetStartPosition().x, 400.0f);
    EXPECT_EQ(token.GetStartPosition().y, 440.0f);
    EXPECT_EQ(token.GetTimeToDestination(), 100);
    EXPECT_EQ(token.GetSprite()->GetFrameCount(), 6);
    token.GetTransform().SetPosition(400, 440, 1);
    token.FadeIn();
    Step(1);
    EXPECT_NEAR(token.GetTransform().GetAlpha(), 0.0f, 0.01f);
    Step(100);
    EXPECT_FLOAT_EQ(token.GetTransform().GetAlpha(), 1.0f);
    token.MoveToDestination(TVec2(340, 450));
    Step(1);
    Step(50);
    EXPECT_GT(token.GetTransform().GetX(), 340.0f);
    Step(50);
    EXPECT_EQ(token.GetTransform().GetX(), 340.0f);
    EXPECT_EQ(token.GetTransform().GetY(), 450.0f);
    EXPECT_FLOAT_EQ(token.GetTransform().GetScaleX(), 0.5f);
}

} // namespace
