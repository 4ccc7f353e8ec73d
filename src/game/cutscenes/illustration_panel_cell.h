// IllustrationPanelCell: one frame of a cut-scene's film strip: its layers, texts, particle
// effects, speech bubbles and sounds (the live look), the aged still of them rendered once into a
// texture (the inactive look), the fades between the two, and the skip text in its scrim box.
#pragma once

#include "framework/transforms/transform_manager.h"
#include "framework/transforms/transform_target.h"
#include "platform/maths/geometry.h"
#include "platform/maths/random.h"
#include "platform/strings/tstring.h"
#include "render/renderer/draw_spec.h"
#include "render/renderer/vertex_set.h"

#include <cstdint>
#include <memory>
#include <vector>

class IllustrationPanelEntity;
class IllustrationPanelLayer;
class IllustrationPanelParticle;
class IllustrationPanelSpeech;
class IllustrationPanelText;
class SoundEffect;
class TAnimatedSprite;
class TLuaTable;
class TSprite;
class TextObject;

class IllustrationPanelCell
{
public:
    enum State : int32_t
    {
        kCellInactive = 0,
        kCellActive = 1,
        kCellReturning = 2,
        kCellHidden = 3
    };

    using ScrimVertex = TColoredVertex;

    // Reads the cell's table and the shared "cellinfo"; ends hidden. A missing mandatory table is
    // a fatal report and ends loading there; the cell stays safe to use.
    IllustrationPanelCell(const TLuaTable& cell, const TLuaTable& cellInfo);
    ~IllustrationPanelCell();
    IllustrationPanelCell(const IllustrationPanelCell&) = delete;
    IllustrationPanelCell& operator=(const IllustrationPanelCell&) = delete;

    // Per frame: `elapsed` is the frame's step; the spec and mouse are the panel's.
    void Update(uint32_t elapsed, const TDrawSpec& panelSpec, int32_t mouseX, int32_t mouseY);
    void Draw(const TDrawSpec& parent);
    void Pause();
    void Resume();

    void Reset();
    void Hide();
    // The callbacks (not owned) are told once, with a null target.
    void Activate(Callback* done);
    void Deactivate();
    void BeginReturn(Callback* done);
    void ReturnToInactive();
    bool StartNextSpeech(Callback* done);
    void StopSpeech();

    bool IsOverSkipText(const TDrawSpec& panelSpec, int32_t mouseX, int32_t mouseY) const;
    // A colour layer of that name, else a text; empty when none.
    std::shared_ptr<IllustrationPanelLayer> FindEntity(const TString& name) const;
    std::shared_ptr<IllustrationPanelParticle> FindParticle(const TString& name) const;
    std::shared_ptr<SoundEffect> FindSound(const TString& name) const;

    // False, reported and with the texture-refresh request left to the caller, when no texture
    // could be made or drawn into.
    bool RenderInactiveTexture();
    bool HasInactiveTexture() const;
    void StartColorLayers();
    void StopColorLayers();

    int32_t GetState() const { return mState; }
    bool IsTransitioning() const { return mTransitioning; }
    bool IsCrossfade() const { return mCrossfade; }
    bool IsSkipEnabled() const { return mSkipEnabled; }
    void SetSkipEnabled(bool enabled) { mSkipEnabled = enabled; }
    int32_t GetSwapTime() const { return mSwapTime; }
    int32_t GetBubbleDelay() const { return mBubbleDelay; }
    int32_t GetBlotchBuffer() const { return mBlotchBuffer; }
    const TString& GetIntroEvent() const { return mIntroEvent; }
    const TString& GetPostEvent() const { return mPostEvent; }
    TM_Transform2D& GetLiveTransform() { return mLiveTransform; }
    TM_Transform2D& GetInactiveTransform() { return *mInactiveTransform; }
    const std::shared_ptr<TSprite>& GetInactiveSprite() const { return mInactiveSprite; }
    const std::shared_ptr<TAnimatedSprite>& GetBlotchSprite() const { return mBlotchSprite; }
    const std::vector<std::shared_ptr<TSprite>>& GetStaticSprites() const { return mStaticSprites; }
    const std::vector<std::shared_ptr<IllustrationPanelLayer>>& GetColorLayers() const
    {
        return mColorLayers;
    }
    const std::vector<std::shared_ptr<IllustrationPanelText>>& GetTexts() const { return mTexts; }
    const std::vector<std::shared_ptr<IllustrationPanelParticle>>& GetParticles() const
    {
        return mParticles;
    }
    const std::vector<std::shared_ptr<IllustrationPanelSpeech>>& GetSpeechBubbles() const
    {
        return mSpeechBubbles;
    }
    size_t GetSpeechCursor() const { return mSpeechCursor; }
    const std::vector<IllustrationPanelEntity*>& GetDrawList() const { return mDrawList; }
    const std::vector<std::shared_ptr<SoundEffect>>& GetSoundEffects() const
    {
        return mSoundEffects;
    }
    const TRect& GetSkipRect() const { return mSkipRect; }
    const ScrimVertex* GetSkipVertices() const { return mSkipVertices; }
    const std::shared_ptr<TextObject>& GetSkipText() const { return mSkipText; }

private:
    bool Load(const TLuaTable& cell, const TLuaTable& cellInfo);
    bool LoadSkipText(const TLuaTable& cellInfo);
    // A new element of the list, also appended to the draw list.
    template <class Entity>
    void Append(std::vector<std::shared_ptr<Entity>>& list, TLuaTable& table);
    void DrawAged();
    void DrawScrim(const TDrawSpec& combined);
    // The inactive texture's size, and the area the blotches may fall in.
    void InactiveSize(uint32_t& width, uint32_t& height);
    void TrimSize(uint32_t& width, uint32_t& height);
    void StopSounds();
    void Fade(TM_Transform2D& look, float to, void (*end)(void*, TM_Transform*, uint32_t));
    static void OnActivateDone(void* object, TM_Transform* target, uint32_t value);
    static void OnDeactivateDone(void* object, TM_Transform* target, uint32_t value);
    static void OnReturnDone(void* object, TM_Transform* target, uint32_t value);
    static void OnSpeechDone(void* object, TM_Transform* target, uint32_t value);

    bool mCrossfade = false;
    bool mSkipEnabled = true;
    bool mTransitioning = false;
    int32_t mBlotchBuffer = 0;
    int32_t mState = kCellHidden;
    int32_t mSwapTime = 0;
    int32_t mBubbleDelay = 0;
    float mStaticMin = 0;
    float mStaticMax = 0;
    TRandom mRandom;
    TString mIntroEvent;
    TString mPostEvent;
    std::shared_ptr<TSprite> mOverlaySprite;
    TDrawSpec mLiveSpec;
    TM_Transform2D mLiveTransform{&mLiveSpec};
    std::shared_ptr<TSprite> mInactiveSprite;
    std::unique_ptr<TM_Transform2D> mInactiveTransform;
    Callback mSpeechHook{this, &OnSpeechDone};
    Callback* mActivateCallback = nullptr;
    Callback* mReturnCallback = nullptr;
    Callback* mSpeechCallback = nullptr;
    std::shared_ptr<TSprite> mGradientSprite;
    std::shared_ptr<TSprite> mTrimSprite;
    std::shared_ptr<TAnimatedSprite> mBlotchSprite;
    std::vector<std::shared_ptr<TSprite>> mStaticSprites;
    std::vector<std::shared_ptr<IllustrationPanelLayer>> mColorLayers;
    std::vector<std::shared_ptr<IllustrationPanelText>> mTexts;
    std::vector<std::shared_ptr<IllustrationPanelParticle>> mParticles;
    std::vector<std::shared_ptr<IllustrationPanelSpeech>> mSpeechBubbles;
    size_t mSpeechCursor = 0;
    std::vector<IllustrationPanelEntity*> mDrawList;
    std::vector<std::shared_ptr<SoundEffect>> mSoundEffects;
    TRect mSkipRect;
    uint16_t mSkipIndices[6] = {0, 1, 2, 0, 2, 3};
    ScrimVertex mSkipVertices[4] = {};
    TVec4 mSkipColor;
    TVec4 mSkipColorHilight;
    std::shared_ptr<TextObject> mSkipText;
    // "width" and "height": the cell's size, and the inactive texture's when no overlay has one.
    int32_t mWidth = 0;
    int32_t mHeight = 0;
    bool mSizeFallbackLogged = false;
};
