// MKWGameplay: the game's scene runner, made for the window type "Gameplay". On top of the
// framework's runner it makes the game's classes (the factory of its scenes' entities, its
// inventory objects and its events), opens the journal from the HUD, keeps the journal goals the
// events open, tells the two hint characters apart in found items, completed areas and tool tips,
// plays the puzzle-complete burst, and saves what it adds with the location.
#pragma once

#include "framework/adventure/runner/gameplay.h"
#include "framework/core/frame_services.h"
#include "framework/transforms/transform_manager.h"
#include "framework/transforms/transform_target.h"
#include "framework/widgets/particle_functions.h"
#include "particles/lua_particle_system.h"
#include "render/renderer/vertex_set.h"

#include <array>
#include <memory>
#include <vector>

class Godray;
class GameplayHint;
class GameplayHintMinigame;
class GameplayJournal;
class MKWGameplayHud;
class TAnimatedSprite;
class TScript;
class TSprite;

class MKWGameplay : public Gameplay
{
public:
    // The game's own states, after the framework's.
    enum : int32_t
    {
        kJournal = 10,
        kThessalorMinigame = 11,
        kLiraeMinigame = 12,
        kThessalorHintShown = 13,
        kLiraeHintShown = 14
    };
    // The bound callbacks, in the order they are filled.
    enum : size_t
    {
        kJournalClosed = 0,
        kThessalorMinigameExit,
        kThessalorHintEarned,
        kThessalorTokenMove,
        kLiraeMinigameExit,
        kLiraeHintEarned,
        kLiraeTokenMove,
        kCrazyClick,
        kBoundCallbackCount
    };

    // Builds a puzzle scene from the base's scene arguments and the context its script ran in
    // (destroyed right after).
    using MinigameSceneCreator = std::shared_ptr<GameplayScene> (*)(
        GameplayFactory& factory, const TLuaTable& entityInfo, const TString& name,
        const TLuaTable& scene, const TLuaTable* playlist, const TLuaTable& sceneInfo,
        TScript& script);

    MKWGameplay();
    ~MKWGameplay() override;

    // Installs the puzzle class named (its own class name, "ElectronicLockScene" and the other
    // four); a null creator takes it out again. False, logged, for any other name.
    static bool RegisterMinigameScene(const TString& className, MinigameSceneCreator creator);

    static TWindow* Create();
    static TClassId GetClassId();

    const char* GetClassName() const override { return "MKWGameplay"; }
    bool IsKindOf(TClassId id) const override
    {
        return id == GetClassId() || Gameplay::IsKindOf(id);
    }
    void PostInit(TWindowStyle& style) override;
    void Update() override;
    void DrawExtra() override;

    // The two characters' hints.
    bool OnMouseDown(TPoint point) override;
    void Draw() override;
    bool RecreateTextures() override;
    void BeginHintSelect() override;
    void EndHint() override;
    bool FindAreaForInventory(GameplayInventory* inventory) override;
    void StartMinigame(uint32_t minigame) override;
    // The hint is in place: the player is to click the hinted item.
    void EnterHintShown();
    // Points the HUD's mini-hint effect at a random active item of the shown scene.
    void ShowMiniHint();
    void StartThessalorHintMinigame();
    void StartLiraeHintMinigame();
    // The scene without the hinted item, greyed, in the hint snapshot's texture.
    bool RenderHintSnapshot();
    void StartHintParticles(int32_t character);
    void StopHintParticles();

    std::shared_ptr<GameplayInventory> CreateInventory(const TLuaTable& table,
                                                       const TLuaTable& inventoryInfo) override;
    std::shared_ptr<GameplayEvent> CreateEvent(const TLuaTable& table) override;
    std::shared_ptr<GameplayFactory> CreateFactory() override;
    // The five puzzle rows by the class name asked for; their script runs first.
    std::shared_ptr<GameplayScene> CreateScene(const TString& name, GameplayFactory& factory,
                                               const TLuaTable& scene, const TLuaTable& entityInfo,
                                               const TLuaTable* playlist,
                                               const TLuaTable& sceneInfo,
                                               const TString& minigame) override;
    bool IsLocationDone() override { return mLocationDone; }
    TString DescribeGameplayState() const override;

    bool ActivateEvent(const TString& name, bool instant) override;
    // The tutorial prompts and the medallions in play.
    void CheckTutorials() override;
    // The choice of an object or a prompt shown over it, a character's board, and a hint shown.
    bool IsHintUnderWay() const override;
    void HandleTutorialMouse(const TPoint& point, TString& rollover) override;
    bool HandleMedallionMouse() override;
    // The medallion whose trackers lie under the point (screen coordinates) glows them this frame.
    void RequestTrackerGlow(const TPoint& point);
    void EndMinigame(uint32_t argument) override;
    void ReleaseInput() override;
    void UseInventory(GameplayInventory* inventory, GameplayArea* area) override;
    bool CompleteArea(const TString& name, bool wait) override;
    void OnItemFound(GameplayItem* item) override;
    void PauseGame() override;
    void ResumeGame() override;
    void UpdateToolTips(GameplayInventory* incomplete, bool visible, const TString& text,
                        const TPoint& point, const TVec4& color) override;
    void LoadExtraState(const uint8_t* data, size_t size) override;
    void SaveExtraState(std::vector<uint8_t>& out) override;
    // A hint on its way to its item was never shown: the trackers it spent are kept.
    void SettleForClose() override;
    // A hint's choice, or a hint arriving or shown before its item is found, goes back to the
    // moment its tracker was clicked: the trackers and the prompts' marks as they were then. A
    // character's board is left as its exit leaves it, with what it earned.
    void TakeBackHintForClose() override;

    // The script function "HudJournalPressed".
    void HudJournalPressed();
    // The journal opened with a note above its goals (none when empty).
    void OpenJournal(const TString& note);
    // The burst over the place the text "(x,y,size)" names; the defaults when a piece is missing.
    // Asked for while a scene loads (the location's first event), it plays once the scene is in.
    void PlayPuzzleComplete(const TString& text);

    Callback* GetBoundCallback(size_t slot) { return &mBound[slot]; }
    // Where the bound callbacks' forwarders arrive.
    void RunBoundCallback(size_t slot);
    bool GetLocationDone() const { return mLocationDone; }
    const std::vector<TString>& GetJournalGoals() const { return mJournalGoals; }
    int32_t GetLastUsedCharacter() const { return mLastUsedCharacter; }
    bool IsJournalPressPending() const { return mJournalPressPending; }
    GameplayJournal* GetJournal() const { return mJournal; }
    GameplayHintMinigame* GetHintWindowThessalor() const { return mHintWindowThessalor; }
    GameplayHintMinigame* GetHintWindowLirae() const { return mHintWindowLirae; }
    const std::vector<std::shared_ptr<Godray>>& GetGodrays() const { return mGodrays; }
    const std::vector<std::shared_ptr<TSprite>>& GetPulseSprites() const { return mPulseSprites; }
    TLuaParticleSystem& GetPuzzleCompleteLirae() { return mPuzzleCompleteLirae; }
    TLuaParticleSystem& GetPuzzleCompleteThessalor() { return mPuzzleCompleteThessalor; }
    TM_Transform2D& GetPuzzleCompleteFader() { return mPuzzleCompleteFader; }
    const ParticleVector& GetPuzzleCompleteLocus() const { return mPuzzleCompleteLocus; }
    const ParticleVector& GetPuzzleCompleteSize() const { return mPuzzleCompleteSize; }
    const ParticleVector& GetPuzzleCompleteAlpha() const { return mPuzzleCompleteAlpha; }
    const std::shared_ptr<SoundEffect>& GetSoundItemClickLirae() const
    {
        return mSoundItemClickLirae;
    }
    const std::shared_ptr<SoundEffect>& GetSoundItemClickThessalor() const
    {
        return mSoundItemClickThessalor;
    }
    uint32_t GetHintLoopLirae() const { return mHintLoopLirae; }
    uint32_t GetHintLoopThessalor() const { return mHintLoopThessalor; }
    int32_t GetTokenCharacter() const { return mTokenCharacter; }
    int32_t GetTokenTrackerIndex() const { return mTokenTrackerIndex; }
    TIntPoint GetTokenTarget() const { return {mTokenTargetX, mTokenTargetY}; }
    int32_t GetHintCharacter() const { return mHintCharacter; }
    const std::shared_ptr<TAnimatedSprite>& GetHintToken() const { return mHintToken; }
    TM_Transform2D& GetHintTokenMover() { return *mHintTokenMover; }
    const std::vector<std::shared_ptr<TM_Transform2D>>& GetPulseMovers() const
    {
        return mPulseMovers;
    }
    const std::shared_ptr<TSprite>& GetHintSnapshot() const { return mHintSnapshot; }
    TM_Transform2D& GetHintSnapshotFader() { return *mHintSnapshotFader; }
    const std::shared_ptr<TSprite>& GetLiraeHintSprite() const { return mLiraeHintSprite; }
    const TRect& GetViewport3d() const { return mViewport3d; }
    const TRect& GetLiraeHintRect() const { return mLiraeHintRect; }
    const TColoredVertex& GetSpotlightVertex(size_t index) const
    {
        return mSpotlightVertices[index];
    }
    const std::shared_ptr<TLuaParticleSystem>& GetHintParticle() const { return mHintParticle; }
    const std::shared_ptr<TLuaParticleSystem>& GetHintParticleSecondary() const
    {
        return mHintParticleSecondary;
    }
    uint32_t GetIdleElapsed() const { return mIdleElapsed; }
    uint32_t GetMiniHintElapsed() const { return mMiniHintElapsed; }
    const ParticleVector& GetMiniHintLocus() const { return mMiniHintLocus; }

    // Each pixel's red, green and blue become 0.30, 0.59 and 0.11 of its largest, middle and
    // smallest channel, truncated; alpha stays. `pitch` counts pixels.
    static void GreyPixels(uint32_t* pixels, int pitch, uint32_t width, uint32_t height);

protected:
    // The bound callbacks' work; the hint windows' six are the hint sequence's and do nothing yet.
    virtual void OnJournalClosed();
    virtual void OnMinigameExit(int32_t character);
    virtual void OnHintEarned(int32_t character);
    virtual void OnTokenMove(int32_t character);
    void OnPuzzleCompleteFaded();
    void OnSceneFadeInDone() override;
    // The steps of the hint sequence after the token's flights.
    void OnTrackerFilled();
    void OnHintArrived();
    void StartHintMinigame(int32_t character);
    // What the hints read of the style before the location loads, and what they build after.
    struct HintStyle
    {
        TString liraeSprite;
        float liraeCenterX = 0;
        float liraeCenterY = 0;
        int32_t liraeWidth = 0;
        int32_t liraeHeight = 0;
        TString miniHintScript;
        TString liraePath;
        TString liraeMist;
        TString liraeMistSecondary;
        TString liraeSmall;
    };
    static std::unique_ptr<HintStyle> ReadHintStyle(TWindowStyle& style);
    void BuildHints(const HintStyle& style);
    void DrawThessalorOverlay(float alpha);
    void DrawLiraeOverlay(float alpha);
    // The hint members the constructor makes.
    void ConstructHints();
    // A mover that grows and turns its picture where it stands.
    static std::unique_ptr<TM_Transform2D> MakePlacedMover(TDrawSpec* spec);

    MKWGameplayHud* GetGameHud() const;
    // The tutorial prompts' steps. A prompt's bit in the player's flags, -1 when the location has
    // no such prompt or its index lies outside the flags word.
    int32_t GetTutorialBit(const TString& name) const;
    bool IsTutorialPending(const TString& name) const;
    bool TutorialConditionHolds(int32_t row) const;
    void MarkTutorialSeen(const TString& name);
    // Marked and hidden; the hiding is not waited for.
    void CompleteTutorial(const TString& name);
    // Marked, and play waits for the hiding to end.
    void CompleteTutorialWaiting(const TString& name);
    void HoverStripObject(GameplayInventory* object, TString& rollover);
    // The shown prompt's answer to the mouse: what it asks for, done.
    void AnswerTutorialMouse(const TPoint& point, TString& rollover);
    // The character's hint minigame; without its window the prompt is answered and play goes on.
    void StartCharacterMinigame(int32_t mark);
    // A screen point in the HUD's own coordinates, where its medallions lie.
    TIntPoint HudPoint(const TPoint& point) const;
    // The five sound effects in their fixed order.
    std::array<SoundEffect*, 5> SoundEffects() const;
    // The transform owners paused and resumed with the location.
    std::vector<TM_Transform*> PausedTransforms();
    void BlockHud();

    bool mLocationDone = false;
    TString mTooltipHintLiraeNoValidTarget;
    TString mTooltipHintThessalorNoValidTarget;
    TString mTooltipMedallionLiraeNotAvailable;
    TString mTooltipMedallionLiraeAvailable;
    TString mTooltipMedallionThessalorNotAvailable;
    TString mTooltipMedallionThessalorAvailable;
    // The journal's note when a tracker is clicked with nothing left to hint at ("journalnohint").
    TString mJournalNoHint;
    GameplayJournal* mJournal = nullptr;
    std::vector<TString> mJournalGoals;
    int32_t mLastUsedCharacter = 0;
    std::shared_ptr<SoundEffect> mSoundShowHintSelect;
    std::shared_ptr<SoundEffect> mSoundItemClickLirae;
    std::shared_ptr<SoundEffect> mSoundItemClickThessalor;
    std::shared_ptr<SoundEffect> mSoundHintShowLirae;
    std::shared_ptr<SoundEffect> mSoundHintShowThessalor;
    bool mJournalPressPending = false;
    TLuaParticleSystem mPuzzleCompleteLirae;
    TLuaParticleSystem mPuzzleCompleteThessalor;
    ParticleVector mPuzzleCompleteAlpha;
    ParticleVector mPuzzleCompleteLocus;
    ParticleVector mPuzzleCompleteSize;
    TVec2 mPuzzleCompleteDefaultPosition = TVec2(0, 0);
    float mPuzzleCompleteDefaultSize = 0;
    TDrawSpec mPuzzleCompleteFaderSpec;
    TM_Transform2D mPuzzleCompleteFader{&mPuzzleCompleteFaderSpec};
    int32_t mPuzzleCompleteTotal = 0;
    int32_t mPuzzleCompleteFade = 0;
    bool mPuzzleCompleteAwaited = false;
    // The location's reports for the burst's fade and for the hint token's flight; a flight cut
    // short by the next one tells its report then.
    WaitHandle mPuzzleCompleteWait;
    WaitHandle mTokenWait;
    // The trackers the token's flight to an item spent, and their medallion, until it arrives: a
    // close before then gives them back, as no hint was shown.
    GameplayHint* mFlightMedallion = nullptr;
    uint8_t mFlightTrackers = 0;
    // The medallions' available trackers (Lirae's, Thessalor's) and the player's tutorial marks
    // as the last hint's choice began, for a close that takes the hint back.
    // Where the tutorial marks lie in the player's record.
    static constexpr size_t kMarksAt = 4;
    struct BeforeHint
    {
        bool kept = false;
        std::array<uint8_t, 2> trackers{};
        std::array<uint8_t, 4> marks{};
    } mBeforeHint;
    // The burst asked for while a scene loaded.
    TString mDeferredPuzzleComplete;
    TDrawSpec mMiniHintSpec;
    TM_Transform2D mMiniHintMover{&mMiniHintSpec};
    uint32_t mTimeHintShowDestination = 0;
    uint32_t mTimeHintMiniShow = 0;
    uint32_t mHintLoopLirae = 0;
    uint32_t mHintLoopThessalor = 0;
    GameplayHintMinigame* mHintWindowThessalor = nullptr;
    GameplayHintMinigame* mHintWindowLirae = nullptr;
    int32_t mTimeHintToDestination = 0;
    float mDistanceToInventoryArc = 0;
    float mDistanceToItemArc = 0;
    float mHintRotateToInventory = 0;
    float mHintRotateToItem = 0;
    int32_t mTimeHintToAddAppear = 0;
    int32_t mTimeHintToAddMove = 0;
    float mScaleHintToAdd = 0;
    float mRotationHintToAdd = 0;
    float mArcHintToAdd = 0;
    int32_t mPulseDelay = 0;
    int32_t mPulseDuration = 0;
    float mPulseScale = 0;
    std::vector<std::shared_ptr<TSprite>> mPulseSprites;
    std::vector<std::shared_ptr<TM_Transform2D>> mPulseMovers;
    int32_t mTimeHintFade = 0;
    float mAlphaThessalorHintColor = 0;
    TVec4 mColorThessalorHint = TVec4(0, 0, 0, 1);
    float mAlphaLiraeHintColor = 0;
    TVec4 mColorLiraeHint = TVec4(0, 0, 0, 1);
    TVec4 mColorLiraeTooltip = TVec4(0, 0, 0, 1);
    TVec4 mColorThessalorTooltip = TVec4(0, 0, 0, 1);
    TString mParticleHintLiraeName;
    TString mParticleHintThessalorName;
    TString mParticleHintLiraeSecondaryName;
    TString mParticleHintThessalorSecondaryName;
    std::vector<std::shared_ptr<Godray>> mGodrays;
    TDrawSpec mHintItemSpec;
    TM_Transform2D mHintItemMover{&mHintItemSpec};
    std::array<Callback, kBoundCallbackCount> mBound;

    // The hints' state.
    ParticleVector mMiniHintLocus;
    uint32_t mMiniHintElapsed = 0;
    uint32_t mIdleElapsed = 0;
    int32_t mTokenCharacter = 0;
    int32_t mTokenTrackerIndex = -1;
    int32_t mTokenTargetX = 0;
    int32_t mTokenTargetY = 0;
    std::shared_ptr<TAnimatedSprite> mHintToken;
    std::unique_ptr<TM_Transform2D> mHintTokenMover;
    int32_t mHintCharacter = 0;
    std::shared_ptr<TSprite> mHintSnapshot;
    std::unique_ptr<TM_Transform2D> mHintSnapshotFader;
    // Registered in the systems: declared before them, so it outlives them.
    ParticleVector mHintTokenLocus;
    std::shared_ptr<TLuaParticleSystem> mHintParticle;
    std::shared_ptr<TLuaParticleSystem> mHintParticleSecondary;
    TRect mViewport3d = TRect(0, 0, 800, 600);
    TRect mLiraeHintRect = TRect(0, 0, 0, 0);
    std::shared_ptr<TSprite> mLiraeHintSprite;
    std::array<TColoredVertex, 12> mSpotlightVertices{};
    static const uint16_t kSpotlightIndices[24];
    ParticlePathRandom mLiraePath;
    ParticleVector mLiraeCenter;
    ParticleVector mLiraeAlpha;
    TLuaParticleSystem mLiraeMist;
    TLuaParticleSystem mLiraeMistSecondary;
    TLuaParticleSystem mLiraeSmall;
};
