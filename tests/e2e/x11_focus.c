/* The real X window test's stolen focus: waits until a file exists (a shot the game took), then
 * takes the keyboard focus from the window that holds it as another program would, keeps it away
 * for a while and gives it back: a full-screen game presents nothing while it is away.
 * Usage: x11_focus <file> <milliseconds away>; status 0 once the focus is back, 1 when the file
 * never came or there is no display. */
#include "x11_helper.h"

#include <stdlib.h>

int main(int argc, char** argv)
{
    if (argc != 3)
    {
        fprintf(stderr, "usage: x11_focus <file> <milliseconds away>\n");
        return 1;
    }
    Display* display = X11HelperOpenDisplayOnceThere("x11_focus", argv[1]);
    if (display == NULL)
        return 1;
    Window had = None;
    int revert = RevertToNone;
    XGetInputFocus(display, &had, &revert);
    XSetInputFocus(display, None, RevertToNone, CurrentTime);
    XSync(display, False);
    usleep((useconds_t)atoi(argv[2]) * 1000u);
    XSetInputFocus(display, had, revert, CurrentTime);
    XSync(display, False);
    XCloseDisplay(display);
    return 0;
}
