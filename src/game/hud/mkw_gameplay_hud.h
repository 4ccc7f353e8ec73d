// MKWGameplayHud: the game's HUD window ("GameplayHud"): the framework's HUD with the two hint
// characters' medallions, the journal button, the hint particle effect and its colour, the hint
// colours, found objects merged into the strip by their character (Thessalor's to the front,
// Lirae's to the end), and the medallions' trackers in two more saved bytes.
#pragma once

#include "framework/adventure/hud/gameplay_hud.h"
#include "framework/core/frame_services.h"
#include "framework/widgets/particle_functions.h"
#include "particles/lua_particle_system.h"

#include <memory>

class GameplayHint;
class TAnimatedTexture;

class MKWGameplayHud : public GameplayHud
{
public:
    MKWGameplayHud();
    ~MKWGameplayHud() override;

    static TWindow* Create();
    static TClassId GetClassId();

    const char* GetClassName() const override { return "MKWGameplayHud"; }
    bool IsKindOf(TClassId id) const override
    {
        return id == GetClassId() || GameplayHud::IsKindOf(id);
    }
    void PostInit(TWindowStyle& style) override;
    void Draw() override;
    void Update() override;
    void DrawHints() override;
    bool ContainsPoint(const TPoint& point) override;
    bool MergePendingInventory(bool animate, WaitHandle&& report) override;
    void Pause() override;
    void Resume() override;
    void SetButtonsEnabled(bool enabled) override;
    // Lirae's available trackers, Thessalor's, then the progress bar's two bytes.
    void SaveState(std::vector<uint8_t>& out) override;
    bool LoadState(const uint8_t* data, size_t size) override;
    bool TestHintClick(const TPoint& point, bool availableOnly) override;
    void SelectHint(const TPoint& point) override;
    void EndHintSelect(bool spend) override;
    TVec2 GetClickedHintPosition() override;
    uint32_t GetSavedStateSize() override { return 4; }
    void FadeInHintBackground() override;

    // Points in HUD coordinates (the window's own). Character marks: 2 Lirae, 1 Thessalor.
    // 2 over Lirae's medallion picture, else 1 over Thessalor's, else 0.
    int32_t HitMedallions(const TIntPoint& point);
    // Likewise over any of a medallion's trackers, available or not.
    int32_t HitTrackers(const TIntPoint& point);
    void SpinMedallion(int32_t mark, bool play);
    void RequestMedallionGlow(int32_t mark);
    // With `onlyIfMissing` a medallion counts only while it has a missing tracker.
    bool HitMedallionsIfMissing(const TIntPoint& point, bool onlyIfMissing);
    // Mark 2 asks Lirae's medallion, any other Thessalor's.
    int32_t GetFirstMissingTracker(int32_t mark);
    // In screen coordinates.
    TIntPoint GetMissingTrackerPosition(int32_t mark, int32_t index);
    std::shared_ptr<TAnimatedTexture> GetMissingTrackerTexture(int32_t mark, int32_t index);

    GameplayHint* GetLiraeMedallion() const { return mLiraeMedallion.get(); }
    GameplayHint* GetThessalorMedallion() const { return mThessalorMedallion.get(); }
    GameplayHint* GetSelectedMedallion() const { return mSelectedMedallion; }
    TVButton* GetJournalButton() const { return mJournalButton; }
    const TVec4& GetLiraeColor() const { return mLiraeColor; }
    const TVec4& GetThessalorColor() const { return mThessalorColor; }
    const TVec4& GetMiniHintColor() const { return mMiniHintColor; }
    const TVec4& GetHintBackgroundColor() const { return mHintColor; }
    ParticleVector& GetHintParticleColor() { return mHintParticleColor; }
    TLuaParticleSystem& GetHintParticles() { return mHintParticles; }
    // The translation from screen to HUD coordinates.
    TVec2 GetHudOffset() const;

private:
    GameplayHint* Medallion(int32_t mark) const
    {
        return mark == 2 ? mLiraeMedallion.get() : mThessalorMedallion.get();
    }
    // The medallions, Lirae's first, that exist.
    std::vector<GameplayHint*> Medallions() const;
    TIntPoint ToHud(const TPoint& point) const;

    TVec4 mLiraeColor{0, 0, 0, 0};
    TVec4 mThessalorColor{0, 0, 0, 0};
    TVec4 mMiniHintColor{0, 0, 0, 0};
    std::shared_ptr<GameplayHint> mLiraeMedallion;
    std::shared_ptr<GameplayHint> mThessalorMedallion;
    GameplayHint* mSelectedMedallion = nullptr;
    TVButton* mJournalButton = nullptr;
    // Registered in the system: declared before it, so it outlives it.
    ParticleVector mHintParticleColor;
    TLuaParticleSystem mHintParticles;
};
