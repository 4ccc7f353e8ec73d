// Sprites: the tree with its layer order, drawing, bounds and the hit test through a 4 x 4 alpha
// render target; animated sprites over their frame state and its script tasks.
#include "render/sprites/sprite.h"

#include "platform/shell/application.h"
#include "platform/config/config.h"
#include "platform/shell/task.h"
#include "render/sprites/animated_texture.h"
#include "render/renderer/renderer.h"
#include "render/textures/texture.h"
#include "script/script.h"

#include <algorithm>
#include <atomic>
#include <cmath>

namespace
{
std::atomic<int> gSpriteCount{0};

void PublishSpriteCount(int count)
{
    SetConfig("current_sprite_count", TString::Format("%d", count));
}

// Owns the hit test's target for the application's lifetime: the restore-task list deletes it at
// teardown, so no texture outlives the display it was made for.
class THitTestTargetOwner : public TTask
{
public:
    explicit THitTestTargetOwner(std::shared_ptr<TTexture> texture) : mTexture(std::move(texture))
    {
    }
    bool Run() override { return true; }

private:
    std::shared_ptr<TTexture> mTexture;
};

// The shared 4 x 4 alpha texture, made on first use.
std::shared_ptr<TTexture> HitTestTarget()
{
    static std::weak_ptr<TTexture> shared;
    if (auto existing = shared.lock())
        return existing;
    auto texture = TTexture::Create(4, 4, true);
    if (!texture)
        return nullptr;
    shared = texture;
    if (TApplication* application = TApplication::Get())
    {
        application->AddRestoreTask(new THitTestTargetOwner(texture));
    }
    else
    {
        // A display without an application (tools, benchmarks) keeps it for the process.
        static std::shared_ptr<TTexture> kept;
        kept = texture;
    }
    return texture;
}

// Truncated toward zero.
int32_t Truncate(float v)
{
    return static_cast<int32_t>(std::trunc(v));
}
} // namespace

TSprite::TSprite(int32_t layer) : mLayer(layer)
{
    PublishSpriteCount(++gSpriteCount);
}

TSprite::~TSprite()
{
    for (auto& child : mChildren)
        child->mParent = nullptr;
    PublishSpriteCount(--gSpriteCount);
}

int TSprite::GetSpriteCount()
{
    return gSpriteCount;
}

std::shared_ptr<TSprite> TSprite::Create(int32_t layer, const std::shared_ptr<TTexture>& texture)
{
    auto sprite = std::make_shared<TSprite>(layer);
    if (texture)
        sprite->SetTexture(texture);
    return sprite;
}

void TSprite::SetTexture(const std::shared_ptr<TTexture>& texture)
{
    mTexture = texture;
}

void TSprite::SetLayer(int32_t layer)
{
    if (layer == mLayer)
        return;
    mLayer = layer;
    if (mParent)
        mParent->SortChildren();
}

void TSprite::SortChildren()
{
    std::stable_sort(mChildren.begin(), mChildren.end(),
                     [](const std::shared_ptr<TSprite>& a, const std::shared_ptr<TSprite>& b)
                     { return a->mLayer < b->mLayer; });
}

void TSprite::AddChild(const std::shared_ptr<TSprite>& child)
{
    if (!child || child->mParent == this || child.get() == this)
        return;
    // Held here while the old parent lets go of its reference.
    std::shared_ptr<TSprite> keep = child;
    if (child->mParent)
        child->mParent->RemoveChild(child);
    mChildren.push_back(child);
    SortChildren();
    child->mParent = this;
}

bool TSprite::RemoveChild(const std::shared_ptr<TSprite>& child)
{
    auto found = std::find(mChildren.begin(), mChildren.end(), child);
    if (found == mChildren.end())
        return false;
    child->mParent = nullptr;
    mChildren.erase(found);
    return true;
}

void TSprite::RemoveAllChildren()
{
    for (auto& child : mChildren)
        child->mParent = nullptr;
    mChildren.clear();
}

void TSprite::Draw(const TDrawSpec& parent, int depth)
{
    if (!mVisible)
        return;
    const TDrawSpec spec = mSpec.Combine(parent);
    size_t next = 0;
    if (depth != 0)
        for (; next < mChildren.size() && mChildren[next]->mLayer < 0; ++next)
            mChildren[next]->Draw(spec, depth - 1);
    if (mTexture)
        mTexture->Draw(spec);
    if (depth != 0)
        for (; next < mChildren.size(); ++next)
            mChildren[next]->Draw(spec, depth - 1);
}

void TSprite::GetBounds(TRect& out, const TDrawSpec& parent, int depth)
{
    const TDrawSpec spec = mSpec.Combine(parent);
    out = TRect(10000000, 10000000, -10000000, -10000000);
    if (mTexture)
    {
        float width = static_cast<float>(mTexture->GetWidth());
        float height = static_cast<float>(mTexture->GetHeight());
        if (mSpec.mFlags & kDrawSourceRect)
        {
            // The drawn part's size wherever the rectangle lies in the image.
            width = static_cast<float>(mSpec.mSourceRect.Width());
            height = static_cast<float>(mSpec.mSourceRect.Height());
        }
        const TVec2 topLeft =
            (mSpec.mFlags & kDrawOrigin) ? -mSpec.mOrigin : TVec2(-width / 2, -height / 2);
        const TVec2 corners[4] = {topLeft, topLeft + TVec2(width, 0),
                                  topLeft + TVec2(width, height), topLeft + TVec2(0, height)};
        TVec2 first = corners[0] * spec.mMatrix;
        float minX = first.x, maxX = first.x, minY = first.y, maxY = first.y;
        for (int i = 1; i < 4; ++i)
        {
            const TVec2 p = corners[i] * spec.mMatrix;
            minX = std::min(minX, p.x);
            maxX = std::max(maxX, p.x);
            minY = std::min(minY, p.y);
            maxY = std::max(maxY, p.y);
        }
        out = TRect(Truncate(minX), Truncate(minY), Truncate(maxX), Truncate(maxY));
    }
    if (depth != 0)
        for (auto& child : mChildren)
        {
            TRect box;
            child->GetBounds(box, spec, depth - 1);
            out.SetUnion(out, box);
        }
}

bool TSprite::HitTest(const TVec2& point, const TDrawSpec& parent, int threshold, int depth)
{
    static const TString kChildren("hittestchildren");
    if (!mTexture && !IsEnabled(kChildren))
        return false;
    if (!mVisible)
        return false;
    TRect bounds;
    GetBounds(bounds, parent, depth);
    if (point.x < static_cast<float>(bounds.left) || point.y < static_cast<float>(bounds.top) ||
        point.x >= static_cast<float>(bounds.right) || point.y >= static_cast<float>(bounds.bottom))
        return false;
    if (threshold < 0)
        return true;
    TRenderer* renderer = TRenderer::Existing();
    if (!renderer)
        return false;
    std::shared_ptr<TTexture> target = HitTestTarget();
    // The alpha target: its alpha is the drawn coverage, so transparent texels miss.
    if (!target || !renderer->BeginRenderTarget(target, 4))
        return false;
    renderer->FillRect(TRect(1, 1, 2, 2), TVec4(0, 0, 0, 0), target);
    TDrawSpec moved = parent;
    moved.mMatrix.m[2][0] += 1 - point.x;
    moved.mMatrix.m[2][1] += 1 - point.y;
    if (renderer->Begin2d())
    {
        Draw(moved, depth);
        renderer->End2d();
    }
    renderer->EndDraw();
    uint32_t* pixels = nullptr;
    int pitch = 0;
    if (!target->Lock(pixels, pitch))
        return false;
    if (renderer->GetOption("16bitmode").ToInt() != 0 && threshold > 240)
        threshold &= ~0xF;
    const int alpha = static_cast<int>(pixels[pitch + 1] >> 24);
    target->Unlock();
    return alpha >= threshold;
}

TAnimationFrameState::~TAnimationFrameState()
{
    ShiftAnimationTasks(*this);
    ShiftAnimationTasks(*this);
}

void ShiftAnimationTasks(TAnimationFrameState& state)
{
    for (TAnimationTaskSlot& slot : state.mSlots)
    {
        delete slot.mRunning;
        slot.mRunning = nullptr;
        TApplication* application = TApplication::Get();
        if (slot.mPending && application && application->RemoveTask(slot.mPending))
        {
            slot.mRunning = slot.mPending;
            // Started: its first step runs now, outside the idle list.
            slot.mRunning->Animate();
        }
        slot.mPending = nullptr;
        slot.mRate = 1.0f;
    }
}

std::shared_ptr<TAnimatedSprite> TAnimatedSprite::Create(int32_t layer)
{
    return std::make_shared<TAnimatedSprite>(layer);
}

TAnimatedSprite::~TAnimatedSprite() = default;

void TAnimatedSprite::SetTexture(const std::shared_ptr<TTexture>& texture)
{
    TSprite::SetTexture(texture);
    mState.mTexture = TAnimatedTexture::FromTexture(texture);
}

void TAnimatedSprite::SetFrame(int32_t frame)
{
    if (frame < -1)
        return;
    mState.mFrame = frame;
    if (mState.mTexture && frame < mState.mTexture->GetFrameCount())
        mState.mTexture->SetFrame(frame);
}

int32_t TAnimatedSprite::GetFrameCount() const
{
    return mState.mTexture ? mState.mTexture->GetFrameCount() : 1;
}

void TAnimatedSprite::ShowFrame()
{
    if (mState.mTexture)
        mState.mTexture->SetFrame(mState.mFrame);
}

void TAnimatedSprite::Draw(const TDrawSpec& parent, int depth)
{
    ShowFrame();
    TSprite::Draw(parent, depth);
}

bool TAnimatedSprite::HitTest(const TVec2& point, const TDrawSpec& parent, int threshold, int depth)
{
    ShowFrame();
    return TSprite::HitTest(point, parent, threshold, depth);
}

void TAnimatedSprite::GetBounds(TRect& out, const TDrawSpec& parent, int depth)
{
    const TAnimationFrame* frame =
        mState.mTexture ? mState.mTexture->GetFrameRecord(mState.mTexture->GetFrame()) : nullptr;
    if (!frame)
    {
        TSprite::GetBounds(out, parent, depth);
        return;
    }
    const TDrawSpec saved = mSpec;
    if (frame->HasTransform())
    {
        const float* t = frame->mTransform;
        mSpec.mMatrix = TMat3(t[0], t[1], 0, t[2], t[3], 0, t[4], t[5], 1) * mSpec.mMatrix;
    }
    if (!(saved.mFlags & kDrawOrigin))
    {
        TVec2 origin(static_cast<float>(frame->mRegX), static_cast<float>(frame->mRegY));
        if (saved.mFlags & kDrawMirrorX)
            origin.x = static_cast<float>(frame->mW) - origin.x;
        if (saved.mFlags & kDrawMirrorY)
            origin.y = static_cast<float>(frame->mH) - origin.y;
        mSpec.mOrigin = origin;
        mSpec.mFlags |= kDrawOrigin;
    }
    TSprite::GetBounds(out, parent, depth);
    mSpec = saved;
}
