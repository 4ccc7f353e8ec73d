// What the puzzle scenes share: their base class (their record's own bytes before the base
// scene's, and the creator the game's main installs), the completion routine that hands the
// runner a named event, the rectangles their tables give, the touch test between them, the arming
// of a click sound that the puzzle's own update then starts, and the indexed draw of their
// textured meshes.
#pragma once

#include "framework/adventure/scene/gameplay_scene.h"
#include "platform/maths/geometry.h"
#include "platform/strings/tstring.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

class SoundEffect;
class TLuaTable;
class TScript;
class TVertexSet;

// A puzzle is a scene of the runner whose record holds its own bytes before the base scene's.
// The record's size and measure, and the refusal of one that does not fit, are made here; a
// puzzle writes and reads only its own bytes, the top bit of its last one left free.
class PuzzleScene : public GameplayScene
{
public:
    // The base scene from the first six; `recordName` names the record in the refusal's line.
    PuzzleScene(GameplayFactory& factory, const TLuaTable& entityInfo, const TString& name,
                const TLuaTable& scene, const TLuaTable* playlist, const TLuaTable& sceneInfo,
                size_t ownStateSize, const char* recordName);

    // Its own bytes, then the base's.
    void SaveState(std::vector<uint8_t>& out) override;
    // A record that does not fit changes nothing; else its own bytes, then the base's.
    bool LoadState(const uint8_t* data, size_t size) override;
    uint32_t GetStateSize() const override;
    // Its own bytes first: a record cut inside them must not send the base reading past the end.
    size_t MeasureState(const uint8_t* data, size_t size) const override;
    size_t GetLeadingStateSize() const override { return mOwnStateSize; }

protected:
    virtual void SaveOwnState(std::vector<uint8_t>& out) = 0;
    // `data` holds the own bytes whole.
    virtual void LoadOwnState(const uint8_t* data) = 0;
    // The solved puzzle's event, asked for once in the scene's life: asked again at every update,
    // it would be run before any click each frame, and when it leaves the puzzle shown, its next
    // event would never run and every click would be lost.
    void AskForCompletion(const TString& eventName);
    // Whether the puzzle ends by AskForCompletion, whose flag its record then keeps; a puzzle
    // that runs its event itself as it is solved uses its own bytes whole.
    virtual bool AsksForCompletion() const { return true; }

private:
    // Set in the last of the puzzle's own bytes, whose top bit no puzzle uses: its completion was
    // asked for, and runs once in the location's life, across closes.
    static constexpr uint8_t kCompletionAskedBit = 0x80;
    size_t mOwnStateSize;
    const char* mRecordName;
    bool mCompletionAsked = false;
};

// The same with the size and name of the record from the puzzle's `kOwnStateSize` and
// `kRecordName`, and the creator the game's main installs for the puzzle's row of the runner.
template <class Scene> class PuzzleSceneOf : public PuzzleScene
{
public:
    PuzzleSceneOf(GameplayFactory& factory, const TLuaTable& entityInfo, const TString& name,
                  const TLuaTable& scene, const TLuaTable* playlist, const TLuaTable& sceneInfo)
        : PuzzleScene(factory, entityInfo, name, scene, playlist, sceneInfo, Scene::kOwnStateSize,
                      Scene::kRecordName)
    {
    }

    static std::shared_ptr<GameplayScene> Create(GameplayFactory& factory,
                                                 const TLuaTable& entityInfo, const TString& name,
                                                 const TLuaTable& scene, const TLuaTable* playlist,
                                                 const TLuaTable& sceneInfo, TScript& script)
    {
        return std::make_shared<Scene>(factory, entityInfo, name, scene, playlist, sceneInfo,
                                       script);
    }
};

// The statement "GameplayActivateEvent( '<name>' );" with the name as a quoted script string: a
// quote, a backslash or a control character in it is escaped, so the name reaches the runner as
// it is and never ends the string or the statement early. Plain names are pasted unchanged.
TString GameplayActivateEventStatement(const TString& eventName);

// Runs that statement on the window manager's script: the runner stores the event (none when the
// location has no event of that name) and activates it on a later update.
void RunGameplayActivateEvent(const TString& eventName);

// "x1", "y1", "x2", "y2" as left, top, right, bottom; numbers truncated toward zero, anything else
// 0.
TRect ReadPuzzleRect(const TLuaTable& table);

// Overlap with the edges counted: rectangles that only share a border touch.
bool RectsTouch(const TRect& a, const TRect& b);

// A click sound is never started at once: its end listener is dropped without being told and its
// pending delay becomes "initialdelay" plus "delay", which the puzzle's update counts down
// (SoundEffect::Update) before it starts. Null is ignored.
void ArmSoundEffect(SoundEffect* effect);

// An indexed draw of pre-lit vertices with the bound texture repeated beyond [0, 1]: a lens moves
// the scroll's and the sky's coordinates with it, and the 2-D state clamps, which would smear the
// picture's edge instead. The 2-D state's clamp is set again after the draw.
void DrawIndexedWrapped(uint32_t primitive, const TVertexSet& set, const uint16_t* indices,
                        uint32_t indexCount);
