// Development tool: prints every row of a score file's tables, read through the game's own score
// store with the game's identity, one line a row:
//   mode "<mode>" rank <rank> score <score> name "<name>" gamedata "<game data>"
// The tables come in the byte order of their modes, the rows in the store's order.
#include "game/game_main.h"
#include "platform/config/cipher.h"
#include "platform/config/config.h"
#include "platform/files/file_layer.h"
#include "services/scores/hiscore_file.h"
#include "services/scores/qm_hiscores.h"
#include "services/scores/score_table.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace
{

void PrintUsage()
{
    std::fputs("usage: hiscoredump <hiscore.dat>\n"
               "  Prints each score table's rows, one line each:\n"
               "    mode \"<mode>\" rank <rank> score <score> name \"<name>\" gamedata \"<data>\"\n"
               "  (a quote or backslash in a text is escaped with a backslash, a control\n"
               "  character shows as \\xNN). Exit code 1 when the file cannot be read or is\n"
               "  damaged: nothing is printed then.\n",
               stderr);
}

// The file's bytes; false with the reason when it is no file that can be read whole. Anything
// larger than a score file may be is not read at all.
bool ReadScoreFile(const char* path, std::vector<uint8_t>& data, std::string& reason)
{
    std::error_code error;
    const auto status = std::filesystem::status(path, error);
    if (error)
    {
        reason = error.message();
        return false;
    }
    if (!std::filesystem::is_regular_file(status))
    {
        reason = "it is not a file";
        return false;
    }
    const auto size = std::filesystem::file_size(path, error);
    if (error || size > static_cast<uintmax_t>(kMaxHiscoreFileBytes))
    {
        reason = error ? error.message() : "it is larger than any score file";
        return false;
    }
    try
    {
        std::ifstream in(path, std::ios::binary);
        if (!in)
        {
            reason = "it cannot be opened";
            return false;
        }
        data.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
        if (in.bad())
        {
            reason = "read error";
            return false;
        }
    }
    catch (const std::exception& failure)
    {
        reason = failure.what();
        return false;
    }
    return true;
}

std::string Quoted(const char* text)
{
    std::string quoted = "\"";
    for (const char* c = text; *c != 0; ++c)
    {
        const auto byte = static_cast<unsigned char>(*c);
        if (byte == '"' || byte == '\\')
            quoted += '\\';
        if (byte < 0x20 || byte == 0x7F)
        {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\x%02x", byte);
            quoted += escape;
        }
        else
        {
            quoted += static_cast<char>(byte);
        }
    }
    return quoted + "\"";
}

// The longest name and game data of the table, so the store's copies are never cut.
uint32_t LongestText(const ScoreTable& table)
{
    size_t longest = 0;
    for (const ScoreEntry& entry : table.GetEntries())
        longest =
            std::max({longest, size_t(entry.mName.Length()), size_t(entry.mGameData.Length())});
    return static_cast<uint32_t>(longest + 1);
}

void PrintTable(TQmHiscores& store, const TString& mode, const ScoreTable& table)
{
    store.SetParameter(TQmHiscores::kParameterMode, mode);
    const uint32_t size = LongestText(table);
    std::vector<char> name(size);
    std::vector<char> gameData(size);
    const int count = store.GetNumScores(true);
    for (int i = 0; i < count; ++i)
    {
        int rank = 0;
        int score = 0;
        if (!store.GetScore(true, i, &rank, name.data(), size, nullptr, &score, gameData.data(),
                            size))
            break;
        std::printf("mode %s rank %d score %d name %s gamedata %s\n", Quoted(mode.c_str()).c_str(),
                    rank, score, Quoted(name.data()).c_str(), Quoted(gameData.data()).c_str());
    }
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2)
    {
        PrintUsage();
        return 2;
    }
    const char* path = argv[1];
    std::vector<uint8_t> bytes;
    std::string reason;
    if (!ReadScoreFile(path, bytes, reason))
    {
        std::fprintf(stderr, "hiscoredump: cannot read '%s': %s\n", path, reason.c_str());
        return 1;
    }

    // The store deciphers with the game's key from the configuration store and reads the file
    // under its own name: the bytes are handed to it as that file.
    SetGameIdentity();
    RegisterMemoryFileName("user:hiscore.dat", bytes.data(), static_cast<uint32_t>(bytes.size()));
    // The store takes a damaged file as an empty one; the file is checked first, as the store
    // reads it, so that a damaged file is told apart from one without scores. Its tables also
    // give the modes, which the store does not list.
    TCipher cipher(GetConfig("encryptionkey"));
    THiscoreData data;
    if (LoadHiscoreFile(cipher, "user:hiscore.dat", data) != THiscoreLoad::kLoaded)
    {
        std::fprintf(stderr, "hiscoredump: '%s' is damaged: it cannot be read whole\n", path);
        return 1;
    }
    TQmHiscores store(false);
    for (const auto& [mode, table] : data.mTables)
        PrintTable(store, mode, *table);
    std::fflush(stdout);
    return 0;
}
