/* The real X window test's pointer warp: waits until a file exists (a shot the game took), then
 * moves the pointer of the X display to a point of the screen as another program would (no
 * device motion, no events sent to the game: X tells it only that the pointer is now there).
 * Usage: x11_warp <file> <x> <y>; status 0 once moved, 1 when the file never came or there is no
 * display. */
#include "x11_helper.h"

#include <stdlib.h>

int main(int argc, char** argv)
{
    if (argc != 4)
    {
        fprintf(stderr, "usage: x11_warp <file> <x> <y>\n");
        return 1;
    }
    Display* display = X11HelperOpenDisplayOnceThere("x11_warp", argv[1]);
    if (display == NULL)
        return 1;
    XWarpPointer(display, None, DefaultRootWindow(display), 0, 0, 0, 0, atoi(argv[2]),
                 atoi(argv[3]));
    XSync(display, False);
    XCloseDisplay(display);
    return 0;
}
