// MouseOverlay: the full-screen overlay that draws a particle trail behind the mouse; the trail's
// description is loaded at the first movement and fed the mouse position once per drawn frame.
#pragma once

#include "framework/widgets/particle_functions.h"
#include "particles/lua_particle_system.h"
#include "particles/particle_renderer_2d.h"
#include "platform/maths/geometry.h"
#include "platform/shell/task.h"
#include "ui/window.h"

#include <cstdint>
#include <memory>

class MouseOverlay : public TWindow
{
public:
    // The game's main function makes it suspended; the class id's creator does not.
    MouseOverlay();
    explicit MouseOverlay(bool suspended);
    ~MouseOverlay() override;

    static TWindow* Create();
    static TClassId GetClassId();

    const char* GetClassName() const override { return "MouseOverlay"; }
    bool IsKindOf(TClassId id) const override
    {
        return id == GetClassId() || TWindow::IsKindOf(id);
    }
    // Particle positions are screen coordinates: drawn at (0, 0, 0).
    void Draw() override;
    // A step of 100 ms or more (a stall) is dropped, so the trail does not jump.
    virtual void UpdateParticles(int32_t milliseconds);
    // Registers "dMouse" and loads the trail's description, once.
    virtual void StartTrail();

    void TrackMouse(const TPoint& point);

    TLuaParticleSystem& GetSystem() { return *mParticles; }
    const ParticleVector& GetMouseVector() const { return mMouseVector; }
    bool IsSuspended() const { return mSuspended; }
    bool IsTrailStarted() const { return mTrailStarted; }
    bool IsDrawn() const { return mTask != nullptr && mTask->mDrawn; }
    TTask* GetTask() const { return mTask.get(); }

    static constexpr const char* kTrailScript = "scripts/particles/mouse.lua";

private:
    // Runs in the drawing pass only: after a frame was drawn, the next pass feeds the position and
    // steps the particles once.
    class MouseOverlayTask : public TAnimTask
    {
    public:
        explicit MouseOverlayTask(MouseOverlay* owner);
        bool Run() override;
        bool Animate() override { return true; }

        MouseOverlay* mOwner;
        bool mDrawn = true;
    };

    // The system keeps plain pointers to the renderer and the vector: they are made before it
    // and go after it.
    T2dParticleRenderer mRenderer;
    ParticleVector mMouseVector;
    std::shared_ptr<TLuaParticleSystem> mParticles;
    std::unique_ptr<MouseOverlayTask> mTask;
    int32_t mLastX = 0;
    int32_t mLastY = 0;
    bool mSuspended = false;
    bool mTrailStarted = false;
};
