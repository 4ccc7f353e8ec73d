// TText: reading its style (font, label through the string table, flags, line spacing,
// rotation), drawing the layout, scrolling, and command links that fire buttons by name.
#include "ui/text_window.h"

#include "platform/shell/application.h"
#include "platform/log.h"
#include "platform/strings/string_table.h"
#include "render/renderer/renderer.h"
#include "render/text/text_layout.h"
#include "script/lua_object_wrapper.h"
#include "ui/modal_window.h"
#include "ui/window_manager.h"
#include "ui/window_script.h"
#include "ui/window_style.h"

#include <cmath>
#include <memory>

namespace
{
constexpr uint32_t kAnyDepth = 0xFFFFFFFFu;

// Script numbers become ints the way style reads do: truncated, NaN as 0, saturated.
int32_t TruncateNumber(double value)
{
    if (std::isnan(value))
        return 0;
    if (value >= 2147483647.0)
        return INT32_MAX;
    if (value <= -2147483648.0)
        return INT32_MIN;
    return static_cast<int32_t>(value);
}

bool IsNumberLabel(const TString& label)
{
    const char* text = label.c_str();
    for (int i = 0; i < label.Length(); ++i)
    {
        if ((text[i] < '0' || text[i] > '9') && text[i] != '.')
            return false;
    }
    return true;
}

bool IsTranslating()
{
    TWindowManager* manager = GetWindowManager();
    TWindowScript* script = manager != nullptr ? manager->GetScript() : nullptr;
    return script != nullptr && script->GetTextFlag();
}

TString TranslateLabel(const TString& label)
{
    if (label.Length() > 0 && label.c_str()[0] == '#')
        return TString(label.c_str() + 1);
    if (IsNumberLabel(label))
        return label;
    TApplication* application = TApplication::Get();
    TStringTable* table = application != nullptr ? application->GetStringTable() : nullptr;
    if (table == nullptr)
        return label;
    return table->GetString(label, "", "", "", "", "");
}

void MarkDirty()
{
    if (TWindowManager* manager = GetWindowManager())
        manager->SetDirty();
}

} // namespace

void TText::LayoutDeleter::operator()(TTextLayout* layout) const
{
    TTextLayout::Delete(layout);
}

TText::TText(bool secondPass)
{
    if (secondPass)
        AddFlagBits(kWindowRenderTargetPass);
}

TText::~TText() = default;

TWindow* TText::Create()
{
    return new TText(false);
}

void TText::Init(TWindowStyle& style)
{
    TString fontName = "__DEFAULT";
    int32_t size = 16;
    TVec4 colour(0, 1, 0, 1);
    if (std::unique_ptr<TLuaTable> font{style.GetTable("font")})
    {
        fontName = font->GetStringAt(1, fontName);
        size = TruncateNumber(font->GetNumberAt(2, size));
        colour = font->GetVec4At(3, colour);
    }
    if (size == 0)
        size = 12;

    TString name = style.GetString("name", TString());
    TString label = style.GetString("label", TString());
    if (IsTranslating())
        label = TranslateLabel(label);

    int32_t defaultFlags = style.GetInt("defflags", 0);
    int32_t flags = style.GetInt("flags", defaultFlags);
    int32_t padding = style.GetInt("padding", 0);
    double rotation = style.GetNumber("rotation", 0);
    int32_t originX = style.GetInt("rotationOriginX", 0);
    int32_t originY = style.GetInt("rotationOriginY", 0);
    int32_t originAlign = style.GetInt("rotationAlign", 0);

    TWindow::Init(style);

    int32_t width = GetWidth();
    int32_t height = GetHeight();
    // A negative extent, which placement can give, has no area either: no layout for it.
    if (width <= 0 || height <= 0)
    {
        Log("ERROR: Attempting to create text window of size(0,0): named '%s', label '%s'",
            name.c_str(), label.c_str());
        return;
    }
    mPadding = padding;
    mLayout.reset(TTextLayout::Create(label, width, height, fontName, static_cast<uint32_t>(flags),
                                      size, colour));
    SetSize(width, height);
    SetText(label);

    if (rotation != 0 && mLayout != nullptr)
    {
        bool alignGiven = originAlign != 0;
        TAxisPlacement x = ResolveAxis(originX, 0, width, true, (originAlign & kHAlignCenter) != 0,
                                       (originAlign & kHAlignRight) != 0, alignGiven);
        TAxisPlacement y = ResolveAxis(originY, 0, height, true, (originAlign & kVAlignCenter) != 0,
                                       (originAlign & kVAlignBottom) != 0, alignGiven);
        SetRotation(static_cast<float>(rotation), TruncateNumber(static_cast<double>(x.c)),
                    TruncateNumber(static_cast<double>(y.c)));
    }
}

void TText::SetText(const TString& text)
{
    if (mLayout == nullptr || text == mLayout->GetLayoutText())
        return;
    if (mLayout->GetLayoutText().Length() > 0)
        MarkDirty();
    mLayout->SetText(text);
}

TString TText::GetText() const
{
    return mLayout != nullptr ? mLayout->GetLayoutText() : TString();
}

void TText::SetRotation(float degrees, int32_t originX, int32_t originY)
{
    if (mLayout != nullptr)
        mLayout->SetRotation(degrees, originX, originY);
}

void TText::SetScale(float fraction, uint32_t word)
{
    (void)word;
    SetScrollPosition(fraction);
}

void TText::SetScrollPosition(float fraction)
{
    if (mLayout == nullptr)
        return;
    float value =
        (mExtraLines +
         static_cast<float>(mLayout->CountLinesFromEnd(mScale, static_cast<float>(mPadding)))) *
        fraction;
    if (value != mLayout->GetFirstVisibleLine())
    {
        mLayout->SetFirstVisibleLine(value);
        MarkDirty();
    }
}

void TText::Draw()
{
    if (mLayout == nullptr)
        return;
    TRenderer* renderer = TRenderer::Existing();
    if (renderer == nullptr)
        return;
    // The screen rectangle as the renderer's coordinates see it: drawing is relative to the
    // viewport, which the window's own render pass has moved to the window.
    TRect at = GetScreenRect();
    TRect viewport = renderer->GetViewport();
    at = TRect(at.left - viewport.left, at.top - viewport.top, at.right - viewport.left,
               at.bottom - viewport.top);
    Render2dGuard block;
    block.mOpened = renderer->Begin2d();
    TTextLayout::DrawInRect(mLayout.get(), at, mScale, static_cast<float>(mPadding), mAlpha);
    block.End();
}

bool TText::OnMouseDown(TPoint point)
{
    if (mLayout == nullptr)
        return false;
    mPressedLink =
        mLayout->GetLinkAt(TVec2(static_cast<float>(point.x), static_cast<float>(point.y)),
                           static_cast<float>(mPadding));
    return mPressedLink.Length() > 0;
}

bool TText::OnMouseUp(TPoint point)
{
    if (mPressedLink.Length() == 0)
        return false;
    TString link = mPressedLink;
    mPressedLink = TString();
    TString released =
        mLayout != nullptr
            ? mLayout->GetLinkAt(TVec2(static_cast<float>(point.x), static_cast<float>(point.y)),
                                 static_cast<float>(mPadding))
            : TString();
    if (released != link)
        return true;
    TModalWindow* modal = FindModalParent();
    TWindow* target = modal != nullptr ? modal->FindChild(link, kAnyDepth) : nullptr;
    if (target == nullptr)
        Log("ERROR: Command window %s not found", link.c_str());
    else if (TButtonControl* button = AsButton(target))
        button->Fire();
    else
        Log("ERROR: Command window %s not a derived class of TButton", link.c_str());
    return true;
}

bool TText::OnMouseMove(TPoint point)
{
    if (mLayout == nullptr)
        return false;
    TVec2 at(static_cast<float>(point.x), static_cast<float>(point.y));
    if (!mLayout->UpdateHoverLink(&at, static_cast<float>(mPadding)))
        return false;
    if (TWindowManager* manager = GetWindowManager())
    {
        manager->SetDirty();
        manager->SetCapture(this);
    }
    return true;
}

bool TText::OnMouseLeave()
{
    TWindowManager* manager = GetWindowManager();
    if (mLayout != nullptr)
    {
        mLayout->UpdateHoverLink(nullptr, static_cast<float>(mPadding));
        if (manager != nullptr)
            manager->SetDirty();
    }
    if (manager != nullptr)
        manager->ReleaseCapture(this);
    return true;
}
