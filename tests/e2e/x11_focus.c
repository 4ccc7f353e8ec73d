/* The real X window test's stolen focus: waits until a file exists (a shot the game took), then
 * takes the keyboard focus from the window that holds it as another program would, keeps it away
 * for a while and gives it back: a full-screen game presents nothing while it is away.
 * Usage: x11_focus <file> <milliseconds away>; status 0 once the focus is back, 1 when the file
 * never came or there is no display. */
#include <X11/Xlib.h>

#include <stdio.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

int main(int argc, char** argv)
{
    if (argc != 3)
    {
        fprintf(stderr, "usage: x11_focus <file> <milliseconds away>\n");
        return 1;
    }
    struct stat info;
    /* A minute at most, as the pointer warp waits. */
    for (int waited = 0; stat(argv[1], &info) != 0; ++waited)
    {
        if (waited >= 60000)
        {
            fprintf(stderr, "x11_focus: %s never came\n", argv[1]);
            return 1;
        }
        usleep(1000);
    }
    Display* display = XOpenDisplay(NULL);
    if (display == NULL)
    {
        fprintf(stderr, "x11_focus: no X display\n");
        return 1;
    }
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
