// TImage, the window that shows one texture (optionally with a separate mask) scaled, turned a
// quarter turn, mirrored and faded; it covers its modal window while opaque and fully visible.
#pragma once

#include "ui/window.h"

#include <cstdint>
#include <memory>

class TTexture;

class TImage : public TWindow
{
public:
    explicit TImage(bool renderTargetPass);
    ~TImage() override;

    // The creator registered for "Bitmap"; its address is the class id.
    static TWindow* Create();
    static TClassId GetClassId() { return reinterpret_cast<TClassId>(&TImage::Create); }
    // The window when it is an image, else null.
    static TImage* FromWindow(TWindow* window);

    const char* GetClassName() const override { return "TImage"; }
    bool IsKindOf(TClassId id) const override
    {
        return id == GetClassId() || TWindow::IsKindOf(id);
    }
    void Init(TWindowStyle& style) override;
    void Draw() override;

    void SetTexture(const std::shared_ptr<TTexture>& texture, float scale);
    std::shared_ptr<TTexture> GetTexture() const { return mTexture; }
    void SetAlpha(float alpha);
    void SetRotate(bool rotate);
    // Bit 0 mirrors horizontally, bit 1 vertically.
    void SetDrawFlags(uint32_t flags);

    float GetScale() const { return mScale; }
    float GetAlpha() const { return mAlpha; }
    uint32_t GetDrawFlags() const { return mDrawFlags; }
    bool GetRotate() const { return mRotate; }

private:
    // The window takes the texture's size at the scale, width and height swapped when turned.
    void ApplySizeRule();

    std::shared_ptr<TTexture> mTexture;
    float mScale = 1.0f;
    float mAlpha = 1.0f;
    uint32_t mDrawFlags = 0;
    bool mRotate = false;
};
