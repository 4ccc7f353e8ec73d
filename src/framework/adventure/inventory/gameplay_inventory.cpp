// The inventory object: construction from its tables, textures and masks, the saved record, the
// animations between strip, scene and mouse, the rollover, and the four looks with the parts bar.
#include "framework/adventure/inventory/gameplay_inventory.h"

#include "framework/core/frame_services.h"
#include "framework/widgets/mask_collision_sprite.h"
#include "framework/core/settings.h"
#include "framework/transforms/transform_instructions.h"
#include "framework/transforms/transform_manager.h"
#include "framework/core/window_manager.h"
#include "particles/lua_particle_system.h"
#include "platform/log.h"
#include "render/sprites/animated_texture.h"
#include "render/renderer/renderer.h"
#include "render/sprites/sprite.h"
#include "script/lua_object_wrapper.h"
#include "script/script.h"

#include <algorithm>
#include <cmath>

const TVec2 kUnsetPosition(-9999.0f, -9999.0f);

namespace
{

// The eased progress every animation of the object uses.
constexpr float kSmoothing = -0.5f;

uint32_t Duration(int32_t ms)
{
    return ms > 0 ? static_cast<uint32_t>(ms) : 0u;
}

int32_t ReadInt(const TLuaTable& table, const char* key)
{
    return ScriptNumberToInt(table.GetNumber(key, 0));
}

float ReadFloat(const TLuaTable& table, const char* key, double def = 0)
{
    return static_cast<float>(table.GetNumber(key, def));
}

TM_InstructionList* Alpha(int32_t ms, float end, uint32_t delay = 0,
                          TM_InstructionList* list = new TM_InstructionList)
{
    list->push_back(new TM_Alpha(Duration(ms), end, kFromCurrent, delay, kSmoothing));
    return list;
}

TM_InstructionList* Move(int32_t ms, const TVec2& end, uint32_t delay = 0,
                         TM_InstructionList* list = new TM_InstructionList)
{
    list->push_back(new TM_Move(Duration(ms), true, end, kFromCurrent2, delay, kSmoothing));
    return list;
}

TM_InstructionList* Scale(int32_t ms, float end, TM_InstructionList* list = new TM_InstructionList)
{
    list->push_back(new TM_Scale(Duration(ms), end, kFromCurrent, 0, kSmoothing));
    return list;
}

// Big-endian, as the location record around it.
void PutInt32(std::vector<uint8_t>& out, int32_t value)
{
    const auto bits = static_cast<uint32_t>(value);
    for (int shift = 24; shift >= 0; shift -= 8)
        out.push_back(static_cast<uint8_t>(bits >> shift));
}

int32_t GetInt32(const uint8_t* bytes)
{
    return static_cast<int32_t>(uint32_t(bytes[0]) << 24 | uint32_t(bytes[1]) << 16 |
                                uint32_t(bytes[2]) << 8 | uint32_t(bytes[3]));
}

std::shared_ptr<TSprite> AnchoredSprite()
{
    std::shared_ptr<TSprite> sprite = TSprite::Create(0);
    sprite->GetSpec().mFlags |= kDrawOrigin;
    return sprite;
}

void PlaceAt(TSprite& sprite, float x, float y)
{
    sprite.GetSpec().mMatrix.m[2][0] = x;
    sprite.GetSpec().mMatrix.m[2][1] = y;
}

float TextureWidth(const TSprite& sprite)
{
    const std::shared_ptr<TTexture> texture = sprite.GetTexture();
    return texture != nullptr ? static_cast<float>(texture->GetWidth()) : 0.0f;
}

} // namespace

GameplayInventory::GameplayInventory(const TLuaTable& object, const TLuaTable& shared)
    : mRolloverSprite(AnchoredSprite()), mRolloverTransform(&mRolloverSprite->GetSpec()),
      mImageSprite(TAnimatedSprite::Create(0)), mImageTransform(&mImageSprite->GetSpec()),
      mMaskSprite(MaskCollisionSprite::Create())
{
    mCanBePlacedInHud = object.GetBool("canbeplacedinhud", true);
    mName = object.GetString("name");
    mActualName = object.GetString("actualname");
    mEventName = object.GetString("event");
    mImage = object.GetString("image");
    mImageMask = shared.GetString("imagemask");
    mHomeScene = object.GetString("homescene");
    const float y = ReadFloat(object, "y");
    const float x = ReadFloat(object, "x");
    mHomePosition = TVec2(x, y);
    mParticlesName = shared.GetString("particles");
    // A byte in the saved record too: 300 parts are 44.
    mWrittenPartCount = ReadInt(object, "partcount");
    mPartCount = static_cast<uint8_t>(mWrittenPartCount);
    mTimeToUse = ReadInt(shared, "timetouse");
    mRotateToUse = ReadFloat(shared, "rotatetouse");
    mTimeUnequip = ReadInt(shared, "timeunequip");
    mTimeEquip = ReadInt(shared, "timeequip");
    mScaleEquip = ReadFloat(shared, "scaleequip");
    mTimeVisible = ReadInt(shared, "timevisible");
    mTimeFadePart = ReadInt(shared, "timefadepart");
    mTimeToMove = ReadInt(shared, "timetomove");
    mSilhouetteAlpha = ReadFloat(shared, "silhouettealpha");
    mTimeRolloverGlow = ReadInt(shared, "timerolloverglow");
    mTimeRolloverOffset = ReadInt(shared, "timerolloveroffset");
    mRolloverOffset.y = ReadFloat(shared, "offsetrollovery");
    mRolloverOffset.x = ReadFloat(shared, "offsetrolloverx");
    mRolloverStartOffset.y = ReadFloat(shared, "offsetrolloverstarty");
    mRolloverStartOffset.x = ReadFloat(shared, "offsetrolloverstartx");
    mOffsetAlpha = ReadFloat(shared, "offsetalpha");
    mHilightCount = ReadInt(shared, "hilightcount");
    mHilightTime = ReadInt(shared, "hilighttime");
    mHilightAlpha = ReadFloat(shared, "hilightalpha");
    mBarWidth = ReadFloat(shared, "barwidth");
    mFillTime = ReadInt(shared, "filltime");
    mProgressBarTooltip = shared.GetString("progressbaritemtooltip");

    mFrameLeft = TSprite::Create(0);
    mFrameCenter = TSprite::Create(0);
    mFrameRight = TSprite::Create(0);
    mFillLeft = TSprite::Create(0);
    mFillCenter = TSprite::Create(0);
    mFillRight = TSprite::Create(0);
    mMaskSprite->GetSpec().mFlags |= kDrawOrigin;
    mRolloverTransform.SetPosition(mRolloverStartOffset.x, mRolloverStartOffset.y, 1.0f);
    mRolloverTransform.SetAlpha(0.0f);
    mImageTransform.SetPosition(x, y, 1.0f);
    mHilightSpec.mAlpha = 0.0f;
    mLocus.mWidth = 2;
    mSize.mWidth = 2;
}

GameplayInventory::~GameplayInventory()
{
    if (mDestroyed != nullptr)
        *mDestroyed = true;
    // The transforms' own destructors would do it too, but only after the specs they point at
    // have gone with their sprites.
    if (TransformManager* manager = TransformManager::Instance())
        for (TM_Transform* target : std::initializer_list<TM_Transform*>{
                 &mImageTransform, &mRolloverTransform, &mHilightTransform, &mPartFadeTransform,
                 &mBarTransform})
            manager->RemoveTransforms(target);
}

void GameplayInventory::Init(const TLuaTable& object, const TLuaTable& shared)
{
    CreateProgressBar(object, shared);
}

// --- end handlers -------------------------------------------------------------------------------

bool GameplayInventory::CallBack(uint32_t argument)
{
    if (!mPendingReport.IsHeld())
        return true;
    WaitHandle report = std::move(mPendingReport);
    bool destroyed = false;
    bool* outer = mDestroyed;
    mDestroyed = &destroyed;
    report.Tell(nullptr, argument);
    if (destroyed)
    {
        if (outer != nullptr)
            *outer = true;
        return false;
    }
    mDestroyed = outer;
    return true;
}

void GameplayInventory::HoldReport(WaitHandle&& report)
{
    if (report.IsHeld())
        mPendingReport = std::move(report);
}

uint32_t GameplayInventory::Run(TM_Transform* target, TM_InstructionList* list, Handler handler)
{
    TransformManager* manager = TransformManager::Instance();
    if (manager == nullptr)
    {
        delete list;
        return 0;
    }
    Callback* end = nullptr;
    if (handler != nullptr)
        end = new Callback(this, handler);
    return manager->AddTransform(target, list, end);
}

void GameplayInventory::RemoveTransforms(TM_Transform* target)
{
    if (TransformManager* manager = TransformManager::Instance())
        manager->RemoveTransforms(target);
}

void GameplayInventory::PauseTransforms()
{
    StepAnimatedParts(&TransformManager::PauseTransforms);
}

void GameplayInventory::ResumeTransforms()
{
    StepAnimatedParts(&TransformManager::ResumeTransforms);
}

void GameplayInventory::StepAnimatedParts(void (TransformManager::*step)(TM_Transform*))
{
    TransformManager* manager = TransformManager::Instance();
    if (manager == nullptr)
        return;
    for (TM_Transform* part :
         {static_cast<TM_Transform*>(&mPartFadeTransform),
          static_cast<TM_Transform*>(&mRolloverTransform),
          static_cast<TM_Transform*>(&mHilightTransform),
          static_cast<TM_Transform*>(&mImageTransform), static_cast<TM_Transform*>(&mBarTransform)})
        (manager->*step)(part);
}

void GameplayInventory::OnUnequipped(void* object, TM_Transform*, uint32_t id)
{
    auto* self = static_cast<GameplayInventory*>(object);
    self->mFlags &= static_cast<uint8_t>(~kHeld);
    self->mReturning = false;
    self->CallBack(id);
}

void GameplayInventory::OnCalledBack(void* object, TM_Transform*, uint32_t id)
{
    static_cast<GameplayInventory*>(object)->CallBack(id);
}

void GameplayInventory::OnMoved(void* object, TM_Transform*, uint32_t id)
{
    auto* self = static_cast<GameplayInventory*>(object);
    if (!self->CallBack(id))
        return;
    self->mFlags &= static_cast<uint8_t>(~kMoving);
    self->mLocus.mValue[0] = self->mHomePosition.x;
    self->mLocus.mValue[1] = self->mHomePosition.y;
}

void GameplayInventory::OnShownInHud(void* object, TM_Transform*, uint32_t id)
{
    auto* self = static_cast<GameplayInventory*>(object);
    if (self->CallBack(id))
        self->StopParticles();
}

void GameplayInventory::OnHidden(void* object, TM_Transform*, uint32_t id)
{
    static_cast<GameplayInventory*>(object)->Unload(id);
}

void GameplayInventory::OnPartsFadedHandler(void* object, TM_Transform*, uint32_t)
{
    static_cast<GameplayInventory*>(object)->OnPartsFaded();
}

// --- animations ---------------------------------------------------------------------------------

bool GameplayInventory::IsMotionRunning() const
{
    const TransformManager* manager = TransformManager::Instance();
    return manager != nullptr && manager->HasTransforms(&mImageTransform);
}

void GameplayInventory::Equip()
{
    mFlags |= kHeld;
    mReturning = false;
    RemoveTransforms(&mImageTransform);
    // The motion whose end was to tell the pending report is gone: it is told now.
    if (!CallBack(0))
        return;
    Run(&mImageTransform, Scale(mTimeEquip, mScaleEquip), nullptr);
}

void GameplayInventory::Unequip(WaitHandle&& report)
{
    if ((mFlags & kHeld) == 0)
        return;
    HoldReport(std::move(report));
    mReturning = true;
    RemoveTransforms(&mImageTransform);
    // Scaling moves the translation with the columns; the move comes after it so that the
    // picture ends exactly at home.
    Run(&mImageTransform, Move(mTimeUnequip, mHomePosition, 0, Scale(mTimeUnequip, 1.0f)),
        &OnUnequipped);
}

void GameplayInventory::Use(WaitHandle&& report)
{
    HoldReport(std::move(report));
    mReturning = false;
    mFlags = static_cast<uint8_t>((mFlags & ~kHeld) | kUsed);
    RemoveTransforms(&mImageTransform);
    TM_InstructionList* list = Alpha(mTimeToUse, 0.0f);
    list->push_back(
        new TM_Rotate(Duration(mTimeToUse), true, mRotateToUse, kFromCurrent, 0, kSmoothing));
    Run(&mImageTransform, Scale(mTimeToUse, 0.0f, list), &OnCalledBack);
}

void GameplayInventory::MoveTo(float x, float y, WaitHandle&& report, int32_t delay)
{
    mHomePosition = TVec2(x, y);
    mFlags |= kMoving;
    // A move that reports to no one (the strip arranged) keeps a report still due (a fade into
    // the strip, a hide): its end then reports it, once.
    HoldReport(std::move(report));
    Run(&mImageTransform, Move(mTimeToMove, mHomePosition, Duration(delay)), &OnMoved);
}

void GameplayInventory::SetPosition(float x, float y)
{
    mImageTransform.SetPosition(x, y, 1.0f);
    mHomePosition = TVec2(mImageTransform.GetX(), mImageTransform.GetY());
    mLocus.mValue[0] = mHomePosition.x;
    mLocus.mValue[1] = mHomePosition.y;
}

void GameplayInventory::PlaceInHud(WaitHandle&& report, bool animate)
{
    mFlags |= kShown | kVisible;
    RefreshCollisionMask();
    if (!animate)
        return;
    HoldReport(std::move(report));
    mImageTransform.SetAlpha(0.0f);
    Run(&mImageTransform, Alpha(mTimeVisible, 1.0f), &OnShownInHud);
    // The effect plays during the fade-in; in a scene the object arrives without it.
    if ((mFlags & kInScene) == 0)
        StartParticles();
}

void GameplayInventory::PlaceInScene(bool animate, const TVec2& position, WaitHandle&& report)
{
    mFlags = static_cast<uint8_t>((mFlags & ~kHeld) | kInScene);
    mReturning = false;
    if ((mFlags & kShown) == 0)
        PlaceInHud(nullptr, animate);
    if (position.x != kUnsetPosition.x || position.y != kUnsetPosition.y)
        mHomePosition = position;
    if (animate)
    {
        Run(&mImageTransform, Move(mTimeToMove, mHomePosition, 0, Scale(mTimeToMove, 1.0f)),
            &OnCalledBack);
    }
    else
    {
        mImageTransform.SetPosition(mHomePosition.x, mHomePosition.y, 1.0f);
        mImageTransform.SetUniformScale(1.0f);
    }
    // Stored after the list starts, also without animation: a later end handler or Unload then
    // calls it.
    HoldReport(std::move(report));
}

void GameplayInventory::Hide(WaitHandle&& report, bool animate)
{
    if (!animate)
    {
        Unload(0);
        return;
    }
    HoldReport(std::move(report));
    Run(&mImageTransform, Alpha(mTimeVisible, 0.0f), &OnHidden);
}

void GameplayInventory::FinishUse()
{
    if ((mFlags & kUsed) == 0 || !mPendingReport.IsHeld())
        return;
    RemoveTransforms(&mImageTransform);
    mImageTransform.SetAlpha(0.0f);
    CallBack(0);
}

void GameplayInventory::PutBack()
{
    mFlags &= static_cast<uint8_t>(~kHeld);
    mReturning = false;
    RemoveTransforms(&mImageTransform);
    mImageTransform.SetUniformScale(1.0f);
    mImageSprite->GetSpec().mMatrix.m[0][0] = 1.0f;
    mImageSprite->GetSpec().mMatrix.m[1][1] = 1.0f;
    mImageTransform.SetPosition(mHomePosition.x, mHomePosition.y, 1.0f);
    CallBack(0);
}

void GameplayInventory::ReadyForTheStrip()
{
    if ((mFlags & kInScene) != 0)
        mFlags |= kComplete;
    mFlags &= static_cast<uint8_t>(~(kUsed | kInScene | kHeld));
    mReturning = false;
    RemoveTransforms(&mImageTransform);
    mImageTransform.SetRotation(0.0f, 0.0f, 0.0f);
    mImageTransform.SetUniformScale(1.0f);
    mImageSprite->GetSpec().mMatrix.m[0][0] = 1.0f;
    mImageSprite->GetSpec().mMatrix.m[1][1] = 1.0f;
    mImageTransform.SetAlpha(1.0f);
    CallBack(0);
}

void GameplayInventory::Unload(uint32_t argument)
{
    mFlags &= 0x7E;
    mImageSprite->SetTexture(nullptr);
    mMaskSprite->ReleaseMasks();
    mWantsTextures = false;
    CallBack(argument);
}

void GameplayInventory::Reset()
{
    // Through the transform first, so that its record of scale and rotation agrees with the
    // matrix; then the matrix's scale places are set outright.
    mImageTransform.SetRotation(0.0f, 0.0f, 0.0f);
    mImageTransform.SetUniformScale(1.0f);
    mImageSprite->GetSpec().mMatrix.m[0][0] = 1.0f;
    mImageSprite->GetSpec().mMatrix.m[1][1] = 1.0f;
    mImageTransform.SetAlpha(1.0f);
    mImageTransform.SetPosition(mHomePosition.x, mHomePosition.y, 1.0f);
    mFlags = kFollowsMouse;
    mReturning = false;
}

void GameplayInventory::AddPart(int32_t part, bool count)
{
    if (part < 1 || static_cast<size_t>(part) > mParts.size())
    {
        Log("ERROR: Inventory object '%s' has no part %d (it has %d)", mName.c_str(), part,
            static_cast<int>(mParts.size()));
        return;
    }
    if (mFadingParts.empty())
    {
        mPartFadeSpec.mAlpha = 0.0f;
        TM_InstructionList* list = new TM_InstructionList;
        list->push_back(new TM_Alpha(Duration(mTimeFadePart), 1.0f, 0.0f, 0, kSmoothing));
        Run(&mPartFadeTransform, list, &OnPartsFadedHandler);
    }
    mParts[static_cast<size_t>(part - 1)] = true;
    mFadingParts.push_back(part - 1);
    if (count)
    {
        ++mPartsFound;
        UpdateProgress();
    }
}

void GameplayInventory::OnPartsFaded()
{
    mFadingParts.clear();
    for (bool found : mParts)
        if (!found)
            return;
    mFlags |= kComplete;
}

void GameplayInventory::Hilight()
{
    auto pulse = [this]
    {
        TM_InstructionList* list = new TM_InstructionList;
        const uint32_t time = Duration(mHilightTime);
        list->push_back(new TM_Alpha(time, mHilightAlpha, 0.0f, 0, kSmoothing));
        list->push_back(new TM_Alpha(time, 0.0f, mHilightAlpha, time, kSmoothing));
        return list;
    };
    const uint32_t id = Run(&mHilightTransform, pulse(), nullptr);
    TransformManager* manager = TransformManager::Instance();
    if (id == 0 || manager == nullptr)
        return;
    for (int32_t i = 1; i < mHilightCount; ++i)
        manager->FindTransform(id, pulse());
}

// --- textures -----------------------------------------------------------------------------------

void GameplayInventory::RefreshCollisionMask()
{
    mWantsTextures = true;
    if (mImageSprite->GetTexture() != nullptr)
        return;
    if (CreateCollisionMaskAndHilite())
        return;
    if (WindowManager* frames = WindowManager::Instance())
        frames->SetTexturesPending();
}

bool GameplayInventory::CreateCollisionMaskAndHilite()
{
    if (!mWantsTextures)
        return true;
    std::shared_ptr<TAnimatedTexture> texture = TAnimatedTexture::Get(mImage, TString(), TString());
    mImageSprite->SetTexture(texture);
    const std::shared_ptr<TTexture> mask =
        texture != nullptr ? TTexture::Get(mImage + mImageMask, 0) : nullptr;
    std::shared_ptr<TTexture> hilite;
    const bool made = mask != nullptr && mMaskSprite->CreateMaskAnimated(
                                             hilite, 0, TColor(0xFFFFFFFFu), mask, texture);
    if (!made || hilite == nullptr)
    {
        mImageSprite->SetTexture(nullptr);
        // A picture or mask the game lacks (or cannot read) stays so: said once, and not asked
        // for again at every frame, which would also keep the location's other textures from
        // coming back. Only a mask that could not be made from files at hand is tried again.
        const bool missing = mask == nullptr;
        if (texture == nullptr && !mMissingPictureSaid)
            ReportUnreadablePicture();
        if (!missing || !mMissingPictureSaid)
            ReportError("CreateCollisionMaskAndHilite failed.",
                        "Framework\\src\\casual adventure\\gameplayinventory", 600, false);
        mMissingPictureSaid = mMissingPictureSaid || missing;
        return missing;
    }
    mRolloverSprite->SetTexture(hilite);
    mMaskSprite->GetSpec().mOrigin = texture->GetRegistration();
    mRolloverSprite->GetSpec().mOrigin =
        TVec2(std::floor(static_cast<float>(hilite->GetWidth()) * 0.5f),
              std::floor(static_cast<float>(hilite->GetHeight()) * 0.5f));
    mImageTransform.mWidth = texture->GetWidth();
    mImageTransform.mHeight = texture->GetHeight();
    mSize.mValue[0] = static_cast<float>(mImageTransform.mWidth) * 0.5f;
    mSize.mValue[1] = static_cast<float>(mImageTransform.mHeight) * 0.5f;
    if (mParts.empty() && texture->GetFrameCount() > 2)
        mParts.assign(static_cast<size_t>(texture->GetFrameCount() - 2), false);
    return true;
}

// The failure's own line names nothing: this one names the object and the file it lacks, the
// frame sheet its description names when the description is there.
void GameplayInventory::ReportUnreadablePicture() const
{
    TAnimatedTexture description;
    if (!description.Load(mImage))
    {
        ReportError(TString::Format("Inventory object '%s' cannot read its picture '%s': no such "
                                    "picture or description",
                                    mName.c_str(), mImage.c_str())
                        .c_str(),
                    "gameplayinventory", __LINE__, false);
        return;
    }
    const TAnimationDescription& d = description.GetDescription();
    ReportError(TString::Format("Inventory object '%s' cannot read its picture '%s': its "
                                "description %s names the frame sheet '%s', which cannot be read",
                                mName.c_str(), mImage.c_str(), d.mFilePath.c_str(),
                                (d.mFolder + d.mImageName).c_str())
                    .c_str(),
                "gameplayinventory", __LINE__, false);
}

TRect GameplayInventory::GetRect() const
{
    TRect rect;
    mImageSprite->GetBounds(rect, TDrawSpec(), 0);
    return rect;
}

// --- saved state --------------------------------------------------------------------------------

void GameplayInventory::SaveState(std::vector<uint8_t>& out) const
{
    uint8_t flags = static_cast<uint8_t>(mFlags & ~kMoving);
    if (mReturning)
        flags &= static_cast<uint8_t>(~kHeld);
    bool missing = false;
    uint8_t found = 0;
    for (size_t i = 0; i < mParts.size(); ++i)
    {
        missing = missing || !mParts[i];
        if (mParts[i] && i < static_cast<size_t>(kPartsARecordHolds))
            found |= static_cast<uint8_t>(1u << i);
    }
    if (!mFadingParts.empty() && !missing)
        flags |= kComplete;
    out.push_back(flags);
    out.push_back(found);
    out.push_back(mPartsFound);
    PutInt32(out, ScriptNumberToInt(mHomePosition.x));
    PutInt32(out, ScriptNumberToInt(mHomePosition.y));
}

bool GameplayInventory::RestoreState(const uint8_t* record, size_t size)
{
    if (record == nullptr || size < kSavedStateSize)
    {
        Log("ERROR: Inventory object '%s': a saved record of %d bytes is too short", mName.c_str(),
            static_cast<int>(size));
        return false;
    }
    mFlags = record[0];
    if ((mFlags & kUsed) != 0)
    {
        mPartsFound = mPartCount;
        mParts.assign(mPartCount, true);
        mFlags = kUsed;
        return true;
    }
    if ((mFlags & kShown) != 0)
    {
        mFlags |= kShown | kVisible;
        RefreshCollisionMask();
    }
    else if ((mFlags & kVisible) != 0)
    {
        RefreshCollisionMask();
    }
    bool missing = false;
    for (size_t i = 0; i < mParts.size(); ++i)
    {
        mParts[i] = i < static_cast<size_t>(kPartsARecordHolds) && (record[1] >> i & 1u) != 0;
        missing = missing || !mParts[i];
    }
    if (!missing && !mParts.empty())
    {
        mFlags |= kComplete;
        mBarTransform.SetAlpha(0.0f);
    }
    mPartsFound = record[2];
    UpdateProgress();
    mHomePosition =
        TVec2(static_cast<float>(GetInt32(record + 3)), static_cast<float>(GetInt32(record + 7)));
    return true;
}

void GameplayInventory::RestorePart(int32_t part)
{
    if (part <= kPartsARecordHolds || static_cast<size_t>(part) > mParts.size() ||
        (mFlags & kUsed) != 0)
        return;
    mParts[static_cast<size_t>(part - 1)] = true;
    if (std::find(mParts.begin(), mParts.end(), false) != mParts.end())
        return;
    mFlags |= kComplete;
    mBarTransform.SetAlpha(0.0f);
}

// --- per frame ----------------------------------------------------------------------------------

void GameplayInventory::FollowPointer(TIntPoint point)
{
    if ((mFlags & (kHeld | kFollowsMouse)) == (kHeld | kFollowsMouse))
        mImageTransform.SetPosition(static_cast<float>(point.x), static_cast<float>(point.y), 1.0f);
}

void GameplayInventory::Update(uint32_t elapsed)
{
    if (Settings* settings = Settings::Instance())
        FollowPointer(TIntPoint{settings->mMouseX, settings->mMouseY});
    if ((mFlags & kMoving) != 0)
    {
        mLocus.mValue[0] = mImageTransform.GetX();
        mLocus.mValue[1] = mImageTransform.GetY();
    }
    if (mParticleSystem != nullptr)
    {
        mParticleSystem->Update(static_cast<int32_t>(elapsed));
        TScript* script = mParticleSystem->GetScript();
        if (mParticleSystem->GetParticleCount() == 0 &&
            (script == nullptr || script->GetGlobalNumber("gActive") == 0))
            mParticleSystem.reset();
    }
    if (mHovered != mRolloverShown)
    {
        const TVec2& to = mHovered ? mRolloverOffset : mRolloverStartOffset;
        RemoveTransforms(&mRolloverTransform);
        Run(&mRolloverTransform,
            Alpha(mTimeRolloverGlow, mHovered ? 1.0f : 0.0f, 0, Move(mTimeRolloverOffset, to)),
            nullptr);
        mRolloverShown = mHovered;
    }
    mHovered = false;
}

void GameplayInventory::StartParticles()
{
    mParticleSystem = std::make_shared<TLuaParticleSystem>();
    mParticleSystem->RegisterFunction("dLocus", &mLocus);
    mParticleSystem->RegisterFunction("dSize", &mSize);
    if (mParticlesName.Length() == 0)
    {
        mParticleSystem.reset();
        return;
    }
    mParticleSystem->Load(mParticlesName);
    if (TScript* script = mParticleSystem->GetScript())
        script->SetGlobalNumber("gActive", 1);
}

void GameplayInventory::StopParticles()
{
    if (mParticleSystem != nullptr)
        if (TScript* script = mParticleSystem->GetScript())
            script->SetGlobalNumber("gActive", 0);
}

void GameplayInventory::DrawParticles(const TDrawSpec& spec)
{
    if (mParticleSystem != nullptr)
        mParticleSystem->Draw(TVec3(spec.mMatrix.m[2][0], spec.mMatrix.m[2][1], 0.0f));
}

// --- drawing ------------------------------------------------------------------------------------

void GameplayInventory::DrawFrame(int32_t frame, const TDrawSpec& parent, float shade,
                                  float alphaFactor)
{
    TDrawSpec& spec = mImageSprite->GetSpec();
    const TVec4 colour = spec.mColor;
    const float alpha = spec.mAlpha;
    spec.mColor = TVec4(shade, shade, shade, colour.w);
    spec.mAlpha = alpha * alphaFactor;
    mImageSprite->SetFrame(frame);
    mImageSprite->Draw(parent, 0);
    spec.mColor = colour;
    spec.mAlpha = alpha;
}

TDrawSpec GameplayInventory::RolloverMoved(const TDrawSpec& parent) const
{
    const TDrawSpec& rollover = mRolloverSprite->GetSpec();
    return TDrawSpec(TVec2(rollover.mMatrix.m[2][0], rollover.mMatrix.m[2][1])).Combine(parent);
}

void GameplayInventory::DrawRolloverAndShadow(const TDrawSpec& parent)
{
    mRolloverSprite->Draw(mImageSprite->GetSpec().Combine(parent), 0);
    DrawFrame(0, parent, 0.0f, mOffsetAlpha);
}

void GameplayInventory::DrawParts(const TDrawSpec& spec)
{
    for (size_t i = mParts.size(); i-- > 0;)
    {
        if (!mParts[i])
            continue;
        bool fading = false;
        for (int32_t index : mFadingParts)
            fading = fading || index == static_cast<int32_t>(i);
        DrawFrame(static_cast<int32_t>(i) + 2, spec, 1.0f, fading ? mPartFadeSpec.mAlpha : 1.0f);
    }
}

void GameplayInventory::DrawSilhouette(const TDrawSpec& spec)
{
    mImageSprite->SetFrame(1);
    mImageSprite->Draw(spec, 0);
}

void GameplayInventory::Draw(const TDrawSpec& parent)
{
    if ((mFlags & kVisible) == 0)
        return;
    if (mLiftedParts)
    {
        DrawRolloverAndShadow(parent);
        const TDrawSpec lifted = RolloverMoved(parent);
        DrawSilhouette(lifted);
        DrawFrame(0, lifted, 0.0f, mSilhouetteAlpha);
        DrawParts(lifted);
        DrawProgressBar(parent);
        return;
    }
    if ((mFlags & (kHeld | kInScene)) != 0)
    {
        DrawFrame(0, parent, 1.0f, 1.0f);
        if (mHilightSpec.mAlpha > 0.0f)
        {
            TRenderer* renderer = TRenderer::Instance();
            if (renderer != nullptr)
                renderer->SetBlendMode(2);
            mImageSprite->Draw(mHilightSpec.Combine(parent), 0);
            if (renderer != nullptr)
                renderer->SetBlendMode(0);
        }
    }
    else if ((mFlags & kComplete) != 0)
    {
        DrawRolloverAndShadow(parent);
        DrawFrame(0, RolloverMoved(parent), 1.0f, 1.0f);
    }
    else
    {
        DrawSilhouette(parent);
        DrawFrame(0, parent, 0.0f, mSilhouetteAlpha);
        DrawParts(parent);
    }
    DrawParticles(parent);
    DrawProgressBar(parent);
}

// --- progress bar -------------------------------------------------------------------------------

void GameplayInventory::CreateProgressBar(const TLuaTable&, const TLuaTable& shared)
{
    const float barY = ReadFloat(shared, "bary");
    const struct
    {
        const char* key;
        std::shared_ptr<TSprite>& sprite;
    } pieces[] = {{"fillleft", mFillLeft},       {"fillcenter", mFillCenter},
                  {"fillright", mFillRight},     {"frameleft", mFrameLeft},
                  {"framecenter", mFrameCenter}, {"frameright", mFrameRight}};
    for (const auto& piece : pieces)
    {
        const TString name = shared.GetString(piece.key);
        // A piece that cannot load keeps no texture: no width, nothing drawn.
        piece.sprite->SetTexture(name.Length() != 0 ? TTexture::Get(name, 0) : nullptr);
        TDrawSpec& spec = piece.sprite->GetSpec();
        spec.mFlags |= kDrawOrigin;
        spec.mOrigin = TVec2(0.0f, 0.0f);
    }
    const float fillY = barY + ReadFloat(shared, "barfilly");
    const float half = mBarWidth * 0.5f;
    PlaceAt(*mFrameLeft, -half - TextureWidth(*mFrameLeft), barY);
    PlaceAt(*mFrameCenter, -half, barY);
    PlaceAt(*mFrameRight, half, barY);
    PlaceAt(*mFillLeft, -half - TextureWidth(*mFillLeft), fillY);
    PlaceAt(*mFillCenter, -half, fillY);
    PlaceAt(*mFillRight, half, fillY);
    mBarTransform.SetAlpha(ReadFloat(shared, "progressbaralpha", 1.0));
    UpdateProgress();
}

void GameplayInventory::UpdateProgress()
{
    // Without parts there is nothing to show progress of: an empty bar that stays.
    const float ratio =
        mPartCount != 0 ? static_cast<float>(mPartsFound) / static_cast<float>(mPartCount) : 0.0f;
    Run(&mBarTransform, Move(mFillTime, TVec2(mBarWidth * ratio, 0.0f)), nullptr);
    if (ratio == 1.0f)
        Run(&mBarTransform, Alpha(mFillTime, 0.0f), nullptr);
}

float GameplayInventory::GetBarFill() const
{
    return mBarSpec.mMatrix.m[2][0];
}

void GameplayInventory::DrawProgressBar(const TDrawSpec& parent)
{
    if ((mFlags & (kHeld | kComplete | kInScene)) != 0 || mBarSpec.mAlpha == 0.0f)
        return;
    const float fill = GetBarFill();
    TDrawSpec alpha;
    alpha.mAlpha = mBarSpec.mAlpha;
    const TDrawSpec& image = mImageSprite->GetSpec();
    const TDrawSpec bar = image.Combine(alpha.Combine(parent));
    TRect left;
    TRect right;
    mFrameLeft->GetBounds(left, image, 0);
    mFrameRight->GetBounds(right, image, 0);
    mBarRect = TRect(left.left, left.top, right.right, right.bottom);
    mFrameLeft->Draw(bar, 0);
    if (fill > 0.0f)
        mFillLeft->Draw(bar, 0);
    for (int32_t c = 0; static_cast<float>(c) < mBarWidth; ++c)
    {
        const TDrawSpec column = TDrawSpec(TVec2(static_cast<float>(c), 0.0f)).Combine(bar);
        mFrameCenter->Draw(column, 0);
        if (static_cast<float>(c) < fill)
            mFillCenter->Draw(column, 0);
    }
    mFrameRight->Draw(bar, 0);
    if (fill == mBarWidth)
        mFillRight->Draw(bar, 0);
}

bool GameplayInventory::HitTestProgressBar(const TIntPoint& point)
{
    return point.x >= mBarRect.left && point.x < mBarRect.right && point.y >= mBarRect.top &&
           point.y < mBarRect.bottom;
}
