// TText: a window showing a laid-out, marked-up text whose command links fire buttons by name;
// scrolled by lines and drawn with an alpha. Its creator is the window type "Text".
#pragma once

#include "ui/window.h"

#include <cstdint>
#include <memory>

class TTextLayout;

class TText : public TWindow
{
public:
    // True sets kWindowRenderTargetPass.
    explicit TText(bool secondPass);
    ~TText() override;

    static TWindow* Create();
    static TClassId GetClassId() { return reinterpret_cast<TClassId>(&TText::Create); }

    const char* GetClassName() const override { return "TText"; }
    bool IsKindOf(TClassId id) const override
    {
        return id == GetClassId() || TWindow::IsKindOf(id);
    }
    void Init(TWindowStyle& style) override;
    void Draw() override;
    // The toolkit's scale slot scrolls a text window: `fraction` goes to SetScrollPosition.
    void SetScale(float fraction, uint32_t word) override;
    bool OnMouseDown(TPoint point) override;
    bool OnMouseUp(TPoint point) override;
    bool OnMouseMove(TPoint point) override;
    bool OnMouseLeave() override;

    virtual void SetText(const TString& text);
    // The mark-up as set; empty without a layout.
    virtual TString GetText() const;

    void SetAlpha(float alpha) { mAlpha = alpha; }
    float GetAlpha() const { return mAlpha; }
    void SetRotation(float degrees, int32_t originX, int32_t originY);
    // 0 shows the first line; 1 scrolls the last lines that fit into view, plus half a line.
    void SetScrollPosition(float fraction);

    TTextLayout* GetLayout() const { return mLayout.get(); }
    int32_t GetPadding() const { return mPadding; }
    const TString& GetPressedLink() const { return mPressedLink; }

private:
    struct LayoutDeleter
    {
        void operator()(TTextLayout* layout) const;
    };

    std::unique_ptr<TTextLayout, LayoutDeleter> mLayout;
    float mScale = 1.0f;
    float mAlpha = 1.0f;
    // The layout's line spacing.
    int32_t mPadding = 0;
    float mExtraLines = 0.5f;
    TString mPressedLink;
};
