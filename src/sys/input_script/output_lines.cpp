// The printed lines an input script's "await" waits for. Kept apart from the input script itself:
// every program that prints through the script library tells this store of each line, and the
// input script's steps reach the window and the display library, which a program that only runs
// scripts would otherwise load at start (about 5 MB resident for the library and its own).
#include "sys/input_script/input_script.h"

#include <deque>
#include <mutex>

namespace sys
{
namespace
{

// Printed lines kept for the next "await": a run prints a few between two awaits, never hundreds.
constexpr size_t kKeptOutputLines = 512;

// Under a lock of their own: the program prints them from wherever its scripts run, and never
// while the input script's state is held.
struct OutputLines
{
    std::mutex mMutex;
    std::deque<std::string> mLines;
};

OutputLines& Output()
{
    static OutputLines output;
    return output;
}

} // namespace

void NoteOutputLine(const std::string& line)
{
    OutputLines& output = Output();
    std::lock_guard<std::mutex> lock(output.mMutex);
    output.mLines.push_back(line);
    if (output.mLines.size() > kKeptOutputLines)
        output.mLines.pop_front();
}

bool TakeOutputLine(const std::string& text)
{
    OutputLines& output = Output();
    std::lock_guard<std::mutex> lock(output.mMutex);
    for (size_t i = 0; i < output.mLines.size(); ++i)
    {
        if (output.mLines[i].find(text) != std::string::npos)
        {
            output.mLines.erase(output.mLines.begin(), output.mLines.begin() + long(i) + 1);
            return true;
        }
    }
    return false;
}

void ForgetOutputLines()
{
    OutputLines& output = Output();
    std::lock_guard<std::mutex> lock(output.mMutex);
    output.mLines.clear();
}

} // namespace sys
