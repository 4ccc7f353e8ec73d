// The puzzle scenes a location names in its "minigames" table: each row's script runs in a script
// context of its own, then the puzzle's class (installed at start-up by the game's main) is built
// from the scene's arguments and reads what the script left in that context.
#include "game/runner/mkw_gameplay.h"

#include "framework/adventure/scene/gameplay_scene.h"
#include "framework/core/frame_services.h"
#include "platform/log.h"
#include "script/script.h"

#include <cstring>
#include <map>

namespace
{

const char kScenesSource[] = "mkwgameplay";

struct SceneRow
{
    // The name the location's "minigames" table gives, compared byte for byte.
    const char* asked;
    // The class's own name, under which its creator is registered.
    const char* className;
    const char* script;
    const char* failure;
};

constexpr SceneRow kSceneRows[] = {
    {"electroniclockscene", "ElectronicLockScene", "assets/scripts/minigames/electroniclock.lua",
     "ERROR: Failed running electroniclock in MKWGameplay!"},
    {"scrollpuzzlescene", "ScrollPuzzleScene", "assets/scripts/minigames/scrollpuzzle.lua",
     "ERROR: Failed running scrollpuzzle in MKWGameplay!"},
    {"ritualpuzzlescene", "RitualPuzzleScene", "assets/scripts/minigames/ritualpuzzle.lua",
     "ERROR: Failed running ritualpuzzle in MKWGameplay!"},
    {"heavensscene", "HeavensScene", "assets/scripts/minigames/searchingtheheavens.lua",
     "ERROR: Failed running searchingtheheavens in MKWGameplay!"},
    {"threelocksscene", "ThreeLocksMinigame", "assets/scripts/minigames/threelocks.lua",
     "ERROR: Failed running threelocks.lua in MKWGameplay!"},
};

// By the row's class name; a process-wide table, filled before any location opens.
std::map<TString, MKWGameplay::MinigameSceneCreator>& Creators()
{
    static std::map<TString, MKWGameplay::MinigameSceneCreator> creators;
    return creators;
}

// Byte for byte: the text comparison of TString may follow the locale's collation.
bool SameBytes(const TString& text, const char* name)
{
    const size_t length = std::strlen(name);
    return static_cast<size_t>(text.Length()) == length &&
           std::memcmp(text.c_str(), name, length) == 0;
}

const SceneRow* FindRow(const TString& asked)
{
    for (const SceneRow& row : kSceneRows)
        if (SameBytes(asked, row.asked))
            return &row;
    return nullptr;
}

} // namespace

bool MKWGameplay::RegisterMinigameScene(const TString& className, MinigameSceneCreator creator)
{
    for (const SceneRow& row : kSceneRows)
    {
        if (!SameBytes(className, row.className))
            continue;
        if (creator != nullptr)
            Creators()[className] = creator;
        else
            Creators().erase(className);
        return true;
    }
    Log("MKWGameplay: '%s' is not one of the puzzle scene classes; not registered",
        className.c_str());
    return false;
}

std::shared_ptr<GameplayScene>
MKWGameplay::CreateScene(const TString& name, GameplayFactory& factory, const TLuaTable& scene,
                         const TLuaTable& entityInfo, const TLuaTable* playlist,
                         const TLuaTable& sceneInfo, const TString& minigame)
{
    const SceneRow* row = FindRow(minigame);
    if (row == nullptr && minigame.Length() > 0)
        // Its puzzle's parts (the locks, the dials) would stand there dead.
        ReportError(TString::Format("The game has no puzzle scene '%s', which scene '%s' names in "
                                    "\"minigames\"; it is a plain scene",
                                    minigame.c_str(), name.c_str())
                        .c_str(),
                    kScenesSource, __LINE__, false);
    if (row == nullptr)
        return Gameplay::CreateScene(name, factory, scene, entityInfo, playlist, sceneInfo,
                                     minigame);
    auto found = Creators().find(TString(row->className));
    if (found == Creators().end())
    {
        // The puzzle is not built yet: the location still plays, over an ordinary scene.
        Log("MKWGameplay: no %s installed; scene '%s' is an ordinary scene", row->className,
            name.c_str());
        return Gameplay::CreateScene(name, factory, scene, entityInfo, playlist, sceneInfo,
                                     minigame);
    }
    // A state of its own: the puzzle's tables never meet the window script's globals.
    TScript script;
    script.Init();
    if (!script.RunScript(TString(row->script)))
        ReportError(row->failure, kScenesSource, __LINE__, true);
    // Built even after a failure: the quit is posted and the puzzle copes with missing tables.
    return found->second(factory, entityInfo, name, scene, playlist, sceneInfo, script);
}
