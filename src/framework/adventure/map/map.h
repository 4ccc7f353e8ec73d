// Map: the travel screen between two locations. Over the gameplay screen it fades in briefly and
// then opens the full map; as the full map it shows the large map, zooms to the current location,
// plays the leg's vignette while the route is revealed, flashes lightning, and runs the script's
// "ContinueMap();" when the journey is over.
#pragma once

#include "framework/adventure/map/map_travel.h"
#include "framework/screens/game_window.h"
#include "framework/transforms/transform_target.h"
#include "framework/widgets/particle_functions.h"
#include "platform/strings/tstring.h"
#include "render/renderer/draw_spec.h"

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

class TextObject;
class TLuaParticleSystem;
class TSprite;
class TVButton;

class Map : public GameWindow
{
public:
    enum : int32_t
    {
        kLargeMap = 0,
        kZooming = 1,
        kTravelling = 2,
        kTravelDone = 3,
        kOverlay = 4
    };

    // Focusable, and takes the keyboard focus at once.
    Map();
    ~Map() override;

    // The creator the game registers for "Map"; its address is the class id.
    static TWindow* Create();
    static TClassId GetClassId();
    const char* GetClassName() const override { return "Map"; }
    bool IsKindOf(TClassId id) const override
    {
        return id == GetClassId() || GameWindow::IsKindOf(id);
    }

    // Reads the style (a missing table is a fatal report), marks the record as on the map and
    // saves it, and starts the overlay when opened over the gameplay screen.
    void PostInit(TWindowStyle& style) override;
    void Draw() override;
    // 1001 (the focus lost) presses "menu"; 1002 pauses a map its script paused again.
    bool OnMessage(TMessage* message) override;
    bool OnKeyDown(char, int32_t) override { return false; }
    bool Animate() override;
    // In the overlay the script waits for the full map; elsewhere the map pauses and fades.
    void FadeOut(const TString& script) override;

    // The per-frame step, only while the window is idle and the map not paused.
    void Update();
    // The script functions.
    void MapButtonPress();
    void PauseMap();
    void ResumeMap();

    // The statement that opens the full map, the handed-over fade-out quoted as a script string.
    static TString FullMapStatement(const TString& fadeOut);

    int32_t GetMapState() const { return mMapState; }
    bool IsPaused() const { return mPaused; }
    bool OwnsScriptFunctions() const { return mOwnsScriptFunctions; }
    const TString& GetPendingFadeOut() const { return mPendingFadeOut; }
    const std::shared_ptr<MapTravel>& GetTravel() const { return mTravel; }
    const std::shared_ptr<TSprite>& GetLargeMap() const { return mLargeMap; }
    const std::shared_ptr<TSprite>& GetRoute() const { return mRoute; }
    const std::shared_ptr<TSprite>& GetLightning() const { return mLightning; }
    const std::vector<std::shared_ptr<TextObject>>& GetTexts() const { return mTexts; }
    const TDrawSpec& GetOverlaySpec() const { return mOverlaySpec; }
    const TDrawSpec& GetMarkerSpec() const { return mMarkerSpec; }
    float GetLightningAlpha() const { return mLightningAlpha; }
    int32_t GetUntilStrike() const { return mUntilStrike; }
    int32_t GetLightningSound() const { return mLightningSound; }
    const std::shared_ptr<TLuaParticleSystem>& GetParticles() const { return mParticles; }
    // Sets the route's reveal rectangle and pivot for the marker's place (travelling state).
    void RevealRoute();
    // Tests set the direction and the marker to look at one reveal.
    void SetDirection(int32_t direction) { mDirection = direction; }
    TM_Transform2D& GetMarkerTransform() { return mMarkerTransform; }

private:
    static void OnZoomDone(void* object, TM_Transform* target, uint32_t id);
    static void OnLayersShown(void* object, TM_Transform* target, uint32_t id);
    static void OnCrossingDone(void* object, TM_Transform* target, uint32_t id);
    static void OnTravelDone(void* object, TM_Transform* target, uint32_t id);
    static void OnOverlayDone(void* object, TM_Transform* target, uint32_t id);
    void StartRouteTravel();
    void OpenFullMap();
    void StartZoom();
    void StepLightning(uint32_t step);
    // "min" plus a random part below max − min; "min" alone when max is not above it.
    int32_t NextStrikeInterval() const;
    // The buttons among the children.
    std::vector<TVButton*> Buttons() const;
    void DisableButtons();
    void BindScriptFunctions();
    std::array<TM_Transform*, 3> Transforms()
    {
        return {&mOverlayTransform, &mMarkerTransform, &mLargeMapTransform};
    }

    TString mPendingFadeOut;
    bool mPaused = false;
    bool mOwnsScriptFunctions = false;
    int32_t mMapState = kLargeMap;
    std::shared_ptr<MapTravel> mTravel;
    TDrawSpec mOverlaySpec;
    TDrawSpec mMarkerSpec;
    std::shared_ptr<TSprite> mLargeMap;
    std::shared_ptr<TSprite> mRoute;
    TM_Transform2D mOverlayTransform;
    TM_Transform2D mMarkerTransform;
    TM_Transform2D mLargeMapTransform;
    int32_t mDirection = 0;
    std::vector<std::shared_ptr<TextObject>> mTexts;
    uint32_t mTimer = 0;
    uint32_t mTimeShowLargeMap = 0;
    uint32_t mTimeMapCrossfade = 0;
    uint32_t mTimeScreenFade = 0;
    float mScaleMapLarge = 1.0f;
    std::shared_ptr<TLuaParticleSystem> mParticles;
    std::shared_ptr<ParticleVector> mLocus;
    std::shared_ptr<TSprite> mLightning;
    bool mHasLightning = false;
    float mLightningAlpha = 0;
    int32_t mUntilStrike = 0;
    uint32_t mSinceStrike = 0;
    uint32_t mMinBetweenStrikes = 0;
    uint32_t mMaxBetweenStrikes = 0;
    uint32_t mTimeStayFlashed = 0;
    float mMaxLightningAlpha = 0;
    int32_t mLightningSound = 0;
    // The overlay's end runs inside the transform manager's pass: the full map opens on the next
    // frame, when this window can go.
    bool mOpenFullMapDue = false;
};
