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
    if (mHeldCallback == nullptr)
        return;
    // Cleared before the call: the callback may start another change on this entity.
    Callback* callback = mHeldCallback;
    mHeldCallback = nullptr;
    callback->Call(nullptr, 0);
}

void GameplayEntity::SayMissingPicture(const TString& picture)
{
    if (mMissingPictureSaid)
        return;
    mMissingPictureSaid = true;
    ReportMissingPicture(mName, picture, __FILE__, __LINE__);
}

void GameplayEntity::HoldCallback(Callback* callback)
{
    if (callback == nullptr || callback == mHeldCallback)
        return;
    Callback* replaced = mHeldCallback;
    mHeldCallback = callback;
    if (replaced != nullptr)
        replaced->Call(nullptr, 0);
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

void GameplayEntity::Activate(bool, Callback* callback)
{
    mFlags |= kActive;
    HoldCallback(callback);
}

void GameplayEntity::Deactivate(bool, Callback* callback)
{
    mFlags &= static_cast<uint8_t>(~kActive);
    HoldCallback(callback);
}

void GameplayEntity::Show(bool, Callback* callback)
{
    mFlags |= kShown;
    HoldCallback(callback);
}

void GameplayEntity::Hide(bool, Callback* callback)
{
    mFlags &= static_cast<uint8_t>(~kShown);
    HoldCallback(callback);
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
