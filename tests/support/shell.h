// Test support: a shell command's output, read whole, and its exit status.
#pragma once

#include <cstdio>
#include <string>
#include <sys/wait.h>

namespace testsupport
{

// What `command` writes on its standard output (add "2>&1" for its errors too); `status` its exit
// status, or -1 when it did not exit or could not start.
inline std::string ShellOutput(const std::string& command, int& status)
{
    std::FILE* pipe = popen(command.c_str(), "r");
    std::string output;
    char buffer[512];
    while (pipe != nullptr && std::fgets(buffer, sizeof buffer, pipe) != nullptr)
        output += buffer;
    const int raw = pipe != nullptr ? pclose(pipe) : -1;
    status = raw != -1 && WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    return output;
}

} // namespace testsupport
