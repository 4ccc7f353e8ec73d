// TWindow, the node of every window tree, with the message record TMessage and its types, the
// listener and visitor interfaces (TMessageListener, TWindowSpider and the tree's own visitors) and
// the window's animation task TWindowAnim.
#pragma once

#include "platform/shell/event_pump.h"
#include "platform/maths/geometry.h"
#include "platform/shell/task.h"
#include "platform/strings/tstring.h"

#include <cstdint>
#include <list>
#include <unordered_set>

class TModalWindow;
class TWindow;
class TWindowAnim;
class TWindowManager;
class TWindowStyle;

// A class id: an address unique to the class; IsKindOf compares them.
using TClassId = const void*;

// Flag bits of TWindow::GetFlags.
enum : uint32_t
{
    kWindowModal = 0x1,
    kWindowFocusable = 0x2,
    kWindowRenderTargetPass = 0x4,
    kWindowBeginGroup = 0x8,
    kWindowVisible = 0x100,
    kWindowInRenderTarget = 0x400,
    kWindowCovers = 0x800
};

// Placement anchors of style tables: values above kPlainLimit are relative to the parent.
enum : int64_t
{
    kPlainLimit = 40000,
    kCenter = 80000,
    kMax = 160000
};

// Alignment bits of a style's "align".
enum : int32_t
{
    kHAlignCenter = 1,
    kHAlignRight = 2,
    kVAlignCenter = 4,
    kVAlignBottom = 8
};

// Message types.
enum : int32_t
{
    kGeneric = 0,
    kCloseWindow = 1,
    kDefaultAction = 2,
    kButtonPress = 3,
    kPressAnyKey = 4,
    kQuitNow = 5,
    kModalClosed = 6,
    kTextEditChanged = 7,
    kCommandOnly = 8,
    kSliderValChanged = 9,
    kSliderMouseUp = 10,
    kSliderPageUp = 11,
    kSliderPageDown = 12,
    kUserMessageBase = 1000
};

// A point in some window's coordinates.
struct TPoint
{
    int32_t x = 0;
    int32_t y = 0;
};

// Set by a modal window's hot key: the character event of the same key press is dropped.
extern bool gSwallowNextChar;

class TMessage
{
public:
    TMessage(int32_t type, const TString& name, TWindow* target = nullptr)
        : mType(type), mName(name), mTarget(target)
    {
    }
    virtual const char* GetClassName() const { return "TMessage"; }
    virtual bool IsKindOf(TClassId id) const { return id == GetClassId(); }
    virtual ~TMessage() = default;

    static TClassId GetClassId();

    int32_t mType;
    TString mName;
    // The window a queued message is meant for; null for none.
    TWindow* mTarget;
};

// Receives messages that have no target window; true takes the message.
class TMessageListener
{
public:
    virtual ~TMessageListener() = default;
    virtual bool OnMessage(TMessage* message) = 0;
};

// A visitor over a window's direct children; Visit answers false to stop.
class TWindowSpider
{
public:
    virtual ~TWindowSpider() = default;
    virtual bool Visit(TWindow* child) = 0;
};

class TWindow
{
public:
    TWindow();
    TWindow(const TWindow&) = delete;
    TWindow& operator=(const TWindow&) = delete;

    // The creator registered for "Window"; its address is the class id.
    static TWindow* Create();
    static TClassId GetClassId() { return reinterpret_cast<TClassId>(&TWindow::Create); }

    // The virtual operations, in their fixed order.
    virtual const char* GetClassName() const { return "TWindow"; }
    virtual bool IsKindOf(TClassId id) const { return id == GetClassId(); }
    virtual ~TWindow();
    // False refuses the attachment.
    virtual bool OnAttach() { return true; }
    virtual bool SpareQuery() { return false; }
    virtual void Init(TWindowStyle& style);
    virtual void PostInit(TWindowStyle& style);
    virtual void Draw() {}
    // After the children are drawn.
    virtual void PostDraw() {}
    virtual bool AddChild(TWindow* child, bool attach);
    // Answers the child's former parent.
    virtual TWindow* RemoveChild(TWindow* child);
    virtual void OnModalPopped() {}
    virtual void SetScale(float factor, uint32_t word)
    {
        (void)factor;
        (void)word;
    }
    virtual bool OnMessage(TMessage* message)
    {
        (void)message;
        return false;
    }
    // False ends the animation task.
    virtual bool Animate() { return false; }
    virtual bool OnMouseDown(TPoint point)
    {
        (void)point;
        return false;
    }
    virtual bool OnOtherButton(TPoint point, int32_t button)
    {
        (void)point;
        (void)button;
        return false;
    }
    virtual bool OnMouseUp(TPoint point)
    {
        (void)point;
        return false;
    }
    virtual bool OnMouseMove(TPoint point)
    {
        (void)point;
        return false;
    }
    virtual bool OnMouseLeave() { return false; }
    virtual bool SpareQuery2() { return false; }
    virtual bool OnChar(char c)
    {
        (void)c;
        return false;
    }
    virtual bool OnText(const TString& utf8)
    {
        (void)utf8;
        return false;
    }
    virtual bool OnKeyDown(char key, int32_t modifiers)
    {
        (void)key;
        (void)modifiers;
        return false;
    }
    virtual bool OnKeyUp(char key)
    {
        (void)key;
        return false;
    }
    virtual bool OnMouseHover(TPoint point);
    // Called on the new focus window with the one that had the focus before (may be null or this).
    virtual void OnSetFocus(TWindow* previous) { (void)previous; }
    virtual void SpareNotify(uint32_t word) { (void)word; }

    void SetName(const TString& name) { mName = name; }
    TString GetName() const { return mName; }
    // The id as "%8x": lower-case hex, space-padded to eight characters.
    TString GetIdString() const;
    uint32_t GetId() const { return mId; }

    TWindow* GetParent() const { return mParent; }
    const std::list<TWindow*>& GetChildren() const { return mChildren; }
    const TRect& GetRect() const { return mRect; }
    uint32_t GetFlags() const { return mFlags; }
    int32_t GetWidth() const { return mRect.Width(); }
    int32_t GetHeight() const { return mRect.Height(); }

    TRect GetScreenRect() const;
    TRect GetClientRect() const { return TRect(0, 0, mRect.Width(), mRect.Height()); }
    void ClientToScreen(TPoint& point) const;
    void ScreenToClient(TPoint& point) const;
    void ClientToParent(TPoint& point) const;
    void ParentToClient(TPoint& point) const;

    void SetPosition(int32_t x, int32_t y);
    void SetSize(int32_t width, int32_t height);
    // Replaces bits 0x100-0x8000; bits 0-7 keep their values and bits 16-31 become 0.
    void SetFlags(uint32_t flags);
    // For constructors and buttons, which own the low bits.
    void AddFlagBits(uint32_t bits) { mFlags |= bits; }
    void ClearFlagBits(uint32_t bits) { mFlags &= ~bits; }

    bool IsShown() const;
    TModalWindow* FindModalParent() const;
    // Depth with all bits set is unlimited.
    TWindow* FindChild(const TString& name, uint32_t depth);
    TWindow* HitTest(TPoint point, uint32_t depth);
    // The first child from `from` on that is shown and contains the point (in this window's
    // coordinates); this window when none does.
    TWindow* HitTestChildren(TPoint point, std::list<TWindow*>::const_iterator from);
    TWindow* HitTestChildren(TPoint point) { return HitTestChildren(point, mChildren.begin()); }
    void VisitChildren(TWindowSpider& spider, bool backToFront);
    void DeleteChildren();
    // Grows to enclose every child's right and bottom edge; never shrinks.
    void FitToChildren();
    void ReadPlacement(TWindowStyle& style);

    // Pass 0 is the normal pass, 1 the render-target pass, 2 what pass 1 did not draw. False when
    // the window's flags kept it from being drawn.
    bool Render(int pass);

    // The event's point is in this window's coordinates; true when consumed.
    bool HandleEvent(const TPlatformEvent& event, bool focusAssigned);
    // Synchronous delivery up the parents; takes the message.
    void SendMessage(TMessage* message);

    // Created on first use and scheduled on the task list of the window's modal window; null when
    // the window has no modal window.
    TWindowAnim* GetAnimTask();
    void SetAnimTiming(uint32_t delay, bool repeat, bool fromNow, bool catchUp);
    // The caller owns the answer.
    TWindowAnim* DetachAnimTask();

private:
    friend class TWindowAnim;
    // Joins or leaves the cover set of the enclosing modal window: a member when it carries 0x800
    // and has the given size.
    void UpdateCoverMembership(int32_t width, int32_t height);
    void LeaveCoverSet();
    bool DispatchToHandler(const TPlatformEvent& event);

    TWindow* mParent = nullptr;
    // Front = top of the stacking order.
    std::list<TWindow*> mChildren;
    // The same windows, for the membership test of each insertion: building a window of many
    // children must not walk the list once per child.
    std::unordered_set<TWindow*> mChildSet;
    TRect mRect;
    TString mName;
    uint32_t mFlags = kWindowVisible;
    uint32_t mId = 0;
    TWindowAnim* mAnimTask = nullptr;
    // Set while the destructor runs, so the children it deletes may still name it as parent.
    bool mDeleting = false;
};

// One axis of placement: coordinate c and size s resolved against the parent's extent P. The
// values are 64-bit so that style numbers near the int limits cannot overflow; `placed` is false
// when the axis must stay as it is.
struct TAxisPlacement
{
    int64_t c = 0;
    int64_t s = 0;
    bool placed = true;
};
TAxisPlacement ResolveAxis(int64_t c, int64_t s, int64_t parentExtent, bool hasParent, bool half,
                           bool full, bool alignGiven);

// The window's animation task: each step asks the window's Animate.
class TWindowAnim : public TAnimTask
{
public:
    explicit TWindowAnim(TWindow* window) : mWindow(window) {}
    ~TWindowAnim() override;
    bool Animate() override { return mWindow != nullptr && mWindow->Animate(); }
    TWindow* GetWindow() const { return mWindow; }

private:
    friend class TWindow;
    TWindow* mWindow;
};

// Width = max(width, child's right), height = max(height, child's bottom).
class GetLargest : public TWindowSpider
{
public:
    GetLargest(int32_t width, int32_t height) : mWidth(width), mHeight(height) {}
    bool Visit(TWindow* child) override;
    int32_t mWidth;
    int32_t mHeight;
};

// Unlinks each child and hands it to the manager's deferred deletion.
class ChildrenDelete : public TWindowSpider
{
public:
    ChildrenDelete(TWindow* parent, TWindowManager* manager) : mParent(parent), mManager(manager) {}
    bool Visit(TWindow* child) override;

private:
    TWindow* mParent;
    TWindowManager* mManager;
};

// SetFlags(child flags & mask), through the subtree when recursive.
class TWindowClearFlags : public TWindowSpider
{
public:
    TWindowClearFlags(uint32_t mask, bool recursive) : mMask(mask), mRecursive(recursive) {}
    bool Visit(TWindow* child) override;

private:
    uint32_t mMask;
    bool mRecursive;
};

// OnModalPopped on every descendant, children before their parent.
class TModalPoppedSpider : public TWindowSpider
{
public:
    bool Visit(TWindow* child) override;
};
