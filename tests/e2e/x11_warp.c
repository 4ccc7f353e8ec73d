/* The real X window test's pointer warp: waits until a file exists (a shot the game took), then
 * moves the pointer of the X display to a point of the screen as another program would (no
 * device motion, no events sent to the game: X tells it only that the pointer is now there).
 * Usage: x11_warp <file> <x> <y>; status 0 once moved, 1 when the file never came or there is no
 * display. */
#include <X11/Xlib.h>

#include <stdio.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

int main(int argc, char** argv)
{
    if (argc != 4)
    {
        fprintf(stderr, "usage: x11_warp <file> <x> <y>\n");
        return 1;
    }
    struct stat info;
    /* A minute at most: the game starts slowly under the sanitizers on a loaded machine. */
    for (int waited = 0; stat(argv[1], &info) != 0; ++waited)
    {
        if (waited >= 60000)
        {
            fprintf(stderr, "x11_warp: %s never came\n", argv[1]);
            return 1;
        }
        usleep(1000);
    }
    Display* display = XOpenDisplay(NULL);
    if (display == NULL)
    {
        fprintf(stderr, "x11_warp: no X display\n");
        return 1;
    }
    XWarpPointer(display, None, DefaultRootWindow(display), 0, 0, 0, 0, atoi(argv[2]),
                 atoi(argv[3]));
    XSync(display, False);
    XCloseDisplay(display);
    return 0;
}
