// Names of the display result codes for log lines.
#include "sys/display/result.h"

namespace sys::display
{

const char* ResultName(Result r)
{
    switch (r)
    {
    case Result::Ok:
        return "OK";
    case Result::False:
        return "FALSE";
    case Result::NotImplemented:
        return "NOTIMPL";
    case Result::Pointer:
        return "POINTER";
    case Result::Fail:
        return "FAIL";
    case Result::InvalidParams:
        return "INVALIDPARAMS";
    case Result::OutOfMemory:
        return "OUTOFMEMORY";
    case Result::InvalidPixelFormat:
        return "INVALIDPIXELFORMAT";
    case Result::InvalidRect:
        return "INVALIDRECT";
    case Result::NoExclusiveMode:
        return "NOEXCLUSIVEMODE";
    case Result::NotFound:
        return "NOTFOUND";
    case Result::OutOfVideoMemory:
        return "OUTOFVIDEOMEMORY";
    case Result::SurfaceBusy:
        return "SURFACEBUSY";
    case Result::SurfaceLost:
        return "SURFACELOST";
    case Result::WasStillDrawing:
        return "WASSTILLDRAWING";
    case Result::CantCreateDC:
        return "CANTCREATEDC";
    case Result::NoPaletteAttached:
        return "NOPALETTEATTACHED";
    case Result::ExclusiveModeAlreadySet:
        return "EXCLUSIVEMODEALREADYSET";
    case Result::NotLocked:
        return "NOTLOCKED";
    case Result::WrongMode:
        return "WRONGMODE";
    case Result::UnsupportedMode:
        return "UNSUPPORTEDMODE";
    case Result::SurfaceNotInVidMem:
        return "SURFACENOTINVIDMEM";
    case Result::SceneEndFailed:
        return "SCENE_END_FAILED";
    }
    return "UNKNOWN";
}

} // namespace sys::display
