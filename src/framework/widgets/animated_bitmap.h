// AnimatedBitmap: the framework's animated picture built from a script table: one image (a single
// texture, a numbered series of frame files or an animation file), frame animation, up to six
// property animations (move, rotate, alpha flicker, fade, path, scale) run as transforms, each
// with its own delays, looping, back-and-forth and sound, and child bitmaps shown together or
// one at a time.
#pragma once

#include "framework/transforms/transform_manager.h"
#include "framework/transforms/transform_target.h"
#include "framework/transforms/wait_handle.h"
#include "platform/maths/geometry.h"
#include "platform/maths/random.h"
#include "platform/strings/tstring.h"

#include <cstdint>
#include <memory>
#include <vector>

class SoundEffect;
class TAnimatedSprite;
class TLuaTable;
class TTexture;
class TWindowStyle;
struct TDrawSpec;

class AnimatedBitmap
{
public:
    enum FrameMode : int32_t
    {
        kPlayOnce = 1,
        kWrap = 2,
        kBounce = 3,
        kRandom = 4
    };
    enum ChildAction : int32_t
    {
        kShowAll = 1,
        kRandomAfterCycle = 2,
        kInTurnAfterCycle = 3,
        kRandomOnTimer = 4,
        kInTurnOnTimer = 5
    };
    // The six animation blocks, in the order they are read, counted down and started.
    enum BlockKind : int32_t
    {
        kMove = 0,
        kRotate,
        kAlpha,
        kFade,
        kPath,
        kScale,
        kBlockCount
    };

    // What the table says of one block; unused values keep their defaults.
    struct Block
    {
        bool mPresent = false;
        // Begin and end: x and y for a move; the first component otherwise (rotation in turns,
        // opacity, scale). The alpha flicker keeps its least opacity as begin, its most as end.
        TVec2 mBegin;
        TVec2 mEnd;
        int32_t mDuration = 0;
        // "mindelay"/"maxdelay" of the move and the flicker.
        int32_t mMinDelay = 0;
        int32_t mMaxDelay = 0;
        // "delay" of fade, path and scale; "forwarddelay" of the rotation.
        int32_t mDelay = 0;
        // "backwarddelay" of the rotation.
        int32_t mBackDelay = 0;
        int32_t mInitialDelay = 0;
        bool mLoop = false;
        bool mOscillate = false;
        bool mFitToPixel = false;
        bool mAnchored = true;
        bool mRandomStart = false;
        bool mRandomOpacity = false;
        // The path's rotate-along-path flag.
        bool mRotate = false;
        float mSmoothing = 1.0f;
        TString mFileName;
        // Milliseconds until the block starts; -1 while it is idle.
        int32_t mCountdown = -1;
        // The transform it last started (0: none).
        uint32_t mTransformId = 0;
        std::shared_ptr<SoundEffect> mSound;
        // Told once: with the finished transform's id after the block's own end handling, or
        // when the block is loaded anew, its transforms are cleared or the bitmap goes.
        WaitHandle mEndReport;
    };

    explicit AnimatedBitmap(const TLuaTable& table);
    // Reads the same keys through the style's getters.
    explicit AnimatedBitmap(TWindowStyle& style);
    virtual ~AnimatedBitmap();
    AnimatedBitmap(const AnimatedBitmap&) = delete;
    AnimatedBitmap& operator=(const AnimatedBitmap&) = delete;

    static std::shared_ptr<AnimatedBitmap> Create(const TLuaTable& table);

    // Per frame: frames, block sounds, children and block countdowns by the frame clock's step;
    // nothing while paused.
    virtual void Update();
    // Children below, the image, then children above.
    virtual void Draw(const TDrawSpec& parent);
    virtual void Pause();
    virtual void Resume();

    // Loads the image and, recursively, every child's.
    void CreateSprites();
    // A sequence played once ends there: it shows its last frame once the frames are back.
    void ReleaseTextures();
    int32_t GetWidth() const;
    int32_t GetHeight() const;
    TVec2 GetPosition();
    // Left, top, right, bottom of the image placed under the parent.
    TRect GetBounds(const TDrawSpec& parent);
    std::vector<TString> CollectNames() const;
    std::vector<TString> CollectEntries() const;

    // Sets the frame mode from its name ("wrap", "nowrap", "random", else play once). A negative
    // frame time plays backwards. The callback is told once when a cycle ends.
    void SetFrameMode(const TString& mode, int32_t initialFrame, int32_t frameTime, bool crossFade,
                      const Callback* cycleEnd = nullptr);
    // The same with a handle told once when a cycle ends, or when the sequence is replaced (the
    // handle of the sequence it replaces is told then).
    void SetFrameMode(const TString& mode, int32_t initialFrame, int32_t frameTime, bool crossFade,
                      WaitHandle cycleEnd);
    // Loads one block from its table: values, sound and first countdown (or, for a move with
    // "randomstart", the move itself). The callback is told once when the block's transform ends.
    void LoadBlock(BlockKind kind, const TLuaTable& table, const Callback* endCallback = nullptr);
    // The same with a handle told once when the block's transform ends, or when the block is cut
    // short (the handle of the block it replaces is told then).
    void LoadBlock(BlockKind kind, const TLuaTable& table, WaitHandle end);
    // Every transform of the bitmap removed; blocks that were running are cut short.
    void RemoveTransforms();
    // Whether a report it holds can still be told by an end: a block counting down to its start
    // or whose transform still runs, or a frame sequence still playing. Nothing else can tell it.
    bool CanStillReport() const;

    void RestartFrames(const TString& mode, int32_t initialFrame, int32_t frameTime,
                       bool crossFade);
    void RestartMove(const TLuaTable& table);
    void RestartRotate(const TLuaTable& table);
    void RestartFade(const TLuaTable& table);
    void RestartPath(const TLuaTable& table);
    void RestartScale(const TLuaTable& table);

    const TString& GetName() const { return mName; }
    const std::vector<TString>& GetFrameNames() const { return mFrameNames; }
    // The pictures it (or a child) names that the last CreateSprites could not have.
    std::vector<TString> GetMissingPictures() const;
    const TString& GetAnimationFile() const { return mAnimationFile; }
    const std::shared_ptr<TAnimatedSprite>& GetSprite() const { return mSprite; }
    TM_Transform2D& GetTransform() { return *mTransform; }
    int32_t GetFrameCount() const;
    int32_t GetCurrentFrame() const { return mCurrentFrame; }
    int32_t GetNextFrame() const { return mNextFrame; }
    int32_t GetFrameMode() const { return mFrameMode; }
    int32_t GetFrameTime() const { return mFrameTime; }
    int32_t GetTimeLeft() const { return mTimeLeft; }
    int32_t GetFrameDelay() const { return mFrameDelay; }
    bool IsForward() const { return mForward; }
    bool IsAnimating() const { return mAnimating; }
    bool IsPaused() const { return mPaused; }
    bool HasCycleEnded() const { return mCycleEnded; }
    const Block& GetBlock(BlockKind kind) const { return mBlocks[kind]; }
    Block& GetBlock(BlockKind kind) { return mBlocks[kind]; }
    const std::vector<std::shared_ptr<AnimatedBitmap>>& GetChildren() const { return mChildren; }
    int32_t GetChildAction() const { return mChildAction; }
    size_t GetCurrentChild() const { return mCurrentChild; }
    int32_t GetChildCountdown() const { return mChildCountdown; }
    TRandom& GetRandom() { return mRandom; }

    // Reads the top-level keys from a script table or a window style.
    class KeySource;

private:
    void Load(const KeySource& keys);
    void ReadImageSource(const TString& image);
    void ReadChildren(const TLuaTable& table);
    // Shows the next frame and chooses the one after it.
    void FrameStep();
    void ShowFrame(int32_t frame);
    void StartBlock(BlockKind kind);
    // Starts the move at once from a random point of its way.
    void StartMoveFromRandomPoint();
    // The back list of an oscillating block, appended to the transform.
    void AppendBackList(BlockKind kind, uint32_t id);
    void ScheduleSound(Block& block);
    int32_t RandomInt(int32_t low, int32_t high);
    bool FitsToPixel() const;
    void OnBlockEnd(BlockKind kind, uint32_t id);
    static void OnMoveEnd(void* object, TM_Transform* target, uint32_t id);
    static void OnRotateEnd(void* object, TM_Transform* target, uint32_t id);
    static void OnAlphaEnd(void* object, TM_Transform* target, uint32_t id);
    static void OnFadeEnd(void* object, TM_Transform* target, uint32_t id);
    static void OnPathEnd(void* object, TM_Transform* target, uint32_t id);
    static void OnScaleEnd(void* object, TM_Transform* target, uint32_t id);

    TString mName;
    std::vector<TString> mFrameNames;
    std::shared_ptr<TAnimatedSprite> mSprite;
    std::vector<std::shared_ptr<TTexture>> mFrameTextures;
    // Over the sprite's spec, so it goes before the sprite.
    std::unique_ptr<TM_Transform2D> mTransform;
    TString mAnimationFile;

    int32_t mFrameMode = kPlayOnce;
    int32_t mFrameTime = 0;
    int32_t mTimeLeft = 0;
    int32_t mFrameDelay = 0;
    int32_t mCurrentFrame = 0;
    int32_t mNextFrame = 0;
    bool mForward = true;
    bool mCrossFade = false;
    bool mPaused = false;
    bool mAnimating = false;
    bool mCycleEnded = false;
    WaitHandle mCycleEnd;

    TVec2 mCenter = TVec2(1e8f, 1e8f);
    int32_t mFlags = 0;
    bool mFitToPixel = false;
    int32_t mWidth = 0;
    int32_t mHeight = 0;

    TRandom mRandom;
    Block mBlocks[kBlockCount];

    std::vector<std::shared_ptr<AnimatedBitmap>> mChildren;
    int32_t mChildAction = kInTurnOnTimer;
    int32_t mChildMinDelay = 0;
    int32_t mChildMaxDelay = 0;
    int32_t mChildCountdown = 0;
    size_t mCurrentChild = 0;
};
