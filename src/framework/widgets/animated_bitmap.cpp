// AnimatedBitmap: reading the table or style, the image sources, frame stepping, the blocks'
// transforms with their countdowns and sounds, children, drawing and the restart operations.
#include "framework/widgets/animated_bitmap.h"

#include "framework/core/delta_time.h"
#include "framework/core/frame_services.h"
#include "framework/sound/sound_effect.h"
#include "framework/transforms/transform_instructions.h"
#include "platform/files/file_layer.h"
#include "render/sprites/animated_texture.h"
#include "render/renderer/draw_spec.h"
#include "render/sprites/sprite.h"
#include "render/textures/texture.h"
#include "script/lua.h"
#include "script/lua_object_wrapper.h"
#include "ui/window_style.h"

#include <algorithm>
#include <cmath>

namespace
{

// The "no anchor given" value of "xcenter" and "ycenter".
constexpr float kNoCenter = 1e8f;

int32_t TruncateToInt(double value)
{
    if (std::isnan(value))
        return 0;
    return static_cast<int32_t>(std::clamp(std::trunc(value), -2147483648.0, 2147483647.0));
}

uint32_t Duration(int32_t ms)
{
    return static_cast<uint32_t>(std::max(ms, 0));
}

// Delays that each fit an int may pass what one holds together: their sum stops at the longest wait
// an int holds, since past it the countdown would turn negative, which means "not scheduled".
int32_t AddDelays(int32_t first, int32_t second)
{
    return static_cast<int32_t>(std::clamp<int64_t>(int64_t{first} + second, 0, INT32_MAX));
}

// A negative delay counts as none: a block's countdown below zero means "not scheduled", so the
// block would never start and its end would never be reported.
int32_t ReadDelay(const TLuaTable& table, const char* key)
{
    return std::max(TruncateToInt(table.GetNumber(key, 0)), 0);
}

float Smoothing(const TString& name)
{
    if (name == "introoutro")
        return -0.5f;
    if (name == "intro")
        return -0.75f;
    if (name == "outro")
        return 0.0f;
    return 1.0f;
}

int32_t FrameModeOf(const TString& name)
{
    if (name == "wrap")
        return AnimatedBitmap::kWrap;
    if (name == "nowrap")
        return AnimatedBitmap::kBounce;
    if (name == "random")
        return AnimatedBitmap::kRandom;
    return AnimatedBitmap::kPlayOnce;
}

int32_t ChildActionOf(const TString& name)
{
    if (name == "showall")
        return AnimatedBitmap::kShowAll;
    if (name == "random")
        return AnimatedBitmap::kRandomAfterCycle;
    if (name == "linear")
        return AnimatedBitmap::kInTurnAfterCycle;
    if (name == "randomnowait")
        return AnimatedBitmap::kRandomOnTimer;
    return AnimatedBitmap::kInTurnOnTimer;
}

bool IsTable(const TLuaTable& value)
{
    lua_State* L = value.GetState();
    value.Push();
    bool table = lua_istable(L, -1);
    lua_pop(L, 1);
    return table;
}
} // namespace

class AnimatedBitmap::KeySource
{
public:
    virtual ~KeySource() = default;
    virtual double Number(const char* key, double def) const = 0;
    virtual TString String(const char* key) const = 0;
    virtual bool Bool(const char* key, bool def) const = 0;
    // White when absent.
    virtual TVec4 Colour(const char* key) const = 0;
    // Owned by the caller; null when absent.
    virtual TLuaTable* Table(const char* key) const = 0;

    int32_t Int(const char* key) const { return TruncateToInt(Number(key, 0)); }
};

namespace
{
class TableKeys : public AnimatedBitmap::KeySource
{
public:
    explicit TableKeys(const TLuaTable& table) : mTable(table) {}
    double Number(const char* key, double def) const override { return mTable.GetNumber(key, def); }
    TString String(const char* key) const override { return mTable.GetString(key, TString()); }
    bool Bool(const char* key, bool def) const override { return mTable.GetBool(key, def); }
    TVec4 Colour(const char* key) const override { return mTable.GetVec4(key, TVec4(1, 1, 1, 1)); }
    TLuaTable* Table(const char* key) const override { return mTable.GetTable(key); }

private:
    const TLuaTable& mTable;
};

class StyleKeys : public AnimatedBitmap::KeySource
{
public:
    explicit StyleKeys(TWindowStyle& style) : mStyle(style) {}
    double Number(const char* key, double def) const override { return mStyle.GetNumber(key, def); }
    TString String(const char* key) const override { return mStyle.GetString(key, TString()); }
    bool Bool(const char* key, bool def) const override { return mStyle.GetBool(key, def); }
    TVec4 Colour(const char* key) const override { return mStyle.GetColor(key, 1, 1, 1, 1); }
    TLuaTable* Table(const char* key) const override { return mStyle.GetTable(key); }

private:
    TWindowStyle& mStyle;
};
} // namespace

AnimatedBitmap::AnimatedBitmap(const TLuaTable& table)
{
    Load(TableKeys(table));
}

AnimatedBitmap::AnimatedBitmap(TWindowStyle& style)
{
    Load(StyleKeys(style));
}

AnimatedBitmap::~AnimatedBitmap()
{
    mChildren.clear();
    for (Block& block : mBlocks)
        block.mSound.reset();
    mFrameTextures.clear();
    // The transform's end removes the bitmap's transforms, so no end handler reaches it later.
    mTransform.reset();
    mSprite.reset();
}

std::shared_ptr<AnimatedBitmap> AnimatedBitmap::Create(const TLuaTable& table)
{
    return std::make_shared<AnimatedBitmap>(table);
}

void AnimatedBitmap::Load(const KeySource& keys)
{
    mSprite = TAnimatedSprite::Create(keys.Int("depth"));
    mTransform = std::make_unique<PlacedTransform2D>(&mSprite->GetSpec());
    mName = keys.String("name");
    int32_t frameTime = keys.Int("framespeed");
    // A negative pause would let Update's catch-up loop run for ever: read it as none.
    mFrameDelay = std::max(keys.Int("framespeeddelay"), 0);
    mCenter.y = static_cast<float>(keys.Number("ycenter", kNoCenter));
    mCenter.x = static_cast<float>(keys.Number("xcenter", kNoCenter));
    mFlags = keys.Int("flags");
    bool crossFade = keys.Bool("crossfade", false);
    mFitToPixel = keys.Bool("fittopixel", false);
    mTransform->SetUniformScale(static_cast<float>(keys.Number("initialscale", 1.0)));
    mTransform->SetRotationZ(static_cast<float>(keys.Number("rotation", 0)));
    mTransform->SetAlpha(static_cast<float>(keys.Number("initialalpha", 1.0)));
    mTransform->SetY(static_cast<float>(keys.Number("y", 0)));
    mTransform->SetX(static_cast<float>(keys.Number("x", 0)));
    mSprite->GetSpec().mColor = keys.Colour("tint");
    ReadImageSource(keys.String("image"));
    mFrameTime = frameTime;
    mCrossFade = crossFade;
    if (keys.Bool("initialload", true))
        CreateSprites();

    const TString mode = keys.String("animation");
    const int32_t initialFrame = keys.Int("initialframe");
    SetFrameMode(mode, initialFrame, frameTime, crossFade);

    static const char* const kBlockKeys[kBlockCount] = {"move", "rotate", "alpha",
                                                        "fade", "path",   "scale"};
    for (int kind = 0; kind < kBlockCount; ++kind)
    {
        std::unique_ptr<TLuaTable> table(keys.Table(kBlockKeys[kind]));
        if (table != nullptr)
            LoadBlock(static_cast<BlockKind>(kind), *table);
    }
    std::unique_ptr<TLuaTable> children(keys.Table("children"));
    if (children != nullptr)
        ReadChildren(*children);
}

void AnimatedBitmap::ReadImageSource(const TString& image)
{
    mAnimationFile = TString();
    mFrameNames.clear();
    if (image.Length() == 0)
        return;
    if (FileExists(image + ".xml") || FileExists(image + ".anm"))
    {
        mAnimationFile = image;
        return;
    }
    // A folder of frame files: thumbnail databases are skipped, and only names as long as the
    // first belong to the series.
    TString cursor;
    while (NextFileInFolder(image, cursor, true))
    {
        if (cursor.Find(".db", 0, 0) >= 0)
            continue;
        if (!mFrameNames.empty() && cursor.Length() != mFrameNames.front().Length())
            continue;
        mFrameNames.push_back(cursor);
    }
    if (mFrameNames.empty())
        mFrameNames.push_back(image);
}

void AnimatedBitmap::ReadChildren(const TLuaTable& table)
{
    mChildMinDelay = ReadDelay(table, "mindelay");
    mChildMaxDelay = ReadDelay(table, "maxdelay");
    mChildAction = ChildActionOf(table.GetString("action", TString()));
    std::unique_ptr<TLuaTable> list(table.GetTable("list"));
    if (list == nullptr)
    {
        ReportError("listTable", __FILE__, __LINE__, true);
        return;
    }
    TLuaObjectWrapper* key = nullptr;
    while (TLuaTable* entry = list->Next(&key))
    {
        std::unique_ptr<TLuaTable> owned(entry);
        if (IsTable(*owned))
            mChildren.push_back(Create(*owned));
    }
    mChildCountdown = RandomInt(mChildMinDelay, mChildMaxDelay);
    std::stable_sort(
        mChildren.begin(), mChildren.end(),
        [](const std::shared_ptr<AnimatedBitmap>& a, const std::shared_ptr<AnimatedBitmap>& b)
        { return a->mSprite->GetLayer() < b->mSprite->GetLayer(); });
    mCurrentChild = 0;
}

int32_t AnimatedBitmap::RandomInt(int32_t low, int32_t high)
{
    return mRandom.NextInt(low, high);
}

bool AnimatedBitmap::FitsToPixel() const
{
    return mFitToPixel || (mBlocks[kMove].mPresent && mBlocks[kMove].mFitToPixel);
}

// ---- images ----

int32_t AnimatedBitmap::GetFrameCount() const
{
    if (mAnimationFile.Length() > 0)
    {
        std::shared_ptr<TAnimatedTexture> texture = mSprite->GetAnimatedTexture();
        return texture ? texture->GetFrameCount() : 0;
    }
    return static_cast<int32_t>(mFrameTextures.size());
}

void AnimatedBitmap::CreateSprites()
{
    if (mAnimationFile.Length() > 0)
    {
        std::shared_ptr<TAnimatedTexture> texture = TAnimatedTexture::Get(mAnimationFile);
        mSprite->SetTexture(texture);
        mWidth = texture ? static_cast<int32_t>(texture->GetWidth()) : 0;
        mHeight = texture ? static_cast<int32_t>(texture->GetHeight()) : 0;
    }
    else
    {
        mFrameTextures.clear();
        for (const TString& name : mFrameNames)
            mFrameTextures.push_back(TTexture::Get(name, 0));
        const std::shared_ptr<TTexture> first =
            mFrameTextures.empty() ? nullptr : mFrameTextures.front();
        mSprite->SetTexture(first);
        mWidth = first ? static_cast<int32_t>(first->GetWidth()) : 0;
        mHeight = first ? static_cast<int32_t>(first->GetHeight()) : 0;
    }
    const int32_t count = GetFrameCount();
    // A play-once sequence marked as finished shows its last frame, also through the step below.
    if (mCurrentFrame == -1)
        mCurrentFrame = mNextFrame = count - 1;
    if (count > 1 && mFrameTime != 0)
    {
        mAnimating = true;
        FrameStep();
    }

    TDrawSpec& spec = mSprite->GetSpec();
    spec.mFlags |= kDrawOrigin;
    if (mCenter.x == kNoCenter || mCenter.y == kNoCenter)
    {
        if (mFlags >= 0 && mFlags < 11)
            SetDrawSpecAlignment(mTransform.get(), static_cast<uint32_t>(mFlags),
                                 static_cast<uint32_t>(mWidth), static_cast<uint32_t>(mHeight));
    }
    else
    {
        spec.mOrigin = mCenter;
    }
    for (auto& child : mChildren)
        child->CreateSprites();
}

void AnimatedBitmap::ReleaseTextures()
{
    for (auto& child : mChildren)
        child->ReleaseTextures();
    mSprite->SetTexture(nullptr);
    mFrameTextures.clear();
    // Without frames a sequence played once cannot step to its end: it is put there (shown when
    // the frames come back), and its report is told, as the sequence will not end by itself.
    if (mAnimating && mFrameMode == kPlayOnce)
    {
        mAnimating = false;
        mCurrentFrame = -1;
        mCycleEnd.CutShort();
    }
}

int32_t AnimatedBitmap::GetWidth() const
{
    if (std::shared_ptr<TTexture> texture = mSprite->GetTexture())
        return static_cast<int32_t>(texture->GetWidth());
    if (mFrameTextures.size() >= 2 && mCurrentFrame >= 0 &&
        static_cast<size_t>(mCurrentFrame) < mFrameTextures.size() &&
        mFrameTextures[static_cast<size_t>(mCurrentFrame)])
        return static_cast<int32_t>(mFrameTextures[static_cast<size_t>(mCurrentFrame)]->GetWidth());
    return 0;
}

int32_t AnimatedBitmap::GetHeight() const
{
    if (std::shared_ptr<TTexture> texture = mSprite->GetTexture())
        return static_cast<int32_t>(texture->GetHeight());
    if (mFrameTextures.size() >= 2 && mCurrentFrame >= 0 &&
        static_cast<size_t>(mCurrentFrame) < mFrameTextures.size() &&
        mFrameTextures[static_cast<size_t>(mCurrentFrame)])
        return static_cast<int32_t>(
            mFrameTextures[static_cast<size_t>(mCurrentFrame)]->GetHeight());
    return 0;
}

TVec2 AnimatedBitmap::GetPosition()
{
    TVec2 position(mTransform->GetX(), mTransform->GetY());
    if (FitsToPixel())
        position = TVec2(std::floor(position.x), std::floor(position.y));
    return position;
}

TRect AnimatedBitmap::GetBounds(const TDrawSpec& parent)
{
    const TDrawSpec spec = mSprite->GetSpec().Combine(parent);
    const int32_t width = GetWidth();
    const int32_t height = GetHeight();
    int32_t left = TruncateToInt(spec.mMatrix.m[2][0]);
    int32_t top = TruncateToInt(spec.mMatrix.m[2][1]);
    if (spec.mFlags & kDrawOrigin)
    {
        left -= TruncateToInt(spec.mOrigin.x);
        top -= TruncateToInt(spec.mOrigin.y);
    }
    else
    {
        left -= width / 2;
        top -= height / 2;
    }
    return TRect(left, top, left + width, top + height);
}

std::vector<TString> AnimatedBitmap::CollectNames() const
{
    std::vector<TString> names = mFrameNames;
    for (const auto& child : mChildren)
    {
        std::vector<TString> more = child->CollectNames();
        names.insert(names.end(), more.begin(), more.end());
    }
    return names;
}

std::vector<TString> AnimatedBitmap::GetMissingPictures() const
{
    std::vector<TString> missing;
    if (mAnimationFile.Length() > 0)
    {
        if (mSprite->GetAnimatedTexture() == nullptr)
            missing.push_back(mAnimationFile);
    }
    else
    {
        for (size_t i = 0; i < mFrameNames.size() && i < mFrameTextures.size(); ++i)
            if (mFrameNames[i].Length() > 0 && mFrameTextures[i] == nullptr)
                missing.push_back(mFrameNames[i]);
    }
    for (const auto& child : mChildren)
    {
        std::vector<TString> more = child->GetMissingPictures();
        missing.insert(missing.end(), more.begin(), more.end());
    }
    return missing;
}

std::vector<TString> AnimatedBitmap::CollectEntries() const
{
    std::vector<TString> entries;
    if (mName.Length() > 0)
        entries.push_back(mName);
    for (const auto& child : mChildren)
    {
        std::vector<TString> more = child->CollectEntries();
        entries.insert(entries.end(), more.begin(), more.end());
    }
    return entries;
}

// ---- frames ----

void AnimatedBitmap::SetFrameMode(const TString& mode, int32_t initialFrame, int32_t frameTime,
                                  bool crossFade, const Callback* cycleEnd)
{
    SetFrameMode(mode, initialFrame, frameTime, crossFade,
                 cycleEnd != nullptr ? WaitHandle::EndOnly(*cycleEnd) : WaitHandle());
}

void AnimatedBitmap::SetFrameMode(const TString& mode, int32_t initialFrame, int32_t frameTime,
                                  bool crossFade, WaitHandle cycleEnd)
{
    // The sequence it replaces will not end: its report is told, once the new one is in place
    // (whoever hears it may load this bitmap again).
    WaitHandle replaced = std::move(mCycleEnd);
    mCycleEnd = std::move(cycleEnd);
    mFrameMode = FrameModeOf(mode);
    mForward = frameTime >= 0;
    mFrameTime = frameTime >= 0 ? frameTime : -std::max(frameTime, -2147483647);
    mCrossFade = crossFade;
    mAnimating = mFrameTime > 0 && GetFrameCount() >= 2;
    mTimeLeft = mFrameTime;
    mNextFrame = initialFrame;
    FrameStep();
    if (mAnimating)
    {
        mNextFrame = 1;
        mCurrentFrame = 0;
    }
    replaced.CutShort();
}

void AnimatedBitmap::ShowFrame(int32_t frame)
{
    if (mAnimationFile.Length() > 0)
        mSprite->SetFrame(frame);
    else if (frame >= 0 && static_cast<size_t>(frame) < mFrameTextures.size())
        mSprite->SetTexture(mFrameTextures[static_cast<size_t>(frame)]);
}

void AnimatedBitmap::FrameStep()
{
    const int32_t count = GetFrameCount();
    // Without frames there is nothing to show: the step would index frame -1.
    if (count <= 0)
        return;
    mCurrentFrame = mNextFrame;
    ShowFrame(mCurrentFrame);

    bool cycleEnded = false;
    if (mFrameMode == kRandom)
    {
        // A single frame has no other to go to: it stays.
        if (count < 2)
            mNextFrame = mCurrentFrame;
        else
            do
                mNextFrame = RandomInt(0, count - 1);
            while (mNextFrame == mCurrentFrame);
    }
    else if (mForward)
    {
        if (mCurrentFrame == count - 1)
        {
            if (mFrameMode == kPlayOnce)
            {
                mAnimating = false;
                cycleEnded = true;
            }
            else if (mFrameMode == kWrap)
            {
                mNextFrame = 0;
                cycleEnded = true;
            }
            else
            {
                mForward = false;
                mNextFrame = mCurrentFrame - 1;
            }
        }
        else
        {
            mNextFrame = std::min(mCurrentFrame + 1, count - 1);
        }
    }
    else
    {
        if (mCurrentFrame == 0)
        {
            if (mFrameMode == kPlayOnce)
            {
                mAnimating = false;
                cycleEnded = true;
            }
            else if (mFrameMode == kWrap)
            {
                mNextFrame = count - 1;
                cycleEnded = true;
            }
            else
            {
                mForward = true;
                mNextFrame = 1;
                cycleEnded = true;
            }
        }
        else
        {
            mNextFrame = mCurrentFrame - 1;
        }
    }

    if (cycleEnded)
    {
        mCycleEnded = true;
        mTimeLeft = AddDelays(mTimeLeft, mFrameDelay);
        // Last: the report may load this bitmap again.
        mCycleEnd.Tell(mTransform.get(), 0);
    }
}

// ---- per frame ----

void AnimatedBitmap::Update()
{
    if (mPaused)
        return;
    const DeltaTime* clock = DeltaTime::Instance();
    const uint32_t step = clock != nullptr ? clock->GetStep() : 0;

    mCycleEnded = false;
    if (mAnimating && mFrameTime > 0)
    {
        int64_t e = step;
        if (e > mTimeLeft)
        {
            do
            {
                e -= mTimeLeft;
                mTimeLeft = mFrameTime;
                FrameStep();
            } while (mAnimating && e > mTimeLeft);
        }
        mTimeLeft = static_cast<int32_t>(std::max<int64_t>(mTimeLeft - e, INT32_MIN));
    }

    for (Block& block : mBlocks)
    {
        SoundEffect* sound = block.mSound.get();
        if (sound == nullptr || sound->mPending < 0)
            continue;
        if (static_cast<uint32_t>(sound->mPending) <= step)
        {
            sound->mPending = -1;
            sound->Start();
        }
        else
        {
            sound->mPending -= static_cast<int32_t>(step);
        }
    }

    if (!mChildren.empty())
    {
        if (mChildAction == kShowAll)
        {
            for (auto& child : mChildren)
                child->Update();
        }
        else
        {
            const bool waitForCycle =
                mChildAction == kRandomAfterCycle || mChildAction == kInTurnAfterCycle;
            if (!waitForCycle || mChildren[mCurrentChild]->mCycleEnded)
            {
                if (mChildCountdown <= static_cast<int64_t>(step))
                {
                    const bool random =
                        mChildAction == kRandomAfterCycle || mChildAction == kRandomOnTimer;
                    mCurrentChild = random ? static_cast<size_t>(RandomInt(
                                                 0, static_cast<int32_t>(mChildren.size()) - 1))
                                           : (mCurrentChild + 1) % mChildren.size();
                    mChildCountdown = RandomInt(mChildMinDelay, mChildMaxDelay);
                }
                else
                {
                    mChildCountdown -= static_cast<int32_t>(step);
                }
            }
            mChildren[mCurrentChild]->Update();
        }
    }

    for (int kind = 0; kind < kBlockCount; ++kind)
    {
        Block& block = mBlocks[kind];
        if (block.mCountdown < 0)
            continue;
        if (static_cast<uint32_t>(block.mCountdown) <= step)
        {
            block.mCountdown = -1;
            StartBlock(static_cast<BlockKind>(kind));
        }
        else
        {
            block.mCountdown -= static_cast<int32_t>(step);
        }
    }
}

// ---- blocks ----

void AnimatedBitmap::LoadBlock(BlockKind kind, const TLuaTable& table, const Callback* endCallback)
{
    LoadBlock(kind, table,
              endCallback != nullptr ? WaitHandle::EndOnly(*endCallback) : WaitHandle());
}

void AnimatedBitmap::LoadBlock(BlockKind kind, const TLuaTable& table, WaitHandle end)
{
    Block& block = mBlocks[kind];
    // The block it replaces will not end: its report is told once this one is in place (whoever
    // hears it may load this bitmap again).
    WaitHandle replaced = std::move(block.mEndReport);
    block = Block();
    block.mPresent = true;
    auto number = [&table](const char* key, double def = 0)
    { return static_cast<float>(table.GetNumber(key, def)); };
    auto integer = [&table](const char* key) { return TruncateToInt(table.GetNumber(key, 0)); };
    auto delay = [&table](const char* key) { return ReadDelay(table, key); };
    block.mLoop = table.GetBool("loop", false);
    block.mOscillate = table.GetBool("oscillate", false);
    block.mSmoothing = Smoothing(table.GetString("smoothing", "none"));
    block.mDuration = integer("duration");
    block.mInitialDelay = delay("initialdelay");
    switch (kind)
    {
    case kMove:
        block.mBegin = TVec2(number("beginx"), number("beginy"));
        block.mEnd = TVec2(number("endx"), number("endy"));
        block.mMinDelay = delay("mindelay");
        block.mMaxDelay = delay("maxdelay");
        block.mFitToPixel = table.GetBool("fittopixel", false);
        block.mAnchored = table.GetBool("anchored", true);
        block.mRandomStart = table.GetBool("randomstart", false);
        break;
    case kRotate:
        block.mBegin.x = number("beginrotation");
        block.mEnd.x = number("endrotation");
        block.mDelay = delay("forwarddelay");
        block.mBackDelay = delay("backwarddelay");
        break;
    case kAlpha:
        block.mBegin.x = number("minopacity");
        block.mEnd.x = number("maxopacity");
        block.mMinDelay = delay("mindelay");
        block.mMaxDelay = delay("maxdelay");
        block.mRandomOpacity = table.GetBool("randomopacity", false);
        break;
    case kFade:
        block.mBegin.x = number("beginopacity");
        block.mEnd.x = number("endopacity");
        block.mDelay = delay("delay");
        break;
    case kPath:
        block.mFileName = table.GetString("filename", TString());
        block.mRotate = table.GetBool("rotate", false);
        block.mDelay = delay("delay");
        break;
    case kScale:
        block.mBegin.x = number("beginscale");
        block.mEnd.x = number("endscale");
        block.mDelay = delay("delay");
        break;
    default:
        return;
    }
    block.mEndReport = std::move(end);
    std::unique_ptr<TLuaTable> sound(table.GetTable("sound"));
    if (sound != nullptr)
        block.mSound = SoundEffect::Create(*sound);

    switch (kind)
    {
    case kMove:
        if (block.mRandomStart)
            StartMoveFromRandomPoint();
        else
            block.mCountdown =
                AddDelays(block.mInitialDelay, RandomInt(block.mMinDelay, block.mMaxDelay));
        break;
    case kRotate:
        block.mCountdown = AddDelays(block.mInitialDelay, block.mDelay);
        break;
    case kAlpha:
        block.mCountdown = RandomInt(block.mMinDelay, block.mMaxDelay);
        break;
    default:
        block.mCountdown = AddDelays(block.mInitialDelay, block.mDelay);
        break;
    }
    replaced.CutShort();
}

void AnimatedBitmap::RemoveTransforms()
{
    if (TransformManager* manager = TransformManager::Instance())
        manager->RemoveTransforms(mTransform.get());
    // A block still counting down starts later and ends as usual; one that was running has lost
    // its transform, and with it its end.
    for (Block& block : mBlocks)
        if (block.mCountdown < 0)
            block.mEndReport.CutShort();
}

bool AnimatedBitmap::CanStillReport() const
{
    const TransformManager* manager = TransformManager::Instance();
    for (const Block& block : mBlocks)
        if (block.mEndReport.IsHeld() &&
            (block.mCountdown >= 0 || (manager != nullptr && block.mTransformId != 0 &&
                                       manager->HasTransform(block.mTransformId))))
            return true;
    return mCycleEnd.IsHeld() && mAnimating && mFrameTime > 0 && GetFrameCount() >= 2;
}

void AnimatedBitmap::ScheduleSound(Block& block)
{
    if (block.mSound)
        block.mSound->mPending = block.mSound->GetStartDelay();
}

void AnimatedBitmap::StartBlock(BlockKind kind)
{
    TransformManager* manager = TransformManager::Instance();
    if (manager == nullptr)
        return;
    Block& block = mBlocks[kind];
    auto* list = new TM_InstructionList;
    const uint32_t duration = Duration(block.mDuration);
    static const Callback::Function kHandlers[kBlockCount] = {
        &OnMoveEnd, &OnRotateEnd, &OnAlphaEnd, &OnFadeEnd, &OnPathEnd, &OnScaleEnd};
    bool back = block.mOscillate;
    switch (kind)
    {
    case kMove:
        list->push_back(
            new TM_Move(duration, block.mAnchored, block.mEnd, block.mBegin, 0, block.mSmoothing));
        break;
    case kRotate:
        list->push_back(
            new TM_Rotate(duration, true, block.mEnd.x, block.mBegin.x, 0, block.mSmoothing));
        break;
    case kAlpha:
        if (block.mRandomOpacity)
        {
            const float span = block.mEnd.x - block.mBegin.x;
            const auto from = static_cast<float>(block.mBegin.x + span * mRandom.NextDouble());
            const auto to = static_cast<float>(block.mBegin.x + span * mRandom.NextDouble());
            list->push_back(new TM_Alpha(1, to, from, 0, 1.0f));
        }
        else
        {
            list->push_back(new TM_Alpha(1, block.mEnd.x, block.mBegin.x, 0, 1.0f));
        }
        back = !block.mRandomOpacity;
        break;
    case kFade:
        list->push_back(new TM_Alpha(duration, block.mEnd.x, block.mBegin.x, 0, block.mSmoothing));
        break;
    case kPath:
        list->push_back(new TM_MovePath(duration, block.mFileName, kFromCurrent2, block.mRotate,
                                        0.0f, block.mSmoothing));
        back = false;
        break;
    case kScale:
        list->push_back(new TM_Scale(duration, block.mEnd.x, block.mBegin.x, 0, block.mSmoothing));
        break;
    default:
        delete list;
        return;
    }
    const uint32_t id =
        manager->AddTransform(mTransform.get(), list, nullptr, new Callback(this, kHandlers[kind]));
    block.mTransformId = id;
    if (back)
        AppendBackList(kind, id);
    ScheduleSound(block);
}

void AnimatedBitmap::StartMoveFromRandomPoint()
{
    TransformManager* manager = TransformManager::Instance();
    Block& block = mBlocks[kMove];
    block.mCountdown = -1;
    if (manager == nullptr)
        return;
    const double r = static_cast<double>(mRandom.Next()) / 4294967296.0;
    const TVec2 from(static_cast<float>(block.mBegin.x + (block.mEnd.x - block.mBegin.x) * r),
                     static_cast<float>(block.mBegin.y + (block.mEnd.y - block.mBegin.y) * r));
    const auto duration =
        static_cast<uint32_t>(static_cast<double>(Duration(block.mDuration)) * (1.0 - r));
    auto* list = new TM_InstructionList;
    list->push_back(new TM_Move(duration, block.mAnchored, block.mEnd, from, 0, block.mSmoothing));
    const uint32_t id =
        manager->AddTransform(mTransform.get(), list, nullptr, new Callback(this, &OnMoveEnd));
    block.mTransformId = id;
    if (block.mOscillate)
        AppendBackList(kMove, id);
    ScheduleSound(block);
}

void AnimatedBitmap::AppendBackList(BlockKind kind, uint32_t id)
{
    Block& block = mBlocks[kind];
    const uint32_t duration = Duration(block.mDuration);
    auto* list = new TM_InstructionList;
    switch (kind)
    {
    case kMove:
        list->push_back(new TM_Move(duration, block.mAnchored, block.mBegin, block.mEnd,
                                    Duration(RandomInt(block.mMinDelay, block.mMaxDelay)),
                                    block.mSmoothing));
        break;
    case kRotate:
        list->push_back(new TM_Rotate(duration, true, block.mBegin.x, block.mEnd.x,
                                      Duration(block.mBackDelay), block.mSmoothing));
        break;
    case kAlpha:
        list->push_back(new TM_Alpha(1, block.mBegin.x, block.mEnd.x,
                                     Duration(RandomInt(block.mMinDelay, block.mMaxDelay)), 1.0f));
        break;
    case kFade:
        list->push_back(new TM_Alpha(duration, block.mBegin.x, block.mEnd.x, Duration(block.mDelay),
                                     block.mSmoothing));
        break;
    case kScale:
        list->push_back(new TM_Scale(duration, block.mBegin.x, block.mEnd.x, Duration(block.mDelay),
                                     block.mSmoothing));
        break;
    default:
        delete list;
        return;
    }
    TransformManager::Instance()->FindTransform(id, list);
}

void AnimatedBitmap::OnBlockEnd(BlockKind kind, uint32_t id)
{
    Block& block = mBlocks[kind];
    switch (kind)
    {
    case kMove:
        if (block.mLoop)
            block.mCountdown = RandomInt(block.mMinDelay, block.mMaxDelay);
        break;
    case kAlpha:
        // The flicker never stops.
        block.mCountdown = RandomInt(block.mMinDelay, block.mMaxDelay);
        break;
    default:
        if (block.mLoop)
            block.mCountdown = block.mDelay;
        break;
    }
    block.mEndReport.Tell(mTransform.get(), id);
}

void AnimatedBitmap::OnMoveEnd(void* object, TM_Transform*, uint32_t id)
{
    static_cast<AnimatedBitmap*>(object)->OnBlockEnd(kMove, id);
}

void AnimatedBitmap::OnRotateEnd(void* object, TM_Transform*, uint32_t id)
{
    static_cast<AnimatedBitmap*>(object)->OnBlockEnd(kRotate, id);
}

void AnimatedBitmap::OnAlphaEnd(void* object, TM_Transform*, uint32_t id)
{
    static_cast<AnimatedBitmap*>(object)->OnBlockEnd(kAlpha, id);
}

void AnimatedBitmap::OnFadeEnd(void* object, TM_Transform*, uint32_t id)
{
    static_cast<AnimatedBitmap*>(object)->OnBlockEnd(kFade, id);
}

void AnimatedBitmap::OnPathEnd(void* object, TM_Transform*, uint32_t id)
{
    static_cast<AnimatedBitmap*>(object)->OnBlockEnd(kPath, id);
}

void AnimatedBitmap::OnScaleEnd(void* object, TM_Transform*, uint32_t id)
{
    static_cast<AnimatedBitmap*>(object)->OnBlockEnd(kScale, id);
}

// ---- drawing, pausing ----

void AnimatedBitmap::Draw(const TDrawSpec& parent)
{
    TDrawSpec spec = parent;
    if (FitsToPixel())
    {
        // So that the combined position falls on whole pixels.
        const float px = mTransform->GetX();
        const float py = mTransform->GetY();
        spec.mMatrix.m[2][0] = std::floor(spec.mMatrix.m[2][0]) + std::floor(px) - px;
        spec.mMatrix.m[2][1] = std::floor(spec.mMatrix.m[2][1]) + std::floor(py) - py;
    }
    const TDrawSpec childSpec = mSprite->GetSpec().Combine(spec);
    const bool all = mChildAction == kShowAll;
    for (size_t i = 0; i < mChildren.size(); ++i)
        if ((all || i == mCurrentChild) && mChildren[i]->mSprite->GetLayer() <= 0)
            mChildren[i]->Draw(childSpec);

    if (mCrossFade && GetFrameCount() >= 2 && mFrameTime > 0)
    {
        const float f = static_cast<float>(mTimeLeft) / static_cast<float>(mFrameTime);
        ShowFrame(mNextFrame);
        mSprite->Draw(TDrawSpec(TVec2(0, 0), 1.0f - f, 1.0f).Combine(spec), -1);
        ShowFrame(mCurrentFrame);
        mSprite->Draw(TDrawSpec(TVec2(0, 0), f, 1.0f).Combine(spec), -1);
    }
    else
    {
        ShowFrame(mCurrentFrame);
        mSprite->Draw(spec, -1);
    }

    TDrawSpec above = childSpec;
    above.mMatrix.m[2][0] = std::floor(above.mMatrix.m[2][0]);
    above.mMatrix.m[2][1] = std::floor(above.mMatrix.m[2][1]);
    for (size_t i = 0; i < mChildren.size(); ++i)
        if ((all || i == mCurrentChild) && mChildren[i]->mSprite->GetLayer() >= 1)
            mChildren[i]->Draw(above);
}

void AnimatedBitmap::Pause()
{
    mPaused = true;
    if (TransformManager* manager = TransformManager::Instance())
        manager->PauseTransforms(mTransform.get());
    for (Block& block : mBlocks)
        if (block.mSound)
            block.mSound->Pause();
    for (auto& child : mChildren)
        child->Pause();
}

void AnimatedBitmap::Resume()
{
    mPaused = false;
    if (TransformManager* manager = TransformManager::Instance())
        manager->ResumeTransforms(mTransform.get());
    for (Block& block : mBlocks)
        if (block.mSound)
            block.mSound->Resume();
    for (auto& child : mChildren)
        child->Resume();
}

// ---- restart operations ----

void AnimatedBitmap::RestartFrames(const TString& mode, int32_t initialFrame, int32_t frameTime,
                                   bool crossFade)
{
    if (FrameModeOf(mode) == kPlayOnce && frameTime != 0)
    {
        mCurrentFrame = -1;
        // The sequence that ran is put at its end: it will not end by itself any more.
        mCycleEnd.CutShort();
        return;
    }
    SetFrameMode(mode, initialFrame, frameTime, crossFade);
}

void AnimatedBitmap::RestartMove(const TLuaTable& table)
{
    if (table.GetBool("loop", false))
    {
        LoadBlock(kMove, table);
        return;
    }
    const bool oscillate = table.GetBool("oscillate", false);
    const auto x = static_cast<float>(table.GetNumber(oscillate ? "beginx" : "endx", 0));
    const auto y = static_cast<float>(table.GetNumber(oscillate ? "beginy" : "endy", 0));
    if (table.GetBool("anchored", true))
    {
        mTransform->SetX(x);
        mTransform->SetY(y);
    }
    else
    {
        mTransform->SetX(mTransform->GetX() + x);
        mTransform->SetY(mTransform->GetY() + y);
    }
}

void AnimatedBitmap::RestartRotate(const TLuaTable& table)
{
    if (table.GetBool("loop", false))
    {
        LoadBlock(kRotate, table);
        return;
    }
    const bool oscillate = table.GetBool("oscillate", false);
    mTransform->SetRotationZ(
        static_cast<float>(table.GetNumber(oscillate ? "beginrotation" : "endrotation", 0)));
}

void AnimatedBitmap::RestartFade(const TLuaTable& table)
{
    if (table.GetBool("loop", false))
    {
        LoadBlock(kFade, table);
        return;
    }
    const bool oscillate = table.GetBool("oscillate", false);
    mTransform->SetAlpha(
        static_cast<float>(table.GetNumber(oscillate ? "beginopacity" : "endopacity", 0)));
}

void AnimatedBitmap::RestartScale(const TLuaTable& table)
{
    if (table.GetBool("loop", false))
    {
        LoadBlock(kScale, table);
        return;
    }
    const bool oscillate = table.GetBool("oscillate", false);
    mTransform->SetUniformScale(
        static_cast<float>(table.GetNumber(oscillate ? "beginscale" : "endscale", 0)));
}

void AnimatedBitmap::RestartPath(const TLuaTable& table)
{
    Block& block = mBlocks[kPath];
    block.mPresent = true;
    block.mFileName = table.GetString("filename", TString());
    block.mDuration = TruncateToInt(table.GetNumber("duration", 0));
    block.mRotate = table.GetBool("rotate", false);
    block.mLoop = table.GetBool("loop", false);
    block.mDelay = ReadDelay(table, "delay");
    block.mSmoothing = Smoothing(table.GetString("smoothing", "none"));
    block.mCountdown = -1;
    StartBlock(kPath);
}
