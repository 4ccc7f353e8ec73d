/* The real X window test's presses, made through the X server's test extension as a mouse and a
 * keyboard make them: waits until a file exists (a shot the game took), then takes its steps in
 * turn. A step "X,Y" brings the pointer to screen point (X, Y) and presses and releases the left
 * button there, the three sent together, so that the press comes with the pointer's arrival (as a
 * quick hand's does: the game reads them in one go); "wait:MS" lets MS milliseconds pass;
 * "key:NAME" presses and releases the key of that X key name ("Escape").
 * Usage: x11_press <file> <step>...; status 0 once every step was sent, 1 when the file never came,
 * there is no display, the server has no test extension or a step is not understood. */
#include "x11_helper.h"

#include <X11/extensions/XTest.h>

#include <stdlib.h>
#include <string.h>

static int Step(Display* display, const char* step)
{
    int x = 0;
    int y = 0;
    char end = 0;
    if (strncmp(step, "wait:", 5) == 0)
    {
        usleep((useconds_t)atoi(step + 5) * 1000u);
        return 1;
    }
    if (strncmp(step, "key:", 4) == 0)
    {
        const KeySym symbol = XStringToKeysym(step + 4);
        const KeyCode code = symbol == NoSymbol ? 0 : XKeysymToKeycode(display, symbol);
        if (code == 0)
            return 0;
        XTestFakeKeyEvent(display, code, True, CurrentTime);
        XTestFakeKeyEvent(display, code, False, CurrentTime);
        XSync(display, False);
        return 1;
    }
    if (sscanf(step, "%d,%d%c", &x, &y, &end) != 2)
        return 0;
    XTestFakeMotionEvent(display, DefaultScreen(display), x, y, CurrentTime);
    XTestFakeButtonEvent(display, 1, True, CurrentTime);
    XTestFakeButtonEvent(display, 1, False, CurrentTime);
    XSync(display, False);
    return 1;
}

int main(int argc, char** argv)
{
    if (argc < 3)
    {
        fprintf(stderr, "usage: x11_press <file> <step>...\n");
        return 1;
    }
    Display* display = X11HelperOpenDisplayOnceThere("x11_press", argv[1]);
    if (display == NULL)
        return 1;
    int event = 0;
    int error = 0;
    int major = 0;
    int minor = 0;
    if (!XTestQueryExtension(display, &event, &error, &major, &minor))
    {
        fprintf(stderr, "x11_press: the X server has no test extension\n");
        XCloseDisplay(display);
        return 1;
    }
    for (int i = 2; i < argc; ++i)
        if (!Step(display, argv[i]))
        {
            fprintf(stderr, "x11_press: step '%s' not understood\n", argv[i]);
            XCloseDisplay(display);
            return 1;
        }
    XCloseDisplay(display);
    return 0;
}
