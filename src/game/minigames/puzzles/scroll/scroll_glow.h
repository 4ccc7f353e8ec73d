// ScrollGlow: one of the five glows the scroll lens carries, lit one by one as symbols are found.
// Its position is relative to the lens: it is drawn under the lens sprite's spec.
#pragma once

#include "platform/strings/tstring.h"

#include <cstdint>
#include <memory>

class TLuaTable;
class TSprite;
struct TDrawSpec;

class ScrollGlow
{
public:
    // Unlit at (0, 0), no picture, no parent spec; its sprite made on layer 0.
    ScrollGlow();

    // Reads "glow%02d" (`index` 1 to 5) of `glows`: "x", "y" (truncated) and "image"; the glow
    // then moves with `parentSpec`. A missing table is a fatal report and the glow stays empty.
    bool Load(int32_t index, const TLuaTable& glows, const TDrawSpec* parentSpec);
    // The same from "<key>" of `parent`, reported with `missing` when absent: the heavens' plates
    // are these glows under another table name.
    bool LoadEntry(const TLuaTable& parent, const char* key, const char* missing,
                   const char* source, const TDrawSpec* parentSpec);
    void SetLit(bool lit) { mOn = lit; }
    void LoadTexture();
    void ReleaseTexture();
    // Only when lit, under the parent spec.
    void Draw() const;

    bool IsLit() const { return mOn; }
    int32_t GetX() const { return mX; }
    int32_t GetY() const { return mY; }
    const TString& GetImage() const { return mImage; }
    const std::shared_ptr<TSprite>& GetSprite() const { return mSprite; }

private:
    bool mOn = false;
    int32_t mX = 0;
    int32_t mY = 0;
    TString mImage;
    std::shared_ptr<TSprite> mSprite;
    const TDrawSpec* mParentSpec = nullptr;
};
