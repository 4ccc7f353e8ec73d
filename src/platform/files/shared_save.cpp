// The save steps shared by every data file copies of the game share, on the owner's thread or on a
// saver beside it.
#include "platform/files/shared_save.h"

#include "platform/files/file.h"
#include "platform/files/file_layer.h"
#include "platform/log.h"
#include "sys/files/save_waits.h"
#include "sys/input_script/input_script.h"

#include <optional>
#include <utility>

TSharedSave::TSharedSave(const TString& name, int maxBytes, const TWords& words)
    : mName(name), mMaxBytes(maxBytes), mWords(words)
{
}

TSharedSave::~TSharedSave()
{
    if (!mSaver.joinable())
        return;
    {
        std::lock_guard<std::mutex> guard(mMutex);
        mStop = true;
    }
    mChanged.notify_all();
    mSaver.join();
}

void TSharedSave::Remember(const std::vector<uint8_t>& bytes, bool exists)
{
    mFileBytes = bytes;
    mFileExisted = exists;
}

void TSharedSave::MarkDamaged()
{
    mDamaged = true;
}

bool TSharedSave::KeepDamaged()
{
    TJob job;
    job.location = ResolvePath(mName, false);
    job.shown = ShownPath(mName);
    return KeepDamagedAt(job);
}

bool TSharedSave::KeepDamagedAt(const TJob& job)
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
    job.location = ResolvePath(mName, false);
    job.shown = ShownPath(mName);
    return job;
}

TSharedSave::TResult TSharedSave::Run(TJob& job, TStore* inlineStore)
{
    TResult result;
    // Another copy's read-and-replace of the file waits for this one, and this one for it; without
    // the lock the file is not replaced (the lock says why, once).
    TFileLock lock(mName, job.location);
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
    const sys::SaveWait wait(TString::Format("a save of '%s'", mName.c_str()).c_str());
    TJob job = MakeJob(store);
    TResult result = Run(job, &store);
    {
        std::lock_guard<std::mutex> guard(mMutex);
        ++(result.outcome == TOutcome::kWritten ? mCounts.written : mCounts.notWritten);
    }
    Adopt(store, result);
    return result.outcome == TOutcome::kWritten;
}

void TSharedSave::Poll(TStore& store)
{
    std::unique_ptr<TResult> result;
    if (mInFlight)
    {
        std::lock_guard<std::mutex> guard(mMutex);
        result = std::move(mResult);
    }
    if (result)
    {
        mInFlight = false;
        Adopt(store, *result);
    }
    if (!mWanted || mInFlight)
        return;
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
        std::lock_guard<std::mutex> guard(mMutex);
        mJob = std::move(job);
        if (!mSaver.joinable())
            mSaver = std::thread([this] { SaverLoop(); });
    }
    mChanged.notify_all();
}

void TSharedSave::Wait(TStore& store)
{
    std::optional<sys::SaveWait> wait;
    for (;;)
    {
        Poll(store);
        if (!mInFlight)
            return;
        if (!wait)
            wait.emplace(TString::Format("the save of '%s' on its way", mName.c_str()).c_str());
        std::unique_lock<std::mutex> guard(mMutex);
        mChanged.wait(guard, [&] { return mResult != nullptr; });
    }
}

void TSharedSave::SaverLoop()
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

bool TSharedSave::SavePending(TStore& store)
{
    Wait(store);
    if (mUnsaved)
    {
        Save(store);
        Wait(store);
    }
    if (!mUnsaved)
        return true;
    // The player must hear of it where the program was started, not only in a log few open.
    LogAndSay(TString::Format(mWords.lost, ShownPath(mName).c_str()).c_str());
    return false;
}

TSharedSave::TCounts TSharedSave::GetCounts() const
{
    std::lock_guard<std::mutex> guard(mMutex);
    return mCounts;
}
