// A whole file held open for reading at any offset, for pack files read entry by entry.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace sys
{

class ReadOnlyFile
{
public:
    ReadOnlyFile() = default;
    ~ReadOnlyFile();
    ReadOnlyFile(const ReadOnlyFile&) = delete;
    ReadOnlyFile& operator=(const ReadOnlyFile&) = delete;

    // Opens the file for reading; false (with nothing open) when it is missing, unreadable or not
    // a regular file. The size is the file's as it was opened.
    bool Open(const std::string& path);
    void Close();
    bool IsOpen() const { return mFd >= 0; }
    uint64_t Size() const { return mSize; }

    // Reads up to `count` bytes at `offset`: the bytes read, fewer when the file now ends sooner
    // (it may have been cut since it was opened), or -1 with errno set when the read fails (a
    // drive gone). Never a signal, as a mapping of a file cut under it would raise.
    long long ReadAt(uint64_t offset, void* buffer, size_t count) const;

private:
    int mFd = -1;
    uint64_t mSize = 0;
};

} // namespace sys
