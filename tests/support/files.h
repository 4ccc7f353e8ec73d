// Test support for files: a scratch folder that is removed with everything in it, and whole-file
// reads and writes.
#pragma once

#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <random>
#include <sstream>
#include <string>
#include <vector>

namespace testsupport
{

// A fresh, empty folder under the system's temporary folder, named "<prefix>_<random>"; it goes,
// with everything in it, when the object does. Parallel test processes never share one.
class ScratchFolder
{
public:
    explicit ScratchFolder(const std::string& prefix = "mw_test")
    {
        std::random_device device;
        std::error_code ec;
        do
            mPath =
                std::filesystem::temp_directory_path() / (prefix + "_" + std::to_string(device()));
        while (!std::filesystem::create_directory(mPath, ec) && !ec);
    }
    ~ScratchFolder()
    {
        std::error_code ignored;
        std::filesystem::remove_all(mPath, ignored);
    }
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    const std::filesystem::path& Path() const { return mPath; }
    std::filesystem::path operator/(const std::string& relative) const { return mPath / relative; }

private:
    std::filesystem::path mPath;
};

// The whole file; empty when it cannot be read.
inline std::string ReadFile(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream all;
    all << in.rdbuf();
    return all.str();
}

// Writes the bytes as the whole file, making its folders first.
inline void WriteFile(const std::filesystem::path& path, const std::string& bytes)
{
    std::error_code ignored;
    if (path.has_parent_path())
        std::filesystem::create_directories(path.parent_path(), ignored);
    std::ofstream(path, std::ios::binary) << bytes;
}

// The names in a file's folder that begin with its name and ".tmp": what a whole-file write of it
// left behind under a temporary name.
inline std::vector<std::string> TemporaryFilesBeside(const std::filesystem::path& path)
{
    std::vector<std::string> names;
    const std::string stem = path.filename().string() + ".tmp";
    std::error_code ignored;
    for (const auto& entry : std::filesystem::directory_iterator(path.parent_path(), ignored))
        if (entry.path().filename().string().starts_with(stem))
            names.push_back(entry.path().filename().string());
    return names;
}

// Whether `step` answers true, run in a child process that is given `seconds`: a step that would
// wait for ever (the open of a FIFO without a writer) fails the test instead of holding it.
inline bool EndsWithin(unsigned seconds, const std::function<bool()>& step)
{
    const pid_t child = fork();
    if (child == 0)
    {
        alarm(seconds);
        _exit(step() ? 0 : 1);
    }
    int status = 0;
    return child > 0 && waitpid(child, &status, 0) == child && WIFEXITED(status) &&
           WEXITSTATUS(status) == 0;
}

} // namespace testsupport
