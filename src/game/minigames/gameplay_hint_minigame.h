// GameplayHintMinigame: the window of a character's hint minigame, started by the scene runner when
// the player spends a medallion press on earning a hint. Only what the runner drives is here: the
// start with its four notices, pause and resume with the location, the end of a miss-click
// penalty, the texture rebuild after a display reset and the penalty dialog's flag.
#pragma once

#include "ui/window.h"

#include <cstdint>

struct Callback;
class GameplayScene;

class GameplayHintMinigame : public TWindow
{
public:
    GameplayHintMinigame() = default;
    ~GameplayHintMinigame() override = default;

    // The notices (borrowed, kept until the next start): back to play, a hint earned, the earned
    // token on its way, and a miss-click penalty.
    struct HintCallbacks
    {
        Callback* leave = nullptr;
        Callback* hintEarned = nullptr;
        Callback* tokenMove = nullptr;
        Callback* crazyClick = nullptr;
    };

    virtual void Start(uint32_t flag, GameplayScene* scene, const HintCallbacks& callbacks)
    {
        mFlag = flag;
        mScene = scene;
        mCallbacks = callbacks;
    }
    virtual void Pause() {}
    virtual void Resume() {}
    virtual void EndPenalty() { ClearDialogUp(); }
    virtual bool RecreateTextures() { return true; }

    // The penalty dialog is up.
    bool IsDialogUp() const { return mDialogUp != 0; }
    void ClearDialogUp() { mDialogUp = 0; }

protected:
    uint32_t mFlag = 0;
    GameplayScene* mScene = nullptr;
    HintCallbacks mCallbacks;
    uint8_t mDialogUp = 0;
};
