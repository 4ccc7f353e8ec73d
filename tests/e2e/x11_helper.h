/* What the real X window test's helper programs share: each acts as another program would, once
 * the game has taken a shot (a file appears), on the X display the test started. */
#ifndef MURKWELL_TESTS_E2E_X11_HELPER_H
#define MURKWELL_TESTS_E2E_X11_HELPER_H

#include <X11/Xlib.h>

#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

static inline int X11HelperFileExists(const char* path)
{
    struct stat info;
    return stat(path, &info) == 0;
}

/* Waits until `file` exists, then opens the display; NULL, said on standard error under the
 * helper's `name`, when the file never came or there is no display. A minute at most: the game
 * starts slowly under the sanitizers on a loaded machine. */
static inline Display* X11HelperOpenDisplayOnceThere(const char* name, const char* file)
{
    for (int waited = 0; !X11HelperFileExists(file); ++waited)
    {
        if (waited >= 60000)
        {
            fprintf(stderr, "%s: %s never came\n", name, file);
            return NULL;
        }
        usleep(1000);
    }
    Display* display = XOpenDisplay(NULL);
    if (display == NULL)
        fprintf(stderr, "%s: no X display\n", name);
    return display;
}

/* Waits until a window manager marks the screen as run by it: true once it does, false (said on
 * standard error under the helper's `name`) when none came within 10 s. */
static inline int X11HelperWaitForWindowManager(const char* name, Display* display)
{
    const Window root = DefaultRootWindow(display);
    const Atom check = XInternAtom(display, "_NET_SUPPORTING_WM_CHECK", False);
    for (int waited = 0;; ++waited)
    {
        Atom type = None;
        int format = 0;
        unsigned long count = 0;
        unsigned long after = 0;
        unsigned char* value = NULL;
        XGetWindowProperty(display, root, check, 0, 1, False, AnyPropertyType, &type, &format,
                           &count, &after, &value);
        if (value != NULL)
            XFree(value);
        if (type != None)
            return 1;
        if (waited >= 1000)
        {
            fprintf(stderr, "%s: no window manager came\n", name);
            return 0;
        }
        usleep(10000);
    }
}

#endif
