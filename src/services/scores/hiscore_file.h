// The score file: the document text (no root element), its raw ciphertext followed by the
// enciphered XOR checksum block, and reading it back with the checksum checked before parsing.
#pragma once

#include "platform/strings/tstring.h"
#include "services/scores/score_table.h"

#include <cstdint>
#include <map>
#include <set>
#include <vector>

class TCipher;

// A larger file is no score file; it is not read at all.
constexpr int kMaxHiscoreFileBytes = 16 << 20;

// "<?xml version="1.0"?>\n", then the user, score and medals elements.
TString BuildHiscoreDocument(const THiscoreData& data);
// The document with its NUL enciphered raw, then the checksum enciphered alone as the last block.
std::vector<uint8_t> EncipherHiscoreDocument(TCipher& cipher, const TString& document);
// Byte i of the result (little-endian) is the XOR of every byte at a position congruent to i mod 4.
uint32_t HiscoreChecksum(const uint8_t* data, size_t size);

enum class THiscoreLoad
{
    kNoFile,
    kLoaded,
    // Not read, or not read whole (logged): the file is worth keeping before it is replaced.
    kDamaged,
};

enum class THiscoreRead
{
    kNoFile,
    kRead,
    // No regular file, or larger than a reader takes: not read (logged).
    kRefused,
    // The read failed (logged).
    kFailed,
};

// The named file's bytes.
THiscoreRead ReadHiscoreBytes(const TString& name, std::vector<uint8_t>& bytes);
// The bytes of the disk file at a resolved location (a thread beside the main one looks no name
// up).
THiscoreRead ReadHiscoreBytesAt(const TString& location, std::vector<uint8_t>& bytes);
// Checks, deciphers and parses a score file's bytes into data (which the caller gives empty).
THiscoreLoad DecodeHiscoreBytes(TCipher& cipher, const std::vector<uint8_t>& bytes,
                                THiscoreData& data);
// Reads the named file into data (which the caller gives empty); `fileBytes`, when given, gets
// the bytes read.
THiscoreLoad LoadHiscoreFile(TCipher& cipher, const TString& name, THiscoreData& data,
                             std::vector<uint8_t>* fileBytes = nullptr);
THiscoreData CopyHiscoreData(const THiscoreData& data);
// Takes what this copy changed since it read `base` (entries added, improved or removed, told
// apart by their GUIDs; a player's medals removed) into `disk`, what another copy of the game
// saved since: the rest of `disk` stays. In a table of best scores (a mode in `bestModes`), each
// player (by name, folded as SamePlayerName folds it) keeps one entry, the better by that table's
// order (true: a lower score is better, as a time is, 0 being none yet): a worse one changed here
// never replaces a better one there. Tables come out ordered and ranked as Insert keeps them.
using THiscoreBestModes = std::map<TString, bool, TByteOrder>;
void MergeHiscoreData(const THiscoreData& base, const THiscoreData& mine, THiscoreData& disk,
                      const THiscoreBestModes& bestModes = {});
// The elements and attributes the reader counts in the document BuildHiscoreDocument makes.
int CountHiscoreNodes(const THiscoreData& data);
// Drops the worst rows (of the longest table first, each by its order: WorstScoreRow, a table of
// times by `bestModes`) until the document holds at most `maxNodes`; the number dropped, or -1
// when it cannot hold that few even with no row left.
int TrimHiscoreData(THiscoreData& data, int maxNodes, const THiscoreBestModes& bestModes = {});
// The three passes over a deciphered document of exactly length bytes: users, tables made only
// from a row, medals. False when a table had to be cut to its first 500 rows (logged).
bool ParseHiscoreDocument(const char* text, uint32_t length, THiscoreData& data);
