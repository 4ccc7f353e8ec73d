// Fuzz target: the preferences reader over arbitrary file images.
#include "platform/config/config.h"
#include "platform/files/file_layer.h"
#include "platform/config/prefs.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static TPrefs* prefs = []()
    {
        // A data folder that does not exist: nothing is read from or written to disk.
        SetDataFolders(TString("/nonexistent/murkwell-fuzz"), TString(), TString());
        SetConfig("encryptionkey", "FuzzKey12345");
        SetConfig("installkey", "fuzz");
        return new TPrefs(false);
    }();
    prefs->LoadChunks(data, size, size % 2 == 0);
    return 0;
}
