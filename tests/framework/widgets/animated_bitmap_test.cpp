// Animated bitmaps: the table's defaults and reading order, image sources, frame modes with their
// edge cases, the blocks' countdowns, loops and back-and-forth, children, bounds, the cross-fade
// picture and the restart operations.
#include "framework/audio_test_support.h"
#include "framework/framework_display_support.h"

#include "framework/widgets/animated_bitmap.h"
#include "framework/sound/sound_effect.h"
#include "framework/transforms/transform_target.h"
#include "render/renderer/draw_spec.h"
#include "render/sprites/sprite.h"

#include <algorithm>
#include <cmath>
#include <set>
#include <vector>

namespace
{
class BitmapTest : public fwtest::FrameworkDisplayTest
{
protected:
    std::shared_ptr<AnimatedBitmap> Make(const std::string& lua)
    {
        std::unique_ptr<TLuaTable> table = Table(lua);
        return AnimatedBitmap::Create(*table);
    }
    void Step(AnimatedBitmap& bitmap, uint32_t ms)
    {
        FrameworkDisplayTest::Step(ms, [&bitmap] { bitmap.Update(); });
    }
    // A report of its own that counts its tellings in `count`.
    static WaitHandle Counted(int& count)
    {
        return WaitHandle::For(Callback(&count, [](void* object, TM_Transform*, uint32_t)
                                        { ++*static_cast<int*>(object); }));
    }
    // Three 4 x 4 frames: red, green, blue.
    void ThreeFrames()
    {
        Image("frames/f1.png", 4, 4, 0xFFFF0000);
        Image("frames/f2.png", 4, 4, 0xFF00FF00);
        Image("frames/f3.png", 4, 4, 0xFF0000FF);
    }
    // The frames shown after each of n updates of `ms`.
    std::vector<int32_t> Frames(AnimatedBitmap& bitmap, int n, uint32_t ms)
    {
        std::vector<int32_t> shown;
        for (int i = 0; i < n; ++i)
        {
            Step(bitmap, ms);
            shown.push_back(bitmap.GetCurrentFrame());
        }
        return shown;
    }
};

TEST_F(BitmapTest, DefaultsAndTheOrderInWhichKeysAreRead)
{
    auto plain = Make("{}");
    EXPECT_STREQ(plain->GetName().c_str(), "");
    EXPECT_EQ(plain->GetSprite()->GetLayer(), 0);
    EXPECT_EQ(plain->GetPosition(), TVec2(0, 0));
    EXPECT_EQ(plain->GetTransform().GetScaleX(), 1.0f);
    EXPECT_EQ(plain->GetTransform().GetAlpha(), 1.0f);
    EXPECT_EQ(plain->GetSprite()->GetSpec().mColor, TVec4(1, 1, 1, 1));
    EXPECT_EQ(plain->GetFrameMode(), AnimatedBitmap::kPlayOnce);
    EXPECT_FALSE(plain->IsAnimating());
    for (int kind = 0; kind < AnimatedBitmap::kBlockCount; ++kind)
        EXPECT_EQ(plain->GetBlock(AnimatedBitmap::BlockKind(kind)).mCountdown, -1);

    auto set = Make("{ name = 'lamp', depth = 3.9, x = 12.5, y = -4, initialscale = 2, "
                    "initialalpha = 0.25, rotation = 0.25, tint = { 1, 0.5, 0, 1 } }");
    EXPECT_STREQ(set->GetName().c_str(), "lamp");
    EXPECT_EQ(set->GetSprite()->GetLayer(), 3);
    EXPECT_EQ(set->GetPosition(), TVec2(12.5f, -4));
    EXPECT_EQ(set->GetTransform().GetScaleX(), 2.0f);
    EXPECT_EQ(set->GetTransform().GetRotationZ(), 0.25f);
    EXPECT_EQ(set->GetTransform().GetAlpha(), 0.25f);
    EXPECT_EQ(set->GetSprite()->GetSpec().mColor, TVec4(1, 0.5f, 0, 1));

    // Every key read goes through __index of an empty table with this metatable.
    mScript.DoLuaString("_read = {} _spy = setmetatable({}, { __index = function(t, k) "
                        "if _read[table.getn(_read)] ~= k then table.insert(_read, k) end end })");
    std::unique_ptr<TLuaTable> spy(mScript.GetGlobalTable("_spy"));
    AnimatedBitmap::Create(*spy);
    mScript.DoLuaString("_order = table.concat(_read, ' ')");
    EXPECT_STREQ(mScript.GetGlobalString("_order").c_str(),
                 "depth name framespeed framespeeddelay ycenter xcenter flags crossfade "
                 "fittopixel initialscale rotation initialalpha y x tint image initialload "
                 "animation initialframe move rotate alpha fade path scale children");
}

TEST_F(BitmapTest, ImageSources)
{
    File("anim/walk.xml", "<animation/>");
    File("anim/run.anm", "x");
    auto walk = Make("{ image = 'anim/walk', initialload = false }");
    EXPECT_STREQ(walk->GetAnimationFile().c_str(), "anim/walk");
    EXPECT_TRUE(walk->GetFrameNames().empty());
    EXPECT_STREQ(Make("{ image = 'anim/run', initialload = false }")->GetAnimationFile().c_str(),
                 "anim/run");

    // Listed in the file list's order: the ".db" file skipped, f10 longer than the first name.
    Image("frames/f1.png", 4, 4, 0xFFFF0000);
    Image("frames/f10.png", 4, 4, 0xFFFF0000);
    Image("frames/f2.png", 4, 4, 0xFFFF0000);
    File("frames/a.db", "x");
    auto series = Make("{ image = 'frames' }");
    ASSERT_EQ(series->GetFrameNames().size(), 2u);
    EXPECT_STREQ(series->GetFrameNames()[0].c_str(), "frames/f1.png");
    EXPECT_STREQ(series->GetFrameNames()[1].c_str(), "frames/f2.png");
    EXPECT_EQ(series->GetFrameCount(), 2);
    EXPECT_EQ(series->GetWidth(), 4);

    Image("single.png", 6, 2, 0xFFFF0000);
    auto single = Make("{ image = 'single' }");
    ASSERT_EQ(single->GetFrameNames().size(), 1u);
    EXPECT_STREQ(single->GetFrameNames()[0].c_str(), "single");
    EXPECT_EQ(single->GetWidth(), 6);
    EXPECT_EQ(single->GetHeight(), 2);
    EXPECT_TRUE(Make("{}")->GetFrameNames().empty());
}

TEST_F(BitmapTest, AnimationFileFramesComeFromItsTexture)
{
    // An 8 x 4 sheet: a red frame, then a blue one.
    std::vector<uint32_t> sheet(32);
    for (size_t i = 0; i < sheet.size(); ++i)
        sheet[i] = (i % 8) < 4 ? 0xFFFF0000 : 0xFF0000FF;
    std::vector<uint8_t> png = sys::display::EncodePng(sheet.data(), 8, 4);
    File("anim/sheet.png", std::string(png.begin(), png.end()));
    File("anim/lamp.xml", "<sequence><img w=\"8\" h=\"4\" name=\"sheet.png\"/><framelist>"
                          "<frame x=\"0\" y=\"0\" w=\"4\" h=\"4\"/>"
                          "<frame x=\"4\" y=\"0\" w=\"4\" h=\"4\"/></framelist></sequence>");
    auto lamp = Make("{ image = 'anim/lamp', x = 20, y = 20, framespeed = 100, "
                     "animation = 'wrap' }");
    EXPECT_EQ(lamp->GetFrameCount(), 2);
    EXPECT_EQ(lamp->GetWidth(), 4);
    EXPECT_TRUE(lamp->IsAnimating());
    Step(*lamp, 101);
    EXPECT_EQ(lamp->GetCurrentFrame(), 1);

    ASSERT_TRUE(Draw2d([&] { lamp->Draw(TDrawSpec()); }));
    EXPECT_EQ(Back(21, 21), 0x0000FFu);
    EXPECT_EQ(Back(24, 21), 0u);
}

TEST_F(BitmapTest, FrameModes)
{
    ThreeFrames();
    // Several frames in one update: two steps, 50 ms of the third frame left.
    auto wrap = Make("{ image = 'frames', framespeed = 100, animation = 'wrap' }");
    EXPECT_TRUE(wrap->IsAnimating());
    EXPECT_EQ(wrap->GetCurrentFrame(), 0);
    Step(*wrap, 250);
    EXPECT_EQ(wrap->GetCurrentFrame(), 2);
    EXPECT_EQ(wrap->GetTimeLeft(), 50);
    EXPECT_TRUE(wrap->HasCycleEnded());

    // Once: stops on the last frame.
    auto once = Make("{ image = 'frames', framespeed = 100 }");
    EXPECT_EQ(Frames(*once, 4, 101), (std::vector<int32_t>{1, 2, 2, 2}));
    EXPECT_FALSE(once->IsAnimating());

    auto bounce = Make("{ image = 'frames', framespeed = 100, animation = 'nowrap' }");
    EXPECT_EQ(Frames(*bounce, 7, 101), (std::vector<int32_t>{1, 2, 1, 0, 1, 2, 1}));

    // Backwards: the sequence goes on from frame 1 whatever the initial frame, then downwards.
    auto back = Make("{ image = 'frames', framespeed = -100, animation = 'wrap' }");
    EXPECT_FALSE(back->IsForward());
    EXPECT_EQ(back->GetFrameTime(), 100);
    EXPECT_EQ(Frames(*back, 7, 101), (std::vector<int32_t>{1, 0, 2, 1, 0, 2, 1}));

    auto random = Make("{ image = 'frames', framespeed = 10, animation = 'random' }");
    std::vector<int32_t> shown = Frames(*random, 60, 10);
    for (size_t i = 1; i < shown.size(); ++i)
        ASSERT_NE(shown[i], shown[i - 1]) << i;
    EXPECT_EQ(std::set<int32_t>(shown.begin(), shown.end()).size(), 3u);

    // The end-of-cycle pause: the last frame stays 500 ms longer.
    auto pause = Make("{ image = 'frames', framespeed = 100, framespeeddelay = 500, "
                      "animation = 'wrap' }");
    EXPECT_EQ(Frames(*pause, 9, 100), (std::vector<int32_t>{0, 1, 2, 2, 2, 2, 2, 2, 0}));
}

TEST_F(BitmapTest, FrameFaultsThatCouldHangOrIndexNothing)
{
    // "random" with one frame would look for another frame for ever: it keeps its frame.
    Image("one.png", 4, 4, 0xFFFF0000);
    auto one = Make("{ image = 'one', framespeed = 100, animation = 'random' }");
    EXPECT_EQ(one->GetCurrentFrame(), 0);
    EXPECT_EQ(one->GetNextFrame(), 0);

    // No frames: no step, so no frame -1 or beyond.
    auto none = Make("{ framespeed = 100, animation = 'wrap', initialframe = 2 }");
    EXPECT_EQ(none->GetCurrentFrame(), 0);
    none->RestartFrames("nowrap", 1, 100, false);
    EXPECT_EQ(none->GetCurrentFrame(), 0);

    // A negative end-of-cycle pause would keep the catch-up loop going: it reads as none.
    ThreeFrames();
    auto negative = Make("{ image = 'frames', framespeed = 100, framespeeddelay = -1000, "
                         "animation = 'wrap' }");
    EXPECT_EQ(negative->GetFrameDelay(), 0);
    Step(*negative, 450);
    EXPECT_EQ(negative->GetCurrentFrame(), 1);
    EXPECT_EQ(negative->GetTimeLeft(), 50);
}

// Delays that each fit an int but pass what one holds together (a block's initial delay and its
// delay, the move's random one, a cycle's end pause after the frame time) wait the longest an int
// holds: wrapped negative, a countdown means "not scheduled" and the block would never start.
TEST_F(BitmapTest, DelaysPastWhatAnIntHoldsTogetherWaitTheLongest)
{
    File("paths/p.txt", "2,10,20,30,40");
    auto blocks = Make("{ move = { endx = 5, duration = 10, initialdelay = 2000000000, "
                       "mindelay = 2000000000, maxdelay = 2000000000 }, "
                       "rotate = { endrotation = 1, duration = 10, initialdelay = 2000000000, "
                       "forwarddelay = 2000000000 }, "
                       "fade = { duration = 10, initialdelay = 2000000000, delay = 2000000000 }, "
                       "scale = { duration = 10, initialdelay = 2000000000, delay = 2000000000 }, "
                       "path = { filename = 'paths/p.txt', duration = 10, "
                       "initialdelay = 2000000000, delay = 2000000000 } }");
    for (int kind = 0; kind < AnimatedBitmap::kBlockCount; ++kind)
    {
        if (kind != AnimatedBitmap::kAlpha)
        {
            EXPECT_EQ(blocks->GetBlock(AnimatedBitmap::BlockKind(kind)).mCountdown, INT32_MAX)
                << kind;
        }
    }
    Step(*blocks, 1000);
    EXPECT_EQ(blocks->GetBlock(AnimatedBitmap::kFade).mCountdown, INT32_MAX - 1000);

    Image("two/f1.png", 4, 4, 0xFFFF0000);
    Image("two/f2.png", 4, 4, 0xFF00FF00);
    auto frames = Make("{ image = 'two', framespeed = 100, framespeeddelay = 2147483647, "
                       "animation = 'wrap' }");
    Step(*frames, 100);
    Step(*frames, 100);
    EXPECT_EQ(frames->GetCurrentFrame(), 1);
    EXPECT_EQ(frames->GetTimeLeft(), INT32_MAX - 100);
    Step(*frames, 100);
    EXPECT_EQ(frames->GetCurrentFrame(), 1);
}

TEST_F(BitmapTest, OscillatingLoopingMoveWaitsAtEachEnd)
{
    auto move = Make("{ move = { endx = 100, duration = 500, oscillate = true, loop = true, "
                     "mindelay = 1000, maxdelay = 1000 } }");
    EXPECT_EQ(move->GetBlock(AnimatedBitmap::kMove).mCountdown, 1000);
    std::vector<float> xs;
    std::vector<int32_t> countdowns;
    for (int i = 0; i < 60; ++i)
    {
        Step(*move, 100);
        xs.push_back(move->GetPosition().x);
        countdowns.push_back(move->GetBlock(AnimatedBitmap::kMove).mCountdown);
    }
    // Starts once the countdown has run out, reaches the end in 500 ms and waits there.
    EXPECT_EQ(xs[8], 0);
    EXPECT_EQ(countdowns[9], -1);
    EXPECT_NEAR(xs[12], 60, 0.01);
    EXPECT_EQ(xs[14], 100);
    size_t left = 15;
    while (left < xs.size() && xs[left] == 100)
        ++left;
    EXPECT_GE((left - 14) * 100, 1000u);
    // Back at the beginning the loop counts its delay again before the next move.
    size_t home = left;
    while (home < xs.size() && xs[home] != 0)
        ++home;
    ASSERT_LT(home + 11, xs.size());
    EXPECT_EQ(countdowns[home], 1000);
    EXPECT_EQ(xs[home + 9], 0);
    EXPECT_GT(xs[home + 11], 0);
}

TEST_F(BitmapTest, FlickerRotateFadeScaleAndPathBlocks)
{
    // Without "randomopacity" the flicker blinks between its two opacities for ever.
    auto flicker = Make("{ alpha = { minopacity = 0.2, maxopacity = 1, mindelay = 300, "
                        "maxdelay = 300 } }");
    std::set<float> seen;
    int changes = 0;
    float last = flicker->GetTransform().GetAlpha();
    for (int i = 0; i < 60; ++i)
    {
        Step(*flicker, 100);
        float alpha = flicker->GetTransform().GetAlpha();
        seen.insert(alpha);
        changes += alpha != last;
        last = alpha;
    }
    EXPECT_EQ(seen, (std::set<float>{0.2f, 1.0f}));
    EXPECT_GE(changes, 10);

    File("paths/p.txt", "2,10,20,30,40");
    auto blocks = Make("{ rotate = { endrotation = 0.5, duration = 200, initialdelay = 50, "
                       "forwarddelay = 100 }, "
                       "fade = { beginopacity = 1, endopacity = 0.5, duration = 100, "
                       "loop = true, delay = 200 }, "
                       "scale = { beginscale = 1, endscale = 3, duration = 100 }, "
                       "path = { filename = 'paths/p.txt', duration = 100, delay = 400 } }");
    EXPECT_EQ(blocks->GetBlock(AnimatedBitmap::kRotate).mCountdown, 150);
    EXPECT_EQ(blocks->GetBlock(AnimatedBitmap::kFade).mCountdown, 200);
    EXPECT_EQ(blocks->GetBlock(AnimatedBitmap::kScale).mCountdown, 0);
    EXPECT_EQ(blocks->GetBlock(AnimatedBitmap::kPath).mCountdown, 400);
    for (int i = 0; i < 6; ++i)
        Step(*blocks, 100);
    EXPECT_FLOAT_EQ(blocks->GetTransform().GetRotationZ(), 0.5f);
    EXPECT_FLOAT_EQ(blocks->GetTransform().GetScaleX(), 3.0f);
    EXPECT_FLOAT_EQ(blocks->GetTransform().GetAlpha(), 0.5f);
    // The looping fade counts its delay again; the others are idle.
    EXPECT_EQ(blocks->GetBlock(AnimatedBitmap::kFade).mCountdown, 200);
    EXPECT_EQ(blocks->GetBlock(AnimatedBitmap::kScale).mCountdown, -1);
    EXPECT_EQ(blocks->GetBlock(AnimatedBitmap::kRotate).mCountdown, -1);
    for (int i = 0; i < 3; ++i)
        Step(*blocks, 100);
    EXPECT_EQ(blocks->GetPosition(), TVec2(30, 40));
}

TEST_F(BitmapTest, RandomStartAndEndCallbacks)
{
    TRandom copy;
    const double r = static_cast<double>(copy.Next()) / 4294967296.0;
    auto move = Make("{ move = { beginx = 0, endx = 1000, duration = 1000, randomstart = true } }");
    EXPECT_EQ(move->GetBlock(AnimatedBitmap::kMove).mCountdown, -1);
    Step(*move, 0);
    EXPECT_NEAR(move->GetPosition().x, 1000 * r, 0.01);
    // The rest of the way takes the rest of the time.
    const auto rest = static_cast<uint32_t>(1000 * (1 - r));
    Step(*move, rest / 2);
    EXPECT_NEAR(move->GetPosition().x, 1000 * r + (1000 - 1000 * r) / 2, 2);

    struct Seen
    {
        int calls = 0;
        uint32_t id = 0;
    } seen;
    Callback told(&seen,
                  [](void* object, TM_Transform*, uint32_t id)
                  {
                      ++static_cast<Seen*>(object)->calls;
                      static_cast<Seen*>(object)->id = id;
                  });
    auto fade = Make("{}");
    std::unique_ptr<TLuaTable> table = Table("{ endopacity = 0.5, duration = 100, loop = true }");
    fade->LoadBlock(AnimatedBitmap::kFade, *table, &told);
    for (int i = 0; i < 8; ++i)
        Step(*fade, 100);
    EXPECT_EQ(seen.calls, 1);
    EXPECT_GT(seen.id, 0u);
}

// A report handed with a block is told exactly once: at its end, or when the block is loaded
// anew, the bitmap's transforms removed or the bitmap destroyed; a block still counting down keeps
// its report through a removal. A plain callback is told only by its end, as before.
TEST_F(BitmapTest, AReportIsToldOnceAtItsEndOrWhenItsPartIsCutShort)
{
    ThreeFrames();
    int told[5] = {};
    auto report = [&told](int slot) { return Counted(told[slot]); };
    std::unique_ptr<TLuaTable> fade = Table("{ endopacity = 0.5, duration = 100 }");
    std::unique_ptr<TLuaTable> later =
        Table("{ endx = 5, endy = 5, duration = 100, initialdelay = 500 }");
    auto bitmap = Make("{ image = 'frames/f', animation = 'once' }");
    bitmap->LoadBlock(AnimatedBitmap::kFade, *fade, report(0));
    Step(*bitmap, 16);
    EXPECT_TRUE(bitmap->CanStillReport());
    bitmap->LoadBlock(AnimatedBitmap::kFade, *fade, report(1));
    EXPECT_EQ(told[0], 1);
    for (int i = 0; i < 10; ++i)
        Step(*bitmap, 16);
    EXPECT_EQ(told[1], 1);
    EXPECT_FALSE(bitmap->CanStillReport());

    bitmap->LoadBlock(AnimatedBitmap::kScale, *fade, report(2));
    bitmap->LoadBlock(AnimatedBitmap::kMove, *later, report(3));
    Step(*bitmap, 16);
    bitmap->RemoveTransforms();
    EXPECT_EQ(told[2], 1);
    EXPECT_EQ(told[3], 0);
    EXPECT_TRUE(bitmap->CanStillReport());
    bitmap->LoadBlock(AnimatedBitmap::kRotate, *fade, report(4));
    bitmap.reset();
    EXPECT_EQ(std::vector<int>(told, told + 5), std::vector<int>(5, 1));

    int plain = 0;
    Callback end(&plain,
                 [](void* object, TM_Transform*, uint32_t) { ++*static_cast<int*>(object); });
    auto other = Make("{}");
    other->LoadBlock(AnimatedBitmap::kFade, *fade, &end);
    other->LoadBlock(AnimatedBitmap::kFade, *fade, &end);
    for (int i = 0; i < 10; ++i)
        Step(*other, 16);
    EXPECT_EQ(plain, 1);
}

// The frame half, on a sequence of three frames that runs (one of a single frame ends inside
// SetFrameMode): told once at its end, when replaced or put at its end, when its pictures are
// released (it cannot step without them, and shows its last frame once they are back), or when
// the bitmap goes.
TEST_F(BitmapTest, AFrameSequenceIsToldOnceAtItsEndOrWhenItIsCutShort)
{
    ThreeFrames();
    int told[5] = {};
    auto bitmap = Make("{ image = 'frames', animation = 'once' }");
    bitmap->CreateSprites();
    ASSERT_EQ(bitmap->GetFrameCount(), 3);
    bitmap->SetFrameMode("once", 0, 100, false, Counted(told[0]));
    EXPECT_TRUE(bitmap->CanStillReport());
    Step(*bitmap, 150);
    EXPECT_EQ(told[0], 0);
    Step(*bitmap, 150);
    EXPECT_EQ(told[0], 1);
    EXPECT_FALSE(bitmap->CanStillReport());

    bitmap->SetFrameMode("once", 0, 100, false, Counted(told[1]));
    bitmap->SetFrameMode("once", 0, 100, false, Counted(told[2]));
    EXPECT_EQ(told[1], 1);
    EXPECT_EQ(told[2], 0);
    bitmap->RestartFrames("once", 0, 100, false);
    EXPECT_EQ(told[2], 1);

    bitmap->SetFrameMode("once", 0, 100, false, Counted(told[3]));
    Step(*bitmap, 16);
    bitmap->ReleaseTextures();
    EXPECT_EQ(told[3], 1);
    EXPECT_FALSE(bitmap->CanStillReport());
    bitmap->CreateSprites();
    EXPECT_EQ(bitmap->GetCurrentFrame(), 2);

    bitmap->SetFrameMode("once", 0, 100, false, Counted(told[4]));
    bitmap.reset();
    EXPECT_EQ(std::vector<int>(told, told + 5), std::vector<int>(5, 1));
}

TEST_F(BitmapTest, ChildrenInTurnAfterTheirCycleSortedByDepth)
{
    ThreeFrames();
    auto parent = Make("{ name = 'p', children = { action = 'linear', list = { "
                       "{ name = 'b', depth = 2, image = 'frames', framespeed = 100 }, "
                       "{ name = 'a', depth = -1, image = 'frames', framespeed = 100, "
                       "animation = 'wrap' } } } }");
    ASSERT_EQ(parent->GetChildren().size(), 2u);
    EXPECT_STREQ(parent->GetChildren()[0]->GetName().c_str(), "a");
    EXPECT_EQ(parent->GetChildAction(), AnimatedBitmap::kInTurnAfterCycle);
    EXPECT_EQ(parent->CollectEntries(), (std::vector<TString>{"p", "a", "b"}));
    EXPECT_EQ(parent->CollectNames().size(), 6u);

    // Only the current child runs; the next one comes after its cycle has ended: "a" wraps
    // after its third frame, "b" plays once and stops on its last.
    std::vector<size_t> current;
    for (int i = 0; i < 5; ++i)
    {
        Step(*parent, 101);
        current.push_back(parent->GetCurrentChild());
    }
    EXPECT_EQ(current, (std::vector<size_t>{0, 0, 1, 1, 0}));
    EXPECT_EQ(parent->GetChildren()[1]->GetCurrentFrame(), 2);

    // Show-all runs every child; in-turn on a timer moves on whenever its delay has run out.
    auto all =
        Make("{ children = { action = 'showall', list = { "
             "{ image = 'frames', framespeed = 100 }, { image = 'frames', framespeed = 100 } "
             "} } }");
    Step(*all, 101);
    EXPECT_EQ(all->GetChildren()[0]->GetCurrentFrame(), 1);
    EXPECT_EQ(all->GetChildren()[1]->GetCurrentFrame(), 1);
    auto timed = Make("{ children = { mindelay = 250, maxdelay = 250, list = { {}, {}, {} } } }");
    EXPECT_EQ(timed->GetChildAction(), AnimatedBitmap::kInTurnOnTimer);
    EXPECT_EQ(timed->GetChildCountdown(), 250);
    current.clear();
    for (int i = 0; i < 8; ++i)
    {
        Step(*timed, 100);
        current.push_back(timed->GetCurrentChild());
    }
    EXPECT_EQ(current, (std::vector<size_t>{0, 0, 1, 1, 1, 2, 2, 2}));

    // Without a "list" the report is fatal and no child is made.
    auto broken = Make("{ children = { action = 'showall' } }");
    EXPECT_TRUE(broken->GetChildren().empty());
    EXPECT_NE(Log().find("ERROR:listTable   FILE:animated_bitmap.cpp LINE:"), std::string::npos);
}

TEST_F(BitmapTest, BoundsAndTheCrossFadePicture)
{
    Image("wide.png", 100, 50, 0xFFFF0000);
    auto wide = Make("{ image = 'wide', flags = 5, x = 200, y = 100 }");
    EXPECT_EQ(wide->GetBounds(TDrawSpec()), TRect(150, 75, 250, 125));
    auto anchored = Make("{ image = 'wide', xcenter = 10, ycenter = 20, x = 200, y = 100 }");
    EXPECT_EQ(anchored->GetBounds(TDrawSpec(TVec2(5, 5))), TRect(195, 85, 295, 135));

    // Half way through the red frame both frames are drawn at alpha 0.5: blue first, then red.
    Image("fade/f1.png", 8, 8, 0xFFFF0000);
    Image("fade/f2.png", 8, 8, 0xFF0000FF);
    auto fade = Make("{ image = 'fade', x = 40, y = 40, framespeed = 100, animation = 'wrap', "
                     "crossfade = true }");
    Step(*fade, 50);
    ASSERT_TRUE(Draw2d([&] { fade->Draw(TDrawSpec()); }));
    const uint32_t mixed = Back(42, 42);
    EXPECT_NEAR(int(mixed >> 16), 128, 2);
    EXPECT_NEAR(int(mixed & 0xFF), 64, 2);
    EXPECT_EQ(Back(39, 42), 0u);
    EXPECT_EQ(Back(48, 42), 0u);
}

// A rope hung at one end from a beam: its registration point is the knot. Turned or grown by a
// motion it swings or grows about the knot, which stays where it was, and ends drawn as the same
// picture turned or grown still.
TEST_F(BitmapTest, MotionsTurnAndGrowAboutTheRegistrationPointAsTheStillKeysDo)
{
    // 40 x 8: a red knot (the 4 columns at the left), then green rope.
    std::vector<uint32_t> pixels(40 * 8, 0xFF00FF00);
    for (uint32_t y = 0; y < 8; ++y)
        for (uint32_t x = 0; x < 4; ++x)
            pixels[y * 40 + x] = 0xFFFF0000;
    const std::vector<uint8_t> png = sys::display::EncodePng(pixels.data(), 40, 8);
    File("rope.png", std::string(png.begin(), png.end()));
    const std::string placed = "image = 'rope', xcenter = 2, ycenter = 4, x = 300, y = 200";
    const std::pair<const char*, const char*> motions[] = {
        {"rotate = { endrotation = 0.25, duration = 200 }", "rotation = 0.25"},
        {"scale = { beginscale = 1, endscale = 2, duration = 200 }", "initialscale = 2"},
    };
    for (const auto& [motion, still] : motions)
    {
        SCOPED_TRACE(motion);
        auto moved = Make("{ " + placed + ", " + motion + " }");
        auto kept = Make("{ " + placed + ", " + still + " }");
        for (int i = 0; i < 3; ++i)
            Step(*moved, 100);
        EXPECT_EQ(moved->GetPosition(), TVec2(300, 200));
        std::vector<uint32_t> drawn[2];
        int at = 0;
        for (AnimatedBitmap* bitmap : {moved.get(), kept.get()})
        {
            ASSERT_TRUE(Draw2d([&] { bitmap->Draw(TDrawSpec()); }));
            for (int y = 100; y < 300; ++y)
                for (int x = 200; x < 400; ++x)
                    drawn[at].push_back(Back(x, y));
            ++at;
        }
        // The knot where it hung, the rope drawn from it, and the two pictures alike.
        EXPECT_EQ(drawn[0][100 * 200 + 100], 0xFF0000u);
        EXPECT_GT(std::count(drawn[0].begin(), drawn[0].end(), 0x00FF00u), 200);
        EXPECT_TRUE(drawn[0] == drawn[1]);
    }
}

TEST_F(BitmapTest, RestartOperations)
{
    auto bitmap = Make("{ x = 5, y = 5 }");
    bitmap->RestartMove(
        *Table("{ beginx = 1, beginy = 2, endx = 10, endy = 20, oscillate = true }"));
    EXPECT_EQ(bitmap->GetPosition(), TVec2(1, 2));
    bitmap->RestartMove(*Table("{ endx = 10, endy = 20, anchored = false }"));
    EXPECT_EQ(bitmap->GetPosition(), TVec2(11, 22));
    bitmap->RestartRotate(*Table("{ beginrotation = 0.25, endrotation = 0.5 }"));
    EXPECT_EQ(bitmap->GetTransform().GetRotationZ(), 0.5f);
    bitmap->RestartFade(*Table("{ beginopacity = 0.3, oscillate = true }"));
    EXPECT_FLOAT_EQ(bitmap->GetTransform().GetAlpha(), 0.3f);
    bitmap->RestartScale(*Table("{ endscale = 2 }"));
    EXPECT_FLOAT_EQ(bitmap->GetTransform().GetScaleX(), 2.0f);
    // A looping table loads the block again.
    bitmap->RestartFade(*Table("{ endopacity = 1, loop = true, delay = 70, initialdelay = 5 }"));
    EXPECT_EQ(bitmap->GetBlock(AnimatedBitmap::kFade).mCountdown, 75);
    // The path starts at once.
    File("paths/r.txt", "2,0,0,50,0");
    bitmap->RestartPath(*Table("{ filename = 'paths/r.txt', duration = 100 }"));
    Step(*bitmap, 0);
    Step(*bitmap, 50);
    EXPECT_NEAR(bitmap->GetPosition().x, 25, 0.01);

    // A play-once restart with a frame time only marks the end; the next load shows it.
    ThreeFrames();
    auto frames = Make("{ image = 'frames', framespeed = 100, animation = 'wrap' }");
    frames->RestartFrames("once", 0, 100, false);
    EXPECT_EQ(frames->GetCurrentFrame(), -1);
    frames->CreateSprites();
    EXPECT_EQ(frames->GetCurrentFrame(), 2);
    frames->RestartFrames("nowrap", 2, 50, true);
    EXPECT_EQ(frames->GetFrameMode(), AnimatedBitmap::kBounce);
    EXPECT_EQ(frames->GetFrameTime(), 50);
    EXPECT_EQ(frames->GetCurrentFrame(), 0);
    EXPECT_EQ(frames->GetNextFrame(), 1);
}

// A block's sound waits its own delays from the block's start, through the bitmap's updates, and
// pauses with the bitmap.
class BitmapSoundTest : public fwtest::AudioTest
{
protected:
    void SetUp() override
    {
        AudioTest::SetUp();
        Start("2,a,1,b,2", {400, 400});
        At(0);
    }
    void StepAll(AnimatedBitmap& bitmap, uint32_t ms)
    {
        mClock.SetStep(ms);
        mClock.SetFrameTime(mClock.GetFrameTime() + ms);
        bitmap.Update();
        mTransforms.Update();
        mAudio->Update();
    }
    TScript mScript;
    TransformManager mTransforms;
};

TEST_F(BitmapSoundTest, BlockSoundsStartAfterTheirDelaysAndPauseWithTheBitmap)
{
    mScript.DoLuaString("t = { fade = { beginopacity = 1, duration = 1000, initialdelay = 100, "
                        "sound = { sounds = { 'b' }, initialdelay = 30, delay = 20 } } }");
    std::unique_ptr<TLuaTable> table(mScript.GetGlobalTable("t"));
    auto bitmap = AnimatedBitmap::Create(*table);
    SoundEffect* sound = bitmap->GetBlock(AnimatedBitmap::kFade).mSound.get();
    ASSERT_NE(sound, nullptr);
    EXPECT_EQ(sound->mPending, -1);
    for (int i = 0; i < 10; ++i)
        StepAll(*bitmap, 10);
    EXPECT_EQ(sound->mPending, 50); // the block started in this update
    for (int i = 0; i < 4; ++i)
        StepAll(*bitmap, 10);
    EXPECT_TRUE(sound->mHandles.empty()); // not yet started
    StepAll(*bitmap, 10);
    EXPECT_EQ(Entry(2).GetRecordCount(), 1u);
    EXPECT_EQ(Entry(2).mState, SoundEntry::kPlaying);

    bitmap->Pause();
    EXPECT_EQ(Entry(2).mState, SoundEntry::kPaused);
    const float alpha = bitmap->GetTransform().GetAlpha();
    StepAll(*bitmap, 100);
    EXPECT_EQ(bitmap->GetTransform().GetAlpha(), alpha);
    bitmap->Resume();
    EXPECT_EQ(Entry(2).mState, SoundEntry::kPlaying);
    StepAll(*bitmap, 100);
    EXPECT_LT(bitmap->GetTransform().GetAlpha(), alpha);
}

// A block's sound whose two delays pass what an int holds together waits the longest one holds,
// not a wrapped "nothing pending".
TEST_F(BitmapSoundTest, ABlockSoundsDelaysPastWhatAnIntHoldsWaitTheLongest)
{
    mScript.DoLuaString("t = { fade = { beginopacity = 1, duration = 1000, "
                        "sound = { sounds = { 'b' }, initialdelay = 2000000000, "
                        "delay = 2000000000 } } }");
    std::unique_ptr<TLuaTable> table(mScript.GetGlobalTable("t"));
    auto bitmap = AnimatedBitmap::Create(*table);
    StepAll(*bitmap, 10); // the block starts and schedules its sound
    EXPECT_EQ(bitmap->GetBlock(AnimatedBitmap::kFade).mSound->mPending, INT32_MAX);
    StepAll(*bitmap, 10);
    EXPECT_EQ(bitmap->GetBlock(AnimatedBitmap::kFade).mSound->mPending, INT32_MAX - 10);
}
} // namespace
