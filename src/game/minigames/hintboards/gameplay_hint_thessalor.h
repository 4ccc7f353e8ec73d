// GameplayHintThessalor: Thessalor's hint minigame, a timed word game. A row of goal letters
// shows; letters drift back and forth across a masked play area; the player clicks a letter whose
// text and colour equal those of a goal still open, and it flies into that goal. Every goal
// filled before the timer hand has turned solves the board; the time running out brings the
// frame's fail dialog.
#pragma once

#include "game/minigames/hintboards/gameplay_hint_minigame.h"
#include "platform/maths/random.h"
#include "platform/strings/tstring.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

class GameplayHintThessalorGoal;
class GameplayHintThessalorText;
class TSprite;

class GameplayHintThessalor : public GameplayHintMinigame
{
public:
    // The mask overlay covers the screen the board assumes.
    static constexpr uint32_t kMaskWidth = 800;
    static constexpr uint32_t kMaskHeight = 600;

    GameplayHintThessalor();
    ~GameplayHintThessalor() override;

    // The creator registered for "GameplayHintThessalor"; its address is the class id.
    static TWindow* Create();
    static TClassId GetClassId();
    const char* GetClassName() const override { return "GameplayHintThessalor"; }
    bool IsKindOf(TClassId id) const override
    {
        return id == GetClassId() || TWindow::IsKindOf(id);
    }

    void PostInit(TWindowStyle& style) override;
    void Draw() override;
    bool Update() override;
    // Judges the click; always false, so the press travels on as unhandled presses do.
    bool OnMouseDown(TPoint point) override;

    void Pause() override;
    void Resume() override;
    bool RecreateTextures() override;
    void BeginOutro() override;
    void EndMinigame() override;
    void Finish() override;
    void OnIntroDone(int32_t value) override;
    void Reset() override;

    void OnGoalsShown();
    void OnPiecesShown();
    void OnTimeUp();
    void OnPiecePlaced();

    // The first unsolved goal with the piece's text and exactly its colour, which then becomes
    // the piece's target; the goal count when none.
    size_t FindGoalFor(GameplayHintThessalorText& piece);
    bool AllGoalsSolved() const;

    const std::vector<TString>& GetValidStrings() const { return mValidStrings; }
    const std::vector<TVec4>& GetColors() const { return mColors; }
    const std::vector<std::shared_ptr<GameplayHintThessalorText>>& GetPieces() const
    {
        return mPieces;
    }
    const std::vector<std::shared_ptr<GameplayHintThessalorGoal>>& GetGoals() const
    {
        return mGoals;
    }
    const TRect& GetBounds() const { return mBounds; }
    int32_t GetMinigameLength() const { return mMinigameLength; }
    float GetTimerRotation() const { return mTimerRotation; }
    int32_t GetTextFadeTime() const { return mTextFadeTime; }
    int32_t GetClickableDelayMax() const { return mClickableDelayMax; }
    bool IsMaskPending() const { return mMaskPending != 0; }
    TM_Transform2D& GetGoalLayer() { return mGoalTransform; }
    TM_Transform2D& GetPieceLayer() { return mPieceTransform; }
    TM_Transform2D& GetTimerTransform() { return *mTimerTransform; }
    const TDrawSpec& GetTimerPlace() const { return mTimerPlace; }
    const std::shared_ptr<TSprite>& GetBackground() const { return mBackground; }
    const std::shared_ptr<TSprite>& GetForeground() const { return mForeground; }
    const std::shared_ptr<TSprite>& GetTimer() const { return mTimer; }
    const std::shared_ptr<TSprite>& GetTimerBackground() const { return mTimerBackground; }
    const std::shared_ptr<TSprite>& GetMask() const { return mMask; }
    const std::shared_ptr<TSprite>& GetMaskOverlay() const { return mMaskOverlay; }
    TRandom& GetRandom() { return mRandom; }

private:
    // False when loading must stop (a fatal report was made).
    bool LoadPieces(TWindowStyle& style);
    void LoadImages(TWindowStyle& style);
    // Gives each piece a text and a colour drawn from the lists.
    void DrawPieceLooks();
    // As many distinct texts among the letters as there are goals, where the lists allow it.
    void GiveEveryGoalALetter();
    void FillGoals();
    void FadeInPieces();
    void StartTimer();
    void PrepareMaskTexture();
    bool RenderMask();
    void RemoveOwnTransforms(bool layers, bool timer);
    static void GoalsShownAdapter(void* object, TM_Transform* target, uint32_t id);
    static void PiecesShownAdapter(void* object, TM_Transform* target, uint32_t id);
    static void TimeUpAdapter(void* object, TM_Transform* target, uint32_t id);
    static void PlacedAdapter(void* object, TM_Transform* target, uint32_t id);

    uint8_t mMaskPending = 0;
    TRandom mRandom;
    std::vector<TString> mValidStrings;
    std::vector<TVec4> mColors;
    std::vector<std::shared_ptr<GameplayHintThessalorText>> mPieces;
    std::vector<std::shared_ptr<GameplayHintThessalorGoal>> mGoals;
    std::shared_ptr<SoundEffect> mSoundCorrect;
    std::shared_ptr<SoundEffect> mSoundPlaced;
    TDrawSpec mGoalSpec;
    TM_Transform2D mGoalTransform{&mGoalSpec};
    TDrawSpec mPieceSpec;
    TM_Transform2D mPieceTransform{&mPieceSpec};
    std::shared_ptr<TSprite> mTimer;
    std::unique_ptr<TM_Transform2D> mTimerTransform;
    // Where the hand stands (the background's matrix); the hand's own matrix only turns, or the
    // turn would swing the hand about the screen's corner.
    TDrawSpec mTimerPlace;
    std::shared_ptr<TSprite> mBackground;
    std::shared_ptr<TSprite> mForeground;
    std::shared_ptr<TSprite> mTimerBackground;
    std::shared_ptr<TSprite> mMask;
    std::shared_ptr<TSprite> mMaskOverlay;
    TRect mBounds;
    Callback mPlacedCallback;
    int32_t mMinigameLength = 0;
    float mTimerRotation = 0;
    int32_t mTextFadeTime = 0;
    int32_t mClickableDelayMax = 0;
};
