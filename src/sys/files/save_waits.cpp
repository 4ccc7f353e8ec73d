// The frame loop's waits on saves' behalf, counted on its own thread.
#include "sys/files/save_waits.h"

#include <chrono>
#include <cstdlib>
#include <mutex>
#include <utility>

namespace sys
{
namespace
{
struct Watch
{
    std::mutex mMutex;
    SaveWaits mWaits;
};

Watch& TheWatch()
{
    static Watch watch;
    return watch;
}

// Set on the watched thread only; the depth keeps a wait inside another from counting twice.
thread_local bool tWatched = false;
thread_local int tDepth = 0;

int64_t NowUs()
{
    return std::chrono::duration_cast<std::chrono::microseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}
} // namespace

void WatchSaveWaits(bool watch)
{
    tWatched = watch;
}

SaveWaits GetSaveWaits()
{
    Watch& w = TheWatch();
    std::lock_guard<std::mutex> guard(w.mMutex);
    return w.mWaits;
}

bool FrameThreadSavesAsked()
{
    static const bool asked = []
    {
        const char* text = std::getenv("MURKWELL_FRAME_THREAD_SAVES");
        return text != nullptr && std::string(text) == "1";
    }();
    return asked;
}

SaveWait::SaveWait(std::string what) : mWhat(std::move(what))
{
    mCounts = tWatched && tDepth == 0;
    ++tDepth;
    if (mCounts)
        mStartUs = NowUs();
}

SaveWait::~SaveWait()
{
    --tDepth;
    if (!mCounts)
        return;
    const int64_t us = NowUs() - mStartUs;
    const uint32_t ms = static_cast<uint32_t>(us > 0 ? (us + 999) / 1000 : 0);
    Watch& w = TheWatch();
    std::lock_guard<std::mutex> guard(w.mMutex);
    ++w.mWaits.count;
    if (w.mWaits.count == 1 || ms > w.mWaits.longestMs)
    {
        w.mWaits.longestMs = ms;
        w.mWaits.longest = mWhat;
    }
}

} // namespace sys
