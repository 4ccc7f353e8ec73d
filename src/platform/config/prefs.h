// TPrefs: every persistent per-installation and per-player value, kept per user slot under install
// keys and stored enciphered in "user:prefs.dat". The first chunk's install key is followed, after
// its NUL, by a check record of the chunks after it (their count and a checksum each), which
// earlier builds' readers pass over: a file cut on a chunk boundary or changed inside a payload is
// found damaged. A file without the record (from an earlier build) is read unchecked.
//
// Copies of the game may share one data folder. A save reads the file again, under the lock file
// "prefs.dat.lock", and takes in what another copy wrote since this one last read or wrote it:
// this copy's own changes (values set or removed, profiles made or deleted) go over the file's,
// and what the other copy added or changed stays. Without the lock nothing is written: the save
// is put off, and what it was to write stays for the next one.
//
// The game's store saves on a saver thread beside the frame loop (SetBackgroundSaves): a save
// then costs the frame the copy of the values it hands over; the frame loop calls PollSaves, and
// whoever needs the file as saved (the close, a reader of the file) calls WaitForSaves.
#pragma once

#include "platform/config/cipher.h"
#include "platform/files/shared_save.h"
#include "platform/strings/tstring.h"

#include <cstdint>
#include <map>
#include <memory>
#include <utility>
#include <vector>

class TFile;

// The limits of the file format: a chunk payload holds at most this many bytes, and a "USER" chunk
// names a slot up to this index.
constexpr uint32_t kPrefsMaxChunk = 0x400000;
constexpr int kPrefsMaxSlot = 1024;
// The largest file the reader takes, and so the largest one a save writes: four chunks of the
// largest size, thousands of times what the game's profiles hold, and as much as the score file.
// A larger file is damage (or something else put there), refused before it is read.
constexpr int kPrefsMaxFileBytes = 4 * static_cast<int>(kPrefsMaxChunk);

// A copy's place among the saves a file took in (see prefs.cpp).
struct TPrefsTurn
{
    uint64_t mCopy;
    uint32_t mSaves;
};
using TPrefsTurns = std::vector<TPrefsTurn>;

class TPrefs
{
public:
    using TSlot = std::map<TString, std::vector<uint8_t>>;
    using TSlotList = std::vector<TSlot>;

    explicit TPrefs(bool writable);
    // Waits for the saves on their way.
    ~TPrefs();
    TPrefs(const TPrefs&) = delete;
    TPrefs& operator=(const TPrefs&) = delete;

    // Number of user slots of the current install key.
    int GetNumUsers() const;

    // user -1 is the shared slot; user u (from 0) is a player's slot.
    TString GetString(const TString& key, const TString& defaultValue, int user = -1) const;
    int GetInt(const TString& key, int defaultValue, int user = -1) const;
    // With a buffer: 0 when copied, the value's length when size is too small (nothing copied).
    // Without a buffer: the value's length. -1 when the slot or the key does not exist.
    int GetData(const TString& key, void* buffer, int size, int user = -1) const;

    // False when the value was refused or, with `save`, the file could not be written (the value
    // is then held in memory only).
    bool SetString(const TString& key, const TString& value, int user = -1, bool save = true);
    bool SetInt(const TString& key, int value, int user = -1, bool save = true);
    bool SetData(const TString& key, const void* data, int length, int user = -1, bool save = true);
    // SetInt of a value this copy stores only where the file holds none: a value another copy
    // stored since this one read the file stays, as a value not changed here would.
    bool SetDefaultInt(const TString& key, int value, int user = -1, bool save = true);
    // Removes one key of a slot; false when the slot or the key does not exist (nothing written)
    // or, with `save`, the file could not be written.
    bool DeleteData(const TString& key, int user = -1, bool save = true);

    // Removes user index's slot; the later users move down by one. Nothing else moves a slot: a
    // player another copy deleted keeps its place in this copy's memory until the run ends (a
    // caller may hold its index across a save), but is written to no file unless this copy
    // changes it (having it current is no change).
    void DeleteUser(int index);

    // How a save tells players' slots apart when it takes in another copy's: the key of a slot's
    // name (a slot keeps it for its life), and the shared key holding the current user's index.
    // That index is this copy's own (the player it plays): a save writes it, moved to where that
    // player's slot ends up. Without a name key, slots are matched by their place.
    void SetProfileKeys(const TString& nameKey, const TString& currentUserKey);

    // A player this copy made while another copy made one of the same name (folded as the name
    // dialog folds it) stays a player of its own: the copy whose save came first keeps the name,
    // and the other's player is renamed when it takes that save in (logged), the name followed by
    // a number. Each copy then writes only its own player's record.
    struct TRename
    {
        int mUser; // the player's index in this copy
        TString mFrom;
        TString mTo;
    };
    // The renames taken in since the last call, the oldest first.
    std::vector<TRename> TakeRenames() { return std::exchange(mRenamed, {}); }

    // Writes the whole file (a temporary file renamed over the old one); nothing when read-only.
    // Under the lock, what another copy saved since this one read the file is taken in first
    // (and stays in memory). A file damaged meanwhile, emptied, or no longer one a reader takes is
    // kept aside and not taken in. The rename goes only while the lock is held and the file is the
    // one taken in. A failure (the lock not had included) is logged with the file and the reason,
    // answers false and leaves the old file as it was, and what was to be written waits in memory
    // for the next save. A damaged file is kept aside first (KeepDamagedFile); while it cannot be,
    // nothing is written over it.
    // With background saves: handed to the saver (true), which does all of that; what it meets
    // is logged there, and shows in HasUnsavedChanges after a later PollSaves.
    bool Save();
    // The save to make before the end: waits for the saves on their way, then once more when a
    // save of this run failed or was put off (said when it fails again: those changes are lost).
    // True when nothing is left unsaved. A save at a hung disk is waited for only a bound
    // (TSharedSave::SavePending), counted from `closeBegan` at the earliest.
    bool SavePending(TSharedSave::TClock::time_point closeBegan = TSharedSave::TClock::now());
    // A save of this run failed or was put off, and none was made since (with background saves:
    // as far as the last PollSaves learnt).
    bool HasUnsavedChanges() const { return mSaves.HasUnsavedChanges(); }
    // Those changes wait only for another copy (its lock or its turn), not for a refusing disk.
    bool WasShutOut() const { return mSaves.WasShutOut(); }
    // How many versions of the file this object has put in place: each is one state a reader
    // may find there.
    uint32_t GetVersionsWritten() const
    {
        return static_cast<uint32_t>(mSaves.GetCounts().written);
    }
    // Saves on a saver thread beside the caller's from now on (nothing for a read-only store);
    // false waits for those on their way and saves on the caller's thread again.
    void SetBackgroundSaves(bool background);
    // The frame loop's turn: what the saver took in from another copy's save is taken into
    // these values, and a save asked for while another was on its way is handed over.
    void PollSaves();
    // Until every save asked for so far is made or has failed: the file is then as saved.
    void WaitForSaves();
    // A save is asked for and not yet made or failed.
    bool IsSaving() const { return mSaves.IsSaving(); }
    // What the saver did so far: versions written, saves ended without writing.
    TSharedSave::TCounts GetSaveCounts() const { return mSaves.GetCounts(); }
    // Keeps the file as loaded, when it was damaged, under the first free "prefs.dat.bad" name
    // before anything replaces it (logged either way; a failure once). True when it was kept
    // already or there is nothing to keep.
    bool KeepDamagedFile();

    // The chunks Save writes, built in memory.
    std::vector<uint8_t> BuildFile();
    // Reads a file image as loading does: everything before the first bad chunk (one that does not
    // match the check record included) is kept. What it read is what the next save compares the
    // file with.
    // installFileEmpty: an "install.txt" was present but empty, so the file's first key is used.
    void LoadChunks(const uint8_t* data, size_t size, bool installFileEmpty);

    // The file as loaded held a bad chunk: what came after it is lost once the file is saved.
    bool LoadedDamaged() const { return mLoadedDamaged; }
    const TString& GetFileName() const { return mFileName; }
    const TString& GetInstallKey() const { return mInstallKey; }
    const std::map<TString, TSlotList>& GetGroups() const { return mGroups; }
    const TSlotList& GetCurrentSlots() const { return *mCurrent; }

private:
    using TGroups = std::map<TString, TSlotList>;
    using TTurns = TPrefsTurns;

    void Load();
    enum class TFileRead
    {
        kMissing, // nothing at the name
        kRead,    // `data` holds the whole file
        kRefused, // something no reader takes (logged): no regular file, or too large
    };
    TFileRead ReadFileBytes(std::vector<uint8_t>& data);
    // `shown`: the file as the log names it.
    static TFileRead ReadOpenFile(TFile& file, const TString& shown, std::vector<uint8_t>& data);
    class TVersion;
    class TStore;
    // Another copy's file taken apart; false (logged) when the bytes are no file a save writes.
    // `turns`: the copies' saves the file took in.
    static bool ParseTakeIn(TCipher& cipher, const TString& fileName, const TString& shown,
                            const std::vector<uint8_t>& data, TGroups& disk, TTurns& turns);
    // Takes in what another copy wrote since this one last read or wrote the file (`diskTurns`
    // the saves it took in).
    void TakeIn(TGroups disk, TTurns diskTurns);
    // The turns a file this copy writes carries: counted from the file taken in (`base`), begun
    // by a save under a stand-in; none otherwise.
    static TTurns NextTurns(uint64_t copyId, uint32_t writtenTurn, const TTurns& base,
                            bool standIn);
    static std::vector<uint8_t> BuildChunks(TCipher& cipher, const TGroups& groups,
                                            const TString& installKey, const TTurns& turns);
    // The groups as a save writes them: without the players gone from the file, the current
    // player's index counted among those written.
    std::map<TString, TSlotList> FileView() const;
    // What was read or written is what the next save compares the file with.
    void RememberFile(const std::vector<uint8_t>& data, bool exists);
    void RememberGroups();
    // One group's slots: this copy's (`mine`, each from `origins` in `base`, -1 made since or
    // gone) over the file's (`disk`). `current`: the group this copy plays in, whose current user
    // it keeps, and whose players keep their places (`gone` those deleted there). `outOfTurn`: the
    // file was written over this copy's last save without taking it in, so a player it lacks was
    // not deleted there. `renamed`: this copy's players renamed for one the file made meanwhile.
    TSlotList MergeSlots(bool current, const TSlotList& base, const TSlotList& mine,
                         const std::vector<int>& origins, const std::vector<bool>& gone,
                         const TSlotList& disk, bool outOfTurn, std::vector<int>& mergedOrigins,
                         std::vector<bool>& mergedGone, std::vector<TRename>& renamed) const;
    void SelectCurrentGroup();
    // Grows the current group to hold user's slot; null (and a log line) for an invalid user.
    TSlot* SlotForWriting(const TString& key, int user, size_t valueLength);
    const TSlot* SlotForReading(int user) const;
    static bool ReadChunk(TCipher& cipher, const uint8_t* data, size_t size, size_t& pos,
                          char tag[4], std::vector<uint8_t>& payload);
    enum class TChunkReading
    {
        kWhole,     // every chunk read (and, when the file carries its check record, checked)
        kStopped,   // a bad chunk, or a checked file cut short: `badChunk` tells where
        kUnchecked, // the check record was damaged: every chunk read, none checked
    };
    // LoadChunks without its report.
    // Into `groups`; `firstKey` is the first chunk's install key (lower case) when it was read.
    static TChunkReading ReadAllChunks(TCipher& cipher, const uint8_t* data, size_t size,
                                       TGroups& groups, TString* firstKey, size_t& badChunk,
                                       TTurns* turns = nullptr);
    static void AppendChunk(TCipher& cipher, std::vector<uint8_t>& out, const char* tag,
                            const uint8_t* plain, size_t n, bool encipher);

    TCipher mCipher;
    // The cipher the saves use (on the saver's thread, one at a time).
    std::shared_ptr<TCipher> mSaverCipher;
    TGroups mGroups;
    TSlotList* mCurrent = nullptr;
    // The file as this copy last read or wrote it (mFileBytes, or nothing there), the groups it
    // held, and for each slot of the current group its index there (-1: made since, or gone) and
    // whether another copy deleted it while it was unchanged here (gone: never written).
    TGroups mBase;
    std::vector<int> mOrigins;
    std::vector<bool> mGone;
    // For each slot of the current group, its place in the last version handed to a save (-1:
    // made since): what the file holds once that version is written.
    std::vector<int> mSnapSlots;
    // The file as this copy last read or wrote it, and how it is saved.
    TSharedSave mSaves;
    std::unique_ptr<TStore> mStore;
    // This copy's id among the saves a file took in, how many of its saves a file it wrote
    // counted (0: none yet), and the count of the file as last read or written.
    uint64_t mCopyId;
    uint32_t mWrittenTurn = 0;
    TTurns mBaseTurns;
    TString mNameKey;
    TString mCurrentUserKey;
    std::vector<TRename> mRenamed;
    TString mFileName;
    TString mInstallKey;
    bool mWritable;
    bool mLoadedDamaged = false;
};
