// TFile: opening a logical name as the right kind of open file, and the stream-style free
// functions.
#include "platform/files/file.h"

#include "platform/files/file_data.h"
#include "platform/files/pack_file.h"
#include "platform/log.h"
#include "sys/files/paths.h"

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <mutex>
#include <set>
#include <string>

namespace
{
// Creates the missing folders on the way to a disk file below the user or common folder, the
// folder itself among them (the common one is made only once something is written there).
void MakeFoldersFor(const TString& location)
{
    const TString* base = nullptr;
    for (const TString* folder : {&GetUserDataFolder(), &GetCommonDataFolder()})
    {
        int n = folder->Length();
        if (n > 0 && location.Length() > n && location.Substr(0, n) == *folder &&
            location.CharAt(n) == '/')
        {
            base = folder;
            break;
        }
    }
    if (base == nullptr)
        return;
    if (!sys::PathAccess(base->c_str(), 0))
    {
        for (int slash = base->FindChar('/', 0, 1); slash > 0;
             slash = base->FindChar('/', 0, slash + 1))
            sys::MakeFolder(base->Substr(0, slash).c_str());
        sys::MakeFolder(base->c_str());
    }
    TString built = *base;
    TString rest = location.Substr(base->Length() + 1);
    int start = 0;
    for (;;)
    {
        int slash = rest.FindChar('/', 0, start);
        if (slash < 0)
            break;
        built += "/";
        built += rest.Substr(start, slash - start);
        if (!sys::PathAccess(built.c_str(), 6))
            sys::MakeFolder(built.c_str());
        start = slash + 1;
    }
}
} // namespace

TFile::~TFile()
{
    Close();
}

bool TFile::Open(const TString& name, int mode)
{
    Close();
    mError = TString();
    mRefused = false;
    TString location = ResolvePath(name, mode < kFileWriteBinary);
    if (location.Length() == 0)
    {
        mError = "no such file";
        return false;
    }
    TFileData* data = nullptr;
    char kind = location.CharAt(0);
    if (kind == '@')
        data = new TFlatFileMap();
    else if (kind == '&')
        data = new TMemoryFile();
    else
    {
        if (mode >= kFileWriteBinary && mode <= kFileAppendText)
            MakeFoldersFor(location);
        data = new TDiskFileData();
    }
    return Take(data, location, mode);
}

bool TFile::OpenAt(const TString& location, int mode)
{
    Close();
    mError = TString();
    mRefused = false;
    if (location.Length() == 0)
    {
        mError = "no such file";
        return false;
    }
    if (mode >= kFileWriteBinary && mode <= kFileAppendText)
        MakeFoldersFor(location);
    return Take(new TDiskFileData(), location, mode);
}

bool TFile::Take(TFileData* data, const TString& location, int mode)
{
    if (!data->Open(location, mode))
    {
        mError = data->GetError();
        mRefused = data->Refused();
        if (mError.Length() == 0)
            mError = "no such file";
        delete data;
        return false;
    }
    mData = data;
    return true;
}

void TFile::SetReplaceCheck(TReplaceCheck check)
{
    if (mData != nullptr)
        mData->SetReplaceCheck(std::move(check));
}

bool TFile::Close()
{
    if (mData == nullptr)
        return true;
    int result = mData->Close();
    if (result != 0)
        mError = mData->GetError();
    delete mData;
    mData = nullptr;
    return result == 0;
}

namespace
{
bool WriteWholeOpenFile(TFile& file, const void* data, int size, TString& reason,
                        const TReplaceCheck& check)
{
    if (check)
        file.SetReplaceCheck(check);
    const int written = file.Write(data, size);
    if (written != size)
    {
        // Closed without replacing: a short file must not take the place of a whole one.
        file.Discard();
        reason = TString::Format("%d of %d bytes written", written, size);
        return false;
    }
    if (!file.Close())
    {
        reason = file.GetError();
        return false;
    }
    return true;
}
} // namespace

bool WriteWholeFile(const TString& name, const void* data, int size, TString& reason,
                    const TReplaceCheck& check)
{
    TFile file;
    if (!file.Open(name, kFileWriteBinary))
    {
        reason = file.GetError();
        return false;
    }
    return WriteWholeOpenFile(file, data, size, reason, check);
}

bool WriteWholeFileAt(const TString& location, const void* data, int size, TString& reason,
                      const TReplaceCheck& check)
{
    TFile file;
    if (!file.OpenAt(location, kFileWriteBinary))
    {
        reason = file.GetError();
        return false;
    }
    return WriteWholeOpenFile(file, data, size, reason, check);
}

namespace
{
// Copies the open file into a new file at `location` that replaces nothing. `tooLarge` when the
// file held more than `maxBytes` after all (it grew since its length was taken): nothing is then
// left at the location.
bool CopyToNewFile(TFile& from, const TString& location, int maxBytes, bool& tooLarge,
                   TString& reason)
{
    tooLarge = false;
    TDiskFileData to;
    if (!to.OpenNew(location))
    {
        reason = to.GetError();
        return false;
    }
    char block[65536];
    int64_t total = 0;
    int got = 0;
    while ((got = from.Read(block, static_cast<int>(sizeof block))) > 0)
    {
        total += got;
        if (total > maxBytes)
        {
            tooLarge = true;
            to.Discard();
            return false;
        }
        if (to.Write(block, got) != got)
        {
            // The close says why, and removes the cut copy.
            break;
        }
    }
    // A read that failed is no end of the file: the copy would be cut short.
    if (got == 0 && from.ReadError() != 0)
    {
        reason = TString(std::strerror(from.ReadError()));
        to.Discard();
        return false;
    }
    if (to.Close() != 0)
    {
        reason = to.GetError();
        return false;
    }
    return true;
}
} // namespace

namespace
{
struct TLockWaits
{
    std::mutex mMutex;
    uint32_t mWaitMs = kFileLockWaitMs;
    // Lock files (by their place on the disk) whose wait ran out, and those whose failure was
    // said.
    std::set<std::string> mWaitedOut;
    std::set<std::string> mSaid;
    std::function<bool()> mEnded;
    std::function<uint32_t()> mRequests;
    // Tests: run after a replace check passed, before the rename.
    std::function<void()> mReplaceChecked;
};

TLockWaits& LockWaits()
{
    static TLockWaits waits;
    return waits;
}
} // namespace

void SetFileLockWait(uint32_t ms)
{
    std::lock_guard<std::mutex> guard(LockWaits().mMutex);
    LockWaits().mWaitMs = ms;
}

void SetFileLockWaitEnd(std::function<bool()> ended)
{
    std::lock_guard<std::mutex> guard(LockWaits().mMutex);
    LockWaits().mEnded = std::move(ended);
}

void SetFileLockWaitRequests(std::function<uint32_t()> requests)
{
    std::lock_guard<std::mutex> guard(LockWaits().mMutex);
    LockWaits().mRequests = std::move(requests);
}

namespace
{
// By the lock file on the disk: a name may stand for another folder's file later in the run. Only
// a wait that holds the thread asking for the save is cut short by an earlier one that ran out: a
// saver's holds no frame, and cut short it would give up at once on another copy's ordinary save.
uint32_t LockWaitAt(const TString& lockLocation, bool besideTheLoop)
{
    TLockWaits& waits = LockWaits();
    std::lock_guard<std::mutex> guard(waits.mMutex);
    return !besideTheLoop && waits.mWaitedOut.count(lockLocation.c_str()) != 0 ? 0 : waits.mWaitMs;
}
} // namespace

uint32_t GetFileLockWait(const TString& name)
{
    return LockWaitAt(ResolvePath(name + ".lock", false), false);
}

TFileLock::TFileLock(const TString& name) : TFileLock(name, ResolvePath(name, false)) {}

TFileLock::TFileLock(const TString& name, const TString& location, bool besideTheLoop)
{
    const TString lockName = name + ".lock";
    // Beside the data file, as the data folder's name of it would put it.
    mLocation = location.Length() > 0 ? location + ".lock" : TString();
    mFileLocation = location;
    std::string reason = "it is not a file on the disk";
    sys::LockResult result = sys::LockResult::kRefused;
    if (mLocation.Length() > 0 && mLocation.CharAt(0) != '@' && mLocation.CharAt(0) != '&')
    {
        MakeFoldersFor(mLocation);
        sys::LockRequest request;
        request.waitMs = LockWaitAt(mLocation, besideTheLoop);
        request.standIn = true;
        std::function<bool()> ended;
        std::function<uint32_t()> requests;
        {
            std::lock_guard<std::mutex> guard(LockWaits().mMutex);
            ended = LockWaits().mEnded;
            requests = LockWaits().mRequests;
        }
        // A save's saver waits beside the main loop, which may answer a quit request while the
        // wait goes on: a request that came since the wait began ends it all the same.
        if (ended && requests)
        {
            const uint32_t before = requests();
            request.stop = [ended, requests, before] { return ended() || requests() != before; };
        }
        else
            request.stop = ended;
        mHandle = sys::LockFile(mLocation.c_str(), request, reason, result);
    }
    if (mHandle >= 0)
        return;
    TLockWaits& waits = LockWaits();
    {
        std::lock_guard<std::mutex> guard(waits.mMutex);
        if (result == sys::LockResult::kBusy)
        {
            if (waits.mWaitMs > 0 && waits.mWaitedOut.insert(mLocation.c_str()).second)
                reason += TString::Format(" for %u ms", waits.mWaitMs).c_str();
        }
        else if (result == sys::LockResult::kStopped)
            reason += " (a quit request ended the wait)";
        mReason = TString(reason.c_str());
        if (!waits.mSaid.insert(mLocation.c_str()).second)
            return;
    }
    const auto shown = [](const TString& at, const TString& logical)
    { return at.Length() > 0 && at.CharAt(0) != '@' && at.CharAt(0) != '&' ? at : logical; };
    Log("ERROR: The lock '%s' could not be taken (%s): '%s' is not saved without it; the "
        "changes are kept for a later save.",
        shown(mLocation, lockName).c_str(), mReason.c_str(), shown(location, name).c_str());
}

TFileLock::~TFileLock()
{
    sys::UnlockFile(mHandle);
}

bool TFileLock::HeldByStandIn() const
{
    return mHandle >= 0 && sys::LockIsStandIn(mHandle);
}

void TFileLock::NoteFile()
{
    mNoted = sys::IdentifyFile(mFileLocation.c_str());
}

bool TFileLock::MayReplace(TString& reason) const
{
    if (mHandle < 0 || !sys::LockStillHeld(mHandle, mLocation.c_str()))
    {
        reason = "its lock file was removed or replaced while it was written";
        return false;
    }
    if (!(sys::IdentifyFile(mFileLocation.c_str()) == mNoted))
    {
        reason = "it was replaced or written by something else while it was written";
        return false;
    }
    std::function<void()> checked;
    {
        std::lock_guard<std::mutex> guard(LockWaits().mMutex);
        checked = LockWaits().mReplaceChecked;
    }
    if (checked)
        checked();
    return true;
}

void SetReplaceCheckedHook(std::function<void()> hook)
{
    std::lock_guard<std::mutex> guard(LockWaits().mMutex);
    LockWaits().mReplaceChecked = std::move(hook);
}

bool KeepDamagedFile(const TString& name, int maxBytes, TString& keptAs, TString& reason)
{
    const TString location = ResolvePath(name, false);
    if (location.Length() == 0 || location.CharAt(0) == '@' || location.CharAt(0) == '&')
    {
        reason = "it is not a file on the disk";
        return false;
    }
    return KeepDamagedFileAt(name, location, maxBytes, keptAs, reason);
}

bool KeepDamagedFileAt(const TString& name, const TString& location, int maxBytes,
                       TString& keptAs, TString& reason)
{
    for (int number = 0; number < kMaxKeptCopies; ++number)
    {
        const TString suffix = number == 0 ? TString(".bad") : TString::Format(".bad%d", number);
        const TString copyName = name + suffix;
        // Beside the file, as the data folder's name of it would put it.
        const TString copyLocation = location + suffix;
        if (sys::PathTaken(copyLocation.c_str()))
            continue;
        TFile from;
        const bool opened = from.OpenAt(location, kFileReadBinary);
        if (!opened && !from.Refused())
        {
            if (!sys::PathTaken(location.c_str()))
            {
                keptAs = TString();
                return true;
            }
            reason = from.GetError();
            return false;
        }
        bool tooLarge = !opened || from.Length() > maxBytes;
        if (!tooLarge)
        {
            if (CopyToNewFile(from, copyLocation, maxBytes, tooLarge, reason))
            {
                keptAs = copyName;
                return true;
            }
            // Taken meanwhile (another instance keeping the same file): the next name.
            if (!tooLarge && sys::PathTaken(copyLocation.c_str()))
                continue;
            if (!tooLarge)
                return false;
        }
        // What no reader takes is moved aside unread: a copy would be cut, or never end.
        from.Close();
        if (sys::RenameNoReplace(location.c_str(), copyLocation.c_str()))
        {
            keptAs = copyName;
            return true;
        }
        if (errno == EEXIST)
            continue;
        if (errno == ENOENT && !sys::PathTaken(location.c_str()))
        {
            keptAs = TString();
            return true;
        }
        reason = TString(std::strerror(errno));
        return false;
    }
    reason = TString::Format("'%s' and the %d names after it are taken",
                             ShownPath(name + ".bad").c_str(), kMaxKeptCopies - 1);
    return false;
}

int TFile::ReadError() const
{
    return mData != nullptr ? mData->ReadError() : 0;
}

void TFile::Discard()
{
    if (mData == nullptr)
        return;
    mData->Discard();
    delete mData;
    mData = nullptr;
}

bool TFile::AtEnd()
{
    return mData == nullptr || mData->AtEnd();
}

void TFile::Seek(int offset, int origin)
{
    if (mData != nullptr)
        mData->Seek(offset, origin);
}

int TFile::Length()
{
    return mData != nullptr ? mData->Length() : 0;
}

int TFile::Tell()
{
    return mData != nullptr ? mData->Tell() : -1;
}

int TFile::Read(void* buffer, int count)
{
    return mData != nullptr ? mData->Read(buffer, count) : 0;
}

int TFile::Write(const void* buffer, int count)
{
    return mData != nullptr ? mData->Write(buffer, count) : 0;
}

void TFile::UngetLast()
{
    if (mData != nullptr)
        mData->UngetLast();
}

TFile* OpenFile(const char* name, int mode)
{
    auto* file = new TFile();
    if (!file->Open(TString(name), mode))
    {
        delete file;
        return nullptr;
    }
    return file;
}

void DestroyFile(TFile* file)
{
    delete file;
}

void FileSeek(TFile* file, int offset, int origin)
{
    if (file != nullptr)
        file->Seek(offset, origin);
}

int FileTell(TFile* file)
{
    return file != nullptr ? file->Tell() : -1;
}

int FileRead(TFile* file, void* buffer, int count)
{
    return file != nullptr ? file->Read(buffer, count) : 0;
}

int FileWrite(TFile* file, const void* buffer, int count)
{
    return file != nullptr ? file->Write(buffer, count) : 0;
}

bool FileEof(TFile* file)
{
    return file == nullptr || file->AtEnd();
}

int FileGetc(TFile* file)
{
    if (file == nullptr || file->AtEnd())
        return -1;
    unsigned char c = 0;
    if (file->Read(&c, 1) != 1)
        return -1;
    return c;
}

void FileUngetc(TFile* file)
{
    if (file != nullptr)
        file->UngetLast();
}

bool FileError(TFile* file)
{
    return file == nullptr || !file->IsOpen();
}
