// Gameplay: the full-screen window that runs one location: its scenes and their entities, the
// script-defined events and animations, the inventory objects, the HUD, the location's sounds and
// cursors and the miss-click penalty. The game's runner derives from it and overrides by slot.
#pragma once

#include "framework/screens/game_window.h"
#include "framework/transforms/transform_manager.h"
#include "framework/transforms/wait_handle.h"
#include "platform/maths/random.h"
#include "render/renderer/draw_spec.h"

#include <array>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <vector>

class ConversationController;
class CursorOverlay;
class CursorOverlayController;
class GameplayAnimation;
class GameplayArea;
class GameplayEvent;
class GameplayFactory;
class GameplayHud;
class GameplayInventory;
class GameplayItem;
class GameplayLayer;
class GameplayParticle;
class GameplayScene;
class GameplaySound;
class GameplayToolTip;
class GameplayTutorialController;
class ModelPortalController;
class PlaylistController;
class SoundEffect;
class TexturePreloader;
class TLuaTable;
class ToolTip;

class Gameplay : public GameWindow
{
public:
    // Counts, indices and name lengths of the location's record take one byte each.
    static constexpr size_t kMostARecordByteHolds = 255;
    // The gameplay states; the game adds 3, 10, 11 and 12.
    enum : int32_t
    {
        kPlay = 0,
        kConversation = 1,
        kSceneSwitch = 2,
        kTutorial = 3,
        kMinigame = 4,
        kHintSelect = 5,
        kWaiting = 6,
        kFirstFrame = 7,
        kSceneLoading = 8,
        kSceneFadingIn = 9
    };
    // What the overlay cursor shows.
    enum : int32_t
    {
        kCursorDefault = 0,
        kCursorModelPortal = 1,
        kCursorPickup = 2,
        kCursorRollover = 3,
        kCursorInfo = 4,
        kCursorHint = 5,
        kCursorLoading = 7,
        // A cursor the scene named that is none of the above (a puzzle's hand), or none shown:
        // the next switch to any kind is made, whatever the kind before.
        kCursorSceneOwn = -1
    };
    // The completion callbacks, by their place in the table.
    enum : size_t
    {
        kItemArrived = 0,
        kAreaCompleted,
        kInventoryUsed,
        kAreaGroupDone,
        kConversationEnded,
        kPlaceHud,
        kHintSelectReady,
        kMinigameEnded,
        kHudScrolled,
        kInventoryReturned,
        kEventDone,
        kAnimationDone,
        kCallbackReported,
        kCallbackCount
    };

    Gameplay();
    ~Gameplay() override;

    static TWindow* Create();
    static TClassId GetClassId();

    const char* GetClassName() const override { return "Gameplay"; }
    bool IsKindOf(TClassId id) const override;
    void PostInit(TWindowStyle& style) override;
    // Losing activation asks for the pause dialog; regaining it keeps a paused location still.
    bool OnMessage(TMessage* message) override;
    // Presses only raise the pending click; the next frame acts on it, at the press's point.
    bool OnMouseDown(TPoint point) override;
    bool OnMouseUp(TPoint point) override;
    bool OnKeyDown(char key, int32_t modifiers) override;
    void Draw() override;
    void PostDraw() override;
    // The frame step the toolkit calls: the window's own, then the location's `Update`.
    bool Animate() override;
    virtual void Update();
    void Pause() override;
    void Resume() override;
    void OnClose() override;
    bool Refresh() override { return RecreateTextures(); }
    virtual bool RecreateTextures();
    void OnFadeInDone() override;

    virtual void DrawExtra();
    virtual std::vector<GameplayInventory*> GetHintableInventory();
    virtual void StartConversation(const TString& name, Callback* callback);
    virtual void BeginHintSelect();
    virtual void HintInventory(GameplayInventory* inventory, bool flag);
    virtual void EndHint();
    virtual bool HasValidHintTarget();
    // A hint is under way, as an object is chosen for it (with any prompt over the choice): the
    // record cannot hold it, so a store made now would come back as play without it.
    virtual bool IsHintUnderWay() const { return mGameplayState == kHintSelect; }
    // A moment a calm store may store, and the one a close stores: calm, and no hint under way.
    bool IsStorableMoment() { return IsCalm() && !IsHintUnderWay(); }
    // A close that finds a hint under way (it waits for the player, and no record holds it) takes
    // it back to where it began: the selection ends unspent and play takes over again.
    virtual void TakeBackHintForClose();
    virtual bool FindAreaForInventory(GameplayInventory* inventory);
    virtual bool LoadLocationState();
    virtual void SaveLocationState(bool flag);
    virtual void LoadExtraState(const uint8_t* data, size_t size);
    virtual void SaveExtraState(std::vector<uint8_t>& out);
    virtual std::shared_ptr<GameplayInventory> CreateInventory(const TLuaTable& table,
                                                               const TLuaTable& inventoryInfo);
    virtual std::shared_ptr<GameplayScene>
    CreateScene(const TString& name, GameplayFactory& factory, const TLuaTable& scene,
                const TLuaTable& entityInfo, const TLuaTable* playlist, const TLuaTable& sceneInfo,
                const TString& minigame);
    virtual std::shared_ptr<GameplayEvent> CreateEvent(const TLuaTable& table);
    virtual std::shared_ptr<GameplayFactory> CreateFactory();
    virtual bool IsLocationDone();
    virtual void UnequipInventory();
    virtual void UseInventory(GameplayInventory* inventory, GameplayArea* area);
    virtual void OnItemFound(GameplayItem* item);
    virtual void PauseGame();
    virtual void ResumeGame();
    virtual void StartMinigame(uint32_t minigame);
    virtual TString GetHintToolTipText();
    // The frame's work in hint selection: pick, cancel or hover.
    virtual void HandleHudInventoryMouse(const TPoint& mouse, TString& toolTip);
    virtual void AddPlayTime(uint32_t ms);
    virtual void CheckTutorials();
    virtual void HandleTutorialMouse(const TPoint& point, TString& rollover);
    virtual bool HandleMedallionMouse();
    virtual bool ExtraCondition();
    // The incomplete strip object under the mouse (or null), whether the tool tip shows at once,
    // the label under the mouse, the mouse and the tool tips' colour.
    virtual void UpdateToolTips(GameplayInventory* incomplete, bool visible, const TString& text,
                                const TPoint& point, const TVec4& color);
    virtual void OnItemArrived(uint32_t argument);
    virtual void EndConversation(uint32_t argument);
    virtual void EndMinigame(uint32_t argument);
    virtual void ReleaseInput();
    // Carries the named event out, at once or played; always false.
    virtual bool ActivateEvent(const TString& name, bool instant);
    // True when the area was active and lies in the shown scene.
    virtual bool CompleteArea(const TString& name, bool wait);
    // The cursor the area asks for: a model portal for a personified area, else its named one.
    virtual void SetCursorByName(GameplayArea* area);
    // An unknown name is reported and the location stays where it is.
    virtual void SwitchScene(const TString& name);
    virtual void EnterNextScene();
    virtual void StartCrazyClickPenalty();
    virtual void UpdateLoadingCursor();
    virtual void EquipInventory(GameplayInventory* inventory);
    // Every area of the group complete or holding its correct object: the group's event.
    virtual void CheckAreaGroup(const TString& group);

    void SetCursorDefault();
    void SetCursorPickup();
    void SetCursorRollover();
    void SetCursorInfo();
    void SetCursorHint();
    // Started on its layer in the shown scene, queued in the scene that has the layer, or (not
    // animated) applied there at once.
    void StartEventAnimation(const TString& name, bool animate);
    // The id moves to the end of the started list.
    void RecordStartedAnimation(uint8_t id);

    // A report the location is to wait for, counted now (so a report its holder replaces is told
    // without the count passing 0): its end step is the slot's; `what` names it, with the event
    // being carried out, in the line said if it is let go; `canReport` answers whether what holds
    // it can still end it, asked of every wait by the last resort. Each is a handle of its own,
    // told once: at its change's end, or when its holder replaces, clears or loses it.
    using CanReport = std::function<bool()>;
    WaitHandle Expect(size_t slot, const TString& what, CanReport canReport);
    // A report handed out that its holder did not take on: withdrawn as if never counted (the
    // state it found is back when nothing else is awaited). Nothing for an empty handle.
    void Withdraw(WaitHandle&& report);
    // A report nobody waits for of the strip's motion (a scroll, a slide out or back), whose slot
    // ends the strip's busy time: one a later motion replaced ends nothing, the strip staying busy
    // until the last one ends. It reaches nothing once the location goes.
    WaitHandle StripNotice(size_t slot);
    // What the location waits for now, each with the event that started it.
    std::vector<TString> DescribeWaits() const;
    // Where the completion callbacks' forwarders arrive.
    void RunCallbackSlot(size_t slot, uint32_t argument);
    Callback* GetCallback(size_t slot) { return &mCallbacks[slot]; }

    // Look-ups by name: the location's own lists, then the scenes in order (first match wins).
    GameplayInventory* FindInventory(const TString& name) const;
    GameplayEvent* FindEvent(const TString& name) const;
    GameplayScene* FindScene(const TString& name) const;
    GameplayAnimation* FindAnimation(const TString& name) const;
    GameplayArea* FindArea(const TString& name) const;
    GameplayItem* FindItem(const TString& name) const;
    GameplayLayer* FindLayer(const TString& name) const;
    GameplayParticle* FindParticle(const TString& name) const;
    GameplaySound* FindSound(const TString& name) const;

    // The script functions.
    void HudLeftClick();
    void HudRightClick();
    void GameplayStartAnimation();
    void GameplayEndAnimation();
    void GameplayActivateEvent(const TString& name);

    int32_t GetGameplayState() const { return mGameplayState; }
    int32_t GetCursorKind() const { return mCursorKind; }
    bool IsInputLocked() const { return mInputLocked != 0; }
    bool IsHudBusy() const { return mHudBusy != 0; }
    bool IsBlockingAnimation() const { return mBlockingAnimation != 0; }
    size_t GetMissClickCount() const { return mMissClickTimes.size(); }
    float GetTransitionAlpha() { return mTransitionTransform.GetAlpha(); }
    TM_Transform2D& GetTransitionTransform() { return mTransitionTransform; }
    GameplayEvent* GetDeferredEvent() const { return mDeferredEvent; }
    GameplayInventory* GetHeldInventory() const { return mHeldInventory; }
    GameplayItem* GetHintItem() const { return mHintItem; }
    bool IsHintRequested() const { return mHintRequested != 0; }
    GameplayArea* GetLastClickedArea() const { return mLastClickedArea; }
    const TString& GetPendingConversation() const { return mPendingConversation; }
    const std::vector<uint8_t>& GetAnimationIds() const { return mAnimationIds; }
    int32_t GetLoadingCursorTimer() const { return mLoadingCursorTimer; }
    int32_t GetPendingCallbacks() const { return static_cast<int32_t>(mWaits.size()); }
    uint32_t GetPlayTime() const { return mPlayTime; }
    GameplayHud* GetHud() const { return mHud; }
    GameplayScene* GetActiveScene() const { return mActiveScene; }
    GameplayEvent* GetNextEvent() const { return mNextEvent; }
    CursorOverlayController* GetCursorOverlay() const { return mCursorOverlay; }
    int32_t GetLocationNumber() const { return mLocationNumber; }
    const TVec4& GetToolTipColor() const { return mToolTipColor; }
    int32_t GetLoadingCursorDelay() const { return mLoadingCursorDelay; }
    const std::map<TString, TString>& GetGroupEvents() const { return mGroupEvents; }
    const std::vector<std::shared_ptr<GameplayEvent>>& GetEvents() const { return mEvents; }
    const std::vector<std::shared_ptr<GameplayAnimation>>& GetAnimations() const
    {
        return mAnimations;
    }
    const std::vector<std::shared_ptr<GameplayInventory>>& GetInventory() const
    {
        return mInventory;
    }
    const std::vector<std::shared_ptr<GameplayScene>>& GetScenes() const { return mScenes; }
    const std::vector<std::shared_ptr<GameplaySound>>& GetSounds() const { return mSounds; }
    const std::vector<int32_t> GetSoundIndices() const;
    PlaylistController* GetPlaylists() const { return mPlaylists.get(); }
    const TString& GetCursorName(int32_t kind) const;
    int32_t GetCrazyClickCount() const { return mCrazyClickCountToActivate; }
    int32_t GetCrazyClickDuration() const { return mCrazyClickPathDuration; }
    int32_t GetCrazyClickTime() const { return mCrazyClickTimeToRemoveClick; }
    const TString& GetCrazyClickPath() const { return mCrazyClickPath; }
    int32_t GetSceneTransitionTime() const { return mSceneTransitionTime; }
    const std::vector<uint8_t>& GetStateBytes() const { return mStateBytes; }
    ModelPortalController* GetModelPortals() const { return mModelPortals.get(); }

    // The end of the location and its record in the player's profile.
    // Scores the player's time, forgets the saved location and hands over to the game's script.
    void CompleteLocation();
    // After a completion, the location byte stays where the completion counted it, whatever the
    // game's script did to it since.
    void KeepCountedLocation();
    // The player record saved and, unless the location is complete, the location's record
    // stored as the profile's "gamedata".
    void SaveOnClose();
    // The least time between two stores of the calm record (and the tutorial marks) while the
    // location runs, so a crash loses at most the last calm point's changes.
    static constexpr uint32_t kCalmStoreIntervalMs = 3000;
    bool IsPaused() const { return mPaused != 0; }
    // How far a close runs the location forward at most, in steps of the settle's frame.
    static constexpr int kMostSettleSteps = 3000;
    static constexpr uint32_t kSettleStepMs = 100;
    bool IsLocationComplete() const { return mLocationComplete != 0; }

protected:
    // The completion callbacks' targets, by slot; the forwarders pass the call's id.
    void RunCallback(size_t slot, uint32_t argument);
    // New pairs for the transform manager, which deletes them.
    Callback* NewSceneFadeInCallback();
    Callback* NewReleaseInputCallback();
    virtual void OnSceneFadeInDone();

    // What one frame gathers for the tool tips and the cursor.
    struct FrameInput
    {
        TPoint mouse;
        TString toolTip;
        bool toolTipVisible = false;
        TString wantedCursor;
        GameplayInventory* incomplete = nullptr;
    };
    void EnterFirstScene();
    // The pending click, to be judged where it was pressed (`point`, the window's own).
    void TakeClick(TPoint point);
    // Where the frame's road looks: a pending press's own point, whatever the pointer did after
    // it, else the pointer's last.
    TPoint RoadPoint() const;
    void PlayRoad(FrameInput& input);
    void Hover(GameplayInventory* object, FrameInput& input);
    void ClickArea(GameplayArea* area);
    void ClickAreaWithObject(GameplayArea* area);
    void FollowWantedCursor(const TString& name);
    // A pick in hint selection whose object has no target left (its item was found, or put away,
    // since the selection offered it): the selection ends as a pick of nothing ends it, the hint
    // unspent; false when the object still has a target.
    bool CancelPickWithoutTarget(GameplayInventory* inventory);
    // The selection ends without a hint: the strip goes back into place, nothing spent.
    void CancelHintSelect();
    // The transition quad's alpha from `from` to `to` over the transition time.
    void StartTransition(float from, float to, Callback* done);
    // trunc(alpha x 255) as one byte.
    uint32_t TransitionAlphaByte();
    bool IsLoadingScene() const;
    // A sound by its index; 0 is none.
    static void PlaySound(int32_t index);
    // Armed to start after its delays.
    static void ScheduleSound(const std::shared_ptr<SoundEffect>& sound);
    // A wait that nothing alive can end any more is let go, said in one line: the reports none of
    // whose holders can send them, and the awaited animations whose bitmaps hold nothing that can
    // still end. Checked each frame while the location waits.
    void LetGoOfWaitsNothingCanEnd();
    // Clicks ignored for a while when only the script's own waits hold the location, said once
    // a hold.
    void WatchScriptHold(uint32_t elapsed);
    static constexpr int64_t kScriptHoldSaidAfterMs = 10000;
    // Whether an awaited animation's layer still holds a part that can end.
    bool CanAnimationEnd(const GameplayAnimation& animation) const;
    // The entity-change rule: in the shown scene waited for unless instant, elsewhere at once.
    template <class Entity, class FindInScene, class FindAnywhere, class Change>
    void ChangeEntity(const TString& name, bool instant, FindInScene inScene, FindAnywhere anywhere,
                      Change change, const char* what);
    // Each name an event, item, area, object, animation, scene or the location refers to and the
    // location lacks, logged once with who refers to it.
    void ReportLackingNames(const TString& initialEvent);
    void ReportWhatNoPlayerReaches();
    // Content that can never end, one line each: objects of no parts, items giving parts their
    // object lacks, chains of next events that come round again.
    void ReportShapesThatNeverEnd();
    void ReportEndlessEventChains();
    // Lists longer and names longer than the location's record holds in a byte, one line each.
    void ReportWhatTheRecordCannotHold();
    // A waited change of an inventory object, counted only when the object took the report on.
    template <class Change>
    void ReportedInventoryChange(GameplayInventory& object, Change change, const char* what);
    // Whether the motion of an object, whose end tells the report it holds, still runs.
    static CanReport ObjectMotionRuns(const GameplayInventory& object);
    // Whether the strip's merge can still tell the report it took (the strip is the location's).
    CanReport StripMergeRuns() const;
    // An event's "inventorytoactivate": the objects joining the HUD and the items they gather.
    void HandOutInventory(const std::vector<TString>& handOut, bool animate);
    void OnAreaCompleted();
    // `id` is the animation that ended.
    void OnAnimationFinished(uint32_t id);
    // How a start belongs to a chain of awaited animations leading on to one another: the
    // animations whose ends led to it (its lineage), whether the chain already runs unawaited,
    // and whether it leads on from an animation whose layer was put away (whose followers then
    // leave switched-off layers off).
    struct AnimationChain
    {
        std::vector<uint8_t> lineage;
        bool unawaited = false;
        bool layersStayAway = false;
        // The event whose animation began the chain.
        TString event;
    };
    void StartAnimation(const TString& name, bool animate, const AnimationChain& chain);
    // The starts put off from the last frame (see mAnimationsPutOff), in their order.
    void StartAnimationsPutOff();
    // Whether an awaited animation runs, or one put off to the next frame will be awaited.
    bool AwaitsAnAnimation() const;
    // An awaited animation whose layer was put away is no longer advanced: it ends.
    void EndAnimationsOfStoppedLayers();
    void OnHeldInventoryPlaced();
    // The held object was placed elsewhere (an event put it in its scene, or the strip took
    // it): the hand is empty and the strip takes clicks again.
    void TakeFromTheHand();
    // The held object goes back where it belongs, at once (an event puts another in the hand):
    // to the strip or the scene holding it, else where a miss would send it.
    void PutHeldObjectBack();
    // In the strip or lying in a scene: there it is stepped each frame, and it goes nowhere at a
    // miss.
    bool IsPlaced(const GameplayInventory& object) const;
    // The strip cannot take it, it has no scene of its own and lies in none: a miss leaves it in
    // the hand.
    bool HasNowhereToGo(const GameplayInventory& object) const;
    // An event's changes, in their fixed order.
    void ApplyEvent(const GameplayEvent& event, bool instant);
    void OnInventoryUsed();
    // The scene an active area's "default" event chain leads to first, not taken in yet.
    GameplayScene* FollowPortal(GameplayArea& area,
                                const std::vector<GameplayScene*>& takenIn) const;
    void SelectCursor(int32_t kind);
    // One of the five configured names: its setter runs.
    bool SetCursorByKnownName(const TString& name);
    // The loading steps after the global instructions were found; false at a fatal report.
    bool LoadLocation(TWindowStyle& style, const TLuaTable& instructions);
    bool LoadScenes(TWindowStyle& style, const TLuaTable& instructions);
    void LoadAudio(const TLuaTable& audio);
    void LoadSoundEffects(TWindowStyle& style, const TLuaTable& instructions);

    // One report awaited (or, uncounted, a notice): the token its holder's handle tells once,
    // what it is and the event that started it. Whoever holds a handle keeps it alive; the
    // location holds the counted ones until they are told.
    struct Wait : WaitToken
    {
        // The location, or null once it has gone: a handle told later reaches nothing.
        std::shared_ptr<Gameplay*> mOwner;
        size_t mSlot = 0;
        bool mCounted = true;
        bool mStripMotion = false;
        TString mWhat;
        TString mEvent;
        CanReport mCanReport;
        int32_t mStateBefore = 0;
        static void OnReport(void* object, TM_Transform* target, uint32_t argument);
    };
    std::shared_ptr<Wait> MakeWait(size_t slot, bool counted);
    // A report told: it leaves the count, its slot's end step runs, and with nothing left awaited
    // the location plays again.
    void OnWaitTold(Wait& wait, uint32_t argument);
    // Nothing awaited any more: back to play, and the calm point saved.
    void OnWaitsEnded();
    // The handles still out reach nothing from here on: for the destructor of a runner that holds
    // handles of its own, before they go.
    void StopWaiting();
    // What the location waits for, in the order it began to.
    std::vector<std::shared_ptr<Wait>> mWaits;
    std::shared_ptr<Gameplay*> mSelf = std::make_shared<Gameplay*>(this);
    // The location's script's animations, told in turn by its ends.
    std::vector<WaitHandle> mScriptAnimations;
    // A click came while the location waited; the time clicks have gone unanswered while only
    // script waits hold it (-1: none ignored yet); whether that was said.
    bool mClickIgnored = false;
    int64_t mScriptHoldIgnoredMs = -1;
    bool mScriptHoldSaid = false;
    // The strip's last motion, whose end ends its busy time.
    std::weak_ptr<Wait> mStripMotion;
    void ScrollStrip(int32_t step);
    // The event being carried out, which starts what it waits for.
    TString mCurrentEvent;

    uint8_t mPaused = 0;
    uint8_t mLocationComplete = 0;
    uint8_t mClickPending = 0;
    // Where the pending click was pressed, on the screen.
    TPoint mClickPoint;
    uint8_t mHintRequested = 0;
    uint8_t mHintRequestMode = 0;
    uint8_t mHudBusy = 0;
    uint8_t mSaveOnClose = 1;
    uint8_t mBlockingAnimation = 0;
    uint8_t mHintArmed = 0;
    uint8_t mInputLocked = 0;
    uint32_t mPlayTime = 0;
    int32_t mLoadingCursorTimer = 0;
    int32_t mLoadingCursorDelay = 0;
    int32_t mGameplayState = kPlay;
    GameplayHud* mHud = nullptr;
    GameplayScene* mActiveScene = nullptr;
    GameplayScene* mNextScene = nullptr;
    GameplayEvent* mNextEvent = nullptr;
    GameplayEvent* mDeferredEvent = nullptr;
    GameplayInventory* mHeldInventory = nullptr;
    GameplayInventory* mHintInventory = nullptr;
    GameplayItem* mFlyingItem = nullptr;
    uint32_t mCurrentMinigame = 0;
    GameplayArea* mLastClickedArea = nullptr;
    TString mPendingConversation;
    // The conversation on the screen (started from the pending one), until it ends.
    TString mShownConversation;
    TString mToolTipHintValidTarget;
    TString mToolTipHintNoValidTarget;
    TString mToolTipProgressBar;
    TString mToolTipHintSelect;
    int32_t mHintToolTipX = 0;
    int32_t mHintToolTipY = 0;
    TRandom mRandom;
    std::shared_ptr<GameplayTutorialController> mTutorials;
    std::shared_ptr<GameplayToolTip> mInventoryToolTip;
    std::shared_ptr<ToolTip> mHintToolTip;
    std::shared_ptr<ToolTip> mBasicToolTip;
    TVec4 mToolTipColor{0, 0, 0, 0};
    std::shared_ptr<ConversationController> mConversations;
    std::vector<uint8_t> mAnimationIds;
    // The lineage of each animation with "callback" as it last started (by id), itself last: an
    // animation that its own end leads back to is a loop. A start that is no finished step's
    // begins a lineage of its own.
    std::map<uint8_t, std::vector<uint8_t>> mAnimationLineages;
    // The event that began each awaited animation's chain (by id).
    std::map<uint8_t, TString> mAnimationEvents;
    // Animations already said to come round again in their chain.
    std::vector<uint8_t> mAnimationsRunOn;
    // The animations being started, innermost last. An end told inside a start (a run cut short
    // by the start of another on its layer, or one ending as it is set up) leads on at once; one
    // it leads back to that is still being started further out starts at the next frame instead,
    // so that runs ending as they start come round once a frame, not without end in one.
    std::vector<uint8_t> mAnimationsStarting;
    struct PutOffStart
    {
        uint8_t id = 0;
        AnimationChain chain;
        bool awaited = false;
    };
    std::vector<PutOffStart> mAnimationsPutOff;
    std::vector<uint8_t> mStateBytes;
    std::map<TString, TString> mGroupEvents;
    std::shared_ptr<PlaylistController> mPlaylists;
    std::unique_ptr<TexturePreloader> mPreloader;
    // A scene an event switched to while another loaded, for the end of its fade-in.
    TString mPendingSceneSwitch;
    GameplayInventory* mHoveredInventory = nullptr;
    // The item a hint shows.
    GameplayItem* mHintItem = nullptr;
    TString mWantedCursor;
    int32_t mLocationNumber = 0;
    TDrawSpec mTransitionSpec;
    TM_Transform2D mTransitionTransform;
    CoverVertex mTransitionQuad[4];
    static const uint16_t kTransitionIndices[6];
    CursorOverlayController* mCursorOverlay = nullptr;
    int32_t mCursorKind = 0;
    TString mCursorDefault;
    TString mCursorPickup;
    TString mCursorRollover;
    TString mCursorInfo;
    TString mCursorHint;
    TString mCursorLoading;
    std::shared_ptr<ModelPortalController> mModelPortals;
    std::shared_ptr<CursorOverlay> mCrazyClickCursor;
    std::shared_ptr<TM_Transform2D> mCrazyClickTransform;
    int32_t mCrazyClickPathDuration = 0;
    int32_t mCrazyClickCountToActivate = 0;
    int32_t mCrazyClickTimeToRemoveClick = 0;
    TString mCrazyClickPath;
    std::vector<uint32_t> mMissClickTimes;
    std::vector<std::shared_ptr<GameplayEvent>> mEvents;
    std::vector<std::shared_ptr<GameplayInventory>> mInventory;
    std::vector<std::shared_ptr<GameplayScene>> mScenes;
    std::vector<std::shared_ptr<GameplaySound>> mSounds;
    std::vector<std::shared_ptr<GameplayAnimation>> mAnimations;
    std::shared_ptr<SoundEffect> mSoundItemClickHit;
    std::shared_ptr<SoundEffect> mSoundHintShowItem;
    std::shared_ptr<SoundEffect> mSoundInventoryEquip;
    std::shared_ptr<SoundEffect> mSoundInventoryHint;
    int32_t mSoundClickMiss = 0;
    int32_t mSoundInventoryAppear = 0;
    int32_t mSoundInventoryHover = 0;
    int32_t mSoundInventoryUnequip = 0;
    int32_t mSoundAreaClick = 0;
    int32_t mSoundAreaHilight = 0;
    int32_t mSoundAreaComplete = 0;
    int32_t mSoundCrazyClick = 0;
    int32_t mSceneTransitionTime = 0;
    int32_t mPlaylistDialogFadeTime = 0;
    float mPlaylistDialogVolume = 0;
    std::array<Callback, kCallbackCount> mCallbacks;

    // The location's record, field by field; false (logged once) when a list or name is too long
    // for its one-byte field.
    bool BuildLocationRecord(std::vector<uint8_t>& out);
    // Checks a stored record against this location's lists before anything changes; the
    // offset of the game's part, or 0 for a record that is not this location's.
    size_t CheckLocationRecord(const std::vector<uint8_t>& record) const;
    void RestoreLocationRecord(const std::vector<uint8_t>& record, size_t extraAt);
    // The location run on to its next calm point, as play runs it, without drawing and with the
    // clock moved on at each step so that every wait ends at once: pending events run, chains go
    // on, a completion that would come comes. What waits for the player (an armed event, a
    // conversation, a puzzle, a prompt) stays as it is for the record; a hint under way is taken
    // back.
    virtual void SettleForClose();
    // Nothing awaited, nothing on its way, and nothing play would do next without the player.
    bool IsCalm();
    // The gameplay state in words, for lines an author reads.
    virtual TString DescribeGameplayState() const;
    // Play's frame step runs: the window is idle and the location not paused, or it settles.
    bool IsRunning() const { return (GetState() == kIdle || mSettling) && mPaused == 0; }
    // Set while a close runs the location forward.
    bool mSettling = false;
    // Only the shown scene stays; what pointed into the others is let go first.
    void DropInactiveScenes();
    // The inventory, hint and basic tool tips, then the tutorial prompts.
    void DrawToolTips();
    // The shown tutorial prompt's two transforms.
    void PauseTutorialPrompt(bool pause);
    bool mRecordTooLongReported = false;
    // Set by the first frame's load: before it a record would hold a location that never began,
    // and storing it would overwrite the player's saved one.
    bool mLocationEntered = false;
    // The player's location byte when the location began: a game that counted the location
    // itself has finished it, and its record is not stored.
    uint8_t mLocationByteAtStart = 0;
    // The location's record as last stored by a calm point, and the game time since (the first
    // calm point stores at once).
    std::vector<uint8_t> mStoredBytes;
    // Set when a store could not be saved: the rest of the run leaves them to the close.
    bool mCalmStoreOff = false;
    uint32_t mSinceCalmStore = kCalmStoreIntervalMs;
    // At every frame: when the interval has passed and the location is calm (as a close finds it
    // calm), the location's record and the player's, built now, go to the preferences in one
    // save if either holds news.
    void StoreCalmPointWhenDue(uint32_t elapsed);
    // Whether the location's record may be stored: entered, not complete, not counted by the game.
    bool MayStoreRecord() const;

private:
    // Each global is cleared only while it still calls this window.
    void UnbindScriptFunctions();
};
