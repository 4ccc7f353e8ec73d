// GameplayHintMinigame: the window both hint characters' minigames are built on. The scene runner
// starts it when the player spends a medallion press on earning a hint; it owns what the two boards
// share: the black scrim, the panel that zooms in from the medallion and back, the finale text, the
// tutorial and exit buttons, the help and fail dialogs, four sounds, the two script functions, the
// state machine from intro to hidden and the notices to the runner. A subclass supplies the board.
#pragma once

#include "framework/transforms/transform_manager.h"
#include "framework/transforms/transform_target.h"
#include "render/renderer/draw_spec.h"
#include "render/renderer/vertex_set.h"
#include "ui/window.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <utility>
#include <vector>

class GameplayDialog;
class GameplayScene;
class SoundEffect;
class TSprite;
class TextObject;
class TVButton;
class TWindowStyle;

// The runner's notices: the framework's record, told Call(nullptr, value).
using HintCallback = Callback;

class GameplayHintMinigame : public TWindow
{
public:
    enum : int32_t
    {
        kIdle = 0,
        kIntro = 2,
        kPlaying = 3,
        kFinishing = 4,
        kTutorial = 5,
        kOutro = 6,
        kFailDialog = 7
    };

    GameplayHintMinigame();
    ~GameplayHintMinigame() override;

    // The notices (borrowed, kept until the next start): back to play (closed), a hint earned
    // (solved), the earned token on its way (finale ended), and a miss-click penalty.
    struct HintCallbacks
    {
        HintCallback* leave = nullptr;
        HintCallback* hintEarned = nullptr;
        HintCallback* tokenMove = nullptr;
        HintCallback* crazyClick = nullptr;
    };

    // The frame keeps TWindow's class name and kind test: only the boards are window types.
    void PostInit(TWindowStyle& style) override;
    void Draw() override;
    void PostDraw() override;
    // The frame driver's step reaches Update through the animation slot.
    bool Animate() override { return Update(); }
    virtual bool Update();

    // The operations in their fixed order; the frame calls its own through these slots, so a
    // board's extension runs as well.
    virtual void Start(uint32_t flag, GameplayScene* scene, const HintCallbacks& callbacks);
    virtual void Pause();
    virtual void Resume();
    virtual void EndPenalty();
    // Rebuilds render-target textures after the display was reset; the frame has none.
    virtual bool RecreateTextures() { return true; }
    virtual void ShowTutorial();
    virtual void BeginOutro();
    virtual void ShowFailDialog();
    virtual void EndMinigame();
    virtual void StartPenalty();
    virtual void Finish();
    virtual void OnIntroDone(int32_t value);
    virtual void OnHidden(int32_t value);
    virtual void OnTutorialClosed(int32_t value);
    virtual void OnFailDialogClosed(int32_t value);
    virtual void Reset();

    // The penalty is running: the runner's dialog-up flag, which blocks the board's clicks.
    bool IsDialogUp() const { return mPenalty; }
    void ClearDialogUp() { mPenalty = false; }

    int32_t GetState() const { return mState; }
    // The help or the fail dialog is up: it paused the board when it opened, and only its
    // closing lets the board go; the caller's pause and resume leave the board as it is.
    bool IsHeldByDialog() const { return mState == kTutorial || mState == kFailDialog; }
    bool IsSolved() const { return mSolved; }
    TVButton* GetTutorialButton() const { return mTutorialButton; }
    TVButton* GetExitButton() const { return mExitButton; }
    GameplayDialog* GetHelpDialog() const { return mHelpDialog; }
    GameplayDialog* GetFailDialog() const { return mFailDialog; }
    TDrawSpec& GetPanelSpec() { return mPanelSpec; }
    TM_Transform2D& GetPanelTransform() { return mPanelTransform; }
    TM_Transform2D& GetScrimTransform() { return mScrimTransform; }
    TM_Transform2D& GetFinaleTransform() { return mFinaleTransform; }
    // The scrim's alpha byte as the last Draw set it.
    uint8_t GetScrimAlphaByte() const { return static_cast<uint8_t>(mScrim[0].diffuse >> 24); }

protected:
    // Sets the pending delay to the initial delay plus the delay and forgets the listener, so
    // the next updates start it.
    static void Arm(const std::shared_ptr<SoundEffect>& sound);
    // One alpha instruction list on a target (from-current begin where `from` is kFromCurrent).
    static void AddFade(TM_Transform* target, int32_t ms, float from, float to, int32_t delay,
                        Callback* callback);
    void SetButtons(bool enabled, bool fade);
    // Calls the record once and forgets it.
    static void Notify(HintCallback*& callback);
    // The overlay a board draws over its view: made once at its size, then lent to the renderer
    // as its frame texture, so each finished frame is copied into it. A texture that cannot be
    // made is reported with the board's source and line, and nothing is lent.
    static bool LendOverlayAsFrameTexture(TSprite& overlay, int32_t width, int32_t height,
                                          const char* source, int32_t line);
    // Paints the mask's alpha into the overlay through a kind-4 target, inside the bounds.
    static bool PaintMaskIntoOverlay(TSprite& overlay, TSprite& mask, const TRect& bounds,
                                     const char* source, int32_t line);

    // What both boards load and lay out their play with.
    // A style's milliseconds: negative ones are none.
    static uint32_t Ms(int32_t ms);
    // The process-wide generator the platform seeds, in a Fisher-Yates walk: every order equally
    // likely.
    template <class T> static void Shuffle(std::vector<T>& items)
    {
        for (size_t i = items.size(); i > 1; --i)
        {
            const size_t j = static_cast<size_t>(std::rand()) % i;
            std::swap(items[i - 1], items[j]);
        }
    }
    static void PlaceSpec(TDrawSpec& spec, float x, float y);
    // The pictures round a board's play: the background at the screen's centre, the foreground
    // on it, the timer's hand and dial turned about "timercentery" at their middle. The hand's
    // place is the background's, kept in `timerPlace` apart from the hand's own matrix, which the
    // timer's transform turns: a turn of a 2-D transform turns its translation too, and the hand
    // would swing about the screen's corner instead of its hub.
    static void LoadBoardPictures(TWindowStyle& style, TSprite& background, TSprite& foreground,
                                  TSprite& timer, TSprite& timerBackground, TDrawSpec& timerPlace);
    // "soundcorrect" and "soundplaced", each left as it was when the style has none.
    static void LoadBoardSounds(TWindowStyle& style, std::shared_ptr<SoundEffect>& correct,
                                std::shared_ptr<SoundEffect>& placed);
    // "boundsx", "boundsy", "boundsw" and "boundsh": where the board's play shows.
    static TRect ReadBounds(TWindowStyle& style);
    // The timer's hand turns `rotation` over `lengthMs`; `timeUp` is told at the end.
    static void StartTimerTurn(TM_Transform2D& timer, int32_t lengthMs, float rotation, void* owner,
                               Callback::Function timeUp);

    int32_t mState = kIdle;
    TColoredVertex mScrim[4] = {};
    uint16_t mScrimIndices[6] = {0, 1, 2, 0, 2, 3};
    TDrawSpec mScrimSpec;
    TM_Transform2D mScrimTransform{&mScrimSpec};
    TDrawSpec mPanelSpec;
    TM_Transform2D mPanelTransform{&mPanelSpec};
    int32_t mScrimFadeTime = 0;
    float mScrimFadeMax = 0;
    int32_t mBasicFadeTime = 0;
    float mBasicScaleMin = 0;
    TVec2 mBasicPosition;
    int32_t mFinaleFadeTime = 0;
    int32_t mHideDelay = 0;
    int32_t mFinaleTimeToShow = 0;
    uint32_t mOutroTimer = 0;
    std::shared_ptr<TextObject> mFinaleText;
    TDrawSpec mFinaleSpec;
    TM_Transform2D mFinaleTransform{&mFinaleSpec};
    bool mSolved = false;
    bool mPenalty = false;
    int32_t mTutorialIndex = 0;
    TVButton* mTutorialButton = nullptr;
    TVButton* mExitButton = nullptr;
    // onClosed, onSolved, onFinale and onPenalty, each cleared once told (but onPenalty).
    HintCallbacks mCallbacks;
    GameplayDialog* mHelpDialog = nullptr;
    GameplayDialog* mFailDialog = nullptr;
    HintCallback mTutorialClosedRecord;
    HintCallback mFailClosedRecord;
    std::shared_ptr<SoundEffect> mSoundMusic;
    std::shared_ptr<SoundEffect> mSoundIntro;
    std::shared_ptr<SoundEffect> mSoundOutro;
    std::shared_ptr<SoundEffect> mSoundShowHint;
    // What Start was given; the Lirae board draws the scene.
    uint32_t mFlag = 0;
    GameplayScene* mScene = nullptr;

private:
    static void IntroDoneAdapter(void* object, TM_Transform* target, uint32_t value);
    static void HiddenAdapter(void* object, TM_Transform* target, uint32_t value);
    static void TutorialClosedAdapter(void* object, TM_Transform* target, uint32_t value);
    static void FailClosedAdapter(void* object, TM_Transform* target, uint32_t value);
};
