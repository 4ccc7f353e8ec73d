// Scenes: construction from the factory and the tables, the frame operations, lookups, placed
// objects, the reveal of areas, the sliced texture pass and the scene's saved bytes.
#include "framework/adventure/scene/gameplay_scene.h"

#include "framework/adventure/entities/gameplay_area.h"
#include "framework/adventure/entities/gameplay_item.h"
#include "framework/adventure/entities/gameplay_layer.h"
#include "framework/adventure/entities/gameplay_particle.h"
#include "framework/adventure/entities/gameplay_sound.h"
#include "framework/adventure/inventory/gameplay_inventory.h"
#include "framework/adventure/scene/gameplay_event.h"
#include "framework/adventure/scene/gameplay_factory.h"
#include "framework/core/settings.h"
#include "platform/log.h"
#include "platform/shell/application.h"
#include "render/renderer/draw_spec.h"
#include "script/lua_object_wrapper.h"

#include <algorithm>

namespace
{
// The first entity of a kind list with that name.
template <class T> T* FindByName(const std::vector<T*>& list, const TString& name)
{
    for (T* entity : list)
        if (entity->GetName() == name)
            return entity;
    return nullptr;
}
} // namespace

GameplayScene::GameplayScene(GameplayFactory& factory, const TLuaTable& entityInfo,
                             const TString& name, const TLuaTable& scene, const TLuaTable* playlist,
                             const TLuaTable& sceneInfo)
    : mName(name)
{
    mEntities = factory.CreateEntities(scene, entityInfo);
    std::erase(mEntities, nullptr);
    SortEntitiesByDepth(mEntities);
    mDialog = scene.GetString("dialog");
    mAreaRevealStep = ScriptNumberToInt(sceneInfo.GetNumber("showareadelay", 0));
    mAreaRevealStart = ScriptNumberToInt(sceneInfo.GetNumber("showareapredelay", 0));
    if (playlist != nullptr)
        mPlaylist = ReadStringList(*playlist, name.c_str());
    ReadSounds(scene, sceneInfo);
    SortIntoKinds();
}

GameplayScene::~GameplayScene() = default;

void GameplayScene::ReadSounds(const TLuaTable& scene, const TLuaTable& sceneInfo)
{
    std::unique_ptr<TLuaTable> sounds(scene.GetTable("sounds"));
    if (sounds == nullptr)
        return;
    const int32_t group = ScriptNumberToInt(sceneInfo.GetNumber("groupid", 0));
    TLuaObjectWrapper* key = nullptr;
    while (TLuaTable* entry = sounds->Next(&key))
    {
        std::unique_ptr<TLuaTable> sound(entry);
        lua_State* L = sound->GetState();
        sound->Push();
        const bool isTable = lua_istable(L, -1);
        lua_pop(L, 1);
        if (!isTable)
        {
            Log("Scene '%s': sound entry '%s' is no table", mName.c_str(), key->ToString().c_str());
            continue;
        }
        if (group != 0)
            sound->SetNumber("groupid", group);
        mSounds.push_back(std::make_shared<GameplaySound>(*sound));
    }
}

void GameplayScene::SortIntoKinds()
{
    for (const auto& entity : mEntities)
    {
        const uint32_t type = entity->GetType();
        // By code, then by class: an entity whose code names a kind it is not stays out.
        if (IsItemType(type))
        {
            if (auto* item = dynamic_cast<GameplayItem*>(entity.get()))
                mItems.push_back(item);
        }
        else if (IsAreaType(type))
        {
            if (auto* area = dynamic_cast<GameplayArea*>(entity.get()))
                mAreas.push_back(area);
        }
        else if (IsLayerType(type))
        {
            if (auto* layer = dynamic_cast<GameplayLayer*>(entity.get()))
                mLayers.push_back(layer);
        }
        else if (IsParticleType(type))
        {
            if (auto* particle = dynamic_cast<GameplayParticle*>(entity.get()))
                mParticles.push_back(particle);
        }
    }
    for (GameplayLayer* layer : mLayers)
        if (layer->GetParentName().Length() != 0)
            layer->SetParent(FindLayer(layer->GetParentName()));
}

void GameplayScene::Update(uint32_t elapsedMs, bool active, bool)
{
    if (active)
        for (const auto& sound : mSounds)
            sound->Update(elapsedMs);
    // A copy: an object's update may place or take objects.
    const std::vector<GameplayInventory*> placed = mPlacedInventory;
    for (GameplayInventory* inventory : placed)
        inventory->Update(elapsedMs);
    for (const auto& entity : mEntities)
        entity->Update(elapsedMs);
}

void GameplayScene::Draw(const TDrawSpec& spec)
{
    for (const auto& entity : mEntities)
        entity->Draw(spec);
    for (GameplayInventory* inventory : mPlacedInventory)
        if ((inventory->GetFlags() & GameplayInventory::kHeld) == 0)
            inventory->Draw(spec);
}

void GameplayScene::DrawEffects(const TDrawSpec& spec)
{
    for (const auto& entity : mEntities)
        entity->DrawEffects(spec);
}

bool GameplayScene::OnMouseDown(TPoint)
{
    return false;
}

bool GameplayScene::OnMouseUp(TPoint)
{
    return false;
}

void GameplayScene::Pause(bool includeSounds)
{
    for (const auto& entity : mEntities)
        entity->Pause();
    if (includeSounds)
        PauseSounds();
}

void GameplayScene::Resume(bool includeSounds)
{
    for (const auto& entity : mEntities)
        entity->Resume();
    if (includeSounds)
        ResumeSounds();
}

void GameplayScene::OnEnter()
{
    ResumeSounds();
    mRevealPending = 1;
}

void GameplayScene::OnLeave()
{
    PauseSounds();
}

bool GameplayScene::FinishTexturesStep()
{
    if (mEntities.empty())
        return true;
    const uint32_t start = GetTimer();
    for (;;)
    {
        if (mRefreshCursor >= mEntities.size())
            mRefreshCursor = 0;
        if (mEntities[mRefreshCursor]->FinishTextures() && ++mRefreshCursor == mEntities.size())
        {
            mRefreshCursor = 0;
            return true;
        }
        // A clock that reads earlier than the start ends the slice too.
        const uint32_t now = GetTimer();
        if (now < start || now - start >= kSliceMs)
            return false;
    }
}

void GameplayScene::LoadTextures()
{
    for (const auto& entity : mEntities)
        entity->LoadTextures();
}

void GameplayScene::ReleaseTextures()
{
    for (const auto& entity : mEntities)
        entity->ReleaseTextures();
}

bool GameplayScene::RestoreTextures()
{
    for (const auto& entity : mEntities)
        if (!entity->RestoreTextures())
            return false;
    mRefreshCursor = 0;
    return true;
}

void GameplayScene::SaveState(std::vector<uint8_t>& out)
{
    out.push_back(mDialog.Length() != 0 ? 1 : 0);
    out.push_back(static_cast<uint8_t>(mPendingAnimations.size()));
    out.insert(out.end(), mPendingAnimations.begin(), mPendingAnimations.end());
    for (const auto& sound : mSounds)
        sound->SaveState(out);
    for (const auto& entity : mEntities)
        entity->SaveState(out);
}

uint32_t GameplayScene::GetStateSize() const
{
    uint32_t size = 2 + static_cast<uint32_t>(mPendingAnimations.size());
    if (!mSounds.empty())
        size += static_cast<uint32_t>(mSounds.size()) * mSounds.front()->GetStateSize();
    for (const auto& entity : mEntities)
        size += entity->GetStateSize();
    return size;
}

size_t GameplayScene::MeasureState(const uint8_t* data, size_t size) const
{
    if (data == nullptr || size < 2)
        return 0;
    size_t at = 2 + static_cast<size_t>(data[1]);
    if (at > size)
        return 0;
    for (const auto& sound : mSounds)
    {
        const size_t length = sound->MeasureState(data + at, size - at);
        if (length == 0)
            return 0;
        at += length;
    }
    for (const auto& entity : mEntities)
    {
        const size_t length = entity->MeasureState(data + at, size - at);
        if (length == 0)
            return 0;
        at += length;
    }
    return at;
}

bool GameplayScene::LoadState(const uint8_t* data, size_t size)
{
    // This scene's own measure: a subclass hands in only the base's part of its record.
    if (GameplayScene::MeasureState(data, size) == 0)
    {
        Log("Scene '%s': its saved record does not fit in %zu bytes; not restored", mName.c_str(),
            size);
        return false;
    }
    if ((data[0] & 1) == 0)
        mDialog = TString();
    const size_t count = data[1];
    for (size_t i = 0; i < count; ++i)
        AddPendingAnimation(data[2 + i]);
    size_t at = 2 + count;
    for (const auto& sound : mSounds)
    {
        const size_t length = sound->MeasureState(data + at, size - at);
        sound->LoadState(data + at, length);
        at += length;
    }
    for (const auto& entity : mEntities)
    {
        const size_t length = entity->MeasureState(data + at, size - at);
        entity->LoadState(data + at, length);
        at += length;
    }
    return true;
}

TString GameplayScene::GetCursorName() const
{
    return "default";
}

bool GameplayScene::IsItemType(uint32_t type) const
{
    return type == GameplayEntity::kTypeItem;
}

bool GameplayScene::IsAreaType(uint32_t type) const
{
    return type == GameplayEntity::kTypeArea;
}

bool GameplayScene::IsLayerType(uint32_t type) const
{
    return type == GameplayEntity::kTypeLayer || type == GameplayEntity::kTypeText;
}

bool GameplayScene::IsParticleType(uint32_t type) const
{
    return type == GameplayEntity::kTypeParticle;
}

GameplayItem* GameplayScene::FindItem(const TString& name) const
{
    return FindByName(mItems, name);
}

GameplayArea* GameplayScene::FindArea(const TString& name) const
{
    return FindByName(mAreas, name);
}

GameplayLayer* GameplayScene::FindLayer(const TString& name) const
{
    return FindByName(mLayers, name);
}

GameplayParticle* GameplayScene::FindParticle(const TString& name) const
{
    return FindByName(mParticles, name);
}

GameplaySound* GameplayScene::FindSound(const TString& name) const
{
    for (const auto& sound : mSounds)
        if (sound->GetName() == name)
            return sound.get();
    return nullptr;
}

GameplayArea* GameplayScene::FindAreaHolding(const GameplayInventory* inventory) const
{
    for (GameplayArea* area : mAreas)
        if (area->GetHeldInventory() == inventory)
            return area;
    return nullptr;
}

std::vector<GameplayInventory*> GameplayScene::GetInventoryAt(const TVec2& point) const
{
    std::vector<GameplayInventory*> found;
    for (GameplayInventory* inventory : mPlacedInventory)
    {
        if ((inventory->GetFlags() & GameplayInventory::kShown) == 0)
            continue;
        const TRect rect = inventory->GetRect();
        if (point.x >= static_cast<float>(rect.left) && point.x < static_cast<float>(rect.right) &&
            point.y >= static_cast<float>(rect.top) && point.y < static_cast<float>(rect.bottom))
            found.push_back(inventory);
    }
    return found;
}

void GameplayScene::AddInventory(GameplayInventory* inventory, bool animate, const TVec2& position,
                                 WaitHandle&& report)
{
    if (std::find(mPlacedInventory.begin(), mPlacedInventory.end(), inventory) ==
        mPlacedInventory.end())
        mPlacedInventory.push_back(inventory);
    inventory->PlaceInScene(animate, position, std::move(report));
}

void GameplayScene::RemoveInventory(GameplayInventory* inventory)
{
    auto it = std::find(mPlacedInventory.begin(), mPlacedInventory.end(), inventory);
    if (it == mPlacedInventory.end())
        return;
    if (GameplayArea* area = FindAreaHolding(inventory))
        area->LetGoInventory();
    mPlacedInventory.erase(it);
}

void GameplayScene::PutUnderTheOthers(GameplayInventory* inventory)
{
    auto it = std::find(mPlacedInventory.begin(), mPlacedInventory.end(), inventory);
    if (it != mPlacedInventory.end())
        std::rotate(mPlacedInventory.begin(), it, it + 1);
}

TString GameplayScene::TakeDialog()
{
    TString dialog = mDialog;
    mDialog = TString();
    return dialog;
}

void GameplayScene::RevealAreas()
{
    int64_t delay = mAreaRevealStart;
    for (GameplayArea* area : mAreas)
    {
        if ((area->GetFlags() & GameplayEntity::kActive) == 0 ||
            area->GetHeldInventory() != nullptr)
            continue;
        area->Flash(static_cast<int32_t>(std::clamp<int64_t>(delay, INT32_MIN, INT32_MAX)));
        delay += mAreaRevealStep;
    }
    mRevealPending = 0;
}

void GameplayScene::PauseSounds()
{
    for (const auto& sound : mSounds)
        sound->Pause();
}

void GameplayScene::ResumeSounds()
{
    for (const auto& sound : mSounds)
    {
        if ((sound->GetFlags() & GameplayEntity::kActive) != 0 && !sound->IsPlaying())
            sound->Activate(false, nullptr);
        else
            sound->Resume();
    }
}

bool GameplayScene::AddPendingAnimation(uint8_t animation)
{
    if (mPendingAnimations.size() >= kMaxPendingAnimations)
    {
        Log("Scene '%s': %zu animations are queued already; animation %u is not", mName.c_str(),
            mPendingAnimations.size(), static_cast<unsigned>(animation));
        return false;
    }
    mPendingAnimations.push_back(animation);
    return true;
}

std::vector<uint8_t> GameplayScene::TakePendingAnimations()
{
    std::vector<uint8_t> taken(mPendingAnimations.rbegin(), mPendingAnimations.rend());
    mPendingAnimations.clear();
    return taken;
}

void GameplayScene::AddUniqueNames(const std::vector<TString>& names)
{
    AppendMissingStrings(mExtraAnimationNames, names);
}
