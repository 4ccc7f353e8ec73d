// The entity base: its keys, the flag byte as saved state and the completion protocol.
#include "framework/adventure/entities/gameplay_entity.h"

#include "framework/core/frame_services.h"
#include "framework/core/settings.h"
#include "script/lua_object_wrapper.h"

GameplayEntity::GameplayEntity(const TLuaTable& table, uint32_t typeCode)
    : mOwnCallback(this, &GameplayEntity::OnOwnCallback), mTypeCode(typeCode)
{
    mDepth = ScriptNumberToInt(table.GetNumber("depth", 0));
    mName = table.GetString("name");
}

GameplayEntity::~GameplayEntity() = default;

void GameplayEntity::OnOwnCallback(void* object, TM_Transform*, uint32_t)
{
    static_cast<GameplayEntity*>(object)->Complete();
}

void GameplayEntity::Complete()
{
    mCompletionPending = 0;
    // Taken out before it is told: the report may start another change on this entity.
    WaitHandle report = std::move(mHeldReport);
    report.Tell(nullptr, 0);
}

void GameplayEntity::SayMissingPicture(const TString& picture)
{
    if (mMissingPictureSaid)
        return;
    mMissingPictureSaid = true;
    ReportMissingPicture(mName, picture, __FILE__, __LINE__);
}

void GameplayEntity::HoldReport(WaitHandle&& report)
{
    if (report.IsHeld())
        mHeldReport = std::move(report);
}

bool GameplayEntity::CanEndChange() const
{
    if (mCompletionPending != 0)
        return true;
    const TM_Transform* motion = GetChangeTransform();
    const TransformManager* manager = TransformManager::Instance();
    return motion != nullptr && manager != nullptr && manager->HasTransforms(motion);
}

void GameplayEntity::Update(uint32_t)
{
    if (mCompletionPending != 0)
        Complete();
}

void GameplayEntity::SaveState(std::vector<uint8_t>& out)
{
    out.push_back(mFlags);
}

bool GameplayEntity::LoadState(const uint8_t* data, size_t size)
{
    if (MeasureState(data, size) == 0)
        return false;
    mFlags = data[0];
    return true;
}

uint32_t GameplayEntity::GetStateSize() const
{
    return 1;
}

size_t GameplayEntity::MeasureState(const uint8_t* data, size_t size) const
{
    const size_t length = GetStateSize();
    return data != nullptr && length <= size ? length : 0;
}

void GameplayEntity::Activate(bool, WaitHandle&& report)
{
    mFlags |= kActive;
    HoldReport(std::move(report));
}

void GameplayEntity::Deactivate(bool, WaitHandle&& report)
{
    mFlags &= static_cast<uint8_t>(~kActive);
    HoldReport(std::move(report));
}

void GameplayEntity::Show(bool, WaitHandle&& report)
{
    mFlags |= kShown;
    HoldReport(std::move(report));
}

void GameplayEntity::Hide(bool, WaitHandle&& report)
{
    mFlags &= static_cast<uint8_t>(~kShown);
    HoldReport(std::move(report));
}

std::vector<TString> GameplayEntity::GetTextureNames() const
{
    return {};
}

std::vector<TString> GameplayEntity::GetAnimationNames() const
{
    return {};
}

void GameplayEntity::LoadTextures() {}

bool GameplayEntity::RestoreTextures()
{
    return true;
}

bool GameplayEntity::FinishTextures()
{
    return true;
}
