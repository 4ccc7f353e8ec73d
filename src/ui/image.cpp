// TImage: the texture and its size rule, the covering flag, the style keys (image, mask, alpha,
// mip-maps, mirroring, the quarter turn, autoscale) and drawing through the renderer.
#include "ui/image.h"

#include "platform/shell/application.h"
#include "render/renderer/renderer.h"
#include "render/textures/texture.h"
#include "ui/window_manager.h"
#include "ui/window_style.h"

namespace
{
constexpr float kQuarterTurn = 1.5707964f;

// Truncated toward zero; NaN gives 0 and the result stays within 2^24 either way, so that
// positions and sizes made from free style numbers can be added up in the tree without overflow.
int32_t ToSize(double value)
{
    constexpr double kLimit = 16777216.0;
    if (!(value == value))
        return 0;
    return static_cast<int32_t>(value > kLimit ? kLimit : (value < -kLimit ? -kLimit : value));
}

void MarkDirty()
{
    if (TWindowManager* manager = GetWindowManager())
        manager->SetDirty();
}

} // namespace

TImage::TImage(bool renderTargetPass)
{
    if (renderTargetPass)
        AddFlagBits(kWindowRenderTargetPass);
    SetFlags(GetFlags() | kWindowCovers);
}

TImage::~TImage()
{
    mTexture.reset();
}

TWindow* TImage::Create()
{
    return new TImage(true);
}

TImage* TImage::FromWindow(TWindow* window)
{
    return window != nullptr && window->IsKindOf(GetClassId()) ? static_cast<TImage*>(window)
                                                               : nullptr;
}

void TImage::ApplySizeRule()
{
    uint32_t width = mTexture->GetWidth();
    uint32_t height = mTexture->GetHeight();
    if (mRotate)
        std::swap(width, height);
    SetSize(ToSize(static_cast<float>(width) * mScale + 0.5f),
            ToSize(static_cast<float>(height) * mScale + 0.5f));
}

void TImage::SetTexture(const std::shared_ptr<TTexture>& texture, float scale)
{
    mTexture = texture;
    mScale = scale;
    if (mTexture)
        ApplySizeRule();
    MarkDirty();
}

void TImage::SetAlpha(float alpha)
{
    mAlpha = alpha;
    bool covers = alpha == 1.0f && mTexture && !mTexture->HasAlpha();
    uint32_t flags = GetFlags();
    // The bit is only ever cleared through SetFlags, which takes the image out of its modal's
    // cover set: with the bit clear and staying clear there is nothing to re-evaluate. Fades set
    // the alpha of whole screens every frame.
    if (!covers && (flags & kWindowCovers) == 0)
    {
        MarkDirty();
        return;
    }
    SetFlags(covers ? flags | kWindowCovers : flags & ~static_cast<uint32_t>(kWindowCovers));
    MarkDirty();
}

void TImage::SetRotate(bool rotate)
{
    if (rotate == mRotate)
        return;
    mRotate = rotate;
    if (mTexture)
        ApplySizeRule();
    MarkDirty();
}

void TImage::SetDrawFlags(uint32_t flags)
{
    mDrawFlags = flags;
    MarkDirty();
}

void TImage::Init(TWindowStyle& style)
{
    TString image = style.GetString("image", TString());
    TString mask = style.GetString("mask", TString());
    float scale = static_cast<float>(style.GetNumber("scale", 1.0));
    bool alpha = style.GetBool("alpha", false);
    bool mipmap = style.GetBool("mipmap", false);
    if (style.GetBool("hflip", false))
        mDrawFlags |= kDrawMirrorX;
    if (style.GetBool("vflip", false))
        mDrawFlags |= kDrawMirrorY;
    mRotate = style.GetBool("rotate", false);

    uint32_t textureFlags = 0;
    if (alpha)
    {
        textureFlags |= kTextureAlpha;
        SetFlags(GetFlags() & ~static_cast<uint32_t>(kWindowCovers));
    }
    if (mipmap)
        textureFlags |= kTextureMipmaps;

    std::shared_ptr<TTexture> texture;
    if (image.Length() != 0 && mask.Length() != 0)
        texture = TTexture::GetWithMask(image, mask, mipmap);
    else if (image.Length() != 0)
        texture = TTexture::Get(image, textureFlags);

    TApplication* app = TApplication::Get();
    if (texture && scale == 1.0f && style.GetBool("autoscale", false) && app != nullptr)
    {
        int width = 0;
        int height = 0;
        bool full = false;
        app->GetDisplayMode(width, height, full);
        uint32_t tw = texture->GetWidth();
        uint32_t th = texture->GetHeight();
        float sx = tw == 0 ? 1.0f : static_cast<float>(width) / static_cast<float>(tw);
        float sy = th == 0 ? 1.0f : static_cast<float>(height) / static_cast<float>(th);
        scale = sy > 1.0f ? sy : sx;
    }
    SetTexture(texture, scale);
    // Last, so that the style's own placement overrides the size taken from the texture.
    TWindow::Init(style);
}

void TImage::Draw()
{
    TRenderer* renderer = TRenderer::Existing();
    if (!mTexture || renderer == nullptr)
        return;
    Render2dGuard guard;
    if (!renderer->InBegin2d())
        guard.mOpened = renderer->Begin2d();
    TDrawSpec spec(TVec2(0, 0), mAlpha, mScale);
    spec.mFlags |= mDrawFlags | kDrawOrigin;
    if (mRotate)
    {
        // The turn maps (x, y) to (-y, x): moving by the turned image's width puts it back into
        // the window's rectangle.
        spec.mMatrix.m[2][0] = static_cast<float>(mTexture->GetHeight()) * mScale;
        spec.mMatrix.Rotate(kQuarterTurn);
    }
    mTexture->Draw(spec);
    guard.End();
}
