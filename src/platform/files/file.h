// TFile, the handle through which every logical file is read and written, its open-file kinds' base
// TFileData, and the stream-style free functions over a TFile pointer.
#pragma once

#include "platform/files/file_layer.h"
#include "platform/strings/tstring.h"

#include <cstdint>

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
    // False when the file could not be finished: for a write, the data did not reach the disk or
    // the temporary file did not replace the old one.
    bool Close();
    // Closes a write without letting it replace the file it was to replace.
    void Discard();
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
    TFileData* mData = nullptr;
    TString mError;
    bool mRefused = false;
};

// Writes `size` bytes as the whole of the file (a temporary file renamed over the old one): false
// with the reason when any step fails, the old file then left as it was.
bool WriteWholeFile(const TString& name, const void* data, int size, TString& reason);

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

// How long a save waits for another copy of the game to finish its own save of the same file.
constexpr uint32_t kFileLockWaitMs = 5000;

// Holds the lock file "<name>.lock" beside a data file (opened without following links, only a
// regular file of the player's own) for as long as it lives: copies of the game on one data folder
// take turns to read what is there and replace it. A lock that cannot be had within
// kFileLockWaitMs is logged (once for each name) and the work goes on without it, since a copy
// stopped while it holds the lock must not keep every other copy from saving.
class TFileLock
{
public:
    explicit TFileLock(const TString& name);
    ~TFileLock();
    TFileLock(const TFileLock&) = delete;
    TFileLock& operator=(const TFileLock&) = delete;

    bool Held() const { return mHandle >= 0; }

private:
    int mHandle = -1;
};

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
