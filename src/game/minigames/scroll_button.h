// ScrollButton: one of the scroll puzzle's five progress lamps: where it sits, its animated
// picture (frame 0 lit, frame 1 unlit) and whether it is lit.
#pragma once

#include "platform/strings/tstring.h"

#include <cstdint>
#include <memory>
#include <vector>

class TAnimatedSprite;
class TLuaTable;

class ScrollButton
{
public:
    static constexpr int32_t kLitFrame = 0;
    static constexpr int32_t kUnlitFrame = 1;

    // Unlit at (0, 0) with no picture, its sprite made on layer 0.
    ScrollButton();

    // Reads "button%02d" (`index` 1 to 5) of `buttons`: "x", "y" (truncated) and "image"; the
    // sprite moves there, unlit. A missing table is a fatal report and the button stays as it was.
    bool Load(int32_t index, const TLuaTable& buttons);
    void SetLit(bool lit);
    void LoadTexture();
    void ReleaseTexture();
    // Its image for the scene's animated names; none without one.
    std::vector<TString> GetImageNames() const;
    void Draw() const;

    bool IsLit() const { return mOn; }
    int32_t GetX() const { return mX; }
    int32_t GetY() const { return mY; }
    const TString& GetImage() const { return mImage; }
    const std::shared_ptr<TAnimatedSprite>& GetSprite() const { return mSprite; }

private:
    bool mOn = false;
    int32_t mX = 0;
    int32_t mY = 0;
    TString mImage;
    std::shared_ptr<TAnimatedSprite> mSprite;
};
