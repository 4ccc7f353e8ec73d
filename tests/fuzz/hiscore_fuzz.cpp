// Fuzz target: the score file read back. An input whose first byte is even is taken as the
// document and enciphered with its checksum as the game writes it, so that the parser sees it; an
// odd one is read as the file's bytes themselves (the size, checksum and decipher checks). What
// loads is written out again as a document.
#include "platform/config/cipher.h"
#include "platform/files/file_layer.h"
#include "services/scores/hiscore_file.h"

#include <cstddef>
#include <cstdint>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1 || size > (64u << 10))
        return 0;
    static TCipher* cipher = new TCipher(TString("FuzzKey12345"));
    std::vector<uint8_t> file;
    if ((data[0] & 1) == 0)
        file = EncipherHiscoreDocument(*cipher, TString(reinterpret_cast<const char*>(data + 1),
                                                        static_cast<unsigned>(size - 1)));
    else
        file.assign(data + 1, data + size);
    RegisterMemoryFileName("fuzz.dat", file.data(), static_cast<uint32_t>(file.size()));
    THiscoreData scores;
    if (LoadHiscoreFile(*cipher, "fuzz.dat", scores) != THiscoreLoad::kNoFile)
        BuildHiscoreDocument(scores);
    RegisterMemoryFileName("fuzz.dat", nullptr, 0);
    return 0;
}
