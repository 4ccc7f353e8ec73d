// Shared by the scene-entity tests: a completion callback that counts its calls, and the headless
// display fixture with entities drawn into a black frame and the box of the lit pixels read back.
#pragma once

#include "framework/adventure/entities/gameplay_entity.h"
#include "framework/transforms/wait_handle.h"
#include "framework/framework_display_support.h"
#include "render/renderer/draw_spec.h"
#include "render/renderer/renderer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

namespace advtest
{

// A completion callback as a caller hands it in: counts its calls, may act inside them.
struct CountingCallback
{
    CountingCallback() : mCallback(this, &CountingCallback::OnCall) {}
    static void OnCall(void* object, TM_Transform*, uint32_t)
    {
        auto* self = static_cast<CountingCallback*>(object);
        ++self->mCalls;
        if (self->mAction)
            self->mAction();
    }
    Callback* Get() { return &mCallback; }
    // A report of its own each time, told into this counter.
    WaitHandle Report() { return WaitHandle::For(mCallback); }
    int mCalls = 0;
    std::function<void()> mAction;
    Callback mCallback;
};

// Left, top, right, bottom (exclusive) of the back buffer's pixels that are not black; all 0 when
// none is.
struct Box
{
    int left = 0, top = 0, right = 0, bottom = 0;
    int Width() const { return right - left; }
    int Height() const { return bottom - top; }
};

class EntityDisplayTest : public fwtest::FrameworkDisplayTest
{
protected:
    // One frame of `ms`: the entities' updates, then the transform manager.
    void Tick(uint32_t ms, std::initializer_list<GameplayEntity*> entities)
    {
        Step(ms,
             [&]
             {
                 for (GameplayEntity* entity : entities)
                     entity->Update(ms);
             });
    }
    // The entities drawn in order into a black frame under `parent`.
    void DrawAll(std::initializer_list<GameplayEntity*> entities,
                 const TDrawSpec& parent = TDrawSpec())
    {
        ASSERT_TRUE(Draw2d(
            [&]
            {
                for (GameplayEntity* entity : entities)
                    entity->Draw(parent);
            }));
    }
    bool Logged(const std::string& part) const { return Log().find(part) != std::string::npos; }
    Box LitBox()
    {
        Box box{800, 600, 0, 0};
        for (int y = 0; y < 600; ++y)
            for (int x = 0; x < 800; ++x)
                if (Back(x, y) != 0)
                {
                    box.left = std::min(box.left, x);
                    box.top = std::min(box.top, y);
                    box.right = std::max(box.right, x + 1);
                    box.bottom = std::max(box.bottom, y + 1);
                }
        return box.right == 0 ? Box() : box;
    }
};

} // namespace advtest
