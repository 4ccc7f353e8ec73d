// packbuild: packs every file below a folder into one ".qmp" pack file.
#include "pack_writer.h"

#include <cstdio>
#include <string>
#include <vector>

int main(int argc, char** argv)
{
    if (argc != 3)
    {
        std::fprintf(stderr, "usage: packbuild <folder> <pack.qmp>\n"
                             "Entries are named by their paths below the folder, with \"/\".\n");
        return 2;
    }
    std::vector<packtool::PackEntry> entries;
    std::string error;
    if (!packtool::CollectPackEntries(argv[1], entries, error) ||
        !packtool::WritePackFile(argv[2], entries, error))
    {
        std::fprintf(stderr, "packbuild: %s\n", error.c_str());
        return 1;
    }
    std::printf("packbuild: %zu entries written to %s\n", entries.size(), argv[2]);
    return 0;
}
