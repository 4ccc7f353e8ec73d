// Reads at offsets over open/pread.
#include "sys/files/read_only_file.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace sys
{

ReadOnlyFile::~ReadOnlyFile()
{
    Close();
}

bool ReadOnlyFile::Open(const std::string& path)
{
    Close();
    if (path.empty())
        return false;
    // Without O_NONBLOCK the open of a FIFO would wait for a writer.
    int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0)
        return false;
    struct stat st
    {
    };
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode))
    {
        close(fd);
        return false;
    }
    mFd = fd;
    mSize = static_cast<uint64_t>(st.st_size);
    return true;
}

void ReadOnlyFile::Close()
{
    if (mFd >= 0)
        close(mFd);
    mFd = -1;
    mSize = 0;
}

long long ReadOnlyFile::ReadAt(uint64_t offset, void* buffer, size_t count) const
{
    if (mFd < 0)
    {
        errno = EBADF;
        return -1;
    }
    auto* out = static_cast<char*>(buffer);
    size_t done = 0;
    while (done < count)
    {
        const ssize_t got = pread(mFd, out + done, count - done, static_cast<off_t>(offset + done));
        if (got < 0)
        {
            if (errno == EINTR)
                continue;
            return done > 0 ? static_cast<long long>(done) : -1;
        }
        if (got == 0)
            break;
        done += static_cast<size_t>(got);
    }
    return static_cast<long long>(done);
}

} // namespace sys
