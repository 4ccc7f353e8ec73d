// TSlider: orientation and style keys, the thumb's geometry and the size rule, the rail drawn as
// three quads, dragging with the mouse capture, page requests and the value messages.
#include "ui/slider.h"

#include "render/renderer/renderer.h"
#include "render/textures/texture.h"
#include "render/renderer/vertex_set.h"
#include "ui/image.h"
#include "ui/window_manager.h"
#include "ui/window_style.h"

#include <cmath>

namespace
{
constexpr uint32_t kTriangleList = 4;
constexpr int32_t kRailBlendAlpha = 0;
constexpr int32_t kRailCullNone = 1;

using TRailVertex = TColoredVertex;

// The two triangles of a rail section, as unit corners (across, along).
constexpr float kCorners[6][2] = {{0, 0}, {1, 0}, {0, 1}, {1, 0}, {1, 1}, {0, 1}};

// Truncated toward zero; NaN gives 0 and the result stays within 2^24 either way, so that
// positions and sizes made from free style numbers can be added up in the tree without overflow.
int32_t ToInt(double value)
{
    constexpr double kLimit = 16777216.0;
    if (!(value == value))
        return 0;
    return static_cast<int32_t>(value > kLimit ? kLimit : (value < -kLimit ? -kLimit : value));
}

} // namespace

TSlider::TSlider() : mThumb(new TImage(true)) {}

TSlider::~TSlider()
{
    if (mThumb != nullptr && mThumb->GetParent() == nullptr)
        delete mThumb;
    for (auto& image : mThumbImages)
        image.reset();
    for (auto& image : mRailImages)
        image.reset();
}

TWindow* TSlider::Create()
{
    return new TSlider();
}

TClassId TSlider::GetClassId()
{
    return reinterpret_cast<TClassId>(&TSlider::Create);
}

TSlider* TSlider::FromWindow(TWindow* window)
{
    return window != nullptr && window->IsKindOf(GetClassId()) ? static_cast<TSlider*>(window)
                                                               : nullptr;
}

void TSlider::MoveThumb()
{
    const TRect& thumb = mThumb->GetRect();
    int32_t length = mHorizontal ? GetWidth() : GetHeight();
    int32_t thumbLength = mHorizontal ? thumb.Width() : thumb.Height();
    int32_t along = ToInt(static_cast<float>(int64_t{length} - thumbLength) * mValue);
    if (mHorizontal)
        mThumb->SetPosition(along, mOffset);
    else
        mThumb->SetPosition(mOffset, along);
}

void TSlider::ApplySizeRule()
{
    int32_t thickness = 0;
    for (const auto& image : mRailImages)
    {
        if (image)
            thickness = std::max(thickness, ToInt(static_cast<float>(image->GetWidth()) * mScale));
    }
    int32_t across = mHorizontal ? mThumb->GetHeight() : mThumb->GetWidth();
    thickness = std::max(thickness, ToInt(std::fabs(double(mOffset)) + across));
    mThickness = thickness;
    if (mHorizontal)
        SetSize(GetWidth(), thickness);
    else
        SetSize(thickness, GetHeight());
}

void TSlider::SetValue(float value, bool silent)
{
    // A value from a zero-length drag or a script's NaN must not reach the thumb's position.
    if (!std::isfinite(value))
        value = 0.0f;
    mValue = value < 0.0f ? 0.0f : (value > 1.0f ? 1.0f : value);
    MoveThumb();
    if (!silent)
        Notify(kSliderValChanged);
}

void TSlider::Notify(int32_t type)
{
    if (TWindow* parent = GetParent())
        parent->SendMessage(new TMessage(type, GetName()));
}

void TSlider::SetRailImages(std::shared_ptr<TTexture> start, std::shared_ptr<TTexture> middle,
                            std::shared_ptr<TTexture> end)
{
    mRailImages[0] = std::move(start);
    mRailImages[1] = std::move(middle);
    mRailImages[2] = std::move(end);
    ApplySizeRule();
}

void TSlider::SetThumbImages(std::shared_ptr<TTexture> normal, std::shared_ptr<TTexture> rollover)
{
    mThumbImages[0] = std::move(normal);
    mThumbImages[1] = std::move(rollover);
    if (mThumbImages[0])
        mThumb->SetTexture(mThumbImages[0], mScale);
    if (mThumb->GetParent() == nullptr)
        AddChild(mThumb, true);
    ApplySizeRule();
}

void TSlider::ShowThumbImage(bool rollover)
{
    // Without a roll-over image the thumb keeps its normal look rather than vanishing.
    const auto& image = rollover && mThumbImages[1] ? mThumbImages[1] : mThumbImages[0];
    if (image)
        mThumb->SetTexture(image, mScale);
}

void TSlider::Init(TWindowStyle& style)
{
    TWindow::Init(style);
    if (mInitialised)
        return;
    mInitialised = true;
    int32_t w = style.GetInt("w", 0);
    int32_t h = style.GetInt("h", 0);
    double hslider = style.GetNumber("hslider", -1);
    mHorizontal = hslider < 0 ? w > h : style.GetBool("hslider", false);
    mScale = static_cast<float>(style.GetNumber("scale", 1.0));
    mOffset = ToInt(style.GetNumber("yoffset", 0));
    SetValue(static_cast<float>(style.GetNumber("value", 0)), true);

    auto load = [&](const char* key)
    {
        TString name = style.GetString(key, TString());
        return name.Length() != 0 ? TTexture::Get(name, 0) : nullptr;
    };
    std::shared_ptr<TTexture> normal = load("sliderimage");
    std::shared_ptr<TTexture> rollover = load("sliderrollimage");
    SetRailImages(load("railtop"), load("railmid"), load("railbot"));
    SetThumbImages(normal, rollover);
    MoveThumb();
    if (mThumb->GetParent() == nullptr)
    {
        AddChild(mThumb, true);
        ApplySizeRule();
    }
}

void TSlider::Draw()
{
    TRenderer* renderer = TRenderer::Existing();
    if (renderer == nullptr)
        return;
    TRailVertex vertices[6];
    TVertexSet* set = TVertexSet::CreateColored(vertices, 6);
    Render2dGuard guard;
    if (!renderer->InBegin2d())
        guard.mOpened = renderer->Begin2d();
    int32_t length = mHorizontal ? GetWidth() : GetHeight();
    int32_t acrossSize = mHorizontal ? GetHeight() : GetWidth();
    auto sectionLength = [&](int i) {
        return mRailImages[i] ? static_cast<float>(mRailImages[i]->GetHeight()) * mRailScale : 0.0f;
    };
    float startLength = sectionLength(0);
    float endLength = sectionLength(2);
    float middleLength = std::max(0.0f, static_cast<float>(length) - startLength - endLength);
    const float begins[3] = {0.0f, startLength, startLength + middleLength};
    const float lengths[3] = {startLength, middleLength, endLength};
    for (int i = 0; i < 3; ++i)
    {
        const std::shared_ptr<TTexture>& image = mRailImages[i];
        if (!image)
            continue;
        auto imageWidth = static_cast<int32_t>(image->GetWidth());
        auto across = static_cast<float>((int64_t{acrossSize} - imageWidth) / 2);
        float width = static_cast<float>(imageWidth) * mRailScale;
        uint32_t surfaceWidth = 1;
        uint32_t surfaceHeight = 1;
        image->GetSurfaceSize(surfaceWidth, surfaceHeight);
        float uMax = static_cast<float>(image->GetWidth()) /
                     static_cast<float>(std::max<uint32_t>(surfaceWidth, 1));
        float vMax = static_cast<float>(image->GetHeight()) /
                     static_cast<float>(std::max<uint32_t>(surfaceHeight, 1));
        for (int k = 0; k < 6; ++k)
        {
            float a = across + kCorners[k][0] * width;
            float l = begins[i] + kCorners[k][1] * lengths[i];
            TRailVertex& v = vertices[k];
            // A horizontal slider lays the same images along x.
            v.x = mHorizontal ? l : a;
            v.y = mHorizontal ? a : l;
            v.z = 0.1f;
            v.w = 0.5f;
            v.diffuse = 0xFFFFFFFFu;
            v.specular = 0xFF000000u;
            v.u = kCorners[k][0] * uMax;
            v.v = kCorners[k][1] * vMax;
        }
        renderer->SetBlendMode(kRailBlendAlpha);
        renderer->SetCullMode(kRailCullNone);
        renderer->SetTexture(image);
        renderer->DrawVertices(kTriangleList, *set);
    }
    TVertexSet::Release(set);
    guard.End();
}

bool TSlider::InThumb(TPoint point) const
{
    const TRect& r = mThumb->GetRect();
    return point.x >= r.left && point.x < r.right && point.y >= r.top && point.y < r.bottom;
}

bool TSlider::InSlider(TPoint point) const
{
    return point.x >= 0 && point.x < GetWidth() && point.y >= 0 && point.y < GetHeight();
}

bool TSlider::OnMouseDown(TPoint point)
{
    if (mThumb == nullptr)
        return false;
    if (InThumb(point))
    {
        mDragging = 1;
        if (TWindowManager* manager = GetWindowManager())
            manager->SetCapture(this);
        return true;
    }
    const TRect& thumb = mThumb->GetRect();
    int64_t d = mHorizontal ? int64_t{point.x} - thumb.left : int64_t{point.y} - thumb.top;
    Notify(d < 0 ? kSliderPageUp : kSliderPageDown);
    return true;
}

bool TSlider::OnMouseMove(TPoint point)
{
    ShowThumbImage(InThumb(point) || mDragging != 0);
    TWindowManager* manager = GetWindowManager();
    if (!InSlider(point) && mDragging == 0)
    {
        if (manager != nullptr)
            manager->ReleaseCapture(this);
        ShowThumbImage(false);
    }
    else if (manager != nullptr)
    {
        manager->SetCapture(this);
    }
    if (mDragging == 0)
        return false;
    int32_t length = mHorizontal ? GetWidth() : GetHeight();
    int32_t at = mHorizontal ? point.x : point.y;
    // A slider of no length has nothing to divide: its value stays at the start.
    SetValue(length > 0 ? static_cast<float>(at) / static_cast<float>(length) : 0.0f, false);
    return true;
}

bool TSlider::OnMouseUp(TPoint point)
{
    if (mDragging == 0)
        return false;
    mDragging = 0;
    ShowThumbImage(InThumb(point));
    if (!InSlider(point))
    {
        if (TWindowManager* manager = GetWindowManager())
            manager->ReleaseCapture(this);
        ShowThumbImage(false);
    }
    Notify(kSliderMouseUp);
    return true;
}

bool TSlider::OnMouseLeave()
{
    if (mDragging == 0)
    {
        ShowThumbImage(false);
        if (TWindowManager* manager = GetWindowManager())
            manager->ReleaseCapture(this);
    }
    return true;
}
