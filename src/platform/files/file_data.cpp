// Disk files over stdio streams (with the platform's text-mode rules) and read-only memory files.
#include "platform/files/file_data.h"

#include "platform/log.h"
#include "sys/files/paths.h"

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <string>

namespace
{
// Reads the unsigned decimal number at `p` up to the first non-digit.
uint64_t ParseDecimal(const char* p)
{
    uint64_t value = 0;
    while (*p >= '0' && *p <= '9')
    {
        value = value * 10 + static_cast<uint64_t>(*p - '0');
        ++p;
    }
    return value;
}

// Set by a test's thread, met by the saver's.
std::atomic<int> gInjectedCloseError{0};

TString DescribeError(int number)
{
    return number != 0 ? TString(std::strerror(number)) : TString("unknown error");
}

// The folder that holds a file's path ("." for a bare name, "/" for a file at the root).
std::string FolderOf(const std::string& path)
{
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? std::string("/") : path.substr(0, slash);
}
} // namespace

void InjectDiskCloseFailure(int errorNumber)
{
    gInjectedCloseError.store(errorNumber);
}

// ---- TDiskFileData ----

TDiskFileData::~TDiskFileData()
{
    Close();
}

bool TDiskFileData::Open(const TString& location, int mode)
{
    Close();
    mError = TString();
    mRefused = false;
    mNoReplace = false;
    mReplaceCheck = nullptr;
    mWriteError = 0;
    mReadError = 0;
    mWriting = mode >= kFileWriteBinary && mode <= kFileAppendText;
    const char* how = "rb";
    mTextRead = false;
    switch (mode)
    {
    case kFileReadBinary:
        break;
    case kFileWriteBinary:
    case kFileWriteText:
        how = "wb";
        break;
    case kFileAppendBinary:
    case kFileAppendText:
        how = "ab";
        break;
    default:
        // Read text, and any unknown mode.
        mTextRead = true;
        break;
    }
    if (mode == kFileWriteBinary || mode == kFileWriteText)
    {
        // Made new under a name of this process's own: a link planted at the name would have the
        // write go wherever it points, and the rename put the link in the file's place.
        std::string temporary;
        std::string reason;
        mStream =
            sys::CreateTemporaryFile(location.c_str(), sys::kTemporaryMarker, temporary, reason);
        if (mStream == nullptr)
            mError = TString(reason.c_str());
        else
        {
            mFinalPath = location;
            mTempPath = TString(temporary.c_str());
        }
    }
    else
    {
        // Only a regular file is read or appended to: a FIFO would hold the open (and the game's
        // start) until a writer came, and a device such as /dev/zero never ends.
        std::string reason;
        mStream = sys::OpenRegularFile(location.c_str(), how[0] == 'a', reason, mRefused);
        if (mStream == nullptr)
            mError = TString(reason.c_str());
    }
    mLastRead = -1;
    return mStream != nullptr;
}

int TDiskFileData::Close()
{
    if (mStream == nullptr)
        return 0;
    const bool replacing = mTempPath.Length() > 0;
    int result = 0;
    int error = 0;
    // A whole-file write reaches the disk before its rename makes it the real file: otherwise a
    // power cut after the rename can leave an empty or partial file under the real name.
    // A write that fell short left the file cut (the stream may have dropped what it held), so it
    // must never take the real name, whatever the flush and the close answer now.
    if (mWriting && (mWriteError != 0 || std::ferror(mStream) != 0))
    {
        result = -1;
        error = mWriteError != 0 ? mWriteError : EIO;
    }
    if (replacing && result == 0 && !sys::FlushFileToDisk(mStream))
    {
        result = -1;
        error = errno;
    }
    // Buffered output meets a full disk or an I/O error only here: the close is the write's
    // last word.
    if (std::fclose(mStream) != 0 && result == 0)
    {
        result = -1;
        error = errno;
    }
    mStream = nullptr;
    mLastRead = -1;
    if (replacing)
    {
        const int injected = result == 0 ? gInjectedCloseError.exchange(0) : 0;
        if (injected != 0)
        {
            result = -1;
            error = injected;
        }
        // Asked last, after the flush that may take long: what it checks holds at the rename.
        TString refusal;
        const bool refused = result == 0 && mReplaceCheck && !mReplaceCheck(refusal);
        if (refused)
            result = -1;
        if (result == 0 &&
            !(mNoReplace ? sys::RenameNoReplace(mTempPath.c_str(), mFinalPath.c_str())
                         : sys::RenameFile(mTempPath.c_str(), mFinalPath.c_str())))
        {
            result = -1;
            error = errno;
        }
        if (result != 0)
        {
            mError = refused ? refusal : DescribeError(error);
            sys::RemoveFile(mTempPath.c_str());
        }
        else
        {
            // The rename itself is an entry of the folder, on the disk only once the folder is.
            // The new file is in place either way, so a failure here is told, not answered.
            const std::string folder = FolderOf(mFinalPath.c_str());
            if (!sys::FlushFolderToDisk(folder))
                Log("ERROR: The folder '%s' could not be flushed to the disk after '%s' was "
                    "written: %s",
                    folder.c_str(), mFinalPath.c_str(), DescribeError(errno).c_str());
        }
        // Renamed or removed: its writer's lock is no longer needed.
        sys::LetGoOfTemporary(mTempPath.c_str());
        mTempPath = TString();
        mFinalPath = TString();
    }
    mNoReplace = false;
    mReplaceCheck = nullptr;
    mWriteError = 0;
    if (result != 0 && mError.Length() == 0)
        mError = DescribeError(error);
    return result;
}

bool TDiskFileData::OpenNew(const TString& location)
{
    if (!Open(location, kFileWriteBinary))
        return false;
    mNoReplace = true;
    return true;
}

void TDiskFileData::Discard()
{
    if (mStream == nullptr)
        return;
    std::fclose(mStream);
    mStream = nullptr;
    mLastRead = -1;
    if (mTempPath.Length() > 0)
        sys::RemoveFile(mTempPath.c_str());
    mTempPath = TString();
    mFinalPath = TString();
    mNoReplace = false;
    mWriteError = 0;
}

void TDiskFileData::UngetLast()
{
    if (mStream == nullptr || mLastRead < 0)
        return;
    std::ungetc(mLastRead, mStream);
    mLastRead = -1;
}

void TDiskFileData::Seek(int offset, int origin)
{
    if (mStream == nullptr)
        return;
    int whence = origin == kSeekCurrent ? SEEK_CUR : origin == kSeekEnd ? SEEK_END : SEEK_SET;
    std::fseek(mStream, offset, whence);
}

int TDiskFileData::Length()
{
    if (mStream == nullptr)
        return 0;
    long here = std::ftell(mStream);
    std::fseek(mStream, 0, SEEK_END);
    long length = std::ftell(mStream);
    std::fseek(mStream, here, SEEK_SET);
    // A file past what an int holds answers the most it holds: every reader's limit lies below.
    return length > INT_MAX ? INT_MAX : static_cast<int>(length);
}

int TDiskFileData::Tell()
{
    if (mStream == nullptr)
        return 0;
    // Past what an int holds, as Length() answers: never a negative position.
    const long position = std::ftell(mStream);
    return position > INT_MAX ? INT_MAX : static_cast<int>(position);
}

int TDiskFileData::Read(void* buffer, int count)
{
    if (mStream == nullptr || buffer == nullptr || count <= 0)
        return 0;
    auto* out = static_cast<uint8_t*>(buffer);
    int delivered = 0;
    if (!mTextRead)
    {
        delivered = static_cast<int>(std::fread(out, 1, static_cast<size_t>(count), mStream));
        if (delivered < count && std::ferror(mStream) != 0 && mReadError == 0)
            mReadError = errno != 0 ? errno : EIO;
    }
    else
    {
        while (delivered < count)
        {
            int c = std::getc(mStream);
            if (c == EOF)
            {
                if (std::ferror(mStream) != 0 && mReadError == 0)
                    mReadError = errno != 0 ? errno : EIO;
                break;
            }
            if (c == '\r')
            {
                int next = std::getc(mStream);
                if (next == '\n')
                    c = '\n';
                else if (next != EOF)
                    std::fseek(mStream, -1, SEEK_CUR);
            }
            out[delivered++] = static_cast<uint8_t>(c);
        }
    }
    if (delivered > 0)
        mLastRead = out[delivered - 1];
    return delivered;
}

int TDiskFileData::Write(const void* buffer, int count)
{
    if (mStream == nullptr || buffer == nullptr || count <= 0)
        return 0;
    const size_t written = std::fwrite(buffer, 1, static_cast<size_t>(count), mStream);
    if (written != static_cast<size_t>(count) && mWriteError == 0)
        mWriteError = errno != 0 ? errno : EIO;
    return static_cast<int>(written);
}

bool TDiskFileData::AtEnd()
{
    return mStream == nullptr || std::feof(mStream) != 0;
}

// ---- TMemoryFile ----

int ReadFromBlock(const uint8_t* start, uint32_t size, uint32_t& position, uint32_t wanted,
                  bool textMode, void* buffer)
{
    auto* out = static_cast<uint8_t*>(buffer);
    if (!textMode)
    {
        std::memcpy(out, start + position, wanted);
        position += wanted;
        return static_cast<int>(wanted);
    }
    uint32_t delivered = 0;
    while (position < size && delivered < wanted)
    {
        uint8_t c = start[position++];
        if (c != '\r')
            out[delivered++] = c;
    }
    return static_cast<int>(delivered);
}

uint32_t SeekInBlock(uint32_t position, uint32_t size, int offset, int origin)
{
    uint64_t target = position;
    if (origin == kSeekCurrent)
        target = static_cast<uint32_t>(position + static_cast<uint32_t>(offset));
    else if (origin == kSeekStart)
        target = static_cast<uint32_t>(offset);
    else if (origin == kSeekEnd)
        target = static_cast<uint32_t>(size + static_cast<uint32_t>(offset));
    return target > size ? size + 1 : static_cast<uint32_t>(target);
}

TMemoryFile::~TMemoryFile()
{
    Close();
}

bool TMemoryFile::Open(const TString& location, int mode)
{
    Close();
    if (mode >= kFileWriteBinary)
        return false;
    const char* text = location.c_str();
    if (text[0] != '&')
        return false;
    uint64_t address = ParseDecimal(text + 1);
    const char* comma = std::strchr(text, ',');
    if (address == 0 || comma == nullptr)
    {
        Close();
        return false;
    }
    mStart = reinterpret_cast<const uint8_t*>(static_cast<uintptr_t>(address));
    mSize = static_cast<uint32_t>(ParseDecimal(comma + 1));
    mPosition = 0;
    mMode = mode;
    return true;
}

int TMemoryFile::Close()
{
    mStart = nullptr;
    mPosition = 0;
    mSize = 0;
    mMode = 0;
    return 0;
}

void TMemoryFile::UngetLast()
{
    Seek(-1, kSeekCurrent);
}

void TMemoryFile::Seek(int offset, int origin)
{
    uint32_t position = SeekInBlock(mPosition, mSize, offset, origin);
    mPosition = position > mSize ? mSize : position;
}

int TMemoryFile::Length()
{
    return static_cast<int>(mSize);
}

int TMemoryFile::Tell()
{
    return static_cast<int>(mPosition);
}

int TMemoryFile::Read(void* buffer, int count)
{
    if (mStart == nullptr || buffer == nullptr || count <= 0)
        return 0;
    uint32_t wanted = static_cast<uint32_t>(count);
    if (wanted > mSize - mPosition)
        wanted = mSize - mPosition;
    return ReadFromBlock(mStart, mSize, mPosition, wanted, mMode == kFileReadText, buffer);
}

int TMemoryFile::Write(const void*, int)
{
    return 0;
}

bool TMemoryFile::AtEnd()
{
    return mPosition == mSize;
}
