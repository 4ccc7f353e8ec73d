// Animated textures: one description as XML and as the packed form (versions 1 and 2) gives the
// same model; the XML reader's four messages; the default script; frame selection; damaged packed
// files refused without a crash; mirrored and transformed frames drawn against a golden picture.
#include "render/sprite_test_support.h"

#include "render/sprites/animated_texture.h"
#include "render/sprites/sprite.h"

using namespace rendertest;
using namespace spritetest;

namespace
{
const char* const kWalkXml =
    "<sequence name=\"walk\" source=\"walk.src\">\n"
    " <img regx=\"5\" regy=\"6\" w=\"32\" h=\"16\" name=\"sheet.png\" mask=\"\"/>\n"
    " <framelist>\n"
    "  <frame x=\"0\" y=\"0\" w=\"16\" h=\"16\" name=\"a\" regx=\"4\" regy=\"15\" xform=\"\">\n"
    "   <anchor name=\"hand\" x=\"3\" y=\"-4\"/>\n"
    "  </frame>\n"
    "  <frame x=\"16\" y=\"0\" w=\"16\" h=\"16\" name=\"b\" alpha=\"0.5\" xform=\"0.5 0 0 1 2 "
    "0\">\n"
    "   <anchor name=\"l\" x=\"1\" y=\"2\"/><anchor name=\"r\" x=\"13\" y=\"2\"/>\n"
    "  </frame>\n"
    "  <frame x=\"16\" y=\"8\" w=\"8\" h=\"8\" regx=\"1\" regy=\"2\" alpha=\"\"/>\n"
    " </framelist>\n"
    "</sequence>\n";

// The same description in the packed form; version 1 has no frame alpha and four spare floats.
std::string WalkAnm(int version, bool script)
{
    AnmWriter w;
    w.Tag("ANIM").Int(0).Int(version).Str("walk").Str("walk.src").Tag("IMGN");
    w.Int(5).Int(6).Int(32).Int(16);
    if (version == 1)
        w.Float(9).Float(9).Float(9).Float(9);
    w.Str("sheet.png").Str("").Tag("FRMS").Int(3);
    struct F
    {
        int reg[2], rect[4];
        float alpha, xf[6];
        const char* name;
        std::vector<std::tuple<int, int, std::string>> anchors;
    };
    const float none[6] = {-10000000, 0, 0, 0, 0, 0};
    const float half[6] = {0.5f, 0, 0, 1, 2, 0};
    const F frames[3] = {{{4, 15}, {0, 0, 16, 16}, 1, {}, "a", {{3, -4, "hand"}}},
                         {{4, 15}, {16, 0, 16, 16}, 0.5f, {}, "b", {{1, 2, "l"}, {13, 2, "r"}}},
                         {{1, 2}, {16, 8, 8, 8}, 1, {}, "", {}}};
    for (int i = 0; i < 3; ++i)
    {
        const F& f = frames[i];
        w.Int(f.reg[0]).Int(f.reg[1]).Int(f.rect[0]).Int(f.rect[1]).Int(f.rect[2]).Int(f.rect[3]);
        if (version >= 2)
            w.Float(f.alpha);
        for (int k = 0; k < 6; ++k)
            w.Float(i == 0 ? none[k] : half[k]);
        w.Str(f.name).Int(static_cast<int32_t>(f.anchors.size()));
        for (const auto& [x, y, name] : f.anchors)
            w.Int(x).Int(y).Str(name);
    }
    if (script)
        w.Tag("SCRP").Str("function DoAnim() frames{2,1} end");
    return w.Bytes();
}

void ExpectSameModel(const TAnimationDescription& a, const TAnimationDescription& b, bool alpha)
{
    EXPECT_EQ(a.mSequenceName, b.mSequenceName);
    EXPECT_EQ(a.mSource, b.mSource);
    EXPECT_EQ(a.mImageName, b.mImageName);
    EXPECT_EQ(a.mMaskName, b.mMaskName);
    EXPECT_EQ(a.mFolder, b.mFolder);
    EXPECT_EQ(a.mScript, b.mScript);
    EXPECT_EQ(a.mHasScript, b.mHasScript);
    EXPECT_EQ(a.mRegX, b.mRegX);
    EXPECT_EQ(a.mRegY, b.mRegY);
    EXPECT_EQ(a.mImageWidth, b.mImageWidth);
    EXPECT_EQ(a.mImageHeight, b.mImageHeight);
    EXPECT_EQ(a.mWidestFrame, b.mWidestFrame);
    EXPECT_EQ(a.mHighestFrame, b.mHighestFrame);
    ASSERT_EQ(a.mFrameCount, b.mFrameCount);
    ASSERT_EQ(a.mFrames.size(), b.mFrames.size());
    for (size_t i = 0; i < a.mFrames.size(); ++i)
    {
        const TAnimationFrame& f = a.mFrames[i];
        const TAnimationFrame& g = b.mFrames[i];
        EXPECT_EQ(f.mName, g.mName) << i;
        EXPECT_EQ(TRect(f.mX, f.mY, f.mW, f.mH), TRect(g.mX, g.mY, g.mW, g.mH)) << i;
        EXPECT_EQ(f.mRegX, g.mRegX) << i;
        EXPECT_EQ(f.mRegY, g.mRegY) << i;
        if (alpha)
        {
            EXPECT_EQ(f.mAlpha, g.mAlpha) << i;
        }
        for (int k = 0; k < 6; ++k)
            EXPECT_EQ(f.mTransform[k], g.mTransform[k]) << i << "," << k;
        ASSERT_EQ(f.mAnchorCount, g.mAnchorCount) << i;
        for (size_t k = 0; k < f.mAnchors.size(); ++k)
        {
            EXPECT_EQ(f.mAnchors[k].mName, g.mAnchors[k].mName);
            EXPECT_EQ(f.mAnchors[k].mX, g.mAnchors[k].mX);
            EXPECT_EQ(f.mAnchors[k].mY, g.mAnchors[k].mY);
        }
    }
}

class AnimatedTextureTest : public OpenDisplayTest
{
protected:
    void SetUp() override
    {
        ASSERT_NO_FATAL_FAILURE(OpenDisplayTest::SetUp());
        mFiles.Add("anim/sheet.png", MakeSheetPng());
    }
    MemoryFiles mFiles;
};
} // namespace

TEST_F(AnimatedTextureTest, XmlAndBothPackedVersionsGiveOneModel)
{
    mFiles.Add("anim/walk.xml", kWalkXml);
    mFiles.Add("anim/walk2.anm", WalkAnm(2, false));
    mFiles.Add("anim/walk1.anm", WalkAnm(1, false));
    auto xml = TAnimatedTexture::Get("anim/walk"); // probed: ".xml"
    auto v2 = TAnimatedTexture::Get("anim/walk2"); // probed: ".anm"
    auto v1 = TAnimatedTexture::Get("anim/walk1.anm");
    ASSERT_NE(xml, nullptr);
    ASSERT_NE(v2, nullptr);
    ASSERT_NE(v1, nullptr);
    EXPECT_EQ(xml, TAnimatedTexture::Get("anim/walk")) << "cached under its key";
    EXPECT_EQ(xml->GetDescription().mFilePath, "anim/walk.xml");
    EXPECT_EQ(xml->GetDescription().mFolder, "anim/");
    const TAnimationDescription& d = xml->GetDescription();
    // The XML's own rules: a missing regx takes the previous frame's, an empty xform copies the
    // previous one (none for the first), an empty alpha is 1.
    EXPECT_EQ(d.mFrames[1].mRegX, 4);
    EXPECT_EQ(d.mFrames[1].mRegY, 15);
    EXPECT_FALSE(d.mFrames[0].HasTransform());
    EXPECT_EQ(d.mFrames[2].mTransform[0], 0.5f);
    EXPECT_EQ(d.mFrames[2].mTransform[4], 2.0f);
    EXPECT_EQ(d.mFrames[2].mAlpha, 1.0f);
    EXPECT_EQ(d.mFrames[1].mAlpha, 0.5f);
    ExpectSameModel(d, v2->GetDescription(), true);
    ExpectSameModel(d, v1->GetDescription(), false);
    EXPECT_EQ(v1->GetDescription().mFrames[1].mAlpha, 1.0f);
    // Without a script of its own the frame list's script is made only when asked for.
    EXPECT_FALSE(d.mHasScript);
    EXPECT_EQ(d.mScript, "");
    EXPECT_EQ(xml->GetScript(), "function DoAnim()\n    delay(60);\n    frames{1,2,3};\nend\n");
    EXPECT_EQ(v1->GetScript(), xml->GetScript());
    EXPECT_EQ(TAnimatedTexture::DefaultScript(0), "function DoAnim()\n    delay(60);\nend\n");

    // A "SCRP" block carries its own script.
    mFiles.Add("anim/scripted.anm", WalkAnm(2, true));
    auto scripted = TAnimatedTexture::Get("anim/scripted.anm");
    ASSERT_NE(scripted, nullptr);
    EXPECT_EQ(scripted->GetDescription().mScript, "function DoAnim() frames{2,1} end");
    EXPECT_EQ(scripted->GetScript(), "function DoAnim() frames{2,1} end");

    // An image given to Get replaces the description's; a wrong one makes the load fail, logged.
    EXPECT_EQ(TAnimatedTexture::Get("anim/walk", "missing.png"), nullptr);
    EXPECT_NE(Log().find("Animation anim/walk.xml: its frame sheet missing.png cannot be read\n"),
              std::string::npos)
        << Log();
    EXPECT_EQ(TAnimatedTexture::Get("anim/none"), nullptr);
    EXPECT_EQ(TAnimatedTexture::FromTexture(TTexture::Get("anim/sheet.png", 0)), nullptr);
    EXPECT_EQ(TAnimatedTexture::FromTexture(xml), xml);
    EXPECT_STREQ(xml->GetClassName(), "TAnimatedTexture");
    EXPECT_TRUE(xml->IsKindOf(TTexture::GetClassId()));
}

TEST_F(AnimatedTextureTest, FramesSelectionSizesAndRegistrations)
{
    mFiles.Add("anim/walk.xml", kWalkXml);
    auto texture = TAnimatedTexture::Get("anim/walk.xml");
    ASSERT_NE(texture, nullptr);
    EXPECT_EQ(texture->GetFrameCount(), 3);
    texture->SetFrame(2);
    EXPECT_EQ(texture->GetWidth(), 8u);
    texture->SetFrame(3); // ignored
    texture->SetFrame(-2);
    EXPECT_EQ(texture->GetFrame(), 2);
    texture->SetFrame(-1);
    EXPECT_EQ(texture->GetWidth(), 0u);
    EXPECT_EQ(texture->GetHeight(), 0u);
    TRect rect;
    texture->GetFrameRect(2, rect);
    EXPECT_EQ(rect, TRect(16, 8, 24, 16));
    texture->GetFrameRect(3, rect);
    EXPECT_EQ(rect, TRect(0, 0, 0, 0));
    EXPECT_EQ(texture->GetRegistration(), TVec2(5, 6));
    EXPECT_EQ(texture->GetFrameRegistration(2), TVec2(1, 2));

    // An animated sprite measures its frame at its registration point, mirrored too.
    auto sprite = TAnimatedSprite::Create(0);
    sprite->SetTexture(texture);
    EXPECT_EQ(sprite->GetAnimatedTexture(), texture);
    EXPECT_EQ(sprite->GetFrameCount(), 3);
    sprite->SetFrame(0);
    TRect box;
    sprite->GetBounds(box, TDrawSpec(TVec2(100, 100)));
    EXPECT_EQ(box, TRect(96, 85, 112, 101));
    sprite->GetSpec().mFlags = kDrawMirrorX;
    sprite->GetBounds(box, TDrawSpec(TVec2(100, 100)));
    EXPECT_EQ(box, TRect(88, 85, 104, 101));
    EXPECT_EQ(sprite->GetSpec().mFlags, static_cast<uint32_t>(kDrawMirrorX)) << "spec restored";
    // Sprites sharing the texture each show their own frame when drawn or tested.
    auto other = TAnimatedSprite::Create(0);
    other->SetTexture(texture);
    other->SetFrame(2);
    sprite->Draw(TDrawSpec());
    EXPECT_EQ(texture->GetFrame(), 0);
    other->HitTest(TVec2(), TDrawSpec(), -1);
    EXPECT_EQ(texture->GetFrame(), 2);
    sprite->SetFrame(5); // beyond the texture: kept by the sprite only
    EXPECT_EQ(sprite->GetFrame(), 5);
    EXPECT_EQ(texture->GetFrame(), 2);
    sprite->SetTexture(TTexture::Get("anim/sheet.png", 0));
    EXPECT_EQ(sprite->GetAnimatedTexture(), nullptr);
    EXPECT_EQ(sprite->GetFrameCount(), 1);
}

TEST_F(AnimatedTextureTest, XmlWithoutItsNodesLogsAndFails)
{
    mFiles.Add("a.xml", "<other/>");
    mFiles.Add("b.xml", "<sequence><framelist><frame w=\"4\" h=\"4\"/></framelist></sequence>");
    mFiles.Add("c.xml", "<sequence><img name=\"anim/sheet.png\"/></sequence>");
    mFiles.Add("d.xml", "<sequence><img name=\"anim/sheet.png\"/><framelist/></sequence>");
    for (const char* name : {"a.xml", "b.xml", "c.xml", "d.xml"})
        EXPECT_EQ(TAnimatedTexture::Get(name), nullptr) << name;
    const std::string log = Log();
    EXPECT_EQ(CountOf(log, "Animation a.xml does not contain a sequence node"), 1);
    EXPECT_EQ(CountOf(log, "Animation b.xml does not contain an img node"), 1);
    EXPECT_EQ(CountOf(log, "Animation c.xml does not contain a framelist node"), 1);
    EXPECT_EQ(CountOf(log, "Animation d.xml does not contain any frames!"), 1);
    // The missing "img" still lets the frames be read.
    TAnimatedTexture b;
    EXPECT_FALSE(b.Load("b.xml"));
    EXPECT_EQ(b.GetFrameCount(), 1);
}

TEST_F(AnimatedTextureTest, DamagedPackedFilesAreRefused)
{
    const std::string good = WalkAnm(2, true);
    // Cut anywhere: never a crash; cut before the script only loses the script.
    for (size_t cut = 0; cut < good.size(); ++cut)
    {
        TAnimatedTexture texture;
        const bool loaded = texture.LoadPacked(reinterpret_cast<const uint8_t*>(good.data()),
                                               static_cast<uint32_t>(cut));
        const size_t scriptAt = good.find("SCRP");
        EXPECT_EQ(loaded, cut >= scriptAt) << cut;
    }
    // Wrong tags fail silently; impossible counts and lengths fail with one line each.
    std::string wrongTag = good;
    wrongTag.replace(good.find("FRMS"), 4, "FRMX");
    auto header = []
    {
        AnmWriter w;
        w.Tag("ANIM").Int(0).Int(2).Str("s").Str("").Tag("IMGN").Int(0).Int(0).Int(0).Int(0);
        return w;
    };
    const std::string negativeFrames = header().Str("x").Str("").Tag("FRMS").Int(-1).Bytes();
    const std::string hugeFrames = header().Str("x").Str("").Tag("FRMS").Int(0x7FFFFFFF).Bytes();
    const std::string hugeName = header().Int(0x40000000).Bytes();
    AnmWriter negativeAnchors = header().Str("x").Str("").Tag("FRMS").Int(1);
    for (int i = 0; i < 13; ++i)
        negativeAnchors.Int(0);
    negativeAnchors.Str("").Int(-3);
    const std::pair<std::string, std::string> files[] = {
        {"wrongtag.anm", wrongTag},
        {"negframes.anm", negativeFrames},
        {"hugeframes.anm", hugeFrames},
        {"hugename.anm", hugeName},
        {"neganchors.anm", negativeAnchors.Bytes()}};
    for (const auto& [name, bytes] : files)
    {
        mFiles.Add(name, bytes);
        EXPECT_EQ(TAnimatedTexture::Get(name.c_str()), nullptr) << name;
    }
    const std::string log = Log();
    EXPECT_EQ(CountOf(log, "wrongtag.anm"), 0);
    for (const char* name : {"negframes.anm", "hugeframes.anm", "hugename.anm", "neganchors.anm"})
        EXPECT_EQ(CountOf(log, std::string("Animation ") + name +
                                   ": a count or length does not fit in the file"),
                  1)
            << name;
}

// Frames whose numbers no sheet holds (their far edges would overflow, which the sanitizer
// reports) are read as empty frames, with one line for the file; the good frames around them and
// the frame count stay.
TEST_F(AnimatedTextureTest, FrameRectanglesOutOfRangeAreReadEmpty)
{
    mFiles.Add("anim/wide.xml", "<sequence><img name=\"sheet.png\" w=\"32\" h=\"16\"/><framelist>\n"
                                " <frame x=\"2147483000\" y=\"0\" w=\"2000\" h=\"16\"/>\n"
                                " <frame x=\"16\" y=\"0\" w=\"16\" h=\"16\"/>\n"
                                " <frame x=\"0\" y=\"-2147483648\" w=\"8\" h=\"-2147483648\"/>\n"
                                "</framelist></sequence>\n");
    auto texture = TAnimatedTexture::Get("anim/wide.xml");
    ASSERT_NE(texture, nullptr);
    ASSERT_EQ(texture->GetFrameCount(), 3);
    TRect rect;
    texture->GetFrameRect(0, rect);
    EXPECT_EQ(rect, TRect(0, 0, 0, 0));
    texture->GetFrameRect(1, rect);
    EXPECT_EQ(rect, TRect(16, 0, 32, 16));
    texture->GetFrameRect(2, rect);
    EXPECT_EQ(rect, TRect(0, 0, 0, 0));
    EXPECT_EQ(texture->GetDescription().mWidestFrame, 16);
    texture->SetFrame(0);
    EXPECT_EQ(texture->GetWidth(), 0u);
    texture->Draw(TDrawSpec(TVec2(10, 10)));

    AnmWriter w;
    w.Tag("ANIM").Int(0).Int(2).Str("s").Str("").Tag("IMGN").Int(0).Int(0).Int(0).Int(0);
    w.Str("sheet.png").Str("").Tag("FRMS").Int(1);
    w.Int(0).Int(0).Int(0x7FFFFFF0).Int(0).Int(0x7FFFFFF0).Int(4).Float(1);
    for (int k = 0; k < 6; ++k)
        w.Float(0);
    w.Str("").Int(0);
    mFiles.Add("anim/wide.anm", w.Bytes());
    TAnimatedTexture packed;
    ASSERT_TRUE(packed.Load("anim/wide.anm"));
    packed.GetFrameRect(0, rect);
    EXPECT_EQ(rect, TRect(0, 0, 0, 0));

    const std::string log = Log();
    EXPECT_EQ(CountOf(log, "Animation anim/wide.xml: 2 frame rectangles out of range, shown empty "
                           "(the first, frame 0: x 2147483000, y 0, w 2000, h 16)"),
              1)
        << log;
    EXPECT_EQ(CountOf(log, "Animation anim/wide.anm: 1 frame rectangles out of range, shown empty "
                           "(the first, frame 0: x 2147483632, y 0, w 2147483632, h 4)"),
              1)
        << log;
}

TEST_F(AnimatedTextureTest, GoldenFramesWithTransformsAndMirroring)
{
    mFiles.Add("anim/walk.xml", kWalkXml);
    auto texture = TAnimatedTexture::Get("anim/walk");
    ASSERT_NE(texture, nullptr);
    ASSERT_TRUE(mRenderer->BeginDraw(false));
    mRenderer->FillRect(TRect(0, 0, 800, 600), TVec4(0.1f, 0.1f, 0.3f, 1));
    ASSERT_TRUE(mRenderer->Begin2d());
    mRenderer->SetTextureFilter(0);
    texture->SetFrame(0);
    texture->DrawAt(20, 20, 1, 1, 0, 0);
    texture->DrawAt(44, 20, 1, 1, 0, kDrawMirrorX); // the registration point stays at (44, 20)
    texture->SetFrame(1);                           // half width, moved by (2, 0), alpha 0.5
    texture->DrawAt(64, 20, 1, 2, 0, 0);
    texture->SetFrame(2);
    texture->DrawAt(100, 20, 1, 1, 0.4f, kDrawMirrorY);
    TDrawSpec part(TVec2(120, 20));
    part.mFlags = kDrawSourceRect;
    part.mSourceRect = TRect(2, 2, 20, 6); // cut to the frame
    texture->Draw(part);
    mRenderer->End2d();
    mRenderer->EndFrame(false);
    CompareWithGolden(*Data().mBackBuffer, sys::display::Rect{0, 0, 136, 40},
                      "animated_frames.png");
}
