// Read-only memory mapping of a whole file, for pack files read straight from memory.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace sys
{

class MappedFile
{
public:
    MappedFile() = default;
    ~MappedFile();
    MappedFile(const MappedFile&) = delete;
    MappedFile& operator=(const MappedFile&) = delete;

    // Maps the whole file read-only; false (with nothing mapped) when the file is missing,
    // unreadable, not a regular file or cannot be mapped. An empty file maps to a non-null view of
    // size 0.
    bool Open(const std::string& path);
    void Close();

    const uint8_t* Data() const { return mData; }
    size_t Size() const { return mSize; }

private:
    const uint8_t* mData = nullptr;
    size_t mSize = 0;
    bool mMapped = false;
};

} // namespace sys
