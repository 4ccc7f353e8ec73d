// The saved versions' seam of whole-program tests: every version of a data file a save put in
// place, copied with its sequence and the input script's line, for runs that start again from each.
#include "sys/input_script/input_script.h"

#include "sys/process/process.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <string>

namespace sys
{

void KeepSavedVersion(const std::string& path, const void* data, size_t size, int line)
{
    static const std::string folder = GetEnvironmentVariable("MURKWELL_SAVE_VERSIONS");
    if (folder.empty())
        return;
    // Saves of two files may run on two threads: the sequence is the order they were put in place.
    static std::mutex guard;
    static int sequence = 0;
    const std::lock_guard<std::mutex> lock(guard);
    char prefix[32];
    std::snprintf(prefix, sizeof prefix, "%04d-%04d-", ++sequence, line);
    const size_t slash = path.find_last_of("/:");
    const std::string copy =
        folder + "/" + prefix + (slash == std::string::npos ? path : path.substr(slash + 1));
    std::FILE* file = std::fopen(copy.c_str(), "wb");
    bool written = file != nullptr && std::fwrite(data, 1, size, file) == size;
    const int error = errno;
    if (file != nullptr)
        written = std::fclose(file) == 0 && written;
    if (!written)
        std::fprintf(stderr, "MURKWELL_SAVE_VERSIONS: %s not written: %s\n", copy.c_str(),
                     std::strerror(error));
}

} // namespace sys
