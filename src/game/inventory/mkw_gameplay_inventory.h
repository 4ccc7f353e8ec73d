// MKWGameplayInventory: the game's inventory object: the framework's object with the mark of the
// hint character it belongs to, which picks its particle scripts, the colour its parts bar fills
// with and where the HUD puts it; and that bar, a slot per part between its two frame ends.
#pragma once

#include "framework/adventure/inventory/gameplay_inventory.h"

#include <memory>

class MKWGameplayInventory : public GameplayInventory
{
public:
    // Character marks.
    enum : int32_t
    {
        kNoCharacter = 0,
        kThessalor = 1,
        kLirae = 2
    };

    MKWGameplayInventory(const TLuaTable& object, const TLuaTable& shared);
    ~MKWGameplayInventory() override;

    void Update(uint32_t elapsed) override;
    void DrawProgressBar(const TDrawSpec& parent) override;
    void DrawParticles(const TDrawSpec& spec) override;
    void StartParticles() override;
    void StopParticles() override;
    void CreateProgressBar(const TLuaTable& object, const TLuaTable& shared) override;
    // The bar is laid out once by CreateProgressBar; the fill is drawn from the found parts.
    void UpdateProgress() override {}
    // Left and top edges in, right and bottom out, of the rectangle the last bar drawing left.
    virtual bool BarContainsPoint(const TIntPoint& point) const;

    int32_t GetCharacterMark() const { return mCharacterMark; }
    const TString& GetSecondaryParticlesName() const { return mSecondaryParticlesName; }
    const TString& GetParticlesName() const { return mParticlesName; }
    const std::shared_ptr<TLuaParticleSystem>& GetSecondaryParticles() const
    {
        return mSecondaryParticles;
    }
    float GetBarFillGapX() const { return mBarFillGapX; }
    float GetPartStep() const { return mPartStep; }
    float GetBarWidth() const { return mBarWidth; }
    const std::shared_ptr<TSprite>& GetEmptyFillSprite() const { return mEmptyFillSprite; }
    const std::shared_ptr<TSprite>& GetFillSprite() const { return mFillSprite; }
    const std::shared_ptr<TSprite>& GetFrameLeft() const { return mFrameLeft; }
    const std::shared_ptr<TSprite>& GetFrameCenter() const { return mFrameCenter; }
    const std::shared_ptr<TSprite>& GetFrameRight() const { return mFrameRight; }

protected:
    // A new system with the object's locus and size and the colour node; null when `script` is
    // empty or does not load, else running with "gActive" 1.
    std::shared_ptr<TLuaParticleSystem> MakeParticles(const TString& script);

    int32_t mCharacterMark = kNoCharacter;
    std::shared_ptr<TLuaParticleSystem> mSecondaryParticles;
    TString mSecondaryParticlesName;
    float mBarFillGapX = 0;
    std::shared_ptr<TSprite> mEmptyFillSprite;
    std::shared_ptr<TSprite> mFillSprite;
    // The fill slots' pitch: the empty slot's width plus the gap.
    float mPartStep = 0;
};
