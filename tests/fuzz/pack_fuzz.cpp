// Fuzz target: a ".qmp" pack's directory read into the path map, then every entry it names (a few
// dozen at most) opened, read whole, sought and read again through the file layer.
#include "platform/files/file.h"
#include "platform/files/file_layer.h"
#include "platform/files/pack_file.h"
#include "support/files.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    // The pack must be a real file: its entries are read out of it. It lies in a folder of this
    // process's own, which nothing else writes to and which goes when the run ends.
    static const testsupport::ScratchFolder scratch{"mw_fuzz_pack"};
    static const std::string path = (scratch.Path() / "fuzz.qmp").string();
    std::FILE* out = std::fopen(path.c_str(), "wb");
    if (out == nullptr)
        return 0;
    if (size > 0)
        std::fwrite(data, 1, size, out);
    std::fclose(out);

    ClearPathMap();
    ClearPackTable();
    ReadPack(TString(("::" + path).c_str()), GetPathMap());
    std::vector<TString> names;
    for (const auto& entry : GetPathMap())
        if (names.size() < 32)
            names.push_back(entry.first);
    std::vector<uint8_t> buffer(4096);
    for (const TString& name : names)
    {
        TFile file;
        if (!file.Open(name, kFileReadBinary))
            continue;
        const int length = file.Length();
        while (file.Read(buffer.data(), static_cast<int>(buffer.size())) > 0)
        {
        }
        file.AtEnd();
        file.Seek(length / 2, kSeekStart);
        file.Read(buffer.data(), 16);
        file.Seek(-8, kSeekEnd);
        file.Read(buffer.data(), 16);
        file.Tell();
        file.Close();
    }
    ClearPathMap();
    ClearPackTable();
    std::remove(path.c_str());
    return 0;
}
