// GameplayJournal: the journal page the player opens from the HUD during a location: the goals
// (which carried objects still fit which areas) and the entries the events have switched on. The
// page is composed into a texture of its own, flies in growing and fading from a point, stays
// open with its close button, and flies back when closed.
#pragma once

#include "framework/transforms/transform_manager.h"
#include "framework/transforms/transform_target.h"
#include "platform/maths/geometry.h"
#include "platform/strings/tstring.h"
#include "ui/window.h"

#include <cstdint>
#include <memory>
#include <vector>

class GameplayArea;
class GameplayInventory;
class SoundEffect;
class TextObject;
class TSprite;
class TWindowStyle;

class GameplayJournal : public TWindow
{
public:
    enum : int32_t
    {
        kClosed = 0,
        kFlying = 1,
        kOpen = 2,
        kWaitingForPage = 3
    };

    // The scrim's 32-byte screen vertex.
    struct Vertex
    {
        float mX = 0;
        float mY = 0;
        float mZ = 0;
        float mW = 0.5f;
        uint32_t mColour = 0;
        uint32_t mSecond = 0;
        float mU = 0;
        float mV = 0;
    };

    // Binds "JournalCloseButtonPressed" to this journal.
    GameplayJournal();
    // Unbinds the script function only while it is still this journal's.
    ~GameplayJournal() override;

    static TWindow* Create();
    static TClassId GetClassId();

    const char* GetClassName() const override { return "GameplayJournal"; }
    bool IsKindOf(TClassId id) const override
    {
        return id == GetClassId() || TWindow::IsKindOf(id);
    }
    // The style's keys; without "textright" or "textrightheader" a fatal report and nothing more.
    void PostInit(TWindowStyle& style) override;
    void Draw() override;
    bool Animate() override { return Update(); }
    // The two sounds' delays, then in state 3 the page (composed again while it is missing) and
    // the fly-in once it is there.
    bool Update();

    // Builds the goal lines of the shown objects against the areas, in the areas' order, then the
    // entries (string-table keys), and composes the page; the callback (borrowed) is called once
    // the journal has closed again. A `note` (a string-table key) stands above the goals: why the
    // journal opened, when the player did not ask for it.
    void Open(const std::vector<GameplayInventory*>& shown, const std::vector<GameplayArea*>& areas,
              const std::vector<TString>& entries, Callback* closeCallback,
              const TString& note = TString());
    // What "JournalCloseButtonPressed" does: the fly-out.
    void Close();
    // Renders the page into its texture; true at once when there is nothing to render.
    bool CreateTextures();

    // The goal text Open builds, without the entries.
    TString BuildGoalText(const std::vector<GameplayInventory*>& shown,
                          const std::vector<GameplayArea*>& areas) const;

    int32_t GetState() const { return mState; }
    bool IsPageReady() const { return mPageReady; }
    TM_Transform2D& GetPageTransform() { return mPageTransform; }
    const std::shared_ptr<TSprite>& GetPageSprite() const { return mPageSprite; }
    const std::shared_ptr<TextObject>& GetGoalText() const { return mGoalText; }
    const std::shared_ptr<TextObject>& GetHeaderText() const { return mHeaderText; }
    TWindow* GetCloseButton() const { return mCloseButton; }
    const std::shared_ptr<SoundEffect>& GetSoundEnter() const { return mSoundEnter; }
    const std::shared_ptr<SoundEffect>& GetSoundExit() const { return mSoundExit; }
    // The scrim's alpha byte at the page's present alpha.
    uint32_t GetScrimAlpha();

private:
    static void OnOpened(void* object, TM_Transform* target, uint32_t id);
    static void OnClosed(void* object, TM_Transform* target, uint32_t id);
    void Fly(float fromAlpha, float toAlpha, float fromScale, float toScale, const TVec2& from,
             const TVec2& to, int32_t time, void (*handler)(void*, TM_Transform*, uint32_t));
    void ShowCloseButton(bool shown);
    void DrawScrim(uint32_t alpha);
    // The four page elements in the present drawing space.
    void DrawContents();
    bool RenderPass(int32_t kind, int line);
    TString Coloured(const TString& text) const;

    int32_t mState = kClosed;
    int32_t mTimeIntro = 0;
    int32_t mTimeOutro = 0;
    TVec2 mDisabledPos;
    TVec2 mEnabledPos;
    std::shared_ptr<TSprite> mPageSprite;
    TM_Transform2D mPageTransform;
    std::shared_ptr<TSprite> mImageSprite;
    std::shared_ptr<TSprite> mLeftImageSprite;
    TWindow* mCloseButton = nullptr;
    std::shared_ptr<TextObject> mGoalText;
    std::shared_ptr<TextObject> mHeaderText;
    Callback* mCloseCallback = nullptr;
    TString mGoalColor;
    TString mGoalBeginning;
    TString mGoalPreArea;
    TString mGoalPostArea;
    TString mGoalSep;
    TString mGoalSepLast;
    std::shared_ptr<SoundEffect> mSoundEnter;
    std::shared_ptr<SoundEffect> mSoundExit;
    Vertex mScrim[4];
    uint16_t mScrimIndices[6] = {0, 1, 2, 0, 2, 3};
    float mScrimMax = 0;
    bool mPageReady = false;
    // Whether this opening's page has been composed; a page that failed is composed again.
    bool mPageComposed = false;
};
