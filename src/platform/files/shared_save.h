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
// at a Poll too. Wait waits for all of it; SavePending, which the close makes, waits for another
// copy's lock as long as a save does, but for the disk only a bound: a saver a hung disk holds is
// left to end its write on its own, and what it was to write is said lost.
#pragma once

#include "platform/strings/tstring.h"

#include <chrono>
#include <cstdint>
#include <memory>
#include <thread>
#include <vector>

// How long the close waits for a save that has its lock (or waits for none) to reach the disk:
// longer than the two flushes of an ordinary save on a slow disk, short of what a player waits for
// a close.
constexpr uint32_t kCloseDiskWaitMs = 8000;

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

    using TClock = std::chrono::steady_clock;

    // The file as this copy read or wrote it last: what the next save compares the file with.
    // While no save is on its way (at the load).
    void Remember(const std::vector<uint8_t>& bytes, bool exists);
    const std::vector<uint8_t>& GetFileBytes() const;
    bool FileExisted() const;

    // The file read was damaged: it is kept aside before anything replaces it.
    void MarkDamaged();
    bool IsDamaged() const;
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
    // of this run failed or was put off (twice while only another copy keeps it out: its ordinary
    // save on a slow disk may outlast one wait). When it fails again those changes are lost, which
    // is said in the log and on standard error. A save waits for another copy's lock as ever; one
    // at the disk is waited for kCloseDiskWaitMs from when it got there or from `closeBegan`,
    // whichever is later (the close of several files gives them one start, as their savers run
    // side by side). Past that it is left to its saver (never joined again, the owner saves no
    // more), and its changes are said lost.
    bool SavePending(TStore& store, TClock::time_point closeBegan = TClock::now());
    // A save of this run failed or was put off, and none made since (in the background: as far
    // as the owner has learnt at its Poll).
    bool HasUnsavedChanges() const { return mUnsaved; }
    // Those changes wait only for another copy: it held the lock, or saved since this copy's
    // save began. A later save may well be made, where a disk that refused may refuse again.
    bool WasShutOut() const { return mUnsaved && mShutOut; }
    // A save is asked for, handed over or not yet learnt of.
    bool IsSaving() const { return mWanted || mInFlight; }

    // A saver the close stopped waiting for may still be writing: the program must end without
    // tearing down what it uses (sys::ExitProcess).
    static bool AnySaverLeftWriting();
    // Says, in the log and on standard error, the "lost" line of each file with changes not yet
    // written (asked for, on their way, or failed), once: the program is ended before its close
    // could save them (the quit watch). Any thread.
    static void SayWhatIsLost();
    // Tests: the close's wait for the disk (kCloseDiskWaitMs).
    static void SetCloseDiskWait(uint32_t ms);

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
    // What the saver's thread uses: shared with it, so that a saver the close left to a hung disk
    // ends its write on its own after the owner is gone.
    struct TCore;

    TJob MakeJob(TStore& store);
    void Adopt(TStore& store, TResult& result);
    // Wait, for the close: false when a save at the disk outlasted its bound.
    bool WaitAtMost(TStore& store, TClock::time_point closeBegan);
    // Keeps the line the quit watch says true: whether changes wait to be written.
    void NoteUnsaved();

    std::shared_ptr<TCore> mCore;
    // The owner's.
    bool mUnsaved = false;
    bool mShutOut = false;
    bool mBackground = false;
    bool mWanted = false;
    bool mInFlight = false;
    bool mLeft = false;
    bool mNotedUnsaved = false;
    std::thread mSaver;
};
