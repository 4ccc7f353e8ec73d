// GameplayHintLirae: Lirae's hint minigame, a timed matching game over a ghost view of the scene
// the player is in. The current token shows a picture; the player clicks the drifting clickable
// with the same picture before the timer hand has turned; a wrong click runs the penalty.
#pragma once

#include "game/minigames/hintboards/gameplay_hint_minigame.h"
#include "platform/maths/random.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

class GameplayHintLiraeClickable;
class GameplayHintLiraeToken;
class TSprite;

class GameplayHintLirae : public GameplayHintMinigame
{
public:
    // The screen the board and its ghost view assume.
    static constexpr int32_t kSceneWidth = 800;
    static constexpr int32_t kSceneHeight = 475;
    static constexpr uint32_t kGhostWidth = 800;
    static constexpr uint32_t kGhostHeight = 600;

    GameplayHintLirae();
    ~GameplayHintLirae() override;

    // The creator registered for "GameplayHintLirae"; its address is the class id.
    static TWindow* Create();
    static TClassId GetClassId();
    const char* GetClassName() const override { return "GameplayHintLirae"; }
    bool IsKindOf(TClassId id) const override
    {
        return id == GetClassId() || TWindow::IsKindOf(id);
    }

    void PostInit(TWindowStyle& style) override;
    void Draw() override;
    bool Update() override;
    bool OnMouseDown(TPoint point) override;

    void Start(uint32_t flag, GameplayScene* scene, const HintCallbacks& callbacks) override;
    void Pause() override;
    void Resume() override;
    bool RecreateTextures() override;
    void BeginOutro() override;
    void EndMinigame() override;
    void Finish() override;
    void OnIntroDone(int32_t value) override;
    void Reset() override;

    void OnTimeUp();
    void OnClickablePlaced();

    const std::vector<std::shared_ptr<GameplayHintLiraeClickable>>& GetClickables() const
    {
        return mClickables;
    }
    const std::vector<std::shared_ptr<GameplayHintLiraeToken>>& GetTokens() const
    {
        return mTokens;
    }
    const std::vector<TVec2>& GetDestinations() const { return mDestinations; }
    size_t GetCurrentToken() const { return mCurrentToken; }
    const TRect& GetBounds() const { return mBounds; }
    TVec2 GetSceneOffset() const
    {
        return TVec2(mSceneSpec.mMatrix.m[2][0], mSceneSpec.mMatrix.m[2][1]);
    }
    TM_Transform2D& GetGhostTransform() { return mGhostTransform; }
    TM_Transform2D& GetTimerTransform() { return *mTimerTransform; }
    const std::shared_ptr<TSprite>& GetGhostOverlay() const { return mGhostOverlay; }
    const std::shared_ptr<TSprite>& GetForeground() const { return mForeground; }
    const std::shared_ptr<TSprite>& GetTimer() const { return mTimer; }
    const TDrawSpec& GetTimerPlace() const { return mTimerPlace; }
    bool IsGhostPending() const { return mGhostPending != 0; }
    int32_t GetMinigameLength() const { return mMinigameLength; }

private:
    // Fatal reports for the three tables; false when loading must stop.
    bool LoadPieces(TWindowStyle& style);
    void LoadImages(TWindowStyle& style);
    void AdvanceToken();
    void PrepareGhostTexture();
    bool RenderGhostMask();
    static void TimeUpAdapter(void* object, TM_Transform* target, uint32_t id);
    static void PlacedAdapter(void* object, TM_Transform* target, uint32_t id);

    uint8_t mGhostPending = 0;
    TRect mBounds;
    std::vector<std::shared_ptr<GameplayHintLiraeClickable>> mClickables;
    std::vector<std::shared_ptr<GameplayHintLiraeToken>> mTokens;
    size_t mCurrentToken = 0;
    std::vector<TVec2> mDestinations;
    TRandom mRandom;
    std::shared_ptr<SoundEffect> mSoundCorrect;
    std::shared_ptr<SoundEffect> mSoundPlaced;
    std::shared_ptr<TSprite> mTimer;
    std::unique_ptr<TM_Transform2D> mTimerTransform;
    // Where the hand stands (the background's matrix); the hand's own matrix only turns.
    TDrawSpec mTimerPlace;
    std::shared_ptr<TSprite> mBackground;
    std::shared_ptr<TSprite> mForeground;
    std::shared_ptr<TSprite> mTimerBackground;
    TDrawSpec mSceneSpec;
    std::shared_ptr<TSprite> mGhostOverlay;
    std::shared_ptr<TSprite> mGhostMask;
    TDrawSpec mGhostSpec;
    TM_Transform2D mGhostTransform{&mGhostSpec};
    Callback mPlacedCallback;
    int32_t mMinigameLength = 0;
    int32_t mGhostFadeTime = 0;
    float mTimerRotation = 0;
};
