// TSharedSave: how a data file that copies of the game on one data folder share is saved. Under
// its lock ("<name>.lock"), the file is noted, a damaged one kept aside first, what another copy
// saved since this one last read or wrote it taken in, and the new file renamed over the old one
// only while the lock is held and the file is the one taken in. Whatever stops a save, what it was
// to write waits in memory for the next one. The preferences and the score store both save this
// way; each keeps its own reading, merging and words.
#pragma once

#include "platform/strings/tstring.h"

#include <cstdint>
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

    // What a store does at the steps of its saves.
    class TStore
    {
    public:
        virtual ~TStore() = default;
        // The file as it is now, within its reader's bound.
        virtual TRead ReadFile(std::vector<uint8_t>& bytes) = 0;
        // Takes in another copy's save; false (logged) when the bytes are no file a save writes:
        // they are then kept aside and never taken in.
        virtual bool TakeIn(const std::vector<uint8_t>& bytes) = 0;
        // The whole file to write; false with the reason when nothing may be written.
        virtual bool Build(std::vector<uint8_t>& bytes, TString& reason) = 0;
        // The file now holds the bytes Build gave.
        virtual void Written() = 0;
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

    // The file as this copy read or wrote it last: what the next save compares the file with.
    void Remember(const std::vector<uint8_t>& bytes, bool exists);
    const std::vector<uint8_t>& GetFileBytes() const { return mFileBytes; }
    bool FileExisted() const { return mFileExisted; }

    // The file read was damaged: it is kept aside before anything replaces it.
    void MarkDamaged();
    bool IsDamaged() const { return mDamaged; }
    // Keeps a damaged file aside under the first free "<name>.bad" name (logged either way; a
    // failure once). True when it was kept already or there is nothing to keep.
    bool KeepDamaged();

    bool Save(TStore& store);
    // The save to make before the end: once more when a save of this run failed or was put off.
    // When it fails again those changes are lost, which is said in the log and on standard error.
    bool SavePending(TStore& store);
    bool HasUnsavedChanges() const { return mUnsaved; }
    // Whether the save under way holds its lock by a stand-in (which a copy that cannot ask its
    // holder takes as left once old enough): what the store builds then tells a later reader.
    bool HoldsStandIn() const { return mStandIn; }

private:
    bool TakeInOtherSaves(TStore& store, TFileLock& lock);

    TString mName;
    int mMaxBytes;
    TWords mWords;
    std::vector<uint8_t> mFileBytes;
    bool mFileExisted = false;
    bool mDamaged = false;
    bool mKeepFailureSaid = false;
    bool mUnsaved = false;
    bool mStandIn = false;
};
