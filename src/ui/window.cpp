// TWindow: the tree itself (children, geometry, flags and cover membership), hit testing, event
// dispatch with focus and bubbling, the message walk, the tree's visitors and the animation task.
#include "ui/window.h"

#include "platform/config/config.h"
#include "ui/modal_window.h"
#include "ui/window_manager.h"
#include "ui/window_style.h"

#include <algorithm>
#include <cassert>

bool gSwallowNextChar = false;

namespace
{
// Every construction takes the next id; the first window has id 0.
uint32_t gNextWindowId = 0;

bool IsMouseEvent(int32_t type)
{
    return (type >= kEventLeftDown && type <= kEventMouseMove) || type == kEventHover;
}

// Placement results are held to +-2^29, so that a rectangle's edges and its width and height
// (sums and differences of two such values) stay inside 32 bits whatever the style said.
constexpr int64_t kPlacementLimit = int64_t(1) << 29;

int32_t Saturate(int64_t value)
{
    return static_cast<int32_t>(std::clamp<int64_t>(value, -kPlacementLimit, kPlacementLimit));
}

} // namespace

TClassId TMessage::GetClassId()
{
    static const char id = 0;
    return &id;
}

TWindow::TWindow() : mId(gNextWindowId++) {}

TWindow* TWindow::Create()
{
    return new TWindow();
}

TWindow::~TWindow()
{
    // Every deletion path takes the window out of its parent first; only a parent that is being
    // deleted itself may still be named here.
    assert(mParent == nullptr || mParent->mDeleting);
    mDeleting = true;
    if (mAnimTask != nullptr)
    {
        mAnimTask->mWindow = nullptr;
        mAnimTask = nullptr;
    }
    TWindowManager* manager = GetWindowManager();
    if (manager != nullptr)
        manager->SetDirty();
    LeaveCoverSet();
    while (!mChildren.empty())
    {
        TWindow* child = mChildren.front();
        mChildren.pop_front();
        mChildSet.erase(child);
        delete child;
    }
    if (manager != nullptr)
        manager->WindowGone(this);
}

TString TWindow::GetIdString() const
{
    return TString::Format("%8x", mId);
}

void TWindow::Init(TWindowStyle& style)
{
    mName = style.GetString("name", TString());
    ReadPlacement(style);
}

void TWindow::PostInit(TWindowStyle& style)
{
    if (style.GetBool("fit", false))
        FitToChildren();
    ReadPlacement(style);
}

bool TWindow::AddChild(TWindow* child, bool attach)
{
    if (mChildSet.insert(child).second)
    {
        mChildren.push_front(child);
        child->mParent = this;
    }
    if (!attach)
        return true;
    if (child->OnAttach())
        return true;
    child->mParent = nullptr;
    mChildren.remove(child);
    mChildSet.erase(child);
    child->SetSize(child->GetWidth(), child->GetHeight());
    return false;
}

TWindow* TWindow::RemoveChild(TWindow* child)
{
    if (mChildSet.erase(child) != 0)
    {
        if (TWindowManager* manager = GetWindowManager())
            manager->SetDirty();
        mChildren.erase(std::find(mChildren.begin(), mChildren.end(), child));
    }
    child->LeaveCoverSet();
    TWindow* former = child->mParent;
    child->mParent = nullptr;
    return former;
}

bool TWindow::OnMouseHover(TPoint point)
{
    TWindowManager* manager = GetWindowManager();
    TWindowHoverHandler* handler = manager != nullptr ? manager->GetHoverHandler() : nullptr;
    return handler != nullptr && handler->OnHover(this, point);
}

TRect TWindow::GetScreenRect() const
{
    TRect rect = mRect;
    for (const TWindow* w = mParent; w != nullptr; w = w->mParent)
    {
        rect.left += w->mRect.left;
        rect.top += w->mRect.top;
        rect.right += w->mRect.left;
        rect.bottom += w->mRect.top;
    }
    return rect;
}

void TWindow::ClientToScreen(TPoint& point) const
{
    TRect screen = GetScreenRect();
    point.x += screen.left;
    point.y += screen.top;
}

void TWindow::ScreenToClient(TPoint& point) const
{
    TRect screen = GetScreenRect();
    point.x -= screen.left;
    point.y -= screen.top;
}

void TWindow::ClientToParent(TPoint& point) const
{
    point.x += mRect.left;
    point.y += mRect.top;
}

void TWindow::ParentToClient(TPoint& point) const
{
    point.x -= mRect.left;
    point.y -= mRect.top;
}

void TWindow::SetPosition(int32_t x, int32_t y)
{
    int32_t width = mRect.Width();
    int32_t height = mRect.Height();
    mRect = TRect(x, y, x + width, y + height);
    if (TWindowManager* manager = GetWindowManager())
        manager->SetDirty();
}

void TWindow::SetSize(int32_t width, int32_t height)
{
    mRect.right = mRect.left + width;
    mRect.bottom = mRect.top + height;
    TWindowManager* manager = GetWindowManager();
    if (manager != nullptr)
        manager->SetDirty();
    // Against the root: a window the size of the screen covers whatever modal it sits in.
    TWindow* root = manager != nullptr ? manager->GetRoot() : nullptr;
    if (root != nullptr)
        UpdateCoverMembership(root->GetWidth(), root->GetHeight());
    else
        LeaveCoverSet();
}

void TWindow::SetFlags(uint32_t flags)
{
    uint32_t old = mFlags;
    mFlags = (mFlags & 0xFFu) | (flags & 0xFF00u);
    if (((old ^ mFlags) & kWindowVisible) != 0)
    {
        if (TWindowManager* manager = GetWindowManager())
            manager->SetDirty();
    }
    if (TModalWindow* modal = FindModalParent())
        UpdateCoverMembership(modal->GetWidth(), modal->GetHeight());
}

void TWindow::UpdateCoverMembership(int32_t width, int32_t height)
{
    TModalWindow* modal = FindModalParent();
    if (modal == nullptr)
        return;
    bool covers = (mFlags & kWindowCovers) != 0 && GetWidth() == width && GetHeight() == height;
    modal->UpdateCover(this, covers);
}

void TWindow::LeaveCoverSet()
{
    if (TModalWindow* modal = FindModalParent())
        modal->UpdateCover(this, false);
}

bool TWindow::IsShown() const
{
    for (const TWindow* w = this; w != nullptr; w = w->mParent)
    {
        if ((w->mFlags & kWindowModal) != 0)
            return (w->mFlags & kWindowVisible) != 0;
        if ((w->mFlags & kWindowVisible) == 0)
            return false;
    }
    return false;
}

TModalWindow* TWindow::FindModalParent() const
{
    for (TWindow* w = mParent; w != nullptr; w = w->mParent)
    {
        if ((w->mFlags & kWindowModal) != 0)
        {
            if (w->IsKindOf(TModalWindow::GetClassId()))
                return static_cast<TModalWindow*>(w);
            return nullptr;
        }
    }
    return nullptr;
}

TWindow* TWindow::FindChild(const TString& name, uint32_t depth)
{
    if (mName == name)
        return this;
    if (depth == 0)
        return nullptr;
    for (TWindow* child : mChildren)
    {
        if (TWindow* found = child->FindChild(name, depth - 1))
            return found;
    }
    return nullptr;
}

TWindow* TWindow::HitTestChildren(TPoint point, std::list<TWindow*>::const_iterator from)
{
    for (auto it = from; it != mChildren.cend(); ++it)
    {
        TWindow* child = *it;
        const TRect& r = child->mRect;
        if (point.x >= r.left && point.x < r.right && point.y >= r.top && point.y < r.bottom &&
            child->IsShown())
            return child;
    }
    return this;
}

TWindow* TWindow::HitTest(TPoint point, uint32_t depth)
{
    if (depth == 0)
        return nullptr;
    TWindow* hit = HitTestChildren(point);
    if (hit == this)
        return this;
    hit->ParentToClient(point);
    return hit->HitTest(point, depth - 1);
}

void TWindow::VisitChildren(TWindowSpider& spider, bool backToFront)
{
    if (backToFront)
    {
        for (auto it = mChildren.rbegin(); it != mChildren.rend();)
        {
            TWindow* child = *it++;
            if (!spider.Visit(child))
                return;
        }
        return;
    }
    for (auto it = mChildren.begin(); it != mChildren.end();)
    {
        TWindow* child = *it++;
        if (!spider.Visit(child))
            return;
    }
}

void TWindow::DeleteChildren()
{
    ChildrenDelete spider(this, GetWindowManager());
    VisitChildren(spider, false);
}

void TWindow::FitToChildren()
{
    GetLargest spider(GetWidth(), GetHeight());
    VisitChildren(spider, false);
    SetSize(spider.mWidth, spider.mHeight);
}

TAxisPlacement ResolveAxis(int64_t c, int64_t s, int64_t parentExtent, bool hasParent, bool half,
                           bool full, bool alignGiven)
{
    const int64_t P = parentExtent;
    TAxisPlacement out;
    // 106666 is two thirds of kMax: above it a coordinate counts from the far edge.
    constexpr int64_t kFarEdge = 106666;
    if (c < kPlainLimit || c > kFarEdge)
    {
        if (half || full)
        {
            if (s == 0)
            {
                out.c = c;
                out.s = s;
                return out;
            }
            c -= half ? s / 2 : s;
        }
    }
    if (!hasParent)
    {
        out.c = c;
        out.s = s;
        return out;
    }
    auto resolve = [&](int64_t cc, int64_t ss) -> int64_t
    {
        if (cc > kFarEdge)
            return cc + P - kMax;
        if (cc > kPlainLimit)
            return (P / 2 - ss / 2) + cc - kCenter;
        if (cc < 0 && !alignGiven)
            return cc + P;
        return cc;
    };
    auto span = [&]()
    {
        int64_t d = c > kFarEdge ? c + P - kMax : c - kCenter;
        if (d >= 0)
        {
            s = s + P - 2 * d - kMax;
            c = 2 * d;
        }
        else
        {
            s = s + P + 2 * d - kMax;
            c = 0;
        }
    };
    if (s >= 0 && s <= kCenter)
    {
        c = resolve(c, s);
    }
    else if (s > kCenter)
    {
        if (c > kPlainLimit)
        {
            span();
        }
        else
        {
            c = resolve(c, s);
            s = s + P - c - kMax;
        }
    }
    else
    {
        s = -s;
        if (s <= kCenter)
        {
            c = resolve(c, s);
            c -= s;
        }
        else if (c > kPlainLimit)
        {
            span();
        }
        else
        {
            // No placement is defined for this combination: the axis stays as it is.
            out.placed = false;
        }
    }
    out.c = c;
    out.s = s;
    return out;
}

void TWindow::ReadPlacement(TWindowStyle& style)
{
    int64_t x = style.GetInt("x", 0);
    int64_t y = style.GetInt("y", 0);
    int64_t w = style.GetInt("w", GetWidth());
    int64_t h = style.GetInt("h", GetHeight());
    auto notPlain = [](int64_t c) { return c < 0 || c > kPlainLimit; };
    auto needsParent = [&](int64_t c, int64_t s) { return notPlain(c) || s < 0 || s > kCenter; };
    if (mParent != nullptr)
    {
        if (needsParent(x, w) && mParent->GetWidth() == 0)
            return;
        if (needsParent(y, h) && mParent->GetHeight() == 0)
            return;
    }
    if ((notPlain(x) && w == 0) || (notPlain(y) && h == 0))
        return;
    int32_t align = style.GetInt("align", -1);
    bool alignGiven = align != -1;
    if (!alignGiven)
        align = 0;
    bool hasParent = mParent != nullptr;
    int64_t pw = hasParent ? mParent->GetWidth() : 0;
    int64_t ph = hasParent ? mParent->GetHeight() : 0;
    TAxisPlacement hx = ResolveAxis(x, w, pw, hasParent, (align & kHAlignCenter) != 0,
                                    (align & kHAlignRight) != 0, alignGiven);
    TAxisPlacement vy = ResolveAxis(y, h, ph, hasParent, (align & kVAlignCenter) != 0,
                                    (align & kVAlignBottom) != 0, alignGiven);
    // Only values still 0 are taken, so the call from PostInit places what Init had to leave.
    int32_t left = mRect.left != 0 || !hx.placed ? mRect.left : Saturate(hx.c);
    int32_t top = mRect.top != 0 || !vy.placed ? mRect.top : Saturate(vy.c);
    SetPosition(left, top);
    int32_t width = GetWidth() != 0 || !hx.placed ? GetWidth() : Saturate(hx.s);
    int32_t height = GetHeight() != 0 || !vy.placed ? GetHeight() : Saturate(vy.s);
    SetSize(width, height);
}

bool TWindow::DispatchToHandler(const TPlatformEvent& event)
{
    TPoint point{event.mX, event.mY};
    char low = static_cast<char>(event.mParam & 0xFF);
    switch (event.mType)
    {
    case kEventLeftDown:
        return OnMouseDown(point);
    case kEventButton:
        return OnOtherButton(point, event.mParam);
    case kEventLeftUp:
        return OnMouseUp(point);
    case kEventMouseMove:
        return OnMouseMove(point);
    case kEventHover:
        return OnMouseHover(point);
    case kEventKeyDown:
        return OnKeyDown(low, event.mParam2);
    case kEventKeyUp:
        return OnKeyUp(low);
    case kEventChar:
    case kEventWideChar:
        if (gSwallowNextChar)
        {
            gSwallowNextChar = false;
            return true;
        }
        if (event.mType == kEventChar)
            return OnChar(low);
        {
            TString text = TString::FromCodePoint(static_cast<uint32_t>(event.mParam));
            if (OnText(text))
                return true;
            return text.Length() == 1 && OnChar(low);
        }
    default:
        return false;
    }
}

bool TWindow::HandleEvent(const TPlatformEvent& event, bool focusAssigned)
{
    bool consumed = DispatchToHandler(event);
    TWindowManager* manager = GetWindowManager();
    if (event.mType == kEventLeftDown && !focusAssigned)
    {
        for (TWindow* w = this; w != nullptr; w = w->mParent)
        {
            if ((w->mFlags & kWindowFocusable) != 0)
            {
                if (manager != nullptr)
                    manager->SetFocus(w);
                focusAssigned = true;
                break;
            }
        }
    }
    if (consumed)
        return true;
    if ((mFlags & kWindowModal) != 0)
    {
        // Without overlay routing the modal itself announces the unhandled release or key.
        if (manager != nullptr && !IsEnabled("overlaymouse"))
        {
            if (event.mType == kEventLeftUp)
                manager->PostMessage(new TMessage(kPressAnyKey, "mouse:up"));
            else if (event.mType == kEventKeyDown)
                manager->PostMessage(new TMessage(
                    kPressAnyKey, TString("raw:") + static_cast<char>(event.mParam & 0xFF)));
        }
        return false;
    }
    if (mParent == nullptr)
        return false;
    TPlatformEvent copy = event;
    bool mouse = IsMouseEvent(event.mType);
    TPoint point{event.mX, event.mY};
    if (mouse)
    {
        ClientToParent(point);
        copy.mX = point.x;
        copy.mY = point.y;
    }
    TWindow* parent = mParent;
    auto self = std::find(parent->mChildren.cbegin(), parent->mChildren.cend(), this);
    if (self != parent->mChildren.cend())
    {
        TWindow* sibling = parent->HitTestChildren(point, std::next(self));
        if (sibling != parent)
        {
            TPoint screen = point;
            parent->ClientToScreen(screen);
            TPoint local = screen;
            sibling->ScreenToClient(local);
            TWindow* target = sibling->HitTest(local, UINT32_MAX);
            if (target != nullptr)
            {
                TPlatformEvent toSibling = copy;
                if (mouse)
                {
                    TPoint p = screen;
                    target->ScreenToClient(p);
                    toSibling.mX = p.x;
                    toSibling.mY = p.y;
                }
                return target->HandleEvent(toSibling, focusAssigned);
            }
        }
    }
    return parent->HandleEvent(copy, focusAssigned);
}

void TWindow::SendMessage(TMessage* message)
{
    for (TWindow* w = this; w != nullptr; w = w->mParent)
    {
        if (w->OnMessage(message))
        {
            delete message;
            return;
        }
        if ((w->mFlags & kWindowModal) == 0)
            continue;
        if (w->IsKindOf(TModalWindow::GetClassId()))
        {
            TWindow* focus = static_cast<TModalWindow*>(w)->GetFocusWindow();
            if (focus != nullptr && focus->OnMessage(message))
            {
                delete message;
                return;
            }
        }
        if (TWindowManager* manager = GetWindowManager())
            manager->SendToScript(message);
        else
            delete message;
        return;
    }
    delete message;
}

TWindowAnim* TWindow::GetAnimTask()
{
    if (mAnimTask != nullptr)
        return mAnimTask;
    TModalWindow* modal =
        IsKindOf(TModalWindow::GetClassId()) ? static_cast<TModalWindow*>(this) : FindModalParent();
    if (modal == nullptr)
        return nullptr;
    mAnimTask = new TWindowAnim(this);
    modal->AddTask(mAnimTask);
    mAnimTask->SetClock(&modal->GetClock());
    return mAnimTask;
}

void TWindow::SetAnimTiming(uint32_t delay, bool repeat, bool fromNow, bool catchUp)
{
    if (TWindowAnim* task = GetAnimTask())
        task->SetTiming(delay, repeat, fromNow, catchUp);
}

TWindowAnim* TWindow::DetachAnimTask()
{
    TWindowAnim* task = mAnimTask;
    if (task != nullptr)
        task->mWindow = nullptr;
    mAnimTask = nullptr;
    return task;
}

TWindowAnim::~TWindowAnim()
{
    if (mWindow != nullptr)
        mWindow->mAnimTask = nullptr;
}

bool GetLargest::Visit(TWindow* child)
{
    mWidth = std::max(mWidth, child->GetRect().right);
    mHeight = std::max(mHeight, child->GetRect().bottom);
    return true;
}

bool ChildrenDelete::Visit(TWindow* child)
{
    mParent->RemoveChild(child);
    if (mManager != nullptr)
        mManager->ScheduleDelete(child);
    else
        delete child;
    return true;
}

bool TWindowClearFlags::Visit(TWindow* child)
{
    child->SetFlags(child->GetFlags() & mMask);
    if (mRecursive)
        child->VisitChildren(*this, false);
    return true;
}

bool TModalPoppedSpider::Visit(TWindow* child)
{
    TModalPoppedSpider inner;
    child->VisitChildren(inner, false);
    child->OnModalPopped();
    return true;
}
