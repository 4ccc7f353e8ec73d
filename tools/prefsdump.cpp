// Development tool: prints a preferences file's user slots and their keys, read through the
// platform's own reader and cipher with the game's identity; the install keys are left out. With
// "--hiscore" it prints a score file's document instead, read through the score store's reader.
// With "--set" or "--delete" it rewrites one value of a slot (the tests' damaged saved states): the
// file is read and built again by the same reader, written under a temporary name and renamed over
// the old one, so a failed write leaves the old file whole.
#include "game/game_main.h"
#include "platform/files/file_layer.h"
#include "platform/config/cipher.h"
#include "platform/config/config.h"
#include "platform/config/prefs.h"
#include "services/scores/hiscore_file.h"
#include "sys/files/paths.h"
#include "sys/utf8.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace
{

void PrintUsage()
{
    std::fputs("usage: prefsdump <prefs.dat>\n"
               "       prefsdump --hiscore <hiscore.dat>\n"
               "       prefsdump --set <slot> <key> <hex> <prefs.dat>\n"
               "       prefsdump --delete <slot> <key> <prefs.dat>\n"
               "  Prints every user slot (\"USER n\", n = 0 the shared slot) and its keys, one\n"
               "  \"  key = value\" line each, in key order. A value that is printable text ended\n"
               "  by a NUL shows as \"text\" (the quotes are not escaped), any other as\n"
               "  \"hex\" and its bytes. Exit code 1 when the file cannot be read or is damaged.\n"
               "  With --hiscore: the score file's document (players, scores, medals) as the\n"
               "  game would write it again; exit code 1 when it cannot be read whole.\n"
               "  With --set or --delete: one key of slot n (as printed) given the bytes of\n"
               "  <hex> (pairs of hex digits, spaces allowed) or removed; every other value is\n"
               "  kept. Exit code 1, the file unchanged, when it is damaged, the slot or the\n"
               "  deleted key does not exist, or the new file cannot be written.\n",
               stderr);
}

// Text without control characters: what a profile name or a number the game stored looks like.
bool IsPrintable(const std::vector<uint8_t>& bytes, size_t count)
{
    for (size_t i = 0; i < count;)
    {
        if (bytes[i] < 0x20 || bytes[i] == 0x7F)
            return false;
        // Overlong forms and surrogates are no text either.
        int used = 0;
        if (sys::ReadUtf8(reinterpret_cast<const char*>(&bytes[i]), count - i, used) ==
            sys::kBrokenUtf8)
            return false;
        i += static_cast<size_t>(used);
    }
    return true;
}

std::string FormatValue(const std::vector<uint8_t>& value)
{
    if (!value.empty() && value.back() == 0 && IsPrintable(value, value.size() - 1))
        return "\"" + std::string(value.begin(), value.end() - 1) + "\"";
    std::string text = "hex";
    char byte[4];
    for (uint8_t b : value)
    {
        std::snprintf(byte, sizeof byte, " %02x", b);
        text += byte;
    }
    return text;
}

// The file's bytes; false with the reason when it is no file that can be read (a folder, a FIFO
// or a device, a file without read permission, a read error midway).
bool ReadWholeFile(const char* path, std::vector<uint8_t>& data, std::string& reason)
{
    std::string text;
    // What the game's own reader takes, and a good deal more: the tool shows what the game refuses.
    constexpr size_t kMostRead = size_t{1} << 30;
    if (!sys::ReadRegularFile(path, kMostRead, text, reason))
        return false;
    data.assign(text.begin(), text.end());
    return true;
}

void PrintSlots(const TPrefs::TSlotList& slots)
{
    for (size_t s = 0; s < slots.size(); ++s)
    {
        std::printf("USER %zu\n", s);
        for (const auto& [key, value] : slots[s])
            std::printf("  %s = %s\n", key.c_str(), FormatValue(value).c_str());
    }
}

// The score file, deciphered with the game's key and checked as the game reads it.
int DumpHiscores(const std::vector<uint8_t>& data, const char* path)
{
    SetGameIdentity();
    RegisterMemoryFileName("user:hiscore.dat", data.data(), static_cast<uint32_t>(data.size()));
    TCipher cipher(GetConfig("encryptionkey"));
    THiscoreData scores;
    if (LoadHiscoreFile(cipher, "user:hiscore.dat", scores) != THiscoreLoad::kLoaded)
    {
        std::fprintf(stderr, "prefsdump: '%s' is no score file that can be read whole\n", path);
        return 1;
    }
    std::fputs(BuildHiscoreDocument(scores).c_str(), stdout);
    return 0;
}

// "0a ff 00" or "0aff00": pairs of hex digits, spaces between pairs allowed.
bool ParseHex(const std::string& text, std::vector<uint8_t>& bytes)
{
    std::string digits;
    for (size_t i = 0; i < text.size(); ++i)
    {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        if (c == ' ' && digits.size() % 2 == 0)
            continue;
        if (!std::isxdigit(c))
            return false;
        digits += static_cast<char>(c);
    }
    if (digits.size() % 2 != 0)
        return false;
    for (size_t i = 0; i < digits.size(); i += 2)
        bytes.push_back(
            static_cast<uint8_t>(std::strtoul(digits.substr(i, 2).c_str(), nullptr, 16)));
    return true;
}

// The slot number as printed ("USER n"): n = 0 the shared slot, n > 0 the player n - 1.
bool ParseSlot(const std::string& text, int& user)
{
    if (text.empty() || text.size() > 5 ||
        !std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return false;
    user = std::atoi(text.c_str()) - 1;
    return true;
}

// Writes `data` beside `path` under a temporary name of its own, then renames it over `path`.
bool ReplaceFile(const std::string& path, const std::vector<uint8_t>& data, std::string& reason)
{
    return sys::ReplaceFileWith(path, data.data(), data.size(), reason);
}

// --set / --delete: argv holds the option, the slot, the key, [the hex,] the file.
int EditValue(int argc, char** argv)
{
    const bool set = std::string(argv[1]) == "--set";
    int user = 0;
    std::vector<uint8_t> value;
    if (argc != (set ? 6 : 5) || !ParseSlot(argv[2], user) || std::string(argv[3]).empty() ||
        (set && !ParseHex(argv[4], value)))
    {
        PrintUsage();
        return 2;
    }
    const char* path = argv[argc - 1];
    std::vector<uint8_t> data;
    std::string reason;
    if (!ReadWholeFile(path, data, reason) || data.empty() || data.size() > UINT32_MAX)
    {
        std::fprintf(stderr, "prefsdump: cannot read '%s': %s\n", path,
                     !reason.empty() ? reason.c_str()
                     : data.empty()  ? "it holds no chunks"
                                     : "it is too large");
        return 1;
    }
    SetGameIdentity();
    static const char kNoInstallKey = 0;
    RegisterMemoryFileName("user:prefs.dat", data.data(), static_cast<uint32_t>(data.size()));
    RegisterMemoryFileName("install.txt", &kNoInstallKey, 0);
    TPrefs prefs(false);
    // Rebuilt, a damaged file would lose whatever came after its bad chunk.
    if (prefs.LoadedDamaged())
    {
        std::fprintf(stderr, "prefsdump: '%s' is damaged; it is left as it is\n", path);
        return 1;
    }
    if (user + 1 >= static_cast<int>(prefs.GetCurrentSlots().size()))
    {
        std::fprintf(stderr, "prefsdump: '%s' has no slot %s\n", path, argv[2]);
        return 1;
    }
    const bool changed =
        set ? prefs.SetData(argv[3], value.data(), static_cast<int>(value.size()), user, false)
            : prefs.DeleteData(argv[3], user, false);
    if (!changed)
    {
        std::fprintf(stderr, "prefsdump: %s '%s' in slot %s of '%s' failed%s\n",
                     set ? "setting" : "deleting", argv[3], argv[2], path,
                     set ? "" : ": no such key");
        return 1;
    }
    if (!ReplaceFile(path, prefs.BuildFile(), reason))
    {
        std::fprintf(stderr, "prefsdump: cannot write '%s': %s\n", path, reason.c_str());
        return 1;
    }
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc >= 2 && (std::string(argv[1]) == "--set" || std::string(argv[1]) == "--delete"))
        return EditValue(argc, argv);
    const bool hiscore = argc == 3 && std::string(argv[1]) == "--hiscore";
    if (argc != 2 && !hiscore)
    {
        PrintUsage();
        return 2;
    }
    const char* path = argv[argc - 1];
    std::vector<uint8_t> data;
    std::string reason;
    if (!ReadWholeFile(path, data, reason) || data.size() > UINT32_MAX)
    {
        std::fprintf(stderr, "prefsdump: cannot read '%s': %s\n", path,
                     reason.empty() ? "it is too large" : reason.c_str());
        return 1;
    }
    if (hiscore)
        return DumpHiscores(data, path);
    if (data.empty())
    {
        std::fprintf(stderr, "prefsdump: '%s' holds no chunks\n", path);
        return 1;
    }

    // The reader takes its key from the configuration store, as in the game.
    SetGameIdentity();
    // The file is handed to the reader as the file it loads; an empty install file makes the
    // file's first install key the current one, whatever this machine's would be.
    static const char kNoInstallKey = 0;
    RegisterMemoryFileName("user:prefs.dat", data.data(), static_cast<uint32_t>(data.size()));
    RegisterMemoryFileName("install.txt", &kNoInstallKey, 0);
    TPrefs prefs(false);

    PrintSlots(prefs.GetCurrentSlots());
    // Slots kept for other installs follow, after a line of their own, without their key.
    for (const auto& [key, slots] : prefs.GetGroups())
    {
        if (key == prefs.GetInstallKey() || slots.empty())
            continue;
        std::printf("another install\n");
        PrintSlots(slots);
    }
    std::fflush(stdout);
    if (prefs.LoadedDamaged())
    {
        std::fprintf(stderr,
                     "prefsdump: '%s' is damaged: only what came before the bad chunk was read\n",
                     path);
        return 1;
    }
    return 0;
}
