// SplashScreen, the game's first screen: an optional publisher image, the studio logo that
// assembles itself from its own pixels flying in on spirals, a second studio image and a fade to
// black, while it makes the volume groups and preloads assets one per frame; then the main menu.
#pragma once

#include "framework/screens/game_window.h"
#include "framework/transforms/transform_target.h"
#include "platform/strings/tstring.h"
#include "render/renderer/draw_spec.h"

#include <cstdint>
#include <memory>
#include <vector>

class TLuaTable;
class TRenderer;
class TSprite;
class TText;

class SplashScreen : public GameWindow
{
public:
    enum : int32_t
    {
        kPublisher = 0,
        kPublisherOutro = 1,
        kStudioIntro = 2,
        kStudioSetUp = 3,
        kStudioHold = 4,
        kOutro = 5
    };

    // The canvas the logo's pixels are drawn on; the screen assumes the 800 x 600 display.
    static constexpr int32_t kCanvasWidth = 800;
    static constexpr int32_t kCanvasHeight = 600;
    // The statement that leaves for the main menu.
    static constexpr const char* kSwapStatement = "SwapToModal( 'scripts/mainmenu.lua' );";

    // One opaque pixel of the logo and its flight.
    struct PixelRecord
    {
        uint32_t mColour = 0;
        float mStart = 0;
        float mX0 = 0;
        float mSpin = 0;
        float mY0 = 0;
    };

    SplashScreen();
    ~SplashScreen() override;

    static TWindow* Create();
    static TClassId GetClassId();

    const char* GetClassName() const override { return "SplashScreen"; }
    bool IsKindOf(TClassId id) const override
    {
        return id == GetClassId() || GameWindow::IsKindOf(id);
    }
    void PostInit(TWindowStyle& style) override;
    void Draw() override;
    void PostDraw() override;
    // The per-frame step: one preload item, the phase's clock and its stage changes.
    bool Animate() override;
    bool OnMouseDown(TPoint point) override;
    bool OnKeyDown(char key, int32_t modifiers) override;

    int32_t GetPhase() const { return mPhase; }
    bool IsLoading() const { return mLoading; }
    uint32_t GetElapsed() const { return mElapsed; }
    const std::vector<PixelRecord>& GetPixels() const { return mPixels; }
    const std::shared_ptr<TSprite>& GetCanvasSprite() const { return mCanvasSprite; }
    const std::shared_ptr<TSprite>& GetBrandingSprite() const { return mBrandingSprite; }
    size_t GetPendingAssetCount() const { return mGraphicsToLoad.size() + mAudioToLoad.size(); }

    // The trail: every canvas texel with an alpha of at least 4 loses 4 of it, colour kept.
    static void FadeTrail(uint32_t* pixels, int32_t pitch);
    // One intro frame of the records at time t (0..1) on a locked canvas.
    static void DrawIntro(const std::vector<PixelRecord>& records, float t, uint32_t* pixels,
                          int32_t pitch);

private:
    // Reads one "soundgroups" list into groups under `parent`; false when it is missing.
    bool AddGroups(const TLuaTable& groups, const char* key, int32_t parent);
    void ReadPreloadLists(TWindowStyle& style);
    void PreloadOne();
    void StartPublisherOutro();
    void StartStudio();
    void StartHold();
    void StartOutro();
    // The intro or hold frame on the locked canvas; `line` names the frame kind in a lock report.
    void CanvasFrame(bool intro, int line);
    // One fade of `target`'s alpha from its current value.
    static void FadeAlpha(TM_Transform* target, float to, uint32_t ms);
    void DrawBlackQuad(uint32_t alpha);

    TRenderer* mRenderer = nullptr;
    int32_t mPhase = kPublisher;
    bool mLoading = true;
    std::shared_ptr<TSprite> mBrandingSprite;
    std::shared_ptr<TSprite> mScreen1Sprite;
    std::shared_ptr<TSprite> mScreen2Sprite;
    TDrawSpec mOverlaySpec;
    TM_Transform2D mBrandingTransform;
    TM_Transform2D mScreen2Transform;
    TM_Transform2D mOverlayTransform;
    TDrawSpec mNoticeSpec;
    TM_Transform2D mNoticeTransform;
    TText* mNoticeText = nullptr;
    std::vector<TString> mGraphicsToLoad;
    std::vector<TString> mAudioToLoad;
    int32_t mSoundLogo = 0;
    uint32_t mElapsed = 0;
    uint32_t mPublisherDuration = 0;
    uint32_t mPublisherOutro = 0;
    uint32_t mTovrixIntro = 0;
    uint32_t mTovrixDuration = 0;
    uint32_t mTovrixOutro = 0;
    CoverVertex mBlackQuad[4];
    std::vector<PixelRecord> mPixels;
    std::shared_ptr<TSprite> mCanvasSprite;
    std::unique_ptr<TM_Transform2D> mCanvasTransform;
    // The swap to the main menu runs once: the screen lives on until the toolkit deletes it.
    bool mSwapped = false;
};
