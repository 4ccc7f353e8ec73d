// The save steps shared by every data file copies of the game share.
#include "platform/files/shared_save.h"

#include "platform/files/file.h"
#include "platform/log.h"

TSharedSave::TSharedSave(const TString& name, int maxBytes, const TWords& words)
    : mName(name), mMaxBytes(maxBytes), mWords(words)
{
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
    if (!mDamaged)
        return true;
    TString keptAs;
    TString reason;
    if (!::KeepDamagedFile(mName, mMaxBytes, keptAs, reason))
    {
        if (!mKeepFailureSaid)
            Log(mWords.keepFailed, ShownPath(mName).c_str(), reason.c_str());
        mKeepFailureSaid = true;
        return false;
    }
    mDamaged = false;
    if (keptAs.Length() == 0)
        Log(mWords.gone, ShownPath(mName).c_str());
    else
        Log(mWords.kept, keptAs.c_str());
    return true;
}

bool TSharedSave::TakeInOtherSaves(TStore& store, TFileLock& lock)
{
    std::vector<uint8_t> bytes;
    const TRead read = store.ReadFile(bytes);
    // Nothing written since (or the file removed): this copy's values are the whole file.
    if (read == TRead::kMissing || (read == TRead::kRead && mFileExisted && bytes == mFileBytes))
        return true;
    if (read == TRead::kRead && store.TakeIn(bytes))
    {
        // From here this copy's values stand on the file as it is now.
        Remember(bytes, true);
        return true;
    }
    // Damaged since it was read, or no longer a file a reader takes (logged): kept aside, as a
    // damaged file found at the start is, and never taken in (an empty file would count every
    // record as deleted there).
    mDamaged = true;
    if (!KeepDamaged())
        return false;
    // Moved away or copied: what is at the name now is what the write may replace.
    lock.NoteFile();
    return true;
}

bool TSharedSave::Save(TStore& store)
{
    // Whatever stops this save, what it was to write stays in memory for the next one.
    mUnsaved = true;
    // Another copy's read-and-replace of the file waits for this one, and this one for it; without
    // the lock the file is not replaced (the lock says why, once).
    TFileLock lock(mName);
    if (!lock.Held())
        return false;
    mStandIn = lock.HeldByStandIn();
    lock.NoteFile();
    // A damaged file that could not be kept is still the only copy of what it held.
    if (mDamaged)
    {
        if (!KeepDamaged())
            return false;
        lock.NoteFile();
    }
    if (!TakeInOtherSaves(store, lock))
        return false;
    TString reason = "nothing to write";
    std::vector<uint8_t> bytes;
    if (store.Build(bytes, reason) && bytes.size() > static_cast<size_t>(mMaxBytes))
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
    if (bytes.empty() ||
        !WriteWholeFile(mName, bytes.data(), static_cast<int>(bytes.size()), reason, check))
    {
        Log(replaced ? mWords.failed : mWords.putOff, ShownPath(mName).c_str(), reason.c_str());
        return false;
    }
    Remember(bytes, true);
    store.Written();
    mUnsaved = false;
    return true;
}

bool TSharedSave::SavePending(TStore& store)
{
    if (!mUnsaved || Save(store))
        return true;
    // The player must hear of it where the program was started, not only in a log few open.
    LogAndSay(TString::Format(mWords.lost, ShownPath(mName).c_str()).c_str());
    return false;
}
