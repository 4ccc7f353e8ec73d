// Stage-0 set-ups drawn on the fast and the general pixel paths give the same bytes, and the
// value the stage states say, for every argument the display code selects.
#include "device_test_util.h"

#include <gtest/gtest.h>

using namespace devtest;

namespace
{

struct StageSetup
{
    const char* mName;
    uint32_t mColorOp, mColorArg1, mColorArg2;
    uint32_t mAlphaOp, mAlphaArg1, mAlphaArg2;
};

// A 2 x 2 texture drawn 1:1 at (1, 1) with blending off; the general path is forced by a depth
// test that always passes.
std::vector<uint32_t> Draw(const StageSetup& s, bool general, FormatId format)
{
    auto target = MakeSurface(4, 4, format, 0xFF000000u);
    target->AddAttachedSurface(MakeSurface(4, 4, FormatId::D16));
    auto dev = Make2dDevice(target);
    if (general)
    {
        dev->SetRenderState(RS_ZENABLE, 1);
        dev->SetRenderState(RS_ZFUNC, CMP_ALWAYS);
    }
    dev->SetTexture(0, MakeTexture(2, 2, {0xFF204080u, 0x40FFFFFFu, 0x80102030u, 0xC0C08040u}));
    dev->SetRenderState(RS_TEXTUREFACTOR, 0x60FFFFFFu);
    dev->SetTextureStageState(0, TSS_COLOROP, s.mColorOp);
    dev->SetTextureStageState(0, TSS_COLORARG1, s.mColorArg1);
    dev->SetTextureStageState(0, TSS_COLORARG2, s.mColorArg2);
    dev->SetTextureStageState(0, TSS_ALPHAOP, s.mAlphaOp);
    dev->SetTextureStageState(0, TSS_ALPHAARG1, s.mAlphaArg1);
    dev->SetTextureStageState(0, TSS_ALPHAARG2, s.mAlphaArg2);
    DrawQuad(*dev, Quad2d(1, 1, 3, 3, 0x80FF8000u));
    return ReadAll(*target);
}

} // namespace

TEST(StageSetups, FastAndGeneralPathsAgreeAndFollowTheStageStates)
{
    const StageSetup setups[] = {
        {"modulate, alpha modulate", TOP_MODULATE, TA_TEXTURE, TA_CURRENT, TOP_MODULATE, TA_TEXTURE,
         TA_DIFFUSE},
        {"modulate, alpha from the texture", TOP_MODULATE, TA_DIFFUSE, TA_TEXTURE, TOP_SELECTARG1,
         TA_TEXTURE, TA_CURRENT},
        {"texture, alpha from the diffuse colour", TOP_SELECTARG1, TA_TEXTURE, TA_CURRENT,
         TOP_SELECTARG1, TA_DIFFUSE, TA_TEXTURE},
        {"texture, alpha from the second argument", TOP_SELECTARG2, TA_CURRENT, TA_TEXTURE,
         TOP_SELECTARG2, TA_TEXTURE, TA_CURRENT},
        {"texture, alpha from the factor", TOP_SELECTARG1, TA_TEXTURE, TA_CURRENT, TOP_SELECTARG1,
         TA_TFACTOR, TA_CURRENT},
        {"alpha as grey", TOP_SELECTARG1, TA_TEXTURE | TA_ALPHAREPLICATE, TA_CURRENT,
         TOP_SELECTARG1, TA_TFACTOR, TA_CURRENT},
        {"diffuse alpha as grey", TOP_SELECTARG1, TA_DIFFUSE | TA_ALPHAREPLICATE, TA_CURRENT,
         TOP_SELECTARG1, TA_TFACTOR, TA_CURRENT},
        {"complemented alpha", TOP_SELECTARG1, TA_TEXTURE, TA_CURRENT, TOP_SELECTARG1,
         TA_DIFFUSE | TA_COMPLEMENT, TA_CURRENT},
    };
    // Texel (0, 0) is 0xFF204080, the diffuse colour 0x80FF8000, the factor 0x60FFFFFF.
    const uint32_t expected[] = {0x80202000u, 0xFF202000u, 0x80204080u, 0x80204080u,
                                 0x60204080u, 0x60FFFFFFu, 0x60808080u, 0x7F204080u};
    for (size_t i = 0; i < std::size(setups); ++i)
    {
        const StageSetup& s = setups[i];
        const std::vector<uint32_t> fast = Draw(s, false, FormatId::A8R8G8B8);
        EXPECT_EQ(fast, Draw(s, true, FormatId::A8R8G8B8)) << s.mName;
        EXPECT_EQ(Draw(s, false, FormatId::A4R4G4B4), Draw(s, true, FormatId::A4R4G4B4)) << s.mName;
        EXPECT_EQ(fast[1 * 4 + 1], expected[i]) << s.mName;
        EXPECT_EQ(fast[0], 0xFF000000u) << s.mName;
    }
}
