// The HUD: its pictures from the style, the strip's visible range and layout, merging gained
// objects, the subset slide for the hint choice and back, the progress bar and its two bytes.
#include "framework/adventure/hud/gameplay_hud.h"

#include "framework/adventure/entities/gameplay_item.h"
#include "framework/adventure/inventory/gameplay_inventory.h"
#include "framework/core/delta_time.h"
#include "framework/core/frame_services.h"
#include "framework/core/settings.h"
#include "framework/transforms/transform_instructions.h"
#include "framework/widgets/framework_button.h"
#include "framework/widgets/mask_collision_sprite.h"
#include "platform/log.h"
#include "render/renderer/renderer.h"
#include "render/sprites/sprite.h"
#include "render/textures/texture.h"
#include "script/lua_object_wrapper.h"
#include "ui/window_style.h"

#include <algorithm>
#include <cstdint>
#include <limits>

namespace
{

const char kSource[] = "gameplayhud";

// A picture table into its sprite: the texture, and the top left at ("x", "y").
void LoadPicture(const TLuaTable& table, TDrawSpec& spec)
{
    spec.mFlags |= kDrawOrigin;
    spec.mOrigin = TVec2(0, 0);
    spec.mMatrix.m[2][0] = static_cast<float>(table.GetNumber("x", 0));
    spec.mMatrix.m[2][1] = static_cast<float>(table.GetNumber("y", 0));
}

// A picture it names that the game lacks is said.
std::shared_ptr<TTexture> LoadTexture(const TLuaTable& table, const TString& owner)
{
    const TString image = table.GetString("image");
    std::shared_ptr<TTexture> texture = TTexture::Get(image, 0);
    if (texture == nullptr && image.Length() > 0)
        ReportMissingPicture(owner, image, kSource, __LINE__);
    return texture;
}

void LoadPicture(const TLuaTable& table, TSprite& sprite, const TString& owner)
{
    sprite.SetTexture(LoadTexture(table, owner));
    LoadPicture(table, sprite.GetSpec());
}

void Fade(TM_Transform* target, int32_t ms, float to)
{
    TransformManager* transforms = TransformManager::Instance();
    if (transforms == nullptr)
        return;
    auto* list = new TM_InstructionList;
    list->push_back(
        new TM_Alpha(static_cast<uint32_t>(std::max(ms, 0)), to, kFromCurrent, 0, -0.5f));
    transforms->AddTransform(target, list);
}

// The strip's objects slide one after another: the one `order` places behind the first waits that
// many steps, up to the longest wait an int holds (a negative step counts as none).
int32_t SlideDelay(size_t order, int32_t step)
{
    const int64_t limit = std::numeric_limits<int32_t>::max();
    const int64_t each = std::max(step, 0);
    if (each != 0 && order > static_cast<size_t>(limit / each))
        return static_cast<int32_t>(limit);
    return static_cast<int32_t>(static_cast<int64_t>(order) * each);
}

bool Holds(const TRect& rect, int32_t x, int32_t y)
{
    return x >= rect.left && x < rect.right && y >= rect.top && y < rect.bottom;
}

} // namespace

GameplayHud::GameplayHud()
    : mBackground(TSprite::Create(0)), mForeground(TSprite::Create(0)),
      mProgressBar(TSprite::Create(0))
{
}

GameplayHud::~GameplayHud()
{
    if (TransformManager* transforms = TransformManager::Instance())
        transforms->RemoveTransforms(&mHintTransform);
    // Objects may outlive the strip: the slide ends they carry reach nothing.
    for (const std::shared_ptr<WaitToken>& end : mSlideEnds)
        end->Cancel();
}

WaitHandle GameplayHud::SlideEnd(const Callback& end)
{
    std::erase_if(mSlideEnds, [](const std::shared_ptr<WaitToken>& token) { return token->mTold; });
    auto token = std::make_shared<WaitToken>();
    token->mReport = end;
    mSlideEnds.push_back(token);
    return WaitHandle(std::move(token));
}

TWindow* GameplayHud::Create()
{
    return new GameplayHud();
}

TClassId GameplayHud::GetClassId()
{
    return reinterpret_cast<TClassId>(&GameplayHud::Create);
}

void GameplayHud::PostInit(TWindowStyle& style)
{
    TWindow::PostInit(style);
    const struct
    {
        const char* key;
        TSprite* sprite;
        const char* message;
        int line;
    } pictures[] = {
        {"background", mBackground.get(), "No background table for GameplayHud!", 60},
        {"foreground", mForeground.get(), "No foreground table for GameplayHud!", 72},
        {"progressbar", mProgressBar.get(), "No progressbar table for GameplayHud!", 84},
    };
    for (const auto& picture : pictures)
    {
        std::unique_ptr<TLuaTable> table = style.GetTableOnly(picture.key);
        if (table == nullptr)
        {
            ReportError(picture.message, kSource, picture.line, true);
            return;
        }
        LoadPicture(*table, *picture.sprite, GetName());
    }
    // Nothing of the bar shows until the first SetProgress.
    TDrawSpec& bar = mProgressBar->GetSpec();
    bar.mFlags |= kDrawSourceRect;
    const std::shared_ptr<TTexture> barTexture = mProgressBar->GetTexture();
    bar.mSourceRect =
        TRect(0, 0, 0, barTexture != nullptr ? static_cast<int32_t>(barTexture->GetHeight()) : 0);

    if (std::unique_ptr<TLuaTable> hint = style.GetTableOnly("hintbackground"))
    {
        mHintTexture = LoadTexture(*hint, GetName());
        LoadPicture(*hint, mHintSpec);
    }
    std::unique_ptr<TLuaTable> bounds = style.GetTableOnly("inventorybounds");
    if (bounds == nullptr)
    {
        ReportError("No inventorybounds table for GameplayHud!", kSource, 108, true);
        return;
    }
    const int32_t x = ScriptNumberToInt(bounds->GetNumber("x", 0));
    const int32_t y = ScriptNumberToInt(bounds->GetNumber("y", 0));
    const int32_t w = ScriptNumberToInt(bounds->GetNumber("w", 0));
    const int32_t h = ScriptNumberToInt(bounds->GetNumber("h", 0));
    mBounds = TRect(x, y, x + w, y + h);
    mProgressBarSlack = style.GetInt("progressbarcollisionextension", 0);
    mHintFadeTime = style.GetInt("hintbackgroundfadetime", 0);
    mMinGap = static_cast<float>(style.GetNumber("inventoryminhorzgap", 0));
    mStripY = static_cast<float>(style.GetNumber("inventoryvertplacement", 0));
    mHideDelay = style.GetInt("inventoryhidedelay", 0);
    // Read as the layout always has; it changes nothing.
    (void)style.GetNumber("inventoryminwidth", 0);
    mLeftButton = TVButton::Cast(FindChild("inventoryleft", 0xFFFFFFFFu));
    mRightButton = TVButton::Cast(FindChild("inventoryright", 0xFFFFFFFFu));
    mPauseButton = TVButton::Cast(FindChild("pause", 0xFFFFFFFFu));
    const TRect screen = GetScreenRect();
    mStripSpec.mMatrix.m[2][0] = static_cast<float>(-screen.left);
    mStripSpec.mMatrix.m[2][1] = static_cast<float>(-screen.top);
    mHintTransform.SetAlpha(0.0f);
    mHintColor = style.GetColor("colorhintbackground", 0, 0, 0, 1);
    if (mLeftButton != nullptr)
        mLeftButton->SetEnabled(false, false);
    if (mRightButton != nullptr)
        mRightButton->SetEnabled(false, false);
}

// --- the strip ----------------------------------------------------------------------------------

int32_t GameplayHud::WidthOf(size_t index) const
{
    return mShown[index]->GetImageWidth();
}

float GameplayHud::OutsideLeft(size_t index) const
{
    return static_cast<float>(mBounds.left - WidthOf(index)) - mMinGap;
}

float GameplayHud::OutsideRight(size_t index) const
{
    return static_cast<float>(mBounds.right + WidthOf(index)) + mMinGap;
}

void GameplayHud::ComputeRange(int32_t step)
{
    const size_t n = mShown.size();
    if (n == 0)
    {
        mRangeFirst = mRangeLast = 0;
        mAtLeftEnd = mAtRightEnd = true;
        EnableScrollButtons(true);
        return;
    }
    // A range left behind by a strip that changed under it.
    mRangeLast = std::min(mRangeLast, n - 1);
    mRangeFirst = std::min(mRangeFirst, mRangeLast);
    if (n > 1)
    {
        const float room = static_cast<float>(mBounds.Width());
        const float gap = mMinGap;
        auto take = [&](size_t i) { return static_cast<float>(WidthOf(i)) + gap; };
        float used = gap;
        if (step <= 0)
        {
            const size_t by = static_cast<size_t>(-static_cast<int64_t>(step));
            mRangeLast = n - 1 - mRangeLast < by ? n - 1 : mRangeLast + by;
            for (size_t i = mRangeLast + 1; i-- > mRangeFirst;)
            {
                used += take(i);
                if (used > room)
                {
                    // The moving edge's own object stays, however wide.
                    if (i != mRangeLast)
                    {
                        used -= take(i);
                        ++i;
                    }
                    mRangeFirst = i;
                    break;
                }
            }
        }
        else
        {
            const size_t by = static_cast<size_t>(step);
            mRangeFirst = mRangeFirst < by ? 0 : mRangeFirst - by;
            for (size_t i = mRangeFirst; i <= mRangeLast; ++i)
            {
                used += take(i);
                if (used > room)
                {
                    if (i != mRangeFirst)
                    {
                        used -= take(i);
                        --i;
                    }
                    mRangeLast = i;
                    break;
                }
            }
        }
        // Widening, the narrower neighbour first; it stops at the strip's ends, which matters when
        // widths and the gap are 0 (objects whose textures are not made yet).
        for (;;)
        {
            const bool leftEnd = mRangeFirst == 0;
            const bool rightEnd = mRangeLast == n - 1;
            const float a = leftEnd ? room : static_cast<float>(WidthOf(mRangeFirst - 1));
            const float b = rightEnd ? room : static_cast<float>(WidthOf(mRangeLast + 1));
            if (b > a)
            {
                if (leftEnd || used + a + gap > room)
                    break;
                --mRangeFirst;
                used += a + gap;
            }
            else
            {
                if (rightEnd || used + b + gap > room)
                    break;
                ++mRangeLast;
                used += b + gap;
            }
        }
    }
    else
    {
        mRangeFirst = mRangeLast = 0;
    }
    mAtLeftEnd = mRangeFirst == 0;
    mAtRightEnd = mRangeLast == n - 1;
    EnableScrollButtons(true);
}

std::vector<float> GameplayHud::RangeCentres() const
{
    std::vector<float> centres;
    if (mShown.empty())
        return centres;
    float total = mMinGap;
    for (size_t i = mRangeFirst; i <= mRangeLast; ++i)
        total += static_cast<float>(WidthOf(i)) + mMinGap;
    const auto count = static_cast<float>(mRangeLast - mRangeFirst + 2);
    const auto spacing = static_cast<float>(
        static_cast<int32_t>((static_cast<float>(mBounds.Width()) - total) / count));
    float x = static_cast<float>(mBounds.left) + mMinGap + spacing;
    for (size_t i = mRangeFirst; i <= mRangeLast; ++i)
    {
        const int32_t width = WidthOf(i);
        centres.push_back(x + static_cast<float>(width / 2));
        x += static_cast<float>(width) + mMinGap + spacing;
    }
    return centres;
}

bool GameplayHud::IsInView(size_t index) const
{
    if (index >= mRangeFirst && index <= mRangeLast)
        return true;
    const TRect rect = mShown[index]->GetRect();
    return rect.left < mBounds.right && rect.right > mBounds.left && rect.top < mBounds.bottom &&
           rect.bottom > mBounds.top;
}

void GameplayHud::ArrangeInventory(int32_t step, bool animate, WaitHandle&& report)
{
    ComputeRange(step);
    if (mShown.empty())
    {
        CallLater(std::move(report));
        return;
    }
    auto place = [&](size_t i, float x, WaitHandle&& carried)
    {
        if (animate)
            mShown[i]->MoveTo(x, mStripY, std::move(carried), 0);
        else
            mShown[i]->SetPosition(x, mStripY);
    };
    for (size_t i = 0; i < mRangeFirst; ++i)
        place(i, OutsideLeft(i), nullptr);
    for (size_t i = mRangeLast + 1; i < mShown.size(); ++i)
        place(i, OutsideRight(i), nullptr);
    const std::vector<float> centres = RangeCentres();
    for (size_t i = mRangeFirst; i < mRangeLast; ++i)
        place(i, centres[i - mRangeFirst], nullptr);
    place(mRangeLast, centres[mRangeLast - mRangeFirst], std::move(report));
    // Not taken without a move: told by the next Update.
    CallLater(std::move(report));
}

bool GameplayHud::HasInventory(const TString& name) const
{
    for (GameplayInventory* object : mShown)
        if (object->GetName() == name)
            return true;
    return false;
}

void GameplayHud::RemoveInventory(GameplayInventory* object)
{
    auto it = std::find(mShown.begin(), mShown.end(), object);
    if (it == mShown.end())
    {
        ReportError("Attempted to remove inventory from HUD that wasn't in HUD.", kSource, 247,
                    false);
        return;
    }
    const auto index = static_cast<size_t>(it - mShown.begin());
    mShown.erase(it);
    if (index <= mRangeFirst && mRangeFirst > 0)
        --mRangeFirst;
    if (index <= mRangeLast && mRangeLast > 0)
        --mRangeLast;
    ArrangeInventory(0, true, nullptr);
}

void GameplayHud::ScrollToInventory(GameplayInventory* object)
{
    const auto index =
        static_cast<int64_t>(std::find(mShown.begin(), mShown.end(), object) - mShown.begin());
    const auto first = static_cast<int64_t>(mRangeFirst);
    const auto last = static_cast<int64_t>(mRangeLast);
    if (index < first)
        ArrangeInventory(static_cast<int32_t>(first - index), true, nullptr);
    else if (index > last)
        ArrangeInventory(static_cast<int32_t>(last - index), true, nullptr);
}

void GameplayHud::OnItemArrived(const GameplayItem& item)
{
    OnItemArrived(item.GetInventoryName(), item.GetInventoryParts());
}

void GameplayHud::OnItemArrived(const TString& inventoryName, const std::vector<int32_t>& parts)
{
    SetProgress(mProgress + 1);
    for (GameplayInventory* object : mShown)
    {
        if (!(object->GetName() == inventoryName))
            continue;
        bool first = true;
        for (int32_t part : parts)
        {
            object->AddPart(part, first);
            first = false;
        }
        return;
    }
}

std::vector<TString> GameplayHud::GetShownInventoryNames() const
{
    std::vector<TString> names;
    for (GameplayInventory* object : mShown)
        if (object->GetPartCount() == object->GetPartsFound())
            names.push_back(object->GetName());
    return names;
}

GameplayInventory* GameplayHud::FindInventoryAt(const TPoint& point) const
{
    if (mShown.empty())
        return nullptr;
    for (size_t i = mRangeFirst; i <= mRangeLast && i < mShown.size(); ++i)
    {
        GameplayInventory* object = mShown[i];
        TRect rect;
        object->GetMaskSprite()->GetBounds(rect, object->GetImageSprite()->GetSpec(), 0);
        if (Holds(rect, point.x, point.y))
            return object;
    }
    return nullptr;
}

bool GameplayHud::IsOverProgressBar(const TPoint& point) const
{
    const int32_t x = point.x + static_cast<int32_t>(mStripSpec.mMatrix.m[2][0]);
    const int32_t y = point.y + static_cast<int32_t>(mStripSpec.mMatrix.m[2][1]);
    TDrawSpec& spec = mProgressBar->GetSpec();
    const uint32_t flags = spec.mFlags;
    spec.mFlags &= ~kDrawSourceRect;
    TRect rect;
    mProgressBar->GetBounds(rect, TDrawSpec(), 0);
    spec.mFlags = flags;
    const int32_t s = mProgressBarSlack;
    return Holds(TRect(rect.left - s, rect.top - s, rect.right + s, rect.bottom + s), x, y);
}

void GameplayHud::SetProgress(int32_t value)
{
    mProgress = value;
    const std::shared_ptr<TTexture> texture = mProgressBar->GetTexture();
    const int64_t width = texture != nullptr ? texture->GetWidth() : 0;
    const int32_t height = texture != nullptr ? static_cast<int32_t>(texture->GetHeight()) : 0;
    // No full value yet (a location without items): an empty bar; past it, a full one.
    int64_t filled = 0;
    if (mProgressMax > 0)
        filled = std::clamp<int64_t>(width * value / mProgressMax, 0, width);
    mProgressBar->GetSpec().mSourceRect = TRect(0, 0, static_cast<int32_t>(filled), height);
}

void GameplayHud::EnableScrollButtons(bool fade)
{
    if (mLeftButton != nullptr)
        mLeftButton->SetEnabled(mButtonsEnabled && !mAtLeftEnd, fade);
    if (mRightButton != nullptr)
        mRightButton->SetEnabled(mButtonsEnabled && !mAtRightEnd, fade);
}

void GameplayHud::SetButtonsEnabled(bool enabled)
{
    if (enabled == mButtonsEnabled)
        return;
    mButtonsEnabled = enabled;
    EnableScrollButtons(true);
}

bool GameplayHud::MergePendingInventory(bool animate, WaitHandle&& report)
{
    if (mPending.empty())
        return false;
    const size_t firstNew = mShown.size();
    for (GameplayInventory* object : mPending)
    {
        object->RefreshCollisionMask();
        mShown.push_back(object);
    }
    mPending.clear();
    const size_t after = mShown.size() - 1 - std::min(mRangeLast, mShown.size() - 1);
    ArrangeInventory(-static_cast<int32_t>(after), animate, nullptr);
    for (size_t i = firstNew; i < mShown.size(); ++i)
    {
        if (animate && i >= mRangeFirst && i <= mRangeLast)
        {
            mShown[i]->PlaceInHud(std::move(report), true);
        }
        else
        {
            // Shown and visible at once (flags 0x81) with its textures.
            mShown[i]->PlaceInHud(nullptr, false);
        }
    }
    CallLater(std::move(report));
    return true;
}

bool GameplayHud::CanEndMerge() const
{
    if (!mLateReports.empty())
        return true;
    return std::any_of(mShown.begin(), mShown.end(),
                       [](const GameplayInventory* object)
                       { return object->HoldsReport() && object->IsMotionRunning(); });
}

// --- subset for the hint choice -----------------------------------------------------------------

void GameplayHud::ShowInventorySubset(std::vector<GameplayInventory*> objects, WaitHandle&& report)
{
    mSavedStrip = mShown;
    mSubset = std::move(objects);
    mSubsetReport = std::move(report);
    if (mShown.empty())
    {
        // No object carries the slide's end: it counts as ended.
        mSlideState = 1;
    }
    else
    {
        for (size_t i = mRangeFirst; i <= mRangeLast; ++i)
            mShown[i]->MoveTo(OutsideLeft(i), mStripY,
                              i == mRangeLast ? SlideEnd(mOnLeftOut) : nullptr,
                              SlideDelay(i - mRangeFirst, mHideDelay));
        for (size_t i = 0; i < mRangeFirst; ++i)
            mShown[i]->SetPosition(OutsideLeft(i), mStripY);
    }
    SetButtonsEnabled(false);
}

void GameplayHud::PlaceInventory(WaitHandle&& report)
{
    if (mShown.empty())
    {
        mSlideState = 2;
    }
    else
    {
        for (size_t i = mRangeLast + 1; i-- > mRangeFirst;)
            mShown[i]->MoveTo(OutsideRight(i), mStripY,
                              i == mRangeFirst ? SlideEnd(mOnRightOut) : nullptr,
                              SlideDelay(mRangeLast - i, mHideDelay));
        for (size_t i = 0; i < mRangeFirst; ++i)
            mShown[i]->SetPosition(OutsideRight(i), mStripY);
    }
    mSubsetReport = std::move(report);
    FadeOutHintBackground();
}

void GameplayHud::OnLeftOut(void* object, TM_Transform*, uint32_t)
{
    static_cast<GameplayHud*>(object)->mSlideState = 1;
}

void GameplayHud::OnRightOut(void* object, TM_Transform*, uint32_t)
{
    static_cast<GameplayHud*>(object)->mSlideState = 2;
}

void GameplayHud::SlideRangeIn(const std::vector<GameplayInventory*>& strip, bool lifted,
                               bool fromRight)
{
    mShown = strip;
    mRangeFirst = mRangeLast = 0;
    ComputeRange(0);
    for (GameplayInventory* object : mShown)
        object->SetLiftedParts(lifted);
    WaitHandle report = std::move(mSubsetReport);
    if (!mShown.empty())
    {
        for (size_t i = 0; i < mRangeFirst; ++i)
            mShown[i]->SetPosition(OutsideLeft(i), mStripY);
        for (size_t i = mRangeLast + 1; i < mShown.size(); ++i)
            mShown[i]->SetPosition(OutsideRight(i), mStripY);
        const std::vector<float> centres = RangeCentres();
        for (size_t i = mRangeFirst; i <= mRangeLast; ++i)
        {
            mShown[i]->SetPosition(fromRight ? OutsideRight(i) : OutsideLeft(i), mStripY);
            // From the right the first object leads; from the left the last one starts at once,
            // so it lands first and carries the callback.
            const size_t order = fromRight ? i - mRangeFirst : mRangeLast - i;
            mShown[i]->MoveTo(centres[i - mRangeFirst], mStripY,
                              i == mRangeLast ? std::move(report) : nullptr,
                              SlideDelay(order, mHideDelay));
        }
    }
    CallLater(std::move(report));
}

// --- hint background, pause, state --------------------------------------------------------------

void GameplayHud::FadeInHintBackground()
{
    Fade(&mHintTransform, mHintFadeTime, 1.0f);
}

void GameplayHud::FadeOutHintBackground()
{
    if (TransformManager* transforms = TransformManager::Instance())
        transforms->RemoveTransforms(&mHintTransform);
    Fade(&mHintTransform, mHintFadeTime, 0.0f);
}

void GameplayHud::Pause()
{
    mPaused = true;
    if (TransformManager* transforms = TransformManager::Instance())
        transforms->PauseTransforms(&mHintTransform);
}

void GameplayHud::Resume()
{
    mPaused = false;
    if (TransformManager* transforms = TransformManager::Instance())
        transforms->ResumeTransforms(&mHintTransform);
}

void GameplayHud::SaveState(std::vector<uint8_t>& out)
{
    out.push_back(static_cast<uint8_t>(mProgressMax));
    out.push_back(static_cast<uint8_t>(mProgress));
}

bool GameplayHud::LoadState(const uint8_t* data, size_t size)
{
    if (data == nullptr || size < GetSavedStateSize())
    {
        Log("ERROR: The HUD's saved state needs %u bytes, %u are left",
            static_cast<unsigned>(GetSavedStateSize()), static_cast<unsigned>(size));
        return false;
    }
    mProgressMax = data[0];
    SetProgress(data[1]);
    return true;
}

void GameplayHud::CallLater(WaitHandle&& report)
{
    if (report.IsHeld())
        mLateReports.push_back(std::move(report));
}

// --- per frame ----------------------------------------------------------------------------------

void GameplayHud::Update()
{
    if (mPaused)
        return;
    const int32_t slide = mSlideState;
    mSlideState = 0;
    if (slide == 1)
    {
        SetButtonsEnabled(true);
        SlideRangeIn(mSubset, true, true);
        FadeInHintBackground();
    }
    else if (slide == 2)
    {
        SlideRangeIn(mSavedStrip, false, false);
    }
    if (!mLateReports.empty())
    {
        std::vector<WaitHandle> due;
        due.swap(mLateReports);
        for (WaitHandle& report : due)
            report.Tell(nullptr, 0);
    }
    DeltaTime* clock = DeltaTime::Instance();
    const uint32_t step = clock != nullptr ? clock->GetStep() : 0;
    for (GameplayInventory* object : mShown)
        object->Update(step);
}

bool GameplayHud::ContainsPoint(const TPoint& point)
{
    const TRect screen = GetScreenRect();
    const TVec2 local(static_cast<float>(point.x - screen.left),
                      static_cast<float>(point.y - screen.top));
    return mForeground->HitTest(local, TDrawSpec(), 127, -1) ||
           mBackground->HitTest(local, TDrawSpec(), 127, -1);
}

void GameplayHud::Draw()
{
    TRenderer* renderer = TRenderer::Instance();
    if (renderer == nullptr)
        return;
    const bool entered = !renderer->InBegin2d() && renderer->Begin2d();
    mBackground->Draw(TDrawSpec(), -1);
    const float hintAlpha = mHintSpec.mAlpha;
    if (hintAlpha > 0.0f)
    {
        if (mHintTexture == nullptr)
        {
            // Without a picture of its own the hint background is the background again, tinted
            // and added.
            TDrawSpec& spec = mBackground->GetSpec();
            const TDrawSpec saved = spec;
            spec.mColor = mHintColor;
            spec.mAlpha = mHintColor.w * hintAlpha;
            renderer->SetBlendMode(2);
            mBackground->Draw(TDrawSpec(), -1);
            renderer->SetBlendMode(0);
            spec = saved;
        }
        else
        {
            mHintTexture->Draw(mHintSpec);
        }
    }
    for (size_t i = 0; i < mShown.size(); ++i)
        if ((mShown[i]->GetFlags() & GameplayInventory::kHeld) == 0 && IsInView(i))
            mShown[i]->Draw(mStripSpec);
    DrawHints();
    mForeground->Draw(TDrawSpec(), -1);
    mProgressBar->Draw(TDrawSpec(), -1);
    if (entered)
        renderer->End2d();
}
