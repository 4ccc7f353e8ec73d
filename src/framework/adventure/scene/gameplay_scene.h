// GameplayScene: one view of a location: its entities sorted by depth and listed by kind, its
// ambient sounds, the inventory objects placed in it, animations queued while it was not shown,
// its one-time dialog, the reveal of its areas, the sliced texture pass and its saved bytes.
#pragma once

#include "framework/transforms/wait_handle.h"
#include "platform/maths/geometry.h"
#include "platform/strings/tstring.h"
#include "ui/window.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

class GameplayArea;
class GameplayEntity;
class GameplayFactory;
class GameplayInventory;
class GameplayItem;
class GameplayLayer;
class GameplayParticle;
class GameplaySound;
class TLuaTable;
struct TDrawSpec;

class GameplayScene
{
public:
    // The saved count of pending animations is one byte.
    static constexpr size_t kMaxPendingAnimations = 255;
    // The longest a texture slice keeps the frame, in ms of the platform clock.
    static constexpr uint32_t kSliceMs = 16;

    // `playlist` is the location's playlist table keyed by scene name (may be null).
    GameplayScene(GameplayFactory& factory, const TLuaTable& entityInfo, const TString& name,
                  const TLuaTable& scene, const TLuaTable* playlist, const TLuaTable& sceneInfo);
    virtual ~GameplayScene();
    GameplayScene(const GameplayScene&) = delete;
    GameplayScene& operator=(const GameplayScene&) = delete;

    // Every scene of a location each frame; only the shown one (`active`) runs its sounds.
    virtual void Update(uint32_t elapsedMs, bool active, bool playing);
    // Entities in depth order, then the placed objects that are not held.
    virtual void Draw(const TDrawSpec& spec);
    virtual void DrawEffects(const TDrawSpec& spec);
    virtual bool OnMouseDown(TPoint point);
    virtual bool OnMouseUp(TPoint point);
    virtual void Pause(bool includeSounds);
    virtual void Resume(bool includeSounds);
    // Sounds resumed and the areas' reveal due.
    virtual void OnEnter();
    virtual void OnLeave();
    // One slice of the entities' FinishTextures pass; true once the pass is complete.
    virtual bool FinishTexturesStep();
    virtual void LoadTextures();
    virtual void ReleaseTextures();
    virtual void SaveState(std::vector<uint8_t>& out);
    // Measures first: a record that does not fit changes nothing and answers false.
    virtual bool LoadState(const uint8_t* data, size_t size);
    virtual uint32_t GetStateSize() const;
    // The length of the scene's record as saved at `data`; 0 when any part runs past `size`.
    virtual size_t MeasureState(const uint8_t* data, size_t size) const;
    // The bytes a puzzle scene saves before the base scene's record; 0 here.
    virtual size_t GetLeadingStateSize() const { return 0; }
    // False at the first entity that could not rebuild.
    virtual bool RestoreTextures();
    virtual TString GetCursorName() const;
    // The event a puzzle scene runs once solved; empty for a plain scene.
    virtual TString GetCompletionEvent() const { return TString(); }
    virtual bool IsItemType(uint32_t type) const;
    virtual bool IsAreaType(uint32_t type) const;
    virtual bool IsLayerType(uint32_t type) const;
    virtual bool IsParticleType(uint32_t type) const;

    GameplayItem* FindItem(const TString& name) const;
    GameplayArea* FindArea(const TString& name) const;
    // Texts too.
    GameplayLayer* FindLayer(const TString& name) const;
    GameplayParticle* FindParticle(const TString& name) const;
    GameplaySound* FindSound(const TString& name) const;
    GameplayArea* FindAreaHolding(const GameplayInventory* inventory) const;
    // The shown placed objects whose picture contains the point, in placing order.
    std::vector<GameplayInventory*> GetInventoryAt(const TVec2& point) const;
    // Places the object (listed once) with its own placing animation, which takes the report.
    void AddInventory(GameplayInventory* inventory, bool animate, const TVec2& position,
                      WaitHandle&& report);
    // The area holding the object lets go of it, and it leaves the list.
    void RemoveInventory(GameplayInventory* inventory);
    // A placed object taken up goes first in the placing order: lying there again, it is drawn
    // under the others.
    void PutUnderTheOthers(GameplayInventory* inventory);
    // The dialog to show once; empty afterwards.
    TString TakeDialog();
    // Starts the delayed reveal of the active areas that hold nothing.
    void RevealAreas();
    void PauseSounds();
    // Restarts active sounds whose sound ended (looping ones start again), resumes the others.
    void ResumeSounds();
    // False (logged) once 255 are queued.
    bool AddPendingAnimation(uint8_t animation);
    // The queued animations, last queued first; the queue is emptied.
    std::vector<uint8_t> TakePendingAnimations();

    const TString& GetName() const { return mName; }
    const TString& GetDialog() const { return mDialog; }
    const std::vector<TString>& GetPlaylist() const { return mPlaylist; }
    // The location's playlist controller's index for this scene's music (-1 before it is added).
    int32_t GetPlaylistIndex() const { return mPlaylistIndex; }
    void SetPlaylistIndex(int32_t index) { mPlaylistIndex = index; }
    // Appends the names not listed yet to the extra animation names, in order.
    void AddUniqueNames(const std::vector<TString>& names);
    const std::vector<std::shared_ptr<GameplayEntity>>& GetEntities() const { return mEntities; }
    const std::vector<GameplayItem*>& GetItems() const { return mItems; }
    const std::vector<GameplayArea*>& GetAreas() const { return mAreas; }
    const std::vector<GameplayLayer*>& GetLayers() const { return mLayers; }
    const std::vector<GameplayParticle*>& GetParticles() const { return mParticles; }
    const std::vector<std::shared_ptr<GameplaySound>>& GetSounds() const { return mSounds; }
    const std::vector<GameplayInventory*>& GetPlacedInventory() const { return mPlacedInventory; }
    const std::vector<uint8_t>& GetPendingAnimations() const { return mPendingAnimations; }
    bool IsRevealPending() const { return mRevealPending != 0; }
    int32_t GetAreaRevealStep() const { return mAreaRevealStep; }
    int32_t GetAreaRevealStart() const { return mAreaRevealStart; }
    size_t GetRefreshCursor() const { return mRefreshCursor; }
    // Pictures the scene needs beyond its entities'; puzzle scenes fill them.
    std::vector<TString>& GetExtraTextureNames() { return mExtraTextureNames; }
    const std::vector<TString>& GetExtraTextureNames() const { return mExtraTextureNames; }
    std::vector<TString>& GetExtraAnimationNames() { return mExtraAnimationNames; }
    const std::vector<TString>& GetExtraAnimationNames() const { return mExtraAnimationNames; }

protected:
    std::vector<TString> mExtraTextureNames;
    std::vector<TString> mExtraAnimationNames;
    std::vector<std::shared_ptr<GameplayEntity>> mEntities;
    size_t mRefreshCursor = 0;
    uint8_t mRevealPending = 0;
    TString mName;
    TString mDialog;
    int32_t mAreaRevealStep = 0;
    int32_t mAreaRevealStart = 0;
    std::vector<TString> mPlaylist;
    int32_t mPlaylistIndex = -1;
    std::vector<std::shared_ptr<GameplaySound>> mSounds;
    std::vector<GameplayItem*> mItems;
    std::vector<GameplayArea*> mAreas;
    std::vector<GameplayLayer*> mLayers;
    std::vector<GameplayParticle*> mParticles;
    std::vector<GameplayInventory*> mPlacedInventory;
    std::vector<uint8_t> mPendingAnimations;

private:
    void ReadSounds(const TLuaTable& scene, const TLuaTable& sceneInfo);
    void SortIntoKinds();
};
