// Whether the frame loop ever waits on a save's behalf: for a data file's lock, a flush to the
// disk, or a save on its way to its saver. Saves of the shared files run beside the loop, so none
// should; the whole-program runs with the slowed disk (MURKWELL_SLOW_FLUSH_MS) read the count the
// program logs as its close begins.
#pragma once

#include <cstdint>
#include <string>

namespace sys
{

// On the frame loop's thread: from WatchSaveWaits(true) to WatchSaveWaits(false) each wait that
// thread makes on a save's behalf is counted, with its length on the wall clock. The waits of
// other threads (the savers') are not, nor one inside a wait already counted (a save's lock wait
// within that save).
void WatchSaveWaits(bool watch);

struct SaveWaits
{
    uint32_t count = 0;
    uint32_t longestMs = 0;
    // What the longest waited for.
    std::string longest;
};
SaveWaits GetSaveWaits();

// Tests: MURKWELL_FRAME_THREAD_SAVES=1 keeps the shared files' saves on the thread that asks for
// them, where they were made before they moved beside the frame loop, so that a run can show the
// count above is kept.
bool FrameThreadSavesAsked();

// A wait on a save's behalf, from its making to its end: `what` names it ("the lock
// '/home/ann/.local/share/.../prefs.dat.lock'").
class SaveWait
{
public:
    explicit SaveWait(std::string what);
    ~SaveWait();
    SaveWait(const SaveWait&) = delete;
    SaveWait& operator=(const SaveWait&) = delete;

private:
    std::string mWhat;
    int64_t mStartUs = 0;
    bool mCounts = false;
};

} // namespace sys
