// TexturePreloader: the pictures a scene needs, loaded before it is shown in slices of the
// platform clock and kept alive until the next scene's are gathered.
#pragma once

#include "platform/strings/tstring.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

class GameplayScene;
class TTexture;

class TexturePreloader
{
public:
    // The longest a slice keeps the frame, in ms of the platform clock.
    static constexpr uint32_t kSliceMs = 16;
    using Clock = uint32_t (*)();

    // The platform clock unless another is given (tests give one that moves with each reading).
    explicit TexturePreloader(Clock clock = nullptr);

    // The scene's extra names, then its entities' in entity order; the previous scene's
    // pictures are let go.
    void Fill(const GameplayScene& scene);
    // Loads pictures, still ones first, until a slice has passed; true once every name is done.
    bool Step();

    const std::vector<std::shared_ptr<TTexture>>& GetKept() const { return mKept; }
    const std::vector<TString>& GetTextureNames() const { return mTextureNames; }
    const std::vector<TString>& GetAnimationNames() const { return mAnimationNames; }
    bool IsDone() const
    {
        return mTextureCursor >= mTextureNames.size() && mAnimationCursor >= mAnimationNames.size();
    }

private:
    Clock mClock;
    std::vector<std::shared_ptr<TTexture>> mKept;
    std::vector<TString> mTextureNames;
    std::vector<TString> mAnimationNames;
    size_t mTextureCursor = 0;
    size_t mAnimationCursor = 0;
};
