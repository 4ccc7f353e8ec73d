// Host-window channels: none by default, a recording one for tests.
#include "sys/window/host.h"

#include "sys/files/paths.h"
#include "sys/process/process.h"

#include <algorithm>
#include <cinttypes>

namespace sys
{
namespace
{
NoHost gNoHost;
HostChannel* gChannel = &gNoHost;
bool gEnvironmentRead = false;
LogHost gLogHost;
bool gLogHostOpen = false;

void ReadEnvironment()
{
    if (gEnvironmentRead)
        return;
    gEnvironmentRead = true;
    const std::string path = GetEnvironmentVariable("MURKWELL_HOST_LOG");
    if (path.empty())
        return;
    if (!gLogHost.Open(path))
    {
        std::fprintf(stderr, "MURKWELL_HOST_LOG: %s cannot be written; no host\n", path.c_str());
        return;
    }
    gLogHostOpen = true;
    gChannel = &gLogHost;
}
} // namespace

void SetHostChannel(HostChannel* channel)
{
    gEnvironmentRead = true;
    gChannel = channel ? channel : &gNoHost;
}

HostChannel& GetHostChannel()
{
    ReadEnvironment();
    return *gChannel;
}

void EndTestHostWindows()
{
    if (gLogHostOpen)
        gLogHost.EndWindows();
}

bool LogHost::Open(const std::string& path)
{
    if (mFile)
        std::fclose(mFile);
    // A FIFO without a reader would hold the open, and so the start, for ever.
    std::string reason;
    bool refused = false;
    mFile = OpenRegularFile(path, true, reason, refused);
    mGone = false;
    return mFile != nullptr;
}

LogHost::~LogHost()
{
    if (mFile)
        std::fclose(mFile);
}

bool LogHost::IsWindow(WindowHandle window)
{
    return window != 0 && !mGone;
}

bool LogHost::Write(const char* kind, WindowHandle window, uint32_t message, WParam wParam,
                    LParam lParam)
{
    if (!IsWindow(window) || !mFile)
        return false;
    std::fprintf(mFile, "%s %" PRIx64 " %" PRIx32 " %" PRIx64 " %" PRIx64 "\n", kind,
                 uint64_t(window), message, uint64_t(wParam), uint64_t(lParam));
    std::fflush(mFile);
    return true;
}

LParam LogHost::SendMessage(WindowHandle window, uint32_t message, WParam wParam, LParam lParam)
{
    return Write("send", window, message, wParam, lParam) ? 1 : 0;
}

bool LogHost::PostMessage(WindowHandle window, uint32_t message, WParam wParam, LParam lParam)
{
    return Write("post", window, message, wParam, lParam);
}

bool LogHost::GetClientSize(WindowHandle window, int& width, int& height)
{
    if (!IsWindow(window))
        return false;
    width = 800;
    height = 600;
    return true;
}

WindowHandle LogHost::GetTopLevelAncestor(WindowHandle window)
{
    return IsWindow(window) ? window : 0;
}

bool LogHost::Minimize(WindowHandle window)
{
    return IsWindow(window);
}

bool LogHost::IsForeground(WindowHandle window)
{
    return IsWindow(window);
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
