// The save steps shared by every data file copies of the game share, on the owner's thread or on a
// saver beside it.
#include "platform/files/shared_save.h"

#include "platform/files/file.h"
#include "platform/files/file_layer.h"
#include "platform/log.h"
#include "sys/files/save_waits.h"
#include "sys/input_script/input_script.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <utility>

struct TSharedSave::TCore
{
    TCore(const TString& name, int maxBytes, const TWords& words)
        : mName(name), mMaxBytes(maxBytes), mWords(words)
    {
    }

    void Remember(const std::vector<uint8_t>& bytes, bool exists)
    {
        mFileBytes = bytes;
        mFileExisted = exists;
    }
    bool KeepDamagedAt(const TJob& job);
    // The save's steps. `inlineStore`: the owner's store, when this runs on the owner's thread
    // (another copy's save is then taken in under the same lock).
    TResult Run(TJob& job, TStore* inlineStore);
    void SaverLoop();
    // Where the save on its way is: waiting for the lock (which ends by its own bound) or past it.
    void NotePhase(bool lockWaiting)
    {
        {
            std::lock_guard<std::mutex> guard(mMutex);
            mLockWaiting = lockWaiting;
            mSince = TClock::now();
        }
        mChanged.notify_all();
    }

    const TString mName;
    const int mMaxBytes;
    const TWords mWords;
    // The saver's while a job runs; the owner's while none is on its way.
    std::vector<uint8_t> mFileBytes;
    bool mFileExisted = false;
    bool mDamaged = false;
    bool mKeepFailureSaid = false;
    // Between the two threads, under mMutex (never held for the disk or the lock).
    std::mutex mMutex;
    std::condition_variable mChanged;
    std::unique_ptr<TJob> mJob;
    std::unique_ptr<TResult> mResult;
    bool mStop = false;
    TCounts mCounts;
    bool mLockWaiting = false;
    TClock::time_point mSince;
};

namespace
{
std::atomic<uint32_t> gCloseDiskWaitMs{kCloseDiskWaitMs};
std::atomic<bool> gSaverLeftWriting{false};

// The "lost" line of each file whose changes wait to be written, for the quit watch.
struct TUnsavedLines
{
    std::mutex mMutex;
    std::map<const void*, std::string> mLines;
};

TUnsavedLines& UnsavedLines()
{
    // Never torn down: the quit watch may read it as the program ends.
    static TUnsavedLines* lines = new TUnsavedLines;
    return *lines;
}

void ForgetUnsaved(const void* owner)
{
    TUnsavedLines& unsaved = UnsavedLines();
    std::lock_guard<std::mutex> guard(unsaved.mMutex);
    unsaved.mLines.erase(owner);
}
} // namespace

TSharedSave::TSharedSave(const TString& name, int maxBytes, const TWords& words)
    : mCore(std::make_shared<TCore>(name, maxBytes, words))
{
}

TSharedSave::~TSharedSave()
{
    ForgetUnsaved(this);
    if (!mSaver.joinable())
        return;
    {
        std::lock_guard<std::mutex> guard(mCore->mMutex);
        mCore->mStop = true;
    }
    mCore->mChanged.notify_all();
    if (!mLeft)
    {
        mSaver.join();
        return;
    }
    // A hung disk holds it: it ends with its write, holding the core it shares.
    gSaverLeftWriting = true;
    mSaver.detach();
}

void TSharedSave::Remember(const std::vector<uint8_t>& bytes, bool exists)
{
    mCore->Remember(bytes, exists);
}

const std::vector<uint8_t>& TSharedSave::GetFileBytes() const
{
    return mCore->mFileBytes;
}

bool TSharedSave::FileExisted() const
{
    return mCore->mFileExisted;
}

void TSharedSave::MarkDamaged()
{
    mCore->mDamaged = true;
}

bool TSharedSave::IsDamaged() const
{
    return mCore->mDamaged;
}

bool TSharedSave::KeepDamaged()
{
    TJob job;
    job.location = ResolvePath(mCore->mName, false);
    job.shown = ShownPath(mCore->mName);
    return mCore->KeepDamagedAt(job);
}

bool TSharedSave::TCore::KeepDamagedAt(const TJob& job)
{
    if (!mDamaged)
        return true;
    TString keptAs;
    TString reason = "it is not a file on the disk";
    const bool onDisk =
        job.location.Length() > 0 && job.location.CharAt(0) != '@' && job.location.CharAt(0) != '&';
    if (!onDisk || !::KeepDamagedFileAt(mName, job.location, mMaxBytes, keptAs, reason))
    {
        if (!mKeepFailureSaid)
            Log(mWords.keepFailed, job.shown.c_str(), reason.c_str());
        mKeepFailureSaid = true;
        return false;
    }
    mDamaged = false;
    if (keptAs.Length() == 0)
        Log(mWords.gone, job.shown.c_str());
    else
        Log(mWords.kept, keptAs.c_str());
    return true;
}

void TSharedSave::SetBackground(bool background)
{
    mBackground = background && !sys::FrameThreadSavesAsked();
}

TSharedSave::TJob TSharedSave::MakeJob(TStore& store)
{
    TJob job;
    job.version = store.Snapshot();
    job.line = sys::InputScriptLineDone();
    // Names are looked up here, on the owner's thread: the saver opens locations.
    job.location = ResolvePath(mCore->mName, false);
    job.shown = ShownPath(mCore->mName);
    return job;
}

TSharedSave::TResult TSharedSave::TCore::Run(TJob& job, TStore* inlineStore)
{
    TResult result;
    // Another copy's read-and-replace of the file waits for this one, and this one for it; without
    // the lock the file is not replaced (the lock says why, once). A saver waits the whole bound
    // each time: it holds no frame, and another copy's ordinary save is worth its wait.
    NotePhase(true);
    TFileLock lock(mName, job.location, inlineStore == nullptr);
    NotePhase(false);
    if (!lock.Held())
    {
        result.shutOut = true;
        return result;
    }
    lock.NoteFile();
    // A damaged file that could not be kept is still the only copy of what it held.
    if (mDamaged)
    {
        if (!KeepDamagedAt(job))
            return result;
        lock.NoteFile();
    }
    std::vector<uint8_t> bytes;
    const TRead read = job.version->ReadFile(job.location, bytes);
    // Nothing written since (or the file removed): this copy's values are the whole file.
    if (!(read == TRead::kMissing || (read == TRead::kRead && mFileExisted && bytes == mFileBytes)))
    {
        std::unique_ptr<TTaken> taken = read == TRead::kRead ? job.version->Parse(bytes) : nullptr;
        if (taken)
        {
            // From here this copy's values stand on the file as it is now: its owner takes it in
            // before it makes the next version.
            Remember(bytes, true);
            if (inlineStore == nullptr)
            {
                result.outcome = TOutcome::kTaken;
                result.taken = std::move(taken);
                return result;
            }
            inlineStore->TakeIn(*taken);
            job.version = inlineStore->Snapshot();
        }
        else
        {
            // Damaged since it was read, or no longer a file a reader takes (logged): kept aside,
            // as a damaged file found at the start is, and never taken in (an empty file would
            // count every record as deleted there).
            mDamaged = true;
            if (!KeepDamagedAt(job))
                return result;
            // Moved away or copied: what is at the name now is what the write may replace.
            lock.NoteFile();
        }
    }
    TString reason = "nothing to write";
    bytes.clear();
    if (job.version->Build(bytes, reason, lock.HeldByStandIn()) &&
        bytes.size() > static_cast<size_t>(mMaxBytes))
    {
        // The next start would refuse it, and lose everything in it.
        reason = TString::Format("%u bytes, more than the %d a reader takes",
                                 static_cast<unsigned>(bytes.size()), mMaxBytes);
        bytes.clear();
    }
    // The file layer writes a temporary file and renames it over the old one when it is closed,
    // so a crash mid-write leaves the old file whole; the rename goes only while the lock is held
    // and the file is the one taken in.
    bool replaced = true;
    const auto check = [&](TString& why)
    {
        replaced = lock.MayReplace(why);
        return replaced;
    };
    if (bytes.empty() || !WriteWholeFileAt(job.location, bytes.data(),
                                           static_cast<int>(bytes.size()), reason, check))
    {
        Log(replaced ? mWords.failed : mWords.putOff, job.shown.c_str(), reason.c_str());
        result.shutOut = !replaced;
        return result;
    }
    // The whole-program tests' seam (MURKWELL_SAVE_VERSIONS): each version put in place, copied
    // with the input line done when it was taken.
    sys::KeepSavedVersion(mName.c_str(), bytes.data(), bytes.size(), job.line);
    Remember(bytes, true);
    result.outcome = TOutcome::kWritten;
    result.version = std::move(job.version);
    return result;
}

void TSharedSave::Adopt(TStore& store, TResult& result)
{
    switch (result.outcome)
    {
    case TOutcome::kWritten:
        store.Written(*result.version);
        mUnsaved = false;
        mShutOut = false;
        break;
    case TOutcome::kTaken:
        store.TakeIn(*result.taken);
        // What was to be written is not yet: once more, over what was taken in.
        mWanted = true;
        break;
    case TOutcome::kFailed:
        // What it was to write stays in memory for the next one.
        mUnsaved = true;
        mShutOut = result.shutOut;
        break;
    }
}

bool TSharedSave::Save(TStore& store)
{
    if (mBackground)
    {
        mWanted = true;
        Poll(store);
        return true;
    }
    // The caller waits for the lock, the write and the flushes.
    const sys::SaveWait wait(TString::Format("a save of '%s'", mCore->mName.c_str()).c_str());
    TJob job = MakeJob(store);
    TResult result = mCore->Run(job, &store);
    {
        std::lock_guard<std::mutex> guard(mCore->mMutex);
        ++(result.outcome == TOutcome::kWritten ? mCore->mCounts.written
                                                : mCore->mCounts.notWritten);
    }
    Adopt(store, result);
    NoteUnsaved();
    return result.outcome == TOutcome::kWritten;
}

void TSharedSave::Poll(TStore& store)
{
    // The close has left the file to its saver: nothing more is handed to it.
    if (mLeft)
        return;
    std::unique_ptr<TResult> result;
    if (mInFlight)
    {
        std::lock_guard<std::mutex> guard(mCore->mMutex);
        result = std::move(mCore->mResult);
    }
    if (result)
    {
        mInFlight = false;
        Adopt(store, *result);
    }
    if (!mWanted || mInFlight)
    {
        NoteUnsaved();
        return;
    }
    if (!mBackground)
    {
        mWanted = false;
        Save(store);
        return;
    }
    auto job = std::make_unique<TJob>(MakeJob(store));
    mWanted = false;
    mInFlight = true;
    {
        std::lock_guard<std::mutex> guard(mCore->mMutex);
        mCore->mJob = std::move(job);
        mCore->mLockWaiting = false;
        mCore->mSince = TClock::now();
        if (!mSaver.joinable())
            mSaver = std::thread([core = mCore] { core->SaverLoop(); });
    }
    mCore->mChanged.notify_all();
    NoteUnsaved();
}

void TSharedSave::Wait(TStore& store)
{
    std::optional<sys::SaveWait> wait;
    for (;;)
    {
        Poll(store);
        if (!mInFlight || mLeft)
            return;
        if (!wait)
            wait.emplace(
                TString::Format("the save of '%s' on its way", mCore->mName.c_str()).c_str());
        std::unique_lock<std::mutex> guard(mCore->mMutex);
        mCore->mChanged.wait(guard, [&] { return mCore->mResult != nullptr; });
    }
}

bool TSharedSave::WaitAtMost(TStore& store, TClock::time_point closeBegan)
{
    std::optional<sys::SaveWait> wait;
    for (;;)
    {
        Poll(store);
        if (!mInFlight)
            return true;
        if (!wait)
            wait.emplace(
                TString::Format("the save of '%s' on its way", mCore->mName.c_str()).c_str());
        TCore& core = *mCore;
        std::unique_lock<std::mutex> guard(core.mMutex);
        while (core.mResult == nullptr)
        {
            // The lock's wait has its own bound; the disk is given one from when the save reached
            // it, or from the close's start when it was there already.
            if (core.mLockWaiting)
            {
                core.mChanged.wait(guard);
                continue;
            }
            const TClock::time_point until =
                std::max(core.mSince, closeBegan) + std::chrono::milliseconds(gCloseDiskWaitMs);
            if (TClock::now() >= until)
                return false;
            core.mChanged.wait_until(guard, until);
        }
    }
}

void TSharedSave::TCore::SaverLoop()
{
    std::unique_lock<std::mutex> guard(mMutex);
    for (;;)
    {
        mChanged.wait(guard, [&] { return mStop || mJob != nullptr; });
        if (mJob == nullptr)
            return;
        std::unique_ptr<TJob> job = std::move(mJob);
        guard.unlock();
        auto result = std::make_unique<TResult>(Run(*job, nullptr));
        guard.lock();
        ++(result->outcome == TOutcome::kWritten ? mCounts.written : mCounts.notWritten);
        mResult = std::move(result);
        mChanged.notify_all();
    }
}

bool TSharedSave::SavePending(TStore& store, TClock::time_point closeBegan)
{
    bool waited = !mLeft && WaitAtMost(store, closeBegan);
    // Another copy's ordinary save may hold the lock longer than one wait where the disk is slow;
    // a holder that outlasts two is taken for a copy stopped in its save.
    for (int tries = 0; waited && mUnsaved && tries < 2 && (tries == 0 || mShutOut); ++tries)
    {
        Save(store);
        waited = WaitAtMost(store, closeBegan);
    }
    if (waited && !mUnsaved)
        return true;
    if (!waited && !mLeft)
    {
        Log("A save of '%s' was at the disk for more than %u ms: the close does not wait for it",
            mCore->mName.c_str(), static_cast<unsigned>(gCloseDiskWaitMs));
        mLeft = true;
    }
    // Said here, not again by the quit watch.
    mNotedUnsaved = false;
    ForgetUnsaved(this);
    // The player must hear of it where the program was started, not only in a log few open.
    LogAndSay(TString::Format(mCore->mWords.lost, ShownPath(mCore->mName).c_str()).c_str());
    return false;
}

void TSharedSave::NoteUnsaved()
{
    const bool unsaved = mUnsaved || mWanted || mInFlight;
    if (unsaved == mNotedUnsaved)
        return;
    mNotedUnsaved = unsaved;
    TUnsavedLines& lines = UnsavedLines();
    std::lock_guard<std::mutex> guard(lines.mMutex);
    if (unsaved)
        lines.mLines[this] =
            TString::Format(mCore->mWords.lost, ShownPath(mCore->mName).c_str()).c_str();
    else
        lines.mLines.erase(this);
}

void TSharedSave::SayWhatIsLost()
{
    std::map<const void*, std::string> said;
    {
        TUnsavedLines& lines = UnsavedLines();
        std::lock_guard<std::mutex> guard(lines.mMutex);
        said.swap(lines.mLines);
    }
    for (const auto& [owner, line] : said)
        LogAndSay(line.c_str());
}

bool TSharedSave::AnySaverLeftWriting()
{
    return gSaverLeftWriting;
}

void TSharedSave::SetCloseDiskWait(uint32_t ms)
{
    gCloseDiskWaitMs = ms;
}

TSharedSave::TCounts TSharedSave::GetCounts() const
{
    std::lock_guard<std::mutex> guard(mCore->mMutex);
    return mCore->mCounts;
}
