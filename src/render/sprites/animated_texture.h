// TAnimatedTexture, a texture whose image is a sheet of frames, and its description read from the
// XML form or the packed ".anm" form: frames with registration points, alpha, transforms and
// anchors, and the animation script.
#pragma once

#include "render/textures/texture.h"

#include <vector>

class TTask;

struct TAnimationAnchor
{
    TString mName;
    int32_t mX = 0;
    int32_t mY = 0;
};

// The value of a frame transform's `a` that means "no transform".
constexpr float kNoFrameTransform = -10000000.0f;

struct TAnimationFrame
{
    TString mName;
    int32_t mX = 0;
    int32_t mY = 0;
    int32_t mW = 0;
    int32_t mH = 0;
    int32_t mRegX = 0;
    int32_t mRegY = 0;
    int32_t mAnchorCount = 0;
    std::vector<TAnimationAnchor> mAnchors;
    // a, b, c, d, e, f: rows (a, b, 0), (c, d, 0), (e, f, 1).
    float mTransform[6] = {kNoFrameTransform, 0, 0, 0, 0, 0};
    float mAlpha = 1.0f;

    bool HasTransform() const { return mTransform[0] != kNoFrameTransform; }
};

struct TAnimationDescription
{
    TAnimationDescription() = default;
    TAnimationDescription(const TAnimationDescription&) = delete;
    TAnimationDescription& operator=(const TAnimationDescription&) = delete;
    // Takes the script task out of the application's idle list and deletes it.
    ~TAnimationDescription();

    TString mSequenceName;
    TString mSource;
    TString mFilePath;
    TString mImageName;
    TString mMaskName;
    TString mFolder;
    // The script the description gives (a "script" element or a "SCRP" block), when it gives one.
    TString mScript;
    bool mHasScript = false;
    int32_t mWidestFrame = 0;
    int32_t mHighestFrame = 0;
    int32_t mFrameCount = 0;
    int32_t mCurrentFrame = 0;
    int32_t mRegX = 0;
    int32_t mRegY = 0;
    int32_t mImageWidth = 0;
    int32_t mImageHeight = 0;
    std::vector<TAnimationFrame> mFrames;
    TTask* mScriptTask = nullptr;
};

class TAnimatedTexture : public TTexture
{
public:
    // Cached under path + ":" + image + ":" + mask; empty when the description or the sheet fails.
    static std::shared_ptr<TAnimatedTexture>
    Get(const TString& path, const TString& image = TString(), const TString& mask = TString());
    // The same object when it is an animated texture, else empty.
    static std::shared_ptr<TAnimatedTexture> FromTexture(const std::shared_ptr<TTexture>& texture);
    // The script generated for a description without one.
    static TString DefaultScript(int32_t frameCount);
    // The description's script, or the generated one when it gives none. Generated only when
    // asked for: it names every frame, and loading an animation runs no script.
    TString GetScript() const;

    TAnimatedTexture() = default;
    ~TAnimatedTexture() override;

    const char* GetClassName() const override { return "TAnimatedTexture"; }
    bool IsKindOf(TAssetClassId id) const override
    {
        return id == GetClassId() || TTexture::IsKindOf(id);
    }
    static TAssetClassId GetClassId()
    {
        static const char id = 0;
        return &id;
    }
    void Draw(const TDrawSpec& spec) override;
    void DrawAt(float x, float y, float alpha, float scale, float rotation,
                uint32_t flags) override;
    // The current frame's size; 0 without a current frame.
    uint32_t GetWidth() const override;
    uint32_t GetHeight() const override;

    // Reads the description (probing ".xml" then ".anm"); image and mask, when not empty, replace
    // the names it gives.
    bool Load(const TString& path, const TString& image = TString(),
              const TString& mask = TString());
    // Reads a packed description from memory (what Load does with an ".anm" file).
    bool LoadPacked(const uint8_t* data, uint32_t size);

    int32_t GetFrameCount() const { return mDescription.mFrameCount; }
    // Accepted for -1 (nothing drawn) up to the last frame.
    void SetFrame(int32_t frame);
    int32_t GetFrame() const { return mDescription.mCurrentFrame; }
    void GetFrameRect(int32_t frame, TRect& out) const;
    TVec2 GetRegistration() const;
    TVec2 GetFrameRegistration(int32_t frame) const;
    const TAnimationFrame* GetFrameRecord(int32_t frame) const;
    const TAnimationDescription& GetDescription() const { return mDescription; }
    TAnimationDescription& GetDescription() { return mDescription; }

private:
    bool LoadXml(const TString& path);
    bool LoadSheet();

    TAnimationDescription mDescription;
};
