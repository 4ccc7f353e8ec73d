/* What the real X window test's helper programs share: each acts as another program would, once
 * the game has taken a shot (a file appears), on the X display the test started. */
#ifndef MURKWELL_TESTS_E2E_X11_HELPER_H
#define MURKWELL_TESTS_E2E_X11_HELPER_H

#include <X11/Xlib.h>

#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

static int X11HelperFileExists(const char* path)
{
    struct stat info;
    return stat(path, &info) == 0;
}

/* Waits until `file` exists, then opens the display; NULL, said on standard error under the
 * helper's `name`, when the file never came or there is no display. A minute at most: the game
 * starts slowly under the sanitizers on a loaded machine. */
static Display* X11HelperOpenDisplayOnceThere(const char* name, const char* file)
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

#endif
