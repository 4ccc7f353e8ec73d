/* The real X window test's screen grabs: waits until a file exists (a shot the game took), then
 * grabs the whole X screen about every 10 ms, as a player's eye would see it, until a second file
 * exists or the X server goes. Each grab is appended to the output file as a grid of 32 x 24
 * block averages (red, green, blue bytes, rows top-down): small enough to keep thousands, fine
 * enough to tell one screen from another. The screen is taken to be 24-bit true colour (the
 * test's Xvfb screen).
 * With a fourth argument "white", the grabs wait for a window manager (10 s at most; said when none
 * comes), and the screen's background (the root window) is painted white before the first grab, so
 * that a black window shows its shape on it.
 * Beside the output file, "<output file>.ms" gets each grab's time (milliseconds since the first
 * grab, one line each), so that a test can tell how long a screen was seen.
 * Usage: x11_grab <start file> <stop file> <output file> [white]; status 0 once the stop file came
 * or the display went, 1 when the start file never came or there is no display. */
#include "x11_helper.h"

#include <X11/Xutil.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>
#include <unistd.h>

enum
{
    kColumns = 32,
    kRows = 24
};

static FILE* gOutput = NULL;
static FILE* gTimes = NULL;

static long NowMs(void)
{
    struct timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return (long)now.tv_sec * 1000 + now.tv_nsec / 1000000;
}

/* The game's end takes the X server with it: what was grabbed is kept. */
static int DisplayGone(Display* display)
{
    (void)display;
    if (gOutput != NULL)
        fclose(gOutput);
    if (gTimes != NULL)
        fclose(gTimes);
    exit(0);
}

int main(int argc, char** argv)
{
    if (argc != 4 && !(argc == 5 && strcmp(argv[4], "white") == 0))
    {
        fprintf(stderr, "usage: x11_grab <start file> <stop file> <output file> [white]\n");
        return 1;
    }
    Display* display = X11HelperOpenDisplayOnceThere("x11_grab", argv[1]);
    if (display == NULL)
        return 1;
    XSetIOErrorHandler(DisplayGone);
    char timesName[4096];
    snprintf(timesName, sizeof timesName, "%s.ms", argv[3]);
    gOutput = fopen(argv[3], "wb");
    gTimes = fopen(timesName, "w");
    if (gOutput == NULL || gTimes == NULL)
    {
        fprintf(stderr, "x11_grab: cannot write %s\n", argv[3]);
        return 1;
    }
    const Window root = DefaultRootWindow(display);
    if (argc == 5)
    {
        X11HelperWaitForWindowManager("x11_grab", display);
        XSetWindowBackground(display, root, WhitePixel(display, DefaultScreen(display)));
        XClearWindow(display, root);
        XSync(display, False);
    }
    XWindowAttributes attributes;
    XGetWindowAttributes(display, root, &attributes);
    const int blockWidth = attributes.width / kColumns;
    const int blockHeight = attributes.height / kRows;
    unsigned char grid[kColumns * kRows * 3];
    long first = -1;
    while (!X11HelperFileExists(argv[2]))
    {
        const long now = NowMs();
        first = first < 0 ? now : first;
        XImage* image = XGetImage(display, root, 0, 0, (unsigned)attributes.width,
                                  (unsigned)attributes.height, AllPlanes, ZPixmap);
        if (image == NULL)
            break;
        for (int row = 0; row < kRows; ++row)
        {
            for (int column = 0; column < kColumns; ++column)
            {
                unsigned long sum[3] = {0, 0, 0};
                for (int y = row * blockHeight; y < (row + 1) * blockHeight; ++y)
                {
                    for (int x = column * blockWidth; x < (column + 1) * blockWidth; ++x)
                    {
                        /* The usual 32-bit pixels read directly: a grab costs a few ms. */
                        const unsigned long pixel =
                            image->bits_per_pixel == 32
                                ? ((const unsigned int*)(image->data +
                                                         (long)y * image->bytes_per_line))[x]
                                : XGetPixel(image, x, y);
                        sum[0] += (pixel & image->red_mask) >> 16;
                        sum[1] += (pixel & image->green_mask) >> 8;
                        sum[2] += pixel & image->blue_mask;
                    }
                }
                const unsigned long count = (unsigned long)blockWidth * (unsigned long)blockHeight;
                for (int c = 0; c < 3; ++c)
                    grid[(row * kColumns + column) * 3 + c] = (unsigned char)(sum[c] / count);
            }
        }
        XDestroyImage(image);
        fwrite(grid, 1, sizeof grid, gOutput);
        fflush(gOutput);
        fprintf(gTimes, "%ld\n", now - first);
        fflush(gTimes);
        usleep(10000);
    }
    fclose(gOutput);
    fclose(gTimes);
    XCloseDisplay(display);
    return 0;
}
