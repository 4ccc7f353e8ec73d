// MaskCollisionSprite: building the mask from a texture, the rotated and scaled copy, the overlap
// scan and the glow texture.
#include "framework/widgets/mask_collision_sprite.h"

#include "framework/core/frame_services.h"
#include "render/sprites/animated_texture.h"
#include "render/textures/texture.h"

#include <algorithm>
#include <cmath>

namespace
{
const char* const kSource = "maskcollisionsprite";

// Margin of the glow around the frame, and the half-size of the block it averages.
constexpr int kMargin = 8;
constexpr int kGlowRadius = 4;
// The largest transformed mask made (256 MB).
constexpr int64_t kMaxMaskBytes = int64_t(1) << 28;
} // namespace

std::shared_ptr<MaskCollisionSprite> MaskCollisionSprite::Create()
{
    return std::make_shared<MaskCollisionSprite>();
}

MaskCollisionSprite::MaskCollisionSprite() : TSprite(0) {}

MaskCollisionSprite::~MaskCollisionSprite()
{
    ReleaseMasks();
    mHilite.reset();
}

void MaskCollisionSprite::FreeTransformedMask()
{
    if (mMask != nullptr && mMask == mTransformed.get())
        mMask = nullptr;
    mTransformed.reset();
}

void MaskCollisionSprite::FreeMasks()
{
    FreeTransformedMask();
    mMask = nullptr;
    mBaseMask.reset();
}

void MaskCollisionSprite::ReleaseMasks()
{
    TSprite::SetTexture(nullptr);
    FreeMasks();
}

void MaskCollisionSprite::UseBaseMask()
{
    FreeTransformedMask();
    mMask = mBaseMask.get();
    mMaskHeight = mBaseHeight;
    mMaskWidth = mBaseWidth;
    mMaskScale = 1.0f;
    mMaskAngle = 0.0f;
}

bool MaskCollisionSprite::CreateMask(std::shared_ptr<TTexture> maskTexture)
{
    if (!maskTexture)
    {
        ReportError("Invalid param", kSource, __LINE__, false);
        return false;
    }
    TSprite::SetTexture(maskTexture);
    FreeMasks();

    uint32_t* texels = nullptr;
    int pitch = 0;
    if (!maskTexture->Lock(texels, pitch))
    {
        ReportError("Failed to lock texture", kSource, __LINE__, false);
        return false;
    }
    mBaseHeight = static_cast<int32_t>(maskTexture->GetHeight());
    mBaseWidth = static_cast<int32_t>(maskTexture->GetWidth());
    const size_t width = static_cast<size_t>(mBaseWidth);
    const size_t height = static_cast<size_t>(mBaseHeight);
    mBaseMask = std::make_unique<uint8_t[]>(width * height);
    for (size_t y = 0; y < height; ++y)
    {
        const uint32_t* row = texels + y * static_cast<size_t>(pitch);
        uint8_t* out = mBaseMask.get() + y * width;
        for (size_t x = 0; x < width; ++x)
            out[x] = row[x] != 0 ? 1 : 0;
    }
    maskTexture->Unlock();
    UseBaseMask();
    return true;
}

void MaskCollisionSprite::FillHilite(uint32_t* hilite, int hilitePitch, const uint32_t* image,
                                     int imagePitch, const TRect& frame, uint32_t glowColour)
{
    const int w = frame.Width();
    const int h = frame.Height();
    const int width = w + 2 * kMargin;
    const int height = h + 2 * kMargin;
    auto at = [&](int x, int y) -> uint32_t&
    {
        return hilite[static_cast<size_t>(y) * static_cast<size_t>(hilitePitch) +
                      static_cast<size_t>(x)];
    };
    auto source = [&](int x, int y)
    {
        return image[static_cast<size_t>(frame.top + y) * static_cast<size_t>(imagePitch) +
                     static_cast<size_t>(frame.left + x)];
    };

    // Every texel is written: a new texture is not known to start cleared.
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            at(x, y) = 0;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
        {
            const uint32_t texel = source(x, y);
            if ((texel & alphaMask) != 0)
                at(x + kMargin, y + kMargin) = texel;
        }

    // In place, so each block already sees the replaced texels above and to its left.
    const uint32_t colour = glowColour & ~alphaMask;
    const int edge = kMargin - kGlowRadius;
    for (int y = edge; y < height - edge; ++y)
        for (int x = edge; x < width - edge; ++x)
        {
            uint32_t sum = 0;
            for (int by = y - kGlowRadius; by <= y + kGlowRadius; ++by)
                for (int bx = x - kGlowRadius; bx <= x + kGlowRadius; ++bx)
                    sum += (at(bx, by) >> alphaShift) & 0xFFu;
            const auto alpha = static_cast<uint32_t>(static_cast<double>(sum) / 81.0);
            at(x, y) = (alpha << alphaShift) | colour;
        }

    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            if ((source(x, y) & alphaMask) == alphaMask)
                at(x + kMargin, y + kMargin) = 0;
}

bool MaskCollisionSprite::CreateMaskAnimated(std::shared_ptr<TTexture>& hiliteOut, int frame,
                                             const TColor& glowColour,
                                             std::shared_ptr<TTexture> maskTexture,
                                             std::shared_ptr<TAnimatedTexture> image)
{
    if (!CreateMask(std::move(maskTexture)))
        return false;
    if (!image)
    {
        ReportError("Invalid param", kSource, __LINE__, false);
        return false;
    }
    uint32_t* imageTexels = nullptr;
    int imagePitch = 0;
    if (!image->Lock(imageTexels, imagePitch))
    {
        ReportError("Failed to lock animatedTexture", kSource, __LINE__, false);
        return false;
    }
    TRect r;
    image->GetFrameRect(frame, r);
    // A frame rectangle from a damaged description must not lead the copy outside the sheet.
    const TTextureData* sheet = image->GetData();
    if (r.left < 0 || r.top < 0 || r.right < r.left || r.bottom < r.top ||
        static_cast<uint32_t>(r.right) > sheet->mImageWidth ||
        static_cast<uint32_t>(r.bottom) > sheet->mImageHeight)
    {
        image->Unlock();
        ReportError("Invalid param", kSource, __LINE__, false);
        return false;
    }

    mHilite = TTexture::Create(static_cast<uint32_t>(r.Width() + 2 * kMargin),
                               static_cast<uint32_t>(r.Height() + 2 * kMargin), true);
    uint32_t* hiliteTexels = nullptr;
    int hilitePitch = 0;
    if (!mHilite || !mHilite->Lock(hiliteTexels, hilitePitch))
    {
        ReportError("Failed to lock hilite texture", kSource, __LINE__, false);
        image->Unlock();
        return false;
    }
    FillHilite(hiliteTexels, hilitePitch, imageTexels, imagePitch, r, glowColour.GetPacked());
    mHilite->Unlock();
    image->Unlock();
    hiliteOut = mHilite;
    return true;
}

void MaskCollisionSprite::UpdateTransformedMask(const TDrawSpec& parentSpec)
{
    const TDrawSpec spec = mSpec.Combine(parentSpec);
    const TVec2 d = TransformVector(TVec2(1, 0), spec.mMatrix);
    const float theta = std::atan2(d.y, d.x);
    const float s = (spec.mMatrix * MakeRotationMatrix(-theta)).m[0][0];

    if (theta == 0.0f && s == 1.0f)
    {
        UseBaseMask();
        return;
    }
    if (theta == mMaskAngle && s == mMaskScale)
        return;

    FreeTransformedMask();
    mMask = nullptr;
    mMaskScale = s;
    mMaskAngle = theta;
    ++mTransformBuilds;
    TRect bounds;
    GetBounds(bounds, parentSpec, -1);
    const int64_t height = static_cast<int64_t>(bounds.bottom) - bounds.top;
    const int64_t width = static_cast<int64_t>(bounds.right) - bounds.left;
    // A zero or non-finite scale, or bounds without area, leave an empty mask rather than a
    // division by zero or a negative allocation; so does a scale that would ask for more memory
    // than any overlap test is worth.
    if (!mBaseMask || !std::isfinite(s) || !std::isfinite(theta) || s == 0.0f || width <= 0 ||
        height <= 0 || width > INT32_MAX || height > INT32_MAX || width * height > kMaxMaskBytes)
    {
        mMaskHeight = 0;
        mMaskWidth = 0;
        return;
    }
    mMaskHeight = static_cast<int32_t>(height);
    mMaskWidth = static_cast<int32_t>(width);
    mTransformed = std::make_unique<uint8_t[]>(static_cast<size_t>(width * height));
    mMask = mTransformed.get();

    const float c = std::cos(theta);
    const float n = std::sin(theta);
    const auto bw = static_cast<float>(mBaseWidth);
    const auto bh = static_cast<float>(mBaseHeight);
    const float minX = std::min({0.0f, bw * c, -bh * n, bw * c - bh * n});
    const float minY = std::min({0.0f, bw * n, bh * c, bw * n + bh * c});
    const uint8_t* base = mBaseMask.get();
    uint8_t* out = mTransformed.get();
    for (int32_t y = 0; y < mMaskHeight; ++y)
        for (int32_t x = 0; x < mMaskWidth; ++x)
        {
            const float X = static_cast<float>(x) + minX * s;
            const float Y = static_cast<float>(y) + minY * s;
            const float fx = (X * c + Y * n) / s;
            const float fy = (Y * c - X * n) / s;
            // Truncation toward zero keeps (-1, 0) at column 0; anything outside is checked
            // before it is converted, so no conversion overflows.
            uint8_t value = 0;
            if (fx > -1.0f && fx < bw && fy > -1.0f && fy < bh)
                value = base[static_cast<size_t>(static_cast<int32_t>(fy)) *
                                 static_cast<size_t>(mBaseWidth) +
                             static_cast<size_t>(static_cast<int32_t>(fx))];
            *out++ = value;
        }
}

bool MaskCollisionSprite::CollidesWith(const TDrawSpec& ownParentSpec,
                                       const TDrawSpec& otherParentSpec,
                                       const std::shared_ptr<MaskCollisionSprite>& other)
{
    if (!mBaseMask || !other)
        return false;
    TRect a;
    TRect b;
    GetBounds(a, ownParentSpec, -1);
    other->GetBounds(b, otherParentSpec, -1);
    if (a.left > b.right || a.top > b.bottom || b.left > a.right || b.top > a.bottom)
        return false;
    TRect both;
    both.SetIntersection(a, b);
    UpdateTransformedMask(ownParentSpec);
    other->UpdateTransformedMask(otherParentSpec);
    if (mMask == nullptr || other->mMask == nullptr)
        return false;

    const int64_t ownRow = std::max<int64_t>(0, static_cast<int64_t>(b.top) - a.top);
    const int64_t ownColumn = std::max<int64_t>(0, static_cast<int64_t>(b.left) - a.left);
    const int64_t otherRow = std::max<int64_t>(0, static_cast<int64_t>(a.top) - b.top);
    const int64_t otherColumn = std::max<int64_t>(0, static_cast<int64_t>(a.left) - b.left);
    // The bounds include children, the masks only the sprite: the scan stays inside both masks.
    const int64_t rows = std::min({static_cast<int64_t>(both.bottom) - both.top,
                                   mMaskHeight - ownRow, other->mMaskHeight - otherRow});
    const int64_t columns = std::min({static_cast<int64_t>(both.right) - both.left,
                                      mMaskWidth - ownColumn, other->mMaskWidth - otherColumn});
    if (rows <= 0 || columns <= 0)
        return false;

    const uint8_t* own = mMask + ownRow * mMaskWidth + ownColumn;
    const uint8_t* theirs = other->mMask + otherRow * other->mMaskWidth + otherColumn;
    for (int64_t y = 0; y < rows; ++y)
    {
        // Mask bytes are 0 or 1: a row's AND folded together says whether it holds a pair,
        // without a branch per texel.
        uint8_t pair = 0;
        for (int64_t x = 0; x < columns; ++x)
            pair |= own[x] & theirs[x];
        if (pair != 0)
            return true;
        own += mMaskWidth;
        theirs += other->mMaskWidth;
    }
    return false;
}
