// TextScroll: a full screen that rolls a column of text lines and images up from below its bottom
// edge until the last has left its top edge, then runs a script statement (the credits screen).
#pragma once

#include "framework/screens/game_window.h"
#include "framework/transforms/transform_target.h"
#include "render/renderer/draw_spec.h"

#include <cstdint>
#include <memory>
#include <vector>

class AnimatedBitmap;
class TextObject;

class TextScroll : public GameWindow
{
public:
    // Binds "PauseTextScroll", "ResumeTextScroll" and "RestartTextScroll" to this window.
    TextScroll();
    ~TextScroll() override;

    // The creator the game registers for "TextScroll"; its address is the class id.
    static TWindow* Create();
    static TClassId GetClassId();

    const char* GetClassName() const override { return "TextScroll"; }
    bool IsKindOf(TClassId id) const override
    {
        return id == GetClassId() || GameWindow::IsKindOf(id);
    }
    // Builds the content from "texttypes" and "objects" and starts the scroll.
    void PostInit(TWindowStyle& style) override;
    void Draw() override;
    // 1001 fires the "menu" button; 1002 keeps a paused scroll paused.
    bool OnMessage(TMessage* message) override;
    // The per-frame update: the completion statement once the motion has ended, the images.
    bool Animate() override;

    // Named apart from GameWindow's Pause/Resume, which a covering modal calls: the script's
    // pause is the scroll's own and outlives a cover.
    void PauseScroll();
    void ResumeScroll();
    // Starts the motion from below the window again; a motion still running is dropped first.
    void RestartScroll();

    bool IsPaused() const { return mPaused != 0; }
    bool IsScrollComplete() const { return mScrollComplete != 0; }
    bool HasTextScrim() const { return mTextScrim; }
    const TString& GetCompleteString() const { return mCompleteString; }
    float GetScrollSpeed() const { return mScrollSpeed; }
    float GetScrollDistance() const { return mScrollDistance; }
    // The motion's length in ms for the current distance and speed; 0 when nothing moves.
    uint32_t GetScrollDuration() const;
    const std::vector<std::shared_ptr<TextObject>>& GetTextObjects() const { return mTextObjects; }
    const std::vector<std::shared_ptr<AnimatedBitmap>>& GetImages() const { return mImages; }
    const TDrawSpec& GetDrawSpec() const { return mDrawSpec; }
    TM_Transform2D& GetScrollTransform() { return mScrollTransform; }
    uint32_t GetScrimColor() const { return mScrimQuad[0].diffuse; }

private:
    // False when the build stopped (a table or a text type missing); y is the content height.
    bool BuildContent(TWindowStyle& style, float& y);
    int32_t GetWindowHeight() const;
    static void OnScrollEnd(void* object, TM_Transform* target, uint32_t id);

    uint8_t mPaused = 0;
    uint8_t mScrollComplete = 0;
    bool mTextScrim = false;
    TString mCompleteString;
    float mScrollSpeed = 0;
    float mScrollDistance = 0;
    std::vector<std::shared_ptr<TextObject>> mTextObjects;
    std::vector<std::shared_ptr<AnimatedBitmap>> mImages;
    // Declared before the transform that works on it.
    TDrawSpec mDrawSpec;
    TM_Transform2D mScrollTransform;
    CoverVertex mScrimQuad[4];
    static const uint16_t kScrimIndices[6];
};
