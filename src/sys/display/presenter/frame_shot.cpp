// The frame test mode: the request parsed once from the environment, the process-wide count of
// presented frames, and the write of the requested one (or the one an input script's "shot" line
// asks for) through the PNG writer.
#include "sys/display/presenter/frame_shot.h"

#include "sys/display/display_log.h"
#include "sys/display/presenter/surface_png.h"
#include "sys/input_script/input_script.h"

#include <cerrno>
#include <cstdlib>
#include <mutex>

namespace sys::display
{
namespace
{
struct ShotState
{
    std::mutex mMutex;
    bool mRead = false; // the request is settled (read from the environment or set)
    FrameShot mShot;
    uint32_t mCount = 0;
};

ShotState& State()
{
    static ShotState state;
    return state;
}
} // namespace

bool ParseFrameShot(const char* text, FrameShot& shot)
{
    if (text == nullptr || *text < '0' || *text > '9')
        return false;
    char* end = nullptr;
    errno = 0;
    const unsigned long frame = std::strtoul(text, &end, 10);
    if (errno != 0 || frame == 0 || frame > UINT32_MAX || *end != ':' || end[1] == 0)
        return false;
    shot.mFrame = static_cast<uint32_t>(frame);
    shot.mPath = end + 1;
    return true;
}

void SetFrameShot(const FrameShot& shot)
{
    ShotState& state = State();
    std::lock_guard<std::mutex> lock(state.mMutex);
    state.mRead = true;
    state.mShot = shot;
    state.mCount = 0;
}

void NoteFramePresented(const uint32_t* pixels, uint32_t width, uint32_t height)
{
    ShotState& state = State();
    std::lock_guard<std::mutex> lock(state.mMutex);
    if (!state.mRead)
    {
        state.mRead = true;
        const char* request = std::getenv("MURKWELL_SHOT");
        if (request != nullptr && *request != 0 && !ParseFrameShot(request, state.mShot))
            DisplayLog("MURKWELL_SHOT=%s ignored: expected <frame number>:<file.png>", request);
    }
    ++state.mCount;
    std::string scripted;
    if (pixels != nullptr && TakeShotRequest(scripted) &&
        !SavePixelsPng(pixels, width, height, scripted))
        DisplayLog("input script: frame %u could not be written to %s", state.mCount,
                   scripted.c_str());
    if (state.mShot.mFrame == 0 || state.mCount != state.mShot.mFrame)
        return;
    if (!SavePixelsPng(pixels, width, height, state.mShot.mPath))
        DisplayLog("MURKWELL_SHOT: frame %u could not be written to %s", state.mCount,
                   state.mShot.mPath.c_str());
}

} // namespace sys::display
