// Loading a location: the window's style keys and the global "gameplayinstructions" table, every
// object built through the four creation operations so that the game may substitute its own.
#include "framework/adventure/runner/gameplay.h"

#include "framework/adventure/entities/gameplay_sound.h"
#include "framework/adventure/hud/gameplay_hud.h"
#include "framework/adventure/inventory/gameplay_inventory.h"
#include "framework/adventure/player_data.h"
#include "framework/adventure/entities/gameplay_area.h"
#include "framework/adventure/scene/gameplay_animation.h"
#include "framework/adventure/scene/gameplay_event.h"
#include "framework/adventure/scene/gameplay_factory.h"
#include "framework/adventure/scene/gameplay_scene.h"
#include "framework/adventure/tooltips/gameplay_tool_tip.h"
#include "framework/adventure/tutorials/gameplay_tutorial.h"
#include "framework/conversation/conversation_controller.h"
#include "framework/core/frame_services.h"
#include "framework/sound/audio_manager.h"
#include "framework/sound/playlist.h"
#include "framework/sound/sound_effect.h"
#include "framework/widgets/model_portal.h"
#include "framework/widgets/cursor_overlay.h"
#include "framework/widgets/tool_tip.h"
#include "platform/log.h"
#include "script/lauxlib.h"
#include "script/lua_object_wrapper.h"
#include "script/window_script_seam.h"
#include "ui/window_style.h"

#include <cstdio>
#include <memory>

namespace
{

const char kSource[] = "gameplay";

void Fatal(const char* message, int line)
{
    ReportError(message, kSource, line, true);
}

bool IsTable(const TLuaObjectWrapper& value)
{
    lua_State* L = value.GetState();
    value.Push();
    const bool table = lua_istable(L, -1);
    lua_pop(L, 1);
    return table;
}

// Calls `visit` with each value of the list that is a table, in the table's iteration order.
template <class Visit> void ForEachTable(const TLuaTable& list, Visit visit)
{
    TLuaObjectWrapper* key = nullptr;
    while (TLuaTable* value = list.Next(&key))
    {
        std::unique_ptr<TLuaTable> owned(value);
        if (IsTable(*owned))
            visit(*owned);
    }
}

std::unique_ptr<TLuaTable> MakeEmptyTable(lua_State* L)
{
    lua_newtable(L);
    return std::make_unique<TLuaTable>(L);
}

std::unique_ptr<TLuaTable> Global(const char* name)
{
    lua_State* L = GetWindowScriptState();
    if (L == nullptr)
        return nullptr;
    lua_getglobal(L, name);
    if (!lua_istable(L, -1))
    {
        lua_pop(L, 1);
        return nullptr;
    }
    return std::make_unique<TLuaTable>(L);
}

} // namespace

void Gameplay::PostInit(TWindowStyle& style)
{
    // The objects built below may report fatal errors, whose quit request runs script code: the
    // toolkit's style reads through a table of its own, which that code cannot free.
    GameWindow::PostInit(style);

    TWindow* hud = FindChild("hud", 0xFFFFFFFFu);
    if (hud == nullptr || !hud->IsKindOf(GameplayHud::GetClassId()))
        return Fatal("Cannot find GameplayHud in Gameplay!", __LINE__);
    mHud = static_cast<GameplayHud*>(hud);

    mLocationNumber = style.GetInt("locationnumber", 0);

    std::unique_ptr<TLuaTable> instructions = Global("gameplayinstructions");
    if (instructions == nullptr)
        return Fatal("Cannot find gameplayinstructions global table!", __LINE__);
    if (!LoadLocation(style, *instructions))
        return;
    if (!LoadScenes(style, *instructions))
        return;

    ReportLackingNames(instructions->GetString("initial_event"));
    mNextEvent = FindEvent(instructions->GetString("initial_event"));
    const TString activeScene = instructions->GetString("active_scene");
    mActiveScene = FindScene(activeScene);
    if (mActiveScene == nullptr && !mScenes.empty())
    {
        // Without a first scene the location would show nothing at all.
        if (activeScene.Length() == 0)
            Log("Gameplay: no 'active_scene'; the first scene is shown");
        else
            Log("Gameplay: no scene named '%s' to start in; the first scene is shown",
                activeScene.c_str());
        mActiveScene = mScenes.front().get();
    }
    mGameplayState = kFirstFrame;
    if (PlayerData* player = PlayerData::Instance())
        player->SetGameState(PlayerData::kInLocation);
}

bool Gameplay::LoadLocation(TWindowStyle& style, const TLuaTable& instructions)
{
    std::unique_ptr<TLuaTable> characters = style.GetTableOnly("characterinfo");
    if (characters == nullptr)
    {
        Fatal("Cannot find 'characterinfo' table for Gameplay!", __LINE__);
        return false;
    }

    mToolTipHintValidTarget = style.GetString("tooltiphintvalidtarget", TString());
    mToolTipHintNoValidTarget = style.GetString("tooltiphintnovalidtarget", TString());
    mToolTipHintSelect = style.GetString("tooltiphintselect", TString());
    mToolTipProgressBar = style.GetString("tooltipprogressbar", TString());
    mCursorDefault = style.GetString("cursordefault", TString());
    mCursorPickup = style.GetString("cursorpickup", TString());
    mCursorRollover = style.GetString("cursorrollover", TString());
    mCursorInfo = style.GetString("cursorinfo", TString());
    mCursorHint = style.GetString("cursorhint", TString());
    mCursorLoading = style.GetString("cursorloading", TString());
    mHintToolTipX = style.GetInt("hinttooltippositionx", 0);
    mHintToolTipY = style.GetInt("hinttooltippositiony", 0);
    // A value that is no colour table reads as the default, not as a transparent black.
    mToolTipColor = style.GetTableOnly("tooltipcolor") != nullptr
                        ? style.GetColor("tooltipcolor", 0, 0, 0, 1)
                        : TVec4(0, 0, 0, 1);
    mSceneTransitionTime = style.GetInt("timescenetransition", 0);
    mPlaylistDialogFadeTime = style.GetInt("timeplaylistduringdialogfade", 0);
    mPlaylistDialogVolume =
        static_cast<float>(style.GetNumber("volumeplaylistduringdialogfade", 0));
    mLoadingCursorDelay = style.GetInt("loadingcursortimetoshow", 500);

    if (std::unique_ptr<TLuaTable> table = style.GetTableOnly("tooltiphint"))
        mHintToolTip = std::make_shared<ToolTip>(*table);
    if (std::unique_ptr<TLuaTable> table = style.GetTableOnly("tooltipbasic"))
        mBasicToolTip = std::make_shared<ToolTip>(*table);
    if (std::unique_ptr<TLuaTable> table = style.GetTableOnly("playlistinfo"))
        mPlaylists = std::make_shared<PlaylistController>(*table);
    if (std::unique_ptr<TLuaTable> table = style.GetTableOnly("tooltipinventory"))
        mInventoryToolTip = std::make_shared<GameplayToolTip>(*table);
    if (std::unique_ptr<TLuaTable> table = style.GetTableOnly("tutorials"))
        mTutorials = std::make_shared<GameplayTutorialController>(*table);

    std::unique_ptr<TLuaTable> conversations(instructions.GetTable("conversations"));
    if (conversations == nullptr)
    {
        Fatal("Cannot find 'conversations' in location script!", __LINE__);
        return false;
    }
    mConversations = std::make_shared<ConversationController>(*conversations, *characters);

    if (std::unique_ptr<TLuaTable> cursors = style.GetTableOnly("cursors"))
        if (mCursorOverlay != nullptr)
            ForEachTable(*cursors,
                         [&](TLuaTable& cursor) { mCursorOverlay->AddOverlayCursor(&cursor); });

    if (std::unique_ptr<TLuaTable> crazy = style.GetTableOnly("crazyclick"))
    {
        mCrazyClickCursor = std::make_shared<CursorOverlay>(*crazy);
        mCrazyClickTransform = std::make_shared<TM_Transform2D>(&mCrazyClickCursor->GetSpec());
        mCrazyClickPathDuration = style.GetInt("crazyclickpathduration", 0);
        mCrazyClickCountToActivate = style.GetInt("crazyclickcounttoactivate", 0);
        mCrazyClickTimeToRemoveClick = style.GetInt("crazyclicktimetoremoveclick", 0);
        mCrazyClickPath = style.GetString("crazyclickpath", TString());
    }

    if (std::unique_ptr<TLuaTable> animations{instructions.GetTable("animations")})
        ForEachTable(*animations,
                     [&](TLuaTable& animation)
                     {
                         // The id is one byte wide: a location keeps at most 256 animations.
                         if (mAnimations.size() > UINT8_MAX)
                         {
                             Log("Gameplay: animation '%s' past the 256th is not built",
                                 animation.GetString("name").c_str());
                             return;
                         }
                         mAnimations.push_back(std::make_shared<GameplayAnimation>(
                             animation, static_cast<uint8_t>(mAnimations.size())));
                     });

    if (std::unique_ptr<TLuaTable> audio = style.GetTableOnly("audio"))
        LoadAudio(*audio);
    LoadSoundEffects(style, instructions);

    if (std::unique_ptr<TLuaTable> events{instructions.GetTable("events")})
        ForEachTable(*events,
                     [&](TLuaTable& event)
                     {
                         if (std::shared_ptr<GameplayEvent> made = CreateEvent(event))
                             mEvents.push_back(std::move(made));
                     });
    if (std::unique_ptr<TLuaTable> groups{instructions.GetTable("groupevents")})
    {
        TLuaObjectWrapper* key = nullptr;
        while (TLuaTable* value = groups->Next(&key))
        {
            mGroupEvents[key->ToString()] = value->ToString();
            delete value;
        }
    }

    if (std::unique_ptr<TLuaTable> objects{instructions.GetTable("inventory")})
    {
        std::unique_ptr<TLuaTable> info = style.GetTableOnly("inventoryinfo");
        if (info == nullptr)
        {
            Fatal("Cannot find 'inventoryinfo' in Gameplay!", __LINE__);
            return false;
        }
        ForEachTable(*objects,
                     [&](TLuaTable& object)
                     {
                         std::shared_ptr<GameplayInventory> made = CreateInventory(object, *info);
                         if (made == nullptr)
                             return;
                         mInventory.push_back(made);
                         made->Init(object, *info);
                     });
    }
    return true;
}

void Gameplay::LoadAudio(const TLuaTable& audio)
{
    const std::pair<const char*, std::shared_ptr<SoundEffect>*> effects[] = {
        {"itemclickhit", &mSoundItemClickHit},
        {"hintshowitem", &mSoundHintShowItem},
        {"soundinventoryequip", &mSoundInventoryEquip},
        {"soundinventoryhint", &mSoundInventoryHint}};
    for (const auto& [key, field] : effects)
        if (std::unique_ptr<TLuaTable> table{audio.GetTable(key)})
            *field = std::make_shared<SoundEffect>(*table);

    const std::pair<const char*, int32_t*> specifiers[] = {
        {"clickmiss", &mSoundClickMiss},           {"inventoryappear", &mSoundInventoryAppear},
        {"inventoryhover", &mSoundInventoryHover}, {"inventoryunequip", &mSoundInventoryUnequip},
        {"areaclick", &mSoundAreaClick},           {"areahilight", &mSoundAreaHilight},
        {"areacomplete", &mSoundAreaComplete},     {"crazyclick", &mSoundCrazyClick}};
    AudioManager* manager = AudioManager::Instance();
    for (const auto& [key, field] : specifiers)
    {
        const TString specifier = audio.GetString(key);
        if (specifier.Length() > 0 && manager != nullptr)
            *field = manager->Play(specifier, false);
    }
}

void Gameplay::LoadSoundEffects(TWindowStyle& style, const TLuaTable& instructions)
{
    std::unique_ptr<TLuaTable> sounds{instructions.GetTable("soundeffects")};
    if (sounds == nullptr)
        return;
    const int32_t group = style.GetInt("soundeffectsgroupid", 0);
    ForEachTable(*sounds,
                 [&](TLuaTable& sound)
                 {
                     // Written into the table itself, so the sound is built in that group.
                     if (group != 0)
                         sound.SetNumber("groupid", group);
                     mSounds.push_back(std::make_shared<GameplaySound>(sound));
                 });
}

bool Gameplay::LoadScenes(TWindowStyle& style, const TLuaTable& instructions)
{
    std::unique_ptr<TLuaTable> sceneInfo = style.GetTableOnly("sceneinfo");
    if (sceneInfo == nullptr)
    {
        Fatal("Cannot find 'sceneinfo' table for Gameplay!", __LINE__);
        return false;
    }
    std::unique_ptr<TLuaTable> playlist = style.GetTableOnly("playlist");
    if (playlist == nullptr)
    {
        Fatal("Cannot find 'playlist' table for Gameplay!", __LINE__);
        return false;
    }
    char entry[32];
    std::snprintf(entry, sizeof entry, "location%02d", mLocationNumber);
    std::unique_ptr<TLuaTable> locationPlaylist{playlist->GetTable(entry)};
    if (locationPlaylist == nullptr)
    {
        Fatal("Cannot find playlist for current location!", __LINE__);
        return false;
    }
    std::unique_ptr<TLuaTable> entityInfo = style.GetTableOnly("entityinfo");
    if (entityInfo == nullptr)
    {
        Fatal("Cannot find 'entityinfo' table for Gameplay!", __LINE__);
        return false;
    }
    std::shared_ptr<GameplayFactory> factory = CreateFactory();
    if (factory == nullptr)
        factory = std::make_shared<GameplayFactory>();
    std::unique_ptr<TLuaTable> minigames{instructions.GetTable("minigames")};
    std::unique_ptr<TLuaTable> scenes{instructions.GetTable("scenes")};
    if (scenes == nullptr)
    {
        Fatal("Cannot find 'scenes' for current location!", __LINE__);
        return false;
    }

    bool warnedPlaylist = false;
    TLuaObjectWrapper* key = nullptr;
    while (TLuaTable* value = scenes->Next(&key))
    {
        const TString name = value->ToString();
        delete value;
        std::unique_ptr<TLuaTable> table{instructions.GetTable(name.c_str())};
        if (table == nullptr)
        {
            Log("Gameplay: scene '%s' has no table in the location; it is empty", name.c_str());
            table = MakeEmptyTable(instructions.GetState());
        }
        const TString minigame =
            minigames != nullptr ? minigames->GetString(name.c_str()) : TString();
        std::shared_ptr<GameplayScene> scene = CreateScene(
            name, *factory, *table, *entityInfo, locationPlaylist.get(), *sceneInfo, minigame);
        if (scene == nullptr)
            continue;
        mScenes.push_back(scene);
        if (mPlaylists != nullptr)
            scene->SetPlaylistIndex(mPlaylists->AddPlaylist(scene->GetPlaylist()));
        else if (!warnedPlaylist)
        {
            warnedPlaylist = true;
            Log("Gameplay: no 'playlistinfo'; the scenes' music is not registered");
        }
    }

    std::unique_ptr<TLuaTable> cursorInfo = style.GetTableOnly("animatedcursorinfo");
    if (cursorInfo == nullptr)
    {
        Fatal("Cannot find 'animatedcursorinfo' in Gameplay!", __LINE__);
        return false;
    }
    for (const std::shared_ptr<GameplayScene>& scene : mScenes)
        for (GameplayArea* area : scene->GetAreas())
            if (area->GetPortalCursor().Length() > 0)
                mModelPortals->AddModelPortal(area->GetPortalCursor(), *cursorInfo);
    return true;
}

std::shared_ptr<GameplayInventory> Gameplay::CreateInventory(const TLuaTable& table,
                                                             const TLuaTable& inventoryInfo)
{
    return std::make_shared<GameplayInventory>(table, inventoryInfo);
}

std::shared_ptr<GameplayScene> Gameplay::CreateScene(const TString& name, GameplayFactory& factory,
                                                     const TLuaTable& scene,
                                                     const TLuaTable& entityInfo,
                                                     const TLuaTable* playlist,
                                                     const TLuaTable& sceneInfo, const TString&)
{
    return std::make_shared<GameplayScene>(factory, entityInfo, name, scene, playlist, sceneInfo);
}

std::shared_ptr<GameplayEvent> Gameplay::CreateEvent(const TLuaTable& table)
{
    return std::make_shared<GameplayEvent>(table);
}

std::shared_ptr<GameplayFactory> Gameplay::CreateFactory()
{
    return std::make_shared<GameplayFactory>();
}
