// The channel to a host window: the page or player that embeds the game ("-wnd=" on the command
// line). This platform has no such host, so by default no host window exists; tests install a
// recording host whose windows they register.
#pragma once

#include "sys/window/window.h"

#include <cstdio>
#include <map>
#include <string>
#include <vector>

namespace sys
{

class HostChannel
{
public:
    virtual ~HostChannel() = default;

    virtual bool IsWindow(WindowHandle window) = 0;
    virtual LParam SendMessage(WindowHandle window, uint32_t message, WParam wParam,
                               LParam lParam) = 0;
    virtual bool PostMessage(WindowHandle window, uint32_t message, WParam wParam,
                             LParam lParam) = 0;
    virtual bool GetClientSize(WindowHandle window, int& width, int& height) = 0;
    // The outermost window above `window` (itself when it has no parent); 0 for no window.
    virtual WindowHandle GetTopLevelAncestor(WindowHandle window) = 0;
    virtual bool Minimize(WindowHandle window) = 0;
    // Whether the host's window is the one with input focus.
    virtual bool IsForeground(WindowHandle window) = 0;
};

// No host at all: no window is a host window, messages go nowhere.
class NoHost : public HostChannel
{
public:
    bool IsWindow(WindowHandle) override { return false; }
    LParam SendMessage(WindowHandle, uint32_t, WParam, LParam) override { return 0; }
    bool PostMessage(WindowHandle, uint32_t, WParam, LParam) override { return false; }
    bool GetClientSize(WindowHandle, int&, int&) override { return false; }
    WindowHandle GetTopLevelAncestor(WindowHandle) override { return 0; }
    bool Minimize(WindowHandle) override { return false; }
    bool IsForeground(WindowHandle) override { return false; }
};

// A host for tests: windows are registered with a client size (and optionally a parent), every
// message to them is recorded, and a window can be made to vanish.
class RecordingHost : public HostChannel
{
public:
    struct Record
    {
        WindowHandle window;
        uint32_t message;
        WParam wParam;
        LParam lParam;
        bool sent; // SendMessage rather than PostMessage
    };

    void AddWindow(WindowHandle window, int width, int height, WindowHandle parent = 0);
    void RemoveWindow(WindowHandle window);
    void SetForeground(WindowHandle window) { mForeground = window; }
    // What SendMessage answers.
    void SetSendResult(LParam result) { mSendResult = result; }

    bool IsWindow(WindowHandle window) override;
    LParam SendMessage(WindowHandle window, uint32_t message, WParam wParam,
                       LParam lParam) override;
    bool PostMessage(WindowHandle window, uint32_t message, WParam wParam, LParam lParam) override;
    bool GetClientSize(WindowHandle window, int& width, int& height) override;
    WindowHandle GetTopLevelAncestor(WindowHandle window) override;
    bool Minimize(WindowHandle window) override;
    bool IsForeground(WindowHandle window) override;

    std::vector<Record> mMessages;
    std::vector<WindowHandle> mMinimized;

private:
    struct HostWindow
    {
        int width;
        int height;
        WindowHandle parent;
    };
    std::map<WindowHandle, HostWindow> mWindows;
    WindowHandle mForeground = 0;
    LParam mSendResult = 1;
};

// The host of whole-program test runs (MURKWELL_HOST_LOG=<file>): every non-zero window is a live
// host window of 800 x 600 in the foreground, and each message to one becomes a line of the file,
// "post|send <window> <message> <wParam> <lParam>" in hexadecimal, written at once.
class LogHost : public HostChannel
{
public:
    // False when the file cannot be opened for appending.
    bool Open(const std::string& path);
    // Every host window stops existing (the input script's "host gone").
    void EndWindows() { mGone = true; }
    ~LogHost() override;

    bool IsWindow(WindowHandle window) override;
    LParam SendMessage(WindowHandle window, uint32_t message, WParam wParam,
                       LParam lParam) override;
    bool PostMessage(WindowHandle window, uint32_t message, WParam wParam, LParam lParam) override;
    bool GetClientSize(WindowHandle window, int& width, int& height) override;
    WindowHandle GetTopLevelAncestor(WindowHandle window) override;
    bool Minimize(WindowHandle window) override;
    bool IsForeground(WindowHandle window) override;

private:
    bool Write(const char* kind, WindowHandle window, uint32_t message, WParam wParam,
               LParam lParam);
    std::FILE* mFile = nullptr;
    bool mGone = false;
};

// Ends the windows of the test host installed from MURKWELL_HOST_LOG; nothing without one.
void EndTestHostWindows();

// The installed channel (a NoHost until one is set; at the first call, the test host when
// MURKWELL_HOST_LOG names a file). Null restores the NoHost. The channel stays
// owned by the caller.
void SetHostChannel(HostChannel* channel);
HostChannel& GetHostChannel();

} // namespace sys
