// Registration of the neighbouring layers' services, and the stand-ins used before they exist.
#include "platform/seams/display_seam.h"
#include "platform/seams/host_services_seam.h"
#include "platform/seams/sound_manager_seam.h"
#include "platform/seams/window_manager_seam.h"

#include "sys/window/events.h"

namespace
{
TWindowManagerFactory gWindowManagerFactory = nullptr;
TSoundManagerFactory gSoundManagerFactory = nullptr;
void (*gOggRegistration)() = nullptr;
TDisplayFactory gDisplayFactory = nullptr;
TNoHostServices gNoHostServices;
THostServicesSeam* gHostServices = &gNoHostServices;
} // namespace

void SetWindowManagerFactory(TWindowManagerFactory factory)
{
    gWindowManagerFactory = factory;
}

std::unique_ptr<TWindowManagerSeam> CreateWindowManagerFromSeam()
{
    if (gWindowManagerFactory)
        return gWindowManagerFactory();
    return std::make_unique<TNoWindowManager>();
}

void SetSoundManagerFactory(TSoundManagerFactory factory)
{
    gSoundManagerFactory = factory;
}

std::unique_ptr<TSoundManagerSeam> CreateSoundManagerFromSeam()
{
    if (gSoundManagerFactory)
        return gSoundManagerFactory();
    return std::make_unique<TNoSoundManager>();
}

void SetOggDataSourceRegistration(void (*registration)())
{
    gOggRegistration = registration;
}

void RegisterOggDataSourceBuilder()
{
    if (gOggRegistration)
        gOggRegistration();
}

void SetDisplayFactory(TDisplayFactory factory)
{
    gDisplayFactory = factory;
}

std::unique_ptr<TDisplaySeam> CreateDisplayFromSeam()
{
    if (gDisplayFactory)
        return gDisplayFactory();
    return std::make_unique<TNoDisplay>();
}

void SetHostServices(THostServicesSeam* services)
{
    gHostServices = services ? services : &gNoHostServices;
}

THostServicesSeam& GetHostServices()
{
    return *gHostServices;
}

bool TNoDisplay::SetDisplay(sys::WindowHandle window, int width, int height, bool, bool)
{
    if (width <= 0 || height <= 0)
        return false;
    mWidth = width;
    mHeight = height;
    int desktopWidth = 0;
    int desktopHeight = 0;
    sys::GetDesktopSize(desktopWidth, desktopHeight);
    int x = desktopWidth > width ? (desktopWidth - width) / 2 : 0;
    int y = desktopHeight > height ? (desktopHeight - height) / 2 : 0;
    if (!sys::MoveWindow(window, x, y, width, height))
        return false;
    sys::ShowWindow(window, sys::SW_SHOWNORMAL);
    return true;
}

void TNoDisplay::GetWindowSize(int& width, int& height, bool& full) const
{
    width = mWidth;
    height = mHeight;
    full = false;
}

void TNoDisplay::GetViewport(int& width, int& height) const
{
    width = mWidth;
    height = mHeight;
}

void TNoDisplay::GetDrawnMousePosition(int& x, int& y) const
{
    sys::GetLastMousePosition(x, y);
}
