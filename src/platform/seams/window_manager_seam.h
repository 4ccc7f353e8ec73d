// What the platform shell asks of the window toolkit's window manager and window script. The
// toolkit's own manager implements this; until it exists a manager that does nothing stands in.
#pragma once

#include <cstdint>
#include <memory>

class TWindowManagerSeam
{
public:
    virtual ~TWindowManagerSeam() = default;

    // The next tick draws every window again.
    virtual void SetDirty() {}
    // Stores the flag telling that "strings.xml" loaded; answers the previous value.
    virtual bool SetScriptTextFlag(bool flag)
    {
        bool previous = mScriptTextFlag;
        mScriptTextFlag = flag;
        return previous;
    }
    // Builds the window script and installs it as the manager's script task.
    virtual void CreateScript() {}
    virtual bool HasScript() const { return false; }
    // The window script stops a playing movie before a close request is reported.
    virtual void StopMovieLocked() {}
    // The root window ("_screen_"), built on the first display-mode change.
    virtual bool HasRoot() const { return false; }
    virtual void CreateRoot(int width, int height)
    {
        mRootRight = width;
        mRootBottom = height;
    }
    // The root window's rectangle (window pixels); until the toolkit exists, the size given to
    // CreateRoot at (0, 0). The drawn cursor is clipped to it when it is put on a frame.
    virtual void GetRootRect(int& left, int& top, int& right, int& bottom) const
    {
        left = 0;
        top = 0;
        right = mRootRight;
        bottom = mRootBottom;
    }
    // While clear, button messages right after an activating click are dropped.
    virtual bool IsFilterExempt() const { return false; }
    // While set, button and wheel messages are dropped.
    virtual bool IsInputBlocked() const { return false; }
    // While set, nothing is drawn or presented.
    virtual bool IsDrawingSuspended() const { return false; }
    // How long until the next frame is due (0: now). Between frames an idle loop has nothing to
    // do but wait for input; with no windows it polls every millisecond.
    virtual uint32_t GetMsUntilNextFrame() const { return 1; }

protected:
    bool mScriptTextFlag = false;
    int mRootRight = 0;
    int mRootBottom = 0;
};

// The stand-in before the toolkit exists: every request is accepted and nothing happens.
class TNoWindowManager : public TWindowManagerSeam
{
};

using TWindowManagerFactory = std::unique_ptr<TWindowManagerSeam> (*)();
// The program's entry installs the toolkit's factory; null goes back to TNoWindowManager.
void SetWindowManagerFactory(TWindowManagerFactory factory);
std::unique_ptr<TWindowManagerSeam> CreateWindowManagerFromSeam();
