// Host-window channels: none by default, a recording one for tests.
#include "sys/host.h"

#include <algorithm>

namespace sys
{
namespace
{
NoHost gNoHost;
HostChannel* gChannel = &gNoHost;
} // namespace

void SetHostChannel(HostChannel* channel)
{
    gChannel = channel ? channel : &gNoHost;
}

HostChannel& GetHostChannel()
{
    return *gChannel;
}

void RecordingHost::AddWindow(WindowHandle window, int width, int height, WindowHandle parent)
{
    mWindows[window] = HostWindow{width, height, parent};
}

void RecordingHost::RemoveWindow(WindowHandle window)
{
    mWindows.erase(window);
}

bool RecordingHost::IsWindow(WindowHandle window)
{
    return mWindows.count(window) != 0;
}

LParam RecordingHost::SendMessage(WindowHandle window, uint32_t message, WParam wParam,
                                  LParam lParam)
{
    if (!IsWindow(window))
        return 0;
    mMessages.push_back(Record{window, message, wParam, lParam, true});
    return mSendResult;
}

bool RecordingHost::PostMessage(WindowHandle window, uint32_t message, WParam wParam, LParam lParam)
{
    if (!IsWindow(window))
        return false;
    mMessages.push_back(Record{window, message, wParam, lParam, false});
    return true;
}

bool RecordingHost::GetClientSize(WindowHandle window, int& width, int& height)
{
    auto found = mWindows.find(window);
    if (found == mWindows.end())
        return false;
    width = found->second.width;
    height = found->second.height;
    return true;
}

WindowHandle RecordingHost::GetTopLevelAncestor(WindowHandle window)
{
    // A chain longer than the number of windows can only be a cycle.
    for (size_t steps = 0; steps <= mWindows.size(); ++steps)
    {
        auto found = mWindows.find(window);
        if (found == mWindows.end())
            return 0;
        if (found->second.parent == 0 || mWindows.count(found->second.parent) == 0)
            return window;
        window = found->second.parent;
    }
    return window;
}

bool RecordingHost::Minimize(WindowHandle window)
{
    if (!IsWindow(window))
        return false;
    mMinimized.push_back(window);
    return true;
}

bool RecordingHost::IsForeground(WindowHandle window)
{
    return window != 0 && window == mForeground;
}

} // namespace sys
