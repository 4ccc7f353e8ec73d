// Shared by the scene tests: an entity that records what is asked of it (its saved length, its
// texture answers and picture names chosen by its table), an area that records its reveals, an
// inventory object that records its frames, and a factory that builds the kinds from a scene's
// "entities" list.
#pragma once

#include "framework/adventure/entities/gameplay_area.h"
#include "framework/adventure/entities/gameplay_entity.h"
#include "framework/adventure/entities/gameplay_item.h"
#include "framework/adventure/entities/gameplay_layer.h"
#include "framework/adventure/entities/gameplay_particle.h"
#include "framework/adventure/entities/gameplay_text.h"
#include "framework/adventure/inventory/gameplay_inventory.h"
#include "framework/adventure/scene/gameplay_event.h"
#include "framework/adventure/scene/gameplay_factory.h"
#include "script/lauxlib.h"
#include "script/lua_object_wrapper.h"
#include "sys/clock.h"

#include <memory>
#include <string>
#include <vector>

namespace scenetest
{

using Log = std::vector<std::string>;

// "type" (default 99), "size" (saved bytes, default 1), "var" (the first saved byte is the
// block's length), "finish" and "restore" (strings of answers, "ft"), "textures" and
// "animations" (name lists). Each FinishTextures costs 5 ms of the manual clock.
class ProbeEntity : public GameplayEntity
{
public:
    ProbeEntity(const TLuaTable& table, Log& log)
        : GameplayEntity(table, static_cast<uint32_t>(table.GetNumber("type", 99))), mLog(log),
          mSize(static_cast<uint32_t>(table.GetNumber("size", 1))),
          mVariable(table.GetBool("var", false)), mFinish(table.GetString("finish").c_str()),
          mRestore(table.GetString("restore").c_str()),
          mTextures(ReadStringList(table, "textures")),
          mAnimations(ReadStringList(table, "animations"))
    {
    }
    void Update(uint32_t ms) override
    {
        Note("update");
        GameplayEntity::Update(ms);
    }
    void Draw(const TDrawSpec&) override { Note("draw"); }
    void DrawEffects(const TDrawSpec&) override { Note("effects"); }
    void Pause() override { Note("pause"); }
    void Resume() override { Note("resume"); }
    TRect GetRect(const TDrawSpec&) override { return TRect(0, 0, 0, 0); }
    void SaveState(std::vector<uint8_t>& out) override
    {
        out.push_back(mVariable ? static_cast<uint8_t>(mSize) : mFlags);
        for (uint32_t i = 1; i < mSize; ++i)
            out.push_back(static_cast<uint8_t>(0xA0 + i));
    }
    bool LoadState(const uint8_t* data, size_t size) override
    {
        const size_t length = MeasureState(data, size);
        if (length == 0)
            return false;
        if (mVariable)
            mSize = data[0];
        else
            mFlags = data[0];
        mLoaded.assign(data, data + length);
        return true;
    }
    uint32_t GetStateSize() const override { return mSize; }
    size_t MeasureState(const uint8_t* data, size_t size) const override
    {
        if (!mVariable)
            return GameplayEntity::MeasureState(data, size);
        return data != nullptr && size >= 1 && data[0] >= 1 && data[0] <= size ? data[0] : 0;
    }
    std::vector<TString> GetTextureNames() const override { return mTextures; }
    std::vector<TString> GetAnimationNames() const override { return mAnimations; }
    void LoadTextures() override { Note("load"); }
    bool RestoreTextures() override
    {
        Note("restore");
        return Answer(mRestore, mRestoreAt);
    }
    bool FinishTextures() override
    {
        Note("finish");
        sys::AdvanceManualClock(5);
        return Answer(mFinish, mFinishAt);
    }
    void CreateTextures() override {}
    void ReleaseTextures() override { Note("release"); }

    std::vector<uint8_t> mLoaded;

private:
    void Note(const char* what) { mLog.push_back(std::string(what) + " " + mName.c_str()); }
    // The next answer of the string, the last one repeated; true when there are none.
    static bool Answer(const std::string& answers, size_t& at)
    {
        if (answers.empty())
            return true;
        const char answer = answers[std::min(at, answers.size() - 1)];
        ++at;
        return answer == 't';
    }

    Log& mLog;
    uint32_t mSize;
    bool mVariable;
    std::string mFinish;
    std::string mRestore;
    size_t mFinishAt = 0;
    size_t mRestoreAt = 0;
    std::vector<TString> mTextures;
    std::vector<TString> mAnimations;
};

class RecordingArea : public GameplayArea
{
public:
    using GameplayArea::GameplayArea;
    void Flash(int32_t delayMs) override { mFlashes.push_back(delayMs); }
    std::vector<int32_t> mFlashes;
};

class RecordingInventory : public GameplayInventory
{
public:
    RecordingInventory(const TLuaTable& object, const TLuaTable& shared, Log& log)
        : GameplayInventory(object, shared), mLog(log)
    {
    }
    void Update(uint32_t elapsed) override
    {
        mLog.push_back(std::string("update inventory ") + mName.c_str());
        GameplayInventory::Update(elapsed);
    }
    void Draw(const TDrawSpec& parent) override
    {
        mLog.push_back(std::string("draw inventory ") + mName.c_str());
        GameplayInventory::Draw(parent);
    }

private:
    Log& mLog;
};

// Builds each entry of the scene's "entities" by its "kind", with the matching table of
// "entityinfo" ("layerinfo", "textinfo", "iteminfo", "areainfo").
class TestFactory : public GameplayFactory
{
public:
    explicit TestFactory(Log& log) : mLog(log) {}
    std::vector<std::shared_ptr<GameplayEntity>> CreateEntities(const TLuaTable& scene,
                                                                const TLuaTable& info) override
    {
        std::vector<std::shared_ptr<GameplayEntity>> made;
        std::unique_ptr<TLuaTable> list(scene.GetTable("entities"));
        if (list == nullptr)
            return made;
        auto sub = [&info](const char* key)
        {
            std::unique_ptr<TLuaTable> table(info.GetTable(key));
            return table;
        };
        std::unique_ptr<TLuaTable> layerInfo = sub("layerinfo"), textInfo = sub("textinfo"),
                                   itemInfo = sub("iteminfo"), areaInfo = sub("areainfo");
        for (int i = 1;; ++i)
        {
            std::unique_ptr<TLuaTable> entry(list->GetTableAt(i));
            if (entry == nullptr)
                break;
            const std::string kind = entry->GetString("kind").c_str();
            if (kind == "layer")
                made.push_back(std::make_shared<GameplayLayer>(*entry, *layerInfo));
            else if (kind == "text")
                made.push_back(std::make_shared<GameplayText>(*entry, *textInfo));
            else if (kind == "item")
                made.push_back(std::make_shared<GameplayItem>(*entry, *itemInfo));
            else if (kind == "particle")
                made.push_back(std::make_shared<GameplayParticle>(*entry));
            else if (kind == "area")
                made.push_back(std::make_shared<RecordingArea>(*entry, *areaInfo));
            else
                made.push_back(std::make_shared<ProbeEntity>(*entry, mLog));
        }
        return made;
    }

private:
    Log& mLog;
};

} // namespace scenetest
