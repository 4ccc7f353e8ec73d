// The high-score records (ScoreEntry, ScoreTable, MedalRecord, UserRecord) and the table rules:
// ordered insertion under the 500-entry limit, competition ranks, removing a player's entries.
#pragma once

#include "platform/strings/tstring.h"

#include <cstdint>
#include <cstring>
#include <list>
#include <map>
#include <memory>
#include <vector>

// A table never holds more entries than this.
constexpr int kMaxScoreEntries = 500;

struct ScoreEntry
{
    int32_t mRank = 0;
    int32_t mScore = 0;
    TString mName; // the player
    TString mGameData;
    TString mServerData;
    TString mVersion;
    uint8_t mLocal = 1;
    uint8_t mSubmitted = 0;
    TString mGuid; // 32 lower-case hexadecimal digits
};

class ScoreTable
{
public:
    explicit ScoreTable(const TString& name) : mName(name) {}

    const TString& GetName() const { return mName; }
    int GetCount() const { return static_cast<int>(mEntries.size()); }
    const std::vector<ScoreEntry>& GetEntries() const { return mEntries; }

    // Puts the entry behind every entry scoring at least as much; when the table is full the worst
    // row by its order falls off (WorstScoreRow), or the entry is not entered at all when it would
    // be that row. Re-ranks. Returns false when it was not entered.
    bool Insert(ScoreEntry entry, bool lowerFirst = false);
    // The index of the first entry of that player, or -1. A player's name matches folded, as
    // profile names do (no two profiles differ only so).
    int FindPlayer(const TString& player) const;
    // Removes one entry; the ones behind it move up. Ranks are not touched.
    void RemoveAt(int index);
    // Removes every entry of the player and re-ranks what is left; false when it held none.
    bool RemovePlayer(const TString& player);
    // Appends as stored (loading): no ordering, no ranking.
    void AppendStored(ScoreEntry entry) { mEntries.push_back(std::move(entry)); }
    // Equal scores share a rank; the next different score gets its 1-based position.
    void Rerank();

private:
    TString mName;
    std::vector<ScoreEntry> mEntries;
};

struct MedalRecord
{
    TString mMedalName;
    TString mType;
    TString mMode;
    TString mGameData;
    uint8_t mSubmitted = 0;
};

struct UserRecord
{
    TString mPlayer;
    TString mName;
    TString mPass;
};

// The row a full table drops first, of entries kept higher first: the last; in a table of times
// (`lowerFirst`: a lower score is better, 0 is no time yet) a row without a time, else the slowest,
// the first. Of rows that tie for it, `newest` (an index, -1 none) when it is one of them.
size_t WorstScoreRow(const std::vector<ScoreEntry>& entries, bool lowerFirst, int newest = -1);

// Whether two player names name one player: folded as the name dialog folds a new name (FoldCase:
// "ÉVA" is "éva", "ANN" is "ann"), every other byte itself.
bool SamePlayerName(const TString& a, const TString& b);

// Names compare byte by byte, whatever collation the text functions use.
struct TByteOrder
{
    bool operator()(const TString& a, const TString& b) const
    {
        return std::strcmp(a.c_str(), b.c_str()) < 0;
    }
};

// Everything the score file holds.
struct THiscoreData
{
    std::map<TString, std::unique_ptr<ScoreTable>, TByteOrder> mTables;
    std::map<TString, std::list<MedalRecord>, TByteOrder> mMedals;
    std::map<TString, UserRecord, TByteOrder> mUsers;
};
