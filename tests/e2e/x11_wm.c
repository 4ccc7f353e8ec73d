/* The real X window test's wait for the window manager: a run that starts the game under one waits
 * until it runs, so that the game's window is managed from its first showing, as on a desktop.
 * Usage: x11_wm; status 0 once a window manager runs, 1 when none came within 10 s or there is
 * no display. */
#include "x11_helper.h"

int main(void)
{
    Display* display = XOpenDisplay(NULL);
    if (display == NULL)
    {
        fprintf(stderr, "x11_wm: no X display\n");
        return 1;
    }
    const int running = X11HelperWaitForWindowManager("x11_wm", display);
    XCloseDisplay(display);
    return running ? 0 : 1;
}
