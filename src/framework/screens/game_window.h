// GameWindow, the base of every full screen and of every pop-up that dims the screen beneath it:
// fades from and to black ending in a close script, the scrim, the window's music, pausing while
// another modal window covers it, its widgets disabled while it fades, and particle systems that
// pop-ups hand on to the screen beneath them.
#pragma once

#include "framework/transforms/transform_target.h"
#include "particles/particle_function.h"
#include "ui/window.h"

#include <cstdint>
#include <map>
#include <memory>
#include <vector>

class TLuaParticleSystem;
class TSprite;

class GameWindow : public TWindow
{
public:
    enum : int32_t
    {
        kFadingIn = 0,
        kFadingOut = 1,
        kIdle = 2,
        kScrimFadingIn = 3,
        kClosing = 4,
        kClosePending = 5
    };

    // The cover quad's size: the framework's screens are 800 x 600.
    static constexpr float kCoverWidth = 800;
    static constexpr float kCoverHeight = 600;

    // Registers its listener with the window manager and posts kUserMessageBase, so that every
    // screen checks again whether it is covered.
    GameWindow();
    ~GameWindow() override;

    // The creator the game registers for "GameWindow"; its address is the class id.
    static TWindow* Create();
    static TClassId GetClassId();

    const char* GetClassName() const override { return "GameWindow"; }
    bool IsKindOf(TClassId id) const override
    {
        return id == GetClassId() || TWindow::IsKindOf(id);
    }
    void Init(TWindowStyle& style) override;
    // Starts the music and restarts the frame clock, so loading time is no frame step.
    void PostInit(TWindowStyle& style) override;
    // The scrim, behind the children.
    void Draw() override;
    // The black cover and the particle systems, over the children.
    void PostDraw() override;
    // Hands the particle systems on to the screen beneath.
    void OnModalPopped() override;
    // The per-frame step the frame driver calls: the close script, the particle systems. True.
    bool Animate() override;

    virtual void Pause();
    virtual void Resume();
    // Just before the close script runs.
    virtual void OnClose() {}
    // Makes the window's textures again after a display reset; false when that failed.
    virtual bool Refresh() { return true; }
    // Starts the fade to black that ends in the script; outside the idle state it only replaces
    // the script.
    virtual void FadeOut(const TString& script);
    virtual void OnScrimInDone();
    virtual void OnScrimOutDone();
    virtual void OnFadeInDone();
    virtual void OnFadeOutDone();

    // Fades the scrim out (a window without one ends at once) and keeps the script; idle only.
    void CloseScrim(const TString& script);
    // Runs the UI enabler over the children: pop-ups moving over the screen disable its widgets.
    void SetWidgetsEnabled(bool enable);

    // What keeps a particle system's registered functions alive while it runs.
    using ParticleFunctions = std::vector<std::shared_ptr<TParticleFunction>>;
    void AddParticleSystem(const std::shared_ptr<TLuaParticleSystem>& system,
                           const ParticleFunctions& functions);

    int32_t GetState() const { return mState; }
    bool IsScrim() const { return mIsScrim != 0; }
    bool IsCovered() const { return mCovered != 0; }
    bool IsCoverActive() const { return mCoverActive != 0; }
    bool HasScrimRect() const { return mHasScrimRect != 0; }
    const TRect& GetScrimRect() const { return mScrimRect; }
    float GetAlpha() { return mTransform.GetAlpha(); }
    int32_t GetMusic() const { return mMusic; }
    const TString& GetCloseScript() const { return mCloseScript; }
    size_t GetParticleSystemCount() const { return mParticleSystems.size(); }
    const std::shared_ptr<TSprite>& GetSprite() const { return mSprite; }

    // Offered every message without a target window; never takes one.
    class MessageListener : public TMessageListener
    {
    public:
        explicit MessageListener(GameWindow* window) : mWindow(window) {}
        bool OnMessage(TMessage* message) override;

    private:
        GameWindow* mWindow;
    };

    // Enables or disables the widgets of a subtree.
    class UIEnabler : public TWindowSpider
    {
    public:
        bool Visit(TWindow* window) override;

        // Framework buttons and sliders are enabled by the visit itself; an installed enabler
        // takes their place for every window visited (tests use it for widget stand-ins).
        using WidgetEnabler = void (*)(TWindow* window, bool enable);
        static void SetButtonEnabler(WidgetEnabler enabler);

        uint8_t mEnable = 0;
    };

protected:
    // Reads the style's music and plays it through the audio manager.
    void PlayMusic(const TString& name);
    // Fades the music out when this window still plays it.
    void FadeOutMusic();
    // One alpha fade on the window's transform that calls `done` when the transform ends.
    void StartFade(float from, float to, uint32_t ms, void (GameWindow::*done)());
    // Whether the window manager delivers an untargeted message to this window along the focus
    // path anyway (so the listener need not hand it over a second time).
    bool IsOnDeliveryPath() const;
    // Covered by another modal window than its own: pauses or resumes on a change.
    void CheckCovered();

    int32_t mState = kIdle;
    float mScrimAlpha = 0.85f;
    // Declared before the transform, which works on its draw spec.
    std::shared_ptr<TSprite> mSprite;
    TRect mScrimRect;
    uint32_t mScrimTime = 200;
    TM_Transform2D mTransform;
    uint8_t mHasScrimRect = 0;
    uint32_t mFadeTime = 250;
    uint8_t mIsScrim = 0;
    uint8_t mCoverActive = 0;
    uint8_t mClosePending = 0;
    uint8_t mPauseMusicOnPause = 0;
    uint8_t mPopChildren = 0;
    TString mCloseScript;
    UIEnabler mUIEnabler;
    MessageListener* mMessageListener = nullptr;
    uint8_t mCovered = 0;
    uint8_t mMusicStopped = 1;
    int32_t mMusic = 0;
    uint32_t mMusicFadeTime = 1000;
    // A pre-coloured vertex (vertex-set kind 2, 32 bytes).
    struct CoverVertex
    {
        float x, y, z;
        float w;
        uint32_t diffuse;
        uint32_t specular;
        float u, v;
    };
    CoverVertex mCoverQuad[4];
    static const uint16_t kCoverIndices[6];
    std::map<std::shared_ptr<TLuaParticleSystem>, ParticleFunctions> mParticleSystems;
    // Set while this window holds the script function "FadeOut".
    bool mFadeOutBound = false;
};
