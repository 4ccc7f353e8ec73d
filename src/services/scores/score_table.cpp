// Score table rules: ordered insertion, the 500-entry limit, competition ranks and removal.
#include "services/scores/score_table.h"

#include <algorithm>
#include <cstring>

bool SamePlayerName(const TString& a, const TString& b)
{
    return std::strcmp(FoldCase(a).c_str(), FoldCase(b).c_str()) == 0;
}

size_t WorstScoreRow(const std::vector<ScoreEntry>& entries, bool lowerFirst, int newest)
{
    const size_t last = entries.empty() ? 0 : entries.size() - 1;
    if (!lowerFirst || entries.empty() || entries.back().mScore == 0)
        return newest >= 0 && entries[static_cast<size_t>(newest)].mScore == entries[last].mScore
                   ? static_cast<size_t>(newest)
                   : last;
    return newest >= 0 && entries[static_cast<size_t>(newest)].mScore == entries.front().mScore
               ? static_cast<size_t>(newest)
               : 0;
}

bool ScoreTable::Insert(ScoreEntry entry, bool lowerFirst)
{
    auto place = std::find_if(mEntries.begin(), mEntries.end(),
                              [&](const ScoreEntry& e) { return e.mScore < entry.mScore; });
    const int at = static_cast<int>(place - mEntries.begin());
    mEntries.insert(place, std::move(entry));
    bool entered = true;
    if (GetCount() > kMaxScoreEntries)
    {
        const size_t worst = WorstScoreRow(mEntries, lowerFirst, at);
        entered = worst != static_cast<size_t>(at);
        mEntries.erase(mEntries.begin() + static_cast<long>(worst));
    }
    Rerank();
    return entered;
}

int ScoreTable::FindPlayer(const TString& player) const
{
    for (int i = 0; i < GetCount(); ++i)
    {
        if (SamePlayerName(mEntries[i].mName, player))
            return i;
    }
    return -1;
}

void ScoreTable::RemoveAt(int index)
{
    if (index >= 0 && index < GetCount())
        mEntries.erase(mEntries.begin() + index);
}

bool ScoreTable::RemovePlayer(const TString& player)
{
    auto kept =
        std::remove_if(mEntries.begin(), mEntries.end(),
                       [&](const ScoreEntry& e) { return SamePlayerName(e.mName, player); });
    if (kept == mEntries.end())
        return false;
    mEntries.erase(kept, mEntries.end());
    Rerank();
    return true;
}

void ScoreTable::Rerank()
{
    for (int i = 0; i < GetCount(); ++i)
    {
        bool tied = i > 0 && mEntries[i].mScore == mEntries[i - 1].mScore;
        mEntries[i].mRank = tied ? mEntries[i - 1].mRank : i + 1;
    }
}
