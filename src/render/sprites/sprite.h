// TSprite, a node of a tree of drawable things (a texture, a draw spec, children ordered by
// layer), and TAnimatedSprite, which shows one frame of an animated texture.
#pragma once

#include "platform/strings/tstring.h"
#include "render/renderer/draw_spec.h"

#include <memory>
#include <vector>

class TTexture;
class TAnimatedTexture;
class TScript;

using TSpriteClassId = const void*;

class TSprite : public std::enable_shared_from_this<TSprite>
{
public:
    static std::shared_ptr<TSprite> Create(int32_t layer,
                                           const std::shared_ptr<TTexture>& texture = nullptr);
    // Sprites are held by shared references; use Create.
    explicit TSprite(int32_t layer = 0);
    TSprite(const TSprite&) = delete;
    TSprite& operator=(const TSprite&) = delete;

    virtual const char* GetClassName() const { return "TSprite"; }
    virtual bool IsKindOf(TSpriteClassId id) const { return id == GetClassId(); }
    static TSpriteClassId GetClassId()
    {
        static const char id = 0;
        return &id;
    }
    virtual ~TSprite();
    // Depth counts the levels of children drawn: 0 the sprite alone, negative the whole subtree.
    virtual void Draw(const TDrawSpec& parent, int depth = -1);
    virtual bool RemoveChild(const std::shared_ptr<TSprite>& child);
    virtual void GetBounds(TRect& out, const TDrawSpec& parent, int depth = -1);
    // A negative threshold answers from the bounds; otherwise the drawn alpha under the point must
    // reach it.
    virtual bool HitTest(const TVec2& point, const TDrawSpec& parent, int threshold,
                         int depth = -1);
    virtual void SetTexture(const std::shared_ptr<TTexture>& texture);
    virtual void SortChildren();

    void SetLayer(int32_t layer);
    int32_t GetLayer() const { return mLayer; }
    void AddChild(const std::shared_ptr<TSprite>& child);
    void RemoveAllChildren();
    std::shared_ptr<TTexture> GetTexture() const { return mTexture; }
    TSprite* GetParent() const { return mParent; }
    const std::vector<std::shared_ptr<TSprite>>& GetChildren() const { return mChildren; }
    void SetVisible(bool visible) { mVisible = visible; }
    bool IsVisible() const { return mVisible; }
    TDrawSpec& GetSpec() { return mSpec; }
    const TDrawSpec& GetSpec() const { return mSpec; }

    // Sprites alive in the process (also published as "current_sprite_count").
    static int GetSpriteCount();

protected:
    TSprite* mParent = nullptr;
    bool mVisible = true;
    int32_t mLayer;
    std::shared_ptr<TTexture> mTexture;
    TDrawSpec mSpec;
    std::vector<std::shared_ptr<TSprite>> mChildren;
};

// Two slots of script tasks (a running and a pending script each, with a playback rate) that the
// window toolkit's animation services drive.
struct TAnimationTaskSlot
{
    TScript* mRunning = nullptr;
    TScript* mPending = nullptr;
    float mRate = 1.0f;
};

struct TAnimationFrameState
{
    TAnimationFrameState() = default;
    TAnimationFrameState(const TAnimationFrameState&) = delete;
    TAnimationFrameState& operator=(const TAnimationFrameState&) = delete;
    ~TAnimationFrameState();

    int32_t mFrame = 0;
    std::shared_ptr<TAnimatedTexture> mTexture;
    TAnimationTaskSlot mSlots[2];
    TString mName;
};

// Deletes each slot's running script and starts its pending one in its place when the application
// gives it up from its idle task list.
void ShiftAnimationTasks(TAnimationFrameState& state);

class TAnimatedSprite : public TSprite
{
public:
    static std::shared_ptr<TAnimatedSprite> Create(int32_t layer);
    explicit TAnimatedSprite(int32_t layer = 0) : TSprite(layer) {}

    const char* GetClassName() const override { return "TAnimatedSprite"; }
    bool IsKindOf(TSpriteClassId id) const override
    {
        return id == GetClassId() || TSprite::IsKindOf(id);
    }
    static TSpriteClassId GetClassId()
    {
        static const char id = 0;
        return &id;
    }
    ~TAnimatedSprite() override;
    void Draw(const TDrawSpec& parent, int depth = -1) override;
    void GetBounds(TRect& out, const TDrawSpec& parent, int depth = -1) override;
    bool HitTest(const TVec2& point, const TDrawSpec& parent, int threshold,
                 int depth = -1) override;
    void SetTexture(const std::shared_ptr<TTexture>& texture) override;

    // Ignored below -1; shown when the texture has that frame.
    void SetFrame(int32_t frame);
    int32_t GetFrame() const { return mState.mFrame; }
    // 1 without an animated texture.
    int32_t GetFrameCount() const;
    std::shared_ptr<TAnimatedTexture> GetAnimatedTexture() const { return mState.mTexture; }
    TAnimationFrameState& GetFrameState() { return mState; }

private:
    void ShowFrame();

    TAnimationFrameState mState;
};
