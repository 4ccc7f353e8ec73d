// GameplayEntity: the common base of what a scene holds and shows (sounds, particle effects,
// layers, texts, hidden items, clickable areas): name, depth, type code, the saved flag byte and
// the completion protocol through which animated state changes report their end.
#pragma once

#include "framework/transforms/transform_manager.h"
#include "framework/transforms/wait_handle.h"
#include "platform/maths/geometry.h"
#include "platform/strings/tstring.h"

#include <cstddef>
#include <cstdint>
#include <vector>

class TLuaTable;
struct TDrawSpec;

class GameplayEntity
{
public:
    // Type codes of the kinds.
    enum : uint32_t
    {
        kTypeSound = 10,
        kTypeParticle = 20,
        kTypeLayer = 30,
        kTypeItem = 40,
        kTypeArea = 50,
        kTypeText = 60
    };
    // Flag bits the base defines; kinds use further bits of the same byte, so the whole byte is
    // saved and restored.
    enum : uint8_t
    {
        kActive = 0x01,
        kShown = 0x02
    };

    // Reads "depth" (truncated, default 0) and "name" (default empty).
    GameplayEntity(const TLuaTable& table, uint32_t typeCode);
    // Scenes hold their entities as shared pointers of this base.
    virtual ~GameplayEntity();
    GameplayEntity(const GameplayEntity&) = delete;
    GameplayEntity& operator=(const GameplayEntity&) = delete;

    uint8_t GetFlags() const { return mFlags; }
    void SetFlags(uint8_t flags) { mFlags = flags; }
    int32_t GetDepth() const { return mDepth; }
    const TString& GetName() const { return mName; }
    uint32_t GetType() const { return mTypeCode; }

    // Fires the held callback when a change finished without animation.
    virtual void Update(uint32_t elapsedMs);
    virtual void Draw(const TDrawSpec& parent) = 0;
    // The second drawing pass, after every entity's Draw.
    virtual void DrawEffects(const TDrawSpec& parent) = 0;
    virtual void Pause() = 0;
    virtual void Resume() = 0;
    // The screen rectangle; kinds without one answer zeros.
    virtual TRect GetRect(const TDrawSpec& parent) = 0;
    // Appends the flag byte.
    virtual void SaveState(std::vector<uint8_t>& out);
    // False, and nothing changed, when the entity's block does not fit in `size` bytes.
    virtual bool LoadState(const uint8_t* data, size_t size);
    virtual uint32_t GetStateSize() const;
    // A report offered with a change becomes the held one (an empty one leaves it); the one it
    // replaces is told then.
    virtual void Activate(bool animate, WaitHandle&& report);
    virtual void Deactivate(bool animate, WaitHandle&& report);
    virtual void Show(bool animate, WaitHandle&& report);
    virtual void Hide(bool animate, WaitHandle&& report);
    // Names of the still and the animated pictures the entity needs, for preloading.
    virtual std::vector<TString> GetTextureNames() const;
    virtual std::vector<TString> GetAnimationNames() const;
    virtual void LoadTextures();
    // After the display lost its textures; false when something could not be rebuilt.
    virtual bool RestoreTextures();
    // Asked entity by entity in time slices until it answers true.
    virtual bool FinishTextures();
    virtual void CreateTextures() = 0;
    virtual void ReleaseTextures() = 0;

    // Whether a change in progress owes a report.
    bool HoldsReport() const { return mHeldReport.IsHeld(); }
    // Whether the change in progress can still end: due at the next step, or its motion runs.
    bool CanEndChange() const;

    // The length of this entity's block as saved at `data`; 0 when it does not fit in `size`.
    virtual size_t MeasureState(const uint8_t* data, size_t size) const;

protected:
    // What moves while a change runs (none: a change of this kind ends at the next step).
    virtual const TM_Transform* GetChangeTransform() const { return nullptr; }
    // A copy of the own callback for the transform manager, which deletes the callbacks it gets.
    Callback* NewOwnCallback() { return new Callback(mOwnCallback); }
    // An offered report becomes the held one. One held already is told now: whoever counted on it
    // is told once, as its change's end will tell only the new one.
    void HoldReport(WaitHandle&& report);
    // The end of a change: completion pending cleared, the held report (if any) told once.
    void Complete();
    // A picture of its own that the game lacks: said once in the entity's life, however often
    // its textures are made.
    void SayMissingPicture(const TString& picture);

    uint8_t mFlags = 0;
    // Told at the change's end, at its replacement, or when the entity goes.
    WaitHandle mHeldReport;
    uint8_t mCompletionPending = 0;
    int32_t mDepth = 0;
    TString mName;
    Callback mOwnCallback;
    uint32_t mTypeCode = 0;
    bool mMissingPictureSaid = false;

private:
    static void OnOwnCallback(void* object, TM_Transform* target, uint32_t id);
};
