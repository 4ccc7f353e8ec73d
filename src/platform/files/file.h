// TFile, the handle through which every logical file is read and written, its open-file kinds' base
// TFileData, and the stream-style free functions over a TFile pointer.
#pragma once

#include "platform/files/file_layer.h"
#include "platform/strings/tstring.h"
#include "sys/files/paths.h"

#include <cstdint>
#include <functional>

// Open modes.
enum : int
{
    kFileReadBinary = 0,
    kFileReadText = 1,
    kFileWriteBinary = 2,
    kFileWriteText = 3,
    kFileAppendBinary = 4,
    kFileAppendText = 5
};

// Seek origins. Note the order: not the C library's.
enum : int
{
    kSeekCurrent = 0,
    kSeekStart = 1,
    kSeekEnd = 2
};

// Asked just before a whole-file write's temporary file is renamed over the real one: false (with
// the reason) keeps the old file and removes the new one.
using TReplaceCheck = std::function<bool(TString& reason)>;

// An open file behind a TFile: a disk file, a memory block or a pack entry.
class TFileData
{
public:
    virtual ~TFileData() = default;
    virtual bool Open(const TString& location, int mode) = 0;
    virtual int Close() = 0;
    virtual void UngetLast() = 0;
    virtual void Seek(int offset, int origin) = 0;
    virtual int Length() = 0;
    virtual int Tell() = 0;
    virtual int Read(void* buffer, int count) = 0;
    virtual int Write(const void* buffer, int count) = 0;
    virtual bool AtEnd() = 0;
    // Why the last open or close failed, for the log; empty when nothing failed or the kind
    // cannot tell.
    virtual TString GetError() const { return TString(); }
    // Ends a write that must not replace the file (it came out short); other kinds just close.
    virtual void Discard() { Close(); }
    // The last open found something at the location that is no file to read: a folder, a FIFO, a
    // device.
    virtual bool Refused() const { return false; }
    // The system's error of a read that failed (0 when none did): a read that delivers nothing has
    // met the end or this.
    virtual int ReadError() const { return 0; }
    // A whole-file write asks `check` before its rename; other kinds replace nothing.
    virtual void SetReplaceCheck(TReplaceCheck) {}
};

class TFile
{
public:
    TFile() = default;
    ~TFile();
    TFile(const TFile&) = delete;
    TFile& operator=(const TFile&) = delete;

    // Opens a logical name; read modes need the name to be known, write modes may create it.
    bool Open(const TString& name, int mode);
    // Opens the disk file at a location already resolved (ResolvePath): what a thread beside the
    // main one opens, since only the main thread looks names up.
    bool OpenAt(const TString& location, int mode);
    // False when the file could not be finished: for a write, the data did not reach the disk or
    // the temporary file did not replace the old one.
    bool Close();
    // Closes a write without letting it replace the file it was to replace.
    void Discard();
    // The open whole-file write asks `check` before it replaces the file at its close.
    void SetReplaceCheck(TReplaceCheck check);
    bool IsOpen() const { return mData != nullptr; }
    bool AtEnd();
    void Seek(int offset, int origin);
    int Length();
    int Tell();
    int Read(void* buffer, int count);
    int Write(const void* buffer, int count);
    void UngetLast();
    // Why the last Open or Close of this handle failed ("no such file", the system's reason...).
    const TString& GetError() const { return mError; }
    // The last Open failed on something that is there but is no regular file (a folder, a FIFO,
    // a device, a link to one): never read, so a reader can take it as damaged, not as missing.
    bool Refused() const { return mRefused; }
    // The system's error of a read of the open file that failed; 0 when none did.
    int ReadError() const;

private:
    // Opens `data` at the location and keeps it, or takes its error and deletes it.
    bool Take(TFileData* data, const TString& location, int mode);
    TFileData* mData = nullptr;
    TString mError;
    bool mRefused = false;
};

// Writes `size` bytes as the whole of the file (a temporary file renamed over the old one, when
// `check`, if given, allows it): false with the reason when any step fails, the old file then left
// as it was.
bool WriteWholeFile(const TString& name, const void* data, int size, TString& reason,
                    const TReplaceCheck& check = nullptr);
// The same for the disk file at a resolved location.
bool WriteWholeFileAt(const TString& location, const void* data, int size, TString& reason,
                      const TReplaceCheck& check = nullptr);

// How many kept copies of one damaged file there may be: "<name>.bad", then "<name>.bad1" up to
// "<name>.bad9". A fault that damages the file at every start would otherwise fill the disk with
// copies, so at the bound the file is no longer replaced: the player's oldest copies are the
// ones that count.
constexpr int kMaxKeptCopies = 10;

// Keeps a damaged data file aside under the first free name of "<name>.bad", "<name>.bad1"...,
// never over anything there, before a save replaces it. A regular file of at most `maxBytes` (the
// most its reader takes) is copied, and stays in place until that save; anything else at the name
// (a FIFO, a device or a link to one, a folder, a file larger than its reader takes) is moved
// there whole, unread. False with the reason when every name is taken or the copy (a read of it
// too) or the move failed: the file must then not be replaced. `keptAs` is the logical name it
// went to; empty (and true) when nothing is at the name any more, since nothing is left to lose.
bool KeepDamagedFile(const TString& name, int maxBytes, TString& keptAs, TString& reason);
// The same for the file `name` resolved to the disk location `location`; the copies go beside it.
bool KeepDamagedFileAt(const TString& name, const TString& location, int maxBytes, TString& keptAs,
                       TString& reason);

// How long a save waits for another copy of the game to finish its own save of the same file.
constexpr uint32_t kFileLockWaitMs = 5000;

// Holds the lock file "<name>.lock" beside a data file (opened without following links, only a
// regular file of the player's own; other names of it, as a hard-linked copy of the folder makes,
// do no harm, since nothing is written to it) for as long as it lives: copies of the game on one
// data folder take turns to read what is there and replace it, and nothing replaces the file
// without the lock. A lock another copy holds is waited for; the wait ends at once when a quit
// request comes (the main loop must answer it). A lock taken beside the frame loop (a saver's, the
// close's saves among them) waits the whole bound every time, so another copy's ordinary save is
// always waited for and only a holder past the bound (a copy stopped in its save) puts the save
// off. One taken on the thread that asks for the save holds that thread: once a wait for a name
// has run out, later such locks of that name in this run are only tried, so a stopped copy costs
// it one wait, not one at every save. A lock not had is logged once for each name; the caller puts
// its save off.
class TFileLock
{
public:
    explicit TFileLock(const TString& name);
    // For the data file `name` resolved to the disk location `location` (a thread beside the main
    // one looks no name up); the lock file lies beside it. `besideTheLoop`: taken by a saver, which
    // waits the whole bound every time.
    TFileLock(const TString& name, const TString& location, bool besideTheLoop = false);
    ~TFileLock();
    TFileLock(const TFileLock&) = delete;
    TFileLock& operator=(const TFileLock&) = delete;

    bool Held() const { return mHandle >= 0; }
    // Held by a stand-in: a copy that cannot ask whether its holder still runs may take it as
    // left.
    bool HeldByStandIn() const;
    // Why it is not held.
    const TString& GetReason() const { return mReason; }
    // Notes what is at the data file's name now: called under the lock before the file is read,
    // and again after anything this copy did to it (keeping it aside).
    void NoteFile();
    // Whether a new file may be renamed over the data file now: the lock file at its name is still
    // the one held (one removed or replaced since is no lock, as another copy may hold the new
    // one), and the data file is as noted (nothing that takes no lock replaced or wrote it). False
    // with the reason. The write's replace check (TReplaceCheck).
    bool MayReplace(TString& reason) const;

private:
    int mHandle = -1;
    TString mLocation;
    TString mReason;
    TString mFileLocation;
    sys::FileIdentity mNoted;
};

// The wait of a lock taken beside the frame loop, or of one whose name has not run out a wait yet
// in this run (tests shorten it), and the wait the next lock of a data file's name takes on the
// thread that asks for its save.
void SetFileLockWait(uint32_t ms);
uint32_t GetFileLockWait(const TString& name);
// What ends a wait for a lock at once when it holds: the program's shell gives a quit request the
// main loop must answer. Nothing by default.
void SetFileLockWaitEnd(std::function<bool()> ended);
// How many requests to end have come in the run: a save's saver waits beside the main loop, which
// may answer a request while the wait goes on, so one that came since the wait began ends it too.
// Nothing by default.
void SetFileLockWaitRequests(std::function<uint32_t()> requests);
// Tests: run each time a replace check passed, just before the rename it allows (a copy stopped
// there, as long as the hook runs); empty ends it.
void SetReplaceCheckedHook(std::function<void()> hook);

// Tests: the next disk write's close fails with the given system error number as a full disk would
// (the temporary file removed, the old file kept); 0 cancels.
void InjectDiskCloseFailure(int errorNumber);

// A heap handle opened on `name`, or null when the open fails.
TFile* OpenFile(const char* name, int mode);
void DestroyFile(TFile* file);
void FileSeek(TFile* file, int offset, int origin);
int FileTell(TFile* file);
int FileRead(TFile* file, void* buffer, int count);
int FileWrite(TFile* file, const void* buffer, int count);
bool FileEof(TFile* file);
// The next byte as 0-255, or -1 at the end.
int FileGetc(TFile* file);
// Pushes the last byte read back.
void FileUngetc(TFile* file);
// True when the handle holds no open file.
bool FileError(TFile* file);
