// The game's drawn mouse cursor: CursorOverlay (a named image with an optional shadow) and the
// overlay window that keeps cursors by name, draws the current one and offers script functions.
#pragma once

#include "platform/shell/task.h"
#include "platform/strings/tstring.h"
#include "render/renderer/draw_spec.h"
#include "ui/window.h"

#include <cstdint>
#include <memory>
#include <vector>

class AnimatedBitmap;
class TLuaTable;

class CursorOverlay
{
public:
    // A table without "main" is a fatal report and leaves a cursor without an image.
    explicit CursorOverlay(const TLuaTable& table);

    // Shadow, then main image, at the mouse point; nothing while the mouse is outside the window.
    void Draw(const TDrawSpec& spec);

    // The main bitmap's name; empty without a main image.
    const TString& GetName() const;
    bool HasMain() const { return mMain != nullptr; }
    // The cursor's own placement relative to the mouse point.
    TDrawSpec& GetSpec() { return mSpec; }
    const std::shared_ptr<AnimatedBitmap>& GetMain() const { return mMain; }
    const std::shared_ptr<AnimatedBitmap>& GetShadow() const { return mShadow; }

private:
    // The system arrow follows the change of this cursor's own position since the last call.
    void MoveSystemArrow();

    TDrawSpec mSpec;
    std::shared_ptr<AnimatedBitmap> mMain;
    std::shared_ptr<AnimatedBitmap> mShadow;
};

class CursorOverlayController : public TWindow
{
public:
    CursorOverlayController();
    ~CursorOverlayController() override;

    static TWindow* Create();
    static TClassId GetClassId();

    const char* GetClassName() const override { return "CursorOverlayController"; }
    bool IsKindOf(TClassId id) const override
    {
        return id == GetClassId() || TWindow::IsKindOf(id);
    }
    void Draw() override;
    using TWindow::Animate;
    // Per drawing pass: the current cursor moves to the mouse point and its bitmaps step.
    virtual void Animate(uint32_t elapsed);

    // Script function "AddOverlayCursor": a cursor from its table, added unless its name is taken.
    void AddOverlayCursor(TLuaTable* table);
    void AddCursor(const std::shared_ptr<CursorOverlay>& cursor);
    // Script function "ShowCursor".
    void ShowCursor(bool shown) { mShown = shown; }
    // Script function "RemoveCursor": the first cursor of that name; an unknown name is ignored.
    void RemoveCursor(const TString& name);
    // Makes the first cursor of that name current; unknown: reported, the current one stays.
    bool FindCursor(const TString& name);

    bool IsShown() const { return mShown; }
    const std::vector<std::shared_ptr<CursorOverlay>>& GetCursors() const { return mCursors; }
    // Null when no cursor is current.
    CursorOverlay* GetCurrent() const
    {
        return mCurrent < mCursors.size() ? mCursors[mCurrent].get() : nullptr;
    }
    const TDrawSpec& GetSpec() const { return mSpec; }
    TTask* GetDrawTask() const { return mDrawTask.get(); }

private:
    // Runs once in every drawing pass and hands the controller the time since the previous one.
    class OnDrawTask : public TAnimTask
    {
    public:
        explicit OnDrawTask(CursorOverlayController* owner);
        // Straight to the step: the task is for drawing passes only and never falls due in time.
        bool Run() override { return Animate(); }
        bool Animate() override;

    private:
        CursorOverlayController* mOwner;
        uint32_t mLast;
    };

    bool mShown = true;
    std::vector<std::shared_ptr<CursorOverlay>> mCursors;
    // At mCursors.size() when no cursor is current.
    size_t mCurrent = 0;
    TDrawSpec mSpec;
    std::unique_ptr<OnDrawTask> mDrawTask;
};
