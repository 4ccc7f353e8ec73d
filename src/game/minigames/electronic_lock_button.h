// ElectronicLockButton: one key of the electronic lock: where it sits, the animated picture it
// shows (frame 0 unlit, frame 2 lit) and whether it is lit.
#pragma once

#include "platform/strings/tstring.h"
#include "ui/window.h"

#include <cstdint>
#include <memory>
#include <vector>

class TAnimatedSprite;
class TLuaTable;

class ElectronicLockButton
{
public:
    static constexpr int32_t kUnlitFrame = 0;
    static constexpr int32_t kLitFrame = 2;

    // Unlit at (0, 0) with no picture, its sprite made on layer 0.
    ElectronicLockButton();

    // Reads the table "button%02d" (`index` 1 to 9) of `buttons`: "x", "y" (truncated) and
    // "image"; the sprite moves there and the button is unlit. A missing table is a fatal report
    // and the button keeps what it had; the answer is false then.
    bool Load(int32_t index, const TLuaTable& buttons);
    // Lit becomes unlit and the other way round, with the frame to match.
    void Toggle();
    // Lit (frame 2) or unlit (frame 0), without a sound.
    void SetLit(bool lit);
    // The animated picture its image names; a button without one keeps no picture.
    void LoadTexture();
    void ReleaseTexture();
    // Its image name for the scene's list of animated pictures; none when it has no image.
    std::vector<TString> GetImageNames() const;
    // The sprite's drawn rectangle alone decides.
    bool Contains(const TPoint& point) const;
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
