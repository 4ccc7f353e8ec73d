// Fuzz target: the metrics block language and "time.dat". The first byte gives how many of the
// next bytes (0 to 4; 5 for no file) are the stored play time; the rest is one game state a line,
// "key=value", read back instead when the line starts with "?". The states that move the output
// folder are skipped: everything is written in a scratch folder, emptied after each input.
#include "services/metrics/metrics_handler.h"
#include "support/files.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1 || size > 8192)
        return 0;
    // A folder of this process's own, which nothing else writes to and which goes when the run
    // ends.
    static const testsupport::ScratchFolder scratch{"mw_fuzz_metrics"};
    static const std::string folder = scratch.Path().string();
    const std::string timePath = folder + "/time.dat";
    const std::string outputPath = folder + "/metrics.txt";
    size_t at = 1;
    const size_t timeBytes = data[0] % 6;
    std::remove(timePath.c_str());
    if (timeBytes < 5)
    {
        const size_t n = timeBytes < size - at ? timeBytes : size - at;
        if (std::FILE* file = std::fopen(timePath.c_str(), "wb"))
        {
            if (n > 0)
                std::fwrite(data + at, 1, n, file);
            std::fclose(file);
        }
        at += n;
    }

    auto* handler = TGlintviewHandler::Create();
    handler->OnSetState("userdatadir", folder.c_str());
    std::string text(reinterpret_cast<const char*>(data + at), size - at);
    size_t start = 0;
    for (int lines = 0; start <= text.size() && lines < 128; ++lines)
    {
        size_t end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        std::string line = text.substr(start, end - start);
        start = end + 1;
        const bool read = !line.empty() && line[0] == '?';
        if (read)
            line.erase(0, 1);
        const size_t equals = line.find('=');
        std::string key = line.substr(0, equals);
        std::string value = equals == std::string::npos ? std::string() : line.substr(equals + 1);
        key = key.c_str(); // a NUL ends a state's key as it ends any C string
        if (key.find("datadir") != std::string::npos || key == "outputfile")
            continue;
        if (read)
            handler->FilterGetState(key.c_str(), value.c_str());
        else
            handler->OnSetState(key.c_str(), value.c_str());
        handler->QueryHostPause();
    }
    handler->Disable();
    delete handler;
    std::remove(outputPath.c_str());
    return 0;
}
