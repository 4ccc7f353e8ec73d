// Read-only file mapping over open/mmap.
#include "sys/mapped_file.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace sys
{

namespace
{
// Something to point at for a mapping of an empty file, which mmap refuses.
const uint8_t kEmptyView[1] = {0};
} // namespace

MappedFile::~MappedFile()
{
    Close();
}

bool MappedFile::Open(const std::string& path)
{
    Close();
    if (path.empty())
        return false;
    // Without O_NONBLOCK the open of a FIFO waits for a writer, possibly for ever.
    int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
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
    size_t size = static_cast<size_t>(st.st_size);
    if (size == 0)
    {
        close(fd);
        mData = kEmptyView;
        mSize = 0;
        return true;
    }
    void* view = mmap(nullptr, size, PROT_READ, MAP_PRIVATE, fd, 0);
    // The mapping keeps the file alive on its own.
    close(fd);
    if (view == MAP_FAILED)
        return false;
    mData = static_cast<const uint8_t*>(view);
    mSize = size;
    mMapped = true;
    return true;
}

void MappedFile::Close()
{
    if (mMapped)
        munmap(const_cast<uint8_t*>(mData), mSize);
    mData = nullptr;
    mSize = 0;
    mMapped = false;
}

} // namespace sys
