// AnimatedBitmapWindow: a window that shows one animated bitmap built from its own style, over
// the whole 800 x 600 screen, paused while a modal window other than its own is on top.
#pragma once

#include "ui/window.h"

#include <memory>

class AnimatedBitmap;

class AnimatedBitmapWindow : public TWindow
{
public:
    // Follows the modal stack: pauses the bitmap while another modal is on top. It never takes a
    // message.
    class MessageListener : public TMessageListener
    {
    public:
        explicit MessageListener(AnimatedBitmapWindow* window) : mWindow(window) {}
        ~MessageListener() override = default;
        bool OnMessage(TMessage* message) override;

    private:
        AnimatedBitmapWindow* mWindow;
    };

    AnimatedBitmapWindow();
    ~AnimatedBitmapWindow() override;

    // The creator registered with the window factory; its address is the class id.
    static TWindow* Create();
    static TClassId GetClassId();

    const char* GetClassName() const override { return "AnimatedBitmapWindow"; }
    bool IsKindOf(TClassId id) const override
    {
        return id == GetClassId() || TWindow::IsKindOf(id);
    }
    // At (0, 0) and 800 x 600 whatever the style says; the style's keys are the bitmap's.
    void PostInit(TWindowStyle& style) override;
    // In a 2-D block of its own, or inside one already open.
    void Draw() override;
    // The bitmap's per-frame update; keeps running.
    bool Animate() override;

    const std::shared_ptr<AnimatedBitmap>& GetBitmap() const { return mBitmap; }

private:
    std::shared_ptr<AnimatedBitmap> mBitmap;
    MessageListener* mListener = nullptr;
};
