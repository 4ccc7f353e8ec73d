// TSharedSave: how a data file that copies of the game on one data folder share is saved. Under
// its lock ("<name>.lock"), the file is noted, a damaged one kept aside first, what another copy
// saved since this one last read or wrote it taken in, and the new file renamed over the old one
// only while the lock is held and the file is the one taken in. Whatever stops a save, what it was
// to write waits in memory for the next one. The preferences and the score store both save this
// way; each keeps its own reading, merging and words.
//
// Saves may run beside the thread that owns the store (SetBackground): a request then costs that
// thread only the version it hands over (TStore::Snapshot), and one saver thread per file waits
// for the lock, reads the file again, writes, flushes and renames. Versions are written in the
// order they were handed over, one at a time; requests made while one is on its way are made as
// one save of the newest state once it is done. The owner's state is touched on the owner's
// thread only: another copy's save is read and taken apart by the saver, and taken in by the
// owner at its next Poll (which then saves again); the owner learns that a version was written
// at a Poll too. Wait (and so SavePending, which the close makes) waits for all of it.
#pragma once

#include "platform/strings/tstring.h"

#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

class TFileLock;

class TSharedSave
{
public:
    enum class TRead
    {
        kMissing, // nothing at the name
        kRead,    // the bytes hold the whole file
        kRefused, // something no reader takes (the store logged it)
    };

    // Another copy's save, taken apart on the saver's thread for the owner's take-in.
    class TTaken
    {
    public:
        virtual ~TTaken() = default;
    };

    // One version of the file: made on the owner's thread at a request, then used by the saver
    // alone (nothing in it may point into the owner's state).
    class TVersion
    {
    public:
        virtual ~TVersion() = default;
        // The file as it is now at the disk location, within its reader's bound.
        virtual TRead ReadFile(const TString& location, std::vector<uint8_t>& bytes) = 0;
        // Another copy's save taken apart; null (logged) when the bytes are no file a save
        // writes: they are then kept aside and never taken in.
        virtual std::unique_ptr<TTaken> Parse(const std::vector<uint8_t>& bytes) = 0;
        // The whole file to write; false with the reason when nothing may be written.
        // `standIn`: the lock this save holds is a stand-in (which a copy that cannot ask its
        // holder takes as left once old enough), known only once it is held: what is built then
        // tells a later reader.
        virtual bool Build(std::vector<uint8_t>& bytes, TString& reason, bool standIn) = 0;
    };

    // What a store does at the steps of its saves, on the owner's thread.
    class TStore
    {
    public:
        virtual ~TStore() = default;
        // What a save writes of the state as it is now.
        virtual std::unique_ptr<TVersion> Snapshot() = 0;
        // Takes in another copy's save: its values over this copy's, but this copy's changes
        // since it last read or wrote the file over those.
        virtual void TakeIn(TTaken& taken) = 0;
        // The file now holds `version` (the changes made since it was made are not in it).
        virtual void Written(TVersion& version) = 0;
    };

    // The store's own words, each a format with the file's shown name first. `keepFailed`,
    // `failed` and `putOff` take the reason next; `kept` the name the file was kept as alone.
    struct TWords
    {
        const char* keepFailed;
        const char* gone;
        const char* kept;
        const char* failed;
        const char* putOff;
        const char* lost;
    };

    TSharedSave(const TString& name, int maxBytes, const TWords& words);
    // Ends the saver thread after the version handed to it (the owner waits first: Wait).
    ~TSharedSave();
    TSharedSave(const TSharedSave&) = delete;
    TSharedSave& operator=(const TSharedSave&) = delete;

    // The file as this copy read or wrote it last: what the next save compares the file with.
    // While no save is on its way (at the load).
    void Remember(const std::vector<uint8_t>& bytes, bool exists);
    const std::vector<uint8_t>& GetFileBytes() const { return mFileBytes; }
    bool FileExisted() const { return mFileExisted; }

    // The file read was damaged: it is kept aside before anything replaces it.
    void MarkDamaged();
    bool IsDamaged() const { return mDamaged; }
    // Keeps a damaged file aside under the first free "<name>.bad" name (logged either way; a
    // failure once). True when it was kept already or there is nothing to keep. While no save is
    // on its way (Wait first).
    bool KeepDamaged();

    // Saves on a saver thread from now on (true), or on the caller's (false, the default: a
    // save then answers whether it was made).
    void SetBackground(bool background);
    bool IsBackground() const { return mBackground; }

    // A save of the store as it is now. On the caller's thread: true when it was made. In the
    // background: handed over (true), or joined to the one on its way; what it meets shows at
    // a later Poll (HasUnsavedChanges).
    bool Save(TStore& store);
    // The owner's turn, each frame: takes in what the saver found or made, and hands over the
    // save asked for meanwhile. Cheap when nothing came.
    void Poll(TStore& store);
    // Until every save asked for so far is made or has failed (each failure logged).
    void Wait(TStore& store);
    // The save to make before the end: waits for those on their way, then once more when a save
    // of this run failed or was put off. When it fails again those changes are lost, which is
    // said in the log and on standard error.
    bool SavePending(TStore& store);
    // A save of this run failed or was put off, and none made since (in the background: as far
    // as the owner has learnt at its Poll).
    bool HasUnsavedChanges() const { return mUnsaved; }
    // Those changes wait only for another copy: it held the lock, or saved since this copy's
    // save began. A later save may well be made, where a disk that refused may refuse again.
    bool WasShutOut() const { return mUnsaved && mShutOut; }
    // A save is asked for, handed over or not yet learnt of.
    bool IsSaving() const { return mWanted || mInFlight; }

    // What the saver did (tests): versions written, and saves it ended without writing.
    struct TCounts
    {
        int written = 0;
        int notWritten = 0;
    };
    TCounts GetCounts() const;

private:
    enum class TOutcome
    {
        kWritten,
        kTaken, // another copy's save found: the owner takes it in and saves again
        kFailed,
    };
    struct TJob
    {
        std::unique_ptr<TVersion> version;
        TString location;
        TString shown;
        // The input script's line done as the version was taken (the saved versions' seam).
        int line = 0;
    };
    struct TResult
    {
        TOutcome outcome = TOutcome::kFailed;
        std::unique_ptr<TVersion> version;
        std::unique_ptr<TTaken> taken;
        // Failed for another copy's sake (the lock, or its turn), not the disk's.
        bool shutOut = false;
    };

    TJob MakeJob(TStore& store);
    // The save's steps. `inlineStore`: the owner's store, when this runs on the owner's thread
    // (another copy's save is then taken in under the same lock).
    TResult Run(TJob& job, TStore* inlineStore);
    bool KeepDamagedAt(const TJob& job);
    void Adopt(TStore& store, TResult& result);
    void SaverLoop();

    TString mName;
    int mMaxBytes;
    TWords mWords;
    // The saver's while a job runs; the owner's while none is on its way.
    std::vector<uint8_t> mFileBytes;
    bool mFileExisted = false;
    bool mDamaged = false;
    bool mKeepFailureSaid = false;
    // The owner's.
    bool mUnsaved = false;
    bool mShutOut = false;
    bool mBackground = false;
    bool mWanted = false;
    bool mInFlight = false;
    // Between the two threads, under mMutex (never held for the disk or the lock).
    mutable std::mutex mMutex;
    std::condition_variable mChanged;
    std::unique_ptr<TJob> mJob;
    std::unique_ptr<TResult> mResult;
    bool mStop = false;
    TCounts mCounts;
    std::thread mSaver;
};
